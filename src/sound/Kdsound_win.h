// The sound device (kdsound): DirectSound 8 output with clips read by the winmm RIFF reader,
// and the notifier thread (kdsnotify) that turns the end of a clip into a TalkNotify message
// for the owner window.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <array>

#include "platform/Handles_win.h"
#include "platform/SoundOutput.h"
#include "platform/UserMessages.h"

namespace movrek {

constexpr int kPlaybackEventCount = 3;
using EventHandles = std::array<HANDLE, kPlaybackEventCount>;

// The notifier thread: each time playback event k is set it posts TalkNotify(k, 0) to the
// target window. Destroying it wakes the thread through an event of its own and waits for the
// thread to end, so the waited-on handles must outlive it.
class kdsnotify {
public:
    // Starts the thread; throws std::system_error when the platform refuses the thread or
    // its stop event.
    kdsnotify(HWND target, const EventHandles& events);
    ~kdsnotify();
    kdsnotify(const kdsnotify&) = delete;
    kdsnotify& operator=(const kdsnotify&) = delete;

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Execute() noexcept;

    const HWND target_;           // not owned
    const EventHandles events_;   // not owned: the device's PlaybackEvents
    KernelHandle stop_;
    KernelHandle thread_;
};

class kdsound : public SoundOutput {
public:
    // Creates the playback events and starts the notifier for the owner window. Failure
    // messages go to messages. Throws std::system_error when the events or the thread cannot
    // be created.
    kdsound(HWND owner, UserMessages& messages);
    // Stops and joins the notifier before the events close; closes DirectSound if the owner
    // did not.
    ~kdsound() override;
    kdsound(const kdsound&) = delete;
    kdsound& operator=(const kdsound&) = delete;

    bool Open() override;
    bool CreatePrimary() override;
    bool LoadWave(std::u16string_view path, DeviceLossReport loss) override;
    bool SetNotify() override;
    void SetVolume(int setting) override;
    long PlayClip() override;
    void StopClip() override;
    bool Close() override;
    void CloseDevice() override { ReleaseInterfaces(); }
    bool ClipSounding() const override;
    bool DeviceGone() const override { return !device_ || gone_; }
    bool Reopen() override;

    // Whether a DirectSound result says that the output device has gone away.
    static bool MeansDeviceGone(HRESULT hr);

    // Index 0 is set whenever the clip buffer stops; 1 and 2 are spare.
    HANDLE PlaybackEvent(int index) const { return PlaybackEvents[index].Get(); }
    bool HasClip() const { return static_cast<bool>(clip_); }

private:
    bool Fail(const char16_t* text);
    bool FailUnless(bool quiet, const char16_t* text) { return quiet ? false : Fail(text); }
    bool CreateDevice(bool quiet);
    bool FormatPrimary(bool quiet);
    void ReleaseInterfaces();

    const HWND owner_;  // not owned
    UserMessages& messages_;
    std::array<KernelHandle, kPlaybackEventCount> PlaybackEvents;
    kdsnotify notifier_;  // declared after the events: it is joined before they close
    // Declared so that destruction releases them in Close's order: notification, clip,
    // primary, device.
    ComRef<IDirectSound8> device_;
    ComRef<IDirectSoundBuffer> primary_;
    ComRef<IDirectSoundBuffer> clip_;
    ComRef<IDirectSoundNotify> clipNotify_;
    int comInits_ = 0;  // successful CoInitialize calls still to be balanced
    bool gone_ = false;  // a step since the last open found the output device gone
};

}  // namespace movrek
