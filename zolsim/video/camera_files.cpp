// Camera files of the boards and the video device: Setup applies one to the board a handle is
// open on, Save writes the board's settings as one. A camera file is a settings file that may
// also name the board type it is for ("DeviceType=N").
#include <algorithm>
#include <cstdlib>
#include <string>

#include "video/video.h"

namespace zolsim {
namespace capture {

NameValues camera_file(const char* op, const std::string& path, int own, int* device) {
    *device = -1;
    NameValues file = read_name_values(op, path);
    auto names_type = [](const NameValue& p) { return p.name == "DeviceType"; };
    const NameValue* named = nullptr; // the last DeviceType line decides
    for (const NameValue& p : file.pairs) {
        if (!names_type(p))
            continue;
        char* end = nullptr;
        long n = std::strtol(p.value.c_str(), &end, 0);
        if (p.value.empty() || *end || !known_device(static_cast<int>(n)))
            refuse_line(op, file, p, "bad DeviceType '" + p.value + "'");
        *device = static_cast<int>(n);
        named = &p;
    }
    if (named && own != -1 && *device != own)
        refuse_line(op, file, *named, "camera file is for device type " + std::to_string(*device));
    file.pairs.erase(std::remove_if(file.pairs.begin(), file.pairs.end(), names_type),
                     file.pairs.end());
    return file;
}

void setup(Session& s, const char* op, zol::ExDevice own, const std::string& path) {
    auto b = board(s, op);
    int device;
    b->settings.apply(op, camera_file(op, path, static_cast<int>(own), &device));
    sync_derived(*b);
}

void save(Session& s, const char* op, const std::string& path) {
    auto b = board(s, op);
    write_file(op, path,
               "DeviceType=" + std::to_string(static_cast<int>(b->type)) + "\n" +
                   b->settings.dump());
}

} // namespace capture
} // namespace zolsim
