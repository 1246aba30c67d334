"""pytest plugin for the tests of scripts that drive the simulated rack.

Installing pyzol registers it with pytest (entry point ``pytest11``, name ``pyzol``), so a
project's tests need no ``conftest.py`` for it: they ask for the fixtures by name.

- ``zol_rack``: a fresh simulated rack with the journal on; gives a `Rack`.
- ``zol_journal``: the journal on and cleared; gives a `Journal` of the test's library calls.
- `failing`: a block in which an operation of the library fails, as a board would.
- `unplugged`: a block in which a board is out of the rack, as if its cable were pulled.
- `camera_silent`: a block in which the camera of a board channel sends nothing.
- ``@pytest.mark.zol_sim``: the test runs only where pyzol has its simulated library
  (``pyzol.sim``); a build against the maker's library skips it, as it skips the fixtures.

pytest loads the plugin in every run, so this module imports neither ``pyzol.sim`` nor numpy:
the fixtures and helpers import ``pyzol.sim`` when they are used.
"""

from __future__ import annotations

import importlib
from collections.abc import Iterator
from typing import Literal

import pytest

__all__ = [
    "CameraSilent", "Fault", "Journal", "Rack", "Unplugged", "camera_silent", "failing",
    "unplugged",
]  # fmt: skip

_MARKER = "zol_sim"  # skips a test where pyzol.sim is missing


def _require_sim() -> None:
    """Skips the running test when ``pyzol.sim`` is missing. Imported by name, not as an
    attribute of the package, so that a test can hide it (``sys.modules["pyzol.sim"] = None``)."""
    try:
        importlib.import_module("pyzol.sim")
    except ImportError:
        pytest.skip("needs pyzol.sim: this pyzol is built against the maker's library")


def _check_operation(op: str) -> None:
    """Refuses with ValueError an operation the library does not have: a filter on a misspelt
    name would match nothing, and a test asserting that nothing matched would pass for nothing."""
    from pyzol import sim

    if op not in sim.operations():
        raise ValueError(
            f"no operation {op!r} in the simulated library (names are 'Class::Operation', as in "
            "'CxMB100::Open'; sim.operations() lists them)"
        )


def _name(entry: str) -> str:
    """The operation of a journal entry: "CxMB100::Write" of "CxMB100::Write(5)"."""
    return entry.partition("(")[0]


class Journal:
    """The library calls recorded from a point of the journal on (where it was made, or last
    restarted), oldest first. Entries read as in ``pyzol.sim.journal()``:
    ``"Class::Operation(arguments)"``, e.g. ``"CxMB100::Write(5)"``. A clear or a reset of the
    journal meanwhile does not move the point."""

    __slots__ = ("_start",)

    def __init__(self) -> None:
        """A journal of the calls from now on (the journal must be on to record them)."""
        from pyzol import sim

        self._start = sim.journal_size()

    def entries(self, op: str | None = None) -> list[str]:
        """The entries since the start; with `op` ("CxMB100::Write", as ``sim.fail`` names
        it), those of that operation only. An operation the library does not have raises
        ValueError."""
        from pyzol import sim

        found = sim.journal_from(self._start)
        if op is None:
            return found
        _check_operation(op)
        return [entry for entry in found if _name(entry) == op]

    def operations(self) -> list[str]:
        """The operation of each entry since the start, in order: ``["CxMB100::Open",
        "CxMB100::Write"]``."""
        return [_name(entry) for entry in self.entries()]

    def count(self, op: str) -> int:
        """How many calls of `op` were recorded since the start."""
        return len(self.entries(op))

    def restart(self) -> None:
        """Starts again from now: later reads give only the calls made after this one."""
        from pyzol import sim

        self._start = sim.journal_size()


class Fault:
    """A fault armed for a block by `failing`: inside the block, the next `count` calls of `op`
    throw the library's exception with status `status`, as the board would. Leaving the block
    disarms it."""

    __slots__ = ("op", "status", "count", "_armed", "_fired")

    op: str
    """The failing operation, "Class::Operation"."""
    status: int
    """The status of the exception each failing call throws."""
    count: int
    """How many calls fail."""

    def __init__(self, op: str, status: int = 1, count: int = 1) -> None:
        """The fault, armed by ``with``; `op` and `count` are checked when it is armed."""
        self.op, self.status, self.count = op, status, count
        self._armed, self._fired = False, 0

    @property
    def fired(self) -> int:
        """How many calls of `op` have failed in the block so far (after it: in the block)."""
        if not self._armed:
            return self._fired
        from pyzol import sim

        return self.count - sim.pending_faults(self.op)

    def __enter__(self) -> Fault:
        """Arms the fault (a fault already armed for `op` is replaced)."""
        _require_sim()
        from pyzol import sim

        sim.fail(self.op, status=self.status, count=self.count)
        self._armed = True
        return self

    def __exit__(self, *exc: object) -> Literal[False]:
        """Disarms the fault when calls of it are left. The library disarms its faults all
        together only, so a fault still armed for another operation is then disarmed with it.
        Never swallows an exception."""
        from pyzol import sim

        self._fired = self.fired
        self._armed = False
        if self._fired < self.count:
            sim.clear_faults()
        return False


def failing(op: str, status: int = 1, count: int = 1) -> Fault:
    """``with failing("CxMB100::Open", status=5) as fault:`` -- inside the block, the next
    `count` calls of `op` (any overload, any object of that class) throw the library's
    exception with this status; ``fault.fired`` counts those that did. Leaving the block
    disarms what is left (see `Fault`). An operation the library does not have, or a count below
    1, raises ValueError; where ``pyzol.sim`` is missing, the test is skipped."""
    return Fault(op, status, count)


class Unplugged:
    """Board `id` of type `board` out of the rack for a ``with`` block (`unplugged`): inside it
    every operation of a handle open on the board, and open, fail with the library's NoDevice
    error (``pyzol.DeviceNotFound`` through the front door), and waits in progress end with it;
    leaving the block puts the board back, where handles open it again."""

    __slots__ = ("board", "id")

    board: str
    """The board type: "MB100", ..., "KX210", ... (a capture board with all its channels)."""
    id: int
    """The board's number."""

    def __init__(self, board: str, id: int = 0) -> None:
        """The board to take out; nothing happens before the block."""
        self.board, self.id = board, id

    def __enter__(self) -> Unplugged:
        """Takes the board out."""
        _require_sim()
        from pyzol import sim

        sim.unplug(self.board, self.id)
        return self

    def __exit__(self, *exc: object) -> Literal[False]:
        """Puts the board back; never swallows an exception."""
        from pyzol import sim

        sim.replug(self.board, self.id)
        return False


def unplugged(board: str, id: int = 0) -> Unplugged:
    """``with unplugged("RM1600", 0): ...`` -- the board is out of the rack inside the block
    (see `Unplugged`); where ``pyzol.sim`` is missing, the test is skipped."""
    return Unplugged(board, id)


class CameraSilent:
    """The camera of capture board `board` number `id`, channel `ch`, sends nothing for a
    ``with`` block (`camera_silent`): no frame arrives, the board's waits run into its Timeout
    setting (``pyzol.DeviceTimeout`` through the front door); leaving the block, it sends
    again."""

    __slots__ = ("board", "id", "ch")

    board: str
    """The board type: "KX210", "KX310" or "TR520"."""
    id: int
    """The board's number."""
    ch: int
    """The channel."""

    def __init__(self, board: str, id: int = 0, ch: int = 0) -> None:
        """The camera to silence; nothing happens before the block."""
        self.board, self.id, self.ch = board, id, ch

    def __enter__(self) -> CameraSilent:
        """Silences the camera."""
        _require_sim()
        from pyzol import sim

        sim.camera_silent(self.board, self.id, self.ch, True)
        return self

    def __exit__(self, *exc: object) -> Literal[False]:
        """The camera sends again; never swallows an exception."""
        from pyzol import sim

        sim.camera_silent(self.board, self.id, self.ch, False)
        return False


def camera_silent(board: str, id: int = 0, ch: int = 0) -> CameraSilent:
    """``with camera_silent("KX210", 0, 0): ...`` -- the camera sends nothing inside the block
    (see `CameraSilent`); where ``pyzol.sim`` is missing, the test is skipped."""
    return CameraSilent(board, id, ch)


class Rack:
    """The simulated rack of a test (fixture ``zol_rack``): its journal since the start of the
    test, fault injection and the boards' inputs, each a typed call of ``pyzol.sim`` (which has
    the rest of the rack: serial links, encoders, test frames)."""

    __slots__ = ("journal",)

    journal: Journal
    """The library calls of the test: ``rack.journal.entries()``."""

    def __init__(self) -> None:
        """The rack as it is now; its journal starts here."""
        self.journal = Journal()

    def fail(self, op: str, status: int = 1, count: int = 1) -> None:
        """The next `count` calls of `op` ("CxMB100::Open") throw the library's exception with
        this status, until the test ends (the fixture disarms every fault then)."""
        from pyzol import sim

        sim.fail(op, status=status, count=count)

    def failing(self, op: str, status: int = 1, count: int = 1) -> Fault:
        """`failing`: the fault for a ``with`` block only."""
        return failing(op, status, count)

    def pending_faults(self, op: str) -> int:
        """How many more calls of `op` will fail."""
        from pyzol import sim

        return sim.pending_faults(op)

    def clear_faults(self) -> None:
        """Disarms every fault."""
        from pyzol import sim

        sim.clear_faults()

    def set_inputs(self, board: str, id: int, word: int) -> None:
        """Drives the input word of I/O board `board` ("MB100", "RM1600", "DQ160") number `id`;
        enabled edges end a pending wait."""
        from pyzol import sim

        sim.set_inputs(board, id, word)

    def inputs(self, board: str, id: int) -> int:
        """The I/O board's input word."""
        from pyzol import sim

        return sim.inputs(board, id)

    def outputs(self, board: str, id: int) -> int:
        """The I/O board's output latch: what the script wrote."""
        from pyzol import sim

        return sim.outputs(board, id)

    def set_loopback(self, board: str, id: int, on: bool) -> None:
        """When on, the I/O board's inputs follow its outputs."""
        from pyzol import sim

        sim.set_loopback(board, id, on)

    def interrupt(self, board: str, id: int) -> None:
        """Pulses the I/O board's interrupt input."""
        from pyzol import sim

        sim.interrupt(board, id)

    def waiters(self, board: str, id: int) -> int:
        """Threads blocked in the I/O board's wait now (to act once one really waits)."""
        from pyzol import sim

        return sim.waiters(board, id)

    def live_objects(self) -> int:
        """Library objects (boards, companions, images, ...) alive now: leaks show here."""
        from pyzol import sim

        return sim.live_objects()

    def wire(self, source: tuple[str, int, str, int], sink: tuple[str, int, str, int]) -> None:
        """Wires an output of the rack to an input of another board (``sim.wire``):
        ``rack.wire(("RM1600", 0, "out", 3), ("KX210", 0, "trigger", 0))``. The fixture's
        fresh rack has no wires."""
        from pyzol import sim

        sim.wire(source, sink)

    def unwire(self, source: tuple[str, int, str, int], sink: tuple[str, int, str, int]) -> None:
        """Takes a wire out (``sim.unwire``)."""
        from pyzol import sim

        sim.unwire(source, sink)

    def wiring(self) -> list[tuple[tuple[str, int, str, int], tuple[str, int, str, int]]]:
        """Every wire as (source, sink), in the order they were made."""
        from pyzol import sim

        return sim.wiring()

    def unplug(self, board: str, id: int = 0) -> None:
        """Takes the board out of the rack until `replug` (see `Unplugged`); the next test's
        fresh rack has every board."""
        from pyzol import sim

        sim.unplug(board, id)

    def replug(self, board: str, id: int = 0) -> None:
        """Puts an unplugged board back."""
        from pyzol import sim

        sim.replug(board, id)

    def unplugged(self, board: str, id: int = 0) -> Unplugged:
        """`unplugged`: the board out of the rack for a ``with`` block only."""
        return unplugged(board, id)

    def camera_silent(self, board: str, id: int = 0, ch: int = 0) -> CameraSilent:
        """`camera_silent`: the camera sends nothing for a ``with`` block."""
        return camera_silent(board, id, ch)

    def short_frames(self, board: str, id: int, ch: int, lines: int, count: int = 1) -> None:
        """The next `count` frames of the board channel arrive with only `lines` lines
        (``Frame.complete`` is False for them)."""
        from pyzol import sim

        sim.short_frames(board, id, ch, lines, count)

    def sio_drop(self, board: str, id: int, ch: int, count: int) -> None:
        """The next `count` bytes the camera sends through the serial link are lost."""
        from pyzol import sim

        sim.sio_drop(board, id, ch, count)

    def sio_garble(self, board: str, id: int, ch: int, count: int) -> None:
        """The next `count` bytes the camera sends arrive with every bit inverted."""
        from pyzol import sim

        sim.sio_garble(board, id, ch, count)


@pytest.fixture
def zol_rack() -> Iterator[Rack]:
    """A fresh simulated rack (``sim.reset()``: new boards, empty journal, no faults) with the
    journal on. Afterwards every fault is disarmed and the journal is turned back on or off as
    it was. Skips the test where ``pyzol.sim`` is missing."""
    _require_sim()
    from pyzol import sim

    was_on = sim.journal_on()
    sim.reset()
    sim.set_journal(True)
    yield Rack()
    sim.clear_faults()
    sim.set_journal(was_on)


@pytest.fixture
def zol_journal() -> Iterator[Journal]:
    """The journal, cleared and on: a `Journal` of the library calls the test makes. Afterwards
    the journal is turned back on or off as it was. Skips the test where ``pyzol.sim`` is
    missing."""
    _require_sim()
    from pyzol import sim

    was_on = sim.journal_on()
    sim.clear_journal()
    sim.set_journal(True)
    yield Journal()
    sim.set_journal(was_on)


def pytest_configure(config: pytest.Config) -> None:
    """Registers the marker ``zol_sim``."""
    config.addinivalue_line(
        "markers",
        f"{_MARKER}: the test needs pyzol.sim, the simulated device library; skipped where pyzol "
        "is built against the maker's library",
    )


@pytest.hookimpl(tryfirst=True)
def pytest_runtest_setup(item: pytest.Item) -> None:
    """Skips a test marked ``zol_sim`` where ``pyzol.sim`` is missing, before its fixtures."""
    if item.get_closest_marker(_MARKER) is not None:
        _require_sim()
