"""A short I/O session on a simulated MB100 board: ``python -m pyzol``.

Opens board 0, drives the outputs, reads them back through the simulated loopback, waits for an
input edge that a second thread produces, then waits again until the board's time-out.
"""

import threading
import time

from pyzol import sim, unit


def main() -> int:
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
    event = board.wait()
    helper.join()
    print(f"wait ended by {unit.EventStatus(event).name} (input 3 rose): inputs 0x{board.read():08X}")

    started = time.monotonic()
    event = board.wait()
    elapsed = (time.monotonic() - started) * 1000
    print(f"wait ended by {unit.EventStatus(event).name} after {elapsed:.0f} ms")

    board.close()
    print(f"closed: is_opened {board.is_opened}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
