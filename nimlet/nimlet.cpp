#include "nimlet/nimlet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "host/host_answers.h"
#include "nimlet/factory_presets.h"
#include "platform/message_box.h"
#include "presets/preset_system_editor.h"
#include "valdris/meter_settings.h"
#include "valdris/parameters.h"

namespace orv {

using namespace nimlet;
using valdris::clampUnit;

Nimlet::Nimlet(vst::HostCallback audioMaster) : CPresetSystemEffect(audioMaster, kFactoryPresets) {
  if (presets == nullptr || chunkBuffer == nullptr) allocationFailed = true;
  if (!engine.allocate()) allocationFailed = true;

  setNumInputs(4);
  setNumOutputs(2);
  canProcessReplacing(true);
  setUniqueID(kUniqueId);
  setInitialDelay(updateLatency());

  if (!allocationFailed) {
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

Nimlet::~Nimlet() {
  // A failed construction never applied the meter settings; keep what the user stored.
  if (!allocationFailed) {
    for (int32_t index = kFirstMeterSetting; index <= kLastMeterSetting; ++index)
      saveMeterSetting(index, getParameter(index));
  }
}

void Nimlet::reportAllocationFailure() { platform::showMessageBox("Not enough memory", "Cannot create Orv Nimlet"); }

int32_t Nimlet::updateLatency() {
  // The host's own rate, as the host is told; nonsense rates count as 44.1 kHz.
  double rate = getSampleRate();
  if (!(rate >= 0.0 && rate <= 1000.0 * Engine::kBaseDelay)) rate = 44100.0;
  latency = Engine::kBaseDelay - static_cast<int32_t>(rate * 0.001);
  return latency;
}

float Nimlet::getLatencyMs() {
  float rate = getSampleRate();
  if (!(rate >= 20000.0f && rate <= 200000.0f)) rate = 44100.0f;
  return static_cast<float>(updateLatency()) * 1000.0f / rate;
}

void Nimlet::setSampleRate(float rate) {
  AudioEffect::setSampleRate(rate);
  suspend();
  resume();
}

void Nimlet::suspend() {
  if (allocationFailed) {
    reportAllocationFailure();
    return;
  }
  updateBlockSize();
  applyParameterChanges();
  engine.suspend(getSampleRate());
}

void Nimlet::resume() {
  if (allocationFailed) {
    reportAllocationFailure();
    return;
  }
  updateBlockSize();
  applyParameterChanges();
  engine.resume(getSampleRate());
  setInitialDelay(updateLatency());
}

void Nimlet::processReplacing(float** inputs, float** outputs, int32_t frames) {
  if (allocationFailed) {
    // The host was told one input and one output: pass it through.
    float* out = outputs != nullptr ? outputs[0] : nullptr;
    const float* in = inputs != nullptr ? inputs[0] : nullptr;
    if (out == nullptr || frames <= 0) return;
    if (in == nullptr) std::fill(out, out + frames, 0.0f);
    else if (in != out) std::memmove(out, in, sizeof(float) * static_cast<size_t>(frames));
    return;
  }
  applyParameterChanges();
  valdris::Channels<float> io{};
  if (frames > 0) io = selectSources(*this, inputs, outputs, flags, engine.externalSidechain());
  engine.process(io, frames);
}

void Nimlet::applyParameterChanges() {
  raw.applyChanges([this](int32_t index, float value) { engine.setParameter(index, value); });
}

void Nimlet::setParameter(int32_t index, float value) {
  if (index >= 0 && index < kNumParamIndices && index != kGap) {
    raw.set(index, index == kOverIndicator ? valdris::overIndicatorStep(value) : value);
  }
  storeAndForward(index, value);
}

void Nimlet::selectPreset(int32_t index) {
  // The audio thread takes the whole preset at one block boundary.
  raw.hold();
  CPresetSystemEffect::selectPreset(index);
  raw.release();
}

float Nimlet::getParameter(int32_t index) {
  if (index < 0 || index >= kNumParamIndices || index == kGap) return 0.0f;
  return raw.get(index);
}

void Nimlet::getParameterDisplay(int32_t index, char* text) {
  if (index < 0 || index >= kNumParamIndices) {
    text[0] = '\0';
    return;
  }
  parameterDisplay(index, raw.get(index), text);
}

void Nimlet::getParameterName(int32_t index, char* text) { parameterName(index, text); }

bool Nimlet::getParameterProperties(int32_t index, vst::VstParameterProperties* p) {
  int32_t propertyFlags;
  float step;
  switch (steppingOf(index)) {
    case Stepping::toggle:
      propertyFlags = vst::kVstParameterIsSwitch | vst::kVstParameterUsesFloatStep;
      step = 1.0f;
      break;
    case Stepping::threeWay:
      propertyFlags = vst::kVstParameterUsesFloatStep;
      step = 0.5f;
      break;
    default:
      return false;
  }
  char name[vst::kVstMaxLabelLen] = {};
  parameterName(index, name);
  describeSteppedParameter(propertyFlags, step, name, p);
  return true;
}

bool Nimlet::getInputProperties(int32_t index, vst::VstPinProperties* p) {
  return describeMainPin(index, false, p);
}

bool Nimlet::getOutputProperties(int32_t index, vst::VstPinProperties* p) {
  return describeMainPin(index, true, p);
}

bool Nimlet::setSpeakerArrangement(vst::VstSpeakerArrangement* input, vst::VstSpeakerArrangement* output) {
  return applySpeakerArrangement(input->numChannels, output->numChannels, flags);
}

bool Nimlet::getEffectName(char* name) {
  std::strcpy(name, "Orv Nimlet");
  return true;
}

bool Nimlet::getVendorString(char* text) {
  std::strcpy(text, kVendorString);
  return true;
}

bool Nimlet::getProductString(char* text) {
  std::strcpy(text, "Orv Nimlet - stereo mastering compressor");
  return true;
}

float Nimlet::getPhysicalValue(int32_t index) {
  if (index < 0 || index >= kNumParamIndices) return 0.0f;
  const float v = raw.get(index);
  const double x = clampUnit(v);
  switch (index) {
    case kSoft: case kRms: case kLimiter: case kAutoRelease: case kAutoMakeup: case kLinkHighCut: case kLinkLowCut:
    case kLink: case kClassic: case kSidechainExternal: case kStereo: case kSidechainMonitor:
      return static_cast<float>(switchState(v));
    case kLowShelfPosition: case kHighShelfPosition: return static_cast<float>(shelfPosition(v));
    case kThreshold: return static_cast<float>(6.0 - 36.0 * x);
    case kRatio: return static_cast<float>(valdris::kRatioTable[valdris::ratioIndexOf(v)].ratio);
    case kAttack: return static_cast<float>(valdris::attackMs(v));
    case kRelease: return static_cast<float>(std::pow(100.0, x) * 33.3333);
    case kLowShelfFrequency: return static_cast<float>(valdris::lowShelfHz(v));
    case kHighShelfFrequency: return static_cast<float>(valdris::highShelfHz(v));
    case kMakeup: return static_cast<float>(36.0 * x - 12.0);
    case 21: return static_cast<float>((x - 0.5) * 100.0);
    case kMix: return static_cast<float>(100.0 * x);
    case kOutput: return static_cast<float>(outputDb(v));
    case kVuIntegration: return static_cast<float>(valdris::vuTimeMs(v));
    case kVuReference: return static_cast<float>(valdris::vuReference(v));
    case kPpmIntegration: return static_cast<float>(valdris::ppmAttackMs(v));
    case kPpmReturn: return static_cast<float>(valdris::ppmReturnMs(v));
    case kOverIndicator: return static_cast<float>(valdris::overThresholdSamples(v));
    default: return 0.0f;  // 1 (reset) included
  }
}

}  // namespace orv
