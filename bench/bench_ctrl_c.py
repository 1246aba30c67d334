"""How long Ctrl-C takes to end a wait of the main thread: SIGINT is sent to a script blocked in
MB100.wait() (no time-out) and in KX210.wait() (endless capture); the time from the signal to
KeyboardInterrupt is measured inside that script. Target: about 100 ms at most.

    python bench/bench_ctrl_c.py
"""

import subprocess
import sys
import tempfile
import textwrap

from targets import Row

ROUNDS = 20

SCRIPT = """
import os, signal, threading, time
from pyzol import core, sim, unit
if {capture!r}:
    open("cam.txt", "w").write("Width=64\\nHeight=48\\nTimeout=-1\\n")
    board = unit.KX210.from_file("cam.txt")
    board.lock([core.CxImage(64, 48)])
    board.num = 0
    waiting = lambda: sim.capture_waiters("KX210", 0, 0)
else:
    board = unit.MB100()
    board.open(0)
    unit.MB100Param.from_(board).timeout = -1
    waiting = lambda: sim.waiters("MB100", 0)
sent = []
def press():
    while not waiting():
        time.sleep(0.001)
    sent.append(time.perf_counter())
    os.kill(os.getpid(), signal.SIGINT)
for _ in range({rounds}):
    if {capture!r}:
        board.start()
    sent.clear()
    threading.Thread(target=press).start()
    try:
        board.wait()
    except KeyboardInterrupt:
        print((time.perf_counter() - sent[0]) * 1000)
"""


def measure(capture, rounds=ROUNDS):
    with tempfile.TemporaryDirectory() as folder:
        code = textwrap.dedent(SCRIPT.format(capture=capture, rounds=rounds))
        out = subprocess.run([sys.executable, "-P", "-c", code], capture_output=True, text=True,
                             cwd=folder, timeout=120, check=True)  # fmt: skip
    times = sorted(float(line) for line in out.stdout.split())
    assert len(times) == rounds, out.stdout + out.stderr
    return times


WAITS = [("MB100.wait", False), ("KX210.wait", True)]


def summary(quick=True):
    rows = []
    for name, capture in WAITS:
        times = measure(capture, 5 if quick else ROUNDS)
        rows.append(
            Row(
                "ctrl_c", times[-1], f"median {times[len(times) // 2]:.1f} ms of {len(times)}", name
            )
        )
    return rows


if __name__ == "__main__":
    for name, capture in WAITS:
        times = measure(capture)
        print(
            f"{name}: SIGINT to KeyboardInterrupt, median {times[len(times) // 2]:.2f} ms, "
            f"worst {times[-1]:.2f} ms over {ROUNDS} rounds"
        )
