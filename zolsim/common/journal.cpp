// The journal: every library operation is recorded, with its arguments rendered as text,
// while the journal is on (ZOL_SIM_JOURNAL, sim::SetJournal); sim::Journal reads it back.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <zol/sim.h>

#include "common/core.h"

namespace zolsim {

namespace {
bool journal_from_environment() {
    const char* v = std::getenv("ZOL_SIM_JOURNAL");
    return v && *v && std::strcmp(v, "0") != 0;
}
std::mutex g_journal_mutex;
std::size_t g_journal_cleared = 0; // entries recorded before the first one kept
std::vector<std::string>& journal_entries() {
    // Never destroyed (see core.h).
    static auto* entries = new std::vector<std::string>;
    return *entries;
}
} // namespace

std::atomic<bool> g_journal_on{journal_from_environment()};

void journal_add(std::string entry) {
    std::lock_guard<std::mutex> lock(g_journal_mutex);
    journal_entries().push_back(std::move(entry));
}

// ---- argument renderings ------------------------------------------------------------------------

namespace {
void hex(std::string& s, const char* prefix, unsigned long v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*lx", digits, v);
    s += prefix;
    s += buf;
}
} // namespace

void put(std::string& s, int v) { s += std::to_string(v); }
void put(std::string& s, unsigned int v) { s += std::to_string(v); }
void put(std::string& s, bool v) { s += v ? "true" : "false"; }
void put(std::string& s, char v) { s += std::to_string(static_cast<unsigned char>(v)); }

void put(std::string& s, const char* v) {
    if (!v) {
        s += "null";
        return;
    }
    s += '"';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(v); *p; ++p) {
        if (*p < 0x20 || *p > 0x7e || *p == '"' || *p == '\\')
            hex(s, "\\x", *p, 2);
        else
            s += static_cast<char>(*p);
    }
    s += '"';
}

void put(std::string& s, const wchar_t* v) {
    if (!v) {
        s += "null";
        return;
    }
    s += "L\"";
    for (const wchar_t* p = v; *p; ++p) {
        unsigned long c = static_cast<unsigned long>(static_cast<std::uint32_t>(*p));
        if (c < 0x20 || c > 0x7e || c == '"' || c == '\\')
            c <= 0xffff ? hex(s, "\\u", c, 4) : hex(s, "\\U", c, 8);
        else
            s += static_cast<char>(c);
    }
    s += '"';
}

void put(std::string& s, const zol::CxModule* v) {
    if (!v) {
        s += "null";
        return;
    }
    const char* cls = PrivateAccess::class_name(v);
    s += std::strcmp(cls, "CxImage") == 0 ? "img" : cls;
    s += '#';
    s += std::to_string(PrivateAccess::serial(v));
}

void put(std::string& s, const zol::IxModule* v) {
    put(s, dynamic_cast<const zol::CxModule*>(v));
}

void put(std::string& s, const zol::CxImage& v) { put(s, static_cast<const zol::CxModule*>(&v)); }

void put(std::string& s, zol::TxModel v) {
    s += "model(" + std::to_string(v.Kind) + "," + std::to_string(v.Count) + ")";
}

void put(std::string& s, Out v) { s += v.p ? "out" : "null"; }

void put(std::string& s, IntPtr v) {
    if (!v.p)
        s += "null";
    else
        s += "&" + std::to_string(*v.p);
}

void put(std::string& s, Images v) {
    if (!v.images) {
        s += "null";
        return;
    }
    s += '[';
    for (int i = 0; i < v.count; ++i) {
        if (i)
            s += ", ";
        put(s, static_cast<const zol::CxModule*>(v.images[i]));
    }
    s += ']';
}

void put(std::string& s, Value v) {
    if (!v.p) {
        s += "null";
        return;
    }
    switch (v.model.Kind) {
    case zol::Model::Signed: put(s, *static_cast<const int*>(v.p)); break;
    case zol::Model::Unsigned: put(s, *static_cast<const unsigned int*>(v.p)); break;
    case zol::Model::Text: put(s, static_cast<const zol::CxStringA*>(v.p)->Address()); break;
    default: s += "out"; break;
    }
}

} // namespace zolsim

// ---- control surface: the journal ---------------------------------------------------------------

namespace zol {
namespace sim {

void SetJournal(bool on) { zolsim::g_journal_on.store(on); }
bool JournalOn() { return zolsim::journal_on(); }

std::vector<std::string> Journal() {
    std::lock_guard<std::mutex> lock(zolsim::g_journal_mutex);
    return zolsim::journal_entries();
}

std::size_t JournalSize() {
    std::lock_guard<std::mutex> lock(zolsim::g_journal_mutex);
    return zolsim::g_journal_cleared + zolsim::journal_entries().size();
}

std::vector<std::string> JournalFrom(std::size_t first) {
    std::lock_guard<std::mutex> lock(zolsim::g_journal_mutex);
    const auto& kept = zolsim::journal_entries();
    std::size_t skip = first > zolsim::g_journal_cleared ? first - zolsim::g_journal_cleared : 0;
    if (skip >= kept.size())
        return {};
    return std::vector<std::string>(kept.begin() + static_cast<long>(skip), kept.end());
}

void ClearJournal() {
    std::lock_guard<std::mutex> lock(zolsim::g_journal_mutex);
    zolsim::g_journal_cleared += zolsim::journal_entries().size();
    zolsim::journal_entries().clear();
}

} // namespace sim
} // namespace zol
