"""The three I/O boards (MB100, RM1600, DQ160), the members they share and the three DIO
settings objects, through the public API, watched through the journal."""

import gc
import weakref

import pytest

from helpers import (
    CAPTURE_BOARDS,
    Background,
    child_lines,
    module_error,
    opened,
    wait_for_waiter,
)
from pyzol import sim, unit

BOARDS = ["MB100", "RM1600", "DQ160"]
PARAMS = {"MB100": unit.MB100Param, "RM1600": unit.RM1600Param, "DQ160": unit.DQ160Param}


def wait_code(result):
    """The event code of a wait, whether the board reports an int or a record."""
    return result if isinstance(result, int) else result.event_status


@pytest.mark.parametrize("name", BOARDS)
def test_port_members_share_their_behaviour(name):
    board = opened(name, 1)
    with sim.recording() as calls:
        board.write(0x8000_0000)
        board.write(2, True)
        assert board.write_status() == 0x8000_0004
        assert board.write_status(2) is True
        sim.set_inputs(name, 1, 0xF000_000F)
        assert board.read() == 0xF000_000F
        assert board.read(31) is True and board.read(27) is False
    cls = "Cx" + name
    assert calls == [
        f"{cls}::Write(2147483648)",
        f"{cls}::Write(2, true)",
        f"{cls}::WriteStatus(out)",
        f"{cls}::WriteStatus(2, out)",
        f"{cls}::Read(out)",
        f"{cls}::Read(31, out)",
        f"{cls}::Read(27, out)",
    ]
    sim.set_loopback(name, 1, True)
    assert board.read() == sim.outputs(name, 1) == 0x8000_0004


@pytest.mark.parametrize("name", BOARDS)
@pytest.mark.parametrize(
    "call, entry",
    [
        (lambda b: b.write(4294967295), "Write(4294967295)"),
        (lambda b: b.write(3), "Write(3)"),
        (lambda b: b.write(0, False), "Write(0, false)"),
        (lambda b: b.is_opened, "IsOpened()"),
        (lambda b: b.is_valid, "IsValid()"),
        (lambda b: b.abort(), "Abort()"),
        (lambda b: b.close(), "Close()"),
        (lambda b: b.dispose(), "Dispose()"),
        (lambda b: b == b, "operator==({cls}#1)"),
        (lambda b: b != b, "operator!=({cls}#1)"),
    ],
)
def test_overloads_reach_the_right_operation(name, call, entry):
    board = opened(name)
    with sim.recording() as calls:
        call(board)
    assert calls == [f"Cx{name}::" + entry.format(cls="Cx" + name)]


@pytest.mark.parametrize("name", BOARDS)
def test_comparisons(name):
    board = opened(name)
    assert board == opened(name)  # the same rack board
    assert board != opened(name, 1)
    assert (board == 5) is False and (board != 5) is True


@pytest.mark.parametrize("name", BOARDS + list(CAPTURE_BOARDS))
def test_a_closed_handle_stays_closed_when_another_handle_opens_its_board(name):
    def refused(board):
        with pytest.raises(RuntimeError) as error:
            board.write(5) if name in BOARDS else board.start()
        return str(error.value)

    first = refused(getattr(unit, name)())  # before any open
    a = opened(name, 2)
    a.close()
    if name in BOARDS:
        assert not sim.board_opened(name, 2)
    b = opened(name, 2)
    assert a.is_opened is False and b.is_opened
    assert refused(a) == first
    a.close()
    assert b.is_opened
    if name in BOARDS:
        assert sim.board_opened(name, 2)
        assert sim.outputs(name, 2) == 0
        b.write(7)
        assert sim.outputs(name, 2) == 7
    a.open(2, *([] if name in BOARDS else [0]))
    assert a.is_opened


@pytest.mark.parametrize("name", BOARDS)
def test_class_shape(name):
    cls = getattr(unit, name)
    members = [n for n in vars(cls) if not n.startswith("_") or n in ("__eq__", "__ne__")]
    extra = {"MB100": ["wait", "abort"], "RM1600": ["wait", "abort"],
             "DQ160": ["load", "load_w", "save", "save_w", "wait", "abort"]}[name]  # fmt: skip
    assert members == ["__eq__", "__ne__", "dispose", "is_valid", "open", "close",
                       "is_opened", "read", "write", "write_status"] + extra  # fmt: skip
    with pytest.raises(TypeError):
        cls(cls())  # no copying constructor on the I/O boards
    with pytest.raises(TypeError):
        hash(cls())


def test_rm1600_open_defaults_to_board_0():
    with sim.recording() as calls:
        unit.RM1600().open()
        unit.RM1600().open(1)
        unit.RM1600().open(id=1)
    assert calls == ["CxRM1600::Open(0)", "CxRM1600::Open(1)", "CxRM1600::Open(1)"]
    with pytest.raises(TypeError):
        unit.RM1600().open(board=1)


@pytest.mark.parametrize("name", ["MB100", "DQ160"])
def test_open_needs_an_id_elsewhere(name):
    with sim.recording() as calls:
        with pytest.raises(TypeError):
            getattr(unit, name)().open()
        with pytest.raises(TypeError):
            getattr(unit, name)().open(id=1)
    assert calls == []


@pytest.mark.parametrize("name, record", [("RM1600", unit.RM1600WaitStatus),
                                          ("DQ160", unit.DQ160WaitStatus)])  # fmt: skip
def test_input_edge_ends_a_wait_with_its_words(name, record):
    board = opened(name)
    settings = PARAMS[name].from_(board)
    settings.timeout = 5000
    settings.di_enable = 0x0000_0300
    settings.di_edge = 0x0000_0300
    sim.set_inputs(name, 0, 0x1000_0000)
    waiter = Background(board.wait)
    wait_for_waiter(name, 0)
    sim.set_inputs(name, 0, 0x1000_0200)
    waiter.join(5)
    result = waiter.result
    assert type(result) is record
    assert (result.event_status, result.di_event_status, result.di) == (2, 0x200, 0x1000_0200)
    board.close()
    board.dispose()
    assert (result.event_status, result.di_event_status, result.di) == (2, 0x200, 0x1000_0200)
    other = unit.DQ160WaitStatus if record is unit.RM1600WaitStatus else unit.RM1600WaitStatus
    assert result != other(2, 0x200, 0x1000_0200)


def test_input_edge_ends_an_mb100_wait_with_di():
    board = opened("MB100")
    settings = unit.MB100Param.from_(board)
    settings.timeout = 5000
    settings.set_param("DIEnable", 0x10)
    settings.set_param("DIEdge", 0x10)
    waiter = Background(board.wait)
    wait_for_waiter("MB100", 0)
    sim.set_inputs("MB100", 0, 0x10)
    waiter.join(5)
    assert waiter.result == int(unit.EventStatus.DI)


def test_daemon_thread_in_a_wait_does_not_break_interpreter_exit(tmp_path):
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
    assert child_lines(code, tmp_path) == ["exiting"]


@pytest.mark.parametrize("name", BOARDS)
def test_abort_ends_a_long_wait_while_other_threads_run(name):
    board = opened(name)
    PARAMS[name].from_(board).timeout = 60_000
    waiter = Background(board.wait)
    wait_for_waiter(name, 0)
    # A wait that kept the interpreter lock would stall this thread until the time-out.
    counter = Background(lambda: sum(1 for _ in range(200_000)))
    counter.join(10)
    assert counter.result == 200_000 and waiter.is_alive()
    board.abort()
    waiter.join(5)
    assert waiter.error is None and wait_code(waiter.result) == int(unit.EventStatus.ABORT)


@pytest.mark.parametrize("name", ["MB100", "DQ160"])
def test_wait_ends_on_interrupt(name):
    board = opened(name)
    settings = PARAMS[name].from_(board)
    settings.timeout = 5000
    settings.set_param("INTEnable", 1)
    waiter = Background(board.wait)
    wait_for_waiter(name, 0)
    sim.interrupt(name, 0)
    waiter.join(5)
    assert wait_code(waiter.result) == int(unit.EventStatus.INT)


@pytest.mark.parametrize("name", BOARDS)
def test_wait_times_out(name):
    board = opened(name)
    PARAMS[name].from_(board).timeout = 10
    assert wait_code(board.wait()) == 3


# ---- DQ160 files ------------------------------------------------------------------------------


def test_dq160_paths_reach_the_narrow_and_wide_operations():
    board = opened("DQ160")
    with sim.recording() as calls:
        for call in (board.load, board.load_w):
            with pytest.raises(RuntimeError, match=r"^Code:10 "):
                call("/no/such/dir/réglage", 2)
        with pytest.raises(RuntimeError, match=r"^Code:10 "):
            board.load(b"/no/such/file", 0)
        with pytest.raises(RuntimeError, match=r"^Code:10 "):
            board.load(bytearray(b"/no/such/file"), 0)
        with pytest.raises(RuntimeError, match=r"^Code:3 "):
            board.save(None, 0)
        with pytest.raises(RuntimeError, match=r"^Code:3 "):
            board.save_w(None, 0)
    assert calls == [
        'CxDQ160::Load("/no/such/dir/r\\xc3\\xa9glage", 2)',
        'CxDQ160::Load(L"/no/such/dir/r\\u00e9glage", 2)',
        'CxDQ160::Load("/no/such/file", 0)',
        'CxDQ160::Load("/no/such/file", 0)',
        "CxDQ160::Save(null, 0)",
        "CxDQ160::Save(null, 0)",
    ]
    with sim.recording() as calls:
        with pytest.raises(TypeError):
            board.load_w(b"/no/such/file", 0)
        with pytest.raises(TypeError):
            board.save_w(bytearray(b"x"), 0)
    assert calls == []


@pytest.mark.parametrize("wide", [False, True])
def test_dq160_settings_round_trip_through_a_file(tmp_path, wide):
    path = str(tmp_path / "dq160-réglages.txt")
    board = opened("DQ160")
    settings = unit.DQ160Param.from_(board)
    settings.timeout = 1234
    settings.di_enable = 0xFFFF_0000
    settings.set_param("DINoiseFilterWidth", 7)
    (board.save_w if wide else board.save)(path, 0)
    settings.timeout = 1
    settings.di_enable = 0
    settings.set_param("DINoiseFilterWidth", 0)
    (board.load_w if wide else board.load)(path, 0)
    assert settings.timeout == 1234
    assert settings.di_enable == 0xFFFF_0000
    assert settings.get_param("DINoiseFilterWidth") == 7
    with pytest.raises(RuntimeError, match=r"^Code:12 "):
        board.save(str(tmp_path / "missing-dir" / "x.txt"), 0)


# ---- the DIO settings objects -------------------------------------------------------------------


@pytest.mark.parametrize(
    "name, members",
    [
        ("MB100", ["timeout", "int_edge"]),
        ("RM1600", ["timeout", "di_enable", "di_edge", "di_wait_enable"]),
        ("DQ160", ["timeout", "int_enable", "int_edge", "int_wait_enable", "di_enable", "di_edge",
                   "di_wait_enable", "di_wait_mode"]),
    ],
)  # fmt: skip
def test_param_class_shape(name, members):
    cls = PARAMS[name]
    # (`__init__` stands first in every class's namespace, wherever it was registered.)
    head = ["from_", "__eq__", "__ne__", "is_valid", "controller"]
    tail = ["get_param", "set_param", "send_command", "set_register", "get_register"]
    keep = set(head)
    assert [n for n in vars(cls) if not n.startswith("_") or n in keep] == head + members + tail
    with pytest.raises(TypeError):
        cls(cls())


@pytest.mark.parametrize("name", BOARDS)
def test_from_and_controller_identity(name):
    board = opened(name)
    p = PARAMS[name].from_(board)
    assert p.controller is board and p.is_valid
    q = PARAMS[name]()
    assert q.controller is None and q.is_valid is False
    q.controller = board
    assert q.controller is board
    with sim.recording() as calls:
        q.controller = None
        r = PARAMS[name].from_(None)
    assert calls == [f"Cx{name}Param::Controller(null)", f"Cx{name}Param::From(null)"]
    assert q.controller is None and r.controller is None


@pytest.mark.parametrize("name", BOARDS)
@pytest.mark.parametrize("bad", [42, "MB100", unit.MB100Param(), unit.RM1600WaitStatus()])
def test_from_and_controller_refuse_other_types_with_the_cast_error(name, bad):
    text = (
        r"^Unable to cast Python instance of type <class '[\w.]+'> to C\+\+ type '\?' "
        r"\(#define PYBIND11_DETAILED_ERROR_MESSAGES or compile in debug mode for details\)$"
    )
    p = PARAMS[name]()
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=text):
            PARAMS[name].from_(bad)
        with pytest.raises(RuntimeError, match=text):
            p.controller = bad
    assert calls == []


@pytest.mark.parametrize("name", BOARDS)
def test_companion_keeps_its_board_alive(name):
    board = opened(name, 1)
    watch = weakref.ref(board)
    p = PARAMS[name].from_(board)
    del board
    gc.collect()
    assert watch() is not None
    p.timeout = 77  # still reaches a live board
    assert p.timeout == 77
    q = PARAMS[name]()
    q.controller = watch()
    p.controller = None
    gc.collect()
    assert watch() is not None  # q holds it now
    q.controller = None
    gc.collect()
    assert watch() is None


@pytest.mark.parametrize(
    "name, write_only, read_only",
    [
        ("MB100", ["DIWaitMode", "INTWaitEnable"],
                  ["INTStatus", "DeviceID", "DeviceType", "DriverVersion"]),
        ("RM1600", ["Version"], ["DeviceID", "DeviceType", "DriverVersion", "FpgaVersion",
                                 "DriverVersionName", "FpgaVersionName"]),
        ("DQ160", [], ["INTStatus", "DeviceID", "DeviceType", "DriverVersion", "FpgaVersion"]),
    ],
)  # fmt: skip
def test_table_asymmetries(name, write_only, read_only):
    settings = PARAMS[name].from_(opened(name))
    get_error = set_error = module_error(1, "operator()")
    for key in write_only:
        with sim.recording() as calls:
            settings.set_param(key, 1)
            with pytest.raises(RuntimeError, match=get_error):
                settings.get_param(key)
        assert calls == [f'Cx{name}Param::SetParam("{key}", 1, model(8,1))']
    for key in read_only:
        with sim.recording() as calls:
            value = settings.get_param(key)
            with pytest.raises(RuntimeError, match=set_error):
                settings.set_param(key, value)
        assert len(calls) == 1 and calls[0].startswith(f'Cx{name}Param::GetParam("{key}", out')


def test_rm1600_text_names():
    settings = unit.RM1600Param.from_(opened("RM1600"))
    assert isinstance(settings.get_param("FpgaVersionName"), str)
    assert isinstance(settings.get_param("DriverVersionName"), str)
    assert isinstance(settings.get_param("FpgaVersion"), int)
    with sim.recording() as calls:
        settings.get_param("FpgaVersionName")
    assert calls == ['CxRM1600Param::GetParam("FpgaVersionName", out, model(0,0))']


@pytest.mark.parametrize("name", BOARDS)
def test_param_conversions(name):
    settings = PARAMS[name].from_(opened(name))
    with sim.recording() as calls:
        settings.set_param("Timeout", -1)
        settings.set_param("DIEnable", 4294967295)
    expected = [
        f'Cx{name}Param::SetParam("Timeout", -1, model(8,1))',
        f'Cx{name}Param::SetParam("DIEnable", 4294967295, model(4,1))',
    ]
    assert calls[:2] == expected
    assert settings.timeout == -1
    settings.set_register(3, 4294967295)
    assert settings.get_register(3) == 4294967295
    with sim.recording() as calls:
        for value in (-1, 4294967296, 1.5, "1"):
            with pytest.raises(RuntimeError, match="^Unable to cast Python instance"):
                settings.set_param("DIEnable", value)
        with pytest.raises(RuntimeError, match=module_error(1, "operator()")):
            settings.get_param("timeout")  # names are case-sensitive
        with pytest.raises(RuntimeError, match=module_error(1, "operator()")):
            settings.set_param("Nothing", 1.5)  # the name is refused before the value
        with pytest.raises(RuntimeError, match=module_error(1, "operator()")):
            settings.send_command("ClearTriggerMask")
    assert calls == []


@pytest.mark.parametrize("name", ["RM1600", "DQ160"])
def test_unsigned_properties(name):
    settings = PARAMS[name].from_(opened(name))
    with pytest.raises(TypeError):
        settings.di_enable = -1
    settings.di_enable = 4294967295
    assert settings.di_enable == 4294967295
    assert settings.get_param("DIEnable") == 4294967295
