#include "valdris/hilbert_detector.h"

#include <numbers>

namespace orv::valdris {

void fillHilbertCoefficients(double* table, int taps) noexcept {
  for (int j = 0; j < kHilbertTableSize; ++j)
    table[j] = j < taps ? 2.0 / ((2.0 * j + 1.0) * std::numbers::pi) : 0.0;
}

namespace {
// Four lanes: one 256-bit register with AVX2, two 128-bit ones otherwise.
typedef double Lanes __attribute__((vector_size(32)));

// By reference: 256-bit vectors passed by value would depend on the ABI of the clone.
inline void load(Lanes& v, const double* p) noexcept { std::memcpy(&v, p, sizeof v); }

inline double sumLanes(const Lanes& v) noexcept { return (v[0] + v[1]) + (v[2] + v[3]); }

// Four taps of both channels into one partial sum each.
inline void addTaps(Lanes& left, Lanes& right, const double* h, const double* fL, const double* bL,
                    const double* fR, const double* bR) noexcept {
  Lanes c, f, b;
  load(c, h);
  load(f, fL);
  load(b, bL);
  left += c * (f - b);
  load(f, fR);
  load(b, bR);
  right += c * (f - b);
}
}  // namespace

// The detector's inner loop: up to 960 taps per channel and sample in the
// heaviest mode, bound by loads. Sixteen partial sums per channel (four
// independent chains keep the multiply-add units busy), combined at the end.
// This file is built with fused multiply-adds allowed: on CPUs that have
// them (chosen at run time) each tap is one fused operation, which rounds the
// sum slightly differently; nothing outside this sum may fuse.
__attribute__((target_clones("arch=x86-64-v3", "default")))
StereoSums hilbertSums(const double* h, const double* fL, const double* bL, const double* fR, const double* bR,
                       int n) noexcept {
  Lanes l0 = {}, l1 = {}, l2 = {}, l3 = {}, r0 = {}, r1 = {}, r2 = {}, r3 = {};
  int j = 0;
  for (; j + 16 <= n; j += 16) {
    addTaps(l0, r0, h + j, fL + j, bL + j, fR + j, bR + j);
    addTaps(l1, r1, h + j + 4, fL + j + 4, bL + j + 4, fR + j + 4, bR + j + 4);
    addTaps(l2, r2, h + j + 8, fL + j + 8, bL + j + 8, fR + j + 8, bR + j + 8);
    addTaps(l3, r3, h + j + 12, fL + j + 12, bL + j + 12, fR + j + 12, bR + j + 12);
  }
  for (; j + 4 <= n; j += 4) addTaps(l0, r0, h + j, fL + j, bL + j, fR + j, bR + j);
  double left = sumLanes((l0 + l1) + (l2 + l3));
  double right = sumLanes((r0 + r1) + (r2 + r3));
  for (; j < n; ++j) {
    left += h[j] * (fL[j] - bL[j]);
    right += h[j] * (fR[j] - bR[j]);
  }
  return {left, right};
}

}  // namespace orv::valdris
