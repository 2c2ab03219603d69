#include "presets/preset_system_effect.h"

#include <cstring>
#include <initializer_list>

#include "platform/allocation.h"

namespace orv {

namespace {

constexpr uint8_t kChunkMarker[4] = {0, 0, 0, 1};
constexpr int32_t kChunkPresetCount = 16;

uint32_t byteSwap(uint32_t v) { return __builtin_bswap32(v); }

void swapWordAt(uint8_t* base, size_t offset) {
  uint32_t word;
  std::memcpy(&word, base + offset, 4);
  word = byteSwap(word);
  std::memcpy(base + offset, &word, 4);
}

int32_t readInt(const uint8_t* base, size_t offset) {
  int32_t v;
  std::memcpy(&v, base + offset, 4);
  return v;
}

void writeInt(uint8_t* base, size_t offset, int32_t v) { std::memcpy(base + offset, &v, 4); }

}  // namespace

void storePresetName(char (&field)[kPresetNameSize], const char* text) {
  const size_t length = strnlen(text, kPresetNameSize);
  if (length < static_cast<size_t>(kPresetNameSize)) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text, length + 1);
  } else {
    std::memcpy(field, text, kPresetNameSize);
  }
}

void readPresetName(const char (&field)[kPresetNameSize], char* text) {
  std::memcpy(text, field, kPresetNameSize);
  text[kPresetNameSize] = '\0';
}

CPresetSystemEffect::CPresetSystemEffect(vst::HostCallback audioMaster, const FactoryPreset* factoryPresets)
    : AudioEffectX(audioMaster, 1, kNumPresetParams), factoryPresets(factoryPresets) {
  programsAreChunks(true);
  chunkBuffer = static_cast<uint8_t*>(platform::allocateZeroed(kChunkSize));
  curProgram = 0;
  presetIndex = 0;
  presets = static_cast<Preset*>(platform::allocateZeroed(sizeof(Preset) * kNumPresets));
  if (presets != nullptr) CPresetSystemEffect::initFactoryPresets();
  loadingPreset = false;
}

CPresetSystemEffect::~CPresetSystemEffect() {
  platform::releaseMemory(presets);
  platform::releaseMemory(chunkBuffer);
}

void CPresetSystemEffect::initFactoryPresets() {
  if (presets == nullptr || factoryPresets == nullptr) return;
  for (int slot = 0; slot < kNumPresets; ++slot) {
    storePresetName(presets[slot].name, factoryPresets[slot].name);
    std::memcpy(presets[slot].values, factoryPresets[slot].values, sizeof presets[slot].values);
  }
}

void CPresetSystemEffect::setParameter(int32_t index, float value) {
  if (presets != nullptr && static_cast<uint32_t>(index) < static_cast<uint32_t>(kNumPresetParams))
    presets[presetIndex].values[index] = value;
}

void CPresetSystemEffect::storeAndForward(int32_t index, float value) {
  if (!loadingPreset) {
    CPresetSystemEffect::setParameter(index, value);
    if (index == 0 && presets != nullptr)
      for (int slot = 0; slot < kNumPresets; ++slot) presets[slot].values[0] = value;
  }
  if (editor != nullptr) editor->setParameter(index, value);
}

void CPresetSystemEffect::setProgramName(char* name) {
  if (presets == nullptr) return;
  char truncated[kPresetNameSize + 1] = {};
  std::strncpy(truncated, name, kPresetNameSize);
  storePresetName(presets[presetIndex].name, truncated);
  if (editor != nullptr) editor->programNameChanged(truncated);
}

void CPresetSystemEffect::getProgramName(char* name) {
  if (presets == nullptr) {
    name[0] = '\0';
    return;
  }
  readPresetName(presets[presetIndex].name, name);
}

bool CPresetSystemEffect::getProgramNameIndexed(int32_t /*category*/, int32_t index, char* text) {
  // Unsigned, so negative indices are refused too.
  if (presets == nullptr || static_cast<uint32_t>(index) >= static_cast<uint32_t>(kNumPresets)) return false;
  readPresetName(presets[index].name, text);
  return true;
}

void CPresetSystemEffect::selectPreset(int32_t index) {
  if (presets == nullptr || static_cast<uint32_t>(index) >= static_cast<uint32_t>(kNumPresets)) return;
  loadingPreset = true;
  curProgram = 0;
  presetIndex = index;
  for (int32_t i = 0; i < kNumPresetParams; ++i) setParameter(i, presets[index].values[i]);
  updateDisplay();
  loadingPreset = false;
}

void CPresetSystemEffect::renamePreset(const char* name) {
  curProgram = 0;
  if (name != nullptr && presets != nullptr) {
    char truncated[kPresetNameSize + 1] = {};
    std::strncpy(truncated, name, kPresetNameSize);
    storePresetName(presets[presetIndex].name, truncated);
  }
  updateDisplay();
}

void CPresetSystemEffect::loadEditorDefaults() {
  if (editor != nullptr) editor->loadDefaults();
}

int32_t CPresetSystemEffect::getChunk(void** data, bool /*isPreset*/) {
  if (chunkBuffer == nullptr || presets == nullptr) return 0;
  std::memset(chunkBuffer, 0, kChunkSize);
  std::memcpy(chunkBuffer, kChunkMarker, 4);
  writeInt(chunkBuffer, 4, getUniqueID());
  writeInt(chunkBuffer, 8, kChunkPresetCount);
  writeInt(chunkBuffer, 12, presetIndex);
  std::memcpy(chunkBuffer + kChunkHeaderSize, presets, sizeof(Preset) * kNumPresets);
  *data = chunkBuffer;
  return kChunkSize;
}

int32_t CPresetSystemEffect::setChunk(void* data, int32_t byteSize, bool /*isPreset*/) {
  if (chunkBuffer == nullptr || presets == nullptr) return -1;
  if (data == nullptr || byteSize != kChunkSize) return -1;
  uint8_t marker[4];
  std::memcpy(marker, data, 4);
  // The host may hand back the pointer getChunk gave it.
  std::memmove(chunkBuffer, data, kChunkSize);

  const int32_t id = getUniqueID();
  const int32_t storedId = readInt(chunkBuffer, 4);
  if (storedId != id) {
    if (static_cast<uint32_t>(storedId) != byteSwap(static_cast<uint32_t>(id))) return -1;
    // Written on a machine of the other byte order: convert every number, not the names.
    for (size_t offset : {0u, 8u, 12u, 16u, 20u, 24u, 28u}) swapWordAt(chunkBuffer, offset);
    for (size_t k = 0; k < kNumPresets; ++k)
      for (size_t i = 0; i < kNumPresetParams; ++i)
        swapWordAt(chunkBuffer, kChunkHeaderSize + sizeof(Preset) * k + kPresetNameSize + 4 * i);
  }
  if (std::memcmp(marker, kChunkMarker, 4) != 0) return 0;
  if (readInt(chunkBuffer, 8) != kChunkPresetCount) return -1;

  std::memcpy(presets, chunkBuffer + kChunkHeaderSize, sizeof(Preset) * kNumPresets);
  const int32_t current = readInt(chunkBuffer, 12);
  if (current >= 0 && current < kNumPresets) selectPreset(current);
  return 0;
}

}  // namespace orv
