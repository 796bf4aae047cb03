// The button bar's buttons as TKButton windows on a real host window.
#pragma once
#include <windows.h>

#include <memory>

#include "app/Kbtn.h"

namespace movrek {

class Win32KbtnHost : public KbtnHost {
public:
    // host: the window the buttons are placed on; it must outlive the bar's buttons'
    // creation (its destruction destroys them, which the buttons survive).
    explicit Win32KbtnHost(HWND host) : host_(host) {}
    std::unique_ptr<KbtnButton> CreateButton() override;
    void SetSize(int width, int height) override;

private:
    HWND host_;  // not owned
};

}  // namespace movrek
