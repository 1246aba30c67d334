// The handles of the acquisition engine: a board or video handle's session and the rack board
// it is bound to (open, close, copies, comparison), the lookup of the session behind any
// library object, and the status records made from a session's snapshot.
#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "video/video.h"

namespace zolsim {
namespace capture {

bool unplugged(const Session& s) {
    return s.board && (s.board->unplugged.load() || s.plugging != s.board->plugging.load());
}

void require_open(Session& s, const char* op) {
    if (!s.open)
        ZOLSIM_RAISE(NotOpened, op, "the board is not open");
    if (unplugged(s))
        ZOLSIM_RAISE(NoDevice, op, "the board was unplugged; open it again once it is back");
}

void plug(Board& b, bool in) {
    std::vector<std::shared_ptr<Session>> bound;
    {
        std::lock_guard<std::mutex> lock(b.m);
        if (!in) {
            b.unplugged = true;
            ++b.plugging;
            b.cv.notify_all(); // the serial link's readers wait on the board itself
        } else {
            b.unplugged = false;
        }
        for (const auto& w : b.runs)
            if (auto sp = w.lock())
                bound.push_back(std::move(sp));
    }
    if (in)
        return;
    // The runs on the board end; every thread waiting on one of its handles wakes and finds it
    // gone.
    for (const auto& sp : bound) {
        stop(*sp, kAborted);
        std::lock_guard<std::mutex> lock(sp->m);
        sp->cv.notify_all();
    }
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
    if (!s.board)
        return;
    s.plugging = s.board->plugging.load();
    list_on_board(s, *s.board);
}

void list_on_board(Session& s, Board& b) {
    std::lock_guard<std::mutex> lock(b.m);
    auto& runs = b.runs;
    runs.erase(std::remove_if(runs.begin(), runs.end(),
                              [&](const std::weak_ptr<Session>& w) {
                                  auto sp = w.lock();
                                  return !sp || sp.get() == &s;
                              }),
               runs.end());
    runs.push_back(s.shared_from_this());
}

void open(CaptureHandle& h, const char* op, zol::ExDevice type, int id, int ch) {
    Session& s = live(h, op);
    auto b = rack_board(type, id, ch, op);
    if (b->unplugged.load())
        ZOLSIM_RAISE(NoDevice, op, "the board was unplugged");
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
    std::uint64_t plugging;
    {
        std::lock_guard<std::mutex> lock(from.m);
        b = from.board;
        open = from.open;
        plugging = from.plugging;
        num = from.num;
        lock_id = from.lock_id;
    }
    std::lock_guard<std::mutex> lock(to.m);
    to.board = std::move(b);
    to.open = open;
    to.plugging = plugging;
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
