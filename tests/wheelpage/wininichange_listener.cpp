// Test double of a program that watches settings changes: a hidden top-level
// window that prints every WM_WININICHANGE it receives, one line each.
//   wininichange_listener <ready event name> [--hang]
// The named event is set once the window exists. WM_CLOSE ends the program.
// With --hang the program stops handling messages after that, as a hung
// program does, and ends by itself after a minute.
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

constexpr const char* LISTENER_CLASS = "VroWinIniChangeListener";

LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_WININICHANGE: {
            const char* text = reinterpret_cast<const char*>(lParam);
            printf("WM_WININICHANGE wParam=%u text=%s\n", unsigned(wParam), text ? text : "(null)");
            fflush(stdout);
            return 0;
        }
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: wininichange_listener <ready event name> [--hang]\n");
        return 2;
    }
    const bool hang = argc > 2 && strcmp(argv[2], "--hang") == 0;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ListenerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = LISTENER_CLASS;
    if (!RegisterClassA(&windowClass))
        return 3;
    HWND window = CreateWindowExA(0, LISTENER_CLASS, "listener", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (!window)
        return 4;

    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (!ready)
        return 5;
    SetEvent(ready);
    CloseHandle(ready);

    if (hang) {
        Sleep(60000);
        return 0;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
