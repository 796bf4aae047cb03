#include "controls/Kbutton_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

#include "ui/Accessible_win.h"

namespace movrek {

namespace {

HFONT OrDefault(HFONT font) {
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// A reader's accDoDefaultAction returns before the click runs: the click may open a modal
// dialog or close the window, which the reader must not wait for.
constexpr UINT kDefaultActionMessage = WM_APP + 0x41;

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

GdiTextRenderer::GdiTextRenderer() : measureDc_(CreateCompatibleDC(nullptr)) {
    if (!measureDc_) throw std::bad_alloc();
}

TextRenderer::Extent GdiTextRenderer::Measure(std::u16string_view text) {
    ui::Selected font(measureDc_.Get(), OrDefault(font_));
    const std::wstring wide = Wide(text);
    SIZE size{};
    if (!GetTextExtentPoint32W(measureDc_.Get(), wide.c_str(), static_cast<int>(wide.size()),
                               &size))
        return {};
    return {size.cx, size.cy};
}

void GdiTextRenderer::DrawOn(HDC dc, int x, int y, std::u16string_view text, Color c) {
    ui::Selected font(dc, OrDefault(font_));
    const std::wstring wide = Wide(text);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, c);
    const UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
    SetTextAlign(dc, oldAlign);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
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

// ---------------------------------------------------------------- TKButtonAccessible

// The button as screen readers see it: a push button with the reading its owner gives. A
// reader may hold it after the window has gone; it then answers that it is disconnected.
class TKButtonAccessible final : public ui::AccessibleObject {
public:
    explicit TKButtonAccessible(TKButtonWindow& button) : button_(&button) {}
    void Disconnect() { button_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) &&
            !IsEqualIID(riid, ui::kIidAccessible))
            return E_NOINTERFACE;
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }


    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        HWND h = Hwnd();
        if (!h) return CO_E_OBJNOTCONNECTED;
        // The client object's parent is the same window's window object.
        const ui::AccessibilityApi* api = ui::Accessibility();
        if (!api) return E_FAIL;
        return api->createStdAccessibleObject(h, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return Hwnd() ? S_OK : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
        if (!child) return E_POINTER;
        *child = nullptr;
        return E_INVALIDARG;  // no children
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
        return Text(child, out, &ButtonReading::name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
        return Text(child, out, &ButtonReading::value);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
        return Text(child, out, &ButtonReading::defaultAction);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override { return None(child, out); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override { return None(child, out); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override { return None(child, out); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        role->vt = VT_EMPTY;
        if (!ui::IsSelf(child)) return E_INVALIDARG;
        if (!Hwnd()) return CO_E_OBJNOTCONNECTED;
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_PUSHBUTTON;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        state->vt = VT_EMPTY;
        if (!ui::IsSelf(child)) return E_INVALIDARG;
        HWND h = Hwnd();
        if (!h) return CO_E_OBJNOTCONNECTED;
        const TKButton& model = button_->Button();
        long s = 0;
        if (!IsWindowVisible(h)) s |= STATE_SYSTEM_INVISIBLE;
        if (!model.Enabled()) s |= STATE_SYSTEM_UNAVAILABLE;
        if (model.PressFlag()) s |= STATE_SYSTEM_PRESSED;
        if (model.State() == TKButtonState::Entered) s |= STATE_SYSTEM_HOTTRACKED;
        if (GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP) s |= STATE_SYSTEM_FOCUSABLE;
        if (GetFocus() == h) s |= STATE_SYSTEM_FOCUSED;
        const ButtonReading r = button_->Reading();
        if (r.expandable) s |= r.expanded ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
        state->vt = VT_I4;
        state->lVal = s;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        if (!child) return E_POINTER;
        child->vt = VT_EMPTY;
        HWND h = Hwnd();
        if (!h) return CO_E_OBJNOTCONNECTED;
        if (GetFocus() != h) return S_FALSE;
        child->vt = VT_I4;
        child->lVal = CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        if (!children) return E_POINTER;
        children->vt = VT_EMPTY;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* hgt, VARIANT child) override {
        if (!x || !y || !w || !hgt) return E_POINTER;
        *x = *y = *w = *hgt = 0;
        if (!ui::IsSelf(child)) return E_INVALIDARG;
        HWND h = Hwnd();
        if (!h) return CO_E_OBJNOTCONNECTED;
        RECT r{};
        if (!GetWindowRect(h, &r)) return E_FAIL;
        *x = r.left;
        *y = r.top;
        *w = r.right - r.left;
        *hgt = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT, VARIANT* end) override {
        if (end) end->vt = VT_EMPTY;
        return DISP_E_MEMBERNOTFOUND;  // the parent's children are the siblings
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        if (!child) return E_POINTER;
        child->vt = VT_EMPTY;
        HWND h = Hwnd();
        if (!h) return CO_E_OBJNOTCONNECTED;
        RECT r{};
        GetWindowRect(h, &r);
        if (!PtInRect(&r, POINT{x, y})) return S_FALSE;
        child->vt = VT_I4;
        child->lVal = CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!ui::IsSelf(child)) return E_INVALIDARG;
        HWND h = Hwnd();
        if (!h) return CO_E_OBJNOTCONNECTED;
        if (!button_->Button().Enabled()) return DISP_E_MEMBERNOTFOUND;
        return PostMessageW(h, kDefaultActionMessage, 0, 0) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~TKButtonAccessible() = default;

    HWND Hwnd() const { return button_ ? button_->Hwnd() : nullptr; }

    HRESULT Text(const VARIANT& child, BSTR* out, std::u16string ButtonReading::*field) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!ui::IsSelf(child)) return E_INVALIDARG;
        if (!Hwnd()) return CO_E_OBJNOTCONNECTED;
        *out = ui::MakeBstr(button_->Reading().*field);
        return *out ? S_OK : S_FALSE;
    }
    HRESULT None(const VARIANT& child, BSTR* out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!ui::IsSelf(child)) return E_INVALIDARG;
        return Hwnd() ? S_FALSE : CO_E_OBJNOTCONNECTED;
    }

    TKButtonWindow* button_;  // not owned; null once the button has gone
};

// ---------------------------------------------------------------- TKButtonWindow

TKButtonWindow::TKButtonWindow() {
    auto work = std::make_unique<DibBitmap>();
    work_ = work.get();
    button_ = std::make_unique<TKButton>(text_, std::move(work));
    button_->SetParentColor(GetSysColor(COLOR_BTNFACE));
}

TKButtonWindow::TKButtonWindow(const TKButtonCreate& args) : TKButtonWindow() {
    if (!CreateButtonWindow(args, kClassName))
        throw std::runtime_error("TKButton: Windows refused to create the button window");
}

TKButtonWindow::~TKButtonWindow() { DisconnectReaders(); }

ButtonReading TKButtonWindow::Reading() const {
    if (reading_) return reading_();
    ButtonReading r;
    r.name = CaptionName(button_->Caption());
    r.defaultAction = kPressAction;
    return r;
}

void TKButtonWindow::ReadingChanged(bool name, bool states) {
    if (!Handle()) return;
    if (name) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, Handle(), OBJID_CLIENT, CHILDID_SELF);
    if (states) NotifyWinEvent(EVENT_OBJECT_STATECHANGE, Handle(), OBJID_CLIENT, CHILDID_SELF);
}

LRESULT TKButtonWindow::OnGetObject(WPARAM wp, LPARAM lp) {
    if (!ui::AsksForClient(lp)) return Default(WM_GETOBJECT, wp, lp);
    if (!ui::Accessibility()) return 0;
    // One object for the button's life, so a reader sees the same one each time it asks.
    if (!accessible_) accessible_ = new (std::nothrow) TKButtonAccessible(*this);
    return ui::AnswerGetObject(wp, accessible_);
}

void TKButtonWindow::DisconnectReaders() {
    if (!accessible_) return;
    accessible_->Disconnect();
    accessible_->Release();
    accessible_ = nullptr;
}

bool TKButtonWindow::CreateButtonWindow(const TKButtonCreate& args, const wchar_t* className) {
    ui::WindowArgs w;
    w.className = className;
    w.style = WS_CHILD | WS_CLIPSIBLINGS | (args.visible ? WS_VISIBLE : 0);
    w.left = args.left;
    w.top = args.top;
    w.width = args.width;
    w.height = args.height;
    w.parent = args.parent;
    w.id = args.controlId;
    w.classStyle = 0;  // no CS_DBLCLKS: the second press of a double click is a press of its own
    if (!CreateWindowFrom(w)) return false;

    HFONT parentFont = args.parent
        ? reinterpret_cast<HFONT>(SendMessageW(args.parent, WM_GETFONT, 0, 0))
        : nullptr;
    text_.SetFont(OrDefault(parentFont));
    OnWindowPosChanged();
    button_->OnInvalidate = [this] {
        if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
    };
    InvalidateRect(Handle(), nullptr, FALSE);
    return true;
}

void TKButtonWindow::SetBounds(int left, int top, int width, int height) {
    if (Handle())
        SetWindowPos(Handle(), nullptr, left, top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TKButtonWindow::SetVisible(bool visible) {
    if (Handle()) ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

void TKButtonWindow::SetEnabled(bool enabled) {
    button_->SetEnabled(enabled);
    if (enabled && Handle() && !IsWindowEnabled(Handle())) EnableWindow(Handle(), TRUE);
}

void TKButtonWindow::SetCaption(std::u16string_view caption) {
    if (Handle())
        SetWindowTextW(Handle(), Wide(caption).c_str());  // WM_SETTEXT passes it to the model
    else
        button_->SetCaption(caption);
}

void TKButtonWindow::SetFont(std::u16string_view face, int pointSize) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(pointSize, 96, 72);  // layout is fixed at 96 dpi
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    const std::wstring wide = Wide(face);
    std::copy_n(wide.begin(), std::min<size_t>(wide.size(), LF_FACESIZE - 1), lf.lfFaceName);
    ui::Font font(CreateFontIndirectW(&lf));
    if (!font) return;  // keep the current font
    text_.SetFont(font.Get());
    ownedFont_ = std::move(font);  // the old one goes once nothing draws with it
    button_->FontChanged();
}

void TKButtonWindow::SetFontHandle(HFONT font) {
    text_.SetFont(OrDefault(font));
    if (ownedFont_ && ownedFont_.Get() != font) ownedFont_.Reset();
    button_->FontChanged();
}

bool TKButtonWindow::SetGlyphResource(HINSTANCE module, int resourceId) {
    Bitmap picture;
    if (!LoadBitmapResource(module, resourceId, picture)) return false;
    button_->SetGlyph(picture);
    return true;
}

void TKButtonWindow::PaintTo(HDC dc) {
    const Bitmap& work = button_->Paint();
    GdiFlush();
    BitBlt(dc, 0, 0, work.Width(), work.Height(), work_->Dc(), 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------- messages

// A handler that raises an event may see its button destroyed, so handlers touch nothing
// after it.
LRESULT TKButtonWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // nothing is erased: every pixel is painted by the one BitBlt
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_PRINTCLIENT:
            PaintTo(reinterpret_cast<HDC>(wp));
            return 0;
        case WM_WINDOWPOSCHANGED:
            OnWindowPosChanged();
            break;
        case WM_MOUSEMOVE:
            OnMouseMove(wp, lp);
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return 0;
        case WM_LBUTTONDOWN:
            OnButtonDown(MouseButton::Left, wp, lp);
            return 0;
        case WM_LBUTTONUP:
            OnButtonUp(MouseButton::Left, wp, lp);
            return 0;
        case WM_RBUTTONDOWN:
            OnButtonDown(MouseButton::Right, wp, lp);
            return 0;
        case WM_RBUTTONUP: {
            // DefWindowProc turns the release into WM_CONTEXTMENU; keep the window handle in
            // case the event handler destroyed the button.
            HWND hwnd = Handle();
            OnButtonUp(MouseButton::Right, wp, lp);
            if (IsWindow(hwnd)) DefWindowProcW(hwnd, msg, wp, lp);
            return 0;
        }
        case WM_MBUTTONDOWN:
            OnButtonDown(MouseButton::Middle, wp, lp);
            return 0;
        case WM_MBUTTONUP:
            OnButtonUp(MouseButton::Middle, wp, lp);
            return 0;
        case WM_CAPTURECHANGED:
            OnCaptureChanged(reinterpret_cast<HWND>(lp));
            return 0;
        case WM_CONTEXTMENU:
            if (OnContextMenu(lp)) return 0;
            break;
        case WM_SETTEXT: {
            const LRESULT result = Default(msg, wp, lp);
            const auto* text = reinterpret_cast<const wchar_t*>(lp);
            button_->SetCaption(text ? Narrow16(text) : std::u16string());
            return result;
        }
        case WM_SETFONT:
            SetFontHandle(reinterpret_cast<HFONT>(wp));
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(text_.Font());
        case WM_GETOBJECT:
            return OnGetObject(wp, lp);
        case kDefaultActionMessage:
            // What a press and release on the button would do, without the pointer.
            button_->Click();
            return 0;
        case WM_NCDESTROY:
            inside_ = tracking_ = false;
            DisconnectReaders();
            break;
        default:
            break;
    }
    return Default(msg, wp, lp);
}

void TKButtonWindow::OnPaint() {
    ui::PaintDc dc(Handle());
    if (dc.Get()) PaintTo(dc.Get());
}

void TKButtonWindow::OnWindowPosChanged() {
    RECT r{};
    GetWindowRect(Handle(), &r);
    HWND parent = GetParent(Handle());
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    button_->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

bool TKButtonWindow::PointerOver() const {
    POINT pt;
    return GetCursorPos(&pt) && WindowFromPoint(pt) == Handle();
}

void TKButtonWindow::TrackLeave() {
    if (tracking_) return;
    TRACKMOUSEEVENT t{};
    t.cbSize = sizeof(t);
    t.dwFlags = TME_LEAVE;
    t.hwndTrack = Handle();
    tracking_ = TrackMouseEvent(&t) != FALSE;
}

void TKButtonWindow::OnMouseMove(WPARAM wp, LPARAM lp) {
    const MouseArgs args = ArgsFrom(MouseButton::Left, wp, lp);
    RECT client{};
    GetClientRect(Handle(), &client);
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
    if (GetCapture() == Handle() || !inside_) return;  // while captured, moves report leaving
    inside_ = false;
    button_->MouseLeave();
}

void TKButtonWindow::OnButtonDown(MouseButton button, WPARAM wp, LPARAM lp) {
    if (button == MouseButton::Left) SetCapture(Handle());
    button_->MouseDown(ArgsFrom(button, wp, lp));
}

void TKButtonWindow::OnButtonUp(MouseButton button, WPARAM wp, LPARAM lp) {
    const MouseArgs args = ArgsFrom(button, wp, lp);
    if (button == MouseButton::Left && GetCapture() == Handle()) {
        releasing_ = true;
        ReleaseCapture();
        releasing_ = false;
    }
    std::weak_ptr<int> alive = life_;
    RECT client{};
    GetClientRect(Handle(), &client);
    const POINT pt{args.x, args.y};
    if (inside_ && !PtInRect(&client, pt)) {
        // Released outside without a move reporting it first: leave, then release.
        inside_ = false;
        button_->MouseLeave();
        if (alive.expired()) return;
    }
    button_->MouseUp(args);
}

void TKButtonWindow::OnCaptureChanged(HWND newCapture) {
    if (releasing_ || newCapture == Handle()) return;
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
    HWND owner = GetParent(Handle());
    TrackPopupMenu(popup_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0,
                   owner ? owner : Handle(), nullptr);
    return true;
}

// ---------------------------------------------------------------- PictureButton

bool PictureButton::Create(HWND parent, const PictureButtonArgs& a) {
    images_ = a.images;
    index_ = a.imageIndex;
    face_ = a.faceColor;
    const int id = a.id;
    Button().SetReleaseOutsideClicks(false);
    Button().OnClick = [this, id](TKButton&) {
        SendMessageW(GetParent(Handle()), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Handle()));
    };
    TKButtonCreate c;
    c.parent = parent;
    c.left = a.place.left;
    c.top = a.place.top;
    c.width = a.place.width;
    c.height = a.place.height;
    c.controlId = id;
    if (!CreateButtonWindow(c, L"MovrekPictureButton")) return false;
    if (a.hint) {
        hint_ = a.hint;
        SetReading([name = CaptionName(Narrow16(hint_))] {
            return ButtonReading{name, {}, std::u16string(kPressAction)};
        });
        // The tooltip belongs to the top-level window and goes with it.
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   GetAncestor(parent, GA_ROOT), nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        if (tooltip_) {
            TOOLINFOW ti{};
            ti.cbSize = sizeof ti;
            ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            ti.hwnd = parent;
            ti.uId = reinterpret_cast<UINT_PTR>(Handle());
            ti.lpszText = hint_.data();
            SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }
    return true;
}

void PictureButton::SetImage(const ui::ImageList* images, int index) {
    images_ = images;
    index_ = index;
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

// Sunken for the whole press, even while the pointer is away; raised under the pointer.
void PictureButton::PaintTo(HDC dc) {
    RECT r{};
    GetClientRect(Handle(), &r);
    ui::Brush face(CreateSolidBrush(face_));
    FillRect(dc, &r, face.Get());
    const bool down = Button().PressFlag();
    if (down)
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    else if (Button().State() == TKButtonState::Entered)
        DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    if (images_) {
        constexpr int cx = 16, cy = 16;
        const int shift = down ? 1 : 0;
        images_->Draw(dc, index_, (r.right - cx) / 2 + shift, (r.bottom - cy) / 2 + shift);
    }
}

}  // namespace movrek
