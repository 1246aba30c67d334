// Private state of the digital-I/O family, shared by the board handles (dio_boards.cpp) and
// their settings objects (dio_params.cpp).
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <zol/dio.h>

#include "core.h"

namespace zolsim {

enum class DioType { MB100 = 0, RM1600 = 1, DQ160 = 2 };
constexpr int kDioTypes = 3;
constexpr int kDioBoards = 4;          // ids 0 to 3 of each type
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

    // Everything below is guarded by `mutex`.
    std::mutex mutex;
    std::condition_variable wake; // an event, an abort, a close or a settings change
    unsigned int driven = 0;      // inputs as driven by the simulation
    bool loopback = false;        // inputs follow the output latch
    unsigned int di_events = 0;   // latched input edges not yet reported by a wait
    bool int_event = false;       // latched interrupt not yet reported by a wait
    int handles = 0;              // handles taking part in the current opening
    std::vector<DioWaiter*> waiters;
    std::array<unsigned int, kDioRegisters> registers{};
};

// State behind a CxDIOPort. `board` is only changed by Open, assignment and destruction, which
// are never called while another thread uses the same handle; Dispose (which may come from
// another thread during a wait) only sets `disposed` and lets go of the board's open count.
// The handle is open while `opening` is the board's current opening: once that opening is
// closed (through any handle that took part in it), the handle stays closed until its own Open,
// whoever opens the board again.
struct DioHandle {
    explicit DioHandle(DioType t) : type(t) {}
    const DioType type;
    std::atomic<bool> disposed{false};
    std::shared_ptr<DioBoard> board;        // null until the first Open
    std::atomic<std::uint64_t> opening{0}; // written under the board's mutex; 0: none
};

// The catalogue of settings of a board (names, kinds, defaults, writability).
std::vector<SettingDef> dio_catalogue(DioType type, int id);

// The open board behind a board handle, for its settings object: throws Disposed when the
// handle was disposed and NotOpened when it holds no open board, naming `op`.
std::shared_ptr<DioBoard> dio_open_board(const zol::DIO::CxDIOPort& port, const char* op);

// Lets a waiter re-examine its wait conditions after a setting changed.
void dio_settings_changed(DioBoard& board);

} // namespace zolsim
