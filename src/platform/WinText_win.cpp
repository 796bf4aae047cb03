#include "platform/WinText_win.h"

namespace movrek {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::u16string Narrow16(std::wstring_view text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

std::u16string WindowText(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    // The length may count more than the copy holds (the text may change meanwhile, and
    // some controls count bytes); the copy's own count decides.
    const int got = GetWindowTextW(window, w.data(), n + 1);
    w.resize(static_cast<size_t>(got > 0 ? got : 0));
    return Narrow16(w);
}

}  // namespace movrek
