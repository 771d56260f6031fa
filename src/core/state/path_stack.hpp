// The current path of a depth-first search: all that the depth-limited core
// (dls, iddfs) and IDA* remember.
//
// `PathStack<D, Extra>` holds one frame per node on the path from the start
// to the node being expanded: the node (by address), its parent, its
// successor list with a cursor into it, the node's g, and one value of the
// driver's own (`Extra`: the depth budget left for the depth-limited core;
// IDA* keeps none), kept in the frame itself so that neither driver pays
// for the other's field or for an indirect call.
// The nodes of the frames are mirrored in an `OnPathSet`.
//
//   push(node, hash, g, extra)  lists node's successors, in the domain's
//                               order, into the buffer of its level and
//                               puts node on the path;
//   next_child(hash, popped)    the next entry of the top frame's list, in
//                               list order, whose node is not on the path
//                               (its hash stored in `hash`), popping every
//                               frame whose list is used up on the way;
//                               `popped(extra)` sees the value of each frame
//                               popped, just after its pop. Null once the
//                               last frame is popped. The step back to the
//                               parent, the commonest on-path hit, is settled
//                               by one comparison; any other entry costs one
//                               hash and one set lookup. The stack must not
//                               be empty;
//   path_to(goal)               copies of the frames' nodes from the bottom
//                               up, then goal.
// size() is the number of nodes on the path, which the drivers report as
// their frontier size and trace as the depth.
//
// Memory: one frame and one successor buffer per level of the deepest path
// held so far (a fixed array for a domain that bounds its successors,
// BoundsSuccessors). Both are reused by later pushes at the same level and
// by later runs on the same stack, so an expansion allocates nothing once
// the deepest level has been reached.
//
// IMPORTANT: a pushed node must stay at its address while it is on the path
// (see OnPathSet). The nodes next_child hands out live in the level buffers
// and qualify; so does a start the caller keeps. The domain must outlive the
// stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "state/on_path_set.hpp"
#include "state/outcome.hpp"
#include "state/path_cost.hpp"

namespace quorvane::detail {

template <Domain D, class Extra>
class PathStack {
public:
    using Node = typename D::Node;

    struct Frame {
        const Node* node;
        const Node* parent;  // null for the start
        const Successor<Node>* next;
        const Successor<Node>* end;
        double g;
        Extra extra;
    };

    explicit PathStack(const D& domain) : domain_(domain) {}

    static uint64_t hash(const Node& node) noexcept { return OnPathSet<Node>::hash(node); }

    bool empty() const noexcept { return above_ == base_; }
    std::size_t size() const noexcept { return static_cast<std::size_t>(above_ - base_); }
    Frame& top() noexcept { return above_[-1].frame; }

    [[gnu::always_inline]] void push(const Node& node, uint64_t hash, double g, Extra extra) {
        if (above_ == made_) add_level();
        Level& level = *above_;
        const Node* parent = above_ == base_ ? nullptr : above_[-1].frame.node;
        const Successor<Node>* first;
        const Successor<Node>* last;
        if constexpr (BoundsSuccessors<D>) {
            Successor<Node>* list = level.list.get();
            first = list;
            last = list + domain_.successors_to(node, list);
        } else {
            SuccessorList<Node>& list = level.list;
            list.clear();
            domain_.successors_into(node, list);
            first = list.data();
            last = first + list.size();
        }
        on_path_.push(node, hash);
        level.frame = {&node, parent, first, last, g, extra};
        ++above_;
    }

    template <class Popped>
    const Successor<Node>* next_child(uint64_t& hash, Popped&& popped) {
        for (;;) {
            Frame& top = above_[-1].frame;
            if (top.next == top.end) {
                const Extra extra = top.extra;
                --above_;
                on_path_.pop();
                popped(extra);
                if (above_ == base_) return nullptr;
                continue;
            }
            const Successor<Node>& entry = *top.next++;
            if (top.parent != nullptr && entry.node == *top.parent) continue;
            const uint64_t h = OnPathSet<Node>::hash(entry.node);
            if (on_path_.contains(entry.node, h)) continue;
            hash = h;
            return &entry;
        }
    }

    std::vector<Node> path_to(const Node& goal) const {
        std::vector<Node> path;
        path.reserve(size() + 1);
        for (const Level* level = base_; level != above_; ++level)
            path.push_back(*level->frame.node);
        path.push_back(goal);
        return path;
    }

    void clear() noexcept {
        above_ = base_;
        on_path_.clear();
    }

private:
    // The list of a level: a vector, or the fixed array of a domain that
    // bounds its successors (BoundsSuccessors), which needs no size checks
    // while it is filled. Either lives on the heap, so growing `levels_`
    // moves the handles and not the entries.
    struct FixedList {
        std::unique_ptr<Successor<Node>[]> entries;
        Successor<Node>* get() const noexcept { return entries.get(); }
    };
    using List = std::conditional_t<BoundsSuccessors<D>, FixedList, SuccessorList<Node>>;

    // The frame of the node at depth d and the list of its successors,
    // among which the node at depth d + 1 lives: the list is refilled only
    // after every deeper level has been left, and its entries keep their
    // addresses until then. A level per cache line, where it fits one.
    struct alignas(64) Level {
        Frame frame;
        List list;
    };

    [[gnu::noinline]] void add_level() {
        const std::size_t depth = size();
        levels_.emplace_back();
        if constexpr (BoundsSuccessors<D>)
            levels_.back().list.entries = std::make_unique<Successor<Node>[]>(D::kMaxSuccessors);
        base_ = levels_.data();
        above_ = base_ + depth;
        made_ = base_ + levels_.size();
    }

    const D& domain_;
    // Never shrinks: deeper levels keep their lists for reuse. The path is
    // levels [base_, above_); pointers rather than counts, which a store of
    // a node word (an integer of the same type) would oblige the compiler
    // to read again.
    std::vector<Level> levels_;
    Level* base_ = nullptr;
    Level* above_ = nullptr;
    Level* made_ = nullptr;  // the end of levels_
    OnPathSet<Node> on_path_;
};

// The ending the depth-first drivers share: a path found is priced afresh
// (path_cost_from_successors: one successor listing per step, part of what
// a caller can observe) and the search stopped at the goal; without a path
// the outcome stays exhausted with cost +inf.
template <Domain D>
void price_found_path(const D& domain, SearchOutcome<typename D::Node>& outcome) {
    if (outcome.path) {
        outcome.cost = path_cost_from_successors(domain, *outcome.path);
        outcome.stop_reason = StopReason::goal;
    }
}

}  // namespace quorvane::detail
