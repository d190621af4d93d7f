// VROSetup's entry: read the configuration, show the background window and
// run the message loop until the wizard has ended.
#include <windows.h>

#include "setup_config.h"
#include "shell_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ReadSetupConfig();
    g_instance = instance;
    if (!RegisterShellWindowClass())
        return 0;
    if (!CreateShellWindow())
        return 0;

    MSG msg = {};
    // GetMessageA returns -1 on an invalid call; that ends the loop too.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
