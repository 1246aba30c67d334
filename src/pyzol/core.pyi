# Type stub of pyzol.core, kept by hand: each member's documentation is written here, once (the
# API reference site is built from it). tests/test_typing.py checks it against the built module.
"""Shared types of the zol device library: ExStatus, ExDevice, CxImage, the interfaces, and the as_... adapters that view a board as an interface."""
from __future__ import annotations
import pyzol.unit
import typing
import typing_extensions

# ---- enumerations --------------------------------------------------------------------------------

class ExStatus:
    """Status of a library call; the code of its errors.

Members:

  Ok

  Failed

  NoObject

  NullPointer

  InvalidArgument

  NoDevice

  NotOpened

  Busy

  Timeout

  Disposed

  FileNotFound

  FileFormat

  FileWrite

  UnknownParam

  ParamKind

  ReadOnly

  NotLocked

  ImageTooSmall

  NotSupported

  NoController

  Aborted

  UnknownCommand

  Truncated

  ImageFormat"""
    Aborted: typing.ClassVar[ExStatus]
    """20: a blocking call was aborted."""
    Busy: typing.ClassVar[ExStatus]
    """7: the board is busy (a capture running, a wait pending)."""
    Disposed: typing.ClassVar[ExStatus]
    """9: the handle was disposed."""
    Failed: typing.ClassVar[ExStatus]
    """1: refused (also every refusal of the module's own checks)."""
    FileFormat: typing.ClassVar[ExStatus]
    """11: a file's content could not be understood."""
    FileNotFound: typing.ClassVar[ExStatus]
    """10: a file could not be opened for reading."""
    FileWrite: typing.ClassVar[ExStatus]
    """12: a file could not be written."""
    ImageFormat: typing.ClassVar[ExStatus]
    """23: an image's pixel format is not the frame's."""
    ImageTooSmall: typing.ClassVar[ExStatus]
    """17: an image is smaller than the frame."""
    InvalidArgument: typing.ClassVar[ExStatus]
    """4: a value out of range (id, channel, index, size)."""
    NoController: typing.ClassVar[ExStatus]
    """19: a companion belongs to no board."""
    NoDevice: typing.ClassVar[ExStatus]
    """5: no such board."""
    NoObject: typing.ClassVar[ExStatus]
    """2: the object, or the one it refers to, does not exist."""
    NotLocked: typing.ClassVar[ExStatus]
    """16: no images locked for the capture."""
    NotOpened: typing.ClassVar[ExStatus]
    """6: the board is not open."""
    NotSupported: typing.ClassVar[ExStatus]
    """18: the operation has no meaning for this object."""
    NullPointer: typing.ClassVar[ExStatus]
    """3: an argument the operation needs was None."""
    Ok: typing.ClassVar[ExStatus]
    """0: success."""
    ParamKind: typing.ClassVar[ExStatus]
    """14: the value does not match the setting's kind."""
    ReadOnly: typing.ClassVar[ExStatus]
    """15: the setting cannot be written."""
    Timeout: typing.ClassVar[ExStatus]
    """8: a wait ran out of time."""
    Truncated: typing.ClassVar[ExStatus]
    """22: the answer did not fit and was cut."""
    UnknownCommand: typing.ClassVar[ExStatus]
    """21: no command of that name."""
    UnknownParam: typing.ClassVar[ExStatus]
    """13: no setting of that name."""
    __members__: typing.ClassVar[dict[str, ExStatus]]
    """Every member by name."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both are the same member (never equal to a plain int)."""

    def __getstate__(self) -> int:
        """The value, for pickling."""

    def __hash__(self) -> int:
        """Hash of the value."""

    def __index__(self) -> int:
        """The value, where Python wants an integer."""

    def __init__(self, value: int) -> None:
        """The member of this value (a value that names no member is accepted too)."""

    def __int__(self) -> int:
        """The value."""

    def __ne__(self, other: object, /) -> bool:
        """Whether the members differ."""

    def __repr__(self) -> str:
        """<Class.NAME: value>"""

    def __setstate__(self, state: int) -> None:
        """Restores the value, for unpickling."""

    def __str__(self) -> str:
        """Class.NAME"""

    @property
    def name(self) -> str:
        """The member's name ('???' for a value that names none)."""

    @property
    def value(self) -> int:
        """The member's value."""

class ExDevice:
    """Device type of a capture board.

Members:

  KX210

  TR520

  KX310"""
    KX210: typing.ClassVar[ExDevice]
    """1: a KX210 board."""
    KX310: typing.ClassVar[ExDevice]
    """4: a KX310 board."""
    TR520: typing.ClassVar[ExDevice]
    """2: a TR520 board."""
    __members__: typing.ClassVar[dict[str, ExDevice]]
    """Every member by name."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both are the same member (never equal to a plain int)."""

    def __getstate__(self) -> int:
        """The value, for pickling."""

    def __hash__(self) -> int:
        """Hash of the value."""

    def __index__(self) -> int:
        """The value, where Python wants an integer."""

    def __init__(self, value: int) -> None:
        """The member of this value (a value that names no member is accepted too)."""

    def __int__(self) -> int:
        """The value."""

    def __ne__(self, other: object, /) -> bool:
        """Whether the members differ."""

    def __repr__(self) -> str:
        """<Class.NAME: value>"""

    def __setstate__(self, state: int) -> None:
        """Restores the value, for unpickling."""

    def __str__(self) -> str:
        """Class.NAME"""

    @property
    def name(self) -> str:
        """The member's name ('???' for a value that names none)."""

    @property
    def value(self) -> int:
        """The member's value."""

class ExPixelFormat:
    """Pixel format of an image and of a board's frames.

Members:

  Mono8 : 8-bit mono: (h, w) uint8

  Mono16 : 16-bit mono, also for 10 and 12-bit cameras: (h, w) uint16

  RGB8 : 8-bit red, green, blue: (h, w, 3) uint8

  BGR8 : 8-bit blue, green, red: (h, w, 3) uint8"""
    BGR8: typing.ClassVar[ExPixelFormat]
    """3: 3 bytes per pixel: blue, green, red."""
    Mono16: typing.ClassVar[ExPixelFormat]
    """1: 16-bit mono (also 10 and 12-bit samples, in the low bits)."""
    Mono8: typing.ClassVar[ExPixelFormat]
    """0: 8-bit mono, 1 byte per pixel."""
    RGB8: typing.ClassVar[ExPixelFormat]
    """2: 3 bytes per pixel: red, green, blue."""
    __members__: typing.ClassVar[dict[str, ExPixelFormat]]
    """Every member by name."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both are the same member (never equal to a plain int)."""

    def __getstate__(self) -> int:
        """The value, for pickling."""

    def __hash__(self) -> int:
        """Hash of the value."""

    def __index__(self) -> int:
        """The value, where Python wants an integer."""

    def __init__(self, value: int) -> None:
        """The member of this value (a value that names no member is accepted too)."""

    def __int__(self) -> int:
        """The value."""

    def __ne__(self, other: object, /) -> bool:
        """Whether the members differ."""

    def __repr__(self) -> str:
        """<Class.NAME: value>"""

    def __setstate__(self, state: int) -> None:
        """Restores the value, for unpickling."""

    def __str__(self) -> str:
        """Class.NAME"""

    @property
    def name(self) -> str:
        """The member's name ('???' for a value that names none)."""

    @property
    def value(self) -> int:
        """The member's value."""

# ---- images --------------------------------------------------------------------------------------

class CxImage:
    """An image of one pixel format. numpy.asarray(img) is a writable zero-copy view: (height, width) uint8 or uint16, or (height, width, 3) uint8, rows `stride` bytes apart. The view keeps the image alive."""

    def __buffer__(self, flags: int, /) -> memoryview:
        """A writable view of the pixels (what numpy.asarray uses)."""

    @typing.overload
    def __init__(self) -> None:
        """An empty image (0x0)."""

    @typing.overload
    def __init__(self, width: int, height: int, format: ExPixelFormat = ..., stride: int = 0) -> None:
        """A zero-filled image of width x height pixels; stride 0 packs the rows."""

    @typing.overload
    def __init__(self, pixels: typing_extensions.Buffer, format: ExPixelFormat | None = None) -> None:
        """A copy of an array's pixels (any object with the buffer protocol)."""

    def __release_buffer__(self, buffer: memoryview, /) -> None:
        """Release the buffer object that exposes the underlying memory of the object."""

    def __repr__(self) -> str:
        """<CxImage width x height format>"""

    @property
    def bytes_per_pixel(self) -> int:
        """Bytes of one pixel (1, 2 or 3)."""

    @property
    def height(self) -> int:
        """Rows."""

    @property
    def pixel_format(self) -> ExPixelFormat:
        """The pixel format."""

    @property
    def size(self) -> int:
        """Bytes of pixel memory."""

    @property
    def stride(self) -> int:
        """Bytes from one row to the next."""

    @property
    def width(self) -> int:
        """Pixels per row."""

# ---- interfaces: what the boards and their settings are seen as ----------------------------------

class IxModule:
    """A board or video device as the library's IxModule (from as_module); keeps its board alive."""

    def __repr__(self) -> str:
        """<pyzol.core.Name of the object it views>"""

class IxDeviceModule:
    """A settings object as the library's IxDeviceModule (from as_device_module)."""

    def __repr__(self) -> str:
        """<pyzol.core.Name of the object it views>"""

class IxRegister:
    """A settings object's registers (from as_register)."""

    def __repr__(self) -> str:
        """<pyzol.core.Name of the object it views>"""

class IxDIO:
    """Whole-port access of an I/O board (from as_dio)."""

    def __repr__(self) -> str:
        """<pyzol.core.Name of the object it views>"""

class IxIndexedDIO:
    """Single-point access of an I/O board (from as_indexed_dio)."""

    def __repr__(self) -> str:
        """<pyzol.core.Name of the object it views>"""

class IxVideoControl:
    """Acquisition control of a capture board (from as_video_control)."""

    def __repr__(self) -> str:
        """<pyzol.core.Name of the object it views>"""

# ---- the answer of an item query -----------------------------------------------------------------

class TxItemValue:
    """The answer of unit.get_device_info or unit.get_xml_item: pass it as their last argument; the library writes a number or a text into it. A text longer than the capacity is cut (the call returns ExStatus.Truncated)."""

    def __init__(self, capacity: int = 256) -> None:
        """An empty record with room for `capacity` bytes of text."""

    def __int__(self) -> int:
        """The number answered (TypeError for a text)."""

    def __repr__(self) -> str:
        """<TxItemValue answer>"""

    def __str__(self) -> str:
        """The text answered, or the number as text."""

    @property
    def capacity(self) -> int:
        """Bytes of text it can hold."""

    @property
    def length(self) -> int:
        """Bytes of the whole text answer, also when it was cut; 0 for a number."""

    @property
    def truncated(self) -> bool:
        """Whether the text answer was longer than the capacity."""

    @property
    def value(self) -> int | str | None:
        """The answer: an int, a str, or None before any answer."""

# ---- adapters: a board or its settings as an interface -------------------------------------------

def as_device_module(settings: pyzol.unit.MB100Param | pyzol.unit.RM1600Param | pyzol.unit.DQ160Param | pyzol.unit.KX210Param | pyzol.unit.KX310Param | pyzol.unit.TR520Param) -> IxDeviceModule:
    """The settings object as IxDeviceModule (unit.get_device_module). Keeps it alive."""

def as_dio(board: pyzol.unit.MB100 | pyzol.unit.RM1600 | pyzol.unit.DQ160) -> IxDIO:
    """The I/O board's whole-port interface (unit.read/write/write_status). Keeps the board alive."""

def as_indexed_dio(board: pyzol.unit.MB100 | pyzol.unit.RM1600 | pyzol.unit.DQ160) -> IxIndexedDIO:
    """The I/O board's single-point interface (unit.read/write/write_status with an index). Keeps the board alive."""

def as_module(board: pyzol.unit.MB100 | pyzol.unit.RM1600 | pyzol.unit.DQ160 | pyzol.unit.KX210 | pyzol.unit.KX310 | pyzol.unit.TR520 | pyzol.unit.Video) -> IxModule:
    """The board's IxModule, for members that take any module. Keeps the board alive."""

def as_register(settings: pyzol.unit.MB100Param | pyzol.unit.RM1600Param | pyzol.unit.DQ160Param | pyzol.unit.KX210Param | pyzol.unit.KX310Param | pyzol.unit.TR520Param) -> IxRegister:
    """The settings object's registers (unit.set_register/get_register). Keeps it alive."""

def as_video_control(board: pyzol.unit.KX210 | pyzol.unit.KX310 | pyzol.unit.TR520) -> IxVideoControl:
    """The capture board's acquisition control (unit.start/stop/abort/wait/is_running). Keeps the board alive."""
