// TKButton: the program's own owner-drawn push button, as a portable model. It holds the
// properties, the paint-state machine and the click rule, and composes its four looks
// (normal, down, entered, disabled) into a work bitmap with the Kdraw routines. The Windows
// control (Kbutton_win.h) feeds it pointer events and copies the work bitmap to the screen.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "controls/Bitmap.h"
#include "controls/Kdraw.h"

namespace movrek {

// Text measuring and drawing in the button's font: GDI on Windows, fixed metrics in tests.
class TextRenderer {
public:
    struct Extent {
        int width = 0;
        int height = 0;
    };
    virtual ~TextRenderer() = default;
    virtual Extent Measure(std::u16string_view text) = 0;
    // Draws text with its top-left corner at (x, y) in colour c, leaving the pixels between
    // the strokes untouched.
    virtual void Draw(Bitmap& target, int x, int y, std::u16string_view text, Color c) = 0;
};

enum TKButtonStyle : int { ysNormal = 0, ysSingle = 1, ysFlat = 2, ysFrame = 3 };
enum TKButtonEnter : int {
    yeNon = 0, yeNormal = 1, yeSingle = 2, yeShade = 3, yeReverse = 4, yeFrame = 5
};
enum TKButtonContrast : int { kcClear = 0, kcNormal = 1, kcSoft1 = 2, kcSoft2 = 3, kcSoft3 = 4 };
enum TAlignment : std::uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
enum class TKButtonState { Normal = 0, Down = 1, Entered = 2, Disabled = 3 };

enum class MouseButton { Left, Right, Middle };

// Modifier keys and held buttons at a pointer event.
enum ShiftFlags : unsigned {
    ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32
};

struct MouseArgs {
    MouseButton button = MouseButton::Left;  // meaningless for moves
    unsigned shift = 0;                      // ShiftFlags
    int x = 0;                               // client coordinates
    int y = 0;
};

// Contrast level used for frame colours: kcClear 0, kcNormal 64, kcSoft1 96, kcSoft2 128,
// kcSoft3 192.
int ContrastLevel(TKButtonContrast contrast);

// The face tint: strength 1 (light) or 2 (strong).
Color TintFace(Color c, int strength);

// Number of leading characters of caption whose extent fits into available pixels; at most
// 255, no ellipsis.
int FitCaption(TextRenderer& text, std::u16string_view caption, int available);

class TKButton {
public:
    using NotifyEvent = std::function<void(TKButton& sender)>;
    using MouseEvent = std::function<void(TKButton& sender, const MouseArgs& args)>;

    // text measures and draws captions and must outlive the button. work, when given, is the
    // bitmap the looks are composed in (the Windows control passes a DIB section).
    explicit TKButton(TextRenderer& text, std::unique_ptr<Bitmap> work = nullptr);
    TKButton(const TKButton&) = delete;
    TKButton& operator=(const TKButton&) = delete;

    // ---- properties; every setter except Index, ModalResult, UnderGlyph and
    // ReleaseOutsideClicks requests a repaint
    TKButtonStyle Style() const { return style_; }
    void SetStyle(TKButtonStyle v);  // also sets Enter
    TKButtonEnter Enter() const { return enter_; }
    void SetEnter(TKButtonEnter v) { Store(enter_, v); }
    TKButtonContrast Contrast() const { return contrast_; }
    void SetContrast(TKButtonContrast v) { Store(contrast_, v); }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v) { Store(alignment_, v); }
    std::int32_t Round() const { return round_; }
    void SetRound(std::int32_t v) { Store(round_, v); }
    std::int32_t Margin() const { return margin_; }
    void SetMargin(std::int32_t v) { Store(margin_, v); }
    std::int32_t Index() const { return index_; }
    void SetIndex(std::int32_t v) { index_ = v; }
    std::int32_t Spacing() const { return spacing_; }
    void SetSpacing(std::int32_t v) { Store(spacing_, v); }
    std::int32_t Transparent() const { return transparent_; }
    void SetTransparent(bool v) { Store(transparent_, v ? 1 : 0); }
    std::int32_t Select() const { return select_; }
    void SetSelect(bool v) { Store(select_, v ? 1 : 0); }
    std::int32_t ModalResult() const { return modalResult_; }
    void SetModalResult(std::int32_t v) { modalResult_ = v; }
    Color FaceColor() const { return faceColor_; }
    void SetFaceColor(Color v) { Store(faceColor_, v); }
    Color EnterTextColor() const { return enterTextColor_; }
    void SetEnterTextColor(Color v) { Store(enterTextColor_, v); }
    std::int32_t EnterShade() const { return enterShade_; }
    void SetEnterShade(std::int32_t v) { Store(enterShade_, v); }
    Color EnterFaceColor() const { return enterFaceColor_; }
    void SetEnterFaceColor(Color v) { Store(enterFaceColor_, v); }
    // Whether a press that ends away from the button still clicks (it does unless told).
    bool ReleaseOutsideClicks() const { return releaseOutsideClicks_; }
    void SetReleaseOutsideClicks(bool v) { releaseOutsideClicks_ = v; }
    Color EnterFrameColor() const { return enterFrameColor_; }
    void SetEnterFrameColor(Color v) { Store(enterFrameColor_, v); }
    const Bitmap& Glyph() const { return glyph_; }
    void SetGlyph(const Bitmap& picture);  // copies the picture
    const Bitmap* UnderGlyph() const { return underGlyph_; }
    void SetUnderGlyph(const Bitmap* v) { underGlyph_ = v; }  // not owned

    // ---- standard control members
    const std::u16string& Caption() const { return caption_; }
    void SetCaption(std::u16string_view v);
    Color FontColor() const { return fontColor_; }
    void SetFontColor(Color v) { Store(fontColor_, v); }
    // Tell the button that the font behind its TextRenderer changed.
    void FontChanged() { Invalidate(); }
    // The parent's colour, the face of a transparent button without UnderGlyph.
    Color ParentColor() const { return parentColor_; }
    void SetParentColor(Color v) { Store(parentColor_, v); }
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);

    // ---- events (unset by default)
    NotifyEvent OnClick;
    NotifyEvent OnMouseEnter;
    NotifyEvent OnMouseLeave;
    MouseEvent OnMouseDown;
    MouseEvent OnMouseUp;
    MouseEvent OnMouseMove;
    // Called whenever the button wants to be painted again.
    std::function<void()> OnInvalidate;

    // ---- pointer input, in the framework's order
    void MouseEnter();
    void MouseLeave();
    void MouseDown(const MouseArgs& args);
    // A release outside the button's bounds leaves the Normal look (or Entered with Select)
    // instead of an Entered look under no pointer.
    void MouseUp(const MouseArgs& args);
    void MouseMove(const MouseArgs& args);
    // Raises OnClick unless disabled; ends a press.
    void Click();
    // The press ended without a release (pointer capture taken away): no click follows.
    void CancelPress();

    // ---- painting
    // Draws the look of the current state into the work bitmap and returns it.
    const Bitmap& Paint();
    const Bitmap& Work() const { return *work_; }
    TKButtonState State() const { return state_; }
    bool PressFlag() const { return press_ != 0; }
    bool RepaintRequested() const { return repaintRequested_; }

private:
    template <typename T>
    void Store(T& field, T value) {
        field = value;
        Invalidate();
    }
    void Invalidate();
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    void Face(Color c);
    void Bevel(int pressed, int kind);
    void Frame();
    void Content(int offset, Color textColor);
    void NormalLook();
    void DownLook();
    void EnteredLook();
    void DisabledLook();
    Color EnteredTextColor() const;

    TextRenderer& text_;
    std::unique_ptr<Bitmap> work_;
    Bitmap background_;
    Bitmap glyph_;

    TKButtonStyle style_ = ysNormal;
    TKButtonEnter enter_ = yeNon;
    TKButtonContrast contrast_ = kcNormal;
    TAlignment alignment_ = taCenter;
    std::int32_t round_ = 0;
    std::int32_t margin_ = 4;
    std::int32_t index_ = 0;
    std::int32_t spacing_ = 4;
    std::int32_t transparent_ = 0;
    std::int32_t select_ = 0;
    std::int32_t modalResult_ = 0;
    Color faceColor_ = Rgb(232, 232, 232);
    Color enterTextColor_ = 0;
    std::int32_t enterShade_ = 192;
    Color enterFaceColor_ = Rgb(0, 78, 152);
    Color enterFrameColor_ = Rgb(0, 78, 152);
    const Bitmap* underGlyph_ = nullptr;
    bool releaseOutsideClicks_ = true;

    std::u16string caption_;
    Color fontColor_ = 0;
    Color parentColor_ = Rgb(240, 240, 240);
    int left_ = 0, top_ = 0, width_ = 100, height_ = 22;
    bool enabled_ = true;

    TKButtonState state_ = TKButtonState::Normal;
    int press_ = 0;
    bool frameworkClick_ = false;  // a left press whose release inside clicks
    bool repaintRequested_ = false;
    // Expires with the button, so a handler that destroys it ends the event cleanly.
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
};

}  // namespace movrek
