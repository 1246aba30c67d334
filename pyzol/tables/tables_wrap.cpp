// Module pyzol._tables: the name tables of the classes with settings by name, as pyzol.unit
// checks names against them (compiled from the same source), for the package's settings
// mapping to list and describe. Nothing of the device library is called.
#include "common/argument_casters.h" // first: it refuses to follow pybind11's headers

#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "params/tables.h"

namespace py = pybind11;

namespace {

using pyzol::ValueKind;

std::optional<std::string> kind_name(const ValueKind* kind) {
    if (!kind)
        return std::nullopt;
    switch (*kind) {
    case ValueKind::Signed:
        return "signed";
    case ValueKind::Unsigned:
        return "unsigned";
    default:
        return "text";
    }
}

const pyzol::tables::ClassTable& class_table(const std::string& name) {
    for (const auto& entry : pyzol::tables::all())
        if (name == entry.name)
            return entry;
    throw py::key_error(name);
}

using Entry = std::tuple<std::string, std::optional<std::string>, std::optional<std::string>>;

} // namespace

PYBIND11_MODULE(_tables, m) {
    m.doc() = "The name tables of pyzol.unit's classes with settings by name.";
    m.def("classes", [] {
        std::vector<std::string> names;
        for (const auto& entry : pyzol::tables::all())
            names.emplace_back(entry.name);
        return names;
    }, "The Python names of the classes with settings by name, in registration order.");
    m.def("table", [](const std::string& name) {
        const auto& t = class_table(name);
        std::vector<Entry> entries;
        for (std::string_view each : t.names.order)
            entries.emplace_back(std::string(each), kind_name(t.names.read.find(each)),
                                 kind_name(t.names.write.find(each)));
        std::optional<std::vector<std::string>> commands;
        if (t.commands)
            commands.emplace(t.commands->names().begin(), t.commands->names().end());
        return std::make_tuple(entries, commands);
    }, "(names, commands) of a class: each name in table order with the kind it is read as and "
       "the kind it is written as (None: not in that direction); the commands it accepts, or None "
       "for a class without commands.");
}
