// Argument binding and conversion for every module function and method.
//
// Every module function and method is written the same way, all of it in
// the file of its family: its `Signature`, its binder, its run routine and
// its entry point.
//
//   constexpr const char* kBellmanFordParams[] = {"num_nodes", "edges", "source", "undirected"};
//   constexpr Signature kBellmanFord{"bellman_ford", kBellmanFordParams, 3};
//
//   struct BellmanFordArgs { uint64_t num_nodes; EdgeListArg edges; ... };
//
//   BellmanFordArgs bind_bellman_ford(PyObject* args, PyObject* kwargs) {
//       const BoundArgs a = bind(kBellmanFord, args, kwargs);
//       return {a.convert(0, to_count), a.convert(1, to_edge_list), ...};
//   }
//
//   PyRef run_bellman_ford(BellmanFordArgs a) { <the function's checks, then its work> }
//
//   PyObject* bellman_ford(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
//       return guarded([&] { return run_bellman_ford(bind_bellman_ford(args, kwargs)); });
//   }
//
// The binder binds first, then converts parameter by parameter in parameter
// order (a braced list is evaluated left to right). The search functions
// convert their common tail with `convert_search_tail`. A function whose
// parameters are all required binds with `bind_each` and needs no struct;
// when its work is a call or two, that stands in the entry point itself
// (generators.cpp, the methods of shortest_paths.cpp).
//
// `bind` raises the binding errors (too many positional arguments, multiple
// values, unexpected keyword, missing required arguments) with their fixed
// messages; nothing is converted before binding succeeds. Each converter
// raises its own message; `BoundArgs::convert*` then applies the one
// wrapping rule: an exception whose type is exactly TypeError is replaced by
// TypeError "argument '{name}': {message}" (its `__cause__` carried over);
// every other exception passes unchanged. Nested conversions are wrapped
// once, under the parameter's name.
//
// These are the only places where binding and conversion messages are
// written. Converters copy everything out of the Python objects; only
// `object`/`optional_object` keep a reference.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "py.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// Binding

// A parameter list. Every parameter may be given by position or keyword;
// the first `required` have no default.
struct Signature {
    // As messages show it, without "()": "search_grid", "ShortestPaths.path_to".
    const char* function;
    std::span<const char* const> params;
    std::size_t required;
};

inline constexpr std::size_t kMaxParams = 16;

class BoundArgs;

// Binds positional and keyword arguments (kwargs may be null) to `sig`.
BoundArgs bind(const Signature& sig, PyObject* args, PyObject* kwargs);

// The arguments of one call, by parameter index. Holds a reference to each
// given argument until it is destroyed.
class BoundArgs {
public:
    // The argument given for parameter `i` (borrowed), or null if absent.
    PyObject* get(std::size_t i) const noexcept { return slots_[i].get(); }
    bool given(std::size_t i) const noexcept { return slots_[i].get() != nullptr; }
    const char* name(std::size_t i) const noexcept { return sig_->params[i]; }

    // Converts a parameter that must be present (a required one).
    template <class Conv>
    auto convert(std::size_t i, Conv&& conv) const -> std::invoke_result_t<Conv&, PyObject*> {
        try {
            return conv(get(i));
        } catch (...) {
            rethrow_for_argument(i);
        }
    }

    // A defaulted parameter: `fallback` when absent; otherwise converted,
    // `None` included (a `None` for a bool or float option is a TypeError).
    template <class Conv, class T>
    auto convert_or(std::size_t i, Conv&& conv, T fallback) const
        -> std::invoke_result_t<Conv&, PyObject*> {
        if (!given(i)) return fallback;
        return convert(i, conv);
    }

    // A parameter whose default is `None`: nothing when absent or `None`.
    template <class Conv>
    auto convert_optional(std::size_t i, Conv&& conv) const
        -> std::optional<std::invoke_result_t<Conv&, PyObject*>> {
        if (!given(i) || get(i) == Py_None) return std::nullopt;
        return convert(i, conv);
    }

    // The argument itself, unconverted, as a new reference; empty if absent.
    PyRef object(std::size_t i) const { return PyRef::borrow(get(i)); }

    // As `object`, with `None` taken as absent.
    PyRef optional_object(std::size_t i) const {
        return get(i) == Py_None ? PyRef() : PyRef::borrow(get(i));
    }

private:
    friend BoundArgs bind(const Signature&, PyObject*, PyObject*);
    explicit BoundArgs(const Signature& sig) noexcept : sig_(&sig) {}

    // Re-raises the exception being handled, wrapped for parameter `i`.
    [[noreturn]] void rethrow_for_argument(std::size_t i) const;

    const Signature* sig_;
    std::array<PyRef, kMaxParams> slots_{};
};

// ---------------------------------------------------------------------------
// Conversions. Each takes a borrowed, non-null object.

// A `str` (or subclass) copied out as UTF-8. Otherwise TypeError
// "'{type}' object cannot be converted to 'PyString'"; a lone surrogate
// raises the interpreter's UnicodeEncodeError.
std::string to_text(PyObject* o);

// Exactly `True` or `False`; also a numpy bool scalar (through its type's
// `__bool__`). Otherwise TypeError "'{type}' object cannot be converted to
// 'PyBool'".
bool to_flag(PyObject* o);

// Whatever the interpreter converts to a C double (`float`, `int`,
// `__float__`, `__index__`); the interpreter's errors.
double to_real(PyObject* o);

// An unsigned 64-bit integer through `__index__` (a bool is 0 or 1).
// TypeError for a non-integer, OverflowError for a negative value or one of
// 2^64 or more (the interpreter's messages).
uint64_t to_count(PyObject* o);

// As `to_count`, in the signed 64-bit range.
int64_t to_int64(PyObject* o);

// As `to_count`, in the signed 32-bit range.
int32_t to_int32(PyObject* o);

struct IntPair {
    int32_t first;
    int32_t second;
};

// A `tuple` (or subclass) of two int32 items. TypeError "'{type}' object
// cannot be converted to 'PyTuple'" for a non-tuple; ValueError "expected
// tuple of length 2, but got tuple of length {n}".
IntPair to_int_pair(PyObject* o);

struct EdgeTriple {
    uint64_t u;
    uint64_t v;
    double w;
};

// A `tuple` of three items converted as count, count, real; errors as
// `to_int_pair` with length 3.
EdgeTriple to_edge_triple(PyObject* o);

namespace detail {

// Checks that `o` may be read as a sequence and returns an iterator over it
// and its length when readable (else 0). A `str`: TypeError "Can't extract
// `str` to `Vec`"; no sequence: TypeError "'{type}' object cannot be
// converted to 'Sequence'".
std::pair<PyRef, std::size_t> open_sequence(PyObject* o);

// The next item of `iterator`, or an empty reference at the end.
PyRef next_item(PyObject* iterator);

}  // namespace detail

// A non-str sequence whose items are converted one by one with `item`; the
// first failing item stops the conversion with its error. The length, when
// readable, sizes the result: a length no vector can hold is a MemoryError.
template <class Conv>
auto to_sequence(PyObject* o, Conv&& item) -> std::vector<std::invoke_result_t<Conv&, PyObject*>> {
    using Item = std::invoke_result_t<Conv&, PyObject*>;
    auto [iterator, length] = detail::open_sequence(o);
    std::vector<Item> out;
    if (length > out.max_size()) throw std::bad_alloc();
    out.reserve(length);
    while (PyRef next = detail::next_item(iterator.get())) out.push_back(item(next.get()));
    return out;
}

// `to_sequence` as a converter: `a.convert(0, sequence_of(sequence_of(to_real)))`.
template <class Conv>
auto sequence_of(Conv item) {
    return [item](PyObject* o) { return to_sequence(o, item); };
}

// ---------------------------------------------------------------------------
// Parameter lists of required parameters only

namespace detail {
template <class... Conv, std::size_t... I>
auto convert_each(const BoundArgs& a, std::index_sequence<I...>, Conv&... conv) {
    // A braced list: converted left to right, in parameter order.
    return std::tuple<std::invoke_result_t<Conv&, PyObject*>...>{a.convert(I, conv)...};
}
}  // namespace detail

// Binds a parameter list without defaults and converts parameter i with the
// i-th converter; the values as a tuple:
//   const auto [n, p, seed] = bind_each(kSignature, args, kwargs, to_count, to_real, to_count);
template <class... Conv>
auto bind_each(const Signature& sig, PyObject* args, PyObject* kwargs, Conv... conv) {
    const BoundArgs a = bind(sig, args, kwargs);
    return detail::convert_each(a, std::index_sequence_for<Conv...>{}, conv...);
}

// ---------------------------------------------------------------------------
// The common tail of the search functions:
//   algorithm, heuristic, [own option], record, weight, beam_width,
//   depth_limit, max_nodes, [diagonal], reopen

struct SearchTail {
    std::string algorithm;
    PyRef heuristic;  // empty for `None`; any object otherwise
    bool record = true;
    double weight = 2.0;
    std::optional<uint64_t> beam_width;
    std::optional<uint64_t> depth_limit;
    std::optional<uint64_t> max_nodes;
    bool diagonal = false;  // grid functions only
    bool reopen = false;
};

// Where a function's tail stands and what it holds, e.g. for search_graph
// `{.algorithm_at = 4, .default_algorithm = "bfs", .own_option = true}`.
struct TailLayout {
    std::size_t algorithm_at;  // index of `algorithm` in the signature
    const char* default_algorithm = "astar";
    bool own_option = false;  // one own parameter right after `heuristic`
    bool diagonal = false;    // `diagonal` between `max_nodes` and `reopen`
};

namespace detail {
void convert_tail_head(const BoundArgs& a, const TailLayout& layout, SearchTail& tail);
void convert_tail_rest(const BoundArgs& a, std::size_t record_at, const TailLayout& layout,
                       SearchTail& tail);
}  // namespace detail

// Converts the tail in parameter order. With `layout.own_option`, `own` is
// called with the own option's index between `heuristic` and `record`, so
// conversion errors keep parameter order.
template <class OwnOption>
SearchTail convert_search_tail(const BoundArgs& a, const TailLayout& layout, OwnOption&& own) {
    SearchTail tail;
    detail::convert_tail_head(a, layout, tail);
    std::size_t next = layout.algorithm_at + 2;
    if (layout.own_option) own(next++);
    detail::convert_tail_rest(a, next, layout, tail);
    return tail;
}

inline SearchTail convert_search_tail(const BoundArgs& a, const TailLayout& layout) {
    return convert_search_tail(a, layout, [](std::size_t) {});
}

}  // namespace quorvane::py
