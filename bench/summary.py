"""One table of every benchmark, each figure beside the reference it was compared with in the same
run and its target (bench/targets.py), met or missed. Short mode by default; never fails on a
figure.

    python bench/summary.py            # short mode
    python bench/summary.py --long     # the benchmarks' longer rounds
    python bench/summary.py capture    # only the modules whose name contains a word
"""

from __future__ import annotations

import importlib
import sys
import time
import traceback
from pathlib import Path

HERE = Path(__file__).resolve().parent
if str(HERE) not in sys.path:
    sys.path.insert(0, str(HERE))  # the benchmarks import one another by module name

from targets import TARGETS, Row  # noqa: E402

try:
    from pyzol import sim
except ImportError:  # built against the maker's library: no simulated rack
    sim = None


def modules(words: list[str]) -> list[str]:
    names = sorted(path.stem for path in HERE.glob("bench_*.py"))
    return [name for name in names if not words or any(word in name for word in words)]


def collect(words: list[str], quick: bool) -> tuple[list[Row], list[str]]:
    rows: list[Row] = []
    errors: list[str] = []
    for name in modules(words):
        module = importlib.import_module(name)
        summary = getattr(module, "summary", None)
        if summary is None:
            continue
        if sim is not None:
            sim.reset()  # a fresh simulated rack: no board keeps another benchmark's settings
        started = time.perf_counter()
        print(f"{name} ...", end=" ", flush=True, file=sys.stderr)
        try:
            rows.extend(summary(quick=quick))
        except Exception:
            errors.append(f"{name}:\n{traceback.format_exc()}")
            print("failed", file=sys.stderr)
            continue
        print(f"{time.perf_counter() - started:.1f} s", file=sys.stderr)
    return rows, errors


def table(rows: list[Row]) -> str:
    lines = [("measure", "value", "reference (same run)", "target", "")]
    for row in rows:
        target = TARGETS[row.key]
        measure = f"{target.measure} [{row.case}]" if row.case else target.measure
        if row.value is None:
            value, verdict = "-", "not measured"
        else:
            value = f"{row.value:.3g}{target.unit_suffix()}"
            verdict = "met" if target.met(row.value) else "MISSED"
        lines.append((measure, value, row.reference, target.text(), verdict))
    widths = [max(len(line[i]) for line in lines) for i in range(4)]
    out = []
    for i, line in enumerate(lines):
        cells = [
            line[0].ljust(widths[0]),
            line[1].rjust(widths[1]),
            line[2].ljust(widths[2]),
            line[3].ljust(widths[3]),
            line[4],
        ]
        out.append("  ".join(cells).rstrip())
        if i == 0:
            out.append("  ".join("-" * w for w in widths) + "  ------")
    return "\n".join(out)


def main(argv: list[str]) -> int:
    quick = "--long" not in argv
    words = [arg for arg in argv if not arg.startswith("-")]
    started = time.perf_counter()
    rows, errors = collect(words, quick)
    print(
        f"Python {sys.version.split()[0]}, {'short' if quick else 'long'} mode, "
        f"{time.perf_counter() - started:.0f} s"
    )
    print(table(rows))
    for error in errors:
        print(f"\nbenchmark failed: {error}", file=sys.stderr)
    # Figures never fail the run; a benchmark that breaks does.
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
