// The key-value document against the real Windows file system: Japanese paths, the system's
// ANSI code page, and saves that must fail without harming the old file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/TextFile.h"
#include "storage/Kini.h"
#include "support/Files_win.h"

using movrek::FileError;
using movrek::kini;
using movrek::kvar;
using movrek::test::ReadBytes;
using movrek::test::U;
using movrek::test::W;
using movrek::test::WriteBytes;

namespace {

// A fresh folder under the user's temporary folder (named 設定テスト unless told otherwise),
// removed afterwards.
struct JapaneseFolder : movrek::test::WinFolder {
    explicit JapaneseFolder(const std::u16string& name = u"設定テスト") : WinFolder(name) {}
};

// Bytes of a literal, embedded NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// Saves and expects the platform's error, which is shown for the record; returns its code.
long ExpectSaveFails(kini& doc, const std::u16string& path) {
    try {
        doc.Save(kvar(path));
        ADD_FAILURE() << "the save succeeded";
    } catch (const FileError& error) {
        EXPECT_NE(error.Code(), 0);
        EXPECT_FALSE(error.Message().empty());
        std::printf("save failed as expected: %ld %s\n", error.Code(), error.what());
        return error.Code();
    }
    return 0;
}

const std::string kOldFile = Bytes("\xFF\xFE" "o\0l\0d\0=\0" "1\0\r\0\n\0");

}  // namespace

TEST(KiniWin, LoadsAndSavesThroughAJapanesePath) {
    JapaneseFolder folder;
    ASSERT_TRUE(folder.created());
    const std::u16string path = folder.File(u"時報.ini");
    kini doc;
    doc.Write(u"TimeLabel", u"経過時間");
    EXPECT_TRUE(doc.Save(kvar(path)));
    EXPECT_TRUE(movrek::TextFileExists(path));

    kini back;
    ASSERT_TRUE(back.Load(kvar(path)));
    EXPECT_EQ(back.Read(u"timelabel").AsString(), u"経過時間");

    back.Write(u"Top", 5);
    back.Save(kvar(path));
    ASSERT_TRUE(doc.Load(kvar(path)));
    EXPECT_EQ(doc.Lines(), (std::vector<std::u16string>{u"TimeLabel=経過時間", u"Top=5"}));
    EXPECT_EQ(folder.Names(), std::vector<std::u16string>{u"時報.ini"});
}

TEST(KiniWin, AFileWithoutByteOrderMarkIsReadInTheAnsiCodePage) {
    JapaneseFolder folder(u"kini-legacy");
    ASSERT_TRUE(folder.created());
    const std::string sjis = "TimeLabel=\x8E\x9E\x95\xF1";  // 時報 in Shift-JIS
    WriteBytes(folder.File(u"legacy.ini"), sjis);

    wchar_t expected[64];
    const int length = MultiByteToWideChar(CP_ACP, 0, sjis.data(), static_cast<int>(sjis.size()),
                                           expected, 64);
    const UINT acp = GetACP();
    std::printf("system ANSI code page under test: %u\n", acp);

    kini doc;
    ASSERT_TRUE(doc.Load(kvar(folder.File(u"legacy.ini"))));
    ASSERT_EQ(doc.Lines().size(), 1u);
    EXPECT_EQ(doc.Lines()[0], U(std::wstring(expected, static_cast<size_t>(length))));
    if (acp == 932) EXPECT_EQ(doc.Lines()[0], u"TimeLabel=時報");
    else EXPECT_NE(doc.Lines()[0], u"TimeLabel=時報");  // bytes decoded as another code page
}

TEST(KiniWin, NamesCompareWithoutRegardToCaseBeyondAscii) {
    EXPECT_TRUE(movrek::TextEqualsNoCase(u"TimeHeight", u"timeheight"));
    EXPECT_TRUE(movrek::TextEqualsNoCase(u"ＴＯＰ", u"ｔｏｐ"));
    EXPECT_TRUE(movrek::TextEqualsNoCase(u"ÄÖ", u"äö"));
    EXPECT_FALSE(movrek::TextEqualsNoCase(u"Top", u"Top "));
    EXPECT_FALSE(movrek::TextEqualsNoCase(u"ア", u"ｱ"));  // width is not case
}

TEST(KiniWin, AFileHeldOpenWithoutSharingCannotBeLoadedAndTheLinesStay) {
    JapaneseFolder folder;
    ASSERT_TRUE(folder.created());
    const std::u16string path = folder.File(u"locked.ini");
    WriteBytes(path, kOldFile);
    kini doc;
    doc.Write(u"mine", 1);
    HANDLE holder = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    try {
        doc.Load(kvar(path));
        ADD_FAILURE() << "loading a locked file succeeded";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Code(), static_cast<long>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(error.Message().empty());
        EXPECT_EQ(error.Path(), path);
    }
    CloseHandle(holder);
    EXPECT_EQ(doc.Lines(), std::vector<std::u16string>{u"mine=1"});
}

TEST(KiniWin, AFailedSwapLeavesTheOldFileAndNoTemporaryFile) {
    JapaneseFolder folder;
    ASSERT_TRUE(folder.created());
    kini doc;
    doc.Write(u"new", 2);

    // Held open by someone who allows neither writing nor deleting.
    const std::u16string held = folder.File(u"held.ini");
    WriteBytes(held, kOldFile);
    HANDLE holder = CreateFileW(W(held), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    // Held for longer than the save tries again: the platform's own error in the end.
    const long heldCode = ExpectSaveFails(doc, held);
    EXPECT_TRUE(heldCode == ERROR_SHARING_VIOLATION || heldCode == ERROR_ACCESS_DENIED) << heldCode;
    CloseHandle(holder);
    EXPECT_EQ(ReadBytes(held), kOldFile);

    // A read-only file.
    const std::u16string readOnly = folder.File(u"readonly.ini");
    WriteBytes(readOnly, kOldFile);
    SetFileAttributesW(W(readOnly), FILE_ATTRIBUTE_READONLY);
    ExpectSaveFails(doc, readOnly);
    EXPECT_EQ(ReadBytes(readOnly), kOldFile);

    // A folder where the file should be.
    const std::u16string dir = folder.File(u"dir.ini");
    ASSERT_TRUE(CreateDirectoryW(W(dir), nullptr));
    ExpectSaveFails(doc, dir);

    std::vector<std::u16string> names = folder.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"dir.ini", u"held.ini", u"readonly.ini"}));

    // Once released, the same save goes through.
    EXPECT_TRUE(doc.Save(kvar(held)));
    EXPECT_EQ(ReadBytes(held), Bytes("\xFF\xFE" "n\0e\0w\0=\0" "2\0\r\0\n\0"));
}

// A virus scanner or the indexer opens the file just after it changed and lets go soon. Under
// Wine the swap over a file open elsewhere fails with ERROR_ACCESS_DENIED whatever it shares;
// Windows answers ERROR_SHARING_VIOLATION or ERROR_ACCESS_DENIED.
TEST(KiniWin, ASwapThatAnotherHandleBlocksForAMomentGoesThrough) {
    JapaneseFolder folder;
    ASSERT_TRUE(folder.created());
    const std::u16string path = folder.File(u"scanned.ini");
    WriteBytes(path, kOldFile);
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(held, nullptr);
    std::thread scanner([&] {
        HANDLE file = CreateFileW(W(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetEvent(held);
        if (file == INVALID_HANDLE_VALUE) return;
        Sleep(200);  // how long the other program reads
        CloseHandle(file);
    });
    WaitForSingleObject(held, INFINITE);
    kini doc;
    doc.Write(u"new", 2);
    bool saved = false;
    try {
        saved = doc.Save(kvar(path));
    } catch (const FileError& error) {
        ADD_FAILURE() << "the save gave up: " << error.Code() << " " << error.what();
    }
    scanner.join();
    CloseHandle(held);
    EXPECT_TRUE(saved);
    EXPECT_EQ(ReadBytes(path), Bytes("\xFF\xFE" "n\0e\0w\0=\0" "2\0\r\0\n\0"));
    EXPECT_EQ(folder.Names(), std::vector<std::u16string>{u"scanned.ini"});
}

TEST(KiniWin, ASaveRemovesTheScratchFilesOfEndedSavesOnly) {
    JapaneseFolder folder;
    ASSERT_TRUE(folder.created());
    const std::u16string target = folder.File(u"設定.ini");

    // A process that is still running: a suspended copy of this one.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION live{};
    ASSERT_TRUE(CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                               &si, &live));
    // And one that has ended.
    PROCESS_INFORMATION dead{};
    ASSERT_TRUE(CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                               &si, &dead));
    TerminateProcess(dead.hProcess, 1);
    WaitForSingleObject(dead.hProcess, 5000);
    CloseHandle(dead.hThread);
    const DWORD deadPid = dead.dwProcessId;
    CloseHandle(dead.hProcess);

    auto scratch = [&](DWORD pid) {
        return u"設定.ini." + U(std::to_wstring(pid)) + u"-3.tmp";
    };
    const std::vector<std::u16string> kept = {scratch(live.dwProcessId), scratch(GetCurrentProcessId()),
                                              u"設定.ini.bak", u"設定.ini.12a-1.tmp", u"他.ini.8-1.tmp"};
    for (const auto& name : kept) WriteBytes(folder.File(name), "x");
    WriteBytes(folder.File(scratch(deadPid)), "half a save");
    WriteBytes(folder.File(u"設定.INI.400000000-9.tmp"), "another");

    kini doc;
    doc.Write(u"a", 1);
    EXPECT_TRUE(doc.Save(kvar(target)));
    TerminateProcess(live.hProcess, 1);
    CloseHandle(live.hThread);
    CloseHandle(live.hProcess);

    std::vector<std::u16string> names = folder.Names();
    std::vector<std::u16string> expected = kept;
    expected.push_back(u"設定.ini");
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}
