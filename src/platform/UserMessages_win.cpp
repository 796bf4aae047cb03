#include "platform/UserMessages.h"

#include <windows.h>

#include <string>

namespace movrek {
namespace {

std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

class Win32Messages : public UserMessages {
public:
    void ShowMessage(std::u16string_view text) override {
        const std::wstring wide = Wide(text);
        MessageBoxW(owner, wide.c_str(), L"Movrek", MB_OK);
    }
    void Beep(int frequencyHz, int durationMs) override {
        ::Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(durationMs));
    }
    bool FileExists(std::u16string_view path) override {
        const std::wstring wide = Wide(path);
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    HWND owner = nullptr;
};

Win32Messages& Instance() {
    static Win32Messages messages;
    return messages;
}

}  // namespace

UserMessages& PlatformMessages() { return Instance(); }

void SetMessageOwner(void* window) { Instance().owner = static_cast<HWND>(window); }

}  // namespace movrek
