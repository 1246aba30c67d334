"""The file object the recorder gives tifffile.TiffWriter, so that every page the TIFF file links
to is whole, whenever the process stops (a kill included).

TiffWriter writes a page in this order: the page's offset over the previous page's next-page
offset (or the header's first-page offset), then the page's pixels, then its directory, which
it puts in the room it left before the pixels. A process killed after the first of these writes
leaves a file linking to bytes that were never written. `LinkedLast` orders the writes instead:

- bytes never written before (appended at or past the end of what is written, or put in the
  room a seek past the end left) go to the file at once, unbuffered;
- a write over bytes already written (how TiffWriter links a page, and patches a description)
  is held back, and applied by `commit`, which the recorder calls once TiffWriter's write of the
  page has returned: the page's pixels and directory are in the file by then;
- after a failed write, `cut` drops what is held and cuts the file back to where the last
  commit left it, after the pages linked until then.
"""

from __future__ import annotations

import io
import os
from typing import Any


class LinkedLast:
    """A seekable binary file for writing on the descriptor `fd` of the new, empty file `name`.
    It owns the descriptor from here on: `close` commits what is held and closes it."""

    def __init__(self, fd: int, name: str) -> None:
        self._fd = fd
        self.name = name  # tifffile names the file after it
        self._pos = 0
        self._end = 0  # the end of what is written (or held)
        self._room: list[tuple[int, int]] = []  # spans before _end never written
        self._held: list[tuple[int, bytes]] = []  # (where, bytes): overwrites to commit
        self.committed = 0  # the end of the file as the last commit left it

    # ---- what tifffile uses --------------------------------------------------------------------

    def tell(self) -> int:
        return self._pos

    def seek(self, offset: int, whence: int = os.SEEK_SET) -> int:
        if whence == os.SEEK_SET:
            pos = offset
        elif whence == os.SEEK_CUR:
            pos = self._pos + offset
        elif whence == os.SEEK_END:
            pos = self._end + offset
        else:
            raise ValueError(f"invalid whence ({whence})")
        if pos < 0:
            raise ValueError(f"negative seek position {pos}")
        self._pos = pos
        return pos

    def write(self, data: Any) -> int:
        view = memoryview(data).cast("B")
        at, n = self._pos, len(view)
        if self._overwrites(at, n):
            self._held.append((at, bytes(view)))  # a copy: tifffile reuses its buffers
        else:
            _pwrite(self._fd, view, at)
        self._pos = at + n
        self._end = max(self._end, self._pos)
        return n

    def flush(self) -> None:
        """Nothing to do: what is not held is in the file already, and what is held waits for
        `commit`."""

    def fileno(self) -> int:
        """Not given: tifffile then writes a page's pixels through `write` (the array's bytes)
        instead of with numpy's tofile, which writes on the descriptor through a C stream and,
        when the stream's last bytes fail to go out as it closes, reports nothing (the page is
        short in the file), nor the system's error when a write fails."""
        raise io.UnsupportedOperation("fileno")

    def writable(self) -> bool:
        return True

    def seekable(self) -> bool:
        return True

    # ---- what the recorder uses ----------------------------------------------------------------

    def commit(self) -> None:
        """Applies the writes held back, in their order; called once all a page's own bytes are
        in the file. A commit that fails leaves the page in the file (whole, linked or not): a
        `cut` after it keeps it."""
        self.committed = self._end
        self._room.clear()  # room still left stays empty: a write there is held from here on
        held, self._held = self._held, []
        for at, data in held:
            _pwrite(self._fd, memoryview(data), at)

    def fill_last(self, data: Any) -> None:
        """Writes `data` as the last bytes of the file, into room never written: the pixels of
        an empty page that tifffile has just written. tifffile writes an empty page's pixels by
        seeking over them and writing their last byte, a zero; its directory goes before them.
        Filled here from the recorder's own buffer, the pixels reach the file without a copy.
        Refused (ValueError) where those bytes are not that room, so that nothing written is
        ever overwritten."""
        view = memoryview(data).cast("B")
        at, n = self._end - len(view), len(view)
        # The bytes before the last must be room (taken as written from here on), and all of
        # them after the last commit: part of the page being written, linked by nothing yet.
        if at < self.committed or (n > 1 and self._overwrites(at, n - 1)):
            raise ValueError(f"the last {n} bytes of {self.name!r} are not an empty page's")
        _pwrite(self._fd, view, at)

    def cut(self) -> None:
        """After a failed write: drops the writes held back and cuts the file after the last
        commit, dropping the unlinked bytes after it."""
        self._held.clear()
        self._room.clear()
        self._pos = self._end = self.committed
        if os.fstat(self._fd).st_size > self.committed:
            os.ftruncate(self._fd, self.committed)

    def close(self) -> None:
        """Commits what is held and closes the descriptor (once)."""
        if self._fd < 0:
            return
        try:
            self.commit()
        finally:
            fd, self._fd = self._fd, -1
            os.close(fd)

    # ---- inside --------------------------------------------------------------------------------

    def _overwrites(self, at: int, n: int) -> bool:
        """Whether writing `n` bytes at `at` would overwrite bytes already written; when it
        would not, the span is taken as written from here on."""
        if at >= self._end:
            if at > self._end:
                self._room.append((self._end, at))
            return False
        for i, (start, stop) in enumerate(self._room):
            if start <= at and at + n <= stop:
                self._room[i : i + 1] = [s for s in ((start, at), (at + n, stop)) if s[0] < s[1]]
                return False
        return True


def _pwrite(fd: int, data: memoryview, at: int) -> None:
    """Writes all of `data` at `at` (a write may take part of it)."""
    while data:
        n = os.pwrite(fd, data, at)
        data, at = data[n:], at + n
