// zol::Video::Api: device information and camera-file items.
//
// GetDeviceInfo answers from the simulated rack: what every board of a device type reports
// (board count, channels, name, driver and firmware versions, serial number). GetXmlItem reads
// an item from an XML file (an element, found by name or by a slash-separated path of element
// names) or from a camera file (Name=Value lines, '#' comments).
//
// The answer goes into the caller's TxItemValue, never past the Size the caller gave it: a text
// that does not fit is cut and the status says Truncated. A null `value` asks for the status
// alone.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "common/rack.h"
#include "video/video.h"

namespace zol {
namespace Video {

namespace {

struct Answer {
    bool number = false;
    long long value = 0;
    std::string text;
};

// A whole decimal (or 0x hexadecimal) integer is a number; anything else is text.
Answer answer_of(const std::string& value) {
    Answer a;
    a.text = value;
    if (value.empty() || std::isspace(static_cast<unsigned char>(value[0])))
        return a;
    errno = 0;
    char* end = nullptr;
    long long n = std::strtoll(value.c_str(), &end, 0);
    if (errno == 0 && end && *end == '\0') {
        a.number = true;
        a.value = n;
    }
    return a;
}

std::optional<Answer> device_item(ExDevice device, const std::string& item) {
    const char* name = zolsim::board_name(device);
    if (item == "BoardCount")
        return Answer{true, zolsim::kRackBoards, {}};
    if (item == "ChannelCount")
        return Answer{true, zolsim::kRackChannels, {}};
    if (item == "DeviceName")
        return Answer{false, 0, name};
    if (item == "DriverVersion")
        return Answer{false, 0, zolsim::DriverVersion::text};
    if (item == "FpgaVersion") { // as the boards' own setting: text on the KX310, else a number
        using Fpga = zolsim::CaptureFpgaVersion;
        return device == ExDevice::KX310 ? Answer{false, 0, Fpga::text}
                                         : Answer{true, Fpga::number, {}};
    }
    if (item == "SerialNumber")
        return Answer{false, 0, std::string("ZOL-") + name + "-000" + std::to_string(int(device))};
    return std::nullopt;
}

// Writes `a` into the caller's record without going past its Size.
ExStatus deliver(const Answer& a, void* value) {
    if (!value)
        return ExStatus::Ok;
    auto* record = static_cast<TxItemValue*>(value);
    const std::size_t size = record->Size;
    const std::size_t text_at = offsetof(TxItemValue, Text);
    if (size < text_at + 1)
        return ExStatus::InvalidArgument; // no room even for an empty text: nothing written
    record->Kind = a.number ? ItemKind::Number : ItemKind::Text;
    record->Number = a.number ? a.value : 0;
    record->Length = static_cast<unsigned int>(a.number ? 0 : a.text.size());
    const std::size_t room = size - text_at - 1;
    const std::size_t n = a.number ? 0 : std::min(room, a.text.size());
    // Text is declared with four bytes; the caller's room runs on past them.
    char* text = reinterpret_cast<char*>(record) + text_at;
    std::memcpy(text, a.text.data(), n);
    text[n] = '\0';
    return n < (a.number ? 0 : a.text.size()) ? ExStatus::Truncated : ExStatus::Ok;
}

std::string decode_entities(const std::string& t) {
    static const std::pair<const char*, char> entities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < t.size();) {
        bool done = false;
        if (t[i] == '&')
            for (const auto& [entity, c] : entities)
                if (t.compare(i, std::strlen(entity), entity) == 0) {
                    out += c;
                    i += std::strlen(entity);
                    done = true;
                    break;
                }
        if (!done)
            out += t[i++];
    }
    return out;
}

// The content of the first element `name` inside [begin, end) of `doc`, as a range.
bool find_element(const std::string& doc, size_t& begin, size_t& end, const std::string& name) {
    for (size_t at = doc.find('<', begin); at != std::string::npos && at < end;
         at = doc.find('<', at + 1)) {
        if (doc.compare(at + 1, name.size(), name) != 0)
            continue;
        // The name must end there: <Width> or <Width a="1">, not <WidthMax>.
        const size_t after = at + 1 + name.size();
        if (after >= end)
            continue;
        const unsigned char next = static_cast<unsigned char>(doc[after]);
        if (next != '>' && next != '/' && !std::isspace(next))
            continue;
        const size_t open_end = doc.find('>', after);
        if (open_end == std::string::npos || open_end >= end)
            return false;
        if (doc[open_end - 1] == '/') { // <name/>: an empty element
            begin = end = open_end + 1;
            return true;
        }
        const size_t close = doc.find("</" + name + ">", open_end + 1);
        if (close == std::string::npos || close > end)
            return false;
        begin = open_end + 1;
        end = close;
        return true;
    }
    return false;
}

std::optional<Answer> xml_item(const std::string& doc, const std::string& item) {
    size_t begin = 0, end = doc.size();
    std::stringstream path(item);
    std::string step;
    bool any = false;
    while (std::getline(path, step, '/')) {
        if (step.empty() || !find_element(doc, begin, end, step))
            return std::nullopt;
        any = true;
    }
    if (!any)
        return std::nullopt;
    return answer_of(decode_entities(zolsim::trim(doc.substr(begin, end - begin))));
}

// The first value a camera file gives `item`.
std::optional<Answer> camera_item(const zolsim::NameValues& file, const std::string& item) {
    for (const zolsim::NameValue& p : file.pairs)
        if (p.name == item)
            return answer_of(p.value);
    return std::nullopt;
}

ExStatus file_item(const std::string& path, const char* item, void* value) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return ExStatus::FileNotFound;
    std::stringstream content;
    content << f.rdbuf();
    const std::string doc = content.str();
    std::optional<Answer> a;
    if (zolsim::trim(doc).rfind('<', 0) == 0) {
        a = xml_item(doc, item);
    } else {
        const zolsim::NameValues file = zolsim::parse_name_values(doc);
        if (file.malformed.line)
            return ExStatus::FileFormat;
        a = camera_item(file, item);
    }
    return a ? deliver(*a, value) : ExStatus::UnknownParam;
}

template <class Char> ExStatus xml_item_of(const Char* file, const char* item, void* value) {
    zolsim::journal_and_fault_as("Api", "GetXmlItem", file, item, zolsim::Out{value});
    const std::string path = zolsim::path_of(file, "GetXmlItem");
    ZOLSIM_REQUIRE(item, "GetXmlItem");
    return file_item(path, item, value);
}

} // namespace

ExStatus Api::GetDeviceInfo(ExDevice device, const char* item, void* value) {
    zolsim::journal_and_fault_as("Api", "GetDeviceInfo", device, item, zolsim::Out{value});
    ZOLSIM_REQUIRE(item, "GetDeviceInfo");
    if (!zolsim::known_device(static_cast<int>(device)))
        return ExStatus::NoDevice;
    std::optional<Answer> a = device_item(device, item);
    return a ? deliver(*a, value) : ExStatus::UnknownParam;
}

ExStatus Api::GetXmlItem(const char* file, const char* item, void* value) {
    return xml_item_of(file, item, value);
}

ExStatus Api::GetXmlItem(const wchar_t* file, const char* item, void* value) {
    return xml_item_of(file, item, value);
}

} // namespace Video
} // namespace zol
