// The rack's wiring between boards: which signal outputs drive which inputs. The sources are the
// output bits of the I/O boards, the exposure (strobe) output of a capture board channel and its
// encoder unit; the sinks are the input bits of the I/O boards and the trigger and line-trigger
// inputs of a capture board channel. A source changing level reaches every sink wired to it at
// the same instant of the stand-in's clock (the families call drive(); wiring.cpp hands the
// level to the sinks' families). sim::Reset takes every wire out.
//
// Lock order: the drive lock (held by whoever changes a wired source, see Drive) comes before
// any board or session mutex; nobody drives while holding one.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

namespace zolsim {
namespace wiring {

using Clock = std::chrono::steady_clock;

enum class PortKind { Out, In, Trigger, Line, Strobe, Encoder };

// One terminal of the rack: the board's family, type (DioType or ExDevice as int) and id, the
// kind of terminal, and the bit (I/O boards) or channel (capture boards).
struct Port {
    bool capture; // a capture board's terminal, else an I/O board's
    int type;
    int id;
    PortKind kind;
    int index;
    bool operator<(const Port& o) const;
    bool operator==(const Port& o) const;
};

// Whether any wire exists: lets the families skip the wiring on their fast paths.
extern std::atomic<int> g_wires;
inline bool any() { return g_wires.load(std::memory_order_acquire) > 0; }

// Held while a source changes level, from the change of its state to the delivery to the sinks,
// so that two threads changing sources deliver their levels in the order the states changed.
// Taken only when wires exist; before the board's own mutex.
class Drive {
  public:
    Drive();
    explicit operator bool() const { return lock_.owns_lock(); }

  private:
    std::unique_lock<std::mutex> lock_;
};

// The source `from` is at `level` since `t`: every sink wired to it takes the level. Called
// with a Drive held and no board or session mutex.
void drive(const Port& from, bool level, Clock::time_point t);
// The I/O output bits of a word change from `before` to `after` (a Write): drives those wired.
void drive_outputs(int dio_type, int id, unsigned before, unsigned after, Clock::time_point t);

} // namespace wiring
} // namespace zolsim
