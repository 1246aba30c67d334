"""``python -m pyzol io`` (also ``python -m pyzol --io``): a session on an MB100 I/O board:
outputs read back through the simulated loopback, a wait ended by an input edge that a second
thread produces, then a wait that runs into the board's time-out."""

from __future__ import annotations

import threading
import time

from .. import unit
from .common import run_job


def io_session() -> None:
    """The session, printed line by line."""
    from .. import sim  # the simulated rack's wiring; not there with the maker's library

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


def main() -> int:
    """Runs the session; returns the exit status."""
    return run_job(io_session)
