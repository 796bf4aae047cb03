// kbtn: the control button bar. Small 16 x 16 TKButton picture buttons placed directly on the
// borderless main window in place of title-bar buttons; a click on any of them calls one
// command callback with the button's Index. Button 1 doubles as the state button: green while
// the timer is idle or counting, red once a run has finished.
//
// The bar reaches its buttons and its host window only through KbtnHost, so its rules (count,
// layout, the busy guard, the state picture) run in tests without a window.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "app/DisplayMode.h"
#include "app/EngineSeams.h"
#include "app/Ktime.h"
#include "controls/Bitmap.h"
#include "controls/ButtonReading.h"
#include "controls/Kbutton.h"

namespace movrek {

// A popup menu as the platform knows it (an HMENU on Windows); nullptr for none.
using KbtnPopupMenu = void*;

// One button of the bar on its host window: the TKButton model and the platform control
// around it.
class KbtnButton {
public:
    virtual ~KbtnButton() = default;
    virtual TKButton& Model() = 0;
    virtual void SetBounds(int left, int top, int width, int height) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool Visible() const = 0;
    virtual void SetFont(std::u16string_view face, int points) = 0;
    virtual void SetPopupMenu(KbtnPopupMenu menu) = 0;
    // Loads the program's picture resource with this number into the button's Glyph.
    virtual void LoadGlyph(int resourceId) = 0;
    // What a screen reader is told of the button, asked each time a reader asks.
    virtual void SetReading(std::function<ButtonReading()> reading) { (void)reading; }
    // Tells readers that the name or the states they were told have changed.
    virtual void ReadingChanged(bool name, bool states) { (void)name, (void)states; }
};

// The window that owns the buttons and on which they are placed.
class KbtnHost {
public:
    virtual ~KbtnHost() = default;
    // A new hidden button owned by and placed on the host. Never null (failure throws).
    virtual std::unique_ptr<KbtnButton> CreateButton() = 0;
    virtual void SetSize(int width, int height) = 0;
};

// What a reader is told of bar button index (1 state, 2 help, 3 close). The state button
// names the run (stopped, counting in, counting, finished) and, being the switch between the
// two modes, says whether the panel is open.
ButtonReading BarButtonReading(int index, TimerState state, int countIn, DisplayMode mode);

class kbtn : public StateGlyph {
public:
    static constexpr int ButtonSize = 16;
    static constexpr const char16_t* FontName = u"MS UI Gothic";

    // Count buttons (at least one) on the host, hidden, Index 1..Count, style ysSingle.
    kbtn(int count, KbtnHost& host, KbtnPopupMenu popupMenu);
    ~kbtn() override;
    kbtn(const kbtn&) = delete;
    kbtn& operator=(const kbtn&) = delete;

    // Places buttons 1 to 3 in a row at the top of the host, flat, with their pictures
    // (state, help, close), and sizes the host to hold them.
    void Layout();

    // The state picture on button 1: red (finished) or green.
    void SetStateGlyph(bool finished) override;

    // Button i, 1-based as its Index; nullptr outside 1..Count.
    KbtnButton* Button(int index) const;

    // The click handler of every button: runs OnCommand with the button's Index unless a
    // command started by an earlier click is still running, in which case the click is
    // dropped.
    void ButtonClick(int index);

    const std::int32_t Count;
    std::int32_t CursorX = 0;
    std::int32_t CursorY = 0;
    std::int32_t LastButton = 0;
    Color FlatFaceColor = 0x984E00;
    Color FontColor = 0;
    Color PlainFaceColor = 0xD8E9EC;
    bool Busy = false;
    // Receives the clicked button's Index; the main window sets its ExecuteCommand.
    std::function<void(int command)> OnCommand;

private:
    KbtnHost& host_;
    std::vector<std::unique_ptr<KbtnButton>> buttons_;
    // Expires with the bar: a command may close the window and destroy the bar under the
    // click that started it.
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
};

}  // namespace movrek
