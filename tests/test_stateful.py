"""Stateful random tests (Hypothesis state machines) over the whole simulated rack.

The rack machine makes boards every way, opens, closes, disposes and drops them, hands images,
lists and settings of every sort to every member, takes boards out of the rack and puts them back,
injects library faults and collects garbage; after each step only the documented exception types
have escaped, every numpy view it keeps is still readable, each board's open state (and what it
refuses) is what a model of the steps says, and at the end no library object is left. The
threads machine blocks threads in every kind of wait while the main thread acts on the boards:
every wait ends within its time-out plus a margin, with an allowed exception. How to run them
long: the README's testing section, or run() below."""

import dataclasses
import gc
import os
import random
import re
import shutil
import sys
import tempfile
import threading
import time

import numpy as np
import pytest
from hypothesis import HealthCheck, note, seed, settings
from hypothesis import strategies as st
from hypothesis.stateful import (
    Bundle,
    RuleBasedStateMachine,
    consumes,
    initialize,
    invariant,
    precondition,
    rule,
    run_state_machine_as_test,
)
from test_name_tables import TABLES

import pyzol
from pyzol import core, sim, unit

# What the module lets out: the library's errors (and the casters' refusals) as RuntimeError,
# arguments that do not convert as TypeError, ValueError or OverflowError.
ALLOWED = (RuntimeError, TypeError, ValueError, OverflowError)

DIO_BOARDS = ("MB100", "RM1600", "DQ160")
CAPTURE_BOARDS = ("KX210", "KX310", "TR520")
DEVICE_TYPE = {"KX210": 1, "TR520": 2, "KX310": 4}
FILE_FORMATS = ("Mono8", "Mono10", "Mono12", "Mono16", "RGB8", "BGR8")
IMAGE_FORMATS = tuple(core.ExPixelFormat.__members__.values())

FIXED_SEED = 20261208


def run(machine, examples, steps):
    """Runs `machine` for `examples` examples of up to `steps` steps, or as many examples as
    PYZOL_STATEFUL_EXAMPLES says, with the seed PYZOL_STATEFUL_SEED gives ("random": a new one)
    or the fixed one."""
    text = os.environ.get("PYZOL_STATEFUL_SEED", "")
    chosen = random.randrange(2**32) if text == "random" else int(text or FIXED_SEED)
    examples = int(os.environ.get("PYZOL_STATEFUL_EXAMPLES") or examples)
    options = settings(
        max_examples=examples,
        stateful_step_count=steps,
        deadline=None,
        database=None,  # nothing written outside the test's own folders
        print_blob=False,
        suppress_health_check=list(HealthCheck),
    )

    @seed(chosen)
    def factory():
        return machine()

    try:
        run_state_machine_as_test(factory, settings=options)
    except BaseException as error:
        error.add_note(
            f"seed {chosen}, {examples} examples: repeat with PYZOL_STATEFUL_SEED={chosen} "
            f"PYZOL_STATEFUL_EXAMPLES={examples}"
        )
        raise


@dataclasses.dataclass(frozen=True)
class CameraFile:
    """A valid camera file: frame size, pixel format and frame period (microseconds)."""

    width: int
    height: int
    pixel_format: str
    period: int
    timeout: int
    trigger_mode: int = 0

    def __repr__(self):
        return (
            f"CameraFile({self.width}x{self.height} {self.pixel_format}, "
            f"every {self.period}us, Timeout={self.timeout}, TriggerMode={self.trigger_mode})"
        )

    def write(self, folder, device=None):
        lines = [
            f"Width={self.width}",
            f"Height={self.height}",
            f"PixelFormat={self.pixel_format}",
            f"TriggerCycleTime={self.period}",
            f"TriggerMode={self.trigger_mode}",
            f"Timeout={self.timeout}",
        ]
        if device is not None:
            lines.insert(0, f"DeviceType={device}")
        fd, path = tempfile.mkstemp(suffix=".txt", dir=folder)
        with os.fdopen(fd, "w") as out:
            out.write("# random camera\n" + "\n".join(lines) + "\n")
        return path


def camera_files(timeouts=None, formats=FILE_FORMATS, trigger_modes=(0,)):
    """Random valid camera files."""
    return st.builds(
        CameraFile,
        width=st.integers(1, 40),
        height=st.integers(1, 30),
        pixel_format=st.sampled_from(formats),
        period=st.sampled_from([0, 100, 500, 2000]),
        timeout=st.integers(20, 200) if timeouts is None else timeouts,
        trigger_mode=st.sampled_from(trigger_modes),
    )


class Folder:
    """A temporary folder of the machine's own, removed at its end."""

    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="pyzol-stateful-")

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


NO_DEVICE, NOT_OPENED, DISPOSED = "^Code:5 ", "^Code:6 ", "^Code:9 "

PARAMS = {name: getattr(unit, name + "Param") for name in DIO_BOARDS + CAPTURE_BOARDS}
TYPED = {
    "MB100": ["timeout", "int_edge"],
    "RM1600": ["timeout", "di_enable", "di_edge", "di_wait_enable"],
    "DQ160": ["timeout", "int_enable", "int_edge", "int_wait_enable", "di_enable", "di_edge",
              "di_wait_enable", "di_wait_mode"],
    "KX210": ["exposure_time", "trigger_cycle_time", "trigger_mode"],
    "KX310": ["exposure_time", "trigger_cycle_time", "trigger_mode"],
    "TR520": ["exposure_time", "trigger_mode", "video_offset"],
}  # fmt: skip
# Names that the waits and the frame size depend on are left to the rules that wait or capture.
KEPT = {"Timeout", "Width", "Height", "TriggerMode", "TriggerCycleTime", "ExposureTime"}
TABLE_NAMES = sorted(
    {n for table in TABLES.values() for *_, names in table for n in names.split()} - KEPT
)
DIO_NAMES = ["DIEnable", "DIEdge", "DIWaitEnable", "DIWaitMode", "INTEnable", "INTEdge",
             "INTWaitEnable", "INTStatus", "DeviceID", "FpgaVersionName"]  # fmt: skip
setting_names = st.one_of(
    st.sampled_from(TABLE_NAMES + DIO_NAMES),
    st.sampled_from(TABLE_NAMES + DIO_NAMES).map(str.lower),
    st.sampled_from(TABLE_NAMES).map(str.upper),
    st.text(max_size=8),
)
setting_values = st.one_of(
    st.integers(-(2**31) - 1, 2**31),
    st.sampled_from([2**32 - 1, 2**32, 2**63 - 1, 2**64, -(2**63) - 1]),
    st.none(),
    st.binary(max_size=4),
    st.floats(allow_nan=True),
    st.text(max_size=6),
)
words = st.one_of(st.integers(0, 2**32 - 1), st.sampled_from([-1, 2**32, 0.5, None, "1"]))
indexes = st.integers(-1, 32)
board_ids = st.sampled_from([0, 1, 3, -1, 4])
channels = st.integers(-1, 2)
short_ms = st.integers(0, 15)
# Boards of the rack as (kind, id), and some ids it has no board at.
rack_boards = st.tuples(st.sampled_from(DIO_BOARDS + CAPTURE_BOARDS), st.integers(-1, 4))
# Terminals of the rack's wiring, the rack's and others; few bits and channels, so that wires
# meet the outputs the I/O steps write and the boards the capture steps run.
TERMINALS = {**dict.fromkeys(DIO_BOARDS, ("out", "in")),
             **dict.fromkeys(CAPTURE_BOARDS, ("trigger", "line", "strobe", "encoder"))}  # fmt: skip
SOURCES = {"out", "strobe", "encoder"}
terminals = st.tuples(
    st.sampled_from([*DIO_BOARDS, *CAPTURE_BOARDS, "XY9"]),
    st.sampled_from([0, 1, 4]),
    st.sampled_from(["out", "in", "trigger", "line", "strobe", "encoder", "clock"]),
    st.sampled_from([0, 1, 2, 32]),
)


def terminal_exists(terminal):
    board, ident, port, index = terminal
    if port not in TERMINALS.get(board, ()) or not 0 <= ident <= 3:
        return False
    if board in DIO_BOARDS:
        return 0 <= index <= 31
    return 0 <= index <= 1 and not (port in ("encoder", "line") and board == "TR520")


def wire_allowed(wires, source, sink):
    """Whether the rack takes a wire from `source` to `sink` besides `wires`: an output to an
    input of another board (the encoder: to its own channel's trigger or line input), an input
    with one driver besides the encoder, no wire twice."""
    if not (terminal_exists(source) and terminal_exists(sink)):
        return False
    if source[2] not in SOURCES or sink[2] in SOURCES:
        return False
    encoder, same_board = source[2] == "encoder", source[:2] == sink[:2]
    if encoder and not (same_board and sink[2] != "in" and sink[3] == source[3]):
        return False
    if not encoder and same_board:
        return False
    return all(
        (f, t) != (source, sink) and (t != sink or (f[2] == "encoder") != encoder) for f, t in wires
    )


class Held:
    """Something the machine made, held for the steps that use it; the machine lets go of all of
    them at its end (Hypothesis keeps the last step's result a little longer)."""

    def __init__(self, obj):
        self.obj = obj

    def __repr__(self):
        return f"<{type(self.obj).__name__}>"


class Board(Held):
    """A board object of the machine and what the model says of it: for a capture board whether
    it is open and whether its rack board was unplugged since (its session stays open but refuses
    until it is opened again); for an I/O board the opening of a rack board it takes part in (an
    I/O board's opening is shared by every handle that opened it while it was open, and ends for
    all of them at the first close or when the board is unplugged)."""

    def __init__(self, kind, obj):
        super().__init__(obj)
        self.kind = kind
        self.disposed = False
        self.opened = False  # capture boards
        self.pulled = False  # capture boards: its rack board was unplugged since it was opened
        # (kind, id) of the rack board last opened; capture boards: None once closed.
        self.rack = None
        self.opening = None  # I/O boards: the opening it takes part in

    @property
    def dio(self):
        return self.kind in DIO_BOARDS

    def __repr__(self):
        return f"{self.kind}()"


class Machine(RuleBasedStateMachine):
    """What both machines do first and last: a fresh rack and a folder of their own; at the end
    no library object left (unless a step failed: its traceback may still hold some)."""

    def __init__(self):
        super().__init__()
        sim.reset()
        gc.collect()
        self.start = sim.live_objects()
        self.folder = Folder()

    def leave(self):
        sim.clear_faults()
        gc.collect()
        self.folder.remove()
        if sys.exception() is None:
            assert sim.live_objects() == self.start, "library objects left at the machine's end"


# The operations the rack machine arms faults for: those of its boards that its steps call.
ARMABLE = [
    op
    for op in sim.operations()
    if op.split("::")[0][2:] in {"MB100", "RM1600", "DQ160", "KX210", "KX310", "TR520", "Video",
                                 "KX210Param", "KX310Param", "TR520Param", "MB100Param",
                                 "RM1600Param", "DQ160Param", "KX210Sio", "KX310Sio",
                                 "KX210Encoder", "KX310Encoder"}
    and op.split("::")[1] in {"Open", "Close", "Dispose", "Read", "Write", "Wait", "Lock",
                              "Start", "Stop", "Abort", "Unlock", "Setup", "IsOpened", "Grab",
                              "FromFile", "GetParam", "SetParam", "From", "TotalCounter"}
]  # fmt: skip


class RackMachine(Machine):
    dio = Bundle("dio")
    cams = Bundle("cams")
    images = Bundle("images")
    companions = Bundle("companions")
    videos = Bundle("videos")

    def __init__(self):
        super().__init__()
        self.boards = []  # every Board the machine still holds
        self.held = []  # everything it made
        self.views = []  # numpy views kept across steps
        self.openings = {}  # (kind, id) -> the current opening of that I/O board, or None
        self.count = 0
        self.armed = None  # an injected fault waiting for the next step
        self.wires = []  # the rack's wiring, as the model says it is
        self.unplugged = set()  # (kind, id) of the boards out of the rack

    # ---- the model -------------------------------------------------------------------------

    def attempt(self, call, *allowed):
        """Calls `call`; an allowed exception is given back instead of raised."""
        try:
            return call()
        except (*ALLOWED, *allowed) as error:
            note(f"    {type(error).__name__}: {error}")
            return error

    def open_now(self, b):
        """What the model says `b.is_opened` is (a capture board's session stays open when its
        board is unplugged: it refuses until opened again, but says it is open)."""
        if b.dio:
            return b.opening is not None and self.openings.get(b.rack) == b.opening
        return b.opened

    def refusal(self, b):
        """The error an operation of `b` that needs an open board gets, as a pattern; None when
        the model says it reaches the board. An I/O handle bound to a board out of the rack is
        refused as gone whether or not it is open; a capture board is asked first whether it is
        open."""
        if b.disposed:
            return DISPOSED
        if b.dio:
            if b.rack in self.unplugged:
                return NO_DEVICE
            return None if self.open_now(b) else NOT_OPENED
        if not b.opened:
            return NOT_OPENED
        return NO_DEVICE if b.pulled else None

    def usable(self, b):
        """Whether the steps may set up `b` (its time-out, a camera file) before they use it."""
        return not self.armed and self.refusal(b) is None

    def in_rack(self, kind, ident):
        return 0 <= ident <= 3 and (kind, ident) not in self.unplugged

    def expect(self, b, result, succeeds):
        """The call succeeded exactly when the model says it must (an injected fault may make
        any call fail)."""
        failed = isinstance(result, Exception)
        if self.armed and failed and isinstance(result, RuntimeError):
            return False
        assert failed != succeeds, f"{b!r}: model says {'success' if succeeds else 'failure'}"
        return succeeds

    def track(self, kind, obj, rack=None):
        """A new Board; `rack`: the (kind, id) a capture board was opened on."""
        b = Board(kind, obj)
        b.opened, b.rack = rack is not None, rack
        self.boards.append(b)
        self.held.append(b)
        return b

    def hold(self, obj):
        held = Held(obj)
        self.held.append(held)
        return held

    def after_step(self):
        if self.armed:
            sim.clear_faults()
            self.armed = None

    @invariant()
    def open_state_follows_the_model(self):
        if self.armed:
            return
        for b in self.boards:
            if b.disposed:
                assert b.obj.is_valid is False
                with pytest.raises(RuntimeError, match=DISPOSED if b.dio else None):
                    _ = b.obj.is_opened
                continue
            opened = b.obj.is_opened
            assert opened == self.open_now(b), f"{b!r}: is_opened is {opened}, not as modelled"
            refusal = self.refusal(b)
            if b.dio and refusal:
                # Refused as before its first open, whichever board another handle opened, or
                # as gone while its board is out of the rack.
                with pytest.raises(RuntimeError, match=refusal):
                    b.obj.write(0)
            elif not b.dio:
                # Reading a setting does nothing to the board: asked whatever the model says.
                settings = PARAMS[b.kind].from_(b.obj)
                if refusal:
                    with pytest.raises(RuntimeError, match=refusal):
                        settings.get_param("Width")
                else:
                    settings.get_param("Width")

    @invariant()
    def an_unplugged_board_stopped_capturing(self):
        # Its run was aborted when it was pulled out, and a session that must open again cannot
        # start another; what it last captured can still be asked.
        if self.armed:
            return
        for b in self.boards:
            if b.pulled:
                assert b.obj.is_running is False, f"{b!r} runs on a board that was unplugged"
                b.obj.query_status()

    @invariant()
    def wiring_follows_the_model(self):
        assert sim.wiring() == self.wires

    @invariant()
    def kept_views_are_readable(self):
        for view in self.views:
            view.sum()
            view.copy()

    def teardown(self):
        sim.clear_faults()
        for b in self.boards:
            if not b.dio and not b.disposed:
                self.attempt(b.obj.abort)
        for held in self.held:
            held.obj = None
        self.boards.clear()
        self.held.clear()
        self.views.clear()
        self.leave()

    # ---- I/O boards ------------------------------------------------------------------------

    @rule(target=dio, kind=st.sampled_from(DIO_BOARDS))
    def new_io_board(self, kind):
        return self.track(kind, getattr(unit, kind)())

    @rule(target=dio, kind=st.sampled_from(DIO_BOARDS), ident=board_ids)
    def opened_io_board(self, kind, ident):
        b = self.new_io_board(kind)
        self.open_io(b, ident)
        return b

    @rule(b=dio, ident=board_ids)
    def open_io(self, b, ident):
        result = self.attempt(lambda: b.obj.open(ident))
        key = (b.kind, ident)
        opens = self.expect(b, result, not b.disposed and self.in_rack(*key))
        if opens and not (b.rack == key and self.open_now(b)):
            if self.openings.get(key) is None:
                self.count += 1
                self.openings[key] = self.count
            b.rack, b.opening = key, self.openings[key]
        self.after_step()

    @rule(b=dio)
    def close_io(self, b):
        result = self.attempt(b.obj.close)
        if self.expect(b, result, not b.disposed):
            if self.open_now(b):
                self.openings[b.rack] = None
            b.opening = None
        self.after_step()

    @rule(b=st.one_of(dio, cams))
    def dispose(self, b):
        if self.expect(b, self.attempt(b.obj.dispose), True):
            b.disposed, b.opened, b.pulled, b.rack, b.opening = True, False, False, None, None
        self.after_step()

    @rule(b=consumes(dio) | consumes(cams))
    def drop_board(self, b):
        self.boards.remove(b)
        b.obj = None
        gc.collect()

    @rule(
        b=dio,
        op=st.sampled_from(["read", "read_bit", "write", "write_bit", "status", "status_bit"]),
        index=indexes,
        word=words,
        state=st.one_of(st.booleans(), st.none(), st.just(0.4)),
    )
    def io_port(self, b, op, index, word, state):
        calls = {
            "read": lambda: b.obj.read(),
            "read_bit": lambda: b.obj.read(index),
            "write": lambda: b.obj.write(word),
            "write_bit": lambda: b.obj.write(index, state),
            "status": lambda: b.obj.write_status(),
            "status_bit": lambda: b.obj.write_status(index),
        }
        result = self.attempt(calls[op])
        if not self.armed and not self.open_now(b) and not b.disposed:
            assert isinstance(result, Exception), f"{b!r} reached a board it has not open"
        self.after_step()

    @rule(b=dio, timeout=short_ms, abort_first=st.booleans())
    def io_wait(self, b, timeout, abort_first):
        if self.open_now(b) and not self.armed:
            PARAMS[b.kind].from_(b.obj).timeout = timeout
        if abort_first:
            self.attempt(b.obj.abort)  # not remembered: the wait still runs
        result = self.attempt(b.obj.wait)
        if not isinstance(result, Exception):
            code = result if isinstance(result, int) else result.event_status
            assert code in (1, 2, 3), code
        self.after_step()

    @rule(
        kind=st.sampled_from(DIO_BOARDS),
        ident=st.integers(0, 3),
        word=st.integers(0, 2**32 - 1),
        how=st.sampled_from(["inputs", "interrupt", "loopback on", "loopback off"]),
    )
    def drive_inputs(self, kind, ident, word, how):
        if how == "inputs":
            sim.set_inputs(kind, ident, word)
        elif how == "interrupt":
            self.attempt(lambda: sim.interrupt(kind, ident))  # the RM1600 has no interrupt
        else:
            sim.set_loopback(kind, ident, how == "loopback on")

    # ---- wiring ----------------------------------------------------------------------------

    @rule(source=terminals, sink=terminals)
    def wire(self, source, sink):
        allowed = wire_allowed(self.wires, source, sink)
        result = self.attempt(lambda: sim.wire(source, sink))
        assert isinstance(result, Exception) != allowed, f"wire({source}, {sink})"
        if allowed:
            self.wires.append((source, sink))

    @rule(data=st.data(), other=st.tuples(terminals, terminals))
    def unwire(self, data, other):
        # A wire of the rack, or (mostly not) one that is not there.
        wire = data.draw(st.sampled_from(self.wires)) if self.wires else other
        result = self.attempt(lambda: sim.unwire(*wire))
        assert isinstance(result, Exception) != (wire in self.wires), f"unwire{wire}"
        if wire in self.wires:
            self.wires.remove(wire)

    @rule(
        kind=st.sampled_from(("KX210", "KX310")), ident=st.integers(0, 1), count=st.integers(-9, 9)
    )
    def turn_encoder(self, kind, ident, count):
        sim.encoder_pulses(kind, ident, 0, count)

    # ---- the rack's plugs ------------------------------------------------------------------

    def plug(self, kind, ident, into):
        """sim.replug (`into`) or sim.unplug of board `ident` of type `kind`: refused as gone for
        an id the rack has no board at; True when it was done."""
        call = sim.replug if into else sim.unplug
        result = self.attempt(lambda: call(kind, ident))
        if not 0 <= ident <= 3:
            assert isinstance(result, RuntimeError) and re.match(NO_DEVICE, str(result)), result
            return False
        assert result is None, f"{call.__name__}({kind!r}, {ident})"
        assert sim.plugged(kind, ident) == into, f"plugged({kind!r}, {ident})"
        return True

    @rule(data=st.data(), other=rack_boards)
    def unplug(self, data, other):
        # Half the time a board that a handle is bound to, so that the steps after meet it gone.
        bound = sorted({b.rack for b in self.boards if b.rack})
        key = data.draw(st.sampled_from(bound) | st.just(other)) if bound else other
        if not self.plug(*key, False):
            return
        self.unplugged.add(key)
        if key[0] in DIO_BOARDS:
            self.openings[key] = None  # the opening ends for every handle taking part in it
        # The sessions opened on the board (any channel) stay open but refuse from now on, even
        # once it is back, until they are opened again; wiring is left as it is.
        for b in self.boards:
            if not b.dio and b.opened and b.rack == key:
                b.pulled = True

    @rule(data=st.data(), other=rack_boards)
    def replug(self, data, other):
        # Half the time a board that is out. Back in the rack it is closed: the handles bound to
        # it must open it again.
        out = sorted(self.unplugged)
        key = data.draw(st.sampled_from(out) | st.just(other)) if out else other
        if self.plug(*key, True):
            self.unplugged.discard(key)

    @precondition(lambda self: bool(self.unplugged))
    @rule(data=st.data(), ch=channels)
    def open_out_of_the_rack(self, data, ch):
        # An open step aimed at a board that is out, which the ids the open steps draw seldom meet.
        kind, ident = data.draw(st.sampled_from(sorted(self.unplugged)), label="board")
        handles = [b for b in self.boards if b.kind == kind]
        if not handles:
            return
        b = data.draw(st.sampled_from(handles), label="handle")
        if b.dio:
            self.open_io(b, ident)
        else:
            self.open_capture(b, ident, ch)

    # ---- capture boards --------------------------------------------------------------------

    @rule(target=cams, kind=st.sampled_from(CAPTURE_BOARDS))
    def new_capture_board(self, kind):
        return self.track(kind, getattr(unit, kind)())

    @rule(
        target=cams,
        kind=st.sampled_from(CAPTURE_BOARDS),
        camera=camera_files(),
        where=st.one_of(st.none(), st.tuples(board_ids, channels)),
    )
    def capture_board_from_file(self, kind, camera, where):
        path = camera.write(self.folder.path)
        cls = getattr(unit, kind)
        args = (path,) if where is None else (path, *where)
        result = self.attempt(lambda: cls.from_file(*args))
        ident, ch = (0, 0) if where is None else where
        valid = self.in_rack(kind, ident) and 0 <= ch <= 1
        if not self.armed:
            assert isinstance(result, Exception) != valid, "from_file"
        self.after_step()
        if isinstance(result, Exception):
            return self.track(kind, cls())  # the bundle needs a board: an unopened one
        return self.track(kind, result, rack=(kind, ident))

    @rule(target=cams, b=cams)
    def copy_capture_board(self, b):
        copy = type(b.obj)(b.obj)
        c = self.track(b.kind, copy, rack=b.rack)
        c.disposed, c.pulled = b.disposed, b.pulled
        return c

    @rule(target=cams, kind=st.sampled_from(CAPTURE_BOARDS), ident=board_ids, ch=channels)
    def opened_capture_board(self, kind, ident, ch):
        b = self.new_capture_board(kind)
        self.open_capture(b, ident, ch)
        return b

    @rule(b=cams, ident=board_ids, ch=channels)
    def open_capture(self, b, ident, ch):
        result = self.attempt(lambda: b.obj.open(ident, ch))
        valid = not b.disposed and self.in_rack(b.kind, ident) and 0 <= ch <= 1
        if self.expect(b, result, valid):
            b.opened, b.pulled, b.rack = True, False, (b.kind, ident)
        self.after_step()

    @rule(b=cams)
    def close_capture(self, b):
        if self.expect(b, self.attempt(b.obj.close), not b.disposed):
            b.opened, b.pulled, b.rack = False, False, None
        self.after_step()

    @rule(b=cams, camera=camera_files())
    def setup_capture(self, b, camera):
        path = camera.write(self.folder.path)
        self.attempt(lambda: b.obj.setup(path))
        self.after_step()

    @rule(
        b=cams,
        items=st.lists(
            st.one_of(images, st.none(), st.sampled_from([0, "image"])), min_size=0, max_size=5
        ),
        how=st.sampled_from(["lock", "validate", "lock one", "validate one", "unlock"]),
        option=st.integers(-1, 2),
    )
    def lock_images(self, b, items, how, option):
        items = [i.obj if isinstance(i, Held) else i for i in items]
        first = items[0] if items else None
        calls = {
            "lock": lambda: b.obj.lock(items, option),
            "validate": lambda: b.obj.validate(items),
            "lock one": lambda: b.obj.lock(first, option),
            "validate one": lambda: b.obj.validate(first),
            "unlock": lambda: b.obj.unlock(),
        }
        self.attempt(calls[how])
        self.after_step()

    @rule(
        b=cams,
        op=st.sampled_from(["start", "stop", "abort", "wait", "wait_status", "wait_frame",
                            "query_status", "status", "is_running", "force_trigger"]),
        num=st.integers(-1, 3),
        timeout=short_ms,
    )  # fmt: skip
    def capture(self, b, op, num, timeout):
        if self.usable(b):
            PARAMS[b.kind].from_(b.obj).set_param("Timeout", timeout)
        kx310 = b.kind == "KX310"
        calls = {
            "start": lambda: (setattr(b.obj, "num", num), b.obj.start()),
            "stop": lambda: b.obj.stop(),
            "abort": lambda: b.obj.abort(),
            "wait": lambda: b.obj.wait(timeout) if kx310 else b.obj.wait(),
            "wait_status": lambda: (
                b.obj.wait_status(unit.TxKX310CaptureStatus(), timeout)
                if kx310
                else b.obj.wait_status()
            ),
            "wait_frame": lambda: (
                b.obj.wait_event(1, timeout, 0) if kx310 else b.obj.wait_status(num)
            ),
            "query_status": lambda: b.obj.query_status(),
            "status": lambda: b.obj.status(),
            "is_running": lambda: b.obj.is_running,
            "force_trigger": lambda: b.obj.force_trigger(),
        }
        self.attempt(calls[op])
        self.after_step()

    @rule(b=cams, ring=st.integers(2, 3), count=st.integers(1, 3), camera=camera_files())
    def frames(self, b, ring, count, camera):
        if self.usable(b):
            self.attempt(lambda: b.obj.setup(camera.write(self.folder.path)))

        def take():
            with pyzol.frames(b.obj, ring, count=count) as stream:
                for frame in stream:
                    frame.array.sum()

        self.attempt(take, TimeoutError)
        self.after_step()

    # ---- images and views ------------------------------------------------------------------

    @rule(
        target=images,
        w=st.integers(-1, 40),
        h=st.integers(-1, 30),
        fmt=st.sampled_from(IMAGE_FORMATS),
        stride=st.one_of(st.just(0), st.integers(-1, 130)),
    )
    def new_image(self, w, h, fmt, stride):
        result = self.attempt(lambda: core.CxImage(w, h, fmt, stride))
        return self.hold(core.CxImage(1, 1) if isinstance(result, Exception) else result)

    @rule(target=images, data=st.data(), fmt=st.sampled_from(IMAGE_FORMATS))
    def image_from_array(self, data, fmt):
        shape = data.draw(st.sampled_from([(3, 4), (2, 5, 3), (0, 0), (4,)]), label="shape")
        dtype = data.draw(st.sampled_from([np.uint8, np.uint16, np.float32]), label="dtype")
        result = self.attempt(lambda: core.CxImage(np.ones(shape, dtype), fmt))
        return self.hold(core.CxImage(2, 2) if isinstance(result, Exception) else result)

    @rule(image=images)
    def keep_view(self, image):
        self.views.append(np.asarray(image.obj))

    @rule(image=consumes(images))
    def drop_image(self, image):
        image.obj = None
        gc.collect()

    # ---- settings, companions, adapters ----------------------------------------------------

    @rule(
        target=companions,
        b=st.one_of(dio, cams),
        what=st.sampled_from(["settings", "serial", "encoder", "controller"]),
    )
    def companion(self, b, what):
        if what in ("serial", "encoder") and b.dio:
            what = "settings"
        cls = {
            "settings": PARAMS[b.kind],
            "serial": getattr(unit, b.kind + "Sio", PARAMS[b.kind]),
            "encoder": getattr(unit, b.kind + "Encoder", PARAMS[b.kind]),
            "controller": PARAMS[b.kind],
        }[what]

        def make():
            if what != "controller":
                return cls.from_(b.obj)
            c = cls()
            c.controller = b.obj
            return c

        result = self.attempt(make)
        self.after_step()
        return self.hold(None if isinstance(result, Exception) else result)

    @rule(c=companions, name=setting_names, value=setting_values, write=st.booleans())
    def setting_by_name(self, c, name, value, write):
        c = c.obj
        if not hasattr(c, "set_param"):
            return
        self.attempt(lambda: c.set_param(name, value) if write else c.get_param(name))
        self.after_step()

    @rule(c=companions, data=st.data(), value=setting_values)
    def typed_setting(self, c, data, value):
        c = c.obj
        props = {n: getattr(type(c), n) for n in dir(type(c))}
        names = [n for n, p in props.items() if isinstance(p, property) and p.fset]
        names = [n for n in names if n not in ("controller", "timeout")]
        if not names:
            return
        name = data.draw(st.sampled_from(sorted(names)), label="property")
        self.attempt(lambda: setattr(c, name, value))
        self.attempt(lambda: getattr(c, name))
        self.after_step()

    @rule(c=companions, index=st.integers(-1, 300), value=words)
    def register(self, c, index, value):
        c = c.obj
        if hasattr(c, "set_register"):
            self.attempt(lambda: c.set_register(index, value))
            self.attempt(lambda: c.get_register(index))
            self.attempt(lambda: unit.get_register(core.as_register(c), index))
            self.attempt(lambda: unit.get_device_module(core.as_device_module(c)))
        self.after_step()

    @rule(
        c=companions,
        op=st.sampled_from(["open", "close", "write", "read", "read_byte", "write_byte",
                            "purge", "mode"]),
        text=st.one_of(st.text(max_size=5), st.binary(max_size=5), st.none()),
        size=st.integers(-1, 6),
        fed=st.binary(max_size=6),
        where=st.tuples(st.integers(0, 1), st.integers(0, 1)),
    )  # fmt: skip
    def serial(self, c, op, text, size, fed, where):
        c = c.obj
        if not hasattr(c, "read_byte"):
            return
        kind = type(c).__name__[:5]
        self.attempt(lambda: setattr(c, "timeout", 5))
        sim.sio_feed(kind, *where, fed)
        calls = {
            "open": lambda: c.open(),
            "close": lambda: c.close(),
            "write": lambda: c.write(text),
            "read": lambda: c.read(size),
            "read_byte": lambda: c.read_byte(),
            "write_byte": lambda: c.write_byte(text),
            "purge": lambda: c.purge(),
            "mode": lambda: c.set_camera_mode(text),
        }
        self.attempt(calls[op])
        sim.sio_sent(kind, *where)
        self.after_step()

    @rule(
        c=companions,
        data=st.data(),
        pulses=st.integers(-1000, 1000),
        where=st.tuples(st.integers(0, 1), st.integers(0, 1)),
    )
    def encoder(self, c, data, pulses, where):
        c = c.obj
        if "Encoder" not in type(c).__name__:
            return
        sim.encoder_pulses(type(c).__name__[:5], *where, pulses)
        members = sorted(
            n for n, m in vars(type(c)).items() if callable(m) and not n.startswith("_")
        )
        members = [n for n in members if n not in ("from_", "get_param", "set_param")]
        name = data.draw(st.sampled_from(members), label="member")
        args = [unit.TxKX310EncoderStatus()] if name == "encoder_status" else []
        if name in ("start_abs",):
            args = [data.draw(st.booleans(), label="on")]
        if name == "send_command":
            args = [data.draw(setting_names, label="command")]
        self.attempt(lambda: getattr(c, name)(*args))
        self.after_step()

    @rule(c=consumes(companions))
    def drop_companion(self, c):
        c.obj = None
        gc.collect()

    @rule(
        b=st.one_of(dio, cams),
        op=st.sampled_from(["read", "read_bit", "write", "write_bit", "status", "status_bit",
                            "start", "stop", "abort", "is_running", "wait", "module"]),
        index=indexes,
        word=words,
        timeout=short_ms,
    )  # fmt: skip
    def adapters_and_functions(self, b, op, index, word, timeout):
        if not b.dio and self.usable(b):
            PARAMS[b.kind].from_(b.obj).set_param("Timeout", timeout)
        calls = {
            "read": lambda: unit.read(core.as_dio(b.obj)),
            "read_bit": lambda: unit.read(core.as_indexed_dio(b.obj), index),
            "write": lambda: unit.write(core.as_dio(b.obj), word),
            "write_bit": lambda: unit.write(core.as_indexed_dio(b.obj), index, bool(word)),
            "status": lambda: unit.write_status(core.as_dio(b.obj)),
            "status_bit": lambda: unit.write_status(core.as_indexed_dio(b.obj), index),
            "start": lambda: unit.start(core.as_video_control(b.obj)),
            "stop": lambda: unit.stop(core.as_video_control(b.obj)),
            "abort": lambda: unit.abort(core.as_video_control(b.obj)),
            "is_running": lambda: unit.is_running(core.as_video_control(b.obj)),
            "wait": lambda: unit.wait(core.as_video_control(b.obj)),
            "module": lambda: core.as_module(b.obj),
        }
        result = self.attempt(calls[op])
        if b.dio and not self.armed and not self.open_now(b) and not b.disposed:
            assert op in ("module",) or isinstance(result, Exception), "reached a closed board"
        self.after_step()

    @rule(
        device=st.sampled_from([1, 2, 4, 3, 0]),
        item=st.sampled_from(["SerialNumber", "DriverVersion", "Nothing", "", "a\0b"]),
        capacity=st.integers(0, 300),
    )
    def device_info(self, device, item, capacity):
        record = self.attempt(lambda: core.TxItemValue(capacity))
        if not isinstance(record, Exception):
            self.attempt(lambda: unit.get_device_info(core.ExDevice(device), item, record))
        self.after_step()

    # ---- the generic device ----------------------------------------------------------------

    @rule(
        target=videos,
        kind=st.sampled_from(CAPTURE_BOARDS),
        camera=camera_files(),
        where=st.tuples(st.integers(0, 3), st.integers(0, 1)),
    )
    def video_from_file(self, kind, camera, where):
        path = camera.write(self.folder.path, DEVICE_TYPE[kind])
        result = self.attempt(lambda: unit.Video.from_file(path, *where))
        self.after_step()
        return self.hold(unit.Video() if isinstance(result, Exception) else result)

    @rule(
        v=videos,
        op=st.sampled_from(["grab", "start", "abort", "wait", "status", "get", "set", "close",
                            "dispose", "validate", "controller"]),
        image=images,
        name=setting_names,
        value=setting_values,
    )  # fmt: skip
    def video(self, v, op, image, name, value):
        v, image = v.obj, image.obj
        self.attempt(lambda: v.set_param("Timeout", 20))
        calls = {
            "grab": lambda: v.grab(image),
            "start": lambda: v.start(image),
            "abort": lambda: v.abort(),
            "wait": lambda: v.wait(),
            "status": lambda: v.status(),
            "get": lambda: v.get_param(name),
            "set": lambda: v.set_param(name, value),
            "close": lambda: v.close(),
            "dispose": lambda: v.dispose(),
            "validate": lambda: v.validate(image),
            "controller": lambda: v.controller,
        }
        self.attempt(calls[op])
        self.after_step()

    @rule(v=consumes(videos))
    def drop_video(self, v):
        self.attempt(v.obj.abort)
        v.obj = None
        gc.collect()

    # ---- faults ----------------------------------------------------------------------------

    @precondition(lambda self: self.armed is None)
    @rule(op=st.sampled_from(ARMABLE))
    def fail_next(self, op):
        """The next step finds the library failing at that operation (faults left over are
        disarmed after it)."""
        self.armed = op
        sim.fail(op, status=1)


class ThreadsMachine(Machine):
    """Threads blocked in waits while the main thread acts on the boards."""

    def __init__(self):
        super().__init__()
        self.waiters = []
        self.objects = {}

    MARGIN = 3.0  # seconds past its time-out that a wait may take on a loaded machine

    @initialize(camera=camera_files(st.just(30), formats=["Mono8"], trigger_modes=(0, 1)))
    def rack(self, camera):
        for kind in DIO_BOARDS:
            b = getattr(unit, kind)()
            b.open(0)
            self.objects[kind] = b
        for kind in CAPTURE_BOARDS:
            self.objects[kind] = getattr(unit, kind).from_file(camera.write(self.folder.path))
        path = camera.write(self.folder.path, DEVICE_TYPE["KX210"])
        self.objects["Video"] = unit.Video.from_file(path, 1, 0)
        link = unit.KX210Sio.from_(self.objects["KX210"])
        link.open()
        self.objects["Sio"] = link
        self.image = core.CxImage(camera.width, camera.height)
        # Capturing without end (or waiting for triggers): a wait lasts until its time-out, an
        # abort, a close...
        for kind in CAPTURE_BOARDS:
            board = self.objects[kind]
            board.lock(core.CxImage(camera.width, camera.height))
            board.num = 0
            board.start()

    def params_of(self, kind):
        return PARAMS[kind].from_(self.objects[kind])

    # ---- waiters ---------------------------------------------------------------------------

    def spawn(self, what, timeout, call, waiting=None):
        """A thread in `call`; with `waiting` (the count of threads inside that board's wait),
        the next step comes once it really waits (or is done)."""
        if len(self.waiters) == 3:  # two or three threads wait at a time
            self.waiters.pop(0).finish()
        before = waiting() if waiting else 0
        thread = _Waiter(what, call, timeout / 1000 + self.MARGIN)
        self.waiters.append(thread)
        note(f"    {thread!r} started")
        while waiting and waiting() <= before and thread.is_alive():
            time.sleep(0.0005)

    @rule(kind=st.sampled_from(DIO_BOARDS), timeout=st.integers(5, 40))
    def wait_io(self, kind, timeout):
        board = self.objects[kind]
        self.attempt_setting(lambda: setattr(self.params_of(kind), "timeout", timeout))
        self.spawn(f"{kind}.wait", timeout, board.wait, lambda: sim.waiters(kind, 0))

    @rule(
        kind=st.sampled_from(CAPTURE_BOARDS),
        how=st.sampled_from(["wait", "wait_status", "wait_event", "module wait"]),
        timeout=st.integers(5, 40),
    )
    def wait_capture(self, kind, how, timeout):
        board = self.objects[kind]
        self.attempt_setting(lambda: self.params_of(kind).set_param("Timeout", timeout))
        kx310 = kind == "KX310"
        call = {
            "wait": (lambda: board.wait(timeout)) if kx310 else board.wait,
            "wait_status": (
                (lambda: board.wait_status(unit.TxKX310CaptureStatus(), timeout))
                if kx310
                else board.wait_status
            ),
            "wait_event": (lambda: board.wait_event(1, timeout, 0)) if kx310 else board.wait,
            "module wait": lambda: unit.wait(core.as_video_control(board)),
        }[how]
        self.spawn(f"{kind}.{how}", timeout, call, lambda: sim.capture_waiters(kind, 0, 0))

    @rule(
        how=st.sampled_from(["read", "read_byte"]),
        size=st.integers(1, 4),
        timeout=st.integers(5, 40),
    )
    def wait_serial(self, how, size, timeout):
        link = self.objects["Sio"]
        self.attempt_setting(lambda: setattr(link, "timeout", timeout))
        self.spawn(
            f"Sio.{how}", timeout, (lambda: link.read(size)) if how == "read" else link.read_byte
        )

    @rule(timeout=st.integers(5, 40))
    def wait_grab(self, timeout):
        video = self.objects["Video"]
        self.attempt_setting(lambda: video.set_param("Timeout", timeout))
        image = self.image
        self.spawn("Video.grab", timeout, lambda: video.grab(image))

    def attempt_setting(self, call):
        try:
            call()
        except ALLOWED as error:  # a board closed or disposed by an earlier step
            note(f"    setting: {type(error).__name__}: {error}")

    # ---- the main thread -------------------------------------------------------------------

    @rule(
        target_kind=st.sampled_from(DIO_BOARDS + CAPTURE_BOARDS + ("Video", "Sio")),
        action=st.sampled_from(["abort", "close", "dispose", "unlock", "stop", "reopen",
                                "start", "cancel", "renew", "trigger"]),
        board_id=st.integers(0, 3),
    )  # fmt: skip
    def act(self, target_kind, action, board_id):
        obj = self.objects[target_kind]
        io = target_kind in DIO_BOARDS
        calls = {
            "abort": getattr(obj, "abort", None),
            "close": getattr(obj, "close", None),
            "dispose": getattr(obj, "dispose", None),
            "unlock": getattr(obj, "unlock", None),
            "stop": getattr(obj, "stop", None),
            # An I/O board may be rebound to another id under its waiters.
            "reopen": (
                (lambda: obj.open(board_id))
                if io
                else (lambda: obj.open())
                if target_kind == "Sio"
                else (lambda: obj.open(0, 0))
                if target_kind in CAPTURE_BOARDS
                else None
            ),
            "start": (
                (lambda: (obj.lock(self.image), setattr(obj, "num", 0), obj.start()))
                if target_kind in CAPTURE_BOARDS
                else (lambda: obj.start(self.image))
                if target_kind == "Video"
                else None
            ),
            "cancel": (lambda: obj.cancel_wait_event(1)) if target_kind == "KX310" else None,
            "trigger": getattr(obj, "force_trigger", None),
            "renew": lambda: self.renew(target_kind),
        }
        call = calls[action]
        if call is not None:
            try:
                call()
            except ALLOWED as error:
                note(f"    {type(error).__name__}: {error}")

    def renew(self, kind):
        """A fresh object in place of `kind`'s (the old one is dropped while it may be waited
        on)."""
        if kind in DIO_BOARDS:
            b = getattr(unit, kind)()
            b.open(0)
        elif kind in CAPTURE_BOARDS:
            b = getattr(unit, kind)()
            b.open(0, 0)
        elif kind == "Sio":
            b = unit.KX210Sio.from_(self.objects["KX210"])
            b.open()
        else:
            return
        self.objects[kind] = b
        gc.collect()

    @rule(
        what=st.sampled_from(["feed", "inputs", "interrupt", "reset", "fault", "pulses"]),
        data=st.binary(min_size=1, max_size=4),
        kind=st.sampled_from(DIO_BOARDS),
    )
    def poke(self, what, data, kind):
        if what == "feed":
            sim.sio_feed("KX210", 0, 0, data)
        elif what == "inputs":
            if kind != "MB100":
                self.attempt_setting(lambda: setattr(self.params_of(kind), "di_enable", 0xFFFF))
            sim.set_inputs(kind, 0, int.from_bytes(data, "little"))
        elif what == "interrupt" and kind != "RM1600":
            sim.interrupt(kind, 0)
        elif what == "reset":
            sim.reset()
        elif what == "fault":
            sim.fail(f"Cx{kind}::Wait", status=1)
        elif what == "pulses":
            sim.encoder_pulses("KX210", 0, 0, len(data))

    @invariant()
    def every_wait_ends_in_time(self):
        for thread in list(self.waiters):
            thread.check()
            if not thread.is_alive():
                self.waiters.remove(thread)

    def teardown(self):
        for thread in self.waiters:
            thread.finish()
        self.waiters.clear()
        self.objects.clear()
        self.image = None
        self.leave()


class _Waiter(threading.Thread):
    """A thread inside one wait, which must end within `limit` seconds with a result or an
    allowed exception."""

    def __init__(self, what, call, limit):
        super().__init__(daemon=True)
        self.what, self.call, self.limit = what, call, limit
        self.error = None
        self.began = time.monotonic()
        self.start()

    def __repr__(self):
        return f"waiter({self.what})"

    def run(self):
        try:
            self.call()
        except BaseException as error:  # noqa: BLE001 - judged by check()
            self.error = error

    def check(self):
        if self.is_alive():
            assert time.monotonic() - self.began < self.limit, f"{self!r} still waits"
        elif self.error is not None and not isinstance(self.error, ALLOWED):
            raise AssertionError(f"{self!r} ended with {self.error!r}") from self.error

    def finish(self):
        self.join(max(0.0, self.began + self.limit - time.monotonic()))
        self.check()
        self.call = self.error = None  # the error's frames hold what the wait was called on


def test_rack():
    run(RackMachine, examples=100, steps=40)


def test_threads():
    run(ThreadsMachine, examples=60, steps=30)
