// CxVideo: the board-independent video device. It stands for a rack board of its device type
// (none, 0, until one is chosen) and drives it with the same acquisition engine as the board
// classes. Differences from the boards:
//   - Start(image) / Start(module) capture continuously until Stop or Abort;
//   - Wait() waits for the next frame (Timeout setting; throws Timeout);
//   - Grab captures one frame at once, without a thread;
//   - the camera file may name the board type ("DeviceType=<1|2|4>", default KX210);
//   - Controller(module) takes the module's device type and, when the module is an open board
//     handle or video device, stands for the same board.
#include <utility>

#include "video.h"

namespace zol {
namespace Video {

using zolsim::call;
using zolsim::call_static;
namespace cap = zolsim::capture;

using zolsim::path_of;

namespace {

zolsim::VideoHandle& H(const CxVideo& v) { return *zolsim::Access::handle(v); }
zolsim::Session& S(const CxVideo& v, const char* op) { return cap::live(H(v), op); }

CxVideo from_file(const std::string& path, int id, int ch) {
    const char* op = "FromFile";
    int device;
    zolsim::NameValues content = cap::camera_file(op, path, -1, &device);
    if (device == -1)
        device = static_cast<int>(ExDevice::KX210);
    CxVideo v;
    zolsim::VideoHandle& h = H(v);
    h.device = device;
    cap::open(h, op, ExDevice(device), id, ch);
    auto board = cap::board(*h.s, op);
    board->settings.apply(op, content);
    zolsim::sync_derived(*board);
    return v;
}

} // namespace

CxVideo::CxVideo() : CxModule("CxVideo"), h_(new zolsim::VideoHandle) {}

// A copy stands for the same board with the same controller; the acquisition stays with the
// original.
CxVideo::CxVideo(const CxVideo& other) : CxModule("CxVideo"), h_(new zolsim::VideoHandle) {
    operator=(other);
}

CxVideo::CxVideo(CxVideo&& other) : CxModule("CxVideo", std::move(other)), h_(std::move(other.h_)) {
    other.h_.reset(new zolsim::VideoHandle);
}

CxVideo& CxVideo::operator=(const CxVideo& other) {
    if (this == &other)
        return *this;
    cap::close(*h_->s);
    cap::copy_binding(*h_->s, *other.h_->s);
    h_->device = other.h_->device.load();
    h_->disposed = other.h_->disposed.load();
    zolsim::Ref controller;
    IxModule* module;
    {
        std::lock_guard<std::mutex> lock(other.h_->cm);
        controller = other.h_->controller;
        module = other.h_->module;
    }
    std::lock_guard<std::mutex> lock(h_->cm);
    h_->controller = controller;
    h_->module = module;
    return *this;
}

CxVideo::~CxVideo() {
    if (h_)
        cap::close(*h_->s);
}

bool CxVideo::operator==(const CxVideo& other) const {
    call(this, "operator==", &other);
    return cap::same_board(*h_->s, *other.h_->s);
}

bool CxVideo::operator!=(const CxVideo& other) const {
    call(this, "operator!=", &other);
    return !cap::same_board(*h_->s, *other.h_->s);
}

CxVideo CxVideo::FromFile(const char* camerafile, int option) {
    call_static("CxVideo", "FromFile", camerafile, option);
    return from_file(path_of(camerafile, "FromFile"), 0, 0);
}

CxVideo CxVideo::FromFile(const wchar_t* camerafile, int option) {
    call_static("CxVideo", "FromFile", camerafile, option);
    return from_file(path_of(camerafile, "FromFile"), 0, 0);
}

CxVideo CxVideo::FromFile(const char* camerafile, int id, int ch, int option) {
    call_static("CxVideo", "FromFile", camerafile, id, ch, option);
    return from_file(path_of(camerafile, "FromFile"), id, ch);
}

CxVideo CxVideo::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    call_static("CxVideo", "FromFile", camerafile, id, ch, option);
    return from_file(path_of(camerafile, "FromFile"), id, ch);
}

IxModule* CxVideo::Controller() const {
    call(this, "Controller");
    std::lock_guard<std::mutex> lock(h_->cm);
    return zolsim::alive(h_->controller) ? h_->module : nullptr;
}

void CxVideo::Controller(IxModule* module) {
    call(this, "Controller", module);
    zolsim::Session& s = S(*this, "Controller");
    if (!module) {
        std::lock_guard<std::mutex> lock(h_->cm);
        h_->controller = zolsim::Ref{};
        h_->module = nullptr;
        return;
    }
    zol::CxModule* object = dynamic_cast<zol::CxModule*>(module);
    if (!object)
        ZOLSIM_RAISE(InvalidArgument, "Controller", "the module is not a library object");
    int device = cap::device_of(object);
    if (device == -1) {
        device = static_cast<int>(module->ModuleDevice());
    } else {
        // Stand for the board the module is bound to, if any.
        std::shared_ptr<zolsim::Board> board;
        if (auto target = cap::session_of(object, "Controller"); target.get() != &s) {
            std::lock_guard<std::mutex> lock(target->m);
            board = target->open ? target->board : nullptr;
        }
        if (board) {
            bool same;
            {
                std::lock_guard<std::mutex> lock(s.m);
                same = s.board == board;
            }
            if (!same) {
                cap::close(s);
                cap::bind(s, board);
            }
        }
    }
    h_->device = device;
    std::lock_guard<std::mutex> lock(h_->cm);
    h_->controller = zolsim::make_ref(object);
    h_->module = module;
}

ExDevice CxVideo::DeviceType() const {
    call(this, "DeviceType");
    S(*this, "DeviceType");
    return ExDevice(h_->device.load());
}

// Another device type means another board: the one it stood for is closed.
void CxVideo::DeviceType(ExDevice device) {
    call(this, "DeviceType", device);
    zolsim::Session& s = S(*this, "DeviceType");
    if (h_->device.exchange(static_cast<int>(device)) != static_cast<int>(device))
        cap::close(s);
}

ExDevice CxVideo::ModuleDevice() const {
    call(this, "ModuleDevice");
    return ExDevice(h_->device.load());
}

void CxVideo::Dispose() {
    call(this, "Dispose");
    cap::close(*h_->s);
    h_->disposed = true;
}

bool CxVideo::IsValid() const {
    call(this, "IsValid");
    return !h_->disposed.load();
}

void CxVideo::Close() {
    call(this, "Close");
    cap::close(S(*this, "Close"));
}

void CxVideo::Open(int id, int ch) {
    call(this, "Open", id, ch);
    cap::open(H(*this), "Open", ExDevice(h_->device.load()), id, ch);
}

void CxVideo::Save(const char* camerafile) const {
    call(this, "Save", camerafile);
    zolsim::Session& s = S(*this, "Save");
    cap::save(s, "Save", path_of(camerafile, "Save"));
}

void CxVideo::Save(const wchar_t* camerafile) const {
    call(this, "Save", camerafile);
    zolsim::Session& s = S(*this, "Save");
    cap::save(s, "Save", path_of(camerafile, "Save"));
}

void CxVideo::Validate(CxImage& image) {
    call(this, "Validate", image);
    cap::validate(S(*this, "Validate"), "Validate", &image);
}

void CxVideo::Validate(IxModule* module) {
    call(this, "Validate", module);
    cap::validate(S(*this, "Validate"), "Validate", module);
}

void CxVideo::Grab(CxImage& image) {
    call(this, "Grab", image);
    cap::grab(S(*this, "Grab"), "Grab", &image, nullptr);
}

void CxVideo::Grab(IxModule* module) {
    call(this, "Grab", module);
    zolsim::Session& s = S(*this, "Grab");
    ZOLSIM_REQUIRE(module, "Grab");
    cap::grab(s, "Grab", nullptr, module);
}

void CxVideo::Start(CxImage& image) {
    call(this, "Start", image);
    zolsim::Session& s = S(*this, "Start");
    cap::board(s, "Start");
    CxImage* ring[1] = {&image};
    cap::lock(s, "Start", ring, 1);
    cap::start(s, "Start", 0);
}

void CxVideo::Start(IxModule* module) {
    call(this, "Start", module);
    zolsim::Session& s = S(*this, "Start");
    ZOLSIM_REQUIRE(module, "Start");
    cap::board(s, "Start");
    cap::lock(s, "Start", module);
    cap::start(s, "Start", 0);
}

void CxVideo::Wait() {
    call(this, "Wait");
    auto s = S(*this, "Wait").shared_from_this();
    cap::wait_frame(*s, "Wait", zolsim::kForever, true);
}

void CxVideo::Stop() {
    call(this, "Stop");
    cap::stop(S(*this, "Stop"), zolsim::kDone);
}

void CxVideo::Abort() {
    call(this, "Abort");
    cap::stop(S(*this, "Abort"), zolsim::kAborted);
}

bool CxVideo::IsRunning() const {
    call(this, "IsRunning");
    return cap::is_running(S(*this, "IsRunning"));
}

int CxVideo::Status() {
    call(this, "Status");
    return cap::status(S(*this, "Status"));
}

void CxVideo::ForceTrigger() {
    call(this, "ForceTrigger");
    cap::force_trigger(S(*this, "ForceTrigger"), "ForceTrigger", -1);
}

#define ZOLSIM_VIDEO_TYPED(OP)                                                                     \
    void CxVideo::OP(int value) {                                                                  \
        call(this, #OP, value);                                                                    \
        cap::board(S(*this, #OP), #OP)->settings.number(#OP, value);                               \
    }                                                                                              \
    int CxVideo::OP() const {                                                                      \
        call(this, #OP);                                                                           \
        return static_cast<int>(cap::board(S(*this, #OP), #OP)->settings.number(#OP));             \
    }
ZOLSIM_VIDEO_TYPED(TriggerMode)
ZOLSIM_VIDEO_TYPED(ExposureTime)
ZOLSIM_VIDEO_TYPED(TriggerCycleTime)
#undef ZOLSIM_VIDEO_TYPED

void CxVideo::GetParam(const char* name, void* value, TxModel model) {
    call(this, "GetParam", name, zolsim::Out{value}, model);
    cap::get_param(*cap::board(S(*this, "GetParam"), "GetParam"), "GetParam", name, value, model);
}

void CxVideo::SetParam(const char* name, const void* value, TxModel model) {
    call(this, "SetParam", name, zolsim::Value{value, model}, model);
    cap::set_param(*cap::board(S(*this, "SetParam"), "SetParam"), "SetParam", name, value, model);
}

void CxVideo::SendCommand(const char* name, void* scratch, TxModel model) {
    call(this, "SendCommand", name, zolsim::Out{scratch}, model);
    auto board = cap::board(S(*this, "SendCommand"), "SendCommand");
    cap::send_command(*board, "SendCommand", name, model);
}

} // namespace Video
} // namespace zol
