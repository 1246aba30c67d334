"""Talk to the camera over the board's serial link: send line commands, read the answers.

The camera at the far end speaks a line protocol: a command ends in a carriage return, and so
does its answer. `write` sends a str as UTF-8; `read_byte` returns each byte as one character
(Latin-1), so `answer.encode("latin-1")` gives the bytes exactly as the camera sent them.

Runs against the simulated boards, whose camera answers "?ID", "MODE?", "MODE=...", "EXP=..."
(and "ERR" to anything else); with the maker's library, use your camera's own commands.

    python examples/serial_camera.py
"""

from pyzol import sim, unit


def ask(link: unit.KX210Sio, command: str) -> str:
    """Sends one command line and returns the camera's answer line, without its ending."""
    link.write(command + "\r")
    answer = ""
    while not answer.endswith("\r"):
        answer += link.read_byte()  # waits up to the link's time-out, then raises
    return answer[:-1]


def main() -> None:
    board = unit.KX210()
    board.open(0, 0)
    link = unit.KX210Sio.from_(board)  # keeps the board alive while the link exists
    link.open()
    link.timeout = 200  # ms for each byte

    print(f"?ID          -> {ask(link, '?ID')}")
    link.set_camera_mode("Fast")  # the library's own command: it checks the camera's "OK"
    print(f"MODE?        -> {ask(link, 'MODE?')}")
    print(f"EXP=2500     -> {ask(link, 'EXP=2500')}")
    print(f"exposure time now {unit.KX210Param.from_(board).exposure_time} (from the board)")
    print(f"BOGUS        -> {ask(link, 'BOGUS')}")

    # A script's own test can check what went over the wire (the simulated rack only).
    print(f"sent: {sim.sio_sent('KX210', 0, 0)!r}")
    link.close()
    board.close()


if __name__ == "__main__":
    main()
