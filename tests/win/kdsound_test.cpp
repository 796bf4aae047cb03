// The sound device against real DirectSound and real files: the clip loader on a corpus of
// crafted RIFF files, the notifier's messages, and the device's clean teardown. Under Wine
// the tests run with a private HOME whose ALSA configuration sends the mix to a file.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/Kdsound_win.h"
#include "sound/TalkNotify.h"

namespace movrek {
namespace {

// ---------------------------------------------------------------- helpers

class RecordingMessages : public UserMessages {
public:
    void ShowMessage(std::u16string_view text) override { shown.emplace_back(text); }
    void Beep(int, int) override {}
    bool FileExists(std::u16string_view) override { return false; }
    std::vector<std::u16string> shown;
};

using Messages = std::vector<std::u16string>;

std::string Le32(std::uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}
std::string Le16(std::uint16_t v) { return {char(v & 0xFF), char(v >> 8)}; }

// A chunk with its fill byte; declared overrides the size written in the header.
std::string Chunk(const char (&id)[5], const std::string& data, std::int64_t declared = -1) {
    std::string c(id, 4);
    c += Le32(static_cast<std::uint32_t>(declared < 0 ? std::int64_t(data.size()) : declared));
    c += data;
    if (data.size() % 2) c += '\0';
    return c;
}

std::string PcmFormat(int channels = 1, int rate = 44100, int bits = 16) {
    const int align = channels * bits / 8;
    return Le16(1) + Le16(std::uint16_t(channels)) + Le32(std::uint32_t(rate)) +
           Le32(std::uint32_t(rate * align)) + Le16(std::uint16_t(align)) +
           Le16(std::uint16_t(bits));
}

std::string Riff(const std::string& body, const char (&form)[5] = "WAVE") {
    return Chunk("RIFF", std::string(form, 4) + body);
}

// 16-bit mono samples of a 441 Hz square wave.
std::string Samples(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += Le16(std::uint16_t((i / 50) % 2 ? 8000 : -8000));
    return s;
}

std::string SimpleWave(int samples) {
    return Riff(Chunk("fmt ", PcmFormat()) + Chunk("data", Samples(samples)));
}

// A folder of this process's own under the temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"kdsound_test_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const auto& f : files_) DeleteFileW(f.c_str());
        RemoveDirectoryW(path_.c_str());
    }
    std::u16string Write(const std::wstring& name, const std::string& bytes) {
        const std::wstring full = path_ + L"\\" + name;
        HANDLE h = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << "cannot create the test file";
        DWORD written = 0;
        WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(h);
        files_.push_back(full);
        return Path(name);
    }
    std::u16string Path(const std::wstring& name) const {
        const std::wstring full = path_ + L"\\" + name;
        return std::u16string(full.begin(), full.end());
    }

private:
    std::wstring path_;
    std::vector<std::wstring> files_;
};

// A hidden top-level window: the owner for the cooperative level and the notifier's target.
class OwnerWindow {
public:
    OwnerWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KdsoundTestOwner";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~OwnerWindow() { DestroyWindow(hwnd_); }
    HWND Get() const { return hwnd_; }

    // Collects the TalkNotify first parameters that arrive within the time limit, returning
    // early once `enough` have come.
    std::vector<WPARAM> Notifications(std::chrono::milliseconds limit, size_t enough = SIZE_MAX) {
        std::vector<WPARAM> got;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == hwnd_ && msg.message == kTalkNotify) {
                    EXPECT_EQ(msg.lParam, 0);
                    got.push_back(msg.wParam);
                } else {
                    DispatchMessageW(&msg);
                }
            }
            const auto now = std::chrono::steady_clock::now();
            if (got.size() >= enough || now >= deadline) return got;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left) + 1, QS_ALLINPUT);
        }
    }

private:
    HWND hwnd_ = nullptr;
};

constexpr auto kQuiet = std::chrono::milliseconds(300);  // for asserting that nothing comes
constexpr auto kPatience = std::chrono::seconds(10);     // for what must come

// ---------------------------------------------------------------- the clip loader

class LoadWaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = std::make_unique<kdsound>(window_.Get(), messages_);
        ASSERT_TRUE(device_->Open()) << "DirectSound device";
        ASSERT_TRUE(device_->CreatePrimary());
        ASSERT_TRUE(messages_.shown.empty());
    }
    void TearDown() override { device_->Close(); }

    // Loads the bytes from a file of the given name; returns the result and the messages.
    std::pair<bool, Messages> Load(const std::string& bytes, const std::wstring& name = L"c.wav") {
        messages_.shown.clear();
        const bool ok = device_->LoadWave(folder_.Write(name, bytes), DeviceLossReport::Show);
        return {ok, messages_.shown};
    }

    OwnerWindow window_;
    RecordingMessages messages_;
    TempFolder folder_;
    std::unique_ptr<kdsound> device_;
};

const std::pair<bool, Messages> kLoaded{true, {}};
std::pair<bool, Messages> Refused(const char16_t* text) { return {false, {text}}; }

TEST_F(LoadWaveTest, AcceptsTheLayoutsRealFilesUse) {
    EXPECT_EQ(Load(SimpleWave(4410)), kLoaded);
    EXPECT_TRUE(device_->HasClip());
    // "fact" between fmt and data is skipped.
    EXPECT_EQ(Load(Riff(Chunk("fmt ", PcmFormat()) + Chunk("fact", Le32(4410)) +
                        Chunk("data", Samples(4410)))),
              kLoaded);
    // Odd-sized chunks carry a fill byte that the walk must step over.
    EXPECT_EQ(Load(Riff(Chunk("fmt ", PcmFormat()) + Chunk("junk", "abc") +
                        Chunk("LIST", "INFOx") + Chunk("data", Samples(100)))),
              kLoaded);
    // An 18-byte fmt chunk (with its extra-size field) and an 8-bit stereo format.
    EXPECT_EQ(Load(Riff(Chunk("fmt ", PcmFormat(2, 22050, 8) + Le16(0)) +
                        Chunk("data", std::string(400, '\x80')))),
              kLoaded);
    // Chunks after data are never read, even nonsense.
    EXPECT_EQ(Load(Riff(Chunk("fmt ", PcmFormat()) + Chunk("data", Samples(10)) + "garbage!")),
              kLoaded);
}

TEST_F(LoadWaveTest, DataDeclaringMoreThanTheFileHoldsLoads) {
    const std::string body = "WAVE" + Chunk("fmt ", PcmFormat()) + "data" + Le32(88200);
    const std::string samples = Samples(100);
    EXPECT_EQ(Load("RIFF" + Le32(std::uint32_t(body.size() + 88200)) + body + samples), kLoaded);
    // Even when the file ends two bytes into the data.
    EXPECT_EQ(Load("RIFF" + Le32(std::uint32_t(body.size() + 88200)) + body + "\1\2"), kLoaded);
}

TEST_F(LoadWaveTest, RefusesFilesThatAreNotWaveForms) {
    const auto wrongForm = Refused(u"WAVEチャンクチェックエラー");
    EXPECT_EQ(Load(Riff(Chunk("fmt ", PcmFormat()) + Chunk("data", Samples(10)), "AVI ")),
              wrongForm);
    EXPECT_EQ(Load("This is a plain text file, not RIFF at all.\r\n"), wrongForm);
    EXPECT_EQ(Load(""), wrongForm);
    // A leading chunk is skipped in the search for RIFF, however large it claims to be.
    EXPECT_EQ(Load(Chunk("junk", "", 0xFFFFFFF8) + SimpleWave(10)), wrongForm);
    EXPECT_EQ(Load(Chunk("junk", "xy") + SimpleWave(10)), kLoaded);
}

TEST_F(LoadWaveTest, RefusesFilesWhoseChunksAreOutOfPlace) {
    // fmt must be the first sub-chunk, even when it follows later.
    EXPECT_EQ(Load(Riff(Chunk("LIST", "INFO") + Chunk("fmt ", PcmFormat()) +
                        Chunk("data", Samples(10)))),
              Refused(u"fmt チャンクチェックエラー"));
    EXPECT_EQ(Load(Riff("")), Refused(u"fmt チャンクチェックエラー"));

    const auto noData = Refused(u"dataチャンクが見つからない");
    EXPECT_EQ(Load(Riff(Chunk("fmt ", PcmFormat()))), noData);
    EXPECT_EQ(Load(Riff(Chunk("fmt ", PcmFormat()) + Chunk("fact", Le32(1)))), noData);
    // A data chunk beyond the end the RIFF chunk declares is not part of it.
    std::string outside = Riff(Chunk("fmt ", PcmFormat())) + Chunk("data", Samples(10));
    EXPECT_EQ(Load(outside), noData);
    // A chunk whose size wraps the 32-bit position must not send the walk back in a loop.
    EXPECT_EQ(Load(Riff(Chunk("fmt ", PcmFormat()) + Chunk("junk", "", 0xFFFFFFF8) +
                        Chunk("data", Samples(10)))),
              noData);
}

TEST_F(LoadWaveTest, RefusesWhatTheDeviceCannotPlay) {
    const auto refused = Refused(u"サウンドバッファの作成エラー");
    EXPECT_EQ(Load(Riff(Chunk("fmt ", PcmFormat()) + Chunk("data", ""))), refused);
    EXPECT_FALSE(device_->HasClip()) << "the previous clip is released before the new one";
    // An encoding DirectSound does not mix (format tag 0x55, MP3).
    std::string mp3 = PcmFormat();
    mp3[0] = 0x55;
    EXPECT_EQ(Load(Riff(Chunk("fmt ", mp3) + Chunk("data", Samples(10)))), refused);
}

TEST_F(LoadWaveTest, FindsFilesByTheirWideNames) {
    EXPECT_EQ(Load(SimpleWave(100), L"じかん\u6642\u5831.wav"), kLoaded);
    messages_.shown.clear();
    EXPECT_FALSE(device_->LoadWave(folder_.Path(L"ない.wav"), DeviceLossReport::Show));
    EXPECT_EQ(messages_.shown, Messages{u"WAVファイルロードエラー"});
}

// ---------------------------------------------------------------- without a device

TEST(KdsoundWithoutDevice, EveryStepFailsWithItsMessage) {
    OwnerWindow window;
    RecordingMessages messages;
    TempFolder folder;
    kdsound device(window.Get(), messages);  // never opened: no DirectSound interface

    EXPECT_FALSE(device.CreatePrimary());
    // The file is read first; only the buffer creation needs the device.
    EXPECT_FALSE(device.LoadWave(folder.Write(L"ok.wav", SimpleWave(10)), DeviceLossReport::Show));
    EXPECT_FALSE(device.SetNotify());
    device.SetVolume(50);
    EXPECT_LT(device.PlayClip(), 0);
    device.StopClip();
    EXPECT_TRUE(device.Close());
    EXPECT_FALSE(device.ClipSounding());
    EXPECT_EQ(messages.shown, (Messages{u"プライマリサウンドバッファ作成失敗",
                                        u"サウンドバッファの作成エラー",
                                        u"DirectSound SetVolume error"}));
    EXPECT_TRUE(window.Notifications(kQuiet).empty());

    // A device that could not be had counts as gone; a reopen that finds one brings it back
    // without a word, and clips play through it.
    EXPECT_TRUE(device.DeviceGone());
    messages.shown.clear();
    ASSERT_TRUE(device.Reopen());
    EXPECT_FALSE(device.DeviceGone());
    ASSERT_TRUE(device.LoadWave(folder.Write(L"ok.wav", SimpleWave(441)), DeviceLossReport::Hold));
    ASSERT_TRUE(device.SetNotify());
    EXPECT_EQ(device.PlayClip(), DS_OK);
    EXPECT_EQ(window.Notifications(kPatience, 1), std::vector<WPARAM>{0});
    EXPECT_TRUE(messages.shown.empty());
    device.Close();
}

// ---------------------------------------------------------------- playback and notifier

class PlaybackTest : public LoadWaveTest {
protected:
    bool Play(const std::string& wave, int volume) {
        if (!device_->LoadWave(folder_.Write(L"play.wav", wave), DeviceLossReport::Show)) return false;
        if (!device_->SetNotify()) return false;
        device_->SetVolume(volume);
        return device_->PlayClip() >= 0;
    }
};

TEST_F(PlaybackTest, AClipThatEndsPostsOneNotification) {
    ASSERT_TRUE(Play(SimpleWave(4410), 100));  // 0.1 s
    EXPECT_EQ(window_.Notifications(kPatience, 1), std::vector<WPARAM>{0});
    // By the time the notice arrives the buffer says it has stopped: the announcer tells a
    // clip's own notice from a replaced clip's by this.
    EXPECT_FALSE(device_->ClipSounding());
    EXPECT_TRUE(window_.Notifications(kQuiet).empty());
    EXPECT_TRUE(messages_.shown.empty());

    // The next clip replaces the first and notifies again.
    ASSERT_TRUE(Play(SimpleWave(2205), 0));
    EXPECT_EQ(window_.Notifications(kPatience, 1), std::vector<WPARAM>{0});
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(PlaybackTest, AClipStoppedEarlyPostsOneNotification) {
    ASSERT_TRUE(Play(SimpleWave(44100 * 60), 50));  // a minute: far from its end when stopped
    EXPECT_TRUE(device_->ClipSounding());
    device_->StopClip();
    EXPECT_FALSE(device_->ClipSounding());
    EXPECT_EQ(window_.Notifications(kPatience, 1), std::vector<WPARAM>{0});
    EXPECT_TRUE(window_.Notifications(kQuiet).empty());
    device_->StopClip();  // stopping a stopped clip sets nothing new
    EXPECT_TRUE(window_.Notifications(kQuiet).empty());
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(PlaybackTest, AClipThatReplacesAPlayingOneSoundsUntilItsOwnStop) {
    // Whether the replaced buffer's release posts a stop differs between platforms (Wine's
    // posts none): the status must tell the new clip's state either way.
    ASSERT_TRUE(Play(SimpleWave(44100 * 60), 100));
    ASSERT_TRUE(Play(SimpleWave(44100 * 60), 100));
    window_.Notifications(kQuiet);
    EXPECT_TRUE(device_->ClipSounding());
    device_->StopClip();
    EXPECT_EQ(window_.Notifications(kPatience, 1), std::vector<WPARAM>{0});
    EXPECT_FALSE(device_->ClipSounding());
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(PlaybackTest, AnIdleDevicePostsNothing) {
    ASSERT_TRUE(device_->LoadWave(folder_.Write(L"idle.wav", SimpleWave(100)), DeviceLossReport::Show));
    ASSERT_TRUE(device_->SetNotify());
    EXPECT_TRUE(window_.Notifications(kQuiet).empty());
}

TEST_F(PlaybackTest, EachSetOfAnEventIsOnePostCarryingItsIndex) {
    // The spare events are never set by the device; setting them by hand checks the mapping.
    SetEvent(device_->PlaybackEvent(2));
    EXPECT_EQ(window_.Notifications(kPatience, 1), std::vector<WPARAM>{2});
    SetEvent(device_->PlaybackEvent(1));
    EXPECT_EQ(window_.Notifications(kPatience, 1), std::vector<WPARAM>{1});
}

// ---------------------------------------------------------------- teardown

int ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snap);
    return n;
}

// Counts the open handles by probing every handle value: Wine's GetProcessHandleCount
// reports 0.
int HandleCount() {
    int n = 0;
    for (std::uintptr_t v = 4; v < 0x20000; v += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags)) ++n;
    }
    return n;
}

TEST(KdsoundLifetime, CreatingAndDestroyingLeavesNoThreadOrHandle) {
    OwnerWindow window;
    RecordingMessages messages;
    { kdsound warmUp(window.Get(), messages); }
    const int threads = ThreadCount();
    const int handles = HandleCount();
    ASSERT_GT(threads, 0);
    ASSERT_GT(handles, 0);

    for (int i = 0; i < 200; ++i) {
        kdsound device(window.Get(), messages);
        if (i == 0) {
            EXPECT_EQ(ThreadCount(), threads + 1) << "the notifier runs";
        }
        if (i % 50 == 0) SetEvent(device.PlaybackEvent(0));  // a wake just before the end
    }
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(HandleCount(), handles);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(KdsoundLifetime, OpeningAndClosingDirectSoundRepeatedlyLeavesNoHandle) {
    OwnerWindow window;
    RecordingMessages messages;
    TempFolder folder;
    const std::u16string clip = folder.Write(L"c.wav", SimpleWave(441));
    auto cycle = [&] {
        kdsound device(window.Get(), messages);
        ASSERT_TRUE(device.Open());
        ASSERT_TRUE(device.CreatePrimary());
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(device.LoadWave(clip, DeviceLossReport::Show));
        ASSERT_TRUE(device.SetNotify());
        ASSERT_TRUE(device.Reopen());  // and once more, as after a device was found gone
        ASSERT_TRUE(device.LoadWave(clip, DeviceLossReport::Show));
        device.Close();
    };
    cycle();
    const int handles = HandleCount();
    for (int i = 0; i < 20; ++i) cycle();
    EXPECT_EQ(HandleCount(), handles);
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace movrek
