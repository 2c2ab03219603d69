#pragma once

#include "presets/preset_system_effect.h"

namespace orv::nimlet {

extern const FactoryPreset kFactoryPresets[kNumPresets];

}  // namespace orv::nimlet
