"""Python access to zol frame grabbers and digital-I/O boards.

``pyzol.core`` registers the device library's shared types (images, enumerations, interfaces)
and must be imported before ``pyzol.unit``, whose members name them.
"""

# The names pyzol gives, for type checkers and completion engines: __init__.py loads the
# Python-level ones lazily, when first named, which a reader of that file could not see.
from . import aio as aio
from . import core as core
from . import unit as unit
from .recorder import Recorder as Recorder
from .recorder import record as record
from .stream import Frame as Frame
from .stream import Frames as Frames
from .stream import frames as frames

__version__: str
__all__ = ["core", "unit", "aio", "Frame", "Frames", "frames", "Recorder", "record", "demo_camera"]

def demo_camera() -> str:
    """The path of the camera file shipped with pyzol: a 640x480 8-bit mono camera sending a
    frame every 5 ms. Any board's ``from_file`` or ``setup`` takes it."""
