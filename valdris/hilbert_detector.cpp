#include "valdris/hilbert_detector.h"

#include "dsp/cpu_clones.h"

#include <numbers>

#include "dsp/cpu_clones.h"

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
ORV_CPU_CLONES
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

namespace {
template <int kCount>
inline void batch(const double* h, const double* fL, const double* bL, const double* fR, const double* bR, int n,
                  StereoSums* out) noexcept {
  Lanes l[kCount] = {}, r[kCount] = {};
  int j = 0;
  for (; j + 4 <= n; j += 4) {
    Lanes c, f, b;
    load(c, h + j);
    for (int m = 0; m < kCount; ++m) {
      load(f, fL + m + j);
      load(b, bL - m + j);
      l[m] += c * (f - b);
      load(f, fR + m + j);
      load(b, bR - m + j);
      r[m] += c * (f - b);
    }
  }
  for (int m = 0; m < kCount; ++m) {
    double left = sumLanes(l[m]);
    double right = sumLanes(r[m]);
    for (int k = j; k < n; ++k) {
      left += h[k] * (fL[m + k] - bL[k - m]);
      right += h[k] * (fR[m + k] - bR[k - m]);
    }
    out[m] = {left, right};
  }
}
}  // namespace

// Load-bound: the coefficients are read once for all outputs, and the
// history each output reads again is already in the first-level cache.
ORV_CPU_CLONES
void hilbertSumsBatch(const double* h, const double* fL, const double* bL, const double* fR, const double* bR,
                      int n, int count, StereoSums* out) noexcept {
  switch (count) {
    case 4: batch<4>(h, fL, bL, fR, bR, n, out); break;
    case 3: batch<3>(h, fL, bL, fR, bR, n, out); break;
    case 2: batch<2>(h, fL, bL, fR, bR, n, out); break;
    case 1: batch<1>(h, fL, bL, fR, bR, n, out); break;
    default: break;
  }
}

void foldHilbertCoefficients(const double* h, double* folded) noexcept {
  constexpr int kHalf = HilbertRing::kHalf;
  for (int d = 0; d < kHalf; ++d) folded[d] = (h[d] + h[d + kHalf]) - (h[kHalf - 1 - d] + h[2 * kHalf - 1 - d]);
}

namespace {
template <int kCount>
inline void folded(const double* g, const double* xL, const double* xR, StereoSums* out) noexcept {
  Lanes l[kCount] = {}, r[kCount] = {};
  for (int d = 0; d < kFoldedSize; d += 4) {
    Lanes c, x;
    load(c, g + d);
    for (int m = 0; m < kCount; ++m) {
      load(x, xL + m + d);
      l[m] += c * x;
      load(x, xR + m + d);
      r[m] += c * x;
    }
  }
  for (int m = 0; m < kCount; ++m) out[m] = {sumLanes(l[m]), sumLanes(r[m])};
}
}  // namespace

ORV_CPU_CLONES
void foldedSumsBatch(const double* g, const double* xL, const double* xR, int count, StereoSums* out) noexcept {
  switch (count) {
    case 4: folded<4>(g, xL, xR, out); break;
    case 3: folded<3>(g, xL, xR, out); break;
    case 2: folded<2>(g, xL, xR, out); break;
    case 1: folded<1>(g, xL, xR, out); break;
    default: break;
  }
}

}  // namespace orv::valdris
