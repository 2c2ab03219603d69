// The signal path of Orv Nimlet: a reduced form of the mastering compressor's
// engine without oversampling, limiter or link filters, with a "Draft"
// detector, a switched stereo link and a mono kernel. It reuses the shared
// stages (Hilbert magnitude, static curve, meter feed) and the dsp blocks;
// what it does differently is kept in the few functions marked below.
// Knows nothing of the host: the product class hands it raw parameter values,
// rates and the already selected channel pointers.
#pragma once

#include <cstdint>

#include "dsp/biquad.h"
#include "dsp/noise_generator.h"
#include "valdris/engine.h"
#include "valdris/gain_computer.h"
#include "valdris/hilbert_detector.h"
#include "valdris/meter_feed.h"

namespace orv::nimlet {

using valdris::Channels;

class Engine {
 public:
  static constexpr int kRingSize = 1024;
  static constexpr int kRingMask = kRingSize - 1;
  static constexpr int kMaxBlock = 64;      // host samples per kernel pass
  static constexpr int kBlockBuffer = 512;  // doubles per output block buffer
  // The main signal leaves the input ring this many samples late, less the
  // detector length N; the detector centre lies N further back.
  static constexpr int kBaseDelay = 1021;

  Engine() noexcept;
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Allocates every ring and buffer; false if that failed (the engine then
  // stays unusable and process must not be called).
  bool allocate() noexcept;
  bool ready() const noexcept { return memory != nullptr; }

  // Derived values of one parameter from its stored raw value (for the over
  // indicator the stored step). Index 1 resets the engine. Called by
  // whichever thread owns the engine: the audio thread while processing runs.
  void setParameter(int32_t index, float raw) noexcept;

  // The host's rate drives the attack and release times and the VU filters;
  // the engine's own rate is the host's clamped into 22.05 .. 192 kHz.
  void suspend(double hostRate) noexcept;
  // As suspend, but a host rate outside 22.05 .. 192 kHz is replaced by 44.1 kHz.
  void resume(double hostRate) noexcept;
  void updateAttack() noexcept;
  void updateRelease() noexcept;

  // One host call; frames <= 0 runs only the over check.
  void process(const Channels<float>& io, int32_t frames) noexcept;

  // The meter values as published after the latest call; one reader thread.
  valdris::MeterFeed meterFeed() noexcept { return meters.read(); }
  // Levels, lamps and counts go to 0 before the next call; any thread.
  void clearMeterReadings() noexcept { meters.requestClear(); }
  bool externalSidechain() const noexcept { return sidechainExternal; }

  // For tests and the editor.
  int hilbertTaps() const noexcept { return taps; }
  double sampleRate() const noexcept { return rate; }
  double attackCoef() const noexcept { return attack; }
  double releaseCoef() const noexcept { return release; }
  double autoMakeupGain() const noexcept { return autoMakeup; }
  double ratio() const noexcept { return ratioValue; }
  const valdris::StaticCurve& staticCurve() const noexcept { return curve; }
  const dsp::Biquad& lowShelfFilter(int ch) const noexcept { return lowShelf[ch & 1]; }
  const dsp::Biquad& highShelfFilter(int ch) const noexcept { return highShelf[ch & 1]; }
  const dsp::Biquad& vuMeterFilter(int ch) const noexcept { return vuFilter[ch & 1]; }
  double hilbertCoefficient(int j) const noexcept {
    return hilbertCoefs != nullptr ? hilbertCoefs[j & kRingMask] : 0.0;
  }

 private:
  using Two = dsp::BiquadPair::Two;

  void resetEngine() noexcept;
  void setShelfRates() noexcept;
  void computeTaps() noexcept;
  void clearRings() noexcept;
  void applyResumeShelves() noexcept;
  double timingRate() const noexcept;

  // Nimlet's own stages.
  valdris::StereoSums detectorLevels(int newest) const noexcept;
  double detectorInput(double d) const noexcept { return rmsOn ? d * d : d; }
  double releaseFactor(double fastLevel, double slowLevel) const noexcept;
  void advanceEnvelope(double& envelope, double x, double releaseFactor) const noexcept;
  template <int channels>
  void gains(const double (*levels)[kMaxBlock], int n, double (*gains)[kMaxBlock]) noexcept;
  void advanceGains() noexcept;
  double outputSample(double w, double monitored, double bypass) const noexcept;
  void levelMeter(int ch, double s) noexcept;
  void gainMeter(int ch, double gain) noexcept;

  void stereoBlock(const Channels<float>& io, int32_t first, int n) noexcept;
  void monoBlock(const Channels<float>& io, int32_t first, int n) noexcept;

  // Raw values the derived ones are recomputed from.
  float attackRaw = 0.0f;
  float releaseRaw = 0.0f;

  // Derived values.
  bool powerOn = false, rmsOn = false, autoReleaseOn = false, autoMakeupOn = false, linked = false;
  bool sidechainExternal = false, smoothOn = false, stereoMode = true, sidechainMonitor = false;
  int lowShelfPosition = 1, highShelfPosition = 1;
  double thresholdFactor = 1.0;
  double ratioValue = 1.0;
  double autoMakeup = 1.0;
  double makeupTarget = 1.0, outputTarget = 1.0, mixTarget = 1.0;
  double meterMode = 0.5;
  double vuTime = 300.0, vuScale = 1.0, ppmAttackTime = 9.0, ppmReturnTime = 1000.0;
  double overThreshold = 3.0;
  double attack = 1.0, release = 1.0;
  valdris::StaticCurve curve;

  double hostRate = 44100.0;  // as the host gave it
  double rate = 44100.0;      // the engine's own, validated
  int taps = 44;              // N = trunc(rate / 1000)

  // [0] left, [1] right.
  dsp::Biquad lowShelf[2], highShelf[2], fastFollower[2], slowFollower[2], vuFilter[2];
  dsp::NoiseGenerator noise;
  double noiseValue = 1e-12;

  // Running state.
  double envelope[2] = {valdris::kEnvelopeFloor, valdris::kEnvelopeFloor};
  double makeupGain = 1.0, outputGain = 1.0;
  int inputWrite = kRingMask;
  int sidechainWrite = kRingMask;
  int meterSource = valdris::kMeterGain;  // of the current call
  valdris::MeterCoefficients meterCoefs{};
  valdris::MeterFeed feed;
  valdris::MeterFeedExchange meters;

  // Allocated once.
  double* memory = nullptr;
  double* inputRing[4] = {};  // main L, R, side-chain L, R
  valdris::HilbertRing sidechain[2];
  double* monitorRing[2] = {};  // filtered side chain before the link
  double* hilbertCoefs = nullptr;
  double* block[2] = {};  // output samples of one block
};

}  // namespace orv::nimlet
