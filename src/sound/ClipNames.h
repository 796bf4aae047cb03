// The recorded clips: every base name the program can ask the announcer for. Each one is a
// file NAME.wav in the sound folder. The help file and the tests take the list from here.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace movrek {

// Numbers 1-9 and the tens 10-50; n+"じかん" (n = 1-9, 10, 20); n+"ふん" and n+"びょう"
// (n = 1-9, 10-50); the unit words; the phrases; the four alarm sounds; the voice credit.
const std::vector<std::u16string>& ClipNames();

bool IsClipName(std::u16string_view name);

}  // namespace movrek
