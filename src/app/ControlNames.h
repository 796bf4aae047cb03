// The names screen readers give the main window's lists. The lists themselves carry no text
// of their own worth reading (a list's text is its selection), so each is named after the
// caption label beside it, and a row's five lists after the row and what each one sets.
#pragma once
#include <string>
#include <string_view>

#include "app/Talarm.h"

namespace movrek {

// "時報 1 終了", "時報 1 時", "時報 1 分", "時報 1 秒", "時報 1 音" for row index 0..9.
std::u16string AlarmChoiceName(int row, AlarmField field);

}  // namespace movrek
