"""Capture into a ring of images on a KX310 and watch the frames arrive.

Runs against the simulated boards, whose camera delivers a test pattern with the frame number
stamped into the first four bytes; with the maker's library, use a real camera file.

    python examples/capture_ring.py
"""

import os
import tempfile
import threading

import numpy as np

from pyzol import core, unit

WIDTH, HEIGHT, RING, FRAMES = 640, 480, 4, 12


def main() -> None:
    with tempfile.TemporaryDirectory() as folder:
        camera = os.path.join(folder, "camera.txt")
        with open(camera, "w") as f:
            f.write(f"Width={WIDTH}\nHeight={HEIGHT}\nTriggerCycleTime=5000\n")  # 200 frames/s
        board = unit.KX310.from_file(camera)

    images = [core.CxImage(WIDTH, HEIGHT) for _ in range(RING)]
    views = [np.asarray(image) for image in images]  # zero-copy views of the ring
    board.lock(images)
    board.num = FRAMES

    seen = []

    def watch() -> None:
        # wait_event lets other threads run; event 1 is "frame end", 2 "capture end".
        while board.wait_event(1, 1000, 0):
            status = board.query_status()
            slot = status.last_frame_no % RING
            stamp = int.from_bytes(views[slot].reshape(-1)[:4].tobytes(), "little")
            seen.append((status.last_frame_no, slot, stamp))
            if status.total_frame_count >= FRAMES:
                break

    watcher = threading.Thread(target=watch)
    watcher.start()
    board.start()
    record = unit.TxKX310CaptureStatus()
    finished = board.wait_status(record, timeout=5000)  # fills `record`
    watcher.join()
    for frame, slot, stamp in seen:
        print(f"frame {frame:2d} in slot {slot}: stamped {stamp}")
    print(f"finished: {finished}, {record.total_frame_count} frames, state {record.capture_state}")
    board.unlock()
    board.close()


if __name__ == "__main__":
    main()
