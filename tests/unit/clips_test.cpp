// The sound folder: every clip the program can ask for is there, plays in the format the clip
// loader accepts, and nothing else lies there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Utf.h"
#include "sound/ClipNames.h"
#include "sound/Ktalk.h"
#include "support/EngineFakes.h"
#include "support/SourcePath.h"

using movrek::ClipNames;
using movrek::FromUtf8;
using movrek::IsClipName;
using movrek::ToUtf8;
using movrek::test::SourcePath;

namespace {

std::optional<std::vector<unsigned char>> ReadWholeFile(const std::u16string& path) {
#ifdef _WIN32
    FILE* f = _wfopen(reinterpret_cast<const wchar_t*>(path.c_str()), L"rb");
#else
    FILE* f = std::fopen(ToUtf8(path).c_str(), "rb");
#endif
    if (!f) return std::nullopt;
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

// The base names of the .wav files in a folder.
std::set<std::u16string> WavNamesIn(const std::u16string& folder) {
#ifdef _WIN32
    const std::filesystem::path dir(reinterpret_cast<const wchar_t*>(folder.c_str()));
#else
    const std::filesystem::path dir(ToUtf8(folder));
#endif
    std::set<std::u16string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
#ifdef _WIN32
        const std::wstring wide = entry.path().filename().wstring();
        const std::u16string name(wide.begin(), wide.end());
#else
        const std::u16string name = FromUtf8(entry.path().filename().string());
#endif
        if (name.size() > 4 && name.substr(name.size() - 4) == u".wav")
            names.insert(name.substr(0, name.size() - 4));
    }
    return names;
}

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<unsigned char>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}
bool IdIs(const std::vector<unsigned char>& b, size_t at, const char* id) {
    return std::string(b.begin() + at, b.begin() + at + 4) == id;
}

// Every listed clip but the synthesised alarm sounds.
std::set<std::u16string> SpokenClipNames() {
    std::set<std::u16string> spoken;
    for (const auto& name : ClipNames())
        if (name.rfind(u"alarm", 0) != 0) spoken.insert(name);
    return spoken;
}

// Checks one clip file; returns what is wrong with it, or an empty text.
std::string WaveFault(const std::vector<unsigned char>& b) {
    if (b.size() < 12 || !IdIs(b, 0, "RIFF") || !IdIs(b, 8, "WAVE")) return "not a RIFF WAVE file";
    if (U32(b, 4) + 8ull != b.size()) return "RIFF size does not match the file";
    // The loader rejects a form whose first sub-chunk is not "fmt ".
    if (b.size() < 20 || !IdIs(b, 12, "fmt ")) return "first sub-chunk is not \"fmt \"";
    const uint32_t fmtSize = U32(b, 16);
    if (fmtSize != 16 || b.size() < 36) return "fmt chunk is not a 16-byte PCM record";
    if (U16(b, 20) != 1) return "not PCM";
    if (U16(b, 22) != 1) return "not mono";
    if (U32(b, 24) != 44100) return "not 44100 Hz";
    if (U32(b, 28) != 88200 || U16(b, 32) != 2) return "byte rate or block alignment wrong";
    if (U16(b, 34) != 16) return "not 16 bits";
    // Plain files: the data chunk follows the format at once, and nothing follows the data.
    if (b.size() < 44 || !IdIs(b, 36, "data")) return "no data chunk right after fmt";
    const uint32_t dataSize = U32(b, 40);
    if (dataSize == 0 || dataSize % 2 != 0) return "data chunk empty or odd-sized";
    if (44ull + dataSize != b.size()) return "data chunk does not end the file";
    const double seconds = dataSize / 2 / 44100.0;
    if (seconds < 0.1 || seconds > 6.0) return "implausible length " + std::to_string(seconds) + " s";
    int peak = 0;
    for (size_t at = 44; at < b.size(); at += 2) {
        const int s = int16_t(U16(b, at));
        peak = std::max(peak, s < 0 ? -s : s);
    }
    if (peak >= 32767) return "a sample reaches full scale";
    // Not silent: some clip step went wrong if the loudest sample is below -40 dBFS.
    if (peak < 328) return "silent";
    return "";
}

std::string Ms(size_t samples) { return std::to_string(samples * 1000.0 / 44100.0) + " ms"; }

// The announcer plays clips back to back, so the silence around a spoken clip is heard between
// its words: at most 5 ms before the first sound and 15 ms after the last, where a sample at
// -40 dBFS or louder is sound. Some silence stays (an onset or a decay cut off at the sound is
// heard cut) and it fades out to nothing at the file's ends (a cut through a sound clicks).
// Expects a file that WaveFault accepts.
std::string EdgeFault(const std::vector<unsigned char>& b) {
    const size_t count = (b.size() - 44) / 2;
    auto magnitude = [&](size_t i) {
        const int s = int16_t(U16(b, 44 + 2 * i));
        return s < 0 ? -s : s;
    };
    size_t first = 0;
    while (first < count && magnitude(first) < 328) ++first;
    size_t last = count - 1;
    while (last > first && magnitude(last) < 328) --last;
    const size_t lead = first, tail = count - 1 - last;
    if (lead * 1000 > 5 * 44100) return "starts after " + Ms(lead) + " of silence";
    if (tail * 1000 > 15 * 44100) return "ends with " + Ms(tail) + " of silence";
    if (lead * 1000 < 2 * 44100) return "sound within " + Ms(lead) + " of the start: its onset is cut";
    if (tail * 1000 < 5 * 44100) return "sound within " + Ms(tail) + " of the end: its decay is cut";
    const size_t edge = 11;  // a quarter of a millisecond
    for (size_t i = 0; i < edge; ++i)
        if (magnitude(i) > 8 || magnitude(count - 1 - i) > 8) return "not faded out at its ends";
    return "";
}

TEST(ClipNames, ListsEachNameOnce) {
    const auto& names = ClipNames();
    const std::set<std::u16string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    EXPECT_EQ(names.size(), 70u);
    EXPECT_TRUE(IsClipName(u"10びょう"));
    EXPECT_TRUE(IsClipName(u"Lorameru"));
    EXPECT_FALSE(IsClipName(u"60ふん"));
    EXPECT_FALSE(IsClipName(u"Alarm1"));
}

TEST(Clips, EveryClipIsAPlainMonoPcmFileBelowFullScale) {
    for (const auto& name : ClipNames()) {
        SCOPED_TRACE(ToUtf8(name));
        const auto bytes = ReadWholeFile(SourcePath(u"sound/" + name + u".wav"));
        ASSERT_TRUE(bytes.has_value()) << "missing clip";
        EXPECT_EQ(WaveFault(*bytes), "");
    }
}

TEST(Clips, SpokenClipsJoinWithoutHoles) {
    for (const auto& name : SpokenClipNames()) {
        SCOPED_TRACE(ToUtf8(name));
        const auto bytes = ReadWholeFile(SourcePath(u"sound/" + name + u".wav"));
        ASSERT_TRUE(bytes.has_value()) << "missing clip";
        ASSERT_EQ(WaveFault(*bytes), "");
        EXPECT_EQ(EdgeFault(*bytes), "");
    }
}

TEST(Clips, SoundFolderHoldsExactlyTheListedClips) {
    const auto& names = ClipNames();
    EXPECT_EQ(WavNamesIn(SourcePath(u"sound")), std::set<std::u16string>(names.begin(), names.end()));
}

// The generator's readings table speaks every clip of the list except the synthesised alarms.
TEST(Clips, ReadingsTableCoversTheSpokenClips) {
    const auto bytes = ReadWholeFile(SourcePath(u"voice/readings.tsv"));
    ASSERT_TRUE(bytes.has_value());
    const std::u16string text = FromUtf8(std::string(bytes->begin(), bytes->end()));
    std::set<std::u16string> table;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        const std::u16string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == u'#') continue;
        const size_t tab = line.find(u'\t');
        ASSERT_NE(tab, std::u16string::npos) << ToUtf8(line);
        EXPECT_TRUE(table.insert(line.substr(0, tab)).second) << "twice: " << ToUtf8(line);
    }
    EXPECT_EQ(table, SpokenClipNames());
}

// Plays everything the announcer can be asked to say and records which files it loads.
class LoadRecorder : public movrek::SoundOutput, public movrek::UserMessages {
public:
    bool Open() override { return true; }
    bool CreatePrimary() override { return true; }
    bool LoadWave(std::u16string_view path, movrek::DeviceLossReport) override {
        loaded.insert(std::u16string(path));
        return true;
    }
    bool SetNotify() override { return true; }
    void SetVolume(int) override {}
    long PlayClip() override { return 0; }
    void StopClip() override {}
    bool Close() override { return true; }
    void CloseDevice() override {}
    bool ClipSounding() const override { return false; }
    bool DeviceGone() const override { return false; }
    bool Reopen() override { return true; }
    void ShowMessage(std::u16string_view text) override { messages.push_back(ToUtf8(text)); }
    void Beep(int, int) override {}
    bool FileExists(std::u16string_view) override { return true; }

    std::set<std::u16string> loaded;
    std::vector<std::string> messages;
};

TEST(Clips, EverythingTheAnnouncerComposesIsAListedClip) {
    LoadRecorder recorder;
    movrek::test::FakeTicker ticker;
    movrek::ktalk talk(recorder, recorder, ticker);
    auto drain = [&] {
        for (int guard = 0; talk.Pending() && guard < 100; ++guard) {
            talk.ClipEnded();
            talk.Tick();
        }
    };
    for (int h = 0; h <= 24; ++h) {
        for (int m = 0; m < 60; ++m) {
            talk.TalkDuration(u"けいか", h, m, m);
            drain();
            talk.TalkClock(u"じかん", u"けいか", h, m, m);
            drain();
        }
    }
    for (int n = 1; n <= 5; ++n) {
        talk.TalkNumber(n);
        drain();
    }
    for (const char16_t* phrase : {u"10びょう", u"まえ", u"すたーと", u"みぎ", u"ひだり", u"おしまい",
                                   u"おつかれさまでした", u"じかんです", u"きどうしました",
                                   u"alarm1", u"alarm2", u"alarm3", u"alarm4", u"Lorameru"}) {
        talk.Talk(phrase);
        drain();
    }
    EXPECT_TRUE(recorder.messages.empty());
    std::set<std::u16string> expected;
    for (const auto& name : ClipNames()) expected.insert(movrek::ktalk::ClipPath(name));
    // Every listed clip is used, and nothing is asked for that is not listed.
    EXPECT_EQ(recorder.loaded, expected);
}

}  // namespace
