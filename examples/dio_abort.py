"""An I/O event loop that another thread ends: the loop waits on an MB100 for input edges and
interrupts with a long time-out, and a supervisor thread aborts the wait when it is time to shut
down. `wait()` lets other threads run, and `abort()` from any thread ends it with ABORT.

Runs against the simulated boards (pyzol.sim drives the inputs and the interrupt line); with the
maker's library, drop the simulation part and wire real inputs.

    python examples/dio_abort.py
"""

import threading
import time

from pyzol import sim, unit


def simulated_wiring(shutdown: threading.Event) -> None:
    for word in (0x1, 0x3, 0x7):  # one more input rises every 50 ms
        time.sleep(0.05)
        sim.set_inputs("MB100", 0, word)
    time.sleep(0.05)
    sim.interrupt("MB100", 0)  # the interrupt line fires once
    time.sleep(0.05)
    shutdown.set()  # e.g. the operator pressed "stop"


def supervisor(board: unit.MB100, shutdown: threading.Event) -> None:
    shutdown.wait()
    board.abort()  # ends the wait the loop is in, whatever its time-out


def main() -> None:
    board = unit.MB100()
    board.open(0)
    settings = unit.MB100Param.from_(board)
    settings.timeout = 60_000  # ms: only an event or the supervisor ends a wait
    settings.set_param("DIEnable", 0x0000_00FF)  # inputs 0 to 7 report edges
    settings.set_param("DIEdge", 0x0000_00FF)  # rising edges
    settings.set_param("INTEnable", 1)

    shutdown = threading.Event()
    threads = [
        threading.Thread(target=simulated_wiring, args=(shutdown,)),
        threading.Thread(target=supervisor, args=(board, shutdown)),
    ]
    for thread in threads:
        thread.start()

    while True:
        event = unit.EventStatus(board.wait())
        if event == unit.EventStatus.ABORT:
            print("ABORT: the supervisor ended the loop")
            break
        print(f"{event.name}: inputs 0x{board.read():08X}")
    for thread in threads:
        thread.join()
    board.close()


if __name__ == "__main__":
    main()
