// The I/O boards.
#include "dio/port.h"

namespace pyzol {

void init_mb100(py::module_& m) {
    using zol::DIO::CxMB100;
    def_dio_port<CxMB100, false>(m, "MB100")
        // The wait blocks inside the library: other threads run meanwhile, and abort() from one
        // of them ends it.
        .def("wait",
             [](CxMB100& self) {
                 unsigned int event = 0;
                 without_gil([&] { self.Wait(&event); });
                 return event;
             })
        .def("abort", [](CxMB100& self) { self.Abort(); });
}

} // namespace pyzol
