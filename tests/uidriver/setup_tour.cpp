// The main job while the installer grows: runs VROSetup with every page
// switched on, walks the wizard to its end and saves a screenshot of each
// page and of the exit confirmation.
#include <windows.h>
#include <stdio.h>

#include <string>

#include "ui_driver.h"

namespace {

const char TOUR_INI[] =
    "[Install]\r\nTitle=Rovanta\r\nVersion=1.0\r\n"
    "[Default]\r\nAskType=TRUE\r\nAskMousePosition=TRUE\r\nAskPath=TRUE\r\nUSBType=TRUE\r\nRestart=TRUE\r\n";

bool WriteText(const std::string& path, const char* text) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(f, text, lstrlenA(text), &written, nullptr);
    CloseHandle(f);
    return ok && written == DWORD(lstrlenA(text));
}

// The dialogs in the order the tour meets them, every page being switched on.
const char* const SHOT_NAMES[] = {"12006_welcome",    "10300_exit_setup",  "10203_interface", "123_location",
                                  "10201_destination", "12030_start",       "12032_complete"};
constexpr int SHOT_COUNT = sizeof SHOT_NAMES / sizeof SHOT_NAMES[0];

bool Shot(const std::string& folder, int index) {
    Sleep(600);  // let the page finish painting
    char name[64];
    wsprintfA(name, "%02d_%s_%04x.png", index, index <= SHOT_COUNT ? SHOT_NAMES[index - 1] : "extra",
              GetUserDefaultUILanguage());
    std::string path = folder + "\\" + name;
    bool ok = ui::SaveScreenshot(path);
    printf("%s %s\n", ok ? "saved " : "FAILED", path.c_str());
    fflush(stdout);
    return ok;
}

}  // namespace

int main() {
    std::string setupExe = ui::WindowsPathFromUnix(ui::Environment("VRO_BIN_DIR")) + "\\VROSetup.exe";
    const std::string folder = "C:\\tour";
    CreateDirectoryA(folder.c_str(), nullptr);
    if (!CopyFileA(setupExe.c_str(), (folder + "\\VROSetup.exe").c_str(), FALSE)) {
        printf("cannot copy %s\n", setupExe.c_str());
        return 1;
    }
    if (!WriteText(folder + "\\SETUP95.INI", TOUR_INI) || !WriteText(folder + "\\INSTNT.INI", TOUR_INI))
        return 1;

    std::string shots = ui::ScreenshotFolder();
    ui::Program setup;
    if (!setup.Start("\"" + folder + "\\VROSetup.exe\"", folder)) {
        printf("cannot start VROSetup\n");
        return 1;
    }
    HWND wizard = ui::WaitForWizard(setup.ProcessId());
    if (!wizard) {
        printf("the wizard did not appear\n");
        return 1;
    }

    int failures = 0;
    int index = 1;
    std::string caption = ui::WindowText(wizard);
    // Every language of the system that the setup carries has its own templates.
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) != LANG_ENGLISH && caption == "Welcome") {
        printf("the English welcome page was shown for language %04x\n", GetUserDefaultUILanguage());
        ++failures;
    }
    for (int step = 0; step < 10; ++step) {
        failures += !Shot(shots, index++);
        if (step == 0) {
            // The exit confirmation, then back to the wizard.
            ui::Click(wizard, IDCANCEL);
            HWND confirm = nullptr;
            ui::WaitUntil([&] {
                for (HWND w : ui::TopLevelWindows(setup.ProcessId())) {
                    if (w != wizard && GetDlgItem(w, 1032))
                        confirm = w;
                }
                return confirm != nullptr;
            });
            if (!confirm) {
                printf("the exit confirmation did not appear\n");
                return 1;
            }
            failures += !Shot(shots, index++);
            ui::Click(confirm, 1);
            ui::WaitUntil([&] { return !IsWindow(confirm); });
        }
        if (ui::IsControlVisible(wizard, ui::WIZARD_FINISH) && ui::IsControlEnabled(wizard, ui::WIZARD_FINISH)) {
            ui::Click(wizard, ui::WIZARD_FINISH);
            break;
        }
        std::string before = caption;
        ui::Click(wizard, ui::WIZARD_NEXT);
        ui::WaitUntil([&] { return (caption = ui::WindowText(wizard)) != before; });
        if (caption == before) {
            printf("the wizard did not move on from %s\n", before.c_str());
            return 1;
        }
        // The wizard hides during the installation; wait until it is back.
        ui::WaitUntil([&] { return IsWindowVisible(wizard) != FALSE; });
    }

    DWORD code = 1;
    if (!setup.WaitForExit(15000, &code)) {
        printf("VROSetup did not end after Finish\n");
        return 1;
    }
    printf("VROSetup ended with code %lu; %d of %d screenshots taken\n", code, index - 1 - failures, SHOT_COUNT);
    return code == 0 && failures == 0 && index - 1 == SHOT_COUNT ? 0 : 1;
}
