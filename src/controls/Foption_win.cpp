#include "controls/Foption_win.h"

#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/WinText_win.h"
#include "ui/Accessible_win.h"

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
    {P::PanelOptionSettings, kForm, Kind::Panel, 8, 58, 214, 155},
    {P::LabelSettings, P::PanelOptionSettings, Kind::Label, 8, 0, 24, 13, u"設定"},
    {P::SeparatorSettings, P::PanelOptionSettings, Kind::Separator, 40, 5, 170, 2},
    {P::CheckBoxAutoStart, P::PanelOptionSettings, Kind::CheckBox, 12, 20, 192, 17,
     u"起動時、タイマーを自動スタートする"},
    {P::LabelFontName, P::PanelOptionSettings, Kind::Label, 11, 77, 37, 13, u"フォント:"},
    {P::ComboBoxFontName, P::PanelOptionSettings, Kind::EditCombo, 59, 75, 150, 21},
    {P::LabelFontSize, P::PanelOptionSettings, Kind::Label, 11, 103, 24, 13, u"高さ:"},
    {P::ComboBoxFontSize, P::PanelOptionSettings, Kind::List, 59, 101, 36, 21},
    {P::LabelTimeLabel, P::PanelOptionSettings, Kind::Label, 11, 130, 32, 13, u"ラベル:"},
    {P::ComboBoxTimeLabel, P::PanelOptionSettings, Kind::EditCombo, 59, 127, 150, 21},
    {P::LabelAlarmLine, P::PanelOptionSettings, Kind::Label, 11, 50, 40, 13, u"時報数:", FontKind::Form, false},
    {P::ComboBoxAlarmLine, P::PanelOptionSettings, Kind::List, 59, 48, 36, 21, u"", FontKind::Form, false, 20},
    {P::PanelOptionColor, kForm, Kind::Panel, 8, 217, 214, 53},
    {P::LabelColor, P::PanelOptionColor, Kind::Label, 8, 0, 12, 13, u"色"},
    {P::SeparatorColor, P::PanelOptionColor, Kind::Separator, 30, 5, 180, 2},
    {P::LabelFormColor, P::PanelOptionColor, Kind::Label, 12, 24, 40, 13, u"フォーム:"},
    {P::ButtonFormColor, P::PanelOptionColor, Kind::Swatch, 60, 20, 50, 22},
    {P::LabelTimeColor, P::PanelOptionColor, Kind::Label, 122, 24, 28, 13, u"時間:"},
    {P::ButtonTimeColor, P::PanelOptionColor, Kind::Swatch, 160, 20, 50, 22},
    {P::PanelOptionVolume, kForm, Kind::Panel, 8, 276, 214, 53},
    {P::LabelVolume, P::PanelOptionVolume, Kind::Label, 8, 0, 24, 13, u"音量"},
    {P::SeparatorVolume, P::PanelOptionVolume, Kind::Separator, 40, 5, 170, 2},
    {P::LabelVolAlarm, P::PanelOptionVolume, Kind::Label, 12, 24, 41, 13, u"アラーム:"},
    {P::ComboBoxVolAlarm, P::PanelOptionVolume, Kind::List, 59, 20, 52, 21, u"", FontKind::Form, true, 20},
    {P::LabelVolVoice, P::PanelOptionVolume, Kind::Label, 122, 24, 28, 13, u"音声:"},
    {P::ComboBoxVolVoice, P::PanelOptionVolume, Kind::List, 156, 20, 52, 21, u"", FontKind::Form, true, 20},
    {P::ButtonOk, kForm, Kind::Button, 61, 343, 75, 25, u"OK"},
    {P::ButtonCancel, kForm, Kind::Button, 146, 343, 75, 25, u"キャンセル"},
};
static_assert(std::size(kComponents) == static_cast<size_t>(P::Count));

constexpr std::u16string_view kNotice = u"音声:tohoku-f01 CC BY 4.0";

// Window ids of the components; 1 and 2 stay free, so the dialog manager's IDOK and IDCANCEL
// (Enter and Escape) never look like a button of ours.
int IdOf(P part) { return 100 + static_cast<int>(part); }

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
        names->push_back(Narrow16(lf->lfFaceName));
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
    args.text = AsWide(kOptionCaption.data());
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
        // Named once filled: every message to a named control passes through its subclass,
        // and under Wine each pass asks the window manager twice.
        NameFromCaptions();
    } catch (...) {
        FormClose();
        if (Alive()) DestroyWindow(Handle());
        throw;
    }
    return true;
}

bool TFormOption::CreateComponents() {
    auto fontOf = [this](FontKind k) {
        switch (k) {
            case FontKind::Title: return titleFont_.Get();
            case FontKind::Small: return smallFont_.Get();
            default: return formFont_.Get();
        }
    };
    auto panelOf = [this](P part) -> ui::Panel* {
        switch (part) {
            case P::PanelOptionSettings: return &panelOptionSettings_;
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
    auto editOf = [this](P part) {
        return part == P::ComboBoxFontName ? &comboBoxFontName_ : &comboBoxTimeLabel_;
    };
    auto made = [](bool created, const auto& control) -> HWND {
        return created ? control.Handle() : nullptr;
    };

    for (const Component& c : kComponents) {
        const size_t index = static_cast<size_t>(c.part);
        ui::Window& container = c.container == kForm ? static_cast<ui::Window&>(*this)
                                                     : static_cast<ui::Window&>(*panelOf(c.container));
        const HWND parent = container.Handle();
        const HFONT font = fontOf(c.font);
        const ui::Place place{c.left, c.top, c.width, c.height};
        const int id = IdOf(c.part);
        HWND h = nullptr;
        switch (c.kind) {
            case Kind::Label: {
                // Every text takes the room its font needs.
                ui::Label& label = labels_[index];
                h = made(label.Create(container, {.place = place, .text = AsWide(c.text),
                                                  .autoSize = true, .font = font}),
                         label);
                break;
            }
            case Kind::Image: {
                ui::IconPicture picture;
                h = made(picture.Create(parent, {.place = place, .id = id, .icon = voiceIcon_.Get()}),
                         picture);
                break;
            }
            case Kind::Panel: {
                ui::Panel& panel = *panelOf(c.part);
                h = made(panel.Create(parent, {.place = place, .color = GetSysColor(COLOR_BTNFACE), .id = id}),
                         panel);
                break;
            }
            case Kind::Separator: {
                ui::Separator line;
                h = made(line.Create(parent, {.place = place}), line);
                break;
            }
            case Kind::CheckBox:
                h = made(checkBoxAutoStart_.Create(
                             parent, {.place = place, .text = AsWide(c.text), .id = id, .font = font}),
                         checkBoxAutoStart_);
                break;
            case Kind::List:
            case Kind::EditCombo: {
                const ui::ComboArgs a{.place = place, .id = id, .dropDownLines = c.dropDownLines,
                                      .font = font};
                if (c.kind == Kind::List) {
                    ui::ComboBox& list = *listOf(c.part);
                    h = made(list.Create(parent, a), list);
                } else {
                    ui::EditComboBox& edit = *editOf(c.part);
                    h = made(edit.Create(parent, a), edit);
                }
                break;
            }
            case Kind::Swatch: {
                TKButtonCreate a;
                a.parent = parent;
                a.left = c.left;
                a.top = c.top;
                a.width = c.width;
                a.height = c.height;
                a.controlId = id;
                const int tag = c.part == P::ButtonFormColor ? 0 : 1;
                auto swatch = std::make_unique<TKButtonWindow>(a);
                swatch->Button().SetStyle(ysSingle);
                swatch->Button().OnClick = [this, tag](TKButton&) { ColorButtonClick(tag); };
                h = swatch->Hwnd();
                (tag == 0 ? buttonFormColor_ : buttonTimeColor_) = std::move(swatch);
                break;
            }
            case Kind::Button: {
                ui::PushButton button;
                h = made(button.Create(parent, {.place = place, .text = AsWide(c.text), .id = id,
                                                .font = font}),
                         button);
                break;
            }
        }
        if (!h) return false;
        if (!c.visible) ShowWindow(h, SW_HIDE);
        parts_[index] = h;
    }
    return true;
}

// Screen readers name a list or a swatch after the caption label made just before it.
void TFormOption::NameFromCaptions() {
    for (size_t i = 1; i < std::size(kComponents); ++i) {
        const Component& c = kComponents[i];
        const Component& caption = kComponents[i - 1];
        if (caption.kind != Kind::Label) continue;
        const std::u16string name = CaptionName(caption.text);
        const HWND h = Part(c.part);
        if (c.kind == Kind::List || c.kind == Kind::EditCombo) {
            ui::SetControlReading(h, {.name = name});
            // The typing field inside an editable list is what has the focus.
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            if (c.kind == Kind::EditCombo && GetComboBoxInfo(h, &info) && info.hwndItem)
                ui::SetControlReading(info.hwndItem, {.name = name});
        } else if (c.kind == Kind::Swatch) {
            if (TKButtonWindow* swatch = Swatch(c.part == P::ButtonFormColor ? 0 : 1))
                swatch->SetReading([swatch, name] {
                    return ButtonReading{name, ColorValueText(swatch->Button().FaceColor() & 0xFFFFFF),
                                         std::u16string(kPressAction)};
                });
        }
    }
}

void TFormOption::FormCreate() {
    labels_[static_cast<size_t>(P::LabelVersion)].SetText(std::u16string(u"Version ") + std::u16string(kOptionVersion));
    labels_[static_cast<size_t>(P::LabelCopyright)].SetText(kNotice);

    comboBoxFontName_.SetItems(InstalledFontNames());
    comboBoxAlarmLine_.SetItems(AlarmLineItems());
    comboBoxFontSize_.SetItems(FontSizeItems());
    comboBoxVolAlarm_.SetItems(VolumeItems());
    comboBoxVolVoice_.SetItems(VolumeItems());
    comboBoxTimeLabel_.SetItems({u""});

    valuesAtOpen_ = host_.ReadOptions();
    const OptionControls c = ControlsFromValues(valuesAtOpen_);
    buttonFormColor_->Button().SetFaceColor(c.formColor);
    buttonTimeColor_->Button().SetFaceColor(c.timeColor);
    checkBoxAutoStart_.SetChecked(c.autoStart);
    comboBoxAlarmLine_.Select(c.alarmLineIndex);
    comboBoxFontName_.SetText(c.fontName);
    comboBoxFontSize_.Select(c.fontSizeIndex);
    comboBoxTimeLabel_.SetText(c.timeLabel);
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
    c.autoStart = checkBoxAutoStart_.Checked();
    c.alarmLineIndex = comboBoxAlarmLine_.Selected();
    c.fontName = comboBoxFontName_.Text();
    c.fontSizeIndex = comboBoxFontSize_.Selected();
    c.formColor = buttonFormColor_ ? buttonFormColor_->Button().FaceColor() : valuesAtOpen_.FormColor;
    c.timeColor = buttonTimeColor_ ? buttonTimeColor_->Button().FaceColor() : valuesAtOpen_.TimeColor;
    c.timeLabel = comboBoxTimeLabel_.Text();
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
