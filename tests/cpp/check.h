// The small checking harness of the library's C++ test programs: a failed check is printed and
// counted, and the program's exit status says whether any failed. Test functions run through
// RUN, so an exception that escapes one is a failure naming it, and the next one still runs.
#pragma once

#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <thread>

#include <zol/zol.h>

static int failures = 0;

#define CHECK(c)                                                                                   \
    do {                                                                                           \
        if (!(c)) {                                                                                \
            std::printf("FAIL %s:%d: %s\n", __FILE__, __LINE__, #c);                               \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

// The status a call throws, or Ok.
static zol::ExStatus status_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const zol::CxException& e) {
        return e.Status();
    }
    return zol::ExStatus::Ok;
}
#define THROWS(st, expr) CHECK(status_of([&] { expr; }) == ::zol::ExStatus::st)

// Waits (at most 5 s) until `ready` holds, e.g. until another thread really waits inside the
// library, so that what the test does next reaches that wait. Whether it held is returned.
static bool wait_until(const std::function<bool()>& ready) {
    for (int i = 0; i < 5000 && !ready(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return ready();
}

// Runs one test function. An exception that escapes it is printed as a failure that names the
// function and what was thrown (a library error with its status, function, file and line).
static void run_test(const char* name, void (*test)()) {
    auto text = [](const char* s) { return s ? s : ""; };
    try {
        test();
        return;
    } catch (const zol::CxException& e) {
        std::printf("FAIL %s: CxException status %d function %s file %s line %d: %s\n", name,
                    e.Code(), text(e.Function()), text(e.File()), e.Line(), text(e.Message()));
    } catch (const std::exception& e) {
        std::printf("FAIL %s: exception: %s\n", name, e.what());
    } catch (...) {
        std::printf("FAIL %s: unknown exception\n", name);
    }
    ++failures;
}
#define RUN(test) run_test(#test, test)
