// What the timer engine reads and drives, as plain objects.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/EngineSeams.h"
#include "app/Ktime.h"
#include "platform/Clock.h"

namespace movrek::test {

// A morning in 2024 as a date-time; any day works.
constexpr double kDay = 45400.0;

class SetClock : public Clock {
public:
    double Now() override {
        ++Reads;
        return At;
    }
    // Seconds after a moment 0.3 s into a second of kDay, where a timer's ticks fall.
    void Set(double seconds) { At = kDay + 0.3 * OneSecond + seconds * OneSecond; }
    // Whole milliseconds since kDay began, exact over a day of ticks.
    void SetMs(std::int64_t ms) { At = kDay + static_cast<double>(ms) / 86400000.0; }
    double At = kDay;
    int Reads = 0;
};

class Label : public TextSink {
public:
    void SetText(const std::u16string& text) override { Texts.push_back(text); }
    std::u16string Last() const { return Texts.empty() ? u"" : Texts.back(); }
    std::vector<std::u16string> Texts;
};

class FakeTicker : public Ticker {
public:
    void Enable(int intervalMs) override {
        Enabled = true;
        Interval = intervalMs;
        ++Enables;
    }
    void Disable() override {
        Enabled = false;
        Interval = 0;
    }
    bool Enabled = false;
    int Interval = 0;
    int Enables = 0;  // each one restarts a real timer's period
};

class Glyph : public StateGlyph {
public:
    void SetStateGlyph(bool finished) override { Calls.push_back(finished); }
    bool Finished() const { return !Calls.empty() && Calls.back(); }
    std::vector<bool> Calls;
};

}  // namespace movrek::test
