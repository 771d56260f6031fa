"""What the benchmark scripts share: optional peers, timing, memory, the report.

Every script imports its peer libraries with optional() and skips a peer that
is not installed. Times are wall-clock seconds of the whole Python call; the
previous call's result is freed outside the timing. A ratio printed as
"ours/peer" is our time over the peer's (below 1: we are faster).
"""

import importlib
import json
import os
import statistics
import time


def optional(name):
    """The module `name`, or None when it is not installed (optional peers)."""
    try:
        return importlib.import_module(name)
    except ImportError:
        return None


# --- timing --------------------------------------------------------------------------


def timed(fn):
    """(wall seconds of one call of fn, its result)."""
    t = time.perf_counter()
    result = fn()
    return time.perf_counter() - t, result


def timed_runs(runs, fn):
    """(the wall seconds of each of `runs` calls of fn, the last result)."""
    times, result = [], None
    for _ in range(runs):
        result = None  # the previous result is freed outside the timing
        seconds, result = timed(fn)
        times.append(seconds)
    return times, result


def best_of(runs, fn):
    """(best wall time of `runs` calls of fn, the last result)."""
    times, result = timed_runs(runs, fn)
    return min(times), result


def median_of(runs, fn):
    """(median wall time of `runs` calls of fn, the last result)."""
    times, result = timed_runs(runs, fn)
    return statistics.median(times), result


# --- memory --------------------------------------------------------------------------


def _proc_kib(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return None


def peak_memory(fn):
    """({peak_rss_mib, rise_mib} of one call of fn in this process, or {} where
    Linux's counters are missing; the call's result).

    The high-water mark is reset to the resident size just before the call, so
    peak_rss_mib is the process's peak during the call and rise_mib its rise
    above the size before it. Memory the allocator kept from earlier work is
    reused first, so a call can rise by less than it allocates."""
    try:
        with open("/proc/self/clear_refs", "w") as f:
            f.write("5")  # resets the high-water mark to the current resident size
        before = _proc_kib("VmRSS")
        result = fn()
        peak = _proc_kib("VmHWM")
    except OSError:
        return {}, None
    memory = {"peak_rss_mib": round(peak / 1024, 1), "rise_mib": round((peak - before) / 1024, 1)}
    return memory, result


def peak_memory_in_child(fn):
    """peak_memory's figures for one call of fn made in a forked child, or {}
    where there is no fork or the call raised.

    The child starts as a copy of this process, so inputs built beforehand are
    there and not counted; what the call leaves behind (its result, memory the
    allocator keeps) dies with the child, so it cannot hide part of the rise
    of a call measured after it."""
    if not hasattr(os, "fork"):
        return {}
    read, write = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(read)
        try:
            os.write(write, json.dumps(peak_memory(fn)[0]).encode())
        finally:
            os._exit(0)  # never returns into the caller's code, nor flushes its buffers
    os.close(write)
    with os.fdopen(read) as f:
        text = f.read()
    os.waitpid(pid, 0)
    return json.loads(text) if text else {}


# --- report --------------------------------------------------------------------------


def time_line(name, seconds, ours=None):
    """Prints one time in ms; with `ours`, also ours/peer."""
    ratio = f"   ours/peer {ours / seconds:7.3f}" if ours is not None else ""
    print(f"  {name:<40}{seconds * 1e3:11.2f} ms{ratio}")


def figures(values):
    """Prints one line per extra figure (expansions, memory, ...)."""
    for key, value in values.items():
        print(f"  {key}: {value}")


def report(name, ours, peers, target=None, extra=None):
    """Prints one workload and returns its record; `peers` are (name, seconds).

    The ratio is ours over the fastest peer's time; with a target, whether it
    is met (ratio <= target). The record holds the same figures:
    {workload, ours_s, peers_s, and with peers ratio, vs, with a target target
    and met, then `extra`}."""
    print(f"\n{name}")
    time_line("ours", ours)
    for peer, t in peers:
        time_line(peer, t, ours)
    record = {"workload": name, "ours_s": ours, "peers_s": dict(peers)}
    if peers:
        fastest, t = min(peers, key=lambda p: p[1])
        record["ratio"] = ours / t
        record["vs"] = fastest
        verdict = ""
        if target is not None:
            record["target"] = target
            record["met"] = record["ratio"] <= target
            verdict = f" (target <= {target}) {'met' if record['met'] else 'MISSED'}"
        print(f"  -> vs {fastest}: {record['ratio']:.3f}{verdict}")
    record.update(extra or {})
    figures(extra or {})
    return record


def rate_line(search, expanded):
    """The figures of a search-speed workload: search seconds, expansions,
    million expansions per second of search time."""
    rate = expanded / search if search > 0 else float("inf")
    return f"search {search:8.4f} s  expanded {expanded:>10}  {rate / 1e6:7.2f} M expansions/s"
