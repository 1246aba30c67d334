"""A group of cameras in step (`pyzol.sync`) recorded into one file per camera:

    group = pyzol.sync(cam0, cam1, trigger=(rm, 3), rate=200, count=1000)
    with pyzol.record(group, "run.tif") as rec:   # run-0.tif, run-1.tif
        ...                                       # rec.progress, rec.stop()

Each camera's file holds its frames in trigger order, each frame with the number of the trigger
that made it (a TIFF page's ``trigger``, a ``trigger`` column in HDF5 and OME-Zarr, a map
annotation in OME-TIFF): frame k of one file and the frame of another with the same trigger
number were exposed together. A trigger a camera missed is a gap in that file's trigger numbers.

The files are named after `path` with the camera's index before the suffix (``run.ome.tif`` ->
``run-0.ome.tif``), or given one per camera (paths or writer objects). The recording starts the
group when it is not running yet (and then ends it at its own end); one thread takes the sets
and writes each frame into its camera's writer. However the recording ends (its count, `stop()`,
an exception or Ctrl-C in the block or in `wait()`, a failed write, a board's error), every file
is closed complete and readable, holding the frames written until then; a failed write's error
says how many frames its file keeps."""

from __future__ import annotations

import contextlib
import os
import threading
from collections.abc import Sequence
from typing import Any

from .boards import frame_format
from .groups import Group
from .run_record import run_record, status_fields
from .writers import FrameMeta, FrameWriter, Run, writer_for
from .writers.base import remove_made, write_error

__all__ = ["GroupRecording"]


def _paths(path: Any, n: int) -> list[Any]:
    """One file (or writer) per camera: `path` with each camera's index before its suffix, or
    the `n` given."""
    if isinstance(path, (str, os.PathLike)):
        folder, name = os.path.split(os.fspath(path))
        stem, dot, suffix = name.partition(".")
        return [os.path.join(folder, f"{stem}-{i}{dot}{suffix}") for i in range(n)]
    if isinstance(path, Sequence) and not isinstance(path, (bytes, bytearray)):
        if len(path) != n:
            raise ValueError(f"a group of {n} cameras records into {n} files, not {len(path)}")
        return list(path)
    raise TypeError(f"path must be a path or one path (or writer) per camera, not {path!r}")


class GroupRecording:
    """Records a `pyzol.sync` group into one file per camera (see the module's description);
    made by ``pyzol.record(group, path)``: `count` triggers (by default the group's own count;
    None: until stopped)."""

    count: int | None
    """Triggers recorded at most (None: until stopped)."""
    group: Group
    """The group recorded."""
    writers: list[FrameWriter]
    """Each camera's writer."""

    def __init__(
        self,
        group: Group,
        path: str | os.PathLike[str] | Sequence[str | os.PathLike[str] | FrameWriter],
        count: int | None = None,
        *,
        bigtiff: bool | None = None,
    ) -> None:
        if not isinstance(group, Group):
            raise TypeError(f"a group of pyzol.sync, not {type(group).__name__}")
        cams = group._cameras
        targets = _paths(path, len(cams))
        self.count = count if count is not None else group.count
        writers: list[FrameWriter] = []
        made: list[bool] = []
        for target in targets:
            if isinstance(target, (str, os.PathLike)):
                writers.append(writer_for(target, bigtiff))
                made.append(True)
            else:
                writers.append(target)
                made.append(False)
        self.writers = writers
        #: Each camera's file (or its writer's repr).
        self.paths: list[str] = [getattr(w, "path", None) or repr(w) for w in writers]
        opened: list[FrameWriter] = []
        try:
            for i, (cam, writer) in enumerate(zip(cams, writers, strict=True)):
                fmt, fields = frame_format(cam.board), status_fields(cam.board)
                record = run_record(cam.board, fmt, len(cam.stream.images), self.count, 0, None)
                record["group"] = {"camera": i, "cameras": len(cams), "rate": group.rate}
                writer.open(Run(fmt, self.count, fields, record))
                opened.append(writer)
            self._owns_group = not group._open
            if self._owns_group:
                group.open()
        except BaseException:
            for writer, new in zip(writers, made, strict=False):
                if writer in opened:
                    writer.fail()
                    if new:  # nothing was recorded: what the writer made goes
                        remove_made(getattr(writer, "path", ""), True)
            raise
        self.group = group
        self._error: BaseException | None = None
        self._reported = False
        self._stopping = False
        self._thread = threading.Thread(target=self._run, name="pyzol-group-writer", daemon=True)
        self._thread.start()

    # ---- what the script sees ------------------------------------------------------------------

    @property
    def written(self) -> list[int]:
        """Frames in each camera's file."""
        return [w.written for w in self.writers]

    @property
    def done(self) -> bool:
        """Whether the recording has ended and its files are closed."""
        return not self._thread.is_alive()

    def stop(self) -> None:
        """Ends the recording after the set being written; `wait()` waits for the files."""
        self._stopping = True
        self.group._wake()

    def wait(self, timeout: float | None = None) -> list[int]:
        """Waits until every file is closed and gives the frames each holds. Raises what ended
        the recording badly, once; TimeoutError when it still runs after `timeout` seconds. An
        exception here (Ctrl-C) stops the recording and waits for the files first."""
        try:
            self._thread.join(timeout)
            if self._thread.is_alive():
                raise TimeoutError(f"the recording to {self.paths} is still running")
        except BaseException as e:
            if not isinstance(e, TimeoutError):
                self.stop()
                self._thread.join()
            raise
        if self._error is not None and not self._reported:
            self._reported = True
            raise self._error
        return self.written

    def __enter__(self) -> GroupRecording:
        return self

    def __exit__(self, kind: type[BaseException] | None, *exc: object) -> None:
        if kind is not None or self.count is None:
            self.stop()
        if kind is not None:
            self._thread.join()
            return
        self.wait()

    def __repr__(self) -> str:
        state = "done" if self.done else "recording"
        return f"<GroupRecording {self.paths!r} {state}: {self.written} written>"

    # ---- the writer thread ---------------------------------------------------------------------

    def _run(self) -> None:
        group, writers = self.group, self.writers
        failed: set[int] = set()
        try:
            for fs in group:
                if self._stopping:
                    break
                for i, frame in enumerate(fs.frames):
                    if frame is None or i in failed:
                        continue
                    meta = FrameMeta(frame.number, frame.time_ns, frame.status._asdict(),
                                     frame.trigger)  # fmt: skip
                    try:
                        writers[i].write(frame.array, meta)
                    except Exception as e:
                        failed.add(i)
                        self._write_failed(i, e)
                if failed:
                    break
                if self.count is not None and fs.trigger >= self.count:
                    break
        except BaseException as e:  # noqa: BLE001 - handed to wait()
            self._fail(e)
        finally:
            if self._owns_group:
                try:
                    group.close()
                except BaseException as e:  # noqa: BLE001 - handed to wait()
                    self._fail(e)
            for i, writer in enumerate(writers):
                if i not in failed:
                    try:
                        writer.close()
                    except Exception as e:  # noqa: BLE001 - every file is closed first
                        self._fail(e)

    def _fail(self, error: BaseException) -> None:
        if self._error is None:
            self._error = error

    def _write_failed(self, i: int, error: Exception) -> None:
        writer = self.writers[i]
        with contextlib.suppress(Exception):
            writer.fail()
        self._fail(write_error(error, writer.written, self.paths[i]))
