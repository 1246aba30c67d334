// Settings objects of the digital-I/O boards (CxMB100Param, CxRM1600Param, CxDQ160Param) and
// the catalogue of settings each board keeps.
#include "companion.h"
#include "dio.h"

#include <string>

namespace zolsim {

namespace {

using K = Kind;
constexpr bool RW = true;
constexpr bool RO = false;

// Version numbers, 0xMMmmpp, and their text forms.
constexpr std::int64_t kDriverVersion = 0x010200;
constexpr const char* kDriverVersionName = "1.2.0";
constexpr std::int64_t kFpgaVersion = 0x030100;
constexpr const char* kFpgaVersionName = "3.1.0";

// Default edges: every input reports rising edges once it is enabled.
constexpr std::int64_t kAllRising = 0xffffffff;
constexpr std::int64_t kDefaultTimeout = 1000; // milliseconds

} // namespace

// Writable settings come first, in the order a settings file lists them.
std::vector<SettingDef> dio_catalogue(DioType type, int id) {
    if (type == DioType::RM1600)
        return {
            {"Timeout", K::Signed, RW, kDefaultTimeout, nullptr},
            {"DIEnable", K::Unsigned, RW, 0, nullptr},
            {"DIEdge", K::Unsigned, RW, kAllRising, nullptr},
            {"DIWaitEnable", K::Unsigned, RW, 0, nullptr},
            {"DINoiseFilterTime", K::Signed, RW, 0, nullptr},
            {"Version", K::Signed, RW, 1, nullptr},
            {"DeviceID", K::Signed, RO, id, nullptr},
            {"DeviceType", K::Signed, RO, 1600, nullptr},
            {"DriverVersion", K::Signed, RO, kDriverVersion, nullptr},
            {"FpgaVersion", K::Signed, RO, kFpgaVersion, nullptr},
            {"DriverVersionName", K::Text, RO, 0, kDriverVersionName},
            {"FpgaVersionName", K::Text, RO, 0, kFpgaVersionName},
        };
    // The MB100 and the DQ160 share the settings of the interrupt input and of the identity;
    // the DQ160 adds its noise filters and its FPGA version.
    const bool dq160 = type == DioType::DQ160;
    std::vector<SettingDef> c = {
        {"Timeout", K::Signed, RW, kDefaultTimeout, nullptr},
        {"INTEnable", K::Signed, RW, 0, nullptr},
        {"INTEdge", K::Signed, RW, 0, nullptr},
        {"INTWaitEnable", K::Signed, RW, 1, nullptr},
        {"DIEnable", K::Unsigned, RW, 0, nullptr},
        {"DIEdge", K::Unsigned, RW, kAllRising, nullptr},
        {"DIWaitEnable", K::Unsigned, RW, 0, nullptr},
        {"DIWaitMode", K::Signed, RW, 0, nullptr},
    };
    if (dq160)
        c.insert(c.end(), {
                              {"DINoiseFilterWidth", K::Signed, RW, 0, nullptr},
                              {"DINoiseFilterScale", K::Signed, RW, 0, nullptr},
                              {"INTNoiseFilterWidth", K::Signed, RW, 0, nullptr},
                              {"INTNoiseFilterScale", K::Signed, RW, 0, nullptr},
                          });
    c.insert(c.end(), {
                          {"Version", K::Signed, RW, 1, nullptr},
                          {"INTStatus", K::Signed, RO, 0, nullptr},
                          {"DeviceID", K::Signed, RO, id, nullptr},
                          {"DeviceType", K::Signed, RO, dq160 ? 160 : 100, nullptr},
                          {"DriverVersion", K::Signed, RO, kDriverVersion, nullptr},
                      });
    if (dq160)
        c.push_back({"FpgaVersion", K::Signed, RO, kFpgaVersion, nullptr});
    return c;
}

namespace {

// The open board behind a settings object: NoController when detached, NoObject when its board
// handle no longer exists, then the board handle's own refusals (Disposed, NotOpened).
std::shared_ptr<DioBoard> companion_board(const CompanionHandle& h, const char* op) {
    if (!h.controller)
        ZOLSIM_RAISE(NoController, op, "the settings object is not attached to a board");
    if (!alive(h.controller))
        ZOLSIM_RAISE(NoObject, op, "the board handle of the settings object no longer exists");
    return dio_open_board(*static_cast<const zol::DIO::CxDIOPort*>(h.controller.object), op);
}

// Attaches a settings object to a board handle of class `Board`; a module of another class is
// refused.
template <class Board>
void attach(CompanionHandle& h, zol::IxModule* module, ClassTag<Board>, const char* op) {
    if (!module) {
        h.controller = Ref{};
        return;
    }
    Board* board = dynamic_cast<Board*>(module);
    if (!board)
        ZOLSIM_RAISE(InvalidArgument, op, "the module is not a board of this settings class");
    h.controller = make_ref(board);
}

// Settings objects are equal when they are attached to the same board handle, or both to none.
bool same(const CompanionHandle& a, const CompanionHandle& b) {
    return a.controller.object == b.controller.object &&
           a.controller.serial == b.controller.serial;
}

bool valid(const CompanionHandle& h) {
    zol::CxModule* m = live_controller(h);
    return m && !Access::handle(*static_cast<const zol::DIO::CxDIOPort*>(m))->disposed.load();
}

std::int64_t get_number(const CompanionHandle& h, const char* setting) {
    return companion_board(h, setting)->settings.number(setting);
}

void set_number(const CompanionHandle& h, const char* setting, std::int64_t value) {
    std::shared_ptr<DioBoard> b = companion_board(h, setting);
    b->settings.number(setting, value);
    dio_settings_changed(*b);
}

void get_param(const CompanionHandle& h, const char* name, void* value, zol::TxModel model) {
    ZOLSIM_REQUIRE(name, "GetParam");
    ZOLSIM_REQUIRE(value, "GetParam");
    companion_board(h, "GetParam")->settings.get("GetParam", name, value, model);
}

void set_param(const CompanionHandle& h, const char* name, const void* value,
               zol::TxModel model) {
    ZOLSIM_REQUIRE(name, "SetParam");
    ZOLSIM_REQUIRE(value, "SetParam");
    std::shared_ptr<DioBoard> b = companion_board(h, "SetParam");
    b->settings.set("SetParam", name, value, model);
    dio_settings_changed(*b);
}

void check_register(unsigned int reg, const char* op) {
    if (reg >= kDioRegisters)
        ZOLSIM_RAISE(InvalidArgument, op,
                     "register " + std::to_string(reg) + " is not below " +
                         std::to_string(kDioRegisters));
}

void set_register(const CompanionHandle& h, unsigned int reg, unsigned int value) {
    std::shared_ptr<DioBoard> b = companion_board(h, "SetRegister");
    check_register(reg, "SetRegister");
    std::lock_guard<std::mutex> lock(b->mutex);
    b->registers[reg] = value;
}

void get_register(const CompanionHandle& h, unsigned int reg, unsigned int* value) {
    ZOLSIM_REQUIRE(value, "GetRegister");
    std::shared_ptr<DioBoard> b = companion_board(h, "GetRegister");
    check_register(reg, "GetRegister");
    std::lock_guard<std::mutex> lock(b->mutex);
    *value = b->registers[reg];
}

} // namespace
} // namespace zolsim

namespace zol {
namespace DIO {

// What the three settings classes share beyond the companion members: the name-keyed access,
// commands and registers. `Board` is the board class they attach to.
#define ZOLSIM_DIO_PARAM(Param, Board)                                                             \
    ZOLSIM_COMPANION(Param, Board, zolsim::ClassTag<Board>{})                                      \
    void Param::GetParam(const char* name, void* value, TxModel model) {                           \
        zolsim::call(this, "GetParam", name, zolsim::Out{value}, model);                           \
        zolsim::get_param(*h_, name, value, model);                                                \
    }                                                                                              \
    void Param::SetParam(const char* name, const void* value, TxModel model) {                     \
        zolsim::call(this, "SetParam", name, zolsim::Value{value, model}, model);                  \
        zolsim::set_param(*h_, name, value, model);                                                \
    }                                                                                              \
    void Param::SendCommand(const char* name, void* scratch, TxModel model) {                      \
        zolsim::call(this, "SendCommand", name, zolsim::Out{scratch}, model);                      \
        ZOLSIM_REQUIRE(name, "SendCommand");                                                       \
        ZOLSIM_RAISE(UnknownCommand, "SendCommand",                                                \
                     std::string("the I/O board settings have no command '") + name + "'");        \
    }                                                                                              \
    void Param::SetRegister(unsigned int reg, unsigned int value) {                                \
        zolsim::call(this, "SetRegister", reg, value);                                             \
        zolsim::set_register(*h_, reg, value);                                                     \
    }                                                                                              \
    void Param::GetRegister(unsigned int reg, unsigned int* value) const {                         \
        zolsim::call(this, "GetRegister", reg, zolsim::Out{value});                                \
        zolsim::get_register(*h_, reg, value);                                                     \
    }                                                                                              \
    IxModule* Param::GetDeviceModule() const {                                                     \
        zolsim::call(this, "GetDeviceModule");                                                     \
        return zolsim::controller_as<Board>(*h_);                                                  \
    }

// A typed setting: the setter and getter of the same name read and write the board's setting
// of that name, the one GetParam and SetParam reach.
#define ZOLSIM_DIO_SETTING(Param, Setting, Type)                                                   \
    void Param::Setting(Type value) {                                                              \
        zolsim::call(this, #Setting, value);                                                       \
        zolsim::set_number(*h_, #Setting, value);                                                  \
    }                                                                                              \
    Type Param::Setting() const {                                                                  \
        zolsim::call(this, #Setting);                                                              \
        return static_cast<Type>(zolsim::get_number(*h_, #Setting));                               \
    }

ZOLSIM_DIO_PARAM(CxMB100Param, CxMB100)
ZOLSIM_DIO_SETTING(CxMB100Param, Timeout, int)
ZOLSIM_DIO_SETTING(CxMB100Param, INTEdge, int)

ZOLSIM_DIO_PARAM(CxRM1600Param, CxRM1600)
ZOLSIM_DIO_SETTING(CxRM1600Param, Timeout, int)
ZOLSIM_DIO_SETTING(CxRM1600Param, DIEnable, unsigned int)
ZOLSIM_DIO_SETTING(CxRM1600Param, DIEdge, unsigned int)
ZOLSIM_DIO_SETTING(CxRM1600Param, DIWaitEnable, unsigned int)

ZOLSIM_DIO_PARAM(CxDQ160Param, CxDQ160)
ZOLSIM_DIO_SETTING(CxDQ160Param, Timeout, int)
ZOLSIM_DIO_SETTING(CxDQ160Param, INTEnable, int)
ZOLSIM_DIO_SETTING(CxDQ160Param, INTEdge, int)
ZOLSIM_DIO_SETTING(CxDQ160Param, INTWaitEnable, int)
ZOLSIM_DIO_SETTING(CxDQ160Param, DIEnable, unsigned int)
ZOLSIM_DIO_SETTING(CxDQ160Param, DIEdge, unsigned int)
ZOLSIM_DIO_SETTING(CxDQ160Param, DIWaitEnable, unsigned int)
ZOLSIM_DIO_SETTING(CxDQ160Param, DIWaitMode, int)

#undef ZOLSIM_DIO_SETTING
#undef ZOLSIM_DIO_PARAM

} // namespace DIO
} // namespace zol
