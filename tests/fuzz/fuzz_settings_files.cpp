// Bytes as the settings file, through real files: the same as fuzz_settings, for the file
// code itself (the atomic replacement, the scratch files, the reads), at disk speed.
#include "FuzzMain.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    movrek::fuzz::CheckFileLayer(movrek::test::WriteBytes, movrek::fuzz::ScratchFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace movrek::fuzz;
    AbortOn(RunSettings(std::string_view(reinterpret_cast<const char*>(data), size), ScratchFolder()));
    return 0;
}
