// The program's UTF-16 texts at the Win32 boundary. On Windows wchar_t is a UTF-16 code unit,
// so these are copies or casts, never conversions that could fail.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace movrek {

std::wstring Wide(std::u16string_view text);
std::u16string Narrow16(std::wstring_view text);

// A terminated text for a call that wants a pointer, without a copy. A view need not be
// terminated, so only a pointer to a terminated text is taken.
inline const wchar_t* AsWide(const char16_t* terminated) {
    return reinterpret_cast<const wchar_t*>(terminated);
}

// The window's text; empty when it has none or the window is gone.
std::u16string WindowText(HWND window);

}  // namespace movrek
