#include "controls/Kbutton_win.h"

#include <windowsx.h>

#include <stdexcept>
#include <string>

namespace movrek {

namespace {

const wchar_t* Wide(std::u16string_view s) { return reinterpret_cast<const wchar_t*>(s.data()); }

// Selects an object into a DC for one scope.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectedObject() { SelectObject(dc_, old_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

HFONT OrDefault(HFONT font) {
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

MouseArgs ArgsFrom(MouseButton button, WPARAM wp, LPARAM lp) {
    MouseArgs a;
    a.button = button;
    a.x = GET_X_LPARAM(lp);
    a.y = GET_Y_LPARAM(lp);
    if (wp & MK_SHIFT) a.shift |= ssShift;
    if (wp & MK_CONTROL) a.shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) a.shift |= ssAlt;
    if (wp & MK_LBUTTON) a.shift |= ssLeft;
    if (wp & MK_RBUTTON) a.shift |= ssRight;
    if (wp & MK_MBUTTON) a.shift |= ssMiddle;
    return a;
}

}  // namespace

// ---------------------------------------------------------------- GdiTextRenderer

GdiTextRenderer::GdiTextRenderer() : measure_dc_(CreateCompatibleDC(nullptr)) {
    if (!measure_dc_) throw std::bad_alloc();
}

GdiTextRenderer::~GdiTextRenderer() { DeleteDC(measure_dc_); }

TextRenderer::Extent GdiTextRenderer::Measure(std::u16string_view text) {
    SelectedObject font(measure_dc_, OrDefault(font_));
    SIZE size{};
    if (!GetTextExtentPoint32W(measure_dc_, Wide(text), static_cast<int>(text.size()), &size))
        return {};
    return {size.cx, size.cy};
}

void GdiTextRenderer::DrawOn(HDC dc, int x, int y, std::u16string_view text, Color c) {
    SelectedObject font(dc, OrDefault(font_));
    const int old_mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF old_color = SetTextColor(dc, c);
    const UINT old_align = SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    TextOutW(dc, x, y, Wide(text), static_cast<int>(text.size()));
    SetTextAlign(dc, old_align);
    SetTextColor(dc, old_color);
    SetBkMode(dc, old_mode);
    // The portable routines read and write the pixels directly next.
    GdiFlush();
}

void GdiTextRenderer::Draw(Bitmap& target, int x, int y, std::u16string_view text, Color c) {
    if (text.empty() || target.Empty()) return;
    if (auto* dib = dynamic_cast<DibBitmap*>(&target)) {
        DrawOn(dib->Dc(), x, y, text, c);
        return;
    }
    // A plain bitmap: draw through a DIB copy so GDI sees the same pixels.
    DibBitmap scratch;
    scratch.Assign(target);
    DrawOn(scratch.Dc(), x, y, text, c);
    target.Assign(scratch);
}

// ---------------------------------------------------------------- TKButtonWindow

TKButtonWindow::TKButtonWindow(const TKButtonCreate& args) {
    auto work = std::make_unique<DibBitmap>();
    work_ = work.get();
    button_ = std::make_unique<TKButton>(text_, std::move(work));
    button_->SetParentColor(GetSysColor(COLOR_BTNFACE));

    const HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TKButtonWindow::WndProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    // No CS_DBLCLKS: the second press of a double click is a press of its own.
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("TKButton: RegisterClassExW failed");

    const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (args.visible ? WS_VISIBLE : 0);
    HWND hwnd = CreateWindowExW(0, kClassName, L"", style, args.left, args.top, args.width,
                                args.height, args.parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.control_id)),
                                module, this);
    if (!hwnd) throw std::runtime_error("TKButton: CreateWindowExW failed");

    HFONT parent_font = args.parent
        ? reinterpret_cast<HFONT>(SendMessageW(args.parent, WM_GETFONT, 0, 0))
        : nullptr;
    text_.SetFont(OrDefault(parent_font));
    OnWindowPosChanged();
    button_->OnInvalidate = [this] {
        if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
    };
    InvalidateRect(hwnd_, nullptr, FALSE);
}

TKButtonWindow::~TKButtonWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (owned_font_) DeleteObject(owned_font_);
}

void TKButtonWindow::SetBounds(int left, int top, int width, int height) {
    if (hwnd_)
        SetWindowPos(hwnd_, nullptr, left, top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TKButtonWindow::SetVisible(bool visible) {
    if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void TKButtonWindow::SetEnabled(bool enabled) {
    button_->SetEnabled(enabled);
    if (enabled && hwnd_ && !IsWindowEnabled(hwnd_)) EnableWindow(hwnd_, TRUE);
}

void TKButtonWindow::SetCaption(std::u16string_view caption) {
    const std::u16string text(caption);  // null-terminated
    if (hwnd_)
        SetWindowTextW(hwnd_, Wide(text));  // WM_SETTEXT passes it on to the model
    else
        button_->SetCaption(text);
}

void TKButtonWindow::SetFont(std::u16string_view face, int point_size) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(point_size, 96, 72);  // layout is fixed at 96 dpi
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    const size_t n = std::min<size_t>(face.size(), LF_FACESIZE - 1);
    for (size_t i = 0; i < n; ++i) lf.lfFaceName[i] = static_cast<wchar_t>(face[i]);
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return;  // keep the current font
    HFONT old = owned_font_;
    text_.SetFont(font);
    owned_font_ = font;
    if (old) DeleteObject(old);
    button_->FontChanged();
}

void TKButtonWindow::SetFontHandle(HFONT font) {
    text_.SetFont(OrDefault(font));
    if (owned_font_ && owned_font_ != font) {
        DeleteObject(owned_font_);
        owned_font_ = nullptr;
    }
    button_->FontChanged();
}

bool TKButtonWindow::SetGlyphResource(HINSTANCE module, int resource_id) {
    Bitmap picture;
    if (!LoadBitmapResource(module, resource_id, picture)) return false;
    button_->SetGlyph(picture);
    return true;
}

void TKButtonWindow::PaintTo(HDC dc) {
    const Bitmap& work = button_->Paint();
    GdiFlush();
    BitBlt(dc, 0, 0, work.Width(), work.Height(), work_->Dc(), 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------- window procedure

LRESULT CALLBACK TKButtonWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<TKButtonWindow*>(
            reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TKButtonWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY && self) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->inside_ = self->tracking_ = false;
        self = nullptr;
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        LRESULT result = 0;
        if (self->HandleMessage(msg, wp, lp, result)) return result;
    } catch (...) {
        // Nothing may unwind into the system; the message gets its default handling.
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// True when the message is done (with result); false sends it on to DefWindowProc. A handler
// that raises an event may see its button destroyed, so handlers touch nothing after it.
bool TKButtonWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_ERASEBKGND:
            result = 1;  // nothing is erased: every pixel is painted by the one BitBlt
            return true;
        case WM_PAINT:
            OnPaint();
            return true;
        case WM_PRINTCLIENT:
            PaintTo(reinterpret_cast<HDC>(wp));
            return true;
        case WM_WINDOWPOSCHANGED:
            OnWindowPosChanged();
            return false;
        case WM_MOUSEMOVE:
            OnMouseMove(wp, lp);
            return true;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return true;
        case WM_LBUTTONDOWN:
            OnButtonDown(MouseButton::Left, wp, lp);
            return true;
        case WM_LBUTTONUP:
            OnButtonUp(MouseButton::Left, wp, lp);
            return true;
        case WM_RBUTTONDOWN:
            OnButtonDown(MouseButton::Right, wp, lp);
            return true;
        case WM_RBUTTONUP: {
            // DefWindowProc turns the release into WM_CONTEXTMENU; keep the window handle in
            // case the event handler destroyed the button.
            HWND hwnd = hwnd_;
            OnButtonUp(MouseButton::Right, wp, lp);
            if (IsWindow(hwnd)) DefWindowProcW(hwnd, msg, wp, lp);
            return true;
        }
        case WM_MBUTTONDOWN:
            OnButtonDown(MouseButton::Middle, wp, lp);
            return true;
        case WM_MBUTTONUP:
            OnButtonUp(MouseButton::Middle, wp, lp);
            return true;
        case WM_CAPTURECHANGED:
            OnCaptureChanged(reinterpret_cast<HWND>(lp));
            return true;
        case WM_CONTEXTMENU:
            return OnContextMenu(lp);
        case WM_SETTEXT: {
            result = DefWindowProcW(hwnd_, msg, wp, lp);
            OnSetText(reinterpret_cast<const wchar_t*>(lp));
            return true;
        }
        case WM_SETFONT:
            SetFontHandle(reinterpret_cast<HFONT>(wp));
            return true;
        case WM_GETFONT:
            result = reinterpret_cast<LRESULT>(text_.Font());
            return true;
        default:
            return false;
    }
}

void TKButtonWindow::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    struct End {
        HWND h;
        PAINTSTRUCT* ps;
        ~End() { EndPaint(h, ps); }
    } end{hwnd_, &ps};
    if (dc) PaintTo(dc);
}

void TKButtonWindow::OnWindowPosChanged() {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    HWND parent = GetParent(hwnd_);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    button_->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

bool TKButtonWindow::PointerOver() const {
    POINT pt;
    return GetCursorPos(&pt) && WindowFromPoint(pt) == hwnd_;
}

void TKButtonWindow::TrackLeave() {
    if (tracking_) return;
    TRACKMOUSEEVENT t{};
    t.cbSize = sizeof(t);
    t.dwFlags = TME_LEAVE;
    t.hwndTrack = hwnd_;
    tracking_ = TrackMouseEvent(&t) != FALSE;
}

void TKButtonWindow::OnMouseMove(WPARAM wp, LPARAM lp) {
    const MouseArgs args = ArgsFrom(MouseButton::Left, wp, lp);
    RECT client{};
    GetClientRect(hwnd_, &client);
    const POINT pt{args.x, args.y};
    const bool in = PtInRect(&client, pt) != FALSE;
    std::weak_ptr<int> alive = life_;
    if (in && !inside_) {
        inside_ = true;
        TrackLeave();
        button_->MouseEnter();
    } else if (!in && inside_) {
        // Only while the pointer is captured do moves arrive from outside.
        inside_ = false;
        button_->MouseLeave();
    } else if (in) {
        TrackLeave();
    }
    if (alive.expired()) return;
    button_->MouseMove(args);
}

void TKButtonWindow::OnMouseLeave() {
    tracking_ = false;
    if (GetCapture() == hwnd_ || !inside_) return;  // while captured, moves report leaving
    inside_ = false;
    button_->MouseLeave();
}

void TKButtonWindow::OnButtonDown(MouseButton button, WPARAM wp, LPARAM lp) {
    if (button == MouseButton::Left) SetCapture(hwnd_);
    button_->MouseDown(ArgsFrom(button, wp, lp));
}

void TKButtonWindow::OnButtonUp(MouseButton button, WPARAM wp, LPARAM lp) {
    const MouseArgs args = ArgsFrom(button, wp, lp);
    if (button == MouseButton::Left && GetCapture() == hwnd_) {
        releasing_ = true;
        ReleaseCapture();
        releasing_ = false;
    }
    std::weak_ptr<int> alive = life_;
    RECT client{};
    GetClientRect(hwnd_, &client);
    const POINT pt{args.x, args.y};
    if (inside_ && !PtInRect(&client, pt)) {
        // Released outside without a move reporting it first: leave, then release.
        inside_ = false;
        button_->MouseLeave();
        if (alive.expired()) return;
    }
    button_->MouseUp(args);
}

void TKButtonWindow::OnCaptureChanged(HWND new_capture) {
    if (releasing_ || new_capture == hwnd_) return;
    // Capture taken away mid-press (another window, a menu): the press ends without a click.
    std::weak_ptr<int> alive = life_;
    button_->CancelPress();
    if (alive.expired()) return;
    if (inside_ && !PointerOver()) {
        inside_ = false;
        button_->MouseLeave();
    }
}

bool TKButtonWindow::OnContextMenu(LPARAM lp) {
    if (!popup_) return false;  // the parent's menu, if it has one
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (lp == -1) GetCursorPos(&pt);
    HWND owner = GetParent(hwnd_);
    TrackPopupMenu(popup_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0,
                   owner ? owner : hwnd_, nullptr);
    return true;
}

void TKButtonWindow::OnSetText(const wchar_t* text) {
    std::u16string caption;
    if (text)
        for (const wchar_t* p = text; *p; ++p) caption += static_cast<char16_t>(*p);
    button_->SetCaption(caption);
}

}  // namespace movrek
