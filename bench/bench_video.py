"""The module-level functions and the generic Video device: unit.read(core.as_dio(board))
against board.read() in the same run, and Video.grab of a 1920x1080 frame in each pixel format
against a copy of the same bytes into the same image.

    python bench/bench_video.py
"""

import sys
import tempfile
import timeit
from pathlib import Path

import numpy as np
from bench_capture import FORMATS, RingCopy  # the ring copy, the fair reference
from targets import Row

from pyzol import core, unit

N = 200_000
ROUNDS = 15


def interface_costs(n=N, rounds=ROUNDS):
    """Nanoseconds per call of the board's member, of the module function over an adapter made
    once, and over an adapter made on every call; measured in alternating rounds so that all see
    the same machine."""
    board = unit.MB100()
    board.open(0)
    scope = {"board": board, "dio": core.as_dio(board), "read": unit.read, "as_dio": core.as_dio}
    stmts = ["board.read()", "read(dio)", "read(as_dio(board))"]
    best = [float("inf")] * len(stmts)
    for _ in range(rounds):
        for i, stmt in enumerate(stmts):
            best[i] = min(best[i], timeit.timeit(stmt, globals=scope, number=n) / n * 1e9)
    return best


def read_through_the_interface():
    member, function, adapted = interface_costs()
    print(f"{'board.read()':<32}{member:8.1f} ns per call")
    print(f"{'unit.read(core.as_dio(board))':<32}{function:8.1f} ns per call")
    print(f"  -> the function takes {function / member:.2f}x the member (target within 1.3x)")
    print(
        f"{'unit.read(core.as_dio(b)) inline':<32}{adapted:8.1f} ns per call (adapter made each "
        f"time: {adapted / member:.2f}x)"
    )


def grab_times(fmt="Mono8", number=20, repeat=15, w=1920, h=1080):
    """Best seconds per Video.grab of a w x h frame into one image, and per frame of the same
    copy into that same image (bench_capture.RingCopy with the image as its one buffer: grab
    writes one image that stays in the cache, so a reference streaming through a ring would
    flatter it), measured in alternating rounds."""
    path = Path(tempfile.mkdtemp(prefix="bench_video_")) / "cam.txt"
    path.write_text(f"DeviceType=1\nWidth={w}\nHeight={h}\nPixelFormat={fmt}\n")
    video = unit.Video.from_file(str(path))
    image = core.CxImage(w, h, getattr(core.ExPixelFormat, fmt))
    reference = RingCopy(w, h, FORMATS[fmt], into=[np.asarray(image).reshape(-1).view(np.uint8)])
    per_grab = per_copy = float("inf")
    for _ in range(repeat):
        per_grab = min(per_grab, timeit.timeit(lambda: video.grab(image), number=number) / number)
        per_copy = min(per_copy, timeit.timeit(reference.copy, number=number) / number)
    return per_grab, per_copy, reference.frame


def grab():
    for fmt in FORMATS:
        per_grab, per_copy, size = grab_times(fmt)
        print(
            f"Video.grab 1920x1080 {fmt:<6} {1 / per_grab:8.1f} frames/s = "
            f"{size / per_grab / 1e9:5.2f} GB/s; copy into it {1 / per_copy:8.1f} frames/s = "
            f"{size / per_copy / 1e9:5.2f} GB/s -> grab at {per_copy / per_grab:.0%}"
        )


def summary(quick=True):
    member, function, adapted = interface_costs(*((2_000, 40) if quick else (N, ROUNDS)))
    rows = [
        Row(
            "module_function",
            function / member,
            f"{function:.1f} ns against {member:.1f} ns (adapter made each call: {adapted:.1f})",
        ),
    ]
    for fmt in FORMATS:
        per_grab, per_copy, size = grab_times(fmt, *((4, 25) if quick else (20, 15)))
        rows.append(
            Row(
                "grab",
                per_copy / per_grab * 100,
                f"{size / per_grab / 1e9:.1f} GB/s against {size / per_copy / 1e9:.1f} GB/s",
                fmt,
            )
        )
    return rows


if __name__ == "__main__":
    print(f"Python {sys.version.split()[0]}")
    read_through_the_interface()
    grab()
