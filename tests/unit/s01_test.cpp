#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/S01.h"
#include "app/Talarm.h"
#include "platform/TextFile.h"
#include "platform/Utf.h"
#include "sound/ClipNames.h"
#include "support/AlarmRows.h"
#include "support/Bytes.h"
#include "support/FakePlacement.h"
#include "support/Files.h"
#include "support/OptionSamples.h"
#include "support/RecordingMessages.h"

using namespace movrek;
using namespace movrek::test;
namespace fs = std::filesystem;

namespace {

// The main window's parts as the settings see them, the record, and a settings file in a
// fresh temporary folder.
class S01Settings : public ::testing::Test, public SettingsLists {
protected:
    S01Settings() {
        settings.InitPaths(folder_.Path("movrek.exe").u16string());
        // Natively the folder's separator is "/"; the file name is the record's own.
        settings.IniPath = Ini().u16string();
    }

    fs::path Ini() const { return folder_.Path("movrek.ini"); }
    void WriteIni(std::u16string_view lines) { WriteBytes(Ini(), Utf16File(lines)); }
    std::string IniBytes() const { return ReadBytes(Ini()); }
    std::vector<std::string> Names() const { return folder_.Names(); }

    SettingsLinks Links() { return {window, before, start, pass, alarms, messages}; }
    bool Load() { return settings.LoadSettings(Links()); }
    bool Save() { return settings.SaveSettings(Links()); }

    // Values no load would produce, to see what a load leaves alone.
    void Scramble() {
        settings.TimeHeight = settings.AutoStart = settings.DispSecond = settings.TimeTalk = 77;
        settings.AlarmLine = settings.FormColor = settings.TimeColor = 77;
        settings.VolumeVoice = settings.VolumeAlarm = 77;
        settings.TimeFontName = settings.TimeLabel = u"x";
        before.Select(1);
        start.Select(2);
        pass.Select(2);
        for (auto& r : rows)
            for (auto& list : r) list.Select(1);
    }
    void ExpectScrambled() {
        EXPECT_EQ(window.moves, 0);
        for (int v : {settings.TimeHeight, settings.AutoStart, settings.DispSecond, settings.TimeTalk,
                      settings.AlarmLine, settings.FormColor, settings.TimeColor, settings.VolumeVoice,
                      settings.VolumeAlarm})
            EXPECT_EQ(v, 77);
        EXPECT_EQ(settings.TimeFontName, u"x");
        EXPECT_EQ(settings.TimeLabel, u"x");
        EXPECT_EQ(before.Selected(), 1);
        EXPECT_EQ(start.Selected(), 2);
        for (int i = 0; i < talarm::Rows; ++i) EXPECT_EQ(Row(i), (std::array<int, 5>{1, 1, 1, 1, 1}));
    }
    void ExpectDefaults() {
        EXPECT_EQ(settings.TimeHeight, 16);
        EXPECT_EQ(settings.AutoStart, 1);
        EXPECT_EQ(settings.DispSecond, 1);
        EXPECT_EQ(settings.TimeTalk, 1);
        EXPECT_EQ(settings.AlarmLine, 10);
        EXPECT_EQ(settings.TimeFontName, u"Tahoma");
        EXPECT_EQ(settings.FormColor, 0x984E00);
        EXPECT_EQ(settings.TimeColor, 0xFFFFFF);
        EXPECT_EQ(settings.TimeLabel, u"");
        EXPECT_EQ(settings.VolumeVoice, 100);
        EXPECT_EQ(settings.VolumeAlarm, 50);
        EXPECT_EQ(before.Selected(), 0);
        EXPECT_EQ(start.Selected(), 1);
        EXPECT_EQ(pass.Selected(), 1);
        for (int i = 0; i < talarm::Rows; ++i) EXPECT_EQ(Row(i), (std::array<int, 5>{0, 0, 0, 0, 0}));
    }

    // After a load that found the file unreadable: one box said so with the path, no save
    // writes or speaks, and the exit tells once that nothing was saved.
    void ExpectUnreadableRun() {
        const std::u16string path = settings.IniPath;
        ASSERT_EQ(messages.shown,
                  std::vector<std::u16string>{std::u16string(kUnreadableSettingsMessage) + u"\n" + path});
        EXPECT_FALSE(settings.SavesAllowed());
        EXPECT_FALSE(Save());
        EXPECT_EQ(messages.shown.size(), 1u);
        settings.ReportUnsaved(messages);
        settings.ReportUnsaved(messages);
        ASSERT_EQ(messages.shown.size(), 2u);
        EXPECT_EQ(messages.shown[1], std::u16string(kSettingsNotSavedMessage) + u"\n" + path);
    }

    FakePlacement window;
    RecordingMessages messages;
    ks01 settings;

private:
    TempFolder folder_{"movrek-s01-"};
};

const std::u16string kDefaultFile =
    u"Movrek=0.3\r\nTop=100\r\nLeft=200\r\nAutoStart=1\r\nDispSecond=1\r\nTimeHeight=16\r\n"
    u"TimeTalk=1\r\nTimeFontName=Tahoma\r\nTimeColor=16777215\r\nFormColor=9981440\r\n"
    u"TimeLabel=\r\nAlarmLine=10\r\nVolumeVoice=100\r\nVolumeAlarm=50\r\nBeforeSound=0\r\n"
    u"StartSound=1\r\nPassSound=1\r\n"
    u"B0=\\10\\20\\30\\40\\70\r\nB1=\\10\\20\\30\\40\\70\r\nB2=\\10\\20\\30\\40\\70\r\n"
    u"B3=\\10\\20\\30\\40\\70\r\nB4=\\10\\20\\30\\40\\70\r\nB5=\\10\\20\\30\\40\\70\r\n"
    u"B6=\\10\\20\\30\\40\\70\r\nB7=\\10\\20\\30\\40\\70\r\nB8=\\10\\20\\30\\40\\70\r\n"
    u"B9=\\10\\20\\30\\40\\70\r\n";

}  // namespace

TEST(S01Paths, FollowTheProgramsFolderAndBaseName) {
    ks01 s(u"C:\\Program Files\\時報.v2\\movrek.exe");
    EXPECT_EQ(s.ExeName, u"movrek.exe");
    EXPECT_EQ(s.ExeDir, u"C:\\Program Files\\時報.v2");
    EXPECT_EQ(s.BaseName, u"movrek");
    EXPECT_EQ(s.IniPath, u"C:\\Program Files\\時報.v2\\movrek.ini");
    EXPECT_EQ(s.HelpPath, u"C:\\Program Files\\時報.v2\\movrek.chm");

    s.InitPaths(u"D:\\tools\\my.timer.exe");  // only the last "." starts the extension
    EXPECT_EQ(s.BaseName, u"my.timer");
    EXPECT_EQ(s.IniPath, u"D:\\tools\\my.timer.ini");
    EXPECT_EQ(s.HelpPath, u"D:\\tools\\movrek.chm");  // the help file keeps its own name

    s.InitPaths(u"D:\\a.b\\movrek");  // a "." in the folder is not the name's
    EXPECT_EQ(s.BaseName, u"movrek");
    EXPECT_EQ(s.IniPath, u"D:\\a.b\\movrek.ini");
}

TEST_F(S01Settings, WithoutAFileEverythingDefaultsAndTheSaveWritesEveryKeyInOrder) {
    Scramble();
    ASSERT_TRUE(Load());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(window.left, 200);
    EXPECT_EQ(window.top, 100);
    ExpectDefaults();
    EXPECT_FALSE(fs::exists(Ini()));  // loading creates nothing

    ASSERT_TRUE(Save());
    EXPECT_EQ(IniBytes(), Utf16File(kDefaultFile));
    EXPECT_EQ(Names(), std::vector<std::string>{"movrek.ini"});  // no temporary file left
    settings.ReportUnsaved(messages);  // a first start is no failure
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(S01Settings, AFileWithOnlyTheIdentityLoadsTheDefaults) {
    WriteIni(u"Movrek=1\r\n");
    Scramble();
    ASSERT_TRUE(Load());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(window.left, 200);
    EXPECT_EQ(window.top, 100);
    ExpectDefaults();
}

TEST_F(S01Settings, AForeignFileIsRefusedUntouchedAndNeverOverwritten) {
    const std::vector<std::string> files = {
        Utf16File(u"Top=5\r\nLeft=5\r\n"),  // no identity line
        Utf16File(u"Movrek=0\r\nTop=5\r\n"),
        Utf16File(u"Movrek=\r\n"),
        Utf16File(u"Movrek=abc\r\n"),
        Utf16File(u"movrek=0.0\r\n"),
        "",                  // an empty file
        "[Section]\nkey=value\n",  // someone else's settings
    };
    for (const std::string& bytes : files) {
        SCOPED_TRACE(bytes);
        WriteBytes(Ini(), bytes);
        ks01 fresh;
        fresh.IniPath = settings.IniPath;
        settings = fresh;
        Scramble();
        messages.shown.clear();
        EXPECT_FALSE(Load());
        EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Movrek のデータファイルではありません"});
        ExpectScrambled();
        // The program ends now; a save on the way out leaves the file alone.
        EXPECT_FALSE(settings.SavesAllowed());
        EXPECT_FALSE(Save());
        settings.ReportUnsaved(messages);  // the refusal has said all there is
        EXPECT_EQ(IniBytes(), bytes);
        EXPECT_EQ(messages.shown.size(), 1u);
    }
}

TEST_F(S01Settings, ASaveBeforeAnyLoadWritesNothing) {
    WriteIni(u"Movrek=0.3\r\nTop=5\r\n");
    EXPECT_FALSE(Save());
    EXPECT_EQ(IniBytes(), Utf16File(u"Movrek=0.3\r\nTop=5\r\n"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(S01Settings, ThePositionIsKeptOnTheScreens) {
    struct Case {
        const char16_t* file;
        std::vector<Rect> monitors;
        int left, top;
    };
    const Rect primary{0, 0, 1920, 1080};
    const std::vector<Case> cases = {
        // Too far right or down on the primary screen: its last 100 pixels.
        {u"Top=5000\r\nLeft=300", {primary}, 300, 980},
        {u"Top=50\r\nLeft=1900", {primary}, 1820, 50},
        // A small primary screen corrects even the default place.
        {u"", {{0, 0, 250, 150}}, 150, 50},
        // Negative places stay where a monitor shows them.
        {u"Top=100\r\nLeft=-300", {primary, {-1280, 0, 0, 1024}}, -300, 100},
        {u"Top=-500\r\nLeft=10", {primary, {0, -1080, 1920, 0}}, 10, -500},
        {u"Top=-50\r\nLeft=-99", {primary}, -99, -50},  // a corner still on the screen
        // On no monitor at all (the second one is gone): back onto the primary screen.
        {u"Top=100\r\nLeft=-300", {primary}, 0, 100},
        {u"Top=-400\r\nLeft=-100", {primary}, 0, 0},
        {u"Top=-2147483648\r\nLeft=-2147483648", {primary}, 0, 0},
        {u"Top=2147483647\r\nLeft=2147483647", {primary}, 1820, 980},
        // The place right of the primary screen is pulled in even with a monitor there.
        {u"Top=100\r\nLeft=2500", {primary, {1920, 0, 3840, 1080}}, 1820, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.file));
        WriteIni(u"Movrek=0.3\r\n" + std::u16string(c.file) + u"\r\n");
        window.monitors = c.monitors;
        window.moves = 0;
        ASSERT_TRUE(Load());
        EXPECT_EQ(window.moves, 1);
        EXPECT_EQ(window.left, c.left);
        EXPECT_EQ(window.top, c.top);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(S01Settings, ValuesAreReadAsTheFileSpellsThem) {
    WriteIni(u"Movrek=0.3\r\n"
             u"top=500\r\n"           // names match without regard to case
             u" Left=700\r\n"         // a blank belongs to the name: no match
             u"TimeHeight=abc\r\n"    // not a number: 0, not the default
             u"AutoStart=\r\n"        // empty: the default
             u"DispSecond=0\r\n"
             u"TimeTalk=12xyz\r\n"    // the leading number
             u"TimeFontName= MS Gothic\r\n"
             u"FormColor=-1\r\n"
             u"TimeColor=255\r\n"
             u"TimeLabel=作業 A=1\r\n"
             u"AlarmLine=99\r\n"      // no range check
             u"VolumeVoice=  30\r\n"
             u"VolumeAlarm=4294967297\r\n");  // wraps, no overflow
    ASSERT_TRUE(Load());
    EXPECT_EQ(window.top, 500);
    EXPECT_EQ(window.left, 200);
    EXPECT_EQ(settings.TimeHeight, 0);
    EXPECT_EQ(settings.AutoStart, 1);
    EXPECT_EQ(settings.DispSecond, 0);
    EXPECT_EQ(settings.TimeTalk, 12);
    EXPECT_EQ(settings.TimeFontName, u" MS Gothic");
    EXPECT_EQ(settings.FormColor, -1);
    EXPECT_EQ(settings.TimeColor, 255);
    EXPECT_EQ(settings.TimeLabel, u"作業 A=1");
    EXPECT_EQ(settings.AlarmLine, 99);
    EXPECT_EQ(settings.VolumeVoice, 30);
    EXPECT_EQ(settings.VolumeAlarm, 1);
}

TEST_F(S01Settings, TheRecordRoundTripsThroughTheFile) {
    ASSERT_TRUE(Load());
    settings.TimeHeight = 40;
    settings.AutoStart = 0;
    settings.AlarmLine = 3;
    settings.TimeFontName = u" ＭＳ ゴシック";
    settings.FormColor = 0xD8E9EC;
    settings.TimeColor = 0;
    settings.TimeLabel = u"会議 ";
    settings.VolumeVoice = 0;
    settings.VolumeAlarm = 90;
    window.MoveTo(-300, 20);
    ASSERT_TRUE(Save());

    const ks01 saved = settings;
    window.monitors.push_back({-1280, 0, 0, 1024});
    Scramble();
    ASSERT_TRUE(Load());
    EXPECT_EQ(window.left, -300);
    EXPECT_EQ(window.top, 20);
    EXPECT_EQ(settings.TimeHeight, saved.TimeHeight);
    EXPECT_EQ(settings.AutoStart, saved.AutoStart);
    EXPECT_EQ(settings.DispSecond, saved.DispSecond);
    EXPECT_EQ(settings.AlarmLine, saved.AlarmLine);
    EXPECT_EQ(settings.TimeFontName, saved.TimeFontName);
    EXPECT_EQ(settings.FormColor, saved.FormColor);
    EXPECT_EQ(settings.TimeColor, saved.TimeColor);
    EXPECT_EQ(settings.TimeLabel, saved.TimeLabel);
    EXPECT_EQ(settings.VolumeVoice, saved.VolumeVoice);
    EXPECT_EQ(settings.VolumeAlarm, saved.VolumeAlarm);
}

TEST_F(S01Settings, ALineBreakInATextCannotSplitItsLine) {
    ASSERT_TRUE(Load());
    settings.TimeLabel = u"a\r\nAlarmLine=0\nb";
    ASSERT_TRUE(Save());
    settings.TimeLabel.clear();
    ASSERT_TRUE(Load());
    EXPECT_EQ(settings.TimeLabel, u"a  AlarmLine=0 b");
    EXPECT_EQ(settings.AlarmLine, 10);
}

TEST_F(S01Settings, ListSelectionsOutsideTheItemsShowNoneAndSaveAsMinusOne) {
    WriteIni(u"Movrek=0.3\r\nBeforeSound=5\r\nStartSound=-1\r\nPassSound=2\r\n"
             u"B0=\\10\\27\\330\\40\\73\r\n"
             u"B1=\\11\\224\\360\\4-1\\711\r\n"   // hour 24, minute 60, sound 11: no such items
             u"B2=\\123\\25\r\n"                  // missing fields read as 0
             u"B4=garbage\r\n");                  // no tags: every field 0
    Scramble();
    ASSERT_TRUE(Load());
    EXPECT_EQ(before.Selected(), -1);
    EXPECT_EQ(start.Selected(), -1);
    EXPECT_EQ(pass.Selected(), 2);
    EXPECT_EQ(Row(0), (std::array<int, 5>{0, 7, 30, 0, 3}));
    EXPECT_EQ(Row(1), (std::array<int, 5>{1, -1, -1, -1, -1}));
    EXPECT_EQ(Row(2), (std::array<int, 5>{-1, 5, 0, 0, 0}));
    EXPECT_EQ(Row(3), (std::array<int, 5>{0, 0, 0, 0, 0}));  // no line for row 4
    EXPECT_EQ(Row(4), (std::array<int, 5>{0, 0, 0, 0, 0}));
    EXPECT_EQ(Row(9), (std::array<int, 5>{0, 0, 0, 0, 0}));

    ASSERT_TRUE(Save());
    const std::string bytes = IniBytes();
    auto has = [&](std::u16string_view line) {
        return bytes.find(Utf16File(u"\r\n" + std::u16string(line) + u"\r\n").substr(2)) != std::string::npos;
    };
    EXPECT_TRUE(has(u"BeforeSound=-1"));
    EXPECT_TRUE(has(u"StartSound=-1"));
    EXPECT_TRUE(has(u"PassSound=2"));
    EXPECT_TRUE(has(u"B0=\\10\\27\\330\\40\\73"));
    EXPECT_TRUE(has(u"B1=\\11\\2-1\\3-1\\4-1\\7-1"));
    EXPECT_TRUE(has(u"B2=\\1-1\\25\\30\\40\\70"));

    // And they load back the same way.
    Scramble();
    ASSERT_TRUE(Load());
    EXPECT_EQ(before.Selected(), -1);
    EXPECT_EQ(Row(1), (std::array<int, 5>{1, -1, -1, -1, -1}));
}

TEST_F(S01Settings, DuplicateAndUnknownLinesAreReadFirstAndWrittenOnce) {
    WriteIni(u"; a comment\r\nMovrek=0.3\r\nTop=300\r\nTOP=400\r\nExtra=1\r\n\r\nB0=\\27\r\nb0=\\29\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(window.top, 300);
    EXPECT_EQ(Row(0)[1], 7);
    ASSERT_TRUE(Save());
    std::u16string expected = kDefaultFile;
    expected.replace(expected.find(u"Top=100"), 7, u"Top=300");
    expected.replace(expected.find(u"B0=\\10\\20"), 9, u"B0=\\10\\27");
    EXPECT_EQ(IniBytes(), Utf16File(expected));
}

TEST_F(S01Settings, OtherEncodingsAreReadAndRewrittenAsUtf16) {
    // UTF-8 with a byte-order mark.
    WriteBytes(Ini(), "\xEF\xBB\xBFMovrek=0.3\nTimeLabel=" + ToUtf8(u"経過") + "\nTop=300\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(settings.TimeLabel, u"経過");
    EXPECT_EQ(window.top, 300);
    ASSERT_TRUE(Save());
    std::string bytes = IniBytes();
    EXPECT_EQ(bytes.substr(0, 2 + 2 * 12), Utf16File(u"Movrek=0.3\r\n"));
    EXPECT_NE(bytes.find(Utf16File(u"TimeLabel=経過\r\n").substr(2)), std::string::npos);

    // The legacy code page: 時報 in Shift-JIS, read as the platform reads such bytes.
    const std::string legacy = "Movrek=0.3\r\nTimeLabel=\x8E\x9E\x95\xF1\r\nLeft=333\r\n";
    WriteBytes(Ini(), legacy);
    ASSERT_TRUE(Load());
    EXPECT_EQ(settings.TimeLabel, DecodeLegacyText("\x8E\x9E\x95\xF1"));
#ifndef _WIN32
    EXPECT_EQ(settings.TimeLabel, u"時報");
#endif
    EXPECT_EQ(window.left, 333);
    ASSERT_TRUE(Save());
    bytes = IniBytes();
    EXPECT_EQ(bytes.substr(0, 2 + 2 * 12), Utf16File(u"Movrek=0.3\r\n"));
    EXPECT_NE(bytes.find(Utf16File(u"TimeLabel=" + settings.TimeLabel + u"\r\n").substr(2)), std::string::npos);
    EXPECT_NE(bytes.find(Utf16File(u"Left=333\r\n").substr(2)), std::string::npos);
}

TEST_F(S01Settings, AFolderWhereTheFileShouldBeIsReportedAndNeverReplaced) {
    fs::create_directory(Ini());
    WriteBytes(Ini() / "inside", "keep");
    Scramble();
    ASSERT_TRUE(Load());  // the program goes on with the defaults
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(settings.IniPath), std::u16string::npos);
    EXPECT_NE(messages.shown[0], u"Movrek のデータファイルではありません");
    EXPECT_EQ(window.left, 200);
    EXPECT_EQ(window.top, 100);
    ExpectDefaults();

    ExpectUnreadableRun();
    EXPECT_TRUE(fs::is_directory(Ini()));
    EXPECT_EQ(ReadBytes(Ini() / "inside"), "keep");
    EXPECT_EQ(Names(), std::vector<std::string>{"movrek.ini"});
}

#ifndef _WIN32
TEST_F(S01Settings, AFileThatCannotBeReadGivesTheDefaultsAndIsNeverWritten) {
    // A regular file whose reading fails even for the superuser.
    settings.IniPath = u"/proc/self/mem";
    window.monitors = {{0, 0, 250, 150}};
    ASSERT_TRUE(Load());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(u"/proc/self/mem"), std::u16string::npos);
    EXPECT_EQ(window.left, 150);  // the default place, corrected
    EXPECT_EQ(window.top, 50);
    ExpectDefaults();
    ExpectUnreadableRun();
}

TEST_F(S01Settings, AFailedSaveIsReportedAndLeavesTheOldFile) {
    // The temporary file beside a file with a name this long cannot be made (even as root).
    const fs::path longName = Ini().parent_path() / (std::string(246, 's') + ".ini");
    settings.IniPath = longName.u16string();
    const std::string old = Utf16File(u"Movrek=0.3\r\nTop=321\r\n");
    WriteBytes(longName, old);
    ASSERT_TRUE(Load());
    EXPECT_EQ(window.top, 321);
    ASSERT_TRUE(settings.SavesAllowed());
    // At the end of the session nothing is shown (a box would hold up the log-off) ...
    QuietMessages quiet(messages);
    EXPECT_FALSE(settings.SaveSettings({window, before, start, pass, alarms, quiet}));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ReadBytes(longName), old);
    // ... and the next save, at exit, still says why.
    EXPECT_FALSE(Save());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(settings.IniPath), std::u16string::npos);
    EXPECT_EQ(ReadBytes(longName), old);
    EXPECT_EQ(Names().size(), 1u);
    // Nothing stays stuck: once the file can be written, the next save writes it.
    settings.IniPath = Ini().u16string();
    EXPECT_TRUE(Save());
}
#endif

// ---------------------------------------------------------------- the main window's rules

TEST(S01MainWindow, PanelListsAndTheStartPhraseTheyChoose) {
    EXPECT_EQ(BeforeSoundItems(), (std::vector<std::u16string>{u"", u"10秒前"}));
    EXPECT_EQ(StartSoundItems(), (std::vector<std::u16string>{u"", u"起動しました", u"スタート"}));
    EXPECT_EQ(PassSoundItems(), (std::vector<std::u16string>{u"", u"分経過", u"時間経過"}));
    EXPECT_EQ(StartPhrase(1), u"きどうしました");
    EXPECT_EQ(StartPhrase(2), u"すたーと");
    for (int none : {0, -1, 3, INT32_MIN, INT32_MAX}) EXPECT_TRUE(StartPhrase(none).empty()) << none;
    for (int i = 1; i < static_cast<int>(StartSoundItems().size()); ++i)
        EXPECT_TRUE(IsClipName(StartPhrase(i))) << i;  // a clip the sound folder has
}

TEST(S01MainWindow, ARunCountsInCountsOrStaysIdleByTheCountInChoice) {
    EXPECT_EQ(SetupForRun(0).countIn, 0);
    EXPECT_EQ(SetupForRun(0).state, TimerState::Counting);
    EXPECT_EQ(SetupForRun(1).countIn, 1);
    EXPECT_EQ(SetupForRun(1).state, TimerState::Idle);  // the count-in starts the count
    for (int none : {-1, 2}) {
        EXPECT_EQ(SetupForRun(none).countIn, 0) << none;
        EXPECT_EQ(SetupForRun(none).state, TimerState::Idle) << none;
    }
    EXPECT_TRUE(StartsAtLaunch(1));
    EXPECT_FALSE(StartsAtLaunch(0));
    EXPECT_FALSE(StartsAtLaunch(2));
    EXPECT_FALSE(DropsQueuedPhrases(0));
    EXPECT_TRUE(DropsQueuedPhrases(1));
}

TEST(S01MainWindow, CommandOneStopsTheVoiceAcknowledgesOrSwitches) {
    using M = DisplayMode;
    using T = TimerState;
    struct Case {
        bool talking;
        T state;
        M mode;
        bool stop, acknowledge, switches;
    } cases[] = {
        {false, T::Idle, M::Compact, false, false, true},
        {false, T::Counting, M::Expanded, false, false, true},
        {true, T::Counting, M::Compact, true, false, false},  // the click only silences
        {true, T::Idle, M::Expanded, true, false, false},
        {false, T::Finished, M::Expanded, false, true, false},
        {false, T::Finished, M::Compact, false, true, true},  // acknowledged and expanded
        {true, T::Finished, M::Compact, true, true, true},
        {true, T::Finished, M::Expanded, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.talking << " " << static_cast<int>(c.state) << " "
                                        << static_cast<int>(c.mode));
        const SwitchActions a = DecideSwitch(c.talking, c.state, c.mode);
        EXPECT_EQ(a.stopVoice, c.stop);
        EXPECT_EQ(a.acknowledge, c.acknowledge);
        EXPECT_EQ(a.switchMode, c.switches);
        if (c.switches) {
            EXPECT_EQ(a.to, OtherMode(c.mode));
        }
    }
}

TEST(S01MainWindow, TheFocusLeavesTheHiddenPanelAndComesBackWithIt) {
    using M = DisplayMode;
    using F = FocusTarget;
    struct Case {
        M to;
        FocusState state;
        F target;
    } cases[] = {
        {M::Compact, {true, true, false, false}, F::Window},    // the panel goes: to the window
        {M::Compact, {true, false, true, false}, F::Keep},      // already on the window
        {M::Compact, {false, true, false, false}, F::Keep},     // another program has the keys
        {M::Expanded, {true, false, true, false}, F::Remembered},
        {M::Expanded, {true, false, true, true}, F::Remembered},
        {M::Expanded, {true, false, false, true}, F::First},    // the tray's keyboard selection
        {M::Expanded, {true, false, false, false}, F::Keep},    // a click leaves it on the window
        {M::Expanded, {true, true, true, true}, F::Keep},       // the user is on a control
        {M::Expanded, {false, false, true, true}, F::Keep},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.to) << c.state.ours << c.state.onPanel
                                        << c.state.remembered << c.state.byKeyboard);
        EXPECT_EQ(FocusForMode(c.to, c.state), c.target);
    }
}

TEST(S01MainWindow, TrayReleasesActAndTheirFollowUpsAreDropped) {
    using I = TrayInput;
    using A = TrayAction;
    TrayEvents tray;
    tray.SetFollowUps(true);
    const std::uint32_t t0 = 0xFFFFFF00u;  // the tick wraps during the gestures below
    EXPECT_EQ(tray.OnInput(I::LeftUp, t0), A::Switch);
    EXPECT_EQ(tray.OnInput(I::Select, t0 + 0x180), A::None);  // 384 ms later, past the wrap
    EXPECT_EQ(tray.OnInput(I::RightUp, t0 + 0x200), A::MenuAtPointer);
    EXPECT_EQ(tray.OnInput(I::ContextMenu, t0 + 0x201), A::None);
    // Without a release before them they come from the keyboard; each one acts.
    EXPECT_EQ(tray.OnInput(I::KeySelect, t0 + 0x300), A::KeyboardSwitch);
    EXPECT_EQ(tray.OnInput(I::Select, t0 + 0x301), A::KeyboardSwitch);
    EXPECT_EQ(tray.OnInput(I::ContextMenu, t0 + 0x302), A::MenuAtAnchor);
    EXPECT_EQ(tray.OnInput(I::ContextMenu, t0 + 0x303), A::MenuAtAnchor);
    // A release's follow-up drops only its own kind, and only while it is due.
    EXPECT_EQ(tray.OnInput(I::LeftUp, 5000), A::Switch);
    EXPECT_EQ(tray.OnInput(I::ContextMenu, 5001), A::MenuAtAnchor);
    EXPECT_EQ(tray.OnInput(I::Select, 5000 + TrayEvents::FollowUpMs + 1), A::KeyboardSwitch);
    EXPECT_EQ(tray.OnInput(I::Other, 7000), A::None);
    // A shell that refused version 4 sends no follow-ups: nothing waits for one.
    TrayEvents old;
    EXPECT_EQ(old.OnInput(I::LeftUp, 100), A::Switch);
    EXPECT_EQ(old.OnInput(I::Select, 101), A::KeyboardSwitch);
}

namespace {

// The main window's side of the options dialog, recording what reaches the window.
class RecordingOptionsHost : public SettingsOptionsHost {
public:
    using SettingsOptionsHost::SettingsOptionsHost;
    std::vector<std::string> calls;

    void WriteOptions(const OptionValues& v) override {
        SettingsOptionsHost::WriteOptions(v);
        calls.push_back("write");
    }
    void Talk(std::u16string_view) override { calls.push_back("talk"); }
    void SetAlarmVolume(int v) override { calls.push_back("alarm " + std::to_string(v)); }
    void SetVoiceVolume(int v) override { calls.push_back("voice " + std::to_string(v)); }

protected:
    void ApplyDisplayMode(DisplayMode m) override {
        calls.push_back(m == DisplayMode::Compact ? "apply compact" : "apply expanded");
    }
};

}  // namespace

TEST(S01MainWindow, OptionsOkStoresThenSetsVolumesThenAppliesTheModeFoundAtOpen) {
    const OptionValues sample = SampleOptions();
    for (DisplayMode mode : {DisplayMode::Compact, DisplayMode::Expanded}) {
        ks01 settings;
        settings.TimeHeight = 32;
        RecordingOptionsHost host(settings, mode == DisplayMode::Compact ? 38 : 300);
        EXPECT_EQ(host.ModeAtOpen(), mode);
        host.WriteOptions(sample);
        EXPECT_EQ(host.ReadOptions(), sample);  // every value reaches its own field
        EXPECT_EQ(settings.FormColor, 0x123456);
        EXPECT_EQ(settings.TimeColor, 0xABCDEF);
        host.calls.clear();

        OptionControls c = ControlsFromValues(host.ReadOptions());
        c.volAlarmIndex = 2;
        c.volVoiceIndex = 9;
        c.fontSizeIndex = 3;  // the height changes: the mode is still the one found at open
        ApplyOptions(host, c, host.ReadOptions());
        const std::string applied = mode == DisplayMode::Compact ? "apply compact" : "apply expanded";
        EXPECT_EQ(host.calls, (std::vector<std::string>{"write", "alarm 80", "voice 10", applied}));
        EXPECT_EQ(settings.TimeHeight, 40);
        EXPECT_EQ(settings.VolumeAlarm, 80);
        EXPECT_EQ(settings.VolumeVoice, 10);
    }
}
