"""``python -m pyzol view``: the live view, a web page served by this process.

    python -m pyzol view --camera cam.txt --folder runs --io RM1600:0

Opens the capture board (and the I/O board `--io` names), starts it and serves the page on
127.0.0.1 (`--host` for another address, which then requires the token printed at start-up).
The page shows the frames as they come and writes settings, starts, stops and records into
`--folder` under a generated name. Ctrl-C or SIGTERM ends the recording (its file whole), the
capture and the server.
"""

from __future__ import annotations

import argparse
import asyncio
import os
import signal

from .. import board_objects, demo_camera
from .common import BOARDS, JobError, run_job, whole

IO_KINDS = board_objects.IO_KINDS


def io_board(text: str) -> tuple[str, int]:
    """An option type: KIND or KIND:ID, such as RM1600:0."""
    kind, _, ident = text.partition(":")
    if kind not in IO_KINDS or not (ident == "" or ident.isdigit()):
        raise argparse.ArgumentTypeError(
            f"expected KIND[:ID] with KIND one of {', '.join(IO_KINDS)}, got {text!r}"
        )
    return kind, int(ident or 0)


def folder(text: str) -> str:
    """An option type: a folder there is."""
    if not os.path.isdir(text):
        raise argparse.ArgumentTypeError(f"no folder {text!r}")
    return os.path.abspath(text)


def add_options(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--board", choices=BOARDS, default="KX210", help="board type (KX210)")
    parser.add_argument("--id", type=whole(0, 2**31 - 1), default=0, help="board number (0)")
    parser.add_argument("--ch", type=whole(0, 2**31 - 1), default=0, help="channel (0)")
    parser.add_argument(
        "--camera", metavar="FILE", help="camera file (default: the one shipped with pyzol)"
    )
    parser.add_argument("--io", type=io_board, metavar="KIND[:ID]", help="an I/O board to show")
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (127.0.0.1)")
    parser.add_argument("--port", type=whole(0, 65535), default=8470, help="port (8470; 0: any)")
    parser.add_argument(
        "--folder", type=folder, default=".", help="folder of the recordings (the current one)"
    )
    parser.add_argument(
        "--max-fps", type=whole(1, 1000), default=60, help="frames a second to the pages (60)"
    )


def main(args: argparse.Namespace) -> int:
    """Runs the live view on parsed options until Ctrl-C; returns the exit status."""

    def job() -> None:
        try:
            from ..view import ViewServer
        except ImportError as e:
            raise JobError(f"pyzol view needs {e.name}: pip install pyzol[view]") from None
        camera = args.camera or demo_camera()
        cam = board_objects.open(args.board, args.id, args.ch, camera=camera)
        io = None
        try:
            if args.io is not None:
                io = board_objects.open(*args.io)
            server = ViewServer(
                cam, args.folder, io=io, host=args.host, port=args.port,
                max_fps=args.max_fps,
            )  # fmt: skip
            asyncio.run(serve(server))
        finally:
            cam.close()
            if io is not None:
                io.close()

    return run_job(job)


async def serve(server: object) -> None:
    from ..view import ViewServer

    assert isinstance(server, ViewServer)
    loop = asyncio.get_running_loop()
    for each in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(each, server.ended.set)

    def started() -> None:
        print(f"pyzol view: {server.url}", flush=True)
        if server.loopback:
            print("listening on this machine only; Ctrl-C ends it", flush=True)
        else:
            print(
                f"listening on {server.host}:{server.port}: every request needs the token "
                f"{server.token} (in the address above, or the header X-Pyzol-Token); "
                "Ctrl-C ends it",
                flush=True,
            )

    try:
        await server.serve(started)
    except OSError as e:
        raise JobError(f"cannot listen on {server.host}:{server.port}: {e.strerror or e}") from None
    print("pyzol view: ended", flush=True)
