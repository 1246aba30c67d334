// The facts of the simulated rack, each stated once: which boards it holds and their names, how
// many boards of each type and channels of each capture board, and the versions the boards
// report. The families, the settings catalogues and Api read them from here.
#pragma once

#include <cstdint>
#include <string_view>

#include <zol/zol.h>

namespace zolsim {

// ---- size -----------------------------------------------------------------------------------
// Boards of each type (ids 0 to kRackBoards - 1) and channels of each capture board (0 to
// kRackChannels - 1).
constexpr int kRackBoards = 4;
constexpr int kRackChannels = 2;

inline bool rack_id(int id) { return id >= 0 && id < kRackBoards; }
inline bool rack_channel(int ch) { return ch >= 0 && ch < kRackChannels; }

// ---- capture boards -------------------------------------------------------------------------
struct CaptureBoardName {
    zol::ExDevice device;
    const char* name;
};
constexpr CaptureBoardName kCaptureBoards[] = {
    {zol::ExDevice::KX210, "KX210"},
    {zol::ExDevice::TR520, "TR520"},
    {zol::ExDevice::KX310, "KX310"},
};

// The capture board of that name, or null.
inline const CaptureBoardName* capture_board_named(std::string_view name) {
    for (const CaptureBoardName& b : kCaptureBoards)
        if (name == b.name)
            return &b;
    return nullptr;
}

// Defined in video/rack.cpp from the table above.
const char* board_name(zol::ExDevice type); // "KX210", ...; "?" for no capture board
bool known_device(int type);                 // a capture board's device type

// ---- I/O boards -----------------------------------------------------------------------------
enum class DioType { MB100 = 0, RM1600 = 1, DQ160 = 2 };
constexpr int kDioTypes = 3;
constexpr const char* kDioBoardNames[kDioTypes] = {"MB100", "RM1600", "DQ160"};

inline const char* dio_board_name(DioType type) { return kDioBoardNames[static_cast<int>(type)]; }

// ---- versions -------------------------------------------------------------------------------
// A version as the boards report it, from its parts (one decimal digit each; no patch for the
// short form): `number` 0xMMmm or 0xMMmmpp, `text` "M.m" or "M.m.p".
template <int Major, int Minor, int Patch = -1> struct Version {
    static_assert(Major >= 0 && Major < 10 && Minor >= 0 && Minor < 10 && Patch < 10,
                  "one digit a part");
    static constexpr std::int64_t number =
        Patch < 0 ? Major << 8 | Minor : Major << 16 | Minor << 8 | Patch;
    static constexpr char text[] = {char('0' + Major),        '.', char('0' + Minor),
                                    Patch < 0 ? '\0' : '.', Patch < 0 ? '\0' : char('0' + Patch),
                                    '\0'};
};

// The driver, this library (libzol_unit.so.1.2): 0x010200, "1.2.0".
using DriverVersion = Version<1, 2, 0>;
// The FPGA of the capture boards: 0x0102, "1.2" (the KX310 reports the text, the others the
// number).
using CaptureFpgaVersion = Version<1, 2>;
// The FPGA of the I/O boards: 0x030100, "3.1.0".
using DioFpgaVersion = Version<3, 1, 0>;

} // namespace zolsim
