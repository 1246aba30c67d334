// The waits of the acquisition engine: for the end of an acquisition, for a frame, for a status,
// for an event, and the cancelling of event waits. A waiter is counted on its board while it
// waits (sim::CaptureWaiters).
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "video/video.h"

namespace zolsim {
namespace capture {

namespace {

// Waits on `s.cv` for `pred` at most `ms` milliseconds (negative: for ever); a board unplugged
// meanwhile ends the wait with NoDevice for `op`.
// The waiter is counted on the board while the session mutex is still held, so whoever sees the
// count and then aborts, cancels or triggers under that mutex reaches this wait.
template <class Pred>
bool wait_for(Session& s, const char* op, std::unique_lock<std::mutex>& lk, int ms, Pred pred) {
    struct Counted {
        std::shared_ptr<Board> board;
        explicit Counted(std::shared_ptr<Board> b) : board(std::move(b)) {
            if (board)
                ++board->waiters;
        }
        ~Counted() {
            if (board)
                --board->waiters;
        }
    } counted(s.board);
    auto until = [&] { return pred() || unplugged(s); };
    bool woke = true;
    if (ms < 0)
        s.cv.wait(lk, until);
    else
        woke = s.cv.wait_for(lk, std::chrono::milliseconds(ms), until);
    if (unplugged(s))
        ZOLSIM_RAISE(NoDevice, op, "the board was unplugged during the wait");
    return woke;
}

int timeout_setting(Session& s) {
    return s.board ? static_cast<int>(s.board->settings.number("Timeout")) : kForever;
}

} // namespace

void wait(Session& s, const char* op) {
    std::unique_lock<std::mutex> lk(s.m);
    require_open(s, op);
    if (!wait_for(s, op, lk, timeout_setting(s), [&] { return s.state != kRunning; }))
        ZOLSIM_RAISE(Timeout, op, "acquisition did not end within the Timeout setting");
}

bool wait_ms(Session& s, const char* op, int timeout_ms) {
    std::unique_lock<std::mutex> lk(s.m);
    require_open(s, op);
    return wait_for(s, op, lk, timeout_ms, [&] { return s.state != kRunning; });
}

bool wait_frame(Session& s, const char* op, int timeout_ms, bool throw_timeout) {
    std::unique_lock<std::mutex> lk(s.m);
    require_open(s, op);
    const std::uint64_t gen = s.frame_gen;
    if (timeout_ms == kForever)
        timeout_ms = timeout_setting(s);
    auto frame_or_end = [&] { return s.frame_gen != gen || s.state != kRunning; };
    bool ok = wait_for(s, op, lk, timeout_ms, frame_or_end);
    if (!ok && throw_timeout)
        ZOLSIM_RAISE(Timeout, op, "no frame within the Timeout setting");
    return ok;
}

Snapshot wait_status(Session& s, const char* op, std::int64_t frame) {
    {
        std::unique_lock<std::mutex> lk(s.m);
        require_open(s, op);
        auto done = [&] {
            return s.state != kRunning ||
                   (frame >= 0 && static_cast<std::int64_t>(s.total) > frame);
        };
        if (!wait_for(s, op, lk, timeout_setting(s), done))
            ZOLSIM_RAISE(Timeout, op, "acquisition did not end within the Timeout setting");
    }
    return snapshot(s, frame);
}

bool wait_event(Session& s, const char* op, int event, int timeout_ms, int* value) {
    if (event != kWaitFrameEnd && event != kWaitCaptureEnd)
        ZOLSIM_RAISE(InvalidArgument, op, "unknown event " + std::to_string(event));
    std::unique_lock<std::mutex> lk(s.m);
    require_open(s, op);
    std::uint64_t& gen = event == kWaitFrameEnd ? s.frame_gen : s.end_gen;
    const std::uint64_t g0 = gen, c0 = s.cancel_gen[event];
    bool woke = wait_for(s, op, lk, timeout_ms, [&] { return gen != g0 || s.cancel_gen[event] != c0; });
    if (!woke || gen == g0)
        return false; // timed out or cancelled
    if (value)
        *value = static_cast<int>(event == kWaitFrameEnd ? s.last : s.total);
    return true;
}

void cancel_wait_event(Session& s, const char* op, int event) {
    if (event < 0 || event > kWaitCaptureEnd)
        ZOLSIM_RAISE(InvalidArgument, op, "unknown event " + std::to_string(event));
    {
        std::lock_guard<std::mutex> lock(s.m);
        // 0 cancels the waits on every event.
        for (int e = 1; e <= kWaitCaptureEnd; ++e)
            if (event == 0 || event == e)
                ++s.cancel_gen[e];
    }
    s.cv.notify_all();
}

} // namespace capture
} // namespace zolsim
