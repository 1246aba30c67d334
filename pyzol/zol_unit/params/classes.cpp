// Registration of the six boards' settings objects, one template for all: the companion members,
// the typed settings, settings by name through the board's table, commands and registers, each
// as the class's description (settings.h) says. What is left to each class is the list of its
// typed settings, below.
#include "params/settings.h"

namespace pyzol {

using namespace zol::Video;
using namespace zol::DIO;

namespace {

template <class P> void def_settings(py::module_& m) {
    using D = Description<P>;
    py::class_<P> cls(m, D::name, keep_alive_slots());
    def_companion_head<P>(cls);
    D::typed(cls);
    def_by_name(cls);
    def_registers<P>(cls);
}

// The typed settings of a capture board's settings object: trigger_mode, exposure_time and a third
// (trigger_cycle_time, or video_offset on the TR520).
template <class P>
void def_capture_settings(py::class_<P>& cls, const char* third, void (P::*set)(int),
                          int (P::*get)() const) {
    def_setting(cls, "trigger_mode", &P::TriggerMode, &P::TriggerMode);
    def_setting(cls, "exposure_time", &P::ExposureTime, &P::ExposureTime);
    def_setting(cls, third, set, get);
}

} // namespace

void Description<CxKX210Param>::typed(py::class_<CxKX210Param>& cls) {
    def_capture_settings(cls, "trigger_cycle_time", &CxKX210Param::TriggerCycleTime, &CxKX210Param::TriggerCycleTime);
}

void Description<CxKX310Param>::typed(py::class_<CxKX310Param>& cls) {
    def_capture_settings(cls, "trigger_cycle_time", &CxKX310Param::TriggerCycleTime, &CxKX310Param::TriggerCycleTime);
}

void Description<CxTR520Param>::typed(py::class_<CxTR520Param>& cls) {
    def_capture_settings(cls, "video_offset", &CxTR520Param::VideoOffset, &CxTR520Param::VideoOffset);
}

void Description<CxMB100Param>::typed(py::class_<CxMB100Param>& cls) {
    using P = CxMB100Param;
    def_setting(cls, "timeout", &P::Timeout, &P::Timeout);
    def_setting(cls, "int_edge", &P::INTEdge, &P::INTEdge);
}

void Description<CxRM1600Param>::typed(py::class_<CxRM1600Param>& cls) {
    using P = CxRM1600Param;
    def_setting(cls, "timeout", &P::Timeout, &P::Timeout);
    def_setting(cls, "di_enable", &P::DIEnable, &P::DIEnable);
    def_setting(cls, "di_edge", &P::DIEdge, &P::DIEdge);
    def_setting(cls, "di_wait_enable", &P::DIWaitEnable, &P::DIWaitEnable);
}

void Description<CxDQ160Param>::typed(py::class_<CxDQ160Param>& cls) {
    using P = CxDQ160Param;
    def_setting(cls, "timeout", &P::Timeout, &P::Timeout);
    def_setting(cls, "int_enable", &P::INTEnable, &P::INTEnable);
    def_setting(cls, "int_edge", &P::INTEdge, &P::INTEdge);
    def_setting(cls, "int_wait_enable", &P::INTWaitEnable, &P::INTWaitEnable);
    def_setting(cls, "di_enable", &P::DIEnable, &P::DIEnable);
    def_setting(cls, "di_edge", &P::DIEdge, &P::DIEdge);
    def_setting(cls, "di_wait_enable", &P::DIWaitEnable, &P::DIWaitEnable);
    def_setting(cls, "di_wait_mode", &P::DIWaitMode, &P::DIWaitMode);
}

void init_mb100_param(py::module_& m) { def_settings<CxMB100Param>(m); }
void init_rm1600_param(py::module_& m) { def_settings<CxRM1600Param>(m); }
void init_dq160_param(py::module_& m) { def_settings<CxDQ160Param>(m); }
void init_kx210_param(py::module_& m) { def_settings<CxKX210Param>(m); }
void init_kx310_param(py::module_& m) { def_settings<CxKX310Param>(m); }
void init_tr520_param(py::module_& m) { def_settings<CxTR520Param>(m); }

} // namespace pyzol
