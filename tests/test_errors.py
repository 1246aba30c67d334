"""Errors carry their data: every RuntimeError of a library failure or a module refusal has
`status`, `function`, `file` and `line` beside its unchanged text, and notes where more is known
(the library's description, a refused name with close names, a refused value, the line of a
camera file)."""

import re

import pytest

from helpers import camera, opened
from pyzol import core, sim, unit

S = core.ExStatus


def check(error, status, function, file=None, line=None):
    """`error` is exactly RuntimeError, its one argument its text, its attributes those of the
    text; returns its notes."""
    m = re.fullmatch(r"Code:(-?\d+) Line:(-?\d+) Function:(.*) File:(.*)", str(error))
    assert type(error) is RuntimeError and error.args == (str(error),) and m
    assert (int(error.status), error.line, error.function, error.file) == (int(m[1]), int(m[2]),
                                                                           m[3], m[4])  # fmt: skip
    assert error.status == status and type(error.status) is type(status)
    assert error.function == function and (file is None or (error.file, error.line) == (file, line))
    return getattr(error, "__notes__", [])


@pytest.mark.parametrize(
    "status, function, file, line, expected",
    [
        (5, "Open", "dev.c", 42, S.NoDevice),
        (99, "Open", "dev.c", -1, 99),  # no ExStatus member has that value: the int
        (8, None, None, 0, S.Timeout),  # a null function and file: "" as in the text
    ],
)
def test_library_failures_carry_their_data_and_description(status, function, file, line, expected):
    sim.fail("CxRM1600::Open", status=status, function=function, file=file, line=line)
    with pytest.raises(RuntimeError) as info:
        unit.RM1600().open(0)
    notes = check(info.value, expected, function or "", file or "", line)
    assert notes == ["injected fault in CxRM1600::Open"]  # the library's own description


def settings(board):
    if board.endswith("Encoder"):
        return getattr(unit, board).from_(opened(board[:-7]))
    return getattr(unit, board + "Param").from_(opened(board))


# (object, call, status, function of the error, notes)
REFUSALS = [
    ("KX210", lambda p: p.get_param("Widht"), S.Failed, "kx210_get_param",
     ["KX210Param has no setting 'Widht'; close readable names: 'Width', 'BitWidth'"]),
    ("KX310", lambda p: p.set_param("exposuretime", 5), S.Failed, "kx310_set_param",
     ["KX310Param has no setting 'exposuretime'; close writable names: 'ExposureTime'"]),
    ("TR520", lambda p: p.set_param("DeviceID", 5), S.Failed, "tr520_set_param",
     ["setting 'DeviceID' of TR520Param is read-only"]),
    ("KX210Encoder", lambda p: p.get_param("ENCComp"), S.Failed, "operator()",
     ["KX210Encoder has no setting 'ENCComp'; close readable names: 'ENCComp2', 'ENCComp1'"]),
    ("MB100", lambda p: p.get_param("DIWaitMode"), S.Failed, "operator()",
     ["setting 'DIWaitMode' of MB100Param is write-only; close readable names: 'DIWaitEnable'"]),
    ("RM1600", lambda p: p.set_param("Q", 1), S.Failed, "operator()",
     ["RM1600Param has no setting 'Q'"]),
    ("KX310", lambda p: p.send_command("Nothing"), S.Failed, "operator()", []),
    ("KX210", lambda p: unit.Video.get_param(None, "Width"), S.NoObject, "operator()", []),
]  # fmt: skip


@pytest.mark.parametrize("board, call, status, function, notes", REFUSALS)
def test_module_refusals_carry_their_data_and_what_the_module_knows(
    board, call, status, function, notes
):
    with pytest.raises(RuntimeError) as info:
        call(settings(board))
    assert check(info.value, status, function) == notes
    assert info.value.file.startswith("pyzol/zol_unit/")


@pytest.mark.parametrize(
    "name, value, why",
    [("Width", "wide", "a signed 32-bit integer"), ("ENCComp2", -1, "an unsigned 32-bit integer"),
     ("CameraName", 5, "a str or bytes")],
)  # fmt: skip
def test_a_value_that_does_not_convert_keeps_the_cast_error_and_gains_a_note(name, value, why):
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance") as info:
        settings("KX210").set_param(name, value)
    assert type(info.value) is RuntimeError and not hasattr(info.value, "status")
    assert info.value.__notes__ == [f"KX210Param.set_param({name!r}, {value!r}): {why}"]


def test_a_value_the_library_refuses_is_noted_with_name_and_value(tmp_path):
    video = unit.Video.from_file(camera(tmp_path))  # the KX210 table behind a Video
    sim.fail("CxKX210Param::SetParam", status=4, function="SetParam", file="p.c", line=3, count=2)
    with pytest.raises(RuntimeError) as info:
        video.set_param("CameraName", "x")
    assert check(info.value, S.InvalidArgument, "SetParam", "p.c", 3)[-1] == (
        "KX210Param.set_param('CameraName', 'x'): the library refused the value"
    )
    sim.fail("CxKX210Param::SetParam", status=7, function=None)  # not about the value
    with pytest.raises(RuntimeError) as info:
        video.set_param("CameraName", "x")
    assert check(info.value, S.Busy, "") == ["injected fault in CxKX210Param::SetParam"]


# (file content, line of the fault, how the note ends after the quoted line)
BAD_FILES = [
    ("Width=64\n# c\nWidth 64\n", 3, "Width 64", "expected Name=Value"),
    ("Width=64\nWidht=64\n", 2, "Widht=64", "unknown setting 'Widht'"),
    ("\n\nDeviceID=3  # no\n", 3, "DeviceID=3  # no", "setting 'DeviceID' is read-only"),
    ("Height=tall\r\n", 1, "Height=tall", "setting 'Height': bad value 'tall' (signed integer)"),
    ("Width=64\nPixelFormat=Mono9\n", 2, "PixelFormat=Mono9", "bad value 'Mono9'"),
    ("DeviceType=3\n", 1, "DeviceType=3", "bad DeviceType '3'"),
]
LOADS = [
    (lambda path: unit.KX210.from_file(path), "FromFile"),
    (lambda path: unit.TR520.from_file(path, 1, 0), "FromFile"),
    (lambda path: unit.Video.from_file(path), "FromFile"),
    (lambda path: opened("KX310").setup(path), "Setup"),
]


@pytest.mark.parametrize("load, function", LOADS)
@pytest.mark.parametrize("content, line, text, why", BAD_FILES)
def test_a_bad_camera_file_points_at_its_line(tmp_path, load, function, content, line, text, why):
    path = tmp_path / "cam.txt"
    path.write_text(content, newline="")
    with pytest.raises(RuntimeError) as info:
        load(str(path))
    assert str(info.value) == f"Code:11 Line:{line} Function:{function} File:{path}"
    [note] = check(info.value, S.FileFormat, function, str(path), line)
    assert note.startswith(f'{path}, line {line}: "{text}": ') and note.endswith(why)


@pytest.mark.parametrize(
    "content, load, function, line",
    [
        ("Width=64\nDeviceType=4\n", LOADS[0][0], "FromFile", 2),  # a file for a KX310
        ("# DQ160\nNoSuch=1\n", lambda path: opened("DQ160").load(path, 0), "Load", 2),
    ],
)
def test_a_file_for_another_board_points_at_its_line(tmp_path, content, load, function, line):
    path = tmp_path / "cam.txt"
    path.write_text(content)
    with pytest.raises(RuntimeError) as info:
        load(str(path))
    check(info.value, S.FileFormat, function, str(path), line)
