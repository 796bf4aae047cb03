#include <gtest/gtest.h>

#include <string>

#include "sound/Kque.h"

using movrek::kque;

namespace {
std::u16string Item(int i) {
    std::u16string item = u"p";
    for (char digit : std::to_string(i)) item += static_cast<char16_t>(digit);
    return item;
}
}  // namespace

TEST(Kque, HoldsOneLessThanItsCapacityAndDropsTheNewest) {
    kque q(60);
    for (int i = 0; i < 60; ++i) q.Put(Item(i));  // the 60th is dropped
    EXPECT_EQ(q.Get(), u"p0");
    q.Put(u"late");  // one cell freed: stored
    q.Put(u"dropped");
    for (int i = 1; i < 59; ++i) EXPECT_EQ(q.Get(), Item(i));
    EXPECT_EQ(q.Get(), u"late");
    EXPECT_EQ(q.Get(), u"");
}

TEST(Kque, EmptyGetChangesNothingAndOrderSurvivesTheWrap) {
    kque q(4);
    EXPECT_EQ(q.Get(), u"");
    EXPECT_EQ(q.Get(), u"");
    // Walk the ring several times round, with the queue at various fill levels.
    int next_in = 0, next_out = 0;
    for (int round = 0; round < 5; ++round) {
        for (int k = 0; k < 3; ++k) q.Put(Item(next_in++));
        for (int k = 0; k < 2; ++k) EXPECT_EQ(q.Get(), Item(next_out++));
        q.Put(Item(next_in++));
        while (next_out < next_in) EXPECT_EQ(q.Get(), Item(next_out++));
        EXPECT_EQ(q.Get(), u"");
    }
}

TEST(Kque, ClearDiscardsEverythingAndTheQueueGoesOnFromThere) {
    kque q(3);
    q.Put(u"a");
    q.Put(u"b");
    q.Clear();
    EXPECT_EQ(q.Get(), u"");
    q.Put(u"c");
    q.Put(u"d");
    q.Put(u"e");  // full again after the clear: dropped
    EXPECT_EQ(q.Get(), u"c");
    EXPECT_EQ(q.Get(), u"d");
    EXPECT_EQ(q.Get(), u"");
}

TEST(Kque, NonPositiveCapacityIsASilentQueueNotACrash) {
    for (int capacity : {0, -5, 1}) {
        kque q(capacity);
        q.Put(u"x");
        EXPECT_EQ(q.Get(), u"") << capacity;
    }
}
