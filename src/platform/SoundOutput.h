// The sound-output seam: the operations of the sound device (kdsound) as the announcer uses
// them. The Windows side is DirectSound 8 with the winmm RIFF reader; tests use a recorder.
// Each operation shows its own failure message, as the device does, and reports it by result.
#pragma once
#include <string_view>

namespace movrek {

class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    virtual bool Open() = 0;
    virtual bool CreatePrimary() = 0;
    // Reads the WAV clip at path (UTF-16; opened by its wide name) into a new clip buffer.
    virtual bool LoadWave(std::u16string_view path) = 0;
    // Ties the clip buffer's stop to the playback-end event (PlaybackEvents index 0).
    virtual bool SetNotify() = 0;
    // Volume setting 0..100, mapped to hundredths of a decibel.
    virtual void SetVolume(int setting) = 0;
    // Platform result: 0 (or positive) on success, negative on failure.
    virtual long PlayClip() = 0;
    virtual void StopClip() = 0;
    virtual bool Close() = 0;
};

}  // namespace movrek
