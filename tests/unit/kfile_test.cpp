#include "app/Kfile.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace movrek;

namespace {

// A desktop of windows; the one under a point is the last listed that contains it.
class Desktop : public WindowQuery {
public:
    std::uintptr_t Add(std::u16string cls, ScreenRect r, std::uintptr_t parent = 0) {
        WindowFacts w;
        w.handle = next_++;
        w.parent = parent;
        w.className = std::move(cls);
        w.rect = r;
        windows_.push_back(w);
        return w.handle;
    }
    std::optional<WindowFacts> WindowAt(ScreenPoint p) override {
        Probes.push_back(p);
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
            if (p.x >= it->rect.left && p.x < it->rect.right && p.y >= it->rect.top &&
                p.y < it->rect.bottom)
                return *it;
        return std::nullopt;
    }
    std::optional<WindowFacts> WindowOf(std::uintptr_t handle) override {
        for (const WindowFacts& w : windows_)
            if (w.handle == handle) return w;
        return std::nullopt;
    }
    std::vector<ScreenPoint> Probes;

private:
    std::vector<WindowFacts> windows_;
    std::uintptr_t next_ = 100;
};

std::optional<ScreenPoint> At(int x, int y) { return ScreenPoint{x, y}; }

}  // namespace

TEST(Dock, BelowASiblingWhoseMiddleIsAboveOurTop) {
    Desktop d;
    d.Add(u"TFMovrek", {100, 100, 300, 131});  // middle 115
    EXPECT_EQ(DockToSibling({290, 120, 400, 150}, d), At(100, 131));
    ASSERT_EQ(d.Probes.size(), 1u);
    EXPECT_EQ(d.Probes[0], (ScreenPoint{289, 119}));
}

TEST(Dock, BesideASiblingWhoseMiddleIsAtOrBelowOurTop) {
    Desktop d;
    d.Add(u"TFPellor", {100, 100, 300, 131});  // middle 115
    EXPECT_EQ(DockToSibling({250, 115, 400, 150}, d), At(300, 100));
    EXPECT_EQ(DockToSibling({250, 105, 400, 150}, d), At(300, 100));
    // Odd height: 31 / 2 truncates, so the middle is 15, not 16.
    Desktop e;
    e.Add(u"TFOskel", {0, 0, 50, 31});
    EXPECT_EQ(DockToSibling({10, 15, 90, 40}, e), At(50, 0));
    EXPECT_EQ(DockToSibling({10, 16, 90, 40}, e), At(0, 31));
}

TEST(Dock, AtTheScreensTopEdgeTheProbeIsRaisedToZero) {
    Desktop d;
    d.Add(u"TFGastin", {0, 0, 200, 30});
    EXPECT_EQ(DockToSibling({150, 0, 300, 30}, d), At(200, 0));
    EXPECT_EQ(d.Probes[0], (ScreenPoint{149, 0}));
    // x is never corrected: left of the screen finds nothing there.
    Desktop e;
    e.Add(u"TFGastin", {0, 0, 200, 30});
    EXPECT_EQ(DockToSibling({0, 50, 100, 80}, e), std::nullopt);
    EXPECT_EQ(e.Probes[0], (ScreenPoint{-1, 49}));
}

TEST(Dock, ClimbsExactlyOneParent) {
    Desktop d;
    const auto sibling = d.Add(u"TFRudek", {100, 100, 300, 200});
    d.Add(u"Button", {150, 140, 200, 180}, sibling);
    EXPECT_EQ(DockToSibling({170, 150, 250, 200}, d), At(300, 100));

    Desktop e;
    const auto top = e.Add(u"TFVerrin", {100, 100, 300, 200});
    const auto panel = e.Add(u"TPanel", {110, 110, 290, 190}, top);
    e.Add(u"ComboBox", {150, 140, 200, 180}, panel);
    EXPECT_EQ(DockToSibling({170, 150, 250, 200}, e), std::nullopt);
}

TEST(Dock, OnlyExactSiblingClassNames) {
    for (const char16_t* cls : {u"Notepad", u"tfmovrek", u"TFMovrek2", u"TFMovre", u""}) {
        Desktop d;
        d.Add(cls, {100, 100, 300, 131});
        EXPECT_EQ(DockToSibling({290, 120, 400, 150}, d), std::nullopt);
    }
    Desktop empty;
    EXPECT_EQ(DockToSibling({290, 120, 400, 150}, empty), std::nullopt);
    // A parent that vanished between the two questions.
    Desktop gone;
    gone.Add(u"Button", {100, 100, 300, 131}, 9999);
    EXPECT_EQ(DockToSibling({290, 120, 400, 150}, gone), std::nullopt);
}

TEST(Drag, PressAndReleaseOnTheSameSpotIsAClickAnywhereElseADrag) {
    DragTracker t;
    EXPECT_EQ(t.OnRelease({5, 5}), ReleaseAction::None);  // a release without a press
    EXPECT_FALSE(t.MotionStartsMove({6, 6}));              // nor a motion
    t.OnPress({40, 50}, {0, 0});
    EXPECT_TRUE(t.DragPending);
    EXPECT_FALSE(t.MotionStartsMove({40, 50}));  // a motion report that did not move
    EXPECT_TRUE(t.MotionStartsMove({40, 51}));
    EXPECT_EQ(t.OnRelease({40, 50}), ReleaseAction::Click);
    EXPECT_FALSE(t.DragPending);
    EXPECT_EQ(t.OnRelease({40, 50}), ReleaseAction::None);  // handled once
    t.OnPress({40, 50}, {0, 0});
    EXPECT_EQ(t.OnRelease({41, 50}), ReleaseAction::Dock);
    t.OnPress({40, 50}, {0, 0});
    EXPECT_EQ(t.OnRelease({40, 49}), ReleaseAction::Dock);
    // Two clicks in a row (a double click) are two clicks.
    t.OnPress({7, 7}, {0, 0});
    EXPECT_EQ(t.OnRelease({7, 7}), ReleaseAction::Click);
    t.OnPress({7, 7}, {0, 0});
    EXPECT_EQ(t.OnRelease({7, 7}), ReleaseAction::Click);
}

TEST(Drag, AfterTheMoveLoopTheWindowFollowsThePointersWayFromThePress) {
    DragTracker t;
    t.OnPress({40, 50}, {200, 100});
    // The loop began one pixel on and moved the window only from there.
    EXPECT_EQ(t.PlaceAfterMove({41, 50}, {141, 90}, {300, 140}), (ScreenPoint{301, 140}));
    // Released where the loop began: the loop moved nothing, the pixel still counts.
    EXPECT_EQ(t.PlaceAfterMove({41, 50}, {41, 50}, {200, 100}), (ScreenPoint{201, 100}));
    // The window back at its place with the pointer elsewhere: the move was cancelled.
    EXPECT_EQ(t.PlaceAfterMove({41, 50}, {141, 90}, {200, 100}), std::nullopt);
}

TEST(Drag, TopAboveTheScreenIsCorrected) {
    EXPECT_EQ(CorrectedTop(-1), std::optional<int>(0));
    EXPECT_EQ(CorrectedTop(0), std::nullopt);
    EXPECT_EQ(CorrectedTop(500), std::nullopt);
}
