// Device library interface: the capture boards, their companions and the generic
// video device (namespace zol::Video).
#pragma once

#include "zol.h"

namespace zol {
namespace Video {

// ---- status records ------------------------------------------------------------------

struct ZOL_API TxKX210CaptureStatus {
    TxKX210CaptureStatus();
    TxKX210CaptureStatus(unsigned int total_frame_count, unsigned int amount_in_frame,
                         unsigned int last_frame_no, int line_count, int dma_schedule_peak,
                         unsigned int capture_event);
    bool operator==(const TxKX210CaptureStatus& other) const;
    bool operator!=(const TxKX210CaptureStatus& other) const;
    unsigned int total_frame_count;
    unsigned int amount_in_frame;
    unsigned int last_frame_no;
    int line_count;
    int dma_schedule_peak;
    unsigned int capture_event;
};

struct ZOL_API TxTR520CaptureStatus {
    TxTR520CaptureStatus();
    TxTR520CaptureStatus(unsigned int total_frame_count, unsigned int amount_in_frame,
                         unsigned int last_frame_no, int line_count, int dma_schedule_peak,
                         unsigned int capture_event);
    bool operator==(const TxTR520CaptureStatus& other) const;
    bool operator!=(const TxTR520CaptureStatus& other) const;
    unsigned int total_frame_count;
    unsigned int amount_in_frame;
    unsigned int last_frame_no;
    int line_count;
    int dma_schedule_peak;
    unsigned int capture_event;
};

struct ZOL_API TxKX310CaptureStatus {
    TxKX310CaptureStatus();
    TxKX310CaptureStatus(unsigned int total_frame_count, unsigned int amount_in_frame,
                         unsigned int last_frame_no, int line_count, int capture_state);
    bool operator==(const TxKX310CaptureStatus& other) const;
    bool operator!=(const TxKX310CaptureStatus& other) const;
    unsigned int total_frame_count;
    unsigned int amount_in_frame;
    unsigned int last_frame_no;
    int line_count;
    int capture_state;
};

struct ZOL_API TxKX310EncoderStatus {
    TxKX310EncoderStatus();
    TxKX310EncoderStatus(bool is_abs_overflow, bool is_abs_underflow, int a_state, int b_state,
                         int z_state, int encoder_state, int encoder_counter,
                         unsigned int rel_counter, unsigned int match_counter);
    bool operator==(const TxKX310EncoderStatus& other) const;
    bool operator!=(const TxKX310EncoderStatus& other) const;
    bool is_abs_overflow;
    bool is_abs_underflow;
    int a_state;
    int b_state;
    int z_state;
    int encoder_state;
    int encoder_counter;
    unsigned int rel_counter;
    unsigned int match_counter;
};

// ---- capture boards --------------------------------------------------------------------

// What the three capture boards have in common below their operations: the handle state.
class ZOL_API CxCaptureBoard : public CxModule, public IxModule {
  public:
    ~CxCaptureBoard() override;
    ExDevice ModuleDevice() const override;

  protected:
    CxCaptureBoard(const char* class_name, ExDevice device);
    CxCaptureBoard(const char* class_name, const CxCaptureBoard& other);
    CxCaptureBoard(const char* class_name, CxCaptureBoard&& other);
    void assign(const CxCaptureBoard& other);
    bool same_board(const CxCaptureBoard& other) const;

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::CaptureHandle> h_;
};

class ZOL_API CxKX210 : public CxCaptureBoard, public IxVideoControl {
  public:
    CxKX210();
    CxKX210(const CxKX210& other);
    CxKX210(CxKX210&& other);
    CxKX210& operator=(const CxKX210& other);
    ~CxKX210() override;
    bool operator==(const CxKX210& other) const;
    bool operator!=(const CxKX210& other) const;

    static CxKX210 FromFile(const char* camerafile, int option);
    static CxKX210 FromFile(const wchar_t* camerafile, int option);
    static CxKX210 FromFile(const char* camerafile, int id, int ch, int option);
    static CxKX210 FromFile(const wchar_t* camerafile, int id, int ch, int option);

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Open(int id, int ch);
    virtual void Close();
    virtual void Setup(const char* camerafile, int option);
    virtual void Setup(const wchar_t* camerafile, int option);
    virtual void Save(const char* camerafile) const;
    virtual void Save(const wchar_t* camerafile) const;
    virtual bool IsOpened() const;
    virtual void Validate(CxImage& image);

  private:
    virtual void Reserved1();

  public:
    virtual void Lock(const CxImage& image, int option);

  private:
    virtual void Reserved2();

  public:
    virtual void Unlock();
    void Start() override;
    void Stop() override;
    void Abort() override;
    void Wait() override;
    bool IsRunning() const override;
    virtual int Status();
    virtual TxKX210CaptureStatus WaitStatus();
    virtual TxKX210CaptureStatus QueryStatus();
    virtual TxKX210CaptureStatus QueryStatus(unsigned int frame);
    virtual TxKX210CaptureStatus WaitStatus(unsigned int frame);
    virtual void ForceTrigger();
    virtual void Abort(unsigned int option);
    virtual void Num(int frames);
    virtual int Num() const;
    virtual void LockId(int id);
    virtual int LockId() const;
    virtual void Validate(CxImage** images, int count);
    virtual void Lock(CxImage** images, int count, int option);
};

class ZOL_API CxKX310 : public CxCaptureBoard, public IxVideoControl {
  public:
    CxKX310();
    CxKX310(const CxKX310& other);
    CxKX310(CxKX310&& other);
    CxKX310& operator=(const CxKX310& other);
    ~CxKX310() override;
    bool operator==(const CxKX310& other) const;
    bool operator!=(const CxKX310& other) const;

    static CxKX310 FromFile(const char* camerafile, int option);
    static CxKX310 FromFile(const wchar_t* camerafile, int option);
    static CxKX310 FromFile(const char* camerafile, int id, int ch, int option);
    static CxKX310 FromFile(const wchar_t* camerafile, int id, int ch, int option);

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Open(int id, int ch);
    virtual void Close();
    virtual bool IsOpened() const;
    virtual void Setup(const char* camerafile, int option);
    virtual void Setup(const wchar_t* camerafile, int option);
    virtual void Save(const char* camerafile) const;
    virtual void Save(const wchar_t* camerafile) const;
    virtual void Validate(CxImage& image);

  private:
    virtual void Reserved1();

  public:
    virtual void Lock(const CxImage& image, int option);

  private:
    virtual void Reserved2();

  public:
    virtual void Unlock();
    void Start() override;
    void Stop() override;
    void Abort() override;
    void Wait() override;
    bool IsRunning() const override;
    virtual TxKX310CaptureStatus QueryStatus();
    virtual TxKX310CaptureStatus WaitStatus();
    virtual int Status();
    virtual bool Wait(int timeout);
    virtual bool WaitEvent(int event, int timeout, int* value);
    virtual void CancelWaitEvent(int event);
    virtual void ForceTrigger(int ch);
    virtual void StopPG(int ch);
    virtual void ResetPG(int ch);
    virtual void ClearTriggerMask(int ch);
    virtual void PLLReconfig();
    virtual void Num(int frames);
    virtual int Num() const;
    virtual void LockId(int id);
    virtual int LockId() const;
    virtual void Validate(IxModule* module);
    virtual void Validate(CxImage** images, int count);
    virtual void Lock(IxModule* module, int option);
    virtual void Lock(CxImage** images, int count, int option);

  private:
    virtual void Reserved3();
    virtual void Reserved4();

  public:
    virtual void QueryStatus(TxKX310CaptureStatus* result);
    virtual bool WaitStatus(TxKX310CaptureStatus* result, int timeout);
};

class ZOL_API CxTR520 : public CxCaptureBoard, public IxVideoControl {
  public:
    CxTR520();
    CxTR520(const CxTR520& other);
    CxTR520(CxTR520&& other);
    CxTR520& operator=(const CxTR520& other);
    ~CxTR520() override;
    bool operator==(const CxTR520& other) const;
    bool operator!=(const CxTR520& other) const;

    static CxTR520 FromFile(const char* camerafile);
    static CxTR520 FromFile(const wchar_t* camerafile);
    static CxTR520 FromFile(const char* camerafile, int id, int ch);
    static CxTR520 FromFile(const wchar_t* camerafile, int id, int ch);

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Open(int id, int ch);
    virtual void Close();
    virtual void Setup(const char* camerafile);
    virtual void Setup(const wchar_t* camerafile);
    virtual void Save(const char* camerafile) const;
    virtual void Save(const wchar_t* camerafile) const;
    virtual bool IsOpened() const;
    virtual void Validate(CxImage& image);

  private:
    virtual void Reserved1();

  public:
    virtual void Lock(const CxImage& image, int option);

  private:
    virtual void Reserved2();

  public:
    virtual void Unlock();
    void Start() override;
    void Stop() override;
    void Abort() override;
    void Wait() override;
    bool IsRunning() const override;
    virtual int Status();
    virtual TxTR520CaptureStatus WaitStatus();
    virtual TxTR520CaptureStatus QueryStatus();
    virtual TxTR520CaptureStatus QueryStatus(unsigned int frame);
    virtual TxTR520CaptureStatus WaitStatus(unsigned int frame);
    virtual void ForceTrigger();
    virtual void Abort(unsigned int option);
    virtual void Num(int frames);
    virtual int Num() const;
    virtual void LockId(int id);
    virtual int LockId() const;
    virtual void Validate(CxImage** images, int count);
    virtual void Lock(CxImage** images, int count, int option);
};

// ---- settings ----------------------------------------------------------------------------

class ZOL_API CxKX210Param : public CxModule, public IxRegister, public IxDeviceModule {
  public:
    CxKX210Param();
    CxKX210Param(const CxKX210Param& other);
    CxKX210Param(CxKX210Param&& other);
    CxKX210Param& operator=(const CxKX210Param& other);
    ~CxKX210Param() override;
    bool operator==(const CxKX210Param& other) const;
    bool operator!=(const CxKX210Param& other) const;

    static CxKX210Param From(IxModule* module);
    CxKX210* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void TriggerMode(int value);
    virtual int TriggerMode() const;
    virtual void ExposureTime(int value);
    virtual int ExposureTime() const;
    virtual void TriggerCycleTime(int value);
    virtual int TriggerCycleTime() const;
    virtual void GetParam(const char* name, void* value, TxModel model);
    virtual void SetParam(const char* name, const void* value, TxModel model);
    virtual void SendCommand(const char* name, void* scratch, TxModel model);
    void SetRegister(unsigned int reg, unsigned int value) override;
    void GetRegister(unsigned int reg, unsigned int* value) const override;
    IxModule* GetDeviceModule() const override;

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::CompanionHandle> h_;
};

class ZOL_API CxKX310Param : public CxModule, public IxRegister, public IxDeviceModule {
  public:
    CxKX310Param();
    CxKX310Param(const CxKX310Param& other);
    CxKX310Param(CxKX310Param&& other);
    CxKX310Param& operator=(const CxKX310Param& other);
    ~CxKX310Param() override;
    bool operator==(const CxKX310Param& other) const;
    bool operator!=(const CxKX310Param& other) const;

    static CxKX310Param From(IxModule* module);
    CxKX310* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void TriggerMode(int value);
    virtual int TriggerMode() const;
    virtual void ExposureTime(int value);
    virtual int ExposureTime() const;
    virtual void TriggerCycleTime(int value);
    virtual int TriggerCycleTime() const;
    virtual void GetParam(const char* name, void* value, TxModel model);
    virtual void SetParam(const char* name, const void* value, TxModel model);
    virtual void SendCommand(const char* name, void* scratch, TxModel model);
    void SetRegister(unsigned int reg, unsigned int value) override;
    void GetRegister(unsigned int reg, unsigned int* value) const override;
    IxModule* GetDeviceModule() const override;

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::CompanionHandle> h_;
};

class ZOL_API CxTR520Param : public CxModule, public IxRegister, public IxDeviceModule {
  public:
    CxTR520Param();
    CxTR520Param(const CxTR520Param& other);
    CxTR520Param(CxTR520Param&& other);
    CxTR520Param& operator=(const CxTR520Param& other);
    ~CxTR520Param() override;
    bool operator==(const CxTR520Param& other) const;
    bool operator!=(const CxTR520Param& other) const;

    static CxTR520Param From(IxModule* module);
    CxTR520* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void TriggerMode(int value);
    virtual int TriggerMode() const;
    virtual void ExposureTime(int value);
    virtual int ExposureTime() const;
    virtual void VideoOffset(int value);
    virtual int VideoOffset() const;
    virtual void GetParam(const char* name, void* value, TxModel model);
    virtual void SetParam(const char* name, const void* value, TxModel model);
    virtual void SendCommand(const char* name, void* scratch, TxModel model);
    void SetRegister(unsigned int reg, unsigned int value) override;
    void GetRegister(unsigned int reg, unsigned int* value) const override;
    IxModule* GetDeviceModule() const override;

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::CompanionHandle> h_;
};

// ---- serial links ------------------------------------------------------------------------

class ZOL_API CxKX210Sio : public CxModule {
  public:
    CxKX210Sio();
    CxKX210Sio(const CxKX210Sio& other);
    CxKX210Sio(CxKX210Sio&& other);
    CxKX210Sio& operator=(const CxKX210Sio& other);
    ~CxKX210Sio() override;
    bool operator==(const CxKX210Sio& other) const;
    bool operator!=(const CxKX210Sio& other) const;

    static CxKX210Sio From(IxModule* module);
    CxKX210* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void Open();
    virtual void Close();
    virtual bool IsOpened() const;
    virtual void Timeout(int ms);
    virtual int Timeout() const;
    virtual void WriteByte(char byte);
    virtual char ReadByte();
    virtual void Write(const char* text);
    virtual int Read(char* buffer, int size);
    virtual void SetCameraMode(const char* mode);
    virtual void Purge();

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::CompanionHandle> h_;
};

class ZOL_API CxKX310Sio : public CxModule {
  public:
    CxKX310Sio();
    CxKX310Sio(const CxKX310Sio& other);
    CxKX310Sio(CxKX310Sio&& other);
    CxKX310Sio& operator=(const CxKX310Sio& other);
    ~CxKX310Sio() override;
    bool operator==(const CxKX310Sio& other) const;
    bool operator!=(const CxKX310Sio& other) const;

    static CxKX310Sio From(IxModule* module);
    CxKX310* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void Open();
    virtual void Close();
    virtual void Purge();
    virtual bool IsOpened() const;
    virtual void Timeout(int ms);
    virtual int Timeout() const;
    virtual void WriteByte(char byte);
    virtual char ReadByte();
    virtual void Write(const char* text);
    virtual int Read(char* buffer, int size);
    virtual void SetCameraMode(const char* mode);

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::CompanionHandle> h_;
};

// ---- encoder units -----------------------------------------------------------------------

class ZOL_API CxKX210Encoder : public CxModule {
  public:
    CxKX210Encoder();
    CxKX210Encoder(const CxKX210Encoder& other);
    CxKX210Encoder(CxKX210Encoder&& other);
    CxKX210Encoder& operator=(const CxKX210Encoder& other);
    ~CxKX210Encoder() override;
    bool operator==(const CxKX210Encoder& other) const;
    bool operator!=(const CxKX210Encoder& other) const;

    static CxKX210Encoder From(IxModule* module);
    CxKX210* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void EncoderMode(int value);
    virtual int EncoderMode() const;
    virtual void Sampling(int value);
    virtual int Sampling() const;
    virtual void Start(int value);
    virtual int Start() const;
    virtual void Dir(int value);
    virtual int Dir() const;
    virtual void Comp1(int value);
    virtual int Comp1() const;
    virtual void Comp2(unsigned int value);
    virtual unsigned int Comp2() const;
    virtual void Init(int value);
    virtual int Init() const;
    virtual void SwapAB(int value);
    virtual int SwapAB() const;
    virtual int TotalCounter() const;
    virtual unsigned int MatchCounter() const;
    virtual unsigned int RelCounter() const;
    virtual void ClearRelCounter();
    virtual void StartAbs(bool start);
    virtual int AbsCounter() const;
    virtual bool IsAbsOverflow() const;
    virtual bool IsAbsUnderflow() const;
    virtual void ClearAbsCounter();
    virtual void ClearOverflow();
    virtual void ClearUnderflow();
    virtual void ClearAllCounter();
    virtual void GetParam(const char* name, void* value, TxModel model);
    virtual void SetParam(const char* name, const void* value, TxModel model);

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::CompanionHandle> h_;
};

class ZOL_API CxKX310Encoder : public CxModule {
  public:
    CxKX310Encoder();
    CxKX310Encoder(const CxKX310Encoder& other);
    CxKX310Encoder(CxKX310Encoder&& other);
    CxKX310Encoder& operator=(const CxKX310Encoder& other);
    ~CxKX310Encoder() override;
    bool operator==(const CxKX310Encoder& other) const;
    bool operator!=(const CxKX310Encoder& other) const;

    static CxKX310Encoder From(IxModule* module);
    CxKX310* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void EncoderMode(int value);
    virtual int EncoderMode() const;
    virtual void Sampling(int value);
    virtual int Sampling() const;
    virtual void Start(int value);
    virtual int Start() const;
    virtual void Dir(int value);
    virtual int Dir() const;
    virtual void Comp1(int value);
    virtual int Comp1() const;
    virtual void Comp2(unsigned int value);
    virtual unsigned int Comp2() const;
    virtual void ResetSource(int value);
    virtual int ResetSource() const;
    virtual void SwapAB(int value);
    virtual int SwapAB() const;
    virtual void SignalSource(int value);
    virtual int SignalSource() const;
    virtual void StartEncoder();
    virtual void StopEncoder();
    virtual void ResetEncoder();
    virtual void EncoderStatus(TxKX310EncoderStatus* status);
    virtual int EncoderCounter() const;
    virtual unsigned int MatchCounter() const;
    virtual unsigned int RelCounter() const;
    virtual void EncoderActMode(int value);
    virtual int EncoderActMode() const;
    virtual void GetParam(const char* name, void* value, TxModel model);
    virtual void SetParam(const char* name, const void* value, TxModel model);

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::CompanionHandle> h_;
};

// ---- generic video device ------------------------------------------------------------------

class ZOL_API CxVideo : public CxModule, public IxModule {
  public:
    CxVideo();
    CxVideo(const CxVideo& other);
    CxVideo(CxVideo&& other);
    CxVideo& operator=(const CxVideo& other);
    ~CxVideo() override;
    bool operator==(const CxVideo& other) const;
    bool operator!=(const CxVideo& other) const;

    static CxVideo FromFile(const char* camerafile, int option);
    static CxVideo FromFile(const wchar_t* camerafile, int option);
    static CxVideo FromFile(const char* camerafile, int id, int ch, int option);
    static CxVideo FromFile(const wchar_t* camerafile, int id, int ch, int option);

    IxModule* Controller() const;
    void Controller(IxModule* module);
    ExDevice DeviceType() const;
    void DeviceType(ExDevice device);

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Close();
    virtual void Open(int id, int ch);
    virtual void Save(const char* camerafile) const;
    virtual void Save(const wchar_t* camerafile) const;
    virtual void Validate(CxImage& image);
    virtual void Grab(CxImage& image);
    virtual void Start(CxImage& image);
    virtual void Wait();
    virtual void Abort();
    virtual bool IsRunning() const;
    virtual int Status();
    virtual void ForceTrigger();
    virtual void TriggerMode(int value);
    virtual int TriggerMode() const;
    virtual void ExposureTime(int value);
    virtual int ExposureTime() const;
    virtual void TriggerCycleTime(int value);
    virtual int TriggerCycleTime() const;
    virtual void GetParam(const char* name, void* value, TxModel model);
    virtual void SetParam(const char* name, const void* value, TxModel model);
    virtual void SendCommand(const char* name, void* scratch, TxModel model);
    virtual void Stop();
    virtual void Validate(IxModule* module);
    virtual void Grab(IxModule* module);
    virtual void Start(IxModule* module);

    ExDevice ModuleDevice() const override;

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::VideoHandle> h_;
};

} // namespace Video
} // namespace zol
