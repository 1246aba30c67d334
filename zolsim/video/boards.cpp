// The capture boards CxKX210, CxKX310 and CxTR520: thin forwarders to the acquisition engine
// (video/capture/session.cpp). Every member is written out and forwards, with its own name, to
// templates: what the boards share with the video device in video/capture/members.h, what only
// the boards share below. What differs between them:
//   - TR520: FromFile and Setup take no option;
//   - KX210 and TR520: status by value, QueryStatus/WaitStatus(frame), Abort(option),
//     ForceTrigger();
//   - KX310: status records filled in place, Wait(timeout), event waits, per-channel commands,
//     PLLReconfig, Lock/Validate of another module's images.
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "video/capture/members.h"

namespace zolsim {
namespace member {

// The boards' class names and device types. FromFile opens the board, then applies the file.
template <class B, zol::ExDevice D> struct BoardTraits {
    static constexpr zol::ExDevice device = D;
    static B make(const char* op, const std::string& path, int id, int ch) {
        B b;
        CaptureHandle& h = handle(b);
        capture::open(h, op, D, id, ch);
        capture::setup(*h.s, op, D, path);
        return b;
    }
};
template <>
struct ClassTraits<zol::Video::CxKX210> : BoardTraits<zol::Video::CxKX210, zol::ExDevice::KX210> {
    static constexpr const char* name = "CxKX210";
};
template <>
struct ClassTraits<zol::Video::CxKX310> : BoardTraits<zol::Video::CxKX310, zol::ExDevice::KX310> {
    static constexpr const char* name = "CxKX310";
};
template <>
struct ClassTraits<zol::Video::CxTR520> : BoardTraits<zol::Video::CxTR520, zol::ExDevice::TR520> {
    static constexpr const char* name = "CxTR520";
};

// What only the boards do, each for the three of them. They sit in the namespace of the shared
// ones so that overloads such as `validate` are found together.

template <class B> void validate(B& b, const char* op, zol::CxImage** images, int count) {
    journal_and_fault(&b, op, Images{images, count}, count);
    capture::validate(live(b, op), op, images, count);
}

// Lock(image, option): a ring of one image.
template <class B> void lock(B& b, const char* op, const zol::CxImage& image, int option) {
    journal_and_fault(&b, op, image, option);
    zol::CxImage* ring[1] = {const_cast<zol::CxImage*>(&image)};
    capture::lock(live(b, op), op, ring, 1);
}

template <class B> void lock(B& b, const char* op, zol::CxImage** images, int count, int option) {
    journal_and_fault(&b, op, Images{images, count}, count, option);
    capture::lock(live(b, op), op, images, count);
}

template <class B> void unlock(B& b, const char* op) {
    journal_and_fault(&b, op);
    capture::unlock(live(b, op));
}

// Start: Num frames (0: until Stop or Abort).
template <class B> void start(B& b, const char* op) {
    journal_and_fault(&b, op);
    capture::start(live(b, op), op, -1);
}

// Wait: until the acquisition ends, at most the Timeout setting.
template <class B> void wait(B& b, const char* op) {
    journal_and_fault(&b, op);
    // the session outlives this object if another thread destroys it meanwhile
    auto s = live(b, op).shared_from_this();
    capture::wait(*s, op);
}

template <class B> void num(B& b, const char* op, int frames) {
    journal_and_fault(&b, op, frames);
    capture::num(live(b, op), op, frames);
}

template <class B> void lock_id(B& b, const char* op, int id) {
    journal_and_fault(&b, op, id);
    Session& s = live(b, op);
    std::lock_guard<std::mutex> lock(s.m);
    s.lock_id = id;
}

// Num() and LockId(): a number the session keeps.
template <class B> int number(const B& b, const char* op, int Session::*field) {
    journal_and_fault(&b, op);
    Session& s = live(b, op);
    std::lock_guard<std::mutex> lock(s.m);
    return s.*field;
}

// The frame a status query is about: the last one, or the frame the caller named.
static std::int64_t frame_of() { return -1; }
static std::int64_t frame_of(unsigned int frame) { return frame; }

// QueryStatus() and QueryStatus(frame): the status now, as the board's record `R`.
template <class R, class B, class... F> R query_status(B& b, const char* op, const F&... frame) {
    journal_and_fault(&b, op, frame...);
    return capture::record<R>(capture::snapshot(live(b, op), frame_of(frame...)));
}

// WaitStatus() (until the acquisition ends) and WaitStatus(frame) (until that frame is
// captured), at most the Timeout setting.
template <class R, class B, class... F> R wait_status(B& b, const char* op, const F&... frame) {
    journal_and_fault(&b, op, frame...);
    auto s = live(b, op).shared_from_this();
    return capture::record<R>(capture::wait_status(*s, op, frame_of(frame...)));
}

} // namespace member
} // namespace zolsim

namespace zol {
namespace Video {

namespace {
template <class B> using Traits = member::ClassTraits<B>;
} // namespace

// ---- the shared base ----------------------------------------------------------------------------

CxCaptureBoard::CxCaptureBoard(const char* class_name, ExDevice device)
    : CxModule(class_name), h_(new zolsim::CaptureHandle(device)) {}

// A copy shares the board and its open state; the image ring and acquisition stay with the
// original.
CxCaptureBoard::CxCaptureBoard(const char* class_name, const CxCaptureBoard& other)
    : CxModule(class_name), h_(new zolsim::CaptureHandle(ExDevice(other.h_->device.load()))) {
    member::copy_handle(*h_, *other.h_);
}

// The moved-from object is left unbound but usable.
CxCaptureBoard::CxCaptureBoard(const char* class_name, CxCaptureBoard&& other)
    : CxModule(class_name, std::move(other)), h_(std::move(other.h_)) {
    other.h_.reset(new zolsim::CaptureHandle(ExDevice(h_->device.load())));
}

CxCaptureBoard::~CxCaptureBoard() {
    // Stop the acquisition (joining its thread) before the locked images can go away.
    if (h_)
        cap::close(*h_->s);
}

void CxCaptureBoard::assign(const CxCaptureBoard& other) {
    if (this != &other)
        member::copy_handle(*h_, *other.h_);
}

// The comparison operator== and operator!= make (member::equal).
bool CxCaptureBoard::same_board(const CxCaptureBoard& other) const {
    return cap::same_board(*h_->s, *other.h_->s);
}

ExDevice CxCaptureBoard::ModuleDevice() const { return member::module_device(*this, __func__); }

// ---- CxKX210 ------------------------------------------------------------------------------------

CxKX210::CxKX210() : CxCaptureBoard(Traits<CxKX210>::name, Traits<CxKX210>::device) {}
CxKX210::CxKX210(const CxKX210& other) : CxCaptureBoard(Traits<CxKX210>::name, other) {}
CxKX210::CxKX210(CxKX210&& other) : CxCaptureBoard(Traits<CxKX210>::name, std::move(other)) {}
CxKX210& CxKX210::operator=(const CxKX210& other) {
    assign(other);
    return *this;
}
CxKX210::~CxKX210() = default;

bool CxKX210::operator==(const CxKX210& other) const {
    return member::equal(*this, __func__, other, true);
}
bool CxKX210::operator!=(const CxKX210& other) const {
    return member::equal(*this, __func__, other, false);
}

CxKX210 CxKX210::FromFile(const char* camerafile, int id, int ch, int option) {
    return member::from_file_at<CxKX210>(__func__, camerafile, id, ch, option);
}
CxKX210 CxKX210::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    return member::from_file_at<CxKX210>(__func__, camerafile, id, ch, option);
}
CxKX210 CxKX210::FromFile(const char* camerafile, int option) {
    return member::from_file<CxKX210>(__func__, camerafile, option);
}
CxKX210 CxKX210::FromFile(const wchar_t* camerafile, int option) {
    return member::from_file<CxKX210>(__func__, camerafile, option);
}

void CxKX210::Setup(const char* camerafile, int option) {
    member::setup(*this, __func__, camerafile, option);
}
void CxKX210::Setup(const wchar_t* camerafile, int option) {
    member::setup(*this, __func__, camerafile, option);
}
void CxKX210::Save(const char* camerafile) const { member::save(*this, __func__, camerafile); }
void CxKX210::Save(const wchar_t* camerafile) const { member::save(*this, __func__, camerafile); }

void CxKX210::Dispose() { member::dispose(*this, __func__); }
bool CxKX210::IsValid() const { return member::is_valid(*this, __func__); }
void CxKX210::Open(int id, int ch) { member::open(*this, __func__, id, ch); }
void CxKX210::Close() { member::close(*this, __func__); }
bool CxKX210::IsOpened() const { return member::is_opened(*this, __func__); }

void CxKX210::Validate(CxImage& image) { member::validate(*this, __func__, image); }
void CxKX210::Validate(CxImage** images, int count) {
    member::validate(*this, __func__, images, count);
}
// The reserved slots of the board's table do nothing; they are journaled as any operation.
void CxKX210::Reserved1() { zolsim::journal_and_fault(this, __func__); }
void CxKX210::Reserved2() { zolsim::journal_and_fault(this, __func__); }
void CxKX210::Lock(const CxImage& image, int option) {
    member::lock(*this, __func__, image, option);
}
void CxKX210::Lock(CxImage** images, int count, int option) {
    member::lock(*this, __func__, images, count, option);
}
void CxKX210::Unlock() { member::unlock(*this, __func__); }

void CxKX210::Start() { member::start(*this, __func__); }
void CxKX210::Stop() { member::stop(*this, __func__, zolsim::kDone); }
void CxKX210::Abort() { member::stop(*this, __func__, zolsim::kAborted); }
void CxKX210::Wait() { member::wait(*this, __func__); }
bool CxKX210::IsRunning() const { return member::is_running(*this, __func__); }
int CxKX210::Status() { return member::status(*this, __func__); }

void CxKX210::Num(int frames) { member::num(*this, __func__, frames); }
int CxKX210::Num() const { return member::number(*this, __func__, &zolsim::Session::num); }
void CxKX210::LockId(int id) { member::lock_id(*this, __func__, id); }
int CxKX210::LockId() const { return member::number(*this, __func__, &zolsim::Session::lock_id); }

TxKX210CaptureStatus CxKX210::WaitStatus() {
    return member::wait_status<TxKX210CaptureStatus>(*this, __func__);
}
TxKX210CaptureStatus CxKX210::WaitStatus(unsigned int frame) {
    return member::wait_status<TxKX210CaptureStatus>(*this, __func__, frame);
}
TxKX210CaptureStatus CxKX210::QueryStatus() {
    return member::query_status<TxKX210CaptureStatus>(*this, __func__);
}
TxKX210CaptureStatus CxKX210::QueryStatus(unsigned int frame) {
    return member::query_status<TxKX210CaptureStatus>(*this, __func__, frame);
}
void CxKX210::ForceTrigger() { member::force_trigger(*this, __func__, -1); }
void CxKX210::Abort(unsigned int option) {
    member::stop(*this, __func__, zolsim::kAborted, option);
}

// ---- CxKX310 ------------------------------------------------------------------------------------

CxKX310::CxKX310() : CxCaptureBoard(Traits<CxKX310>::name, Traits<CxKX310>::device) {}
CxKX310::CxKX310(const CxKX310& other) : CxCaptureBoard(Traits<CxKX310>::name, other) {}
CxKX310::CxKX310(CxKX310&& other) : CxCaptureBoard(Traits<CxKX310>::name, std::move(other)) {}
CxKX310& CxKX310::operator=(const CxKX310& other) {
    assign(other);
    return *this;
}
CxKX310::~CxKX310() = default;

bool CxKX310::operator==(const CxKX310& other) const {
    return member::equal(*this, __func__, other, true);
}
bool CxKX310::operator!=(const CxKX310& other) const {
    return member::equal(*this, __func__, other, false);
}

CxKX310 CxKX310::FromFile(const char* camerafile, int id, int ch, int option) {
    return member::from_file_at<CxKX310>(__func__, camerafile, id, ch, option);
}
CxKX310 CxKX310::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    return member::from_file_at<CxKX310>(__func__, camerafile, id, ch, option);
}
CxKX310 CxKX310::FromFile(const char* camerafile, int option) {
    return member::from_file<CxKX310>(__func__, camerafile, option);
}
CxKX310 CxKX310::FromFile(const wchar_t* camerafile, int option) {
    return member::from_file<CxKX310>(__func__, camerafile, option);
}

void CxKX310::Setup(const char* camerafile, int option) {
    member::setup(*this, __func__, camerafile, option);
}
void CxKX310::Setup(const wchar_t* camerafile, int option) {
    member::setup(*this, __func__, camerafile, option);
}
void CxKX310::Save(const char* camerafile) const { member::save(*this, __func__, camerafile); }
void CxKX310::Save(const wchar_t* camerafile) const { member::save(*this, __func__, camerafile); }

void CxKX310::Dispose() { member::dispose(*this, __func__); }
bool CxKX310::IsValid() const { return member::is_valid(*this, __func__); }
void CxKX310::Open(int id, int ch) { member::open(*this, __func__, id, ch); }
void CxKX310::Close() { member::close(*this, __func__); }
bool CxKX310::IsOpened() const { return member::is_opened(*this, __func__); }

void CxKX310::Validate(CxImage& image) { member::validate(*this, __func__, image); }
void CxKX310::Validate(CxImage** images, int count) {
    member::validate(*this, __func__, images, count);
}
// The reserved slots of the board's table do nothing; they are journaled as any operation.
void CxKX310::Reserved1() { zolsim::journal_and_fault(this, __func__); }
void CxKX310::Reserved2() { zolsim::journal_and_fault(this, __func__); }
void CxKX310::Lock(const CxImage& image, int option) {
    member::lock(*this, __func__, image, option);
}
void CxKX310::Lock(CxImage** images, int count, int option) {
    member::lock(*this, __func__, images, count, option);
}
void CxKX310::Unlock() { member::unlock(*this, __func__); }

void CxKX310::Start() { member::start(*this, __func__); }
void CxKX310::Stop() { member::stop(*this, __func__, zolsim::kDone); }
void CxKX310::Abort() { member::stop(*this, __func__, zolsim::kAborted); }
void CxKX310::Wait() { member::wait(*this, __func__); }
bool CxKX310::IsRunning() const { return member::is_running(*this, __func__); }
int CxKX310::Status() { return member::status(*this, __func__); }

void CxKX310::Num(int frames) { member::num(*this, __func__, frames); }
int CxKX310::Num() const { return member::number(*this, __func__, &zolsim::Session::num); }
void CxKX310::LockId(int id) { member::lock_id(*this, __func__, id); }
int CxKX310::LockId() const { return member::number(*this, __func__, &zolsim::Session::lock_id); }

void CxKX310::Reserved3() { zolsim::journal_and_fault(this, __func__); }
void CxKX310::Reserved4() { zolsim::journal_and_fault(this, __func__); }

TxKX310CaptureStatus CxKX310::QueryStatus() {
    return member::query_status<TxKX310CaptureStatus>(*this, __func__);
}

void CxKX310::QueryStatus(TxKX310CaptureStatus* result) {
    journal_and_fault(this, __func__, zolsim::Out{result});
    zolsim::Session& s = member::live(*this, __func__);
    ZOLSIM_REQUIRE(result, __func__);
    *result = cap::record<TxKX310CaptureStatus>(cap::snapshot(s, -1));
}

TxKX310CaptureStatus CxKX310::WaitStatus() {
    return member::wait_status<TxKX310CaptureStatus>(*this, __func__);
}

// Fills `result` whatever happens and tells whether the acquisition has ended.
bool CxKX310::WaitStatus(TxKX310CaptureStatus* result, int timeout) {
    journal_and_fault(this, __func__, zolsim::Out{result}, timeout);
    auto s = member::live(*this, __func__).shared_from_this();
    ZOLSIM_REQUIRE(result, __func__);
    bool done = cap::wait_ms(*s, __func__, timeout);
    *result = cap::record<TxKX310CaptureStatus>(cap::snapshot(*s, -1));
    return done;
}

bool CxKX310::Wait(int timeout) {
    journal_and_fault(this, __func__, timeout);
    auto s = member::live(*this, __func__).shared_from_this();
    return cap::wait_ms(*s, __func__, timeout);
}

bool CxKX310::WaitEvent(int event, int timeout, int* value) {
    journal_and_fault(this, __func__, event, timeout, zolsim::IntPtr{value});
    auto s = member::live(*this, __func__).shared_from_this();
    return cap::wait_event(*s, __func__, event, timeout, value);
}

void CxKX310::CancelWaitEvent(int event) {
    journal_and_fault(this, __func__, event);
    cap::cancel_wait_event(member::live(*this, __func__), __func__, event);
}

void CxKX310::ForceTrigger(int ch) { member::force_trigger(*this, __func__, ch, ch); }

void CxKX310::StopPG(int ch) {
    journal_and_fault(this, __func__, ch);
    cap::pg(*member::board(*this, __func__), __func__, ch, false);
}

void CxKX310::ResetPG(int ch) {
    journal_and_fault(this, __func__, ch);
    cap::pg(*member::board(*this, __func__), __func__, ch, true);
}

void CxKX310::ClearTriggerMask(int ch) {
    journal_and_fault(this, __func__, ch);
    cap::clear_trigger_mask(*member::board(*this, __func__), __func__, ch);
}

// The board command of the same name.
void CxKX310::PLLReconfig() {
    journal_and_fault(this, __func__);
    cap::command(*member::board(*this, __func__), __func__, __func__);
}

void CxKX310::Validate(IxModule* module) { member::validate(*this, __func__, module); }
void CxKX310::Lock(IxModule* module, int option) {
    journal_and_fault(this, __func__, module, option);
    cap::lock(member::live(*this, __func__), __func__, module);
}

// ---- CxTR520 ------------------------------------------------------------------------------------

CxTR520::CxTR520() : CxCaptureBoard(Traits<CxTR520>::name, Traits<CxTR520>::device) {}
CxTR520::CxTR520(const CxTR520& other) : CxCaptureBoard(Traits<CxTR520>::name, other) {}
CxTR520::CxTR520(CxTR520&& other) : CxCaptureBoard(Traits<CxTR520>::name, std::move(other)) {}
CxTR520& CxTR520::operator=(const CxTR520& other) {
    assign(other);
    return *this;
}
CxTR520::~CxTR520() = default;

bool CxTR520::operator==(const CxTR520& other) const {
    return member::equal(*this, __func__, other, true);
}
bool CxTR520::operator!=(const CxTR520& other) const {
    return member::equal(*this, __func__, other, false);
}

CxTR520 CxTR520::FromFile(const char* camerafile, int id, int ch) {
    return member::from_file_at<CxTR520>(__func__, camerafile, id, ch);
}
CxTR520 CxTR520::FromFile(const wchar_t* camerafile, int id, int ch) {
    return member::from_file_at<CxTR520>(__func__, camerafile, id, ch);
}
CxTR520 CxTR520::FromFile(const char* camerafile) {
    return member::from_file<CxTR520>(__func__, camerafile);
}
CxTR520 CxTR520::FromFile(const wchar_t* camerafile) {
    return member::from_file<CxTR520>(__func__, camerafile);
}

void CxTR520::Setup(const char* camerafile) {
    member::setup(*this, __func__, camerafile);
}
void CxTR520::Setup(const wchar_t* camerafile) {
    member::setup(*this, __func__, camerafile);
}
void CxTR520::Save(const char* camerafile) const { member::save(*this, __func__, camerafile); }
void CxTR520::Save(const wchar_t* camerafile) const { member::save(*this, __func__, camerafile); }

void CxTR520::Dispose() { member::dispose(*this, __func__); }
bool CxTR520::IsValid() const { return member::is_valid(*this, __func__); }
void CxTR520::Open(int id, int ch) { member::open(*this, __func__, id, ch); }
void CxTR520::Close() { member::close(*this, __func__); }
bool CxTR520::IsOpened() const { return member::is_opened(*this, __func__); }

void CxTR520::Validate(CxImage& image) { member::validate(*this, __func__, image); }
void CxTR520::Validate(CxImage** images, int count) {
    member::validate(*this, __func__, images, count);
}
// The reserved slots of the board's table do nothing; they are journaled as any operation.
void CxTR520::Reserved1() { zolsim::journal_and_fault(this, __func__); }
void CxTR520::Reserved2() { zolsim::journal_and_fault(this, __func__); }
void CxTR520::Lock(const CxImage& image, int option) {
    member::lock(*this, __func__, image, option);
}
void CxTR520::Lock(CxImage** images, int count, int option) {
    member::lock(*this, __func__, images, count, option);
}
void CxTR520::Unlock() { member::unlock(*this, __func__); }

void CxTR520::Start() { member::start(*this, __func__); }
void CxTR520::Stop() { member::stop(*this, __func__, zolsim::kDone); }
void CxTR520::Abort() { member::stop(*this, __func__, zolsim::kAborted); }
void CxTR520::Wait() { member::wait(*this, __func__); }
bool CxTR520::IsRunning() const { return member::is_running(*this, __func__); }
int CxTR520::Status() { return member::status(*this, __func__); }

void CxTR520::Num(int frames) { member::num(*this, __func__, frames); }
int CxTR520::Num() const { return member::number(*this, __func__, &zolsim::Session::num); }
void CxTR520::LockId(int id) { member::lock_id(*this, __func__, id); }
int CxTR520::LockId() const { return member::number(*this, __func__, &zolsim::Session::lock_id); }

TxTR520CaptureStatus CxTR520::WaitStatus() {
    return member::wait_status<TxTR520CaptureStatus>(*this, __func__);
}
TxTR520CaptureStatus CxTR520::WaitStatus(unsigned int frame) {
    return member::wait_status<TxTR520CaptureStatus>(*this, __func__, frame);
}
TxTR520CaptureStatus CxTR520::QueryStatus() {
    return member::query_status<TxTR520CaptureStatus>(*this, __func__);
}
TxTR520CaptureStatus CxTR520::QueryStatus(unsigned int frame) {
    return member::query_status<TxTR520CaptureStatus>(*this, __func__, frame);
}
void CxTR520::ForceTrigger() { member::force_trigger(*this, __func__, -1); }
void CxTR520::Abort(unsigned int option) {
    member::stop(*this, __func__, zolsim::kAborted, option);
}

} // namespace Video
} // namespace zol
