// Lets a benchmark start each measured run on a quiet machine: work another
// service left for its idle time (an index filled after a burst) would
// otherwise land in the next store's run.
#pragma once

#include <sys/types.h>

namespace zandle::bench {

// CPU seconds (user and system) the process has used so far; 0 if it is gone.
double processCpuSeconds(pid_t pid);

// Waits until the whole machine has been nearly idle (under 5 % of all cores
// busy) for a quarter of a second, or about maxSeconds have passed (none when
// 0); returns the seconds waited.
double waitUntilQuiet(double maxSeconds);

}  // namespace zandle::bench
