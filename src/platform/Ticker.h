// A periodic timer owned by the main window (SetTimer/KillTimer on Windows), as the objects it
// drives see it: the timer engine and the voice announcer each arm their own.
#pragma once

namespace movrek {

// While enabled it calls its user's Tick every intervalMs milliseconds on the GUI thread.
class Ticker {
public:
    virtual ~Ticker() = default;
    virtual void Enable(int intervalMs) = 0;
    virtual void Disable() = 0;  // no further ticks; harmless when already disabled
};

}  // namespace movrek
