// The per-language action tables and open-error texts of the Wheel page, as
// ANSI code-page bytes generated from the UTF-8 sources in texts/.
#pragma once

#include <stddef.h>
#include <stdint.h>

// One wheel-button action as the combo box of the Wheel page names it. A
// table holds ACTION_TABLE_LENGTH entries and ends with an entry without a name.
struct ActionEntry {
    const char* Name;  // in the language's ANSI code page
    uint16_t Id;
};

constexpr size_t ACTION_TABLE_LENGTH = 14;

// Everything one language contributes; all texts in CodePage.
struct LanguageTexts {
    const char* Key;  // "English", "German", ... (the source file's key)
    uint16_t CodePage;
    const ActionEntry* Actions;
    const char* OpenErrorCaption;
    const char* OpenErrorText;
};

extern const LanguageTexts ENGLISH_TEXTS;
extern const LanguageTexts TRADITIONALCHINESE_TEXTS;
extern const LanguageTexts SIMPLIFIEDCHINESE_TEXTS;
extern const LanguageTexts ITALIAN_TEXTS;
extern const LanguageTexts GERMAN_TEXTS;
extern const LanguageTexts FRENCH_TEXTS;
extern const LanguageTexts DUTCH_TEXTS;
extern const LanguageTexts SPANISH_TEXTS;
extern const LanguageTexts DANISH_TEXTS;
extern const LanguageTexts FINNISH_TEXTS;
extern const LanguageTexts NORWEGIAN_TEXTS;
extern const LanguageTexts SWEDISH_TEXTS;
extern const LanguageTexts GREEK_TEXTS;
extern const LanguageTexts PORTUGUESE_TEXTS;
extern const LanguageTexts JAPANESE_TEXTS;

// Every language once, for tests and tools.
extern const LanguageTexts* const ALL_LANGUAGE_TEXTS[];
extern const size_t LANGUAGE_TEXTS_COUNT;
