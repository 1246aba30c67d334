// Control surface of the simulated device library (our stand-in for libzol_unit.so.1.2).
//
// Tests and scripts use it to see what the library was asked to do (the journal), to make
// operations fail on demand (faults), to count live library objects, and to drive the
// simulated hardware (inputs, interrupts, the camera at the end of a serial link, ...).
// Not present when building against the maker's library.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "zol.h"

namespace zol {
namespace sim {

// Fresh rack: closes nothing that is still referenced, but every later Open finds new
// boards; clears the journal, the faults and the serial-number counters.
ZOL_API void Reset();

// ---- journal of library calls -------------------------------------------------------------
ZOL_API void SetJournal(bool on);
ZOL_API bool JournalOn();
ZOL_API std::vector<std::string> Journal(); // every entry kept (since the last clear or reset)
// Positions count every entry ever recorded, cleared ones too, so a position taken before a
// clear still marks the same point: JournalFrom(JournalSize()) later gives what came since.
ZOL_API std::size_t JournalSize();
ZOL_API std::vector<std::string> JournalFrom(std::size_t position);
ZOL_API void ClearJournal();

// ---- fault injection ----------------------------------------------------------------------
// The next `count` calls of `op` ("CxMB100::Open") on any object of that class throw
// CxException(status, function, file, line). Null function or file stay null in the exception.
// An operation the library does not have, or a count below 1, throws std::invalid_argument.
ZOL_API void Fail(const std::string& op, int status, const char* function, const char* file,
                  int line, int count);
ZOL_API void ClearFaults();
ZOL_API int PendingFaults(const std::string& op);
// Every operation a fault can be armed for ("Api::GetDeviceInfo", "CxDQ160::Abort", ...), sorted.
ZOL_API std::vector<std::string> Operations();

// ---- objects --------------------------------------------------------------------------------
ZOL_API long LiveObjects(); // CxModule objects alive now

// ---- I/O boards: board is "MB100", "RM1600" or "DQ160", id 0 to 3 -----------------------------
ZOL_API void SetInputs(const std::string& board, int id, unsigned int word);
ZOL_API unsigned int Inputs(const std::string& board, int id);
ZOL_API unsigned int Outputs(const std::string& board, int id);
ZOL_API void SetLoopback(const std::string& board, int id, bool on); // inputs follow outputs
ZOL_API void Interrupt(const std::string& board, int id);           // pulse the interrupt input
ZOL_API int Waiters(const std::string& board, int id);              // threads inside Wait
ZOL_API bool BoardOpened(const std::string& board, int id);

// ---- boards taken out of the rack ----------------------------------------------------------------
// `board` is any board type of the rack ("MB100", ..., "KX210", ...), `id` 0 to 3 (a capture
// board with all its channels). Unplugged, every operation of a handle open on the board refuses
// with NoDevice, and so does Open; the waits in progress end with NoDevice, a capture in
// progress is aborted. Replugged, Open works again (handles opened before must open again).
// sim::Reset puts every board back (the rack's boards are new).
ZOL_API void Unplug(const std::string& board, int id);
ZOL_API void Replug(const std::string& board, int id);
ZOL_API bool Plugged(const std::string& board, int id);

// ---- wiring between the rack's boards -----------------------------------------------------------
// A terminal: board "MB100", "RM1600", "DQ160", "KX210", "KX310" or "TR520", its id (0 to 3),
// the terminal and its index. I/O boards: "out" and "in", index the bit (0 to 31). Capture
// boards, index the channel (0, 1): "trigger" (external trigger input), "line" (line trigger
// input, KX210 and KX310), "strobe" (exposure output) and "encoder" (the encoder unit's trigger output).
struct Terminal {
    std::string board;
    int id = 0;
    std::string port;
    int index = 0;
};
// Wires an output (out, strobe, encoder) to an input (in, trigger, line). Refused with
// std::invalid_argument, nothing wired: an unknown board, terminal, id or index; a source that
// is an input or a sink that is an output; a board wired to itself (the encoder only to the
// trigger or line input of its own channel); an input another output drives already; a wire
// that exists. The input takes the output's level at once (a high output makes an edge).
ZOL_API void Wire(const Terminal& source, const Terminal& sink);
// Takes the wire out (the input falls low); std::invalid_argument when there is none.
ZOL_API void Unwire(const Terminal& source, const Terminal& sink);
// Every wire, in the order they were made.
ZOL_API std::vector<std::pair<Terminal, Terminal>> Wiring();

} // namespace sim
} // namespace zol
