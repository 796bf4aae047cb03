#include <gtest/gtest.h>

#include <climits>

#include "app/DisplayMode.h"

using namespace movrek;

namespace {

struct HeightCase {
    int timeHeight;
    int points;      // font size the time label gets
    int pixelHeight; // font height asked of the platform
};

// The four height classes the options offer, plus one that is not among them.
const HeightCase kHeights[] = {{16, 10, -13}, {24, 12, -16}, {32, 16, -21}, {40, 26, -35}};

}  // namespace

TEST(DisplayMode, FontSizeFollowsTheHeightClassNotAProportionalRule) {
    for (const auto& c : kHeights) {
        SCOPED_TRACE(c.timeHeight);
        EXPECT_EQ(TimeFontPoints(c.timeHeight, 99), c.points);
        EXPECT_EQ(FontHeightForPoints(c.points), c.pixelHeight);
    }
    // A height outside the four classes keeps whatever size the label has.
    EXPECT_EQ(TimeFontPoints(20, 14), 14);
    EXPECT_EQ(TimeFontPoints(0, 10), 10);
    EXPECT_EQ(TimeFontPoints(-16, 12), 12);
}

TEST(DisplayMode, CompactWindowIsTheHeaderWithTheLabelAndOneButton) {
    // Label sizes as a 10..26 pt Tahoma "00:00:00" measures, roughly.
    const int labelSizes[][2] = {{50, 16}, {60, 19}, {80, 25}, {130, 42}};
    for (int i = 0; i < 4; ++i) {
        const int th = kHeights[i].timeHeight;
        const int lw = labelSizes[i][0], lh = labelSizes[i][1];
        SCOPED_TRACE(th);
        const DisplayLayout l = ComputeDisplayLayout(DisplayMode::Compact, {th, 10, lw, lh});
        EXPECT_EQ(l.windowHeight, th + 6);
        EXPECT_TRUE(IsCompactHeight(l.windowHeight, th));
        EXPECT_EQ(l.windowWidth, lw + 38);
        EXPECT_EQ(l.labelLeft, 10);
        EXPECT_EQ(l.labelTop, (th + 6 - lh) / 2);
        EXPECT_EQ(l.button1Left, lw + 18);
        // [10][label][8][button 16][4]
        EXPECT_EQ(l.windowWidth - (l.button1Left + BarButtonSize), 4);
        EXPECT_FALSE(l.button3Visible);
        EXPECT_FALSE(l.baseNameVisible);
        EXPECT_FALSE(l.panelHeightSet);
        EXPECT_FALSE(l.alarmRowsSet);
        EXPECT_GE(l.panelTop, l.windowHeight);  // the settings panel stays out of sight
    }
}

TEST(DisplayMode, ExpandedWindowAtEveryHeightAndRowCount) {
    for (const auto& c : kHeights) {
        for (int rows = 0; rows <= 10; ++rows) {
            SCOPED_TRACE(testing::Message() << "height " << c.timeHeight << " rows " << rows);
            const DisplayLayout l = ComputeDisplayLayout(DisplayMode::Expanded, {c.timeHeight, rows, 57, 16});
            EXPECT_EQ(l.windowWidth, 402);
            EXPECT_EQ(l.windowHeight, 25 * rows + c.timeHeight + 98);
            EXPECT_FALSE(IsCompactHeight(l.windowHeight, c.timeHeight));
            EXPECT_EQ(l.panelTop, c.timeHeight + 6);
            EXPECT_EQ(l.panelHeight, 25 * rows + 91);
            // One pixel of window surface stays below the panel.
            EXPECT_EQ(l.windowHeight - (l.panelTop + l.panelHeight), 1);
            EXPECT_EQ(l.visibleAlarmRows, rows);
            EXPECT_EQ(l.button3Left, 382);
            EXPECT_EQ(l.button1Left, 364);
            EXPECT_TRUE(l.button3Visible);
            EXPECT_TRUE(l.baseNameVisible);
            EXPECT_EQ(l.labelLeft, 10);
            EXPECT_EQ(l.labelTop, (c.timeHeight + 6 - 16) / 2);
        }
    }
}

TEST(DisplayMode, DefaultsGiveTheKnownExpandedSize) {
    const DisplayLayout l = ComputeDisplayLayout(DisplayMode::Expanded, {16, 10, 57, 16});
    EXPECT_EQ(l.windowWidth, 402);
    EXPECT_EQ(l.windowHeight, 364);
    EXPECT_EQ(l.panelHeight, 341);
    const DisplayLayout c40 = ComputeDisplayLayout(DisplayMode::Compact, {40, 10, 120, 42});
    EXPECT_EQ(c40.windowHeight, 46);
}

TEST(DisplayMode, LabelTallerThanTheHeaderTruncatesTowardZero) {
    // 22 - 27 = -5: the label rises 2 pixels above the top, not 3.
    EXPECT_EQ(ComputeDisplayLayout(DisplayMode::Compact, {16, 10, 40, 27}).labelTop, -2);
    EXPECT_EQ(ComputeDisplayLayout(DisplayMode::Compact, {16, 10, 40, 17}).labelTop, 2);
}

TEST(DisplayMode, ModeFollowsTheWindowHeight) {
    EXPECT_EQ(ModeOfHeight(22, 16), DisplayMode::Compact);
    EXPECT_EQ(ModeOfHeight(46, 40), DisplayMode::Compact);
    EXPECT_EQ(ModeOfHeight(26, 20), DisplayMode::Compact);
    EXPECT_EQ(ModeOfHeight(23, 16), DisplayMode::Expanded);
    EXPECT_EQ(ModeOfHeight(364, 16), DisplayMode::Expanded);
    EXPECT_EQ(ModeOfHeight(INT32_MIN, INT32_MAX), DisplayMode::Expanded);
    EXPECT_EQ(OtherMode(DisplayMode::Compact), DisplayMode::Expanded);
    EXPECT_EQ(OtherMode(DisplayMode::Expanded), DisplayMode::Compact);
}

TEST(DisplayMode, RowCountBeyondTheTenRowsShowsTenButKeepsTheArithmetic) {
    const DisplayLayout l = ComputeDisplayLayout(DisplayMode::Expanded, {16, 12, 57, 16});
    EXPECT_EQ(l.visibleAlarmRows, 10);
    EXPECT_EQ(l.panelHeight, 25 * 12 + 91);
    EXPECT_EQ(ComputeDisplayLayout(DisplayMode::Expanded, {16, -1, 57, 16}).visibleAlarmRows, 0);

    // Any value a settings file may hold: sizes beyond int stop at its limits.
    const DisplayLayout big = ComputeDisplayLayout(DisplayMode::Expanded, {INT_MAX, INT_MAX, 57, 16});
    EXPECT_EQ(big.windowHeight, INT_MAX);
    EXPECT_EQ(big.panelHeight, INT_MAX);
    EXPECT_EQ(big.panelTop, INT_MAX);
    EXPECT_EQ(big.labelTop, (INT_MAX - 10) / 2);
    EXPECT_EQ(big.visibleAlarmRows, 10);
    const DisplayLayout small = ComputeDisplayLayout(DisplayMode::Expanded, {INT_MIN, INT_MIN, 57, INT_MAX});
    EXPECT_EQ(small.windowHeight, INT_MIN);
    EXPECT_EQ(small.panelHeight, INT_MIN);
    EXPECT_EQ(small.panelTop, INT_MIN + 6);
    EXPECT_EQ(small.labelTop, INT_MIN + 4);
    EXPECT_EQ(small.visibleAlarmRows, 0);
    const DisplayLayout compact = ComputeDisplayLayout(DisplayMode::Compact, {INT_MAX, 0, INT_MAX, INT_MIN});
    EXPECT_EQ(compact.windowHeight, INT_MAX);
    EXPECT_EQ(compact.windowWidth, INT_MAX);
    EXPECT_EQ(compact.button1Left, INT_MAX);
    EXPECT_EQ(compact.labelTop, INT_MAX);
    EXPECT_TRUE(IsCompactHeight(INT_MAX, INT_MAX - 6));
    EXPECT_FALSE(IsCompactHeight(INT_MIN, INT_MAX));
    EXPECT_FALSE(IsCompactHeight(INT_MAX, INT_MAX));
    EXPECT_EQ(FontHeightForPoints(INT_MAX), INT_MIN);
    EXPECT_EQ(FontHeightForPoints(INT_MIN), INT_MAX);
    const WindowOrigin far = KeepOriginOnScreen(INT_MAX, INT_MIN, 1280, INT_MIN);
    EXPECT_EQ(far.left, 1180);
    EXPECT_EQ(far.top, INT_MIN);
}

TEST(DisplayMode, StoredPositionIsPulledBackOnlyWhereItWouldLeaveTheScreen) {
    const WindowOrigin inside = KeepOriginOnScreen(300, 200, 1280, 1024);
    EXPECT_EQ(inside.left, 300);
    EXPECT_EQ(inside.top, 200);
    const WindowOrigin far = KeepOriginOnScreen(5000, 3000, 1280, 1024);
    EXPECT_EQ(far.left, 1180);
    EXPECT_EQ(far.top, 924);
    const WindowOrigin edge = KeepOriginOnScreen(1180, 925, 1280, 1024);
    EXPECT_EQ(edge.left, 1180);
    EXPECT_EQ(edge.top, 924);
    // Off the left or top edge is left alone.
    const WindowOrigin negative = KeepOriginOnScreen(-50, -20, 1280, 1024);
    EXPECT_EQ(negative.left, -50);
    EXPECT_EQ(negative.top, -20);
}
