// A periodic timer of the editor's thread. Nothing runs on its own: the
// frames fire due timers from their idle, which the host's effEditIdle
// drives, so the plug-in creates no thread and no timer of the system.
#pragma once

#include <cstdint>
#include <functional>

namespace orv {

class CVSTGUITimer {
 public:
  using Callback = std::function<void(CVSTGUITimer*)>;
  CVSTGUITimer(Callback callback, uint32_t periodMs);
  ~CVSTGUITimer();
  CVSTGUITimer(const CVSTGUITimer&) = delete;
  CVSTGUITimer& operator=(const CVSTGUITimer&) = delete;

  void start();
  void stop();
  bool isRunning() const { return running; }
  uint32_t getPeriod() const { return period; }

  // Fires every running timer whose period has passed at `nowMs`; a timer
  // fires once per call however late it is. Calls from inside a callback do
  // nothing, so a callback that idles the frame cannot recurse.
  static void fireDue(uint32_t nowMs);

 private:
  Callback callback;
  uint32_t period;
  uint32_t lastFired = 0;
  bool running = false;
};

}  // namespace orv
