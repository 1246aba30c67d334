// The small checking harness of the library's C++ test programs: a failed check is printed and
// counted, and the program's exit status says whether any failed.
#pragma once

#include <cstdio>
#include <functional>

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
