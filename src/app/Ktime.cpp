#include "app/Ktime.h"

#include <cmath>

#include "app/Talarm.h"

namespace movrek {
namespace {

constexpr double kMsPerDay = 86400000.0;

void AppendTwoDigits(std::u16string& text, int n) {
    text.push_back(static_cast<char16_t>(u'0' + n / 10 % 10));
    text.push_back(static_cast<char16_t>(u'0' + n % 10));
}

}  // namespace

TimeParts SplitTime(double days) {
    // Done in double: a nonsense value (a clock gone wild) must not overflow an integer.
    double ms = std::fabs(std::round(days * kMsPerDay));
    ms = std::isfinite(ms) ? std::fmod(ms, kMsPerDay) : 0.0;
    const long whole = static_cast<long>(ms);
    TimeParts p;
    p.Milliseconds = static_cast<int>(whole % 1000);
    p.Seconds = static_cast<int>(whole / 1000 % 60);
    p.Minutes = static_cast<int>(whole / 60000 % 60);
    p.Hours = static_cast<int>(whole / 3600000);
    return p;
}

std::u16string FormatTime(double days, bool withSeconds) {
    const TimeParts p = SplitTime(days);
    std::u16string text;
    AppendTwoDigits(text, p.Hours);
    text.push_back(u':');
    AppendTwoDigits(text, p.Minutes);
    if (withSeconds) {
        text.push_back(u':');
        AppendTwoDigits(text, p.Seconds);
    }
    return text;
}

ktime::ktime(const KtimeLinks& links) : links_(links) {}

ktime::~ktime() { links_.ticker.Disable(); }

void ktime::Start() {
    links_.ticker.Disable();
    if (CountIn == 1) {
        Remaining = 11 * OneSecond;
        StartTime = links_.clock.Now();
        LastSecond = -1;
        LastMinute = 0;
        LastHour = 0;
    }
    if (State == TimerState::Counting) {
        StartTime = links_.clock.Now();
        LastSecond = -1;
        LastMinute = 0;
        LastHour = 0;
    }
    links_.ticker.Enable(TickIntervalMs);
}

void ktime::Tick() {
    TickTime = links_.clock.Now();
    if (CountIn == 1) CountInStep();
    // Not an else: the tick that ends the count-in already shows the count's first second.
    if (State == TimerState::Counting) CountStep();
}

void ktime::CountInStep() {
    Elapsed = TickTime - StartTime;
    const int s = SplitTime(Elapsed).Seconds;
    if (s == LastSecond) return;
    LastSecond = s;
    // One step per observed second change, whatever time has passed.
    Remaining -= OneSecond;
    if (SplitTime(Remaining).Seconds != LastRemainingSecond) ShowCountIn();
}

void ktime::ShowCountIn() {
    links_.timeDisplay.SetText(Prefix() + FormatTime(Remaining, true));
    const TimeParts p = SplitTime(Remaining);
    LastRemainingSecond = p.Seconds;
    if (p.Minutes != 0) return;
    if (p.Seconds == 10) {
        links_.announcer.Talk(u"10びょう");
        links_.announcer.Talk(u"まえ");
    } else if (p.Seconds >= 1 && p.Seconds <= 5) {
        links_.announcer.TalkNumber(p.Seconds);
    } else if (p.Seconds == 0) {
        BeginCount();
    }
}

void ktime::BeginCount() {
    CountIn = 0;
    StartTime = links_.clock.Now();
    LastSecond = -1;
    LastMinute = 0;
    LastHour = 0;
    State = TimerState::Counting;
}

void ktime::CountStep() {
    Elapsed = TickTime - StartTime;
    const TimeParts p = SplitTime(Elapsed);
    if (p.Seconds != LastSecond) {
        LastSecond = p.Seconds;
        SecondChange();
    }
    if (p.Hours != LastHour) {
        LastHour = p.Hours;
        HourChange();
    }
    if (p.Minutes != LastMinute) {
        LastMinute = p.Minutes;
        MinuteChange();
    }
}

void ktime::SecondChange() {
    ShowElapsed();
    const TimeParts p = SplitTime(Elapsed);
    FiredThisSecond = 0;
    // LastHour still holds the previous second's hour: 23 → 0 means a full day has passed.
    if (p.Hours == 0 && LastHour == 23) {
        FiredThisSecond = 1;
        Finish();
        links_.announcer.TalkClock(u"じかん", u"けいか", 24, 0, 0);
        return;
    }
    const AlarmRows& rows = links_.alarms;
    for (int i = 0; i < rows.RowCount(); ++i) {
        if (!rows.Matches(i, p.Hours, p.Minutes, p.Seconds)) continue;
        for (std::u16string_view phrase : AlarmSoundPhrases(rows.SoundChoice(i)))
            links_.announcer.Talk(phrase);
        if (rows.EndChoice(i) == 1) Finish();
        FiredThisSecond = 1;
    }
}

void ktime::HourChange() {
    if (FiredThisSecond == 1) return;
    if (links_.passSound.Selected() == 2) links_.announcer.TalkDuration(u"けいか", LastHour, 0, 0);
}

void ktime::MinuteChange() {
    if (FiredThisSecond == 1) return;
    if (links_.passSound.Selected() == 1)
        links_.announcer.TalkDuration(u"けいか", LastHour, LastMinute, 0);
}

void ktime::ShowElapsed() {
    std::u16string text = Prefix();
    if (ShowSeconds == 1)
        text += FormatTime(Elapsed, true);
    else if (ShowSeconds == 0)
        text += FormatTime(Elapsed, false);
    links_.timeDisplay.SetText(text);
}

void ktime::Finish() {
    if (State == TimerState::Finished) return;
    links_.ticker.Disable();
    links_.stateGlyph.SetStateGlyph(true);
    State = TimerState::Finished;
}

std::u16string ktime::Prefix() const {
    return LabelText.empty() ? std::u16string() : LabelText + u" ";
}

}  // namespace movrek
