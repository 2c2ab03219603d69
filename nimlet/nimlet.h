// Orv Nimlet, the compact stereo compressor: what the host sees of it
// (identity, pins, parameters, latency), the parameter bookkeeping and the
// routing of host buffers into its engine.
#pragma once

#include <cstdint>

#include "host/parameter_hand_over.h"
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
  void selectPreset(int32_t index) override;
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
  // Recomputed by the engine at the next processing call.
  void updateAttack() { raw.touch(nimlet::kAttack); }
  void updateRelease() { raw.touch(nimlet::kRelease); }

  bool hasFailedAllocation() const { return allocationFailed; }
  const ArrangementFlags& arrangement() const { return flags; }
  int32_t latencySamples() const { return latency; }

  // Meter levels, holds and over lamps as the latest processing call left
  // them; for one reader (the editor). Clearing takes effect at the next call.
  valdris::MeterFeed getMeterFeed() { return engine.meterFeed(); }
  void clearMeterReadings() { engine.clearMeterReadings(); }
  // The engine as the audio thread last left it; read it only while no
  // other thread processes. Parameter changes reach it at the next call.
  const nimlet::Engine& getEngine() const { return engine; }

 private:
  void reportAllocationFailure();
  // By the thread that owns the engine: the processing thread, or the one
  // that suspends and resumes while processing is stopped.
  void applyParameterChanges();

  // Raw values as last set, from any thread; the engine derives its own.
  ParameterHandOver<nimlet::kNumParamIndices> raw;
  ArrangementFlags flags;
  bool allocationFailed = false;
  int32_t latency = 0;

  nimlet::Engine engine;
};

}  // namespace orv
