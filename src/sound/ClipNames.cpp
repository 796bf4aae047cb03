#include "sound/ClipNames.h"

#include <algorithm>

namespace movrek {

namespace {

// Hours reach 24 at most, so the hour clips stop at 20じかん; minutes and seconds split into
// any tens 10-50 and units 1-9.
const char16_t* const kClipNames[] = {
    u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9",
    u"10", u"20", u"30", u"40", u"50",
    u"1じかん", u"2じかん", u"3じかん", u"4じかん", u"5じかん", u"6じかん", u"7じかん",
    u"8じかん", u"9じかん", u"10じかん", u"20じかん",
    u"1ふん", u"2ふん", u"3ふん", u"4ふん", u"5ふん", u"6ふん", u"7ふん", u"8ふん", u"9ふん",
    u"10ふん", u"20ふん", u"30ふん", u"40ふん", u"50ふん",
    u"1びょう", u"2びょう", u"3びょう", u"4びょう", u"5びょう", u"6びょう", u"7びょう",
    u"8びょう", u"9びょう", u"10びょう", u"20びょう", u"30びょう", u"40びょう", u"50びょう",
    u"じかん", u"ふん", u"びょう",
    u"すたーと", u"みぎ", u"ひだり", u"おしまい", u"おつかれさまでした", u"じかんです",
    u"きどうしました", u"まえ", u"けいか",
    u"alarm1", u"alarm2", u"alarm3", u"alarm4",
    u"Lorameru",
};

}  // namespace

const std::vector<std::u16string>& ClipNames() {
    static const std::vector<std::u16string> names(std::begin(kClipNames), std::end(kClipNames));
    return names;
}

bool IsClipName(std::u16string_view name) {
    const auto& names = ClipNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace movrek
