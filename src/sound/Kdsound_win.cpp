#include "sound/Kdsound_win.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "platform/WinText_win.h"
#include "sound/TalkNotify.h"
#include "sound/Volume.h"

namespace movrek {
namespace {

[[noreturn]] void ThrowLastError(const char* what) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

std::array<KernelHandle, kPlaybackEventCount> CreatePlaybackEvents() {
    std::array<KernelHandle, kPlaybackEventCount> events;
    for (KernelHandle& e : events) {
        e = KernelHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));  // auto-reset, unset
        if (!e) ThrowLastError("CreateEventW");
    }
    return events;
}

EventHandles RawHandles(const std::array<KernelHandle, kPlaybackEventCount>& events) {
    EventHandles raw{};
    for (int i = 0; i < kPlaybackEventCount; ++i) raw[i] = events[i].Get();
    return raw;
}

// ---------------------------------------------------------------- RIFF reading

constexpr FOURCC kRiffId = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC kWaveType = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmtId = mmioFOURCC('f', 'm', 't', ' ');
constexpr DWORD kMinFormatRecord = sizeof(WAVEFORMATEX);  // 18: PCM fields plus cbSize

// A chunk as found in the file: its id, declared size and where its data begins.
struct Chunk {
    FOURCC id = 0;
    DWORD size = 0;
    std::int64_t dataOffset = 0;
    std::int64_t End() const { return dataOffset + size + (size & 1); }  // with the fill byte
};

// Chunk headers are read with mmioRead/mmioSeek rather than mmioDescend/mmioAscend: those
// add the chunk size to the position in 32 bits, so a crafted size of 0xFFFFFFF8 sends
// Wine's search for the RIFF chunk back to the same chunk forever. Here positions are
// 64-bit and a chunk that ends beyond what the reader can reach ends the walk.
bool ReadChunkHeader(HMMIO h, Chunk& chunk) {
    const LONG at = mmioSeek(h, 0, SEEK_CUR);
    if (at < 0) return false;
    DWORD header[2];
    if (mmioRead(h, reinterpret_cast<HPSTR>(header), sizeof header) != LONG(sizeof header))
        return false;
    chunk.id = header[0];
    chunk.size = header[1];
    chunk.dataOffset = std::int64_t(at) + 8;
    return true;
}

// Moves to the end of the chunk's data and fill byte; false when that lies where the reader
// cannot go.
bool SkipChunk(HMMIO h, const Chunk& chunk) {
    const std::int64_t end = chunk.End();
    if (end > LONG_MAX) return false;
    return mmioSeek(h, static_cast<LONG>(end), SEEK_SET) == static_cast<LONG>(end);
}

// Finds the first chunk with the given id among those from the current position on,
// stopping at limit (the end of the enclosing chunk) or at the end of the file.
bool FindChunk(HMMIO h, FOURCC id, std::int64_t limit, Chunk& found) {
    for (;;) {
        const LONG at = mmioSeek(h, 0, SEEK_CUR);
        if (at < 0 || at >= limit) return false;
        if (!ReadChunkHeader(h, found)) return false;
        if (found.id == id) return true;
        if (!SkipChunk(h, found)) return false;
    }
}

// Opens the clip by its UTF-16 name and hands the handle to the RIFF reader: mmioOpenW
// itself narrows the name to the ANSI code page (on Wine at least), which loses Japanese
// names on a system whose code page is not 932.
HMMIO OpenForReading(std::u16string_view path, KernelHandle& file) {
    const std::wstring name = Wide(path);
    file = KernelHandle(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    MMIOINFO info{};
    info.fccIOProc = FOURCC_DOS;
    info.adwInfo[0] = static_cast<DWORD>(HandleToULong(file.Get()));
    return mmioOpenW(nullptr, &info, MMIO_READ | MMIO_ALLOCBUF);
}

}  // namespace

// ---------------------------------------------------------------- kdsnotify

kdsnotify::kdsnotify(HWND target, const EventHandles& events)
    : target_(target), events_(events), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!stop_) ThrowLastError("CreateEventW");
    thread_ = KernelHandle(CreateThread(nullptr, 0, &kdsnotify::ThreadMain, this, 0, nullptr));
    if (!thread_) ThrowLastError("CreateThread");
}

kdsnotify::~kdsnotify() {
    SetEvent(stop_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
}

DWORD WINAPI kdsnotify::ThreadMain(void* self) {
    static_cast<kdsnotify*>(self)->Execute();
    return 0;
}

void kdsnotify::Execute() noexcept {
    // The stop event comes last: when a playback event and the stop are both set, the
    // wait reports the lower index, so a clip's end is still posted.
    const HANDLE handles[kPlaybackEventCount + 1] = {events_[0], events_[1], events_[2],
                                                     stop_.Get()};
    for (;;) {
        const DWORD r = WaitForMultipleObjects(kPlaybackEventCount + 1, handles, FALSE, INFINITE);
        if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + kPlaybackEventCount) {
            PostMessageW(target_, kTalkNotify, static_cast<WPARAM>(r - WAIT_OBJECT_0), 0);
            continue;
        }
        // The stop event, or a wait that failed: a failed wait would fail again at once.
        return;
    }
}

// ---------------------------------------------------------------- kdsound

kdsound::kdsound(HWND owner, UserMessages& messages)
    : owner_(owner),
      messages_(messages),
      PlaybackEvents(CreatePlaybackEvents()),
      notifier_(owner, RawHandles(PlaybackEvents)) {}

kdsound::~kdsound() {
    if (comInits_ > 0 || device_ || primary_ || clip_ || clipNotify_) Close();
}

bool kdsound::Fail(const char16_t* text) {
    messages_.ShowMessage(text);
    return false;
}

bool kdsound::Open() {
    if (SUCCEEDED(CoInitialize(nullptr))) ++comInits_;
    return CreateDevice(false);
}

bool kdsound::CreatePrimary() { return FormatPrimary(false); }

bool kdsound::CreateDevice(bool quiet) {
    if (FAILED(DirectSoundCreate8(nullptr, device_.Put(), nullptr))) {
        device_.Reset();
        return FailUnless(quiet, u"サウンドオブジェクト作成失敗");
    }
    gone_ = false;
    if (FAILED(device_->SetCooperativeLevel(owner_, DSSCL_EXCLUSIVE)))
        return FailUnless(quiet, u"強調レベル設定失敗");
    return true;
}

bool kdsound::FormatPrimary(bool quiet) {
    if (!device_) return FailUnless(quiet, u"プライマリサウンドバッファ作成失敗");
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(device_->CreateSoundBuffer(&desc, primary_.Put(), nullptr))) {
        primary_.Reset();
        return FailUnless(quiet, u"プライマリサウンドバッファ作成失敗");
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 176400;
    if (FAILED(primary_->SetFormat(&format)))
        return FailUnless(quiet, u"プライマリバッファのステータス失敗");
    return true;
}

bool kdsound::Reopen() {
    // The component library stays begun: only DirectSound's own objects are made anew, so
    // whatever else on this thread uses the library is left alone.
    ReleaseInterfaces();
    if (comInits_ == 0 && SUCCEEDED(CoInitialize(nullptr))) ++comInits_;
    CreateDevice(true);
    FormatPrimary(true);
    return static_cast<bool>(device_);
}

bool kdsound::MeansDeviceGone(HRESULT hr) {
    // Since Vista DirectSound runs over the audio engine and passes some of its results on:
    // an endpoint that was unplugged or disabled, or an audio service that is not (yet)
    // running. A lost buffer is only ever mended by making a new one, which a reopen does.
    // Out of memory is left out: a clip too large for memory would reopen for nothing.
    switch (static_cast<unsigned long>(hr)) {
        case static_cast<unsigned long>(DSERR_NODRIVER):
        case static_cast<unsigned long>(DSERR_BUFFERLOST):
        case 0x88890004UL:  // AUDCLNT_E_DEVICE_INVALIDATED
        case 0x88890010UL:  // AUDCLNT_E_SERVICE_NOT_RUNNING
            return true;
        default:
            return false;
    }
}

bool kdsound::LoadWave(std::u16string_view path, DeviceLossReport loss) {
    KernelHandle handle;
    const MmioOverFile file(OpenForReading(path, handle));
    if (!file) return Fail(u"WAVファイルロードエラー");
    const HMMIO h = file.Get();

    Chunk riff;
    if (!FindChunk(h, kRiffId, INT64_MAX, riff)) return Fail(u"WAVEチャンクチェックエラー");
    FOURCC formType = 0;
    if (mmioRead(h, reinterpret_cast<HPSTR>(&formType), sizeof formType) != LONG(sizeof formType) ||
        formType != kWaveType)
        return Fail(u"WAVEチャンクチェックエラー");
    const std::int64_t riffEnd = riff.dataOffset + riff.size;

    Chunk fmt;
    if (mmioSeek(h, 0, SEEK_CUR) >= riffEnd || !ReadChunkHeader(h, fmt) || fmt.id != kFmtId)
        return Fail(u"fmt チャンクチェックエラー");

    // One read can carry at most LONG_MAX bytes; a larger record cannot be held.
    if (fmt.size > DWORD(LONG_MAX)) return Fail(u"メモリ確保エラー");
    std::vector<BYTE> format;
    try {
        format.assign(fmt.size > kMinFormatRecord ? fmt.size : kMinFormatRecord, 0);
    } catch (const std::bad_alloc&) {
        return Fail(u"メモリ確保エラー");
    }
    // A short read is accepted: the rest of the record stays zero.
    if (mmioRead(h, reinterpret_cast<HPSTR>(format.data()), static_cast<LONG>(fmt.size)) < 0)
        return Fail(u"WAVEフォーマットロードエラー");
    // DirectSound copies as many extra bytes as cbSize announces; a chunk that announces more
    // than it holds gets them as zeros instead of the heap beyond the record.
    WORD extra = 0;
    std::memcpy(&extra, format.data() + offsetof(WAVEFORMATEX, cbSize), sizeof extra);
    if (format.size() < kMinFormatRecord + extra) {
        try {
            format.resize(kMinFormatRecord + extra, 0);
        } catch (const std::bad_alloc&) {
            return Fail(u"メモリ確保エラー");
        }
    }
    Chunk data;
    if (!SkipChunk(h, fmt) || !FindChunk(h, mmioStringToFOURCCA("data", 0), riffEnd, data))
        return Fail(u"dataチャンクが見つからない");

    clipNotify_.Reset();
    clip_.Reset();
    if (!device_) return Fail(u"サウンドバッファの作成エラー");
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY |
                   DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_LOCDEFER;
    desc.dwBufferBytes = data.size;
    desc.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(format.data());
    desc.guid3DAlgorithm = GUID_NULL;
    const HRESULT created = device_->CreateSoundBuffer(&desc, clip_.Put(), nullptr);
    if (FAILED(created)) {
        clip_.Reset();
        if (MeansDeviceGone(created)) {
            gone_ = true;
            return FailUnless(loss == DeviceLossReport::Hold, u"サウンドバッファの作成エラー");
        }
        return Fail(u"サウンドバッファの作成エラー");
    }

    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD size1 = 0;
    DWORD size2 = 0;
    if (FAILED(clip_->Lock(0, data.size, &part1, &size1, &part2, &size2, 0)))
        return Fail(u"ロック失敗");
    // A file that holds less than the chunk declares leaves the rest of the buffer silent.
    if (part1 && size1) mmioRead(h, static_cast<HPSTR>(part1), static_cast<LONG>(size1));
    if (part2 && size2) mmioRead(h, static_cast<HPSTR>(part2), static_cast<LONG>(size2));
    clip_->Unlock(part1, size1, part2, size2);
    return true;
}

bool kdsound::SetNotify() {
    if (!clip_) return false;
    if (FAILED(clip_->QueryInterface(IID_IDirectSoundNotify,
                                     reinterpret_cast<void**>(clipNotify_.Put())))) {
        clipNotify_.Reset();
        return false;
    }
    DSBPOSITIONNOTIFY position{};
    position.dwOffset = DSBPN_OFFSETSTOP;
    position.hEventNotify = PlaybackEvents[0].Get();
    return SUCCEEDED(clipNotify_->SetNotificationPositions(1, &position));
}

void kdsound::SetVolume(int setting) {
    if (!clip_ || clip_->SetVolume(VolumeToHundredthsDb(setting)) != DS_OK)
        Fail(u"DirectSound SetVolume error");
}

long kdsound::PlayClip() {
    if (!clip_) return DSERR_INVALIDCALL;
    const HRESULT hr = clip_->Play(0, 0, 0);
    if (MeansDeviceGone(hr)) gone_ = true;
    return hr;
}

void kdsound::StopClip() {
    if (clip_) clip_->Stop();
}

bool kdsound::ClipSounding() const {
    DWORD status = 0;
    return clip_ && SUCCEEDED(clip_->GetStatus(&status)) && (status & DSBSTATUS_PLAYING) != 0;
}

void kdsound::ReleaseInterfaces() {
    clipNotify_.Reset();
    clip_.Reset();
    primary_.Reset();
    device_.Reset();
}

bool kdsound::Close() {
    ReleaseInterfaces();
    // Only calls that began the library are ended, so a Close without Open leaves the
    // thread's library count alone.
    for (; comInits_ > 0; --comInits_) CoUninitialize();
    return true;
}

}  // namespace movrek
