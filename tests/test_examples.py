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
        ([str(ROOT / "examples" / "dio_events.py")], "DI: edges 0x00000008, inputs 0x0000000F"),
        ([str(ROOT / "examples" / "capture_ring.py")], "finished: True, 12 frames, state 2"),
    ],
)
def test_runs_to_the_end(args, expect, tmp_path):
    out = subprocess.run(
        [sys.executable, "-P", *args], capture_output=True, text=True, timeout=120, cwd=tmp_path
    )
    assert out.returncode == 0, out.stderr
    assert expect in out.stdout
