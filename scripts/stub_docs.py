"""The documentation of the shipped stubs: names for the parameters that the modules take by
position only, precise types where the run-time signature says less than the converters accept,
and one line of documentation for every class, member and function.

`pyzol.unit` carries no documentation at run time (its docstrings are its signatures), so every
one of its classes and members has an entry here. `pyzol.core` and `pyzol.sim` document
themselves: their entries only fill what their run-time docstrings leave out. scripts/stubs.py
merges this table into what it generates from the built modules, and refuses an entry that names
no member, a member of `unit` without an entry, and an entry whose parameters no longer match.

An entry is `M(doc, params, type)`:
  doc     one line; for an overloaded member a list, one line per overload (after the overloads
          that can never be reached are dropped: a wide-path overload after the narrow one).
  params  the parameters after `self`, as in a `def`: "index, state" names parameters that have
          no name at run time (they become positional-only); "images: list[...]" also gives a
          type; a parameter named at run time keeps its name. A list holds one per overload.
  type    the result of a method, or the type of a property or attribute.
In the texts, {cls} is the class and {board} the board class a companion belongs to.
"""

from __future__ import annotations

from typing import NamedTuple


class M(NamedTuple):
    doc: str | list[str] | None = None
    params: str | list[str | None] | None = None
    type: str | None = None


class C(NamedTuple):
    doc: str | None
    members: dict[str, M]
    board: str = ""


# What the converters take: a narrow path is a str (as UTF-8), bytes or bytearray; a wide path a
# str; None passes a null path to the library, which decides.
PATH = "str | bytes | bytearray | None"
WIDE_PATH = "str | None"
# A list of images, None for a null entry (a list of images alone is accepted too).
IMAGES = "list[pyzol.core.CxImage] | list[pyzol.core.CxImage | None]"
MODULE = "pyzol.core.IxModule | None"
VALUE = "typing.SupportsIndex | str | bytes | bytearray"

# ---- shared by several classes ------------------------------------------------------------------

ENUM = {
    "__init__": M(
        "The member of this value (a value that names no member is accepted too).", "value"
    ),
    "__eq__": M("Whether both are the same member (never equal to a plain int)."),
    "__ne__": M("Whether the members differ."),
    "__hash__": M("Hash of the value."),
    "__index__": M("The value, where Python wants an integer."),
    "__int__": M("The value."),
    "__repr__": M("<Class.NAME: value>"),
    "__str__": M("Class.NAME"),
    "__getstate__": M("The value, for pickling."),
    "__setstate__": M("Restores the value, for unpickling.", "state"),
    "__members__": M("Every member by name."),
    "name": M("The member's name ('???' for a value that names none)."),
    "value": M("The member's value."),
}

# Handles compare the library object they refer to and cannot be hashed.
COMPARED = {
    "__eq__": M("Whether both refer to the same library object (the same board, channel, ...)."),
    "__ne__": M("Whether they refer to different library objects."),
    "__hash__": M("None: a {cls} cannot be hashed (it defines equality)."),
}
COPIED = {
    "__init__": M(
        ["A {cls} that refers to no board yet.", "A copy that refers to the same board."],
        [None, "other"],
    ),
}
BOARD = COMPARED | {
    "dispose": M("Lets go of the board for good; is_valid tells what is left."),
    "is_valid": M("Whether the object still refers to a usable board."),
    "close": M("Closes the board; a wait in progress ends."),
}
RECORD = {
    "__eq__": M("Whether every field of both records is equal."),
    "__ne__": M("Whether some field differs."),
    "__hash__": M("None: a {cls} cannot be hashed (it defines equality)."),
}
COMPANION = COMPARED | {
    "from_": M("A new {cls} that belongs to `board`.", "board: {board} | None", "{cls}"),
    "__init__": M("A {cls} that belongs to no board yet; set its controller."),
    "is_valid": M("Whether the object is usable."),
    "controller": M(
        "The {board} this belongs to, or None; assigning ties it to another.", type="{board} | None"
    ),
}
COPIED_COMPANION = COMPANION | {
    "__init__": M(
        [
            "A {cls} that belongs to no board yet; set its controller.",
            "A copy that belongs to the same board.",
        ],
        [None, "other"],
    ),
}
REGISTERS = {
    "set_register": M("Writes `value` to register number `register`.", "register, value"),
    "get_register": M("The value of register number `register`.", "register"),
}
NO_COMMANDS = {
    "send_command": M("Always fails (RuntimeError): a {cls} accepts no command.", "command"),
}
BY_NAME = {
    "get_param": M(
        "The setting called `name`: an int, or a str for the text settings (bytes that are not"
        " UTF-8 as surrogates).",
        "name",
    ),
    "set_param": M(
        "Sets the setting called `name` to `value` (an int, or a str for text).",
        f"name, value: {VALUE}",
    ),
}
SETTINGS = REGISTERS | BY_NAME
INT_SETTINGS = REGISTERS | {
    "get_param": M("The setting called `name` (an int).", "name"),
    "set_param": M(
        "Sets the setting called `name` to the int `value`.", "name, value: typing.SupportsIndex"
    ),
}

DIO_BOARD = BOARD | {
    "__init__": M("An {cls} that is not open yet."),
    "open": M("Opens board number `id`.", "id"),
    "is_opened": M("Whether the board is open."),
    "read": M(
        ["The input word: bit i is input i.", "Whether input `index` is on."], [None, "index"]
    ),
    "write": M(
        ["Sets the outputs to the bits of `word`.", "Turns output `index` on or off."],
        ["word", "index, state"],
    ),
    "write_status": M(
        ["The output word as last written.", "Whether output `index` is on."], [None, "index"]
    ),
    "abort": M("Ends a wait() in progress (from another thread): it reports ABORT."),
}

WAIT_RECORD = RECORD | {
    "__init__": M(
        ["A record of zeros.", "A record of these fields."],
        [None, "event_status, di_event_status, di"],
    ),
    "event_status": M("Code of the event that ended the wait (EventStatus: 1 INT to 4 ABORT)."),
    "di_event_status": M("The digital inputs whose enabled edge occurred, as a word."),
    "di": M("The input word when the wait ended."),
}

DIO_PARAMS = (
    COMPANION
    | NO_COMMANDS
    | {
        "timeout": M(
            "How long wait() waits for an event, in ms (negative: for ever, 0: just look)."
        ),
    }
)
DI_MASKS = {
    "di_enable": M("Inputs that take part in events, as a bit mask."),
    "di_edge": M("Per input, the edge that makes an event: bit set rising, clear falling."),
    "di_wait_enable": M("Inputs whose event ends wait(), as a bit mask (0: all enabled ones)."),
}

CAPTURE_BOARD = (
    BOARD
    | COPIED
    | {
        "open": M("Opens channel `ch` of board number `id`.", "id, ch"),
        "is_opened": M("Whether the board is open."),
        "save": M("Writes the board's settings to the camera file `path`.", f"path: {PATH}"),
        "save_w": M(
            "save() with the path handed to the library as wide characters.", f"path: {WIDE_PATH}"
        ),
        "validate": M(
            [
                "Checks that `image` can take the board's frames.",
                "Checks that every image of the list can take the board's frames.",
            ],
            ["image", f"images: {IMAGES}"],
        ),
        "lock": M(
            [
                "Gives the board one image to capture into (it holds it until unlock).",
                "Gives the board a ring of images to capture into (it holds them until unlock).",
            ],
            ["image, option", f"images: {IMAGES}, option"],
        ),
        "unlock": M("Takes the images back from the board."),
        "start": M("Starts capturing into the locked images; `num` frames, or without end for 0."),
        "stop": M("Stops capturing."),
        "wait": M("Blocks until the capture ends (the Timeout setting bounds the wait)."),
        "is_running": M("Whether the board is capturing."),
        "status": M("The capture state: 0 idle, 1 running, 2 done, 3 aborted."),
        "num": M("Frames to capture after start(); 0 for no end."),
        "lock_id": M("The lock id the board keeps with its images (LockId)."),
    }
)
NUMBERED_STATUS = {
    "wait_status": M(
        [
            "Blocks until the capture ends and returns its status.",
            "Blocks until frame number `frame` is complete (or the capture ends); its status.",
        ],
        [None, "frame"],
    ),
    "query_status": M(
        ["The capture status now.", "The capture status now, with respect to frame `frame`."],
        [None, "frame"],
    ),
    "abort": M(
        ["Ends the capture at once.", "Ends the capture at once (`option`: how)."], [None, "option"]
    ),
    "force_trigger": M("Triggers one frame when the board waits for a trigger."),
}
FROM_FILE = M(
    [
        "A {cls} opened and set up from the camera file `camerafile`.",
        "A {cls} opened as board `id`, channel `ch`, and set up from `camerafile`.",
    ],
    [f"camerafile: {PATH}, option", f"camerafile: {PATH}, id, ch, option"],
)
SETUP = M("Applies the camera file `camerafile` to the open board.", f"camerafile: {PATH}, option")

CAPTURE_STATUS = RECORD | {
    "total_frame_count": M("Frames captured in total since start()."),
    "amount_in_frame": M("Progress within the current frame, as the board reports it."),
    "last_frame_no": M("Number of the last frame captured."),
    "line_count": M("Lines captured, as the board reports it."),
}
KX210_STATUS = CAPTURE_STATUS | {
    "__init__": M(
        ["A record of zeros.", "A record of these fields."],
        [
            None,
            "total_frame_count, amount_in_frame, last_frame_no, line_count, "
            "dma_schedule_peak, capture_event",
        ],
    ),
    "dma_schedule_peak": M("Peak of the board's DMA schedule, as the board reports it."),
    "capture_event": M("Capture events as bits: 1 frame end, 2 capture end, 4 aborted."),
}

SERIAL_LINK = COPIED_COMPANION | {
    "open": M("Opens the serial link to the camera."),
    "close": M("Closes the serial link."),
    "purge": M("Drops what the link has received and not yet read."),
    "is_opened": M("Whether the link is open."),
    "timeout": M("How long a read waits for the camera's bytes, in ms."),
    "write_byte": M("Sends one character (code point 0 to 255) as one byte.", "char"),
    "read_byte": M("The next byte from the camera, as a one-character str."),
    "write": M("Sends `text` to the camera (up to its first NUL character).", "text"),
    "read": M("Reads `size` bytes from the camera, as a str of `size` characters.", "size"),
    "set_camera_mode": M("Switches the camera to mode `mode`.", "mode"),
}

ENCODER = (
    COPIED_COMPANION
    | NO_COMMANDS
    | INT_SETTINGS
    | {
        "encoder_mode": M("How the A and B inputs are counted (the EncoderMode setting)."),
        "sampling": M("Sampling of the encoder inputs (ENCSampling)."),
        "start": M("The ENCStart setting: when the unit starts counting."),
        "dir": M("Counting direction: 0 forward, otherwise backward."),
        "comp1": M("The compare value: match_counter counts each arrival of the count at it."),
        "comp2": M("Second compare value (0 to 4294967295)."),
        "swap_ab": M("Non-zero: inputs A and B are swapped (the count runs the other way)."),
        "match_counter": M("Times the count matched the compare value."),
        "rel_counter": M("The relative counter (never negative)."),
    }
)
for _name in ("get_register", "set_register"):
    del ENCODER[_name]

VIDEO_SETTINGS = {
    "trigger_mode": M("Trigger mode: 0 runs free, otherwise each frame waits for a trigger."),
    "exposure_time": M("Exposure time in µs (the frame period when there is no trigger cycle)."),
    "trigger_cycle_time": M("Time between frames in µs; 0 for none."),
}
CAPTURE_PARAMS = COPIED_COMPANION | SETTINGS | VIDEO_SETTINGS

# ---- the modules ------------------------------------------------------------------------------

UNIT: dict[str, C | M] = {
    "": M(
        "The zol device library's boards: capture boards, their serial links, encoders and "
        "settings, the generic Video device and the digital-I/O boards."
    ),
    "EventStatus": C(
        "Event that ended a wait of an I/O board.",
        ENUM
        | {
            "INT": M("1: the interrupt input."),
            "DI": M("2: an enabled edge on a digital input."),
            "TIMEOUT": M("3: the wait timed out."),
            "ABORT": M("4: the wait was aborted."),
        },
    ),
    "MB100": C(
        "MB100 digital-I/O board: input and output words, and a wait for its events.",
        DIO_BOARD
        | {
            "wait": M(
                "Blocks until an event and returns its code (EventStatus: 1 INT to 4 ABORT)."
            ),
        },
    ),
    "MB100Param": C(
        "Settings of an MB100 board.",
        DIO_PARAMS
        | INT_SETTINGS
        | {
            "int_edge": M("The interrupt input's edge that makes an event."),
        },
        board="MB100",
    ),
    "RM1600": C(
        "RM1600 digital-I/O board: inputs, outputs, and waits for input events.",
        DIO_BOARD
        | {
            "open": M("Opens board number `id`."),
            "wait": M("Blocks until an input event, the time-out or abort(): what ended it."),
        },
    ),
    "RM1600Param": C(
        "Settings of an RM1600 board.", DIO_PARAMS | SETTINGS | DI_MASKS, board="RM1600"
    ),
    "DQ160": C(
        "DQ160 digital-I/O board: inputs, outputs, interrupts and settings files.",
        DIO_BOARD
        | {
            "wait": M("Blocks until an interrupt or input event, the time-out or abort()."),
            "load": M("Loads the board's settings from the file `path`.", f"path: {PATH}, option"),
            "load_w": M(
                "load() with the path handed to the library as wide characters.",
                f"path: {WIDE_PATH}, option",
            ),
            "save": M("Saves the board's settings to the file `path`.", f"path: {PATH}, option"),
            "save_w": M(
                "save() with the path handed to the library as wide characters.",
                f"path: {WIDE_PATH}, option",
            ),
        },
    ),
    "DQ160Param": C(
        "Settings of a DQ160 board.",
        DIO_PARAMS
        | INT_SETTINGS
        | DI_MASKS
        | {
            "int_enable": M("Whether the interrupt input makes events."),
            "int_edge": M("The interrupt input's edge that makes an event."),
            "int_wait_enable": M("Whether an interrupt ends wait()."),
            "di_wait_mode": M("How wait() treats the input events (the board's wait mode)."),
        },
        board="DQ160",
    ),
    "RM1600WaitStatus": C("What ended an RM1600 wait.", WAIT_RECORD),
    "DQ160WaitStatus": C("What ended a DQ160 wait.", WAIT_RECORD),
    "KX210": C(
        "KX210 capture board (Camera Link, two channels).",
        CAPTURE_BOARD | NUMBERED_STATUS | {"from_file": FROM_FILE, "setup": SETUP},
    ),
    "KX210Encoder": C(
        "The encoder unit of a KX210 board.",
        ENCODER
        | {
            "init": M("The ENCInit setting of the unit."),
            "total_counter": M("The total count."),
            "clear_rel_counter": M("Sets the relative counter to 0."),
            "start_abs": M("Starts (True) or stops (False) the absolute counter.", "on"),
            "abs_counter": M("The absolute counter."),
            "is_abs_overflow": M("Whether the absolute counter overflowed."),
            "is_abs_underflow": M("Whether the absolute counter underflowed."),
            "clear_abs_counter": M("Sets the absolute counter to 0."),
            "clear_overflow": M("Clears the overflow flag."),
            "clear_underflow": M("Clears the underflow flag."),
            "clear_all_counter": M("Sets every counter to 0 and clears both flags."),
        },
        board="KX210",
    ),
    "KX210Param": C("Settings of a KX210 board.", CAPTURE_PARAMS | NO_COMMANDS, board="KX210"),
    "KX210Sio": C("Serial link to the camera of a KX210 board.", SERIAL_LINK, board="KX210"),
    "KX310": C(
        "KX310 capture board (Camera Link, two channels, event waits).",
        CAPTURE_BOARD
        | {
            "from_file": FROM_FILE,
            "setup": SETUP,
            "validate": M(
                CAPTURE_BOARD["validate"].doc
                + ["Checks the images that the module `image` holds."],
                ["image", f"images: {IMAGES}", f"module: {MODULE}"],
            ),
            "lock": M(
                CAPTURE_BOARD["lock"].doc
                + ["Captures into the images that the module `image` holds."],
                ["image, option", f"images: {IMAGES}, option", f"image: {MODULE}, option"],
            ),
            "abort": M("Ends the capture at once."),
            "query_status": M(
                ["The capture status now.", "Fills `result` with the capture status now."],
                [None, "result"],
            ),
            "wait_status": M(
                [
                    "Blocks until the capture ends and returns its status.",
                    "Waits up to `timeout` ms for the end; fills `result`, True if it ended.",
                ],
                [None, "result, timeout"],
            ),
            "wait": M(
                [
                    "Blocks until the capture ends (the Timeout setting bounds the wait).",
                    "Waits up to `timeout` ms (-1: for ever) for the end; True if it ended.",
                ],
                [None, "timeout"],
            ),
            "wait_event": M(
                "Waits up to `timeout` ms for `event` (1 frame end, 2 capture end); True if seen.",
                "event, timeout, value",
            ),
            "cancel_wait_event": M(
                "Ends the waits for `event` (0: for every event) at once.", "event"
            ),
            "force_trigger": M("Triggers one frame on channel `ch` (-1: this one)."),
            "stop_pg": M("Stops the pulse generator of channel `ch` (-1: this one)."),
            "reset_pg": M("Resets the pulse generator of channel `ch` (-1: this one)."),
            "clear_trigger_mask": M("Clears the trigger mask of channel `ch` (-1: this one)."),
            "pll_reconfig": M("Reconfigures the camera clock's PLL."),
        },
    ),
    "KX310Encoder": C(
        "The encoder unit of a KX310 board.",
        ENCODER
        | {
            "reset_source": M("What resets the counter."),
            "signal_source": M("Where the encoder signals come from."),
            "encoder_act_mode": M("When the unit acts on its count."),
            "start_encoder": M("Starts counting."),
            "stop_encoder": M("Stops counting."),
            "reset_encoder": M("Sets the counters to 0."),
            "encoder_status": M(
                "Fills `result` with the unit's counters and input states.", "result"
            ),
            "encoder_counter": M("The encoder counter (signed)."),
        },
        board="KX310",
    ),
    "KX310Param": C(
        "Settings of a KX310 board.",
        CAPTURE_PARAMS
        | {
            "send_command": M(
                "Runs the command `command` (ClearTriggerMask, ResetPG, StopPG, "
                "ResetPLLReconfig, ExecutePLLReconfig, PLLReconfig).",
                "command",
            ),
        },
        board="KX310",
    ),
    "KX310Sio": C("Serial link to the camera of a KX310 board.", SERIAL_LINK, board="KX310"),
    "TR520": C(
        "TR520 capture board (analog cameras).",
        CAPTURE_BOARD
        | NUMBERED_STATUS
        | {
            "from_file": M(FROM_FILE.doc, [f"camerafile: {PATH}", f"camerafile: {PATH}, id, ch"]),
            "setup": M(SETUP.doc, f"camerafile: {PATH}"),
        },
    ),
    "TR520Param": C(
        "Settings of a TR520 board.",
        COPIED_COMPANION
        | SETTINGS
        | {
            "trigger_mode": VIDEO_SETTINGS["trigger_mode"],
            "exposure_time": VIDEO_SETTINGS["exposure_time"],
            "video_offset": M("Offset added to the video signal."),
            "send_command": M("Runs the command `command` (SelfCalibration).", "command"),
        },
        board="TR520",
    ),
    "Video": C(
        "Any capture board, chosen by its device type (the camera file says which).",
        BOARD
        | COPIED
        | VIDEO_SETTINGS
        | BY_NAME
        | {
            "__init__": M(
                ["A Video that refers to no board yet.", "A copy that refers to the same board."],
                [None, "other"],
            ),
            "from_file": FROM_FILE,
            "controller": M(
                "The module that controls this device (a board), or None.", f"value: {MODULE}"
            ),
            "device_type": M("Which board this stands for."),
            "save": CAPTURE_BOARD["save"],
            "save_w": CAPTURE_BOARD["save_w"],
            "validate": M(
                [
                    "Checks that `image` can take the device's frames.",
                    "Checks the images that the module `module` holds.",
                ],
                ["image", f"module: {MODULE}"],
            ),
            "grab": M(
                [
                    "Captures one frame into `image`.",
                    "Captures one frame into the images that the module `module` holds.",
                ],
                ["image", f"module: {MODULE}"],
            ),
            "start": M(
                [
                    "Starts capturing into `image`.",
                    "Starts capturing into the images that the module `module` holds.",
                ],
                ["image", f"module: {MODULE}"],
            ),
            "wait": M("Blocks until the next frame (the Timeout setting bounds the wait)."),
            "abort": M("Ends the capture at once."),
            "is_running": CAPTURE_BOARD["is_running"],
            "status": CAPTURE_BOARD["status"],
            "force_trigger": M("Triggers one frame when the device waits for a trigger."),
            "send_command": M(
                "Runs the board command `command` (SelfCalibration, ClearTriggerMask, "
                "ResetPG, StopPG, ...PLLReconfig).",
                "command",
            ),
        },
    ),
    "TxKX210CaptureStatus": C("Capture status of a KX210 board.", KX210_STATUS),
    "TxKX310CaptureStatus": C(
        "Capture status of a KX310 board.",
        CAPTURE_STATUS
        | {
            "__init__": M(
                ["A record of zeros.", "A record of these fields."],
                [
                    None,
                    "total_frame_count, amount_in_frame, last_frame_no, line_count, capture_state",
                ],
            ),
            "capture_state": M("The capture state: 0 idle, 1 running, 2 done, 3 aborted."),
        },
    ),
    "TxKX310EncoderStatus": C(
        "Counters and input states of a KX310 encoder unit.",
        RECORD
        | {
            "__init__": M(
                ["A record of zeros.", "A record of these fields."],
                [
                    None,
                    "is_abs_overflow, is_abs_underflow, a_state, b_state, z_state, "
                    "encoder_state, encoder_counter, rel_counter, match_counter",
                ],
            ),
            "is_abs_overflow": M("Whether the absolute counter overflowed."),
            "is_abs_underflow": M("Whether the absolute counter underflowed."),
            "a_state": M("State of encoder input A."),
            "b_state": M("State of encoder input B."),
            "z_state": M("State of encoder input Z."),
            "encoder_state": M("The unit's state code."),
            "encoder_counter": M("The encoder counter (signed)."),
            "rel_counter": M("The relative counter."),
            "match_counter": M("Times the count matched the compare value."),
        },
    ),
    "TxTR520CaptureStatus": C("Capture status of a TR520 board.", KX210_STATUS),
    "Exception": C("The library's exception type; failures reach Python as RuntimeError.", {}),
    "read": M(
        ["The input word of an I/O board.", "Whether input `index` of an I/O board is on."],
        ["dio", "dio, index"],
    ),
    "write": M(
        ["Sets the outputs of an I/O board to `word`.", "Turns output `index` on or off."],
        ["dio, word", "dio, index, state"],
    ),
    "write_status": M(
        ["The output word of an I/O board.", "Whether output `index` is on."], ["dio", "dio, index"]
    ),
    "get_device_module": M("The module behind a settings object.", "settings"),
    "set_register": M(
        "Writes `value` to register `register` of a settings object.", "registers, register, value"
    ),
    "get_register": M(
        "The value of register `register` of a settings object.", "registers, register"
    ),
    "get_device_info": M(
        "Writes the item `item` of the device type's information into `answer`.",
        "device, item, answer: pyzol.core.TxItemValue | typing_extensions.CapsuleType | None",
    ),
    "get_xml_item": M(
        "Writes the item `item` of the XML file `file` into `answer`.",
        f"file: {PATH}, item, answer: pyzol.core.TxItemValue | typing_extensions.CapsuleType "
        "| None",
    ),
    "start": M("Starts capturing (a board's acquisition control).", "control"),
    "stop": M("Stops capturing.", "control"),
    "abort": M("Ends the capture at once.", "control"),
    "wait": M("Blocks until the capture ends.", "control"),
    "is_running": M("Whether the board is capturing.", "control"),
    "INT": M("EventStatus.INT"),
    "DI": M("EventStatus.DI"),
    "TIMEOUT": M("EventStatus.TIMEOUT"),
    "ABORT": M("EventStatus.ABORT"),
}

STATUS_CODES = {
    "Ok": "0: success.",
    "Failed": "1: refused (also every refusal of the module's own checks).",
    "NoObject": "2: the object, or the one it refers to, does not exist.",
    "NullPointer": "3: an argument the operation needs was None.",
    "InvalidArgument": "4: a value out of range (id, channel, index, size).",
    "NoDevice": "5: no such board.",
    "NotOpened": "6: the board is not open.",
    "Busy": "7: the board is busy (a capture running, a wait pending).",
    "Timeout": "8: a wait ran out of time.",
    "Disposed": "9: the handle was disposed.",
    "FileNotFound": "10: a file could not be opened for reading.",
    "FileFormat": "11: a file's content could not be understood.",
    "FileWrite": "12: a file could not be written.",
    "UnknownParam": "13: no setting of that name.",
    "ParamKind": "14: the value does not match the setting's kind.",
    "ReadOnly": "15: the setting cannot be written.",
    "NotLocked": "16: no images locked for the capture.",
    "ImageTooSmall": "17: an image is smaller than the frame.",
    "NotSupported": "18: the operation has no meaning for this object.",
    "NoController": "19: a companion belongs to no board.",
    "Aborted": "20: a blocking call was aborted.",
    "UnknownCommand": "21: no command of that name.",
    "Truncated": "22: the answer did not fit and was cut.",
    "ImageFormat": "23: an image's pixel format is not the frame's.",
}
INTERFACE = {"__repr__": M("<pyzol.core.Name of the object it views>")}
BOARDS = "pyzol.unit.{}".format
ANY_BOARD = " | ".join(
    BOARDS(b) for b in ("MB100", "RM1600", "DQ160", "KX210", "KX310", "TR520", "Video")
)
IO_BOARD = " | ".join(BOARDS(b) for b in ("MB100", "RM1600", "DQ160"))
CAPTURE_BOARDS = " | ".join(BOARDS(b) for b in ("KX210", "KX310", "TR520"))
SETTINGS_OBJECT = " | ".join(
    BOARDS(b + "Param") for b in ("MB100", "RM1600", "DQ160", "KX210", "KX310", "TR520")
)

CORE: dict[str, C | M] = {
    "ExStatus": C(None, ENUM | {k: M(v) for k, v in STATUS_CODES.items()}),
    "ExDevice": C(
        None,
        ENUM
        | {
            "KX210": M("1: a KX210 board."),
            "TR520": M("2: a TR520 board."),
            "KX310": M("4: a KX310 board."),
        },
    ),
    "ExPixelFormat": C(
        None,
        ENUM
        | {
            "Mono8": M("0: 8-bit mono, 1 byte per pixel."),
            "Mono16": M("1: 16-bit mono (also 10 and 12-bit samples, in the low bits)."),
            "RGB8": M("2: 3 bytes per pixel: red, green, blue."),
            "BGR8": M("3: 3 bytes per pixel: blue, green, red."),
        },
    ),
    "CxImage": C(
        None,
        {
            "__buffer__": M(
                "A writable view of the pixels (what numpy.asarray uses).",
                "flags: int, /",
                "memoryview",
            ),
            "__release_buffer__": M(None, "buffer: memoryview, /", "None"),
            "__repr__": M("<CxImage width x height format>"),
        },
    ),
    "IxModule": C(None, INTERFACE),
    "IxDeviceModule": C(None, INTERFACE),
    "IxRegister": C(None, INTERFACE),
    "IxDIO": C(None, INTERFACE),
    "IxIndexedDIO": C(None, INTERFACE),
    "IxVideoControl": C(None, INTERFACE),
    "TxItemValue": C(
        None,
        {
            "__int__": M("The number answered (TypeError for a text)."),
            "__str__": M("The text answered, or the number as text."),
            "__repr__": M("<TxItemValue answer>"),
            "value": M(type="int | str | None"),
        },
    ),
    "as_module": M(params=f"board: {ANY_BOARD}"),
    "as_dio": M(params=f"board: {IO_BOARD}"),
    "as_indexed_dio": M(params=f"board: {IO_BOARD}"),
    "as_video_control": M(params=f"board: {CAPTURE_BOARDS}"),
    "as_register": M(params=f"settings: {SETTINGS_OBJECT}"),
    "as_device_module": M(params=f"settings: {SETTINGS_OBJECT}"),
}

SIM: dict[str, C | M] = {
    "Recording": C(
        None,
        {
            "__enter__": M(
                "Turns the journal on; the list that receives the block's calls.", type="list[str]"
            ),
            "__exit__": M(
                "Fills the list and restores the journal's state; never swallows an exception.",
                "*exc: object",
                "typing.Literal[False]",
            ),
        },
    ),
    "fail": M(
        params="op: str, status: int = 1, function: str | None = ..., "
        "file: str | None = ..., line: int = 0, count: int = 1"
    ),
}
