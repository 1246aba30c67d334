"""Typed errors of the package's board objects, and a typed view of the exact module's errors.

``pyzol.unit`` raises the library's failures as plain ``RuntimeError`` (text
``Code:STATUS Line:LINE Function:FUNCTION File:FILE``, the four values as attributes). The board
objects of ``pyzol.open`` raise a ``ZolError`` instead, of the subclass a script catches, with the
exact module's error as its ``__cause__`` and the same text and notes.
"""

from __future__ import annotations

from collections.abc import Iterator
from contextlib import contextmanager

from . import core

__all__ = [
    "DeviceNotFound", "DeviceTimeout", "SettingError", "SettingNameError", "SettingValueError",
    "ZolError", "as_typed", "error_info", "translated",
]  # fmt: skip

# Statuses of each subclass; every other status is a plain ZolError.
_NOT_FOUND = {int(core.ExStatus.NoDevice)}
_TIMEOUT = {int(core.ExStatus.Timeout)}
_SETTING = {
    int(core.ExStatus.UnknownParam), int(core.ExStatus.ParamKind), int(core.ExStatus.ReadOnly),
    int(core.ExStatus.UnknownCommand),
}  # fmt: skip


class ZolError(RuntimeError):
    """A failure of the device library, or a refusal of the package's board objects.

    ``status`` is the library's status (an ``ExStatus``, or the bare int for a status the
    enumeration does not name), ``code`` the same as an int; ``function``, ``file`` and ``line``
    say where it was raised ("" and 0 for a refusal made in Python, before the library was
    called)."""

    status: core.ExStatus | int
    code: int
    function: str
    file: str
    line: int

    def __init__(
        self, message: str, status: core.ExStatus | int = core.ExStatus.Failed,
        function: str = "", file: str = "", line: int = 0,
    ) -> None:  # fmt: skip
        super().__init__(message)
        self.code = int(status)
        self.status = _status(self.code)
        self.function = function
        self.file = file
        self.line = line


class DeviceNotFound(ZolError):
    """No such board, or no such channel on it."""


class DeviceTimeout(ZolError, TimeoutError):
    """A wait ran out of time. Also a ``TimeoutError``."""


class SettingError(ZolError):
    """A setting or command refused: a name the table does not have in that direction (unknown,
    read-only or write-only), or a value refused (then also a ``ValueError``)."""


class SettingNameError(SettingError, KeyError):
    """A name the settings table does not have (in the direction asked). Also a ``KeyError``, as
    a mapping raises for a key it lacks."""

    def __str__(self) -> str:  # KeyError would show the message quoted
        return str(self.args[0]) if self.args else ""


class SettingValueError(SettingError, ValueError):
    """A value refused for a setting: of the wrong kind, or out of what the board takes. Also a
    ``ValueError``."""


_NAMED = {int(member): member for member in core.ExStatus.__members__.values()}


def _status(code: int) -> core.ExStatus | int:
    return _NAMED.get(code, code)


def _class_of(code: int) -> type[ZolError]:
    if code in _NOT_FOUND:
        return DeviceNotFound
    if code in _TIMEOUT:
        return DeviceTimeout
    if code in _SETTING:
        return SettingError
    return ZolError


def error_info(error: BaseException) -> ZolError | None:
    """The typed view of an error raised by ``pyzol.unit``: a ``ZolError`` of the subclass its
    status gives, with the same text, status, function, file, line and notes, and `error` as its
    cause. None for an error that is not the library's (a conversion error has no status)."""
    if isinstance(error, ZolError):
        return error
    if not isinstance(error, RuntimeError):
        return None
    status = getattr(error, "status", None)
    if status is None:
        return None
    code = int(status)
    return _as_class(_class_of(code), code, error, error)


def _as_class(
    cls: type[ZolError], code: int, source: BaseException, cause: BaseException
) -> ZolError:
    # An error of class `cls` and status `code` with the text, place and notes of `source`.
    typed = cls(
        str(source), code, getattr(source, "function", ""), getattr(source, "file", ""),
        getattr(source, "line", 0),
    )  # fmt: skip
    for note in getattr(source, "__notes__", ()):
        typed.add_note(note)
    typed.__cause__ = cause
    return typed


def did_you_mean(name: str, names: list[str], n: int = 3, cutoff: float = 0.6) -> str:
    """ "; did you mean 'A' or 'B'?" for the names of `names` close to `name` (the same name in
    other capitals first), or "" when none is. Only refusals come here."""
    import difflib

    close = [each for each in names if each.lower() == name.lower()]
    close = close or difflib.get_close_matches(name, names, n=n, cutoff=cutoff)
    return "; did you mean " + " or ".join(repr(each) for each in close) + "?" if close else ""


# Statuses of a library refusal that are about a value written, not a name.
_VALUE = {int(core.ExStatus.InvalidArgument), int(core.ExStatus.ParamKind)}


def as_typed(error: RuntimeError, value_class: type[ZolError] | None = None) -> BaseException:
    """The typed view of `error` (see error_info), or `error` itself when it is not the
    library's; a refusal of a value (InvalidArgument, ParamKind) as `value_class` when given."""
    typed = error_info(error)
    if typed is None:
        return error
    if value_class is not None and typed.code in _VALUE and not isinstance(typed, value_class):
        return _as_class(value_class, typed.code, typed, error)
    return typed


@contextmanager
def translated() -> Iterator[None]:
    """Raises the typed view of a library error raised inside the block, chained to it. Every
    other error goes on as it is."""
    try:
        yield
    except RuntimeError as error:
        typed = as_typed(error)
        if typed is error:
            raise
        raise typed from error
