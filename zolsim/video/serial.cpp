// The serial link of a capture board and the camera at its far end: the link objects
// (CxKX210Sio, CxKX310Sio), the camera's line protocol, and the control surface that feeds
// bytes from the camera and shows what it received.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include <zol/sim_video.h>

#include "video/companions.h"

namespace zolsim {

std::string through_link(SerialState& link, const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        if (link.drop > 0) {
            --link.drop;
            continue;
        }
        if (link.garble > 0) {
            --link.garble;
            c = static_cast<char>(~static_cast<unsigned char>(c));
        }
        out += c;
    }
    return out;
}
namespace {

void require_link(Board& b, const char* op) {
    if (!b.sio.open)
        ZOLSIM_RAISE(NotOpened, op, "the serial link is not open");
}

// The camera's protocol: one command per line ending in '\r' ('\n' is ignored).
std::string camera_answer(Board& b, const std::string& line) {
    if (line == "?ID")
        return "ZOLCAM\r";
    if (line == "MODE?")
        return b.settings.text("CameraMode") + "\r";
    if (line.compare(0, 5, "MODE=") == 0 && line.size() > 5) {
        b.settings.text("CameraMode", line.substr(5));
        return "OK\r";
    }
    if (line.compare(0, 4, "EXP=") == 0) {
        char* end = nullptr;
        long v = std::strtol(line.c_str() + 4, &end, 10);
        if (line.size() > 4 && !*end && v >= 0 && v <= INT_MAX) {
            b.settings.number("ExposureTime", v);
            return "OK\r";
        }
    }
    return "ERR\r";
}

// Sends bytes to the camera with `b.m` held; the camera's answers are queued for reading,
// or returned when `answers` is given.
void send(Board& b, const char* data, std::size_t n, std::string* answers) {
    bool queued = false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = data[i];
        b.sio.sent += c;
        if (c == '\n')
            continue;
        if (c != '\r') {
            if (b.sio.line.size() < 256)
                b.sio.line += c;
            continue;
        }
        std::string answer = camera_answer(b, b.sio.line);
        b.sio.line.clear();
        answer = through_link(b.sio, answer);
        if (answers)
            *answers += answer;
        else {
            b.sio.rx.insert(b.sio.rx.end(), answer.begin(), answer.end());
            queued = true;
        }
    }
    if (queued)
        b.cv.notify_all();
}

// Waits (with `lk` on `b.m`) for a byte from the camera for the link's Timeout setting.
bool wait_byte(Board& b, std::unique_lock<std::mutex>& lk, const char* op) {
    const std::uint64_t closings = b.sio.closings, plugging = b.plugging.load();
    // A board taken out of the rack during the read ends it (a byte fed later is not its).
    auto gone = [&] { return b.unplugged.load() || b.plugging.load() != plugging; };
    auto ready = [&] { return !b.sio.rx.empty() || b.sio.closings != closings || gone(); };
    int ms = static_cast<int>(b.settings.number("SIOTimeout"));
    if (ms < 0)
        b.cv.wait(lk, ready);
    else
        b.cv.wait_for(lk, std::chrono::milliseconds(ms), ready);
    if (gone())
        ZOLSIM_RAISE(NoDevice, op, "the board was unplugged during the read");
    if (b.sio.closings != closings)
        ZOLSIM_RAISE(Aborted, op, "the serial link was closed during the read");
    return !b.sio.rx.empty();
}

void sio_open(Board& b, bool open) {
    std::lock_guard<std::mutex> lock(b.m);
    if (b.sio.open && !open) {
        ++b.sio.closings;
        b.sio.rx.clear();
        b.sio.line.clear();
        b.cv.notify_all();
    }
    b.sio.open = open;
    b.settings.number("SIOOpenFlag", open ? 1 : 0);
}

bool sio_opened(Board& b) {
    std::lock_guard<std::mutex> lock(b.m);
    return b.sio.open;
}

char sio_read_byte(Board& b, const char* op) {
    std::unique_lock<std::mutex> lk(b.m);
    require_link(b, op);
    if (!wait_byte(b, lk, op))
        ZOLSIM_RAISE(Timeout, op, "no byte from the camera within the Timeout setting");
    char c = b.sio.rx.front();
    b.sio.rx.pop_front();
    return c;
}

int sio_read(Board& b, const char* op, char* buffer, int size) {
    if (size < 0)
        ZOLSIM_RAISE(InvalidArgument, op, "negative size");
    if (size > 0)
        ZOLSIM_REQUIRE(buffer, op);
    std::unique_lock<std::mutex> lk(b.m);
    require_link(b, op);
    if (size == 0 || !wait_byte(b, lk, op))
        return 0;
    // What has arrived, up to `size` bytes, taken in blocks rather than byte by byte.
    const auto n = std::min(b.sio.rx.size(), static_cast<std::size_t>(size));
    const auto end = b.sio.rx.begin() + static_cast<std::ptrdiff_t>(n);
    std::copy(b.sio.rx.begin(), end, buffer);
    b.sio.rx.erase(b.sio.rx.begin(), end);
    return static_cast<int>(n);
}

void sio_write(Board& b, const char* op, const char* data, std::size_t n) {
    std::lock_guard<std::mutex> lock(b.m);
    require_link(b, op);
    send(b, data, n, nullptr);
}

void sio_write_text(Board& b, const char* op, const char* text) {
    ZOLSIM_REQUIRE(text, op);
    sio_write(b, op, text, std::strlen(text));
}

void sio_camera_mode(Board& b, const char* op, const char* mode) {
    ZOLSIM_REQUIRE(mode, op);
    std::string command = std::string("MODE=") + mode + "\r";
    std::string answer;
    {
        std::lock_guard<std::mutex> lock(b.m);
        require_link(b, op);
        send(b, command.data(), command.size(), &answer);
    }
    if (answer != "OK\r")
        ZOLSIM_RAISE(Failed, op, std::string("the camera refused mode '") + mode + "'");
}

void sio_purge(Board& b, const char* op) {
    std::lock_guard<std::mutex> lock(b.m);
    require_link(b, op);
    b.sio.rx.clear();
    b.sio.line.clear();
}

} // namespace
} // namespace zolsim

namespace zol {

namespace sim {

void SioFeed(const std::string& board, int id, int ch, const std::string& bytes) {
    auto b = zolsim::named_board(board, id, ch, __func__);
    std::lock_guard<std::mutex> lock(b->m);
    const std::string arrived = zolsim::through_link(b->sio, bytes);
    b->sio.rx.insert(b->sio.rx.end(), arrived.begin(), arrived.end());
    b->cv.notify_all();
}

namespace {
// Arms a fault of the link: the next `count` bytes from the camera are lost or garbled.
void link_fault(const std::string& board, int id, int ch, int count, int zolsim::SerialState::*fault,
                const char* op) {
    if (count < 0)
        ZOLSIM_RAISE(InvalidArgument, op, "negative byte count");
    auto b = zolsim::named_board(board, id, ch, op);
    std::lock_guard<std::mutex> lock(b->m);
    b->sio.*fault = count;
}
} // namespace

void SioDrop(const std::string& board, int id, int ch, int count) {
    link_fault(board, id, ch, count, &zolsim::SerialState::drop, __func__);
}

void SioGarble(const std::string& board, int id, int ch, int count) {
    link_fault(board, id, ch, count, &zolsim::SerialState::garble, __func__);
}

std::string SioSent(const std::string& board, int id, int ch) {
    auto b = zolsim::named_board(board, id, ch, __func__);
    std::lock_guard<std::mutex> lock(b->m);
    std::string out;
    out.swap(b->sio.sent);
    return out;
}

bool SioOpened(const std::string& board, int id, int ch) {
    return zolsim::sio_opened(*zolsim::named_board(board, id, ch, __func__));
}

} // namespace sim

namespace Video {

using zolsim::board_for;
using zolsim::get_setting;
using zolsim::set_setting;
using zolsim::VideoCompanions;

// ---- CxKX210Sio ---------------------------------------------------------------------------------

CxKX210Sio::CxKX210Sio() : CxModule("CxKX210Sio"), h_(zolsim::detached_handle()) {}
CxKX210Sio::CxKX210Sio(const CxKX210Sio& other)
    : CxModule("CxKX210Sio"), h_(zolsim::copied_handle(other)) {}
CxKX210Sio::CxKX210Sio(CxKX210Sio&& other)
    : CxModule("CxKX210Sio", std::move(other)), h_(zolsim::taken_handle(other)) {}
CxKX210Sio& CxKX210Sio::operator=(const CxKX210Sio& other) {
    return zolsim::companion_assign(*this, other);
}
CxKX210Sio::~CxKX210Sio() = default;
bool CxKX210Sio::operator==(const CxKX210Sio& other) const {
    return zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
bool CxKX210Sio::operator!=(const CxKX210Sio& other) const {
    return !zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
CxKX210Sio CxKX210Sio::From(IxModule* module) {
    return zolsim::companion_from<VideoCompanions, CxKX210Sio>("CxKX210Sio", module,
                                                               ExDevice::KX210, __func__);
}
CxKX210* CxKX210Sio::Controller() const {
    return zolsim::companion_controller<CxKX210>(*this, __func__);
}
void CxKX210Sio::Controller(IxModule* module) {
    zolsim::companion_attach<VideoCompanions>(*this, module, ExDevice::KX210, __func__);
}
bool CxKX210Sio::IsValid() const {
    return zolsim::companion_valid<VideoCompanions>(*this, __func__);
}

void CxKX210Sio::Open() { zolsim::sio_open(*board_for(*this, __func__), true); }
void CxKX210Sio::Close() { zolsim::sio_open(*board_for(*this, __func__), false); }
bool CxKX210Sio::IsOpened() const { return zolsim::sio_opened(*board_for(*this, __func__)); }
void CxKX210Sio::Purge() { zolsim::sio_purge(*board_for(*this, __func__), __func__); }
void CxKX210Sio::Timeout(int ms) { set_setting(*this, __func__, ms, "SIO"); }
int CxKX210Sio::Timeout() const { return get_setting<int>(*this, __func__, "SIO"); }
void CxKX210Sio::WriteByte(char byte) {
    zolsim::sio_write(*board_for(*this, __func__, byte), __func__, &byte, 1);
}
char CxKX210Sio::ReadByte() { return zolsim::sio_read_byte(*board_for(*this, __func__), __func__); }
void CxKX210Sio::Write(const char* text) {
    zolsim::sio_write_text(*board_for(*this, __func__, text), __func__, text);
}
int CxKX210Sio::Read(char* buffer, int size) {
    auto b = board_for(*this, __func__, zolsim::Out{buffer}, size);
    return zolsim::sio_read(*b, __func__, buffer, size);
}
void CxKX210Sio::SetCameraMode(const char* mode) {
    zolsim::sio_camera_mode(*board_for(*this, __func__, mode), __func__, mode);
}

// ---- CxKX310Sio ---------------------------------------------------------------------------------

CxKX310Sio::CxKX310Sio() : CxModule("CxKX310Sio"), h_(zolsim::detached_handle()) {}
CxKX310Sio::CxKX310Sio(const CxKX310Sio& other)
    : CxModule("CxKX310Sio"), h_(zolsim::copied_handle(other)) {}
CxKX310Sio::CxKX310Sio(CxKX310Sio&& other)
    : CxModule("CxKX310Sio", std::move(other)), h_(zolsim::taken_handle(other)) {}
CxKX310Sio& CxKX310Sio::operator=(const CxKX310Sio& other) {
    return zolsim::companion_assign(*this, other);
}
CxKX310Sio::~CxKX310Sio() = default;
bool CxKX310Sio::operator==(const CxKX310Sio& other) const {
    return zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
bool CxKX310Sio::operator!=(const CxKX310Sio& other) const {
    return !zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
CxKX310Sio CxKX310Sio::From(IxModule* module) {
    return zolsim::companion_from<VideoCompanions, CxKX310Sio>("CxKX310Sio", module,
                                                               ExDevice::KX310, __func__);
}
CxKX310* CxKX310Sio::Controller() const {
    return zolsim::companion_controller<CxKX310>(*this, __func__);
}
void CxKX310Sio::Controller(IxModule* module) {
    zolsim::companion_attach<VideoCompanions>(*this, module, ExDevice::KX310, __func__);
}
bool CxKX310Sio::IsValid() const {
    return zolsim::companion_valid<VideoCompanions>(*this, __func__);
}

void CxKX310Sio::Open() { zolsim::sio_open(*board_for(*this, __func__), true); }
void CxKX310Sio::Close() { zolsim::sio_open(*board_for(*this, __func__), false); }
bool CxKX310Sio::IsOpened() const { return zolsim::sio_opened(*board_for(*this, __func__)); }
void CxKX310Sio::Purge() { zolsim::sio_purge(*board_for(*this, __func__), __func__); }
void CxKX310Sio::Timeout(int ms) { set_setting(*this, __func__, ms, "SIO"); }
int CxKX310Sio::Timeout() const { return get_setting<int>(*this, __func__, "SIO"); }
void CxKX310Sio::WriteByte(char byte) {
    zolsim::sio_write(*board_for(*this, __func__, byte), __func__, &byte, 1);
}
char CxKX310Sio::ReadByte() { return zolsim::sio_read_byte(*board_for(*this, __func__), __func__); }
void CxKX310Sio::Write(const char* text) {
    zolsim::sio_write_text(*board_for(*this, __func__, text), __func__, text);
}
int CxKX310Sio::Read(char* buffer, int size) {
    auto b = board_for(*this, __func__, zolsim::Out{buffer}, size);
    return zolsim::sio_read(*b, __func__, buffer, size);
}
void CxKX310Sio::SetCameraMode(const char* mode) {
    zolsim::sio_camera_mode(*board_for(*this, __func__, mode), __func__, mode);
}

} // namespace Video
} // namespace zol
