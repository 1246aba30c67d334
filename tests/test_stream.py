"""pyzol.frames: frames in order with their numbers and pixels, drops when the script is slow,
and a board left stopped, unlocked and reusable however the block is left."""

import asyncio
import contextlib
import logging
import time

import numpy as np
import pytest

import pyzol.boards
import pyzol.stream
from helpers import Background, camera, drawn
from pyzol import core, frames, sim, unit

TRIGGERED = dict(TriggerMode=1, Timeout=60_000)  # a frame per force_trigger(): the test's pace
FREE = dict(TriggerCycleTime=0, ExposureTime=0, Timeout=60_000)  # one frame after another


@pytest.fixture(params=["KX210", "KX310", "TR520"])
def make(request, tmp_path):
    """Makes a board of each kind from a 64 x 48 camera file with the given settings."""
    return lambda **settings: getattr(unit, request.param).from_file(camera(tmp_path, **settings))


def calls_of(calls, start=0):
    """The journal without class names, from the last stop or abort on when `start` is None."""
    calls = [c.split("::")[1] for c in calls]
    if start is None:
        start = max(i for i, c in enumerate(calls) if c in ("Stop()", "Abort()"))
    return calls[start:]


def test_frames_come_in_order_with_their_numbers_and_pixels(make):
    board = make(**TRIGGERED)
    seen, ring = [], [core.CxImage(64, 48) for _ in range(3)]
    with sim.recording() as calls, frames(board, ring, count=5) as stream:
        board.force_trigger()
        for f in stream:
            assert f.intact and not f.array.flags.writeable
            np.testing.assert_array_equal(f.array, drawn(f.number))
            seen.append((f.number, f.slot, f.status.total_frame_count))
            board.force_trigger()
    assert seen == [(k, k % 3, k + 1) for k in range(5)]
    assert (stream.dropped, stream.overrun) == (0, 0)
    assert calls_of(calls)[:4] == [
        "Lock([img#1, img#2, img#3], 3, 0)",
        "Num()",
        "Num(5)",
        "Start()",
    ]
    assert calls_of(calls, None) == ["Stop()", "Unlock()", "Num(1)"]


def test_a_slow_script_catches_up_to_the_newest_frame_and_counts_drops(make, caplog):
    caplog.set_level(logging.WARNING, logger="pyzol")
    board = make(**FREE)
    numbers, kept = [], []
    with frames(board, 3) as stream:
        for f in stream:
            if numbers:  # the board ran on by ten frames: the newest complete one comes next
                assert f.number == f.status.total_frame_count - 1
            numbers.append(f.number)
            copy = f.array.copy()
            if f.intact:  # copied before the board came back to the slot
                kept.append((f.number, copy))
            if len(numbers) == 4:
                break
            while board.query_status().total_frame_count < f.number + 10:
                pass  # a slow script
    gaps = sum(b - a - 1 for a, b in zip(numbers, numbers[1:], strict=False))
    assert stream.dropped == numbers[0] + gaps > 0
    assert stream.overrun == 3  # each of the first three frames was overwritten while held
    # Each loss is logged on the "pyzol" logger, which stays silent unless the script configures
    # logging (a NullHandler: no last-resort output on stderr).
    logged = [r.getMessage() for r in caplog.records if r.name == "pyzol"]
    drops = [int(m.split(": ")[1].split()[0]) for m in logged if "dropped" in m]
    assert sum(drops) == stream.dropped and len(logged) == len(drops) + 3
    assert sum("overrun" in m for m in logged) == 3
    assert any(isinstance(h, logging.NullHandler) for h in logging.getLogger("pyzol").handlers)
    for k, pixels in kept:
        np.testing.assert_array_equal(pixels, drawn(k))


@pytest.mark.parametrize("leave", ["break", "raise"])
def test_leaving_early_aborts_unlocks_and_leaves_the_board_reusable(make, leave):
    board = make(**FREE)
    board.num = 7
    with sim.recording() as calls, contextlib.suppress(KeyError), frames(board, 2) as stream:
        for f in stream:
            assert f.array.shape == (48, 64)  # a ring of 2 images of the frame's size
            if leave == "raise":
                raise KeyError(f.number)
            break
    assert calls_of(calls, None) == ["Abort()", "QueryStatus()", "Unlock()", "Num(7)"]
    assert not board.is_running and board.num == 7 and list(stream) == []
    with frames(board, 2, count=3) as again:
        numbers = [f.number for f in again]
    assert numbers[-1] == 2 and again.dropped == 3 - len(numbers)


def test_abort_from_another_thread_ends_the_iteration(make):
    board = make(**TRIGGERED)

    def stop():
        while sim.capture_waiters(type(board).__name__) == 0:  # the stream waits for a frame
            time.sleep(0.001)
        board.abort()

    with frames(board, 2) as stream:
        stopper = Background(stop)
        assert list(stream) == []
    stopper.join(5)
    assert stopper.error is None and not board.is_running


COUNT_RANGE = "^count must be None \\(no end\\) or 1 to 2147483647$"


@pytest.mark.parametrize(
    "args, error, message",
    [
        (lambda: dict(ring=np.int64(1)), ValueError, "at least 2 images"),
        (lambda: dict(ring=[core.CxImage(64, 48)]), ValueError, "at least 2 images"),
        (lambda: dict(ring=[core.CxImage(64, 48), None]), TypeError, "CxImage objects only"),
        (lambda: dict(ring=[img := core.CxImage(64, 48), core.CxImage(64, 48), img]), ValueError,
         "^a ring holds each image once"),
        (lambda: dict(count=0), ValueError, COUNT_RANGE),
        (lambda: dict(count=2**31), ValueError, COUNT_RANGE),  # more than the board's num takes
        (lambda: dict(count=2.0), TypeError, "integer"),
        (lambda: dict(board=unit.RM1600()), TypeError, "capture board"),
    ],
    ids=["ring of 1", "one image", "None", "an image twice", "count 0", "count 2**31", "count 2.0",
         "I/O board"],
)  # fmt: skip
def test_refusals_touch_no_board(tmp_path, args, error, message):
    args = {"board": unit.KX210.from_file(camera(tmp_path)), "ring": 2, **args()}
    with sim.recording() as calls, pytest.raises(error, match=message):
        frames(**args)
    assert not [c for c in calls if "Lock" in c or "Start" in c]


def test_a_ring_that_does_not_fit_in_memory_is_refused_before_allocating(
    no_leaks, camera_file, monkeypatch
):
    board = unit.KX210.from_file(camera_file(w=4096, h=4096, PixelFormat="RGB8"))
    monkeypatch.setattr(pyzol.boards, "available_memory", lambda: 100 * 2**20)
    before = sim.live_objects()
    with sim.recording() as calls, pytest.raises(ValueError) as refused:
        frames(board, 4)
    assert str(refused.value) == (
        "a ring of 4 images of 4096x4096 RGB8 needs 192 MiB; the machine has 100 MiB available"
    )
    assert sim.live_objects() == before and not [c for c in calls if "Lock" in c]
    pyzol.stream.ring_images(board, 2)  # 96 MiB fit


def test_a_stream_dropped_without_close_ends_the_capture_when_collected(make):
    board = make(**FREE)
    board.num = 7
    stream = frames(board, 2)
    first = next(iter(stream.open()))  # a frame keeps its stream
    del stream
    assert board.is_running
    with sim.recording() as calls:
        del first
    assert calls_of(calls, None) == ["Abort()", "QueryStatus()", "Unlock()", "Num(7)"]
    assert not board.is_running and board.num == 7


@pytest.mark.parametrize("thread", [False, True], ids=["in the loop", "from another thread"])
@pytest.mark.parametrize("end, status", [("close", 6), ("dispose", 9)])  # NotOpened, Disposed
def test_closing_the_board_under_a_stream_ends_it_with_the_boards_error(make, end, status, thread):
    board = make(**TRIGGERED)

    def close():
        while sim.capture_waiters(type(board).__name__) == 0:  # the stream waits for a frame
            time.sleep(0.001)
        getattr(board, end)()

    with pytest.raises(RuntimeError, match=f"^Code:{status} ") as ended:
        with frames(board, 2) as stream:
            closer = Background(close) if thread else board.force_trigger()
            for _ in stream:  # from another thread: no frame comes
                getattr(board, end)()
    if thread:
        closer.join(5)
    assert ended.value.__context__ is None  # ending the capture went through
    assert board.is_valid == (end == "close") and (end == "dispose" or not board.is_running)


def test_the_error_that_ended_the_block_is_raised_and_a_failed_cleanup_is_its_context(make):
    board = make(**TRIGGERED)
    with pytest.raises(RuntimeError, match="^Code:6 ") as ended, frames(board, 2) as stream:
        board.close()
        sim.fail(f"Cx{type(board).__name__}::Abort", status=13, function="Cleanup")
        next(stream)
    cleanup = ended.value.__context__
    assert isinstance(cleanup, RuntimeError) and str(cleanup).startswith("Code:13 ")
    assert "Function:Cleanup " in str(cleanup)
    assert cleanup.__context__ is None  # no cycle back to the block's error


def test_a_stream_opens_once_and_a_failed_start_leaves_the_board_unlocked(tmp_path):
    board = unit.KX210.from_file(camera(tmp_path))
    stream = frames(board, 2, count=1)
    with pytest.raises(RuntimeError, match="open the frame stream first"):
        next(stream)
    sim.fail("CxKX210::Start", status=9)
    with sim.recording() as calls, pytest.raises(RuntimeError, match="^Code:9 "):
        stream.open()
    assert calls_of(calls)[-4:] == ["Abort()", "QueryStatus()", "Unlock()", "Num(1)"]
    with pytest.raises(RuntimeError, match="opened only once"):
        stream.open()


def test_async_iteration_and_cancelling_aborts_the_wait(make):
    board = make(**TRIGGERED)

    async def main():
        async with frames(board, 2) as stream:
            board.force_trigger()
            first = await anext(stream)
            with pytest.raises(TimeoutError):  # no more triggers: the next frame never comes
                await asyncio.wait_for(anext(stream), 0.05)
            return first.number

    with sim.recording() as calls:
        assert asyncio.run(main()) == 0
    assert "Abort()" in calls_of(calls) and calls_of(calls)[-2:] == ["Unlock()", "Num(1)"]
    assert not board.is_running


@pytest.mark.parametrize(
    "faults",
    [["IsValid"], ["Abort", "Unlock"], ["IsValid", "Abort", "Unlock"]],
    ids=["IsValid", "Abort and Unlock", "all three"],
)
def test_each_step_of_a_streams_end_is_taken_and_the_first_failure_is_raised(make, faults):
    board = make(**TRIGGERED)
    board.num = 7
    stream = frames(board, 2).open()
    for status, op in enumerate(faults, 12):
        sim.fail(f"Cx{type(board).__name__}::{op}", status=status)
    with sim.recording() as calls, pytest.raises(RuntimeError) as failed:
        stream.close()
    chain, error = [], failed.value
    while error is not None:
        chain.append(str(error).split()[0])
        error = error.__context__
    assert chain == [f"Code:{status}" for status in range(12, 12 + len(faults))]
    assert calls_of(calls)[-3:] == ["QueryStatus()", "Unlock()", "Num(7)"]
    assert board.is_running == ("Abort" in faults) and board.num == 7
    board.abort()  # what a failed abort left undone
    with frames(board, 2, count=1) as again:  # the stream let go of the board
        board.force_trigger()
        assert [f.number for f in again] == [0]


@pytest.mark.parametrize("later", ["on other images", "on the same images"])
def test_a_frame_is_vouched_for_by_its_own_run_only(make, later):
    board = make(**TRIGGERED)
    ring = [core.CxImage(64, 48) for _ in range(2)]
    with frames(board, ring) as stream:
        board.force_trigger()
        first = next(stream)
        board.force_trigger()
        second = next(stream)  # the board went on to frame 2, over the first frame's slot
        assert not first.intact and second.intact
    # A later run counts from 0 again: its count says nothing of these frames.
    with frames(board, 2 if later == "on other images" else ring, count=1) as again:
        board.force_trigger()
        assert [f.number for f in again] == [0]
    assert not first.intact  # overtaken, it stays so
    # Its slot untouched since (the ring's other image), the second frame is whole, unless a
    # later stream locked its image.
    assert second.intact == (later == "on other images")
