// What every companion shares: the settings objects, serial links and encoder units of both
// families refer to the board handle they belong to, and are made, copied, moved, compared and
// attached the same way. Each companion class writes those members out as one-line forwarders
// to the templates below, passing `__func__` as the operation it journals.
#pragma once

#include <memory>
#include <utility>

#include "common/core.h"

namespace zolsim {

// The state behind a companion: the board handle it is attached to (none when detached).
struct CompanionHandle {
    Ref controller;
};

// The board handle, or null when detached or when it no longer exists.
inline zol::CxModule* live_controller(const CompanionHandle& h) {
    return alive(h.controller) ? h.controller.object : nullptr;
}

// The board handle as a `B`, or null (detached, gone, or of another class).
template <class B> B* controller_as(const CompanionHandle& h) {
    return dynamic_cast<B*>(live_controller(h));
}

// Names a class where an overload takes a class rather than a value.
template <class T> struct ClassTag {};

// ---- the members every companion class C shares -------------------------------------------
// `F` is the rules of C's family, a type with the static members
//   void attach(CompanionHandle&, zol::IxModule* module, Kind kind, const char* op);
//       attaches to the module (null: detaches), refusing one that `kind` does not take;
//   bool same(const CompanionHandle&, const CompanionHandle&);   for operator== and !=;
//   bool valid(const CompanionHandle&);                           for IsValid.
// `op` is the journaled operation (the member's `__func__`), also the one its errors name.

// The handle of a new companion: detached.
inline std::unique_ptr<CompanionHandle> detached_handle() {
    return std::make_unique<CompanionHandle>();
}

// The handle of a copy: attached where the original is.
template <class C> std::unique_ptr<CompanionHandle> copied_handle(const C& other) {
    return std::make_unique<CompanionHandle>(*PrivateAccess::handle(other));
}

// The handle of a move: it takes the attachment over and leaves the object moved from
// detached (but usable, as a board handle moved from is left unbound).
template <class C> std::unique_ptr<CompanionHandle> taken_handle(C& other) {
    std::unique_ptr<CompanionHandle> h = detached_handle();
    h.swap(PrivateAccess::handle(other));
    return h;
}

// Copy assignment: attached where `other` is.
template <class C> C& companion_assign(C& self, const C& other) {
    *PrivateAccess::handle(self) = *PrivateAccess::handle(other);
    return self;
}

// operator== (operator!= negates it).
template <class F, class C> bool companion_equal(const C& self, const C& other, const char* op) {
    journal_and_fault(&self, op, &other);
    return F::same(*PrivateAccess::handle(self), *PrivateAccess::handle(other));
}

// The static From of class `cls`: a companion attached to `module`.
template <class F, class C, class Kind>
C companion_from(const char* cls, zol::IxModule* module, Kind kind, const char* op) {
    journal_and_fault_as(cls, op, module);
    C made;
    F::attach(*PrivateAccess::handle(made), module, kind, op);
    return made;
}

// The board handle as a `B` (Controller(), GetDeviceModule), or null.
template <class B, class C> B* companion_controller(const C& self, const char* op) {
    journal_and_fault(&self, op);
    return controller_as<B>(*PrivateAccess::handle(self));
}

// Controller(module): attaches to `module`, or detaches when it is null.
template <class F, class C, class Kind>
void companion_attach(C& self, zol::IxModule* module, Kind kind, const char* op) {
    journal_and_fault(&self, op, module);
    F::attach(*PrivateAccess::handle(self), module, kind, op);
}

// IsValid.
template <class F, class C> bool companion_valid(const C& self, const char* op) {
    journal_and_fault(&self, op);
    return F::valid(*PrivateAccess::handle(self));
}

} // namespace zolsim
