#include "params/name_table.h"

namespace pyzol {

void NameSet::add(std::string_view name, ValueKind kind) {
    if (kinds_.emplace(name, kind).second)
        order_.push_back(name);
}

const ValueKind* NameSet::find(std::string_view name) const {
    auto it = kinds_.find(name);
    return it == kinds_.end() ? nullptr : &it->second;
}

std::vector<std::string> NameSet::names() const {
    return std::vector<std::string>(order_.begin(), order_.end());
}

NameTable name_table(std::initializer_list<NameGroup> groups) {
    NameTable table;
    std::unordered_set<std::string_view> seen;
    for (const NameGroup& g : groups)
        for (const char* name : g.names) {
            if (g.access != Access::WriteOnly)
                table.read.add(name, g.kind);
            if (g.access != Access::ReadOnly)
                table.write.add(name, g.kind);
            if (seen.insert(name).second)
                table.order.push_back(name);
        }
    return table;
}

} // namespace pyzol
