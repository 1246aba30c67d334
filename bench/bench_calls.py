"""Call overhead of MB100.read() and MB100.is_opened against a bare pybind11 method of the same
shape (pyzol.baseline, built with -C cmake.define.PYZOL_BENCH=ON), and the cost of importing
pyzol.unit in a fresh interpreter.

    python bench/bench_calls.py
"""

import statistics
import subprocess
import sys
import timeit

from targets import Row

from pyzol import unit

try:
    from pyzol import baseline
except ImportError:
    baseline = None
NO_BASELINE = "build the baseline first: pip install . -C cmake.define.PYZOL_BENCH=ON"

N = 200_000
ROUNDS = 15
# Short mode: chunks of about a millisecond, many rounds. A chunk shorter than the scheduler's
# slice often runs undisturbed on a shared machine, and the best of many is the machine's speed.
QUICK = (2_000, 60)


def per_call(stmt, ours, bare, n=N, rounds=ROUNDS):
    """Best time per call of `stmt` on each object, measured in alternating rounds so that both
    see the same machine."""
    best = [float("inf"), float("inf")]
    for _ in range(rounds):
        for i, obj in enumerate((ours, bare)):
            best[i] = min(best[i], timeit.timeit(stmt, globals={"b": obj}, number=n))
    return best[0] / n * 1e9, best[1] / n * 1e9


def measure_calls(n=N, rounds=ROUNDS):
    board = unit.MB100()
    board.open(0)
    bare = baseline.Bare()
    return [
        ("MB100.read()", *per_call("b.read()", board, bare, n, rounds)),
        ("MB100.is_opened", *per_call("b.is_opened", board, bare, n, rounds)),
    ]


def calls():
    if baseline is None:
        sys.exit(NO_BASELINE)
    print(f"{'member':<18}{'pyzol ns':>10}{'bare ns':>10}{'ratio':>8}")
    for name, ours, bare_ns in measure_calls():
        print(f"{name:<18}{ours:>10.1f}{bare_ns:>10.1f}{ours / bare_ns:>8.2f}")


def import_times(runs=20):
    """Import of pyzol.unit measured inside fresh interpreters (best and median), and the
    processes' wall times with and without it (medians), in seconds."""

    def inside(code):
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
        return samples

    def median_process(code):
        samples = []
        for _ in range(runs):
            t = timeit.default_timer()
            subprocess.run([sys.executable, "-c", code], check=True)
            samples.append(timeit.default_timer() - t)
        return statistics.median(samples)

    samples = inside("import pyzol.unit")
    bare, full = median_process("pass"), median_process("import pyzol.unit")
    return min(samples), statistics.median(samples), bare, full


def import_time(runs=20):
    _, inside, bare, full = import_times(runs)
    print(
        f"import pyzol.unit (with core): {inside * 1e3:.1f} ms measured inside the interpreter; "
        f"process {full * 1e3:.1f} ms - bare interpreter {bare * 1e3:.1f} ms = "
        f"{(full - bare) * 1e3:.1f} ms (median of {runs})"
    )


def summary(quick=True):
    best, median, bare, full = import_times(15 if quick else 20)
    rows = [
        Row(
            "import_unit",
            best * 1e3,
            f"median {median * 1e3:.1f} ms; process "
            f"{full * 1e3:.0f} ms against a bare interpreter's {bare * 1e3:.0f} ms",
        ),
    ]
    if baseline is None:
        return rows + [Row("member_call", None, NO_BASELINE)]
    n, rounds = QUICK if quick else (N, ROUNDS)
    for name, ours, bare_ns in measure_calls(n, rounds):
        rows.append(
            Row("member_call", ours / bare_ns, f"{ours:.1f} ns against {bare_ns:.1f} ns", name)
        )
    return rows


if __name__ == "__main__":
    calls()
    import_time()
