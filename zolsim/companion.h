// What every companion shares: the settings objects, serial links and encoder units of both
// families refer to the board handle they belong to, and are made, copied, moved, compared and
// attached the same way.
#pragma once

#include <memory>
#include <utility>

#include "core.h"

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

} // namespace zolsim

// The members every companion class CLS shares, for a companion of board class BOARD. A copy
// is attached where the original is; a move hands the attachment over and leaves the object
// moved from detached (but usable, as a board handle moved from is left unbound). The family
// defines, in namespace zolsim:
//   void attach(CompanionHandle&, zol::IxModule*, decltype(KIND), const char* op)
//       attaches to the module (null: detaches), refusing one that KIND does not take;
//   bool same(const CompanionHandle&, const CompanionHandle&)   for operator== and !=;
//   bool valid(const CompanionHandle&)                           for IsValid.
#define ZOLSIM_COMPANION(CLS, BOARD, KIND)                                                         \
    CLS::CLS() : CxModule(#CLS), h_(std::make_unique<zolsim::CompanionHandle>()) {}                \
    CLS::CLS(const CLS& other)                                                                     \
        : CxModule(#CLS), h_(std::make_unique<zolsim::CompanionHandle>(*other.h_)) {}              \
    CLS::CLS(CLS&& other)                                                                          \
        : CxModule(#CLS, std::move(other)), h_(std::make_unique<zolsim::CompanionHandle>()) {      \
        h_.swap(other.h_);                                                                         \
    }                                                                                              \
    CLS& CLS::operator=(const CLS& other) {                                                        \
        *h_ = *other.h_;                                                                           \
        return *this;                                                                              \
    }                                                                                              \
    CLS::~CLS() = default;                                                                         \
    bool CLS::operator==(const CLS& other) const {                                                 \
        zolsim::call(this, "operator==", &other);                                                  \
        return zolsim::same(*h_, *other.h_);                                                       \
    }                                                                                              \
    bool CLS::operator!=(const CLS& other) const {                                                 \
        zolsim::call(this, "operator!=", &other);                                                  \
        return !zolsim::same(*h_, *other.h_);                                                      \
    }                                                                                              \
    CLS CLS::From(zol::IxModule* module) {                                                         \
        zolsim::call_static(#CLS, "From", module);                                                 \
        CLS made;                                                                                  \
        zolsim::attach(*made.h_, module, KIND, "From");                                            \
        return made;                                                                               \
    }                                                                                              \
    BOARD* CLS::Controller() const {                                                               \
        zolsim::call(this, "Controller");                                                          \
        return zolsim::controller_as<BOARD>(*h_);                                                  \
    }                                                                                              \
    void CLS::Controller(zol::IxModule* module) {                                                  \
        zolsim::call(this, "Controller", module);                                                  \
        zolsim::attach(*h_, module, KIND, "Controller");                                           \
    }                                                                                              \
    bool CLS::IsValid() const {                                                                    \
        zolsim::call(this, "IsValid");                                                             \
        return zolsim::valid(*h_);                                                                 \
    }
