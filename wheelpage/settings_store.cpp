// Reading and writing the wheel settings in the registry and "vireo.ini", and
// the per-application list with its stored end marker.
#include "settings_store.h"

#include "../common/text_buffer.h"
#include "../common/win_handles.h"

WheelSettings g_WheelSettings;
IntelliAppList g_IntelliAppList;

namespace {

// A hung top-level window must not hold the property sheet for ever.
constexpr UINT BROADCAST_TIMEOUT_MS = 5000;

// "IntelliApp_" + position; positions are 16-bit numbers like every stored number.
constexpr int INTELLI_APP_LAST_POSITION = 0xFFFF;
constexpr size_t VALUE_NAME_SIZE = 32;

struct RegistryValue {
    DWORD Type;
    DWORD Size;
    BYTE Data[SETTING_TEXT_SIZE + 1];  // one spare byte, always zero, ends any text
};

// Queries name into value. False when the value is missing or does not fit
// into SETTING_TEXT_SIZE bytes; a text without room for its end counts as too long.
bool QueryValue(HKEY key, const char* name, RegistryValue* value) {
    ZeroMemory(value, sizeof *value);
    value->Size = SETTING_TEXT_SIZE;
    if (RegQueryValueExA(key, name, nullptr, &value->Type, value->Data, &value->Size) != ERROR_SUCCESS)
        return false;
    if (value->Size > SETTING_TEXT_SIZE)
        return false;
    if (value->Type == REG_SZ && value->Size == SETTING_TEXT_SIZE && value->Data[SETTING_TEXT_SIZE - 1] != 0) {
        // 256 bytes without a terminating zero: 256 characters or more.
        bool terminated = false;
        for (DWORD i = 0; i < value->Size && !terminated; ++i)
            terminated = value->Data[i] == 0;
        if (!terminated)
            return false;
    }
    return true;
}

const char* ValueText(const RegistryValue& value) {
    return reinterpret_cast<const char*>(value.Data);
}

DWORD ValueDword(const RegistryValue& value) {
    // The buffer is zeroed first, so a short REG_DWORD reads as its bytes zero-extended.
    return DWORD(value.Data[0]) | DWORD(value.Data[1]) << 8 | DWORD(value.Data[2]) << 16 | DWORD(value.Data[3]) << 24;
}

BOOL DecodeRegistryFlag(const RegistryValue& value, BOOL defaultValue) {
    if (value.Type == REG_SZ)
        return lstrcmpiA(ValueText(value), "TRUE") == 0;
    if (value.Type == REG_DWORD)
        return BOOL(ValueDword(value));
    return defaultValue;
}

WORD DecodeRegistryNumber(const RegistryValue& value, WORD defaultValue) {
    if (value.Type == REG_DWORD)
        return WORD(ValueDword(value) & 0xFFFF);
    if (value.Type == REG_BINARY) {
        if (value.Size == 0)
            return 0;
        if (value.Size == 1)
            return value.Data[0];
        return WORD(value.Data[0] | value.Data[1] << 8);
    }
    return defaultValue;
}

void ReadIniText(const char* name, char (&buffer)[SETTING_TEXT_SIZE]) {
    GetPrivateProfileStringA(WHEEL_INI_SECTION, name, "", buffer, SETTING_TEXT_SIZE, WHEEL_INI_FILE);
}

bool OpenForRead(HKEY root, const char* subkey, ScopedRegKey* key) {
    return RegOpenKeyExA(root, subkey, 0, KEY_READ, key->Receive()) == ERROR_SUCCESS;
}

bool WriteRegistryValue(const char* name, DWORD type, const void* data, DWORD size) {
    ScopedRegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, WHEEL_USER_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

void WriteIniText(const char* name, const char* text) {
    WritePrivateProfileStringA(WHEEL_INI_SECTION, name, text, WHEEL_INI_FILE);
}

void IntelliAppValueName(int position, char (&name)[VALUE_NAME_SIZE]) {
    char digits[NUMBER_TEXT_SIZE];
    NumberToText(WORD(position), digits, sizeof digits);
    CopyText(name, VALUE_INTELLI_APP_PREFIX);
    AppendText(name, digits);
}

// Entries the table may hold now: when part of the stored list was left in
// the stores, the table must not grow over the positions that part occupies.
int IntelliAppCapacity() {
    const int tail = g_IntelliAppList.StoredTail;
    if (tail > 0 && tail - 1 < INTELLI_APP_TABLE_SIZE)
        return tail - 1;
    return INTELLI_APP_TABLE_SIZE;
}

}  // namespace

char* IntelliAppList::CopyText(const char* text) {
    const size_t length = lstrlenA(text);
    HLOCAL memory = LocalAlloc(LMEM_ZEROINIT, length + 1);
    if (!memory)
        return nullptr;
    char* copy = static_cast<char*>(LocalLock(memory));
    if (!copy) {
        LocalFree(memory);
        return nullptr;
    }
    CopyMemory(copy, text, length);
    return copy;
}

void IntelliAppList::FreeText(char* copy) {
    if (!copy)
        return;
    HLOCAL memory = LocalHandle(copy);
    if (!memory)
        return;
    LocalUnlock(memory);
    LocalFree(memory);
}

int IntelliAppCount() {
    int count = 0;
    while (count < INTELLI_APP_TABLE_SIZE && g_IntelliAppList.Entries[count])
        ++count;
    return count;
}

bool AddIntelliApp(const char* path) {
    const int count = IntelliAppCount();
    if (!path || !path[0] || size_t(lstrlenA(path)) > INTELLI_APP_MAX_LENGTH || count >= IntelliAppCapacity())
        return false;
    char* copy = IntelliAppList::CopyText(path);
    if (!copy)
        return false;
    g_IntelliAppList.Entries[count] = copy;
    return true;
}

void ClearIntelliApps() {
    for (char*& entry : g_IntelliAppList.Entries) {
        IntelliAppList::FreeText(entry);
        entry = nullptr;
    }
}

// Whether the readers would take the INI file now.
static bool UserKeyMissing() {
    ScopedRegKey key;
    return !OpenForRead(HKEY_CURRENT_USER, WHEEL_USER_KEY, &key);
}

void LoadIntelliApps() {
    g_IntelliAppList.StoredTail = 0;
    g_IntelliAppList.StoredTailInIni = false;
    int count = IntelliAppCount();
    for (int position = 1; position <= INTELLI_APP_LAST_POSITION; ++position) {
        char name[VALUE_NAME_SIZE];
        IntelliAppValueName(position, name);
        char buffer[SETTING_TEXT_SIZE] = "";
        ReadSettingText(name, buffer);
        if (!buffer[0])
            return;
        char* copy = count < INTELLI_APP_TABLE_SIZE ? IntelliAppList::CopyText(buffer) : nullptr;
        if (!copy) {
            // Table full or memory short: the rest stays in the stores, and
            // saving carries it along instead of ending the list here.
            g_IntelliAppList.StoredTail = position;
            g_IntelliAppList.StoredTailInIni = UserKeyMissing();
            return;
        }
        g_IntelliAppList.Entries[count++] = copy;
    }
}

void SaveIntelliApps() {
    char name[VALUE_NAME_SIZE];
    int position = 1;
    for (int i = 0; i < INTELLI_APP_TABLE_SIZE && g_IntelliAppList.Entries[i]; ++i) {
        IntelliAppValueName(position++, name);
        WriteSettingText(name, g_IntelliAppList.Entries[i]);
    }
    const int tail = g_IntelliAppList.StoredTail;
    g_IntelliAppList.StoredTail = 0;
    if (tail >= position) {
        // Move the entries that never fitted into the table down behind the
        // table's ones; each is read before anything is written over it.
        const int tailStart = position;
        for (int from = tail; from <= INTELLI_APP_LAST_POSITION; ++from) {
            char buffer[SETTING_TEXT_SIZE] = "";
            IntelliAppValueName(from, name);
            // The save's first write created the key if it was missing; a
            // tail loaded from the INI file is still only there.
            if (g_IntelliAppList.StoredTailInIni)
                ReadIniText(name, buffer);
            else
                ReadSettingText(name, buffer);
            if (!buffer[0])
                break;
            // Written even in place, so both stores hold the whole list afterwards.
            IntelliAppValueName(position, name);
            WriteSettingText(name, buffer);
            ++position;
        }
        if (position > tailStart)
            g_IntelliAppList.StoredTail = tailStart;
        g_IntelliAppList.StoredTailInIni = false;  // now written to both stores
    }
    if (position <= INTELLI_APP_LAST_POSITION) {
        IntelliAppValueName(position, name);
        WriteSettingText(name, "");
    }
}

BOOL ReadFlagAt(HKEY root, const char* subkey, const char* name, BOOL defaultValue) {
    ScopedRegKey key;
    if (!OpenForRead(root, subkey, &key)) {
        char buffer[SETTING_TEXT_SIZE];
        ReadIniText(name, buffer);
        if (!buffer[0])
            return defaultValue;
        return lstrcmpiA(buffer, "TRUE") == 0;
    }
    RegistryValue value;
    if (!QueryValue(key.Get(), name, &value))
        return defaultValue;
    return DecodeRegistryFlag(value, defaultValue);
}

BOOL ReadSettingFlag(const char* name, BOOL defaultValue) {
    return ReadFlagAt(HKEY_CURRENT_USER, WHEEL_USER_KEY, name, defaultValue);
}

WORD ReadSettingNumber(const char* name, WORD defaultValue) {
    ScopedRegKey key;
    if (!OpenForRead(HKEY_CURRENT_USER, WHEEL_USER_KEY, &key)) {
        char buffer[SETTING_TEXT_SIZE];
        ReadIniText(name, buffer);
        if (!buffer[0])
            return defaultValue;
        return TextToNumber(buffer);
    }
    RegistryValue value;
    if (!QueryValue(key.Get(), name, &value))
        return defaultValue;
    return DecodeRegistryNumber(value, defaultValue);
}

bool ReadSettingText(const char* name, char (&buffer)[SETTING_TEXT_SIZE]) {
    ScopedRegKey key;
    if (!OpenForRead(HKEY_CURRENT_USER, WHEEL_USER_KEY, &key)) {
        ReadIniText(name, buffer);
        return buffer[0] != 0;
    }
    RegistryValue value;
    if (!QueryValue(key.Get(), name, &value))
        return false;
    if (value.Type == REG_SZ)
        CopyText(buffer, ValueText(value));
    return true;
}

bool WriteSettingFlag(const char* name, BOOL flag) {
    const char* text = flag ? "TRUE" : "FALSE";
    const bool written = WriteRegistryValue(name, REG_SZ, text, lstrlenA(text) + 1);
    WriteIniText(name, text);
    return written;
}

bool WriteSettingNumber(const char* name, WORD number) {
    const DWORD data = number;
    const bool written = WriteRegistryValue(name, REG_DWORD, &data, sizeof data);
    char text[NUMBER_TEXT_SIZE];
    NumberToText(number, text, sizeof text);
    WriteIniText(name, text);
    return written;
}

bool WriteSettingText(const char* name, const char* text) {
    const bool written = WriteRegistryValue(name, REG_SZ, text, lstrlenA(text) + 1);
    WriteIniText(name, text);
    return written;
}

void LoadWheelSettings() {
    WheelSettings& s = g_WheelSettings;
    s.ScrollWizard = ReadSettingFlag(VALUE_SCROLL_WIZARD, TRUE);
    s.IntelliMouseSupport = ReadSettingFlag(VALUE_INTELLIMOUSE_SUPPORT, TRUE);
    s.ExclusiveMode = ReadFlagAt(HKEY_LOCAL_MACHINE, WHEEL_MACHINE_KEY, VALUE_EXCLUSIVE_MODE, FALSE);
    if (s.ExclusiveMode)
        s.IntelliMouseSupport = !s.ScrollWizard;  // an either-or choice: exactly one is on
    s.WheelButtonAction = ReadSettingNumber(VALUE_WHEEL_BUTTON_ACTION, WHEEL_ACTION_QUICK_AUTO_SCROLL);
    s.QuickScrollAxis = ReadSettingNumber(VALUE_QUICK_SCROLL_AXIS, 1);
    s.AutoScrollSpeed = ReadSettingNumber(VALUE_AUTO_SCROLL_SPEED, 5);
    s.ScrollSpeed = ReadSettingNumber(VALUE_SCROLL_SPEED, 3);
    s.ScrollAxis = ReadSettingNumber(VALUE_SCROLL_AXIS, SCROLL_AXIS_VERTICAL);
    s.ReverseScroll = ReadSettingFlag(VALUE_REVERSE_SCROLL, FALSE);
    ClearIntelliApps();
    LoadIntelliApps();
}

void SaveWheelSettings() {
    const WheelSettings& s = g_WheelSettings;
    WriteSettingFlag(VALUE_SCROLL_WIZARD, s.ScrollWizard);
    WriteSettingFlag(VALUE_INTELLIMOUSE_SUPPORT, s.IntelliMouseSupport);
    WriteSettingNumber(VALUE_WHEEL_BUTTON_ACTION, s.WheelButtonAction);
    WriteSettingNumber(VALUE_QUICK_SCROLL_AXIS, s.QuickScrollAxis);
    WriteSettingNumber(VALUE_AUTO_SCROLL_SPEED, s.AutoScrollSpeed);
    WriteSettingNumber(VALUE_SCROLL_SPEED, s.ScrollSpeed);
    WriteSettingNumber(VALUE_SCROLL_AXIS, s.ScrollAxis);
    WriteSettingFlag(VALUE_REVERSE_SCROLL, s.ReverseScroll);
    SaveIntelliApps();
    // The wheel daemon rereads its settings when it sees the section's name.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(WHEEL_INI_SECTION),
                        SMTO_ABORTIFHUNG | SMTO_NORMAL, BROADCAST_TIMEOUT_MS, &result);
}

void NumberToText(WORD number, char* text, size_t size) {
    if (!text || size == 0)
        return;
    char digits[NUMBER_TEXT_SIZE];
    size_t count = 0;
    do {
        digits[count++] = char('0' + number % 10);
        number /= 10;
    } while (number != 0);
    size_t written = 0;
    while (count > 0 && written + 1 < size)
        text[written++] = digits[--count];
    text[written] = 0;
}

WORD TextToNumber(const char* text) {
    unsigned value = 0;
    for (; text && *text; ++text)
        value = unsigned(value * 10 + (static_cast<signed char>(*text) - 48)) & 0xFFFF;
    return WORD(value);
}
