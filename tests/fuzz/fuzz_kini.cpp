// Bytes as a key-value file: decoded, split, loaded, read and edited by keys and values taken
// from its own lines, saved and loaded again; the files are kept in memory.
#include "FuzzMain.h"
#include "MemoryFiles.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    movrek::fuzz::CheckFileLayer(movrek::fuzz::memory::Put, movrek::fuzz::MemoryFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace movrek::fuzz;
    memory::Clear();
    AbortOn(
        RunKiniWith(memory::Put, std::string_view(reinterpret_cast<const char*>(data), size), MemoryFolder()));
    return 0;
}
