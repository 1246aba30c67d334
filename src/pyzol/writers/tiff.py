"""Multi-page TIFF through tifffile: one page per frame, uncompressed in one strip each, in the
frame's own format (BGR8 stored in RGB order), each page's ImageDescription a JSON object of
the frame's number, time and status, the first page's with the run's record; BigTIFF when the
recording has no set length or could pass 4 GiB. tifffile writes through `pyzol._linked_last`,
which puts each page in the file before the file links to it: a process killed outright leaves
every page the file links to whole, and a failed write is cut back to the last whole page."""

from __future__ import annotations

import contextlib
import json
import os
from typing import Any

from .._linked_last import LinkedLast
from .base import FrameMeta, Run

__all__ = ["TiffWriter"]

# Classic TIFF addresses 4 GiB; a counted recording that could come near it is written as
# BigTIFF. Per page: the tags and the JSON description, well below this.
_PAGE_OVERHEAD = 16 * 1024
_CLASSIC_LIMIT = 2**32 - 2**24


class TiffWriter:
    """Writes the frames into the TIFF file `path` (see the module's description); `bigtiff`
    overrides the choice of format."""

    path: str
    bigtiff: bool | None
    written: int

    def __init__(self, path: str | os.PathLike[str], bigtiff: bool | None = None) -> None:
        self.path = os.fspath(path)
        self.bigtiff = bigtiff
        self.written = 0
        self._file: LinkedLast | None = None
        self._tiff: Any = None

    def open(self, run: Run) -> None:
        try:
            import tifffile
        except ImportError as e:
            raise ImportError(
                "pyzol.record writes TIFF files with tifffile: pip install pyzol[record]"
            ) from e

        fmt = run.format
        bigtiff = self.bigtiff
        if bigtiff is None:
            pages = run.frames
            bigtiff = pages is None or pages * (fmt.frame_bytes + _PAGE_OVERHEAD) > _CLASSIC_LIMIT
        self._photometric = "rgb" if fmt.colour else "minisblack"
        self._bgr = fmt.bgr
        # The range of the samples' values (MinSampleValue, MaxSampleValue): 0 to 1023 for a
        # Mono10 frame in its 16-bit samples, so that a viewer can scale it.
        spp = 3 if fmt.colour else 1
        self._range = [(280, "H", spp, (0,) * spp, False),
                       (281, "H", spp, (2**fmt.bits - 1,) * spp, False)]  # fmt: skip
        self._run: dict[str, Any] | None = run.record
        fd = os.open(self.path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_CLOEXEC, 0o666)
        self._file = LinkedLast(fd, self.path)
        writer: Any = tifffile.TiffWriter  # it takes any object with write, seek and tell
        self._tiff = writer(self._file, bigtiff=bigtiff)
        self._file.commit()  # the header

    def write(self, frame: Any, meta: FrameMeta) -> None:
        assert self._file is not None
        page: dict[str, Any] = {"frame": meta.number, "time_ns": meta.time_ns,
                                "status": meta.status}  # fmt: skip
        if meta.trigger is not None:
            page["trigger"] = meta.trigger
        if self._run is not None:
            page["run"], self._run = self._run, None
        # The page is written empty (its directory and the room for its pixels), and the pixels
        # put in that room straight from the frame's buffer: tifffile would copy them first.
        self._tiff.write(
            None,
            shape=frame.shape,
            dtype=frame.dtype,
            photometric=self._photometric,
            description=json.dumps(page),
            metadata=None,
            software="pyzol",
            extratags=self._range,
        )
        # BGR8 frames are stored in RGB order, so that every reader shows their colours:
        # reordered here, on the writer's thread, off the capture thread's copy.
        self._file.fill_last(frame[..., ::-1].copy() if self._bgr else frame)
        self._file.commit()  # the page is in the file: now it is linked
        self.written += 1

    def close(self) -> None:
        assert self._file is not None
        self._tiff.close()
        self._file.close()  # with what tifffile's close held back

    def fail(self) -> None:
        # self.written: the pages committed; a page that failed is not.
        if self._file is None:
            return
        with contextlib.suppress(OSError):
            self._file.cut()
        with contextlib.suppress(OSError):
            self._file.close()
