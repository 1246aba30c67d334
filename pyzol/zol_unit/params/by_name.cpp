#include "params/by_name.h"

#include <string>
#include <vector>

namespace pyzol {

const ValueKind* NameSet::find(std::string_view name) const {
    auto it = kinds_.find(name);
    return it == kinds_.end() ? nullptr : &it->second;
}

std::vector<std::string> NameSet::names() const {
    std::vector<std::string> all;
    all.reserve(kinds_.size());
    for (const auto& entry : kinds_)
        all.emplace_back(entry.first);
    return all;
}

namespace {

// Up to three names of `names` close to `name`, by difflib's measure, as "'A', 'B'".
std::string close_names(const std::string& name, const NameSet& names) {
    py::list all;
    for (const std::string& n : names.names())
        all.append(py::str(n));
    py::list close = py::module_::import("difflib").attr("get_close_matches")(name, all, 3);
    std::string text;
    for (py::handle n : close)
        text += (text.empty() ? "'" : ", '") + n.cast<std::string>() + "'";
    return text;
}

const char* kind_text(ValueKind kind) {
    switch (kind) {
    case ValueKind::Signed: return "a signed 32-bit integer";
    case ValueKind::Unsigned: return "an unsigned 32-bit integer";
    default: return "a str or bytes";
    }
}

} // namespace

void refuse_name(const char* function, const char* file, int line, py::handle owner,
                 const NameTable& table, bool writing, const std::string& name) {
    const NameSet& asked = writing ? table.write : table.read;
    const NameSet& other = writing ? table.read : table.write;
    std::string note;
    try {
        // A name given as bytes need not be UTF-8: the note shows it with replacement characters.
        std::string name_text = py::reinterpret_steal<py::str>(
            PyUnicode_DecodeUTF8(name.data(), static_cast<Py_ssize_t>(name.size()), "replace"));
        std::string cls = py::str(owner.attr("__name__"));
        if (other.find(name))
            note = "setting '" + name_text + "' of " + cls + " is " +
                   (writing ? "read-only" : "write-only");
        else
            note = cls + " has no setting '" + name_text + "'";
        std::string close = close_names(name_text, asked);
        if (!close.empty())
            note += std::string("; close ") + (writing ? "writable" : "readable") +
                    " names: " + close;
    } catch (py::error_already_set&) {
        note.clear(); // the refusal goes out without its note rather than as another error
    }
    throw Noted(zol::CxException(zol::ExStatus::Failed, function, file, line), note);
}

void refuse_value(py::handle owner, const std::string& name, ValueKind kind, py::handle value) {
    // "KX210Param.set_param('Width', 'wide'): why", or "" if a repr fails.
    auto note = [&](const char* why) {
        try {
            return std::string(py::str(owner.attr("__name__"))) + ".set_param('" + name + "', " +
                   std::string(py::repr(value)) + "): " + why;
        } catch (py::error_already_set&) {
            return std::string();
        }
    };
    try {
        throw;
    } catch (const py::cast_error& e) {
        // The binding library's own error, as it would raise it, with the note added.
        std::string text = note(kind_text(kind));
        e.set_error();
        py::error_already_set error;
        try {
            if (!text.empty())
                error.value().attr("add_note")(text);
        } catch (py::error_already_set&) {
            // A name that is no UTF-8 (given as bytes): the error goes out without its note.
        }
        throw error;
    } catch (const zol::CxException& e) {
        auto status = static_cast<zol::ExStatus>(e.Code());
        if (status == zol::ExStatus::InvalidArgument || status == zol::ExStatus::ParamKind)
            throw Noted(e, note("the library refused the value"));
        throw;
    }
}

NameTable name_table(std::initializer_list<NameGroup> groups) {
    NameTable table;
    for (const NameGroup& g : groups)
        for (const char* name : g.names) {
            if (g.access != Access::WriteOnly)
                table.read.add(name, g.kind);
            if (g.access != Access::ReadOnly)
                table.write.add(name, g.kind);
        }
    return table;
}

zol::TxModel model_of(ValueKind kind) {
    zol::TxModel model;
    switch (kind) {
    case ValueKind::Signed: model.Kind = zol::Model::Signed, model.Count = 1; break;
    case ValueKind::Unsigned: model.Kind = zol::Model::Unsigned, model.Count = 1; break;
    case ValueKind::Text: model.Kind = zol::Model::Text, model.Count = 0; break;
    }
    return model;
}

zol::TxModel command_model() {
    zol::TxModel model;
    model.Kind = zol::Model::Command, model.Count = 1;
    return model;
}

} // namespace pyzol
