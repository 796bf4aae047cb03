#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/Foption.h"
#include "support/OptionSamples.h"

using namespace movrek;
using movrek::test::SampleOptions;

TEST(Foption, ListsHoldTheirEntriesInOrder) {
    const auto alarm = AlarmLineItems();
    ASSERT_EQ(alarm.size(), 21u);
    EXPECT_EQ(alarm.front(), u"0");
    EXPECT_EQ(alarm[10], u"10");
    EXPECT_EQ(alarm.back(), u"20");
    EXPECT_EQ(FontSizeItems(), (std::vector<std::u16string>{u"16", u"24", u"32", u"40"}));
    EXPECT_EQ(VolumeItems(), (std::vector<std::u16string>{u"100", u"90", u"80", u"70", u"60", u"50",
                                                          u"40", u"30", u"20", u"10", u"0"}));
}

TEST(Foption, StoredValuesSelectTheEntryAtOrBelowThem) {
    EXPECT_EQ(FontSizeIndex(16), 0);
    EXPECT_EQ(FontSizeIndex(20), 0);  // between two entries: the one below
    EXPECT_EQ(FontSizeIndex(24), 1);
    EXPECT_EQ(FontSizeIndex(40), 3);
    EXPECT_EQ(FontSizeIndex(47), 3);
    EXPECT_EQ(FontSizeIndex(48), -1);
    EXPECT_EQ(FontSizeIndex(15), -1);
    EXPECT_EQ(FontSizeIndex(INT32_MIN), -1);
    EXPECT_EQ(FontSizeIndex(INT32_MAX), -1);

    EXPECT_EQ(VolumeIndex(100), 0);
    EXPECT_EQ(VolumeIndex(109), 0);
    EXPECT_EQ(VolumeIndex(110), -1);
    EXPECT_EQ(VolumeIndex(95), 1);  // shows "90"
    EXPECT_EQ(VolumeIndex(50), 5);
    EXPECT_EQ(VolumeIndex(0), 10);
    EXPECT_EQ(VolumeIndex(-9), 10);  // truncation toward zero
    EXPECT_EQ(VolumeIndex(-10), -1);
    EXPECT_EQ(VolumeIndex(INT32_MIN), -1);

    EXPECT_EQ(AlarmLineIndex(0), 0);
    EXPECT_EQ(AlarmLineIndex(20), 20);
    EXPECT_EQ(AlarmLineIndex(21), -1);
    EXPECT_EQ(AlarmLineIndex(-1), -1);
}

TEST(Foption, OpeningShowsTheStoredValues) {
    OptionValues v = SampleOptions();
    OptionControls c = ControlsFromValues(v);
    EXPECT_FALSE(c.autoStart);
    EXPECT_EQ(c.alarmLineIndex, 7);
    EXPECT_EQ(c.fontName, u"Arial");
    EXPECT_EQ(c.fontSizeIndex, 2);
    EXPECT_EQ(c.formColor, 0x123456u);
    EXPECT_EQ(c.timeColor, 0xABCDEFu);
    EXPECT_EQ(c.timeLabel, u"作業");
    EXPECT_EQ(c.volAlarmIndex, 7);
    EXPECT_EQ(c.volVoiceIndex, 0);
    v.AutoStart = 5;  // any non-zero value ticks the box
    EXPECT_TRUE(ControlsFromValues(v).autoStart);
}

TEST(Foption, OkWithoutChangesKeepsValuesExceptThoseBetweenEntries) {
    const OptionValues v = SampleOptions();
    EXPECT_EQ(ValuesFromControls(ControlsFromValues(v), v), v);

    OptionValues between = v;
    between.TimeHeight = 20;
    between.VolumeAlarm = 95;
    between.VolumeVoice = 1;
    between.AutoStart = 3;
    const OptionValues back = ValuesFromControls(ControlsFromValues(between), between);
    EXPECT_EQ(back.TimeHeight, 16);
    EXPECT_EQ(back.VolumeAlarm, 90);
    EXPECT_EQ(back.VolumeVoice, 0);
    EXPECT_EQ(back.AutoStart, 1);
}

TEST(Foption, ValuesThatSelectNoEntryAreKeptUnlessTheUserPicksOne) {
    OptionValues odd = SampleOptions();
    odd.AlarmLine = 25;
    odd.TimeHeight = 64;
    odd.VolumeAlarm = 150;
    odd.VolumeVoice = -40;
    OptionControls c = ControlsFromValues(odd);
    EXPECT_EQ(c.alarmLineIndex, -1);
    EXPECT_EQ(c.fontSizeIndex, -1);
    EXPECT_EQ(c.volAlarmIndex, -1);
    EXPECT_EQ(c.volVoiceIndex, -1);
    OptionValues back = ValuesFromControls(c, odd);
    EXPECT_EQ(back.AlarmLine, 25);
    EXPECT_EQ(back.TimeHeight, 64);
    EXPECT_EQ(back.VolumeAlarm, 150);
    EXPECT_EQ(back.VolumeVoice, -40);

    c.fontSizeIndex = 3;
    c.volAlarmIndex = 10;
    back = ValuesFromControls(c, odd);
    EXPECT_EQ(back.TimeHeight, 40);
    EXPECT_EQ(back.VolumeAlarm, 0);
    EXPECT_EQ(back.VolumeVoice, -40);
}

TEST(Foption, OkWritesWhatTheControlsShow) {
    const OptionValues old = SampleOptions();
    OptionControls c = ControlsFromValues(old);
    c.autoStart = true;
    c.fontName = u"NoSuchFont 123";  // stored as typed
    c.fontSizeIndex = 1;
    c.formColor = 0x010203;
    c.timeColor = 0;
    c.timeLabel = u"";
    for (int i = 0; i <= 10; ++i) {
        c.volAlarmIndex = i;
        c.volVoiceIndex = 10 - i;
        const OptionValues v = ValuesFromControls(c, old);
        EXPECT_EQ(v.VolumeAlarm, 100 - 10 * i);
        EXPECT_EQ(v.VolumeVoice, 10 * i);
    }
    const OptionValues v = ValuesFromControls(c, old);
    EXPECT_EQ(v.AutoStart, 1);
    EXPECT_EQ(v.AlarmLine, 7);
    EXPECT_EQ(v.TimeFontName, u"NoSuchFont 123");
    EXPECT_EQ(v.TimeHeight, 24);
    EXPECT_EQ(v.FormColor, 0x010203u);
    EXPECT_EQ(v.TimeColor, 0u);
    EXPECT_EQ(v.TimeLabel, u"");
}

TEST(Foption, FontListIsSortedWithoutDuplicatesOrVerticalFaces) {
    const auto list = FontNameList({u"Tahoma", u"@MS UI Gothic", u"Arial", u"MS UI Gothic", u"arial",
                                    u"Tahoma", u"ＭＳ ゴシック", u"", u"Courier New", u"@ＭＳ ゴシック"});
    EXPECT_EQ(list, (std::vector<std::u16string>{u"Arial", u"Courier New", u"Default", u"MS UI Gothic",
                                                 u"Tahoma", u"ＭＳ ゴシック"}));
    for (size_t i = 1; i < list.size(); ++i) EXPECT_TRUE(FontNameLess(list[i - 1], list[i]));
    EXPECT_EQ(FontNameList({u"Default", u"default"}), (std::vector<std::u16string>{u"Default"}));
}
