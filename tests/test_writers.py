"""The recorder's writers: an HDF5 file read back with its exact pixels and metadata, and by
another process while it is being written; a writer object of the script's own, and what the
recorder tells it; a writer that fails."""

import errno
import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest

from helpers import (
    FORMAT_NAMES,
    H,
    W,
    camera,
    drawn,
    kept_frames,
    kept_triggers,
    needs_reader,
    until,
)
from pyzol import record, sim, unit
from pyzol.writers import FrameMeta, NullWriter, Run, writer_for

np = pytest.importorskip("numpy")

TRIGGERED = dict(TriggerMode=1, Timeout=60_000)


def triggered(rec, board, frames):
    for k in range(rec.written, rec.written + frames):
        board.force_trigger()
        until(lambda k=k: rec.written > k)


def recorded(tmp_path, kind, fmt, name, frames):
    """A board of `kind` set up for `fmt`, its recording of `frames` triggered frames to `name`
    (the camera file's text kept), and the frames as every writer stores them (RGB order):
    (board, path, camera file, frames)."""
    cam = camera(tmp_path, PixelFormat=fmt, **TRIGGERED)
    board = getattr(unit, kind).from_file(cam)
    path = tmp_path / name
    with record(board, path, count=frames, ring=3, camera=cam) as rec:
        triggered(rec, board, frames)
    expected = np.stack([drawn(k, W, H, fmt) for k in range(frames)])
    return board, path, cam, expected[..., ::-1] if fmt == "BGR8" else expected


@pytest.mark.parametrize(
    "kind, fmt", [("KX210", "Mono8"), ("KX310", "Mono12"), ("TR520", "RGB8"), ("KX210", "BGR8")]
)
def test_an_hdf5_recording_reads_back_with_its_pixels_and_metadata(tmp_path, kind, fmt):
    h5py = pytest.importorskip("h5py")
    board, path, cam, expected = recorded(tmp_path, kind, fmt, "run.h5", 4)
    with h5py.File(path, "r") as f:
        data = f["/entry/data/data"]
        assert data.chunks == (1, *expected.shape[1:]) and data.dtype == expected.dtype
        np.testing.assert_array_equal(data[()], expected)
        assert data.attrs["significant_bits"] == (12 if fmt == "Mono12" else 8)
        group = f["/entry/data"]
        assert list(group["frame"][()]) == [0, 1, 2, 3]
        times = list(group["time_ns"][()])
        assert times == sorted(times) and times[-1] <= time.monotonic_ns()
        fields = [n for n, v in vars(type(board.query_status())).items() if isinstance(v, property)]
        assert sorted(group["status"]) == sorted(fields)
        assert list(group["status/total_frame_count"][()]) == [1, 2, 3, 4]
        run = f["/entry"].attrs
        assert (run["board"], run["width"], run["height"], run["count"]) == (kind, W, H, 4)
        assert run["camera"] == open(cam).read()


READER = """
import sys, time
import h5py
with h5py.File(sys.argv[1], "r", swmr=True) as f:
    data, numbers = f["/entry/data/data"], f["/entry/data/frame"]
    data.refresh(); numbers.refresh()
    print(data.shape[0], int(numbers[data.shape[0] - 1]), int(data[data.shape[0] - 1][0, 4]))
"""


def test_another_process_reads_an_hdf5_recording_while_it_runs(tmp_path):
    pytest.importorskip("h5py")
    board = unit.KX210.from_file(camera(tmp_path, **TRIGGERED))
    path = tmp_path / "run.h5"
    with record(board, path, count=6, ring=3) as rec:
        seen = []
        for frames in (2, 3):
            triggered(rec, board, frames)
            out = subprocess.run([sys.executable, "-c", textwrap.dedent(READER), str(path)],
                                 capture_output=True, text=True, timeout=60)  # fmt: skip
            assert out.returncode == 0, out.stderr
            seen.append([int(x) for x in out.stdout.split()])
        assert not rec.done
        triggered(rec, board, 1)
    # Each time, every frame written so far, the last one's number and its pixels (byte 4 of
    # the first row is drawn from the frame's number).
    assert [s[:2] for s in seen] == [[2, 1], [5, 4]]
    assert [s[2] for s in seen] == [int(drawn(k)[0, 4]) for k in (1, 4)]


class Kept:
    """A writer of the script's own: keeps what the recorder hands it."""

    def __init__(self, fail_at=None):
        self.written, self.fail_at, self.calls, self.frames = 0, fail_at, [], []

    def open(self, run):
        self.calls.append("open")
        self.run = run

    def write(self, frame, meta):
        if self.written == self.fail_at:
            raise OSError(28, "No space left on device")
        self.frames.append((frame.copy(), meta))
        self.written += 1

    def close(self):
        self.calls.append("close")

    def fail(self):
        self.calls.append("fail")


@pytest.mark.parametrize("fail_at", [None, 2])
def test_a_writer_object_gets_the_run_and_each_frame_in_order(tmp_path, fail_at):
    board = unit.KX310.from_file(camera(tmp_path, **TRIGGERED))
    writer = Kept(fail_at)
    rec = record(board, writer, count=4, ring=3)
    assert rec.path == repr(writer)
    for k in range(3 if fail_at else 4):
        board.force_trigger()
        until(lambda k=k: rec.written > k or rec.done)
    if fail_at is None:
        rec.wait()
        assert writer.calls == ["open", "close"]
    else:
        with pytest.raises(OSError, match="the file keeps the 2 frames written before"):
            rec.wait()
        assert writer.calls == ["open", "fail"]
    run = writer.run
    assert isinstance(run, Run) and run.frames == 4 and run.record["board"] == "KX310"
    assert run.status_fields[:2] == ("total_frame_count", "amount_in_frame")
    assert [m.number for _, m in writer.frames] == list(range(len(writer.frames)))
    assert all(isinstance(m, FrameMeta) and set(m.status) == set(run.status_fields)
               for _, m in writer.frames)  # fmt: skip
    np.testing.assert_array_equal(writer.frames[1][0], drawn(1))
    assert os.listdir(tmp_path) == ["cam.txt"]  # the recorder made no file of its own


def test_the_null_writer_counts_and_writing_chooses_by_suffix(tmp_path):
    board = unit.KX210.from_file(camera(tmp_path, **TRIGGERED))
    with record(board, NullWriter(), count=3) as rec:
        triggered(rec, board, 3)
    assert rec.progress.written == 3 and os.listdir(tmp_path) == ["cam.txt"]
    assert type(writer_for("a.H5")).__name__ == "Hdf5Writer"
    assert type(writer_for("a.tiff")).__name__ == type(writer_for("a.dat")).__name__ == "TiffWriter"
    with pytest.raises(ValueError, match="bigtiff= is for TIFF files"):
        writer_for("a.h5", bigtiff=True)
    with pytest.raises(ValueError, match="bigtiff= is for the TIFF files the recorder makes"):
        record(board, NullWriter(), count=1, bigtiff=True)


@pytest.mark.parametrize(
    "kind, fmt", [("KX210", "Mono8"), ("KX310", "Mono10"), ("TR520", "RGB8"), ("KX210", "BGR8")]
)
def test_an_ome_tiff_recording_is_valid_ome_with_its_pixels_bits_and_planes(tmp_path, kind, fmt):
    tifffile = pytest.importorskip("tifffile")
    ome_types = pytest.importorskip("ome_types")
    pytest.importorskip("xmlschema")
    _, path, _, expected = recorded(tmp_path, kind, fmt, "run.ome.tif", 4)
    with tifffile.TiffFile(path) as tif:
        assert tif.is_ome and tif.series[0].axes == ("TYXS" if expected.ndim == 4 else "TYX")
        np.testing.assert_array_equal(tif.series[0].asarray(), expected)
        xml = tif.pages[0].description
    ome = ome_types.from_xml(xml, validate=True)  # against the OME schema
    pixels = ome.images[0].pixels
    assert (pixels.size_t, pixels.size_x, pixels.size_y) == (4, W, H)
    assert pixels.significant_bits == (10 if fmt == "Mono10" else 8)
    deltas = [plane.delta_t for plane in pixels.planes]
    assert deltas[0] == 0 and deltas == sorted(deltas) and len(deltas) == 4
    maps = {m.namespace: {e.k: e.value for e in m.value.ms}
            for m in ome.structured_annotations.map_annotations}  # fmt: skip
    assert maps["pyzol/frames"] == {str(i): str(i) for i in range(4)}
    assert maps["pyzol/run"]["board"] == kind and maps["pyzol/run"]["width"] == str(W)


@pytest.mark.parametrize("kind, fmt", [("KX210", "Mono16"), ("TR520", "BGR8")])
def test_an_ome_zarr_recording_reads_back_with_zarr_and_the_ome_zarr_reader(tmp_path, kind, fmt):
    zarr = pytest.importorskip("zarr")
    _, path, _, expected = recorded(tmp_path, kind, fmt, "run.zarr", 3)
    if fmt == "BGR8":
        expected = expected.transpose(0, 3, 1, 2)  # the channel before space
    group = zarr.open_group(path, mode="r")
    assert group["0"].chunks == (1, *expected.shape[1:]) and group["0"].compressors == ()
    np.testing.assert_array_equal(group["0"][()], expected)
    assert list(group["pyzol/frame"][()]) == [0, 1, 2]
    assert list(group["pyzol/status/total_frame_count"][()]) == [1, 2, 3]
    assert group.attrs["pyzol"]["run"]["board"] == kind
    reader = pytest.importorskip("ome_zarr.reader")
    io = pytest.importorskip("ome_zarr.io")
    node = next(iter(reader.Reader(io.parse_url(str(path)))()))
    axes = [a["name"] for a in node.metadata["axes"]]
    assert axes == (["t", "c", "y", "x"] if fmt == "BGR8" else ["t", "y", "x"])
    np.testing.assert_array_equal(np.asarray(node.data[0]), expected)


def test_an_existing_store_is_refused_before_the_board_starts(tmp_path, zol_journal):
    pytest.importorskip("zarr")
    (tmp_path / "run.zarr").mkdir()
    board = unit.KX210.from_file(camera(tmp_path, **TRIGGERED))
    with pytest.raises(FileExistsError, match="a folder is not overwritten"):
        record(board, tmp_path / "run.zarr", count=3)
    assert not [e for e in zol_journal.entries() if "::Start" in e]
    assert os.listdir(tmp_path / "run.zarr") == []


@pytest.mark.parametrize("name", FORMAT_NAMES)
def test_a_recording_whose_board_cannot_start_leaves_nothing(tmp_path, zol_rack, name):
    needs_reader(name)
    board = unit.KX210.from_file(camera(tmp_path, **TRIGGERED))
    zol_rack.fail("CxKX210::Start", status=7)
    with pytest.raises(RuntimeError, match="^Code:7 "):
        record(board, tmp_path / name, count=3)
    assert os.listdir(tmp_path) == ["cam.txt"]


@pytest.mark.parametrize("name", FORMAT_NAMES)
def test_a_board_closed_under_a_recording_leaves_every_format_whole(tmp_path, name):
    needs_reader(name)
    board = unit.KX210.from_file(camera(tmp_path, TriggerCycleTime=2000, Timeout=60_000))
    path = tmp_path / name
    rec = record(board, path, ring=16)
    until(lambda: rec.written >= 3)
    board.close()  # from the script, under the recording
    with pytest.raises(RuntimeError, match="^Code:6 "):  # the board's own error, once
        rec.wait()
    assert rec.done and rec.wait().written == rec.written
    stack, numbers = kept_frames(path)
    assert len(numbers) == len(stack) == rec.written >= 3 and numbers == sorted(set(numbers))
    np.testing.assert_array_equal(stack[-1], drawn(numbers[-1], W, H))


@pytest.mark.parametrize("name", ["run.ome.tif", "run.h5", "run.zarr"])
def test_sigterm_ends_the_record_job_with_every_format_whole(tmp_path, name):
    needs_reader(name)
    path = tmp_path / name
    argv = ["record", "--frames", "100000", "--size", f"{W}x{H}", "--rate", "200", "-o", str(path)]
    job = subprocess.Popen([sys.executable, "-m", "pyzol", *argv], stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, text=True)  # fmt: skip
    try:
        until(lambda: path.exists(), timeout=60)
        time.sleep(0.5)  # some frames in
        job.send_signal(signal.SIGTERM)
        out, err = job.communicate(timeout=60)
    finally:
        job.kill()
    assert (job.returncode, err) == (128 + 15, "pyzol: ended by SIGTERM\n")
    written = int(out.splitlines()[1].split()[1])  # recorded N frames to ...
    stack, numbers = kept_frames(path)
    assert len(numbers) == len(stack) == written >= 10 and numbers == sorted(set(numbers))
    np.testing.assert_array_equal(stack[-1], drawn(numbers[-1], W, H))


def test_a_full_disk_under_an_ome_zarr_recording_keeps_the_frames_stored(tmp_path, monkeypatch):
    zarr = pytest.importorskip("zarr")
    put, stored = zarr.storage.LocalStore.set, []

    async def set_or_full(self, key, value):  # the disk fills up after five frames' chunks
        if key.startswith("0/c/"):
            if len(stored) == 5:
                raise OSError(errno.ENOSPC, os.strerror(errno.ENOSPC))
            stored.append(key)
        await put(self, key, value)

    monkeypatch.setattr(zarr.storage.LocalStore, "set", set_or_full)
    board = unit.KX210.from_file(camera(tmp_path, TriggerCycleTime=0, Timeout=60_000))
    path = tmp_path / "run.zarr"
    with pytest.raises(OSError) as error:
        record(board, path, count=50, ring=16).wait()
    assert (error.value.errno, error.value.filename) == (errno.ENOSPC, str(path))
    assert "(the file keeps the 5 frames written before)" in str(error.value)
    stack, numbers = kept_frames(path)  # cut to the frames stored, their columns with them
    assert len(numbers) == 5 and numbers == sorted(set(numbers))
    np.testing.assert_array_equal(stack, np.stack([drawn(k) for k in numbers]))


@pytest.mark.parametrize("name", FORMAT_NAMES)
def test_every_format_keeps_each_frames_trigger_number_with_the_gap_of_a_missed_one(tmp_path, name):
    needs_reader(name)
    io = unit.RM1600()
    io.open(0)
    sim.wire(("RM1600", 0, "out", 3), ("KX210", 0, "trigger", 0))
    board = unit.KX210.from_file(camera(tmp_path, TriggerMode=1, ExternalTrigger=1,
                                        ExposureTime=50_000, Timeout=60_000))  # fmt: skip
    path = tmp_path / name
    with record(board, path, count=3, ring=4) as rec:
        for edges, frames in [(1, 1), (2, 2), (1, 3)]:  # the second edge of two comes mid-frame
            for _ in range(edges):
                io.write(3, True)
                io.write(3, False)
            until(lambda frames=frames: rec.written == frames)
    assert kept_triggers(path) == [1, 2, 4]
    assert sim.triggers(board).missed == 1
