#include "controls/Bitmap_win.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "ui/Controls.h"

namespace movrek {

DibBitmap::DibBitmap() : dc_(CreateCompatibleDC(nullptr)) {
    if (!dc_) throw std::bad_alloc();
}

DibBitmap::DibBitmap(int width, int height) : DibBitmap() { SetSize(width, height); }

// A bitmap still selected into a DC cannot be deleted: it is selected out first.
DibBitmap::~DibBitmap() { Release(); }

void DibBitmap::Release() {
    if (!dib_) return;
    SelectObject(dc_.Get(), old_);
    dib_.Reset();
    old_ = nullptr;
}

std::uint8_t* DibBitmap::Reallocate(int width, int height, int stride) {
    (void)stride;  // a 24-bit DIB's rows are padded to four bytes, as Bitmap's are
    GdiFlush();
    Release();
    if (width <= 0 || height <= 0) return nullptr;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down: row 0 first in memory
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ui::BitmapHandle dib(CreateDIBSection(dc_.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) throw std::bad_alloc();
    dib_ = std::move(dib);
    old_ = SelectObject(dc_.Get(), dib_.Get());
    // A new DIB section is zero-filled, as the portable storage is.
    return static_cast<std::uint8_t*>(bits);
}

void GdiCanvas::FillRect(const Rect& r, Color c) {
    if (r.x2 <= r.x1 || r.y2 <= r.y1) return;
    ui::Brush brush(CreateSolidBrush(c));
    RECT rc{r.x1, r.y1, r.x2, r.y2};
    ::FillRect(dc_, &rc, brush.Get());
}

void GdiCanvas::FrameRect(const Rect& r, Color c) {
    if (r.x2 <= r.x1 || r.y2 <= r.y1) return;
    ui::Brush brush(CreateSolidBrush(c));
    RECT rc{r.x1, r.y1, r.x2, r.y2};
    ::FrameRect(dc_, &rc, brush.Get());
}

bool BitmapFromHandle(HBITMAP picture, Bitmap& out) {
    BITMAP info{};
    if (!picture || GetObjectW(picture, sizeof(info), &info) == 0) return false;
    const int w = info.bmWidth;
    const int h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    if (w <= 0 || h <= 0) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    const int stride = Bitmap::StrideFor(w);
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * h);
    const ui::WindowDc screen(nullptr);
    const int lines = GetDIBits(screen.Get(), picture, 0, static_cast<UINT>(h), bits.data(), &bi,
                                DIB_RGB_COLORS);
    if (lines != h) return false;
    out.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        std::memcpy(out.Row(y), bits.data() + static_cast<std::size_t>(y) * stride,
                    static_cast<std::size_t>(w) * 3);
    return true;
}

bool LoadBitmapResource(HINSTANCE module, int resourceId, Bitmap& out) {
    const ui::BitmapHandle picture(static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    return BitmapFromHandle(picture.Get(), out);
}

bool LoadBitmapFile(std::u16string_view path, Bitmap& out) {
    const ui::BitmapHandle picture(static_cast<HBITMAP>(
        LoadImageW(nullptr, Wide(path).c_str(), IMAGE_BITMAP, 0, 0,
                   LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    return BitmapFromHandle(picture.Get(), out);
}

}  // namespace movrek
