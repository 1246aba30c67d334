"""Python access to zol frame grabbers and digital-I/O boards.

``pyzol.core`` registers the device library's shared types (images, enumerations, interfaces)
and must be imported before ``pyzol.unit``, whose members name them.
"""

# The names pyzol gives, for type checkers and completion engines: __init__.py loads the
# Python-level ones lazily, when first named, which a reader of that file could not see.
from . import aio as aio
from . import core as core
from . import unit as unit
from .board_objects import Camera as Camera
from .board_objects import DeviceInfo as DeviceInfo
from .board_objects import Encoder as Encoder
from .board_objects import IOBoard as IOBoard
from .board_objects import devices as devices
from .board_objects import open as open
from .errors import DeviceNotFound as DeviceNotFound
from .errors import DeviceTimeout as DeviceTimeout
from .errors import SettingError as SettingError
from .errors import SettingNameError as SettingNameError
from .errors import SettingValueError as SettingValueError
from .errors import ZolError as ZolError
from .errors import error_info as error_info
from .recorder import Recorder as Recorder
from .recorder import record as record
from .groups import FrameSet as FrameSet
from .groups import sync as sync
from .settings import SettingInfo as SettingInfo
from .settings import Settings as Settings
from .stream import Frame as Frame
from .stream import Frames as Frames
from .stream import frames as frames

__version__: str
__all__ = [
    "core", "unit", "devices", "open", "Camera", "IOBoard", "Encoder", "DeviceInfo", "Settings",
    "SettingInfo", "ZolError", "DeviceNotFound", "DeviceTimeout", "SettingError",
    "SettingNameError", "SettingValueError", "error_info", "aio", "Frame", "Frames", "frames",
    "Recorder", "record", "sync", "FrameSet", "demo_camera",
]

def demo_camera() -> str:
    """The path of the camera file shipped with pyzol: a 640x480 8-bit mono camera sending a
    frame every 5 ms. Any board's ``from_file`` or ``setup`` takes it."""
