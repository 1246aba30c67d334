"""Python access to zol frame grabbers and digital-I/O boards.

``pyzol.core`` registers the device library's shared types (images, enumerations, interfaces)
and must be imported before ``pyzol.unit``, whose members name them.
"""

import os
import sys

# The package's version; the build reads it from this line (pyproject.toml: metadata.version).
__version__ = "0.1.0"

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
# After unit, whose classes they name: awaitable waits and the frame iterator.
from . import aio
from .recorder import Recorder, record  # numpy and tifffile only once a recording starts
from .stream import Frame, Frames, frames

__all__ = ["core", "unit", "aio", "Frame", "Frames", "frames", "Recorder", "record", "demo_camera"]


def demo_camera() -> str:
    """The path of the camera file shipped with pyzol: a 640x480 8-bit mono camera sending a
    frame every 5 ms. Any board's ``from_file`` or ``setup`` takes it."""
    return os.path.join(os.path.dirname(__file__), "cameras", "demo.txt")
