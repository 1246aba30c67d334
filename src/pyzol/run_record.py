"""What a recording keeps of its run, whatever records it (`pyzol.record` of a board, or of a
`pyzol.sync` group): the run's record, and the fields of each frame's status record."""

from __future__ import annotations

import os
import time
from typing import Any

from . import boards, unit
from .boards import CaptureBoard, FrameFormat

__all__ = ["run_record", "status_fields"]

# Each board's status record, whose fields every frame carries to the writer.
_STATUS = {
    unit.KX210: unit.TxKX210CaptureStatus,
    unit.KX310: unit.TxKX310CaptureStatus,
    unit.TR520: unit.TxTR520CaptureStatus,
}


def status_fields(board: CaptureBoard) -> tuple[str, ...]:
    """The names of the fields of the board's status record, in the record's order."""
    record = _STATUS[boards.kind(board)]
    return tuple(n for n, v in vars(record).items() if isinstance(v, property))


def run_record(
    board: CaptureBoard,
    fmt: FrameFormat,
    ring: int,
    count: int | None,
    pool: int,
    camera: str | os.PathLike[str] | None,
) -> dict[str, Any]:
    """What the file records about the whole run: the board, frame size, pixel format, ring
    and pool, the start time, the camera file and its text when given, and the board's settings
    as its ``save`` writes them."""
    import tempfile

    kind = boards.kind(board)
    settings = boards.SETTINGS[kind].from_(board)
    run: dict[str, Any] = {
        "board": kind.__name__,
        "id": settings.get_param("DeviceID"),
        "channel": settings.get_param("Channel"),
        "width": fmt.width,
        "height": fmt.height,
        "pixel_format": fmt.pixel_format.name,
        "bits": fmt.bits,
        "stored": "gray" if fmt.pixel_format.name.startswith("Mono") else "RGB",
        "ring": ring,
        "pool": pool,
        "count": count,
        "started_utc": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()),
        "started_ns": time.monotonic_ns(),
    }
    if camera is not None:
        camera = os.fspath(camera)
        with open(camera, encoding="utf-8", errors="replace") as f:
            run["camera_file"], run["camera"] = os.path.abspath(camera), f.read()
    with tempfile.TemporaryDirectory(prefix="pyzol-") as folder:
        saved = os.path.join(folder, "settings.txt")
        board.save(saved)
        with open(saved, encoding="utf-8", errors="replace") as f:
            run["settings"] = f.read()
    return run
