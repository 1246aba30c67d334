"""pyzol.core: the shared enumerations, CxImage and the as_... adapters."""

import gc

import pytest

import pyzol  # noqa: F401  (imports core, then unit)
from helpers import opened
from pyzol import core, sim, unit

# Members of pyzol.unit that land later; tests that need them wait for them.
needs_module_functions = pytest.mark.skipif(
    not hasattr(unit, "write"), reason="module-level functions not registered yet"
)
needs_capture_boards = pytest.mark.skipif(
    not hasattr(unit, "KX210"), reason="capture boards not registered yet"
)


# ---- enumerations --------------------------------------------------------------------------------


def test_ex_status_has_every_status_code():
    expected = [
        "Ok", "Failed", "NoObject", "NullPointer", "InvalidArgument", "NoDevice", "NotOpened",
        "Busy", "Timeout", "Disposed", "FileNotFound", "FileFormat", "FileWrite", "UnknownParam",
        "ParamKind", "ReadOnly", "NotLocked", "ImageTooSmall", "NotSupported", "NoController",
        "Aborted", "UnknownCommand", "Truncated", "ImageFormat",
    ]  # fmt: skip
    members = core.ExStatus.__members__
    assert list(members) == expected
    assert [int(members[name]) for name in expected] == list(range(len(expected)))


def test_ex_device_values_and_unknown_codes():
    assert int(core.ExDevice.KX210) == 1
    assert int(core.ExDevice.TR520) == 2
    assert int(core.ExDevice.KX310) == 4
    assert core.ExDevice(4) == core.ExDevice.KX310
    assert core.ExDevice(3).name == "???"


# ---- CxImage -------------------------------------------------------------------------------------


def test_image_geometry_and_repr():
    img = core.CxImage(640, 480)
    assert (img.width, img.height, img.stride, img.size) == (640, 480, 640, 640 * 480)
    assert repr(img) == "<CxImage 640x480>"
    empty = core.CxImage()
    assert (empty.width, empty.height, empty.size) == (0, 0, 0)
    assert repr(empty) == "<CxImage 0x0>"
    # Formats other than the default are named.
    assert repr(core.CxImage(4, 2, core.ExPixelFormat.Mono16)) == "<CxImage 4x2 Mono16>"
    assert repr(core.CxImage(4, 2, core.ExPixelFormat.BGR8, 16)) == "<CxImage 4x2 BGR8>"


def test_image_properties_are_read_only():
    img = core.CxImage(4, 4)
    with pytest.raises(AttributeError):
        img.width = 8


def test_image_is_a_writable_zero_copy_view():
    np = pytest.importorskip("numpy")
    img = core.CxImage(8, 4)
    view = np.asarray(img)
    assert view.shape == (4, 8)
    assert view.dtype == np.uint8
    assert view.flags.writeable
    view[2, 3] = 200
    assert np.asarray(img)[2, 3] == 200
    assert bytes(memoryview(img))[2 * 8 + 3] == 200
    assert np.shares_memory(view, np.asarray(img))


def test_empty_image_gives_an_empty_view():
    np = pytest.importorskip("numpy")
    assert np.asarray(core.CxImage()).shape == (0, 0)


@pytest.mark.parametrize("fmt", list(core.ExPixelFormat.__members__.values()))
def test_view_keeps_its_image_alive(no_leaks, fmt):
    np = pytest.importorskip("numpy")
    img = core.CxImage(16, 16, fmt)
    view = np.asarray(img)
    del img
    gc.collect()
    assert sim.live_objects() == no_leaks + 1
    view[:] = 7  # still the image's own memory


@pytest.mark.parametrize(
    "args",
    [
        (-1, 10),
        (4, 2, core.ExPixelFormat.Mono8, 3),  # stride shorter than a row
        (4, 2, core.ExPixelFormat.Mono16, 9),  # not a whole number of 16-bit samples
        (4, 2, core.ExPixelFormat.RGB8, 11),
    ],
)
def test_bad_image_geometry_is_a_library_error(args):
    with pytest.raises(RuntimeError, match=r"^Code:4 Line:\d+ Function:CxImage File:"):
        core.CxImage(*args)


# ---- adapters ------------------------------------------------------------------------------------


def test_adapters_return_interface_objects():
    board = unit.MB100()
    settings = unit.MB100Param()
    cases = [
        (core.as_module, board, core.IxModule),
        (core.as_dio, board, core.IxDIO),
        (core.as_indexed_dio, board, core.IxIndexedDIO),
        (core.as_register, settings, core.IxRegister),
        (core.as_device_module, settings, core.IxDeviceModule),
    ]
    if hasattr(unit, "KX210"):
        cases.append((core.as_video_control, unit.KX210(), core.IxVideoControl))
    for adapter, obj, interface in cases:
        result = adapter(obj)
        # Not the board object itself (no downcast to the most-derived class).
        assert type(result) is interface, adapter.__name__
        assert repr(result) == f"<{interface.__name__} of {type(obj).__name__}>"


def test_adapters_call_nothing_in_the_library():
    with sim.recording() as calls:
        core.as_module(unit.MB100())
        core.as_register(unit.MB100Param())
    assert calls == []


@needs_module_functions
def test_dio_adapters_reach_the_board():
    board = opened("MB100")
    with sim.recording() as calls:
        unit.write(core.as_dio(board), 5)
        assert unit.write_status(core.as_dio(board)) == 5
        unit.write(core.as_indexed_dio(board), 3, True)
        assert unit.write_status(core.as_indexed_dio(board), 3) is True
    assert sim.outputs("MB100", 0) == 5 | 8
    # Journaled under the board's own class, whichever interface reached it.
    assert calls == [
        "CxMB100::Write(5)",
        "CxMB100::WriteStatus(out)",
        "CxMB100::Write(3, true)",
        "CxMB100::WriteStatus(3, out)",
    ]


@needs_module_functions
def test_device_module_round_trip_gives_the_board_back():
    board = opened("MB100")
    settings = unit.MB100Param.from_(board)
    assert unit.get_device_module(core.as_device_module(settings)) is board


@needs_module_functions
def test_register_adapter_reaches_the_settings_object():
    settings = unit.MB100Param.from_(opened("MB100"))
    with sim.recording() as calls:
        unit.set_register(core.as_register(settings), 0, 7)
    assert calls == ["CxMB100Param::SetRegister(0, 7)"]


def test_adapter_result_keeps_the_board_alive(no_leaks):
    dio = core.as_dio(unit.MB100())
    gc.collect()
    assert sim.live_objects() == no_leaks + 1 and dio is not None


def test_python_subclass_of_a_board_is_accepted():
    class MyBoard(unit.MB100):
        pass

    assert type(core.as_module(MyBoard())) is core.IxModule


def test_as_module_refuses_a_plain_int():
    with pytest.raises(TypeError) as info:
        core.as_module(42)
    assert str(info.value) == (
        "as_module: expected a board (MB100, RM1600, DQ160, KX210, KX310, TR520, Video), got int"
    )


@pytest.mark.parametrize(
    "adapter, wrong",
    [
        (core.as_module, unit.MB100Param),
        pytest.param(core.as_dio, getattr(unit, "KX210", None), marks=needs_capture_boards),
        (core.as_indexed_dio, unit.MB100Param),
        (core.as_video_control, unit.MB100),
        (core.as_register, unit.MB100),
        (core.as_device_module, unit.MB100),
    ],
)
def test_adapters_refuse_what_does_not_implement_the_interface(adapter, wrong):
    for obj in (None, 42, core.CxImage(), wrong()):
        with pytest.raises(
            TypeError,
            match=rf"^{adapter.__name__}: expected .*, got "
            rf"{type(obj).__name__}$",
        ):
            adapter(obj)


def test_interfaces_cannot_be_made_from_python():
    with pytest.raises(TypeError):
        core.IxModule()
