// Settings objects of the I/O boards: the companion members, typed settings, settings by name
// with each board's table, commands (none accepted) and registers.
#include "params/by_name.h"

namespace pyzol {

namespace {

using namespace zol::DIO;

// Name tables, each list in search order.
const NameTable mb100_names{
    {{ValueKind::Signed,
      {"INTEnable", "INTEdge", "INTStatus", "DeviceID", "DeviceType", "DriverVersion", "Timeout",
       "Version"}},
     {ValueKind::Unsigned, {"DIEnable", "DIEdge", "DIWaitEnable"}}},
    {{ValueKind::Signed,
      {"INTEnable", "INTEdge", "Timeout", "DIWaitMode", "INTWaitEnable", "Version"}},
     {ValueKind::Unsigned, {"DIEnable", "DIEdge", "DIWaitEnable"}}},
};

const NameTable rm1600_names{
    {{ValueKind::Signed,
      {"DINoiseFilterTime", "DeviceID", "DeviceType", "DriverVersion", "FpgaVersion", "Timeout"}},
     {ValueKind::Unsigned, {"DIEnable", "DIEdge", "DIWaitEnable"}},
     {ValueKind::Text, {"DriverVersionName", "FpgaVersionName"}}},
    {{ValueKind::Signed, {"DINoiseFilterTime", "Timeout", "Version"}},
     {ValueKind::Unsigned, {"DIEnable", "DIEdge", "DIWaitEnable"}}},
};

const NameTable dq160_names{
    {{ValueKind::Signed,
      {"INTEnable", "INTEdge", "DINoiseFilterWidth", "DINoiseFilterScale", "INTNoiseFilterWidth",
       "INTNoiseFilterScale", "INTStatus", "DeviceID", "DeviceType", "DriverVersion",
       "FpgaVersion", "Timeout", "DIWaitMode", "INTWaitEnable", "Version"}},
     {ValueKind::Unsigned, {"DIEnable", "DIEdge", "DIWaitEnable"}}},
    {{ValueKind::Signed,
      {"INTEnable", "INTEdge", "DINoiseFilterWidth", "DINoiseFilterScale", "INTNoiseFilterWidth",
       "INTNoiseFilterScale", "Timeout", "DIWaitMode", "INTWaitEnable", "Version"}},
     {ValueKind::Unsigned, {"DIEnable", "DIEdge", "DIWaitEnable"}}},
};

// The members after the typed settings; `Result` is the declared result of get_param.
template <class P, class Result, class Cls> void def_dio_param_tail(Cls& cls, const NameTable& names) {
    cls.def("get_param",
            [&names](P& self, const std::string& name) {
                const ValueKind* kind = names.read.find(name);
                if (!kind)
                    PYZOL_THROW(1);
                return py::reinterpret_steal<Result>(read_by_name(&self, name, *kind).release());
            })
        .def("set_param",
             [&names](P& self, const std::string& name, py::object value) {
                 const ValueKind* kind = names.write.find(name);
                 if (!kind)
                     PYZOL_THROW(1);
                 write_by_name(&self, name, *kind, value);
             })
        .def("send_command",
             [](P&, const std::string&) {
                 // No I/O settings object accepts a command.
                 PYZOL_THROW(1);
             });
    def_registers<P>(cls);
}

} // namespace

void init_mb100_param(py::module_& m) {
    using P = CxMB100Param;
    py::class_<P> cls(m, "MB100Param", holds_references());
    def_companion_head<P, CxMB100, false>(cls);
    def_setting(cls, "timeout", &P::Timeout, &P::Timeout);
    def_setting(cls, "int_edge", &P::INTEdge, &P::INTEdge);
    def_dio_param_tail<P, py::int_>(cls, mb100_names);
}

void init_rm1600_param(py::module_& m) {
    using P = CxRM1600Param;
    py::class_<P> cls(m, "RM1600Param", holds_references());
    def_companion_head<P, CxRM1600, false>(cls);
    def_setting(cls, "timeout", &P::Timeout, &P::Timeout);
    def_setting(cls, "di_enable", &P::DIEnable, &P::DIEnable);
    def_setting(cls, "di_edge", &P::DIEdge, &P::DIEdge);
    def_setting(cls, "di_wait_enable", &P::DIWaitEnable, &P::DIWaitEnable);
    def_dio_param_tail<P, py::object>(cls, rm1600_names); // it has text names too
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
    def_dio_param_tail<P, py::int_>(cls, dq160_names);
}

} // namespace pyzol
