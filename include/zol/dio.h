// Device library interface: the digital-I/O boards (namespace zol::DIO).
#pragma once

#include "zol.h"

namespace zol {
namespace DIO {

// Event that ended a wait.
enum class ExEventStatus : unsigned int {
    INT = 1,     // interrupt input
    DI = 2,      // digital-input event
    TIMEOUT = 3, // the wait timed out
    ABORT = 4,   // the wait was aborted
};

// Outcome of an RM1600 wait.
struct ZOL_API TxRM1600WaitStatus {
    TxRM1600WaitStatus();
    TxRM1600WaitStatus(unsigned int event_status, unsigned int di_event_status, unsigned int di);
    bool operator==(const TxRM1600WaitStatus& other) const;
    bool operator!=(const TxRM1600WaitStatus& other) const;
    unsigned int event_status;
    unsigned int di_event_status;
    unsigned int di;
};

// Outcome of a DQ160 wait.
struct ZOL_API TxDQ160WaitStatus {
    TxDQ160WaitStatus();
    TxDQ160WaitStatus(unsigned int event_status, unsigned int di_event_status, unsigned int di);
    bool operator==(const TxDQ160WaitStatus& other) const;
    bool operator!=(const TxDQ160WaitStatus& other) const;
    unsigned int event_status;
    unsigned int di_event_status;
    unsigned int di;
};

// The port operations the three I/O boards share, in their table order.
class ZOL_API CxDIOPort : public CxModule, public IxModule, public IxDIO, public IxIndexedDIO {
  public:
    ~CxDIOPort() override;

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Open(int id);
    virtual void Close();
    virtual bool IsOpened() const;
    void Read(unsigned int* word) override;
    void Write(unsigned int word) override;
    void WriteStatus(unsigned int* word) override;
    void Read(int index, bool* state) override;
    void Write(int index, bool state) override;
    void WriteStatus(int index, bool* state) override;

    ExDevice ModuleDevice() const override;

  protected:
    CxDIOPort(const char* class_name, const char* board);
    CxDIOPort(const char* class_name, const CxDIOPort& other);
    void assign(const CxDIOPort& other);
    bool same_board(const CxDIOPort& other) const;

  private:
    friend struct zolsim::PrivateAccess;
    std::unique_ptr<zolsim::DioHandle> h_;
};

class ZOL_API CxMB100 : public CxDIOPort {
  public:
    CxMB100();
    CxMB100(const CxMB100& other);
    CxMB100& operator=(const CxMB100& other);
    ~CxMB100() override;
    bool operator==(const CxMB100& other) const;
    bool operator!=(const CxMB100& other) const;

    virtual void Wait(unsigned int* event);
    virtual void Abort();
};

class ZOL_API CxRM1600 : public CxDIOPort {
  public:
    CxRM1600();
    CxRM1600(const CxRM1600& other);
    CxRM1600& operator=(const CxRM1600& other);
    ~CxRM1600() override;
    bool operator==(const CxRM1600& other) const;
    bool operator!=(const CxRM1600& other) const;

    virtual void Abort();
    virtual TxRM1600WaitStatus Wait();
};

class ZOL_API CxDQ160 : public CxDIOPort {
  public:
    CxDQ160();
    CxDQ160(const CxDQ160& other);
    CxDQ160& operator=(const CxDQ160& other);
    ~CxDQ160() override;
    bool operator==(const CxDQ160& other) const;
    bool operator!=(const CxDQ160& other) const;

    virtual void Load(const char* path, int option);
    virtual void Load(const wchar_t* path, int option);
    virtual void Save(const char* path, int option) const;
    virtual void Save(const wchar_t* path, int option) const;
    virtual void Abort();
    virtual TxDQ160WaitStatus Wait();
};

// Settings of an MB100 board.
class ZOL_API CxMB100Param : public CxModule, public IxRegister, public IxDeviceModule {
  public:
    CxMB100Param();
    CxMB100Param(const CxMB100Param& other);
    CxMB100Param(CxMB100Param&& other);
    CxMB100Param& operator=(const CxMB100Param& other);
    ~CxMB100Param() override;
    bool operator==(const CxMB100Param& other) const;
    bool operator!=(const CxMB100Param& other) const;

    static CxMB100Param From(IxModule* module);
    CxMB100* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void Timeout(int value);
    virtual int Timeout() const;
    virtual void INTEdge(int value);
    virtual int INTEdge() const;
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

// Settings of an RM1600 board.
class ZOL_API CxRM1600Param : public CxModule, public IxRegister, public IxDeviceModule {
  public:
    CxRM1600Param();
    CxRM1600Param(const CxRM1600Param& other);
    CxRM1600Param(CxRM1600Param&& other);
    CxRM1600Param& operator=(const CxRM1600Param& other);
    ~CxRM1600Param() override;
    bool operator==(const CxRM1600Param& other) const;
    bool operator!=(const CxRM1600Param& other) const;

    static CxRM1600Param From(IxModule* module);
    CxRM1600* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void Timeout(int value);
    virtual int Timeout() const;
    virtual void DIEnable(unsigned int value);
    virtual unsigned int DIEnable() const;
    virtual void DIEdge(unsigned int value);
    virtual unsigned int DIEdge() const;
    virtual void DIWaitEnable(unsigned int value);
    virtual unsigned int DIWaitEnable() const;
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

// Settings of a DQ160 board.
class ZOL_API CxDQ160Param : public CxModule, public IxRegister, public IxDeviceModule {
  public:
    CxDQ160Param();
    CxDQ160Param(const CxDQ160Param& other);
    CxDQ160Param(CxDQ160Param&& other);
    CxDQ160Param& operator=(const CxDQ160Param& other);
    ~CxDQ160Param() override;
    bool operator==(const CxDQ160Param& other) const;
    bool operator!=(const CxDQ160Param& other) const;

    static CxDQ160Param From(IxModule* module);
    CxDQ160* Controller() const;
    void Controller(IxModule* module);

    virtual bool IsValid() const;
    virtual void Timeout(int value);
    virtual int Timeout() const;
    virtual void INTEnable(int value);
    virtual int INTEnable() const;
    virtual void INTEdge(int value);
    virtual int INTEdge() const;
    virtual void INTWaitEnable(int value);
    virtual int INTWaitEnable() const;
    virtual void DIEnable(unsigned int value);
    virtual unsigned int DIEnable() const;
    virtual void DIEdge(unsigned int value);
    virtual unsigned int DIEdge() const;
    virtual void DIWaitEnable(unsigned int value);
    virtual unsigned int DIWaitEnable() const;
    virtual void DIWaitMode(int value);
    virtual int DIWaitMode() const;
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

} // namespace DIO
} // namespace zol
