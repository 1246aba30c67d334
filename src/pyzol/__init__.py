"""Python access to zol frame grabbers and digital-I/O boards.

``pyzol.core`` registers the device library's shared types (images, enumerations, interfaces)
and must be imported before ``pyzol.unit``, whose members name them.
"""

import importlib
import sys

# The extension modules are built for CPython 3.12 only; another interpreter gets this message
# before any of them is loaded (loading one could fail on a missing symbol instead).
if sys.version_info[:2] != (3, 12):
    raise ImportError(
        "Python version mismatch: module was compiled for Python 3.12, but the interpreter "
        "version is incompatible: %s." % sys.version
    )

from . import (  # noqa: E402
    core,  # noqa: F401  (first: the shared types)
    unit,  # noqa: F401
)

# isort: split
# After unit, whose classes it names: the frame iterator (it imports asyncio only when a stream
# is iterated with `async for`).
from .stream import Frame, Frames, frames  # noqa: E402

__all__ = ["core", "unit", "aio", "Frame", "Frames", "frames"]


def __getattr__(name: str) -> object:
    # pyzol.aio imports asyncio, which costs more than the rest of the package together: it is
    # loaded when first named (pyzol.aio, or `from pyzol import aio`).
    if name == "aio":
        # Not `from . import aio`: that asks this module for the attribute first, which would
        # come back here.
        return importlib.import_module(".aio", __name__)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
