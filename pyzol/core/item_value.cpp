// pyzol.core.TxItemValue: a record the script creates and passes to get_device_info or
// get_xml_item, which the library fills with a number or a text; read back as int or str.
#include "common/item_value.h"

#include <cstring>
#include <string>

namespace py = pybind11;

namespace pyzol {

namespace {

namespace ItemKind = zol::Video::ItemKind;

// The text as the library left it: up to its NUL, never past the room. A multi-byte character
// cut in half shows as U+FFFD.
py::str text_of(const ItemValue& item) {
    const char* text = item.record()->Text;
    const std::size_t n = strnlen(text, item.capacity() + 1);
    PyObject* s = PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(n), "replace");
    if (!s)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

py::object value_of(const ItemValue& item) {
    switch (item.record()->Kind) {
    case ItemKind::Number: return py::int_(item.record()->Number);
    case ItemKind::Text: return text_of(item);
    default: return py::none();
    }
}

} // namespace

void init_item_value(py::module_& m) {
    py::class_<ItemValue>(m, "TxItemValue",
                          "The answer of unit.get_device_info or unit.get_xml_item: pass it as "
                          "their last argument; the library writes a number or a text into it. "
                          "A text longer than the capacity is cut (the call returns "
                          "ExStatus.Truncated).")
        .def(py::init([](long long capacity) {
                 if (capacity < 0 || static_cast<unsigned long long>(capacity) >
                                         ItemValue::max_capacity)
                     throw py::value_error("capacity must be 0 to " +
                                           std::to_string(ItemValue::max_capacity) + ", not " +
                                           std::to_string(capacity));
                 return new ItemValue(static_cast<std::size_t>(capacity));
             }),
             py::arg("capacity") = 256, "An empty record with room for `capacity` bytes of text.")
        .def_property_readonly(
            "capacity", [](const ItemValue& item) { return item.capacity(); },
            "Bytes of text it can hold.") // self by reference: never called on null for None
        .def_property_readonly("value", &value_of,
                               "The answer: an int, a str, or None before any answer.")
        .def_property_readonly(
            "length",
            [](const ItemValue& item) {
                return item.record()->Kind == ItemKind::Text ? item.record()->Length : 0u;
            },
            "Bytes of the whole text answer, also when it was cut; 0 for a number.")
        .def_property_readonly(
            "truncated",
            [](const ItemValue& item) {
                return item.record()->Kind == ItemKind::Text &&
                       item.record()->Length > item.capacity();
            },
            "Whether the text answer was longer than the capacity.")
        .def("__int__",
             [](const ItemValue& item) {
                 if (item.record()->Kind != ItemKind::Number)
                     throw py::type_error("the answer is not a number");
                 return item.record()->Number;
             })
        .def("__str__",
             [](const ItemValue& item) {
                 py::object v = value_of(item);
                 return v.is_none() ? py::str() : py::str(v);
             })
        .def("__repr__", [](const ItemValue& item) {
            py::object v = value_of(item);
            std::string shown = v.is_none() ? "empty" : std::string(py::repr(v));
            return "<TxItemValue " + shown + ">";
        });
}

} // namespace pyzol
