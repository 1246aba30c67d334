// The library's core types and the simulation's shared machinery: errors, journal, faults,
// live objects and serial numbers, settings store, files.
#include "core.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <unordered_map>

#include <zol/sim.h>

namespace zolsim {

// ---- errors -----------------------------------------------------------------------------------

void raise(zol::ExStatus status, const char* function, const char* file, int line,
           const std::string& message) {
    zol::CxException e(status, function, file, line);
    e.Describe(message);
    throw e;
}

// ---- journal ------------------------------------------------------------------------------------
// The process-wide tables below are never destroyed: a thread may still be inside the library
// (a daemon thread in a wait) while the process runs its exit handlers.

namespace {
bool journal_from_environment() {
    const char* v = std::getenv("ZOL_SIM_JOURNAL");
    return v && *v && std::strcmp(v, "0") != 0;
}
std::mutex g_journal_mutex;
std::size_t g_journal_cleared = 0; // entries recorded before the first one kept
std::vector<std::string>& journal_entries() {
    static auto* entries = new std::vector<std::string>;
    return *entries;
}
} // namespace

std::atomic<bool> g_journal_on{journal_from_environment()};

void journal_add(std::string entry) {
    std::lock_guard<std::mutex> lock(g_journal_mutex);
    journal_entries().push_back(std::move(entry));
}

namespace {
void hex(std::string& s, const char* prefix, unsigned long v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*lx", digits, v);
    s += prefix;
    s += buf;
}
} // namespace

void put(std::string& s, int v) { s += std::to_string(v); }
void put(std::string& s, unsigned int v) { s += std::to_string(v); }
void put(std::string& s, bool v) { s += v ? "true" : "false"; }
void put(std::string& s, char v) { s += std::to_string(static_cast<unsigned char>(v)); }

void put(std::string& s, const char* v) {
    if (!v) {
        s += "null";
        return;
    }
    s += '"';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(v); *p; ++p) {
        if (*p < 0x20 || *p > 0x7e || *p == '"' || *p == '\\')
            hex(s, "\\x", *p, 2);
        else
            s += static_cast<char>(*p);
    }
    s += '"';
}

void put(std::string& s, const wchar_t* v) {
    if (!v) {
        s += "null";
        return;
    }
    s += "L\"";
    for (const wchar_t* p = v; *p; ++p) {
        unsigned long c = static_cast<unsigned long>(static_cast<std::uint32_t>(*p));
        if (c < 0x20 || c > 0x7e || c == '"' || c == '\\')
            c <= 0xffff ? hex(s, "\\u", c, 4) : hex(s, "\\U", c, 8);
        else
            s += static_cast<char>(c);
    }
    s += '"';
}

void put(std::string& s, const zol::CxModule* v) {
    if (!v) {
        s += "null";
        return;
    }
    const char* cls = Access::class_name(v);
    s += std::strcmp(cls, "CxImage") == 0 ? "img" : cls;
    s += '#';
    s += std::to_string(Access::serial(v));
}

void put(std::string& s, const zol::IxModule* v) {
    put(s, dynamic_cast<const zol::CxModule*>(v));
}

void put(std::string& s, const zol::CxImage& v) { put(s, static_cast<const zol::CxModule*>(&v)); }

void put(std::string& s, zol::TxModel v) {
    s += "model(" + std::to_string(v.Kind) + "," + std::to_string(v.Count) + ")";
}

void put(std::string& s, Out v) { s += v.p ? "out" : "null"; }

void put(std::string& s, IntPtr v) {
    if (!v.p)
        s += "null";
    else
        s += "&" + std::to_string(*v.p);
}

void put(std::string& s, Images v) {
    if (!v.images) {
        s += "null";
        return;
    }
    s += '[';
    for (int i = 0; i < v.count; ++i) {
        if (i)
            s += ", ";
        put(s, static_cast<const zol::CxModule*>(v.images[i]));
    }
    s += ']';
}

void put(std::string& s, Value v) {
    if (!v.p) {
        s += "null";
        return;
    }
    switch (v.model.Kind) {
    case zol::Model::Signed: put(s, *static_cast<const int*>(v.p)); break;
    case zol::Model::Unsigned: put(s, *static_cast<const unsigned int*>(v.p)); break;
    case zol::Model::Text: put(s, static_cast<const zol::CxStringA*>(v.p)->Address()); break;
    default: s += "out"; break;
    }
}

// ---- faults -------------------------------------------------------------------------------------

namespace {
struct Fault {
    int status;
    bool has_function, has_file;
    std::string function, file;
    int line;
    int count;
};
std::mutex g_fault_mutex;
std::unordered_map<std::string, Fault>& faults() {
    static auto* table = new std::unordered_map<std::string, Fault>;
    return *table;
}
} // namespace

std::atomic<int> g_faults_armed{0};

void check_fault(const char* class_name, const char* op) {
    std::string key = std::string(class_name) + "::" + op;
    std::unique_lock<std::mutex> lock(g_fault_mutex);
    auto it = faults().find(key);
    if (it == faults().end())
        return;
    Fault f = it->second;
    if (--it->second.count <= 0) {
        faults().erase(it);
        g_faults_armed.fetch_sub(1);
    }
    lock.unlock();
    zol::CxException e(static_cast<zol::ExStatus>(f.status),
                       f.has_function ? f.function.c_str() : nullptr,
                       f.has_file ? f.file.c_str() : nullptr, f.line);
    e.Describe("injected fault in " + key);
    throw e;
}

// ---- registry -------------------------------------------------------------------------------------

namespace {
std::mutex g_registry_mutex;
std::unordered_map<const zol::CxModule*, unsigned int>& registry() {
    static auto* live = new std::unordered_map<const zol::CxModule*, unsigned int>;
    return *live;
}
std::unordered_map<std::string, unsigned int>& serial_counters() {
    static auto* counters = new std::unordered_map<std::string, unsigned int>;
    return *counters;
}
std::atomic<long> g_live{0};

// Registers a new object; one made by moving takes over the serial number of `moved`, which is
// left without one (references to it no longer find it alive).
unsigned int enter(const zol::CxModule* object, const char* cls,
                   const zol::CxModule* moved = nullptr, unsigned int serial = 0) {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    if (moved)
        registry()[moved] = 0;
    if (!serial)
        serial = ++serial_counters()[cls];
    registry()[object] = serial;
    g_live.fetch_add(1, std::memory_order_relaxed);
    return serial;
}
void leave(const zol::CxModule* object) {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    registry().erase(object);
    g_live.fetch_sub(1, std::memory_order_relaxed);
}
} // namespace

Ref make_ref(zol::CxModule* object) {
    Ref r;
    r.object = object;
    r.serial = object ? Access::serial(object) : 0;
    return r;
}

bool alive(const Ref& ref) {
    if (!ref.object)
        return false;
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    auto it = registry().find(ref.object);
    return it != registry().end() && it->second == ref.serial;
}

// ---- reset ------------------------------------------------------------------------------------------

namespace {
std::mutex g_reset_mutex;
std::vector<std::function<void()>>& reset_hooks() {
    static auto* hooks = new std::vector<std::function<void()>>;
    return *hooks;
}
} // namespace

void on_reset(std::function<void()> drop_boards) {
    std::lock_guard<std::mutex> lock(g_reset_mutex);
    reset_hooks().push_back(std::move(drop_boards));
}

// ---- settings store ------------------------------------------------------------------------------------

namespace {
unsigned int model_kind(Kind k) {
    switch (k) {
    case Kind::Signed: return zol::Model::Signed;
    case Kind::Unsigned: return zol::Model::Unsigned;
    default: return zol::Model::Text;
    }
}
unsigned int model_count(Kind k) { return k == Kind::Text ? 0 : 1; }
const char* kind_name(Kind k) {
    return k == Kind::Signed ? "signed integer" : k == Kind::Unsigned ? "unsigned integer" : "text";
}
std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}
} // namespace

Settings::Settings(const std::vector<SettingDef>& catalogue) {
    for (const SettingDef& d : catalogue) {
        Entry e{d.kind, d.writable, d.number, d.text ? d.text : "", d.accepts};
        if (entries_.emplace(d.name, e).second)
            order_.push_back(d.name);
    }
}

const Settings::Entry& Settings::find(const char* op, std::string_view name) const {
    auto it = entries_.find(name);
    if (it == entries_.end())
        ZOLSIM_RAISE(UnknownParam, op, "no setting named '" + std::string(name) + "'");
    return it->second;
}

void Settings::get(const char* op, const char* name, void* value, zol::TxModel model) const {
    ZOLSIM_REQUIRE(name, op);
    ZOLSIM_REQUIRE(value, op);
    std::lock_guard<std::mutex> lock(mutex_);
    const Entry& e = find(op, name);
    if (model.Kind != model_kind(e.kind) || model.Count != model_count(e.kind))
        ZOLSIM_RAISE(ParamKind, op, std::string("setting '") + name + "' is a " + kind_name(e.kind));
    switch (e.kind) {
    case Kind::Signed: *static_cast<int*>(value) = static_cast<int>(e.number); break;
    case Kind::Unsigned:
        *static_cast<unsigned int*>(value) = static_cast<unsigned int>(e.number);
        break;
    case Kind::Text:
        static_cast<zol::CxStringA*>(value)->Assign(e.text.data(),
                                                    static_cast<unsigned int>(e.text.size()));
        break;
    }
}

void Settings::set(const char* op, const char* name, const void* value, zol::TxModel model) {
    ZOLSIM_REQUIRE(name, op);
    ZOLSIM_REQUIRE(value, op);
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& e = const_cast<Entry&>(find(op, name));
    if (model.Kind != model_kind(e.kind) || model.Count != model_count(e.kind))
        ZOLSIM_RAISE(ParamKind, op, std::string("setting '") + name + "' is a " + kind_name(e.kind));
    if (!e.writable)
        ZOLSIM_RAISE(ReadOnly, op, std::string("setting '") + name + "' is read-only");
    switch (e.kind) {
    case Kind::Signed: e.number = *static_cast<const int*>(value); break;
    case Kind::Unsigned: e.number = *static_cast<const unsigned int*>(value); break;
    case Kind::Text: {
        std::string text = static_cast<const zol::CxStringA*>(value)->Address();
        if (e.accepts && !e.accepts(text))
            ZOLSIM_RAISE(InvalidArgument, op,
                         std::string("setting '") + name + "': bad value '" + text + "'");
        e.text = std::move(text);
        break;
    }
    }
}

std::int64_t Settings::number(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return find("Settings", name).number;
}

void Settings::number(const std::string& name, std::int64_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& e = const_cast<Entry&>(find("Settings", name));
    e.number = e.kind == Kind::Unsigned ? static_cast<std::int64_t>(static_cast<std::uint32_t>(value))
                                        : static_cast<std::int64_t>(static_cast<std::int32_t>(value));
}

std::string Settings::text(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return find("Settings", name).text;
}

void Settings::text(const std::string& name, const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    const_cast<Entry&>(find("Settings", name)).text = value;
}

bool Settings::has(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.count(name) != 0;
}

void Settings::apply(const char* op, const std::string& content) {
    std::istringstream in(content);
    std::string line;
    std::vector<std::pair<std::string, std::string>> pairs;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        line = trim(line);
        if (line.empty())
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            ZOLSIM_RAISE(FileFormat, op, "line " + std::to_string(number) + ": expected Name=Value");
        pairs.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<std::string, Entry, std::less<>> next = entries_;
    for (const auto& [name, text] : pairs) {
        auto it = next.find(name);
        if (it == next.end())
            ZOLSIM_RAISE(FileFormat, op, "unknown setting '" + name + "'");
        Entry& e = it->second;
        if (!e.writable)
            ZOLSIM_RAISE(FileFormat, op, "setting '" + name + "' is read-only");
        if (e.kind == Kind::Text) {
            if (e.accepts && !e.accepts(text))
                ZOLSIM_RAISE(FileFormat, op, "setting '" + name + "': bad value '" + text + "'");
            e.text = text;
            continue;
        }
        char* end = nullptr;
        long long v = std::strtoll(text.c_str(), &end, 0);
        bool bad = text.empty() || *end != '\0';
        if (e.kind == Kind::Signed)
            bad = bad || v < INT32_MIN || v > INT32_MAX;
        else
            bad = bad || v < 0 || v > UINT32_MAX;
        if (bad)
            ZOLSIM_RAISE(FileFormat, op, "setting '" + name + "': bad value '" + text + "'");
        e.number = v;
    }
    entries_.swap(next);
}

std::string Settings::dump() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    for (const std::string& name : order_) {
        const Entry& e = entries_.at(name);
        if (!e.writable)
            continue;
        out += name + "=" + (e.kind == Kind::Text ? e.text : std::to_string(e.number)) + "\n";
    }
    return out;
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

std::string path_of(const char* path, const char* op) {
    ZOLSIM_REQUIRE(path, op);
    return path;
}
std::string path_of(const wchar_t* path, const char* op) {
    ZOLSIM_REQUIRE(path, op);
    return zolsim::narrow(path);
}

} // namespace zolsim

// =====================================================================================================
// The core types of the library.

namespace zol {

using zolsim::Access;

CxException::CxException(ExStatus status, const char* function, const char* file, int line)
    : status_(status), function_(function ? function : ""), file_(file ? file : ""),
      has_function_(function != nullptr), has_file_(file != nullptr), line_(line) {}
CxException::CxException(const CxException&) = default;
CxException& CxException::operator=(const CxException&) = default;
CxException::~CxException() = default;
int CxException::Code() const { return static_cast<int>(status_); }
ExStatus CxException::Status() const { return status_; }
const char* CxException::Function() const { return has_function_ ? function_.c_str() : nullptr; }
const char* CxException::Message() const { return message_.c_str(); }
const char* CxException::File() const { return has_file_ ? file_.c_str() : nullptr; }
const char* CxException::BaseName() const {
    if (!has_file_)
        return nullptr;
    size_t slash = file_.rfind('/');
    return file_.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}
int CxException::Line() const { return line_; }
bool CxException::IsTimeout() const { return status_ == ExStatus::Timeout; }
CxException& CxException::Describe(const std::string& text) {
    message_ = text;
    return *this;
}

CxStringA::CxStringA() : data_(new char[1]{0}), length_(0) {}
CxStringA::CxStringA(const char* text) : data_(nullptr), length_(0) {
    const char* t = text ? text : "";
    length_ = static_cast<unsigned int>(std::strlen(t));
    data_ = new char[length_ + 1];
    std::memcpy(data_, t, length_ + 1);
}
CxStringA::CxStringA(const CxStringA& other) : CxStringA() { Assign(other.data_, other.length_); }
CxStringA& CxStringA::operator=(const CxStringA& other) {
    if (this != &other)
        Assign(other.data_, other.length_);
    return *this;
}
CxStringA::~CxStringA() { delete[] data_; }
char* CxStringA::Address() { return data_; }
const char* CxStringA::Address() const { return data_; }
unsigned int CxStringA::Length() const { return length_; }
void CxStringA::Assign(const char* data, unsigned int length) {
    char* next = new char[length + 1];
    if (length)
        std::memcpy(next, data, length);
    next[length] = 0;
    delete[] data_;
    data_ = next;
    length_ = length;
}

TxModel::TxModel() : Kind(0), Count(0) {}
TxModel::TxModel(unsigned int kind, unsigned int count) : Kind(kind), Count(count) {}

void* CxModule::operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void CxModule::operator delete(void* p) noexcept { std::free(p); }

CxModule::CxModule(const char* class_name)
    : class_(class_name), serial_(zolsim::enter(this, class_name)) {}
CxModule::CxModule(const char* class_name, CxModule&& moved)
    : class_(class_name), serial_(zolsim::enter(this, class_name, &moved, moved.serial_)) {
    moved.serial_ = 0;
}
CxModule::~CxModule() { zolsim::leave(this); }
const char* CxModule::ClassName() const { return class_; }

IxModule::~IxModule() = default;
IxRegister::~IxRegister() = default;
IxDeviceModule::~IxDeviceModule() = default;
DIO::IxDIO::~IxDIO() = default;
DIO::IxIndexedDIO::~IxIndexedDIO() = default;
Video::IxVideoControl::~IxVideoControl() = default;

CxImage::CxImage()
    : CxModule("CxImage"), data_(nullptr), width_(0), height_(0), stride_(0),
      format_(ExPixelFormat::Mono8) {}
CxImage::CxImage(int width, int height) : CxImage(width, height, ExPixelFormat::Mono8, 0) {}
CxImage::CxImage(int width, int height, ExPixelFormat format, int stride) : CxImage() {
    const int bpp = BytesPerPixel(format);
    if (bpp == 0)
        ZOLSIM_RAISE(InvalidArgument, "CxImage",
                     "unknown pixel format " + std::to_string(static_cast<int>(format)));
    if (width < 0 || height < 0)
        ZOLSIM_RAISE(InvalidArgument, "CxImage", "negative image size");
    const long long row = static_cast<long long>(width) * bpp;
    if (row > INT32_MAX)
        ZOLSIM_RAISE(InvalidArgument, "CxImage", "row of " + std::to_string(row) + " bytes");
    if (stride == 0)
        stride = static_cast<int>(row);
    // A row starts on a whole sample, so 16-bit samples stay aligned in every row.
    const int sample = format == ExPixelFormat::Mono16 ? 2 : 1;
    if (stride < row || stride % sample != 0)
        ZOLSIM_RAISE(InvalidArgument, "CxImage",
                     "stride " + std::to_string(stride) + " for rows of " + std::to_string(row) +
                         " bytes");
    width_ = width;
    height_ = height;
    stride_ = stride;
    format_ = format;
    data_ = static_cast<unsigned char*>(std::calloc(Size() ? Size() : 1, 1));
    if (!data_)
        throw std::bad_alloc();
}
CxImage::CxImage(const CxImage& other)
    : CxImage(other.width_, other.height_, other.format_, other.stride_) {
    if (Size())
        std::memcpy(data_, other.data_, Size());
}
CxImage& CxImage::operator=(const CxImage& other) {
    if (this == &other)
        return *this;
    unsigned char* next = static_cast<unsigned char*>(std::malloc(other.Size() ? other.Size() : 1));
    if (!next)
        throw std::bad_alloc();
    if (other.Size())
        std::memcpy(next, other.data_, other.Size());
    std::free(data_);
    data_ = next;
    width_ = other.width_;
    height_ = other.height_;
    stride_ = other.stride_;
    format_ = other.format_;
    return *this;
}
CxImage::~CxImage() { std::free(data_); }
int CxImage::Width() const { return width_; }
int CxImage::Height() const { return height_; }
int CxImage::Stride() const { return stride_; }
std::size_t CxImage::Size() const {
    return static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_);
}
ExPixelFormat CxImage::PixelFormat() const { return format_; }
int CxImage::BytesPerPixel() const { return BytesPerPixel(format_); }
int CxImage::BytesPerPixel(ExPixelFormat format) {
    switch (format) {
    case ExPixelFormat::Mono8: return 1;
    case ExPixelFormat::Mono16: return 2;
    case ExPixelFormat::RGB8:
    case ExPixelFormat::BGR8: return 3;
    }
    return 0;
}
unsigned char* CxImage::Address() { return data_; }
const unsigned char* CxImage::Address() const { return data_; }

// ---- control surface: journal, faults, objects ----------------------------------------------------

namespace sim {

void Reset() {
    std::vector<std::function<void()>> hooks;
    {
        std::lock_guard<std::mutex> lock(zolsim::g_reset_mutex);
        hooks = zolsim::reset_hooks();
    }
    for (auto& h : hooks)
        h();
    ClearJournal();
    ClearFaults();
    std::lock_guard<std::mutex> lock(zolsim::g_registry_mutex);
    zolsim::serial_counters().clear();
}

void SetJournal(bool on) { zolsim::g_journal_on.store(on); }
bool JournalOn() { return zolsim::journal_on(); }

std::vector<std::string> Journal() {
    std::lock_guard<std::mutex> lock(zolsim::g_journal_mutex);
    return zolsim::journal_entries();
}

std::size_t JournalSize() {
    std::lock_guard<std::mutex> lock(zolsim::g_journal_mutex);
    return zolsim::g_journal_cleared + zolsim::journal_entries().size();
}

std::vector<std::string> JournalFrom(std::size_t first) {
    std::lock_guard<std::mutex> lock(zolsim::g_journal_mutex);
    const auto& kept = zolsim::journal_entries();
    std::size_t skip = first > zolsim::g_journal_cleared ? first - zolsim::g_journal_cleared : 0;
    if (skip >= kept.size())
        return {};
    return std::vector<std::string>(kept.begin() + static_cast<long>(skip), kept.end());
}

void ClearJournal() {
    std::lock_guard<std::mutex> lock(zolsim::g_journal_mutex);
    zolsim::g_journal_cleared += zolsim::journal_entries().size();
    zolsim::journal_entries().clear();
}

void Fail(const std::string& op, int status, const char* function, const char* file, int line,
          int count) {
    if (count <= 0)
        return;
    std::lock_guard<std::mutex> lock(zolsim::g_fault_mutex);
    zolsim::Fault f{status,         function != nullptr, file != nullptr, function ? function : "",
                    file ? file : "", line,              count};
    if (zolsim::faults().insert_or_assign(op, f).second)
        zolsim::g_faults_armed.fetch_add(1);
}

void ClearFaults() {
    std::lock_guard<std::mutex> lock(zolsim::g_fault_mutex);
    zolsim::faults().clear();
    zolsim::g_faults_armed.store(0);
}

int PendingFaults(const std::string& op) {
    std::lock_guard<std::mutex> lock(zolsim::g_fault_mutex);
    auto it = zolsim::faults().find(op);
    return it == zolsim::faults().end() ? 0 : it->second.count;
}

long LiveObjects() { return zolsim::g_live.load(); }

} // namespace sim
} // namespace zol
