// CxDIOPort: the handle and port operations the three I/O boards share. Each operation journals
// itself under its own name (`__func__`), which also names it in its errors, and under the class
// of the board it runs on: the journal's CxMB100::Open, CxRM1600::Open and CxDQ160::Open are all
// CxDIOPort::Open below (and so on for every operation of this file).
#include "dio/dio.h"
#include "wiring/wiring.h"

namespace zolsim {
namespace dio {
namespace {

// Writes the output latch of the handle's open board: `next(word)` is the new latch, checked
// by `check()` first. The output bits wired to other boards' inputs drive them, in the order the
// writes happened (the wiring's drive lock is held from the change to the delivery), at the
// instant the latch changed.
template <class Check, class Next>
void write_outputs(const DioHandle& h, const char* op, Check check, Next next) {
    wiring::Drive held;
    unsigned before, after;
    int id;
    {
        OpenBoard b(h, op);
        check();
        std::lock_guard<std::mutex> lock(b->mutex);
        before = b->outputs.load(std::memory_order_relaxed);
        after = next(before);
        b->outputs.store(after, std::memory_order_release);
        if (b->loopback)
            refresh_inputs(*b);
        id = b->id;
    }
    if (held && before != after)
        wiring::drive_outputs(static_cast<int>(h.type), id, before, after, wiring::Clock::now());
}

} // namespace
} // namespace dio
} // namespace zolsim

namespace zol {
namespace DIO {

using zolsim::DioHandle;
namespace dio = zolsim::dio;

CxDIOPort::CxDIOPort(const char* class_name, const char* board)
    : CxModule(class_name), h_(std::make_unique<DioHandle>(dio::board_type(board, class_name))) {}

CxDIOPort::CxDIOPort(const char* class_name, const CxDIOPort& other)
    : CxModule(class_name), h_(std::make_unique<DioHandle>(other.h_->type)) {
    dio::copy_binding(*h_, *other.h_);
}

CxDIOPort::~CxDIOPort() {
    if (!h_->disposed.load())
        dio::release(*h_);
}

void CxDIOPort::assign(const CxDIOPort& other) {
    if (this != &other)
        dio::copy_binding(*h_, *other.h_);
}

bool CxDIOPort::same_board(const CxDIOPort& other) const {
    return dio::same_board(*h_, *other.h_);
}

void CxDIOPort::Dispose() {
    zolsim::journal_and_fault(this, __func__);
    if (!h_->disposed.exchange(true))
        dio::release(*h_);
}

bool CxDIOPort::IsValid() const {
    zolsim::journal_and_fault(this, __func__);
    return !h_->disposed.load(std::memory_order_acquire);
}

void CxDIOPort::Open(int id) {
    zolsim::journal_and_fault(this, __func__, id);
    dio::open(*h_, id, __func__);
}

void CxDIOPort::Close() {
    zolsim::journal_and_fault(this, __func__);
    dio::close(*h_, __func__);
}

bool CxDIOPort::IsOpened() const {
    zolsim::journal_and_fault(this, __func__);
    return dio::is_opened(*h_, __func__);
}

void CxDIOPort::Read(unsigned int* word) {
    zolsim::journal_and_fault(this, __func__, zolsim::Out{word});
    dio::OpenBoard b(*h_, __func__);
    ZOLSIM_REQUIRE(word, __func__);
    *word = b->inputs.load(std::memory_order_acquire);
}

void CxDIOPort::Write(unsigned int word) {
    zolsim::journal_and_fault(this, __func__, word);
    dio::write_outputs(
        *h_, __func__, [] {}, [word](unsigned) { return word; });
}

void CxDIOPort::WriteStatus(unsigned int* word) {
    zolsim::journal_and_fault(this, __func__, zolsim::Out{word});
    dio::OpenBoard b(*h_, __func__);
    ZOLSIM_REQUIRE(word, __func__);
    *word = b->outputs.load(std::memory_order_acquire);
}

void CxDIOPort::Read(int index, bool* state) {
    zolsim::journal_and_fault(this, __func__, index, zolsim::Out{state});
    dio::OpenBoard b(*h_, __func__);
    ZOLSIM_REQUIRE(state, __func__);
    dio::check_index(index, __func__);
    *state = (b->inputs.load(std::memory_order_acquire) >> index) & 1u;
}

void CxDIOPort::Write(int index, bool state) {
    zolsim::journal_and_fault(this, __func__, index, state);
    dio::write_outputs(
        *h_, __func__, [index, op = __func__] { dio::check_index(index, op); },
        [index, state](unsigned word) {
            const unsigned int bit = 1u << index;
            return state ? word | bit : word & ~bit;
        });
}

void CxDIOPort::WriteStatus(int index, bool* state) {
    zolsim::journal_and_fault(this, __func__, index, zolsim::Out{state});
    dio::OpenBoard b(*h_, __func__);
    ZOLSIM_REQUIRE(state, __func__);
    dio::check_index(index, __func__);
    *state = (b->outputs.load(std::memory_order_acquire) >> index) & 1u;
}

// I/O boards are not capture devices.
ExDevice CxDIOPort::ModuleDevice() const {
    zolsim::journal_and_fault(this, __func__);
    dio::usable(*h_, __func__);
    return static_cast<ExDevice>(0);
}

} // namespace DIO
} // namespace zol
