// Picks the Wheel page's action names and open-error texts by the system's
// default language, and looks actions up by id and by name.
#pragma once

#include <windows.h>

#include "language_tables.h"

// Sets the current texts from GetSystemDefaultLangID().
void SelectLanguageTexts();

// The texts a system language id gets: by its primary language, Chinese also
// by its sub-language (Taiwan: traditional, People's Republic: simplified),
// English for every other language.
const LanguageTexts& LanguageTextsFor(LANGID language);

// The current texts; English until the first selection.
const LanguageTexts& CurrentLanguageTexts();
const ActionEntry* CurrentActionTable();
const char* OpenErrorCaption();
const char* OpenErrorText();

// The name of the first action of the current table with this id, or nullptr.
const char* ActionNameById(WORD id);

// The id of the first action of the current table whose name equals text,
// case ignored and trailing blanks counted; 0 when none does.
WORD ActionIdByName(const char* text);
