// Stateless drawing routines that give the program its own look without theme support: face
// fills, per-pixel bevels, one-pixel frames in derived colours, whole-bitmap brightening and
// darkening, capture of a parent's background, and a raised frame for a window surface.
//
// Arithmetic is per channel and integer: "channel x k / 256" is (channel * k) >> 8. Results
// are stored into the byte without clamping; callers keep factors in the documented ranges.
// Our bitmaps are always 24 bits per pixel, so no routine has a format to switch.
#pragma once
#include "controls/Bitmap.h"

namespace movrek {

// Bevel strengths, indexed by contrast 0..4 (kcClear .. kcSoft3).
struct BevelFactors {
    int light;  // highlight edge: channel + (255 - channel) * light / 256
    int dark;   // shadow edge: channel * dark / 256
    int shade;  // inner shade line: channel * shade / 256
};
BevelFactors BevelFactorsFor(int contrast);

// transparent != 0: bmp becomes a copy of background (size and pixels); otherwise the whole
// bitmap is filled with c.
void FillFace(Bitmap& bmp, int transparent, Color c, const Bitmap& background);

// pressed 0 raised / 1 sunken; kind 0 double bevel, 1 single bevel, 2 dark outline;
// contrast 0..4. Contrast values outside 0..4 are treated as 1 (kcNormal).
void DrawBevel(Bitmap& bmp, int pressed, int kind, int contrast);

// One-pixel outline of the whole bitmap. Mode 0 draws nothing; 1: pixel (0, 0) x 96 / 256;
// 2: pixel (0, 0) x 128 / 256; 3: pixel (0, 0) lightened by 160; 4: the colour c.
void DrawFrame(Bitmap& bmp, Color c, int mode);

// Raised frame and fill of a w x h surface: light top row and left column, dark right column
// and bottom row, c inside.
void DrawPanelFrame(Canvas& surface, int w, int h, Color c);

// Every pixel: red x r / 256, green x g / 256, blue x b / 256 (factors 0..255).
void ScalePixels(Bitmap& bmp, int r, int g, int b);

// Every channel of every pixel += (255 - channel) x amount / 256 (amount 0..256).
void LightenPixels(Bitmap& bmp, int amount);

// Where a control sits in its parent.
struct ControlPlace {
    int left = 0, top = 0, width = 0, height = 0;
};

// background takes the control's size; then it is the control's own rectangle of under (the
// parent's whole background), or, with no under, filled with parentColor.
void CaptureBackground(const ControlPlace& control, const Bitmap* under, Color parentColor,
                       Bitmap& background);

// The colour with each channel x its factor / 256.
Color ScaleColor(Color c, int r, int g, int b);

// channel + (255 - channel) x amount / 256 on each channel.
Color LightenColor(Color c, int amount);

}  // namespace movrek
