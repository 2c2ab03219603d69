#include "gui/timer.h"

#include <algorithm>
#include <vector>

#include "platform/clock.h"

namespace orv {

namespace {

// Running timers of the editor's thread.
std::vector<CVSTGUITimer*>& runningTimers() {
  static std::vector<CVSTGUITimer*> timers;
  return timers;
}

bool firing = false;

}  // namespace

CVSTGUITimer::CVSTGUITimer(Callback callback, uint32_t periodMs)
    : callback(std::move(callback)), period(periodMs > 0 ? periodMs : 1) {}

CVSTGUITimer::~CVSTGUITimer() { stop(); }

void CVSTGUITimer::start() {
  if (running) return;
  running = true;
  lastFired = platform::tickCountMs();
  runningTimers().push_back(this);
}

void CVSTGUITimer::stop() {
  if (!running) return;
  running = false;
  auto& timers = runningTimers();
  timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

void CVSTGUITimer::fireDue(uint32_t nowMs) {
  if (firing) return;
  firing = true;
  // A callback may stop or start timers: work on a copy, check each is still running.
  const std::vector<CVSTGUITimer*> due = runningTimers();
  for (CVSTGUITimer* t : due) {
    auto& timers = runningTimers();
    if (std::find(timers.begin(), timers.end(), t) == timers.end()) continue;
    // Unsigned difference: right across the tick count's wrap.
    if (nowMs - t->lastFired < t->period) continue;
    t->lastFired = nowMs;
    if (t->callback) t->callback(t);
  }
  firing = false;
}

}  // namespace orv
