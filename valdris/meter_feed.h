// The values the needle meters, their holds and the over lamps display. The
// engine writes them while processing and publishes a snapshot after every
// call; the editor reads the newest snapshot and may ask for levels, lamps and
// counts to be cleared. Shared by both products.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>

namespace orv::valdris {

struct MeterFeed {
  // Linear amplitudes (1 = full scale) in input and output mode; linear gains
  // (1 = no change) in gain mode. Index 0 is left, 1 right.
  double vuLevel[2] = {};
  double ppmLevel[2] = {};
  double vuHold[2] = {};
  double ppmHold[2] = {};
  int32_t vuHoldAge[2] = {};   // samples since vuHold was set
  int32_t ppmHoldAge[2] = {};  // samples since ppmHold was set
  int32_t overCount[2] = {};   // consecutive samples at or above full scale
  double overLamp[2] = {0.01, 0.01};

  void reset() noexcept { *this = MeterFeed{}; }
  // What the editor may clear: levels, lamps and counts, not the holds.
  void clearReadings() noexcept {
    for (int ch = 0; ch < 2; ++ch) {
      vuLevel[ch] = ppmLevel[ch] = overLamp[ch] = 0.0;
      overCount[ch] = 0;
    }
  }
};

// Hands the meter values from the audio thread to the editor whole, as a
// triple buffer: the writer fills a slot of its own and swaps it with the
// middle one; the reader swaps the middle one in when it is newer. Neither
// waits, and neither ever sees a slot the other is filling. One writer (the
// audio thread, or the thread that suspends and resumes while processing is
// stopped) and one reader.
class MeterFeedExchange {
 public:
  void publish(const MeterFeed& feed) noexcept {
    slots_[back_] = feed;
    back_ = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & kSlot;
  }
  MeterFeed read() noexcept {
    if ((middle_.load(std::memory_order_relaxed) & kFresh) != 0)
      front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kSlot;
    return slots_[front_];
  }

  // Reader side: ask the writer to clear levels, lamps and counts.
  void requestClear() noexcept { clear_.store(true, std::memory_order_relaxed); }
  // Writer side, before a call.
  bool clearRequested() noexcept {
    return clear_.load(std::memory_order_relaxed) && clear_.exchange(false, std::memory_order_relaxed);
  }

 private:
  static constexpr int kSlot = 3, kFresh = 4;
  MeterFeed slots_[3];
  int back_ = 0;   // the writer's
  int front_ = 1;  // the reader's
  std::atomic<int> middle_{2};
  std::atomic<bool> clear_{false};
};

// What the meters show, from the Meters value (0..1) rounded at twice its value.
enum MeterSource : int { kMeterInput = 0, kMeterGain = 1, kMeterOutput = 2 };
inline int meterSourceOf(double metersValue) noexcept { return static_cast<int>(metersValue * 2.0 + 0.5); }

// Per-call smoothing factors: VU integration, PPM rise and PPM return.
struct MeterCoefficients {
  double vu;
  double ppmAttack;
  double ppmReturn;
};

// The output meters run once per host sample; input and gain meters are
// given twice the rate (the gain meters really do run twice per sample in
// the oversampled paths).
inline MeterCoefficients meterCoefficients(int source, double sampleRate, double vuTimeMs, double ppmAttackMs,
                                           double ppmReturnMs) noexcept {
  const double rate = source == kMeterOutput ? sampleRate : 2.0 * sampleRate;
  MeterCoefficients c;
  c.vu = 1.0 - std::pow(0.1091012, 1.0 / (rate * vuTimeMs * 0.001));
  c.ppmAttack = ppmAttackMs > 0.05 ? 1.0 - std::pow(0.01, 1.0 / (ppmAttackMs * rate * 0.001)) : 1.0;
  // The return time is the time to fall by 24 dB.
  c.ppmReturn = 1.0 - std::pow(0.0625, 1.0 / (ppmReturnMs * rate * 0.001));
  return c;
}

// PPM, over count and holds of one input or output channel, once its VU
// level is updated; s is the sample's magnitude.
inline void updatePeakAndHolds(MeterFeed& f, int ch, double s, const MeterCoefficients& c, double overThreshold,
                               double noise) noexcept {
  f.ppmLevel[ch] += (s - f.ppmLevel[ch]) * (s > f.ppmLevel[ch] ? c.ppmAttack : c.ppmReturn) + noise;
  if (s >= 1.0) ++f.overCount[ch];
  else if (f.overCount[ch] < overThreshold) f.overCount[ch] = 0;  // a completed run waits for the over check
  if (f.ppmLevel[ch] > f.ppmHold[ch]) {
    f.ppmHold[ch] = f.ppmLevel[ch];
    f.ppmHoldAge[ch] = 0;
  }
  if (f.vuLevel[ch] > f.vuHold[ch]) {
    f.vuHold[ch] = f.vuLevel[ch];
    f.vuHoldAge[ch] = 0;
  }
}

// Input or output level of one channel; s is the sample's magnitude.
// 1.096 * sqrt 2 turns the rectified mean of a sine into its VU reading.
inline void updateLevelMeter(MeterFeed& f, int ch, double s, const MeterCoefficients& c, double vuScale,
                             double overThreshold, double noise) noexcept {
  f.vuLevel[ch] += (s * 1.096 * 1.4142136 * vuScale - f.vuLevel[ch]) * c.vu + noise;
  updatePeakAndHolds(f, ch, s, c, overThreshold, noise);
}

// The gain a channel shows: the mix scales the change, the limiter adds its own.
inline double gainMeterValue(double gain, double mix, bool limiterOn, double limiterGain) noexcept {
  double v = 1.0 + (std::fabs(0.98 * gain) - 1.0) * mix;
  if (limiterOn) v *= limiterGain;
  return v;
}

namespace detail {
// Holds keep the extreme away from 1: above 1 the largest, below it the smallest.
inline void holdGain(double x, double& hold, int32_t& age) noexcept {
  if ((x > 1.0 && x > hold) || (x < hold && x > 0.01)) {
    hold = x;
    age = 0;
  }
}
}  // namespace detail

// PPM and holds of one channel's gain change, once its VU level is updated.
// Compression moves the needle down fast and back slowly; expansion (ratio
// below 1) the other way round.
inline void updateGainPeakAndHolds(MeterFeed& f, int ch, double v, const MeterCoefficients& c, bool expanding,
                                   double noise) noexcept {
  const bool fast = expanding ? v > f.ppmLevel[ch] : f.ppmLevel[ch] > v;
  f.ppmLevel[ch] += (v - f.ppmLevel[ch]) * (fast ? c.ppmAttack : c.ppmReturn) + noise;
  detail::holdGain(f.ppmLevel[ch], f.ppmHold[ch], f.ppmHoldAge[ch]);
  detail::holdGain(f.vuLevel[ch], f.vuHold[ch], f.vuHoldAge[ch]);
}

// Gain change of one channel; v is the shown gain.
inline void updateGainMeter(MeterFeed& f, int ch, double v, const MeterCoefficients& c, bool expanding,
                            double noise) noexcept {
  f.vuLevel[ch] += (v - f.vuLevel[ch]) * c.vu + noise;
  updateGainPeakAndHolds(f, ch, v, c, expanding, noise);
}

// After every call. Ages saturate instead of wrapping after days of running.
inline void ageHolds(MeterFeed& f, int32_t frames) noexcept {
  if (frames <= 0) return;
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  for (int32_t* age : {&f.vuHoldAge[0], &f.vuHoldAge[1], &f.ppmHoldAge[0], &f.ppmHoldAge[1]})
    *age = *age > kMax - frames ? kMax : *age + frames;
}

// After every call: a run that reached the threshold lights the lamp for this call.
inline void checkOvers(MeterFeed& f, double overThreshold) noexcept {
  for (int ch = 0; ch < 2; ++ch) {
    if (f.overCount[ch] >= overThreshold) {
      f.overLamp[ch] = 1.0;
      f.overCount[ch] = 0;
    } else {
      f.overLamp[ch] = 0.0;
    }
  }
}

}  // namespace orv::valdris
