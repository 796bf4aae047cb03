// A whole day of counting, simulated: the real engine, the real announcer and alarm rows,
// driven tick by tick from a settable clock with the irregular tick spacing a busy machine
// gives, and a sound device whose clips take their time to play.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Ktime.h"
#include "app/Talarm.h"
#include "platform/Utf.h"
#include "sound/Ktalk.h"
#include "support/AlarmRows.h"
#include "support/EngineFakes.h"
#include "support/RecordingMessages.h"

using namespace movrek;
using namespace movrek::test;

namespace {

// Plays each clip for a while (longer names take longer); the loop reports the end as the
// notifier would. Records the clip names in the order they started, and counts what a real
// device would not take: a clip loaded while it is closed, a close while a clip sounds.
class TimedDevice : public SoundOutput {
public:
    explicit TimedDevice(const std::int64_t& nowMs) : nowMs_(nowMs) {}
    bool Open() override {
        open_ = true;
        return true;
    }
    bool CreatePrimary() override { return true; }
    bool LoadWave(std::u16string_view path, DeviceLossReport) override {
        if (!open_) ++Faults;
        std::string name = ToUtf8(path);
        name = name.substr(name.rfind('\\') + 1);
        Started.push_back(name.substr(0, name.size() - 4));
        EndsAt = nowMs_ + 350 + 30 * static_cast<std::int64_t>(name.size());
        return true;
    }
    bool SetNotify() override { return true; }
    void SetVolume(int) override {}
    long PlayClip() override {
        Sounding = true;
        return 0;
    }
    void StopClip() override { EndsAt = nowMs_; }
    bool Close() override { return true; }
    void CloseDevice() override {
        if (Sounding) ++Faults;
        open_ = false;
        ++Closes;
    }
    bool ClipSounding() const override { return Sounding; }
    bool DeviceGone() const override { return !open_; }
    bool Reopen() override {
        open_ = true;
        ++Reopens;
        return true;
    }

    std::vector<std::string> Started;
    std::int64_t EndsAt = 0;
    bool Sounding = false;
    int Faults = 0;
    int Closes = 0;
    int Reopens = 0;

private:
    const std::int64_t& nowMs_;
    bool open_ = false;
};

// What the minute announcement for h:m says, written out from the counting rules.
std::vector<std::string> MinutePhrase(int h, int m) {
    std::vector<std::string> clips;
    auto group = [&](int n, const char* unit) {
        const int u = n % 10, t = n - u;
        if (t > 0 && u > 0) clips.push_back(std::to_string(t));
        if (u > 0) clips.push_back(std::to_string(u) + unit);
        else if (t > 0) clips.push_back(std::to_string(t) + unit);
    };
    group(h, "じかん");
    group(m, "ふん");
    clips.push_back("けいか");
    return clips;
}

std::string Hms(int totalSeconds) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", totalSeconds / 3600 % 24,
                  totalSeconds / 60 % 60, totalSeconds % 60);
    return buf;
}

}  // namespace

TEST(LongRun, ADayOfMinuteAnnouncementsAndAlarmRowsInOrderThenSilence) {
    std::int64_t now = 0;  // milliseconds into the day
    SetClock clock;
    Label label;
    FakeTicker ticker;
    Glyph glyph;
    RecordingMessages messages;
    messages.filesExist = true;
    TimedDevice device(now);
    FakeTicker talkTicker;
    ktalk talk(device, messages, talkTicker);

    // A sound, a two-clip phrase and single phrases, each at a second inside its minute; no
    // row ends the run, which must reach the day's end.
    TenRows rows;
    rows.Set(0, 0, 0, 30, 30, 1);
    rows.Set(1, 0, 12, 30, 30, 6);
    rows.Set(2, 0, 23, 59, 30, 9);
    rows.Set(3, 0, 5, 0, 15, 4);

    MemoryChoiceList pass;
    pass.SetItems({u"", u"分経過", u"時間経過"});
    pass.Select(1);
    ktime engine{KtimeLinks{clock, label, talk, rows.alarm, pass, ticker, glyph}};

    engine.CountIn = 0;
    engine.State = TimerState::Counting;
    clock.SetMs(now = 300);
    engine.Start();

    // Ticks 100 ms apart give or take a busy machine's delays (80..180 ms, never a whole
    // second); one more simulated hour after the day's end.
    std::uint32_t seed = 12345;
    const std::int64_t stopAt = 25LL * 3600 * 1000;
    std::int64_t lastEngineTick = -1;
    long loops = 0, talkTicks = 0;
    while (now < stopAt) {
        ++loops;
        seed = seed * 1664525u + 1013904223u;
        clock.SetMs(now += 80 + static_cast<std::int64_t>((seed >> 16) % 101));
        if (device.Sounding && now >= device.EndsAt) {
            device.Sounding = false;
            talk.ClipEnded();
        }
        if (ticker.Enabled) {
            engine.Tick();
            lastEngineTick = now;
        }
        // The announcer's tick comes only while it has armed its timer: a clip that waited
        // for a tick that never came would be missing below.
        if (talkTicker.Enabled) {
            talk.Tick();
            ++talkTicks;
        }
    }

    // Everything heard, in order.
    std::vector<std::string> expected;
    for (int minute = 1; minute < 24 * 60; ++minute) {
        const int h = minute / 60, m = minute % 60;
        for (const std::string& c : MinutePhrase(h, m)) expected.push_back(c);
        if (m == 0 && h == 5) expected.push_back("alarm4");  // 5:00:15
        if (h == 0 && m == 30) expected.push_back("alarm1");  // its row names hour 0
        if (h == 12 && m == 30) {
            expected.push_back("みぎ");
            expected.push_back("すたーと");
        }
        if (h == 23 && m == 59) expected.push_back("おつかれさまでした");
    }
    for (const char* c : {"20", "4", "じかん", "けいか"}) expected.push_back(c);
    EXPECT_EQ(device.Started.size(), expected.size());
    for (size_t i = 0; i < expected.size() && i < device.Started.size(); ++i)
        ASSERT_EQ(device.Started[i], expected[i]) << "clip " << i;
    EXPECT_TRUE(messages.shown.empty());

    // Every second shown once, in order, ending at 00:00:00; nothing after the stop.
    ASSERT_EQ(label.Texts.size(), 24u * 3600 + 1);
    for (int s = 0; s <= 24 * 3600; ++s) ASSERT_EQ(ToUtf8(label.Texts[static_cast<size_t>(s)]), Hms(s));
    EXPECT_EQ(engine.State, TimerState::Finished);
    EXPECT_TRUE(glyph.Finished());
    EXPECT_FALSE(ticker.Enabled);
    EXPECT_LT(lastEngineTick, 24LL * 3600 * 1000 + 1300);
    EXPECT_EQ(talk.Pending(), 0);
    EXPECT_EQ(talk.Playing(), 0);

    // Between phrases the device is closed: every minute's phrase, the 24-hour one and the
    // four rows' sounds (each at least 15 s after the phrase before) opened it once again,
    // and none of it played on a closed device or was cut off by a close.
    EXPECT_EQ(device.Faults, 0);
    EXPECT_EQ(device.Reopens, 24 * 60 + 4);
    EXPECT_EQ(device.Closes, device.Reopens + 1);  // also once after the silence at the start
    EXPECT_FALSE(talkTicker.Enabled);
    // Its ticks are taken only around phrases: a phrase and the close after it, each minute.
    EXPECT_LT(talkTicks, loops / 5) << talkTicks << " of " << loops;
}
