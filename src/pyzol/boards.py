"""What differs between the capture boards, and the frames they send: the settings class of
each board, the frame format a board is set up for, and rings of images in that format, refused
before anything is allocated when the machine does not have the memory. The frame stream and
the recorder build on these."""

from __future__ import annotations

import operator
import os
from collections.abc import Sequence
from typing import Any, NamedTuple, Union

from . import core, unit

__all__ = [
    "SETTINGS", "CaptureBoard", "FrameFormat", "available_memory", "frame_format", "kind",
    "make_ring", "refuse_beyond_memory", "ring_images",
]  # fmt: skip

CaptureBoard = Union[unit.KX210, unit.KX310, unit.TR520]

# Each capture board class and its settings class.
SETTINGS: dict[type, Any] = {
    unit.KX210: unit.KX210Param,
    unit.KX310: unit.KX310Param,
    unit.TR520: unit.TR520Param,
}


def kind(board: object) -> type:
    """The capture board class (a key of `SETTINGS`) that `board` is, or is a subclass of;
    TypeError for anything else."""
    for cls in type(board).__mro__:
        if cls in SETTINGS:
            return cls
    names = ", ".join(cls.__name__ for cls in SETTINGS)
    raise TypeError(f"frames() takes a capture board ({names}), not {type(board).__name__}")


class FrameFormat(NamedTuple):
    """What a capture board sends: frame size, pixel format and significant bits per sample
    (10 for Mono10 frames, which arrive in 16-bit samples)."""

    width: int
    height: int
    pixel_format: core.ExPixelFormat
    bits: int

    @property
    def frame_bytes(self) -> int:
        """Bytes of one packed frame."""
        return self.width * self.height * _BYTES_PER_PIXEL[int(self.pixel_format)]

    @property
    def colour(self) -> bool:
        """Whether a pixel is three samples (RGB8, BGR8)."""
        return self.pixel_format in (core.ExPixelFormat.RGB8, core.ExPixelFormat.BGR8)

    @property
    def bgr(self) -> bool:
        """Whether the samples arrive in BGR order; every writer stores them in RGB order, so
        that every reader shows their colours."""
        return self.pixel_format == core.ExPixelFormat.BGR8

    @property
    def shape(self) -> tuple[int, ...]:
        """The shape of a frame as an array: (height, width), or (height, width, 3)."""
        return (self.height, self.width, 3) if self.colour else (self.height, self.width)

    @property
    def dtype(self) -> str:
        """The sample type of a frame as an array: "uint16" for 16-bit samples (Mono10 to
        Mono16), else "uint8"."""
        return "uint16" if self.pixel_format == core.ExPixelFormat.Mono16 else "uint8"


_BYTES_PER_PIXEL = {0: 1, 1: 2, 2: 3, 3: 3}  # Mono8, Mono16, RGB8, BGR8


def frame_format(board: CaptureBoard) -> FrameFormat:
    """The frame size and pixel format that `board` captures, from its settings."""
    settings = SETTINGS[kind(board)].from_(board)
    return FrameFormat(
        settings.get_param("ImageWidth"),
        settings.get_param("ImageHeight"),
        core.ExPixelFormat(settings.get_param("ImageType")),
        settings.get_param("ImageDepth"),
    )


def available_memory() -> int:
    """Bytes of memory the machine can still give without swapping (MemAvailable), or the free
    physical memory where the kernel does not say."""
    try:
        with open("/proc/meminfo") as f:
            for line in f:
                if line.startswith("MemAvailable:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return os.sysconf("SC_AVPHYS_PAGES") * os.sysconf("SC_PAGE_SIZE")


def refuse_beyond_memory(need: int, what: str) -> None:
    """Refuses (ValueError) to allocate `what`, of `need` bytes, when the machine does not have
    that much memory available: before allocating, rather than run into the kernel's limit."""
    have = available_memory()
    if need > have:
        raise ValueError(
            f"{what} needs {need / 2**20:,.0f} MiB; the machine has {have / 2**20:,.0f} MiB "
            "available"
        )


def ring_images(board: CaptureBoard, count: int) -> list[core.CxImage]:
    """`count` images in the frame size and pixel format of `board`. A ring that would not fit
    in the memory the machine has is refused before anything is allocated (ValueError)."""
    fmt = frame_format(board)
    refuse_beyond_memory(
        count * fmt.frame_bytes,
        f"a ring of {count} images of {fmt.width}x{fmt.height} {fmt.pixel_format.name}",
    )
    return [core.CxImage(fmt.width, fmt.height, fmt.pixel_format) for _ in range(count)]


def make_ring(board: CaptureBoard, ring: int | Sequence[core.CxImage]) -> list[core.CxImage]:
    """The ring a stream captures into: `ring` new images in the board's format, or the given
    images (at least two, each once)."""
    if hasattr(ring, "__index__"):
        ring = operator.index(ring)
        if ring < 2:
            raise ValueError("a ring needs at least 2 images: the board writes one of them")
        return ring_images(board, ring)
    images = list(ring)
    if len(images) < 2:
        raise ValueError("a ring needs at least 2 images: the board writes one of them")
    if not all(isinstance(image, core.CxImage) for image in images):
        raise TypeError("the ring holds CxImage objects only")
    if len({id(image) for image in images}) < len(images):
        # Its slots would be one memory: a frame would show another frame's pixels.
        raise ValueError("a ring holds each image once: the same image appears twice")
    return images
