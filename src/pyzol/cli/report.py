"""What the jobs show: a progress bar on a terminal, an aligned table, and an image file of a
frame.

The bar is tqdm's and the image is written by Pillow, the two libraries of the ``demo`` extra
(``pip install 'pyzol[demo]'``): without tqdm a job shows no bar; without Pillow the capture job
refuses, before capturing, with one line that names the extra.
Frames keep their depth: 8-bit mono as 8-bit gray, Mono10/12/16 as 16-bit gray (samples scaled
to the full 16 bits, the significant bits recorded in the PNG), RGB8 and BGR8 as RGB.
"""

from __future__ import annotations

import contextlib
import errno
import os
import sys
import tempfile
from typing import IO, TYPE_CHECKING, Any, Protocol, TextIO

from .. import core

if TYPE_CHECKING:
    import numpy

# ---- progress bar ----------------------------------------------------------------------------


class Bar(Protocol):
    """What `progress` gives: a bar of frames, advanced by update(n) and ended by close(), with
    a text after the rate (set_postfix_str, as tqdm names it)."""

    def update(self, n: int) -> object: ...

    def set_postfix_str(self, text: str) -> object: ...

    def close(self) -> None: ...


class _NoBar:
    def update(self, n: int) -> None:
        pass

    def set_postfix_str(self, text: str) -> None:
        pass

    def close(self) -> None:
        pass


def progress(total: int, stream: TextIO | None = None, quiet: bool = False) -> Bar:
    """A tqdm bar of `total` frames on `stream` (standard error), or nothing when it is not a
    terminal, `quiet` is set or tqdm is not installed. Has update(n), set_postfix_str(text) and
    close()."""
    stream = stream if stream is not None else sys.stderr
    if quiet or not stream.isatty():
        return _NoBar()
    try:
        from tqdm import tqdm
    except ImportError:
        return _NoBar()  # the demo extra's bar is not installed
    bar: Bar = tqdm(total=total, file=stream, unit="frames", desc="capture", dynamic_ncols=True)
    return bar


# ---- table ---------------------------------------------------------------------------------------


def table(header: list[str], rows: list[list[object]]) -> str:
    """Columns right-aligned under their headings, two spaces apart."""
    cells = [header] + [[str(c) for c in row] for row in rows]
    widths = [max(len(row[i]) for row in cells) for i in range(len(header))]
    lines = ["  ".join(c.rjust(w) for c, w in zip(row, widths, strict=True)) for row in cells]
    lines.insert(1, "  ".join("-" * w for w in widths))
    return "\n".join(lines)


# ---- image files --------------------------------------------------------------------------------

# File name extensions and the formats they name.
IMAGE_FORMATS = {".png": "PNG", ".tif": "TIFF", ".tiff": "TIFF"}


def _pillow() -> Any:
    """Pillow's Image module, or None where Pillow is not installed."""
    try:
        from PIL import Image
    except ImportError:
        return None
    return Image


def image_format(path: str) -> str:
    """The image format that `path`'s extension names ("PNG" or "TIFF"); ValueError for an
    extension that names none, or where Pillow, which writes them, is not installed."""
    extension = os.path.splitext(path)[1].lower()
    kind = IMAGE_FORMATS.get(extension)
    if kind is None:
        raise ValueError(
            f"cannot tell an image format from {extension or 'no extension'!r}: "
            "name the file .png, .tif or .tiff"
        )
    if _pillow() is None:
        raise ValueError(f"writing {kind} needs Pillow: pip install 'pyzol[demo]'")
    return kind


def check_output(path: str) -> None:
    """Raises what writing `path` would raise: ValueError for an extension that names no image
    format, OSError for a folder in its place or a folder that is missing or not writable.
    Creates nothing that stays."""
    image_format(path)
    if os.path.isdir(path):
        raise IsADirectoryError(errno.EISDIR, os.strerror(errno.EISDIR))
    tempfile.TemporaryFile(dir=os.path.dirname(os.path.abspath(path))).close()


def samples(
    pixels: numpy.ndarray, pixel_format: core.ExPixelFormat, bits: int = 8
) -> numpy.ndarray:
    """The frame's pixels as an image file stores them: 8-bit gray (height, width), 16-bit gray
    with the `bits` significant bits of each sample moved to the top, or RGB (height, width, 3)
    with BGR8 frames turned round."""
    import numpy

    if pixel_format == core.ExPixelFormat.Mono16:
        shift = 16 - min(max(bits, 1), 16)
        return numpy.ascontiguousarray(pixels, dtype=numpy.uint16) << shift
    if pixel_format == core.ExPixelFormat.BGR8:
        pixels = pixels[..., ::-1]
    return numpy.ascontiguousarray(pixels, dtype=numpy.uint8)


def _significant(pixels: numpy.ndarray, bits: int) -> bytes | None:
    """The sBIT chunk's data: the significant bits of each channel, where fewer than stored."""
    depth = 8 * pixels.dtype.itemsize
    channels = 1 if pixels.ndim == 2 else pixels.shape[2]
    return bytes([bits] * channels) if bits < depth else None


def _save(file: IO[bytes], kind: str, pixels: numpy.ndarray, bits: int) -> str:
    """Writes the image to an open file with Pillow; returns the writer used."""
    Image = _pillow()
    if Image is None:
        raise ValueError(f"writing {kind} needs Pillow: pip install 'pyzol[demo]'")
    image = Image.fromarray(pixels)
    significant = _significant(pixels, bits)
    if kind == "PNG" and significant:
        from PIL.PngImagePlugin import PngInfo

        info = PngInfo()
        info.add(b"sBIT", significant)
        image.save(file, format=kind, pnginfo=info)
    else:
        image.save(file, format=kind)
    return "Pillow"


def _mode(path: str) -> int:
    """The permissions for the file that replaces `path`: those of the file there, or those of
    an ordinary new file (not mkstemp's 0600)."""
    try:
        return os.stat(path).st_mode & 0o7777
    except OSError:
        mask = os.umask(0o022)
        os.umask(mask)
        return 0o666 & ~mask


def write_image(
    path: str, pixels: numpy.ndarray, pixel_format: core.ExPixelFormat, bits: int = 8
) -> str:
    """Writes a frame's pixels to `path` in the format its extension names (`image_format`);
    returns the writer used ("Pillow").

    The file is whole or not written at all: the image goes to a temporary file in the same
    folder, which replaces `path` only once it is complete and on disk; a failure removes it
    and leaves whatever was at `path` before."""
    kind = image_format(path)
    pixels = samples(pixels, pixel_format, bits)
    folder, name = os.path.split(os.path.abspath(path))
    fd, temporary = tempfile.mkstemp(dir=folder, prefix=f".{name}.", suffix=".part")
    try:
        with os.fdopen(fd, "wb") as file:
            writer = _save(file, kind, pixels, bits)
            file.flush()
            os.fsync(file.fileno())
        os.chmod(temporary, _mode(path))
        os.replace(temporary, path)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(temporary)
        raise
    return writer
