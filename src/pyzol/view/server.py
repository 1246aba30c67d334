"""The live view's web server (aiohttp): the page, and one WebSocket per page that carries the
frames, the status and the page's requests.

What a page may do is fixed here: write a setting (through the board object's settings mapping,
the checks a script's writes get), start, stop, take one frame, record into the start-up folder
under a generated name, and end that recording. It names no path and calls nothing else.

On 127.0.0.1 (the default) the server takes requests for that host only (a page of another
site that resolves its name to this machine is refused). On any other address every request and
WebSocket carries the token printed at start-up: in the URL (``?token=``), the header
``X-Pyzol-Token`` or the cookie the page gets with it. A WebSocket opened by a page of another
origin is refused everywhere.
"""

from __future__ import annotations

import asyncio
import contextlib
import hmac
import ipaddress
import json
import math
import os
import secrets
import socket
import struct
import threading
import time
from collections.abc import Iterator
from importlib import resources
from typing import Any
from urllib.parse import urlsplit

import numpy
from aiohttp import WSMsgType, web

from ..board_objects import Camera, IOBoard
from ..boards import frame_format
from .live import Live, Snapshot

__all__ = ["ViewServer", "encode_frame", "histogram"]

TOKEN_HEADER = "X-Pyzol-Token"
TOKEN_COOKIE = "pyzol_token"
MAX_MESSAGE = 64 * 1024  # the largest WebSocket message or request body taken
STATUS_PERIOD = 0.25  # seconds between status messages
MAX_SIDE = 8192  # the largest frame region a page may ask for, in pixels a side
HISTOGRAM_SAMPLES = 1 << 18  # pixels the histogram is taken over, at most
_LOOPBACK_NAMES = {"localhost", "127.0.0.1", "::1"}
_ASSETS = {"/view.js": "application/javascript", "/view.css": "text/css"}


def is_loopback(host: str) -> bool:
    """Whether `host` (an address or "localhost") is this machine's loopback address."""
    if host == "localhost":
        return True
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        return False


# ---- frames for the page ---------------------------------------------------------------------


def histogram(snap: Snapshot) -> list[list[int]]:
    """256 bins over the frame's real depth (a 12-bit frame's 0 to 4095), one list per colour
    sample (one for a gray frame), from at most `HISTOGRAM_SAMPLES` pixels spread over it."""
    array, fmt = snap.array, snap.format
    step = max(1, math.ceil(math.sqrt(array.shape[0] * array.shape[1] / HISTOGRAM_SAMPLES)))
    sampled = array[::step, ::step]
    shift = max(0, fmt.bits - 8) if array.dtype == numpy.uint16 else 0
    planes = [sampled[..., i] for i in range(3)] if fmt.colour else [sampled]
    if fmt.bgr:
        planes.reverse()
    return [
        numpy.bincount(numpy.minimum(p.ravel() >> shift, 255), minlength=256).tolist()
        for p in planes
    ]


def encode_frame(snap: Snapshot, request: dict[str, Any], hist: list[list[int]]) -> bytes:
    """One frame message: a 4-byte little-endian header length, the JSON header (padded so
    that the samples start at a multiple of 8) and the samples of the region the page asked
    for (``x0``, ``y0``, ``x1``, ``y1``), every `step`-th pixel of it so that it fits
    ``cols`` x ``rows``; 16-bit samples little-endian, colour samples in the board's order."""
    array, fmt = snap.array, snap.format
    height, width = array.shape[:2]
    x0 = max(0, min(request["x0"], width - 1))
    y0 = max(0, min(request["y0"], height - 1))
    x1 = min(max(x0 + 1, request["x1"]), width)
    y1 = min(max(y0 + 1, request["y1"]), height)
    step = max(1, math.ceil((x1 - x0) / request["cols"]), math.ceil((y1 - y0) / request["rows"]))
    sub = numpy.ascontiguousarray(array[y0:y1:step, x0:x1:step])
    if sub.dtype == numpy.uint16:
        sub = sub.astype("<u2", copy=False)
    header = {
        "type": "frame", "number": snap.number, "seq": snap.seq, "width": width,
        "height": height, "x0": x0, "y0": y0, "step": step, "cols": sub.shape[1],
        "rows": sub.shape[0], "format": fmt.pixel_format.name, "bits": fmt.bits,
        "channels": 3 if fmt.colour else 1, "bgr": fmt.bgr, "sample_bytes": sub.itemsize,
        "histogram": hist,
    }  # fmt: skip
    text = json.dumps(header).encode()
    text += b" " * (-(len(text) + 4) % 8)
    return struct.pack("<I", len(text)) + text + sub.tobytes()


# ---- what the page asks -----------------------------------------------------------------------


class Refused(Exception):
    """A message of the page that the server does not take; its text goes back to the page."""


def _whole(message: dict[str, Any], name: str, low: int, high: int) -> int:
    value = message.get(name)
    if isinstance(value, bool) or not isinstance(value, int) or not low <= value <= high:
        raise Refused(f"{name!r} is a whole number {low} to {high}")
    return value


def frame_request(message: dict[str, Any]) -> dict[str, int]:
    """The region and size of a "ready" message, checked."""
    found = {n: _whole(message, n, 0, 1 << 20) for n in ("x0", "y0", "x1", "y1")}
    found.update({n: _whole(message, n, 1, MAX_SIDE) for n in ("cols", "rows")})
    return found


def error_text(error: BaseException) -> dict[str, Any]:
    """An error as the page shows it: its text and its notes."""
    return {
        "error": str(error) or type(error).__name__,
        "notes": list(getattr(error, "__notes__", ())),
    }


def settings_table(board: Camera | IOBoard) -> list[dict[str, Any]]:
    """Every readable setting with its kind, access and value now, then the write-only ones."""
    settings = board.settings
    rows = []
    names = list(settings) + [n for n in settings.writable if n not in settings]
    for name in names:
        info = settings.describe(name)
        row: dict[str, Any] = {"name": name, "kind": info.kind, "access": info.access}
        if info.access != "write":
            try:
                value = settings[name]
                row["value"] = value.decode(errors="replace") if isinstance(value, bytes) else value
            except Exception as e:  # noqa: BLE001 - shown in the row
                row.update(error_text(e))
        rows.append(row)
    return rows


class _Page:
    """One open page: its socket, the region it asked for, the last frame it was sent."""

    def __init__(self, ws: web.WebSocketResponse) -> None:
        self.ws = ws
        self.request: dict[str, int] | None = None
        self.seen = 0
        self.sending = False


class ViewServer:
    """Serves the live view of `camera` (and of the I/O board `io`, when given) on `host` and
    `port` (0: any free port), recordings going into `folder`. `token` is required on any
    address but a loopback one (a new one when not given). `serve()` runs it until Ctrl-C;
    `in_thread()` runs it on a thread of its own."""

    def __init__(
        self, camera: Camera, folder: str, *, io: IOBoard | None = None,
        host: str = "127.0.0.1", port: int = 8470, token: str | None = None,
        max_fps: float = 60.0, ring: int = 8, start: bool = True,
    ) -> None:  # fmt: skip
        self.camera: Camera = camera
        self.io: IOBoard | None = io
        self.host: str = host
        self.port: int = port
        self.folder = folder
        self.loopback: bool = is_loopback(host)
        self.token: str = token or secrets.token_urlsafe(18)
        self.live: Live = Live(camera, folder, ring, max_fps, published=self._published)
        self.pages: set[_Page] = set()
        self._start = start
        self._loop: asyncio.AbstractEventLoop | None = None
        self._runner: web.AppRunner | None = None
        self._control = asyncio.Lock()
        self._hist: tuple[int, list[list[int]]] = (0, [])
        self._rate: tuple[float, int] | None = None
        self._fps = 0.0
        self.ended: asyncio.Event = asyncio.Event()

    # ---- addresses -------------------------------------------------------------------------------
    @property
    def url(self) -> str:
        """The page's address (with the token where one is needed)."""
        host = self.host if self.host not in ("0.0.0.0", "::", "") else _hostname()
        host = f"[{host}]" if ":" in host else host
        query = "" if self.loopback else f"?token={self.token}"
        return f"http://{host}:{self.port}/{query}"

    # ---- the application -------------------------------------------------------------------------
    def app(self) -> web.Application:
        @web.middleware
        async def guard(request: web.Request, handler: Any) -> web.StreamResponse:
            return await self._guard(request, handler)

        app = web.Application(client_max_size=MAX_MESSAGE, middlewares=[guard])
        app.router.add_get("/", self._index)
        for path in _ASSETS:
            app.router.add_get(path, self._asset)
        app.router.add_get("/ws", self._socket)
        app.router.add_get("/favicon.ico", _no_content)
        app.on_shutdown.append(self._close_pages)
        return app

    async def _guard(self, request: web.Request, handler: Any) -> web.StreamResponse:
        if self.loopback:
            if (request.url.host or "") not in _LOOPBACK_NAMES:
                raise web.HTTPForbidden(text="this server answers requests for 127.0.0.1 only")
        else:
            given = (
                request.query.get("token")
                or request.headers.get(TOKEN_HEADER)
                or request.cookies.get(TOKEN_COOKIE)
                or ""
            )
            if not hmac.compare_digest(given.encode(), self.token.encode()):
                raise web.HTTPForbidden(text="a token is needed: the one printed at start-up")
        return await handler(request)  # type: ignore[no-any-return]

    async def _index(self, request: web.Request) -> web.Response:
        response = web.Response(text=_asset_text("view.html"), content_type="text/html")
        if not self.loopback:
            response.set_cookie(TOKEN_COOKIE, self.token, httponly=True, samesite="Strict")
        response.headers["Cache-Control"] = "no-store"
        return response

    async def _asset(self, request: web.Request) -> web.Response:
        path = request.path
        return web.Response(text=_asset_text(path[1:]), content_type=_ASSETS[path])

    # ---- the page's socket -----------------------------------------------------------------------
    async def _socket(self, request: web.Request) -> web.WebSocketResponse:
        origin = request.headers.get("Origin")
        if origin is not None and urlsplit(origin).netloc != request.host:
            raise web.HTTPForbidden(text="a page of another origin")
        ws = web.WebSocketResponse(max_msg_size=MAX_MESSAGE, heartbeat=20)
        await ws.prepare(request)
        page = _Page(ws)
        self.pages.add(page)
        try:
            await self._send_json(page, await self._board_message())
            await self._send_json(page, await self._status_message())
            async for message in ws:
                if message.type != WSMsgType.TEXT:
                    await self._send_json(
                        page, {"type": "error", "error": "messages are JSON text"}
                    )
                    continue
                await self._answer(page, message.data)
        finally:
            self.pages.discard(page)
        return ws

    async def _answer(self, page: _Page, text: str) -> None:
        try:
            try:
                message = json.loads(text)
            except ValueError:
                raise Refused("a message is a JSON object") from None
            if not isinstance(message, dict) or not isinstance(message.get("type"), str):
                raise Refused('a message is a JSON object with a "type"')
            kind = message["type"]
            if kind == "ready":
                page.request = frame_request(message)
                self._feed(page)
            elif kind in ("start", "stop", "snap", "record", "end_recording"):
                await self._command(page, kind, message)
            elif kind == "set":
                await self._set(page, message)
            else:
                raise Refused(f"no message type {kind!r}")
        except Refused as e:
            await self._send_json(page, {"type": "error", "error": str(e)})
        except Exception as e:  # noqa: BLE001 - the page is told, the server goes on
            await self._send_json(page, {"type": "error", **error_text(e)})

    async def _command(self, page: _Page, kind: str, message: dict[str, Any]) -> None:
        live = self.live
        if kind == "record":
            async with self._control:
                try:
                    count = message.get("frames")
                    if count is not None:
                        count = _whole(message, "frames", 1, 2**31 - 1)
                    name = await asyncio.to_thread(live.record, count)
                except Exception as e:  # noqa: BLE001 - shown beside the record button
                    await self._send_json(page, {"type": "recording", "ok": False, **error_text(e)})
                    return
            await self._broadcast({"type": "recording", "ok": True, "file": name, "frames": count})
        else:
            action = {"start": live.start, "stop": live.stop, "snap": live.snap,
                      "end_recording": live.stop_recording}[kind]  # fmt: skip
            async with self._control:
                await asyncio.to_thread(action)
        await self._broadcast(await self._status_message())

    async def _set(self, page: _Page, message: dict[str, Any]) -> None:
        target = message.get("board", "camera")
        board = self.io if target == "io" else self.camera if target == "camera" else None
        name, value = message.get("name"), message.get("value")
        if board is None:
            raise Refused(f"no board {target!r} here")
        if not isinstance(name, str):
            raise Refused('"name" is a setting name')
        async with self._control:
            try:
                await asyncio.to_thread(self._write, board, name, value)
            except Exception as e:  # noqa: BLE001 - shown beside the field
                answer = {
                    "type": "set",
                    "board": target,
                    "name": name,
                    "ok": False,
                    **error_text(e),
                }
                await self._send_json(page, answer)
                return
        await self._send_json(page, {"type": "set", "board": target, "name": name, "ok": True})
        await self._broadcast(await self._board_message())

    def _write(self, board: Camera | IOBoard, name: str, value: object) -> None:
        # The settings mapping checks the name and the value as for a script.
        if board is not self.camera or self.live.state != "running":
            board.settings[name] = value  # type: ignore[assignment]
            return
        before = frame_format(self.camera._board("settings"))
        board.settings[name] = value  # type: ignore[assignment]
        if frame_format(self.camera._board("settings")) != before:
            # A new frame size or format: the live stream starts again on a ring that fits it.
            self.live.stop()
            self.live.start()

    # ---- what the server sends -------------------------------------------------------------------
    async def _board_message(self) -> dict[str, Any]:
        def read() -> dict[str, Any]:
            message: dict[str, Any] = {
                "type": "board", "kind": self.camera.kind, "id": self.camera.id,
                "channel": self.camera.channel, "settings": settings_table(self.camera),
                "io": None,
            }  # fmt: skip
            if self.io is not None:
                message["io"] = {"kind": self.io.kind, "id": self.io.id,
                                 "settings": settings_table(self.io)}  # fmt: skip
            return message

        return await asyncio.to_thread(read)

    async def _status_message(self) -> dict[str, Any]:
        return await asyncio.to_thread(self._status)

    def _status(self) -> dict[str, Any]:
        live = self.live
        message: dict[str, Any] = {"type": "status", "state": live.state, "shown": live.shown,
                                   "overrun": live.overrun}  # fmt: skip
        try:
            status = self.camera.status()
            message["board"] = status._asdict()
            total = status.total_frame_count
            message["total"] = total
            now = time.monotonic()
            if self._rate is not None:
                then, before = self._rate
                if total >= before and now > then:
                    self._fps = (total - before) / (now - then)
            self._rate = (now, total)
            if live.state not in ("running", "recording"):
                self._fps = 0.0
            message["fps"] = round(self._fps, 1)
        except Exception as e:  # noqa: BLE001 - a board closed: the page says so
            message["board_error"] = str(e)
        rec = live.recording or live.last_recording
        if rec is not None:
            p = rec.progress
            message["recording"] = {
                "file": os.path.basename(rec.path), "written": p.written, "count": rec.count,
                "dropped": rec.dropped, "missed": rec.missed, "done": rec.done,
                "frames_per_s": round(p.frames_per_s, 1), "error": live.record_error,
            }  # fmt: skip
        if self.io is not None:
            try:
                message["io"] = {"inputs": self.io.inputs, "outputs": self.io.outputs}
            except Exception as e:  # noqa: BLE001
                message["io"] = error_text(e)
        return message

    async def _send_json(self, page: _Page, message: dict[str, Any]) -> None:
        if not page.ws.closed:
            with contextlib.suppress(ConnectionError, RuntimeError):
                await page.ws.send_str(json.dumps(message))

    async def _broadcast(self, message: dict[str, Any]) -> None:
        text = json.dumps(message)
        for page in list(self.pages):
            if not page.ws.closed:
                with contextlib.suppress(ConnectionError, RuntimeError):
                    await page.ws.send_str(text)

    # ---- frames ----------------------------------------------------------------------------------
    def _published(self) -> None:
        # From the live thread or the recorder's writer thread.
        loop = self._loop
        if loop is not None and not loop.is_closed():
            with contextlib.suppress(RuntimeError):
                loop.call_soon_threadsafe(self._feed_all)

    def _feed_all(self) -> None:
        for page in list(self.pages):
            self._feed(page)

    def _feed(self, page: _Page) -> None:
        """Sends `page` the newest frame when it asked for one it has not had; otherwise asks
        the capture side for a new one."""
        if page.request is None or page.sending or page.ws.closed:
            return
        snap = self.live.latest
        if snap is None or snap.seq <= page.seen:
            self.live.wanted.set()
            return
        page.sending = True
        request, page.request = page.request, None
        asyncio.ensure_future(self._send_frame(page, snap, request))

    async def _send_frame(self, page: _Page, snap: Snapshot, request: dict[str, int]) -> None:
        try:
            if self._hist[0] != snap.seq:
                self._hist = (snap.seq, await asyncio.to_thread(histogram, snap))
            data = await asyncio.to_thread(encode_frame, snap, request, self._hist[1])
            page.seen = snap.seq
            if not page.ws.closed:
                await page.ws.send_bytes(data)
        except (ConnectionError, RuntimeError):
            pass
        finally:
            page.sending = False
        # The page may have asked again while this frame was on its way (the send waits for the
        # socket to drain, and the page's messages are read meanwhile): that request is served
        # now, or it would wait for a frame nobody asked the capture side for.
        self._feed(page)

    async def _statuses(self) -> None:
        while True:
            await asyncio.sleep(STATUS_PERIOD)
            if self.pages:
                with contextlib.suppress(Exception):
                    await self._broadcast(await self._status_message())

    async def _close_pages(self, app: web.Application) -> None:
        for page in list(self.pages):
            with contextlib.suppress(Exception):
                await page.ws.close(code=1001, message=b"the server ends")

    # ---- running ---------------------------------------------------------------------------------
    async def start(self) -> None:
        """Starts the live stream (unless made with start=False) and listens."""
        self._loop = asyncio.get_running_loop()
        if self._start:
            await asyncio.to_thread(self.live.start)
        self._runner = web.AppRunner(self.app(), handle_signals=False, access_log=None)
        await self._runner.setup()
        site = web.TCPSite(self._runner, self.host, self.port)
        await site.start()
        server = getattr(site, "_server", None)
        if server is not None and server.sockets:
            self.port = server.sockets[0].getsockname()[1]
        self._status_task = asyncio.ensure_future(self._statuses())

    async def close(self) -> None:
        """Ends the recording (its file whole), the pages, the server and the live stream."""
        task = getattr(self, "_status_task", None)
        if task is not None:
            task.cancel()
        await asyncio.to_thread(self.live.close)
        if self._runner is not None:
            await self._runner.cleanup()
            self._runner = None

    async def serve(self, started: Any = None) -> None:
        """Runs until `ended` is set; calls `started()` once listening."""
        await self.start()
        try:
            if started is not None:
                started()
            await self.ended.wait()
        finally:
            await self.close()

    @contextlib.contextmanager
    def in_thread(self) -> Iterator[ViewServer]:
        """Runs the server on a thread of its own while the block runs."""
        ready = threading.Event()
        failure: list[BaseException] = []

        def run() -> None:
            async def main() -> None:
                self.ended = asyncio.Event()
                try:
                    await self.serve(ready.set)
                except BaseException as e:
                    failure.append(e)
                    ready.set()

            asyncio.run(main())

        thread = threading.Thread(target=run, name="pyzol-view-server", daemon=True)
        thread.start()
        ready.wait()
        if failure:
            raise failure[0]
        try:
            yield self
        finally:
            loop = self._loop
            if loop is not None and not loop.is_closed():
                loop.call_soon_threadsafe(self.ended.set)
            thread.join()


async def _no_content(request: web.Request) -> web.Response:
    return web.Response(status=204)


def _hostname() -> str:
    return socket.gethostname()


def _asset_text(name: str) -> str:
    return (resources.files(__package__) / "page" / name).read_text(encoding="utf-8")
