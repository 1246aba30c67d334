// Errors: the library's exception type, CxException, and how the simulation raises it.
#include <string>

#include "common/core.h"

namespace zolsim {

void raise(zol::ExStatus status, const char* function, const char* file, int line,
           const std::string& message) {
    zol::CxException e(status, function, file, line);
    e.Describe(message);
    throw e;
}

} // namespace zolsim

namespace zol {

CxException::CxException(ExStatus status, const char* function, const char* file, int line)
    : status_(status), function_(function ? function : ""), file_(file ? file : ""),
      has_function_(function != nullptr), has_file_(file != nullptr), line_(line) {}
CxException::CxException(const CxException&) = default;
CxException& CxException::operator=(const CxException&) = default;
CxException::~CxException() = default;
int CxException::Code() const { return static_cast<int>(status_); }
ExStatus CxException::Status() const { return status_; }
const char* CxException::Function() const { return has_function_ ? function_.c_str() : nullptr; }
const char* CxException::Message() const { return message_.c_str(); }
const char* CxException::File() const { return has_file_ ? file_.c_str() : nullptr; }
const char* CxException::BaseName() const {
    if (!has_file_)
        return nullptr;
    size_t slash = file_.rfind('/');
    return file_.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}
int CxException::Line() const { return line_; }
bool CxException::IsTimeout() const { return status_ == ExStatus::Timeout; }
CxException& CxException::Describe(const std::string& text) {
    message_ = text;
    return *this;
}

} // namespace zol
