#include "base/thread_priority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace reelsmith {

namespace {
int NiceOf(TThreadPriority priority)
{
    switch (priority) {
    case tpLowest: return 15;
    case tpLower: return 5;
    case tpHigher: return -5;
    case tpHighest: return -10;
    case tpTimeCritical: return -20;
    default: return 0;
    }
}
}  // namespace

void ApplyThreadPriority(TThreadPriority priority)
{
    sched_param param{};
    if (priority == tpIdle) {
        pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
        return;
    }
    // setpriority with a thread id changes only that thread on Linux.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, tid, NiceOf(priority));
}

}  // namespace reelsmith
