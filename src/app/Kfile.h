// Moving the borderless main window by its surface and docking it to a neighbouring window
// of the program family. The decisions are portable; the main window supplies the platform
// facts (button state, pointer position, windows under a point) and carries out the moves.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace movrek {

struct ScreenPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A top-level or child window as the platform reports it. handle and parent are opaque
// (an HWND cast to an integer on Windows); parent 0 means none.
struct WindowFacts {
    std::uintptr_t handle = 0;
    std::uintptr_t parent = 0;
    std::u16string className;
    ScreenRect rect;
};

class WindowQuery {
public:
    virtual ~WindowQuery() = default;
    // The window under a screen point (WindowFromPoint), if any.
    virtual std::optional<WindowFacts> WindowAt(ScreenPoint p) = 0;
    // The facts of a window given its handle, if it still exists.
    virtual std::optional<WindowFacts> WindowOf(std::uintptr_t handle) = 0;
};

// Main-window class names of the program family, this program's own among them.
inline constexpr std::array<std::u16string_view, 6> SiblingClassNames{
    u"TFPellor", u"TFMovrek", u"TFGastin", u"TFRudek", u"TFVerrin", u"TFOskel"};

bool IsSiblingClass(std::u16string_view className);

// Where the window with screen rectangle self should move to dock to the sibling found one
// pixel above and left of its top-left corner: under the sibling (left edges aligned) when
// the sibling's vertical middle is above self's top, else to its right (top edges aligned).
// No value when there is no sibling there. Width and height are the caller's to keep.
std::optional<ScreenPoint> DockToSibling(const ScreenRect& self, WindowQuery& windows);

// Moving by the surface: a press of the primary button starts the platform's move loop, which
// returns with the release. The same spot for press and release is a click (command 1); any
// other release ends a drag, after which the window may dock to a sibling.
enum class ReleaseAction { None, Click, Dock };

class DragTracker {
public:
    // windowAt: the window's top-left corner when the button went down.
    void OnPress(ScreenPoint at, ScreenPoint windowAt) {
        DragPending = true;
        PressPoint = at;
        origin_ = windowAt;
    }
    // A motion while the button is down: the move loop begins once the pointer has left the
    // press point, so a click never enters it.
    bool MotionStartsMove(ScreenPoint at) const { return DragPending && !(at == PressPoint); }
    // The release that ended the move loop; None when no press is pending (handled once).
    ReleaseAction OnRelease(ScreenPoint at);
    void Reset() { DragPending = false; }

    // Where the window belongs after a move loop that began with the pointer at loopStart and
    // left the window at windowNow: the loop counts from where it began, so the window is
    // placed by the pointer's way from the press. No value for a move the user cancelled
    // (the window back where it was, the pointer elsewhere than where the loop began).
    std::optional<ScreenPoint> PlaceAfterMove(ScreenPoint loopStart, ScreenPoint release,
                                              ScreenPoint windowNow) const;

    bool DragPending = false;
    ScreenPoint PressPoint;

private:
    ScreenPoint origin_;
};

// After every move and hit test: a window whose top is above the screen's top edge goes back to 0.
inline std::optional<int> CorrectedTop(int top) {
    return top < 0 ? std::optional<int>(0) : std::nullopt;
}

}  // namespace movrek
