// What the companions of the capture boards share (settings objects in video/settings.cpp,
// serial links in video/serial.cpp, encoder units in video/encoder.cpp): the rules by which
// they attach to a board handle (or a video device standing for a board of the same type),
// compare and are valid, defined in video/companions.cpp, and the way a member reaches the
// rack board it works on.
#pragma once

#include <memory>
#include <string>

#include "common/companion.h"
#include "video/video.h"

namespace zolsim {

// The family rules the companion templates (common/companion.h) apply.
struct VideoCompanions {
    // Attaches to a board or video handle of type `device` (null: detaches); InvalidArgument
    // for any other module.
    static void attach(CompanionHandle& h, zol::IxModule* module, zol::ExDevice device,
                       const char* op);
    // Companions are equal when their boards are the same rack board; without boards, when
    // they are attached to the same handle object.
    static bool same(const CompanionHandle& a, const CompanionHandle& b);
    // Attached to a handle that still exists and is not disposed.
    static bool valid(const CompanionHandle& h);
};

// The rack board of the handle a companion is attached to: NoController when detached,
// NoObject when the handle no longer exists, then the handle's own refusals (NotOpened, ...).
std::shared_ptr<Board> board_of(const CompanionHandle& h, const char* op);

// Journals the operation `op` of companion `self` with its arguments (applying a fault
// injected there), then gives the rack board `self` works on.
template <class C, class... A>
std::shared_ptr<Board> board_for(const C& self, const char* op, const A&... args) {
    journal_and_fault(&self, op, args...);
    return board_of(*PrivateAccess::handle(self), op);
}

// A typed setting of the board's store, named after its member `op` with `prefix` before it
// ("SIO" for the serial link's Timeout, "ENC" for most of the encoder's).
template <class C, class T>
void set_setting(const C& self, const char* op, T value, const char* prefix = "") {
    board_for(self, op, value)->settings.number(prefix + std::string(op), value);
}
template <class T, class C> T get_setting(const C& self, const char* op, const char* prefix = "") {
    return static_cast<T>(board_for(self, op)->settings.number(prefix + std::string(op)));
}

// The rack board a test names (for the control surface, sim_video.h): its type by name
// ("KX210", "KX310", "TR520"; NoDevice otherwise), id and channel.
std::shared_ptr<Board> named_board(const std::string& board, int id, int ch, const char* op);

} // namespace zolsim
