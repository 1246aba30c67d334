"""Awaitable forms of the boards' blocking waits, for scripts built on asyncio.

Each wait runs in a thread of its own (the boards' waits let other threads run meanwhile), so the
event loop keeps serving other tasks. Cancelling the awaiting task, also through
``asyncio.wait_for`` or ``asyncio.timeout``, ends the board's wait the library's way (``abort``,
or ``cancel_wait_event`` for a KX310 event wait) and lets ``CancelledError`` through only once
that thread has come back, so the board is free for the next call. A wait that ended on its own
just as the task was cancelled loses its result, as any cancelled call does.

    from pyzol import aio
    status = await asyncio.wait_for(aio.wait(board), 0.5)
"""

from __future__ import annotations

import asyncio
import os
import queue
import threading
from collections.abc import Callable
from typing import Any, TypeVar, overload

from . import unit

T = TypeVar("T")

__all__ = ["run", "wait", "wait_event", "wait_status"]

# An abort reaches only a wait already inside the library: the thread may not have got there
# yet when the task is cancelled, so the abort is repeated until the thread is back, at growing
# intervals (never a busy loop).
_FIRST_RETRY = 0.002
_LAST_RETRY = 0.1


class _Threads:
    """Threads for blocking calls. Every call gets a thread of its own (a wait may last for
    ever, so calls never queue behind one another); a thread whose call has returned waits a
    while for the next one, which spares the next wait the start and, more to the point, spares
    a finished wait the end of its thread while the event loop wakes up."""

    IDLE_SECONDS = 10.0

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._jobs: queue.SimpleQueue[Callable[[], None]] = queue.SimpleQueue()
        self._idle = 0  # threads waiting for a job and not yet promised one

    def submit(self, job: Callable[[], None]) -> None:
        with self._lock:
            self._jobs.put(job)
            if self._idle:  # an idle thread takes it
                self._idle -= 1
                return
        # A thread of its own takes it. The job goes through the queue, not the thread's
        # arguments, which would keep the job (and the board it waits on) alive while the thread
        # idles.
        threading.Thread(target=self._serve, name="pyzol-wait", daemon=True).start()

    def _serve(self) -> None:
        while True:
            try:
                job = self._jobs.get(timeout=self.IDLE_SECONDS)
            except queue.Empty:
                with self._lock:
                    if self._jobs.empty():  # else a job was promised meanwhile: take it
                        self._idle -= 1
                        return
                continue
            job()
            del job  # nothing of a finished call stays alive while the thread idles
            with self._lock:
                self._idle += 1


_threads = _Threads()


def _after_fork_in_child() -> None:
    global _threads
    _threads = _Threads()  # a child process has none of its parent's threads


os.register_at_fork(after_in_child=_after_fork_in_child)


async def run(call: Callable[[], T], cancel: Callable[[], object]) -> T:
    """Runs the blocking ``call()`` in a thread of its own and returns (or raises) what it does.

    When the awaiting task is cancelled, ``cancel()`` is called until ``call`` has returned;
    then the cancellation goes on. Errors raised by ``cancel`` are ignored (a board closed under
    the wait, for instance, has ended that wait already)."""
    loop = asyncio.get_running_loop()
    outcome: asyncio.Future[T] = loop.create_future()

    def deliver(value: Any, error: BaseException | None) -> None:
        if outcome.done():
            return
        if error is None:
            outcome.set_result(value)
        else:
            outcome.set_exception(error)

    def worker() -> None:
        value, error = None, None
        try:
            value = call()
        except BaseException as e:  # noqa: BLE001 - handed to the awaiting task
            error = e
        try:
            loop.call_soon_threadsafe(deliver, value, error)
        except RuntimeError:
            pass  # the loop is closed: nobody awaits this result any more
        del value, error

    _threads.submit(worker)
    try:
        return await asyncio.shield(outcome)
    except asyncio.CancelledError:
        await _reclaim(outcome, cancel)
        raise


async def _reclaim(outcome: asyncio.Future[Any], cancel: Callable[[], object]) -> None:
    """Ends the call behind `outcome` and waits for its thread, whatever else is cancelled."""
    delay = _FIRST_RETRY
    while not outcome.done():
        try:
            cancel()
        except Exception:  # noqa: BLE001 - see run()
            pass
        try:
            await asyncio.wait([outcome], timeout=delay)
        except asyncio.CancelledError:
            pass  # cancelled once more: the thread must still be waited for
        delay = min(delay * 2, _LAST_RETRY)
    if not outcome.cancelled():
        outcome.exception()  # retrieved, so asyncio does not report it as lost


@overload
async def wait(board: unit.MB100) -> int: ...
@overload
async def wait(board: unit.RM1600) -> unit.RM1600WaitStatus: ...
@overload
async def wait(board: unit.DQ160) -> unit.DQ160WaitStatus: ...
@overload
async def wait(board: unit.KX210 | unit.KX310 | unit.TR520) -> None: ...
async def wait(board: Any) -> Any:
    """``board.wait()`` awaited: an I/O board's event wait (its result), or a capture board's
    wait for the end of the capture. Cancelling calls ``board.abort()``, which on a capture
    board also ends the capture."""
    return await run(board.wait, board.abort)


@overload
async def wait_status(board: unit.KX210, *frame: int) -> unit.TxKX210CaptureStatus: ...
@overload
async def wait_status(board: unit.TR520, *frame: int) -> unit.TxTR520CaptureStatus: ...
@overload
async def wait_status(board: unit.KX310) -> unit.TxKX310CaptureStatus: ...
@overload
async def wait_status(
    board: unit.KX310, result: unit.TxKX310CaptureStatus, timeout: int = 5000
) -> bool: ...
async def wait_status(board: Any, *args: Any, **kwargs: Any) -> Any:
    """``board.wait_status(...)`` of a capture board awaited, with the board's own arguments
    (KX210, TR520: an optional frame number; KX310: an optional record to fill and a time-out).
    Cancelling calls ``board.abort()``, which ends the capture."""
    return await run(lambda: board.wait_status(*args, **kwargs), board.abort)


async def wait_event(board: unit.KX310, event: int, timeout: int, value: int = 0) -> bool:
    """``board.wait_event(event, timeout, value)`` of a KX310 awaited. Cancelling calls
    ``board.cancel_wait_event(event)``: the capture goes on."""
    return await run(
        lambda: board.wait_event(event, timeout, value), lambda: board.cancel_wait_event(event)
    )
