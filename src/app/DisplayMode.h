// The main window's two display modes as plain geometry: where the time label, the settings
// panel and the bar buttons go and how large the window is, from the time height, the number
// of alarm rows shown and the measured size of the time label.
#pragma once
#include <cstdint>

namespace movrek {

enum class DisplayMode { Compact = 0, Expanded = 1 };

struct DisplayLayout {
    int windowWidth = 0;
    int windowHeight = 0;
    int labelLeft = 0;
    int labelTop = 0;
    int panelTop = 0;
    int panelHeight = 0;      // meaningful in expanded mode; the panel keeps it otherwise
    bool panelHeightSet = false;
    int visibleAlarmRows = 0; // rows 1..n shown; only set in expanded mode
    bool alarmRowsSet = false;
    int button1Left = 0;
    bool button3Visible = false;
    int button3Left = 0;
    bool baseNameVisible = false;
};

struct DisplayInput {
    int timeHeight = 16;
    int alarmLine = 10;
    int labelWidth = 0;   // the time label after it has sized itself to its text
    int labelHeight = 0;
};

inline constexpr int AlarmRowHeight = 25;
inline constexpr int BarButtonSize = 16;
inline constexpr int ExpandedWidth = 402;
inline constexpr int MaxAlarmRows = 10;

DisplayLayout ComputeDisplayLayout(DisplayMode mode, const DisplayInput& in);

// The window is compact exactly when its height is the header height alone (compared in 64
// bits: a stored height near the integer limit must not overflow).
constexpr bool IsCompactHeight(int windowHeight, int timeHeight) {
    return std::int64_t{windowHeight} == std::int64_t{timeHeight} + 6;
}

// The mode a window of this height is in.
constexpr DisplayMode ModeOfHeight(int windowHeight, int timeHeight) {
    return IsCompactHeight(windowHeight, timeHeight) ? DisplayMode::Compact : DisplayMode::Expanded;
}

constexpr DisplayMode OtherMode(DisplayMode mode) {
    return mode == DisplayMode::Compact ? DisplayMode::Expanded : DisplayMode::Compact;
}

// Font size of the time label in points for a time height; any other height keeps the
// current size.
int TimeFontPoints(int timeHeight, int currentPoints);

// The stored window position, lowered where needed so that the window's top-left 100 x 100
// pixels start on a screen of the given size; smaller (also negative) values stay.
struct WindowOrigin {
    int left = 0;
    int top = 0;
};
WindowOrigin KeepOriginOnScreen(int left, int top, int screenWidth, int screenHeight);

// Character height in pixels (negative = cell height excluded, as fonts are asked for) for a
// size in points at 96 pixels per inch, rounded like the platform's MulDiv.
int FontHeightForPoints(int points);

}  // namespace movrek
