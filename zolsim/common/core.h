// Internals shared by every family of the simulated library, one section a concern, each
// defined in the file its title names. The library's core types (CxException in errors.cpp,
// the others in types.cpp) and the companions' shared members (companion.h) live apart.
//
// The process-wide tables (journal, faults, registry, reset hooks, racks) are made on first
// use and never destroyed: a thread may still be inside the library (a daemon thread in a
// wait) while the process runs its exit handlers, and must find them intact.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <zol/zol.h>

namespace zolsim {

// ---- access to the private parts of the public classes ------------------------------------
struct PrivateAccess {
    static unsigned int serial(const zol::CxModule* m) { return m->serial_; }
    static const char* class_name(const zol::CxModule* m) { return m->class_; }
    template <class T> static auto& handle(T& obj) { return obj.h_; }
    template <class T> static const auto& handle(const T& obj) { return obj.h_; }
};

// ---- errors (errors.cpp) --------------------------------------------------------------------
// Throws CxException(status, function, file, line) with a description. `function` is the
// library operation that refuses ("Open", "Wait", ...).
[[noreturn]] void raise(zol::ExStatus status, const char* function, const char* file, int line,
                        const std::string& message);
#define ZOLSIM_RAISE(status, function, message)                                                   \
    ::zolsim::raise(::zol::ExStatus::status, function, __FILE__, __LINE__, message)
// Throws NullPointer when `ptr` is null.
#define ZOLSIM_REQUIRE(ptr, function)                                                              \
    do {                                                                                           \
        if (!(ptr))                                                                                \
            ZOLSIM_RAISE(NullPointer, function, #ptr " is null");                                  \
    } while (0)

// ---- journal and argument renderings (journal.cpp) ------------------------------------------
extern std::atomic<bool> g_journal_on;
inline bool journal_on() { return g_journal_on.load(std::memory_order_relaxed); }
void journal_add(std::string entry);

// Argument renderings (see put() below).
struct Out {               // an out-pointer: "out" or "null"
    const void* p;
};
struct IntPtr {            // an int* argument: "&N" or "null"
    const int* p;
};
struct Images {            // an array of images: "[img#1, null]" or "null"
    zol::CxImage* const* images;
    int count;
};
struct Value {             // a SetParam value, rendered by its model's kind
    const void* p;
    zol::TxModel model;
};

void put(std::string& s, int v);
void put(std::string& s, unsigned int v);
void put(std::string& s, bool v);
void put(std::string& s, char v); // its code, 0 to 255
void put(std::string& s, const char* v);
void put(std::string& s, const wchar_t* v);
void put(std::string& s, const zol::CxModule* v); // Class#N, img#N or null
void put(std::string& s, const zol::IxModule* v); // as the object's class, or null
void put(std::string& s, const zol::CxImage& v);
void put(std::string& s, zol::TxModel v);
void put(std::string& s, Out v);
void put(std::string& s, IntPtr v);
void put(std::string& s, Images v);
void put(std::string& s, Value v);
template <class E, class = std::enable_if_t<std::is_enum<E>::value>>
void put(std::string& s, E v) {
    put(s, static_cast<int>(v));
}
// Pointers to library objects of any class render as the object.
template <class T, class = std::enable_if_t<std::is_base_of<zol::CxModule, T>::value>>
void put(std::string& s, T* v) {
    put(s, static_cast<const zol::CxModule*>(v));
}

inline void put_args(std::string&) {}
template <class A, class... R> void put_args(std::string& s, const A& a, const R&... rest) {
    put(s, a);
    if (sizeof...(rest)) {
        s += ", ";
        put_args(s, rest...);
    }
}

// ---- faults (faults.cpp) --------------------------------------------------------------------
extern std::atomic<int> g_faults_armed;
void check_fault(const char* class_name, const char* op); // throws when one is armed

// Journals an operation of class `cls` (the entry is written first) and then applies an
// injected fault.
template <class... A> void journal_and_fault_as(const char* cls, const char* op, const A&... args) {
    if (journal_on()) {
        std::string s = cls;
        s += "::";
        s += op;
        s += '(';
        put_args(s, args...);
        s += ')';
        journal_add(std::move(s));
    }
    if (g_faults_armed.load(std::memory_order_relaxed))
        check_fault(cls, op);
}
// The same for an operation of `self`, under the object's own class.
template <class... A>
void journal_and_fault(const zol::CxModule* self, const char* op, const A&... args) {
    journal_and_fault_as(PrivateAccess::class_name(self), op, args...);
}

// ---- registry of live objects (registry.cpp) ------------------------------------------------
// A reference to a library object that may be destroyed behind our back: the address with the
// serial number it had, so a new object at the same address is not mistaken for it.
struct Ref {
    zol::CxModule* object = nullptr;
    unsigned int serial = 0;
    explicit operator bool() const { return object != nullptr; }
};
Ref make_ref(zol::CxModule* object);
bool alive(const Ref& ref);

// ---- racks and their reset (registry.cpp) ---------------------------------------------------
// Each family registers how to drop its boards; sim::Reset calls them all.
void on_reset(std::function<void()> drop_boards);

// The rack of a family: its boards by `Key`, each made when first asked for. The rack is made
// on first use and never destroyed, and registers its reset hook at the same moment. A reset
// drops every board: handles keep theirs through their shared_ptr, later requests make fresh
// ones.
template <class Key, class Board> class Rack {
  public:
    static Rack& instance() {
        static Rack* const made = [] {
            Rack* r = new Rack;
            on_reset([r] { r->drop(); });
            return r;
        }();
        return *made;
    }

    // The board at `key`, made by `make()` when there is none.
    template <class Make> std::shared_ptr<Board> board(const Key& key, Make make) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::shared_ptr<Board>& slot = boards_[key];
        if (!slot)
            slot = make();
        return slot;
    }

  private:
    Rack() = default;
    void drop() {
        std::map<Key, std::shared_ptr<Board>> dropped;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            dropped.swap(boards_);
        }
        // The boards no handle holds go here, outside the lock.
    }
    std::mutex mutex_;
    std::map<Key, std::shared_ptr<Board>> boards_;
};

// Milliseconds of a wait from a Timeout setting: negative waits for ever.
constexpr int kForever = -1;

// ---- files: the Name=Value line format, whole files, paths (files.cpp) ----------------------
// Settings files and camera files hold one "Name=Value" per line. '#' starts a comment; blank
// lines, and blanks around a name or a value, do not count.
struct NameValue {
    std::string name, value;
    int line = 0;     // number (from 1) of its line in the file
    std::string text; // that line as written, without its line end
};
struct NameValues {
    std::string path;             // the file they were read from, as the caller named it
    std::vector<NameValue> pairs; // in file order
    NameValue malformed;          // the first line that is neither (line 0: none)
};
NameValues parse_name_values(const std::string& content, const std::string& path = "");
// Reads and parses a settings or camera file; throws FileNotFound for `op` when it cannot.
NameValues read_name_values(const char* op, const std::string& path);
// Refuses a line of a settings or camera file: FileFormat for `op`, with the file's path as
// File and the line's number as Line, so that the error points where the user must look; the
// description quotes the line.
[[noreturn]] void refuse_line(const char* op, const NameValues& file, const NameValue& line,
                              const std::string& why);
// `text` without the blanks (spaces, tabs, line ends) it starts or ends with.
std::string trim(const std::string& text);

// Reads a whole file; throws FileNotFound for `op` when it cannot.
std::string read_file(const char* op, const std::string& path);
// Writes a whole file; throws FileWrite for `op` when it cannot.
void write_file(const char* op, const std::string& path, const std::string& content);
// A path argument of `op`, narrow or wide, as UTF-8; null throws NullPointer.
std::string path_of(const char* path, const char* op);
std::string path_of(const wchar_t* path, const char* op);

// ---- settings store (settings.cpp) ----------------------------------------------------------
enum class Kind { Signed, Unsigned, Text };

struct SettingDef {
    const char* name;
    Kind kind;
    bool writable;
    std::int64_t number; // default of numeric settings
    const char* text;    // default of text settings
    // Text settings with a closed set of values: true for a value the setting takes. A value
    // it refuses leaves the setting as it was (FileFormat from a file, InvalidArgument from
    // SetParam).
    bool (*accepts)(const std::string& value) = nullptr;
};

// A board's named settings, created from its catalogue; thread-safe.
class Settings {
  public:
    explicit Settings(const std::vector<SettingDef>& catalogue);

    // The name-keyed operations: `op` names the operation for errors ("GetParam").
    void get(const char* op, const char* name, void* value, zol::TxModel model) const;
    void set(const char* op, const char* name, const void* value, zol::TxModel model);

    // Typed access by the library itself (no kind check beyond numeric/text).
    std::int64_t number(const std::string& name) const;
    void number(const std::string& name, std::int64_t value); // ignores writability
    std::string text(const std::string& name) const;
    void text(const std::string& name, const std::string& value);
    bool has(const std::string& name) const;

    // Sets every setting a settings or camera file names (all must be known and writable, and
    // the file well formed) or none; FileFormat for `op` otherwise.
    void apply(const char* op, const NameValues& file);
    std::string dump() const; // the writable settings, in catalogue order

  private:
    struct Entry {
        Kind kind;
        bool writable;
        std::int64_t number;
        std::string text;
        bool (*accepts)(const std::string& value);
    };
    const Entry& find(const char* op, std::string_view name) const;
    mutable std::mutex mutex_;
    std::map<std::string, Entry, std::less<>> entries_; // looked up without copying the name
    std::vector<std::string> order_;
};

} // namespace zolsim
