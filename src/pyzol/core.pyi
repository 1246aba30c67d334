"""
Shared types of the zol device library: ExStatus, ExDevice, CxImage, the interfaces, and the as_... adapters that view a board as an interface.
"""
from __future__ import annotations
import typing
import typing_extensions
__all__: list[str] = ['CxImage', 'ExDevice', 'ExPixelFormat', 'ExStatus', 'IxDIO', 'IxDeviceModule', 'IxIndexedDIO', 'IxModule', 'IxRegister', 'IxVideoControl', 'TxItemValue', 'as_device_module', 'as_dio', 'as_indexed_dio', 'as_module', 'as_register', 'as_video_control']
class ExStatus:
    """
    Status of a library call; the code of its errors.
    
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
    
      ImageFormat
    """
    Aborted: typing.ClassVar[ExStatus]
    Busy: typing.ClassVar[ExStatus]
    Disposed: typing.ClassVar[ExStatus]
    Failed: typing.ClassVar[ExStatus]
    FileFormat: typing.ClassVar[ExStatus]
    FileNotFound: typing.ClassVar[ExStatus]
    FileWrite: typing.ClassVar[ExStatus]
    ImageFormat: typing.ClassVar[ExStatus]
    ImageTooSmall: typing.ClassVar[ExStatus]
    InvalidArgument: typing.ClassVar[ExStatus]
    NoController: typing.ClassVar[ExStatus]
    NoDevice: typing.ClassVar[ExStatus]
    NoObject: typing.ClassVar[ExStatus]
    NotLocked: typing.ClassVar[ExStatus]
    NotOpened: typing.ClassVar[ExStatus]
    NotSupported: typing.ClassVar[ExStatus]
    NullPointer: typing.ClassVar[ExStatus]
    Ok: typing.ClassVar[ExStatus]
    ParamKind: typing.ClassVar[ExStatus]
    ReadOnly: typing.ClassVar[ExStatus]
    Timeout: typing.ClassVar[ExStatus]
    Truncated: typing.ClassVar[ExStatus]
    UnknownCommand: typing.ClassVar[ExStatus]
    UnknownParam: typing.ClassVar[ExStatus]
    __members__: typing.ClassVar[dict[str, ExStatus]]
    def __eq__(self, other: typing.Any) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: int) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: typing.Any) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: int) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class ExDevice:
    """
    Device type of a capture board.
    
    Members:
    
      KX210
    
      TR520
    
      KX310
    """
    KX210: typing.ClassVar[ExDevice]
    KX310: typing.ClassVar[ExDevice]
    TR520: typing.ClassVar[ExDevice]
    __members__: typing.ClassVar[dict[str, ExDevice]]
    def __eq__(self, other: typing.Any) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: int) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: typing.Any) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: int) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class ExPixelFormat:
    """
    Pixel format of an image and of a board's frames.
    
    Members:
    
      Mono8 : 8-bit mono: (h, w) uint8
    
      Mono16 : 16-bit mono, also for 10 and 12-bit cameras: (h, w) uint16
    
      RGB8 : 8-bit red, green, blue: (h, w, 3) uint8
    
      BGR8 : 8-bit blue, green, red: (h, w, 3) uint8
    """
    BGR8: typing.ClassVar[ExPixelFormat]
    Mono16: typing.ClassVar[ExPixelFormat]
    Mono8: typing.ClassVar[ExPixelFormat]
    RGB8: typing.ClassVar[ExPixelFormat]
    __members__: typing.ClassVar[dict[str, ExPixelFormat]]
    def __eq__(self, other: typing.Any) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: int) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: typing.Any) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: int) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class CxImage:
    """
    An image of one pixel format. numpy.asarray(img) is a writable zero-copy view: (height, width) uint8 or uint16, or (height, width, 3) uint8, rows `stride` bytes apart. The view keeps the image alive.
    """
    def __buffer__(self, flags):
        """
        Return a buffer object that exposes the underlying memory of the object.
        """
    @typing.overload
    def __init__(self) -> None:
        """
        An empty image (0x0).
        """
    @typing.overload
    def __init__(self, width: int, height: int, format: ExPixelFormat = ..., stride: int = 0) -> None:
        """
        A zero-filled image of width x height pixels; stride 0 packs the rows.
        """
    @typing.overload
    def __init__(self, pixels: typing_extensions.Buffer, format: ExPixelFormat | None = None) -> None:
        """
        A copy of an array's pixels (any object with the buffer protocol).
        """
    def __release_buffer__(self, buffer):
        """
        Release the buffer object that exposes the underlying memory of the object.
        """
    def __repr__(self) -> str:
        ...
    @property
    def bytes_per_pixel(self) -> int:
        """
        Bytes of one pixel (1, 2 or 3).
        """
    @property
    def height(self) -> int:
        """
        Rows.
        """
    @property
    def pixel_format(self) -> ExPixelFormat:
        """
        The pixel format.
        """
    @property
    def size(self) -> int:
        """
        Bytes of pixel memory.
        """
    @property
    def stride(self) -> int:
        """
        Bytes from one row to the next.
        """
    @property
    def width(self) -> int:
        """
        Pixels per row.
        """
class IxModule:
    """
    A board or video device as the library's IxModule (from as_module); keeps its board alive.
    """
    def __repr__(self) -> str:
        ...
class IxDeviceModule:
    """
    A settings object as the library's IxDeviceModule (from as_device_module).
    """
    def __repr__(self) -> str:
        ...
class IxRegister:
    """
    A settings object's registers (from as_register).
    """
    def __repr__(self) -> str:
        ...
class IxDIO:
    """
    Whole-port access of an I/O board (from as_dio).
    """
    def __repr__(self) -> str:
        ...
class IxIndexedDIO:
    """
    Single-point access of an I/O board (from as_indexed_dio).
    """
    def __repr__(self) -> str:
        ...
class IxVideoControl:
    """
    Acquisition control of a capture board (from as_video_control).
    """
    def __repr__(self) -> str:
        ...
class TxItemValue:
    """
    The answer of unit.get_device_info or unit.get_xml_item: pass it as their last argument; the library writes a number or a text into it. A text longer than the capacity is cut (the call returns ExStatus.Truncated).
    """
    def __init__(self, capacity: int = 256) -> None:
        """
        An empty record with room for `capacity` bytes of text.
        """
    def __int__(self) -> int:
        ...
    def __repr__(self) -> str:
        ...
    def __str__(self) -> str:
        ...
    @property
    def capacity(self) -> int:
        """
        Bytes of text it can hold.
        """
    @property
    def length(self) -> int:
        """
        Bytes of the whole text answer, also when it was cut; 0 for a number.
        """
    @property
    def truncated(self) -> bool:
        """
        Whether the text answer was longer than the capacity.
        """
    @property
    def value(self) -> typing.Any:
        """
        The answer: an int, a str, or None before any answer.
        """
def as_device_module(settings: typing.Any) -> IxDeviceModule:
    """
    The settings object as IxDeviceModule (unit.get_device_module). Keeps it alive.
    """
def as_dio(board: typing.Any) -> IxDIO:
    """
    The I/O board's whole-port interface (unit.read/write/write_status). Keeps the board alive.
    """
def as_indexed_dio(board: typing.Any) -> IxIndexedDIO:
    """
    The I/O board's single-point interface (unit.read/write/write_status with an index). Keeps the board alive.
    """
def as_module(board: typing.Any) -> IxModule:
    """
    The board's IxModule, for members that take any module. Keeps the board alive.
    """
def as_register(settings: typing.Any) -> IxRegister:
    """
    The settings object's registers (unit.set_register/get_register). Keeps it alive.
    """
def as_video_control(board: typing.Any) -> IxVideoControl:
    """
    The capture board's acquisition control (unit.start/stop/abort/wait/is_running). Keeps the board alive.
    """
