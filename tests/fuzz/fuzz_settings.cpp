// Bytes as the settings file: loaded with in-memory window and lists, then saved and loaded
// again.
#include "FuzzMain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace movrek::fuzz;
    AbortOn(RunSettings(std::string_view(reinterpret_cast<const char*>(data), size), ScratchFolder()));
    return 0;
}
