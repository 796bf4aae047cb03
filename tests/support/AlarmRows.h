// In-memory lists behind the real alarm rows and the main window's other lists. Portable and
// free of the test framework: the fuzz targets use it too.
#pragma once
#include <array>
#include <cstddef>

#include "app/Talarm.h"
#include "platform/ChoiceList.h"

namespace movrek::test {

using RowLists = std::array<std::array<MemoryChoiceList, 5>, talarm::Rows>;

// Whether every row took its lists.
inline bool AttachRows(talarm& alarm, RowLists& lists) {
    bool all = true;
    for (int i = 0; i < talarm::Rows; ++i) {
        auto& r = lists[static_cast<size_t>(i)];
        all = alarm.AttachRow(i, {&r[0], &r[1], &r[2], &r[3], &r[4]}) && all;
    }
    alarm.Populate();
    return all;
}

// Ten rows of in-memory lists behind a real talarm.
struct TenRows {
    TenRows() : attached(AttachRows(alarm, lists)) {}
    void Set(int row, int end, int h, int m, int s, int sound) {
        auto& r = lists[static_cast<size_t>(row)];
        r[0].Select(end);
        r[1].Select(h);
        r[2].Select(m);
        r[3].Select(s);
        r[4].Select(sound);
    }
    RowLists lists;
    talarm alarm;
    bool attached;
};

// The main window's lists as the settings record sees them: count-in, start phrase, elapsed
// announcement and the alarm rows, filled as the window fills them.
struct SettingsLists {
    SettingsLists() {
        before.SetItems({u"", u"10秒前"});
        start.SetItems({u"", u"起動しました", u"スタート"});
        pass.SetItems({u"", u"分経過", u"時間経過"});
        AttachRows(alarms, rows);
    }
    std::array<int, 5> Row(int i) const {
        const auto& r = rows[static_cast<size_t>(i)];
        return {r[0].Selected(), r[1].Selected(), r[2].Selected(), r[3].Selected(), r[4].Selected()};
    }

    MemoryChoiceList before, start, pass;
    RowLists rows;
    talarm alarms;
};

}  // namespace movrek::test
