#include "platform/TextFile.h"

#include "platform/Utf.h"

namespace movrek {

FileError::FileError(std::u16string message, std::u16string path, long code)
    : std::runtime_error(ToUtf8(message) + (path.empty() ? "" : ": " + ToUtf8(path))),
      message_(std::move(message)),
      path_(std::move(path)),
      code_(code) {}

}  // namespace movrek
