// Module pyzol.sim: the control surface of the simulated device library, for tests and scripts.
// It shows what the library was asked to do (the journal), makes operations fail on demand,
// counts live library objects and drives the simulated hardware of the rack.
#include "common/argument_casters.h" // first: it refuses to follow pybind11's headers

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <zol/sim.h>
#include <zol/sim_video.h>
#include <zol/zol.h>

namespace py = pybind11;

namespace {

// ---- recording ----------------------------------------------------------------------------------

// `with sim.recording() as calls:` turns the journal on for the block and collects, into the
// list handed out on entry, every entry recorded during the block. The list is filled on exit,
// also when the block raises, and the journal's previous on/off state is restored.
class Recording {
  public:
    py::list enter() {
        was_on_ = zol::sim::JournalOn();
        first_ = zol::sim::JournalSize();
        calls_ = py::list();
        zol::sim::SetJournal(true);
        return calls_;
    }

    bool exit(const py::args&) {
        for (auto& entry : zol::sim::JournalFrom(first_))
            calls_.append(py::str(entry));
        zol::sim::SetJournal(was_on_);
        return false; // never swallows the block's exception
    }

  private:
    bool was_on_ = false;
    std::size_t first_ = 0;
    py::list calls_;
};
// Converted by the checked caster (common/argument_casters.h): `Recording.__new__(Recording)` is refused, not used.
// Defined, though only its type is ever asked for: a function of this unit that is only declared
// draws a warning.
[[maybe_unused]] pyzol::library_type_tag pyzol_library_type(Recording*) { return {}; }

// ---- fault injection --------------------------------------------------------------------------

// An optional text of `fail`: the default (Ellipsis, i.e. not given), None (a null pointer in the
// exception) or a str.
std::optional<std::string> text_or_null(const py::object& value, const std::string& fallback,
                                        const char* what) {
    if (value.is(py::ellipsis()))
        return fallback;
    if (value.is_none())
        return std::nullopt;
    if (!py::isinstance<py::str>(value)) {
        auto type = py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>();
        throw py::type_error(std::string("fail: ") + what + " must be str or None, got " + type);
    }
    auto text = value.cast<std::string>();
    pyzol::refuse_nul_in(text); // handed on as a C string
    return text;
}

void fail(const std::string& op, int status, const py::object& function, const py::object& file,
          int line, int count) {
    std::string::size_type sep = op.rfind("::");
    std::string name = sep == std::string::npos ? op : op.substr(sep + 2);
    std::optional<std::string> fn = text_or_null(function, name, "function");
    std::optional<std::string> fl = text_or_null(file, "zolsim/fault.cpp", "file");
    zol::sim::Fail(op, status, fn ? fn->c_str() : nullptr, fl ? fl->c_str() : nullptr, line,
                   count);
}


// ---- wiring -------------------------------------------------------------------------------------

// A terminal given as (board, id, terminal, index): TypeError for anything else; the values are
// the library's to check (ValueError).
zol::sim::Terminal terminal_from(const py::handle& value, const char* role) {
    auto refuse = [&](const std::string& why) {
        auto type = py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>();
        throw py::type_error(std::string(role) + ": expected a tuple (board: str, id: int, "
                                                 "terminal: str, index: int), got " +
                             (why.empty() ? "a " + type : why));
    };
    if (!py::isinstance<py::tuple>(value))
        refuse("");
    auto t = py::reinterpret_borrow<py::tuple>(value);
    if (t.size() != 4)
        refuse("a tuple of " + std::to_string(t.size()));
    auto text_at = [&](std::size_t i) {
        if (!py::isinstance<py::str>(t[i]))
            refuse(std::string(i ? "terminal" : "board") + " " + py::repr(t[i]).cast<std::string>());
        auto v = t[i].cast<std::string>();
        pyzol::refuse_nul_in(v);
        return v;
    };
    auto int_at = [&](std::size_t i) {
        // bool is an int to Python; a terminal's number never is one.
        if (!py::isinstance<py::int_>(t[i]) || py::isinstance<py::bool_>(t[i]))
            refuse(std::string(i == 1 ? "id" : "index") + " " +
                   py::repr(t[i]).cast<std::string>());
        // Beyond int's range is beyond the rack's: the library names the range it takes.
        py::object v = t[i];
        if (v > py::int_(1 << 30))
            return 1 << 30;
        if (v < py::int_(-1))
            return -1;
        return v.cast<int>();
    };
    return {text_at(0), int_at(1), text_at(2), int_at(3)};
}

py::tuple terminal_tuple(const zol::sim::Terminal& t) {
    return py::make_tuple(t.board, t.id, t.port, t.index);
}

// The board or video handle object behind `board` (a pyzol.unit capture board or Video), through
// pyzol.core's adapter, which refuses anything else with TypeError.
zol::CxModule* capture_handle(const py::object& board) {
    py::object module = py::module_::import("pyzol.core").attr("as_module")(board);
    return dynamic_cast<zol::CxModule*>(module.cast<zol::IxModule*>());
}

void init_wiring(py::module_& m) {
    m.def(
        "wire",
        [](const py::handle& source, const py::handle& sink) {
            auto from = terminal_from(source, "source");
            auto to = terminal_from(sink, "sink");
            py::gil_scoped_release released; // the inputs take the output's level
            zol::sim::Wire(from, to);
        },
        py::arg("source"), py::arg("sink"),
        "Wires an output of the rack to an input: wire(('RM1600', 0, 'out', 3), ('KX210', 0, "
        "'trigger', 0)). See sim.pyi for the terminals and what is refused (ValueError).");
    m.def(
        "unwire",
        [](const py::handle& source, const py::handle& sink) {
            auto from = terminal_from(source, "source");
            auto to = terminal_from(sink, "sink");
            py::gil_scoped_release released;
            zol::sim::Unwire(from, to);
        },
        py::arg("source"), py::arg("sink"),
        "Takes a wire out (the input falls low); ValueError when there is no such wire.");
    m.def(
        "wiring",
        [] {
            py::list out;
            for (const auto& [from, to] : zol::sim::Wiring())
                out.append(py::make_tuple(terminal_tuple(from), terminal_tuple(to)));
            return out;
        },
        "Every wire as (source, sink), in the order they were made.");

    py::class_<zol::sim::TriggerCounts>(m, "TriggerCounts",
                                        "The triggers of a capture run: detected, taken, missed.")
        .def_readonly("detected", &zol::sim::TriggerCounts::detected,
                      "Every trigger edge the run received (software and wired).")
        .def_readonly("taken", &zol::sim::TriggerCounts::taken,
                      "The triggers that made a frame or will.")
        .def_readonly("missed", &zol::sim::TriggerCounts::missed,
                      "The triggers that came while the board exposed or rested in its mask time.")
        .def("__repr__", [](const zol::sim::TriggerCounts& c) {
            return "TriggerCounts(detected=" + std::to_string(c.detected) +
                   ", taken=" + std::to_string(c.taken) + ", missed=" + std::to_string(c.missed) +
                   ")";
        });
    py::class_<zol::sim::FrameInfo>(m, "FrameInfo", "What a board recorded of one frame.")
        .def_readonly("frame", &zol::sim::FrameInfo::frame, "The frame's number in its run.")
        .def_readonly("trigger", &zol::sim::FrameInfo::trigger,
                      "The number of the trigger that made it, from 1 (0: free-running).")
        .def_readonly("start_ns", &zol::sim::FrameInfo::start_ns,
                      "When its exposure began, on the clock of time.monotonic_ns.")
        .def_readonly("lines", &zol::sim::FrameInfo::lines, "The lines it holds.")
        .def("__repr__", [](const zol::sim::FrameInfo& f) {
            return "FrameInfo(frame=" + std::to_string(f.frame) +
                   ", trigger=" + std::to_string(f.trigger) +
                   ", start_ns=" + std::to_string(f.start_ns) +
                   ", lines=" + std::to_string(f.lines) + ")";
        });
    m.def(
        "triggers",
        [](const py::object& board) {
            zol::CxModule* handle = capture_handle(board);
            py::gil_scoped_release released;
            return zol::sim::Triggers(handle);
        },
        py::arg("board"),
        "The triggers of the board's current (or last) capture run: TriggerCounts.");
    m.def(
        "frame_info",
        [](const py::object& board, unsigned frame) -> py::object {
            zol::CxModule* handle = capture_handle(board);
            zol::sim::FrameInfo info;
            {
                py::gil_scoped_release released;
                info = zol::sim::CapturedFrame(handle, frame);
            }
            if (!info.known)
                return py::none();
            return py::cast(info);
        },
        py::arg("board"), py::arg("frame"),
        "What the board recorded of frame `frame` of its current (or last) run (FrameInfo); "
        "None for a frame not captured yet or older than the board keeps.");
}

// ---- registration -------------------------------------------------------------------------------

void init_journal(py::module_& m) {
    // Reset drops the rack's boards, which may wait for their own threads: without the lock.
    m.def("reset", &zol::sim::Reset, py::call_guard<py::gil_scoped_release>(),
          "Fresh rack: later opens find new boards (objects still referenced keep theirs). "
          "Clears the journal, the faults and the serial numbers (next object is #1).");
    m.def("journal", &zol::sim::Journal,
          "Every call recorded since the journal was turned on or last cleared, e.g. "
          "['CxMB100::Open(0)', 'CxMB100::Write(5)'].");
    m.def("journal_size", &zol::sim::JournalSize,
          "The journal's position now: every entry recorded so far, cleared ones too, so a "
          "position taken before a clear or a reset still marks the same point.");
    m.def("journal_from", &zol::sim::JournalFrom, py::arg("position"),
          "The entries recorded since `position` (a journal_size()) that are still kept: "
          "journal_from(journal_size()) taken later gives what came since.");
    m.def("clear_journal", &zol::sim::ClearJournal, "Forget the recorded calls.");
    m.def("set_journal", &zol::sim::SetJournal, py::arg("on"),
          "Turn recording of library calls on or off (off costs nothing).");
    m.def("journal_on", &zol::sim::JournalOn, "Whether library calls are being recorded.");

    py::class_<Recording>(m, "Recording",
                          "Context manager of recording(): the journal is on inside the block.")
        // Self by reference: a member function pointer would be called on null for None.
        .def("__enter__", [](Recording& self) { return self.enter(); })
        .def("__exit__", [](Recording& self, const py::args& args) { return self.exit(args); });
    m.def(
        "recording", [] { return Recording(); },
        "with sim.recording() as calls: ... -- records the block's library calls into the list "
        "`calls` (filled when the block ends) and restores the journal's on/off state.");
}

void init_faults(py::module_& m) {
    m.def("fail", &fail, py::arg("op"), py::arg("status") = 1,
          py::arg_v("function", py::ellipsis(), "<op's name after '::'>"),
          py::arg_v("file", py::ellipsis(), "'zolsim/fault.cpp'"), py::arg("line") = 0,
          py::arg("count") = 1,
          "The next `count` calls of `op` (\"CxMB100::Open\", any overload, any object of that "
          "class) throw the library's exception with this status, function, file and line. "
          "function/file None put a null pointer in the exception. An operation the library "
          "does not have (see operations()) or a count below 1 raises ValueError.");
    m.def("operations", &zol::sim::Operations,
          "Every operation a fault can be armed for, sorted: ['Api::GetDeviceInfo', ...].");
    m.def("clear_faults", &zol::sim::ClearFaults, "Disarm every injected fault.");
    m.def("pending_faults", &zol::sim::PendingFaults, py::arg("op"),
          "How many more calls of `op` will fail.");
    m.def("live_objects", &zol::sim::LiveObjects,
          "Library objects (boards, companions, images, ...) alive now.");
}

void init_io_boards(py::module_& m) {
    // These take the board's lock, which a thread inside the library may hold for a moment: the
    // interpreter lock is let go meanwhile so that thread is never kept waiting on Python.
    using nogil = py::call_guard<py::gil_scoped_release>;
    const auto board = py::arg("board");
    const auto id = py::arg("id");
    m.def("set_inputs", &zol::sim::SetInputs, board, id, py::arg("word"), nogil(),
          "Drive the input word of I/O board `board` (\"MB100\", \"RM1600\", \"DQ160\") number "
          "`id` (0 to 3); enabled edges end a pending wait.");
    m.def("inputs", &zol::sim::Inputs, board, id, nogil(), "The board's input word.");
    m.def("outputs", &zol::sim::Outputs, board, id, nogil(), "The board's output latch.");
    m.def("set_loopback", &zol::sim::SetLoopback, board, id, py::arg("on"), nogil(),
          "When on, the inputs follow the outputs.");
    m.def("interrupt", &zol::sim::Interrupt, board, id, nogil(),
          "Pulse the board's interrupt input.");
    m.def("waiters", &zol::sim::Waiters, board, id, nogil(),
          "Threads blocked in the board's wait now.");
    m.def("board_opened", &zol::sim::BoardOpened, board, id, nogil(),
          "Whether some handle has the board open.");
    m.def("unplug", &zol::sim::Unplug, board, id, nogil(),
          "Takes the board (any type; a capture board with its channels) out of the rack: every "
          "operation and open refuses with NoDevice, waits in progress end with it.");
    m.def("replug", &zol::sim::Replug, board, id, nogil(),
          "Puts the board back: open works again (handles opened before open again).");
    m.def("plugged", &zol::sim::Plugged, board, id, nogil(),
          "Whether the board is in the rack (not unplugged).");
}

// Controls of the capture boards (the camera at the far end of a serial link, encoder pulses)
// come from include/zol/sim_video.h; their bindings go here, registered after the I/O boards.
void init_video_boards(py::module_& m) {
    m.def("capture_waiters", &zol::sim::CaptureWaiters, py::arg("board"), py::arg("id") = 0,
          py::arg("ch") = 0,
          "Threads inside a wait of a capture board channel (to act once one really waits).");
    m.def(
         "sio_feed",
         [](const std::string& board, int id, int ch, const py::bytes& data) {
             zol::sim::SioFeed(board, id, ch, data);
         },
         py::arg("board"), py::arg("id"), py::arg("ch"), py::arg("data"),
         "Bytes arriving from the camera at the far end of the board channel's serial link.")
        .def(
            "sio_sent",
            [](const std::string& board, int id, int ch) {
                return py::bytes(zol::sim::SioSent(board, id, ch));
            },
            py::arg("board"), py::arg("id"), py::arg("ch"),
            "Every byte the camera received since the last call (the call clears them).")
        .def("sio_opened", &zol::sim::SioOpened, py::arg("board"), py::arg("id"), py::arg("ch"),
             "Whether the board channel's serial link is open.")
        .def("sio_drop", &zol::sim::SioDrop, py::arg("board"), py::arg("id"), py::arg("ch"),
             py::arg("count"), py::call_guard<py::gil_scoped_release>(),
             "The next `count` bytes the camera sends through the link are lost.")
        .def("sio_garble", &zol::sim::SioGarble, py::arg("board"), py::arg("id"), py::arg("ch"),
             py::arg("count"), py::call_guard<py::gil_scoped_release>(),
             "The next `count` bytes the camera sends arrive with every bit inverted.")
        .def("camera_silent", &zol::sim::CameraSilent, py::arg("board"), py::arg("id"),
             py::arg("ch"), py::arg("on"), py::call_guard<py::gil_scoped_release>(),
             "The camera stops sending (on) or sends again: meanwhile no frame arrives.")
        .def("short_frames", &zol::sim::ShortFrames, py::arg("board"), py::arg("id"),
             py::arg("ch"), py::arg("lines"), py::arg("count") = 1,
             py::call_guard<py::gil_scoped_release>(),
             "The next `count` frames arrive with only `lines` lines.")
        .def("encoder_pulses", &zol::sim::EncoderPulses, py::arg("board"), py::arg("id"),
             py::arg("ch"), py::arg("count"),
             "Pulses at the board's encoder input: positive forward, negative backward.")
        .def("draw_test_frame", &zol::sim::DrawTestFrame, py::arg("image"), py::arg("number"),
             py::arg("pixel_format") = "Mono8",
             "Writes frame `number` of the boards' test pattern into the image, as a board with "
             "that PixelFormat in its camera file and the image's size delivers it.")
        .def(
            "image_bytes",
            [](const zol::CxImage& image) {
                return py::bytes(reinterpret_cast<const char*>(image.Address()), image.Size());
            },
            py::arg("image"),
            "A copy of the image's pixel memory as the library reads it (Address(), Size() "
            "bytes): what a board sees of an image.");
}

} // namespace

PYBIND11_MODULE(sim, m) {
    m.doc() = "Control surface of the simulated device library: journal of library calls, "
              "fault injection, live-object count and the simulated rack.";
    init_journal(m);
    init_faults(m);
    init_io_boards(m);
    init_video_boards(m);
    init_wiring(m);
}
