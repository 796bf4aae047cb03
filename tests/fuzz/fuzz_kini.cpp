// Bytes as a key-value file: decoded, split, loaded, read and edited by keys and values taken
// from its own lines, saved and loaded again.
#include "FuzzMain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace movrek::fuzz;
    AbortOn(RunKini(std::string_view(reinterpret_cast<const char*>(data), size), ScratchFolder()));
    return 0;
}
