"""Every frame of a capture board into a multi-page TIFF file, with its number, time and status.

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

The file, one page per frame, uncompressed in one strip each, in the frame's own format:

- 8-bit gray (Mono8), 16-bit gray (Mono16, and Mono10/Mono12 in their 16-bit samples, as the
  board delivers them) or RGB. BGR8 frames are stored in RGB order, so that every reader shows
  their colours; the run's record says so (``"stored": "RGB"``).
- ``tifffile.imread(path)`` gives back the frames as one array: (frames, height, width) or
  (frames, height, width, 3).
- Each page's ImageDescription is a JSON object: ``frame`` (the frame's number, counted from 0
  at the start: a gap is a dropped frame), ``time_ns`` (when the recorder saw the frame
  complete, on the clock of `time.monotonic_ns`) and ``status`` (the board's status record of
  that moment, field by field). The first page's also holds ``run``: the board, frame size,
  pixel format, ring and pool, the start time, the camera file and its text when given, and the
  board's settings as its ``save`` writes them.
- BigTIFF when the recording has no set length or could pass 4 GiB.

However the recording ends (its count reached, `stop()`, an exception or Ctrl-C in the
``with`` block or in `wait()`, a failed write, the interpreter's exit), the capture ends and the
file is closed complete and readable, holding the frames written until then. When a write fails
(a full disk, a file size limit), the page being written is cut off and the error says how many
frames the file keeps.
"""

from __future__ import annotations

import atexit
import contextlib
import operator
import os
import queue
import struct
import threading
import time
import weakref
from collections import deque
from collections.abc import Sequence
from typing import TYPE_CHECKING, Any, NamedTuple

from . import core
from .stream import _SETTINGS, CaptureBoard, Frames, _kind, frame_format, refuse_beyond_memory

if TYPE_CHECKING:
    import numpy  # noqa: F401

__all__ = ["Progress", "Recorder", "record"]

# The pool's default size, in bytes of frames (at least _MIN_POOL buffers).
_POOL_BYTES = 256 * 2**20
_MIN_POOL = 4
# Classic TIFF addresses 4 GiB; a counted recording that could come near it is written as
# BigTIFF. Per page: the tags and the JSON description, well below this.
_PAGE_OVERHEAD = 16 * 1024
_CLASSIC_LIMIT = 2**32 - 2**24


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
    """Records the frames of `board` into the TIFF file `path`: `count` frames, or without end
    until `stop()` (see the module's description). The board runs over a ring of `ring` images
    (or the given images, as in `pyzol.frames`); `pool` frame buffers (about 256 MiB of them by
    default) hold the frames on their way to the disk. `camera` names the camera file the board
    was set up from, whose text is kept in the file; `bigtiff` overrides the choice of format.
    Needs numpy and tifffile (``pip install pyzol[record]``).

    It starts when made (`pyzol.record(...)` makes one): the file is created, the board locked
    and started, and two threads capture and write. `wait()` waits for its end, `stop()` ends it
    early; as a context manager, leaving the block waits for `count` frames (stops at once
    without a count, or on an exception)."""

    def __init__(
        self,
        board: CaptureBoard,
        path: str | os.PathLike[str],
        count: int | None = None,
        ring: int | Sequence[core.CxImage] = 8,
        *,
        pool: int | None = None,
        camera: str | os.PathLike[str] | None = None,
        bigtiff: bool | None = None,
    ) -> None:
        numpy, tifffile = _imports()
        fmt = frame_format(board)
        self.board = board
        self.path = os.fspath(path)
        self.format = fmt
        size = fmt.frame_bytes
        if size == 0:
            raise ValueError(
                f"{_kind(board).__name__} is set up for {fmt.width}x{fmt.height} frames: "
                "nothing to record"
            )
        if pool is None:
            pool = max(_MIN_POOL, _POOL_BYTES // size)
        else:
            pool = operator.index(pool)
            if pool < 1:
                raise ValueError("the pool needs at least 1 buffer")
        refuse_beyond_memory(pool * size, f"a pool of {pool} frames of {size / 2**20:,.1f} MiB")
        # Refusals first (board, count, ring, camera file): nothing is created or started yet.
        stream = Frames(board, ring, count)
        self.count: int | None = stream.count
        run = _run_record(board, fmt, stream, pool, camera)
        if bigtiff is None:
            bigtiff = (
                stream.count is None or stream.count * (size + _PAGE_OVERHEAD) > _CLASSIC_LIMIT
            )
        Format = core.ExPixelFormat
        colour = fmt.pixel_format in (Format.RGB8, Format.BGR8)
        shape = (fmt.height, fmt.width, 3) if colour else (fmt.height, fmt.width)
        sample = numpy.uint16 if fmt.pixel_format == Format.Mono16 else numpy.uint8
        self._photometric = "rgb" if colour else "minisblack"
        self._bgr = fmt.pixel_format == Format.BGR8
        self._offset_size = 8 if bigtiff else 4

        self._stream = stream
        self._run = run
        self._lock = threading.Lock()  # the capture's end against stop() from another thread
        self._stopping = False
        self._error: BaseException | None = None
        self._reported = False
        self.written = 0  # frames in the file
        self.nbytes = 0  # bytes of those frames
        self.pool_full = 0  # complete frames dropped because no buffer was free
        self.overrun = 0  # frames the board began to overwrite while they were being copied
        self._pages: deque[tuple[int, int]] = deque(maxlen=4096)  # (pages, end of the last one)
        self._started = self._ended = 0.0

        self._file = open(self.path, "wb")  # a bad path ends here, before the board starts
        try:
            self._tiff = tifffile.TiffWriter(self._file, bigtiff=bigtiff)
            self._free: queue.SimpleQueue[Any] = queue.SimpleQueue()
            for _ in range(pool):
                self._free.put(numpy.empty(shape, sample))
            self._queue: queue.SimpleQueue[Any] = queue.SimpleQueue()
            self.pool = pool
            stream.open()
        except BaseException:
            self._file.close()
            with contextlib.suppress(OSError):
                os.unlink(self.path)  # nothing was recorded
            raise
        self._started = time.monotonic()
        self._capturer = threading.Thread(target=self._capture, name="pyzol-capture", daemon=True)
        self._writer = threading.Thread(target=self._write, name="pyzol-writer", daemon=True)
        self._capturer.start()
        self._writer.start()
        _live.add(self)

    # ---- what the script sees ------------------------------------------------------------------

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
            if self._stream._state == "open":
                self._stream._cancel()

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
        self.stop()
        self._capturer.join()
        self._writer.join()

    def _fail(self, error: BaseException) -> None:
        if self._error is None:
            self._error = error

    # ---- capture thread ------------------------------------------------------------------------

    def _capture(self) -> None:
        import numpy

        stream, free, out = self._stream, self._free, self._queue
        fields = None
        try:
            for frame in stream:
                if self._stopping:
                    break
                try:
                    buffer = free.get_nowait()
                except queue.Empty:
                    self.pool_full += 1
                    continue
                numpy.copyto(buffer, frame.array)
                frame.release()  # the copy is checked here, not by the stream
                if not frame.intact:  # the board came back to the slot during the copy
                    self.overrun += 1
                    free.put(buffer)
                    continue
                status = frame.status
                if fields is None:
                    fields = [n for n, v in vars(type(status)).items() if isinstance(v, property)]
                record = {name: getattr(status, name) for name in fields}
                out.put((buffer, frame.number, frame.time_ns, record))
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
        import json

        tiff, out, free = self._tiff, self._queue, self._free
        run: dict[str, Any] | None = self._run
        failed = False
        while (item := out.get()) is not None:
            buffer, number, time_ns, status = item
            if not failed:
                try:
                    page = {"frame": number, "time_ns": time_ns, "status": status}
                    if run is not None:
                        page["run"], run = run, None
                    tiff.write(
                        buffer[..., ::-1] if self._bgr else buffer,
                        photometric=self._photometric,
                        description=json.dumps(page),
                        metadata=None,
                        software="pyzol",
                    )
                    self.written += 1
                    self.nbytes += buffer.nbytes
                    self._pages.append((self.written, self._file.tell()))
                except Exception as e:
                    failed = True
                    self._write_failed(e)
            free.put(buffer)
        try:
            if not failed:
                tiff.close()
                self._file.close()
        except Exception as e:
            self._write_failed(e)
        finally:
            self._ended = time.monotonic()

    def _write_failed(self, error: Exception) -> None:
        """Ends the capture, cuts the file after its last whole page and keeps an error that
        says how many frames it holds."""
        self.stop()
        try:
            self._file.close()  # its unwritten buffer may fail again: the file is cut below
        except OSError:
            pass
        try:
            self.written = _cut(self.path, self._pages, self._offset_size)
        except OSError:
            pass
        self.nbytes = self.written * self.format.frame_bytes
        if isinstance(error, OSError):
            kept = f"the file keeps the {self.written} frames written before"
            error = OSError(error.errno, f"{error.strerror or error} ({kept})", self.path)
        self._fail(error)


# pyzol.record(board, path, ...) makes (and so starts) a Recorder.
record = Recorder


# ---- the file ------------------------------------------------------------------------------------


def _imports() -> tuple[Any, Any]:
    try:
        import numpy
        import tifffile
    except ImportError as e:
        raise ImportError(
            f"pyzol.record writes TIFF files with numpy and tifffile ({e.name} is missing): "
            "pip install pyzol[record]"
        ) from e
    return numpy, tifffile


def _run_record(
    board: CaptureBoard, fmt: Any, stream: Frames, pool: int, camera: Any
) -> dict[str, Any]:
    """What the first page records about the whole run."""
    import tempfile

    kind = _kind(board)
    settings = _SETTINGS[kind].from_(board)
    run: dict[str, Any] = {
        "board": kind.__name__,
        "id": settings.get_param("DeviceID"),
        "channel": settings.get_param("Channel"),
        "width": fmt.width,
        "height": fmt.height,
        "pixel_format": fmt.pixel_format.name,
        "bits": fmt.bits,
        "stored": "gray" if fmt.pixel_format.name.startswith("Mono") else "RGB",
        "ring": len(stream.images),
        "pool": pool,
        "count": stream.count,
        "started_utc": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()),
        "started_ns": time.monotonic_ns(),
    }
    if camera is not None:
        camera = os.fspath(camera)
        with open(camera, encoding="utf-8", errors="replace") as f:
            run["camera_file"], run["camera"] = os.path.abspath(camera), f.read()
    with tempfile.TemporaryDirectory(prefix="pyzol-") as folder:
        saved = os.path.join(folder, "settings.txt")
        board.save(saved)
        with open(saved, encoding="utf-8", errors="replace") as f:
            run["settings"] = f.read()
    return run


def _cut(path: str, pages: deque[tuple[int, int]], offset_size: int) -> int:
    """Cuts a TIFF file whose last write failed after its last whole page and ends its chain of
    pages there (the next-page offset of that page, or the header's, becomes 0). `pages` holds
    (pages written, where the last of them ends) after each page. Returns the pages kept."""
    with open(path, "r+b", buffering=0) as f:
        size = os.fstat(f.fileno()).st_size
        kept, end = 0, 8 if offset_size == 4 else 16  # no page: the header alone
        for n, at in reversed(pages):
            if at <= size:
                kept, end = n, at
                break
        f.truncate(end)
        head = f.read(4)
        order = "<" if head[:2] == b"II" else ">"
        offset, count = (
            (order + "I", order + "H") if offset_size == 4 else (order + "Q", order + "Q")
        )
        entry = 12 if offset_size == 4 else 20
        link = 4 if offset_size == 4 else 8  # where the offset of the first page is
        for _ in range(kept + 1):
            f.seek(link)
            (ifd,) = struct.unpack(offset, f.read(offset_size))
            if ifd == 0:
                return kept
            if ifd + struct.calcsize(count) > end:
                break
            f.seek(ifd)
            (tags,) = struct.unpack(count, f.read(struct.calcsize(count)))
            after = ifd + struct.calcsize(count) + tags * entry
            if after + offset_size > end:
                break
            link = after
        f.seek(link)
        f.write(bytes(offset_size))
    return kept


# ---- recordings still running when the interpreter ends ----------------------------------------

_live: weakref.WeakSet[Recorder] = weakref.WeakSet()


@atexit.register
def _end_all() -> None:
    """The threads are daemons, so that a recording without end cannot hold the interpreter;
    before they are cut off, each recording still running is stopped and its file closed."""
    for recorder in list(_live):
        recorder._end()
