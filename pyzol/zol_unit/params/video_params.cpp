// Settings objects of the capture boards.
#include "params/by_name.h"

namespace pyzol {

void init_kx210_param(py::module_&) {}
void init_kx310_param(py::module_&) {}
void init_tr520_param(py::module_&) {}

} // namespace pyzol
