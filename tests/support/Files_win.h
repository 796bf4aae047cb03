// Files and folders through the Win32 calls themselves, with UTF-16 names.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace movrek::test {

inline const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

inline std::u16string U(std::wstring_view text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

// The whole file, or "<cannot open>".
inline std::string ReadBytes(const std::u16string& path) {
    HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

// Without the test framework's bookkeeping, for a crash handler's last words.
inline bool TryWriteBytes(const std::u16string& path, std::string_view bytes) {
    HANDLE file = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline void WriteBytes(const std::u16string& path, std::string_view bytes) {
    ASSERT_TRUE(TryWriteBytes(path, bytes)) << "cannot write the test file";
}

// A fresh folder under the user's temporary folder, its name followed by the process id;
// removed with its files and folders, read-only ones included.
class WinFolder {
public:
    explicit WinFolder(const std::u16string& name) {
        wchar_t temp[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        path_ = U(std::wstring_view(temp, length)) + name + U(std::to_wstring(GetCurrentProcessId()));
        created_ = CreateDirectoryW(W(path_), nullptr) != FALSE;
    }
    ~WinFolder() {
        for (const auto& name : Names()) {
            const std::u16string file = File(name);
            SetFileAttributesW(W(file), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(W(file))) RemoveDirectoryW(W(file));
        }
        RemoveDirectoryW(W(path_));
    }
    WinFolder(const WinFolder&) = delete;
    WinFolder& operator=(const WinFolder&) = delete;

    bool created() const { return created_; }
    const std::u16string& Root() const { return path_; }
    std::u16string File(const std::u16string& name) const { return path_ + u"\\" + name; }
    std::u16string File(std::wstring_view name) const { return File(U(name)); }
    // Writes the file and gives its path.
    std::u16string Write(std::wstring_view name, std::string_view bytes) const {
        const std::u16string path = File(name);
        EXPECT_TRUE(TryWriteBytes(path, bytes)) << "cannot create the test file";
        return path;
    }
    std::vector<std::u16string> Names() const {
        std::vector<std::u16string> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(W(path_ + u"\\*"), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            const std::u16string name = U(found.cFileName);
            if (name != u"." && name != u"..") names.push_back(name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

private:
    std::u16string path_;
    bool created_ = false;
};

}  // namespace movrek::test
