// The main window TFMovrek: the program's only permanent window and the owner of the timer
// engine, the sound device, the voice announcer, the settings record, the alarm rows and the
// button bar. A borderless, always-on-top
// panel without a task-bar button, with a tray icon and a popup menu; every user action becomes
// one numbered command run by ExecuteCommand.
#pragma once
#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "app/DisplayMode.h"
#include "app/EngineSeams.h"
#include "app/Kbtn.h"
#include "app/Kbtn_win.h"
#include "app/Kfile.h"
#include "app/Ktime.h"
#include "app/PanelChoices.h"
#include "app/S01.h"
#include "app/S01_win.h"
#include "app/Talarm.h"
#include "controls/Kbutton_win.h"
#include "ui/Controls.h"
#include "ui/Handles.h"
#include "ui/Window.h"

namespace movrek {

class kdsound;
class ktalk;

// Command numbers shared by the menu, the tray icon, clicks and the bar.
enum Command : int {
    CmdSwitch = 1,   // acknowledge a finished run or switch the display mode
    CmdHelp = 2,
    CmdExit = 3,
    CmdStart = 4,
    CmdClear = 6,
    CmdStopVoice = 7,
    CmdOptions = 8,
};

class TFMovrek : public ui::Window {
public:
    TFMovrek();
    ~TFMovrek() override;

    // Creates the window and everything it owns, loads the settings and shows it. False when
    // the program is to end at once.
    bool Create();

    void ExecuteCommand(int command);
    void ApplyDisplayMode(DisplayMode mode);
    // kind 0: the automatic start at launch, 1: the start command.
    void StartTimer(int kind);
    void ShowOptionsDialog();

    bool IsCompact() const;
    DisplayMode CurrentMode() const;
    // The settings record; it exists from creation until the window closes.
    ks01& CurrentSettings() { return *settings_; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    HBRUSH BackgroundBrush() override { return paintBrush_.Get(); }

private:
    // The engine's view of the window.
    class TimeLabelSink : public TextSink {
    public:
        explicit TimeLabelSink(ui::Label& label) : label_(label) {}
        void SetText(const std::u16string& text) override { label_.SetText(text); }

    private:
        ui::Label& label_;
    };
    class TimerTicker : public Ticker {
    public:
        explicit TimerTicker(ui::PeriodicTimer& timer) : timer_(timer) {}
        void Enable(int intervalMs) override { timer_.Start(static_cast<UINT>(intervalMs)); }
        void Disable() override { timer_.Stop(); }

    private:
        ui::PeriodicTimer& timer_;
    };
    // The state button of the button bar. The engine is created before the bar and may
    // outlive it while the window closes: calls reach the bar while it exists.
    class StateGlyphLink : public StateGlyph {
    public:
        void Attach(StateGlyph* target) { target_ = target; }
        void SetStateGlyph(bool finished) override {
            finished_ = finished;
            if (target_) target_->SetStateGlyph(finished);
        }
        bool Finished() const { return finished_; }

    private:
        StateGlyph* target_ = nullptr;
        bool finished_ = false;
    };

    // The engine is created before the announcer and outlives nothing: calls reach the
    // announcer while it exists.
    class AnnouncerLink : public Announcer {
    public:
        void Attach(Announcer* target) { target_ = target; }
        void Talk(std::u16string_view name) override { if (target_) target_->Talk(name); }
        void TalkNumber(int n) override { if (target_) target_->TalkNumber(n); }
        void TalkDuration(std::u16string_view word, int h, int m, int s) override {
            if (target_) target_->TalkDuration(word, h, m, s);
        }
        void TalkClock(std::u16string_view hourWord, std::u16string_view finalWord, int h, int m,
                       int s) override {
            if (target_) target_->TalkClock(hourWord, finalWord, h, m, s);
        }

    private:
        Announcer* target_ = nullptr;
    };

    // The options dialog's view of the window (defined with ShowOptionsDialog).
    class OptionsLink;

    struct AlarmRowControls {
        ui::Panel panel;
        ui::Label label;
        std::array<ui::ComboBox, 5> choices;
    };

    bool CreateComponents();
    // The settings panel with its controls, the views of choices_, made the first time the
    // expanded mode is applied. False, with nothing of it left, when a control cannot be made.
    bool CreatePanel();
    bool CreateAlarmRows();
    void DestroyPanel();
    // A notification of one of the panel's lists: what the user picked goes to choices_.
    void OnChoiceNotify(int id, int code);
    ViewedChoiceList* ChoiceOfControl(int id);
    // What the settings load and save move between the file and the window.
    SettingsLinks Links(UserMessages& messages = PlatformMessages());
    // Bar buttons 1 to 3 where a display mode puts them.
    void PlaceBarButtons(const DisplayLayout& layout);
    // Destroys the owned objects in their fixed order: engine, announcer, sound device,
    // settings record, alarm rows, bar.
    void DestroyOwnedObjects();
    void FormActivate();
    void FormPaint();
    void FormClose();
    void SaveSettings(UserMessages& messages = PlatformMessages());
    void SpeakStartPhrase();
    void SwitchOrAcknowledge();
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    HtmlHelpFn HelpViewer();
    void OpenHelp();
    // Closes the help viewer's windows with the program.
    void CloseHelp();
    void AskClearAlarms();
    LRESULT OnHitTest();
    void KeepTopOnScreen();
    int WindowHeight() const;
    // The primary button on the surface: a press and release on one spot is a click; a press
    // that moves runs the platform's move loop and then docks.
    void OnSurfacePress(LPARAM lp);
    void OnSurfaceMotion(LPARAM lp);
    void OnSurfaceRelease(LPARAM lp);
    void FinishPress(POINT release);
    // The screen point lies on the expanded settings panel, whose controls take keys.
    bool InSettingsPanel(POINT screen) const;
    void DockToSiblingWindow();
    void OnTrayMessage(WPARAM wp, LPARAM lp);
    // The tray icon chosen with the keyboard: the window comes to the front with the keyboard
    // and the focus cues shown, then command 1 runs.
    void SelectFromTray();
    // Shift+F10 or the Apps key: the menu opens at the focused control, or at the window.
    void OpenMenuFromKeyboard();
    // A control of the settings panel (the panel's own or an alarm row's).
    bool OnPanel(HWND control) const;
    // Moves the focus as a display mode is applied or the window is activated (FocusForMode).
    void PlaceFocus(DisplayMode mode);
    // The panel's default button for Enter: ButtonStart while it has the focus.
    LRESULT DefaultButton() const;
    // Adds the tray icon again (the shell restarted, or it was not ready at log-on); retried
    // on a timer until the shell takes it.
    void ShowTrayIcon();
    void SetPaintColor(COLORREF color);
    // What screen readers are told of bar button index now.
    ButtonReading BarReading(int index) const;
    // Tells readers when the state button's name (the run) or its expanded state (the mode)
    // has changed since they were last told.
    void AnnounceStateButton();
    // The window still exists and its objects are alive (a command may have closed it while
    // pending messages ran).
    bool Usable() const { return Alive() && !closed_; }

    std::u16string helpPath_;
    COLORREF paintColor_ = 0x984E00;
    ui::Brush paintBrush_;
    bool activated_ = false;
    // What the state button told readers when they were last told: the run and the mode.
    struct AnnouncedRun {
        TimerState state;
        int countIn;
        DisplayMode mode;
    };
    std::optional<AnnouncedRun> announced_;
    bool closed_ = false;
    bool optionsOpen_ = false;  // the options dialog runs; another opening is ignored
    int timeFontPoints_ = 10;
    DragTracker drag_;
    bool moving_ = false;  // inside the platform's move loop
    // The panel control that had the focus before the compact mode or another program took
    // it; not owned, and checked before use (the panel may be gone).
    HWND rememberedFocus_ = nullptr;
    bool keyboardSelect_ = false;  // a tray keyboard selection is being carried out
    TrayEvents trayEvents_;
    // The help viewer library, loaded on first use. Freed after the window: its viewer
    // windows are closed when the window is destroyed.
    Library helpViewer_;

    ui::Font formFont_;
    ui::Font timeFont_;
    ui::Label labelTime_;
    ui::Label labelBaseFileName_;
    ui::Panel panelAlarm_;
    ui::Label labelBeforeSound_, labelStartSound_, labelPassSound_;
    ui::ComboBox comboBoxBeforeSound_;
    ui::ComboBox comboBoxStartSound_;
    ui::ComboBox comboBoxPassSound_;
    ui::PushButton buttonStart_;
    ui::ImageList imageList_;
    PictureButton speedButtonOption_;
    ui::PopupMenu pMenuMain_;
    ui::TrayIcon trayIcon_;
    ui::ColorChooser colorDialog_;
    ui::Icon programIcon_;
    ui::Icon programIconSmall_;
    std::array<AlarmRowControls, AlarmRowLayout::RowCount> rows_;
    // What the panel's lists hold, whether their views exist or not; declared after the
    // views it points to, so it goes first.
    PanelChoices choices_;

    TimeLabelSink timeSink_{labelTime_};
    StateGlyphLink stateGlyph_;
    AnnouncerLink announcer_;
    ui::PeriodicTimer engineTimer_;
    ui::PeriodicTimer talkTimer_;
    ui::PeriodicTimer trayTimer_;
    TimerTicker engineTicker_{engineTimer_};
    TimerTicker talkTicker_{talkTimer_};  // armed by the announcer while it has work

    std::optional<Win32WindowPlacement> placement_;
    std::optional<Win32KbtnHost> barHost_;

    // Owned objects: created in Create in the order their users need them, destroyed by
    // DestroyOwnedObjects in a fixed order.
    std::unique_ptr<talarm> alarm_;
    std::unique_ptr<ktime> time_;
    std::unique_ptr<kdsound> sound_;
    std::unique_ptr<ktalk> talk_;
    std::unique_ptr<ks01> settings_;
    std::unique_ptr<kbtn> bar_;
};

}  // namespace movrek
