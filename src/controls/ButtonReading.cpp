#include "controls/ButtonReading.h"

#include "platform/Utf.h"

namespace movrek {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\u3000'; }

}  // namespace

std::u16string CaptionName(std::u16string_view caption) {
    std::u16string name;
    name.reserve(caption.size());
    for (size_t i = 0; i < caption.size(); ++i) {
        // "&&" stands for one ampersand; a single one marks the access key.
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&') name += u'&', ++i;
            continue;
        }
        name += caption[i];
    }
    while (!name.empty() && (IsSpace(name.back()) || name.back() == u':' || name.back() == u'\uFF1A'))
        name.pop_back();
    while (!name.empty() && IsSpace(name.front())) name.erase(name.begin());
    return name;
}

std::u16string ColorValueText(Color c) {
    return u"赤 " + Decimal(static_cast<int>(c & 0xFF)) + u" 緑 " +
           Decimal(static_cast<int>((c >> 8) & 0xFF)) + u" 青 " +
           Decimal(static_cast<int>((c >> 16) & 0xFF));
}

}  // namespace movrek
