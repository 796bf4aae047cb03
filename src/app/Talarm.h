// The alarm rows: ten rows of five selection-only lists (end, hour, minute, second, sound)
// naming an elapsed moment and what happens then. This is the portable part: the lists'
// items, the sound table, the match test and the clearing. The Win32 rows (a panel per row
// with a label and five combo boxes) are built from the layout table below and attached.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "app/EngineSeams.h"
#include "platform/ChoiceList.h"

namespace movrek {

// ---------------------------------------------------------------- layout (pixels, 96 dpi)

// Which of a row's five lists.
enum class AlarmField { End = 0, Hour = 1, Minute = 2, Second = 3, Sound = 4 };

struct AlarmChildPlace {
    int left;
    int top;
    int width;          // 0 for the label, which sizes itself to its text
    int dropDownLines;  // lines of the open list; 0 for the label
};

struct AlarmRowLayout {
    static constexpr int RowCount = 10;
    static constexpr int Left = 0;
    static constexpr int TopBase = 85;  // rows start under the panel's own drop-downs
    static constexpr int Height = 25;
    static constexpr int Width = 440;   // wider than the panel; the excess is clipped
    static constexpr int Top(int row) { return Height * row + TopBase; }
    static constexpr AlarmChildPlace Label{8, 7, 0, 0};
    // Indexed by AlarmField. The end list keeps the combo box's default of 8 lines.
    static constexpr std::array<AlarmChildPlace, 5> Choices{{
        {60, 2, 50, 8},
        {110, 2, 50, 20},
        {160, 2, 50, 20},
        {210, 2, 50, 20},
        {260, 2, 130, 20},
    }};
};

// "時報 1:" .. "時報 10:" for row index 0..9.
std::u16string AlarmRowLabel(int row);

// ---------------------------------------------------------------- items and sound table

std::vector<std::u16string> AlarmEndItems();     // "", "終了"
std::vector<std::u16string> AlarmHourItems();    // "0 h" .. "23 h"
std::vector<std::u16string> AlarmMinuteItems();  // "0 m" .. "59 m"
std::vector<std::u16string> AlarmSecondItems();  // "0 s" .. "59 s"
std::vector<std::u16string> AlarmSoundItems();   // the 11 texts of the sound table

inline constexpr int AlarmSoundCount = 11;

// The phrase names queued, in order, for a sound index; empty for 0 or an unknown index.
std::vector<std::u16string_view> AlarmSoundPhrases(int soundIndex);

// ---------------------------------------------------------------- the rows

// The five lists of one row. All five must be set for the row to take part.
struct AlarmRowChoices {
    ChoiceList* End = nullptr;
    ChoiceList* Hour = nullptr;
    ChoiceList* Minute = nullptr;
    ChoiceList* Second = nullptr;
    ChoiceList* Sound = nullptr;

    ChoiceList* Field(AlarmField f) const;
    bool Complete() const { return End && Hour && Minute && Second && Sound; }
};

class talarm : public AlarmRows {
public:
    static constexpr int Rows = AlarmRowLayout::RowCount;

    // Item lists built by Populate; each row's lists get copies.
    std::vector<std::u16string> EndItems;
    std::vector<std::u16string> HourItems;
    std::vector<std::u16string> MinuteItems;
    std::vector<std::u16string> SecondItems;
    std::vector<std::u16string> SoundItems;

    // Hands row i (0..9) its five lists, which must outlive this object. Returns false (and
    // attaches nothing) for a bad index or an incomplete set.
    bool AttachRow(int row, const AlarmRowChoices& choices);
    // The attached lists of row i, or nullptr; the settings read and write them directly.
    const AlarmRowChoices* Row(int row) const;

    // Builds the item lists and gives every attached row its items, each selection at 0.
    void Populate();
    // Every attached row: all five selections := 0.
    void ClearAll();

    int RowCount() const override { return Rows; }
    bool Matches(int row, int h, int m, int s) const override;
    int EndChoice(int row) const override;
    int SoundChoice(int row) const override;

private:
    std::array<AlarmRowChoices, Rows> rows_{};
};

}  // namespace movrek
