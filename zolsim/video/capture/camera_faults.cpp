// Faults of the camera at the far end of a board channel, for tests: a camera that stops sending
// and frames that arrive cut short. The acquisition thread (session.cpp) reads the board's marks.
#include <memory>
#include <mutex>
#include <vector>

#include <zol/sim_video.h>

#include "video/companions.h"

namespace zol {
namespace sim {

void CameraSilent(const std::string& board, int id, int ch, bool on) {
    auto b = zolsim::named_board(board, id, ch, __func__);
    std::vector<std::shared_ptr<zolsim::Session>> bound;
    {
        std::lock_guard<std::mutex> lock(b->m);
        b->silent = on;
        for (const auto& w : b->runs)
            if (auto sp = w.lock())
                bound.push_back(std::move(sp));
    }
    // A run waiting for the camera goes on.
    for (const auto& sp : bound) {
        std::lock_guard<std::mutex> lock(sp->m);
        sp->cv.notify_all();
    }
}

void ShortFrames(const std::string& board, int id, int ch, int lines, int count) {
    if (lines < 0 || count < 0)
        ZOLSIM_RAISE(InvalidArgument, __func__, "negative line or frame count");
    auto b = zolsim::named_board(board, id, ch, __func__);
    std::lock_guard<std::mutex> lock(b->m);
    b->short_lines = lines;
    b->short_count = count;
}

} // namespace sim
} // namespace zol
