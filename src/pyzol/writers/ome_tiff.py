"""OME-TIFF through tifffile: the TIFF file of `pyzol.writers.tiff`, page for page, whose first
page's ImageDescription becomes, when the recording ends, the OME-XML that OME-TIFF readers
read (valid against the OME schema; tifffile and ome-types read it in the tests): one Image of
the frames as a time series (T, Y, X or T, Y, X with 3 samples), its pixel type and significant
bits (10 and 12 for Mono10 and Mono12 frames, which arrive in 16-bit samples), per plane the time
since the first frame (DeltaT, in seconds), and map annotations: each plane's frame number (a
gap is a dropped frame), each plane's trigger number (where frames carry one) and the run's
record.

Until the recording ends the file is a plain multi-page TIFF, every page linked whole (a killed
process leaves one that any TIFF reader opens); the OME-XML is written by its close. After a
failed write (a full disk, a size limit), or where the OME-XML does not fit, the file stays that
plain TIFF."""

from __future__ import annotations

import json
import os
from typing import Any

from .base import FrameMeta, Run
from .tiff import TiffWriter

__all__ = ["OmeTiffWriter"]


class OmeTiffWriter(TiffWriter):
    """Writes the frames into the OME-TIFF file `path` (see the module's description)."""

    def open(self, run: Run) -> None:
        super().open(run)
        self._ome_run = run
        self._numbers: list[int] = []
        self._times: list[int] = []
        self._triggers: list[int | None] = []

    def write(self, frame: Any, meta: FrameMeta) -> None:
        super().write(frame, meta)
        self._numbers.append(meta.number)
        self._times.append(meta.time_ns)
        self._triggers.append(meta.trigger)

    def close(self) -> None:
        super().close()
        self._describe()

    # After a failed write (a full disk, most likely) the file stays the plain TIFF it is until
    # then, every page whole: the OME-XML is not tried where it may not fit.

    def _describe(self) -> None:
        import tifffile

        n = self.written
        if n == 0:
            return  # a file of no page has no first page to describe
        xml = ome_xml(self._ome_run, self._numbers[:n], self._times[:n], self._triggers[:n])
        # tifffile writes a longer description at the file's end and links it first: room for
        # it is made sure of before, so that a full disk or a size limit leaves the file as it
        # is (a plain TIFF, whole) and says so.
        size = os.path.getsize(self.path)
        fd = os.open(self.path, os.O_WRONLY | os.O_CLOEXEC)
        try:
            os.posix_fallocate(fd, size, len(xml.encode()) + 16)
            os.ftruncate(fd, size)
        except OSError as e:
            raise OSError(e.errno, f"{e.strerror}: no room for the OME-XML, the file stays a plain "
                          "TIFF", self.path) from e  # fmt: skip
        finally:
            os.close(fd)
        tifffile.tiffcomment(self.path, xml)


def ome_xml(
    run: Run, numbers: list[int], times: list[int], triggers: list[int | None] | None = None
) -> str:
    """The OME-XML of the frames `numbers`, seen at `times` (ns), made by the triggers
    `triggers` (None where not known), of the recording `run`."""
    import tifffile

    fmt = run.format
    n = len(numbers)
    stored = (n, 1, 1, fmt.height, fmt.width, 3 if fmt.colour else 1)
    record = {key: value if isinstance(value, str) else json.dumps(value)
              for key, value in run.record.items()}  # fmt: skip
    maps = [{"Namespace": "pyzol/frames", "Value": {str(i): str(k) for i, k in enumerate(numbers)}}]
    if triggers and any(t is not None for t in triggers):
        maps.append(
            {
                "Namespace": "pyzol/triggers",
                "Value": {str(i): str(t) for i, t in enumerate(triggers) if t is not None},
            }
        )
    maps.append({"Namespace": "pyzol/run", "Value": record})  # fmt: skip
    xml = tifffile.OmeXml()
    xml.addimage(
        fmt.dtype,
        (n, *fmt.shape),
        stored,
        axes="TYXS" if fmt.colour else "TYX",
        Name=f"{run.record.get('board', 'board')} recording",
        SignificantBits=fmt.bits,
        Plane={"DeltaT": [(t - times[0]) / 1e9 for t in times], "DeltaTUnit": ["s"] * n},
        MapAnnotation=maps,
    )
    return xml.tostring()
