// The Windows side of the bitmaps: a Bitmap whose pixels live in a top-down 24-bit DIB section
// (so GDI text and BitBlt work on the very pixels the portable routines write), a Canvas over a
// device context, and loading pictures from resources or .bmp files.
#pragma once
#include <windows.h>

#include <string_view>

#include "controls/Bitmap.h"
#include "ui/Handles.h"

namespace movrek {

class DibBitmap : public Bitmap {
public:
    DibBitmap();
    DibBitmap(int width, int height);
    ~DibBitmap() override;
    DibBitmap(const DibBitmap&) = delete;
    DibBitmap& operator=(const DibBitmap&) = delete;

    // A memory DC with the DIB section selected; valid for the bitmap's life.
    HDC Dc() const { return dc_.Get(); }
    HBITMAP Handle() const { return dib_.Get(); }

protected:
    // Throws std::bad_alloc when the DIB section cannot be created.
    std::uint8_t* Reallocate(int width, int height, int stride) override;

private:
    void Release();

    ui::MemoryDc dc_;
    ui::BitmapHandle dib_;      // selected into dc_ while it exists
    HGDIOBJ old_ = nullptr;     // dc_'s original bitmap
};

// Draws on a device context (a window's paint DC, for instance).
class GdiCanvas : public Canvas {
public:
    explicit GdiCanvas(HDC dc) : dc_(dc) {}  // not owned
    void FillRect(const Rect& r, Color c) override;
    void FrameRect(const Rect& r, Color c) override;

private:
    HDC dc_;
};

// The picture's pixels as a 24-bit bitmap (palette pictures resolved to their colours).
bool BitmapFromHandle(HBITMAP picture, Bitmap& out);
// A BITMAP resource of the module, by number.
bool LoadBitmapResource(HINSTANCE module, int resourceId, Bitmap& out);
// A .bmp file.
bool LoadBitmapFile(std::u16string_view path, Bitmap& out);

}  // namespace movrek
