// The wizard frame: builds the pages from one table and runs them.
#include "wizard.h"

#include <stddef.h>

#include <commctrl.h>
#include <prsht.h>

#include "../common/text_buffer.h"
#include "resource.h"
#include "setup_config.h"
#include "shell_window.h"

namespace {

struct PageTemplate {
    int dialogId;
    DLGPROC procedure;
};

const PageTemplate PAGE_TABLE[PAGE_COUNT] = {
    {IDD_WELCOME, WelcomePageProc},         {IDD_INTERFACE, InterfacePageProc}, {IDD_LOCATION, LocationPageProc},
    {IDD_DESTINATION, DestinationPageProc}, {IDD_START, StartPageProc},         {IDD_COMPLETE, CompletePageProc},
};

INT_PTR CALLBACK ExitSetupProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            FormatControlWithTitle(dialog, IDC_EXIT_INCOMPLETE);
            FormatControlWithTitle(dialog, IDC_EXIT_CONTINUE);
            return TRUE;
        case WM_COMMAND:
            // Enter presses the default "Resume" (1), Escape and the close box send IDCANCEL (2).
            if (LOWORD(wParam) == IDC_EXIT_RESUME) {
                EndDialog(dialog, 1);
                return TRUE;
            }
            if (LOWORD(wParam) == IDC_EXIT_QUIT) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunWizard() {
    InitCommonControls();
    // The first layout of the structures, which every version of the common
    // controls accepts; the sheet steps through the array by dwSize.
    static_assert(sizeof(PROPSHEETPAGEA_V1) == offsetof(PROPSHEETPAGEA, pcRefParent) + sizeof(UINT*), "page layout");
    PROPSHEETPAGEA_V1 pages[PAGE_COUNT] = {};
    for (int i = 0; i < PAGE_COUNT; ++i) {
        pages[i].dwSize = PROPSHEETPAGEA_V1_SIZE;
        pages[i].dwFlags = 0;
        pages[i].hInstance = g_instance;
        pages[i].pszTemplate = MAKEINTRESOURCEA(PAGE_TABLE[i].dialogId);
        pages[i].pfnDlgProc = PAGE_TABLE[i].procedure;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_NOAPPLYNOW;
    header.hwndParent = MainWindow;
    header.hInstance = g_instance;
    header.nPages = PAGE_COUNT;
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    // A wizard that cannot be created ends like one that was cancelled.
    PropertySheetA(&header);
}

int AskExitSetup(HWND owner) {
    INT_PTR answer = DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_EXIT_SETUP), owner, ExitSetupProc, 0);
    // A dialog that cannot be shown must not trap the user in the wizard.
    return answer == 1 ? 1 : 0;
}

void FormatControlWithTitle(HWND dialog, int controlId) {
    char format[SETUP_TEXT_SIZE];
    char text[SETUP_TEXT_SIZE];
    if (GetDlgItemTextA(dialog, controlId, format, sizeof format) == 0)
        return;
    ReplaceEachPercentS(text, sizeof text, format, g_profile.Title);
    SetDlgItemTextA(dialog, controlId, text);
}

void RemoveUnwantedPages(HWND wizard) {
    // Highest index first, so the lower indices stay valid.
    if (!g_profile.AskPath)
        PostMessageA(wizard, PSM_REMOVEPAGE, PAGE_DESTINATION, 0);
    if (!g_profile.AskMousePosition)
        PostMessageA(wizard, PSM_REMOVEPAGE, PAGE_LOCATION, 0);
    if (!g_profile.AskType)
        PostMessageA(wizard, PSM_REMOVEPAGE, PAGE_INTERFACE, 0);
}

void CentreWizard(HWND wizard) {
    RECT rc;
    if (!GetWindowRect(wizard, &rc))
        return;
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    MoveWindow(wizard, x, y, width, height, FALSE);
}

INT_PTR SetPageResult(HWND page, LONG_PTR result) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR AnswerQueryCancel(HWND page) {
    if (AskExitSetup(page) == 1)
        return SetPageResult(page, TRUE);
    // The sheet notices that it has ended only when its loop sees another
    // message; without one it would wait for ever.
    PostMessageA(GetParent(page), WM_NULL, 0, 0);
    return SetPageResult(page, FALSE);
}
