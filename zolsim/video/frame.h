// The frame a board delivers, shared by the acquisition engine's files: its layout from the
// board's settings, whether an image takes it (video/test_pattern.cpp), and the test pattern
// written into it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "video/video.h"

namespace zolsim {
namespace capture {

struct Frame {
    int width, height;
    PixelLayout px;
};

const char* format_name(zol::ExPixelFormat format); // "Mono8", ...
// The frame the board's Width, Height and PixelFormat settings give.
Frame frame_size(Board& b);
// Whether `image` takes the frame: the frame's format and at least its size.
bool fits(const zol::CxImage& image, const Frame& f);
// Refuses an image that does not take the frame: ImageFormat or ImageTooSmall for `op`.
void check_fits(const char* op, const zol::CxImage& image, const Frame& f);
// check_fits for every image of a ring; null entries are skipped.
void check_ring(const char* op, zol::CxImage* const* images, std::size_t count, const Frame& f);
// Writes the test pattern of frame k into `image`, which takes the frame.
void write_pattern(zol::CxImage& image, std::uint32_t k, const Frame& f);

} // namespace capture
} // namespace zolsim
