// Program entry: the main window, its message loop, then exit. An exception that escapes is
// shown in the program's exception box.
#include <windows.h>
#include <commctrl.h>

#include <exception>

#include "app/FMovrek_win.h"
#include "ui/MessageLoop.h"
#include "ui/Window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
        movrek::TFMovrek form;
        if (!form.Create()) return 0;
        return movrek::ui::RunMessageLoop();
    } catch (...) {
        movrek::ui::ShowException(std::current_exception());
        return 1;
    }
}
