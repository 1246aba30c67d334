"""Faults of the camera end of a board channel: a camera that stops sending (waits run into the
board's time-out), frames cut short (the status record, the Frame and the image say so), and a
serial link that loses or garbles the camera's bytes. Through the public API, driven by pyzol.sim
and the pytest plugin's helpers."""

import numpy as np
import pytest

import pyzol
from helpers import CAPTURE_BOARDS, H, W, camera, drawn
from pyzol import core, sim, unit
from pyzol.testing import camera_silent


def board_of(tmp_path, kind, **settings):
    board = getattr(unit, kind).from_file(camera(tmp_path, **settings), 0, 0)
    board.lock([core.CxImage(W, H) for _ in range(3)])
    return board


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_a_silent_camera_sends_no_frame_and_the_wait_times_out(tmp_path, kind):
    board = board_of(tmp_path, kind, TriggerCycleTime=100, Timeout=30)
    board.num = 1
    with camera_silent(kind, 0, 0):
        board.start()
        with pytest.raises(RuntimeError) as raised:
            board.wait()
        assert board.query_status().total_frame_count == 0
        board.abort()
    assert raised.value.status == core.ExStatus.Timeout


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_a_camera_that_sends_again_delivers_the_frames(tmp_path, kind):
    board = board_of(tmp_path, kind, TriggerCycleTime=100, Timeout=60_000)
    sim.camera_silent(kind, 0, 0, True)
    board.num = 2
    board.start()
    sim.camera_silent(kind, 0, 0, False)
    board.wait()
    assert board.query_status().total_frame_count == 2


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
@pytest.mark.parametrize("lines", [0, 1, H - 1])
def test_a_frame_cut_short_tells_its_lines_in_the_status(tmp_path, kind, lines):
    board = board_of(tmp_path, kind, TriggerCycleTime=0)
    sim.short_frames(kind, 0, 0, lines)
    board.num = 1
    board.start()
    board.wait()
    status = board.query_status()
    assert (status.line_count, status.amount_in_frame) == (lines, lines * W)
    assert sim.frame_info(board, 0).lines == lines


def test_the_rows_past_a_short_frames_lines_keep_what_they_held(tmp_path):
    board = unit.KX210.from_file(camera(tmp_path, TriggerCycleTime=0), 0, 0)
    image = core.CxImage(W, H)
    np.asarray(image)[:] = 7
    board.lock([image])
    sim.short_frames("KX210", 0, 0, 10)
    board.num = 1
    board.start()
    board.wait()
    view = np.asarray(image)
    np.testing.assert_array_equal(view[:10, 9:], drawn(0)[:10, 9:])  # past the number's box
    assert (view[10:] == 7).all()


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_the_stream_marks_the_frames_cut_short(tmp_path, kind):
    board = getattr(unit, kind).from_file(camera(tmp_path, TriggerCycleTime=0), 0, 0)
    sim.short_frames(kind, 0, 0, 5, count=2)
    with pyzol.frames(board, 4, count=3) as stream:
        seen = [(f.lines, f.complete) for f in stream]
    assert seen == [(5, False), (5, False), (H, True)]


def test_negative_short_frames_are_refused():
    with pytest.raises(RuntimeError, match="^Code:4 .*Function:ShortFrames"):
        sim.short_frames("KX210", 0, 0, -1)


@pytest.fixture(params=["KX210", "KX310"])
def link(request):
    board = getattr(unit, request.param)()
    board.open(0, 0)
    sio = getattr(unit, request.param + "Sio").from_(board)
    sio.open()
    sio.timeout = 20
    return request.param, sio


@pytest.mark.parametrize(
    "fault, count, read",
    [("drop", 1, "K\r\0"), ("drop", 9, " \0\0"), ("garble", 1, "\xb0K\r"), ("garble", 0, "OK\r")],
)  # fmt: skip
def test_the_link_loses_or_garbles_the_cameras_next_bytes(link, fault, count, read):
    board, sio = link
    getattr(sim, "sio_" + fault)(board, 0, 0, count)
    sim.sio_feed(board, 0, 0, b"OK\r")
    assert sio.read(3) == read


def test_the_link_garbles_the_cameras_answers_too(link):
    board, sio = link
    sim.sio_garble(board, 0, 0, 3)
    sio.write("EXP=5\r")
    assert sio.read(3) == "".join(chr(~ord(c) & 0xFF) for c in "OK\r")


def test_the_link_leaves_what_the_camera_receives_whole(link):
    board, sio = link
    sim.sio_drop(board, 0, 0, 100)
    sio.write("?ID\r")
    assert sim.sio_sent(board, 0, 0) == b"?ID\r"


def test_a_fresh_rack_has_a_camera_that_sends_whole_frames(tmp_path):
    sim.camera_silent("KX210", 0, 0, True)
    sim.short_frames("KX210", 0, 0, 1, 5)
    sim.reset()
    board = board_of(tmp_path, "KX210", TriggerCycleTime=0, Timeout=60_000)
    board.num = 1
    board.start()
    board.wait()
    assert board.query_status().line_count == H


def test_the_plugins_rack_cuts_frames_and_the_link(zol_rack, tmp_path):
    board = board_of(tmp_path, "TR520", TriggerCycleTime=0)
    zol_rack.short_frames("TR520", 0, 0, 3)
    board.num = 1
    board.start()
    board.wait()
    assert board.query_status().line_count == 3
    sio = unit.KX210Sio.from_(unit.KX210())
    sio.controller.open(0, 0)
    sio.open()
    zol_rack.sio_drop("KX210", 0, 0, 1)
    zol_rack.sio_garble("KX210", 0, 0, 1)
    sim.sio_feed("KX210", 0, 0, b"abc")
    assert sio.read(2) == "\x9dc"


def test_the_plugins_rack_silences_a_camera_for_a_block(zol_rack, tmp_path):
    board = board_of(tmp_path, "KX310", TriggerCycleTime=100, Timeout=30)
    board.num = 1
    with zol_rack.camera_silent("KX310", 0, 0):
        board.start()
        with pytest.raises(RuntimeError, match="Function:Wait"):
            board.wait()
    board.abort()
    board.start()
    board.wait()
    assert board.query_status().total_frame_count == 1
