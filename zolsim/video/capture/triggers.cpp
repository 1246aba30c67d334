// The trigger inputs of a capture board channel: what a run reads from the settings at Start,
// the edges that reach it from the wiring (taken, or missed while the board still exposes or
// rests in its mask time), the software trigger, the exposure output, and what the board records
// of each frame. The acquisition thread that turns the triggers into frames is in session.cpp.
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include <zol/sim_video.h>

#include "video/video.h"
#include "wiring/wiring.h"

namespace zolsim {
namespace capture {

namespace {

// The frames the board keeps a record of, at the least.
constexpr std::size_t kFrameRecords = 4096;

std::chrono::microseconds micros(std::int64_t v) {
    return std::chrono::microseconds(std::max<std::int64_t>(v, 0));
}

// Board settings that only some types have: 0 where the board has none.
std::int64_t setting_or_0(const Settings& st, const char* name) {
    return st.has(name) ? st.number(name) : 0;
}

void set_if_present(Settings& st, const char* name, std::int64_t value) {
    if (st.has(name))
        st.number(name, value);
}

// A line-scan board takes a line per edge at its line input, each a trigger of its own, never
// missed; once the frame has its lines it is delivered, numbered by its first line's trigger.
// Whether the board took the line (a board that scans frames takes none); `s.m` is held.
bool take_line(Session& s, Clock::time_point t) {
    if (!s.trig.line_scan)
        return false;
    ++s.detected;
    ++s.taken;
    if (s.line_count == 0)
        s.line_first = s.detected;
    s.lines = ++s.line_count; // the status shows the frame being built
    if (s.line_count >= s.trig.height) {
        s.pending.push_back({s.line_first, t, false});
        s.line_count = 0;
    }
    return true;
}

// A frame trigger at `input`: taken, or missed while the board is still exposing or rests in its
// mask time. `s.m` is held.
void take_frame_trigger(Session& s, Input input, Clock::time_point t) {
    // ExtTriggerSrc: the board takes frame triggers from its pin or from its encoder.
    if ((input == Input::Encoder) != (s.trig.source == 1))
        return;
    ++s.detected;
    set_if_present(s.board->settings, "DetectTrigger", s.detected);
    if (t < s.rest_until) {
        ++s.missed;
        set_if_present(s.board->settings, "MaskedTrigger",
                       setting_or_0(s.board->settings, "MaskedTrigger") + 1);
        return;
    }
    ++s.taken;
    s.rest_until = std::max(t + s.trig.delay + s.trig.exposure, t + s.trig.mask);
    s.pending.push_back({s.detected, t + s.trig.delay, true});
}

// One run takes the edge at `t`, or counts it missed.
void accept(Session& s, const Board& b, Input input, Clock::time_point t) {
    {
        std::lock_guard<std::mutex> lock(s.m);
        if (s.state != kRunning || !s.triggered || !s.trig.external || s.board.get() != &b)
            return;
        if (input == Input::Line) {
            if (!take_line(s, t))
                return;
        } else if (!s.trig.line_scan) { // a line-scan board's frames are made of line triggers
            take_frame_trigger(s, input, t);
        } else {
            return;
        }
    }
    s.cv.notify_all();
}

} // namespace

void arm_triggers(Session& s, Board& b) {
    const Settings& st = b.settings;
    const bool tr520 = b.type == zol::ExDevice::TR520;
    s.trig.external = tr520 || st.number("ExternalTrigger") != 0;
    s.trig.source = tr520 ? 0 : static_cast<int>(st.number("ExtTriggerSrc"));
    s.trig.delay = micros(st.number(tr520 ? "TriggerDelay" : "TriggerDelayTime"));
    s.trig.exposure = micros(st.number("ExposureTime"));
    s.trig.mask = micros(setting_or_0(st, "TriggerMaskTime"));
    s.trig.strobe = st.number(tr520 ? "ExpEnable" : "EXPEnable") != 0;
    s.trig.line_scan = setting_or_0(st, "LineSensorEnable") != 0;
    s.trig.height = std::max<int>(1, static_cast<int>(st.number("Height")));
    s.line_count = 0;
    s.pending.clear();
    s.detected = s.taken = s.missed = 0;
    s.rest_until = Clock::time_point::min();
    s.frames.assign(std::max(kFrameRecords, s.ring.size()), FrameRecord{});
    set_if_present(b.settings, "DetectTrigger", 0);
    set_if_present(b.settings, "MaskedTrigger", 0);
    set_if_present(b.settings, "ExtTriggerEnabled", s.triggered && s.trig.external ? 1 : 0);
    list_on_board(s, b); // a copy of a handle runs on the board it was not opened on
}

void take_software_trigger(Session& s) {
    ++s.detected;
    ++s.taken;
    s.pending.push_back({s.detected, Clock::now(), false});
}

void trigger_edge(Board& b, Input input, Clock::time_point t) {
    std::vector<std::shared_ptr<Session>> runs;
    {
        std::lock_guard<std::mutex> lock(b.m);
        for (const auto& w : b.runs)
            if (auto sp = w.lock())
                runs.push_back(std::move(sp));
    }
    for (const auto& sp : runs)
        accept(*sp, b, input, t);
}

void record_frame(Session& s, const FrameRecord& r) {
    if (s.frames.empty())
        return;
    FrameRecord& slot = s.frames[r.frame % s.frames.size()];
    slot = r;
    slot.known = true;
}

void set_strobe(Session& s, std::unique_lock<std::mutex>& lk, bool level, Clock::time_point t) {
    if (!s.trig.strobe || !s.board)
        return;
    std::shared_ptr<Board> b = s.board;
    if (b->strobe.exchange(level) == level || !wiring::any())
        return;
    lk.unlock();
    {
        wiring::Drive held;
        if (held)
            wiring::drive({true, static_cast<int>(b->type), b->id, wiring::PortKind::Strobe, b->ch},
                          level, t);
    }
    lk.lock();
}

} // namespace capture
} // namespace zolsim

namespace zol {
namespace sim {

TriggerCounts Triggers(CxModule* handle) {
    auto s = zolsim::capture::session_of(handle, __func__);
    std::lock_guard<std::mutex> lock(s->m);
    return {s->detected, s->taken, s->missed};
}

FrameInfo CapturedFrame(CxModule* handle, unsigned frame) {
    auto s = zolsim::capture::session_of(handle, __func__);
    std::lock_guard<std::mutex> lock(s->m);
    if (s->frames.empty())
        return {};
    const zolsim::FrameRecord& r = s->frames[frame % s->frames.size()];
    if (!r.known || r.frame != frame)
        return {};
    return {true, r.frame, r.trigger, static_cast<long long>(r.start_ns), r.lines};
}

} // namespace sim
} // namespace zol
