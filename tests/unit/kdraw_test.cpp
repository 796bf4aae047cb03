#include <gtest/gtest.h>

#include "controls/Kdraw.h"

namespace movrek {
namespace {

Bitmap Uniform(int w, int h, Color c) {
    Bitmap b(w, h);
    b.FillRect(Rect{0, 0, w, h}, c);
    return b;
}

Color Grey(int v) { return Rgb(v, v, v); }

TEST(Bitmap, RowsAreBgrAndPaddedLikeADib) {
    Bitmap b(5, 2);
    EXPECT_EQ(b.Stride(), 16);  // 15 bytes padded to 16
    b.SetPixel(1, 1, Rgb(10, 20, 30));
    const std::uint8_t* p = b.Row(1) + 3;
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(b.Pixel(1, 1), Rgb(10, 20, 30));
    EXPECT_EQ(b.Pixel(5, 0), 0u);  // outside
    EXPECT_EQ(b.Pixel(-1, 0), 0u);
}

TEST(Bitmap, SetSizeKeepsPixelsOnlyForTheSameSize) {
    Bitmap b = Uniform(3, 3, Grey(200));
    b.SetSize(3, 3);
    EXPECT_EQ(b.Pixel(2, 2), Grey(200));
    b.SetSize(4, 3);
    EXPECT_EQ(b.Pixel(2, 2), 0u);
    b.SetSize(-2, 5);
    EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, FrameCopyAndTransparentDrawAreClipped) {
    Bitmap b = Uniform(4, 3, Grey(0));
    b.FrameRect(Rect{1, 0, 4, 3}, Grey(9));
    const char* expect[3] = {".###", ".#.#", ".###"};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(b.Pixel(x, y), expect[y][x] == '#' ? Grey(9) : Grey(0)) << x << "," << y;

    Bitmap src(2, 2);
    src.SetPixel(0, 0, Grey(1));
    src.SetPixel(1, 0, Grey(2));
    src.SetPixel(0, 1, Grey(3));
    src.SetPixel(1, 1, Grey(4));
    Bitmap d = Uniform(3, 3, Grey(100));
    d.CopyRect(-1, 2, src, Rect{0, 0, 2, 2});  // only src (1, 0) lands, at (0, 2)
    EXPECT_EQ(d.Pixel(0, 2), Grey(2));
    EXPECT_EQ(d.Pixel(1, 2), Grey(100));
    EXPECT_EQ(d.Pixel(0, 1), Grey(100));

    Bitmap t = Uniform(3, 3, Grey(100));
    t.DrawTransparent(src, 2, 2, Grey(1));  // only src (0, 0) lands, and it is the key
    EXPECT_EQ(t.Pixel(2, 2), Grey(100));
    t.DrawTransparent(src, 1, 1, Grey(4));
    EXPECT_EQ(t.Pixel(1, 1), Grey(1));
    EXPECT_EQ(t.Pixel(2, 2), Grey(100));  // the key colour left out
}

TEST(Kdraw, RaisedDoubleBevelOnGrey128) {
    Bitmap b = Uniform(6, 5, Grey(128));
    DrawBevel(b, 0, 0, 1);
    // L = 223 light, D = 32 dark, S = 80 shade, . unchanged
    const char* expect[5] = {"LLLLLD", "L...SD", "L...SD", "LSSSSD", "DDDDDD"};
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            const int v = expect[y][x] == 'L' ? 223
                        : expect[y][x] == 'D' ? 32
                        : expect[y][x] == 'S' ? 80
                                              : 128;
            EXPECT_EQ(b.Pixel(x, y), Grey(v)) << x << "," << y;
        }
    }
}

TEST(Kdraw, SunkenAndOutlineBevels) {
    Bitmap b = Uniform(5, 5, Grey(128));
    DrawBevel(b, 1, 0, 1);  // sunken double: dark top-left, light bottom-right, shade at 1
    EXPECT_EQ(b.Pixel(0, 2), Grey(32));
    EXPECT_EQ(b.Pixel(4, 2), Grey(223));
    EXPECT_EQ(b.Pixel(1, 2), Grey(80));
    EXPECT_EQ(b.Pixel(3, 2), Grey(128));  // no shade on the far side when sunken
    EXPECT_EQ(b.Pixel(2, 2), Grey(128));

    Bitmap s = Uniform(5, 5, Grey(128));
    DrawBevel(s, 0, 1, 1);  // single: no inner line
    EXPECT_EQ(s.Pixel(3, 2), Grey(128));
    EXPECT_EQ(s.Pixel(0, 0), Grey(223));

    Bitmap o = Uniform(4, 4, Grey(128));
    DrawBevel(o, 0, 2, 0);  // kind 2: dark on all four sides; kcClear dark is black
    EXPECT_EQ(o.Pixel(0, 0), Grey(0));
    EXPECT_EQ(o.Pixel(3, 1), Grey(0));
    EXPECT_EQ(o.Pixel(1, 1), Grey(128));

    Bitmap c = Uniform(3, 3, Grey(0));
    DrawBevel(c, 0, 1, 0);  // kcClear highlight turns 0 into 254
    EXPECT_EQ(c.Pixel(0, 0), Grey(254));
}

TEST(Kdraw, BevelCornersAndDegenerateSizes) {
    Bitmap b = Uniform(2, 2, Grey(128));
    DrawBevel(b, 0, 0, 1);
    EXPECT_EQ(b.Pixel(0, 0), Grey(223));
    EXPECT_EQ(b.Pixel(1, 0), Grey(32));  // top-right belongs to the right edge
    EXPECT_EQ(b.Pixel(0, 1), Grey(32));  // bottom-left belongs to the bottom edge
    EXPECT_EQ(b.Pixel(1, 1), Grey(32));

    Bitmap one = Uniform(1, 3, Grey(128));
    DrawBevel(one, 0, 0, 1);  // every pixel is on the right column
    for (int y = 0; y < 3; ++y) EXPECT_EQ(one.Pixel(0, y), Grey(32));

    Bitmap empty;
    DrawBevel(empty, 0, 0, 1);
    EXPECT_TRUE(empty.Empty());

    Bitmap soft = Uniform(3, 3, Rgb(200, 100, 0));
    DrawBevel(soft, 0, 1, 4);  // kcSoft3: light 96, dark 192, per channel
    EXPECT_EQ(soft.Pixel(0, 0), Rgb(200 + (55 * 96 >> 8), 100 + (155 * 96 >> 8), 95));
    EXPECT_EQ(soft.Pixel(2, 2), Rgb(150, 75, 0));
}

TEST(Kdraw, DrawFrameModes) {
    Bitmap b = Uniform(3, 3, Grey(200));
    Bitmap before = b;
    DrawFrame(b, Grey(7), 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(b.Pixel(x, y), before.Pixel(x, y));

    DrawFrame(b, Grey(7), 1);
    EXPECT_EQ(b.Pixel(0, 0), Grey(75));   // 200 * 96 >> 8
    EXPECT_EQ(b.Pixel(1, 1), Grey(200));
    Bitmap c = Uniform(3, 3, Grey(200));
    DrawFrame(c, Grey(7), 2);
    EXPECT_EQ(c.Pixel(2, 1), Grey(100));
    Bitmap d = Uniform(3, 3, Grey(200));
    DrawFrame(d, Grey(7), 3);
    EXPECT_EQ(d.Pixel(1, 2), Grey(234));  // 200 + 55 * 160 >> 8
    Bitmap e = Uniform(3, 3, Grey(200));
    DrawFrame(e, Rgb(1, 2, 3), 4);
    EXPECT_EQ(e.Pixel(2, 2), Rgb(1, 2, 3));
    EXPECT_EQ(e.Pixel(1, 1), Grey(200));
}

TEST(Kdraw, ScaleAndLightenPixels) {
    Bitmap b(2, 1);
    b.SetPixel(0, 0, Rgb(255, 1, 0));
    b.SetPixel(1, 0, Rgb(128, 64, 200));
    Bitmap same = b;
    LightenPixels(same, 0);
    EXPECT_EQ(same.Pixel(0, 0), Rgb(255, 1, 0));
    EXPECT_EQ(same.Pixel(1, 0), Rgb(128, 64, 200));

    Bitmap s = b;
    ScalePixels(s, 255, 255, 255);
    EXPECT_EQ(s.Pixel(0, 0), Rgb(254, 0, 0));
    EXPECT_EQ(s.Pixel(1, 0), Rgb(127, 63, 199));

    Bitmap t = b;
    ScalePixels(t, 128, 0, 255);  // channels scale separately
    EXPECT_EQ(t.Pixel(1, 0), Rgb(64, 0, 199));

    Bitmap l = b;
    LightenPixels(l, 256);  // full amount reaches white
    EXPECT_EQ(l.Pixel(1, 0), Rgb(255, 255, 255));
    LightenPixels(b, 128);
    EXPECT_EQ(b.Pixel(1, 0), Rgb(191, 159, 227));
}

TEST(Kdraw, PanelFrame) {
    Bitmap tiny = Uniform(2, 2, Grey(1));
    DrawPanelFrame(tiny, 2, 2, Grey(128));
    const Color light = Grey(207);  // 128 + 127 * 160 >> 8
    const Color dark = Grey(48);    // 128 * 96 >> 8
    EXPECT_EQ(tiny.Pixel(0, 0), light);
    EXPECT_EQ(tiny.Pixel(1, 0), dark);
    EXPECT_EQ(tiny.Pixel(0, 1), dark);
    EXPECT_EQ(tiny.Pixel(1, 1), dark);

    Bitmap b = Uniform(5, 4, Grey(1));
    DrawPanelFrame(b, 5, 4, Grey(128));
    const char* expect[4] = {"LLLLD", "LcccD", "LcccD", "DDDDD"};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const char k = expect[y][x];
            EXPECT_EQ(b.Pixel(x, y), k == 'L' ? light : k == 'D' ? dark : Grey(128))
                << x << "," << y;
        }
}

TEST(Kdraw, CaptureBackgroundFromUnderOrParentColour) {
    Bitmap under(10, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) under.SetPixel(x, y, Rgb(x, y, 77));
    Bitmap bg(1, 1);
    CaptureBackground(ControlPlace{3, 2, 4, 5}, &under, Grey(9), bg);
    ASSERT_EQ(bg.Width(), 4);
    ASSERT_EQ(bg.Height(), 5);
    EXPECT_EQ(bg.Pixel(0, 0), Rgb(3, 2, 77));
    EXPECT_EQ(bg.Pixel(3, 4), Rgb(6, 6, 77));

    // A control reaching past under: the missing part is black, not stale.
    Bitmap edge = Uniform(4, 4, Grey(50));
    CaptureBackground(ControlPlace{8, 6, 4, 4}, &under, Grey(9), edge);
    EXPECT_EQ(edge.Pixel(1, 1), Rgb(9, 7, 77));
    EXPECT_EQ(edge.Pixel(2, 1), 0u);
    EXPECT_EQ(edge.Pixel(1, 2), 0u);

    CaptureBackground(ControlPlace{3, 2, 2, 3}, nullptr, Rgb(0, 78, 152), bg);
    ASSERT_EQ(bg.Width(), 2);
    ASSERT_EQ(bg.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(bg.Pixel(x, y), Rgb(0, 78, 152));
}

TEST(Kdraw, FillFaceAndColours) {
    Bitmap back = Uniform(3, 2, Grey(40));
    Bitmap b = Uniform(5, 5, Grey(1));
    FillFace(b, 1, Grey(200), back);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.Pixel(2, 1), Grey(40));
    FillFace(b, 0, Grey(200), back);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Pixel(2, 1), Grey(200));

    EXPECT_EQ(ScaleColor(Rgb(200, 100, 255), 64, 64, 64), Rgb(50, 25, 63));
    EXPECT_EQ(ScaleColor(Rgb(200, 100, 255), 256, 128, 0), Rgb(200, 50, 0));
}

}  // namespace
}  // namespace movrek
