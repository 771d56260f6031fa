// The record every search driver returns, its companion types, and
// `timed`, which fills in the time a driver took.
//
// A driver returns exactly one `SearchOutcome` and reports no error of its
// own. Invariants every driver keeps:
//   - `path` is present exactly when `stop_reason` is `goal`; it starts with
//     the start node and ends with the goal ([start] when start == goal);
//   - `cost` is +inf when `path` is absent;
//   - `nodes_generated` >= 1 (the start); `nodes_reopened` is 0 except in a
//     best-first search with reopening on;
//   - `trace` and `tree` are empty when recording is off; `tree` is filled
//     only by the best-first driver, whose breadth-first loop on slots
//     leaves both empty and keeps its record folded in `reach_order`
//     instead (unfold_record gives them).
// The record owns copies of every node in it; nothing refers back into the
// search's state.
//
// A recorded search holds its whole trace and tree until Python reads them
// (tens of bytes per expansion over millions of expansions), so both are
// kept compact: see Trace. Their large arrays come from
// LargeArrayAllocator, whose huge pages spare the search a page fault every
// 4 KiB of record.
#pragma once

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "large_array.hpp"

namespace quorvane {

enum class StopReason : uint8_t { goal = 0, exhausted = 1, node_limit = 2 };

inline std::string_view stop_reason_word(StopReason r) noexcept {
    static constexpr std::string_view kWords[] = {"goal", "exhausted", "node_limit"};
    return kWords[static_cast<uint8_t>(r)];
}

// An array a search appends its records to. A push is one compare, one
// construction and one increment, small enough to inline into a search
// loop (std::vector's push, with its growth path, is not inlined there);
// growth doubles, out of line. Storage comes from LargeArrayAllocator.
// Elements must not throw when moved.
template <class T>
class RecordArray {
    static_assert(std::is_nothrow_move_constructible_v<T>);

public:
    using value_type = T;
    using iterator = T*;
    using const_iterator = const T*;

    RecordArray() noexcept = default;
    // (Delegating, so that a copy that throws midway destroys what it made.)
    RecordArray(const RecordArray& other) : RecordArray() {
        reserve(other.size_);
        for (const T& value : other) push_back(value);
    }
    RecordArray(RecordArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    RecordArray& operator=(RecordArray other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        return *this;
    }
    ~RecordArray() {
        truncate(0);
        if (data_ != nullptr) LargeArrayAllocator<T>().deallocate(data_, capacity_);
    }

    void push_back(const T& value) {
        if (size_ == capacity_) [[unlikely]] {
            push_back_growing(value);
            return;
        }
        ::new (static_cast<void*>(data_ + size_)) T(value);
        ++size_;
    }
    void reserve(std::size_t capacity) {
        if (capacity > capacity_) reallocate(capacity);
    }
    // Keeps the first `size` elements.
    void truncate(std::size_t size) noexcept {
        while (size_ > size) data_[--size_].~T();
    }

    std::size_t size() const noexcept { return size_; }
    std::size_t capacity() const noexcept { return capacity_; }
    bool empty() const noexcept { return size_ == 0; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    const T& back() const noexcept { return data_[size_ - 1]; }
    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + size_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }

private:
    // `value` may be an element of this array: it is copied before the
    // array moves.
    [[gnu::noinline]] void push_back_growing(const T& value) {
        T copy(value);
        reallocate(capacity_ < 8 ? 16 : 2 * capacity_);
        ::new (static_cast<void*>(data_ + size_)) T(std::move(copy));
        ++size_;
    }

    void reallocate(std::size_t capacity) {
        LargeArrayAllocator<T> allocator;
        T* data = allocator.allocate(capacity);
        for (std::size_t i = 0; i < size_; ++i) {
            ::new (static_cast<void*>(data + i)) T(std::move(data_[i]));
            data_[i].~T();
        }
        if (data_ != nullptr) allocator.deallocate(data_, capacity_);
        data_ = data;
        capacity_ = capacity;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// One expansion, as a driver records it and a reader gets it back.
template <class Node>
struct TraceEntry {
    Node node;
    std::optional<double> g;  // absent only in bidirectional traces
    uint64_t frontier_size;
};

// The trace of one search: its entries in expansion order, each read back
// exactly as it was pushed (g bit for bit: -0.0 stays apart from 0.0, and a
// NaN keeps its sign and payload).
//
// Each entry keeps its node and frontier size; g is kept apart as runs of
// one bit pattern, since a breadth-first or uniform-cost trace holds each g
// over long stretches. An entry costs sizeof(Node) + 8 bytes (16 for a grid
// cell, where node, optional g and size took 32), plus 16 bytes per change
// of g: a trace whose g changes at every entry costs what it did with g
// inline.
// An absent g is a flag of its run, apart from every double.
//
// Reading: operator[] finds its run by binary search; iteration walks the
// runs alongside the entries. Both give TraceEntry values.
template <class Node>
class Trace {
    struct Slot {
        Node node;
        uint64_t frontier_size;
    };
    struct Run {
        uint64_t start;  // index of the run's first entry, | kAbsent when g is absent
        uint64_t bits;   // g's bit pattern; 0 when absent
    };
    static constexpr uint64_t kAbsent = uint64_t{1} << 63;  // no index reaches it

public:
    class const_iterator;

    // Inlined into the search loop (whose size keeps the compiler from
    // choosing it); a new run and growth are out of line.
    [[gnu::always_inline]] void push_back(const TraceEntry<Node>& entry) {
        const uint64_t flag = entry.g ? 0 : kAbsent;
        const uint64_t bits = entry.g ? std::bit_cast<uint64_t>(*entry.g) : 0;
        if (bits != last_bits_ || flag != last_flag_ || slots_.size() == slots_.capacity())
            [[unlikely]] {
            push_slow(entry.node, flag, bits, entry.frontier_size);
            return;
        }
        slots_.push_back(Slot{entry.node, entry.frontier_size});
    }

    void reserve(std::size_t n) { slots_.reserve(n); }
    std::size_t size() const noexcept { return slots_.size(); }
    std::size_t capacity() const noexcept { return slots_.capacity(); }
    bool empty() const noexcept { return slots_.empty(); }

    TraceEntry<Node> operator[](std::size_t i) const {
        const auto after = std::upper_bound(
            runs_.begin(), runs_.end(), static_cast<uint64_t>(i),
            [](uint64_t index, const Run& run) { return index < (run.start & ~kAbsent); });
        return entry(i, after - 1);
    }
    TraceEntry<Node> back() const { return entry(slots_.size() - 1, runs_.end() - 1); }

    const_iterator begin() const noexcept { return const_iterator(this, 0, 0); }
    const_iterator end() const noexcept { return const_iterator(this, slots_.size(), 0); }

    // The parts of entry i, by reference.
    const Node& node(std::size_t i) const noexcept { return slots_[i].node; }
    uint64_t frontier_size(std::size_t i) const noexcept { return slots_[i].frontier_size; }
    // Calls see(g, first, last) for each run in order: entries [first, last)
    // share g (nullopt: absent), and consecutive runs differ in it.
    template <class See>
    void for_each_run(See&& see) const {
        for (std::size_t r = 0; r < runs_.size(); ++r) {
            const std::size_t first = runs_[r].start & ~kAbsent;
            const std::size_t last =
                r + 1 < runs_.size() ? runs_[r + 1].start & ~kAbsent : slots_.size();
            std::optional<double> g;
            if ((runs_[r].start & kAbsent) == 0) g = std::bit_cast<double>(runs_[r].bits);
            see(g, first, last);
        }
    }

private:
    using RunIt = typename std::vector<Run>::const_iterator;

    [[gnu::noinline]] void push_slow(const Node& node, uint64_t flag, uint64_t bits,
                                     uint64_t frontier_size) {
        if (bits != last_bits_ || flag != last_flag_) {
            if (runs_.size() == runs_.capacity()) grow(runs_, slots_);
            runs_.push_back(Run{slots_.size() | flag, bits});
            last_bits_ = bits;
            last_flag_ = flag;
        }
        if (slots_.size() == slots_.capacity()) grow(slots_, runs_);
        slots_.push_back(Slot{node, frontier_size});
    }

    // Doubles `full`, refusing (std::bad_alloc) a size that with `other`
    // passes physical memory: an overcommitted trace would end with the
    // process killed, not with an error.
    template <class Full, class Other>
    [[gnu::noinline]] static void grow(Full& full, const Other& other) {
        const std::size_t capacity = full.capacity() < 8 ? 16 : 2 * full.capacity();
        refuse_oversized_allocation(
            static_cast<long double>(capacity) * sizeof(typename Full::value_type) +
            static_cast<long double>(other.capacity()) * sizeof(typename Other::value_type));
        full.reserve(capacity);
    }

    TraceEntry<Node> entry(std::size_t i, RunIt run) const {
        std::optional<double> g;
        if ((run->start & kAbsent) == 0) g = std::bit_cast<double>(run->bits);
        return TraceEntry<Node>{slots_[i].node, g, slots_[i].frontier_size};
    }

    RecordArray<Slot> slots_;
    std::vector<Run> runs_;
    // The last run's key; a flag no run has before the first push.
    uint64_t last_bits_ = 0;
    uint64_t last_flag_ = 1;
};

// A forward walk over a trace, one TraceEntry value per step.
template <class Node>
class Trace<Node>::const_iterator {
public:
    using value_type = TraceEntry<Node>;
    using difference_type = std::ptrdiff_t;

    const_iterator() = default;
    TraceEntry<Node> operator*() const {
        return trace_->entry(i_, trace_->runs_.begin() + static_cast<std::ptrdiff_t>(run_));
    }
    const_iterator& operator++() {
        ++i_;
        if (run_ + 1 < trace_->runs_.size() && (trace_->runs_[run_ + 1].start & ~kAbsent) == i_)
            ++run_;
        return *this;
    }
    const_iterator operator++(int) {
        const_iterator before = *this;
        ++*this;
        return before;
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) noexcept {
        return a.i_ == b.i_;
    }

private:
    friend class Trace;
    const_iterator(const Trace* trace, std::size_t i, std::size_t run) noexcept
        : trace_(trace), i_(i), run_(run) {}

    const Trace* trace_ = nullptr;
    std::size_t i_ = 0;
    std::size_t run_ = 0;
};

template <class Node>
struct TreeEdge {
    Node parent;
    Node child;
};

template <class Node>
using TreeEdges = RecordArray<TreeEdge<Node>>;

// The record of a breadth-first search whose every step costs 1.0 and that
// reaches each node once (the best-first driver's loop on slots), kept as
// the search made it: the nodes in the order they were first reached (the
// start first; the frontier was the part not yet expanded), and for each
// expansion the number of nodes it reached first. That is the whole trace
// and tree, folded:
//   - expansion j took nodes[j]; its g is its level (the start alone is
//     level 0, level k + 1 is what level k reached), and the frontier then
//     held every node reached before it minus the j + 1 taken;
//   - the nodes reached by expansion j follow those of the expansions
//     before it in `nodes`, each with nodes[j] as its parent.
// An entry costs sizeof(Node) per node reached and one byte per expansion,
// where the unfolded trace and tree cost sizeof(Node) + 8 and 2 *
// sizeof(Node).
template <class Node>
struct ReachOrder {
    RecordArray<Node> nodes;
    RecordArray<uint8_t> reached;  // per expansion, in expansion order

    bool empty() const noexcept { return reached.empty(); }

    // For tree edge k (its child nodes[k + 1]), the position in `nodes` of
    // its parent: positions[k], k < nodes.size() - 1. The search that keeps
    // this record numbers its nodes in 32 bits and reaches each once, so a
    // position fits 32 bits. Written four at a time, since nearly every
    // expansion reaches at most four nodes: the pass has no branch on a
    // count that a reader's walk would mispredict at nearly every parent.
    std::unique_ptr<uint32_t[]> parent_positions() const {
        if (reached.size() > UINT32_MAX) throw std::length_error("record too long to index");
        auto positions = std::make_unique_for_overwrite<uint32_t[]>(nodes.size() + 3);
        uint32_t* at = positions.get();
        for (std::size_t j = 0; j < reached.size(); ++j) {
            const auto parent = static_cast<uint32_t>(j);
            const uint8_t count = reached[j];
            if (count <= 4) [[likely]] {
                at[0] = at[1] = at[2] = at[3] = parent;
            } else {
                std::fill(at, at + count, parent);
            }
            at += count;
        }
        return positions;
    }

    // Calls see(j, level, frontier_size) for each expansion j in order: its
    // node is nodes[j], its g the level, and frontier_size what the
    // frontier held once it was taken.
    template <class See>
    void for_each_expansion(See&& see) const {
        uint64_t before = 1;  // nodes reached before expansion j's own
        uint64_t level = 0;
        uint64_t level_end = 1;  // where the level of expansion j ends in `nodes`
        for (std::size_t j = 0; j < reached.size(); ++j) {
            if (j == level_end) {
                ++level;
                level_end = before;
            }
            see(j, level, before - (j + 1));
            before += reached[j];
        }
    }

    // Appends the trace and tree this record folds.
    void unfold_into(Trace<Node>& trace, TreeEdges<Node>& tree) const {
        trace.reserve(trace.size() + reached.size());
        for_each_expansion([&](std::size_t j, uint64_t level, uint64_t frontier_size) {
            trace.push_back(TraceEntry<Node>{nodes[j], static_cast<double>(level), frontier_size});
        });
        const std::size_t edges = nodes.size() - 1;
        tree.reserve(tree.size() + edges);
        const std::unique_ptr<uint32_t[]> parents = parent_positions();
        for (std::size_t k = 0; k < edges; ++k) tree.push_back({nodes[parents[k]], nodes[k + 1]});
    }
};

// Elapsed time as whole seconds and nanoseconds (< 10^9).
struct Elapsed {
    uint64_t secs = 0;
    uint32_t nanos = 0;

    double seconds() const noexcept { return static_cast<double>(secs) + nanos / 1e9; }

    static Elapsed since(std::chrono::steady_clock::time_point start) noexcept {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        const uint64_t total = ns < 0 ? 0 : static_cast<uint64_t>(ns);
        return {total / 1000000000ULL, static_cast<uint32_t>(total % 1000000000ULL)};
    }
};

template <class Node>
struct SearchOutcome {
    Trace<Node> trace;
    TreeEdges<Node> tree;
    // Trace and tree, folded, in place of both (see unfold_record).
    ReachOrder<Node> reach_order;
    std::optional<std::vector<Node>> path;
    Elapsed elapsed;
    double cost = std::numeric_limits<double>::infinity();
    uint64_t nodes_expanded = 0;
    uint64_t nodes_generated = 0;
    uint64_t max_frontier_size = 0;
    uint64_t nodes_reopened = 0;
    StopReason stop_reason = StopReason::exhausted;

    bool found() const noexcept { return path.has_value(); }
};

// Moves a record kept folded (`reach_order`) into `trace` and `tree`; an
// outcome recorded otherwise stays as it is.
template <class Node>
void unfold_record(SearchOutcome<Node>& out) {
    if (out.reach_order.empty()) return;
    out.reach_order.unfold_into(out.trace, out.tree);
    out.reach_order = ReachOrder<Node>();
}

// Runs `search`, which returns a SearchOutcome, and sets its `elapsed` to
// the time from just before the call to just after its return. Whatever
// `search` builds and frees itself is inside the measured span; the caller's
// own objects (the driver's parameters) are not.
template <class Search>
auto timed(Search&& search) {
    const auto started = std::chrono::steady_clock::now();
    auto out = std::forward<Search>(search)();
    out.elapsed = Elapsed::since(started);
    return out;
}

}  // namespace quorvane
