"""The capture side of the live view: the board's live stream, the newest frame copied out of
it when a page asks for one, start, stop, one frame, and a recording into the start-up folder.

No page ever slows the capture. The live thread sleeps until some page wants a frame; then it
takes the newest complete frame of the stream (`pyzol.frames` catches up by itself), copies it
out of its ring slot and checks that the board stayed off the slot meanwhile. Frames in between
are skipped for the view only. While a recording runs, the recorder holds the board: its writer
thread hands a copy of a frame it has just written to the view in the same way. Everything a
page sends reaches the board through the board object's settings mapping and members.
"""

from __future__ import annotations

import contextlib
import itertools
import os
import threading
import time
from collections.abc import Callable
from typing import Any, NamedTuple

import numpy

from .. import recorder as recorder_module
from ..board_objects import Camera
from ..boards import FrameFormat, frame_format
from ..stream import Frames
from ..writers import FrameMeta, FrameWriter, Run, writer_for

__all__ = ["Live", "Snapshot"]


class Snapshot(NamedTuple):
    """A frame handed to the view: its copy, its number in its run, the frame format and a
    sequence number that grows with every snapshot (frame numbers start again with each run)."""

    array: numpy.ndarray[Any, Any]
    number: int
    format: FrameFormat
    seq: int


class _Teed:
    """The recording's writer, which also hands the view a copy of a frame just written."""

    def __init__(self, inner: FrameWriter, live: Live) -> None:
        self.inner = inner
        self.path = getattr(inner, "path", None)
        self._live = live
        self._format: FrameFormat | None = None

    @property
    def written(self) -> int:
        return self.inner.written

    @written.setter
    def written(self, count: int) -> None:
        self.inner.written = count

    def open(self, run: Run) -> None:
        self._format = run.format
        self.inner.open(run)

    def write(self, frame: numpy.ndarray[Any, Any], meta: FrameMeta) -> None:
        self.inner.write(frame, meta)
        if self._live.wanted.is_set() and self._format is not None:
            self._live._publish(frame.copy(), meta.number, self._format)

    def close(self) -> None:
        self.inner.close()

    def fail(self) -> None:
        self.inner.fail()


class Live:
    """The live view's hold on `camera`: `start`, `stop`, `snap` (one frame), `record`, and the
    newest frame as a `Snapshot` for the pages (`latest`, `wanted`). `published` is called, from
    whichever thread made it, after each new snapshot. `max_fps` bounds how often a frame is
    copied out for the view."""

    def __init__(
        self, camera: Camera, folder: str, ring: int = 8, max_fps: float = 60.0,
        published: Callable[[], None] | None = None,
    ) -> None:  # fmt: skip
        self.camera = camera
        self.folder = folder
        self.ring = ring
        self.min_period: float = 1.0 / max_fps if max_fps > 0 else 0.0
        self.published = published
        self.wanted: threading.Event = threading.Event()  # some page waits for a frame
        self.latest: Snapshot | None = None
        self.shown: int = 0  # frames copied out for the view
        self.overrun: int = 0  # frames the board came back to while they were copied
        self.recording: recorder_module.Recorder | None = None
        self.last_recording: recorder_module.Recorder | None = None
        self.record_error: str | None = None
        self._seq = itertools.count(1)
        self._control = threading.RLock()  # start, stop, snap and record, one at a time
        self._stream: Frames | None = None
        self._thread: threading.Thread | None = None
        self._stopping = threading.Event()
        self._resume = False  # the live stream to start again when the recording ends
        self._due = 0.0  # the earliest time of the next copy for the view
        self._names = itertools.count(1)

    # ---- what the pages see ----------------------------------------------------------------------
    @property
    def state(self) -> str:
        """ "recording", "running" (the live stream), "stopped" or "closed"."""
        if self.camera.closed:
            return "closed"
        if self.recording is not None and not self.recording.done:
            return "recording"
        if self._thread is not None and self._thread.is_alive():
            return "running"
        return "stopped"

    def _publish(self, array: numpy.ndarray[Any, Any], number: int, fmt: FrameFormat) -> None:
        self.latest = Snapshot(array, number, fmt, next(self._seq))
        self.shown += 1
        self.wanted.clear()
        if self.published is not None:
            self.published()

    # ---- the live stream -------------------------------------------------------------------------
    def start(self, count: int | None = None) -> None:
        """Runs the board for the view (`count` frames, or without end); does nothing while it
        runs or records."""
        with self._control:
            if self.state in ("running", "recording"):
                return
            self._join()
            stream = Frames(self.camera._board("the live view"), self.ring, count)
            stream._session.owner = "the live view"
            stream.open()
            self._stream = stream
            self._stopping.clear()
            self._thread = threading.Thread(
                target=self._run, args=(stream,), name="pyzol-view", daemon=True
            )
            self._thread.start()

    def snap(self) -> None:
        """Captures one frame and shows it (stopping the live stream first)."""
        with self._control:
            if self.state == "recording":
                return
            self.stop()
            self.wanted.set()
            self.start(count=1)

    def stop(self) -> None:
        """Ends the live stream (a recording goes on: `stop_recording` ends it)."""
        with self._control:
            self._stopping.set()
            stream = self._stream
            if stream is not None and self._thread is not None and self._thread.is_alive():
                with contextlib.suppress(RuntimeError):  # a board closed under the stream
                    stream._cancel()
            self._join()

    def _join(self) -> None:
        if self._thread is not None:
            self._thread.join()
            self._thread = None
        self._stream = None

    def _run(self, stream: Frames) -> None:
        try:
            fmt = frame_format(stream.board)
            while not self._stopping.is_set():
                if not self.wanted.wait(0.1):
                    continue
                wait = self._due - time.monotonic()
                if wait > 0 and self._stopping.wait(wait):
                    break
                frame = next(stream, None)
                if frame is None or self._stopping.is_set():
                    break
                copy = frame.array.copy()
                frame.release()
                # The copies keep to a grid of min_period, not to min_period after the last one:
                # a page whose requests come a little slower than the bound then never waits
                # (waiting a period from each copy lets the page's own rhythm halve the rate).
                self._due = max(self._due, time.monotonic() - self.min_period) + self.min_period
                if frame.intact:
                    self._publish(copy, frame.number, fmt)
                else:
                    self.overrun += 1
                if stream.count is not None and frame.number + 1 >= stream.count:
                    break  # one frame (snap): taken
        except Exception:  # noqa: BLE001 - a board closed or refusing: the stream just ends
            pass
        finally:
            with contextlib.suppress(Exception):
                stream.close()

    # ---- recording -------------------------------------------------------------------------------
    def record(self, count: int | None) -> str:
        """Records `count` frames (None: until `stop_recording`) into a new TIFF file in the
        start-up folder, through `pyzol.record`; gives the file's name."""
        with self._control:
            if self.state == "recording":
                raise RuntimeError("a recording is running: stop it first")
            self._resume = self.state == "running"
            self.stop()
            path = self._new_path()
            writer = _Teed(writer_for(path), self)
            try:
                self.recording = recorder_module.record(
                    self.camera._board("a recording"), writer, count, self.ring
                )
            except BaseException:
                self._start_again()
                raise
            self.record_error = None
            threading.Thread(
                target=self._await_recording, args=(self.recording,), name="pyzol-view-record",
                daemon=True,
            ).start()  # fmt: skip
            return os.path.basename(path)

    def stop_recording(self) -> None:
        """Ends the recording; its file is closed complete (wait with `end_recording`)."""
        rec = self.recording
        if rec is not None:
            rec.stop()

    def end_recording(self) -> None:
        """Stops the recording and waits until its file is closed."""
        rec = self.recording
        if rec is not None:
            with contextlib.suppress(Exception):
                rec.close()

    def _await_recording(self, rec: recorder_module.Recorder) -> None:
        try:
            rec.wait()
        except Exception as e:  # noqa: BLE001 - shown on the page
            self.record_error = str(e)
        with self._control:
            if self.recording is rec:
                self.last_recording, self.recording = rec, None
                self._start_again()

    def _start_again(self) -> None:
        if self._resume and not self.camera.closed:
            self._resume = False
            with contextlib.suppress(Exception):
                self.start()

    def _new_path(self) -> str:
        stamp = time.strftime("%Y%m%d-%H%M%S")
        while True:
            path = os.path.join(self.folder, f"view-{stamp}-{next(self._names)}.tif")
            if not os.path.exists(path):
                return path

    def close(self) -> None:
        """Ends the recording (its file whole) and the live stream; the board stays open."""
        self._resume = False
        self.end_recording()
        self.stop()
