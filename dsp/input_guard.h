// What a host sample becomes before any processing. Non-finite values count
// as silence, and finite ones are held within +-1e5 (100 dB over full scale):
// further out, one sample would overflow the side-chain filters or the
// detector's power and leave infinities and NaNs in the filter states and the
// envelope, silencing the output until the next reset. No real signal gets
// anywhere near the limit, so audio is processed untouched.
#pragma once

#include <cmath>

namespace orv::dsp {

inline constexpr double kInputLimit = 1e5;

inline double guardedInput(double x) noexcept {
  if (!std::isfinite(x)) return 0.0;
  return x > kInputLimit ? kInputLimit : (x < -kInputLimit ? -kInputLimit : x);
}

}  // namespace orv::dsp
