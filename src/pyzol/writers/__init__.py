"""Where `pyzol.record` puts the frames: a writer per file format, behind one small interface
that a script can implement for a format of its own.

A writer is any object with

- ``written``: the frames in the file so far (an int that another thread may read at any time);
- ``open(run)``: makes the file, from the run's description (`Run`); before the board starts,
  so that a bad path refuses the recording before anything is captured;
- ``write(frame, meta)``: writes one frame (a numpy array in the board's format: (height, width)
  of uint8 or uint16, or (height, width, 3) of uint8 in the board's channel order) with its
  `FrameMeta`, in order, from the recorder's writer thread; raises on failure;
- ``close()``: ends the file complete and readable;
- ``fail()``: after ``write`` or ``open`` raised, ends the file holding the frames written
  whole; never raises. The recorder then raises one error that says how many frames the file
  holds (``written``).

`writer_for` chooses the writer of a path by its suffix: ``.h5``/``.hdf5`` (`Hdf5Writer`),
``.ome.tif``/``.ome.tiff`` (`OmeTiffWriter`), ``.zarr`` (`OmeZarrWriter`), and TIFF
(`TiffWriter`) for ``.tif``/``.tiff`` and any other suffix, as the recorder has always written;
`NullWriter` keeps nothing (for measuring the recorder).
"""

from __future__ import annotations

import os

from .base import FrameMeta, FrameWriter, NullWriter, Run

__all__ = ["FrameMeta", "FrameWriter", "NullWriter", "Run", "writer_for"]


def writer_for(path: str | os.PathLike[str], bigtiff: bool | None = None) -> FrameWriter:
    """The writer of the file `path`, by its suffix (TIFF for one no other writer has).
    `bigtiff` is the TIFF writer's (None: chosen from the recording's length)."""
    name = os.fspath(path)
    lower = name.lower()
    if lower.endswith((".h5", ".hdf5", ".zarr")):
        if bigtiff is not None:
            raise ValueError(f"bigtiff= is for TIFF files, not {name!r}")
        if lower.endswith(".zarr"):
            from .ome_zarr import OmeZarrWriter

            return OmeZarrWriter(name)
        from .hdf5 import Hdf5Writer

        return Hdf5Writer(name)
    if lower.endswith((".ome.tif", ".ome.tiff")):
        from .ome_tiff import OmeTiffWriter

        return OmeTiffWriter(name, bigtiff=bigtiff)
    from .tiff import TiffWriter

    return TiffWriter(name, bigtiff=bigtiff)
