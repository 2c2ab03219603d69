// Look-ahead peak limiter at the end of the chain. It always delays by 511
// samples; when on, it looks lookahead + 1 samples ahead, aims at -0.05 dBFS
// and clips whatever it processes to +-0.999.
#pragma once

#include <cmath>
#include <cstring>

#include "dsp/biquad.h"

namespace orv::valdris {

class LookaheadLimiter {
 public:
  static constexpr int kSize = 512;
  static constexpr int kMask = kSize - 1;

  LookaheadLimiter() noexcept
      : fastFollower(44100.0, dsp::Biquad::lowpass, 200.0, 0.5, 0.0),
        slowFollower(44100.0, dsp::Biquad::lowpass, 20.0, 0.5, 0.0) {}

  // Three rings of kSize doubles: left, right, peaks.
  void attach(double* left, double* right, double* peaks) noexcept {
    ringL = left;
    ringR = right;
    peak = peaks;
  }

  // Look-ahead of 1.4 ms, attack within it, release 3.3 * 16 * 1.7 times slower.
  void setTiming(double sampleRate) noexcept {
    lookahead = static_cast<int>(sampleRate * 0.001 * 1.4);
    attackCoef = 1.0 - std::pow(0.05, 1.0 / lookahead);
    releaseCoef = 1.0 - std::pow(0.05, 1.0 / (lookahead * 3.3 * 16.0 * 1.7));
    writePos = kSize - 1;
    readPos = (kSize - 1 - lookahead - 1) & kMask;
  }
  void setSampleRate(double rate) noexcept {
    fastFollower.setSampleRate(rate);
    slowFollower.setSampleRate(rate);
  }
  void resetFollowers() noexcept {
    fastFollower.reset();
    slowFollower.reset();
  }
  void clear() noexcept {
    if (ringL != nullptr) {
      std::memset(ringL, 0, sizeof(double) * kSize);
      std::memset(ringR, 0, sizeof(double) * kSize);
      std::memset(peak, 0, sizeof(double) * kSize);
    }
    envelope = 0.0001;
    gainValue = 1.0;
  }

  double gain() const noexcept { return gainValue; }
  int lookaheadSamples() const noexcept { return lookahead; }

  // Takes one sample pair, returns (in place) the pair written 511 samples earlier.
  void process(double& left, double& right, bool on, double noise) noexcept {
    const int w = writePos, r = readPos;
    ringL[w] = left;
    ringR[w] = right;
    if (on) {
      const double pk = std::fmax(std::fabs(left * 1.005773063), std::fabs(right * 1.005773063)) + 0.011;
      // Back-fill: every entry from the read position on holds the largest
      // peak between it and the newest sample.
      peak[w] = pk;
      int p = (w - 1) & kMask;
      while (p != r && pk > peak[p]) {
        peak[p] = pk;
        p = (p - 1) & kMask;
      }
      if (pk > peak[r]) peak[r] = pk;

      const double level = peak[r] + 0.0009766 + noise;
      peak[r] = 0.0;
      const double a = fastFollower.runPlain(level);
      const double b = slowFollower.runPlain(level);
      if (level > envelope) {
        envelope += (level - envelope) * attackCoef;
      } else {
        // Transients (fast above slow) release faster.
        const double q = 0.2 * a / b;
        envelope += (level - envelope) * releaseCoef * (0.1 + 4.0 * q / (q + 1.0));
      }
      gainValue = envelope > 1.0 ? 1.0 / envelope : 1.0;
      ringL[r] = clip(ringL[r] * 0.999 * gainValue);
      ringR[r] = clip(ringR[r] * 0.999 * gainValue);
    }
    writePos = (w + 1) & kMask;
    readPos = (r + 1) & kMask;
    left = ringL[writePos];
    right = ringR[writePos];
  }

 private:
  static double clip(double y) noexcept { return y > 0.999 ? 0.999 : (y < -0.999 ? -0.999 : y); }

  dsp::Biquad fastFollower;
  dsp::Biquad slowFollower;
  double* ringL = nullptr;
  double* ringR = nullptr;
  double* peak = nullptr;
  int writePos = kSize - 1;
  int readPos = 0;
  int lookahead = 1;
  double attackCoef = 1.0;
  double releaseCoef = 1.0;
  double envelope = 0.0001;
  double gainValue = 1.0;
};

}  // namespace orv::valdris
