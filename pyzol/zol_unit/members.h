// Templates that give every handle class its shared members: comparisons, dispose/is_valid,
// typed settings, registers, and the head of every companion class.
//
// What differs between the classes of a family is in a `Description<T>` of each class,
// specialized in the file that registers it, with named members (a type, an enumerator, a
// table) that the family's templates read.
#pragma once

#include <Python.h>
#include <pybind11/pybind11.h>

#include "keep_alive.h"
#include "common/pybind_internals.h"

namespace py = pybind11;

namespace pyzol {

// The description of class T: what its family's registration needs to know about it.
template <class T> struct Description;

// Whether a Python object of the class can be made as a copy of another (`Class(other)`).
enum class Copy { Refused, Allowed };

// What the description of a companion class says at least: its board class, and whether it can
// be copied.
template <class B, Copy C> struct CompanionOf {
    using Board = B;
    static constexpr Copy copy = C;
};

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

// The head of every companion class P: `from_`, `__init__()`, [`__init__(other)`], `__eq__`,
// `__ne__`, `is_valid`, `controller`. Its description names its board class (`Board`) and whether
// it can be copied (`copy`). The companion's Python object holds the board it was made from or
// last given, so the library never refers to a board that Python has freed.
template <class P, class Cls> void def_companion_head(Cls& cls) {
    using B = typename Description<P>::Board;
    require_keep_alive_slots(cls);
    cls.def_static("from_", [](py::object board) {
        B* pointer = board.cast<B*>(); // None gives null; another type the cast error
        py::object result = py::cast(P::From(pointer));
        if (pointer)
            keep_alive(result, Kept::Controller, board);
        return result;
    });
    cls.def(py::init<>());
    if constexpr (Description<P>::copy == Copy::Allowed)
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
            keep_alive(owner_of(&self), Kept::Controller, pointer ? board : py::none());
        });
}

} // namespace pyzol

// Reached only through zol_unit.h, which brings the casters and record names first.
#ifndef PYZOL_RECORD_NAMES_H
#error "include zol_unit.h before this header"
#endif
