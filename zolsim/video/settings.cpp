// Settings objects of the capture boards (CxKX210Param, CxKX310Param, CxTR520Param): typed
// and name-keyed access to the store of the rack board they are attached to, its commands and
// its registers.
#include <zol/video.h>

#include "video/companions.h"

namespace zolsim {
namespace {

// The name-keyed access: the board store's own, keeping its derived values in step.
template <class C>
void get_param(const C& self, const char* op, const char* name, void* value, zol::TxModel model) {
    capture::get_param(*board_for(self, op, name, Out{value}, model), op, name, value, model);
}
template <class C>
void set_param(const C& self, const char* op, const char* name, const void* value,
               zol::TxModel model) {
    auto b = board_for(self, op, name, Value{value, model}, model);
    capture::set_param(*b, op, name, value, model);
}
template <class C>
void send_command(const C& self, const char* op, const char* name, void* scratch,
                  zol::TxModel model) {
    capture::send_command(*board_for(self, op, name, Out{scratch}, model), op, name, model);
}

// The board's registers: any number, 0 until written.
template <class C> void set_register(const C& self, const char* op, unsigned reg, unsigned value) {
    auto b = board_for(self, op, reg, value);
    std::lock_guard<std::mutex> lock(b->m);
    b->registers[reg] = value;
}
template <class C>
void get_register(const C& self, const char* op, unsigned int reg, unsigned int* value) {
    auto b = board_for(self, op, reg, Out{value});
    ZOLSIM_REQUIRE(value, op);
    std::lock_guard<std::mutex> lock(b->m);
    auto it = b->registers.find(reg);
    *value = it == b->registers.end() ? 0 : it->second;
}

} // namespace
} // namespace zolsim

namespace zol {
namespace Video {

using zolsim::get_setting;
using zolsim::set_setting;
using zolsim::VideoCompanions;

// ---- CxKX210Param -------------------------------------------------------------------------------

CxKX210Param::CxKX210Param() : CxModule("CxKX210Param"), h_(zolsim::detached_handle()) {}
CxKX210Param::CxKX210Param(const CxKX210Param& other)
    : CxModule("CxKX210Param"), h_(zolsim::copied_handle(other)) {}
CxKX210Param::CxKX210Param(CxKX210Param&& other)
    : CxModule("CxKX210Param", std::move(other)), h_(zolsim::taken_handle(other)) {}
CxKX210Param& CxKX210Param::operator=(const CxKX210Param& other) {
    return zolsim::companion_assign(*this, other);
}
CxKX210Param::~CxKX210Param() = default;
bool CxKX210Param::operator==(const CxKX210Param& other) const {
    return zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
bool CxKX210Param::operator!=(const CxKX210Param& other) const {
    return !zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
CxKX210Param CxKX210Param::From(IxModule* module) {
    return zolsim::companion_from<VideoCompanions, CxKX210Param>("CxKX210Param", module,
                                                                 ExDevice::KX210, __func__);
}
CxKX210* CxKX210Param::Controller() const {
    return zolsim::companion_controller<CxKX210>(*this, __func__);
}
void CxKX210Param::Controller(IxModule* module) {
    zolsim::companion_attach<VideoCompanions>(*this, module, ExDevice::KX210, __func__);
}
bool CxKX210Param::IsValid() const {
    return zolsim::companion_valid<VideoCompanions>(*this, __func__);
}

void CxKX210Param::TriggerMode(int value) { set_setting(*this, __func__, value); }
int CxKX210Param::TriggerMode() const { return get_setting<int>(*this, __func__); }
void CxKX210Param::ExposureTime(int value) { set_setting(*this, __func__, value); }
int CxKX210Param::ExposureTime() const { return get_setting<int>(*this, __func__); }
void CxKX210Param::TriggerCycleTime(int value) { set_setting(*this, __func__, value); }
int CxKX210Param::TriggerCycleTime() const { return get_setting<int>(*this, __func__); }

void CxKX210Param::GetParam(const char* name, void* value, TxModel model) {
    zolsim::get_param(*this, __func__, name, value, model);
}
void CxKX210Param::SetParam(const char* name, const void* value, TxModel model) {
    zolsim::set_param(*this, __func__, name, value, model);
}
void CxKX210Param::SendCommand(const char* name, void* scratch, TxModel model) {
    zolsim::send_command(*this, __func__, name, scratch, model);
}
void CxKX210Param::SetRegister(unsigned int reg, unsigned int value) {
    zolsim::set_register(*this, __func__, reg, value);
}
void CxKX210Param::GetRegister(unsigned int reg, unsigned int* value) const {
    zolsim::get_register(*this, __func__, reg, value);
}
IxModule* CxKX210Param::GetDeviceModule() const {
    return zolsim::companion_controller<IxModule>(*this, __func__);
}

// ---- CxKX310Param -------------------------------------------------------------------------------

CxKX310Param::CxKX310Param() : CxModule("CxKX310Param"), h_(zolsim::detached_handle()) {}
CxKX310Param::CxKX310Param(const CxKX310Param& other)
    : CxModule("CxKX310Param"), h_(zolsim::copied_handle(other)) {}
CxKX310Param::CxKX310Param(CxKX310Param&& other)
    : CxModule("CxKX310Param", std::move(other)), h_(zolsim::taken_handle(other)) {}
CxKX310Param& CxKX310Param::operator=(const CxKX310Param& other) {
    return zolsim::companion_assign(*this, other);
}
CxKX310Param::~CxKX310Param() = default;
bool CxKX310Param::operator==(const CxKX310Param& other) const {
    return zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
bool CxKX310Param::operator!=(const CxKX310Param& other) const {
    return !zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
CxKX310Param CxKX310Param::From(IxModule* module) {
    return zolsim::companion_from<VideoCompanions, CxKX310Param>("CxKX310Param", module,
                                                                 ExDevice::KX310, __func__);
}
CxKX310* CxKX310Param::Controller() const {
    return zolsim::companion_controller<CxKX310>(*this, __func__);
}
void CxKX310Param::Controller(IxModule* module) {
    zolsim::companion_attach<VideoCompanions>(*this, module, ExDevice::KX310, __func__);
}
bool CxKX310Param::IsValid() const {
    return zolsim::companion_valid<VideoCompanions>(*this, __func__);
}

void CxKX310Param::TriggerMode(int value) { set_setting(*this, __func__, value); }
int CxKX310Param::TriggerMode() const { return get_setting<int>(*this, __func__); }
void CxKX310Param::ExposureTime(int value) { set_setting(*this, __func__, value); }
int CxKX310Param::ExposureTime() const { return get_setting<int>(*this, __func__); }
void CxKX310Param::TriggerCycleTime(int value) { set_setting(*this, __func__, value); }
int CxKX310Param::TriggerCycleTime() const { return get_setting<int>(*this, __func__); }

void CxKX310Param::GetParam(const char* name, void* value, TxModel model) {
    zolsim::get_param(*this, __func__, name, value, model);
}
void CxKX310Param::SetParam(const char* name, const void* value, TxModel model) {
    zolsim::set_param(*this, __func__, name, value, model);
}
void CxKX310Param::SendCommand(const char* name, void* scratch, TxModel model) {
    zolsim::send_command(*this, __func__, name, scratch, model);
}
void CxKX310Param::SetRegister(unsigned int reg, unsigned int value) {
    zolsim::set_register(*this, __func__, reg, value);
}
void CxKX310Param::GetRegister(unsigned int reg, unsigned int* value) const {
    zolsim::get_register(*this, __func__, reg, value);
}
IxModule* CxKX310Param::GetDeviceModule() const {
    return zolsim::companion_controller<IxModule>(*this, __func__);
}

// ---- CxTR520Param -------------------------------------------------------------------------------

CxTR520Param::CxTR520Param() : CxModule("CxTR520Param"), h_(zolsim::detached_handle()) {}
CxTR520Param::CxTR520Param(const CxTR520Param& other)
    : CxModule("CxTR520Param"), h_(zolsim::copied_handle(other)) {}
CxTR520Param::CxTR520Param(CxTR520Param&& other)
    : CxModule("CxTR520Param", std::move(other)), h_(zolsim::taken_handle(other)) {}
CxTR520Param& CxTR520Param::operator=(const CxTR520Param& other) {
    return zolsim::companion_assign(*this, other);
}
CxTR520Param::~CxTR520Param() = default;
bool CxTR520Param::operator==(const CxTR520Param& other) const {
    return zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
bool CxTR520Param::operator!=(const CxTR520Param& other) const {
    return !zolsim::companion_equal<VideoCompanions>(*this, other, __func__);
}
CxTR520Param CxTR520Param::From(IxModule* module) {
    return zolsim::companion_from<VideoCompanions, CxTR520Param>("CxTR520Param", module,
                                                                 ExDevice::TR520, __func__);
}
CxTR520* CxTR520Param::Controller() const {
    return zolsim::companion_controller<CxTR520>(*this, __func__);
}
void CxTR520Param::Controller(IxModule* module) {
    zolsim::companion_attach<VideoCompanions>(*this, module, ExDevice::TR520, __func__);
}
bool CxTR520Param::IsValid() const {
    return zolsim::companion_valid<VideoCompanions>(*this, __func__);
}

void CxTR520Param::TriggerMode(int value) { set_setting(*this, __func__, value); }
int CxTR520Param::TriggerMode() const { return get_setting<int>(*this, __func__); }
void CxTR520Param::ExposureTime(int value) { set_setting(*this, __func__, value); }
int CxTR520Param::ExposureTime() const { return get_setting<int>(*this, __func__); }
void CxTR520Param::VideoOffset(int value) { set_setting(*this, __func__, value); }
int CxTR520Param::VideoOffset() const { return get_setting<int>(*this, __func__); }

void CxTR520Param::GetParam(const char* name, void* value, TxModel model) {
    zolsim::get_param(*this, __func__, name, value, model);
}
void CxTR520Param::SetParam(const char* name, const void* value, TxModel model) {
    zolsim::set_param(*this, __func__, name, value, model);
}
void CxTR520Param::SendCommand(const char* name, void* scratch, TxModel model) {
    zolsim::send_command(*this, __func__, name, scratch, model);
}
void CxTR520Param::SetRegister(unsigned int reg, unsigned int value) {
    zolsim::set_register(*this, __func__, reg, value);
}
void CxTR520Param::GetRegister(unsigned int reg, unsigned int* value) const {
    zolsim::get_register(*this, __func__, reg, value);
}
IxModule* CxTR520Param::GetDeviceModule() const {
    return zolsim::companion_controller<IxModule>(*this, __func__);
}

} // namespace Video
} // namespace zol
