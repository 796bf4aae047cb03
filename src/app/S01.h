// ks01: the user's display and sound preferences, and the settings file beside the program
// that keeps them together with the main window's position, the selections of its three
// sound-choice lists and the selections of the ten alarm rows. Also the main window's rules
// for starting a run, switching the display mode and opening the options, as plain values.
//
// The file is read and written through a fresh kini document each time. Loading and saving
// reach the window only through SettingsLinks, so the rules run in tests without a window.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/DisplayMode.h"
#include "app/Ktime.h"
#include "controls/Foption.h"
#include "platform/ChoiceList.h"
#include "platform/UserMessages.h"

namespace movrek {

class talarm;

// The main window's place on the screen as the settings see it.
class WindowPlacement {
public:
    virtual ~WindowPlacement() = default;
    virtual int Left() const = 0;  // screen pixels of the window's top-left corner
    virtual int Top() const = 0;
    virtual void MoveTo(int left, int top) = 0;
    virtual int PrimaryWidth() const = 0;  // the primary screen, pixels
    virtual int PrimaryHeight() const = 0;
    // Whether the 100 x 100 square with its top-left corner at (left, top) shares at least
    // one pixel with any monitor present now.
    virtual bool SquareOnAnyMonitor(int left, int top) const = 0;
};

// What LoadSettings and SaveSettings move between the file and the window. Every part must
// stay alive during the call. An alarm row without attached lists loads nothing and saves
// as all zeros.
struct SettingsLinks {
    WindowPlacement& window;
    ChoiceList& beforeSound;  // the count-in
    ChoiceList& startSound;   // the phrase a run starts with
    ChoiceList& passSound;    // the elapsed-time announcement
    const talarm& alarms;
    UserMessages& messages;
};

namespace settings_default {
inline constexpr int Top = 100;
inline constexpr int Left = 200;
inline constexpr std::int32_t TimeHeight = 16;
inline constexpr std::int32_t AutoStart = 1;
inline constexpr std::int32_t DispSecond = 1;
inline constexpr std::int32_t TimeTalk = 1;
inline constexpr std::int32_t AlarmLine = 10;
inline constexpr const char16_t* TimeFontName = u"Tahoma";
inline constexpr std::int32_t FormColor = 9981440;   // 0x984E00, dark blue
inline constexpr std::int32_t TimeColor = 16777215;  // 0xFFFFFF, white
inline constexpr const char16_t* TimeLabel = u"";
inline constexpr std::int32_t VolumeVoice = 100;
inline constexpr std::int32_t VolumeAlarm = 50;
inline constexpr int BeforeSound = 0;
inline constexpr int StartSound = 1;
inline constexpr int PassSound = 1;
}  // namespace settings_default

inline constexpr std::u16string_view kNotASettingsFileMessage = u"Movrek のデータファイルではありません";
// Each followed by a line with the file's path.
inline constexpr std::u16string_view kUnreadableSettingsMessage =
    u"設定ファイルを読み込めません。既定の設定で起動します。";
inline constexpr std::u16string_view kSettingsNotSavedMessage =
    u"設定ファイルを読み込めなかったため、設定を保存しませんでした。";
inline constexpr std::u16string_view kSettingsFileVersion = u"0.3";

class ks01 {
public:
    ks01() = default;
    explicit ks01(std::u16string_view programPath) { InitPaths(programPath); }

    // Paths, from InitPaths.
    std::u16string ExeName;   // the program's file name with its extension
    std::u16string ExeDir;    // its folder, without a trailing separator
    std::u16string IniPath;   // ExeDir\BaseName.ini
    std::u16string BaseName;  // ExeName without its extension
    // Preferences; the file's keys carry the same names.
    std::int32_t TimeHeight = settings_default::TimeHeight;
    std::int32_t AutoStart = settings_default::AutoStart;
    std::int32_t DispSecond = settings_default::DispSecond;
    std::int32_t TimeTalk = settings_default::TimeTalk;
    std::int32_t AlarmLine = settings_default::AlarmLine;
    std::u16string TimeFontName = settings_default::TimeFontName;
    std::int32_t FormColor = settings_default::FormColor;  // 0xBBGGRR
    std::int32_t TimeColor = settings_default::TimeColor;  // 0xBBGGRR
    std::u16string TimeLabel = settings_default::TimeLabel;
    std::int32_t VolumeVoice = settings_default::VolumeVoice;
    std::int32_t VolumeAlarm = settings_default::VolumeAlarm;
    // The help file, ExeDir\movrek.chm, from InitPaths.
    std::u16string HelpPath;

    // Works out the paths from the running program's full path.
    void InitPaths(std::u16string_view programPath);

    // Reads the settings file into the record, the window's position and the lists; a missing
    // file or key gives the defaults. False, after the message "Movrek のデータファイルでは
    // ありません" and with nothing read or changed, when a file exists but is not a settings
    // file of this program. A file that exists but cannot be read (held open by another
    // program, no permission, a folder) is reported with kUnreadableSettingsMessage and its
    // path; the defaults then apply, the result is true, and SaveSettings leaves that file
    // alone for the rest of the run. Never throws a file error.
    bool LoadSettings(const SettingsLinks& links);

    // Writes the whole file atomically from the window's position, the record and the lists.
    // False, after telling the user the platform's message, when the file cannot be written
    // (the old file stays as it was). Also false, silently, when no load has put the settings
    // in place or the load left the file alone: defaults never replace the user's file.
    // Never throws.
    bool SaveSettings(const SettingsLinks& links);

    // Whether SaveSettings would write: a load has run and found the file absent or readable.
    bool SavesAllowed() const noexcept { return state_ == State::Loaded; }

    // At exit: when the load could not read the file, tells the user with
    // kSettingsNotSavedMessage and the path that this run's changes were not kept. Once a
    // run; nothing in any other case. Kept apart from SaveSettings, whose save at the end of
    // the session may not show a box and must not use up this one.
    void ReportUnsaved(UserMessages& messages);

private:
    enum class State { NotLoaded, Loaded, Unreadable, LeaveFileAlone };
    State state_ = State::NotLoaded;
    bool unsavedReported_ = false;
};

// ---------------------------------------------------------------- the main window's rules

// The settings panel's lists: the count-in, the phrase a run starts with, and the elapsed-time
// announcement (none, every minute, every hour).
std::vector<std::u16string> BeforeSoundItems();
std::vector<std::u16string> StartSoundItems();
std::vector<std::u16string> PassSoundItems();

// The phrase of a start-sound selection; empty for none.
std::u16string_view StartPhrase(int startSound);

// A run asks for the count-in with selection 1 and counts from zero at once with 0; with no
// selection the engine is started idle and stays so.
struct RunSetup {
    std::int32_t countIn = 0;
    TimerState state = TimerState::Idle;
};
RunSetup SetupForRun(int beforeSound);

// AutoStart 1: the program starts a run in compact mode at launch, and speaks the start phrase
// when its window is first activated; otherwise it opens expanded, idle.
constexpr bool StartsAtLaunch(std::int32_t autoStart) { return autoStart == 1; }

// Command 1, a click on the window, the tray icon or the state button: a clip that plays
// stops, a finished run is acknowledged, and the mode switches unless one of these was all
// the click meant (an acknowledgement in compact mode also expands the window).
struct SwitchActions {
    bool stopVoice = false;
    bool acknowledge = false;  // the state button green again, the engine idle
    bool switchMode = false;
    DisplayMode to = DisplayMode::Expanded;
};
SwitchActions DecideSwitch(bool talking, TimerState state, DisplayMode mode);

// Where the keyboard focus goes as a display mode is applied or the window is activated. The
// compact window shows no control, so a control of the panel that had the focus hands it to the
// window itself and is remembered; when the panel returns, that control gets it back. Nothing
// moves while another program has the keyboard.
enum class FocusTarget { Keep, Window, Remembered, First };
struct FocusState {
    bool ours = false;        // the window or one of its controls has the keyboard
    bool onPanel = false;     // the focus is on a control of the settings panel
    bool remembered = false;  // a panel control is remembered and can take the focus
    bool byKeyboard = false;  // the user came by the keyboard: the first control is offered
};
FocusTarget FocusForMode(DisplayMode to, const FocusState& state);

// The tray icon's callback, reduced to what the window tells apart. With the icon at version
// 4 the shell follows each mouse release with a notification of its own (NIN_SELECT after
// the left button, WM_CONTEXTMENU after the right one); the release acts, and its follow-up
// is dropped. The same notifications without a release before them come from the keyboard.
enum class TrayInput { LeftUp, RightUp, Select, KeySelect, ContextMenu, Other };
enum class TrayAction { None, Switch, KeyboardSwitch, MenuAtPointer, MenuAtAnchor };
class TrayEvents {
public:
    // A follow-up comes at once; one later than this belongs to another gesture.
    static constexpr std::uint32_t FollowUpMs = 1000;
    // followUps: the shell took version 4 and sends follow-ups.
    void SetFollowUps(bool followUps) { followUps_ = followUps; }
    // nowMs: a millisecond tick (it may wrap).
    TrayAction OnInput(TrayInput input, std::uint32_t nowMs);

private:
    bool followUps_ = false;
    bool selectDue_ = false;
    bool menuDue_ = false;
    std::uint32_t releasedAt_ = 0;
};

// A display mode applied in the second an alarm row fired drops the phrases still queued.
constexpr bool DropsQueuedPhrases(std::int32_t firedThisSecond) { return firedThisSecond != 0; }

// The options dialog's view of the settings record. The dialog may change the time height,
// which is what tells the modes apart, so the mode is found when the dialog opens and OK
// re-applies the settings in it. The announcer and the window are the deriving host's.
class SettingsOptionsHost : public OptionsHost {
public:
    // windowHeight: the opener's height as the dialog opens.
    SettingsOptionsHost(ks01& settings, int windowHeight)
        : settings_(settings), modeAtOpen_(ModeOfHeight(windowHeight, settings.TimeHeight)) {}

    OptionValues ReadOptions() override;
    void WriteOptions(const OptionValues& values) override;
    void ReapplySettings() override { ApplyDisplayMode(modeAtOpen_); }
    DisplayMode ModeAtOpen() const { return modeAtOpen_; }

protected:
    virtual void ApplyDisplayMode(DisplayMode mode) = 0;

private:
    ks01& settings_;
    DisplayMode modeAtOpen_;
};

}  // namespace movrek
