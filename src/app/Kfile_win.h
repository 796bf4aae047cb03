// The Windows side of docking: the windows under a screen point and their class names, as the
// docking decision asks for them.
#pragma once
#include <windows.h>

#include "app/Kfile.h"

namespace movrek {

class Win32WindowQuery : public WindowQuery {
public:
    std::optional<WindowFacts> WindowAt(ScreenPoint p) override;
    std::optional<WindowFacts> WindowOf(std::uintptr_t handle) override;

private:
    static WindowFacts Facts(HWND h);
};

}  // namespace movrek
