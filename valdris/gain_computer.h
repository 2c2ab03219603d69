// Envelope follower and static curve of the compressors: detector level in,
// gain factor out. Levels are in threshold units (1 = at the threshold).
// Shared by both products.
#pragma once

#include <cmath>

#include "dsp/biquad.h"
#include "dsp/vector_math.h"

namespace orv::valdris {

// Hard or soft knee. Above the threshold the level is raised to 1/R; the
// soft knee blends from L = 0.5 to 1.5 with a Catmull-Rom segment.
struct StaticCurve {
  double inverseRatio = 1.0;
  double knee[4] = {-0.5, 0.5, 1.5, 2.5};  // P0..P3; P2, P3 are the hard curve at 1.5 and 2.5
  bool soft = false;

  void setInverseRatio(double inverse) noexcept {
    inverseRatio = inverse;
    knee[2] = std::pow(1.5, inverse);
    knee[3] = std::pow(2.5, inverse);
  }

  double operator()(double level) const noexcept { return atPower(level, std::pow(level, inverseRatio)); }

  // The curve at `level`, given level^inverseRatio (used only above the knee).
  double atPower(double level, double power) const noexcept {
    if (!soft) return level > 1.0 ? power : level;
    if (level <= 0.5) return level;
    if (level >= 1.5) return power;
    const double p0 = knee[0], p1 = knee[1], p2 = knee[2], p3 = knee[3];
    const double u = level - 0.5;
    return p1 + 0.5 * (p2 - p0) * u + (p0 - 2.5 * p1 + 2.0 * p2 - 0.5 * p3) * (u * u) +
           (-0.5 * p0 + 1.5 * p1 - 1.5 * p2 + 0.5 * p3) * (u * u * u);
  }
};

// The factor that moves `level` onto the curve; finite for any level >= 0.
inline double curveGain(const StaticCurve& curve, double level) noexcept {
  const bool above = curve.soft ? level >= 1.5 : level > 1.0;
  return curve.atPower(level, above ? std::pow(level, curve.inverseRatio) : 0.0) / (level + 1e-6);
}

// curveGain for `count` levels at once, the power functions of the block
// computed together (skipped when no level reaches above the knee). `gain`
// may be `level`.
inline void curveGains(const StaticCurve& curve, const double* level, double* gain, int count) noexcept {
  const double from = curve.soft ? 1.5 : 1.0;
  bool above = false;
  for (int i = 0; i < count; ++i) above |= level[i] >= from;
  double power[64];
  for (int first = 0; first < count; first += 64) {
    const int n = count - first < 64 ? count - first : 64;
    if (above) dsp::powArray(level + first, curve.inverseRatio, power, n);
    for (int i = 0; i < n; ++i)
      gain[first + i] = curve.atPower(level[first + i], above ? power[i] : 0.0) / (level[first + i] + 1e-6);
  }
}

// Exponents of the classic release, t[i] = i^0.05, as single-precision values.
struct ClassicTable {
  static constexpr int kSize = 1000;
  float t[kSize] = {};

  void fill() noexcept {
    for (int i = 0; i < kSize; ++i) t[i] = static_cast<float>(std::pow(static_cast<double>(i), 0.05));
  }
  // v rounded half up, limited to the table.
  int index(double v) const noexcept {
    const double r = v + 0.5;
    return r < kSize - 1.0 ? static_cast<int>(r) : kSize - 1;
  }
  double exponent(double v) const noexcept { return t[index(v)]; }

  // coef^t[index(v)], the same double as std::pow gives. Each power is
  // computed on first use after the coefficient changed and then looked up,
  // so a release change costs no burst of power functions.
  double releasePower(double coef, double v) const noexcept {
    if (!(coef == powerCoef)) {
      for (double& p : power) p = -1.0;
      powerCoef = coef;
    }
    const int i = index(v);
    double p = power[i];
    if (p < 0.0) power[i] = p = std::pow(coef, static_cast<double>(t[i]));
    return p;
  }

 private:
  // Audio-thread cache: powers of powerCoef, -1 where not yet computed.
  mutable double powerCoef = -1.0;
  mutable double power[kSize] = {};
};

struct EnvelopeSettings {
  double attackCoef = 1.0;
  double releaseCoef = 1.0;
  bool autoAttack = false;
  bool autoRelease = false;
  bool classic = false;
  bool rms = false;  // the envelope follows squared levels
};

inline constexpr double kEnvelopeFloor = 0.0001;

// What one envelope step takes from the followers besides the level: the
// auto attack and release factors and, for the classic release, its factor
// and target. Independent of the envelope itself, so a block can compute
// these for all its samples before running the recursion.
struct EnvelopeStep {
  double attack = 1.0;   // auto attack factor
  double release = 1.0;  // auto release factor
  double classicRelease = 0.0;
  double classicTarget = 0.0;
};

// The level the followers and the envelope work on.
inline double followedLevel(double d, const EnvelopeSettings& s) noexcept { return s.rms ? d * d : d; }

// From the level x and the fast (200 Hz) and slow (20 Hz) followers' outputs
// a and b, which drive the programme-dependent speeds. The classic release
// factor comes from the table (kClassicTable), from power functions
// (kClassicExact), or is left for a pass over the block to compute as
// releaseCoef^(v^0.05), with v in its place (kClassicBase).
enum ClassicPower : int { kClassicTable = 0, kClassicExact = 1, kClassicBase = 2 };

template <int exact>
inline EnvelopeStep envelopeStep(double x, double a, double b, const EnvelopeSettings& s,
                                 const ClassicTable& table) noexcept {
  if (!(a >= 1e-6)) a = 1e-6;
  if (!(b >= 1e-6)) b = 1e-6;
  EnvelopeStep k;
  if (s.autoAttack) {
    const double q = 0.1 * a / b;
    k.attack = 0.1 + 2.0 * q / (q + 1.0);
  }
  if (s.autoRelease) {
    const double p = 0.15 * a / b;
    k.release = 0.1 + 2.0 * p / (p + 1.0);
  }
  if (s.classic) {
    // Weak signals release slower.
    const double v = (3.0 + a) / (1.2 * a);
    k.classicRelease = exact == kClassicBase ? v
                       : exact              ? std::pow(s.releaseCoef, std::pow(v, 0.05))
                                            : table.releasePower(s.releaseCoef, v);
    const double g0 = s.rms ? 0.5 : 0.4;
    k.classicTarget = g0 + (1.0 - g0) * x;
  }
  return k;
}

// One step of one channel's envelope, without the floor (applied afterwards).
inline void advanceEnvelope(double& envelope, double x, const EnvelopeStep& k, const EnvelopeSettings& s) noexcept {
  double env = envelope;
  if (!s.classic) {
    if (x > env) env += (x - env) * s.attackCoef * k.attack;
    else env += (x - env) * s.releaseCoef * k.release;
  } else {
    if (x > env) env += (x - env) * s.attackCoef * k.attack;
    // Always drifts toward a level-dependent target.
    env += (k.classicTarget - env) * k.classicRelease * k.release;
  }
  envelope = env;
}

inline void floorEnvelope(double& envelope) noexcept {
  if (!(envelope >= kEnvelopeFloor)) envelope = kEnvelopeFloor;
}

// Level in threshold units from the floored envelope.
inline double envelopeLevel(double envelope, bool rms) noexcept { return rms ? std::sqrt(envelope) : envelope; }

}  // namespace orv::valdris
