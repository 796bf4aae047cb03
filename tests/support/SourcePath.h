// Files of the source tree, for tests that read the program's assets. MOVREK_SOURCE_DIR comes
// from the build.
#pragma once
#include <string>
#include <string_view>

#include "platform/Utf.h"

namespace movrek::test {

// A path under the source tree. A Windows program under Wine needs Z: before a Unix path.
inline std::u16string SourcePath(std::u16string_view relative) {
    std::u16string path = FromUtf8(MOVREK_SOURCE_DIR);
#ifdef _WIN32
    if (!path.empty() && path[0] == u'/') path = u"Z:" + path;
#endif
    path += u'/';
    path += relative;
    return path;
}

inline std::u16string SourcePath(std::string_view relative) { return SourcePath(FromUtf8(relative)); }

}  // namespace movrek::test
