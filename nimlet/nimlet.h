// Orv Nimlet, the compact stereo compressor: what the host sees of it
// (identity, pins, parameters, latency), the parameter bookkeeping and the
// routing of host buffers into its engine.
#pragma once

#include <cstdint>

#include "nimlet/engine.h"
#include "nimlet/parameters.h"
#include "valdris/source_selection.h"
#include "presets/preset_system_effect.h"

namespace orv {

class Nimlet : public CPresetSystemEffect {
 public:
  static constexpr int32_t kUniqueId = vst::fourCC('Z', 'k', '4', 'm');
  static constexpr int32_t kVendorVersion = 1710;

  explicit Nimlet(vst::HostCallback audioMaster);
  ~Nimlet() override;

  void suspend() override;
  void resume() override;
  void setSampleRate(float rate) override;
  void processReplacing(float** inputs, float** outputs, int32_t frames) override;
  // Double precision is not announced; the base call leaves the outputs untouched.
  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t index) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterName(int32_t index, char* text) override;
  bool getParameterProperties(int32_t index, vst::VstParameterProperties* p) override;
  bool getInputProperties(int32_t index, vst::VstPinProperties* p) override;
  bool getOutputProperties(int32_t index, vst::VstPinProperties* p) override;
  bool setSpeakerArrangement(vst::VstSpeakerArrangement* input, vst::VstSpeakerArrangement* output) override;
  bool setProcessPrecision(int32_t /*precision*/) override { return true; }
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  int32_t getVendorVersion() override { return kVendorVersion; }
  int32_t getPlugCategory() override { return vst::kPlugCategMastering; }

  // For the editor.
  virtual float getPhysicalValue(int32_t index);
  virtual bool isSideChainAvailable() { return flags.fourInputs; }
  virtual float getLatencyMs();
  // 1021 - N samples, N the detector length at the host's rate; also stored.
  virtual int32_t updateLatency();
  void updateAttack() { engine.updateAttack(); }
  void updateRelease() { engine.updateRelease(); }

  bool hasFailedAllocation() const { return allocationFailed; }
  const ArrangementFlags& arrangement() const { return flags; }
  int32_t latencySamples() const { return latency; }

  // Meter levels, holds and over lamps, written by the processing.
  const valdris::MeterFeed& getMeterFeed() const { return engine.meterFeed(); }
  valdris::MeterFeed& getMeterFeed() { return engine.meterFeed(); }
  const nimlet::Engine& getEngine() const { return engine; }

 private:
  void reportAllocationFailure();

  float raw[nimlet::kNumParamIndices] = {};
  ArrangementFlags flags;
  bool allocationFailed = false;
  int32_t latency = 0;

  nimlet::Engine engine;
};

}  // namespace orv
