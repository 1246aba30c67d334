"""What the main job shows: a progress bar on a terminal, an aligned table, and a PNG of a frame.

The bar uses tqdm and the PNG Pillow when they are installed (``pip install pyzol[demo]``);
without them a small bar of our own and a PNG written with zlib do the same. Nothing here needs
numpy.
"""

from __future__ import annotations

import struct
import sys
import time
import zlib
from array import array
from typing import TextIO

from pyzol import core

# ---- progress bar ----------------------------------------------------------------------------


class _PlainBar:
    """frames 120/200 [############........] 199.8 frames/s, redrawn at most ten times a second."""

    WIDTH = 30

    def __init__(self, total: int, stream: TextIO) -> None:
        self.total, self.stream, self.n = total, stream, 0
        self.start = self.drawn = time.monotonic()
        self.postfix = ""

    def set_postfix_str(self, text: str) -> None:
        """Text shown after the rate (as tqdm's method of that name)."""
        self.postfix = f", {text}" if text else ""

    def update(self, n: int) -> None:
        self.n += n
        now = time.monotonic()
        if now - self.drawn >= 0.1 or self.n >= self.total:
            self.drawn = now
            self._draw(now)

    def _draw(self, now: float) -> None:
        filled = self.WIDTH * self.n // max(self.total, 1)
        rate = self.n / max(now - self.start, 1e-9)
        bar = "#" * filled + "." * (self.WIDTH - filled)
        line = f"\rframes {self.n}/{self.total} [{bar}] {rate:.1f} frames/s{self.postfix}"
        self.stream.write(line)
        self.stream.flush()

    def close(self) -> None:
        self._draw(time.monotonic())
        self.stream.write("\n")
        self.stream.flush()


class _NoBar:
    def update(self, n: int) -> None:
        pass

    def set_postfix_str(self, text: str) -> None:
        pass

    def close(self) -> None:
        pass


def progress(total: int, stream: TextIO | None = None):
    """A bar of `total` frames on `stream` (standard error), or nothing when it is not a
    terminal. Has update(n) and close()."""
    stream = stream if stream is not None else sys.stderr
    if not stream.isatty():
        return _NoBar()
    try:
        from tqdm import tqdm
    except ImportError:
        return _PlainBar(total, stream)
    return tqdm(total=total, file=stream, unit="frames", desc="capture", dynamic_ncols=True)


# ---- table ---------------------------------------------------------------------------------------


def table(header: list[str], rows: list[list[object]]) -> str:
    """Columns right-aligned under their headings, two spaces apart."""
    cells = [header] + [[str(c) for c in row] for row in rows]
    widths = [max(len(row[i]) for row in cells) for i in range(len(header))]
    lines = ["  ".join(c.rjust(w) for c, w in zip(row, widths, strict=True)) for row in cells]
    lines.insert(1, "  ".join("-" * w for w in widths))
    return "\n".join(lines)


# ---- PNG -----------------------------------------------------------------------------------------


def eight_bit(image: core.CxImage, bits: int = 8) -> tuple[str, bytes]:
    """The image as packed 8-bit pixels: ("L", gray) for mono, ("RGB", red-green-blue) for
    colour. 16-bit samples of `bits` significant bits keep their top 8."""
    packed = memoryview(image).tobytes()  # honours the stride, one copy
    fmt = image.pixel_format
    if fmt == core.ExPixelFormat.Mono8:
        return "L", packed
    if fmt == core.ExPixelFormat.Mono16:
        shift = max(bits, 8) - 8
        samples = array("H", packed)
        if shift == 8:
            return "L", packed[1::2]  # the high bytes (little-endian words)
        return "L", bytes(min(v >> shift, 255) for v in samples)
    if fmt == core.ExPixelFormat.BGR8:
        rgb = bytearray(len(packed))
        rgb[0::3], rgb[1::3], rgb[2::3] = packed[2::3], packed[1::3], packed[0::3]
        return "RGB", bytes(rgb)
    return "RGB", packed


def _chunk(kind: bytes, data: bytes) -> bytes:
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_bytes(mode: str, width: int, height: int, pixels: bytes) -> bytes:
    """A PNG file of 8-bit gray ("L") or RGB pixels, rows packed, without filtering."""
    channels = 1 if mode == "L" else 3
    row = width * channels
    raw = b"".join(b"\0" + pixels[y * row : (y + 1) * row] for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 0 if channels == 1 else 2, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + _chunk(b"IHDR", header)
        + _chunk(b"IDAT", zlib.compress(raw, 6))
        + _chunk(b"IEND", b"")
    )


def write_png(path: str, image: core.CxImage, bits: int = 8) -> str:
    """Writes the image as an 8-bit PNG (with Pillow when installed); returns the writer used."""
    mode, pixels = eight_bit(image, bits)
    try:
        from PIL import Image
    except ImportError:
        with open(path, "wb") as f:
            f.write(png_bytes(mode, image.width, image.height, pixels))
        return "zlib"
    Image.frombytes(mode, (image.width, image.height), pixels).save(path, format="PNG")
    return "Pillow"
