// Shared declarations of module pyzol.unit: the registration functions of every family and the
// module's own throw; through the headers below, everything a binding file uses. Every file of
// the module includes it before anything of pybind11: it starts with the casters and records.
#pragma once

#include "common/argument_casters.h" // first: it refuses to follow pybind11's headers
#include "record_names.h"   // the records' Python names in every signature of the module

#include <Python.h>
#include <pybind11/pybind11.h>
#include <string>

#include <zol/dio.h>
#include <zol/video.h>
#include <zol/zol.h>

#include "common/pybind_internals.h"
#include "keep_alive.h"
#include "members.h"
#include "waits.h"

namespace py = pybind11;

// The module's own refusals: the library's exception, thrown where the refusal is decided, so
// that it names the throwing function and line (inside a bound lambda the function is
// "operator()").
#define PYZOL_THROW(status)                                                                        \
    throw ::zol::CxException(static_cast<::zol::ExStatus>(status), __func__, __FILE__, __LINE__)

namespace pyzol {

// The library's exception with a note of the module's own: what the module knows about a failure
// beyond its four fields (the name a table did not know, the value refused). The translator adds
// the note to the Python error (shown in tracebacks, not in its text).
class ExceptionWithNote : public zol::CxException {
  public:
    ExceptionWithNote(const zol::CxException& e, std::string note)
        : CxException(e), note_(std::move(note)) {}
    const std::string& note() const { return note_; }

  private:
    std::string note_;
};

// ---- registration, one function per family, called in order by the module entry ---------------
void init_event_status(py::module_& m);     // dio/records.cpp
void init_mb100(py::module_& m);            // dio/boards.cpp
void init_mb100_param(py::module_& m);      // params/classes.cpp
void init_rm1600(py::module_& m);           // dio/boards.cpp
void init_rm1600_param(py::module_& m);     // params/classes.cpp
void init_dq160(py::module_& m);            // dio/boards.cpp
void init_dq160_param(py::module_& m);      // params/classes.cpp
void init_dio_functions(py::module_& m);    // functions.cpp
void init_dio_wait_records(py::module_& m); // dio/records.cpp
void init_device_functions(py::module_& m); // functions.cpp
void init_kx210(py::module_& m);            // video/boards.cpp
void init_kx210_encoder(py::module_& m);    // video/encoders.cpp
void init_kx210_param(py::module_& m);      // params/classes.cpp
void init_kx210_sio(py::module_& m);        // video/serial.cpp
void init_kx310(py::module_& m);            // video/boards.cpp
void init_kx310_encoder(py::module_& m);    // video/encoders.cpp
void init_kx310_param(py::module_& m);      // params/classes.cpp
void init_kx310_sio(py::module_& m);        // video/serial.cpp
void init_tr520(py::module_& m);            // video/boards.cpp
void init_tr520_param(py::module_& m);      // params/classes.cpp
void init_video(py::module_& m);            // video/video_device.cpp
void init_video_control_functions(py::module_& m); // functions.cpp
void init_capture_records(py::module_& m);  // video/records.cpp

} // namespace pyzol

