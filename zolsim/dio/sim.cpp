// The control surface of the I/O boards: tests drive a board's inputs and interrupt and watch
// its outputs, its waiters and whether it is open. Boards are named by type ("MB100", ...) and
// id, as in the rack.
#include "dio/dio.h"

#include <string>

#include <zol/sim.h>

namespace zol {
namespace sim {

namespace {
std::shared_ptr<zolsim::DioBoard> sim_board(const std::string& board, int id, const char* op) {
    return zolsim::dio::rack_board(zolsim::dio::board_type(board.c_str(), op), id, op);
}
} // namespace

void SetInputs(const std::string& board, int id, unsigned int word) {
    auto b = sim_board(board, id, __func__);
    std::lock_guard<std::mutex> lock(b->mutex);
    b->driven = word;
    zolsim::dio::refresh_inputs(*b);
}

unsigned int Inputs(const std::string& board, int id) {
    return sim_board(board, id, __func__)->inputs.load(std::memory_order_acquire);
}

unsigned int Outputs(const std::string& board, int id) {
    return sim_board(board, id, __func__)->outputs.load(std::memory_order_acquire);
}

void SetLoopback(const std::string& board, int id, bool on) {
    auto b = sim_board(board, id, __func__);
    std::lock_guard<std::mutex> lock(b->mutex);
    b->loopback = on;
    zolsim::dio::refresh_inputs(*b);
}

// A pulse latches one INT event on an open board whose interrupt is enabled; the edge setting
// does not matter for a pulse. The RM1600 has no interrupt input.
void Interrupt(const std::string& board, int id) {
    auto b = sim_board(board, id, __func__);
    if (!zolsim::dio_has_interrupt(b->type))
        ZOLSIM_RAISE(NotSupported, __func__, "the " + board + " board has no interrupt input");
    std::lock_guard<std::mutex> lock(b->mutex);
    if (!b->opened.load(std::memory_order_relaxed) || b->settings.number("INTEnable") == 0)
        return;
    zolsim::dio::set_int_event(*b, true);
    b->wake.notify_all();
}

int Waiters(const std::string& board, int id) {
    auto b = sim_board(board, id, __func__);
    std::lock_guard<std::mutex> lock(b->mutex);
    return static_cast<int>(b->waiters.size());
}

bool BoardOpened(const std::string& board, int id) {
    return sim_board(board, id, __func__)->opened.load(std::memory_order_acquire);
}

} // namespace sim
} // namespace zol
