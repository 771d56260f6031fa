// The thread's keeper: whatever the frontiers and blocks of a thread leave
// behind stays within the one cap, and all of it is held by the keeper: the
// heap, by glibc's own count, holds no more than the keeper says it keeps.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
// glibc counts the heap; AddressSanitizer's allocator is not in its count.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define QUORVANE_HEAP_COUNTED 1
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#undef QUORVANE_HEAP_COUNTED
#endif
#endif
#endif

#include "kept_memory.hpp"
#include "large_array.hpp"
#include "state/bucket_frontier.hpp"

namespace quorvane {
namespace {

// The figure README.md gives.
static_assert(detail::kKeptBytes == std::size_t{16} << 20);

#if defined(QUORVANE_HEAP_COUNTED)
std::size_t heap_in_use() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// Pushes n items, then pops them all: integer priorities stay in the
// buckets, fractions send a BucketFrontier on to the radix heap.
template <class Frontier>
void fill_and_drain(uint32_t n, double step) {
    Frontier frontier;
    for (uint32_t i = 0; i < n; ++i) frontier.push(i, static_cast<double>(i % 500) * step);
    while (frontier.pop()) {
    }
}

TEST(KeptMemory, AThreadKeepsAtMostTheCapAndAllOfItInTheKeeper) {
    // Chunk headers and page rounding of at most a few dozen kept pieces,
    // and freed small chunks that glibc still counts as in use.
    constexpr std::size_t kSlack = std::size_t{128} << 10;
    // The heap this thread would use were nothing kept.
    const std::size_t base = heap_in_use() - detail::kept_bytes();
    for (int round = 0; round < 2; ++round) {
        // Blocks of kept sizes, twice the cap in all.
        std::vector<std::pair<void*, std::size_t>> blocks;
        for (std::size_t held = 0; held < 2 * detail::kKeptBytes;) {
            const std::size_t bytes = (std::size_t{3} << 20) - 4096 * blocks.size();
            blocks.emplace_back(detail::allocate_kept_block(bytes), bytes);
            held += bytes;
        }
        fill_and_drain<BucketFrontier<uint32_t>>(30000, 1.0);
        fill_and_drain<BucketFrontier<uint64_t>>(8000, 0.5);
        fill_and_drain<MonotoneFrontier<uint32_t>>(8000, 0.25);
        for (const auto& [data, bytes] : blocks) detail::release_kept_block(data, bytes);
        fill_and_drain<BucketFrontier<uint32_t>>(30000, 1.0);
        const std::size_t kept = detail::kept_bytes();
        EXPECT_GT(kept, detail::kKeptBytes / 2);  // near the cap
        EXPECT_LE(kept, detail::kKeptBytes);
        EXPECT_LE(heap_in_use(), base + kept + kSlack);
    }
}
#endif

}  // namespace
}  // namespace quorvane
