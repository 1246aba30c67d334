"""The command line: ``python -m pyzol`` or the ``pyzol`` command, with a job per subcommand.

    pyzol [capture] [options]    frames of a capture board, the last written as an image
    pyzol record [options]       every frame of a capture board into a multi-page TIFF file
    pyzol io                     a session on an I/O board (``pyzol --io`` runs it too)
    pyzol view [options]         the live view: a web page with the frames and the settings

With no subcommand the capture job runs. ``pyzol COMMAND --help`` lists a job's options.
Whatever goes wrong ends a job with one line on standard error and exit status 1.
"""

from __future__ import annotations

import argparse
import os
import sys

from . import capture, io_board, record, view

__all__ = ["COMMANDS", "main", "parser"]

COMMANDS = ("capture", "record", "io", "view")


def version() -> str:
    """The installed package's version."""
    from .. import __version__

    return __version__


def parser(prog: str | None = None) -> argparse.ArgumentParser:
    """The command line's parser, its subcommands in `COMMANDS`; `prog` is the name the usage
    gives (``pyzol`` when run as that command, else ``python -m pyzol``)."""
    if prog is None:
        command = os.path.basename(sys.argv[0]) if sys.argv else ""
        prog = "pyzol" if command == "pyzol" else "python -m pyzol"
    top = argparse.ArgumentParser(
        prog=prog,
        description="Jobs on the simulated boards. With no command, the capture job runs: "
        f"{prog} [capture options].",
        epilog=f"A job's options: {prog} COMMAND --help",
    )
    top.add_argument("--version", action="version", version=f"pyzol {version()}")
    commands = top.add_subparsers(dest="command", metavar="COMMAND", required=True)
    capturing = commands.add_parser(
        "capture",
        help="capture frames and write the last one as an image (the default)",
        description="Capture frames on a simulated board and write the last one as an image.",
        epilog=f"Every frame of a run into a TIFF file: {prog} record --help",
    )
    capture.add_options(capturing)
    capturing.set_defaults(parser=capturing)
    recording = commands.add_parser(
        "record",
        help="record every frame into a multi-page TIFF file",
        description="Record the frames of a simulated capture board into a multi-page TIFF file.",
    )
    record.add_options(recording)
    commands.add_parser(
        "io",
        help="run the I/O board session",
        description="Run a session on a simulated MB100 I/O board.",
    )
    viewing = commands.add_parser(
        "view",
        help="serve the live view: a web page with the frames and the settings",
        description="Serve the live view of a simulated capture board as a web page.",
    )
    view.add_options(viewing)
    return top


def main(argv: list[str] | None = None) -> int:
    """Runs the job the command line names; returns the exit status."""
    argv = sys.argv[1:] if argv is None else list(argv)
    if not argv or (argv[0].startswith("-") and argv[0] not in ("-h", "--help", "--version")):
        argv.insert(0, "capture")  # options without a command: the capture job
    args = parser().parse_args(argv)
    if args.command == "record":
        return record.main(args)
    if args.command == "view":
        return view.main(args)
    if args.command == "capture" and args.io:
        if options := capture.given(args):
            args.parser.error(f"--io takes no capture options: {', '.join(options)}")
        args.command = "io"
    if args.command == "io":
        return io_board.main()
    return capture.main(capture.with_defaults(args))
