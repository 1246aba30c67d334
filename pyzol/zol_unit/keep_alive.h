// Keep-alive slots (keep_alive.cpp): references from an owner object to the Python objects the
// library uses on its behalf.
#pragma once

#include <Python.h>
#include <pybind11/pybind11.h>

#include <utility>

namespace py = pybind11;

namespace pyzol {

// An owner keeps other Python objects alive while the library uses them: the board a companion
// is attached to, the images a board has locked. One value per (owner, slot); assigning replaces
// (the old value is released after the new one is stored), None clears, and everything is
// released when the owner dies.
// An owner's class must be registered with `keep_alive_slots()` (py::class_<T>(m, name,
// keep_alive_slots())): its instances then release what they hold only after their library
// object is gone, and the cyclic collector sees those references. `hold` refuses other owners.
enum class Kept : int { Controller = 0, Images = 1 };
py::custom_type_setup keep_alive_slots();
void require_keep_alive_slots(py::handle type); // fails registration of a class without it
void keep_alive(py::handle owner, Kept slot, py::object value);
py::object kept_alive(py::handle owner, Kept slot); // None when nothing is held

// Call policy of a companion's copying `__init__`: the copy refers to the same board as the
// original, so it holds the same board object.
struct copies_controller {};

} // namespace pyzol

namespace pybind11 {
namespace detail {
template <>
struct process_attribute<pyzol::copies_controller>
    : process_attribute_default<pyzol::copies_controller> {
    static void postcall(function_call& call, handle) {
        pyzol::keep_alive(call.init_self, pyzol::Kept::Controller,
                    pyzol::kept_alive(call.args[1], pyzol::Kept::Controller));
    }
};
} // namespace detail
} // namespace pybind11

// Reached only through zol_unit.h, which brings the casters and record names first.
#ifndef PYZOL_RECORD_NAMES_H
#error "include zol_unit.h before this header"
#endif
