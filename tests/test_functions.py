"""The module-level functions: overload choice by argument count and type, results delivered
through a pointer, interfaces refused without a call, and the device information functions
answering into pyzol.core.TxItemValue."""

import ctypes
import re
import struct

import pytest

from helpers import camera
from pyzol import core, sim, unit


def test_thirteen_functions_with_seventeen_overloads():
    names = "read write write_status get_device_module set_register get_register get_device_info"
    names += " get_xml_item start stop abort wait is_running"
    docs = [getattr(unit, name).__doc__ for name in names.split()]
    assert len(docs) == 13
    assert sum(max(1, len(re.findall(r"^\d+\. ", doc, re.M))) for doc in docs) == 17


@pytest.fixture
def rig(tmp_path):
    board = unit.MB100()
    board.open(0)
    settings = unit.MB100Param.from_(board)
    capture = unit.KX210.from_file(camera(tmp_path))
    capture.lock(core.CxImage(64, 48))
    return dict(
        board=board,
        dio=core.as_dio(board),
        indexed=core.as_indexed_dio(board),
        register=core.as_register(settings),
        control=core.as_video_control(capture),
    )


@pytest.mark.parametrize(
    "call, entry, result",
    [
        (lambda r: unit.read(r["dio"]), "CxMB100::Read(out)", 0b1010),
        (lambda r: unit.read(r["indexed"], 1), "CxMB100::Read(1, out)", True),
        (lambda r: unit.read(r["indexed"], 0), "CxMB100::Read(0, out)", False),
        (lambda r: unit.write(r["dio"], 3), "CxMB100::Write(3)", None),
        (lambda r: unit.write(r["dio"], 4294967295), "CxMB100::Write(4294967295)", None),
        (lambda r: unit.write(r["indexed"], 3, True), "CxMB100::Write(3, true)", None),
        (lambda r: unit.write_status(r["dio"]), "CxMB100::WriteStatus(out)", 0),
        (lambda r: unit.write_status(r["indexed"], 2), "CxMB100::WriteStatus(2, out)", False),
        (lambda r: unit.set_register(r["register"], 1, 9), "CxMB100Param::SetRegister(1, 9)", None),
        (lambda r: unit.get_register(r["register"], 1), "CxMB100Param::GetRegister(1, out)", 0),
        (lambda r: unit.start(r["control"]), "CxKX210::Start()", None),
        (lambda r: unit.stop(r["control"]), "CxKX210::Stop()", None),
        (lambda r: unit.abort(r["control"]), "CxKX210::Abort()", None),
        (lambda r: unit.wait(r["control"]), "CxKX210::Wait()", None),
        (lambda r: unit.is_running(r["control"]), "CxKX210::IsRunning()", False),
    ],
)
def test_overloads_reach_the_right_operation(rig, call, entry, result):
    sim.set_inputs("MB100", 0, 0b1010)
    with sim.recording() as calls:
        assert call(rig) == result
    assert calls == [entry]


@pytest.mark.parametrize(
    "call",
    [
        lambda r: unit.read(None),
        lambda r: unit.read(r["board"]),  # a board is no IxDIO by itself
        lambda r: unit.read(r["dio"], 1),  # no index on the whole port
        lambda r: unit.write(r["dio"], 3, True),
        lambda r: unit.write_status(r["register"]),
        lambda r: unit.get_register(r["dio"], 0),
    ],
)
def test_what_does_not_convert_is_refused_without_a_call(rig, call):
    with sim.recording() as calls, pytest.raises(TypeError):
        call(rig)
    assert calls == []


# ---- device information and XML items -----------------------------------------------------------


@pytest.mark.parametrize(
    "device, item, value",
    [
        (core.ExDevice.KX210, "BoardCount", 4),
        (core.ExDevice.KX310, "ChannelCount", 2),
        (core.ExDevice.TR520, "DeviceName", "TR520"),
        (core.ExDevice.KX210, "FpgaVersion", 0x0102),
        (core.ExDevice.KX310, "FpgaVersion", "1.2"),
        (core.ExDevice.KX310, "SerialNumber", "ZOL-KX310-0004"),
    ],
)
def test_device_info_is_read_back_through_the_result_record(device, item, value):
    result = core.TxItemValue()
    with sim.recording() as calls:
        assert unit.get_device_info(device, item, result) == core.ExStatus.Ok
    assert calls == [f'Api::GetDeviceInfo({int(device)}, "{item}", out)']
    assert result.value == value and type(result.value) is type(value)
    assert str(result) == str(value)
    if isinstance(value, int):
        assert int(result) == value
    else:
        assert result.length == len(value) and not result.truncated


@pytest.mark.parametrize(
    "device, item, status",
    [
        (core.ExDevice.KX210, "Nope", core.ExStatus.UnknownParam),
        (core.ExDevice(3), "BoardCount", core.ExStatus.NoDevice),
        (core.ExDevice.KX210, "BoardCount", core.ExStatus.Ok),  # None: the status alone
    ],
)
def test_a_status_without_an_answer(device, item, status):
    result = core.TxItemValue()
    assert (
        unit.get_device_info(device, item, None if status == core.ExStatus.Ok else result) == status
    )
    assert result.value is None and str(result) == "" and repr(result) == "<TxItemValue empty>"


@pytest.mark.parametrize("capacity", [0, 1, 4])
def test_a_long_answer_is_cut_to_the_capacity(capacity):
    result = core.TxItemValue(capacity)
    status = unit.get_device_info(core.ExDevice.KX310, "SerialNumber", result)
    assert status == core.ExStatus.Truncated
    assert result.value == "ZOL-KX310-0004"[:capacity]
    assert result.length == 14 and result.truncated


def test_a_capsule_passes_its_pointer():
    room = ctypes.create_string_buffer(64)
    struct.pack_into("I", room, 0, 40)  # Size: the record and 19 bytes of text
    new_capsule = ctypes.pythonapi.PyCapsule_New
    new_capsule.restype, new_capsule.argtypes = ctypes.py_object, [ctypes.c_void_p] * 3
    capsule = new_capsule(ctypes.addressof(room), None, None)
    assert unit.get_device_info(core.ExDevice.TR520, "DeviceName", capsule) == core.ExStatus.Ok
    size, kind = struct.unpack_from("II", room, 0)
    assert (size, kind) == (40, 2)  # a text
    assert room.raw[20:26] == b"TR520\0"
    assert room.raw[40:] == bytes(24)  # nothing past Size


@pytest.mark.parametrize("wrong", [lambda: unit.MB100(), lambda: core.CxImage(64, 48), lambda: 7])
def test_other_objects_are_refused_as_the_result(wrong):
    target = wrong()
    with sim.recording() as calls, pytest.raises(TypeError):
        unit.get_device_info(core.ExDevice.KX210, "DeviceName", target)
    with pytest.raises(TypeError):
        unit.get_xml_item("cam.txt", "Width", target)
    assert calls == []


XML = """<?xml version="1.0"?>
<camera>
  <Name>north &amp; south</Name>
  <geometry><Width>640</Width><Height> 480 </Height><Offset/></geometry>
  <Serial>0x1F</Serial>
</camera>
"""
CAM = "# camera\nWidth = 64\nCameraName=ZOLCAM 2 of the north gate\n"
Ok, Cut, Unknown = core.ExStatus.Ok, core.ExStatus.Truncated, core.ExStatus.UnknownParam


@pytest.mark.parametrize(
    "content, item, status, value",
    [
        (XML, "Name", Ok, "north & south"),
        (XML, "geometry/Width", Ok, 640),
        (XML, "geometry/Height", Ok, 480),
        (XML, "geometry/Offset", Ok, ""),
        (XML, "Serial", Ok, 0x1F),
        (XML, "geometry/Name", Unknown, None),
        (XML, "", Unknown, None),
        (CAM, "Width", Ok, 64),
        (CAM, "CameraName", Cut, "ZOLCAM 2 of the "),
        (CAM, "Height", Unknown, None),
        ("Width=1\nnonsense\n", "Width", core.ExStatus.FileFormat, None),
        (None, "Width", core.ExStatus.FileNotFound, None),
    ],
)
def test_file_items_by_name_or_path(tmp_path, content, item, status, value):
    path = tmp_path / "cam"
    if content is not None:
        path.write_text(content)
    result = core.TxItemValue(16)
    assert unit.get_xml_item(str(path), item, result) == status
    assert result.value == value


def test_str_reaches_the_narrow_overload_and_bytes_too(tmp_path):
    path = camera(tmp_path)
    with sim.recording() as calls:
        unit.get_xml_item(path, "Width", None)
        unit.get_xml_item(path.encode(), "Width", None)
    assert calls == [f'Api::GetXmlItem("{path}", "Width", null)'] * 2


@pytest.mark.parametrize("capacity", [-1, 2**32])
def test_result_capacity_is_checked(capacity):
    with pytest.raises(ValueError, match="capacity must be 0 to"):
        core.TxItemValue(capacity)


def test_a_text_answer_is_no_int():
    result = core.TxItemValue()
    unit.get_device_info(core.ExDevice.KX210, "DeviceName", result)
    assert repr(result) == "<TxItemValue 'KX210'>"
    with pytest.raises(TypeError, match="not a number"):
        int(result)
