#include "recording/SlidingSpan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Pushes and drops in turn, as the history does once its hour is full,
// across several moves of the dropped values out of the block: the values
// left are always the latest, in order, and the block is never taken again.
TEST(SlidingSpan, KeepsTheLatestInOrderWithinItsOneBlock)
{
    struct Case { std::size_t kept, dropsBeforeMove, pushes; };
    const Case cases[] = {
        {1, 1, 10},     // every drop moves
        {5, 3, 40},     // drops between moves fewer than kept
        {3, 8, 100},    // more
        {100, 16, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kept << " kept, " << c.dropsBeforeMove << " drops before a move");
        SlidingSpan<int> span(c.kept, c.dropsBeforeMove);
        const int* block = nullptr;
        for (std::size_t i = 0; i < c.pushes; ++i) {
            span.push_back(static_cast<int>(i));
            if (span.size() > c.kept)
                span.pop_front();
            if (!block)
                block = &*span.begin();
            ASSERT_EQ(span.size(), std::min(i + 1, c.kept));
            ASSERT_EQ(span.front(), static_cast<int>(i + 1 - span.size()));
            ASSERT_EQ(span.back(), static_cast<int>(i));
            ASSERT_TRUE(std::is_sorted(span.begin(), span.end()));
            ASSERT_EQ(static_cast<std::size_t>(span.end() - span.begin()), span.size());
            // Searched as an array, as the history searches it.
            const auto found = std::lower_bound(span.begin(), span.end(), span.back());
            ASSERT_EQ(*found, span.back());
        }
        EXPECT_GE(&*span.begin(), block) << "the values moved to another block";
        EXPECT_LT(&*span.begin(), block + c.kept + c.dropsBeforeMove);
    }
}

TEST(SlidingSpan, EmptiesWhenEverythingIsDropped)
{
    SlidingSpan<int> span(4, 2);
    EXPECT_TRUE(span.empty());
    for (int i = 0; i < 5; ++i)
        span.push_back(i);
    for (int i = 0; i < 5; ++i)
        span.pop_front();
    EXPECT_TRUE(span.empty());
    EXPECT_EQ(span.begin(), span.end());
    span.push_back(7);
    EXPECT_EQ(span.front(), 7);
    EXPECT_EQ(span.size(), 1u);
}

} // namespace
