// EventStatus and the wait-status records of the I/O boards.
#include "records.h"

namespace pyzol {

void init_event_status(py::module_& m) {
    using zol::DIO::ExEventStatus;
    py::enum_<ExEventStatus>(m, "EventStatus")
        .value("INT", ExEventStatus::INT)
        .value("DI", ExEventStatus::DI)
        .value("TIMEOUT", ExEventStatus::TIMEOUT)
        .value("ABORT", ExEventStatus::ABORT)
        .export_values();
}

namespace {
// The two wait records have the same fields over distinct library types.
template <class R> void def_wait_record(py::module_& m, const char* name) {
    def_record<R>(m, name, field("event_status", &R::event_status),
                  field("di_event_status", &R::di_event_status), field("di", &R::di));
}
} // namespace

void init_dio_wait_records(py::module_& m) {
    def_wait_record<zol::DIO::TxRM1600WaitStatus>(m, "RM1600WaitStatus");
    def_wait_record<zol::DIO::TxDQ160WaitStatus>(m, "DQ160WaitStatus");
}

} // namespace pyzol
