// The current path of a depth-first search: all that the depth-limited core
// (dls, iddfs) and IDA* remember.
//
// `PathStack<D, Extra>` holds one frame per node on the path from the start
// to the node being expanded: the node (by address), its parent, its
// successor list with a cursor into it, the node's g, and one value of the
// driver's own (`Extra`: the depth budget left for the depth-limited core,
// the least pruned f below the node for IDA*), kept in the frame itself so
// that neither driver pays for the other's field or for an indirect call.
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
// held so far. The buffers are reused by later pushes at the same level and
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
#include <utility>
#include <vector>

#include "domain.hpp"
#include "state/on_path_set.hpp"
#include "state/outcome.hpp"
#include "state/path_cost.hpp"

namespace quorvane::detail {

// One reusable successor list per level of the current path. The list of
// level d holds the successors of the node at depth d; the node at depth
// d + 1 lives in it, so it is refilled only after every deeper level has been
// left. Entries keep their addresses while the list is untouched (growing
// the outer vector moves the lists, not their elements).
template <class Node>
class LevelBuffers {
public:
    template <class D>
    SuccessorList<Node>& fill(const D& domain, std::size_t level, const Node& node) {
        if (level == lists_.size()) lists_.emplace_back();
        SuccessorList<Node>& list = lists_[level];
        list.clear();
        domain.successors_into(node, list);
        return list;
    }

private:
    std::vector<SuccessorList<Node>> lists_;
};

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

    bool empty() const noexcept { return frames_.empty(); }
    std::size_t size() const noexcept { return on_path_.size(); }
    Frame& top() noexcept { return frames_.back(); }

    void push(const Node& node, uint64_t hash, double g, Extra extra) {
        const SuccessorList<Node>& list = buffers_.fill(domain_, frames_.size(), node);
        on_path_.push(node, hash);
        const Node* parent = frames_.empty() ? nullptr : frames_.back().node;
        frames_.push_back({&node, parent, list.data(), list.data() + list.size(), g, extra});
    }

    template <class Popped>
    const Successor<Node>* next_child(uint64_t& hash, Popped&& popped) {
        for (;;) {
            Frame& top = frames_.back();
            if (top.next == top.end) {
                const Extra extra = top.extra;
                frames_.pop_back();
                on_path_.pop();
                popped(extra);
                if (frames_.empty()) return nullptr;
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
        path.reserve(frames_.size() + 1);
        for (const Frame& frame : frames_) path.push_back(*frame.node);
        path.push_back(goal);
        return path;
    }

    void clear() noexcept {
        frames_.clear();
        on_path_.clear();
    }

private:
    const D& domain_;
    LevelBuffers<Node> buffers_;
    std::vector<Frame> frames_;
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
