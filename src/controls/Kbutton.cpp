#include "controls/Kbutton.h"

#include <algorithm>

namespace movrek {

int ContrastLevel(TKButtonContrast contrast) {
    static constexpr int kLevels[5] = {0, 64, 96, 128, 192};
    const int i = static_cast<int>(contrast);
    return (i >= 0 && i < 5) ? kLevels[i] : kLevels[kcNormal];
}

Color TintFace(Color c, int strength) {
    int ch[3] = {RedOf(c), GreenOf(c), BlueOf(c)};
    const int m = std::min({ch[0], ch[1], ch[2]});
    for (int& v : ch) {
        if (m > 128)
            v = (v * (v == m ? (strength == 1 ? 232 : 192) : 255)) >> 8;
        else
            v = v + (((255 - v) * (strength == 1 ? 64 : 128)) >> 8);
    }
    return Rgb(ch[0], ch[1], ch[2]);
}

int FitCaption(TextRenderer& text, std::u16string_view caption, int available) {
    const int length = static_cast<int>(std::min<std::size_t>(caption.size(), 0x7FFFFFFF));
    if (length == 0) return 0;
    int k = 1;
    for (;;) {
        if (available < text.Measure(caption.substr(0, static_cast<std::size_t>(k))).width)
            return k - 1;
        if (k >= length) return k;
        if (++k == 255) return 255;
    }
}

TKButton::TKButton(TextRenderer& text, std::unique_ptr<Bitmap> work)
    : text_(text), work_(work ? std::move(work) : std::make_unique<Bitmap>()) {
    work_->SetSize(width_, height_);
    background_.SetSize(width_, height_);
}

void TKButton::Invalidate() {
    repaintRequested_ = true;
    if (OnInvalidate) OnInvalidate();
}

void TKButton::SetStyle(TKButtonStyle v) {
    style_ = v;
    switch (v) {
        case ysNormal: enter_ = yeNormal; break;
        case ysSingle:
        case ysFlat: enter_ = yeSingle; break;
        case ysFrame: enter_ = yeFrame; break;
    }
    Invalidate();
}

void TKButton::SetGlyph(const Bitmap& picture) {
    glyph_.Assign(picture);
    Invalidate();
}

void TKButton::SetCaption(std::u16string_view v) {
    caption_.assign(v);
    Invalidate();
}

void TKButton::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    // A move changes what a transparent face shows, so it repaints as well.
    Invalidate();
}

void TKButton::SetEnabled(bool v) {
    if (v == enabled_) return;  // only a change resets the paint state
    enabled_ = v;
    state_ = v ? TKButtonState::Normal : TKButtonState::Disabled;
    Invalidate();
}

// ---------------------------------------------------------------- pointer input

void TKButton::MouseEnter() {
    if (state_ == TKButtonState::Disabled) return;
    if (OnMouseEnter) {
        std::weak_ptr<int> alive = life_;
        OnMouseEnter(*this);
        if (alive.expired()) return;
    }
    state_ = TKButtonState::Entered;
    Invalidate();
}

void TKButton::MouseLeave() {
    if (state_ == TKButtonState::Disabled) return;
    if (OnMouseLeave) {
        std::weak_ptr<int> alive = life_;
        OnMouseLeave(*this);
        if (alive.expired()) return;
    }
    state_ = select_ == 1 ? TKButtonState::Entered : TKButtonState::Normal;
    Invalidate();
}

void TKButton::MouseDown(const MouseArgs& args) {
    if (args.button == MouseButton::Left) frameworkClick_ = true;
    if (OnMouseDown) {
        std::weak_ptr<int> alive = life_;
        OnMouseDown(*this, args);
        if (alive.expired()) return;
    }
    if (state_ != TKButtonState::Disabled && args.button == MouseButton::Left) {
        press_ = 1;
        state_ = TKButtonState::Down;
        Invalidate();
    }
}

void TKButton::MouseUp(const MouseArgs& args) {
    std::weak_ptr<int> alive = life_;
    const bool inside = Inside(args.x, args.y);
    // The framework's own click on a release inside comes first and ends the press.
    if (args.button == MouseButton::Left && frameworkClick_) {
        frameworkClick_ = false;
        if (inside) {
            Click();
            if (alive.expired()) return;
        }
    }
    if (OnMouseUp) {
        OnMouseUp(*this, args);
        if (alive.expired()) return;
    }
    if (!inside && !releaseOutsideClicks_) press_ = 0;
    if (state_ != TKButtonState::Disabled) {
        state_ = (inside || select_ == 1) ? TKButtonState::Entered : TKButtonState::Normal;
        Invalidate();
        if (press_ == 1) Click();
    }
}

void TKButton::MouseMove(const MouseArgs& args) {
    if (OnMouseMove) OnMouseMove(*this, args);
}

void TKButton::Click() {
    if (state_ == TKButtonState::Disabled) return;
    // The press ends before the handler runs, so a handler that re-enters cannot click twice.
    press_ = 0;
    if (OnClick) OnClick(*this);
}

void TKButton::CancelPress() {
    press_ = 0;
    frameworkClick_ = false;
    if (state_ == TKButtonState::Down) {
        state_ = TKButtonState::Normal;
        Invalidate();
    }
}

// ---------------------------------------------------------------- looks

const Bitmap& TKButton::Paint() {
    repaintRequested_ = false;
    CaptureBackground(ControlPlace{left_, top_, width_, height_}, underGlyph_, parentColor_,
                      background_);
    work_->SetSize(width_, height_);
    switch (state_) {
        case TKButtonState::Normal: NormalLook(); break;
        case TKButtonState::Down: DownLook(); break;
        case TKButtonState::Entered: EnteredLook(); break;
        case TKButtonState::Disabled: DisabledLook(); break;
    }
    return *work_;
}

void TKButton::Face(Color c) { FillFace(*work_, transparent_, c, background_); }

void TKButton::Bevel(int pressed, int kind) { DrawBevel(*work_, pressed, kind, contrast_); }

void TKButton::Frame() {
    const int level = ContrastLevel(contrast_);
    DrawFrame(*work_, ScaleColor(faceColor_, level, level, level), 4);
}

Color TKButton::EnteredTextColor() const {
    return enterTextColor_ != 0 ? enterTextColor_ : fontColor_;
}

void TKButton::NormalLook() {
    Face(faceColor_);
    switch (style_) {
        case ysNormal: Bevel(0, 0); break;
        case ysSingle: Bevel(0, 1); break;
        case ysFlat: break;
        case ysFrame: Frame(); break;
    }
    Content(0, fontColor_);
}

void TKButton::DownLook() {
    Face(faceColor_);
    switch (style_) {
        case ysNormal: Bevel(1, 0); break;
        case ysSingle:
        case ysFlat: Bevel(1, 1); break;
        case ysFrame:
            Face(TintFace(faceColor_, 2));
            Frame();
            break;
    }
    // Only the frame style keeps its content in place when pressed.
    Content(style_ == ysFrame ? 0 : 1, fontColor_);
}

void TKButton::EnteredLook() {
    const Color t = EnteredTextColor();
    switch (enter_) {
        case yeNormal:
            Face(faceColor_);
            Bevel(0, 0);
            Content(0, t);
            break;
        case yeSingle:
            Face(faceColor_);
            Bevel(0, 1);
            Content(0, t);
            break;
        case yeShade:
            Face(enterFaceColor_);
            if (enterShade_ >= 0)
                LightenPixels(*work_, enterShade_);
            else
                ScalePixels(*work_, 255 + enterShade_, 255 + enterShade_, 255 + enterShade_);
            switch (style_) {
                case ysNormal: Bevel(0, 0); break;
                case ysSingle: Bevel(0, 1); break;
                case ysFlat: break;
                case ysFrame: Frame(); break;
            }
            Content(0, t);
            break;
        case yeReverse:
            Face(fontColor_);
            Content(0, faceColor_);
            break;
        case yeFrame:
            Face(TintFace(faceColor_, 1));
            Frame();
            Content(0, t);
            break;
        case yeNon:
        default:
            NormalLook();
            break;
    }
}

void TKButton::DisabledLook() {
    const Color base = transparent_ == 1 ? work_->Pixel(2, 2) : faceColor_;
    const Color light = LightenColor(base, 128);
    const Color dark = ScaleColor(base, 128, 128, 128);
    NormalLook();
    Content(1, light);
    Content(0, dark);
}

void TKButton::Content(int offset, Color textColor) {
    const int gw = glyph_.Width(), gh = glyph_.Height();
    const int gap = gw > 0 ? spacing_ : 0;
    const int cx = width_ / 2, cy = height_ / 2;
    int available;
    switch (alignment_) {
        case taLeftJustify: available = width_ - (margin_ + gap + 4); break;
        case taRightJustify: available = width_ - (gw + gap + margin_ + 4); break;
        default: available = width_ - (gw + gap + 4); break;
    }
    const int n = FitCaption(text_, caption_, available);
    const std::u16string_view shown = std::u16string_view(caption_).substr(0, n);
    TextRenderer::Extent extent;
    if (n > 0) extent = text_.Measure(shown);
    const int contentWidth = n == 0 ? gw : gw + gap + extent.width;

    int glyphX, captionX;
    switch (alignment_) {
        case taLeftJustify:
            glyphX = 4;
            captionX = margin_ + 2;
            break;
        case taRightJustify:
            glyphX = width_ - (contentWidth + margin_ + 2);
            captionX = glyphX + gw + gap;
            break;
        default:
            glyphX = cx - contentWidth / 2;
            captionX = glyphX + gw + gap;
            break;
    }
    const int glyphY = cy - gh / 2;
    const int captionY = cy - (extent.height / 2 + 1);

    if (gw > 0)
        work_->DrawTransparent(glyph_, glyphX + offset, glyphY + offset,
                               glyph_.Pixel(0, gh - 1));
    if (n > 0) text_.Draw(*work_, captionX + offset, captionY + offset, shown, textColor);
}

}  // namespace movrek
