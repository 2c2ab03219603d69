#include "valdris/engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "dsp/input_guard.h"
#include "platform/allocation.h"
#include "valdris/parameters.h"

namespace orv::valdris {

namespace {

using dsp::Biquad;

constexpr int kUnityRatioIndex = 6;  // ratios below it expand

// Memory layout: four input rings, four delay rings, two detector rings, the
// coefficient table and its folded form, six block buffers, three limiter rings.
constexpr std::size_t kRingDoubles = 8 * Engine::kRingSize;
constexpr std::size_t kHilbertDoubles = 2 * HilbertRing::kDoubles;
constexpr std::size_t kTableDoubles = kHilbertTableSize + kFoldedSize;
constexpr std::size_t kBlockDoubles = 6 * Engine::kBlockBuffer;
constexpr std::size_t kLimiterDoubles = 4 * LookaheadLimiter::kSize;
constexpr std::size_t kMemoryDoubles = kRingDoubles + kHilbertDoubles + kTableDoubles + kBlockDoubles + kLimiterDoubles;
// From this many taps on, the folded dot product is the cheaper sum.
constexpr int kFoldFromTaps = 320;
constexpr int kNumResamplers = 4;

template <typename T>
T toSample(double v) noexcept {
  if constexpr (sizeof(T) < sizeof(double)) {
    // Beyond the float range the conversion is undefined; make it infinity.
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax) return std::numeric_limits<T>::infinity();
    if (v < -kMax) return -std::numeric_limits<T>::infinity();
  }
  return static_cast<T>(v);
}

}  // namespace

Engine::Engine() noexcept {
  classic.fill();
  limiter.setTiming(rate);
}

Engine::~Engine() {
  if (resamplers != nullptr) {
    for (int i = 0; i < kNumResamplers; ++i) resamplers[i].~HalfbandResampler();
    platform::releaseMemory(resamplers);
  }
  platform::releaseMemory(memory);
}

bool Engine::allocate() noexcept {
  memory = static_cast<double*>(platform::allocateZeroed(sizeof(double) * kMemoryDoubles));
  void* resamplerMemory = platform::allocateZeroed(sizeof(dsp::HalfbandResampler) * kNumResamplers);
  if (resamplerMemory != nullptr) {
    auto* r = static_cast<dsp::HalfbandResampler*>(resamplerMemory);
    int built = 0;
    try {
      for (; built < kNumResamplers; ++built) new (r + built) dsp::HalfbandResampler(kMaxBlock);
      resamplers = r;
    } catch (const std::bad_alloc&) {
      while (built > 0) r[--built].~HalfbandResampler();
      platform::releaseMemory(resamplerMemory);
    }
  }
  if (memory == nullptr) return false;

  double* p = memory;
  for (double*& ring : inputRing) ring = p, p += kRingSize;
  for (double*& ring : delayRing) ring = p, p += kRingSize;
  for (HilbertRing& ring : hilbert) ring.attach(p), p += HilbertRing::kDoubles;
  hilbertCoefs = p;
  p += kHilbertTableSize;
  foldedCoefs = p;
  p += kFoldedSize;
  for (double*& buffer : block) buffer = p, p += kBlockBuffer;
  limiter.attach(p, p + LookaheadLimiter::kSize, p + 2 * LookaheadLimiter::kSize, p + 3 * LookaheadLimiter::kSize);
  limiter.clear();
  if (resamplers == nullptr) return false;

  computeDetectorLength();
  setSidechainRate();
  resetResamplers();
  return true;
}

// ---- Derived values ------------------------------------------------------------

void Engine::computeDetectorLength() noexcept {
  const int sr = static_cast<int>(rate);
  if (!fatOn) {
    taps = (smoothOn ? 2 : 1) * sr / 800;
    delay = taps;
  } else if (smoothOn) {
    // The detector runs at the doubled rate.
    taps = 2 * sr / 400;
    delay = taps;
  } else {
    // Detector at the base rate, gain stage at the doubled rate.
    taps = sr / 800;
    delay = sr / 400;
  }
  if (hilbertCoefs != nullptr) {
    fillHilbertCoefficients(hilbertCoefs, taps);
    foldHilbertCoefficients(hilbertCoefs, foldedCoefs);
  }
}

void Engine::computeAttack() noexcept {
  const double base = envelopeSettings.rms ? 0.0025 : 0.05;  // 95 % of a step, squared when RMS
  const double seconds = attackMs(attackRaw) * 0.001;
  envelopeSettings.attackCoef = 1.0 - std::pow(base, 1.0 / (seconds * envelopeRate()));
}

void Engine::computeRelease() noexcept {
  const double base = envelopeSettings.rms ? 0.0025 : 0.05;
  const double seconds = releaseSeconds(releaseRaw);
  envelopeSettings.releaseCoef = 1.0 - std::pow(base, 1.0 / (seconds * envelopeRate()));
}

void Engine::setSidechainRate() noexcept {
  const double sidechainRate = fatOn && smoothOn ? 2.0 * rate : rate;
  Running& r = live;
  for (Biquad* f : {&r.lowShelf[0], &r.lowShelf[1], &r.highShelf[0], &r.highShelf[1], &r.link[0], &r.link[1]}) {
    f->setSampleRate(sidechainRate);
    f->reset();
  }
}

void Engine::setFollowerRate() noexcept {
  for (Biquad* f : {&live.fastFollower[0], &live.fastFollower[1], &live.slowFollower[0], &live.slowFollower[1]})
    f->setSampleRate(envelopeRate());
}

void Engine::resetResamplers() noexcept {
  if (resamplers != nullptr)
    for (int i = 0; i < kNumResamplers; ++i) resamplers[i].reset();
}

void Engine::clearBlockBuffers() noexcept {
  for (double* buffer : block)
    if (buffer != nullptr) std::memset(buffer, 0, sizeof(double) * kBlockBuffer);
}

void Engine::configureLinkFilters() noexcept {
  struct Band {
    int32_t type;
    double frequency, q;
  };
  // Which band the stereo link acts on; the cut band passes 12 dB lower.
  static constexpr Band kBands[2][2] = {
      {{Biquad::peaking, 700.0, 0.01}, {Biquad::highShelf, 100.0, 0.45}},  // high cut off: low cut off, on
      {{Biquad::lowShelf, 7000.0, 0.45}, {Biquad::peaking, 1000.0, 0.1}},  // high cut on: low cut off, on
  };
  const Band& band = kBands[linkHighCut][linkLowCut];
  for (Biquad& f : live.link) {
    f.setType(band.type);
    f.setFrequency(band.frequency);
    f.setQ(band.q);
    f.setGain(12.0);
    f.reset();
  }
}

void Engine::applyTilt() noexcept {
  const double v = clampUnit(tiltRaw);
  const double a = 0.5 * std::pow(4.0, 1.0 - v);
  const double b = 0.5 * std::pow(4.0, v);
  // Expansion swaps the sides so the image moves the same way.
  const bool compressing = ratioIndex >= kUnityRatioIndex;
  balance[0] = compressing ? b : a;
  balance[1] = compressing ? a : b;
}

void Engine::setParameter(int32_t index, float raw) noexcept {
  switch (index) {
    case kPower: powerOn = switchOn(raw); break;
    case kFat:
      fatOn = switchOn(raw);
      resetResamplers();
      clearBlockBuffers();
      computeDetectorLength();
      setSidechainRate();
      computeAttack();
      computeRelease();
      setFollowerRate();
      for (Biquad* f : {&live.fastFollower[0], &live.fastFollower[1], &live.slowFollower[0], &live.slowFollower[1]})
        f->reset();
      break;
    case kSoft: curve.soft = switchOn(raw); break;
    case kRms:
      envelopeSettings.rms = switchOn(raw);
      computeAttack();
      computeRelease();
      break;
    case kLimiter: limiterOn = switchOn(raw); break;
    case kThreshold:
    case kRatio: {
      if (index == kThreshold) {
        thresholdFactor = valdris::thresholdFactor(raw);
      } else {
        ratioRaw = raw;
        ratioIndex = ratioIndexOf(raw);
        ratio = kRatioTable[ratioIndex].ratio;
        curve.setInverseRatio(kRatioTable[ratioIndex].inverse);
      }
      const double t = 0.55 * thresholdFactor;
      autoMakeup = std::pow(t / std::pow(t, curve.inverseRatio), 0.8);
      // The balance swaps sides between compression and expansion.
      if (index == kRatio) applyTilt();
      break;
    }
    case kAttack: attackRaw = raw; computeAttack(); break;
    case kAutoAttack: envelopeSettings.autoAttack = switchOn(raw); break;
    case kRelease: releaseRaw = raw; computeRelease(); break;
    case kAutoRelease: envelopeSettings.autoRelease = switchOn(raw); break;
    case kMakeup: makeupTarget = valdris::makeupGain(raw); break;
    case kAutoMakeup: autoMakeupOn = switchOn(raw); break;
    case kHighShelfBoost:
      highShelfBoost = switchOn(raw);
      for (Biquad& f : live.highShelf) {
        f.setQ(highShelfBoost ? 0.5 : 0.35);
        f.setGain(highShelfBoost ? 12.0 : -15.0);
      }
      break;
    case kHigh:
      for (Biquad& f : live.highShelf) f.setFrequency(1.375 * highShelfHz(raw));
      break;
    case kLowShelfBoost:
      lowShelfBoost = switchOn(raw);
      for (Biquad& f : live.lowShelf) {
        f.setQ(lowShelfBoost ? 0.5 : 0.35);
        f.setGain(lowShelfBoost ? 12.0 : -15.0);
      }
      break;
    case kLow:
      for (Biquad& f : live.lowShelf) f.setFrequency(0.7 * lowShelfHz(raw));
      break;
    case kLinkHighCut: linkHighCut = switchOn(raw); configureLinkFilters(); break;
    case kLinkLowCut: linkLowCut = switchOn(raw); configureLinkFilters(); break;
    case kLink: linkAmount = std::pow(clampUnit(raw), 1.4); break;
    case kTilt:
      tiltRaw = raw;
      applyTilt();
      break;
    case kMix: mixTarget = clampUnit(raw); break;
    case kOutput: outputTarget = valdris::outputGain(raw); break;
    case kMeters: meterMode = clampUnit(raw); break;
    case kClassic: envelopeSettings.classic = switchOn(raw); break;
    case kSidechainExternal: sidechainExternal = switchOn(raw); break;
    case kSmooth:
      smoothOn = switchOn(raw);
      resetResamplers();
      clearBlockBuffers();
      computeDetectorLength();
      setSidechainRate();
      break;
    case kSidechainMonitor: sidechainMonitor = switchOn(raw); break;
    case kVuIntegration: vuTime = vuTimeMs(raw); break;
    case kVuReference: vuScale = 1.0 / vuReference(raw); break;
    case kPpmIntegration: ppmAttackTime = ppmAttackMs(raw); break;
    case kPpmReturn: ppmReturnTime = ppmReturnMs(raw); break;
    case kOverIndicator:
      // Whole samples: 9q + 1 of the float step q is a hair off the integer.
      overThreshold = std::floor(overThresholdSamples(raw) + 0.5);
      break;
    default: break;
  }
}

// ---- Lifecycle -----------------------------------------------------------------

void Engine::suspend(double hostRate) noexcept {
  live.feed.reset();
  for (double& s : sampleDelay) s = 0.0;
  if (memory != nullptr) {
    // Rings, detector history, coefficient table and block buffers; the
    // table stays empty until resume or a FAT or Smooth change refills it.
    std::memset(memory, 0, sizeof(double) * (kRingDoubles + kHilbertDoubles + kTableDoubles + kBlockDoubles));
  }
  resetResamplers();
  limiter.clear();
  live.envelope[0] = live.envelope[1] = kEnvelopeFloor;
  Running& r = live;
  for (Biquad* f : {&r.lowShelf[0], &r.lowShelf[1], &r.highShelf[0], &r.highShelf[1], &r.link[0], &r.link[1],
                    &r.fastFollower[0], &r.fastFollower[1], &r.slowFollower[0], &r.slowFollower[1]})
    f->reset();
  limiter.resetFollowers();
  rate = std::isnan(hostRate) ? 44100.0 : std::clamp(hostRate, 22050.0, 192000.0);
  // No glide after a reset.
  live.makeupGain = makeupTarget;
  live.outputGain = outputTarget;
  live.mixAmount = mixTarget;
  meters.publish(live.feed);
}

void Engine::resume(double hostRate) noexcept {
  rate = hostRate >= 22050.0 && hostRate <= 192000.0 ? hostRate : 44100.0;
  limiter.setTiming(rate);
  setFollowerRate();
  limiter.setSampleRate(rate);
  resetResamplers();
  clearBlockBuffers();
  computeDetectorLength();
  setSidechainRate();
  computeAttack();
  computeRelease();
}

// ---- Per-sample stages ---------------------------------------------------------

// The channels' filters are always set and run together, so each pair runs
// alike and can run as one; checked per block all the same.
bool Engine::SideChainPairs::load(const Running& r) noexcept {
  if (!(r.lowShelf[0].runsAlike(r.lowShelf[1]) && r.highShelf[0].runsAlike(r.highShelf[1]) &&
        r.link[0].runsAlike(r.link[1])))
    return false;
  lowShelf.load(r.lowShelf[0], r.lowShelf[1]);
  highShelf.load(r.highShelf[0], r.highShelf[1]);
  link.load(r.link[0], r.link[1]);
  return true;
}

void Engine::SideChainPairs::store(Running& r) const noexcept {
  lowShelf.store(r.lowShelf[0], r.lowShelf[1]);
  highShelf.store(r.highShelf[0], r.highShelf[1]);
  link.store(r.link[0], r.link[1]);
}

bool Engine::followersAlike(const Running& r) noexcept {
  return r.fastFollower[0].runsAlike(r.fastFollower[1]) && r.slowFollower[0].runsAlike(r.slowFollower[1]);
}

// Noise, balance, shelves and link of one sample; sets the sample's noise value.
inline Engine::SideChainSample Engine::sideChain(Running& r, SideChainPairs* pairs, double& mainL, double& mainR,
                                                 double sideL, double sideR) noexcept {
  const double z1 = r.noise.nextValue(1e-12);
  const double z2 = r.noise.nextValue(1e-12);
  const double z3 = r.noise.nextValue(1e-12);
  r.noiseValue = z3;
  mainL += z1;
  mainR += z2;
  const double xL = (sideL + z1) * balance[0];
  const double xR = (sideR + z2) * balance[1];
  double yL, yR, lL, lR;
  if (pairs != nullptr) {
    const Two y = pairs->highShelf.runGliding(pairs->lowShelf.runGliding(Two{xL, xR}));
    const Two l = pairs->link.runPlain(y);
    yL = y[0], yR = y[1], lL = l[0], lR = l[1];
  } else {
    yL = r.highShelf[0].runGliding(r.lowShelf[0].runGliding(xL));
    yR = r.highShelf[1].runGliding(r.lowShelf[1].runGliding(xR));
    lL = r.link[0].runPlain(yL);
    lR = r.link[1].runPlain(yR);
  }
  // The link filter's +12 dB and this 0.25 pass the linked band at unity.
  lL *= 0.25;
  lR *= 0.25;
  const double mid = 0.7071 * (lL + lR);
  const double k = linkAmount;
  return {yL + k * (mid - lL), yR + k * (mid - lR), yL, yR};
}

// The analytic power of `count` consecutive detector positions, all of them
// already written to the rings; old*[i] is what position newest[i] held before.
// Each output is summed from the rings as they are, then corrected for the
// positions written after it, which it must still see with their old values
// (the taps reach past the newest entry into the oldest ones).
void Engine::analyticPowers(const int* newest, const double* oldL, const double* oldR, int count,
                            StereoSums* power) const noexcept {
  constexpr int kHalf = HilbertRing::kHalf;
  const double* h = hilbertCoefs;
  const double* g = foldedCoefs;
  const bool folded = taps >= kFoldFromTaps;
  StereoSums acc[kBatch];
  for (int first = 0; first < 2 && first < count; ++first) {
    // Outputs first, first + 2, ... share a parity; each starts one entry later.
    const int outputs = (count - first + 1) / 2;
    const int q = (newest[first] - taps) & kRingMask;
    const int parity = (q + 1) & 1;
    const int k0 = ((q + 1) & kRingMask) >> 1;
    const double* bL = hilbert[0].backwardRun(parity, k0);
    const double* bR = hilbert[1].backwardRun(parity, k0);
    if (((kHalf - k0) & (kHalf - 1)) < outputs - 1) bL += kHalf, bR += kHalf;  // room to step back
    StereoSums sums[kBatch / 2];
    const double* fL = hilbert[0].forwardRun(parity, k0);
    const double* fR = hilbert[1].forwardRun(parity, k0);
    if (folded) foldedSumsBatch(g, fL, fR, outputs, sums);
    else hilbertSumsBatch(h, fL, bL, fR, bR, taps, outputs, sums);
    for (int m = 0; m < outputs; ++m) acc[first + 2 * m] = sums[m];
  }
  for (int i = 0; i < count; ++i) {
    const int q = (newest[i] - taps) & kRingMask;
    const int parity = (q + 1) & 1;
    const int k0 = ((q + 1) & kRingMask) >> 1;
    for (int later = i + 1; later < count; ++later) {
      if ((newest[later] & 1) != parity) continue;
      const int s = (newest[later] & kRingMask) >> 1;
      const double dL = oldL[later] - hilbert[0].at(newest[later]);
      const double dR = oldR[later] - hilbert[1].at(newest[later]);
      // The entry's weight in this output is the folded coefficient at its
      // distance from the run's start.
      const double w = g[(s - k0) & (kHalf - 1)];
      acc[i].left += w * dL;
      acc[i].right += w * dR;
    }
    const double cl = hilbert[0].at(q), cr = hilbert[1].at(q);
    power[i] = {cl * cl + acc[i].left * acc[i].left, cr * cr + acc[i].right * acc[i].right};
  }
}

// Gains of `count` consecutive samples (at most kGainChunk) from their
// detector levels, in passes: the followers, then what each envelope step
// takes from them (divisions and powers, independent per sample), then the
// short recursion of the envelopes, then the static curve. Each sample gets
// exactly the arithmetic of one step at a time; only the order of work that
// does not depend on each other changes, so the recursion no longer waits
// behind the divisions and powers.
template <bool exact>
void Engine::computeGains(Running& r, bool paired, const double* dL, const double* dR, int count, double* gL,
                          double* gR) noexcept {
  const EnvelopeSettings s = envelopeSettings;
  double x[2][kGainChunk], a[2][kGainChunk], b[2][kGainChunk];
  for (int i = 0; i < count; ++i) {
    x[0][i] = followedLevel(dL[i], s);
    x[1][i] = followedLevel(dR[i], s);
  }
  if (paired) {
    dsp::BiquadPair fast, slow;
    fast.load(r.fastFollower[0], r.fastFollower[1]);
    slow.load(r.slowFollower[0], r.slowFollower[1]);
    for (int i = 0; i < count; ++i) {
      const Two level{x[0][i], x[1][i]};
      const Two fa = fast.runPlain(level), sl = slow.runPlain(level);
      a[0][i] = fa[0], a[1][i] = fa[1];
      b[0][i] = sl[0], b[1][i] = sl[1];
    }
    fast.store(r.fastFollower[0], r.fastFollower[1]);
    slow.store(r.slowFollower[0], r.slowFollower[1]);
  } else {
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < count; ++i) {
        a[c][i] = r.fastFollower[c].runPlain(x[c][i]);
        b[c][i] = r.slowFollower[c].runPlain(x[c][i]);
      }
    }
  }
  double* g[2] = {gL, gR};
  for (int c = 0; c < 2; ++c) {
    EnvelopeStep k[kGainChunk];
    if (exact && s.classic) {
      // The two power functions of the exact classic release, for the block at once.
      double v[kGainChunk];
      for (int i = 0; i < count; ++i) {
        k[i] = envelopeStep<kClassicBase>(x[c][i], a[c][i], b[c][i], s, classic);
        v[i] = k[i].classicRelease;
      }
      dsp::powArray(v, 0.05, v, count);
      dsp::powArray(s.releaseCoef, v, v, count);
      for (int i = 0; i < count; ++i) k[i].classicRelease = v[i];
    } else {
      for (int i = 0; i < count; ++i) k[i] = envelopeStep<exact>(x[c][i], a[c][i], b[c][i], s, classic);
    }
    double env = r.envelope[c];
    double level[kGainChunk];
    for (int i = 0; i < count; ++i) {
      advanceEnvelope(env, x[c][i], k[i], s);
      floorEnvelope(env);
      level[i] = env;
    }
    r.envelope[c] = env;
    for (int i = 0; i < count; ++i) level[i] = envelopeLevel(level[i], s.rms);
    curveGains(curve, level, g[c], count);
  }
}

inline void Engine::gainAndOutput(Running& st, GainPair g, double mainL, double mainR, double dryL, double dryR,
                                  int position, int lag, double& outL, double& outR) noexcept {
  delayRing[kMainL][position] = mainL;
  delayRing[kMainR][position] = mainR;
  delayRing[2][position] = dryL;
  delayRing[3][position] = dryR;
  // The main signal lags as far as the detector's centre.
  const int r = (position - lag) & kRingMask;
  const double dL = delayRing[2][r];
  const double dR = delayRing[3][r];
  double wL = delayRing[kMainL][r] * g.left;
  double wR = delayRing[kMainR][r] * g.right;

  const double n = st.noiseValue;
  st.makeupGain += (makeupTarget - st.makeupGain) * 0.001 + n;
  st.outputGain += (outputTarget - st.outputGain) * 0.001 + n;
  st.mixAmount += (mixTarget - st.mixAmount) * 0.001 + n;
  wL *= st.makeupGain;
  wR *= st.makeupGain;
  if (autoMakeupOn) {
    wL *= autoMakeup;
    wR *= autoMakeup;
  }
  if (sidechainMonitor) {
    outL = dL * st.outputGain;
    outR = dR * st.outputGain;
  } else if (powerOn) {
    outL = (dL + (wL - dL) * st.mixAmount) * st.outputGain;
    outR = (dR + (wR - dR) * st.mixAmount) * st.outputGain;
  } else {
    // Bypassed, still delayed by the full latency.
    outL = dL;
    outR = dR;
  }

  if (meterSource == kMeterGain) {
    const bool expanding = ratioIndex < kUnityRatioIndex;
    const double limiterGain = limiter.gain();
    updateGainMeter(st.feed, 0, gainMeterValue(g.left, mixTarget, limiterOn, limiterGain), meterCoefs, expanding, n);
    updateGainMeter(st.feed, 1, gainMeterValue(g.right, mixTarget, limiterOn, limiterGain), meterCoefs, expanding, n);
  }
}

// ---- Blocks --------------------------------------------------------------------

template <typename T>
void Engine::inputStage(const Channels<T>& io, int32_t first, int n, int offset) noexcept {
  const T* source[4] = {io.inL, io.inR, io.scL, io.scR};
  const bool meter = meterSource == kMeterInput;
  MeterFeed feed = live.feed;
  const double noiseValue = live.noiseValue;
  int w = inputWrite;
  for (int i = 0; i < n; ++i) {
    w = (w + 1) & kRingMask;
    const int r = (w + offset) & kRingMask;  // 1024 - offset samples ago
    for (int c = 0; c < 4; ++c) {
      const double x = source[c] != nullptr ? dsp::guardedInput(static_cast<double>(source[c][first + i])) : 0.0;
      inputRing[c][w] = x;
      block[c][i] = inputRing[c][r];
    }
    if (meter) {
      updateLevelMeter(feed, 0, std::fabs(block[kMainL][i]), meterCoefs, vuScale, overThreshold, noiseValue);
      updateLevelMeter(feed, 1, std::fabs(block[kMainR][i]), meterCoefs, vuScale, overThreshold, noiseValue);
    }
  }
  live.feed = feed;
  inputWrite = w;
}

void Engine::oneSampleDelay(int n) noexcept {
  for (int c = 0; c < 4; ++c) {
    double* b = block[c];
    const double last = b[n - 1];
    std::memmove(b + 1, b, sizeof(double) * static_cast<std::size_t>(n - 1));
    b[0] = sampleDelay[c];
    sampleDelay[c] = last;
  }
}

// Detector over a block at the base rate; while monitoring, the side-chain
// buffers carry the filtered side-chain instead of the levels. In passes: the
// filters' short recursions, then the detector sums, which do not depend on
// each other, then the magnitudes.
void Engine::detectBlock(int n, bool monitor) noexcept {
  double *mL = block[kMainL], *mR = block[kMainR], *sL = block[kSideL], *sR = block[kSideR];
  double linkedL[kMaxBlock], linkedR[kMaxBlock];
  Running r = live;
  SideChainPairs pairs;
  SideChainPairs* paired = pairs.load(r) ? &pairs : nullptr;
  for (int i = 0; i < n; ++i) {
    const SideChainSample s = sideChain(r, paired, mL[i], mR[i], sL[i], sR[i]);
    linkedL[i] = s.sL;
    linkedR[i] = s.sR;
    sL[i] = s.yL;
    sR[i] = s.yR;
  }
  if (paired != nullptr) pairs.store(r);
  live = r;
  int w = sidechainWrite;
  double powerL[kMaxBlock], powerR[kMaxBlock];
  for (int i = 0; i < n; ++i) {
    w = (w + 1) & kRingMask;
    hilbert[0].write(w, linkedL[i]);
    hilbert[1].write(w, linkedR[i]);
    if (monitor) continue;
    const StereoSums power = analyticPower(hilbert[0], hilbert[1], w, taps, hilbertCoefs);
    powerL[i] = power.left;
    powerR[i] = power.right;
  }
  sidechainWrite = w;
  if (monitor) return;
  for (int i = 0; i < n; ++i) {
    sL[i] = detectorLevel(fastMagnitude(powerL[i]), thresholdFactor);
    sR[i] = detectorLevel(fastMagnitude(powerR[i]), thresholdFactor);
  }
}

// Gain and output stage of the plain and oversampled kernels over `count`
// samples of the gain rate; the monitored side-chain feeds no envelope.
void Engine::gainBlock(int count, bool monitor) noexcept {
  const double *mL = block[kMainL], *mR = block[kMainR], *sL = block[kSideL], *sR = block[kSideR];
  double *oL = block[kOutL], *oR = block[kOutR];
  const int lag = delay;
  int w = delayWrite;
  Running r = live;
  const bool paired = followersAlike(r);
  static constexpr double kSilence[kGainChunk] = {};
  for (int i0 = 0; i0 < count; i0 += kGainChunk) {
    const int m = std::min(kGainChunk, count - i0);
    double gL[kGainChunk], gR[kGainChunk];
    computeGains<false>(r, paired, monitor ? kSilence : sL + i0, monitor ? kSilence : sR + i0, m, gL, gR);
    for (int k = 0; k < m; ++k) {
      const int i = i0 + k;
      w = (w + 1) & kRingMask;
      gainAndOutput(r, {gL[k], gR[k]}, mL[i], mR[i], monitor ? sL[i] : mL[i], monitor ? sR[i] : mR[i], w, lag, oL[i],
                    oR[i]);
    }
  }
  live = r;
  delayWrite = w;
}

void Engine::plainBlock(int n) noexcept {
  const bool monitor = sidechainMonitor;
  for (double& s : sampleDelay) s = 0.0;
  detectBlock(n, monitor);
  // Stand-ins for the resamplers keep the latency of the oversampled path.
  for (int c = 0; c < 4; ++c) resamplers[c].delayBefore(block[c], n);
  gainBlock(n, monitor);
  resamplers[0].delayAfter(block[kOutL], n);
  resamplers[1].delayAfter(block[kOutR], n);
}

void Engine::oversampledBlock(int n) noexcept {
  const bool monitor = sidechainMonitor;
  oneSampleDelay(n);
  detectBlock(n, monitor);
  for (int c = 0; c < 4; ++c) resamplers[c].interpolate(block[c], n);
  gainBlock(2 * n, monitor);
  resamplers[0].decimate(block[kOutL], 2 * n);
  resamplers[1].decimate(block[kOutR], 2 * n);
}

template <bool oversampled>
void Engine::smoothBlock(int n) noexcept {
  double *mL = block[kMainL], *mR = block[kMainR], *sL = block[kSideL], *sR = block[kSideR];
  double *oL = block[kOutL], *oR = block[kOutR];
  int count = n;
  if constexpr (oversampled) {
    oneSampleDelay(n);
    for (int c = 0; c < 4; ++c) resamplers[c].interpolate(block[c], n);
    count = 2 * n;
  } else {
    for (double& s : sampleDelay) s = 0.0;
    for (int c = 0; c < 4; ++c) resamplers[c].delayBefore(block[c], n);
  }
  const bool monitor = sidechainMonitor;
  const int lag = taps;
  // Detector and gain with exact arithmetic; the delay rings share the
  // detector's position. The side-chain of a batch of samples runs first, so
  // that their detector sums share one pass over the history.
  Running r = live;
  SideChainPairs pairs;
  SideChainPairs* sideChainPaired = pairs.load(r) ? &pairs : nullptr;
  const bool followersPaired = followersAlike(r);
  for (int i0 = 0; i0 < count; i0 += kBatch) {
    const int m = std::min(kBatch, count - i0);
    int position[kBatch];
    double oldL[kBatch], oldR[kBatch], yL[kBatch], yR[kBatch], z[kBatch];
    for (int k = 0; k < m; ++k) {
      const SideChainSample s = sideChain(r, sideChainPaired, mL[i0 + k], mR[i0 + k], sL[i0 + k], sR[i0 + k]);
      const int w = (sidechainWrite + 1) & kRingMask;
      sidechainWrite = w;
      position[k] = w;
      oldL[k] = hilbert[0].at(w);
      oldR[k] = hilbert[1].at(w);
      hilbert[0].write(w, s.sL);
      hilbert[1].write(w, s.sR);
      yL[k] = s.yL;
      yR[k] = s.yR;
      z[k] = r.noiseValue;
    }
    StereoSums power[kBatch];
    analyticPowers(position, oldL, oldR, m, power);
    double dL[kBatch], dR[kBatch], gL[kBatch], gR[kBatch];
    for (int k = 0; k < m; ++k) {
      dL[k] = detectorLevel(exactMagnitude(power[k].left), thresholdFactor);
      dR[k] = detectorLevel(exactMagnitude(power[k].right), thresholdFactor);
    }
    computeGains<true>(r, followersPaired, dL, dR, m, gL, gR);
    for (int k = 0; k < m; ++k) {
      const int i = i0 + k;
      r.noiseValue = z[k];
      gainAndOutput(r, {gL[k], gR[k]}, mL[i], mR[i], monitor ? yL[k] : mL[i], monitor ? yR[k] : mR[i], position[k],
                    lag, oL[i], oR[i]);
    }
  }
  if (sideChainPaired != nullptr) pairs.store(r);
  live = r;
  if constexpr (oversampled) {
    resamplers[0].decimate(oL, count);
    resamplers[1].decimate(oR, count);
  } else {
    resamplers[0].delayAfter(oL, n);
    resamplers[1].delayAfter(oR, n);
  }
}

template <typename T>
void Engine::outputStage(const Channels<T>& io, int32_t first, int n) noexcept {
  const double* oL = block[kOutL];
  const double* oR = block[kOutR];
  const bool on = limiterOn;
  const bool meter = meterSource == kMeterOutput;
  MeterFeed feed = live.feed;
  LookaheadLimiter lim = limiter;
  const double noiseValue = live.noiseValue;
  for (int i = 0; i < n; ++i) {
    double l = oL[i], r = oR[i];
    lim.process(l, r, on, noiseValue);
    // With one output buffer for both, the right channel is written last.
    if (io.outL != nullptr) io.outL[first + i] = toSample<T>(l);
    if (io.outR != nullptr) io.outR[first + i] = toSample<T>(r);
    if (meter) {
      updateLevelMeter(feed, 0, std::fabs(l), meterCoefs, vuScale, overThreshold, noiseValue);
      updateLevelMeter(feed, 1, std::fabs(r), meterCoefs, vuScale, overThreshold, noiseValue);
    }
  }
  limiter = lim;
  live.feed = feed;
}

template <typename T>
void Engine::process(const Channels<T>& io, int32_t frames) noexcept {
  if (meters.clearRequested()) live.feed.clearReadings();
  if (frames > 0) {
    meterSource = meterSourceOf(meterMode);
    meterCoefs = meterCoefficients(meterSource, rate, vuTime, ppmAttackTime, ppmReturnTime);
    const bool smooth = smoothOn;
    const bool fat = fatOn;
    // Each kernel reads the input ring so that its total delay is the same.
    const int offset = smooth ? (fat ? taps / 2 + 5 : taps + 3) : (fat ? taps + 5 : taps + 3);
    for (int32_t first = 0; first < frames; first += kMaxBlock) {
      const int n = static_cast<int>(std::min<int32_t>(kMaxBlock, frames - first));
      inputStage(io, first, n, offset);
      if (smooth) {
        if (fat) smoothBlock<true>(n);
        else smoothBlock<false>(n);
      } else if (fat) {
        oversampledBlock(n);
      } else {
        plainBlock(n);
      }
      outputStage(io, first, n);
    }
    ageHolds(live.feed, frames);
  }
  checkOvers(live.feed, overThreshold);
  meters.publish(live.feed);
}

template void Engine::process<float>(const Channels<float>&, int32_t) noexcept;
template void Engine::process<double>(const Channels<double>&, int32_t) noexcept;

}  // namespace orv::valdris
