"""Capture boards KX210, KX310 and TR520: members and overloads, image lists, real captures into
locked images, keeping locked images alive, waits that let other threads run, and faults."""

import ctypes
import gc
import re
import time
import weakref

import numpy as np
import pytest

from helpers import Background, H, W, camera, drawn, observed_members
from pyzol import core, sim, unit

BOARDS = ["KX210", "KX310", "TR520"]
CAST_ERROR = (
    r"^Unable to cast Python instance of type <class '[\w.]+'> to C\+\+ type '\?' "
    r"\(#define PYBIND11_DETAILED_ERROR_MESSAGES or compile in debug mode for details\)$"
)


def wait_for_entry(entry, timeout=5.0):
    """Blocks until the journal (on inside `sim.recording()`) shows `entry`, a call of board 0
    channel 0, and that call's thread is really waiting inside the library."""
    kind = entry.split("::")[0].removeprefix("Cx")
    end = time.monotonic() + timeout
    while entry not in sim.journal() or sim.capture_waiters(kind, 0, 0) == 0:
        assert time.monotonic() < end, f"{entry} never waited"
        time.sleep(0.001)


@pytest.fixture
def path(tmp_path):
    return camera(tmp_path)


@pytest.fixture(params=BOARDS)
def kind(request):
    return request.param


# ---- registration ----------------------------------------------------------------------------

# Every member in registration order; positional parameters show as argN.
COMMON_HEAD = [
    "__init__()",
    "__init__(arg0)",
    "__eq__(arg0)",
    "__ne__(arg0)",
    "dispose()",
    "is_valid",
    "open(arg0, arg1)",
    "close()",
]
FILE_MEMBERS = ["save(arg0)", "save_w(arg0)", "is_opened", "validate(arg0)", "validate(arg0)"]
CONTROL = ["unlock()", "start()", "stop()", "abort()", "wait()", "is_running"]
LOCKS = ["lock(image, option=0)", "lock(images, option=0)"]
TAIL = ["num=", "lock_id="]
WITH_OPTION = ["from_file(camerafile, option=-1)"] * 2 + [
    "from_file(camerafile, id, ch, option=-1)"
] * 2
MEMBERS = {
    "KX210": WITH_OPTION
    + COMMON_HEAD
    + ["setup(camerafile, option=-1)"] * 2
    + FILE_MEMBERS
    + LOCKS
    + CONTROL
    + ["status()", "wait_status()", "query_status()", "query_status(arg0)", "wait_status(arg0)"]
    + ["force_trigger()", "abort(arg0)"]
    + TAIL,
    "KX310": WITH_OPTION
    + COMMON_HEAD
    + ["setup(camerafile, option=-1)"] * 2
    + FILE_MEMBERS
    + ["validate(arg0)"]
    + LOCKS
    + ["lock(image, option=0)"]
    + CONTROL
    + ["query_status()", "query_status(result)", "wait_status()"]
    + [
        "wait_status(result, timeout=5000)",
        "status()",
        "wait(arg0)",
        "wait_event(arg0, arg1, arg2)",
    ]
    + ["cancel_wait_event(arg0)", "force_trigger(ch=-1)", "stop_pg(ch=-1)", "reset_pg(ch=-1)"]
    + ["clear_trigger_mask(ch=-1)", "pll_reconfig()"]
    + TAIL,
    "TR520": ["from_file(camerafile)"] * 2
    + ["from_file(camerafile, id, ch)"] * 2
    + COMMON_HEAD
    + ["setup(arg0)"] * 2
    + FILE_MEMBERS
    + LOCKS
    + CONTROL
    + ["status()", "query_status()", "query_status(arg0)", "wait_status()", "wait_status(arg0)"]
    + ["force_trigger()", "abort(arg0)"]
    + TAIL,
}


@pytest.mark.parametrize("name", BOARDS)
def test_members_overloads_and_keywords_in_registration_order(name):
    expected = {}
    for entry in MEMBERS[name]:
        expected.setdefault(re.match(r"\w+", entry).group(), []).append(entry)
    observed = dict(observed_members(getattr(unit, name)))
    # __init__ is in the class dict from the class's creation on: only its overloads show.
    assert observed.pop("__init__") == expected.pop("__init__")
    assert list(observed.items()) == list(expected.items())


# ---- overload selection, through the journal -------------------------------------------------


@pytest.fixture
def rig(tmp_path):
    """Three boards from one camera file, two images, a KX310 record and a module to lock."""
    path = camera(tmp_path)
    boards = {k: getattr(unit, k).from_file(path, 0, 1) for k in BOARDS}
    source = unit.KX210.from_file(path, 1, 0)  # KX210#2
    return dict(
        path=path,
        img1=core.CxImage(W, H),  # img#1
        img2=core.CxImage(W, H),  # img#2
        rec=unit.TxKX310CaptureStatus(),
        module=core.as_module(source),
        **boards,
    )


@pytest.mark.parametrize(
    "call, entry",
    [
        (lambda r: unit.KX210.from_file(r["path"]), 'CxKX210::FromFile("{path}", -1)'),
        (
            lambda r: unit.KX210.from_file(r["path"], 0, 1),
            'CxKX210::FromFile("{path}", 0, 1, -1)',
        ),
        (
            lambda r: unit.KX310.from_file(camerafile=r["path"], ch=1, id=2, option=3),
            'CxKX310::FromFile("{path}", 2, 1, 3)',
        ),
        (lambda r: unit.TR520.from_file(r["path"]), 'CxTR520::FromFile("{path}")'),
        (lambda r: unit.TR520.from_file(r["path"], 0, 1), 'CxTR520::FromFile("{path}", 0, 1)'),
        (lambda r: r["KX210"].setup(r["path"]), 'CxKX210::Setup("{path}", -1)'),
        (lambda r: r["KX310"].setup(camerafile=r["path"], option=0), 'CxKX310::Setup("{path}", 0)'),
        (lambda r: r["TR520"].setup(r["path"]), 'CxTR520::Setup("{path}")'),
        (
            lambda r: r["KX210"].lock([r["img1"], None, r["img2"]], 3),
            "CxKX210::Lock([img#1, null, img#2], 3, 3)",
        ),
        (lambda r: r["KX210"].lock(images=[r["img1"]], option=1), "CxKX210::Lock([img#1], 1, 1)"),
        (lambda r: r["TR520"].lock(r["img1"], option=1), "CxTR520::Lock(img#1, 1)"),
        (lambda r: r["KX310"].lock([]), "CxKX310::Lock([], 0, 0)"),
        (lambda r: r["KX310"].lock(r["module"]), "CxKX310::Lock(CxKX210#2, 0)"),
        (lambda r: r["KX210"].validate([]), "CxKX210::Validate([], 0)"),
        (lambda r: r["KX310"].validate([None, r["img2"]]), "CxKX310::Validate([null, img#2], 2)"),
        (lambda r: r["KX210"].query_status(4294967295), "CxKX210::QueryStatus(4294967295)"),
        (lambda r: r["TR520"].abort(7), "CxTR520::Abort(7)"),
        (lambda r: r["KX310"].query_status(r["rec"]), "CxKX310::QueryStatus(out)"),
        (lambda r: r["KX310"].wait_status(r["rec"]), "CxKX310::WaitStatus(out, 5000)"),
        (lambda r: r["KX310"].wait_status(r["rec"], timeout=0), "CxKX310::WaitStatus(out, 0)"),
        (lambda r: r["KX310"].wait(0), "CxKX310::Wait(0)"),
        (lambda r: r["KX310"].wait_event(1, 2, 7), "CxKX310::WaitEvent(1, 2, &7)"),
        (lambda r: r["KX310"].force_trigger(), "CxKX310::ForceTrigger(-1)"),
        (lambda r: r["KX310"].stop_pg(ch=1), "CxKX310::StopPG(1)"),
        (lambda r: r["KX210"] == unit.KX210(r["KX210"]), "CxKX210::operator==(CxKX210#3)"),
    ],
)
def test_overloads_reach_the_right_operation(rig, call, entry):
    with sim.recording() as calls:
        call(rig)
    assert calls == [entry.format(path=rig["path"])]


@pytest.mark.parametrize(
    "call, entry",
    [
        (lambda r: r["KX310"].lock(None), "CxKX310::Lock(null, 0)"),
        (lambda r: r["KX310"].validate(None), "CxKX310::Validate(null)"),
        (lambda r: r["KX310"].query_status(None), "CxKX310::QueryStatus(null)"),
        (lambda r: r["KX310"].wait_status(None, 10), "CxKX310::WaitStatus(null, 10)"),
        (lambda r: r["KX210"].save(None), "CxKX210::Save(null)"),
    ],
)
def test_none_passes_a_null_pointer(rig, call, entry):
    with sim.recording() as calls, pytest.raises(RuntimeError, match=r"^Code:3 "):
        call(rig)
    assert calls == [entry]


@pytest.mark.parametrize(
    "call",
    [
        lambda r: r["KX210"].lock((r["img1"],)),
        lambda r: r["KX210"].lock(r["module"]),
        lambda r: r["KX310"].lock(r["KX210"]),
        lambda r: r["KX310"].lock(r["img1"], options=1),
        lambda r: r["KX210"].open(id=0, ch=0),
        lambda r: r["TR520"].setup(camerafile=r["path"]),
        lambda r: r["TR520"].setup(r["path"], -1),
        lambda r: unit.TR520.from_file(r["path"], option=0),
        lambda r: r["KX210"].force_trigger(0),
        lambda r: r["KX310"].wait_event(1, 2, value=7),
    ],
)
def test_bad_arguments_raise_type_error_and_call_nothing(rig, call):
    with sim.recording() as calls, pytest.raises(TypeError):
        call(rig)
    assert calls == []


@pytest.mark.parametrize("bad", [1, "img", None.__class__, unit.TxKX210CaptureStatus()])
@pytest.mark.parametrize("member", ["lock", "validate"])
def test_list_item_that_is_no_image_is_the_cast_error(rig, kind, member, bad):
    board = rig[kind]
    with sim.recording() as calls, pytest.raises(RuntimeError, match=CAST_ERROR):
        getattr(board, member)([rig["img1"], None, bad, rig["img2"]])
    assert calls == []


def test_list_may_hold_image_subclasses(rig):
    class Tagged(core.CxImage):
        pass

    with sim.recording() as calls:
        rig["KX210"].lock([Tagged(W, H), rig["img1"]])
    assert calls == ["CxKX210::Lock([img#3, img#1], 2, 0)"]


def test_list_longer_than_an_int_count_is_refused(rig):
    # A list whose size field claims 2**31 items: refused before any item is read.
    images = [rig["img1"]]
    size = ctypes.c_ssize_t.from_address(id(images) + 2 * ctypes.sizeof(ctypes.c_void_p))
    assert size.value == 1
    size.value = 2**31
    try:
        with sim.recording() as calls, pytest.raises(OverflowError, match="2147483648 images"):
            rig["KX210"].lock(images)
    finally:
        size.value = 1
    assert calls == []


# ---- captures ----------------------------------------------------------------------------------


@pytest.mark.parametrize("n, frames", [(1, 1), (3, 5), (4, 4)])
def test_capture_writes_every_frame_into_the_ring(tmp_path, kind, n, frames):
    board = getattr(unit, kind).from_file(camera(tmp_path, TriggerCycleTime=2000))
    images = [core.CxImage(W, H) for _ in range(n)]
    board.lock(images)
    board.num = frames
    board.start()
    assert board.is_running or board.status() != 0
    board.wait()
    assert not board.is_running
    for slot, image in enumerate(images):
        last = max(k for k in range(frames) if k % n == slot) if slot < frames else None
        if last is None:
            assert not np.asarray(image).any()
        else:
            np.testing.assert_array_equal(np.asarray(image), drawn(last))
    record = board.wait_status()
    fields = (record.total_frame_count, record.last_frame_no, record.line_count)
    assert fields == (frames, frames - 1, H)
    assert record.amount_in_frame == W * H
    queried = board.query_status()
    board.close()
    assert not board.is_opened
    assert (record.total_frame_count, queried.total_frame_count) == (frames, frames)
    assert record == queried


def test_kx310_fills_the_callers_record(tmp_path):
    board = unit.KX310.from_file(camera(tmp_path))
    board.lock([core.CxImage(W, H)])
    board.num = 3
    board.start()
    rec = unit.TxKX310CaptureStatus()
    assert board.wait_status(rec, 5000) is True
    assert (rec.total_frame_count, rec.last_frame_no, rec.capture_state) == (3, 2, 2)
    later = unit.TxKX310CaptureStatus()
    board.query_status(later)
    assert later == rec


def test_wait_status_of_a_frame_returns_once_that_frame_is_in(tmp_path):
    board = unit.KX210.from_file(camera(tmp_path))
    board.lock([core.CxImage(W, H)])
    board.num = 0  # free-running
    board.start()
    try:
        record = board.wait_status(2)
        assert record.total_frame_count >= 3
        assert board.is_running
    finally:
        board.stop()
    assert board.query_status(1_000_000).amount_in_frame == 0  # not captured


def test_triggered_mode_captures_one_frame_per_trigger(tmp_path):
    board = unit.KX310.from_file(camera(tmp_path, TriggerMode=1, Timeout=2000))
    image = core.CxImage(W, H)
    board.lock(image)
    board.num = 2
    board.start()
    assert board.wait(50) is False  # nothing without a trigger
    with sim.recording():
        waiter = Background(lambda: board.wait_event(1, 2000, 0))
        wait_for_entry("CxKX310::WaitEvent(1, 2000, &0)")
        board.force_trigger()
        waiter.join(5)
    assert waiter.result is True
    assert board.query_status().total_frame_count == 1
    board.force_trigger(ch=1)  # this board is channel 0: no frame
    board.force_trigger(ch=0)
    assert board.wait(2000) is True
    np.testing.assert_array_equal(np.asarray(image), drawn(1))


def test_a_board_captures_into_another_modules_images(tmp_path):
    path = camera(tmp_path)
    target = unit.KX210.from_file(path, 1, 0)
    images = [core.CxImage(W, H), core.CxImage(W, H)]
    target.lock(images)
    board = unit.KX310.from_file(path)
    board.validate(core.as_module(target))
    board.lock(core.as_module(target))
    board.num = 2
    board.start()
    board.wait()
    for k in range(2):
        np.testing.assert_array_equal(np.asarray(images[k]), drawn(k))


@pytest.mark.parametrize(
    "status, call",
    [
        (10, lambda b, p: type(b).from_file(p + ".missing")),
        (6, lambda b, p: type(b)().start()),
        (16, lambda b, p: b.start()),
        (17, lambda b, p: b.validate(core.CxImage(W - 1, H))),
        (17, lambda b, p: (b.lock([core.CxImage(W, H - 1)]), b.start())),
        (9, lambda b, p: (b.dispose(), b.start())),
        (5, lambda b, p: b.open(4, 0)),
    ],
)
def test_library_refusals_keep_their_status(path, kind, status, call):
    board = getattr(unit, kind).from_file(path)
    with pytest.raises(RuntimeError, match=rf"^Code:{status} Line:\d+ Function:\w+ File:"):
        call(board, path)


def test_wait_times_out_after_the_timeout_setting(tmp_path, kind):
    board = getattr(unit, kind).from_file(camera(tmp_path, Timeout=30))
    board.lock([core.CxImage(W, H)])
    board.num = 0
    board.start()
    try:
        with pytest.raises(RuntimeError, match=r"^Code:8 .*Function:Wait "):
            board.wait()
        with pytest.raises(RuntimeError, match=r"^Code:8 .*Function:WaitStatus "):
            board.wait_status()
    finally:
        board.abort()


# Names whose characters take 2, 3 and 4 bytes in UTF-8: the wide path's conversion of each.
@pytest.mark.parametrize("name", ["saved é.txt", "saved €.txt", "saved 😀.txt"])
@pytest.mark.parametrize("save", ["save", "save_w"])
def test_save_writes_what_from_file_reads_back(tmp_path, kind, save, name):
    board = getattr(unit, kind).from_file(camera(tmp_path, Width=320, Height=200))
    out = str(tmp_path / name)
    getattr(board, save)(out)
    again = getattr(unit, kind).from_file(out, 0, 1)
    narrow = [core.CxImage(319, 200)]
    with pytest.raises(RuntimeError, match=r"^Code:17 "):  # the saved frame is 320 wide
        again.lock(narrow)
    again.setup(camera(tmp_path, "small.txt", Width=8, Height=8))
    again.lock(narrow)
    again.start()
    again.wait()


def test_copies_compare_by_board_and_are_unhashable(path, kind):
    cls = getattr(unit, kind)
    board = cls.from_file(path)
    copy = cls(board)
    assert copy == board and copy.is_opened
    other = cls.from_file(path, 0, 1)
    assert board != other and (board == other) is False
    assert (board == 5) is False and (board != 5) is True
    with pytest.raises(TypeError):
        hash(board)
    assert cls().is_opened is False


# ---- images stay alive while a board uses them ---------------------------------------------


@pytest.mark.parametrize("how", ["single", "list", "list locked again"])
def test_locked_images_outlive_every_other_reference(no_leaks, tmp_path, kind, how):
    board = getattr(unit, kind).from_file(camera(tmp_path))
    images = [core.CxImage(W, H) for _ in range(1 if how == "single" else 3)]
    board.lock(images[0] if how == "single" else images)
    if how == "list locked again":
        board.lock(images)  # the same items: the board keeps holding them
    watch = [weakref.ref(i) for i in images]
    images.clear()  # the caller's list no longer refers to them
    del images
    gc.collect()
    board.num = 3
    board.start()
    board.wait()
    alive = [w() for w in watch]
    assert all(i is not None for i in alive)
    for slot in range(len(alive)):
        np.testing.assert_array_equal(np.asarray(alive[slot]), drawn(3 - len(alive) + slot))
    del alive
    board.unlock()
    gc.collect()
    assert [w() for w in watch] == [None] * len(watch)


def test_module_lock_keeps_the_source_board_and_its_images_alive(tmp_path):
    path = camera(tmp_path)
    source = unit.KX210.from_file(path, 2, 0)
    source.lock([core.CxImage(W, H)])
    watch = weakref.ref(source)
    board = unit.KX310.from_file(path)
    board.lock(core.as_module(source))
    del source
    gc.collect()
    assert watch() is not None
    board.num = 1
    board.start()
    board.wait()
    board.unlock()
    gc.collect()
    assert watch() is None


@pytest.mark.parametrize(
    "op, release",
    [
        ("Unlock", lambda b: b.unlock()),
        ("Close", lambda b: b.close()),
        ("Dispose", lambda b: b.dispose()),
        ("Lock", lambda b: b.lock([core.CxImage(W, H)])),
        ("Lock", lambda b: b.lock(core.CxImage(W, H))),
    ],
)
def test_images_are_let_go_only_after_the_library_let_go(path, kind, op, release):
    board = getattr(unit, kind).from_file(path)
    image = core.CxImage(W, H)
    board.lock([image])
    watch = weakref.ref(image)
    del image
    sim.fail(f"Cx{kind}::{op}", status=7)
    with pytest.raises(RuntimeError, match=r"^Code:7 "):
        release(board)
    gc.collect()
    assert watch() is not None
    release(board)
    gc.collect()
    assert watch() is None


def test_images_are_let_go_when_the_board_goes(no_leaks, path, kind):
    board = getattr(unit, kind).from_file(path)
    board.lock([core.CxImage(W, H)])
    board.num = 0
    board.start()
    gc.collect()
    watch = weakref.ref(board)
    del board
    gc.collect()
    assert watch() is None


# ---- waits let other threads run -------------------------------------------------------------


def running(kind, tmp_path):
    board = getattr(unit, kind).from_file(camera(tmp_path, Timeout=60_000))
    board.lock([core.CxImage(W, H)])
    board.num = 0  # until stopped
    board.start()
    return board


WAITS = [
    (kind, name, call)
    for kind in BOARDS
    for name, call in [
        ("Wait()", lambda b: b.wait()),
        ("WaitStatus()", lambda b: b.wait_status()),
    ]
] + [
    ("KX210", "WaitStatus(4000000000)", lambda b: b.wait_status(4_000_000_000)),
    ("TR520", "WaitStatus(4000000000)", lambda b: b.wait_status(4_000_000_000)),
    ("KX310", "Wait(60000)", lambda b: b.wait(60_000)),
    (
        "KX310",
        "WaitStatus(out, 60000)",
        lambda b: b.wait_status(unit.TxKX310CaptureStatus(), 60_000),
    ),
]


@pytest.mark.parametrize("kind, entry, call", WAITS)
def test_abort_from_another_thread_ends_a_wait_promptly(tmp_path, kind, entry, call):
    board = running(kind, tmp_path)
    ticks = 0
    with sim.recording():
        waiter = Background(lambda: call(board))
        wait_for_entry(f"Cx{kind}::{entry}")
        # This thread runs while the other one waits.
        end = time.monotonic() + 0.05
        while time.monotonic() < end:
            ticks += 1
        started = time.monotonic()
        board.abort()
        waiter.join(5)
    assert not waiter.is_alive() and waiter.error is None
    assert time.monotonic() - started < 1.0
    assert ticks > 1000
    assert board.status() == 3  # aborted


def test_kx310_record_is_written_back_after_the_wait(tmp_path):
    board = running("KX310", tmp_path)
    rec = unit.TxKX310CaptureStatus(9, 9, 9, 9, 9)
    with sim.recording():
        waiter = Background(lambda: board.wait_status(rec, 60_000))
        wait_for_entry("CxKX310::WaitStatus(out, 60000)")
        board.abort()
        waiter.join(5)
    assert waiter.result is True
    assert rec.capture_state == 3  # aborted
    assert rec == board.query_status()


def test_cancel_wait_event_from_another_thread_ends_wait_event(tmp_path):
    board = running("KX310", tmp_path)
    try:
        with sim.recording():
            waiter = Background(lambda: board.wait_event(2, 60_000, 0))
            wait_for_entry("CxKX310::WaitEvent(2, 60000, &0)")
            board.cancel_wait_event(2)
            waiter.join(5)
        assert not waiter.is_alive() and waiter.result is False
        assert board.wait_event(1, 5000, 0) is True  # a frame end
    finally:
        board.stop()


def test_unlock_from_another_thread_during_a_wait_frees_the_images(no_leaks, tmp_path, kind):
    board = running(kind, tmp_path)
    with sim.recording():
        waiter = Background(board.wait)
        wait_for_entry(f"Cx{kind}::Wait()")
        board.unlock()
        waiter.join(5)
    gc.collect()
    assert waiter.error is None
    assert sim.live_objects() == no_leaks + 1  # only the board


# ---- faults ------------------------------------------------------------------------------------

OPERATIONS = [
    ("FromFile", lambda b, p: type(b).from_file(p)),
    ("FromFile", lambda b, p: type(b).from_file(p, 0, 0)),
    ("Dispose", lambda b, p: b.dispose()),
    ("IsValid", lambda b, p: b.is_valid),
    ("Open", lambda b, p: b.open(0, 0)),
    ("Close", lambda b, p: b.close()),
    ("Setup", lambda b, p: b.setup(p)),
    ("Save", lambda b, p: b.save(p)),
    ("Save", lambda b, p: b.save_w(p)),
    ("IsOpened", lambda b, p: b.is_opened),
    ("Validate", lambda b, p: b.validate(core.CxImage(W, H))),
    ("Validate", lambda b, p: b.validate([])),
    ("Lock", lambda b, p: b.lock(core.CxImage(W, H))),
    ("Lock", lambda b, p: b.lock([])),
    ("Unlock", lambda b, p: b.unlock()),
    ("Start", lambda b, p: b.start()),
    ("Stop", lambda b, p: b.stop()),
    ("Abort", lambda b, p: b.abort()),
    ("Wait", lambda b, p: b.wait()),
    ("IsRunning", lambda b, p: b.is_running),
    ("Status", lambda b, p: b.status()),
    ("QueryStatus", lambda b, p: b.query_status()),
    ("WaitStatus", lambda b, p: b.wait_status()),
    ("ForceTrigger", lambda b, p: b.force_trigger()),
    ("Num", lambda b, p: b.num),
    ("Num", lambda b, p: setattr(b, "num", 1)),
    ("LockId", lambda b, p: b.lock_id),
    ("LockId", lambda b, p: setattr(b, "lock_id", 1)),
    ("operator==", lambda b, p: b == b),  # noqa: PLR0124
    ("operator!=", lambda b, p: b != b),  # noqa: PLR0124
]
BY_VALUE = [
    ("QueryStatus", lambda b, p: b.query_status(0)),
    ("WaitStatus", lambda b, p: b.wait_status(0)),
    ("Abort", lambda b, p: b.abort(0)),
]
KX310_ONLY = [
    ("QueryStatus", lambda b, p: b.query_status(unit.TxKX310CaptureStatus())),
    ("WaitStatus", lambda b, p: b.wait_status(unit.TxKX310CaptureStatus())),
    ("Wait", lambda b, p: b.wait(0)),
    ("WaitEvent", lambda b, p: b.wait_event(1, 0, 0)),
    ("CancelWaitEvent", lambda b, p: b.cancel_wait_event(1)),
    ("StopPG", lambda b, p: b.stop_pg()),
    ("ResetPG", lambda b, p: b.reset_pg()),
    ("ClearTriggerMask", lambda b, p: b.clear_trigger_mask()),
    ("PLLReconfig", lambda b, p: b.pll_reconfig()),
    ("Validate", lambda b, p: b.validate(None)),
    ("Lock", lambda b, p: b.lock(None)),
]
FAULTS = [(k, op, call) for k in BOARDS for op, call in OPERATIONS]
FAULTS += [(k, op, call) for k in ("KX210", "TR520") for op, call in BY_VALUE]
FAULTS += [("KX310", op, call) for op, call in KX310_ONLY]


@pytest.mark.parametrize("kind, op, call", FAULTS)
def test_faults_in_every_operation_are_translated(path, kind, op, call):
    board = getattr(unit, kind).from_file(path)
    sim.fail(f"Cx{kind}::{op}", status=5, function="Start", file="dev.c", line=42)
    with pytest.raises(RuntimeError) as info:
        call(board, path)
    assert str(info.value) == "Code:5 Line:42 Function:Start File:dev.c"
    assert sim.pending_faults(f"Cx{kind}::{op}") == 0
