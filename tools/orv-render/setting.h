// Plug-in settings as a render uses and reports them.
#pragma once

#include <string>

namespace orv::render {

// One parameter as it was set or as it stands.
struct Setting {
  int index = 0;
  std::string name;     // trimmed
  float value = 0.0f;   // normalised, as the plug-in holds it
  std::string display;  // trimmed display text, label appended
  std::string typed;    // what was given on the command line, empty for a snapshot
};

struct PresetChoice {
  int index = 0;
  std::string name;
};

}  // namespace orv::render
