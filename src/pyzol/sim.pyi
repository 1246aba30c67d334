# Type stub of pyzol.sim, kept by hand: each member's documentation is written here, once (the
# API reference site is built from it). tests/test_typing.py checks it against the built module.
"""Control surface of the simulated device library: journal of library calls, fault injection, live-object count and the simulated rack."""
from __future__ import annotations
import typing
import pyzol.core

_Terminal: typing.TypeAlias = tuple[str, int, str, int]
"""A terminal of the rack: (board, id, terminal, index).

  I/O boards ("MB100", "RM1600", "DQ160"):  "out" (an output bit), "in" (an input bit); index
    the bit, 0 to 31.
  Capture boards ("KX210", "KX310", "TR520"): "trigger" (external trigger input), "line" (line
    trigger input, KX210 and KX310: with LineSensorEnable set, a frame is made of Height line
    triggers), "strobe" (exposure output, high while a frame is exposed, when EXPEnable
    (TR520: ExpEnable) is set), "encoder" (the encoder unit's trigger output: a pulse every
    ENCSampling counted pulses when EncoderMode is set; KX210, KX310); index the channel, 0 or
    1.
  id: the board's number, 0 to 3."""

class FrameInfo:
    """What a board recorded of one frame."""

    @property
    def frame(self) -> int:
        """The frame's number in its run."""
    @property
    def trigger(self) -> int:
        """The number of the trigger that made it, from 1 (0: free-running)."""
    @property
    def start_ns(self) -> int:
        """When its exposure began, on the clock of time.monotonic_ns."""
    @property
    def lines(self) -> int:
        """The lines it holds."""
    def __repr__(self) -> str:
        """The record with its fields."""

class TriggerCounts:
    """The triggers of a capture run."""

    @property
    def detected(self) -> int:
        """Every trigger edge the run received (software and wired)."""
    @property
    def taken(self) -> int:
        """The triggers that made a frame or will."""
    @property
    def missed(self) -> int:
        """The triggers that came while the board exposed or rested in its mask time."""
    def __repr__(self) -> str:
        """The record with its fields."""

class Recording:
    """Context manager of recording(): the journal is on inside the block."""

    def __enter__(self) -> list[str]:
        """Turns the journal on; the list that receives the block's calls."""

    def __exit__(self, *exc: object) -> typing.Literal[False]:
        """Fills the list and restores the journal's state; never swallows an exception."""

def board_opened(board: str, id: int) -> bool:
    """Whether some handle has the board open."""

def camera_silent(board: str, id: int, ch: int, on: bool) -> None:
    """The camera of the board channel stops sending (`on` True) or sends again. Meanwhile no frame arrives: a free-running board waits for the camera, a trigger taken makes no frame, and the board's waits run into its Timeout setting (the library's time-out error). sim.reset() gives every board a camera that sends."""

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

def frame_info(board: object, frame: int) -> FrameInfo | None:
    """What the capture board (or Video) `board` recorded of frame `frame` of its current (or last) run; None for a frame not captured yet, or older than the board keeps (the last 4096 frames, or a ring's worth if more). An I/O board: the library's RuntimeError (status InvalidArgument); anything else: TypeError."""

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

def plugged(board: str, id: int) -> bool:
    """Whether the board is in the rack (not unplugged)."""

def pending_faults(op: str) -> int:
    """How many more calls of `op` will fail."""

def recording() -> Recording:
    """with sim.recording() as calls: ... -- records the block's library calls into the list `calls` (filled when the block ends) and restores the journal's on/off state."""

def replug(board: str, id: int) -> None:
    """Puts an unplugged board back: open works again (handles opened before open again)."""

def reset() -> None:
    """Fresh rack: later opens find new boards (objects still referenced keep theirs). Clears the journal, the faults and the serial numbers (next object is #1)."""

def set_inputs(board: str, id: int, word: int) -> None:
    """Drive the input word of I/O board `board` ("MB100", "RM1600", "DQ160") number `id` (0 to 3); enabled edges end a pending wait."""

def set_journal(on: bool) -> None:
    """Turn recording of library calls on or off (off costs nothing)."""

def set_loopback(board: str, id: int, on: bool) -> None:
    """When on, the inputs follow the outputs."""

def short_frames(board: str, id: int, ch: int, lines: int, count: int = 1) -> None:
    """The next `count` frames of the board channel arrive with only `lines` lines (at most the frame's height), as when the camera's link drops the end of a frame: the rest of the ring image keeps what it held, the status record's line_count and amount_in_frame say so, and so do frame_info(...).lines and the stream's Frame.lines and Frame.complete. Negative values raise the library's error (InvalidArgument)."""

def sio_drop(board: str, id: int, ch: int, count: int) -> None:
    """The next `count` bytes the camera sends through the board channel's serial link are lost (what the camera receives is untouched)."""

def sio_feed(board: str, id: int, ch: int, data: bytes) -> None:
    """Bytes arriving from the camera at the far end of the board channel's serial link."""

def sio_garble(board: str, id: int, ch: int, count: int) -> None:
    """The next `count` bytes the camera sends through the serial link arrive with every bit inverted (after the bytes sio_drop loses, when both are set)."""

def sio_opened(board: str, id: int, ch: int) -> bool:
    """Whether the board channel's serial link is open."""

def sio_sent(board: str, id: int, ch: int) -> bytes:
    """Every byte the camera received since the last call (the call clears them)."""

def triggers(board: object) -> TriggerCounts:
    """The triggers of the capture board's (or Video's) current, or last, capture run. An I/O board: the library's RuntimeError (status InvalidArgument); anything else: TypeError."""

def unplug(board: str, id: int) -> None:
    """Takes board `id` of type `board` (any type of the rack; a capture board with all its channels) out of the rack, as a pulled cable would: every operation of a handle open on it, and open, refuse with the library's NoDevice error (status 5); waits in progress end with it and a capture in progress is aborted. sim.replug puts it back; sim.reset() puts every board back."""

def unwire(source: _Terminal, sink: _Terminal) -> None:
    """Takes the wire from `source` to `sink` out; the input falls low. ValueError when there is no such wire."""

def waiters(board: str, id: int) -> int:
    """Threads blocked in the board's wait now."""

def wire(source: _Terminal, sink: _Terminal) -> None:
    """Wires an output of the rack to an input of another board, as a cable would:

        sim.wire(("RM1600", 0, "out", 3), ("KX210", 0, "trigger", 0))   # I/O output -> trigger
        sim.wire(("KX210", 0, "strobe", 0), ("MB100", 1, "in", 2))      # exposure -> I/O input
        sim.wire(("KX210", 0, "encoder", 0), ("KX210", 0, "trigger", 0)) # encoder -> its trigger

    An output may drive many inputs (all see an edge at the same instant of the stand-in's
    clock); an input has one driver, besides its own board's encoder at the trigger input
    (ExtTriggerSrc picks which the board takes). The input takes the output's level at once.
    Refused with TypeError (a terminal that is not a (str, int, str, int) tuple) or ValueError
    (an unknown board, id, terminal, bit or channel; an input given as the source or an output as
    the sink; a board wired to itself; an encoder wired anywhere but its own channel's trigger or
    line input; an input driven already; a wire that exists), and nothing is wired. sim.reset()
    takes every wire out."""

def wiring() -> list[tuple[_Terminal, _Terminal]]:
    """Every wire as (source, sink), in the order they were made."""
