"""Helpers shared by the test files."""

import pathlib
import re
import subprocess
import sys
import textwrap
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
        throws = ["PYZOL_THROW" if status is None else f"PYZOL_THROW({status})"]
        if status in (None, 1):  # a refused setting name throws status 1 with a note
            throws.append("PYZOL_REFUSE_NAME(")
        if any(t in lines[i] for t in throws) and "#define" not in lines[i]:
            return i + 1
    raise AssertionError(f"no throw after {member} in {source}")


def module_error(status, function, line):
    """Pattern of a module-raised error text, any file. pytest matches the error's notes too,
    one a line after the text: the text ends at the first line end."""
    return rf"^Code:{status} Line:{line} Function:{re.escape(function)} File:\S+(?:\n|$)"


def camera(tmp_path, name="cam.txt", w=W, h=H, **settings):
    """A camera file of `Name=Value` lines; the frame is w x h."""
    settings = {"Width": w, "Height": h, **settings}
    path = tmp_path / name
    path.write_text("# test camera\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
    return str(path)


def frame(k, w=W, h=H):
    """The stand-in's 8-bit test pattern of frame k."""
    return pattern(k, w, h)


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


# The simulated board's 3x5 font for the frame number, digits 0-9, rows from the top.
DIGITS = [0o75557, 0o26227, 0o71747, 0o71717, 0o55711, 0o74717, 0o74757, 0o71111, 0o75757, 0o75717]


def pattern(k, w, h, pixel_format="Mono8"):
    """The simulated board's test pattern of frame k for a camera file's PixelFormat, as a view
    of the image shows it: with p = (x + (k & 0xff) + y) & 0xff, Mono8 is p, MonoN (N > 8 bits)
    repeats p's high bits below it, RGB8 is (p, (x - r) & 0xff, 2r & 0xff) with r = (k & 0xff) + y
    and BGR8 its reverse; a black box at (s, s) holds k in white digits of s x s dots
    (s = max(1, min(w, h) // 48)); the first four bytes hold k, little-endian."""
    y, x = np.mgrid[0:h, 0:w]
    r = (k & 0xFF) + y
    p = (x + r) & 0xFF
    if pixel_format.startswith("Mono") and pixel_format != "Mono8":
        bits = int(pixel_format[4:])
        pixels = ((p << (bits - 8)) | (p >> (16 - bits))).astype(np.uint16)
        white = (1 << bits) - 1
    elif pixel_format in ("RGB8", "BGR8"):
        pixels = np.stack([p, (x - r) & 0xFF, (2 * r) & 0xFF], axis=-1).astype(np.uint8)
        pixels = pixels if pixel_format == "RGB8" else np.ascontiguousarray(pixels[..., ::-1])
        white = 255
    else:
        pixels, white = p.astype(np.uint8), 255
    s = max(1, min(w, h) // 48)
    number = str(k)
    pixels[s : 8 * s, s : (4 * len(number) + 2) * s] = 0
    for i, digit in enumerate(number):
        for dot in range(15):
            if DIGITS[int(digit)] >> (14 - dot) & 1:
                gy, gx = divmod(dot, 3)
                pixels[(2 + gy) * s : (3 + gy) * s, (2 + 4 * i + gx) * s : (3 + 4 * i + gx) * s] = (
                    white
                )
    pixels.view(np.uint8).reshape(-1)[:4] = np.frombuffer(np.uint32(k).tobytes(), np.uint8)
    return pixels


def run_child(code, cwd, timeout=60):
    """Runs `code` in a child interpreter with this one's packages, inside `cwd`, so that a crash
    or a hang fails one test and not the run. Gives the completed process."""
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        capture_output=True, text=True, timeout=timeout, cwd=cwd,
    )  # fmt: skip


def child_lines(code, cwd, timeout=60):
    """The lines a child interpreter printed; it must have ended normally."""
    out = run_child(code, cwd, timeout)
    assert out.returncode == 0, out.stdout + out.stderr
    return out.stdout.splitlines()
