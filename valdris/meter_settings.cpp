#include "valdris/meter_settings.h"

#include "platform/registry.h"

namespace orv {

namespace {

constexpr const char* kMeterKey = "SOFTWARE\\Orv-acoustics\\Kolvane20";

struct MeterSetting {
  const char* valueName;
  float missing;      // default when nothing is stored
  float replacement;  // used when the stored value lies outside 0..1
};

constexpr MeterSetting kSettings[] = {
    {"vuintegration", 0.5f, 0.5f},
    {"vureference", 0.41f, 0.5f},
    {"ppmintegration", 0.5f, 0.52f},
    {"ppmreturn", 0.5f, 0.72365f},
    {"overcounter", 2.0f / 9.0f, 0.25f},
};

const MeterSetting* settingFor(int32_t index) {
  if (index < kFirstMeterSetting || index > kLastMeterSetting) return nullptr;
  return &kSettings[index - kFirstMeterSetting];
}

}  // namespace

float loadMeterSetting(int32_t index) {
  const MeterSetting* setting = settingFor(index);
  if (setting == nullptr) return 0.5f;
  float value = setting->missing;
  const platform::RegistryKey key = platform::RegistryKey::open(kMeterKey);
  uint32_t size = sizeof value;
  float stored = 0.0f;
  if (key && key.query(setting->valueName, platform::RegType::binary, &stored, size) && size == sizeof stored)
    value = stored;
  return value;
}

void saveMeterSetting(int32_t index, float value) {
  const MeterSetting* setting = settingFor(index);
  if (setting == nullptr) return;
  platform::RegistryKey key = platform::RegistryKey::create(kMeterKey);
  if (key) key.set(setting->valueName, platform::RegType::binary, &value, sizeof value);
}

float meterSettingReplacement(int32_t index) {
  const MeterSetting* setting = settingFor(index);
  return setting != nullptr ? setting->replacement : 0.5f;
}

}  // namespace orv
