#include "valdris/hilbert_detector.h"

#include <numbers>

namespace orv::valdris {

void fillHilbertCoefficients(double* table, int taps) noexcept {
  for (int j = 0; j < kHilbertTableSize; ++j)
    table[j] = j < taps ? 2.0 / ((2.0 * j + 1.0) * std::numbers::pi) : 0.0;
}

namespace {
// Four lanes; on CPUs without 256-bit registers the compiler splits them, with
// the same arithmetic per lane.
typedef double Lanes __attribute__((vector_size(32)));

// By reference: 256-bit vectors passed by value would depend on the ABI of the clone.
inline void load(Lanes& v, const double* p) noexcept { std::memcpy(&v, p, sizeof v); }

inline double sumLanes(const Lanes& v) noexcept { return (v[0] + v[1]) + (v[2] + v[3]); }
}  // namespace

// The detector's inner loop: up to 960 taps per channel and sample in the
// heaviest mode. Eight partial sums per channel, one lane each, combined at
// the end; the run-time choice of instruction set keeps the result the same.
__attribute__((target_clones("avx2", "default")))
StereoSums hilbertSums(const double* h, const double* fL, const double* bL, const double* fR, const double* bR,
                       int n) noexcept {
  Lanes l0 = {}, l1 = {}, r0 = {}, r1 = {};
  int j = 0;
  for (; j + 8 <= n; j += 8) {
    Lanes h0, h1, f0, f1, b0, b1;
    load(h0, h + j);
    load(h1, h + j + 4);
    load(f0, fL + j);
    load(f1, fL + j + 4);
    load(b0, bL + j);
    load(b1, bL + j + 4);
    l0 += h0 * (f0 - b0);
    l1 += h1 * (f1 - b1);
    load(f0, fR + j);
    load(f1, fR + j + 4);
    load(b0, bR + j);
    load(b1, bR + j + 4);
    r0 += h0 * (f0 - b0);
    r1 += h1 * (f1 - b1);
  }
  const Lanes l = l0 + l1, r = r0 + r1;
  double left = sumLanes(l);
  double right = sumLanes(r);
  for (; j < n; ++j) {
    left += h[j] * (fL[j] - bL[j]);
    right += h[j] * (fR[j] - bR[j]);
  }
  return {left, right};
}

}  // namespace orv::valdris
