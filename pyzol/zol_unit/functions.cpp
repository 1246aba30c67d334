// The module-level functions: the library's interface operations, called on any object the
// registry knows to implement the interface (pyzol.core's adapters make them), and the device
// information functions of zol::Video::Api.
//
// Results the library delivers through a pointer come back as the function's result, read from
// a zeroed local. Interfaces are taken by reference, so None matches no overload and nothing is
// called.
#include "dio/port.h" // first: through zol_unit.h, the casters and the record names
#include "common/item_value.h"

namespace pyzol {

// The `void*` through which Api writes its answer: None (null), a capsule (its pointer) or a
// pyzol.core.TxItemValue (its record). Any other object, bound ones included, matches no
// overload: the library would write its answer over that object's memory.
struct AnswerPointer {
    void* pointer = nullptr;
};

} // namespace pyzol

namespace pybind11 {
namespace detail {
template <> struct type_caster<pyzol::AnswerPointer> {
    PYBIND11_TYPE_CASTER(pyzol::AnswerPointer, const_name("pyzol.core.TxItemValue | "
                                                          "typing_extensions.CapsuleType | None"));

    bool load(handle src, bool) {
        if (src.is_none()) {
            value.pointer = nullptr;
            return true;
        }
        if (PyCapsule_CheckExact(src.ptr())) {
            void* pointer = PyCapsule_GetPointer(src.ptr(), PyCapsule_GetName(src.ptr()));
            if (!pointer) {
                PyErr_Clear();
                return false;
            }
            value.pointer = pointer;
            return true;
        }
        make_caster<pyzol::ItemValue> item;
        if (!item.load(src, /*convert=*/false))
            return false;
        auto* found = cast_op<pyzol::ItemValue*>(item);
        if (!found)
            return false; // an instance whose __init__ never ran
        value.pointer = found->record();
        return true;
    }
};
} // namespace detail
} // namespace pybind11

namespace pyzol {

using namespace zol;
using namespace zol::DIO;
using namespace zol::Video;

void init_dio_functions(py::module_& m) {
    m.def("read", &read_word<IxDIO>)
        .def("write", [](IxDIO& self, unsigned int word) { self.Write(word); })
        .def("write_status", &write_status_word<IxDIO>)
        .def("read", &read_point<IxIndexedDIO>)
        .def("write",
             [](IxIndexedDIO& self, int index, OutputState state) { self.Write(index, state); })
        .def("write_status", &write_status_point<IxIndexedDIO>);
}

void init_device_functions(py::module_& m) {
    // The module is the library's (a board's or device's): never owned from here. Its own Python
    // object comes back when it has one; otherwise a reference that keeps the settings object's
    // adapter, and so the settings object, alive.
    m.def(
         "get_device_module",
         [](const IxDeviceModule& self) { return self.GetDeviceModule(); },
         py::return_value_policy::reference_internal)
        .def("set_register", [](IxRegister& self, unsigned int reg,
                                unsigned int value) { self.SetRegister(reg, value); })
        .def("get_register",
             [](const IxRegister& self, unsigned int reg) {
                 unsigned int value = 0;
                 self.GetRegister(reg, &value);
                 return value;
             })
        .def("get_device_info",
             [](zol::ExDevice device, NarrowText item, AnswerPointer value) {
                 return Api::GetDeviceInfo(device, item, value.pointer);
             })
        .def("get_xml_item",
             [](NarrowPath file, NarrowText item, AnswerPointer value) {
                 return Api::GetXmlItem(file, item, value.pointer);
             })
        .def("get_xml_item", [](WidePath file, NarrowText item, AnswerPointer value) {
            return Api::GetXmlItem(file, item, value.pointer);
        });
}

void init_video_control_functions(py::module_& m) {
    m.def("start", [](IxVideoControl& self) { self.Start(); })
        .def("stop", [](IxVideoControl& self) { self.Stop(); })
        .def("abort", [](IxVideoControl& self) { self.Abort(); })
        .def("wait", [](IxVideoControl& self) { interruptible_wait(abort_of(self), [&] { self.Wait(); }); })
        .def("is_running", [](const IxVideoControl& self) { return self.IsRunning(); });
}

} // namespace pyzol
