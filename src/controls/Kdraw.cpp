#include "controls/Kdraw.h"

namespace movrek {

namespace {

inline std::uint8_t Scale(int ch, int k) { return static_cast<std::uint8_t>((ch * k) >> 8); }
inline std::uint8_t Lighten(int ch, int k) {
    return static_cast<std::uint8_t>(ch + (((255 - ch) * k) >> 8));
}

}  // namespace

BevelFactors BevelFactorsFor(int contrast) {
    static constexpr BevelFactors kTable[5] = {
        {255, 0, 128}, {192, 64, 160}, {160, 96, 192}, {128, 128, 208}, {96, 192, 216}};
    if (contrast < 0 || contrast > 4) contrast = 1;
    return kTable[contrast];
}

void FillFace(Bitmap& bmp, int transparent, Color c, const Bitmap& background) {
    if (transparent != 0)
        bmp.Assign(background);
    else
        bmp.FillRect(Rect{0, 0, bmp.Width(), bmp.Height()}, c);
}

void DrawBevel(Bitmap& bmp, int pressed, int kind, int contrast) {
    enum Op { kKeep, kLight, kDark, kShade };
    const BevelFactors f = BevelFactorsFor(contrast);
    const int w = bmp.Width(), h = bmp.Height();
    // Edge operations; the first rule that matches a pixel wins.
    const Op outerFar = (pressed == 0 || kind == 2) ? kDark : kLight;     // right, bottom
    const Op outerNear = (pressed == 0 && kind != 2) ? kLight : kDark;    // left, top
    const Op innerFar = (pressed == 0 && kind == 0) ? kShade : kKeep;     // W-2, H-2
    const Op innerNear = (pressed == 1 && kind == 0) ? kShade : kKeep;    // 1
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = bmp.Row(y);
        for (int x = 0; x < w; ++x, p += 3) {
            Op op;
            if (x == w - 1 || y == h - 1) op = outerFar;
            else if (x == 0 || y == 0) op = outerNear;
            else if (x == w - 2 || y == h - 2) op = innerFar;
            else if (x == 1 || y == 1) op = innerNear;
            else continue;
            for (int i = 0; i < 3; ++i) {
                switch (op) {
                    case kLight: p[i] = Lighten(p[i], f.light); break;
                    case kDark: p[i] = Scale(p[i], f.dark); break;
                    case kShade: p[i] = Scale(p[i], f.shade); break;
                    case kKeep: break;
                }
            }
        }
    }
}

void DrawFrame(Bitmap& bmp, Color c, int mode) {
    Color frame;
    switch (mode) {
        case 1: frame = ScaleColor(bmp.Pixel(0, 0), 96, 96, 96); break;
        case 2: frame = ScaleColor(bmp.Pixel(0, 0), 128, 128, 128); break;
        case 3: frame = LightenColor(bmp.Pixel(0, 0), 160); break;
        case 4: frame = c; break;
        default: return;
    }
    bmp.FrameRect(Rect{0, 0, bmp.Width(), bmp.Height()}, frame);
}

void DrawPanelFrame(Canvas& surface, int w, int h, Color c) {
    surface.FrameRect(Rect{0, 0, w, h}, ScaleColor(c, 96, 96, 96));
    surface.FrameRect(Rect{0, 0, w - 1, h - 1}, LightenColor(c, 160));
    surface.FillRect(Rect{1, 1, w - 1, h - 1}, c);
}

void ScalePixels(Bitmap& bmp, int r, int g, int b) {
    for (int y = 0; y < bmp.Height(); ++y) {
        std::uint8_t* p = bmp.Row(y);
        for (int x = 0; x < bmp.Width(); ++x, p += 3) {
            p[0] = Scale(p[0], b);
            p[1] = Scale(p[1], g);
            p[2] = Scale(p[2], r);
        }
    }
}

void LightenPixels(Bitmap& bmp, int amount) {
    for (int y = 0; y < bmp.Height(); ++y) {
        std::uint8_t* p = bmp.Row(y);
        const int n = bmp.Width() * 3;
        for (int i = 0; i < n; ++i) p[i] = Lighten(p[i], amount);
    }
}

void CaptureBackground(const ControlPlace& control, const Bitmap* under, Color parentColor,
                       Bitmap& background) {
    background.SetSize(control.width, control.height);
    const Rect all{0, 0, background.Width(), background.Height()};
    if (under) {
        // Parts of the control that lie outside under stay black rather than keep stale pixels.
        background.FillRect(all, 0);
        background.CopyRect(0, 0, *under,
                            Rect{control.left, control.top, control.left + control.width,
                                 control.top + control.height});
    } else {
        background.FillRect(all, parentColor);
    }
}

Color ScaleColor(Color c, int r, int g, int b) {
    return Rgb(Scale(RedOf(c), r), Scale(GreenOf(c), g), Scale(BlueOf(c), b));
}

Color LightenColor(Color c, int amount) {
    return Rgb(Lighten(RedOf(c), amount), Lighten(GreenOf(c), amount),
               Lighten(BlueOf(c), amount));
}

}  // namespace movrek
