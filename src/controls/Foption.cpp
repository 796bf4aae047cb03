#include "controls/Foption.h"

#include <algorithm>

#include "platform/Utf.h"

namespace movrek {

namespace {

constexpr int kAlarmLineCount = 21;  // "0" .. "20"
constexpr int kFontSizeCount = 4;    // 16, 24, 32, 40
constexpr int kVolumeCount = 11;     // 100 .. 0 in steps of 10

int InList(std::int64_t index, int count) {
    return (index >= 0 && index < count) ? static_cast<int>(index) : -1;
}

bool InRange(int index, int count) { return index >= 0 && index < count; }

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
    return !FontNameLess(a, b) && !FontNameLess(b, a);
}

}  // namespace

std::vector<std::u16string> AlarmLineItems() {
    std::vector<std::u16string> items;
    for (int i = 0; i < kAlarmLineCount; ++i) items.push_back(Decimal(i));
    return items;
}

std::vector<std::u16string> FontSizeItems() {
    std::vector<std::u16string> items;
    for (int i = 0; i < kFontSizeCount; ++i) items.push_back(Decimal((i + 2) * 8));
    return items;
}

std::vector<std::u16string> VolumeItems() {
    std::vector<std::u16string> items;
    for (int i = 0; i < kVolumeCount; ++i) items.push_back(Decimal(100 - 10 * i));
    return items;
}

int AlarmLineIndex(std::int32_t alarmLine) { return InList(alarmLine, kAlarmLineCount); }

int FontSizeIndex(std::int32_t timeHeight) {
    return InList(std::int64_t{timeHeight} / 8 - 2, kFontSizeCount);
}

int VolumeIndex(std::int32_t volume) {
    return InList(10 - std::int64_t{volume} / 10, kVolumeCount);
}

OptionControls ControlsFromValues(const OptionValues& v) {
    OptionControls c;
    c.autoStart = v.AutoStart != 0;
    c.alarmLineIndex = AlarmLineIndex(v.AlarmLine);
    c.fontName = v.TimeFontName;
    c.fontSizeIndex = FontSizeIndex(v.TimeHeight);
    c.formColor = v.FormColor;
    c.timeColor = v.TimeColor;
    c.timeLabel = v.TimeLabel;
    c.volAlarmIndex = VolumeIndex(v.VolumeAlarm);
    c.volVoiceIndex = VolumeIndex(v.VolumeVoice);
    return c;
}

OptionValues ValuesFromControls(const OptionControls& c, const OptionValues& old) {
    OptionValues v = old;
    v.AutoStart = c.autoStart ? 1 : 0;
    if (InRange(c.alarmLineIndex, kAlarmLineCount)) v.AlarmLine = c.alarmLineIndex;
    v.TimeFontName = c.fontName;
    if (InRange(c.fontSizeIndex, kFontSizeCount)) v.TimeHeight = (c.fontSizeIndex + 2) * 8;
    v.FormColor = c.formColor;
    v.TimeColor = c.timeColor;
    v.TimeLabel = c.timeLabel;
    if (InRange(c.volAlarmIndex, kVolumeCount)) v.VolumeAlarm = (10 - c.volAlarmIndex) * 10;
    if (InRange(c.volVoiceIndex, kVolumeCount)) v.VolumeVoice = (10 - c.volVoiceIndex) * 10;
    return v;
}

void ApplyOptions(OptionsHost& host, const OptionControls& controls, const OptionValues& old) {
    const OptionValues v = ValuesFromControls(controls, old);
    host.WriteOptions(v);
    host.SetAlarmVolume(v.VolumeAlarm);
    host.SetVoiceVolume(v.VolumeVoice);
    host.ReapplySettings();
}

bool FontNameLess(std::u16string_view a, std::u16string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = FoldAscii(a[i]), y = FoldAscii(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

std::vector<std::u16string> FontNameList(std::vector<std::u16string> families) {
    std::vector<std::u16string> names;
    names.reserve(families.size() + 1);
    for (auto& f : families)
        if (!f.empty() && f[0] != u'@') names.push_back(std::move(f));
    names.push_back(u"Default");
    // Stable, so of names that differ only in case the first enumerated one stays.
    std::stable_sort(names.begin(), names.end(),
                     [](const std::u16string& a, const std::u16string& b) { return FontNameLess(a, b); });
    names.erase(std::unique(names.begin(), names.end(),
                            [](const std::u16string& a, const std::u16string& b) { return SameName(a, b); }),
                names.end());
    return names;
}

}  // namespace movrek
