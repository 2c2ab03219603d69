// Orv Valdris, the stereo mastering compressor: what the host sees of it
// (identity, pins, parameters, latency), the parameter bookkeeping and the
// routing of host buffers into the engine.
#pragma once

#include <cstdint>

#include "host/parameter_hand_over.h"
#include "presets/preset_system_effect.h"
#include "valdris/engine.h"
#include "valdris/meter_feed.h"
#include "valdris/parameters.h"
#include "valdris/source_selection.h"

namespace orv {

class Valdris : public CPresetSystemEffect {
 public:
  static constexpr int32_t kUniqueId = vst::fourCC('T', 'q', '8', 'w');
  static constexpr int32_t kVendorVersion = 1710;
  static constexpr int32_t kResamplerLatency = 126;
  static constexpr int32_t kLatencySamples = kResamplerLatency + 1534;

  explicit Valdris(vst::HostCallback audioMaster);
  ~Valdris() override;

  void suspend() override;
  void resume() override;
  void processReplacing(float** inputs, float** outputs, int32_t frames) override;
  void processDoubleReplacing(double** inputs, double** outputs, int32_t frames) override;
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
  virtual float getLatencySamples() { return static_cast<float>(kLatencySamples); }

  bool hasFailedAllocation() const { return allocationFailed; }

  // Meter levels, holds and over lamps as the latest processing call left
  // them; for one reader (the editor). Clearing takes effect at the next call.
  valdris::MeterFeed getMeterFeed() { return engine.meterFeed(); }
  void clearMeterReadings() { engine.clearMeterReadings(); }
  // The engine as the audio thread last left it; read it only while no
  // other thread processes. Parameter changes reach it at the next call.
  const valdris::Engine& getEngine() const { return engine; }

 private:
  void reportAllocationFailure();
  template <typename T>
  void process(T** inputs, T** outputs, int32_t frames);
  // By the thread that owns the engine: the processing thread, or the one
  // that suspends and resumes while processing is stopped.
  void applyParameterChanges();

  // Raw values as last set, from any thread; the engine derives its own.
  ParameterHandOver<valdris::kNumParamIndices> raw;
  ArrangementFlags flags;
  bool allocationFailed = false;

  valdris::Engine engine;
};

}  // namespace orv
