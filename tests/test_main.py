"""The main job, python -m pyzol: capture with a bar on terminals only, the status table, the PNG
of the last frame (with Pillow or the zlib fallback), and one-line errors."""

import io
import subprocess
import sys
import zlib

import pytest

from helpers import pattern
from pyzol import __main__ as job
from pyzol import _report

np = pytest.importorskip("numpy")


class Terminal(io.StringIO):
    def isatty(self):
        return True


@pytest.fixture(params=["zlib", "Pillow"])
def writer(request, monkeypatch):
    """Which PNG writer the job finds: Pillow when installed, or none (the fallback)."""
    if request.param == "Pillow":
        pytest.importorskip("PIL")
    else:
        monkeypatch.setitem(sys.modules, "PIL", None)  # import fails
    return request.param


def read_png(path):
    """Pixels of a PNG as an array; our fallback writes unfiltered rows, Pillow's need Pillow."""
    try:
        from PIL import Image
    except ImportError:
        data = open(path, "rb").read()
        width, height = int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")
        channels = 1 if data[25] == 0 else 3  # colour type: gray or RGB
        raw = zlib.decompress(data[data.index(b"IDAT") + 4 :])
        rows = np.frombuffer(raw, np.uint8).reshape(height, 1 + width * channels)
        assert not rows[:, 0].any()  # filter type 0
        pixels = rows[:, 1:].reshape(height, width, channels)
        return pixels[..., 0] if channels == 1 else pixels
    return np.asarray(Image.open(path))


def run(capsys, *argv):
    status = job.main(list(argv))
    out, err = capsys.readouterr()
    return status, out, err


@pytest.mark.parametrize(
    "board, fmt, to_8_bit",
    [
        ("KX210", "Mono8", lambda p: p),
        ("KX310", "Mono12", lambda p: p >> 4),
        ("TR520", "Mono16", lambda p: p >> 8),
        ("KX210", "RGB8", lambda p: p),
        ("KX310", "BGR8", lambda p: p[..., ::-1]),
    ],
)
def test_captures_and_writes_the_last_frame(tmp_path, capsys, writer, board, fmt, to_8_bit):
    png = tmp_path / "frame.png"
    args = ["--board", board, "--size", "96x64", "--format", fmt, "--frames", "7", "-o", str(png)]
    status, out, err = run(capsys, *args, "--ring", "3")
    assert (status, err) == (0, "")  # no bar: standard error is no terminal
    lines = out.splitlines()
    assert lines[0] == f"{board} 0: 96x64 {'Mono16' if fmt == 'Mono12' else fmt} " + (
        f"({fmt[4:] if fmt.startswith('Mono') else 8} bits), 3 images"
    )
    assert lines[1].startswith("captured 7 frames in ")
    head, rule, *rows = lines[2 : len(lines) - 1]
    assert head.split()[:4] == ["time", "(s)", "frames", "last"]
    assert len(rule) == len(head) and all(len(row) == len(head) for row in rows)
    assert rows[-1].split()[1:4] == ["7", "6", "64"]  # frames, last frame, lines
    assert lines[-1] == f"frame 6 written to {png} ({writer})"
    np.testing.assert_array_equal(read_png(png), to_8_bit(pattern(6, 96, 64, fmt)).astype(np.uint8))


def test_runs_as_a_module_without_a_terminal(tmp_path):
    out = subprocess.run(
        [sys.executable, "-P", "-m", "pyzol", "--frames", "20"],
        capture_output=True, text=True, timeout=120, cwd=tmp_path,
    )  # fmt: skip
    assert (out.returncode, out.stderr) == (0, "")
    assert "KX210 0: 640x480 Mono8 (8 bits), 4 images" in out.stdout
    assert f"frame 19 written to {tmp_path / 'last_frame.png'}" in out.stdout
    assert read_png(tmp_path / "last_frame.png").shape == (480, 640)


def test_help_lists_the_options(capsys):
    with pytest.raises(SystemExit) as ended:
        job.main(["--help"])
    assert ended.value.code == 0
    usage = capsys.readouterr().out
    for option in ("--board", "--frames", "--size", "--format", "--camera", "--output", "--io"):
        assert option in usage


@pytest.mark.parametrize(
    "args, text",
    [
        (
            ["--camera", "missing.txt"],
            "cannot open KX210 0 from 'missing.txt': FileNotFound (Code:10 ",
        ),
        (["--camera", "{bad}"], "cannot open KX210 0 from '{bad}': FileFormat (Code:11 "),
        (["--camera", "{bad_format}"], ": FileFormat (Code:11 "),
        (["--board", "TR520", "--id", "4"], "cannot open TR520 4 from "),
        (["--frames", "2", "-o", "{tmp}/no/such/folder/x.png"], "cannot write '"),
    ],
)
def test_failures_end_with_one_line_and_status_1(tmp_path, capsys, monkeypatch, args, text):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "bad.txt").write_text("Width=wide\n")
    (tmp_path / "bad_format.txt").write_text("PixelFormat=Mono9\n")
    names = dict(bad=tmp_path / "bad.txt", bad_format=tmp_path / "bad_format.txt", tmp=tmp_path)
    status, out, err = run(capsys, *[a.format(**names) for a in args])
    assert status == 1
    assert err.startswith("pyzol: ") and err.count("\n") == 1 and "Traceback" not in err
    assert text.format(**names) in err


def test_bad_options_are_usage_errors(capsys):
    bad = [
        ["--size", "640"],
        ["--frames", "0"],
        ["--id", "-1"],
        ["--ring", "65"],
        ["--format", "Mono9"],
    ]
    for args in bad:
        with pytest.raises(SystemExit) as ended:
            job.main(args)
        assert ended.value.code == 2
        assert "usage: python -m pyzol" in capsys.readouterr().err


# ---- the pieces ------------------------------------------------------------------------------


@pytest.mark.parametrize("tqdm", [False, True])
def test_bar_shows_frames_and_rate_on_a_terminal_only(monkeypatch, tqdm):
    if tqdm:
        pytest.importorskip("tqdm")
    else:
        monkeypatch.setitem(sys.modules, "tqdm", None)
    quiet = io.StringIO()
    bar = _report.progress(10, quiet)
    bar.update(10)
    bar.close()
    assert quiet.getvalue() == ""
    screen = Terminal()
    bar = _report.progress(10, screen)
    for _ in range(10):
        bar.update(1)
    bar.close()
    shown = screen.getvalue()
    assert "10/10" in shown and "frames/s" in shown
