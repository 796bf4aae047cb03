#include "app/S01_win.h"

namespace movrek {

std::u16string RunningProgramPath() {
    // The path may exceed MAX_PATH; a full buffer means it was cut short, so grow and ask again.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return {};  // beyond the longest path Windows has
        path.resize(path.size() * 2);
    }
    return std::u16string(reinterpret_cast<const char16_t*>(path.data()), path.size());
}

bool SquareOnAnyMonitor(int left, int top) {
    const RECT square{left, top, left + 100, top + 100};
    return MonitorFromRect(&square, MONITOR_DEFAULTTONULL) != nullptr;
}

RECT Win32WindowPlacement::Rect() const {
    RECT r{};
    GetWindowRect(window_, &r);
    return r;
}

int Win32WindowPlacement::Left() const { return Rect().left; }

int Win32WindowPlacement::Top() const { return Rect().top; }

void Win32WindowPlacement::MoveTo(int left, int top) {
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32WindowPlacement::PrimaryWidth() const { return GetSystemMetrics(SM_CXSCREEN); }

int Win32WindowPlacement::PrimaryHeight() const { return GetSystemMetrics(SM_CYSCREEN); }

bool Win32WindowPlacement::SquareOnAnyMonitor(int left, int top) const {
    return movrek::SquareOnAnyMonitor(left, top);
}

}  // namespace movrek
