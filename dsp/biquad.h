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

  // x0: last input (with noise), x1, x2: the two before; y likewise for
  // outputs. Of one filter, or (V a vector) of a pair side by side.
  template <typename V>
  struct BasicState {
    V x0, x1, x2, y0, y1, y2;
  };
  using State = BasicState<double>;

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
  // and state differ. Such a pair can run as a BiquadPair.
  bool runsAlike(const Biquad& other) const noexcept;

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
  template <typename V>
  static V step(BasicState<V>& s, const Coefficients& c, V xn, double n) noexcept;
  // One glide step of the current coefficients toward the targets.
  static void glideStep(Coefficients& c, const Coefficients& t, double g, double n) noexcept;

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

  friend class BiquadPair;
};

// Two filters that run alike, run as one: one noise draw and one glide step
// for both, and the channels' states side by side in vector registers, so
// each operation of the filter equation does both channels at once, lane by
// lane exactly as two separate runs would. Load a pair, run it over a block,
// store it back.
class BiquadPair {
 public:
  typedef double Two __attribute__((vector_size(16)));  // [0] left, [1] right

  // `left.runsAlike(right)` must hold.
  void load(const Biquad& left, const Biquad& right) noexcept;
  void store(Biquad& left, Biquad& right) const noexcept;

  Two runGliding(Two x) noexcept;
  Two runPlain(Two x) noexcept;

 private:
  Biquad shared_{44100.0, Biquad::bypass, 1000.0, 0.7, 0.0};  // coefficients, glide, noise
  Biquad::BasicState<Two> state_{};
};

template <typename V>
inline V Biquad::step(BasicState<V>& s, const Coefficients& c, V xn, double n) noexcept {
  s.x0 = xn;
  const V y = c.b0 * xn + c.b1 * s.x1 + c.b2 * s.x2 - c.a1 * s.y1 - c.a2 * s.y2;
  s.y0 = y;
  s.y2 = s.y1;
  s.y1 = y + n;
  s.x2 = s.x1;
  s.x1 = xn;
  return y;
}

inline void Biquad::glideStep(Coefficients& c, const Coefficients& t, double g, double n) noexcept {
  c.b0 += (t.b0 - c.b0) * g + n;
  c.b1 += (t.b1 - c.b1) * g + n;
  c.b2 += (t.b2 - c.b2) * g + n;
  c.a1 += (t.a1 - c.a1) * g + n;
  c.a2 += (t.a2 - c.a2) * g + n;
}

inline double Biquad::runGliding(double x) noexcept {
  if (type_ == bypass) return x;
  const double n = NoiseGenerator::toValue(noiseGenerator_.next(), 1e-13);
  noise_ = n;
  glideStep(current_, target_, glide_, n);
  return step(state_, current_, x + n, n);
}

inline double Biquad::runPlain(double x) noexcept {
  if (type_ == bypass) return x;
  const double n = -noise_;
  noise_ = n;
  return step(state_, target_, x + n, n);
}

inline bool Biquad::runsAlike(const Biquad& o) const noexcept {
  const auto same = [](const Coefficients& a, const Coefficients& b) {
    return a.a0 == b.a0 && a.a1 == b.a1 && a.a2 == b.a2 && a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2;
  };
  return type_ == o.type_ && noise_ == o.noise_ && glide_ == o.glide_ && same(target_, o.target_) &&
         same(current_, o.current_) && noiseGenerator_ == o.noiseGenerator_;
}

inline void BiquadPair::load(const Biquad& left, const Biquad& right) noexcept {
  shared_ = left;
  const Biquad::State &l = left.state_, &r = right.state_;
  state_ = {Two{l.x0, r.x0}, Two{l.x1, r.x1}, Two{l.x2, r.x2}, Two{l.y0, r.y0}, Two{l.y1, r.y1}, Two{l.y2, r.y2}};
}

inline void BiquadPair::store(Biquad& left, Biquad& right) const noexcept {
  Biquad* channel[2] = {&left, &right};
  for (int c = 0; c < 2; ++c) {
    Biquad& b = *channel[c];
    b.noise_ = shared_.noise_;
    b.current_ = shared_.current_;
    b.noiseGenerator_ = shared_.noiseGenerator_;
    const Biquad::BasicState<Two>& s = state_;
    b.state_ = {s.x0[c], s.x1[c], s.x2[c], s.y0[c], s.y1[c], s.y2[c]};
  }
}

inline BiquadPair::Two BiquadPair::runGliding(Two x) noexcept {
  Biquad& f = shared_;
  if (f.type_ == Biquad::bypass) return x;
  const double n = NoiseGenerator::toValue(f.noiseGenerator_.next(), 1e-13);
  f.noise_ = n;
  Biquad::glideStep(f.current_, f.target_, f.glide_, n);
  return Biquad::step(state_, f.current_, x + n, n);
}

inline BiquadPair::Two BiquadPair::runPlain(Two x) noexcept {
  Biquad& f = shared_;
  if (f.type_ == Biquad::bypass) return x;
  const double n = -f.noise_;
  f.noise_ = n;
  return Biquad::step(state_, f.target_, x + n, n);
}

}  // namespace orv::dsp
