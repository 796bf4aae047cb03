#include "app/Talarm.h"

#include "platform/Utf.h"

namespace movrek {
namespace {

std::vector<std::u16string> Numbered(int count, std::u16string_view unit) {
    std::vector<std::u16string> items;
    items.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) items.push_back(Decimal(i) + u" " + std::u16string(unit));
    return items;
}

struct SoundEntry {
    std::u16string_view item;
    std::u16string_view first;
    std::u16string_view second;
};

constexpr std::array<SoundEntry, AlarmSoundCount> kSounds{{
    {u"", u"", u""},
    {u"チチ チチ チチ ・・・", u"alarm1", u""},
    {u"プルン プルン プルン", u"alarm2", u""},
    {u"ピンポン", u"alarm3", u""},
    {u"ポン", u"alarm4", u""},
    {u"スタート", u"すたーと", u""},
    {u"右スタート", u"みぎ", u"すたーと"},
    {u"左スタート", u"ひだり", u"すたーと"},
    {u"おしまい", u"おしまい", u""},
    {u"おつかれさまでした", u"おつかれさまでした", u""},
    {u"時間です", u"じかんです", u""},
}};

int SelectedOf(const ChoiceList* list) { return list ? list->Selected() : -1; }

}  // namespace

std::u16string AlarmRowLabel(int row) { return u"時報 " + Decimal(row + 1) + u":"; }

std::vector<std::u16string> AlarmEndItems() { return {u"", u"終了"}; }
std::vector<std::u16string> AlarmHourItems() { return Numbered(24, u"h"); }
std::vector<std::u16string> AlarmMinuteItems() { return Numbered(60, u"m"); }
std::vector<std::u16string> AlarmSecondItems() { return Numbered(60, u"s"); }

std::vector<std::u16string> AlarmSoundItems() {
    std::vector<std::u16string> items;
    for (const SoundEntry& e : kSounds) items.emplace_back(e.item);
    return items;
}

std::vector<std::u16string_view> AlarmSoundPhrases(int soundIndex) {
    std::vector<std::u16string_view> phrases;
    if (soundIndex <= 0 || soundIndex >= AlarmSoundCount) return phrases;
    const SoundEntry& e = kSounds[static_cast<size_t>(soundIndex)];
    phrases.push_back(e.first);
    if (!e.second.empty()) phrases.push_back(e.second);
    return phrases;
}

ChoiceList* AlarmRowChoices::Field(AlarmField f) const {
    switch (f) {
        case AlarmField::End: return End;
        case AlarmField::Hour: return Hour;
        case AlarmField::Minute: return Minute;
        case AlarmField::Second: return Second;
        case AlarmField::Sound: return Sound;
    }
    return nullptr;
}

bool talarm::AttachRow(int row, const AlarmRowChoices& choices) {
    if (row < 0 || row >= Rows || !choices.Complete()) return false;
    rows_[static_cast<size_t>(row)] = choices;
    return true;
}

const AlarmRowChoices* talarm::Row(int row) const {
    if (row < 0 || row >= Rows) return nullptr;
    const AlarmRowChoices& r = rows_[static_cast<size_t>(row)];
    return r.Complete() ? &r : nullptr;
}

void talarm::Populate() {
    EndItems = AlarmEndItems();
    HourItems = AlarmHourItems();
    MinuteItems = AlarmMinuteItems();
    SecondItems = AlarmSecondItems();
    SoundItems = AlarmSoundItems();
    for (const AlarmRowChoices& r : rows_) {
        if (!r.Complete()) continue;
        r.End->SetItems(EndItems);
        r.Hour->SetItems(HourItems);
        r.Minute->SetItems(MinuteItems);
        r.Second->SetItems(SecondItems);
        r.Sound->SetItems(SoundItems);
    }
    ClearAll();
}

void talarm::ClearAll() {
    for (const AlarmRowChoices& r : rows_) {
        if (!r.Complete()) continue;
        r.End->Select(0);
        r.Hour->Select(0);
        r.Minute->Select(0);
        r.Second->Select(0);
        r.Sound->Select(0);
    }
}

bool talarm::Matches(int row, int h, int m, int s) const {
    const AlarmRowChoices* r = Row(row);
    if (!r) return false;
    const bool active = r->Sound->Selected() > 0 || r->End->Selected() == 1;
    if (!active) return false;
    return r->Hour->Selected() == h && r->Minute->Selected() == m && r->Second->Selected() == s;
}

int talarm::EndChoice(int row) const {
    const AlarmRowChoices* r = Row(row);
    return r ? SelectedOf(r->End) : -1;
}

int talarm::SoundChoice(int row) const {
    const AlarmRowChoices* r = Row(row);
    return r ? SelectedOf(r->Sound) : -1;
}

}  // namespace movrek
