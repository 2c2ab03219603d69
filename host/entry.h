#pragma once

#include "host/audio_effect.h"

namespace orv {

// Supplied by each plug-in: asks the host for its version and builds the
// product's effect, or returns null when the host answers 0 or memory runs out.
AudioEffect* createEffectInstance(vst::HostCallback audioMaster);

}  // namespace orv
