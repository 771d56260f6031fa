// Sizes past physical memory are refused before anything of that size is
// allocated or filled (on Linux an overcommitted allocation would succeed
// and the process be killed while filling it); a block kept for reuse comes
// back zeroed, and what a thread kept goes with it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <thread>

#include "graph/grid.hpp"
#include "large_array.hpp"
#include "puzzles/hanoi.hpp"
#include "state/bucket_frontier.hpp"

namespace quorvane {
namespace {

long double physical_memory() {
    return static_cast<long double>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
}

TEST(LargeArray, HanoiDisksPastMemoryAreRefusedOnConstruction) {
    // The constructor allocates nothing: without the check it would succeed.
    const auto disks = static_cast<uint64_t>(physical_memory() / 2) + 1;
    EXPECT_THROW(Hanoi(disks, 3), std::bad_alloc);
    EXPECT_NO_THROW(Hanoi(uint64_t{1} << 20, 3));
}

TEST(LargeArray, GridsPastMemoryAreRefusedBeforeTheirCellsAreFilled) {
    // A wall flag and a double per cell.
    const long double cells = physical_memory() / 9 + 1;
    if (cells > static_cast<long double>(kMaxGridCells)) {
        GTEST_SKIP() << "every grid the size limit allows fits this machine's memory";
    }
    const auto width = static_cast<int32_t>(1 << 16);
    const auto height = static_cast<int32_t>(cells / width) + 1;
    EXPECT_THROW(Grid(width, height), std::bad_alloc);
}

TEST(LargeArray, AKeptBlockComesBackZeroedAndKeptMemoryIsFreedWithItsThread) {
    constexpr std::size_t kBytes = std::size_t{256} << 10;
    void* first = nullptr;
    {
        detail::ZeroedBlock block = detail::ZeroedBlock::allocate(kBytes);
        ASSERT_NE(block.data(), nullptr);
        std::memset(block.data(), 0xab, kBytes);
        first = block.data();
    }
    const detail::ZeroedBlock again = detail::ZeroedBlock::allocate(kBytes);
    EXPECT_EQ(again.data(), first);
    const auto* bytes = static_cast<const unsigned char*>(again.data());
    EXPECT_TRUE(std::all_of(bytes, bytes + kBytes, [](unsigned char b) { return b == 0; }));
    // Under LeakSanitizer: what a thread that has ended kept is freed, a
    // block and the buckets of both frontiers (the radix heap takes over).
    std::thread([] {
        detail::release_kept_block(detail::allocate_kept_block(kBytes), kBytes);
        BucketFrontier<uint32_t> frontier;
        frontier.push(0, 0.5);
    }).join();
}

}  // namespace
}  // namespace quorvane
