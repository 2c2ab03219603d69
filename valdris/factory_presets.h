#pragma once

#include "presets/preset_system_effect.h"

namespace orv::valdris {

extern const FactoryPreset kFactoryPresets[kNumPresets];

}  // namespace orv::valdris
