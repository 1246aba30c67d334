// The digital-I/O family of the simulated rack (MB100, RM1600, DQ160): the state of a board and
// of a board handle, and what the family's files share. The rack, board state, handle binding
// and waits are in dio/rack.cpp, the port operations in dio/port.cpp, the three boards (with
// their wait records and the DQ160 settings files) in dio/boards.cpp, the settings objects in
// dio/params.cpp, the catalogues of settings in dio/catalogue.cpp, the control surface of the
// I/O boards in dio/sim.cpp.
//
// How a board behaves:
// - A handle binds to a board with Open(id) and takes part in the board's current opening:
//   copies and other handles that open the board while it is open share that opening, and
//   Close from any of them closes it. A handle whose opening was closed stays closed (refused
//   as before its first Open) until its own Open, also when another handle opens the board
//   again meanwhile. When the last handle of an opening goes away (destroyed, disposed,
//   rebound), the board closes, as a driver closes a device with its last file handle.
// - The inputs read the simulation's word, or the output latch while looped back. An input
//   change on an open board latches the bits enabled in DIEnable whose direction matches DIEdge
//   (bit set: rising). An interrupt pulse latches INT when INTEnable is non-zero. Opening a
//   closed board starts with nothing latched; a closed board latches nothing.
// - Wait reports a pending INT first (when INTWaitEnable is non-zero), else the latched DI
//   bits selected by DIWaitEnable (0 selects all). It consumes what it reports, and otherwise
//   blocks until such an event, the Timeout setting in milliseconds (negative: for ever, 0:
//   just look), or an abort. Abort ends the waits in progress on the
//   board and is not remembered; Close ends them too, and so does Dispose or destruction of the
//   handle a thread waits on.
// - Port operations check the handle first (Disposed, then NotOpened), then their pointers and
//   indexes (0 to 31).
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <zol/dio.h>

#include "common/core.h"
#include "common/rack.h"

namespace zolsim {

constexpr unsigned kDioRegisters = 256; // 32-bit registers per board

// The RM1600 has no interrupt input; the other two do.
inline bool dio_has_interrupt(DioType type) { return type != DioType::RM1600; }

// One thread inside Wait. It lives on the waiting thread's stack and is listed on the board
// while it waits, so that Abort, Close and Dispose can mark it without touching the handle
// object it was called on (which may be gone by the time the waiter wakes).
struct DioWaiter {
    const DioHandle* owner;
    bool cancelled;
};

// One board of the rack.
struct DioBoard {
    DioBoard(DioType type, int id);

    const DioType type;
    const int id;
    Settings settings; // thread-safe on its own; taken after `mutex`, never before

    // Read without the mutex by the fast port operations; written under it.
    std::atomic<bool> opened{false};
    std::atomic<std::uint64_t> opening{0}; // counts the times the board was opened
    std::atomic<unsigned int> outputs{0}; // the output latch
    std::atomic<unsigned int> inputs{0};  // what the input pins read now
    std::atomic<bool> unplugged{false};   // taken out of the rack (sim::Unplug)

    // Everything below is guarded by `mutex`.
    std::mutex mutex;
    std::condition_variable wake; // an event, an abort, a close or a settings change
    unsigned int driven = 0;      // inputs as driven by the simulation
    unsigned int wired = 0;       // inputs held high through the rack's wiring (wired-OR)
    bool loopback = false;        // inputs follow the output latch
    unsigned int di_events = 0;   // latched input edges not yet reported by a wait
    bool int_event = false;       // latched interrupt not yet reported by a wait
    int handles = 0;              // handles taking part in the current opening
    std::vector<DioWaiter*> waiters;
    std::array<unsigned int, kDioRegisters> registers{};
};

// A lock held for a few instructions only (a pointer, a reference count, a board's opening):
// cheaper than a mutex on the port operations' fast path, where it is taken on every call.
class SpinLock {
  public:
    void lock() {
        while (flag_.test_and_set(std::memory_order_acquire))
            std::this_thread::yield();
    }
    void unlock() { flag_.clear(std::memory_order_release); }

  private:
    std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

// State behind a CxDIOPort. A script may open, copy or dispose a handle on one thread while
// others read, write or wait through it, so `board` is read and written only under `bind`, and
// a port operation holds `bind` while it uses the board (a rebinding thread waits for it, and the
// old board outlives every use). A wait holds a reference of its own instead and leaves `bind`
// before it blocks. The handle is open while `opening` is its board's current opening: once that
// opening is closed (through any handle that took part in it), the handle stays closed until its
// own Open, whoever opens the board again. Openings are numbered across the whole rack, so the
// number a handle holds names one opening of one board.
// Lock order: `bind` of one handle at a time, then the board's mutex.
struct DioHandle {
    explicit DioHandle(DioType t) : type(t) {}
    const DioType type;
    std::atomic<bool> disposed{false};
    mutable SpinLock bind;
    std::shared_ptr<DioBoard> board;        // null until the first Open; guarded by `bind`
    std::atomic<std::uint64_t> opening{0}; // written under the board's mutex; 0: none
};

// ---- the rack, board state, handle binding and waits (dio/rack.cpp) -------------------------
namespace dio {

// The board of the rack (made when first asked for); NoDevice for an id outside the rack.
std::shared_ptr<DioBoard> rack_board(DioType type, int id, const char* op);
// The board type named `board` ("MB100", ...); InvalidArgument for any other name.
DioType board_type(const char* board, const char* op);

// Board state; the caller holds the board's mutex.
void set_int_event(DioBoard& b, bool on); // INT latched or not, as INTStatus reports it
void refresh_inputs(DioBoard& b);          // the inputs follow the simulation or the latch

// Input `bit` of a rack board is held at `level` by a wire (wiring/wiring.cpp); takes the
// board's mutex.
void wired_input(DioType type, int id, int bit, bool level);

// Handle binding.
void open(DioHandle& h, int id, const char* op);
void close(DioHandle& h, const char* op);
// The handle leaves its board (destroyed, disposed, rebound).
void release(DioHandle& h);
// The handle takes the state of `other` (board binding, opening and validity).
void copy_binding(DioHandle& h, const DioHandle& other);
// Handles are equal when they refer to the same rack board, or both to none.
bool same_board(const DioHandle& a, const DioHandle& b);
// Whether the handle takes part in its board's current opening; Disposed when it was disposed.
bool is_opened(const DioHandle& h, const char* op);

// The handle, or Disposed when it was disposed.
DioHandle& usable(DioHandle& h, const char* op);

// The open board of a handle (Disposed, then NotOpened), held with the handle's binding for as
// long as the object lives: no Open, copy or Dispose of the handle rebinds it meanwhile. Cheap (no
// allocation, no mutex); never held across a wait.
class OpenBoard {
  public:
    OpenBoard(const DioHandle& h, const char* op);
    DioBoard& operator*() const { return *board_; }
    DioBoard* operator->() const { return board_; }

  private:
    std::lock_guard<SpinLock> bound_;
    DioBoard* board_;
};
// InvalidArgument for an I/O index outside 0 to 31.
void check_index(int index, const char* op);

// What ended a wait: the event code (ExEventStatus), the DI events it reports and the inputs.
struct Outcome {
    unsigned int code;
    unsigned int di_events;
    unsigned int di;
};
// Blocks until an event, the board's time-out or an abort, on the board the handle is bound to
// when the wait begins. A rebinding of the handle (Open of another board, a copy assigned to
// it, Dispose) ends the wait with ABORT; nothing of the handle object is touched once the wait
// has begun (another thread may destroy it).
Outcome wait_event(const DioHandle& h, const char* op);
// Ends the waits in progress on the handle's board.
void abort_waits(const DioHandle& h, const char* op);

} // namespace dio

// ---- what the settings objects reach ------------------------------------------------------
// The catalogue of settings of a board (dio/catalogue.cpp).
std::vector<SettingDef> dio_catalogue(DioType type, int id);

// The open board behind a board handle, for its settings object: throws Disposed when the
// handle was disposed and NotOpened when it holds no open board, naming `op` (dio/rack.cpp).
std::shared_ptr<DioBoard> dio_open_board(const zol::DIO::CxDIOPort& port, const char* op);

// Takes the board out of the rack (its opening ends, its waits end with NoDevice, every
// operation refuses with NoDevice) or puts it back (handles open it again) (dio/rack.cpp).
void dio_plug(DioType type, int id, bool in, const char* op);

// Lets a waiter re-examine its wait conditions after a setting changed (dio/rack.cpp).
void dio_settings_changed(DioBoard& board);

} // namespace zolsim
