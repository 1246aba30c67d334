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
#include <unordered_set>
#include <vector>

#include "zol_unit.h"

namespace pyzol {

enum class ValueKind { Signed, Unsigned, Text };

// One direction (read or write) of a name table. Matching is exact (same length, same bytes), so
// a hash lookup decides exactly what a search in table order would, in a time that does not
// grow with the table.
class NameSet {
  public:
    // Adds `name` unless it is already there: the first entry of a name decides its kind, as a
    // search in table order would.
    void add(std::string_view name, ValueKind kind) { kinds_.emplace(name, kind); }
    // The kind of `name`, or null when the name is not in this direction.
    const ValueKind* find(std::string_view name) const;
    // Every name of this direction, in no order (for the notes of refusals).
    std::vector<std::string> names() const;

  private:
    std::unordered_map<std::string_view, ValueKind> kinds_;
};

struct NameTable {
    NameSet read;
    NameSet write;
};

// A table written the way the boards' lists are: groups of one kind, each read-only, readable and
// writable, or write-only. Names are not copied: they must outlive the table (string literals
// do).
enum class Access { ReadOnly, ReadWrite, WriteOnly };
struct NameGroup {
    ValueKind kind;
    Access access;
    std::initializer_list<const char*> names;
};
NameTable name_table(std::initializer_list<NameGroup> groups);

// The commands an object accepts; matching is exact, as for settings.
class CommandSet {
  public:
    CommandSet(std::initializer_list<const char*> names) : names_(names.begin(), names.end()) {}
    bool contains(std::string_view name) const { return names_.count(name) != 0; }

  private:
    std::unordered_set<std::string_view> names_;
};

// Refuses `name`, which `table` does not have in the direction asked (`writing`): the module's
// status-1 exception for `function` (the caller's), `file` and `line`, noting the name, the class
// `owner` and up to three close names. Only refusals come here.
[[noreturn]] void refuse_name(const char* function, const char* file, int line, py::handle owner,
                              const NameTable& table, bool writing, const std::string& name);
#define PYZOL_REFUSE_NAME(owner, table, writing, name)                                             \
    ::pyzol::refuse_name(__func__, __FILE__, __LINE__, owner, table, writing, name)

// Rethrows the pending failure of writing `value` to `name` of kind `kind` on an object of class
// `owner`, noting the name and the value where the value was refused: the binding library's cast
// error (type and text unchanged) or the library's refusal of the value. Only failures come here.
[[noreturn]] void refuse_value(py::handle owner, const std::string& name, ValueKind kind,
                               py::handle value);

// The value model of a kind: built with TxModel() and then given its two words.
zol::TxModel model_of(ValueKind kind);
zol::TxModel command_model(); // (6, 1)

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
void write_by_name(S* settings, const std::string& name, ValueKind kind, py::handle value) try {
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
        refuse_nul_in(bytes); // the library's text would end at the first NUL
        zol::CxStringA text(bytes.c_str());
        zol::TxModel model = model_of(kind);
        settings->SetParam(name.c_str(), &text, model);
        break;
    }
    }
} catch (...) {
    refuse_value(py::type::of<S>(), name, kind, value);
}

// Sends command `name` through `settings->SendCommand`. The library may write into the scratch
// buffer; nothing reads it back, but it starts zeroed like every buffer handed to the library.
template <class S> void send_by_name(S* settings, const std::string& name) {
    alignas(8) unsigned char scratch[16] = {};
    settings->SendCommand(name.c_str(), scratch, command_model());
}

// get_param, set_param and send_command of a class whose settings by name are one table and
// which takes no command (the I/O boards' settings objects, the encoder units). The refusals are
// thrown by the bound members, so the error names "operator()" and a line of this file.
// `Result` is the declared result of get_param.
template <class Result = py::object, class Cls>
void def_table_members(Cls& cls, const NameTable& names) {
    using T = typename Cls::type;
    cls.def("get_param",
            [&names](T& self, const std::string& name) {
                const ValueKind* kind = names.read.find(name);
                if (!kind)
                    PYZOL_REFUSE_NAME(py::type::of<T>(), names, false, name);
                return py::reinterpret_steal<Result>(read_by_name(&self, name, *kind).release());
            })
        .def("set_param",
             [&names](T& self, const std::string& name, py::object value) {
                 const ValueKind* kind = names.write.find(name);
                 if (!kind)
                     PYZOL_REFUSE_NAME(py::type::of<T>(), names, true, name);
                 write_by_name(&self, name, *kind, value);
             })
        .def("send_command", [](T&, const std::string&) { PYZOL_THROW(1); });
}

} // namespace pyzol
