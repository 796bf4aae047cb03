// The windowing kinds of handle owner (GDI objects, icons, menus, DCs), over the one owner
// template of the platform layer; and the DC scopes, which give a DC back rather than free it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "platform/Handles_win.h"

namespace movrek::ui {

using movrek::Unique;

struct GdiTraits { static void Free(HGDIOBJ h) { DeleteObject(h); } };
struct IconTraits { static void Free(HICON h) { DestroyIcon(h); } };
struct MenuTraits { static void Free(HMENU h) { DestroyMenu(h); } };
struct AccelTraits { static void Free(HACCEL h) { DestroyAcceleratorTable(h); } };
struct ImageListTraits { static void Free(HIMAGELIST h) { ImageList_Destroy(h); } };
struct MemoryDcTraits { static void Free(HDC h) { DeleteDC(h); } };

using Font = Unique<HFONT, GdiTraits>;
using Brush = Unique<HBRUSH, GdiTraits>;
using Pen = Unique<HPEN, GdiTraits>;
using BitmapHandle = Unique<HBITMAP, GdiTraits>;
using Icon = Unique<HICON, IconTraits>;          // icons this program made or loaded unshared
using Menu = Unique<HMENU, MenuTraits>;
using Accelerators = Unique<HACCEL, AccelTraits>;
using ImageListHandle = Unique<HIMAGELIST, ImageListTraits>;
using MemoryDc = Unique<HDC, MemoryDcTraits>;

// A window's DC from GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND w) : w_(w), dc_(GetDC(w)) {}
    ~WindowDc() { if (dc_) ReleaseDC(w_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND w_;
    HDC dc_;
};

// BeginPaint .. EndPaint.
class PaintDc {
public:
    explicit PaintDc(HWND w) : w_(w) { dc_ = BeginPaint(w, &ps_); }
    ~PaintDc() { EndPaint(w_, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC Get() const { return dc_; }
    const PAINTSTRUCT& Info() const { return ps_; }

private:
    HWND w_;
    HDC dc_;
    PAINTSTRUCT ps_{};
};

// An object selected into a DC for a scope; the previous one is selected back.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
    ~Selected() { if (old_) SelectObject(dc_, old_); }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace movrek::ui
