// A window of another program for the docking tests: one top-level window of a class named on
// the command line, placed exactly where asked, with controls at two depths.
//
//   foreign CLASS LEFT TOP WIDTH HEIGHT [typist]
//
// typist: the window is the user's own program in front instead: it takes the activation and
// the keyboard focus (an edit control) like any program the user types in.
//
// The window's rectangle is split into three bands of equal height:
//   top     the window's own surface;
//   middle  a push button, a direct child of the window (one level deep);
//   bottom  a container window of class "ForeignPanel" filled by a push button (two levels).
// The program ends when its window is closed (WM_CLOSE).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

LRESULT CALLBACK TopProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

bool Register(const wchar_t* name, WNDPROC proc, int colour) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(colour);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) {
        std::fwprintf(stderr, L"usage: foreign CLASS LEFT TOP WIDTH HEIGHT [typist]\n");
        return 2;
    }
    const wchar_t* cls = argv[1];
    const int left = _wtoi(argv[2]), top = _wtoi(argv[3]);
    const int width = _wtoi(argv[4]), height = _wtoi(argv[5]);
    if (width < 3 || height < 3) return 2;
    const bool typist = argc >= 7 && std::wcscmp(argv[6], L"typist") == 0;

    HINSTANCE inst = GetModuleHandleW(nullptr);
    if (!Register(cls, TopProc, COLOR_WINDOW) || !Register(L"ForeignPanel", DefWindowProcW, COLOR_BTNSHADOW))
        return 1;

    // A popup has no caption or frame of its own, so the window rectangle is exactly the one
    // asked for; WS_EX_NOACTIVATE keeps it from taking the focus from the program under test.
    HWND top_level = CreateWindowExW(typist ? 0 : WS_EX_NOACTIVATE, cls, L"Foreign", WS_POPUP, left, top,
                                     width, height, nullptr, nullptr, inst, nullptr);
    if (!top_level) return 1;
    if (typist) {
        HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, width,
                                    height, top_level, reinterpret_cast<HMENU>(4), inst, nullptr);
        ShowWindow(top_level, SW_SHOW);
        SetForegroundWindow(top_level);
        SetFocus(edit);
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        return 0;
    }
    const int band = height / 3;
    CreateWindowExW(0, L"BUTTON", L"one", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, band, width, band,
                    top_level, reinterpret_cast<HMENU>(1), inst, nullptr);
    HWND panel = CreateWindowExW(0, L"ForeignPanel", L"", WS_CHILD | WS_VISIBLE, 0, 2 * band, width,
                                 height - 2 * band, top_level, reinterpret_cast<HMENU>(2), inst, nullptr);
    CreateWindowExW(0, L"BUTTON", L"two", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, width,
                    height - 2 * band, panel, reinterpret_cast<HMENU>(3), inst, nullptr);
    ShowWindow(top_level, SW_SHOWNOACTIVATE);

    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return 0;
}
