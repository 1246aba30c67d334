// Shared declarations of module pyzol.unit: the registration functions of every family, the
// module's own throw, the holding facility, the GIL-free call, and the templates that give every
// handle class its shared members.
#pragma once

#include <Python.h>
#include <pybind11/pybind11.h>

#include "checked.h" // before anything converts: the argument rules of every member

#include <functional>
#include <type_traits>
#include <utility>

#include <zol/dio.h>
#include <zol/video.h>
#include <zol/zol.h>

#include "record_names.h"

namespace py = pybind11;

// The module's own refusals: the library's exception, thrown where the refusal is decided, so
// that it names the throwing function and line (inside a bound lambda the function is
// "operator()").
#define PYZOL_THROW(status)                                                                        \
    throw ::zol::CxException(static_cast<::zol::ExStatus>(status), __func__, __FILE__, __LINE__)

namespace pyzol {

// ---- registration, one function per family, called in order by the module entry ---------------
void init_event_status(py::module_& m);     // dio/records.cpp
void init_mb100(py::module_& m);            // dio/boards.cpp
void init_mb100_param(py::module_& m);      // params/dio_params.cpp
void init_rm1600(py::module_& m);           // dio/boards.cpp
void init_rm1600_param(py::module_& m);     // params/dio_params.cpp
void init_dq160(py::module_& m);            // dio/boards.cpp
void init_dq160_param(py::module_& m);      // params/dio_params.cpp
void init_dio_functions(py::module_& m);    // functions.cpp
void init_dio_wait_records(py::module_& m); // dio/records.cpp
void init_device_functions(py::module_& m); // functions.cpp
void init_kx210(py::module_& m);            // video/boards.cpp
void init_kx210_encoder(py::module_& m);    // video/encoders.cpp
void init_kx210_param(py::module_& m);      // params/video_params.cpp
void init_kx210_sio(py::module_& m);        // video/serial.cpp
void init_kx310(py::module_& m);            // video/boards.cpp
void init_kx310_encoder(py::module_& m);    // video/encoders.cpp
void init_kx310_param(py::module_& m);      // params/video_params.cpp
void init_kx310_sio(py::module_& m);        // video/serial.cpp
void init_tr520(py::module_& m);            // video/boards.cpp
void init_tr520_param(py::module_& m);      // params/video_params.cpp
void init_video(py::module_& m);            // video/video_device.cpp
void init_video_control_functions(py::module_& m); // functions.cpp
void init_capture_records(py::module_& m);  // video/records.cpp

// ---- references an object holds (the holding facility) ---------------------------------------
// An owner keeps other Python objects alive while the library uses them: the board a companion
// is attached to, the images a board has locked. One value per (owner, slot); assigning replaces
// (the old value is released after the new one is stored), None clears, and everything is
// released when the owner dies.
// An owner's class must be registered with `holds_references()` (py::class_<T>(m, name,
// holds_references())): its instances then release what they hold only after their library
// object is gone, and the cyclic collector sees those references. `hold` refuses other owners.
enum class Slot : int { Controller = 0, Images = 1 };
py::custom_type_setup holds_references();
void require_holds_references(py::handle type); // fails registration of a class without it
void hold(py::handle owner, Slot slot, py::object value);
py::object held(py::handle owner, Slot slot); // None when nothing is held

// The Python object that owns a library object, or an empty handle.
template <class T> py::handle owner_of(const T* object) {
    return py::detail::get_object_handle(object, py::detail::get_type_info(typeid(T)));
}

// ---- blocking calls ----------------------------------------------------------------------------
// Takes the interpreter lock back after a blocking library call; a thread that comes back while
// the interpreter is shutting down parks instead (re-taking the lock then would end the thread
// by force in the middle of C++ frames).
void restore_thread(PyThreadState* state);
bool finalizing(); // the interpreter is shutting down (any CPython version)

// Runs a blocking library call without the interpreter lock. Everything `call` touches must be
// C++ state: arguments are converted before and results after.
template <class F> auto without_gil(F&& call) -> decltype(call()) {
    PyThreadState* state = PyEval_SaveThread();
    if constexpr (std::is_void_v<decltype(call())>) {
        try {
            call();
        } catch (...) {
            restore_thread(state);
            throw;
        }
        restore_thread(state);
    } else {
        try {
            auto result = call();
            restore_thread(state);
            return result;
        } catch (...) {
            restore_thread(state);
            throw;
        }
    }
}

// Ctrl-C during a wait of the main thread: while one exists, a SIGINT also calls `abort` from a
// helper thread (so it must be safe to call while the wait runs, and touch no Python object).
// `finish` (interpreter lock held, after the wait) runs the Python-level handler if SIGINT came
// and raises its exception.
class Interruption {
  public:
    explicit Interruption(std::function<void()> abort);
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;
    void finish();

  private:
    bool end(); // stops watching; whether SIGINT came
    bool active_ = false;
};

// A blocking wait that the library can abort: as `without_gil`, and a SIGINT on the main thread
// ends it through `abort` (the board's Abort, CancelWaitEvent, ...) and raises KeyboardInterrupt
// in place of the wait's result or error. Every member that waits on a device uses this.
template <class Abort, class F>
auto interruptible_wait(Abort&& abort, F&& call) -> decltype(call()) {
    Interruption watch{std::function<void()>(std::forward<Abort>(abort))};
    try {
        if constexpr (std::is_void_v<decltype(call())>) {
            without_gil(call);
            watch.finish();
        } else {
            auto result = without_gil(call);
            watch.finish();
            return result;
        }
    } catch (py::error_already_set&) {
        throw;
    } catch (...) {
        watch.finish();
        throw;
    }
}

// The abort of a board's waits, for interruptible_wait.
template <class B> auto aborts(B& board) {
    return [&board] { board.Abort(); };
}

// Call policy of a companion's copying `__init__`: the copy refers to the same board as the
// original, so it holds the same board object.
struct copies_controller {};

// ---- shared members of the handle classes -------------------------------------------------------

// `__eq__` and `__ne__` over the library's operators. As operators they give NotImplemented for
// another type; defining `__eq__` without `__hash__` leaves instances unhashable.
template <class T, class Cls> void def_comparisons(Cls& cls) {
    cls.def(
           "__eq__", [](const T& a, const T& b) { return a == b; }, py::is_operator())
        .def(
            "__ne__", [](const T& a, const T& b) { return a != b; }, py::is_operator());
}

// `dispose` and `is_valid` of the boards.
template <class T, class Cls> void def_dispose_is_valid(Cls& cls) {
    cls.def("dispose", [](T& self) { self.Dispose(); })
        .def_property_readonly("is_valid", [](const T& self) { return self.IsValid(); });
}

// A typed setting: the library's setter/getter pair of one name as a read-write property.
template <class P, class V, class Cls>
void def_setting(Cls& cls, const char* name, void (P::*set)(V), V (P::*get)() const) {
    cls.def_property(
        name, [get](const P& self) { return (self.*get)(); },
        [set](P& self, V value) { (self.*set)(value); });
}

// `set_register` and `get_register` of the settings classes (their IxRegister operations).
template <class P, class Cls> void def_registers(Cls& cls) {
    cls.def("set_register",
            [](P& self, unsigned int reg, unsigned int value) { self.SetRegister(reg, value); })
        .def("get_register", [](P& self, unsigned int reg) {
            unsigned int value = 0; // values returned through a pointer start zeroed
            self.GetRegister(reg, &value);
            return value;
        });
}

// The head of every companion class P of board class B: `from_`, `__init__()`,
// [`__init__(other)`], `__eq__`, `__ne__`, `is_valid`, `controller`. The companion's Python
// object holds the board it was made from or last given, so the library never refers to a
// board that Python has freed.
template <class P, class B, bool Copyable, class Cls> void def_companion_head(Cls& cls) {
    require_holds_references(cls);
    cls.def_static("from_", [](py::object board) {
        B* pointer = board.cast<B*>(); // None gives null; another type the cast error
        py::object result = py::cast(P::From(pointer));
        if (pointer)
            hold(result, Slot::Controller, board);
        return result;
    });
    cls.def(py::init<>());
    if constexpr (Copyable)
        cls.def(py::init<const P&>(), copies_controller());
    def_comparisons<P>(cls);
    cls.def_property_readonly("is_valid", [](const P& self) { return self.IsValid(); });
    cls.def_property(
        "controller",
        [](P& self) -> py::object {
            B* board = self.Controller();
            if (!board)
                return py::none();
            // The board's own Python object when it has one; otherwise a reference that keeps
            // this companion alive.
            if (py::handle existing = owner_of(board))
                return py::reinterpret_borrow<py::object>(existing);
            return py::cast(board, py::return_value_policy::reference_internal, owner_of(&self));
        },
        [](P& self, py::object board) {
            B* pointer = board.cast<B*>();
            self.Controller(pointer);
            hold(owner_of(&self), Slot::Controller, pointer ? board : py::none());
        });
}

} // namespace pyzol

namespace pybind11 {
namespace detail {
template <>
struct process_attribute<pyzol::copies_controller>
    : process_attribute_default<pyzol::copies_controller> {
    static void postcall(function_call& call, handle) {
        pyzol::hold(call.init_self, pyzol::Slot::Controller,
                    pyzol::held(call.args[1], pyzol::Slot::Controller));
    }
};
} // namespace detail
} // namespace pybind11
