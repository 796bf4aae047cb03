// The main window TFMovrek: the program's only permanent window and the owner of the timer
// engine, the sound device, the voice announcer and the alarm rows. A borderless, always-on-top
// panel without a task-bar button, with a tray icon and a popup menu; every user action becomes
// one numbered command run by ExecuteCommand.
#pragma once
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "app/DisplayMode.h"
#include "app/EngineSeams.h"
#include "app/Kfile.h"
#include "app/Ktime.h"
#include "app/Settings.h"
#include "app/Talarm.h"
#include "ui/Controls.h"
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
    Settings& CurrentSettings() { return settings_; }

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
    // The state button of the button bar; the picture is kept here until a bar shows it.
    class StateGlyphLink : public StateGlyph {
    public:
        void SetStateGlyph(bool finished) override { finished_ = finished; }
        bool Finished() const { return finished_; }

    private:
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

    struct AlarmRowControls {
        ui::Panel panel;
        ui::Label label;
        std::array<ui::ComboBox, 5> choices;
    };

    bool CreateComponents();
    void CreateAlarmRows();
    void ApplyLoadedSettings();
    void FormActivate();
    void FormPaint();
    void FormClose();
    void SaveSettings();
    void SpeakStartPhrase();
    void SwitchOrAcknowledge();
    void OpenHelp();
    void AskClearAlarms();
    LRESULT OnHitTest();
    void StartMoveByPress();
    void DockToSiblingWindow();
    void OnTrayMessage(LPARAM lp);
    void SetPaintColor(COLORREF color);
    // The window still exists and its objects are alive (a command may have closed it while
    // pending messages ran).
    bool Usable() const { return Alive() && !closed_; }

    Settings settings_;
    std::u16string helpPath_;
    COLORREF paintColor_ = 0x984E00;
    ui::Brush paintBrush_;
    bool activated_ = false;
    bool closed_ = false;
    int timeFontPoints_ = 10;
    DragTracker drag_;

    ui::Font formFont_;
    ui::Font timeFont_;
    ui::Label labelTime_;
    ui::Label labelBaseFileName_;
    ui::Panel panelAlarm_;
    ui::Label label1_, label2_, label3_;
    ui::ComboBox comboBoxBeforeSound_;
    ui::ComboBox comboBoxStartSound_;
    ui::ComboBox comboBoxPassSound_;
    ui::PushButton buttonStart_;
    ui::ImageList imageList_;
    ui::PictureButton speedButtonOption_;
    ui::PopupMenu pMenuMain_;
    ui::TrayIcon trayIcon_;
    ui::ColorChooser colorDialog_;
    ui::Icon programIcon_;
    ui::Icon programIconSmall_;
    std::array<AlarmRowControls, AlarmRowLayout::RowCount> rows_;

    TimeLabelSink timeSink_{labelTime_};
    StateGlyphLink stateGlyph_;
    AnnouncerLink announcer_;
    ui::PeriodicTimer engineTimer_;
    ui::PeriodicTimer talkTimer_;
    TimerTicker engineTicker_{engineTimer_};

    // Owned objects, created in FormCreate's order and destroyed in FormClose's.
    std::unique_ptr<talarm> alarm_;
    std::unique_ptr<ktime> time_;
    std::unique_ptr<kdsound> sound_;
    std::unique_ptr<ktalk> talk_;
};

}  // namespace movrek
