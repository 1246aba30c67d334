// The frame and the test pattern: the frame's layout from the board's settings, whether an
// image takes it, and the pattern every simulated frame carries (a gradient that moves one row
// a frame, the frame number drawn in a 3x5 font and stamped in its first bytes). sim's
// DrawTestFrame draws the same pattern for tests.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <zol/sim_video.h>

#include "video/frame.h"

namespace zolsim {
namespace capture {

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
// for the message). The loop is short enough for the processor to have many images in flight at
// once; an explicit prefetch a few places ahead only added a dependent load to each step.
void check_ring(const char* op, zol::CxImage* const* images, std::size_t count, const Frame& f) {
    for (std::size_t i = 0; i < count; ++i) {
        if (images[i] && !fits(*images[i], f))
            check_fits(op, *images[i], f);
    }
}

namespace {

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
struct Masters {
    std::mutex m;
    Master last;
    Frame made{0, 0, {zol::ExPixelFormat::Mono8, 0}};
};
Master master_for(const Frame& f, std::size_t bpp) {
    // Never destroyed (see core.h): a board the process never closed still captures while the
    // exit handlers run, and its acquisition thread comes here for every frame.
    static Masters* const masters = new Masters;
    std::lock_guard<std::mutex> lock(masters->m);
    const Frame& made = masters->made;
    if (!masters->last || made.width != f.width || made.height != f.height ||
        made.px.format != f.px.format || made.px.bits != f.px.bits) {
        const std::size_t row = static_cast<std::size_t>(f.width) * bpp;
        const std::size_t rows = static_cast<std::size_t>(f.height) + 256;
        auto pixels = std::make_shared<std::vector<unsigned char>>(rows * row);
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t x = 0; x < static_cast<std::size_t>(f.width); ++x)
                pattern_pixel(&(*pixels)[r * row + x * bpp], x, r, f.px);
        masters->last = std::move(pixels);
        masters->made = f;
    }
    return masters->last;
}

} // namespace

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
