// Private state of the video family of the simulated library: the rack of capture boards,
// the per-board simulated hardware (settings store, registers, serial camera, encoder unit),
// the acquisition session behind every board handle, and the engine the thin public classes
// forward to.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <zol/video.h>

#include "common/core.h"
#include "common/rack.h"

namespace zolsim {

// ---- one board channel of the rack ----------------------------------------------------------

// The camera at the far end of a board channel's serial link.
struct SerialState {
    bool open = false;
    std::uint64_t closings = 0; // wakes readers when the link is closed under them
    std::deque<char> rx;        // bytes from the camera, not yet read by the host
    std::string sent;           // bytes the camera received (for sim::SioSent)
    std::string line;           // the camera's partial command line
    int drop = 0, garble = 0;   // bytes from the camera still to be lost / to arrive inverted
};

// What arrives at the host of `bytes` the camera sends: the link's faults (sim::SioDrop,
// sim::SioGarble) applied, in that order; the caller holds the board's mutex.
std::string through_link(SerialState& link, const std::string& bytes);

// Counters of the encoder unit. Internal values are 64-bit so the flags can be computed.
struct EncoderState {
    std::int64_t total = 0;    // KX210 total counter / KX310 encoder counter
    std::int64_t abs = 0;      // KX210 absolute counter
    bool abs_on = false;       // KX210: StartAbs(true) counts the absolute counter
    bool overflow = false;     // the absolute (KX310: encoder) counter passed INT32_MAX
    bool underflow = false;    // ... or INT32_MIN
    std::uint32_t match = 0;   // times the counter reached Comp1
    std::uint32_t rel = 0;     // pulses since ClearRelCounter, wrapping
    bool running = false;      // KX310: between StartEncoder and StopEncoder
    int last_step = 0;         // direction of the last pulse (for the A/B input states)
};

struct Session;

struct Board {
    Board(zol::ExDevice type, int id, int ch);
    const zol::ExDevice type;
    const int id, ch;
    Settings settings;
    // Width or Height changed by name since the Image* values were last brought in step.
    std::atomic<bool> geometry_stale{false};
    // Threads blocked in a wait of a handle bound to this board (sim::CaptureWaiters).
    std::atomic<int> waiters{0};

    // Guards the simulated hardware below (not the settings, which guard themselves).
    std::mutex m;
    std::condition_variable cv; // serial-link readers
    SerialState sio;
    EncoderState enc;
    std::map<unsigned int, unsigned int> registers;
    unsigned int calibrations = 0;
    // The sessions that ran on this channel, for the trigger inputs to reach the running ones.
    std::vector<std::weak_ptr<Session>> runs;
    // Taken out of the rack (sim::Unplug); `plugging` counts the times it was, so that a handle
    // opened before knows it must open again.
    std::atomic<bool> unplugged{false};
    std::atomic<std::uint64_t> plugging{0};
    // The camera stops sending (sim::CameraSilent); the next `short_count` frames arrive with
    // `short_lines` lines only (sim::ShortFrames; guarded by `m`).
    std::atomic<bool> silent{false};
    int short_lines = 0, short_count = 0;
    // The exposure (strobe) output: high while a frame is exposed.
    std::atomic<bool> strobe{false};
    // Encoder pulses since the last trigger the encoder gave (EncoderMode, ENCSampling).
    std::int64_t encoder_phase = 0;
};

// A channel argument of a per-channel command: -1 (every channel) or a channel of the rack's
// boards; InvalidArgument for `op` otherwise.
void check_channel(const char* op, int ch);
// The rack board (created on demand): NoDevice for a bad id or type, InvalidArgument for a bad
// channel.
std::shared_ptr<Board> rack_board(zol::ExDevice type, int id, int ch, const char* op);
// The frame layout a PixelFormat setting names: the image format and the significant bits of
// a sample ("Mono12": Mono16 images, 12 bits). False for a name that is none of "Mono8",
// "Mono10", "Mono12", "Mono16", "RGB8", "BGR8" (`out` may be null).
struct PixelLayout {
    zol::ExPixelFormat format;
    int bits;
};
bool pixel_layout(const std::string& name, PixelLayout* out);
// Keeps the read-only Image* values in step with Width, Height and PixelFormat.
void sync_derived(Board& b);
// Whether a setting is one the frame's geometry is made from: Width, Height, PixelFormat.
bool sets_frame_geometry(std::string_view name);
// Whether a setting is one of the read-only values sync_derived writes: ImageWidth, ImageHeight,
// ImageType, ImageDepth, ImageChannels, ImageSize.
bool derived_from_frame_geometry(std::string_view name);

// ---- acquisition session behind one board (or video) handle -----------------------------------

enum CaptureState { kIdle = 0, kRunning = 1, kDone = 2, kAborted = 3 };
// Bits of capture_event.
constexpr unsigned int kEventFrameEnd = 1, kEventCaptureEnd = 2, kEventAborted = 4;
// WaitEvent numbers.
constexpr int kWaitFrameEnd = 1, kWaitCaptureEnd = 2;

using Clock = std::chrono::steady_clock;

// How a run takes triggers, read from the board's settings at Start (capture/triggers.cpp).
struct TriggerSetup {
    bool external = false;                 // the wired inputs count (ExternalTrigger)
    int source = 0;                        // ExtTriggerSrc: 0 the trigger pin, 1 the encoder
    std::chrono::microseconds delay{0};    // TriggerDelayTime (TR520: TriggerDelay)
    std::chrono::microseconds exposure{0}; // ExposureTime
    std::chrono::microseconds mask{0};     // TriggerMaskTime: the input rests after a trigger
    bool strobe = false;                   // EXPEnable (TR520: ExpEnable): the strobe follows
    bool line_scan = false;                // LineSensorEnable: frames made of line triggers
    int height = 0;                        // lines of a frame
};

// A trigger taken and not yet turned into a frame.
struct PendingTrigger {
    std::uint32_t number;
    Clock::time_point due; // when the exposure begins
    bool timed;            // a wired trigger: delay and exposure as the settings give
};

// What the board recorded of a frame (sim::CapturedFrame).
struct FrameRecord {
    std::uint32_t frame = 0, trigger = 0;
    std::int64_t start_ns = 0;
    int lines = 0;
    bool known = false;
};

struct Session : std::enable_shared_from_this<Session> {
    ~Session();
    std::mutex m;
    std::condition_variable cv;

    std::shared_ptr<Board> board; // null: not bound
    bool open = false;
    std::uint64_t plugging = 0; // the board's plugging when it was bound

    // The image ring. `source` (a foreign session) replaces it when a module was locked.
    std::vector<zol::CxImage*> ring;
    bool locked = false;
    std::weak_ptr<Session> source;
    bool source_locked = false;
    bool writing = false; // a frame is being copied into `ring` without the mutex (write_slot)
    int num = 1;
    int lock_id = 0;

    // Acquisition.
    int state = kIdle;
    bool stop_req = false;
    bool triggered = false;
    TriggerSetup trig;
    std::deque<PendingTrigger> pending;
    std::uint32_t detected = 0, taken = 0, missed = 0; // triggers of this run
    Clock::time_point rest_until{};                     // an edge before this is missed
    std::uint32_t line_first = 0;                       // line scan: the frame's first line
    int line_count = 0;                                 // ... and the lines it has so far
    std::vector<FrameRecord> frames;                    // frame k at k % size
    std::thread thread;
    std::uint64_t run = 0; // counts Starts, so a finishing thread knows its own run

    // Status of the current (or last) run.
    std::uint32_t total = 0, last = 0, amount = 0;
    int lines = 0;
    unsigned int events = 0;
    std::uint64_t frame_gen = 0, end_gen = 0; // advance at every frame end / capture end
    std::uint64_t cancel_gen[3] = {0, 0, 0};  // CancelWaitEvent per event number
};

struct Snapshot {
    std::uint32_t total, amount, last;
    int lines, peak;
    unsigned int events;
    int state;
};

struct CaptureHandle {
    explicit CaptureHandle(zol::ExDevice d) : s(std::make_shared<Session>()), device(int(d)) {}
    std::shared_ptr<Session> s;    // never null, never replaced
    std::atomic<bool> disposed{false};
    std::atomic<int> device;        // fixed for boards, the device type for a video device
};

namespace capture {

// Throws Disposed when the handle was disposed; returns its session.
Session& live(const CaptureHandle& h, const char* op);
// The board of an open session; NotOpened otherwise.
std::shared_ptr<Board> board(Session& s, const char* op);
// Throws NotOpened unless the session is open, NoDevice when its board was unplugged since it
// was opened; `s.m` is held.
void require_open(Session& s, const char* op);
// Whether the session's board was unplugged since it was bound; `s.m` is held.
bool unplugged(const Session& s);
// Takes a board channel out of the rack (its runs abort, its waits end with NoDevice, every
// operation of a handle opened on it refuses with NoDevice) or puts it back (capture/handles.cpp).
void plug(Board& b, bool in);

void open(CaptureHandle& h, const char* op, zol::ExDevice type, int id, int ch);
void bind(Session& s, std::shared_ptr<Board> b); // open on an existing board
// Lists the session on the board (once), so that the board's trigger inputs and its unplugging
// reach it; `s.m` is held.
void list_on_board(Session& s, Board& b);
void close(Session& s);                         // stops, unlocks, unbinds
void copy_binding(Session& to, Session& from);  // shares the board and the open state
bool same_board(Session& a, Session& b);
bool is_opened(Session& s);

// Camera files: the settings the file at `path` names. A "DeviceType=N" line names the board
// type the file is for: `device` receives N (or -1), and the line is not among the settings. A
// file for another type than `own` (when not -1) is refused at that line.
NameValues camera_file(const char* op, const std::string& path, int own, int* device);
void setup(Session& s, const char* op, zol::ExDevice own, const std::string& path);
// Writes "DeviceType=N" and the writable settings, so that a video device finds the board.
void save(Session& s, const char* op, const std::string& path);

void validate(Session& s, const char* op, const zol::CxImage* image);
void validate(Session& s, const char* op, zol::CxImage* const* images, int count);
void validate(Session& s, const char* op, zol::IxModule* module);
void lock(Session& s, const char* op, zol::CxImage* const* images, int count);
void lock(Session& s, const char* op, zol::IxModule* module);
void unlock(Session& s);

void start(Session& s, const char* op, int frames_override);
void stop(Session& s, int final_state); // kDone for Stop, kAborted for Abort
void wait(Session& s, const char* op);  // Timeout setting; throws Timeout
bool wait_ms(Session& s, const char* op, int timeout_ms);
bool wait_frame(Session& s, const char* op, int timeout_ms, bool throw_timeout);
Snapshot wait_status(Session& s, const char* op, std::int64_t frame); // frame -1: until done
bool wait_event(Session& s, const char* op, int event, int timeout_ms, int* value);
void cancel_wait_event(Session& s, const char* op, int event);
Snapshot snapshot(Session& s, std::int64_t frame);
int status(Session& s);
bool is_running(Session& s);
void force_trigger(Session& s, const char* op, int ch);
// A rising edge at a wired trigger input of the board channel at `t` (capture/triggers.cpp):
// every run on the channel that takes that input takes it or counts it missed.
enum class Input { Pin, Encoder, Line };
void trigger_edge(Board& b, Input input, Clock::time_point t);
// Trigger bookkeeping of a run (capture/triggers.cpp); `s.m` is held.
void arm_triggers(Session& s, Board& b);           // at Start: settings, counters, the record
void take_software_trigger(Session& s);            // ForceTrigger: queued, never missed
void record_frame(Session& s, const FrameRecord& r);
// The exposure output of the session's board goes to `level` at `t`; `lk` holds `s.m` and is let
// go while the wired inputs take the level.
void set_strobe(Session& s, std::unique_lock<std::mutex>& lk, bool level, Clock::time_point t);
void num(Session& s, const char* op, int frames);
void grab(Session& s, const char* op, zol::CxImage* image, zol::IxModule* module);

// Board commands: ClearTriggerMask, ResetPG, StopPG, ResetPLLReconfig, ExecutePLLReconfig,
// PLLReconfig (KX210, KX310), SelfCalibration (TR520). UnknownCommand otherwise.
void command(Board& b, const char* op, const std::string& name);
void pg(Board& b, const char* op, int ch, bool run);
void clear_trigger_mask(Board& b, const char* op, int ch);

// Name-keyed access on the board store, keeping the derived values in step.
void get_param(Board& b, const char* op, const char* name, void* value, zol::TxModel model);
void set_param(Board& b, const char* op, const char* name, const void* value, zol::TxModel model);
void send_command(Board& b, const char* op, const char* name, zol::TxModel model);

// The session of a board or video handle object (NoObject when it is neither).
std::shared_ptr<Session> session_of(zol::CxModule* object, const char* op);
// The device type a board or video handle stands for, or -1.
int device_of(const zol::CxModule* object);

// The status records of the three boards from a snapshot.
template <class Record> Record record(const Snapshot& s);
template <> zol::Video::TxKX210CaptureStatus record(const Snapshot& s);
template <> zol::Video::TxTR520CaptureStatus record(const Snapshot& s);
template <> zol::Video::TxKX310CaptureStatus record(const Snapshot& s);

} // namespace capture

// ---- video device -----------------------------------------------------------------------------

struct VideoHandle : CaptureHandle {
    VideoHandle() : CaptureHandle(zol::ExDevice(0)) {}
    std::mutex cm; // guards the controller
    Ref controller;
    zol::IxModule* module = nullptr;
};

} // namespace zolsim
