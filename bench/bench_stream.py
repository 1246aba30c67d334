"""pyzol.frames and pyzol.aio: frames per second taken through the frame iterator against the
hand-written lock/start/wait_status loop (same board, same run, same rule for whole frames),
and the wake-up latency of an awaited I/O wait against a plain blocking wait in a thread.

    python bench/bench_stream.py
"""

import asyncio
import statistics
import sys
import tempfile
import threading
import time
from pathlib import Path

import numpy as np
from targets import Row

from pyzol import aio, core, frames, sim, unit

TMP = Path(tempfile.mkdtemp(prefix="bench_stream_"))
W, H, RING = 1920, 1080, 8


def board_with(**settings):
    path = TMP / f"cam{len(list(TMP.iterdir()))}.txt"
    path.write_text("".join(f"{k}={v}\n" for k, v in settings.items()))
    return unit.KX210.from_file(str(path))


def touch(array):
    """What the consumer does with a frame: reads its stamp and one row."""
    return int(array[0, 0]) + int(array[H // 2].sum())


class Meter:
    """Frames taken per second, and the consumer thread's CPU time per frame taken."""

    def __init__(self):
        self.t0, self.cpu0, self.taken = time.perf_counter(), time.thread_time(), 0

    def result(self, dropped):
        elapsed, cpu = time.perf_counter() - self.t0, time.thread_time() - self.cpu0
        return self.taken / elapsed, cpu / self.taken * 1e6, dropped


def by_hand(board, images, seconds):
    """The loop a script writes itself: wait for frame k, skip what the board overwrote."""
    views = [np.asarray(image) for image in images]
    n = len(images)
    board.lock(images)
    board.num = 0
    board.start()
    meter, k, end = Meter(), 0, time.perf_counter() + seconds
    while time.perf_counter() < end:
        total = board.wait_status(k).total_frame_count
        if k < total - (n - 1):
            k = total - 1
        touch(views[k % n])
        meter.taken += 1
        k += 1
    result = meter.result(k - meter.taken)
    board.abort()
    board.unlock()
    return result


def through_frames(board, images, seconds):
    meter, end = Meter(), time.perf_counter() + seconds
    with frames(board, images) as stream:
        for frame in stream:
            touch(frame.array)
            meter.taken += 1
            if time.perf_counter() >= end:
                break
        return meter.result(stream.dropped)


def frame_rates(seconds=1.0, rounds=9, period_us=0):
    """Frames taken per second at 1920x1080, alternating the two loops on one board: per loop,
    the (frames/s, consumer CPU us per frame, dropped) of every run."""
    board = board_with(Width=W, Height=H, TriggerCycleTime=period_us, ExposureTime=period_us,
                       Timeout=60_000)  # fmt: skip
    images = [core.CxImage(W, H) for _ in range(RING)]
    runs = {"hand-written loop": [], "frames()": []}
    loops = [("hand-written loop", by_hand), ("frames()", through_frames)]
    for i in range(rounds):
        for name, loop in loops[:: 1 if i % 2 else -1]:  # each goes first every other round
            runs[name].append(loop(board, images, seconds))
    return runs


def frame_rate(seconds=1.0, rounds=9, period_us=0):
    runs = frame_rates(seconds, rounds, period_us)
    mode = "free-running" if period_us == 0 else f"a frame every {period_us} us"
    print(f"{W}x{H} 8-bit, ring of {RING}, board {mode}, medians of {rounds} runs of {seconds} s:")
    medians, bests = {}, {}
    for name, results in runs.items():
        fps, cpu, dropped = (statistics.median(r[i] for r in results) for i in range(3))
        medians[name], bests[name] = fps, max(r[0] for r in results)
        print(f"  {name:<18} {fps:8.1f} frames/s (best run {bests[name]:7.1f}), "
              f"{cpu:6.1f} us consumer CPU per frame, {dropped:.0f} dropped")  # fmt: skip
    ratio = medians["frames()"] / medians["hand-written loop"]
    ratio_best = bests["frames()"] / bests["hand-written loop"]
    print(f"  frames() at {ratio:.0%} of the hand-written loop, best runs {ratio_best:.0%} "
          "(target >= 90%)")  # fmt: skip


def dio_board(ident):
    board = unit.RM1600()
    board.open(ident)
    settings = unit.RM1600Param.from_(board)
    settings.timeout = 60_000
    settings.di_enable = 1
    settings.di_edge = 1
    return board


def edge_when_waiting(ident, stamps):
    """In a thread: once the board's wait is in the library, drive a rising edge; keeps the time."""
    while sim.waiters("RM1600", ident) == 0:
        time.sleep(0.0002)
    sim.set_inputs("RM1600", ident, 0)
    stamps.append(time.perf_counter())
    sim.set_inputs("RM1600", ident, 1)


def latency_thread(rounds):
    board, out = dio_board(0), []
    for _ in range(rounds):
        stamps, woke = [], []

        def wait(woke=woke):
            board.wait()
            woke.append(time.perf_counter())

        waiter = threading.Thread(target=wait)
        waiter.start()
        edge_when_waiting(0, stamps)
        waiter.join()
        out.append(woke[0] - stamps[0])
    board.close()
    return out


def latency_awaited(rounds, wait):
    board, out = dio_board(1), []

    async def main():
        loop = asyncio.get_running_loop()
        for _ in range(rounds):
            stamps = []
            driver = loop.run_in_executor(None, edge_when_waiting, 1, stamps)
            await wait(board)
            woke = time.perf_counter()
            await driver
            out.append(woke - stamps[0])

    asyncio.run(main())
    board.close()
    return out


def wake_up(rounds=300):
    threaded = statistics.median(latency_thread(rounds)) * 1e6
    awaited = statistics.median(latency_awaited(rounds, aio.wait)) * 1e6
    plain = statistics.median(latency_awaited(rounds, lambda b: asyncio.to_thread(b.wait))) * 1e6
    print(
        f"wake-up after an input edge, median of {rounds}: blocking wait in a thread "
        f"{threaded:6.1f} us, awaited aio.wait() {awaited:6.1f} us "
        f"(asyncio.to_thread(board.wait), which cannot be cancelled: {plain:6.1f} us)"
    )


def summary(quick=True):
    runs = frame_rates(*((0.5, 7) if quick else (1.0, 9)))
    ours, theirs = (max(r[0] for r in runs[name]) for name in ("frames()", "hand-written loop"))
    return [
        Row(
            "frames",
            ours / theirs * 100,
            f"{ours:.0f} frames/s against {theirs:.0f} (best runs), board free-running",
        )
    ]


if __name__ == "__main__":
    print(f"Python {sys.version.split()[0]}")
    frame_rate()
    frame_rate(period_us=2000)
    wake_up()
