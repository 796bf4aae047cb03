#include "sound/Ktalk.h"

#include <string>

#include "platform/Utf.h"

namespace movrek {
namespace {

// The file name part of a path: what follows the last folder separator.
std::u16string_view FileName(std::u16string_view path) {
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

ktalk::ktalk(SoundOutput& device, UserMessages& messages, Ticker& ticker)
    : device_(device), messages_(messages), ticker_(ticker) {
    device_.Open();
    device_.CreatePrimary();
    UpdateTicker();  // the close for silence is due
}

ktalk::~ktalk() {
    if (armed_) ticker_.Disable();
    device_.Close();
}

std::u16string ktalk::ClipPath(std::u16string_view name) {
    std::u16string path = u".\\sound\\";
    path += name;
    path += u".wav";
    return path;
}

void ktalk::Talk(std::u16string_view name) { Enqueue(ClipPath(name)); }

void ktalk::TalkNumber(int n) { Enqueue(ClipPath(Decimal(n))); }

void ktalk::TalkDuration(std::u16string_view word, int hours, int minutes, int seconds) {
    const int values[3] = {hours, minutes, seconds};
    const std::u16string_view units[3] = {u"じかん", u"ふん", u"びょう"};
    bool spoke = false;
    for (int i = 0; i < 3; ++i) {
        // For a negative value both parts are <= 0, so the group stays silent.
        const int u = values[i] % 10;
        const int t = values[i] - u;
        if (u == 0 && t > 0) {
            Talk(Decimal(t) + std::u16string(units[i]));
            spoke = true;
        } else if (t == 0 && u > 0) {
            Talk(Decimal(u) + std::u16string(units[i]));
            spoke = true;
        } else if (t > 0 && u > 0) {
            TalkNumber(t);
            Talk(Decimal(u) + std::u16string(units[i]));
            spoke = true;
        }
    }
    if (spoke) Talk(word);
}

void ktalk::TalkClock(std::u16string_view hourWord, std::u16string_view finalWord, int hours,
                      int minutes, int seconds) {
    const int values[3] = {hours, minutes, seconds};
    const std::u16string_view units[3] = {hourWord, u"ふん", u"びょう"};
    bool spoke = false;
    for (int i = 0; i < 3; ++i) {
        const int u = values[i] % 10;
        const int t = values[i] - u;
        if (t > 0) TalkNumber(t);
        if (u > 0) TalkNumber(u);
        if (t > 0 || u > 0) {
            Talk(units[i]);
            spoke = true;
        }
    }
    if (spoke) Talk(finalWord);
}

void ktalk::Clear() {
    queue_.Clear();
    playing_ = 0;
}

void ktalk::StopTalk() {
    if (playing_ == 1) device_.StopClip();
}

void ktalk::ClipEnded() {
    // Loading a clip releases the one before it, and a buffer released while it still plays
    // stops and posts its end like any other: such a notice can arrive while the next clip
    // plays. The clip that still sounds has not ended; its own stop posts a notice of its own.
    if (playing_ == 1 && device_.ClipSounding()) {
        endHeld_ = true;
        return;
    }
    playing_ = 0;
}

void ktalk::Tick() {
    // A notice held back while the clip sounded may have been its own after all, posted just
    // before the buffer's status turned: once it has stopped, the clip is over. Without any
    // notice it is over too once it has stayed stopped for a tick more than a notice needs:
    // the notifier may have ended or its message been lost, and the voice must go on.
    if (playing_ == 1 && !device_.ClipSounding() &&
        (endHeld_ || (started_ && ++unnoticedTicks_ >= UnnoticedEndTicks)))
        playing_ = 0;
    if (pending_ == 1 && playing_ == 0) PlayNext();
    // A clip that Clear let sound on is still heard: closing the device would cut it off.
    if (pending_ == 0 && playing_ == 0 && !device_.ClipSounding()) {
        if (open_ && ++idleTicks_ >= IdleCloseTicks) {
            device_.CloseDevice();
            open_ = false;
        }
    } else {
        idleTicks_ = 0;
    }
    UpdateTicker();
}

void ktalk::UpdateTicker() {
    // Only Enqueue makes a clip wait and only a tick closes the device, so those two (and the
    // construction) are where the need changes; ClipEnded and Clear leave the device open.
    const bool needed = pending_ == 1 || playing_ == 1 || open_;
    if (needed == armed_) return;
    // Enabled once per stretch of work, never again while armed: restarting the timer would
    // push the next tick, and with it the next clip, further away.
    armed_ = needed;
    if (needed)
        ticker_.Enable(TickIntervalMs);
    else
        ticker_.Disable();
}

void ktalk::Enqueue(std::u16string_view path) {
    if (path.empty()) return;
    queue_.Put(path);
    pending_ = 1;
    idleTicks_ = 0;
    UpdateTicker();
    if (playing_ == 0) PlayNext();
}

void ktalk::PlayNext() {
    // Set first: the message boxes below run the message loop, and the ticks and calls that
    // arrive meanwhile must only queue.
    playing_ = 1;
    endHeld_ = false;  // whatever was held back belonged to the clip before
    started_ = false;
    unnoticedTicks_ = 0;

    const std::u16string path = queue_.Get();
    if (path.empty()) {
        pending_ = 0;
        playing_ = 0;
        return;
    }
    if (!messages_.FileExists(path)) {
        messages_.Beep(2000, 100);
        messages_.ShowMessage(u"音声ファイルが見つかりません！");
        playing_ = 0;
        return;
    }
    // A device that was closed for silence or has gone (a headset unplugged, the audio
    // service not yet up at log-on) gets one quiet reopen per clip: before it, when it is
    // closed or known to be gone, or when a step of this clip finds it gone. Only when that
    // does not help are the failures reported.
    bool reopened = false;
    auto reopenOnce = [&] {
        if (reopened || (open_ && !device_.DeviceGone())) return false;
        device_.Reopen();
        open_ = true;
        reopened = true;
        return true;
    };
    reopenOnce();
    for (;;) {
        if (!device_.LoadWave(path, reopened ? DeviceLossReport::Show : DeviceLossReport::Hold)) {
            if (reopenOnce()) continue;
            messages_.ShowMessage(u"CreateSoundBuffer error");
            playing_ = 0;
            return;
        }
        if (!device_.SetNotify()) {
            // Without the stop notification the clip's end would never be reported and the
            // announcer would fall silent for good: skip the clip like any other failure.
            messages_.ShowMessage(u"SetNotify error");
            playing_ = 0;
            return;
        }
        const bool alarm = FileName(path).substr(0, 5) == u"alarm";
        device_.SetVolume(alarm ? alarmVolume_ : voiceVolume_);
        if (device_.PlayClip() != 0) {
            if (reopenOnce()) continue;
            messages_.ShowMessage(u"DirectSound Play error");
            playing_ = 0;  // a clip that never started never reports an end
            return;
        }
        started_ = true;
        return;
    }
}

}  // namespace movrek
