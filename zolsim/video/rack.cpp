// The rack of simulated capture boards and their settings catalogues, board commands and
// name-keyed access on a board's store.
#include <cstring>
#include <tuple>

#include "common/rack.h"
#include "video/video.h"

namespace zolsim {

namespace {

using zol::ExDevice;
using zol::ExPixelFormat;

// Catalogue groups. The names are those the Python tables accept, plus a few the library
// uses itself (status values of the commands, the TR520 frame period).
struct Group {
    Kind kind;
    bool writable;
    std::vector<const char*> names;
};

// The names of a group, put together from lists in order.
std::vector<const char*> joined(std::initializer_list<std::vector<const char*>> lists) {
    std::vector<const char*> names;
    for (const std::vector<const char*>& list : lists)
        names.insert(names.end(), list.begin(), list.end());
    return names;
}

// The catalogue groups of a board type, in catalogue order (the order a camera file lists the
// writable settings in).
const std::vector<Group>& groups(ExDevice type) {
    // What both Camera Link boards, the KX210 and the KX310, list alike.
    static const std::vector<const char*> head = {
        "Width", "Height", "OffsetW", "OffsetH", "OffsetMode", "OffsetTrgW", "OffsetTrgH",
        "Timeout", "Version", "SendCommandEnable", "SendCommandWaitTime", "Configuration",
        "BitWidth", "RBReverse", "TapCount", "Force8", "LineSensorEnable"};
    static const std::vector<const char*> format = {
        "ScanMode", "DvalEnable", "PackingMode", "Alignment16", "FormatType",
        "XReverse", "YReverse", "YStep", "Arrangement"};
    static const std::vector<const char*> controls = {
        "CC1Enable", "CC1Mode", "CC1Positive", "CC2Enable", "CC2Mode", "CC2Positive",
        "CC3Enable", "CC3Mode", "CC3Positive", "CC4Enable", "CC4Mode", "CC4Positive",
        "EXPEnable", "EXPMode", "EXPPositive"};
    static const Group encoder_compare = {Kind::Unsigned, true, {"ENCComp2"}};
    static const Group camera_texts = {Kind::Text, true,
                                       {"CameraName", "CameraMaker", "CameraMode", "SIOSTX",
                                        "SIOETX", "SIORETX", "PixelFormat"}};

    static const std::vector<Group> kx210 = {
        {Kind::Signed, true,
         joined({head, {"EncoderMode"}, format, {"HighSpeed", "BlankingTime"}, controls,
                 {"AutoTrigger", "ExternalTrigger", "InTriggerOrEnable", "ExTriggerOrEnable",
                  "ExposureTime", "TriggerBetaTime", "TriggerDelayTime", "TriggerCycleTime",
                  "TriggerRetry", "TriggerMaskTime", "ExtTriggerSrc", "Assert", "Negate",
                  "TriggerMaskTimeMode", "TriggerMode", "SimTrigger", "ENCSampling", "ENCStart",
                  "ENCComp1", "ENCInit", "ENCDir", "ENCSwapAB", "SIORxMode", "SIOTxMode",
                  "SIOBaudRate", "SIORxBufSize", "SIOTxBufSize", "SIOOption", "SIOSendMode",
                  "SIOTimeout", "ENCInputCH", "PGRunMode", "PGStart"}})},
        {Kind::Signed, false,
         {"DeviceID", "DeviceType", "BoardType", "CameraConnect", "DetectTrigger", "Channel",
          "FpgaVersion", "MaskedTrigger", "ExTriggerRef", "TriggerMaskLineNum", "SIOOpenFlag",
          "BayerMode", "ImageWidth", "ImageHeight", "ImageChannels", "ImageDepth", "ImageType",
          "ImagePack", "PGStatus", "PLLReconfigStatus", "PLLReconfigCount"}},
        encoder_compare,
        camera_texts,
        {Kind::Text, false, {"DriverVersion"}},
    };
    static const std::vector<Group> kx310 = {
        {Kind::Signed, true,
         joined({head, format, controls,
                 {"ExternalTrigger", "IntTriggerChSel", "ExtTriggerChSel", "ExtTriggerSrc",
                  "ExtInControlMode", "Assert", "Negate", "EncoderMode", "ExposureTime",
                  "TriggerBetaTime", "TriggerDelayTime", "TriggerCycleTime", "TriggerRetry",
                  "TriggerMaskTime", "TriggerRetryMode", "TriggerMaskMode", "TriggerMode",
                  "PLLReconfig", "ENCSampling", "ENCStart", "ENCComp1", "ENCResetSource",
                  "ENCDir", "ENCSwapAB", "ENCSignalSource", "SIOBaudRate", "SIOOption",
                  "SIOSendMode", "SIOTimeout", "PoCLControl", "ENCIn0Termination",
                  "ENCIn1Termination", "EncoderActMode", "ClearTriggerMaskMode",
                  "GrabEnableSelector"}})},
        {Kind::Signed, false,
         {"DeviceID", "DeviceType", "CameraConnect", "PGStatus", "Channel", "TapSwap",
          "BlankingTime", "BayerMode", "CameraClock", "SIOOpenFlag", "PLLReconfigStatus",
          "ImageWidth", "ImageHeight", "ImageChannels", "ImageDepth", "ImageType", "ImagePack",
          "MaskedTrigger", "PLLReconfigCount"}},
        encoder_compare,
        camera_texts,
        {Kind::Text, false, {"DriverVersion", "FpgaVersion"}},
    };
    static const std::vector<Group> tr520 = {
        {Kind::Signed, true,
         {"TriggerMode", "VideoOffset", "FieldDetection", "ExposureTime", "ShutterPrecision",
          "Width", "Height", "OffsetW", "OffsetH", "OffsetTrgW", "OffsetTrgH", "Timeout",
          "Version", "NormalModeWaitTime", "CameraTriggerSyncMode", "TriggerSharingMode",
          "TriggerSharingChannel", "SyncMode", "HCycle", "VCycle", "VCycleTrg", "HDWidth",
          "VDWidth", "ClampStart", "ClampEnd", "VideoDelay", "SyncPhase", "SyncTerminate",
          "PllVDW", "PllRDW", "PllOD", "TriggerSyncMode", "TriggerLogic", "TriggerIndexLogic",
          "TriggerInputPin", "TriggerReadyWait", "TriggerVDDelay", "TriggerIndexTimeout",
          "TriggerDelay", "TriggerDelaySelect", "ExpEnable", "ExpLogic", "ExpStop",
          "SimTriggerIn", "SimTriggerEx", "TriggerCycleTime"}},
        {Kind::Signed, false,
         {"DeviceID", "DeviceType", "Channel", "FpgaVersion", "ExtTriggerEnabled", "ImageWidth",
          "ImageHeight", "FormatType", "ImageType", "ImagePack", "ImageDepth",
          "CalibrationCount"}},
        {Kind::Text, true, {"CameraName", "CameraMaker", "CameraMode", "PixelFormat"}},
        {Kind::Text, false, {"DriverVersion", "ImageSize"}},
    };
    return type == ExDevice::KX210 ? kx210 : type == ExDevice::KX310 ? kx310 : tr520;
}

std::int64_t number_default(const char* name, ExDevice type) {
    static const std::map<std::string, std::int64_t> d = {
        {"Width", 640},          {"Height", 480},          {"Timeout", 5000},
        {"Version", 1},          {"BitWidth", 8},          {"TapCount", 1},
        {"YStep", 1},            {"ExposureTime", 1000},   {"TriggerCycleTime", 1000},
        {"SIOBaudRate", 9600},   {"SIOTimeout", 1000},     {"SIORxBufSize", 1024},
        {"SIOTxBufSize", 1024},  {"SendCommandWaitTime", 100}, {"CameraConnect", 1},
        {"ImageWidth", 640},     {"ImageHeight", 480},     {"ImageChannels", 1},
        {"ImageDepth", 8},       {"ImagePack", 1},         {"BoardType", 1},
        {"CameraClock", 85},     {"HCycle", 800},          {"VCycle", 525},
        {"VCycleTrg", 525},      {"ShutterPrecision", 1},
        {"FpgaVersion", CaptureFpgaVersion::number},
    };
    if (std::strcmp(name, "DeviceType") == 0)
        return static_cast<int>(type);
    auto it = d.find(name);
    return it == d.end() ? 0 : it->second;
}

const char* text_default(const char* name) {
    static const std::map<std::string, const char*> d = {
        {"CameraName", "ZOLCAM"}, {"CameraMaker", "ZOL"},   {"CameraMode", "Normal"},
        {"ImageSize", "640x480"}, {"PixelFormat", "Mono8"},
        {"DriverVersion", DriverVersion::text},
        {"FpgaVersion", CaptureFpgaVersion::text},
    };
    auto it = d.find(name);
    return it == d.end() ? "" : it->second;
}

bool known_pixel_format(const std::string& name) { return pixel_layout(name, nullptr); }

std::vector<SettingDef> catalogue(ExDevice type) {
    std::vector<SettingDef> out;
    for (const Group& g : groups(type))
        for (const char* n : g.names)
            out.push_back({n, g.kind, g.writable,
                           g.kind == Kind::Text ? 0 : number_default(n, type),
                           g.kind == Kind::Text ? text_default(n) : nullptr,
                           std::strcmp(n, "PixelFormat") == 0 ? known_pixel_format : nullptr});
    return out;
}

} // namespace

// A channel of the board, or -1 for all of them.
void check_channel(const char* op, int ch) {
    if (ch != -1 && !rack_channel(ch))
        ZOLSIM_RAISE(InvalidArgument, op,
                     "channel " + std::to_string(ch) + " out of range -1.." +
                         std::to_string(kRackChannels - 1));
}

Board::Board(ExDevice type, int id, int ch)
    : type(type), id(id), ch(ch), settings(catalogue(type)) {
    settings.number("DeviceID", id);
    settings.number("Channel", ch);
}

namespace {
const CaptureBoardName* capture_board(int type) {
    for (const CaptureBoardName& b : kCaptureBoards)
        if (static_cast<int>(b.device) == type)
            return &b;
    return nullptr;
}
} // namespace

const char* board_name(ExDevice type) {
    const CaptureBoardName* b = capture_board(static_cast<int>(type));
    return b ? b->name : "?";
}

bool known_device(int type) { return capture_board(type) != nullptr; }

std::shared_ptr<Board> rack_board(ExDevice type, int id, int ch, const char* op) {
    if (!known_device(static_cast<int>(type)))
        ZOLSIM_RAISE(NoDevice, op, "no capture board of device type " +
                                       std::to_string(static_cast<int>(type)));
    if (!rack_id(id))
        ZOLSIM_RAISE(NoDevice, op, std::string("no ") + board_name(type) + " board with id " +
                                       std::to_string(id));
    if (!rack_channel(ch))
        ZOLSIM_RAISE(InvalidArgument, op,
                     "channel " + std::to_string(ch) + " out of range 0.." +
                         std::to_string(kRackChannels - 1));
    // Boards by type, id and channel.
    return Rack<std::tuple<ExDevice, int, int>, Board>::instance().board(
        {type, id, ch}, [&] { return std::make_shared<Board>(type, id, ch); });
}

bool pixel_layout(const std::string& name, PixelLayout* out) {
    static const std::map<std::string, PixelLayout, std::less<>> layouts = {
        {"Mono8", {ExPixelFormat::Mono8, 8}},    {"Mono10", {ExPixelFormat::Mono16, 10}},
        {"Mono12", {ExPixelFormat::Mono16, 12}}, {"Mono16", {ExPixelFormat::Mono16, 16}},
        {"RGB8", {ExPixelFormat::RGB8, 8}},      {"BGR8", {ExPixelFormat::BGR8, 8}},
    };
    auto it = layouts.find(name);
    if (it == layouts.end())
        return false;
    if (out)
        *out = it->second;
    return true;
}

void sync_derived(Board& b) {
    std::int64_t w = b.settings.number("Width"), h = b.settings.number("Height");
    b.settings.number("ImageWidth", w);
    b.settings.number("ImageHeight", h);
    // The setting only ever holds a name it accepts.
    PixelLayout px{ExPixelFormat::Mono8, 8};
    pixel_layout(b.settings.text("PixelFormat"), &px);
    b.settings.number("ImageType", static_cast<int>(px.format));
    b.settings.number("ImageDepth", px.bits);
    if (b.settings.has("ImageChannels"))
        b.settings.number("ImageChannels", zol::CxImage::BytesPerPixel(px.format) == 3 ? 3 : 1);
    if (b.settings.has("ImageSize"))
        b.settings.text("ImageSize", std::to_string(w) + "x" + std::to_string(h));
}

namespace capture {

void command(Board& b, const char* op, const std::string& name) {
    Settings& s = b.settings;
    if (b.type == ExDevice::TR520) {
        if (name != "SelfCalibration")
            ZOLSIM_RAISE(UnknownCommand, op, "TR520 has no command '" + name + "'");
        std::lock_guard<std::mutex> lock(b.m);
        s.number("CalibrationCount", ++b.calibrations);
        return;
    }
    if (name == "ClearTriggerMask")
        s.number("MaskedTrigger", 0);
    else if (name == "ResetPG")
        s.number("PGStatus", 1);
    else if (name == "StopPG")
        s.number("PGStatus", 0);
    else if (name == "ResetPLLReconfig")
        s.number("PLLReconfigStatus", 0);
    else if (name == "ExecutePLLReconfig" || name == "PLLReconfig") {
        s.number("PLLReconfigStatus", 1);
        s.number("PLLReconfigCount", s.number("PLLReconfigCount") + 1);
    } else
        ZOLSIM_RAISE(UnknownCommand, op,
                     std::string(board_name(b.type)) + " has no command '" + name + "'");
}

// The pattern generator and the trigger mask are per channel; -1 addresses both channels of
// the board, which reaches this channel as well.
void pg(Board& b, const char* op, int ch, bool run) {
    check_channel(op, ch);
    if (ch == -1 || ch == b.ch)
        b.settings.number("PGStatus", run ? 1 : 0);
}

void clear_trigger_mask(Board& b, const char* op, int ch) {
    check_channel(op, ch);
    if (ch == -1 || ch == b.ch)
        b.settings.number("MaskedTrigger", 0);
}

void get_param(Board& b, const char* op, const char* name, void* value, zol::TxModel model) {
    // The image geometry follows the frame size; it is brought up to date when it is read.
    if (name && derived_from_frame_geometry(name) && b.geometry_stale.exchange(false))
        sync_derived(b);
    b.settings.get(op, name, value, model);
}

void set_param(Board& b, const char* op, const char* name, const void* value, zol::TxModel model) {
    b.settings.set(op, name, value, model);
    // The read-only image geometry is brought up to date when next read.
    if (sets_frame_geometry(name))
        b.geometry_stale.store(true);
}

void send_command(Board& b, const char* op, const char* name, zol::TxModel model) {
    ZOLSIM_REQUIRE(name, op);
    if (model.Kind != zol::Model::Command || model.Count != 1)
        ZOLSIM_RAISE(ParamKind, op, "commands take the command model (6,1)");
    command(b, op, name);
}

} // namespace capture

// The settings of the frame's geometry, and the read-only values made from them (sync_derived).
namespace {
constexpr std::string_view kFrameGeometry[] = {"Width", "Height", "PixelFormat"};
constexpr std::string_view kDerivedFromFrameGeometry[] = {
    "ImageWidth", "ImageHeight", "ImageType", "ImageDepth", "ImageChannels", "ImageSize"};

template <std::size_t N> bool listed(const std::string_view (&names)[N], std::string_view name) {
    for (std::string_view listed_name : names)
        if (listed_name == name)
            return true;
    return false;
}
} // namespace

bool sets_frame_geometry(std::string_view name) { return listed(kFrameGeometry, name); }

bool derived_from_frame_geometry(std::string_view name) {
    return listed(kDerivedFromFrameGeometry, name);
}

} // namespace zolsim
