"""Every benchmark target of pyzol, in one place.

How a benchmark joins the summary table (`python bench/summary.py`, or `python -m bench`):
a module `bench/bench_<name>.py` defines

    def summary(quick: bool = True) -> list[Row]

which measures in a short mode when `quick` (a few seconds) and returns one `Row` per figure.
`Row.key` names an entry of `TARGETS` below, which holds the measure's description, unit,
comparison and threshold; `Row.value` is the figure in that unit (None when it could not be
measured, the reason then in `reference`); `Row.reference` says what the figure was compared
with in the same run; `Row.case` tells rows of one key apart (a class, a direction, a pixel
format). summary.py imports every bench_*.py module that defines `summary` and prints all rows;
nothing else needs to change when a benchmark is added. A figure never fails the run: the
machines are shared and noisy, so ratios are taken within one run, best of several rounds.
"""

from __future__ import annotations

from typing import NamedTuple


class Target(NamedTuple):
    measure: str
    unit: str
    compare: str  # "<=" or ">="
    threshold: float

    def met(self, value: float) -> bool:
        return value <= self.threshold if self.compare == "<=" else value >= self.threshold

    def text(self) -> str:
        return f"{self.compare} {self.threshold:g}{self.unit_suffix()}"

    def unit_suffix(self) -> str:
        return self.unit if self.unit in ("%", "x") else f" {self.unit}"


class Row(NamedTuple):
    key: str  # an entry of TARGETS
    value: float | None  # in the target's unit; None: not measured (reference says why)
    reference: str = ""  # what the value was compared with, measured in the same run
    case: str = ""  # which of several rows of one measure


TARGETS: dict[str, Target] = {
    # bench_calls
    "import_unit": Target("import pyzol.unit, inside the interpreter", "ms", "<=", 5),
    "member_call": Target("member call against a bare pybind11 method", "x", "<=", 1.2),
    # bench_front_door
    "door_setting": Target(
        "setting read through board.settings[...] against get_param", "x", "<=", 1.3
    ),  # fmt: skip
    "door_frames": Target("frames through Camera.frames against pyzol.frames", "%", ">=", 95),
    # bench_params
    "by_name": Target("setting by name against the typed property", "x", "<=", 1.5),
    "name_matching": Target("by name: slowest name of a kind against the fastest", "x", "<=", 1.1),
    # bench_capture
    "lock_list": Target("lock(list of 10,000 CxImage), beyond lock([])", "ns/image", "<=", 5),
    "lock_list_subclass": Target(
        "lock(list of 10,000 CxImage subclass), beyond lock([])", "ns/image", "<=", 30
    ),
    # The cost per frame (CPU time of the acquisition thread, and of a thread copying frames into
    # a ring the same way): the rates, also shown, follow the machine's load.
    "capture": Target(
        "simulated capture 1920x1080, ring of 8, against a ring copy (CPU per frame)", "%", ">=", 80
    ),
    "thread_during_wait": Target(
        "CPU-bound thread while the main thread waits, against alone", "%", ">=", 80
    ),
    "capture_loop": Target(
        "wait-view-sum loop over 1920x1080 frames, against arrays in memory", "%", ">=", 80
    ),
    # bench_video
    "grab": Target("Video.grab 1920x1080, against a copy into the same image", "%", ">=", 80),
    "module_function": Target("unit.read(core.as_dio(b)) against b.read()", "x", "<=", 1.3),
    # bench_stream
    "frames": Target("pyzol.frames against the hand-written loop", "%", ">=", 90),
    # bench_companions (and member_call: an encoder property against its bare binding)
    "serial_read": Target("KX210Sio.read(1 MiB) against bytes(1 MiB).decode", "x", "<=", 2),
    # bench_ctrl_c
    "ctrl_c": Target("SIGINT to KeyboardInterrupt during a wait, worst", "ms", "<=", 100),
    # bench_record: 1920x1080 Mono8, against a plain write of the same bytes to the same folder
    "record_paced": Target(
        "frames dropped recording at 90% of the fsync-measured write rate", "frames", "<=", 0
    ),
    "record_cpu": Target(
        "recorder's CPU time per byte, against a plain copy and write", "x", "<=", 1.25
    ),
    "record_memory": Target(
        "resident memory a recording adds, against its pool and ring (and 16 MiB)", "%", "<=", 100
    ),
    # bench_sync: 3 cameras triggered together from one I/O output at 500 Hz for 10 s
    "sync_mixed": Target("frame sets holding frames of different triggers", "sets", "<=", 0),
    "sync_unaccounted": Target(
        "frames neither delivered, missed nor dropped, all cameras", "frames", "<=", 0
    ),
    "sync_latency": Target("trigger edge to the frame set in Python", "ms", "<=", 2),
    # bench_view: headless Chromium pages of the live view
    "view_capture": Target(
        "free-running 1920x1080 capture (200/s), two view pages open, against none", "%", ">=", 95
    ),
    "view_page_fps": Target("frames/s a view page shows, 640x480 Mono8", "frames/s", ">=", 25),
}
