// Tests of the Quantum frequency models and slot tables: update, the rescale sequence, the rebuild sort.
#include <gtest/gtest.h>

#include "cabinet/quantum.h"

namespace {

TEST(QuantumModel, InitHoldsDescendingCountsAndIdentitySymbols) {
    static const uint32_t symbol_counts[] = {7, 27, 64, 20, 42};
    for (uint32_t n : symbol_counts) {
        SCOPED_TRACE(testing::Message() << "symbols " << n);
        QuantumModel model;
        QuantumModelInit(&model, n);
        EXPECT_EQ(4u, model.countdown);
        for (uint32_t i = 0; i <= n; ++i) {
            EXPECT_EQ(n - i, model.entries[i].cumulative) << "entry " << i;
            EXPECT_EQ(i, model.entries[i].symbol) << "entry " << i;
        }
    }
}

TEST(QuantumModel, UpdateCreditsEntriesUpToTheSymbolFound) {
    QuantumModel model;
    QuantumModelInit(&model, 7);
    QuantumModelUpdate(&model, 2);
    // entries 0..2 gain 8, the others keep n - i
    static const uint32_t expected[] = {15, 14, 13, 4, 3, 2, 1, 0};
    for (uint32_t i = 0; i <= 7; ++i)
        EXPECT_EQ(expected[i], model.entries[i].cumulative) << "entry " << i;
}

// Halving: from the end, cum / 2, raised to one above the next entry when it would not exceed it.
TEST(QuantumModel, HalvingKeepsEveryFrequencyPositive) {
    static const struct {
        std::vector<uint32_t> before;  // cumulative frequencies of entries 0 .. n-1
        std::vector<uint32_t> after;
        const char* reason;
    } cases[] = {
        {{10, 9, 8}, {6, 5, 4}, "halves collide and are raised one above the next"},
        {{3800, 100, 1}, {1900, 50, 1}, "large gaps are halved plainly; 1 / 2 = 0 is raised to 1"},
        {{7, 6, 5, 4, 3, 2, 1}, {7, 6, 5, 4, 3, 2, 1}, "all-ones frequencies stay ones"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        QuantumModel model;
        model.symbols = uint32_t(c.before.size());
        model.countdown = 3;  // not yet due for a rebuild
        for (uint32_t i = 0; i < model.symbols; ++i)
            model.entries[i] = QuantumModelEntry{c.before[i], i};
        model.entries[model.symbols] = QuantumModelEntry{0, model.symbols};
        QuantumModelRescale(&model);
        EXPECT_EQ(2u, model.countdown);
        for (uint32_t i = 0; i < model.symbols; ++i) {
            EXPECT_EQ(c.after[i], model.entries[i].cumulative) << "entry " << i;
            EXPECT_EQ(i, model.entries[i].symbol) << "halving must not reorder, entry " << i;
        }
        EXPECT_EQ(0u, model.entries[model.symbols].cumulative);
    }
}

// Rebuild: frequencies halved rounding up, exchange-sorted largest first (not stable), re-summed.
TEST(QuantumModel, RebuildSortsByTheExchangeSortExactly) {
    static const struct {
        std::vector<std::pair<uint32_t, uint32_t>> before;  // (frequency, symbol), entry 0 first
        std::vector<std::pair<uint32_t, uint32_t>> after;
        const char* reason;
    } cases[] = {
        {{{2, 'a'}, {1, 'c'}, {4, 'b'}},
         {{2, 'b'}, {1, 'c'}, {1, 'a'}},
         "frequencies 1, 1, 2 for a, c, b end as b, c, a: the swap of a and b passes c"},
        {{{1, 'x'}, {1, 'y'}, {1, 'z'}}, {{1, 'x'}, {1, 'y'}, {1, 'z'}}, "equal frequencies are not swapped"},
        {{{5, 0}, {9, 1}, {3, 2}, {20, 3}},
         {{10, 3}, {5, 1}, {3, 0}, {2, 2}},
         "rounding up: 5 -> 3, 9 -> 5, 3 -> 2, 20 -> 10, then sorted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        QuantumModel model;
        model.symbols = uint32_t(c.before.size());
        uint32_t i = 0;
        for (const auto& e : c.before)
            model.entries[i++].symbol = e.second;
        model.entries[model.symbols].cumulative = 0;
        for (uint32_t k = model.symbols; k-- > 0;)
            model.entries[k].cumulative = model.entries[k + 1].cumulative + c.before[k].first;
        model.countdown = 1;  // this rescale rebuilds
        QuantumModelRescale(&model);
        EXPECT_EQ(50u, model.countdown);
        for (uint32_t k = 0; k < model.symbols; ++k) {
            const uint32_t frequency = model.entries[k].cumulative - model.entries[k + 1].cumulative;
            EXPECT_EQ(c.after[k].first, frequency) << "frequency of entry " << k;
            EXPECT_EQ(c.after[k].second, model.entries[k].symbol) << "symbol of entry " << k;
        }
    }
}

// Driving a fresh model with its last symbol: rescales 1 to 3 halve (countdown 3, 2, 1) and keep the
// order, rescale 4 rebuilds (countdown 50) and moves that symbol first, then every 50th rebuilds.
TEST(QuantumModel, RescaleSequenceHalvesThreeTimesThenRebuildsEveryFiftieth) {
    QuantumModel model;
    QuantumModelInit(&model, 7);
    std::vector<uint32_t> countdowns;
    std::vector<uint32_t> first_symbols;
    uint32_t previous_total = model.entries[0].cumulative;
    while (countdowns.size() < 56) {
        // The symbol is always the original last one, wherever the model keeps it now.
        uint32_t index = 0;
        while (model.entries[index].symbol != 6)
            ++index;
        QuantumModelUpdate(&model, index);
        if (model.entries[0].cumulative < previous_total) {
            countdowns.push_back(model.countdown);
            first_symbols.push_back(model.entries[0].symbol);
            EXPECT_LE(model.entries[0].cumulative, 3800u) << "after rescale " << countdowns.size();
        } else {
            EXPECT_LE(model.entries[0].cumulative, 3800u + 8) << "a total above the limit must rescale";
        }
        previous_total = model.entries[0].cumulative;
    }
    static const struct {
        size_t rescale;  // 1-based
        uint32_t countdown;
        uint32_t first_symbol;
        const char* reason;
    } cases[] = {
        {1, 3, 0, "first halving keeps the order"},
        {2, 2, 0, "second halving"},
        {3, 1, 0, "third halving"},
        {4, 50, 6, "fourth rescale rebuilds and sorts the frequent symbol first"},
        {5, 49, 6, "halving again"},
        {53, 1, 6, "last halving before the next rebuild"},
        {54, 50, 6, "the 50th rescale after the rebuild rebuilds"},
        {55, 49, 6, "and the countdown restarts"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.countdown, countdowns[c.rescale - 1]) << "countdown after rescale " << c.rescale;
        EXPECT_EQ(c.first_symbol, first_symbols[c.rescale - 1]) << "first symbol after rescale " << c.rescale;
    }
}

TEST(QuantumSlots, TablesHoldTheListedBases) {
    static const uint32_t length_bases[] = {0,  1,  2,  3,  4,  5,  6,  8,   10,  12,  14,  18,  22, 26,
                                            30, 38, 46, 54, 62, 78, 94, 110, 126, 158, 190, 222, 254};
    for (uint32_t k = 0; k < QUANTUM_LENGTH_SLOTS; ++k)
        EXPECT_EQ(length_bases[k], QUANTUM_LENGTH_BASE[k]) << "length slot " << k;
    static const uint32_t position_bases[] = {0, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64};
    for (uint32_t k = 0; k < 13; ++k)
        EXPECT_EQ(position_bases[k], QUANTUM_POSITION_BASE[k]) << "position slot " << k;
    EXPECT_EQ(1572864u, QUANTUM_POSITION_BASE[41]);
    EXPECT_EQ(19u, QUANTUM_POSITION_EXTRA[41]);
    EXPECT_EQ(259u, QUANTUM_LENGTH_BASE[26] + (1u << QUANTUM_LENGTH_EXTRA[26]) - 1 + 5) << "slot 26 gives 259 only";
    EXPECT_EQ(258u, QUANTUM_LENGTH_BASE[25] + (1u << QUANTUM_LENGTH_EXTRA[25]) - 1 + 5) << "slot 25, all bits set";
}

TEST(QuantumSlots, PositionModelSizesFollowTheWindow) {
    static const struct {
        int bits;
        uint32_t for3, for4, for_long;  // symbols of the three position models
        const char* reason;
    } cases[] = {
        {10, 20, 20, 20, "smallest window: all three limited by the window"},
        {11, 22, 22, 22, "below 12 bits the 3-byte model has 2 x bits symbols"},
        {12, 24, 24, 24, "4096 bytes: the 3-byte model reaches its 24"},
        {17, 24, 34, 34, "below 18 bits the 4-byte model has 2 x bits symbols"},
        {18, 24, 36, 36, "262144 bytes: the 4-byte model reaches its 36"},
        {21, 24, 36, 42, "largest window"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.for3, QuantumPositionSymbols3(c.bits));
        EXPECT_EQ(c.for4, QuantumPositionSymbols4(c.bits));
        EXPECT_EQ(c.for_long, QuantumPositionSymbolsLong(c.bits));
        // The slots whose base lies below the window are exactly the first 2 x bits.
        uint32_t below = 0;
        while (below < QUANTUM_POSITION_SLOTS && QUANTUM_POSITION_BASE[below] < (1u << c.bits))
            ++below;
        EXPECT_EQ(c.for_long, below);
    }
}

}  // namespace
