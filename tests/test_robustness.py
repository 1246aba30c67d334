"""What a careless or hostile script cannot do: crash the process through the collector or
through objects whose __init__ never ran, leak boards through reference cycles, lose Ctrl-C in a
wait or while a refusal's note is built, reach the library with a path, text or name cut at NUL,
a str that is no UTF-8, a truncated number or a non-integer as an output state, or crash its exit
with daemon threads busy or a board still capturing; and another interpreter gets the version
message."""

import gc
import re
import textwrap
import threading
import time
from decimal import Decimal
from fractions import Fraction

import numpy as np
import pytest

from helpers import child_lines, run_child
from pyzol import core, sim, unit

UNINITIALISED = "TypeError: uninitialised {} object: its __init__ was never called"


@pytest.fixture
def cam(camera_file, tmp_path):
    camera_file(Timeout=-1)  # waits without end unless aborted
    return tmp_path


# ---- the collector ---------------------------------------------------------------------------

# Each builds an owner of a Python subclass holding `held`, which the script also keeps. The owner
# is then put in a cycle of its own and collected: while its finaliser runs, the library object
# still exists and must still have what it uses; afterwards that has been let go.
COLLECTED = {
    "capturing board": """
        class Owner(unit.KX210):
            pass
        owner = Owner()
        owner.open(0, 0)
        owner.setup("cam.txt")
        held = core.CxImage(64, 48)
        owner.lock([held])
        owner.num = 0
        owner.start()
    """,
    "settings object": """
        class Owner(unit.KX210Param):
            pass
        held = unit.KX210()
        held.open(0, 0)
        owner = Owner()
        owner.controller = held
    """,
}


@pytest.mark.parametrize("case", COLLECTED)
def test_the_collector_releases_held_objects_after_their_user(cam, case):
    lines = child_lines(
        f"""
        import gc, sys, textwrap
        from pyzol import core, sim, unit
        exec(textwrap.dedent({COLLECTED[case]!r}))
        seen = []
        Owner.__del__ = lambda self: seen.append(sys.getrefcount(held))
        before = sys.getrefcount(held)
        owner.me = owner
        del owner
        gc.collect()
        print(seen == [before], sys.getrefcount(held) == before - 1, sim.live_objects())
        """,
        cam,
    )
    assert lines == ["True True 1"]


def test_a_capturing_board_in_a_cycle_is_collected_while_it_writes(tmp_path):
    # Nothing else refers to the images: freed before the board, they would be written into
    # after their end, which the sanitizer run reports (large frames keep the board writing).
    (tmp_path / "big.txt").write_text("Width=2048\nHeight=2048\nTimeout=-1\n")
    lines = child_lines(
        """
        import gc
        from pyzol import core, sim, unit
        class Board(unit.KX210):
            pass
        for _ in range(10):
            board = Board()
            board.open(0, 0)
            board.setup("big.txt")
            board.lock([core.CxImage(2048, 2048) for _ in range(3)])
            board.num = 0
            board.start()
            board.me = board
            del board
            gc.collect()
        print(sim.live_objects())
        """,
        tmp_path,
    )
    assert lines == ["0"]


def kx210_keeping_its_settings():
    class Board(unit.KX210):
        pass

    board = Board()
    board.open(1, 0)
    board.settings = unit.KX210Param.from_(board)


def mb100_keeping_its_settings():
    class Board(unit.MB100):
        pass

    board = Board()
    board.open(1)
    board.settings = unit.MB100Param.from_(board)


def kx310_pair_locked_onto_each_other():
    a, b = unit.KX310(), unit.KX310()
    a.open(1, 0)
    b.open(1, 1)
    a.lock(core.as_module(b))
    b.lock(core.as_module(a))


def board_keeping_its_own_module():
    class Board(unit.KX210):
        pass

    board = Board()
    board.open(1, 0)
    board.module = core.as_module(board)


@pytest.mark.parametrize(
    "build",
    [
        kx210_keeping_its_settings,
        mb100_keeping_its_settings,
        kx310_pair_locked_onto_each_other,
        board_keeping_its_own_module,
    ],
)
def test_cycles_through_held_references_are_collected(no_leaks, build):
    build()
    gc.collect()
    assert not sim.board_opened("MB100", 1)  # closed by its destruction (the MB100 case)


# ---- instances whose __init__ never ran ------------------------------------------------------

UNINIT_CASES = [
    ("unit.KX210.__new__(unit.KX210).open(0, 0)", "pyzol.unit.KX210"),
    ("unit.MB100.__new__(unit.MB100).is_valid", "pyzol.unit.MB100"),
    ("unit.KX210() == unit.KX210.__new__(unit.KX210)", "pyzol.unit.KX210"),
    ("unit.KX210(unit.KX210.__new__(unit.KX210))", "pyzol.unit.KX210"),
    ("unit.KX210Param.from_(unit.KX210.__new__(unit.KX210))", "pyzol.unit.KX210"),
    ("p = unit.KX210Param(); p.controller = unit.KX210.__new__(unit.KX210)", "pyzol.unit.KX210"),
    ("board.lock([core.CxImage.__new__(core.CxImage)])", "pyzol.core.CxImage"),
    # A subclass is judged once per list; each of its items is still checked.
    ("T = type('T', (core.CxImage,), {}); board.lock([T(8, 8), T.__new__(T)])", "T"),
    ("board.lock(core.CxImage.__new__(core.CxImage))", "pyzol.core.CxImage"),
    ("core.as_module(unit.KX210.__new__(unit.KX210))", "pyzol.unit.KX210"),
    ("core.as_dio(unit.MB100.__new__(unit.MB100))", "pyzol.unit.MB100"),
    ("unit.KX310().lock(core.IxModule.__new__(core.IxModule))", "pyzol.core.IxModule"),
    ("unit.TxKX210CaptureStatus() == unit.TxKX210CaptureStatus.__new__("
     "unit.TxKX210CaptureStatus)", "pyzol.unit.TxKX210CaptureStatus"),
    ("unit.MB100Param.__new__(unit.MB100Param).set_param('Timeout', 5)", "pyzol.unit.MB100Param"),
    ("repr(core.TxItemValue.__new__(core.TxItemValue))", "pyzol.core.TxItemValue"),
    ("core.TxItemValue.__new__(core.TxItemValue).value", "pyzol.core.TxItemValue"),
    ("unit.get_device_info(core.ExDevice.KX210, 'SerialNumber', "
     "core.TxItemValue.__new__(core.TxItemValue))", "pyzol.core.TxItemValue"),
    ("sim.image_bytes(core.CxImage.__new__(core.CxImage))", "pyzol.core.CxImage"),
]  # fmt: skip


@pytest.mark.parametrize("expression, type_name", UNINIT_CASES)
def test_uninitialised_instances_are_refused_with_nothing_called(tmp_path, expression, type_name):
    lines = child_lines(
        f"""
        from pyzol import core, sim, unit
        board = unit.KX210()
        board.open(0, 0)
        with sim.recording() as calls:
            try:
                exec({expression!r})
            except TypeError as e:
                print("TypeError:", e)
        print(calls)
        """,
        tmp_path,
    )
    assert lines == [UNINITIALISED.format(type_name), "[]"]


# ---- Ctrl-C during a wait ----------------------------------------------------------------------

# Each: set-up, the condition that the main thread really waits, the wait, then what shows the
# board still works.
CTRL_C = {
    "MB100.wait": (
        "board = unit.MB100(); board.open(0); settings = unit.MB100Param.from_(board); "
        "settings.timeout = -1",
        "sim.waiters('MB100', 0)",
        "board.wait()",
        "settings.timeout = 0; print(board.wait())",
    ),
    "DQ160.wait": (
        "board = unit.DQ160(); board.open(0); settings = unit.DQ160Param.from_(board); "
        "settings.timeout = -1",
        "sim.waiters('DQ160', 0)",
        "board.wait()",
        "settings.timeout = 0; print(board.wait().event_status)",
    ),
    "KX210.wait": (
        "board = unit.KX210.from_file('cam.txt'); board.lock([core.CxImage(64, 48)]); "
        "board.num = 0; board.start()",
        "sim.capture_waiters('KX210', 0, 0)",
        "board.wait()",
        "board.num = 1; board.start(); board.wait(); print(board.status())",
    ),
    "TR520.wait_status": (
        "board = unit.TR520.from_file('cam.txt'); board.lock([core.CxImage(64, 48)]); "
        "board.num = 0; board.start()",
        "sim.capture_waiters('TR520', 0, 0)",
        "board.wait_status(4_000_000_000)",
        "board.num = 1; board.start(); board.wait_status(); print(board.status())",
    ),
    "KX210Sio.read_byte": (
        "link = unit.KX210Sio.from_(unit.KX210.from_file('cam.txt')); link.open(); "
        "link.timeout = -1",
        "(time.sleep(0.2) or True)",  # no count of serial readers: give it time to get there
        "link.read_byte()",
        "link.open(); sim.sio_feed('KX210', 0, 0, b'k'); print(link.read_byte())",
    ),
    "KX310.wait_event": (
        "board = unit.KX310.from_file('cam.txt'); board.lock([core.CxImage(64, 48)])",
        "sim.capture_waiters('KX310', 0, 0)",
        "board.wait_event(2, -1, 0)",
        "board.num = 1; board.start(); print(board.wait(-1))",
    ),
}

CTRL_C_SCRIPT = """
import os, signal, threading, time
from pyzol import core, sim, unit
{setup}
{handler}
def press_ctrl_c():
    while not {waiting}:
        time.sleep(0.001)
    os.kill(os.getpid(), signal.SIGINT)
threading.Thread(target=press_ctrl_c, daemon=True).start()
try:
    {wait}
except BaseException as e:
    print(type(e).__name__, e)
{after}
"""


@pytest.mark.parametrize("case", CTRL_C)
def test_ctrl_c_ends_a_wait_of_the_main_thread(cam, case):
    setup, waiting, wait, after = CTRL_C[case]
    script = CTRL_C_SCRIPT.format(setup=setup, handler="", waiting=waiting, wait=wait,
                                  after=after)  # fmt: skip
    lines = child_lines(script, cam, timeout=30)
    expected_after = {"MB100.wait": "3", "DQ160.wait": "3", "KX310.wait_event": "True",
                      "KX210Sio.read_byte": "k"}  # fmt: skip
    assert lines[0] == "KeyboardInterrupt "
    assert lines[1] == expected_after.get(case, "2")  # timed out / done: the board still works


def test_ctrl_c_runs_the_python_level_handler(cam):
    setup, waiting, wait, after = CTRL_C["MB100.wait"]
    handler = (
        "def handler(signum, frame):\n"
        "    raise LookupError('handled')\n"
        "signal.signal(signal.SIGINT, handler)"
    )
    script = CTRL_C_SCRIPT.format(setup=setup, handler=handler, waiting=waiting, wait=wait,
                                  after=after)  # fmt: skip
    assert child_lines(script, cam, timeout=30) == ["LookupError handled", "3"]


def test_ctrl_c_leaves_waits_on_other_threads_alone(cam):
    lines = child_lines(
        """
        import os, signal, threading, time
        from pyzol import sim, unit
        board = unit.MB100()
        board.open(0)
        settings = unit.MB100Param.from_(board)
        settings.timeout = -1
        result = []
        waiter = threading.Thread(target=lambda: result.append(board.wait()))
        waiter.start()
        while not sim.waiters("MB100", 0):
            time.sleep(0.001)
        try:
            os.kill(os.getpid(), signal.SIGINT)
            time.sleep(30)
        except KeyboardInterrupt:
            print("KeyboardInterrupt")
        print(waiter.is_alive())
        board.abort()
        waiter.join()
        print(result)
        """,
        cam,
        timeout=30,
    )
    assert lines == ["KeyboardInterrupt", "True", "[4]"]


@pytest.mark.parametrize("kind", ["MB100", "RM1600", "DQ160"])
def test_an_io_board_rebound_under_its_waiters(kind):
    """Other threads wait, read and ask through a handle that the main thread opens again on a
    fresh rack and on other ids: every wait ends with an event code or a refusal of the handle,
    and nothing reaches a board that is gone."""
    board = getattr(unit, kind)()
    params = getattr(unit, kind + "Param")
    stop, codes, errors = threading.Event(), set(), []

    def use():
        while not stop.is_set():
            try:
                codes.add(int(board.wait() if kind == "MB100" else board.wait().event_status))
                if board.is_opened:
                    board.read()
            except RuntimeError as e:
                if e.status not in (core.ExStatus.NotOpened, core.ExStatus.Disposed):
                    errors.append(e)

    threads = [threading.Thread(target=use) for _ in range(3)]
    for i in range(300):
        sim.reset()
        board.open(i % 4)
        params.from_(board).timeout = 0  # a fresh board waits 1 s
        if i == 0:
            for t in threads:
                t.start()
    # On a loaded machine the waiters may not have had a turn yet: give them one.
    deadline = time.monotonic() + 30
    while 3 not in codes and time.monotonic() < deadline:
        time.sleep(0.001)
    stop.set()
    for t in threads:
        t.join()
    assert not errors
    assert codes <= {3, 4} and 3 in codes  # TIMEOUT, or ABORT when rebound mid-wait
    assert board.is_opened


# Building the note of a refusal runs Python code: difflib for the close names of a refused name,
# the repr of a refused value. A signal that arrives meanwhile (here raised from inside that code,
# so that its handler runs there) is the script's: Ctrl-C and a handler's own exception reach it
# instead of the refusal. Only a repr that fails by itself costs the refusal its note.
NOTE_SIGNALS = """
import difflib, signal
from pyzol import sim, unit
board = unit.KX210()
board.open(0, 0)
settings = unit.KX210Param.from_(board)
if {handled}:
    def handler(signum, frame):
        raise LookupError("handled")
    signal.signal(signal.SIGINT, handler)
def ctrl_c(*args):
    signal.raise_signal(signal.SIGINT)
    return []
class Value:
    def __repr__(self):
        return ctrl_c()
class Text(str):  # a text setting's value, which the library is made to refuse
    def __repr__(self):
        return ctrl_c()
class Broken:
    def __repr__(self):
        raise ValueError("no repr")
difflib.get_close_matches = ctrl_c
sim.fail("CxKX210Param::SetParam", status=4)
try:
    {call}
except BaseException as e:
    print(type(e).__name__, getattr(e, "__notes__", []))
"""
NOTE_CALLS = {
    "close names": "settings.get_param('Widht')",
    "value that does not convert": "settings.set_param('Width', Value())",
    "value the library refuses": "settings.set_param('CameraName', Text('x'))",
}


@pytest.mark.parametrize("handled", [False, True], ids=["Ctrl-C", "handler raises"])
@pytest.mark.parametrize("call", NOTE_CALLS)
def test_signals_while_a_note_is_built_reach_the_script(tmp_path, call, handled):
    lines = child_lines(NOTE_SIGNALS.format(handled=handled, call=NOTE_CALLS[call]), tmp_path)
    assert lines == [("LookupError" if handled else "KeyboardInterrupt") + " []"]


def test_a_repr_that_fails_by_itself_only_costs_the_note(tmp_path):
    call = "settings.set_param('Width', Broken())"
    lines = child_lines(NOTE_SIGNALS.format(handled=True, call=call), tmp_path)
    assert lines == ["RuntimeError []"]  # the cast error, as without a note


# ---- arguments that would reach the library changed ---------------------------------------------


def nul_path(tmp_path):
    return str(tmp_path / "cfg") + "\0.bak"


def opened_capture(kind):
    board = getattr(unit, kind)()
    board.open(0, 0)
    return board


def opened_dq160():
    board = unit.DQ160()
    board.open(0)
    return board


def serial_link(kind):
    link = getattr(unit, kind + "Sio").from_(opened_capture(kind))
    link.open()
    return link


def cut(text):
    """The text before the NUL: the camera file, for the members whose path is not the text."""
    return text.split("\0")[0]


# Every member that hands a text to the library as a C string, which would end at the NUL:
# (what to make first, the call with the text). Paths, serial texts, item names, text settings.
NUL_MEMBERS = {
    "KX210.from_file": (None, lambda _, p: unit.KX210.from_file(p)),
    "KX210.from_file bytes": (None, lambda _, p: unit.KX210.from_file(p.encode())),
    "KX210.from_file wide": (None, lambda _, p: unit.KX210.from_file(p, 0, 0)),
    "TR520.from_file": (None, lambda _, p: unit.TR520.from_file(p)),
    "KX310.setup": (lambda: opened_capture("KX310"), lambda b, p: b.setup(p)),
    "KX210.save": (lambda: opened_capture("KX210"), lambda b, p: b.save(p)),
    "KX210.save bytearray": (
        lambda: opened_capture("KX210"),
        lambda b, p: b.save(bytearray(p.encode())),
    ),
    "TR520.save_w": (lambda: opened_capture("TR520"), lambda b, p: b.save_w(p)),
    "DQ160.load": (opened_dq160, lambda b, p: b.load(p, 0)),
    "DQ160.load_w": (opened_dq160, lambda b, p: b.load_w(p, 0)),
    "DQ160.save": (opened_dq160, lambda b, p: b.save(p, 0)),
    "DQ160.save_w": (opened_dq160, lambda b, p: b.save_w(p, 0)),
    "KX210Sio.write": (lambda: serial_link("KX210"), lambda s, p: s.write(p)),
    "KX310Sio.write bytes": (lambda: serial_link("KX310"), lambda s, p: s.write(p.encode())),
    "KX210Sio.set_camera_mode": (lambda: serial_link("KX210"), lambda s, p: s.set_camera_mode(p)),
    "get_device_info": (
        core.TxItemValue,
        lambda r, p: unit.get_device_info(core.ExDevice.KX210, p, r),
    ),
    "get_xml_item": (core.TxItemValue, lambda r, p: unit.get_xml_item(cut(p), p, r)),
    "KX210Param.set_param": (
        lambda: unit.KX210Param.from_(opened_capture("KX210")),
        lambda s, p: s.set_param("CameraName", p),
    ),
    "TR520Param.set_param bytes": (
        lambda: unit.TR520Param.from_(opened_capture("TR520")),
        lambda s, p: s.set_param("CameraMode", p.encode()),
    ),
    # Setting and command names, which a note would otherwise show cut at the NUL too.
    "KX210Param.get_param name": (
        lambda: unit.KX210Param.from_(opened_capture("KX210")),
        lambda s, p: s.get_param(p),
    ),
    "MB100Param.set_param name bytes": (
        lambda: mb100_param(),
        lambda s, p: s.set_param(p.encode(), 1),
    ),
    "KX310Encoder.get_param name": (
        lambda: unit.KX310Encoder.from_(opened_capture("KX310")),
        lambda s, p: s.get_param(p),
    ),
    "Video.get_param name": (lambda: unit.Video.from_file("cfg"), lambda v, p: v.get_param(p)),
    "Video.set_param name": (lambda: unit.Video.from_file("cfg"), lambda v, p: v.set_param(p, 1)),
    "KX310Param.send_command name": (
        lambda: unit.KX310Param.from_(opened_capture("KX310")),
        lambda s, p: s.send_command(p),
    ),
    "Video.send_command name": (
        lambda: unit.Video.from_file("cfg"),
        lambda v, p: v.send_command(p),
    ),
    "Video.set_param": (
        lambda: unit.Video.from_file("cfg"),
        lambda v, p: v.set_param("CameraName", p),
    ),
}


# A str that strict UTF-8 refuses matches no overload, as under the binding library's own
# conversions, also where a wide-path overload could take it.
SURROGATE_MEMBERS = {
    "KX210.from_file": lambda: unit.KX210.from_file("\udcff"),
    "KX310.from_file wide": lambda: unit.KX310.from_file("\udcff", 0, 0),
    "TR520.setup": lambda: opened_capture("TR520").setup("\udcff"),
    "Video.from_file": lambda: unit.Video.from_file("\udcff"),
    "get_xml_item": lambda: unit.get_xml_item("\udcff", "Width", core.TxItemValue()),
}


@pytest.mark.parametrize("name", SURROGATE_MEMBERS)
def test_a_str_that_is_no_utf8_matches_no_overload(tmp_path, monkeypatch, name):
    monkeypatch.chdir(tmp_path)
    with sim.recording() as calls:
        with pytest.raises(TypeError, match="incompatible function arguments"):
            SURROGATE_MEMBERS[name]()
    assert [c for c in calls if "::Open(" not in c] == []


@pytest.mark.parametrize("name", NUL_MEMBERS)
def test_texts_with_nul_are_refused_before_the_library(tmp_path, camera_file, monkeypatch, name):
    monkeypatch.chdir(tmp_path)
    written = (tmp_path / camera_file("cfg")).read_text()
    make, call = NUL_MEMBERS[name]
    target = make() if make else None
    with sim.recording() as calls:
        with pytest.raises(ValueError, match="^embedded null character$"):
            call(target, nul_path(tmp_path))
    # Only Video asks the library first which board's settings table applies.
    looked_up = ("CxVideo::DeviceType()", "CxKX210Param::From(CxVideo#")
    assert [c for c in calls if not c.startswith(looked_up)] == []
    assert (tmp_path / "cfg").read_text() == written
    for kind in ("KX210", "KX310"):
        assert sim.sio_sent(kind, 0, 0) == b""


def mb100():
    board = unit.MB100()
    board.open(0)
    return board


def mb100_param():
    return unit.MB100Param.from_(mb100())


def rm1600_param():
    board = unit.RM1600()
    board.open(0)
    return unit.RM1600Param.from_(board)


# Every kind of integer parameter: member arguments (signed, unsigned), typed properties,
# settings by name, and the image constructor of pyzol.core.
INTEGER_TARGETS = {
    "unsigned argument": (mb100, lambda b, v: b.write(v)),
    "signed argument": (mb100, lambda b, v: b.write(v, True)),
    "signed property": (mb100_param, lambda p, v: setattr(p, "timeout", v)),
    "unsigned property": (rm1600_param, lambda p, v: setattr(p, "di_enable", v)),
    "signed by name": (mb100_param, lambda p, v: p.set_param("Timeout", v)),
    "unsigned by name": (mb100_param, lambda p, v: p.set_param("DIEnable", v)),
    "board property": (lambda: opened_capture("KX210"), lambda b, v: setattr(b, "num", v)),
    "image size": (lambda: None, lambda _, v: core.CxImage(v, 4)),
}


@pytest.mark.parametrize("value", [np.float32(5.9), Decimal("-0.5"), Fraction(7, 2)], ids=repr)
@pytest.mark.parametrize("target", INTEGER_TARGETS)
def test_non_integral_numbers_are_refused_like_float(target, value):
    make, call = INTEGER_TARGETS[target]
    obj = make()
    with pytest.raises(Exception) as as_float:
        call(obj, 5.9)
    with sim.recording() as calls:
        with pytest.raises(type(as_float.value)) as refused:
            call(obj, value)
    assert calls == []

    def first_line(error):  # the cast error names the type it was given
        return re.sub(r"<class '[\w.]+'>", "<class>", str(error).split("\n")[0])

    assert first_line(refused.value) == first_line(as_float.value)


@pytest.mark.parametrize("value", [np.int64(3), np.uint8(3), True], ids=repr)
@pytest.mark.parametrize("target", INTEGER_TARGETS)
def test_integers_of_every_kind_pass(target, value):
    make, call = INTEGER_TARGETS[target]
    call(make(), value)


OUTPUT_WRITES = {
    "member": lambda board, state: board.write(3, state),
    "function": lambda board, state: unit.write(core.as_indexed_dio(board), 3, state),
}


@pytest.mark.parametrize("write", OUTPUT_WRITES)
@pytest.mark.parametrize("name", ["MB100", "RM1600", "DQ160"])
def test_only_bools_and_integers_are_output_states(name, write):
    board = getattr(unit, name)()
    board.open(0)
    write = OUTPUT_WRITES[write]
    with sim.recording() as calls:
        for state in [None, 0.4, Decimal(1), np.float32(1.0), Fraction(1, 2), "1"]:
            with pytest.raises(TypeError, match="incompatible function arguments"):
                write(board, state)
    assert calls == []
    for state, expected in [(1, 8), (np.bool_(False), 0), (np.int8(2), 8), (True, 8), (0, 0)]:
        write(board, state)
        assert sim.outputs(name, 0) == expected


# Scripts that end while their daemon threads are busy in the library or in the binding's own
# code, or with a board they never closed still capturing: the process exits cleanly, and the
# sanitizer run (which runs these children under it too) reports nothing on their stderr.
EXITS = {
    "a thread waiting": """
        import threading, time
        from pyzol import sim, unit
        board = unit.MB100()
        board.open(0)
        unit.MB100Param.from_(board).timeout = -1
        threading.Thread(target=board.wait, daemon=True).start()
        while not sim.waiters("MB100", 0):
            time.sleep(0.001)
        """,
    # A refusal runs Python code for its note, here one that goes on (a slow search, a slow
    # repr): the interpreter ends such a thread by force when it next asks for the interpreter
    # lock, in the middle of the binding's frames.
    "threads in the close-name search of a refused name": """
        import difflib, threading, time
        from pyzol import unit
        board = unit.KX210()
        board.open(0, 0)
        settings = unit.KX210Param.from_(board)
        inside = threading.Semaphore(0)
        def search(*args):
            inside.release()
            while True:
                time.sleep(0.001)  # takes the interpreter lock again and again
        difflib.get_close_matches = search
        for _ in range(4):
            threading.Thread(target=settings.get_param, args=("Widht",), daemon=True).start()
        for _ in range(4):
            inside.acquire()
        """,
    "threads in the repr of a refused value": """
        import threading, time
        from pyzol import unit
        board = unit.KX210()
        board.open(0, 0)
        settings = unit.KX210Param.from_(board)
        inside = threading.Semaphore(0)
        class Value:
            def __repr__(self):
                inside.release()
                while True:
                    time.sleep(0.001)
        for _ in range(4):
            args = ("Width", Value())
            threading.Thread(target=settings.set_param, args=args, daemon=True).start()
        for _ in range(4):
            inside.acquire()
        """,
    # The waiting thread's frame keeps the board, which is never closed: its acquisition thread
    # still writes frames while the process runs its exit handlers.
    "a board capturing, a thread waiting": r"""
        import threading, time
        import numpy, tifffile
        from pyzol import core, sim, unit
        open("big.txt", "w").write("Width=2048\nHeight=2048\nTimeout=-1\n")
        board = unit.KX210.from_file("big.txt")
        board.lock([core.CxImage(2048, 2048) for _ in range(3)])
        board.num = 0
        board.start()
        dio = unit.RM1600()
        dio.open(0)
        unit.RM1600Param.from_(dio).timeout = -1
        def wait(dio=dio, board=board):
            dio.wait()
        threading.Thread(target=wait, daemon=True).start()
        while not sim.waiters("RM1600", 0) or board.query_status().total_frame_count < 2:
            time.sleep(0.001)
        """,
}


@pytest.mark.parametrize("case", EXITS)
def test_a_script_ending_with_busy_threads_exits_cleanly(tmp_path, case):
    out = run_child(textwrap.dedent(EXITS[case]) + 'print("exiting")\n', tmp_path, timeout=60)
    assert (out.returncode, out.stdout, out.stderr) == (0, "exiting\n", "")
