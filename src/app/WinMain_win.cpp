// Program entry: one main window, its message loop, then exit.
#include <windows.h>

namespace {

LRESULT CALLBACK SmokeProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_DESTROY) { PostQuitMessage(0); return 0; }
    return DefWindowProcW(h, m, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = SmokeProc;
    wc.hInstance = inst;
    wc.lpszClassName = L"TFMovrek";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"TFMovrek", L"Movrek", WS_POPUP | WS_VISIBLE,
                             200, 100, 209, 22, nullptr, nullptr, inst, nullptr);
    if (!h) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
