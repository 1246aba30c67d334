// Settings objects of the capture boards: the companion members, three typed settings, settings
// by name through the board's table, commands and registers. The three classes are one template;
// what differs between them is the description passed by each init function below.
#include "params/by_name.h"
#include "params/tables.h"

namespace pyzol {

namespace {

using namespace zol::Video;

template <class P> struct VideoParamClass {
    const char* name;
    // The third typed setting: trigger_cycle_time, or video_offset on the TR520.
    const char* third;
    void (P::*set_third)(int);
    int (P::*get_third)() const;
    py::object (*get_param)(P*, const std::string&);
    void (*set_param)(P*, const std::string&, py::object&);
    // Commands the board's settings object accepts; null: none.
    const CommandSet* commands;
};

template <class P, class B> void def_video_param(py::module_& m, const VideoParamClass<P>& c) {
    py::class_<P> cls(m, c.name, holds_references());
    def_companion_head<P, B, true>(cls);
    def_setting(cls, "trigger_mode", &P::TriggerMode, &P::TriggerMode);
    def_setting(cls, "exposure_time", &P::ExposureTime, &P::ExposureTime);
    def_setting(cls, c.third, c.set_third, c.get_third);
    cls.def("get_param",
            [get = c.get_param](P& self, const std::string& name) { return get(&self, name); })
        .def("set_param",
             [set = c.set_param](P& self, const std::string& name, py::object value) {
                 set(&self, name, value);
             })
        .def("send_command",
             [commands = c.commands](P& self, const std::string& name) {
                 if (!commands || !commands->contains(name))
                     PYZOL_THROW(1);
                 send_by_name(&self, name);
             });
    def_registers<P>(cls);
}

const CommandSet kx310_commands{"ClearTriggerMask", "ResetPG", "StopPG", "ResetPLLReconfig",
                                "ExecutePLLReconfig", "PLLReconfig"};
const CommandSet tr520_commands{"SelfCalibration"};

} // namespace

void init_kx210_param(py::module_& m) {
    using P = CxKX210Param;
    def_video_param<P, CxKX210>(m, {"KX210Param", "trigger_cycle_time", &P::TriggerCycleTime,
                                    &P::TriggerCycleTime, kx210_get_param, kx210_set_param,
                                    nullptr});
}

void init_kx310_param(py::module_& m) {
    using P = CxKX310Param;
    def_video_param<P, CxKX310>(m, {"KX310Param", "trigger_cycle_time", &P::TriggerCycleTime,
                                    &P::TriggerCycleTime, kx310_get_param, kx310_set_param,
                                    &kx310_commands});
}

void init_tr520_param(py::module_& m) {
    using P = CxTR520Param;
    def_video_param<P, CxTR520>(m, {"TR520Param", "video_offset", &P::VideoOffset,
                                    &P::VideoOffset, tr520_get_param, tr520_set_param,
                                    &tr520_commands});
}

} // namespace pyzol
