#include "platform/Clock.h"

#include <windows.h>

namespace movrek {
namespace {

// Days from 1899-12-30 to the civil date (proleptic Gregorian).
long DaysFromEpoch(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468 + 25569;  // 25569: 1899-12-30 → 1970-01-01
}

class LocalClock : public Clock {
public:
    double Now() override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        const double ms = ((st.wHour * 60.0 + st.wMinute) * 60.0 + st.wSecond) * 1000.0 + st.wMilliseconds;
        return DaysFromEpoch(st.wYear, st.wMonth, st.wDay) + ms / 86400000.0;
    }
};

}  // namespace

Clock& SystemClock() {
    static LocalClock clock;
    return clock;
}

}  // namespace movrek
