// Name tables: which names of a settings object may be read and which written, with which kind
// of value, and which commands it accepts. Plain C++ (no Python, no device library), so that the
// tables are compiled into pyzol.unit, which checks names against them, and into pyzol._tables,
// which lists them for the package's settings mapping.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pyzol {

enum class ValueKind { Signed, Unsigned, Text };

// One direction (read or write) of a name table. Matching is exact (same length, same bytes), so
// a hash lookup decides exactly what a search in table order would, in a time that does not
// grow with the table.
class NameSet {
  public:
    // Adds `name` unless it is already there: the first entry of a name decides its kind, as a
    // search in table order would.
    void add(std::string_view name, ValueKind kind);
    // The kind of `name`, or null when the name is not in this direction.
    const ValueKind* find(std::string_view name) const;
    // Every name of this direction, in table order.
    std::vector<std::string> names() const;

  private:
    std::unordered_map<std::string_view, ValueKind> kinds_;
    std::vector<std::string_view> order_;
};

struct NameTable {
    NameSet read;
    NameSet write;
    std::vector<std::string_view> order; // every name once, in table order
};

// A table written the way the boards' lists are: groups of one kind, each read-only, readable and
// writable, or write-only. Names are not copied: they must outlive the table (string literals
// do).
enum class Access { ReadOnly, ReadWrite, WriteOnly };
struct NameGroup {
    ValueKind kind;
    Access access;
    std::initializer_list<const char*> names;
};
NameTable name_table(std::initializer_list<NameGroup> groups);

// The commands an object accepts; matching is exact, as for settings.
class CommandSet {
  public:
    CommandSet(std::initializer_list<const char*> names)
        : order_(names.begin(), names.end()), names_(names.begin(), names.end()) {}
    bool contains(std::string_view name) const { return names_.count(name) != 0; }
    const std::vector<std::string_view>& names() const { return order_; } // in table order

  private:
    std::vector<std::string_view> order_;
    std::unordered_set<std::string_view> names_;
};

// The commands of a class that has no SendCommand in the library: none.
struct NoCommands {
    static constexpr bool contains(std::string_view) { return false; }
};

} // namespace pyzol
