"""Cameras captured in step (pyzol.sync): sets matched by trigger, gaps where a camera missed,
counters that add up, the trigger the script drives, the asyncio form, a board unplugged in the
middle of a run, and the refusals."""

import asyncio
import math

import pytest

import pyzol
from helpers import FORMAT_NAMES, camera, drawn, kept_frames, kept_triggers, needs_reader
from pyzol import sim

np = pytest.importorskip("numpy")

OUT = ("RM1600", 0, "out", 3)
TRIGGERED = dict(TriggerMode=1, ExternalTrigger=1, ExposureTime=100, Timeout=5000)
BOARDS = [("KX210", 0), ("KX310", 0), ("KX210", 1)]


@pytest.fixture
def rack(tmp_path):
    """An RM1600 and three cameras in trigger mode, each trigger input wired to its output 3;
    the cameras of index `slow` (a dict of index to settings) set up otherwise."""

    def make(slow=None):
        io = pyzol.open("RM1600", 0)
        cams = []
        for i, (kind, ident) in enumerate(BOARDS):
            settings = {**TRIGGERED, **(slow or {}).get(i, {})}
            path = camera(tmp_path, f"cam{i}.txt", **settings)
            cams.append(pyzol.open(kind, ident, camera=path))
            sim.wire(OUT, (kind, ident, "trigger", 0))
        return io, cams

    return make


def check_sets(sets, counters, n):
    """Sets 1..n in order, each frame its own trigger's with its own pixels; every camera's
    frames, missed and dropped add up to the triggers sent."""
    assert [s.trigger for s in sets] == list(range(1, n + 1)) and counters.triggers == n
    for s in sets:
        assert s.missed == tuple(i for i, f in enumerate(s.frames) if f is None)
        for f in s.frames:
            if f is not None:
                assert f.trigger == s.trigger
                np.testing.assert_array_equal(f.array, drawn(f.number))
    for i, cam in enumerate(counters.cameras):
        assert cam.frames == sum(s.frames[i] is not None for s in sets)
        assert cam.frames + cam.missed + cam.dropped == n


def test_cameras_on_one_output_give_one_complete_set_per_trigger(rack):
    io, cams = rack()
    with pyzol.sync(*cams, trigger=(io, 3), rate=250, count=200, ring=64) as group:
        sets = list(group)
    check_sets(sets, group.counters, 200)
    # No board missed a trigger; a set lacks a frame only where the host lost it (a loaded
    # machine can fall a ring behind).
    lost = sum(c.dropped for c in group.counters.cameras)
    assert all(c.missed == 0 for c in group.counters.cameras)
    assert sum(not s.complete for s in sets) <= lost
    assert all(s.sent_ns is not None for s in sets)
    # The boards exposed each trigger at one instant of the stand-in's clock.
    starts = {tuple(sim.frame_info(c.unit, k).start_ns for c in cams) for k in (0, 99, 199)}
    assert all(len(set(s)) == 1 for s in starts)
    assert io.outputs == 0 and not any(c.unit.is_running for c in cams)


@pytest.mark.parametrize(
    "slow",
    [
        pytest.param({1: dict(ExposureTime=3000)}, id="exposing"),  # 3 ms > the 2 ms period
        pytest.param({2: dict(TriggerMaskTime=2500)}, id="masked"),
    ],
)
def test_a_camera_that_misses_triggers_leaves_gaps_for_itself_only(rack, slow):
    io, cams = rack(slow)
    with pyzol.sync(*cams, trigger=(io, 3), rate=500, count=60, ring=64) as group:
        sets = list(group)
    check_sets(sets, group.counters, 60)
    (late,) = slow
    counts = group.counters.cameras
    # Only the late camera's board misses triggers (the others may lose a frame on the host).
    assert counts[late].missed > 0 and cams[late].triggers().missed == counts[late].missed
    assert all(c.missed == 0 for i, c in enumerate(counts) if i != late)
    assert sum(late in s.missed for s in sets) == counts[late].missed + counts[late].dropped


def test_a_trigger_the_script_drives(rack):
    io, cams = rack()
    sets = []
    with pyzol.sync(*cams) as group:
        for _ in range(5):  # each edge once the last one's frames are in: none comes mid-frame
            io.write(3, True)
            io.write(3, False)
            sets.append(next(group))
    check_sets(sets, group.counters, 5)
    assert all(s.sent_ns is None and s.complete for s in sets)


def test_the_asyncio_form(rack):
    io, cams = rack()

    async def main():
        async with pyzol.sync(*cams, trigger=(io, 3), rate=500, count=20) as group:
            return [s async for s in group], group.counters

    sets, counters = asyncio.run(main())
    check_sets(sets, counters, 20)


def test_a_board_unplugged_mid_run_ends_the_group_with_its_error(rack):
    io, cams = rack()
    with pytest.raises(pyzol.DeviceNotFound) as error:
        # A count, so that an unplugging the group failed to notice fails the test, not hangs it.
        with pyzol.sync(*cams, trigger=(io, 3), rate=500, count=1000) as group:
            for s in group:
                if s.trigger == 10:
                    sim.unplug("KX310", 0)
    assert error.value.__notes__[-1] == "from the group's KX310"
    sim.replug("KX310", 0)
    assert io.outputs == 0 and not cams[0].unit.is_running


def test_leaving_early_stops_pulses_and_cameras_and_frees_the_boards(rack):
    io, cams = rack()
    with pyzol.sync(*cams, trigger=(io, 3), rate=500) as group:
        for s in group:
            if s.trigger == 5:
                break
    sent = group.counters.triggers
    assert io.outputs == 0 and not any(c.unit.is_running for c in cams)
    with pyzol.sync(*cams, trigger=(io, 3), rate=500, count=3) as again:  # the boards again
        assert [s.trigger for s in again] == [1, 2, 3]
    assert group.counters.triggers == sent


def test_a_free_running_camera_is_refused_at_its_first_frame(tmp_path):
    cam = pyzol.open("KX210", 0, camera=camera(tmp_path, TriggerCycleTime=2000))
    with pytest.raises(ValueError, match="free-running"), pyzol.sync(cam) as group:
        next(group)


@pytest.mark.parametrize(
    "args, kwargs, error, text",
    [
        ((), {}, TypeError, "at least one camera"),
        (("cam", "cam"), {}, ValueError, "given twice"),
        (("io",), {}, TypeError, "camera 0 is IOBoard"),
        (("cam",), dict(trigger="io"), TypeError, r"\(io_board, bit\)"),
        (("cam",), dict(trigger=("cam", 3), rate=10), TypeError, "must be an I/O board"),
        (("cam",), dict(trigger=("io", 32), rate=10), ValueError, "0 to 31, not 32"),
        (("cam",), dict(trigger=("io", 3)), TypeError, "needs a rate"),
        (("cam",), dict(rate=10), TypeError, "give trigger="),
        (("cam",), dict(trigger=("io", 3), rate=0), ValueError, "positive"),
        (("cam",), dict(trigger=("io", 3), rate=math.nan), ValueError, "positive"),
        (("cam",), dict(trigger=("io", 3), rate=10, count=0), ValueError, "at least 1"),
    ],
)
def test_refusals_start_nothing(rack, args, kwargs, error, text):
    io, cams = rack()
    named = {"cam": cams[0], "io": io}
    args = [named[a] for a in args]
    if "trigger" in kwargs and isinstance(kwargs["trigger"], tuple):
        kwargs["trigger"] = (named[kwargs["trigger"][0]], kwargs["trigger"][1])
    elif "trigger" in kwargs:
        kwargs["trigger"] = named[kwargs["trigger"]]
    with sim.recording() as calls, pytest.raises(error, match=text):
        pyzol.sync(*args, **kwargs)
    assert not [c for c in calls if "Start(" in c or "Write(" in c]


@pytest.mark.parametrize("name", FORMAT_NAMES)
def test_a_group_recorded_into_a_file_per_camera_each_frame_with_its_trigger(rack, tmp_path, name):
    needs_reader(name)
    io, cams = rack({1: dict(ExposureTime=3000)})  # camera 1 misses every other trigger or so
    group = pyzol.sync(*cams, trigger=(io, 3), rate=500, count=40)
    with pyzol.record(group, tmp_path / name) as rec:
        pass  # leaving the block waits for the group's 40 triggers
    stem, _, suffix = name.partition(".")
    counters = group.counters
    assert rec.done and not any(c.unit.is_running for c in cams)
    for i in range(len(cams)):
        path = tmp_path / f"{stem}-{i}.{suffix}"
        stack, numbers = kept_frames(path)
        triggers = kept_triggers(path)
        assert len(numbers) == len(triggers) == rec.written[i] == counters.cameras[i].frames
        assert triggers == sorted(set(triggers)) and triggers[-1] <= 40
        np.testing.assert_array_equal(stack, np.stack([drawn(k) for k in numbers]))
    assert counters.cameras[1].missed > 0 and rec.written[1] < rec.written[0] == 40


def test_a_group_recording_that_cannot_open_its_files_starts_nothing(rack, tmp_path):
    io, cams = rack()
    group = pyzol.sync(*cams, trigger=(io, 3), rate=500, count=5)
    with pytest.raises(ValueError, match="3 cameras records into 3 files, not 2"):
        pyzol.record(group, [tmp_path / "a.tif", tmp_path / "b.tif"])
    (tmp_path / "run-2.zarr").mkdir()  # the third camera's store exists: refused
    with sim.recording() as calls, pytest.raises(FileExistsError):
        pyzol.record(group, tmp_path / "run.zarr")
    assert not [c for c in calls if "Start(" in c or "Write(" in c]
    assert sorted(p.name for p in tmp_path.iterdir() if "run" in p.name) == ["run-2.zarr"]
