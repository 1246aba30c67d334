"""The live view (pyzol.view) in headless Chromium: the capture rate of a free-running 1920x1080
board with two pages open, against the same board with none, in turns within one run (the board
at a camera's pace of a frame every 5 ms; unpaced, as fast as a core makes frames, in the
reference: on two cores that measures the browser's share of the machine); and the
frames a second a page shows of a free-running 640x480 Mono8 board, at the server's default
bound (60 a second, a display's rate) and without one (what the browser takes).

    python bench/bench_view.py
"""

from __future__ import annotations

import shutil
import sys
import tempfile
import time
from pathlib import Path

from targets import Row

import pyzol

ROUNDS = 8  # windows with pages and without, in turns; the best of each (a shared machine)
FREE = "TriggerCycleTime=0\nExposureTime=0\nTimeout=60000\nPixelFormat=Mono8\n"
# A camera sending a frame every 5 ms (the demo camera's rate): the board's own pace, which the
# view must not slow. Without a period, the simulated board makes frames as fast as a core lets
# it: on a machine of two cores the browser's work then takes from it whatever the view does.
PACED = "TriggerCycleTime=5000\nExposureTime=0\nTimeout=60000\nPixelFormat=Mono8\n"


def chromium() -> str | None:
    return shutil.which("chromium") or shutil.which("chromium-browser")


def camera(folder: Path, width: int, height: int, timing: str = FREE) -> str:
    path = folder / f"cam{width}x{height}-{len(timing)}.txt"
    path.write_text(f"Width={width}\nHeight={height}\n{timing}")
    return str(path)


def board_rate(cam: pyzol.Camera, window: float) -> float:
    """The board's frames a second over `window` seconds, from its count of complete frames."""
    f0, t0 = cam.status().total_frame_count, time.perf_counter()
    time.sleep(window)
    f1, t1 = cam.status().total_frame_count, time.perf_counter()
    return (f1 - f0) / (t1 - t0)


def shown(page) -> None:
    page.wait_for_function(
        "document.querySelector('#frame-number').textContent !== '-'", timeout=30_000
    )


def with_and_without_pages(
    browser, folder: Path, window: float, timing: str
) -> tuple[float, float]:
    """The best capture rate with two pages open and with none, in turns."""
    from pyzol.view import ViewServer

    best = {"none": 0.0, "two": 0.0}
    with pyzol.open("KX210", camera=camera(folder, 1920, 1080, timing)) as cam:
        with ViewServer(cam, str(folder), port=0).in_thread() as server:
            time.sleep(0.2)
            for _ in range(ROUNDS):
                best["none"] = max(best["none"], board_rate(cam, window))
                pages = [browser.new_page(viewport={"width": 1280, "height": 720}) for _ in "ab"]
                for page in pages:
                    page.goto(server.url)
                    shown(page)
                best["two"] = max(best["two"], board_rate(cam, window))
                for page in pages:
                    page.close()
                time.sleep(0.2)  # the sockets closed
    return best["two"], best["none"]


def page_rate(browser, folder: Path, max_fps: float, seconds: float) -> tuple[float, float]:
    """The frames a second the page shows (its own count over the last second, best reading)
    and the board's rate meanwhile."""
    from pyzol.view import ViewServer

    with pyzol.open("KX210", camera=camera(folder, 640, 480)) as cam:
        with ViewServer(cam, str(folder), port=0, max_fps=max_fps).in_thread() as server:
            page = browser.new_page(viewport={"width": 1280, "height": 720})
            page.goto(server.url)
            shown(page)
            page.wait_for_timeout(1200)
            best, end = 0.0, time.monotonic() + seconds
            while time.monotonic() < end:
                best = max(best, float(page.text_content("#page-fps")))
                page.wait_for_timeout(250)
            rate = board_rate(cam, 0.5)
            page.close()
    return best, rate


def summary(quick: bool = True) -> list[Row]:
    keys = [("view_capture", "paced 200/s"), ("view_page_fps", "bound 60/s"),
            ("view_page_fps", "unbound")]  # fmt: skip
    try:
        import aiohttp  # noqa: F401
        from playwright.sync_api import sync_playwright
    except ImportError as e:
        return [Row(key, None, f"needs {e.name}", case) for key, case in keys]
    path = chromium()
    if path is None:
        return [Row(key, None, "no chromium", case) for key, case in keys]
    folder = Path(tempfile.mkdtemp(prefix="bench_view_"))
    try:
        with sync_playwright() as playwright:
            browser = playwright.chromium.launch(executable_path=path, args=["--no-sandbox"])
            try:
                window = 1.0 if quick else 2.0
                two, none = with_and_without_pages(browser, folder, window, PACED)
                fast, alone = with_and_without_pages(browser, folder, window, FREE)
                rows = [
                    Row("view_capture", two / none * 100,
                        f"{two:.0f} frames/s with two pages, {none:.0f} with none; unpaced "
                        f"{fast:.0f} against {alone:.0f} (the browser's share of the cores)",
                        "paced 200/s"),
                ]  # fmt: skip
                for max_fps, case in [(60, "bound 60/s"), (0, "unbound")]:
                    fps, rate = page_rate(browser, folder, max_fps, 2.0 if quick else 6.0)
                    rows.append(Row("view_page_fps", fps, f"board at {rate:.0f} frames/s", case))
                return rows
            finally:
                browser.close()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    for row in summary(quick="--long" not in sys.argv):
        print(row)
