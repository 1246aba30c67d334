// Record classes (the library's plain Tx values): read-only fields, a default constructor, a
// constructor taking every field in declaration order, and the library's comparisons.
#pragma once

#include <utility>

#include "zol_unit.h"

namespace pyzol {

template <class R, class M> std::pair<const char*, M R::*> field(const char* name, M R::*member) {
    return {name, member};
}

// The constructor's parameter types are the field types, one for one.
template <class R, class... M>
py::class_<R> def_record(py::module_& m, const char* name, std::pair<const char*, M R::*>... fields) {
    py::class_<R> cls(m, name);
    (cls.def_readonly(fields.first, fields.second), ...);
    cls.def(py::init<>()).def(py::init<M...>());
    def_comparisons<R>(cls);
    return cls;
}

} // namespace pyzol
