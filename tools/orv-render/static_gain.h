// The gain a plug-in gives a signal too quiet to be compressed: its make-up and output gain.
// Taken out of the gain trace, it leaves the gain reduction.
#pragma once

#include <string>

#include "tools/orv-render/session.h"

namespace orv::render {

struct StaticGain {
  double db = 0.0;
  std::string method;  // how it was found, for the report
};

// Renders a second of quiet noise through `probe`, an instance holding the render's settings
// (a separate instance, so the render itself is untouched), and compares the levels after the
// first half second. sideChannels > 0 feeds silent side-chain inputs, as the render's layout.
StaticGain measureStaticGain(Session& probe, int rate, int channels, int sideChannels, int block, bool useDouble);

}  // namespace orv::render
