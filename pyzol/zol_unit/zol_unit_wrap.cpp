// Module pyzol.unit: the entry point, the registration order, the exception type and the
// translator of the library's exceptions.
#include "zol_unit.h"

#include <cstring>
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

// Text the library hands over as bytes, decoded without failing: a file path as the os module
// decodes paths (undecodable bytes kept as surrogates), other text with replacement characters.
py::str decoded(const char* text, const char* errors) {
    if (!text)
        return py::str("");
    PyObject* s = PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(std::strlen(text)), errors);
    if (!s)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

// The status as the shared ExStatus member of that value, or the int where there is none.
py::object status_of(int code) {
    py::dict members = py::type::of<zol::ExStatus>().attr("__members__");
    for (auto item : members)
        if (py::int_(py::reinterpret_borrow<py::object>(item.second)).cast<long>() == code)
            return py::reinterpret_borrow<py::object>(item.second);
    return py::int_(code);
}

// Gives the pending RuntimeError the exception's data as attributes (status, function, file,
// line; a null function or file is "" as in the text) and, as notes, the library's own
// description and what the module adds (ExceptionWithNote). Only failures come here, so the work
// costs a successful call nothing. Nothing raised here replaces the error being translated.
void attach_data(const zol::CxException& e) {
    if (!PyErr_Occurred())
        return;
    // Taken through the binding library, which fetches it with what every interpreter exports
    // (3.12's PyErr_GetRaisedException would keep the module from loading under another one).
    py::error_already_set raised;
    try {
        py::handle error = raised.value();
        error.attr("status") = status_of(e.Code());
        error.attr("function") = decoded(e.Function(), "replace");
        error.attr("file") = decoded(e.File(), "surrogateescape");
        error.attr("line") = py::int_(e.Line());
        const char* message = e.Message();
        if (message && *message)
            error.attr("add_note")(decoded(message, "replace"));
        auto* noted = dynamic_cast<const ExceptionWithNote*>(&e);
        if (noted && !noted->note().empty())
            error.attr("add_note")(decoded(noted->note().c_str(), "replace"));
    } catch (py::error_already_set&) {
        // Dropped: the translated error is the one the script must see.
    } catch (const std::exception&) {
    }
    raised.restore();
}

// Every CxException that leaves a bound function becomes RuntimeError carrying its status, line,
// function and file, in its text and as attributes. Registered process-wide: it serves every
// module sharing the registry.
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
            attach_data(e);
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
