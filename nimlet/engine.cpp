#include "nimlet/engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "dsp/input_guard.h"
#include "nimlet/parameters.h"
#include "platform/allocation.h"
#include "valdris/parameters.h"

namespace orv::nimlet {

namespace {

using dsp::Biquad;
using valdris::clampUnit;
using valdris::switchOn;

// Four input rings, two detector rings, two monitor rings, the coefficient
// table, two output block buffers.
constexpr std::size_t kInputDoubles = 4 * Engine::kRingSize;
constexpr std::size_t kHilbertDoubles = 2 * valdris::HilbertRing::kDoubles;
constexpr std::size_t kMonitorDoubles = 2 * Engine::kRingSize;
constexpr std::size_t kBlockDoubles = 2 * Engine::kBlockBuffer;
constexpr std::size_t kMemoryDoubles =
    kInputDoubles + kHilbertDoubles + kMonitorDoubles + valdris::kHilbertTableSize + kBlockDoubles;

double hostSample(const float* channel, int32_t k) noexcept {
  return channel != nullptr ? dsp::guardedInput(static_cast<double>(channel[k])) : 0.0;
}

float toFloat(double v) noexcept {
  // Beyond the float range the conversion is undefined; make it infinity.
  constexpr double kMax = std::numeric_limits<float>::max();
  if (v > kMax) return std::numeric_limits<float>::infinity();
  if (v < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

struct Shelf {
  double frequency, q, gainDb;
};

// Side-chain shelves by switch position (0 cut, 1 flat, 2 boost of the
// programme, so the side chain gets the opposite). Switching while running
// and resuming use different strengths.
constexpr Shelf kLowShelfRunning[3] = {{110.0, 1.0, 9.0}, {100.0, 0.7, 0.0}, {150.0, 0.35, -9.0}};
constexpr Shelf kHighShelfRunning[3] = {{4500.0, 1.2, 12.0}, {6000.0, 0.7, 0.0}, {6000.0, 0.35, -6.0}};
constexpr Shelf kLowShelfResumed[3] = {{110.0, 1.0, 12.0}, {100.0, 0.7, 0.0}, {150.0, 0.35, -9.0}};
constexpr Shelf kHighShelfResumed[3] = {{4500.0, 1.2, 20.0}, {6000.0, 0.7, 0.0}, {6000.0, 0.35, -9.0}};

void applyShelf(Biquad (&filters)[2], const Shelf& s) noexcept {
  for (Biquad& f : filters) {
    f.setFrequency(s.frequency);
    f.setQ(s.q);
    f.setGain(s.gainDb);
  }
}

}  // namespace

Engine::Engine() noexcept
    : lowShelf{{44100.0, Biquad::lowShelf, 35.0, 0.35, -15.0}, {44100.0, Biquad::lowShelf, 35.0, 0.35, -15.0}},
      highShelf{{44100.0, Biquad::highShelf, 5500.0, 0.5, 12.0}, {44100.0, Biquad::highShelf, 5500.0, 0.5, 12.0}},
      fastFollower{{44100.0, Biquad::lowpass, 33.333333333333336, 0.5, 0.0},
                   {44100.0, Biquad::lowpass, 33.333333333333336, 0.5, 0.0}},
      slowFollower{{44100.0, Biquad::lowpass, 3.3333333333333335, 0.5, 0.0},
                   {44100.0, Biquad::lowpass, 3.3333333333333335, 0.5, 0.0}},
      vuFilter{{44100.0, Biquad::lowpass, 2.0, 0.583, 0.0}, {44100.0, Biquad::lowpass, 2.0, 0.583, 0.0}} {}

Engine::~Engine() { platform::releaseMemory(memory); }

bool Engine::allocate() noexcept {
  memory = static_cast<double*>(platform::allocateZeroed(sizeof(double) * kMemoryDoubles));
  if (memory == nullptr) return false;
  double* p = memory;
  for (double*& ring : inputRing) ring = p, p += kRingSize;
  for (valdris::HilbertRing& ring : sidechain) ring.attach(p), p += valdris::HilbertRing::kDoubles;
  for (double*& ring : monitorRing) ring = p, p += kRingSize;
  hilbertCoefs = p;
  p += valdris::kHilbertTableSize;
  for (double*& buffer : block) buffer = p, p += kBlockBuffer;
  computeTaps();
  return true;
}

// ---- Derived values ------------------------------------------------------------

// The host's rate as the attack and release times use it; one that is no
// rate at all counts as 44.1 kHz so the coefficients stay finite.
double Engine::timingRate() const noexcept { return hostRate > 0.0 && std::isfinite(hostRate) ? hostRate : 44100.0; }

void Engine::updateAttack() noexcept {
  const double p = rmsOn ? 0.0025000000000000005 : 0.05;  // 95 % of a step, squared when RMS
  attack = 1.0 - std::pow(p, 1.0 / (timingRate() * std::pow(100000.0, clampUnit(attackRaw)) * 0.01 * 0.001));
}

void Engine::updateRelease() noexcept {
  const double p = rmsOn ? 0.0025000000000000005 : 0.05;
  release = 1.0 - std::pow(p, 1.0 / (std::pow(100.0, clampUnit(releaseRaw)) * 0.0333 * timingRate()));
}

void Engine::computeTaps() noexcept {
  taps = static_cast<int>(rate / 1000.0);  // rate is validated: 22 .. 192 taps
  if (hilbertCoefs != nullptr) valdris::fillHilbertCoefficients(hilbertCoefs, taps);
}

void Engine::setShelfRates() noexcept {
  for (Biquad* f : {&lowShelf[0], &lowShelf[1], &highShelf[0], &highShelf[1], &fastFollower[0], &fastFollower[1],
                    &slowFollower[0], &slowFollower[1]}) {
    f->setSampleRate(rate);
    f->reset();
  }
}

void Engine::clearRings() noexcept {
  if (memory == nullptr) return;
  std::memset(memory, 0, sizeof(double) * (kInputDoubles + kHilbertDoubles + kMonitorDoubles));
  std::memset(hilbertCoefs, 0, sizeof(double) * valdris::kHilbertTableSize);
}

void Engine::resetEngine() noexcept {
  if (memory == nullptr) return;
  clearRings();
  for (double* buffer : block) std::memset(buffer, 0, sizeof(double) * kMaxBlock);
  setShelfRates();
  computeTaps();
  updateAttack();
  updateRelease();
}

void Engine::applyResumeShelves() noexcept {
  applyShelf(lowShelf, kLowShelfResumed[lowShelfPosition]);
  applyShelf(highShelf, kHighShelfResumed[highShelfPosition]);
}

void Engine::setParameter(int32_t index, float raw) noexcept {
  switch (index) {
    case kPower: powerOn = switchOn(raw); break;
    case kReset: resetEngine(); break;
    case kSoft: curve.soft = switchOn(raw); break;
    case kRms:
      rmsOn = switchOn(raw);
      updateAttack();
      updateRelease();
      break;
    case kThreshold:
    case kRatio: {
      if (index == kThreshold) {
        thresholdFactor = valdris::thresholdFactor(raw);
      } else {
        const int i = valdris::ratioIndexOf(raw);
        ratioValue = valdris::kRatioTable[i].ratio;
        curve.setInverseRatio(valdris::kRatioTable[i].inverse);
      }
      const double t = 0.55 * thresholdFactor;
      autoMakeup = std::pow(t / std::pow(t, curve.inverseRatio), 0.8);
      break;
    }
    case kAttack: attackRaw = raw; updateAttack(); break;
    case kRelease: releaseRaw = raw; updateRelease(); break;
    case kAutoRelease: autoReleaseOn = switchOn(raw); break;
    case kLowShelfPosition:
      lowShelfPosition = shelfPosition(raw);
      applyShelf(lowShelf, kLowShelfRunning[lowShelfPosition]);
      break;
    case kLowShelfFrequency:
      for (Biquad& f : lowShelf) f.setFrequency(0.7 * valdris::lowShelfHz(raw));
      break;
    case kHighShelfPosition:
      highShelfPosition = shelfPosition(raw);
      applyShelf(highShelf, kHighShelfRunning[highShelfPosition]);
      break;
    case kHighShelfFrequency:
      for (Biquad& f : highShelf) f.setFrequency(1.375 * valdris::highShelfHz(raw));
      break;
    case kMakeup: makeupTarget = valdris::makeupGain(raw); break;
    case kAutoMakeup: autoMakeupOn = switchOn(raw); break;
    case kLink: linked = switchOn(raw); break;
    case kMix: mixTarget = clampUnit(raw); break;
    case kOutput: outputTarget = nimlet::outputGain(raw); break;
    case kMeters: meterMode = clampUnit(raw); break;
    case kSidechainExternal: sidechainExternal = switchOn(raw); break;
    case kSmooth: smoothOn = switchOn(raw); break;
    case kStereo: stereoMode = switchOn(raw); break;
    case kSidechainMonitor: sidechainMonitor = switchOn(raw); break;
    case kVuIntegration:
      vuTime = valdris::vuTimeMs(raw);
      for (Biquad& f : vuFilter) {
        f.setFrequency(700.0 / vuTime);
        f.reset();
      }
      break;
    case kVuReference: vuScale = 1.0 / valdris::vuReference(raw); break;
    case kPpmIntegration: ppmAttackTime = valdris::ppmAttackMs(raw); break;
    case kPpmReturn: ppmReturnTime = valdris::ppmReturnMs(raw); break;
    case kOverIndicator:
      // Whole samples: 9q + 1 of the float step q is a hair off the integer.
      overThreshold = std::floor(valdris::overThresholdSamples(raw) + 0.5);
      break;
    default: break;  // stored only
  }
}

// ---- Lifecycle -----------------------------------------------------------------

void Engine::suspend(double newHostRate) noexcept {
  for (Biquad& f : vuFilter) f.reset();
  feed.reset();
  for (Biquad* f : {&lowShelf[0], &lowShelf[1], &highShelf[0], &highShelf[1], &fastFollower[0], &fastFollower[1],
                    &slowFollower[0], &slowFollower[1]})
    f->reset();
  hostRate = newHostRate;
  // Limited here, replaced in resume.
  rate = std::isnan(newHostRate) ? 44100.0 : std::clamp(newHostRate, 22050.0, 192000.0);
  envelope[0] = envelope[1] = valdris::kEnvelopeFloor;
  // The coefficient table stays empty until resume or a reset through parameter 1.
  clearRings();
  if (memory != nullptr)
    for (double* buffer : block) std::memset(buffer, 0, sizeof(double) * kBlockBuffer);
  makeupGain = makeupTarget;
  outputGain = outputTarget;
  meters.publish(feed);
}

void Engine::resume(double newHostRate) noexcept {
  hostRate = newHostRate;
  rate = newHostRate >= 22050.0 && newHostRate <= 192000.0 ? newHostRate : 44100.0;
  // The VU ballistics follow the host's own rate, not the replaced one.
  for (Biquad& f : vuFilter) f.setSampleRate(timingRate());
  updateAttack();
  updateRelease();
  setShelfRates();
  computeTaps();
  applyResumeShelves();
  makeupGain = makeupTarget;
  outputGain = outputTarget;
}

// ---- Per-sample stages: where this engine differs ------------------------------

// Smooth measures the magnitude of the analytic signal over N taps (the
// shared detector); Draft takes the centre sample itself, sign included, so a
// negative side chain reads below the floor. Both at twice the threshold factor.
valdris::StereoSums Engine::detectorLevels(int newest) const noexcept {
  const double t = thresholdFactor;
  if (smoothOn) {
    const valdris::StereoSums p = valdris::analyticPower(sidechain[0], sidechain[1], newest, taps, hilbertCoefs);
    return {valdris::detectorLevel(valdris::fastMagnitude(p.left), t * 2.0),
            valdris::detectorLevel(valdris::fastMagnitude(p.right), t * 2.0)};
  }
  const int q = (newest - taps) & kRingMask;
  return {0.83 * sidechain[0].at(q) * t * 2.0 + 0.005, 0.83 * sidechain[1].at(q) * t * 2.0 + 0.005};
}

// The compact follower: plain attack, and a release that only the auto
// release speeds up (no auto attack, no classic release). The release factor
// depends only on the followers' outputs a and b.
double Engine::releaseFactor(double a, double b) const noexcept {
  if (!autoReleaseOn) return 1.0;
  if (!(a >= 1e-6)) a = 1e-6;
  if (!(b >= 1e-6)) b = 1e-6;
  const double p = 0.5 * a / b;
  return 0.1 + 2.0 * p / (p + 1.0);
}

void Engine::advanceEnvelope(double& env, double x, double releaseFactor) const noexcept {
  if (x > env) env += (x - env) * attack;
  else env += (x - env) * release * releaseFactor;
}

// Gains of the first `channels` channels for n samples from their detector
// levels: followers and release factors, the envelopes' recursions, then
// the static curve. The channels interleave so their recursions overlap.
template <int channels>
void Engine::gains(const double (*d)[kMaxBlock], int n, double (*gain)[kMaxBlock]) noexcept {
  double x[channels][kMaxBlock], factor[channels][kMaxBlock];
  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < n; ++i) x[c][i] = detectorInput(d[c][i]);
  // The channels' followers are always set together; as a pair when they run alike.
  bool pairedRun = false;
  if constexpr (channels == 2) {
    if (fastFollower[0].runsAlike(fastFollower[1]) && slowFollower[0].runsAlike(slowFollower[1])) {
      dsp::BiquadPair fast, slow;
      fast.load(fastFollower[0], fastFollower[1]);
      slow.load(slowFollower[0], slowFollower[1]);
      for (int i = 0; i < n; ++i) {
        const Two a = fast.runPlain(Two{x[0][i], x[1][i]}), b = slow.runPlain(Two{x[0][i], x[1][i]});
        factor[0][i] = releaseFactor(a[0], b[0]);
        factor[1][i] = releaseFactor(a[1], b[1]);
      }
      fast.store(fastFollower[0], fastFollower[1]);
      slow.store(slowFollower[0], slowFollower[1]);
      pairedRun = true;
    }
  }
  if (!pairedRun) {
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < channels; ++c) {
        const double a = fastFollower[c].runPlain(x[c][i]);
        const double b = slowFollower[c].runPlain(x[c][i]);
        factor[c][i] = releaseFactor(a, b);
      }
    }
  }
  double env[channels];
  for (int c = 0; c < channels; ++c) env[c] = envelope[c];
  for (int i = 0; i < n; ++i) {
    for (int c = 0; c < channels; ++c) {
      advanceEnvelope(env[c], x[c][i], factor[c][i]);
      valdris::floorEnvelope(env[c]);
      gain[c][i] = env[c];
    }
  }
  for (int c = 0; c < channels; ++c) {
    envelope[c] = env[c];
    for (int i = 0; i < n; ++i) gain[c][i] = valdris::envelopeLevel(gain[c][i], rmsOn);
    valdris::curveGains(curve, gain[c], gain[c], n);
  }
}

void Engine::advanceGains() noexcept {
  makeupGain += (makeupTarget - makeupGain) * 0.001 + noiseValue;
  outputGain += (outputTarget - outputGain) * 0.001 + noiseValue;
}

double Engine::outputSample(double w, double monitored, double bypass) const noexcept {
  if (sidechainMonitor) return monitored * outputGain;
  w *= makeupGain;
  if (autoMakeupOn) w *= autoMakeup;
  return powerOn ? w * outputGain : bypass;
}

// Input and output meters. The VU needle follows a lowpass of the rectified
// signal; PPM, over count and holds work as in the mastering compressor.
void Engine::levelMeter(int ch, double s) noexcept {
  feed.vuLevel[ch] = vuFilter[ch].runPlain(s * 1.4142136 * 1.096 * vuScale);
  valdris::updatePeakAndHolds(feed, ch, s, meterCoefs, overThreshold, noiseValue);
}

// Gain-change meter: Mix scales only what is shown; the VU through its lowpass.
void Engine::gainMeter(int ch, double gain) noexcept {
  const double v = valdris::gainMeterValue(gain, mixTarget, false, 1.0);
  feed.vuLevel[ch] = vuFilter[ch].runPlain(v);
  valdris::updateGainPeakAndHolds(feed, ch, v, meterCoefs, ratioValue < 1.0, noiseValue);
}

// ---- Kernels -------------------------------------------------------------------

// In passes over the block: the side-chain filters, the detector (whose sums
// do not depend on each other), the followers and envelopes, the static
// curve, then gains and outputs. Each sample gets the arithmetic of one
// sample at a time; only independent work is reordered, so the short
// recursions no longer wait behind the sums, divisions and powers.
void Engine::stereoBlock(const Channels<float>& io, int32_t first, int n) noexcept {
  const float* source[4] = {io.inL, io.inR, io.scL, io.scR};
  const int offset = taps + 3;  // 1021 - N samples ago
  const bool meterIn = meterSource == valdris::kMeterInput;
  const bool meterGain = meterSource == valdris::kMeterGain;
  double main[2][kMaxBlock], link[2][kMaxBlock], filtered[2][kMaxBlock], noiseAt[kMaxBlock];
  // The channels' shelves are always set together, so they run as pairs;
  // checked per block all the same.
  dsp::BiquadPair lowPair, highPair;
  const bool paired = lowShelf[0].runsAlike(lowShelf[1]) && highShelf[0].runsAlike(highShelf[1]);
  if (paired) {
    lowPair.load(lowShelf[0], lowShelf[1]);
    highPair.load(highShelf[0], highShelf[1]);
  }
  for (int i = 0; i < n; ++i) {
    const int w = inputWrite = (inputWrite + 1) & kRingMask;
    const int r = (w + offset) & kRingMask;
    for (int c = 0; c < 4; ++c) inputRing[c][w] = hostSample(source[c], first + i);
    double mL = inputRing[0][r], mR = inputRing[1][r], sL = inputRing[2][r], sR = inputRing[3][r];
    if (meterIn) {
      levelMeter(0, std::fabs(mL));
      levelMeter(1, std::fabs(mR));
    }
    const double z1 = noise.nextValue(1e-12);
    const double z2 = noise.nextValue(1e-12);
    noiseValue = noiseAt[i] = noise.nextValue(1e-12);
    main[0][i] = mL + z1;
    main[1][i] = mR + z2;
    sL += z1;
    sR += z2;
    double yL, yR;
    if (paired) {
      const Two y = highPair.runGliding(lowPair.runGliding(Two{sL, sR}));
      yL = y[0], yR = y[1];
    } else {
      yL = highShelf[0].runGliding(lowShelf[0].runGliding(sL));
      yR = highShelf[1].runGliding(lowShelf[1].runGliding(sR));
    }
    filtered[0][i] = yL;
    filtered[1][i] = yR;
    link[0][i] = yL;
    link[1][i] = yR;
    if (linked) link[0][i] = link[1][i] = 0.7071 * std::sqrt(yL * yL + yR * yR);
  }
  if (paired) {
    lowPair.store(lowShelf[0], lowShelf[1]);
    highPair.store(highShelf[0], highShelf[1]);
  }

  double d[2][kMaxBlock] = {};  // initialised only to quiet a false warning
  const int s0 = sidechainWrite;
  for (int i = 0; i < n; ++i) {
    const int s = sidechainWrite = (sidechainWrite + 1) & kRingMask;
    sidechain[0].write(s, link[0][i]);
    sidechain[1].write(s, link[1][i]);
    if (sidechainMonitor) {
      monitorRing[0][s] = filtered[0][i];
      monitorRing[1][s] = filtered[1][i];
    }
    const valdris::StereoSums level = detectorLevels(s);
    d[0][i] = level.left;
    d[1][i] = level.right;
  }

  double gain[2][kMaxBlock];
  gains<2>(d, n, gain);

  double* outL = block[0];
  double* outR = block[1];
  for (int i = 0; i < n; ++i) {
    noiseValue = noiseAt[i];
    advanceGains();
    const int q = (s0 + 1 + i - taps) & kRingMask;
    outL[i] = outputSample(main[0][i] * gain[0][i], monitorRing[0][q], main[0][i]);
    outR[i] = outputSample(main[1][i] * gain[1][i], monitorRing[1][q], main[1][i]);
    if (meterGain) {
      gainMeter(0, gain[0][i]);
      gainMeter(1, gain[1][i]);
    }
  }

  const bool meterOut = meterSource == valdris::kMeterOutput;
  for (int i = 0; i < n; ++i) {
    const float l = toFloat(outL[i]);
    const float r = toFloat(outR[i]);
    // With one output buffer for both, the right channel is written last.
    if (io.outL != nullptr) io.outL[first + i] = l;
    if (io.outR != nullptr) io.outR[first + i] = r;
    if (meterOut) {
      levelMeter(0, std::fabs(l));
      levelMeter(1, std::fabs(r));
    }
  }
}

// One channel from the sum of both: one filter pair, one envelope, one gain,
// written to both outputs and both meters.
void Engine::monoBlock(const Channels<float>& io, int32_t first, int n) noexcept {
  const int offset = taps + 3;
  const bool meterIn = meterSource == valdris::kMeterInput;
  const bool meterGain = meterSource == valdris::kMeterGain;
  double main[kMaxBlock], filtered[kMaxBlock], noiseAt[kMaxBlock];
  for (int i = 0; i < n; ++i) {
    const int k = first + i;
    const int w = inputWrite = (inputWrite + 1) & kRingMask;
    const int r = (w + offset) & kRingMask;
    const double mIn = 0.5 * (hostSample(io.inL, k) + hostSample(io.inR, k));
    const double sIn = 0.5 * (hostSample(io.scL, k) + hostSample(io.scR, k));
    inputRing[0][w] = inputRing[1][w] = mIn;
    inputRing[2][w] = inputRing[3][w] = sIn;
    const double m = inputRing[0][r];
    if (meterIn) {
      levelMeter(0, std::fabs(m));
      levelMeter(1, std::fabs(m));
    }
    main[i] = m + noise.nextValue(1e-12);
    noiseValue = noiseAt[i] = noise.nextValue(1e-12);
    filtered[i] = highShelf[0].runGliding(lowShelf[0].runGliding(inputRing[2][r]));
  }

  double d[1][kMaxBlock] = {};  // initialised only to quiet a false warning
  const int s0 = sidechainWrite;
  for (int i = 0; i < n; ++i) {
    const double y = filtered[i];
    const int s = sidechainWrite = (sidechainWrite + 1) & kRingMask;
    sidechain[0].write(s, y);
    sidechain[1].write(s, y);
    if (sidechainMonitor) monitorRing[0][s] = monitorRing[1][s] = y;
    d[0][i] = detectorLevels(s).left;
  }

  double gain[1][kMaxBlock];
  gains<1>(d, n, gain);

  double* out = block[0];
  for (int i = 0; i < n; ++i) {
    noiseValue = noiseAt[i];
    advanceGains();
    out[i] = outputSample(main[i] * gain[0][i], monitorRing[0][(s0 + 1 + i - taps) & kRingMask], main[i]);
    if (meterGain) {
      gainMeter(0, gain[0][i]);
      gainMeter(1, gain[0][i]);
    }
  }

  const bool meterOut = meterSource == valdris::kMeterOutput;
  for (int i = 0; i < n; ++i) {
    const float v = toFloat(out[i]);
    if (io.outL != nullptr) io.outL[first + i] = v;
    if (io.outR != nullptr) io.outR[first + i] = v;
    if (meterOut) {
      levelMeter(0, std::fabs(v));
      levelMeter(1, std::fabs(v));
    }
  }
}

void Engine::process(const Channels<float>& io, int32_t frames) noexcept {
  if (meters.clearRequested()) feed.clearReadings();
  if (frames > 0 && memory != nullptr) {
    meterSource = valdris::meterSourceOf(meterMode);
    meterCoefs = valdris::meterCoefficients(meterSource, rate, vuTime, ppmAttackTime, ppmReturnTime);
    for (int32_t first = 0; first < frames; first += kMaxBlock) {
      const int n = static_cast<int>(std::min<int32_t>(kMaxBlock, frames - first));
      if (stereoMode) stereoBlock(io, first, n);
      else monoBlock(io, first, n);
    }
    valdris::ageHolds(feed, frames);
  }
  valdris::checkOvers(feed, overThreshold);
  meters.publish(feed);
}

}  // namespace orv::nimlet
