// Measures how closely queued clips follow each other in the announcer: the real sound device
// (DirectSound through kdsound, its notifier thread) and the real ktalk, driven the way the
// main window drives them: a 100 ms timer calls Tick, the notifier's TalkNotify calls
// ClipEnded. A timing layer around the device notes, with QueryPerformanceCounter, when each
// clip is handed to PlayClip; the window notes when each end arrives and when each tick runs.
//
//   clipgap [FOLDER [ROUNDS]]
//     FOLDER  holds the sound\ folder (default: the current directory)
//     ROUNDS  how many times the sequence is queued (default 3, at most 4)
//
// Each round queues the count-in (10びょう, まえ, 5 … 1), すたーと and the elapsed time
// 1 h 25 min (1じかん, 20, 5ふん, けいか): twelve clips, all at once. The tick timer is armed
// and disarmed by the announcer, as in the program. When all have ended, the announcer is left
// alone until it closes the device for silence; then the elapsed time is queued once more, and
// its first clip waits for the device to open again. Prints one JSON object to stdout; times
// are in milliseconds. Exit code 0 when every clip played, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/SoundOutput.h"
#include "platform/Ticker.h"
#include "platform/UserMessages.h"
#include "sound/Kdsound_win.h"
#include "sound/Ktalk.h"
#include "sound/TalkNotify.h"

namespace movrek {
namespace {

constexpr UINT_PTR kTickTimerId = 1;
constexpr UINT_PTR kDeadlineTimerId = 2;
constexpr UINT kDeadlineMs = 60000;
constexpr int kClipsPerRound = 12;
constexpr int kClipsAfterReopen = 4;  // 1じかん, 20, 5ふん, けいか
constexpr UINT kDeviceClosed = WM_APP + 1;

double Frequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
}

double NowMs() {
    static const double frequency = Frequency();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / frequency;
}

std::string Utf8(std::u16string_view text) {
    const std::wstring w(text.begin(), text.end());
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr,
                            nullptr);
    return s;
}

// Failures are noted, not shown: a modal box would stop the measurement.
class NotedMessages : public UserMessages {
public:
    void ShowMessage(std::u16string_view text) override { shown.emplace_back(text); }
    void Beep(int, int) override {}
    bool FileExists(std::u16string_view path) override {
        const std::wstring w(path.begin(), path.end());
        const DWORD a = GetFileAttributesW(w.c_str());
        return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    }
    std::vector<std::u16string> shown;
};

// Passes every call on to the real device and notes when each clip starts.
class TimedOutput : public SoundOutput {
public:
    explicit TimedOutput(SoundOutput& device) : device_(device) {}
    bool Open() override { return device_.Open(); }
    bool CreatePrimary() override { return device_.CreatePrimary(); }
    bool LoadWave(std::u16string_view path, DeviceLossReport loss) override {
        const double t0 = NowMs();
        const bool ok = device_.LoadWave(path, loss);
        loadMs.push_back(NowMs() - t0);
        return ok;
    }
    bool SetNotify() override { return device_.SetNotify(); }
    void SetVolume(int setting) override { device_.SetVolume(setting); }
    long PlayClip() override {
        playAt.push_back(NowMs());
        return device_.PlayClip();
    }
    void StopClip() override { device_.StopClip(); }
    bool Close() override { return device_.Close(); }
    void CloseDevice() override {
        closedAt = NowMs();
        device_.CloseDevice();
        PostMessageW(window_, kDeviceClosed, 0, 0);
    }
    bool ClipSounding() const override { return device_.ClipSounding(); }
    bool DeviceGone() const override { return device_.DeviceGone(); }
    bool Reopen() override {
        const double t0 = NowMs();
        const bool ok = device_.Reopen();
        reopenMs.push_back(NowMs() - t0);
        return ok;
    }

    HWND window_ = nullptr;      // told when the device has been closed
    std::vector<double> playAt;  // when each clip was handed to PlayClip
    std::vector<double> loadMs;  // how long each LoadWave took
    std::vector<double> reopenMs;  // how long each Reopen took
    double closedAt = 0;         // when the device was closed for silence

private:
    SoundOutput& device_;
};

// The announcer's timer on the bench window, armed and disarmed by the announcer.
class WindowTicker : public Ticker {
public:
    explicit WindowTicker(HWND window) : window_(window) {}
    void Enable(int intervalMs) override {
        SetTimer(window_, kTickTimerId, static_cast<UINT>(intervalMs), nullptr);
        ++enables;
    }
    void Disable() override { KillTimer(window_, kTickTimerId); }
    int enables = 0;

private:
    HWND window_;
};

struct Bench {
    ktalk* talk = nullptr;
    int expected = 0;            // clips queued at first
    std::vector<double> endAt;   // when each TalkNotify(0) arrived
    std::vector<double> tickAt;  // when each tick ran, until the first clips have ended
    double talkAt = 0;           // when the phrase after the close was queued
};

Bench g;

LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            if (wp == kTickTimerId) {
                if (static_cast<int>(g.endAt.size()) < g.expected) g.tickAt.push_back(NowMs());
                if (g.talk) g.talk->Tick();
            } else if (wp == kDeadlineTimerId) {
                PostQuitMessage(1);
            }
            return 0;
        case kTalkNotify:
            if (wp == 0 && g.talk) {
                g.endAt.push_back(NowMs());
                g.talk->ClipEnded();
                if (static_cast<int>(g.endAt.size()) >= g.expected + kClipsAfterReopen)
                    PostQuitMessage(0);
            }
            return 1;
        case kDeviceClosed:
            if (g.talk && g.talkAt == 0 && static_cast<int>(g.endAt.size()) >= g.expected) {
                g.talkAt = NowMs();
                g.talk->TalkDuration(u"けいか", 1, 25, 0);
            }
            return 0;
        default:
            return DefWindowProcW(h, msg, wp, lp);
    }
}

void PrintList(const char* name, const std::vector<double>& values, bool last = false) {
    std::printf("\"%s\":[", name);
    for (size_t i = 0; i < values.size(); ++i) std::printf(i ? ",%.3f" : "%.3f", values[i]);
    std::printf("]%s", last ? "" : ",");
}

int Run(int rounds) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MovrekBenchClipGap";
    if (!RegisterClassExW(&wc)) return 2;
    // Never shown: it only owns the timer, receives TalkNotify and anchors DirectSound.
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"clipgap", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return 2;

    NotedMessages messages;
    {
        // Opening the device (COM, DirectSound, the primary buffer) is part of the program's
        // start-up: timed as the main window does it, device first, then the announcer.
        const double openStart = NowMs();
        kdsound device(window, messages);
        TimedOutput output(device);
        output.window_ = window;
        WindowTicker ticker(window);
        ktalk talk(output, messages, ticker);
        const double openMs = NowMs() - openStart;
        g.talk = &talk;
        g.expected = rounds * kClipsPerRound;
        SetTimer(window, kDeadlineTimerId, kDeadlineMs, nullptr);
        for (int r = 0; r < rounds; ++r) {
            talk.Talk(u"10びょう");
            talk.Talk(u"まえ");
            for (int n = 5; n >= 1; --n) talk.TalkNumber(n);
            talk.Talk(u"すたーと");
            talk.TalkDuration(u"けいか", 1, 25, 0);
        }
        MSG m;
        int quit = 1;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
        if (m.message == WM_QUIT) quit = static_cast<int>(m.wParam);
        KillTimer(window, kDeadlineTimerId);
        g.talk = nullptr;
        const size_t first = static_cast<size_t>(g.expected);

        // Gap k: from the end of clip k to the PlayClip of clip k+1. The tick wait is the part
        // until the tick that started clip k+1; the rest is loading the clip.
        std::vector<double> gaps, waits, starts;
        for (size_t k = 0; k + 1 < output.playAt.size() && k + 1 < first && k < g.endAt.size(); ++k) {
            const double end = g.endAt[k], play = output.playAt[k + 1];
            double tick = end;
            for (double t : g.tickAt)
                if (t >= end && t <= play) {
                    tick = t;
                    break;
                }
            gaps.push_back(play - end);
            waits.push_back(tick - end);
            starts.push_back(play - tick);
        }
        std::vector<double> intervals;
        for (size_t i = 1; i < g.tickAt.size(); ++i) intervals.push_back(g.tickAt[i] - g.tickAt[i - 1]);
        std::vector<double> durations;  // from PlayClip to the end's arrival, per clip
        for (size_t k = 0; k < output.playAt.size() && k < g.endAt.size() && k < first; ++k)
            durations.push_back(g.endAt[k] - output.playAt[k]);

        // After the close: how long the silence lasted before it, how long the phrase's first
        // clip took from the call (the open included), and the gaps between its other clips.
        const size_t played = output.playAt.size() < first ? output.playAt.size() : first;
        const size_t ended = g.endAt.size() < first ? g.endAt.size() : first;
        const double silenceMs = ended == first && output.closedAt > 0 ? output.closedAt - g.endAt[first - 1] : -1;
        const double firstMs = output.playAt.size() > first && g.talkAt > 0 ? output.playAt[first] - g.talkAt : -1;
        std::vector<double> laterGaps;
        for (size_t k = first; k + 1 < output.playAt.size() && k < g.endAt.size(); ++k)
            laterGaps.push_back(output.playAt[k + 1] - g.endAt[k]);

        std::printf("{\"expected\":%d,\"played\":%zu,\"ended\":%zu,\"complete\":%s,\"open_ms\":%.3f,",
                    g.expected, played, ended, quit == 0 ? "true" : "false", openMs);
        std::printf("\"idle_close_after_ms\":%.3f,\"first_clip_after_reopen_ms\":%.3f,"
                    "\"played_after_reopen\":%zu,\"ticker_enables\":%d,",
                    silenceMs, firstMs, output.playAt.size() - played, ticker.enables);
        PrintList("reopen_ms", output.reopenMs);
        PrintList("gap_after_reopen_ms", laterGaps);
        PrintList("gap_ms", gaps);
        PrintList("tick_wait_ms", waits);
        PrintList("start_ms", starts);
        PrintList("load_ms", output.loadMs);
        PrintList("clip_ms", durations);
        PrintList("tick_interval_ms", intervals);
        std::printf("\"messages\":[");
        for (size_t i = 0; i < messages.shown.size(); ++i)
            std::printf("%s\"%s\"", i ? "," : "", Utf8(messages.shown[i]).c_str());
        std::printf("]}\n");
        std::fflush(stdout);
        if (quit != 0 || static_cast<int>(g.endAt.size()) < g.expected + kClipsAfterReopen) return 1;
    }
    DestroyWindow(window);
    return messages.shown.empty() ? 0 : 1;
}

}  // namespace
}  // namespace movrek

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && !SetCurrentDirectoryW(argv[1])) {
        std::fprintf(stderr, "clipgap: cannot enter the folder\n");
        return 2;
    }
    int rounds = argc >= 3 ? _wtoi(argv[2]) : 3;
    if (rounds < 1) rounds = 1;
    if (rounds > 4) rounds = 4;  // 48 clips: within the announcer's queue of 59
    try {
        return movrek::Run(rounds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "clipgap: %s\n", e.what());
        return 2;
    }
}
