#include "app/Ktime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/Talarm.h"
#include "platform/Utf.h"
#include "support/AlarmRows.h"
#include "support/EngineFakes.h"

using namespace movrek;
using namespace movrek::test;

namespace {

// Everything the announcer is asked, one readable line per call.
class Recorder : public Announcer {
public:
    void Talk(std::u16string_view name) override { Said.push_back(ToUtf8(name)); }
    void TalkNumber(int n) override { Said.push_back(std::to_string(n)); }
    void TalkDuration(std::u16string_view word, int h, int m, int s) override {
        Said.push_back("D " + ToUtf8(word) + " " + std::to_string(h) + " " + std::to_string(m) +
                       " " + std::to_string(s));
    }
    void TalkClock(std::u16string_view hourWord, std::u16string_view finalWord, int h, int m,
                   int s) override {
        Said.push_back("C " + ToUtf8(hourWord) + " " + ToUtf8(finalWord) + " " + std::to_string(h) +
                       " " + std::to_string(m) + " " + std::to_string(s));
    }
    std::vector<std::string> Said;
};

class Engine : public ::testing::Test {
protected:
    Engine() {
        pass.SetItems({u"", u"分経過", u"時間経過"});
        pass.Select(0);
    }
    // As the main window's start command does it.
    void StartWith(bool countIn) {
        engine.CountIn = countIn ? 1 : 0;
        engine.State = countIn ? TimerState::Idle : TimerState::Counting;
        engine.Start();
    }
    // Ticks every 100 ms from the clock's current second up to and including `seconds`.
    void RunTo(double seconds) {
        const double from = (clock.At - kDay) / OneSecond - 0.3;
        const int steps = static_cast<int>(std::lround((seconds - from) * 10));
        for (int i = 1; i <= steps && ticker.Enabled; ++i) {
            clock.Set(from + i / 10.0);
            engine.Tick();
        }
    }
    void TickAt(double seconds) {
        clock.Set(seconds);
        engine.Tick();
    }
    std::vector<std::string> Said() const { return announcer.Said; }

    SetClock clock;
    Label label;
    Recorder announcer;
    TenRows rows;
    MemoryChoiceList pass;
    FakeTicker ticker;
    Glyph glyph;
    ktime engine{KtimeLinks{clock, label, announcer, rows.alarm, pass, ticker, glyph}};
};

using Strings = std::vector<std::string>;

}  // namespace

TEST(TimeSplit, RoundsDropsSignAndWrapsAtOneDay) {
    const TimeParts p = SplitTime((3600 + 120 + 5) * OneSecond + 0.0004 / 86400);
    EXPECT_EQ(p.Hours, 1);
    EXPECT_EQ(p.Minutes, 2);
    EXPECT_EQ(p.Seconds, 5);
    EXPECT_EQ(p.Milliseconds, 0);
    EXPECT_EQ(SplitTime(0.6 / 86400000.0).Milliseconds, 1);  // 0.6 ms rounds up
    EXPECT_EQ(SplitTime(-5 * OneSecond).Seconds, 5);
    EXPECT_EQ(SplitTime(1.0 + 7 * OneSecond).Hours, 0);
    EXPECT_EQ(SplitTime(1.0 + 7 * OneSecond).Seconds, 7);
    EXPECT_EQ(FormatTime(kDay + (23 * 3600 + 59 * 60 + 58) * OneSecond, true), u"23:59:58");
    EXPECT_EQ(FormatTime(65 * OneSecond, false), u"00:01");
    // Nonsense clock values give some time of day, never undefined behaviour.
    EXPECT_EQ(FormatTime(NAN, true), u"00:00:00");
    EXPECT_EQ(FormatTime(1e300, true).size(), 8u);
}

TEST_F(Engine, CountInSaysTenThenFiveToOneAndStartsCountingAtZero) {
    pass.Select(1);  // the count's first second must not count as a new minute
    clock.Set(0);
    StartWith(true);
    EXPECT_TRUE(ticker.Enabled);
    EXPECT_EQ(ticker.Interval, 100);

    TickAt(0.1);
    EXPECT_EQ(label.Last(), u"00:00:10");
    EXPECT_EQ(Said(), (Strings{"10びょう", "まえ"}));
    RunTo(0.9);  // same second: nothing new
    EXPECT_EQ(label.Texts.size(), 1u);

    RunTo(9.9);
    EXPECT_EQ(label.Last(), u"00:00:01");
    EXPECT_EQ(engine.CountIn, 1);
    EXPECT_EQ(engine.State, TimerState::Idle);
    const std::vector<std::u16string> shown(label.Texts.begin(), label.Texts.end());
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"00:00:10", u"00:00:09", u"00:00:08",
                                                   u"00:00:07", u"00:00:06", u"00:00:05",
                                                   u"00:00:04", u"00:00:03", u"00:00:02",
                                                   u"00:00:01"}));
    EXPECT_EQ(Said(), (Strings{"10びょう", "まえ", "5", "4", "3", "2", "1"}));

    // At ten seconds: 00:00:00 ends the count-in, and the same tick shows the count's start.
    const int readsBefore = clock.Reads;
    TickAt(10.0);
    EXPECT_EQ(clock.Reads, readsBefore + 2);  // the tick's reading and a fresh start reading
    EXPECT_EQ(engine.CountIn, 0);
    EXPECT_EQ(engine.State, TimerState::Counting);
    ASSERT_GE(label.Texts.size(), 2u);
    EXPECT_EQ(label.Texts[label.Texts.size() - 2], u"00:00:00");
    EXPECT_EQ(label.Last(), u"00:00:00");
    EXPECT_EQ(Said().size(), 7u);

    RunTo(15.0);
    EXPECT_EQ(label.Last(), u"00:00:05");
}

TEST_F(Engine, WithoutCountInTheCountStartsAtOnceSilently) {
    clock.Set(0);
    StartWith(false);
    TickAt(0.1);
    EXPECT_EQ(label.Last(), u"00:00:00");
    RunTo(59.9);
    EXPECT_EQ(label.Last(), u"00:00:59");
    EXPECT_TRUE(Said().empty());
    EXPECT_EQ(label.Texts.size(), 60u);  // rewritten once per second, not per tick
}

TEST_F(Engine, MinuteAnnouncementsWithPassSoundOne) {
    pass.Select(1);
    clock.Set(0);
    StartWith(false);
    RunTo(0.5);
    EXPECT_TRUE(Said().empty()) << "the first second is not a minute change";
    RunTo(60.0);
    EXPECT_EQ(Said(), (Strings{"D けいか 0 1 0"}));
    announcer.Said.clear();
    TickAt(3599.5);
    RunTo(3600.5);
    RunTo(3660.0);
    // 0:59 → the jump's own minute change, then 1:00:00 once as hours and 0 minutes, then 1:01.
    EXPECT_EQ(Said(), (Strings{"D けいか 0 59 0", "D けいか 1 0 0", "D けいか 1 1 0"}));
}

TEST_F(Engine, HourAnnouncementsWithPassSoundTwo) {
    pass.Select(2);
    clock.Set(0);
    StartWith(false);
    RunTo(61.0);
    TickAt(3599.9);
    TickAt(3600.0);
    TickAt(3660.0);
    TickAt(7199.9);
    TickAt(7200.0);
    EXPECT_EQ(Said(), (Strings{"D けいか 1 0 0", "D けいか 2 0 0"}));
}

TEST_F(Engine, LabelTextAndShowSeconds) {
    engine.LabelText = u"A";
    clock.Set(0);
    StartWith(false);
    RunTo(5.0);
    EXPECT_EQ(label.Last(), u"A 00:00:05");

    engine.LabelText.clear();
    engine.ShowSeconds = 0;
    TickAt(126.0);
    EXPECT_EQ(label.Last(), u"00:02");
    const size_t before = label.Texts.size();
    TickAt(127.0);
    EXPECT_EQ(label.Texts.size(), before + 1);  // rewritten each second with the same text
    EXPECT_EQ(label.Last(), u"00:02");

    engine.ShowSeconds = 7;
    engine.LabelText = u"A";
    engine.ShowElapsed();
    EXPECT_EQ(label.Last(), u"A ");
}

TEST_F(Engine, CountInUsesSecondsWhateverShowSecondsSays) {
    engine.ShowSeconds = 0;
    clock.Set(0);
    StartWith(true);
    TickAt(0.1);
    EXPECT_EQ(label.Last(), u"00:00:10");
}

TEST_F(Engine, RestartDuringCountIn) {
    // Restarted while 10 is showing: 10 equals the last shown second and is skipped.
    clock.Set(0);
    StartWith(true);
    TickAt(0.1);
    StartWith(true);
    TickAt(0.5);
    EXPECT_EQ(label.Texts, (std::vector<std::u16string>{u"00:00:10"}));
    TickAt(1.5);
    EXPECT_EQ(label.Last(), u"00:00:09");
    EXPECT_EQ(Said(), (Strings{"10びょう", "まえ"}));

    // Restarted while 3 is showing: 10 is shown and said again.
    RunTo(7.6);
    EXPECT_EQ(label.Last(), u"00:00:03");
    StartWith(true);
    TickAt(7.7);
    EXPECT_EQ(label.Last(), u"00:00:10");
    EXPECT_EQ(Said(), (Strings{"10びょう", "まえ", "5", "4", "3", "10びょう", "まえ"}));
}

TEST_F(Engine, RestartDuringACountBeginsFromZero) {
    clock.Set(0);
    StartWith(false);
    RunTo(42.0);
    StartWith(false);
    TickAt(42.1);
    EXPECT_EQ(label.Last(), u"00:00:00");
}

TEST_F(Engine, StopsAfterTwentyFourHours) {
    rows.Set(0, 0, 0, 0, 0, 3);  // 0:00:00 with a sound: fires at the start, not at 24:00:00
    clock.Set(0);
    StartWith(false);
    TickAt(0.1);
    EXPECT_EQ(Said(), (Strings{"alarm3"}));
    announcer.Said.clear();
    TickAt(86399.0);
    EXPECT_EQ(label.Last(), u"23:59:59");
    EXPECT_EQ(engine.State, TimerState::Counting);
    TickAt(86400.0);
    EXPECT_EQ(label.Last(), u"00:00:00");
    EXPECT_EQ(engine.State, TimerState::Finished);
    EXPECT_EQ(engine.FiredThisSecond, 1);
    EXPECT_FALSE(ticker.Enabled);
    EXPECT_EQ(glyph.Calls, std::vector<bool>{true});
    EXPECT_EQ(Said(), (Strings{"C じかん けいか 24 0 0"}));
}

TEST_F(Engine, RowsFireInRowOrderIncludingHiddenRows) {
    rows.Set(0, 0, 0, 0, 0, 1);   // first second
    rows.Set(9, 0, 0, 0, 3, 6);   // row 10 (hidden unless all ten are shown)
    rows.Set(2, 0, 0, 0, 3, 10);  // same second, earlier row
    rows.Set(4, 0, 0, 0, 4, 0);   // no sound, no end: never fires
    clock.Set(0);
    StartWith(false);
    TickAt(0.1);
    EXPECT_EQ(Said(), (Strings{"alarm1"}));
    EXPECT_EQ(engine.FiredThisSecond, 1);
    RunTo(3.0);
    EXPECT_EQ(Said(), (Strings{"alarm1", "じかんです", "みぎ", "すたーと"}));
    RunTo(4.0);
    EXPECT_EQ(engine.FiredThisSecond, 0);
    EXPECT_EQ(Said().size(), 4u);
    EXPECT_EQ(engine.State, TimerState::Counting);
}

TEST_F(Engine, EndRowWithoutSoundEndsSilently) {
    rows.Set(1, 1, 0, 0, 7, 0);
    rows.Set(3, 0, 0, 0, 7, 8);  // a later row in the same second still queues its phrase
    clock.Set(0);
    StartWith(false);
    RunTo(6.9);
    EXPECT_TRUE(glyph.Calls.empty());
    TickAt(7.0);
    EXPECT_EQ(engine.State, TimerState::Finished);
    EXPECT_FALSE(ticker.Enabled);
    EXPECT_EQ(glyph.Calls, std::vector<bool>{true});
    EXPECT_EQ(Said(), (Strings{"おしまい"}));
    EXPECT_EQ(label.Last(), u"00:00:07");
}

TEST_F(Engine, AFiredSecondSuppressesItsOwnMinuteAndHourAnnouncementsOnly) {
    pass.Select(1);
    rows.Set(0, 0, 0, 5, 0, 4);
    clock.Set(0);
    StartWith(false);
    TickAt(0.1);
    TickAt(299.0);
    announcer.Said.clear();
    TickAt(300.0);
    EXPECT_EQ(Said(), (Strings{"alarm4"}));
    TickAt(359.0);
    TickAt(360.0);
    EXPECT_EQ(Said(), (Strings{"alarm4", "D けいか 0 6 0"}));

    // A row on the hour: its clip and no "1じかん けいか"; the next hour is announced.
    pass.Select(2);
    rows.Set(1, 0, 1, 0, 0, 3);
    announcer.Said.clear();
    TickAt(3599.0);
    TickAt(3600.0);
    EXPECT_EQ(Said(), (Strings{"alarm3"}));
    TickAt(7199.0);
    TickAt(7200.0);
    EXPECT_EQ(Said(), (Strings{"alarm3", "D けいか 2 0 0"}));

    // The day's end counts as fired: only the 24-hour reading, whichever announcement is on.
    for (int choice : {1, 2}) {
        SCOPED_TRACE(choice);
        pass.Select(choice);
        engine.State = TimerState::Idle;
        clock.Set(0);
        StartWith(false);
        TickAt(0.1);
        TickAt(86399.0);
        announcer.Said.clear();
        TickAt(86400.0);
        EXPECT_EQ(engine.State, TimerState::Finished);
        EXPECT_EQ(Said(), (Strings{"C じかん けいか 24 0 0"}));
    }
}

TEST_F(Engine, FiredFlagSurvivesTheFinishUntilTheNextCountsFirstSecond) {
    rows.Set(0, 1, 0, 0, 2, 5);
    clock.Set(0);
    StartWith(false);
    RunTo(2.0);
    ASSERT_EQ(engine.State, TimerState::Finished);
    engine.State = TimerState::Idle;  // the window's acknowledge
    StartWith(true);
    TickAt(2.5);
    EXPECT_EQ(engine.FiredThisSecond, 1);
    RunTo(12.5);
    EXPECT_EQ(engine.State, TimerState::Counting);
    EXPECT_EQ(engine.FiredThisSecond, 0);
}

TEST_F(Engine, SkippedSecondIsNotCaughtUp) {
    rows.Set(0, 0, 0, 0, 4, 2);
    clock.Set(0);
    StartWith(false);
    RunTo(3.0);
    TickAt(5.0);  // the GUI thread was busy through second 4
    RunTo(8.0);
    EXPECT_TRUE(Said().empty());
    EXPECT_EQ(label.Last(), u"00:00:08");

    // In a count-in a gap costs a single step.
    StartWith(true);
    TickAt(8.1);
    TickAt(11.1);
    EXPECT_EQ(label.Last(), u"00:00:09");
}

TEST_F(Engine, IdleAndFinishedEnginesDoNothingOnTicks) {
    clock.Set(0);
    engine.Tick();
    EXPECT_TRUE(label.Texts.empty());
    engine.Finish();
    engine.Finish();
    EXPECT_EQ(glyph.Calls, std::vector<bool>{true});  // a second Finish changes nothing
}
