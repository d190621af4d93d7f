// VROSetup driven from outside under Wine: the background window, the page
// sequence for each switch combination, Cancel with its confirmation, the
// centring of the wizard and screenshots of what the user sees.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ui_driver.h"

namespace {

const char WELCOME[] = "Welcome";
const char INTERFACE[] = "Hardware Interface Selection";
const char LOCATION[] = "Choose Mouse Location";
const char DESTINATION[] = "Choose Destination Location";
const char START[] = "Start Installation";
const char COMPLETE[] = "Setup Complete";

bool IsWindows95Mode() {
    std::string mode = ui::Environment("VRO_WINVER");
    return mode == "win95" || mode == "win98";
}

bool IsEnglish() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH;
}

// A setup folder of its own for each run: VROSetup.exe and, if given, its INI file.
class SetupRun {
public:
    explicit SetupRun(const char* ini) {
        static int counter = 0;
        char folder[MAX_PATH];
        wsprintfA(folder, "C:\\setupui%d", ++counter);
        folder_ = folder;
        CreateDirectoryA(folder, nullptr);
        std::string source = ui::WindowsPathFromUnix(ui::Environment("VRO_BIN_DIR")) + "\\VROSetup.exe";
        copied_ = CopyFileA(source.c_str(), (folder_ + "\\VROSetup.exe").c_str(), FALSE) != FALSE;
        if (ini) {
            std::string path = folder_ + (IsWindows95Mode() ? "\\SETUP95.INI" : "\\INSTNT.INI");
            HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            WriteFile(f, ini, lstrlenA(ini), &written, nullptr);
            CloseHandle(f);
        }
    }

    // Starts the program and waits for its wizard.
    HWND Start() {
        EXPECT_TRUE(copied_) << "VROSetup.exe not found through VRO_BIN_DIR";
        if (!program_.Start("\"" + folder_ + "\\VROSetup.exe\"", folder_))
            return nullptr;
        HWND wizard = ui::WaitForWizard(program_.ProcessId());
        if (wizard) {
            // Let the posted page removals arrive before anything is pressed.
            int count = ui::PageCount(wizard);
            for (int stable = 0; stable < 3;) {
                Sleep(100);
                int now = ui::PageCount(wizard);
                stable = now == count ? stable + 1 : 0;
                count = now;
            }
        }
        return wizard;
    }

    DWORD ExitCode(DWORD timeoutMs = 10000) {
        DWORD code = 12345;
        if (!program_.WaitForExit(timeoutMs, &code))
            ADD_FAILURE() << "VROSetup did not end within " << timeoutMs << " ms";
        return code;
    }

    ui::Program& Process() { return program_; }

private:
    std::string folder_;
    bool copied_ = false;
    ui::Program program_;
};

// Presses Next and waits for the wizard to show the page with caption next.
void NextTo(HWND wizard, const char* next) {
    ui::Click(wizard, ui::WIZARD_NEXT);
    EXPECT_EQ(ui::WaitForCaption(wizard, next), next);
}

std::vector<std::string> WalkToComplete(HWND wizard) {
    std::vector<std::string> captions;
    captions.push_back(ui::WaitForCaption(wizard, WELCOME));
    for (int step = 0; step < 8 && captions.back() != COMPLETE; ++step) {
        std::string before = captions.back();
        ui::Click(wizard, ui::WIZARD_NEXT);
        std::string now;
        ui::WaitUntil([&] {
            now = ui::WindowText(wizard);
            return now != before;
        });
        if (now == before)
            break;
        captions.push_back(now);
    }
    return captions;
}

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const auto& p : parts)
        text += (text.empty() ? "" : " > ") + p;
    return text;
}

TEST(SetupUi, PageSequenceFollowsTheSwitches) {
    // INI text, pages shown in order
    static const struct {
        const char* reason;
        const char* ini;
        std::vector<std::string> pages;
    } cases[] = {
        {"all three switches clear", "[Default]\nAskType=FALSE\n", {WELCOME, START, COMPLETE}},
        {"only AskPath set", "[Default]\nAskType=FALSE\nAskPath=TRUE\n", {WELCOME, DESTINATION, START, COMPLETE}},
        {"defaults: interface page only", nullptr, {WELCOME, INTERFACE, START, COMPLETE}},
        {"all three set", "[Default]\nAskPath=TRUE\nAskMousePosition=TRUE\n",
         {WELCOME, INTERFACE, LOCATION, DESTINATION, START, COMPLETE}},
        {"only the location page", "[Default]\nAskType=FALSE\nAskMousePosition=TRUE\n",
         {WELCOME, LOCATION, START, COMPLETE}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        SetupRun run(c.ini);
        HWND wizard = run.Start();
        ASSERT_TRUE(wizard);
        // The welcome page removes the unwanted pages by posted messages;
        // a driver faster than any user must let them arrive first.
        EXPECT_TRUE(ui::WaitUntil([&] { return ui::PageCount(wizard) == int(c.pages.size()); }, 5000))
            << "expected " << c.pages.size() << " pages, got " << ui::PageCount(wizard);
        std::vector<std::string> shown = WalkToComplete(wizard);
        EXPECT_EQ(Join(shown), Join(c.pages));
        // The last page offers Finish only; Cancel has become Close.
        EXPECT_TRUE(ui::WaitUntil(
            [&] {
                return ui::IsControlVisible(wizard, ui::WIZARD_FINISH) &&
                       !(ui::IsControlVisible(wizard, ui::WIZARD_BACK) && ui::IsControlEnabled(wizard, ui::WIZARD_BACK));
            },
            3000))
            << "Finish shown, Back not offered";
        EXPECT_FALSE(ui::IsControlEnabled(wizard, ui::WIZARD_CANCEL)) << "cancelling is no longer offered";
        ui::Click(wizard, ui::WIZARD_FINISH);
        EXPECT_EQ(run.ExitCode(), 0u);
    }
}

TEST(SetupUi, WizardButtonsOfEachPage) {
    SetupRun run("[Default]\nAskPath=TRUE\nAskMousePosition=TRUE\n");
    HWND wizard = run.Start();
    ASSERT_TRUE(wizard);
    ASSERT_EQ(ui::WaitForCaption(wizard, WELCOME), WELCOME);
    EXPECT_FALSE(ui::IsControlEnabled(wizard, ui::WIZARD_BACK)) << "Welcome offers Next only";
    EXPECT_TRUE(ui::IsControlEnabled(wizard, ui::WIZARD_NEXT));
    for (const char* page : {INTERFACE, LOCATION, DESTINATION, START}) {
        SCOPED_TRACE(page);
        NextTo(wizard, page);
        EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsControlEnabled(wizard, ui::WIZARD_BACK); }, 3000));
        EXPECT_TRUE(ui::IsControlEnabled(wizard, ui::WIZARD_NEXT));
    }
    ui::Click(wizard, ui::WIZARD_BACK);
    EXPECT_EQ(ui::WaitForCaption(wizard, DESTINATION), DESTINATION);
}

TEST(SetupUi, BackgroundWindowWithoutIni) {
    SetupRun run(nullptr);
    HWND wizard = run.Start();
    ASSERT_TRUE(wizard);
    HWND background = ui::WaitForWindow(run.Process().ProcessId(), "VROSetup", 0);
    ASSERT_TRUE(background);
    EXPECT_EQ(ui::WindowText(background), "Rovanta Setup");
    EXPECT_TRUE(IsZoomed(background)) << "the background is shown maximised";
    EXPECT_EQ(GetWindow(wizard, GW_OWNER), background) << "the wizard is owned by the background";
    // The welcome text has the title in place of both "%s".
    HWND page = ui::CurrentPage(wizard);
    ASSERT_TRUE(page);
    std::string welcome = ui::ControlText(page, 710);
    if (IsEnglish()) {
        EXPECT_EQ(welcome, "Welcome to the Rovanta Setup program.  This program will install Rovanta on your computer.");
    }
    EXPECT_EQ(welcome.find("%s"), std::string::npos);

    // Painted dark cyan, with the title in white over its black shadow at the top left.
    POINT origin = {0, 0};
    ClientToScreen(background, &origin);
    HDC screen = GetDC(nullptr);
    COLORREF fill = GetPixel(screen, origin.x + 40, origin.y + 400);
    bool white = false, black = false;
    for (int y = 5; y < 55 && !(white && black); ++y) {
        for (int x = 10; x < 220; ++x) {
            COLORREF c = GetPixel(screen, origin.x + x, origin.y + y);
            white = white || c == RGB(255, 255, 255);
            black = black || c == RGB(0, 0, 0);
        }
    }
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(fill, RGB(0, 128, 128)) << "expected dark cyan, got 0x" << std::hex << fill;
    EXPECT_TRUE(white) << "no white title pixels";
    EXPECT_TRUE(black) << "no black shadow pixels";
}

TEST(SetupUi, CancelResumeStaysThenExitEndsWithNothingWritten) {
    SetupRun run("[Install]\nTitle=Wheelie\n");
    HWND wizard = run.Start();
    ASSERT_TRUE(wizard);
    ASSERT_EQ(ui::WaitForCaption(wizard, WELCOME), WELCOME);
    DWORD pid = run.Process().ProcessId();

    ui::Click(wizard, ui::WIZARD_CANCEL);
    HWND confirm = ui::WaitForDialog(pid, "Exit Setup");
    ASSERT_TRUE(confirm) << "Cancel shows the exit confirmation";
    EXPECT_EQ(ui::ControlText(confirm, 1032),
              "Setup is incomplete. If you exit Setup now, Wheelie will not be installed on your computer.");
    EXPECT_EQ(ui::ControlText(confirm, 1033), "To continue installing Wheelie, click Resume.  To quit Setup, click Exit Setup.");
    ui::Click(confirm, 1);  // Resume
    EXPECT_TRUE(ui::WaitUntil([&] { return !IsWindow(confirm); }));
    EXPECT_TRUE(run.Process().IsRunning());
    EXPECT_EQ(ui::WindowText(wizard), WELCOME) << "Resume keeps the wizard on its page";

    ui::Click(wizard, ui::WIZARD_CANCEL);
    confirm = ui::WaitForDialog(pid, "Exit Setup");
    ASSERT_TRUE(confirm);
    ui::Click(confirm, 2);  // Exit Setup
    EXPECT_EQ(run.ExitCode(), 0u);

    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY key;
        LONG rc = RegOpenKeyExA(root, "Software\\Torvik", 0, KEY_READ, &key);
        if (rc == ERROR_SUCCESS)
            RegCloseKey(key);
        EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND) << "nothing of the setup in the registry";
    }
}

TEST(SetupUi, KeysOfTheExitConfirmation) {
    // key, the program still runs afterwards
    static const struct {
        const char* reason;
        UINT key;
        bool resumes;
    } cases[] = {
        {"Enter is Resume", VK_RETURN, true},
        {"Escape is Exit Setup", VK_ESCAPE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        SetupRun run(nullptr);
        HWND wizard = run.Start();
        ASSERT_TRUE(wizard);
        ASSERT_EQ(ui::WaitForCaption(wizard, WELCOME), WELCOME);
        ui::Click(wizard, ui::WIZARD_CANCEL);
        HWND confirm = ui::WaitForDialog(run.Process().ProcessId(), "Exit Setup");
        ASSERT_TRUE(confirm);
        ui::PressKey(confirm, c.key);
        EXPECT_TRUE(ui::WaitUntil([&] { return !IsWindow(confirm); })) << "the key closes the confirmation";
        if (c.resumes) {
            Sleep(300);
            EXPECT_TRUE(run.Process().IsRunning());
            EXPECT_EQ(ui::WindowText(wizard), WELCOME);
        } else {
            EXPECT_EQ(run.ExitCode(), 0u);
        }
    }
}

TEST(SetupUi, BackToWelcomeCentresTheWizard) {
    SetupRun run(nullptr);
    HWND wizard = run.Start();
    ASSERT_TRUE(wizard);
    ASSERT_EQ(ui::WaitForCaption(wizard, WELCOME), WELCOME);
    RECT rc;
    GetWindowRect(wizard, &rc);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    int cx = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, cy = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    EXPECT_EQ(rc.left, cx);
    EXPECT_EQ(rc.top, cy);

    NextTo(wizard, INTERFACE);
    SetWindowPos(wizard, nullptr, 3, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(ui::WaitUntil([&] {
        GetWindowRect(wizard, &rc);
        return rc.left == 3 && rc.top == 7;
    }));
    ui::Click(wizard, ui::WIZARD_BACK);
    ASSERT_EQ(ui::WaitForCaption(wizard, WELCOME), WELCOME);
    EXPECT_TRUE(ui::WaitUntil([&] {
        GetWindowRect(wizard, &rc);
        return rc.left == cx && rc.top == cy;
    }, 3000)) << "expected " << cx << "," << cy << ", got " << rc.left << "," << rc.top;
    EXPECT_EQ(rc.right - rc.left, width);
}

// The user's choices reach the summary of the "Start Installation" page.
TEST(SetupUi, ChoicesShowInTheSummary) {
    SetupRun run("[Default]\nAskMousePosition=TRUE\nAskPath=TRUE\nRestart=FALSE\n[Install]\nTitle=Wheelie\nVersion=2.5\n");
    HWND wizard = run.Start();
    ASSERT_TRUE(wizard);
    NextTo(wizard, INTERFACE);
    HWND page = ui::CurrentPage(wizard);
    EXPECT_TRUE(ui::IsChecked(page, 301)) << "the page starts with PS/2";
    EXPECT_FALSE(ui::IsControlVisible(page, 303)) << "no USB choice without USBType";
    ui::Click(page, 302);
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsChecked(page, 302); }));

    NextTo(wizard, LOCATION);
    page = ui::CurrentPage(wizard);
    EXPECT_TRUE(ui::IsControlVisible(page, 376));
    EXPECT_FALSE(ui::IsControlVisible(page, 377));
    ui::Click(page, 326);
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsChecked(page, 326); }));
    EXPECT_FALSE(ui::IsChecked(page, 325));
    EXPECT_TRUE(ui::IsControlVisible(page, 377)) << "the mouse left of the keyboard is shown";
    EXPECT_FALSE(ui::IsControlVisible(page, 376));

    NextTo(wizard, DESTINATION);
    page = ui::CurrentPage(wizard);
    std::string folder = ui::ControlText(page, 201);
    EXPECT_EQ(folder.substr(1), ":\\Program Files\\Torvik\\Rovanta");

    NextTo(wizard, START);
    page = ui::CurrentPage(wizard);
    std::string expected = std::string("Product:\r\n          Wheelie\r\n\r\nVersion:\r\n          2.5") +
                           "\r\n\r\nMouse Type:\r\n          Serial Mouse" +
                           "\r\n\r\nMouse Location:\r\n          Left side of keyboard" +
                           "\r\n\r\nInstallation Directory:\r\n          " + folder;
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::ControlText(page, 301) == expected; }, 3000))
        << "expected\n" << expected << "\ngot\n" << ui::ControlText(page, 301);

    // Back to the interface page, another choice, and the summary follows.
    ui::Click(wizard, ui::WIZARD_BACK);
    ASSERT_EQ(ui::WaitForCaption(wizard, DESTINATION), DESTINATION);
    ui::Click(wizard, ui::WIZARD_BACK);
    ASSERT_EQ(ui::WaitForCaption(wizard, LOCATION), LOCATION);
    ui::Click(wizard, ui::WIZARD_BACK);
    ASSERT_EQ(ui::WaitForCaption(wizard, INTERFACE), INTERFACE);
    page = ui::CurrentPage(wizard);
    EXPECT_TRUE(ui::IsChecked(page, 302)) << "the page keeps the last choice";
    ui::Click(page, 301);
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsChecked(page, 301); }));
    NextTo(wizard, LOCATION);
    NextTo(wizard, DESTINATION);
    NextTo(wizard, START);
    page = ui::CurrentPage(wizard);
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::ControlText(page, 301).find("PS/2 Mouse") != std::string::npos; }, 3000))
        << ui::ControlText(page, 301);

    // Without Restart the last page shows only its short text and Finish.
    NextTo(wizard, COMPLETE);
    page = ui::CurrentPage(wizard);
    EXPECT_TRUE(ui::IsControlVisible(page, 713));
    for (int hidden : {711, 502, 503, 712})
        EXPECT_FALSE(ui::IsControlVisible(page, hidden)) << "control " << hidden;
    EXPECT_EQ(ui::ControlText(page, 713),
              "Setup has successfully installed Wheelie. You can use Wheelie now.\n\nClick Finish to complete Setup.");
    ui::Click(wizard, ui::WIZARD_FINISH);
    EXPECT_EQ(run.ExitCode(), 0u);
}

// Screenshots of what the user sees, in the system's language.
TEST(SetupUiScreens, BackgroundWizardAndExitConfirmation) {
    std::string folder = ui::ScreenshotFolder();
    char lang[16];
    wsprintfA(lang, "%04x", GetUserDefaultUILanguage());
    SetupRun run(nullptr);
    HWND wizard = run.Start();
    ASSERT_TRUE(wizard);
    HWND page = nullptr;
    ASSERT_TRUE(ui::WaitUntil([&] { return (page = ui::CurrentPage(wizard)) != nullptr; }));
    Sleep(700);  // let the background and the page finish painting
    EXPECT_TRUE(ui::SaveScreenshot(folder + "\\setup_background_wizard_" + lang + ".png"));

    ui::Click(wizard, ui::WIZARD_CANCEL);
    HWND confirm = nullptr;
    ASSERT_TRUE(ui::WaitUntil([&] {
        for (HWND w : ui::TopLevelWindows(run.Process().ProcessId())) {
            if (w != wizard && ui::ClassName(w) == "#32770" && GetDlgItem(w, 1032))
                confirm = w;
        }
        return confirm != nullptr;
    }));
    std::string text = ui::ControlText(confirm, 1032);
    EXPECT_NE(text.find("Rovanta"), std::string::npos) << "the title is put into the text: " << text;
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE) {
        EXPECT_NE(ui::WindowText(confirm), "Exit Setup") << "the Japanese template is used";
    }
    Sleep(500);
    EXPECT_TRUE(ui::SaveScreenshot(folder + "\\setup_exit_confirmation_" + lang + ".png"));
    ui::Click(confirm, 2);
    EXPECT_EQ(run.ExitCode(), 0u);
}

}  // namespace
