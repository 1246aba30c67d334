"""Every frame of a capture board into a file, with its number, time and status: a multi-page
TIFF file (``.tif``), an OME-TIFF file (``.ome.tif``), an HDF5 file (``.h5``), an OME-Zarr store
(``.zarr``), or whatever a writer object of the script's own makes of them (see
`pyzol.writers`).

    rec = pyzol.record(board, "run.tif", count=1000)   # records in the background at once
    rec.wait()                                          # until the 1000 frames are in the file
    print(rec.progress)                                 # written, dropped, frames/s, MB/s

    with pyzol.record(board, "run.tif") as rec:         # records while the block runs
        ...                                             # rec.progress, rec.stop()

How it keeps every frame it can: the board runs through `pyzol.frames` over a ring of `ring`
images. A capture thread copies each complete frame out of its ring slot into a free buffer of a
pool allocated up front, checks that the board stayed off the slot while it copied, and queues
the copy; a writer thread writes the queued frames in order and gives their buffers back. The
capture thread never waits for the writer: when no buffer is free the frame is dropped and
counted, so memory stays at the pool's size whatever the disk does.

A TIFF file, one page per frame, uncompressed in one strip each, in the frame's own format:

- 8-bit gray (Mono8), 16-bit gray (Mono16, and Mono10/Mono12 in their 16-bit samples, as the
  board delivers them) or RGB. BGR8 frames are stored in RGB order, so that every reader shows
  their colours; the run's record says so (``"stored": "RGB"``).
- ``tifffile.imread(path)`` gives back the frames as one array: (frames, height, width) or
  (frames, height, width, 3).
- Each page's ImageDescription is a JSON object: ``frame`` (the frame's number, counted from 0
  at the start: a gap is a dropped frame), ``time_ns`` (when the recorder saw the frame
  complete, on the clock of `time.monotonic_ns`), ``status`` (the board's status record of
  that moment, field by field) and ``trigger`` (the number of the trigger that made the frame,
  from 1; 0 for a free-running frame; absent where the library cannot tell). The first page's
  also holds ``run``: the board, frame size, pixel format, ring and pool, the start time, the
  camera file and its text when given, and the board's settings as its ``save`` writes them.
- BigTIFF when the recording has no set length or could pass 4 GiB.

The other formats: see `pyzol.writers.ome_tiff`, `pyzol.writers.hdf5`, `pyzol.writers.ome_zarr`.

However the recording ends (its count reached, `stop()`, an exception or Ctrl-C in the
``with`` block or in `wait()`, a failed write, the interpreter's exit), the capture ends and the
file is closed complete and readable, holding the frames written until then. When a write fails
(a full disk, a file size limit), the frame being written is cut off and the error says how many
frames the file keeps. tifffile writes a TIFF file through `pyzol._linked_last`, which puts each
page in the file before the file links to it, so even a process killed outright leaves every
page the file links to whole.
"""

from __future__ import annotations

import atexit
import collections
import contextlib
import operator
import os
import queue
import threading
import time
import weakref
from collections.abc import Sequence
from typing import TYPE_CHECKING, Any, NamedTuple, overload

from . import boards, core
from .boards import CaptureBoard, FrameFormat, frame_format
from .run_record import run_record, status_fields
from .stream import Frames, StreamState
from .writers import FrameMeta, FrameWriter, Run, writer_for
from .writers.base import remove_made, write_error

if TYPE_CHECKING:
    import numpy  # noqa: F401

    from .group_recording import GroupRecording
    from .groups import Group

__all__ = ["Progress", "Recorder", "record"]

# The pool's default size: 256 MiB of frames, at least _MIN_POOL and at most _MAX_POOL buffers
# (tiny frames would make millions of them). A pool given by the script takes up to _POOL_LIMIT.
_POOL_BYTES = 256 * 2**20
_MIN_POOL = 4
_MAX_POOL = 65536
_POOL_LIMIT = 2**20
# Memory a buffer costs beyond its pixels: its array object and queue entry, and the status
# record of the frame it carries to the writer (about 600 bytes measured, with a margin).
_BUFFER_OVERHEAD = 1024


class Progress(NamedTuple):
    """Where a recording stands: frames in the file, frames lost, bytes of frames written and
    seconds since the start (until the end once it has ended)."""

    written: int
    dropped: int
    nbytes: int
    elapsed: float

    @property
    def frames_per_s(self) -> float:
        return self.written / self.elapsed if self.elapsed > 0 else 0.0

    @property
    def mb_per_s(self) -> float:
        """Megabytes (10**6 bytes) of frames written per second."""
        return self.nbytes / 1e6 / self.elapsed if self.elapsed > 0 else 0.0


class Recorder:
    """Records the frames of `board` into the file `path` (its writer chosen by its suffix, see
    `pyzol.writers.writer_for`) or through the writer object `path` (see `pyzol.writers`):
    `count` frames, or without end until `stop()` (see the module's
    description). The board runs over a ring of `ring` images
    (or the given images, as in `pyzol.frames`); `pool` frame buffers (up to 1048576; by default
    256 MiB of them, at most 65536) hold the frames on their way to the disk. A ring and pool
    that do not fit together in the memory the machine has are refused before anything is
    allocated (ValueError, naming which does not fit). `camera` names the camera file the board
    was set up from, whose text is kept in the file; `bigtiff` overrides the TIFF writer's choice
    of format. Needs numpy, and tifffile, h5py or zarr for their formats (``pip install
    pyzol[record]``).

    While it records, the recording holds the board: a frame stream or another recording on it
    is refused (RuntimeError) until this one has ended.

    It starts when made (`pyzol.record(...)` makes one): the file is created, the board locked
    and started, and two threads capture and write. `wait()` waits for its end, `stop()` ends it
    early; as a context manager, leaving the block waits for `count` frames (stops at once
    without a count, or on an exception)."""

    nbytes: int
    """Bytes of the frames in the file."""
    pool_full: int
    """Complete frames dropped because no buffer was free."""
    overrun: int
    """Frames the board began to overwrite while they were being copied."""

    def __init__(
        self,
        board: CaptureBoard,
        path: str | os.PathLike[str] | FrameWriter,
        count: int | None = None,
        ring: int | Sequence[core.CxImage] = 8,
        *,
        pool: int | None = None,
        camera: str | os.PathLike[str] | None = None,
        bigtiff: bool | None = None,
    ) -> None:
        numpy = _numpy()
        fmt = frame_format(board)
        self.board = board
        if isinstance(path, (str, os.PathLike)):
            writer, made = writer_for(path, bigtiff), True
        elif bigtiff is not None:
            raise ValueError("bigtiff= is for the TIFF files the recorder makes from a path")
        else:
            writer, made = path, False
        self.writer: FrameWriter = writer
        #: The file's path, or the writer's repr for a writer without one.
        self.path: str = getattr(writer, "path", None) or repr(writer)
        self.format = fmt
        size = fmt.frame_bytes
        if size == 0:
            raise ValueError(
                f"{boards.kind(board).__name__} is set up for {fmt.width}x{fmt.height} frames: "
                "nothing to record"
            )
        if pool is None:
            pool = min(_MAX_POOL, max(_MIN_POOL, _POOL_BYTES // size))
        else:
            pool = operator.index(pool)
            if not 1 <= pool <= _POOL_LIMIT:
                raise ValueError(f"the pool takes 1 to {_POOL_LIMIT} buffers, not {pool}")
        _refuse_beyond_memory(fmt, ring, pool)
        # Refusals first (board, count, ring, camera file): nothing is created or started yet.
        stream = Frames(board, ring, count)
        stream._session.owner = f"a recording to {self.path!r}"
        self.count: int | None = stream.count
        run = run_record(board, fmt, len(stream.images), stream.count, pool, camera)
        self._fields = status_fields(board)

        self._stream = stream
        self._run = run
        self._lock = threading.Lock()  # the capture's end against stop() from another thread
        self._stopping = False
        self._error: BaseException | None = None
        self._reported = False
        self.nbytes = 0  # bytes of the frames in the file
        self.pool_full = 0  # complete frames dropped because no buffer was free
        self.overrun = 0  # frames the board began to overwrite while they were being copied
        self._started = self._ended = 0.0

        opened = False
        try:
            # A bad path ends here, before the board starts.
            writer.open(Run(fmt, stream.count, self._fields, run))
            opened = True
            # One block of memory; each buffer is one frame of it. The free buffers are a
            # stack: the buffer the writer gave back last is the next one copied into, still in
            # the processor's cache, and while the writer keeps up only the first few buffers
            # are ever touched (the rest of the block is never faulted in). deque's append and
            # pop are atomic: the capture thread pops, the writer thread appends.
            block = numpy.empty((pool, *fmt.shape), fmt.dtype)
            self._free: collections.deque[Any] = collections.deque(
                block[i] for i in reversed(range(pool))
            )
            self._queue: queue.SimpleQueue[Any] = queue.SimpleQueue()
            self.pool = pool
            stream.open()
        except BaseException:
            writer.fail()
            if made:  # nothing was recorded: what the writer made goes
                remove_made(self.path, opened)
            raise
        self._started = time.monotonic()
        self._capturer = threading.Thread(target=self._capture, name="pyzol-capture", daemon=True)
        self._writer = threading.Thread(target=self._write, name="pyzol-writer", daemon=True)
        self._capturer.start()
        self._writer.start()
        _live.add(self)
        # The exit hook of streams' finalisers (weakref.finalize) is registered with the first
        # one: registered again after it, this module's hook runs first, and stops each
        # recording through its own stream rather than have its board ended under it.
        atexit.unregister(_end_all)
        atexit.register(_end_all)

    # ---- what the script sees ------------------------------------------------------------------

    @property
    def written(self) -> int:
        """Frames in the file."""
        return self.writer.written

    @property
    def missed(self) -> int:
        """Frames the board overwrote before the capture thread came to them."""
        return self._stream.dropped

    @property
    def dropped(self) -> int:
        """Frames lost: pool full, missed or overrun."""
        return self.pool_full + self.missed + self.overrun

    @property
    def done(self) -> bool:
        """Whether the recording has ended and its file is closed."""
        return not self._writer.is_alive()

    @property
    def progress(self) -> Progress:
        end = self._ended or time.monotonic()
        return Progress(self.written, self.dropped, self.nbytes, end - self._started)

    def stop(self) -> None:
        """Ends the capture now; the frames already captured are still written. Returns at
        once: `wait()` waits for the file to be closed."""
        self._stopping = True
        with self._lock:
            if self._stream._state is StreamState.OPEN:
                try:
                    self._stream._cancel()
                except RuntimeError:
                    # A board closed or disposed under the recording: its capture has ended
                    # (the capture thread keeps the board's error for wait()).
                    if not _gone(self.board):
                        raise

    def wait(self, timeout: float | None = None) -> Progress:
        """Waits until the recording has ended and its file is closed, and gives its final
        progress. Raises what ended it badly (a failed write, the board's error), once;
        TimeoutError when it is still running after `timeout` seconds. An exception here
        (Ctrl-C) stops the recording and waits for the file before it goes on."""
        try:
            deadline = None if timeout is None else time.monotonic() + timeout
            for thread in (self._capturer, self._writer):
                thread.join(None if deadline is None else max(0.0, deadline - time.monotonic()))
            if self._writer.is_alive():
                raise TimeoutError(f"the recording to {self.path!r} is still running")
        except BaseException as e:
            if not isinstance(e, TimeoutError):
                self._end()
            raise
        if self._error is not None and not self._reported:
            self._reported = True
            raise self._error
        return self.progress

    def close(self) -> Progress:
        """Stops the recording and waits for its file (see `wait`)."""
        self.stop()
        return self.wait()

    def __enter__(self) -> Recorder:
        return self

    def __exit__(self, kind: type[BaseException] | None, *exc: object) -> None:
        if kind is not None:
            self._end()  # the block's own exception goes on
            return
        if self.count is None:
            self.stop()
        self.wait()

    def __repr__(self) -> str:
        state = "done" if self.done else "recording"
        return f"<Recorder {self.path!r} {state}: {self.written} written, {self.dropped} dropped>"

    def _end(self) -> None:
        """Stops and waits for both threads, whatever comes in between."""
        try:
            self.stop()
        finally:
            self._capturer.join()
            self._writer.join()

    def _fail(self, error: BaseException) -> None:
        if self._error is None:
            self._error = error

    # ---- capture thread ------------------------------------------------------------------------

    def _capture(self) -> None:
        import numpy

        stream, free, out, fields = self._stream, self._free, self._queue, self._fields
        try:
            for frame in stream:
                if self._stopping:
                    break
                try:
                    buffer = free.pop()
                except IndexError:  # none free
                    self.pool_full += 1
                    continue
                # A plain copy: it must be done before the board comes back to the slot.
                numpy.copyto(buffer, frame.array)
                frame.release()  # the copy is checked here, not by the stream
                if not frame.intact:  # the board came back to the slot during the copy
                    self.overrun += 1
                    free.append(buffer)
                    continue
                status = frame.status
                record = {name: getattr(status, name) for name in fields}
                out.put((buffer, FrameMeta(frame.number, frame.time_ns, record, frame.trigger)))
        except BaseException as e:  # handed to wait()
            self._fail(e)
        finally:
            try:
                with self._lock:
                    stream.close()
            except BaseException as e:
                self._fail(e)
            out.put(None)

    # ---- writer thread -------------------------------------------------------------------------

    def _write(self) -> None:
        writer, out, free = self.writer, self._queue, self._free
        failed = False
        while (item := out.get()) is not None:
            buffer, meta = item
            if not failed:
                try:
                    writer.write(buffer, meta)
                    self.nbytes += buffer.nbytes
                except Exception as e:
                    failed = True
                    self._write_failed(e)
            free.append(buffer)
        try:
            if not failed:
                writer.close()
        except Exception as e:
            self._write_failed(e)
        finally:
            self._ended = time.monotonic()

    def _write_failed(self, error: Exception) -> None:
        """Ends the capture, has the writer end the file after its last whole frame and keeps
        an error that says how many frames it holds."""
        with contextlib.suppress(Exception):
            self.stop()
        with contextlib.suppress(Exception):
            self.writer.fail()
        self.nbytes = self.written * self.format.frame_bytes
        self._fail(write_error(error, self.written, self.path))


@overload
def record(
    board: CaptureBoard,
    path: str | os.PathLike[str] | FrameWriter,
    count: int | None = None,
    ring: int | Sequence[core.CxImage] = 8,
    *,
    pool: int | None = None,
    camera: str | os.PathLike[str] | None = None,
    bigtiff: bool | None = None,
) -> Recorder: ...
@overload
def record(
    board: Group,
    path: str | os.PathLike[str] | Sequence[str | os.PathLike[str] | FrameWriter],
    count: int | None = None,
    *,
    bigtiff: bool | None = None,
) -> GroupRecording: ...
def record(board: Any, path: Any, count: Any = None, *args: Any, **kwargs: Any) -> Any:
    """Starts recording: the frames of a capture board into one file (a `Recorder`, see the
    module's description), or a `pyzol.sync` group into one file per camera (a
    `pyzol.group_recording.GroupRecording`)."""
    from .groups import Group

    if isinstance(board, Group):
        from .group_recording import GroupRecording

        return GroupRecording(board, path, count, *args, **kwargs)
    return Recorder(board, path, count, *args, **kwargs)


# ---- the file ------------------------------------------------------------------------------------


def _numpy() -> Any:
    try:
        import numpy
    except ImportError as e:
        raise ImportError("pyzol.record needs numpy: pip install pyzol[record]") from e
    return numpy


def _refuse_beyond_memory(fmt: FrameFormat, ring: object, pool: int) -> None:
    """Refuses (ValueError) a ring (when it is to be made: `ring` a number) and pool that do not
    fit together in the memory the machine has, naming the one that does not fit by itself,
    or both, before anything is allocated."""
    size, what = fmt.frame_bytes, f"{fmt.width}x{fmt.height} {fmt.pixel_format.name}"
    parts = [(f"a pool of {pool} frame buffers of {what}", pool * (size + _BUFFER_OVERHEAD))]
    if hasattr(ring, "__index__") and operator.index(ring) >= 2:  # smaller: Frames refuses it
        ring = operator.index(ring)
        parts.insert(0, (f"a ring of {ring} images of {what}", ring * size))
    have, need = boards.available_memory(), sum(n for _, n in parts)
    if need <= have:
        return
    alone = [(w, n) for w, n in parts if n > have]
    if alone:
        text = " and ".join(f"{w} needs {_mib(n)}" for w, n in alone)
    else:
        text = " and ".join(f"{w} ({_mib(n)})" for w, n in parts)
        text += f" need {_mib(need)} together"
    raise ValueError(f"{text}; the machine has {_mib(have)} available")


def _mib(n: int) -> str:
    return f"{n / 2**20:,.0f} MiB"


def _gone(board: CaptureBoard) -> bool:
    """Whether the board was disposed or closed (a board that cannot tell is not)."""
    try:
        return not board.is_valid or not board.is_opened
    except RuntimeError:
        return False


# ---- recordings still running when the interpreter ends ----------------------------------------

_live: weakref.WeakSet[Recorder] = weakref.WeakSet()


def _end_all() -> None:
    """The threads are daemons, so that a recording without end cannot hold the interpreter;
    before they are cut off, each recording still running is stopped and its file closed. Every
    one is, whatever ending another raises; the first such failure is raised after."""
    first: BaseException | None = None
    for recorder in list(_live):
        try:
            recorder._end()
        except BaseException as e:  # noqa: BLE001 - the others are ended first
            first = first or e
    if first is not None:
        raise first
