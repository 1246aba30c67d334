"""The main job on the simulated rack: ``python -m pyzol`` (or the ``pyzol`` command).

Opens a capture board from a camera file (by default the one shipped in the package), captures
frames through `pyzol.frames` into a ring of images in the board's frame size and pixel format,
with a progress bar on a terminal, prints the capture status records as a table and writes the
last frame as an image (PNG, or TIFF with Pillow: the output's extension decides). ``--io`` runs
the I/O board session instead. ``python -m pyzol --help`` lists the options.

Whatever goes wrong ends the job with one line on standard error and exit status 1: a missing,
malformed or empty camera file, a board that cannot be opened, a ring that does not fit in
memory, an output that cannot be written (checked before the capture; a write that fails leaves
the file that was there). A reader of standard output that goes away ends it quietly.
"""

from __future__ import annotations

import argparse
import os
import re
import signal
import sys
import tempfile
import threading
import time
from collections.abc import Callable

import pyzol
from pyzol import _report, core, unit
from pyzol.stream import CaptureBoard, FrameFormat, frame_format, ring_images

BOARDS = ("KX210", "KX310", "TR520")
PIXEL_FORMATS = ("Mono8", "Mono10", "Mono12", "Mono16", "RGB8", "BGR8")
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


class JobError(Exception):
    """Ends the job with its text as the one line on standard error."""


def library_error(what: str, error: RuntimeError) -> JobError:
    """`what` and the library's error, led by its status name ("FileNotFound") and followed by
    the notes the library or the module added (the offending line of a camera file)."""
    status = getattr(error, "status", None)
    if isinstance(status, core.ExStatus):
        name = status.name
    else:
        name = "error" if status is None else f"status {status}"
    notes = "; ".join(getattr(error, "__notes__", ()))
    return JobError(f"{what}: {name} ({error})" + (f": {notes}" if notes else ""))


# ---- options -----------------------------------------------------------------------------------

SIZE_LIMIT = 16384  # the largest width and height the option takes


def frame_size(text: str) -> tuple[int, int]:
    match = re.fullmatch(r"(\d+)x(\d+)", text)
    if not match or not all(0 < int(n) <= SIZE_LIMIT for n in match.groups()):
        raise argparse.ArgumentTypeError(
            f"expected WIDTHxHEIGHT, each 1 to {SIZE_LIMIT}, such as 640x480, got {text!r}"
        )
    return int(match.group(1)), int(match.group(2))


def whole(low: int, high: int) -> Callable[[str], int]:
    """An option type: a whole number from `low` to `high`."""

    def convert(text: str) -> int:
        try:
            value = int(text)
        except ValueError:
            value = low - 1
        if not low <= value <= high:
            raise argparse.ArgumentTypeError(
                f"expected a whole number {low} to {high}, got {text!r}"
            )
        return value

    return convert


def version() -> str:
    """The installed package's version."""
    found = getattr(pyzol, "__version__", None)
    if found is None:
        from importlib import metadata

        try:
            found = metadata.version("pyzol")
        except metadata.PackageNotFoundError:
            found = "unknown"
    return str(found)


# The capture options with their defaults; --io takes none of them.
CAPTURE_DEFAULTS = {
    "board": "KX210",
    "id": 0,
    "camera": None,
    "frames": 200,
    "ring": 4,
    "size": None,
    "format": None,
    "output": "last_frame.png",
}


def add_board_options(
    parser: argparse.ArgumentParser, verb: str, ring: tuple[int, int, object]
) -> None:
    """The options that choose the capture board, set it up and size the run, shared by the
    capture and the record jobs; `ring` is (fewest, most, default) images. The options default
    to None here: each job gives its own defaults."""
    fewest, most, default = ring
    parser.add_argument("--board", choices=BOARDS, help="board type (KX210)")
    parser.add_argument("--id", type=whole(0, 2**31 - 1), help="board number in the rack (0)")
    parser.add_argument(
        "--camera", metavar="FILE", help="camera file (default: the one shipped with pyzol)"
    )
    parser.add_argument("--frames", type=whole(1, 2**31 - 1), help=f"frames to {verb} (200)")
    parser.add_argument("--ring", type=whole(fewest, most), help=f"images in the ring ({default})")
    parser.add_argument("--size", type=frame_size, metavar="WxH", help="frame size, e.g. 1920x1080")
    parser.add_argument("--format", choices=PIXEL_FORMATS, help="pixel format of the frames")


def parse(argv: list[str] | None) -> argparse.Namespace:
    command = os.path.basename(sys.argv[0]) if sys.argv else ""
    prog = "pyzol" if command == "pyzol" else "python -m pyzol"
    parser = argparse.ArgumentParser(
        prog=prog,
        description="Capture frames on a simulated board and write the last one as an image.",
        epilog=f"Every frame of a run into a TIFF file: {prog} record --help",
    )
    parser.add_argument("--version", action="version", version=f"pyzol {version()}")
    add_board_options(parser, "capture", ring=(2, 64, CAPTURE_DEFAULTS["ring"]))
    parser.add_argument(
        "-o",
        "--output",
        metavar="FILE",
        help="image of the last frame, .png or .tif (last_frame.png); Mono10/12/16 frames are "
        "written as 16-bit gray",
    )
    parser.add_argument("-q", "--quiet", action="store_true", help="no progress bar")
    parser.add_argument("--io", action="store_true", help="run the I/O board session instead")
    args = parser.parse_args(argv)
    given = [name for name in CAPTURE_DEFAULTS if getattr(args, name) is not None]
    if args.io and given:
        options = ", ".join("-o/--output" if n == "output" else f"--{n}" for n in given)
        parser.error(f"--io takes no capture options: {options}")
    for name, default in CAPTURE_DEFAULTS.items():
        if getattr(args, name) is None:
            setattr(args, name, default)
    return args


# ---- capture ----------------------------------------------------------------------------------


def open_board(args: argparse.Namespace, folder: str) -> CaptureBoard:
    """The board from the camera file, with --size and --format applied on top of it."""
    cls: type[CaptureBoard] = getattr(unit, args.board)
    camera = args.camera or pyzol.demo_camera()
    where = f"{args.board} {args.id} from {camera!r}"
    if os.path.isdir(camera):  # the library would open the board with its defaults
        raise JobError(f"cannot open {where}: it is a folder, not a camera file")
    try:
        board: CaptureBoard = cls.from_file(camera, args.id, 0)
    except RuntimeError as e:
        raise library_error(f"cannot open {where}", e) from None
    lines = []
    if args.size:
        lines += [f"Width={args.size[0]}", f"Height={args.size[1]}"]
    if args.format:
        lines.append(f"PixelFormat={args.format}")
    if lines:
        apply_settings(board, lines, folder, f"cannot set up {args.board} with {', '.join(lines)}")
    return board


def apply_settings(board: CaptureBoard, lines: list[str], folder: str, what: str) -> None:
    """Applies `Name=Value` lines to the board through a settings file written in `folder`;
    a refusal ends the job with `what` and the library's error."""
    path = os.path.join(folder, "settings.txt")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    try:
        board.setup(path)
    except RuntimeError as e:
        raise library_error(what, e) from None


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


def describe(args: argparse.Namespace, fmt: FrameFormat) -> str:
    """The job's first line: the board, what it sends and the ring."""
    return (
        f"{args.board} {args.id}: {fmt.width}x{fmt.height} {fmt.pixel_format.name} "
        f"({fmt.bits} bits), {args.ring} images"
    )


def capture(args: argparse.Namespace, board: CaptureBoard) -> None:
    fmt, images = ring_for(args, board)
    out(describe(args, fmt))
    marks = [args.frames * q // 4 for q in (1, 2, 3)]
    rows = []
    bar = _report.progress(args.frames, quiet=args.quiet)
    started = time.monotonic()
    try:
        with pyzol.frames(board, images, args.frames) as stream:
            last: pyzol.Frame | None = None
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
        _report.table(
            ["time (s)"] + [COLUMNS[n] for n in fields],
            [[f"{t:.2f}"] + [getattr(r, n) for n in fields] for t, r in rows],
        )
    )
    if last is None:
        raise JobError("the board ended the capture before its first frame")
    # The newest complete frame, still in its slot: the board wrote no frame after it (the
    # stream hands out frames up to the last) and, unlocked, writes nothing more.
    try:
        writer = _report.write_image(args.output, last.array, fmt.pixel_format, fmt.bits)
    except OSError as e:
        raise JobError(f"cannot write {args.output!r}: {e.strerror or e}") from None
    out(f"frame {last.number} written to {os.path.abspath(args.output)} ({writer})")


def out(line: str) -> None:
    """A line on standard output, there at once for a reader on a pipe."""
    print(line, flush=True)


# ---- I/O board session ---------------------------------------------------------------------------


def io_session() -> None:
    """An MB100: outputs read back through the simulated loopback, a wait ended by an input
    edge that a second thread produces, then a wait that runs into the board's time-out."""
    from pyzol import sim  # the simulated rack's wiring; not there with the maker's library

    board = unit.MB100()
    board.open(0)
    settings = unit.MB100Param.from_(board)
    settings.timeout = 300  # milliseconds
    settings.set_param("DIEnable", 0x0000_00FF)  # edges on the low byte end a wait
    settings.set_param("DIEdge", 0x0000_00FF)  # rising edges
    print(f"MB100 #0 open: {board.is_opened}, time-out {settings.timeout} ms")

    sim.set_loopback("MB100", 0, True)  # the simulated wiring: inputs follow outputs
    board.write(0xA5A5_0000)
    print(f"outputs 0x{board.write_status():08X}, inputs 0x{board.read():08X}")

    def raise_bit() -> None:
        while sim.waiters("MB100", 0) == 0:
            time.sleep(0.001)
        board.write(3, True)

    helper = threading.Thread(target=raise_bit)
    helper.start()
    event = board.wait()  # other threads run meanwhile
    helper.join()
    print(
        f"wait ended by {unit.EventStatus(event).name} (input 3 rose): inputs 0x{board.read():08X}"
    )

    started = time.monotonic()
    event = board.wait()
    elapsed = (time.monotonic() - started) * 1000
    print(f"wait ended by {unit.EventStatus(event).name} after {elapsed:.0f} ms")
    board.close()
    print(f"closed: is_opened {board.is_opened}")


def main(argv: list[str] | None = None) -> int:
    """Runs the job; returns the exit status."""
    if (argv := sys.argv[1:] if argv is None else argv)[:1] == ["record"]:
        from pyzol import _record_job  # python -m pyzol record: its own options and job

        return _record_job.main(argv[1:])
    args = parse(argv)

    def job() -> None:
        if args.io:
            io_session()
            return
        try:
            _report.check_output(args.output)
        except (ValueError, OSError) as e:
            reason = e.strerror if isinstance(e, OSError) and e.strerror else e
            raise JobError(f"cannot write {args.output!r}: {reason}") from None
        with tempfile.TemporaryDirectory(prefix="pyzol-") as folder:
            board = open_board(args, folder)
        capture(args, board)
        board.close()

    return run_job(job)


def run_job(job: Callable[[], None]) -> int:
    """Runs a job and turns how it ended into the exit status: 0; 1 with one line on standard
    error; 130 for Ctrl-C (128 + the signal for one the job ends on as on Ctrl-C); that of a
    command ended by SIGPIPE when its reader went away."""
    try:
        job()
    except JobError as e:
        print(f"pyzol: {e}", file=sys.stderr)
        return 1
    except RuntimeError as e:
        print(f"pyzol: {library_error('the board refused', e)}", file=sys.stderr)
        return 1
    except MemoryError:
        print("pyzol: not enough memory for the ring of images", file=sys.stderr)
        return 1
    except (TimeoutError, ImportError, ValueError) as e:
        # A KX310 that sent no frame within its Timeout setting; a missing optional library;
        # a ring or pool the machine cannot hold.
        print(f"pyzol: {e}", file=sys.stderr)
        return 1
    except KeyboardInterrupt as e:
        # Ctrl-C, or a signal that the job turns into the same end (`signum`): the status of a
        # command that signal ended.
        signum = getattr(e, "signum", signal.SIGINT)
        name = signal.Signals(signum).name
        print(f"pyzol: {'interrupted' if signum == signal.SIGINT else f'ended by {name}'}",
              file=sys.stderr)  # fmt: skip
        return 128 + int(signum)
    except BrokenPipeError:
        # The reader of standard output went away (`pyzol | head -1`): end quietly with the
        # status of a command ended by SIGPIPE, and send what is still buffered nowhere so
        # that the interpreter's last flush does not fail again.
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        os.close(devnull)
        return 128 + int(signal.SIGPIPE)
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
