// The libFuzzer side of a harness: a scratch folder of the process's own on a memory file
// system where there is one, and an abort with the findings when an invariant breaks.
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

inline void AbortOn(const Findings& findings) {
    if (findings.empty()) return;
    for (const std::string& finding : findings) std::fprintf(stderr, "invariant broken: %s\n", finding.c_str());
    std::abort();
}

}  // namespace movrek::fuzz
