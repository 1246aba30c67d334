// What the capture boards (CxKX210, CxKX310, CxTR520) and the video device (CxVideo) do alike,
// as templates over the public class. Each public member forwards here with its own name (`__func__`) as `op`: the
// function journals the call under that name (which also applies an injected fault), then
// drives the acquisition engine, refusing under the same name.
//
// `T` is the public class; its handle (a CaptureHandle, or the VideoHandle of a CxVideo) is
// reached through PrivateAccess.
#pragma once

#include <string>

#include "video/video.h"

namespace zolsim {
namespace member {

template <class T> auto& handle(const T& obj) { return *PrivateAccess::handle(obj); }
// The session of a handle that was not disposed (Disposed for `op` otherwise).
template <class T> Session& live(const T& obj, const char* op) {
    return capture::live(handle(obj), op);
}
// The board of an open handle (NotOpened for `op` otherwise).
template <class T> std::shared_ptr<Board> board(const T& obj, const char* op) {
    return capture::board(live(obj, op), op);
}

// What FromFile of class T journals and makes: ClassTraits<T> gives `name`, the class's name, and
// `make(op, path, id, ch)`, a handle open on board `id`, channel `ch` with the camera file at
// `path` applied. Each source file defines it for its classes.
template <class T> struct ClassTraits;

// FromFile(camerafile, option...): board 0, channel 0.
template <class T, class P, class... Opt>
T from_file(const char* op, const P* camerafile, const Opt&... option) {
    journal_and_fault_as(ClassTraits<T>::name, op, camerafile, option...);
    return ClassTraits<T>::make(op, path_of(camerafile, op), 0, 0);
}
// FromFile(camerafile, id, ch, option...).
template <class T, class P, class... Opt>
T from_file_at(const char* op, const P* camerafile, int id, int ch, const Opt&... option) {
    journal_and_fault_as(ClassTraits<T>::name, op, camerafile, id, ch, option...);
    return ClassTraits<T>::make(op, path_of(camerafile, op), id, ch);
}

// Copies what a copy shares: the board, the open state and whether it was disposed. The image
// ring and the acquisition stay with the original.
inline void copy_handle(CaptureHandle& to, const CaptureHandle& from) {
    capture::close(*to.s);
    capture::copy_binding(*to.s, *from.s);
    to.device = from.device.load();
    to.disposed = from.disposed.load();
}

// operator== (`same` true) and operator!= (false): equal handles are bound to the same rack
// board (type, id and channel); unbound handles only equal themselves.
template <class T> bool equal(const T& a, const char* op, const T& b, bool same) {
    journal_and_fault(&a, op, &b);
    return capture::same_board(*handle(a).s, *handle(b).s) == same;
}

template <class T> zol::ExDevice module_device(const T& obj, const char* op) {
    journal_and_fault(&obj, op);
    return zol::ExDevice(handle(obj).device.load());
}

template <class T> void dispose(T& obj, const char* op) {
    journal_and_fault(&obj, op);
    capture::close(*handle(obj).s);
    handle(obj).disposed = true;
}

template <class T> bool is_valid(const T& obj, const char* op) {
    journal_and_fault(&obj, op);
    return !handle(obj).disposed.load();
}

// Opens the board `id`, channel `ch` of the handle's device type.
template <class T> void open(T& obj, const char* op, int id, int ch) {
    journal_and_fault(&obj, op, id, ch);
    CaptureHandle& h = handle(obj);
    capture::open(h, op, zol::ExDevice(h.device.load()), id, ch);
}

template <class T> void close(T& obj, const char* op) {
    journal_and_fault(&obj, op);
    capture::close(live(obj, op));
}

template <class T> bool is_opened(const T& obj, const char* op) {
    journal_and_fault(&obj, op);
    return capture::is_opened(live(obj, op));
}

// Applies a camera file, which must be for the handle's device type.
template <class T, class P, class... Opt>
void setup(T& obj, const char* op, const P* camerafile, const Opt&... option) {
    journal_and_fault(&obj, op, camerafile, option...);
    Session& s = live(obj, op);
    capture::setup(s, op, zol::ExDevice(handle(obj).device.load()), path_of(camerafile, op));
}

template <class T, class P> void save(const T& obj, const char* op, const P* camerafile) {
    journal_and_fault(&obj, op, camerafile);
    Session& s = live(obj, op);
    capture::save(s, op, path_of(camerafile, op));
}

// Validate(image) and Validate(module): would they take the board's frame?
template <class T> void validate(T& obj, const char* op, zol::CxImage& image) {
    journal_and_fault(&obj, op, image);
    capture::validate(live(obj, op), op, &image);
}
template <class T> void validate(T& obj, const char* op, zol::IxModule* module) {
    journal_and_fault(&obj, op, module);
    capture::validate(live(obj, op), op, module);
}

// Stop (kDone) and Abort (kAborted); `journaled` is what the caller passed (Abort's option:
// every option aborts at once, the simulation has no partial frame to finish).
template <class T, class... A>
void stop(T& obj, const char* op, int final_state, const A&... journaled) {
    journal_and_fault(&obj, op, journaled...);
    capture::stop(live(obj, op), final_state);
}

template <class T> bool is_running(const T& obj, const char* op) {
    journal_and_fault(&obj, op);
    return capture::is_running(live(obj, op));
}

template <class T> int status(T& obj, const char* op) {
    journal_and_fault(&obj, op);
    return capture::status(live(obj, op));
}

// A software trigger on channel `ch` (-1: the board's own); `journaled` is what the caller
// passed.
template <class T, class... A>
void force_trigger(T& obj, const char* op, int ch, const A&... journaled) {
    journal_and_fault(&obj, op, journaled...);
    capture::force_trigger(live(obj, op), op, ch);
}

} // namespace member
} // namespace zolsim

// What the public classes' members call these by.
namespace zol {
namespace Video {
namespace member = zolsim::member;
namespace cap = zolsim::capture;
using zolsim::journal_and_fault;
} // namespace Video
} // namespace zol
