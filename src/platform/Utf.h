// Conversions between the program's UTF-16 texts and UTF-8 (file names on POSIX, test
// output). Invalid sequences become U+FFFD; nothing throws except out of memory.
#pragma once
#include <string>
#include <string_view>

namespace movrek {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view bytes);

// A number in decimal digits, as the lists, clip names and readings show it.
std::u16string Decimal(int n);

}  // namespace movrek
