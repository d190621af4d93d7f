// The UI driver: process control, window search, control access, screenshots.
#include "ui_driver.h"

#include <commctrl.h>
#include <stdlib.h>

#include "png_writer.h"

namespace ui {

Program::~Program() {
    Kill();
}

bool Program::Start(const std::string& commandLine, const std::string& folder) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &info_) != FALSE;
}

bool Program::IsRunning() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!info_.hProcess)
        return false;
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(info_.hProcess, exitCode);
    return true;
}

void Program::Kill() {
    if (!info_.hProcess)
        return;
    if (IsRunning()) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
    info_ = {};
}

namespace {

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->processId && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId) {
    WindowSearch search = {processId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, const char* className, int childId, DWORD timeoutMs) {
    HWND result = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : TopLevelWindows(processId)) {
                if (className && ClassName(w) != className)
                    continue;
                if (childId && !GetDlgItem(w, childId))
                    continue;
                result = w;
                return true;
            }
            return false;
        },
        timeoutMs);
    return result;
}

HWND WaitForWizard(DWORD processId, DWORD timeoutMs) {
    return WaitForWindow(processId, "#32770", WIZARD_NEXT, timeoutMs);
}

HWND WaitForDialog(DWORD processId, const std::string& caption, DWORD timeoutMs) {
    HWND result = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : TopLevelWindows(processId)) {
                if (ClassName(w) == "#32770" && WindowText(w) == caption) {
                    result = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return result;
}

std::string WaitForCaption(HWND window, const std::string& caption, DWORD timeoutMs) {
    std::string seen;
    WaitUntil(
        [&] {
            seen = WindowText(window);
            return seen == caption;
        },
        timeoutMs);
    return seen;
}

std::string WindowText(HWND window) {
    char text[2048] = "";
    // WM_GETTEXT is marshalled across processes by the system.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                             &length))
        return std::string();
    return std::string(text, length < sizeof text ? length : sizeof text - 1);
}

std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? WindowText(control) : std::string();
}

std::string ClassName(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND CurrentPage(HWND propertySheet) {
    DWORD_PTR page = 0;
    SendMessageTimeoutA(propertySheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 5000, &page);
    return reinterpret_cast<HWND>(page);
}

int PageCount(HWND propertySheet) {
    DWORD_PTR tab = 0, count = 0;
    if (!SendMessageTimeoutA(propertySheet, PSM_GETTABCONTROL, 0, 0, SMTO_ABORTIFHUNG, 5000, &tab) || !tab)
        return -1;
    if (!SendMessageTimeoutA(reinterpret_cast<HWND>(tab), TCM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count))
        return -1;
    return int(count);
}

bool IsControlVisible(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsControlEnabled(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && IsWindowEnabled(control);
}

bool IsChecked(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    DWORD_PTR state = 0;
    if (!control || !SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state))
        return false;
    return state == BST_CHECKED;
}

void Click(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control)
        SendNotifyMessageA(control, BM_CLICK, 0, 0);
}

void PressKey(HWND window, UINT virtualKey) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    UINT scan = MapVirtualKeyA(virtualKey, 0);
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | 0xC0000000u);
}

bool SaveScreenshot(const std::string& path) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    if (!screen)
        return false;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    bool ok = false;
    if (dib && memory) {
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
        SelectObject(memory, old);
        GdiFlush();
        size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
        std::vector<uint8_t> rgb(size_t(width) * 3 * size_t(height));
        const uint8_t* src = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = src + size_t(y) * stride + size_t(x) * 3;  // B, G, R
                uint8_t* q = &rgb[(size_t(y) * width + x) * 3];
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
            }
        }
        ok = WritePng(path.c_str(), width, height, rgb.data(), size_t(width) * 3);
    }
    if (memory)
        DeleteDC(memory);
    if (dib)
        DeleteObject(dib);
    ReleaseDC(nullptr, screen);
    return ok;
}

std::string Environment(const char* name) {
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string WindowsPathFromUnix(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::string ScreenshotFolder() {
    std::string unixPath = Environment("VRO_SHOT_DIR");
    std::string folder = unixPath.empty() ? std::string("C:\\screenshots") : WindowsPathFromUnix(unixPath);
    // Create each level; existing ones are fine.
    for (size_t i = 3; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '\\')
            CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
    }
    return folder;
}

}  // namespace ui
