// zol::Video::Api: device information and camera-file items. The simulation does not know the
// type behind `value`, so it never writes through it: the status tells whether the item exists.
#include <fstream>
#include <sstream>

#include <zol/video.h>

#include "core.h"

namespace zol {
namespace Video {

namespace {

const char* const kDeviceItems[] = {"DriverVersion", "BoardCount", "ChannelCount", "DeviceName",
                                    "FpgaVersion"};

std::string trim(const std::string& t) {
    size_t b = t.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    return t.substr(b, t.find_last_not_of(" \t\r") - b + 1);
}

// Looks `item` up in a camera file: Name=Value lines, '#' comments.
ExStatus xml_item(const std::string& path, const char* item) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return ExStatus::FileNotFound;
    std::string line;
    bool found = false;
    while (std::getline(f, line)) {
        line = trim(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            return ExStatus::FileFormat;
        found = found || trim(line.substr(0, eq)) == item;
    }
    return found ? ExStatus::Ok : ExStatus::UnknownParam;
}

} // namespace

ExStatus Api::GetDeviceInfo(ExDevice device, const char* item, void* value) {
    zolsim::call_static("Api", "GetDeviceInfo", device, item, zolsim::Out{value});
    ZOLSIM_REQUIRE(item, "GetDeviceInfo");
    int d = static_cast<int>(device);
    if (d != 1 && d != 2 && d != 4)
        return ExStatus::NoDevice;
    for (const char* known : kDeviceItems)
        if (std::string(known) == item)
            return ExStatus::Ok;
    return ExStatus::UnknownParam;
}

ExStatus Api::GetXmlItem(const char* file, const char* item, void* value) {
    zolsim::call_static("Api", "GetXmlItem", file, item, zolsim::Out{value});
    ZOLSIM_REQUIRE(file, "GetXmlItem");
    ZOLSIM_REQUIRE(item, "GetXmlItem");
    return xml_item(file, item);
}

ExStatus Api::GetXmlItem(const wchar_t* file, const char* item, void* value) {
    zolsim::call_static("Api", "GetXmlItem", file, item, zolsim::Out{value});
    ZOLSIM_REQUIRE(file, "GetXmlItem");
    ZOLSIM_REQUIRE(item, "GetXmlItem");
    return xml_item(zolsim::narrow(file), item);
}

} // namespace Video
} // namespace zol
