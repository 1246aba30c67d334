// Settings by name: the value models, and the refusals with their notes.
#include "params/settings.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace pyzol {

namespace {

// ---- Python code run for a note -----------------------------------------------------------------
//
// The close names and the repr of a refused value are Python code, and two things may happen
// meanwhile that have nothing to do with the note:
//   - a signal handler runs (the interpreter runs them between bytecodes) and raises: Ctrl-C's
//     KeyboardInterrupt, or whatever a script's own handler raises. That is the script's and must
//     reach it, instead of the refusal;
//   - the interpreter is shutting down and ends this thread (a daemon thread) by force when it
//     asks for the interpreter lock again: it unwinds the stack through the frames of the
//     binding, whose objects would then be released without the lock while the interpreter
//     frees everything. The thread is parked right here instead, as a wait's thread is.
// So each such call goes through `python()`, with nothing of its own to release, never while a
// C++ exception is being handled (the thread could not be parked then), and only a value's repr
// may fail for the note to be dropped.

// `call` is C API calls only: nothing but the interpreter's ending of the thread unwinds out of
// them (a C++ exception of bound code stops at its own function, as a Python error), so whatever
// comes out is that. It is caught without a name: the unwinding has no C++ object to bind to.
template <class F> PyObject* python(F&& call) {
    try {
        return call();
    } catch (...) {
        park_thread();
    }
}

// The code objects of the Python-level signal handlers (functions and methods).
std::vector<PyObject*> handler_codes(py::handle signals) {
    std::vector<PyObject*> codes;
    for (py::handle number : signals.attr("valid_signals")()) {
        py::object handler = signals.attr("getsignal")(number);
        PyObject* f = handler.ptr();
        if (PyMethod_Check(f))
            f = PyMethod_GET_FUNCTION(f);
        if (PyFunction_Check(f))
            codes.push_back(PyFunction_GET_CODE(f)); // alive as long as the handler stays
    }
    return codes;
}

// Whether `error` was raised in a signal handler: its traceback runs through a handler's frame.
bool from_signal_handler(const py::error_already_set& error) {
    py::handle signals = PyImport_GetModule(py::str("_signal").ptr()); // new reference or null
    py::object owned = py::reinterpret_steal<py::object>(signals);
    if (!signals) {
        PyErr_Clear();
        return false; // never imported: no handler of Python's own
    }
    std::vector<PyObject*> codes = handler_codes(signals);
    for (auto* tb = reinterpret_cast<PyTracebackObject*>(error.trace().ptr()); tb;
         tb = tb->tb_next) {
        auto code = py::reinterpret_steal<py::object>(
            reinterpret_cast<PyObject*>(PyFrame_GetCode(tb->tb_frame)));
        if (std::find(codes.begin(), codes.end(), code.ptr()) != codes.end())
            return true;
    }
    return false;
}

// repr(value) as UTF-8, or nothing when the repr itself fails (an Exception of its own); what a
// signal handler raised meanwhile, and KeyboardInterrupt or SystemExit however raised, go on.
std::optional<std::string> repr_for_note(py::handle value) {
    auto text = py::reinterpret_steal<py::object>(
        python([&] { return PyObject_Repr(value.ptr()); }));
    if (!text) {
        py::error_already_set error;
        if (!error.matches(PyExc_Exception) || from_signal_handler(error))
            throw error;
        return std::nullopt;
    }
    auto bytes = py::reinterpret_steal<py::object>(
        PyUnicode_AsEncodedString(text.ptr(), "utf-8", "backslashreplace"));
    if (!bytes)
        throw py::error_already_set();
    return std::string(PyBytes_AS_STRING(bytes.ptr()),
                       static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.ptr())));
}

// A name as a note shows it: one given as bytes need not be UTF-8, and is shown with replacement
// characters.
std::string shown(const std::string& name) {
    return py::reinterpret_steal<py::str>(
        PyUnicode_DecodeUTF8(name.data(), static_cast<Py_ssize_t>(name.size()), "replace"));
}

// Up to three names of `names` close to `name`, by difflib's measure, as "'A', 'B'". Nothing
// here fails of its own: an error is the script's (a signal handler's) and goes on.
std::string close_names(const std::string& name, const NameSet& names) {
    py::list all;
    for (const std::string& n : names.names())
        all.append(py::str(n));
    py::object difflib =
        py::reinterpret_steal<py::object>(python([] { return PyImport_ImportModule("difflib"); }));
    if (!difflib)
        throw py::error_already_set();
    py::object find = difflib.attr("get_close_matches");
    py::tuple args = py::make_tuple(name, all, 3);
    py::object close = py::reinterpret_steal<py::object>(
        python([&] { return PyObject_Call(find.ptr(), args.ptr(), nullptr); }));
    if (!close)
        throw py::error_already_set();
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
    std::string name_text = shown(name);
    std::string cls = py::str(owner.attr("__name__"));
    std::string note;
    if (other.find(name))
        note = "setting '" + name_text + "' of " + cls + " is " +
               (writing ? "read-only" : "write-only");
    else
        note = cls + " has no setting '" + name_text + "'";
    std::string close = close_names(name_text, asked);
    if (!close.empty())
        note += std::string("; close ") + (writing ? "writable" : "readable") + " names: " + close;
    throw ExceptionWithNote(zol::CxException(zol::ExStatus::Failed, function, file, line), note);
}

void refuse_value(py::handle owner, const std::string& name, ValueKind kind, py::handle value,
                  std::exception_ptr failure) {
    // Which failure it is, decided in the handlers; anything else goes on unchanged.
    std::optional<py::cast_error> unconverted;
    std::optional<zol::CxException> refused;
    try {
        std::rethrow_exception(failure);
    } catch (const py::cast_error& e) {
        unconverted = e;
    } catch (const zol::CxException& e) {
        auto status = static_cast<zol::ExStatus>(e.Code());
        if (status != zol::ExStatus::InvalidArgument && status != zol::ExStatus::ParamKind)
            throw;
        refused = e;
    }
    // The note, outside the handlers: "KX210Param.set_param('Width', 'wide'): why", or none if
    // the value's repr fails. Inside a handler, a thread the interpreter ends during the repr
    // could not be parked: the C++ runtime takes no forced unwinding while an exception is being
    // handled, and ends the process instead.
    std::string note;
    if (std::optional<std::string> text = repr_for_note(value))
        note = std::string(py::str(owner.attr("__name__"))) + ".set_param('" + shown(name) +
               "', " + *text + "): " + (unconverted ? kind_text(kind)
                                                     : "the library refused the value");
    if (refused)
        throw ExceptionWithNote(*refused, note);
    // The binding library's own error, as it would raise it, with the note added.
    unconverted->set_error();
    py::error_already_set error;
    if (!note.empty())
        error.value().attr("add_note")(note);
    throw error;
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
