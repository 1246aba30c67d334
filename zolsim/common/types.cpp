// The library's core types: CxStringA, TxModel, CxImage, the allocation of library objects
// and the interfaces' destructors.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "common/core.h"

namespace zol {

CxStringA::CxStringA() : data_(new char[1]{0}), length_(0) {}
CxStringA::CxStringA(const char* text) : data_(nullptr), length_(0) {
    const char* t = text ? text : "";
    length_ = static_cast<unsigned int>(std::strlen(t));
    data_ = new char[length_ + 1];
    std::memcpy(data_, t, length_ + 1);
}
CxStringA::CxStringA(const CxStringA& other) : CxStringA() { Assign(other.data_, other.length_); }
CxStringA& CxStringA::operator=(const CxStringA& other) {
    if (this != &other)
        Assign(other.data_, other.length_);
    return *this;
}
CxStringA::~CxStringA() { delete[] data_; }
char* CxStringA::Address() { return data_; }
const char* CxStringA::Address() const { return data_; }
unsigned int CxStringA::Length() const { return length_; }
void CxStringA::Assign(const char* data, unsigned int length) {
    char* next = new char[length + 1];
    if (length)
        std::memcpy(next, data, length);
    next[length] = 0;
    delete[] data_;
    data_ = next;
    length_ = length;
}

TxModel::TxModel() : Kind(0), Count(0) {}
TxModel::TxModel(unsigned int kind, unsigned int count) : Kind(kind), Count(count) {}

void* CxModule::operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void CxModule::operator delete(void* p) noexcept { std::free(p); }

IxModule::~IxModule() = default;
IxRegister::~IxRegister() = default;
IxDeviceModule::~IxDeviceModule() = default;
DIO::IxDIO::~IxDIO() = default;
DIO::IxIndexedDIO::~IxIndexedDIO() = default;
Video::IxVideoControl::~IxVideoControl() = default;

CxImage::CxImage()
    : CxModule("CxImage"), data_(nullptr), width_(0), height_(0), stride_(0),
      format_(ExPixelFormat::Mono8) {}
CxImage::CxImage(int width, int height) : CxImage(width, height, ExPixelFormat::Mono8, 0) {}
CxImage::CxImage(int width, int height, ExPixelFormat format, int stride) : CxImage() {
    const int bpp = BytesPerPixel(format);
    if (bpp == 0)
        ZOLSIM_RAISE(InvalidArgument, "CxImage",
                     "unknown pixel format " + std::to_string(static_cast<int>(format)));
    if (width < 0 || height < 0)
        ZOLSIM_RAISE(InvalidArgument, "CxImage", "negative image size");
    const long long row = static_cast<long long>(width) * bpp;
    if (row > INT32_MAX)
        ZOLSIM_RAISE(InvalidArgument, "CxImage", "row of " + std::to_string(row) + " bytes");
    if (stride == 0)
        stride = static_cast<int>(row);
    // A row starts on a whole sample, so 16-bit samples stay aligned in every row.
    const int sample = format == ExPixelFormat::Mono16 ? 2 : 1;
    if (stride < row || stride % sample != 0)
        ZOLSIM_RAISE(InvalidArgument, "CxImage",
                     "stride " + std::to_string(stride) + " for rows of " + std::to_string(row) +
                         " bytes");
    width_ = width;
    height_ = height;
    stride_ = stride;
    format_ = format;
    data_ = static_cast<unsigned char*>(std::calloc(Size() ? Size() : 1, 1));
    if (!data_)
        throw std::bad_alloc();
}
CxImage::CxImage(const CxImage& other)
    : CxImage(other.width_, other.height_, other.format_, other.stride_) {
    if (Size())
        std::memcpy(data_, other.data_, Size());
}
CxImage& CxImage::operator=(const CxImage& other) {
    if (this == &other)
        return *this;
    unsigned char* next = static_cast<unsigned char*>(std::malloc(other.Size() ? other.Size() : 1));
    if (!next)
        throw std::bad_alloc();
    if (other.Size())
        std::memcpy(next, other.data_, other.Size());
    std::free(data_);
    data_ = next;
    width_ = other.width_;
    height_ = other.height_;
    stride_ = other.stride_;
    format_ = other.format_;
    return *this;
}
CxImage::~CxImage() { std::free(data_); }
int CxImage::Width() const { return width_; }
int CxImage::Height() const { return height_; }
int CxImage::Stride() const { return stride_; }
std::size_t CxImage::Size() const {
    return static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_);
}
ExPixelFormat CxImage::PixelFormat() const { return format_; }
int CxImage::BytesPerPixel() const { return BytesPerPixel(format_); }
int CxImage::BytesPerPixel(ExPixelFormat format) {
    switch (format) {
    case ExPixelFormat::Mono8: return 1;
    case ExPixelFormat::Mono16: return 2;
    case ExPixelFormat::RGB8:
    case ExPixelFormat::BGR8: return 3;
    }
    return 0;
}
unsigned char* CxImage::Address() { return data_; }
const unsigned char* CxImage::Address() const { return data_; }

} // namespace zol
