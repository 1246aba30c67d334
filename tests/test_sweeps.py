"""Sweeps over the whole surface: bad arguments to every member (each class in a child
interpreter, so that a crash fails one test and not the run)."""

import gc
import pathlib
import re

import pytest

import argument_sweep
from helpers import child_lines
from pyzol import core, sim, unit

TESTS = pathlib.Path(__file__).resolve().parent
# Every class and the functions of pyzol.core, pyzol.unit and pyzol.sim, as the modules list them:
# a class added later is swept without being named here.
SURFACE = argument_sweep.surface()


@pytest.mark.parametrize("name", SURFACE)
def test_bad_arguments_give_python_errors_and_call_nothing(tmp_path, camera_file, name):
    camera_file(Timeout=0)
    lines = child_lines(
        f"import sys; sys.path.insert(0, {str(TESTS)!r})\n"
        f"import argument_sweep; argument_sweep.main({name!r})\n",
        tmp_path,
        timeout=300,
    )
    assert [line for line in lines if line.startswith("VIOLATION")] == []
    _, swept, overloads, calls, violations = lines[-1].split()
    SWEPT.append((name, int(overloads), int(calls)))
    print(f"bad-argument sweep: {swept}: {overloads} overloads, {calls} calls")
    assert swept == name and int(calls) > 0 and violations == "0"


SWEPT = []


def test_bad_argument_sweep_covers_the_whole_surface():
    """Run after the sweeps: every class of the three modules and their functions were swept,
    among them those an earlier hand list missed (the result record, pyzol.sim)."""
    assert {"core.TxItemValue", "core.CxImage", "sim", "sim.Recording", "unit"} <= set(SURFACE)
    classes = [name for name in SURFACE if "." in name]
    print(f"bad-argument sweep: {len(classes)} classes, {len(SURFACE) - len(classes)} modules' "
          f"functions; {sum(m for _, m, _ in SWEPT)} overloads, {sum(c for _, _, c in SWEPT)} "
          "calls")  # fmt: skip


# ---- faults ------------------------------------------------------------------------------------

DIO_TOUR = """
b = unit.{B}()
b.open(0)
p = unit.{B}Param.from_(b)
p.timeout = 0
p.timeout
p.set_param('Timeout', 0)
p.get_param('Timeout')
p.set_register(1, 2)
p.get_register(1)
p.controller
p.controller = b
p == p
p.is_valid
b.write(1)
b.write(0, True)
b.read()
b.read(0)
b.write_status()
b.write_status(0)
b.wait()
b.abort()
b == b
b != b
b.is_valid
b.is_opened
{extra}
b.close()
b.dispose()
"""
DIO_SETTINGS = "\np.{0} = 0\np.{0}\np.{1} = 0\np.{1}"
DQ160_FILES = (
    "b.save('dq.cfg', 0)\nb.load('dq.cfg', 0)\nb.save_w('dq.cfg', 0)\nb.load_w('dq.cfg', 0)"
)

CAPTURE_TOUR = """
b = unit.{B}.from_file('cam.txt')
b = unit.{B}.from_file('cam.txt', 0, 0)
b.setup('cam.txt')
b.save('out.txt')
b.save_w('out.txt')
img = core.CxImage(64, 48)
b.validate(img)
b.validate([img])
b.lock(img)
b.lock([img])
b.num = 1
b.num
b.lock_id = 0
b.lock_id
b.start()
b.wait()
b.status()
b.query_status()
b.wait_status()
b.is_running
b.start()
b.stop()
b.force_trigger()
b.abort()
{extra}
b.unlock()
p = unit.{B}Param.from_(b)
p.trigger_mode = 0
p.trigger_mode
p.exposure_time = 0
p.exposure_time
p.{third} = 0
p.{third}
p.set_param('ExposureTime', 0)
p.get_param('ExposureTime')
p.set_register(1, 2)
p.get_register(1)
{command}
p.controller
p.controller = b
q = unit.{B}Param(p)
p == q
p.is_valid
c = unit.{B}(b)
b == c
b != c
b.is_valid
b.is_opened
b.close()
b.open(0, 0)
b.dispose()
"""
PER_FRAME = "b.query_status(0)\nb.wait_status(0)\nb.abort(0)"
KX310_EXTRA = """
rec = unit.TxKX310CaptureStatus()
b.query_status(rec)
b.wait_status(rec, 0)
b.wait(0)
b.wait_event(1, 0, 0)
b.cancel_wait_event(1)
b.force_trigger(0)
b.stop_pg()
b.reset_pg()
b.clear_trigger_mask()
b.pll_reconfig()
other = unit.KX310()
other.open(1, 0)
other.setup('cam.txt')
other.lock([core.CxImage(64, 48)])
b.validate(core.as_module(other))
b.lock(core.as_module(other))
"""
TOURS = {
    "MB100": DIO_TOUR.format(B="MB100", extra="p.int_edge = 1\np.int_edge"),
    "RM1600": DIO_TOUR.format(
        B="RM1600",
        extra=DIO_SETTINGS.format("di_enable", "di_edge")
        + DIO_SETTINGS.format("di_wait_enable", "timeout"),
    ),
    "DQ160": DIO_TOUR.format(
        B="DQ160",
        extra=DQ160_FILES
        + DIO_SETTINGS.format("int_enable", "int_wait_enable")
        + DIO_SETTINGS.format("di_edge", "di_wait_mode"),
    ),
    "KX210": CAPTURE_TOUR.format(
        B="KX210", extra=PER_FRAME, third="trigger_cycle_time", command=""
    ),
    "KX310": CAPTURE_TOUR.format(
        B="KX310", extra=KX310_EXTRA, third="trigger_cycle_time", command="p.send_command('StopPG')"
    ),
    "TR520": CAPTURE_TOUR.format(
        B="TR520",
        extra=PER_FRAME,
        third="video_offset",
        command="p.send_command('SelfCalibration')",
    ),
}
SERIAL_TOUR = """
b = unit.{B}()
b.open(0, 0)
s = unit.{B}Sio.from_(b)
s.open()
s.is_opened
s.timeout = 100
s.timeout
s.write('?ID\\r')
s.read(7)
s.set_camera_mode('Fast')
s.write_byte('x')
sim.sio_feed('{B}', 0, 0, b'z')
s.read_byte()
s.purge()
s.controller
s.is_valid
s.close()
"""
ENCODER_TOUR = """
b = unit.{B}()
b.open(0, 0)
e = unit.{B}Encoder.from_(b)
e.controller
e.is_valid
{members}
"""
KX210_ENCODER = """
e.init = 0
e.init
e.total_counter()
e.match_counter()
e.rel_counter()
e.clear_rel_counter()
e.start_abs(True)
e.abs_counter()
e.is_abs_overflow
e.is_abs_underflow
e.clear_abs_counter()
e.clear_overflow()
e.clear_underflow()
e.clear_all_counter()
e.set_param('ENCComp2', 1)
e.get_param('ENCComp2')
"""
KX310_ENCODER = """
e.reset_source = 0
e.reset_source
e.signal_source = 0
e.signal_source
e.encoder_act_mode = 0
e.encoder_act_mode
e.start_encoder()
e.stop_encoder()
e.reset_encoder()
e.encoder_status(unit.TxKX310EncoderStatus())
e.encoder_counter()
e.match_counter()
e.rel_counter()
e.set_param('ENCDir', 1)
e.get_param('ENCDir')
"""
ENCODER_SETTINGS = "".join(
    f"e.{name} = 0\ne.{name}\n"
    for name in ("encoder_mode", "sampling", "start", "dir", "comp1", "comp2", "swap_ab")
)
VIDEO_TOUR = """
v = unit.Video.from_file('cam.txt')
v.device_type
v.device_type = core.ExDevice.KX210
img = core.CxImage(64, 48)
v.validate(img)
v.grab(img)
v.start(img)
v.wait()
v.is_running
v.status()
v.force_trigger()
v.abort()
v.trigger_mode = 0
v.trigger_mode
v.exposure_time = 0
v.exposure_time
v.set_param('ExposureTime', 0)
v.get_param('ExposureTime')
v.save('out.txt')
v.controller
v.is_valid
answer = core.TxItemValue()
unit.get_device_info(core.ExDevice.KX210, 'BoardCount', answer)
unit.get_xml_item('cam.txt', 'Width', answer)
p = unit.KX210Param.from_(unit.KX210.from_file('cam.txt'))
unit.get_device_module(core.as_device_module(p))
v.close()
v.dispose()
"""
TOURS.update({
    "KX210Sio": SERIAL_TOUR.format(B="KX210"),
    "KX310Sio": SERIAL_TOUR.format(B="KX310"),
    "KX210Encoder": ENCODER_TOUR.format(B="KX210", members=ENCODER_SETTINGS + KX210_ENCODER),
    "KX310Encoder": ENCODER_TOUR.format(B="KX310", members=ENCODER_SETTINGS + KX310_ENCODER),
    "Video": VIDEO_TOUR,
})  # fmt: skip
INJECTED = "Code:13 Line:4242 Function:Injected File:sweep.c"


def tour_steps(family):
    return [line for line in TOURS[family].splitlines() if line]


def run_tour(steps, env, fault=None):
    """Runs the steps; with `fault`, the step that first calls that operation must fail with the
    injected error, and doing it again must work. Gives the operations each step called."""
    called = []
    failed = False
    for step in steps:
        error = None
        with sim.recording() as calls:
            try:
                exec(step, env)
            except RuntimeError as e:
                error = e
        if error is not None:
            assert fault and not failed and str(error) == INJECTED, (step, error)
            assert any(c.startswith(fault + "(") for c in calls), (step, calls)
            failed = True
            exec(step, env)  # the object is still usable
        called.append({c.split("(")[0] for c in calls})
    assert failed or fault is None, f"{fault} never failed"
    return called


def module_operations():
    """Names of the library operations the module's sources call."""
    declared = set()
    for header in (TESTS.parent / "include" / "zol").glob("*.h"):
        if header.name.startswith("sim"):
            continue
        declared |= set(re.findall(r"\b([A-Z]\w*)\([^;{]*\)[^;{]*[;{]", header.read_text()))
    called = set()
    for source in (TESTS.parent / "pyzol" / "zol_unit").rglob("*.[ch]*"):
        text = source.read_text()
        called |= set(re.findall(r"(?:\.|->|::)([A-Z]\w*)\(", text))  # calls
        called |= set(re.findall(r"&\w+::([A-Z]\w*)\b", text))  # typed settings' pointers
    # Value helpers and the exception's accessors are not operations on a board.
    return called & declared - {"Address", "Length", "Code", "Line", "Function", "File",
                                "CxException"}  # fmt: skip


@pytest.mark.parametrize("family", TOURS)
def test_each_library_operation_failing_once(tmp_path, camera_file, monkeypatch, family):
    monkeypatch.chdir(tmp_path)
    camera_file(Timeout=5000)
    gc.collect()
    start = sim.live_objects()
    steps = tour_steps(family)
    env = {"core": core, "unit": unit, "sim": sim}
    operations = sorted(set().union(*run_tour(steps, env)))
    del env
    # Every operation the journal records is one a fault can be armed for.
    assert set(operations) <= set(sim.operations())
    for op in operations:
        sim.fail(op, status=13, function="Injected", file="sweep.c", line=4242)
        env = {"core": core, "unit": unit, "sim": sim}
        run_tour(steps, env, op)
        assert sim.pending_faults(op) == 0
        del env
        gc.collect()
        assert sim.live_objects() == start, op
    FAULT_SWEEP.update(op.split("::")[1] for op in operations)
    ARMED.update(operations)
    print(f"fault sweep {family}: {len(operations)} operations failed once each")


FAULT_SWEEP = set()
ARMED = set()


def test_fault_sweep_coverage():
    """Run after the sweeps: how many of the operations the module calls they failed."""
    wanted = module_operations()
    covered = FAULT_SWEEP & wanted
    print(f"fault sweep: covered {len(covered)} of {len(wanted)} operations the module calls; "
          f"not covered: {sorted(wanted - covered)}")  # fmt: skip
    if FAULT_SWEEP:
        assert len(covered) * 10 >= len(wanted) * 9
        listed = set(sim.operations())
        print(f"fault sweep: failed {len(ARMED)} of the {len(listed)} operations of the library; "
              f"not called: {sorted(listed - ARMED)}")  # fmt: skip
