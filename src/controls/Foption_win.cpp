#include "controls/Foption_win.h"

#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace movrek {

namespace {

using P = OptionPart;

enum class Kind { Label, Image, Panel, Separator, CheckBox, List, EditCombo, Swatch, Button };
enum class FontKind { Form, Title, Small };

// The form itself as a container.
constexpr P kForm = P::Count;

struct Component {
    P part;
    P container;
    Kind kind;
    int left, top, width, height;
    const char16_t* text = u"";
    FontKind font = FontKind::Form;
    bool visible = true;
    int dropDownLines = 8;
};

// Positions in pixels relative to the container, at 96 dpi without scaling. Creation order is
// the keyboard order: inside the first panel the check box, the font name, the height and the
// label list, and the hidden alarm-row count last.
constexpr Component kComponents[] = {
    {P::LabelAbort, kForm, Kind::Label, 19, 8, 60, 22, u"Movrek", FontKind::Title},
    {P::LabelVersion, kForm, Kind::Label, 91, 16, 63, 12, u"", FontKind::Small},
    {P::ImageVoice, kForm, Kind::Image, 155, 11, 16, 16},
    {P::LabelCopyright, kForm, Kind::Label, 19, 32, 155, 12, u"", FontKind::Small},
    {P::PanelOption1, kForm, Kind::Panel, 8, 58, 214, 155},
    {P::Label4, P::PanelOption1, Kind::Label, 8, 0, 24, 13, u"設定"},
    {P::GroupBox1, P::PanelOption1, Kind::Separator, 40, 5, 170, 2},
    {P::CheckBoxAutoStart, P::PanelOption1, Kind::CheckBox, 12, 20, 192, 17,
     u"起動時、タイマーを自動スタートする"},
    {P::Label14, P::PanelOption1, Kind::Label, 11, 77, 37, 13, u"フォント:"},
    {P::ComboBoxFontName, P::PanelOption1, Kind::EditCombo, 59, 75, 150, 21},
    {P::Label15, P::PanelOption1, Kind::Label, 11, 103, 24, 13, u"高さ:"},
    {P::ComboBoxFontSize, P::PanelOption1, Kind::List, 59, 101, 36, 21},
    {P::Label6, P::PanelOption1, Kind::Label, 11, 130, 32, 13, u"ラベル:"},
    {P::ComboBoxTimeLabel, P::PanelOption1, Kind::EditCombo, 59, 127, 150, 21},
    {P::Label1, P::PanelOption1, Kind::Label, 11, 50, 40, 13, u"時報数:", FontKind::Form, false},
    {P::ComboBoxAlarmLine, P::PanelOption1, Kind::List, 59, 48, 36, 21, u"", FontKind::Form, false, 20},
    {P::PanelOptionColor, kForm, Kind::Panel, 8, 217, 214, 53},
    {P::Label5, P::PanelOptionColor, Kind::Label, 8, 0, 12, 13, u"色"},
    {P::GroupBox2, P::PanelOptionColor, Kind::Separator, 30, 5, 180, 2},
    {P::Label16, P::PanelOptionColor, Kind::Label, 12, 24, 40, 13, u"フォーム:"},
    {P::ButtonFormColor, P::PanelOptionColor, Kind::Swatch, 60, 20, 50, 22},
    {P::Label17, P::PanelOptionColor, Kind::Label, 122, 24, 28, 13, u"時間:"},
    {P::ButtonTimeColor, P::PanelOptionColor, Kind::Swatch, 160, 20, 50, 22},
    {P::PanelOptionVolume, kForm, Kind::Panel, 8, 276, 214, 53},
    {P::Label10, P::PanelOptionVolume, Kind::Label, 8, 0, 24, 13, u"音量"},
    {P::GroupBox4, P::PanelOptionVolume, Kind::Separator, 40, 5, 170, 2},
    {P::Label8, P::PanelOptionVolume, Kind::Label, 12, 24, 41, 13, u"アラーム:"},
    {P::ComboBoxVolAlarm, P::PanelOptionVolume, Kind::List, 59, 20, 52, 21, u"", FontKind::Form, true, 20},
    {P::Label9, P::PanelOptionVolume, Kind::Label, 122, 24, 28, 13, u"音声:"},
    {P::ComboBoxVolVoice, P::PanelOptionVolume, Kind::List, 156, 20, 52, 21, u"", FontKind::Form, true, 20},
    {P::ButtonOk, kForm, Kind::Button, 61, 343, 75, 25, u"OK"},
    {P::ButtonCancel, kForm, Kind::Button, 146, 343, 75, 25, u"キャンセル"},
};
static_assert(std::size(kComponents) == static_cast<size_t>(P::Count));

constexpr std::u16string_view kNotice = u"音声:tohoku-f01 CC BY 4.0";

// Window ids of the components; 1 and 2 stay free, so the dialog manager's IDOK and IDCANCEL
// (Enter and Escape) never look like a button of ours.
int IdOf(P part) { return 100 + static_cast<int>(part); }

const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

std::u16string WindowText(HWND h) {
    const int n = GetWindowTextLengthW(h);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(h, w.data(), n + 1);
    w.resize(static_cast<size_t>(got > 0 ? got : 0));
    return ui::Narrow16(w);
}

void SetText(HWND h, std::u16string_view text) {
    const std::wstring w = ui::Wide(text);
    SetWindowTextW(h, w.c_str());
}

// A classic combo box takes its window height as field plus open list.
void SetDropDownHeight(HWND combo, int width, int lines) {
    SendMessageW(combo, CB_SETMINVISIBLE, static_cast<WPARAM>(lines), 0);
    RECT closed{};
    GetWindowRect(combo, &closed);
    const int item = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    SetWindowPos(combo, nullptr, 0, 0, width, (closed.bottom - closed.top) + lines * item + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AddItems(HWND combo, const std::vector<std::u16string>& items) {
    for (const auto& it : items) {
        const std::wstring w = ui::Wide(it);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
    }
}

// The credit icon: a small speaker with sound waves, drawn in the 16 standard colours.
ui::Icon MakeVoiceIcon() {
    static constexpr const char* kPicture[16] = {
        "................",
        "................",
        "......K.........",
        ".....KK....B....",
        "....KGK.....B...",
        "KKKKGGK..B...B..",
        "KWWKGGK...B..B..",
        "KWWKGGK...B..B..",
        "KWWKGGK...B..B..",
        "KWWKGGK...B..B..",
        "KKKKGGK..B...B..",
        "....KGK.....B...",
        ".....KK....B....",
        "......K.........",
        "................",
        "................",
    };
    std::vector<DWORD> colour(16 * 16, 0);  // 0x00RRGGBB rows, top-down
    std::vector<BYTE> mask(16 * 2, 0);      // 1 bit per pixel, 1 = transparent
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            DWORD c = 0;
            switch (kPicture[y][x]) {
                case 'K': c = 0x000000; break;
                case 'G': c = 0x808080; break;
                case 'W': c = 0xFFFFFF; break;
                case 'B': c = 0x000080; break;
                default: mask[static_cast<size_t>(y * 2 + x / 8)] |= static_cast<BYTE>(0x80 >> (x % 8)); continue;
            }
            colour[static_cast<size_t>(y * 16 + x)] = c;
        }
    }
    ui::BitmapHandle colourBits(CreateBitmap(16, 16, 1, 32, colour.data()));
    ui::BitmapHandle maskBits(CreateBitmap(16, 16, 1, 1, mask.data()));
    if (!colourBits || !maskBits) return ui::Icon();
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colourBits.Get();
    info.hbmMask = maskBits.Get();
    return ui::Icon(CreateIconIndirect(&info));  // copies both bitmaps
}

int CALLBACK CollectFamily(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM lp) {
    try {
        auto* names = reinterpret_cast<std::vector<std::u16string>*>(lp);
        names->push_back(ui::Narrow16(lf->lfFaceName));
        return 1;
    } catch (...) {
        return 0;  // out of memory: stop with what we have
    }
}

}  // namespace

std::vector<std::u16string> InstalledFontNames() {
    std::vector<std::u16string> families;
    HDC dc = GetDC(nullptr);
    if (dc) {
        LOGFONTW lf{};
        lf.lfCharSet = DEFAULT_CHARSET;  // every family once per character set
        EnumFontFamiliesExW(dc, &lf, &CollectFamily, reinterpret_cast<LPARAM>(&families), 0);
        ReleaseDC(nullptr, dc);
    }
    return FontNameList(std::move(families));
}

// ---------------------------------------------------------------- TFormOption

TFormOption::TFormOption(OptionsHost& host, SwatchColors& colors) : host_(host), colors_(colors) {}

TFormOption::~TFormOption() {
    FormClose();
    if (ownerDisabled_ && IsWindow(owner_)) EnableWindow(owner_, TRUE);
    // The window goes before the fonts, brush and icon its controls use.
    if (Alive()) DestroyWindow(Handle());
}

bool TFormOption::Execute(HWND owner, OptionsHost& host, ui::ColorChooser& chooser) {
    struct OpenersChooser : SwatchColors {
        explicit OpenersChooser(ui::ColorChooser& c) : chooser(c) {}
        bool Choose(HWND dialog, COLORREF& colour) override { return chooser.Execute(dialog, colour); }
        ui::ColorChooser& chooser;
    } colors(chooser);
    TFormOption form(host, colors);
    if (!form.Create(owner)) throw std::runtime_error("オプション画面を作成できません");
    return form.ShowModal() == OptionResult::Ok;
}

bool TFormOption::Create(HWND owner) {
    if (Alive()) return false;
    owner_ = owner;
    faceBrush_.Reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    formFont_ = ui::MakeFont(L"Tahoma", -11);
    titleFont_ = ui::MakeFont(L"Arial", -19);
    smallFont_ = ui::MakeFont(L"MS UI Gothic", -12);
    voiceIcon_ = MakeVoiceIcon();

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT r{0, 0, kOptionClientWidth, kOptionClientHeight};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    ui::WindowArgs args;
    args.className = L"TFormOption";
    args.text = W(kOptionCaption.data());
    args.style = style;
    args.exStyle = exStyle;
    args.width = r.right - r.left;
    args.height = r.bottom - r.top;
    args.parent = owner;  // owned: stays above the opener
    if (!CreateWindowFrom(args)) return false;
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(formFont_.Get()), FALSE);

    // The frame's real thickness decides: correct the size until the client area is exact.
    RECT client{};
    GetClientRect(Handle(), &client);
    int width = args.width + (kOptionClientWidth - client.right);
    int height = args.height + (kOptionClientHeight - client.bottom);
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    try {
        if (!CreateComponents()) {
            DestroyWindow(Handle());
            return false;
        }
        FormCreate();
    } catch (...) {
        FormClose();
        if (Alive()) DestroyWindow(Handle());
        throw;
    }
    return true;
}

bool TFormOption::CreateComponents() {
    const HINSTANCE inst = GetModuleHandleW(nullptr);
    auto fontOf = [this](FontKind k) {
        switch (k) {
            case FontKind::Title: return titleFont_.Get();
            case FontKind::Small: return smallFont_.Get();
            default: return formFont_.Get();
        }
    };
    auto panelOf = [this](P part) -> ui::Panel* {
        switch (part) {
            case P::PanelOption1: return &panelOption1_;
            case P::PanelOptionColor: return &panelOptionColor_;
            case P::PanelOptionVolume: return &panelOptionVolume_;
            default: return nullptr;
        }
    };
    auto listOf = [this](P part) -> ui::ComboBox* {
        switch (part) {
            case P::ComboBoxAlarmLine: return &comboBoxAlarmLine_;
            case P::ComboBoxFontSize: return &comboBoxFontSize_;
            case P::ComboBoxVolAlarm: return &comboBoxVolAlarm_;
            case P::ComboBoxVolVoice: return &comboBoxVolVoice_;
            default: return nullptr;
        }
    };

    for (const Component& c : kComponents) {
        const size_t index = static_cast<size_t>(c.part);
        ui::Window& containerWindow = c.container == kForm ? static_cast<ui::Window&>(*this)
                                                           : static_cast<ui::Window&>(*panelOf(c.container));
        const HWND container = containerWindow.Handle();
        const HFONT font = fontOf(c.font);
        const ui::Place place{c.left, c.top, c.width, c.height};
        HWND h = nullptr;
        switch (c.kind) {
            case Kind::Label: {
                ui::LabelArgs a;
                a.place = place;
                a.text = W(c.text);
                a.autoSize = true;  // the texts take the room their font needs
                a.font = font;
                a.color = RGB(0, 0, 0);
                if (!labels_[index].Create(containerWindow, a)) return false;
                h = labels_[index].Handle();
                break;
            }
            case Kind::Image:
                h = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON | SS_NOTIFY,
                                    c.left, c.top, c.width, c.height, container,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(c.part))), inst, nullptr);
                if (h && voiceIcon_)
                    SendMessageW(h, STM_SETICON, reinterpret_cast<WPARAM>(voiceIcon_.Get()), 0);
                break;
            case Kind::Panel: {
                ui::PanelArgs a;
                a.place = place;
                a.color = GetSysColor(COLOR_BTNFACE);
                a.id = IdOf(c.part);
                if (!panelOf(c.part)->Create(container, a)) return false;
                h = panelOf(c.part)->Handle();
                break;
            }
            case Kind::Separator:
                // A group box two pixels high shows as an etched line.
                h = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, c.left,
                                    c.top, c.width, c.height, container, nullptr, inst, nullptr);
                // Wine widens an etched line at creation; the layout wants it as given.
                if (h) SetWindowPos(h, nullptr, c.left, c.top, c.width, c.height, SWP_NOZORDER | SWP_NOACTIVATE);
                break;
            case Kind::CheckBox:
                h = CreateWindowExW(0, L"BUTTON", W(c.text),
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, c.left, c.top,
                                    c.width, c.height, container,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(c.part))), inst, nullptr);
                if (h) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
                break;
            case Kind::List: {
                ui::ComboArgs a;
                a.place = place;
                a.id = IdOf(c.part);
                a.dropDownLines = c.dropDownLines;
                a.font = font;
                ui::ComboBox* list = listOf(c.part);
                if (!list->Create(container, a)) return false;
                h = list->Handle();
                break;
            }
            case Kind::EditCombo:
                h = CreateWindowExW(0, L"COMBOBOX", L"",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN |
                                        CBS_AUTOHSCROLL,
                                    c.left, c.top, c.width, c.height, container,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(c.part))), inst, nullptr);
                if (h) {
                    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
                    SetDropDownHeight(h, c.width, c.dropDownLines);
                }
                break;
            case Kind::Swatch: {
                TKButtonCreate a;
                a.parent = container;
                a.left = c.left;
                a.top = c.top;
                a.width = c.width;
                a.height = c.height;
                a.control_id = IdOf(c.part);
                const int tag = c.part == P::ButtonFormColor ? 0 : 1;
                auto swatch = std::make_unique<TKButtonWindow>(a);
                swatch->Button().SetStyle(ysSingle);
                swatch->Button().OnClick = [this, tag](TKButton&) { ColorButtonClick(tag); };
                h = swatch->Hwnd();
                (tag == 0 ? buttonFormColor_ : buttonTimeColor_) = std::move(swatch);
                break;
            }
            case Kind::Button: {
                ui::ButtonArgs a;
                a.place = place;
                a.text = W(c.text);
                a.id = IdOf(c.part);
                a.font = font;
                ui::PushButton b;
                if (!b.Create(Handle(), a)) return false;
                h = b.Handle();
                break;
            }
        }
        if (!h) return false;
        if (!c.visible) ShowWindow(h, SW_HIDE);
        parts_[index] = h;
    }
    return true;
}

void TFormOption::FormCreate() {
    labels_[static_cast<size_t>(P::LabelVersion)].SetText(std::u16string(u"Version ") + std::u16string(kOptionVersion));
    labels_[static_cast<size_t>(P::LabelCopyright)].SetText(kNotice);

    const HWND fontName = Part(P::ComboBoxFontName);
    AddItems(fontName, InstalledFontNames());
    comboBoxAlarmLine_.SetItems(AlarmLineItems());
    comboBoxFontSize_.SetItems(FontSizeItems());
    comboBoxVolAlarm_.SetItems(VolumeItems());
    comboBoxVolVoice_.SetItems(VolumeItems());
    AddItems(Part(P::ComboBoxTimeLabel), {u""});

    valuesAtOpen_ = host_.ReadOptions();
    const OptionControls c = ControlsFromValues(valuesAtOpen_);
    buttonFormColor_->Button().SetFaceColor(c.formColor);
    buttonTimeColor_->Button().SetFaceColor(c.timeColor);
    SendMessageW(Part(P::CheckBoxAutoStart), BM_SETCHECK, c.autoStart ? BST_CHECKED : BST_UNCHECKED, 0);
    comboBoxAlarmLine_.Select(c.alarmLineIndex);
    SetText(fontName, c.fontName);
    comboBoxFontSize_.Select(c.fontSizeIndex);
    SetText(Part(P::ComboBoxTimeLabel), c.timeLabel);
    comboBoxVolAlarm_.Select(c.volAlarmIndex);
    comboBoxVolVoice_.Select(c.volVoiceIndex);
}

OptionResult TFormOption::ShowModal() {
    if (!Alive()) return OptionResult::Cancel;
    if (owner_ && IsWindowEnabled(owner_)) {
        EnableWindow(owner_, FALSE);
        ownerDisabled_ = true;
    }
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(Part(P::CheckBoxAutoStart));

    bool quit = false;
    WPARAM quitCode = 0;
    MSG msg;
    while (result_ == OptionResult::None && Alive()) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (r < 0) break;
        // Tab and arrow keys move between the controls; Enter and Escape arrive as IDOK and
        // IDCANCEL commands, which OnCommand turns down.
        if (!IsDialogMessageW(Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (result_ == OptionResult::None) result_ = OptionResult::Cancel;
    // The opener is enabled before the dialog goes, so the platform activates it again.
    if (ownerDisabled_ && IsWindow(owner_)) EnableWindow(owner_, TRUE);
    ownerDisabled_ = false;
    FormClose();
    if (Alive()) DestroyWindow(Handle());
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return result_;
}

TKButtonWindow* TFormOption::Swatch(int tag) const {
    return tag == 0 ? buttonFormColor_.get() : tag == 1 ? buttonTimeColor_.get() : nullptr;
}

OptionControls TFormOption::ReadControls() const {
    OptionControls c;
    c.autoStart = SendMessageW(Part(P::CheckBoxAutoStart), BM_GETCHECK, 0, 0) == BST_CHECKED;
    c.alarmLineIndex = comboBoxAlarmLine_.Selected();
    c.fontName = WindowText(Part(P::ComboBoxFontName));
    c.fontSizeIndex = comboBoxFontSize_.Selected();
    c.formColor = buttonFormColor_ ? buttonFormColor_->Button().FaceColor() : valuesAtOpen_.FormColor;
    c.timeColor = buttonTimeColor_ ? buttonTimeColor_->Button().FaceColor() : valuesAtOpen_.TimeColor;
    c.timeLabel = WindowText(Part(P::ComboBoxTimeLabel));
    c.volAlarmIndex = comboBoxVolAlarm_.Selected();
    c.volVoiceIndex = comboBoxVolVoice_.Selected();
    return c;
}

void TFormOption::ColorButtonClick(int tag) {
    if (closing_) return;
    TKButtonWindow* swatch = Swatch(tag);
    if (!swatch) return;
    COLORREF chosen = swatch->Button().FaceColor() & 0xFFFFFF;
    if (!colors_.Choose(Handle(), chosen)) return;
    const std::uint32_t colour = chosen & 0xFFFFFF;
    // The dialog may have been closed while the chooser ran.
    if (closing_ || !Alive()) return;
    if ((swatch = Swatch(tag)) != nullptr) swatch->Button().SetFaceColor(colour);
}

void TFormOption::ButtonOkClick() {
    ApplyOptions(host_, ReadControls(), valuesAtOpen_);
}

void TFormOption::ImageVoiceClick() { host_.Talk(kVoiceCreditClip); }

void TFormOption::FormClose() {
    buttonFormColor_.reset();
    buttonTimeColor_.reset();
    parts_[static_cast<size_t>(P::ButtonFormColor)] = nullptr;
    parts_[static_cast<size_t>(P::ButtonTimeColor)] = nullptr;
}

void TFormOption::Close(OptionResult result) {
    if (result_ == OptionResult::None) result_ = result;
}

void TFormOption::OnCommand(int id, int code) {
    if (closing_) return;
    HWND focus = GetFocus();
    if (id == IDOK) {
        // Enter: only a focused push button acts on it, as a click of that button.
        if (focus == Part(P::ButtonOk)) id = IdOf(P::ButtonOk);
        else if (focus == Part(P::ButtonCancel)) id = IdOf(P::ButtonCancel);
        else return;
        code = BN_CLICKED;
    }
    if (code != BN_CLICKED) return;  // STN_CLICKED is BN_CLICKED's value too
    if (id == IdOf(P::ButtonOk)) {
        closing_ = true;
        // Closes even when applying fails; the failure itself reaches the exception box.
        struct CloseOk {
            TFormOption* self;
            ~CloseOk() { self->Close(OptionResult::Ok); }
        } closeOk{this};
        ButtonOkClick();
    } else if (id == IdOf(P::ButtonCancel)) {
        closing_ = true;
        Close(OptionResult::Cancel);
    } else if (id == IdOf(P::ImageVoice)) {
        ImageVoiceClick();
    }
}

LRESULT TFormOption::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: {
            RECT r{};
            GetClientRect(Handle(), &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, faceBrush_.Get());
            return 1;
        }
        case WM_COMMAND:
            OnCommand(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_ACTIVATE:
            // Like a dialog: the control that had the focus gets it back (after the colour
            // chooser, for instance).
            if (LOWORD(wp) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
            } else if (lastFocus_ && IsWindow(lastFocus_) && IsChild(Handle(), lastFocus_)) {
                SetFocus(lastFocus_);
                return 0;
            }
            return Default(msg, wp, lp);
        case WM_CLOSE:  // the close box, Alt+F4
            if (!closing_) {
                closing_ = true;
                Close(OptionResult::Cancel);
            }
            return 0;
        case WM_DESTROY:
            // Destroyed from outside (with its owner): the run ends as Cancel.
            Close(OptionResult::Cancel);
            return Default(msg, wp, lp);
        default:
            return Default(msg, wp, lp);
    }
}

}  // namespace movrek
