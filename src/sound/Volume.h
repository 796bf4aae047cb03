// The clip volume: a 0..100 setting mapped to hundredths of a decibel, the unit the sound
// device takes. The level falls by 40 dB for each tenfold reduction of the setting.
#pragma once

namespace movrek {

constexpr int kSilenceHundredthsDb = -10000;

// Settings above 100 count as 100, below 0 as 0; 0 is silence (-10000).
int VolumeToHundredthsDb(int setting);

}  // namespace movrek
