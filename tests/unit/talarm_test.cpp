#include "app/Talarm.h"

#include <gtest/gtest.h>

#include "support/AlarmRows.h"

using namespace movrek;

namespace {

// The shared rows, whose attaching is itself under test here.
struct TenRows : movrek::test::TenRows {
    TenRows() { EXPECT_TRUE(attached); }
    MemoryChoiceList& L(int row, AlarmField f) { return lists[static_cast<size_t>(row)][static_cast<size_t>(f)]; }
};

using Views = std::vector<std::u16string_view>;

}  // namespace

TEST(AlarmLists, ItemsAsTheRowsShowThem) {
    EXPECT_EQ(AlarmEndItems(), (std::vector<std::u16string>{u"", u"終了"}));
    const auto hours = AlarmHourItems();
    ASSERT_EQ(hours.size(), 24u);  // no row can name 24 hours
    EXPECT_EQ(hours.front(), u"0 h");
    EXPECT_EQ(hours[9], u"9 h");
    EXPECT_EQ(hours.back(), u"23 h");
    const auto minutes = AlarmMinuteItems();
    const auto seconds = AlarmSecondItems();
    ASSERT_EQ(minutes.size(), 60u);
    ASSERT_EQ(seconds.size(), 60u);
    EXPECT_EQ(minutes[0], u"0 m");
    EXPECT_EQ(minutes[59], u"59 m");
    EXPECT_EQ(seconds[10], u"10 s");
    EXPECT_EQ(AlarmSoundItems(),
              (std::vector<std::u16string>{u"", u"チチ チチ チチ ・・・", u"プルン プルン プルン",
                                           u"ピンポン", u"ポン", u"スタート", u"右スタート",
                                           u"左スタート", u"おしまい", u"おつかれさまでした",
                                           u"時間です"}));
    EXPECT_EQ(AlarmRowLabel(0), u"時報 1:");
    EXPECT_EQ(AlarmRowLabel(9), u"時報 10:");
}

TEST(AlarmLists, SoundTablePhrases) {
    EXPECT_EQ(AlarmSoundPhrases(0), Views{});
    EXPECT_EQ(AlarmSoundPhrases(1), Views{u"alarm1"});
    EXPECT_EQ(AlarmSoundPhrases(4), Views{u"alarm4"});
    EXPECT_EQ(AlarmSoundPhrases(5), Views{u"すたーと"});
    EXPECT_EQ(AlarmSoundPhrases(6), (Views{u"みぎ", u"すたーと"}));
    EXPECT_EQ(AlarmSoundPhrases(7), (Views{u"ひだり", u"すたーと"}));
    EXPECT_EQ(AlarmSoundPhrases(9), Views{u"おつかれさまでした"});
    EXPECT_EQ(AlarmSoundPhrases(10), Views{u"じかんです"});
    EXPECT_EQ(AlarmSoundPhrases(-1), Views{});  // no selection
    EXPECT_EQ(AlarmSoundPhrases(11), Views{});
}

TEST(AlarmLists, LayoutTable) {
    EXPECT_EQ(AlarmRowLayout::Top(0), 85);
    EXPECT_EQ(AlarmRowLayout::Top(9), 310);
    const auto& c = AlarmRowLayout::Choices;
    EXPECT_EQ(c[static_cast<int>(AlarmField::Sound)].left, 260);
    EXPECT_EQ(c[static_cast<int>(AlarmField::Sound)].width, 130);
    EXPECT_EQ(c[static_cast<int>(AlarmField::End)].dropDownLines, 8);
    EXPECT_EQ(c[static_cast<int>(AlarmField::Second)].left, 210);
}

TEST(AlarmRowsTest, PopulateGivesEveryRowItsItemsAtIndexZero) {
    TenRows r;
    for (int i = 0; i < talarm::Rows; ++i) {
        EXPECT_EQ(r.L(i, AlarmField::Hour).Items(), r.alarm.HourItems);
        EXPECT_EQ(r.L(i, AlarmField::Sound).Count(), AlarmSoundCount);
        for (int f = 0; f < 5; ++f) EXPECT_EQ(r.lists[i][f].Selected(), 0) << i << "," << f;
    }
    EXPECT_EQ(r.alarm.RowCount(), 10);
}

TEST(AlarmRowsTest, MatchesOnlyActiveRowsAtTheirExactTime) {
    TenRows r;
    EXPECT_FALSE(r.alarm.Matches(0, 0, 0, 0)) << "a cleared row is inactive";
    r.Set(0, 0, 1, 2, 3, 0);
    EXPECT_FALSE(r.alarm.Matches(0, 1, 2, 3)) << "no sound and no end";
    r.Set(0, 0, 1, 2, 3, 4);
    EXPECT_TRUE(r.alarm.Matches(0, 1, 2, 3));
    EXPECT_FALSE(r.alarm.Matches(0, 1, 2, 4));
    EXPECT_FALSE(r.alarm.Matches(0, 1, 3, 3));
    EXPECT_FALSE(r.alarm.Matches(0, 2, 2, 3));
    r.Set(1, 1, 0, 0, 30, 0);  // end without sound
    EXPECT_TRUE(r.alarm.Matches(1, 0, 0, 30));
    EXPECT_EQ(r.alarm.EndChoice(1), 1);
    EXPECT_EQ(r.alarm.SoundChoice(0), 4);
    // A list with no selection (-1) matches nothing.
    r.L(1, AlarmField::Second).Select(-1);
    EXPECT_FALSE(r.alarm.Matches(1, 0, 0, 30));
    EXPECT_FALSE(r.alarm.Matches(-1, 0, 0, 0));
    EXPECT_FALSE(r.alarm.Matches(10, 0, 0, 0));
}

TEST(AlarmRowsTest, ClearAllEmptiesEveryRow) {
    TenRows r;
    for (int i = 0; i < talarm::Rows; ++i) r.Set(i, 1, 5, 6, 7, 3);
    r.alarm.ClearAll();
    for (int i = 0; i < talarm::Rows; ++i) {
        for (int f = 0; f < 5; ++f) EXPECT_EQ(r.lists[i][f].Selected(), 0);
        EXPECT_FALSE(r.alarm.Matches(i, 0, 0, 0));
    }
}

TEST(AlarmRowsTest, UnattachedRowsTakeNoPart) {
    talarm alarm;
    MemoryChoiceList a, b, c, d;
    EXPECT_FALSE(alarm.AttachRow(0, {&a, &b, &c, &d, nullptr}));
    EXPECT_FALSE(alarm.AttachRow(10, {&a, &b, &c, &d, &d}));
    EXPECT_EQ(alarm.Row(0), nullptr);
    alarm.Populate();
    alarm.ClearAll();
    EXPECT_FALSE(alarm.Matches(0, 0, 0, 0));
    EXPECT_EQ(alarm.SoundChoice(0), -1);
    EXPECT_EQ(a.Count(), 0);
}
