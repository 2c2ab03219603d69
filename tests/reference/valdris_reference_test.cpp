// Checks of the reference model on its own: latency and detector level, so
// that a disagreement with the real engine can be blamed on the right side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/reference/valdris_reference.h"
#include "valdris/parameters.h"

namespace {

using orv::reference::ValdrisReference;
namespace p = orv::valdris;

constexpr double kPi = 3.14159265358979323846;

// The "Default" factory preset plus meter settings.
void applyDefault(ValdrisReference& ref, bool fat, bool smooth) {
  const float values[p::kNumParamIndices] = {
      1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.1667f, 0.3f, 0.5f, 0.0f, 0.5f, 0.0f, 0.333333f, 0.0f, 0.0f,
      1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f,    0.5f, 1.0f, 0.5f, 0.5f, 0.0f, 0.0f,      0.0f, 0.0f,
      0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,    0.0f, 0.0f, 0.5f, 0.41f, 0.5f, 0.5f,     0.2222222f};
  for (int i = 0; i < p::kNumParamIndices; ++i) ref.setParameter(i, values[i]);
  ref.setParameter(p::kFat, fat ? 1.0f : 0.0f);
  ref.setParameter(p::kSmooth, smooth ? 1.0f : 0.0f);
}

struct Mode {
  bool fat, smooth;
};

class ReferenceModes : public ::testing::TestWithParam<Mode> {};

// With Power off the signal only passes the delays and, in the oversampled
// paths, the half-band pair; its peak lands on the reported latency.
TEST_P(ReferenceModes, ImpulseWithPowerOffArrivesAfter1660Samples) {
  ValdrisReference ref;
  ref.setSampleRate(44100.0);
  applyDefault(ref, GetParam().fat, GetParam().smooth);
  ref.setParameter(p::kPower, 0.0f);
  ref.suspend();
  ref.resume();
  const int n = 4000;
  std::vector<double> in(n, 0.0), zero(n, 0.0), l(n), r(n);
  in[100] = 0.5;
  const double* inputs[4] = {in.data(), in.data(), zero.data(), zero.data()};
  double* outputs[2] = {l.data(), r.data()};
  ref.process(inputs, outputs, n);
  int peak = 0;
  for (int i = 0; i < n; ++i)
    if (std::fabs(l[i]) > std::fabs(l[peak])) peak = i;
  EXPECT_EQ(peak, 100 + 1660);
  if (!GetParam().fat) {
    EXPECT_NEAR(l[peak], 0.5, 1e-9);
    EXPECT_NEAR(r[peak], 0.5, 1e-9);
  } else {
    EXPECT_GT(l[peak], 0.25);
  }
}

// A steady full-scale sine at threshold factor 1 gives a level near
// 1.4142 * 0.582 * 1.005773063 + 0.005 once the detector's ring is full.
TEST_P(ReferenceModes, SteadySineDetectorLevel) {
  ValdrisReference ref;
  ref.setSampleRate(44100.0);
  applyDefault(ref, GetParam().fat, GetParam().smooth);
  ref.setParameter(p::kThreshold, 1.0f / 6.0f);
  ref.setParameter(p::kLink, 0.0f);
  ref.setParameter(p::kHighShelfBoost, 0.0f);
  ref.setParameter(p::kHigh, 1.0f);
  ref.setParameter(p::kLowShelfBoost, 0.0f);
  ref.setParameter(p::kLow, 0.0f);
  ref.suspend();
  ref.resume();
  const int n = 20000;
  std::vector<double> in(n), l(n), r(n);
  for (int i = 0; i < n; ++i) in[i] = std::sin(2.0 * kPi * 1000.0 * i / 44100.0);
  const double* inputs[4] = {in.data(), in.data(), nullptr, nullptr};
  double* outputs[2] = {l.data(), r.data()};
  double lo = 1e9, hi = -1e9, sum = 0.0;
  int count = 0;
  for (int start = 0; start < n; start += 64) {
    const int len = std::min(64, n - start);
    ref.process(inputs, outputs, len);
    for (auto& q : inputs) q = q ? q + len : q;
    for (auto& q : outputs) q += len;
    if (start > 10000) {
      lo = std::min(lo, ref.lastDetector(0));
      hi = std::max(hi, ref.lastDetector(0));
      sum += ref.lastDetector(0);
      ++count;
    }
  }
  const double expected = 1.4142 * 0.582 * 1.005773063 + 0.005;
  // The forward taps beyond the newest sample read the oldest ring entries,
  // which adds a ripple of a few percent around the expected level.
  EXPECT_NEAR(sum / count, expected, 0.025);
  EXPECT_NEAR(lo, expected, 0.06);
  EXPECT_NEAR(hi, expected, 0.06);
}

INSTANTIATE_TEST_SUITE_P(AllKernels, ReferenceModes,
                         ::testing::Values(Mode{false, false}, Mode{true, false}, Mode{false, true}, Mode{true, true}),
                         [](const auto& info) {
                           return std::string(info.param.fat ? "Fat" : "") + (info.param.smooth ? "Smooth" : "") +
                                  (!info.param.fat && !info.param.smooth ? "Plain" : "");
                         });

}  // namespace
