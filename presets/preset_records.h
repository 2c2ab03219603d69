// The two records presets travel in outside the host's chunk: one preset
// (165 bytes) or all 16 (2,565 bytes), in preset and bank files and in the
// registry. Both start with the product's identifier in the writer's byte
// order and a type byte; the names follow unconverted and the values in the
// writer's byte order, with no padding (values sit at odd offsets).
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "presets/preset_system_effect.h"

namespace orv {

constexpr size_t kPresetRecordSize = 165;
constexpr size_t kBankRecordSize = 2565;
constexpr uint8_t kPresetRecordType = 0x21;  // "!"
constexpr uint8_t kBankRecordType = 0x37;    // "7"
constexpr size_t kRecordHeaderSize = 5;      // identifier, type
static_assert(kRecordHeaderSize + sizeof(Preset) == kPresetRecordSize);
static_assert(kRecordHeaderSize + kNumPresets * sizeof(Preset) == kBankRecordSize);

using PresetRecord = std::array<uint8_t, kPresetRecordSize>;
using BankRecord = std::array<uint8_t, kBankRecordSize>;

// Writes the identifier in this machine's byte order and the type byte.
void writeRecordHeader(uint8_t* record, int32_t uniqueId, uint8_t type);

// Whether a record's values must be byte-reversed to read them here: the
// identifier read with its bytes reversed marks a record of the other byte
// order, read as it is one of ours. Nullopt when it is neither (another
// product's record, or no record at all). The reversed form is tried first.
std::optional<bool> recordIsForeign(const uint8_t* record, int32_t uniqueId);

// One preset's 160 bytes inside a record: the name, then the 34 values.
void writeRecordPreset(uint8_t* at, const Preset& preset);
// Copies the name as it is and the values, each byte-reversed when `swap`.
void readRecordPreset(const uint8_t* at, bool swap, Preset& preset);

}  // namespace orv
