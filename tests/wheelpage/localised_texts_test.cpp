// The Wheel page's language tables: their bytes decoded in each code page,
// the choice by language id and by the system's language, and the look-ups.
//   localised_texts_test --expect-lang=0x0407 --expect-texts=German [gtest flags]
// The two flags name the system language the run is set up with and the
// texts it must select.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "language_source.h"
#include "localised_texts.h"

namespace {

unsigned g_expectedLanguage = 0;
std::string g_expectedTexts;

const uint16_t ACTION_ORDER[ACTION_TABLE_LENGTH] = {0, 15, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};

std::wstring Decode(const char* bytes, UINT codePage) {
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, -1, nullptr, 0);
    if (length <= 0)
        return L"<invalid in code page " + std::to_wstring(codePage) + L">";
    std::wstring text(length, L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, -1, &text[0], length);
    text.resize(length - 1);
    return text;
}

// The text in a code page, failing when a character has no place there.
std::string Encode(const std::wstring& text, UINT codePage) {
    BOOL lost = FALSE;
    int length = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, &lost);
    std::string bytes(length, '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, &bytes[0], length, nullptr, &lost);
    bytes.resize(length > 0 ? length - 1 : 0);
    EXPECT_FALSE(lost) << "a character has no place in code page " << codePage;
    return bytes;
}

std::string Utf8(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], length, nullptr, nullptr);
    bytes.resize(length > 0 ? length - 1 : 0);
    return bytes;
}

const LanguageTexts* FindTexts(const std::string& key) {
    for (size_t i = 0; i < LANGUAGE_TEXTS_COUNT; ++i) {
        if (key == ALL_LANGUAGE_TEXTS[i]->Key)
            return ALL_LANGUAGE_TEXTS[i];
    }
    return nullptr;
}

// Checks that bytes decode in codePage to the UTF-8 text, and back again unchanged.
void ExpectDecodesTo(const char* bytes, UINT codePage, const char* utf8) {
    ASSERT_NE(bytes, nullptr);
    std::wstring decoded = Decode(bytes, codePage);
    EXPECT_EQ(Utf8(decoded), utf8) << "decoded in code page " << codePage;
    EXPECT_EQ(Encode(decoded, codePage), bytes) << "the bytes do not come back from their text";
}

TEST(LanguageTables, EveryTableDecodesToItsSourceText) {
    ASSERT_EQ(LANGUAGE_TEXTS_COUNT, 15u);
    ASSERT_EQ(LANGUAGE_SOURCE_COUNT, LANGUAGE_TEXTS_COUNT);
    for (size_t i = 0; i < LANGUAGE_SOURCE_COUNT; ++i) {
        const LanguageSource& source = LANGUAGE_SOURCES[i];
        SCOPED_TRACE(source.Key);
        const LanguageTexts* texts = FindTexts(source.Key);
        ASSERT_NE(texts, nullptr);
        EXPECT_EQ(texts->CodePage, source.CodePage);
        ExpectDecodesTo(texts->OpenErrorCaption, texts->CodePage, source.OpenErrorCaption);
        ExpectDecodesTo(texts->OpenErrorText, texts->CodePage, source.OpenErrorText);
        for (size_t a = 0; a < ACTION_TABLE_LENGTH; ++a) {
            SCOPED_TRACE(source.Actions[a].Name);
            EXPECT_EQ(texts->Actions[a].Id, ACTION_ORDER[a]) << "entry " << a;
            EXPECT_EQ(texts->Actions[a].Id, source.Actions[a].Id);
            ExpectDecodesTo(texts->Actions[a].Name, texts->CodePage, source.Actions[a].Name);
        }
        EXPECT_EQ(texts->Actions[ACTION_TABLE_LENGTH].Name, nullptr) << "the end entry has no name";
    }
}

TEST(LanguageTables, NoTwoNamesOfATableAreEqualIgnoringCase) {
    for (size_t i = 0; i < LANGUAGE_TEXTS_COUNT; ++i) {
        const LanguageTexts& texts = *ALL_LANGUAGE_TEXTS[i];
        SCOPED_TRACE(texts.Key);
        for (size_t a = 0; a < ACTION_TABLE_LENGTH; ++a) {
            std::wstring first = Decode(texts.Actions[a].Name, texts.CodePage);
            for (size_t b = a + 1; b < ACTION_TABLE_LENGTH; ++b) {
                std::wstring second = Decode(texts.Actions[b].Name, texts.CodePage);
                EXPECT_NE(CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, first.c_str(), -1, second.c_str(), -1),
                          CSTR_EQUAL)
                    << Utf8(first) << " and " << Utf8(second);
            }
        }
    }
}

// Texts given word for word for the tables; each row names its language,
// what it is (an action id, or -1 caption, -2 text) and the expected UTF-8 text.
TEST(LanguageTables, GivenTextsAreInTheirPlaces) {
    static const struct {
        const char* key;
        int what;
        const char* expected;
    } cases[] = {
        {"English", 0, "[None]"},
        {"English", 11, "Paste(Ctrl+V)"},
        {"English", -1, "Open Error"},
        {"English", -2, "The specified file can not be opened."},
        {"Italian", 4, "Gestione risorse di Windows"},
        {"Italian", 9, "Pagina giù"},
        {"French", 10, "Page préc. "},
        {"French", -1, "Erreur d'ouverture."},
        {"Japanese", 2, "ﾀﾞﾌﾞﾙｸﾘｯｸ"},
        {"Japanese", 11, "貼り付け(Ctrl+V)"},
        {"Japanese", -2, "指定されたファイルは開くことができません。"},
        {"TraditionalChinese", 11, "黏貼(Ctrl+V)"},
        {"TraditionalChinese", -1, "檔案開啟錯誤"},
        {"SimplifiedChinese", -1, "档案开启错误"},
        {"SimplifiedChinese", -2, "档案无法开启."},
        {"German", 10, "Bild auf "},
        {"German", -1, "Fehler beim Öffnen"},
        {"German", -2, "Die angegebene Datei konnte nicht geöffnet werden."},
        {"Dutch", 10, "Vorige pagina "},
        {"Finnish", 9, "Page Down"},
        {"Finnish", 10, "Page Up"},
        {"Spanish", -2, "Error al abrir"},
        {"Danish", -1, "Fejl under indlæsning"},
        {"Norwegian", -1, "Feil ved Åpning"},
        {"Swedish", -2, "Den angivna filen kan inte öppnas."},
        {"Greek", -1, "Σφάλμα κατά το άνοιγμα"},
        {"Greek", -2, "Το συγκεκριμένο αρχείο δεν μπορεί να ανοιχτεί."},
        {"Portuguese", -2, "O ficheiro especificado não pode ser aberto."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + std::to_string(c.what));
        const LanguageTexts* texts = FindTexts(c.key);
        ASSERT_NE(texts, nullptr);
        const char* bytes = c.what == -1 ? texts->OpenErrorCaption : c.what == -2 ? texts->OpenErrorText : nullptr;
        for (const ActionEntry* entry = texts->Actions; !bytes && entry->Name; ++entry) {
            if (entry->Id == c.what)
                bytes = entry->Name;
        }
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(Utf8(Decode(bytes, texts->CodePage)), c.expected);
    }
}

TEST(LanguageChoice, ByPrimaryAndSubLanguage) {
    // language id, expected texts
    static const struct {
        LANGID language;
        const char* expected;
        const char* reason;
    } cases[] = {
        {0x0409, "English", "English (United States)"},
        {0x0809, "English", "English (United Kingdom)"},
        {0x040A, "Spanish", "Spanish, traditional sort"},
        {0x0C0A, "Spanish", "Spanish, modern sort"},
        {0x080A, "Spanish", "Spanish (Mexico)"},
        {0x0410, "Italian", "Italian"},
        {0x0810, "Italian", "Italian (Switzerland)"},
        {0x0407, "German", "German"},
        {0x0807, "German", "German (Switzerland)"},
        {0x0C07, "German", "German (Austria)"},
        {0x040C, "French", "French"},
        {0x0C0C, "French", "French (Canada)"},
        {0x0413, "Dutch", "Dutch"},
        {0x0813, "Dutch", "Dutch (Belgium)"},
        {0x0408, "Greek", "Greek"},
        {0x040B, "Finnish", "Finnish"},
        {0x041D, "Swedish", "Swedish"},
        {0x081D, "Swedish", "Swedish (Finland)"},
        {0x0414, "Norwegian", "Norwegian (Bokmal)"},
        {0x0814, "Norwegian", "Norwegian (Nynorsk)"},
        {0x0406, "Danish", "Danish"},
        {0x0816, "Portuguese", "Portuguese (Portugal)"},
        {0x0416, "Portuguese", "Portuguese (Brazil)"},
        {0x0404, "TraditionalChinese", "Chinese (Taiwan)"},
        {0x0804, "SimplifiedChinese", "Chinese (People's Republic)"},
        {0x0C04, "English", "Chinese (Hong Kong) falls back"},
        {0x1004, "English", "Chinese (Singapore) falls back"},
        {0x1404, "English", "Chinese (Macao) falls back"},
        {0x0004, "English", "Chinese without sub-language falls back"},
        {0x0411, "Japanese", "Japanese"},
        {0x0412, "English", "Korean has no table"},
        {0x0419, "English", "Russian has no table"},
        {0x0000, "English", "neutral"},
        {0xFFFF, "English", "no language"},
        {0x0407 | 0x3C00, "German", "German with an unknown sub-language"},
        {0x0411 + 0x0400, "Japanese", "the sub-language does not matter for Japanese"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_STREQ(LanguageTextsFor(c.language).Key, c.expected);
    }
}

// Looks a name up that the test writes in UTF-8 and the table's code page.
WORD IdOf(const char* utf8) {
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], length);
    wide.resize(length - 1);
    return ActionIdByName(Encode(wide, CurrentLanguageTexts().CodePage).c_str());
}

TEST(SystemLanguage, SelectsTheTextsOfTheSystemLanguage) {
    ASSERT_FALSE(g_expectedTexts.empty()) << "run with --expect-lang=... --expect-texts=...";
    EXPECT_EQ(GetSystemDefaultLangID(), g_expectedLanguage)
        << "the run is not set up with the intended system language";
    SelectLanguageTexts();
    const LanguageTexts* expected = FindTexts(g_expectedTexts);
    ASSERT_NE(expected, nullptr);
    EXPECT_STREQ(CurrentLanguageTexts().Key, expected->Key);
    EXPECT_EQ(CurrentActionTable(), expected->Actions);
    EXPECT_STREQ(OpenErrorCaption(), expected->OpenErrorCaption);
    EXPECT_STREQ(OpenErrorText(), expected->OpenErrorText);
}

TEST(SystemLanguage, LooksActionsUpInTheCurrentTable) {
    SelectLanguageTexts();
    // language of the current texts, name as typed (UTF-8), expected id
    static const struct {
        const char* key;
        const char* name;
        WORD expected;
        const char* reason;
    } cases[] = {
        {"English", "Page Up", 10, "exact"},
        {"English", "page up", 10, "case ignored"},
        {"English", "CLOSE WINDOW", 15, "case ignored"},
        {"English", "Page Up ", 0, "a trailing blank counts"},
        {"English", "Bild auf ", 0, "another language's name"},
        {"English", "", 0, "empty"},
        {"German", "Bild auf ", 10, "the blank belongs to the name"},
        {"German", "Bild auf", 0, "without its blank it is another name"},
        {"German", "BILD AUF ", 10, "case ignored"},
        {"German", "nächstes fenster", 8, "case ignored beyond ASCII"},
        {"German", "NÄCHSTES FENSTER", 8, "case ignored beyond ASCII"},
        {"German", "Page Up", 0, "the English name on a German system"},
        {"Spanish", "Página anterior", 10, "exact"},
        {"Spanish", "PÁGINA ANTERIOR", 10, "case ignored beyond ASCII"},
        {"Spanish", "(ninguno)", 0, "id 0 itself"},
        {"Spanish", "Botón Inicio", 12, "exact"},
        {"TraditionalChinese", "關閉視窗", 15, "exact"},
        {"TraditionalChinese", "黏貼(ctrl+v)", 11, "Latin part case-folded"},
        {"TraditionalChinese", "關閉", 0, "a prefix is not the name"},
        {"SimplifiedChinese", "粘贴(CTRL+V)", 11, "Latin part case-folded"},
        {"SimplifiedChinese", "资源管理器", 4, "exact"},
        {"Japanese", "ｳｲﾝﾄﾞｳを閉じる", 15, "exact, half-width katakana"},
        {"Japanese", "WINDOWSｴｸｽﾌﾟﾛｰﾗ", 4, "Latin part case-folded"},
        {"Japanese", "元に戻す(ctrl+z)", 13, "Latin part case-folded"},
    };
    int checked = 0;
    for (const auto& c : cases) {
        if (g_expectedTexts != c.key)
            continue;
        SCOPED_TRACE(std::string(c.name) + ": " + c.reason);
        WORD got = IdOf(c.name);
        EXPECT_EQ(got, c.expected) << "expected " << c.expected << ", got " << got;
        ++checked;
    }
    EXPECT_GT(checked, 0) << "no look-up cases for " << g_expectedTexts;

    // Every name of the table finds its own id, and every id its own name.
    for (const ActionEntry* entry = CurrentActionTable(); entry->Name; ++entry) {
        SCOPED_TRACE(entry->Id);
        EXPECT_EQ(ActionIdByName(entry->Name), entry->Id);
        EXPECT_EQ(ActionNameById(entry->Id), entry->Name);
    }
    EXPECT_EQ(ActionNameById(1), nullptr) << "quick and auto scroll has no name";
    EXPECT_EQ(ActionNameById(14), nullptr) << "14 is not assigned";
    EXPECT_EQ(ActionNameById(0xFFFF), nullptr);
    EXPECT_EQ(ActionIdByName(nullptr), 0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--expect-lang=", 14) == 0)
            g_expectedLanguage = unsigned(strtoul(argv[i] + 14, nullptr, 16));
        else if (strncmp(argv[i], "--expect-texts=", 15) == 0)
            g_expectedTexts = argv[i] + 15;
    }
    return RUN_ALL_TESTS();
}
