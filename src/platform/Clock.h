// The local clock seam. A date-time is a number of days since 1899-12-30 whose fraction is
// the time of day; durations are differences of such values.
#pragma once

namespace movrek {

class Clock {
public:
    virtual ~Clock() = default;
    virtual double Now() = 0;  // current local date-time
};

// The platform's local clock (GetLocalTime on Windows, localtime natively).
Clock& SystemClock();

}  // namespace movrek
