// Settings by name: a table says which names may be read and which written, and with which kind
// of value; the value then goes through the settings object's generic GetParam/SetParam with the
// value model of its kind. The library interprets the name.
//
// Lookups say whether a name is known; the caller throws, so that the error names the caller
// (the table function, or the bound member) and its line.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>

#include "zol_unit.h"

namespace pyzol {

enum class ValueKind { Signed, Unsigned, Text };

// One direction (read or write) of a name table. Matching is exact (same length, same bytes), so
// a hash lookup decides exactly what a search in table order would, in a time that does not
// grow with the table.
class NameSet {
  public:
    struct Group {
        ValueKind kind;
        std::initializer_list<const char*> names;
    };
    NameSet(std::initializer_list<Group> groups);
    // The kind of `name`, or null when the name is not in this direction.
    const ValueKind* find(std::string_view name) const;
    std::size_t size() const { return kinds_.size(); }

  private:
    std::unordered_map<std::string_view, ValueKind> kinds_;
};

struct NameTable {
    NameSet read;
    NameSet write;
};

// The value model of a kind: built with TxModel() and then given its two words.
zol::TxModel model_of(ValueKind kind);

// Reads `name` of kind `kind` through `settings->GetParam`.
template <class S> py::object read_by_name(S* settings, const std::string& name, ValueKind kind) {
    zol::TxModel model = model_of(kind);
    switch (kind) {
    case ValueKind::Signed: {
        int value = 0;
        settings->GetParam(name.c_str(), &value, model);
        return py::int_(value);
    }
    case ValueKind::Unsigned: {
        unsigned int value = 0;
        settings->GetParam(name.c_str(), &value, model);
        return py::int_(value);
    }
    default: {
        zol::CxStringA text; // destroyed on every path
        settings->GetParam(name.c_str(), &text, model);
        return py::str(text.Address(), text.Length());
    }
    }
}

// Writes `value` to `name` of kind `kind` through `settings->SetParam`; a value that does not
// convert to the kind raises the binding library's cast error before the library is called.
template <class S>
void write_by_name(S* settings, const std::string& name, ValueKind kind, py::handle value) {
    switch (kind) {
    case ValueKind::Signed: {
        int number = value.cast<int>();
        zol::TxModel model = model_of(kind);
        settings->SetParam(name.c_str(), &number, model);
        break;
    }
    case ValueKind::Unsigned: {
        unsigned int number = value.cast<unsigned int>();
        zol::TxModel model = model_of(kind);
        settings->SetParam(name.c_str(), &number, model);
        break;
    }
    default: {
        std::string bytes = value.cast<std::string>(); // str as UTF-8, bytes as they are
        zol::CxStringA text(bytes.c_str());            // the text ends at its first NUL
        zol::TxModel model = model_of(kind);
        settings->SetParam(name.c_str(), &text, model);
        break;
    }
    }
}

} // namespace pyzol
