// The Wheel page's texts as written in their UTF-8 sources, generated beside
// the shipped tables so tests can decode the shipped bytes and compare.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct LanguageSourceAction {
    const char* Name;  // UTF-8
    uint16_t Id;
};

struct LanguageSource {
    const char* Key;
    uint16_t CodePage;
    const char* OpenErrorCaption;  // UTF-8
    const char* OpenErrorText;     // UTF-8
    LanguageSourceAction Actions[14];
};

extern const LanguageSource LANGUAGE_SOURCES[];
extern const size_t LANGUAGE_SOURCE_COUNT;
