// Three combined 32-bit shift-register generators. Used for the tiny noise that
// keeps filter and envelope state out of the denormal range, so every instance
// starts from the same seeds and all of them produce the same sequence.
// A plain value type: copying one is a way to fork the sequence.
#pragma once

#include <cstdint>

namespace orv::dsp {

class NoiseGenerator {
 public:
  static constexpr uint32_t kSeed1 = 592;
  static constexpr uint32_t kSeed2 = 153768;
  static constexpr uint32_t kSeed3 = 1526;

  constexpr void reset() noexcept {
    s1_ = kSeed1;
    s2_ = kSeed2;
    s3_ = kSeed3;
  }

  constexpr uint32_t next() noexcept {
    s1_ = ((((s1_ >> 9) ^ s1_) >> 6) & 0x1FFFu) ^ (s1_ << 13);
    s2_ = ((((s2_ >> 2) ^ s2_) >> 7) & 0xFFFFFu) ^ (s2_ << 20);
    s3_ = ((((s3_ >> 6) ^ s3_) >> 8) & 0x1FFFFu) ^ (s3_ << 17);
    return s1_ ^ s2_ ^ s3_;
  }

  // Maps a draw to -amplitude .. +amplitude. The constant is about 2^-32.
  static constexpr double toValue(uint32_t u, double amplitude) noexcept {
    return (2.0 * static_cast<double>(u) * 2.3283064365e-10 - 1.0) * amplitude;
  }

  constexpr double nextValue(double amplitude) noexcept { return toValue(next(), amplitude); }

  constexpr bool operator==(const NoiseGenerator&) const noexcept = default;

 private:
  uint32_t s1_ = kSeed1;
  uint32_t s2_ = kSeed2;
  uint32_t s3_ = kSeed3;
};

}  // namespace orv::dsp
