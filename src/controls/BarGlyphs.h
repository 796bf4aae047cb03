// The button bar's four pictures, pixel by pixel: 12 x 11, the figure on magenta, which the
// button leaves out when drawing. The .bmp resources are generated from the same pictures
// (resources/make_glyphs.py); a test holds the two against each other.
#pragma once
#include "controls/Bitmap.h"

namespace movrek {

inline constexpr int kBarGlyphWidth = 12;
inline constexpr int kBarGlyphHeight = 11;

inline constexpr int kGlyphHelp = 203;      // white question mark
inline constexpr int kGlyphClose = 204;     // white diagonal cross
inline constexpr int kGlyphIdle = 205;      // green square: idle or running
inline constexpr int kGlyphFinished = 206;  // red square: a run has finished

inline constexpr Color kBarGlyphBackground = Rgb(255, 0, 255);

struct BarGlyphPicture {
    int resourceId;
    Color ink;  // colour of '#'; '.' is kBarGlyphBackground
    const char* rows[kBarGlyphHeight];
};

inline constexpr BarGlyphPicture kBarGlyphs[] = {
    {kGlyphHelp, Rgb(255, 255, 255),
     {"............", "....####....", "...##..##...", ".......##...", "......##....",
      ".....##.....", ".....##.....", "............", ".....##.....", ".....##.....",
      "............"}},
    {kGlyphClose, Rgb(255, 255, 255),
     {"............", "............", "..##....##..", "...##..##...", "....####....",
      ".....##.....", "....####....", "...##..##...", "..##....##..", "............",
      "............"}},
    {kGlyphIdle, Rgb(0, 255, 0),
     {"............", "..########..", "..########..", "..########..", "..########..",
      "..########..", "..########..", "..########..", "..########..", "............",
      "............"}},
    {kGlyphFinished, Rgb(255, 0, 0),
     {"............", "..########..", "..########..", "..########..", "..########..",
      "..########..", "..########..", "..########..", "..########..", "............",
      "............"}},
};

// The picture with the given resource number as a bitmap; empty for an unknown number.
inline Bitmap BarGlyphBitmap(int resourceId) {
    for (const BarGlyphPicture& g : kBarGlyphs) {
        if (g.resourceId != resourceId) continue;
        Bitmap bmp(kBarGlyphWidth, kBarGlyphHeight);
        for (int y = 0; y < kBarGlyphHeight; ++y)
            for (int x = 0; x < kBarGlyphWidth; ++x)
                bmp.SetPixel(x, y, g.rows[y][x] == '#' ? g.ink : kBarGlyphBackground);
        return bmp;
    }
    return Bitmap();
}

}  // namespace movrek
