#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Utf.h"
#include "sound/ClipNames.h"
#include "sound/Ktalk.h"
#include "support/EngineFakes.h"
#include "support/RecordingMessages.h"

using movrek::ktalk;
using movrek::ToUtf8;
using movrek::test::FakeTicker;
using movrek::test::RecordingMessages;

namespace {

using Events = std::vector<std::string>;

// Records the device operations; each step can be made to fail for a given clip, and the
// output device can vanish and come back. A device closed for silence works again only
// after a reopen, as the real one does.
class RecordingDevice : public movrek::SoundOutput {
public:
    RecordingDevice(Events& log, movrek::UserMessages& messages) : log_(log), messages_(messages) {}
    bool Open() override {
        log_.push_back("Open");
        return OpenQuietly();
    }
    bool CreatePrimary() override { return Note("CreatePrimary"); }
    bool LoadWave(std::u16string_view path, movrek::DeviceLossReport loss) override {
        current_ = path;
        log_.push_back("LoadWave " + ToUtf8(path));
        const bool lost = !alive;
        if (lost) gone_ = true;
        if (failLoad.count(current_) || (lost && loss == movrek::DeviceLossReport::Show)) {
            messages_.ShowMessage(u"サウンドバッファの作成エラー");  // the device's own message
            return false;
        }
        return !lost;
    }
    bool SetNotify() override {
        log_.push_back("SetNotify");
        return failNotify.count(current_) == 0;
    }
    void SetVolume(int setting) override { log_.push_back("SetVolume " + std::to_string(setting)); }
    long PlayClip() override {
        log_.push_back("PlayClip");
        if (losePlay.erase(current_)) alive = false;  // unplugged between load and play
        if (!alive) {
            gone_ = true;
            return -2005401480L;  // DSERR_NODRIVER
        }
        if (failPlay.count(current_)) return -2147467259L;  // E_FAIL
        if (soundOnPlay) sounding = true;
        return 0;
    }
    void StopClip() override {
        log_.push_back("StopClip");
        sounding = false;
    }
    bool Close() override { return Note("Close"); }
    void CloseDevice() override {
        log_.push_back(sounding ? "CloseDevice while sounding" : "CloseDevice");
        sounding = false;  // its buffer is gone
        alive = false;
        gone_ = true;
    }
    bool ClipSounding() const override { return sounding; }
    bool DeviceGone() const override { return gone_; }
    bool Reopen() override {
        log_.push_back("Reopen");
        return OpenQuietly();
    }

    std::set<std::u16string> failLoad, failNotify, failPlay;
    std::set<std::u16string> losePlay;  // the device goes away as this clip is started
    bool sounding = false;   // what the clip buffer's status says
    bool soundOnPlay = false;  // a started clip sounds until the test says it has stopped
    bool alive = true;       // the device that was opened still works
    bool available = true;   // an open would find a device

private:
    bool Note(const char* op) {
        log_.push_back(op);
        return true;
    }
    bool OpenQuietly() {
        alive = available;
        gone_ = !available;
        return available;
    }
    Events& log_;
    movrek::UserMessages& messages_;
    std::u16string current_;
    bool gone_ = false;
};

std::u16string Path(std::u16string_view name) { return ktalk::ClipPath(name); }

std::string Load(const char16_t* name) { return "LoadWave " + ToUtf8(Path(name)); }

// The full operation sequence of one clip that plays.
Events Plays(const char16_t* name, int volume = 100) {
    return {Load(name), "SetNotify", "SetVolume " + std::to_string(volume), "PlayClip"};
}

Events Concat(std::initializer_list<Events> parts) {
    Events all;
    for (const Events& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

class KtalkTest : public ::testing::Test {
protected:
    KtalkTest() : talk(std::make_unique<ktalk>(device, messages, ticker)) { log.clear(); }

    // A tick of the owner's timer: it comes only while the announcer has armed it.
    void Tick() {
        EXPECT_TRUE(ticker.Enabled) << "a tick the announcer needs, with its ticker disarmed";
        EXPECT_EQ(ticker.Interval, ktalk::TickIntervalMs);
        talk->Tick();
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) Tick();
    }

    // Events recorded since the last call.
    Events Take() {
        Events fresh(log.begin() + static_cast<long>(taken), log.end());
        taken = log.size();
        return fresh;
    }

    // Lets every queued clip play to its end, as the notifier and the periodic tick would;
    // returns the names of the clips loaded on the way (also those loaded before the call).
    std::vector<std::string> PlayOut() {
        for (int guard = 0; talk->Pending() == 1 && guard < 1000; ++guard) {
            talk->ClipEnded();
            Tick();
        }
        EXPECT_EQ(talk->Pending(), 0);
        EXPECT_EQ(talk->Playing(), 0);
        std::vector<std::string> names;
        const std::string prefix = "LoadWave .\\sound\\";
        for (const std::string& e : Take()) {
            if (e.rfind(prefix, 0) == 0) names.push_back(e.substr(prefix.size(), e.size() - prefix.size() - 4));
        }
        return names;
    }

    Events log;
    size_t taken = 0;
    RecordingMessages messages{log};
    RecordingDevice device{log, messages};
    FakeTicker ticker;  // outlives the announcer
    std::unique_ptr<ktalk> talk;
};

using Names = std::vector<std::string>;

TEST(KtalkLifetime, OpensTheDeviceOnCreationAndClosesItOnDestruction) {
    Events log;
    RecordingMessages messages(log);
    RecordingDevice device(log, messages);
    FakeTicker ticker;
    {
        ktalk talk(device, messages, ticker);
        EXPECT_EQ(log, (Events{"Open", "CreatePrimary"}));
        EXPECT_EQ(talk.Playing(), 0);
        EXPECT_EQ(talk.Pending(), 0);
        EXPECT_EQ(talk.VoiceVolume(), 100);
        EXPECT_EQ(talk.AlarmVolume(), 100);
        // Armed from the start: the open device is to be closed after the silence.
        EXPECT_TRUE(ticker.Enabled);
        EXPECT_EQ(ticker.Interval, ktalk::TickIntervalMs);
    }
    EXPECT_EQ(log, (Events{"Open", "CreatePrimary", "Close"}));
    EXPECT_FALSE(ticker.Enabled);  // no tick may reach the destroyed announcer
}

TEST_F(KtalkTest, FirstClipStartsInsideTheCallTheOthersOneTickAfterEachEnd) {
    EXPECT_EQ(ToUtf8(ktalk::ClipPath(u"みぎ")), ".\\sound\\みぎ.wav");
    talk->Talk(u"みぎ");
    EXPECT_EQ(Take(), Plays(u"みぎ"));
    talk->Talk(u"すたーと");
    talk->TalkNumber(5);
    Tick();
    EXPECT_EQ(Take(), Events{});  // still playing: the others wait
    EXPECT_EQ(talk->Playing(), 1);
    EXPECT_EQ(talk->Pending(), 1);

    talk->ClipEnded();
    EXPECT_EQ(Take(), Events{});  // the end alone starts nothing
    Tick();
    EXPECT_EQ(Take(), Plays(u"すたーと"));
    Tick();
    EXPECT_EQ(Take(), Events{});

    talk->ClipEnded();
    Tick();
    EXPECT_EQ(Take(), Plays(u"5"));
    talk->ClipEnded();
    Tick();  // finds the queue empty: idle again
    EXPECT_EQ(Take(), Events{});
    EXPECT_EQ(talk->Pending(), 0);
    EXPECT_EQ(talk->Playing(), 0);

    talk->Talk(u"おしまい");  // idle: plays at once again
    EXPECT_EQ(Take(), Plays(u"おしまい"));
}

TEST_F(KtalkTest, DurationsUseCombinedClipsAndSayNothingForZero) {
    struct Case {
        int h, m, s;
        Names clips;
    };
    const Case cases[] = {
        {0, 0, 0, {}},
        {0, 10, 0, {"10ふん", "けいか"}},
        {0, 59, 0, {"50", "9ふん", "けいか"}},
        {2, 0, 0, {"2じかん", "けいか"}},
        {13, 5, 0, {"10", "3じかん", "5ふん", "けいか"}},
        {1, 25, 0, {"1じかん", "20", "5ふん", "けいか"}},
        {0, 0, 45, {"40", "5びょう", "けいか"}},
        {20, 0, 7, {"20じかん", "7びょう", "けいか"}},
        {-3, -15, 0, {}},
        {INT_MIN, 0, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + ":" + std::to_string(c.m) + ":" + std::to_string(c.s));
        talk->TalkDuration(u"けいか", c.h, c.m, c.s);
        EXPECT_EQ(PlayOut(), c.clips);
    }
}

TEST_F(KtalkTest, EveryElapsedTimeIsSpokenWithClipsTheSoundFolderHas) {
    for (int h = 0; h < 24; ++h) {
        for (int m = 0; m < 60; ++m) {
            talk->TalkDuration(u"けいか", h, m, m);
            for (const std::string& name : PlayOut()) {
                EXPECT_TRUE(movrek::IsClipName(movrek::FromUtf8(name))) << name << " at " << h << ":" << m;
            }
        }
    }
    talk->TalkClock(u"じかん", u"けいか", 24, 0, 0);
    for (const std::string& name : PlayOut()) EXPECT_TRUE(movrek::IsClipName(movrek::FromUtf8(name))) << name;
}

TEST_F(KtalkTest, ClockReadingsUseNumberClipsAndSeparateUnitWords) {
    struct Case {
        int h, m, s;
        Names clips;
    };
    const Case cases[] = {
        {24, 0, 0, {"20", "4", "じかん", "けいか"}},
        {20, 0, 0, {"20", "じかん", "けいか"}},
        {9, 0, 0, {"9", "じかん", "けいか"}},
        {0, 0, 0, {}},
        {0, 5, 30, {"5", "ふん", "30", "びょう", "けいか"}},
        {-24, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + ":" + std::to_string(c.m) + ":" + std::to_string(c.s));
        talk->TalkClock(u"じかん", u"けいか", c.h, c.m, c.s);
        EXPECT_EQ(PlayOut(), c.clips);
    }
}

TEST_F(KtalkTest, AlarmClipsPlayAtTheAlarmVolumeEverythingElseAtTheVoiceVolume) {
    talk->SetVoiceVolume(30);
    talk->SetAlarmVolume(70);
    const struct {
        const char16_t* name;
        int volume;
    } cases[] = {{u"alarm3", 70}, {u"Alarm3", 30}, {u"すたーと", 30}, {u"alar", 30},
                 {u"alarmist", 70}, {u"alarm1x\\みぎ", 30}, {u"x\\alarm2", 70}};
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name));
        talk->Talk(c.name);
        EXPECT_EQ(Take(), Plays(c.name, c.volume));
        talk->ClipEnded();
    }
    // A new setting applies from the next clip on.
    talk->Talk(u"alarm1");
    talk->Talk(u"alarm2");
    talk->SetAlarmVolume(0);
    PlayOut();
    EXPECT_EQ(std::count(log.begin(), log.end(), "SetVolume 0"), 1);
}

TEST_F(KtalkTest, FiftyNineClipsWaitBehindTheOneThatPlaysAndMoreAreDropped) {
    talk->Talk(u"すたーと");
    Names expected{"すたーと"};
    for (int i = 1; i <= 59; ++i) {
        talk->TalkNumber(i);
        expected.push_back(std::to_string(i));
    }
    talk->Talk(u"おしまい");  // the 60th waiting clip: no room
    EXPECT_EQ(PlayOut(), expected);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& e) { return e.rfind("message", 0) == 0; }),
              0);
}

TEST_F(KtalkTest, StopTalkCutsTheClipShortAndTheRestStillPlays) {
    talk->StopTalk();  // idle: nothing to stop
    EXPECT_EQ(Take(), Events{});

    talk->Talk(u"じかんです");
    talk->Talk(u"おしまい");
    Take();
    talk->StopTalk();
    EXPECT_EQ(Take(), Events{"StopClip"});
    talk->ClipEnded();  // the stop is reported like a natural end
    Tick();
    EXPECT_EQ(Take(), Plays(u"おしまい"));
    PlayOut();
    talk->StopTalk();
    EXPECT_EQ(Take(), Events{});
}

TEST_F(KtalkTest, ClearDropsTheWaitingClipsAndTheNextTalkPlaysAtOnce) {
    talk->Talk(u"10びょう");
    talk->Talk(u"まえ");
    talk->TalkNumber(5);
    Take();
    talk->Clear();
    EXPECT_EQ(talk->Playing(), 0);
    Tick();  // nothing left to play: idle
    EXPECT_EQ(Take(), Events{});
    EXPECT_EQ(talk->Pending(), 0);

    talk->Talk(u"おしまい");  // no end of the cleared clip was needed
    EXPECT_EQ(Take(), Plays(u"おしまい"));
    EXPECT_EQ(PlayOut(), Names{});

    // The cleared clip still sounds when the next one replaces it, and its stop is posted
    // while the next one plays: that notice must not end the new clip.
    talk->Talk(u"みぎ");
    device.sounding = true;
    Take();
    talk->Clear();
    talk->Talk(u"ひだり");
    talk->Talk(u"すたーと");
    EXPECT_EQ(Take(), Plays(u"ひだり"));
    talk->ClipEnded();  // the replaced clip's stop; ひだり sounds on
    Tick();
    Tick();
    EXPECT_EQ(Take(), Events{});
    EXPECT_EQ(talk->Playing(), 1);
    device.sounding = false;  // ひだり's own end
    talk->ClipEnded();
    Tick();
    EXPECT_EQ(Take(), Plays(u"すたーと"));
}

TEST_F(KtalkTest, ANoticeHeldBackWhileTheClipSoundedEndsItOnceItHasStopped) {
    // Should a stop be posted a moment before the buffer's status turns, the notice held back
    // was the clip's own and no other follows: the first tick after the stop ends the clip.
    talk->Talk(u"じかんです");
    talk->Talk(u"おしまい");
    device.sounding = true;
    Take();
    talk->ClipEnded();
    Tick();
    EXPECT_EQ(Take(), Events{});
    device.sounding = false;
    Tick();
    EXPECT_EQ(Take(), Plays(u"おしまい"));
    // What was held back belonged to the clip before: the new one waits for its own end.
    device.sounding = true;
    Tick();
    device.sounding = false;
    Tick();
    EXPECT_EQ(Take(), Events{});
    EXPECT_EQ(talk->Playing(), 1);
}

TEST_F(KtalkTest, ClipsThatStopWithoutANoticeStillEndAndTheNextFollowWhole) {
    // The notifier has ended (a failed wait) or its message was lost: no end is reported.
    device.soundOnPlay = true;
    talk->TalkDuration(u"けいか", 1, 25, 0);
    const char16_t* const clips[] = {u"1じかん", u"20", u"5ふん", u"けいか"};
    EXPECT_EQ(Take(), Plays(clips[0]));
    for (size_t i = 0; i < std::size(clips); ++i) {
        SCOPED_TRACE(ToUtf8(clips[i]));
        for (int t = 0; t < 5; ++t) Tick();  // while it sounds nothing cuts it short
        EXPECT_EQ(Take(), Events{});
        device.sounding = false;
        Tick();  // a notice may still be on its way
        EXPECT_EQ(Take(), Events{});
        EXPECT_EQ(talk->Playing(), 1);
        Tick();
        EXPECT_EQ(Take(), i + 1 < std::size(clips) ? Plays(clips[i + 1]) : Events{});
    }
    EXPECT_EQ(talk->Playing(), 0);
    EXPECT_EQ(talk->Pending(), 0);

    // The last clip's notice, arriving after all while the next clip sounds, ends nothing.
    talk->Talk(u"おしまい");
    EXPECT_EQ(Take(), Plays(u"おしまい"));
    talk->ClipEnded();
    Tick();
    Tick();
    EXPECT_EQ(Take(), Events{});
    EXPECT_EQ(talk->Playing(), 1);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& e) { return e.rfind("message", 0) == 0; }),
              0);
}

TEST_F(KtalkTest, AVanishedDeviceIsReopenedQuietlyOncePerClip) {
    // Unplugged between clips, with another device to fall back on: the buffer is refused
    // without a message, one reopen, and the clip plays.
    device.alive = false;
    talk->Talk(u"すたーと");
    EXPECT_EQ(Take(), Concat({{Load(u"すたーと"), "Reopen"}, Plays(u"すたーと")}));
    talk->ClipEnded();
    talk->Talk(u"みぎ");  // nothing to reopen any more
    EXPECT_EQ(Take(), Plays(u"みぎ"));
    talk->ClipEnded();

    // Gone as the clip is started: one reopen, the clip is loaded again and plays.
    device.losePlay.insert(Path(u"ひだり"));
    talk->Talk(u"ひだり");
    EXPECT_EQ(Take(), Concat({Plays(u"ひだり"), {"Reopen"}, Plays(u"ひだり")}));
    talk->ClipEnded();

    // No device to be had: the usual two messages, once per clip, each clip trying one reopen
    // first; once a device is back the next clip plays.
    device.alive = false;
    device.available = false;
    talk->Talk(u"alarm1");
    EXPECT_EQ(Take(), (Events{Load(u"alarm1"), "Reopen", Load(u"alarm1"),
                              "message サウンドバッファの作成エラー",
                              "message CreateSoundBuffer error"}));
    EXPECT_EQ(talk->Playing(), 0);
    talk->Talk(u"alarm2");
    EXPECT_EQ(Take(), (Events{"Reopen", Load(u"alarm2"), "message サウンドバッファの作成エラー",
                              "message CreateSoundBuffer error"}));

    // Back, but gone again as the clip starts: its one reopen is spent, so it is reported.
    device.available = true;
    device.losePlay.insert(Path(u"alarm2"));
    talk->Talk(u"alarm2");
    EXPECT_EQ(Take(), Concat({{"Reopen"}, Plays(u"alarm2"), {"message DirectSound Play error"}}));
    EXPECT_EQ(talk->Playing(), 0);
    talk->Talk(u"alarm3");
    EXPECT_EQ(Take(), Concat({{"Reopen"}, Plays(u"alarm3")}));
}

TEST_F(KtalkTest, WithoutADeviceAtStartTheFirstClipReopensItBeforeLoading) {
    talk.reset();
    device.available = false;
    talk = std::make_unique<ktalk>(device, messages, ticker);
    device.available = true;  // the audio service has come up since
    Take();
    talk->Talk(u"きどうしました");
    EXPECT_EQ(Take(), Concat({{"Reopen"}, Plays(u"きどうしました")}));
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& e) { return e.rfind("message", 0) == 0; }),
              0);
}

// ---------------------------------------------------------------- the device closed for silence

TEST_F(KtalkTest, TheDeviceClosesAfterTheSilenceAndNotWhileAClipWaitsOrSounds) {
    // The silence counts from the start and from the end of each clip.
    Ticks(ktalk::IdleCloseTicks - 1);
    talk->Talk(u"みぎ");
    talk->ClipEnded();
    Ticks(ktalk::IdleCloseTicks - 1);  // the first of them finds the queue empty
    EXPECT_EQ(Take(), Plays(u"みぎ"));
    EXPECT_TRUE(talk->DeviceOpen());
    Tick();
    EXPECT_EQ(Take(), Events{"CloseDevice"});
    EXPECT_FALSE(talk->DeviceOpen());
    EXPECT_FALSE(ticker.Enabled);  // nothing left to do: no more ticks

    // A clip that sounds, and one that waits behind it, keep it open however long they take.
    device.soundOnPlay = true;
    talk->Talk(u"じかんです");
    talk->Talk(u"おしまい");
    EXPECT_EQ(Take(), Concat({{"Reopen"}, Plays(u"じかんです")}));
    Ticks(3 * ktalk::IdleCloseTicks);
    device.sounding = false;
    talk->ClipEnded();
    Tick();
    EXPECT_EQ(Take(), Plays(u"おしまい"));
    Ticks(3 * ktalk::IdleCloseTicks);
    device.sounding = false;
    talk->ClipEnded();
    Ticks(ktalk::IdleCloseTicks - 1);
    EXPECT_EQ(Take(), Events{});
    Tick();
    EXPECT_EQ(Take(), Events{"CloseDevice"});

    // Nor does a clip that Clear let sound on lose its end to the close.
    talk->Talk(u"ひだり");
    talk->Talk(u"すたーと");
    Take();
    talk->Clear();
    Ticks(3 * ktalk::IdleCloseTicks);
    EXPECT_EQ(talk->Pending(), 0);
    EXPECT_EQ(Take(), Events{});
    device.sounding = false;
    Ticks(ktalk::IdleCloseTicks);
    EXPECT_EQ(Take(), Events{"CloseDevice"});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(KtalkTest, AfterTheSilenceAPhraseReopensTheDeviceQuietlyAndPlaysWhole) {
    Ticks(ktalk::IdleCloseTicks);
    EXPECT_EQ(Take(), Events{"CloseDevice"});
    const int enables = ticker.Enables;

    // The first clip still starts inside the call, the others each one tick after the end
    // of the one before, without another open; the ticker is started once for them all (a
    // restart would push the next tick further away).
    talk->TalkDuration(u"けいか", 1, 25, 0);
    EXPECT_EQ(Take(), Concat({{"Reopen"}, Plays(u"1じかん")}));
    for (const char16_t* next : {u"20", u"5ふん", u"けいか"}) {
        SCOPED_TRACE(ToUtf8(next));
        talk->ClipEnded();
        Tick();
        EXPECT_EQ(Take(), Plays(next));
    }
    talk->ClipEnded();
    Tick();
    EXPECT_EQ(Take(), Events{});
    EXPECT_EQ(ticker.Enables, enables + 1);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(KtalkTest, AReopenThatFindsNoDeviceReportsTheClipOnceAndLaterPhrasesTryAgain) {
    Ticks(ktalk::IdleCloseTicks);
    Take();
    device.available = false;
    const Events failed = {"message サウンドバッファの作成エラー", "message CreateSoundBuffer error"};
    talk->Talk(u"alarm1");
    EXPECT_EQ(Take(), Concat({{"Reopen", Load(u"alarm1")}, failed}));
    Tick();  // the clip is given up: nothing more of it
    EXPECT_EQ(Take(), Events{});
    talk->Talk(u"alarm2");
    EXPECT_EQ(Take(), Concat({{"Reopen", Load(u"alarm2")}, failed}));

    // The device comes back while the announcer is silent again; the next phrase finds it.
    device.available = true;
    Ticks(ktalk::IdleCloseTicks);
    EXPECT_EQ(Take(), Events{"CloseDevice"});
    talk->Talk(u"alarm3");
    EXPECT_EQ(Take(), Concat({{"Reopen"}, Plays(u"alarm3")}));
}

TEST_F(KtalkTest, AMissingClipBeepsSaysSoAndTheSequenceGoesOn) {
    messages.missing.insert(Path(u"20"));
    talk->TalkDuration(u"けいか", 1, 25, 0);
    EXPECT_EQ(Take(), Plays(u"1じかん"));
    talk->ClipEnded();
    Tick();
    EXPECT_EQ(Take(), (Events{"beep 2000 100", "message 音声ファイルが見つかりません！"}));
    EXPECT_EQ(talk->Playing(), 0);
    Tick();  // the next clip follows at the next tick
    EXPECT_EQ(Take(), Plays(u"5ふん"));
    EXPECT_EQ(PlayOut(), Names{"けいか"});
}

TEST_F(KtalkTest, WithoutTheSoundFolderEveryClipReportsItselfOnce) {
    messages.filesExist = false;
    talk->TalkClock(u"じかん", u"けいか", 24, 0, 0);
    EXPECT_EQ(PlayOut(), Names{});
    EXPECT_EQ(std::count(log.begin(), log.end(), "beep 2000 100"), 4);
    EXPECT_EQ(std::count(log.begin(), log.end(), "message 音声ファイルが見つかりません！"), 4);
}

TEST_F(KtalkTest, EachDeviceFailureShowsItsMessageAndSkipsOnlyThatClip) {
    device.failLoad.insert(Path(u"alarm1"));
    device.failNotify.insert(Path(u"alarm2"));
    device.failPlay.insert(Path(u"alarm3"));
    talk->Talk(u"alarm1");
    EXPECT_EQ(Take(), (Events{Load(u"alarm1"), "message サウンドバッファの作成エラー",
                              "message CreateSoundBuffer error"}));
    EXPECT_EQ(talk->Playing(), 0);

    talk->Talk(u"alarm2");  // not playing: starts inside the call
    EXPECT_EQ(Take(), (Events{Load(u"alarm2"), "SetNotify", "message SetNotify error"}));
    EXPECT_EQ(talk->Playing(), 0);  // its end could never be reported: not played

    talk->Talk(u"alarm3");
    EXPECT_EQ(Take(), Concat({Plays(u"alarm3"), {"message DirectSound Play error"}}));
    EXPECT_EQ(talk->Playing(), 0);

    talk->Talk(u"alarm4");
    EXPECT_EQ(Take(), Plays(u"alarm4"));
    EXPECT_EQ(talk->Playing(), 1);
}

TEST_F(KtalkTest, TicksAndCallsWhileAMessageIsOpenOnlyQueue) {
    messages.missing.insert(Path(u"みぎ"));
    messages.whileShown = [this] {
        Tick();
        talk->Talk(u"すたーと");
        Tick();
    };
    talk->Talk(u"みぎ");
    EXPECT_EQ(Take(), (Events{"beep 2000 100", "message 音声ファイルが見つかりません！"}));
    EXPECT_EQ(talk->Playing(), 0);
    EXPECT_EQ(talk->Pending(), 1);
    Tick();
    EXPECT_EQ(Take(), Plays(u"すたーと"));
}

}  // namespace
