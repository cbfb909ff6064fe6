#pragma once
// Worker thread priorities: SCHED_IDLE for idle, nice values for the rest.

namespace reelsmith {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Applies priority to the calling thread. Raising it without the right is skipped silently.
void ApplyThreadPriority(TThreadPriority priority);

}  // namespace reelsmith
