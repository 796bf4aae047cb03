#include "platform/UserMessages.h"

#include <windows.h>

#include <string>

#include "platform/TextFile.h"
#include "platform/WinText_win.h"

namespace movrek {
namespace {

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
        return TextFileExists(path);
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
