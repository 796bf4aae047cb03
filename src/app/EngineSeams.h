// What the timer engine needs from the window around it, kept to the few calls it makes.
// The main window implements these with its real controls; the engine's tests use fakes.
#pragma once
#include <string>

#include "platform/Ticker.h"

namespace movrek {

// Where a text is shown: the main window's time label.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void SetText(const std::u16string& text) = 0;
};

// The state button of the button bar: the finished (red) or the running (green) picture.
class StateGlyph {
public:
    virtual ~StateGlyph() = default;
    virtual void SetStateGlyph(bool finished) = 0;
};

// The alarm rows as the engine asks them once per elapsed second (talarm implements it).
class AlarmRows {
public:
    virtual ~AlarmRows() = default;
    virtual int RowCount() const = 0;
    // Whether row i (0-based) is active and set to hours h, minutes m, seconds s.
    virtual bool Matches(int i, int h, int m, int s) const = 0;
    virtual int EndChoice(int i) const = 0;    // 1 = the row ends the run
    virtual int SoundChoice(int i) const = 0;  // index into the sound table
};

}  // namespace movrek
