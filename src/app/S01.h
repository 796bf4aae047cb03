// ks01: the user's display and sound preferences, and the settings file beside the program
// that keeps them together with the main window's position, the selections of its three
// sound-choice lists and the selections of the ten alarm rows.
//
// The file is read and written through a fresh kini document each time. Loading and saving
// reach the window only through SettingsLinks, so the rules run in tests without a window.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

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
    ChoiceList& beforeSound;  // ComboBoxBeforeSound
    ChoiceList& startSound;   // ComboBoxStartSound
    ChoiceList& passSound;    // ComboBoxPassSound
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
    // file of this program. A file that exists but cannot be read is reported with the
    // platform's message; the defaults then apply, the result is true, and SaveSettings
    // leaves that file alone for the rest of the run. Never throws a file error.
    bool LoadSettings(const SettingsLinks& links);

    // Writes the whole file atomically from the window's position, the record and the lists.
    // False, after telling the user the platform's message, when the file cannot be written
    // (the old file stays as it was). Also false, silently, when no load has put the settings
    // in place or the load left the file alone: defaults never replace the user's file.
    // Never throws.
    bool SaveSettings(const SettingsLinks& links);

    // Whether SaveSettings would write: a load has run and found the file absent or readable.
    bool SavesAllowed() const noexcept { return state_ == State::Loaded; }

private:
    enum class State { NotLoaded, Loaded, LeaveFileAlone };
    State state_ = State::NotLoaded;
};

}  // namespace movrek
