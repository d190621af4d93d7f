// The background window: dark cyan, the product title with its shadow, and
// the start of the wizard once the window exists.
#include "shell_window.h"

#include "../common/text_buffer.h"
#include "../common/win_handles.h"
#include "resource.h"
#include "setup_config.h"
#include "wizard.h"

HINSTANCE g_instance;
HWND MainWindow;

namespace {

const char SHELL_CLASS[] = "VROSetup";

void PaintBackground(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    ScopedGdiObject cyan(CreateSolidBrush(RGB(0, 128, 128)));
    FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(cyan.Get()));

    ScopedGdiObject font(CreateFontA(42, 0, 0, 0, 600, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_ROMAN,
                                     "Times New Roman"));
    HGDIOBJ oldFont = SelectObject(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    int length = lstrlenA(g_profile.Title);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, 15, 10, g_profile.Title, length);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, 10, 5, g_profile.Title, length);
    SelectObject(dc, oldFont);  // the font must be out of the DC before it is deleted
    EndPaint(window, &ps);
}

LRESULT CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            MainWindow = window;
            PostMessageA(window, WMU_RUN_WIZARD, 0, 0);
            return 0;
        case WM_PAINT:
            PaintBackground(window);
            return 0;
        case WMU_RUN_WIZARD:
            RunWizard();
            PostMessageA(window, WM_DESTROY, 0, 0);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

bool RegisterShellWindowClass() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ShellWindowProc;
    wc.hInstance = g_instance;
    wc.hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_SETUP));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = SHELL_CLASS;
    return RegisterClassA(&wc) != 0;
}

bool CreateShellWindow() {
    char caption[SETUP_TEXT_SIZE];
    CopyText(caption, g_profile.Title);
    AppendText(caption, " Setup");
    HWND window = CreateWindowExA(0, SHELL_CLASS, caption, WS_OVERLAPPEDWINDOW, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, g_instance, nullptr);
    if (!window)
        return false;
    ShowWindow(window, SW_SHOWMAXIMIZED);
    UpdateWindow(window);
    return true;
}
