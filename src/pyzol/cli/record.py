"""``python -m pyzol record``: every frame of a capture board into a multi-page TIFF file.

    python -m pyzol record -o run.tif --frames 1000 --size 1920x1080 --rate 100

Opens the board as the capture job does (board, id, camera file, frame size and pixel format),
paces it at ``--rate`` frames per second if asked, and records through `pyzol.record`. A bar on a
terminal (with tqdm) shows the frames written, frames/s, MB/s and frames dropped; a table sums
the run up at the end. Ctrl-C, SIGTERM (a `timeout`, a service stop) and SIGHUP (the terminal
gone) end the recording early alike: the file is left whole, the summary printed, and the status
is 128 + the signal's number (130 for Ctrl-C). A failure ends the job with one line on standard
error and status 1.
"""

from __future__ import annotations

import argparse
import os
import signal
import tempfile
import threading
from collections.abc import Iterator
from contextlib import contextmanager
from types import FrameType

from .. import recorder
from ..boards import CaptureBoard, frame_format
from . import report
from .common import (
    JobError,
    add_board_options,
    apply_settings,
    describe,
    open_board,
    run_job,
    whole,
)


def frame_rate(text: str) -> float:
    """An option type: frames per second from 0.01 to a million (a period of 1 us), or 0 for a
    board that runs free."""
    try:
        value = float(text)
    except ValueError:
        value = -1.0
    if not (value == 0 or 0.01 <= value <= 1e6):
        raise argparse.ArgumentTypeError(
            f"expected frames per second from 0.01 to 1000000, or 0 (free-running), got {text!r}"
        )
    return value


def add_options(parser: argparse.ArgumentParser) -> None:
    """The record job's options, with their defaults."""
    add_board_options(parser, "record", ring=(2, 4096, 8))
    parser.set_defaults(board="KX210", id=0, frames=200, ring=8)
    parser.add_argument(
        "--pool",
        type=whole(1, 2**20),
        help="frame buffers on the way to the disk (256 MiB, at most 65536)",
    )
    parser.add_argument(
        "--rate", type=frame_rate, metavar="FPS", help="frames per second (0: free-running)"
    )
    parser.add_argument("-o", "--output", default="run.tif", help="TIFF file (run.tif)")
    parser.add_argument("-q", "--quiet", action="store_true", help="no progress bar")


def pace(board: CaptureBoard, rate: float, folder: str) -> None:
    """Sets the board's frame period (TriggerCycleTime, in microseconds) for `rate` frames per
    second; 0 lets it run free (no cycle time and no exposure time)."""
    lines = [f"TriggerCycleTime={round(1e6 / rate)}"] if rate else ["TriggerCycleTime=0"]
    if not rate:
        lines.append("ExposureTime=0")
    apply_settings(board, lines, folder, f"cannot pace the board at {rate:g} frames/s")


def record(args: argparse.Namespace, board: CaptureBoard) -> None:
    print(describe(args, frame_format(board)))
    try:
        rec = recorder.record(
            board, args.output, args.frames, args.ring, pool=args.pool, camera=args.camera
        )
    except OSError as e:
        raise JobError(f"cannot write {args.output!r}: {e.strerror or e}") from None
    bar = report.progress(args.frames, quiet=args.quiet)
    shown = 0

    def show() -> None:
        nonlocal shown
        now = rec.progress
        bar.update(now.written - shown)
        shown = now.written
        bar.set_postfix_str(f"{now.mb_per_s:.1f} MB/s, {now.dropped} dropped")

    interrupted: KeyboardInterrupt | None = None
    failure: JobError | None = None
    try:
        try:
            while True:
                try:
                    rec.wait(0.1)
                    break
                except TimeoutError:
                    show()
        except KeyboardInterrupt as e:
            # Ctrl-C or a signal: in wait() the recording has ended, its file whole; elsewhere
            # (the bar) it is ended here.
            interrupted = e
            rec.close()
    except OSError as e:
        failure = JobError(f"cannot write {args.output!r}: {e.strerror or e}")
    finally:
        show()
        bar.close()
    summary(rec, args.output)
    if failure is not None:
        raise failure
    if interrupted is not None:
        raise interrupted


def summary(rec: recorder.Recorder, output: str) -> None:
    p = rec.progress
    print(f"recorded {p.written} frames to {os.path.abspath(output)} in {p.elapsed:.2f} s")
    header = ["written", "dropped", "pool full", "missed", "overrun", "MB", "frames/s", "MB/s"]
    row = [p.written, p.dropped, rec.pool_full, rec.missed, rec.overrun, f"{p.nbytes / 1e6:.1f}"]
    print(report.table(header, [row + [f"{p.frames_per_s:.1f}", f"{p.mb_per_s:.1f}"]]))


class Signalled(KeyboardInterrupt):
    """SIGTERM or SIGHUP, raised where the job is, to end it as Ctrl-C does."""

    def __init__(self, signum: int) -> None:
        super().__init__(signum)
        self.signum = signum


ENDING_SIGNALS = (signal.SIGTERM, signal.SIGHUP)


@contextmanager
def signals_end_the_job() -> Iterator[None]:
    """While the block runs, SIGTERM and SIGHUP raise `Signalled` (the first of them; the later
    ones are ignored, so that ending the recording is not cut short)."""

    def end(signum: int, _frame: FrameType | None) -> None:
        for each in ENDING_SIGNALS:
            signal.signal(each, signal.SIG_IGN)
        raise Signalled(signum)

    if threading.current_thread() is not threading.main_thread():
        yield  # only the main thread takes signal handlers
        return
    before = {each: signal.signal(each, end) for each in ENDING_SIGNALS}
    try:
        yield
    finally:
        for each, handler in before.items():
            signal.signal(each, handler)


def main(args: argparse.Namespace) -> int:
    """Runs the record job on parsed options; returns the exit status."""

    def job() -> None:
        with tempfile.TemporaryDirectory(prefix="pyzol-") as folder:
            board = open_board(args, folder)
            if args.rate is not None:
                pace(board, args.rate, folder)
        try:
            record(args, board)
        finally:
            board.close()

    with signals_end_the_job():
        return run_job(job)
