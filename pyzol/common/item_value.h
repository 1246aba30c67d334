// The storage behind pyzol.core.TxItemValue: a zol::Video::TxItemValue with room for text after
// it, for the answers that Api::GetDeviceInfo and Api::GetXmlItem write through a `void*`.
// pyzol.core registers the class; pyzol.unit finds the record of such an object when it is
// passed as that `void*`.
#pragma once

#include "common/argument_casters.h" // first (before pybind11); converted like the library's classes

#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>

#include <zol/zol.h>

namespace pyzol {

class ItemValue {
  public:
    // Room for `capacity` bytes of text (the terminating NUL not counted).
    explicit ItemValue(std::size_t capacity)
        : words_(new unsigned long long[words_for(capacity)]()), capacity_(capacity) {
        record()->Size = static_cast<unsigned int>(offsetof(zol::Video::TxItemValue, Text) +
                                                   capacity + 1);
    }

    zol::Video::TxItemValue* record() {
        return reinterpret_cast<zol::Video::TxItemValue*>(words_.get());
    }
    const zol::Video::TxItemValue* record() const {
        return reinterpret_cast<const zol::Video::TxItemValue*>(words_.get());
    }
    std::size_t capacity() const { return capacity_; }

    // The largest capacity whose record size still fits the record's 32-bit Size.
    static constexpr std::size_t max_capacity =
        0xffffffffu - offsetof(zol::Video::TxItemValue, Text) - 1;

  private:
    static std::size_t words_for(std::size_t capacity) {
        const std::size_t bytes = offsetof(zol::Video::TxItemValue, Text) + capacity + 1;
        return (bytes + sizeof(unsigned long long) - 1) / sizeof(unsigned long long);
    }

    // 8-byte words: the record's alignment, and zeroed (Kind None, empty text).
    std::unique_ptr<unsigned long long[]> words_;
    std::size_t capacity_;
};

void init_item_value(pybind11::module_& m); // pyzol/core/item_value.cpp

// Converted by the checked caster of the library's classes: an instance whose __init__ never ran
// is refused with TypeError wherever it is passed (as self too), not read as a record.
library_type_tag pyzol_library_type(ItemValue*);

} // namespace pyzol
