// The benchmark's yardstick: the least a stopwatch window can be. A borderless, topmost tool
// window at the place and in the colour of Movrek's compact panel, with one static label that
// a 100 ms timer rewrites when the elapsed second changes. Built with the program's own
// compiler, flags and static linking, so what Movrek costs beyond it is what Movrek adds.
//
//   baseline [LEFT TOP [STEP...]]   window position in screen pixels (default 200 100)
//
// The steps add, in the order given, one piece of what Movrek does at start beyond a bare
// window, so that the benchmark can split Movrek's start-up and memory by where they go:
//   controls  the common controls library and its registration
//   tray      the shell library and a notification-area icon
//   com       COM for the thread
//   sound     the DirectSound and winmm libraries
//   device    the sound device opened with its primary buffer, as the announcer does
// Each library is loaded at run time, so without steps the program imports what it always did.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <dsound.h>

#include <cwchar>
#include <cstdlib>
#include <cstring>

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

struct Steps {
    HMODULE shell = nullptr;
    NOTIFYICONDATAW icon{};
    bool comStarted = false;
    IDirectSound8* device = nullptr;
    IDirectSoundBuffer* primary = nullptr;
};

Steps steps;

template <typename Fn>
Fn Function(const wchar_t* library, const char* name, HMODULE* kept = nullptr) {
    HMODULE m = LoadLibraryW(library);
    if (kept) *kept = m;
    return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

void AddStep(const wchar_t* step, HWND window, HINSTANCE inst) {
    if (std::wcscmp(step, L"controls") == 0) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        if (auto init = Function<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>(
                L"comctl32.dll", "InitCommonControlsEx"))
            init(&icc);
    } else if (std::wcscmp(step, L"tray") == 0) {
        auto notify = Function<BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW)>(
            L"shell32.dll", "Shell_NotifyIconW", &steps.shell);
        steps.icon.cbSize = sizeof steps.icon;
        steps.icon.hWnd = window;
        steps.icon.uID = 1;
        steps.icon.uFlags = NIF_ICON | NIF_TIP;
        steps.icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
        std::wcscpy(steps.icon.szTip, L"Baseline");
        if (!notify || !notify(NIM_ADD, &steps.icon)) steps.icon.hWnd = nullptr;
    } else if (std::wcscmp(step, L"com") == 0) {
        if (auto init = Function<HRESULT(WINAPI*)(void*, DWORD)>(L"ole32.dll", "CoInitializeEx"))
            steps.comStarted = SUCCEEDED(init(nullptr, COINIT_APARTMENTTHREADED));
    } else if (std::wcscmp(step, L"sound") == 0) {
        LoadLibraryW(L"dsound.dll");
        LoadLibraryW(L"winmm.dll");
    } else if (std::wcscmp(step, L"device") == 0) {
        auto create = Function<HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND8*, LPUNKNOWN)>(
            L"dsound.dll", "DirectSoundCreate8");
        if (!create || FAILED(create(nullptr, &steps.device, nullptr)) || !steps.device) return;
        steps.device->SetCooperativeLevel(window, DSSCL_EXCLUSIVE);
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
        steps.device->CreateSoundBuffer(&desc, &steps.primary, nullptr);
    }
    (void)inst;
}

void EndSteps() {
    if (steps.primary) steps.primary->Release();
    if (steps.device) steps.device->Release();
    if (steps.icon.hWnd) {
        if (auto notify = Function<BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW)>(
                L"shell32.dll", "Shell_NotifyIconW"))
            notify(NIM_DELETE, &steps.icon);
    }
    if (steps.comStarted) {
        if (auto end = Function<void(WINAPI*)()>(L"ole32.dll", "CoUninitialize")) end();
    }
}

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
    for (int i = 3; i < __argc; ++i) AddStep(__wargv[i], h, inst);
    g.start = GetTickCount64();
    SetTimer(h, kTimerId, kIntervalMs, nullptr);
    ShowWindow(h, SW_SHOW);
    UpdateWindow(h);

    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    EndSteps();
    DeleteObject(g.font);
    DeleteObject(g.brush);
    return 0;
}
