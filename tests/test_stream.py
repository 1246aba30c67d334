"""pyzol.frames: frames in order with their numbers and pixels, drops when the script is slow,
and a board left stopped, unlocked and reusable however the block is left."""

import asyncio
import contextlib

import numpy as np
import pytest

from helpers import Background, camera, frame
from pyzol import core, frames, sim, unit

BOARDS = ["KX210", "KX310", "TR520"]
W, H = 64, 48


@pytest.fixture(params=BOARDS)
def kind(request):
    return request.param


def board_of(kind, tmp_path, **settings):
    return getattr(unit, kind).from_file(camera(tmp_path, **settings))


def triggered(kind, tmp_path):
    """A board that captures one frame per force_trigger(): the test sets the pace."""
    return board_of(kind, tmp_path, TriggerMode=1, Timeout=60_000)


def free_running(kind, tmp_path):
    return board_of(kind, tmp_path, TriggerCycleTime=0, ExposureTime=0, Timeout=60_000)


def stamp(pixels):
    return int.from_bytes(pixels.reshape(-1)[:4].tobytes(), "little")


def tail(calls, cls):
    """The calls that end a stream: from the last stop or abort on."""
    last = max(i for i, c in enumerate(calls) if c in (f"{cls}::Stop()", f"{cls}::Abort()"))
    return calls[last:]


def test_frames_come_in_order_with_their_numbers_and_pixels(kind, tmp_path):
    board = triggered(kind, tmp_path)
    images = [core.CxImage(W, H) for _ in range(3)]
    seen = []
    with sim.recording() as calls:
        with frames(board, images, count=5) as stream:
            board.force_trigger()
            for f in stream:
                seen.append((f.number, f.slot, f.status.total_frame_count, f.array.copy()))
                assert f.intact and not f.array.flags.writeable
                board.force_trigger()
    assert [s[:3] for s in seen] == [(k, k % 3, k + 1) for k in range(5)]
    for k, *_, pixels in seen:
        np.testing.assert_array_equal(pixels, frame(k))
    assert (stream.dropped, stream.overrun) == (0, 0)
    cls = "Cx" + kind
    assert calls[:4] == [f"{cls}::Lock([img#1, img#2, img#3], 3, 0)", f"{cls}::Num()",
                         f"{cls}::Num(5)", f"{cls}::Start()"]  # fmt: skip
    assert tail(calls, cls) == [f"{cls}::Stop()", f"{cls}::Unlock()", f"{cls}::Num(1)"]
    assert not board.is_running


def test_a_slow_script_catches_up_to_the_newest_frame_and_counts_drops(kind, tmp_path):
    board = free_running(kind, tmp_path)
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
            # A slow script: the board runs on by ten frames before the next is asked for.
            while board.query_status().total_frame_count < f.number + 10:
                pass
    assert numbers == sorted(set(numbers))
    gaps = sum(b - a - 1 for a, b in zip(numbers, numbers[1:], strict=False))
    assert stream.dropped == numbers[0] + gaps > 0
    assert stream.overrun == 3  # each of the first three frames was overwritten while held
    for k, pixels in kept:
        assert stamp(pixels) == k
        np.testing.assert_array_equal(pixels, frame(k))


@pytest.mark.parametrize("leave", ["break", "raise"])
def test_leaving_early_aborts_unlocks_and_leaves_the_board_reusable(kind, tmp_path, leave):
    board = free_running(kind, tmp_path)
    board.num = 7
    with sim.recording() as calls:
        with pytest.raises(KeyError) if leave == "raise" else contextlib.nullcontext():
            with frames(board, 2) as stream:
                for f in stream:
                    if leave == "raise":
                        raise KeyError(f.number)
                    break
    cls = "Cx" + kind
    assert tail(calls, cls) == [f"{cls}::Abort()", f"{cls}::Unlock()", f"{cls}::Num(7)"]
    assert not board.is_running and board.num == 7
    assert list(stream) == []  # a closed stream gives nothing more
    with frames(board, [core.CxImage(W, H), core.CxImage(W, H)], count=3) as again:
        numbers = [f.number for f in again]
    assert numbers[-1] == 2 and again.dropped == 3 - len(numbers)


def test_a_ring_of_n_makes_images_of_the_frame_size(tmp_path):
    board = board_of("KX210", tmp_path, Width=40, Height=30, TriggerCycleTime=100)
    with frames(board, np.int64(4), count=2) as stream:
        shapes = [f.array.shape for f in stream]
    assert len(stream.images) == 4 and shapes[-1] == (30, 40)


def test_abort_from_another_thread_ends_the_iteration(kind, tmp_path):
    board = triggered(kind, tmp_path)
    with frames(board, 2) as stream:
        stopper = Background(lambda: (_wait_running(board), board.abort()))
        assert list(stream) == []
        stopper.join(5)
    assert stopper.error is None and not board.is_running


def _wait_running(board):
    while not board.is_running:
        pass


@pytest.mark.parametrize(
    "args, error",
    [
        (dict(ring=1), ValueError),
        (dict(ring=[core.CxImage(W, H)]), ValueError),
        (dict(ring=[core.CxImage(W, H), None]), TypeError),
        (dict(ring=2, count=0), ValueError),
        (dict(ring=2, count=2.0), TypeError),
        (dict(board=unit.RM1600(), ring=2), TypeError),
    ],
)
def test_refusals_touch_no_board(tmp_path, args, error):
    args = {"board": board_of("KX210", tmp_path), **args}
    with sim.recording() as calls, pytest.raises(error):
        frames(**args)
    assert not [c for c in calls if "Lock" in c or "Start" in c]


def test_a_stream_is_opened_once_and_iterated_only_when_open(tmp_path):
    stream = frames(board_of("KX210", tmp_path), 2, count=1)
    with pytest.raises(RuntimeError, match="open the frame stream first"):
        next(stream)
    with stream:
        assert len(list(stream)) == 1
    with pytest.raises(RuntimeError, match="opened only once"):
        stream.open()


def test_a_failed_start_leaves_the_board_unlocked(tmp_path):
    board = board_of("KX210", tmp_path)
    sim.fail("CxKX210::Start", status=9)
    with sim.recording() as calls, pytest.raises(RuntimeError, match="^Code:9 "):
        frames(board, 2).open()
    assert calls[-3:] == ["CxKX210::Abort()", "CxKX210::Unlock()", "CxKX210::Num(1)"]


def test_async_iteration_and_cancelling_aborts_the_wait(kind, tmp_path):
    board = triggered(kind, tmp_path)

    async def main():
        async with frames(board, 2) as stream:
            board.force_trigger()
            first = await anext(stream)
            # No more triggers: the next frame never comes, the time-out cancels the wait.
            with pytest.raises(TimeoutError):
                await asyncio.wait_for(anext(stream), 0.05)
            return first.number, stream

    with sim.recording() as calls:
        number, stream = asyncio.run(main())
    cls = "Cx" + kind
    assert number == 0 and f"{cls}::Abort()" in calls
    assert calls[-2:] == [f"{cls}::Unlock()", f"{cls}::Num(1)"]
    assert not board.is_running
