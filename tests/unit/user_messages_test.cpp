#include <gtest/gtest.h>

#include <string>

#include "platform/UserMessages.h"
#include "platform/Utf.h"

namespace {

std::u16string SourcePath(const char* relative) {
    std::string root = MOVREK_SOURCE_DIR;
#ifdef _WIN32
    if (!root.empty() && root[0] == '/') root = "Z:" + root;  // a Unix path, read under Wine
#endif
    return movrek::FromUtf8(root + relative);
}

TEST(PlatformMessages, OnlyARegularFileCountsAsExisting) {
    movrek::UserMessages& messages = movrek::PlatformMessages();
    EXPECT_TRUE(messages.FileExists(SourcePath("/CMakeLists.txt")));
    EXPECT_FALSE(messages.FileExists(SourcePath("/src")));
    EXPECT_FALSE(messages.FileExists(SourcePath("/no such clip.wav")));
}

}  // namespace
