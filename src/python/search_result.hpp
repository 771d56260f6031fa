// `SearchResult`: the record a search hands back to Python, the conversion
// of a driver's `SearchOutcome` into it, and the Python form of each node.
//
// Python forms of nodes (`node_to_py`), one new object per occurrence (in a
// `SearchResult`, small ints and cells are shared instead, within the path
// and within trace and tree together: see SharedNodes):
//   grid cell (any type with `.row`, `.col`)   (row, col) tuple of ints
//   graph index (unsigned)                     int
//   N-puzzle / Hanoi state (bytes)             tuple of ints, one per byte
//   numbered Hanoi state (digits)              tuple of ints, one per digit
//   word (std::string)                         str
//   implicit state (int64 elements)            int if exactly one element,
//                                              else tuple of ints
// Trace entries become (node, g or None, frontier_size); tree edges become
// (parent, child).
//
// Trace and tree are made into lists only when Python first reads one of
// them (see ResultLists): a recorded search's millions of entries cost far
// more as Python objects than as the search's own vectors, and most callers
// read neither or only after the search.
//
// All of this runs with the interpreter lock held. A failure of the
// interpreter to make a list, tuple, int, float or str is the panic "Python
// API call failed"; a failing append raises the interpreter's error. For
// trace and tree, either surfaces at the first read of the attribute.
#pragma once

#include <Python.h>

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "large_array.hpp"
#include "py.hpp"
#include "state/outcome.hpp"

namespace quorvane::py {

// An outcome's trace and tree in the driver's own form, waiting to be made
// into lists. Type-erased so that the record (and the class) is one type for
// every node type; one virtual call makes both lists.
class PendingLists {
public:
    PendingLists() = default;
    PendingLists(const PendingLists&) = delete;
    PendingLists& operator=(const PendingLists&) = delete;
    virtual ~PendingLists() = default;

    // New trace and tree lists. Leaves the held entries as they are, so that
    // it may run again while it runs (see ResultLists).
    virtual void build(PyRef& trace, PyRef& tree) const = 0;
};

// The trace and tree of one result: made on the first read of either, both
// together (they share their cells), and then kept, so that every read
// returns the same two lists. The pending entries are freed as soon as the
// lists exist.
//
// Re-entrancy: making millions of objects can start the cyclic collector,
// whose finalizers are arbitrary Python code, and that code (or another
// thread the interpreter switches to meanwhile) may read the same attribute.
// Each such read builds lists of its own from the untouched pending entries;
// whichever finishes first is kept and the others are dropped, and the
// entries are freed only once no build is running.
class ResultLists {
public:
    ResultLists() noexcept = default;
    explicit ResultLists(std::unique_ptr<PendingLists> pending) noexcept
        : pending_(std::move(pending)) {}
    ResultLists(ResultLists&&) noexcept = default;
    ResultLists& operator=(ResultLists&&) noexcept = default;

    // Borrowed; valid while the record lives. Needs the interpreter lock.
    PyObject* trace() {
        materialise();
        return trace_.get();
    }
    PyObject* tree() {
        materialise();
        return tree_.get();
    }

private:
    void materialise();

    std::unique_ptr<PendingLists> pending_;  // null: none, or already made
    PyRef trace_;                            // list, once made
    PyRef tree_;                             // list, once made
    unsigned builds_running_ = 0;
};

// The value a `SearchResult` object holds. Nothing in it changes once built
// except `lists`, which goes once from pending to made (a change no reader
// can see: the lists read the same either way).
struct SearchResultRecord {
    PyRef path;  // list, or empty when no path was found
    double cost = 0.0;
    bool found = false;
    uint64_t nodes_expanded = 0;
    uint64_t nodes_generated = 0;
    uint64_t nodes_reopened = 0;
    uint64_t max_frontier_size = 0;
    double elapsed = 0.0;
    std::string stop_reason;
    ResultLists lists;  // trace and tree
};

// ---------------------------------------------------------------------------
// Node forms

template <class C>
concept CellNode = requires(const C& c) {
    { c.row } -> std::convertible_to<int64_t>;
    { c.col } -> std::convertible_to<int64_t>;
};

template <class S>
concept ByteNode = requires(const S& s, std::size_t i) {
    { s.size() } -> std::convertible_to<std::size_t>;
    requires std::same_as<std::remove_cvref_t<decltype(s[i])>, uint8_t>;
};

// A number read as its digits, at most 64 (a numbered Hanoi state: one
// peg per disk).
template <class S>
concept DigitsNode = requires(const S& s, uint8_t* out) {
    { s.size() } -> std::convertible_to<std::size_t>;
    s.digits_into(out);
};

template <class S>
concept Int64Node = requires(const S& s, std::size_t i) {
    { s.size() } -> std::convertible_to<std::size_t>;
    requires std::same_as<std::remove_cvref_t<decltype(s[i])>, int64_t>;
};

inline PyRef int_to_py(int64_t v) { return made_or_panic(PyLong_FromLongLong(v)); }
inline PyRef uint_to_py(uint64_t v) { return made_or_panic(PyLong_FromUnsignedLongLong(v)); }
PyRef float_to_py(double v);
PyRef str_to_py(std::string_view text);
PyRef bool_to_py(bool b);

// A tuple of the given objects, in order, taking them over. (One call that
// fills the tuple: the limited API has no macro for setting an item, and a
// conversion makes millions of these.)
template <std::same_as<PyRef>... Items>
PyRef tuple_of(Items... items) {
    return made_or_panic(PyTuple_Pack(static_cast<Py_ssize_t>(sizeof...(items)), items.get()...));
}

inline PyRef node_to_py(uint64_t index) { return uint_to_py(index); }

inline PyRef node_to_py(const std::string& word) { return str_to_py(word); }

template <CellNode C>
PyRef node_to_py(const C& cell) {
    PyRef row = int_to_py(cell.row);
    PyRef col = int_to_py(cell.col);
    return tuple_of(std::move(row), std::move(col));
}

template <ByteNode S>
PyRef node_to_py(const S& state) {
    const std::size_t n = state.size();
    PyRef tuple = made_or_panic(PyTuple_New(static_cast<Py_ssize_t>(n)));
    for (std::size_t i = 0; i < n; ++i) {
        PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i),
                        int_to_py(static_cast<uint8_t>(state[i])).release());
    }
    return tuple;
}

template <DigitsNode S>
PyRef node_to_py(const S& state) {
    const std::size_t n = state.size();
    uint8_t digits[64];
    state.digits_into(digits);
    PyRef tuple = made_or_panic(PyTuple_New(static_cast<Py_ssize_t>(n)));
    for (std::size_t i = 0; i < n; ++i) {
        PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), int_to_py(digits[i]).release());
    }
    return tuple;
}

template <Int64Node S>
PyRef node_to_py(const S& state) {
    const std::size_t n = state.size();
    if (n == 1) return int_to_py(state[0]);
    PyRef tuple = made_or_panic(PyTuple_New(static_cast<Py_ssize_t>(n)));
    for (std::size_t i = 0; i < n; ++i) {
        PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), int_to_py(state[i]).release());
    }
    return tuple;
}

// ---------------------------------------------------------------------------
// Outcome -> record

namespace detail {

// The shared object of `slot`, borrowed; made by `make` on first use, the
// new reference then left in `made`.
// IMPORTANT: a slot holds a borrowed pointer. The first reference made goes
// into the result being built, which keeps every shared object alive until
// the conversion ends; on a failure midway the slots are never read again.
template <class Make>
PyObject* share(PyObject*& slot, PyRef& made, Make&& make) {
    if (slot == nullptr) {
        made = make();
        slot = made.get();
    }
    return slot;
}

// An owned reference to `object`, borrowed unless `made` holds it.
inline PyRef owned(PyObject* object, PyRef& made) {
    return made ? std::move(made) : PyRef::borrow(object);
}

// The ints 0 .. kLimit - 1 of one conversion, each made once and shared (an
// int has no identity worth keeping apart): a long trace repeats the same
// coordinates, node numbers and frontier sizes many times over.
//
// `peek` gives an int borrowed, with the reference made for it, if any, in
// `made` (to be dropped once the int is in the result): a conversion's hot
// loop then moves no reference counts but the tuples' own.
class SharedInts {
public:
    static constexpr int64_t kLimit = int64_t{1} << 16;

    SharedInts() = default;
    SharedInts(const SharedInts&) = delete;
    SharedInts& operator=(const SharedInts&) = delete;

    PyObject* peek(int64_t v, PyRef& made) {
        if (v < 0 || v >= kLimit) {
            made = int_to_py(v);
            return made.get();
        }
        const auto i = static_cast<std::size_t>(v);
        if (i >= objects_.size()) objects_.resize(i + 1, nullptr);
        return share(objects_[i], made, [&] { return int_to_py(v); });
    }
    PyObject* peek_unsigned(uint64_t v, PyRef& made) {
        if (v < static_cast<uint64_t>(kLimit)) return peek(static_cast<int64_t>(v), made);
        made = uint_to_py(v);
        return made.get();
    }
    PyRef get_unsigned(uint64_t v) {
        PyRef made;
        PyObject* object = peek_unsigned(v, made);
        return owned(object, made);
    }

private:
    std::vector<PyObject*> objects_;
};

// A tuple that holds only ints, floats, None, strs and such tuples can be
// in no reference cycle; the collector would stop tracking it at its first
// pass anyway. Stopping that at once keeps a conversion of millions of
// tuples from setting off collection after collection, each walking every
// tuple made so far.
inline PyRef untracked(PyRef tuple) {
    PyObject_GC_UnTrack(tuple.get());
    return tuple;
}

// A new untracked tuple of the given borrowed objects.
template <std::same_as<PyObject*>... Items>
PyRef untracked_tuple(Items... items) {
    return untracked(
        made_or_panic(PyTuple_Pack(static_cast<Py_ssize_t>(sizeof...(items)), items...)));
}

// The result form of a node: node_to_py, with small ints shared.
template <class Node>
PyRef result_node(const Node& node, SharedInts&) {
    PyRef py = node_to_py(node);
    if (PyTuple_Check(py.get())) PyObject_GC_UnTrack(py.get());  // a tuple of ints
    return py;
}

inline PyRef result_node(uint64_t index, SharedInts& ints) { return ints.get_unsigned(index); }

template <CellNode C>
PyRef result_node(const C& cell, SharedInts& ints) {
    PyRef made_row, made_col;
    PyObject* row = ints.peek(cell.row, made_row);
    PyObject* col = ints.peek(cell.col, made_col);
    return untracked_tuple(row, col);
}

// The result forms of the nodes of one conversion (the path, or trace and
// tree together). In general one new object per occurrence; cells are made
// once each and shared (a tuple of two ints has no identity worth keeping
// apart) when the cells the conversion names fit a dense table not much
// larger than the conversion itself.
template <class Node>
class SharedNodes {
public:
    template <class ForEachNode>
    SharedNodes(ForEachNode&&, SharedInts& ints) : ints_(ints) {}
    PyRef get(const Node& node) { return result_node(node, ints_); }
    // The node's object borrowed, with the reference made for it, if any,
    // in `made` (see SharedInts).
    PyObject* peek(const Node& node, PyRef& made) {
        if constexpr (std::same_as<Node, uint64_t>) {
            return ints_.peek_unsigned(node, made);
        } else {
            made = result_node(node, ints_);
            return made.get();
        }
    }
    void prefetch(const Node&) const noexcept {}
    void prefetch_object(const Node&) const noexcept {}

private:
    SharedInts& ints_;
};

// The rows and columns spanned by the cells a conversion names, and whether
// a table of that span is small enough to share the cells through it.
struct CellSpan {
    int64_t row0 = 0, row1 = 0, col0 = 0, col1 = 0;
    std::size_t entries = 0;

    template <CellNode C>
    void see(const C& c) noexcept {
        const int64_t r = c.row;
        const int64_t k = c.col;
        if (entries++ == 0) {
            row0 = row1 = r;
            col0 = col1 = k;
        }
        row0 = r < row0 ? r : row0;
        row1 = r > row1 ? r : row1;
        col0 = k < col0 ? k : col0;
        col1 = k > col1 ? k : col1;
    }
    uint64_t rows() const noexcept { return static_cast<uint64_t>(row1 - row0) + 1; }
    uint64_t cols() const noexcept { return static_cast<uint64_t>(col1 - col0) + 1; }
    bool shared() const noexcept {
        const uint64_t bound = 4 * static_cast<uint64_t>(entries) + 65536;
        return entries != 0 && rows() <= bound && cols() <= bound / rows();
    }
};

// Shared objects by index, each made on first use (see share); until
// `allocate`, none are shared and every use makes its own. The table is
// zero-filled as touched, on huge pages when large (large_array.hpp): a
// conversion of a whole maze may ask for megabytes of it.
class SharedObjects {
public:
    void allocate(std::size_t count) {
        block_.emplace(quorvane::detail::ZeroedBlock::allocate(count * sizeof(PyObject*)));
        if (block_->data() == nullptr) throw std::bad_alloc();
        objects_ = static_cast<PyObject**>(block_->data());
    }

    // The object of `index`, borrowed, with the reference made for it, if
    // any, in `made`; `make()` makes it.
    template <class Make>
    PyObject* peek(std::size_t index, PyRef& made, Make&& make) {
        if (objects_ == nullptr) {
            made = make();
            return made.get();
        }
        return share(objects_[index], made, make);
    }

    // A hint that the entry of `index` is read soon.
    void prefetch(std::size_t index) const noexcept {
        if (objects_ != nullptr) __builtin_prefetch(objects_ + index);
    }
    // The same for its object, if made already (its entry prefetched
    // earlier): a tuple that takes it writes its reference count, and the
    // objects a tree names were made tens of megabytes of objects ago.
    void prefetch_object(std::size_t index) const noexcept {
        if (objects_ == nullptr) return;
        if (PyObject* o = objects_[index]) __builtin_prefetch(o, 1);
    }

private:
    std::optional<quorvane::detail::ZeroedBlock> block_;
    PyObject** objects_ = nullptr;  // null while nothing is shared
};

template <CellNode C>
class SharedNodes<C> {
public:
    // `for_each_node(see)` calls `see` with every node to be converted.
    template <class ForEachNode>
    SharedNodes(ForEachNode&& for_each_node, SharedInts& ints) : ints_(ints) {
        CellSpan span;
        for_each_node([&](const C& c) { span.see(c); });
        if (!span.shared()) return;
        row0_ = span.row0;
        col0_ = span.col0;
        stride_ = span.cols();
        objects_.allocate(span.rows() * stride_);
    }
    SharedNodes(const SharedNodes&) = delete;
    SharedNodes& operator=(const SharedNodes&) = delete;

    PyRef get(const C& cell) {
        PyRef made;
        PyObject* object = peek(cell, made);
        return owned(object, made);
    }
    PyObject* peek(const C& cell, PyRef& made) {
        return objects_.peek(slot(cell), made, [&] { return result_node(cell, ints_); });
    }

    // A hint that `cell` is asked for soon. A long conversion asks in
    // wavefront order, which jumps across the table: each miss is worth
    // starting a few entries ahead.
    void prefetch(const C& cell) const noexcept { objects_.prefetch(slot(cell)); }
    void prefetch_object(const C& cell) const noexcept { objects_.prefetch_object(slot(cell)); }

private:
    uint64_t slot(const C& cell) const noexcept {
        return static_cast<uint64_t>(static_cast<int64_t>(cell.row) - row0_) * stride_ +
               static_cast<uint64_t>(static_cast<int64_t>(cell.col) - col0_);
    }

    SharedInts& ints_;
    SharedObjects objects_;  // by slot(cell)
    int64_t row0_ = 0, col0_ = 0;
    uint64_t stride_ = 1;
};

// The result forms of the nodes of a folded record (state/outcome.hpp
// ReachOrder), asked for by position in its array of nodes, where each node
// stands once: shared or not exactly as SharedNodes would share them, but
// found by position. The trace names the expanded nodes in the order of
// that array, and the tree each later node in order beside its parent, an
// earlier one: the table is read almost in order, where a table by cell
// would be read in the wavefront's jumps across the grid.
template <class Node>
class PositionNodes {
public:
    PositionNodes(const RecordArray<Node>& nodes, SharedInts& ints)
        : nodes_(nodes),
          shared_(
              [&](auto&& see) {
                  for (const Node& node : nodes) see(node);
              },
              ints) {}
    PyObject* peek(std::size_t pos, PyRef& made) { return shared_.peek(nodes_[pos], made); }
    void prefetch_object(std::size_t) const noexcept {}

private:
    const RecordArray<Node>& nodes_;
    SharedNodes<Node> shared_;
};

template <CellNode C>
class PositionNodes<C> {
public:
    PositionNodes(const RecordArray<C>& nodes, SharedInts& ints) : nodes_(nodes), ints_(ints) {
        CellSpan span;
        for (const C& c : nodes) span.see(c);
        if (span.shared()) objects_.allocate(nodes.size());
    }
    PositionNodes(const PositionNodes&) = delete;
    PositionNodes& operator=(const PositionNodes&) = delete;

    PyObject* peek(std::size_t pos, PyRef& made) {
        return objects_.peek(pos, made, [&] { return result_node(nodes_[pos], ints_); });
    }
    void prefetch_object(std::size_t pos) const noexcept { objects_.prefetch_object(pos); }

private:
    const RecordArray<C>& nodes_;
    SharedInts& ints_;
    SharedObjects objects_;  // by position
};

// Lists of the result forms of `trace` and `tree`, made at their final size
// and filled in place; an error midway drops the half-filled lists (empty
// slots are allowed there).
template <class Node>
void build_trace_and_tree(const Trace<Node>& trace, const TreeEdges<Node>& tree, PyRef& trace_out,
                          PyRef& tree_out) {
    // How many entries ahead a node's slot in the shared table is asked
    // for; its object, half as many.
    constexpr std::size_t kAhead = 16;
    SharedInts ints;
    SharedNodes<Node> nodes_py(
        [&](auto&& see) {
            for (std::size_t i = 0; i < trace.size(); ++i) see(trace.node(i));
            for (const auto& e : tree) {
                see(e.parent);
                see(e.child);
            }
        },
        ints);
    const std::size_t n = trace.size();
    PyRef trace_list = made_or_panic(PyList_New(static_cast<Py_ssize_t>(n)));
    {
        // Traces run through long stretches of one g: one float serves each
        // (and the next stretch of the same bits after a stretch without g).
        PyRef last_g;
        uint64_t last_g_bits = 0;
        trace.for_each_run([&](std::optional<double> g, std::size_t first, std::size_t last) {
            if (g) {
                const auto bits = std::bit_cast<uint64_t>(*g);
                if (!last_g || bits != last_g_bits) {
                    last_g = float_to_py(*g);
                    last_g_bits = bits;
                }
            }
            PyObject* const g_py = g ? last_g.get() : Py_None;
            for (std::size_t i = first; i < last; ++i) {
                if (i + kAhead < n) nodes_py.prefetch(trace.node(i + kAhead));
                if (i + kAhead / 2 < n) nodes_py.prefetch_object(trace.node(i + kAhead / 2));
                PyRef made_node, made_size;
                PyObject* node = nodes_py.peek(trace.node(i), made_node);
                PyObject* size = ints.peek_unsigned(trace.frontier_size(i), made_size);
                PyList_SetItem(trace_list.get(), static_cast<Py_ssize_t>(i),
                               untracked_tuple(node, g_py, size).release());
            }
        });
    }
    PyRef tree_list = made_or_panic(PyList_New(static_cast<Py_ssize_t>(tree.size())));
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (i + kAhead < tree.size()) {
            nodes_py.prefetch(tree[i + kAhead].parent);
            nodes_py.prefetch(tree[i + kAhead].child);
        }
        if (i + kAhead / 2 < tree.size()) {
            nodes_py.prefetch_object(tree[i + kAhead / 2].parent);
            nodes_py.prefetch_object(tree[i + kAhead / 2].child);
        }
        PyRef made_parent, made_child;
        PyObject* parent = nodes_py.peek(tree[i].parent, made_parent);
        PyObject* child = nodes_py.peek(tree[i].child, made_child);
        PyList_SetItem(tree_list.get(), static_cast<Py_ssize_t>(i),
                       untracked_tuple(parent, child).release());
    }
    trace_out = std::move(trace_list);
    tree_out = std::move(tree_list);
}

// The same lists from a record held folded (state/outcome.hpp ReachOrder),
// read in one pass per list with no unfolded copy in between: the trace
// walks the expansions, its g one float per level; the tree walks the
// reached nodes beside their parents' positions.
template <class Node>
void build_trace_and_tree(const ReachOrder<Node>& folded, PyRef& trace_out, PyRef& tree_out) {
    // How many entries ahead the tree asks for the objects it takes.
    constexpr std::size_t kAhead = 16;
    const RecordArray<Node>& nodes = folded.nodes;
    SharedInts ints;
    PositionNodes<Node> nodes_py(nodes, ints);
    const std::size_t n = folded.reached.size();
    PyRef trace_list = made_or_panic(PyList_New(static_cast<Py_ssize_t>(n)));
    {
        // One float per level: a level's expansions share their g.
        uint64_t g_level = 0;
        PyRef g_py = float_to_py(0.0);
        folded.for_each_expansion([&](std::size_t j, uint64_t level, uint64_t frontier_size) {
            if (level != g_level) {
                g_level = level;
                g_py = float_to_py(static_cast<double>(level));
            }
            PyRef made_node, made_size;
            PyObject* node = nodes_py.peek(j, made_node);
            PyObject* size = ints.peek_unsigned(frontier_size, made_size);
            PyList_SetItem(trace_list.get(), static_cast<Py_ssize_t>(j),
                           untracked_tuple(node, g_py.get(), size).release());
        });
    }
    const std::size_t edges = nodes.size() - 1;
    PyRef tree_list = made_or_panic(PyList_New(static_cast<Py_ssize_t>(edges)));
    const std::unique_ptr<uint32_t[]> parents = folded.parent_positions();
    for (std::size_t i = 0; i < edges; ++i) {
        if (i + kAhead < edges) {
            nodes_py.prefetch_object(parents[i + kAhead]);
            nodes_py.prefetch_object(i + 1 + kAhead);
        }
        PyRef made_parent, made_child;
        PyObject* parent = nodes_py.peek(parents[i], made_parent);
        PyObject* child = nodes_py.peek(i + 1, made_child);
        PyList_SetItem(tree_list.get(), static_cast<Py_ssize_t>(i),
                       untracked_tuple(parent, child).release());
    }
    trace_out = std::move(trace_list);
    tree_out = std::move(tree_list);
}

template <class Node>
class PendingListsOf final : public PendingLists {
public:
    PendingListsOf(Trace<Node>&& trace, TreeEdges<Node>&& tree, ReachOrder<Node>&& folded)
        : trace_(std::move(trace)), tree_(std::move(tree)), folded_(std::move(folded)) {}

    void build(PyRef& trace, PyRef& tree) const override {
        if (folded_.empty()) {
            build_trace_and_tree(trace_, tree_, trace, tree);
        } else {
            build_trace_and_tree(folded_, trace, tree);
        }
    }

private:
    Trace<Node> trace_;
    TreeEdges<Node> tree_;
    ReachOrder<Node> folded_;
};

}  // namespace detail

// Consumes `outcome`. The path is converted at once (it is short: at most
// the nodes on one path); trace and tree (or their folded form) move, as
// they are, into the record to be converted on first read.
template <class Node>
SearchResultRecord build_search_result(SearchOutcome<Node>&& outcome) {
    SearchResultRecord r;
    if (outcome.path) {
        std::vector<Node>& nodes = *outcome.path;
        detail::SharedInts ints;
        detail::SharedNodes<Node> nodes_py(
            [&](auto&& see) {
                for (const Node& n : nodes) see(n);
            },
            ints);
        r.path = made_or_panic(PyList_New(static_cast<Py_ssize_t>(nodes.size())));
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            PyList_SetItem(r.path.get(), static_cast<Py_ssize_t>(i),
                           nodes_py.get(nodes[i]).release());
        }
    }
    if (!outcome.trace.empty() || !outcome.tree.empty() || !outcome.reach_order.empty()) {
        r.lists = ResultLists(std::make_unique<detail::PendingListsOf<Node>>(
            std::move(outcome.trace), std::move(outcome.tree), std::move(outcome.reach_order)));
    }
    r.stop_reason = std::string(stop_reason_word(outcome.stop_reason));
    r.elapsed = outcome.elapsed.seconds();
    r.cost = outcome.cost;
    r.found = outcome.found();
    r.nodes_expanded = outcome.nodes_expanded;
    r.nodes_generated = outcome.nodes_generated;
    r.nodes_reopened = outcome.nodes_reopened;
    r.max_frontier_size = outcome.max_frontier_size;
    return r;
}

// Moves the record into a new `SearchResult` object.
PyRef new_search_result_object(SearchResultRecord record);

// The two steps together, for a run routine's last step.
template <class Node>
PyRef make_search_result(SearchOutcome<Node>&& outcome) {
    return new_search_result_object(build_search_result(std::move(outcome)));
}

}  // namespace quorvane::py
