#include "ui/MessageLoop.h"

namespace movrek::ui {
namespace {

// The one accelerator table of the program; set and cleared by the main window.
HWND g_shortcutTarget = nullptr;
HACCEL g_shortcuts = nullptr;

void Deliver(MSG& msg) {
    if (g_shortcuts && g_shortcutTarget && IsWindow(g_shortcutTarget) &&
        TranslateAcceleratorW(g_shortcutTarget, g_shortcuts, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

void SetShortcuts(HWND target, HACCEL table) {
    g_shortcutTarget = target;
    g_shortcuts = table;
}

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
