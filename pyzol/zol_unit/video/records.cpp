// The capture and encoder status records.
#include "records.h"

namespace pyzol {

namespace {
// The KX210 and TR520 capture records have the same fields over distinct library types.
template <class R> void def_capture_record(py::module_& m, const char* name) {
    def_record<R>(m, name, field("total_frame_count", &R::total_frame_count),
                  field("amount_in_frame", &R::amount_in_frame),
                  field("last_frame_no", &R::last_frame_no), field("line_count", &R::line_count),
                  field("dma_schedule_peak", &R::dma_schedule_peak),
                  field("capture_event", &R::capture_event));
}
} // namespace

void init_capture_records(py::module_& m) {
    using namespace zol::Video;
    def_capture_record<TxKX210CaptureStatus>(m, "TxKX210CaptureStatus");
    using K = TxKX310CaptureStatus;
    def_record<K>(m, "TxKX310CaptureStatus", field("total_frame_count", &K::total_frame_count),
                  field("amount_in_frame", &K::amount_in_frame),
                  field("last_frame_no", &K::last_frame_no), field("line_count", &K::line_count),
                  field("capture_state", &K::capture_state));
    using E = TxKX310EncoderStatus;
    def_record<E>(m, "TxKX310EncoderStatus", field("is_abs_overflow", &E::is_abs_overflow),
                  field("is_abs_underflow", &E::is_abs_underflow), field("a_state", &E::a_state),
                  field("b_state", &E::b_state), field("z_state", &E::z_state),
                  field("encoder_state", &E::encoder_state),
                  field("encoder_counter", &E::encoder_counter),
                  field("rel_counter", &E::rel_counter), field("match_counter", &E::match_counter));
    def_capture_record<TxTR520CaptureStatus>(m, "TxTR520CaptureStatus");
}

} // namespace pyzol
