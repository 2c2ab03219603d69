#include "dsp/halfband_resampler.h"

#include "dsp/cpu_clones.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "dsp/cpu_clones.h"

namespace orv::dsp {

namespace {

constexpr int kOddTaps = 64;

// acc[i] += sum over m of taps[m] * (src[64 + i + m] + src[63 + i - m]), i < count:
// the odd taps of a half-band filter centred between src[63 + i] and
// src[64 + i]. Each output is summed in the order of m, as a plain loop
// would; the vectors hold neighbouring outputs, never neighbouring taps, so
// no sum is reordered. Sixteen outputs at a time keep four independent
// chains of additions in flight. The AVX2 clone (picked at run time) only
// widens the registers: with fused multiply-adds off for this library it
// gives the same bits.
typedef double Outputs __attribute__((vector_size(32)));

// By reference: 256-bit vectors passed by value would depend on the ABI of the clone.
inline void load(Outputs& v, const double* p) noexcept { std::memcpy(&v, p, sizeof v); }

template <int kVectors>
inline void symmetricGroup(const double* src, const double* taps, double* acc) noexcept {
  Outputs s[kVectors];
  for (int v = 0; v < kVectors; ++v) load(s[v], acc + 4 * v);
  for (int m = 0; m < kOddTaps; ++m) {
    const double t = taps[m];
    for (int v = 0; v < kVectors; ++v) {
      Outputs newer, older;
      load(newer, src + 64 + 4 * v + m);
      load(older, src + 63 + 4 * v - m);
      s[v] += t * (newer + older);
    }
  }
  for (int v = 0; v < kVectors; ++v) std::memcpy(acc + 4 * v, &s[v], sizeof s[v]);
}

ORV_CPU_CLONES
void addSymmetricTaps(const double* src, const double* taps, double* acc, int count) noexcept {
  int i = 0;
  for (; i + 16 <= count; i += 16) symmetricGroup<4>(src + i, taps, acc + i);
  for (; i + 4 <= count; i += 4) symmetricGroup<1>(src + i, taps, acc + i);
  for (; i < count; ++i) {
    double s = acc[i];
    const double* newer = src + 64 + i;
    const double* older = src + 63 + i;
    for (int m = 0; m < kOddTaps; ++m) s += taps[m] * (newer[m] + older[-m]);
    acc[i] = s;
  }
}

double zeroIfNegligible(double v) noexcept { return std::fabs(v) < 1e-16 ? 0.0 : v; }

}  // namespace

HalfbandResampler::HalfbandResampler(int maxBlock) : maxBlock_(std::max(maxBlock, 1)) {
  constexpr double pi = std::numbers::pi;
  for (int i = 0; i <= kHalfLength; ++i) {
    // Sinc of a half-band lowpass; even taps other than the centre are zero up
    // to rounding, which the threshold below removes.
    const double k = i == 0 ? 0.5 : std::sin(pi * i / 2.0) / (256.0 * std::sin(pi * i / 255.0));
    const double blackman = 0.42 + 0.5 * std::cos(2.0 * pi * i / 255.0) + 0.08 * std::cos(4.0 * pi * i / 255.0);
    const double hann = 0.5 + 0.5 * std::cos(2.0 * pi * i / 255.0);
    interpolationTable_[i] = zeroIfNegligible(2.0 * k * blackman);
    decimationTable_[i] = zeroIfNegligible(k * hann);
  }
  for (int m = 0; m < kOddTaps; ++m) {
    interpolationOdd_[m] = interpolationTable_[2 * m + 1];
    decimationOdd_[m] = decimationTable_[2 * m + 1];
  }

  inputHistory_.assign(kInputHistory + maxBlock_, 0.0);
  outputHistory_.assign(kOutputHistory + 2 * maxBlock_, 0.0);
  evenPhase_.assign(kOutputHistory / 2 + maxBlock_, 0.0);
  oddPhase_.assign(kOutputHistory / 2 + maxBlock_, 0.0);
  work_.assign(2 * maxBlock_, 0.0);
}

void HalfbandResampler::reset() noexcept {
  std::fill(inputHistory_.begin(), inputHistory_.end(), 0.0);
  std::fill(outputHistory_.begin(), outputHistory_.end(), 0.0);
}

double HalfbandResampler::interpolationTap(int i) const noexcept {
  return (i < -kHalfLength || i > kHalfLength) ? 0.0 : interpolationTable_[i < 0 ? -i : i];
}

double HalfbandResampler::decimationTap(int i) const noexcept {
  return (i < -kHalfLength || i > kHalfLength) ? 0.0 : decimationTable_[i < 0 ? -i : i];
}

void HalfbandResampler::interpolate(double* buffer, int n) noexcept {
  if (buffer == nullptr || n <= 0) return;
  // A block longer than the work areas is moved to the upper half first, so
  // that 2 outputs written per input never overtake the unread inputs.
  const double* input = buffer;
  if (n > maxBlock_) {
    std::memmove(buffer + n, buffer, sizeof(double) * static_cast<size_t>(n));
    input = buffer + n;
  }
  double* history = inputHistory_.data();  // history[128 + i] is the block's input i
  double* work = work_.data();
  const double centre = interpolationTable_[0];
  for (int done = 0; done < n;) {
    const int count = std::min(maxBlock_, n - done);
    std::memcpy(history + kInputHistory, input + done, sizeof(double) * static_cast<size_t>(count));
    std::fill(work, work + count, 0.0);
    // Halfway between x[t - 65] and x[t - 64].
    addSymmetricTaps(history, interpolationOdd_, work, count);
    double* out = buffer + 2 * done;
    for (int i = 0; i < count; ++i) {
      out[2 * i] = work[i];
      out[2 * i + 1] = centre * history[64 + i];  // x[t - 64]
    }
    std::memmove(history, history + count, sizeof(double) * kInputHistory);
    done += count;
  }
}

void HalfbandResampler::decimate(double* buffer, int count) noexcept {
  if (buffer == nullptr || count < 2) return;
  const int n = count / 2;
  double* history = outputHistory_.data();  // history[256 + j] is the block's input j
  double* even = evenPhase_.data();
  double* odd = oddPhase_.data();
  double* work = work_.data();
  const double centre = decimationTable_[0];
  for (int done = 0; done < n;) {
    const int pairs = std::min(maxBlock_, n - done);
    std::memcpy(history + kOutputHistory, buffer + 2 * done, sizeof(double) * 2 * static_cast<size_t>(pairs));
    const int phaseLength = kOutputHistory / 2 + pairs;
    for (int k = 0; k < phaseLength; ++k) {
      even[k] = history[2 * k];
      odd[k] = history[2 * k + 1];
    }
    // Output i is centred on u[2t - 129] = history[127 + 2i] = odd[63 + i];
    // its odd-distance neighbours are the even entries.
    for (int i = 0; i < pairs; ++i) work[i] = centre * odd[63 + i];
    addSymmetricTaps(even, decimationOdd_, work, pairs);
    std::memcpy(buffer + done, work, sizeof(double) * static_cast<size_t>(pairs));
    std::memmove(history, history + 2 * pairs, sizeof(double) * kOutputHistory);
    done += pairs;
  }
}

void HalfbandResampler::delayBefore(double* buffer, int n) noexcept {
  if (buffer == nullptr || n <= 0) return;
  double* history = inputHistory_.data();
  for (int done = 0; done < n;) {
    const int count = std::min(maxBlock_, n - done);
    std::memcpy(history + kInputHistory, buffer + done, sizeof(double) * static_cast<size_t>(count));
    std::memcpy(buffer + done, history + kInputHistory - kDelay, sizeof(double) * static_cast<size_t>(count));
    std::memmove(history, history + count, sizeof(double) * kInputHistory);
    done += count;
  }
}

void HalfbandResampler::delayAfter(double* buffer, int n) noexcept {
  if (buffer == nullptr || n <= 0) return;
  double* history = outputHistory_.data();
  for (int done = 0; done < n;) {
    const int count = std::min(maxBlock_, n - done);
    std::memcpy(history + kOutputHistory, buffer + done, sizeof(double) * static_cast<size_t>(count));
    std::memcpy(buffer + done, history + kOutputHistory - kDelay, sizeof(double) * static_cast<size_t>(count));
    std::memmove(history, history + count, sizeof(double) * kOutputHistory);
    done += count;
  }
}

}  // namespace orv::dsp
