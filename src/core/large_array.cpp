#include "large_array.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "kept_memory.hpp"

namespace quorvane {

namespace {

// Physical memory of the machine in bytes, or 0 when it cannot be read.
long double physical_memory_bytes() noexcept {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_size > 0)
        return static_cast<long double>(pages) * static_cast<long double>(page_size);
#endif
    return 0;
}

}  // namespace

void refuse_oversized_allocation(long double bytes) {
    // Linux overcommits: an allocation past physical memory often succeeds
    // and the process is killed once the pages are touched. Refusing such a
    // size up front turns it into an exception the caller can report.
    static const long double limit = physical_memory_bytes();
    if (limit > 0 && bytes > limit) throw std::bad_alloc();
}

namespace detail {

void* allocate_kept_block(std::size_t bytes) {
    if (void* p = take_kept_block(bytes)) return p;
    if (void* p = std::malloc(bytes)) return p;
    throw std::bad_alloc();
}

void release_kept_block(void* p, std::size_t bytes) noexcept { keep_block(p, bytes); }

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
    begin_big_block();
    const std::size_t length = page_rounded(bytes);
    // Map a huge page more than needed, then give back the unaligned head
    // and the tail, leaving `length` bytes that start on a huge page.
    void* mapped = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        end_big_block();
        throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePage - 1) & ~static_cast<uintptr_t>(kHugePage - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const uintptr_t end = start + length + kHugePage;
    if (end > aligned + length)
        munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);  // a hint only
    return reinterpret_cast<void*>(aligned);
}

void unmap_large_array(void* p, std::size_t bytes) noexcept {
    munmap(p, page_rounded(bytes));
    end_big_block();
}
#else
void* map_large_array(std::size_t bytes) {
    void* p = ::operator new(bytes);
    begin_big_block();
    return p;
}
void unmap_large_array(void* p, std::size_t) noexcept {
    ::operator delete(p);
    end_big_block();
}
#endif

ZeroedBlock ZeroedBlock::allocate(std::size_t bytes) noexcept {
    ZeroedBlock b;
    if (bytes >= kLargeArrayBytes) {
        begin_big_block();
        b.map_huge(bytes);
        if (b.data_ == nullptr) {
            end_big_block();
        } else {
            b.kept_bytes_ = bytes;
        }
        return b;
    }
    if (bytes >= kKeptBlockBytes) {
        if (void* data = take_kept_block(bytes)) {
            std::memset(data, 0, bytes);
            b.data_ = data;
        } else {
            b.data_ = std::calloc(bytes, 1);
        }
        if (b.data_ != nullptr) b.kept_bytes_ = bytes;
        return b;
    }
    b.data_ = std::calloc(bytes == 0 ? 1 : bytes, 1);
    return b;
}

void ZeroedBlock::map_huge(std::size_t bytes) noexcept {
#if defined(__linux__)
    // Huge pages need a block aligned to one: map that much more.
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    if (bytes > SIZE_MAX - kHuge) return;
    const std::size_t length = bytes + kHuge;
    void* m = mmap(nullptr, length, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (m == MAP_FAILED) return;
    const uintptr_t start =
        (reinterpret_cast<uintptr_t>(m) + kHuge - 1) & ~static_cast<uintptr_t>(kHuge - 1);
    madvise(reinterpret_cast<void*>(start), bytes, MADV_HUGEPAGE);  // a hint only
    mapping_ = m;
    mapped_bytes_ = length;
    data_ = reinterpret_cast<void*>(start);
#else
    data_ = std::calloc(bytes, 1);
#endif
}

void ZeroedBlock::discard([[maybe_unused]] std::size_t offset,
                          [[maybe_unused]] std::size_t bytes) const noexcept {
#if defined(__linux__)
    if (mapping_ == nullptr || bytes == 0) return;
    const uintptr_t from = reinterpret_cast<uintptr_t>(data_) + offset;
    const std::size_t page = page_rounded(1);
    const uintptr_t first = (from + page - 1) / page * page;
    const uintptr_t last = (from + bytes) / page * page;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#endif
}

void ZeroedBlock::release() noexcept {
    if (kept_bytes_ >= kLargeArrayBytes) {
        end_big_block();
    } else if (kept_bytes_ != 0) {
        release_kept_block(data_, kept_bytes_);
        return;
    }
#if defined(__linux__)
    if (mapping_ != nullptr) {
        munmap(mapping_, mapped_bytes_);
        return;
    }
#endif
    std::free(data_);
}

}  // namespace detail

}  // namespace quorvane
