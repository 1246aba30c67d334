"""Boards taken out of the rack (sim.unplug) and put back (sim.replug): every operation and open
refuses with the library's NoDevice error, waits in progress end with it, and once the board is
back it opens again. Through the public API and the front door's typed errors."""

import time

import pytest

import pyzol
from helpers import CAPTURE_BOARDS, Background, camera, opened, until, wait_for_waiter
from pyzol import core, sim, unit
from pyzol.testing import unplugged

IO_BOARDS = ("MB100", "RM1600", "DQ160")
NO_DEVICE = r"^Code:5 "


@pytest.mark.parametrize("kind", IO_BOARDS + CAPTURE_BOARDS)
def test_an_unplugged_board_does_not_open(kind):
    sim.unplug(kind, 1)
    with pytest.raises(RuntimeError, match=NO_DEVICE):
        opened(kind, 1)


@pytest.mark.parametrize("kind", IO_BOARDS + CAPTURE_BOARDS)
def test_a_replugged_board_opens_again(kind):
    sim.unplug(kind, 1)
    sim.replug(kind, 1)
    assert opened(kind, 1).is_opened


@pytest.mark.parametrize("kind", IO_BOARDS + CAPTURE_BOARDS)
def test_plugged_tells_whether_the_board_is_in_the_rack(kind):
    sim.unplug(kind, 2)
    assert (sim.plugged(kind, 2), sim.plugged(kind, 1)) == (False, True)


IO_CALLS = {
    "read": lambda b: b.read(),
    "write": lambda b: b.write(1),
    "read_bit": lambda b: b.read(3),
    "write_bit": lambda b: b.write(3, True),
    "write_status": lambda b: b.write_status(),
    "wait": lambda b: b.wait(),
}


@pytest.mark.parametrize("call", IO_CALLS.values(), ids=IO_CALLS.keys())
@pytest.mark.parametrize("kind", IO_BOARDS)
def test_an_open_io_board_refuses_every_operation_once_unplugged(kind, call):
    board = opened(kind, 1)
    sim.unplug(kind, 1)
    with pytest.raises(RuntimeError, match=NO_DEVICE):
        call(board)


CAPTURE_CALLS = {
    "lock": lambda b: b.lock([core.CxImage(640, 480)]),
    "start": lambda b: b.start(),
    "wait": lambda b: b.wait(),
    "force_trigger": lambda b: b.force_trigger(),
    "settings": lambda b: getattr(unit, type(b).__name__ + "Param").from_(b).get_param("Width"),
}


@pytest.mark.parametrize("call", CAPTURE_CALLS.values(), ids=CAPTURE_CALLS.keys())
@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_an_open_capture_board_refuses_once_unplugged(kind, call):
    board = opened(kind, 1, 1)
    sim.unplug(kind, 1)
    with pytest.raises(RuntimeError, match=NO_DEVICE):
        call(board)


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_a_handle_opened_before_must_open_again(kind):
    board = opened(kind, 1)
    sim.unplug(kind, 1)
    sim.replug(kind, 1)
    with pytest.raises(RuntimeError, match=NO_DEVICE):
        board.force_trigger()
    board.open(1, 0)
    board.force_trigger()


@pytest.mark.parametrize("kind", IO_BOARDS)
def test_an_io_wait_in_progress_ends_with_no_device(kind):
    board = opened(kind, 1)
    getattr(unit, kind + "Param").from_(board).set_param("Timeout", -1)
    waiter = Background(board.wait)
    wait_for_waiter(kind, 1)
    sim.unplug(kind, 1)
    waiter.join()
    assert isinstance(waiter.error, RuntimeError) and str(waiter.error).startswith("Code:5 ")


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_a_capture_wait_in_progress_ends_with_no_device(tmp_path, kind):
    board = getattr(unit, kind).from_file(camera(tmp_path, TriggerMode=1, Timeout=-1), 1, 0)
    board.lock([core.CxImage(64, 48)])
    board.start()
    waiter = Background(board.wait)
    until(lambda: sim.capture_waiters(kind, 1, 0) > 0)
    sim.unplug(kind, 1)
    waiter.join()
    assert isinstance(waiter.error, RuntimeError) and str(waiter.error).startswith("Code:5 ")
    assert not board.is_running


@pytest.mark.parametrize("kind", ("KX210", "KX310"))
def test_a_serial_read_in_progress_ends_with_no_device(kind):
    board = opened(kind, 1)
    link = getattr(unit, kind + "Sio").from_(board)
    link.open()
    link.timeout = -1  # without the unplugging, the read would wait for ever
    reader = Background(link.read_byte)
    time.sleep(0.05)  # inside its wait (had it not begun, it is refused the same way)
    sim.unplug(kind, 1)
    reader.join(10)
    assert not reader.is_alive()
    sim.sio_feed(kind, 1, 0, b"x")  # a byte the camera sends later is not the read's
    assert isinstance(reader.error, RuntimeError) and str(reader.error).startswith("Code:5 ")


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_a_frame_stream_unplugged_between_frames_ends_with_no_device(tmp_path, kind):
    # Out of the rack while the script holds a frame, not inside a wait: the stream's next
    # frame must tell the board is gone, never end as if the capture had finished.
    board = getattr(unit, kind).from_file(camera(tmp_path, TriggerMode=1, Timeout=5000), 1, 0)
    stream = pyzol.frames(board, 4).open()
    board.force_trigger()
    next(stream).release()
    sim.unplug(kind, 1)
    with pytest.raises(RuntimeError, match=NO_DEVICE):
        next(stream)
    stream.close()


def test_the_front_door_tells_a_board_that_is_gone(tmp_path):
    sim.unplug("KX210", 0)
    with pytest.raises(pyzol.DeviceNotFound):
        pyzol.open("KX210", 0)


def test_a_fresh_rack_has_every_board_back():
    sim.unplug("RM1600", 0)
    sim.reset()
    assert opened("RM1600", 0).is_opened


def test_the_plugin_takes_a_board_out_for_a_block():
    board = opened("RM1600")
    with unplugged("RM1600", 0):
        with pytest.raises(RuntimeError, match=NO_DEVICE):
            board.write(1)
    assert sim.plugged("RM1600", 0)
    board.open(0)
    board.write(1)


def test_the_plugin_puts_the_board_back_when_the_block_raises():
    with pytest.raises(KeyError), unplugged("KX310", 2):
        raise KeyError
    assert sim.plugged("KX310", 2)


@pytest.mark.parametrize("kind", ["MB100", "TR520"])
def test_the_plugins_rack_unplugs_and_replugs(zol_rack, kind):
    zol_rack.unplug(kind, 3)
    assert not sim.plugged(kind, 3)
    zol_rack.replug(kind, 3)
    assert sim.plugged(kind, 3)


def test_the_plugins_rack_wires(zol_rack):
    zol_rack.wire(("RM1600", 0, "out", 3), ("KX210", 0, "trigger", 0))
    assert (
        zol_rack.wiring() == sim.wiring() == [(("RM1600", 0, "out", 3), ("KX210", 0, "trigger", 0))]
    )
    zol_rack.unwire(("RM1600", 0, "out", 3), ("KX210", 0, "trigger", 0))
    assert sim.wiring() == []
