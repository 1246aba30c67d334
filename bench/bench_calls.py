"""Call overhead of MB100.read() and MB100.is_opened against a bare pybind11 method of the same
shape (pyzol.baseline, built with -C cmake.define.PYZOL_BENCH=ON), and the cost of importing
pyzol.unit in a fresh interpreter.

    python bench/bench_calls.py
"""

import statistics
import subprocess
import sys
import timeit

from pyzol import unit

try:
    from pyzol import baseline
except ImportError:
    sys.exit("build the baseline first: pip install . -C cmake.define.PYZOL_BENCH=ON")

N = 200_000
ROUNDS = 15


def per_call(stmt, ours, bare):
    """Best time per call of `stmt` on each object, measured in alternating rounds so that both
    see the same machine."""
    best = [float("inf"), float("inf")]
    for _ in range(ROUNDS):
        for i, obj in enumerate((ours, bare)):
            best[i] = min(best[i], timeit.timeit(stmt, globals={"b": obj}, number=N))
    return best[0] / N * 1e9, best[1] / N * 1e9


def calls():
    board = unit.MB100()
    board.open(0)
    bare = baseline.Bare()
    rows = [
        ("MB100.read()", *per_call("b.read()", board, bare)),
        ("MB100.is_opened", *per_call("b.is_opened", board, bare)),
    ]
    print(f"{'member':<18}{'pyzol ns':>10}{'bare ns':>10}{'ratio':>8}")
    for name, ours, bare_ns in rows:
        print(f"{name:<18}{ours:>10.1f}{bare_ns:>10.1f}{ours / bare_ns:>8.2f}")


def import_time(runs=20):
    def median_of(code):
        samples = []
        for _ in range(runs):
            out = subprocess.run(
                [
                    sys.executable,
                    "-c",
                    f"import time; t=time.perf_counter(); {code}; print(time.perf_counter()-t)",
                ],
                capture_output=True,
                text=True,
                check=True,
            )
            samples.append(float(out.stdout))
        return statistics.median(samples)

    def median_process(code):
        samples = []
        for _ in range(runs):
            t = timeit.default_timer()
            subprocess.run([sys.executable, "-c", code], check=True)
            samples.append(timeit.default_timer() - t)
        return statistics.median(samples)

    inside = median_of("import pyzol.unit")
    bare, full = median_process("pass"), median_process("import pyzol.unit")
    print(
        f"import pyzol.unit (with core): {inside * 1e3:.1f} ms measured inside the interpreter; "
        f"process {full * 1e3:.1f} ms - bare interpreter {bare * 1e3:.1f} ms = "
        f"{(full - bare) * 1e3:.1f} ms (median of {runs})"
    )


if __name__ == "__main__":
    calls()
    import_time()
