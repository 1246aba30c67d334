"""The front door: pyzol.devices(), pyzol.open() and the board objects, their settings mapping
over the binding's own name tables, status records as values, and typed errors; the library
side seen through the journal."""

import logging
import pickle

import pytest

import pyzol
from helpers import camera
from pyzol import core, sim, unit

CAMERAS = ["KX210", "KX310", "TR520"]


@pytest.fixture
def journal(zol_journal):
    return zol_journal.entries


def test_devices_lists_every_board_of_the_rack_and_leaves_an_open_board_open():
    held = unit.MB100()
    held.open(2)
    held.write(0b101)
    found = pyzol.devices()
    kinds = [d.kind for d in found]
    assert kinds == sorted(kinds, key=[*CAMERAS, "MB100", "RM1600", "DQ160"].index)
    assert {(d.kind, d.id) for d in found} == {
        (k, i) for k in [*CAMERAS, "MB100", "RM1600", "DQ160"] for i in range(4)
    }
    kx210 = next(d for d in found if d.kind == "KX210")
    assert (kx210.channels, kx210.serial_number, kx210.driver_version) == (
        2, "ZOL-KX210-0001", "1.2.0",
    )  # fmt: skip
    assert next(d for d in found if d.kind == "RM1600").fpga_version == "3.1.0"
    assert held.is_opened and held.write_status() == 0b101  # the probe let go, did not close


@pytest.mark.parametrize("kind", CAMERAS)
def test_a_camera_is_a_context_manager_that_closes_also_on_an_exception(tmp_path, kind):
    with pytest.raises(ZeroDivisionError):
        with pyzol.open(kind, 1, 1, camera=camera(tmp_path)) as cam:
            assert repr(cam) == f"<pyzol.Camera {kind} 1/1 stopped>"
            assert isinstance(cam.unit, getattr(unit, kind)) and cam.unit.is_opened
            raise ZeroDivisionError
    assert repr(cam) == f"<pyzol.Camera {kind} 1/1 closed>" and not cam.unit.is_opened
    cam.close()  # again: nothing
    with pytest.raises(pyzol.ZolError, match="is closed") as info:
        cam.settings["Width"]
    assert info.value.status == core.ExStatus.NotOpened


def test_frames_and_status_through_the_camera(tmp_path):
    with pyzol.open("KX210", camera=camera(tmp_path)) as cam:
        with cam.frames(4, count=3) as stream:
            numbers = [frame.number for frame in stream]
        status = cam.status()
    assert numbers == [0, 1, 2]
    assert status.total_frame_count == 3 and status.last_frame_no == 2
    assert pickle.loads(pickle.dumps(status)) == status
    assert status._asdict()["line_count"] == 48
    with pytest.raises(AttributeError):
        status.line_count = 0  # type: ignore[misc]


@pytest.mark.parametrize(
    "args, error, message",
    [
        (("KX201",), pyzol.DeviceNotFound, "no board kind 'KX201'.*did you mean 'KX210'"),
        (("kx310",), pyzol.DeviceNotFound, "did you mean 'KX310'"),
        (("KX210", 4), pyzol.DeviceNotFound, "no KX210 board 4: the rack has 0 to 3"),
        (("TR520", 0, 2), pyzol.DeviceNotFound, "no channel 2: it has 0 to 1"),
        (("KX210", -1), pyzol.DeviceNotFound, "negative"),
        (("MB100", 0, 1), pyzol.DeviceNotFound, "no channels"),
        (("DQ160", 7), pyzol.DeviceNotFound, "no DQ160 board 7"),
        (("KX210", 1.0), TypeError, "id is an int, not float"),
        ((unit.KX210,), TypeError, "kind is a str"),
        (("Video",), TypeError, "needs camera="),
    ],
)
def test_open_refuses_what_the_rack_does_not_have(journal, args, error, message):
    with pytest.raises(error, match=message):
        pyzol.open(*args)
    # Only the rack's size was asked (and the DQ160's Open refused): nothing else reached it.
    assert all("GetDeviceInfo" in e or "Open" in e or "CxDQ160" in e for e in journal())


def test_a_typo_in_a_setting_name_is_refused_before_the_library_with_close_names(tmp_path, journal):
    with pyzol.open("KX210", camera=camera(tmp_path)) as cam:
        assert cam.settings  # made once, on first use
        before = len(journal())
        with pytest.raises(pyzol.SettingNameError, match="did you mean 'ExposureTime'") as info:
            cam.settings["ExposureTme"] = 5
        assert isinstance(info.value, KeyError) and isinstance(info.value, pyzol.SettingError)
        with pytest.raises(KeyError, match="'ExposureTime'"):
            cam.settings["exposuretime"]
        with pytest.raises(pyzol.SettingNameError, match="'ImageWidth' is read-only"):
            cam.settings["ImageWidth"] = 5
        assert cam.settings.get("Nope", "default") == "default"
        assert len(journal()) == before


@pytest.mark.parametrize(
    "name, value, message",
    [
        ("ExposureTime", 1.5, r"takes an int \(signed\), not float"),
        ("ExposureTime", "12", r"takes an int \(signed\), not str"),
        ("ExposureTime", 2**31, "out of range"),
        ("ENCComp2", -1, "unsigned 32-bit int, 0 to 4294967295"),
        ("CameraName", 5, "takes a str, not int"),
    ],
)
def test_a_value_of_the_wrong_kind_is_refused_before_the_library(
    tmp_path, journal, name, value, message
):
    with pyzol.open("KX210", camera=camera(tmp_path)) as cam:
        assert cam.settings  # made once, on first use
        before = len(journal())
        with pytest.raises(pyzol.SettingValueError, match=message) as info:
            cam.settings[name] = value
        assert isinstance(info.value, ValueError)
        assert len(journal()) == before


def test_the_settings_mapping_lists_describes_writes_and_reads(tmp_path, caplog):
    with pyzol.open("TR520", camera=camera(tmp_path)) as cam:
        settings = cam.settings
        assert len(settings) == len(list(settings)) == 61 and "Width" in settings
        assert "SelfCalibration" not in settings and settings.commands == ("SelfCalibration",)
        assert settings.describe("ExposureTime") == (
            "ExposureTime",
            "signed",
            "read-write",
            "TR520Param",
        )
        assert settings.describe("DriverVersion").kind == "text"
        assert settings.describe("SelfCalibration").kind == "command"
        with caplog.at_level(logging.DEBUG, logger="pyzol"):
            settings.apply({"ExposureTime": 1200, "Width": 32})
        assert "TR520 0/0: ExposureTime = 1200" in caplog.text
        assert settings["ExposureTime"] == 1200
        assert settings.snapshot()["Width"] == 32 == settings["Width"]
        with pytest.raises(pyzol.SettingValueError):  # the second is refused: the first not written
            settings.apply({"ExposureTime": 7, "Width": "wide"})
        assert settings["ExposureTime"] == 1200
        settings.send("SelfCalibration")
        with pytest.raises(pyzol.SettingNameError, match="did you mean 'SelfCalibration'"):
            settings.send("SelfCalibraton")


def test_a_library_refusal_is_typed_and_chains_the_exact_error(tmp_path):
    sim.fail("CxKX210::Start", int(core.ExStatus.Timeout), "Start", "x.c", 7, 1)
    with pyzol.open("KX210", camera=camera(tmp_path)) as cam:
        cam.unit.lock([core.CxImage(64, 48) for _ in range(2)])
        with pytest.raises(pyzol.DeviceTimeout) as info:
            cam.start()
    error = info.value
    assert isinstance(error, TimeoutError) and isinstance(error, RuntimeError)
    assert str(error) == "Code:8 Line:7 Function:Start File:x.c" == str(error.__cause__)
    assert (error.status, error.code, error.function, error.file, error.line) == (
        core.ExStatus.Timeout, 8, "Start", "x.c", 7,
    )  # fmt: skip


@pytest.mark.parametrize(
    "status, cls",
    [(5, pyzol.DeviceNotFound), (8, pyzol.DeviceTimeout), (13, pyzol.SettingError),
     (6, pyzol.ZolError), (99, pyzol.ZolError)],
)  # fmt: skip
def test_error_info_gives_the_typed_view_of_an_exact_error(status, cls):
    sim.fail("CxMB100::Open", status, "Open", "dev.c", 42, 1)
    with pytest.raises(RuntimeError) as info:
        unit.MB100().open(0)
    assert type(info.value) is RuntimeError  # pyzol.unit itself stays exact
    typed = pyzol.error_info(info.value)
    assert type(typed) is cls and typed.__cause__ is info.value and typed.code == status
    assert typed.status == (core.ExStatus(status) if status < 99 else 99)
    with pytest.raises(TypeError) as cast:
        unit.MB100().open("x")
    assert pyzol.error_info(cast.value) is None


def test_an_io_board_reads_writes_and_waits(journal):
    with pyzol.open("DQ160", 3) as board:
        sim.set_inputs("DQ160", 3, 0b1001)
        board.write(2, True)
        board.outputs = board.outputs | 1
        assert (board.inputs, board.outputs, sim.outputs("DQ160", 3)) == (0b1001, 0b101, 0b101)
        with pytest.raises(pyzol.DeviceTimeout, match="DQ160 3: no event"):
            board.wait(timeout=5)
        assert board.settings["Timeout"] == 5
        assert repr(board) == "<pyzol.IOBoard DQ160 3 open>"
    assert not sim.board_opened("DQ160", 3)


@pytest.mark.parametrize("kind", ["KX210", "KX310"])
def test_a_camera_s_encoder_has_its_own_table_and_status(tmp_path, kind):
    with pyzol.open(kind, camera=camera(tmp_path)) as cam:
        encoder = cam.encoder
        assert isinstance(encoder.unit, getattr(unit, f"{kind}Encoder"))
        assert encoder.settings.describe("ENCComp2") == ("ENCComp2", "unsigned", "read-write",
                                                         f"{kind}Encoder")  # fmt: skip
        encoder.settings["ENCComp1"] = 25
        assert encoder.unit.comp1 == 25 and encoder.settings.commands == ()
        if kind == "KX310":
            encoder.unit.start_encoder()
            sim.encoder_pulses(kind, 0, 0, 7)
            status = encoder.status()
            assert status.encoder_counter == encoder.unit.encoder_counter() == 7
            assert pickle.loads(pickle.dumps(status)) == status
        else:
            with pytest.raises(TypeError, match="no status record"):
                encoder.status()
    with pytest.raises(pyzol.ZolError, match="is closed"):
        encoder.settings["ENCComp1"]
    with pyzol.open("TR520", camera=camera(tmp_path)) as tr520:
        with pytest.raises(TypeError, match="no encoder unit"):
            assert tr520.encoder
