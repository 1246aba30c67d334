// The encoder units KX210Encoder and KX310Encoder. Both start with the same six settings and end
// with settings by name and a `send_command` that always refuses; in between each has its own
// settings, counters and commands, listed by its init function below.
//
// Settings by name go through the same name-keyed mechanism as the settings objects, with each
// unit's own small table (params/tables.cpp); an unknown name is refused in the bound member
// itself, and no command is accepted.
#include <string>

#include "params/settings.h"

namespace pyzol {

using namespace zol::Video;

// An encoder unit refuses an unknown name in its bound members and accepts no command.
template <> struct Description<CxKX210Encoder> : CompanionOf<CxKX210, Copy::Allowed> {
    static constexpr TableFunctions table_functions{};
    using GetResult = py::int_;
    static constexpr const NameTable& names = tables::kx210_encoder;
    static constexpr NoCommands commands{};
};
template <> struct Description<CxKX310Encoder> : CompanionOf<CxKX310, Copy::Allowed> {
    static constexpr TableFunctions table_functions{};
    using GetResult = py::int_;
    static constexpr const NameTable& names = tables::kx310_encoder;
    static constexpr NoCommands commands{};
};

namespace {

// The companion members and the settings both units share, in their order.
template <class E> py::class_<E> def_encoder_head(py::module_& m, const char* name) {
    py::class_<E> cls(m, name, keep_alive_slots());
    def_companion_head<E>(cls);
    def_setting(cls, "encoder_mode", &E::EncoderMode, &E::EncoderMode);
    def_setting(cls, "sampling", &E::Sampling, &E::Sampling);
    def_setting(cls, "start", &E::Start, &E::Start);
    def_setting(cls, "dir", &E::Dir, &E::Dir);
    def_setting(cls, "comp1", &E::Comp1, &E::Comp1);
    def_setting(cls, "comp2", &E::Comp2, &E::Comp2); // unsigned: negative values do not convert
    return cls;
}

// The unit's main counter (`total_counter`, `encoder_counter`), then the match and relative
// counters (unsigned, so never negative in Python).
template <class E>
void def_counters(py::class_<E>& cls, const char* main, int (E::*count)() const) {
    cls.def(main, [count](const E& self) { return (self.*count)(); })
        .def("match_counter", [](const E& self) { return self.MatchCounter(); })
        .def("rel_counter", [](const E& self) { return self.RelCounter(); });
}

template <class E> void def_action(py::class_<E>& cls, const char* name, void (E::*action)()) {
    cls.def(name, [action](E& self) { (self.*action)(); });
}

} // namespace

void init_kx210_encoder(py::module_& m) {
    using E = CxKX210Encoder;
    auto cls = def_encoder_head<E>(m, "KX210Encoder");
    def_setting(cls, "init", &E::Init, &E::Init);
    def_setting(cls, "swap_ab", &E::SwapAB, &E::SwapAB);
    def_counters(cls, "total_counter", &E::TotalCounter);
    def_action(cls, "clear_rel_counter", &E::ClearRelCounter);
    cls.def("start_abs", [](E& self, bool start) { self.StartAbs(start); })
        .def("abs_counter", [](const E& self) { return self.AbsCounter(); })
        .def_property_readonly("is_abs_overflow",
                               [](const E& self) { return self.IsAbsOverflow(); })
        .def_property_readonly("is_abs_underflow",
                               [](const E& self) { return self.IsAbsUnderflow(); });
    def_action(cls, "clear_abs_counter", &E::ClearAbsCounter);
    def_action(cls, "clear_overflow", &E::ClearOverflow);
    def_action(cls, "clear_underflow", &E::ClearUnderflow);
    def_action(cls, "clear_all_counter", &E::ClearAllCounter);
    def_by_name(cls);
}

void init_kx310_encoder(py::module_& m) {
    using E = CxKX310Encoder;
    auto cls = def_encoder_head<E>(m, "KX310Encoder");
    def_setting(cls, "reset_source", &E::ResetSource, &E::ResetSource);
    def_setting(cls, "swap_ab", &E::SwapAB, &E::SwapAB);
    def_setting(cls, "signal_source", &E::SignalSource, &E::SignalSource);
    def_action(cls, "start_encoder", &E::StartEncoder);
    def_action(cls, "stop_encoder", &E::StopEncoder);
    def_action(cls, "reset_encoder", &E::ResetEncoder);
    // The library writes into the caller's record (None passes a null pointer).
    cls.def("encoder_status",
            [](E& self, TxKX310EncoderStatus* status) { self.EncoderStatus(status); });
    def_counters(cls, "encoder_counter", &E::EncoderCounter);
    def_setting(cls, "encoder_act_mode", &E::EncoderActMode, &E::EncoderActMode);
    def_by_name(cls);
}

} // namespace pyzol
