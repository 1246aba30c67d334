// Blocking library calls (waits.cpp): without the interpreter lock, and ended by Ctrl-C on the
// main thread through the library's own abort.
#pragma once

#include <Python.h>
#include <pybind11/pybind11.h>

#include <functional>
#include <type_traits>
#include <utility>

namespace py = pybind11;

namespace pyzol {

// Takes the interpreter lock back after a blocking library call; a thread that comes back while
// the interpreter is shutting down parks instead (re-taking the lock then would end the thread
// by force in the middle of C++ frames).
void restore_thread(PyThreadState* state);
bool finalizing(); // the interpreter is shutting down (any CPython version)
// Where such a thread waits for the process to end, holding nothing.
[[noreturn]] void park_thread();

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
template <class B> auto abort_of(B& board) {
    return [&board] { board.Abort(); };
}

} // namespace pyzol

// Reached only through zol_unit.h, which brings the casters and record names first.
#ifndef PYZOL_RECORD_NAMES_H
#error "include zol_unit.h before this header"
#endif
