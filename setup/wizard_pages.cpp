// The page procedures of the wizard: what each page shows, stores and answers.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "../common/text_buffer.h"
#include "resource.h"
#include "setup_config.h"
#include "shell_window.h"
#include "wizard.h"

namespace {

HWND WizardOf(HWND page) {
    return GetParent(page);
}

bool IsChecked(HWND page, int id) {
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void ShowControl(HWND page, int id, bool show) {
    ShowWindow(GetDlgItem(page, id), show ? SW_SHOW : SW_HIDE);
}

// The answers shared by every page: activation sets the page's buttons,
// leaving and reset are allowed, Cancel asks unless the page says otherwise.
// Returns FALSE for notifications the page must answer itself.
INT_PTR AnswerCommonNotify(HWND page, const NMHDR* header, DWORD buttons) {
    switch (header->code) {
        case PSN_SETACTIVE:
            PropSheet_SetWizButtons(WizardOf(page), buttons);
            return SetPageResult(page, 0);
        case PSN_WIZNEXT:
        case PSN_WIZBACK:
        case PSN_KILLACTIVE:
        case PSN_RESET:
            return SetPageResult(page, 0);
        case PSN_QUERYCANCEL:
            return AnswerQueryCancel(page);
        default:
            return FALSE;
    }
}

const char* MouseTypeText(InterfaceType type) {
    switch (type) {
        case InterfaceType::PS2:
            return "PS/2 Mouse";
        case InterfaceType::Serial:
            return "Serial Mouse";
        default:
            return "USB Mouse";
    }
}

void BuildSummary(char* summary, size_t size) {
    CopyText(summary, size, "Product:\r\n          ");
    AppendText(summary, size, g_profile.Title);
    AppendText(summary, size, "\r\n\r\nVersion:\r\n          ");
    AppendText(summary, size, g_profile.Version);
    AppendText(summary, size, "\r\n\r\nMouse Type:\r\n          ");
    AppendText(summary, size, MouseTypeText(g_profile.Interface));
    if (g_profile.AskMousePosition) {
        AppendText(summary, size, "\r\n\r\nMouse Location:\r\n          ");
        AppendText(summary, size,
                   g_profile.Location == MouseLocation::Left ? "Left side of keyboard" : "Right side of keyboard");
    }
    if (g_profile.AskPath) {
        AppendText(summary, size, "\r\n\r\nInstallation Directory:\r\n          ");
        AppendText(summary, size, g_profile.InstallFolder);
    }
}

void SelectLocation(HWND page, bool left) {
    CheckDlgButton(page, IDC_LOCATION_RIGHT, left ? BST_UNCHECKED : BST_CHECKED);
    CheckDlgButton(page, IDC_LOCATION_LEFT, left ? BST_CHECKED : BST_UNCHECKED);
    ShowControl(page, IDC_LOCATION_MOUSE_RIGHT, !left);
    ShowControl(page, IDC_LOCATION_MOUSE_LEFT, left);
}

}  // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            RemoveUnwantedPages(WizardOf(page));
            FormatControlWithTitle(page, IDC_WELCOME_TEXT);
            return TRUE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == PSN_SETACTIVE)
                CentreWizard(WizardOf(page));
            return AnswerCommonNotify(page, header, PSWIZB_NEXT);
        }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK InterfacePageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            CheckDlgButton(page, IDC_INTERFACE_PS2, BST_CHECKED);
            CheckDlgButton(page, IDC_INTERFACE_SERIAL, BST_UNCHECKED);
            CheckDlgButton(page, IDC_INTERFACE_USB, BST_UNCHECKED);
            ShowControl(page, IDC_INTERFACE_USB, g_profile.USBType);
            return TRUE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == PSN_WIZNEXT) {
                if (IsChecked(page, IDC_INTERFACE_PS2))
                    g_profile.Interface = InterfaceType::PS2;
                else if (IsChecked(page, IDC_INTERFACE_SERIAL))
                    g_profile.Interface = InterfaceType::Serial;
                else
                    g_profile.Interface = InterfaceType::USB;
            }
            return AnswerCommonNotify(page, header, PSWIZB_BACK | PSWIZB_NEXT);
        }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK LocationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SelectLocation(page, false);
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_LOCATION_RIGHT) {
                SelectLocation(page, false);
                return TRUE;
            }
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_LOCATION_LEFT) {
                SelectLocation(page, true);
                return TRUE;
            }
            return FALSE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == PSN_WIZNEXT)
                g_profile.Location = IsChecked(page, IDC_LOCATION_RIGHT) ? MouseLocation::Right : MouseLocation::Left;
            return AnswerCommonNotify(page, header, PSWIZB_BACK | PSWIZB_NEXT);
        }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            char windows[SETUP_TEXT_SIZE] = "";
            UINT n = GetWindowsDirectoryA(windows, sizeof windows);
            if (n >= sizeof windows)
                windows[0] = '\0';
            CopyText(g_profile.InstallDrive, 3, windows);
            CopyText(g_profile.InstallFolder, g_profile.InstallDrive);
            AppendText(g_profile.InstallFolder, "\\Program Files\\Torvik\\Rovanta");
            CopyText(g_profile.DefaultInstallFolder, g_profile.InstallFolder);
            SetDlgItemTextA(page, IDC_DESTINATION_FOLDER, g_profile.InstallFolder);
            FormatControlWithTitle(page, IDC_DESTINATION_TEXT);
            FormatControlWithTitle(page, IDC_DESTINATION_CANCEL_TEXT);
            return TRUE;
        }
        case WM_NOTIFY:
            return AnswerCommonNotify(page, reinterpret_cast<const NMHDR*>(lParam), PSWIZB_BACK | PSWIZB_NEXT);
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK StartPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            // The summary is for reading only: it gives the focus back at once.
            if (LOWORD(wParam) == IDC_START_SUMMARY && HIWORD(wParam) == EN_SETFOCUS) {
                SendMessageA(reinterpret_cast<HWND>(lParam), WM_KILLFOCUS, 0, 0);
                LRESULT def = SendMessageA(page, DM_GETDEFID, 0, 0);
                if (HIWORD(def) == DC_HASDEFID) {
                    HWND target = GetDlgItem(page, LOWORD(def));
                    if (!target)
                        target = GetDlgItem(WizardOf(page), LOWORD(def));
                    if (target)
                        SetFocus(target);
                }
                return TRUE;
            }
            return FALSE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == PSN_SETACTIVE) {
                char summary[SETUP_TEXT_SIZE];
                BuildSummary(summary, sizeof summary);
                SetDlgItemTextA(page, IDC_START_SUMMARY, summary);
            }
            return AnswerCommonNotify(page, header, PSWIZB_BACK | PSWIZB_NEXT);
        }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK CompletePageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            ShowWindow(WizardOf(page), SW_SHOW);
            if (g_profile.Restart) {
                FormatControlWithTitle(page, IDC_COMPLETE_TEXT);
                CheckDlgButton(page, IDC_COMPLETE_RESTART_NOW, BST_CHECKED);
                CheckDlgButton(page, IDC_COMPLETE_RESTART_LATER, BST_UNCHECKED);
            } else {
                ShowControl(page, IDC_COMPLETE_TEXT, false);
                ShowControl(page, IDC_COMPLETE_RESTART_NOW, false);
                ShowControl(page, IDC_COMPLETE_RESTART_LATER, false);
                ShowControl(page, IDC_COMPLETE_DISKS, false);
                ShowControl(page, IDC_COMPLETE_NO_RESTART_TEXT, true);
                FormatControlWithTitle(page, IDC_COMPLETE_NO_RESTART_TEXT);
            }
            return TRUE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            switch (header->code) {
                case PSN_SETACTIVE:
                    PropSheet_CancelToClose(WizardOf(page));
                    PropSheet_SetWizButtons(WizardOf(page), PSWIZB_FINISH);
                    return SetPageResult(page, 0);
                case PSN_WIZFINISH:
                    PostMessageA(WizardOf(page), WM_NULL, 0, 0);  // wakes the sheet's loop, see AnswerQueryCancel
                    return SetPageResult(page, FALSE);
                case PSN_QUERYCANCEL:
                    return SetPageResult(page, FALSE);
                default:
                    return AnswerCommonNotify(page, header, PSWIZB_FINISH);
            }
        }
        default:
            return FALSE;
    }
}
