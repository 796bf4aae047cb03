// The options dialog's decisions, without a window: how the nine settings it edits become
// list selections and texts when it opens, and how the controls are written back on OK.
// The dialog reaches the rest of the program only through OptionsHost.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace movrek {

// The settings the dialog reads when it opens and writes on OK (the settings keys' names).
struct OptionValues {
    std::int32_t AutoStart = 1;
    std::int32_t AlarmLine = 10;
    std::u16string TimeFontName = u"Tahoma";
    std::int32_t TimeHeight = 16;
    std::uint32_t FormColor = 0x984E00;  // 0xBBGGRR
    std::uint32_t TimeColor = 0xFFFFFF;
    std::u16string TimeLabel;
    std::int32_t VolumeAlarm = 50;
    std::int32_t VolumeVoice = 100;

    bool operator==(const OptionValues&) const = default;
};

// What the dialog needs from the window that opens it (the main window).
class OptionsHost {
public:
    virtual ~OptionsHost() = default;
    // The settings record's current values of the nine settings.
    virtual OptionValues ReadOptions() = 0;
    // Stores the nine values in the settings record (nothing else happens yet).
    virtual void WriteOptions(const OptionValues& values) = 0;
    // Makes the opener take the stored settings again, in the display mode it had when the
    // dialog opened (the new time height may look like the other mode).
    virtual void ReapplySettings() = 0;
    // The voice announcer.
    virtual void Talk(std::u16string_view name) = 0;
    virtual void SetAlarmVolume(int volume) = 0;
    virtual void SetVoiceVolume(int volume) = 0;
};

// What the dialog's controls show: list selections as 0-based indexes, -1 for none.
struct OptionControls {
    bool autoStart = false;
    int alarmLineIndex = -1;
    std::u16string fontName;
    int fontSizeIndex = -1;
    std::uint32_t formColor = 0;  // the swatches' face colours
    std::uint32_t timeColor = 0;
    std::u16string timeLabel;
    int volAlarmIndex = -1;
    int volVoiceIndex = -1;
};

inline constexpr std::u16string_view kOptionCaption = u"オプション";
inline constexpr std::u16string_view kOptionVersion = u"0.3";
inline constexpr std::u16string_view kVoiceCreditClip = u"Lorameru";

// The lists' items.
std::vector<std::u16string> AlarmLineItems();  // "0" .. "20"
std::vector<std::u16string> FontSizeItems();   // "16", "24", "32", "40"
std::vector<std::u16string> VolumeItems();     // "100", "90", .. "0"

// List indexes for stored values (integer division truncating toward zero); -1 when the
// value selects no entry of its list.
int AlarmLineIndex(std::int32_t alarmLine);
int FontSizeIndex(std::int32_t timeHeight);
int VolumeIndex(std::int32_t volume);

// The controls' contents when the dialog opens.
OptionControls ControlsFromValues(const OptionValues& values);

// The values OK stores. A list without a selection (its stored value matched no entry and the
// user picked none) keeps the old value instead of turning into -1, 8 or 110.
OptionValues ValuesFromControls(const OptionControls& controls, const OptionValues& old);

// OK: store the values, hand the announcer its new volumes (alarm first, then voice), then let
// the opener apply them.
void ApplyOptions(OptionsHost& host, const OptionControls& controls, const OptionValues& old);

// The font list: family names as the platform enumerates them, without vertical-writing ("@")
// faces, sorted ignoring ASCII case, each name once (names differing only in case count once),
// and the entry "Default".
std::vector<std::u16string> FontNameList(std::vector<std::u16string> families);

// Ordering of FontNameList: ASCII letters ignoring case, then code units.
bool FontNameLess(std::u16string_view a, std::u16string_view b);

}  // namespace movrek
