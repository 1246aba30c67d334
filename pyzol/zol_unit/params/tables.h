// The name tables of the capture boards' settings: reading and writing a setting by name on a
// settings object. The bound members of KX210Param, KX310Param and TR520Param call these, and so
// does the generic video device once it knows which board it stands for.
//
// A name the table does not know (in that direction) throws CxException with status 1 from the
// function itself, so the error names it (Function:kx210_get_param ...). A value that does not
// convert to the name's kind raises the binding library's cast error. Nothing is called on the
// settings object in either case.
#pragma once

#include <string>

#include "zol_unit.h"

namespace pyzol {

py::object kx210_get_param(zol::Video::CxKX210Param* param, const std::string& name);
void kx210_set_param(zol::Video::CxKX210Param* param, const std::string& name, py::object& value);

py::object kx310_get_param(zol::Video::CxKX310Param* param, const std::string& name);
void kx310_set_param(zol::Video::CxKX310Param* param, const std::string& name, py::object& value);

py::object tr520_get_param(zol::Video::CxTR520Param* param, const std::string& name);
void tr520_set_param(zol::Video::CxTR520Param* param, const std::string& name, py::object& value);

} // namespace pyzol
