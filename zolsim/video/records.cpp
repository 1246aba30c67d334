// Status records of the video family: plain values, zero by default, compared field by field.
#include <tuple>

#include <zol/video.h>

namespace zol {
namespace Video {

namespace {

// The fields of the KX210 and TR520 capture records, distinct types with the same fields, in
// the order their constructors take them.
template <class R> auto capture_fields() {
    return std::make_tuple(&R::total_frame_count, &R::amount_in_frame, &R::last_frame_no,
                           &R::line_count, &R::dma_schedule_peak, &R::capture_event);
}
template <class R, class... V> void fill(R& r, const V&... value) {
    std::apply([&](auto... field) { ((r.*field = value), ...); }, capture_fields<R>());
}
template <class R> bool equal(const R& a, const R& b) {
    return std::apply([&](auto... field) { return ((a.*field == b.*field) && ...); },
                      capture_fields<R>());
}

} // namespace

TxKX210CaptureStatus::TxKX210CaptureStatus() : TxKX210CaptureStatus(0, 0, 0, 0, 0, 0) {}
TxKX210CaptureStatus::TxKX210CaptureStatus(unsigned int total, unsigned int amount,
                                           unsigned int last, int lines, int peak,
                                           unsigned int event) {
    fill(*this, total, amount, last, lines, peak, event);
}
bool TxKX210CaptureStatus::operator==(const TxKX210CaptureStatus& o) const {
    return equal(*this, o);
}
bool TxKX210CaptureStatus::operator!=(const TxKX210CaptureStatus& o) const {
    return !(*this == o);
}

TxTR520CaptureStatus::TxTR520CaptureStatus() : TxTR520CaptureStatus(0, 0, 0, 0, 0, 0) {}
TxTR520CaptureStatus::TxTR520CaptureStatus(unsigned int total, unsigned int amount,
                                           unsigned int last, int lines, int peak,
                                           unsigned int event) {
    fill(*this, total, amount, last, lines, peak, event);
}
bool TxTR520CaptureStatus::operator==(const TxTR520CaptureStatus& o) const {
    return equal(*this, o);
}
bool TxTR520CaptureStatus::operator!=(const TxTR520CaptureStatus& o) const {
    return !(*this == o);
}

TxKX310CaptureStatus::TxKX310CaptureStatus()
    : total_frame_count(0), amount_in_frame(0), last_frame_no(0), line_count(0),
      capture_state(0) {}
TxKX310CaptureStatus::TxKX310CaptureStatus(unsigned int total_frame_count,
                                           unsigned int amount_in_frame,
                                           unsigned int last_frame_no, int line_count,
                                           int capture_state)
    : total_frame_count(total_frame_count), amount_in_frame(amount_in_frame),
      last_frame_no(last_frame_no), line_count(line_count), capture_state(capture_state) {}
bool TxKX310CaptureStatus::operator==(const TxKX310CaptureStatus& o) const {
    return total_frame_count == o.total_frame_count && amount_in_frame == o.amount_in_frame &&
           last_frame_no == o.last_frame_no && line_count == o.line_count &&
           capture_state == o.capture_state;
}
bool TxKX310CaptureStatus::operator!=(const TxKX310CaptureStatus& o) const {
    return !(*this == o);
}

TxKX310EncoderStatus::TxKX310EncoderStatus()
    : is_abs_overflow(false), is_abs_underflow(false), a_state(0), b_state(0), z_state(0),
      encoder_state(0), encoder_counter(0), rel_counter(0), match_counter(0) {}
TxKX310EncoderStatus::TxKX310EncoderStatus(bool is_abs_overflow, bool is_abs_underflow,
                                           int a_state, int b_state, int z_state,
                                           int encoder_state, int encoder_counter,
                                           unsigned int rel_counter, unsigned int match_counter)
    : is_abs_overflow(is_abs_overflow), is_abs_underflow(is_abs_underflow), a_state(a_state),
      b_state(b_state), z_state(z_state), encoder_state(encoder_state),
      encoder_counter(encoder_counter), rel_counter(rel_counter), match_counter(match_counter) {}
bool TxKX310EncoderStatus::operator==(const TxKX310EncoderStatus& o) const {
    return is_abs_overflow == o.is_abs_overflow && is_abs_underflow == o.is_abs_underflow &&
           a_state == o.a_state && b_state == o.b_state && z_state == o.z_state &&
           encoder_state == o.encoder_state && encoder_counter == o.encoder_counter &&
           rel_counter == o.rel_counter && match_counter == o.match_counter;
}
bool TxKX310EncoderStatus::operator!=(const TxKX310EncoderStatus& o) const {
    return !(*this == o);
}

} // namespace Video
} // namespace zol
