// Off-screen 24-bit bitmaps and the two drawing operations the look code needs on any surface.
//
// Pixel layout is that of a top-down 24-bit DIB: each row holds Width pixels of three bytes
// (blue, green, red) and is padded to a multiple of four bytes, row 0 at the top. A Win32 DIB
// section created with a negative height has exactly this layout, so the Windows side
// (Bitmap_win.h) keeps its pixels in a DIB section and every routine here runs on it unchanged.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace movrek {

// A colour as 0x00BBGGRR: red in the low byte, then green, then blue (the layout of a Win32
// COLORREF). Drawing arithmetic works on the three bytes separately.
using Color = std::uint32_t;

constexpr Color Rgb(int r, int g, int b) {
    return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(Color c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Color c) { return static_cast<int>((c >> 16) & 0xFF); }

// Half-open: covers x1 <= x < x2, y1 <= y < y2.
struct Rect {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// A drawing surface: what the panel frame needs, so it can paint a bitmap or a window's DC.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void FillRect(const Rect& r, Color c) = 0;
    // One-pixel outline along the inside of r (top row, bottom row y2-1, left and right columns).
    virtual void FrameRect(const Rect& r, Color c) = 0;
};

class Bitmap : public Canvas {
public:
    Bitmap() = default;
    Bitmap(int width, int height);
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    ~Bitmap() override = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    // Bytes per row, including the padding to four bytes.
    int Stride() const { return StrideFor(width_); }
    static int StrideFor(int width) { return (width * 3 + 3) & ~3; }

    std::uint8_t* Row(int y) { return bits_ + static_cast<std::size_t>(y) * Stride(); }
    const std::uint8_t* Row(int y) const {
        return bits_ + static_cast<std::size_t>(y) * Stride();
    }

    // Keeps the pixels when the size does not change; otherwise the bitmap is black.
    // Negative sizes count as 0.
    void SetSize(int width, int height);
    // This bitmap becomes a copy of src: size and pixels.
    void Assign(const Bitmap& src);

    void FillRect(const Rect& r, Color c) override;
    void FrameRect(const Rect& r, Color c) override;
    // Copies the rectangle srcRect of src to (dx, dy); parts outside either bitmap are skipped.
    void CopyRect(int dx, int dy, const Bitmap& src, const Rect& srcRect);
    // Draws src at (x, y) leaving out every pixel of colour key; clipped to this bitmap.
    void DrawTransparent(const Bitmap& src, int x, int y, Color key);
    // Colour of one pixel; 0 (black) outside the bitmap.
    Color Pixel(int x, int y) const;
    void SetPixel(int x, int y, Color c);

protected:
    // Provides zero-filled storage for the new size and returns it; the Windows side overrides
    // this to put the pixels into a DIB section. Called with the new width, height and stride.
    virtual std::uint8_t* Reallocate(int width, int height, int stride);

private:
    Rect Clip(const Rect& r) const;

    int width_ = 0;
    int height_ = 0;
    std::uint8_t* bits_ = nullptr;
    std::vector<std::uint8_t> own_;
};

}  // namespace movrek
