// Module pyzol.core: the device library's shared types (status and device enumerations, the
// image, the interfaces) in the shared registry, and the adapters that hand a board or settings
// object to a member expecting one of the interfaces.
//
// pyzol.unit names these types in its signatures without registering them; it registers its
// classes without bases, so a board is never an interface by itself. The adapters are the
// explicit conversion, found by trying the casters of the classes that implement the interface.
#include <pybind11/pybind11.h>

#include "../zol_unit/checked.h" // the argument rules shared with pyzol.unit

#include <cstdint>
#include <exception>
#include <string>
#include <typeinfo>

#include <zol/dio.h>
#include <zol/video.h>
#include <zol/zol.h>

namespace py = pybind11;

// Casting a polymorphic interface pointer to Python normally looks up the most-derived
// registered class (the board itself), which the interface overloads of pyzol.unit refuse.
// Inside this module an interface pointer must stay an object of the interface type, so the
// hook reports no dynamic type and keeps the pointer as it is (no downcast, no adjustment).
// This specialisation lives in this translation unit only: pyzol.unit keeps the default, so
// library results such as `Video.controller` still come back as the board objects.
#define PYZOL_INTERFACE_HOOK(T)                                                                    \
    template <> struct polymorphic_type_hook<T> {                                                 \
        static const void* get(const T* src, const std::type_info*& type) {                        \
            type = nullptr;                                                                        \
            return src;                                                                            \
        }                                                                                          \
    }
namespace pybind11 {
PYZOL_INTERFACE_HOOK(zol::IxModule);
PYZOL_INTERFACE_HOOK(zol::IxDeviceModule);
PYZOL_INTERFACE_HOOK(zol::IxRegister);
PYZOL_INTERFACE_HOOK(zol::DIO::IxDIO);
PYZOL_INTERFACE_HOOK(zol::DIO::IxIndexedDIO);
PYZOL_INTERFACE_HOOK(zol::Video::IxVideoControl);
} // namespace pybind11
#undef PYZOL_INTERFACE_HOOK

namespace {

using zol::DIO::CxDQ160;
using zol::DIO::CxDQ160Param;
using zol::DIO::CxMB100;
using zol::DIO::CxMB100Param;
using zol::DIO::CxRM1600;
using zol::DIO::CxRM1600Param;
using zol::Video::CxKX210;
using zol::Video::CxKX210Param;
using zol::Video::CxKX310;
using zol::Video::CxKX310Param;
using zol::Video::CxTR520;
using zol::Video::CxTR520Param;
using zol::Video::CxVideo;

// Python name of an object's type, for error messages ("int", "NoneType", "MB100").
std::string type_name_of(py::handle type) {
    return py::str(type.attr("__name__")).cast<std::string>();
}
std::string type_name(py::handle obj) { return type_name_of(py::type::handle_of(obj)); }

// The library object behind `obj` as an `Interface*`, when `obj` is a Python object of the class
// registered for `Impl` (or of a Python subclass of it). A class that pyzol.unit has not
// registered is skipped. No implicit conversion is tried.
template <class Interface, class Impl> bool try_adapt(py::handle obj, Interface*& out) {
    if (!py::detail::get_type_info(typeid(Impl)))
        return false;
    py::detail::make_caster<Impl> caster;
    if (!caster.load(obj, /*convert=*/false))
        return false;
    // An instance whose __init__ never ran holds no library object.
    Impl* object = py::detail::cast_op<Impl*>(caster);
    if (!object)
        return false;
    out = static_cast<Interface*>(object);
    return true;
}

// Tries every implementing class in turn; refuses anything else (None included) with TypeError
// naming the adapter, the accepted classes and the type it was given.
template <class Interface, class... Impl>
Interface* adapt(const char* adapter, const char* accepted, py::handle obj) {
    Interface* found = nullptr;
    if (!obj.is_none() && (try_adapt<Interface, Impl>(obj, found) || ...))
        return found;
    throw py::type_error(std::string(adapter) + ": expected " + accepted + ", got " +
                         type_name(obj));
}

// "<IxDIO of MB100>": the registered class of the object behind the interface (no library call,
// only its run-time type).
template <class Interface> std::string interface_repr(const char* name, const Interface& self) {
    const std::type_info& dynamic = typeid(self);
    std::string of;
    if (const auto* info = py::detail::get_type_info(dynamic))
        of = type_name_of(reinterpret_cast<PyObject*>(info->type));
    else
        of = py::detail::clean_type_id(dynamic.name()); // a class pyzol.unit does not register
    return "<" + std::string(name) + " of " + of + ">";
}

// Interfaces are only ever references to library objects owned elsewhere (by a board's or a
// settings object's Python object): never deleted from here, and their destructors are
// protected anyway.
template <class T> using ifc = py::class_<T, std::unique_ptr<T, py::nodelete>>;

// An interface object keeps its board alive through the binding library's keep-alive; the
// collector is shown that reference, so a board that keeps its own interface object is collected.
py::custom_type_setup shows_patients() {
    return py::custom_type_setup([](PyHeapTypeObject* heap_type) {
        PyTypeObject* type = &heap_type->ht_type;
        type->tp_flags |= Py_TPFLAGS_HAVE_GC;
        type->tp_traverse = [](PyObject* self, visitproc visit, void* arg) {
            Py_VISIT(Py_TYPE(self));
            return pyzol::traverse_patients(self, visit, arg);
        };
        type->tp_clear = [](PyObject* self) {
            pyzol::clear_patients(self);
            return 0;
        };
    });
}

template <class T> void def_interface(py::module_& m, const char* name, const char* doc) {
    ifc<T>(m, name, doc, shows_patients()).def("__repr__",
                             [name](const T& self) { return interface_repr(name, self); });
}

void init_enums(py::module_& m) {
    py::enum_<zol::ExStatus>(m, "ExStatus", "Status of a library call; the code of its errors.")
        .value("Ok", zol::ExStatus::Ok)
        .value("Failed", zol::ExStatus::Failed)
        .value("NoObject", zol::ExStatus::NoObject)
        .value("NullPointer", zol::ExStatus::NullPointer)
        .value("InvalidArgument", zol::ExStatus::InvalidArgument)
        .value("NoDevice", zol::ExStatus::NoDevice)
        .value("NotOpened", zol::ExStatus::NotOpened)
        .value("Busy", zol::ExStatus::Busy)
        .value("Timeout", zol::ExStatus::Timeout)
        .value("Disposed", zol::ExStatus::Disposed)
        .value("FileNotFound", zol::ExStatus::FileNotFound)
        .value("FileFormat", zol::ExStatus::FileFormat)
        .value("FileWrite", zol::ExStatus::FileWrite)
        .value("UnknownParam", zol::ExStatus::UnknownParam)
        .value("ParamKind", zol::ExStatus::ParamKind)
        .value("ReadOnly", zol::ExStatus::ReadOnly)
        .value("NotLocked", zol::ExStatus::NotLocked)
        .value("ImageTooSmall", zol::ExStatus::ImageTooSmall)
        .value("NotSupported", zol::ExStatus::NotSupported)
        .value("NoController", zol::ExStatus::NoController)
        .value("Aborted", zol::ExStatus::Aborted)
        .value("UnknownCommand", zol::ExStatus::UnknownCommand);

    py::enum_<zol::ExDevice>(m, "ExDevice", "Device type of a capture board.")
        .value("KX210", zol::ExDevice::KX210)
        .value("TR520", zol::ExDevice::TR520)
        .value("KX310", zol::ExDevice::KX310);
}

void init_image(py::module_& m) {
    // Default holder: the Python object owns the image; CxModule's allocation operators are the
    // class's own, so pybind11's `new`/`delete` go through the library.
    py::class_<zol::CxImage>(m, "CxImage", py::buffer_protocol(),
                             "8-bit mono image, rows packed. numpy.asarray(img) is a writable "
                             "zero-copy view of shape (height, width).")
        .def(py::init<>(), "An empty image (0x0).")
        .def(py::init<int, int>(), py::arg("width"), py::arg("height"),
             "A zero-filled image of width x height bytes.")
        .def_property_readonly("width", &zol::CxImage::Width, "Pixels per row.")
        .def_property_readonly("height", &zol::CxImage::Height, "Rows.")
        .def_property_readonly("stride", &zol::CxImage::Stride, "Bytes from one row to the next.")
        .def_property_readonly("size", &zol::CxImage::Size, "Bytes of pixel data.")
        .def_buffer([](zol::CxImage& img) {
            // An empty image has no storage; a view of zero bytes still needs an address.
            static unsigned char no_pixels = 0;
            unsigned char* data = img.Address() ? img.Address() : &no_pixels;
            auto height = static_cast<py::ssize_t>(img.Height());
            auto width = static_cast<py::ssize_t>(img.Width());
            auto stride = static_cast<py::ssize_t>(img.Stride());
            return py::buffer_info(data, 1, py::format_descriptor<std::uint8_t>::format(), 2,
                                   {height, width}, {stride, py::ssize_t{1}},
                                   /*readonly=*/false);
        })
        .def("__repr__", [](const zol::CxImage& img) {
            return "<CxImage " + std::to_string(img.Width()) + "x" + std::to_string(img.Height()) +
                   ">";
        });
}

void init_interfaces(py::module_& m) {
    def_interface<zol::IxModule>(m, "IxModule",
                                 "A board or video device as the library's IxModule (from "
                                 "as_module); keeps its board alive.");
    def_interface<zol::IxDeviceModule>(m, "IxDeviceModule",
                                       "A settings object as the library's IxDeviceModule (from "
                                       "as_device_module).");
    def_interface<zol::IxRegister>(m, "IxRegister",
                                   "A settings object's registers (from as_register).");
    def_interface<zol::DIO::IxDIO>(m, "IxDIO", "Whole-port access of an I/O board (from as_dio).");
    def_interface<zol::DIO::IxIndexedDIO>(m, "IxIndexedDIO",
                                          "Single-point access of an I/O board (from "
                                          "as_indexed_dio).");
    def_interface<zol::Video::IxVideoControl>(m, "IxVideoControl",
                                              "Acquisition control of a capture board (from "
                                              "as_video_control).");
}

void init_adapters(py::module_& m) {
    // The result refers into the argument's library object: returned without ownership, and it
    // keeps the argument alive for as long as it exists.
    constexpr auto ref = py::return_value_policy::reference;
    using keep = py::keep_alive<0, 1>;

    m.def(
        "as_module",
        [](py::handle obj) {
            return adapt<zol::IxModule, CxMB100, CxRM1600, CxDQ160, CxKX210, CxKX310, CxTR520,
                         CxVideo>("as_module",
                                  "a board (MB100, RM1600, DQ160, KX210, KX310, TR520, Video)",
                                  obj);
        },
        py::arg("board"), ref, keep(),
        "The board's IxModule, for members that take any module. Keeps the board alive.");
    m.def(
        "as_dio",
        [](py::handle obj) {
            return adapt<zol::DIO::IxDIO, CxMB100, CxRM1600, CxDQ160>(
                "as_dio", "an I/O board (MB100, RM1600, DQ160)", obj);
        },
        py::arg("board"), ref, keep(),
        "The I/O board's whole-port interface (unit.read/write/write_status). Keeps the board "
        "alive.");
    m.def(
        "as_indexed_dio",
        [](py::handle obj) {
            return adapt<zol::DIO::IxIndexedDIO, CxMB100, CxRM1600, CxDQ160>(
                "as_indexed_dio", "an I/O board (MB100, RM1600, DQ160)", obj);
        },
        py::arg("board"), ref, keep(),
        "The I/O board's single-point interface (unit.read/write/write_status with an index). "
        "Keeps the board alive.");
    m.def(
        "as_video_control",
        [](py::handle obj) {
            return adapt<zol::Video::IxVideoControl, CxKX210, CxKX310, CxTR520>(
                "as_video_control", "a capture board (KX210, KX310, TR520)", obj);
        },
        py::arg("board"), ref, keep(),
        "The capture board's acquisition control (unit.start/stop/abort/wait/is_running). "
        "Keeps the board alive.");
    m.def(
        "as_register",
        [](py::handle obj) {
            return adapt<zol::IxRegister, CxMB100Param, CxRM1600Param, CxDQ160Param, CxKX210Param,
                         CxKX310Param, CxTR520Param>(
                "as_register",
                "a settings object (MB100Param, RM1600Param, DQ160Param, KX210Param, "
                "KX310Param, TR520Param)",
                obj);
        },
        py::arg("settings"), ref, keep(),
        "The settings object's registers (unit.set_register/get_register). Keeps it alive.");
    m.def(
        "as_device_module",
        [](py::handle obj) {
            return adapt<zol::IxDeviceModule, CxMB100Param, CxRM1600Param, CxDQ160Param,
                         CxKX210Param, CxKX310Param, CxTR520Param>(
                "as_device_module",
                "a settings object (MB100Param, RM1600Param, DQ160Param, KX210Param, "
                "KX310Param, TR520Param)",
                obj);
        },
        py::arg("settings"), ref, keep(),
        "The settings object as IxDeviceModule (unit.get_device_module). Keeps it alive.");
}

} // namespace

// Registration touches no library object: importing the package must leave the journal empty.
PYBIND11_MODULE(core, m) {
    m.doc() = "Shared types of the zol device library: ExStatus, ExDevice, CxImage, the "
              "interfaces, and the as_... adapters that view a board as an interface.";
    init_enums(m);
    init_image(m);
    init_interfaces(m);
    init_adapters(m);
}
