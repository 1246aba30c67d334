"""MB100 board and MB100Param, through the public API, watched through the journal."""

import gc
import subprocess
import sys
import textwrap
import weakref

import pytest

from helpers import Background, module_error, throw_line, wait_for_waiter
from pyzol import sim, unit


@pytest.fixture
def board():
    b = unit.MB100()
    b.open(0)
    return b


def test_ports_round_trip_unsigned_words(board):
    sim.set_loopback("MB100", 0, True)
    board.write(0x8000_0001)
    assert board.write_status() == 0x8000_0001 == 2147483649
    assert board.read() == 2147483649
    assert board.read(0) is True and board.read(1) is False
    board.write(1, True)
    assert board.write_status(1) is True
    assert sim.outputs("MB100", 0) == 0x8000_0003


def test_inputs_come_from_the_simulation(board):
    sim.set_inputs("MB100", 0, 0xFFFF_FFFF)
    assert board.read() == 4294967295
    assert board.read(31) is True


@pytest.mark.parametrize(
    "call, entry",
    [
        (lambda b: b.read(), "CxMB100::Read(out)"),
        (lambda b: b.read(3), "CxMB100::Read(3, out)"),
        (lambda b: b.write(4294967295), "CxMB100::Write(4294967295)"),
        (lambda b: b.write(3), "CxMB100::Write(3)"),
        (lambda b: b.write(3, True), "CxMB100::Write(3, true)"),
        (lambda b: b.write(0, False), "CxMB100::Write(0, false)"),
        (lambda b: b.write_status(), "CxMB100::WriteStatus(out)"),
        (lambda b: b.write_status(7), "CxMB100::WriteStatus(7, out)"),
        (lambda b: b.is_opened, "CxMB100::IsOpened()"),
        (lambda b: b.is_valid, "CxMB100::IsValid()"),
        (lambda b: b.abort(), "CxMB100::Abort()"),
        (lambda b: b.close(), "CxMB100::Close()"),
        (lambda b: b.dispose(), "CxMB100::Dispose()"),
        (lambda b: b == b, "CxMB100::operator==(CxMB100#1)"),
        (lambda b: b != b, "CxMB100::operator!=(CxMB100#1)"),
    ],
)
def test_overloads_reach_the_right_operation(board, call, entry):
    with sim.recording() as calls:
        call(board)
    assert calls == [entry]


@pytest.mark.parametrize(
    "call",
    [
        lambda b: b.write(-1),
        lambda b: b.write(4294967296),
        lambda b: b.write(1.5),
        lambda b: b.write("1"),
        lambda b: b.read(2**31),
        lambda b: b.read(1, 2),
        lambda b: b.open(),
        lambda b: b.open(id=1),
        lambda b: unit.MB100(b),
        lambda b: unit.MB100.wait(None),
        lambda b: unit.MB100.read(None, 0),
        lambda b: unit.MB100.dispose(None),
        lambda b: unit.MB100.is_opened.fget(None),
        lambda b: unit.MB100.read(unit.MB100Param()),
    ],
)
def test_bad_arguments_raise_type_error_and_call_nothing(board, call):
    with sim.recording() as calls:
        with pytest.raises(TypeError):
            call(board)
    assert calls == []


@pytest.mark.parametrize(
    "op, call",
    [
        ("Open", lambda b: b.open(0)),
        ("Close", lambda b: b.close()),
        ("IsOpened", lambda b: b.is_opened),
        ("IsValid", lambda b: b.is_valid),
        ("Dispose", lambda b: b.dispose()),
        ("Read", lambda b: b.read()),
        ("Read", lambda b: b.read(1)),
        ("Write", lambda b: b.write(1)),
        ("Write", lambda b: b.write(1, True)),
        ("WriteStatus", lambda b: b.write_status()),
        ("WriteStatus", lambda b: b.write_status(1)),
        ("Wait", lambda b: b.wait()),
        ("Abort", lambda b: b.abort()),
        ("operator==", lambda b: b == b),
    ],
)
def test_faults_in_every_operation_are_translated(board, op, call):
    sim.fail(f"CxMB100::{op}", status=5, function="Open", file="dev.c", line=42)
    with pytest.raises(RuntimeError) as info:
        call(board)
    assert str(info.value) == "Code:5 Line:42 Function:Open File:dev.c"


def test_comparisons_and_hash(board):
    other = unit.MB100()
    other.open(0)
    assert board == other  # the same rack board
    third = unit.MB100()
    third.open(1)
    assert board != third
    assert (board == 5) is False and (board != 5) is True
    with pytest.raises(TypeError):
        hash(board)


def test_input_edge_ends_wait_with_di(board):
    settings = unit.MB100Param.from_(board)
    settings.timeout = 5000
    settings.set_param("DIEnable", 0x10)
    settings.set_param("DIEdge", 0x10)
    waiter = Background(board.wait)
    wait_for_waiter("MB100", 0)
    sim.set_inputs("MB100", 0, 0x10)
    waiter.join(5)
    assert waiter.result == int(unit.EventStatus.DI)


def test_daemon_thread_in_a_wait_does_not_break_interpreter_exit():
    code = """
        import threading, time
        from pyzol import sim, unit
        b = unit.MB100(); b.open(0)
        unit.MB100Param.from_(b).timeout = 2000
        threading.Thread(target=b.wait, daemon=True).start()
        while sim.waiters("MB100", 0) == 0:
            time.sleep(0.001)
        print("exiting")
    """
    out = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        capture_output=True,
        text=True,
        timeout=60,
    )
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == "exiting"


# ---- MB100Param: the companion conventions --------------------------------------------------


def test_from_and_controller_identity(board):
    p = unit.MB100Param.from_(board)
    assert p.controller is board
    assert p.is_valid
    q = unit.MB100Param()
    assert q.controller is None and q.is_valid is False
    q.controller = board
    assert q.controller is board
    with sim.recording() as calls:
        q.controller = None
    assert calls == ["CxMB100Param::Controller(null)"]
    assert q.controller is None


@pytest.mark.parametrize("bad", [42, "MB100", unit.MB100Param(), unit.RM1600WaitStatus()])
def test_from_and_controller_refuse_other_types_with_the_cast_error(bad):
    text = (
        r"^Unable to cast Python instance of type <class '[\w.]+'> to C\+\+ type '\?' "
        r"\(#define PYBIND11_DETAILED_ERROR_MESSAGES or compile in debug mode for details\)$"
    )
    p = unit.MB100Param()
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=text):
            unit.MB100Param.from_(bad)
        with pytest.raises(RuntimeError, match=text):
            p.controller = bad
    assert calls == []


def test_from_none_passes_null(board):
    with sim.recording() as calls:
        p = unit.MB100Param.from_(None)
    assert calls == ["CxMB100Param::From(null)"]
    assert p.controller is None


def test_companion_keeps_its_board_alive():
    b = unit.MB100()
    b.open(1)
    watch = weakref.ref(b)
    p = unit.MB100Param.from_(b)
    del b
    gc.collect()
    assert watch() is not None
    p.timeout = 77  # still reaches a live board
    assert p.timeout == 77
    q = unit.MB100Param()
    q.controller = watch()
    p.controller = None
    gc.collect()
    assert watch() is not None  # q holds it now
    q.controller = None
    gc.collect()
    assert watch() is None


def test_param_settings_by_name_and_typed(board):
    p = unit.MB100Param.from_(board)
    p.set_param("Timeout", -1)
    assert p.timeout == -1
    p.int_edge = 1
    assert p.get_param("INTEdge") == 1
    p.set_param("DIEnable", 4294967295)
    assert p.get_param("DIEnable") == 4294967295
    with sim.recording() as calls:
        p.set_param("DIWaitMode", 2)
    assert calls == ['CxMB100Param::SetParam("DIWaitMode", 2, model(8,1))']
    p.set_register(3, 4294967295)
    assert p.get_register(3) == 4294967295


@pytest.mark.parametrize(
    "member, call",
    [
        ("get_param", lambda p: p.get_param("DIWaitMode")),
        ("get_param", lambda p: p.get_param("timeout")),
        ("set_param", lambda p: p.set_param("INTStatus", 1)),
        ("set_param", lambda p: p.set_param("Nothing", 1.5)),
        ("send_command", lambda p: p.send_command("ClearTriggerMask")),
    ],
)
def test_param_refusals_come_from_their_own_site(board, member, call):
    p = unit.MB100Param.from_(board)
    line = throw_line("pyzol/zol_unit/params/by_name.h", member)
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=module_error(1, "operator()", line)):
            call(p)
    assert calls == []


@pytest.mark.parametrize("value", [-1, 4294967296, 1.5, "1"])
def test_param_bad_value_is_a_cast_error(board, value):
    p = unit.MB100Param.from_(board)
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match="^Unable to cast Python instance"):
            p.set_param("DIEnable", value)
    assert calls == []
