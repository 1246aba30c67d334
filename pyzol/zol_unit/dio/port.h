// The members the three I/O boards share: construction, comparison, dispose/is_valid, open,
// close, is_opened and the word and indexed port operations, in their registration order.
#pragma once

#include "zol_unit.h"

namespace pyzol {

// `OpenDefault`: whether `open` takes a keyword `id` defaulting to 0 (else one positional int).
template <class B, bool OpenDefault> py::class_<B> def_dio_port(py::module_& m, const char* name) {
    py::class_<B> cls(m, name, holds_references());
    cls.def(py::init<>());
    def_comparisons<B>(cls);
    def_dispose_is_valid<B>(cls);
    if constexpr (OpenDefault)
        cls.def("open", [](B& self, int id) { self.Open(id); }, py::arg("id") = 0);
    else
        cls.def("open", [](B& self, int id) { self.Open(id); });
    cls.def("close", [](B& self) { self.Close(); })
        .def_property_readonly("is_opened", [](const B& self) { return self.IsOpened(); })
        // Values the library returns through a pointer start zeroed.
        .def("read",
             [](B& self) {
                 unsigned int word = 0;
                 self.Read(&word);
                 return word;
             })
        .def("read",
             [](B& self, int index) {
                 bool state = false;
                 self.Read(index, &state);
                 return state;
             })
        .def("write", [](B& self, unsigned int word) { self.Write(word); })
        .def("write", [](B& self, int index, OutputState state) { self.Write(index, state); })
        .def("write_status",
             [](B& self) {
                 unsigned int word = 0;
                 self.WriteStatus(&word);
                 return word;
             })
        .def("write_status", [](B& self, int index) {
            bool state = false;
            self.WriteStatus(index, &state);
            return state;
        });
    return cls;
}

} // namespace pyzol
