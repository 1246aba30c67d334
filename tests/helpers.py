"""Helpers shared by the test files."""

import pathlib
import re
import subprocess
import sys
import textwrap
import threading
import time

import numpy as np
import pytest

from pyzol import core, sim, unit

ROOT = pathlib.Path(__file__).resolve().parent.parent
W, H = 64, 48  # frame of the test cameras


CAPTURE_BOARDS = ("KX210", "KX310", "TR520")
# A recording's file (or store) in each format the recorder writes.
FORMAT_NAMES = ("run.tif", "run.ome.tif", "run.h5", "run.zarr")


def opened(name, ident=0, channel=0):
    """A board of class `name` opened on the simulated rack (a capture board on a channel)."""
    board = getattr(unit, name)()
    if name in CAPTURE_BOARDS:
        board.open(ident, channel)
    else:
        board.open(ident)
    return board


def module_error(status, function, line=r"\d+"):
    """Pattern of a module-raised error text of that status and function, any line and file.
    pytest matches the error's notes too, one a line after the text: the text ends at the first
    line end."""
    return rf"^Code:{status} Line:{line} Function:{re.escape(function)} File:\S+(?:\n|$)"


def camera(tmp_path, name="cam.txt", w=W, h=H, **settings):
    """A camera file of `Name=Value` lines; the frame is w x h."""
    settings = {"Width": w, "Height": h, **settings}
    path = tmp_path / name
    path.write_text("# test camera\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
    return str(path)


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


def drawn(k, w=W, h=H, pixel_format="Mono8"):
    """Frame k as a board with that PixelFormat in its camera file delivers it, drawn by the
    stand-in's own renderer, as a view of the image shows it."""
    layout = "Mono16" if pixel_format.startswith("Mono") and pixel_format != "Mono8" else None
    image = core.CxImage(w, h, getattr(core.ExPixelFormat, layout or pixel_format))
    sim.draw_test_frame(image, k, pixel_format)
    return np.array(image)


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


def until(condition, timeout=30.0):
    """Blocks until `condition()` is true; AssertionError after `timeout` seconds."""
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise AssertionError(f"not true within {timeout} s: {condition}")
        time.sleep(0.001)


def needs_reader(name):
    """Skips the test where the library that writes and reads the format of `name` is missing."""
    pytest.importorskip({"run.h5": "h5py", "run.zarr": "zarr"}.get(name, "tifffile"))


def kept_frames(path):
    """(frames, their numbers) that the file or store at `path` holds, read by its format's own
    reader."""
    name = path.name
    if name.endswith(".h5"):
        h5py = pytest.importorskip("h5py")
        with h5py.File(path, "r") as f:
            return f["/entry/data/data"][()], list(f["/entry/data/frame"][()])
    if name.endswith(".zarr"):
        zarr = pytest.importorskip("zarr")
        group = zarr.open_group(path, mode="r")
        return group["0"][()], list(group["pyzol/frame"][()])
    tifffile = pytest.importorskip("tifffile")
    import json

    with tifffile.TiffFile(path) as tif:
        assert tif.is_ome == name.endswith(".ome.tif")
        # An OME-TIFF's page 0 describes the file in OME-XML; every other page keeps its JSON.
        first = 0 if tif.is_ome else json.loads(tif.pages[0].description)["frame"]
        later = [json.loads(page.description)["frame"] for page in tif.pages[1:]]
        return tif.series[0].asarray(), [first, *later]


def kept_triggers(path):
    """The trigger number of each frame the file or store at `path` keeps."""
    name = path.name
    if name.endswith(".h5"):
        h5py = pytest.importorskip("h5py")
        with h5py.File(path, "r") as f:
            return list(f["/entry/data/trigger"][()])
    if name.endswith(".zarr"):
        zarr = pytest.importorskip("zarr")
        return list(zarr.open_group(path, mode="r")["pyzol/trigger"][()])
    tifffile = pytest.importorskip("tifffile")
    with tifffile.TiffFile(path) as tif:
        if name.endswith(".ome.tif"):
            ome_types = pytest.importorskip("ome_types")
            ome = ome_types.from_xml(tif.pages[0].description)
            (found,) = [m for m in ome.structured_annotations.map_annotations
                        if m.namespace == "pyzol/triggers"]  # fmt: skip
            return [int(e.value) for e in sorted(found.value.ms, key=lambda e: int(e.k))]
        import json

        return [json.loads(page.description)["trigger"] for page in tif.pages]
