// Boards taken out of the rack and put back (sim::Unplug, sim::Replug), as a board whose cable
// is pulled or whose bus drops it: the family of the board named does what that means for it.
#include <cstring>

#include <zol/sim.h>

#include "dio/dio.h"
#include "video/video.h"

namespace zolsim {
namespace {

void plug(const std::string& board, int id, bool in, const char* op) {
    if (const CaptureBoardName* named = capture_board_named(board)) {
        for (int ch = 0; ch < kRackChannels; ++ch)
            capture::plug(*rack_board(named->device, id, ch, op), in);
        return;
    }
    dio_plug(dio::board_type(board.c_str(), op), id, in, op);
}

} // namespace
} // namespace zolsim

namespace zol {
namespace sim {

void Unplug(const std::string& board, int id) { zolsim::plug(board, id, false, __func__); }

void Replug(const std::string& board, int id) { zolsim::plug(board, id, true, __func__); }

bool Plugged(const std::string& board, int id) {
    if (const zolsim::CaptureBoardName* named = zolsim::capture_board_named(board))
        return !zolsim::rack_board(named->device, id, 0, __func__)->unplugged.load();
    return !zolsim::dio::rack_board(zolsim::dio::board_type(board.c_str(), __func__), id, __func__)
                ->unplugged.load();
}

} // namespace sim
} // namespace zol
