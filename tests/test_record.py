"""pyzol.record and python -m pyzol record: the captured pixels and each frame's metadata read
back from the TIFF file, a full pool that drops instead of holding the capture, and a file left
whole and readable however the recording ends (an exception, Ctrl-C, stop, a full disk)."""

import errno
import io
import json
import os
import signal
import subprocess
import sys
import textwrap
import threading
import time

import pytest

import pyzol.boards
from helpers import (
    CAPTURE_BOARDS,
    FORMAT_NAMES,
    H,
    W,
    camera,
    drawn,
    kept_frames,
    needs_reader,
    until,
)
from pyzol import cli as job
from pyzol import frames, record, sim, unit
from pyzol._linked_last import LinkedLast

np = pytest.importorskip("numpy")
tifffile = pytest.importorskip("tifffile")

TRIGGERED = dict(TriggerMode=1, Timeout=60_000)  # a frame per force_trigger(): the test's pace
FREE = dict(TriggerCycleTime=0, ExposureTime=0, Timeout=60_000)  # one frame after another
PACED = dict(TriggerCycleTime=2000, Timeout=60_000)  # 500 frames/s


def pages(path, bigtiff=False):
    """The file's frames and the JSON description of each page, checking that every page is
    one uncompressed strip."""
    with tifffile.TiffFile(path) as tif:
        assert tif.is_bigtiff == bigtiff
        for page in tif.pages:
            assert page.compression == 1 and len(page.dataoffsets) == 1
        descriptions = [json.loads(page.description) for page in tif.pages]
    return tifffile.imread(path), descriptions


def check_kept(path, rec, fmt="Mono8", w=W, h=H):
    """The file holds the frames the recorder wrote, in order, each with its own pixels (a
    recording without a count is a BigTIFF file)."""
    stack, descriptions = pages(path, bigtiff=rec.count is None)
    numbers = [d["frame"] for d in descriptions]
    assert len(numbers) == rec.written == rec.progress.written > 0
    assert numbers == sorted(set(numbers))
    np.testing.assert_array_equal(
        stack.reshape(len(numbers), h, w, -1),
        np.stack([drawn(k, w, h, fmt) for k in numbers]).reshape(len(numbers), h, w, -1),
    )
    return numbers


def kept_whole(path, rec):
    """The frame numbers of a recording ended early: every frame it wrote is in the file, once,
    in order, each with its own pixels."""
    stack, numbers = kept_frames(path)
    assert len(numbers) == len(stack) == rec.written >= 3 and numbers == sorted(set(numbers))
    np.testing.assert_array_equal(stack, np.stack([drawn(k) for k in numbers]))
    return numbers


def reusable(board, triggered=False):
    assert not board.is_running
    with frames(board, 2, count=1) as stream:  # the recorder let go of the board
        if triggered:
            board.force_trigger()
        assert [f.number for f in stream] == [0]


@pytest.mark.parametrize(
    "kind, fmt",
    [
        ("KX210", "Mono8"),
        ("KX310", "Mono10"),
        ("TR520", "Mono12"),
        ("KX210", "Mono16"),
        ("KX310", "RGB8"),
        ("TR520", "BGR8"),
    ],
)
def test_a_recording_reads_back_with_the_captured_pixels_and_metadata(tmp_path, kind, fmt):
    cam = camera(tmp_path, PixelFormat=fmt, **TRIGGERED)
    board = getattr(unit, kind).from_file(cam)
    path = tmp_path / "run.tif"
    with record(board, path, count=5, ring=3, camera=cam) as rec:
        for k in range(5):
            board.force_trigger()
            until(lambda k=k: rec.written > k)
    stack, descriptions = pages(path)
    expected = np.stack([drawn(k, W, H, fmt) for k in range(5)])
    assert rec.done and rec.progress[:3] == (5, 0, expected.nbytes)
    if fmt == "BGR8":
        expected = expected[..., ::-1]  # stored in RGB order
    assert stack.dtype == expected.dtype
    np.testing.assert_array_equal(stack, expected)

    assert [d["frame"] for d in descriptions] == list(range(5))
    times = [d["time_ns"] for d in descriptions]
    assert times == sorted(times) and times[-1] <= time.monotonic_ns()
    record_type = type(board.query_status())
    for k, d in enumerate(descriptions):
        fields = [n for n, v in vars(record_type).items() if isinstance(v, property)]
        assert list(d["status"]) == fields
        assert d["status"]["total_frame_count"] >= k + 1
    run = descriptions[0]["run"]
    assert "run" not in descriptions[1]
    bits = 8 if fmt[-1] == "8" else int(fmt[4:])
    with tifffile.TiffFile(path) as tif:  # each page says its samples' range (Mono10: 0-1023)
        colour = fmt in ("RGB8", "BGR8")
        top = (2**bits - 1,) * 3 if colour else 2**bits - 1
        assert {(p.tags[280].value, p.tags[281].value) for p in tif.pages} == {
            ((0,) * 3 if colour else 0, top)
        }
    assert {k: run[k] for k in ("board", "id", "channel", "width", "height", "bits")} == dict(
        board=kind, id=0, channel=0, width=W, height=H, bits=bits
    )
    assert run["pixel_format"] == ("Mono16" if fmt.startswith("Mono1") else fmt)
    assert run["stored"] == ("RGB" if fmt in ("RGB8", "BGR8") else "gray")
    assert (run["ring"], run["count"], run["camera"]) == (3, 5, open(cam).read())
    assert f"PixelFormat={fmt}" in run["settings"].splitlines()
    reusable(board, triggered=True)


def test_a_full_pool_drops_and_counts_frames_instead_of_holding_the_capture(tmp_path, monkeypatch):
    board = unit.KX210.from_file(camera(tmp_path, **FREE))
    release = threading.Event()
    write = tifffile.TiffWriter.write

    def held(self, *args, **kwargs):
        release.wait(60)
        return write(self, *args, **kwargs)

    monkeypatch.setattr(tifffile.TiffWriter, "write", held)
    # A ring longer than the run: no frame is overwritten, every one reaches the pool.
    rec = record(board, tmp_path / "run.tif", count=30, ring=31, pool=2)
    until(lambda: rec.pool_full == 28)  # the capture went on while the writer was held
    assert rec.written == 0 and not rec.done
    release.set()
    rec.wait()
    assert (rec.written, rec.dropped, rec.pool_full, rec.missed, rec.overrun) == (2, 28, 28, 0, 0)
    assert check_kept(tmp_path / "run.tif", rec) == [0, 1]


def test_frames_copied_whole_are_not_counted_or_logged_as_overrun(tmp_path, caplog):
    board = unit.KX210.from_file(camera(tmp_path, w=640, h=480, **FREE))
    with caplog.at_level("WARNING", logger="pyzol"):
        rec = record(board, tmp_path / "run.tif", count=60, ring=2)
        rec.wait()
    # A board faster than the capture thread over a ring of 2 (frames are missed, mostly), but
    # a frame's copy is checked at once: the stream never sees one held on while the board came
    # back to its slot.
    assert rec._stream.overrun == 0
    assert not [r for r in caplog.records if "overrun" in r.getMessage()]
    check_kept(tmp_path / "run.tif", rec, w=640, h=480)


def _sigint_during_wait(rec):
    threading.Timer(0.2, os.kill, (os.getpid(), signal.SIGINT)).start()
    rec.wait()


@pytest.mark.parametrize("name", FORMAT_NAMES)
@pytest.mark.parametrize(
    "end",
    [
        pytest.param(lambda rec: {}[0], id="exception"),
        pytest.param(lambda rec: (_ for _ in ()).throw(KeyboardInterrupt), id="ctrl-c in block"),
        pytest.param(_sigint_during_wait, id="ctrl-c in wait"),
        pytest.param(lambda rec: rec.stop(), id="stop"),
    ],
)
def test_a_recording_ended_early_leaves_a_readable_file_and_a_reusable_board(tmp_path, end, name):
    needs_reader(name)
    board = unit.KX210.from_file(camera(tmp_path, **PACED))
    path = tmp_path / name
    try:
        with record(board, path, ring=16) as rec:
            until(lambda: rec.written >= 3)
            end(rec)
    except (KeyError, KeyboardInterrupt):
        pass
    assert rec.done
    numbers = kept_whole(path, rec)
    assert numbers[-1] + 1 <= rec.written + rec.dropped
    reusable(board)


@pytest.mark.parametrize("name", FORMAT_NAMES)
@pytest.mark.parametrize("kind", CAPTURE_BOARDS)
def test_a_board_unplugged_mid_recording_ends_it_with_no_device_and_a_whole_file(
    tmp_path, kind, name
):
    needs_reader(name)
    board = getattr(unit, kind).from_file(camera(tmp_path, **PACED))
    rec = record(board, tmp_path / name, ring=16)
    until(lambda: rec.written >= 3)
    sim.unplug(kind, 0)
    with pytest.raises(RuntimeError, match="^Code:5 "):
        rec.wait()
    assert rec.done
    kept_whole(tmp_path / name, rec)


@pytest.mark.parametrize("where", ["missing/run.tif", "."], ids=["no folder", "a folder"])
def test_a_path_that_cannot_be_written_is_refused_before_the_board_starts(tmp_path, where):
    board = unit.KX210.from_file(camera(tmp_path))
    with sim.recording() as calls, pytest.raises(OSError) as error:
        record(board, tmp_path / where, count=5)
    assert error.value.filename == str(tmp_path / where)
    assert not [c for c in calls if "Lock" in c or "Start" in c]
    reusable(board)


def test_a_board_that_refuses_to_start_leaves_no_file(tmp_path):
    board = unit.KX210.from_file(camera(tmp_path))
    sim.fail("CxKX210::Start", status=5)
    with pytest.raises(RuntimeError, match="^Code:5 "):
        record(board, tmp_path / "run.tif", count=5)
    assert not (tmp_path / "run.tif").exists()
    reusable(board)


def hold(kind, board, tmp_path):
    """A frame stream or a recording of 3 frames holding the triggered board, and its name."""
    if kind == "stream":
        stream = frames(board, 2, count=3).open()
        return stream, "an open frame stream (<Frames of KX210, ring of 2>)"
    path = tmp_path / "first.tif"
    return record(board, path, count=3, ring=2), f"a recording to '{path}'"


@pytest.mark.parametrize("second", ["stream", "recording"])
@pytest.mark.parametrize("first", ["stream", "recording"])
def test_a_board_held_by_a_stream_or_a_recording_refuses_a_second_one(tmp_path, first, second):
    board = unit.KX210.from_file(camera(tmp_path, **TRIGGERED))
    board.num = 7
    holder, name = hold(first, board, tmp_path)
    board.force_trigger()
    if first == "stream":  # the counted run ends; the stream is still open
        numbers = []
        for f in holder:
            numbers.append(f.number)
            if f.number < 2:
                board.force_trigger()
        assert numbers == [0, 1, 2]
    else:
        until(lambda: holder.written == 1)
    with sim.recording() as calls, pytest.raises(RuntimeError) as refused:
        if second == "stream":
            frames(board, 2, count=10).open()
        else:
            record(board, tmp_path / "second.tif", count=10)
    assert str(refused.value).startswith(f"this KX210 is held by {name}: a second stream on it ")
    assert not [c for c in calls if "Lock(" in c or "Start(" in c or "Num(" in c]
    assert not (tmp_path / "second.tif").exists()
    if first == "stream":  # no frame of another run
        assert list(holder) == [] and board.query_status().total_frame_count == 3
        holder.close()
    else:
        for k in (1, 2):
            board.force_trigger()
            until(lambda k=k: holder.written > k)
        holder.wait()
        assert check_kept(tmp_path / "first.tif", holder) == [0, 1, 2]
    assert board.num == 7
    reusable(board, triggered=True)


def test_a_copy_of_the_handle_captures_on_its_own_beside_a_stream(tmp_path):
    # The library keeps the ring, the count and the acquisition with each handle: a copy is
    # not held by the original's stream, and neither run touches the other's count.
    board = unit.KX210.from_file(camera(tmp_path, **TRIGGERED))
    copy = unit.KX210(board)
    with frames(board, 2, count=2) as stream, frames(copy, 2, count=1) as other:
        copy.force_trigger()
        assert [f.number for f in other] == [0]
        board.force_trigger()
        first = next(stream)
        board.force_trigger()
        assert (first.number, next(stream).number, first.intact) == (0, 1, True)


MEMORY_TABLE = [
    # frame, ring, pool, MiB available, the refusal
    ("4x4", 8, None, 200, None),  # the default pool: 65536 buffers of 16 bytes (65 MiB)
    ("640x480", 8, 1000, 200, "a pool of 1000 frame buffers of 640x480 Mono8 needs 294 MiB"),
    ("640x480", 1000, 10, 200, "a ring of 1000 images of 640x480 Mono8 needs 293 MiB"),
    ("640x480", 1000, 1000, 200, "a ring of 1000 images of 640x480 Mono8 needs 293 MiB and a "
     "pool of 1000 frame buffers of 640x480 Mono8 needs 294 MiB"),
    ("640x480", 400, 400, 200, "a ring of 400 images of 640x480 Mono8 (117 MiB) and a pool of "
     "400 frame buffers of 640x480 Mono8 (118 MiB) need 235 MiB together"),
]  # fmt: skip


@pytest.mark.parametrize("size, ring, pool, have, refused", MEMORY_TABLE)
def test_the_pool_is_bounded_and_ring_and_pool_must_fit_together(
    tmp_path, monkeypatch, size, ring, pool, have, refused
):
    w, h = map(int, size.split("x"))
    board = unit.KX210.from_file(camera(tmp_path, w=w, h=h, **FREE))
    monkeypatch.setattr(pyzol.boards, "available_memory", lambda: have * 2**20)
    path = tmp_path / "run.tif"
    if refused is None:
        with record(board, path, count=3, ring=ring, pool=pool) as rec:
            pass
        assert rec.pool == 65536 and pages(path)[1][0]["run"]["pool"] == 65536
        return
    with sim.recording() as calls, pytest.raises(ValueError) as error:
        record(board, path, count=3, ring=ring, pool=pool)
    assert str(error.value) == f"{refused}; the machine has {have} MiB available"
    assert not path.exists() and not [c for c in calls if "Lock(" in c or "Start(" in c]


@pytest.mark.parametrize("pool", [0, 2**20 + 1])
def test_a_pool_out_of_range_is_refused(tmp_path, pool):
    board = unit.KX210.from_file(camera(tmp_path))
    with pytest.raises(ValueError, match=f"^the pool takes 1 to 1048576 buffers, not {pool}$"):
        record(board, tmp_path / "run.tif", count=3, pool=pool)


FULL_DISK = """
import resource, signal, sys
import pyzol
from pyzol import unit

signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit fails with EFBIG
resource.setrlimit(resource.RLIMIT_FSIZE, (100_000, resource.RLIM_INFINITY))
board = unit.KX210.from_file(sys.argv[1])
with pyzol.record(board, sys.argv[2], count=200, ring=201, pool=200) as rec:
    try:
        rec.wait()
    except OSError as e:
        print(e.errno, rec.written, e, sep="\\n")
print(rec.done, rec.progress.written)
"""


@pytest.mark.parametrize("suffix", [".tif", ".ome.tif", ".h5"])
def test_a_full_disk_gives_one_error_and_keeps_the_frames_written(tmp_path, suffix):
    if suffix == ".h5":
        pytest.importorskip("h5py")
    path = tmp_path / f"run{suffix}"
    done = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(FULL_DISK), camera(tmp_path, **FREE), str(path)],
        capture_output=True,
        text=True,
        timeout=120,
    )
    assert done.stderr == ""
    code, written, message, final = done.stdout.splitlines()
    written = int(written)
    assert int(code) == errno.EFBIG and final == f"True {written}"
    assert message == (
        f"[Errno {errno.EFBIG}] {os.strerror(errno.EFBIG)} (the file keeps the {written} frames "
        f"written before): '{path}'"
    )
    assert path.stat().st_size <= 100_000
    if suffix == ".h5":
        import h5py

        # Its close could not write either: the file is left marked open for writing, which a
        # reader of a file written in SWMR mode expects (h5clear -s clears the mark).
        with h5py.File(path, "r", swmr=True) as f:
            stack, numbers = f["/entry/data/data"][()], list(f["/entry/data/frame"][()])
    else:
        stack, descriptions = pages(path)
        numbers = [d["frame"] for d in descriptions]
    assert numbers == list(range(written)) and written > 5
    np.testing.assert_array_equal(stack, np.stack([drawn(k, W, H) for k in range(written)]))


KILLED = """
import resource, signal, sys
import pyzol
from pyzol import _linked_last, unit

# A write that would pass the limit kills the process (SIGXFSZ, which Python ignores unless told
# otherwise): killed in the middle of a page.
signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
resource.setrlimit(resource.RLIMIT_FSIZE, (int(sys.argv[3]), resource.RLIM_INFINITY))
if sys.argv[4] == "plain":  # every write goes to the file at once, in tifffile's order
    _linked_last.LinkedLast._overwrites = lambda self, at, n: False
board = unit.KX210.from_file(sys.argv[1])
pyzol.record(board, sys.argv[2], count=200, ring=201, pool=200).wait()
"""


def killed(tmp_path, limit, writes):
    """The file of a recording killed by its first write past `limit` bytes."""
    path = tmp_path / "run.tif"
    argv = [sys.executable, "-c", textwrap.dedent(KILLED), camera(tmp_path, **FREE), str(path)]
    done = subprocess.run([*argv, str(limit), writes], capture_output=True, timeout=120)
    assert done.returncode == -signal.SIGXFSZ and path.stat().st_size <= limit
    return path


KILL_LIMITS = range(30_000, 34_000, 700)  # at several places in a page


@pytest.mark.parametrize("limit", KILL_LIMITS)
def test_a_process_killed_while_writing_leaves_every_linked_page_whole(tmp_path, limit, caplog):
    path = killed(tmp_path, limit, "linked last")
    with caplog.at_level("WARNING", logger="tifffile"):
        stack, descriptions = pages(path)
    assert not caplog.records  # nothing the reader had to make up for
    numbers = [d["frame"] for d in descriptions]
    assert numbers == list(range(len(numbers))) and len(numbers) >= 5
    np.testing.assert_array_equal(stack, np.stack([drawn(k, W, H) for k in numbers]))


@pytest.mark.parametrize("limit", KILL_LIMITS)
def test_the_same_kill_with_the_writes_in_tifffiles_order_leaves_a_page_linked_unwritten(
    tmp_path, limit, caplog
):
    # What the test above guards against: tifffile links a page before writing its bytes, so
    # written in that order the file links to a page that is not there (a directory of zeros
    # or past the end), which the checks above find.
    path = killed(tmp_path, limit, "plain")
    with caplog.at_level("WARNING", logger="tifffile"), tifffile.TiffFile(path) as tif:
        whole = [len(page.dataoffsets) == 1 and page.description != "" for page in tif.pages]
    assert caplog.records or not all(whole)


def linked_pages(path):
    """The pixels of each page the file links to, as a reader finds them."""
    with tifffile.TiffFile(path) as tif:
        return [page.asarray().tolist() for page in tif.pages]


@pytest.mark.parametrize("bigtiff", [False, True], ids=["classic", "BigTIFF"])
@pytest.mark.parametrize("contiguous", [False, True], ids=["pages", "one series"])
def test_tifffile_writing_through_linked_last_links_at_the_commits(tmp_path, bigtiff, contiguous):
    path = tmp_path / "run.tif"
    file = LinkedLast(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL), str(path))
    tif = tifffile.TiffWriter(file, bigtiff=bigtiff)
    file.commit()
    frames = [np.full((3, 4), k, np.uint8) for k in range(3)]
    expected = [f.tolist() for f in frames]
    for k, frame in enumerate(frames):
        tif.write(frame, contiguous=contiguous, metadata={} if contiguous else None)
        before = linked_pages(path)
        file.commit()
        # A page is linked at its commit; a series' later pages when tifffile closes it.
        linked = 1 if contiguous else k + 1
        assert (before, linked_pages(path)) == (expected[: min(k, linked)], expected[:linked])
    tif.close()  # a series: its directories written, their links and its shape held back
    assert linked_pages(path) == expected[: 1 if contiguous else 3]
    file.close()
    assert linked_pages(path) == expected
    np.testing.assert_array_equal(tifffile.imread(path), np.stack(frames))


@pytest.mark.parametrize("bigtiff", [False, True], ids=["classic", "BigTIFF"])
@pytest.mark.parametrize("shape", [(1, 1), (3, 5)], ids=["one byte", "pixels"])
def test_pixels_filled_into_an_empty_page_and_never_over_linked_bytes(tmp_path, bigtiff, shape):
    path = tmp_path / "run.tif"
    file = LinkedLast(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL), str(path))
    tif = tifffile.TiffWriter(file, bigtiff=bigtiff)
    file.commit()
    frames = [np.arange(k, k + shape[0] * shape[1], dtype=np.uint8).reshape(shape) for k in (1, 7)]
    for frame in frames:
        tif.write(None, shape=frame.shape, dtype=frame.dtype, metadata=None)
        file.fill_last(frame)
        file.commit()
    # Once committed, the last page's pixels are linked: filling them again is refused.
    with pytest.raises(ValueError, match="not an empty page's"):
        file.fill_last(np.zeros(shape, np.uint8))
    tif.close()
    file.close()
    np.testing.assert_array_equal(tifffile.imread(path), np.stack(frames))


AT_EXIT = """
import atexit, sys, time
import pyzol
from pyzol import sim, unit

kinds, (cam, folder, end) = ("KX210", "KX310", "TR520"), sys.argv[1:]
# Registered before pyzol's own exit hook, so run after it: were the recordings ended?
atexit.register(lambda: print(*[r.done for r in recordings]))
boards = [getattr(unit, kind).from_file(cam) for kind in kinds]
recordings = [pyzol.record(b, f"{folder}/{i}.tif", ring=16) for i, b in enumerate(boards)]
while min(r.written for r in recordings) < 3:
    time.sleep(0.01)
if end == "dispose":
    atexit.register(boards[1].dispose)  # the last thing before pyzol's exit hook
else:
    for kind in kinds:
        sim.fail(f"Cx{kind}::Abort", status=13)  # each recording's stop() fails
"""


@pytest.mark.parametrize("end", ["dispose", "stop fails"])
def test_the_exit_hook_ends_every_recording_whatever_one_of_them_raises(tmp_path, end):
    argv = [sys.executable, "-c", textwrap.dedent(AT_EXIT), camera(tmp_path, **PACED)]
    done = subprocess.run([*argv, str(tmp_path), end], capture_output=True, text=True, timeout=120)
    assert (done.returncode, done.stdout) == (0, "True True True\n")
    if end == "dispose":  # a board disposed before is an ended capture
        assert done.stderr == ""
    else:  # the first failure is told, once the others are ended
        assert done.stderr.count("Code:13 ") == 1 and "atexit" in done.stderr
    for i in range(3):
        stack, descriptions = pages(tmp_path / f"{i}.tif", bigtiff=True)
        numbers = [d["frame"] for d in descriptions]
        assert len(numbers) >= 3 and numbers == sorted(set(numbers))
        np.testing.assert_array_equal(stack, np.stack([drawn(k, W, H) for k in numbers]))


# ---- python -m pyzol record ----------------------------------------------------------------------


class Terminal(io.StringIO):
    def isatty(self):
        return True


@pytest.mark.parametrize("rate, cycle", [("0", 0), ("250", 4000)])
def test_the_record_job_writes_every_frame_and_sums_the_run_up(tmp_path, capsys, rate, cycle):
    path = tmp_path / "run.tif"
    argv = ["record", "--size", f"{W}x{H}", "--frames", "20", "--ring", "21", "-o", str(path)]
    assert job.main(argv + ["--rate", rate]) == 0
    out, err = capsys.readouterr()
    lines = out.splitlines()
    assert err == "" and lines[0] == f"KX210 0: {W}x{H} Mono8 (8 bits), 21 images"
    assert lines[1].startswith(f"recorded 20 frames to {path} in ")
    assert lines[2].split() == "written dropped pool full missed overrun MB frames/s MB/s".split()
    assert lines[4].split()[:6] == ["20", "0", "0", "0", "0", "0.1"]
    stack, descriptions = pages(path)
    assert [d["frame"] for d in descriptions] == list(range(20))
    assert f"TriggerCycleTime={cycle}" in descriptions[0]["run"]["settings"].splitlines()


@pytest.mark.parametrize("tqdm", [True, False])
def test_the_record_job_bar_shows_the_rate_and_the_drops(tmp_path, capsys, monkeypatch, tqdm):
    if tqdm:
        pytest.importorskip("tqdm")
    else:
        monkeypatch.setitem(sys.modules, "tqdm", None)  # import fails: no bar
    monkeypatch.setattr(sys, "stderr", Terminal())
    argv = ["record", "--size", f"{W}x{H}", "--frames", "5", "-o", str(tmp_path / "run.tif")]
    assert job.main(argv) == 0
    last = sys.stderr.getvalue().split("\r")[-1]
    if tqdm:
        assert " 5/5 [" in last and " MB/s, 0 dropped]" in last
    else:
        assert last == ""


@pytest.mark.parametrize(
    "signum, told",
    [(signal.SIGINT, "interrupted"), (signal.SIGTERM, "ended by SIGTERM"),
     (signal.SIGHUP, "ended by SIGHUP")],
    ids=["ctrl-c", "SIGTERM", "SIGHUP"],
)  # fmt: skip
def test_a_signal_ends_the_record_job_with_a_whole_file_and_its_summary(tmp_path, signum, told):
    path = tmp_path / "run.tif"
    argv = ["record", "--frames", "100000", "--size", f"{W}x{H}", "--rate", "200", "-o", str(path)]
    job = subprocess.Popen(
        [sys.executable, "-m", "pyzol", *argv],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        text=True,
    )
    try:
        until(lambda: path.exists() and path.stat().st_size > 20 * W * H, timeout=60)
        job.send_signal(signum)
        out, err = job.communicate(timeout=60)
    finally:
        job.kill()
    assert (job.returncode, err) == (128 + signum, f"pyzol: {told}\n")
    written = int(out.splitlines()[1].split()[1])  # recorded N frames to ...
    stack, descriptions = pages(path)
    numbers = [d["frame"] for d in descriptions]
    assert len(numbers) == written >= 10 and numbers == sorted(set(numbers))
    np.testing.assert_array_equal(stack[-1], drawn(numbers[-1], W, H))


@pytest.mark.parametrize(
    "argv, text",
    [
        (["-o", "{tmp}/missing/run.tif"], "cannot write '{tmp}/missing/run.tif': No such file"),
        (["--camera", "{tmp}/none.txt"], "cannot open KX210 0 from '{tmp}/none.txt': FileNotFound"),
        # A pool sized from an empty frame would be hundreds of millions of buffers.
        (["--camera", "{tmp}/empty.txt"], "KX210 is set up for 0x0 frames: nothing to record\n"),
    ],
)
def test_the_record_job_fails_with_one_line(tmp_path, capsys, argv, text):
    (tmp_path / "empty.txt").write_text("Width=0\nHeight=0\n")
    argv = [a.format(tmp=tmp_path) for a in argv]
    assert job.main(["record", "--frames", "3", "-o", str(tmp_path / "run.tif"), *argv]) == 1
    out, err = capsys.readouterr()
    assert err.startswith("pyzol: " + text.format(tmp=tmp_path)) and err.count("\n") == 1


@pytest.mark.parametrize("option", ["--rate=-1", "--rate=2e6", "--ring=1", "--pool=0"])
def test_the_record_job_refuses_bad_options(capsys, option):
    with pytest.raises(SystemExit) as stop:
        job.main(["record", option])
    assert stop.value.code == 2 and option.split("=")[0] in capsys.readouterr().err
