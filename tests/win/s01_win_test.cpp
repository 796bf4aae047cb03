// The settings record against the real platform: the program's own path, the monitors, a real
// window's position, and settings files in a Japanese folder that cannot be read or written.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "app/S01.h"
#include "app/S01_win.h"
#include "app/Talarm.h"
#include "support/AlarmRows.h"
#include "support/Bytes.h"
#include "support/Files_win.h"
#include "support/RecordingMessages.h"

using namespace movrek;
using namespace movrek::test;

namespace {

// A hidden top-level window standing in for the main window, a program "movrek.exe" in a fresh
// folder named 設定 under the temporary folder, and the lists the settings fill.
class S01Win : public ::testing::Test, public SettingsLists {
protected:
    S01Win() {
        settings.InitPaths(folder_.File(u"movrek.exe"));
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 120, 40, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        placement = Win32WindowPlacement(window_);
    }
    ~S01Win() override {
        if (window_) DestroyWindow(window_);
    }

    SettingsLinks Links() { return {placement, before, start, pass, alarms, messages}; }
    bool Load() { return settings.LoadSettings(Links()); }
    bool Save() { return settings.SaveSettings(Links()); }
    // Everything in the folder, to see that no temporary file stays behind.
    int FileCount() const { return static_cast<int>(folder_.Names().size()); }

    WinFolder folder_{u"設定"};
    HWND window_ = nullptr;
    Win32WindowPlacement placement{nullptr};
    RecordingMessages messages;
    ks01 settings;

    void SetUp() override { ASSERT_NE(window_, nullptr); }
};

}  // namespace

TEST(S01WinPlatform, TheProgramsPathGivesTheSettingsFileBesideIt) {
    const std::u16string path = RunningProgramPath();
    ASSERT_GT(path.size(), 14u);
    EXPECT_EQ(GetFileAttributesW(W(path)) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    ks01 s(path);
    EXPECT_EQ(s.ExeName, u"win_tests.exe");
    EXPECT_EQ(s.IniPath, s.ExeDir + u"\\win_tests.ini");
    EXPECT_EQ(path, s.ExeDir + u"\\" + s.ExeName);
}

TEST(S01WinPlatform, TheMonitorTestAsksWhetherTheSquareTouchesAnyMonitor) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN), vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    ASSERT_GT(w, 100);
    ASSERT_GT(h, 100);
    EXPECT_TRUE(SquareOnAnyMonitor(0, 0));
    EXPECT_TRUE(SquareOnAnyMonitor(w - 100, h - 100));
    EXPECT_TRUE(SquareOnAnyMonitor(w - 1, h - 1));  // one pixel is enough
    EXPECT_TRUE(SquareOnAnyMonitor(-99, -99));
    // Beyond every monitor: left of, above, right of and below the whole desktop.
    EXPECT_FALSE(SquareOnAnyMonitor(vx - 100, 0));
    EXPECT_FALSE(SquareOnAnyMonitor(0, vy - 100));
    EXPECT_FALSE(SquareOnAnyMonitor(vx + vw, 0));
    EXPECT_FALSE(SquareOnAnyMonitor(0, vy + vh));
    EXPECT_FALSE(SquareOnAnyMonitor(-30000, -30000));
}

TEST_F(S01Win, AJapaneseFolderRoundTripsAndTheRealWindowIsPlaced) {
    EXPECT_EQ(settings.IniPath.substr(settings.IniPath.size() - 11), u"\\movrek.ini");
    ASSERT_TRUE(Load());  // no file yet
    RECT r{};
    GetWindowRect(window_, &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(placement.PrimaryWidth(), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(placement.PrimaryHeight(), GetSystemMetrics(SM_CYSCREEN));

    settings.TimeLabel = u"経過時間";
    rows[2][4].Select(10);
    placement.MoveTo(-40, 30);
    ASSERT_TRUE(Save());
    EXPECT_EQ(FileCount(), 1);
    const std::string bytes = ReadBytes(settings.IniPath);
    EXPECT_EQ(bytes.substr(0, 2 + 2 * 12), Utf16File(u"Movrek=0.3\r\n"));
    EXPECT_NE(bytes.find(Utf16File(u"Top=30\r\nLeft=-40\r\n").substr(2)), std::string::npos);
    EXPECT_NE(bytes.find(Utf16File(u"TimeLabel=経過時間\r\n").substr(2)), std::string::npos);

    settings.TimeLabel.clear();
    rows[2][4].Select(0);
    placement.MoveTo(0, 0);
    ASSERT_TRUE(Load());
    EXPECT_EQ(settings.TimeLabel, u"経過時間");
    EXPECT_EQ(rows[2][4].Selected(), 10);
    EXPECT_EQ(placement.Left(), -40);
    EXPECT_EQ(placement.Top(), 30);

    // A place on no monitor comes back onto the primary screen.
    WriteBytes(settings.IniPath, Utf16File(u"Movrek=0.3\r\nTop=-20000\r\nLeft=-20000\r\n"));
    ASSERT_TRUE(Load());
    EXPECT_EQ(placement.Left(), 0);
    EXPECT_EQ(placement.Top(), 0);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(S01Win, AFileHeldOpenAtStartIsReportedAndNotReplacedLater) {
    const std::string old = Utf16File(u"Movrek=0.3\r\nTop=321\r\nTimeHeight=40\r\n");
    WriteBytes(settings.IniPath, old);
    HANDLE holder = CreateFileW(W(settings.IniPath), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Load());
    CloseHandle(holder);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(settings.IniPath), std::u16string::npos);
    EXPECT_EQ(messages.shown[0], std::u16string(kUnreadableSettingsMessage) + u"\n" + settings.IniPath);
    EXPECT_EQ(settings.TimeHeight, 16);
    EXPECT_EQ(placement.Top(), 100);

    EXPECT_FALSE(Save());  // even now that it could be written
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(ReadBytes(settings.IniPath), old);
}

TEST_F(S01Win, AFileThatCannotBeReplacedIsReportedAndKept) {
    const std::string old = Utf16File(u"Movrek=0.3\r\nTop=321\r\n");
    WriteBytes(settings.IniPath, old);
    ASSERT_TRUE(Load());
    EXPECT_EQ(placement.Top(), 321);

    // Someone holds it open without letting it be replaced.
    HANDLE holder = CreateFileW(W(settings.IniPath), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Save());
    CloseHandle(holder);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(settings.IniPath), std::u16string::npos);
    EXPECT_EQ(ReadBytes(settings.IniPath), old);

    // Marked read-only.
    SetFileAttributesW(W(settings.IniPath), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(Save());
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(ReadBytes(settings.IniPath), old);
    EXPECT_EQ(FileCount(), 1);

    // Writable again: the next save goes through.
    SetFileAttributesW(W(settings.IniPath), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(Save());
    EXPECT_EQ(messages.shown.size(), 2u);
}
