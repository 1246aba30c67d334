"""``python -m pyzol capture`` (also ``python -m pyzol`` with no command): frames of a capture
board through `pyzol.frames` into a ring of images in the board's frame size and pixel format,
with a progress bar on a terminal; the capture status records as a table; the last frame
written as an image (PNG or TIFF, as the output's extension says).

A failure ends the job with one line on standard error and status 1: a missing, malformed or
empty camera file, a board that cannot be opened, a ring that does not fit in memory, an output
that cannot be written (checked before the capture; a write that fails leaves the file that was
there). A reader of standard output that goes away ends it quietly.
"""

from __future__ import annotations

import argparse
import os
import tempfile
import time

from .. import core
from ..boards import CaptureBoard, FrameFormat, frame_format, ring_images
from ..stream import Frame, frames
from . import report
from .common import JobError, add_board_options, describe, open_board, out, run_job

# Status record fields, in table order, with their column headings.
COLUMNS = {
    "total_frame_count": "frames",
    "last_frame_no": "last",
    "line_count": "lines",
    "amount_in_frame": "amount",
    "dma_schedule_peak": "dma peak",
    "capture_event": "events",
    "capture_state": "state",
}

# The capture options with their defaults; --io takes none of them.
DEFAULTS: dict[str, str | int | None] = {
    "board": "KX210",
    "id": 0,
    "camera": None,
    "frames": 200,
    "ring": 4,
    "size": None,
    "format": None,
    "output": "last_frame.png",
}


def add_options(parser: argparse.ArgumentParser) -> None:
    """The capture job's options; they default to None, and `given` tells which were given."""
    add_board_options(parser, "capture", ring=(2, 64, DEFAULTS["ring"]))
    parser.add_argument(
        "-o",
        "--output",
        metavar="FILE",
        help="image of the last frame, .png or .tif (last_frame.png); Mono10/12/16 frames are "
        "written as 16-bit gray",
    )
    parser.add_argument("-q", "--quiet", action="store_true", help="no progress bar")
    parser.add_argument(
        "--io", action="store_true", help="run the I/O board session instead (as the io command)"
    )


def given(args: argparse.Namespace) -> list[str]:
    """The capture options given on the command line, as the usage names them."""
    names = [name for name in DEFAULTS if getattr(args, name) is not None]
    return ["-o/--output" if n == "output" else f"--{n}" for n in names]


def with_defaults(args: argparse.Namespace) -> argparse.Namespace:
    """`args` with the defaults of the options not given."""
    for name, default in DEFAULTS.items():
        if getattr(args, name) is None:
            setattr(args, name, default)
    return args


def ring_for(
    args: argparse.Namespace, board: CaptureBoard
) -> tuple[FrameFormat, list[core.CxImage]]:
    """The board's frame format and a ring of `args.ring` images in it, refused (JobError)
    for an empty frame or a ring larger than the machine's available memory."""
    fmt = frame_format(board)
    if fmt.width < 1 or fmt.height < 1:
        raise JobError(
            f"{args.board} {args.id} is set up for {fmt.width}x{fmt.height} frames: "
            "the camera file needs a Width and Height of at least 1"
        )
    try:
        return fmt, ring_images(board, args.ring)
    except ValueError as e:
        raise JobError(f"{e}; try a smaller --ring or --size") from None


def capture(args: argparse.Namespace, board: CaptureBoard) -> None:
    fmt, images = ring_for(args, board)
    out(describe(args, fmt))
    marks = [args.frames * q // 4 for q in (1, 2, 3)]
    rows = []
    bar = report.progress(args.frames, quiet=args.quiet)
    started = time.monotonic()
    try:
        with frames(board, images, args.frames) as stream:
            last: Frame | None = None
            seen = 0
            for last in stream:
                taken = last.number + 1
                bar.update(taken - seen)
                seen = taken
                if marks and taken >= marks[0]:
                    rows.append((time.monotonic() - started, last.status))
                    marks = [m for m in marks if m > taken]
            board.wait()  # the end of the capture: the board's final status record
            record = board.query_status()
    finally:
        bar.close()
    elapsed = time.monotonic() - started
    rows.append((elapsed, record))

    fields = [name for name in COLUMNS if hasattr(record, name)]
    out(f"captured {record.total_frame_count} frames in {elapsed:.2f} s")
    out(
        report.table(
            ["time (s)"] + [COLUMNS[n] for n in fields],
            [[f"{t:.2f}"] + [getattr(r, n) for n in fields] for t, r in rows],
        )
    )
    if last is None:
        raise JobError("the board ended the capture before its first frame")
    # The newest complete frame, still in its slot: the board wrote no frame after it (the
    # stream hands out frames up to the last) and, unlocked, writes nothing more.
    try:
        writer = report.write_image(args.output, last.array, fmt.pixel_format, fmt.bits)
    except OSError as e:
        raise JobError(f"cannot write {args.output!r}: {e.strerror or e}") from None
    out(f"frame {last.number} written to {os.path.abspath(args.output)} ({writer})")


def main(args: argparse.Namespace) -> int:
    """Runs the capture job on parsed options (`with_defaults` applied); returns the exit
    status."""

    def job() -> None:
        try:
            report.check_output(args.output)
        except (ValueError, OSError) as e:
            reason = e.strerror if isinstance(e, OSError) and e.strerror else e
            raise JobError(f"cannot write {args.output!r}: {reason}") from None
        with tempfile.TemporaryDirectory(prefix="pyzol-") as folder:
            board = open_board(args, folder)
        capture(args, board)
        board.close()

    return run_job(job)
