"""Several cameras captured in step: one trigger edge, one set of frames.

    rm = pyzol.open("RM1600", 0)
    cams = [pyzol.open("KX210", 0, camera="trig.txt"), pyzol.open("KX310", 0, camera="trig.txt")]
    with pyzol.sync(*cams, trigger=(rm, 3), rate=500, count=1000) as group:
        for fs in group:                  # FrameSet: one per trigger, in order
            fs.trigger, fs.frames, fs.missed
    print(group.counters)                 # triggers sent; frames, missed, dropped per camera

Every camera's board must be in trigger mode, its trigger input wired to the output that the
group pulses (`trigger=(io_board, bit)` at `rate` pulses per second, `count` of them or without
end) or to a source the script drives itself (no `trigger`: the sets follow the triggers the
boards receive). Entering the block starts every camera, then the pulses; leaving it ends the
pulses, then the captures.

Each camera's frames are taken by a thread of its own, copied out of the board's ring at once
(so that a set waiting for its slowest camera holds no ring slot), queued (at most `queue`
frames a camera: a frame that finds its camera's queue full, the script being that far behind,
is dropped and counted) and matched by the number of the trigger that made them. A set is handed
out once every camera has either given its frame for that trigger or is known to have none: its
board has seen the trigger and every frame it took has arrived (or was lost). A camera without a
frame leaves a gap for that camera only (`None` in `frames`, its index in `missed`); sets never
mix frames of different triggers.

The three counts of each camera add up to the triggers sent once the last set is out: frames
handed out in sets, triggers its board missed (they came while it was exposing or inside its
mask time) and frames lost on the host's side (the ring overwritten before the thread copied
them, or while it did)."""

from __future__ import annotations

import collections
import contextlib
import math
import operator
import threading
import time
from typing import TYPE_CHECKING, Any, NamedTuple

from . import records, unit
from .boards import CaptureBoard
from .stream import Frames

if TYPE_CHECKING:
    from collections.abc import AsyncIterator, Iterator, Sequence

    import numpy

    from . import core

__all__ = ["CameraCounts", "FrameSet", "Group", "SyncCounts", "SyncFrame", "sync"]

# While a set waits for a camera with nothing queued, the group asks that camera's board this
# often whether it has the trigger at all (a missed trigger sends no frame to wait for).
_POLL = 0.001
# The pulse's high time: half the period, at most this (seconds).
_PULSE = 0.001


class SyncFrame(NamedTuple):
    """One camera's frame of a set, copied out of its ring: its number in the camera's run, the
    number of the trigger that made it, when the group saw it complete (`time.monotonic_ns`),
    the board's status record of that moment (a value) and its pixels."""

    number: int
    trigger: int
    time_ns: int
    status: Any
    array: numpy.ndarray


class FrameSet(NamedTuple):
    """The frames of one trigger: `frames[i]` is camera i's (None where it has none), `missed`
    the indices of the cameras without one, `sent_ns` when the group raised the trigger
    (`time.monotonic_ns`; None for a trigger the script drives)."""

    trigger: int
    frames: tuple[SyncFrame | None, ...]
    missed: tuple[int, ...]
    sent_ns: int | None

    @property
    def complete(self) -> bool:
        """Whether every camera has its frame."""
        return not self.missed


class CameraCounts(NamedTuple):
    """One camera's share of a group's triggers: `frames` handed out in sets, triggers its
    board `missed`, frames `dropped` on the host's side."""

    frames: int
    missed: int
    dropped: int


class SyncCounts(NamedTuple):
    """A group's counters: triggers sent (pulsed by the group; for a trigger the script
    drives, the most any camera's board has seen) and each camera's counts."""

    triggers: int
    cameras: tuple[CameraCounts, ...]


class _Camera:
    """One camera of the group: its stream, its thread and what the thread has queued."""

    def __init__(self, board: CaptureBoard, ring: int | Sequence[core.CxImage]) -> None:
        self.board = board
        self.stream = Frames(board, ring)
        self.queue: collections.deque[SyncFrame] = collections.deque()
        self.arrived = 0  # frames copied and queued
        self.lost = 0  # frames begun to be overwritten while copied
        self.handed = 0  # frames handed out in sets
        self.ended = False
        self.thread: threading.Thread | None = None

    def settled(self, trigger: int) -> bool:
        """Whether the board has seen `trigger` and every frame it took has arrived or was lost:
        then no frame for `trigger` is still to come."""
        counts = records.trigger_counts(self.board)
        if counts is None:
            return False
        stream = self.stream
        return counts.detected >= trigger and (
            self.arrived + self.lost + stream.dropped >= counts.taken
        )

    def counts(self) -> CameraCounts:
        triggers = records.trigger_counts(self.board)
        missed = 0 if triggers is None else triggers.missed
        return CameraCounts(self.handed, missed, self.lost + self.stream.dropped)


def _capture_board(camera: object, i: int) -> CaptureBoard:
    board = getattr(camera, "unit", camera)  # a front-door Camera, or the board itself
    if not isinstance(board, (unit.KX210, unit.KX310, unit.TR520)):
        raise TypeError(
            f"pyzol.sync takes capture boards (KX210, KX310, TR520, or pyzol.open's Camera of "
            f"one); camera {i} is {type(camera).__name__}"
        )
    check = getattr(camera, "_check_open", None)
    if check is not None:
        check()
    return board


class Group:
    """Cameras captured in step (see the module's description); made by `pyzol.sync`."""

    rate: float | None
    """Pulses a second of the trigger the group pulses (None: a trigger the script drives)."""
    count: int | None
    """Triggers the group pulses (None: without end)."""

    def __init__(
        self,
        *cameras: object,
        trigger: tuple[Any, int] | None = None,
        rate: float | None = None,
        count: int | None = None,
        ring: int = 16,
        queue: int = 64,
    ) -> None:
        if not cameras:
            raise TypeError("pyzol.sync needs at least one camera")
        boards = [_capture_board(c, i) for i, c in enumerate(cameras)]
        if len({id(b) for b in boards}) != len(boards):
            raise ValueError("a camera is given twice: each takes its own place in the sets")
        if records.trigger_counts(boards[0]) is None:
            raise RuntimeError("this device library does not number its triggers: frames of "
                               "several cameras cannot be matched by trigger")  # fmt: skip
        self._writer: Any = None
        self._bit = 0
        if trigger is not None:
            if not (isinstance(trigger, tuple) and len(trigger) == 2):
                raise TypeError(f"trigger must be (io_board, bit), not {trigger!r}")
            io, bit = trigger
            self._writer = getattr(io, "write", None)
            if not callable(self._writer) or not hasattr(io, "abort"):
                raise TypeError(f"trigger's board must be an I/O board, not {type(io).__name__}")
            self._bit = operator.index(bit)
            if not 0 <= self._bit <= 31:
                raise ValueError(f"trigger's bit must be 0 to 31, not {self._bit}")
            if rate is None:
                raise TypeError("a trigger the group pulses needs a rate (pulses per second)")
        elif rate is not None or count is not None:
            raise TypeError("rate and count are for a trigger the group pulses: give trigger=")
        if rate is not None:
            rate = float(rate)
            if not (math.isfinite(rate) and rate > 0):
                raise ValueError(f"rate must be a positive number of pulses per second, not {rate}")
        if count is not None:
            count = operator.index(count)
            if count < 1:
                raise ValueError(f"count must be None (without end) or at least 1, not {count}")
        queue = operator.index(queue)
        if queue < 1:
            raise ValueError(f"queue must be at least 1 frame per camera, not {queue}")
        self.rate, self.count, self._bound = rate, count, queue
        self._cameras = [_Camera(b, ring) for b in boards]
        self._cond = threading.Condition()
        self._closing = threading.Event()
        self._error: BaseException | None = None
        self._next = 1  # the trigger of the next set
        self._sent = 0
        self._sent_ns: dict[int, int] = {}
        self._pulser: threading.Thread | None = None
        self._open = False

    # ---- the block -----------------------------------------------------------------------------

    def open(self) -> Group:
        """Starts every camera, then the pulses (what entering the block does)."""
        if self._open or self._closing.is_set():
            raise RuntimeError("a group is started only once")
        self._open = True
        try:
            for cam in self._cameras:
                cam.stream.open()
        except BaseException:
            self.close()
            raise
        for i, cam in enumerate(self._cameras):
            cam.thread = threading.Thread(target=self._take, args=(cam,), daemon=True,
                                          name=f"pyzol-sync-{i}")  # fmt: skip
            cam.thread.start()
        if self._writer is not None:
            self._pulser = threading.Thread(target=self._pulse, daemon=True, name="pyzol-pulses")
            self._pulser.start()
        return self

    def close(self) -> None:
        """Ends the pulses, then every camera's capture, and waits for the threads."""
        self._closing.set()
        with self._cond:
            self._cond.notify_all()
        if self._pulser is not None:
            self._pulser.join()
        # Each camera's wait is ended the library's way (abort) and its thread comes back before
        # its stream is closed here, so that no stream is closed under its own thread's wait.
        for cam in self._cameras:
            if cam.thread is not None and cam.thread.is_alive():
                with contextlib.suppress(RuntimeError):  # a board gone: its wait has ended
                    cam.stream._cancel()
        for cam in self._cameras:
            if cam.thread is not None:
                cam.thread.join()
        failures: list[BaseException] = []
        for cam in self._cameras:
            try:
                cam.stream.close()
            except Exception as e:  # noqa: BLE001 - every camera is ended first
                failures.append(e)
        if failures:
            raise failures[0]

    def __enter__(self) -> Group:
        return self.open()

    def __exit__(self, kind: object, error: BaseException | None, tb: object) -> None:
        try:
            self.close()
        except Exception:
            if error is None:
                raise

    async def __aenter__(self) -> Group:
        return self.open()

    async def __aexit__(self, kind: object, error: BaseException | None, tb: object) -> None:
        self.__exit__(kind, error, tb)

    # ---- what the script sees ------------------------------------------------------------------

    @property
    def counters(self) -> SyncCounts:
        """Triggers sent, and each camera's frames, missed and dropped (see the module's
        description); readable at any time, from any thread."""
        cams = tuple(cam.counts() for cam in self._cameras)
        sent = self._sent
        if self._writer is None:
            seen = [records.trigger_counts(cam.board) for cam in self._cameras]
            sent = max((c.detected for c in seen if c is not None), default=0)
        return SyncCounts(sent, cams)

    def __iter__(self) -> Iterator[FrameSet]:
        return self

    def __next__(self) -> FrameSet:
        """Blocks until the set of the next trigger is decided."""
        if not self._open:
            raise RuntimeError("start the group first: with pyzol.sync(...) as group")
        t = self._next
        if self.count is not None and t > self.count:
            raise StopIteration
        with self._cond:
            while True:
                if self._error is not None:
                    error, self._error = self._error, None
                    self._closing.set()
                    raise error
                heads = [self._head(cam, t) for cam in self._cameras]
                if all(h is not False for h in heads):
                    break
                if self._closing.is_set() or all(cam.ended for cam in self._cameras):
                    raise StopIteration
                self._cond.wait(_POLL)
        frames = tuple(h if isinstance(h, tuple) else None for h in heads)
        for cam, frame in zip(self._cameras, frames, strict=True):
            if frame is not None:
                cam.queue.popleft()
                cam.handed += 1
        self._next = t + 1
        missed = tuple(i for i, f in enumerate(frames) if f is None)
        return FrameSet(t, frames, missed, self._sent_ns.pop(t, None))

    async def __anext__(self) -> FrameSet:
        from . import aio

        result = await aio.run(lambda: next(self, None), self._wake)
        if result is None:
            raise StopAsyncIteration
        return result

    def __aiter__(self) -> AsyncIterator[FrameSet]:
        return self

    def __repr__(self) -> str:
        names = ", ".join(type(cam.board).__name__ for cam in self._cameras)
        return f"<pyzol.sync of {names}: trigger {self._next}>"

    # ---- inside --------------------------------------------------------------------------------

    def _head(self, cam: _Camera, t: int) -> SyncFrame | None | bool:
        """Camera `cam`'s frame for trigger `t`; None when it has none; False while not known."""
        queue = cam.queue
        while queue and queue[0].trigger < t:  # a frame of a trigger already handed out
            queue.popleft()
        if queue:
            return queue[0] if queue[0].trigger == t else None
        # Nothing queued: the thread queues under the same lock, so none is on its way unless the
        # board has yet to deliver it.
        return None if cam.ended or cam.settled(t) else False

    def _wake(self) -> None:
        """Ends a wait for a set in another thread (an awaiting task was cancelled)."""
        self._closing.set()
        with self._cond:
            self._cond.notify_all()

    def _take(self, cam: _Camera) -> None:
        """A camera's thread: every frame copied out of the ring and queued."""
        try:
            for frame in cam.stream:
                if self._closing.is_set():
                    break
                array = frame.array.copy()
                frame.release()
                if not frame.intact:
                    cam.lost += 1
                    continue
                trigger = frame.trigger
                if trigger == 0:
                    raise ValueError(f"{type(cam.board).__name__} is free-running: pyzol.sync "
                                     "needs its board in trigger mode (TriggerMode)")  # fmt: skip
                item = SyncFrame(frame.number, trigger or 0, frame.time_ns,
                                 records.value_of(frame.status), array)  # fmt: skip
                with self._cond:
                    if len(cam.queue) >= self._bound:  # the script is behind: dropped, counted
                        cam.lost += 1
                        continue
                    cam.queue.append(item)
                    cam.arrived += 1
                    self._cond.notify_all()
        except BaseException as e:  # noqa: BLE001 - handed to the script's iteration
            with self._cond:
                if self._error is None and not self._closing.is_set():
                    self._error = _typed(e, cam.board)
        finally:
            with self._cond:
                cam.ended = True
                self._cond.notify_all()

    def _pulse(self) -> None:
        """The group's trigger: `count` rising edges (or without end) at `rate`, each held high
        for half the period (at most a millisecond)."""
        assert self.rate is not None
        period = 1.0 / self.rate
        high = min(period / 2, _PULSE)
        write, bit, closing = self._writer, self._bit, self._closing
        start = time.monotonic()
        k = 0
        try:
            while self.count is None or k < self.count:
                delay = start + k * period - time.monotonic()
                if delay > 0 and closing.wait(delay):
                    break
                if closing.is_set():
                    break
                self._sent_ns[k + 1] = time.monotonic_ns()
                write(bit, True)
                self._sent = k = k + 1
                closing.wait(high)
                write(bit, False)
        except BaseException as e:  # noqa: BLE001 - handed to the script's iteration
            with self._cond:
                if self._error is None:
                    self._error = _typed(e, None)
                self._cond.notify_all()
        finally:
            try:
                write(bit, False)
            except Exception:  # noqa: BLE001, S110 - a board gone: its error is told above
                pass


def _typed(error: BaseException, board: object) -> BaseException:
    """A library error as the front door's typed error (DeviceNotFound for a board gone, ...),
    naming the camera it came from, chained to the library's own."""
    if not isinstance(error, RuntimeError):
        return error
    from .errors import as_typed

    typed = as_typed(error)
    if typed is not error:
        typed.__cause__ = error
        if board is not None:
            typed.add_note(f"from the group's {type(board).__name__}")
    return typed


# pyzol.sync(*cameras, trigger=..., rate=..., count=...) makes a group; the block starts it.
sync = Group
