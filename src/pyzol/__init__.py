"""Python access to zol frame grabbers and digital-I/O boards.

``pyzol.core`` registers the device library's shared types (images, enumerations, interfaces)
and must be imported before ``pyzol.unit``, whose members name them.
"""

from . import (
    core,  # noqa: F401  (first: the shared types)
    unit,  # noqa: F401
)

# isort: split
# After unit, whose classes they name: awaitable waits and the frame iterator.
from . import aio
from .stream import Frame, Frames, frames

__all__ = ["core", "unit", "aio", "Frame", "Frames", "frames"]
