"""OME-Zarr (NGFF 0.5, Zarr v3) through zarr-python: a group whose array ``0`` holds the frames
as a time series, shape (frames, height, width), or (frames, 3, height, width) for colour
frames (NGFF puts the channel axis before space), one frame per chunk, uncompressed, in the
frame's own sample type (BGR8 stored in RGB order). Beside it, in the group ``pyzol``: 1-D
arrays ``frame`` (each frame's number), ``time_ns``, ``trigger`` (the number of the trigger
that made it; 0 free-running, -1 where the library cannot tell) and ``status/<field>``. The
group's attributes hold the ``ome`` multiscales metadata (axes t, [c,] y, x) and, under
``pyzol``, the run's record and the significant bits.

The frames array grows 256 frames at a time and the per-frame columns are written 256 frames at a
time; the recording's end cuts the array to the frames written. A store left by a process
killed outright may end in frames never written (zeros), and its columns may stop up to 255
frames short of the last frame stored."""

from __future__ import annotations

import contextlib
import os
from typing import Any

from .base import FrameMeta, Run

__all__ = ["OmeZarrWriter"]

_COLUMN_CHUNK = 4096
# The frames array grows, and the per-frame columns are written, this many frames at a time: a
# resize rewrites the array's metadata, a column's write its chunk.
_GROW = 256


class OmeZarrWriter:
    """Writes the frames into the OME-Zarr store `path`, a folder (see the module's
    description)."""

    path: str
    written: int

    def __init__(self, path: str | os.PathLike[str]) -> None:
        self.path = os.fspath(path)
        self.written = 0
        self._group: Any = None

    def open(self, run: Run) -> None:
        try:
            import zarr
        except ImportError as e:
            raise ImportError(
                "pyzol.record writes OME-Zarr stores with zarr: pip install pyzol[record]"
            ) from e
        fmt = run.format
        self._colour, self._bgr = fmt.colour, fmt.bgr
        frame = (3, fmt.height, fmt.width) if fmt.colour else fmt.shape
        if os.path.exists(self.path):
            raise FileExistsError(17, "the store exists already (a folder is not overwritten)",
                                  self.path)  # fmt: skip
        axes = [{"name": "t", "type": "time", "unit": "second"}]
        if self._colour:
            axes.append({"name": "c", "type": "channel"})
        axes += [{"name": "y", "type": "space"}, {"name": "x", "type": "space"}]
        self._group = group = zarr.open_group(self.path, mode="w-", zarr_format=3)
        group.attrs.update({
            "ome": {
                "version": "0.5",
                "multiscales": [{
                    "name": f"{run.record.get('board', 'board')} recording",
                    "axes": axes,
                    "datasets": [{
                        "path": "0",
                        "coordinateTransformations": [
                            {"type": "scale", "scale": [1.0] * len(axes)}
                        ],
                    }],
                }],
            },
            "pyzol": {"run": run.record, "significant_bits": fmt.bits,
                      "pixel_format": fmt.pixel_format.name},
        })  # fmt: skip
        # Uncompressed, as the other formats: zarr's default compression (zstd) costs about as
        # much CPU again as storing the frame does, on the writer's side of a recording that
        # must keep up with the board.
        self._data = group.create_array(
            "0", shape=(0, *frame), chunks=(1, *frame), dtype=fmt.dtype, fill_value=0,
            compressors=None, dimension_names=[a["name"] for a in axes],
        )  # fmt: skip
        columns = group.create_group("pyzol")
        status = columns.create_group("status")
        column: dict[str, Any] = {"shape": (0,), "chunks": (_COLUMN_CHUNK,), "dtype": "int64"}
        self._columns = {
            "frame": columns.create_array("frame", **column),
            "time_ns": columns.create_array("time_ns", **column),
            "trigger": columns.create_array("trigger", **column),
        }
        for name in run.status_fields:
            self._columns["status/" + name] = status.create_array(name, **column)
        self._fields = run.status_fields
        self._pending: list[tuple[int, ...]] = []

    def write(self, frame: Any, meta: FrameMeta) -> None:
        n = self.written
        if self._bgr:
            frame = frame[..., ::-1]
        if self._colour:
            frame = frame.transpose(2, 0, 1)  # (3, height, width)
        if n == self._data.shape[0]:
            self._data.resize((n + _GROW, *self._data.shape[1:]))
        self._data[n] = frame  # its own chunk: stored whole
        trigger = -1 if meta.trigger is None else meta.trigger
        self._pending.append((meta.number, meta.time_ns, trigger,
                              *(meta.status[f] for f in self._fields)))  # fmt: skip
        self.written = n + 1
        if len(self._pending) == _GROW:
            self._flush()

    def close(self) -> None:
        if self._group is None:
            return
        self._flush()
        self._data.resize((self.written, *self._data.shape[1:]))
        self._group = None

    def fail(self) -> None:
        # The columns and the frames' shape to the frames written whole, where the store still
        # takes a write.
        if self._group is None:
            return
        with contextlib.suppress(Exception):
            self._flush()
        with contextlib.suppress(Exception):
            self._data.resize((self.written, *self._data.shape[1:]))
        self._group = None

    def _flush(self) -> None:
        # The per-frame columns of the frames written since the last flush, in one write each.
        if not self._pending:
            return
        import numpy

        rows = numpy.array(self._pending, dtype=numpy.int64)
        start, end = self.written - len(rows), self.written
        for i, column in enumerate(self._columns.values()):
            column.resize((end,))
            column[start:end] = rows[:, i]
        self._pending.clear()
