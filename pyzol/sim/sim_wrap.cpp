// Module pyzol.sim: the control surface of the simulated device library, for tests and scripts.
// It shows what the library was asked to do (the journal), makes operations fail on demand,
// counts live library objects and drives the simulated hardware of the rack.
#include "common/argument_casters.h" // first: it refuses to follow pybind11's headers

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstddef>
#include <exception>
#include <optional>
#include <string>

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
}
