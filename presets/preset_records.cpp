#include "presets/preset_records.h"

#include <cstring>

namespace orv {

void writeRecordHeader(uint8_t* record, int32_t uniqueId, uint8_t type) {
  std::memcpy(record, &uniqueId, 4);
  record[4] = type;
}

std::optional<bool> recordIsForeign(const uint8_t* record, int32_t uniqueId) {
  uint32_t stored;
  std::memcpy(&stored, record, 4);
  const auto id = static_cast<uint32_t>(uniqueId);
  if (stored == __builtin_bswap32(id)) return true;
  if (stored == id) return false;
  return std::nullopt;
}

void writeRecordPreset(uint8_t* at, const Preset& preset) {
  std::memcpy(at, preset.name, kPresetNameSize);
  std::memcpy(at + kPresetNameSize, preset.values, sizeof preset.values);
}

void readRecordPreset(const uint8_t* at, bool swap, Preset& preset) {
  std::memcpy(preset.name, at, kPresetNameSize);
  for (int i = 0; i < kNumPresetParams; ++i) {
    uint32_t bits;
    std::memcpy(&bits, at + kPresetNameSize + 4 * i, 4);
    if (swap) bits = __builtin_bswap32(bits);
    std::memcpy(&preset.values[i], &bits, 4);
  }
}

}  // namespace orv
