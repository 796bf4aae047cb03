// The user-message seam: modal OK message boxes with the program's fixed texts, the
// short warning tone, and the file-existence test that goes with them. Tests use a recorder.
#pragma once
#include <string>
#include <string_view>

namespace movrek {

class UserMessages {
public:
    virtual ~UserMessages() = default;
    // Modal message box with an OK button; returns when the user has closed it.
    virtual void ShowMessage(std::u16string_view text) = 0;
    // A tone of the given pitch and length; returns when it has ended.
    virtual void Beep(int frequencyHz, int durationMs) = 0;
    virtual bool FileExists(std::u16string_view path) = 0;
};

// For moments when no box may open: the end of the session, where a modal box inside
// WM_ENDSESSION would hold up the log-off until someone closed it. Boxes and tones are left
// out; the file test still asks the wrapped messages.
class QuietMessages : public UserMessages {
public:
    explicit QuietMessages(UserMessages& inner) : inner_(inner) {}
    void ShowMessage(std::u16string_view) override {}
    void Beep(int, int) override {}
    bool FileExists(std::u16string_view path) override { return inner_.FileExists(path); }

private:
    UserMessages& inner_;
};

// The platform's implementation (MessageBoxW titled with the program name, Beep, file
// attributes). The owner window for the boxes is set by the main window once it exists.
UserMessages& PlatformMessages();

// The window that owns the platform's message boxes (an HWND on Windows; nullptr for none).
// Natively it is ignored.
void SetMessageOwner(void* window);

}  // namespace movrek
