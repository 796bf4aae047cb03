#include "platform/TextFile.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>

#include "platform/Handles_win.h"
#include "platform/WinText_win.h"

namespace movrek {
namespace {

// The system's own text for an error code, in the user's language.
std::u16string SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer) text.assign(buffer, length);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) text = L"Windows error " + std::to_wstring(code);
    return Narrow16(text);
}

FileError Error(DWORD code, std::u16string_view path) {
    return FileError(SystemMessage(code), std::u16string(path), static_cast<long>(code));
}

// A name beside the target that no other save of ours is using.
std::wstring SiblingName(const std::wstring& target, const wchar_t* suffix) {
    static unsigned counter = 0;
    return target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + suffix;
}

// Removes the scratch files of saves whose process has ended (killed half-way through).
void RemoveStaleScratch(const std::wstring& target) {
    const size_t slash = target.find_last_of(L"\\/:");
    const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
    const std::wstring name = target.substr(folder.size());
    WIN32_FIND_DATAW found;
    const FileSearch search(FindFirstFileW((target + L".*.tmp").c_str(), &found));
    if (!search) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::optional<unsigned long> pid = ScratchOwner(Narrow16(name), Narrow16(found.cFileName));
        if (!pid || *pid == GetCurrentProcessId()) continue;
        const KernelHandle owner(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(*pid)));
        if (owner) {
            if (WaitForSingleObject(owner.Get(), 0) != WAIT_OBJECT_0) continue;
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            continue;  // running, but not ours to look at
        }
        DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search.Get(), &found));
}

// Antivirus scanners, the search indexer and sync clients open a file for a moment just after
// it changed, often without letting it be replaced; a swap that meets such a handle goes
// through a little later. The pauses after each failed try, about half a second in all.
constexpr DWORD kRetryPausesMs[] = {20, 40, 80, 160, 200};

// Whether a failed rename over target may go through on a later try. A sharing or lock
// violation is someone else's handle. So is access denied while the target is an ordinary
// writable file (a handle that shares deletion, a delete still pending); a read-only file,
// a folder or a folder we may not write in stays as it is, and is reported at once.
bool SwapMayPassLater(DWORD code, const std::wstring& target) {
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return true;
    if (code != ERROR_ACCESS_DENIED) return false;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

}  // namespace

bool TextFileExists(std::u16string_view path) {
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::string> ReadFileBytes(std::u16string_view path) {
    const std::wstring wide = Wide(path);
    const KernelHandle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return std::nullopt;
        throw Error(code, path);
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size)) throw Error(GetLastError(), path);
    // The decoders take int lengths; a settings file is never near this size.
    if (size.QuadPart > INT_MAX) throw Error(ERROR_FILE_TOO_LARGE, path);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                      nullptr))
            throw Error(GetLastError(), path);
        if (got == 0) break;  // the file shrank meanwhile
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

void ReplaceFileBytes(std::u16string_view path, std::string_view bytes) {
    const std::wstring target = Wide(path);
    RemoveStaleScratch(target);
    std::wstring temp;
    HANDLE created = INVALID_HANDLE_VALUE;
    size_t pauses = 0;
    for (int attempt = 0; created == INVALID_HANDLE_VALUE; ++attempt) {
        temp = SiblingName(target, L".tmp");
        created = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if ((code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) && attempt < 100) continue;
            if (code == ERROR_SHARING_VIOLATION && pauses < std::size(kRetryPausesMs)) {
                Sleep(kRetryPausesMs[pauses++]);
                continue;
            }
            throw Error(code, path);
        }
    }
    auto fail = [&](DWORD code) {
        DeleteFileW(temp.c_str());
        return Error(code, path);
    };
    {
        KernelHandle file(created);
        size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
                const DWORD code = written == 0 && GetLastError() == ERROR_SUCCESS ? ERROR_WRITE_FAULT
                                                                                  : GetLastError();
                file.Reset();  // the scratch file can only go once it is closed
                throw fail(code);
            }
            done += written;
        }
        if (!FlushFileBuffers(file.Get())) {
            const DWORD code = GetLastError();
            file.Reset();
            throw fail(code);
        }
        // Closing can still report a failed write-back, so its result counts.
        if (!CloseHandle(file.Release())) throw fail(GetLastError());
    }

    // One rename over the old file, so the name always holds a whole file, old or new, even
    // when the process dies half-way. ReplaceFileW is no use here: it first moves the old file
    // aside (Wine always does), leaving a moment with no file under the name.
    const DWORD oldAttributes = GetFileAttributesW(target.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES && !(oldAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (oldAttributes & FILE_ATTRIBUTE_READONLY) throw fail(ERROR_ACCESS_DENIED);
        // The new file keeps the old one's visible marks.
        constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if (oldAttributes & kept) SetFileAttributesW(temp.c_str(), oldAttributes & kept);
    }
    for (size_t pauses = 0;; ++pauses) {
        if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        const DWORD code = GetLastError();
        if (pauses == std::size(kRetryPausesMs) || !SwapMayPassLater(code, target)) throw fail(code);
        Sleep(kRetryPausesMs[pauses]);
    }
}

std::u16string DecodeLegacyText(std::string_view bytes) {
    if (bytes.empty()) return {};
    if (bytes.size() > INT_MAX) throw std::length_error("text too long");
    const int inLength = static_cast<int>(bytes.size());
    const int outLength = MultiByteToWideChar(CP_ACP, 0, bytes.data(), inLength, nullptr, 0);
    if (outLength <= 0) return {};
    std::wstring out(static_cast<size_t>(outLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), inLength, out.data(), outLength);
    return Narrow16(out);
}

bool TextEqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    if (a.size() > INT_MAX) return false;
    const int length = static_cast<int>(a.size());
    return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), length,
                                reinterpret_cast<const wchar_t*>(b.data()), length,
                                TRUE) == CSTR_EQUAL;
}

}  // namespace movrek
