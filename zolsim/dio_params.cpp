// Settings objects of the digital-I/O boards: CxMB100Param, CxRM1600Param, CxDQ160Param. What
// the three share is written once below as templates over the settings class; each member
// forwards to them under its own name (`__func__`: in a constructor, the class's name, which
// the object is journaled and counted under), and that name also names it in its errors. The
// board class a settings class attaches to is the one its Controller() returns.
#include "companion.h"
#include "dio.h"

#include <string>
#include <type_traits>
#include <utility>

namespace zolsim {
namespace dio_param {
namespace {

// The board class settings of class `Param` attach to.
template <class Param>
using BoardOf = std::remove_pointer_t<decltype(std::declval<const Param&>().Controller())>;

template <class Param> CompanionHandle& handle(const Param& self) {
    return *Access::handle(self);
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

// Attaches a settings object to a board handle of its board class (null: detaches); a module of
// another class is refused.
template <class Param> void attach(Param& self, zol::IxModule* module, const char* op) {
    CompanionHandle& h = handle(self);
    if (!module) {
        h.controller = Ref{};
        return;
    }
    BoardOf<Param>* board = dynamic_cast<BoardOf<Param>*>(module);
    if (!board)
        ZOLSIM_RAISE(InvalidArgument, op, "the module is not a board of this settings class");
    h.controller = make_ref(board);
}

// ---- the companion members ----------------------------------------------------------------------
// A copy is attached where the original is; a move hands the attachment over and leaves the
// object moved from detached (but usable, as a board handle moved from is left unbound).

std::unique_ptr<CompanionHandle> detached() { return std::make_unique<CompanionHandle>(); }

std::unique_ptr<CompanionHandle> copied(const std::unique_ptr<CompanionHandle>& other) {
    return std::make_unique<CompanionHandle>(*other);
}

std::unique_ptr<CompanionHandle> taken(std::unique_ptr<CompanionHandle>& other) {
    return std::exchange(other, detached());
}

// Settings objects are equal when they are attached to the same board handle, or both to none.
template <class Param> bool equal(const Param& self, const char* op, const Param& other) {
    call(&self, op, &other);
    const Ref& a = handle(self).controller;
    const Ref& b = handle(other).controller;
    return a.object == b.object && a.serial == b.serial;
}

// `cls` is the name of the class, as the journal gives it.
template <class Param> Param from(const char* cls, const char* op, zol::IxModule* module) {
    call_static(cls, op, module);
    Param made;
    attach(made, module, op);
    return made;
}

template <class Param> BoardOf<Param>* controller(const Param& self, const char* op) {
    call(&self, op);
    return controller_as<BoardOf<Param>>(handle(self));
}

template <class Param> void controller(Param& self, const char* op, zol::IxModule* module) {
    call(&self, op, module);
    attach(self, module, op);
}

// Valid while attached to a board handle that exists and was not disposed.
template <class Param> bool is_valid(const Param& self, const char* op) {
    call(&self, op);
    zol::CxModule* m = live_controller(handle(self));
    return m && !Access::handle(*static_cast<const zol::DIO::CxDIOPort*>(m))->disposed.load();
}

// ---- the board's settings, commands and registers -----------------------------------------------

// A typed setting: the setter and getter of the same name read and write the board's setting of
// that name, the one GetParam and SetParam reach.
template <class Param, class T> void set_setting(Param& self, const char* setting, T value) {
    call(&self, setting, value);
    std::shared_ptr<DioBoard> b = board(self, setting);
    b->settings.number(setting, value);
    dio_settings_changed(*b);
}

template <class T, class Param> T setting(const Param& self, const char* setting) {
    call(&self, setting);
    return static_cast<T>(board(self, setting)->settings.number(setting));
}

template <class Param>
void get_param(Param& self, const char* op, const char* name, void* value, zol::TxModel model) {
    call(&self, op, name, Out{value}, model);
    ZOLSIM_REQUIRE(name, op);
    ZOLSIM_REQUIRE(value, op);
    board(self, op)->settings.get(op, name, value, model);
}

template <class Param>
void set_param(Param& self, const char* op, const char* name, const void* value,
               zol::TxModel model) {
    call(&self, op, name, Value{value, model}, model);
    ZOLSIM_REQUIRE(name, op);
    ZOLSIM_REQUIRE(value, op);
    std::shared_ptr<DioBoard> b = board(self, op);
    b->settings.set(op, name, value, model);
    dio_settings_changed(*b);
}

template <class Param>
void send_command(Param& self, const char* op, const char* name, void* scratch,
                  zol::TxModel model) {
    call(&self, op, name, Out{scratch}, model);
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
    call(&self, op, reg, value);
    std::shared_ptr<DioBoard> b = board(self, op);
    check_register(reg, op);
    std::lock_guard<std::mutex> lock(b->mutex);
    b->registers[reg] = value;
}

template <class Param>
void get_register(const Param& self, const char* op, unsigned int reg, unsigned int* value) {
    call(&self, op, reg, Out{value});
    ZOLSIM_REQUIRE(value, op);
    std::shared_ptr<DioBoard> b = board(self, op);
    check_register(reg, op);
    std::lock_guard<std::mutex> lock(b->mutex);
    *value = b->registers[reg];
}

template <class Param> zol::IxModule* device_module(const Param& self, const char* op) {
    call(&self, op);
    return controller_as<BoardOf<Param>>(handle(self));
}

} // namespace
} // namespace dio_param
} // namespace zolsim

namespace zol {
namespace DIO {

namespace param = zolsim::dio_param;

// ---- CxMB100Param -------------------------------------------------------------------------------

CxMB100Param::CxMB100Param() : CxModule(__func__), h_(param::detached()) {}
CxMB100Param::CxMB100Param(const CxMB100Param& other)
    : CxModule(__func__), h_(param::copied(other.h_)) {}
CxMB100Param::CxMB100Param(CxMB100Param&& other)
    : CxModule(__func__, std::move(other)), h_(param::taken(other.h_)) {}
CxMB100Param& CxMB100Param::operator=(const CxMB100Param& other) {
    *h_ = *other.h_;
    return *this;
}
CxMB100Param::~CxMB100Param() = default;
bool CxMB100Param::operator==(const CxMB100Param& o) const {
    return param::equal(*this, __func__, o);
}
bool CxMB100Param::operator!=(const CxMB100Param& o) const {
    return !param::equal(*this, __func__, o);
}
CxMB100Param CxMB100Param::From(IxModule* module) {
    return param::from<CxMB100Param>("CxMB100Param", __func__, module);
}
CxMB100* CxMB100Param::Controller() const { return param::controller(*this, __func__); }
void CxMB100Param::Controller(IxModule* module) { param::controller(*this, __func__, module); }
bool CxMB100Param::IsValid() const { return param::is_valid(*this, __func__); }

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
IxModule* CxMB100Param::GetDeviceModule() const { return param::device_module(*this, __func__); }

// ---- CxRM1600Param ------------------------------------------------------------------------------

CxRM1600Param::CxRM1600Param() : CxModule(__func__), h_(param::detached()) {}
CxRM1600Param::CxRM1600Param(const CxRM1600Param& other)
    : CxModule(__func__), h_(param::copied(other.h_)) {}
CxRM1600Param::CxRM1600Param(CxRM1600Param&& other)
    : CxModule(__func__, std::move(other)), h_(param::taken(other.h_)) {}
CxRM1600Param& CxRM1600Param::operator=(const CxRM1600Param& other) {
    *h_ = *other.h_;
    return *this;
}
CxRM1600Param::~CxRM1600Param() = default;
bool CxRM1600Param::operator==(const CxRM1600Param& o) const {
    return param::equal(*this, __func__, o);
}
bool CxRM1600Param::operator!=(const CxRM1600Param& o) const {
    return !param::equal(*this, __func__, o);
}
CxRM1600Param CxRM1600Param::From(IxModule* module) {
    return param::from<CxRM1600Param>("CxRM1600Param", __func__, module);
}
CxRM1600* CxRM1600Param::Controller() const { return param::controller(*this, __func__); }
void CxRM1600Param::Controller(IxModule* module) { param::controller(*this, __func__, module); }
bool CxRM1600Param::IsValid() const { return param::is_valid(*this, __func__); }

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
    return param::device_module(*this, __func__);
}

// ---- CxDQ160Param -------------------------------------------------------------------------------

CxDQ160Param::CxDQ160Param() : CxModule(__func__), h_(param::detached()) {}
CxDQ160Param::CxDQ160Param(const CxDQ160Param& other)
    : CxModule(__func__), h_(param::copied(other.h_)) {}
CxDQ160Param::CxDQ160Param(CxDQ160Param&& other)
    : CxModule(__func__, std::move(other)), h_(param::taken(other.h_)) {}
CxDQ160Param& CxDQ160Param::operator=(const CxDQ160Param& other) {
    *h_ = *other.h_;
    return *this;
}
CxDQ160Param::~CxDQ160Param() = default;
bool CxDQ160Param::operator==(const CxDQ160Param& o) const {
    return param::equal(*this, __func__, o);
}
bool CxDQ160Param::operator!=(const CxDQ160Param& o) const {
    return !param::equal(*this, __func__, o);
}
CxDQ160Param CxDQ160Param::From(IxModule* module) {
    return param::from<CxDQ160Param>("CxDQ160Param", __func__, module);
}
CxDQ160* CxDQ160Param::Controller() const { return param::controller(*this, __func__); }
void CxDQ160Param::Controller(IxModule* module) { param::controller(*this, __func__, module); }
bool CxDQ160Param::IsValid() const { return param::is_valid(*this, __func__); }

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
IxModule* CxDQ160Param::GetDeviceModule() const { return param::device_module(*this, __func__); }

} // namespace DIO
} // namespace zol
