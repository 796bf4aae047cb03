#include <gtest/gtest.h>

TEST(Build, CharSixteenIsUtf16) {
    std::u16string s = u"時報";
    EXPECT_EQ(s.size(), 2u);
    EXPECT_EQ(sizeof(char16_t), 2u);
}

#include "platform/Utf.h"

TEST(Utf, RoundTripsJapaneseAndReplacesBrokenBytes) {
    using movrek::FromUtf8;
    using movrek::ToUtf8;
    EXPECT_EQ(FromUtf8(ToUtf8(u"時報 1:")), u"時報 1:");
    EXPECT_EQ(FromUtf8("\xE6\x99"), u"\uFFFD");        // truncated sequence
    EXPECT_EQ(FromUtf8("a\xC0\x80z"), u"a\uFFFDz");  // overlong NUL is refused
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
}
