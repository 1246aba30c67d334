#include "params/by_name.h"

namespace pyzol {

const ValueKind* NameSet::find(std::string_view name) const {
    auto it = kinds_.find(name);
    return it == kinds_.end() ? nullptr : &it->second;
}

NameTable name_table(std::initializer_list<NameGroup> groups) {
    NameTable table;
    for (const NameGroup& g : groups)
        for (const char* name : g.names) {
            if (g.access != Access::WriteOnly)
                table.read.add(name, g.kind);
            if (g.access != Access::ReadOnly)
                table.write.add(name, g.kind);
        }
    return table;
}

zol::TxModel model_of(ValueKind kind) {
    zol::TxModel model;
    switch (kind) {
    case ValueKind::Signed: model.Kind = zol::Model::Signed, model.Count = 1; break;
    case ValueKind::Unsigned: model.Kind = zol::Model::Unsigned, model.Count = 1; break;
    case ValueKind::Text: model.Kind = zol::Model::Text, model.Count = 0; break;
    }
    return model;
}

zol::TxModel command_model() {
    zol::TxModel model;
    model.Kind = zol::Model::Command, model.Count = 1;
    return model;
}

} // namespace pyzol
