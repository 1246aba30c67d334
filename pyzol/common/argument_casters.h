// Argument casters shared by pyzol.core, pyzol.unit and pyzol.sim; for every member of the three:
//   - an instance of a library class whose __init__ never ran (or whose library object the
//     collector has already destroyed) is refused with TypeError, as self or as an argument,
//     before anything is called: the binding library would otherwise hand the member a block
//     of raw, unconstructed storage;
//   - `int` and `unsigned int` parameters take int, bool and objects with __index__ (numpy
//     integers); every other number (float, numpy.float32, Decimal, Fraction) matches no
//     overload, instead of being truncated towards zero;
//   - paths (`NarrowPath`, `WidePath`) and every other text the library reads as a C string
//     (`NarrowText`, and `Name` for setting and command names) refuse an embedded NUL with
//     ValueError, as Python's own open() does, instead of reaching the library cut short; a str
//     that strict UTF-8 refuses matches no overload;
//   - an output state (`OutputState`) takes bool, numpy.bool_ and integers only: None and other
//     numbers (float, Decimal, numpy.float32) match no overload instead of giving their truth.
// Every translation unit of the three modules includes this header before any of pybind11's
// (pyzol.unit's through its umbrella header zol_unit.h, core's and sim's as their first include),
// so all of them see the same casters; coming after pybind11 is a compile error (below).
#pragma once

// The weak reference below must precede pybind11's headers, whose inline functions call it.
#ifdef PYBIND11_VERSION_MAJOR
#error "common/argument_casters.h must be included before any pybind11 header"
#endif
#define PYZOL_ARGUMENT_CASTERS_H

#include <Python.h>

// Loading: another interpreter must reach the binding library's version check, which runs first
// in each module's init function. The loader resolves every undefined symbol of a module when it
// loads it, so a function that the other interpreter does not export would fail the load with
// "undefined symbol" instead. The modules call only functions that the interpreters before and
// after 3.12 export too (no 3.12-only API), save this one, which the binding library's headers
// call for 3.12 and which 3.13 no longer exports: a weak reference, null under an interpreter
// without it, where the version check has refused the module before anything could call it.
// (tests/test_module.py loads each module under the other interpreters there are.)
#pragma weak _PyThreadState_UncheckedGet

#include <pybind11/pybind11.h>

#include "common/pybind_internals.h"

#include <climits>
#include <string>
#include <type_traits>

namespace pyzol {

// Marks the library's namespaces: a class or enumeration declared in one of them finds this
// overload by argument-dependent lookup.
struct library_type_tag {};
} // namespace pyzol

namespace zol {
template <class T> pyzol::library_type_tag pyzol_library_type(T*);
namespace Video {
using zol::pyzol_library_type; // the same function: no ambiguity for a class with a base in zol
}
namespace DIO {
using zol::pyzol_library_type;
}
} // namespace zol

namespace pyzol {
namespace detail {
template <class T, class = void> struct is_library_type : std::false_type {};
template <class T>
struct is_library_type<T, std::enable_if_t<std::is_same_v<
                              decltype(pyzol_library_type(static_cast<T*>(nullptr))),
                              library_type_tag>>> : std::true_type {};
// Argument-dependent lookup also searches the namespaces of template arguments, so
// std::optional<zol::ExPixelFormat> would find the marker too: instances of class templates (the
// standard containers and wrappers that pybind11 converts itself) are not library types.
template <class T> struct is_template_instance : std::false_type {};
template <template <class...> class Template, class... Args>
struct is_template_instance<Template<Args...>> : std::true_type {};
} // namespace detail
template <class T>
constexpr bool is_library_type_v = (std::is_class_v<T> || std::is_enum_v<T>) &&
                                   !detail::is_template_instance<T>::value &&
                                   detail::is_library_type<T>::value;

// A path for the library: str (as UTF-8), bytes, bytearray or None (null).
struct NarrowPath {
    std::string text;
    bool null = true;
    operator const char*() const { return null ? nullptr : text.c_str(); }
};

// Any other text the library reads as a C string (a serial text, an item name) converts the same
// way.
using NarrowText = NarrowPath;

// A setting or command name: converted as a narrow text, but never None (a name is required).
struct Name {
    std::string text;
    operator const std::string&() const { return text; }
};

// A wide path for the library: str (one wchar_t per code point) or None (null).
struct WidePath {
    std::wstring text;
    bool null = true;
    operator const wchar_t*() const { return null ? nullptr : text.c_str(); }
};

// A digital output state: bool, numpy.bool_ or an integer's truth value; never None.
struct OutputState {
    bool value = false;
    operator bool() const { return value; }
};

[[noreturn]] inline void refuse_nul() {
    throw pybind11::value_error("embedded null character");
}

// The library reads a text up to its first NUL: a text holding one is refused, not cut short.
template <class Text> void refuse_nul_in(const Text& text) {
    if (text.find(typename Text::value_type{}) != Text::npos)
        refuse_nul();
}

} // namespace pyzol

namespace pybind11 {
namespace detail {

// Library classes: the binding library's own caster, after the check for an instance that
// holds no library object.
template <class T> class checked_caster : public type_caster_base<T> {
  public:
    bool load(handle src, bool convert) {
        pyzol::refuse_uninitialised(src);
        return type_caster_base<T>::load(src, convert);
    }
};
template <class T>
class type_caster<T, std::enable_if_t<pyzol::is_library_type_v<T>>> : public checked_caster<T> {};

// Integers: exact values only.
template <class T, long long Min, long long Max> struct integral_caster {
    bool load(handle src, bool) {
        if (!src || PyFloat_Check(src.ptr()))
            return false;
        object number;
        if (PyLong_Check(src.ptr())) {
            number = reinterpret_borrow<object>(src);
        } else {
            if (!PyIndex_Check(src.ptr()))
                return false;
            number = reinterpret_steal<object>(PyNumber_Index(src.ptr()));
            if (!number) {
                PyErr_Clear();
                return false;
            }
        }
        int overflow = 0;
        long long v = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
        if (v == -1 && PyErr_Occurred()) {
            PyErr_Clear();
            return false;
        }
        if (overflow || v < Min || v > Max)
            return false;
        value = static_cast<T>(v);
        return true;
    }
    static handle cast(T src, return_value_policy, handle) {
        if constexpr (std::is_signed_v<T>)
            return PyLong_FromLong(src);
        else
            return PyLong_FromUnsignedLong(src);
    }
    PYBIND11_TYPE_CASTER(T, const_name("int"));
};

template <> class type_caster<int> : public integral_caster<int, INT_MIN, INT_MAX> {};
template <>
class type_caster<unsigned int> : public integral_caster<unsigned int, 0, UINT_MAX> {};

// Paths: None gives null; a NUL inside is refused before anything is called.
template <class Path> struct path_caster {
    bool load(handle src, bool) {
        if (!src)
            return false;
        value = {};
        if (src.is_none())
            return true;
        if (!read(src.ptr(), value.text))
            return false;
        pyzol::refuse_nul_in(value.text);
        value.null = false;
        return true;
    }
    // Narrow: str as UTF-8, bytes, bytearray.
    static bool read(PyObject* src, std::string& text) {
        const char* data = nullptr;
        Py_ssize_t size = 0;
        if (PyUnicode_Check(src)) {
            data = PyUnicode_AsUTF8AndSize(src, &size);
            if (!data) {
                PyErr_Clear();
                return false;
            }
        } else if (PyBytes_Check(src)) {
            data = PyBytes_AS_STRING(src);
            size = PyBytes_GET_SIZE(src);
        } else if (PyByteArray_Check(src)) {
            data = PyByteArray_AS_STRING(src);
            size = PyByteArray_GET_SIZE(src);
        } else {
            return false;
        }
        text.assign(data, static_cast<std::size_t>(size));
        return true;
    }
    // Wide: str only, one wchar_t per code point. A str that strict UTF-8 refuses (a lone
    // surrogate) matches no overload here either, as under the binding library's own casters.
    static bool read(PyObject* src, std::wstring& text) {
        if (!PyUnicode_Check(src))
            return false;
        if (!PyUnicode_AsUTF8AndSize(src, nullptr)) {
            PyErr_Clear();
            return false;
        }
        Py_ssize_t size = 0;
        wchar_t* data = PyUnicode_AsWideCharString(src, &size);
        if (!data) {
            PyErr_Clear();
            return false;
        }
        text.assign(data, static_cast<std::size_t>(size));
        PyMem_Free(data);
        return true;
    }
    PYBIND11_TYPE_CASTER(Path, const_name("str"));
};
template <> struct type_caster<pyzol::NarrowPath> : path_caster<pyzol::NarrowPath> {};
template <> struct type_caster<pyzol::WidePath> : path_caster<pyzol::WidePath> {};

// Names: str (as UTF-8), bytes or bytearray as a narrow text is read; a NUL is refused the same
// way.
template <> struct type_caster<pyzol::Name> {
    bool load(handle src, bool) {
        if (!src || !path_caster<pyzol::NarrowPath>::read(src.ptr(), value.text))
            return false;
        pyzol::refuse_nul_in(value.text);
        return true;
    }
    PYBIND11_TYPE_CASTER(pyzol::Name, const_name("str"));
};

template <> struct type_caster<pyzol::OutputState> {
    bool load(handle src, bool) {
        if (!src || src.is_none())
            return false;
        if (PyBool_Check(src.ptr()) || PyLong_Check(src.ptr()) || PyIndex_Check(src.ptr())) {
            int truth = PyObject_IsTrue(src.ptr());
            if (truth < 0) {
                PyErr_Clear();
                return false;
            }
            value.value = truth != 0;
            return true;
        }
        // numpy.bool_ has no __index__; the binding library's bool caster knows it, and without
        // conversion takes nothing else (no truth values of floats or Decimals).
        make_caster<bool> other;
        if (!other.load(src, /*convert=*/false))
            return false;
        value.value = cast_op<bool>(other);
        return true;
    }
    PYBIND11_TYPE_CASTER(pyzol::OutputState, const_name("bool"));
};

} // namespace detail
} // namespace pybind11
