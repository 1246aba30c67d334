// Video: the library's board-independent video device. Every member forwards to CxVideo; the
// module's own parts are the command check of `send_command` and settings by name, which go to
// the table of the board type the device stands for (through that settings class's description)
// on a settings object made for the call.
//
// Like the boards, the device's Python object holds what the library keeps using: the image or
// module given to the last successful `start` (Kept::Images, until the next start, `close`,
// `dispose` or the object's end) and the module given to `controller` (Kept::Controller).
// `grab` and `wait` let other Python threads run while the library waits.
#include <memory>
#include <string>

#include "params/settings.h"
#include "video/from_file.h"

namespace pyzol {

using namespace zol;
using namespace zol::Video;

template <> struct Description<CxVideo> {
    static constexpr FileOption file_option = FileOption::Trailing;
};

namespace {

// Runs `f` on a settings object of class P attached to `video`, made for this call and
// destroyed when it ends, also by an exception.
template <class P, class F> py::object with_settings(CxVideo& video, F& f) {
    std::unique_ptr<P> settings(new P(P::From(&video)));
    return f(settings.get());
}

// Runs `f` on a settings object of the board type `video` stands for (TR520, KX310, KX210, tested
// in that order). False when the type has none: then nothing is made and `f` is not called.
template <class F> bool on_board_settings(CxVideo& video, F f, py::object& result) {
    const ExDevice type = video.DeviceType();
    if (type == ExDevice::TR520)
        result = with_settings<CxTR520Param>(video, f);
    else if (type == ExDevice::KX310)
        result = with_settings<CxKX310Param>(video, f);
    else if (type == ExDevice::KX210)
        result = with_settings<CxKX210Param>(video, f);
    else
        return false;
    return true;
}

const CommandSet video_commands{"SelfCalibration",  "ClearTriggerMask",   "ResetPG",    "StopPG",
                                "ResetPLLReconfig", "ExecutePLLReconfig", "PLLReconfig"};

// What the device holds for the library once a start has succeeded, or after close/dispose
// (None).
void hold_started(const CxVideo& video, py::object value) {
    keep_alive(owner_of(&video), Kept::Images, std::move(value));
}

} // namespace

void init_video(py::module_& m) {
    py::class_<CxVideo> cls(m, "Video", keep_alive_slots());
    def_from_file(cls);
    cls.def(py::init<>()).def(py::init<const CxVideo&>(), copies_controller());
    def_comparisons<CxVideo>(cls);
    cls.def_property(
           "controller",
           [](const CxVideo& self) -> py::object {
               IxModule* module = self.Controller();
               if (!module)
                   return py::none();
               // The module's own Python object (a board, a device) when it has one.
               return py::cast(module, py::return_value_policy::reference_internal,
                               owner_of(&self));
           },
           [](CxVideo& self, IxModule* module) {
               self.Controller(module);
               keep_alive(owner_of(&self), Kept::Controller, module ? object_of(module) : py::none());
           })
        .def_property(
            "device_type", [](const CxVideo& self) { return self.DeviceType(); },
            [](CxVideo& self, ExDevice type) { self.DeviceType(type); })
        .def("dispose",
             [](CxVideo& self) {
                 self.Dispose();
                 hold_started(self, py::none());
             })
        .def_property_readonly("is_valid", [](const CxVideo& self) { return self.IsValid(); })
        .def("close",
             [](CxVideo& self) {
                 self.Close();
                 hold_started(self, py::none());
             })
        .def("save", [](const CxVideo& self, NarrowPath path) { self.Save(path); })
        .def("save_w", [](const CxVideo& self, WidePath path) { self.Save(path); })
        // A reference cannot be None: None fails the CxImage overloads and reaches the IxModule
        // ones as a null pointer.
        .def("validate", [](CxVideo& self, CxImage& image) { self.Validate(image); })
        .def("validate", [](CxVideo& self, IxModule* module) { self.Validate(module); })
        .def("grab",
             [](CxVideo& self, CxImage& image) {
                 interruptible_wait(abort_of(self), [&] { self.Grab(image); });
             })
        .def("grab",
             [](CxVideo& self, IxModule* module) {
                 interruptible_wait(abort_of(self), [&] { self.Grab(module); });
             })
        .def("start",
             [](CxVideo& self, CxImage& image) {
                 self.Start(image);
                 hold_started(self, object_of(&image));
             })
        .def("start",
             [](CxVideo& self, IxModule* module) {
                 self.Start(module);
                 hold_started(self, object_of(module));
             })
        .def("wait", [](CxVideo& self) { interruptible_wait(abort_of(self), [&] { self.Wait(); }); })
        .def("abort", [](CxVideo& self) { self.Abort(); })
        .def_property_readonly("is_running", [](const CxVideo& self) { return self.IsRunning(); })
        .def("status", [](CxVideo& self) { return self.Status(); })
        .def("force_trigger", [](CxVideo& self) { self.ForceTrigger(); });
    def_setting(cls, "trigger_mode", &CxVideo::TriggerMode, &CxVideo::TriggerMode);
    def_setting(cls, "exposure_time", &CxVideo::ExposureTime, &CxVideo::ExposureTime);
    def_setting(cls, "trigger_cycle_time", &CxVideo::TriggerCycleTime,
                &CxVideo::TriggerCycleTime);
    // Called through the class with None, these get no library object: status 2.
    cls.def("get_param",
            [](CxVideo* self, const Name& name) {
                if (!self)
                    PYZOL_THROW(2);
                py::object result;
                auto get = [&](auto* settings) { return get_param(*settings, name); };
                if (!on_board_settings(*self, get, result))
                    PYZOL_THROW(1);
                return result;
            })
        .def("set_param",
             [](CxVideo* self, const Name& name, py::object value) {
                 if (!self)
                     PYZOL_THROW(2);
                 py::object none;
                 auto set = [&](auto* settings) {
                     set_param(*settings, name, value);
                     return py::object();
                 };
                 if (!on_board_settings(*self, set, none))
                     PYZOL_THROW(1);
             })
        .def("send_command", [](CxVideo& self, const Name& name) {
            if (!video_commands.contains(name.text))
                PYZOL_THROW(1);
            send_by_name(&self, name);
        });
}

} // namespace pyzol
