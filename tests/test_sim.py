"""pyzol.sim: the journal, fault injection, live objects and the simulated I/O boards."""

import gc
import threading

import pytest

import pyzol  # noqa: F401  (imports core, then unit)
from helpers import opened, wait_for_waiter
from pyzol import core, sim, unit

# ---- journal -------------------------------------------------------------------------------------


def test_journal_records_only_while_on():
    board = unit.MB100()
    sim.set_journal(False)
    assert not sim.journal_on()
    board.open(0)
    assert sim.journal() == []
    sim.set_journal(True)
    assert sim.journal_on()
    board.write(5)
    assert sim.journal() == ["CxMB100::Write(5)"]
    sim.clear_journal()
    assert sim.journal() == []


def test_recording_collects_the_calls_of_the_block():
    sim.set_journal(False)
    board = unit.MB100()
    with sim.recording() as calls:
        assert calls == []
        assert sim.journal_on()
        board.open(0)
    assert calls == ["CxMB100::Open(0)"]
    assert not sim.journal_on()


def test_recording_keeps_the_journal_on_when_it_was():
    sim.set_journal(True)
    board = opened("MB100")
    with sim.recording() as calls:
        board.write(1)
    assert calls == ["CxMB100::Write(1)"]
    assert sim.journal_on()
    assert sim.journal() == ["CxMB100::Open(0)", "CxMB100::Write(1)"]


def test_recording_fills_the_list_when_the_block_raises():
    sim.set_journal(False)
    board = unit.MB100()
    with pytest.raises(RuntimeError, match=r"^Code:6 "):  # not opened
        with sim.recording() as calls:
            board.read()
    assert calls == ["CxMB100::Read(out)"]
    assert not sim.journal_on()


@pytest.mark.parametrize("forget", [sim.clear_journal, sim.reset], ids=["clear", "reset"])
def test_a_journal_position_marks_the_same_point_after_the_journal_is_cleared(forget):
    board = opened("MB100")
    position = sim.journal_size()
    board.write(2)
    forget()
    board.write(3)
    assert sim.journal_size() == position + 2
    assert sim.journal_from(position) == sim.journal_from(0) == ["CxMB100::Write(3)"]
    assert sim.journal_from(position + 2) == []


def test_serial_numbers_count_from_one_after_reset():
    unit.MB100()
    unit.MB100()
    sim.reset()
    board = unit.MB100()
    with sim.recording() as calls:
        unit.MB100Param.from_(board)
    assert calls == ["CxMB100Param::From(CxMB100#1)"]


# ---- faults --------------------------------------------------------------------------------------


def test_fail_throws_the_given_exception_once():
    board = unit.MB100()
    sim.fail("CxMB100::Open", status=5, function="Open", file="dev.c", line=42)
    assert sim.pending_faults("CxMB100::Open") == 1
    with sim.recording() as calls:
        with pytest.raises(RuntimeError) as info:
            board.open(0)
    assert str(info.value) == "Code:5 Line:42 Function:Open File:dev.c"
    assert calls == ["CxMB100::Open(0)"]  # journaled although it threw
    assert sim.pending_faults("CxMB100::Open") == 0
    board.open(0)
    assert board.is_opened


def test_fail_defaults():
    board = opened("MB100")
    sim.fail("CxMB100::Write")
    with pytest.raises(RuntimeError) as info:
        board.write(1)
    assert str(info.value) == "Code:1 Line:0 Function:Write File:zolsim/fault.cpp"


def test_fail_with_null_function_and_file():
    board = opened("MB100")
    sim.fail("CxMB100::Write", status=2, function=None, file=None, line=7)
    with pytest.raises(RuntimeError) as info:
        board.write(1)
    assert str(info.value) == "Code:2 Line:7 Function: File:"


def test_fail_counts_calls_of_any_overload():
    board = opened("MB100")
    sim.fail("CxMB100::Read", count=2)
    with pytest.raises(RuntimeError):
        board.read()
    with pytest.raises(RuntimeError):
        board.read(0)
    assert board.read() == 0


def test_clear_faults_disarms_everything():
    board = opened("MB100")
    sim.fail("CxMB100::Write", count=3)
    sim.fail("CxMB100::Read")
    sim.clear_faults()
    assert sim.pending_faults("CxMB100::Write") == 0
    board.write(1)
    board.read()


@pytest.mark.parametrize(
    "text, error", [(dict(function=3), TypeError), (dict(file="dev\0.c"), ValueError)]
)
def test_fail_refuses_a_text_that_is_not_str_or_would_be_cut(text, error):
    with pytest.raises(error):
        sim.fail("CxMB100::Open", **text)
    assert sim.pending_faults("CxMB100::Open") == 0


@pytest.mark.parametrize(
    "op, count, says",
    [
        ("CxNope::Start", 1, "no operation 'CxNope::Start' in the simulated library"),
        ("CxDIOPort::Open", 1, "(no object of it is a CxDIOPort)"),  # a base class only
        ("CxKX210::Nope", 1, "(CxKX210 has Abort, Close, Dispose, "),
        ("CxMB100::open", 1, "CxMB100 has Abort, "),
        ("Open", 1, "named 'Class::Operation'"),
        ("CxMB100::Open", 0, "count must be at least 1, got 0"),
        ("CxMB100::Open", -1, "count must be at least 1, got -1"),
    ],
)
def test_fail_refuses_a_fault_that_could_never_fire(op, count, says):
    with pytest.raises(ValueError) as info:
        sim.fail(op, count=count)
    assert says in str(info.value)
    assert sim.pending_faults(op) == 0


# ---- objects -------------------------------------------------------------------------------------


def test_live_objects_follow_python_objects():
    gc.collect()
    before = sim.live_objects()
    board = unit.MB100()
    settings = unit.MB100Param()
    assert sim.live_objects() == before + 2
    del board, settings
    gc.collect()
    assert sim.live_objects() == before


# ---- I/O boards ----------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "fmt, layout", [("Mono8", "Mono8"), ("Mono12", "Mono16"), ("RGB8", "RGB8")]
)
def test_draw_test_frame_stamps_the_frame_number(fmt, layout):
    image = core.CxImage(32, 24, getattr(core.ExPixelFormat, layout))
    sim.draw_test_frame(image, 0x0102_0304, fmt)
    assert sim.image_bytes(image)[:4] == bytes([4, 3, 2, 1])  # little-endian


@pytest.mark.parametrize(
    "fmt, layout", [("Mono9x", "Mono8"), ("Mono8", "Mono16"), ("RGB8", "BGR8")]
)
def test_draw_test_frame_refuses_a_format_it_does_not_draw_into_that_image(fmt, layout):
    image = core.CxImage(32, 24, getattr(core.ExPixelFormat, layout))
    with pytest.raises(RuntimeError, match=r"^Code:4 Line:\d+ Function:DrawTestFrame "):
        sim.draw_test_frame(image, 7, fmt)
    assert sim.image_bytes(image) == bytes(image.size)  # untouched


def test_inputs_outputs_and_loopback():
    board = opened("MB100", 1)
    sim.set_inputs("MB100", 1, 0x80000001)
    assert sim.inputs("MB100", 1) == 0x80000001
    assert board.read() == 0x80000001
    board.write(5)
    assert sim.outputs("MB100", 1) == 5
    sim.set_loopback("MB100", 1, True)
    assert board.read() == 5
    assert sim.inputs("MB100", 1) == 5


def test_waiters_and_abort_from_another_thread():
    board = opened("MB100")
    settings = unit.MB100Param.from_(board)
    settings.timeout = 10000  # long enough that only the abort ends the wait
    result = []
    waiter = threading.Thread(target=lambda: result.append(board.wait()), daemon=True)
    waiter.start()
    try:
        wait_for_waiter("MB100", 0)
        assert sim.waiters("MB100", 0) == 1
    finally:
        board.abort()
        waiter.join(10)
    assert result == [int(unit.EventStatus.ABORT)]
    assert sim.waiters("MB100", 0) == 0


def test_control_errors_read_like_library_errors():
    with pytest.raises(RuntimeError, match=r"^Code:5 Line:\d+ Function:\S* File:"):
        sim.inputs("MB100", 4)  # ids are 0 to 3
    with pytest.raises(RuntimeError, match=r"^Code:\d+ Line:"):
        sim.outputs("XY999", 0)
