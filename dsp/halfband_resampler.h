// Half-band 2x interpolator and decimator with 255-tap windowed-sinc tables,
// plus the 64-sample delays that stand in for them when a signal is not
// oversampled. A pass through interpolate and decimate delays by 129 samples,
// one more than delayBefore plus delayAfter.
//
// Processing is in place on whole blocks and allocates nothing; blocks longer
// than the size given at construction are processed in pieces.
#pragma once

#include <cstdint>
#include <vector>

namespace orv::dsp {

class HalfbandResampler {
 public:
  static constexpr int kHalfLength = 127;  // taps run from -127 to +127
  static constexpr int kDelay = 64;        // samples, delayBefore and delayAfter each

  // Allocates the history and work areas for blocks of up to maxBlock input
  // samples (at least 1).
  explicit HalfbandResampler(int maxBlock = 64);
  // Owns sizeable buffers; a copy on the audio thread would allocate.
  HalfbandResampler(const HalfbandResampler&) = delete;
  HalfbandResampler& operator=(const HalfbandResampler&) = delete;

  // The latency figure the engine adds to its own delay line.
  int32_t getLatency() const noexcept { return latency_; }
  int maxBlock() const noexcept { return maxBlock_; }

  // Clears both histories, as if nothing had been processed.
  void reset() noexcept;

  // buffer[0..n) at the base rate becomes buffer[0..2n) at twice the rate:
  // per input sample the interpolated sample first, then the direct one.
  // The buffer must hold 2n values.
  void interpolate(double* buffer, int n) noexcept;
  // buffer[0..count) at twice the rate becomes buffer[0..count/2); an odd
  // last sample is ignored.
  void decimate(double* buffer, int count) noexcept;
  // 64-sample delays in place. delayBefore shares its history with
  // interpolate, delayAfter with decimate.
  void delayBefore(double* buffer, int n) noexcept;
  void delayAfter(double* buffer, int n) noexcept;

  // Tap i (-127..127) of the tables; 0 outside.
  double interpolationTap(int i) const noexcept;
  double decimationTap(int i) const noexcept;

 private:
  static constexpr int kInputHistory = 128;   // base-rate samples the interpolator looks back
  static constexpr int kOutputHistory = 256;  // doubled-rate samples the decimator looks back

  int maxBlock_;
  int32_t latency_ = 126;
  // Tap |i| for i = 0..127; both tables are symmetric.
  double interpolationTable_[kHalfLength + 1];
  double decimationTable_[kHalfLength + 1];
  // Odd taps 1, 3, .., 127: the only nonzero ones besides the centre.
  double interpolationOdd_[64];
  double decimationOdd_[64];

  // Oldest first: the last kInputHistory inputs, then room for a block.
  std::vector<double> inputHistory_;
  // Oldest first: the last kOutputHistory entries, then room for a block.
  std::vector<double> outputHistory_;
  // The decimator's history split into even and odd phases.
  std::vector<double> evenPhase_;
  std::vector<double> oddPhase_;
  // Filter results of one block before they are written back.
  std::vector<double> work_;
};

}  // namespace orv::dsp
