"""The front door: the boards there are (`devices`), and boards opened as Python objects
(`open`): context managers with a readable repr, their settings as a mapping, records as values
and typed errors. Each keeps the exact ``pyzol.unit`` object at ``.unit`` for everything else."""

from __future__ import annotations

import logging
import operator
import os
from collections.abc import Sequence
from typing import TYPE_CHECKING, Any, Literal, NamedTuple, Self, Union, overload

from . import core, records, unit
from .boards import CaptureBoard
from .errors import DeviceNotFound, DeviceTimeout, ZolError, as_typed, did_you_mean, translated
from .settings import Settings

if TYPE_CHECKING:
    from types import TracebackType

    from .recorder import Recorder
    from .stream import Frames

__all__ = [
    "CAMERA_KINDS", "IO_KINDS", "Camera", "DeviceInfo", "Encoder", "IOBoard", "devices", "open",
]  # fmt: skip

CameraKind = Literal["KX210", "KX310", "TR520", "Video"]
IOKind = Literal["MB100", "RM1600", "DQ160"]

# The kinds open() takes, each with its class, its settings class and (capture boards) device
# type, in the order devices() lists them.
_CAPTURE: dict[str, tuple[Any, Any, core.ExDevice]] = {
    "KX210": (unit.KX210, unit.KX210Param, core.ExDevice.KX210),
    "KX310": (unit.KX310, unit.KX310Param, core.ExDevice.KX310),
    "TR520": (unit.TR520, unit.TR520Param, core.ExDevice.TR520),
}
_IO: dict[str, tuple[Any, Any]] = {
    "MB100": (unit.MB100, unit.MB100Param),
    "RM1600": (unit.RM1600, unit.RM1600Param),
    "DQ160": (unit.DQ160, unit.DQ160Param),
}
CAMERA_KINDS: tuple[str, ...] = (*_CAPTURE, "Video")
IO_KINDS: tuple[str, ...] = tuple(_IO)
_MAX_IO_IDS = 16  # ids probed for I/O boards, which the library does not count

_log = logging.getLogger("pyzol")
if not _log.handlers:
    _log.addHandler(logging.NullHandler())


class DeviceInfo(NamedTuple):
    """A board of the rack as the library reports it: its kind ("KX210", ..., "MB100", ...), id,
    channels (0 for an I/O board), and where the library says them, its serial number and the
    driver's and FPGA's versions (None where it does not)."""

    kind: str
    id: int
    channels: int
    serial_number: str | None
    driver_version: str | None
    fpga_version: str | None


# ---- enumeration -----------------------------------------------------------------------------
def devices() -> list[DeviceInfo]:
    """Every board there is: the capture boards as their device information reports them, then
    the I/O boards, found by opening each id with a handle of its own and letting go of it
    (dispose, not close: a board another handle has open stays open, its events untouched)."""
    found: list[DeviceInfo] = []
    for kind, (_, _, device) in _CAPTURE.items():
        count = _device_item(device, "BoardCount")
        channels = _device_item(device, "ChannelCount")
        if not isinstance(count, int) or not isinstance(channels, int):
            continue
        serial = _text(_device_item(device, "SerialNumber"))
        driver = _version(_device_item(device, "DriverVersion"))
        fpga = _version(_device_item(device, "FpgaVersion"))
        found += [DeviceInfo(kind, i, channels, serial, driver, fpga) for i in range(count)]
    for kind, (cls, param_cls) in _IO.items():
        for ident in range(_MAX_IO_IDS):
            board = cls()
            try:
                board.open(ident)
            except RuntimeError as error:
                board.dispose()
                typed = as_typed(error)
                if isinstance(typed, DeviceNotFound):  # past the last board of the kind
                    break
                raise typed from error
            try:
                param = param_cls.from_(board)
                driver = _version(_read_setting(param, "DriverVersion"))
                fpga = _version(_read_setting(param, "FpgaVersion"))
            finally:
                board.dispose()
            found.append(DeviceInfo(kind, ident, 0, None, driver, fpga))
    return found


def _device_item(device: core.ExDevice, item: str) -> int | str | None:
    answer = core.TxItemValue()
    status = unit.get_device_info(device, item, answer)
    if status != core.ExStatus.Ok:
        return None
    try:
        return int(answer)
    except TypeError:
        return str(answer)


def _read_setting(param: Any, name: str) -> int | str | None:
    try:
        return param.get_param(name)  # type: ignore[no-any-return]
    except RuntimeError:
        return None  # not in this board's table


def _text(value: int | str | None) -> str | None:
    return None if value is None else str(value)


def _version(value: int | str | None) -> str | None:
    # A number is 0xMMmm or 0xMMmmpp, a digit a part; a text is the version already.
    if value is None or isinstance(value, str):
        return value
    if value > 0xFFFF:
        return f"{value >> 16:x}.{value >> 8 & 0xFF:x}.{value & 0xFF:x}"
    return f"{value >> 8:x}.{value & 0xFF:x}"


# ---- opening -----------------------------------------------------------------------------------
@overload
def open(
    kind: CameraKind, id: int = 0, ch: int = 0, *, camera: str | os.PathLike[str] | None = None
) -> Camera: ...
@overload
def open(
    kind: IOKind, id: int = 0, ch: int = 0, *, camera: str | os.PathLike[str] | None = None
) -> IOBoard: ...
def open(
    kind: str, id: int = 0, ch: int = 0, *, camera: str | os.PathLike[str] | None = None
) -> Camera | IOBoard:
    """Opens board `id` of `kind` (channel `ch` of a capture board; set up from the camera file
    `camera` when given; a "Video" device needs one, as the file says which board it is).
    ``DeviceNotFound`` for a kind, id or channel the rack does not have, before anything is
    opened."""
    if not isinstance(kind, str):
        raise TypeError(f"kind is a str such as 'KX210', not {type(kind).__name__}")
    ident, channel = _index(id, "id"), _index(ch, "ch")
    path = None if camera is None else os.fspath(camera)
    if kind in _IO:
        if channel != 0:
            raise DeviceNotFound(f"{kind} boards have no channels (ch={channel}); give ch=0")
        if path is not None:
            raise TypeError(f"{kind} boards take no camera file")
        return IOBoard(kind, ident)  # type: ignore[arg-type]
    if kind == "Video":
        if path is None:
            raise TypeError("a Video device needs camera=: its camera file says which board")
        return Camera("Video", ident, channel, path)
    if kind not in _CAPTURE:
        raise DeviceNotFound(_unknown_kind(kind))
    device = _CAPTURE[kind][2]
    count, channels = _device_item(device, "BoardCount"), _device_item(device, "ChannelCount")
    if isinstance(count, int) and not 0 <= ident < count:
        raise DeviceNotFound(f"no {kind} board {ident}: the rack has {_ids(count)}")
    if isinstance(channels, int) and not 0 <= channel < channels:
        raise DeviceNotFound(f"a {kind} board has no channel {channel}: it has {_ids(channels)}")
    return Camera(kind, ident, channel, path)  # type: ignore[arg-type]


def _index(value: object, what: str) -> int:
    if isinstance(value, bool) or not hasattr(value, "__index__"):
        raise TypeError(f"{what} is an int, not {type(value).__name__}")
    number = operator.index(value)
    if number < 0:
        raise DeviceNotFound(f"{what} {number} is negative: boards and channels count from 0")
    return number


def _ids(count: int) -> str:
    return "none" if count == 0 else f"0 to {count - 1}" if count > 1 else "0 only"


def _unknown_kind(kind: str) -> str:
    kinds = [*CAMERA_KINDS, *IO_KINDS]
    message = f"no board kind {kind!r}; the kinds are {', '.join(kinds)}"
    return message + did_you_mean(kind, kinds, n=1, cutoff=0.5)


# ---- board objects -----------------------------------------------------------------------------
class _Openness:
    """Whether a board object was closed, shared with its settings mapping, which refuses a
    closed board's settings before calling the library."""

    __slots__ = ("closed",)

    def __init__(self) -> None:
        self.closed = False


class _Board:
    """What the cameras and the I/O boards share: the exact object, state, `with`, repr."""

    unit: Any
    kind: str
    id: int
    _settings: Settings | None
    _state_of: _Openness

    def __enter__(self) -> Self:
        return self

    def __exit__(
        self, kind: type[BaseException] | None, error: BaseException | None,
        traceback: TracebackType | None,
    ) -> None:  # fmt: skip
        self.close()

    @property
    def closed(self) -> bool:
        """Whether the board is closed (by `close`, the end of a ``with`` block, or on its
        ``.unit`` object)."""
        if self._state_of.closed or not self.unit.is_valid:
            return True
        opened = getattr(self.unit, "is_opened", None)  # a Video device does not say
        return opened is False

    def close(self) -> None:
        """Closes the board; closing a closed board does nothing."""
        if self._state_of.closed:
            return
        if self.unit.is_valid:
            with translated():
                self._stop_for_close()
                self.unit.close()
        self._state_of.closed = True
        _log.debug("closed %s", self._name())

    def _stop_for_close(self) -> None:
        pass

    def _check_open(self) -> None:
        if self.closed:
            raise self._closed_error()

    def _closed_error(self) -> ZolError:
        return ZolError(f"{self._name()} is closed: open it again with pyzol.open",
                        core.ExStatus.NotOpened)  # fmt: skip

    @property
    def settings(self) -> Settings:
        """The board's settings, by name (see ``pyzol.Settings``)."""
        if self._settings is None:
            self._settings = self._make_settings()
        return self._settings

    def _make_settings(self) -> Settings:
        raise NotImplementedError

    def _name(self) -> str:
        return f"{self.kind} {self.id}"

    def _state(self) -> str:
        return "closed" if self.closed else "open"

    def __repr__(self) -> str:
        return f"<pyzol.{type(self).__name__} {self._name()} {self._state()}>"


class Camera(_Board):
    """A capture board (KX210, KX310, TR520) or a Video device, opened by ``pyzol.open``."""

    unit: unit.KX210 | unit.KX310 | unit.TR520 | unit.Video
    """The exact board object, for everything the front door does not offer."""
    kind: CameraKind
    """"KX210", "KX310", "TR520" or "Video"."""
    id: int
    """The board's number."""
    channel: int
    """The board's channel."""

    def __init__(self, kind: CameraKind, id: int, ch: int, camera: str | None = None) -> None:
        self.kind, self.id, self.channel = kind, id, ch
        self._settings = None
        self._encoder: Encoder | None = None
        self._state_of = _Openness()
        with translated():
            if kind == "Video":
                self.unit = unit.Video.from_file(camera, id, ch)
            elif camera is not None:
                self.unit = _CAPTURE[kind][0].from_file(camera, id, ch)
            else:
                board = _CAPTURE[kind][0]()
                board.open(id, ch)
                self.unit = board
        _log.debug("opened %s%s", self._name(), f" with {camera}" if camera else "")

    def _name(self) -> str:
        return f"{self.kind} {self.id}/{self.channel}"

    def _state(self) -> str:
        if self.closed:
            return "closed"
        return "running" if self.unit.is_running else "stopped"

    def _board(self, what: str) -> CaptureBoard:
        # The capture board, open; a Video device has no ring, status record or camera file of
        # its own to offer.
        if isinstance(self.unit, unit.Video):
            raise TypeError(f"{what} needs a capture board (KX210, KX310, TR520), not a Video "
                            "device: use its .unit (grab, start(image))")  # fmt: skip
        self._check_open()
        return self.unit

    def _make_settings(self) -> Settings:
        if isinstance(self.unit, unit.Video):
            table = self.unit.device_type.name + "Param"
            target: Any = self.unit
        else:
            table, target = self.kind + "Param", _CAPTURE[self.kind][1].from_(self.unit)
        return Settings(target, table, self._name(), self._state_of, self._closed_error)

    def _stop_for_close(self) -> None:
        if not isinstance(self.unit, unit.Video) and self.unit.is_opened and self.unit.is_running:
            self.unit.stop()

    # ---- capture -------------------------------------------------------------------------------
    def frames(self, ring: int | Sequence[core.CxImage] = 8, count: int | None = None) -> Frames:
        """Frames as they arrive (``pyzol.frames`` on this board)."""
        from .stream import frames

        return frames(self._board("frames()"), ring, count)

    def record(
        self, path: str | os.PathLike[str], count: int | None = None,
        ring: int | Sequence[core.CxImage] = 8, *, pool: int | None = None,
        bigtiff: bool | None = None,
    ) -> Recorder:  # fmt: skip
        """Records every frame into the file `path` (``pyzol.record`` on this board)."""
        from .recorder import record

        board = self._board("record()")
        return record(board, path, count, ring, pool=pool, bigtiff=bigtiff)

    def start(self) -> None:
        """Starts capturing (into the images locked on ``.unit``)."""
        board = self._board("start()")
        with translated():
            board.start()
        _log.debug("started %s", self._name())

    def stop(self) -> None:
        """Stops capturing."""
        board = self._board("stop()")
        with translated():
            board.stop()
        _log.debug("stopped %s", self._name())

    def wait(self) -> None:
        """Blocks until the next frame (Ctrl-C ends the wait); ``DeviceTimeout`` when the board's
        time-out runs out first."""
        self._check_open()
        with translated():
            self.unit.wait()

    def status(self) -> records.CaptureStatus:
        """The board's capture status now, as a value."""
        board = self._board("status()")
        try:
            return records.value_of(board.query_status())  # type: ignore[no-any-return]
        except RuntimeError as error:
            raise as_typed(error) from error

    def triggers(self) -> records.TriggerCounts | None:
        """The triggers of the board's current (or last) capture run: detected, taken and missed
        (those that came while the board was still exposing or inside its mask time); None where
        the library cannot tell."""
        board = self._board("triggers()")
        with translated():
            return records.trigger_counts(board)

    def setup(self, camera: str | os.PathLike[str]) -> None:
        """Sets the board up from the camera file `camera`."""
        board = self._board("setup()")
        with translated():
            board.setup(os.fspath(camera))
        _log.debug("set up %s from %s", self._name(), camera)

    @property
    def encoder(self) -> Encoder:
        """The board's encoder unit (KX210 and KX310), with its settings by name and status."""
        board = self._board("encoder")
        if self._encoder is None:
            if isinstance(board, unit.KX210):
                self._encoder = Encoder(unit.KX210Encoder.from_(board), "KX210Encoder", self)
            elif isinstance(board, unit.KX310):
                self._encoder = Encoder(unit.KX310Encoder.from_(board), "KX310Encoder", self)
            else:
                raise TypeError(
                    f"a {self.kind} board has no encoder unit (the KX210 and KX310 have)"
                )
        return self._encoder

    def save(self, path: str | os.PathLike[str]) -> None:
        """Writes the board's settings into the camera file `path`."""
        self._check_open()
        with translated():
            self.unit.save(os.fspath(path))


_EncoderUnit = Union[unit.KX210Encoder, unit.KX310Encoder]


class Encoder:
    """The encoder unit of a camera's board (``Camera.encoder``): its settings by name, its
    status as a value (KX310), and the exact object at ``.unit``."""

    unit: unit.KX210Encoder | unit.KX310Encoder
    """The exact encoder object."""
    settings: Settings
    """The unit's settings by name (``EncoderMode``, ``ENCComp1``, ...)."""

    def __init__(self, encoder: _EncoderUnit, table: str, camera: Camera) -> None:
        self.unit = encoder
        self._camera = camera
        self.settings = Settings(encoder, table, f"{camera._name()} encoder", camera._state_of,
                                 camera._closed_error)  # fmt: skip

    def status(self) -> records.KX310EncoderStatus:
        """The counters and input states now, as a value (the KX310's encoder reports them in
        one record)."""
        if not isinstance(self.unit, unit.KX310Encoder):
            raise TypeError("a KX210's encoder reports no status record; read its counters")
        self._camera._check_open()
        record = unit.TxKX310EncoderStatus()
        with translated():
            self.unit.encoder_status(record)
        return records.value_of(record)  # type: ignore[no-any-return]

    def __repr__(self) -> str:
        return f"<pyzol.Encoder of {self._camera._name()}>"


class IOBoard(_Board):
    """A digital-I/O board (MB100, RM1600, DQ160), opened by ``pyzol.open``."""

    unit: unit.MB100 | unit.RM1600 | unit.DQ160
    """The exact board object, for everything the front door does not offer."""
    kind: IOKind
    """"MB100", "RM1600" or "DQ160"."""
    id: int
    """The board's number."""

    def __init__(self, kind: IOKind, id: int) -> None:
        self.kind, self.id = kind, id
        self._settings = None
        self._state_of = _Openness()
        board = _IO[kind][0]()
        try:
            board.open(id)
        except RuntimeError as error:
            board.dispose()
            typed = as_typed(error)
            if isinstance(typed, DeviceNotFound):
                typed = DeviceNotFound(f"no {kind} board {id}", typed.code, typed.function,
                                       typed.file, typed.line)  # fmt: skip
            raise typed from error
        self.unit = board
        _log.debug("opened %s", self._name())

    def _make_settings(self) -> Settings:
        return Settings(_IO[self.kind][1].from_(self.unit), self.kind + "Param", self._name(),
                        self._state_of, self._closed_error)  # fmt: skip

    @property
    def inputs(self) -> int:
        """The input word: bit i is input i."""
        self._check_open()
        with translated():
            return self.unit.read()

    @property
    def outputs(self) -> int:
        """The output word as last written; assigning writes every output."""
        self._check_open()
        with translated():
            return self.unit.write_status()

    @outputs.setter
    def outputs(self, word: int) -> None:
        self._check_open()
        with translated():
            self.unit.write(word)

    def write(self, bit: int, state: bool) -> None:
        """Turns output `bit` on or off."""
        self._check_open()
        with translated():
            self.unit.write(bit, state)

    def wait(self, timeout: int | None = None) -> records.WaitStatus:
        """Blocks until an event of the board (an interrupt, an enabled input edge, or an abort
        from another thread) and gives what ended the wait; `timeout` in ms sets the board's
        time-out first. ``DeviceTimeout`` when it runs out."""
        self._check_open()
        if timeout is not None:
            self.settings["Timeout"] = timeout
        with translated():
            result = self.unit.wait()
        status = records.wait_value(result, self.unit)
        if status.event == unit.EventStatus.TIMEOUT:
            raise DeviceTimeout(f"{self._name()}: no event within the time-out",
                                core.ExStatus.Timeout)  # fmt: skip
        return status

    def abort(self) -> None:
        """Ends a `wait` in progress on another thread; it reports ABORT."""
        self._check_open()
        with translated():
            self.unit.abort()


Board = Union[Camera, IOBoard]
