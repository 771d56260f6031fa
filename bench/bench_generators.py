"""Random graph generators: quorvane_native against networkx, python-igraph and rustworkx.

Each workload builds a graph of the same size with every library in one process.
Times are the best of a few runs (wall clock, seconds); the ratio is the peer's
time over ours (above 1: we are faster). Ours returns a Python edge list, so
each peer is timed making its graph and then its Python edge list
(igraph get_edgelist, rustworkx edge_list, networkx list(edges)). Peers that
are not installed, or that have no such generator, are reported as such.

    PYTHONPATH=<build dir> python3 bench/bench_generators.py [--quick]
"""

import argparse

import quorvane_native as qn
from harness import best_of, optional


nx = optional("networkx")
ig = optional("igraph")
rx = optional("rustworkx")

SEED = 12345


def workloads(quick):
    er_n, ba_n, ws_n = (1000, 10_000, 10_000) if quick else (5000, 100_000, 100_000)
    p, m, k, beta = 0.01, 3, 10, 0.1
    return [
        (
            f"erdos_renyi n={er_n} p={p}",
            lambda: qn.gen_erdos_renyi(er_n, p, SEED),
            [
                ("networkx gnp_random_graph",
                 nx and (lambda: list(nx.gnp_random_graph(er_n, p, seed=SEED).edges))),
                ("networkx fast_gnp_random_graph",
                 nx and (lambda: list(nx.fast_gnp_random_graph(er_n, p, seed=SEED).edges))),
                ("igraph Erdos_Renyi",
                 ig and (lambda: ig.Graph.Erdos_Renyi(n=er_n, p=p).get_edgelist())),
                ("rustworkx undirected_gnp_random_graph",
                 rx and (lambda: list(
                     rx.undirected_gnp_random_graph(er_n, p, seed=SEED).edge_list()))),
            ],
        ),
        (
            f"barabasi_albert n={ba_n} m={m}",
            lambda: qn.gen_barabasi_albert(ba_n, m, SEED),
            [
                ("networkx barabasi_albert_graph",
                 nx and (lambda: list(nx.barabasi_albert_graph(ba_n, m, seed=SEED).edges))),
                ("igraph Barabasi", ig and (lambda: ig.Graph.Barabasi(ba_n, m).get_edgelist())),
                ("rustworkx barabasi_albert_graph",
                 rx and (lambda: list(
                     rx.barabasi_albert_graph(ba_n, m, seed=SEED).edge_list()))),
            ],
        ),
        (
            f"watts_strogatz n={ws_n} k={k} beta={beta}",
            lambda: qn.gen_watts_strogatz(ws_n, k, beta, SEED),
            [
                ("networkx watts_strogatz_graph",
                 nx and (lambda: list(nx.watts_strogatz_graph(ws_n, k, beta, seed=SEED).edges))),
                ("igraph Watts_Strogatz",
                 ig and (lambda: ig.Graph.Watts_Strogatz(dim=1, size=ws_n, nei=k // 2, p=beta)
                               .get_edgelist())),
                ("rustworkx (no Watts-Strogatz generator)", None),
            ],
        ),
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="smaller sizes, for a smoke run")
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()

    if ig is not None:
        ig.set_random_number_generator(__import__("random").Random(SEED))
    print(f"{'workload / implementation':<52} {'seconds':>10} {'ratio':>8}")
    for title, ours, peers in workloads(args.quick):
        print(title)
        our_time = best_of(args.repeats, ours)[0]
        print(f"  {'quorvane_native':<50} {our_time:>10.4f} {1.0:>8.2f}")
        for name, fn in peers:
            if fn is None:
                print(f"  {name:<50} {'n/a':>10}")
                continue
            # networkx is pure Python: fewer repeats keep the run short.
            repeats = 1 if name.startswith("networkx") else args.repeats
            t = best_of(repeats, fn)[0]
            print(f"  {name:<50} {t:>10.4f} {t / our_time:>8.2f}")


if __name__ == "__main__":
    main()
