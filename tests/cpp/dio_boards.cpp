// The simulated library's I/O boards, tested in C++ against the library itself: ports,
// edges, waits and aborts across threads, settings, files, journal, faults, live objects.
// Built and run by tests/test_library.py in a temporary folder: files are named relative to it.
#include <zol/dio.h>
#include <zol/sim.h>

#include "check.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

using namespace zol;
using namespace zol::DIO;

static void wait_for_waiters(const char* board, int id, int n) {
    CHECK(wait_until([&] { return sim::Waiters(board, id) >= n; }));
    CHECK(sim::Waiters(board, id) == n);
}

static int ms_since(std::chrono::steady_clock::time_point t) {
    return (int)std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now() - t)
        .count();
}

static void test_port() {
    sim::Reset();
    CxMB100 b;
    CHECK(b.IsValid());
    CHECK(!b.IsOpened());
    unsigned w = 7;
    bool s = false;
    THROWS(NotOpened, b.Read(&w));
    THROWS(NotOpened, b.Write(1u));
    THROWS(NoDevice, b.Open(4));
    THROWS(NoDevice, b.Open(-1));
    b.Open(1);
    CHECK(b.IsOpened());
    CHECK(sim::BoardOpened("MB100", 1));
    CHECK(!sim::BoardOpened("MB100", 0));
    THROWS(NullPointer, b.Read(nullptr));
    b.Write(0x80000001u);
    b.WriteStatus(&w);
    CHECK(w == 0x80000001u);
    CHECK(sim::Outputs("MB100", 1) == 0x80000001u);
    b.Write(3, true);
    b.WriteStatus(3, &s);
    CHECK(s);
    b.Write(31, false);
    b.WriteStatus(&w);
    CHECK(w == 0x9u);
    THROWS(InvalidArgument, b.Write(32, true));
    THROWS(InvalidArgument, b.Read(-1, &s));
    sim::SetInputs("MB100", 1, 0xa5u);
    b.Read(&w);
    CHECK(w == 0xa5u);
    b.Read(0, &s);
    CHECK(s);
    b.Read(1, &s);
    CHECK(!s);
    sim::SetLoopback("MB100", 1, true);
    b.Read(&w);
    CHECK(w == 0x9u);
    CHECK(sim::Inputs("MB100", 1) == 0x9u);
    sim::SetLoopback("MB100", 1, false);
    b.Read(&w);
    CHECK(w == 0xa5u);

    // copies share the board; equality
    CxMB100 c(b);
    CHECK(c.IsOpened());
    CHECK(c == b);
    CxMB100 d;
    CxMB100 e;
    CHECK(d == e);
    CHECK(d != b);
    d.Open(1);
    CHECK(d == b);
    d.Open(2);
    CHECK(d != b);
    c.Close();
    CHECK(!b.IsOpened());
    CHECK(!sim::BoardOpened("MB100", 1));
    b.Close(); // closing twice is fine
    b.Open(1);
    // c closed its opening: b's new one is not c's, and c reaches nothing of it
    CHECK(!c.IsOpened());
    THROWS(NotOpened, c.Write(5u));
    THROWS(NotOpened, c.Read(&w));
    c.Close();
    CHECK(b.IsOpened());
    b.Write(6u);
    CHECK(sim::Outputs("MB100", 1) == 6u);
    b.Dispose();
    CHECK(!b.IsValid());
    THROWS(Disposed, b.IsOpened());
    THROWS(Disposed, b.Read(&w));
    THROWS(Disposed, b.Open(1));
    b.Dispose();
    CHECK(b == e);
    CHECK(!sim::BoardOpened("MB100", 1)); // b was the last handle of that opening
    CHECK(!c.IsOpened());
    c.Open(1);
    CHECK(c.IsOpened());
    CHECK(c.ModuleDevice() == static_cast<ExDevice>(0));

    THROWS(InvalidArgument, sim::SetInputs("XX", 0, 1));
    THROWS(NoDevice, sim::SetInputs("MB100", 9, 1));
    THROWS(NotSupported, sim::Interrupt("RM1600", 0));
}

static void test_last_handle_closes() {
    sim::Reset();
    {
        CxRM1600 r;
        r.Open(0);
        CHECK(sim::BoardOpened("RM1600", 0));
    }
    CHECK(!sim::BoardOpened("RM1600", 0));
}

static void test_edges_and_wait() {
    sim::Reset();
    CxRM1600 r;
    r.Open(0);
    CxRM1600Param p = CxRM1600Param::From(&r);
    CHECK(p.IsValid());
    CHECK(p.Timeout() == 1000);
    p.Timeout(50);
    p.DIEnable(0x0fu);
    p.DIEdge(0x03u); // bits 0,1 rising; 2,3 falling
    sim::SetLoopback("RM1600", 0, true);
    r.Write(0x0cu); // rising on 2,3: falling-edge bits, no event; bit 2,3 set
    auto t = std::chrono::steady_clock::now();
    TxRM1600WaitStatus ws = r.Wait();
    CHECK(ws.event_status == 3);
    CHECK(ms_since(t) >= 45);
    CHECK(ws.di == 0x0cu);
    r.Write(0x03u); // rising 0,1 ; falling 2,3 -> all four latched
    ws = r.Wait();
    CHECK(ws == TxRM1600WaitStatus(2, 0x0fu, 0x03u));
    ws = r.Wait(); // consumed
    CHECK(ws.event_status == 3);
    // wait mask
    p.DIWaitEnable(0x1u);
    r.Write(0x0cu); // falling 0,1 -> no (rising only), rising 2,3 -> no
    r.Write(0x03u); // rising 0,1 latched; falling 2,3 latched
    ws = r.Wait();
    CHECK(ws == TxRM1600WaitStatus(2, 0x1u, 0x03u));
    p.DIWaitEnable(0);
    ws = r.Wait();
    CHECK(ws == TxRM1600WaitStatus(2, 0x0eu, 0x03u));
    // timeout 0 polls
    p.Timeout(0);
    t = std::chrono::steady_clock::now();
    CHECK(r.Wait().event_status == 3);
    CHECK(ms_since(t) < 20);
    // event arriving during the wait
    p.Timeout(-1);
    std::thread th([] {
        wait_for_waiters("RM1600", 0, 1);
        sim::SetLoopback("RM1600", 0, false);
        sim::SetInputs("RM1600", 0, 0x1u);
    });
    sim::SetInputs("RM1600", 0, 0);
    ws = r.Wait();
    th.join();
    // loopback off: inputs go 0x3 -> 0 (falling on 0,1: not enabled) then 0x1: rising on bit 0
    CHECK(ws == TxRM1600WaitStatus(2, 0x1u, 0x1u));
    CHECK(sim::Waiters("RM1600", 0) == 0);

    // abort with no waiter does not poison
    p.Timeout(30);
    r.Abort();
    CHECK(r.Wait().event_status == 3);
    // abort from another handle on another thread, two waiters
    p.Timeout(-1);
    CxRM1600 other;
    other.Open(0);
    std::atomic<unsigned> a1{0}, a2{0};
    std::thread w1([&] { a1 = r.Wait().event_status; });
    std::thread w2([&] { a2 = other.Wait().event_status; });
    wait_for_waiters("RM1600", 0, 2);
    CxRM1600 third;
    third.Open(0);
    third.Abort();
    w1.join();
    w2.join();
    CHECK(a1 == 4 && a2 == 4);
    // close from another thread
    std::thread w3([&] { a1 = r.Wait().event_status; });
    wait_for_waiters("RM1600", 0, 1);
    other.Close();
    w3.join();
    CHECK(a1 == 4);
    THROWS(NotOpened, r.Wait());
    // dispose from another thread wakes the waiter of that handle only
    r.Open(0);
    THROWS(NotOpened, other.Wait()); // other closed the opening: r's new one is not other's
    other.Open(0);
    std::thread w4([&] { a1 = r.Wait().event_status; });
    std::thread w5([&] { a2 = other.Wait().event_status; });
    wait_for_waiters("RM1600", 0, 2);
    r.Dispose();
    w4.join();
    CHECK(a1 == 4);
    CHECK(sim::Waiters("RM1600", 0) == 1);
    sim::SetInputs("RM1600", 0, 0x2u);
    w5.join();
    CHECK(a2 == 2);
    // destruction of a waiting handle
    CxRM1600* heap = new CxRM1600;
    heap->Open(0);
    std::thread w6([&] { a1 = heap->Wait().event_status; });
    wait_for_waiters("RM1600", 0, 1);
    delete heap;
    w6.join();
    CHECK(a1 == 4);
    CHECK(other.IsOpened());
}

// A handle rebound (Open after a reset, Open of another id, a copy assigned to it, Dispose) while
// other threads wait, read and ask through it: each wait ends on the board it began on (TIMEOUT
// here: Timeout 0), with ABORT, or with NotOpened or Disposed; nothing reaches a board that is gone.
static void test_rebind_under_waiters() {
    sim::Reset();
    CxRM1600 h;
    h.Open(0);
    CxRM1600Param::From(&h).Timeout(0);
    std::atomic<bool> stop{false};
    std::atomic<long> waits{0};
    auto waiter = [&] {
        while (!stop) {
            try {
                unsigned code = h.Wait().event_status;
                CHECK(code == 3 || code == 4);
                unsigned int w;
                h.Read(&w);
                h.IsOpened();
                CHECK(h == h);
                ++waits;
            } catch (const CxException& e) {
                CHECK(e.Status() == ExStatus::NotOpened || e.Status() == ExStatus::Disposed);
            }
        }
    };
    std::thread t1(waiter), t2(waiter), t3(waiter);
    CxRM1600 other;
    for (int i = 0; i < 400; ++i) {
        sim::Reset();
        h.Open(i % 4);
        CxRM1600Param::From(&h).Timeout(0); // a fresh board waits 1 s by default
        if (i % 7 == 0) {
            other.Open((i + 1) % 4);
            h = other;
        }
        if (i % 50 == 49)
            h.Close();
    }
    // On a loaded machine the waiters may not have had a turn yet: let them have one on an open
    // board before they stop.
    h.Open(0);
    CxRM1600Param::From(&h).Timeout(0);
    CHECK(wait_until([&] { return waits > 0; }));
    stop = true;
    t1.join();
    t2.join();
    t3.join();
    CHECK(h.IsOpened());
}

static void test_interrupt() {
    sim::Reset();
    CxDQ160 q;
    q.Open(2);
    CxDQ160Param p;
    CHECK(!p.IsValid());
    THROWS(NoController, p.Timeout());
    p.Controller(&q);
    CHECK(p.Controller() == &q);
    CHECK(p.GetDeviceModule() == static_cast<IxModule*>(&q));
    p.Timeout(40);
    sim::Interrupt("DQ160", 2); // disabled: nothing
    CHECK(q.Wait().event_status == 3);
    p.INTEnable(1);
    sim::Interrupt("DQ160", 2);
    int st = -1;
    p.GetParam("INTStatus", &st, TxModel(Model::Signed, 1));
    CHECK(st == 1);
    p.DIEnable(1);
    sim::SetInputs("DQ160", 2, 1);
    TxDQ160WaitStatus ws = q.Wait();
    CHECK(ws == TxDQ160WaitStatus(1, 0, 1));
    p.GetParam("INTStatus", &st, TxModel(Model::Signed, 1));
    CHECK(st == 0);
    ws = q.Wait();
    CHECK(ws == TxDQ160WaitStatus(2, 1, 1));
    // INTWaitEnable 0: INT latches but does not end a wait
    p.INTWaitEnable(0);
    sim::Interrupt("DQ160", 2);
    CHECK(q.Wait().event_status == 3);
    p.INTWaitEnable(1);
    CHECK(q.Wait().event_status == 1);
    // MB100 interrupt by name
    CxMB100 m;
    m.Open(0);
    CxMB100Param mp = CxMB100Param::From(&m);
    mp.Timeout(-1);
    int one = 1;
    mp.SetParam("INTEnable", &one, TxModel(Model::Signed, 1));
    unsigned ev = 0;
    std::thread th([] {
        wait_for_waiters("MB100", 0, 1);
        sim::Interrupt("MB100", 0);
    });
    m.Wait(&ev);
    th.join();
    CHECK(ev == 1);
    THROWS(NullPointer, m.Wait(nullptr));
    // events latched on a closed board are not kept
    m.Close();
    sim::Interrupt("MB100", 0);
    m.Open(0);
    mp.Timeout(10);
    m.Wait(&ev);
    CHECK(ev == 3);
}

static void test_params() {
    sim::Reset();
    CxDQ160 q;
    CxDQ160Param p = CxDQ160Param::From(&q);
    CHECK(p.IsValid());
    THROWS(NotOpened, p.Timeout());
    q.Open(3);
    int v = 0;
    unsigned u = 0;
    TxModel S(Model::Signed, 1), U(Model::Unsigned, 1), T(Model::Text, 0);
    p.GetParam("DeviceID", &v, S);
    CHECK(v == 3);
    p.GetParam("DeviceType", &v, S);
    CHECK(v == 160);
    v = -5;
    p.SetParam("Timeout", &v, S);
    CHECK(p.Timeout() == -5);
    p.DIEnable(0xffffffffu);
    p.GetParam("DIEnable", &u, U);
    CHECK(u == 0xffffffffu);
    THROWS(ParamKind, p.GetParam("DIEnable", &v, S));
    THROWS(ReadOnly, p.SetParam("INTStatus", &v, S));
    THROWS(UnknownParam, p.GetParam("timeout", &v, S));
    THROWS(NullPointer, p.GetParam(nullptr, &v, S));
    THROWS(NullPointer, p.GetParam("Timeout", nullptr, S));
    THROWS(UnknownCommand, p.SendCommand("Reset", nullptr, TxModel(Model::Command, 1)));
    for (const char* n : {"INTEnable", "INTEdge", "DINoiseFilterWidth", "DINoiseFilterScale",
                          "INTNoiseFilterWidth", "INTNoiseFilterScale", "INTStatus", "DeviceID",
                          "DeviceType", "DriverVersion", "FpgaVersion", "Timeout", "DIWaitMode",
                          "INTWaitEnable", "Version"})
        CHECK(status_of([&] { p.GetParam(n, &v, S); }) == ExStatus::Ok);
    for (const char* n : {"DIEnable", "DIEdge", "DIWaitEnable"})
        CHECK(status_of([&] { p.GetParam(n, &u, U); }) == ExStatus::Ok);
    p.DIWaitMode(2);
    p.GetParam("DIWaitMode", &v, S);
    CHECK(v == 2);
    p.SetRegister(255, 0xdeadbeefu);
    p.GetRegister(255, &u);
    CHECK(u == 0xdeadbeefu);
    THROWS(InvalidArgument, p.SetRegister(256, 1));
    THROWS(NullPointer, p.GetRegister(0, nullptr));

    CxRM1600 r;
    r.Open(1);
    CxRM1600Param rp = CxRM1600Param::From(&r);
    CxStringA s;
    rp.GetParam("FpgaVersionName", &s, T);
    CHECK(std::strcmp(s.Address(), "3.1.0") == 0);
    rp.GetParam("DriverVersionName", &s, T);
    CHECK(std::strcmp(s.Address(), "1.2.0") == 0);
    rp.GetParam("DeviceID", &v, S);
    CHECK(v == 1);
    v = 3;
    rp.SetParam("Version", &v, S);
    rp.SetParam("DINoiseFilterTime", &v, S);
    THROWS(ReadOnly, rp.SetParam("FpgaVersionName", &s, T));
    CxMB100 m;
    m.Open(0);
    CxMB100Param mp = CxMB100Param::From(&m);
    for (const char* n : {"INTEnable", "INTEdge", "INTStatus", "DeviceID", "DeviceType",
                          "DriverVersion", "Timeout", "Version", "DIWaitMode", "INTWaitEnable"})
        CHECK(status_of([&] { mp.GetParam(n, &v, S); }) == ExStatus::Ok);
    mp.INTEdge(1);
    mp.GetParam("INTEdge", &v, S);
    CHECK(v == 1);

    // attachment rules
    THROWS(InvalidArgument, CxMB100Param::From(&r));
    THROWS(InvalidArgument, mp.Controller(&q));
    CxMB100Param none = CxMB100Param::From(nullptr);
    CHECK(!none.IsValid());
    CHECK(none.Controller() == nullptr);
    THROWS(NoController, none.Timeout(1));
    CxMB100Param none2;
    CHECK(none == none2);
    CxMB100Param mp2;
    mp2.Controller(&m);
    CHECK(mp2 == mp);
    CxMB100 m2(m);
    mp2.Controller(&m2);
    CHECK(mp2 != mp);
    CHECK(mp2.Timeout() == mp.Timeout()); // same board
    {
        CxMB100* heap = new CxMB100;
        heap->Open(0);
        mp2.Controller(heap);
        CHECK(mp2.IsValid());
        delete heap;
    }
    CHECK(!mp2.IsValid());
    CHECK(mp2.Controller() == nullptr);
    THROWS(NoObject, mp2.Timeout());
    m.Dispose();
    CHECK(!mp.IsValid());
    THROWS(Disposed, mp.Timeout());
    // A move hands the attachment over and leaves the object moved from detached but usable.
    CxMB100Param copy(mp);
    CxMB100Param moved(std::move(mp));
    CHECK(moved == copy);
    CHECK(moved.Controller() == &m);
    CHECK(moved != mp);
    CHECK(mp == none2);
    CHECK(mp.Controller() == nullptr);
    THROWS(NoController, mp.Timeout());
    mp.Controller(&m2);
    CHECK(mp.Controller() == &m2);
}

static void test_files() {
    sim::Reset();
    CxDQ160 q;
    THROWS(NotOpened, q.Save("x.txt", 0));
    q.Open(0);
    CxDQ160Param p = CxDQ160Param::From(&q);
    p.Timeout(1234);
    p.DIEnable(0xf0f0f0f0u);
    int w = 7;
    p.SetParam("DINoiseFilterWidth", &w, TxModel(Model::Signed, 1));
    q.Save("dq.txt", 0);
    {
        std::ifstream f("dq.txt");
        std::string line, all;
        while (std::getline(f, line))
            all += line + "|";
        std::printf("saved: %s\n", all.c_str());
    }
    CxDQ160 q1;
    q1.Open(1);
    CxDQ160Param p1 = CxDQ160Param::From(&q1);
    q1.Load(L"dq.txt", 0);
    CHECK(p1.Timeout() == 1234);
    CHECK(p1.DIEnable() == 0xf0f0f0f0u);
    p1.GetParam("DINoiseFilterWidth", &w, TxModel(Model::Signed, 1));
    CHECK(w == 7);
    p1.GetParam("DeviceID", &w, TxModel(Model::Signed, 1));
    CHECK(w == 1);
    q1.Save(L"dq\u00e9.txt", 0);
    std::ifstream f2("dq\xc3\xa9.txt");
    CHECK(bool(f2));
    THROWS(FileNotFound, q1.Load("nope.txt", 0));
    {
        std::ofstream bad("bad.txt");
        bad << "Timeout=5\nDeviceID=3\n";
    }
    THROWS(FileFormat, q1.Load("bad.txt", 0));
    CHECK(p1.Timeout() == 1234); // all or nothing
    THROWS(FileWrite, q1.Save("no_such_folder/x.txt", 0));
    THROWS(NullPointer, q1.Save(static_cast<const char*>(nullptr), 0));
    THROWS(NullPointer, q1.Load(static_cast<const wchar_t*>(nullptr), 0));
}

static void test_journal_faults_objects() {
    sim::Reset();
    long base = sim::LiveObjects();
    sim::SetJournal(true);
    {
        CxMB100 m;
        m.Open(0);
        unsigned w;
        m.Read(&w);
        m.Write(5u);
        m.Write(2, true);
        CxMB100Param p = CxMB100Param::From(&m);
        int t = -5;
        p.SetParam("Timeout", &t, TxModel(Model::Signed, 1));
        p.GetParam("Timeout", &t, TxModel(Model::Signed, 1));
        p.Controller(nullptr);
        CHECK(p == p);
        status_of([&] { p.SendCommand("X", nullptr, TxModel(Model::Command, 1)); });
        CxDQ160 q;
        q.Open(0);
        status_of([&] { q.Save("a\"b", 1); });
        status_of([&] { q.Load(L"\u00e9x", 2); });
        sim::Fail("CxMB100::Open", 5, "Open", "dev.c", 42, 1);
        try {
            m.Open(1);
            CHECK(false);
        } catch (const CxException& e) {
            CHECK(e.Status() == ExStatus::NoDevice);
            CHECK(std::strcmp(e.Function(), "Open") == 0);
            CHECK(std::strcmp(e.File(), "dev.c") == 0);
            CHECK(e.Line() == 42);
        }
        m.Open(1); // only once
        CHECK(sim::PendingFaults("CxMB100::Open") == 0);
        CHECK(sim::LiveObjects() == base + 3);
    }
    sim::SetJournal(false);
    for (const auto& e : sim::Journal())
        std::printf("  %s\n", e.c_str());
    CHECK(sim::LiveObjects() == base);
}

int main() {
    RUN(test_port);
    RUN(test_last_handle_closes);
    RUN(test_edges_and_wait);
    RUN(test_rebind_under_waiters);
    RUN(test_interrupt);
    RUN(test_params);
    RUN(test_files);
    RUN(test_journal_faults_objects);
    sim::Reset();
    std::printf("live objects at end: %ld\n", sim::LiveObjects());
    std::printf(failures ? "%d FAILURES\n" : "all passed\n", failures);
    return failures != 0;
}
