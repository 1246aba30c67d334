// Keep-alive slots: strong references from an owner object to the objects the library uses
// on its behalf, replaced on assignment and released when the owner ends.
//
// Owners are instances of classes registered with `keep_alive_slots()`. Their type's slots do
// the releasing, always after the owner's library object is gone, because that object may use
// what is held up to its last moment (a capture board's acquisition thread writes into the
// locked images until the board is destroyed):
//   - tp_dealloc destroys the library object, then releases the owner's entry;
//   - tp_traverse shows the held objects (and the binding library's keep-alive patients) to the
//     cyclic collector, so cycles through them are found;
//   - tp_clear, run by the collector on each object of an unreachable cycle, destroys the
//     library object of an owner that holds something, then releases what it holds. The owner
//     is left without a library object: any later use is refused as for an uninitialised one.
// No weak references: the collector runs their callbacks before it clears anything, which is
// too early.
#include "zol_unit.h"

#include <map>
#include <unordered_map>

namespace pyzol {
namespace {

using Values = std::map<Kept, py::object>;

// Never destroyed: entries may still be alive when the interpreter shuts down.
std::unordered_map<PyObject*, Values>& table() {
    static auto* entries = new std::unordered_map<PyObject*, Values>;
    return *entries;
}

// Removes the owner's entry and hands it over; the caller releases it when it is safe.
Values take(PyObject* owner) {
    auto node = table().extract(owner);
    return node ? std::move(node.mapped()) : Values{};
}

void owner_dealloc(PyObject* self) {
    Values held = take(self);
    instance_dealloc(self);
    // `held` is released here, after the library object.
}

int owner_traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(Py_TYPE(self));
    auto it = table().find(self);
    if (it != table().end())
        for (auto& value : it->second)
            Py_VISIT(value.second.ptr());
    return traverse_patients(self, visit, arg);
}

int owner_clear(PyObject* self) {
    if (table().count(self)) {
        destroy_library_object(self);
        Values held = take(self);
    }
    clear_patients(self);
    return 0;
}

bool is_owner_type(PyTypeObject* type) {
    for (; type; type = type->tp_base)
        if (type->tp_dealloc == owner_dealloc)
            return true;
    return false;
}

} // namespace

py::custom_type_setup keep_alive_slots() {
    return py::custom_type_setup([](PyHeapTypeObject* heap_type) {
        PyTypeObject* type = &heap_type->ht_type;
        type->tp_flags |= Py_TPFLAGS_HAVE_GC;
        type->tp_dealloc = owner_dealloc;
        type->tp_traverse = owner_traverse;
        type->tp_clear = owner_clear;
    });
}

void require_keep_alive_slots(py::handle type) {
    auto* t = reinterpret_cast<PyTypeObject*>(type.ptr());
    if (!is_owner_type(t))
        py::pybind11_fail(std::string("pyzol: ") + t->tp_name +
                          " holds references but was registered without keep_alive_slots()");
}

void keep_alive(py::handle owner, Kept slot, py::object value) {
    if (!owner)
        return;
    require_keep_alive_slots(reinterpret_cast<PyObject*>(Py_TYPE(owner.ptr())));
    PyObject* key = owner.ptr();
    py::object previous;
    auto it = table().find(key);
    if (it != table().end()) {
        auto v = it->second.find(slot);
        if (v != it->second.end()) {
            previous = std::move(v->second);
            it->second.erase(v);
        }
        if (it->second.empty() && value.is_none())
            table().erase(it);
    }
    if (!value.is_none())
        table()[key].emplace(slot, std::move(value));
    // `previous` is released on return, once the table is consistent: releasing it may end
    // other owners and re-enter this facility.
}

py::object kept_alive(py::handle owner, Kept slot) {
    auto it = table().find(owner.ptr());
    if (it == table().end())
        return py::none();
    auto v = it->second.find(slot);
    return v == it->second.end() ? py::none() : v->second;
}

} // namespace pyzol
