// Settings objects of the digital-I/O boards: CxMB100Param, CxRM1600Param, CxDQ160Param. What
// every companion shares comes from common/companion.h, under the rules of DioCompanions below;
// what the three share beyond it is below as templates over the settings class; each member
// forwards to them under its own name (`__func__`: in a constructor, the class's name, which the
// object is journaled and counted under), and that name also names it in its errors. The board class a settings class attaches to is named where it attaches (From,
// Controller) and where it is handed back (Controller(), GetDeviceModule).
#include "common/companion.h"
#include "dio/dio.h"

#include <string>
#include <utility>

namespace zolsim {
namespace dio_param {
namespace {

template <class Param> CompanionHandle& handle(const Param& self) {
    return *PrivateAccess::handle(self);
}

// The open board behind a settings object: NoController when detached, NoObject when its board
// handle no longer exists, then the board handle's own refusals (Disposed, NotOpened).
template <class Param> std::shared_ptr<DioBoard> board(const Param& self, const char* op) {
    const CompanionHandle& h = handle(self);
    if (!h.controller)
        ZOLSIM_RAISE(NoController, op, "the settings object is not attached to a board");
    if (!alive(h.controller))
        ZOLSIM_RAISE(NoObject, op, "the board handle of the settings object no longer exists");
    return dio_open_board(*static_cast<const zol::DIO::CxDIOPort*>(h.controller.object), op);
}

// The rules the companion templates (common/companion.h) apply to the I/O boards' settings objects.
struct DioCompanions {
    // Attaches to a board handle of class B (null: detaches); a module of another class is
    // refused.
    template <class B>
    static void attach(CompanionHandle& h, zol::IxModule* module, ClassTag<B>, const char* op) {
        if (!module) {
            h.controller = Ref{};
            return;
        }
        B* board = dynamic_cast<B*>(module);
        if (!board)
            ZOLSIM_RAISE(InvalidArgument, op, "the module is not a board of this settings class");
        h.controller = make_ref(board);
    }
    // Equal when attached to the same board handle, or both to none.
    static bool same(const CompanionHandle& a, const CompanionHandle& b) {
        return a.controller.object == b.controller.object &&
               a.controller.serial == b.controller.serial;
    }
    // Valid while attached to a board handle that exists and was not disposed.
    static bool valid(const CompanionHandle& h) {
        const auto* port = static_cast<const zol::DIO::CxDIOPort*>(live_controller(h));
        return port && !PrivateAccess::handle(*port)->disposed.load();
    }
};

// ---- the board's settings, commands and registers -----------------------------------------------

// A typed setting: the setter and getter of the same name read and write the board's setting of
// that name, the one GetParam and SetParam reach.
template <class Param, class T> void set_setting(Param& self, const char* setting, T value) {
    journal_and_fault(&self, setting, value);
    std::shared_ptr<DioBoard> b = board(self, setting);
    b->settings.number(setting, value);
    dio_settings_changed(*b);
}

template <class T, class Param> T setting(const Param& self, const char* setting) {
    journal_and_fault(&self, setting);
    return static_cast<T>(board(self, setting)->settings.number(setting));
}

template <class Param>
void get_param(Param& self, const char* op, const char* name, void* value, zol::TxModel model) {
    journal_and_fault(&self, op, name, Out{value}, model);
    ZOLSIM_REQUIRE(name, op);
    ZOLSIM_REQUIRE(value, op);
    board(self, op)->settings.get(op, name, value, model);
}

template <class Param>
void set_param(Param& self, const char* op, const char* name, const void* value,
               zol::TxModel model) {
    journal_and_fault(&self, op, name, Value{value, model}, model);
    ZOLSIM_REQUIRE(name, op);
    ZOLSIM_REQUIRE(value, op);
    std::shared_ptr<DioBoard> b = board(self, op);
    b->settings.set(op, name, value, model);
    dio_settings_changed(*b);
}

template <class Param>
void send_command(Param& self, const char* op, const char* name, void* scratch,
                  zol::TxModel model) {
    journal_and_fault(&self, op, name, Out{scratch}, model);
    ZOLSIM_REQUIRE(name, op);
    ZOLSIM_RAISE(UnknownCommand, op,
                 std::string("the I/O board settings have no command '") + name + "'");
}

void check_register(unsigned int reg, const char* op) {
    if (reg >= kDioRegisters)
        ZOLSIM_RAISE(InvalidArgument, op,
                     "register " + std::to_string(reg) + " is not below " +
                         std::to_string(kDioRegisters));
}

template <class Param>
void set_register(Param& self, const char* op, unsigned int reg, unsigned int value) {
    journal_and_fault(&self, op, reg, value);
    std::shared_ptr<DioBoard> b = board(self, op);
    check_register(reg, op);
    std::lock_guard<std::mutex> lock(b->mutex);
    b->registers[reg] = value;
}

template <class Param>
void get_register(const Param& self, const char* op, unsigned int reg, unsigned int* value) {
    journal_and_fault(&self, op, reg, Out{value});
    ZOLSIM_REQUIRE(value, op);
    std::shared_ptr<DioBoard> b = board(self, op);
    check_register(reg, op);
    std::lock_guard<std::mutex> lock(b->mutex);
    *value = b->registers[reg];
}

} // namespace
} // namespace dio_param
} // namespace zolsim

namespace zol {
namespace DIO {

namespace param = zolsim::dio_param;
using Rules = zolsim::dio_param::DioCompanions;
template <class B> using Tag = zolsim::ClassTag<B>;

// ---- CxMB100Param -------------------------------------------------------------------------------

CxMB100Param::CxMB100Param() : CxModule(__func__), h_(zolsim::detached_handle()) {}
CxMB100Param::CxMB100Param(const CxMB100Param& other)
    : CxModule(__func__), h_(zolsim::copied_handle(other)) {}
CxMB100Param::CxMB100Param(CxMB100Param&& other)
    : CxModule(__func__, std::move(other)), h_(zolsim::taken_handle(other)) {}
CxMB100Param& CxMB100Param::operator=(const CxMB100Param& other) {
    return zolsim::companion_assign(*this, other);
}
CxMB100Param::~CxMB100Param() = default;
bool CxMB100Param::operator==(const CxMB100Param& o) const {
    return zolsim::companion_equal<Rules>(*this, o, __func__);
}
bool CxMB100Param::operator!=(const CxMB100Param& o) const {
    return !zolsim::companion_equal<Rules>(*this, o, __func__);
}
CxMB100Param CxMB100Param::From(IxModule* module) {
    return zolsim::companion_from<Rules, CxMB100Param>("CxMB100Param", module, Tag<CxMB100>{}, __func__);
}
CxMB100* CxMB100Param::Controller() const {
    return zolsim::companion_controller<CxMB100>(*this, __func__);
}
void CxMB100Param::Controller(IxModule* module) {
    zolsim::companion_attach<Rules>(*this, module, Tag<CxMB100>{}, __func__);
}
bool CxMB100Param::IsValid() const { return zolsim::companion_valid<Rules>(*this, __func__); }

void CxMB100Param::Timeout(int value) { param::set_setting(*this, __func__, value); }
int CxMB100Param::Timeout() const { return param::setting<int>(*this, __func__); }
void CxMB100Param::INTEdge(int value) { param::set_setting(*this, __func__, value); }
int CxMB100Param::INTEdge() const { return param::setting<int>(*this, __func__); }

void CxMB100Param::GetParam(const char* name, void* value, TxModel model) {
    param::get_param(*this, __func__, name, value, model);
}
void CxMB100Param::SetParam(const char* name, const void* value, TxModel model) {
    param::set_param(*this, __func__, name, value, model);
}
void CxMB100Param::SendCommand(const char* name, void* scratch, TxModel model) {
    param::send_command(*this, __func__, name, scratch, model);
}
void CxMB100Param::SetRegister(unsigned int reg, unsigned int value) {
    param::set_register(*this, __func__, reg, value);
}
void CxMB100Param::GetRegister(unsigned int reg, unsigned int* value) const {
    param::get_register(*this, __func__, reg, value);
}
IxModule* CxMB100Param::GetDeviceModule() const {
    return zolsim::companion_controller<CxMB100>(*this, __func__);
}

// ---- CxRM1600Param ------------------------------------------------------------------------------

CxRM1600Param::CxRM1600Param() : CxModule(__func__), h_(zolsim::detached_handle()) {}
CxRM1600Param::CxRM1600Param(const CxRM1600Param& other)
    : CxModule(__func__), h_(zolsim::copied_handle(other)) {}
CxRM1600Param::CxRM1600Param(CxRM1600Param&& other)
    : CxModule(__func__, std::move(other)), h_(zolsim::taken_handle(other)) {}
CxRM1600Param& CxRM1600Param::operator=(const CxRM1600Param& other) {
    return zolsim::companion_assign(*this, other);
}
CxRM1600Param::~CxRM1600Param() = default;
bool CxRM1600Param::operator==(const CxRM1600Param& o) const {
    return zolsim::companion_equal<Rules>(*this, o, __func__);
}
bool CxRM1600Param::operator!=(const CxRM1600Param& o) const {
    return !zolsim::companion_equal<Rules>(*this, o, __func__);
}
CxRM1600Param CxRM1600Param::From(IxModule* module) {
    return zolsim::companion_from<Rules, CxRM1600Param>("CxRM1600Param", module, Tag<CxRM1600>{}, __func__);
}
CxRM1600* CxRM1600Param::Controller() const {
    return zolsim::companion_controller<CxRM1600>(*this, __func__);
}
void CxRM1600Param::Controller(IxModule* module) {
    zolsim::companion_attach<Rules>(*this, module, Tag<CxRM1600>{}, __func__);
}
bool CxRM1600Param::IsValid() const { return zolsim::companion_valid<Rules>(*this, __func__); }

void CxRM1600Param::Timeout(int value) { param::set_setting(*this, __func__, value); }
int CxRM1600Param::Timeout() const { return param::setting<int>(*this, __func__); }
void CxRM1600Param::DIEnable(unsigned int value) { param::set_setting(*this, __func__, value); }
unsigned int CxRM1600Param::DIEnable() const {
    return param::setting<unsigned int>(*this, __func__);
}
void CxRM1600Param::DIEdge(unsigned int value) { param::set_setting(*this, __func__, value); }
unsigned int CxRM1600Param::DIEdge() const {
    return param::setting<unsigned int>(*this, __func__);
}
void CxRM1600Param::DIWaitEnable(unsigned int value) {
    param::set_setting(*this, __func__, value);
}
unsigned int CxRM1600Param::DIWaitEnable() const {
    return param::setting<unsigned int>(*this, __func__);
}

void CxRM1600Param::GetParam(const char* name, void* value, TxModel model) {
    param::get_param(*this, __func__, name, value, model);
}
void CxRM1600Param::SetParam(const char* name, const void* value, TxModel model) {
    param::set_param(*this, __func__, name, value, model);
}
void CxRM1600Param::SendCommand(const char* name, void* scratch, TxModel model) {
    param::send_command(*this, __func__, name, scratch, model);
}
void CxRM1600Param::SetRegister(unsigned int reg, unsigned int value) {
    param::set_register(*this, __func__, reg, value);
}
void CxRM1600Param::GetRegister(unsigned int reg, unsigned int* value) const {
    param::get_register(*this, __func__, reg, value);
}
IxModule* CxRM1600Param::GetDeviceModule() const {
    return zolsim::companion_controller<CxRM1600>(*this, __func__);
}

// ---- CxDQ160Param -------------------------------------------------------------------------------

CxDQ160Param::CxDQ160Param() : CxModule(__func__), h_(zolsim::detached_handle()) {}
CxDQ160Param::CxDQ160Param(const CxDQ160Param& other)
    : CxModule(__func__), h_(zolsim::copied_handle(other)) {}
CxDQ160Param::CxDQ160Param(CxDQ160Param&& other)
    : CxModule(__func__, std::move(other)), h_(zolsim::taken_handle(other)) {}
CxDQ160Param& CxDQ160Param::operator=(const CxDQ160Param& other) {
    return zolsim::companion_assign(*this, other);
}
CxDQ160Param::~CxDQ160Param() = default;
bool CxDQ160Param::operator==(const CxDQ160Param& o) const {
    return zolsim::companion_equal<Rules>(*this, o, __func__);
}
bool CxDQ160Param::operator!=(const CxDQ160Param& o) const {
    return !zolsim::companion_equal<Rules>(*this, o, __func__);
}
CxDQ160Param CxDQ160Param::From(IxModule* module) {
    return zolsim::companion_from<Rules, CxDQ160Param>("CxDQ160Param", module, Tag<CxDQ160>{}, __func__);
}
CxDQ160* CxDQ160Param::Controller() const {
    return zolsim::companion_controller<CxDQ160>(*this, __func__);
}
void CxDQ160Param::Controller(IxModule* module) {
    zolsim::companion_attach<Rules>(*this, module, Tag<CxDQ160>{}, __func__);
}
bool CxDQ160Param::IsValid() const { return zolsim::companion_valid<Rules>(*this, __func__); }

void CxDQ160Param::Timeout(int value) { param::set_setting(*this, __func__, value); }
int CxDQ160Param::Timeout() const { return param::setting<int>(*this, __func__); }
void CxDQ160Param::INTEnable(int value) { param::set_setting(*this, __func__, value); }
int CxDQ160Param::INTEnable() const { return param::setting<int>(*this, __func__); }
void CxDQ160Param::INTEdge(int value) { param::set_setting(*this, __func__, value); }
int CxDQ160Param::INTEdge() const { return param::setting<int>(*this, __func__); }
void CxDQ160Param::INTWaitEnable(int value) { param::set_setting(*this, __func__, value); }
int CxDQ160Param::INTWaitEnable() const { return param::setting<int>(*this, __func__); }
void CxDQ160Param::DIEnable(unsigned int value) { param::set_setting(*this, __func__, value); }
unsigned int CxDQ160Param::DIEnable() const {
    return param::setting<unsigned int>(*this, __func__);
}
void CxDQ160Param::DIEdge(unsigned int value) { param::set_setting(*this, __func__, value); }
unsigned int CxDQ160Param::DIEdge() const { return param::setting<unsigned int>(*this, __func__); }
void CxDQ160Param::DIWaitEnable(unsigned int value) {
    param::set_setting(*this, __func__, value);
}
unsigned int CxDQ160Param::DIWaitEnable() const {
    return param::setting<unsigned int>(*this, __func__);
}
void CxDQ160Param::DIWaitMode(int value) { param::set_setting(*this, __func__, value); }
int CxDQ160Param::DIWaitMode() const { return param::setting<int>(*this, __func__); }

void CxDQ160Param::GetParam(const char* name, void* value, TxModel model) {
    param::get_param(*this, __func__, name, value, model);
}
void CxDQ160Param::SetParam(const char* name, const void* value, TxModel model) {
    param::set_param(*this, __func__, name, value, model);
}
void CxDQ160Param::SendCommand(const char* name, void* scratch, TxModel model) {
    param::send_command(*this, __func__, name, scratch, model);
}
void CxDQ160Param::SetRegister(unsigned int reg, unsigned int value) {
    param::set_register(*this, __func__, reg, value);
}
void CxDQ160Param::GetRegister(unsigned int reg, unsigned int* value) const {
    param::get_register(*this, __func__, reg, value);
}
IxModule* CxDQ160Param::GetDeviceModule() const {
    return zolsim::companion_controller<CxDQ160>(*this, __func__);
}

} // namespace DIO
} // namespace zol
