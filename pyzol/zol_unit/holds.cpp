// The holding facility: strong references from an owner object to the objects the library uses
// on its behalf, replaced on assignment and released when the owner dies (through a weak
// reference to the owner, whose callback drops the owner's entry).
#include "zol_unit.h"

#include <unistd.h>

#include <map>
#include <unordered_map>

namespace pyzol {
namespace {

struct Entry {
    py::object watcher; // weak reference to the owner
    std::map<Slot, py::object> values;
};

// Never destroyed: entries may still be alive when the interpreter shuts down.
std::unordered_map<PyObject*, Entry>& table() {
    static auto* entries = new std::unordered_map<PyObject*, Entry>;
    return *entries;
}

void forget(PyObject* owner) {
    auto node = table().extract(owner);
    // `node` (and the references it holds) goes away only now, after the table is consistent:
    // releasing a value may end other owners and re-enter this facility.
}

} // namespace

void hold(py::handle owner, Slot slot, py::object value) {
    if (!owner)
        return;
    PyObject* key = owner.ptr();
    auto it = table().find(key);
    if (it == table().end()) {
        if (value.is_none())
            return;
        py::cpp_function on_death([key](py::handle weak) {
            forget(key);
            weak.dec_ref();
        });
        py::object watcher = py::reinterpret_steal<py::object>(
            PyWeakref_NewRef(owner.ptr(), on_death.ptr()));
        if (!watcher)
            throw py::error_already_set();
        watcher.inc_ref(); // released by the callback
        it = table().emplace(key, Entry{watcher, {}}).first;
    }
    py::object previous;
    auto& values = it->second.values;
    auto v = values.find(slot);
    if (v != values.end()) {
        previous = std::move(v->second);
        values.erase(v);
    }
    if (!value.is_none())
        values.emplace(slot, std::move(value));
    // `previous` is released on return, once the new value is in place.
}

py::object held(py::handle owner, Slot slot) {
    auto it = table().find(owner.ptr());
    if (it == table().end())
        return py::none();
    auto v = it->second.values.find(slot);
    return v == it->second.values.end() ? py::none() : v->second;
}

void restore_thread(PyThreadState* state) {
    if (_Py_IsFinalizing()) {
        // The interpreter is going away and this thread may not take the lock again; it has
        // nothing left to do but wait for the process to end.
        for (;;)
            pause();
    }
    PyEval_RestoreThread(state);
}

} // namespace pyzol
