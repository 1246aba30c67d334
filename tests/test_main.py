"""The command line, python -m pyzol: its subcommands (capture the default, record, io and the
--io alias), loaded once; the capture job with a bar on terminals only (tqdm's, or none), the
status table, the image of the last frame in its own depth (Pillow; without it, one line that
names the extra), one-line errors before anything is captured, and an output file that is whole
or left as it was."""

import importlib.metadata
import io
import os
import pathlib
import resource
import signal
import subprocess
import sys

import pytest

import pyzol
from helpers import drawn
from pyzol import cli as job
from pyzol.cli import report

np = pytest.importorskip("numpy")
Image = pytest.importorskip("PIL.Image")  # reads what either writer wrote
PIL = sys.modules["PIL"]


class Terminal(io.StringIO):
    def isatty(self):
        return True


def read_image(path):
    """Pixels and mode of an image file, read by Pillow."""
    with pytest.MonkeyPatch.context() as patch:
        patch.setitem(sys.modules, "PIL", PIL)  # where a test hides it from the job
        with Image.open(path) as image:
            return np.asarray(image), image.mode


def job_command(*argv, **options):
    """Runs the job in a process of its own; returns the finished process."""
    options = dict(capture_output=True, text=True, timeout=120) | options
    return subprocess.run([sys.executable, "-P", "-m", "pyzol", *argv], **options)


def run(capsys, *argv):
    status = job.main(list(argv))
    out, err = capsys.readouterr()
    return status, out, err


@pytest.mark.parametrize(
    "board, fmt, name, stored",
    [
        ("KX210", "Mono8", "frame.png", lambda p: p),
        ("KX310", "Mono10", "frame.png", lambda p: p << 6),  # 16-bit, samples at the top
        ("KX310", "Mono12", "frame.PNG", lambda p: p << 4),
        ("TR520", "Mono16", "frame.tif", lambda p: p),
        ("KX210", "RGB8", "frame.tiff", lambda p: p),
        ("KX310", "BGR8", "frame.png", lambda p: p[..., ::-1]),
    ],
)
@pytest.mark.parametrize("command", [[], ["capture"]], ids=["default", "capture"])
def test_captures_and_writes_the_last_frame(tmp_path, capsys, command, board, fmt, name, stored):
    out_file = tmp_path / name
    args = [*command, "--board", board, "--size", "96x64", "--format", fmt, "--frames", "7"]
    status, out, err = run(capsys, *args, "-o", str(out_file), "--ring", "3")
    assert (status, err) == (0, "")  # no bar: standard error is no terminal
    lines = out.splitlines()
    bits = int(fmt[4:]) if fmt.startswith("Mono") else 8
    sent = "Mono16" if bits > 8 else fmt  # deeper mono frames arrive in 16-bit samples
    assert lines[0] == f"{board} 0: 96x64 {sent} ({bits} bits), 3 images"
    assert lines[1].startswith("captured 7 frames in ")
    head, rule, *rows = lines[2 : len(lines) - 1]
    assert head.split()[:4] == ["time", "(s)", "frames", "last"]
    assert len(rule) == len(head) and all(len(row) == len(head) for row in rows)
    assert rows[-1].split()[1:4] == ["7", "6", "64"]  # frames, last frame, lines
    assert lines[-1] == f"frame 6 written to {out_file} (Pillow)"
    pixels, mode = read_image(out_file)
    assert mode == {"Mono16": "I;16", "RGB8": "RGB", "BGR8": "RGB"}.get(sent, "L")
    np.testing.assert_array_equal(pixels, stored(drawn(6, 96, 64, fmt)))
    data = out_file.read_bytes()
    if data.startswith(b"\x89PNG"):  # fewer significant bits than stored: recorded for readers
        at = data.find(b"sBIT")
        significant = data[at + 4 : at + 5] if at > 0 else None
        assert significant == (bytes([bits]) if bits % 8 else None)


def test_runs_as_a_module_without_a_terminal(tmp_path):
    out = job_command("--frames", "20", cwd=tmp_path)
    assert (out.returncode, out.stderr) == (0, "")
    assert "KX210 0: 640x480 Mono8 (8 bits), 4 images" in out.stdout
    assert f"frame 19 written to {tmp_path / 'last_frame.png'}" in out.stdout
    written = tmp_path / "last_frame.png"
    assert read_image(written)[0].shape == (480, 640)
    mask = os.umask(0)
    os.umask(mask)
    assert written.stat().st_mode & 0o777 == 0o666 & ~mask  # an ordinary new file


@pytest.mark.parametrize(
    "argv, listed",
    [
        (["--help"], ["capture", "record", "io", "COMMAND --help"]),
        (["capture", "--help"],
         ["--board", "--frames", "--size", "--format", "--camera", "--output", "--io"]),
        (["record", "--help"], ["--board", "--frames", "--pool", "--rate", "--output"]),
        (["io", "--help"], ["MB100"]),
    ],
)  # fmt: skip
def test_help_lists_the_commands_and_their_options(capsys, argv, listed):
    with pytest.raises(SystemExit) as ended:
        job.main(argv)
    assert ended.value.code == 0
    usage = capsys.readouterr().out
    assert usage.startswith(f"usage: python -m pyzol {argv[0] if len(argv) > 1 else '[-h]'}")
    for option in listed:
        assert option in usage


@pytest.mark.parametrize("argv", [["io"], ["--io"], ["--io", "-q"]])
def test_io_command_and_its_alias_run_the_io_session(capsys, argv):
    status, out, err = run(capsys, *argv)
    assert (status, err) == (0, "")
    assert out.startswith("MB100 #0 open: True") and "wait ended by TIMEOUT" in out


@pytest.mark.parametrize("name", ["frame.png", "frame.tif"])
def test_without_pillow_the_job_names_the_extra_before_capturing(tmp_path, capsys, monkeypatch,
                                                                 name):  # fmt: skip
    monkeypatch.setitem(sys.modules, "PIL", None)  # import fails
    out_file = tmp_path / name
    status, out, err = run(capsys, "--frames", "3", "-o", str(out_file))
    kind = "PNG" if name.endswith(".png") else "TIFF"
    assert (status, out) == (1, "")  # nothing captured
    needs = f"writing {kind} needs Pillow: pip install 'pyzol[demo]'"
    assert err == f"pyzol: cannot write '{out_file}': {needs}\n"
    assert list(tmp_path.iterdir()) == []


@pytest.mark.parametrize(
    "args, text",
    [
        (
            ["--camera", "missing.txt"],
            "cannot open KX210 0 from 'missing.txt': FileNotFound (Code:10 ",
        ),
        (
            ["--camera", "{bad}"],
            "from '{bad}': FileFormat (Code:11 Line:1 Function:FromFile File:{bad}): {bad}, "
            "line 1: \"Width=wide\": setting 'Width': bad value 'wide' (signed integer)\n",
        ),
        (["--camera", "{bad_format}"], ": FileFormat (Code:11 "),
        (["--camera", "{tmp}"], "cannot open KX210 0 from '{tmp}': it is a folder, not a camera"),
        (["--camera", "{empty}"], "KX210 0 is set up for 0x0 frames: the camera file needs a "),
        (["--board", "TR520", "--id", "4"], "cannot open TR520 4 from "),
        (
            ["--size", "16384x16384", "--format", "RGB8", "--ring", "64"],
            "a ring of 64 images of 16384x16384 RGB8 needs 49,152 MiB; the machine has ",
        ),
        (["-o", "{tmp}/no/such/folder/x.png"], "cannot write '{tmp}/no/such/folder/x.png': No "),
        (["-o", "{tmp}/folder.png"], "cannot write '{tmp}/folder.png': Is a directory"),
        (["-o", "x.jpg"], "cannot write 'x.jpg': cannot tell an image format from '.jpg': name "),
        (["-o", "x"], "cannot write 'x': cannot tell an image format from 'no extension'"),
    ],
)
def test_failures_end_with_one_line_before_capturing(tmp_path, capsys, monkeypatch, args, text):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "bad.txt").write_text("Width=wide\n")
    (tmp_path / "bad_format.txt").write_text("PixelFormat=Mono9\n")
    (tmp_path / "empty.txt").write_text("Width=0\nHeight=0\n")
    (tmp_path / "folder.png").mkdir()
    names = dict(
        bad=tmp_path / "bad.txt",
        bad_format=tmp_path / "bad_format.txt",
        empty=tmp_path / "empty.txt",
        tmp=tmp_path,
    )
    status, out, err = run(capsys, "-q", *[a.format(**names) for a in args])
    assert (status, out) == (1, "")  # nothing captured
    assert err.startswith("pyzol: ") and err.count("\n") == 1 and "Traceback" not in err
    assert text.format(**names) in err
    assert sorted(p.name for p in tmp_path.iterdir()) == [
        "bad.txt", "bad_format.txt", "empty.txt", "folder.png",
    ]  # fmt: skip


def test_bad_options_are_usage_errors(capsys):
    bad = {
        "640": ["--size", "640"],
        "each 1 to 16384": ["--size", "16385x2"],
        "got '0'": ["--frames", "0"],
        "got '-1'": ["--id", "-1"],
        "expected a whole number 2 to 64, got '1'": ["--ring", "1"],
        "got '65'": ["--ring", "65"],
        "Mono9": ["--format", "Mono9"],
        "--io takes no capture options: --board, --frames, -o/--output": [
            "--io", "--frames", "3", "--board", "KX210", "-o", "x.png",
        ],
        "unrecognized arguments: --frames": ["io", "--frames", "3"],
        "invalid choice: 'bogus'": ["bogus"],
    }  # fmt: skip
    for text, args in bad.items():
        with pytest.raises(SystemExit) as ended:
            job.main(args)
        assert ended.value.code == 2
        err = capsys.readouterr().err
        assert "usage: python -m pyzol" in err and text in err


@pytest.mark.parametrize("command", ["module", "console"])
def test_version(command, tmp_path):
    if command == "module":
        argv = [sys.executable, "-P", "-m", "pyzol"]
    else:  # installed beside the interpreter
        argv = [str(pathlib.Path(sys.executable).parent / "pyzol")]
    done = subprocess.run([*argv, "--version"], capture_output=True, text=True, timeout=120)
    expected = getattr(pyzol, "__version__", None) or importlib.metadata.version("pyzol")
    assert (done.returncode, done.stdout, done.stderr) == (0, f"pyzol {expected}\n", "")
    if command == "console":  # the same job, under its own name
        done = subprocess.run([*argv, "--frames", "0"], capture_output=True, text=True, timeout=60)
        assert done.returncode == 2 and done.stderr.startswith("usage: pyzol ")
        older = tmp_path / "last_frame.png"
        older.write_bytes(b"an older file")
        older.chmod(0o600)
        done = subprocess.run(
            [*argv, "--frames", "3"], capture_output=True, cwd=tmp_path, timeout=60
        )
        assert done.returncode == 0 and read_image(older)[0].shape == (480, 640)  # replaced,
        assert older.stat().st_mode & 0o777 == 0o600  # with the permissions it had
        assert [p.name for p in tmp_path.iterdir()] == ["last_frame.png"]


@pytest.mark.parametrize("quiet", [False, True])
def test_bar_on_a_terminal_unless_quiet(tmp_path, capsys, monkeypatch, quiet):
    screen = Terminal()
    monkeypatch.setattr(sys, "stderr", screen)
    status, out, _ = run(capsys, "--frames", "5", "-o", str(tmp_path / "f.png"), *["-q"] * quiet)
    assert status == 0 and "captured 5 frames" in out
    assert ("5/5" in screen.getvalue()) is not quiet


def test_a_reader_that_goes_away_ends_the_job_quietly(tmp_path):
    read, write = os.pipe()
    os.close(read)  # the reader is gone before the first line
    try:
        done = job_command("--frames", "5", stdout=write, cwd=tmp_path, capture_output=False,
                           stderr=subprocess.PIPE)  # fmt: skip
    finally:
        os.close(write)
    assert (done.returncode, done.stderr) == (128 + signal.SIGPIPE, "")


def limit_file_size():
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit fails instead
    resource.setrlimit(resource.RLIMIT_FSIZE, (1024, 1024))


def test_a_write_that_fails_keeps_the_file_that_was_there(tmp_path):
    target = tmp_path / "frame.png"
    target.write_bytes(b"the good file")
    done = job_command("--frames", "3", "-o", str(target), cwd=tmp_path, preexec_fn=limit_file_size)
    assert done.returncode == 1
    assert done.stderr.startswith(f"pyzol: cannot write '{target}': File too large")
    assert done.stderr.count("\n") == 1
    assert target.read_bytes() == b"the good file"
    assert [p.name for p in tmp_path.iterdir()] == ["frame.png"]  # no temporary file left


# ---- the pieces ------------------------------------------------------------------------------


@pytest.mark.parametrize("tqdm", [False, True])
def test_bar_shows_frames_and_rate_on_a_terminal_with_tqdm_only(monkeypatch, tqdm):
    if tqdm:
        pytest.importorskip("tqdm")
    else:
        monkeypatch.setitem(sys.modules, "tqdm", None)  # import fails
    quiet = io.StringIO()
    bar = report.progress(10, quiet)
    bar.update(10)
    bar.close()
    assert quiet.getvalue() == ""
    screen = Terminal()
    bar = report.progress(10, screen)
    for _ in range(10):
        bar.update(1)
    bar.close()
    shown = screen.getvalue()
    if tqdm:
        assert "10/10" in shown and "frames/s" in shown
    else:
        assert shown == ""


COUNT_MAIN = """
import runpy, sys
runs = []
def hook(event, args):
    if event == "exec" and getattr(args[0], "co_filename", "").endswith("pyzol/__main__.py"):
        runs.append(args[0].co_filename)
sys.addaudithook(hook)
sys.argv = ["pyzol", *sys.argv[1:]]
try:
    runpy.run_module("pyzol", run_name="__main__", alter_sys=True)
except SystemExit as end:
    print("status", end.code, "runs", len(runs), file=sys.stderr)
"""


@pytest.mark.parametrize("argv", [["record", "--frames", "3", "-o", "run.tif"], ["--frames", "3"]])
def test_the_command_line_loads_its_main_module_once(tmp_path, argv):
    # As `python -m pyzol` runs the package: each time the code of pyzol/__main__.py runs.
    done = subprocess.run([sys.executable, "-P", "-c", COUNT_MAIN, *argv], capture_output=True,
                          text=True, timeout=120, cwd=tmp_path)  # fmt: skip
    assert done.stderr.splitlines()[-1] == "status 0 runs 1", done.stderr
