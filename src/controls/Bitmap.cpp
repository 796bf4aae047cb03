#include "controls/Bitmap.h"

#include <algorithm>
#include <cstring>

namespace movrek {

Bitmap::Bitmap(int width, int height) { SetSize(width, height); }

Bitmap::Bitmap(const Bitmap& other) : Canvas() { Assign(other); }

Bitmap& Bitmap::operator=(const Bitmap& other) {
    if (this != &other) Assign(other);
    return *this;
}

std::uint8_t* Bitmap::Reallocate(int width, int height, int stride) {
    own_.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0);
    (void)width;
    return own_.empty() ? nullptr : own_.data();
}

void Bitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_ && (bits_ || width == 0 || height == 0)) return;
    bits_ = Reallocate(width, height, StrideFor(width));
    width_ = bits_ ? width : 0;
    height_ = bits_ ? height : 0;
}

void Bitmap::Assign(const Bitmap& src) {
    if (&src == this) return;
    SetSize(src.Width(), src.Height());
    const std::size_t bytes = static_cast<std::size_t>(Width()) * 3;
    for (int y = 0; y < Height(); ++y) std::memcpy(Row(y), src.Row(y), bytes);
}

Rect Bitmap::Clip(const Rect& r) const {
    return Rect{std::max(r.x1, 0), std::max(r.y1, 0), std::min(r.x2, width_),
                std::min(r.y2, height_)};
}

void Bitmap::FillRect(const Rect& r, Color c) {
    const Rect k = Clip(r);
    const auto b = static_cast<std::uint8_t>(BlueOf(c));
    const auto g = static_cast<std::uint8_t>(GreenOf(c));
    const auto red = static_cast<std::uint8_t>(RedOf(c));
    for (int y = k.y1; y < k.y2; ++y) {
        std::uint8_t* p = Row(y) + k.x1 * 3;
        for (int x = k.x1; x < k.x2; ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = red;
        }
    }
}

void Bitmap::FrameRect(const Rect& r, Color c) {
    if (r.x2 <= r.x1 || r.y2 <= r.y1) return;
    FillRect(Rect{r.x1, r.y1, r.x2, r.y1 + 1}, c);
    FillRect(Rect{r.x1, r.y2 - 1, r.x2, r.y2}, c);
    FillRect(Rect{r.x1, r.y1, r.x1 + 1, r.y2}, c);
    FillRect(Rect{r.x2 - 1, r.y1, r.x2, r.y2}, c);
}

void Bitmap::CopyRect(int dx, int dy, const Bitmap& src, const Rect& srcRect) {
    // Clip the source to src, then the shifted result to this bitmap.
    Rect s = src.Clip(srcRect);
    dx += s.x1 - srcRect.x1;
    dy += s.y1 - srcRect.y1;
    if (dx < 0) { s.x1 -= dx; dx = 0; }
    if (dy < 0) { s.y1 -= dy; dy = 0; }
    const int w = std::min(s.x2 - s.x1, width_ - dx);
    const int h = std::min(s.y2 - s.y1, height_ - dy);
    if (w <= 0 || h <= 0) return;
    const std::size_t bytes = static_cast<std::size_t>(w) * 3;
    if (&src == this) {
        std::vector<std::uint8_t> tmp(bytes * static_cast<std::size_t>(h));
        for (int y = 0; y < h; ++y)
            std::memcpy(tmp.data() + y * bytes, src.Row(s.y1 + y) + s.x1 * 3, bytes);
        for (int y = 0; y < h; ++y)
            std::memcpy(Row(dy + y) + dx * 3, tmp.data() + y * bytes, bytes);
        return;
    }
    for (int y = 0; y < h; ++y)
        std::memcpy(Row(dy + y) + dx * 3, src.Row(s.y1 + y) + s.x1 * 3, bytes);
}

void Bitmap::DrawTransparent(const Bitmap& src, int x, int y, Color key) {
    const int x1 = std::max(x, 0), y1 = std::max(y, 0);
    const int x2 = std::min(x + src.Width(), width_), y2 = std::min(y + src.Height(), height_);
    const auto kb = static_cast<std::uint8_t>(BlueOf(key));
    const auto kg = static_cast<std::uint8_t>(GreenOf(key));
    const auto kr = static_cast<std::uint8_t>(RedOf(key));
    for (int ty = y1; ty < y2; ++ty) {
        const std::uint8_t* s = src.Row(ty - y) + (x1 - x) * 3;
        std::uint8_t* d = Row(ty) + x1 * 3;
        for (int tx = x1; tx < x2; ++tx, s += 3, d += 3) {
            if (s[0] == kb && s[1] == kg && s[2] == kr) continue;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

Color Bitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const std::uint8_t* p = Row(y) + x * 3;
    return Rgb(p[2], p[1], p[0]);
}

void Bitmap::SetPixel(int x, int y, Color c) { FillRect(Rect{x, y, x + 1, y + 1}, c); }

}  // namespace movrek
