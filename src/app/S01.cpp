#include "app/S01.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
#include <string>

#include "app/DisplayMode.h"
#include "app/Talarm.h"
#include "platform/TextFile.h"
#include "platform/Utf.h"
#include "storage/Kini.h"

namespace movrek {
namespace {

// The row lists stored in an alarm-row line, by field number.
struct RowField {
    int field;
    AlarmField list;
};
constexpr std::array<RowField, 5> kRowFields{{
    {1, AlarmField::End},
    {2, AlarmField::Hour},
    {3, AlarmField::Minute},
    {4, AlarmField::Second},
    {7, AlarmField::Sound},
}};

std::u16string RowKey(int row) { return {u'B', static_cast<char16_t>(u'0' + row)}; }

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// A line break inside a text would split its line and let the rest pose as other keys.
std::u16string OneLine(std::u16string text) {
    std::replace_if(text.begin(), text.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; },
                    u' ');
    return text;
}

std::u16string WithPath(std::u16string_view text, std::u16string_view path) {
    std::u16string out(text);
    out += u"\n";
    out += path;
    return out;
}

void ReportFileError(UserMessages& messages, const FileError& error) {
    messages.ShowMessage(error.Path().empty() ? error.Message()
                                              : WithPath(error.Message(), error.Path()));
}

// The stored place, kept on the primary screen's extent, and brought back onto the primary
// screen when it is on no monitor at all (one that was there when it was saved is gone).
WindowOrigin LoadedOrigin(int left, int top, const WindowPlacement& window) {
    WindowOrigin o = KeepOriginOnScreen(left, top, window.PrimaryWidth(), window.PrimaryHeight());
    if (!window.SquareOnAnyMonitor(o.left, o.top)) {
        o.left = std::max(o.left, 0);
        o.top = std::max(o.top, 0);
    }
    return o;
}

}  // namespace

void ks01::InitPaths(std::u16string_view programPath) {
    size_t slash = programPath.size();
    while (slash > 0 && !IsSeparator(programPath[slash - 1])) --slash;
    ExeName = std::u16string(programPath.substr(slash));
    ExeDir = std::u16string(programPath.substr(0, slash == 0 ? 0 : slash - 1));
    const size_t dot = ExeName.rfind(u'.');
    BaseName = dot == std::u16string::npos ? ExeName : ExeName.substr(0, dot);
    IniPath = ExeDir + u"\\" + BaseName + u".ini";
    HelpPath = ExeDir + u"\\movrek.chm";
}

bool ks01::LoadSettings(const SettingsLinks& links) {
    kini doc;
    bool exists = false;
    bool readable = true;
    try {
        exists = doc.Load(kvar(IniPath));
        // The document sees a folder at the path as no file at all; it cannot be read, and a
        // save would fail on it, so it counts as a file that cannot be read.
        if (!exists && ReadFileBytes(IniPath)) exists = doc.Load(kvar(IniPath));
    } catch (const FileError&) {
        links.messages.ShowMessage(WithPath(kUnreadableSettingsMessage, IniPath));
        readable = false;
        exists = false;
        doc = kini();  // go on as without a file: every key takes its default
    }

    if (exists && doc.Read(kvar(u"Movrek"), kvar(0)).AsDouble() == 0) {
        links.messages.ShowMessage(kNotASettingsFileMessage);
        // The program ends now; a save on the way out must not replace the foreign file.
        state_ = State::LeaveFileAlone;
        return false;
    }

    auto readInt = [&doc](const char16_t* key, int def) { return doc.Read(kvar(key), kvar(def)).AsInt(); };
    auto readText = [&doc](const char16_t* key, const char16_t* def) {
        return doc.Read(kvar(key), kvar(def)).AsString();
    };

    const int top = readInt(u"Top", settings_default::Top);
    const int left = readInt(u"Left", settings_default::Left);
    const WindowOrigin origin = LoadedOrigin(left, top, links.window);
    links.window.MoveTo(origin.left, origin.top);

    TimeHeight = readInt(u"TimeHeight", settings_default::TimeHeight);
    AutoStart = readInt(u"AutoStart", settings_default::AutoStart);
    DispSecond = readInt(u"DispSecond", settings_default::DispSecond);
    TimeTalk = readInt(u"TimeTalk", settings_default::TimeTalk);
    TimeFontName = readText(u"TimeFontName", settings_default::TimeFontName);
    FormColor = readInt(u"FormColor", settings_default::FormColor);
    TimeColor = readInt(u"TimeColor", settings_default::TimeColor);
    TimeLabel = readText(u"TimeLabel", settings_default::TimeLabel);
    AlarmLine = readInt(u"AlarmLine", settings_default::AlarmLine);
    VolumeVoice = readInt(u"VolumeVoice", settings_default::VolumeVoice);
    VolumeAlarm = readInt(u"VolumeAlarm", settings_default::VolumeAlarm);

    links.beforeSound.Select(readInt(u"BeforeSound", settings_default::BeforeSound));
    links.startSound.Select(readInt(u"StartSound", settings_default::StartSound));
    links.passSound.Select(readInt(u"PassSound", settings_default::PassSound));

    for (int i = 0; i < talarm::Rows; ++i) {
        const AlarmRowChoices* row = links.alarms.Row(i);
        if (!row) continue;
        const std::u16string key = RowKey(i);
        for (const RowField& f : kRowFields)
            row->Field(f.list)->Select(doc.ReadField(f.field, kvar(key)).AsInt());
    }

    state_ = readable ? State::Loaded : State::Unreadable;
    return true;
}

void ks01::ReportUnsaved(UserMessages& messages) {
    if (state_ != State::Unreadable || unsavedReported_) return;
    unsavedReported_ = true;
    messages.ShowMessage(WithPath(kSettingsNotSavedMessage, IniPath));
}

bool ks01::SaveSettings(const SettingsLinks& links) {
    if (state_ != State::Loaded) return false;
    try {
        kini doc;
        doc.Write(kvar(u"Movrek"), kvar(kSettingsFileVersion));
        doc.Write(kvar(u"Top"), kvar(links.window.Top()));
        doc.Write(kvar(u"Left"), kvar(links.window.Left()));
        doc.Write(kvar(u"AutoStart"), kvar(AutoStart));
        doc.Write(kvar(u"DispSecond"), kvar(DispSecond));
        doc.Write(kvar(u"TimeHeight"), kvar(TimeHeight));
        doc.Write(kvar(u"TimeTalk"), kvar(TimeTalk));
        doc.Write(kvar(u"TimeFontName"), kvar(OneLine(TimeFontName)));
        doc.Write(kvar(u"TimeColor"), kvar(TimeColor));
        doc.Write(kvar(u"FormColor"), kvar(FormColor));
        doc.Write(kvar(u"TimeLabel"), kvar(OneLine(TimeLabel)));
        doc.Write(kvar(u"AlarmLine"), kvar(AlarmLine));
        doc.Write(kvar(u"VolumeVoice"), kvar(VolumeVoice));
        doc.Write(kvar(u"VolumeAlarm"), kvar(VolumeAlarm));
        doc.Write(kvar(u"BeforeSound"), kvar(links.beforeSound.Selected()));
        doc.Write(kvar(u"StartSound"), kvar(links.startSound.Selected()));
        doc.Write(kvar(u"PassSound"), kvar(links.passSound.Selected()));
        for (int i = 0; i < talarm::Rows; ++i) {
            const AlarmRowChoices* row = links.alarms.Row(i);
            const std::u16string key = RowKey(i);
            for (const RowField& f : kRowFields)
                doc.WriteField(f.field, kvar(key), kvar(row ? row->Field(f.list)->Selected() : 0));
        }
        doc.Save(kvar(IniPath));
        return true;
    } catch (const FileError& error) {
        ReportFileError(links.messages, error);
    } catch (const std::exception& error) {
        links.messages.ShowMessage(FromUtf8(error.what()));
    }
    return false;
}

namespace {

struct StartSound {
    std::u16string_view item;
    std::u16string_view phrase;
};
constexpr std::array<StartSound, 3> kStartSounds{{
    {u"", u""},
    {u"起動しました", u"きどうしました"},
    {u"スタート", u"すたーと"},
}};

}  // namespace

std::vector<std::u16string> BeforeSoundItems() { return {u"", u"10秒前"}; }

std::vector<std::u16string> StartSoundItems() {
    std::vector<std::u16string> items;
    for (const StartSound& s : kStartSounds) items.emplace_back(s.item);
    return items;
}

std::vector<std::u16string> PassSoundItems() { return {u"", u"分経過", u"時間経過"}; }

std::u16string_view StartPhrase(int startSound) {
    if (startSound < 0 || startSound >= static_cast<int>(kStartSounds.size())) return {};
    return kStartSounds[static_cast<size_t>(startSound)].phrase;
}

RunSetup SetupForRun(int beforeSound) {
    RunSetup r;
    r.countIn = beforeSound == 1 ? 1 : 0;
    r.state = beforeSound == 0 ? TimerState::Counting : TimerState::Idle;
    return r;
}

SwitchActions DecideSwitch(bool talking, TimerState state, DisplayMode mode) {
    SwitchActions a;
    a.stopVoice = talking;
    a.acknowledge = state == TimerState::Finished;
    // An acknowledgement decides alone: in compact mode it also expands, even over a voice.
    const bool consumed = a.acknowledge ? mode != DisplayMode::Compact : talking;
    a.switchMode = !consumed;
    a.to = OtherMode(mode);
    return a;
}

FocusTarget FocusForMode(DisplayMode to, const FocusState& f) {
    if (!f.ours) return FocusTarget::Keep;
    if (to == DisplayMode::Compact) return f.onPanel ? FocusTarget::Window : FocusTarget::Keep;
    if (f.onPanel) return FocusTarget::Keep;
    if (f.remembered) return FocusTarget::Remembered;
    return f.byKeyboard ? FocusTarget::First : FocusTarget::Keep;
}

TrayAction TrayEvents::OnInput(TrayInput input, std::uint32_t nowMs) {
    // Unsigned difference: right across a wrap of the tick as well.
    const bool soon = nowMs - releasedAt_ <= FollowUpMs;
    switch (input) {
        case TrayInput::LeftUp:
            selectDue_ = followUps_;
            menuDue_ = false;
            releasedAt_ = nowMs;
            return TrayAction::Switch;
        case TrayInput::RightUp:
            menuDue_ = followUps_;
            selectDue_ = false;
            releasedAt_ = nowMs;
            return TrayAction::MenuAtPointer;
        case TrayInput::Select:
            if (selectDue_ && soon) {
                selectDue_ = false;
                return TrayAction::None;
            }
            selectDue_ = false;
            return TrayAction::KeyboardSwitch;
        case TrayInput::KeySelect:
            return TrayAction::KeyboardSwitch;
        case TrayInput::ContextMenu:
            if (menuDue_ && soon) {
                menuDue_ = false;
                return TrayAction::None;
            }
            menuDue_ = false;
            return TrayAction::MenuAtAnchor;
        case TrayInput::Other:
            break;
    }
    return TrayAction::None;
}

OptionValues SettingsOptionsHost::ReadOptions() {
    const ks01& s = settings_;
    OptionValues v;
    v.AutoStart = s.AutoStart;
    v.AlarmLine = s.AlarmLine;
    v.TimeFontName = s.TimeFontName;
    v.TimeHeight = s.TimeHeight;
    v.FormColor = static_cast<std::uint32_t>(s.FormColor);
    v.TimeColor = static_cast<std::uint32_t>(s.TimeColor);
    v.TimeLabel = s.TimeLabel;
    v.VolumeAlarm = s.VolumeAlarm;
    v.VolumeVoice = s.VolumeVoice;
    return v;
}

void SettingsOptionsHost::WriteOptions(const OptionValues& v) {
    ks01& s = settings_;
    s.AutoStart = v.AutoStart;
    s.AlarmLine = v.AlarmLine;
    s.TimeFontName = v.TimeFontName;
    s.TimeHeight = v.TimeHeight;
    s.FormColor = static_cast<std::int32_t>(v.FormColor);
    s.TimeColor = static_cast<std::int32_t>(v.TimeColor);
    s.TimeLabel = v.TimeLabel;
    s.VolumeAlarm = v.VolumeAlarm;
    s.VolumeVoice = v.VolumeVoice;
}

}  // namespace movrek
