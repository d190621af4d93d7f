// Choice of the Wheel page's language tables and the look-ups in the current one.
#include "localised_texts.h"

namespace {

const LanguageTexts* g_currentTexts = &ENGLISH_TEXTS;

}  // namespace

const LanguageTexts& LanguageTextsFor(LANGID language) {
    const unsigned primary = language & 0x3FF;
    const unsigned sub = language >> 10;
    switch (primary) {
        case 0x0A:
            return SPANISH_TEXTS;
        case 0x10:
            return ITALIAN_TEXTS;
        case 0x07:
            return GERMAN_TEXTS;
        case 0x0C:
            return FRENCH_TEXTS;
        case 0x13:
            return DUTCH_TEXTS;
        case 0x08:
            return GREEK_TEXTS;
        case 0x0B:
            return FINNISH_TEXTS;
        case 0x1D:
            return SWEDISH_TEXTS;
        case 0x14:
            return NORWEGIAN_TEXTS;
        case 0x06:
            return DANISH_TEXTS;
        case 0x16:
            return PORTUGUESE_TEXTS;
        case 0x11:
            return JAPANESE_TEXTS;
        case 0x04:
            // Hong Kong, Singapore and Macao get English: only two scripts are kept.
            if (sub == 1)
                return TRADITIONALCHINESE_TEXTS;
            if (sub == 2)
                return SIMPLIFIEDCHINESE_TEXTS;
            return ENGLISH_TEXTS;
        default:
            return ENGLISH_TEXTS;
    }
}

void SelectLanguageTexts() {
    // The system's language, not the user's: the dialogs follow the same choice.
    g_currentTexts = &LanguageTextsFor(GetSystemDefaultLangID());
}

const LanguageTexts& CurrentLanguageTexts() {
    return *g_currentTexts;
}

const ActionEntry* CurrentActionTable() {
    return g_currentTexts->Actions;
}

const char* OpenErrorCaption() {
    return g_currentTexts->OpenErrorCaption;
}

const char* OpenErrorText() {
    return g_currentTexts->OpenErrorText;
}

const char* ActionNameById(WORD id) {
    for (const ActionEntry* entry = g_currentTexts->Actions; entry->Name; ++entry) {
        if (entry->Id == id)
            return entry->Name;
    }
    return nullptr;
}

WORD ActionIdByName(const char* text) {
    if (!text)
        return 0;
    for (const ActionEntry* entry = g_currentTexts->Actions; entry->Name; ++entry) {
        if (lstrcmpiA(entry->Name, text) == 0)
            return entry->Id;
    }
    return 0;
}
