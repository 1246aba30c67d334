"""A triggered capture loop: a light barrier triggers a KX210, the capture loop hands each frame
to a processing thread through a bounded queue, and the processing thread measures it.

The bounded queue is what keeps a slow processing step from holding ring slots: the capture
loop copies each frame out of the ring at once, and when the queue is full it drops the frame
(and counts it) instead of falling behind the board.

Runs against the simulated boards (force_trigger stands in for the light barrier); with the
maker's library, use a real camera file and wire the trigger input.

    python examples/triggered_capture.py
"""

import os
import queue
import tempfile
import threading
import time

import numpy as np

import pyzol
from pyzol import unit

WIDTH, HEIGHT, RING, PARTS = 640, 480, 4, 25


def light_barrier(board: unit.KX210, stop: threading.Event) -> None:
    """A part passes the barrier every 4 ms."""
    for _ in range(PARTS):
        if stop.wait(0.004):
            return
        board.force_trigger()


def process(parts: "queue.Queue[tuple[int, np.ndarray] | None]", report: list[str]) -> None:
    while (item := parts.get()) is not None:
        number, pixels = item
        stamp = int.from_bytes(pixels.reshape(-1)[:4].tobytes(), "little")
        report.append(f"part {number:2d}: frame stamp {stamp:2d}, mean {pixels.mean():6.2f}")


def main() -> None:
    with tempfile.TemporaryDirectory() as folder:
        camera = os.path.join(folder, "camera.txt")
        with open(camera, "w") as f:
            f.write(f"Width={WIDTH}\nHeight={HEIGHT}\nTimeout=2000\n")
        board = unit.KX210.from_file(camera)
    unit.KX210Param.from_(board).trigger_mode = 1  # one frame per trigger

    parts: queue.Queue[tuple[int, np.ndarray] | None] = queue.Queue(maxsize=8)
    report: list[str] = []
    worker = threading.Thread(target=process, args=(parts, report))
    worker.start()
    stop = threading.Event()
    barrier = threading.Thread(target=light_barrier, args=(board, stop))

    skipped = 0
    started = time.monotonic()
    with pyzol.frames(board, RING, count=PARTS) as stream:
        barrier.start()
        for frame in stream:
            try:
                parts.put_nowait((frame.number, frame.array.copy()))  # out of the ring at once
            except queue.Full:
                skipped += 1
    stop.set()
    barrier.join()
    parts.put(None)
    worker.join()

    print("\n".join(report))
    elapsed = time.monotonic() - started
    print(f"{len(report)} parts measured in {elapsed:.2f} s; dropped by the board "
          f"{stream.dropped}, skipped by a full queue {skipped}")  # fmt: skip
    board.close()


if __name__ == "__main__":
    main()
