#include "app/DisplayMode.h"

#include <algorithm>

namespace movrek {

DisplayLayout ComputeDisplayLayout(DisplayMode mode, const DisplayInput& in) {
    DisplayLayout out;
    const int header = in.timeHeight + 6;
    out.labelLeft = 10;
    // Truncating division, as the label may be taller than the header.
    out.labelTop = (header - in.labelHeight) / 2;
    // The panel sits right under the header in both modes: in compact mode it is then
    // entirely outside the window instead of peeking into a tall header.
    out.panelTop = header;
    if (mode == DisplayMode::Compact) {
        out.windowHeight = header;
        out.windowWidth = in.labelWidth + 38;
        out.button1Left = in.labelWidth + 18;
        out.button3Visible = false;
        out.baseNameVisible = false;
    } else {
        out.windowWidth = ExpandedWidth;
        out.panelHeight = AlarmRowHeight * in.alarmLine + 91;
        out.panelHeightSet = true;
        out.windowHeight = AlarmRowHeight * in.alarmLine + in.timeHeight + 98;
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
    return {std::min(left, screenWidth - 100), std::min(top, screenHeight - 100)};
}

int FontHeightForPoints(int points) {
    // -MulDiv(points, 96, 72): rounds half away from zero.
    const long long num = static_cast<long long>(points) * 96;
    const long long q = (num >= 0 ? num + 36 : num - 36) / 72;
    return -static_cast<int>(q);
}

}  // namespace movrek
