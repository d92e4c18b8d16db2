// The local clock as the transactions see it: only the seconds field matters.
#pragma once

#include <chrono>

namespace telvora {

// Seconds field (0 to 59) of the current local time.
int LocalSecondsField();
// The steady-clock moment at which the local seconds field changes next.
std::chrono::steady_clock::time_point NextSecondsChange();

}  // namespace telvora
