#include "app/Kfile.h"

namespace movrek {

bool IsSiblingClass(std::u16string_view className) {
    for (std::u16string_view name : SiblingClassNames)
        if (className == name) return true;
    return false;
}

std::optional<ScreenPoint> DockToSibling(const ScreenRect& self, WindowQuery& windows) {
    // A window at the screen's top edge still finds a sibling that touches it.
    ScreenPoint probe{self.left - 1, self.top - 1};
    if (probe.y < 0) probe.y = 0;

    std::optional<WindowFacts> found = windows.WindowAt(probe);
    if (!found) return std::nullopt;
    // A control inside a sibling's main window leads to the sibling; one level only.
    if (found->parent != 0) {
        found = windows.WindowOf(found->parent);
        if (!found) return std::nullopt;
    }
    if (!IsSiblingClass(found->className)) return std::nullopt;

    const ScreenRect& s = found->rect;
    const int middle = s.top + (s.bottom - s.top) / 2;
    if (middle < self.top) return ScreenPoint{s.left, s.bottom};
    return ScreenPoint{s.right, s.top};
}

ReleaseAction DragTracker::OnRelease(ScreenPoint at) {
    if (!DragPending) return ReleaseAction::None;
    DragPending = false;
    return at == PressPoint ? ReleaseAction::Click : ReleaseAction::Dock;
}

std::optional<ScreenPoint> DragTracker::PlaceAfterMove(ScreenPoint loopStart, ScreenPoint release,
                                                       ScreenPoint windowNow) const {
    if (windowNow == origin_ && !(release == loopStart)) return std::nullopt;
    return ScreenPoint{origin_.x + release.x - PressPoint.x, origin_.y + release.y - PressPoint.y};
}

}  // namespace movrek
