#include "platform/UserMessages.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "platform/Utf.h"

namespace movrek {
namespace {

// The native world only runs tests: messages go to stderr, and paths written the Windows way
// (.\sound\x.wav) are read with POSIX separators.
class PosixMessages : public UserMessages {
public:
    void ShowMessage(std::u16string_view text) override {
        std::fprintf(stderr, "Movrek: %s\n", ToUtf8(text).c_str());
    }
    void Beep(int, int) override {}
    bool FileExists(std::u16string_view path) override {
        std::string name = ToUtf8(path);
        for (char& c : name) {
            if (c == '\\') c = '/';
        }
        struct stat st {};
        return stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    }
};

}  // namespace

UserMessages& PlatformMessages() {
    static PosixMessages messages;
    return messages;
}

void SetMessageOwner(void*) {}

}  // namespace movrek
