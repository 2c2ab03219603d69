// Needle-meter settings (parameters 36..40), kept per user between instances
// and shared by both products.
#pragma once

#include <cstdint>

namespace orv {

constexpr int32_t kFirstMeterSetting = 36;
constexpr int32_t kLastMeterSetting = 40;

// The stored value, or the setting's default when the key or value is
// missing. Indices outside 36..40 yield 0.5.
float loadMeterSetting(int32_t index);
// Stores the value; other indices and every failure are ignored.
void saveMeterSetting(int32_t index, float value);
// What a product applies when the stored value lies outside 0..1.
float meterSettingReplacement(int32_t index);

}  // namespace orv
