"""Two cameras and an RM1600 in step: the RM1600's output 3 triggers both cameras at once, 200
times a second; each trigger gives one set of frames, and the matched pairs are written side by
side into one TIFF file (a trigger one camera missed is counted and left out).

On the simulated rack the cables are `sim.wire` calls; on a real rack, wire the RM1600's output
to both trigger inputs and leave those lines out. The cameras' files put them in trigger mode with
the external input on.

    python examples/cameras_in_step.py
"""

import os
import tempfile

import numpy as np
import tifffile

import pyzol
from pyzol import sim

TRIGGERS = 100
CAMERA = """\
Width=320
Height=240
TriggerMode=1
ExternalTrigger=1
ExposureTime=500
Timeout=2000
"""


def main(folder: str) -> None:
    path = os.path.join(folder, "trigger.txt")
    with open(path, "w") as f:
        f.write(CAMERA)
    for board in ("KX210", "KX310"):  # the cables: one output to both trigger inputs
        sim.wire(("RM1600", 0, "out", 3), (board, 0, "trigger", 0))

    out = os.path.join(folder, "pairs.tif")
    with (
        pyzol.open("RM1600", 0) as io,
        pyzol.open("KX210", 0, camera=path) as left,
        pyzol.open("KX310", 0, camera=path) as right,
        pyzol.sync(left, right, trigger=(io, 3), rate=200, count=TRIGGERS) as group,
        tifffile.TiffWriter(out) as tif,
    ):
        for fs in group:
            a, b = fs.frames
            if a is None or b is None:
                continue  # one camera missed this trigger: no pair
            pair = np.concatenate([a.array, b.array], axis=1)
            tif.write(pair, description=f'{{"trigger": {fs.trigger}}}', metadata=None)
        counters = group.counters

    with tifffile.TiffFile(out) as written:
        pairs = len(written.pages)
    print(f"triggers sent: {counters.triggers}, pairs written: {pairs}")
    for name, c in zip(("KX210", "KX310"), counters.cameras, strict=True):
        print(f"{name}: {c.frames} frames, {c.missed} missed, {c.dropped} dropped")


if __name__ == "__main__":
    with tempfile.TemporaryDirectory() as folder:
        main(folder)
