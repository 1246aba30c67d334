// The rack's wiring across threads, tested in C++ against the library (run under ThreadSanitizer
// by scripts/sanitize.sh): I/O outputs toggled by two threads while they trigger two running
// capture boards, a strobe wired to an I/O input with a thread waiting on it, a wire made and
// taken out while edges run through it, and the waiting board unplugged at the end.
#include <zol/dio.h>
#include <zol/sim.h>
#include <zol/sim_video.h>
#include <zol/video.h>

#include "check.h"

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

using namespace zol;

namespace {

constexpr int kPulses = 300;

void pulses(DIO::CxRM1600& io, int bit) {
    for (int i = 0; i < kPulses; ++i) {
        io.Write(bit, true);
        io.Write(bit, false);
    }
}

void test_edges_from_two_threads_reach_two_running_boards() {
    std::ofstream("wired.cam") << "Width=64\nHeight=48\nTriggerMode=1\nExternalTrigger=1\n"
                                  "ExposureTime=0\nEXPEnable=1\nTimeout=5000\n";
    Video::CxKX210 a = Video::CxKX210::FromFile("wired.cam", 0, 0, 0);
    Video::CxKX310 b = Video::CxKX310::FromFile("wired.cam", 0, 0, 0);
    std::ofstream("tr520.cam") << "Width=64\nHeight=48\nTriggerMode=1\nExposureTime=0\n";
    Video::CxTR520 c = Video::CxTR520::FromFile("tr520.cam", 0, 0);
    std::vector<CxImage> images(9, CxImage(64, 48));
    CxImage* ra[3] = {&images[0], &images[1], &images[2]};
    CxImage* rb[3] = {&images[3], &images[4], &images[5]};
    CxImage* rc[3] = {&images[6], &images[7], &images[8]};
    a.Lock(ra, 3, 0);
    b.Lock(rb, 3, 0);
    c.Lock(rc, 3, 0);
    sim::Wire({"RM1600", 0, "out", 1}, {"KX210", 0, "trigger", 0});
    sim::Wire({"RM1600", 0, "out", 2}, {"KX310", 0, "trigger", 0});
    sim::Wire({"KX210", 0, "strobe", 0}, {"MB100", 0, "in", 4});
    DIO::CxMB100 waiting;
    waiting.Open(0);
    DIO::CxMB100Param wp = DIO::CxMB100Param::From(&waiting);
    unsigned enable = 1u << 4;
    wp.SetParam("DIEnable", &enable, TxModel(4, 1));
    int timeout = -1;
    wp.SetParam("Timeout", &timeout, TxModel(8, 1));
    a.Num(0);
    b.Num(0);
    c.Num(0);
    a.Start();
    b.Start();
    c.Start();

    std::atomic<bool> unplugged{false};
    std::atomic<int> strobes{0};
    std::thread waiter([&] {
        for (;;) {
            unsigned event = 0;
            if (status_of([&] { waiting.Wait(&event); }) != ExStatus::Ok)
                break; // NoDevice once unplugged
            ++strobes;
        }
        CHECK(unplugged.load());
    });
    DIO::CxRM1600 io1, io2;
    io1.Open(0);
    io2.Open(0);
    std::thread t1([&] { pulses(io1, 1); });
    std::thread t2([&] { pulses(io2, 2); });
    // A wire made and taken out while the outputs change.
    std::thread rewire([&] {
        for (int i = 0; i < 100; ++i) {
            sim::Wire({"RM1600", 0, "out", 1}, {"TR520", 0, "trigger", 0});
            sim::Unwire({"RM1600", 0, "out", 1}, {"TR520", 0, "trigger", 0});
        }
    });
    t1.join();
    t2.join();
    rewire.join();

    const sim::TriggerCounts ca = sim::Triggers(&a), cb = sim::Triggers(&b);
    CHECK(ca.detected == kPulses && cb.detected == kPulses);
    CHECK(ca.taken + ca.missed == ca.detected && cb.taken + cb.missed == cb.detected);
    CHECK(sim::Triggers(&c).detected <= static_cast<unsigned>(kPulses));
    CHECK(wait_until([&] { return a.QueryStatus().total_frame_count >= 1; }));
    CHECK(wait_until([&] { return strobes.load() >= 1; })); // the frames' strobes ended waits
    unplugged = true;
    sim::Unplug("MB100", 0);
    waiter.join();
    a.Abort();
    b.Abort();
    c.Abort();
    CHECK(sim::Wiring().size() == 3);
    sim::Reset();
    CHECK(sim::Wiring().empty());
}

} // namespace

int main() {
    sim::Reset();
    RUN(test_edges_from_two_threads_reach_two_running_boards);
    std::printf("%s (%d failures)\n", failures ? "FAILED" : "OK", failures);
    return failures != 0;
}
