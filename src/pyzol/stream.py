"""Frames of a capture board as numpy arrays, one after another.

    with pyzol.frames(board, 4) as stream:       # a ring of 4 images, captured without end
        for frame in stream:
            use(frame.number, frame.array)       # read-only view of the ring slot
            if done:
                break                            # the board is aborted and unlocked
    print(stream.dropped)

How it stays sound: the board writes frame k into slot k % n of the ring, and its status record
tells how many frames are complete (`total_frame_count`). While the board runs, slot
`total % n` is being written; every other slot holds a complete frame, the `n - 1` newest ones.
So frame k is handed out only from a status in which `k < total <= k + n - 1` holds (or, at the
end of a counted run, `total <= k + n`). When frame k fell out of that window before the script
asked for it, the stream catches up to the newest complete frame (the one the board comes back
to last) and counts the frames skipped in `dropped`.

The library has no way to keep the board off a slot that the script still reads: a script that
holds a frame for more than `n - 1` frame periods reads a slot the board is overwriting. Such
frames are counted in `overrun` when the script takes the next one, and `frame.intact` tells,
after the script copied or used a frame, whether the board has reached its slot again. The cure
is a larger ring or a faster consumer.
"""

from __future__ import annotations

import enum
import operator
import threading
import time
import weakref
from collections.abc import AsyncIterator, Callable, Iterator, Sequence
from typing import TYPE_CHECKING, Any, Protocol, Union, cast

from . import core, records, unit
from .boards import CaptureBoard, FrameFormat, frame_format, kind, make_ring, ring_images

if TYPE_CHECKING:
    import numpy

__all__ = [
    "CaptureBoard", "CaptureBoardProtocol", "CaptureStatus", "Frame", "FrameFormat", "Frames",
    "StreamState", "frame_format", "frames", "ring_images",
]  # fmt: skip

CaptureStatus = Union[unit.TxKX210CaptureStatus, unit.TxKX310CaptureStatus,
                      unit.TxTR520CaptureStatus]  # fmt: skip


class StreamState(enum.Enum):
    """Where a frame stream is: made (NEW), capturing (OPEN), all its frames taken or its
    capture over while still open (ENDED), or CLOSED."""

    NEW = "new"
    OPEN = "open"
    ENDED = "ended"
    CLOSED = "closed"


class _Status(Protocol):
    """What a stream reads from a board's status record."""

    @property
    def total_frame_count(self) -> int: ...


class CaptureBoardProtocol(Protocol):
    """The members of a capture board that a frame stream uses; KX210, KX310 and TR520 have
    them all (`CaptureBoard` names those three classes)."""

    num: int

    @property
    def is_valid(self) -> bool: ...
    @property
    def is_opened(self) -> bool: ...
    @property
    def is_running(self) -> bool: ...
    def lock(self, images: list[core.CxImage], option: int = 0) -> None: ...
    def unlock(self) -> None: ...
    def start(self) -> None: ...
    def stop(self) -> None: ...
    def abort(self) -> None: ...
    def wait(self) -> None: ...
    def query_status(self) -> _Status: ...


class _WaitsForFrame(CaptureBoardProtocol, Protocol):
    """KX210, TR520: a wait for a numbered frame."""

    def wait_status(self, frame: int, /) -> _Status: ...


class _WaitsForEvents(CaptureBoardProtocol, Protocol):
    """KX310: waits for numbered events."""

    def wait_event(self, event: int, timeout: int, value: int, /) -> bool: ...
    def cancel_wait_event(self, event: int, /) -> None: ...


# The largest frame count a board takes (its `num` is a C int).
_MAX_COUNT = 2**31 - 1
# KX310 event waits do not end when the capture does; they are taken in slices of this many ms.
_EVENT_SLICE_MS = 50
_FRAME_END = 1  # KX310 wait_event number of "frame end"


class Frame:
    """One captured frame: `number` (counted from 0 at `start`), `array` (a read-only numpy view
    of the ring slot `slot`, valid while the board stays off that slot), `status` (the
    board's status record that showed the frame complete), `time_ns` (when the stream saw it
    complete, on the clock of `time.monotonic_ns`), `trigger` (the number of the trigger that
    made it, counted from 1 at `start` over every trigger the board received, missed ones too;
    0 for a free-running frame) and `lines` (the lines that arrived; fewer than the array's
    rows when the camera's link cut the frame short: see `complete`). `trigger` and `lines` are
    None where the library cannot tell."""

    __slots__ = ("number", "slot", "array", "status", "time_ns", "trigger", "lines", "_stream")

    def __init__(self, stream: Frames, number: int, slot: int, status: CaptureStatus) -> None:
        self._stream = stream
        self.number: int = number
        self.slot: int = slot
        self.array: numpy.ndarray = stream._views[slot]
        self.status: CaptureStatus = status
        # Host time at which the stream saw the frame complete: time.monotonic_ns() (nanoseconds
        # on the clock of time.monotonic, which no change of the wall clock moves).
        self.time_ns: int = time.monotonic_ns()
        record = records.frame_record(stream.board, number)
        self.trigger: int | None = None if record is None else record.trigger
        self.lines: int | None = None if record is None else record.lines

    @property
    def complete(self) -> bool | None:
        """Whether every line of the frame arrived (None: the library cannot tell); the rows
        past `lines` hold what the ring slot held before."""
        return None if self.lines is None else self.lines >= self.array.shape[0]

    @property
    def intact(self) -> bool:
        """Whether the board has not yet begun to overwrite this frame's slot. While the stream
        is open this asks the board; once it is closed, the answer is the one its end left
        (the board's count then belongs to no run of this stream). A frame found overtaken
        stays so, and a frame whose ring image another stream has locked since is not intact."""
        stream = self._stream
        total = stream._total()
        return (
            total is not None
            and not stream._overtaken(self.number, total)
            and _last_lock.get(id(stream.images[self.slot])) is stream._ref
        )

    def release(self) -> None:
        """Tells the stream that the script is done with this frame (it copied it out, say, and
        checked `intact` itself): the board reaching the slot later is then no overrun."""
        stream = self._stream
        if stream._held == self.number:
            stream._held = None

    def __repr__(self) -> str:
        return f"<Frame {self.number} in slot {self.slot}>"


class _Session:
    """What a running stream has to undo on its board. It is kept apart from the stream so that
    the finaliser that ends a stream dropped without close() does not keep the stream alive."""

    __slots__ = ("board", "saved_num", "ended", "final", "owner")

    def __init__(self, board: CaptureBoardProtocol, owner: str) -> None:
        self.board = board
        self.owner = owner  # what holds the board, for the refusal of a second stream on it
        self.saved_num: int | None = None  # the board's frame count before the stream
        self.ended = False  # all frames taken: stop rather than abort
        self.final: int | None = None  # the board's count of complete frames once aborted

    def end(self) -> None:
        """Stops or aborts the board, unlocks it and restores its frame count, and lets go of
        it; nothing is left to undo on a disposed board. Each step is taken whatever the others
        do: the first failure is raised, with the later ones as its `__context__`."""
        board, failures = self.board, []
        try:
            try:
                valid = board.is_valid
            except Exception as e:
                failures.append(e)
                valid = True  # not known: every step is tried
            if valid:
                _attempt(board.stop if self.ended else board.abort, failures)
                if not self.ended:
                    # Where the board stopped: whether the frames handed out are still whole.
                    # A board that cannot tell leaves them not vouched for (not a failure).
                    try:
                        self.final = board.query_status().total_frame_count
                    except Exception:  # noqa: BLE001, S110 - see above
                        pass
                _attempt(board.unlock, failures)
                if self.saved_num is not None:
                    saved = self.saved_num
                    _attempt(lambda: setattr(board, "num", saved), failures)
        finally:
            with _holders_lock:
                if _holders.get(id(board)) is self:
                    del _holders[id(board)]
        if failures:
            _raise_chained(failures)

    def end_collected(self) -> None:
        """The stream was collected (or the interpreter exits) without close(): end the capture
        all the same. Nobody is left to be told of a failure (the board already closed)."""
        try:
            self.end()
        except Exception:  # noqa: BLE001, S110 - see above
            pass


def _attempt(step: Callable[[], object], failures: list[Exception]) -> None:
    try:
        step()
    except Exception as e:
        failures.append(e)


def _raise_chained(failures: list[Exception]) -> None:
    """Raises the first of `failures`, each one's `__context__` the one after it (raising sets
    the context to the exception being handled, so each is raised while the next is)."""
    if len(failures) == 1:
        raise failures[0]
    try:
        _raise_chained(failures[1:])
    except Exception:
        raise failures[0]  # noqa: B904 - the context is the point


# The boards that open streams (and the recordings through them) hold, by the handle object:
# id(board) -> the session. The library keeps the ring, the frame count and the acquisition with
# each handle (a copy shares the board but captures on its own), so a second stream is refused
# on the same handle only: it would restart the count that the first one reads.
_holders: dict[int, _Session] = {}
_holders_lock = threading.Lock()
# id(image) -> the stream that locked it last (a weak reference); a frame whose ring image a
# later stream locked is no longer vouched for. The entries of a collected stream are dropped.
_last_lock: dict[int, weakref.ref[Frames]] = {}


def _forget(ref: weakref.ref[Frames]) -> None:
    for key, value in list(_last_lock.items()):
        if value is ref:
            _last_lock.pop(key, None)


class Frames:
    """Context manager and iterator (also asynchronous) over the frames of a capture board.

    Entering locks the ring, sets the board's frame count (`count`, or 0: without end) and
    starts it; leaving stops it (all frames taken) or aborts it (left early, by `break` or an
    exception), unlocks it and gives back its former frame count. A stream dropped without
    being closed does the same when it is collected. Each of these steps is taken whatever the
    others do; the first that fails is raised, the later failures as its `__context__`.

    From entering to leaving, the stream holds the board object: another stream or a recording
    on it is refused (RuntimeError), so that no frame of another run is handed out.

    When the block ends in an error (the board closed under the loop, say) and ending the
    capture fails too, the block's error is raised, with the cleanup's failures as its
    `__context__`."""

    def __init__(
        self,
        board: CaptureBoard,
        ring: int | Sequence[core.CxImage],
        count: int | None = None,
    ) -> None:
        self._wait = _waiter(board)
        if count is not None:
            count = operator.index(count)
            if not 1 <= count <= _MAX_COUNT:
                raise ValueError(f"count must be None (no end) or 1 to {_MAX_COUNT}")
        self.board: CaptureBoard = board
        self.count: int | None = count
        self.images: list[core.CxImage] = make_ring(board, ring)
        self.dropped: int = 0  # frames the board overwrote before the script asked for them
        self.overrun: int = 0  # frames the board began to overwrite while the script held them
        self._views: list[numpy.ndarray] = []
        self._next = 0  # number of the next frame to hand out
        self._held: int | None = None  # number of the frame handed out last
        self._limit: float | None = None  # KX310: the board's Timeout setting, in seconds
        self._state = StreamState.NEW
        self._seen = 0  # the highest count of complete frames seen in this stream's run
        self._session = _Session(board, f"an open frame stream ({self!r})")
        self._finalizer: weakref.finalize[[], Frames] | None = None
        self._ref = weakref.ref(self, _forget)

    # ---- the board's session -----------------------------------------------------------------

    def open(self) -> Frames:
        """Locks the ring and starts the board (what entering the block does)."""
        if self._state is not StreamState.NEW:
            raise RuntimeError("a frame stream is opened only once")
        import numpy

        views = [numpy.asarray(image).view() for image in self.images]
        for view in views:
            view.flags.writeable = False  # the board writes the slots, the script reads them
        board, session = self.board, self._session
        with _holders_lock:
            holder = _holders.get(id(board))
            if holder is not None:
                raise RuntimeError(
                    f"this {type(board).__name__} is held by {holder.owner}: a second stream "
                    "on it would restart the count the first one reads; end the first (leave "
                    "its with block, or stop the recording) before starting another"
                )
            _holders[id(board)] = session
        try:
            board.lock(self.images)
        except BaseException:
            with _holders_lock:
                del _holders[id(board)]
            raise
        for image in self.images:
            _last_lock[id(image)] = self._ref
        self._state = StreamState.OPEN
        self._finalizer = weakref.finalize(self, session.end_collected)
        try:
            session.saved_num = board.num
            board.num = 0 if self.count is None else self.count
            board.start()
        except BaseException:
            self.close()
            raise
        self._views = views
        return self

    def close(self) -> None:
        """Stops or aborts the board, unlocks it and restores its frame count. Idempotent."""
        opened = self._state in (StreamState.OPEN, StreamState.ENDED)
        self._state = StreamState.CLOSED
        if opened and self._finalizer is not None and self._finalizer.detach():
            self._session.end()

    def _leave(self, error: BaseException | None) -> None:
        """Closes the stream at the end of a block that `error` (or nothing) ended."""
        try:
            self.close()
        except Exception as cleanup:
            if error is None:
                raise
            # The error that ended the block is what the script is told; the cleanup's failures
            # (often caused by it) are kept as its context rather than raised in its place.
            # Raised while the block's error was handled, their chain ends in it: it ends in
            # what came before the block's error instead (no cycle).
            last: BaseException = cleanup
            while last.__context__ is not None and last.__context__ is not error:
                last = last.__context__
            last.__context__, error.__context__ = error.__context__, cleanup

    def __enter__(self) -> Frames:
        return self.open()

    def __exit__(self, _type: object, error: BaseException | None, _tb: object) -> None:
        self._leave(error)

    async def __aenter__(self) -> Frames:
        return self.open()

    async def __aexit__(self, _type: object, error: BaseException | None, _tb: object) -> None:
        self._leave(error)

    # ---- iteration -----------------------------------------------------------------------------

    def __iter__(self) -> Iterator[Frame]:
        return self

    def __aiter__(self) -> AsyncIterator[Frame]:
        return self

    async def __anext__(self) -> Frame:
        from . import aio  # asyncio, only for streams iterated with `async for`

        frame = await aio.run(lambda: next(self, None), self._cancel)
        if frame is None:
            raise StopAsyncIteration
        return frame

    def __next__(self) -> Frame:
        """Blocks until the next frame that is still whole."""
        if self._state is not StreamState.OPEN:
            if self._state is StreamState.NEW:
                raise RuntimeError("open the frame stream first: with pyzol.frames(...) as stream")
            raise StopIteration
        k, n, count = self._next, len(self._views), self.count
        if count is not None and k >= count:
            self._ended()
            raise StopIteration
        status, total = self._wait(self, k)
        self._seen = max(self._seen, total)
        held = self._held
        if held is not None and total >= held + n and self._overtaken(held, total):
            self.overrun += 1
            _log("%s: frame %d overrun: the board wrote frame %d into its slot while the script "
                 "held it", repr(self), held, held + n)  # fmt: skip
        self._held = None
        if total <= k:  # the capture ended (stopped or aborted) before frame k
            _refuse_closed(self.board)
            self._ended()
            raise StopIteration
        finished = count is not None and total >= count
        # While the board runs, the n - 1 newest complete frames are whole; once it has finished,
        # all n are.
        if k < total - (n if finished else n - 1):
            # Frame k was overwritten. A running board is about to overwrite the oldest whole
            # frame too, so catch up to the newest one; a finished board overwrites nothing.
            resume = total - n if finished else total - 1
            self.dropped += resume - k
            _log("%s: %d frames dropped (%d to %d): overwritten before the script asked for "
                 "them", repr(self), resume - k, k, resume - 1)  # fmt: skip
            k = resume
        self._next, self._held = k + 1, k
        if count is not None and k + 1 >= count:
            self._ended()
        return Frame(self, k, k % n, status)

    def __repr__(self) -> str:
        return f"<Frames of {type(self.board).__name__}, ring of {len(self.images)}>"

    def _ended(self) -> None:
        """All frames are taken (or the capture is over): leaving stops rather than aborts."""
        self._state = StreamState.ENDED
        self._session.ended = True

    def _total(self) -> int | None:
        """The highest count of complete frames of this stream's run: asked of the board while
        the stream holds it; once closed, where its end left the board (None: not known)."""
        if self._state in (StreamState.OPEN, StreamState.ENDED):
            total = self.board.query_status().total_frame_count
        elif self._session.ended:
            total = self._seen  # all frames taken or the capture over: nothing came after
        elif self._session.final is not None:
            total = self._session.final  # aborted: where the board stopped
        else:
            return None  # aborted, and the board could not say where it stopped
        self._seen = max(self._seen, total)
        return self._seen

    def _overtaken(self, number: int, total: int) -> bool:
        """Whether, by the board's count of complete frames, it has begun to write frame
        `number + n` over frame `number`."""
        later = number + len(self._views)
        return total >= later and (self.count is None or later < self.count)

    def _cancel(self) -> None:
        """Ends a wait for a frame running in another thread (an awaiting task was cancelled)."""
        self.board.abort()
        if isinstance(self.board, unit.KX310):
            self.board.cancel_wait_event(_FRAME_END)


def frames(
    board: CaptureBoard, ring: int | Sequence[core.CxImage], count: int | None = None
) -> Frames:
    """The frames of `board` captured into a ring of `ring` images (in the board's frame size
    and pixel format) or into the given images (at least two), `count` frames or without end.
    Use it in a ``with`` (or ``async with``) block: see `Frames`."""
    return Frames(board, ring, count)


def _log(message: str, *args: object) -> None:
    """Logs a frame the script lost, as a warning on the "pyzol" logger. The logging package is
    imported at the first loss, not with pyzol; the logger's NullHandler keeps it silent unless
    the script configures logging (no last-resort output on stderr). A record keeps its
    arguments: they name the stream by its repr, never hold it (a handler that keeps records
    would keep the stream and its capture alive)."""
    global _logger
    if _logger is None:
        import logging

        _logger = logging.getLogger("pyzol")
        _logger.addHandler(logging.NullHandler())
    _logger.warning(message, *args)


_logger: Any = None


def _refuse_closed(board: CaptureBoardProtocol) -> None:
    """A capture that ended because its board was closed or disposed (by the loop or another
    thread) ends the iteration with the library's error for that board, whichever board it is
    and wherever the board's wait happened to be: status NotOpened or Disposed."""
    if not board.is_opened:  # a disposed board raises here
        board.wait()  # a closed board takes no wait: the library's NotOpened error


def _wait_numbered(stream: Frames, k: int) -> tuple[CaptureStatus, int]:
    """KX210, TR520: `wait_status(k)` returns once frame k is complete or the capture is over
    (the board's Timeout setting applies; the library raises when it passes)."""
    board = cast(_WaitsForFrame, stream.board)
    status = board.wait_status(k)
    return cast(CaptureStatus, status), status.total_frame_count


def _wait_events(stream: Frames, k: int) -> tuple[CaptureStatus, int]:
    """KX310: frame-end events. A frame may end between the status query and the event wait,
    and a capture that ends raises no frame-end event, so the wait is taken in short slices;
    the board's Timeout setting bounds the whole wait (TimeoutError)."""
    board = cast(_WaitsForEvents, stream.board)
    deadline: float | None = None
    while True:
        running = board.is_running  # read first: a status read after it is then final
        status = board.query_status()
        total = status.total_frame_count
        if total > k:
            return cast(CaptureStatus, status), total
        if not running:
            # The capture is over. The status of a board taken out of the rack still reads (the
            # run aborted), so ask once more in a way that fails for a board gone (NoDevice) or
            # closed (NotOpened); for a run that really ended it returns at once.
            cast(unit.KX310, board).wait(0)
            return cast(CaptureStatus, status), total
        now = time.monotonic()
        if deadline is None:
            if stream._limit is None:
                ms = unit.KX310Param.from_(cast(unit.KX310, board)).get_param("Timeout")
                stream._limit = ms / 1000 if ms >= 0 else float("inf")
            deadline = now + stream._limit
        if now >= deadline:
            raise TimeoutError(f"no frame {k} within the board's Timeout setting")
        board.wait_event(_FRAME_END, int(min(_EVENT_SLICE_MS, (deadline - now) * 1000 + 1)), 0)


def _waiter(board: object) -> Callable[[Frames, int], tuple[CaptureStatus, int]]:
    return _wait_events if kind(board) is unit.KX310 else _wait_numbered
