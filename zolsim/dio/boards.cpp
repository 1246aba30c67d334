// The three I/O boards, MB100, RM1600 and DQ160, with their wait records and the DQ160's
// settings files. What the boards share is in templates below; each member forwards to them under
// its own name (`__func__`: in a constructor, the class's name, which the object is journaled
// and counted under).
#include "dio/dio.h"

#include <string>

namespace zolsim {
namespace dio {
namespace {

using zol::DIO::CxDIOPort;

const DioHandle& handle(const CxDIOPort& port) { return *PrivateAccess::handle(port); }

bool equal(const CxDIOPort& self, const char* op, const CxDIOPort& other) {
    journal_and_fault(&self, op, &other);
    return same_board(handle(self), handle(other));
}

void abort(const CxDIOPort& self, const char* op) {
    journal_and_fault(&self, op);
    abort_waits(handle(self), op);
}

// The record of a wait that reports the DI events and the inputs with the event.
template <class Record> Record wait_status(const CxDIOPort& self, const char* op) {
    journal_and_fault(&self, op);
    Outcome o = wait_event(handle(self), op);
    return Record(o.code, o.di_events, o.di);
}

template <class Record> bool same_record(const Record& a, const Record& b) {
    return a.event_status == b.event_status && a.di_event_status == b.di_event_status &&
           a.di == b.di;
}

// ---- DQ160 settings files -----------------------------------------------------------------------
// The file holds the writable settings, one Name=Value per line. The option is reserved for
// more content in later versions: every value saves and loads the settings alone.

template <class Char> void load(CxDIOPort& board, const char* op, const Char* path, int option) {
    journal_and_fault(&board, op, path, option);
    std::shared_ptr<DioBoard> b = dio_open_board(board, op);
    const std::string file = path_of(path, op);
    b->settings.apply(op, read_name_values(op, file));
    dio_settings_changed(*b);
}

template <class Char>
void save(const CxDIOPort& board, const char* op, const Char* path, int option) {
    journal_and_fault(&board, op, path, option);
    std::shared_ptr<DioBoard> b = dio_open_board(board, op);
    write_file(op, path_of(path, op), b->settings.dump());
}

} // namespace
} // namespace dio
} // namespace zolsim

namespace zol {
namespace DIO {

namespace dio = zolsim::dio;
using zolsim::DioType;
using zolsim::dio_board_name;

// ---- wait records -------------------------------------------------------------------------------

TxRM1600WaitStatus::TxRM1600WaitStatus() : event_status(0), di_event_status(0), di(0) {}
TxRM1600WaitStatus::TxRM1600WaitStatus(unsigned int event, unsigned int di_event, unsigned int d)
    : event_status(event), di_event_status(di_event), di(d) {}
bool TxRM1600WaitStatus::operator==(const TxRM1600WaitStatus& o) const {
    return dio::same_record(*this, o);
}
bool TxRM1600WaitStatus::operator!=(const TxRM1600WaitStatus& o) const {
    return !dio::same_record(*this, o);
}

TxDQ160WaitStatus::TxDQ160WaitStatus() : event_status(0), di_event_status(0), di(0) {}
TxDQ160WaitStatus::TxDQ160WaitStatus(unsigned int event, unsigned int di_event, unsigned int d)
    : event_status(event), di_event_status(di_event), di(d) {}
bool TxDQ160WaitStatus::operator==(const TxDQ160WaitStatus& o) const {
    return dio::same_record(*this, o);
}
bool TxDQ160WaitStatus::operator!=(const TxDQ160WaitStatus& o) const {
    return !dio::same_record(*this, o);
}

// ---- MB100 --------------------------------------------------------------------------------------

CxMB100::CxMB100() : CxDIOPort(__func__, dio_board_name(DioType::MB100)) {}
CxMB100::CxMB100(const CxMB100& other) : CxDIOPort(__func__, other) {}
CxMB100& CxMB100::operator=(const CxMB100& other) {
    assign(other);
    return *this;
}
CxMB100::~CxMB100() = default;
bool CxMB100::operator==(const CxMB100& o) const { return dio::equal(*this, __func__, o); }
bool CxMB100::operator!=(const CxMB100& o) const { return !dio::equal(*this, __func__, o); }
void CxMB100::Abort() { dio::abort(*this, __func__); }

void CxMB100::Wait(unsigned int* event) {
    zolsim::journal_and_fault(this, __func__, zolsim::Out{event});
    { dio::OpenBoard open(dio::handle(*this), __func__); }
    ZOLSIM_REQUIRE(event, __func__);
    // Nothing of *this is touched after the wait: another thread may have destroyed it.
    *event = dio::wait_event(dio::handle(*this), __func__).code;
}

// ---- RM1600 -------------------------------------------------------------------------------------

CxRM1600::CxRM1600() : CxDIOPort(__func__, dio_board_name(DioType::RM1600)) {}
CxRM1600::CxRM1600(const CxRM1600& other) : CxDIOPort(__func__, other) {}
CxRM1600& CxRM1600::operator=(const CxRM1600& other) {
    assign(other);
    return *this;
}
CxRM1600::~CxRM1600() = default;
bool CxRM1600::operator==(const CxRM1600& o) const { return dio::equal(*this, __func__, o); }
bool CxRM1600::operator!=(const CxRM1600& o) const { return !dio::equal(*this, __func__, o); }
void CxRM1600::Abort() { dio::abort(*this, __func__); }
TxRM1600WaitStatus CxRM1600::Wait() {
    return dio::wait_status<TxRM1600WaitStatus>(*this, __func__);
}

// ---- DQ160 --------------------------------------------------------------------------------------

CxDQ160::CxDQ160() : CxDIOPort(__func__, dio_board_name(DioType::DQ160)) {}
CxDQ160::CxDQ160(const CxDQ160& other) : CxDIOPort(__func__, other) {}
CxDQ160& CxDQ160::operator=(const CxDQ160& other) {
    assign(other);
    return *this;
}
CxDQ160::~CxDQ160() = default;
bool CxDQ160::operator==(const CxDQ160& o) const { return dio::equal(*this, __func__, o); }
bool CxDQ160::operator!=(const CxDQ160& o) const { return !dio::equal(*this, __func__, o); }
void CxDQ160::Abort() { dio::abort(*this, __func__); }
TxDQ160WaitStatus CxDQ160::Wait() { return dio::wait_status<TxDQ160WaitStatus>(*this, __func__); }

void CxDQ160::Load(const char* path, int option) { dio::load(*this, __func__, path, option); }
void CxDQ160::Load(const wchar_t* path, int option) { dio::load(*this, __func__, path, option); }
void CxDQ160::Save(const char* path, int option) const { dio::save(*this, __func__, path, option); }
void CxDQ160::Save(const wchar_t* path, int option) const {
    dio::save(*this, __func__, path, option);
}

} // namespace DIO
} // namespace zol
