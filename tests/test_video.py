"""The generic Video device: members and overloads, capture, what it holds for the library,
waits that let other threads run, commands, and settings by name through the board type it
stands for."""

import gc
import time

import numpy as np
import pytest

from helpers import (
    Background,
    H,
    W,
    camera,
    drawn,
    module_error,
    observed_members,
)
from pyzol import core, sim, unit

DEVICES = {"KX210": 1, "TR520": 2, "KX310": 4}

MEMBERS = (
    ["from_file(camerafile, option=-1)"] * 2
    + ["from_file(camerafile, id, ch, option=-1)"] * 2
    + ["__init__()", "__init__(arg0)", "__eq__(arg0)", "__ne__(arg0)"]
    + ["controller=", "device_type=", "dispose()", "is_valid", "close()"]
    + ["save(arg0)", "save_w(arg0)"]
    + ["validate(arg0)"] * 2
    + ["grab(arg0)"] * 2
    + ["start(arg0)"] * 2
    + ["wait()", "abort()", "is_running", "status()", "force_trigger()"]
    + ["trigger_mode=", "exposure_time=", "trigger_cycle_time="]
    + ["get_param(arg0)", "set_param(arg0, arg1)", "send_command(arg0)"]
)


def video(tmp_path, device="KX210", **settings):
    """A Video standing for board 0 channel 0 of the given type, from a camera file."""
    return unit.Video.from_file(camera(tmp_path, DeviceType=DEVICES[device], **settings))


def test_members_overloads_and_keywords_in_registration_order():
    expected = {}
    for entry in MEMBERS:
        expected.setdefault(entry.split("(")[0].rstrip("="), []).append(entry)
    observed = dict(observed_members(unit.Video))
    assert observed.pop("__init__") == expected.pop("__init__")
    assert list(observed.items()) == list(expected.items())


# ---- overloads, through the journal ------------------------------------------------------------


@pytest.fixture
def rig(tmp_path):
    """Names for the calls below: the device, a board's module with an image locked, an image."""
    path = camera(tmp_path, DeviceType=1)
    v = unit.Video.from_file(path)  # CxVideo#1
    board = unit.KX210.from_file(path, 1, 0)  # CxKX210#1
    board.lock(core.CxImage(W, H))  # img#1
    scope = dict(path=path, v=v, img=core.CxImage(W, H), module=core.as_module(board))  # img#2
    return {**scope, "Video": unit.Video, "KX210": unit.KX210, "ExDevice": core.ExDevice}


@pytest.mark.parametrize(
    "call, entry",
    [
        ("Video.from_file(path)", 'FromFile("{path}", -1)'),
        ("Video.from_file(path, 5)", 'FromFile("{path}", 5)'),
        ("Video.from_file(path, 1, 0)", 'FromFile("{path}", 1, 0, -1)'),
        ("Video.from_file(path, 1, 0, 3)", 'FromFile("{path}", 1, 0, 3)'),
        ("Video.from_file(path.encode(), option=2)", 'FromFile("{path}", 2)'),
        ("v.validate(img)", "Validate(img#2)"),
        ("v.validate(module)", "Validate(CxKX210#1)"),
        ("v.grab(img)", "Grab(img#2)"),
        ("v.grab(module)", "Grab(CxKX210#1)"),
        ("v.start(img)", "Start(img#2)"),
        ("v.save_w(path)", 'Save(L"{path}")'),
        ("v.send_command('PLLReconfig')", 'SendCommand("PLLReconfig", out, model(6,1))'),
        (
            "v.send_command('ExecutePLLReconfig')",
            'SendCommand("ExecutePLLReconfig", out, model(6,1))',
        ),
        ("setattr(v, 'exposure_time', 7)", "ExposureTime(7)"),
        ("setattr(v, 'device_type', ExDevice(3))", "DeviceType(3)"),
    ],
)
def test_overloads_reach_the_right_operation(rig, call, entry):
    with sim.recording() as calls:
        eval(call, rig)
    assert calls[0] == "CxVideo::" + entry.format(path=rig["path"])


@pytest.mark.parametrize(
    "call, entry",
    [
        ("v.validate(None)", "Validate(null)"),
        ("v.grab(None)", "Grab(null)"),
        ("v.start(None)", "Start(null)"),
        ("v.save(None)", "Save(null)"),
        ("v.save_w(None)", "Save(null)"),
        ("Video.from_file(None)", "FromFile(null, -1)"),
    ],
)
def test_none_passes_a_null_pointer(rig, call, entry):
    with sim.recording() as calls, pytest.raises(RuntimeError, match=r"^Code:3 "):
        eval(call, rig)
    assert calls == ["CxVideo::" + entry]


@pytest.mark.parametrize(
    "call",
    [
        "v.grab(KX210())",  # a board is no IxModule by itself
        "setattr(v, 'controller', KX210())",
        "v.grab(img, 1)",
    ],
)
def test_bad_arguments_raise_type_error_and_call_nothing(rig, call):
    with sim.recording() as calls, pytest.raises(TypeError):
        eval(call, rig)
    assert calls == []


# ---- capture ------------------------------------------------------------------------------------


def test_grab_captures_one_frame_at_once(tmp_path):
    v = video(tmp_path)
    img = core.CxImage(W, H)
    v.grab(img)
    v.grab(img)
    assert np.array_equal(np.asarray(img), drawn(1))
    assert not v.is_running and v.status() == 2


def test_start_captures_until_aborted(tmp_path):
    v = video(tmp_path, TriggerCycleTime=0, ExposureTime=0)
    img = core.CxImage(W, H)
    v.start(img)
    v.wait()
    v.wait()
    assert v.is_running
    v.abort()
    assert v.status() == 3 and not v.is_running
    k = int(np.asarray(img).reshape(-1)[:4].view(np.uint32)[0])
    assert k >= 1 and np.array_equal(np.asarray(img), drawn(k))


# ---- what the device holds for the library -----------------------------------------------------


def locked_module(tmp_path):
    """A KX210 board's module with an image locked on it: what Video.start(module) captures into."""
    board = unit.KX210.from_file(camera(tmp_path, "b.txt"), 1, 0)
    board.lock(core.CxImage(W, H))
    return core.as_module(board)


RELEASES = {
    "close": lambda v: v.close(),
    "dispose": lambda v: v.dispose(),
    "restart": lambda v: (v.abort(), v.start(core.CxImage(W, H))),
}


@pytest.mark.parametrize("target", ["image", "module"])
@pytest.mark.parametrize(
    "release, left", [("close", 1), ("dispose", 1), ("restart", 2), ("drop", 0)]
)
def test_started_target_lives_until_the_device_lets_go(no_leaks, tmp_path, target, release, left):
    start = no_leaks
    v = video(tmp_path, TriggerMode=1)
    v.start(core.CxImage(W, H) if target == "image" else locked_module(tmp_path))
    gc.collect()
    # The device and its image; or the device, the module's board and that board's image.
    assert sim.live_objects() == start + (2 if target == "image" else 3)
    if release == "drop":
        del v
    else:
        RELEASES[release](v)
    gc.collect()
    assert sim.live_objects() == start + left  # the device, and after a restart its new image


def test_failed_start_keeps_what_the_device_holds(tmp_path):
    v = video(tmp_path, TriggerMode=1)
    gc.collect()
    start = sim.live_objects()
    v.start(core.CxImage(W, H))
    with pytest.raises(RuntimeError, match=r"^Code:7 "):  # busy
        v.start(core.CxImage(W, H))
    gc.collect()
    assert sim.live_objects() == start + 1  # the first image, not the refused one
    v.abort()


def test_controller_is_the_module_given_and_keeps_it_alive(tmp_path):
    gc.collect()
    start = sim.live_objects()
    v = unit.Video()
    assert v.controller is None
    board = unit.KX310.from_file(camera(tmp_path), 2, 1)
    v.controller = core.as_module(board)
    assert v.controller is board
    assert v.device_type == core.ExDevice.KX310
    assert v.get_param("DeviceID") == 2  # stands for the controller's board
    del board
    gc.collect()
    assert type(v.controller) is unit.KX310
    copy = unit.Video(v)
    v.controller = None
    assert v.controller is None
    assert type(copy.controller) is unit.KX310  # the copy holds the board too
    del copy
    gc.collect()
    assert sim.live_objects() == start + 1
    del v
    gc.collect()
    assert sim.live_objects() == start


# ---- waits let other threads run ---------------------------------------------------------------


@pytest.mark.parametrize(
    "entry, call",
    [
        ("CxVideo::Wait()", lambda v, board: v.wait()),
        ("CxKX210::Wait()", lambda v, board: unit.wait(core.as_video_control(board))),
    ],
)
def test_abort_from_another_thread_ends_a_wait(tmp_path, entry, call):
    path = camera(tmp_path, DeviceType=1, Timeout=60_000, TriggerMode=1)
    v = unit.Video.from_file(path, 1, 0)
    v.start(core.CxImage(W, H))
    board = unit.KX210.from_file(path)
    board.lock(core.CxImage(W, H))
    board.start()
    target, ident = (v, 1) if entry.startswith("CxVideo") else (board, 0)
    ticks = 0
    with sim.recording():
        waiter = Background(lambda: call(v, board))
        end = time.monotonic() + 5
        while entry not in sim.journal() or sim.capture_waiters("KX210", ident, 0) == 0:
            assert time.monotonic() < end
            time.sleep(0.001)
        end = time.monotonic() + 0.05
        while time.monotonic() < end:
            ticks += 1
        target.abort()
        waiter.join(5)
    assert not waiter.is_alive() and waiter.error is None
    assert ticks > 1000  # this thread ran while the other waited
    assert target.status() == 3


# ---- commands ----------------------------------------------------------------------------------


@pytest.mark.parametrize("name", ["pllreconfig", "SelfCalibration ", "", "Stop PG"])
def test_unknown_command_is_refused_before_the_library(tmp_path, name):
    v = video(tmp_path)
    error = module_error(1, "operator()")
    with sim.recording() as calls, pytest.raises(RuntimeError, match=error):
        v.send_command(name)
    assert calls == []


# ---- settings by name through the board type ---------------------------------------------------


@pytest.mark.parametrize(
    "device, settings, value",
    [
        ("KX210", "CxKX210Param", 0x0102),
        ("KX310", "CxKX310Param", "1.2"),
        ("TR520", "CxTR520Param", 0x0102),
    ],
)
def test_get_param_reads_through_the_boards_table(tmp_path, device, settings, value):
    v = video(tmp_path, device)
    kind = "model(8,1)" if isinstance(value, int) else "model(0,0)"
    with sim.recording() as calls:
        assert v.get_param("FpgaVersion") == value
    assert calls == [
        "CxVideo::DeviceType()",
        f"{settings}::From(CxVideo#1)",
        f'{settings}::GetParam("FpgaVersion", out, {kind})',
    ]


def test_set_param_writes_through_the_boards_table(tmp_path):
    v = video(tmp_path, "KX310")
    v.set_param("CameraName", "cam")
    v.set_param("Width", 32)
    assert (v.get_param("CameraName"), v.get_param("Width")) == ("cam", 32)


@pytest.mark.parametrize("op", ["get_param", "set_param"])
def test_a_type_without_table_is_refused_before_any_settings_object(tmp_path, op):
    v = video(tmp_path)
    v.device_type = core.ExDevice(3)
    args = ("Width",) if op == "get_param" else ("Width", 5)
    error = module_error(1, "operator()")
    with sim.recording() as calls, pytest.raises(RuntimeError, match=error):
        getattr(v, op)(*args)
    assert calls == ["CxVideo::DeviceType()"]


@pytest.mark.parametrize("op", ["get_param", "set_param"])
def test_called_through_the_class_with_none_is_status_2(op):
    args = ("Width",) if op == "get_param" else ("Width", 5)
    error = module_error(2, "operator()")
    with sim.recording() as calls, pytest.raises(RuntimeError, match=error):
        getattr(unit.Video, op)(None, *args)
    assert calls == []


def test_the_tables_own_refusal_names_the_table_function(tmp_path):
    v = video(tmp_path, "TR520")
    with pytest.raises(RuntimeError, match=module_error(1, "tr520_get_param")):
        v.get_param("ENCComp2")


@pytest.mark.parametrize(
    "fails",
    [
        lambda v: v.get_param("Nope"),  # the table refuses
        lambda v: v.set_param("Width", "x"),  # the value does not convert
        lambda v: (sim.fail("CxKX310Param::GetParam", status=9), v.get_param("Width")),
        lambda v: (sim.fail("CxKX310Param::From", status=9), v.get_param("Width")),
    ],
)
def test_the_settings_object_is_gone_after_a_failing_call(tmp_path, fails):
    v = video(tmp_path, "KX310")
    gc.collect()
    start = sim.live_objects()
    with pytest.raises(RuntimeError):
        fails(v)
    assert sim.live_objects() == start
    v.get_param("Width")
    assert sim.live_objects() == start
