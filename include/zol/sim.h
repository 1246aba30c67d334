// Control surface of the simulated device library (our stand-in for libzol_unit.so.1.2).
//
// Tests and scripts use it to see what the library was asked to do (the journal), to make
// operations fail on demand (faults), to count live library objects, and to drive the
// simulated hardware (inputs, interrupts, the camera at the end of a serial link, ...).
// Not present when building against the maker's library.
#pragma once

#include <string>
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

} // namespace sim
} // namespace zol
