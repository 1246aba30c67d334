"""Settings three ways: typed properties, names (get_param/set_param), and camera files.

A camera file is plain text, one `Name=Value` per line, `#` for comments. `from_file` opens a
board with it, `setup` applies one to an open board, and `save` writes the board's writable
settings back, so that a tuned setup can be stored and loaded again.

Runs against the simulated boards; with the maker's library, start from your camera's file.

    python examples/settings.py
"""

import os
import tempfile

from pyzol import unit


def main() -> None:
    with tempfile.TemporaryDirectory() as folder:
        camera = os.path.join(folder, "line-scan.txt")
        with open(camera, "w") as f:
            f.write("# a camera file\nWidth=1024\nHeight=64\nExposureTime=800\n")
        board = unit.KX310.from_file(camera)
        settings = unit.KX310Param.from_(board)

        # Typed properties and names reach the same settings.
        print(f"exposure {settings.exposure_time} = {settings.get_param('ExposureTime')}")
        settings.set_param("ExposureTime", 1200)
        settings.trigger_mode = 1
        fpga = settings.get_param("FpgaVersion")  # a str on the KX310, an int elsewhere
        print(f"Width {settings.get_param('Width')}, FpgaVersion {fpga!r}")
        try:
            settings.set_param("DeviceID", 3)  # read-only: refused before the library is asked
        except RuntimeError as error:
            print(f"DeviceID is read-only: {error}")

        # Store the tuned setup, and bring it up on another board.
        tuned = os.path.join(folder, "tuned.txt")
        board.save(tuned)
        other = unit.KX310.from_file(tuned, 1, 0)  # board 1, channel 0
        copy = unit.KX310Param.from_(other)
        print(f"board 1 from the saved file: exposure {copy.exposure_time}, "
              f"trigger mode {copy.trigger_mode}")  # fmt: skip

        # The generic device takes whichever board type the file names, and the same names.
        video = unit.Video.from_file(tuned)
        print(f"Video device type {int(video.device_type)}, "
              f"exposure {video.get_param('ExposureTime')}")  # fmt: skip

        # An I/O board's settings go to and from a file of their own.
        dio = unit.DQ160()
        dio.open(0)
        dio_settings = unit.DQ160Param.from_(dio)
        dio_settings.timeout = 250
        dio_settings.set_param("DIEnable", 0x0000_FFFF)
        stored = os.path.join(folder, "dq160.txt")
        dio.save(stored, 0)
        dio_settings.timeout = 1
        dio.load(stored, 0)
        print(f"DQ160 back from its file: time-out {dio_settings.timeout} ms, "
              f"DIEnable 0x{dio_settings.get_param('DIEnable'):08X}")  # fmt: skip
        for opened in (board, other, video):
            opened.close()
        dio.close()


if __name__ == "__main__":
    main()
