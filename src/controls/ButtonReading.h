// What a screen reader is told about a button or a list: the texts, and the few states that a
// picture alone shows (an expanding button's mode). Portable, so every word is tested without
// a window; the Windows side only hands them out.
#pragma once
#include <string>
#include <string_view>

#include "controls/Bitmap.h"

namespace movrek {

struct ButtonReading {
    std::u16string name;
    std::u16string value;          // empty: the button has none
    std::u16string defaultAction;  // what a press does, in a word
    bool expandable = false;       // a press opens or closes something
    bool expanded = false;         // ... and it is open now
};

// The default action of a plain button, as Windows words it in Japanese.
inline constexpr std::u16string_view kPressAction = u"押す";

// The name a caption label gives the control beside it: without the mnemonic marker and
// without the trailing colon ("時報 1:" -> "時報 1"), since readers speak a colon or pause on
// it.
std::u16string CaptionName(std::u16string_view caption);

// A colour as a reader can say it: "赤 0 緑 78 青 152" for 0x984E00 (0xBBGGRR).
std::u16string ColorValueText(Color c);

}  // namespace movrek
