#include "controls/Bitmap_win.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace movrek {

namespace {

// A GDI object deleted on scope exit.
class ScopedGdiObject {
public:
    explicit ScopedGdiObject(HGDIOBJ h) : h_(h) {}
    ~ScopedGdiObject() {
        if (h_) DeleteObject(h_);
    }
    ScopedGdiObject(const ScopedGdiObject&) = delete;
    ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
    HGDIOBJ get() const { return h_; }

private:
    HGDIOBJ h_;
};

}  // namespace

DibBitmap::DibBitmap() : dc_(CreateCompatibleDC(nullptr)) {
    if (!dc_) throw std::bad_alloc();
}

DibBitmap::DibBitmap(int width, int height) : DibBitmap() { SetSize(width, height); }

DibBitmap::~DibBitmap() {
    Release();
    if (dc_) DeleteDC(dc_);
}

void DibBitmap::Release() {
    if (!dib_) return;
    SelectObject(dc_, old_);
    DeleteObject(dib_);
    dib_ = nullptr;
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
    HBITMAP dib = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits) {
        if (dib) DeleteObject(dib);
        throw std::bad_alloc();
    }
    dib_ = dib;
    old_ = SelectObject(dc_, dib_);
    // A new DIB section is zero-filled, as the portable storage is.
    return static_cast<std::uint8_t*>(bits);
}

void GdiCanvas::FillRect(const Rect& r, Color c) {
    if (r.x2 <= r.x1 || r.y2 <= r.y1) return;
    ScopedGdiObject brush(CreateSolidBrush(c));
    RECT rc{r.x1, r.y1, r.x2, r.y2};
    ::FillRect(dc_, &rc, static_cast<HBRUSH>(brush.get()));
}

void GdiCanvas::FrameRect(const Rect& r, Color c) {
    if (r.x2 <= r.x1 || r.y2 <= r.y1) return;
    ScopedGdiObject brush(CreateSolidBrush(c));
    RECT rc{r.x1, r.y1, r.x2, r.y2};
    ::FrameRect(dc_, &rc, static_cast<HBRUSH>(brush.get()));
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
    HDC screen = GetDC(nullptr);
    const int lines = GetDIBits(screen, picture, 0, static_cast<UINT>(h), bits.data(), &bi,
                                DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != h) return false;
    out.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        std::memcpy(out.Row(y), bits.data() + static_cast<std::size_t>(y) * stride,
                    static_cast<std::size_t>(w) * 3);
    return true;
}

bool LoadBitmapResource(HINSTANCE module, int resource_id, Bitmap& out) {
    ScopedGdiObject picture(LoadImageW(module, MAKEINTRESOURCEW(resource_id), IMAGE_BITMAP, 0, 0,
                                       LR_CREATEDIBSECTION));
    return BitmapFromHandle(static_cast<HBITMAP>(picture.get()), out);
}

bool LoadBitmapFile(std::u16string_view path, Bitmap& out) {
    const std::wstring wide(path.begin(), path.end());
    ScopedGdiObject picture(LoadImageW(nullptr, wide.c_str(), IMAGE_BITMAP, 0, 0,
                                       LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    return BitmapFromHandle(static_cast<HBITMAP>(picture.get()), out);
}

}  // namespace movrek
