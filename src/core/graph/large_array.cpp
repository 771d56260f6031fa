#include "graph/large_array.hpp"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace quorvane {

namespace detail {

#if defined(__linux__)
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t page_rounded(std::size_t bytes) noexcept {
    static const std::size_t page = [] {
        const long size = sysconf(_SC_PAGESIZE);
        return size > 0 ? static_cast<std::size_t>(size) : std::size_t{4096};
    }();
    return (bytes + page - 1) / page * page;
}

}  // namespace

void* map_large_array(std::size_t bytes) {
    if (bytes > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
    const std::size_t length = page_rounded(bytes);
    // Map a huge page more than needed, then give back the unaligned head
    // and the tail, leaving `length` bytes that start on a huge page.
    void* mapped = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePage - 1) & ~static_cast<uintptr_t>(kHugePage - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const uintptr_t end = start + length + kHugePage;
    if (end > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);  // a hint only
    return reinterpret_cast<void*>(aligned);
}

void unmap_large_array(void* p, std::size_t bytes) noexcept { munmap(p, page_rounded(bytes)); }
#else
void* map_large_array(std::size_t bytes) { return ::operator new(bytes); }
void unmap_large_array(void* p, std::size_t) noexcept { ::operator delete(p); }
#endif

}  // namespace detail

}  // namespace quorvane
