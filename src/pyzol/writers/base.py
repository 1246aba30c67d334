"""The writer interface's types: the run's description, a frame's metadata, the interface
itself, and the null writer (see `pyzol.writers`)."""

from __future__ import annotations

import contextlib
import os
import shutil
from typing import TYPE_CHECKING, Any, NamedTuple, Protocol

from ..boards import FrameFormat

if TYPE_CHECKING:
    import numpy

__all__ = ["FrameMeta", "FrameWriter", "NullWriter", "Run", "remove_made", "write_error"]


class Run(NamedTuple):
    """What a writer is told of the recording: the frame format, the frames it will get at most
    (`frames`; None: until stopped), the names of the fields of each frame's status record, and
    the run's record (board, frame size, pixel format, ring, pool, start time, camera file,
    settings)."""

    format: FrameFormat
    frames: int | None
    status_fields: tuple[str, ...]
    record: dict[str, Any]


class FrameMeta(NamedTuple):
    """A frame's number (counted from 0 at the start; a gap is a dropped frame), when the
    recorder saw it complete (`time.monotonic_ns`), the board's status record of that moment,
    field by field, and the number of the trigger that made it (counted from 1 at the start
    over every trigger the board received; 0 for a free-running frame; None where the library
    cannot tell)."""

    number: int
    time_ns: int
    status: dict[str, int]
    trigger: int | None = None


class FrameWriter(Protocol):
    """The interface `pyzol.record` writes through (see the module's description)."""

    written: int

    def open(self, run: Run) -> None: ...
    def write(self, frame: numpy.ndarray[Any, Any], meta: FrameMeta) -> None: ...
    def close(self) -> None: ...
    def fail(self) -> None: ...


def remove_made(path: str, opened: bool) -> None:
    """Removes what a writer the recorder made for `path` left there, for a recording that
    never started: the file, or the store (a folder) once its writer had opened it (a writer
    refuses a store that exists, so one it did not open is not its own)."""
    with contextlib.suppress(OSError):
        if not os.path.isdir(path):
            os.unlink(path)
        elif opened:
            shutil.rmtree(path)


def write_error(error: Exception, written: int, path: str) -> Exception:
    """The error a recording ends with when a write into `path` failed: a failed write of the
    system (OSError: a full disk, a file-size limit) says how many frames the file keeps."""
    if not isinstance(error, OSError):
        return error
    kept = f"the file keeps the {written} frames written before"
    return OSError(error.errno, f"{error.strerror or error} ({kept})", path)


class NullWriter:
    """Counts the frames and keeps none: what the recorder costs without a file."""

    written: int
    path: str | None

    def __init__(self) -> None:
        self.written = 0
        self.path: str | None = None

    def open(self, run: Run) -> None:
        pass

    def write(self, frame: numpy.ndarray[Any, Any], meta: FrameMeta) -> None:
        self.written += 1

    def close(self) -> None:
        pass

    def fail(self) -> None:
        pass
