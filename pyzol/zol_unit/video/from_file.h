// Members the capture boards and the generic video device share: the `from_file` factories and
// the Python object behind a library object the binding library handed over.
#pragma once

#include <utility>

#include "zol_unit.h"

namespace pyzol {

// The Python object owning a library object the caller was handed by the binding library.
template <class T> py::object object_of(const T* object) {
    py::handle owner = owner_of(object);
    return owner ? py::reinterpret_borrow<py::object>(owner) : py::none();
}

// Whether `from_file` (and a board's `setup`) take a trailing `option` after the path.
enum class FileOption { None, Trailing };

// The four `from_file` factories (narrow and wide path, with and without board id and channel),
// with the trailing `option` where the class's description says so (`file_option`). A str
// always reaches the narrow overloads; the wide ones stay for the signature list.
template <class B> void def_from_file(py::class_<B>& cls) {
    if constexpr (Description<B>::file_option == FileOption::Trailing) {
        cls.def_static(
               "from_file", [](NarrowPath path, int option) { return B::FromFile(path, option); },
               py::arg("camerafile"), py::arg("option") = -1)
            .def_static(
                "from_file",
                [](WidePath path, int option) { return B::FromFile(path, option); },
                py::arg("camerafile"), py::arg("option") = -1)
            .def_static(
                "from_file",
                [](NarrowPath path, int id, int ch, int option) {
                    return B::FromFile(path, id, ch, option);
                },
                py::arg("camerafile"), py::arg("id"), py::arg("ch"), py::arg("option") = -1)
            .def_static(
                "from_file",
                [](WidePath path, int id, int ch, int option) {
                    return B::FromFile(path, id, ch, option);
                },
                py::arg("camerafile"), py::arg("id"), py::arg("ch"), py::arg("option") = -1);
    } else {
        cls.def_static(
               "from_file", [](NarrowPath path) { return B::FromFile(path); },
               py::arg("camerafile"))
            .def_static(
                "from_file", [](WidePath path) { return B::FromFile(path); },
                py::arg("camerafile"))
            .def_static(
                "from_file",
                [](NarrowPath path, int id, int ch) { return B::FromFile(path, id, ch); },
                py::arg("camerafile"), py::arg("id"), py::arg("ch"))
            .def_static(
                "from_file",
                [](WidePath path, int id, int ch) { return B::FromFile(path, id, ch); },
                py::arg("camerafile"), py::arg("id"), py::arg("ch"));
    }
}

} // namespace pyzol
