// The `SearchResult` class: its attributes, `__repr__` and type spec, and
// the small conversions every node form is made of.
#include "search_result.hpp"

#include <charconv>
#include <cmath>

#include "functions.hpp"
#include "native_class.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// Conversions

PyRef float_to_py(double v) { return made_or_panic(PyFloat_FromDouble(v)); }

PyRef str_to_py(std::string_view text) {
    return made_or_panic(
        PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

PyRef bool_to_py(bool b) { return PyRef::borrow(b ? Py_True : Py_False); }

void ResultLists::materialise() {
    if (trace_) {
        // (A build that failed after a re-entering one succeeded leaves the
        // entries to free here.)
        if (builds_running_ == 0) pending_.reset();
        return;
    }
    PyRef trace, tree;
    if (!pending_) {
        // Nothing was recorded.
        trace = made_or_panic(PyList_New(0));
        tree = made_or_panic(PyList_New(0));
        trace_ = std::move(trace);
        tree_ = std::move(tree);
        return;
    }
    {
        // `pending_` stays put while any build runs: a read re-entering from
        // Python code run by the build makes lists of its own from it.
        ++builds_running_;
        struct Finished {
            unsigned& running;
            ~Finished() { --running; }
        } finished{builds_running_};
        pending_->build(trace, tree);
    }
    // The first build to finish is the one every read sees.
    if (!trace_) {
        trace_ = std::move(trace);
        tree_ = std::move(tree);
    }
    if (builds_running_ == 0) pending_.reset();
}

PyRef new_search_result_object(SearchResultRecord record) {
    return new_instance(ClassId::search_result, std::move(record));
}

namespace {

// The fewest significant digits that read back as `v`, written positionally
// with zeros as needed: "12", "7.5", "0.0000001", "1000000000000000000000",
// "100000000000000000000000" for 1e23; "inf", "-inf", "NaN".
// `to_chars` in fixed form is no substitute: beyond 2^53 it may prefer the
// exact digits of the value ("99999999999999991611392" for 1e23), which are
// no longer than the padded shortest form.
std::string shortest_decimal(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    // "[-]d[.ddd]e(+|-)xx"
    std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    std::string out;
    if (text.front() == '-') {
        out.push_back('-');
        text.remove_prefix(1);
    }
    const std::size_t e = text.find('e');
    std::string digits;
    for (const char c : text.substr(0, e)) {
        if (c != '.') digits.push_back(c);
    }
    const char* exp_begin = text.data() + e + 1;
    if (*exp_begin == '+') ++exp_begin;
    int exponent = 0;
    std::from_chars(exp_begin, text.data() + text.size(), exponent);
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
        out += digits;
        out.append(whole - digits.size(), '0');
    } else {
        out.append(digits, 0, whole);
        out.push_back('.');
        out.append(digits, whole);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Attributes: the three lists are the record's own objects (trace and tree
// made at the first read of either); everything else is made anew at each
// read.

PyRef list_or_none(const PyRef& list) { return PyRef::borrow(list ? list.get() : Py_None); }

PyRef trace_of(ResultLists& lists) { return PyRef::borrow(lists.trace()); }

PyRef tree_of(ResultLists& lists) { return PyRef::borrow(lists.tree()); }

PyObject* repr(PyObject* self) noexcept {
    return guarded([&] {
        const SearchResultRecord& r = receiver<SearchResultRecord>(self, ClassId::search_result);
        // Not printf: its decimal point follows the process's C locale, which
        // Python code may have changed with locale.setlocale.
        char elapsed_buf[512];
        const auto written = std::to_chars(elapsed_buf, elapsed_buf + sizeof elapsed_buf, r.elapsed,
                                           std::chars_format::fixed, 6);
        const std::string_view elapsed(elapsed_buf,
                                       static_cast<std::size_t>(written.ptr - elapsed_buf));
        std::string text = "SearchResult(found=";
        text += r.found ? "True" : "False";
        text += ", cost=";
        text += r.found ? shortest_decimal(r.cost) : "inf";
        text += ", expanded=" + std::to_string(r.nodes_expanded);
        text += ", frontier=" + std::to_string(r.max_frontier_size);
        text += ", elapsed=";
        text += elapsed;
        text += ", stop=" + r.stop_reason + ")";
        return str_to_py(text);
    });
}

// ---------------------------------------------------------------------------
// Type spec

constexpr const char kDoc[] = R"(The outcome of a search.

Attributes:
    path (list | None): nodes from start to goal, or ``None`` if unreachable.
        Grid nodes are ``(row, col)`` tuples; graph nodes are ints; implicit
        nodes are ints or tuples (as your successor function returns them).
    cost (float): total cost of ``path`` (``inf`` if none).
    found (bool): whether a path was found.
    nodes_expanded (int): nodes taken off the frontier and expanded. A node
        re-expanded after being reopened counts again.
    nodes_generated (int): nodes ever pushed onto the frontier.
    nodes_reopened (int): how many times a closed node was reopened because a
        cheaper path to it turned up. Always ``0`` unless ``reopen=True``; a
        non-zero count is the signature of an inconsistent heuristic.
    max_frontier_size (int): peak frontier size (a memory proxy).
    elapsed (float): seconds the search itself took (excluding building the
        graph and converting the result). The companion to
        ``nodes_expanded``, which is machine-independent.
    stop_reason (str): ``"goal"``, ``"exhausted"`` or ``"node_limit"``.
    trace (list): per-expansion ``(node, g, frontier_size)`` tuples; empty if
        ``record=False``. Replaying ``node`` reproduces the search order
        (this drives the visualization in Phase 4). ``g`` is the cost from the
        start when the node was expanded, or ``None`` where that is not a
        meaningful question — ``bidirectional`` expands half of its nodes in a
        frontier growing backwards from the goal.
    tree (list): edges ``(parent, child)`` of the search tree (each node's
        best-known parent); empty if ``record=False``. Drives
        ``viz.plot_search_tree``. Empty for the iterative-deepening and
        bidirectional algorithms.)";

using Record = SearchResultRecord;

PyGetSetDef kGetters[] = {
    attribute("path", field_getter<&Record::path, list_or_none>),
    attribute("cost", field_getter<&Record::cost, float_to_py>),
    attribute("found", field_getter<&Record::found, bool_to_py>),
    attribute("nodes_expanded", field_getter<&Record::nodes_expanded, uint_to_py>),
    attribute("nodes_generated", field_getter<&Record::nodes_generated, uint_to_py>),
    attribute("nodes_reopened", field_getter<&Record::nodes_reopened, uint_to_py>),
    attribute("max_frontier_size", field_getter<&Record::max_frontier_size, uint_to_py>),
    attribute("elapsed", field_getter<&Record::elapsed, float_to_py>),
    attribute("stop_reason", field_getter<&Record::stop_reason, str_to_py>),
    attribute("trace", field_getter<&Record::lists, trace_of>),
    attribute("tree", field_getter<&Record::lists, tree_of>),
    {},
};

ClassSpec<Record> kClass{"builtins.SearchResult", kDoc, repr, kGetters};

}  // namespace

PyType_Spec* search_result_spec() noexcept { return kClass.get(); }

}  // namespace quorvane::py
