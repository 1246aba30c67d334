// The rack's wiring (see wiring.h): the table of wires, the checks of sim::Wire, and the delivery
// of a source's level to the I/O inputs and capture trigger inputs wired to it.
#include "wiring/wiring.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>
#include <vector>

#include <zol/sim.h>

#include "dio/dio.h"
#include "video/video.h"

namespace zolsim {
namespace wiring {

std::atomic<int> g_wires{0};

namespace {

struct WireEntry {
    Port from, to;
    bool level; // the level the input sees from this wire
};

// The table and the order of deliveries; never destroyed (see common/core.h).
struct Table {
    std::mutex m;
    std::vector<WireEntry> wires;
};
Table& table() {
    static Table* const t = [] {
        auto* made = new Table;
        on_reset([made] {
            std::lock_guard<std::mutex> lock(made->m);
            made->wires.clear();
            g_wires.store(0, std::memory_order_release);
        });
        return made;
    }();
    return *t;
}

bool is_source(PortKind k) {
    return k == PortKind::Out || k == PortKind::Strobe || k == PortKind::Encoder;
}

const char* kind_name(PortKind k) {
    switch (k) {
    case PortKind::Out: return "out";
    case PortKind::In: return "in";
    case PortKind::Trigger: return "trigger";
    case PortKind::Line: return "line";
    case PortKind::Strobe: return "strobe";
    case PortKind::Encoder: return "encoder";
    }
    return "?";
}

const char* type_name(const Port& p) {
    return p.capture ? board_name(static_cast<zol::ExDevice>(p.type))
                     : dio_board_name(static_cast<DioType>(p.type));
}

std::string text(const Port& p) {
    return std::string("(\"") + type_name(p) + "\", " + std::to_string(p.id) + ", \"" +
           kind_name(p.kind) + "\", " + std::to_string(p.index) + ")";
}

[[noreturn]] void refuse(const std::string& what) { throw std::invalid_argument(what); }

// The port a terminal names, or invalid_argument saying what was expected. `role` is "source"
// or "sink", for the messages.
Port port_of(const zol::sim::Terminal& t, const char* role) {
    Port p{};
    int dio = -1;
    for (int i = 0; i < kDioTypes; ++i)
        if (t.board == kDioBoardNames[i])
            dio = i;
    const CaptureBoardName* cap = capture_board_named(t.board);
    if (dio < 0 && !cap)
        refuse(std::string(role) + ": no board '" + t.board +
               "': expected MB100, RM1600, DQ160, KX210, KX310 or TR520");
    p.capture = cap != nullptr;
    p.type = cap ? static_cast<int>(cap->device) : dio;
    if (!rack_id(t.id))
        refuse(std::string(role) + ": no " + t.board + " with id " + std::to_string(t.id) +
               ": expected 0 to " + std::to_string(kRackBoards - 1));
    p.id = t.id;
    static const std::pair<const char*, PortKind> dio_ports[] = {{"out", PortKind::Out},
                                                                 {"in", PortKind::In}};
    static const std::pair<const char*, PortKind> cap_ports[] = {{"trigger", PortKind::Trigger},
                                                                 {"line", PortKind::Line},
                                                                 {"strobe", PortKind::Strobe},
                                                                 {"encoder", PortKind::Encoder}};
    bool found = false;
    if (p.capture) {
        for (auto& [name, kind] : cap_ports)
            if (t.port == name)
                p.kind = kind, found = true;
    } else {
        for (auto& [name, kind] : dio_ports)
            if (t.port == name)
                p.kind = kind, found = true;
    }
    if (!found)
        refuse(std::string(role) + ": a " + t.board + " has no terminal '" + t.port +
               (p.capture ? "': expected 'trigger', 'line', 'strobe' or 'encoder'"
                          : "': expected 'out' or 'in'"));
    if (p.capture && !rack_channel(t.index))
        refuse(std::string(role) + ": a " + t.board + " has no channel " +
               std::to_string(t.index) + ": expected 0 to " + std::to_string(kRackChannels - 1));
    if (!p.capture && (t.index < 0 || t.index > 31))
        refuse(std::string(role) + ": a " + t.board + " has no bit " + std::to_string(t.index) +
               ": expected 0 to 31");
    p.index = t.index;
    if (p.kind == PortKind::Encoder && p.type == static_cast<int>(zol::ExDevice::TR520))
        refuse(std::string(role) + ": a TR520 has no encoder unit: expected a KX210 or KX310");
    if (p.kind == PortKind::Line && p.type == static_cast<int>(zol::ExDevice::TR520))
        refuse(std::string(role) + ": a TR520 has no line trigger input: expected a KX210 or KX310");
    return p;
}

zol::sim::Terminal terminal_of(const Port& p) {
    return {type_name(p), p.id, kind_name(p.kind), p.index};
}

// The level a source has now: an I/O output bit, a capture channel's exposure output; an
// encoder's trigger output is a pulse, low between pulses.
bool level_of(const Port& p) {
    if (p.kind == PortKind::Out) {
        auto b = dio::rack_board(static_cast<DioType>(p.type), p.id, "Wire");
        return (b->outputs.load(std::memory_order_acquire) >> p.index) & 1u;
    }
    if (p.kind == PortKind::Strobe) {
        auto b = rack_board(static_cast<zol::ExDevice>(p.type), p.id, p.index, "Wire");
        return b->strobe.load(std::memory_order_acquire);
    }
    return false;
}

// The input `to` sees `level` from `from` since `t`.
void deliver(const Port& from, const Port& to, bool level, Clock::time_point t) {
    if (to.kind == PortKind::In) {
        dio::wired_input(static_cast<DioType>(to.type), to.id, to.index, level);
        return;
    }
    if (!level)
        return; // the capture inputs take rising edges
    auto b = rack_board(static_cast<zol::ExDevice>(to.type), to.id, to.index, "Wire");
    const capture::Input input = to.kind == PortKind::Line         ? capture::Input::Line
                                 : from.kind == PortKind::Encoder ? capture::Input::Encoder
                                                                  : capture::Input::Pin;
    capture::trigger_edge(*b, input, t);
}

} // namespace

bool Port::operator<(const Port& o) const {
    return std::tie(capture, type, id, kind, index) <
           std::tie(o.capture, o.type, o.id, o.kind, o.index);
}
bool Port::operator==(const Port& o) const {
    return capture == o.capture && type == o.type && id == o.id && kind == o.kind &&
           index == o.index;
}

Drive::Drive() {
    if (any())
        lock_ = std::unique_lock<std::mutex>(table().m);
}

void drive(const Port& from, bool level, Clock::time_point t) {
    // The caller holds the table's mutex through its Drive (taken when wires existed); without
    // one the table is not read.
    for (WireEntry& w : table().wires)
        if (w.from == from && w.level != level) {
            w.level = level;
            deliver(w.from, w.to, level, t);
        }
}

void drive_outputs(int dio_type, int id, unsigned before, unsigned after, Clock::time_point t) {
    unsigned changed = before ^ after;
    for (int bit = 0; changed; ++bit, changed >>= 1)
        if (changed & 1u)
            drive(Port{false, dio_type, id, PortKind::Out, bit}, (after >> bit) & 1u, t);
}

} // namespace wiring
} // namespace zolsim

namespace zol {
namespace sim {

using zolsim::wiring::Port;
using zolsim::wiring::PortKind;

void Wire(const Terminal& source, const Terminal& sink) {
    using namespace zolsim::wiring;
    const Port from = port_of(source, "source"), to = port_of(sink, "sink");
    if (!is_source(from.kind))
        refuse("source: " + text(from) +
               " is an input: expected an output ('out', 'strobe' or 'encoder')");
    if (is_source(to.kind))
        refuse("sink: " + text(to) +
               " is an output: expected an input ('in', 'trigger' or 'line')");
    const bool same_board = from.capture == to.capture && from.type == to.type && from.id == to.id;
    if (from.kind == PortKind::Encoder) {
        if (!same_board || to.kind == PortKind::In || to.index != from.index)
            refuse("sink: the encoder " + text(from) + " reaches only the trigger or line input " +
                   "of its own channel, not " + text(to));
    } else if (same_board) {
        refuse("sink: " + text(to) + " is on the board of the source " + text(from) +
               ": a board is not wired to itself (I/O boards have set_loopback)");
    }
    std::unique_lock<std::mutex> lock(table().m);
    for (const WireEntry& w : table().wires) {
        if (w.from == from && w.to == to)
            refuse("already wired: " + text(from) + " to " + text(to));
        // An input has one driver; the encoder of a capture channel reaches its trigger
        // input besides the wire at the pin (ExtTriggerSrc picks which the board takes).
        const bool encoders = (w.from.kind == PortKind::Encoder) != (from.kind == PortKind::Encoder);
        if (w.to == to && !encoders)
            refuse("sink: " + text(to) + " is driven by " + text(w.from) +
                   " already: unwire it first");
    }
    const bool level = level_of(from);
    table().wires.push_back({from, to, false});
    g_wires.fetch_add(1, std::memory_order_acq_rel);
    if (level) {
        table().wires.back().level = true;
        deliver(from, to, true, Clock::now());
    }
}

void Unwire(const Terminal& source, const Terminal& sink) {
    using namespace zolsim::wiring;
    const Port from = port_of(source, "source"), to = port_of(sink, "sink");
    std::unique_lock<std::mutex> lock(table().m);
    auto& wires = table().wires;
    auto it = std::find_if(wires.begin(), wires.end(),
                           [&](const WireEntry& w) { return w.from == from && w.to == to; });
    if (it == wires.end())
        refuse("not wired: " + text(from) + " to " + text(to) + ": see wiring()");
    const bool was_high = it->level;
    wires.erase(it);
    g_wires.fetch_sub(1, std::memory_order_acq_rel);
    if (was_high)
        deliver(from, to, false, Clock::now());
}

std::vector<std::pair<Terminal, Terminal>> Wiring() {
    using namespace zolsim::wiring;
    std::lock_guard<std::mutex> lock(table().m);
    std::vector<std::pair<Terminal, Terminal>> out;
    for (const WireEntry& w : table().wires)
        out.emplace_back(terminal_of(w.from), terminal_of(w.to));
    return out;
}

} // namespace sim
} // namespace zol
