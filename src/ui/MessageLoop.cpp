#include "ui/MessageLoop.h"

namespace movrek::ui {
namespace {

// The one accelerator table of the program; set and cleared by the main window.
HWND g_shortcutTarget = nullptr;
HACCEL g_shortcuts = nullptr;
// The window whose keys go through the platform's dialog navigation; set and cleared by the
// main window.
HWND g_navigated = nullptr;

// Shift+F10 and the Apps key ask for the context menu of the focused control. Wine's drop-down
// list keeps Shift+F10 to itself, so the request goes to the navigated window directly, once:
// the Apps key asks on its release, as the platform does, and its press is dropped.
bool ContextMenuKey(const MSG& msg) {
    const bool shiftF10 = (msg.message == WM_SYSKEYDOWN || msg.message == WM_KEYDOWN) && msg.wParam == VK_F10 &&
                          (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const bool apps = (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_APPS;
    if (!shiftF10 && !apps) return false;
    if (shiftF10 || msg.message == WM_KEYUP)
        SendMessageW(g_navigated, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(msg.hwnd), -1);
    return true;
}

void Deliver(MSG& msg) {
    if (g_shortcuts && g_shortcutTarget && IsWindow(g_shortcutTarget) &&
        TranslateAcceleratorW(g_shortcutTarget, g_shortcuts, &msg))
        return;
    // Tab, Shift+Tab, Enter and the arrows among its controls, as in a dialog. The call also
    // translates and dispatches every message of that window and its controls.
    if (g_navigated && (msg.hwnd == g_navigated || IsChild(g_navigated, msg.hwnd)) &&
        (ContextMenuKey(msg) || IsDialogMessageW(g_navigated, &msg)))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

void SetShortcuts(HWND target, HACCEL table) {
    g_shortcutTarget = target;
    g_shortcuts = table;
}

void SetKeyboardNavigation(HWND window) { g_navigated = window; }

int RunMessageLoop() {
    MSG msg;
    for (;;) {
        BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0) return static_cast<int>(msg.wParam);
        if (r < 0) return 1;
        Deliver(msg);
    }
}

bool ProcessPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        Deliver(msg);
    }
    return true;
}

}  // namespace movrek::ui
