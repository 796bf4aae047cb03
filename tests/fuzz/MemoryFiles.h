// The in-memory file layer of the fast fuzz targets: the text-file seam's file functions
// (TextFileExists, ReadFileBytes, ReplaceFileBytes) over a map of path -> bytes, so that an
// input costs no system call. Linked instead of the native file layer; the legacy code page
// and name comparison stay the native ones.
#pragma once
#include <filesystem>
#include <string_view>

namespace movrek::fuzz::memory {

// Forgets every file.
void Clear();

// Puts a file at path holding bytes, as a test writes its input file.
void Put(const std::filesystem::path& path, std::string_view bytes);

}  // namespace movrek::fuzz::memory
