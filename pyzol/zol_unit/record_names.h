// The record classes are registered after the members that return or take them (the module's
// registration order is fixed), so pybind11 would write their C++ names into those members'
// signatures. zol_unit.h includes these casters, which name the records by their Python names
// instead, in every translation unit of the module (conversion is that of argument_casters.h).
#pragma once
#define PYZOL_RECORD_NAMES_H

#include "common/argument_casters.h" // first: it decides how the module links to the interpreter

#include <pybind11/pybind11.h>

#include <zol/dio.h>
#include <zol/video.h>

#define PYZOL_RECORD_NAME(type, python_name)                                                       \
    template <> struct type_caster<type> : checked_caster<type> {                                  \
        static constexpr auto name = const_name("pyzol.unit." python_name);                        \
    }

namespace pybind11 {
namespace detail {
PYZOL_RECORD_NAME(zol::DIO::TxRM1600WaitStatus, "RM1600WaitStatus");
PYZOL_RECORD_NAME(zol::DIO::TxDQ160WaitStatus, "DQ160WaitStatus");
PYZOL_RECORD_NAME(zol::Video::TxKX210CaptureStatus, "TxKX210CaptureStatus");
PYZOL_RECORD_NAME(zol::Video::TxKX310CaptureStatus, "TxKX310CaptureStatus");
PYZOL_RECORD_NAME(zol::Video::TxKX310EncoderStatus, "TxKX310EncoderStatus");
PYZOL_RECORD_NAME(zol::Video::TxTR520CaptureStatus, "TxTR520CaptureStatus");
} // namespace detail
} // namespace pybind11

#undef PYZOL_RECORD_NAME
