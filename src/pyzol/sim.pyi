# Type stub of pyzol.sim, kept by hand: each member's documentation is written here, once (the
# API reference site is built from it). tests/test_typing.py checks it against the built module.
"""Control surface of the simulated device library: journal of library calls, fault injection, live-object count and the simulated rack."""
from __future__ import annotations
import typing
import pyzol.core

class Recording:
    """Context manager of recording(): the journal is on inside the block."""

    def __enter__(self) -> list[str]:
        """Turns the journal on; the list that receives the block's calls."""

    def __exit__(self, *exc: object) -> typing.Literal[False]:
        """Fills the list and restores the journal's state; never swallows an exception."""

def board_opened(board: str, id: int) -> bool:
    """Whether some handle has the board open."""

def capture_waiters(board: str, id: int = 0, ch: int = 0) -> int:
    """Threads inside a wait of a capture board channel (to act once one really waits)."""

def clear_faults() -> None:
    """Disarm every injected fault."""

def clear_journal() -> None:
    """Forget the recorded calls."""

def draw_test_frame(image: pyzol.core.CxImage, number: int, pixel_format: str = 'Mono8') -> None:
    """Writes frame `number` of the boards' test pattern into the image, as a board with that PixelFormat in its camera file and the image's size delivers it."""

def encoder_pulses(board: str, id: int, ch: int, count: int) -> None:
    """Pulses at the board's encoder input: positive forward, negative backward."""

def fail(op: str, status: int = 1, function: str | None = ..., file: str | None = ..., line: int = 0, count: int = 1) -> None:
    """The next `count` calls of `op` ("CxMB100::Open", any overload, any object of that class) throw the library's exception with this status, function, file and line. function/file None put a null pointer in the exception. An operation the library does not have (see operations()) or a count below 1 raises ValueError."""

def image_bytes(image: pyzol.core.CxImage) -> bytes:
    """A copy of the image's pixel memory as the library reads it (Address(), Size() bytes): what a board sees of an image."""

def inputs(board: str, id: int) -> int:
    """The board's input word."""

def interrupt(board: str, id: int) -> None:
    """Pulse the board's interrupt input."""

def journal() -> list[str]:
    """Every call recorded since the journal was turned on or last cleared, e.g. ['CxMB100::Open(0)', 'CxMB100::Write(5)']."""

def journal_from(position: int) -> list[str]:
    """The entries recorded since `position` (a journal_size()) that are still kept: journal_from(journal_size()) taken later gives what came since."""

def journal_on() -> bool:
    """Whether library calls are being recorded."""

def journal_size() -> int:
    """The journal's position now: every entry recorded so far, cleared ones too, so a position taken before a clear or a reset still marks the same point."""

def live_objects() -> int:
    """Library objects (boards, companions, images, ...) alive now."""

def operations() -> list[str]:
    """Every operation a fault can be armed for, sorted: ['Api::GetDeviceInfo', ...]."""

def outputs(board: str, id: int) -> int:
    """The board's output latch."""

def pending_faults(op: str) -> int:
    """How many more calls of `op` will fail."""

def recording() -> Recording:
    """with sim.recording() as calls: ... -- records the block's library calls into the list `calls` (filled when the block ends) and restores the journal's on/off state."""

def reset() -> None:
    """Fresh rack: later opens find new boards (objects still referenced keep theirs). Clears the journal, the faults and the serial numbers (next object is #1)."""

def set_inputs(board: str, id: int, word: int) -> None:
    """Drive the input word of I/O board `board` ("MB100", "RM1600", "DQ160") number `id` (0 to 3); enabled edges end a pending wait."""

def set_journal(on: bool) -> None:
    """Turn recording of library calls on or off (off costs nothing)."""

def set_loopback(board: str, id: int, on: bool) -> None:
    """When on, the inputs follow the outputs."""

def sio_feed(board: str, id: int, ch: int, data: bytes) -> None:
    """Bytes arriving from the camera at the far end of the board channel's serial link."""

def sio_opened(board: str, id: int, ch: int) -> bool:
    """Whether the board channel's serial link is open."""

def sio_sent(board: str, id: int, ch: int) -> bytes:
    """Every byte the camera received since the last call (the call clears them)."""

def waiters(board: str, id: int) -> int:
    """Threads blocked in the board's wait now."""
