// The six-page setup wizard: the page table, the page removals, the wizard
// buttons and the answers every page gives to the wizard's notifications.
#pragma once

#include <windows.h>

// Indices of the page table.
enum WizardPageIndex {
    PAGE_WELCOME = 0,
    PAGE_INTERFACE = 1,
    PAGE_LOCATION = 2,
    PAGE_DESTINATION = 3,
    PAGE_START = 4,
    PAGE_COMPLETE = 5,
    PAGE_COUNT = 6
};

// Runs the wizard modally in front of MainWindow; returns when it has ended.
void RunWizard();

// Shows the exit confirmation: 1 for Resume, 0 for Exit Setup.
int AskExitSetup(HWND owner);

// Puts the title in place of each "%s" of a control's text.
void FormatControlWithTitle(HWND dialog, int controlId);

// Removes the choice pages whose switches are clear; called by the welcome page.
void RemoveUnwantedPages(HWND wizard);

// Moves the wizard window to the centre of the screen, size unchanged.
void CentreWizard(HWND wizard);

// Answers a wizard notification with result through DWLP_MSGRESULT.
INT_PTR SetPageResult(HWND page, LONG_PTR result);

// The answer to Cancel on the pages that ask: TRUE refuses the cancel.
INT_PTR AnswerQueryCancel(HWND page);

// The page procedures.
INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK InterfacePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LocationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK StartPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CompletePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
