"""pyzol.sync: three cameras triggered together from one RM1600 output at 500 Hz for 10 s.

    python bench/bench_sync.py

1. Sets that mix frames of different triggers (target: none).
2. Every frame accounted for: per camera, the triggers sent less its frames delivered, missed
   and dropped, summed over the cameras (target: 0).
3. The time from the trigger's rising edge (the group's write of the output) to the set
   reaching the script: the median and the 99th percentile (the cameras expose 100 us of it).
"""

from __future__ import annotations

import shutil
import sys
import tempfile
import time
from pathlib import Path

from targets import Row

import pyzol
from pyzol import sim

BOARDS = [("KX210", 0), ("KX310", 0), ("KX210", 1)]
OUT = ("RM1600", 0, "out", 3)
RATE = 500
SECONDS = 10


def measure(folder: Path, seconds: float = SECONDS) -> tuple[int, int, list[int], int]:
    """(mixed sets, unaccounted frames, latencies in ns, sets)."""
    path = folder / "trig.txt"
    path.write_text("Width=640\nHeight=480\nTriggerMode=1\nExternalTrigger=1\n"
                    "ExposureTime=100\nTimeout=5000\n")  # fmt: skip
    io = pyzol.open("RM1600", 0)
    cams = [pyzol.open(kind, ident, camera=str(path)) for kind, ident in BOARDS]
    for kind, ident in BOARDS:
        sim.wire(OUT, (kind, ident, "trigger", 0))
    mixed, latencies, count = 0, [], round(RATE * seconds)
    try:
        with pyzol.sync(*cams, trigger=(io, 3), rate=RATE, count=count) as group:
            for s in group:
                latencies.append(time.monotonic_ns() - s.sent_ns)
                mixed += any(f is not None and f.trigger != s.trigger for f in s.frames)
        counters = group.counters
    finally:
        for cam in cams:
            cam.close()
        io.close()
        for kind, ident in BOARDS:
            sim.unwire(OUT, (kind, ident, "trigger", 0))
    unaccounted = sum(abs(counters.triggers - sum(c)) for c in counters.cameras)
    return mixed, unaccounted, sorted(latencies), len(latencies)


def summary(quick: bool = True) -> list[Row]:
    folder = Path(tempfile.mkdtemp(prefix="bench_sync_"))
    try:
        mixed, unaccounted, lat, sets = measure(folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    run = f"{sets} sets of 3 cameras, 640x480 Mono8, {RATE} Hz for {SECONDS} s"
    median, p99 = lat[len(lat) // 2] / 1e6, lat[min(len(lat) - 1, len(lat) * 99 // 100)] / 1e6
    return [
        Row("sync_mixed", mixed, run),
        Row("sync_unaccounted", unaccounted, "triggers sent, less frames, missed and dropped"),
        Row("sync_latency", median, f"median of {sets} sets", "median"),
        Row("sync_latency", p99, f"99th percentile of {sets} sets", "99th percentile"),
    ]


if __name__ == "__main__":
    print(f"Python {sys.version.split()[0]}")
    for row in summary():
        print(f"{row.key:17} {row.case:16} {row.value:8.3f}  {row.reference}")
