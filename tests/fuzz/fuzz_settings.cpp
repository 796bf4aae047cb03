// Bytes as the settings file: loaded with in-memory window and lists, then saved and loaded
// again; the file is kept in memory.
#include "FuzzMain.h"
#include "MemoryFiles.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    movrek::fuzz::CheckFileLayer(movrek::fuzz::memory::Put, movrek::fuzz::MemoryFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace movrek::fuzz;
    memory::Clear();
    AbortOn(RunSettingsWith(memory::Put, std::string_view(reinterpret_cast<const char*>(data), size),
                            MemoryFolder()));
    return 0;
}
