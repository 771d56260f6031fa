#include "kept_memory.hpp"

#include <atomic>
#include <cstdlib>
#include <type_traits>
#include <utility>

namespace quorvane::detail {

namespace {

// Blocks of kLargeArrayBytes or more in use in the process: while there are
// any, no block is kept.
std::atomic<std::size_t> big_blocks_in_use{0};

// The thread's keeper. It is plain data, usable until the thread is gone:
// destructors that run after the thread's KeeperOwner has freed everything
// find it closed, and keep nothing.
class Keeper {
public:
    // The blocks' sizes and the held values' bytes.
    std::size_t held() const noexcept {
        std::size_t total = block_bytes_;
        for (const KeptNode* node = nodes_; node != nullptr; node = node->next)
            total += node->held ? node->bytes : 0;
        return total;
    }

    void* take_block(std::size_t bytes) noexcept {
        for (std::size_t i = count_; i-- > 0;) {
            if (blocks_[i].bytes != bytes) continue;
            void* data = blocks_[i].data;
            block_bytes_ -= bytes;
            blocks_[i] = blocks_[--count_];
            return data;
        }
        return nullptr;
    }

    bool keep_block(void* data, std::size_t bytes) noexcept {
        if (count_ == kBlockSlots || !room_for(bytes) ||
            big_blocks_in_use.load(std::memory_order_relaxed) > 0) {
            std::free(data);
            return false;
        }
        blocks_[count_++] = {data, bytes};
        block_bytes_ += bytes;
        return true;
    }

    bool admit(KeptNode& node, std::size_t bytes, void (*drop)(KeptNode*) noexcept) noexcept {
        if (!room_for(bytes)) return false;
        if (!node.linked) {
            node.next = nodes_;
            node.drop = drop;
            node.linked = true;
            nodes_ = &node;
        }
        node.bytes = bytes;
        node.held = true;
        return true;
    }

    void free_blocks() noexcept {
        for (std::size_t i = 0; i < count_; ++i) std::free(blocks_[i].data);
        count_ = 0;
        block_bytes_ = 0;
    }

    // False the first time only: the caller then makes the KeeperOwner.
    bool mark_owned() noexcept { return std::exchange(owned_, true); }

    void close() noexcept {
        free_blocks();
        while (KeptNode* node = nodes_) {
            nodes_ = node->next;
            node->drop(node);
        }
        closed_ = true;
    }

private:
    static constexpr std::size_t kBlockSlots = 16;

    bool room_for(std::size_t bytes) const noexcept {
        return !closed_ && bytes <= kKeptBytes - held();
    }

    struct Block {
        void* data;
        std::size_t bytes;
    };
    Block blocks_[kBlockSlots];
    std::size_t count_;
    std::size_t block_bytes_;
    KeptNode* nodes_;  // every value kept so far on the thread, most recent first
    bool owned_;
    bool closed_;
};
static_assert(std::is_trivially_destructible_v<Keeper>);

// Zero-initialised: no guard, no destructor.
thread_local Keeper keeper;

// Frees the thread's kept memory when the thread ends.
struct KeeperOwner {
    constexpr KeeperOwner() noexcept = default;
    KeeperOwner(const KeeperOwner&) = delete;
    KeeperOwner& operator=(const KeeperOwner&) = delete;
    ~KeeperOwner() { keeper.close(); }
};
thread_local KeeperOwner keeper_owner;

// The first piece kept on a thread brings its owner to life.
void ensure_owner() noexcept {
    if (!keeper.mark_owned()) static_cast<void>(&keeper_owner);
}

}  // namespace

std::size_t kept_bytes() noexcept { return keeper.held(); }

void* take_kept_block(std::size_t bytes) noexcept { return keeper.take_block(bytes); }

void keep_block(void* data, std::size_t bytes) noexcept {
    if (keeper.keep_block(data, bytes)) ensure_owner();
}

bool admit_kept_node(KeptNode& node, std::size_t bytes, void (*drop)(KeptNode*) noexcept) noexcept {
    if (!keeper.admit(node, bytes, drop)) return false;
    ensure_owner();
    return true;
}

void begin_big_block() noexcept {
    big_blocks_in_use.fetch_add(1, std::memory_order_relaxed);
    keeper.free_blocks();
}

void end_big_block() noexcept { big_blocks_in_use.fetch_sub(1, std::memory_order_relaxed); }

}  // namespace quorvane::detail
