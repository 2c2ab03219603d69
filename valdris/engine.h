// The signal path of Orv Valdris: derived values, side-chain and detector,
// envelope and gain, the three kernels, output stage, limiter and meters.
// Knows nothing of the host: the product class hands it raw parameter values,
// the sample rate and the already selected channel pointers.
#pragma once

#include <cstdint>

#include "dsp/biquad.h"
#include "dsp/halfband_resampler.h"
#include "dsp/noise_generator.h"
#include "valdris/gain_computer.h"
#include "valdris/hilbert_detector.h"
#include "valdris/limiter.h"
#include "valdris/meter_feed.h"

namespace orv::valdris {

// One call's channels after source selection. Null inputs read as silence,
// null outputs are skipped; outL and outR may be the same buffer.
template <typename T>
struct Channels {
  const T* inL;
  const T* inR;
  const T* scL;
  const T* scR;
  T* outL;
  T* outR;
};

class Engine {
 public:
  static constexpr int kRingSize = 1024;
  static constexpr int kRingMask = kRingSize - 1;
  static constexpr int kMaxBlock = 64;      // host samples per kernel pass
  static constexpr int kBlockBuffer = 512;  // doubles per block buffer

  Engine() noexcept;
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Allocates every ring, buffer and resampler; false if any allocation
  // failed (the engine then stays unusable and process must not be called).
  bool allocate() noexcept;
  bool ready() const noexcept { return memory != nullptr && resamplers != nullptr; }

  // Derived values of one parameter from its stored raw value (for the over
  // indicator the stored step). Ratio re-derives the balance from the last
  // Tilt value given. Called by whichever thread owns the engine: the audio
  // thread while processing runs.
  void setParameter(int32_t index, float raw) noexcept;

  // Clears all running state; `hostRate` is clamped into 22.05 .. 192 kHz.
  void suspend(double hostRate) noexcept;
  // Rate-dependent values; a rate outside 22.05 .. 192 kHz counts as 44.1 kHz.
  void resume(double hostRate) noexcept;

  // One host call; frames <= 0 runs only the over check.
  template <typename T>
  void process(const Channels<T>& io, int32_t frames) noexcept;

  // The meter values as published after the latest call; one reader thread.
  MeterFeed meterFeed() noexcept { return meters.read(); }
  // Levels, lamps and counts go to 0 before the next call; any thread.
  void clearMeterReadings() noexcept { meters.requestClear(); }

  // The side-chain inputs are used only when this is on.
  bool externalSidechain() const noexcept { return sidechainExternal; }

  // For tests and the editor.
  int hilbertTaps() const noexcept { return taps; }
  int gainDelay() const noexcept { return delay; }
  double sampleRate() const noexcept { return rate; }
  int limiterLookahead() const noexcept { return limiter.lookaheadSamples(); }
  double autoMakeupGain() const noexcept { return autoMakeup; }
  double attackCoef() const noexcept { return envelopeSettings.attackCoef; }
  double releaseCoef() const noexcept { return envelopeSettings.releaseCoef; }
  double balanceLeft() const noexcept { return balance[0]; }
  double balanceRight() const noexcept { return balance[1]; }
  const StaticCurve& staticCurve() const noexcept { return curve; }
  const dsp::Biquad& lowShelfFilter(int ch) const noexcept { return live.lowShelf[ch & 1]; }
  const dsp::Biquad& highShelfFilter(int ch) const noexcept { return live.highShelf[ch & 1]; }
  const dsp::Biquad& linkFilter(int ch) const noexcept { return live.link[ch & 1]; }
  const dsp::Biquad& fastFollowerFilter(int ch) const noexcept { return live.fastFollower[ch & 1]; }

 private:
  enum Buffer { kMainL, kMainR, kSideL, kSideR, kOutL, kOutR, kNumBuffers };
  struct GainPair {
    double left, right;
  };
  struct SideChainSample {
    double sL, sR;  // linked, into the detector
    double yL, yR;  // filtered, balanced, before the link
  };
  static constexpr int kBatch = 8;  // detector outputs per pass in the smooth kernels
  static constexpr int kGainChunk = 32;  // gains per pass

  void computeDetectorLength() noexcept;
  void computeAttack() noexcept;
  void computeRelease() noexcept;
  void setSidechainRate() noexcept;
  void setFollowerRate() noexcept;
  void resetResamplers() noexcept;
  void clearBlockBuffers() noexcept;
  void configureLinkFilters() noexcept;
  void applyTilt() noexcept;
  double envelopeRate() const noexcept { return fatOn ? 2.0 * rate : rate; }

  struct Running;
  // The side-chain filters of both channels as pairs, over one block.
  struct SideChainPairs {
    dsp::BiquadPair lowShelf, highShelf, link;
    bool load(const Running& r) noexcept;  // false if a stage's channels do not run alike
    void store(Running& r) const noexcept;
  };
  using Two = dsp::BiquadPair::Two;
  static bool followersAlike(const Running& r) noexcept;
  SideChainSample sideChain(Running& r, SideChainPairs* pairs, double& mainL, double& mainR, double sideL,
                            double sideR) noexcept;
  void analyticPowers(const int* newest, const double* oldL, const double* oldR, int count,
                      StereoSums* power) const noexcept;
  template <bool exact>
  void computeGains(Running& r, bool paired, const double* dL, const double* dR, int count, double* gL,
                    double* gR) noexcept;
  void gainAndOutput(Running& r, GainPair g, double mainL, double mainR, double dryL, double dryR, int position,
                     int lag, double& outL, double& outR) noexcept;

  template <typename T>
  void inputStage(const Channels<T>& io, int32_t first, int n, int offset) noexcept;
  void detectBlock(int n, bool monitor) noexcept;
  void gainBlock(int count, bool monitor) noexcept;
  void plainBlock(int n) noexcept;
  void oversampledBlock(int n) noexcept;
  template <bool oversampled>
  void smoothBlock(int n) noexcept;
  void oneSampleDelay(int n) noexcept;
  template <typename T>
  void outputStage(const Channels<T>& io, int32_t first, int n) noexcept;

  // Raw values the derived ones are recomputed from.
  float attackRaw = 0.0f;
  float releaseRaw = 0.0f;
  float ratioRaw = 0.0f;
  float tiltRaw = 0.0f;

  // Derived values.
  bool powerOn = false, fatOn = false, limiterOn = false, autoMakeupOn = false, smoothOn = false;
  bool sidechainExternal = false, sidechainMonitor = false, highShelfBoost = false, lowShelfBoost = false;
  bool linkHighCut = false, linkLowCut = false;
  int ratioIndex = 6;
  double thresholdFactor = 1.0;
  double ratio = 1.0;
  double autoMakeup = 1.0;
  double makeupTarget = 1.0, outputTarget = 1.0, mixTarget = 1.0;
  double balance[2] = {1.0, 1.0};
  double linkAmount = 0.5;
  double meterMode = 0.5;
  double vuTime = 300.0, vuScale = 1.0, ppmAttackTime = 9.0, ppmReturnTime = 1000.0;
  double overThreshold = 3.0;
  StaticCurve curve;
  EnvelopeSettings envelopeSettings;
  ClassicTable classic;

  double rate = 44100.0;  // validated host rate
  int taps = 55;          // N, at the detector's rate
  int delay = 55;         // D, at the gain stage's rate

  // What the per-sample stages change. The blocks work on a local copy: the
  // stores through the ring and buffer pointers could otherwise alias these
  // doubles and force a reload after every store.
  struct Running {
    // Side-chain filters and followers, [0] left, [1] right.
    dsp::Biquad lowShelf[2] = {{44100.0, dsp::Biquad::lowShelf, 35.0, 0.35, -15.0},
                               {44100.0, dsp::Biquad::lowShelf, 35.0, 0.35, -15.0}};
    dsp::Biquad highShelf[2] = {{44100.0, dsp::Biquad::highShelf, 5500.0, 0.5, 12.0},
                                {44100.0, dsp::Biquad::highShelf, 5500.0, 0.5, 12.0}};
    dsp::Biquad link[2] = {{44100.0, dsp::Biquad::peaking, 700.0, 0.3, 12.0},
                           {44100.0, dsp::Biquad::peaking, 700.0, 0.3, 12.0}};
    dsp::Biquad fastFollower[2] = {{44100.0, dsp::Biquad::lowpass, 200.0, 0.5, 0.0},
                                   {44100.0, dsp::Biquad::lowpass, 200.0, 0.5, 0.0}};
    dsp::Biquad slowFollower[2] = {{44100.0, dsp::Biquad::lowpass, 20.0, 0.5, 0.0},
                                   {44100.0, dsp::Biquad::lowpass, 20.0, 0.5, 0.0}};
    dsp::NoiseGenerator noise;
    double noiseValue = 1e-12;
    double envelope[2] = {kEnvelopeFloor, kEnvelopeFloor};
    double makeupGain = 1.0, outputGain = 1.0, mixAmount = 1.0;
    MeterFeed feed;
  };
  Running live;

  double sampleDelay[4] = {};
  int inputWrite = kRingMask;
  int delayWrite = kRingMask;
  int sidechainWrite = kRingMask;
  int meterSource = kMeterGain;  // of the current call
  MeterCoefficients meterCoefs{};
  MeterFeedExchange meters;
  LookaheadLimiter limiter;
  HilbertRing hilbert[2];

  // Allocated once.
  double* memory = nullptr;
  double* inputRing[4] = {};   // main L, R, side-chain L, R
  double* delayRing[4] = {};   // main L, R, dry L, R
  double* hilbertCoefs = nullptr;
  double* foldedCoefs = nullptr;
  double* block[kNumBuffers] = {};
  dsp::HalfbandResampler* resamplers = nullptr;  // main L, R, side-chain L, R
};

}  // namespace orv::valdris
