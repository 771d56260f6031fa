// The memory a thread keeps from one search to the next: one keeper per
// thread, through which every piece of such memory is handed over and taken
// back, under one cap.
//
// Why: a small search repeated many times would otherwise spend more time
// getting memory than searching (fresh pages faulted in and cleared one by
// one, buckets grown from nothing). What is kept:
//   - blocks of kKeptBlockBytes up to kLargeArrayBytes (large_array.hpp):
//     the arrays made anew on every call and the ZeroedBlocks (cleared
//     again when reused), handed back for a later block of exactly their
//     size;
//   - the emptied buckets of the bucket frontiers (state/bucket_frontier.hpp),
//     one set per frontier and item type, handed back to the next frontier
//     of that type.
//
// Contract:
//   - Cap: kKeptBytes (16 MiB) per thread for everything kept together,
//     counted as the blocks' sizes plus the buckets' room (capacity). A
//     piece that would pass it is freed at once instead. Beside it the
//     keeper's own bookkeeping is thread-local storage of fixed size, a few
//     KiB, kept or not.
//   - While any block of kLargeArrayBytes or more is in use in the process,
//     no block is kept, and a thread that takes such a block first frees
//     the blocks it keeps: a big search peaks no higher than without them.
//     Bucket sets are kept regardless, as a frontier offers none of more
//     than 256 KiB.
//   - Everything a thread keeps is freed when the thread ends.
//   - Memory only: a block comes back with unspecified contents, which its
//     taker writes before it reads them, and buckets come back empty; so no
//     result, counter or message depends on whether or what was kept, only
//     the time taken to get memory does.
//   - Cost: memory changes hands only at a frontier's construction and
//     destruction (and once when a bucket frontier falls back to the radix
//     heap) and at a block's allocation and release, never in a search's
//     loop. Taking buckets back is a flag test inline; every other
//     hand-over is one call that looks over at most a few dozen entries.
//   - Each function acts on the calling thread's keeper only; none blocks.
//
// The one other thing a thread keeps is the key of its randomly keyed sets
// (state/keyed_hash.hpp): 16 bytes, no memory for reuse.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>

namespace quorvane::detail {

inline constexpr std::size_t kKeptBytes = std::size_t{16} << 20;

// The bytes this thread keeps now, at most kKeptBytes.
std::size_t kept_bytes() noexcept;

// A kept block of exactly `bytes` (from std::malloc or std::calloc, contents
// unspecified), now the caller's, or null.
void* take_kept_block(std::size_t bytes) noexcept;
// Hands over a block from std::malloc or std::calloc: kept, or freed.
void keep_block(void* data, std::size_t bytes) noexcept;

// Blocks of kLargeArrayBytes or more: the caller of begin_big_block owns one
// until it calls end_big_block.
void begin_big_block() noexcept;
void end_big_block() noexcept;

// A kept value (below) as the keeper sees it: the thread-local place of
// one T, linked into the thread's keeper from the first time it is kept
// until the thread ends. The T is built when the node is linked and lives
// as long as the link, holding memory only while `held`: a hand-over moves
// parts in or out and builds or destroys nothing.
struct KeptNode {
    KeptNode* next;
    std::size_t bytes;  // while held
    void (*drop)(KeptNode*) noexcept;
    bool linked;
    bool held;
};

// Marks the node held with `bytes`, linking it first if it is not; false
// (and nothing changed) when there is no room.
bool admit_kept_node(KeptNode& node, std::size_t bytes, void (*drop)(KeptNode*) noexcept) noexcept;

template <class T>
struct KeptValue {
    KeptNode node;
    alignas(T) unsigned char storage[sizeof(T)];

    T& value() noexcept { return *std::launder(reinterpret_cast<T*>(storage)); }

    // The keeper's last act on the node.
    static void drop(KeptNode* node) noexcept {
        reinterpret_cast<KeptValue*>(node)->value().~T();
        node->linked = false;
        node->held = false;
    }

    // Zero-initialised: no guard, no destructor (the keeper drops the value).
    static KeptValue& of_thread() noexcept {
        thread_local KeptValue kept;
        return kept;
    }
};

// Hands a value of T owning `bytes` of memory to the keeper: at most one
// per T. When it is kept, `fill(T&)` moves it into the keeper's empty T; it
// must neither throw nor allocate. Otherwise nothing happens and the caller
// frees its memory itself.
template <class T, class Fill>
void keep_value(std::size_t bytes, Fill&& fill) noexcept {
    static_assert(std::is_nothrow_default_constructible_v<T>);
    using Kept = KeptValue<T>;
    static_assert(std::is_trivially_default_constructible_v<Kept> &&
                  std::is_trivially_destructible_v<Kept>);
    static_assert(offsetof(Kept, node) == 0);
    Kept& kept = Kept::of_thread();
    if (kept.node.held) return;
    const bool built = kept.node.linked;
    if (!admit_kept_node(kept.node, bytes, &Kept::drop)) return;
    if (!built) ::new (static_cast<void*>(kept.storage)) T();
    fill(kept.value());
}

// Takes back the kept T, if any: `use(T&)` moves all of it out, leaving it
// empty, and must neither throw nor allocate. Returns whether there was
// one. Inline and without a call: a frontier does this on construction.
template <class T, class Use>
bool take_value(Use&& use) noexcept {
    KeptValue<T>& kept = KeptValue<T>::of_thread();
    if (!kept.node.held) return false;
    use(kept.value());
    kept.node.held = false;
    return true;
}

}  // namespace quorvane::detail
