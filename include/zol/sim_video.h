// Control surface of the simulated device library for the video family: drives the camera at
// the far end of a capture board's serial link and the encoder input of a capture board.
// Not present when building against the maker's library.
//
// `board` is "KX210", "KX310" or "TR520", `id` 0 to 3, `ch` 0 or 1 (the rack board, created
// on demand as an Open would). Anything else throws CxException (NoDevice, InvalidArgument).
#pragma once

#include <string>

#include "zol.h"

namespace zol {
namespace sim {

// Threads blocked in a wait (Wait, WaitStatus, WaitEvent, ...) of a handle of that board
// channel, so that a test can act once another thread is really waiting.
ZOL_API int CaptureWaiters(const std::string& board, int id, int ch);
// Bytes arriving from the camera: the next ReadByte/Read of the link returns them.
ZOL_API void SioFeed(const std::string& board, int id, int ch, const std::string& bytes);
// Every byte the camera received since the last call (the call clears them).
ZOL_API std::string SioSent(const std::string& board, int id, int ch);
// Whether the board channel's serial link is open.
ZOL_API bool SioOpened(const std::string& board, int id, int ch);
// The bytes the camera sends next through the link: the next `count` are lost (SioDrop), or
// arrive with every bit inverted (SioGarble; after the lost ones when both are set); negative:
// InvalidArgument. What the camera receives is untouched.
ZOL_API void SioDrop(const std::string& board, int id, int ch, int count);
ZOL_API void SioGarble(const std::string& board, int id, int ch, int count);
// The camera of the board channel stops sending (`on`) or sends again: meanwhile no frame
// arrives (waits run into the board's Timeout setting) and a trigger taken makes no frame.
ZOL_API void CameraSilent(const std::string& board, int id, int ch, bool on);
// The next `count` frames of the board channel arrive with only `lines` lines (0 up to the
// frame's height; the rest of the image keeps what it held): the status record's line_count and
// amount, and CapturedFrame's lines, say so. Negative values: InvalidArgument.
ZOL_API void ShortFrames(const std::string& board, int id, int ch, int lines, int count);
// Pulses at the encoder input: positive forward, negative backward (Dir and SwapAB of the
// board each reverse the direction). TR520 has no encoder input: NotSupported.
ZOL_API void EncoderPulses(const std::string& board, int id, int ch, int count);
// Writes frame `number` of the boards' test pattern into `image`, as a board whose camera file
// sets that PixelFormat and the image's size delivers it. An unknown format, or an image not
// of that format's layout: InvalidArgument.
ZOL_API void DrawTestFrame(CxImage& image, unsigned number, const std::string& pixel_format);

// ---- triggers and frames of an acquisition run ---------------------------------------------------
// `handle` is a board (CxKX210, CxKX310, CxTR520) or video handle; its current run, or the last
// one once it ended. Anything else: InvalidArgument (null: NullPointer).
//
// The triggers the run received: `detected` every trigger edge (ForceTrigger and the wired
// inputs alike), `taken` those that made a frame or will, `missed` those that came while the
// board was still exposing or inside its mask time.
struct TriggerCounts {
    unsigned detected = 0, taken = 0, missed = 0;
};
ZOL_API TriggerCounts Triggers(CxModule* handle);
// What the board recorded of frame `frame` of the run: the number of the trigger that made it
// (0: free-running), when its exposure began (nanoseconds of the monotonic clock, the clock of
// Python's time.monotonic_ns) and the lines it holds. `known` is false for a frame not captured
// yet, or older than the board keeps (the last 4096 frames, or a ring's worth if that is more).
struct FrameInfo {
    bool known = false;
    unsigned frame = 0, trigger = 0;
    long long start_ns = 0;
    int lines = 0;
};
ZOL_API FrameInfo CapturedFrame(CxModule* handle, unsigned frame);

} // namespace sim
} // namespace zol
