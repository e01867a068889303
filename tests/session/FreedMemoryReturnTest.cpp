// Freed heap pages go back to the system: a heap left full of holes by
// short-lived allocations, its top held by a few that live on, costs
// resident memory until the trim, and not after.

#include "session/FreedMemoryReturn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

long residentAnonymousKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("RssAnon:", 0) == 0)
            return std::strtol(line.c_str() + 8, nullptr, 10);
    }
    return -1;
}

TEST(FreedMemoryReturn, GivesBackTheHolesThatFreedAllocationsLeave)
{
#if !defined(__GLIBC__)
    GTEST_SKIP() << "the trim is the GNU C library's";
#elif defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator keeps its own heap";
#endif
    // 16 MB in blocks the heap serves itself (under its mapping threshold),
    // each one touched; every 64th lives on and pins the pages around it.
    constexpr std::size_t Blocks = 64 * 1024, Size = 256;
    std::vector<char*> blocks(Blocks);
    for (char*& block : blocks) {
        block = static_cast<char*>(std::malloc(Size));
        std::memset(block, 1, Size);
    }
    for (std::size_t i = 0; i < Blocks; ++i) {
        if (i % 64 != 0) {
            std::free(blocks[i]);
            blocks[i] = nullptr;
        }
    }
    const long held = residentAnonymousKb();
    ASSERT_GT(held, 0);
    ASSERT_TRUE(FreedMemoryReturn::returnNow());
    const long after = residentAnonymousKb();
    EXPECT_LT(after, held - 8 * 1024) << "held " << held << " kB, after the trim " << after << " kB";
    for (char* block : blocks)
        std::free(block);
}

} // namespace
