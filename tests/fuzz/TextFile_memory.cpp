// The file functions of the text-file seam over memory, for the fuzz targets that need speed.
// A path names a file exactly as given (letter case counts, as natively); there are no
// folders, so any path can hold a file, and nothing can fail to be read or replaced.
#include <map>
#include <string>

#include "MemoryFiles.h"
#include "platform/TextFile.h"

namespace movrek {
namespace {

std::map<std::u16string, std::string, std::less<>>& Files() {
    static std::map<std::u16string, std::string, std::less<>> files;
    return files;
}

}  // namespace

namespace fuzz::memory {

void Clear() { Files().clear(); }

void Put(const std::filesystem::path& path, std::string_view bytes) {
    Files().insert_or_assign(path.u16string(), std::string(bytes));
}

}  // namespace fuzz::memory

bool TextFileExists(std::u16string_view path) { return Files().find(path) != Files().end(); }

std::optional<std::string> ReadFileBytes(std::u16string_view path) {
    const auto found = Files().find(path);
    if (found == Files().end()) return std::nullopt;
    return found->second;
}

// A whole replacement in one step, as the disk layer's swap of a finished scratch file is.
void ReplaceFileBytes(std::u16string_view path, std::string_view bytes) {
    Files().insert_or_assign(std::u16string(path), std::string(bytes));
}

}  // namespace movrek
