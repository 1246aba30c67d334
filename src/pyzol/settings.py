"""A board's settings as a mapping: every name its settings object has, read, written, listed and
described from the same name tables ``pyzol.unit`` checks names against (``pyzol._tables``).

Names the table does not have in the direction asked, and values of the wrong kind, are refused
here, before anything is called on the library, with a ``SettingError`` that names what was
expected; what the library itself refuses comes back as the same typed errors."""

from __future__ import annotations

import logging
import operator
from collections.abc import Callable, Iterator, Mapping
from typing import Any, Literal, NamedTuple, Protocol, Union

from . import _tables, core
from .errors import SettingNameError, SettingValueError, ZolError, as_typed, did_you_mean

__all__ = ["SettingInfo", "Settings", "Value"]

Value = Union[int, str]
Kind = Literal["signed", "unsigned", "text", "command"]
Access = Literal["read", "write", "read-write"]

_log = logging.getLogger("pyzol")

_RANGES = {"signed": (-(2**31), 2**31 - 1), "unsigned": (0, 2**32 - 1)}


class SettingInfo(NamedTuple):
    """What a settings table says of a name: the kind of its value ("signed", "unsigned",
    "text", or "command" for a command), its access ("read", "write", "read-write") and the class
    whose table it is in ("KX210Param", ...)."""

    name: str
    kind: Kind
    access: Access
    table: str


class _ByName(Protocol):
    # What a settings object, an encoder unit and the video device have in common.
    def get_param(self, name: str, /) -> object: ...
    def set_param(self, name: str, value: Any, /) -> None: ...
    def send_command(self, name: str, /) -> None: ...


class _Closable(Protocol):
    closed: bool


class _NeverClosed:
    closed = False


_Directions = tuple[dict[str, str], dict[str, str], tuple[str, ...]]
_made: dict[str, _Directions] = {}


def _directions(table: str) -> _Directions:
    # The table's readable and writable names with their kinds, and its commands, in table
    # order: made once per table, shared (never changed) by every board's mapping.
    found = _made.get(table)
    if found is None:
        entries, commands = _tables.table(table)
        read = {name: kind for name, kind, _ in entries if kind}
        write = {name: kind for name, _, kind in entries if kind}
        found = _made[table] = (read, write, tuple(commands or ()))
    return found


class Settings(Mapping[str, Value]):
    """The settings of one board: ``settings["ExposureTime"]``, ``settings["ExposureTime"] =
    1200``, ``"Width" in settings``, iteration over the readable names in table order,
    ``describe(name)``, ``apply(mapping)``, ``snapshot()`` and ``send(command)``."""

    __slots__ = (
        "_target", "_table", "_read", "_write", "_commands", "_get", "_owner", "_state",
        "_closed_error",
    )  # fmt: skip

    def __init__(
        self, target: _ByName, table: str, owner: str = "", state: _Closable | None = None,
        closed_error: Callable[[], BaseException] | None = None,
    ) -> None:  # fmt: skip
        # `target` reads and writes by name; `table` names its table; `owner` says whose
        # settings they are in messages; while `state.closed`, every use raises `closed_error()`.
        self._target = target
        self._table = table
        self._read, self._write, self._commands = _directions(table)
        self._get = target.get_param
        self._owner = owner or table
        self._state = state if state is not None else _NeverClosed()
        self._closed_error = closed_error

    # ---- the mapping ---------------------------------------------------------------------------
    def __getitem__(self, name: str) -> Value:
        if name in self._read:
            if self._state.closed:
                raise self._closed()
            try:
                return self._get(name)  # type: ignore[return-value]
            except RuntimeError as error:
                raise as_typed(error) from error
        raise self._refused_name(name, writing=False)

    def __setitem__(self, name: str, value: Value) -> None:
        self._write_one(name, self._checked(name, value))

    def __contains__(self, name: object) -> bool:
        return name in self._read

    def __iter__(self) -> Iterator[str]:
        return iter(self._read)

    def __len__(self) -> int:
        return len(self._read)

    def __repr__(self) -> str:
        return f"<pyzol.Settings of {self._owner}: {len(self._read)} readable, " \
               f"{len(self._write)} writable, {len(self._commands)} commands>"  # fmt: skip

    # ---- beyond a mapping ----------------------------------------------------------------------
    @property
    def writable(self) -> tuple[str, ...]:
        """Every name that can be written, in table order."""
        return tuple(self._write)

    @property
    def commands(self) -> tuple[str, ...]:
        """Every command ``send`` accepts, in table order."""
        return self._commands

    def describe(self, name: str) -> SettingInfo:
        """The kind, access and table of setting or command `name`; ``SettingNameError`` for a
        name the table does not have."""
        read, write = self._read.get(name), self._write.get(name)
        if read or write:
            access: Access = "read-write" if read and write else "read" if read else "write"
            return SettingInfo(name, (read or write), access, self._table)  # type: ignore[arg-type]
        if name in self._commands:
            return SettingInfo(name, "command", "write", self._table)
        raise self._refused_name(name, writing=None)

    def apply(self, values: Mapping[str, Value]) -> None:
        """Writes every setting of `values`, in its order. Every name and value is checked
        before the first is written: a refusal there writes nothing."""
        checked = [(name, self._checked(name, value)) for name, value in values.items()]
        for name, value in checked:
            self._write_one(name, value)

    def snapshot(self) -> dict[str, Value]:
        """Every readable setting and its value now, in table order."""
        return {name: self[name] for name in self._read}

    def send(self, command: str) -> None:
        """Sends `command` (one of ``commands``) to the board."""
        if command not in self._commands:
            raise self._refused_command(command)
        if self._state.closed:
            raise self._closed()
        _log.debug("%s: command %s", self._owner, command)
        try:
            self._target.send_command(command)
        except RuntimeError as error:
            raise as_typed(error) from error

    # ---- refusals ------------------------------------------------------------------------------
    def _closed(self) -> BaseException:
        if self._closed_error is not None:
            return self._closed_error()
        return ZolError(f"{self._owner} is closed", core.ExStatus.NotOpened)

    def _checked(self, name: str, value: object) -> Value:
        kind = self._write.get(name) if isinstance(name, str) else None
        if kind is None:
            raise self._refused_name(name, writing=True)
        if kind == "text":
            if isinstance(value, (str, bytes)):
                return value  # type: ignore[return-value]
            raise SettingValueError(
                f"{self._table} setting {name!r} takes a str, not {type(value).__name__}"
            )
        try:
            number = operator.index(value)  # type: ignore[arg-type]
        except TypeError:
            raise SettingValueError(
                f"{self._table} setting {name!r} takes an int ({kind}), not {type(value).__name__}"
            ) from None
        low, high = _RANGES[kind]
        if not low <= number <= high:
            raise SettingValueError(
                f"{self._table} setting {name!r} takes a {kind} 32-bit int, {low} to {high}: "
                f"{number} is out of range"
            )
        return number

    def _write_one(self, name: str, value: Value) -> None:
        if self._state.closed:
            raise self._closed()
        _log.debug("%s: %s = %r", self._owner, name, value)
        try:
            self._target.set_param(name, value)
        except RuntimeError as error:
            raise as_typed(error, SettingValueError) from error

    def _refused_name(self, name: object, writing: bool | None) -> ZolError:
        if not isinstance(name, str):
            return SettingNameError(f"a setting name is a str, not {type(name).__name__}")
        direction = {False: "readable ", True: "writable ", None: ""}[writing]
        message = f"{self._table} has no {direction}setting {name!r}"
        if writing is False and name in self._write:
            message = f"{self._table} setting {name!r} is write-only"
        elif writing is True and name in self._read:
            message = f"{self._table} setting {name!r} is read-only"
        else:
            names = list(self._read) + [n for n in self._write if n not in self._read]
            message += did_you_mean(name, names)
        return SettingNameError(message, core.ExStatus.UnknownParam)

    def _refused_command(self, command: object) -> ZolError:
        if not isinstance(command, str):
            return SettingNameError(f"a command name is a str, not {type(command).__name__}")
        if not self._commands:
            message = f"{self._table} takes no command ({command!r} was sent)"
        else:
            message = f"{self._table} has no command {command!r}"
            message += did_you_mean(command, list(self._commands))
        return SettingNameError(message, core.ExStatus.UnknownCommand)
