"""A short session on the simulated boards: ``python -m pyzol``.

An I/O board: opens an MB100, drives its outputs, reads them back through the simulated
loopback, waits for an input edge that a second thread produces, then waits until the board's
time-out. A capture board: loads a KX210 from a camera file, locks a ring of images, captures a
few frames and reads the frame numbers back from the pixels.
"""

import os
import tempfile
import threading
import time

from pyzol import core, sim, unit


def io_session() -> None:
    board = unit.MB100()
    board.open(0)
    settings = unit.MB100Param.from_(board)
    settings.timeout = 300  # milliseconds
    settings.set_param("DIEnable", 0x0000_00FF)  # edges on the low byte end a wait
    settings.set_param("DIEdge", 0x0000_00FF)  # rising edges
    print(f"MB100 #0 open: {board.is_opened}, time-out {settings.timeout} ms")

    sim.set_loopback("MB100", 0, True)  # the simulated wiring: inputs follow outputs
    board.write(0xA5A5_0000)
    print(f"outputs 0x{board.write_status():08X}, inputs 0x{board.read():08X}")

    def raise_bit() -> None:
        while sim.waiters("MB100", 0) == 0:
            time.sleep(0.001)
        board.write(3, True)

    helper = threading.Thread(target=raise_bit)
    helper.start()
    event = board.wait()  # other threads run meanwhile
    helper.join()
    print(
        f"wait ended by {unit.EventStatus(event).name} (input 3 rose): inputs 0x{board.read():08X}"
    )

    started = time.monotonic()
    event = board.wait()
    elapsed = (time.monotonic() - started) * 1000
    print(f"wait ended by {unit.EventStatus(event).name} after {elapsed:.0f} ms")
    board.close()
    print(f"closed: is_opened {board.is_opened}")


def capture_session() -> None:
    with tempfile.TemporaryDirectory() as folder:
        camera = os.path.join(folder, "camera.txt")
        with open(camera, "w") as f:
            f.write("# a small camera, 100 frames a second\n")
            f.write("Width=320\nHeight=240\nTriggerCycleTime=10000\n")
        board = unit.KX210.from_file(camera)
    images = [core.CxImage(320, 240) for _ in range(4)]
    board.lock(images)  # the board holds the images while it uses them
    board.num = 6  # frames, then the acquisition stops by itself
    board.start()
    board.wait()
    status = board.query_status()
    print(f"KX210 captured {status.total_frame_count} frames, last frame {status.last_frame_no}")
    for slot, image in enumerate(images):
        stamp = memoryview(image).tobytes()[:4]  # the frame number, stamped into the pixels
        print(f"  slot {slot}: frame {int.from_bytes(stamp, 'little')}")
    board.unlock()
    board.close()


def main() -> int:
    io_session()
    capture_session()
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
