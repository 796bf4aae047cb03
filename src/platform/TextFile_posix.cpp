#include "platform/TextFile.h"

#include <errno.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <iconv.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/Utf.h"

namespace movrek {
namespace {

FileError Error(int code, std::u16string_view path) {
    return FileError(FromUtf8(strerror(code)), std::u16string(path), code);
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    int get() const { return fd_; }
    bool Close() {
        if (fd_ < 0) return true;
        const int result = close(fd_);
        fd_ = -1;
        return result == 0;
    }

private:
    int fd_;
};

// Case folding for name comparison: ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and the
// full-width Latin letters of Japanese text.
char16_t Fold(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 32;
    if (c < 0x80) return c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    if (c >= 0x100 && c <= 0x137 && (c % 2) == 0) return c + 1;
    if (c >= 0x139 && c <= 0x148 && (c % 2) == 1) return c + 1;
    if (c >= 0x14A && c <= 0x177 && (c % 2) == 0) return c + 1;
    if (c == 0x178) return 0xFF;
    if ((c == 0x179 || c == 0x17B || c == 0x17D)) return c + 1;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;
    return c;
}

// Removes the scratch files of saves whose process has ended (killed half-way through).
void RemoveStaleScratch(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        const std::optional<unsigned long> pid = ScratchOwner(FromUtf8(name), FromUtf8(entry->d_name));
        if (!pid || *pid == static_cast<unsigned long>(getpid())) continue;
        if (kill(static_cast<pid_t>(*pid), 0) == 0 || errno != ESRCH) continue;
        (void)unlink((folder + "/" + entry->d_name).c_str());
    }
    closedir(dir);
}

}  // namespace

bool TextFileExists(std::u16string_view path) {
    struct stat info;
    return stat(ToUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::string> ReadFileBytes(std::u16string_view path) {
    // Non-blocking so that a FIFO put where the file was cannot stall the program.
    Fd file(open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        throw Error(errno, path);
    }
    struct stat info;
    if (fstat(file.get(), &info) != 0) throw Error(errno, path);
    if (S_ISDIR(info.st_mode)) throw Error(EISDIR, path);
    if (!S_ISREG(info.st_mode)) throw Error(EINVAL, path);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw Error(errno, path);
        }
        if (got == 0) break;
        if (bytes.size() + static_cast<size_t>(got) > INT_MAX) throw Error(EFBIG, path);
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
}

void ReplaceFileBytes(std::u16string_view path, std::string_view bytes) {
    static unsigned counter = 0;
    const std::string target = ToUtf8(path);
    RemoveStaleScratch(target);
    std::string temp;
    int created = -1;
    for (int attempt = 0; created < 0; ++attempt) {
        temp = target + "." + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
        created = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created < 0 && !(errno == EEXIST && attempt < 100)) throw Error(errno, path);
    }
    Fd file(created);
    auto fail = [&](int code) {
        file.Close();
        unlink(temp.c_str());
        return Error(code, path);
    };
    struct stat old;
    if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        (void)fchmod(file.get(), old.st_mode & 07777);  // keep the old file's permissions
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(file.get(), bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            throw fail(errno);
        }
        done += static_cast<size_t>(written);
    }
    if (fsync(file.get()) != 0) throw fail(errno);
    if (!file.Close()) throw fail(errno);
    if (rename(temp.c_str(), target.c_str()) != 0) throw fail(errno);
    // Make the rename itself durable.
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    Fd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) (void)fsync(dir.get());
}

std::u16string DecodeLegacyText(std::string_view bytes) {
    std::u16string out;
    if (bytes.empty()) return out;
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep ASCII and mark everything else.
        for (unsigned char b : bytes) out += b < 0x80 ? char16_t(b) : u'\uFFFD';
        return out;
    }
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    std::string buffer(bytes.size() * 2 + 16, '\0');
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int code = errno;
        const size_t produced = buffer.size() - outLeft;
        for (size_t i = 0; i + 1 < produced; i += 2)
            out += static_cast<char16_t>(static_cast<unsigned char>(buffer[i]) |
                                         (static_cast<unsigned char>(buffer[i + 1]) << 8));
        if (result != static_cast<size_t>(-1)) break;
        if (code == E2BIG) continue;
        // An invalid or truncated sequence: one replacement character per bad byte.
        out += u'\uFFFD';
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    return out;
}

bool TextEqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

}  // namespace movrek
