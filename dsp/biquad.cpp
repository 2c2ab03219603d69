#include "dsp/biquad.h"

#include <cmath>
#include <numbers>

namespace orv::dsp {

namespace {

// Stands in for rates outside 20 kHz .. 200 kHz when choosing the glide factor
// and the frequency limit.
double usableRate(double rate) noexcept {
  return (rate >= 20000.0 && rate <= 200000.0) ? rate : 44100.0;
}

bool isFinite(const Biquad::Coefficients& c) noexcept {
  return std::isfinite(c.a0) && std::isfinite(c.a1) && std::isfinite(c.a2) && std::isfinite(c.b0) &&
         std::isfinite(c.b1) && std::isfinite(c.b2);
}

constexpr Biquad::Coefficients kPassThrough{1.0, 0.0, 0.0, 1.0, 0.0, 0.0};

}  // namespace

Biquad::Biquad(double sampleRate, int32_t type, double frequency, double q, double gainDb) noexcept
    : sampleRate_(sampleRate), type_(type), frequency_(frequency), q_(q), gainDb_(gainDb) {
  // Gentler glide at high rates keeps the glide time roughly constant.
  glide_ = usableRate(sampleRate_) > 50000.0 ? 0.0001 : 0.001;
  design();
}

void Biquad::setSampleRate(double rate) noexcept {
  sampleRate_ = rate;
  const double r = usableRate(rate);
  // Not the construction value: retuning at a high rate glides faster than a
  // freshly built filter, and the engine's timing depends on this.
  glide_ = r > 50000.0 ? 0.00035 : 0.001;
  if (frequency_ > 0.499 * r) frequency_ = 0.499 * r;
  design();
}

void Biquad::setType(int32_t type) noexcept {
  state_ = State{};
  type_ = type;
  design();
}

void Biquad::setFrequency(double hz) noexcept {
  frequency_ = hz;
  design();
}

void Biquad::setQ(double q) noexcept {
  q_ = q;
  design();
}

void Biquad::setGain(double dB) noexcept {
  gainDb_ = dB;
  design();
}

void Biquad::reset() noexcept {
  current_ = target_;
  state_ = State{};
}

void Biquad::design() noexcept {
  const double fs = sampleRate_;
  if (frequency_ > 0.499 * fs) frequency_ = 0.499 * fs;
  const double f = frequency_;

  if (type_ == 2 || type_ == 9) {
    // Decay designs: the remaining targets are deliberately left as they were.
    target_.a0 = std::pow(0.005, f / fs);
    if (type_ == 9) target_.a1 = (target_.a0 + 1.0) / 2.0;
    if (!isFinite(target_)) target_ = kPassThrough;
    return;
  }
  if (type_ < 1 || type_ > 10) {
    target_ = Coefficients{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    return;
  }
  if (type_ == lowpass) noise_ = 1e-13;

  // A rate or Q that is not positive, or a negative frequency, has no stable
  // design; such a filter passes its input instead.
  if (!(fs > 0.0) || !(q_ > 0.0) || !(f >= 0.0) || !std::isfinite(fs) || !std::isfinite(q_) ||
      !std::isfinite(f) || !std::isfinite(gainDb_)) {
    target_ = kPassThrough;
    return;
  }

  const double w = 2.0 * std::numbers::pi * f / fs;
  const double cs = std::cos(w);
  const double sn = std::sin(w);
  const double A = std::pow(10.0, gainDb_ / 40.0);
  // Widens the bandwidth toward Nyquist; reaches 0 at fs * h.
  const auto correction = [&](double e, double h) { return 1.0 - std::pow(f / (fs * h), e); };

  double a0 = 1.0, a1 = 1.0, a2 = 1.0, b0 = 1.0, b1 = 1.0, b2 = 1.0;
  switch (type_) {
    case highpass: {
      const double alpha = sn / (2.0 * q_ * correction(6.0, 0.5001));
      a0 = 1.0 + alpha;
      a1 = -2.0 * cs;
      a2 = 1.0 - alpha;
      b0 = (1.0 + cs) / 2.0;
      b1 = -(1.0 + cs);
      b2 = (1.0 + cs) / 2.0;
      break;
    }
    case lowShelf: {
      const double beta = std::sqrt(A) * sn / (q_ * correction(3.0, 0.5001));
      a0 = (A + 1.0) + (A - 1.0) * cs + beta;
      a1 = -2.0 * ((A - 1.0) + (A + 1.0) * cs);
      a2 = (A + 1.0) + (A - 1.0) * cs - beta;
      b0 = A * ((A + 1.0) - (A - 1.0) * cs + beta);
      b1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * cs);
      b2 = A * ((A + 1.0) - (A - 1.0) * cs - beta);
      break;
    }
    case peaking: {
      const double alpha = sn / (2.0 * q_ * correction(2.8, 0.5001));
      a0 = 1.0 + alpha / A;
      a1 = -2.0 * cs;
      a2 = 1.0 - alpha / A;
      b0 = 1.0 + alpha * A;
      b1 = -2.0 * cs;
      b2 = 1.0 - alpha * A;
      break;
    }
    case bandPass: {
      const double alpha = sn / (2.0 * q_ * correction(2.8, 0.5001));
      a0 = 1.0 + alpha;
      a1 = -2.0 * cs;
      a2 = 1.0 - alpha;
      b0 = alpha;
      b1 = 0.0;
      b2 = -alpha;
      break;
    }
    case notch: {
      const double alpha = sn / (2.0 * q_ * correction(2.8, 0.5001));
      a0 = 1.0 + alpha;
      a1 = -2.0 * cs;
      a2 = 1.0 - alpha;
      b0 = 1.0;
      b1 = -2.0 * cs;
      b2 = 1.0;
      break;
    }
    case highShelf: {
      const double beta = std::sqrt(A) * sn / (q_ * correction(3.0, 0.5001));
      a0 = (A + 1.0) - (A - 1.0) * cs + beta;
      a1 = 2.0 * ((A - 1.0) - (A + 1.0) * cs);
      a2 = (A + 1.0) - (A - 1.0) * cs - beta;
      b0 = A * ((A + 1.0) + (A - 1.0) * cs + beta);
      b1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * cs);
      b2 = A * ((A + 1.0) + (A - 1.0) * cs - beta);
      break;
    }
    case lowpass: {
      const double alpha = sn / (2.0 * q_ * correction(8.0, 0.50001));
      a0 = 1.0 + alpha;
      a1 = -2.0 * cs;
      a2 = 1.0 - alpha;
      b0 = (1.0 - cs) / 2.0;
      b1 = 1.0 - cs;
      b2 = (1.0 - cs) / 2.0;
      break;
    }
    case allPass: {
      const double alpha = sn / (2.0 * q_);
      a0 = 1.0 + alpha;
      a1 = -2.0 * cs;
      a2 = 1.0 - alpha;
      b0 = 1.0 - alpha;
      b1 = -2.0 * cs;
      b2 = 1.0 + alpha;
      break;
    }
    default:
      break;
  }

  const Coefficients designed{a0, a1 / a0, a2 / a0, b0 / a0, b1 / a0, b2 / a0};
  target_ = isFinite(designed) ? designed : kPassThrough;
}

}  // namespace orv::dsp
