// CxVideo: the board-independent video device. It stands for a rack board of its device type
// (none, 0, until one is chosen) and drives it with the same acquisition engine as the board
// classes; what it does as they do forwards to the same code (video/capture/members.h). Differences
// from the boards:
//   - Start(image) / Start(module) capture continuously until Stop or Abort;
//   - Wait() waits for the next frame (Timeout setting; throws Timeout);
//   - Grab captures one frame at once, without a thread;
//   - the camera file may name the board type ("DeviceType=<1|2|4>", default KX210);
//   - Controller(module) takes the module's device type and, when the module is an open board
//     handle or video device, stands for the same board.
#include <mutex>
#include <string>
#include <utility>

#include "video/capture/members.h"

namespace zolsim {
namespace member {

// FromFile reads the camera file first: its DeviceType line (default KX210) says which board
// to open.
template <> struct ClassTraits<zol::Video::CxVideo> {
    static constexpr const char* name = "CxVideo";
    static zol::Video::CxVideo make(const char* op, const std::string& path, int id, int ch) {
        int device;
        NameValues content = capture::camera_file(op, path, -1, &device);
        if (device == -1)
            device = static_cast<int>(zol::ExDevice::KX210);
        zol::Video::CxVideo v;
        VideoHandle& h = handle(v);
        h.device = device;
        capture::open(h, op, zol::ExDevice(device), id, ch);
        auto board = capture::board(*h.s, op);
        board->settings.apply(op, content);
        sync_derived(*board);
        return v;
    }
};

// TriggerMode, ExposureTime, TriggerCycleTime: the board setting of the member's name.
template <class T> void set_number(T& obj, const char* op, int value) {
    journal_and_fault(&obj, op, value);
    board(obj, op)->settings.number(op, value);
}
template <class T> int number(const T& obj, const char* op) {
    journal_and_fault(&obj, op);
    return static_cast<int>(board(obj, op)->settings.number(op));
}

} // namespace member
} // namespace zolsim

namespace zol {
namespace Video {

CxVideo::CxVideo() : CxModule(member::ClassTraits<CxVideo>::name), h_(new zolsim::VideoHandle) {}

// A copy stands for the same board with the same controller; the acquisition stays with the
// original.
CxVideo::CxVideo(const CxVideo& other)
    : CxModule(member::ClassTraits<CxVideo>::name), h_(new zolsim::VideoHandle) {
    operator=(other);
}

CxVideo::CxVideo(CxVideo&& other)
    : CxModule(member::ClassTraits<CxVideo>::name, std::move(other)), h_(std::move(other.h_)) {
    other.h_.reset(new zolsim::VideoHandle);
}

CxVideo& CxVideo::operator=(const CxVideo& other) {
    if (this == &other)
        return *this;
    member::copy_handle(*h_, *other.h_);
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
    return member::equal(*this, __func__, other, true);
}
bool CxVideo::operator!=(const CxVideo& other) const {
    return member::equal(*this, __func__, other, false);
}

CxVideo CxVideo::FromFile(const char* camerafile, int option) {
    return member::from_file<CxVideo>(__func__, camerafile, option);
}
CxVideo CxVideo::FromFile(const wchar_t* camerafile, int option) {
    return member::from_file<CxVideo>(__func__, camerafile, option);
}
CxVideo CxVideo::FromFile(const char* camerafile, int id, int ch, int option) {
    return member::from_file_at<CxVideo>(__func__, camerafile, id, ch, option);
}
CxVideo CxVideo::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    return member::from_file_at<CxVideo>(__func__, camerafile, id, ch, option);
}

IxModule* CxVideo::Controller() const {
    journal_and_fault(this, __func__);
    std::lock_guard<std::mutex> lock(h_->cm);
    return zolsim::alive(h_->controller) ? h_->module : nullptr;
}

void CxVideo::Controller(IxModule* module) {
    const char* op = __func__;
    journal_and_fault(this, op, module);
    zolsim::Session& s = member::live(*this, op);
    if (!module) {
        std::lock_guard<std::mutex> lock(h_->cm);
        h_->controller = zolsim::Ref{};
        h_->module = nullptr;
        return;
    }
    zol::CxModule* object = dynamic_cast<zol::CxModule*>(module);
    if (!object)
        ZOLSIM_RAISE(InvalidArgument, op, "the module is not a library object");
    int device = cap::device_of(object);
    if (device == -1) {
        device = static_cast<int>(module->ModuleDevice());
    } else {
        // Stand for the board the module is bound to, if any.
        std::shared_ptr<zolsim::Board> board;
        if (auto target = cap::session_of(object, op); target.get() != &s) {
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
    journal_and_fault(this, __func__);
    member::live(*this, __func__);
    return ExDevice(h_->device.load());
}

// Another device type means another board: the one it stood for is closed.
void CxVideo::DeviceType(ExDevice device) {
    journal_and_fault(this, __func__, device);
    zolsim::Session& s = member::live(*this, __func__);
    if (h_->device.exchange(static_cast<int>(device)) != static_cast<int>(device))
        cap::close(s);
}

ExDevice CxVideo::ModuleDevice() const { return member::module_device(*this, __func__); }

void CxVideo::Dispose() { member::dispose(*this, __func__); }
bool CxVideo::IsValid() const { return member::is_valid(*this, __func__); }
void CxVideo::Close() { member::close(*this, __func__); }
void CxVideo::Open(int id, int ch) { member::open(*this, __func__, id, ch); }
void CxVideo::Save(const char* camerafile) const { member::save(*this, __func__, camerafile); }
void CxVideo::Save(const wchar_t* camerafile) const { member::save(*this, __func__, camerafile); }
void CxVideo::Validate(CxImage& image) { member::validate(*this, __func__, image); }
void CxVideo::Validate(IxModule* module) { member::validate(*this, __func__, module); }

void CxVideo::Grab(CxImage& image) {
    journal_and_fault(this, __func__, image);
    cap::grab(member::live(*this, __func__), __func__, &image, nullptr);
}

void CxVideo::Grab(IxModule* module) {
    journal_and_fault(this, __func__, module);
    zolsim::Session& s = member::live(*this, __func__);
    ZOLSIM_REQUIRE(module, __func__);
    cap::grab(s, __func__, nullptr, module);
}

void CxVideo::Start(CxImage& image) {
    journal_and_fault(this, __func__, image);
    zolsim::Session& s = member::live(*this, __func__);
    cap::board(s, __func__);
    CxImage* ring[1] = {&image};
    cap::lock(s, __func__, ring, 1);
    cap::start(s, __func__, 0);
}

void CxVideo::Start(IxModule* module) {
    journal_and_fault(this, __func__, module);
    zolsim::Session& s = member::live(*this, __func__);
    ZOLSIM_REQUIRE(module, __func__);
    cap::board(s, __func__);
    cap::lock(s, __func__, module);
    cap::start(s, __func__, 0);
}

// Waits for the next frame, at most the Timeout setting.
void CxVideo::Wait() {
    journal_and_fault(this, __func__);
    auto s = member::live(*this, __func__).shared_from_this();
    cap::wait_frame(*s, __func__, zolsim::kForever, true);
}

void CxVideo::Stop() { member::stop(*this, __func__, zolsim::kDone); }
void CxVideo::Abort() { member::stop(*this, __func__, zolsim::kAborted); }
bool CxVideo::IsRunning() const { return member::is_running(*this, __func__); }
int CxVideo::Status() { return member::status(*this, __func__); }
void CxVideo::ForceTrigger() { member::force_trigger(*this, __func__, -1); }

void CxVideo::TriggerMode(int value) { member::set_number(*this, __func__, value); }
int CxVideo::TriggerMode() const { return member::number(*this, __func__); }
void CxVideo::ExposureTime(int value) { member::set_number(*this, __func__, value); }
int CxVideo::ExposureTime() const { return member::number(*this, __func__); }
void CxVideo::TriggerCycleTime(int value) { member::set_number(*this, __func__, value); }
int CxVideo::TriggerCycleTime() const { return member::number(*this, __func__); }

void CxVideo::GetParam(const char* name, void* value, TxModel model) {
    journal_and_fault(this, __func__, name, zolsim::Out{value}, model);
    cap::get_param(*member::board(*this, __func__), __func__, name, value, model);
}

void CxVideo::SetParam(const char* name, const void* value, TxModel model) {
    journal_and_fault(this, __func__, name, zolsim::Value{value, model}, model);
    cap::set_param(*member::board(*this, __func__), __func__, name, value, model);
}

void CxVideo::SendCommand(const char* name, void* scratch, TxModel model) {
    journal_and_fault(this, __func__, name, zolsim::Out{scratch}, model);
    cap::send_command(*member::board(*this, __func__), __func__, name, model);
}

} // namespace Video
} // namespace zol
