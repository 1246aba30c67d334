// Files and paths: the Name=Value line format of settings and camera files, whole files read
// and written at once, and path arguments, narrow or wide, as UTF-8.
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "common/core.h"

namespace zolsim {

std::string trim(const std::string& text) {
    const char* const blanks = " \t\r\n";
    size_t b = text.find_first_not_of(blanks);
    if (b == std::string::npos)
        return "";
    return text.substr(b, text.find_last_not_of(blanks) - b + 1);
}

NameValues parse_name_values(const std::string& content, const std::string& path) {
    NameValues file;
    file.path = path;
    std::istringstream in(content);
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        std::string line = trim(raw.substr(0, raw.find('#')));
        if (line.empty())
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            if (!file.malformed.line)
                file.malformed = {"", "", number, raw};
            continue;
        }
        file.pairs.push_back({trim(line.substr(0, eq)), trim(line.substr(eq + 1)), number, raw});
    }
    return file;
}

NameValues read_name_values(const char* op, const std::string& path) {
    return parse_name_values(read_file(op, path), path);
}

void refuse_line(const char* op, const NameValues& file, const NameValue& line,
                 const std::string& why) {
    zol::CxException e(zol::ExStatus::FileFormat, op, file.path.c_str(), line.line);
    e.Describe(file.path + ", line " + std::to_string(line.line) + ": \"" + line.text +
               "\": " + why);
    throw e;
}

std::string read_file(const char* op, const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        ZOLSIM_RAISE(FileNotFound, op, "cannot open '" + path + "' for reading");
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void write_file(const char* op, const std::string& path, const std::string& content) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f || !(f << content) || !f.flush())
        ZOLSIM_RAISE(FileWrite, op, "cannot write '" + path + "'");
}

namespace {
// A wide path as UTF-8.
std::string narrow(const wchar_t* path) {
    std::string out;
    for (const wchar_t* p = path; p && *p; ++p) {
        std::uint32_t c = static_cast<std::uint32_t>(*p);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

} // namespace

std::string path_of(const char* path, const char* op) {
    ZOLSIM_REQUIRE(path, op);
    return path;
}
std::string path_of(const wchar_t* path, const char* op) {
    ZOLSIM_REQUIRE(path, op);
    return narrow(path);
}

} // namespace zolsim
