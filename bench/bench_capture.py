"""Capture boards: the cost of handing a list of images to lock(), simulated capture bandwidth
next to a plain memory copy of the same bytes, how freely another Python thread runs while the
main thread sits in wait(), the cost of a numpy view of an image, and a Python capture loop that
views and sums every frame next to the same loop over arrays already in memory.

    python bench/bench_capture.py              # everything
    python bench/bench_capture.py views loop   # only those parts
"""

import statistics
import sys
import tempfile
import threading
import time
import timeit
from pathlib import Path

import numpy as np

from pyzol import core, unit

TMP = Path(tempfile.mkdtemp(prefix="bench_capture_"))


def board_with(**settings):
    path = TMP / f"cam{len(list(TMP.iterdir()))}.txt"
    path.write_text("".join(f"{k}={v}\n" for k, v in settings.items()))
    return unit.KX210.from_file(str(path))


def best(stmt, number, repeat=25):
    return min(timeit.repeat(stmt, number=number, repeat=repeat)) / number


def lock_list(n=10_000):
    """Nanoseconds per image that lock(list) spends beyond a lock([]) call."""
    board = board_with(Width=8, Height=8)
    exact = [core.CxImage(8, 8) for _ in range(n)]

    class Tagged(core.CxImage):
        pass

    subclassed = [Tagged(8, 8) for _ in range(n)]
    empty = best(lambda: board.lock([]), number=2000)
    print(f"lock([])                      {empty * 1e9:10.0f} ns per call")
    for name, images in [("CxImage", exact), ("CxImage subclass", subclassed)]:
        full = best(lambda images=images: board.lock(images), number=20)
        per = (full - empty) / n * 1e9
        print(
            f"lock(list of {n} {name + ')':<18}{full * 1e6:8.1f} us per call, "
            f"{per:5.1f} ns per image beyond the call (target < 30 for CxImage)"
        )
    board.unlock()


def capture(seconds=2.0, ring=8, w=1920, h=1080):
    """Free-running capture of w x h frames into a ring of locked images, against memcpy."""
    # No trigger cycle and no exposure: the board runs free, one frame after another.
    board = board_with(Width=w, Height=h, TriggerCycleTime=0, ExposureTime=0, Timeout=60_000)
    images = [core.CxImage(w, h) for _ in range(ring)]
    board.lock(images)
    board.num = 0
    t0, cpu0 = time.perf_counter(), time.process_time()
    board.start()
    time.sleep(seconds)
    frames = board.query_status().total_frame_count
    elapsed, cpu = time.perf_counter() - t0, time.process_time() - cpu0
    board.stop()
    board.unlock()
    fps = frames / elapsed
    capture_gbs = fps * w * h / 1e9

    src = np.random.randint(0, 255, (h, w), np.uint8)
    dst = [np.empty_like(src) for _ in range(ring)]
    state = {"i": 0}

    def copy():
        np.copyto(dst[state["i"] % ring], src)
        state["i"] += 1

    per_copy = best(copy, number=50, repeat=10)
    memcpy_gbs = w * h / per_copy / 1e9
    print(
        f"capture {w}x{h} 8-bit, ring of {ring}: {fps:8.1f} frames/s = {capture_gbs:5.2f} GB/s "
        f"({frames} frames in {elapsed:.2f} s)"
    )
    # This thread sleeps meanwhile: the process's CPU time is the acquisition thread's, which
    # tells what the frame writer would reach without the frame period.
    print(
        f"  acquisition thread busy {cpu / elapsed:.0%} of the time: "
        f"{cpu / frames * 1e6:.0f} us CPU per frame = {frames * w * h / cpu / 1e9:5.2f} GB/s "
        f"while writing"
    )
    print(
        f"memcpy of the same frame:        {1 / per_copy:8.1f} frames/s = {memcpy_gbs:5.2f} GB/s"
        f"  -> capture at {capture_gbs / memcpy_gbs:.0%} of memcpy (target >= 50%)"
    )


def spin(seconds):
    n, end = 0, time.perf_counter() + seconds
    while time.perf_counter() < end:
        n += 1
    return n


def thread_during_wait(window=1.0, rounds=3):
    """Iterations of a CPU-bound Python loop over `window` seconds, alone and while the main
    thread is inside wait() of a running capture."""
    alone = statistics.median(spin(window) for _ in range(rounds))
    during = []
    for _ in range(rounds):
        # 640x480 frames every 10 ms, long enough to cover the worker's window.
        board = board_with(Width=640, Height=480, TriggerCycleTime=10_000, Timeout=60_000)
        board.lock([core.CxImage(640, 480) for _ in range(4)])
        board.num = int((window + 0.5) / 0.01)
        result = {}
        board.start()
        worker = threading.Thread(target=lambda r=result: r.setdefault("n", spin(window)))
        worker.start()
        board.wait()
        worker.join()
        assert board.query_status().total_frame_count == board.num
        during.append(result["n"])
    during = statistics.median(during)
    print(
        f"CPU-bound thread, {window:.0f} s window: alone {alone:,.0f} iterations, "
        f"main thread in wait() {during:,.0f} -> {during / alone:.0%} (target >= 80%)"
    )


def views(number=200_000):
    """numpy.asarray(image) per call, next to memoryview(bytes) and numpy.asarray(bytes) of the
    same size, measured in alternating rounds."""
    image = core.CxImage(1920, 1080)
    data = bytes(image.size)
    stmts = {
        "numpy.asarray(image)": lambda: np.asarray(image),
        "memoryview(image)": lambda: memoryview(image),
        "memoryview(bytes_object)": lambda: memoryview(data),
        "numpy.frombuffer(bytes_object)": lambda: np.frombuffer(data, np.uint8),
    }
    per = {name: float("inf") for name in stmts}
    for _ in range(7):
        for name, stmt in stmts.items():
            per[name] = min(per[name], timeit.timeit(stmt, number=number) / number)
    base = per["memoryview(bytes_object)"]
    for name, t in per.items():
        print(f"{name:32} {t * 1e9:7.0f} ns per call ({t / base:4.1f} x memoryview(bytes))")


def loop(frames=600, ring=8, w=1920, h=1080, rounds=5):
    """Frames per second of a Python loop that waits for each frame of a board, views it as numpy
    and sums it, next to the same loop over arrays already in memory; with the board running
    free (its acquisition thread copies every frame on the other core meanwhile) and with the
    frames already captured (the same calls, nothing else running: the binding's own cost)."""
    board = board_with(Width=w, Height=h, TriggerCycleTime=0, ExposureTime=0, Timeout=60_000)
    images = [core.CxImage(w, h) for _ in range(ring)]
    board.lock(images)
    arrays = [np.asarray(image).copy() for image in images]

    def from_board(live):
        board.num = 0 if live else frames
        board.start()
        if not live:
            board.wait()
        started = time.perf_counter()
        total = 0
        for k in range(frames):
            board.wait_status(k)  # returns once frame k is in
            total += int(np.asarray(images[k % ring]).sum())
        elapsed = time.perf_counter() - started
        board.stop()
        return frames / elapsed

    def from_memory():
        started = time.perf_counter()
        total = 0
        for k in range(frames):
            total += int(arrays[k % ring].sum())
        return frames / (time.perf_counter() - started)

    rates = {"live": [], "captured": [], "memory": []}
    for _ in range(rounds):  # alternating rounds, so that all see the same machine
        rates["live"].append(from_board(True))
        rates["captured"].append(from_board(False))
        rates["memory"].append(from_memory())
    board.unlock()
    best = {k: max(v) for k, v in rates.items()}
    print(f"loop over {w}x{h} mono8 frames (wait, numpy view, sum), best of {rounds}:")
    print(f"  arrays in memory         {best['memory']:7.1f} frames/s")
    for name, label in [("live", "board running free"), ("captured", "frames already in")]:
        print(
            f"  {label:24} {best[name]:7.1f} frames/s -> {best[name] / best['memory']:.0%} "
            "of the loop over memory (target >= 80%)"
        )


PARTS = {
    "lock": lock_list,
    "capture": capture,
    "threads": thread_during_wait,
    "views": views,
    "loop": loop,
}

if __name__ == "__main__":
    print(f"Python {sys.version.split()[0]}")
    for part in sys.argv[1:] or PARTS:
        PARTS[part]()
