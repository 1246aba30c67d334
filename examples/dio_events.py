"""Wait for input edges on an RM1600 board and mirror them on the outputs.

Runs against the simulated boards (pyzol.sim drives the inputs from a second thread); on a
machine with the maker's library, drop the simulation part and wire real inputs.

    python examples/dio_events.py
"""

import threading
import time

from pyzol import sim, unit


def main() -> None:
    board = unit.RM1600()
    board.open()  # board 0
    settings = unit.RM1600Param.from_(board)
    settings.timeout = 500  # ms: a wait with nothing happening ends with TIMEOUT
    settings.di_enable = 0x0000_000F  # inputs 0 to 3 report edges
    settings.di_edge = 0x0000_000F  # rising edges

    def simulated_wiring() -> None:
        for word in (0x1, 0x3, 0x7, 0xF):  # one more input rises every 100 ms
            time.sleep(0.1)
            sim.set_inputs("RM1600", 0, word)

    threading.Thread(target=simulated_wiring, daemon=True).start()

    while True:
        status = board.wait()  # other threads keep running meanwhile
        event = unit.EventStatus(status.event_status)
        if event == unit.EventStatus.TIMEOUT:
            print("quiet for 500 ms: done")
            break
        print(f"{event.name}: edges 0x{status.di_event_status:08X}, inputs 0x{status.di:08X}")
        board.write(status.di)  # mirror the inputs on the outputs
    board.close()


if __name__ == "__main__":
    main()
