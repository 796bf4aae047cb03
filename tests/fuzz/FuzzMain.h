// The libFuzzer side of a harness: where its files go (a scratch folder of the process's own
// on a memory file system where there is one, or the in-memory file layer), a check at start
// that the file layer keeps the seam's contract, and an abort with the findings when an
// invariant breaks.
#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzHarness.h"

namespace movrek::fuzz {

inline const fs::path& ScratchFolder() {
    static const fs::path folder = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path made = base / ("movrek-fuzz-" + std::to_string(getpid()));
        fs::create_directories(made);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(ScratchFolder(), ignored);
        });
        return made;
    }();
    return folder;
}

// The in-memory layer needs no folder on disk; this one is never created.
inline const fs::path& MemoryFolder() {
    static const fs::path folder("/movrek-memory");
    return folder;
}

inline void AbortOn(const Findings& findings) {
    if (findings.empty()) return;
    for (const std::string& finding : findings) std::fprintf(stderr, "invariant broken: %s\n", finding.c_str());
    std::abort();
}

// What the harnesses rely on of the file layer, so that a fuzz run over the in-memory layer
// means what one over real files would: a file that is not there reads as nullopt, a file
// reads back byte for byte (an empty one as empty, not as absent), and a replacement leaves
// only the new bytes, at that path only. Run on the layer a target links, before any input.
inline void CheckFileLayer(PutFile put, const fs::path& folder) {
    Findings f;
    const std::u16string a = (folder / "layer-a.ini").u16string();
    const std::u16string b = (folder / u"設定-b.ini").u16string();
    Expect(f, !TextFileExists(a) && !ReadFileBytes(a), "a missing file exists or reads");
    const std::string binary("\xFF\xFE" "M\0=\0\r\0\n\0", 10);
    put(a, binary);
    Expect(f, TextFileExists(a) && ReadFileBytes(a) == binary, "a put file does not read back as put");
    ReplaceFileBytes(a, "a longer text than the one after it");
    ReplaceFileBytes(a, "short");
    Expect(f, ReadFileBytes(a) == std::optional<std::string>("short"), "a replacement keeps old bytes");
    Expect(f, !TextFileExists(b) && !ReadFileBytes(b), "a replacement made another file");
    ReplaceFileBytes(b, "");
    Expect(f, TextFileExists(b) && ReadFileBytes(b) == std::optional<std::string>(""),
           "an empty file made by a replacement is not there and empty");
    Expect(f, ReadFileBytes(a) == std::optional<std::string>("short"), "a replacement changed another file");
    std::error_code ignored;
    fs::remove(a, ignored);
    fs::remove(b, ignored);
    if (f.empty()) return;
    std::fprintf(stderr, "the file layer breaks the text-file seam's contract\n");
    AbortOn(f);
}

}  // namespace movrek::fuzz
