"""HDF5 through h5py, laid out as facility software reads it: the frames as one chunked dataset
``/entry/data/data`` of shape (frames, height, width) or (frames, height, width, 3), one frame
per chunk, in the frame's own sample type (BGR8 stored in RGB order); beside it 1-D datasets
``frame`` (the frame's number), ``time_ns``, ``trigger`` (the number of the trigger that made
it; 0 free-running, -1 where the library cannot tell) and ``status/<field>`` (the board's status
record, field by field). The run's record is in the attributes of ``/entry`` (texts and numbers
as they are, other values as JSON), with ``significant_bits`` on the data.

The file is written in single-writer/multiple-reader mode and flushed after every frame: a
reader (``h5py.File(path, "r", swmr=True)`` in another process) sees every frame written so far
while the recording runs, each dataset at least as long as the frames it shows."""

from __future__ import annotations

import contextlib
import json
import os
import re
from typing import Any

from .base import FrameMeta, Run

__all__ = ["Hdf5Writer"]

# The per-frame columns' chunk: this many frames.
_COLUMN_CHUNK = 512


class Hdf5Writer:
    """Writes the frames into the HDF5 file `path` (see the module's description)."""

    path: str
    written: int

    def __init__(self, path: str | os.PathLike[str]) -> None:
        self.path = os.fspath(path)
        self.written = 0
        self._file: Any = None

    def open(self, run: Run) -> None:
        try:
            import h5py
        except ImportError as e:
            raise ImportError(
                "pyzol.record writes HDF5 files with h5py: pip install pyzol[record]"
            ) from e
        fmt = run.format
        frame, self._bgr = fmt.shape, fmt.bgr
        self._file = f = h5py.File(self.path, "w", libver="latest")
        entry = f.create_group("entry")
        for key, value in run.record.items():
            ok = isinstance(value, (str, int, float)) and not isinstance(value, bool)
            entry.attrs[key] = value if ok else json.dumps(value)
        group = entry.create_group("data")
        self._data = group.create_dataset(
            "data", (0, *frame), dtype=fmt.dtype, maxshape=(None, *frame), chunks=(1, *frame)
        )
        self._data.attrs["significant_bits"] = fmt.bits
        self._data.attrs["pixel_format"] = fmt.pixel_format.name
        column = {"maxshape": (None,), "chunks": (_COLUMN_CHUNK,), "dtype": "int64"}
        self._columns = {
            "frame": group.create_dataset("frame", (0,), **column),
            "time_ns": group.create_dataset("time_ns", (0,), **column),
            "trigger": group.create_dataset("trigger", (0,), **column),
        }
        status = group.create_group("status")
        for name in run.status_fields:
            self._columns["status/" + name] = status.create_dataset(name, (0,), **column)
        self._fields = run.status_fields
        # Each column's chunk of the frames being written, kept here and written whole.
        import numpy

        self._chunks = numpy.zeros((len(self._columns), _COLUMN_CHUNK), numpy.int64)
        f.swmr_mode = True  # from here on, readers may open the file

    def write(self, frame: Any, meta: FrameMeta) -> None:
        try:
            self._write(frame, meta)
        except (RuntimeError, OSError) as e:
            raise _os_error(e) from e

    def _write(self, frame: Any, meta: FrameMeta) -> None:
        # Every chunk is written whole, straight into the file (HDF5's direct chunk write):
        # through h5py's selections a frame is copied into HDF5's chunk cache and written out
        # by the flush, and each column's value costs a selection of its own; this way the
        # flushes only publish the datasets' new lengths to the readers.
        n = self.written
        at, row = n - n % _COLUMN_CHUNK, n % _COLUMN_CHUNK
        chunks = self._chunks
        if row == 0:
            chunks[:] = 0
        # The metadata first: a reader that sees frame n sees its number, time and status.
        chunks[0, row], chunks[1, row] = meta.number, meta.time_ns
        chunks[2, row] = -1 if meta.trigger is None else meta.trigger
        for i, name in enumerate(self._fields, 3):
            chunks[i, row] = meta.status[name]
        for chunk, column in zip(chunks, self._columns.values(), strict=True):
            column.resize((n + 1,))
            column.id.write_direct_chunk((at,), chunk)
            column.flush()
        self._data.resize((n + 1, *self._data.shape[1:]))
        self._data.id.write_direct_chunk(
            (n,) + (0,) * (frame.ndim), frame[..., ::-1].copy() if self._bgr else frame
        )
        self._data.flush()
        self.written = n + 1

    def close(self) -> None:
        if self._file is not None:
            self._file.close()
            self._file = None

    def fail(self) -> None:
        # The datasets' lengths are those of the last flush: a frame whose write failed is cut
        # off with the shape the writer had not flushed yet.
        if self._file is None:
            return
        with contextlib.suppress(Exception):
            n = self.written
            self._data.resize((n, *self._data.shape[1:]))
            for column in self._columns.values():
                column.resize((n,))
        with contextlib.suppress(Exception):
            self._file.close()
        self._file = None


def _os_error(error: BaseException) -> BaseException:
    # HDF5 reports a failed write of the file as an error (RuntimeError or OSError) whose text
    # holds the system's errno among its own details: the plain OSError it stands for (a full
    # disk, a file-size limit), as the other writers raise; HDF5's text stays as its cause.
    found = re.search(r"errno = (\d+)", str(error))
    code = int(found.group(1)) if found else getattr(error, "errno", None)
    if not isinstance(code, int) or code == 0:
        return error
    return OSError(code, os.strerror(code))
