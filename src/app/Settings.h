// The user's settings as the main window uses them. The settings file fills this record;
// until a file exists (first start) every field keeps its default below.
#pragma once
#include <cstdint>
#include <string>

namespace movrek {

struct Settings {
    std::int32_t TimeHeight = 16;   // height class of the time display: 16, 24, 32 or 40
    std::int32_t AutoStart = 1;     // 1: start counting at launch in compact mode
    std::int32_t DispSecond = 1;    // 1: "hh:nn:ss", 0: "hh:nn"
    std::int32_t TimeTalk = 1;
    std::int32_t AlarmLine = 10;    // alarm rows shown in the expanded window
    std::u16string TimeFontName = u"Tahoma";
    std::uint32_t FormColor = 0x984E00;  // 0xBBGGRR, dark blue
    std::uint32_t TimeColor = 0xFFFFFF;  // white
    std::u16string TimeLabel;
    std::int32_t VolumeVoice = 100;
    std::int32_t VolumeAlarm = 50;
    std::int32_t BeforeSound = 0;   // selection of the count-in list
    std::int32_t StartSound = 1;    // selection of the start-phrase list
    std::int32_t PassSound = 1;     // selection of the elapsed-announcement list
    std::int32_t Left = 100;        // window position on the screen
    std::int32_t Top = 100;
};

}  // namespace movrek
