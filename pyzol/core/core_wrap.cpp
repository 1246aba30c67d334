// Module pyzol.core: the device library's shared types (status and device enumerations, the
// image, the interfaces) in the shared registry, and the adapters that hand a board or settings
// object to a member expecting one of the interfaces.
//
// pyzol.unit names these types in its signatures without registering them; it registers its
// classes without bases, so a board is never an interface by itself. The adapters are the
// explicit conversion, found by trying the casters of the classes that implement the interface.
#include "common/argument_casters.h" // first: it refuses to follow pybind11's headers
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <exception>
#include <string>
#include <typeinfo>

#include <zol/dio.h>
#include <zol/video.h>
#include <zol/zol.h>

#include "common/item_value.h"

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

// The boards and settings objects the adapters accept.
using namespace zol::DIO;
using namespace zol::Video;

// Python name of an object's type, for error messages ("int", "NoneType", "MB100").
std::string type_name_of(py::handle type) {
    return py::str(type.attr("__name__")).cast<std::string>();
}
std::string type_name(py::handle obj) { return type_name_of(py::type::handle_of(obj)); }

// The library object behind `obj` as an `Interface*`, when `obj` is a Python object of the class
// registered for `Impl` (or of a Python subclass of it). A class that pyzol.unit has not
// registered is skipped. No implicit conversion is tried.
template <class Interface, class Impl> bool try_adapt(py::handle obj, Interface*& out) {
    if (!pyzol::registered_type<Impl>())
        return false;
    Impl* object = pyzol::loaded_exactly<Impl>(obj);
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
    if (const PyTypeObject* type = pyzol::registered_type(dynamic))
        of = type_name_of(reinterpret_cast<PyObject*>(const_cast<PyTypeObject*>(type)));
    else
        of = pyzol::cpp_type_name(dynamic); // a class pyzol.unit does not register
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
        .value("UnknownCommand", zol::ExStatus::UnknownCommand)
        .value("Truncated", zol::ExStatus::Truncated)
        .value("ImageFormat", zol::ExStatus::ImageFormat);

    py::enum_<zol::ExDevice>(m, "ExDevice", "Device type of a capture board.")
        .value("KX210", zol::ExDevice::KX210)
        .value("TR520", zol::ExDevice::TR520)
        .value("KX310", zol::ExDevice::KX310);
}

// The image's pixels as a buffer: (height, width) of uint8 (Mono8) or uint16 (Mono16), or
// (height, width, 3) of uint8 (RGB8, BGR8); rows Stride() bytes apart.
py::buffer_info image_buffer(zol::CxImage& img) {
    // An empty image has no storage; a view of zero bytes still needs an address.
    static unsigned char no_pixels[2] = {0, 0};
    void* data = img.Address() ? img.Address() : no_pixels;
    const auto height = static_cast<py::ssize_t>(img.Height());
    const auto width = static_cast<py::ssize_t>(img.Width());
    const auto stride = static_cast<py::ssize_t>(img.Stride());
    switch (img.PixelFormat()) {
    case zol::ExPixelFormat::Mono16:
        return py::buffer_info(data, 2, py::format_descriptor<std::uint16_t>::format(), 2,
                               {height, width}, {stride, py::ssize_t{2}}, /*readonly=*/false);
    case zol::ExPixelFormat::RGB8:
    case zol::ExPixelFormat::BGR8:
        return py::buffer_info(data, 1, py::format_descriptor<std::uint8_t>::format(), 3,
                               {height, width, py::ssize_t{3}},
                               {stride, py::ssize_t{3}, py::ssize_t{1}}, /*readonly=*/false);
    case zol::ExPixelFormat::Mono8: break;
    }
    return py::buffer_info(data, 1, py::format_descriptor<std::uint8_t>::format(), 2,
                           {height, width}, {stride, py::ssize_t{1}}, /*readonly=*/false);
}

// Item size of a buffer of unsigned 8 or 16-bit samples in this machine's byte order, or 0.
py::ssize_t sample_size(const py::buffer_info& info) {
    std::string format = info.format;
    if (!format.empty() && std::string("@=<|").find(format[0]) != std::string::npos)
        format.erase(0, 1); // native (little-endian) order
    if (format == "B" && info.itemsize == 1)
        return 1;
    if (format == "H" && info.itemsize == 2)
        return 2;
    return 0;
}

// A new image holding a copy of `pixels`: (h, w) uint8 or uint16, or (h, w, 3) uint8, any
// strides. The format follows from the shape and sample type (RGB8 for three channels unless
// BGR8 is asked for); a format that does not fit them is a ValueError.
std::unique_ptr<zol::CxImage> image_from(const py::buffer& pixels,
                                         std::optional<zol::ExPixelFormat> format) {
    const py::buffer_info info = pixels.request();
    const py::ssize_t sample = sample_size(info);
    const bool color = info.ndim == 3 && info.shape[2] == 3 && sample == 1;
    if (!color && (info.ndim != 2 || sample == 0))
        throw py::value_error("CxImage: expected pixels of shape (height, width) of uint8 or "
                              "uint16, or (height, width, 3) of uint8");
    const zol::ExPixelFormat fits = color         ? zol::ExPixelFormat::RGB8
                                    : sample == 2 ? zol::ExPixelFormat::Mono16
                                                  : zol::ExPixelFormat::Mono8;
    const zol::ExPixelFormat chosen = format.value_or(fits);
    const bool same = chosen == fits || (color && chosen == zol::ExPixelFormat::BGR8);
    if (!same)
        throw py::value_error("CxImage: these pixels cannot be " +
                              py::str(py::cast(chosen)).cast<std::string>());
    if (info.shape[0] > INT32_MAX || info.shape[1] > INT32_MAX)
        throw py::value_error("CxImage: the pixels are too large for an image");
    const int height = static_cast<int>(info.shape[0]), width = static_cast<int>(info.shape[1]);
    auto img = std::make_unique<zol::CxImage>(width, height, chosen);
    // The destination is packed: one row copy where the source's pixels are packed too, else
    // one sample at a time.
    const py::ssize_t bpp = img->BytesPerPixel(), channels = color ? 3 : 1;
    const bool packed = info.strides[1] == bpp && (!color || info.strides[2] == 1);
    const auto* src = static_cast<const unsigned char*>(info.ptr);
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = src + y * info.strides[0];
        unsigned char* out = img->Address() + static_cast<std::size_t>(y) * img->Stride();
        if (packed) {
            std::memcpy(out, in, static_cast<std::size_t>(width * bpp));
            continue;
        }
        for (int x = 0; x < width; ++x)
            for (py::ssize_t c = 0; c < channels; ++c)
                std::memcpy(out + x * bpp + c * sample,
                            in + x * info.strides[1] + (color ? c * info.strides[2] : 0),
                            static_cast<std::size_t>(sample));
    }
    return img;
}

void init_image(py::module_& m) {
    py::enum_<zol::ExPixelFormat>(m, "ExPixelFormat",
                                  "Pixel format of an image and of a board's frames.")
        .value("Mono8", zol::ExPixelFormat::Mono8, "8-bit mono: (h, w) uint8")
        .value("Mono16", zol::ExPixelFormat::Mono16,
               "16-bit mono, also for 10 and 12-bit cameras: (h, w) uint16")
        .value("RGB8", zol::ExPixelFormat::RGB8, "8-bit red, green, blue: (h, w, 3) uint8")
        .value("BGR8", zol::ExPixelFormat::BGR8, "8-bit blue, green, red: (h, w, 3) uint8");

    // Default holder: the Python object owns the image; CxModule's allocation operators are the
    // class's own, so pybind11's `new`/`delete` go through the library.
    py::class_<zol::CxImage>(m, "CxImage", py::buffer_protocol(),
                             "An image of one pixel format. numpy.asarray(img) is a writable "
                             "zero-copy view: (height, width) uint8 or uint16, or (height, "
                             "width, 3) uint8, rows `stride` bytes apart. The view keeps the "
                             "image alive.")
        .def(py::init<>(), "An empty image (0x0).")
        .def(py::init<int, int, zol::ExPixelFormat, int>(), py::arg("width"), py::arg("height"),
             py::arg_v("format", zol::ExPixelFormat::Mono8, "ExPixelFormat.Mono8"),
             py::arg("stride") = 0,
             "A zero-filled image of width x height pixels; stride 0 packs the rows.")
        .def(py::init(&image_from), py::arg("pixels"), py::arg("format") = py::none(),
             "A copy of an array's pixels (any object with the buffer protocol).")
        // Self by reference: a member function pointer would be called on null for
        // `CxImage.width.fget(None)`.
        .def_property_readonly(
            "width", [](const zol::CxImage& img) { return img.Width(); }, "Pixels per row.")
        .def_property_readonly(
            "height", [](const zol::CxImage& img) { return img.Height(); }, "Rows.")
        .def_property_readonly(
            "stride", [](const zol::CxImage& img) { return img.Stride(); },
            "Bytes from one row to the next.")
        .def_property_readonly(
            "size", [](const zol::CxImage& img) { return img.Size(); }, "Bytes of pixel memory.")
        .def_property_readonly(
            "pixel_format", [](const zol::CxImage& img) { return img.PixelFormat(); },
            "The pixel format.")
        .def_property_readonly(
            "bytes_per_pixel", [](const zol::CxImage& img) { return img.BytesPerPixel(); },
            "Bytes of one pixel (1, 2 or 3).")
        .def_buffer(&image_buffer)
        .def("__repr__", [](const zol::CxImage& img) {
            std::string text =
                "<CxImage " + std::to_string(img.Width()) + "x" + std::to_string(img.Height());
            if (img.PixelFormat() != zol::ExPixelFormat::Mono8) // the default goes unnamed
                text += " " + py::str(py::cast(img.PixelFormat()).attr("name")).cast<std::string>();
            return text + ">";
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

// The classes an adapter accepts, with the parameter's name and how a refusal names them.
template <class... Impl> struct Accepts {
    const char* param;
    const char* text;
};
const Accepts<CxMB100, CxRM1600, CxDQ160, CxKX210, CxKX310, CxTR520, CxVideo> any_board{
    "board", "a board (MB100, RM1600, DQ160, KX210, KX310, TR520, Video)"};
const Accepts<CxMB100, CxRM1600, CxDQ160> io_board{"board", "an I/O board (MB100, RM1600, DQ160)"};
const Accepts<CxKX210, CxKX310, CxTR520> capture_board{"board",
                                                       "a capture board (KX210, KX310, TR520)"};
const Accepts<CxMB100Param, CxRM1600Param, CxDQ160Param, CxKX210Param, CxKX310Param, CxTR520Param>
    settings{"settings", "a settings object (MB100Param, RM1600Param, DQ160Param, KX210Param, "
                         "KX310Param, TR520Param)"};

// Adapter `name` from the accepted classes to `Interface`. The result refers into the argument's
// library object: returned without ownership, and it keeps the argument alive for as long as it
// exists.
template <class Interface, class... Impl>
void def_adapter(py::module_& m, const char* name, const Accepts<Impl...>& accepts,
                 const char* doc) {
    m.def(
        name,
        [name, text = accepts.text](py::handle obj) {
            return adapt<Interface, Impl...>(name, text, obj);
        },
        py::arg(accepts.param), py::return_value_policy::reference, py::keep_alive<0, 1>(), doc);
}

void init_adapters(py::module_& m) {
    def_adapter<zol::IxModule>(
        m, "as_module", any_board,
        "The board's IxModule, for members that take any module. Keeps the board alive.");
    def_adapter<zol::DIO::IxDIO>(m, "as_dio", io_board,
                                 "The I/O board's whole-port interface "
                                 "(unit.read/write/write_status). Keeps the board alive.");
    def_adapter<zol::DIO::IxIndexedDIO>(
        m, "as_indexed_dio", io_board,
        "The I/O board's single-point interface (unit.read/write/write_status with an index). "
        "Keeps the board alive.");
    def_adapter<zol::Video::IxVideoControl>(
        m, "as_video_control", capture_board,
        "The capture board's acquisition control (unit.start/stop/abort/wait/is_running). "
        "Keeps the board alive.");
    def_adapter<zol::IxRegister>(
        m, "as_register", settings,
        "The settings object's registers (unit.set_register/get_register). Keeps it alive.");
    def_adapter<zol::IxDeviceModule>(
        m, "as_device_module", settings,
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
    pyzol::init_item_value(m);
}
