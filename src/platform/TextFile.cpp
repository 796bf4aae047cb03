#include "platform/TextFile.h"

#include "platform/Utf.h"

namespace movrek {

FileError::FileError(std::u16string message, std::u16string path, long code)
    : std::runtime_error(ToUtf8(message) + (path.empty() ? "" : ": " + ToUtf8(path))),
      message_(std::move(message)),
      path_(std::move(path)),
      code_(code) {}

std::optional<unsigned long> ScratchOwner(std::u16string_view target, std::u16string_view name) {
    constexpr std::u16string_view suffix = u".tmp";
    if (name.size() <= target.size() + 1 + suffix.size()) return std::nullopt;
    if (!TextEqualsNoCase(name.substr(0, target.size()), target) || name[target.size()] != u'.')
        return std::nullopt;
    if (name.substr(name.size() - suffix.size()) != suffix) return std::nullopt;
    const std::u16string_view middle =
        name.substr(target.size() + 1, name.size() - target.size() - 1 - suffix.size());
    const size_t dash = middle.find(u'-');
    if (dash == 0 || dash == std::u16string_view::npos || dash + 1 == middle.size()) return std::nullopt;
    unsigned long long pid = 0;
    for (size_t i = 0; i < middle.size(); ++i) {
        if (i == dash) continue;
        if (middle[i] < u'0' || middle[i] > u'9') return std::nullopt;
        if (i < dash) {
            pid = pid * 10 + static_cast<unsigned long long>(middle[i] - u'0');
            if (pid > 0xFFFFFFFFull) return std::nullopt;
        }
    }
    return static_cast<unsigned long>(pid);
}

}  // namespace movrek
