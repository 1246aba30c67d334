"""The module-level functions and the generic Video device: unit.read(core.as_dio(board))
against board.read() in the same run, and Video.grab of a 1920x1080 frame against a memory
copy of the same frame.

    python bench/bench_video.py
"""

import sys
import tempfile
import timeit
from pathlib import Path

import numpy as np

from pyzol import core, unit

N = 200_000
ROUNDS = 15


def read_through_the_interface():
    """Nanoseconds per call of the module function over an adapter and of the board's member,
    measured in alternating rounds so that both see the same machine."""
    board = unit.MB100()
    board.open(0)
    dio = core.as_dio(board)
    stmts = {"board.read()": "board.read()", "unit.read(core.as_dio(board))": "read(dio)"}
    scope = {"board": board, "dio": dio, "read": unit.read}
    best = dict.fromkeys(stmts, float("inf"))
    for _ in range(ROUNDS):
        for name, stmt in stmts.items():
            best[name] = min(best[name], timeit.timeit(stmt, globals=scope, number=N) / N * 1e9)
    member, function = best.values()
    for name, ns in best.items():
        print(f"{name:<32}{ns:8.1f} ns per call")
    print(f"  -> the function takes {function / member:.2f}x the member (target within 1.3x)")
    # Making the adapter on every call, as the expression reads:
    adapted = (
        min(
            timeit.repeat(
                "read(as_dio(board))",
                globals={**scope, "as_dio": core.as_dio},
                number=N // 4,
                repeat=ROUNDS,
            )
        )
        / (N // 4)
        * 1e9
    )
    print(
        f"{'unit.read(core.as_dio(b)) inline':<32}{adapted:8.1f} ns per call (adapter made each "
        f"time: {adapted / member:.2f}x)"
    )


def grab(w=1920, h=1080, number=50, repeat=15):
    """Frames per second of Video.grab into one image, against numpy's copy of the same bytes."""
    path = Path(tempfile.mkdtemp(prefix="bench_video_")) / "cam.txt"
    path.write_text(f"DeviceType=1\nWidth={w}\nHeight={h}\n")
    video = unit.Video.from_file(str(path))
    image = core.CxImage(w, h)
    per_grab = min(timeit.repeat(lambda: video.grab(image), number=number, repeat=repeat)) / number

    src = np.random.randint(0, 255, (h, w), np.uint8)
    dst = np.empty_like(src)
    per_copy = (
        min(timeit.repeat(lambda: np.copyto(dst, src), number=number, repeat=repeat)) / number
    )
    size = w * h
    print(
        f"Video.grab {w}x{h} 8-bit:  {1 / per_grab:8.1f} frames/s = "
        f"{size / per_grab / 1e9:5.2f} GB/s"
    )
    print(
        f"memcpy of the same frame:   {1 / per_copy:8.1f} frames/s = "
        f"{size / per_copy / 1e9:5.2f} GB/s  -> grab at {per_copy / per_grab:.0%} of memcpy "
        f"(target >= 50%)"
    )


if __name__ == "__main__":
    print(f"Python {sys.version.split()[0]}")
    read_through_the_interface()
    grab()
