// The timer engine: counts the elapsed time after an optional spoken 10-second count-in,
// writes it into the time label, evaluates the alarm rows once per elapsed second,
// announces elapsed minutes or hours, and ends the run on an end row or after 24 hours.
// Driven by a 100 ms ticker on the GUI thread; it only queues phrases with the announcer.
#pragma once
#include <cstdint>
#include <string>

#include "app/EngineSeams.h"
#include "platform/ChoiceList.h"
#include "platform/Clock.h"
#include "sound/Announcer.h"

namespace movrek {

// One second as a date-time difference (days).
inline constexpr double OneSecond = 1.0 / 86400.0;

// Hours (0..23), minutes, seconds and milliseconds of a date-time or duration: its
// milliseconds rounded to the nearest, without sign, modulo one day.
struct TimeParts {
    int Hours;
    int Minutes;
    int Seconds;
    int Milliseconds;
};
TimeParts SplitTime(double days);

// "hh:nn:ss", or "hh:nn" when withSeconds is false.
std::u16string FormatTime(double days, bool withSeconds);

enum class TimerState : std::int32_t { Idle = 0, Counting = 1, Finished = 2 };

// Everything the engine talks to; all must outlive the engine.
struct KtimeLinks {
    Clock& clock;
    TextSink& timeDisplay;        // LabelTime
    Announcer& announcer;
    const AlarmRows& alarms;
    const ChoiceList& passSound;  // ComboBoxPassSound: 1 every minute, 2 every hour
    Ticker& ticker;               // calls Tick while enabled
    StateGlyph& stateGlyph;       // the bar's state button
};

class ktime {
public:
    static constexpr int TickIntervalMs = 100;

    explicit ktime(const KtimeLinks& links);
    ~ktime();  // stops the ticker, so no tick reaches a destroyed engine
    ktime(const ktime&) = delete;
    ktime& operator=(const ktime&) = delete;

    // Begins a run: a count-in when CountIn is 1, a count from zero when State is Counting.
    // The caller sets those two first. A run in progress is discarded.
    void Start();
    // The ticker's handler.
    void Tick();
    // Writes the label text and the elapsed time into the time label.
    void ShowElapsed();
    // Ends the run: ticker off, state button red, State Finished.
    void Finish();

    // Written by the main window: State, CountIn, LabelText, ShowSeconds; read: State,
    // FiredThisSecond. Command 1 moves State from Finished to Idle.
    double TickTime = 0;
    double Elapsed = 0;
    double Remaining = 0;
    double StartTime = 0;
    std::u16string LabelText;
    std::int32_t ShowSeconds = 1;  // 1 "hh:nn:ss", 0 "hh:nn", anything else no time
    TimerState State = TimerState::Idle;
    std::int32_t CountIn = 0;
    std::int32_t LastSecond = -1;
    std::int32_t LastMinute = -1;
    std::int32_t LastHour = -1;
    std::int32_t LastRemainingSecond = -1;  // not reset by Start
    std::int32_t FiredThisSecond = 0;

private:
    void CountInStep();
    void ShowCountIn();
    void BeginCount();
    void CountStep();
    void SecondChange();
    void HourChange();
    void MinuteChange();
    std::u16string Prefix() const;

    KtimeLinks links_;
};

}  // namespace movrek
