// The one place that reaches into pybind11's private API (pybind11::detail), which the module
// needs for what the public API does not offer: finding the Python object of a library object,
// telling an instance whose __init__ never ran, reading an image pointer without a cast, and
// taking part in the cyclic collector (keep-alive patients, destroying a library object early).
// Written against pybind11 2.13 (pinned in pyproject.toml).
#pragma once

#include <Python.h>
#include <pybind11/pybind11.h>

#include <string>
#include <typeinfo>

namespace pyzol {

// The Python object that owns a library object, or an empty handle.
template <class T> pybind11::handle owner_of(const T* object) {
    namespace pd = pybind11::detail;
    return pd::get_object_handle(object, pd::get_type_info(typeid(T)));
}

// The Python type registered for a C++ type, or null.
inline const PyTypeObject* registered_type(const std::type_info& type) {
    const auto* info = pybind11::detail::get_type_info(type);
    return info ? info->type : nullptr;
}
template <class T> const PyTypeObject* registered_type() { return registered_type(typeid(T)); }

// A C++ type's name as the binding library writes it in messages (demangled).
inline std::string cpp_type_name(const std::type_info& type) {
    return pybind11::detail::clean_type_id(type.name());
}

// The library object of `obj` when it is an instance of the class registered for T (or of a
// Python subclass of it), without implicit conversions; null otherwise, also for an instance
// whose __init__ never ran.
template <class T> T* loaded_exactly(pybind11::handle obj) {
    pybind11::detail::make_caster<T> caster;
    if (!caster.load(obj, /*convert=*/false))
        return nullptr;
    return pybind11::detail::cast_op<T*>(caster);
}

// The value of an instance of a registered class with a simple layout (no multiple bases),
// read straight from the instance; null when it holds none or has another layout.
inline void* simple_value(PyObject* item) {
    auto* inst = reinterpret_cast<pybind11::detail::instance*>(item);
    if (inst->simple_layout && inst->simple_holder_constructed)
        return inst->simple_value_holder[0];
    return nullptr;
}

// Whether an instance of `type` holds its value as an object of the class registered as `base`
// with no pointer adjustment: `type` is `base` or a Python subclass whose only bound base is
// `base`. simple_value() then reads the value (or null when it holds none).
inline bool holds_simple_value_of(PyTypeObject* type, const PyTypeObject* base) {
    if (type == base)
        return true;
    if (!base || Py_TYPE(type) != Py_TYPE(base)) // not made by the binding library's metaclass
        return false;
    const auto& bases = pybind11::detail::all_type_info(type);
    return bases.size() == 1 && bases[0]->type == base;
}

// Raises TypeError when `src` is an instance of a bound class that holds no library object.
inline void refuse_uninitialised(pybind11::handle src) {
    namespace pd = pybind11::detail;
    auto* base = reinterpret_cast<PyTypeObject*>(pd::get_internals().instance_base);
    if (!src || !PyObject_TypeCheck(src.ptr(), base))
        return;
    auto* inst = reinterpret_cast<pd::instance*>(src.ptr());
    // An instance of one bound class (nearly all) holds its value in place: no need to look up
    // the type's bound classes, as values_and_holders does on every call.
    bool uninitialised = false;
    if (inst->simple_layout)
        uninitialised = !inst->simple_value_holder[0];
    else
        for (auto v_h : pd::values_and_holders(inst))
            uninitialised = uninitialised || !v_h;
    if (uninitialised)
        throw pybind11::type_error(std::string("uninitialised ") + Py_TYPE(src.ptr())->tp_name +
                                   " object: its __init__ was never called");
}

// The binding library's keep-alive references of `self` ("patients"), for a tp_traverse and a
// tp_clear: the collector must see them to find cycles through them.
inline int traverse_patients(PyObject* self, visitproc visit, void* arg) {
    namespace pd = pybind11::detail;
    if (!reinterpret_cast<pd::instance*>(self)->has_patients)
        return 0;
    auto& patients = pd::get_internals().patients;
    auto it = patients.find(self);
    if (it != patients.end())
        for (PyObject* patient : it->second)
            Py_VISIT(patient);
    return 0;
}
inline void clear_patients(PyObject* self) {
    if (reinterpret_cast<pybind11::detail::instance*>(self)->has_patients)
        pybind11::detail::clear_patients(self);
}

// Destroys the library object(s) of `self` now, leaving the instance as one whose __init__
// never ran (the binding library's dealloc then has nothing left to do).
inline void destroy_library_object(PyObject* self) {
    namespace pd = pybind11::detail;
    auto* inst = reinterpret_cast<pd::instance*>(self);
    for (auto v_h : pd::values_and_holders(inst)) {
        if (!v_h)
            continue;
        if (v_h.instance_registered()) {
            pd::deregister_instance(inst, v_h.value_ptr(), v_h.type);
            v_h.set_instance_registered(false);
        }
        if (inst->owned || v_h.holder_constructed())
            v_h.type->dealloc(v_h); // also sets the value pointer to null
        else
            v_h.value_ptr() = nullptr;
    }
}

// The binding library's own deallocation of an instance (what its tp_dealloc does).
inline void instance_dealloc(PyObject* self) { pybind11::detail::pybind11_object_dealloc(self); }

} // namespace pyzol
