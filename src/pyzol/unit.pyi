# Type stub of pyzol.unit, kept by hand: each member's documentation is written here, once (the
# API reference site is built from it). tests/test_typing.py checks it against the built module.
"""The zol device library's boards: capture boards, their serial links, encoders and settings, the generic Video device and the digital-I/O boards."""
from __future__ import annotations
import builtins
import pyzol.core
import typing
import typing_extensions

# ---- digital-I/O boards: MB100, RM1600, DQ160, their settings and wait records -------------------

class EventStatus:
    """Event that ended a wait of an I/O board."""
    ABORT: typing.ClassVar[EventStatus]
    """4: the wait was aborted."""
    DI: typing.ClassVar[EventStatus]
    """2: an enabled edge on a digital input."""
    INT: typing.ClassVar[EventStatus]
    """1: the interrupt input."""
    TIMEOUT: typing.ClassVar[EventStatus]
    """3: the wait timed out."""
    __members__: typing.ClassVar[dict[str, EventStatus]]
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

class MB100:
    """MB100 digital-I/O board: input and output words, and a wait for its events."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a MB100 cannot be hashed (it defines equality)."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    def __init__(self) -> None:
        """An MB100 that is not open yet."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def abort(self) -> None:
        """Ends a wait() in progress (from another thread): it reports ABORT."""

    def close(self) -> None:
        """Closes the board; a wait in progress ends."""

    def dispose(self) -> None:
        """Lets go of the board for good; is_valid tells what is left."""

    def open(self, id: int, /) -> None:
        """Opens board number `id`."""

    @typing.overload
    def read(self) -> int:
        """The input word: bit i is input i."""

    @typing.overload
    def read(self, index: int, /) -> bool:
        """Whether input `index` is on."""

    def wait(self) -> int:
        """Blocks until an event and returns its code (EventStatus: 1 INT to 4 ABORT)."""

    @typing.overload
    def write(self, word: int, /) -> None:
        """Sets the outputs to the bits of `word`."""

    @typing.overload
    def write(self, index: int, state: bool, /) -> None:
        """Turns output `index` on or off."""

    @typing.overload
    def write_status(self) -> int:
        """The output word as last written."""

    @typing.overload
    def write_status(self, index: int, /) -> bool:
        """Whether output `index` is on."""

    @property
    def is_opened(self) -> bool:
        """Whether the board is open."""

    @property
    def is_valid(self) -> bool:
        """Whether the object still refers to a usable board."""

class MB100Param:
    """Settings of an MB100 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a MB100Param cannot be hashed (it defines equality)."""
    controller: MB100 | None
    """The MB100 this belongs to, or None; assigning ties it to another."""
    int_edge: int
    """The interrupt input's edge that makes an event."""
    timeout: int
    """How long wait() waits for an event, in ms (negative: for ever, 0: just look)."""

    @staticmethod
    def from_(board: MB100 | None, /) -> MB100Param:
        """A new MB100Param that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    def __init__(self) -> None:
        """A MB100Param that belongs to no board yet; set its controller."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def get_param(self, name: str, /) -> int:
        """The setting called `name` (an int)."""

    def get_register(self, register: int, /) -> int:
        """The value of register number `register`."""

    def send_command(self, command: str, /) -> None:
        """Always fails (RuntimeError): a MB100Param accepts no command."""

    def set_param(self, name: str, value: typing.SupportsIndex, /) -> None:
        """Sets the setting called `name` to the int `value`."""

    def set_register(self, register: int, value: int, /) -> None:
        """Writes `value` to register number `register`."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

class RM1600:
    """RM1600 digital-I/O board: inputs, outputs, and waits for input events."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a RM1600 cannot be hashed (it defines equality)."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    def __init__(self) -> None:
        """An RM1600 that is not open yet."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def abort(self) -> None:
        """Ends a wait() in progress (from another thread): it reports ABORT."""

    def close(self) -> None:
        """Closes the board; a wait in progress ends."""

    def dispose(self) -> None:
        """Lets go of the board for good; is_valid tells what is left."""

    def open(self, id: int = 0) -> None:
        """Opens board number `id`."""

    @typing.overload
    def read(self) -> int:
        """The input word: bit i is input i."""

    @typing.overload
    def read(self, index: int, /) -> bool:
        """Whether input `index` is on."""

    def wait(self) -> RM1600WaitStatus:
        """Blocks until an input event, the time-out or abort(): what ended it."""

    @typing.overload
    def write(self, word: int, /) -> None:
        """Sets the outputs to the bits of `word`."""

    @typing.overload
    def write(self, index: int, state: bool, /) -> None:
        """Turns output `index` on or off."""

    @typing.overload
    def write_status(self) -> int:
        """The output word as last written."""

    @typing.overload
    def write_status(self, index: int, /) -> bool:
        """Whether output `index` is on."""

    @property
    def is_opened(self) -> bool:
        """Whether the board is open."""

    @property
    def is_valid(self) -> bool:
        """Whether the object still refers to a usable board."""

class RM1600Param:
    """Settings of an RM1600 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a RM1600Param cannot be hashed (it defines equality)."""
    controller: RM1600 | None
    """The RM1600 this belongs to, or None; assigning ties it to another."""
    di_edge: int
    """Per input, the edge that makes an event: bit set rising, clear falling."""
    di_enable: int
    """Inputs that take part in events, as a bit mask."""
    di_wait_enable: int
    """Inputs whose event ends wait(), as a bit mask (0: all enabled ones)."""
    timeout: int
    """How long wait() waits for an event, in ms (negative: for ever, 0: just look)."""

    @staticmethod
    def from_(board: RM1600 | None, /) -> RM1600Param:
        """A new RM1600Param that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    def __init__(self) -> None:
        """A RM1600Param that belongs to no board yet; set its controller."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def get_param(self, name: str, /) -> typing.Any:
        """The setting called `name`: an int, or a str for the text settings (bytes that are not UTF-8 as surrogates)."""

    def get_register(self, register: int, /) -> int:
        """The value of register number `register`."""

    def send_command(self, command: str, /) -> None:
        """Always fails (RuntimeError): a RM1600Param accepts no command."""

    def set_param(self, name: str, value: typing.SupportsIndex | str | bytes | bytearray, /) -> None:
        """Sets the setting called `name` to `value` (an int, or a str for text)."""

    def set_register(self, register: int, value: int, /) -> None:
        """Writes `value` to register number `register`."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

class DQ160:
    """DQ160 digital-I/O board: inputs, outputs, interrupts and settings files."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a DQ160 cannot be hashed (it defines equality)."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    def __init__(self) -> None:
        """An DQ160 that is not open yet."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def abort(self) -> None:
        """Ends a wait() in progress (from another thread): it reports ABORT."""

    def close(self) -> None:
        """Closes the board; a wait in progress ends."""

    def dispose(self) -> None:
        """Lets go of the board for good; is_valid tells what is left."""

    def load(self, path: str | bytes | bytearray | None, option: int, /) -> None:
        """Loads the board's settings from the file `path`."""

    def load_w(self, path: str | None, option: int, /) -> None:
        """load() with the path handed to the library as wide characters."""

    def open(self, id: int, /) -> None:
        """Opens board number `id`."""

    @typing.overload
    def read(self) -> int:
        """The input word: bit i is input i."""

    @typing.overload
    def read(self, index: int, /) -> bool:
        """Whether input `index` is on."""

    def save(self, path: str | bytes | bytearray | None, option: int, /) -> None:
        """Saves the board's settings to the file `path`."""

    def save_w(self, path: str | None, option: int, /) -> None:
        """save() with the path handed to the library as wide characters."""

    def wait(self) -> DQ160WaitStatus:
        """Blocks until an interrupt or input event, the time-out or abort()."""

    @typing.overload
    def write(self, word: int, /) -> None:
        """Sets the outputs to the bits of `word`."""

    @typing.overload
    def write(self, index: int, state: bool, /) -> None:
        """Turns output `index` on or off."""

    @typing.overload
    def write_status(self) -> int:
        """The output word as last written."""

    @typing.overload
    def write_status(self, index: int, /) -> bool:
        """Whether output `index` is on."""

    @property
    def is_opened(self) -> bool:
        """Whether the board is open."""

    @property
    def is_valid(self) -> bool:
        """Whether the object still refers to a usable board."""

class DQ160Param:
    """Settings of a DQ160 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a DQ160Param cannot be hashed (it defines equality)."""
    controller: DQ160 | None
    """The DQ160 this belongs to, or None; assigning ties it to another."""
    di_edge: int
    """Per input, the edge that makes an event: bit set rising, clear falling."""
    di_enable: int
    """Inputs that take part in events, as a bit mask."""
    di_wait_enable: int
    """Inputs whose event ends wait(), as a bit mask (0: all enabled ones)."""
    di_wait_mode: int
    """How wait() treats the input events (the board's wait mode)."""
    int_edge: int
    """The interrupt input's edge that makes an event."""
    int_enable: int
    """Whether the interrupt input makes events."""
    int_wait_enable: int
    """Whether an interrupt ends wait()."""
    timeout: int
    """How long wait() waits for an event, in ms (negative: for ever, 0: just look)."""

    @staticmethod
    def from_(board: DQ160 | None, /) -> DQ160Param:
        """A new DQ160Param that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    def __init__(self) -> None:
        """A DQ160Param that belongs to no board yet; set its controller."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def get_param(self, name: str, /) -> int:
        """The setting called `name` (an int)."""

    def get_register(self, register: int, /) -> int:
        """The value of register number `register`."""

    def send_command(self, command: str, /) -> None:
        """Always fails (RuntimeError): a DQ160Param accepts no command."""

    def set_param(self, name: str, value: typing.SupportsIndex, /) -> None:
        """Sets the setting called `name` to the int `value`."""

    def set_register(self, register: int, value: int, /) -> None:
        """Writes `value` to register number `register`."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

class RM1600WaitStatus:
    """What ended an RM1600 wait."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a RM1600WaitStatus cannot be hashed (it defines equality)."""

    def __eq__(self, other: object, /) -> bool:
        """Whether every field of both records is equal."""

    @typing.overload
    def __init__(self) -> None:
        """A record of zeros."""

    @typing.overload
    def __init__(self, event_status: int, di_event_status: int, di: int, /) -> None:
        """A record of these fields."""

    def __ne__(self, other: object, /) -> bool:
        """Whether some field differs."""

    @property
    def di(self) -> int:
        """The input word when the wait ended."""

    @property
    def di_event_status(self) -> int:
        """The digital inputs whose enabled edge occurred, as a word."""

    @property
    def event_status(self) -> int:
        """Code of the event that ended the wait (EventStatus: 1 INT to 4 ABORT)."""

class DQ160WaitStatus:
    """What ended a DQ160 wait."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a DQ160WaitStatus cannot be hashed (it defines equality)."""

    def __eq__(self, other: object, /) -> bool:
        """Whether every field of both records is equal."""

    @typing.overload
    def __init__(self) -> None:
        """A record of zeros."""

    @typing.overload
    def __init__(self, event_status: int, di_event_status: int, di: int, /) -> None:
        """A record of these fields."""

    def __ne__(self, other: object, /) -> bool:
        """Whether some field differs."""

    @property
    def di(self) -> int:
        """The input word when the wait ended."""

    @property
    def di_event_status(self) -> int:
        """The digital inputs whose enabled edge occurred, as a word."""

    @property
    def event_status(self) -> int:
        """Code of the event that ended the wait (EventStatus: 1 INT to 4 ABORT)."""

# ---- capture boards: KX210, with its encoder, settings and serial link ---------------------------

class KX210:
    """KX210 capture board (Camera Link, two channels)."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a KX210 cannot be hashed (it defines equality)."""
    lock_id: int
    """The lock id the board keeps with its images (LockId)."""
    num: int
    """Frames to capture after start(); 0 for no end."""

    @staticmethod
    @typing.overload
    def from_file(camerafile: str | bytes | bytearray | None, option: int = -1) -> KX210:
        """A KX210 opened and set up from the camera file `camerafile`."""

    @staticmethod
    @typing.overload
    def from_file(camerafile: str | bytes | bytearray | None, id: int, ch: int, option: int = -1) -> KX210:
        """A KX210 opened as board `id`, channel `ch`, and set up from `camerafile`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A KX210 that refers to no board yet."""

    @typing.overload
    def __init__(self, other: KX210, /) -> None:
        """A copy that refers to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    @typing.overload
    def abort(self) -> None:
        """Ends the capture at once."""

    @typing.overload
    def abort(self, option: int, /) -> None:
        """Ends the capture at once (`option`: how)."""

    def close(self) -> None:
        """Closes the board; a wait in progress ends."""

    def dispose(self) -> None:
        """Lets go of the board for good; is_valid tells what is left."""

    def force_trigger(self) -> None:
        """Triggers one frame when the board waits for a trigger."""

    @typing.overload
    def lock(self, image: pyzol.core.CxImage, option: int = 0) -> None:
        """Gives the board one image to capture into (it holds it until unlock)."""

    @typing.overload
    def lock(self, images: list[pyzol.core.CxImage] | list[pyzol.core.CxImage | None], option: int = 0) -> None:
        """Gives the board a ring of images to capture into (it holds them until unlock)."""

    def open(self, id: int, ch: int, /) -> None:
        """Opens channel `ch` of board number `id`."""

    @typing.overload
    def query_status(self) -> TxKX210CaptureStatus:
        """The capture status now."""

    @typing.overload
    def query_status(self, frame: int, /) -> TxKX210CaptureStatus:
        """The capture status now, with respect to frame `frame`."""

    def save(self, path: str | bytes | bytearray | None, /) -> None:
        """Writes the board's settings to the camera file `path`."""

    def save_w(self, path: str | None, /) -> None:
        """save() with the path handed to the library as wide characters."""

    def setup(self, camerafile: str | bytes | bytearray | None, option: int = -1) -> None:
        """Applies the camera file `camerafile` to the open board."""

    def start(self) -> None:
        """Starts capturing into the locked images; `num` frames, or without end for 0."""

    def status(self) -> int:
        """The capture state: 0 idle, 1 running, 2 done, 3 aborted."""

    def stop(self) -> None:
        """Stops capturing."""

    def unlock(self) -> None:
        """Takes the images back from the board."""

    @typing.overload
    def validate(self, image: pyzol.core.CxImage, /) -> None:
        """Checks that `image` can take the board's frames."""

    @typing.overload
    def validate(self, images: list[pyzol.core.CxImage] | list[pyzol.core.CxImage | None], /) -> None:
        """Checks that every image of the list can take the board's frames."""

    def wait(self) -> None:
        """Blocks until the capture ends (the Timeout setting bounds the wait)."""

    @typing.overload
    def wait_status(self) -> TxKX210CaptureStatus:
        """Blocks until the capture ends and returns its status."""

    @typing.overload
    def wait_status(self, frame: int, /) -> TxKX210CaptureStatus:
        """Blocks until frame number `frame` is complete (or the capture ends); its status."""

    @property
    def is_opened(self) -> bool:
        """Whether the board is open."""

    @property
    def is_running(self) -> bool:
        """Whether the board is capturing."""

    @property
    def is_valid(self) -> bool:
        """Whether the object still refers to a usable board."""

class KX210Encoder:
    """The encoder unit of a KX210 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a KX210Encoder cannot be hashed (it defines equality)."""
    comp1: int
    """The compare value: match_counter counts each arrival of the count at it."""
    comp2: int
    """Second compare value (0 to 4294967295)."""
    controller: KX210 | None
    """The KX210 this belongs to, or None; assigning ties it to another."""
    dir: int
    """Counting direction: 0 forward, otherwise backward."""
    encoder_mode: int
    """How the A and B inputs are counted (the EncoderMode setting)."""
    init: int
    """The ENCInit setting of the unit."""
    sampling: int
    """Sampling of the encoder inputs (ENCSampling)."""
    start: int
    """The ENCStart setting: when the unit starts counting."""
    swap_ab: int
    """Non-zero: inputs A and B are swapped (the count runs the other way)."""

    @staticmethod
    def from_(board: KX210 | None, /) -> KX210Encoder:
        """A new KX210Encoder that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A KX210Encoder that belongs to no board yet; set its controller."""

    @typing.overload
    def __init__(self, other: KX210Encoder, /) -> None:
        """A copy that belongs to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def abs_counter(self) -> int:
        """The absolute counter."""

    def clear_abs_counter(self) -> None:
        """Sets the absolute counter to 0."""

    def clear_all_counter(self) -> None:
        """Sets every counter to 0 and clears both flags."""

    def clear_overflow(self) -> None:
        """Clears the overflow flag."""

    def clear_rel_counter(self) -> None:
        """Sets the relative counter to 0."""

    def clear_underflow(self) -> None:
        """Clears the underflow flag."""

    def get_param(self, name: str, /) -> int:
        """The setting called `name` (an int)."""

    def match_counter(self) -> int:
        """Times the count matched the compare value."""

    def rel_counter(self) -> int:
        """The relative counter (never negative)."""

    def send_command(self, command: str, /) -> None:
        """Always fails (RuntimeError): a KX210Encoder accepts no command."""

    def set_param(self, name: str, value: typing.SupportsIndex, /) -> None:
        """Sets the setting called `name` to the int `value`."""

    def start_abs(self, on: bool, /) -> None:
        """Starts (True) or stops (False) the absolute counter."""

    def total_counter(self) -> int:
        """The total count."""

    @property
    def is_abs_overflow(self) -> bool:
        """Whether the absolute counter overflowed."""

    @property
    def is_abs_underflow(self) -> bool:
        """Whether the absolute counter underflowed."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

class KX210Param:
    """Settings of a KX210 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a KX210Param cannot be hashed (it defines equality)."""
    controller: KX210 | None
    """The KX210 this belongs to, or None; assigning ties it to another."""
    exposure_time: int
    """Exposure time in µs (the frame period when there is no trigger cycle)."""
    trigger_cycle_time: int
    """Time between frames in µs; 0 for none."""
    trigger_mode: int
    """Trigger mode: 0 runs free, otherwise each frame waits for a trigger."""

    @staticmethod
    def from_(board: KX210 | None, /) -> KX210Param:
        """A new KX210Param that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A KX210Param that belongs to no board yet; set its controller."""

    @typing.overload
    def __init__(self, other: KX210Param, /) -> None:
        """A copy that belongs to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def get_param(self, name: str, /) -> typing.Any:
        """The setting called `name`: an int, or a str for the text settings (bytes that are not UTF-8 as surrogates)."""

    def get_register(self, register: int, /) -> int:
        """The value of register number `register`."""

    def send_command(self, command: str, /) -> None:
        """Always fails (RuntimeError): a KX210Param accepts no command."""

    def set_param(self, name: str, value: typing.SupportsIndex | str | bytes | bytearray, /) -> None:
        """Sets the setting called `name` to `value` (an int, or a str for text)."""

    def set_register(self, register: int, value: int, /) -> None:
        """Writes `value` to register number `register`."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

class KX210Sio:
    """Serial link to the camera of a KX210 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a KX210Sio cannot be hashed (it defines equality)."""
    controller: KX210 | None
    """The KX210 this belongs to, or None; assigning ties it to another."""
    timeout: int
    """How long a read waits for the camera's bytes, in ms."""

    @staticmethod
    def from_(board: KX210 | None, /) -> KX210Sio:
        """A new KX210Sio that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A KX210Sio that belongs to no board yet; set its controller."""

    @typing.overload
    def __init__(self, other: KX210Sio, /) -> None:
        """A copy that belongs to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def close(self) -> None:
        """Closes the serial link."""

    def open(self) -> None:
        """Opens the serial link to the camera."""

    def purge(self) -> None:
        """Drops what the link has received and not yet read."""

    def read(self, size: int, /) -> str:
        """Reads `size` bytes from the camera, as a str of `size` characters."""

    def read_byte(self) -> str:
        """The next byte from the camera, as a one-character str."""

    def set_camera_mode(self, mode: str, /) -> None:
        """Switches the camera to mode `mode`."""

    def write(self, text: str, /) -> None:
        """Sends `text` to the camera (up to its first NUL character)."""

    def write_byte(self, char: str, /) -> None:
        """Sends one character (code point 0 to 255) as one byte."""

    @property
    def is_opened(self) -> bool:
        """Whether the link is open."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

# ---- KX310, with its encoder, settings and serial link -------------------------------------------

class KX310:
    """KX310 capture board (Camera Link, two channels, event waits)."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a KX310 cannot be hashed (it defines equality)."""
    lock_id: int
    """The lock id the board keeps with its images (LockId)."""
    num: int
    """Frames to capture after start(); 0 for no end."""

    @staticmethod
    @typing.overload
    def from_file(camerafile: str | bytes | bytearray | None, option: int = -1) -> KX310:
        """A KX310 opened and set up from the camera file `camerafile`."""

    @staticmethod
    @typing.overload
    def from_file(camerafile: str | bytes | bytearray | None, id: int, ch: int, option: int = -1) -> KX310:
        """A KX310 opened as board `id`, channel `ch`, and set up from `camerafile`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A KX310 that refers to no board yet."""

    @typing.overload
    def __init__(self, other: KX310, /) -> None:
        """A copy that refers to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def abort(self) -> None:
        """Ends the capture at once."""

    def cancel_wait_event(self, event: int, /) -> None:
        """Ends the waits for `event` (0: for every event) at once."""

    def clear_trigger_mask(self, ch: int = -1) -> None:
        """Clears the trigger mask of channel `ch` (-1: this one)."""

    def close(self) -> None:
        """Closes the board; a wait in progress ends."""

    def dispose(self) -> None:
        """Lets go of the board for good; is_valid tells what is left."""

    def force_trigger(self, ch: int = -1) -> None:
        """Triggers one frame on channel `ch` (-1: this one)."""

    @typing.overload
    def lock(self, image: pyzol.core.CxImage, option: int = 0) -> None:
        """Gives the board one image to capture into (it holds it until unlock)."""

    @typing.overload
    def lock(self, images: list[pyzol.core.CxImage] | list[pyzol.core.CxImage | None], option: int = 0) -> None:
        """Gives the board a ring of images to capture into (it holds them until unlock)."""

    @typing.overload
    def lock(self, image: pyzol.core.IxModule | None, option: int = 0) -> None:
        """Captures into the images that the module `image` holds."""

    def open(self, id: int, ch: int, /) -> None:
        """Opens channel `ch` of board number `id`."""

    def pll_reconfig(self) -> None:
        """Reconfigures the camera clock's PLL."""

    @typing.overload
    def query_status(self) -> TxKX310CaptureStatus:
        """The capture status now."""

    @typing.overload
    def query_status(self, result: TxKX310CaptureStatus) -> None:
        """Fills `result` with the capture status now."""

    def reset_pg(self, ch: int = -1) -> None:
        """Resets the pulse generator of channel `ch` (-1: this one)."""

    def save(self, path: str | bytes | bytearray | None, /) -> None:
        """Writes the board's settings to the camera file `path`."""

    def save_w(self, path: str | None, /) -> None:
        """save() with the path handed to the library as wide characters."""

    def setup(self, camerafile: str | bytes | bytearray | None, option: int = -1) -> None:
        """Applies the camera file `camerafile` to the open board."""

    def start(self) -> None:
        """Starts capturing into the locked images; `num` frames, or without end for 0."""

    def status(self) -> int:
        """The capture state: 0 idle, 1 running, 2 done, 3 aborted."""

    def stop(self) -> None:
        """Stops capturing."""

    def stop_pg(self, ch: int = -1) -> None:
        """Stops the pulse generator of channel `ch` (-1: this one)."""

    def unlock(self) -> None:
        """Takes the images back from the board."""

    @typing.overload
    def validate(self, image: pyzol.core.CxImage, /) -> None:
        """Checks that `image` can take the board's frames."""

    @typing.overload
    def validate(self, images: list[pyzol.core.CxImage] | list[pyzol.core.CxImage | None], /) -> None:
        """Checks that every image of the list can take the board's frames."""

    @typing.overload
    def validate(self, module: pyzol.core.IxModule | None, /) -> None:
        """Checks the images that the module `image` holds."""

    @typing.overload
    def wait(self) -> None:
        """Blocks until the capture ends (the Timeout setting bounds the wait)."""

    @typing.overload
    def wait(self, timeout: int, /) -> bool:
        """Waits up to `timeout` ms (-1: for ever) for the end; True if it ended."""

    def wait_event(self, event: int, timeout: int, value: int, /) -> bool:
        """Waits up to `timeout` ms for `event` (1 frame end, 2 capture end); True if seen."""

    @typing.overload
    def wait_status(self) -> TxKX310CaptureStatus:
        """Blocks until the capture ends and returns its status."""

    @typing.overload
    def wait_status(self, result: TxKX310CaptureStatus, timeout: int = 5000) -> bool:
        """Waits up to `timeout` ms for the end; fills `result`, True if it ended."""

    @property
    def is_opened(self) -> bool:
        """Whether the board is open."""

    @property
    def is_running(self) -> bool:
        """Whether the board is capturing."""

    @property
    def is_valid(self) -> bool:
        """Whether the object still refers to a usable board."""

class KX310Encoder:
    """The encoder unit of a KX310 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a KX310Encoder cannot be hashed (it defines equality)."""
    comp1: int
    """The compare value: match_counter counts each arrival of the count at it."""
    comp2: int
    """Second compare value (0 to 4294967295)."""
    controller: KX310 | None
    """The KX310 this belongs to, or None; assigning ties it to another."""
    dir: int
    """Counting direction: 0 forward, otherwise backward."""
    encoder_act_mode: int
    """When the unit acts on its count."""
    encoder_mode: int
    """How the A and B inputs are counted (the EncoderMode setting)."""
    reset_source: int
    """What resets the counter."""
    sampling: int
    """Sampling of the encoder inputs (ENCSampling)."""
    signal_source: int
    """Where the encoder signals come from."""
    start: int
    """The ENCStart setting: when the unit starts counting."""
    swap_ab: int
    """Non-zero: inputs A and B are swapped (the count runs the other way)."""

    @staticmethod
    def from_(board: KX310 | None, /) -> KX310Encoder:
        """A new KX310Encoder that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A KX310Encoder that belongs to no board yet; set its controller."""

    @typing.overload
    def __init__(self, other: KX310Encoder, /) -> None:
        """A copy that belongs to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def encoder_counter(self) -> int:
        """The encoder counter (signed)."""

    def encoder_status(self, result: TxKX310EncoderStatus, /) -> None:
        """Fills `result` with the unit's counters and input states."""

    def get_param(self, name: str, /) -> int:
        """The setting called `name` (an int)."""

    def match_counter(self) -> int:
        """Times the count matched the compare value."""

    def rel_counter(self) -> int:
        """The relative counter (never negative)."""

    def reset_encoder(self) -> None:
        """Sets the counters to 0."""

    def send_command(self, command: str, /) -> None:
        """Always fails (RuntimeError): a KX310Encoder accepts no command."""

    def set_param(self, name: str, value: typing.SupportsIndex, /) -> None:
        """Sets the setting called `name` to the int `value`."""

    def start_encoder(self) -> None:
        """Starts counting."""

    def stop_encoder(self) -> None:
        """Stops counting."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

class KX310Param:
    """Settings of a KX310 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a KX310Param cannot be hashed (it defines equality)."""
    controller: KX310 | None
    """The KX310 this belongs to, or None; assigning ties it to another."""
    exposure_time: int
    """Exposure time in µs (the frame period when there is no trigger cycle)."""
    trigger_cycle_time: int
    """Time between frames in µs; 0 for none."""
    trigger_mode: int
    """Trigger mode: 0 runs free, otherwise each frame waits for a trigger."""

    @staticmethod
    def from_(board: KX310 | None, /) -> KX310Param:
        """A new KX310Param that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A KX310Param that belongs to no board yet; set its controller."""

    @typing.overload
    def __init__(self, other: KX310Param, /) -> None:
        """A copy that belongs to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def get_param(self, name: str, /) -> typing.Any:
        """The setting called `name`: an int, or a str for the text settings (bytes that are not UTF-8 as surrogates)."""

    def get_register(self, register: int, /) -> int:
        """The value of register number `register`."""

    def send_command(self, command: str, /) -> None:
        """Runs the command `command` (ClearTriggerMask, ResetPG, StopPG, ResetPLLReconfig, ExecutePLLReconfig, PLLReconfig)."""

    def set_param(self, name: str, value: typing.SupportsIndex | str | bytes | bytearray, /) -> None:
        """Sets the setting called `name` to `value` (an int, or a str for text)."""

    def set_register(self, register: int, value: int, /) -> None:
        """Writes `value` to register number `register`."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

class KX310Sio:
    """Serial link to the camera of a KX310 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a KX310Sio cannot be hashed (it defines equality)."""
    controller: KX310 | None
    """The KX310 this belongs to, or None; assigning ties it to another."""
    timeout: int
    """How long a read waits for the camera's bytes, in ms."""

    @staticmethod
    def from_(board: KX310 | None, /) -> KX310Sio:
        """A new KX310Sio that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A KX310Sio that belongs to no board yet; set its controller."""

    @typing.overload
    def __init__(self, other: KX310Sio, /) -> None:
        """A copy that belongs to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def close(self) -> None:
        """Closes the serial link."""

    def open(self) -> None:
        """Opens the serial link to the camera."""

    def purge(self) -> None:
        """Drops what the link has received and not yet read."""

    def read(self, size: int, /) -> str:
        """Reads `size` bytes from the camera, as a str of `size` characters."""

    def read_byte(self) -> str:
        """The next byte from the camera, as a one-character str."""

    def set_camera_mode(self, mode: str, /) -> None:
        """Switches the camera to mode `mode`."""

    def write(self, text: str, /) -> None:
        """Sends `text` to the camera (up to its first NUL character)."""

    def write_byte(self, char: str, /) -> None:
        """Sends one character (code point 0 to 255) as one byte."""

    @property
    def is_opened(self) -> bool:
        """Whether the link is open."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

# ---- TR520 and its settings ----------------------------------------------------------------------

class TR520:
    """TR520 capture board (analog cameras)."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a TR520 cannot be hashed (it defines equality)."""
    lock_id: int
    """The lock id the board keeps with its images (LockId)."""
    num: int
    """Frames to capture after start(); 0 for no end."""

    @staticmethod
    @typing.overload
    def from_file(camerafile: str | bytes | bytearray | None) -> TR520:
        """A TR520 opened and set up from the camera file `camerafile`."""

    @staticmethod
    @typing.overload
    def from_file(camerafile: str | bytes | bytearray | None, id: int, ch: int) -> TR520:
        """A TR520 opened as board `id`, channel `ch`, and set up from `camerafile`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A TR520 that refers to no board yet."""

    @typing.overload
    def __init__(self, other: TR520, /) -> None:
        """A copy that refers to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    @typing.overload
    def abort(self) -> None:
        """Ends the capture at once."""

    @typing.overload
    def abort(self, option: int, /) -> None:
        """Ends the capture at once (`option`: how)."""

    def close(self) -> None:
        """Closes the board; a wait in progress ends."""

    def dispose(self) -> None:
        """Lets go of the board for good; is_valid tells what is left."""

    def force_trigger(self) -> None:
        """Triggers one frame when the board waits for a trigger."""

    @typing.overload
    def lock(self, image: pyzol.core.CxImage, option: int = 0) -> None:
        """Gives the board one image to capture into (it holds it until unlock)."""

    @typing.overload
    def lock(self, images: list[pyzol.core.CxImage] | list[pyzol.core.CxImage | None], option: int = 0) -> None:
        """Gives the board a ring of images to capture into (it holds them until unlock)."""

    def open(self, id: int, ch: int, /) -> None:
        """Opens channel `ch` of board number `id`."""

    @typing.overload
    def query_status(self) -> TxTR520CaptureStatus:
        """The capture status now."""

    @typing.overload
    def query_status(self, frame: int, /) -> TxTR520CaptureStatus:
        """The capture status now, with respect to frame `frame`."""

    def save(self, path: str | bytes | bytearray | None, /) -> None:
        """Writes the board's settings to the camera file `path`."""

    def save_w(self, path: str | None, /) -> None:
        """save() with the path handed to the library as wide characters."""

    def setup(self, camerafile: str | bytes | bytearray | None, /) -> None:
        """Applies the camera file `camerafile` to the open board."""

    def start(self) -> None:
        """Starts capturing into the locked images; `num` frames, or without end for 0."""

    def status(self) -> int:
        """The capture state: 0 idle, 1 running, 2 done, 3 aborted."""

    def stop(self) -> None:
        """Stops capturing."""

    def unlock(self) -> None:
        """Takes the images back from the board."""

    @typing.overload
    def validate(self, image: pyzol.core.CxImage, /) -> None:
        """Checks that `image` can take the board's frames."""

    @typing.overload
    def validate(self, images: list[pyzol.core.CxImage] | list[pyzol.core.CxImage | None], /) -> None:
        """Checks that every image of the list can take the board's frames."""

    def wait(self) -> None:
        """Blocks until the capture ends (the Timeout setting bounds the wait)."""

    @typing.overload
    def wait_status(self) -> TxTR520CaptureStatus:
        """Blocks until the capture ends and returns its status."""

    @typing.overload
    def wait_status(self, frame: int, /) -> TxTR520CaptureStatus:
        """Blocks until frame number `frame` is complete (or the capture ends); its status."""

    @property
    def is_opened(self) -> bool:
        """Whether the board is open."""

    @property
    def is_running(self) -> bool:
        """Whether the board is capturing."""

    @property
    def is_valid(self) -> bool:
        """Whether the object still refers to a usable board."""

class TR520Param:
    """Settings of a TR520 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a TR520Param cannot be hashed (it defines equality)."""
    controller: TR520 | None
    """The TR520 this belongs to, or None; assigning ties it to another."""
    exposure_time: int
    """Exposure time in µs (the frame period when there is no trigger cycle)."""
    trigger_mode: int
    """Trigger mode: 0 runs free, otherwise each frame waits for a trigger."""
    video_offset: int
    """Offset added to the video signal."""

    @staticmethod
    def from_(board: TR520 | None, /) -> TR520Param:
        """A new TR520Param that belongs to `board`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A TR520Param that belongs to no board yet; set its controller."""

    @typing.overload
    def __init__(self, other: TR520Param, /) -> None:
        """A copy that belongs to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def get_param(self, name: str, /) -> typing.Any:
        """The setting called `name`: an int, or a str for the text settings (bytes that are not UTF-8 as surrogates)."""

    def get_register(self, register: int, /) -> int:
        """The value of register number `register`."""

    def send_command(self, command: str, /) -> None:
        """Runs the command `command` (SelfCalibration)."""

    def set_param(self, name: str, value: typing.SupportsIndex | str | bytes | bytearray, /) -> None:
        """Sets the setting called `name` to `value` (an int, or a str for text)."""

    def set_register(self, register: int, value: int, /) -> None:
        """Writes `value` to register number `register`."""

    @property
    def is_valid(self) -> bool:
        """Whether the object is usable."""

# ---- Video: the board type its camera file names -------------------------------------------------

class Video:
    """Any capture board, chosen by its device type (the camera file says which)."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a Video cannot be hashed (it defines equality)."""
    device_type: pyzol.core.ExDevice
    """Which board this stands for."""
    exposure_time: int
    """Exposure time in µs (the frame period when there is no trigger cycle)."""
    trigger_cycle_time: int
    """Time between frames in µs; 0 for none."""
    trigger_mode: int
    """Trigger mode: 0 runs free, otherwise each frame waits for a trigger."""

    @staticmethod
    @typing.overload
    def from_file(camerafile: str | bytes | bytearray | None, option: int = -1) -> Video:
        """A Video opened and set up from the camera file `camerafile`."""

    @staticmethod
    @typing.overload
    def from_file(camerafile: str | bytes | bytearray | None, id: int, ch: int, option: int = -1) -> Video:
        """A Video opened as board `id`, channel `ch`, and set up from `camerafile`."""

    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same library object (the same board, channel, ...)."""

    @typing.overload
    def __init__(self) -> None:
        """A Video that refers to no board yet."""

    @typing.overload
    def __init__(self, other: Video, /) -> None:
        """A copy that refers to the same board."""

    def __ne__(self, other: object, /) -> bool:
        """Whether they refer to different library objects."""

    def abort(self) -> None:
        """Ends the capture at once."""

    def close(self) -> None:
        """Closes the board; a wait in progress ends."""

    def dispose(self) -> None:
        """Lets go of the board for good; is_valid tells what is left."""

    def force_trigger(self) -> None:
        """Triggers one frame when the device waits for a trigger."""

    def get_param(self, name: str, /) -> typing.Any:
        """The setting called `name`: an int, or a str for the text settings (bytes that are not UTF-8 as surrogates)."""

    @typing.overload
    def grab(self, image: pyzol.core.CxImage, /) -> None:
        """Captures one frame into `image`."""

    @typing.overload
    def grab(self, module: pyzol.core.IxModule | None, /) -> None:
        """Captures one frame into the images that the module `module` holds."""

    def save(self, path: str | bytes | bytearray | None, /) -> None:
        """Writes the board's settings to the camera file `path`."""

    def save_w(self, path: str | None, /) -> None:
        """save() with the path handed to the library as wide characters."""

    def send_command(self, command: str, /) -> None:
        """Runs the board command `command` (SelfCalibration, ClearTriggerMask, ResetPG, StopPG, ...PLLReconfig)."""

    def set_param(self, name: str, value: typing.SupportsIndex | str | bytes | bytearray, /) -> None:
        """Sets the setting called `name` to `value` (an int, or a str for text)."""

    @typing.overload
    def start(self, image: pyzol.core.CxImage, /) -> None:
        """Starts capturing into `image`."""

    @typing.overload
    def start(self, module: pyzol.core.IxModule | None, /) -> None:
        """Starts capturing into the images that the module `module` holds."""

    def status(self) -> int:
        """The capture state: 0 idle, 1 running, 2 done, 3 aborted."""

    @typing.overload
    def validate(self, image: pyzol.core.CxImage, /) -> None:
        """Checks that `image` can take the device's frames."""

    @typing.overload
    def validate(self, module: pyzol.core.IxModule | None, /) -> None:
        """Checks the images that the module `module` holds."""

    def wait(self) -> None:
        """Blocks until the next frame (the Timeout setting bounds the wait)."""

    @property
    def controller(self) -> typing.Any:
        """The module that controls this device (a board), or None."""

    @controller.setter
    def controller(self, value: pyzol.core.IxModule | None, /) -> None:
        ...

    @property
    def is_running(self) -> bool:
        """Whether the board is capturing."""

    @property
    def is_valid(self) -> bool:
        """Whether the object still refers to a usable board."""

# ---- capture and encoder status records ----------------------------------------------------------

class TxKX210CaptureStatus:
    """Capture status of a KX210 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a TxKX210CaptureStatus cannot be hashed (it defines equality)."""

    def __eq__(self, other: object, /) -> bool:
        """Whether every field of both records is equal."""

    @typing.overload
    def __init__(self) -> None:
        """A record of zeros."""

    @typing.overload
    def __init__(self, total_frame_count: int, amount_in_frame: int, last_frame_no: int, line_count: int, dma_schedule_peak: int, capture_event: int, /) -> None:
        """A record of these fields."""

    def __ne__(self, other: object, /) -> bool:
        """Whether some field differs."""

    @property
    def amount_in_frame(self) -> int:
        """Progress within the current frame, as the board reports it."""

    @property
    def capture_event(self) -> int:
        """Capture events as bits: 1 frame end, 2 capture end, 4 aborted."""

    @property
    def dma_schedule_peak(self) -> int:
        """Peak of the board's DMA schedule, as the board reports it."""

    @property
    def last_frame_no(self) -> int:
        """Number of the last frame captured."""

    @property
    def line_count(self) -> int:
        """Lines captured, as the board reports it."""

    @property
    def total_frame_count(self) -> int:
        """Frames captured in total since start()."""

class TxKX310CaptureStatus:
    """Capture status of a KX310 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a TxKX310CaptureStatus cannot be hashed (it defines equality)."""

    def __eq__(self, other: object, /) -> bool:
        """Whether every field of both records is equal."""

    @typing.overload
    def __init__(self) -> None:
        """A record of zeros."""

    @typing.overload
    def __init__(self, total_frame_count: int, amount_in_frame: int, last_frame_no: int, line_count: int, capture_state: int, /) -> None:
        """A record of these fields."""

    def __ne__(self, other: object, /) -> bool:
        """Whether some field differs."""

    @property
    def amount_in_frame(self) -> int:
        """Progress within the current frame, as the board reports it."""

    @property
    def capture_state(self) -> int:
        """The capture state: 0 idle, 1 running, 2 done, 3 aborted."""

    @property
    def last_frame_no(self) -> int:
        """Number of the last frame captured."""

    @property
    def line_count(self) -> int:
        """Lines captured, as the board reports it."""

    @property
    def total_frame_count(self) -> int:
        """Frames captured in total since start()."""

class TxKX310EncoderStatus:
    """Counters and input states of a KX310 encoder unit."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a TxKX310EncoderStatus cannot be hashed (it defines equality)."""

    def __eq__(self, other: object, /) -> bool:
        """Whether every field of both records is equal."""

    @typing.overload
    def __init__(self) -> None:
        """A record of zeros."""

    @typing.overload
    def __init__(self, is_abs_overflow: bool, is_abs_underflow: bool, a_state: int, b_state: int, z_state: int, encoder_state: int, encoder_counter: int, rel_counter: int, match_counter: int, /) -> None:
        """A record of these fields."""

    def __ne__(self, other: object, /) -> bool:
        """Whether some field differs."""

    @property
    def a_state(self) -> int:
        """State of encoder input A."""

    @property
    def b_state(self) -> int:
        """State of encoder input B."""

    @property
    def encoder_counter(self) -> int:
        """The encoder counter (signed)."""

    @property
    def encoder_state(self) -> int:
        """The unit's state code."""

    @property
    def is_abs_overflow(self) -> bool:
        """Whether the absolute counter overflowed."""

    @property
    def is_abs_underflow(self) -> bool:
        """Whether the absolute counter underflowed."""

    @property
    def match_counter(self) -> int:
        """Times the count matched the compare value."""

    @property
    def rel_counter(self) -> int:
        """The relative counter."""

    @property
    def z_state(self) -> int:
        """State of encoder input Z."""

class TxTR520CaptureStatus:
    """Capture status of a TR520 board."""
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    """None: a TxTR520CaptureStatus cannot be hashed (it defines equality)."""

    def __eq__(self, other: object, /) -> bool:
        """Whether every field of both records is equal."""

    @typing.overload
    def __init__(self) -> None:
        """A record of zeros."""

    @typing.overload
    def __init__(self, total_frame_count: int, amount_in_frame: int, last_frame_no: int, line_count: int, dma_schedule_peak: int, capture_event: int, /) -> None:
        """A record of these fields."""

    def __ne__(self, other: object, /) -> bool:
        """Whether some field differs."""

    @property
    def amount_in_frame(self) -> int:
        """Progress within the current frame, as the board reports it."""

    @property
    def capture_event(self) -> int:
        """Capture events as bits: 1 frame end, 2 capture end, 4 aborted."""

    @property
    def dma_schedule_peak(self) -> int:
        """Peak of the board's DMA schedule, as the board reports it."""

    @property
    def last_frame_no(self) -> int:
        """Number of the last frame captured."""

    @property
    def line_count(self) -> int:
        """Lines captured, as the board reports it."""

    @property
    def total_frame_count(self) -> int:
        """Frames captured in total since start()."""

# ---- the module's exception ----------------------------------------------------------------------

class Exception(builtins.Exception):
    """The library's exception type; failures reach Python as RuntimeError."""

# ---- functions over the interfaces of pyzol.core -------------------------------------------------

def abort(control: pyzol.core.IxVideoControl, /) -> None:
    """Ends the capture at once."""

def get_device_info(device: pyzol.core.ExDevice, item: str, answer: pyzol.core.TxItemValue | typing_extensions.CapsuleType | None, /) -> pyzol.core.ExStatus:
    """Writes the item `item` of the device type's information into `answer`."""

def get_device_module(settings: pyzol.core.IxDeviceModule, /) -> pyzol.core.IxModule:
    """The module behind a settings object."""

def get_register(registers: pyzol.core.IxRegister, register: int, /) -> int:
    """The value of register `register` of a settings object."""

def get_xml_item(file: str | bytes | bytearray | None, item: str, answer: pyzol.core.TxItemValue | typing_extensions.CapsuleType | None, /) -> pyzol.core.ExStatus:
    """Writes the item `item` of the XML file `file` into `answer`."""

def is_running(control: pyzol.core.IxVideoControl, /) -> bool:
    """Whether the board is capturing."""

@typing.overload
def read(dio: pyzol.core.IxDIO, /) -> int:
    """The input word of an I/O board."""

@typing.overload
def read(dio: pyzol.core.IxIndexedDIO, index: int, /) -> bool:
    """Whether input `index` of an I/O board is on."""

def set_register(registers: pyzol.core.IxRegister, register: int, value: int, /) -> None:
    """Writes `value` to register `register` of a settings object."""

def start(control: pyzol.core.IxVideoControl, /) -> None:
    """Starts capturing (a board's acquisition control)."""

def stop(control: pyzol.core.IxVideoControl, /) -> None:
    """Stops capturing."""

def wait(control: pyzol.core.IxVideoControl, /) -> None:
    """Blocks until the capture ends."""

@typing.overload
def write(dio: pyzol.core.IxDIO, word: int, /) -> None:
    """Sets the outputs of an I/O board to `word`."""

@typing.overload
def write(dio: pyzol.core.IxIndexedDIO, index: int, state: bool, /) -> None:
    """Turns output `index` on or off."""

@typing.overload
def write_status(dio: pyzol.core.IxDIO, /) -> int:
    """The output word of an I/O board."""

@typing.overload
def write_status(dio: pyzol.core.IxIndexedDIO, index: int, /) -> bool:
    """Whether output `index` is on."""
# ---- EventStatus members, also at module level ---------------------------------------------------

ABORT: EventStatus
"""EventStatus.ABORT"""
DI: EventStatus
"""EventStatus.DI"""
INT: EventStatus
"""EventStatus.INT"""
TIMEOUT: EventStatus
"""EventStatus.TIMEOUT"""
