"""What the jobs of the command line share: the one-line failure (`JobError`), the option types,
the board options of the capture and record jobs, opening and setting up the board, and turning
how a job ended into its exit status."""

from __future__ import annotations

import argparse
import os
import re
import signal
import sys
from collections.abc import Callable

from .. import core, demo_camera, unit
from ..boards import CaptureBoard, FrameFormat

BOARDS = ("KX210", "KX310", "TR520")
PIXEL_FORMATS = ("Mono8", "Mono10", "Mono12", "Mono16", "RGB8", "BGR8")


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
    """An option type: WIDTHxHEIGHT, each 1 to `SIZE_LIMIT`."""
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


# ---- the board ---------------------------------------------------------------------------------


def open_board(args: argparse.Namespace, folder: str) -> CaptureBoard:
    """The board from the camera file, with --size and --format applied on top of it."""
    cls: type[CaptureBoard] = getattr(unit, args.board)
    camera = args.camera or demo_camera()
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


def describe(args: argparse.Namespace, fmt: FrameFormat) -> str:
    """The job's first line: the board, what it sends and the ring."""
    return (
        f"{args.board} {args.id}: {fmt.width}x{fmt.height} {fmt.pixel_format.name} "
        f"({fmt.bits} bits), {args.ring} images"
    )


def out(line: str) -> None:
    """A line on standard output, there at once for a reader on a pipe."""
    print(line, flush=True)


# ---- how a job ends ----------------------------------------------------------------------------


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
