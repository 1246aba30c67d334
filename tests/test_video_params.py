"""KX210Param, KX310Param and TR520Param: the companion members, typed settings, settings by name,
commands and registers, watched through the journal."""

import pytest

from helpers import module_error, opened
from pyzol import sim, unit

BOARDS = ["KX210", "KX310", "TR520"]
THIRD = {"KX210": "trigger_cycle_time", "KX310": "trigger_cycle_time", "TR520": "video_offset"}
TYPED = {  # property: the library's setter/getter pair (and the setting's name)
    "trigger_mode": "TriggerMode",
    "exposure_time": "ExposureTime",
    "trigger_cycle_time": "TriggerCycleTime",
    "video_offset": "VideoOffset",
}
COMMANDS = {
    "KX210": [],
    "KX310": [
        "ClearTriggerMask",
        "ResetPG",
        "StopPG",
        "ResetPLLReconfig",
        "ExecutePLLReconfig",
        "PLLReconfig",
    ],
    "TR520": ["SelfCalibration"],
}


def param_class(board):
    return getattr(unit, board + "Param")


@pytest.fixture(params=BOARDS)
def board(request):
    return request.param


@pytest.fixture
def settings(board):
    return param_class(board).from_(opened(board))


def test_members_in_registration_order(board):
    members = [n for n in param_class(board).__dict__ if not n.startswith("_")]
    assert members == [
        "from_",
        "is_valid",
        "controller",
        "trigger_mode",
        "exposure_time",
        THIRD[board],
        "get_param",
        "set_param",
        "send_command",
        "set_register",
        "get_register",
    ]


# ---- the companion head --------------------------------------------------------------------


def test_from_controller_and_copy(board):
    b = opened(board)
    with sim.recording() as calls:
        p = param_class(board).from_(b)
    assert calls == [f"Cx{board}Param::From(Cx{board}#1)"]
    assert p.controller is b and p.is_valid
    q = param_class(board)(p)
    assert q == p and not (q != p) and q.controller is b
    r = param_class(board)()
    assert r.controller is None and not r.is_valid
    r.controller = b
    assert r == p and r.controller is b


@pytest.mark.parametrize("board, other", [(b, o) for b in BOARDS for o in BOARDS if o != b])
def test_from_refuses_another_board_class(board, other):
    b = opened(other)
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type"):
            param_class(board).from_(b)
        with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type"):
            param_class(board)().controller = b
    assert calls == []


# ---- typed settings ------------------------------------------------------------------------


@pytest.mark.parametrize(
    "board, prop",
    [(b, p) for b in BOARDS for p in ("trigger_mode", "exposure_time", THIRD[b])],
)
def test_typed_settings_reach_their_pair(board, settings, prop):
    op = TYPED[prop]
    with sim.recording() as calls:
        setattr(settings, prop, -3)
        value = getattr(settings, prop)
        setattr(settings, prop, True)
    assert value == -3
    assert calls == [
        f"Cx{board}Param::{op}(-3)",
        f"Cx{board}Param::{op}()",
        f"Cx{board}Param::{op}(1)",
    ]
    # The same store as by name.
    assert settings.get_param(op) == 1
    settings.set_param(op, 2147483647)
    assert getattr(settings, prop) == 2147483647


# ---- commands ------------------------------------------------------------------------------


def test_listed_commands_reach_send_command(board, settings):
    with sim.recording() as calls:
        for name in COMMANDS[board]:
            settings.send_command(name)
    assert calls == [
        f'Cx{board}Param::SendCommand("{name}", out, model(6,1))' for name in COMMANDS[board]
    ]


UNLISTED = [
    "ClearTriggerMask",
    "SelfCalibration",
    "PLLReconfig",
    "resetpg",
    "ResetPG ",
    "",
    "Width",
]


@pytest.mark.parametrize(
    "board, name", [(b, n) for b in BOARDS for n in UNLISTED if n not in COMMANDS[b]]
)
def test_other_commands_are_refused_without_a_call(board, name):
    settings = param_class(board).from_(opened(board))
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=module_error(1, "operator()")):
            settings.send_command(name)
    assert calls == []


def test_commands_take_effect_in_the_library():
    p = unit.KX310Param.from_(opened("KX310"))
    p.send_command("ResetPG")
    assert p.get_param("PGStatus") == 1
    p.send_command("StopPG")
    assert p.get_param("PGStatus") == 0
    p.send_command("ExecutePLLReconfig")
    assert p.get_param("PLLReconfigStatus") == 1
    p.send_command("ResetPLLReconfig")
    assert p.get_param("PLLReconfigStatus") == 0


# ---- registers -----------------------------------------------------------------------------


def test_registers_round_trip_unsigned(board, settings):
    with sim.recording() as calls:
        settings.set_register(3, 4294967295)
        assert settings.get_register(3) == 4294967295
    assert calls == [
        f"Cx{board}Param::SetRegister(3, 4294967295)",
        f"Cx{board}Param::GetRegister(3, out)",
    ]
