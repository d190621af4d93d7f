// Test helpers for the wheel settings store: put values into the real
// registry and "vireo.ini" of the test prefix, read back what was written.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

#include "settings_store.h"

// regType of a case without a registry value.
constexpr DWORD NO_VALUE = 0xFFFFFFFF;

inline std::string Sz(const std::string& text) {
    return text + std::string(1, '\0');
}

inline std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

inline std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

inline std::string IniPath() {
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\" + WHEEL_INI_FILE;
}

// Wine keeps a profile in memory while its file time is unchanged; releasing
// it makes the next profile call read the file again.
inline void ReleaseIniCache() {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, WHEEL_INI_FILE);
}

inline void ResetStores() {
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\TVK");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Torvik");
    ReleaseIniCache();
    DeleteFileA(IniPath().c_str());
}

inline void CreateKey(HKEY root, const char* subkey) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS)
        << subkey;
    RegCloseKey(key);
}

inline void SetRegValue(HKEY root, const char* subkey, const char* name, DWORD type, const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS)
        << subkey;
    LONG result = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
    RegCloseKey(key);
    ASSERT_EQ(result, ERROR_SUCCESS) << name;
}

inline void SetUserValue(const char* name, DWORD type, const std::string& data) {
    SetRegValue(HKEY_CURRENT_USER, WHEEL_USER_KEY, name, type, data);
}

inline void SetIniValue(const char* name, const char* text) {
    ASSERT_TRUE(WritePrivateProfileStringA(WHEEL_INI_SECTION, name, text, WHEEL_INI_FILE)) << name;
}

// One value of a case: whether the user key exists, the registry value
// (NO_VALUE: none) and the INI line (nullptr: none).
inline void StoreCaseValue(const char* name, bool userKey, DWORD regType, const std::string& regData, const char* ini) {
    if (userKey)
        CreateKey(HKEY_CURRENT_USER, WHEEL_USER_KEY);
    if (regType != NO_VALUE)
        SetUserValue(name, regType, regData);
    if (ini)
        SetIniValue(name, ini);
}

struct RegRead {
    bool Found;
    DWORD Type;
    std::string Data;
};

inline RegRead GetRegValue(HKEY root, const char* subkey, const char* name) {
    RegRead read = {false, 0, ""};
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return read;
    char data[4096];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &read.Type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
        read.Found = true;
        read.Data.assign(data, size);
    }
    RegCloseKey(key);
    return read;
}

inline RegRead GetUserValue(const char* name) {
    return GetRegValue(HKEY_CURRENT_USER, WHEEL_USER_KEY, name);
}

// The INI line's text, or "<missing>".
inline std::string GetIniValue(const char* name) {
    char text[1024] = "";
    GetPrivateProfileStringA(WHEEL_INI_SECTION, name, "<missing>", text, sizeof text, WHEEL_INI_FILE);
    return text;
}

inline std::string AppName(int position) {
    return std::string(VALUE_INTELLI_APP_PREFIX) + std::to_string(position);
}

inline std::string AppPath(int n) {
    return "C:\\Programs\\App" + std::to_string(n) + ".exe";
}

// Printable form of registry data for failure messages.
inline std::string Shown(const std::string& data) {
    std::string shown;
    for (unsigned char c : data) {
        if (c >= 32 && c < 127) {
            shown += char(c);
        } else {
            char hex[8];
            wsprintfA(hex, "\\x%02X", c);
            shown += hex;
        }
    }
    return shown;
}

// Every case starts from empty stores and a fresh record and list.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        ResetStores();
        ClearIntelliApps();
        g_IntelliAppList.StoredTail = 0;
        g_IntelliAppList.StoredTailInIni = false;
        g_WheelSettings = WheelSettings();
    }
};
