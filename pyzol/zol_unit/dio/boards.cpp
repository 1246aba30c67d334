// The I/O boards. The port members are shared (dio/port.h); what differs is stated here: how
// `open` takes its id (each board's description), what `wait` returns, and the DQ160's settings
// files.
#include "dio/port.h"

namespace pyzol {

using namespace zol::DIO;

template <> struct Description<CxMB100> {
    static constexpr OpenId open_id = OpenId::Positional;
};
template <> struct Description<CxRM1600> {
    static constexpr OpenId open_id = OpenId::DefaultZero;
};
template <> struct Description<CxDQ160> {
    static constexpr OpenId open_id = OpenId::Positional;
};

// The waits block inside the library: other threads run meanwhile, and abort() from one of them
// (or Ctrl-C) ends the wait. The result is handed to Python once the interpreter lock is held
// again.

// The RM1600 and DQ160 waits return their record.
template <class B> auto wait_for_record(B& self) {
    return interruptible_wait(abort_of(self), [&] { return self.Wait(); });
}

void init_mb100(py::module_& m) {
    def_dio_port<CxMB100>(m, "MB100")
        .def("wait",
             [](CxMB100& self) {
                 unsigned int event = 0;
                 interruptible_wait(abort_of(self), [&] { self.Wait(&event); });
                 return event;
             })
        .def("abort", [](CxMB100& self) { self.Abort(); });
}

void init_rm1600(py::module_& m) {
    def_dio_port<CxRM1600>(m, "RM1600")
        .def("wait", &wait_for_record<CxRM1600>)
        .def("abort", [](CxRM1600& self) { self.Abort(); });
}

void init_dq160(py::module_& m) {
    // Paths: the narrow pair takes str (as UTF-8), bytes, bytearray or None; the wide pair a str
    // (one wide character per code point) or None.
    def_dio_port<CxDQ160>(m, "DQ160")
        .def("load", [](CxDQ160& self, NarrowPath path, int option) { self.Load(path, option); })
        .def("load_w",
             [](CxDQ160& self, WidePath path, int option) { self.Load(path, option); })
        .def("save",
             [](const CxDQ160& self, NarrowPath path, int option) { self.Save(path, option); })
        .def("save_w",
             [](const CxDQ160& self, WidePath path, int option) { self.Save(path, option); })
        .def("wait", &wait_for_record<CxDQ160>)
        .def("abort", [](CxDQ160& self) { self.Abort(); });
}

} // namespace pyzol
