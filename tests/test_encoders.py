"""KX210Encoder and KX310Encoder: members, typed settings over the board's store, counters driven
by simulated pulses, the KX310 record filled in place, and `send_command`. Their name tables are
checked with the boards' in test_name_tables.py, the companion members in test_serial.py."""

import pytest

from helpers import module_error
from pyzol import sim, unit

INT_MAX, INT_MIN = 2**31 - 1, -(2**31)
# property: (the library's setter/getter pair, the setting of the same store by name)
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
HEAD = ["from_", "is_valid", "controller="] + [p + "=" for p in SHARED] + ["comp2="]
TAIL = ["get_param", "set_param", "send_command"]
MEMBERS = {
    "KX210": ["init=", "swap_ab=", "total_counter", "match_counter", "rel_counter"]
    + ["clear_rel_counter", "start_abs", "abs_counter", "is_abs_overflow", "is_abs_underflow"]
    + ["clear_abs_counter", "clear_overflow", "clear_underflow", "clear_all_counter"],
    "KX310": ["reset_source=", "swap_ab=", "signal_source=", "start_encoder", "stop_encoder"]
    + ["reset_encoder", "encoder_status", "encoder_counter", "match_counter", "rel_counter"]
    + ["encoder_act_mode="],
}


@pytest.fixture(params=["KX210", "KX310"])
def board(request):
    return request.param


def encoder_of(board):
    b = getattr(unit, board)()
    b.open(0, 0)
    return getattr(unit, board + "Encoder").from_(b)


def pulses(board, count):
    sim.encoder_pulses(board, 0, 0, count)


def test_members_in_registration_order(board):
    observed = [
        name + ("=" if isinstance(m, property) and m.fset else "")
        for name, m in vars(getattr(unit, board + "Encoder")).items()
        if not name.startswith("_")
    ]
    assert observed == HEAD + MEMBERS[board] + TAIL
    # Every setting by name is an integer: get_param says so in its signature (and the stubs).
    assert getattr(unit, board + "Encoder").get_param.__doc__.splitlines()[0].endswith(") -> int")


@pytest.mark.parametrize(
    "board, prop, op, name",
    [(b, prop, *pair) for b in OWN for prop, pair in {**SHARED, **OWN[b]}.items()]
    + [(b, "comp2", "Comp2", "ENCComp2") for b in OWN],
)
def test_typed_settings_reach_their_pair_and_the_named_setting(board, prop, op, name):
    e = encoder_of(board)
    value = 4294967295 if prop == "comp2" else -3  # comp2 is unsigned: never read back as -1
    with sim.recording() as calls:
        setattr(e, prop, value)
        assert getattr(e, prop) == value
    assert calls == [f"Cx{board}Encoder::{op}({value})", f"Cx{board}Encoder::{op}()"]
    assert e.get_param(name) == value


def test_kx210_counts_direction_matches_and_overflow():
    e = encoder_of("KX210")
    e.comp1 = 5
    pulses("KX210", 10)
    e.dir = 1  # backwards: passing Comp1 again is a second match
    pulses("KX210", 7)
    assert (e.total_counter(), e.match_counter(), e.rel_counter(), e.abs_counter()) == (3, 2, 3, 0)
    e.clear_rel_counter()
    e.dir = 0
    e.start_abs(True)
    pulses("KX210", INT_MAX)
    assert not e.is_abs_overflow
    pulses("KX210", 1)
    assert e.is_abs_overflow and not e.is_abs_underflow and e.abs_counter() == INT_MIN
    assert e.rel_counter() == 2**31  # unsigned: never negative
    with pytest.raises(AttributeError):
        e.is_abs_overflow = False  # read-only
    e.clear_overflow()
    e.clear_abs_counter()
    pulses("KX210", INT_MIN)
    pulses("KX210", -1)
    assert e.is_abs_underflow and not e.is_abs_overflow
    e.clear_underflow()
    e.clear_all_counter()
    assert (e.total_counter(), e.match_counter(), e.rel_counter(), e.abs_counter()) == (0, 0, 0, 0)
    assert not e.is_abs_underflow


def test_kx310_fills_the_callers_record_in_place():
    e = encoder_of("KX310")
    rec = unit.TxKX310EncoderStatus()
    e.comp1 = 3
    e.start_encoder()
    pulses("KX310", 5)
    with sim.recording() as calls:
        assert e.encoder_status(rec) is None
    assert calls == ["CxKX310Encoder::EncoderStatus(out)"]
    fields = ("encoder_counter", "match_counter", "rel_counter", "encoder_state")
    assert [getattr(rec, f) for f in fields] == [5, 1, 5, 1]
    e.dir = 1
    pulses("KX310", 7)
    e.stop_encoder()
    pulses("KX310", 100)  # stopped: not counted
    e.encoder_status(rec)  # the same record, overwritten
    assert [getattr(rec, f) for f in fields] == [-2, 2, 2**32 - 2, 0]
    assert (e.encoder_counter(), e.match_counter(), e.rel_counter()) == (-2, 2, 2**32 - 2)
    e.reset_encoder()
    e.start_encoder()
    e.dir = 0
    pulses("KX310", -1)
    pulses("KX310", INT_MIN)
    e.encoder_status(rec)
    assert rec.is_abs_underflow and rec.encoder_counter == INT_MAX
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=r"^Code:3 Line:\d+ Function:EncoderStatus "):
            e.encoder_status(None)
    assert calls == ["CxKX310Encoder::EncoderStatus(null)"]


@pytest.mark.parametrize("name", ["", "ResetPG", "StartEncoder", "ENCStart"])
def test_send_command_always_refuses_without_a_call(board, name):
    e = encoder_of(board)
    pattern = module_error(1, "operator()")
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=pattern):
            e.send_command(name)
    assert calls == []
