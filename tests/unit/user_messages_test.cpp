#include <gtest/gtest.h>

#include <string>

#include "platform/UserMessages.h"
#include "platform/Utf.h"
#include "support/SourcePath.h"

namespace {

using movrek::test::SourcePath;

TEST(PlatformMessages, OnlyARegularFileCountsAsExisting) {
    movrek::UserMessages& messages = movrek::PlatformMessages();
    EXPECT_TRUE(messages.FileExists(SourcePath("CMakeLists.txt")));
    EXPECT_FALSE(messages.FileExists(SourcePath("src")));
    EXPECT_FALSE(messages.FileExists(SourcePath("no such clip.wav")));
}

}  // namespace
