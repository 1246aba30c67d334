// The acquisition engine shared by the capture boards and the video device: binding to a rack
// board, camera files, the image ring, and the acquisition thread that writes the test pattern.
//
// Every handle owns one Session (held by shared_ptr so that a waiter, or the acquisition
// thread, can keep it alive while the handle goes away). The session mutex guards the ring; a
// frame's pixels are copied without it (so waiters and status queries are not held up by the
// copy) but under the session's `writing` mark, which Lock/Unlock/Close/Dispose/destruction wait
// out before they change the ring: once they return, the caller's images are never touched again.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <sstream>
#include <vector>

#include <zol/sim_video.h>

#include "video.h"

namespace zolsim {

Session::~Session() {
    // Only reached with a live thread when the acquisition thread itself dropped the last
    // reference after finishing on its own; it cannot join itself.
    if (thread.joinable())
        thread.detach();
}

namespace capture {

namespace {

using Clock = std::chrono::steady_clock;
// How far behind its schedule a paced board may fall and still make the frames up.
constexpr std::chrono::milliseconds kMaxLag(50);

struct Frame {
    int width, height;
    PixelLayout px;
};

const char* format_name(zol::ExPixelFormat format) {
    switch (format) {
    case zol::ExPixelFormat::Mono8: return "Mono8";
    case zol::ExPixelFormat::Mono16: return "Mono16";
    case zol::ExPixelFormat::RGB8: return "RGB8";
    case zol::ExPixelFormat::BGR8: return "BGR8";
    }
    return "?";
}

Frame frame_size(Board& b) {
    int w = static_cast<int>(b.settings.number("Width"));
    int h = static_cast<int>(b.settings.number("Height"));
    PixelLayout px{zol::ExPixelFormat::Mono8, 8};
    pixel_layout(b.settings.text("PixelFormat"), &px); // the setting holds only known names
    return {std::max(w, 0), std::max(h, 0), px};
}

bool fits(const zol::CxImage& image, const Frame& f) {
    return image.PixelFormat() == f.px.format && image.Width() >= f.width &&
           image.Height() >= f.height;
}

void check_fits(const char* op, const zol::CxImage& image, const Frame& f) {
    if (image.PixelFormat() != f.px.format)
        ZOLSIM_RAISE(ImageFormat, op,
                     std::string("image format ") + format_name(image.PixelFormat()) +
                         " is not the frame's " + format_name(f.px.format));
    if (!fits(image, f))
        ZOLSIM_RAISE(ImageTooSmall, op,
                     "image " + std::to_string(image.Width()) + "x" +
                         std::to_string(image.Height()) + " is smaller than the frame " +
                         std::to_string(f.width) + "x" + std::to_string(f.height));
}

// Every image of a ring (null entries are skipped) against the frame. A ring may hold thousands
// of images, scattered in memory: each is asked once (only one that does not fit is asked again,
// for the message), and the images a few places ahead are fetched meanwhile.
void check_ring(const char* op, zol::CxImage* const* images, std::size_t count, const Frame& f) {
    constexpr std::size_t ahead = 8;
    for (std::size_t i = 0; i < count; ++i) {
        if (i + ahead < count && images[i + ahead])
            __builtin_prefetch(images[i + ahead]);
        if (images[i] && !fits(*images[i], f))
            check_fits(op, *images[i], f);
    }
}

// One pixel of the test pattern at column x of master row r, in the frame's layout. The base
// value p = (x + r) & 0xff: mono samples of more than 8 bits repeat its high bits below it (so
// the top 8 bits are p), RGB is (p, (x - r) & 0xff, (2r) & 0xff), BGR the same bytes reversed.
void pattern_pixel(unsigned char* out, std::size_t x, std::size_t r, const PixelLayout& px) {
    const unsigned p = static_cast<unsigned>((x + r) & 0xff);
    switch (px.format) {
    case zol::ExPixelFormat::Mono8: out[0] = static_cast<unsigned char>(p); return;
    case zol::ExPixelFormat::Mono16: {
        const unsigned v = (p << (px.bits - 8)) | (p >> (16 - px.bits));
        out[0] = static_cast<unsigned char>(v & 0xff);
        out[1] = static_cast<unsigned char>(v >> 8);
        return;
    }
    case zol::ExPixelFormat::RGB8:
    case zol::ExPixelFormat::BGR8: {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p),
                                      static_cast<unsigned char>((x - r) & 0xff),
                                      static_cast<unsigned char>((2 * r) & 0xff)};
        const bool bgr = px.format == zol::ExPixelFormat::BGR8;
        for (int c = 0; c < 3; ++c)
            out[c] = rgb[bgr ? 2 - c : c];
        return;
    }
    }
}

// Digits 0-9 of a 3x5 font, row by row from the top, the high bit leftmost.
constexpr std::uint16_t kDigits[10] = {
    0b111'101'101'101'111, 0b010'110'010'010'111, 0b111'001'111'100'111, 0b111'001'111'001'111,
    0b101'101'111'001'001, 0b111'100'111'001'111, 0b111'100'111'101'111, 0b111'001'001'001'001,
    0b111'101'111'101'111, 0b111'101'111'001'111,
};

// The frame number in decimal, readable on screen: a black box at (s, s) of (4n + 1)s x 7s
// pixels for n digits, the digits in the layout's white, each font dot s x s pixels, with
// s = max(1, min(width, height) / 48). Clipped to the frame; row 0 (the stamp) is never touched.
// The box's rows come in six kinds (blank, and font rows 0 to 4): each is made once per frame
// and copied into its s rows, so the cost is a few row copies, not a loop over the box's pixels.
void draw_number(zol::CxImage& image, std::uint32_t k, const Frame& f) {
    const std::string digits = std::to_string(k);
    const int s = std::max(1, std::min(f.width, f.height) / 48);
    const int n = static_cast<int>(digits.size());
    const int x1 = std::min(f.width, (4 * n + 2) * s), y1 = std::min(f.height, 8 * s);
    if (x1 <= s)
        return;
    const std::size_t bpp = static_cast<std::size_t>(image.BytesPerPixel());
    const std::size_t stride = static_cast<std::size_t>(image.Stride());
    unsigned char white[3];
    for (std::size_t c = 0; c < bpp; ++c)
        white[c] = 0xff;
    if (f.px.format == zol::ExPixelFormat::Mono16)
        white[1] = static_cast<unsigned char>(0xff >> (16 - f.px.bits));
    // Row kind 0 is blank; kind 1 + gy is font row gy. Each row covers columns s to x1.
    const std::size_t width = static_cast<std::size_t>(x1 - s) * bpp;
    thread_local std::vector<unsigned char> rows;
    rows.assign(6 * width, 0);
    for (int gy = 0; gy < 5; ++gy) {
        unsigned char* row = rows.data() + static_cast<std::size_t>(1 + gy) * width;
        for (int d = 0; d < n; ++d)
            for (int gx = 0; gx < 3; ++gx) {
                if (!((kDigits[digits[d] - '0'] >> (14 - (gy * 3 + gx))) & 1))
                    continue;
                const int from = (2 + 4 * d + gx) * s, to = std::min(from + s, x1);
                for (int x = from; x < to; ++x)
                    std::memcpy(row + static_cast<std::size_t>(x - s) * bpp, white, bpp);
            }
    }
    unsigned char* p = image.Address();
    for (int y = s; y < y1; ++y) {
        const int gy = y / s - 2; // font row
        const std::size_t kind = gy < 0 || gy > 4 ? 0 : static_cast<std::size_t>(1 + gy);
        std::memcpy(p + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(s) * bpp,
                    rows.data() + kind * width, width);
    }
}

// The test pattern of frame 0 over height + 256 rows, in the frame's layout (rows packed):
// see write_pattern. Made once per frame format and shared by every thread that writes frames
// of that format (a capture's thread is new at every Start); the last one made is kept.
using Master = std::shared_ptr<const std::vector<unsigned char>>;
Master master_for(const Frame& f, std::size_t bpp) {
    static std::mutex m;
    static Master last;
    static Frame made{0, 0, {zol::ExPixelFormat::Mono8, 0}};
    std::lock_guard<std::mutex> lock(m);
    if (!last || made.width != f.width || made.height != f.height ||
        made.px.format != f.px.format || made.px.bits != f.px.bits) {
        const std::size_t row = static_cast<std::size_t>(f.width) * bpp;
        const std::size_t rows = static_cast<std::size_t>(f.height) + 256;
        auto pixels = std::make_shared<std::vector<unsigned char>>(rows * row);
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t x = 0; x < static_cast<std::size_t>(f.width); ++x)
                pattern_pixel(&(*pixels)[r * row + x * bpp], x, r, f.px);
        last = std::move(pixels);
        made = f;
    }
    return last;
}

// Test pattern of frame k: pattern_pixel(x, (k & 0xff) + y) at (x, y), the number drawn by
// draw_number, and the frame number in the first four bytes, little-endian. Row y of frame k is
// row (k & 0xff) + y of frame 0, so one master of height + 256 rows of frame 0 holds every frame
// as a contiguous window: a frame whose rows are packed is one copy, as a DMA transfer would be.
void write_pattern(zol::CxImage& image, std::uint32_t k, const Frame& f) {
    unsigned char* p = image.Address();
    if (!p || f.width <= 0 || f.height <= 0)
        return;
    const std::size_t bpp = static_cast<std::size_t>(image.BytesPerPixel());
    const std::size_t row = static_cast<std::size_t>(f.width) * bpp;
    const Master master = master_for(f, bpp); // a lock and a comparison: nothing beside the copy
    const unsigned char* first = master->data() + (k & 0xff) * row;
    const std::size_t stride = static_cast<std::size_t>(image.Stride());
    if (stride == row) {
        std::memcpy(p, first, row * static_cast<std::size_t>(f.height));
    } else {
        for (int y = 0; y < f.height; ++y)
            std::memcpy(p + static_cast<std::size_t>(y) * stride,
                        first + static_cast<std::size_t>(y) * row, row);
    }
    draw_number(image, k, f);
    if (image.Size() >= 4)
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<unsigned char>((k >> (8 * i)) & 0xff);
}

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

void frame_done(Session& s, std::uint32_t k, const Frame& f) {
    s.total = k + 1;
    s.last = k;
    s.lines = f.height;
    s.amount = static_cast<std::uint32_t>(f.width) * static_cast<std::uint32_t>(f.height);
    s.events |= kEventFrameEnd;
    ++s.frame_gen;
}

void end_run(Session& s, int final_state) {
    s.state = final_state;
    s.stop_req = true;
    s.events |= kEventCaptureEnd | (final_state == kAborted ? kEventAborted : 0);
    ++s.end_gen;
}

void run(std::shared_ptr<Session> sp, Frame f, std::chrono::microseconds period, int frames) {
    Session& s = *sp;
    std::unique_lock<std::mutex> lk(s.m);
    auto next = Clock::now() + period;
    for (;;) {
        if (s.triggered) {
            s.cv.wait(lk, [&] { return s.stop_req || s.pending_triggers > 0; });
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
        if (s.triggered)
            --s.pending_triggers;
        const std::uint32_t k = s.total;
        if (!s.source_locked) {
            write_slot(s, lk, k, f);
        } else if (auto target = s.source.lock()) {
            // A foreign ring is handled under its own mutex only, never both at once.
            lk.unlock();
            deliver(*target, k, f);
            lk.lock();
        }
        if (s.stop_req) // stopped or aborted during the copy: the frame does not count
            break;
        frame_done(s, k, f);
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

// Waits on `s.cv` for `pred` at most `ms` milliseconds (negative: for ever).
// The waiter is counted on the board while the session mutex is still held, so whoever sees the
// count and then aborts, cancels or triggers under that mutex reaches this wait.
template <class Pred>
bool wait_for(Session& s, std::unique_lock<std::mutex>& lk, int ms, Pred pred) {
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
    if (ms < 0) {
        s.cv.wait(lk, pred);
        return true;
    }
    return s.cv.wait_for(lk, std::chrono::milliseconds(ms), pred);
}

int timeout_setting(Session& s) {
    return s.board ? static_cast<int>(s.board->settings.number("Timeout")) : kForever;
}

void require_open(Session& s, const char* op) {
    if (!s.open)
        ZOLSIM_RAISE(NotOpened, op, "the board is not open");
}

} // namespace

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

NameValues camera_file(const char* op, const std::string& path, int own, int* device) {
    *device = -1;
    NameValues file = read_name_values(op, path);
    auto names_type = [](const NameValue& p) { return p.name == "DeviceType"; };
    const NameValue* named = nullptr; // the last DeviceType line decides
    for (const NameValue& p : file.pairs) {
        if (!names_type(p))
            continue;
        char* end = nullptr;
        long n = std::strtol(p.value.c_str(), &end, 0);
        if (p.value.empty() || *end || !known_device(static_cast<int>(n)))
            refuse_line(op, file, p, "bad DeviceType '" + p.value + "'");
        *device = static_cast<int>(n);
        named = &p;
    }
    if (named && own != -1 && *device != own)
        refuse_line(op, file, *named, "camera file is for device type " + std::to_string(*device));
    file.pairs.erase(std::remove_if(file.pairs.begin(), file.pairs.end(), names_type),
                     file.pairs.end());
    return file;
}

void setup(Session& s, const char* op, zol::ExDevice own, const std::string& path) {
    auto b = board(s, op);
    int device;
    b->settings.apply(op, camera_file(op, path, static_cast<int>(own), &device));
    sync_derived(*b);
}

void save(Session& s, const char* op, const std::string& path) {
    auto b = board(s, op);
    write_file(op, path,
               "DeviceType=" + std::to_string(static_cast<int>(b->type)) + "\n" +
                   b->settings.dump());
}

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
    s.pending_triggers = 0;
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

void wait(Session& s, const char* op) {
    std::unique_lock<std::mutex> lk(s.m);
    require_open(s, op);
    if (!wait_for(s, lk, timeout_setting(s), [&] { return s.state != kRunning; }))
        ZOLSIM_RAISE(Timeout, op, "acquisition did not end within the Timeout setting");
}

bool wait_ms(Session& s, const char* op, int timeout_ms) {
    std::unique_lock<std::mutex> lk(s.m);
    require_open(s, op);
    return wait_for(s, lk, timeout_ms, [&] { return s.state != kRunning; });
}

bool wait_frame(Session& s, const char* op, int timeout_ms, bool throw_timeout) {
    std::unique_lock<std::mutex> lk(s.m);
    require_open(s, op);
    const std::uint64_t gen = s.frame_gen;
    if (timeout_ms == kForever)
        timeout_ms = timeout_setting(s);
    auto frame_or_end = [&] { return s.frame_gen != gen || s.state != kRunning; };
    bool ok = wait_for(s, lk, timeout_ms, frame_or_end);
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
        if (!wait_for(s, lk, timeout_setting(s), done))
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
    bool woke = wait_for(s, lk, timeout_ms, [&] { return gen != g0 || s.cancel_gen[event] != c0; });
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
    if (ch < -1 || ch > 1)
        ZOLSIM_RAISE(InvalidArgument, op, "channel " + std::to_string(ch) + " out of range -1..1");
    auto b = board(s, op);
    if (ch != -1 && ch != b->ch)
        return;
    // The trigger mask latches on every trigger until ClearTriggerMask.
    if (b->settings.has("MaskedTrigger"))
        b->settings.number("MaskedTrigger", 1);
    {
        std::lock_guard<std::mutex> lock(s.m);
        if (s.state != kRunning || !s.triggered)
            return;
        ++s.pending_triggers;
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
    if (target && !deliver(*target, k, f))
        ZOLSIM_RAISE(ImageTooSmall, op, "the module's image is smaller than the frame");
    {
        std::lock_guard<std::mutex> lock(s.m);
        frame_done(s, k, f);
        s.state = kDone;
        s.events |= kEventCaptureEnd;
        ++s.end_gen;
    }
    s.cv.notify_all();
}

std::shared_ptr<Session> session_of(zol::CxModule* object, const char* op) {
    ZOLSIM_REQUIRE(object, op);
    const CaptureHandle* h = nullptr;
    if (auto* b = dynamic_cast<zol::Video::CxCaptureBoard*>(object))
        h = Access::handle(*b).get();
    else if (auto* v = dynamic_cast<zol::Video::CxVideo*>(object))
        h = Access::handle(*v).get();
    else
        ZOLSIM_RAISE(InvalidArgument, op,
                     std::string("a ") + Access::class_name(object) + " has no capture");
    if (!h)
        ZOLSIM_RAISE(NoObject, op, "the module has no state");
    return live(*h, op).shared_from_this();
}

int device_of(const zol::CxModule* object) {
    const CaptureHandle* h = nullptr;
    if (auto* b = dynamic_cast<const zol::Video::CxCaptureBoard*>(object))
        h = Access::handle(*b).get();
    else if (auto* v = dynamic_cast<const zol::Video::CxVideo*>(object))
        h = Access::handle(*v).get();
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

namespace zol {
namespace sim {

void DrawTestFrame(CxImage& image, unsigned number, const std::string& pixel_format) {
    const char* op = "DrawTestFrame";
    zolsim::PixelLayout px{};
    if (!zolsim::pixel_layout(pixel_format, &px))
        ZOLSIM_RAISE(InvalidArgument, op, "unknown pixel format " + pixel_format);
    const zolsim::capture::Frame f{image.Width(), image.Height(), px};
    if (image.PixelFormat() != px.format) {
        const std::string has = zolsim::capture::format_name(image.PixelFormat());
        ZOLSIM_RAISE(InvalidArgument, op, "image format " + has + " is not the layout of " +
                                              pixel_format);
    }
    zolsim::capture::write_pattern(image, number, f);
}

} // namespace sim
} // namespace zol
