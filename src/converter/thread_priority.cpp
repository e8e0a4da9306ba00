#include "converter/thread_priority.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quillo::converter {

namespace {

int NiceValue(ThreadPriority priority) {
    switch (priority) {
        case ThreadPriority::tpLowest:
            return 10;
        case ThreadPriority::tpLower:
            return 5;
        case ThreadPriority::tpHigher:
            return -5;
        case ThreadPriority::tpHighest:
            return -10;
        case ThreadPriority::tpTimeCritical:
            return -15;
        default:
            return 0;
    }
}

}  // namespace

void ApplyThreadPriority(ThreadPriority priority) {
    // On Linux the nice value and the scheduling class belong to the thread, not the process.
    const pid_t thread = gettid();
    sched_param parameters{};
    if (priority == ThreadPriority::tpIdle) {
        sched_setscheduler(thread, SCHED_IDLE, &parameters);
        return;
    }
    sched_setscheduler(thread, SCHED_OTHER, &parameters);
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(thread), NiceValue(priority)) != 0) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(thread), 0);
    }
}

}  // namespace quillo::converter
