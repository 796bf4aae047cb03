#include "app/Kfile_win.h"

#include "ui/Controls.h"

namespace movrek {

std::optional<WindowFacts> Win32WindowQuery::WindowAt(ScreenPoint p) {
    HWND h = WindowFromPoint(POINT{p.x, p.y});
    if (!h) return std::nullopt;
    return Facts(h);
}

std::optional<WindowFacts> Win32WindowQuery::WindowOf(std::uintptr_t handle) {
    HWND h = reinterpret_cast<HWND>(handle);
    if (!IsWindow(h)) return std::nullopt;
    return Facts(h);
}

WindowFacts Win32WindowQuery::Facts(HWND h) {
    WindowFacts f;
    f.handle = reinterpret_cast<std::uintptr_t>(h);
    f.parent = reinterpret_cast<std::uintptr_t>(GetParent(h));
    // Class names are at most 256 characters.
    wchar_t name[256] = {};
    const int n = GetClassNameW(h, name, 256);
    f.className = Narrow16(std::wstring_view(name, n > 0 ? static_cast<size_t>(n) : 0));
    RECT r{};
    GetWindowRect(h, &r);
    f.rect = {r.left, r.top, r.right, r.bottom};
    return f;
}

}  // namespace movrek
