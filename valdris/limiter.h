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

  // Four rings of kSize doubles: left, right, peaks and their sample numbers.
  void attach(double* left, double* right, double* peaks, double* peakTimes) noexcept {
    ringL = left;
    ringR = right;
    peak = peaks;
    peakTime = peakTimes;
  }

  // Look-ahead of 1.4 ms, attack within it, release 3.3 * 16 * 1.7 times slower.
  void setTiming(double sampleRate) noexcept {
    lookahead = static_cast<int>(sampleRate * 0.001 * 1.4);
    attackCoef = 1.0 - std::pow(0.05, 1.0 / lookahead);
    releaseCoef = 1.0 - std::pow(0.05, 1.0 / (lookahead * 3.3 * 16.0 * 1.7));
    writePos = kSize - 1;
    readPos = (kSize - 1 - lookahead - 1) & kMask;
    restartWindow();
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
      std::memset(peakTime, 0, sizeof(double) * kSize);
    }
    envelope = 0.0001;
    gainValue = 1.0;
    restartWindow();
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
      // The level is the largest peak of the last lookahead + 2 samples, kept
      // as a running maximum: a queue of the peaks that may still become the
      // largest, strictly falling from the front, each pushed and dropped
      // once, so a sample costs O(1) amortised instead of a walk back.
      // Switching on starts with an empty window, so for the first
      // lookahead + 1 samples after that the level is the largest peak since
      // switching on, where a walk back over a peak ring would also have seen
      // the peaks left in it from the last time the limiter was on; from
      // then on the level is the same.
      if (!wasOn) restartWindow();
      while (tail != head && peak[(tail - 1) & kMask] <= pk) --tail;
      peak[tail & kMask] = pk;
      peakTime[tail & kMask] = now;
      ++tail;
      if (now - peakTime[head & kMask] > lookahead + 1) ++head;
      now += 1.0;

      const double level = peak[head & kMask] + 0.0009766 + noise;
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
    wasOn = on;
    writePos = (w + 1) & kMask;
    readPos = (r + 1) & kMask;
    left = ringL[writePos];
    right = ringR[writePos];
  }

 private:
  static double clip(double y) noexcept { return y > 0.999 ? 0.999 : (y < -0.999 ? -0.999 : y); }
  void restartWindow() noexcept {
    head = tail = 0;
    now = 0.0;
    wasOn = true;
  }

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
  // The running maximum's queue: slots head to tail - 1 (modulo kSize; it
  // never holds more than lookahead + 2 < kSize entries) of the peak ring and
  // of the ring of their sample numbers, counted in doubles (exact for
  // longer than any session).
  double* peakTime = nullptr;
  unsigned head = 0, tail = 0;
  double now = 0.0;
  bool wasOn = true;
};

}  // namespace orv::valdris
