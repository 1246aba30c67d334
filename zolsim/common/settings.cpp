// The settings store: a board's named settings, with their kinds, defaults and writability,
// read and written by name (GetParam, SetParam), by the library itself, and from and to
// settings files.
#include <cstdlib>
#include <string>

#include "common/core.h"

namespace zolsim {

namespace {
unsigned int model_kind(Kind k) {
    switch (k) {
    case Kind::Signed: return zol::Model::Signed;
    case Kind::Unsigned: return zol::Model::Unsigned;
    default: return zol::Model::Text;
    }
}
unsigned int model_count(Kind k) { return k == Kind::Text ? 0 : 1; }
const char* kind_name(Kind k) {
    return k == Kind::Signed ? "signed integer" : k == Kind::Unsigned ? "unsigned integer" : "text";
}
} // namespace

Settings::Settings(const std::vector<SettingDef>& catalogue) {
    for (const SettingDef& d : catalogue) {
        Entry e{d.kind, d.writable, d.number, d.text ? d.text : "", d.accepts};
        if (entries_.emplace(d.name, e).second)
            order_.push_back(d.name);
    }
}

const Settings::Entry& Settings::find(const char* op, std::string_view name) const {
    auto it = entries_.find(name);
    if (it == entries_.end())
        ZOLSIM_RAISE(UnknownParam, op, "no setting named '" + std::string(name) + "'");
    return it->second;
}

void Settings::get(const char* op, const char* name, void* value, zol::TxModel model) const {
    ZOLSIM_REQUIRE(name, op);
    ZOLSIM_REQUIRE(value, op);
    std::lock_guard<std::mutex> lock(mutex_);
    const Entry& e = find(op, name);
    if (model.Kind != model_kind(e.kind) || model.Count != model_count(e.kind))
        ZOLSIM_RAISE(ParamKind, op, std::string("setting '") + name + "' is a " + kind_name(e.kind));
    switch (e.kind) {
    case Kind::Signed: *static_cast<int*>(value) = static_cast<int>(e.number); break;
    case Kind::Unsigned:
        *static_cast<unsigned int*>(value) = static_cast<unsigned int>(e.number);
        break;
    case Kind::Text:
        static_cast<zol::CxStringA*>(value)->Assign(e.text.data(),
                                                    static_cast<unsigned int>(e.text.size()));
        break;
    }
}

void Settings::set(const char* op, const char* name, const void* value, zol::TxModel model) {
    ZOLSIM_REQUIRE(name, op);
    ZOLSIM_REQUIRE(value, op);
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& e = const_cast<Entry&>(find(op, name));
    if (model.Kind != model_kind(e.kind) || model.Count != model_count(e.kind))
        ZOLSIM_RAISE(ParamKind, op, std::string("setting '") + name + "' is a " + kind_name(e.kind));
    if (!e.writable)
        ZOLSIM_RAISE(ReadOnly, op, std::string("setting '") + name + "' is read-only");
    switch (e.kind) {
    case Kind::Signed: e.number = *static_cast<const int*>(value); break;
    case Kind::Unsigned: e.number = *static_cast<const unsigned int*>(value); break;
    case Kind::Text: {
        std::string text = static_cast<const zol::CxStringA*>(value)->Address();
        if (e.accepts && !e.accepts(text))
            ZOLSIM_RAISE(InvalidArgument, op,
                         std::string("setting '") + name + "': bad value '" + text + "'");
        e.text = std::move(text);
        break;
    }
    }
}

std::int64_t Settings::number(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return find("Settings", name).number;
}

void Settings::number(const std::string& name, std::int64_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& e = const_cast<Entry&>(find("Settings", name));
    e.number = e.kind == Kind::Unsigned ? static_cast<std::int64_t>(static_cast<std::uint32_t>(value))
                                        : static_cast<std::int64_t>(static_cast<std::int32_t>(value));
}

std::string Settings::text(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return find("Settings", name).text;
}

void Settings::text(const std::string& name, const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    const_cast<Entry&>(find("Settings", name)).text = value;
}

bool Settings::has(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.count(name) != 0;
}

void Settings::apply(const char* op, const NameValues& file) {
    if (file.malformed.line)
        refuse_line(op, file, file.malformed, "expected Name=Value");
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<std::string, Entry, std::less<>> next = entries_;
    for (const NameValue& p : file.pairs) {
        auto it = next.find(p.name);
        if (it == next.end())
            refuse_line(op, file, p, "unknown setting '" + p.name + "'");
        Entry& e = it->second;
        if (!e.writable)
            refuse_line(op, file, p, "setting '" + p.name + "' is read-only");
        const std::string& text = p.value;
        if (e.kind == Kind::Text) {
            if (e.accepts && !e.accepts(text))
                refuse_line(op, file, p, "setting '" + p.name + "': bad value '" + text + "'");
            e.text = text;
            continue;
        }
        char* end = nullptr;
        long long v = std::strtoll(text.c_str(), &end, 0);
        bool bad = text.empty() || *end != '\0';
        if (e.kind == Kind::Signed)
            bad = bad || v < INT32_MIN || v > INT32_MAX;
        else
            bad = bad || v < 0 || v > UINT32_MAX;
        if (bad)
            refuse_line(op, file, p,
                        "setting '" + p.name + "': bad value '" + text + "' (" +
                            kind_name(e.kind) + ")");
        e.number = v;
    }
    entries_.swap(next);
}

std::string Settings::dump() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    for (const std::string& name : order_) {
        const Entry& e = entries_.at(name);
        if (!e.writable)
            continue;
        out += name + "=" + (e.kind == Kind::Text ? e.text : std::to_string(e.number)) + "\n";
    }
    return out;
}

} // namespace zolsim
