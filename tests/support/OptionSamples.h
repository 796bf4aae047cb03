// Options values unlike the defaults in every field, for the dialog's and the settings
// record's tests.
#pragma once
#include "controls/Foption.h"

namespace movrek::test {

inline OptionValues SampleOptions() {
    OptionValues v;
    v.AutoStart = 0;
    v.AlarmLine = 7;
    v.TimeFontName = u"Arial";
    v.TimeHeight = 32;
    v.FormColor = 0x123456;
    v.TimeColor = 0xABCDEF;
    v.TimeLabel = u"作業";
    v.VolumeAlarm = 30;
    v.VolumeVoice = 100;
    return v;
}

}  // namespace movrek::test
