// Ctrl-C during a blocking wait of the main thread.
//
// While the main thread waits inside the library, the interpreter only notes a SIGINT; the wait
// itself would go on to its time-out (or for ever). So for the length of such a wait the
// process's SIGINT handler is wrapped: the interpreter's handler still runs first (it notes the
// signal for the Python-level handler), then a semaphore wakes a helper thread that calls the
// waiting member's abort. The abort is repeated every 50 ms until the wait has ended, in case
// it reached the library just before the wait began. Once the interpreter lock is held again
// the Python-level handler runs (KeyboardInterrupt by default) and its exception replaces the
// wait's outcome; a handler that raises nothing leaves the wait's own (aborted) outcome. Waits on
// other threads are not watched: only the main thread runs Python-level signal handlers.
#include "zol_unit.h"

#include <dlfcn.h>

#include <errno.h>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace pyzol {
namespace {

// One per process (a forked child makes its own: the helper thread does not survive a fork).
struct Watch {
    pid_t pid = getpid();
    sem_t wake;
    std::mutex mutex;
    std::condition_variable ended;
    std::function<void()> abort; // guarded by `mutex`
    std::atomic<bool> active{false};
    std::atomic<bool> fired{false};
    struct sigaction previous {};
    unsigned long main_thread = 0;
};

std::atomic<Watch*> current_watch{nullptr};

void helper(Watch* w) {
    for (;;) {
        while (sem_wait(&w->wake) != 0) {
        }
        std::unique_lock<std::mutex> lock(w->mutex);
        while (w->active.load() && w->fired.load()) {
            try {
                w->abort();
            } catch (...) {
                // A failing abort leaves the wait to its own end; nothing to report here.
            }
            w->ended.wait_for(lock, std::chrono::milliseconds(50),
                              [w] { return !w->active.load(); });
        }
    }
}

extern "C" void on_sigint(int sig, siginfo_t* info, void* context) {
    const int saved = errno;
    Watch* w = current_watch.load();
    if (w) {
        if (w->previous.sa_flags & SA_SIGINFO)
            w->previous.sa_sigaction(sig, info, context);
        else if (w->previous.sa_handler != SIG_DFL && w->previous.sa_handler != SIG_IGN)
            w->previous.sa_handler(sig);
        if (w->active.load()) {
            w->fired.store(true);
            sem_post(&w->wake);
        }
    }
    errno = saved;
}

// The process's watch, started on first use (the interpreter lock is held).
Watch* watch() {
    Watch* w = current_watch.load();
    if (w && w->pid == getpid())
        return w;
    w = new Watch; // never freed: the helper thread uses it until the process ends
    sem_init(&w->wake, 0, 0);
    w->main_thread = py::module_::import("threading")
                         .attr("main_thread")()
                         .attr("ident")
                         .cast<unsigned long>();
    // The helper takes no signals: they go to the threads that run Python.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    std::thread(helper, w).detach();
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    current_watch.store(w);
    return w;
}

} // namespace

Interruption::Interruption(std::function<void()> abort) {
    Watch* w = watch();
    if (PyThread_get_thread_ident() != w->main_thread)
        return;
    struct sigaction installed {};
    sigaction(SIGINT, nullptr, &installed);
    // Ignored, or the default (which ends the process): nothing to wrap.
    if (!(installed.sa_flags & SA_SIGINFO) &&
        (installed.sa_handler == SIG_DFL || installed.sa_handler == SIG_IGN))
        return;
    {
        std::lock_guard<std::mutex> lock(w->mutex);
        w->abort = std::move(abort);
        w->fired.store(false);
        w->previous = installed;
        w->active.store(true);
    }
    struct sigaction wrapper = installed;
    wrapper.sa_flags |= SA_SIGINFO;
    wrapper.sa_sigaction = on_sigint;
    sigaction(SIGINT, &wrapper, nullptr);
    active_ = true;
    // A signal noted just before the handler was wrapped: handled now, before the wait starts.
    if (PyErr_CheckSignals() != 0) {
        end();
        throw py::error_already_set();
    }
}

Interruption::~Interruption() { end(); }

bool Interruption::end() {
    if (!active_)
        return false;
    active_ = false;
    Watch* w = current_watch.load();
    sigaction(SIGINT, &w->previous, nullptr);
    bool fired;
    {
        std::lock_guard<std::mutex> lock(w->mutex); // waits for an abort in progress
        w->active.store(false);
        fired = w->fired.exchange(false);
        w->abort = nullptr;
    }
    w->ended.notify_all();
    return fired;
}

void Interruption::finish() {
    if (end() && PyErr_CheckSignals() != 0)
        throw py::error_already_set();
}

// The public name since 3.13, the private one before: looked up when first needed, so that
// loading the module never depends on either (another interpreter must reach the version check).
bool finalizing() {
    using Check = int (*)();
    static const Check check = [] {
        void* found = dlsym(RTLD_DEFAULT, "Py_IsFinalizing");
        if (!found)
            found = dlsym(RTLD_DEFAULT, "_Py_IsFinalizing");
        return reinterpret_cast<Check>(found);
    }();
    return check && check() != 0;
}

void park_thread() {
    for (;;)
        pause();
}

void restore_thread(PyThreadState* state) {
    // The interpreter is going away and this thread may not take the lock again; it has
    // nothing left to do but wait for the process to end.
    if (finalizing())
        park_thread();
    PyEval_RestoreThread(state);
}

} // namespace pyzol
