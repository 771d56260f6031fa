"""Shared fixtures for the pytest suite."""

import pytest


@pytest.fixture
def call_or_skip():
    """Call a module function, skipping the test while its body is not in place yet."""

    def call(fn, *args, **kwargs):
        try:
            return fn(*args, **kwargs)
        except NotImplementedError:
            pytest.skip(f"{fn.__name__} is not implemented yet")

    return call
