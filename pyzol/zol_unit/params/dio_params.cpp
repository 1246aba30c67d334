// Settings objects of the I/O boards: the companion members, typed settings, settings by name
// with each board's table, commands (none accepted) and registers. They sit beside the capture
// boards' settings objects (video_params.cpp) and use the same table notation (by_name.h).
#include "params/by_name.h"

namespace pyzol {

namespace {

using namespace zol::DIO;

// Name tables, written as the capture boards' are: per kind, the names that are readable and
// writable, read-only, or write-only.

// MB100: 11 readable, 9 writable.
const NameTable mb100_names = name_table({
    {ValueKind::Signed, Access::ReadWrite, {"INTEnable", "INTEdge", "Timeout", "Version"}},
    {ValueKind::Signed, Access::ReadOnly, {"INTStatus", "DeviceID", "DeviceType", "DriverVersion"}},
    {ValueKind::Signed, Access::WriteOnly, {"DIWaitMode", "INTWaitEnable"}},
    {ValueKind::Unsigned, Access::ReadWrite, {"DIEnable", "DIEdge", "DIWaitEnable"}},
});

// RM1600: 11 readable, 6 writable.
const NameTable rm1600_names = name_table({
    {ValueKind::Signed, Access::ReadWrite, {"DINoiseFilterTime", "Timeout"}},
    {ValueKind::Signed, Access::ReadOnly,
     {"DeviceID", "DeviceType", "DriverVersion", "FpgaVersion"}},
    {ValueKind::Signed, Access::WriteOnly, {"Version"}},
    {ValueKind::Unsigned, Access::ReadWrite, {"DIEnable", "DIEdge", "DIWaitEnable"}},
    {ValueKind::Text, Access::ReadOnly, {"DriverVersionName", "FpgaVersionName"}},
});

// DQ160: 18 readable, 13 writable.
const NameTable dq160_names = name_table({
    {ValueKind::Signed, Access::ReadWrite,
     {"INTEnable", "INTEdge", "DINoiseFilterWidth", "DINoiseFilterScale", "INTNoiseFilterWidth",
      "INTNoiseFilterScale", "Timeout", "DIWaitMode", "INTWaitEnable", "Version"}},
    {ValueKind::Signed, Access::ReadOnly,
     {"INTStatus", "DeviceID", "DeviceType", "DriverVersion", "FpgaVersion"}},
    {ValueKind::Unsigned, Access::ReadWrite, {"DIEnable", "DIEdge", "DIWaitEnable"}},
});

// The members after the typed settings; `Result` is the declared result of get_param.
template <class Result, class P>
void def_dio_param_tail(py::class_<P>& cls, const NameTable& names) {
    def_table_members<Result>(cls, names); // no I/O settings object accepts a command
    def_registers<P>(cls);
}

} // namespace

void init_mb100_param(py::module_& m) {
    using P = CxMB100Param;
    py::class_<P> cls(m, "MB100Param", holds_references());
    def_companion_head<P, CxMB100, false>(cls);
    def_setting(cls, "timeout", &P::Timeout, &P::Timeout);
    def_setting(cls, "int_edge", &P::INTEdge, &P::INTEdge);
    def_dio_param_tail<py::int_>(cls, mb100_names);
}

void init_rm1600_param(py::module_& m) {
    using P = CxRM1600Param;
    py::class_<P> cls(m, "RM1600Param", holds_references());
    def_companion_head<P, CxRM1600, false>(cls);
    def_setting(cls, "timeout", &P::Timeout, &P::Timeout);
    def_setting(cls, "di_enable", &P::DIEnable, &P::DIEnable);
    def_setting(cls, "di_edge", &P::DIEdge, &P::DIEdge);
    def_setting(cls, "di_wait_enable", &P::DIWaitEnable, &P::DIWaitEnable);
    def_dio_param_tail<py::object>(cls, rm1600_names); // it has text names too
}

void init_dq160_param(py::module_& m) {
    using P = CxDQ160Param;
    py::class_<P> cls(m, "DQ160Param", holds_references());
    def_companion_head<P, CxDQ160, false>(cls);
    def_setting(cls, "timeout", &P::Timeout, &P::Timeout);
    def_setting(cls, "int_enable", &P::INTEnable, &P::INTEnable);
    def_setting(cls, "int_edge", &P::INTEdge, &P::INTEdge);
    def_setting(cls, "int_wait_enable", &P::INTWaitEnable, &P::INTWaitEnable);
    def_setting(cls, "di_enable", &P::DIEnable, &P::DIEnable);
    def_setting(cls, "di_edge", &P::DIEdge, &P::DIEdge);
    def_setting(cls, "di_wait_enable", &P::DIWaitEnable, &P::DIWaitEnable);
    def_setting(cls, "di_wait_mode", &P::DIWaitMode, &P::DIWaitMode);
    def_dio_param_tail<py::int_>(cls, dq160_names);
}

} // namespace pyzol
