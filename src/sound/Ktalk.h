// The voice announcer: turns phrase names, numbers, durations and clock readings into
// recorded clips (WAV files in the sound folder), queues them and plays them one after
// another through the sound device. A call only queues; the first clip starts at once when
// nothing is playing, every further one at the first tick after the previous clip's end.
//
// The owner (the main window) drives it: its periodic timer, which the announcer arms only
// while there is something to do, calls Tick() every 100 ms, and it calls ClipEnded() when the
// notifier reports that the current clip has stopped. Should the notices stop coming, the tick
// finds the stopped clip by itself and the voice goes on.
//
// A sound device left open costs the machine all the time (an audio stream that runs while
// nothing sounds), so after IdleCloseMs of silence the announcer closes it and the next clip
// opens it again, quietly; only an open that fails then is reported, by the clip's messages.
#pragma once
#include <string>
#include <string_view>

#include "platform/SoundOutput.h"
#include "platform/Ticker.h"
#include "platform/UserMessages.h"
#include "sound/Announcer.h"
#include "sound/Kque.h"

namespace movrek {

class ktalk : public Announcer {
public:
    // 60 cells: up to 59 clips wait behind the one that sounds.
    static constexpr int QueueCapacity = 60;
    static constexpr int TickIntervalMs = 100;
    // Ticks that must find the started clip stopped, with no notice of its end, before it
    // counts as ended: more than one, so that a notice still on its way is not overtaken.
    static constexpr int UnnoticedEndTicks = 2;
    // Silence after which the device is closed: long enough that the clips of one phrase and
    // phrases queued in quick succession never wait for an open.
    static constexpr int IdleCloseMs = 5000;
    static constexpr int IdleCloseTicks = IdleCloseMs / TickIntervalMs;

    // Opens the device and its primary buffer; their failures have shown their own messages,
    // and each clip then tries one quiet open before it reports its own failure. ticker is
    // the owner's periodic timer that calls Tick; it must outlive the announcer.
    ktalk(SoundOutput& device, UserMessages& messages, Ticker& ticker);
    // Closes the device's output; the owner destroys the device afterwards.
    ~ktalk() override;

    ktalk(const ktalk&) = delete;
    ktalk& operator=(const ktalk&) = delete;

    // Queues the clip named name ("すたーと", "alarm1", "10びょう", ...).
    void Talk(std::u16string_view name) override;
    // Queues the number clip of n in decimal.
    void TalkNumber(int n) override;
    // A length of time with combined clips (20, 5ふん), then word; nothing at all for 0:0:0.
    void TalkDuration(std::u16string_view word, int hours, int minutes, int seconds) override;
    // A count with number clips and separate unit words (20, 4, じかん), then finalWord.
    void TalkClock(std::u16string_view hourWord, std::u16string_view finalWord, int hours,
                   int minutes, int seconds) override;

    // Discards every waiting clip. The clip that sounds goes on until the next one replaces it.
    void Clear();
    // Cuts the sounding clip short; its end is reported like a natural one, and the waiting
    // clips still follow.
    void StopTalk();
    // A clip has stopped (the notifier's message with event index 0). It ends the current
    // clip only when that no longer sounds: the notice may be that of a clip it replaced.
    void ClipEnded();
    // The periodic tick: starts the next waiting clip when none is sounding. A started clip
    // that has stopped without a notice ends after UnnoticedEndTicks ticks. After
    // IdleCloseTicks ticks with nothing waiting or sounding it closes the device, and with
    // that the ticker until the next clip is queued.
    void Tick();

    // Volume settings 0..100, applied from the next clip on. Alarm sounds are the clips whose
    // file name begins with "alarm".
    void SetVoiceVolume(int v) { voiceVolume_ = v; }
    void SetAlarmVolume(int v) { alarmVolume_ = v; }
    int VoiceVolume() const { return voiceVolume_; }
    int AlarmVolume() const { return alarmVolume_; }

    // 1 while a clip is being started or sounds, else 0.
    int Playing() const { return playing_; }
    // 1 from the queueing of a clip until a tick finds the queue empty, else 0.
    int Pending() const { return pending_; }
    // False once the device has been closed for silence, until the next clip opens it.
    bool DeviceOpen() const { return open_; }

    // The file that a clip name stands for: .\sound\NAME.wav
    static std::u16string ClipPath(std::u16string_view name);

private:
    void Enqueue(std::u16string_view path);
    void PlayNext();
    // Arms the ticker while a clip waits or sounds or the device is still to be closed, and
    // disarms it when nothing is left to do.
    void UpdateTicker();

    SoundOutput& device_;
    UserMessages& messages_;
    Ticker& ticker_;
    int pending_ = 0;
    int playing_ = 0;
    int voiceVolume_ = 100;
    int alarmVolume_ = 100;
    bool endHeld_ = false;  // a stop notice came while the current clip still sounded
    bool started_ = false;  // the current clip's PlayClip succeeded
    int unnoticedTicks_ = 0;  // ticks that found the started clip stopped (it stays so)
    bool open_ = true;       // the device was opened and has not been closed for silence
    int idleTicks_ = 0;      // ticks in a row with nothing waiting or sounding
    bool armed_ = false;     // the ticker is enabled
    kque queue_{QueueCapacity};
};

}  // namespace movrek
