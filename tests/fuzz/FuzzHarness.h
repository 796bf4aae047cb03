// What the fuzz targets and their regression test do with one input: the bytes become a file
// that the key-value document and the settings record read, and the invariants below are
// checked. Each run returns its findings (empty when every invariant held), so the fuzz
// targets can abort on them and the regression test can report them per input file. The files
// are real ones, unless a fuzz target links the in-memory file layer and puts its input there.
//
// Shared by tests/fuzz/fuzz_*.cpp (native, libFuzzer) and tests/unit/fuzz_regression_test.cpp
// (native and under Wine), so it stays portable.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "app/S01.h"
#include "app/Talarm.h"
#include "platform/ChoiceList.h"
#include "platform/TextFile.h"
#include "platform/UserMessages.h"
#include "platform/Utf.h"
#include "storage/Kini.h"
#include "storage/Kvar.h"
#include "support/AlarmRows.h"
#include "support/FakePlacement.h"
#include "support/Files.h"
#include "support/RecordingMessages.h"

namespace movrek::fuzz {

using Findings = std::vector<std::string>;
namespace fs = std::filesystem;
using test::WriteBytes;

// How a harness puts its input file where the file layer reads it.
using PutFile = void (*)(const fs::path& path, std::string_view bytes);

// what: the finding's text, or a function making it, so that a check that holds builds none.
template <class What>
inline void Expect(Findings& findings, bool held, const What& what) {
    if (held) return;
    if constexpr (std::is_invocable_v<What>) findings.push_back(what());
    else findings.push_back(what);
}

inline std::string Show(std::u16string_view text) {
    std::string out = "\"";
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != u'"' && c != u'\\') {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out + "\"";
}

inline std::string Show(const std::vector<std::u16string>& lines) {
    std::string out = "[";
    for (size_t i = 0; i < lines.size() && i < 8; ++i) out += (i ? ", " : "") + Show(lines[i]);
    if (lines.size() > 8) out += ", ... (" + std::to_string(lines.size()) + " lines)";
    return out + "]";
}

// The text up to its first code unit 0: what a kvar keeps of it.
inline std::u16string UpToNul(std::u16string_view text) {
    return std::u16string(text.substr(0, std::min(text.find(u'\0'), text.size())));
}

inline bool HasTag(std::u16string_view text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const char16_t c = text[i + 1];
        if (text[i] == u'\\' && ((c >= u'1' && c <= u'9') || (c >= u'A' && c <= u'F'))) return true;
    }
    return false;
}

inline std::u16string AsciiCase(std::u16string text, bool upper) {
    for (char16_t& c : text) {
        if (upper && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        if (!upper && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    return text;
}

inline std::u16string JoinLines(const std::vector<std::u16string>& lines) {
    std::u16string text;
    for (const auto& line : lines) text += line + u"\r\n";
    return text;
}

// ---------------------------------------------------------------- the key-value document

// The value of the first line whose name matches key, as Read must find it; nullopt when no
// line matches.
inline std::optional<std::u16string> ExpectedRead(const std::vector<std::u16string>& lines,
                                                  std::u16string_view key) {
    for (const auto& line : lines) {
        const size_t eq = line.find(u'=');
        if (eq == std::u16string::npos) continue;
        if (TextEqualsNoCase(std::u16string_view(line).substr(0, eq), key))
            return UpToNul(std::u16string_view(line).substr(eq + 1));
    }
    return std::nullopt;
}

// Every field of the key's value. A field read splits the whole value into the slots and
// gives back field via's slot, so one read (of a field the caller varies) yields them all;
// fifteen reads would split the same value fifteen times for nothing.
inline std::array<std::u16string, kini::kFieldCount + 1> AllFields(Findings& f, kini& doc, const std::u16string& key,
                                                                   int via) {
    std::array<std::u16string, kini::kFieldCount + 1> fields;  // [0] unused
    const kvar& read = doc.ReadField(via, kvar(key));
    Expect(f, &read == &doc.Slot(via), [&] { return "ReadField(" + std::to_string(via) + ") is not its slot"; });
    for (int k = 1; k <= kini::kFieldCount; ++k) fields[static_cast<size_t>(k)] = std::u16string(doc.Slot(k).TextView());
    return fields;
}

// The file's bytes are decoded, split and loaded; keys and values are drawn from the lines
// and read, written and field-edited; the document is saved to a file and loaded again.
// folder must exist and be writable.
inline Findings RunKiniWith(PutFile put, std::string_view bytes, const fs::path& folder) try {
    Findings f;
    const std::vector<std::u16string> lines = kini::SplitLines(kini::DecodeFileText(bytes));
    for (const auto& line : lines)
        Expect(f, line.find_first_of(u"\r\n") == std::u16string::npos,
               [&] { return "a split line holds a line end: " + Show(line); });
    Expect(f, kini::SplitLines(kini::DecodeFileText(kini::EncodeFileText(lines))) == lines,
           [&] { return "encoding and decoding the lines changes them: " + Show(lines); });

    const fs::path in = folder / "fuzz-in.ini";
    put(in, bytes);
    kini doc;
    Expect(f, doc.Load(kvar(in.u16string())), "Load of an existing file returned false");
    Expect(f, doc.Lines() == lines, [&] {
        return "Load differs from decoding and splitting: " + Show(doc.Lines()) + " vs " + Show(lines);
    });

    const size_t count = std::min<size_t>(lines.size(), 8);
    for (size_t i = 0; i < count; ++i) {
        const std::u16string& line = lines[i];
        const size_t eq = line.find(u'=');
        // What a kvar keeps of the name (or of a whole line without "=") is the key.
        const std::u16string key = UpToNul(eq == std::u16string::npos ? std::u16string_view(line)
                                                                      : std::u16string_view(line).substr(0, eq));
        const std::u16string value = eq == std::u16string::npos ? u"" : UpToNul(std::u16string_view(line).substr(eq + 1));
        unsigned selector = static_cast<unsigned>(i) * 7919u;
        for (char16_t c : line) selector = selector * 31u + c;
        const auto where = [&] { return "line " + std::to_string(i) + " key " + Show(key) + ": "; };

        // Read finds the first line whose name matches, without regard to letter case.
        const std::optional<std::u16string> expected = ExpectedRead(doc.Lines(), key);
        const std::u16string got(doc.Read(kvar(key)).TextView());
        Expect(f, doc.Slot(1).IsText(), [&] { return where() + "Read gives a non-text"; });
        Expect(f, got == expected.value_or(u""), [&] { return where() + "Read gives " + Show(got) + ", expected " +
                                                     Show(expected.value_or(u"")); });
        for (bool upper : {true, false}) {
            const std::u16string other(doc.Read(kvar(AsciiCase(key, upper))).TextView());
            Expect(f, other == got, [&] { return where() + "Read in other letter case gives " + Show(other); });
        }
        const kvar& withDefault = doc.Read(kvar(key), kvar(7));
        if (got.empty())
            Expect(f, withDefault.IsInteger() && withDefault.AsInt() == 7,
                   [&] { return where() + "an empty read does not give the default"; });
        else
            Expect(f, withDefault.IsText() && withDefault.TextView() == got,
                   [&] { return where() + "Read with a default changes a found text"; });

        // Fields: none holds a tag, field numbers outside 1..15 read as empty, hex round trips.
        doc.SplitFields(value);
        for (int k = 1; k <= kini::kFieldCount; ++k)
            Expect(f, doc.Slot(k).IsText() && !HasTag(doc.Slot(k).TextView()),
                   [&] { return where() + "split field " + std::to_string(k) + " holds a tag"; });
        const int outside = (selector & 1) ? 0 : 16 + static_cast<int>(selector % 5);
        Expect(f, doc.ReadField(outside, kvar(key)).TextView().empty(),
               [&] { return where() + "a field outside 1..15 is not empty"; });
        const std::u16string hex = kini::HexEncode(value);
        Expect(f, hex.size() == value.size() * 4, [&] { return where() + "HexEncode length"; });
        Expect(f, kini::HexDecode(hex) == value, [&] { return where() + "HexDecode(HexEncode) differs"; });
        Expect(f, kini::HexDecode(value).find(u'\0') == std::u16string::npos,
               [&] { return where() + "HexDecode keeps a code unit 0"; });

        // Writing one field changes that field only, and only the key's line.
        const int n = 1 + static_cast<int>((selector >> 3) % kini::kFieldCount);
        const std::u16string& other = lines[(i + 1 + (selector >> 8) % lines.size()) % lines.size()];
        const std::u16string w = UpToNul(other);
        const std::vector<std::u16string> linesBefore = doc.Lines();
        const long at = [&] {
            for (size_t j = 0; j < linesBefore.size(); ++j) {
                const size_t e = linesBefore[j].find(u'=');
                if (e != std::u16string::npos && TextEqualsNoCase(std::u16string_view(linesBefore[j]).substr(0, e), key))
                    return static_cast<long>(j);
            }
            return -1L;
        }();
        const int via = 1 + static_cast<int>((selector >> 12) % kini::kFieldCount);
        const auto fieldsBefore = AllFields(f, doc, key, via);
        doc.WriteField(n, kvar(key), kvar(w));
        const std::vector<std::u16string>& linesAfter = doc.Lines();
        if (at < 0) {
            Expect(f, linesAfter.size() == linesBefore.size() + 1 &&
                          std::equal(linesBefore.begin(), linesBefore.end(), linesAfter.begin()),
                   [&] { return where() + "WriteField on a new key does not append one line"; });
        } else {
            bool othersKept = linesAfter.size() == linesBefore.size();
            for (size_t j = 0; othersKept && j < linesAfter.size(); ++j)
                if (static_cast<long>(j) != at && linesAfter[j] != linesBefore[j]) othersKept = false;
            Expect(f, othersKept, [&] { return where() + "WriteField changes another line"; });
        }
        if (n == 5 || n == 6 || !HasTag(w)) {
            auto expectedFields = fieldsBefore;
            expectedFields[static_cast<size_t>(n)] = w;
            const auto fieldsAfter = AllFields(f, doc, key, via % kini::kFieldCount + 1);
            for (int k = 1; k <= kini::kFieldCount; ++k)
                Expect(f, fieldsAfter[static_cast<size_t>(k)] == expectedFields[static_cast<size_t>(k)], [&] {
                    return where() + "after WriteField(" + std::to_string(n) + ", " + Show(w) + ") field " +
                           std::to_string(k) + " is " + Show(fieldsAfter[static_cast<size_t>(k)]) +
                           ", expected " + Show(expectedFields[static_cast<size_t>(k)]);
                });
        }

        // Field 0 rewrites the value in canonical order and changes no field.
        const auto before = AllFields(f, doc, key, n);
        doc.WriteField(0, kvar(key), kvar(u"ignored"));
        Expect(f, AllFields(f, doc, key, via) == before, [&] { return where() + "WriteField(0) changes a field"; });

        // A plain write is read back.
        if (selector & 4) {
            doc.Write(kvar(key), kvar(w));
            const std::u16string back(doc.Read(kvar(key)).TextView());
            Expect(f, back == w,
                   [&] { return where() + "Write then Read gives " + Show(back) + ", wrote " + Show(w); });
        }
    }

    // Save and load again: the reloaded lines are the saved lines (a line holding a line end
    // would split; none is written here, as every key and value comes from a split line).
    const fs::path out = folder / "fuzz-out.ini";
    Expect(f, doc.Save(kvar(out.u16string())), "Save returned false");
    const std::optional<std::string> saved = ReadFileBytes(out.u16string());
    Expect(f, saved && *saved == kini::EncodeFileText(doc.Lines()), "the saved bytes are not the encoded lines");
    kini again;
    Expect(f, again.Load(kvar(out.u16string())), "Load of the saved file returned false");
    Expect(f, again.Lines() == kini::SplitLines(JoinLines(doc.Lines())) && again.Lines() == doc.Lines(), [&] {
        return "the reloaded lines differ from the saved ones: " + Show(again.Lines()) + " vs " +
               Show(doc.Lines());
    });
    return f;
} catch (const std::exception& error) {
    return {std::string("exception: ") + error.what()};
}

inline Findings RunKini(std::string_view bytes, const fs::path& folder) {
    return RunKiniWith(WriteBytes, bytes, folder);
}

// ---------------------------------------------------------------- the settings record

// Everything a load sets, to compare loads.
struct SettingsState {
    int left = 0, top = 0, moves = 0;
    std::int32_t TimeHeight = 0, AutoStart = 0, DispSecond = 0, TimeTalk = 0, AlarmLine = 0;
    std::u16string TimeFontName, TimeLabel;
    std::int32_t FormColor = 0, TimeColor = 0, VolumeVoice = 0, VolumeAlarm = 0;
    int before = 0, start = 0, pass = 0;
    std::array<std::array<int, 5>, talarm::Rows> rows{};
    bool operator==(const SettingsState&) const = default;

    std::string Describe() const {
        std::ostringstream s;
        s << "pos " << left << "," << top << " moves " << moves << " ints " << TimeHeight << " " << AutoStart
          << " " << DispSecond << " " << TimeTalk << " " << AlarmLine << " " << FormColor << " " << TimeColor
          << " " << VolumeVoice << " " << VolumeAlarm << " font " << Show(TimeFontName) << " label "
          << Show(TimeLabel) << " lists " << before << " " << start << " " << pass << " rows";
        for (const auto& r : rows) s << " " << r[0] << "/" << r[1] << "/" << r[2] << "/" << r[3] << "/" << r[4];
        return s.str();
    }
};

// The main window's parts as the settings see them, with values no load would produce.
// The window sits on one 1920 x 1080 primary monitor with a second one to its left.
class SettingsRig : public test::SettingsLists {
public:
    explicit SettingsRig(const std::u16string& iniPath) : counts_(Counts()) { Reset(iniPath); }

    // Back to what the constructor made, for a rig kept from one input to the next: filling
    // the alarm rows' lists costs more than the load and save under test. A load only selects
    // in the lists; false when their items have changed all the same, and the rig must go.
    bool Reset(const std::u16string& iniPath) {
        if (Counts() != counts_) return false;
        window = test::FakePlacement();
        window.monitors.push_back({-1280, 0, 0, 1024});
        messages = test::RecordingMessages();
        settings = ks01();
        settings.IniPath = iniPath;
        settings.TimeHeight = settings.AutoStart = settings.DispSecond = settings.TimeTalk = -77;
        settings.AlarmLine = settings.FormColor = settings.TimeColor = -77;
        settings.VolumeVoice = settings.VolumeAlarm = -77;
        settings.TimeFontName = settings.TimeLabel = u"unset";
        before.Select(1);
        start.Select(2);
        pass.Select(2);
        for (auto& r : rows)
            for (auto& list : r) list.Select(list.Count() - 1);
        return true;
    }
    SettingsLinks Links() { return {window, before, start, pass, alarms, messages}; }

    SettingsState State() const {
        SettingsState s;
        s.left = window.left;
        s.top = window.top;
        s.moves = window.moves;
        s.TimeHeight = settings.TimeHeight;
        s.AutoStart = settings.AutoStart;
        s.DispSecond = settings.DispSecond;
        s.TimeTalk = settings.TimeTalk;
        s.AlarmLine = settings.AlarmLine;
        s.TimeFontName = settings.TimeFontName;
        s.TimeLabel = settings.TimeLabel;
        s.FormColor = settings.FormColor;
        s.TimeColor = settings.TimeColor;
        s.VolumeVoice = settings.VolumeVoice;
        s.VolumeAlarm = settings.VolumeAlarm;
        s.before = before.Selected();
        s.start = start.Selected();
        s.pass = pass.Selected();
        for (size_t i = 0; i < rows.size(); ++i)
            for (size_t k = 0; k < 5; ++k) s.rows[i][k] = rows[i][k].Selected();
        return s;
    }

    test::FakePlacement window;
    test::RecordingMessages messages;
    ks01 settings;

private:
    std::vector<int> Counts() const {
        std::vector<int> counts{before.Count(), start.Count(), pass.Count()};
        for (const auto& r : rows)
            for (const auto& list : r) counts.push_back(list.Count());
        return counts;
    }
    std::vector<int> counts_;
};

// A rig set back for the next input, made anew when it cannot be.
inline SettingsRig& FreshRig(std::unique_ptr<SettingsRig>& rig, const std::u16string& iniPath) {
    if (!rig || !rig->Reset(iniPath)) rig = std::make_unique<SettingsRig>(iniPath);
    return *rig;
}

// Whether some line's name is "Movrek" in ASCII letters of any case: without one, the file
// cannot be a settings file.
inline bool HasIdentityLine(const std::vector<std::u16string>& lines) {
    for (const auto& line : lines)
        if (line.size() >= 7 && line[6] == u'=' && AsciiCase(line.substr(0, 6), false) == u"movrek") return true;
    return false;
}

// The bytes become the settings file; a load either refuses it as foreign and changes nothing,
// or loads it, after which a save and a fresh load reproduce what the first load set.
inline Findings RunSettingsWith(PutFile put, std::string_view bytes, const fs::path& folder) try {
    Findings f;
    const fs::path ini = folder / "movrek.ini";
    put(ini, bytes);
    const std::vector<std::u16string> lines = kini::SplitLines(kini::DecodeFileText(bytes));

    static std::unique_ptr<SettingsRig> rigs[2];
    SettingsRig* first = &FreshRig(rigs[0], ini.u16string());
    const SettingsState untouched = first->State();
    const bool loaded = first->settings.LoadSettings(first->Links());
    const SettingsState state = first->State();
    const std::optional<std::string> afterLoad = ReadFileBytes(ini.u16string());
    Expect(f, afterLoad && *afterLoad == bytes, "the load changed the file");
    if (!HasIdentityLine(lines)) Expect(f, !loaded, "a file without an identity line was loaded");

    if (!loaded) {
        Expect(f, first->messages.shown == std::vector<std::u16string>{std::u16string(kNotASettingsFileMessage)},
               "a refused file did not show the foreign-file message alone");
        Expect(f, state == untouched, [&] { return "a refused file changed " + state.Describe(); });
        Expect(f, !first->settings.SaveSettings(first->Links()), "a save after a refused file wrote");
        const std::optional<std::string> kept = ReadFileBytes(ini.u16string());
        Expect(f, kept && *kept == bytes, "a save after a refused file changed the file");
        return f;
    }

    Expect(f, first->messages.shown.empty(), "a readable settings file showed a message");
    Expect(f, state.moves == 1, "the window was not placed exactly once");
    Expect(f, state.top <= 1080 - 100 && state.left <= 1920 - 100, "the window is placed off the primary screen's far edges");
    Expect(f, first->window.SquareOnAnyMonitor(state.left, state.top), "the window is placed on no monitor");
    Expect(f, state.before >= -1 && state.before < 2 && state.start >= -1 && state.start < 3 &&
                  state.pass >= -1 && state.pass < 3,
           "a list selection is out of range");

    Expect(f, first->settings.SaveSettings(first->Links()), "the save after a load failed");
    Expect(f, first->messages.shown.empty(), "the save showed a message");
    const std::optional<std::string> saved = ReadFileBytes(ini.u16string());
    if (!saved) return f.push_back("the save left no file"), f;
    const std::vector<std::u16string> savedLines = kini::SplitLines(kini::DecodeFileText(*saved));
    Expect(f, savedLines.size() == 27 && savedLines[0] == u"Movrek=0.3", "the saved file is not 27 lines under the identity");

    SettingsRig* second = &FreshRig(rigs[1], ini.u16string());
    Expect(f, second->settings.LoadSettings(second->Links()), "the saved file does not load");
    Expect(f, second->messages.shown.empty(), "the saved file showed a message");
    const SettingsState again = second->State();
    Expect(f, again == state, [&] { return "the saved file loads differently:\n  first  " + state.Describe() + "\n  second " +
                                  again.Describe(); });
    return f;
} catch (const std::exception& error) {
    return {std::string("exception: ") + error.what()};
}

inline Findings RunSettings(std::string_view bytes, const fs::path& folder) {
    return RunSettingsWith(WriteBytes, bytes, folder);
}

}  // namespace movrek::fuzz
