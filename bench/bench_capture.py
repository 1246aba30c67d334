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
from targets import Row

from pyzol import core, unit

TMP = Path(tempfile.mkdtemp(prefix="bench_capture_"))


def board_with(**settings):
    # The simulated board keeps its settings from one from_file to the next: say the format.
    settings.setdefault("PixelFormat", "Mono8")
    path = TMP / f"cam{len(list(TMP.iterdir()))}.txt"
    path.write_text("".join(f"{k}={v}\n" for k, v in settings.items()))
    return unit.KX210.from_file(str(path))


def best(stmt, number, repeat=25):
    return min(timeit.repeat(stmt, number=number, repeat=repeat)) / number


def lock_costs(n=10_000, repeat=100):
    """Nanoseconds per image that lock(list) spends beyond a lock([]) call, for exact images and
    for instances of a subclass; and the lock([]) call itself."""
    board = board_with(Width=8, Height=8)
    exact = [core.CxImage(8, 8) for _ in range(n)]

    class Tagged(core.CxImage):
        pass

    subclassed = [Tagged(8, 8) for _ in range(n)]
    empty = best(lambda: board.lock([]), number=1000, repeat=repeat)
    per = {}
    for name, images in [("CxImage", exact), ("CxImage subclass", subclassed)]:
        full = best(lambda images=images: board.lock(images), number=5, repeat=repeat)
        per[name] = (full, (full - empty) / n * 1e9)
    board.unlock()
    return empty, per


def lock_list(n=10_000):
    empty, per = lock_costs(n)
    print(f"lock([])                      {empty * 1e9:10.0f} ns per call")
    for name, (full, ns) in per.items():
        print(
            f"lock(list of {n} {name + ')':<18}{full * 1e6:8.1f} us per call, "
            f"{ns:5.1f} ns per image beyond the call (target <= 5 for CxImage, 30 for a subclass)"
        )


FORMATS = {"Mono8": 1, "Mono16": 2, "RGB8": 3, "BGR8": 3}  # bytes per pixel


class RingCopy:
    """The fair reference for a board's frame writer: frame k copied from a source window (rows
    (k & 0xff) onwards of a source of height + 256 rows, as the simulated board keeps its test
    pattern) into slot k % ring of a ring of distinct frame-sized buffers, so the copy streams
    through memory as the board's does instead of staying in cache. `into` gives the buffers
    to copy into instead (flat uint8 views of frame size): the same target as the code measured.
    """

    def __init__(self, w, h, bytes_per_pixel=1, ring=8, into=None):
        self.row = w * bytes_per_pixel
        self.frame = self.row * h
        self.source = np.random.randint(0, 255, self.row * (h + 256), np.uint8)
        self.ring = into or [np.empty(self.frame, np.uint8) for _ in range(ring)]
        self.k = 0

    def copy(self):
        start = (self.k & 0xFF) * self.row
        np.copyto(self.ring[self.k % len(self.ring)], self.source[start : start + self.frame])
        self.k += 1

    def rate(self, window):
        """Frames per second copied over `window` seconds, one copy after another, as the
        board's acquisition thread writes them; and the CPU time per frame."""
        n, started, cpu = 0, time.perf_counter(), time.thread_time()
        end = started + window
        while time.perf_counter() < end:
            self.copy()
            n += 1
        return n / (time.perf_counter() - started), (time.thread_time() - cpu) / n


def sample(board):
    return board.query_status().total_frame_count, time.perf_counter(), time.process_time()


def capture_rates(fmt="Mono8", rounds=10, window=0.2, ring=8, w=1920, h=1080):
    """Best frame rate of a free-running board over windows of `window` seconds, and the best
    rate of the ring copy over windows of the same length between them (alternating, so both
    see the same machine); and the least CPU time per frame of each: the acquisition thread's
    and the copying thread's, which a shared machine's load disturbs far less than the rates."""
    # No trigger cycle and no exposure: the board runs free, one frame after another.
    board = board_with(Width=w, Height=h, TriggerCycleTime=0, ExposureTime=0, Timeout=60_000,
                       PixelFormat=fmt)  # fmt: skip
    pixel_format = getattr(core.ExPixelFormat, fmt)
    board.lock([core.CxImage(w, h, pixel_format) for _ in range(ring)])
    board.num = 0
    reference = RingCopy(w, h, FORMATS[fmt], ring)
    capture_fps, copy_fps, cpu_per_frame, copy_cpu = 0.0, 0.0, float("inf"), float("inf")
    for _ in range(rounds):
        board.start()
        time.sleep(0.02)  # past the start
        f0, t0, c0 = sample(board)
        time.sleep(window)
        f1, t1, c1 = sample(board)
        board.stop()
        capture_fps = max(capture_fps, (f1 - f0) / (t1 - t0))
        # The main thread sleeps meanwhile: the process's CPU time is the acquisition thread's.
        if f1 > f0:
            cpu_per_frame = min(cpu_per_frame, (c1 - c0) / (f1 - f0))
        fps, cpu = reference.rate(window)
        copy_fps, copy_cpu = max(copy_fps, fps), min(copy_cpu, cpu)
    board.unlock()
    return capture_fps, copy_fps, cpu_per_frame, copy_cpu, reference.frame


def capture(ring=8, w=1920, h=1080):
    """Free-running capture of w x h frames into a ring of locked images, against the ring copy."""
    for fmt in FORMATS:
        fps, copy_fps, cpu, copy_cpu, size = capture_rates(fmt, ring=ring, w=w, h=h)
        print(
            f"capture {w}x{h} {fmt:<6} ring of {ring}: {fps:8.1f} frames/s = "
            f"{fps * size / 1e9:5.2f} GB/s, {cpu * 1e6:5.0f} us CPU per frame; ring copy "
            f"{copy_fps:8.1f} frames/s = {copy_fps * size / 1e9:5.2f} GB/s, {copy_cpu * 1e6:5.0f} "
            f"us CPU -> {fps / copy_fps:.0%} of its rate, {copy_cpu / cpu:.0%} of its speed "
            "per CPU time (target >= 80%)"
        )


def spin(seconds):
    n, end = 0, time.perf_counter() + seconds
    while time.perf_counter() < end:
        n += 1
    return n


def thread_rates(window=1.0, rounds=3):
    """Iterations of a CPU-bound Python loop over `window` seconds, alone and while the main
    thread is inside wait() of a running capture (medians)."""
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
    return alone, statistics.median(during)


def thread_during_wait(window=1.0, rounds=3):
    alone, during = thread_rates(window, rounds)
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


def loop_rates(frames=600, ring=8, w=1920, h=1080, rounds=5):
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
    return {k: max(v) for k, v in rates.items()}


def loop(frames=600, ring=8, w=1920, h=1080, rounds=5):
    best = loop_rates(frames, ring, w, h, rounds)
    print(f"loop over {w}x{h} mono8 frames (wait, numpy view, sum), best of {rounds}:")
    print(f"  arrays in memory         {best['memory']:7.1f} frames/s")
    for name, label in [("live", "board running free"), ("captured", "frames already in")]:
        print(
            f"  {label:24} {best[name]:7.1f} frames/s -> {best[name] / best['memory']:.0%} "
            "of the loop over memory (target >= 80%)"
        )


def summary(quick=True):
    rows = []
    empty, per = lock_costs(repeat=40 if quick else 100)
    for key, name in [("lock_list", "CxImage"), ("lock_list_subclass", "CxImage subclass")]:
        full, ns = per[name]
        rows.append(Row(key, ns, f"{full * 1e6:.1f} us per call, lock([]) {empty * 1e9:.0f} ns"))
    for fmt in FORMATS:
        fps, copy_fps, cpu, copy_cpu, size = capture_rates(fmt, rounds=5 if quick else 10)
        rows.append(
            Row(
                "capture",
                copy_cpu / cpu * 100,
                f"{cpu * 1e6:.0f} us CPU/frame against {copy_cpu * 1e6:.0f} us; rates "
                f"{fps * size / 1e9:.1f} against {copy_fps * size / 1e9:.1f} GB/s",
                fmt,
            )
        )
    alone, during = thread_rates(0.3 if quick else 1.0)
    rows.append(
        Row(
            "thread_during_wait",
            during / alone * 100,
            f"{during:,.0f} iterations against {alone:,.0f} alone",
        )
    )
    rates = loop_rates(frames=60 if quick else 600, rounds=7 if quick else 5)
    for name, label in [("live", "board running free"), ("captured", "frames already in")]:
        rows.append(
            Row(
                "capture_loop",
                rates[name] / rates["memory"] * 100,
                f"{rates[name]:.0f} frames/s against {rates['memory']:.0f}",
                label,
            )
        )
    return rows


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
