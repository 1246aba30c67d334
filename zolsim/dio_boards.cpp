// The digital-I/O boards of the simulated rack: MB100, RM1600, DQ160, their wait records, and
// the part of the control surface that drives their inputs and interrupts.
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
#include "dio.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include <zol/sim.h>

namespace zolsim {

using zol::DIO::ExEventStatus;

namespace {

const char* const kBoardNames[kDioTypes] = {"MB100", "RM1600", "DQ160"};

// ---- the rack: boards by type and id ------------------------------------------------------------

std::shared_ptr<DioBoard> rack_board(DioType type, int id, const char* op) {
    if (id < 0 || id >= kDioBoards)
        ZOLSIM_RAISE(NoDevice, op,
                     std::string("no ") + kBoardNames[static_cast<int>(type)] + " board with id " +
                         std::to_string(id));
    return Rack<std::pair<DioType, int>, DioBoard>::instance().board(
        {type, id}, [&] { return std::make_shared<DioBoard>(type, id); });
}

DioType board_type(const char* board, const char* op) {
    for (int i = 0; i < kDioTypes; ++i)
        if (board && std::strcmp(board, kBoardNames[i]) == 0)
            return static_cast<DioType>(i);
    ZOLSIM_RAISE(InvalidArgument, op,
                 std::string("no I/O board type named '") + (board ? board : "") + "'");
}

// ---- board state (callers hold board.mutex) -----------------------------------------------------

unsigned int setting_word(const DioBoard& b, const char* name) {
    return static_cast<unsigned int>(b.settings.number(name));
}

void set_int_event(DioBoard& b, bool on) {
    b.int_event = on;
    if (dio_has_interrupt(b.type))
        b.settings.number("INTStatus", on ? 1 : 0);
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

void refresh_inputs(DioBoard& b) {
    drive_inputs(b, b.loopback ? b.outputs.load(std::memory_order_relaxed) : b.driven);
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

// ---- handle binding -----------------------------------------------------------------------------

// The opening `other` takes part in, now counting one handle more; 0 when it takes part in none.
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

// The handle leaves its board: its waits end with ABORT, and the board closes when no other
// handle takes part in its opening any more (as a driver closes a device with its last file
// handle). A handle whose opening was already closed counts for nothing.
void release(DioHandle& h) {
    if (!h.board)
        return;
    DioBoard& b = *h.board;
    std::lock_guard<std::mutex> lock(b.mutex);
    cancel_waiters(b, &h);
    if (in_opening(h, b) && --b.handles <= 0)
        close_board(b);
    h.opening.store(0, std::memory_order_release);
}

// The handle takes the state of `other` (board binding, opening and validity).
void copy_binding(DioHandle& h, const DioHandle& other) {
    std::shared_ptr<DioBoard> next = other.board;
    bool next_disposed = other.disposed.load();
    // Joined before the old one is left, which may be the same opening.
    std::uint64_t opening = join_opening(other);
    if (!h.disposed.load())
        release(h);
    h.board = std::move(next);
    h.opening.store(opening, std::memory_order_release);
    h.disposed.store(next_disposed);
}

DioHandle& usable(DioHandle& h, const char* op) {
    if (h.disposed.load(std::memory_order_acquire))
        ZOLSIM_RAISE(Disposed, op, "the board handle was disposed");
    return h;
}

// The open board of a handle; cheap (no allocation, no lock): used by the port operations.
DioBoard& open_board(const DioHandle& h, const char* op) {
    if (h.disposed.load(std::memory_order_acquire))
        ZOLSIM_RAISE(Disposed, op, "the board handle was disposed");
    DioBoard* b = h.board.get();
    if (!b || !in_opening(h, *b))
        ZOLSIM_RAISE(NotOpened, op, "the board is not open");
    return *b;
}

void check_index(int index, const char* op) {
    if (index < 0 || index > 31)
        ZOLSIM_RAISE(InvalidArgument, op, "I/O index " + std::to_string(index) + " is not 0 to 31");
}

// ---- waiting ------------------------------------------------------------------------------------

struct Outcome {
    unsigned int code;
    unsigned int di_events;
    unsigned int di;
};

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

Outcome port_wait(const DioHandle& h, const char* op) {
    open_board(h, op);
    // Our own reference: the handle may be disposed or destroyed while we wait.
    std::shared_ptr<DioBoard> board = h.board;
    return wait_events(h, board, op);
}

void port_abort(const DioHandle& h, const char* op) {
    DioBoard& b = open_board(h, op);
    std::lock_guard<std::mutex> lock(b.mutex);
    // Only threads waiting now are affected: an abort is not remembered for later waits.
    cancel_waiters(b, nullptr);
}

} // namespace

DioBoard::DioBoard(DioType t, int board_id)
    : type(t), id(board_id), settings(dio_catalogue(t, board_id)) {}

std::shared_ptr<DioBoard> dio_open_board(const zol::DIO::CxDIOPort& port, const char* op) {
    const DioHandle& h = *Access::handle(port);
    open_board(h, op);
    return h.board;
}

void dio_settings_changed(DioBoard& board) {
    std::lock_guard<std::mutex> lock(board.mutex);
    board.wake.notify_all();
}

} // namespace zolsim

// =================================================================================================

namespace zol {
namespace DIO {

using zolsim::DioHandle;

TxRM1600WaitStatus::TxRM1600WaitStatus() : event_status(0), di_event_status(0), di(0) {}
TxRM1600WaitStatus::TxRM1600WaitStatus(unsigned int event, unsigned int di_event, unsigned int d)
    : event_status(event), di_event_status(di_event), di(d) {}
bool TxRM1600WaitStatus::operator==(const TxRM1600WaitStatus& o) const {
    return event_status == o.event_status && di_event_status == o.di_event_status && di == o.di;
}
bool TxRM1600WaitStatus::operator!=(const TxRM1600WaitStatus& o) const { return !(*this == o); }

TxDQ160WaitStatus::TxDQ160WaitStatus() : event_status(0), di_event_status(0), di(0) {}
TxDQ160WaitStatus::TxDQ160WaitStatus(unsigned int event, unsigned int di_event, unsigned int d)
    : event_status(event), di_event_status(di_event), di(d) {}
bool TxDQ160WaitStatus::operator==(const TxDQ160WaitStatus& o) const {
    return event_status == o.event_status && di_event_status == o.di_event_status && di == o.di;
}
bool TxDQ160WaitStatus::operator!=(const TxDQ160WaitStatus& o) const { return !(*this == o); }

// ---- CxDIOPort ----------------------------------------------------------------------------------

CxDIOPort::CxDIOPort(const char* class_name, const char* board)
    : CxModule(class_name),
      h_(std::make_unique<DioHandle>(zolsim::board_type(board, class_name))) {}

CxDIOPort::CxDIOPort(const char* class_name, const CxDIOPort& other)
    : CxModule(class_name), h_(std::make_unique<DioHandle>(other.h_->type)) {
    zolsim::copy_binding(*h_, *other.h_);
}

CxDIOPort::~CxDIOPort() {
    if (!h_->disposed.load())
        zolsim::release(*h_);
}

void CxDIOPort::assign(const CxDIOPort& other) {
    if (this != &other)
        zolsim::copy_binding(*h_, *other.h_);
}

// Handles are equal when they refer to the same rack board (type and id), or both to none
// (never opened, or disposed).
bool CxDIOPort::same_board(const CxDIOPort& other) const {
    const DioHandle& a = *h_;
    const DioHandle& b = *other.h_;
    const zolsim::DioBoard* ba = a.disposed.load() ? nullptr : a.board.get();
    const zolsim::DioBoard* bb = b.disposed.load() ? nullptr : b.board.get();
    if (!ba || !bb)
        return !ba && !bb;
    return ba->type == bb->type && ba->id == bb->id;
}

void CxDIOPort::Dispose() {
    zolsim::call(this, "Dispose");
    if (!h_->disposed.exchange(true))
        zolsim::release(*h_);
}

bool CxDIOPort::IsValid() const {
    zolsim::call(this, "IsValid");
    return !h_->disposed.load(std::memory_order_acquire);
}

void CxDIOPort::Open(int id) {
    zolsim::call(this, "Open", id);
    DioHandle& h = zolsim::usable(*h_, "Open");
    std::shared_ptr<zolsim::DioBoard> board = zolsim::rack_board(h.type, id, "Open");
    if (board != h.board) {
        zolsim::release(h);
        h.board = board;
    }
    std::lock_guard<std::mutex> lock(board->mutex);
    if (zolsim::in_opening(h, *board))
        return;
    if (!board->opened.load(std::memory_order_relaxed)) {
        // A fresh open starts without stale events.
        board->di_events = 0;
        zolsim::set_int_event(*board, false);
        board->opening.fetch_add(1, std::memory_order_relaxed);
        board->opened.store(true, std::memory_order_release);
    }
    ++board->handles;
    h.opening.store(board->opening.load(std::memory_order_relaxed), std::memory_order_release);
}

// Closes the handle's opening of its board, for every handle taking part in it; a handle that
// is not open closes nothing (the board may have been opened again through another handle).
void CxDIOPort::Close() {
    zolsim::call(this, "Close");
    DioHandle& h = zolsim::usable(*h_, "Close");
    if (!h.board)
        return;
    std::lock_guard<std::mutex> lock(h.board->mutex);
    if (zolsim::in_opening(h, *h.board))
        zolsim::close_board(*h.board);
    h.opening.store(0, std::memory_order_release);
}

bool CxDIOPort::IsOpened() const {
    zolsim::call(this, "IsOpened");
    const DioHandle& h = *h_;
    if (h.disposed.load(std::memory_order_acquire))
        ZOLSIM_RAISE(Disposed, "IsOpened", "the board handle was disposed");
    return h.board && zolsim::in_opening(h, *h.board);
}

void CxDIOPort::Read(unsigned int* word) {
    zolsim::call(this, "Read", zolsim::Out{word});
    zolsim::DioBoard& b = zolsim::open_board(*h_, "Read");
    ZOLSIM_REQUIRE(word, "Read");
    *word = b.inputs.load(std::memory_order_acquire);
}

void CxDIOPort::Write(unsigned int word) {
    zolsim::call(this, "Write", word);
    zolsim::DioBoard& b = zolsim::open_board(*h_, "Write");
    std::lock_guard<std::mutex> lock(b.mutex);
    b.outputs.store(word, std::memory_order_release);
    if (b.loopback)
        zolsim::refresh_inputs(b);
}

void CxDIOPort::WriteStatus(unsigned int* word) {
    zolsim::call(this, "WriteStatus", zolsim::Out{word});
    zolsim::DioBoard& b = zolsim::open_board(*h_, "WriteStatus");
    ZOLSIM_REQUIRE(word, "WriteStatus");
    *word = b.outputs.load(std::memory_order_acquire);
}

void CxDIOPort::Read(int index, bool* state) {
    zolsim::call(this, "Read", index, zolsim::Out{state});
    zolsim::DioBoard& b = zolsim::open_board(*h_, "Read");
    ZOLSIM_REQUIRE(state, "Read");
    zolsim::check_index(index, "Read");
    *state = (b.inputs.load(std::memory_order_acquire) >> index) & 1u;
}

void CxDIOPort::Write(int index, bool state) {
    zolsim::call(this, "Write", index, state);
    zolsim::DioBoard& b = zolsim::open_board(*h_, "Write");
    zolsim::check_index(index, "Write");
    std::lock_guard<std::mutex> lock(b.mutex);
    unsigned int bit = 1u << index;
    unsigned int word = b.outputs.load(std::memory_order_relaxed);
    b.outputs.store(state ? word | bit : word & ~bit, std::memory_order_release);
    if (b.loopback)
        zolsim::refresh_inputs(b);
}

void CxDIOPort::WriteStatus(int index, bool* state) {
    zolsim::call(this, "WriteStatus", index, zolsim::Out{state});
    zolsim::DioBoard& b = zolsim::open_board(*h_, "WriteStatus");
    ZOLSIM_REQUIRE(state, "WriteStatus");
    zolsim::check_index(index, "WriteStatus");
    *state = (b.outputs.load(std::memory_order_acquire) >> index) & 1u;
}

// I/O boards are not capture devices.
ExDevice CxDIOPort::ModuleDevice() const {
    zolsim::call(this, "ModuleDevice");
    zolsim::usable(*h_, "ModuleDevice");
    return static_cast<ExDevice>(0);
}

// ---- the three boards ---------------------------------------------------------------------------

// What the three board classes share beyond CxDIOPort: construction, copying, comparison and
// Abort.
#define ZOLSIM_DIO_BOARD(Class, Board)                                                             \
    Class::Class() : CxDIOPort(#Class, Board) {}                                                   \
    Class::Class(const Class& other) : CxDIOPort(#Class, other) {}                                 \
    Class& Class::operator=(const Class& other) {                                                  \
        assign(other);                                                                             \
        return *this;                                                                              \
    }                                                                                              \
    Class::~Class() = default;                                                                     \
    bool Class::operator==(const Class& other) const {                                             \
        zolsim::call(this, "operator==", &other);                                                  \
        return same_board(other);                                                                 \
    }                                                                                              \
    bool Class::operator!=(const Class& other) const {                                             \
        zolsim::call(this, "operator!=", &other);                                                  \
        return !same_board(other);                                                                 \
    }                                                                                              \
    void Class::Abort() {                                                                          \
        zolsim::call(this, "Abort");                                                               \
        zolsim::port_abort(*zolsim::Access::handle(static_cast<const CxDIOPort&>(*this)),          \
                           "Abort");                                                               \
    }

ZOLSIM_DIO_BOARD(CxMB100, "MB100")
ZOLSIM_DIO_BOARD(CxRM1600, "RM1600")
ZOLSIM_DIO_BOARD(CxDQ160, "DQ160")

#undef ZOLSIM_DIO_BOARD

namespace {
const DioHandle& port_handle(const CxDIOPort& port) { return *zolsim::Access::handle(port); }
} // namespace

void CxMB100::Wait(unsigned int* event) {
    zolsim::call(this, "Wait", zolsim::Out{event});
    zolsim::open_board(port_handle(*this), "Wait");
    ZOLSIM_REQUIRE(event, "Wait");
    // Nothing of *this is touched after the wait: another thread may have destroyed it.
    *event = zolsim::port_wait(port_handle(*this), "Wait").code;
}

TxRM1600WaitStatus CxRM1600::Wait() {
    zolsim::call(this, "Wait");
    zolsim::Outcome o = zolsim::port_wait(port_handle(*this), "Wait");
    return TxRM1600WaitStatus(o.code, o.di_events, o.di);
}

TxDQ160WaitStatus CxDQ160::Wait() {
    zolsim::call(this, "Wait");
    zolsim::Outcome o = zolsim::port_wait(port_handle(*this), "Wait");
    return TxDQ160WaitStatus(o.code, o.di_events, o.di);
}

// ---- DQ160 settings files -----------------------------------------------------------------------
// The file holds the writable settings, one Name=Value per line. The option is reserved for
// more content in later versions: every value saves and loads the settings alone.

namespace {

template <class Char> void load(CxDQ160& board, const Char* path, int option) {
    zolsim::call(&board, "Load", path, option);
    std::shared_ptr<zolsim::DioBoard> b = zolsim::dio_open_board(board, "Load");
    const std::string file = zolsim::path_of(path, "Load");
    b->settings.apply("Load", zolsim::read_name_values("Load", file));
    zolsim::dio_settings_changed(*b);
}

template <class Char> void save(const CxDQ160& board, const Char* path, int option) {
    zolsim::call(&board, "Save", path, option);
    std::shared_ptr<zolsim::DioBoard> b = zolsim::dio_open_board(board, "Save");
    zolsim::write_file("Save", zolsim::path_of(path, "Save"), b->settings.dump());
}

} // namespace

void CxDQ160::Load(const char* path, int option) { load(*this, path, option); }
void CxDQ160::Load(const wchar_t* path, int option) { load(*this, path, option); }
void CxDQ160::Save(const char* path, int option) const { save(*this, path, option); }
void CxDQ160::Save(const wchar_t* path, int option) const { save(*this, path, option); }

} // namespace DIO

// ---- control surface: the I/O boards ------------------------------------------------------------

namespace sim {

namespace {
std::shared_ptr<zolsim::DioBoard> sim_board(const std::string& board, int id, const char* op) {
    return zolsim::rack_board(zolsim::board_type(board.c_str(), op), id, op);
}
} // namespace

void SetInputs(const std::string& board, int id, unsigned int word) {
    auto b = sim_board(board, id, "SetInputs");
    std::lock_guard<std::mutex> lock(b->mutex);
    b->driven = word;
    zolsim::refresh_inputs(*b);
}

unsigned int Inputs(const std::string& board, int id) {
    return sim_board(board, id, "Inputs")->inputs.load(std::memory_order_acquire);
}

unsigned int Outputs(const std::string& board, int id) {
    return sim_board(board, id, "Outputs")->outputs.load(std::memory_order_acquire);
}

void SetLoopback(const std::string& board, int id, bool on) {
    auto b = sim_board(board, id, "SetLoopback");
    std::lock_guard<std::mutex> lock(b->mutex);
    b->loopback = on;
    zolsim::refresh_inputs(*b);
}

// A pulse latches one INT event on an open board whose interrupt is enabled; the edge setting
// does not matter for a pulse. The RM1600 has no interrupt input.
void Interrupt(const std::string& board, int id) {
    auto b = sim_board(board, id, "Interrupt");
    if (!zolsim::dio_has_interrupt(b->type))
        ZOLSIM_RAISE(NotSupported, "Interrupt", "the " + board + " board has no interrupt input");
    std::lock_guard<std::mutex> lock(b->mutex);
    if (!b->opened.load(std::memory_order_relaxed) || b->settings.number("INTEnable") == 0)
        return;
    zolsim::set_int_event(*b, true);
    b->wake.notify_all();
}

int Waiters(const std::string& board, int id) {
    auto b = sim_board(board, id, "Waiters");
    std::lock_guard<std::mutex> lock(b->mutex);
    return static_cast<int>(b->waiters.size());
}

bool BoardOpened(const std::string& board, int id) {
    return sim_board(board, id, "BoardOpened")->opened.load(std::memory_order_acquire);
}

} // namespace sim
} // namespace zol
