// The simulated library's capture boards, companions and video device, tested in C++ against
// the library itself: camera files, capture, waits across threads, serial links, encoders.
// Built and run by tests/test_library.py.
#include <zol/video.h>
#include <zol/sim.h>
#include <zol/sim_video.h>

#include "check.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <thread>

using namespace zol;
using namespace zol::Video;

static int geti(CxKX210Param& p, const char* n) {
    int v = 0;
    p.GetParam(n, &v, TxModel(8, 1));
    return v;
}


static void test_kx210() {
    // ---- open / close / rack
    CxKX210 b;
    CHECK(b.IsValid());
    CHECK(!b.IsOpened());
    THROWS(NoDevice, b.Open(4, 0));
    THROWS(InvalidArgument, b.Open(0, 2));
    THROWS(NotOpened, b.Setup("nothing.cam", 0));
    b.Open(1, 1);
    CHECK(b.IsOpened());
    auto j = sim::Journal();
    CHECK(j.size() >= 2 && j[j.size() - 1] == "CxKX210::IsOpened()");
    CHECK(std::find(j.begin(), j.end(), "CxKX210::Open(1, 1)") != j.end());
    CxKX210 c(b);
    CHECK(c == b);
    CxKX210 d;
    CHECK(d != b);
    d.Open(1, 0);
    CHECK(d != b);

    // ---- settings
    CxKX210Param p = CxKX210Param::From(&b);
    CHECK(p.IsValid());
    CHECK(p.Controller() == &b);
    CHECK(geti(p, "DeviceID") == 1);
    CHECK(geti(p, "Channel") == 1);
    CHECK(geti(p, "DeviceType") == 1);
    CHECK(geti(p, "Width") == 640);
    p.ExposureTime(2000);
    CHECK(geti(p, "ExposureTime") == 2000);
    CHECK(p.ExposureTime() == 2000);
    int w = 320;
    p.SetParam("Width", &w, TxModel(8, 1));
    CHECK(geti(p, "ImageWidth") == 320);
    // Height and PixelFormat are the frame's geometry too: the read-only image values follow.
    int h = 200;
    p.SetParam("Height", &h, TxModel(8, 1));
    CxStringA rgb("RGB8");
    p.SetParam("PixelFormat", &rgb, TxModel(0, 0));
    CHECK(geti(p, "ImageHeight") == 200);
    CHECK(geti(p, "ImageType") == static_cast<int>(ExPixelFormat::RGB8));
    CHECK(geti(p, "ImageChannels") == 3 && geti(p, "ImageDepth") == 8);
    CxStringA mono("Mono8");
    p.SetParam("PixelFormat", &mono, TxModel(0, 0));
    CHECK(geti(p, "ImageChannels") == 1);
    THROWS(ReadOnly, p.SetParam("DeviceID", &w, TxModel(8, 1)));
    THROWS(ParamKind, p.SetParam("Width", &w, TxModel(4, 1)));
    THROWS(UnknownParam, p.SetParam("width", &w, TxModel(8, 1)));
    unsigned u = 4294967295u;
    p.SetParam("ENCComp2", &u, TxModel(4, 1));
    unsigned u2 = 0;
    p.GetParam("ENCComp2", &u2, TxModel(4, 1));
    CHECK(u2 == 4294967295u);
    CxStringA name("MyCam");
    p.SetParam("CameraName", &name, TxModel(0, 0));
    CxStringA got;
    p.GetParam("CameraName", &got, TxModel(0, 0));
    CHECK(std::string(got.Address()) == "MyCam");
    char scratch[8];
    p.SendCommand("PLLReconfig", scratch, TxModel(6, 1));
    CHECK(geti(p, "PLLReconfigStatus") == 1);
    THROWS(UnknownCommand, p.SendCommand("Nope", scratch, TxModel(6, 1)));
    THROWS(ParamKind, p.SendCommand("PLLReconfig", scratch, TxModel(8, 1)));
    p.SetRegister(0x10, 0xdeadbeef);
    unsigned r = 0;
    p.GetRegister(0x10, &r);
    CHECK(r == 0xdeadbeef);
    THROWS(NullPointer, p.GetRegister(0x10, nullptr));
    CHECK(c.IsOpened()); // copies share the open board

    // ---- camera files
    b.Save("a.cam");
    CxKX210 e = CxKX210::FromFile("a.cam", 2, 0, -1);
    CxKX210Param pe = CxKX210Param::From(&e);
    CHECK(geti(pe, "Width") == 320);
    CHECK(geti(pe, "ExposureTime") == 2000);
    CHECK(geti(pe, "DeviceID") == 2);
    THROWS(FileNotFound, CxKX210::FromFile("none.cam", 0));
    { std::ofstream f("bad.cam"); f << "Width=abc\n"; }
    THROWS(FileFormat, e.Setup("bad.cam", 0));
    { std::ofstream f("bad2.cam"); f << "DeviceType=4\nWidth=100\n"; }
    THROWS(FileFormat, e.Setup("bad2.cam", 0));
    THROWS(FileFormat, CxTR520::FromFile("a.cam"));
    { std::ofstream f("w.cam"); f << "# comment\nWidth=64\nHeight=48\n"; }
    e.Setup(L"w.cam", 0);
    CHECK(geti(pe, "Width") == 64);
    THROWS(NullPointer, e.Setup((const char*)nullptr, 0));

    // ---- capture
    CxImage small(10, 10), img1(64, 48), img2(64, 48), big(100, 100);
    THROWS(ImageTooSmall, e.Validate(small));
    e.Validate(img1);
    THROWS(NotLocked, e.Start());
    CxImage* ring[3] = {&img1, nullptr, &img2};
    THROWS(NullPointer, e.Lock(nullptr, 2, 0));
    THROWS(InvalidArgument, e.Lock(ring, -1, 0));
    e.Lock(ring, 3, 3);
    j = sim::Journal();
    CHECK(j.back().find("CxKX210::Lock([img#") == 0);
    std::cout << j.back() << "\n";
    e.Num(3);
    CHECK(e.Num() == 3);
    e.Start();
    CHECK(e.Status() == 1 || e.Status() == 2);
    TxKX210CaptureStatus st = e.WaitStatus();
    CHECK(st.total_frame_count == 3);
    CHECK(st.last_frame_no == 2);
    CHECK(st.line_count == 48);
    CHECK(e.Status() == 2);
    CHECK(!e.IsRunning());
    // frame 0 in img1, frame 2 in img2
    CHECK(img1.Address()[0] == 0 && img1.Address()[4] == 4 && img1.Address()[64 * 10 + 20] == 30);
    CHECK(img2.Address()[0] == 2 && img2.Address()[1] == 0);
    CHECK(img2.Address()[64 * 10 + 10] == ((2 + 20) & 0xff));
    // continuous, then Abort from another thread during Wait
    e.Num(0);
    e.Start();
    std::thread t([&] {
        CHECK(wait_until([&] {
            return sim::CaptureWaiters("KX210", 2, 0) == 1 && e.QueryStatus().total_frame_count > 5;
        }));
        e.Abort();
    });
    e.Wait();
    t.join();
    CHECK(e.Status() == 3);
    CHECK(e.QueryStatus().total_frame_count > 5);
    // timeout
    int to = 50;
    CxKX210Param(pe).SetParam("Timeout", &to, TxModel(8, 1));
    e.Start();
    auto t0 = std::chrono::steady_clock::now();
    THROWS(Timeout, e.Wait());
    CHECK(std::chrono::steady_clock::now() - t0 >= std::chrono::milliseconds(45));
    e.Stop();
    CHECK(e.Status() == 2);
    // triggered mode
    pe.TriggerMode(1);
    e.Num(2);
    e.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    CHECK(e.QueryStatus().total_frame_count == 0);
    e.ForceTrigger();
    e.ForceTrigger();
    st = e.WaitStatus();
    CHECK(st.total_frame_count == 2);
    CHECK(geti(pe, "MaskedTrigger") == 0); // software triggers are queued, never masked
    pe.TriggerMode(0);
    // unlock stops; an open board refuses a too-small image at Lock, keeping nothing
    CxImage* ring2[1] = {&small};
    THROWS(ImageTooSmall, e.Lock(ring2, 1, 0));
    e.Unlock();
    THROWS(NotLocked, e.Start());
    // a running acquisition stops when the handle goes away
    {
        CxKX210 f = CxKX210::FromFile("w.cam", 3, 0, 0);
        f.Lock(big, 0);
        f.Num(0);
        f.Start();
        CHECK(wait_until([&] { return f.QueryStatus().total_frame_count > 0; }));
    }
    // dispose
    CxKX210 g(e);
    g.Dispose();
    CHECK(!g.IsValid());
    THROWS(Disposed, g.Open(0, 0));
    THROWS(Disposed, g.IsOpened());
}

static void test_kx310() {
    // ---- KX310 extras
    { std::ofstream f("k3.cam"); f << "Width=32\nHeight=8\nTimeout=2000\n"; }
    CxKX310 k = CxKX310::FromFile("k3.cam", 0);
    CxImage img(32, 8);
    k.Lock(img, 0);
    k.Num(0);
    k.Start();
    int v = 7;
    CHECK(k.WaitEvent(1, 1000, &v));
    CHECK(v >= 0);
    std::thread t([&] {
        CHECK(wait_until([] { return sim::CaptureWaiters("KX310", 0, 0) == 1; }));
        k.CancelWaitEvent(2);
    });
    CHECK(!k.WaitEvent(2, 5000, &v));
    t.join();
    CHECK(!k.Wait(20));
    TxKX310CaptureStatus rec;
    CHECK(!k.WaitStatus(&rec, 5));
    CHECK(rec.capture_state == 1 && rec.total_frame_count > 0);
    THROWS(NullPointer, k.WaitStatus(nullptr, 5));
    k.Stop();
    CHECK(k.Wait(0));
    k.QueryStatus(&rec);
    CHECK(rec.capture_state == 2);
    THROWS(InvalidArgument, k.WaitEvent(9, 1, &v));
    CxKX310Param kp = CxKX310Param::From(&k);
    int ps = -1;
    k.ResetPG(-1);
    kp.GetParam("PGStatus", &ps, TxModel(8, 1));
    CHECK(ps == 1);
    k.StopPG(1); // other channel: no effect
    kp.GetParam("PGStatus", &ps, TxModel(8, 1));
    CHECK(ps == 1);
    k.StopPG(0);
    kp.GetParam("PGStatus", &ps, TxModel(8, 1));
    CHECK(ps == 0);
    CxStringA fpga;
    kp.GetParam("FpgaVersion", &fpga, TxModel(0, 0));
    CHECK(std::string(fpga.Address()) == "1.2");
    THROWS(UnknownParam, kp.GetParam("ENCInit", &ps, TxModel(8, 1)));
    // lock another module's images
    CxKX310 k2;
    k2.Open(0, 1);
    CxImage img2(32, 8);
    THROWS(ImageTooSmall, k2.Lock(img2, 0)); // its own frame is 640x480
    {
        CxKX310Param k2p = CxKX310Param::From(&k2);
        int w = 32, h = 8;
        k2p.SetParam("Width", &w, TxModel(8, 1));
        k2p.SetParam("Height", &h, TxModel(8, 1));
    }
    k2.Lock(img2, 0);
    k.Lock(static_cast<IxModule*>(&k2), 0);
    k.Validate(static_cast<IxModule*>(&k2));
    k.Num(2);
    k.Start();
    k.Wait();
    CHECK(img2.Address()[0] == 1); // frame 1 stamped last
    // The board delivers free-running while the other lets go of its image: once Unlock has
    // returned, the image is never written again.
    {
        int cycle = 0, exposure = 0, zero = 0;
        kp.GetParam("TriggerCycleTime", &cycle, TxModel(8, 1));
        kp.GetParam("ExposureTime", &exposure, TxModel(8, 1));
        kp.SetParam("TriggerCycleTime", &zero, TxModel(8, 1));
        kp.SetParam("ExposureTime", &zero, TxModel(8, 1));
        k.Num(0);
        for (int round = 0; round < 20; ++round) {
            k2.Lock(img2, 0);
            k.Lock(static_cast<IxModule*>(&k2), 0);
            k.Start();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            k2.Unlock();
            std::memset(img2.Address(), 0, img2.Size());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            CHECK(std::count(img2.Address(), img2.Address() + img2.Size(), 0) ==
                  static_cast<long>(img2.Size()));
            k.Stop();
        }
        kp.SetParam("TriggerCycleTime", &cycle, TxModel(8, 1));
        kp.SetParam("ExposureTime", &exposure, TxModel(8, 1));
    }
    THROWS(NullPointer, k.Lock((IxModule*)nullptr, 0));

    // ---- serial link
    CxKX310Sio sio = CxKX310Sio::From(&k);
    THROWS(NotOpened, sio.Write("?ID\r"));
    sio.Open();
    CHECK(sio.IsOpened());
    CHECK(sim::SioOpened("KX310", 0, 0));
    CHECK(sio.Timeout() == 1000);
    sio.Timeout(50);
    sio.Write("?ID\r");
    char buf[16];
    std::memset(buf, 0, sizeof buf);
    int n = sio.Read(buf, 16);
    CHECK(n == 7 && std::string(buf, 7) == "ZOLCAM\r");
    THROWS(Timeout, sio.ReadByte());
    CHECK(sio.Read(buf, 4) == 0);
    sio.SetCameraMode("Fast");
    sio.Write("MODE?\r");
    std::memset(buf, 0, sizeof buf);
    n = sio.Read(buf, 3);
    CHECK(n == 3 && std::string(buf, 3) == "Fas");
    CHECK(sio.ReadByte() == 't');
    CHECK(sio.ReadByte() == '\r');
    sio.Write("EXP=1234\r");
    CHECK(sio.ReadByte() == 'O');
    sio.Purge();
    CHECK(kp.ExposureTime() == 1234);
    sio.Write("XYZ\r");
    CHECK(sio.ReadByte() == 'E');
    sio.Purge();
    CHECK(sim::SioSent("KX310", 0, 0) == "?ID\rMODE=Fast\rMODE?\rEXP=1234\rXYZ\r");
    sim::SioFeed("KX310", 0, 0, "\xe9z");
    CHECK(sio.ReadByte() == '\xe9');
    sio.WriteByte('\xff');
    CHECK(sim::SioSent("KX310", 0, 0) == "\xff");
    sio.Timeout(-1);
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sim::SioFeed("KX310", 0, 0, "Q");
    });
    CHECK(sio.Read(buf, 16) == 1 && buf[0] == 'z');
    CHECK(sio.ReadByte() == 'Q'); // waits for the feeding thread
    closer.join();
    sio.Close();
    CHECK(!sio.IsOpened());

    // ---- KX310 encoder
    CxKX310Encoder enc = CxKX310Encoder::From(&k);
    sim::EncoderPulses("KX310", 0, 0, 10);
    CHECK(enc.EncoderCounter() == 0); // not started
    enc.StartEncoder();
    enc.Comp1(5);
    sim::EncoderPulses("KX310", 0, 0, 10);
    CHECK(enc.EncoderCounter() == 10);
    CHECK(enc.MatchCounter() == 1);
    enc.Dir(1);
    sim::EncoderPulses("KX310", 0, 0, 3);
    CHECK(enc.EncoderCounter() == 7);
    TxKX310EncoderStatus es;
    enc.EncoderStatus(&es);
    CHECK(es.encoder_counter == 7 && es.encoder_state == 1 && es.rel_counter == 7);
    THROWS(NullPointer, enc.EncoderStatus(nullptr));
    int ev = 0;
    enc.GetParam("ENCDir", &ev, TxModel(8, 1));
    CHECK(ev == 1);
    THROWS(UnknownParam, enc.GetParam("ENCInit", &ev, TxModel(8, 1)));
    THROWS(UnknownParam, enc.GetParam("Width", &ev, TxModel(8, 1)));
    enc.ResetEncoder();
    CHECK(enc.EncoderCounter() == 0);
}

static void test_kx210_encoder() {
    // ---- KX210 encoder
    CxKX210 b;
    b.Open(0, 0);
    CxKX210Encoder enc;
    THROWS(NoController, enc.TotalCounter());
    enc.Controller(&b);
    CHECK(enc.Controller() == &b);
    sim::EncoderPulses("KX210", 0, 0, 5);
    CHECK(enc.TotalCounter() == 5);
    CHECK(enc.AbsCounter() == 0);
    enc.StartAbs(true);
    sim::EncoderPulses("KX210", 0, 0, 2147483647);
    CHECK(!enc.IsAbsOverflow());
    sim::EncoderPulses("KX210", 0, 0, 1);
    CHECK(enc.IsAbsOverflow());
    CHECK(enc.AbsCounter() == -2147483647 - 1);
    CHECK(!enc.IsAbsUnderflow());
    enc.ClearOverflow();
    CHECK(!enc.IsAbsOverflow());
    enc.ClearRelCounter();
    CHECK(enc.RelCounter() == 0);
    enc.ClearAllCounter();
    CHECK(enc.TotalCounter() == 0);
    sim::EncoderPulses("KX210", 0, 0, -5);
    CHECK(enc.AbsCounter() == -5);
    CHECK(enc.RelCounter() == 4294967291u);
    THROWS(NotSupported, sim::EncoderPulses("TR520", 0, 0, 1));
    THROWS(NoDevice, sim::EncoderPulses("XX", 0, 0, 1));
    // companions outliving the board
    CxKX210Sio s2;
    {
        CxKX210 tmp;
        tmp.Open(3, 1);
        s2.Controller(&tmp);
        CHECK(s2.IsValid());
    }
    CHECK(!s2.IsValid());
    CHECK(s2.Controller() == nullptr);
    THROWS(NoObject, s2.Open());
    CxKX310 wrong;
    THROWS(InvalidArgument, s2.Controller(&wrong));
    CxKX210Param none = CxKX210Param::From(nullptr);
    CHECK(!none.IsValid());
    THROWS(NoController, none.TriggerMode());
    // A move hands the attachment over and leaves the object moved from detached but usable.
    CxKX210Encoder moved(std::move(enc));
    CHECK(moved.Controller() == &b);
    CHECK(moved.TotalCounter() == -5);
    CHECK(enc.Controller() == nullptr);
    CHECK(!enc.IsValid());
    THROWS(NoController, enc.TotalCounter());
    enc.Controller(&b);
    CHECK(enc == moved);
}

static void test_video_device() {
    // ---- video device
    { std::ofstream f("v.cam"); f << "DeviceType=2\nWidth=16\nHeight=4\n"; }
    CxVideo v = CxVideo::FromFile("v.cam", 1, 0, -1);
    CHECK(v.DeviceType() == ExDevice::TR520);
    CHECK(v.ModuleDevice() == ExDevice::TR520);
    CHECK(v.Controller() == nullptr);
    CxTR520Param tp = CxTR520Param::From(&v);
    int wv = 0;
    tp.GetParam("Width", &wv, TxModel(8, 1));
    CHECK(wv == 16);
    CHECK(tp.Controller() == nullptr); // a video device is not a CxTR520
    CHECK(tp.GetDeviceModule() == static_cast<IxModule*>(&v));
    THROWS(InvalidArgument, CxKX210Param::From(&v));
    char scratch[4];
    tp.SendCommand("SelfCalibration", scratch, TxModel(6, 1));
    tp.GetParam("CalibrationCount", &wv, TxModel(8, 1));
    CHECK(wv == 1);
    THROWS(UnknownCommand, v.SendCommand("PLLReconfig", scratch, TxModel(6, 1)));
    CxImage im(16, 4), tiny(2, 2);
    v.Grab(im);
    CHECK(im.Address()[5] == 5);
    THROWS(ImageTooSmall, v.Grab(tiny));
    THROWS(NullPointer, v.Grab((IxModule*)nullptr));
    THROWS(NullPointer, v.Start((IxModule*)nullptr));
    THROWS(NullPointer, v.Validate((IxModule*)nullptr));
    v.Start(im);
    v.Wait();
    v.Wait();
    CHECK(v.IsRunning());
    v.Abort();
    CHECK(v.Status() == 3);
    v.Save("v2.cam");
    CxVideo v2 = CxVideo::FromFile("v2.cam", 0);
    CHECK(v2.DeviceType() == ExDevice::TR520);
    CHECK(v2 != v);
    v2.Close();
    CxKX310 k;
    k.Open(2, 1);
    v2.Controller(&k);
    CHECK(v2.DeviceType() == ExDevice::KX310);
    CHECK(v2.Controller() == static_cast<IxModule*>(&k));
    CxKX310Param kp = CxKX310Param::From(&v2);
    kp.GetParam("DeviceID", &wv, TxModel(8, 1));
    CHECK(wv == 2);
    v2.Controller(nullptr);
    CHECK(v2.Controller() == nullptr);
    CxVideo v3;
    CHECK(v3.DeviceType() == ExDevice(0));
    THROWS(NoDevice, v3.Open(0, 0));
    THROWS(NotOpened, v3.TriggerMode());
    v3.DeviceType(ExDevice::KX210);
    v3.Open(0, 0);
    v3.TriggerCycleTime(5000);
    CHECK(v3.TriggerCycleTime() == 5000);
    // grab into a board's locked images
    CxKX210 b;
    b.Open(0, 0);
    CxImage bi(640, 480);
    b.Lock(bi, 0);
    v3.Grab(static_cast<IxModule*>(&b));
    CHECK(bi.Address()[10] == 10);
}

static void test_api() {
    // ---- Api
    {
        std::ofstream f("v.cam");
        f << "DeviceType=2\nWidth=16\nHeight=4\n";
    }
    struct {
        TxItemValue v;
        char room[12];
    } info{};
    TxItemValue* dummy = &info.v;
    info.v.Size = sizeof info;
    CHECK(Api::GetDeviceInfo(ExDevice::KX210, "DriverVersion", dummy) == ExStatus::Ok);
    CHECK(info.v.Kind == ItemKind::Text && std::string(info.v.Text) == "1.2.0");
    CHECK(Api::GetDeviceInfo(ExDevice::KX210, "BoardCount", dummy) == ExStatus::Ok);
    CHECK(info.v.Kind == ItemKind::Number && info.v.Number == 4);
    CHECK(Api::GetDeviceInfo(ExDevice::KX210, "Nope", dummy) == ExStatus::UnknownParam);
    CHECK(Api::GetDeviceInfo(ExDevice(3), "DriverVersion", dummy) == ExStatus::NoDevice);
    // A text longer than the room is cut, and nothing is written past Size.
    info.v.Size = offsetof(TxItemValue, Text) + 3;
    info.room[0] = 'x';
    CHECK(Api::GetDeviceInfo(ExDevice::KX310, "DeviceName", dummy) == ExStatus::Truncated);
    CHECK(std::string(info.v.Text) == "KX" && info.v.Length == 5);
    info.v.Size = offsetof(TxItemValue, Text);
    CHECK(Api::GetDeviceInfo(ExDevice::KX310, "DeviceName", dummy) == ExStatus::InvalidArgument);
    CHECK(info.room[0] == 'x');
    CHECK(Api::GetXmlItem("v.cam", "Width", nullptr) == ExStatus::Ok);
    CHECK(Api::GetXmlItem(L"v.cam", "Height", nullptr) == ExStatus::Ok);
    CHECK(Api::GetXmlItem("v.cam", "Nope", nullptr) == ExStatus::UnknownParam);
    CHECK(Api::GetXmlItem("none", "Width", nullptr) == ExStatus::FileNotFound);
    THROWS(NullPointer, Api::GetXmlItem((const char*)nullptr, "W", nullptr));
    THROWS(NullPointer, Api::GetXmlItem("v.cam", nullptr, nullptr));
    auto j = sim::Journal();
    CHECK(j.back() == "Api::GetXmlItem(\"v.cam\", null, null)");
    sim::Fail("Api::GetDeviceInfo", 5, "f", "x.c", 3, 1);
    THROWS(NoDevice, Api::GetDeviceInfo(ExDevice::KX210, "DriverVersion", dummy));
    sim::Fail("CxKX210::Open", 7, nullptr, nullptr, 0, 1);
    CxKX210 b;
    THROWS(Busy, b.Open(0, 0));
    CHECK(!b.IsOpened());
}

static void test_waiter_woken() {
    // ---- a waiter is woken when another thread disposes of or closes the handle
    // (destroying an object while one of its calls runs would be the caller's error, so
    // disposing stands for it: both end the acquisition the same way)
    CxKX210* b = new CxKX210;
    b->Open(0, 0);
    CxImage im(640, 480);
    b->Lock(im, 0);
    b->Num(0);
    b->Start();
    std::thread t([&] {
        CHECK(wait_until([] { return sim::CaptureWaiters("KX210", 0, 0) == 1; }));
        b->Dispose();
    });
    TxKX210CaptureStatus st = b->WaitStatus();
    t.join();
    delete b;
    CHECK(st.capture_event & 4);
    CxKX210 c;
    c.Open(0, 0);
    c.Lock(im, 0);
    c.Num(0);
    c.Start();
    std::thread t2([&] {
        CHECK(wait_until([] { return sim::CaptureWaiters("KX210", 0, 0) == 1; }));
        c.Close();
    });
    c.Wait();
    t2.join();
    CHECK(c.Status() == 3 && !c.IsOpened());
    THROWS(NotOpened, c.Start());
}

int main() {
    sim::Reset();
    sim::SetJournal(true);
    long live0 = sim::LiveObjects();
    RUN(test_kx210);
    RUN(test_kx310);
    RUN(test_kx210_encoder);
    RUN(test_video_device);
    RUN(test_api);
    RUN(test_waiter_woken);
    CHECK(sim::LiveObjects() == live0);
    sim::Reset();
    std::printf("journal size after reset: %zu\n", sim::JournalSize());
    std::printf("%s (%d failures)\n", failures ? "FAILED" : "OK", failures);
    return failures != 0;
}
