// Envelope detector on the analytic signal: an odd-tap Hilbert transformer
// over a 1024-entry ring, and the magnitude of (sample, transform). Shared by
// both products.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace orv::valdris {

inline constexpr int kHilbertTableSize = 1024;

// h[j] = 2 / ((2j + 1) pi) for j < taps, 0 after.
void fillHilbertCoefficients(double* table, int taps) noexcept;

// One channel's side-chain history: a ring of 1024 positions whose entries are
// also kept split by parity (position 2s + p is entry s of half p) and laid
// out forwards and backwards, three times over. Every tap sum of the FIR then
// reads two contiguous ascending runs, however far the taps wrap.
class HilbertRing {
 public:
  static constexpr int kSize = 1024;
  static constexpr int kHalf = kSize / 2;
  static constexpr int kRun = 3 * kHalf;                 // longest run starts below kHalf and spans < 2 kHalf
  static constexpr std::size_t kDoubles = 4 * kRun;      // forward and backward, per parity

  // `memory` holds kDoubles values and outlives the ring.
  void attach(double* memory) noexcept { data = memory; }
  void clear() noexcept {
    if (data != nullptr) std::memset(data, 0, sizeof(double) * kDoubles);
  }

  void write(int position, double v) noexcept {
    const int parity = position & 1;
    const int s = (position & (kSize - 1)) >> 1;
    double* f = forward(parity) + s;
    double* b = backward(parity) + (kHalf - 1 - s);
    f[0] = f[kHalf] = f[2 * kHalf] = v;
    b[0] = b[kHalf] = b[2 * kHalf] = v;
  }
  double at(int position) const noexcept {
    return forwardConst(position & 1)[(position & (kSize - 1)) >> 1];
  }

  // Entry (k0 + j) mod 512 of half `parity`, j >= 0, as run[j] with k0 in 0..511.
  const double* forwardRun(int parity, int k0) const noexcept { return forwardConst(parity) + k0; }
  // Entry (k0 - 1 - j) mod 512 of half `parity` as run[j].
  const double* backwardRun(int parity, int k0) const noexcept {
    return data + (2 * parity + 1) * kRun + ((kHalf - k0) & (kHalf - 1));
  }

 private:
  double* forward(int parity) noexcept { return data + 2 * parity * kRun; }
  double* backward(int parity) noexcept { return data + (2 * parity + 1) * kRun; }
  const double* forwardConst(int parity) const noexcept { return data + 2 * parity * kRun; }

  double* data = nullptr;
};

struct StereoSums {
  double left;
  double right;
};

// Sum over j < n of h[j] * (fL[j] - bL[j]), and the same for the right
// channel. The order of the sum is fixed; only fused multiply-adds (on CPUs
// that have them) change its rounding.
StereoSums hilbertSums(const double* h, const double* fL, const double* bL, const double* fR, const double* bR,
                       int n) noexcept;

// The sums of up to four consecutive outputs of one parity at once, which
// share one pass over the coefficients and the history (at 960 taps the
// history of both parities does not fit the first-level cache): output m
// reads fL + m, bL - m, fR + m and bR - m. Partial sums in another order than
// hilbertSums, so the last bits may differ.
void hilbertSumsBatch(const double* h, const double* fL, const double* bL, const double* fR, const double* bR,
                      int n, int count, StereoSums* out) noexcept;

// With more than 256 taps the sums read every entry of a parity's half (512
// entries) more than once. Folded, each output is one 512-term dot product
// with the forward run: folded[d] = H[d] - H[511 - d], H[d] = h[d] + h[d + 512].
inline constexpr int kFoldedSize = HilbertRing::kHalf;
void foldHilbertCoefficients(const double* h, double* folded) noexcept;

// Sum over d < 512 of g[d] * xL[m + d], and the same for xR, for the
// outputs m < count (at most 4) in one pass.
void foldedSumsBatch(const double* g, const double* xL, const double* xR, int count, StereoSums* out) noexcept;

// Squared magnitude of the analytic signal at the centre q = newest - taps:
// the centre sample squared plus the odd-tap transform around it squared.
// Taps later than the newest entry address the oldest ones of the ring.
inline StereoSums analyticPower(const HilbertRing& left, const HilbertRing& right, int newest, int taps,
                                const double* h) noexcept {
  const int q = (newest - taps) & (HilbertRing::kSize - 1);
  const int parity = (q + 1) & 1;
  const int k0 = ((q + 1) & (HilbertRing::kSize - 1)) >> 1;
  const StereoSums acc = hilbertSums(h, left.forwardRun(parity, k0), left.backwardRun(parity, k0),
                                     right.forwardRun(parity, k0), right.backwardRun(parity, k0), taps);
  const double cl = left.at(q), cr = right.at(q);
  return {cl * cl + acc.left * acc.left, cr * cr + acc.right * acc.right};
}

// Single-precision estimate of sqrt(power) through the inverse square root
// with two Newton steps; power 0 gives 0.
inline double fastMagnitude(double power) noexcept {
  // A power beyond the float range becomes infinity instead of an undefined conversion.
  const float p = power < static_cast<double>(std::numeric_limits<float>::max())
                      ? static_cast<float>(power)
                      : std::numeric_limits<float>::infinity();
  const float half = 0.5f * p;
  int32_t i;
  std::memcpy(&i, &p, sizeof i);
  i = 0x5F3759DF - (i >> 1);
  float y;
  std::memcpy(&y, &i, sizeof y);
  y = y * (1.5f - half * y * y);
  y = y * (1.5f - half * y * y);
  const float m = p * y;
  return m;
}

inline double exactMagnitude(double power) noexcept { return std::sqrt(power); }

// Detector level in threshold units from the magnitude: scaled so a sine's
// amplitude reads close to itself (+0.05 dB), plus a floor so the envelope
// never starts from zero.
inline double detectorLevel(double magnitude, double thresholdFactor) noexcept {
  return magnitude * 1.4142 * 0.582 * 1.005773063 * thresholdFactor + 0.005;
}

}  // namespace orv::valdris
