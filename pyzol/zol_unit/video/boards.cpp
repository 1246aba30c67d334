// The capture boards KX210, KX310 and TR520.
#include "zol_unit.h"

namespace pyzol {

void init_kx210(py::module_&) {}
void init_kx310(py::module_&) {}
void init_tr520(py::module_&) {}

} // namespace pyzol
