// The wheel settings store against the real registry and profile functions:
// encodings, the INI fallback, the application list and the load and save order.
#include "store_fixture.h"

#include <vector>

namespace {

std::string Long(size_t count, char c = 'a') {
    return std::string(count, c);
}

using ReaderTest = StoreTest;

TEST_F(ReaderTest, FlagsDecodeByStoreAndType) {
    // user key present, registry type and data, INI line, default, expected flag
    static const struct {
        const char* reason;
        bool userKey;
        DWORD regType;
        std::string regData;
        const char* ini;
        BOOL defaultValue;
        BOOL expected;
    } cases[] = {
        {"REG_SZ true in lower case", true, REG_SZ, Sz("true"), nullptr, FALSE, TRUE},
        {"REG_SZ TRUE", true, REG_SZ, Sz("TRUE"), nullptr, FALSE, TRUE},
        {"REG_SZ yes is no flag text", true, REG_SZ, Sz("yes"), nullptr, TRUE, FALSE},
        {"REG_SZ FALSE", true, REG_SZ, Sz("FALSE"), nullptr, TRUE, FALSE},
        {"REG_SZ empty is not TRUE", true, REG_SZ, Sz(""), nullptr, TRUE, FALSE},
        {"REG_SZ with a trailing blank", true, REG_SZ, Sz("TRUE "), nullptr, FALSE, FALSE},
        {"REG_SZ stored without its zero", true, REG_SZ, "TRUE", nullptr, FALSE, TRUE},
        {"REG_DWORD 0", true, REG_DWORD, Dword(0), nullptr, TRUE, FALSE},
        {"REG_DWORD keeps its number", true, REG_DWORD, Dword(7), nullptr, FALSE, 7},
        {"REG_DWORD all bits", true, REG_DWORD, Dword(0xFFFFFFFF), nullptr, FALSE, BOOL(0xFFFFFFFF)},
        {"REG_BINARY is another type: default", true, REG_BINARY, Bytes({1}), nullptr, FALSE, FALSE},
        {"REG_BINARY with default true", true, REG_BINARY, Bytes({0}), nullptr, TRUE, TRUE},
        {"REG_EXPAND_SZ is another type", true, REG_EXPAND_SZ, Sz("TRUE"), nullptr, FALSE, FALSE},
        {"REG_SZ of 300 bytes is too long: default", true, REG_SZ, Sz("TRUE" + Long(295, ' ')), nullptr, TRUE, TRUE},
        {"REG_DWORD_BIG_ENDIAN is another type", true, REG_DWORD_BIG_ENDIAN, Dword(1), nullptr, FALSE, FALSE},
        {"key present, value missing: INI not read", true, NO_VALUE, "", "TRUE", FALSE, FALSE},
        {"key present, value missing, default true", true, NO_VALUE, "", "FALSE", TRUE, TRUE},
        {"key missing: INI true", false, NO_VALUE, "", "true", FALSE, TRUE},
        {"key missing: INI yes", false, NO_VALUE, "", "yes", TRUE, FALSE},
        {"key missing: INI empty gives the default", false, NO_VALUE, "", "", TRUE, TRUE},
        {"key missing: no INI line", false, NO_VALUE, "", nullptr, TRUE, TRUE},
        {"key missing: no INI line, default false", false, NO_VALUE, "", nullptr, FALSE, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ResetStores();
        StoreCaseValue(VALUE_SCROLL_WIZARD, c.userKey, c.regType, c.regData, c.ini);
        BOOL got = ReadSettingFlag(VALUE_SCROLL_WIZARD, c.defaultValue);
        EXPECT_EQ(got, c.expected) << "expected " << c.expected << ", got " << got;
    }
}

TEST_F(ReaderTest, NumbersDecodeByStoreAndType) {
    // user key present, registry type and data, INI line, expected (default 3)
    static const struct {
        const char* reason;
        bool userKey;
        DWORD regType;
        std::string regData;
        const char* ini;
        WORD expected;
    } cases[] = {
        {"key present without the value: INI not read", true, NO_VALUE, "", "7", 3},
        {"key missing: INI 7", false, NO_VALUE, "", "7", 7},
        {"key missing: INI line with nothing after =", false, NO_VALUE, "", "", 3},
        {"key missing: no INI line", false, NO_VALUE, "", nullptr, 3},
        {"key missing: INI 255", false, NO_VALUE, "", "255", 255},
        {"key missing: INI letters are taken as digits", false, NO_VALUE, "", "12a", 169},
        {"key missing: INI minus sign is no sign", false, NO_VALUE, "", "-1", 65507},
        {"key missing: INI 65536 wraps", false, NO_VALUE, "", "65536", 0},
        {"REG_SZ 5 is not a number value", true, REG_SZ, Sz("5"), nullptr, 3},
        {"REG_DWORD 255, one page per unit", true, REG_DWORD, Dword(255), nullptr, 255},
        {"REG_DWORD keeps the low 16 bits", true, REG_DWORD, Dword(0x12345), nullptr, 0x2345},
        {"REG_DWORD 0", true, REG_DWORD, Dword(0), nullptr, 0},
        {"REG_DWORD of two bytes", true, REG_DWORD, Bytes({5, 0}), nullptr, 5},
        {"REG_BINARY empty", true, REG_BINARY, "", nullptr, 0},
        {"REG_BINARY one byte 02", true, REG_BINARY, Bytes({2}), nullptr, 2},
        {"REG_BINARY two bytes little-endian", true, REG_BINARY, Bytes({0x34, 0x12}), nullptr, 0x1234},
        {"REG_BINARY three bytes: the first two", true, REG_BINARY, Bytes({0x34, 0x12, 0xFF}), nullptr, 0x1234},
        {"REG_BINARY of 256 bytes fits", true, REG_BINARY, Bytes({9, 0}) + Long(254, 'x'), nullptr, 9},
        {"REG_BINARY of 257 bytes is too long", true, REG_BINARY, Bytes({9, 0}) + Long(255, 'x'), nullptr, 3},
        {"REG_DWORD_BIG_ENDIAN is another type", true, REG_DWORD_BIG_ENDIAN, Dword(7), nullptr, 3},
        {"REG_MULTI_SZ is another type", true, REG_MULTI_SZ, Sz(Sz("7")), nullptr, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ResetStores();
        StoreCaseValue(VALUE_SCROLL_SPEED, c.userKey, c.regType, c.regData, c.ini);
        WORD got = ReadSettingNumber(VALUE_SCROLL_SPEED, 3);
        EXPECT_EQ(got, c.expected) << "expected " << c.expected << ", got " << got;
    }
}

TEST_F(ReaderTest, TextsDecodeByStoreAndType) {
    // user key present, registry type and data, INI line, expected result and buffer text
    // (the buffer holds "before" when the read starts)
    static const struct {
        const char* reason;
        bool userKey;
        DWORD regType;
        std::string regData;
        const char* ini;
        bool expectedResult;
        std::string expectedText;
    } cases[] = {
        {"REG_SZ path", true, REG_SZ, Sz("C:\\A\\b.exe"), nullptr, true, "C:\\A\\b.exe"},
        {"REG_SZ empty", true, REG_SZ, Sz(""), nullptr, true, ""},
        {"REG_SZ of 255 characters fits", true, REG_SZ, Sz(Long(255)), nullptr, true, Long(255)},
        {"REG_SZ of 256 characters is too long", true, REG_SZ, Sz(Long(256)), nullptr, false, "before"},
        {"REG_SZ of 256 bytes without a zero", true, REG_SZ, Long(256), nullptr, false, "before"},
        {"REG_SZ of 4000 characters", true, REG_SZ, Sz(Long(4000)), nullptr, false, "before"},
        {"REG_DWORD: query succeeds, nothing copied", true, REG_DWORD, Dword(1), nullptr, true, "before"},
        {"REG_EXPAND_SZ: nothing copied", true, REG_EXPAND_SZ, Sz("C:\\x"), nullptr, true, "before"},
        {"key present, value missing: INI not read", true, NO_VALUE, "", "C:\\ini.exe", false, "before"},
        {"key missing: INI text", false, NO_VALUE, "", "C:\\ini.exe", true, "C:\\ini.exe"},
        {"key missing: INI empty", false, NO_VALUE, "", "", false, ""},
        {"key missing: no INI line gives the empty text", false, NO_VALUE, "", nullptr, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ResetStores();
        StoreCaseValue("IntelliApp_1", c.userKey, c.regType, c.regData, c.ini);
        char buffer[SETTING_TEXT_SIZE] = "before";
        bool got = ReadSettingText("IntelliApp_1", buffer);
        EXPECT_EQ(got, c.expectedResult);
        EXPECT_EQ(std::string(buffer), c.expectedText);
    }
}

TEST_F(ReaderTest, IniLineOf300CharactersIsCutToTheBuffer) {
    SetIniValue(VALUE_SCROLL_SPEED, Long(300, '1').c_str());
    char buffer[SETTING_TEXT_SIZE] = "";
    EXPECT_TRUE(ReadSettingText(VALUE_SCROLL_SPEED, buffer));
    EXPECT_EQ(std::string(buffer), Long(255, '1'));
    // The number is made of the 255 digits that fit, kept in 16 bits.
    EXPECT_EQ(ReadSettingNumber(VALUE_SCROLL_SPEED, 3), 29127);
}

TEST_F(ReaderTest, FlagAtMachineKeyFallsBackToIni) {
    // machine key present, its value (REG_SZ), INI line, expected
    static const struct {
        const char* reason;
        bool machineKey;
        const char* regText;
        const char* ini;
        BOOL expected;
    } cases[] = {
        {"machine key TRUE", true, "TRUE", nullptr, TRUE},
        {"machine key True, any case", true, "True", nullptr, TRUE},
        {"machine key without the value: INI not read", true, nullptr, "TRUE", FALSE},
        {"machine key missing: INI decides", false, nullptr, "TRUE", TRUE},
        {"machine key missing, no INI line: default", false, nullptr, nullptr, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ResetStores();
        if (c.machineKey)
            CreateKey(HKEY_LOCAL_MACHINE, WHEEL_MACHINE_KEY);
        if (c.regText)
            SetRegValue(HKEY_LOCAL_MACHINE, WHEEL_MACHINE_KEY, VALUE_ALWAYS_SHOW_PAGE, REG_SZ, Sz(c.regText));
        if (c.ini)
            SetIniValue(VALUE_ALWAYS_SHOW_PAGE, c.ini);
        EXPECT_EQ(ReadFlagAt(HKEY_LOCAL_MACHINE, WHEEL_MACHINE_KEY, VALUE_ALWAYS_SHOW_PAGE, FALSE), c.expected);
    }
}

using WriterTest = StoreTest;

TEST_F(WriterTest, EachWriterFillsBothStores) {
    // what is written, expected registry type and data, expected INI text
    static const struct {
        const char* reason;
        char kind;  // 'f' flag, 'n' number, 't' text
        DWORD number;
        const char* text;
        DWORD expectedType;
        std::string expectedData;
        const char* expectedIni;
    } cases[] = {
        {"flag 1", 'f', 1, nullptr, REG_SZ, Sz("TRUE"), "TRUE"},
        {"any non-zero flag", 'f', 0x80000000, nullptr, REG_SZ, Sz("TRUE"), "TRUE"},
        {"flag 0", 'f', 0, nullptr, REG_SZ, Sz("FALSE"), "FALSE"},
        {"number 3", 'n', 3, nullptr, REG_DWORD, Dword(3), "3"},
        {"number 0", 'n', 0, nullptr, REG_DWORD, Dword(0), "0"},
        {"255, one page per unit", 'n', 255, nullptr, REG_DWORD, Dword(255), "255"},
        {"10000 in full decimal", 'n', 10000, nullptr, REG_DWORD, Dword(10000), "10000"},
        {"largest number", 'n', 65535, nullptr, REG_DWORD, Dword(65535), "65535"},
        {"text", 't', 0, "C:\\Programs\\Word.exe", REG_SZ, Sz("C:\\Programs\\Word.exe"), "C:\\Programs\\Word.exe"},
        {"empty text, the list's end marker", 't', 0, "", REG_SZ, Sz(""), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ResetStores();
        const char* name = "Value";
        bool written = c.kind == 'f'   ? WriteSettingFlag(name, BOOL(c.number))
                       : c.kind == 'n' ? WriteSettingNumber(name, WORD(c.number))
                                       : WriteSettingText(name, c.text);
        EXPECT_TRUE(written) << "the user key is created when missing";
        RegRead reg = GetUserValue(name);
        EXPECT_TRUE(reg.Found);
        EXPECT_EQ(reg.Type, c.expectedType);
        EXPECT_EQ(Shown(reg.Data), Shown(c.expectedData));
        EXPECT_EQ(GetIniValue(name), c.expectedIni);
        if (c.kind == 'n') {
            EXPECT_EQ(TextToNumber(GetIniValue(name).c_str()), c.number) << "the INI form reads back";
        }
    }
}

// A non-volatile key cannot be made below a volatile one: the user key's
// creation fails while the INI file can still be written.
void MakeUserKeyUncreatable() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\TVK", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(WriterTest, FailedRegistryWriteStillWritesTheIniFile) {
    MakeUserKeyUncreatable();
    EXPECT_FALSE(WriteSettingNumber(VALUE_SCROLL_SPEED, 9)) << "the registry write must fail in this set-up";
    EXPECT_FALSE(GetUserValue(VALUE_SCROLL_SPEED).Found);
    EXPECT_EQ(GetIniValue(VALUE_SCROLL_SPEED), "9");
    EXPECT_EQ(ReadSettingNumber(VALUE_SCROLL_SPEED, 3), 9) << "the key cannot be opened, so the INI file is read";
}

TEST(NumberText, NumberToTextOnBoundaries) {
    // number, buffer size, expected text
    static const struct {
        WORD number;
        size_t size;
        const char* expected;
    } cases[] = {
        {0, 6, "0"},         {7, 6, "7"},       {10, 6, "10"},     {99, 6, "99"},     {100, 6, "100"},
        {101, 6, "101"},     {1000, 6, "1000"}, {1001, 6, "1001"}, {9999, 6, "9999"}, {10000, 6, "10000"},
        {65535, 6, "65535"}, {12345, 3, "12"},  {5, 1, ""},        {255, 4, "255"},   {3050, 6, "3050"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        char text[8];
        memset(text, '#', sizeof text);
        NumberToText(c.number, text, c.size);
        EXPECT_STREQ(text, c.expected);
        EXPECT_EQ(text[c.size], '#') << "wrote past the buffer";
    }
}

TEST(NumberText, TextToNumberOnBoundariesAndNonDigits) {
    // text, expected number (every character counts as its code minus 48, in 16 bits)
    static const struct {
        const char* text;
        WORD expected;
    } cases[] = {
        {"", 0},        {"0", 0},         {"7", 7},         {"0007", 7},     {"255", 255},
        {"9999", 9999}, {"10000", 10000}, {"65535", 65535}, {"65536", 0},    {"99999", 34463},
        {"12a", 169},   {"-1", 65507},    {" 5", 65381},    {"\xFF", 65487}, {"9999999999", 58367},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Shown(c.text));
        EXPECT_EQ(TextToNumber(c.text), c.expected);
    }
}

TEST(NumberText, EveryNumberReadsBackFromItsText) {
    for (unsigned n = 0; n <= 0xFFFF; ++n) {
        char text[NUMBER_TEXT_SIZE];
        NumberToText(WORD(n), text, sizeof text);
        ASSERT_EQ(TextToNumber(text), n) << "text " << text;
    }
}

using LoadSaveTest = StoreTest;

TEST_F(LoadSaveTest, EmptyStoresGiveTheDefaults) {
    g_WheelSettings.ScrollSpeed = 77;
    g_WheelSettings.IntelliMouseSupport = FALSE;
    LoadWheelSettings();
    const WheelSettings& s = g_WheelSettings;
    EXPECT_EQ(s.ScrollWizard, TRUE);
    EXPECT_EQ(s.IntelliMouseSupport, TRUE);
    EXPECT_EQ(s.ExclusiveMode, FALSE);
    EXPECT_EQ(s.WheelButtonAction, 1);
    EXPECT_EQ(s.QuickScrollAxis, 1);
    EXPECT_EQ(s.AutoScrollSpeed, 5);
    EXPECT_EQ(s.ScrollSpeed, 3);
    EXPECT_EQ(s.ScrollAxis, 1);
    EXPECT_EQ(s.ReverseScroll, FALSE);
    EXPECT_EQ(IntelliAppCount(), 0);
}

TEST_F(LoadSaveTest, ExclusiveModeOverrulesTheStoredIntelliMouseFlag) {
    // machine key's value (nullptr: key missing), INI line of the switch, stored wizard and IntelliMouse
    // flags, expected wizard, IntelliMouse support and exclusive mode
    static const struct {
        const char* reason;
        const char* machineValue;
        const char* iniSwitch;
        const char* wizard;
        const char* intelli;
        BOOL expectedWizard, expectedIntelli, expectedExclusive;
    } cases[] = {
        {"exclusive, wizard off: IntelliMouse on", "TRUE", nullptr, "FALSE", "FALSE", FALSE, TRUE, TRUE},
        {"exclusive, wizard on: IntelliMouse off", "TRUE", nullptr, "TRUE", "TRUE", TRUE, FALSE, TRUE},
        {"exclusive, both missing: wizard default on", "true", nullptr, nullptr, nullptr, TRUE, FALSE, TRUE},
        {"not exclusive: both as stored", "FALSE", nullptr, "FALSE", "FALSE", FALSE, FALSE, FALSE},
        {"machine key missing: the INI switch counts", nullptr, "TRUE", "FALSE", "FALSE", FALSE, TRUE, TRUE},
        {"machine key present without value: INI ignored", "", "TRUE", "FALSE", "FALSE", FALSE, FALSE, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ResetStores();
        if (c.machineValue) {
            CreateKey(HKEY_LOCAL_MACHINE, WHEEL_MACHINE_KEY);
            if (c.machineValue[0])
                SetRegValue(HKEY_LOCAL_MACHINE, WHEEL_MACHINE_KEY, VALUE_EXCLUSIVE_MODE, REG_SZ, Sz(c.machineValue));
        }
        if (c.iniSwitch)
            SetIniValue(VALUE_EXCLUSIVE_MODE, c.iniSwitch);
        CreateKey(HKEY_CURRENT_USER, WHEEL_USER_KEY);
        if (c.wizard)
            SetUserValue(VALUE_SCROLL_WIZARD, REG_SZ, Sz(c.wizard));
        if (c.intelli)
            SetUserValue(VALUE_INTELLIMOUSE_SUPPORT, REG_SZ, Sz(c.intelli));
        LoadWheelSettings();
        EXPECT_EQ(g_WheelSettings.ScrollWizard, c.expectedWizard);
        EXPECT_EQ(g_WheelSettings.IntelliMouseSupport, c.expectedIntelli);
        EXPECT_EQ(g_WheelSettings.ExclusiveMode, c.expectedExclusive);
    }
}

TEST_F(LoadSaveTest, SaveWritesEveryValueInBothStores) {
    WheelSettings& s = g_WheelSettings;
    s.ScrollWizard = FALSE;
    s.IntelliMouseSupport = TRUE;
    s.ExclusiveMode = TRUE;
    s.WheelButtonAction = 10;
    s.QuickScrollAxis = 0;
    s.AutoScrollSpeed = 9;
    s.ScrollSpeed = SCROLL_SPEED_ONE_PAGE;
    s.ScrollAxis = SCROLL_AXIS_HORIZONTAL;
    s.ReverseScroll = TRUE;
    ASSERT_TRUE(AddIntelliApp("C:\\Office\\Winword.exe"));
    SaveWheelSettings();

    // value name, expected registry type and data, expected INI text
    static const struct {
        const char* name;
        DWORD type;
        std::string data;
        const char* ini;
    } expected[] = {
        {"EnableScrollWizard", REG_SZ, Sz("FALSE"), "FALSE"},
        {"EnableIntelliMouseSupport", REG_SZ, Sz("TRUE"), "TRUE"},
        {"WheelButtonAction", REG_DWORD, Dword(10), "10"},
        {"QuickScrollAxis", REG_DWORD, Dword(0), "0"},
        {"AutoScrollSpeed", REG_DWORD, Dword(9), "9"},
        {"ScrollSpeed", REG_DWORD, Dword(255), "255"},
        {"ScrollAxis", REG_DWORD, Dword(2), "2"},
        {"ReverseScroll", REG_SZ, Sz("TRUE"), "TRUE"},
        {"IntelliApp_1", REG_SZ, Sz("C:\\Office\\Winword.exe"), "C:\\Office\\Winword.exe"},
        {"IntelliApp_2", REG_SZ, Sz(""), ""},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        RegRead reg = GetUserValue(e.name);
        EXPECT_TRUE(reg.Found);
        EXPECT_EQ(reg.Type, e.type);
        EXPECT_EQ(Shown(reg.Data), Shown(e.data));
        EXPECT_EQ(GetIniValue(e.name), e.ini);
    }
    EXPECT_FALSE(GetUserValue(VALUE_EXCLUSIVE_MODE).Found) << "exclusive mode is never written";
    EXPECT_EQ(GetIniValue(VALUE_EXCLUSIVE_MODE), "<missing>");
    EXPECT_FALSE(GetRegValue(HKEY_LOCAL_MACHINE, WHEEL_MACHINE_KEY, VALUE_EXCLUSIVE_MODE).Found);

    g_WheelSettings = WheelSettings();
    LoadWheelSettings();
    EXPECT_EQ(s.ScrollWizard, FALSE);
    EXPECT_EQ(s.IntelliMouseSupport, TRUE);
    EXPECT_EQ(s.ExclusiveMode, FALSE) << "only the machine key sets it";
    EXPECT_EQ(s.WheelButtonAction, 10);
    EXPECT_EQ(s.QuickScrollAxis, 0);
    EXPECT_EQ(s.AutoScrollSpeed, 9);
    EXPECT_EQ(s.ScrollSpeed, 255);
    EXPECT_EQ(s.ScrollAxis, 2);
    EXPECT_EQ(s.ReverseScroll, TRUE);
    ASSERT_EQ(IntelliAppCount(), 1);
    EXPECT_STREQ(g_IntelliAppList.Entries[0], "C:\\Office\\Winword.exe");
}

TEST_F(LoadSaveTest, SaveWithFailingRegistryFillsTheIniFileThatIsThenRead) {
    MakeUserKeyUncreatable();
    g_WheelSettings.ScrollSpeed = 7;
    g_WheelSettings.ReverseScroll = TRUE;
    ASSERT_TRUE(AddIntelliApp("C:\\a.exe"));
    SaveWheelSettings();
    EXPECT_FALSE(GetUserValue(VALUE_SCROLL_SPEED).Found);
    g_WheelSettings = WheelSettings();
    LoadWheelSettings();
    EXPECT_EQ(g_WheelSettings.ScrollSpeed, 7);
    EXPECT_EQ(g_WheelSettings.ReverseScroll, TRUE);
    ASSERT_EQ(IntelliAppCount(), 1);
    EXPECT_STREQ(g_IntelliAppList.Entries[0], "C:\\a.exe");
}

std::vector<std::string> LoadedList() {
    std::vector<std::string> list;
    for (int i = 0; i < IntelliAppCount(); ++i)
        list.push_back(g_IntelliAppList.Entries[i]);
    return list;
}

std::string Joined(const std::vector<std::string>& list) {
    std::string joined;
    for (const auto& s : list)
        joined += (joined.empty() ? "" : "|") + s;
    return joined;
}

TEST_F(LoadSaveTest, StoredListEndsAtTheFirstGap) {
    // stored positions (registry when the key exists, else INI), expected list
    static const struct {
        const char* reason;
        bool userKey;
        std::vector<std::pair<int, std::string>> stored;
        DWORD typeOfSecond;  // REG_SZ unless a row says otherwise
        const char* expected;
    } cases[] = {
        {"1 and 3 present, 2 missing", true, {{1, "a.exe"}, {3, "c.exe"}}, REG_SZ, "a.exe"},
        {"2 empty ends the list", true, {{1, "a.exe"}, {2, ""}, {3, "c.exe"}}, REG_SZ, "a.exe"},
        {"2 a number: nothing copied, list ends", true, {{1, "a.exe"}, {2, "x"}, {3, "c.exe"}}, REG_DWORD, "a.exe"},
        {"nothing stored", true, {}, REG_SZ, ""},
        {"three in a row", true, {{1, "a.exe"}, {2, "b.exe"}, {3, "c.exe"}}, REG_SZ, "a.exe|b.exe|c.exe"},
        {"key missing: the INI list", false, {{1, "a.exe"}, {2, "b.exe"}}, REG_SZ, "a.exe|b.exe"},
        {"key missing: INI gap", false, {{1, "a.exe"}, {3, "c.exe"}}, REG_SZ, "a.exe"},
        {"first missing: empty list", true, {{2, "b.exe"}}, REG_SZ, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        Reset();
        if (c.userKey)
            CreateKey(HKEY_CURRENT_USER, WHEEL_USER_KEY);
        for (const auto& entry : c.stored) {
            std::string name = AppName(entry.first);
            if (!c.userKey)
                SetIniValue(name.c_str(), entry.second.c_str());
            else if (entry.first == 2 && c.typeOfSecond == REG_DWORD)
                SetUserValue(name.c_str(), REG_DWORD, Dword(1));
            else
                SetUserValue(name.c_str(), REG_SZ, Sz(entry.second));
        }
        LoadWheelSettings();
        EXPECT_EQ(Joined(LoadedList()), c.expected);
    }
}

TEST_F(LoadSaveTest, ListStoredOnlyInIniIsIgnoredWhileTheKeyOpens) {
    CreateKey(HKEY_CURRENT_USER, WHEEL_USER_KEY);
    SetIniValue("IntelliApp_1", "a.exe");
    LoadWheelSettings();
    EXPECT_EQ(IntelliAppCount(), 0);
}

TEST_F(LoadSaveTest, ShorterListAfterLongerOneEndsWithAnEmptyValue) {
    for (int n = 1; n <= 5; ++n)
        ASSERT_TRUE(AddIntelliApp(AppPath(n).c_str()));
    SaveWheelSettings();
    ClearIntelliApps();
    ASSERT_TRUE(AddIntelliApp("C:\\new1.exe"));
    ASSERT_TRUE(AddIntelliApp("C:\\new2.exe"));
    SaveWheelSettings();

    // position, expected registry text and INI text (old entries 4 and 5 stay)
    static const struct {
        int position;
        std::string expected;
    } expected[] = {
        {1, "C:\\new1.exe"}, {2, "C:\\new2.exe"}, {3, ""}, {4, AppPath(4)}, {5, AppPath(5)},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.position);
        std::string name = AppName(e.position);
        RegRead reg = GetUserValue(name.c_str());
        EXPECT_EQ(reg.Type, DWORD(REG_SZ));
        EXPECT_EQ(Shown(reg.Data), Shown(Sz(e.expected)));
        EXPECT_EQ(GetIniValue(name.c_str()), e.expected);
    }
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_6").Data), Shown(Sz(""))) << "the first save's end marker stays";
    LoadWheelSettings();
    EXPECT_EQ(Joined(LoadedList()), "C:\\new1.exe|C:\\new2.exe");
}

TEST_F(LoadSaveTest, AddingRefusesWhatTheStoresCouldNotGiveBack) {
    // path, expected result of AddIntelliApp on an empty list
    static const struct {
        const char* reason;
        std::string path;
        bool expected;
    } cases[] = {
        {"ordinary path", "C:\\a.exe", true},
        {"255 characters: the most a read gives back", "C:\\" + Long(252), true},
        {"256 characters could not be read back", "C:\\" + Long(253), false},
        {"empty would end the stored list", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ClearIntelliApps();
        EXPECT_EQ(AddIntelliApp(c.path.c_str()), c.expected);
        EXPECT_EQ(IntelliAppCount(), c.expected ? 1 : 0);
    }
    EXPECT_FALSE(AddIntelliApp(nullptr));
}

TEST_F(LoadSaveTest, TableHoldsAtMost128Entries) {
    for (int n = 1; n <= INTELLI_APP_TABLE_SIZE; ++n)
        ASSERT_TRUE(AddIntelliApp(AppPath(n).c_str())) << n;
    EXPECT_FALSE(AddIntelliApp("C:\\one-too-many.exe"));
    EXPECT_EQ(IntelliAppCount(), INTELLI_APP_TABLE_SIZE);
}

void StoreListInRegistry(int count) {
    CreateKey(HKEY_CURRENT_USER, WHEEL_USER_KEY);
    for (int n = 1; n <= count; ++n)
        SetUserValue(AppName(n).c_str(), REG_SZ, Sz(AppPath(n)));
}

TEST_F(LoadSaveTest, EntriesBeyondTheTableStayInTheStores) {
    StoreListInRegistry(130);
    LoadWheelSettings();
    ASSERT_EQ(IntelliAppCount(), INTELLI_APP_TABLE_SIZE);
    EXPECT_EQ(std::string(g_IntelliAppList.Entries[127]), AppPath(128));
    EXPECT_FALSE(AddIntelliApp("C:\\added.exe")) << "the table is full";

    SaveWheelSettings();
    for (int n = 1; n <= 130; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Shown(GetUserValue(AppName(n).c_str()).Data), Shown(Sz(AppPath(n))));
        EXPECT_EQ(GetIniValue(AppName(n).c_str()), AppPath(n));
    }
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_131").Data), Shown(Sz("")));

    // The user removes 28 entries: the two that never fitted move up behind the rest.
    ClearIntelliApps();
    for (int n = 1; n <= 100; ++n)
        ASSERT_TRUE(AddIntelliApp(AppPath(n).c_str()));
    SaveWheelSettings();
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_101").Data), Shown(Sz(AppPath(129))));
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_102").Data), Shown(Sz(AppPath(130))));
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_103").Data), Shown(Sz("")));
    EXPECT_EQ(GetIniValue("IntelliApp_102"), AppPath(130));

    // Saving again changes nothing; loading now shows all 102.
    SaveWheelSettings();
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_102").Data), Shown(Sz(AppPath(130))));
    LoadWheelSettings();
    ASSERT_EQ(IntelliAppCount(), 102);
    EXPECT_EQ(std::string(g_IntelliAppList.Entries[100]), AppPath(129));
    EXPECT_EQ(std::string(g_IntelliAppList.Entries[101]), AppPath(130));
}

TEST_F(LoadSaveTest, EntriesBeyondTheTableInTheIniFileSurviveTheFirstSave) {
    // No user key: the list comes from the INI file, and the save's first
    // write creates the key, which then lacks the entries that did not fit.
    for (int n = 1; n <= 129; ++n)
        SetIniValue(AppName(n).c_str(), AppPath(n).c_str());
    LoadWheelSettings();
    ASSERT_EQ(IntelliAppCount(), INTELLI_APP_TABLE_SIZE);
    SaveWheelSettings();
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_129").Data), Shown(Sz(AppPath(129))));
    EXPECT_EQ(GetIniValue("IntelliApp_129"), AppPath(129));
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_130").Data), Shown(Sz("")));
    EXPECT_EQ(GetIniValue("IntelliApp_130"), "");
}

TEST_F(LoadSaveTest, ListCutShortByMemoryKeepsTheRestOnSave) {
    // What a load leaves when the copy of entry 3 could not be allocated:
    // two entries in the table, the stored list going on from position 3.
    StoreListInRegistry(5);
    ASSERT_TRUE(AddIntelliApp(AppPath(1).c_str()));
    ASSERT_TRUE(AddIntelliApp(AppPath(2).c_str()));
    g_IntelliAppList.StoredTail = 3;
    EXPECT_FALSE(AddIntelliApp("C:\\added.exe")) << "an added entry would overwrite stored entry 3";
    SaveWheelSettings();
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Shown(GetUserValue(AppName(n).c_str()).Data), Shown(Sz(AppPath(n))));
        EXPECT_EQ(GetIniValue(AppName(n).c_str()), AppPath(n));
    }
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_6").Data), Shown(Sz("")));
    LoadWheelSettings();
    EXPECT_EQ(IntelliAppCount(), 5);
    EXPECT_EQ(g_IntelliAppList.StoredTail, 0);
}

TEST_F(LoadSaveTest, ClearedListSavesOnlyTheEndMarker) {
    StoreListInRegistry(3);
    LoadWheelSettings();
    ASSERT_EQ(IntelliAppCount(), 3);
    ClearIntelliApps();
    EXPECT_EQ(IntelliAppCount(), 0);
    SaveWheelSettings();
    EXPECT_EQ(Shown(GetUserValue("IntelliApp_1").Data), Shown(Sz("")));
    LoadWheelSettings();
    EXPECT_EQ(IntelliAppCount(), 0);
}

TEST(IntelliAppText, CopiesAreSeparateAndFreed) {
    const char* source = "C:\\Programs\\App.exe";
    char* copy = IntelliAppList::CopyText(source);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, source);
    EXPECT_STREQ(copy, source);
    EXPECT_NE(LocalHandle(copy), nullptr) << "a copy lives on the local heap";
    IntelliAppList::FreeText(copy);
    IntelliAppList::FreeText(nullptr);
    char* empty = IntelliAppList::CopyText("");
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    IntelliAppList::FreeText(empty);
}

}  // namespace
