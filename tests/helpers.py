"""What many test files share: the module's fixed messages, the algorithm
names, small objects standing in for numbers and sequences, a result's
fields, readings of the process (memory, sanitizers, interpreter wording)
and a watch on the interpreter lock."""

import gc
import os
import sys
import threading

import pytest

import quorvane_native as q

# --- messages --------------------------------------------------------------------

HEURISTIC_ERROR = "the heuristic callable must return a float"
SHAPE_ERROR = "successors must return a list of (state, cost) pairs"
STATE_ERROR = "implicit-graph states must be an int or a sequence of ints"
HEURISTIC_TYPE = "heuristic must be a name (str) or a callable h(node, goal) -> float"
UNKNOWN_ALGORITHM = ("unknown algorithm: '{}'. Available: bfs, dfs, ucs, dijkstra, greedy, "
                     "astar, weighted_astar, iddfs, dls, ida_star, beam, bidirectional")
UNKNOWN_GRID_HEURISTIC = ("unknown heuristic: '{}'. Available: zero, manhattan, euclidean, "
                          "octile, or a callable h(node, goal) -> float")

# --- algorithm names ---------------------------------------------------------------

BEST_FIRST = ["bfs", "dfs", "ucs", "greedy", "astar", "weighted_astar"]
ALGORITHMS = BEST_FIRST + ["iddfs", "dls", "ida_star", "beam", "bidirectional"]
# One table parses every function's algorithm name, so an alias runs its full
# name's search everywhere: test_grid.py pins each alias to its name, and other
# tables need the full names only (ALL_NAMES is for the tests of every name).
ALIASES = {"dijkstra": "ucs", "a*": "astar", "wastar": "weighted_astar", "idastar": "ida_star",
           "bidir": "bidirectional"}
ALL_NAMES = ALGORITHMS + list(ALIASES)


def panic_type():
    """The module's PanicException type, caught from a panicking call."""
    try:
        q.search_grid_costs([[]], (0, 0), (0, 0))
    except BaseException as exc:  # noqa: B902 - PanicException derives from BaseException
        return type(exc)
    raise AssertionError("expected a panic")


def panic_message(fn, *args, **kwargs):
    """The message of the PanicException the call must raise."""
    with pytest.raises(panic_type()) as excinfo:
        fn(*args, **kwargs)
    return str(excinfo.value)


# The getters of each result class.
ATTRIBUTES = {
    "SearchResult": ["path", "cost", "found", "nodes_expanded", "nodes_generated",
                     "nodes_reopened", "max_frontier_size", "elapsed", "stop_reason", "trace",
                     "tree"],
    "ShortestPaths": ["source", "dist", "pred", "negative_cycle"],
    "AllPairs": ["num_nodes", "negative_cycle"],
}


def outcome(r):
    """Every field of a SearchResult but the elapsed time; trace and tree last."""
    return (r.path, r.cost, r.found, r.nodes_expanded, r.nodes_generated, r.nodes_reopened,
            r.max_frontier_size, r.stop_reason, r.trace, r.tree)


# --- stand-ins ---------------------------------------------------------------------


class Index:
    """An int only through __index__."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Real:
    """A float only through __float__, which first runs `effect` if given."""

    def __init__(self, value, effect=None):
        self.value, self.effect = value, effect

    def __float__(self):
        if self.effect is not None:
            self.effect()
        return self.value


class LyingLen:
    """A sequence claiming a length no buffer can hold, then holding nothing."""

    def __len__(self):
        return 2**62

    def __iter__(self):
        return iter(())

    def __getitem__(self, i):
        raise IndexError(i)


def two_way_line(state):
    """0 - 1 - 2 - ... - 9, both ways, cost 1."""
    return [(s, 1.0) for s in (state - 1, state + 1) if 0 <= s <= 9]


# --- the process -------------------------------------------------------------------

# Set by scripts/sanitize.sh: the sanitizers' allocator holds freed blocks
# in quarantine, so the process's memory grows whatever the module does.
SANITIZED = bool(os.environ.get("QUORVANE_SANITIZED"))
HAS_STATM = os.path.exists("/proc/self/statm")


def rss_bytes():
    """Resident memory of this process (Linux)."""
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def method_name_as_interpreter_writes_it(qualname):
    """A method without parameters as the interpreter names it in binding errors (it
    gives those errors itself): qualified from 3.9."""
    try:
        [].clear(1)
    except TypeError as error:
        qualified = str(error).startswith("list.clear()")
    return qualname if qualified else qualname.rpartition(".")[2]


def runs_inside(calls):
    """Whether this thread runs Python code while another thread is inside one of `calls`,
    tried in turn until it does: a proof that the call releases the interpreter lock which
    holds however little CPU the process gets.

    The switch interval is made longer than any call, so a thread holding the lock is never
    asked to hand it over: this thread gets it back only when the calling thread releases it
    or ends. That thread clears a flag, with the lock held, as soon as the call returns, so
    the flag still set when this thread runs means the call had not returned. A call that
    releases the lock may still return before this thread is scheduled, and a longer one is
    tried then; a call that keeps the lock is never seen. The collector is off meanwhile: a
    finalizer run inside the calling thread could release the lock outside the call."""
    interval, collecting = sys.getswitchinterval(), gc.isenabled()
    sys.setswitchinterval(1000.0)
    gc.disable()
    try:
        for call in calls:
            state = {"inside": False}

            def caller():
                state["inside"] = True
                try:
                    call()
                except BaseException as exc:  # noqa: B036 - raised again below
                    state["error"] = exc
                state["inside"] = False

            thread = threading.Thread(target=caller)
            thread.start()  # returns once this thread holds the lock again
            seen = state["inside"]
            thread.join()
            if "error" in state:
                raise state["error"]
            if seen:
                return True
        return False
    finally:
        sys.setswitchinterval(interval)
        if collecting:
            gc.enable()
