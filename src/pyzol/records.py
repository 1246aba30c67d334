"""The library's status records as values: immutable, printable, comparable, picklable named
tuples, made from the exact module's records by `value_of`."""

from __future__ import annotations

from typing import Any, NamedTuple, Union

from . import unit

__all__ = [
    "CaptureStatus", "KX210CaptureStatus", "KX310CaptureStatus", "KX310EncoderStatus",
    "TR520CaptureStatus", "FrameRecord", "TriggerCounts", "WaitStatus", "frame_record",
    "trigger_counts",
    "value_of", "wait_value",
]  # fmt: skip


class KX210CaptureStatus(NamedTuple):
    """Capture status of a KX210 board."""

    total_frame_count: int
    amount_in_frame: int
    last_frame_no: int
    line_count: int
    dma_schedule_peak: int
    capture_event: int


class TR520CaptureStatus(NamedTuple):
    """Capture status of a TR520 board."""

    total_frame_count: int
    amount_in_frame: int
    last_frame_no: int
    line_count: int
    dma_schedule_peak: int
    capture_event: int


class KX310CaptureStatus(NamedTuple):
    """Capture status of a KX310 board."""

    total_frame_count: int
    amount_in_frame: int
    last_frame_no: int
    line_count: int
    capture_state: int


class KX310EncoderStatus(NamedTuple):
    """Counters and input states of a KX310 encoder unit."""

    is_abs_overflow: bool
    is_abs_underflow: bool
    a_state: int
    b_state: int
    z_state: int
    encoder_state: int
    encoder_counter: int
    rel_counter: int
    match_counter: int


class WaitStatus(NamedTuple):
    """What ended a wait of an I/O board: the event, the inputs whose enabled edge occurred (a
    word) and the input word then."""

    event: unit.EventStatus
    di_event_status: int
    di: int


class TriggerCounts(NamedTuple):
    """The triggers of a capture run: every trigger edge the board received (`detected`), those
    that made a frame or will (`taken`), and those it missed because they came while it was
    still exposing or inside its mask time (`missed`)."""

    detected: int
    taken: int
    missed: int


class FrameRecord(NamedTuple):
    """What the board recorded of one frame: the number of the trigger that made it (from 1 at
    the start of the run; 0 for a free-running frame), when its exposure began (`start_ns`, on
    the clock of `time.monotonic_ns`) and the lines that arrived."""

    trigger: int
    start_ns: int
    lines: int


CaptureStatus = Union[KX210CaptureStatus, KX310CaptureStatus, TR520CaptureStatus]

_VALUES: dict[type, Any] = {
    unit.TxKX210CaptureStatus: KX210CaptureStatus,
    unit.TxKX310CaptureStatus: KX310CaptureStatus,
    unit.TxTR520CaptureStatus: TR520CaptureStatus,
    unit.TxKX310EncoderStatus: KX310EncoderStatus,
}


def value_of(record: object) -> Any:
    """The value of one of the library's status records (``unit.TxKX210CaptureStatus``, ...):
    the named tuple of the same fields. TypeError for anything else."""
    for cls in type(record).__mro__:
        value = _VALUES.get(cls)
        if value is not None:
            return value._make([getattr(record, field) for field in value._fields])
    raise TypeError(f"not a status record of the library: {type(record).__name__}")


def wait_value(result: object, board: Any) -> WaitStatus:
    """The value of what an I/O board's wait returned: an RM1600 or DQ160 wait record, or the
    MB100's bare event code (its inputs then read from `board`, with no edge word)."""
    if isinstance(result, int):
        return WaitStatus(unit.EventStatus(result), 0, board.read())
    return WaitStatus(
        unit.EventStatus(result.event_status),  # type: ignore[attr-defined]
        result.di_event_status,  # type: ignore[attr-defined]
        result.di,  # type: ignore[attr-defined]
    )


# The stand-in's control module, where the library is the stand-in (it records what a run's
# triggers did and which trigger made each frame); False where the maker's library is used, which
# has no way to tell. Imported at the first question, not with pyzol.
_rack: Any = None


def _simulated_rack() -> Any:
    global _rack
    if _rack is None:
        try:
            from . import sim
        except ImportError:
            _rack = False
        else:
            _rack = sim
    return _rack or None


def trigger_counts(board: object) -> TriggerCounts | None:
    """The triggers of the capture board's current (or last) run; None where the library cannot
    tell."""
    rack = _simulated_rack()
    if rack is None:
        return None
    counts = rack.triggers(board)
    return TriggerCounts(counts.detected, counts.taken, counts.missed)


def frame_record(board: object, frame: int) -> FrameRecord | None:
    """What the capture board recorded of frame `frame` of its current run; None where the
    library cannot tell or no longer knows."""
    rack = _simulated_rack()
    info = None if rack is None else rack.frame_info(board, frame)
    return None if info is None else FrameRecord(info.trigger, info.start_ns, info.lines)
