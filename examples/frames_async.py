"""Take frames of a KX210 as numpy arrays with pyzol.frames, then wait for input edges on two
I/O boards at once in one asyncio event loop with pyzol.aio.

Runs against the simulated boards (pyzol.sim drives the inputs); with the maker's library, use
a real camera file and wire real inputs.

    python examples/frames_async.py
"""

import asyncio
import os
import tempfile

import pyzol
from pyzol import aio, sim, unit


def frames() -> None:
    with tempfile.TemporaryDirectory() as folder:
        camera = os.path.join(folder, "camera.txt")
        with open(camera, "w") as f:
            f.write("Width=640\nHeight=480\nTriggerCycleTime=2000\n")  # 500 frames/s
        board = unit.KX210.from_file(camera)

    with pyzol.frames(board, 4, count=20) as stream:  # ring of 4, 20 frames
        for frame in stream:
            stamp = int.from_bytes(frame.array.reshape(-1)[:4].tobytes(), "little")
            print(f"frame {frame.number:2d} in slot {frame.slot}: stamped {stamp}")
    print(f"dropped {stream.dropped}, board running: {board.is_running}")
    board.close()


def io_board(ident: int) -> unit.RM1600:
    board = unit.RM1600()
    board.open(ident)
    settings = unit.RM1600Param.from_(board)
    settings.timeout = 60_000  # ms: the asyncio time-out below ends the wait first
    settings.di_enable = settings.di_edge = 0x1  # rising edges of input 0
    return board


async def edges() -> None:
    first, second = io_board(0), io_board(1)

    async def wiring() -> None:  # the simulated inputs: board 0 sees an edge, board 1 none
        await asyncio.sleep(0.1)
        sim.set_inputs("RM1600", 0, 0x1)

    results = await asyncio.gather(
        asyncio.wait_for(aio.wait(first), 2.0),
        asyncio.wait_for(aio.wait(second), 0.3),
        wiring(),
        return_exceptions=True,
    )
    for name, result in zip(("board 0", "board 1"), results[:2], strict=True):
        if isinstance(result, TimeoutError):
            print(f"{name}: no edge within the time-out, wait aborted")
        elif isinstance(result, BaseException):
            raise result
        else:
            print(f"{name}: {unit.EventStatus(result.event_status).name}, inputs 0x{result.di:X}")
    first.close()
    second.close()


if __name__ == "__main__":
    frames()
    asyncio.run(edges())
