"""The live view: a web page served by the acquisition process, with the frames as they come,
the figures, a histogram, the board's settings, start, stop, one frame and recording
(``pyzol view``; needs ``pip install pyzol[view]``).

    from pyzol.view import ViewServer
    with pyzol.open("KX210", camera=pyzol.demo_camera()) as cam:
        with ViewServer(cam, folder=".", port=0).in_thread() as server:
            print(server.url)
"""

from __future__ import annotations

from .live import Live, Snapshot
from .server import ViewServer, encode_frame, histogram

__all__ = ["Live", "Snapshot", "ViewServer", "encode_frame", "histogram"]
