// Local clock helpers.
#include "platform/local_clock.h"

#include <ctime>

namespace telvora {

int LocalSecondsField() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return parts.tm_sec;
}

std::chrono::steady_clock::time_point NextSecondsChange() {
  using namespace std::chrono;
  // Time zones differ from UTC by whole minutes, so the local seconds field turns
  // over together with the wall clock's whole seconds.
  const auto wall = system_clock::now().time_since_epoch();
  const auto intoSecond = wall - duration_cast<seconds>(wall);
  // A millisecond of slack so the wake-up lands after the change, not just before it.
  return steady_clock::now() + (seconds(1) - intoSecond) + milliseconds(1);
}

}  // namespace telvora
