#include "base/termination_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "base/output_staging.h"

namespace reelsmith {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The program's own clean-up after the first signal takes a fraction of a second; a main
// thread that is busy elsewhere must not keep the program alive past this.
constexpr unsigned kGraceSeconds = 5;

// Signal dispositions are process-wide, and so is what their handler reads.
std::atomic<int> g_FirstSignal{0};
std::atomic<int> g_WakeFd{-1};

// Async-signal-safe: removes the staged files and ends the program as the signal would.
void EndNow(int signal)
{
    RemoveStagedFilesNow();
    ::signal(signal, SIG_DFL);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

void OnTerminationSignal(int signal)
{
    int none = 0;
    if (g_FirstSignal.compare_exchange_strong(none, signal)) {
        const int fd = g_WakeFd.load();
        if (fd >= 0) {
            const char byte = static_cast<char>(signal);
            [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
        }
        ::alarm(kGraceSeconds);
        return;
    }
    EndNow(signal);
}

// The grace after the first signal is over and the program still runs.
void OnGraceOver(int)
{
    if (const int signal = g_FirstSignal.load(); signal != 0)
        EndNow(signal);
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
    struct sigaction grace {};
    grace.sa_handler = OnGraceOver;
    sigemptyset(&grace.sa_mask);
    grace.sa_flags = SA_RESTART;
    ::sigaction(SIGALRM, &grace, nullptr);
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
