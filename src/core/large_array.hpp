// Memory for large arrays: the allocator of write-once arrays (graph arcs,
// edge lists, big hash tables), the blocks a search's tables reuse from one
// search to the next (through kept_memory.hpp), zero-filled blocks (the
// dense reached tables, the one-word hashed table's slots), and the
// up-front refusal of sizes this machine cannot hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace quorvane {

// Throws std::bad_alloc when `bytes` is more than this machine's physical
// memory, i.e. an allocation that could only end with the process killed.
// Sizes the machine could hold are left to the allocator.
void refuse_oversized_allocation(long double bytes);

namespace detail {

// Arrays of at least this many bytes are mapped on their own.
inline constexpr std::size_t kLargeArrayBytes = std::size_t{4} << 20;

// Fresh anonymous memory for a large array, aligned to and asked for
// transparent huge pages where the system has them; throws std::bad_alloc.
void* map_large_array(std::size_t bytes);
void unmap_large_array(void* p, std::size_t bytes) noexcept;

// Blocks of kKeptBlockBytes up to kLargeArrayBytes for arrays made anew
// on every call (a search's tables, a graph's edges and arcs): handed on
// release to the thread's keeper (kept_memory.hpp, which states what it
// keeps and how much) and handed out again for the next block of the same
// size. A search grows its tables through these sizes every time, and
// memory that is already there costs a fraction of fresh pages, which the
// kernel faults in and clears one by one. Every block of kLargeArrayBytes
// or more (mapped above, or a ZeroedBlock) counts as a big block for the
// keeper while it is in use.
inline constexpr std::size_t kKeptBlockBytes = std::size_t{64} << 10;
// Throws std::bad_alloc; its contents are unspecified.
void* allocate_kept_block(std::size_t bytes);
void release_kept_block(void* p, std::size_t bytes) noexcept;

// A zero-filled block. From kLargeArrayBytes on it is mapped on its own,
// asked for transparent huge pages, and its pages are only materialised when
// first touched: a search sweeping a big grid touches a few entries on each
// of thousands of rows, and 4 KiB pages would then miss the TLB on nearly
// every access. From kKeptBlockBytes it is one of the kept blocks (above),
// cleared: clearing up to 4 MiB costs less than the page faults of a search
// that touches a fraction of its pages (each page read, then written, faults
// twice). Smaller blocks come from calloc.
class ZeroedBlock {
public:
    ZeroedBlock() noexcept = default;
    ZeroedBlock(ZeroedBlock&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          mapping_(std::exchange(other.mapping_, nullptr)),
          mapped_bytes_(std::exchange(other.mapped_bytes_, 0)),
          kept_bytes_(std::exchange(other.kept_bytes_, 0)) {}
    ZeroedBlock& operator=(ZeroedBlock&&) = delete;
    ZeroedBlock(const ZeroedBlock&) = delete;
    ~ZeroedBlock() { release(); }

    // Nothing (a null data()) when the memory cannot be had.
    static ZeroedBlock allocate(std::size_t bytes) noexcept;

    void* data() const noexcept { return data_; }

    void swap(ZeroedBlock& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(mapping_, other.mapping_);
        std::swap(mapped_bytes_, other.mapped_bytes_);
        std::swap(kept_bytes_, other.kept_bytes_);
    }

    // Hands the whole pages inside [offset, offset + bytes) of a mapped
    // block back to the system; elsewhere does nothing. The range's bytes
    // are unspecified afterwards (zero where they were handed back).
    void discard(std::size_t offset, std::size_t bytes) const noexcept;

private:
    void map_huge(std::size_t bytes) noexcept;
    void release() noexcept;

    void* data_ = nullptr;
    void* mapping_ = nullptr;
    std::size_t mapped_bytes_ = 0;
    // The size of a block the keeper knows of: a kept one or a big one.
    std::size_t kept_bytes_ = 0;
};

}  // namespace detail

// The allocator of large arrays that are filled right after they are
// allocated, often in scattered order: graph arcs, edge lists, big hash
// tables. A graph of a million arcs fills tens of megabytes: with 4 KiB
// pages the page faults alone cost about as much as the writes, and a
// search over it misses the TLB on nearly every node. Arrays of
// kLargeArrayBytes or more therefore get their own huge-page mapping (freed
// back to the system with the array); smaller ones come from std::allocator,
// or with kKeepMiddle (KeptArrayAllocator: arrays made anew on every call)
// from kKeptBlockBytes on from the kept blocks.
//
// Value-initialisation (`resize`, the size constructor) leaves elements
// default-initialised, i.e. trivial ones unwritten: give a value where the
// elements must start defined.
template <class T, bool kKeepMiddle = false>
struct LargeArrayAllocator {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = LargeArrayAllocator<U, kKeepMiddle>;
    };

    LargeArrayAllocator() noexcept = default;
    template <class U>
    LargeArrayAllocator(const LargeArrayAllocator<U, kKeepMiddle>&) noexcept {}

    static_assert(alignof(T) <= alignof(std::max_align_t));

    T* allocate(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= detail::kLargeArrayBytes)
            return static_cast<T*>(detail::map_large_array(bytes));
        if (kKeepMiddle && bytes >= detail::kKeptBlockBytes)
            return static_cast<T*>(detail::allocate_kept_block(bytes));
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= detail::kLargeArrayBytes) {
            detail::unmap_large_array(p, bytes);
        } else if (kKeepMiddle && bytes >= detail::kKeptBlockBytes) {
            detail::release_kept_block(p, bytes);
        } else {
            std::allocator<T>().deallocate(p, n);
        }
    }

    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    friend bool operator==(const LargeArrayAllocator&, const LargeArrayAllocator&) noexcept {
        return true;
    }
};

template <class T>
using KeptArrayAllocator = LargeArrayAllocator<T, true>;

}  // namespace quorvane
