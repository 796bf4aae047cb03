// The file seam of the key-value document: whole-file reads by UTF-16 path, the atomic
// replacement of a file's contents, the legacy code page, and case-insensitive name
// comparison. Windows opens files by their UTF-16 path; natively the path goes out as UTF-8.
#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace movrek {

// A file that exists but cannot be read, or cannot be written or replaced. Carries the
// platform's own message (FormatMessageW / strerror) and error code.
class FileError : public std::runtime_error {
public:
    FileError(std::u16string message, std::u16string path, long code);
    const std::u16string& Message() const noexcept { return message_; }
    const std::u16string& Path() const noexcept { return path_; }
    long Code() const noexcept { return code_; }  // GetLastError() or errno

private:
    std::u16string message_;
    std::u16string path_;
    long code_;
};

// True when a file (not a folder) exists at path.
bool TextFileExists(std::u16string_view path);

// All bytes of the file at path, opened so that others may read it meanwhile but not write.
// nullopt when no file exists there; FileError when it exists but cannot be read.
std::optional<std::string> ReadFileBytes(std::u16string_view path);

// Replaces the file at path with bytes, atomically: the bytes go to a temporary file in the
// same folder, which is flushed to disk and then swapped in. On any failure the old file is
// left as it was, the temporary file is removed, and FileError is raised. A swap that another
// program's handle blocks for a moment (a virus scanner, the indexer) is tried again for about
// half a second before it counts as failed; on Windows only. Scratch files that earlier
// saves of processes no longer running left beside it are removed first.
void ReplaceFileBytes(std::u16string_view path, std::string_view bytes);

// The process id in the name of a scratch file that a save of target made beside it
// ("movrek.ini.1234-5.tmp" for "movrek.ini": 1234), or nullopt for any other name. A save
// that was killed leaves its scratch file; the next save removes those of ended processes.
std::optional<unsigned long> ScratchOwner(std::u16string_view target, std::u16string_view name);

// Bytes in the platform's legacy code page (the system ANSI code page on Windows, code page
// 932 natively) as UTF-16. Invalid bytes follow the platform's conversion rules.
std::u16string DecodeLegacyText(std::string_view bytes);

// Name comparison without regard to letter case (ASCII, full-width Latin and more).
bool TextEqualsNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace movrek
