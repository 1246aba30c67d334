// The settings tables and commands of the six boards' settings objects, written as the boards'
// lists give them: per kind, the names that are read-only, readable and writable, or write-only,
// in search order (signed, then unsigned, then text). The library interprets the names; a table
// only says which names pass in which direction and with which value kind.
#include "params/tables.h"

namespace pyzol {
namespace tables {

// KX210: 103 readable, 84 writable.
const NameTable kx210_param = name_table({
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
const NameTable kx310_param = name_table({
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
const NameTable tr520_param = name_table({
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

const CommandSet kx210_param_commands{}; // none
const CommandSet kx310_param_commands{
    "ClearTriggerMask", "ResetPG", "StopPG", "ResetPLLReconfig", "ExecutePLLReconfig",
    "PLLReconfig"};
const CommandSet tr520_param_commands{"SelfCalibration"};

// MB100: 11 readable, 9 writable.
const NameTable mb100_param = name_table({
    {ValueKind::Signed, Access::ReadWrite, {"INTEnable", "INTEdge", "Timeout", "Version"}},
    {ValueKind::Signed, Access::ReadOnly, {"INTStatus", "DeviceID", "DeviceType", "DriverVersion"}},
    {ValueKind::Signed, Access::WriteOnly, {"DIWaitMode", "INTWaitEnable"}},
    {ValueKind::Unsigned, Access::ReadWrite, {"DIEnable", "DIEdge", "DIWaitEnable"}},
});

// RM1600: 11 readable, 6 writable.
const NameTable rm1600_param = name_table({
    {ValueKind::Signed, Access::ReadWrite, {"DINoiseFilterTime", "Timeout"}},
    {ValueKind::Signed, Access::ReadOnly,
     {"DeviceID", "DeviceType", "DriverVersion", "FpgaVersion"}},
    {ValueKind::Signed, Access::WriteOnly, {"Version"}},
    {ValueKind::Unsigned, Access::ReadWrite, {"DIEnable", "DIEdge", "DIWaitEnable"}},
    {ValueKind::Text, Access::ReadOnly, {"DriverVersionName", "FpgaVersionName"}},
});

// DQ160: 18 readable, 13 writable.
const NameTable dq160_param = name_table({
    {ValueKind::Signed, Access::ReadWrite,
     {"INTEnable", "INTEdge", "DINoiseFilterWidth", "DINoiseFilterScale", "INTNoiseFilterWidth",
      "INTNoiseFilterScale", "Timeout", "DIWaitMode", "INTWaitEnable", "Version"}},
    {ValueKind::Signed, Access::ReadOnly,
     {"INTStatus", "DeviceID", "DeviceType", "DriverVersion", "FpgaVersion"}},
    {ValueKind::Unsigned, Access::ReadWrite, {"DIEnable", "DIEdge", "DIWaitEnable"}},
});

const CommandSet mb100_param_commands{}; // none
const CommandSet rm1600_param_commands{}; // none
const CommandSet dq160_param_commands{}; // none

// The encoder units: every name readable and writable.
const NameTable kx210_encoder = name_table({
    {ValueKind::Signed,
     Access::ReadWrite,
     {"EncoderMode", "ENCSampling", "ENCStart", "ENCComp1", "ENCInit", "ENCDir", "ENCSwapAB",
      "ENCInputCH"}},
    {ValueKind::Unsigned, Access::ReadWrite, {"ENCComp2"}},
});

const NameTable kx310_encoder = name_table({
    {ValueKind::Signed,
     Access::ReadWrite,
     {"EncoderMode", "ENCSampling", "ENCStart", "ENCComp1", "ENCResetSource", "ENCDir", "ENCSwapAB",
      "ENCSignalSource", "EncoderActMode"}},
    {ValueKind::Unsigned, Access::ReadWrite, {"ENCComp2"}},
});

const std::vector<ClassTable>& all() {
    // In the order the module registers the classes; never destroyed, as the tables it names.
    static const auto* list = new std::vector<ClassTable>{
        {"MB100Param", mb100_param, &mb100_param_commands},
        {"RM1600Param", rm1600_param, &rm1600_param_commands},
        {"DQ160Param", dq160_param, &dq160_param_commands},
        {"KX210Encoder", kx210_encoder, nullptr},
        {"KX210Param", kx210_param, &kx210_param_commands},
        {"KX310Encoder", kx310_encoder, nullptr},
        {"KX310Param", kx310_param, &kx310_param_commands},
        {"TR520Param", tr520_param, &tr520_param_commands},
    };
    return *list;
}

} // namespace tables
} // namespace pyzol
