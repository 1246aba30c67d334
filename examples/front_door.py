# pyright: strict
"""The front door, typed end to end: list the boards, open a camera and an I/O board, tune the
camera through its settings mapping, take frames while an output marks the capture, and handle
the errors a script meets, each by its type. Runs on the simulated rack; clean under
mypy --strict and pyright strict, without a cast.

    python examples/front_door.py
"""

from __future__ import annotations

import pyzol
from pyzol.records import CaptureStatus


def tune(cam: pyzol.Camera) -> None:
    settings = cam.settings
    settings.apply({"ExposureTime": 1500, "TriggerMode": 0})
    info = settings.describe("ExposureTime")
    print(f"{info.name}: {info.kind}, {info.access} in {info.table} = {settings['ExposureTime']}")
    try:
        settings["ExposureTme"] = 10
    except pyzol.SettingNameError as e:  # a typo: close names in the message
        print("refused:", e)
    try:
        settings["ExposureTime"] = 2.5  # type: ignore[assignment]  # a float on purpose
    except pyzol.SettingValueError as e:
        print("refused:", e)


def capture(cam: pyzol.Camera, marker: pyzol.IOBoard, frames: int) -> CaptureStatus:
    marker.write(0, True)  # output 0 is on while the camera captures
    try:
        with cam.frames(4, count=frames) as stream:
            total = sum(int(frame.array.mean() > 0) for frame in stream)
        print(f"{total} of {frames} frames with light")
    finally:
        marker.write(0, False)
    return cam.status()


def main() -> None:
    for device in pyzol.devices():
        if device.id == 0:
            print(f"{device.kind}: channels {device.channels}, driver {device.driver_version}")
    try:
        pyzol.open("KX210", 7)
    except pyzol.DeviceNotFound as e:
        print("not found:", e)
    with pyzol.open("KX210", camera=pyzol.demo_camera()) as cam, pyzol.open("MB100") as io:
        print(cam, io)
        tune(cam)
        status = capture(cam, io, 10)
        print(f"frames captured: {status.total_frame_count}, outputs now {io.outputs:#x}")
        try:
            io.wait(timeout=20)
        except pyzol.DeviceTimeout as e:  # also a TimeoutError
            print("no event:", e)
        except pyzol.ZolError as e:
            print(f"library refused: {e.status!r} in {e.function}")
    print(cam)


if __name__ == "__main__":
    main()
