"""The demo session and the examples run to the end on the simulated boards."""

import pathlib
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parent.parent


@pytest.mark.parametrize(
    "args, expect",
    [
        (["-m", "pyzol", "--io"], "wait ended by TIMEOUT"),
        (["-m", "pyzol", "io"], "wait ended by TIMEOUT"),
        (["dio_events.py"], "DI: edges 0x00000008, inputs 0x0000000F"),
        (["capture_ring.py"], "finished: True, 12 frames, state 2"),
        (["frames_async.py"], "board 1: no edge within the time-out"),
        (["triggered_capture.py"], "25 parts measured"),
        (["dio_abort.py"], "INT: inputs 0x00000007\nABORT: the supervisor ended the loop"),
        (["serial_camera.py"], "exposure time now 2500 (from the board)\nBOGUS        -> ERR"),
        (["settings.py"], "board 1 from the saved file: exposure 1200, trigger mode 1"),
        (["cameras_in_step.py"], "triggers sent: 100, pairs written: 100"),
        (["front_door.py"], "frames captured: 10, outputs now 0x0\nno event: MB100 0"),
    ],
)
def test_runs_to_the_end(args, expect, tmp_path):
    if args[0].endswith(".py"):
        args = [str(ROOT / "examples" / args[0])]
    out = subprocess.run(
        [sys.executable, *args], capture_output=True, text=True, timeout=120, cwd=tmp_path
    )
    assert out.returncode == 0, out.stderr
    assert expect in out.stdout
