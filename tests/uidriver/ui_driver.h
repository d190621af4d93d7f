// Drives a program under test from outside: starts it, finds its windows,
// reads and presses controls, waits with bounds and takes screenshots.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

constexpr DWORD DEFAULT_WAIT_MS = 15000;

// Wizard frame buttons.
constexpr int WIZARD_BACK = 0x3023;
constexpr int WIZARD_NEXT = 0x3024;
constexpr int WIZARD_FINISH = 0x3025;
constexpr int WIZARD_CANCEL = IDCANCEL;

// A started program; killed at destruction if still running, so a failed
// test leaves no process behind.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts commandLine in folder; false when it cannot be started.
    bool Start(const std::string& commandLine, const std::string& folder);
    DWORD ProcessId() const { return info_.dwProcessId; }
    bool IsRunning() const;
    // Waits for the end; false on time-out. exitCode receives the code.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);
    void Kill();

private:
    PROCESS_INFORMATION info_ = {};
};

// The visible top-level windows of a process.
std::vector<HWND> TopLevelWindows(DWORD processId);

// Waits for a visible top-level window of the process of the given class
// (nullptr: any) holding a control with childId (0: none needed).
HWND WaitForWindow(DWORD processId, const char* className, int childId, DWORD timeoutMs = DEFAULT_WAIT_MS);

// Waits for the wizard frame (a dialog holding the Next button).
HWND WaitForWizard(DWORD processId, DWORD timeoutMs = DEFAULT_WAIT_MS);

// Waits for a visible dialog of the process whose caption is caption.
HWND WaitForDialog(DWORD processId, const std::string& caption, DWORD timeoutMs = DEFAULT_WAIT_MS);

// Waits until the window's caption equals caption; returns the last caption seen.
std::string WaitForCaption(HWND window, const std::string& caption, DWORD timeoutMs = DEFAULT_WAIT_MS);

std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);
std::string ClassName(HWND window);

// The page currently shown by a property sheet, and its dialog resource id
// is not visible from outside, so pages are told apart by caption.
HWND CurrentPage(HWND propertySheet);

// The number of pages a property sheet holds, or -1.
int PageCount(HWND propertySheet);

bool IsControlVisible(HWND dialog, int id);
bool IsControlEnabled(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);

// Presses a button by posting BM_CLICK, so a modal dialog it opens cannot
// block the driver.
void Click(HWND dialog, int id);

// Posts a key press (down and up) to the window with the keyboard focus in
// the thread that owns window.
void PressKey(HWND window, UINT virtualKey);

// Saves the whole screen as PNG; false when it cannot.
bool SaveScreenshot(const std::string& path);

// Folder for screenshots (from VRO_SHOT_DIR, as a Windows path), created on demand.
std::string ScreenshotFolder();

// Converts a Unix path to the Z: drive path that Wine maps to it.
std::string WindowsPathFromUnix(const std::string& unixPath);

// An environment variable, or "" when unset.
std::string Environment(const char* name);

// Sleeps in small steps until done() is true or timeoutMs passed.
template <typename F>
bool WaitUntil(F done, DWORD timeoutMs = DEFAULT_WAIT_MS) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
}

}  // namespace ui
