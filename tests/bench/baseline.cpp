// The benchmark's yardstick: the least a stopwatch window can be. A borderless, topmost tool
// window at the place and in the colour of Movrek's compact panel, with one static label that
// a 100 ms timer rewrites when the elapsed second changes. Built with the program's own
// compiler, flags and static linking, so what Movrek costs beyond it is what Movrek adds.
//
//   baseline [LEFT TOP]   window position in screen pixels (default 200 100)
#include <windows.h>

#include <cwchar>
#include <cstdlib>

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kIntervalMs = 100;
constexpr COLORREF kPanel = RGB(0, 78, 152);  // Movrek's default window colour
constexpr COLORREF kText = RGB(255, 255, 255);

struct State {
    HWND label = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    ULONGLONG start = 0;
    long long lastSecond = -1;
};

State g;

void UpdateLabel() {
    const long long s = static_cast<long long>((GetTickCount64() - g.start) / 1000);
    if (s == g.lastSecond) return;
    g.lastSecond = s;
    wchar_t text[32];
    std::swprintf(text, 32, L"%02lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
    SetWindowTextW(g.label, text);
}

LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            if (wp == kTimerId) UpdateLabel();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            FillRect(dc, &ps.rcPaint, g.brush);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
            SetTextColor(reinterpret_cast<HDC>(wp), kText);
            SetBkColor(reinterpret_cast<HDC>(wp), kPanel);
            return reinterpret_cast<LRESULT>(g.brush);
        case WM_DESTROY:
            KillTimer(h, kTimerId);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(h, msg, wp, lp);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    int left = 200, top = 100;
    if (__argc >= 3) {
        left = _wtoi(__wargv[1]);
        top = _wtoi(__wargv[2]);
    }
    g.brush = CreateSolidBrush(kPanel);
    g.font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH, L"Tahoma");

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = L"MovrekBenchBaseline";
    if (!RegisterClassExW(&wc)) return 1;

    HWND h = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, wc.lpszClassName, L"Baseline",
                             WS_POPUP | WS_CLIPCHILDREN, left, top, 100, 22, nullptr, nullptr, inst,
                             nullptr);
    if (!h) return 1;
    g.label = CreateWindowExW(0, L"STATIC", L"00:00:00", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 8, 2,
                              80, 16, h, nullptr, inst, nullptr);
    SendMessageW(g.label, WM_SETFONT, reinterpret_cast<WPARAM>(g.font), FALSE);
    g.start = GetTickCount64();
    SetTimer(h, kTimerId, kIntervalMs, nullptr);
    ShowWindow(h, SW_SHOW);
    UpdateWindow(h);

    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    DeleteObject(g.font);
    DeleteObject(g.brush);
    return 0;
}
