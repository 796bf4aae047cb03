// The GUI thread's message loop and the "let pending messages run" primitive. Both apply the
// program's keyboard shortcuts (one accelerator table aimed at the main window).
#pragma once
#include <windows.h>

namespace movrek::ui {

// The accelerator table and the window its commands go to; nullptr to remove.
void SetShortcuts(HWND target, HACCEL table);

// The window whose keyboard goes through the platform's dialog navigation (IsDialogMessage);
// nullptr to remove. It receives DM_GETDEFID and DM_SETDEFID (WM_USER and WM_USER + 1) and,
// for Enter and Escape, WM_COMMAND with IDOK and IDCANCEL.
void SetKeyboardNavigation(HWND window);

// Runs the loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// Dispatches every message already waiting, then returns. Handlers run inside it, so the
// caller must re-check whatever it holds afterwards (its window may be gone). Returns false
// when WM_QUIT was taken from the queue; it is posted again for the outer loop.
bool ProcessPendingMessages();

}  // namespace movrek::ui
