"""pyzol.aio: awaited waits end when the awaiting task is cancelled (the board's journal shows
the abort, the board stays usable), several run at once in one loop, errors arrive intact."""

import asyncio
import gc
import weakref

import pytest

from helpers import camera
from pyzol import aio, core, sim, unit


def code(result):
    return result if isinstance(result, int) else result.event_status


def dio(name, ident=0):
    """An opened I/O board whose input 0 reports rising edges and whose waits last a minute;
    `board.codes` collects the event code of every wait that returned, awaited or not."""

    class Recorded(getattr(unit, name)):
        def wait(self):
            result = super().wait()
            self.codes.append(code(result))
            return result

    board = Recorded()
    board.codes = []
    board.open(ident)
    settings = getattr(unit, name + "Param").from_(board)
    settings.timeout = 60_000
    settings.set_param("DIEnable", 1)
    settings.set_param("DIEdge", 1)
    return board


async def edge(name, ident):
    """A rising edge on input 0 once a thread waits on the board."""
    while sim.waiters(name, ident) == 0:
        await asyncio.sleep(0.001)
    sim.set_inputs(name, ident, 1)


async def timed_out(awaitable):
    with pytest.raises(TimeoutError):
        await asyncio.wait_for(awaitable, 0.05)


async def cancelled_at_once(awaitable):
    """Cancelled once its thread is started, most likely before that is inside the wait."""
    task = asyncio.ensure_future(awaitable)
    await asyncio.sleep(0)
    task.cancel()
    with pytest.raises(asyncio.CancelledError):
        await task


@pytest.mark.parametrize("name", ["MB100", "RM1600", "DQ160"])
@pytest.mark.parametrize("cancel", [timed_out, cancelled_at_once])
def test_a_cancelled_wait_is_aborted_and_the_next_wait_works(name, cancel):
    board = dio(name)

    async def main():
        await cancel(aio.wait(board))
        assert sim.waiters(name, 0) == 0  # the thread is back
        await asyncio.gather(aio.wait(board), edge(name, 0))

    with sim.recording() as calls:
        asyncio.run(main())
    assert board.codes == [int(unit.EventStatus.ABORT), int(unit.EventStatus.DI)]
    waits = [i for i, c in enumerate(calls) if "::Wait(" in c]
    aborts = [i for i, c in enumerate(calls) if c == f"Cx{name}::Abort()"]
    assert len(waits) == 2 and waits[0] < aborts[-1] < waits[1]  # the abort ended the first


def test_two_boards_awaited_at_once_both_complete_and_errors_arrive():
    rm, dq = dio("RM1600"), dio("DQ160", 1)

    async def main():
        return await asyncio.gather(aio.wait(rm), aio.wait(dq), edge("RM1600", 0), edge("DQ160", 1))

    results = asyncio.run(main())[:2]
    assert [type(r) for r in results] == [unit.RM1600WaitStatus, unit.DQ160WaitStatus]
    assert [(r.event_status, r.di) for r in results] == [(2, 1), (2, 1)]
    sim.fail("CxRM1600::Wait", status=7)
    with pytest.raises(RuntimeError, match="^Code:7 "):
        asyncio.run(aio.wait(rm))


def test_awaited_capture_waits(tmp_path):
    kx210 = unit.KX210.from_file(camera(tmp_path, TriggerCycleTime=100, Timeout=60_000))
    kx310 = unit.KX310.from_file(camera(tmp_path, "kx310.txt", TriggerMode=1, Timeout=60_000))
    for board, frames in ((kx210, 3), (kx310, 0)):
        board.lock([core.CxImage(64, 48), core.CxImage(64, 48)])
        board.num = frames
        board.start()
    record = unit.TxKX310CaptureStatus()

    async def main():
        third = await aio.wait_status(kx210, 2)
        await aio.wait(kx210)
        await timed_out(aio.wait_event(kx310, 1, 60_000))  # no trigger: no frame ever ends
        running = kx310.is_running  # the capture goes on
        await timed_out(aio.wait_status(kx310, record, 60_000))
        return third.total_frame_count, running

    with sim.recording() as calls:
        assert asyncio.run(main()) == (3, True)
    assert "CxKX310::CancelWaitEvent(1)" in calls and "CxKX310::Abort()" in calls
    assert not kx210.is_running and not kx310.is_running
    assert record.capture_state == 3  # aborted, written back after the wait


def test_a_finished_wait_keeps_nothing_alive_while_its_thread_idles():
    board = unit.MB100()
    board.open(0)
    unit.MB100Param.from_(board).timeout = 0
    watch = weakref.ref(board)
    assert asyncio.run(aio.wait(board)) == int(unit.EventStatus.TIMEOUT)
    del board
    gc.collect()
    assert watch() is None  # while the pool's thread still waits for its next call
