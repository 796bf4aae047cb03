#include "app/DisplayMode.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace movrek {
namespace {

// The settings file may hold any 32-bit value: the sums are taken in 64 bits and a result
// beyond int is pinned to its nearest limit, which the platform clips like any huge size.
int Pinned(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

}  // namespace

DisplayLayout ComputeDisplayLayout(DisplayMode mode, const DisplayInput& in) {
    DisplayLayout out;
    const std::int64_t header = std::int64_t{in.timeHeight} + 6;
    out.labelLeft = 10;
    // Truncating division, as the label may be taller than the header.
    out.labelTop = Pinned((header - in.labelHeight) / 2);
    // The panel sits right under the header in both modes: in compact mode it is then
    // entirely outside the window instead of peeking into a tall header.
    out.panelTop = Pinned(header);
    if (mode == DisplayMode::Compact) {
        out.windowHeight = Pinned(header);
        out.windowWidth = Pinned(std::int64_t{in.labelWidth} + 38);
        out.button1Left = Pinned(std::int64_t{in.labelWidth} + 18);
        out.button3Visible = false;
        out.baseNameVisible = false;
    } else {
        const std::int64_t rows = std::int64_t{AlarmRowHeight} * in.alarmLine;
        out.windowWidth = ExpandedWidth;
        out.panelHeight = Pinned(rows + 91);
        out.panelHeightSet = true;
        out.windowHeight = Pinned(rows + in.timeHeight + 98);
        out.visibleAlarmRows = std::clamp(in.alarmLine, 0, MaxAlarmRows);
        out.alarmRowsSet = true;
        out.button3Visible = true;
        out.button3Left = out.windowWidth - BarButtonSize - 4;
        out.button1Left = out.button3Left - BarButtonSize - 2;
        out.baseNameVisible = true;
    }
    return out;
}

int TimeFontPoints(int timeHeight, int currentPoints) {
    switch (timeHeight) {
        case 16: return 10;
        case 24: return 12;
        case 32: return 16;
        case 40: return 26;
        default: return currentPoints;
    }
}

WindowOrigin KeepOriginOnScreen(int left, int top, int screenWidth, int screenHeight) {
    return {Pinned(std::min<std::int64_t>(left, std::int64_t{screenWidth} - 100)),
            Pinned(std::min<std::int64_t>(top, std::int64_t{screenHeight} - 100))};
}

int FontHeightForPoints(int points) {
    // -MulDiv(points, 96, 72): rounds half away from zero.
    const std::int64_t num = std::int64_t{points} * 96;
    const std::int64_t q = (num >= 0 ? num + 36 : num - 36) / 72;
    return Pinned(-q);
}

}  // namespace movrek
