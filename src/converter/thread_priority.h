#pragma once

namespace quillo::converter {

// How much of the machine a worker thread may take, from idle to time-critical.
enum class ThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// Gives the calling thread the priority: normal is nice 0, lower nice 5, lowest nice 10, idle
// the idle scheduling class. Above normal needs privileges the program normally lacks; without
// them the thread stays at normal.
void ApplyThreadPriority(ThreadPriority priority);

}  // namespace quillo::converter
