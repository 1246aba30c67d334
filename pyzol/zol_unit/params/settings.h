// The settings objects of the six boards, each described once: its board, its Python name,
// whether Python may copy it, where a refused name is reported from, the declared result of
// get_param, its name table and commands (tables.cpp), and its typed settings (settings.cpp).
// `def_settings<P>` (settings.cpp) registers any of them from its description; the generic video
// device reaches a board's table through the same description.
//
// The capture boards' settings objects refuse names from their table functions, named after the
// board; the I/O boards' ones refuse in their bound members and accept no command.
#pragma once

#include "params/by_name.h"

namespace pyzol {

template <>
struct Description<zol::Video::CxKX210Param> : CompanionOf<zol::Video::CxKX210, Copy::Allowed> {
    static constexpr const char* name = "KX210Param";
    static constexpr Refusers refusers{"kx210_get_param", "kx210_set_param"};
    using GetResult = py::object;
    static const NameTable names;
    static const CommandSet commands;
    static void typed(py::class_<zol::Video::CxKX210Param>& cls);
};

template <>
struct Description<zol::Video::CxKX310Param> : CompanionOf<zol::Video::CxKX310, Copy::Allowed> {
    static constexpr const char* name = "KX310Param";
    static constexpr Refusers refusers{"kx310_get_param", "kx310_set_param"};
    using GetResult = py::object;
    static const NameTable names;
    static const CommandSet commands;
    static void typed(py::class_<zol::Video::CxKX310Param>& cls);
};

template <>
struct Description<zol::Video::CxTR520Param> : CompanionOf<zol::Video::CxTR520, Copy::Allowed> {
    static constexpr const char* name = "TR520Param";
    static constexpr Refusers refusers{"tr520_get_param", "tr520_set_param"};
    using GetResult = py::object;
    static const NameTable names;
    static const CommandSet commands;
    static void typed(py::class_<zol::Video::CxTR520Param>& cls);
};

template <>
struct Description<zol::DIO::CxMB100Param> : CompanionOf<zol::DIO::CxMB100, Copy::Refused> {
    static constexpr const char* name = "MB100Param";
    static constexpr Refusers refusers{};
    using GetResult = py::int_;
    static const NameTable names;
    static const CommandSet commands;
    static void typed(py::class_<zol::DIO::CxMB100Param>& cls);
};

template <>
struct Description<zol::DIO::CxRM1600Param> : CompanionOf<zol::DIO::CxRM1600, Copy::Refused> {
    static constexpr const char* name = "RM1600Param";
    static constexpr Refusers refusers{};
    using GetResult = py::object; // it has text names too
    static const NameTable names;
    static const CommandSet commands;
    static void typed(py::class_<zol::DIO::CxRM1600Param>& cls);
};

template <>
struct Description<zol::DIO::CxDQ160Param> : CompanionOf<zol::DIO::CxDQ160, Copy::Refused> {
    static constexpr const char* name = "DQ160Param";
    static constexpr Refusers refusers{};
    using GetResult = py::int_;
    static const NameTable names;
    static const CommandSet commands;
    static void typed(py::class_<zol::DIO::CxDQ160Param>& cls);
};

// Settings by name on a capture board's settings object, refused from its table functions.
template <class P> py::object get_param(P& settings, const std::string& name) {
    using D = Description<P>;
    return get_by_table(settings, D::names, D::refusers.get, name);
}
template <class P> void set_param(P& settings, const std::string& name, py::handle value) {
    using D = Description<P>;
    set_by_table(settings, D::names, D::refusers.set, name, value);
}

} // namespace pyzol
