// The acquisition engine shared by the capture boards and the video device: the image ring
// (Lock, Unlock, Validate), the acquisition thread that writes the test pattern into it (Start,
// Stop, Abort, Grab) and the session's status. Binding to a rack board: capture/handles.cpp;
// waits: capture/waits.cpp; the frame and its pattern: video/test_pattern.cpp.
//
// Every handle owns one Session (held by shared_ptr so that a waiter, or the acquisition
// thread, can keep it alive while the handle goes away). The session mutex guards the ring; a
// frame's pixels are copied without it (so waiters and status queries are not held up by the
// copy) but under the session's `writing` mark, which Lock/Unlock/Close/Dispose/destruction wait
// out before they change the ring: once they return, the caller's images are never touched again.
#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "video/frame.h"

namespace zolsim {

Session::~Session() {
    // Only reached with a live thread when the acquisition thread itself dropped the last
    // reference after finishing on its own; it cannot join itself.
    if (thread.joinable())
        thread.detach();
}

namespace capture {

namespace {

// How far behind its schedule a paced board may fall and still make the frames up.
constexpr std::chrono::milliseconds kMaxLag(50);

// Waits until no frame is being written into the session's ring; `lk` holds `s.m`.
void settle(Session& s, std::unique_lock<std::mutex>& lk) {
    s.cv.wait(lk, [&] { return !s.writing; });
}

// Writes frame k into slot k % n of the session's ring; `lk` holds `s.m` on entry and on return.
// The pixels are copied without the mutex, so that waits and status queries go on meanwhile;
// `s.writing` marks the copy, and whoever changes the ring settles first, so no image is written
// once Lock, Unlock or Close has returned. Returns false when the slot image does not fit.
bool write_slot(Session& s, std::unique_lock<std::mutex>& lk, std::uint32_t k, const Frame& f) {
    settle(s, lk); // one writer at a time (two boards may deliver into one module's ring)
    if (!s.locked || s.ring.empty())
        return true;
    zol::CxImage* image = s.ring[k % s.ring.size()];
    if (!image)
        return true; // null entries are skipped: the frame is counted, not stored
    if (!fits(*image, f))
        return false;
    s.writing = true;
    lk.unlock();
    write_pattern(*image, k, f);
    lk.lock();
    s.writing = false;
    s.cv.notify_all();
    return true;
}

bool deliver(Session& target, std::uint32_t k, const Frame& f) {
    std::unique_lock<std::mutex> lk(target.m);
    return write_slot(target, lk, k, f);
}

void frame_done(Session& s, std::uint32_t k, const Frame& f, std::uint32_t trigger,
                Clock::time_point start) {
    s.total = k + 1;
    s.last = k;
    s.lines = f.height;
    s.amount = static_cast<std::uint32_t>(f.width) * static_cast<std::uint32_t>(f.height);
    s.events |= kEventFrameEnd;
    ++s.frame_gen;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch());
    record_frame(s, {k, trigger, static_cast<std::int64_t>(ns.count()), f.height, true});
}

void end_run(Session& s, int final_state) {
    s.state = final_state;
    s.stop_req = true;
    s.events |= kEventCaptureEnd | (final_state == kAborted ? kEventAborted : 0);
    ++s.end_gen;
}

// The frame as it arrives from the camera: whole, or cut short (sim::ShortFrames).
Frame arriving_frame(Board& b, const Frame& f) {
    std::lock_guard<std::mutex> lock(b.m);
    if (b.short_count == 0)
        return f;
    --b.short_count;
    Frame cut = f;
    cut.height = std::min(f.height, b.short_lines);
    return cut;
}

// The next frame's trigger, once its exposure is due: false when the run is stopped meanwhile.
// A wired trigger is due after the delay the settings give; a software trigger at once.
bool next_trigger(Session& s, std::unique_lock<std::mutex>& lk, PendingTrigger& out) {
    for (;;) {
        if (s.stop_req)
            return false;
        if (s.pending.empty()) {
            s.cv.wait(lk);
            continue;
        }
        const Clock::time_point due = s.pending.front().due;
        if (Clock::now() >= due)
            break;
        s.cv.wait_until(lk, due);
    }
    out = s.pending.front();
    s.pending.pop_front();
    return true;
}

void run(std::shared_ptr<Session> sp, Frame f, std::chrono::microseconds period, int frames) {
    // Named as a driver names its threads, so that tools (top -H, /proc/<pid>/task/*/comm, the
    // recorder's benchmark) can tell the simulated board's work from the process's own.
    pthread_setname_np(pthread_self(), "zolsim-capture");
    Session& s = *sp;
    std::unique_lock<std::mutex> lk(s.m);
    const std::shared_ptr<Board> board = s.board; // kept while the run lasts (Close stops it first)
    auto next = Clock::now() + period;
    for (;;) {
        PendingTrigger trigger{0, {}, false};
        if (s.triggered) {
            if (!next_trigger(s, lk, trigger))
                break;
        } else if (period.count() == 0) {
            // Free-running: the next frame at once, but let waiters and callers at the ring in.
            lk.unlock();
            std::this_thread::yield();
            lk.lock();
        } else if (s.cv.wait_until(lk, next, [&] { return s.stop_req; })) {
            break;
        }
        if (s.stop_req)
            break;
        if (board->silent.load()) {
            // The camera sends nothing: a trigger's frame never comes; a free-running board
            // waits for the camera and keeps its schedule from there.
            if (!s.triggered) {
                s.cv.wait(lk, [&] { return s.stop_req || !board->silent.load(); });
                next = Clock::now() + period;
            }
            continue;
        }
        const Frame arriving = arriving_frame(*board, f);
        // The exposure: from the trigger's due time for as long as ExposureTime says (a wired
        // trigger; software triggers and free-running frames expose as they are written). The
        // strobe output is high meanwhile.
        const Clock::time_point start = trigger.timed ? trigger.due : Clock::now();
        set_strobe(s, lk, true, start);
        if (trigger.timed && s.trig.exposure.count() > 0 &&
            s.cv.wait_until(lk, start + s.trig.exposure, [&] { return s.stop_req; })) {
            set_strobe(s, lk, false, Clock::now());
            break;
        }
        const std::uint32_t k = s.total;
        if (!s.source_locked) {
            write_slot(s, lk, k, arriving);
        } else if (auto target = s.source.lock()) {
            // A foreign ring is handled under its own mutex only, never both at once.
            lk.unlock();
            deliver(*target, k, arriving);
            lk.lock();
        }
        set_strobe(s, lk, false, trigger.timed ? start + s.trig.exposure : Clock::now());
        if (s.stop_req) // stopped or aborted during the copy: the frame does not count
            break;
        frame_done(s, k, arriving, trigger.number, start);
        s.cv.notify_all();
        if (frames > 0 && s.total >= static_cast<std::uint32_t>(frames))
            break;
        // Frame k is due at start + k periods, as a camera's own clock would send it: a frame
        // that came late (the pattern writer or the machine was slow) is made up by the next
        // ones, so the mean rate is the configured one. A lag longer than kMaxLag (a period
        // shorter than a frame takes here, a stalled machine) restarts the schedule instead of
        // piling frames up.
        next += period;
        const auto now = Clock::now();
        if (now - next > kMaxLag)
            next = now;
    }
    if (s.state == kRunning)
        end_run(s, kDone);
    s.cv.notify_all();
}

} // namespace

void validate(Session& s, const char* op, const zol::CxImage* image) {
    check_fits(op, *image, frame_size(*board(s, op)));
}

void validate(Session& s, const char* op, zol::CxImage* const* images, int count) {
    if (count < 0)
        ZOLSIM_RAISE(InvalidArgument, op, "negative image count");
    if (count > 0)
        ZOLSIM_REQUIRE(images, op);
    check_ring(op, images, static_cast<std::size_t>(count), frame_size(*board(s, op)));
}

void validate(Session& s, const char* op, zol::IxModule* module) {
    ZOLSIM_REQUIRE(module, op);
    auto target = session_of(dynamic_cast<zol::CxModule*>(module), op);
    Frame f = frame_size(*board(s, op));
    std::lock_guard<std::mutex> lock(target->m);
    if (!target->locked)
        ZOLSIM_RAISE(NotLocked, op, "the module has no images locked");
    check_ring(op, target->ring.data(), target->ring.size(), f);
}

void lock(Session& s, const char* op, zol::CxImage* const* images, int count) {
    if (count < 0)
        ZOLSIM_RAISE(InvalidArgument, op, "negative image count");
    if (count > 0)
        ZOLSIM_REQUIRE(images, op);
    std::unique_lock<std::mutex> lk(s.m);
    if (s.open && unplugged(s))
        require_open(s, op); // NoDevice: the board is gone
    if (s.state == kRunning)
        ZOLSIM_RAISE(Busy, op, "acquisition running");
    settle(s, lk); // another board may be delivering into this ring
    // An open board refuses images that cannot take its frame before it keeps any of them;
    // an unbound handle checks at Start, as it does after a Setup that changed the frame.
    if (s.open && s.board)
        check_ring(op, images, static_cast<std::size_t>(count), frame_size(*s.board));
    s.ring.assign(images, images + count);
    s.locked = count > 0;
    s.source.reset();
    s.source_locked = false;
}

void lock(Session& s, const char* op, zol::IxModule* module) {
    ZOLSIM_REQUIRE(module, op);
    auto target = session_of(dynamic_cast<zol::CxModule*>(module), op);
    if (target.get() == &s)
        ZOLSIM_RAISE(InvalidArgument, op, "a board cannot capture into itself");
    std::unique_lock<std::mutex> lk(s.m);
    if (s.open && unplugged(s))
        require_open(s, op); // NoDevice: the board is gone
    if (s.state == kRunning)
        ZOLSIM_RAISE(Busy, op, "acquisition running");
    settle(s, lk);
    s.ring.clear();
    s.source = target;
    s.source_locked = true;
    s.locked = true;
}

void unlock(Session& s) {
    stop(s, kAborted);
    std::unique_lock<std::mutex> lk(s.m);
    settle(s, lk);
    s.ring.clear();
    s.locked = false;
    s.source.reset();
    s.source_locked = false;
}

void start(Session& s, const char* op, int frames_override) {
    std::unique_lock<std::mutex> lk(s.m);
    for (;;) {
        require_open(s, op);
        if (s.state == kRunning)
            ZOLSIM_RAISE(Busy, op, "acquisition already running");
        if (!s.thread.joinable())
            break;
        // The previous run has ended; reap its thread without holding the mutex it may need.
        std::thread old = std::move(s.thread);
        lk.unlock();
        old.join();
        lk.lock();
    }
    if (!s.locked)
        ZOLSIM_RAISE(NotLocked, op, "no images locked");
    if (s.source_locked && !s.source.lock())
        ZOLSIM_RAISE(NotLocked, op, "the locked module no longer exists");
    Board& b = *s.board;
    Frame f = frame_size(b);
    check_ring(op, s.ring.data(), s.ring.size(), f);
    // The frame period in microseconds: the trigger cycle, else the exposure; with neither set
    // the board runs free, one frame after another.
    std::int64_t cycle = b.settings.number("TriggerCycleTime");
    if (cycle <= 0)
        cycle = b.settings.number("ExposureTime");
    auto period = std::chrono::microseconds(std::max<std::int64_t>(cycle, 0));
    s.triggered = b.settings.number("TriggerMode") != 0;
    s.total = s.last = s.amount = 0;
    s.lines = 0;
    s.events = 0;
    s.state = kRunning;
    s.stop_req = false;
    arm_triggers(s, b);
    ++s.run;
    const int frames = frames_override >= 0 ? frames_override : s.num;
    s.thread = std::thread(run, s.shared_from_this(), f, period, frames);
}

void stop(Session& s, int final_state) {
    std::thread t;
    {
        std::lock_guard<std::mutex> lock(s.m);
        if (s.state == kRunning)
            end_run(s, final_state);
        t = std::move(s.thread);
    }
    s.cv.notify_all();
    if (t.joinable()) {
        if (t.get_id() == std::this_thread::get_id())
            t.detach();
        else
            t.join();
    }
}

Snapshot snapshot(Session& s, std::int64_t frame) {
    std::lock_guard<std::mutex> lock(s.m);
    Snapshot r{s.total, s.amount, s.last, s.lines, s.total ? 1 : 0, s.events, s.state};
    if (frame >= 0 && static_cast<std::int64_t>(s.total) <= frame)
        r.amount = 0; // that frame has not been captured (yet)
    return r;
}

int status(Session& s) {
    std::lock_guard<std::mutex> lock(s.m);
    return s.state;
}

bool is_running(Session& s) {
    std::lock_guard<std::mutex> lock(s.m);
    return s.state == kRunning;
}

void force_trigger(Session& s, const char* op, int ch) {
    check_channel(op, ch);
    auto b = board(s, op);
    if (ch != -1 && ch != b->ch)
        return;
    {
        std::lock_guard<std::mutex> lock(s.m);
        if (s.state != kRunning || !s.triggered)
            return;
        take_software_trigger(s);
    }
    s.cv.notify_all();
}

void num(Session& s, const char* op, int frames) {
    if (frames < 0)
        ZOLSIM_RAISE(InvalidArgument, op, "negative frame count");
    std::lock_guard<std::mutex> lock(s.m);
    s.num = frames;
}

void grab(Session& s, const char* op, zol::CxImage* image, zol::IxModule* module) {
    Frame f = frame_size(*board(s, op));
    std::shared_ptr<Session> target;
    if (image)
        check_fits(op, *image, f);
    else {
        ZOLSIM_REQUIRE(module, op);
        target = session_of(dynamic_cast<zol::CxModule*>(module), op);
        std::lock_guard<std::mutex> lock(target->m);
        if (!target->locked || target->ring.empty())
            ZOLSIM_RAISE(NotLocked, op, "the module has no images locked");
    }
    std::uint32_t k;
    {
        std::lock_guard<std::mutex> lock(s.m);
        if (s.state == kRunning)
            ZOLSIM_RAISE(Busy, op, "acquisition running");
        k = s.total;
        if (image)
            write_pattern(*image, k, f);
    }
    const Clock::time_point start = Clock::now();
    if (target && !deliver(*target, k, f))
        ZOLSIM_RAISE(ImageTooSmall, op, "the module's image is smaller than the frame");
    {
        std::lock_guard<std::mutex> lock(s.m);
        frame_done(s, k, f, 0, start);
        s.state = kDone;
        s.events |= kEventCaptureEnd;
        ++s.end_gen;
    }
    s.cv.notify_all();
}

} // namespace capture
} // namespace zolsim
