// Lists of images handed to a board: a Python list becomes a temporary array of image pointers
// for one library call.
#pragma once

#include <climits>
#include <memory>
#include <string>

#include "zol_unit.h"

namespace pyzol {

// The image pointers of one Python list, in list order, and a tuple of the same items for a
// board to hold while the library uses them. None gives a null entry; any other item that is
// not an image raises the binding library's cast error, so the library is never called with a
// partly converted list.
class ImageList {
  public:
    // `current`: what the board holds now; when it is a tuple of exactly the list's items (a ring
    // locked again), it stands for them instead of a new tuple.
    explicit ImageList(const py::list& list, py::handle current = {}) {
        const Py_ssize_t n = PyList_GET_SIZE(list.ptr());
        // The library counts images in an int.
        if (n > INT_MAX) {
            PyErr_SetString(PyExc_OverflowError,
                            ("a list of " + std::to_string(n) +
                             " images is longer than a board can take (2147483647)")
                                .c_str());
            throw py::error_already_set();
        }
        // Never a null array, even for an empty list: the count alone says there is nothing.
        pointers_.reset(new zol::CxImage*[n > 0 ? static_cast<std::size_t>(n) : 1]);
        count_ = static_cast<int>(n);
        // Items of the registered image class, or of a Python subclass whose only bound base
        // it is, are read straight from the instance; which types qualify is decided once per
        // type, not per item. None, instances whose __init__ never ran and everything else go
        // through the binding library's caster, which also produces its error.
        // The items are scattered in memory: those a few places ahead are fetched meanwhile.
        constexpr Py_ssize_t ahead = 8;
        ImageTypes types;
        for (Py_ssize_t i = 0; i < n; ++i) {
            if (i + ahead < n)
                __builtin_prefetch(PyList_GET_ITEM(list.ptr(), i + ahead));
            pointers_[i] = pointer_of(PyList_GET_ITEM(list.ptr(), i), types);
        }
        // No Python code ran since the size was read: the tuple holds exactly these items.
        if (same_items(list.ptr(), current.ptr())) {
            items_ = py::reinterpret_borrow<py::tuple>(current);
            return;
        }
        items_ = py::reinterpret_steal<py::tuple>(PyList_AsTuple(list.ptr()));
        if (!items_)
            throw py::error_already_set();
    }

    zol::CxImage** data() { return pointers_.get(); }
    int count() const { return count_; }
    // The items, to keep alive for as long as the library may write into them.
    py::tuple items() const { return items_; }

  private:
    static bool same_items(PyObject* list, PyObject* tuple) {
        const Py_ssize_t n = PyList_GET_SIZE(list);
        if (!tuple || !PyTuple_CheckExact(tuple) || PyTuple_GET_SIZE(tuple) != n)
            return false;
        for (Py_ssize_t i = 0; i < n; ++i)
            if (PyList_GET_ITEM(list, i) != PyTuple_GET_ITEM(tuple, i))
                return false;
        return true;
    }

    // The types whose instances hold a CxImage as their simple value: the registered class, and
    // the last subclass seen (a list rarely mixes several).
    struct ImageTypes {
        const PyTypeObject* exact = registered_type<zol::CxImage>();
        PyTypeObject* subclass = nullptr;
        bool direct(PyTypeObject* type) {
            if (type == exact || type == subclass)
                return true;
            if (!holds_simple_value_of(type, exact))
                return false;
            subclass = type;
            return true;
        }
    };

    static zol::CxImage* pointer_of(PyObject* item, ImageTypes& types) {
        if (types.direct(Py_TYPE(item)))
            if (void* value = simple_value(item))
                return static_cast<zol::CxImage*>(value);
        if (item == Py_None)
            return nullptr;
        return py::handle(item).cast<zol::CxImage*>();
    }

    std::unique_ptr<zol::CxImage*[]> pointers_;
    int count_ = 0;
    py::tuple items_;
};

} // namespace pyzol
