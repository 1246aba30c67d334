// The encoder units of the capture boards (CxKX210Encoder, CxKX310Encoder): their settings in
// the board's store, the counters the encoder input drives, and the control surface's pulses
// at that input.
#include <algorithm>
#include <climits>

#include <zol/sim_video.h>

#include "video/companions.h"
#include "wiring/wiring.h"

namespace zolsim {
namespace {

using zol::ExDevice;

constexpr std::int64_t kSpan = std::int64_t(1) << 32;

// Folds a counter back into the signed 32-bit range, raising the flags when it left it.
std::int64_t fold(std::int64_t v, bool& overflow, bool& underflow) {
    if (v > INT32_MAX) {
        overflow = true;
        v -= kSpan * ((v - INT32_MIN) / kSpan);
    } else if (v < INT32_MIN) {
        underflow = true;
        v += kSpan * ((INT32_MAX - v) / kSpan);
    }
    return v;
}

// Counts `count` pulses at the encoder input; returns the movement the unit counted (0 when it
// did not count: no pulses, a stopped KX310 unit).
std::int64_t count_pulses(Board& b, const char* op, int count) {
    if (b.type == ExDevice::TR520)
        ZOLSIM_RAISE(NotSupported, op, "TR520 has no encoder input");
    const bool reversed =
        (b.settings.number("ENCDir") != 0) != (b.settings.number("ENCSwapAB") != 0);
    const std::int64_t d = reversed ? -std::int64_t(count) : std::int64_t(count);
    const std::int64_t comp1 = b.settings.number("ENCComp1");
    std::lock_guard<std::mutex> lock(b.m);
    EncoderState& e = b.enc;
    if (d == 0 || (b.type == ExDevice::KX310 && !e.running))
        return 0;
    const std::int64_t t0 = e.total, t1 = t0 + d;
    // The match counter counts every arrival of the counter at Comp1.
    if (d > 0 ? (comp1 > t0 && comp1 <= t1) : (comp1 < t0 && comp1 >= t1))
        ++e.match;
    e.rel += static_cast<std::uint32_t>(d);
    e.last_step = d > 0 ? 1 : -1;
    if (b.type == ExDevice::KX310) {
        e.total = fold(t1, e.overflow, e.underflow);
        return d;
    }
    bool ignore_over = false, ignore_under = false;
    e.total = fold(t1, ignore_over, ignore_under);
    if (e.abs_on)
        e.abs = fold(e.abs + d, e.overflow, e.underflow);
    return d;
}

// The encoder's trigger output: with EncoderMode non-zero, a pulse every ENCSampling pulses
// (at least 1) of forward movement; backward movement is made up first, as a line-scan camera
// over a conveyor that stepped back takes no line twice. The output reaches the channel's trigger
// or line input, whichever it is wired to, all pulses of one call at one instant.
void encoder_output(Board& b, std::int64_t moved) {
    if (moved == 0 || b.settings.number("EncoderMode") == 0)
        return;
    const std::int64_t every = std::max<std::int64_t>(1, b.settings.number("ENCSampling"));
    std::int64_t pulses_out = 0;
    {
        std::lock_guard<std::mutex> lock(b.m);
        b.encoder_phase += moved;
        if (b.encoder_phase >= every) {
            pulses_out = b.encoder_phase / every;
            b.encoder_phase %= every;
        }
    }
    if (pulses_out == 0 || !wiring::any())
        return;
    wiring::Drive held;
    if (!held)
        return;
    const wiring::Port out{true, static_cast<int>(b.type), b.id, wiring::PortKind::Encoder, b.ch};
    const auto t = wiring::Clock::now();
    for (std::int64_t i = 0; i < pulses_out; ++i) {
        wiring::drive(out, true, t);
        wiring::drive(out, false, t);
    }
}

void pulses(Board& b, const char* op, int count) { encoder_output(b, count_pulses(b, op, count)); }

const std::vector<std::string>& kx210_encoder_names() {
    static const std::vector<std::string> n = {"EncoderMode", "ENCSampling", "ENCStart",
                                               "ENCComp1",    "ENCInit",     "ENCDir",
                                               "ENCSwapAB",   "ENCInputCH",  "ENCComp2"};
    return n;
}
const std::vector<std::string>& kx310_encoder_names() {
    static const std::vector<std::string> n = {
        "EncoderMode", "ENCSampling", "ENCStart",        "ENCComp1",       "ENCResetSource",
        "ENCDir",      "ENCSwapAB",   "ENCSignalSource", "EncoderActMode", "ENCComp2"};
    return n;
}

// The encoder accepts only its own names of the board's store.
void encoder_name(const std::vector<std::string>& names, const char* op, const char* name) {
    ZOLSIM_REQUIRE(name, op);
    if (std::find(names.begin(), names.end(), name) == names.end())
        ZOLSIM_RAISE(UnknownParam, op, std::string("the encoder has no setting '") + name + "'");
}

template <class C>
void get_param(const C& self, const std::vector<std::string>& names, const char* op,
               const char* name, void* value, zol::TxModel model) {
    auto b = board_for(self, op, name, Out{value}, model);
    encoder_name(names, op, name);
    capture::get_param(*b, op, name, value, model);
}
template <class C>
void set_param(const C& self, const std::vector<std::string>& names, const char* op,
               const char* name, const void* value, zol::TxModel model) {
    auto b = board_for(self, op, name, Value{value, model}, model);
    encoder_name(names, op, name);
    capture::set_param(*b, op, name, value, model);
}

// A counter or flag of the encoder unit, read or set with the board's mutex held.
template <class T, class F> T read_field(Board& b, F EncoderState::*field) {
    std::lock_guard<std::mutex> lock(b.m);
    return static_cast<T>(b.enc.*field);
}
template <class F> void set_field(Board& b, F EncoderState::*field, F value) {
    std::lock_guard<std::mutex> lock(b.m);
    b.enc.*field = value;
}

// Clears every counter and flag but `kept` (whether the unit counts).
void reset(Board& b, bool EncoderState::*kept) {
    std::lock_guard<std::mutex> lock(b.m);
    const bool k = b.enc.*kept;
    b.enc = EncoderState{};
    b.enc.*kept = k;
}

// The A/B inputs follow the quadrature phase of the counter; Z marks position 0.
zol::Video::TxKX310EncoderStatus status_of(Board& b) {
    std::lock_guard<std::mutex> lock(b.m);
    const EncoderState& e = b.enc;
    const int phase = static_cast<int>(((e.total % 4) + 4) % 4);
    return zol::Video::TxKX310EncoderStatus(e.overflow, e.underflow, phase == 1 || phase == 2,
                                            phase >= 2, e.total == 0, e.running ? 1 : 0,
                                            static_cast<int>(e.total), e.rel, e.match);
}

} // namespace
} // namespace zolsim

namespace zol {

namespace sim {

void EncoderPulses(const std::string& board, int id, int ch, int count) {
    zolsim::pulses(*zolsim::named_board(board, id, ch, __func__), __func__, count);
}

} // namespace sim

namespace Video {

using zolsim::board_for;
using zolsim::EncoderState;
using zolsim::get_setting;
using zolsim::set_setting;
using zolsim::VideoCompanions;

// ---- CxKX210Encoder -----------------------------------------------------------------------------

CxKX210Encoder::CxKX210Encoder() : CxModule("CxKX210Encoder"), h_(zolsim::detached_handle()) {}
CxKX210Encoder::CxKX210Encoder(const CxKX210Encoder& other)
    : CxModule("CxKX210Encoder"), h_(zolsim::copied_handle(other)) {}
CxKX210Encoder::CxKX210Encoder(CxKX210Encoder&& other)
    : CxModule("CxKX210Encoder", std::move(other)), h_(zolsim::taken_handle(other)) {}
CxKX210Encoder& CxKX210Encoder::operator=(const CxKX210Encoder& other) {
    return zolsim::companion_assign(*this, other);
}
CxKX210Encoder::~CxKX210Encoder() = default;
bool CxKX210Encoder::operator==(const CxKX210Encoder& other) const {
    return zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
bool CxKX210Encoder::operator!=(const CxKX210Encoder& other) const {
    return !zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
CxKX210Encoder CxKX210Encoder::From(IxModule* module) {
    return zolsim::companion_from<VideoCompanions, CxKX210Encoder>("CxKX210Encoder", module,
                                                                   ExDevice::KX210, __func__);
}
CxKX210* CxKX210Encoder::Controller() const {
    return zolsim::companion_controller<CxKX210>(*this, __func__);
}
void CxKX210Encoder::Controller(IxModule* module) {
    zolsim::companion_attach<VideoCompanions>(*this, module, ExDevice::KX210, __func__);
}
bool CxKX210Encoder::IsValid() const {
    return zolsim::companion_valid<VideoCompanions>(*this, __func__);
}

void CxKX210Encoder::EncoderMode(int value) { set_setting(*this, __func__, value); }
int CxKX210Encoder::EncoderMode() const { return get_setting<int>(*this, __func__); }
void CxKX210Encoder::Sampling(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX210Encoder::Sampling() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX210Encoder::Start(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX210Encoder::Start() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX210Encoder::Dir(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX210Encoder::Dir() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX210Encoder::Comp1(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX210Encoder::Comp1() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX210Encoder::Comp2(unsigned int value) { set_setting(*this, __func__, value, "ENC"); }
unsigned int CxKX210Encoder::Comp2() const {
    return get_setting<unsigned int>(*this, __func__, "ENC");
}
void CxKX210Encoder::SwapAB(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX210Encoder::SwapAB() const { return get_setting<int>(*this, __func__, "ENC"); }
unsigned int CxKX210Encoder::MatchCounter() const {
    return zolsim::read_field<unsigned int>(*board_for(*this, __func__), &EncoderState::match);
}
unsigned int CxKX210Encoder::RelCounter() const {
    return zolsim::read_field<unsigned int>(*board_for(*this, __func__), &EncoderState::rel);
}
void CxKX210Encoder::GetParam(const char* name, void* value, TxModel model) {
    zolsim::get_param(*this, zolsim::kx210_encoder_names(), __func__, name, value, model);
}
void CxKX210Encoder::SetParam(const char* name, const void* value, TxModel model) {
    zolsim::set_param(*this, zolsim::kx210_encoder_names(), __func__, name, value, model);
}

void CxKX210Encoder::Init(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX210Encoder::Init() const { return get_setting<int>(*this, __func__, "ENC"); }
int CxKX210Encoder::TotalCounter() const {
    return zolsim::read_field<int>(*board_for(*this, __func__), &EncoderState::total);
}
int CxKX210Encoder::AbsCounter() const {
    return zolsim::read_field<int>(*board_for(*this, __func__), &EncoderState::abs);
}
bool CxKX210Encoder::IsAbsOverflow() const {
    return zolsim::read_field<bool>(*board_for(*this, __func__), &EncoderState::overflow);
}
bool CxKX210Encoder::IsAbsUnderflow() const {
    return zolsim::read_field<bool>(*board_for(*this, __func__), &EncoderState::underflow);
}
void CxKX210Encoder::ClearRelCounter() {
    zolsim::set_field(*board_for(*this, __func__), &EncoderState::rel, std::uint32_t(0));
}
void CxKX210Encoder::ClearAbsCounter() {
    zolsim::set_field(*board_for(*this, __func__), &EncoderState::abs, std::int64_t(0));
}
void CxKX210Encoder::ClearOverflow() {
    zolsim::set_field(*board_for(*this, __func__), &EncoderState::overflow, false);
}
void CxKX210Encoder::ClearUnderflow() {
    zolsim::set_field(*board_for(*this, __func__), &EncoderState::underflow, false);
}
// Clears the counters and flags; the absolute counter goes on counting if it did.
void CxKX210Encoder::ClearAllCounter() {
    zolsim::reset(*board_for(*this, __func__), &EncoderState::abs_on);
}
void CxKX210Encoder::StartAbs(bool start) {
    zolsim::set_field(*board_for(*this, __func__, start), &EncoderState::abs_on, start);
}

// ---- CxKX310Encoder -----------------------------------------------------------------------------

CxKX310Encoder::CxKX310Encoder() : CxModule("CxKX310Encoder"), h_(zolsim::detached_handle()) {}
CxKX310Encoder::CxKX310Encoder(const CxKX310Encoder& other)
    : CxModule("CxKX310Encoder"), h_(zolsim::copied_handle(other)) {}
CxKX310Encoder::CxKX310Encoder(CxKX310Encoder&& other)
    : CxModule("CxKX310Encoder", std::move(other)), h_(zolsim::taken_handle(other)) {}
CxKX310Encoder& CxKX310Encoder::operator=(const CxKX310Encoder& other) {
    return zolsim::companion_assign(*this, other);
}
CxKX310Encoder::~CxKX310Encoder() = default;
bool CxKX310Encoder::operator==(const CxKX310Encoder& other) const {
    return zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
bool CxKX310Encoder::operator!=(const CxKX310Encoder& other) const {
    return !zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
CxKX310Encoder CxKX310Encoder::From(IxModule* module) {
    return zolsim::companion_from<VideoCompanions, CxKX310Encoder>("CxKX310Encoder", module,
                                                                   ExDevice::KX310, __func__);
}
CxKX310* CxKX310Encoder::Controller() const {
    return zolsim::companion_controller<CxKX310>(*this, __func__);
}
void CxKX310Encoder::Controller(IxModule* module) {
    zolsim::companion_attach<VideoCompanions>(*this, module, ExDevice::KX310, __func__);
}
bool CxKX310Encoder::IsValid() const {
    return zolsim::companion_valid<VideoCompanions>(*this, __func__);
}

void CxKX310Encoder::EncoderMode(int value) { set_setting(*this, __func__, value); }
int CxKX310Encoder::EncoderMode() const { return get_setting<int>(*this, __func__); }
void CxKX310Encoder::Sampling(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX310Encoder::Sampling() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX310Encoder::Start(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX310Encoder::Start() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX310Encoder::Dir(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX310Encoder::Dir() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX310Encoder::Comp1(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX310Encoder::Comp1() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX310Encoder::Comp2(unsigned int value) { set_setting(*this, __func__, value, "ENC"); }
unsigned int CxKX310Encoder::Comp2() const {
    return get_setting<unsigned int>(*this, __func__, "ENC");
}
void CxKX310Encoder::SwapAB(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX310Encoder::SwapAB() const { return get_setting<int>(*this, __func__, "ENC"); }
unsigned int CxKX310Encoder::MatchCounter() const {
    return zolsim::read_field<unsigned int>(*board_for(*this, __func__), &EncoderState::match);
}
unsigned int CxKX310Encoder::RelCounter() const {
    return zolsim::read_field<unsigned int>(*board_for(*this, __func__), &EncoderState::rel);
}
void CxKX310Encoder::GetParam(const char* name, void* value, TxModel model) {
    zolsim::get_param(*this, zolsim::kx310_encoder_names(), __func__, name, value, model);
}
void CxKX310Encoder::SetParam(const char* name, const void* value, TxModel model) {
    zolsim::set_param(*this, zolsim::kx310_encoder_names(), __func__, name, value, model);
}

void CxKX310Encoder::ResetSource(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX310Encoder::ResetSource() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX310Encoder::SignalSource(int value) { set_setting(*this, __func__, value, "ENC"); }
int CxKX310Encoder::SignalSource() const { return get_setting<int>(*this, __func__, "ENC"); }
void CxKX310Encoder::EncoderActMode(int value) { set_setting(*this, __func__, value); }
int CxKX310Encoder::EncoderActMode() const { return get_setting<int>(*this, __func__); }
void CxKX310Encoder::StartEncoder() {
    zolsim::set_field(*board_for(*this, __func__), &EncoderState::running, true);
}
void CxKX310Encoder::StopEncoder() {
    zolsim::set_field(*board_for(*this, __func__), &EncoderState::running, false);
}
// Clears the counters and flags; a running unit goes on counting.
void CxKX310Encoder::ResetEncoder() {
    zolsim::reset(*board_for(*this, __func__), &EncoderState::running);
}
int CxKX310Encoder::EncoderCounter() const {
    return zolsim::read_field<int>(*board_for(*this, __func__), &EncoderState::total);
}
void CxKX310Encoder::EncoderStatus(TxKX310EncoderStatus* status) {
    auto b = board_for(*this, __func__, zolsim::Out{status});
    ZOLSIM_REQUIRE(status, __func__);
    *status = zolsim::status_of(*b);
}

} // namespace Video
} // namespace zol
