// Device library interface: libzol_unit.so.1.2, namespace zol.
//
// The core types every board family shares: status and device enumerations, the
// exception every operation throws, the narrow string and value model of name-keyed
// access, the allocation base of every handle, the images, and the interfaces.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#if defined(__GNUC__)
#define ZOL_API __attribute__((visibility("default")))
#else
#define ZOL_API
#endif

namespace zolsim {
// Library-private state behind the handle classes (defined by the library).
struct PrivateAccess;
struct DioHandle;
struct CaptureHandle;
struct CompanionHandle;
struct VideoHandle;
} // namespace zolsim

namespace zol {

// Status of a library call; the code a CxException carries.
enum class ExStatus : int {
    Ok = 0,
    Failed = 1,          // generic refusal
    NoObject = 2,        // the object (or the one it refers to) does not exist
    NullPointer = 3,     // a pointer argument the operation needs was null
    InvalidArgument = 4, // a value out of range (id, channel, index, size)
    NoDevice = 5,        // no such board in the rack
    NotOpened = 6,       // the board is not open
    Busy = 7,            // acquisition running, wait already pending, ...
    Timeout = 8,         // a wait ran out of time
    Disposed = 9,        // the handle was disposed
    FileNotFound = 10,   // a file could not be opened for reading
    FileFormat = 11,     // a file's content could not be understood
    FileWrite = 12,      // a file could not be written
    UnknownParam = 13,   // no setting of that name
    ParamKind = 14,      // the value model does not match the setting's kind
    ReadOnly = 15,       // the setting cannot be written
    NotLocked = 16,      // no images locked for the acquisition
    ImageTooSmall = 17,  // an image is smaller than the frame
    NotSupported = 18,   // the operation has no meaning for this object
    NoController = 19,   // a companion is not attached to a board
    Aborted = 20,        // a blocking call was aborted
    UnknownCommand = 21, // no command of that name
    Truncated = 22,      // the answer did not fit the caller's buffer and was cut
    ImageFormat = 23,    // an image's pixel format is not the frame's
};

// Device type of a capture board.
enum class ExDevice : int {
    KX210 = 1,
    TR520 = 2,
    KX310 = 4,
};

// The one exception type of the library. Copyable, thrown by value.
class ZOL_API CxException {
  public:
    CxException(ExStatus status, const char* function, const char* file, int line);
    CxException(const CxException& other);
    CxException& operator=(const CxException& other);
    virtual ~CxException();

    virtual int Code() const;
    virtual ExStatus Status() const;
    virtual const char* Function() const; // may be null
    virtual const char* Message() const;  // the library's own description, never null
    virtual const char* File() const;     // may be null
    virtual const char* BaseName() const; // last component of File(), may be null
    virtual int Line() const;
    virtual bool IsTimeout() const;

    // Library use: attach a human-readable description.
    CxException& Describe(const std::string& text);

  private:
    ExStatus status_;
    std::string function_, file_, message_;
    bool has_function_, has_file_;
    int line_;
};

// Narrow string carrying the text values of name-keyed access.
class ZOL_API CxStringA {
  public:
    CxStringA();
    CxStringA(const char* text); // the text ends at its first NUL; null gives ""
    CxStringA(const CxStringA& other);
    CxStringA& operator=(const CxStringA& other);
    ~CxStringA();

    char* Address();             // writable character buffer, NUL-terminated
    const char* Address() const;
    unsigned int Length() const; // bytes before the terminating NUL

    void Assign(const char* data, unsigned int length);

  private:
    char* data_;
    unsigned int length_;
};

// Value model of name-keyed access: two 32-bit words, the kind code and a count.
struct ZOL_API TxModel {
    TxModel();
    TxModel(unsigned int kind, unsigned int count);
    unsigned int Kind;
    unsigned int Count;
};
static_assert(sizeof(TxModel) == 8, "TxModel is two 32-bit words");

// Kind codes of TxModel.
namespace Model {
constexpr unsigned int Text = 0;     // CxStringA, count 0
constexpr unsigned int Unsigned = 4; // unsigned int, count 1
constexpr unsigned int Command = 6;  // scratch buffer, count 1
constexpr unsigned int Signed = 8;   // int, count 1
} // namespace Model

// Allocation base of every handle object of the library.
class ZOL_API CxModule {
  public:
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;
    virtual ~CxModule();

    const char* ClassName() const; // "CxMB100", "CxImage", ...

  protected:
    explicit CxModule(const char* class_name);
    CxModule(const char* class_name, CxModule&& moved); // takes over the serial number
    CxModule(const CxModule&) = delete;
    CxModule& operator=(const CxModule&) { return *this; } // identity is never assigned

  private:
    friend struct zolsim::PrivateAccess;
    const char* class_;
    unsigned int serial_;
};

// Any module of the library that another can be attached to (boards, video devices).
class ZOL_API IxModule {
  public:
    virtual ExDevice ModuleDevice() const = 0; // the capture device type, or 0 for others

  protected:
    virtual ~IxModule();
};

// Registers of a module.
class ZOL_API IxRegister {
  public:
    virtual void SetRegister(unsigned int reg, unsigned int value) = 0;
    virtual void GetRegister(unsigned int reg, unsigned int* value) const = 0;

  protected:
    virtual ~IxRegister();
};

// A companion that belongs to a module.
class ZOL_API IxDeviceModule {
  public:
    virtual IxModule* GetDeviceModule() const = 0;

  protected:
    virtual ~IxDeviceModule();
};

// Pixel format of an image and of a board's frames. Samples of more than 8 bits (10 and
// 12-bit cameras) sit in the low bits of 16-bit little-endian words.
enum class ExPixelFormat : int {
    Mono8 = 0,  // 1 byte per pixel
    Mono16 = 1, // 2 bytes per pixel, one 16-bit word
    RGB8 = 2,   // 3 bytes per pixel: red, green, blue
    BGR8 = 3,   // 3 bytes per pixel: blue, green, red
};

// An image: width x height pixels of one pixel format, rows `Stride()` bytes apart (at least
// width x bytes per pixel; packed unless asked otherwise).
class ZOL_API CxImage : public CxModule {
  public:
    CxImage();
    CxImage(int width, int height); // Mono8, packed
    // stride 0: packed rows. A stride shorter than a row, or not a whole number of samples,
    // throws InvalidArgument.
    CxImage(int width, int height, ExPixelFormat format, int stride = 0);
    CxImage(const CxImage& other);
    CxImage& operator=(const CxImage& other);
    ~CxImage() override;

    int Width() const;
    int Height() const;
    int Stride() const;       // bytes from one row to the next
    std::size_t Size() const; // bytes: Stride() x Height()
    ExPixelFormat PixelFormat() const;
    int BytesPerPixel() const;
    unsigned char* Address();
    const unsigned char* Address() const;

    static int BytesPerPixel(ExPixelFormat format); // 0 for an unknown format

  private:
    unsigned char* data_;
    int width_, height_, stride_;
    ExPixelFormat format_;
};

namespace DIO {

// Whole-port access: 32 bits as one word.
class ZOL_API IxDIO {
  public:
    virtual void Read(unsigned int* word) = 0;
    virtual void Write(unsigned int word) = 0;
    virtual void WriteStatus(unsigned int* word) = 0;

  protected:
    virtual ~IxDIO();
};

// Single-point access by index.
class ZOL_API IxIndexedDIO {
  public:
    virtual void Read(int index, bool* state) = 0;
    virtual void Write(int index, bool state) = 0;
    virtual void WriteStatus(int index, bool* state) = 0;

  protected:
    virtual ~IxIndexedDIO();
};

} // namespace DIO

namespace Video {

// Start/stop/wait of an acquisition.
class ZOL_API IxVideoControl {
  public:
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual void Abort() = 0;
    virtual void Wait() = 0;
    virtual bool IsRunning() const = 0;

  protected:
    virtual ~IxVideoControl();
};

// Kinds of answer in a TxItemValue.
namespace ItemKind {
constexpr unsigned int None = 0;   // nothing written (yet)
constexpr unsigned int Number = 1; // the answer is Number
constexpr unsigned int Text = 2;   // the answer is Text
} // namespace ItemKind

// The answer of Api::GetDeviceInfo and Api::GetXmlItem, written through their `value`
// argument. The caller sets Size to the bytes it provides at that address: this record and the
// room for text that follows it (Text runs on past its declared four bytes). The library writes
// nothing beyond Size bytes: a text that does not fit is cut (still NUL-terminated) and the
// call returns ExStatus::Truncated.
struct TxItemValue {
    unsigned int Size;   // set by the caller
    unsigned int Kind;   // ItemKind
    long long Number;    // the answer, when it is a number
    unsigned int Length; // bytes of the whole text answer, however much of it fitted
    char Text[4];        // the text answer, NUL-terminated, cut to the room Size leaves
};

// Device information and camera-file items. `value` is null (only the status is answered) or
// points at a TxItemValue.
class ZOL_API Api {
  public:
    static ExStatus GetDeviceInfo(ExDevice device, const char* item, void* value);
    static ExStatus GetXmlItem(const char* file, const char* item, void* value);
    static ExStatus GetXmlItem(const wchar_t* file, const char* item, void* value);
};

} // namespace Video
} // namespace zol
