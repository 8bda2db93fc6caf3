#include "headless.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

#include "abi_object.h"
#include "event_text.h"

namespace dghost {
namespace {

// Waits up to `wait` for SIGINT or SIGTERM, both blocked by the caller.
// Returns the signal, or 0 when the time ran out.
int WaitForStop(std::chrono::steady_clock::duration wait, const sigset_t& stops) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + wait;
    for (;;) {
        const auto left = deadline - steady_clock::now();
        if (left <= steady_clock::duration::zero()) return 0;
        const auto ns = duration_cast<nanoseconds>(left).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        const int signal = sigtimedwait(&stops, nullptr, &timeout);
        if (signal > 0) return signal;
        if (errno != EINTR) return 0;  // EAGAIN: the second is over
    }
}

}  // namespace

int RunHeadless() {
    // The stop signals are taken synchronously by sigtimedwait, so a signal
    // between two polls is never lost and no handler runs inside the component.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a closed reader shows as a failed write

    Object shift;
    try {
        shift = Object::Create(DG_PROGID_CLSSHIFTCLASS);
        shift.Advise([](const Event& event) {
            std::fputs((EventJson(event) + "\n").c_str(), stdout);
            std::fflush(stdout);
        });
    } catch (const CallError& e) {
        std::fprintf(stderr, "dutygate-host: %s\n", e.what());
        return 1;
    }
    char cwd[4096];
    std::fprintf(stderr,
                 "dutygate-host: announcing shift changes (settings in %s/mdb/Para.mdb), polling once a second; "
                 "SIGINT or SIGTERM ends\n",
                 getcwd(cwd, sizeof cwd) ? cwd : ".");

    int exitCode = 0;
    std::string lastError;
    using clock = std::chrono::steady_clock;
    auto next = clock::now();
    for (;;) {
        std::string error;
        const dg_status status = shift.TryCall("ShiftClass", &error);
        if (status < 0) {
            // Report a failure once, not every second while it lasts.
            if (error != lastError) std::fprintf(stderr, "dutygate-host: %s\n", error.c_str());
            lastError = error;
        } else {
            lastError.clear();
        }
        if (std::ferror(stdout)) {
            std::fprintf(stderr, "dutygate-host: standard output is closed\n");
            exitCode = 1;
            break;
        }
        next += std::chrono::seconds(1);
        const auto now = clock::now();
        if (next < now) next = now;  // a slow call does not make a burst of polls
        if (WaitForStop(next - now, stops) != 0) break;
    }
    shift.Release();
    return exitCode;
}

}  // namespace dghost
