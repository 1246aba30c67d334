// The capture boards CxKX210, CxKX310 and CxTR520: thin forwarders to the acquisition engine
// (video_capture.cpp). What the three share is generated once by the macros below; what
// differs is written out after them:
//   - TR520: FromFile and Setup take no option;
//   - KX210 and TR520: status by value, QueryStatus/WaitStatus(frame), Abort(option),
//     ForceTrigger();
//   - KX310: status records filled in place, Wait(timeout), event waits, per-channel commands,
//     PLLReconfig, Lock/Validate of another module's images.
#include <utility>

#include "video.h"

namespace zol {
namespace Video {

using zolsim::call;
using zolsim::call_static;
namespace cap = zolsim::capture;

using zolsim::path_of;

namespace {

zolsim::CaptureHandle& H(const CxCaptureBoard& b) { return *zolsim::Access::handle(b); }
zolsim::Session& S(const CxCaptureBoard& b, const char* op) { return cap::live(H(b), op); }

template <class B> B from_file(const std::string& path, int id, int ch, ExDevice device) {
    B b;
    zolsim::CaptureHandle& h = H(b);
    cap::open(h, "FromFile", device, id, ch);
    cap::setup(*h.s, "FromFile", device, path);
    return b;
}

} // namespace

// ---- the shared base ----------------------------------------------------------------------------

CxCaptureBoard::CxCaptureBoard(const char* class_name, ExDevice device)
    : CxModule(class_name), h_(new zolsim::CaptureHandle(device)) {}

// A copy shares the board and its open state; the image ring and acquisition stay with the
// original.
CxCaptureBoard::CxCaptureBoard(const char* class_name, const CxCaptureBoard& other)
    : CxModule(class_name), h_(new zolsim::CaptureHandle(ExDevice(other.h_->device.load()))) {
    cap::copy_binding(*h_->s, *other.h_->s);
    h_->disposed = other.h_->disposed.load();
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
    if (this == &other)
        return;
    cap::close(*h_->s);
    cap::copy_binding(*h_->s, *other.h_->s);
    h_->disposed = other.h_->disposed.load();
}

// Two handles are equal when bound to the same rack board (type, id and channel); unbound
// handles only equal themselves.
bool CxCaptureBoard::same_board(const CxCaptureBoard& other) const {
    return cap::same_board(*h_->s, *other.h_->s);
}

ExDevice CxCaptureBoard::ModuleDevice() const {
    call(this, "ModuleDevice");
    return ExDevice(h_->device.load());
}

// ---- what the three boards share --------------------------------------------------------------

#define ZOLSIM_BOARD_COMMON(CLS, DEV)                                                              \
    CLS::CLS() : CxCaptureBoard(#CLS, DEV) {}                                                      \
    CLS::CLS(const CLS& other) : CxCaptureBoard(#CLS, other) {}                                    \
    CLS::CLS(CLS&& other) : CxCaptureBoard(#CLS, std::move(other)) {}                              \
    CLS& CLS::operator=(const CLS& other) {                                                        \
        assign(other);                                                                             \
        return *this;                                                                              \
    }                                                                                              \
    CLS::~CLS() = default;                                                                         \
    bool CLS::operator==(const CLS& other) const {                                                 \
        call(this, "operator==", &other);                                                          \
        return same_board(other);                                                                  \
    }                                                                                              \
    bool CLS::operator!=(const CLS& other) const {                                                 \
        call(this, "operator!=", &other);                                                          \
        return !same_board(other);                                                                 \
    }                                                                                              \
    CLS CLS::FromFile(const char* camerafile, int id, int ch ZOLSIM_OPTION_PARAM) {               \
        call_static(#CLS, "FromFile", camerafile, id, ch ZOLSIM_OPTION_ARG);                       \
        return from_file<CLS>(path_of(camerafile, "FromFile"), id, ch, DEV);                       \
    }                                                                                              \
    CLS CLS::FromFile(const wchar_t* camerafile, int id, int ch ZOLSIM_OPTION_PARAM) {            \
        call_static(#CLS, "FromFile", camerafile, id, ch ZOLSIM_OPTION_ARG);                       \
        return from_file<CLS>(path_of(camerafile, "FromFile"), id, ch, DEV);                       \
    }                                                                                              \
    CLS CLS::FromFile(const char* camerafile ZOLSIM_OPTION_PARAM) {                               \
        call_static(#CLS, "FromFile", camerafile ZOLSIM_OPTION_ARG);                               \
        return from_file<CLS>(path_of(camerafile, "FromFile"), 0, 0, DEV);                         \
    }                                                                                              \
    CLS CLS::FromFile(const wchar_t* camerafile ZOLSIM_OPTION_PARAM) {                            \
        call_static(#CLS, "FromFile", camerafile ZOLSIM_OPTION_ARG);                               \
        return from_file<CLS>(path_of(camerafile, "FromFile"), 0, 0, DEV);                         \
    }                                                                                              \
    void CLS::Setup(const char* camerafile ZOLSIM_OPTION_PARAM) {                                 \
        call(this, "Setup", camerafile ZOLSIM_OPTION_ARG);                                         \
        zolsim::Session& s = S(*this, "Setup");                                                    \
        cap::setup(s, "Setup", DEV, path_of(camerafile, "Setup"));                                 \
    }                                                                                              \
    void CLS::Setup(const wchar_t* camerafile ZOLSIM_OPTION_PARAM) {                              \
        call(this, "Setup", camerafile ZOLSIM_OPTION_ARG);                                         \
        zolsim::Session& s = S(*this, "Setup");                                                    \
        cap::setup(s, "Setup", DEV, path_of(camerafile, "Setup"));                                 \
    }                                                                                              \
    void CLS::Dispose() {                                                                          \
        call(this, "Dispose");                                                                     \
        cap::close(*H(*this).s);                                                                   \
        H(*this).disposed = true;                                                                  \
    }                                                                                              \
    bool CLS::IsValid() const {                                                                    \
        call(this, "IsValid");                                                                     \
        return !H(*this).disposed.load();                                                          \
    }                                                                                              \
    void CLS::Open(int id, int ch) {                                                               \
        call(this, "Open", id, ch);                                                                \
        cap::open(H(*this), "Open", DEV, id, ch);                                                  \
    }                                                                                              \
    void CLS::Close() {                                                                            \
        call(this, "Close");                                                                       \
        cap::close(S(*this, "Close"));                                                             \
    }                                                                                              \
    void CLS::Save(const char* camerafile) const {                                                 \
        call(this, "Save", camerafile);                                                            \
        zolsim::Session& s = S(*this, "Save");                                                     \
        cap::save(s, "Save", path_of(camerafile, "Save"));                                         \
    }                                                                                              \
    void CLS::Save(const wchar_t* camerafile) const {                                              \
        call(this, "Save", camerafile);                                                            \
        zolsim::Session& s = S(*this, "Save");                                                     \
        cap::save(s, "Save", path_of(camerafile, "Save"));                                         \
    }                                                                                              \
    bool CLS::IsOpened() const {                                                                   \
        call(this, "IsOpened");                                                                    \
        return cap::is_opened(S(*this, "IsOpened"));                                               \
    }                                                                                              \
    void CLS::Validate(CxImage& image) {                                                           \
        call(this, "Validate", image);                                                             \
        cap::validate(S(*this, "Validate"), "Validate", &image);                                   \
    }                                                                                              \
    void CLS::Validate(CxImage** images, int count) {                                              \
        call(this, "Validate", zolsim::Images{images, count}, count);                              \
        cap::validate(S(*this, "Validate"), "Validate", images, count);                            \
    }                                                                                              \
    void CLS::Reserved1() {}                                                                       \
    void CLS::Reserved2() {}                                                                       \
    void CLS::Lock(const CxImage& image, int option) {                                             \
        call(this, "Lock", image, option);                                                         \
        CxImage* ring[1] = {const_cast<CxImage*>(&image)};                                         \
        cap::lock(S(*this, "Lock"), "Lock", ring, 1);                                              \
    }                                                                                              \
    void CLS::Lock(CxImage** images, int count, int option) {                                      \
        call(this, "Lock", zolsim::Images{images, count}, count, option);                          \
        cap::lock(S(*this, "Lock"), "Lock", images, count);                                        \
    }                                                                                              \
    void CLS::Unlock() {                                                                           \
        call(this, "Unlock");                                                                      \
        cap::unlock(S(*this, "Unlock"));                                                           \
    }                                                                                              \
    void CLS::Start() {                                                                            \
        call(this, "Start");                                                                       \
        cap::start(S(*this, "Start"), "Start", -1);                                                \
    }                                                                                              \
    void CLS::Stop() {                                                                             \
        call(this, "Stop");                                                                        \
        cap::stop(S(*this, "Stop"), zolsim::kDone);                                                \
    }                                                                                              \
    void CLS::Abort() {                                                                            \
        call(this, "Abort");                                                                       \
        cap::stop(S(*this, "Abort"), zolsim::kAborted);                                            \
    }                                                                                              \
    void CLS::Wait() {                                                                             \
        call(this, "Wait");                                                                        \
        /* the session outlives this object if another thread destroys it meanwhile */             \
        auto s = S(*this, "Wait").shared_from_this();                                              \
        cap::wait(*s, "Wait");                                                                     \
    }                                                                                              \
    bool CLS::IsRunning() const {                                                                  \
        call(this, "IsRunning");                                                                   \
        return cap::is_running(S(*this, "IsRunning"));                                             \
    }                                                                                              \
    int CLS::Status() {                                                                            \
        call(this, "Status");                                                                      \
        return cap::status(S(*this, "Status"));                                                    \
    }                                                                                              \
    void CLS::Num(int frames) {                                                                    \
        call(this, "Num", frames);                                                                 \
        cap::num(S(*this, "Num"), "Num", frames);                                                  \
    }                                                                                              \
    int CLS::Num() const {                                                                         \
        call(this, "Num");                                                                         \
        zolsim::Session& s = S(*this, "Num");                                                      \
        std::lock_guard<std::mutex> lock(s.m);                                                     \
        return s.num;                                                                              \
    }                                                                                              \
    void CLS::LockId(int id) {                                                                     \
        call(this, "LockId", id);                                                                  \
        zolsim::Session& s = S(*this, "LockId");                                                   \
        std::lock_guard<std::mutex> lock(s.m);                                                     \
        s.lock_id = id;                                                                            \
    }                                                                                              \
    int CLS::LockId() const {                                                                      \
        call(this, "LockId");                                                                      \
        zolsim::Session& s = S(*this, "LockId");                                                   \
        std::lock_guard<std::mutex> lock(s.m);                                                     \
        return s.lock_id;                                                                          \
    }

// Status by value, per frame, and the option-taking Abort of the KX210 and TR520.
#define ZOLSIM_BOARD_STATUS(CLS, REC)                                                              \
    REC CLS::WaitStatus() {                                                                        \
        call(this, "WaitStatus");                                                                  \
        auto s = S(*this, "WaitStatus").shared_from_this();                                        \
        return cap::record<REC>(cap::wait_status(*s, "WaitStatus", -1));                          \
    }                                                                                              \
    REC CLS::WaitStatus(unsigned int frame) {                                                      \
        call(this, "WaitStatus", frame);                                                           \
        auto s = S(*this, "WaitStatus").shared_from_this();                                        \
        return cap::record<REC>(cap::wait_status(*s, "WaitStatus", frame));                        \
    }                                                                                              \
    REC CLS::QueryStatus() {                                                                       \
        call(this, "QueryStatus");                                                                 \
        return cap::record<REC>(cap::snapshot(S(*this, "QueryStatus"), -1));                       \
    }                                                                                              \
    REC CLS::QueryStatus(unsigned int frame) {                                                     \
        call(this, "QueryStatus", frame);                                                          \
        return cap::record<REC>(cap::snapshot(S(*this, "QueryStatus"), frame));                    \
    }                                                                                              \
    void CLS::ForceTrigger() {                                                                     \
        call(this, "ForceTrigger");                                                                \
        cap::force_trigger(S(*this, "ForceTrigger"), "ForceTrigger", -1);                          \
    }                                                                                              \
    /* every option aborts at once: the simulation has no partial frame to finish */             \
    void CLS::Abort(unsigned int option) {                                                         \
        call(this, "Abort", option);                                                               \
        cap::stop(S(*this, "Abort"), zolsim::kAborted);                                            \
    }

// The option of FromFile/Setup (accepted, no effect in the simulation).
#define ZOLSIM_OPTION_PARAM , int option
#define ZOLSIM_OPTION_ARG , option
ZOLSIM_BOARD_COMMON(CxKX210, ExDevice::KX210)
ZOLSIM_BOARD_STATUS(CxKX210, TxKX210CaptureStatus)
ZOLSIM_BOARD_COMMON(CxKX310, ExDevice::KX310)
#undef ZOLSIM_OPTION_PARAM
#undef ZOLSIM_OPTION_ARG
#define ZOLSIM_OPTION_PARAM
#define ZOLSIM_OPTION_ARG
ZOLSIM_BOARD_COMMON(CxTR520, ExDevice::TR520)
ZOLSIM_BOARD_STATUS(CxTR520, TxTR520CaptureStatus)
#undef ZOLSIM_OPTION_PARAM
#undef ZOLSIM_OPTION_ARG

// ---- KX310 extras -------------------------------------------------------------------------------

void CxKX310::Reserved3() {}
void CxKX310::Reserved4() {}

TxKX310CaptureStatus CxKX310::QueryStatus() {
    call(this, "QueryStatus");
    return cap::record<TxKX310CaptureStatus>(cap::snapshot(S(*this, "QueryStatus"), -1));
}

void CxKX310::QueryStatus(TxKX310CaptureStatus* result) {
    call(this, "QueryStatus", zolsim::Out{result});
    zolsim::Session& s = S(*this, "QueryStatus");
    ZOLSIM_REQUIRE(result, "QueryStatus");
    *result = cap::record<TxKX310CaptureStatus>(cap::snapshot(s, -1));
}

TxKX310CaptureStatus CxKX310::WaitStatus() {
    call(this, "WaitStatus");
    auto s = S(*this, "WaitStatus").shared_from_this();
    return cap::record<TxKX310CaptureStatus>(cap::wait_status(*s, "WaitStatus", -1));
}

// Fills `result` whatever happens and tells whether the acquisition has ended.
bool CxKX310::WaitStatus(TxKX310CaptureStatus* result, int timeout) {
    call(this, "WaitStatus", zolsim::Out{result}, timeout);
    auto s = S(*this, "WaitStatus").shared_from_this();
    ZOLSIM_REQUIRE(result, "WaitStatus");
    bool done = cap::wait_ms(*s, "WaitStatus", timeout);
    *result = cap::record<TxKX310CaptureStatus>(cap::snapshot(*s, -1));
    return done;
}

bool CxKX310::Wait(int timeout) {
    call(this, "Wait", timeout);
    auto s = S(*this, "Wait").shared_from_this();
    return cap::wait_ms(*s, "Wait", timeout);
}

bool CxKX310::WaitEvent(int event, int timeout, int* value) {
    call(this, "WaitEvent", event, timeout, zolsim::IntPtr{value});
    auto s = S(*this, "WaitEvent").shared_from_this();
    return cap::wait_event(*s, "WaitEvent", event, timeout, value);
}

void CxKX310::CancelWaitEvent(int event) {
    call(this, "CancelWaitEvent", event);
    cap::cancel_wait_event(S(*this, "CancelWaitEvent"), "CancelWaitEvent", event);
}

void CxKX310::ForceTrigger(int ch) {
    call(this, "ForceTrigger", ch);
    cap::force_trigger(S(*this, "ForceTrigger"), "ForceTrigger", ch);
}

void CxKX310::StopPG(int ch) {
    call(this, "StopPG", ch);
    cap::pg(*cap::board(S(*this, "StopPG"), "StopPG"), "StopPG", ch, false);
}

void CxKX310::ResetPG(int ch) {
    call(this, "ResetPG", ch);
    cap::pg(*cap::board(S(*this, "ResetPG"), "ResetPG"), "ResetPG", ch, true);
}

void CxKX310::ClearTriggerMask(int ch) {
    call(this, "ClearTriggerMask", ch);
    auto b = cap::board(S(*this, "ClearTriggerMask"), "ClearTriggerMask");
    cap::clear_trigger_mask(*b, "ClearTriggerMask", ch);
}

void CxKX310::PLLReconfig() {
    call(this, "PLLReconfig");
    cap::command(*cap::board(S(*this, "PLLReconfig"), "PLLReconfig"), "PLLReconfig",
                 "PLLReconfig");
}

void CxKX310::Validate(IxModule* module) {
    call(this, "Validate", module);
    cap::validate(S(*this, "Validate"), "Validate", module);
}

void CxKX310::Lock(IxModule* module, int option) {
    call(this, "Lock", module, option);
    cap::lock(S(*this, "Lock"), "Lock", module);
}

} // namespace Video
} // namespace zol
