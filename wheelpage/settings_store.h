// The wheel settings and the per-application list, kept in the user's registry
// key and in "vireo.ini" at once, with the read-only machine-wide switches.
#pragma once

#include <windows.h>

// Where the settings live.
constexpr const char* WHEEL_USER_KEY = "Software\\TVK\\Vireo";        // below HKEY_CURRENT_USER
constexpr const char* WHEEL_MACHINE_KEY = "Software\\Torvik\\Vireo";  // below HKEY_LOCAL_MACHINE, read only
constexpr const char* WHEEL_INI_FILE = "vireo.ini";                   // in the Windows folder
constexpr const char* WHEEL_INI_SECTION = "Vireo";                    // also the broadcast's text

// Value names.
constexpr const char* VALUE_SCROLL_WIZARD = "EnableScrollWizard";
constexpr const char* VALUE_INTELLIMOUSE_SUPPORT = "EnableIntelliMouseSupport";
constexpr const char* VALUE_EXCLUSIVE_MODE = "ExclusiveIntelliMode";
constexpr const char* VALUE_ALWAYS_SHOW_PAGE = "AlwaysShowWheelPage";
constexpr const char* VALUE_WHEEL_BUTTON_ACTION = "WheelButtonAction";
constexpr const char* VALUE_QUICK_SCROLL_AXIS = "QuickScrollAxis";
constexpr const char* VALUE_AUTO_SCROLL_SPEED = "AutoScrollSpeed";
constexpr const char* VALUE_SCROLL_SPEED = "ScrollSpeed";
constexpr const char* VALUE_SCROLL_AXIS = "ScrollAxis";
constexpr const char* VALUE_REVERSE_SCROLL = "ReverseScroll";
constexpr const char* VALUE_INTELLI_APP_PREFIX = "IntelliApp_";

// Every text read from a store goes through a buffer of this size.
constexpr size_t SETTING_TEXT_SIZE = 256;

// Wheel-button action 1: quick scroll and auto scroll; other values are action ids.
constexpr WORD WHEEL_ACTION_QUICK_AUTO_SCROLL = 1;
// A scroll speed of this many lines means one page per wheel notch.
constexpr WORD SCROLL_SPEED_ONE_PAGE = 255;
// Scroll axes.
constexpr WORD SCROLL_AXIS_NEAREST = 0;
constexpr WORD SCROLL_AXIS_VERTICAL = 1;
constexpr WORD SCROLL_AXIS_HORIZONTAL = 2;

// The user's wheel settings. Flags are zero for false; a flag read from a
// REG_DWORD keeps the stored number.
struct WheelSettings {
    BOOL ScrollWizard = TRUE;
    BOOL IntelliMouseSupport = TRUE;
    BOOL ExclusiveMode = FALSE;  // from the machine key; never written
    WORD WheelButtonAction = WHEEL_ACTION_QUICK_AUTO_SCROLL;
    WORD QuickScrollAxis = 1;
    WORD AutoScrollSpeed = 5;
    WORD ScrollSpeed = 3;
    WORD ScrollAxis = SCROLL_AXIS_VERTICAL;
    BOOL ReverseScroll = FALSE;
};

// The process's one record; holds the defaults until the first load.
extern WheelSettings g_WheelSettings;

constexpr int INTELLI_APP_TABLE_SIZE = 128;
// Longest path a list entry may hold: what a store read can give back.
constexpr size_t INTELLI_APP_MAX_LENGTH = SETTING_TEXT_SIZE - 1;

// Program paths the user declares IntelliMouse compatible. The table ends at
// its first null entry; each entry is a copy made by CopyText and owned by
// the list. StoredTail is the first stored position that did not fit into the
// table when the list was loaded (0: the whole stored list fitted); saving
// keeps those stored entries behind the table's ones instead of cutting them.
struct IntelliAppList {
    char* Entries[INTELLI_APP_TABLE_SIZE];
    int StoredTail;
    bool StoredTailInIni;  // the list was loaded from the INI file: the key could not be opened

    // A new local-heap copy of text, or nullptr when memory is short. The
    // caller owns it and releases it with FreeText.
    static char* CopyText(const char* text);
    static void FreeText(char* copy);
};

extern IntelliAppList g_IntelliAppList;

// Number of entries before the first null one.
int IntelliAppCount();

// Appends a copy of path. False, with the list unchanged, when the table is
// full, the path is empty or longer than INTELLI_APP_MAX_LENGTH, or memory is short.
bool AddIntelliApp(const char* path);

// Frees every entry and leaves the list empty (the stored tail is kept, as
// the list dialog rebuilds the list through this).
void ClearIntelliApps();

// Reads the stored list behind the entries already in the table.
void LoadIntelliApps();

// Writes the table as "IntelliApp_1", "IntelliApp_2", ..., then any stored
// tail, then an empty value after the last entry.
void SaveIntelliApps();

// Readers of the user key, with "vireo.ini" used only when the key cannot be opened.
BOOL ReadSettingFlag(const char* name, BOOL defaultValue);
WORD ReadSettingNumber(const char* name, WORD defaultValue);
// True when the registry query succeeded (whatever the type) or the INI value
// was not empty. A REG_SZ value or an INI value replaces the buffer's text;
// a value of another type leaves it as it was.
bool ReadSettingText(const char* name, char (&buffer)[SETTING_TEXT_SIZE]);
// A flag from any key, with the same INI fallback (for the machine key).
BOOL ReadFlagAt(HKEY root, const char* subkey, const char* name, BOOL defaultValue);

// Writers: the user key (created when missing), then "vireo.ini" in any case.
// True when the registry write succeeded.
bool WriteSettingFlag(const char* name, BOOL flag);
bool WriteSettingNumber(const char* name, WORD number);
bool WriteSettingText(const char* name, const char* text);

// Fills g_WheelSettings and g_IntelliAppList from the stores.
void LoadWheelSettings();
// Writes both and tells every top-level window that the settings changed.
void SaveWheelSettings();

// Decimal digits without leading zeros ("0" for zero) into text; truncated
// to size - 1 characters. Six bytes hold every number.
constexpr size_t NUMBER_TEXT_SIZE = 6;
void NumberToText(WORD number, char* text, size_t size);

// value * 10 + (character - '0') for each character in turn, in 16 bits:
// no sign, and a character that is not a digit counts as its offset from '0'.
WORD TextToNumber(const char* text);
