// What the timer engine, the alarm rows and the options dialog ask of the voice announcer.
// ktalk implements it; the engine's tests hand it a recorder.
#pragma once
#include <string_view>

namespace movrek {

class Announcer {
public:
    virtual ~Announcer() = default;
    virtual void Talk(std::u16string_view name) = 0;
    virtual void TalkNumber(int n) = 0;
    virtual void TalkDuration(std::u16string_view word, int hours, int minutes, int seconds) = 0;
    virtual void TalkClock(std::u16string_view hourWord, std::u16string_view finalWord, int hours,
                           int minutes, int seconds) = 0;
};

}  // namespace movrek
