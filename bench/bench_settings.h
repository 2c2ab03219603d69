// The parameter settings the benchmarks run each product with, so that the
// engine benchmarks and the module comparison measure the same work.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "nimlet/factory_presets.h"
#include "nimlet/parameters.h"
#include "presets/preset_system_effect.h"
#include "valdris/factory_presets.h"
#include "valdris/parameters.h"

namespace orv::bench {

using Settings = std::vector<std::pair<int32_t, float>>;

// Orv Valdris: "Gentle Master" (RMS, soft knee, 2:1-ish ratio, threshold
// around -21 dB) with the limiter, the classic release, auto release and auto
// make-up on, so that every per-sample stage of the gain path runs.
inline Settings valdrisSettings(bool fat, bool smooth) {
  namespace p = orv::valdris;
  Settings s;
  const orv::FactoryPreset& gentle = p::kFactoryPresets[1];
  for (int32_t i = 0; i < orv::kNumPresetParams; ++i) s.emplace_back(i, gentle.values[i]);
  s.emplace_back(p::kLimiter, 1.0f);
  s.emplace_back(p::kClassic, 1.0f);
  s.emplace_back(p::kAutoRelease, 1.0f);
  s.emplace_back(p::kAutoMakeup, 1.0f);
  s.emplace_back(p::kFat, fat ? 1.0f : 0.0f);
  s.emplace_back(p::kSmooth, smooth ? 1.0f : 0.0f);
  return s;
}

// Orv Nimlet, the full parameter set in index order: "Gentle Master" (RMS,
// soft knee, linked) with auto release and auto make-up on, meters on gain
// reduction, and the kernel.
inline Settings nimletSettings(bool stereo, bool smooth) {
  namespace p = orv::nimlet;
  float values[p::kNumParamIndices] = {};
  std::memcpy(values, p::kFactoryPresets[1].values, sizeof(float) * orv::kNumPresetParams);
  const float meters[5] = {0.5f, 0.41f, 0.5f, 0.5f, 2.0f / 9.0f};  // what a fresh instance falls back to
  for (int i = 0; i < 5; ++i) values[p::kVuIntegration + i] = meters[i];
  values[p::kMeters] = 0.5f;
  values[p::kAutoRelease] = 1.0f;
  values[p::kAutoMakeup] = 1.0f;
  values[p::kSmooth] = smooth ? 1.0f : 0.0f;
  values[p::kStereo] = stereo ? 1.0f : 0.0f;
  Settings s;
  for (int32_t i = 0; i < p::kNumParamIndices; ++i)
    if (i != p::kGap) s.emplace_back(i, values[i]);
  return s;
}

}  // namespace orv::bench
