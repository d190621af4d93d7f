// The full-screen background window behind the setup wizard.
#pragma once

#include <windows.h>

// Starts the wizard; posted once by the background window to itself.
constexpr UINT WMU_RUN_WIZARD = WM_APP + 1;

extern HINSTANCE g_instance;
extern HWND MainWindow;

bool RegisterShellWindowClass();
// Creates the background window and shows it maximised; false on failure.
bool CreateShellWindow();
