"""The recorder's TIFF file: uncompressed pages of one strip each, written so that every page the
file links to is whole, whenever the process stops (a kill included).

A page is written in this order: its pixels, then its directory (the tags, with the ImageDescription
and the other values that do not fit in a tag after it), and only once both are in the file is the
page linked, by writing its directory's offset over the previous page's next-page offset (or the
header's first-page offset). Each of these goes to the file at once (no buffer in the process), so
the chain of pages never points to bytes that were not written: a process killed between two writes
leaves at most an unlinked tail, which readers do not see and `cut` removes.

Classic TIFF (offsets of 32 bits, files up to 4 GiB) or BigTIFF (64 bits), in the machine's byte
order; gray pages have one sample per pixel, RGB pages three, of 8 or 16 bits."""

from __future__ import annotations

import errno
import os
import struct
import sys

# Tag types
_ASCII, _SHORT, _LONG, _LONG8 = 2, 3, 4, 16
_TYPE_CODE = {_SHORT: "H", _LONG: "I", _LONG8: "Q"}
_TAGS = 12  # entries in each page's directory (see _tags)


class PageWriter:
    """Appends pages of `height` x `width` pixels of `samples` samples (1: gray, 3: RGB) of
    `bits` bits (8 or 16) to the new TIFF file open for writing on the descriptor `fd`, which it
    owns from here on (`close` closes it)."""

    def __init__(
        self, fd: int, width: int, height: int, samples: int, bits: int, bigtiff: bool
    ) -> None:
        self._fd = fd
        self._order = "<" if sys.byteorder == "little" else ">"
        self.bigtiff = bigtiff
        self._offset = "Q" if bigtiff else "I"
        self._offset_size = 8 if bigtiff else 4
        self._limit = 2**64 - 1 if bigtiff else 2**32 - 1
        self._page_bytes = width * height * samples * bits // 8
        self._width, self._height, self._samples, self._bits = width, height, samples, bits
        head = b"II" if self._order == "<" else b"MM"
        if bigtiff:
            head += struct.pack(self._order + "HHHQ", 43, 8, 0, 0)
            self._link = 8  # where the offset of the first page is
        else:
            head += struct.pack(self._order + "HI", 42, 0)
            self._link = 4
        self._write(head)
        self.pages = 0  # pages linked into the file
        self.end = len(head)  # where the last linked page ends: all after it is unlinked

    def write(self, pixels: memoryview | bytes, description: str, software: str) -> None:
        """Writes one page, then links it into the file. `pixels` are the page's bytes, rows
        from the top, samples of a pixel together, in the machine's byte order."""
        data = memoryview(pixels).cast("B")
        if len(data) != self._page_bytes:
            raise ValueError(f"a page holds {self._page_bytes} bytes, not {len(data)}")
        at = self.end
        ifd_at = at + len(data) + (at + len(data)) % 2  # a directory starts on an even offset
        ifd = self._directory(ifd_at, at, description, software)
        if ifd_at + len(ifd) > self._limit:
            raise OSError(
                errno.EFBIG, "the page would pass the 4 GiB a classic TIFF file addresses"
            )
        os.lseek(self._fd, at, os.SEEK_SET)
        self._write(data)
        self._write(bytes(ifd_at - at - len(data)) + ifd)
        # Linked last: the page is whole in the file before any reader can find it.
        os.pwrite(self._fd, struct.pack(self._order + self._offset, ifd_at), self._link)
        self._link = ifd_at + self._entries_size()
        self.pages += 1
        self.end = ifd_at + len(ifd)

    def close(self) -> None:
        os.close(self._fd)

    def _entries_size(self) -> int:
        """Bytes from a directory's start to its next-page offset."""
        return (8 + _TAGS * 20) if self.bigtiff else (2 + _TAGS * 12)

    def _tags(
        self, data_at: int, description: str, software: str
    ) -> list[tuple[int, int, bytes | list[int]]]:
        strip = _LONG8 if self.bigtiff else _LONG
        return [
            (256, _LONG, [self._width]),
            (257, _LONG, [self._height]),
            (258, _SHORT, [self._bits] * self._samples),
            (259, _SHORT, [1]),  # no compression
            (262, _SHORT, [2 if self._samples == 3 else 1]),  # RGB or black is zero
            (270, _ASCII, description.encode("ascii") + b"\0"),
            (273, strip, [data_at]),
            (277, _SHORT, [self._samples]),
            (278, _LONG, [self._height]),  # one strip
            (279, strip, [self._page_bytes]),
            (284, _SHORT, [1]),  # samples of a pixel together
            (305, _ASCII, software.encode("ascii") + b"\0"),
        ]

    def _directory(self, ifd_at: int, data_at: int, description: str, software: str) -> bytes:
        """A page's directory written at `ifd_at`: the entries, a next-page offset of 0, then
        the values too long for an entry (each on an even offset)."""
        order, tags = self._order, self._tags(data_at, description, software)
        inline = 8 if self.bigtiff else 4
        entries, values = [], b""
        values_at = ifd_at + self._entries_size() + self._offset_size
        for tag, kind, value in tags:
            if isinstance(value, bytes):
                raw = value
            else:
                raw = struct.pack(f"{order}{len(value)}{_TYPE_CODE[kind]}", *value)
            count = len(value)
            if len(raw) <= inline:
                field = raw.ljust(inline, b"\0")
            else:
                field = struct.pack(order + self._offset, values_at + len(values))
                values += raw + b"\0" * (len(raw) % 2)
            head = struct.pack(order + ("HHQ" if self.bigtiff else "HHI"), tag, kind, count)
            entries.append(head + field)
        count_field = struct.pack(order + ("Q" if self.bigtiff else "H"), len(tags))
        next_page = bytes(self._offset_size)
        return count_field + b"".join(entries) + next_page + values

    def _write(self, data: memoryview | bytes) -> None:
        view = memoryview(data)
        while view:
            view = view[os.write(self._fd, view) :]


def cut(path: str, end: int) -> None:
    """Cuts the file after the last page it links to (`end`), dropping what a failed write
    left after it."""
    with open(path, "r+b", buffering=0) as f:
        if os.fstat(f.fileno()).st_size > end:
            f.truncate(end)
