#include "platform/Clock.h"

#include <sys/time.h>
#include <time.h>

namespace movrek {
namespace {

class LocalClock : public Clock {
public:
    double Now() override {
        timeval tv{};
        gettimeofday(&tv, nullptr);
        tm local{};
        localtime_r(&tv.tv_sec, &local);
        const double secs = static_cast<double>(tv.tv_sec) + local.tm_gmtoff + tv.tv_usec / 1e6;
        return 25569.0 + secs / 86400.0;  // 25569: days from 1899-12-30 to 1970-01-01
    }
};

}  // namespace

Clock& SystemClock() {
    static LocalClock clock;
    return clock;
}

}  // namespace movrek
