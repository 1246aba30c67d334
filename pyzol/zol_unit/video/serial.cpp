// The camera serial links KX210Sio and KX310Sio: one binding for both (the library orders their
// operations differently, which member function pointers make irrelevant here).
//
// Bytes cross one for one: a byte read becomes the character of the same code point (Latin-1),
// so everything the camera sent comes back and `text.encode("latin-1")` gives the bytes. Text
// written goes out as UTF-8 (bytes pass unchanged). Reads let other Python threads run while the
// library waits for the camera.
#include <cstdint>
#include <cstring>
#include <string>

#include "zol_unit.h"

namespace pyzol {

using namespace zol::Video;

template <> struct Description<CxKX210Sio> : CompanionOf<CxKX210, Copy::Allowed> {};
template <> struct Description<CxKX310Sio> : CompanionOf<CxKX310, Copy::Allowed> {};

namespace {

// A str of `size` characters, each the code point of one byte.
py::str latin1(const char* bytes, std::size_t size) {
    PyObject* text = PyUnicode_DecodeLatin1(bytes, static_cast<Py_ssize_t>(size), nullptr);
    if (!text)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

// Whether no byte is above 0x7F, looked at eight bytes at a time.
bool all_ascii(const char* bytes, std::size_t size) {
    std::uint64_t seen = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        seen |= word;
    }
    for (; i < size; ++i)
        seen |= static_cast<unsigned char>(bytes[i]);
    return (seen & 0x8080808080808080u) == 0;
}

// What ends a serial read on Ctrl-C: the library has no abort for it, but closing the link
// wakes the reader. The link is closed afterwards; `open` it again to go on.
template <class S> auto closes(S& link) {
    return [&link] { link.Close(); };
}

// `read(size)`: exactly `size` characters. The buffer starts as a blank followed by NULs, so
// whatever the library leaves unwritten shows as such; it lives on the heap for this call only,
// so a large size cannot exhaust the stack. The buffer is the data of a new ASCII str, which
// nothing else can see until it is returned: an ASCII answer (the usual case) is returned as it
// is, without a copy; one with a byte above 0x7F is copied into a Latin-1 str instead.
template <class S> py::str read_text(S& self, int size) {
    if (size < 0)
        throw py::value_error("read size must not be negative, got " + std::to_string(size));
    if (size == 0) {
        char unused = ' '; // the empty str is shared: the library never gets its data
        interruptible_wait(closes(self), [&] { self.Read(&unused, 0); });
        return py::str();
    }
    const std::size_t n = static_cast<std::size_t>(size);
    auto text = py::reinterpret_steal<py::str>(PyUnicode_New(size, 127));
    if (!text)
        throw py::error_already_set();
    char* buffer = static_cast<char*>(PyUnicode_DATA(text.ptr()));
    buffer[0] = ' ';
    std::memset(buffer + 1, 0, n - 1);
    interruptible_wait(closes(self), [&] { self.Read(buffer, size); });
    return all_ascii(buffer, n) ? text : latin1(buffer, n);
}

template <class S> void def_serial_link(py::module_& m, const char* name) {
    py::class_<S> cls(m, name, keep_alive_slots());
    def_companion_head<S>(cls);
    cls.def("open", [](S& self) { self.Open(); })
        .def("close", [](S& self) { self.Close(); })
        .def("purge", [](S& self) { self.Purge(); })
        .def_property_readonly("is_opened", [](const S& self) { return self.IsOpened(); });
    def_setting(cls, "timeout", &S::Timeout, &S::Timeout);
    // A `char` argument takes one character below U+0100 (the binding library's ValueErrors
    // otherwise) and passes its code point as the byte.
    cls.def("write_byte", [](S& self, char byte) { self.WriteByte(byte); })
        .def("read_byte",
             [](S& self) {
                 const char byte =
                     interruptible_wait(closes(self), [&] { return self.ReadByte(); });
                 return latin1(&byte, 1);
             })
        .def("write", [](S& self, NarrowText text) { self.Write(text); })
        .def("read", &read_text<S>)
        .def("set_camera_mode", [](S& self, NarrowText mode) { self.SetCameraMode(mode); });
}

} // namespace

void init_kx210_sio(py::module_& m) { def_serial_link<CxKX210Sio>(m, "KX210Sio"); }

void init_kx310_sio(py::module_& m) { def_serial_link<CxKX310Sio>(m, "KX310Sio"); }

} // namespace pyzol
