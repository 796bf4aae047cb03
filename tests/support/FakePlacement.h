// The main window's place as the settings record sees it. Portable and free of the test
// framework: the fuzz targets use it too.
#pragma once
#include <vector>

#include "app/S01.h"

namespace movrek::test {

struct Rect {
    long long left, top, right, bottom;
};

// A window on a desk of monitors; the first monitor is the primary one, at (0, 0).
class FakePlacement : public WindowPlacement {
public:
    std::vector<Rect> monitors{{0, 0, 1920, 1080}};
    int left = -7777;
    int top = -7777;
    int moves = 0;

    int Left() const override { return left; }
    int Top() const override { return top; }
    void MoveTo(int l, int t) override {
        left = l;
        top = t;
        ++moves;
    }
    int PrimaryWidth() const override { return static_cast<int>(monitors[0].right); }
    int PrimaryHeight() const override { return static_cast<int>(monitors[0].bottom); }
    bool SquareOnAnyMonitor(int l, int t) const override {
        for (const Rect& m : monitors)
            if (l < m.right && l + 100LL > m.left && t < m.bottom && t + 100LL > m.top) return true;
        return false;
    }
};

}  // namespace movrek::test
