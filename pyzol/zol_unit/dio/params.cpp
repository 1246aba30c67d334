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

// A typed setting: the library's setter/getter pair of one name as a read-write property.
template <class P, class V, class Cls>
void def_setting(Cls& cls, const char* name, void (P::*set)(V), V (P::*get)() const) {
    cls.def_property(
        name, [get](const P& self) { return (self.*get)(); },
        [set](P& self, V value) { (self.*set)(value); });
}

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
             })
        .def("set_register",
             [](P& self, unsigned int reg, unsigned int value) { self.SetRegister(reg, value); })
        .def("get_register", [](P& self, unsigned int reg) {
            unsigned int value = 0;
            self.GetRegister(reg, &value);
            return value;
        });
}

} // namespace

void init_mb100_param(py::module_& m) {
    py::class_<CxMB100Param> cls(m, "MB100Param");
    def_companion_head<CxMB100Param, CxMB100, false>(cls);
    def_setting(cls, "timeout", &CxMB100Param::Timeout, &CxMB100Param::Timeout);
    def_setting(cls, "int_edge", &CxMB100Param::INTEdge, &CxMB100Param::INTEdge);
    def_dio_param_tail<CxMB100Param, py::int_>(cls, mb100_names);
}

} // namespace pyzol
