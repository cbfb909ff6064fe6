#include "base/termination_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "base/output_staging.h"

namespace reelsmith {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Signal dispositions are process-wide, and so is what their handler reads.
std::atomic<int> g_FirstSignal{0};
std::atomic<int> g_WakeFd{-1};

void OnTerminationSignal(int signal)
{
    int none = 0;
    if (g_FirstSignal.compare_exchange_strong(none, signal)) {
        const int fd = g_WakeFd.load();
        if (fd >= 0) {
            const char byte = static_cast<char>(signal);
            [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
        }
        return;
    }
    RemoveStagedFilesNow();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void InstallTerminationHandlers(int wakeFd)
{
    g_WakeFd = wakeFd;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

int TerminationSignal() { return g_FirstSignal.load(); }

void EndBySignal(int signal)
{
    RemoveStagedFilesNow();
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);
}

}  // namespace reelsmith
