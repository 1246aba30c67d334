"""pyzol.record at 1920x1080 Mono8 against a plain sequential write of the same bytes to the same
folder, in the same run.

    python bench/bench_record.py            # recordings of about 3 s
    python bench/bench_record.py --long     # 10 s, as the targets state
    python bench/bench_record.py --folder /data   # where the files go (a temporary folder there)

1. Plain write: one frame's bytes written again and again with os.write, then fsync: the folder's
   sequential write bandwidth B.
2. Paced: the board paced (TriggerCycleTime) at the frame rate whose data rate is 80% of B, and
   recorded for the run's length: frames dropped (target: none).
3. Free-running: the board as fast as it goes, recorded for the run's length; the bytes written
   over the time from the recording's start (`record()` has returned) to the file closed and
   synced, against a plain write of as many bytes just after; the best of three such pairs
   (target: at least 90%). The reference also gives what the board alone delivers: where the
   disk is faster than the simulated board, the board's own pattern writer is the limit.
4. Memory: resident size before the free-running recordings and the most it reaches during
   them, against the pool and ring the recorder allocates and 16 MiB for the rest (threads,
   queue, descriptions; target: within them); the size after them is in the reference.

Both recordings use a ring of RING frames (0.3 s at 200 frames/s), so that the scheduling stalls
of a busy machine do not count as the disk's; the pool has its default size.
"""

from __future__ import annotations

import argparse
import gc
import os
import shutil
import sys
import tempfile
import threading
import time
from pathlib import Path

from targets import Row

import pyzol
from pyzol import unit

W, H = 1920, 1080
FRAME = W * H
RING = 64
# Resident memory a recording may add besides its pool and ring: the threads' stacks and
# allocator arenas, the queue, the descriptions.
SLACK = 16 * 2**20
ROUNDS = 3


def board(folder: Path, **settings) -> unit.KX210:
    path = folder / "camera.txt"
    settings = dict(Width=W, Height=H, PixelFormat="Mono8", Timeout=60_000, **settings)
    path.write_text("".join(f"{k}={v}\n" for k, v in settings.items()))
    return unit.KX210.from_file(str(path))


def sync(path: Path) -> None:
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fsync(fd)
    finally:
        os.close(fd)


def plain_write(folder: Path, nbytes: int) -> float:
    """MB/s of writing `nbytes` with os.write, one frame at a time, and syncing the file."""
    path = folder / "plain.bin"
    frame = memoryview(bytes(range(256)) * (FRAME // 256))
    started = time.perf_counter()
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        written = 0
        while written < nbytes:
            written += os.write(fd, frame)
        os.fsync(fd)
    finally:
        os.close(fd)
    elapsed = time.perf_counter() - started
    path.unlink()
    return written / elapsed / 1e6


def resident() -> int:
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    return 0


def recording(folder: Path, seconds: float, **settings) -> tuple[pyzol.Recorder, float, int]:
    """Records for `seconds`; gives the recorder, the seconds from its start (record() has
    returned: ring and pool allocated, board running) to the file closed and synced, and the
    most resident memory seen meanwhile."""
    path = folder / "run.tif"
    cam = board(folder, **settings)
    peak, done = [resident()], threading.Event()

    def watch() -> None:
        while not done.wait(0.02):
            peak[0] = max(peak[0], resident())

    watcher = threading.Thread(target=watch, daemon=True)
    watcher.start()
    rec = pyzol.record(cam, path, ring=RING)
    started = time.perf_counter()
    try:
        time.sleep(seconds)
    finally:
        rec.stop()
        rec.wait()
    sync(path)
    elapsed = time.perf_counter() - started
    done.set()
    watcher.join()
    cam.close()
    path.unlink()
    return rec, elapsed, peak[0]


def board_alone(folder: Path, seconds: float = 1.0) -> float:
    """MB/s of frames the free-running board completes, taken through pyzol.frames without a
    copy: what a recorder could get at most on this machine, whatever the disk."""
    cam = board(folder, TriggerCycleTime=0, ExposureTime=0)
    end = time.perf_counter() + seconds
    with pyzol.frames(cam, RING) as stream:
        started = time.perf_counter()
        completed = 0
        for frame in stream:
            completed = frame.status.total_frame_count
            if time.perf_counter() >= end:
                break
    elapsed = time.perf_counter() - started
    cam.close()
    return completed * FRAME / elapsed / 1e6


def summary(quick: bool = True, folder: str | None = None) -> list[Row]:
    seconds = 3.0 if quick else 10.0
    where = Path(tempfile.mkdtemp(prefix="bench_record_", dir=folder))
    try:
        return _measure(where, seconds)
    finally:
        shutil.rmtree(where, ignore_errors=True)


def _measure(folder: Path, seconds: float) -> list[Row]:
    bandwidth = plain_write(folder, int(600e6 * min(seconds, 3.0)))
    # The frame rate of 80% of the bandwidth, as a whole frame period in microseconds.
    period = max(1, round(1e6 / (0.8 * bandwidth * 1e6 / FRAME)))
    paced, _, _ = recording(folder, seconds, TriggerCycleTime=period)
    rate = 1e6 / period
    rows = [
        Row(
            "record_paced",
            paced.dropped,
            f"{seconds:.0f} s at {rate:.0f} frames/s ({rate * FRAME / 1e6:.0f} MB/s, 80% of a "
            f"plain write's {bandwidth:.0f} MB/s; the board delivered "
            f"{(paced.written + paced.dropped) / seconds:.0f}): {paced.written} frames written, "
            f"{paced.pool_full} pool full, {paced.missed} missed, {paced.overrun} overrun",
        )
    ]
    del paced
    gc.collect()

    board_rate = board_alone(folder)
    # Recorder and plain write in turns, ROUNDS times: a shared disk's speed drifts.
    before, ratios, peak, after = resident(), [], 0, 0
    for _ in range(ROUNDS):
        free, elapsed, most = recording(folder, seconds, TriggerCycleTime=0, ExposureTime=0)
        nbytes, allowance = free.progress.nbytes, (free.pool + RING) * FRAME + SLACK
        del free
        gc.collect()
        peak, after = max(peak, most), max(after, resident())
        throughput, plain = nbytes / elapsed / 1e6, plain_write(folder, nbytes)
        ratios.append((throughput / plain, throughput, plain))
    ratio, throughput, plain = max(ratios)
    rows.append(
        Row(
            "record_free",
            100 * ratio,
            f"best of {ROUNDS} rounds: recorder {throughput:.0f} MB/s free-running for "
            f"{seconds:.0f} s, a plain write of the same bytes just after {plain:.0f} MB/s "
            f"(all ratios {', '.join(f'{r:.2f}' for r, _, _ in ratios)}); the board alone "
            f"delivers {board_rate:.0f} MB/s",
        )
    )
    rows.append(
        Row(
            "record_memory",
            100 * (peak - before) / allowance,
            f"resident {before / 2**20:.0f} MiB before, at most {peak / 2**20:.0f} MiB during, "
            f"{after / 2**20:.0f} MiB after; pool and ring and 16 MiB: "
            f"{allowance / 2**20:.0f} MiB",
        )
    )
    return rows


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--long", action="store_true", help="10 s recordings (3 s otherwise)")
    parser.add_argument("--folder", help="where the files go (the system's temporary folder)")
    args = parser.parse_args()
    print(f"Python {sys.version.split()[0]}")
    for row in summary(quick=not args.long, folder=args.folder):
        print(f"{row.key:14} {row.value:8.1f}  {row.reference}")
