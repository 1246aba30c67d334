"""The main job on the simulated rack: ``python -m pyzol``.

Opens a capture board from a camera file (by default the one shipped in the package), locks a
ring of images in the board's pixel format, captures frames with a progress bar on a terminal,
prints the capture status records as a table and writes the last frame as a PNG. ``--io`` runs
the I/O board session instead. ``python -m pyzol --help`` lists the options.

A missing or malformed camera file, a board that cannot be opened or an output that cannot be
written ends the job with one line on standard error and exit status 1.
"""

from __future__ import annotations

import argparse
import os
import re
import sys
import tempfile
import threading
import time
from importlib import resources

from pyzol import _report, core, unit
from pyzol.stream import frame_format, ring_images

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
    """`what` and the library's error, led by the status name ("FileNotFound")."""
    text = str(error)
    code = re.match(r"Code:(\d+) ", text)
    name = core.ExStatus(int(code.group(1))).name if code else "error"
    return JobError(f"{what}: {name} ({text})")


# ---- options -----------------------------------------------------------------------------------


def frame_size(text: str) -> tuple[int, int]:
    match = re.fullmatch(r"(\d+)x(\d+)", text)
    if not match or not all(0 < int(n) <= 16384 for n in match.groups()):
        raise argparse.ArgumentTypeError(f"expected WIDTHxHEIGHT such as 640x480, got {text!r}")
    return int(match.group(1)), int(match.group(2))


def whole(low: int, high: int):
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


def parse(argv: list[str] | None) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog="python -m pyzol",
        description="Capture frames on a simulated board and write the last one as a PNG.",
    )
    parser.add_argument("--board", choices=BOARDS, default="KX210", help="board type (KX210)")
    parser.add_argument(
        "--id", type=whole(0, 2**31 - 1), default=0, help="board number in the rack (0)"
    )
    parser.add_argument(
        "--camera", metavar="FILE", help="camera file (default: the one shipped with pyzol)"
    )
    parser.add_argument(
        "--frames", type=whole(1, 2**31 - 1), default=200, help="frames to capture (200)"
    )
    parser.add_argument("--ring", type=whole(1, 64), default=4, help="images in the ring (4)")
    parser.add_argument("--size", type=frame_size, metavar="WxH", help="frame size, e.g. 1920x1080")
    parser.add_argument("--format", choices=PIXEL_FORMATS, help="pixel format of the frames")
    parser.add_argument(
        "-o", "--output", default="last_frame.png", help="PNG of the last frame (last_frame.png)"
    )
    parser.add_argument("--io", action="store_true", help="run the I/O board session instead")
    return parser.parse_args(argv)


# ---- capture ----------------------------------------------------------------------------------


def open_board(args: argparse.Namespace, folder: str):
    """The board from the camera file, with --size and --format applied on top of it."""
    cls = getattr(unit, args.board)
    shipped = resources.files("pyzol") / "cameras" / "demo.txt"
    with resources.as_file(shipped) as default:
        camera = args.camera or str(default)
        try:
            board = cls.from_file(camera, args.id, 0)
        except RuntimeError as e:
            raise library_error(f"cannot open {args.board} {args.id} from {camera!r}", e) from None
    lines = []
    if args.size:
        lines += [f"Width={args.size[0]}", f"Height={args.size[1]}"]
    if args.format:
        lines.append(f"PixelFormat={args.format}")
    if lines:
        extra = os.path.join(folder, "options.txt")
        with open(extra, "w") as f:
            f.write("\n".join(lines) + "\n")
        try:
            board.setup(extra)
        except RuntimeError as e:
            raise library_error(f"cannot set up {args.board} with {', '.join(lines)}", e) from None
    return board


def capture(args: argparse.Namespace, board) -> None:
    width, height, fmt, bits = frame_format(board)
    print(f"{args.board} {args.id}: {width}x{height} {fmt.name} ({bits} bits), {args.ring} images")

    images = ring_images(board, args.ring)
    board.lock(images)
    board.num = args.frames
    marks = [args.frames * q // 4 for q in (1, 2, 3)]
    rows = []
    bar = _report.progress(args.frames)
    started = time.monotonic()
    board.start()
    try:
        seen = 0
        while True:
            running = board.is_running  # before the status: the last frame is then counted
            record = board.query_status()
            count = record.total_frame_count
            bar.update(count - seen)
            seen = count
            if marks and count >= marks[0]:
                rows.append((time.monotonic() - started, record))
                marks = [m for m in marks if m > count]
            if not running:
                break
            time.sleep(0.01)
        board.wait()
    except BaseException:
        board.abort()
        raise
    finally:
        bar.close()
    elapsed = time.monotonic() - started
    record = board.query_status()
    rows.append((elapsed, record))
    board.unlock()

    fields = [name for name in COLUMNS if hasattr(record, name)]
    print(f"captured {record.total_frame_count} frames in {elapsed:.2f} s")
    print(
        _report.table(
            ["time (s)"] + [COLUMNS[n] for n in fields],
            [[f"{t:.2f}"] + [getattr(r, n) for n in fields] for t, r in rows],
        )
    )
    last = record.last_frame_no
    try:
        writer = _report.write_png(args.output, images[last % len(images)], bits)
    except OSError as e:
        raise JobError(f"cannot write {args.output!r}: {e.strerror or e}") from None
    print(f"frame {last} written to {os.path.abspath(args.output)} ({writer})")


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
    if (argv := sys.argv[1:] if argv is None else argv)[:1] == ["record"]:
        from pyzol import _record_job  # python -m pyzol record: its own options and job

        return _record_job.main(argv[1:])
    args = parse(argv)
    try:
        if args.io:
            io_session()
            return 0
        with tempfile.TemporaryDirectory(prefix="pyzol-") as folder:
            board = open_board(args, folder)
        capture(args, board)
        board.close()
    except JobError as e:
        print(f"pyzol: {e}", file=sys.stderr)
        return 1
    except RuntimeError as e:
        print(f"pyzol: {library_error('the board refused', e)}", file=sys.stderr)
        return 1
    except MemoryError:
        print("pyzol: not enough memory for the ring of images", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("pyzol: interrupted", file=sys.stderr)
        return 130
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
