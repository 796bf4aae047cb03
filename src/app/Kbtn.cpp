#include "app/Kbtn.h"

#include <algorithm>

#include "controls/BarGlyphs.h"

namespace movrek {
namespace {

constexpr int kLayoutLeft = 171;
constexpr int kLayoutTop = 3;
constexpr int kGap = 2;           // between neighbouring buttons
constexpr int kBottomMargin = 3;  // below the row
constexpr int kCreateFontSize = 10;
constexpr int kLayoutFontSize = 9;
constexpr int kLayoutHostWidth = 209;

// Buttons 1, 2 and 3 of the layout: state, help, close.
constexpr int kLayoutGlyphs[] = {kGlyphIdle, kGlyphHelp, kGlyphClose};

}  // namespace

ButtonReading BarButtonReading(int index, TimerState state, int countIn, DisplayMode mode) {
    ButtonReading r;
    r.defaultAction = kPressAction;
    switch (index) {
        case 1:
            if (state == TimerState::Finished)
                r.name = u"タイマー 終了";
            else if (state == TimerState::Counting)
                r.name = u"タイマー 計測中";
            else if (countIn != 0)
                r.name = u"タイマー カウントダウン中";
            else
                r.name = u"タイマー 停止中";
            r.expandable = true;
            r.expanded = mode == DisplayMode::Expanded;
            // A press on a finished run acknowledges it (and opens a compact window's panel).
            if (state == TimerState::Finished)
                r.defaultAction = u"確認";
            else
                r.defaultAction = r.expanded ? u"折りたたみ" : u"展開";
            break;
        case 2: r.name = u"ヘルプ"; break;
        case 3: r.name = u"閉じる"; break;
        default: break;
    }
    return r;
}

kbtn::kbtn(int count, KbtnHost& host, KbtnPopupMenu popupMenu)
    : Count(std::max(count, 1)), host_(host) {
    buttons_.reserve(static_cast<size_t>(Count));
    for (int i = 0; i < Count; ++i) {
        std::unique_ptr<KbtnButton> b = host_.CreateButton();
        TKButton& m = b->Model();
        m.SetIndex(i + 1);
        b->SetVisible(false);
        m.OnClick = [this](TKButton& sender) { ButtonClick(sender.Index()); };
        b->SetPopupMenu(popupMenu);
        b->SetFont(FontName, kCreateFontSize);
        m.SetStyle(ysSingle);
        buttons_.push_back(std::move(b));
    }
}

kbtn::~kbtn() = default;

KbtnButton* kbtn::Button(int index) const {
    if (index < 1 || index > Count) return nullptr;
    return buttons_[static_cast<size_t>(index - 1)].get();
}

void kbtn::Layout() {
    for (auto& b : buttons_) {
        b->Model().SetFontColor(FontColor);
        b->Model().SetFaceColor(PlainFaceColor);
        b->SetVisible(false);
    }
    CursorX = kLayoutLeft;
    CursorY = kLayoutTop;
    // The layout is made for three buttons; a smaller bar lays out the ones it has.
    const int laidOut = std::min(Count, 3);
    for (int i = 1; i <= laidOut; ++i) {
        KbtnButton& b = *Button(i);
        b.SetBounds(CursorX, CursorY, ButtonSize, ButtonSize);
        b.Model().SetStyle(ysFlat);
        b.Model().SetFaceColor(FlatFaceColor);
        b.SetFont(FontName, kLayoutFontSize);
        b.SetPopupMenu(nullptr);
        b.SetVisible(true);
        CursorX += ButtonSize + kGap;
    }
    CursorY += ButtonSize + kBottomMargin;
    for (int i = 1; i <= laidOut; ++i) Button(i)->LoadGlyph(kLayoutGlyphs[i - 1]);
    host_.SetSize(kLayoutHostWidth, CursorY);
}

void kbtn::SetStateGlyph(bool finished) {
    Button(1)->LoadGlyph(finished ? kGlyphFinished : kGlyphIdle);
}

void kbtn::ButtonClick(int index) {
    LastButton = index;
    if (Busy) return;
    Busy = true;
    const std::weak_ptr<int> alive = life_;
    try {
        if (OnCommand) OnCommand(LastButton);
    } catch (...) {
        if (!alive.expired()) Busy = false;
        throw;
    }
    if (alive.expired()) return;  // the command closed the window and the bar with it
    Busy = false;
}

}  // namespace movrek
