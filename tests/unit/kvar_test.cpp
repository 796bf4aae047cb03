#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>

#include "storage/Kvar.h"

using movrek::kvar;
using namespace std::string_literals;

namespace {

std::u16string Text(const kvar& v) { return std::u16string(v.TextView()); }

}  // namespace

TEST(Kvar, IntegersAndShortTextsStayInlineLongerTextsTakeExactHeapBlocks) {
    kvar number(123456);
    EXPECT_TRUE(number.IsInteger());
    EXPECT_TRUE(number.IsInline());
    EXPECT_EQ(number.Length(), 0);

    kvar four(u"abcd");
    EXPECT_TRUE(four.IsText());
    EXPECT_TRUE(four.IsInline());
    EXPECT_EQ(four.Capacity(), 8u);

    kvar five(u"abcde");  // 10 bytes of text: a block of 12
    EXPECT_FALSE(five.IsInline());
    EXPECT_EQ(five.Capacity(), 10u);
    EXPECT_EQ(Text(five), u"abcde");

    // A shorter text reuses the block; an integer lives in its first bytes.
    five.SetText(u"xy");
    EXPECT_EQ(five.Capacity(), 10u);
    EXPECT_EQ(Text(five), u"xy");
    five.SetInt(-9);
    EXPECT_EQ(five.AsInt(), -9);
    EXPECT_EQ(five.Length(), 0);

    kvar empty(static_cast<const char16_t*>(nullptr));
    EXPECT_TRUE(empty.IsText());
    EXPECT_EQ(empty.Length(), 0);
    EXPECT_TRUE(empty.IsInline());
}

TEST(Kvar, ReserveKeepsLargeEnoughStorageAndOtherwiseStartsZeroFilled) {
    kvar v(u"abcdef");
    const char16_t* before = v.TextView().data();
    v.Reserve(4);
    EXPECT_EQ(v.TextView().data(), before);
    EXPECT_EQ(Text(v), u"abcdef");

    v.Reserve(40);
    EXPECT_EQ(v.Capacity(), 40u);
    EXPECT_EQ(v.Length(), 0);  // contents are not carried over

    kvar small(u"ab");
    small.Reserve(8);
    EXPECT_TRUE(small.IsInline());
    EXPECT_THROW(small.Reserve(SIZE_MAX), std::bad_alloc);
    EXPECT_EQ(small.TextView(), u"ab");
}

TEST(Kvar, AppendTextGrowsExactlyAndAppendsInPlaceWhenItFits) {
    kvar v(u"ab");
    v.AppendText(u"cde");
    EXPECT_EQ(Text(v), u"abcde");
    EXPECT_EQ(v.Capacity(), 10u);

    kvar roomy(u"abcdefgh");
    roomy.SetText(u"ab");
    const char16_t* block = roomy.TextView().data();
    roomy.AppendText(u"XYZ");
    EXPECT_EQ(roomy.TextView().data(), block);
    EXPECT_EQ(Text(roomy), u"abXYZ");

    // Appending a value's own text to itself.
    roomy.AppendText(roomy.TextView());
    EXPECT_EQ(Text(roomy), u"abXYZabXYZ");
    EXPECT_EQ(roomy.Capacity(), 20u);

    kvar number(42);
    number.AppendText(u"x");
    EXPECT_EQ(Text(number), u"42x");
}

TEST(Kvar, CopiesHaveFreshStorageAndNeverCarryTheCache) {
    kvar original(u"a longer text");
    original.AsText();
    ASSERT_NE(original.Cache(), nullptr);

    kvar copy(original);
    EXPECT_EQ(Text(copy), u"a longer text");
    EXPECT_NE(copy.TextView().data(), original.TextView().data());
    EXPECT_EQ(copy.Cache(), nullptr);

    kvar target(7);
    target.AsText();
    const kvar* targetCache = target.Cache();
    target = original;
    EXPECT_EQ(Text(target), u"a longer text");
    EXPECT_EQ(target.Cache(), targetCache);
    EXPECT_EQ(Text(*target.Cache()), u"7");  // the target's cache is left alone

    const char16_t* storage = target.TextView().data();
    kvar& self = target;
    target = self;
    EXPECT_EQ(target.TextView().data(), storage);
    EXPECT_EQ(Text(target), u"a longer text");

    kvar fromInt(u"text");
    fromInt = kvar(-3);
    EXPECT_TRUE(fromInt.IsInteger());
    EXPECT_EQ(fromInt.AsInt(), -3);
}

TEST(Kvar, AsIntReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(kvar(u" 42abc").AsInt(), 42);
    EXPECT_EQ(kvar(u"abc").AsInt(), 0);
    EXPECT_EQ(kvar(u"-7").AsInt(), -7);
    EXPECT_EQ(kvar(u"+8").AsInt(), 8);
    EXPECT_EQ(kvar(u"").AsInt(), 0);
    EXPECT_EQ(kvar(u"\t\u3000 12").AsInt(), 12);
    EXPECT_EQ(kvar(u"- 5").AsInt(), 0);
    EXPECT_EQ(kvar(u"１２").AsInt(), 0);  // full-width digits are not decimal digits here
    EXPECT_EQ(kvar(2147483647).AsInt(), 2147483647);
}

TEST(Kvar, AsIntWrapsOverlongNumbersModulo2To32) {
    EXPECT_EQ(kvar(u"2147483647").AsInt(), INT_MAX);
    EXPECT_EQ(kvar(u"2147483648").AsInt(), INT_MIN);
    EXPECT_EQ(kvar(u"-2147483648").AsInt(), INT_MIN);
    EXPECT_EQ(kvar(u"-2147483649").AsInt(), INT_MAX);
    EXPECT_EQ(kvar(u"4294967296").AsInt(), 0);
    EXPECT_EQ(kvar(u"4294967297").AsInt(), 1);
    EXPECT_EQ(kvar(u"4294967295").AsInt(), -1);
    // 10^40 mod 2^32 = 0 (2^32 divides 10^40 since 10^40 = 2^40 * 5^40).
    EXPECT_EQ(kvar(u"10000000000000000000000000000000000000000").AsInt(), 0);
    // 10^40 + 5 mod 2^32 = 5.
    EXPECT_EQ(kvar(u"10000000000000000000000000000000000000005").AsInt(), 5);
    // 10^100000 - 1: every power of ten from 10^32 on is a multiple of 2^32.
    EXPECT_EQ(kvar(std::u16string(100000, u'9')).AsInt(), -1);
}

TEST(Kvar, AsDoubleReadsTheLeadingFloatingPointNumber) {
    EXPECT_DOUBLE_EQ(kvar(u"0.3").AsDouble(), 0.3);
    EXPECT_EQ(kvar(u"x").AsDouble(), 0.0);
    EXPECT_EQ(kvar(u"1e3").AsDouble(), 1000.0);
    EXPECT_EQ(kvar(u" 2.5abc").AsDouble(), 2.5);
    EXPECT_EQ(kvar(u"-.5").AsDouble(), -0.5);
    EXPECT_EQ(kvar(u"5.").AsDouble(), 5.0);
    EXPECT_EQ(kvar(u".").AsDouble(), 0.0);
    EXPECT_EQ(kvar(u"2e").AsDouble(), 2.0);    // an exponent needs digits
    EXPECT_EQ(kvar(u"2e+x").AsDouble(), 2.0);
    EXPECT_EQ(kvar(u"1.5E-2").AsDouble(), 0.015);
    EXPECT_EQ(kvar(u"0x10").AsDouble(), 0.0);  // decimal only
    EXPECT_EQ(kvar(u"").AsDouble(), 0.0);
    EXPECT_EQ(kvar(-4).AsDouble(), -4.0);
    EXPECT_TRUE(std::isinf(kvar(u"1e999").AsDouble()));
    EXPECT_LT(kvar(u"-1e999").AsDouble(), 0.0);
    EXPECT_EQ(kvar(u"1e-999").AsDouble(), 0.0);
    EXPECT_EQ(kvar(u"0.000e99999999999").AsDouble(), 0.0);
}

TEST(Kvar, AsTextIsMadeInTheCache) {
    kvar number(-15);
    const char16_t* text = number.AsText();
    EXPECT_EQ(std::u16string(text), u"-15");
    ASSERT_NE(number.Cache(), nullptr);
    EXPECT_EQ(number.Cache()->TextView().data(), text);
    EXPECT_TRUE(number.IsInteger());

    EXPECT_EQ(kvar(INT_MIN).AsString(), u"-2147483648");
    EXPECT_EQ(kvar(0).AsString(), u"0");
    EXPECT_EQ(kvar(u"時報").AsString(), u"時報");
}

TEST(Kvar, ConcatenationConvertsTheLeftOperandInItsCache) {
    kvar b(u"B");
    kvar& joined = b + kvar(u"0");
    EXPECT_EQ(Text(joined), u"B0");
    EXPECT_EQ(&joined, b.Cache());
    EXPECT_EQ(Text(b), u"B");
    // With an integer on the right the left text is read as a number and added: B is 0.
    kvar& added = b + kvar(3);
    EXPECT_TRUE(added.IsInteger());
    EXPECT_EQ(added.AsInt(), 3);

    // Integer on the left, text on the right: the integer's text is joined.
    kvar n(12);
    EXPECT_EQ(Text(n + kvar(u"=x")), u"12=x");
    // Text on the left, integer on the right: the text's number is added.
    EXPECT_EQ((kvar(u"40abc") + kvar(2)).AsInt(), 42);
    EXPECT_EQ((kvar(INT_MAX) + kvar(1)).AsInt(), INT_MIN);

    // Combining a previous result gives the cache a cache of its own.
    kvar key(u"key");
    kvar& line = (key + kvar(u"=")) + kvar(u"value");
    EXPECT_EQ(Text(line), u"key=value");
    EXPECT_EQ(&line, key.Cache()->Cache());

    // The right operand may be the left operand's own cache.
    kvar a(u"ab");
    kvar& first = a + kvar(u"c");
    EXPECT_EQ(Text(a + first), u"ababc");
}

TEST(Kvar, ComparisonConvertsTheLeftOperandToTheRightKind) {
    EXPECT_TRUE(kvar(u"") == kvar(u""));
    EXPECT_FALSE(kvar(u"a") == kvar(u"A"));
    EXPECT_FALSE(kvar(u"ab") == kvar(u"abc"));
    EXPECT_TRUE(kvar(5) == kvar(u"5"));
    EXPECT_TRUE(kvar(u"5x") == kvar(5));
    EXPECT_FALSE(kvar(0) == kvar(u""));  // the integer's text is "0"
    EXPECT_TRUE(kvar(u"") == kvar(0));
    kvar left(u"same");
    const kvar& cache = (left + kvar(u""));
    EXPECT_TRUE(left == cache);
}

TEST(Kvar, MidTakesAPartOfTheSourceText) {
    kvar source(u"abcde");
    kvar target(u"keep");
    target.Mid(source, 2, 10);
    EXPECT_EQ(Text(target), u"cde");

    target.SetText(u"keep");
    target.Mid(source, 5, 1);
    EXPECT_EQ(Text(target), u"keep");
    target.Mid(source, 1, 0);
    EXPECT_EQ(Text(target), u"keep");
    target.Mid(source, -1, 2);
    EXPECT_EQ(Text(target), u"keep");
    target.Mid(kvar(12345), 0, 2);
    EXPECT_EQ(Text(target), u"keep");

    target.Mid(source, 1, 3);
    EXPECT_EQ(Text(target), u"bcd");

    kvar self(u"a longer text here");
    self.Mid(self, 2, 6);
    EXPECT_EQ(Text(self), u"longer");
}
