// Settings by name, and the classes that have them: the six boards' settings objects and the two
// encoder units.
//
// A table says which names may be read and which written, and with which kind of value; the
// value then goes through the object's generic GetParam/SetParam with the value model of its
// kind. The library interprets the name. A name a table does not have is refused with status 1
// from the function the class's description names (its table function), or from the bound
// member. Every class registers its get_param, set_param and send_command through
// `def_by_name<T>`, from its `Description<T>`.
//
// This header: the tables and their value conversions (by_name.cpp), the registrar, then the
// descriptions of the six settings objects (their tables in tables.cpp, their registration in
// classes.cpp). The encoders' descriptions are in video/encoders.cpp.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "zol_unit.h"

#include "params/name_table.h"
#include "params/tables.h"

namespace pyzol {

// Refuses `name`, which `table` does not have in the direction asked (`writing`): the module's
// status-1 exception for `function` (the caller's), `file` and `line`, noting the name, the class
// `owner` and up to three close names. Only refusals come here.
[[noreturn]] void refuse_name(const char* function, const char* file, int line, py::handle owner,
                              const NameTable& table, bool writing, const std::string& name);

// Raises `failure`, the failure of writing `value` to `name` of kind `kind` on an object of class
// `owner` (a cast error or the library's exception), noting the name and the value where the
// value was refused: the binding library's cast error (type and text unchanged) or the library's
// refusal of the value. Called outside any handler: the note runs Python code (the value's
// repr), which must not run while an exception is being handled (see by_name.cpp).
[[noreturn]] void refuse_value(py::handle owner, const std::string& name, ValueKind kind,
                               py::handle value, std::exception_ptr failure);

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
        // Written as bytes or by a camera file, a text need not be UTF-8: bytes that are not
        // are kept as surrogates (as the os module decodes file names), so that every value
        // reads back and .encode("utf-8", "surrogateescape") gives its bytes.
        PyObject* value = PyUnicode_DecodeUTF8(
            text.Address(), static_cast<Py_ssize_t>(text.Length()), "surrogateescape");
        if (!value)
            throw py::error_already_set();
        return py::reinterpret_steal<py::object>(value);
    }
    }
}

// Writes `value` to `name` of kind `kind` through `settings->SetParam`; a value that does not
// convert to the kind raises the binding library's cast error before the library is called.
template <class S>
void write_value(S* settings, const std::string& name, ValueKind kind, py::handle value) {
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
}

// write_value, and where it fails as refuse_value knows, the failure with its note, built once
// the failure is no longer being handled. Every other exception goes on as it is.
template <class S>
void write_by_name(S* settings, const std::string& name, ValueKind kind, py::handle value) {
    std::exception_ptr failure;
    try {
        write_value(settings, name, kind, value);
    } catch (const py::cast_error&) {
        failure = std::current_exception();
    } catch (const zol::CxException&) {
        failure = std::current_exception();
    }
    if (failure)
        refuse_value(py::type::of<S>(), name, kind, value, failure);
}

// Sends command `name` through `settings->SendCommand`. The library may write into the scratch
// buffer; nothing reads it back, but it starts zeroed like every buffer handed to the library.
template <class S> void send_by_name(S* settings, const std::string& name) {
    alignas(8) unsigned char scratch[16] = {};
    settings->SendCommand(name.c_str(), scratch, command_model());
}

// Where a refused name is reported from: the named table functions of a settings class
// ("kx210_get_param", "kx210_set_param"), or, where these are null, the bound member itself
// ("operator()").
struct TableFunctions {
    const char* get = nullptr;
    const char* set = nullptr;
};

// `name` of `settings` read and written through `table`; a name the table does not have in that
// direction is refused from `function`.
template <class S>
py::object get_by_table(S& settings, const NameTable& table, const char* function,
                        const std::string& name) {
    const ValueKind* kind = table.read.find(name);
    if (!kind)
        refuse_name(function, __FILE__, __LINE__, py::type::of<S>(), table, false, name);
    return read_by_name(&settings, name, *kind);
}
template <class S>
void set_by_table(S& settings, const NameTable& table, const char* function,
                  const std::string& name, py::handle value) {
    const ValueKind* kind = table.write.find(name);
    if (!kind)
        refuse_name(function, __FILE__, __LINE__, py::type::of<S>(), table, true, name);
    write_by_name(&settings, name, *kind, value);
}

// get_param, set_param and send_command of class T, from its description D:
//   - `D::names`, the table; a name not in it is refused from `D::table_functions`;
//   - `D::commands`, the commands send_command accepts (an empty set accepts none; NoCommands
//     for a class without SendCommand);
//   - `D::GetResult`, the declared result of get_param.
// Each member has its own throw site, and a command's name is converted before it is refused.
template <class T> void def_by_name(py::class_<T>& cls) {
    using D = Description<T>;
    cls.def("get_param",
            [](T& self, const Name& name) {
                const char* from = D::table_functions.get ? D::table_functions.get : __func__;
                py::object value = get_by_table(self, D::names, from, name);
                return py::reinterpret_steal<typename D::GetResult>(value.release());
            })
        .def("set_param",
             [](T& self, const Name& name, py::object value) {
                 const char* from = D::table_functions.set ? D::table_functions.set : __func__;
                 set_by_table(self, D::names, from, name, value);
             })
        .def("send_command", [](T& self, const Name& name) {
            if (!D::commands.contains(name.text))
                PYZOL_THROW(1);
            if constexpr (!std::is_same_v<std::decay_t<decltype(D::commands)>, NoCommands>)
                send_by_name(&self, name);
        });
}

// ---- the settings objects -----------------------------------------------------------------------
// Each described by its board, its Python name, whether Python may copy it, where a refused name
// is reported from, the declared result of get_param, its name table and commands (tables.cpp),
// and its typed settings (classes.cpp). The generic video device reaches a board's table through
// the same description. The capture boards' settings objects refuse names from their table
// functions, named after the board; the I/O boards' ones refuse in their bound members and
// accept no command.

template <>
struct Description<zol::Video::CxKX210Param> : CompanionOf<zol::Video::CxKX210, Copy::Allowed> {
    static constexpr const char* name = "KX210Param";
    static constexpr TableFunctions table_functions{"kx210_get_param", "kx210_set_param"};
    using GetResult = py::object;
    static constexpr const NameTable& names = tables::kx210_param;
    static constexpr const CommandSet& commands = tables::kx210_param_commands;
    static void typed(py::class_<zol::Video::CxKX210Param>& cls);
};

template <>
struct Description<zol::Video::CxKX310Param> : CompanionOf<zol::Video::CxKX310, Copy::Allowed> {
    static constexpr const char* name = "KX310Param";
    static constexpr TableFunctions table_functions{"kx310_get_param", "kx310_set_param"};
    using GetResult = py::object;
    static constexpr const NameTable& names = tables::kx310_param;
    static constexpr const CommandSet& commands = tables::kx310_param_commands;
    static void typed(py::class_<zol::Video::CxKX310Param>& cls);
};

template <>
struct Description<zol::Video::CxTR520Param> : CompanionOf<zol::Video::CxTR520, Copy::Allowed> {
    static constexpr const char* name = "TR520Param";
    static constexpr TableFunctions table_functions{"tr520_get_param", "tr520_set_param"};
    using GetResult = py::object;
    static constexpr const NameTable& names = tables::tr520_param;
    static constexpr const CommandSet& commands = tables::tr520_param_commands;
    static void typed(py::class_<zol::Video::CxTR520Param>& cls);
};

template <>
struct Description<zol::DIO::CxMB100Param> : CompanionOf<zol::DIO::CxMB100, Copy::Refused> {
    static constexpr const char* name = "MB100Param";
    static constexpr TableFunctions table_functions{};
    using GetResult = py::int_;
    static constexpr const NameTable& names = tables::mb100_param;
    static constexpr const CommandSet& commands = tables::mb100_param_commands;
    static void typed(py::class_<zol::DIO::CxMB100Param>& cls);
};

template <>
struct Description<zol::DIO::CxRM1600Param> : CompanionOf<zol::DIO::CxRM1600, Copy::Refused> {
    static constexpr const char* name = "RM1600Param";
    static constexpr TableFunctions table_functions{};
    using GetResult = py::object; // it has text names too
    static constexpr const NameTable& names = tables::rm1600_param;
    static constexpr const CommandSet& commands = tables::rm1600_param_commands;
    static void typed(py::class_<zol::DIO::CxRM1600Param>& cls);
};

template <>
struct Description<zol::DIO::CxDQ160Param> : CompanionOf<zol::DIO::CxDQ160, Copy::Refused> {
    static constexpr const char* name = "DQ160Param";
    static constexpr TableFunctions table_functions{};
    using GetResult = py::int_;
    static constexpr const NameTable& names = tables::dq160_param;
    static constexpr const CommandSet& commands = tables::dq160_param_commands;
    static void typed(py::class_<zol::DIO::CxDQ160Param>& cls);
};

// Settings by name on a capture board's settings object, refused from its table functions.
template <class P> py::object get_param(P& settings, const std::string& name) {
    using D = Description<P>;
    return get_by_table(settings, D::names, D::table_functions.get, name);
}
template <class P> void set_param(P& settings, const std::string& name, py::handle value) {
    using D = Description<P>;
    set_by_table(settings, D::names, D::table_functions.set, name, value);
}

} // namespace pyzol
