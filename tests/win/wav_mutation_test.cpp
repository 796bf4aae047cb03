// The clip loader against mutated WAV files: real clips from the sound folder and crafted
// ones, changed by a deterministic mutator (bit flips, interesting bytes, chunk sizes, ids and
// format fields, truncation, duplicated, swapped and inserted chunks). Each mutant goes
// through LoadWave and, when it loads, SetNotify, SetVolume, PlayClip and StopClip. None may
// crash or hang; a refusal shows exactly one of the loader's own messages; a loaded clip
// plays without any message.
//
// WAV_MUTANTS (default 300) sets the number of mutants and WAV_SEED the mutator's seed;
// `make wavfuzz WAV_MUTANTS=20000` runs a long series and reports the counts.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Utf.h"
#include "sound/Kdsound_win.h"
#include "support/Files_win.h"
#include "support/OwnerWindow_win.h"
#include "support/RecordingMessages.h"
#include "support/Riff.h"
#include "support/SourcePath.h"

namespace movrek {
namespace {

using namespace test;

const std::array<std::u16string_view, 8> kLoaderMessages{
    u"WAVファイルロードエラー", u"WAVEチャンクチェックエラー", u"fmt チャンクチェックエラー",
    u"メモリ確保エラー",         u"WAVEフォーマットロードエラー", u"dataチャンクが見つからない",
    u"サウンドバッファの作成エラー", u"ロック失敗"};

// ---------------------------------------------------------------- files

std::string Tone(int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char((i / 40) % 2 ? 0x40 : 0xC0);
    return s;
}

// Layouts the loader meets or must refuse, as starting points besides the real clips.
std::vector<std::string> CraftedSeeds() {
    const std::string pcm = Format(1, 1, 44100, 16);
    std::string extensible = Format(0xFFFE, 2, 44100, 16) + Le16(22) + Le16(16) + Le32(3) +
                             std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    std::string longData = "WAVE" + Chunk("fmt ", pcm) + "data" + Le32(50000) + Tone(300);
    return {
        Riff(Chunk("fmt ", pcm) + Chunk("data", Tone(400))),
        Riff(Chunk("fmt ", pcm) + Chunk("fact", Le32(200)) + Chunk("LIST", "INFOISFT\x03\0\0\0ab") +
             Chunk("data", Tone(400))),
        Riff(Chunk("fmt ", Format(1, 2, 22050, 8) + Le16(0)) + Chunk("junk", "abc") + Chunk("data", Tone(301))),
        Riff(Chunk("fmt ", extensible) + Chunk("data", Tone(800))),
        Riff(Chunk("fmt ", Format(3, 1, 48000, 32) + Le16(0)) + Chunk("data", Tone(800))),
        "RIFF" + Le32(std::uint32_t(longData.size() + 50000 - 300)) + longData,
        Chunk("JUNK", "xy") + Riff(Chunk("fmt ", pcm) + Chunk("data", Tone(100))),
    };
}

std::u16string TempFile(const char16_t* name) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    return U(base) + u"wav_mutation_" + U(std::to_wstring(GetCurrentProcessId())) + u"_" + name;
}

unsigned long long EnvNumber(const wchar_t* name, unsigned long long fallback) {
    wchar_t value[64];
    const DWORD n = GetEnvironmentVariableW(name, value, 64);
    if (n == 0 || n >= 64) return fallback;
    return std::wcstoull(value, nullptr, 0);
}

// ---------------------------------------------------------------- the mutator

class XorShift {
public:
    explicit XorShift(std::uint64_t seed) : s_(seed ? seed : 1) {}
    std::uint64_t Next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return s_;
    }
    std::uint64_t Below(std::uint64_t n) { return n ? Next() % n : 0; }

private:
    std::uint64_t s_;
};

// A sub-chunk of the RIFF chunk as the bytes lie: where its header starts and where it ends
// (clipped to the file).
struct Span {
    size_t at;
    size_t end;
};

std::vector<Span> SubChunks(const std::string& b) {
    std::vector<Span> spans;
    for (size_t at = 12; at + 8 <= b.size() && spans.size() < 64;) {
        std::uint32_t size = 0;
        std::memcpy(&size, b.data() + at + 4, 4);
        const std::uint64_t end = std::uint64_t(at) + 8 + size + (size & 1);
        spans.push_back({at, size_t(std::min<std::uint64_t>(end, b.size()))});
        at = spans.back().end;
    }
    return spans;
}

void Put32(std::string& b, size_t at, std::uint32_t v) {
    if (at + 4 <= b.size()) b.replace(at, 4, Le32(v));
}
void Put16(std::string& b, size_t at, std::uint16_t v) {
    if (at + 2 <= b.size()) b.replace(at, 2, Le16(v));
}

class Mutator {
public:
    explicit Mutator(std::uint64_t seed) : r_(seed) {}

    std::string Mutate(std::string b) {
        const int ops = 1 + int(r_.Below(3));
        for (int i = 0; i < ops; ++i) MutateOnce(b);
        return b;
    }
    XorShift& Random() { return r_; }

private:
    // Most of what matters lies in the headers: half the offsets fall in the first 64 bytes.
    size_t Offset(const std::string& b) {
        if (b.empty()) return 0;
        return r_.Below(2) ? size_t(r_.Below(std::min<size_t>(64, b.size()))) : size_t(r_.Below(b.size()));
    }
    std::uint32_t InterestingSize(const std::string& b, std::uint32_t current) {
        const std::int64_t k = std::int64_t(r_.Below(17)) - 8;
        switch (r_.Below(10)) {
        case 0: return 0;
        case 1: return 1;
        case 2: return 0x7FFFFFFF;
        case 3: return 0xFFFFFFFF;
        case 4: return 0x80000000;
        case 5: return 0xFFFFFFF8;
        case 6: return std::uint32_t(std::int64_t(b.size()) + k);
        case 7: return std::uint32_t(std::int64_t(b.size()) - 8 + k);
        case 8: return std::uint32_t(std::int64_t(current) + k);
        default: return std::uint32_t(r_.Next());
        }
    }
    const char* SomeId() {
        static const char* const ids[] = {"RIFF", "WAVE", "fmt ", "data", "LIST", "fact", "junk", "JUNK", "\0\0\0\0"};
        return ids[r_.Below(std::size(ids))];
    }
    // A place between chunks (or the end of the file) to insert at.
    size_t Boundary(const std::string& b) {
        const std::vector<Span> spans = SubChunks(b);
        if (spans.empty() || r_.Below(5) == 0) return std::min<size_t>(b.size(), 12);
        const Span& s = spans[r_.Below(spans.size())];
        return r_.Below(2) ? s.at : s.end;
    }
    void FixRiffSizeSometimes(std::string& b) {
        if (r_.Below(2) && b.size() >= 8) Put32(b, 4, std::uint32_t(b.size() - 8));
    }

    void MutateOnce(std::string& b) {
        switch (r_.Below(9)) {
        case 0:  // bit flip
            if (!b.empty()) b[Offset(b)] ^= char(1u << r_.Below(8));
            break;
        case 1: {  // interesting byte
            static const unsigned char values[] = {0x00, 0xFF, 0x7F, 0x80};
            if (!b.empty()) b[Offset(b)] = char(values[r_.Below(4)]);
            break;
        }
        case 2: {  // a chunk size field
            std::vector<size_t> fields{4};
            for (const Span& s : SubChunks(b)) fields.push_back(s.at + 4);
            const size_t at = fields[r_.Below(fields.size())];
            std::uint32_t current = 0;
            if (at + 4 <= b.size()) std::memcpy(&current, b.data() + at, 4);
            Put32(b, at, InterestingSize(b, current));
            break;
        }
        case 3:  // truncation
            b.resize(Offset(b));
            break;
        case 4: {  // a chunk duplicated elsewhere
            const std::vector<Span> spans = SubChunks(b);
            if (spans.empty() || b.size() > (4u << 20)) break;
            const Span& s = spans[r_.Below(spans.size())];
            const std::string copy = b.substr(s.at, s.end - s.at);
            b.insert(Boundary(b), copy);
            FixRiffSizeSometimes(b);
            break;
        }
        case 5: {  // two chunks swapped
            const std::vector<Span> spans = SubChunks(b);
            if (spans.size() < 2) break;
            size_t i = r_.Below(spans.size()), j = r_.Below(spans.size());
            if (i == j) j = (i + 1) % spans.size();
            if (i > j) std::swap(i, j);
            const std::string first = b.substr(spans[i].at, spans[i].end - spans[i].at);
            const std::string second = b.substr(spans[j].at, spans[j].end - spans[j].at);
            const std::string between = b.substr(spans[i].end, spans[j].at - spans[i].end);
            b.replace(spans[i].at, spans[j].end - spans[i].at, second + between + first);
            break;
        }
        case 6: {  // a LIST, junk or other chunk inserted
            std::string body;
            const size_t n = r_.Below(12);
            for (size_t k = 0; k < n; ++k) body += char(r_.Next());
            std::string c = std::string(SomeId(), 4) + Le32(std::uint32_t(n)) + body;
            if (n % 2 && r_.Below(3)) c += '\0';  // sometimes without its fill byte
            b.insert(Boundary(b), c);
            FixRiffSizeSometimes(b);
            break;
        }
        case 7: {  // a chunk id or the form type replaced
            std::vector<size_t> ids{0, 8};
            for (const Span& s : SubChunks(b)) ids.push_back(s.at);
            const size_t at = ids[r_.Below(ids.size())];
            if (at + 4 <= b.size()) b.replace(at, 4, std::string(SomeId(), 4));
            break;
        }
        default: {  // a field of the format record
            size_t fmt = std::string::npos;
            for (const Span& s : SubChunks(b))
                if (b.compare(s.at, 4, "fmt ") == 0) {
                    fmt = s.at + 8;
                    break;
                }
            if (fmt == std::string::npos) break;
            switch (r_.Below(7)) {
            case 0: {
                static const std::uint16_t tags[] = {0, 1, 2, 3, 0x55, 0xFFFE, 0xFFFF};
                Put16(b, fmt, tags[r_.Below(std::size(tags))]);
                break;
            }
            case 1: {
                static const std::uint16_t channels[] = {0, 1, 2, 6, 8, 0xFFFF};
                Put16(b, fmt + 2, channels[r_.Below(std::size(channels))]);
                break;
            }
            case 2: {
                static const std::uint32_t rates[] = {0, 1, 8000, 44100, 192000, 0x7FFFFFFF, 0xFFFFFFFF};
                Put32(b, fmt + 4, rates[r_.Below(std::size(rates))]);
                break;
            }
            case 3: Put32(b, fmt + 8, std::uint32_t(r_.Next())); break;
            case 4: Put16(b, fmt + 12, std::uint16_t(r_.Below(2) ? r_.Below(9) : r_.Next())); break;
            case 5: {
                static const std::uint16_t bits[] = {0, 1, 7, 8, 12, 16, 24, 32, 64, 0xFFFF};
                Put16(b, fmt + 14, bits[r_.Below(std::size(bits))]);
                break;
            }
            default: {
                static const std::uint16_t extra[] = {0, 2, 22, 0x7FFF, 0xFFFF};
                Put16(b, fmt + 16, extra[r_.Below(std::size(extra))]);
                break;
            }
            }
            break;
        }
        }
    }

    XorShift r_;
};

// ---------------------------------------------------------------- the run

// Keeps the mutant in hand and saves it when it stalls the loader (no mutant finishes within
// the limit) or crashes the process; either way the process ends with the mutant's name
// printed, rather than waiting for a debugger or the test's time limit.
class HangWatch {
public:
    explicit HangWatch(std::chrono::seconds limit) : limit_(limit), thread_([this] { Watch(); }) {
        active_ = this;
        previousFilter_ = SetUnhandledExceptionFilter(&HangWatch::OnCrash);
    }
    ~HangWatch() {
        SetUnhandledExceptionFilter(previousFilter_);
        active_ = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void Begin(size_t index, const std::string& bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        index_ = index;
        bytes_ = bytes;
        ++progress_;
        wake_.notify_all();
    }

private:
    void SaveAndEnd(const wchar_t* what) {
        const std::wstring path = L"wav-mutant-" + std::wstring(what) + L"-" + std::to_wstring(index_) + L".wav";
        TryWriteBytes(U(path), bytes_);
        std::fprintf(stderr, "mutant %zu: %ls; saved as %ls\n", index_, what, path.c_str());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    static LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
        std::fprintf(stderr, "exception %#lx\n", static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
        if (active_) active_->SaveAndEnd(L"crash");
        return EXCEPTION_CONTINUE_SEARCH;
    }
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            const std::uint64_t seen = progress_;
            if (wake_.wait_for(lock, limit_, [&] { return done_ || progress_ != seen; })) continue;
            SaveAndEnd(L"hang");
        }
    }

    static inline HangWatch* active_ = nullptr;
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter_ = nullptr;

    const std::chrono::seconds limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::uint64_t progress_ = 0;
    size_t index_ = 0;
    std::string bytes_;
    std::thread thread_;
};

class WavMutation : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = std::make_unique<kdsound>(window_.Get(), messages_);
        ASSERT_TRUE(device_->Open());
        ASSERT_TRUE(device_->CreatePrimary());
    }
    void TearDown() override {
        device_->Close();
        DeleteFileW(W(path_));
    }

    struct Outcome {
        bool loaded = false;
        std::vector<std::u16string> messages;
        long played = 0;
        bool notified = false;
    };

    Outcome Run(const std::string& bytes) {
        Outcome o;
        messages_.shown.clear();
        if (!TryWriteBytes(path_, bytes)) {
            ADD_FAILURE() << "cannot write the mutant";
            return o;
        }
        o.loaded = device_->LoadWave(path_, DeviceLossReport::Show);
        if (o.loaded) {
            o.notified = device_->SetNotify();
            device_->SetVolume(int(volume_.Below(101)));
            o.played = device_->PlayClip();
            device_->StopClip();
        }
        o.messages = messages_.shown;
        window_.Drain();
        return o;
    }

    OwnerWindow window_;
    RecordingMessages messages_;
    std::unique_ptr<kdsound> device_;
    const std::u16string path_ = TempFile(u"m.wav");
    XorShift volume_{12345};
};

bool IsLoaderMessage(std::u16string_view text) {
    return std::find(kLoaderMessages.begin(), kLoaderMessages.end(), text) != kLoaderMessages.end();
}

std::string Utf8(std::u16string_view text) { return ToUtf8(text); }

TEST_F(WavMutation, MutatedClipsAreRefusedWithTheirMessageOrPlay) {
    std::vector<std::string> seeds = CraftedSeeds();
    for (const char16_t* name : {u"sound/2.wav", u"sound/ふん.wav", u"sound/alarm4.wav"}) {
        std::string clip = ReadBytes(SourcePath(name));
        ASSERT_GT(clip.size(), 44u) << "missing clip " << Utf8(name);
        seeds.push_back(std::move(clip));
    }
    // Every seed loads as it is; the mutants start from them.
    for (size_t i = 0; i < seeds.size(); ++i) EXPECT_TRUE(Run(seeds[i]).loaded) << "seed " << i;

    const size_t mutants = size_t(EnvNumber(L"WAV_MUTANTS", 300));
    const std::uint64_t seed = EnvNumber(L"WAV_SEED", 0x6D6F7672656BULL);
    Mutator mutator(seed);
    HangWatch watch(std::chrono::seconds(60));
    size_t loaded = 0, played = 0;
    std::map<std::u16string, size_t> refusals;
    size_t reported = 0;
    const auto started = std::chrono::steady_clock::now();
    for (size_t i = 0; i < mutants; ++i) {
        const std::string& from = seeds[mutator.Random().Below(seeds.size())];
        const std::string mutant = mutator.Mutate(from);
        watch.Begin(i, mutant);
        const Outcome o = Run(mutant);
        bool bad = false;
        if (o.loaded) {
            ++loaded;
            played += o.played >= 0;
            bad = !o.messages.empty() || !o.notified || o.played < 0;
        } else {
            bad = o.messages.size() != 1 || !IsLoaderMessage(o.messages[0]);
            if (!o.messages.empty()) ++refusals[o.messages[0]];
        }
        if (bad && reported++ < 10) {
            const std::wstring keep = L"wav-mutant-" + std::to_wstring(i) + L".wav";
            TryWriteBytes(U(keep), mutant);
            std::string shown;
            for (const auto& m : o.messages) shown += " [" + Utf8(m) + "]";
            ADD_FAILURE() << "mutant " << i << " (kept as wav-mutant-" << i << ".wav): loaded " << o.loaded
                          << " notify " << o.notified << " play " << std::hex << o.played << std::dec
                          << " messages" << shown;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("wav mutants: %zu in %.1f s (seed %#llx): %zu loaded (%zu played), %zu refused\n", mutants,
                seconds, static_cast<unsigned long long>(seed), loaded, played, mutants - loaded);
    for (const auto& [text, count] : refusals) std::printf("  %6zu  %s\n", count, Utf8(text).c_str());
    std::fflush(stdout);
    EXPECT_EQ(reported, 0u);
    // A mutator that only ever produced refusals, or only loads, would test little.
    EXPECT_GT(loaded, mutants / 10);
    EXPECT_GT(mutants - loaded, mutants / 10);
}

// Found by the mutation run: the platform copies as many extra format bytes as the record's
// extra-size field announces, so a record shorter than that was read past its end (under
// Wine a page fault that ended the program).
TEST_F(WavMutation, ExtraFormatBytesAnnouncedButNotInTheFileAreNotReadPastTheRecord) {
    HangWatch watch(std::chrono::seconds(60));
    size_t index = 0;
    for (std::uint16_t tag : {std::uint16_t(3), std::uint16_t(0x55), std::uint16_t(0xFFFE), std::uint16_t(1)}) {
        for (std::uint16_t extra : {std::uint16_t(0xFFFF), std::uint16_t(0x8000), std::uint16_t(22)}) {
            // An 18-byte fmt chunk, and one that ends two bytes into its extra bytes.
            for (const std::string& tail : {std::string(), std::string("\x01\x02", 2)}) {
                const std::string fmt = Format(tag, 1, 44100, tag == 3 ? 32 : 16) + Le16(extra) + tail;
                const std::string wave = Riff(Chunk("fmt ", fmt) + Chunk("data", Tone(800)));
                watch.Begin(index++, wave);
                const Outcome o = Run(wave);
                if (o.loaded) {
                    EXPECT_TRUE(o.messages.empty());
                } else {
                    ASSERT_EQ(o.messages.size(), 1u);
                    EXPECT_EQ(o.messages[0], u"サウンドバッファの作成エラー") << "tag " << tag << " extra " << extra;
                }
            }
        }
    }
    // The PCM and float clips still load.
    EXPECT_TRUE(Run(Riff(Chunk("fmt ", Format(1, 1, 44100, 16) + Le16(0xFFFF)) + Chunk("data", Tone(800)))).loaded);
    EXPECT_TRUE(Run(Riff(Chunk("fmt ", Format(3, 1, 44100, 32) + Le16(0xFFFF)) + Chunk("data", Tone(800)))).loaded);
}

}  // namespace
}  // namespace movrek
