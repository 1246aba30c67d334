"""pyzol.aio: awaited waits end when the awaiting task is cancelled (the board's journal shows
the abort, the board stays usable), several run at once in one loop, errors arrive intact."""

import asyncio

import pytest

from helpers import camera
from pyzol import aio, core, sim, unit

DIO = ["MB100", "RM1600", "DQ160"]
PARAMS = {"MB100": unit.MB100Param, "RM1600": unit.RM1600Param, "DQ160": unit.DQ160Param}


def dio(name, ident=0, timeout=60_000):
    """An opened I/O board whose input 0 reports rising edges and whose waits last `timeout`."""
    board = getattr(unit, name)()
    board.open(ident)
    settings = PARAMS[name].from_(board)
    settings.timeout = timeout
    settings.set_param("DIEnable", 1)
    settings.set_param("DIEdge", 1)
    return board


def code(result):
    return result if isinstance(result, int) else result.event_status


async def waiting(name, ident, count=1):
    """Returns once `count` threads wait on the board inside the library."""
    while sim.waiters(name, ident) < count:
        await asyncio.sleep(0.001)


async def edge(name, ident):
    await waiting(name, ident)
    sim.set_inputs(name, ident, 0)
    sim.set_inputs(name, ident, 1)


async def timed_out(awaitable):
    with pytest.raises(TimeoutError):
        await asyncio.wait_for(awaitable, 0.05)


async def cancelled_at_once(awaitable):
    """Cancelled as soon as its thread is started, most likely before that is in the wait."""
    task = asyncio.ensure_future(awaitable)
    await asyncio.sleep(0)
    task.cancel()
    with pytest.raises(asyncio.CancelledError):
        await task


@pytest.mark.parametrize("name", DIO)
@pytest.mark.parametrize("cancel", [timed_out, cancelled_at_once])
def test_a_cancelled_wait_is_aborted_and_the_next_wait_works(name, cancel):
    board = dio(name)

    async def main():
        await cancel(aio.wait(board))
        assert sim.waiters(name, 0) == 0  # the thread is back
        _, result = await asyncio.gather(edge(name, 0), aio.wait(board))
        return result

    with sim.recording() as calls:
        result = asyncio.run(main())
    wait = f"Cx{name}::Wait" + ("(out)" if name == "MB100" else "()")
    waits = [i for i, c in enumerate(calls) if c == wait]
    aborts = [i for i, c in enumerate(calls) if c == f"Cx{name}::Abort()"]
    # The last abort ended the first wait, and came before the second one.
    assert len(waits) == 2 and waits[0] < aborts[-1] < waits[1]
    assert code(result) == int(unit.EventStatus.DI)


def test_two_boards_awaited_at_once_both_complete():
    boards = {"RM1600": dio("RM1600"), "DQ160": dio("DQ160", 1)}

    async def main():
        waits = [aio.wait(board) for board in boards.values()]
        results = await asyncio.gather(*waits, edge("RM1600", 0), edge("DQ160", 1))
        return results[:2]

    results = asyncio.run(main())
    assert [type(r) for r in results] == [unit.RM1600WaitStatus, unit.DQ160WaitStatus]
    assert [(r.event_status, r.di) for r in results] == [(2, 1), (2, 1)]


def test_errors_of_the_wait_reach_the_awaiting_task():
    board = dio("RM1600")
    sim.fail("CxRM1600::Wait", status=7)
    with pytest.raises(RuntimeError, match="^Code:7 "):
        asyncio.run(aio.wait(board))


def test_awaited_capture_waits(tmp_path):
    kx210 = unit.KX210.from_file(camera(tmp_path, TriggerCycleTime=100, Timeout=60_000))
    kx310 = unit.KX310.from_file(camera(tmp_path, "kx310.txt", TriggerMode=1, Timeout=60_000))
    kx210.lock([core.CxImage(64, 48), core.CxImage(64, 48)])
    kx310.lock([core.CxImage(64, 48), core.CxImage(64, 48)])
    kx210.num, kx310.num = 3, 0
    kx210.start()
    kx310.start()
    record = unit.TxKX310CaptureStatus()

    async def main():
        third = await aio.wait_status(kx210, 2)
        await aio.wait(kx210)
        # No trigger comes: the time-out cancels the event wait, the capture goes on.
        with pytest.raises(TimeoutError):
            await asyncio.wait_for(aio.wait_event(kx310, 1, 60_000), 0.05)
        running = kx310.is_running
        with pytest.raises(TimeoutError):
            await asyncio.wait_for(aio.wait_status(kx310, record, 60_000), 0.05)
        return third, running

    with sim.recording() as calls:
        third, running = asyncio.run(main())
    assert third.total_frame_count == 3 and not kx210.is_running
    assert running and "CxKX310::CancelWaitEvent(1)" in calls
    assert "CxKX310::Abort()" in calls and not kx310.is_running
    assert record.capture_state == 3  # written back after the aborted wait
