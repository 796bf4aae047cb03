#include "app/ControlNames.h"

#include "controls/ButtonReading.h"

namespace movrek {

std::u16string AlarmChoiceName(int row, AlarmField field) {
    static constexpr std::u16string_view kWhat[] = {u"終了", u"時", u"分", u"秒", u"音"};
    const auto f = static_cast<size_t>(field);
    std::u16string name = CaptionName(AlarmRowLabel(row));
    if (f < std::size(kWhat)) {
        name += u' ';
        name += kWhat[f];
    }
    return name;
}

}  // namespace movrek
