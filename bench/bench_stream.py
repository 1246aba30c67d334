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


def by_hand(board, images, seconds):
    """The loop a script writes itself: wait for frame k, skip what the board overwrote."""
    views = [np.asarray(image) for image in images]
    n = len(images)
    board.lock(images)
    board.num = 0
    board.start()
    taken, k, end = 0, 0, time.perf_counter() + seconds
    t0 = time.perf_counter()
    while time.perf_counter() < end:
        total = board.wait_status(k).total_frame_count
        k = max(k, total - (n - 1))
        touch(views[k % n])
        taken += 1
        k += 1
    elapsed = time.perf_counter() - t0
    board.abort()
    board.unlock()
    return taken / elapsed, k - taken


def through_frames(board, images, seconds):
    taken, end = 0, time.perf_counter() + seconds
    t0 = time.perf_counter()
    with frames(board, images) as stream:
        for frame in stream:
            touch(frame.array)
            taken += 1
            if time.perf_counter() >= end:
                break
    return taken / (time.perf_counter() - t0), stream.dropped


def frame_rate(seconds=2.0, rounds=3, period_us=0):
    """Frames taken per second at 1920x1080, alternating the two loops on one board."""
    board = board_with(Width=W, Height=H, TriggerCycleTime=period_us, ExposureTime=period_us,
                       Timeout=60_000)  # fmt: skip
    images = [core.CxImage(W, H) for _ in range(RING)]
    hand, iterated = [], []
    for _ in range(rounds):
        hand.append(by_hand(board, images, seconds))
        iterated.append(through_frames(board, images, seconds))
    h = statistics.median(r for r, _ in hand)
    f = statistics.median(r for r, _ in iterated)
    mode = "free-running" if period_us == 0 else f"every {period_us} us"
    print(
        f"{W}x{H} 8-bit, ring of {RING}, board {mode}: hand-written loop {h:8.1f} frames/s "
        f"(dropped {statistics.median(d for _, d in hand):.0f}), frames() {f:8.1f} frames/s "
        f"(dropped {statistics.median(d for _, d in iterated):.0f}) -> {f / h:.0%} (target >= 90%)"
    )


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


def latency_awaited(rounds):
    board, out = dio_board(1), []

    async def main():
        loop = asyncio.get_running_loop()
        for _ in range(rounds):
            stamps = []
            driver = loop.run_in_executor(None, edge_when_waiting, 1, stamps)
            await aio.wait(board)
            woke = time.perf_counter()
            await driver
            out.append(woke - stamps[0])

    asyncio.run(main())
    board.close()
    return out


def wake_up(rounds=300):
    threaded = statistics.median(latency_thread(rounds)) * 1e6
    awaited = statistics.median(latency_awaited(rounds)) * 1e6
    print(
        f"wake-up after an input edge, median of {rounds}: blocking wait in a thread "
        f"{threaded:6.1f} us, awaited aio.wait() {awaited:6.1f} us"
    )


if __name__ == "__main__":
    print(f"Python {sys.version.split()[0]}")
    frame_rate()
    frame_rate(period_us=2000)
    wake_up()
