// Second-order IIR filter with cookbook designs. The bandwidth of most designs
// is widened near the Nyquist frequency so the response does not cramp there,
// and the gliding run moves its coefficients toward new targets one small step
// per sample, so a parameter change never produces a step in the output.
//
// Both runs add a noise of about 1e-13 to input, state and (gliding run)
// coefficients so nothing decays into denormal numbers; the arithmetic follows
// a fixed order so two builds of the same signal path agree bit for bit.
//
// A plain value type: copying a filter copies its state, which is harmless.
#pragma once

#include <cstdint>

#include "dsp/noise_generator.h"

namespace orv::dsp {

class Biquad {
 public:
  // Design numbers; any other number designs a filter whose six targets are 1.
  // 2 and 9 are one-pole decay designs: 2 sets only a0 = 0.005^(f/fs), 9 sets
  // that a0 and a1 = (a0 + 1) / 2; the other targets keep their values.
  enum Type : int32_t {
    bypass = 0,  // returns its input unchanged, state and noise untouched
    highpass = 1,
    lowShelf = 3,
    peaking = 4,
    bandPass = 5,
    notch = 6,
    highShelf = 7,
    lowpass = 8,
    allPass = 10,
  };

  // a0 is kept unnormalised; the other five are divided by it.
  struct Coefficients {
    double a0, a1, a2, b0, b1, b2;
  };

  // x0: last input (with noise), x1, x2: the two before; y likewise for outputs.
  struct State {
    double x0, x1, x2, y0, y1, y2;
  };

  // The current coefficients start at 1, not at the design: call reset() to
  // start from the designed filter instead of gliding toward it.
  Biquad(double sampleRate, int32_t type, double frequency, double q, double gainDb) noexcept;

  // Rates outside 20 kHz .. 200 kHz count as 44.1 kHz for the glide factor and
  // the frequency limit applied here; the design always uses the given rate.
  void setSampleRate(double rate) noexcept;
  // Clears inputs and outputs, not the coefficients.
  void setType(int32_t type) noexcept;
  void setFrequency(double hz) noexcept;
  void setQ(double q) noexcept;
  void setGain(double dB) noexcept;

  // Current coefficients := targets; state := 0.
  void reset() noexcept;

  // One sample with coefficients gliding toward the targets, one noise draw.
  double runGliding(double x) noexcept;
  // One sample with the target coefficients; the noise alternates in sign.
  double runPlain(double x) noexcept;

  // Two filters built, set, reset and run alike (the two channels of one
  // stage) carry the same coefficients, glide and noise; only their inputs
  // and state differ. For such a pair these run one sample of each with one
  // noise draw and one glide step, giving exactly what two runs give.
  bool runsAlike(const Biquad& other) const noexcept;
  static void runGlidingPair(Biquad& left, Biquad& right, double& xl, double& xr) noexcept;
  static void runPlainPair(Biquad& left, Biquad& right, double& xl, double& xr) noexcept;

  double sampleRate() const noexcept { return sampleRate_; }
  int32_t type() const noexcept { return type_; }
  double frequency() const noexcept { return frequency_; }  // after the limit
  double q() const noexcept { return q_; }
  double gainDb() const noexcept { return gainDb_; }
  double noise() const noexcept { return noise_; }
  double glide() const noexcept { return glide_; }  // fraction of the distance per sample
  const Coefficients& target() const noexcept { return target_; }
  const Coefficients& current() const noexcept { return current_; }
  const State& state() const noexcept { return state_; }

 private:
  void design() noexcept;
  // The filter equation on an input that already carries the noise n.
  double step(const Coefficients& c, double xn, double n) noexcept;

  double sampleRate_;
  int32_t type_;
  double frequency_;
  double q_;
  double gainDb_;
  double noise_ = 1e-13;
  double glide_;
  Coefficients target_{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  Coefficients current_{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  State state_{};
  NoiseGenerator noiseGenerator_;
};

inline double Biquad::step(const Coefficients& c, double xn, double n) noexcept {
  state_.x0 = xn;
  const double y = c.b0 * xn + c.b1 * state_.x1 + c.b2 * state_.x2 - c.a1 * state_.y1 - c.a2 * state_.y2;
  state_.y0 = y;
  state_.y2 = state_.y1;
  state_.y1 = y + n;
  state_.x2 = state_.x1;
  state_.x1 = xn;
  return y;
}

inline double Biquad::runGliding(double x) noexcept {
  if (type_ == bypass) return x;
  const double n = NoiseGenerator::toValue(noiseGenerator_.next(), 1e-13);
  noise_ = n;
  const double xn = x + n;
  Coefficients& c = current_;
  c.b0 += (target_.b0 - c.b0) * glide_ + n;
  c.b1 += (target_.b1 - c.b1) * glide_ + n;
  c.b2 += (target_.b2 - c.b2) * glide_ + n;
  c.a1 += (target_.a1 - c.a1) * glide_ + n;
  c.a2 += (target_.a2 - c.a2) * glide_ + n;
  return step(c, xn, n);
}

inline double Biquad::runPlain(double x) noexcept {
  if (type_ == bypass) return x;
  const double n = -noise_;
  noise_ = n;
  return step(target_, x + n, n);
}

inline bool Biquad::runsAlike(const Biquad& o) const noexcept {
  const auto same = [](const Coefficients& a, const Coefficients& b) {
    return a.a0 == b.a0 && a.a1 == b.a1 && a.a2 == b.a2 && a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2;
  };
  return type_ == o.type_ && noise_ == o.noise_ && glide_ == o.glide_ && same(target_, o.target_) &&
         same(current_, o.current_) && noiseGenerator_ == o.noiseGenerator_;
}

inline void Biquad::runGlidingPair(Biquad& left, Biquad& right, double& xl, double& xr) noexcept {
  if (left.type_ == bypass) return;
  const double n = NoiseGenerator::toValue(left.noiseGenerator_.next(), 1e-13);
  right.noiseGenerator_ = left.noiseGenerator_;
  left.noise_ = right.noise_ = n;
  Coefficients& c = left.current_;
  const Coefficients& t = left.target_;
  const double g = left.glide_;
  c.b0 += (t.b0 - c.b0) * g + n;
  c.b1 += (t.b1 - c.b1) * g + n;
  c.b2 += (t.b2 - c.b2) * g + n;
  c.a1 += (t.a1 - c.a1) * g + n;
  c.a2 += (t.a2 - c.a2) * g + n;
  right.current_ = c;
  xl = left.step(c, xl + n, n);
  xr = right.step(c, xr + n, n);
}

inline void Biquad::runPlainPair(Biquad& left, Biquad& right, double& xl, double& xr) noexcept {
  if (left.type_ == bypass) return;
  const double n = -left.noise_;
  left.noise_ = right.noise_ = n;
  xl = left.step(left.target_, xl + n, n);
  xr = right.step(left.target_, xr + n, n);
}

}  // namespace orv::dsp
