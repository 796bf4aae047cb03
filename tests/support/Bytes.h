// File contents written out byte by byte: little-endian numbers and UTF-16 text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace movrek::test {

inline std::string Le32(std::uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}
inline std::string Le16(std::uint16_t v) { return {char(v & 0xFF), char(v >> 8)}; }

inline std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text) bytes += Le16(c);
    return bytes;
}

// A settings file as the program writes it: a byte-order mark, then UTF-16LE.
inline std::string Utf16File(std::u16string_view text) { return "\xFF\xFE" + Utf16Le(text); }

}  // namespace movrek::test
