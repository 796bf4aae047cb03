// The sound-output seam: the operations of the sound device (kdsound) as the announcer uses
// them. The Windows side is DirectSound 8 with the winmm RIFF reader; tests use a recorder.
// Each operation shows its own failure message, as the device does, and reports it by result.
#pragma once
#include <string_view>

namespace movrek {

// How LoadWave reports a clip buffer that the platform refuses because the output device has
// gone away (unplugged, disabled, its audio service stopped).
enum class DeviceLossReport {
    Show,  // with its message, like any other failure
    Hold,  // without one: the caller reopens the device and loads the clip once more
};

class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    virtual bool Open() = 0;
    virtual bool CreatePrimary() = 0;
    // Reads the WAV clip at path (UTF-16; opened by its wide name) into a new clip buffer,
    // releasing the one before it.
    virtual bool LoadWave(std::u16string_view path, DeviceLossReport loss) = 0;
    // Ties the clip buffer's stop to the playback-end event (PlaybackEvents index 0).
    virtual bool SetNotify() = 0;
    // Volume setting 0..100, mapped to hundredths of a decibel.
    virtual void SetVolume(int setting) = 0;
    // Platform result: 0 (or positive) on success, negative on failure.
    virtual long PlayClip() = 0;
    virtual void StopClip() = 0;
    virtual bool Close() = 0;
    // Releases the clip buffer, the primary buffer and the device while nothing sounds, and
    // shows nothing; the component library stays begun. DeviceGone() is true afterwards, and
    // Reopen() makes them anew.
    virtual void CloseDevice() = 0;

    // Whether the current clip buffer is playing now.
    virtual bool ClipSounding() const = 0;
    // True when there is no usable output device: Open failed, or a step since the last
    // open failed with a result that says the device has gone.
    virtual bool DeviceGone() const = 0;
    // Closes the device and opens it again with its primary buffer, showing no message
    // whatever fails; true when a device was opened.
    virtual bool Reopen() = 0;
};

}  // namespace movrek
