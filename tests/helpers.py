"""Helpers shared by the test files."""

import pathlib
import re
import threading
import time

import numpy as np

from pyzol import sim, unit

ROOT = pathlib.Path(__file__).resolve().parent.parent
W, H = 64, 48  # frame of the test cameras


CAPTURE_BOARDS = ("KX210", "KX310", "TR520")


def opened(name, ident=0, channel=0):
    """A board of class `name` opened on the simulated rack (a capture board on a channel)."""
    board = getattr(unit, name)()
    if name in CAPTURE_BOARDS:
        board.open(ident, channel)
    else:
        board.open(ident)
    return board


def throw_line(source, member, status=None):
    """Line of the first module throw after `member` in a source file: the binding of a member
    ("get_param") or the definition of a named function (kx210_get_param); with `status`, the
    first throw of that status."""
    lines = (ROOT / source).read_text().splitlines()
    defines = re.compile(rf"\b{re.escape(member)}\(")
    start = next(i for i, line in enumerate(lines) if f'"{member}"' in line or defines.search(line))
    for i in range(start, len(lines)):
        throws = "PYZOL_THROW" if status is None else f"PYZOL_THROW({status})"
        if throws in lines[i] and "#define" not in lines[i]:
            return i + 1
    raise AssertionError(f"no throw after {member} in {source}")


def module_error(status, function, line):
    """Pattern of a module-raised error text, any file."""
    return rf"^Code:{status} Line:{line} Function:{re.escape(function)} File:\S+$"


def camera(tmp_path, name="cam.txt", w=W, h=H, **settings):
    """A camera file of `Name=Value` lines; the frame is w x h."""
    settings = {"Width": w, "Height": h, **settings}
    path = tmp_path / name
    path.write_text("# test camera\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
    return str(path)


def frame(k, w=W, h=H):
    """The stand-in's test pattern of frame k: (k + x + y) & 0xff, frame number in bytes 0-3."""
    y, x = np.mgrid[0:h, 0:w]
    pixels = ((k + x + y) & 0xFF).astype(np.uint8)
    pixels.reshape(-1)[:4] = np.frombuffer(np.uint32(k).tobytes(), np.uint8)
    return pixels


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


def observed_members(cls):
    """What Python sees: names in first-registration order, each with its overloads in order."""
    out = []
    for name, member in vars(cls).items():
        if isinstance(member, property):
            out.append((name, [name + ("=" if member.fset else "")]))
        elif name.startswith("_") and name not in ("__init__", "__eq__", "__ne__"):
            continue
        else:
            func = member.__func__ if isinstance(member, staticmethod) else member
            sigs = re.findall(rf"^(?:\d+\. )?{name}(\(.*\)) ->", func.__doc__, re.MULTILINE)
            params = [re.sub(r"self: [\w.]+(, )?", "", s) for s in sigs]
            params = [re.sub(r": [\w.:]+", "", s).replace(" = ", "=") for s in params]
            out.append((name, [name + p for p in params]))
    return out
