#include "tests/reference/valdris_reference.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "valdris/parameters.h"

namespace orv::reference {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 64;

// Biquad types used by the engine.
constexpr int kLowShelf = 3;
constexpr int kPeaking = 4;
constexpr int kHighShelf = 7;
constexpr int kLowpass = 8;

double substituteRate(double rate) { return (rate >= 20000.0 && rate <= 200000.0) ? rate : 44100.0; }

}  // namespace

// ---------------------------------------------------------------- noise

uint32_t RefNoise::next() {
  s1 = ((((s1 >> 9) ^ s1) >> 6) & 0x1FFFu) ^ (s1 << 13);
  s2 = ((((s2 >> 2) ^ s2) >> 7) & 0xFFFFFu) ^ (s2 << 20);
  s3 = ((((s3 >> 6) ^ s3) >> 8) & 0x1FFFFu) ^ (s3 << 17);
  return s1 ^ s2 ^ s3;
}

double RefNoise::value(double amplitude) {
  const double u = static_cast<double>(next());
  return (2.0 * u * 2.3283064365e-10 - 1.0) * amplitude;
}

// ---------------------------------------------------------------- biquad

RefBiquad::RefBiquad(double sampleRate, int type, double frequency, double q, double gainDb)
    : sampleRate_(sampleRate), frequency_(frequency), q_(q), gainDb_(gainDb), type_(type) {
  glide_ = substituteRate(sampleRate) > 50000.0 ? 0.0001 : 0.001;
  noise_ = 1e-13;
  design();
}

void RefBiquad::setSampleRate(double rate) {
  sampleRate_ = rate;
  const double r = substituteRate(rate);
  glide_ = r > 50000.0 ? 0.00035 : 0.001;
  frequency_ = std::min(frequency_, 0.499 * r);
  design();
}

void RefBiquad::setType(int type) {
  x0_ = x1_ = x2_ = y0_ = y1_ = y2_ = 0.0;
  type_ = type;
  design();
}

void RefBiquad::setFrequency(double f) {
  frequency_ = f;
  design();
}

void RefBiquad::setQ(double q) {
  q_ = q;
  design();
}

void RefBiquad::setGain(double dB) {
  gainDb_ = dB;
  design();
}

void RefBiquad::reset() {
  ca0_ = ta0_, ca1_ = ta1_, ca2_ = ta2_, cb0_ = tb0_, cb1_ = tb1_, cb2_ = tb2_;
  x0_ = x1_ = x2_ = y0_ = y1_ = y2_ = 0.0;
}

void RefBiquad::design() {
  const double fs = sampleRate_;
  const double f = std::min(frequency_, 0.499 * fs);
  frequency_ = f;
  const double w = 2.0 * kPi * f / fs;
  const double cs = std::cos(w);
  const double sn = std::sin(w);
  const double A = std::pow(10.0, gainDb_ / 40.0);
  auto c = [&](double e, double h) { return 1.0 - std::pow(f / (fs * h), e); };
  double a0, a1, a2, b0, b1, b2;
  switch (type_) {
    case kLowShelf: {
      const double beta = std::sqrt(A) * sn / (q_ * c(3.0, 0.5001));
      a0 = (A + 1) + (A - 1) * cs + beta;
      a1 = -2 * ((A - 1) + (A + 1) * cs);
      a2 = (A + 1) + (A - 1) * cs - beta;
      b0 = A * ((A + 1) - (A - 1) * cs + beta);
      b1 = 2 * A * ((A - 1) - (A + 1) * cs);
      b2 = A * ((A + 1) - (A - 1) * cs - beta);
      break;
    }
    case kPeaking: {
      const double alpha = sn / (2 * q_ * c(2.8, 0.5001));
      a0 = 1 + alpha / A;
      a1 = -2 * cs;
      a2 = 1 - alpha / A;
      b0 = 1 + alpha * A;
      b1 = -2 * cs;
      b2 = 1 - alpha * A;
      break;
    }
    case kHighShelf: {
      const double beta = std::sqrt(A) * sn / (q_ * c(3.0, 0.5001));
      a0 = (A + 1) - (A - 1) * cs + beta;
      a1 = 2 * ((A - 1) - (A + 1) * cs);
      a2 = (A + 1) - (A - 1) * cs - beta;
      b0 = A * ((A + 1) + (A - 1) * cs + beta);
      b1 = -2 * A * ((A - 1) + (A + 1) * cs);
      b2 = A * ((A + 1) + (A - 1) * cs - beta);
      break;
    }
    case kLowpass: {
      const double alpha = sn / (2 * q_ * c(8.0, 0.50001));
      a0 = 1 + alpha;
      a1 = -2 * cs;
      a2 = 1 - alpha;
      b0 = (1 - cs) / 2;
      b1 = 1 - cs;
      b2 = (1 - cs) / 2;
      noise_ = 1e-13;
      break;
    }
    default:  // the engine uses no other type
      ta0_ = ta1_ = ta2_ = tb0_ = tb1_ = tb2_ = 1.0;
      return;
  }
  ta0_ = a0;
  ta1_ = a1 / a0;
  ta2_ = a2 / a0;
  tb0_ = b0 / a0;
  tb1_ = b1 / a0;
  tb2_ = b2 / a0;
}

double RefBiquad::runGliding(double x) {
  if (type_ == 0) return x;
  noise_ = gen_.value(1e-13);
  const double xn = x + noise_;
  x0_ = xn;
  cb0_ += (tb0_ - cb0_) * glide_ + noise_;
  cb1_ += (tb1_ - cb1_) * glide_ + noise_;
  cb2_ += (tb2_ - cb2_) * glide_ + noise_;
  ca1_ += (ta1_ - ca1_) * glide_ + noise_;
  ca2_ += (ta2_ - ca2_) * glide_ + noise_;
  const double y = cb0_ * xn + cb1_ * x1_ + cb2_ * x2_ - ca1_ * y1_ - ca2_ * y2_;
  y0_ = y;
  y2_ = y1_;
  y1_ = y + noise_;
  x2_ = x1_;
  x1_ = xn;
  return y;
}

double RefBiquad::runPlain(double x) {
  if (type_ == 0) return x;
  noise_ = -noise_;
  const double xn = x + noise_;
  x0_ = xn;
  const double y = tb0_ * xn + tb1_ * x1_ + tb2_ * x2_ - ta1_ * y1_ - ta2_ * y2_;
  y0_ = y;
  y2_ = y1_;
  y1_ = y + noise_;
  x2_ = x1_;
  x1_ = xn;
  return y;
}

// ---------------------------------------------------------------- resampler

RefResampler::RefResampler() {
  for (int i = 0; i < 128; ++i) {
    const double k = i == 0 ? 0.5 : std::sin(kPi * i / 2.0) / (256.0 * std::sin(kPi * i / 255.0));
    double a = 2.0 * k * (0.42 + 0.5 * std::cos(2.0 * kPi * i / 255.0) + 0.08 * std::cos(4.0 * kPi * i / 255.0));
    double b = k * (0.5 + 0.5 * std::cos(2.0 * kPi * i / 255.0));
    if (std::fabs(a) < 1e-16) a = 0.0;
    if (std::fabs(b) < 1e-16) b = 0.0;
    a_[i] = a;
    b_[i] = b;
  }
}

void RefResampler::reset() {
  before_.clear();
  after_.clear();
}

// The sums run over x[t-128..t-1] (and u[2t-256..2t-2] when decimating), all
// from the history: a 256-entry ring that has just taken the newest sample
// would hold it where the oldest one was. The outermost taps are about 1e-7.
void RefResampler::interpolate(double* buf, int n) {
  double tmp[2 * kBlock];
  for (int i = 0; i < n; ++i) {
    before_.push_back(buf[i]);
    const int64_t t = static_cast<int64_t>(before_.size()) - 1;
    double interp = 0.0;
    for (int m = 0; m < 64; ++m) interp += a_[2 * m + 1] * (in(t - 64 + m) + in(t - 65 - m));
    tmp[2 * i] = interp;
    tmp[2 * i + 1] = a_[0] * in(t - 64);
  }
  std::memcpy(buf, tmp, sizeof(double) * 2 * static_cast<size_t>(n));
}

void RefResampler::decimate(double* buf, int n2) {
  const int n = n2 / 2;
  for (int i = 0; i < n; ++i) {
    after_.push_back(buf[2 * i]);
    const int64_t t2 = static_cast<int64_t>(after_.size()) - 1;  // 2t
    const int64_t c = t2 - 129;
    double y = b_[0] * out(c);
    for (int m = 0; m < 64; ++m) y += b_[2 * m + 1] * (out(c + (2 * m + 1)) + out(c - (2 * m + 1)));
    after_.push_back(buf[2 * i + 1]);
    buf[i] = y;
  }
}

void RefResampler::delayBefore(double* buf, int n) {
  for (int i = 0; i < n; ++i) {
    before_.push_back(buf[i]);
    buf[i] = in(static_cast<int64_t>(before_.size()) - 1 - 64);
  }
}

void RefResampler::delayAfter(double* buf, int n) {
  for (int i = 0; i < n; ++i) {
    after_.push_back(buf[i]);
    buf[i] = out(static_cast<int64_t>(after_.size()) - 1 - 64);
  }
}

// ---------------------------------------------------------------- engine

ValdrisReference::ValdrisReference(const ReferencePins& pins)
    : pins_(pins),
      lowShelf_{RefBiquad(44100, kLowShelf, 35, 0.35, -15), RefBiquad(44100, kLowShelf, 35, 0.35, -15)},
      highShelf_{RefBiquad(44100, kHighShelf, 5500, 0.5, 12), RefBiquad(44100, kHighShelf, 5500, 0.5, 12)},
      link_{RefBiquad(44100, kPeaking, 700, 0.3, 12), RefBiquad(44100, kPeaking, 700, 0.3, 12)},
      fast_{RefBiquad(44100, kLowpass, 200, 0.5, 0), RefBiquad(44100, kLowpass, 200, 0.5, 0)},
      slow_{RefBiquad(44100, kLowpass, 20, 0.5, 0), RefBiquad(44100, kLowpass, 20, 0.5, 0)},
      limiterFast_(44100, kLowpass, 200, 0.5, 0),
      limiterSlow_(44100, kLowpass, 20, 0.5, 0) {
  for (auto& r : inputRing_) r.assign(1024, 0.0);
  for (auto& r : delayRing_) r.assign(1024, 0.0);
  for (auto& r : sidechainRing_) r.assign(1024, 0.0);
  for (auto& r : limiterRing_) r.assign(512, 0.0);
  peakRing_.assign(512, 0.0);
  for (int i = 0; i < 1000; ++i) classicTable_[i] = static_cast<float>(std::pow(static_cast<double>(i), 0.05));
  sr_ = 44100.0;
  computeTaps();
  setSidechainFilterRate();
  resetResamplers();
  lookahead_ = static_cast<int>(sr_ * 0.001 * 1.4);
  limiterAttackCoef_ = 1.0 - std::pow(0.05, 1.0 / lookahead_);
  limiterReleaseCoef_ = 1.0 - std::pow(0.05, 1.0 / (lookahead_ * 3.3 * 16 * 1.7));
  limiterWrite_ = 511;
  limiterRead_ = (511 - lookahead_ - 1) & 511;
}

void ValdrisReference::computeTaps() {
  const double s = std::trunc(sr_);
  const int smooth = smoothOn_ ? 1 : 0;
  if (!fatOn_) {
    taps_ = static_cast<int>((smooth + 1) * s / 800.0);
    gainDelay_ = taps_;
  } else if (smoothOn_) {
    taps_ = static_cast<int>(2.0 * s / 400.0);
    gainDelay_ = taps_;
  } else {
    taps_ = static_cast<int>(s / 800.0);
    gainDelay_ = static_cast<int>(s / 400.0);
  }
  std::fill(std::begin(hilbert_), std::end(hilbert_), 0.0);
  for (int j = 0; j < taps_; ++j) hilbert_[j] = 2.0 / ((2 * j + 1) * kPi);
}

void ValdrisReference::computeEnvelopeCoefs() {
  const double base = rmsOn_ ? 0.0025 : 0.05;
  const double ta = valdris::attackMs(raw_[valdris::kAttack]) * 0.001;
  const double tr = valdris::releaseSeconds(raw_[valdris::kRelease]);
  attackCoef_ = 1.0 - std::pow(base, 1.0 / (ta * rate()));
  releaseCoef_ = 1.0 - std::pow(base, 1.0 / (tr * rate()));
}

void ValdrisReference::setSidechainFilterRate() {
  const double r = (fatOn_ && smoothOn_) ? 2.0 * sr_ : sr_;
  for (int ch = 0; ch < 2; ++ch) {
    for (RefBiquad* f : {&lowShelf_[ch], &highShelf_[ch], &link_[ch]}) {
      f->setSampleRate(r);
      f->reset();
    }
  }
}

void ValdrisReference::setFollowerRate(bool resetThem) {
  for (int ch = 0; ch < 2; ++ch) {
    fast_[ch].setSampleRate(rate());
    slow_[ch].setSampleRate(rate());
    if (resetThem) {
      fast_[ch].reset();
      slow_[ch].reset();
    }
  }
}

void ValdrisReference::configureLinkFilters() {
  int type = kPeaking;
  double f = 700.0, q = 0.01;
  if (linkHighCut_ && !linkLowCut_) type = kLowShelf, f = 7000.0, q = 0.45;
  if (!linkHighCut_ && linkLowCut_) type = kHighShelf, f = 100.0, q = 0.45;
  if (linkHighCut_ && linkLowCut_) type = kPeaking, f = 1000.0, q = 0.1;
  for (auto& l : link_) {
    l.setType(type);
    l.setFrequency(f);
    l.setQ(q);
    l.setGain(12.0);
    l.reset();
  }
}

void ValdrisReference::resetResamplers() {
  for (auto& r : resampler_) r.reset();
  // The block buffers are refilled before every use, so clearing them
  // changes nothing here.
}

void ValdrisReference::applyTilt() {
  const double t = valdris::clampUnit(raw_[valdris::kTilt]);
  const double a = 0.5 * std::pow(4.0, 1.0 - t);
  const double b = 0.5 * std::pow(4.0, t);
  if (ratioIndex_ >= 6) {
    balanceLeft_ = b;
    balanceRight_ = a;
  } else {
    balanceLeft_ = a;
    balanceRight_ = b;
  }
}

void ValdrisReference::setParameter(int32_t index, float value) {
  using namespace valdris;
  if (index < 0 || index >= kNumParams || index == kGap) return;
  raw_[index] = value;
  switch (index) {
    case kPower: powerOn_ = switchOn(value); break;
    case kFat:
      fatOn_ = switchOn(value);
      resetResamplers();
      computeTaps();
      setSidechainFilterRate();
      computeEnvelopeCoefs();
      setFollowerRate(true);
      break;
    case kSoft: softKnee_ = switchOn(value); break;
    case kRms:
      rmsOn_ = switchOn(value);
      computeEnvelopeCoefs();
      break;
    case kLimiter: limiterOn_ = switchOn(value); break;
    case kThreshold:
    case kRatio: {
      if (index == kThreshold) {
        threshold_ = thresholdFactor(value);
      } else {
        ratioIndex_ = ratioIndexOf(value);
        ratio_ = kRatioTable[ratioIndex_].ratio;
        inverseRatio_ = kRatioTable[ratioIndex_].inverse;
        knee_[2] = std::pow(1.5, inverseRatio_);
        knee_[3] = std::pow(2.5, inverseRatio_);
        applyTilt();
      }
      const double x = 0.55 * threshold_;
      autoMakeupGain_ = std::pow(x / std::pow(x, inverseRatio_), 0.8);
      break;
    }
    case kAttack:
    case kRelease: computeEnvelopeCoefs(); break;
    case kAutoAttack: autoAttack_ = switchOn(value); break;
    case kAutoRelease: autoRelease_ = switchOn(value); break;
    case kMakeup: makeupTarget_ = makeupGain(value); break;
    case kAutoMakeup: autoMakeupOn_ = switchOn(value); break;
    case kHighShelfBoost:
      highShelfBoost_ = switchOn(value);
      for (auto& f : highShelf_) {
        f.setQ(highShelfBoost_ ? 0.5 : 0.35);
        f.setGain(highShelfBoost_ ? 12.0 : -15.0);
      }
      break;
    case kHigh:
      for (auto& f : highShelf_) f.setFrequency(1.375 * highShelfHz(value));
      break;
    case kLowShelfBoost:
      lowShelfBoost_ = switchOn(value);
      for (auto& f : lowShelf_) {
        f.setQ(lowShelfBoost_ ? 0.5 : 0.35);
        f.setGain(lowShelfBoost_ ? 12.0 : -15.0);
      }
      break;
    case kLow:
      for (auto& f : lowShelf_) f.setFrequency(0.7 * lowShelfHz(value));
      break;
    case kLinkHighCut:
      linkHighCut_ = switchOn(value);
      configureLinkFilters();
      break;
    case kLinkLowCut:
      linkLowCut_ = switchOn(value);
      configureLinkFilters();
      break;
    case kLink: linkAmount_ = std::pow(clampUnit(value), 1.4); break;
    case kTilt: applyTilt(); break;
    case kMix: mixTarget_ = clampUnit(value); break;
    case kOutput: outputTarget_ = outputGain(value); break;
    case kMeters: meterRaw_ = clampUnit(value); break;
    case kClassic: classicOn_ = switchOn(value); break;
    case kSidechainExternal: sidechainExternal_ = switchOn(value); break;
    case kSmooth:
      smoothOn_ = switchOn(value);
      resetResamplers();
      computeTaps();
      setSidechainFilterRate();
      break;
    case kSidechainMonitor: sidechainMonitor_ = switchOn(value); break;
    case kVuIntegration: vuTime_ = vuTimeMs(value); break;
    case kVuReference: vuScale_ = 1.0 / vuReference(value); break;
    case kPpmIntegration: ppmAttackTime_ = ppmAttackMs(value); break;
    case kPpmReturn: ppmReturnTime_ = ppmReturnMs(value); break;
    case kOverIndicator:
      // A whole number of samples (1..10): 9q + 1 from the float q = 2/9 is
      // 3.0000000149, which must still mean "3 samples".
      overThreshold_ = std::round(overThresholdSamples(overIndicatorStep(value)));
      break;
    default: break;  // spare values are only stored
  }
}

void ValdrisReference::suspend() {
  meter_ = ReferenceMeterFeed{};
  meter_.overLamp[0] = meter_.overLamp[1] = 0.01;
  std::fill(std::begin(sampleDelay_), std::end(sampleDelay_), 0.0);
  for (auto& r : inputRing_) std::fill(r.begin(), r.end(), 0.0);
  for (auto& r : delayRing_) std::fill(r.begin(), r.end(), 0.0);
  for (auto& r : sidechainRing_) std::fill(r.begin(), r.end(), 0.0);
  std::fill(std::begin(hilbert_), std::end(hilbert_), 0.0);
  for (auto& r : limiterRing_) std::fill(r.begin(), r.end(), 0.0);
  std::fill(peakRing_.begin(), peakRing_.end(), 0.0);
  limiterEnvelope_ = 0.0001;
  limiterGain_ = 1.0;
  envelope_[0] = envelope_[1] = 0.0001;
  configureLinkFilters();
  for (int ch = 0; ch < 2; ++ch) {
    for (RefBiquad* f : {&fast_[ch], &slow_[ch], &lowShelf_[ch], &highShelf_[ch]}) {
      f->recompute();
      f->reset();
    }
  }
  // The limiter followers count as limiter state, which suspend clears.
  for (RefBiquad* f : {&limiterFast_, &limiterSlow_}) {
    f->recompute();
    f->reset();
  }
  sr_ = std::clamp(hostRate_, 22050.0, 192000.0);
  makeupGain_ = makeupTarget_;
  outputGain_ = outputTarget_;
  mixAmount_ = mixTarget_;
}

void ValdrisReference::resume() {
  sr_ = (hostRate_ < 22050.0 || hostRate_ > 192000.0) ? 44100.0 : hostRate_;
  lookahead_ = static_cast<int>(sr_ * 0.001 * 1.4);
  limiterAttackCoef_ = 1.0 - std::pow(0.05, 1.0 / lookahead_);
  limiterReleaseCoef_ = 1.0 - std::pow(0.05, 1.0 / (lookahead_ * 3.3 * 16 * 1.7));
  limiterWrite_ = 511;
  limiterRead_ = (511 - lookahead_ - 1) & 511;
  setFollowerRate(false);
  limiterFast_.setSampleRate(sr_);
  limiterSlow_.setSampleRate(sr_);
  resetResamplers();
  computeTaps();
  setSidechainFilterRate();
  computeEnvelopeCoefs();
}

double ValdrisReference::drawNoise() { return noise_.value(1e-12); }

void ValdrisReference::detectorStep(double& mainL, double& mainR, double scL, double scR, bool exact, double* d,
                                    double* y) {
  const double z1 = drawNoise();
  const double z2 = drawNoise();
  const double z3 = drawNoise();
  noiseValue_ = z3;
  mainL += z1;
  mainR += z2;
  const double x[2] = {(scL + z1) * balanceLeft_, (scR + z2) * balanceRight_};
  double l[2], s[2];
  for (int ch = 0; ch < 2; ++ch) {
    y[ch] = highShelf_[ch].runGliding(lowShelf_[ch].runGliding(x[ch]));
    l[ch] = 0.25 * link_[ch].runPlain(y[ch]);
  }
  const double M = 0.7071 * (l[0] + l[1]);
  for (int ch = 0; ch < 2; ++ch) s[ch] = y[ch] + linkAmount_ * (M - l[ch]);
  sidechainWrite_ = (sidechainWrite_ + 1) & 1023;
  sidechainRing_[0][sidechainWrite_] = s[0];
  sidechainRing_[1][sidechainWrite_] = s[1];
  const int q = sidechainWrite_ - taps_;
  for (int ch = 0; ch < 2; ++ch) {
    const std::vector<double>& ring = sidechainRing_[ch];
    double acc = 0.0;
    for (int j = 0; j < taps_; ++j) acc += hilbert_[j] * (ring[(q + 1 + 2 * j) & 1023] - ring[(q - 1 - 2 * j) & 1023]);
    const double centre = ring[q & 1023];
    const double P = centre * centre + acc * acc;
    double m;
    if (exact) {
      m = std::sqrt(P);
    } else {
      const float p = static_cast<float>(P);
      const float half = 0.5f * p;
      int32_t i;
      std::memcpy(&i, &p, 4);
      i = 0x5F3759DF - (i >> 1);
      float yy;
      std::memcpy(&yy, &i, 4);
      yy = yy * (1.5f - half * yy * yy);
      yy = yy * (1.5f - half * yy * yy);
      m = static_cast<double>(p * yy);
    }
    d[ch] = m * 1.4142 * 0.582 * 1.005773063 * threshold_ + 0.005;
    lastDetector_[ch] = d[ch];
  }
}

void ValdrisReference::gainStep(const double* d, bool exactClassic, double* gain) {
  for (int ch = 0; ch < 2; ++ch) {
    const double x = rmsOn_ ? d[ch] * d[ch] : d[ch];
    const double a = std::max(fast_[ch].runPlain(x), 1e-6);
    const double b = std::max(slow_[ch].runPlain(x), 1e-6);
    double fa = 1.0, fr = 1.0;
    if (autoAttack_) {
      const double q = 0.1 * a / b;
      fa = 0.1 + 2 * q / (q + 1);
    }
    if (autoRelease_) {
      const double p = 0.15 * a / b;
      fr = 0.1 + 2 * p / (p + 1);
    }
    double& env = envelope_[ch];
    if (!classicOn_) {
      if (x > env) {
        env += (x - env) * attackCoef_ * fa;
      } else {
        env += (x - env) * releaseCoef_ * fr;
      }
    } else {
      if (x > env) env += (x - env) * attackCoef_ * fa;
      const double v = (3 + a) / (1.2 * a);
      double e;
      if (exactClassic) {
        e = std::pow(v, 0.05);
      } else {
        const double i = std::clamp(std::floor(v + 0.5), 0.0, 999.0);
        e = classicTable_[static_cast<int>(i)];
      }
      const double g0 = rmsOn_ ? 0.5 : 0.4;
      const double target = g0 + (1 - g0) * x;
      env += (target - env) * std::pow(releaseCoef_, e) * fr;
    }
  }
  for (double& env : envelope_) env = std::max(env, 0.0001);
  for (int ch = 0; ch < 2; ++ch) {
    const double L = rmsOn_ ? std::sqrt(envelope_[ch]) : envelope_[ch];
    double G;
    if (!softKnee_) {
      G = L > 1 ? std::pow(L, inverseRatio_) : L;
    } else if (L <= 0.5) {
      G = L;
    } else if (L >= 1.5) {
      G = std::pow(L, inverseRatio_);
    } else {
      const double u = L - 0.5;
      const double p0 = knee_[0], p1 = knee_[1], p2 = knee_[2], p3 = knee_[3];
      G = p1 + 0.5 * (p2 - p0) * u + (p0 - 2.5 * p1 + 2 * p2 - 0.5 * p3) * u * u +
          (-0.5 * p0 + 1.5 * p1 - 1.5 * p2 + 0.5 * p3) * u * u * u;
    }
    gain[ch] = G / (L + 1e-6);
  }
}

// One sample of the gain and output stage. d: detector levels (already zero
// while monitoring in the plain and oversampled kernels); monitor: what the
// dry rings take while monitoring.
void ValdrisReference::gainAndOutput(Kernel kernel, double mainL, double mainR, const double* d,
                                     const double* monitor, double* outL, double* outR) {
  double g[2];
  gainStep(d, kernel == Kernel::Smooth, g);
  int pos, lag;
  if (kernel == Kernel::Smooth) {
    pos = sidechainWrite_;
    lag = taps_;
  } else {
    delayWrite_ = (delayWrite_ + 1) & 1023;
    pos = delayWrite_;
    lag = gainDelay_;
  }
  delayRing_[0][pos] = mainL;
  delayRing_[1][pos] = mainR;
  delayRing_[2][pos] = sidechainMonitor_ ? monitor[0] : mainL;
  delayRing_[3][pos] = sidechainMonitor_ ? monitor[1] : mainR;
  const int rd = (pos - lag) & 1023;
  const double main[2] = {delayRing_[0][rd], delayRing_[1][rd]};
  const double dry[2] = {delayRing_[2][rd], delayRing_[3][rd]};
  double w[2] = {main[0] * g[0], main[1] * g[1]};
  makeupGain_ += (makeupTarget_ - makeupGain_) * 0.001 + noiseValue_;
  outputGain_ += (outputTarget_ - outputGain_) * 0.001 + noiseValue_;
  mixAmount_ += (mixTarget_ - mixAmount_) * 0.001 + noiseValue_;
  double out[2];
  for (int ch = 0; ch < 2; ++ch) {
    w[ch] *= makeupGain_;
    if (autoMakeupOn_) w[ch] *= autoMakeupGain_;
    if (sidechainMonitor_) {
      out[ch] = dry[ch] * outputGain_;
    } else if (powerOn_) {
      out[ch] = (dry[ch] + (w[ch] - dry[ch]) * mixAmount_) * outputGain_;
    } else {
      out[ch] = dry[ch];
    }
  }
  *outL = out[0];
  *outR = out[1];
  if (meterMode_ == 1) {
    gainMeter(0, g[0]);
    gainMeter(1, g[1]);
  }
}

void ValdrisReference::levelMeter(int ch, double s) {
  ReferenceMeterFeed& m = meter_;
  m.vuLevel[ch] += (s * 1.096 * 1.4142136 * vuScale_ - m.vuLevel[ch]) * cVU_ + noiseValue_;
  m.ppmLevel[ch] += (s - m.ppmLevel[ch]) * (s > m.ppmLevel[ch] ? cPA_ : cPR_) + noiseValue_;
  if (s >= 1.0) {
    m.overCount[ch] += 1;
  } else if (m.overCount[ch] < overThreshold_) {
    m.overCount[ch] = 0;
  }
  if (m.ppmLevel[ch] > m.ppmHold[ch]) {
    m.ppmHold[ch] = m.ppmLevel[ch];
    m.ppmHoldAge[ch] = 0;
  }
  if (m.vuLevel[ch] > m.vuHold[ch]) {
    m.vuHold[ch] = m.vuLevel[ch];
    m.vuHoldAge[ch] = 0;
  }
}

void ValdrisReference::gainMeter(int ch, double g) {
  ReferenceMeterFeed& m = meter_;
  double v = 1 + (std::fabs(0.98 * g) - 1) * mixTarget_;
  if (limiterOn_) v *= limiterGain_;
  m.vuLevel[ch] += (v - m.vuLevel[ch]) * cVU_ + noiseValue_;
  double k;
  if (ratioIndex_ >= 6) {
    k = m.ppmLevel[ch] > v ? cPA_ : cPR_;
  } else {
    k = v > m.ppmLevel[ch] ? cPA_ : cPR_;
  }
  m.ppmLevel[ch] += (v - m.ppmLevel[ch]) * k + noiseValue_;
  auto hold = [](double x, double& h, int32_t& age) {
    if (x > 1 && x > h) {
      h = x;
      age = 0;
    } else if (x < h && x > 0.01) {
      h = x;
      age = 0;
    }
  };
  hold(m.ppmLevel[ch], m.ppmHold[ch], m.ppmHoldAge[ch]);
  hold(m.vuLevel[ch], m.vuHold[ch], m.vuHoldAge[ch]);
}

void ValdrisReference::limiterStep(double sL, double sR, double* outL, double* outR) {
  const int w = limiterWrite_, r = limiterRead_;
  limiterRing_[0][w] = sL;
  limiterRing_[1][w] = sR;
  if (limiterOn_) {
    const double pk = std::max(std::fabs(sL * 1.005773063), std::fabs(sR * 1.005773063)) + 0.011;
    peakRing_[w] = pk;
    int p = (w - 1) & 511;
    while (p != r && pk > peakRing_[p]) {
      peakRing_[p] = pk;
      p = (p - 1) & 511;
    }
    if (pk > peakRing_[r]) peakRing_[r] = pk;
    const double P = peakRing_[r] + 0.0009766 + noiseValue_;
    peakRing_[r] = 0.0;
    const double a = limiterFast_.runPlain(P);
    const double b = limiterSlow_.runPlain(P);
    if (P > limiterEnvelope_) {
      limiterEnvelope_ += (P - limiterEnvelope_) * limiterAttackCoef_;
    } else {
      const double q = 0.2 * a / b;
      limiterEnvelope_ += (P - limiterEnvelope_) * limiterReleaseCoef_ * (0.1 + 4 * q / (q + 1));
    }
    limiterGain_ = limiterEnvelope_ > 1 ? 1 / limiterEnvelope_ : 1.0;
    for (auto& ring : limiterRing_) ring[r] = std::clamp(ring[r] * 0.999 * limiterGain_, -0.999, 0.999);
  }
  limiterWrite_ = (limiterWrite_ + 1) & 511;
  limiterRead_ = (limiterRead_ + 1) & 511;
  *outL = limiterRing_[0][limiterWrite_];
  *outR = limiterRing_[1][limiterWrite_];
}

void ValdrisReference::process(const double* const* inputs, double* const* outputs, int32_t frames) {
  const ReferencePins& p = pins_;
  if (frames > 0) {
    // Source selection.
    const double* inL = inputs[0];
    const double* inR = (p.inputConnected[1] && inputs[1] != nullptr && p.stereoInput) ? inputs[1] : inL;
    double* outL = outputs[0];
    double* outR = (p.outputConnected[1] && outputs[1] != nullptr && p.stereoOutput) ? outputs[1] : outL;
    const bool sc2 = p.inputConnected[2] && inputs[2] != nullptr && p.fourInputs;
    const bool sc3 = p.inputConnected[3] && inputs[3] != nullptr && p.fourInputs;
    const double* scL = sc2 ? inputs[2] : inL;
    const double* scR = sc3 ? inputs[3] : (sc2 ? inputs[2] : inR);
    if (!sidechainExternal_) {
      scL = inL;
      scR = inR;
    }
    const double* src[4] = {inL, inR, scL, scR};

    // Per-call meter coefficients.
    meterMode_ = static_cast<int>(2.0 * meterRaw_ + 0.5);
    const double meterRate = meterMode_ == 2 ? sr_ : 2.0 * sr_;
    cVU_ = 1.0 - std::pow(0.1091012, 1.0 / (meterRate * vuTime_ * 0.001));
    cPA_ = ppmAttackTime_ > 0.05 ? 1.0 - std::pow(0.01, 1.0 / (ppmAttackTime_ * meterRate * 0.001)) : 1.0;
    cPR_ = 1.0 - std::pow(0.0625, 1.0 / (ppmReturnTime_ * meterRate * 0.001));

    const Kernel kernel = smoothOn_ ? Kernel::Smooth : (fatOn_ ? Kernel::Fat : Kernel::Plain);
    int offset;
    if (kernel == Kernel::Fat) {
      offset = taps_ + 5;
    } else if (kernel == Kernel::Smooth && fatOn_) {
      offset = taps_ / 2 + 5;
    } else {
      offset = taps_ + 3;
    }

    double buf[4][2 * kBlock];
    double outBuf[2][2 * kBlock];
    for (int32_t start = 0; start < frames; start += kBlock) {
      const int n = std::min<int32_t>(kBlock, frames - start);

      // Input stage.
      for (int i = 0; i < n; ++i) {
        inputWrite_ = (inputWrite_ + 1) & 1023;
        for (int k = 0; k < 4; ++k) {
          const double x = src[k][start + i];
          inputRing_[k][inputWrite_] = std::isfinite(x) ? x : 0.0;
        }
        const int rd = (inputWrite_ + offset) & 1023;
        for (int k = 0; k < 4; ++k) buf[k][i] = inputRing_[k][rd];
        if (meterMode_ == 0) {
          levelMeter(0, std::fabs(buf[0][i]));
          levelMeter(1, std::fabs(buf[1][i]));
        }
      }

      auto oneSampleDelay = [&]() {
        for (int k = 0; k < 4; ++k) {
          const double last = buf[k][n - 1];
          for (int i = n - 1; i > 0; --i) buf[k][i] = buf[k][i - 1];
          buf[k][0] = sampleDelay_[k];
          sampleDelay_[k] = last;
        }
      };
      // Detector over the block at the base rate: the side-chain buffers
      // take the levels, or the filtered side-chain while monitoring.
      auto detectBlock = [&]() {
        for (int i = 0; i < n; ++i) {
          double d[2], y[2];
          detectorStep(buf[0][i], buf[1][i], buf[2][i], buf[3][i], false, d, y);
          buf[2][i] = sidechainMonitor_ ? y[0] : d[0];
          buf[3][i] = sidechainMonitor_ ? y[1] : d[1];
        }
      };
      auto gainBlock = [&](int len) {
        for (int i = 0; i < len; ++i) {
          const double sc[2] = {buf[2][i], buf[3][i]};
          const double zero[2] = {0.0, 0.0};
          gainAndOutput(kernel, buf[0][i], buf[1][i], sidechainMonitor_ ? zero : sc, sc, &outBuf[0][i],
                        &outBuf[1][i]);
        }
      };

      if (kernel == Kernel::Plain) {
        std::fill(std::begin(sampleDelay_), std::end(sampleDelay_), 0.0);
        detectBlock();
        for (int k = 0; k < 4; ++k) resampler_[k].delayBefore(buf[k], n);
        gainBlock(n);
        resampler_[0].delayAfter(outBuf[0], n);
        resampler_[1].delayAfter(outBuf[1], n);
      } else if (kernel == Kernel::Fat) {
        oneSampleDelay();
        detectBlock();
        for (int k = 0; k < 4; ++k) resampler_[k].interpolate(buf[k], n);
        gainBlock(2 * n);
        resampler_[0].decimate(outBuf[0], 2 * n);
        resampler_[1].decimate(outBuf[1], 2 * n);
      } else {
        int len = n;
        if (fatOn_) {
          oneSampleDelay();
          for (int k = 0; k < 4; ++k) resampler_[k].interpolate(buf[k], n);
          len = 2 * n;
        } else {
          std::fill(std::begin(sampleDelay_), std::end(sampleDelay_), 0.0);
          for (int k = 0; k < 4; ++k) resampler_[k].delayBefore(buf[k], n);
        }
        for (int i = 0; i < len; ++i) {
          double d[2], y[2];
          detectorStep(buf[0][i], buf[1][i], buf[2][i], buf[3][i], true, d, y);
          gainAndOutput(kernel, buf[0][i], buf[1][i], d, y, &outBuf[0][i], &outBuf[1][i]);
        }
        if (fatOn_) {
          resampler_[0].decimate(outBuf[0], 2 * n);
          resampler_[1].decimate(outBuf[1], 2 * n);
        } else {
          resampler_[0].delayAfter(outBuf[0], n);
          resampler_[1].delayAfter(outBuf[1], n);
        }
      }

      // Limiter and output stage.
      for (int i = 0; i < n; ++i) {
        double l, r;
        limiterStep(outBuf[0][i], outBuf[1][i], &l, &r);
        outL[start + i] = l;
        outR[start + i] = r;
        if (meterMode_ == 2) {
          levelMeter(0, std::fabs(l));
          levelMeter(1, std::fabs(r));
        }
      }
    }
    for (int ch = 0; ch < 2; ++ch) {
      meter_.vuHoldAge[ch] += frames;
      meter_.ppmHoldAge[ch] += frames;
    }
  }
  // Over check.
  for (int ch = 0; ch < 2; ++ch) {
    if (meter_.overCount[ch] >= overThreshold_) {
      meter_.overLamp[ch] = 1.0;
      meter_.overCount[ch] = 0;
    } else {
      meter_.overLamp[ch] = 0.0;
    }
  }
}

}  // namespace orv::reference
