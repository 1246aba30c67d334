// The handles of the acquisition engine: a board or video handle's session and the rack board
// it is bound to (open, close, copies, comparison), the lookup of the session behind any
// library object, and the status records made from a session's snapshot.
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "video/video.h"

namespace zolsim {
namespace capture {

void require_open(Session& s, const char* op) {
    if (!s.open)
        ZOLSIM_RAISE(NotOpened, op, "the board is not open");
}

Session& live(const CaptureHandle& h, const char* op) {
    if (h.disposed.load())
        ZOLSIM_RAISE(Disposed, op, "the handle was disposed");
    return *h.s;
}

std::shared_ptr<Board> board(Session& s, const char* op) {
    std::lock_guard<std::mutex> lock(s.m);
    require_open(s, op);
    return s.board;
}

void bind(Session& s, std::shared_ptr<Board> b) {
    std::lock_guard<std::mutex> lock(s.m);
    s.board = std::move(b);
    s.open = s.board != nullptr;
}

void open(CaptureHandle& h, const char* op, zol::ExDevice type, int id, int ch) {
    Session& s = live(h, op);
    auto b = rack_board(type, id, ch, op);
    close(s);
    bind(s, std::move(b));
}

void close(Session& s) {
    unlock(s);
    std::lock_guard<std::mutex> lock(s.m);
    s.board.reset();
    s.open = false;
}

void copy_binding(Session& to, Session& from) {
    std::shared_ptr<Board> b;
    bool open;
    int num, lock_id;
    {
        std::lock_guard<std::mutex> lock(from.m);
        b = from.board;
        open = from.open;
        num = from.num;
        lock_id = from.lock_id;
    }
    std::lock_guard<std::mutex> lock(to.m);
    to.board = std::move(b);
    to.open = open;
    to.num = num;
    to.lock_id = lock_id;
}

bool same_board(Session& a, Session& b) {
    if (&a == &b)
        return true;
    std::shared_ptr<Board> ba, bb;
    {
        std::lock_guard<std::mutex> lock(a.m);
        ba = a.board;
    }
    {
        std::lock_guard<std::mutex> lock(b.m);
        bb = b.board;
    }
    return ba && ba == bb;
}

bool is_opened(Session& s) {
    std::lock_guard<std::mutex> lock(s.m);
    return s.open;
}

std::shared_ptr<Session> session_of(zol::CxModule* object, const char* op) {
    ZOLSIM_REQUIRE(object, op);
    const CaptureHandle* h = nullptr;
    if (auto* b = dynamic_cast<zol::Video::CxCaptureBoard*>(object))
        h = PrivateAccess::handle(*b).get();
    else if (auto* v = dynamic_cast<zol::Video::CxVideo*>(object))
        h = PrivateAccess::handle(*v).get();
    else
        ZOLSIM_RAISE(InvalidArgument, op,
                     std::string("a ") + PrivateAccess::class_name(object) + " has no capture");
    if (!h)
        ZOLSIM_RAISE(NoObject, op, "the module has no state");
    return live(*h, op).shared_from_this();
}

int device_of(const zol::CxModule* object) {
    const CaptureHandle* h = nullptr;
    if (auto* b = dynamic_cast<const zol::Video::CxCaptureBoard*>(object))
        h = PrivateAccess::handle(*b).get();
    else if (auto* v = dynamic_cast<const zol::Video::CxVideo*>(object))
        h = PrivateAccess::handle(*v).get();
    return h ? h->device.load() : -1;
}

template <> zol::Video::TxKX210CaptureStatus record(const Snapshot& s) {
    return {s.total, s.amount, s.last, s.lines, s.peak, s.events};
}
template <> zol::Video::TxTR520CaptureStatus record(const Snapshot& s) {
    return {s.total, s.amount, s.last, s.lines, s.peak, s.events};
}
template <> zol::Video::TxKX310CaptureStatus record(const Snapshot& s) {
    return {s.total, s.amount, s.last, s.lines, s.state};
}

} // namespace capture
} // namespace zolsim
