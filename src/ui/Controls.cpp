#include "ui/Controls.h"

#include <commctrl.h>
#include <shellapi.h>

namespace movrek::ui {

namespace {

// A standard control, visible, with the id its notifications carry (0 for none).
HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, const Place& p,
                 HWND parent, int id) {
    return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, p.left, p.top,
                           p.width, p.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

// Before the control is first shown, so without a redraw.
void SetInitialFont(HWND control, HFONT font) {
    if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void FitDropDown(HWND combo, int width, int lines) {
    // The visual-styles list honours CB_SETMINVISIBLE; the classic one takes the height of
    // the control as the height of field plus open list.
    SendMessageW(combo, CB_SETMINVISIBLE, static_cast<WPARAM>(lines), 0);
    // GetWindowRect of a drop-down list gives the closed field.
    RECT closed{};
    GetWindowRect(combo, &closed);
    const int item = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    SetWindowPos(combo, nullptr, 0, 0, width, (closed.bottom - closed.top) + lines * item + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FillDropDown(HWND combo, const std::vector<std::u16string>& items) {
    SendMessageW(combo, WM_SETREDRAW, FALSE, 0);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const auto& it : items) {
        const std::wstring w = Wide(it);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
    }
    SendMessageW(combo, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(combo, nullptr, TRUE);
}

}  // namespace

// ---------------------------------------------------------------- Control

void Control::Move(int left, int top) {
    SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::Resize(int width, int height) {
    SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetBounds(int left, int top, int width, int height) {
    SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

static RECT BoundsInParent(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT Control::Bounds() const { return BoundsInParent(hwnd_); }

void Control::Show(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

bool Control::Visible() const { return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }

void Control::SetFont(HFONT font) { SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

void Control::SetText(std::u16string_view text) {
    const std::wstring w = Wide(text);
    SetWindowTextW(hwnd_, w.c_str());
}

std::u16string Control::Text() const { return WindowText(hwnd_); }

// ---------------------------------------------------------------- Label

bool Label::Create(Window& parent, const LabelArgs& a) {
    parent_ = &parent;
    autoSize_ = a.autoSize;
    const DWORD style = SS_NOPREFIX | (a.rightAligned ? SS_RIGHT : SS_LEFTNOWORDWRAP);
    hwnd_ = CreateChild(L"STATIC", a.text, style, a.place, parent.Handle(), 0);
    if (!hwnd_) return false;
    parent.SetChildTextColor(hwnd_, a.color);
    SetFont(a.font);
    return true;
}

void Label::SetText(std::u16string_view text) {
    Control::SetText(text);
    // A running clock rewrites its label every second; measuring it each time costs more
    // than all the rest. The static control repaints its own new text.
    if (autoSize_ && measuredValid_ && SameWidthAsMeasured(Wide(text))) return;
    FitToText();
}

// The width can only change with the font (SetFont measures anew) or the text. GDI adds up
// whole-pixel advance widths without kerning, so a text that differs from the measured one
// only in which digits it holds is as wide, provided the font's digits are all equally
// wide; a font with proportional digits is measured for every new text.
bool Label::SameWidthAsMeasured(const std::wstring& text) const {
    if (text == measured_) return true;
    if (!evenDigits_ || text.size() != measured_.size()) return false;
    auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != measured_[i] && !(digit(text[i]) && digit(measured_[i]))) return false;
    return true;
}

void Label::SetFont(HFONT font) {
    Control::SetFont(font);
    FitToText();
}

void Label::SetColor(COLORREF color) {
    if (parent_) parent_->SetChildTextColor(hwnd_, color);
}

int Label::Width() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r.right - r.left;
}

int Label::Height() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r.bottom - r.top;
}

void Label::FitToText() {
    if (!autoSize_ || !hwnd_) return;
    const std::wstring text = Wide(Text());
    WindowDc dc(hwnd_);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    Selected sel(dc.Get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    SIZE size{};
    if (!text.empty()) GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc.Get(), &tm);
    INT digits[10] = {};
    evenDigits_ = GetCharWidth32W(dc.Get(), L'0', L'9', digits) != FALSE;
    for (INT w : digits) evenDigits_ = evenDigits_ && w == digits[0];
    measured_ = text;
    measuredValid_ = true;
    Resize(size.cx, tm.tmHeight);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// ---------------------------------------------------------------- ComboBox

bool ComboBox::Create(HWND parent, const ComboArgs& a) {
    width_ = a.place.width;
    hwnd_ = CreateChild(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, a.place,
                        parent, a.id);
    if (!hwnd_) return false;
    SetInitialFont(hwnd_, a.font);
    SetDropDownLines(a.dropDownLines);
    return true;
}

void ComboBox::SetDropDownLines(int lines) {
    lines_ = lines > 0 ? lines : 1;
    FitDropDown(hwnd_, width_, lines_);
}

void ComboBox::SetItems(const std::vector<std::u16string>& items) { FillDropDown(hwnd_, items); }

int ComboBox::Count() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }

int ComboBox::Selected() const {
    const LRESULT r = SendMessageW(hwnd_, CB_GETCURSEL, 0, 0);
    return r == CB_ERR ? -1 : static_cast<int>(r);
}

void ComboBox::Select(int index) {
    if (index < 0 || index >= Count()) index = -1;
    SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// ---------------------------------------------------------------- EditComboBox

bool EditComboBox::Create(HWND parent, const ComboArgs& a) {
    hwnd_ = CreateChild(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                        a.place, parent, a.id);
    if (!hwnd_) return false;
    SetInitialFont(hwnd_, a.font);
    FitDropDown(hwnd_, a.place.width, a.dropDownLines > 0 ? a.dropDownLines : 1);
    return true;
}

void EditComboBox::SetItems(const std::vector<std::u16string>& items) { FillDropDown(hwnd_, items); }

// ---------------------------------------------------------------- PushButton

bool PushButton::Create(HWND parent, const ButtonArgs& a) {
    hwnd_ = CreateChild(L"BUTTON", a.text, WS_TABSTOP | BS_PUSHBUTTON, a.place, parent, a.id);
    if (!hwnd_) return false;
    SetInitialFont(hwnd_, a.font);
    return true;
}

// ---------------------------------------------------------------- CheckBox

bool CheckBox::Create(HWND parent, const ButtonArgs& a) {
    hwnd_ = CreateChild(L"BUTTON", a.text, WS_TABSTOP | BS_AUTOCHECKBOX, a.place, parent, a.id);
    if (!hwnd_) return false;
    SetInitialFont(hwnd_, a.font);
    return true;
}

bool CheckBox::Checked() const { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) {
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// ---------------------------------------------------------------- IconPicture

bool IconPicture::Create(HWND parent, const IconPictureArgs& a) {
    // SS_NOTIFY: without it a static sends no clicks.
    hwnd_ = CreateChild(L"STATIC", nullptr, SS_ICON | SS_NOTIFY, a.place, parent, a.id);
    if (!hwnd_) return false;
    if (a.icon) SendMessageW(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(a.icon), 0);
    return true;
}

// ---------------------------------------------------------------- Separator

bool Separator::Create(HWND parent, const SeparatorArgs& a) {
    hwnd_ = CreateChild(L"STATIC", L"", SS_ETCHEDHORZ, a.place, parent, 0);
    if (!hwnd_) return false;
    // Wine widens an etched line at creation; the layout wants it as given.
    SetBounds(a.place.left, a.place.top, a.place.width, a.place.height);
    return true;
}

// ---------------------------------------------------------------- Panel

bool Panel::Create(HWND parent, const PanelArgs& a) {
    brush_.Reset(CreateSolidBrush(a.color));
    WindowArgs w;
    w.className = L"MovrekPanel";
    w.style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    w.exStyle = WS_EX_CONTROLPARENT;
    w.left = a.place.left;
    w.top = a.place.top;
    w.width = a.place.width;
    w.height = a.place.height;
    w.parent = parent;
    w.id = a.id;
    return CreateWindowFrom(w);
}

void Panel::SetColor(COLORREF color) {
    brush_.Reset(CreateSolidBrush(color));
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

void Panel::SetBounds(int left, int top, int width, int height) {
    SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT Panel::Bounds() const { return BoundsInParent(Handle()); }

void Panel::Show(bool visible) { ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE); }

LRESULT Panel::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: {
            RECT r{};
            GetClientRect(Handle(), &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, brush_.Get());
            return 1;
        }
        case WM_COMMAND:
        case WM_NOTIFY:
            // The controls' owner is the window the panel sits on.
            return SendMessageW(GetParent(Handle()), msg, wp, lp);
        default:
            return Default(msg, wp, lp);
    }
}

// ---------------------------------------------------------------- ImageList

bool ImageList::Create(int width, int height) {
    list_.Reset(ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 1, 1));
    return static_cast<bool>(list_);
}

int ImageList::AddIcon(HICON icon) { return list_ ? ImageList_ReplaceIcon(list_.Get(), -1, icon) : -1; }

void ImageList::Draw(HDC dc, int index, int x, int y) const {
    if (list_ && index >= 0) ImageList_Draw(list_.Get(), index, dc, x, y, ILD_TRANSPARENT);
}

int ImageList::Count() const { return list_ ? ImageList_GetImageCount(list_.Get()) : 0; }

// ---------------------------------------------------------------- PopupMenu

bool PopupMenu::Create(const MenuItemDef* items, size_t count, UINT commandBase) {
    base_ = commandBase;
    menu_.Reset(CreatePopupMenu());
    if (!menu_) return false;
    std::vector<ACCEL> keys;
    for (size_t i = 0; i < count; ++i) {
        const MenuItemDef& it = items[i];
        if (!it.separator && it.shortcut)
            keys.push_back(ACCEL{FVIRTKEY, it.shortcut, static_cast<WORD>(base_ + it.tag)});
        if (!it.visible) continue;
        if (it.separator)
            AppendMenuW(menu_.Get(), MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(menu_.Get(), MF_STRING, base_ + static_cast<UINT>(it.tag), it.caption);
    }
    if (!keys.empty()) accel_.Reset(CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size())));
    return true;
}

void PopupMenu::Popup(HWND owner, POINT p) {
    // The menu closes when the user clicks elsewhere only if its owner is in front; the
    // empty message afterwards lets the platform finish closing it.
    SetForegroundWindow(owner);
    TrackPopupMenu(menu_.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0, owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
}

// ---------------------------------------------------------------- TrayIcon

UINT TrayIcon::TaskbarCreatedMessage() {
    static const UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
    return msg;
}

bool TrayIcon::Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, std::wstring_view tip) {
    data_ = NOTIFYICONDATAW{};
    data_.cbSize = sizeof data_;
    data_.hWnd = owner;
    data_.uID = id;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = callbackMessage;
    data_.hIcon = icon;
    const size_t n = tip.size() < 127 ? tip.size() : 127;
    tip.copy(data_.szTip, n);
    data_.szTip[n] = L'\0';
    shown_ = Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
    if (shown_) SetVersion();
    return shown_;
}

void TrayIcon::SetVersion() {
    // Asked again after every add: the shell forgets it with the icon.
    NOTIFYICONDATAW v = data_;
    v.uVersion = NOTIFYICON_VERSION_4;
    version4_ = Shell_NotifyIconW(NIM_SETVERSION, &v) != FALSE;
}

bool TrayIcon::Restore() {
    if (!data_.hWnd) return false;
    // An add that timed out may still have placed the icon; then it can be modified.
    shown_ = Shell_NotifyIconW(NIM_ADD, &data_) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &data_) != FALSE;
    if (shown_) SetVersion();
    return shown_;
}

void TrayIcon::Remove() {
    if (data_.hWnd) Shell_NotifyIconW(NIM_DELETE, &data_);
    shown_ = false;
    data_.hWnd = nullptr;
}

// ---------------------------------------------------------------- ColorChooser

bool ColorChooser::AddCustomColor(std::wstring_view entry) {
    // "ColorX=RRGGBB-as-0xBBGGRR"
    constexpr std::wstring_view prefix = L"Color";
    if (entry.size() < prefix.size() + 3 || entry.substr(0, prefix.size()) != prefix) return false;
    const wchar_t slot = entry[prefix.size()];
    if (slot < L'A' || slot > L'P' || entry[prefix.size() + 1] != L'=') return false;
    const std::wstring_view hex = entry.substr(prefix.size() + 2);
    if (hex.empty() || hex.size() > 6) return false;
    COLORREF value = 0;
    for (wchar_t c : hex) {
        int d;
        if (c >= L'0' && c <= L'9') d = c - L'0';
        else if (c >= L'A' && c <= L'F') d = c - L'A' + 10;
        else if (c >= L'a' && c <= L'f') d = c - L'a' + 10;
        else return false;
        value = value * 16 + static_cast<COLORREF>(d);
    }
    custom_[slot - L'A'] = value;
    return true;
}

bool ColorChooser::Execute(HWND owner, COLORREF& color) {
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = color;
    cc.lpCustColors = custom_;
    cc.Flags = CC_RGBINIT;
    // The chooser's library brings the print spooler and its libraries with it: megabytes and
    // start-up time for a dialog most runs never open, so it is loaded on first use.
    if (!library_) library_ = LoadSystemLibrary(L"comdlg32.dll");
    const auto choose = LibraryFunction<BOOL(WINAPI*)(LPCHOOSECOLORW)>(library_, "ChooseColorW");
    if (!choose || !choose(&cc)) return false;
    color = cc.rgbResult;
    return true;
}

// ---------------------------------------------------------------- message boxes, fonts

void ShowMessage(HWND owner, std::wstring_view text) {
    const std::wstring t(text);
    MessageBoxW(owner, t.c_str(), L"Movrek", MB_OK);
}

int AskQuestion(HWND owner, std::wstring_view text, std::wstring_view title, UINT flags) {
    const std::wstring t(text), c(title);
    return MessageBoxW(owner, t.c_str(), c.c_str(), flags);
}

Font MakeFont(std::wstring_view face, int height) {
    const std::wstring f(face);
    return Font(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, f.c_str()));
}

}  // namespace movrek::ui
