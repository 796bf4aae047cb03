#include "sound/Volume.h"

#include <cmath>

namespace movrek {

int VolumeToHundredthsDb(int setting) {
    const int x = setting > 100 ? 100 : (setting < 0 ? 0 : setting);
    if (x == 0) return kSilenceHundredthsDb;
    // log10(x) - 2 rather than log10(x / 100.0): x / 100.0 is inexact (0.1 is not a double), and
    // a result a hair above -1 would truncate -4000 to -3999. Exact values (1, 10, 100) are
    // snapped so that no libm's last-bit error can move them across an integer; no other
    // setting comes within 1e-6 of one.
    const double v = 4000.0 * (std::log10(static_cast<double>(x)) - 2.0);
    const double nearest = std::round(v);
    if (std::fabs(v - nearest) < 1e-6) return static_cast<int>(nearest);
    return static_cast<int>(v);  // truncation toward zero
}

}  // namespace movrek
