// The members the three I/O boards share: construction, comparison, dispose/is_valid, open,
// close, is_opened and the word and indexed port operations, in their registration order; and
// the port reads the module-level functions share.
#pragma once

#include "zol_unit.h"

namespace pyzol {

// The word and indexed port reads of an I/O board or of its IxDIO/IxIndexedDIO interface. Values
// the library returns through a pointer start zeroed.
template <class P> unsigned int read_word(P& port) {
    unsigned int word = 0;
    port.Read(&word);
    return word;
}
template <class P> bool read_point(P& port, int index) {
    bool state = false;
    port.Read(index, &state);
    return state;
}
template <class P> unsigned int write_status_word(P& port) {
    unsigned int word = 0;
    port.WriteStatus(&word);
    return word;
}
template <class P> bool write_status_point(P& port, int index) {
    bool state = false;
    port.WriteStatus(index, &state);
    return state;
}

// How `open` takes the board id: one positional int, or a keyword `id` defaulting to 0.
enum class OpenId { Positional, DefaultZero };

// The port members of I/O board class B, in their order; its description says how `open` takes
// its id (`open_id`).
template <class B> py::class_<B> def_dio_port(py::module_& m, const char* name) {
    py::class_<B> cls(m, name, keep_alive_slots());
    cls.def(py::init<>());
    def_comparisons<B>(cls);
    def_dispose_is_valid<B>(cls);
    if constexpr (Description<B>::open_id == OpenId::DefaultZero)
        cls.def("open", [](B& self, int id) { self.Open(id); }, py::arg("id") = 0);
    else
        cls.def("open", [](B& self, int id) { self.Open(id); });
    cls.def("close", [](B& self) { self.Close(); })
        .def_property_readonly("is_opened", [](const B& self) { return self.IsOpened(); })
        .def("read", &read_word<B>)
        .def("read", &read_point<B>)
        .def("write", [](B& self, unsigned int word) { self.Write(word); })
        .def("write", [](B& self, int index, OutputState state) { self.Write(index, state); })
        .def("write_status", &write_status_word<B>)
        .def("write_status", &write_status_point<B>);
    return cls;
}

} // namespace pyzol
