"""The live view's server through its WebSocket and HTTP routes (pyzol.view, `pyzol view`):
frames of every pixel format, settings written and refused, start, stop, one frame, recording,
several pages, the token, and bad input that leaves the capture running."""

import asyncio
import json
import os
import re
import signal
import struct
import subprocess
import sys
import time

import numpy as np
import pytest

import pyzol
from helpers import ROOT
from pyzol import core, sim

aiohttp = pytest.importorskip("aiohttp")
tifffile = pytest.importorskip("tifffile")
from pyzol.view import Snapshot, ViewServer, encode_frame, histogram  # noqa: E402

W, H = 64, 48
WHOLE = {"x0": 0, "y0": 0, "x1": W, "y1": H, "cols": W, "rows": H}
FORMATS = {  # camera file PixelFormat: (library format, significant bits)
    "Mono8": ("Mono8", 8), "Mono10": ("Mono16", 10), "Mono12": ("Mono16", 12),
    "Mono16": ("Mono16", 16), "RGB8": ("RGB8", 8), "BGR8": ("BGR8", 8),
}  # fmt: skip


@pytest.fixture
def cam(camera_file):
    with pyzol.open("KX210", camera=camera_file(TriggerCycleTime=2000)) as board:
        yield board


@pytest.fixture
def server(cam, tmp_path):
    with ViewServer(cam, str(tmp_path), port=0).in_thread() as running:
        yield running


def run(coroutine):
    return asyncio.run(asyncio.wait_for(coroutine, 30))


def socket_url(server, query=""):
    return f"http://127.0.0.1:{server.port}/ws{query}"


def decode(data):
    (length,) = struct.unpack_from("<I", data)
    header = json.loads(data[4 : 4 + length])
    dtype = "<u2" if header["sample_bytes"] == 2 else "u1"
    samples = np.frombuffer(data, dtype, offset=4 + length)
    shape = (header["rows"], header["cols"]) + ((3,) if header["channels"] == 3 else ())
    return header, samples.reshape(shape)


async def next_of(ws, *types):
    """The next message of one of `types` ("frame" for a frame), skipping the others."""
    async for message in ws:
        if message.type == aiohttp.WSMsgType.BINARY:
            if "frame" in types:
                return decode(message.data)
            continue
        if message.type != aiohttp.WSMsgType.TEXT:
            return message
        found = json.loads(message.data)
        if found["type"] in types:
            return found
    raise AssertionError(f"the socket closed before a message of {types}")


async def exchange(server, *messages, want=("error",), query=""):
    """Sends `messages` on a new page's socket; the first answer of a type in `want`."""
    async with aiohttp.ClientSession() as session:
        async with session.ws_connect(socket_url(server, query)) as ws:
            for message in messages:
                if isinstance(message, bytes):
                    await ws.send_bytes(message)
                else:
                    await ws.send_str(message if isinstance(message, str) else json.dumps(message))
            return await next_of(ws, *want)


def ready(**region):
    return {"type": "ready", **WHOLE, **region}


def status_now(server):
    return run(exchange(server, want=("status",)))


def captured(cam):
    return cam.status().total_frame_count


def still_capturing(cam):
    before = captured(cam)
    deadline = time.monotonic() + 10
    while captured(cam) <= before:
        assert time.monotonic() < deadline, "the capture stopped"
        time.sleep(0.005)


# ---- frames ----------------------------------------------------------------------------------


@pytest.mark.parametrize("name", FORMATS)
def test_a_page_gets_the_boards_frame_in_its_format(camera_file, tmp_path, name):
    library_format, bits = FORMATS[name]
    with pyzol.open("KX210", camera=camera_file(PixelFormat=name)) as board:
        with ViewServer(board, str(tmp_path), port=0).in_thread() as server:
            header, samples = run(exchange(server, ready(), want=("frame",)))
    assert (header["format"], header["bits"]) == (library_format, bits)
    expected = core.CxImage(W, H, getattr(core.ExPixelFormat, library_format))
    sim.draw_test_frame(expected, header["number"], name)
    assert np.array_equal(samples, np.asarray(expected))


@pytest.mark.parametrize(
    "region, step, shape",
    [
        ({}, 1, (H, W)),
        ({"cols": 32, "rows": 24}, 2, (24, 32)),
        ({"x0": 10, "y0": 20, "x1": 30, "y1": 28}, 1, (8, 20)),
        ({"x0": 60, "y0": 40, "x1": 999, "y1": 999}, 1, (8, 4)),
    ],
)  # fmt: skip
def test_a_frame_holds_the_region_asked_for(region, step, shape):
    array = np.arange(W * H, dtype=np.uint16).reshape(H, W)
    snap = Snapshot(array, 7, pyzol.boards.FrameFormat(W, H, core.ExPixelFormat.Mono16, 16), 1)
    request = {**WHOLE, **region}
    header, samples = decode(encode_frame(snap, request, []))
    x0, y0 = request["x0"], request["y0"]
    assert (header["step"], samples.shape) == (step, shape)
    assert np.array_equal(
        samples, array[y0 : y0 + shape[0] * step : step, x0 : x0 + shape[1] * step : step]
    )


@pytest.mark.parametrize(
    "pixel_format, bits, value, bin",
    [("Mono8", 8, 200, 200), ("Mono16", 10, 1023, 255), ("Mono16", 12, 2048, 128),
     ("Mono16", 16, 256, 1)],
)  # fmt: skip
def test_the_histogram_spans_the_real_depth(pixel_format, bits, value, bin):
    fmt = pyzol.boards.FrameFormat(W, H, getattr(core.ExPixelFormat, pixel_format), bits)
    array = np.full((H, W), value, fmt.dtype)
    (plane,) = histogram(Snapshot(array, 0, fmt, 1))
    assert plane[bin] == W * H and sum(plane) == W * H


def test_a_colour_histogram_is_in_rgb_order():
    fmt = pyzol.boards.FrameFormat(W, H, core.ExPixelFormat.BGR8, 8)
    array = np.zeros((H, W, 3), np.uint8)
    array[..., 0] = 10  # blue, first in BGR
    red, _, blue = histogram(Snapshot(array, 0, fmt, 1))
    assert (red[0], blue[10]) == (W * H, W * H)


# ---- settings --------------------------------------------------------------------------------


def test_a_setting_written_by_a_page_reaches_the_board(server, cam):
    answer = run(
        exchange(server, {"type": "set", "name": "ExposureTime", "value": 1234}, want=("set",))
    )
    assert answer["ok"] is True
    assert cam.settings["ExposureTime"] == 1234
    assert any('SetParam("ExposureTime", 1234' in entry for entry in sim.journal())


@pytest.mark.parametrize(
    "name, value, text",
    [
        ("ExposureTime", "abc", "takes an int"),
        ("ExposureTime", 2**40, "out of range"),
        ("ExposureTime", 1.5, "takes an int"),
        ("ImageWidth", 5, "read-only"),
        ("ExposureTme", 5, "did you mean 'ExposureTime'"),
    ],
)  # fmt: skip
def test_a_refused_value_comes_back_with_its_error(server, cam, name, value, text):
    before = sim.journal_size()
    message = {"type": "set", "name": name, "value": value}
    answer = run(exchange(server, message, want=("set",)))
    assert (answer["ok"], answer["name"]) == (False, name)
    assert text in answer["error"] and answer["notes"] == []
    assert not [e for e in sim.journal_from(before) if "SetParam" in e]


def test_a_library_refusal_comes_back_with_its_status(server, zol_rack):
    zol_rack.fail("CxKX210Param::SetParam", int(core.ExStatus.InvalidArgument))
    answer = run(exchange(server, {"type": "set", "name": "Width", "value": 32}, want=("set",)))
    assert answer["ok"] is False and "Code:" in answer["error"]


def test_the_settings_list_every_readable_setting_with_its_kind(server, cam):
    board = run(exchange(server, want=("board",)))
    rows = {row["name"]: row for row in board["settings"]}
    assert set(cam.settings) <= set(rows)
    assert rows["ImageWidth"]["access"] == "read" and rows["ImageWidth"]["value"] == W
    assert rows["ExposureTime"]["kind"] == cam.settings.describe("ExposureTime").kind


def test_a_write_is_shown_on_every_page(server):
    async def two_pages():
        async with aiohttp.ClientSession() as session:
            async with (
                session.ws_connect(socket_url(server)) as a,
                session.ws_connect(socket_url(server)) as b,
            ):
                await next_of(b, "board")
                await a.send_str(json.dumps({"type": "set", "name": "ExposureTime", "value": 777}))
                return await next_of(b, "board")

    rows = {row["name"]: row for row in run(two_pages())["settings"]}
    assert rows["ExposureTime"]["value"] == 777


def test_a_new_frame_size_restarts_the_live_stream_in_it(server):
    answer = run(
        exchange(server, {"type": "set", "name": "Width", "value": 32}, ready(), want=("frame",))
    )
    while answer[0]["width"] != 32:  # frames of the old size may still be on the way
        answer = run(exchange(server, ready(), want=("frame",)))
    assert answer[1].shape == (H, 32) and status_now(server)["state"] == "running"


# ---- start, stop, one frame, recording ------------------------------------------------------


def wait_state(server, state):
    deadline = time.monotonic() + 10
    while (found := status_now(server))["state"] != state:
        assert time.monotonic() < deadline, f"still {found['state']}"
        time.sleep(0.02)
    return found


@pytest.mark.parametrize("command, running", [("stop", False), ("start", True), ("snap", False)])
def test_start_stop_and_one_frame_run_the_board(server, cam, command, running):
    if command == "start":
        run(exchange(server, {"type": "stop"}, want=("status",)))
    run(exchange(server, {"type": command}, want=("status",)))
    if command == "snap":
        header, _ = run(exchange(server, ready(), want=("frame",)))
        assert header["number"] == 0
    wait_state(server, "running" if running else "stopped")
    assert cam.unit.is_running is running


@pytest.mark.parametrize("command", ["stop", "start"])
def test_closing_every_page_leaves_the_board_as_it_was_left(server, cam, command):
    run(exchange(server, {"type": command}, want=("status",)))
    time.sleep(0.3)
    assert cam.unit.is_running is (command == "start")


def test_a_recording_goes_into_the_folder_under_a_new_name(server, tmp_path):
    answer = run(exchange(server, {"type": "record", "frames": 20}, want=("recording",)))
    assert answer["ok"] and re.fullmatch(r"view-\d{8}-\d{6}-\d+\.tif", answer["file"])
    status = wait_state(server, "running")  # the live stream again once it ended
    assert status["recording"]["written"] == 20
    assert tifffile.imread(tmp_path / answer["file"]).shape == (20, H, W)


def test_a_recording_until_stopped_ends_on_the_page_s_word(server, tmp_path):
    answer = run(exchange(server, {"type": "record", "frames": None}, want=("recording",)))
    run(exchange(server, {"type": "end_recording"}, want=("status",)))
    written = wait_state(server, "running")["recording"]["written"]
    with tifffile.TiffFile(tmp_path / answer["file"]) as tif:
        assert len(tif.pages) == written


def test_a_page_asking_again_at_once_gets_every_frame_at_most_at_the_bound(cam, tmp_path):
    # The copies for the view keep to the bound however fast the page asks, and no request is
    # left unanswered (the page would stall, waiting for ever).
    async def frames(url, n):
        async with aiohttp.ClientSession() as session, session.ws_connect(url) as ws:
            numbers = []
            for _ in range(n):
                await ws.send_str(json.dumps(ready()))
                numbers.append((await next_of(ws, "frame"))[0]["number"])
            return numbers

    with ViewServer(cam, str(tmp_path), port=0, max_fps=50).in_thread() as server:
        start = time.monotonic()
        numbers = run(frames(socket_url(server), 21))
        elapsed = time.monotonic() - start
    assert numbers == sorted(set(numbers)) and elapsed >= 19 / 50


def test_frames_reach_the_page_while_it_records(server):
    async def during():
        async with aiohttp.ClientSession() as session:
            async with session.ws_connect(socket_url(server)) as ws:
                await ws.send_str(json.dumps({"type": "record", "frames": None}))
                await next_of(ws, "recording")
                await ws.send_str(json.dumps(ready()))
                header, _ = await next_of(ws, "frame")
                await ws.send_str(json.dumps({"type": "end_recording"}))
                return header

    run(during())
    assert status_now(server)["recording"]["written"] > 0


@pytest.mark.parametrize("frames", [0, -1, "ten", 2**40, 1.5, True])
def test_a_recording_of_a_bad_length_is_refused(server, tmp_path, frames):
    answer = run(exchange(server, {"type": "record", "frames": frames}, want=("recording",)))
    assert answer["ok"] is False and "frames" in answer["error"]
    assert not [name for name in os.listdir(tmp_path) if name.endswith(".tif")]


# ---- bad input -------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "message",
    [
        "not json", "[1, 2]", "{}", '{"type": 5}', '{"type": "reboot"}', b"\x00\x01",
        '{"type": "ready"}',
        '{"type": "ready", "x0": -1, "y0": 0, "x1": 9, "y1": 9, "cols": 9, "rows": 9}',
        '{"type": "ready", "x0": 0, "y0": 0, "x1": 9, "y1": 9, "cols": 0, "rows": 9}',
        '{"type": "set", "name": 5, "value": 1}', '{"type": "set", "board": "io", "name": "X"}',
        '{"type": "set", "board": "disk", "name": "X"}', '{"type": "ready"' + "," * 1000,
    ],
)  # fmt: skip
def test_a_malformed_message_is_answered_and_the_capture_goes_on(server, cam, message):
    answer = run(exchange(server, message, want=("error",)))
    assert answer["error"]
    still_capturing(cam)
    assert run(exchange(server, ready(), want=("frame",)))[0]["width"] == W


def test_a_huge_message_closes_that_socket_only(server, cam):
    async def huge():
        async with aiohttp.ClientSession() as session:
            async with session.ws_connect(socket_url(server)) as ws:
                await ws.send_str("x" * (1 << 20))
                while not ws.closed:
                    await ws.receive()
                return ws.close_code

    assert run(huge()) == 1009  # message too big
    still_capturing(cam)
    assert run(exchange(server, ready(), want=("frame",)))[0]["width"] == W


async def http(server, method, path, host="127.0.0.1", **options):
    async with aiohttp.ClientSession() as session:
        url = f"http://{host}:{server.port}{path}"
        async with session.request(method, url, **options) as response:
            return response.status, await response.text()


@pytest.mark.parametrize(
    "method, path, options, status",
    [
        ("GET", "/nothing/here", {}, 404),
        ("GET", "/../../etc/passwd", {}, 404),
        ("POST", "/", {"data": b"x" * (1 << 20)}, 405),
        ("GET", "/", {"headers": {"X-Big": "y" * 100_000}}, 400),
        ("GET", "/", {"headers": {"Host": "attacker.example"}}, 403),
        ("GET", "/ws", {"headers": {"Origin": "http://attacker.example", "Upgrade": "websocket",
                                    "Connection": "Upgrade", "Sec-WebSocket-Version": "13",
                                    "Sec-WebSocket-Key": "dGhlIHNhbXBsZSBub25jZQ=="}}, 403),
        ("GET", "/ws", {}, 400),  # not a WebSocket handshake
    ],
)  # fmt: skip
def test_a_bad_request_gets_an_error_and_the_capture_goes_on(
    server, cam, method, path, options, status
):
    assert run(http(server, method, path, **options))[0] == status
    still_capturing(cam)
    assert run(http(server, "GET", "/"))[0] == 200


@pytest.mark.parametrize("path", ["/", "/view.js", "/view.css"])
def test_the_page_is_served(server, path):
    status, text = run(http(server, "GET", path))
    assert status == 200 and text


# ---- the token -------------------------------------------------------------------------------


@pytest.fixture
def open_server(cam, tmp_path):
    with ViewServer(
        cam, str(tmp_path), host="0.0.0.0", port=0, token="s3cret"
    ).in_thread() as running:
        yield running


@pytest.mark.parametrize(
    "path, options, status",
    [
        ("/", {}, 403), ("/?token=wrong", {}, 403), ("/?token=s3cret", {}, 200),
        ("/view.js", {"headers": {"X-Pyzol-Token": "s3cret"}}, 200),
        ("/view.js", {"headers": {"X-Pyzol-Token": "s3cre"}}, 403),
        ("/view.js", {"cookies": {"pyzol_token": "s3cret"}}, 200), ("/ws", {}, 403),
    ],
)  # fmt: skip
def test_any_other_address_needs_the_token(open_server, path, options, status):
    assert run(http(open_server, "GET", path, **options))[0] == status


def test_a_socket_with_the_token_gets_frames(open_server):
    header, _ = run(exchange(open_server, ready(), want=("frame",), query="?token=s3cret"))
    assert header["width"] == W
    assert open_server.url.endswith(f":{open_server.port}/?token=s3cret")


# ---- the command line --------------------------------------------------------------------------


def start_view(tmp_path, *options):
    job = subprocess.Popen(
        [sys.executable, "-m", "pyzol", "view", "--port", "0", "--folder", str(tmp_path), *options],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, cwd=tmp_path,
    )  # fmt: skip
    lines = [job.stdout.readline(), job.stdout.readline()]
    match = re.match(r"pyzol view: (http://\S+)", lines[0])
    assert match, lines + [job.stderr.read()]
    return job, match.group(1), lines


@pytest.mark.parametrize("host, notice", [("127.0.0.1", "this machine only"), ("0.0.0.0", "token")])
def test_view_prints_its_address_and_ends_on_ctrl_c(tmp_path, host, notice):
    job, url, lines = start_view(tmp_path, "--host", host)
    assert notice in lines[1]
    port = int(re.search(r":(\d+)/", url).group(1))
    query = url.split("/", 3)[3]

    class Port:
        pass

    Port.port = port
    assert run(http(Port, "GET", "/" + query))[0] == 200
    job.send_signal(signal.SIGINT)
    out, _ = job.communicate(timeout=30)
    assert job.returncode == 0 and "ended" in out


def test_ctrl_c_leaves_a_recording_whole(tmp_path):
    job, url, _ = start_view(tmp_path, "--io", "RM1600:0")

    class Port:
        port = int(re.search(r":(\d+)/", url).group(1))

    answer = run(exchange(Port, {"type": "record", "frames": None}, want=("recording",)))
    path = tmp_path / answer["file"]
    deadline = time.monotonic() + 10
    while path.stat().st_size < 100_000:
        assert time.monotonic() < deadline
        time.sleep(0.05)
    job.send_signal(signal.SIGINT)
    job.communicate(timeout=30)
    assert job.returncode == 0
    with tifffile.TiffFile(path) as tif:
        assert len(tif.pages) > 0
        assert all(page.asarray().shape == (480, 640) for page in tif.pages)


@pytest.mark.parametrize(
    "option",
    [["--io", "XY9:0"], ["--io", "RM1600:x"], ["--port", "70000"], ["--folder", "/no/such"]],
)
def test_view_refuses_bad_options(tmp_path, option):
    job = subprocess.run(
        [sys.executable, "-m", "pyzol", "view", *option], capture_output=True, text=True, cwd=ROOT
    )
    assert job.returncode == 2 and option[0] in job.stderr


# ---- the I/O board ---------------------------------------------------------------------------


@pytest.fixture
def io_server(cam, tmp_path):
    with pyzol.open("RM1600", 0) as io:
        with ViewServer(cam, str(tmp_path), io=io, port=0).in_thread() as running:
            yield running, io


@pytest.mark.parametrize("word", [0x0000, 0x8001, 0x00FF])
def test_the_page_shows_the_io_board_s_inputs_and_outputs(io_server, zol_rack, word):
    server, io = io_server
    zol_rack.set_inputs("RM1600", 0, word)
    io.outputs = word ^ 0x0F0F
    status = status_now(server)
    assert status["io"] == {"inputs": word, "outputs": word ^ 0x0F0F}


def test_an_io_setting_written_by_a_page_reaches_the_board(io_server):
    server, io = io_server
    board = run(exchange(server, want=("board",)))
    assert board["io"]["kind"] == "RM1600"
    name = next(r["name"] for r in board["io"]["settings"] if r["access"] == "read-write"
                and r["kind"] != "text")  # fmt: skip
    answer = run(exchange(server, {"type": "set", "board": "io", "name": name, "value": 7},
                          want=("set",)))  # fmt: skip
    assert answer["ok"], answer
    assert io.settings[name] == 7
