"""Plain Python oracles the module's answers are compared with.

Everything here is slow and obvious on purpose, and imports nothing of the
module under test:

- ``searches``: least costs, move counts, the first-reached-parent BFS path
  and the cost of a walk, for any problem given as a successor function;
- ``domains``: the problems themselves (explicit graphs, grids, the
  N-puzzle, the Towers of Hanoi, word ladders) and the named heuristics;
- ``drivers``: step-for-step models of the search drivers, down to their
  counters, traces and trees, and the comparison of a result with a model;
- ``shortest_paths``: Bellman-Ford and path weights over edge lists.

A problem is a ``successors(node)`` function returning a list of
``(child, step_cost)`` pairs in the order the module's domain lists them.
"""
