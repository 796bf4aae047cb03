#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/Kbutton.h"

namespace movrek {
namespace {

// Every character is charWidth x 13; drawing paints the text's whole box in its colour.
class BoxText : public TextRenderer {
public:
    int charWidth = 7;
    int draws = 0;
    Extent Measure(std::u16string_view text) override {
        return {charWidth * static_cast<int>(text.size()), 13};
    }
    void Draw(Bitmap& target, int x, int y, std::u16string_view text, Color c) override {
        ++draws;
        const Extent e = Measure(text);
        target.FillRect(Rect{x, y, x + e.width, y + e.height}, c);
    }
};

Color Grey(int v) { return Rgb(v, v, v); }

// Records the events a button raises, in order.
struct Recorder {
    std::vector<std::string> events;
    void Attach(TKButton& b) {
        b.OnClick = [this](TKButton&) { events.push_back("click"); };
        b.OnMouseEnter = [this](TKButton&) { events.push_back("enter"); };
        b.OnMouseLeave = [this](TKButton&) { events.push_back("leave"); };
        b.OnMouseDown = [this](TKButton&, const MouseArgs& a) {
            events.push_back(a.button == MouseButton::Left ? "down" : "rdown");
        };
        b.OnMouseUp = [this](TKButton&, const MouseArgs& a) {
            events.push_back(a.button == MouseButton::Left ? "up" : "rup");
        };
    }
    int Count(const std::string& e) const {
        int n = 0;
        for (const auto& x : events) n += x == e;
        return n;
    }
};

MouseArgs Left(int x, int y) { return MouseArgs{MouseButton::Left, 0, x, y}; }
MouseArgs Right(int x, int y) { return MouseArgs{MouseButton::Right, 0, x, y}; }

TEST(TKButton, ConstructionValues) {
    BoxText text;
    TKButton b(text);
    EXPECT_EQ(b.Style(), ysNormal);
    EXPECT_EQ(b.Enter(), yeNon);
    EXPECT_EQ(b.Contrast(), kcNormal);
    EXPECT_EQ(b.Alignment(), taCenter);
    EXPECT_EQ(b.Round(), 0);
    EXPECT_EQ(b.Margin(), 4);
    EXPECT_EQ(b.Index(), 0);
    EXPECT_EQ(b.Spacing(), 4);
    EXPECT_EQ(b.Transparent(), 0);
    EXPECT_EQ(b.Select(), 0);
    EXPECT_EQ(b.ModalResult(), 0);
    EXPECT_EQ(b.FaceColor(), Rgb(232, 232, 232));
    EXPECT_EQ(b.EnterTextColor(), 0u);
    EXPECT_EQ(b.EnterShade(), 192);
    EXPECT_EQ(b.EnterFaceColor(), Rgb(0, 78, 152));
    EXPECT_EQ(b.EnterFrameColor(), Rgb(0, 78, 152));
    EXPECT_TRUE(b.Glyph().Empty());
    EXPECT_EQ(b.UnderGlyph(), nullptr);
    EXPECT_EQ(b.Width(), 100);
    EXPECT_EQ(b.Height(), 22);
    EXPECT_EQ(b.FontColor(), 0u);
    EXPECT_EQ(b.State(), TKButtonState::Normal);
    EXPECT_FALSE(b.PressFlag());
}

TEST(TKButton, StyleSetsEnterAndSettersRequestRepaints) {
    BoxText text;
    TKButton b(text);
    const std::pair<TKButtonStyle, TKButtonEnter> table[] = {
        {ysSingle, yeSingle}, {ysFlat, yeSingle}, {ysFrame, yeFrame}, {ysNormal, yeNormal}};
    for (auto [style, enter] : table) {
        b.SetEnter(yeReverse);
        b.SetStyle(style);
        EXPECT_EQ(b.Enter(), enter);
    }
    b.SetEnter(yeShade);  // set afterwards, it overrides
    EXPECT_EQ(b.Style(), ysNormal);
    EXPECT_EQ(b.Enter(), yeShade);

    int repaints = 0;
    b.OnInvalidate = [&] { ++repaints; };
    Bitmap under(4, 4);
    b.SetIndex(3);
    b.SetModalResult(1);
    b.SetUnderGlyph(&under);
    EXPECT_EQ(repaints, 0);
    EXPECT_EQ(b.Index(), 3);
    b.Paint();
    EXPECT_FALSE(b.RepaintRequested());
    b.SetRound(5);
    b.SetEnterFrameColor(Grey(1));
    b.SetGlyph(Bitmap(2, 2));
    b.SetCaption(u"x");
    b.SetTransparent(true);
    EXPECT_EQ(repaints, 5);
    EXPECT_TRUE(b.RepaintRequested());
    EXPECT_EQ(b.Transparent(), 1);
    // Setters never change the paint state.
    b.SetSelect(true);
    EXPECT_EQ(b.State(), TKButtonState::Normal);
}

TEST(TKButton, HoverAndSelect) {
    BoxText text;
    TKButton b(text);
    Recorder r;
    r.Attach(b);
    b.MouseEnter();
    EXPECT_EQ(b.State(), TKButtonState::Entered);
    b.MouseLeave();
    EXPECT_EQ(b.State(), TKButtonState::Normal);
    b.SetSelect(true);
    b.MouseEnter();
    b.MouseLeave();
    EXPECT_EQ(b.State(), TKButtonState::Entered);  // Select keeps the Entered look
    EXPECT_EQ(r.events, (std::vector<std::string>{"enter", "leave", "enter", "leave"}));
}

TEST(TKButton, ClickOnReleaseInsideOrOutside) {
    BoxText text;
    TKButton b(text);
    Recorder r;
    r.Attach(b);
    b.MouseEnter();
    b.MouseDown(Left(5, 5));
    EXPECT_EQ(b.State(), TKButtonState::Down);
    EXPECT_TRUE(b.PressFlag());
    b.MouseUp(Left(6, 6));
    EXPECT_EQ(b.State(), TKButtonState::Entered);
    EXPECT_FALSE(b.PressFlag());
    // The release inside clicks first, then reports the release.
    EXPECT_EQ(r.events, (std::vector<std::string>{"enter", "down", "click", "up"}));

    // Press, drag out, release outside: exactly one click, after the release.
    r.events.clear();
    b.MouseDown(Left(5, 5));
    b.MouseLeave();
    EXPECT_EQ(b.State(), TKButtonState::Normal);
    b.MouseUp(Left(150, -3));
    EXPECT_EQ(r.events, (std::vector<std::string>{"down", "leave", "up", "click"}));
    // No Entered look is left under a pointer that is elsewhere.
    EXPECT_EQ(b.State(), TKButtonState::Normal);

    // Both presses of a double click click.
    r.events.clear();
    for (int i = 0; i < 2; ++i) {
        b.MouseDown(Left(1, 1));
        b.MouseUp(Left(1, 1));
    }
    EXPECT_EQ(r.Count("click"), 2);

    // A button told otherwise ends such a press without a click, and still clicks inside.
    b.SetReleaseOutsideClicks(false);
    r.events.clear();
    b.MouseDown(Left(5, 5));
    b.MouseLeave();
    b.MouseUp(Left(150, -3));
    EXPECT_FALSE(b.PressFlag());
    b.MouseDown(Left(5, 5));
    b.MouseUp(Left(5, 5));
    EXPECT_EQ(r.events, (std::vector<std::string>{"down", "leave", "up", "down", "click", "up"}));
}

TEST(TKButton, RightButtonAndCancelledPressDoNotClick) {
    BoxText text;
    TKButton b(text);
    Recorder r;
    r.Attach(b);
    b.MouseEnter();
    b.MouseDown(Right(5, 5));
    EXPECT_EQ(b.State(), TKButtonState::Entered);
    EXPECT_FALSE(b.PressFlag());
    b.MouseUp(Right(5, 5));
    EXPECT_EQ(r.events, (std::vector<std::string>{"enter", "rdown", "rup"}));

    b.MouseDown(Left(5, 5));
    b.CancelPress();
    EXPECT_EQ(b.State(), TKButtonState::Normal);
    b.MouseUp(Left(5, 5));  // a stray release after the press was taken away
    EXPECT_EQ(r.Count("click"), 0);
}

TEST(TKButton, DisabledFiltersEverythingButDownAndUp) {
    BoxText text;
    TKButton b(text);
    Recorder r;
    r.Attach(b);
    b.SetEnabled(false);
    EXPECT_EQ(b.State(), TKButtonState::Disabled);
    b.MouseEnter();
    b.MouseDown(Left(5, 5));
    b.MouseUp(Left(5, 5));
    b.MouseDown(Left(5, 5));
    b.MouseLeave();
    b.MouseUp(Left(-5, 5));
    b.Click();
    EXPECT_EQ(b.State(), TKButtonState::Disabled);
    EXPECT_EQ(r.events, (std::vector<std::string>{"down", "up", "down", "up"}));
    b.SetEnabled(true);
    EXPECT_EQ(b.State(), TKButtonState::Normal);
    // Enabling an enabled button is no change: a press in progress keeps its look.
    b.MouseDown(Left(5, 5));
    b.SetEnabled(true);
    EXPECT_EQ(b.State(), TKButtonState::Down);
}

TEST(TKButton, HandlerMayDestroyTheButton) {
    BoxText text;
    auto b = std::make_unique<TKButton>(text);
    int clicks = 0;
    b->OnClick = [&](TKButton&) {
        ++clicks;
        b.reset();
    };
    b->MouseDown(Left(5, 5));
    b->MouseUp(Left(-5, 5));  // the click comes last, from the release handler
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(b, nullptr);

    b = std::make_unique<TKButton>(text);
    b->OnClick = [&](TKButton&) { b.reset(); };
    b->MouseDown(Left(5, 5));
    b->MouseUp(Left(5, 5));  // the framework's click, before the release handler goes on
    EXPECT_EQ(b, nullptr);
}

TEST(TKButton, FaceTint) {
    EXPECT_EQ(TintFace(Grey(232), 1), Grey(210));  // 232 * 232 >> 8
    EXPECT_EQ(TintFace(Grey(232), 2), Grey(174));  // 232 * 192 >> 8
    EXPECT_EQ(TintFace(Rgb(200, 150, 140), 1), Rgb(199, 149, 126));
    EXPECT_EQ(TintFace(Rgb(0, 78, 152), 1), Rgb(63, 122, 177));
    EXPECT_EQ(TintFace(Rgb(0, 78, 152), 2), Rgb(127, 166, 203));
    EXPECT_EQ(TintFace(Grey(128), 2), Grey(191));  // 128 counts as dark
}

TEST(TKButton, FitCutsAtTwoHundredFiftyFiveWithoutEllipsis) {
    BoxText text;
    text.charWidth = 1;
    const std::u16string longCaption(300, u'x');
    EXPECT_EQ(FitCaption(text, longCaption, 1000), 255);
    EXPECT_EQ(FitCaption(text, longCaption, 100), 100);
    EXPECT_EQ(FitCaption(text, u"", 100), 0);
    text.charWidth = 7;
    EXPECT_EQ(FitCaption(text, u"abc", 20), 2);
    EXPECT_EQ(FitCaption(text, u"abc", 21), 3);
    EXPECT_EQ(FitCaption(text, u"abc", 6), 0);
    EXPECT_EQ(FitCaption(text, u"abc", -4), 0);

    // The button draws only the fitting part.
    text.charWidth = 1;
    TKButton b(text);
    b.SetBounds(0, 0, 400, 22);
    b.SetCaption(longCaption);
    b.SetFaceColor(Grey(200));
    b.SetStyle(ysFlat);
    const Bitmap& w = b.Paint();
    // Centred: x = 200 - 255 / 2 = 73 .. 327, y = 11 - 7 = 4.
    EXPECT_EQ(w.Pixel(72, 10), Grey(200));
    EXPECT_EQ(w.Pixel(73, 10), 0u);
    EXPECT_EQ(w.Pixel(327, 10), 0u);
    EXPECT_EQ(w.Pixel(328, 10), Grey(200));
}

// The first and last columns and rows of colour c in the work bitmap.
Rect BoxOf(const Bitmap& w, Color c) {
    Rect r{w.Width(), w.Height(), -1, -1};
    for (int y = 0; y < w.Height(); ++y)
        for (int x = 0; x < w.Width(); ++x)
            if (w.Pixel(x, y) == c) {
                r.x1 = std::min(r.x1, x);
                r.y1 = std::min(r.y1, y);
                r.x2 = std::max(r.x2, x + 1);
                r.y2 = std::max(r.y2, y + 1);
            }
    return r;
}

void ExpectBox(const Bitmap& w, Color c, int x1, int y1, int x2, int y2) {
    const Rect r = BoxOf(w, c);
    EXPECT_EQ(r.x1, x1);
    EXPECT_EQ(r.y1, y1);
    EXPECT_EQ(r.x2, x2);
    EXPECT_EQ(r.y2, y2);
}

// A w x h glyph of colour c whose bottom-left pixel holds the key colour magenta.
Bitmap GlyphOf(int w, int h, Color c) {
    Bitmap g(w, h);
    g.FillRect(Rect{0, 0, w, h}, c);
    g.SetPixel(0, h - 1, Rgb(255, 0, 255));
    return g;
}

TEST(TKButton, ContentLayout) {
    BoxText text;
    TKButton b(text);
    b.SetStyle(ysFlat);
    b.SetFaceColor(Grey(200));
    b.SetFontColor(Rgb(1, 2, 3));
    b.SetCaption(u"AB");  // 14 x 13
    // A = 96, caption at 50 - 14 / 2 = 43, y = 11 - (13 / 2 + 1) = 4.
    ExpectBox(b.Paint(), Rgb(1, 2, 3), 43, 4, 57, 17);

    // A 16 x 16 glyph with Spacing 4: A = 76, glyph x = 50 - 34 / 2 = 33, caption at 53.
    const Color ink = Rgb(0, 200, 0);
    b.SetGlyph(GlyphOf(16, 16, ink));
    const Bitmap& w = b.Paint();
    ExpectBox(w, Rgb(1, 2, 3), 53, 4, 67, 17);
    ExpectBox(w, ink, 33, 3, 49, 19);
    EXPECT_EQ(w.Pixel(33, 18), Grey(200));  // the bottom-left key colour is left out

    // Left and right alignment: glyph at 4, caption at Margin + 2; right: from the far edge.
    b.SetMargin(10);
    b.SetAlignment(taLeftJustify);
    ExpectBox(b.Paint(), Rgb(1, 2, 3), 12, 4, 26, 17);
    ExpectBox(b.Work(), ink, 4, 3, 20, 19);
    b.SetAlignment(taRightJustify);
    // glyph x = 100 - (34 + 10 + 2) = 54, caption x = 74
    ExpectBox(b.Paint(), Rgb(1, 2, 3), 74, 4, 88, 17);
    ExpectBox(b.Work(), ink, 54, 3, 70, 19);

    // A caption whose first character does not fit is left out; the glyph centres alone.
    b.SetAlignment(taCenter);
    b.SetBounds(0, 0, 26, 22);  // A = 26 - 24 = 2
    ExpectBox(b.Paint(), ink, 5, 3, 21, 19);
    EXPECT_EQ(BoxOf(b.Work(), Rgb(1, 2, 3)).x2, -1);

    // Without a glyph Spacing does not matter.
    TKButton c(text);
    c.SetStyle(ysFlat);
    c.SetFontColor(Rgb(1, 2, 3));
    c.SetCaption(u"AB");
    c.SetSpacing(40);
    c.SetAlignment(taRightJustify);
    // x = 100 - (14 + 4 + 2) = 80
    ExpectBox(c.Paint(), Rgb(1, 2, 3), 80, 4, 94, 17);
}

// A 40 x 20 button with caption "A" (7 x 13 at x 17, y 3) on a grey face.
struct SmallButton {
    BoxText text;
    TKButton b{text};
    SmallButton() {
        b.SetBounds(0, 0, 40, 20);
        b.SetCaption(u"A");
        b.SetFaceColor(Grey(128));
        b.SetFontColor(Rgb(0, 0, 9));
    }
};

TEST(TKButtonLooks, NormalAndDown) {
    SmallButton s;
    s.b.SetStyle(ysNormal);
    const Bitmap& w = s.b.Paint();
    EXPECT_EQ(w.Pixel(0, 0), Grey(223));
    EXPECT_EQ(w.Pixel(39, 10), Grey(32));
    EXPECT_EQ(w.Pixel(38, 10), Grey(80));
    EXPECT_EQ(w.Pixel(10, 10), Grey(128));
    ExpectBox(w, Rgb(0, 0, 9), 17, 3, 24, 16);

    s.b.MouseDown(Left(1, 1));
    s.b.Paint();
    EXPECT_EQ(w.Pixel(0, 0), Grey(32));
    EXPECT_EQ(w.Pixel(39, 10), Grey(223));
    EXPECT_EQ(w.Pixel(1, 10), Grey(80));
    ExpectBox(w, Rgb(0, 0, 9), 18, 4, 25, 17);  // content moves one pixel

    s.b.SetStyle(ysSingle);
    s.b.Paint();
    EXPECT_EQ(w.Pixel(1, 10), Grey(128));  // single bevel: no inner line
    EXPECT_EQ(w.Pixel(0, 10), Grey(32));
    ExpectBox(w, Rgb(0, 0, 9), 18, 4, 25, 17);
}

TEST(TKButtonLooks, FrameStyle) {
    SmallButton s;
    s.b.SetFaceColor(Grey(232));
    s.b.SetStyle(ysFrame);
    const Bitmap& w = s.b.Paint();
    EXPECT_EQ(w.Pixel(0, 5), Grey(58));  // 232 * 64 >> 8
    EXPECT_EQ(w.Pixel(39, 19), Grey(58));
    EXPECT_EQ(w.Pixel(1, 5), Grey(232));

    s.b.MouseDown(Left(1, 1));
    s.b.Paint();
    EXPECT_EQ(w.Pixel(1, 5), Grey(174));  // strong tint
    EXPECT_EQ(w.Pixel(0, 5), Grey(58));   // frame from FaceColor, not from the tint
    ExpectBox(w, Rgb(0, 0, 9), 17, 3, 24, 16);  // the frame style does not move content

    s.b.SetContrast(kcSoft3);
    s.b.Paint();
    EXPECT_EQ(w.Pixel(0, 5), Grey(174));  // 232 * 192 >> 8
}

TEST(TKButtonLooks, EnteredEffects) {
    SmallButton s;
    s.b.MouseEnter();
    // yeNon: the normal look of ysNormal.
    EXPECT_EQ(s.b.Paint().Pixel(0, 0), Grey(223));

    s.b.SetStyle(ysFlat);  // yeSingle
    s.b.SetEnterTextColor(Rgb(0, 9, 0));
    const Bitmap& w = s.b.Paint();
    EXPECT_EQ(w.Pixel(0, 0), Grey(223));
    EXPECT_EQ(w.Pixel(38, 10), Grey(128));
    ExpectBox(w, Rgb(0, 9, 0), 17, 3, 24, 16);

    s.b.SetEnter(yeNormal);  // double bevel whatever the style
    s.b.Paint();
    EXPECT_EQ(w.Pixel(38, 10), Grey(80));

    s.b.SetEnter(yeShade);
    s.b.Paint();  // (0, 78, 152) lightened by 192, flat: no bevel
    EXPECT_EQ(w.Pixel(0, 0), Rgb(191, 210, 229));
    EXPECT_EQ(w.Pixel(10, 10), Rgb(191, 210, 229));
    s.b.SetEnterShade(-64);
    s.b.Paint();  // scaled by 191
    EXPECT_EQ(w.Pixel(10, 10), Rgb(0, 58, 113));
    s.b.SetStyle(ysFrame);
    s.b.SetEnter(yeShade);
    s.b.Paint();
    EXPECT_EQ(w.Pixel(0, 0), Grey(32));  // frame from FaceColor 128 * 64 >> 8
    EXPECT_EQ(w.Pixel(10, 10), Rgb(0, 58, 113));

    s.b.SetEnter(yeReverse);
    s.b.SetEnterTextColor(0);
    s.b.Paint();
    EXPECT_EQ(w.Pixel(0, 0), Rgb(0, 0, 9));  // face in the font colour, no bevel
    ExpectBox(w, Grey(128), 17, 3, 24, 16);  // caption in the face colour

    s.b.SetEnter(yeFrame);
    s.b.Paint();
    EXPECT_EQ(w.Pixel(10, 10), Grey(159));  // light tint of a dark grey: 128 + 127 * 64 >> 8
    EXPECT_EQ(w.Pixel(39, 0), Grey(32));
    ExpectBox(w, Rgb(0, 0, 9), 17, 3, 24, 16);  // EnterTextColor 0: the font colour
}

TEST(TKButtonLooks, DisabledIsEmbossed) {
    SmallButton s;
    s.b.SetStyle(ysFlat);
    s.b.SetEnabled(false);
    const Bitmap& w = s.b.Paint();
    ExpectBox(w, Grey(64), 17, 3, 24, 16);  // dark copy on top
    // The light copy shows one pixel right and down of it: 128 + 127 * 128 >> 8 = 191.
    EXPECT_EQ(w.Pixel(24, 10), Grey(191));
    EXPECT_EQ(w.Pixel(20, 16), Grey(191));
    EXPECT_EQ(w.Pixel(24, 3), Grey(128));
    EXPECT_EQ(BoxOf(w, Rgb(0, 0, 9)).x2, -1);  // the normal caption is covered
}

TEST(TKButtonLooks, TransparentFaces) {
    SmallButton s;
    s.b.SetTransparent(true);
    s.b.SetParentColor(Rgb(0, 78, 152));
    s.b.SetStyle(ysSingle);
    const Bitmap& w = s.b.Paint();
    EXPECT_EQ(w.Pixel(10, 10), Rgb(0, 78, 152));  // the parent's colour as the face
    EXPECT_EQ(w.Pixel(39, 10), Rgb(0, 19, 38));   // and the bevel drawn over it

    Bitmap under(100, 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) under.SetPixel(x, y, Rgb(x, y, 200));
    s.b.SetUnderGlyph(&under);
    s.b.SetBounds(30, 25, 40, 20);
    s.b.Paint();
    EXPECT_EQ(w.Pixel(10, 10), Rgb(40, 35, 200));
    // The single bevel's highlight over the captured pixel (30, 35, 200).
    EXPECT_EQ(w.Pixel(0, 10), Rgb(198, 200, 241));

    // Disabled and transparent: the emboss colours come from pixel (2, 2) of the last paint.
    s.b.SetStyle(ysFlat);
    s.b.Paint();  // (2, 2) = (32, 27, 200)
    s.b.SetEnabled(false);
    s.b.Paint();
    ExpectBox(w, Rgb(16, 13, 100), 17, 3, 24, 16);
}

TEST(TKButtonLooks, GlyphDrawsTransparentlyAndMovesWhenPressed) {
    SmallButton s;
    s.b.SetCaption(u"");
    s.b.SetStyle(ysFlat);
    Bitmap g(3, 2);
    g.FillRect(Rect{0, 0, 3, 2}, Rgb(1, 1, 1));  // the key colour, from the bottom-left
    g.SetPixel(1, 0, Rgb(0, 255, 0));
    s.b.SetGlyph(g);
    // cx 20, cy 10: glyph at (20 - 1, 10 - 1)
    const Bitmap& w = s.b.Paint();
    ExpectBox(w, Rgb(0, 255, 0), 20, 9, 21, 10);
    EXPECT_EQ(BoxOf(w, Rgb(1, 1, 1)).x2, -1);
    s.b.MouseDown(Left(1, 1));
    ExpectBox(s.b.Paint(), Rgb(0, 255, 0), 21, 10, 22, 11);
}

}  // namespace
}  // namespace movrek
