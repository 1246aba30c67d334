// What the companions of the capture boards share: how they attach to a board handle (or a
// video device standing for a board of the same type), when two are equal, when one is
// valid, and how one reaches the rack board that handle is bound to. Also the control
// surface's lookup of the rack board a test names, and its count of waiting threads.
#include <zol/sim_video.h>

#include "common/rack.h"
#include "video/companions.h"

namespace zolsim {

using zol::ExDevice;

void VideoCompanions::attach(CompanionHandle& h, zol::IxModule* module, ExDevice device,
                             const char* op) {
    if (!module) {
        h.controller = Ref{};
        return;
    }
    zol::CxModule* object = dynamic_cast<zol::CxModule*>(module);
    if (!object || capture::device_of(object) != static_cast<int>(device))
        ZOLSIM_RAISE(InvalidArgument, op,
                     std::string("the module is not a ") + board_name(device) + " board");
    h.controller = make_ref(object);
}

std::shared_ptr<Board> board_of(const CompanionHandle& h, const char* op) {
    if (!h.controller)
        ZOLSIM_RAISE(NoController, op, "not attached to a board");
    if (!alive(h.controller))
        ZOLSIM_RAISE(NoObject, op, "the board handle no longer exists");
    return capture::board(*capture::session_of(h.controller.object, op), op);
}

bool VideoCompanions::valid(const CompanionHandle& h) {
    if (!alive(h.controller))
        return false;
    zol::CxModule* object = h.controller.object;
    const CaptureHandle* ch = nullptr;
    if (auto* b = dynamic_cast<zol::Video::CxCaptureBoard*>(object))
        ch = PrivateAccess::handle(*b).get();
    else if (auto* v = dynamic_cast<zol::Video::CxVideo*>(object))
        ch = PrivateAccess::handle(*v).get();
    return ch && !ch->disposed.load();
}

namespace {

std::shared_ptr<Board> board_or_null(const CompanionHandle& h) {
    if (!VideoCompanions::valid(h))
        return nullptr;
    std::shared_ptr<Session> s = capture::session_of(h.controller.object, "operator==");
    std::lock_guard<std::mutex> lock(s->m);
    return s->board;
}

} // namespace

bool VideoCompanions::same(const CompanionHandle& a, const CompanionHandle& b) {
    if (&a == &b)
        return true;
    auto ba = board_or_null(a), bb = board_or_null(b);
    if (ba || bb)
        return ba == bb;
    return a.controller && a.controller.object == b.controller.object &&
           a.controller.serial == b.controller.serial;
}

std::shared_ptr<Board> named_board(const std::string& board, int id, int ch, const char* op) {
    const CaptureBoardName* named = capture_board_named(board);
    if (!named)
        ZOLSIM_RAISE(NoDevice, op, "no capture board type '" + board + "'");
    return rack_board(named->device, id, ch, op);
}

} // namespace zolsim

namespace zol {
namespace sim {

int CaptureWaiters(const std::string& board, int id, int ch) {
    return zolsim::named_board(board, id, ch, __func__)->waiters.load();
}

} // namespace sim
} // namespace zol
