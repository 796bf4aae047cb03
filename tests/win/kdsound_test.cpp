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
#include "support/Files_win.h"
#include "support/OwnerWindow_win.h"
#include "support/RecordingMessages.h"
#include "support/Riff.h"

namespace movrek {
namespace {

using namespace test;

// ---------------------------------------------------------------- helpers

using Messages = std::vector<std::u16string>;

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
struct TempFolder : test::WinFolder {
    TempFolder() : WinFolder(u"kdsound_test_") {}
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
    EXPECT_FALSE(device_->LoadWave(folder_.File(L"ない.wav"), DeviceLossReport::Show));
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

TEST(KdsoundLifetime, ClosingTheDeviceForSilenceLetsItsThreadsEndAndAReopenPlaysAgain) {
    OwnerWindow window;
    RecordingMessages messages;
    TempFolder folder;
    const std::u16string clip = folder.Write(L"c.wav", SimpleWave(441));
    kdsound device(window.Get(), messages);
    const int closedThreads = ThreadCount();
    auto playOnce = [&] {
        ASSERT_TRUE(device.LoadWave(clip, DeviceLossReport::Show));
        ASSERT_TRUE(device.SetNotify());
        device.SetVolume(100);
        ASSERT_EQ(device.PlayClip(), DS_OK);
        EXPECT_EQ(window.Notifications(kPatience, 1), std::vector<WPARAM>{0});
    };
    ASSERT_TRUE(device.Open());
    ASSERT_TRUE(device.CreatePrimary());
    playOnce();

    device.CloseDevice();
    EXPECT_TRUE(device.DeviceGone());
    EXPECT_FALSE(device.HasClip());
    // Wine mixes for an open device every 10 ms whether anything sounds or not; what the close
    // is for is that those threads end. (Windows keeps its own threads as it sees fit.)
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        const auto until = std::chrono::steady_clock::now() + kPatience;
        while (ThreadCount() > closedThreads && std::chrono::steady_clock::now() < until) Sleep(20);
        EXPECT_EQ(ThreadCount(), closedThreads) << "the mixer still runs";
    }

    // The library stays begun, so the reopen needs nothing of the caller; twice, as the idle
    // closes of a long run do.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(device.Reopen());
        EXPECT_FALSE(device.DeviceGone());
        playOnce();
        device.CloseDevice();
    }
    EXPECT_TRUE(messages.shown.empty());
    device.Close();
}

}  // namespace
}  // namespace movrek
