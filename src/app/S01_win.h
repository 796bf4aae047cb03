// The Windows side of the settings record: the running program's path, and the main window's
// place on the screen with the primary screen's size and the monitors present.
#pragma once
#include <windows.h>

#include <string>

#include "app/S01.h"

namespace movrek {

// The running program's full path, however long (GetModuleFileNameW); empty if it fails.
std::u16string RunningProgramPath();

// Whether the 100 x 100 square at (left, top) shares a pixel with any monitor present.
bool SquareOnAnyMonitor(int left, int top);

// A window's position in screen pixels, and the screens around it.
class Win32WindowPlacement : public WindowPlacement {
public:
    explicit Win32WindowPlacement(HWND window) : window_(window) {}
    int Left() const override;
    int Top() const override;
    void MoveTo(int left, int top) override;
    int PrimaryWidth() const override;
    int PrimaryHeight() const override;
    bool SquareOnAnyMonitor(int left, int top) const override;

private:
    RECT Rect() const;
    HWND window_;  // not owned
};

}  // namespace movrek
