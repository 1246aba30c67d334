// The name tables of every class with settings by name (tables.cpp): the six boards' settings
// objects and the two encoder units.
#pragma once

#include <vector>

#include "params/name_table.h"

namespace pyzol {
namespace tables {

extern const NameTable kx210_param, kx310_param, tr520_param, mb100_param, rm1600_param,
    dq160_param, kx210_encoder, kx310_encoder;
extern const CommandSet kx210_param_commands, kx310_param_commands, tr520_param_commands,
    mb100_param_commands, rm1600_param_commands, dq160_param_commands;

// A class's Python name, its table, and its commands (null: the class has no SendCommand).
struct ClassTable {
    const char* name;
    const NameTable& names;
    const CommandSet* commands;
};
const std::vector<ClassTable>& all();

} // namespace tables
} // namespace pyzol
