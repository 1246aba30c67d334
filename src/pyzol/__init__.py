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

# What the package adds in Python is loaded when first named, so that `import pyzol` (or
# pyzol.unit, pyzol.core) costs the two extension modules alone: the frame iterator
# (pyzol.frames, Frame, Frames; it needs typing), the recorder (pyzol.record, Recorder) and the
# awaitable waits (pyzol.aio; asyncio, which costs more than everything else together). Type
# checkers and completion engines (jedi) read the names from __init__.pyi beside this file.
__all__ = [
    "core", "unit", "devices", "open", "Camera", "IOBoard", "Encoder", "DeviceInfo", "Settings",
    "SettingInfo", "ZolError", "DeviceNotFound", "DeviceTimeout", "SettingError",
    "SettingNameError", "SettingValueError", "error_info", "aio", "Frame", "Frames", "frames",
    "Recorder", "record", "sync", "FrameSet", "demo_camera",
]  # fmt: skip

# The names each module of the package gives, loaded together when one is first asked for.
_LAZY = {
    "board_objects": ("devices", "open", "Camera", "IOBoard", "Encoder", "DeviceInfo"),
    "settings": ("Settings", "SettingInfo"),
    "errors": (
        "ZolError",
        "DeviceNotFound",
        "DeviceTimeout",
        "SettingError",
        "SettingNameError",
        "SettingValueError",
        "error_info",
    ),  # fmt: skip
    "stream": ("Frame", "Frames", "frames"),
    "recorder": ("Recorder", "record"),
    "groups": ("sync", "FrameSet"),
}


def demo_camera() -> str:
    """The path of the camera file shipped with pyzol: a 640x480 8-bit mono camera sending a
    frame every 5 ms. Any board's ``from_file`` or ``setup`` takes it."""
    return os.path.join(os.path.dirname(__file__), "cameras", "demo.txt")


def _submodule(name: str) -> object:
    # Not `from . import name`: that asks this module for the attribute first, which would come
    # back to __getattr__.
    __import__(f"{__name__}.{name}")
    return sys.modules[f"{__name__}.{name}"]


def __getattr__(name: str) -> object:
    if name == "aio":
        return _submodule("aio")
    for module, names in _LAZY.items():
        if name in names:
            found = _submodule(module)
            for each in names:
                globals()[each] = getattr(found, each)
            return globals()[name]
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
