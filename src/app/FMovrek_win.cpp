#include "app/FMovrek_win.h"

#include <commctrl.h>
#include <htmlhelp.h>

#include "app/ControlNames.h"
#include "controls/Bitmap_win.h"
#include "controls/Foption_win.h"
#include "controls/Kdraw.h"
#include "app/Kfile_win.h"
#include "app/MovrekResources.h"
#include "platform/Clock.h"
#include "platform/UserMessages.h"
#include "sound/Kdsound_win.h"
#include "sound/Ktalk.h"
#include "sound/TalkNotify.h"
#include "ui/Accessible_win.h"
#include "ui/MessageLoop.h"

namespace movrek {
namespace {

// Menu items send their tag added to this base; control ids stay clear of that range.
constexpr UINT kMenuBase = 0x100;
constexpr int kIdButtonStart = 1001;
constexpr int kIdSpeedButtonOption = 1002;
constexpr int kIdComboBoxBeforeSound = 1011;
constexpr int kIdComboBoxStartSound = 1012;
constexpr int kIdComboBoxPassSound = 1013;
constexpr int kIdPanelAlarm = 1020;
constexpr int kIdAlarmRowBase = 1100;  // + 10 * row + field

constexpr UINT_PTR kEngineTimerId = 1;
constexpr UINT_PTR kTalkTimerId = 2;
constexpr UINT_PTR kTrayTimerId = 3;
// At log-on the task bar may not be there yet: the icon is offered again this often.
constexpr UINT kTrayRetryMs = 2000;

constexpr UINT kTrayMessage = WM_APP + 1;
// A click or the end of a drag is carried out once the press that began it has been answered.
constexpr UINT kReleaseActionMessage = WM_APP + 2;
constexpr UINT kTrayIconId = 1;

constexpr COLORREF kWhite = RGB(255, 255, 255);

// The popup menu of the window and the tray icon, top to bottom.
constexpr ui::MenuItemDef kMainMenu[] = {
    {CmdStart, L"タイマー スタート(&R)", 0, true, false},
    {CmdStopVoice, L"音声ストップ", VK_F3, false, false},
    {0, L"", 0, true, true},
    {CmdOptions, L"オプション(&O)...", 0, true, false},
    {CmdSwitch, L"画面切替(&D)", 0, false, false},
    {CmdClear, L"時報のクリア(&C)", 0, true, false},
    {CmdHelp, L"ヘルプ(&H)...", 0, true, false},
    {0, L"", 0, true, true},
    {CmdExit, L"終了(&X)", 0, true, false},
};

// The settings panel's own controls (positions inside PanelAlarm).
struct LabelRow {
    ui::Place place;
    const wchar_t* text;
};
constexpr LabelRow kPanelLabels[] = {
    {{8, 8, 0, 0}, L"カウント:"},
    {{8, 33, 0, 0}, L"起動:"},
    {{8, 58, 0, 0}, L"経過:"},
};
constexpr ui::Place kComboBoxBeforeSound{60, 5, 100, 20};
constexpr ui::Place kComboBoxStartSound{60, 30, 100, 20};
constexpr ui::Place kComboBoxPassSound{60, 55, 100, 20};
constexpr ui::Place kButtonStart{260, 5, 130, 25};
constexpr ui::Place kSpeedButtonOption{367, 53, 23, 22};
constexpr ui::Place kPanelAlarm{1, 44, 400, 340};
constexpr ui::Place kLabelTime{8, 2, 0, 0};
constexpr ui::Place kLabelBaseFileName{320, 5, 36, 12};
constexpr int kDesignWidth = 404;
constexpr int kDesignHeight = 385;

}  // namespace

TFMovrek::TFMovrek()
    : engineTimer_(*this, kEngineTimerId, [this] {
          if (!time_) return;
          time_->Tick();
          AnnounceStateButton();  // a run that ended or a count-in that gave way
      }),
      talkTimer_(*this, kTalkTimerId, [this] { if (talk_) talk_->Tick(); }),
      trayTimer_(*this, kTrayTimerId, [this] { ShowTrayIcon(); }) {}

TFMovrek::~TFMovrek() {
    // Normally FormClose has run; if creation stopped half-way, end in the same order.
    DestroyOwnedObjects();
    if (Handle()) {
        ui::SetShortcuts(nullptr, nullptr);
        ui::SetKeyboardNavigation(nullptr);
        DestroyWindow(Handle());
    }
}

// ---------------------------------------------------------------- creation

bool TFMovrek::Create() {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    programIcon_.Reset(static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(IDI_MOVREK), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    programIconSmall_.Reset(static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(IDI_MOVREK), IMAGE_ICON,
                                                          GetSystemMetrics(SM_CXSMICON),
                                                          GetSystemMetrics(SM_CYSMICON), 0)));
    paintBrush_.Reset(CreateSolidBrush(paintColor_));

    ui::WindowArgs w;
    w.className = L"TFMovrek";
    w.text = L"Movrek";
    // No caption and no frame; topmost and without a task-bar button from the start.
    w.style = WS_POPUP | WS_CLIPCHILDREN;
    w.exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    // Where a first start puts it; the settings load moves it to its stored place.
    w.left = settings_default::Left;
    w.top = settings_default::Top;
    w.width = kDesignWidth;
    w.height = kDesignHeight;
    w.icon = programIcon_.Get();
    if (!CreateWindowFrom(w)) return false;
    SetMessageOwner(Handle());
    placement_.emplace(Handle());

    // The controls first, then the owned objects in the order their users need them.
    activated_ = false;
    if (!CreateComponents()) return false;

    // The alarm rows' object exists before the engine that asks it; it reads the rows' lists
    // in choices_, which the panel's controls only show.
    alarm_ = std::make_unique<talarm>();
    choices_.AttachRowsTo(*alarm_);
    time_ = std::make_unique<ktime>(KtimeLinks{SystemClock(), timeSink_, announcer_, *alarm_,
                                               choices_.PassSound, engineTicker_, stateGlyph_});
    sound_ = std::make_unique<kdsound>(Handle(), PlatformMessages());
    talk_ = std::make_unique<ktalk>(*sound_, PlatformMessages(), talkTicker_);
    announcer_.Attach(talk_.get());

    // The settings file and the help file sit beside the program.
    settings_ = std::make_unique<ks01>(RunningProgramPath());
    helpPath_ = settings_->HelpPath;

    // The rows' lists get their items; their controls wait for the panel to be shown.
    alarm_->Populate();

    barHost_.emplace(Handle());
    bar_ = std::make_unique<kbtn>(3, *barHost_, nullptr);
    bar_->Layout();
    bar_->OnCommand = [this](int command) { ExecuteCommand(command); };
    stateGlyph_.Attach(bar_.get());
    for (int i = 1; i <= 3; ++i)
        if (KbtnButton* b = bar_->Button(i)) b->SetReading([this, i] { return BarReading(i); });

    if (!settings_->LoadSettings(Links())) {
        // Not a settings file of this program (the load has said so): end without showing the
        // window and without touching the file.
        PlatformMessages().ShowMessage(u"Movrek を終了します");
        DestroyOwnedObjects();
        closed_ = true;
        return false;
    }

    talk_->SetVoiceVolume(settings_->VolumeVoice);
    talk_->SetAlarmVolume(settings_->VolumeAlarm);
    if (StartsAtLaunch(settings_->AutoStart))
        StartTimer(0);
    else
        ApplyDisplayMode(DisplayMode::Expanded);
    if (!Usable()) return false;

    // Exactly the tool-window style; WS_EX_TOPMOST is kept by SetWindowPos, not by the style.
    SetWindowLongPtrW(Handle(), GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    colorDialog_.AddCustomColor(L"ColorA=984E00");
    colorDialog_.AddCustomColor(L"ColorB=D8E9EC");
    drag_.Reset();

    ui::SetShortcuts(Handle(), pMenuMain_.Shortcuts());
    // The shell's broadcast that it has (re)started must pass the message filter, or an icon
    // lost with a crashed Explorer never comes back.
    ChangeWindowMessageFilterEx(Handle(), ui::TrayIcon::TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
    trayIcon_.Add(Handle(), kTrayIconId, kTrayMessage, programIconSmall_.Get(), L"Movrek");
    trayEvents_.SetFollowUps(trayIcon_.Version4());
    if (!trayIcon_.Shown()) trayTimer_.Start(kTrayRetryMs);
    // Tab, Enter and the arrows move among the panel's controls as in a dialog.
    ui::SetKeyboardNavigation(Handle());
    ShowWindow(Handle(), SW_SHOW);
    UpdateWindow(Handle());
    return Usable();
}

bool TFMovrek::CreateComponents() {
    formFont_ = ui::MakeFont(L"MS UI Gothic", -12);
    timeFont_ = ui::MakeFont(L"Tahoma", -13);
    timeFontPoints_ = 10;
    HFONT form = formFont_.Get();

    ui::LabelArgs lt;
    lt.place = kLabelTime;
    lt.text = L"00:00:00";
    lt.font = timeFont_.Get();
    lt.color = kWhite;
    if (!labelTime_.Create(*this, lt)) return false;
    // Read as the time it shows, whatever the platform makes of a label.
    ui::SetControlReading(labelTime_.Handle(), {.name = {}, .nameFromText = true, .role = ROLE_SYSTEM_STATICTEXT});

    ui::LabelArgs lb;
    lb.place = kLabelBaseFileName;
    lb.text = L"Movrek";
    lb.autoSize = false;
    lb.rightAligned = true;
    lb.font = form;
    lb.color = kWhite;
    if (!labelBaseFileName_.Create(*this, lb)) return false;

    return pMenuMain_.Create(kMainMenu, std::size(kMainMenu), kMenuBase);
}

bool TFMovrek::CreatePanel() {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    HFONT form = formFont_.Get();
    if (!panelAlarm_.Create(Handle(), {kPanelAlarm, face, kIdPanelAlarm})) return false;
    // Where it would have been had it been made with the window: behind the two labels and
    // in front of the bar's buttons.
    SetWindowPos(panelAlarm_.Handle(), labelBaseFileName_.Handle(), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);

    ui::Label* panelLabels[] = {&labelBeforeSound_, &labelStartSound_, &labelPassSound_};
    for (size_t i = 0; i < 3; ++i) {
        ui::LabelArgs a;
        a.place = kPanelLabels[i].place;
        a.text = kPanelLabels[i].text;
        a.font = form;
        a.color = GetSysColor(COLOR_BTNTEXT);
        if (!panelLabels[i]->Create(panelAlarm_, a)) return false;
    }

    // Keyboard order on the panel: the Start button, then the three lists.
    if (!buttonStart_.Create(panelAlarm_.Handle(), {kButtonStart, L"タイマー　スタート", kIdButtonStart, form}))
        return false;
    if (!comboBoxBeforeSound_.Create(panelAlarm_.Handle(), {kComboBoxBeforeSound, kIdComboBoxBeforeSound, 8, form}) ||
        !comboBoxStartSound_.Create(panelAlarm_.Handle(), {kComboBoxStartSound, kIdComboBoxStartSound, 8, form}) ||
        !comboBoxPassSound_.Create(panelAlarm_.Handle(), {kComboBoxPassSound, kIdComboBoxPassSound, 8, form}))
        return false;
    choices_.BeforeSound.AttachView(comboBoxBeforeSound_);
    choices_.StartSound.AttachView(comboBoxStartSound_);
    choices_.PassSound.AttachView(comboBoxPassSound_);
    // A list's own text is its selection: each is named after its caption label. Named once
    // filled: every message to a named list passes through its subclass, and under Wine each
    // pass asks the window manager twice (1,570 items cost a quarter of a second).
    ui::ComboBox* panelLists[] = {&comboBoxBeforeSound_, &comboBoxStartSound_, &comboBoxPassSound_};
    for (size_t i = 0; i < 3; ++i)
        ui::SetControlReading(panelLists[i]->Handle(), {.name = CaptionName(Narrow16(kPanelLabels[i].text))});

    if (!imageList_.Count()) {
        imageList_.Create(16, 16);
        ui::Icon gear(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_GEAR),
                                                    IMAGE_ICON, 16, 16, 0)));
        if (gear) imageList_.AddIcon(gear.Get());
    }
    PictureButtonArgs pb;
    pb.place = kSpeedButtonOption;
    pb.id = kIdSpeedButtonOption;
    pb.faceColor = face;
    pb.hint = L"オプション";
    if (!speedButtonOption_.Create(panelAlarm_.Handle(), pb)) return false;
    speedButtonOption_.SetImage(&imageList_, 0);

    // Its ~100 children are made while it is hidden, so none of them is drawn on its own.
    if (!CreateAlarmRows()) return false;
    ShowWindow(panelAlarm_.Handle(), SW_SHOWNA);
    return true;
}

bool TFMovrek::CreateAlarmRows() {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int i = 0; i < AlarmRowLayout::RowCount; ++i) {
        AlarmRowControls& row = rows_[static_cast<size_t>(i)];
        if (!row.panel.Create(panelAlarm_.Handle(),
                              {{AlarmRowLayout::Left, AlarmRowLayout::Top(i), AlarmRowLayout::Width,
                                AlarmRowLayout::Height},
                               face, 0}))
            return false;
        const std::wstring text = Wide(AlarmRowLabel(i));
        ui::LabelArgs la;
        la.place = {AlarmRowLayout::Label.left, AlarmRowLayout::Label.top, 0, 0};
        la.text = text.c_str();
        la.font = formFont_.Get();
        la.color = GetSysColor(COLOR_BTNTEXT);
        if (!row.label.Create(row.panel, la)) return false;
        for (size_t f = 0; f < row.choices.size(); ++f) {
            const AlarmChildPlace& c = AlarmRowLayout::Choices[f];
            if (!row.choices[f].Create(row.panel.Handle(),
                                       {{c.left, c.top, c.width, 20}, kIdAlarmRowBase + 10 * i + static_cast<int>(f),
                                        c.dropDownLines, formFont_.Get()}))
                return false;
            choices_.Row(i, static_cast<AlarmField>(f)).AttachView(row.choices[f]);
            // Named once filled: see the panel's lists.
            ui::SetControlReading(row.choices[f].Handle(), {.name = AlarmChoiceName(i, static_cast<AlarmField>(f))});
        }
    }
    return true;
}

void TFMovrek::DestroyPanel() {
    // The views go first: the lists must not reach controls that are no more.
    choices_.BeforeSound.DetachView();
    choices_.StartSound.DetachView();
    choices_.PassSound.DetachView();
    for (int i = 0; i < AlarmRowLayout::RowCount; ++i)
        for (int f = 0; f < 5; ++f) choices_.Row(i, static_cast<AlarmField>(f)).DetachView();
    // The gear's tooltip belongs to this window, not to the panel.
    if (HWND tip = speedButtonOption_.Tooltip(); tip && IsWindow(tip)) DestroyWindow(tip);
    if (panelAlarm_.Handle()) DestroyWindow(panelAlarm_.Handle());
}

ViewedChoiceList* TFMovrek::ChoiceOfControl(int id) {
    switch (id) {
        case kIdComboBoxBeforeSound: return &choices_.BeforeSound;
        case kIdComboBoxStartSound: return &choices_.StartSound;
        case kIdComboBoxPassSound: return &choices_.PassSound;
        default: break;
    }
    const int n = id - kIdAlarmRowBase, row = n / 10, field = n % 10;
    if (n < 0 || row >= AlarmRowLayout::RowCount || field >= 5) return nullptr;
    return &choices_.Row(row, static_cast<AlarmField>(field));
}

void TFMovrek::OnChoiceNotify(int id, int code) {
    // A change by the user is announced by CBN_SELCHANGE; the list is read again when it
    // closes as well, since a list left with Escape may go back to its earlier item.
    if (code != CBN_SELCHANGE && code != CBN_SELENDOK && code != CBN_SELENDCANCEL && code != CBN_CLOSEUP)
        return;
    if (ViewedChoiceList* list = ChoiceOfControl(id)) list->TakeFromView();
}

SettingsLinks TFMovrek::Links(UserMessages& messages) {
    return SettingsLinks{*placement_, choices_.BeforeSound, choices_.StartSound, choices_.PassSound,
                         *alarm_, messages};
}

// ---------------------------------------------------------------- display mode, start

int TFMovrek::WindowHeight() const {
    RECT r{};
    GetWindowRect(Handle(), &r);
    return r.bottom - r.top;
}

DisplayMode TFMovrek::CurrentMode() const { return ModeOfHeight(WindowHeight(), settings_->TimeHeight); }

bool TFMovrek::IsCompact() const { return CurrentMode() == DisplayMode::Compact; }

void TFMovrek::ApplyDisplayMode(DisplayMode mode) {
    if (!Usable()) return;
    // The label gets its final text and font before it is measured.
    const ks01& s = *settings_;
    time_->LabelText = s.TimeLabel;
    time_->ShowSeconds = s.DispSecond;
    time_->ShowElapsed();
    timeFontPoints_ = TimeFontPoints(s.TimeHeight, timeFontPoints_);
    ui::Font font = ui::MakeFont(Wide(s.TimeFontName), FontHeightForPoints(timeFontPoints_));
    if (font) {
        labelTime_.SetFont(font.Get());
        timeFont_ = std::move(font);  // the old font is released once the label has let go
    }
    ui::ProcessPendingMessages();
    if (!Usable()) return;
    // Made here, with no message let through before the layout below places it.
    if (mode == DisplayMode::Expanded && !panelAlarm_.Handle() && !CreatePanel()) DestroyPanel();

    DisplayInput in;
    in.timeHeight = s.TimeHeight;
    in.alarmLine = s.AlarmLine;
    in.labelWidth = labelTime_.Width();
    in.labelHeight = labelTime_.Height();
    const DisplayLayout l = ComputeDisplayLayout(mode, in);

    // The compact window shows no control: the panel is hidden, so the keyboard cannot reach
    // its controls, and the focus moves to the window first.
    if (mode == DisplayMode::Compact) {
        PlaceFocus(mode);
        if (panelAlarm_.Handle()) panelAlarm_.Show(false);
    }
    SetWindowPos(Handle(), nullptr, 0, 0, l.windowWidth, l.windowHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    labelTime_.Move(l.labelLeft, l.labelTop);
    if (panelAlarm_.Handle()) {
        const RECT panel = panelAlarm_.Bounds();
        const int panelHeight = l.panelHeightSet ? l.panelHeight : panel.bottom - panel.top;
        panelAlarm_.SetBounds(panel.left, l.panelTop, panel.right - panel.left, panelHeight);
        if (l.alarmRowsSet)
            for (int i = 0; i < AlarmRowLayout::RowCount; ++i)
                rows_[static_cast<size_t>(i)].panel.Show(i < l.visibleAlarmRows);
        if (mode == DisplayMode::Expanded) panelAlarm_.Show(true);
    }
    labelBaseFileName_.Show(l.baseNameVisible);
    PlaceBarButtons(l);
    if (mode == DisplayMode::Expanded) PlaceFocus(mode);

    SetPaintColor(static_cast<COLORREF>(s.FormColor));
    labelTime_.SetColor(static_cast<COLORREF>(s.TimeColor));
    for (int i = 1; i <= 3; ++i)
        if (KbtnButton* b = bar_->Button(i)) b->Model().SetFaceColor(static_cast<Color>(s.FormColor));
    stateGlyph_.SetStateGlyph(false);

    if (DropsQueuedPhrases(time_->FiredThisSecond)) talk_->Clear();
    AnnounceStateButton();
    InvalidateRect(Handle(), nullptr, TRUE);
    UpdateWindow(Handle());
}

ButtonReading TFMovrek::BarReading(int index) const {
    // Asked by readers whenever they like, also while the window closes.
    const TimerState state = time_ ? time_->State : TimerState::Idle;
    const int countIn = time_ ? time_->CountIn : 0;
    const DisplayMode mode = settings_ && Handle() ? CurrentMode() : DisplayMode::Expanded;
    return BarButtonReading(index, state, countIn, mode);
}

void TFMovrek::AnnounceStateButton() {
    if (!Usable() || !bar_ || !time_ || !settings_) return;
    // Asked ten times a second: the texts are made only when what they tell has changed.
    const AnnouncedRun now{time_->State, time_->CountIn, CurrentMode()};
    if (announced_ && announced_->state == now.state && announced_->countIn == now.countIn &&
        announced_->mode == now.mode)
        return;
    const ButtonReading after = BarButtonReading(1, now.state, now.countIn, now.mode);
    bool name = true, states = true;
    if (announced_) {
        const ButtonReading before = BarButtonReading(1, announced_->state, announced_->countIn, announced_->mode);
        name = before.name != after.name;
        states = before.expanded != after.expanded;
    }
    announced_ = now;
    if (KbtnButton* state = bar_->Button(1); state && (name || states)) state->ReadingChanged(name, states);
}

void TFMovrek::PlaceBarButtons(const DisplayLayout& l) {
    constexpr int top = 3, size = kbtn::ButtonSize;
    KbtnButton* state = bar_->Button(1);
    KbtnButton* help = bar_->Button(2);
    KbtnButton* close = bar_->Button(3);
    state->SetBounds(l.button1Left, top, size, size);
    help->SetVisible(false);
    if (l.button3Visible) close->SetBounds(l.button3Left, top, size, size);
    close->SetVisible(l.button3Visible);
}

void TFMovrek::StartTimer(int kind) {
    if (!Usable()) return;
    const RunSetup run = SetupForRun(choices_.BeforeSound.Selected());
    time_->CountIn = run.countIn;
    time_->State = run.state;
    time_->Start();
    // At launch the phrase waits for the window's first activation.
    if (kind == 1) SpeakStartPhrase();
    ApplyDisplayMode(DisplayMode::Compact);
}

void TFMovrek::SpeakStartPhrase() {
    const std::u16string_view phrase = StartPhrase(choices_.StartSound.Selected());
    if (!phrase.empty()) talk_->Talk(phrase);
}

class TFMovrek::OptionsLink : public SettingsOptionsHost {
public:
    explicit OptionsLink(TFMovrek& form)
        : SettingsOptionsHost(*form.settings_, form.WindowHeight()), form_(form) {}

    void WriteOptions(const OptionValues& v) override {
        // The record goes with the window, which may have closed while the dialog ran.
        if (form_.Usable()) SettingsOptionsHost::WriteOptions(v);
    }
    void Talk(std::u16string_view name) override { form_.announcer_.Talk(name); }
    void SetAlarmVolume(int volume) override {
        if (form_.talk_) form_.talk_->SetAlarmVolume(volume);
    }
    void SetVoiceVolume(int volume) override {
        if (form_.talk_) form_.talk_->SetVoiceVolume(volume);
    }

protected:
    void ApplyDisplayMode(DisplayMode mode) override { form_.ApplyDisplayMode(mode); }

private:
    TFMovrek& form_;
};

void TFMovrek::ShowOptionsDialog() {
    // The dialog is modal, but the tray menu and the bar still reach the window meanwhile.
    if (optionsOpen_ || !Usable()) return;
    optionsOpen_ = true;
    struct Reopen {
        bool& open;
        ~Reopen() { open = false; }
    } reopen{optionsOpen_};
    OptionsLink host(*this);
    TFormOption::Execute(Handle(), host, colorDialog_);
    // The window may have been closed while the dialog ran (an exit posted meanwhile).
    if (!Usable()) return;
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TFMovrek::SetPaintColor(COLORREF color) {
    if (color != paintColor_ || !paintBrush_) {
        paintColor_ = color;
        paintBrush_.Reset(CreateSolidBrush(color));
    }
}

// ---------------------------------------------------------------- commands

void TFMovrek::ExecuteCommand(int command) {
    // Pending messages run first: ticks, further clicks, even an exit can happen here.
    if (!ui::ProcessPendingMessages() || !Usable()) return;
    switch (command) {
        case CmdSwitch:
            SwitchOrAcknowledge();
            return;  // repaints itself when it changes the mode
        case CmdHelp: OpenHelp(); break;
        case CmdExit: SendMessageW(Handle(), WM_CLOSE, 0, 0); break;
        case CmdStart: StartTimer(1); break;
        case CmdClear: AskClearAlarms(); break;
        case CmdStopVoice: talk_->StopTalk(); break;  // does nothing while no clip plays
        case CmdOptions: ShowOptionsDialog(); break;
        default: break;
    }
    if (Usable()) {
        InvalidateRect(Handle(), nullptr, TRUE);
        UpdateWindow(Handle());
    }
}

void TFMovrek::SwitchOrAcknowledge() {
    const SwitchActions act = DecideSwitch(talk_->Playing() != 0, time_->State, CurrentMode());
    if (act.stopVoice) talk_->StopTalk();
    if (act.acknowledge) {
        stateGlyph_.SetStateGlyph(false);
        time_->State = TimerState::Idle;
        AnnounceStateButton();
    }
    if (!act.switchMode) return;
    ApplyDisplayMode(act.to);
    if (!Usable()) return;
    // Topmost again with the frame refreshed, without activation: hiding and showing the
    // window would hand the user's keyboard focus to another program and back.
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(Handle(), nullptr, TRUE);
    UpdateWindow(Handle());
}

TFMovrek::HtmlHelpFn TFMovrek::HelpViewer() {
    // Loaded when first asked for, so a system without it only loses help.
    if (!helpViewer_) helpViewer_ = LoadSystemLibrary(L"hhctrl.ocx");
    return LibraryFunction<HtmlHelpFn>(helpViewer_, "HtmlHelpW");
}

void TFMovrek::CloseHelp() {
    if (!helpViewer_) return;
    if (HtmlHelpFn htmlHelp = HelpViewer()) htmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
}

void TFMovrek::OpenHelp() {
    const std::wstring path = Wide(helpPath_);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::wstring text = L"ヘルプファイルが見つかりません。\n";
        text += path;
        ui::ShowMessage(Handle(), text);
        return;
    }
    HtmlHelpFn htmlHelp = HelpViewer();
    // The desktop is the caller: a viewer owned by the topmost panel would be topmost too and
    // cover the user's other windows.
    HWND shown = htmlHelp ? htmlHelp(GetDesktopWindow(), path.c_str(), HH_DISPLAY_TOC, 0) : nullptr;
    if (!shown && htmlHelp) shown = htmlHelp(GetDesktopWindow(), path.c_str(), HH_DISPLAY_TOPIC, 0);
    if (!shown) {
        std::wstring text = L"ヘルプを表示できませんでした。\n";
        text += path;
        ui::ShowMessage(Handle(), text);
    }
}

void TFMovrek::AskClearAlarms() {
    const int answer = ui::AskQuestion(Handle(), L"時報をクリアしますか？", L"Movrek",
                                       MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2);
    if (answer == IDYES && Usable()) alarm_->ClearAll();
}

// ---------------------------------------------------------------- events

void TFMovrek::FormActivate() {
    if (activated_ || !Usable()) return;
    activated_ = true;
    if (settings_ && StartsAtLaunch(settings_->AutoStart)) SpeakStartPhrase();
}

void TFMovrek::FormPaint() {
    ui::PaintDc pdc(Handle());
    RECT r{};
    GetClientRect(Handle(), &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return;
    // Drawn off screen first, then copied in one go: no flicker while the size changes.
    DibBitmap buffer(width, height);
    DrawPanelFrame(buffer, width, height, paintColor_);
    BitBlt(pdc.Get(), 0, 0, width, height, buffer.Dc(), 0, 0, SRCCOPY);
}

void TFMovrek::SaveSettings(UserMessages& messages) {
    // The record itself refuses to write before a load, and after a file it must leave alone.
    if (settings_ && alarm_ && placement_) settings_->SaveSettings(Links(messages));
}

void TFMovrek::DestroyOwnedObjects() {
    engineTimer_.Stop();
    talkTimer_.Stop();
    time_.reset();
    announcer_.Attach(nullptr);
    talk_.reset();
    sound_.reset();
    settings_.reset();
    alarm_.reset();
    stateGlyph_.Attach(nullptr);
    bar_.reset();
}

void TFMovrek::FormClose() {
    if (closed_) return;
    SaveSettings();
    if (settings_) settings_->ReportUnsaved(PlatformMessages());
    closed_ = true;
    DestroyOwnedObjects();
}

LRESULT TFMovrek::OnHitTest() {
    // The surface is client area: its presses arrive as the primary button's messages, which
    // the platform has already mapped for a left-handed user.
    KeepTopOnScreen();
    return HTCLIENT;
}

void TFMovrek::KeepTopOnScreen() {
    RECT r{};
    GetWindowRect(Handle(), &r);
    if (const auto top = CorrectedTop(r.top))
        SetWindowPos(Handle(), nullptr, r.left, *top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {
POINT ScreenPointOf(HWND window, LPARAM lp) {
    POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    ClientToScreen(window, &p);
    return p;
}
}  // namespace

void TFMovrek::OnSurfacePress(LPARAM lp) {
    const POINT press = ScreenPointOf(Handle(), lp);
    RECT r{};
    GetWindowRect(Handle(), &r);
    drag_.OnPress({press.x, press.y}, {r.left, r.top});
    // The move loop starts with the first motion: a plain click never enters it, so a window
    // manager that runs the move for the platform is never left waiting for a release that
    // has already happened.
    SetCapture(Handle());
}

void TFMovrek::OnSurfaceMotion(LPARAM lp) {
    if (moving_ || GetCapture() != Handle()) return;
    const POINT at = ScreenPointOf(Handle(), lp);
    if (!drag_.MotionStartsMove({at.x, at.y})) return;
    moving_ = true;
    ReleaseCapture();
    // The platform's move loop follows the pointer and returns with the release.
    SendMessageW(Handle(), WM_SYSCOMMAND, SC_MOVE | HTCAPTION, MAKELPARAM(at.x, at.y));
    moving_ = false;
    if (!Usable()) return;
    POINT release{};
    GetCursorPos(&release);
    RECT r{};
    GetWindowRect(Handle(), &r);
    if (const auto to = drag_.PlaceAfterMove({at.x, at.y}, {release.x, release.y}, {r.left, r.top}))
        SetWindowPos(Handle(), nullptr, to->x, to->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    FinishPress(release);
}

void TFMovrek::OnSurfaceRelease(LPARAM lp) {
    if (!drag_.DragPending || moving_) return;
    FinishPress(ScreenPointOf(Handle(), lp));
    ReleaseCapture();
}

void TFMovrek::FinishPress(POINT release) {
    const ReleaseAction action = drag_.OnRelease({release.x, release.y});
    KeepTopOnScreen();
    // The command lets messages run and resizes the window: not inside the mouse message.
    if (action != ReleaseAction::None)
        PostMessageW(Handle(), kReleaseActionMessage, action == ReleaseAction::Click ? 1 : 2, 0);
}

bool TFMovrek::InSettingsPanel(POINT screen) const {
    if (!panelAlarm_.Handle() || !IsWindowVisible(panelAlarm_.Handle())) return false;
    RECT r{};
    GetWindowRect(panelAlarm_.Handle(), &r);
    return PtInRect(&r, screen) != FALSE;
}

void TFMovrek::DockToSiblingWindow() {
    RECT r{};
    GetWindowRect(Handle(), &r);
    Win32WindowQuery windows;
    if (const auto to = DockToSibling({r.left, r.top, r.right, r.bottom}, windows)) {
        SetWindowPos(Handle(), nullptr, to->x, to->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(Handle(), nullptr, TRUE);
    }
}

void TFMovrek::ShowTrayIcon() {
    const bool shown = trayIcon_.Restore();
    trayEvents_.SetFollowUps(trayIcon_.Version4());
    if (shown)
        trayTimer_.Stop();
    else
        trayTimer_.Start(kTrayRetryMs);
}

void TFMovrek::OnTrayMessage(WPARAM wp, LPARAM lp) {
    TrayInput input = TrayInput::Other;
    switch (LOWORD(lp)) {
        case WM_LBUTTONUP: input = TrayInput::LeftUp; break;
        case WM_RBUTTONUP: input = TrayInput::RightUp; break;
        case NIN_SELECT: input = TrayInput::Select; break;
        case NIN_KEYSELECT: input = TrayInput::KeySelect; break;
        case WM_CONTEXTMENU: input = TrayInput::ContextMenu; break;
        default: break;
    }
    switch (trayEvents_.OnInput(input, GetTickCount())) {
        case TrayAction::Switch:
            ExecuteCommand(CmdSwitch);
            break;
        case TrayAction::KeyboardSwitch:
            SelectFromTray();
            break;
        case TrayAction::MenuAtPointer: {
            POINT p{};
            GetCursorPos(&p);
            pMenuMain_.Popup(Handle(), p);
            break;
        }
        case TrayAction::MenuAtAnchor: {
            // Version 4: the icon's anchor point, in screen coordinates.
            POINT p{static_cast<short>(LOWORD(wp)), static_cast<short>(HIWORD(wp))};
            pMenuMain_.Popup(Handle(), p);
            break;
        }
        case TrayAction::None:
            break;
    }
}

void TFMovrek::SelectFromTray() {
    if (!Usable()) return;
    SetForegroundWindow(Handle());
    if (GetFocus() != Handle() && !IsChild(Handle(), GetFocus())) SetFocus(Handle());
    // The user is on the keyboard: the focused control shows its focus rectangle.
    SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    keyboardSelect_ = true;
    ExecuteCommand(CmdSwitch);
    // A selection that only acknowledged or silenced keeps the mode: an expanded window still
    // offers its first control.
    if (Usable()) PlaceFocus(CurrentMode());
    keyboardSelect_ = false;
}

bool TFMovrek::OnPanel(HWND control) const {
    return control && panelAlarm_.Handle() && IsChild(panelAlarm_.Handle(), control);
}

void TFMovrek::PlaceFocus(DisplayMode mode) {
    HWND focus = GetFocus();
    FocusState f;
    f.ours = focus == Handle() || (focus && IsChild(Handle(), focus));
    f.onPanel = OnPanel(focus) && IsWindowVisible(focus);
    f.remembered = OnPanel(rememberedFocus_) && IsWindowVisible(rememberedFocus_) &&
                   IsWindowEnabled(rememberedFocus_);
    f.byKeyboard = keyboardSelect_;
    switch (FocusForMode(mode, f)) {
        case FocusTarget::Window:
            rememberedFocus_ = focus;
            SetFocus(Handle());
            break;
        case FocusTarget::Remembered:
            SetFocus(rememberedFocus_);
            break;
        case FocusTarget::First:
            if (HWND first = GetNextDlgTabItem(Handle(), nullptr, FALSE); first && OnPanel(first))
                SetFocus(first);
            break;
        case FocusTarget::Keep:
            break;
    }
}

LRESULT TFMovrek::DefaultButton() const {
    // The window is no dialog: without an answer here Enter would arrive as IDOK, which no
    // control of ours carries.
    if (buttonStart_.Handle() && GetFocus() == buttonStart_.Handle())
        return MAKELRESULT(kIdButtonStart, DC_HASDEFID);
    return 0;
}

void TFMovrek::OpenMenuFromKeyboard() {
    HWND focus = GetFocus();
    HWND at = focus && IsChild(Handle(), focus) ? focus : Handle();
    RECT r{};
    GetWindowRect(at, &r);
    // Just inside the control's top-left corner, where the user's eyes are.
    pMenuMain_.Popup(Handle(), POINT{r.left + 4, r.top + 4});
}

LRESULT TFMovrek::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_NCHITTEST:
            return OnHitTest();
        case WM_LBUTTONDOWN:
            OnSurfacePress(lp);
            return 0;
        case WM_MOUSEMOVE:
            OnSurfaceMotion(lp);
            return 0;
        case WM_LBUTTONUP:
            OnSurfaceRelease(lp);
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the pointer (a message box, say) before any motion: the
            // press is abandoned, neither click nor drag.
            if (!moving_ && reinterpret_cast<HWND>(lp) != Handle()) drag_.Reset();
            return 0;
        case WM_MOUSEACTIVATE: {
            // A press on the surface or the bar leaves the user's keyboard focus in their own
            // program; the settings panel's controls take keys, so a press there activates
            // the window as usual, and so does an activation asked for in any other way (Wine
            // asks with a menu hit).
            POINT at{};
            GetCursorPos(&at);
            if (LOWORD(lp) == HTCLIENT && !InSettingsPanel(at)) return MA_NOACTIVATE;
            return Default(msg, wp, lp);
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            FormPaint();
            return 0;
        case WM_ACTIVATE: {
            if (LOWORD(wp) == WA_INACTIVE) {
                // Like a dialog: the control with the focus gets it back on return.
                if (HWND focus = GetFocus(); OnPanel(focus)) rememberedFocus_ = focus;
                return Default(msg, wp, lp);
            }
            FormActivate();
            const LRESULT r = Default(msg, wp, lp);  // the focus to the window itself
            if (Usable() && CurrentMode() == DisplayMode::Expanded) PlaceFocus(DisplayMode::Expanded);
            return r;
        }
        case WM_COMMAND: {
            const UINT id = LOWORD(wp);
            if (id > kMenuBase && id <= kMenuBase + CmdOptions) {
                ExecuteCommand(static_cast<int>(id - kMenuBase));
            } else if (id == kIdButtonStart && HIWORD(wp) == BN_CLICKED) {
                ExecuteCommand(CmdStart);
            } else if (id == kIdSpeedButtonOption && HIWORD(wp) == BN_CLICKED) {
                ShowOptionsDialog();
            } else {
                OnChoiceNotify(static_cast<int>(id), HIWORD(wp));
            }
            return 0;
        }
        case WM_CONTEXTMENU: {
            // -1: from the keyboard (Shift+F10, the Apps key), on the window or a control.
            if (lp == -1) {
                OpenMenuFromKeyboard();
                return 0;
            }
            POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            pMenuMain_.Popup(Handle(), p);
            return 0;
        }
        case DM_GETDEFID:
            return DefaultButton();
        case kReleaseActionMessage:
            if (wp == 1)
                ExecuteCommand(CmdSwitch);
            else
                DockToSiblingWindow();
            return 0;
        case kTrayMessage:
            OnTrayMessage(wp, lp);
            return 0;
        case kTalkNotify:
            // Also DM_SETDEFID, which the dialog navigation sends with the id of a push button
            // the focus reaches: never 0, so never taken for a clip's end.
            if (wp == 0 && talk_) talk_->ClipEnded();
            return 1;
        case WM_ENDSESSION: {
            // Saved whatever the message says, also when the log-off was cancelled. Without a
            // box: one opened here holds up the log-off. A failed save leaves the old file
            // whole, and the save at exit reports it.
            QuietMessages quiet(PlatformMessages());
            SaveSettings(quiet);
            return 0;
        }
        case WM_CLOSE:
            FormClose();
            DestroyWindow(Handle());
            return 0;
        case WM_DESTROY:
            FormClose();
            CloseHelp();
            trayIcon_.Remove();
            ui::SetShortcuts(nullptr, nullptr);
            ui::SetKeyboardNavigation(nullptr);
            SetMessageOwner(nullptr);
            PostQuitMessage(0);
            return 0;
        default:
            if (msg == ui::TrayIcon::TaskbarCreatedMessage()) {
                ShowTrayIcon();
                return 0;
            }
            return Default(msg, wp, lp);
    }
}

}  // namespace movrek
