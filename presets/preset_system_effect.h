// The layer between the host interface and each product: 16 presets of 34
// normalised values, one of them current, saved and restored by the host as
// one chunk. Every parameter change lands in the current preset, so the table
// always holds the live state.
#pragma once

#include <cstdint>

#include "host/audio_effect.h"

namespace orv {

constexpr int kNumPresets = 16;
constexpr int kNumPresetParams = 34;
constexpr int kPresetNameSize = 24;

// Layout fixed by the chunk and bank formats: 24 name bytes, then 34 floats.
struct Preset {
  char name[kPresetNameSize];
  float values[kNumPresetParams];
};
static_assert(sizeof(Preset) == 160);

constexpr int32_t kChunkSize = 2592;
constexpr int32_t kChunkHeaderSize = 32;
static_assert(kChunkHeaderSize + kNumPresets * static_cast<int32_t>(sizeof(Preset)) == kChunkSize);

// Stores `text` as a preset name: shorter names are zero-padded with their
// terminator, longer ones keep exactly 24 bytes and no terminator.
void storePresetName(char (&field)[kPresetNameSize], const char* text);
// Copies the 24 name bytes and a terminator (25 bytes) to `text`.
void readPresetName(const char (&field)[kPresetNameSize], char* text);

// A product's factory preset as written in its source: the nearest floats to the decimals.
struct FactoryPreset {
  const char* name;
  float values[kNumPresetParams];
};

class CPresetSystemEffect : public AudioEffectX {
 public:
  // `factoryPresets` points to the product's 16 factory presets; it must outlive the effect.
  CPresetSystemEffect(vst::HostCallback audioMaster, const FactoryPreset* factoryPresets);
  ~CPresetSystemEffect() override;

  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t /*index*/) override { return -1.0f; }
  int32_t getProgram() override { return 0; }
  void setProgram(int32_t /*program*/) override {}
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  int32_t getChunk(void** data, bool isPreset) override;
  int32_t setChunk(void* data, int32_t byteSize, bool isPreset) override;
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;

  virtual int32_t getPresetIndex() { return presetIndex; }
  // Makes preset `index` (0..15) current and applies every value through setParameter.
  virtual void selectPreset(int32_t index);
  virtual void renamePreset(const char* name);
  virtual int32_t getUniqueID() { return cEffect.uniqueID; }
  virtual void loadEditorDefaults();
  // Fills all 16 presets from the product's factory table.
  virtual void initFactoryPresets();

  // For the editor side (preset files, bank files, registry defaults).
  Preset* presetTable() { return presets; }

  // Whether the record tells the host of an editor window. The editor object
  // exists from construction on; only a product editor that can show a
  // window turns this on, so hosts never open an empty one.
  void offerEditorWindow(bool offered) { setFlag(vst::effFlagsHasEditor, offered); }

 protected:
  bool isLoadingPreset() const { return loadingPreset; }
  // What every product's setter does after deriving its engine values: the
  // value lands in the current preset unless a preset is being applied
  // (parameter 0, Power, in all of them), then the editor hears of it.
  void storeAndForward(int32_t index, float value);

  const FactoryPreset* factoryPresets;
  Preset* presets = nullptr;
  int32_t presetIndex = 0;
  uint8_t* chunkBuffer = nullptr;
  bool loadingPreset = true;
};

}  // namespace orv
