#include "valdris/valdris.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "host/host_answers.h"
#include "platform/allocation.h"
#include "platform/message_box.h"
#include "presets/preset_system_editor.h"
#include "valdris/factory_presets.h"
#include "valdris/meter_settings.h"

namespace orv {

using namespace valdris;

namespace {

template <typename T>
void copyOrSilence(T** inputs, T** outputs, int32_t inputIndex, int32_t outputIndex, int32_t frames) {
  T* out = outputs != nullptr ? outputs[outputIndex] : nullptr;
  if (out == nullptr) return;
  const T* in = inputs != nullptr ? inputs[inputIndex] : nullptr;
  if (in == nullptr) std::fill(out, out + frames, T(0));
  else if (in != out) std::memmove(out, in, sizeof(T) * static_cast<size_t>(frames));
}

}  // namespace

Valdris::Valdris(vst::HostCallback audioMaster) : CPresetSystemEffect(audioMaster, kFactoryPresets) {
  setNumInputs(4);
  setNumOutputs(2);
  canProcessReplacing(true);
  canDoubleReplacing(true);
  setUniqueID(kUniqueId);
  if (presets == nullptr || chunkBuffer == nullptr) allocationFailed = true;

  if (!engine.allocate()) allocationFailed = true;

  if (!allocationFailed) {
    setInitialDelay(static_cast<int32_t>(getLatencySamples()));
    for (int32_t index = kFirstMeterSetting; index <= kLastMeterSetting; ++index) {
      float value = loadMeterSetting(index);
      if (!(value >= 0.0f && value <= 1.0f)) value = meterSettingReplacement(index);
      setParameter(index, value);
    }
  }
  setParameter(kMeters, 0.5f);

  // The editor object attaches itself; it keeps the preset files, defaults
  // and memories, and no window is announced to the host yet.
  if (!allocationFailed && new (std::nothrow) CPresetSystemEditor(this) == nullptr) allocationFailed = true;

  if (allocationFailed) {
    setNumInputs(1);
    setNumOutputs(1);
    setUniqueID(vst::fourCC('-', '-', '-', '-'));
    reportAllocationFailure();
    return;
  }

  loadEditorDefaults();
  selectPreset(0);
  suspend();
}

Valdris::~Valdris() {
  // A failed construction never applied the meter settings; keep what the user stored.
  if (!allocationFailed) {
    for (int32_t index = kFirstMeterSetting; index <= kLastMeterSetting; ++index)
      saveMeterSetting(index, getParameter(index));
  }
}

void Valdris::reportAllocationFailure() { platform::showMessageBox("Not enough memory", "Cannot create Orv Valdris"); }

void Valdris::suspend() {
  if (allocationFailed) {
    reportAllocationFailure();
    return;
  }
  updateBlockSize();
  getOutputLatency();
  applyParameterChanges();
  engine.suspend(getSampleRate());
}

void Valdris::resume() {
  if (allocationFailed) return;
  updateBlockSize();
  getOutputLatency();
  applyParameterChanges();
  engine.resume(getSampleRate());
  setInitialDelay(static_cast<int32_t>(getLatencySamples()));
}

template <typename T>
void Valdris::process(T** inputs, T** outputs, int32_t frames) {
  if (allocationFailed) {
    if (frames > 0) copyOrSilence(inputs, outputs, 0, 0, frames);
    return;
  }
  applyParameterChanges();
  valdris::Channels<T> io{};
  if (frames > 0) io = selectSources(*this, inputs, outputs, flags, engine.externalSidechain());
  engine.process(io, frames);
}

void Valdris::applyParameterChanges() {
  raw.applyChanges([this](int32_t index, float value) { engine.setParameter(index, value); });
}

void Valdris::processReplacing(float** inputs, float** outputs, int32_t frames) {
  process(inputs, outputs, frames);
}

void Valdris::processDoubleReplacing(double** inputs, double** outputs, int32_t frames) {
  process(inputs, outputs, frames);
}

void Valdris::setParameter(int32_t index, float value) {
  if (index >= 0 && index < kNumParamIndices && index != kGap) {
    raw.set(index, index == kOverIndicator ? overIndicatorStep(value) : value);
    // The side-chain balance swaps sides between compression and expansion;
    // the engine re-derives it by itself, this keeps preset and editor told.
    if (index == kRatio) setParameter(kTilt, raw.get(kTilt));
  }
  storeAndForward(index, value);
}

void Valdris::selectPreset(int32_t index) {
  // The audio thread takes the whole preset at one block boundary.
  raw.hold();
  CPresetSystemEffect::selectPreset(index);
  raw.release();
}

float Valdris::getParameter(int32_t index) {
  if (index < 0 || index >= kNumParamIndices || index == kGap) return 0.0f;
  return raw.get(index);
}

void Valdris::getParameterDisplay(int32_t index, char* text) {
  if (index < 0 || index >= kNumParamIndices) {
    text[0] = '\0';
    return;
  }
  parameterDisplay(index, raw.get(index), text);
}

void Valdris::getParameterName(int32_t index, char* text) { parameterName(index, text); }

bool Valdris::getParameterProperties(int32_t index, vst::VstParameterProperties* p) {
  int32_t propertyFlags;
  float step;
  if (isSwitchParameter(index)) {
    propertyFlags = vst::kVstParameterIsSwitch | vst::kVstParameterUsesFloatStep;
    step = 1.0f;
  } else if (index == kMeters) {
    propertyFlags = vst::kVstParameterUsesFloatStep;
    step = 0.5f;
  } else {
    return false;
  }
  char name[vst::kVstMaxLabelLen] = {};
  parameterName(index, name);
  describeSteppedParameter(propertyFlags, step, name, p);
  return true;
}

bool Valdris::getInputProperties(int32_t index, vst::VstPinProperties* p) {
  return describeMainPin(index, false, p);
}

bool Valdris::getOutputProperties(int32_t index, vst::VstPinProperties* p) {
  return describeMainPin(index, true, p);
}

bool Valdris::setSpeakerArrangement(vst::VstSpeakerArrangement* input, vst::VstSpeakerArrangement* output) {
  return applySpeakerArrangement(input->numChannels, output->numChannels, flags);
}

bool Valdris::getEffectName(char* name) {
  std::strcpy(name, "Orv Valdris");
  return true;
}

bool Valdris::getVendorString(char* text) {
  std::strcpy(text, kVendorString);
  return true;
}

bool Valdris::getProductString(char* text) {
  std::strcpy(text, "Orv Valdris - stereo mastering compressor");
  return true;
}

float Valdris::getPhysicalValue(int32_t index) {
  if (index < 0 || index >= kNumParamIndices) return 0.0f;
  const float v = raw.get(index);
  switch (index) {
    case kFat: case kSoft: case kRms: case kLimiter: case kAutoAttack: case kAutoRelease: case kAutoMakeup:
    case kHighShelfBoost: case kLowShelfBoost: case kLinkHighCut: case kLinkLowCut: case kClassic:
    case kSidechainExternal: case kSidechainMonitor:
      return switchOn(v) ? 1.0f : 0.0f;
    case kThreshold: return static_cast<float>(6.0 - 36.0 * clampUnit(v));
    case kRatio: return static_cast<float>(kRatioTable[ratioIndexOf(v)].ratio);
    case kAttack: return static_cast<float>(attackMs(v));
    case kRelease: return static_cast<float>(100.0 * std::pow(100.0, clampUnit(v)));
    case kMakeup: return static_cast<float>(36.0 * clampUnit(v) - 12.0);
    case kHigh: return static_cast<float>(highShelfHz(v));
    case kLow: return static_cast<float>(lowShelfHz(v));
    case kLink: case kMix: return static_cast<float>(100.0 * clampUnit(v));
    case kTilt: return static_cast<float>((clampUnit(v) - 0.5) * 100.0);
    case kOutput: return static_cast<float>((clampUnit(v) - 0.5) * 24.0);
    case kVuIntegration: return static_cast<float>(vuTimeMs(v));
    case kVuReference: return static_cast<float>(vuReference(v));
    case kPpmIntegration: return static_cast<float>(ppmAttackMs(v));
    case kPpmReturn: return static_cast<float>(ppmReturnMs(v));
    case kOverIndicator: return static_cast<float>(overThresholdSamples(v));
    default: return 0.0f;
  }
}

float Valdris::getLatencyMs() {
  float rate = getSampleRate();
  if (!(rate >= 20000.0f && rate <= 200000.0f)) rate = 44100.0f;
  return getLatencySamples() * 1000.0f / rate;
}

}  // namespace orv
