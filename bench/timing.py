"""Timing helpers shared by the benchmark scripts."""

import importlib
import time


def best_of(runs, fn):
    """(best wall time of `runs` calls of fn, the last result); freeing the
    previous result is not timed."""
    best, result = float("inf"), None
    for _ in range(runs):
        result = None
        t = time.perf_counter()
        result = fn()
        best = min(best, time.perf_counter() - t)
    return best, result


def optional(name):
    """The module `name`, or None when it is not installed (optional peers)."""
    try:
        return importlib.import_module(name)
    except ImportError:
        return None
