// Live objects and the reset: every library object (CxModule) is registered with a serial
// number of its class while it lives, so a reference can tell whether its object still exists;
// sim::Reset drops the racks' boards (through the hooks the families register), the journal,
// the faults and the serial numbers.
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include <zol/sim.h>

#include "common/core.h"

namespace zolsim {

namespace {
std::mutex g_registry_mutex;
std::unordered_map<const zol::CxModule*, unsigned int>& registry() {
    // Never destroyed (see core.h).
    static auto* live = new std::unordered_map<const zol::CxModule*, unsigned int>;
    return *live;
}
std::unordered_map<std::string, unsigned int>& serial_counters() {
    // Never destroyed (see core.h).
    static auto* counters = new std::unordered_map<std::string, unsigned int>;
    return *counters;
}
std::atomic<long> g_live{0};

// Registers a new object; one made by moving takes over the serial number of `moved`, which is
// left without one (references to it no longer find it alive).
unsigned int enter(const zol::CxModule* object, const char* cls,
                   const zol::CxModule* moved = nullptr, unsigned int serial = 0) {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    if (moved)
        registry()[moved] = 0;
    if (!serial)
        serial = ++serial_counters()[cls];
    registry()[object] = serial;
    g_live.fetch_add(1, std::memory_order_relaxed);
    return serial;
}
void leave(const zol::CxModule* object) {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    registry().erase(object);
    g_live.fetch_sub(1, std::memory_order_relaxed);
}
} // namespace

Ref make_ref(zol::CxModule* object) {
    Ref r;
    r.object = object;
    r.serial = object ? PrivateAccess::serial(object) : 0;
    return r;
}

bool alive(const Ref& ref) {
    if (!ref.object)
        return false;
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    auto it = registry().find(ref.object);
    return it != registry().end() && it->second == ref.serial;
}

// ---- reset hooks --------------------------------------------------------------------------------

namespace {
std::mutex g_reset_mutex;
std::vector<std::function<void()>>& reset_hooks() {
    // Never destroyed (see core.h).
    static auto* hooks = new std::vector<std::function<void()>>;
    return *hooks;
}
} // namespace

void on_reset(std::function<void()> drop_boards) {
    std::lock_guard<std::mutex> lock(g_reset_mutex);
    reset_hooks().push_back(std::move(drop_boards));
}

} // namespace zolsim

namespace zol {

CxModule::CxModule(const char* class_name)
    : class_(class_name), serial_(zolsim::enter(this, class_name)) {}
CxModule::CxModule(const char* class_name, CxModule&& moved)
    : class_(class_name), serial_(zolsim::enter(this, class_name, &moved, moved.serial_)) {
    moved.serial_ = 0;
}
CxModule::~CxModule() { zolsim::leave(this); }
const char* CxModule::ClassName() const { return class_; }

// ---- control surface: reset and live objects ----------------------------------------------------

namespace sim {

void Reset() {
    std::vector<std::function<void()>> hooks;
    {
        std::lock_guard<std::mutex> lock(zolsim::g_reset_mutex);
        hooks = zolsim::reset_hooks();
    }
    for (auto& h : hooks)
        h();
    ClearJournal();
    ClearFaults();
    std::lock_guard<std::mutex> lock(zolsim::g_registry_mutex);
    zolsim::serial_counters().clear();
}

long LiveObjects() { return zolsim::g_live.load(); }

} // namespace sim
} // namespace zol
