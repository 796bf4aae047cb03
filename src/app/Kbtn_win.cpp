#include "app/Kbtn_win.h"

#include "controls/Kbutton_win.h"

namespace movrek {
namespace {

class Win32KbtnButton : public KbtnButton {
public:
    explicit Win32KbtnButton(HWND host) : window_(Args(host)) {}

    TKButton& Model() override { return window_.Button(); }
    void SetBounds(int left, int top, int width, int height) override {
        window_.SetBounds(left, top, width, height);
    }
    void SetVisible(bool visible) override { window_.SetVisible(visible); }
    bool Visible() const override {
        return window_.Hwnd() && (GetWindowLongW(window_.Hwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
    }
    void SetFont(std::u16string_view face, int points) override { window_.SetFont(face, points); }
    void SetPopupMenu(KbtnPopupMenu menu) override { window_.SetPopupMenu(static_cast<HMENU>(menu)); }
    void LoadGlyph(int resourceId) override {
        window_.SetGlyphResource(GetModuleHandleW(nullptr), resourceId);
    }
    void SetReading(std::function<ButtonReading()> reading) override {
        window_.SetReading(std::move(reading));
    }
    void ReadingChanged(bool name, bool states) override { window_.ReadingChanged(name, states); }
    HWND Hwnd() const { return window_.Hwnd(); }

private:
    static TKButtonCreate Args(HWND host) {
        TKButtonCreate a;
        a.parent = host;
        a.width = kbtn::ButtonSize;
        a.height = kbtn::ButtonSize;
        a.visible = false;
        return a;
    }

    TKButtonWindow window_;
};

}  // namespace

std::unique_ptr<KbtnButton> Win32KbtnHost::CreateButton() {
    return std::make_unique<Win32KbtnButton>(host_);
}

void Win32KbtnHost::SetSize(int width, int height) {
    SetWindowPos(host_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace movrek
