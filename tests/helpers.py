"""Helpers shared by the test files."""

import pathlib
import re
import subprocess
import sys
import textwrap
import threading
import time

from pyzol import sim

ROOT = pathlib.Path(__file__).resolve().parent.parent


def throw_line(source, member):
    """Line of the first module throw after `member` in a source file: the binding of a member
    ("get_param") or the definition of a named function (kx210_get_param)."""
    lines = (ROOT / source).read_text().splitlines()
    defines = re.compile(rf"\b{re.escape(member)}\(")
    start = next(i for i, line in enumerate(lines) if f'"{member}"' in line or defines.search(line))
    for i in range(start, len(lines)):
        if "PYZOL_THROW" in lines[i] and "#define" not in lines[i]:
            return i + 1
    raise AssertionError(f"no throw after {member} in {source}")


def module_error(status, function, line):
    """Pattern of a module-raised error text, any file."""
    return rf"^Code:{status} Line:{line} Function:{re.escape(function)} File:\S+$"


def wait_for_waiter(board, ident, timeout=5.0):
    """Blocks until a thread is inside the library's wait on that board."""
    end = time.monotonic() + timeout
    while sim.waiters(board, ident) == 0:
        if time.monotonic() > end:
            raise AssertionError("no thread entered the wait")
        time.sleep(0.001)


class Background(threading.Thread):
    """Runs `fn` in a thread and keeps its result or exception."""

    def __init__(self, fn):
        super().__init__(daemon=True)
        self.fn, self.result, self.error = fn, None, None
        self.start()

    def run(self):
        try:
            self.result = self.fn()
        except BaseException as e:  # noqa: BLE001 - handed to the test
            self.error = e


def run_child(code, cwd, timeout=60):
    """Runs `code` in a child interpreter with this one's packages, inside `cwd`, so that a crash
    or a hang fails one test and not the run. Gives the completed process."""
    return subprocess.run(
        [sys.executable, "-P", "-c", textwrap.dedent(code)],
        capture_output=True, text=True, timeout=timeout, cwd=cwd,
    )  # fmt: skip


def child_lines(code, cwd, timeout=60):
    """The lines a child interpreter printed; it must have ended normally."""
    out = run_child(code, cwd, timeout)
    assert out.returncode == 0, out.stdout + out.stderr
    return out.stdout.splitlines()
