// Module pyzol.unit: the entry point, the registration order, the exception type and the
// translator of the library's exceptions.
#include "zol_unit.h"

#include <exception>
#include <sstream>
#include <string>

namespace pyzol {
namespace {

// The exception type, created once per process.
void init_exception(py::module_& m) {
    PYBIND11_CONSTINIT static py::gil_safe_call_once_and_store<py::exception<zol::CxException>>
        type;
    type.call_once_and_store_result(
        [&]() { return py::exception<zol::CxException>(m, "Exception"); });
}

// Every CxException that leaves a bound function becomes RuntimeError carrying its status, line,
// function and file. Registered process-wide: it serves every module sharing the registry.
void init_translator() {
    py::register_exception_translator([](std::exception_ptr pending) {
        if (!pending)
            return;
        try {
            std::rethrow_exception(pending);
        } catch (const zol::CxException& e) {
            // The message must outlive this call until the interpreter has copied it.
            thread_local std::string msg;
            const char* function = e.Function();
            const char* file = e.File();
            std::ostringstream text;
            text << "Code:" << e.Code() << " Line:" << e.Line()
                 << " Function:" << (function ? function : "") << " File:" << (file ? file : "");
            msg = std::move(text).str();
            PyErr_SetString(PyExc_RuntimeError, msg.c_str());
        }
    });
}

} // namespace
} // namespace pyzol

PYBIND11_MODULE(unit, m) {
    using namespace pyzol;
    // The registration order is part of the module's interface: classes, functions and records
    // appear in this order, each complete before the next. Nothing here calls the library.
    init_event_status(m);     // EventStatus and its exported members
    init_mb100(m);            // MB100
    init_mb100_param(m);      // MB100Param
    init_rm1600(m);           // RM1600
    init_rm1600_param(m);     // RM1600Param
    init_dq160(m);            // DQ160
    init_dq160_param(m);      // DQ160Param
    init_dio_functions(m);    // read, write, write_status
    init_dio_wait_records(m); // RM1600WaitStatus, DQ160WaitStatus
    init_device_functions(m); // get_device_module, set_register, get_register, get_device_info,
                              // get_xml_item
    init_kx210(m);            // KX210
    init_kx210_encoder(m);    // KX210Encoder
    init_kx210_param(m);      // KX210Param
    init_kx210_sio(m);        // KX210Sio
    init_kx310(m);            // KX310
    init_kx310_encoder(m);    // KX310Encoder
    init_kx310_param(m);      // KX310Param
    init_kx310_sio(m);        // KX310Sio
    init_tr520(m);            // TR520
    init_tr520_param(m);      // TR520Param
    init_video(m);            // Video
    init_video_control_functions(m); // start, stop, abort, wait, is_running
    init_capture_records(m);  // TxKX210CaptureStatus, TxKX310CaptureStatus, TxKX310EncoderStatus,
                              // TxTR520CaptureStatus
    // Last: the exception type, then the translator, once every class exists.
    init_exception(m);
    init_translator();
}
