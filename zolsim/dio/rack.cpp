// The I/O boards of the simulated rack: the boards by type and id, the state of a board (inputs,
// latched events, openings), how a handle binds to a board and takes part in its opening, and
// the waits. How a board behaves is told in dio/dio.h.
#include "dio/dio.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

namespace zolsim {

using zol::DIO::ExEventStatus;

DioBoard::DioBoard(DioType t, int board_id)
    : type(t), id(board_id), settings(dio_catalogue(t, board_id)) {}

namespace dio {

// ---- the rack: boards by type and id ------------------------------------------------------------

std::shared_ptr<DioBoard> rack_board(DioType type, int id, const char* op) {
    if (!rack_id(id))
        ZOLSIM_RAISE(NoDevice, op,
                     std::string("no ") + dio_board_name(type) + " board with id " +
                         std::to_string(id));
    return Rack<std::pair<DioType, int>, DioBoard>::instance().board(
        {type, id}, [&] { return std::make_shared<DioBoard>(type, id); });
}

DioType board_type(const char* board, const char* op) {
    for (int i = 0; i < kDioTypes; ++i)
        if (board && std::strcmp(board, kDioBoardNames[i]) == 0)
            return static_cast<DioType>(i);
    ZOLSIM_RAISE(InvalidArgument, op,
                 std::string("no I/O board type named '") + (board ? board : "") + "'");
}

// ---- board state (callers hold board.mutex) -----------------------------------------------------

namespace {

unsigned int setting_word(const DioBoard& b, const char* name) {
    return static_cast<unsigned int>(b.settings.number(name));
}

// The input pins take a new value; enabled edges of the right direction are latched.
void drive_inputs(DioBoard& b, unsigned int next) {
    unsigned int prev = b.inputs.load(std::memory_order_relaxed);
    if (prev == next)
        return;
    b.inputs.store(next, std::memory_order_release);
    // A closed board is not watched: its edges are not latched (Open starts with none).
    if (!b.opened.load(std::memory_order_relaxed))
        return;
    unsigned int enable = setting_word(b, "DIEnable");
    unsigned int rising = setting_word(b, "DIEdge"); // bit set: rising edge, clear: falling
    unsigned int hits = enable & ((~prev & next & rising) | (prev & ~next & ~rising));
    if (hits) {
        b.di_events |= hits;
        b.wake.notify_all();
    }
}

void cancel_waiters(DioBoard& b, const DioHandle* owner) {
    for (DioWaiter* w : b.waiters)
        if (!owner || w->owner == owner)
            w->cancelled = true;
    b.wake.notify_all();
}

// Whether the handle takes part in the board's current opening. Without the board's mutex the
// answer may be stale by the time it is used, as for any state another thread can change.
bool in_opening(const DioHandle& h, const DioBoard& b) {
    return b.opened.load(std::memory_order_acquire) &&
           h.opening.load(std::memory_order_acquire) == b.opening.load(std::memory_order_acquire);
}

void close_board(DioBoard& b) {
    if (!b.opened.load(std::memory_order_relaxed))
        return;
    b.opened.store(false, std::memory_order_release);
    b.handles = 0;
    b.di_events = 0;
    set_int_event(b, false);
    cancel_waiters(b, nullptr);
}

} // namespace

void set_int_event(DioBoard& b, bool on) {
    b.int_event = on;
    if (dio_has_interrupt(b.type))
        b.settings.number("INTStatus", on ? 1 : 0);
}

void refresh_inputs(DioBoard& b) {
    drive_inputs(b, b.loopback ? b.outputs.load(std::memory_order_relaxed) : b.driven | b.wired);
}

void wired_input(DioType type, int id, int bit, bool level) {
    auto b = rack_board(type, id, "Wire");
    std::lock_guard<std::mutex> lock(b->mutex);
    b->wired = level ? b->wired | (1u << bit) : b->wired & ~(1u << bit);
    refresh_inputs(*b);
}

// ---- handle binding -----------------------------------------------------------------------------

namespace {

// A number for a new opening of any board of the rack (never 0, never given twice).
std::uint64_t next_opening() {
    static std::atomic<std::uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

// The opening `other` takes part in, now counting one handle more; 0 when it takes part in none.
// The caller holds other.bind.
std::uint64_t join_opening(const DioHandle& other) {
    if (other.disposed.load() || !other.board)
        return 0;
    DioBoard& b = *other.board;
    std::lock_guard<std::mutex> lock(b.mutex);
    if (!in_opening(other, b))
        return 0;
    ++b.handles;
    return b.opening.load(std::memory_order_relaxed);
}

// The handle's waits end with ABORT, and the board closes when no other handle takes part in its
// opening any more (as a driver closes a device with its last file handle). A handle whose
// opening was already closed counts for nothing. The caller holds h.bind.
void leave(DioHandle& h) {
    if (!h.board)
        return;
    DioBoard& b = *h.board;
    std::lock_guard<std::mutex> lock(b.mutex);
    cancel_waiters(b, &h);
    if (in_opening(h, b) && --b.handles <= 0)
        close_board(b);
    h.opening.store(0, std::memory_order_release);
}

} // namespace

void open(DioHandle& h, int id, const char* op) {
    usable(h, op);
    std::shared_ptr<DioBoard> board = rack_board(h.type, id, op);
    if (board->unplugged.load(std::memory_order_acquire))
        ZOLSIM_RAISE(NoDevice, op, "the board was unplugged");
    std::shared_ptr<DioBoard> old; // let go of after the binding, outside its lock
    std::lock_guard<SpinLock> bound(h.bind);
    // A Dispose from another thread since the check above has let go of the old board, or will
    // find the new one once we are done.
    usable(h, op);
    if (board != h.board) {
        leave(h);
        old = std::move(h.board);
        h.board = board;
    }
    std::lock_guard<std::mutex> lock(board->mutex);
    if (in_opening(h, *board))
        return;
    if (!board->opened.load(std::memory_order_relaxed)) {
        // A fresh open starts without stale events.
        board->di_events = 0;
        set_int_event(*board, false);
        board->opening.store(next_opening(), std::memory_order_relaxed);
        board->opened.store(true, std::memory_order_release);
    }
    ++board->handles;
    h.opening.store(board->opening.load(std::memory_order_relaxed), std::memory_order_release);
}

// Closes the handle's opening of its board, for every handle taking part in it; a handle that
// is not open closes nothing (the board may have been opened again through another handle).
void close(DioHandle& h, const char* op) {
    usable(h, op);
    std::lock_guard<SpinLock> bound(h.bind);
    if (!h.board)
        return;
    std::lock_guard<std::mutex> lock(h.board->mutex);
    if (in_opening(h, *h.board))
        close_board(*h.board);
    h.opening.store(0, std::memory_order_release);
}

void release(DioHandle& h) {
    std::lock_guard<SpinLock> bound(h.bind);
    leave(h);
}

void copy_binding(DioHandle& h, const DioHandle& other) {
    std::shared_ptr<DioBoard> next;
    bool next_disposed;
    std::uint64_t opening;
    {
        // Joined before the old one is left, which may be the same opening. One handle's lock at
        // a time: two threads assigning two handles to each other must not wait for each other.
        std::lock_guard<SpinLock> bound(other.bind);
        next = other.board;
        next_disposed = other.disposed.load();
        opening = join_opening(other);
    }
    std::lock_guard<SpinLock> bound(h.bind);
    if (!h.disposed.load())
        leave(h);
    h.board.swap(next); // the old board is let go of with `next`, after the lock
    h.opening.store(opening, std::memory_order_release);
    h.disposed.store(next_disposed);
}

namespace {

// The rack board a handle refers to, as (type, id); none for a handle never opened or disposed.
std::pair<bool, std::pair<DioType, int>> referred(const DioHandle& h) {
    std::lock_guard<SpinLock> bound(h.bind);
    if (h.disposed.load() || !h.board)
        return {false, {}};
    return {true, {h.board->type, h.board->id}};
}

} // namespace

bool same_board(const DioHandle& a, const DioHandle& b) {
    return &a == &b || referred(a) == referred(b);
}

bool is_opened(const DioHandle& h, const char* op) {
    if (h.disposed.load(std::memory_order_acquire))
        ZOLSIM_RAISE(Disposed, op, "the board handle was disposed");
    std::lock_guard<SpinLock> bound(h.bind);
    return h.board && in_opening(h, *h.board);
}

DioHandle& usable(DioHandle& h, const char* op) {
    if (h.disposed.load(std::memory_order_acquire))
        ZOLSIM_RAISE(Disposed, op, "the board handle was disposed");
    return h;
}

OpenBoard::OpenBoard(const DioHandle& h, const char* op) : bound_(h.bind), board_(h.board.get()) {
    if (h.disposed.load(std::memory_order_acquire))
        ZOLSIM_RAISE(Disposed, op, "the board handle was disposed");
    if (board_ && board_->unplugged.load(std::memory_order_acquire))
        ZOLSIM_RAISE(NoDevice, op, "the board was unplugged");
    if (!board_ || !in_opening(h, *board_))
        ZOLSIM_RAISE(NotOpened, op, "the board is not open");
}

void check_index(int index, const char* op) {
    if (index < 0 || index > 31)
        ZOLSIM_RAISE(InvalidArgument, op, "I/O index " + std::to_string(index) + " is not 0 to 31");
}

// ---- waiting ------------------------------------------------------------------------------------

namespace {

// Takes the latched event that ends a wait, if any: INT before DI. Caller holds the mutex.
bool take_event(DioBoard& b, Outcome& out) {
    if (b.int_event && dio_has_interrupt(b.type) && b.settings.number("INTWaitEnable") != 0) {
        set_int_event(b, false);
        out.code = static_cast<unsigned int>(ExEventStatus::INT);
        out.di_events = 0;
        return true;
    }
    unsigned int mask = setting_word(b, "DIWaitEnable");
    unsigned int ready = b.di_events & (mask ? mask : ~0u);
    if (!ready)
        return false;
    b.di_events &= ~ready;
    out.code = static_cast<unsigned int>(ExEventStatus::DI);
    out.di_events = ready;
    return true;
}

// Blocks until an event, the board's time-out, or an abort. `board` is held by the caller for
// the whole wait; after registering, the handle `h` is used only as an address.
Outcome wait_events(const DioHandle& h, const std::shared_ptr<DioBoard>& board, const char* op) {
    DioBoard& b = *board;
    std::unique_lock<std::mutex> lock(b.mutex);
    if (!in_opening(h, b))
        ZOLSIM_RAISE(NotOpened, op, "the board is not open");
    const int timeout = static_cast<int>(b.settings.number("Timeout"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    // A Dispose of this handle that came before we were listed could not mark us.
    DioWaiter me{&h, h.disposed.load()};
    b.waiters.push_back(&me);
    Outcome out{static_cast<unsigned int>(ExEventStatus::TIMEOUT), 0, 0};
    for (;;) {
        if (b.unplugged.load(std::memory_order_relaxed)) {
            b.waiters.erase(std::find(b.waiters.begin(), b.waiters.end(), &me));
            ZOLSIM_RAISE(NoDevice, op, "the board was unplugged");
        }
        if (me.cancelled) {
            out = {static_cast<unsigned int>(ExEventStatus::ABORT), 0, 0};
            break;
        }
        if (take_event(b, out))
            break;
        if (timeout == 0 || (timeout > 0 && std::chrono::steady_clock::now() >= deadline))
            break;
        if (timeout < 0)
            b.wake.wait(lock);
        else
            b.wake.wait_until(lock, deadline);
    }
    b.waiters.erase(std::find(b.waiters.begin(), b.waiters.end(), &me));
    out.di = b.inputs.load(std::memory_order_relaxed);
    return out;
}

} // namespace

Outcome wait_event(const DioHandle& h, const char* op) {
    // Our own reference: the handle may be rebound, disposed or destroyed while we wait.
    std::shared_ptr<DioBoard> board;
    {
        OpenBoard open(h, op);
        board = h.board;
    }
    return wait_events(h, board, op);
}

void abort_waits(const DioHandle& h, const char* op) {
    OpenBoard b(h, op);
    std::lock_guard<std::mutex> lock(b->mutex);
    // Only threads waiting now are affected: an abort is not remembered for later waits.
    cancel_waiters(*b, nullptr);
}

} // namespace dio

// ---- what the settings objects reach ------------------------------------------------------------

std::shared_ptr<DioBoard> dio_open_board(const zol::DIO::CxDIOPort& port, const char* op) {
    const DioHandle& h = *PrivateAccess::handle(port);
    dio::OpenBoard open(h, op);
    return h.board;
}

void dio_plug(DioType type, int id, bool in, const char* op) {
    auto b = dio::rack_board(type, id, op);
    std::lock_guard<std::mutex> lock(b->mutex);
    b->unplugged.store(!in, std::memory_order_release);
    if (!in)
        dio::close_board(*b); // ends the opening and wakes the waiters
}

void dio_settings_changed(DioBoard& board) {
    std::lock_guard<std::mutex> lock(board.mutex);
    board.wake.notify_all();
}

} // namespace zolsim
