"""External triggers: a capture board in trigger mode takes a frame per edge at its wired trigger
input (an I/O output, another board's strobe, its encoder), misses the edges that come while it
exposes or rests in its mask time, numbers every frame by its trigger, and drives its exposure
output into the I/O inputs wired to it. Through the public API, watched through pyzol.sim."""

import pytest

import pyzol
from helpers import CAPTURE_BOARDS, Background, camera, opened, wait_for_waiter
from pyzol import core, sim, unit
from pyzol.records import TriggerCounts

OUT = ("RM1600", 0, "out", 3)
LONG_US = 60_000_000  # a minute: an edge within it comes before it is over
# Triggered by the wired input, a frame as soon as the trigger comes.
WIRED = dict(TriggerMode=1, ExternalTrigger=1, ExposureTime=0, Timeout=60_000)
PARAMS = {"KX210": unit.KX210Param, "KX310": unit.KX310Param, "TR520": unit.TR520Param}


def triggered(tmp_path, kind, ident=0, name="cam.txt", **settings):
    """A board of `kind` on channel 0, set up from a camera file for wired triggers, its ring
    locked; `settings` add to WIRED (TR520 has no ExternalTrigger)."""
    merged = {**WIRED, **settings}
    if kind == "TR520":
        merged.pop("ExternalTrigger")
    board = getattr(unit, kind).from_file(camera(tmp_path, name, **merged), ident, 0)
    board.lock([core.CxImage(64, 48) for _ in range(3)])
    return board


def counts(board):
    c = sim.triggers(board)
    return (c.detected, c.taken, c.missed)


def pulse(io, bit=3):
    io.write(bit, True)
    io.write(bit, False)


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_an_io_output_edge_triggers_a_frame(tmp_path, kind):
    board = triggered(tmp_path, kind)
    io = opened("RM1600")
    sim.wire(OUT, (kind, 0, "trigger", 0))
    board.num = 1
    board.start()
    with sim.recording() as calls:
        pulse(io)
    board.wait()
    assert calls == ["CxRM1600::Write(3, true)", "CxRM1600::Write(3, false)"]
    assert board.query_status().total_frame_count == 1
    assert sim.frame_info(board, 0).trigger == 1


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_a_falling_edge_is_no_trigger(tmp_path, kind):
    board = triggered(tmp_path, kind, ExposureTime=LONG_US)
    io = opened("RM1600")
    io.write(3, True)
    sim.wire(OUT, (kind, 0, "trigger", 0))  # the input is high from the start
    board.start()
    io.write(3, False)
    assert counts(board) == (0, 0, 0)
    board.abort()


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_an_edge_while_the_board_exposes_is_missed(tmp_path, kind):
    board = triggered(tmp_path, kind, ExposureTime=LONG_US)
    io = opened("RM1600")
    sim.wire(OUT, (kind, 0, "trigger", 0))
    board.start()
    pulse(io)
    pulse(io)
    assert counts(board) == (2, 1, 1)
    board.abort()  # ends the exposure at once
    assert board.query_status().total_frame_count == 0


def masked_run(tmp_path, kind, edges):
    """A running board of `kind` wired to OUT, resting a minute after each trigger, that was
    given `edges` edges there: the first taken, the others missed."""
    board = triggered(tmp_path, kind, TriggerMaskTime=LONG_US)
    io = opened("RM1600")
    sim.wire(OUT, (kind, 0, "trigger", 0))
    board.num = 0  # without end: the run is still on when the later edges come
    board.start()
    for _ in range(edges):
        pulse(io)
    return board


@pytest.mark.parametrize("kind", ["KX210", "KX310"])
def test_an_edge_inside_the_mask_time_is_missed(tmp_path, kind):
    board = masked_run(tmp_path, kind, 3)
    assert counts(board) == (3, 1, 2)
    board.abort()


@pytest.mark.parametrize("name, value", [("MaskedTrigger", 2), ("DetectTrigger", 3)])
def test_the_kx210_reports_its_missed_and_detected_triggers_as_settings(tmp_path, name, value):
    board = masked_run(tmp_path, "KX210", 3)
    assert unit.KX210Param.from_(board).get_param(name) == value
    board.abort()


@pytest.mark.parametrize("kind", ["KX210", "KX310"])
def test_a_board_with_external_trigger_off_takes_no_wired_edge(tmp_path, kind):
    board = triggered(tmp_path, kind, ExternalTrigger=0)
    io = opened("RM1600")
    sim.wire(OUT, (kind, 0, "trigger", 0))
    board.start()
    pulse(io)
    assert counts(board) == (0, 0, 0)
    board.abort()


def test_a_free_running_board_takes_no_wired_edge(tmp_path):
    board = triggered(tmp_path, "KX210", TriggerMode=0, ExposureTime=LONG_US)
    io = opened("RM1600")
    sim.wire(OUT, ("KX210", 0, "trigger", 0))
    board.start()
    pulse(io)
    assert counts(board) == (0, 0, 0)
    board.abort()


@pytest.mark.parametrize("kind", ["KX210", "KX310"])
def test_frames_carry_the_number_of_their_trigger_missed_ones_counted(tmp_path, kind):
    board = triggered(tmp_path, kind, TriggerMaskTime=LONG_US)
    io = opened("RM1600")
    sim.wire(OUT, (kind, 0, "trigger", 0))
    with pyzol.frames(board, 3, count=2) as stream:
        pulse(io)  # trigger 1: a frame
        pulse(io)  # trigger 2: missed
        board.force_trigger()  # trigger 3: a frame
        numbers = [f.trigger for f in stream]
    assert numbers == [1, 3]


@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_free_running_frames_have_trigger_0(tmp_path, kind):
    board = triggered(tmp_path, kind, TriggerMode=0, TriggerCycleTime=0)
    with pyzol.frames(board, 3, count=3) as stream:
        assert [f.trigger for f in stream] == [0, 0, 0]


def test_software_triggers_are_numbered_and_never_missed(tmp_path):
    board = triggered(tmp_path, "KX210", TriggerMaskTime=LONG_US)
    with pyzol.frames(board, 3, count=3) as stream:
        for _ in range(3):
            board.force_trigger()
        assert [f.trigger for f in stream] == [1, 2, 3]
    assert counts(board) == (3, 3, 0)


def test_boards_on_one_output_begin_their_exposures_at_one_instant(tmp_path):
    io = opened("RM1600")
    boards = [triggered(tmp_path, kind, 1, f"{kind}.txt") for kind in CAPTURE_BOARDS]
    for kind, board in zip(CAPTURE_BOARDS, boards, strict=True):
        sim.wire(OUT, (kind, 1, "trigger", 0))
        board.num = 1
        board.start()
    pulse(io)
    for board in boards:
        board.wait()
    assert len({sim.frame_info(board, 0).start_ns for board in boards}) == 1


@pytest.mark.parametrize(
    "kind, delay", [("KX210", "TriggerDelayTime"), ("KX310", "TriggerDelayTime"),
                    ("TR520", "TriggerDelay")],
)  # fmt: skip
def test_the_trigger_delay_moves_the_exposure_start(tmp_path, kind, delay):
    io = opened("RM1600")
    plain = triggered(tmp_path, "KX210", 2, "plain.txt")
    late = triggered(tmp_path, kind, 3, "late.txt", **{delay: 1500})
    for terminal, board in ((("KX210", 2), plain), ((kind, 3), late)):
        sim.wire(OUT, (*terminal, "trigger", 0))
        board.num = 1
        board.start()
    pulse(io)
    plain.wait()
    late.wait()
    gap = sim.frame_info(late, 0).start_ns - sim.frame_info(plain, 0).start_ns
    assert gap == 1_500_000


@pytest.mark.parametrize("sink", ["MB100", "RM1600", "DQ160"])
def test_the_strobe_ends_an_io_wait_as_an_input_edge(tmp_path, sink):
    board = triggered(tmp_path, "KX210", EXPEnable=1)
    io = pyzol.open(sink, 1)
    io.settings["DIEnable"] = 1 << 6
    sim.wire(("KX210", 0, "strobe", 0), (sink, 1, "in", 6))
    waiter = Background(lambda: io.wait(timeout=-1))
    wait_for_waiter(sink, 1)
    board.num = 1
    board.start()
    board.force_trigger()
    board.wait()
    waiter.join()
    assert waiter.error is None
    assert waiter.result.event == unit.EventStatus.DI
    if sink != "MB100":  # the MB100's wait reports the event code only
        assert waiter.result.di_event_status == 1 << 6
    io.close()


def test_without_exp_enable_the_strobe_stays_low(tmp_path):
    board = triggered(tmp_path, "KX210", EXPEnable=0)
    io = pyzol.open("RM1600", 1)
    io.settings["DIEnable"] = 1 << 6
    sim.wire(("KX210", 0, "strobe", 0), ("RM1600", 1, "in", 6))
    board.num = 1
    board.start()
    board.force_trigger()
    board.wait()
    with pytest.raises(pyzol.DeviceTimeout):  # no edge was latched
        io.wait(timeout=0)
    io.close()


def test_one_boards_strobe_triggers_another(tmp_path):
    first = triggered(tmp_path, "KX210", EXPEnable=1)
    second = triggered(tmp_path, "KX310", name="second.txt")
    sim.wire(("KX210", 0, "strobe", 0), ("KX310", 0, "trigger", 0))
    second.num = 1
    second.start()
    first.num = 1
    first.start()
    first.force_trigger()
    second.wait()
    assert sim.frame_info(second, 0).trigger == 1


def wire_encoder(board, kind, every, terminal):
    """The board's encoder counting, a pulse out every `every` pulses, wired to its channel's
    `terminal` ("trigger" or "line")."""
    param = PARAMS[kind].from_(board)
    param.set_param("EncoderMode", 1)
    param.set_param("ENCSampling", every)
    if kind == "KX310":
        unit.KX310Encoder.from_(board).start_encoder()
    sim.wire((kind, 0, "encoder", 0), (kind, 0, terminal, 0))
    return board


def encoder_board(tmp_path, kind, **settings):
    return wire_encoder(triggered(tmp_path, kind, ExtTriggerSrc=1, **settings), kind, 4, "trigger")


@pytest.mark.parametrize("kind", ["KX210", "KX310"])
def test_the_encoder_triggers_a_frame_every_encsampling_pulses(tmp_path, kind):
    board = encoder_board(tmp_path, kind)
    board.num = 2
    board.start()
    for _ in range(3):
        sim.encoder_pulses(kind, 0, 0, 3)  # 9 pulses: a trigger at 4 and at 8
    board.wait()
    assert counts(board) == (2, 2, 0)


@pytest.mark.parametrize("kind", ["KX210", "KX310"])
def test_backward_pulses_are_made_up_before_the_encoder_triggers(tmp_path, kind):
    board = encoder_board(tmp_path, kind, ExposureTime=LONG_US)
    board.start()
    sim.encoder_pulses(kind, 0, 0, -4)
    sim.encoder_pulses(kind, 0, 0, 7)
    assert counts(board) == (0, 0, 0)
    sim.encoder_pulses(kind, 0, 0, 1)
    assert counts(board) == (1, 1, 0)
    board.abort()


@pytest.mark.parametrize("kind", ["KX210", "KX310"])
def test_without_encoder_mode_the_encoder_gives_no_trigger(tmp_path, kind):
    board = encoder_board(tmp_path, kind)
    PARAMS[kind].from_(board).set_param("EncoderMode", 0)
    board.start()
    sim.encoder_pulses(kind, 0, 0, 8)
    assert counts(board) == (0, 0, 0)
    board.abort()


@pytest.mark.parametrize("source", [0, 1], ids=["pin", "encoder"])
def test_ext_trigger_src_picks_the_pin_or_the_encoder(tmp_path, source):
    board = encoder_board(tmp_path, "KX210", ExposureTime=LONG_US)
    PARAMS["KX210"].from_(board).set_param("ExtTriggerSrc", source)
    io = opened("RM1600")
    sim.wire(OUT, ("KX210", 0, "trigger", 0))
    board.start()
    if source == 0:
        sim.encoder_pulses("KX210", 0, 0, 4)  # not the source: ignored
        pulse(io)
    else:
        pulse(io)  # not the source: ignored
        sim.encoder_pulses("KX210", 0, 0, 4)
    assert counts(board) == (1, 1, 0)
    board.abort()


def test_the_camera_tells_its_triggers(tmp_path):
    path = camera(tmp_path, **WIRED, TriggerMaskTime=LONG_US)
    io = opened("RM1600")
    sim.wire(OUT, ("KX210", 0, "trigger", 0))
    with pyzol.open("KX210", camera=path) as cam:
        with cam.frames(3, count=2) as stream:
            pulse(io)
            pulse(io)
            cam.unit.force_trigger()
            assert [f.trigger for f in stream] == [1, 3]
        assert cam.triggers() == TriggerCounts(detected=3, taken=2, missed=1)


def test_a_board_that_never_ran_has_no_triggers_nor_frames():
    board = opened("KX210")
    assert counts(board) == (0, 0, 0)
    assert sim.frame_info(board, 0) is None


@pytest.mark.parametrize("call", [sim.triggers, lambda b: sim.frame_info(b, 0)])
@pytest.mark.parametrize(
    "board, error, message",
    [(lambda: opened("MB100"), RuntimeError, "a CxMB100 has no capture"),
     (lambda: "KX210", TypeError, "as_module")],
)  # fmt: skip
def test_trigger_records_are_a_capture_boards_only(call, board, error, message):
    with pytest.raises(error, match=message):
        call(board())


W_LINE = 16  # pixels of a line


def line_scan_board(tmp_path, kind, height=4):
    """A board of `kind` that makes frames of `height` line triggers, its ring locked."""
    board = getattr(unit, kind).from_file(
        camera(tmp_path, w=W_LINE, h=height, **WIRED, LineSensorEnable=1), 0, 0
    )
    board.lock([core.CxImage(W_LINE, height) for _ in range(3)])
    return board


@pytest.mark.parametrize("kind", ["KX210", "KX310"])
def test_a_line_scan_board_makes_a_frame_of_height_line_triggers(tmp_path, kind):
    board = line_scan_board(tmp_path, kind)
    io = opened("RM1600")
    sim.wire(OUT, (kind, 0, "line", 0))
    with pyzol.frames(board, 3, count=2) as stream:
        for _ in range(3):
            pulse(io)
        assert board.query_status().line_count == 3  # the frame being built
        for _ in range(5):
            pulse(io)
        assert [f.trigger for f in stream] == [1, 5]  # each frame by its first line's trigger
    assert counts(board) == (8, 8, 0)


@pytest.mark.parametrize("kind", ["KX210", "KX310"])
def test_the_encoder_gives_a_line_scan_board_its_lines(tmp_path, kind):
    board = wire_encoder(line_scan_board(tmp_path, kind), kind, 2, "line")
    board.num = 1
    board.start()
    for _ in range(4):
        sim.encoder_pulses(kind, 0, 0, 2)  # a line every 2 pulses
    board.wait()
    assert board.query_status().total_frame_count == 1


@pytest.mark.parametrize(
    "line_scan, terminal", [(True, "trigger"), (False, "line")], ids=["frame", "line"]
)
def test_a_board_takes_only_the_triggers_of_its_scan(tmp_path, line_scan, terminal):
    board = line_scan_board(tmp_path, "KX210") if line_scan else triggered(tmp_path, "KX210")
    io = opened("RM1600")
    sim.wire(OUT, ("KX210", 0, terminal, 0))
    board.start()
    pulse(io)
    assert counts(board) == (0, 0, 0)
    board.abort()
