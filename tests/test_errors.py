"""Errors carry their data: every RuntimeError of a library failure or a module refusal has
`status`, `function`, `file` and `line` beside its unchanged text, and notes where more is known
(the library's description, a refused name with close names, a refused value, the line of a
camera file)."""

import re

import pytest

from helpers import camera, opened
from pyzol import core, sim, unit

S = core.ExStatus


def fields(error):
    """The four fields of a translated error's text."""
    m = re.fullmatch(r"Code:(-?\d+) Line:(-?\d+) Function:(.*) File:(.*)", str(error))
    assert m, str(error)
    return int(m[1]), m[3], m[4], int(m[2])


def check_translated(error, status, function, file=None, line=None):
    """`error` is exactly RuntimeError with one argument, its text, and attributes that agree
    with the text; returns its notes."""
    assert type(error) is RuntimeError and error.args == (str(error),)
    assert (int(error.status), error.function, error.file, error.line) == fields(error)
    assert error.status == status and type(error.status) is type(status)
    assert error.function == function
    if file is not None:
        assert (error.file, error.line) == (file, line)
    return getattr(error, "__notes__", [])


@pytest.mark.parametrize(
    "status, function, file, line, expected",
    [
        (5, "Open", "dev.c", 42, S.NoDevice),
        (99, "Open", "dev.c", -1, 99),  # no ExStatus member has that value: the int
        (8, None, None, 0, S.Timeout),  # a null function and file: "" as in the text
    ],
)
def test_library_failures_carry_status_function_file_line_and_description(
    status, function, file, line, expected
):
    sim.fail("CxRM1600::Open", status=status, function=function, file=file, line=line)
    with pytest.raises(RuntimeError) as info:
        unit.RM1600().open(0)
    notes = check_translated(info.value, expected, function or "", file or "", line)
    assert notes == ["injected fault in CxRM1600::Open"]  # the library's own description


def test_a_library_failure_of_its_own_has_its_status_member_and_description():
    with pytest.raises(RuntimeError) as info:
        unit.KX210().open(7, 0)
    notes = check_translated(info.value, S.NoDevice, "Open")
    assert len(notes) == 1 and "7" in notes[0]


def video(tmp_path):
    return unit.Video.from_file(camera(tmp_path))


@pytest.mark.parametrize(
    "call, status, note",
    [
        (lambda v: v.send_command("Nothing"), S.Failed, None),
        (lambda v: unit.Video.get_param(None, "Width"), S.NoObject, None),
        (lambda v: v.get_param("Widht"), S.Failed, "KX210Param has no setting 'Widht'"),
    ],
)
def test_module_refusals_carry_their_data(tmp_path, call, status, note):
    with pytest.raises(RuntimeError) as info:
        call(video(tmp_path))
    notes = check_translated(info.value, status, info.value.function)
    assert info.value.file.startswith("pyzol/zol_unit/")
    assert [n for n in notes if n.startswith(note)] if note else notes == []


# (settings object, call, function of the error, note)
NAMES = [
    ("KX210", lambda p: p.get_param("Widht"), "kx210_get_param",
     "KX210Param has no setting 'Widht'; close readable names: 'Width', 'BitWidth'"),
    ("KX310", lambda p: p.set_param("exposuretime", 5), "kx310_set_param",
     "KX310Param has no setting 'exposuretime'; close writable names: 'ExposureTime'"),
    ("TR520", lambda p: p.set_param("DeviceID", 5), "tr520_set_param",
     "setting 'DeviceID' of TR520Param is read-only"),
    ("KX210Encoder", lambda p: p.get_param("ENCComp"), "operator()",
     "KX210Encoder has no setting 'ENCComp'; close readable names: 'ENCComp2', 'ENCComp1'"),
    ("RM1600", lambda p: p.set_param("Q", 1), "operator()", "RM1600Param has no setting 'Q'"),
]  # fmt: skip


@pytest.mark.parametrize("board, call, function, note", NAMES)
def test_a_refused_name_is_noted_with_its_class_and_close_names(board, call, function, note):
    if board.endswith("Encoder"):
        target = getattr(unit, board).from_(opened(board[:-7]))
    else:
        target = getattr(unit, board + "Param").from_(opened(board))
    with pytest.raises(RuntimeError) as info:
        call(target)
    assert check_translated(info.value, S.Failed, function) == [note]


@pytest.mark.parametrize(
    "name, value, note",
    [
        ("Width", "wide", "KX210Param.set_param('Width', 'wide'): a signed 32-bit integer"),
        ("ENCComp2", -1, "KX210Param.set_param('ENCComp2', -1): an unsigned 32-bit integer"),
        ("CameraName", 5, "KX210Param.set_param('CameraName', 5): a str or bytes"),
    ],
)
def test_a_value_that_does_not_convert_keeps_the_cast_error_and_gains_a_note(name, value, note):
    p = unit.KX210Param.from_(opened("KX210"))
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance") as info:
        p.set_param(name, value)
    assert type(info.value) is RuntimeError and info.value.__notes__ == [note]
    assert not hasattr(info.value, "status")  # the binding library's error, not the library's


def test_a_value_the_library_refuses_is_noted_with_name_and_value(tmp_path):
    v = video(tmp_path)
    sim.fail("CxKX210Param::SetParam", status=4, function="SetParam", file="p.c", line=3)
    with pytest.raises(RuntimeError) as info:
        v.set_param("CameraName", "x")
    notes = check_translated(info.value, S.InvalidArgument, "SetParam", "p.c", 3)
    assert notes[-1] == "KX210Param.set_param('CameraName', 'x'): the library refused the value"
    sim.fail(
        "CxKX210Param::SetParam", status=7, function=None
    )  # not about the value: no note of the module's
    with pytest.raises(RuntimeError) as info:
        v.set_param("CameraName", "x")
    assert check_translated(info.value, S.Busy, "") == ["injected fault in CxKX210Param::SetParam"]


# (file content, line of the fault, what the note says after the quoted line)
BAD_FILES = [
    ("Width=64\n# c\nWidth 64\n", 3, "Width 64", "expected Name=Value"),
    ("Width=64\nWidht=64\n", 2, "Widht=64", "unknown setting 'Widht'"),
    ("\n\nDeviceID=3  # no\n", 3, "DeviceID=3  # no", "setting 'DeviceID' is read-only"),
    ("Height=tall\r\n", 1, "Height=tall", "setting 'Height': bad value 'tall' (signed integer)"),
    ("Width=64\nPixelFormat=Mono9\n", 2, "PixelFormat=Mono9", "bad value 'Mono9'"),
    ("DeviceType=3\n", 1, "DeviceType=3", "bad DeviceType '3'"),
]


def bad_file(tmp_path, content):
    path = tmp_path / "cam.txt"
    path.write_text(content, newline="")
    return str(path)


@pytest.mark.parametrize(
    "load, function",
    [
        (lambda path: unit.KX210.from_file(path), "FromFile"),
        (lambda path: unit.TR520.from_file(path, 1, 0), "FromFile"),
        (lambda path: unit.Video.from_file(path), "FromFile"),
        (lambda path: opened("KX310").setup(path), "Setup"),
    ],
)
@pytest.mark.parametrize("content, line, text, why", BAD_FILES)
def test_a_bad_camera_file_points_at_its_line(tmp_path, load, function, content, line, text, why):
    path = bad_file(tmp_path, content)
    with pytest.raises(RuntimeError) as info:
        load(path)
    assert str(info.value) == f"Code:11 Line:{line} Function:{function} File:{path}"
    notes = check_translated(info.value, S.FileFormat, function, path, line)
    assert notes[0].startswith(f'{path}, line {line}: "{text}": ') and notes[0].endswith(why)


def test_a_camera_file_for_another_board_points_at_its_device_type_line(tmp_path):
    path = bad_file(tmp_path, "Width=64\nDeviceType=4\n")
    with pytest.raises(RuntimeError) as info:
        unit.KX210.from_file(path)
    check_translated(info.value, S.FileFormat, "FromFile", path, 2)
    unit.Video.from_file(path)  # the generic device takes any board type


def test_a_bad_settings_file_points_at_its_line(tmp_path):
    path = bad_file(tmp_path, "# DQ160\nNoSuch=1\n")
    with pytest.raises(RuntimeError) as info:
        opened("DQ160").load(path, 0)
    check_translated(info.value, S.FileFormat, "Load", path, 2)
