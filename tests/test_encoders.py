"""KX210Encoder and KX310Encoder: members, typed settings over the board's store, counters driven
by simulated pulses, the KX310 status record filled in place, and `send_command`. Their name
tables are checked with the boards' in test_name_tables.py, the companion members in
test_serial.py."""

import pytest

from helpers import module_error, throw_line
from pyzol import sim, unit

BOARDS = ["KX210", "KX310"]
SOURCE = "pyzol/zol_unit/video/encoders.cpp"
INT_MAX, INT_MIN = 2**31 - 1, -(2**31)

# property: (the library's setter/getter pair, the board setting of the same store)
SHARED = {
    "encoder_mode": ("EncoderMode", "EncoderMode"),
    "sampling": ("Sampling", "ENCSampling"),
    "start": ("Start", "ENCStart"),
    "dir": ("Dir", "ENCDir"),
    "comp1": ("Comp1", "ENCComp1"),
}
OWN = {
    "KX210": {"init": ("Init", "ENCInit"), "swap_ab": ("SwapAB", "ENCSwapAB")},
    "KX310": {
        "reset_source": ("ResetSource", "ENCResetSource"),
        "swap_ab": ("SwapAB", "ENCSwapAB"),
        "signal_source": ("SignalSource", "ENCSignalSource"),
        "encoder_act_mode": ("EncoderActMode", "EncoderActMode"),
    },
}
SETTINGS = [(b, prop, *pair) for b in BOARDS for prop, pair in {**SHARED, **OWN[b]}.items()]

HEAD = ["from_", "is_valid", "controller="] + [p + "=" for p in SHARED] + ["comp2="]
MEMBERS = {
    "KX210": HEAD
    + ["init=", "swap_ab=", "total_counter", "match_counter", "rel_counter"]
    + ["clear_rel_counter", "start_abs", "abs_counter", "is_abs_overflow", "is_abs_underflow"]
    + ["clear_abs_counter", "clear_overflow", "clear_underflow", "clear_all_counter"],
    "KX310": HEAD
    + ["reset_source=", "swap_ab=", "signal_source=", "start_encoder", "stop_encoder"]
    + ["reset_encoder", "encoder_status", "encoder_counter", "match_counter", "rel_counter"]
    + ["encoder_act_mode="],
}
TAIL = ["get_param", "set_param", "send_command"]


@pytest.fixture(params=BOARDS)
def board(request):
    return request.param


def encoder_of(board):
    b = getattr(unit, board)()
    b.open(0, 0)
    return getattr(unit, board + "Encoder").from_(b)


@pytest.fixture
def encoder(board):
    return encoder_of(board)


def test_members_in_registration_order(board):
    observed = [
        name + ("=" if isinstance(m, property) and m.fset else "")
        for name, m in vars(getattr(unit, board + "Encoder")).items()
        if not name.startswith("_")
    ]
    assert observed == MEMBERS[board] + TAIL


# ---- settings ----------------------------------------------------------------------------------


@pytest.mark.parametrize("board, prop, op, name", SETTINGS)
def test_typed_settings_reach_their_pair_and_the_named_setting(board, prop, op, name):
    e = encoder_of(board)
    with sim.recording() as calls:
        setattr(e, prop, -3)
        value = getattr(e, prop)
    assert value == -3
    assert calls == [f"Cx{board}Encoder::{op}(-3)", f"Cx{board}Encoder::{op}()"]
    assert e.get_param(name) == -3
    e.set_param(name, INT_MAX)
    assert getattr(e, prop) == INT_MAX


def test_comp2_carries_the_whole_unsigned_range(board, encoder):
    with sim.recording() as calls:
        encoder.comp2 = 4294967295
        value = encoder.comp2
    assert value == 4294967295
    assert calls == [f"Cx{board}Encoder::Comp2(4294967295)", f"Cx{board}Encoder::Comp2()"]
    assert encoder.get_param("ENCComp2") == 4294967295


@pytest.mark.parametrize(
    "prop, value", [("comp2", -1), ("comp2", 4294967296), ("comp2", 1.0), ("comp1", 2**31)]
)
def test_settings_refuse_what_does_not_convert_without_a_call(encoder, prop, value):
    with sim.recording() as calls:
        with pytest.raises(TypeError):
            setattr(encoder, prop, value)
    assert calls == []


@pytest.mark.parametrize("flag", ["is_abs_overflow", "is_abs_underflow"])
def test_flags_are_read_only(flag):
    e = encoder_of("KX210")
    with pytest.raises(AttributeError):
        setattr(e, flag, False)


# ---- counters driven by the simulated encoder input --------------------------------------------


def pulses(board, count):
    sim.encoder_pulses(board, 0, 0, count)


def test_kx210_counts_direction_matches_and_overflow():
    e = encoder_of("KX210")
    e.comp1 = 5
    pulses("KX210", 10)
    assert (e.total_counter(), e.match_counter(), e.rel_counter(), e.abs_counter()) == (
        10,
        1,
        10,
        0,
    )
    e.dir = 1  # counts backwards; passing Comp1 again is a second match
    pulses("KX210", 7)
    assert (e.total_counter(), e.match_counter(), e.rel_counter()) == (3, 2, 3)
    e.swap_ab = 1  # reverses once more
    pulses("KX210", 2)
    assert e.total_counter() == 5
    e.clear_rel_counter()
    e.start_abs(True)
    with sim.recording() as calls:
        pulses("KX210", INT_MAX)
        assert not e.is_abs_overflow
        pulses("KX210", 1)
        assert e.is_abs_overflow and not e.is_abs_underflow
    assert calls == ["CxKX210Encoder::IsAbsOverflow()"] * 2 + ["CxKX210Encoder::IsAbsUnderflow()"]
    assert e.abs_counter() == INT_MIN
    assert e.rel_counter() == 2**31  # unsigned: never negative
    assert e.total_counter() == 5 + 2**31 - 2**32
    e.clear_overflow()
    e.clear_abs_counter()
    pulses("KX210", -1)
    assert (e.is_abs_overflow, e.is_abs_underflow, e.abs_counter()) == (False, False, -1)
    e.dir = 0  # with swap_ab set: backwards
    pulses("KX210", INT_MAX)
    pulses("KX210", 3)
    assert e.is_abs_underflow
    e.clear_underflow()
    assert not e.is_abs_underflow
    e.clear_all_counter()
    assert (e.total_counter(), e.match_counter(), e.rel_counter(), e.abs_counter()) == (0, 0, 0, 0)


def test_kx310_fills_the_callers_record_in_place():
    e = encoder_of("KX310")
    rec = unit.TxKX310EncoderStatus()
    pulses("KX310", 5)  # not started: not counted
    assert e.encoder_counter() == 0
    e.comp1 = 3
    e.start_encoder()
    pulses("KX310", 5)
    with sim.recording() as calls:
        assert e.encoder_status(rec) is None
    assert calls == ["CxKX310Encoder::EncoderStatus(out)"]
    assert (rec.encoder_counter, rec.match_counter, rec.rel_counter, rec.encoder_state) == (
        5,
        1,
        5,
        1,
    )
    e.dir = 1
    pulses("KX310", 7)
    e.stop_encoder()
    pulses("KX310", 100)
    assert e.encoder_status(rec) is None  # the same record, overwritten
    assert (rec.encoder_counter, rec.match_counter, rec.rel_counter, rec.encoder_state) == (
        -2,
        2,
        2**32 - 2,
        0,
    )
    assert (e.encoder_counter(), e.match_counter(), e.rel_counter()) == (-2, 2, 2**32 - 2)
    e.reset_encoder()
    e.start_encoder()
    e.dir = 0
    pulses("KX310", INT_MAX)
    pulses("KX310", 1)
    e.encoder_status(rec)
    assert rec.is_abs_overflow and not rec.is_abs_underflow
    assert rec.encoder_counter == e.encoder_counter() == INT_MIN


def test_encoder_status_with_none_hands_the_library_a_null_record():
    e = encoder_of("KX310")
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=r"^Code:3 Line:\d+ Function:EncoderStatus "):
            e.encoder_status(None)
        with pytest.raises(TypeError):
            e.encoder_status(unit.TxKX310CaptureStatus())
    assert calls == ["CxKX310Encoder::EncoderStatus(null)"]


# ---- commands ----------------------------------------------------------------------------------


@pytest.mark.parametrize("name", ["", "ResetPG", "StartEncoder", "ENCStart", "\u00e9"])
def test_send_command_always_refuses_without_a_call(encoder, name):
    pattern = module_error(1, "operator()", throw_line(SOURCE, "send_command"))
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=pattern):
            encoder.send_command(name)
        with pytest.raises(TypeError):
            encoder.send_command(5)
    assert calls == []


@pytest.mark.parametrize(
    "op, call",
    [
        ("Comp2", lambda e: e.comp2),
        ("MatchCounter", lambda e: e.match_counter()),
        ("GetParam", lambda e: e.get_param("ENCStart")),
        ("SetParam", lambda e: e.set_param("ENCComp2", 1)),
    ],
)
def test_library_errors_are_translated(board, encoder, op, call):
    sim.fail(f"Cx{board}Encoder::{op}", status=7, function="Enc", file="enc.c", line=4)
    with pytest.raises(RuntimeError, match=r"^Code:7 Line:4 Function:Enc File:enc.c$"):
        call(encoder)
