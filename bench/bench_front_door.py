"""The front door's cost over the exact layer: a setting read through `board.settings[...]`
against `get_param` on the same settings object, and frames taken through `Camera.frames`
against `pyzol.frames` on the same board (alternating, same run).

    python bench/bench_front_door.py
"""

import time
import timeit

from bench_stream import RING, TMP, H, W, touch
from targets import Row

import pyzol
from pyzol import core, frames, unit


def setting_costs(number=20_000, repeat=15):
    """Nanoseconds per read of one setting: through the mapping, and through get_param."""
    cam = pyzol.open("KX210", camera=pyzol.demo_camera())
    settings, param = cam.settings, unit.KX210Param.from_(cam.unit)
    get = param.get_param
    mapping = min(timeit.repeat(lambda: settings["ExposureTime"], number=number, repeat=repeat))
    direct = min(timeit.repeat(lambda: get("ExposureTime"), number=number, repeat=repeat))
    cam.close()
    return mapping / number * 1e9, direct / number * 1e9


def taken_per_second(stream_of, seconds):
    taken, end = 0, time.perf_counter() + seconds
    started = time.perf_counter()
    with stream_of() as stream:
        for frame in stream:
            touch(frame.array)
            taken += 1
            if time.perf_counter() >= end:
                break
    return taken / (time.perf_counter() - started)


def frame_rates(seconds=0.5, rounds=7):
    """Best frames/s through Camera.frames and through pyzol.frames on its .unit, alternating."""
    path = TMP / "free_running.txt"
    path.write_text(f"Width={W}\nHeight={H}\nTriggerCycleTime=0\nExposureTime=0\nTimeout=60000\n")
    cam = pyzol.open("KX210", camera=path)
    images = [core.CxImage(W, H) for _ in range(RING)]
    loops = [("door", lambda: cam.frames(images)), ("plain", lambda: frames(cam.unit, images))]
    best = {"door": 0.0, "plain": 0.0}
    for i in range(rounds):
        for name, make in loops[:: 1 if i % 2 else -1]:  # each goes first every other round
            best[name] = max(best[name], taken_per_second(make, seconds))
    cam.close()
    return best["door"], best["plain"]


def summary(quick=True):
    mapping, direct = setting_costs(*((20_000, 9) if quick else (100_000, 25)))
    ours, theirs = frame_rates(*((0.3, 5) if quick else (1.0, 9)))
    return [
        Row(
            "door_setting",
            mapping / direct,
            f"{mapping:.0f} ns against get_param's {direct:.0f} ns",
        ),
        Row("door_frames", ours / theirs * 100, f"{ours:.0f} frames/s against {theirs:.0f}"),
    ]


if __name__ == "__main__":
    for row in summary(quick=False):
        print(row)
