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

using namespace movrek;

namespace {

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string U(const std::wstring& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.c_str()), text.size());
}

class RecordingMessages : public UserMessages {
public:
    std::vector<std::u16string> shown;
    void ShowMessage(std::u16string_view text) override { shown.emplace_back(text); }
    void Beep(int, int) override {}
    bool FileExists(std::u16string_view) override { return false; }
};

void WriteBytes(const std::u16string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

std::string ReadBytes(const std::u16string& path) {
    HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
    std::string bytes(1 << 16, '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// A hidden top-level window standing in for the main window, a program "movrek.exe" in a fresh
// folder named 設定 under the temporary folder, and the lists the settings fill.
class S01Win : public ::testing::Test {
protected:
    S01Win() {
        wchar_t temp[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        folder_ = U(std::wstring(temp, length)) + u"設定" + U(std::to_wstring(GetCurrentProcessId()));
        CreateDirectoryW(W(folder_), nullptr);
        settings.InitPaths(folder_ + u"\\movrek.exe");
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 120, 40, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        placement = Win32WindowPlacement(window_);
        before.SetItems({u"", u"10秒前"});
        start.SetItems({u"", u"起動しました", u"スタート"});
        pass.SetItems({u"", u"分経過", u"時間経過"});
        for (int i = 0; i < talarm::Rows; ++i) {
            auto& r = rows[static_cast<size_t>(i)];
            alarms.AttachRow(i, {&r[0], &r[1], &r[2], &r[3], &r[4]});
        }
        alarms.Populate();
    }
    ~S01Win() override {
        if (window_) DestroyWindow(window_);
        SetFileAttributesW(W(settings.IniPath), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(W(settings.IniPath));
        RemoveDirectoryW(W(folder_));
    }

    SettingsLinks Links() { return {placement, before, start, pass, alarms, messages}; }
    bool Load() { return settings.LoadSettings(Links()); }
    bool Save() { return settings.SaveSettings(Links()); }
    // Everything in the folder, to see that no temporary file stays behind.
    int FileCount() const {
        int count = 0;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(W(folder_ + u"\\*"), &found);
        if (search == INVALID_HANDLE_VALUE) return 0;
        do {
            if (found.cFileName[0] != L'.') ++count;
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return count;
    }

    HWND window_ = nullptr;
    Win32WindowPlacement placement{nullptr};
    RecordingMessages messages;
    MemoryChoiceList before, start, pass;
    std::array<std::array<MemoryChoiceList, 5>, talarm::Rows> rows;
    talarm alarms;
    ks01 settings;

    void SetUp() override { ASSERT_NE(window_, nullptr); }

private:
    std::u16string folder_;
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
