// The settings tables of the capture boards, written as the boards' lists give them: per kind,
// the names that are read-only and those that are also writable, in search order (signed, then
// unsigned, then text). The library interprets the names; a table only says which names pass in
// which direction and with which value kind.
#include "params/tables.h"

#include "params/by_name.h"

namespace pyzol {

namespace {

// KX210: 103 readable, 84 writable.
const NameTable kx210_names = name_table({
    {ValueKind::Signed, Access::ReadWrite, // 77
     {"Width", "Height", "OffsetW", "OffsetH", "OffsetMode", "OffsetTrgW",
      "OffsetTrgH", "Timeout", "Version", "SendCommandEnable", "SendCommandWaitTime",
      "Configuration", "BitWidth", "RBReverse", "TapCount", "Force8",
      "LineSensorEnable", "EncoderMode", "ScanMode", "DvalEnable", "PackingMode",
      "Alignment16", "FormatType", "XReverse", "YReverse", "YStep", "Arrangement",
      "HighSpeed", "BlankingTime", "CC1Enable", "CC1Mode", "CC1Positive", "CC2Enable",
      "CC2Mode", "CC2Positive", "CC3Enable", "CC3Mode", "CC3Positive", "CC4Enable",
      "CC4Mode", "CC4Positive", "EXPEnable", "EXPMode", "EXPPositive", "AutoTrigger",
      "ExternalTrigger", "InTriggerOrEnable", "ExTriggerOrEnable", "ExposureTime",
      "TriggerBetaTime", "TriggerDelayTime", "TriggerCycleTime", "TriggerRetry",
      "TriggerMaskTime", "ExtTriggerSrc", "Assert", "Negate", "TriggerMaskTimeMode",
      "TriggerMode", "SimTrigger", "ENCSampling", "ENCStart", "ENCComp1", "ENCInit",
      "ENCDir", "ENCSwapAB", "SIORxMode", "SIOTxMode", "SIOBaudRate", "SIORxBufSize",
      "SIOTxBufSize", "SIOOption", "SIOSendMode", "SIOTimeout", "ENCInputCH",
      "PGRunMode", "PGStart"}},
    {ValueKind::Signed, Access::ReadOnly, // 18
     {"DeviceID", "DeviceType", "BoardType", "CameraConnect", "DetectTrigger",
      "Channel", "FpgaVersion", "MaskedTrigger", "ExTriggerRef", "TriggerMaskLineNum",
      "SIOOpenFlag", "BayerMode", "ImageWidth", "ImageHeight", "ImageChannels",
      "ImageDepth", "ImageType", "ImagePack"}},
    {ValueKind::Unsigned, Access::ReadWrite, // 1
     {"ENCComp2"}},
    {ValueKind::Text, Access::ReadWrite, // 6
     {"CameraName", "CameraMaker", "CameraMode", "SIOSTX", "SIOETX", "SIORETX"}},
    {ValueKind::Text, Access::ReadOnly, // 1
     {"DriverVersion"}},
});

// KX310: 102 readable, 83 writable.
const NameTable kx310_names = name_table({
    {ValueKind::Signed, Access::ReadWrite, // 76
     {"Width", "Height", "OffsetW", "OffsetH", "OffsetMode", "OffsetTrgW",
      "OffsetTrgH", "Timeout", "Version", "SendCommandEnable", "SendCommandWaitTime",
      "Configuration", "BitWidth", "RBReverse", "TapCount", "Force8",
      "LineSensorEnable", "ScanMode", "DvalEnable", "PackingMode", "Alignment16",
      "FormatType", "XReverse", "YReverse", "YStep", "Arrangement", "CC1Enable",
      "CC1Mode", "CC1Positive", "CC2Enable", "CC2Mode", "CC2Positive", "CC3Enable",
      "CC3Mode", "CC3Positive", "CC4Enable", "CC4Mode", "CC4Positive", "EXPEnable",
      "EXPMode", "EXPPositive", "ExternalTrigger", "IntTriggerChSel",
      "ExtTriggerChSel", "ExtTriggerSrc", "ExtInControlMode", "Assert", "Negate",
      "EncoderMode", "ExposureTime", "TriggerBetaTime", "TriggerDelayTime",
      "TriggerCycleTime", "TriggerRetry", "TriggerMaskTime", "TriggerRetryMode",
      "TriggerMaskMode", "TriggerMode", "PLLReconfig", "ENCSampling", "ENCStart",
      "ENCComp1", "ENCResetSource", "ENCDir", "ENCSwapAB", "ENCSignalSource",
      "SIOBaudRate", "SIOOption", "SIOSendMode", "SIOTimeout", "PoCLControl",
      "ENCIn0Termination", "ENCIn1Termination", "EncoderActMode",
      "ClearTriggerMaskMode", "GrabEnableSelector"}},
    {ValueKind::Signed, Access::ReadOnly, // 17
     {"DeviceID", "DeviceType", "CameraConnect", "PGStatus", "Channel", "TapSwap",
      "BlankingTime", "BayerMode", "CameraClock", "SIOOpenFlag", "PLLReconfigStatus",
      "ImageWidth", "ImageHeight", "ImageChannels", "ImageDepth", "ImageType",
      "ImagePack"}},
    {ValueKind::Unsigned, Access::ReadWrite, // 1
     {"ENCComp2"}},
    {ValueKind::Text, Access::ReadWrite, // 6
     {"CameraName", "CameraMaker", "CameraMode", "SIOSTX", "SIOETX", "SIORETX"}},
    {ValueKind::Text, Access::ReadOnly, // 2
     {"DriverVersion", "FpgaVersion"}},
});

// TR520: 61 readable, 48 writable; no unsigned names.
const NameTable tr520_names = name_table({
    {ValueKind::Signed, Access::ReadWrite, // 45
     {"TriggerMode", "VideoOffset", "FieldDetection", "ExposureTime",
      "ShutterPrecision", "Width", "Height", "OffsetW", "OffsetH", "OffsetTrgW",
      "OffsetTrgH", "Timeout", "Version", "NormalModeWaitTime",
      "CameraTriggerSyncMode", "TriggerSharingMode", "TriggerSharingChannel",
      "SyncMode", "HCycle", "VCycle", "VCycleTrg", "HDWidth", "VDWidth", "ClampStart",
      "ClampEnd", "VideoDelay", "SyncPhase", "SyncTerminate", "PllVDW", "PllRDW",
      "PllOD", "TriggerSyncMode", "TriggerLogic", "TriggerIndexLogic",
      "TriggerInputPin", "TriggerReadyWait", "TriggerVDDelay", "TriggerIndexTimeout",
      "TriggerDelay", "TriggerDelaySelect", "ExpEnable", "ExpLogic", "ExpStop",
      "SimTriggerIn", "SimTriggerEx"}},
    {ValueKind::Signed, Access::ReadOnly, // 11
     {"DeviceID", "DeviceType", "Channel", "FpgaVersion", "ExtTriggerEnabled",
      "ImageWidth", "ImageHeight", "FormatType", "ImageType", "ImagePack",
      "ImageDepth"}},
    {ValueKind::Text, Access::ReadWrite, // 3
     {"CameraName", "CameraMaker", "CameraMode"}},
    {ValueKind::Text, Access::ReadOnly, // 2
     {"DriverVersion", "ImageSize"}},
});

} // namespace

// Each function throws for an unknown name itself, so that the error names it.

py::object kx210_get_param(zol::Video::CxKX210Param* param, const std::string& name) {
    const ValueKind* kind = kx210_names.read.find(name);
    if (!kind)
        PYZOL_REFUSE_NAME(py::type::of<zol::Video::CxKX210Param>(), kx210_names, false, name);
    return read_by_name(param, name, *kind);
}

void kx210_set_param(zol::Video::CxKX210Param* param, const std::string& name, py::object& value) {
    const ValueKind* kind = kx210_names.write.find(name);
    if (!kind)
        PYZOL_REFUSE_NAME(py::type::of<zol::Video::CxKX210Param>(), kx210_names, true, name);
    write_by_name(param, name, *kind, value);
}

py::object kx310_get_param(zol::Video::CxKX310Param* param, const std::string& name) {
    const ValueKind* kind = kx310_names.read.find(name);
    if (!kind)
        PYZOL_REFUSE_NAME(py::type::of<zol::Video::CxKX310Param>(), kx310_names, false, name);
    return read_by_name(param, name, *kind);
}

void kx310_set_param(zol::Video::CxKX310Param* param, const std::string& name, py::object& value) {
    const ValueKind* kind = kx310_names.write.find(name);
    if (!kind)
        PYZOL_REFUSE_NAME(py::type::of<zol::Video::CxKX310Param>(), kx310_names, true, name);
    write_by_name(param, name, *kind, value);
}

py::object tr520_get_param(zol::Video::CxTR520Param* param, const std::string& name) {
    const ValueKind* kind = tr520_names.read.find(name);
    if (!kind)
        PYZOL_REFUSE_NAME(py::type::of<zol::Video::CxTR520Param>(), tr520_names, false, name);
    return read_by_name(param, name, *kind);
}

void tr520_set_param(zol::Video::CxTR520Param* param, const std::string& name, py::object& value) {
    const ValueKind* kind = tr520_names.write.find(name);
    if (!kind)
        PYZOL_REFUSE_NAME(py::type::of<zol::Video::CxTR520Param>(), tr520_names, true, name);
    write_by_name(param, name, *kind, value);
}

} // namespace pyzol
