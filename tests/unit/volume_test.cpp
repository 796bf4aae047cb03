#include <gtest/gtest.h>

#include "sound/Volume.h"

namespace movrek {
namespace {

TEST(Volume, OfferedSettingsMapToTheirLevels) {
    const struct { int setting, level; } table[] = {
        {100, 0},     {90, -183},   {80, -387},   {70, -619},   {60, -887},  {50, -1204},
        {40, -1591},  {30, -2091},  {20, -2795},  {10, -4000},  {0, -10000},
    };
    for (const auto& row : table)
        EXPECT_EQ(VolumeToHundredthsDb(row.setting), row.level) << "setting " << row.setting;
}

TEST(Volume, OutOfRangeSettingsAreLimited) {
    EXPECT_EQ(VolumeToHundredthsDb(150), 0);
    EXPECT_EQ(VolumeToHundredthsDb(101), 0);
    EXPECT_EQ(VolumeToHundredthsDb(-5), -10000);
    EXPECT_EQ(VolumeToHundredthsDb(-2147483647 - 1), -10000);
    EXPECT_EQ(VolumeToHundredthsDb(2147483647), 0);
}

TEST(Volume, EveryStoredSettingFallsSteadilyWithinRange) {
    // 1 is exactly -80 dB; nothing on the way from 100 down may rise or leave the range.
    EXPECT_EQ(VolumeToHundredthsDb(1), -8000);
    int previous = VolumeToHundredthsDb(100);
    for (int s = 99; s >= 1; --s) {
        const int level = VolumeToHundredthsDb(s);
        EXPECT_LT(level, previous) << "setting " << s;
        EXPECT_GE(level, -8000) << "setting " << s;
        previous = level;
    }
}

}  // namespace
}  // namespace movrek
