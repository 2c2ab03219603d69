#include "dsp/halfband_resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace orv::dsp {
namespace {

constexpr double kPi = std::numbers::pi;

double windowedSinc(int i, bool blackman) {
  const int a = i < 0 ? -i : i;
  const double k = a == 0 ? 0.5 : std::sin(kPi * a / 2) / (256 * std::sin(kPi * a / 255));
  const double v = blackman ? 2 * k * (0.42 + 0.5 * std::cos(2 * kPi * a / 255) + 0.08 * std::cos(4 * kPi * a / 255))
                            : k * (0.5 + 0.5 * std::cos(2 * kPi * a / 255));
  return std::fabs(v) < 1e-16 ? 0.0 : v;
}
double tapA(int i) { return windowedSinc(i, true); }
double tapB(int i) { return windowedSinc(i, false); }

// The resampler's formulas over whole signals indexed by time, with zeros
// before the start: `in` is everything written to the first history (inputs
// of interpolate and delayBefore), `out` everything written to the second
// (inputs of decimate and delayAfter).
struct ReferenceResampler {
  std::vector<double> in, out;

  static double at(const std::vector<double>& s, long i) { return i < 0 ? 0.0 : s[static_cast<size_t>(i)]; }

  std::vector<double> interpolate(const std::vector<double>& block) {
    std::vector<double> result;
    for (const double v : block) {
      in.push_back(v);
      const long t = static_cast<long>(in.size()) - 1;
      double s = 0;
      for (int m = 0; m < 64; ++m) s += tapA(2 * m + 1) * (at(in, t - 64 + m) + at(in, t - 65 - m));
      result.push_back(s);
      result.push_back(tapA(0) * at(in, t - 64));
    }
    return result;
  }
  std::vector<double> decimate(const std::vector<double>& block) {
    std::vector<double> result;
    for (size_t j = 0; j + 1 < block.size(); j += 2) {
      out.push_back(block[j]);
      const long c = static_cast<long>(out.size()) - 1 - 129;  // u[2t - 129]
      double s = tapB(0) * at(out, c);
      for (int m = 0; m < 64; ++m) s += tapB(2 * m + 1) * (at(out, c + (2 * m + 1)) + at(out, c - (2 * m + 1)));
      result.push_back(s);
      out.push_back(block[j + 1]);
    }
    return result;
  }
  std::vector<double> delayBefore(const std::vector<double>& block) {
    std::vector<double> result;
    for (const double v : block) {
      in.push_back(v);
      result.push_back(at(in, static_cast<long>(in.size()) - 1 - 64));
    }
    return result;
  }
  std::vector<double> delayAfter(const std::vector<double>& block) {
    std::vector<double> result;
    for (const double v : block) {
      out.push_back(v);
      result.push_back(at(out, static_cast<long>(out.size()) - 1 - 64));
    }
    return result;
  }
};

void expectClose(const std::vector<double>& got, const std::vector<double>& want, const char* what, int block) {
  ASSERT_EQ(got.size(), want.size()) << what << " block " << block;
  for (size_t i = 0; i < got.size(); ++i)
    ASSERT_NEAR(got[i], want[i], 1e-12 * std::max(1.0, std::fabs(want[i]))) << what << " block " << block << " [" << i << "]";
}

std::vector<double> randomBlock(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> v(static_cast<size_t>(n));
  for (double& x : v) x = dist(rng);
  return v;
}

TEST(HalfbandResampler, TablesFollowTheWindowedSinc) {
  const HalfbandResampler r;
  EXPECT_EQ(r.getLatency(), 126);
  // The window's terms sum to 1 only up to rounding.
  EXPECT_DOUBLE_EQ(r.interpolationTap(0), 1.0);
  EXPECT_DOUBLE_EQ(r.decimationTap(0), 0.5);
  for (int i = -127; i <= 127; ++i) {
    EXPECT_NEAR(r.interpolationTap(i), tapA(i), 1e-17) << i;
    EXPECT_NEAR(r.decimationTap(i), tapB(i), 1e-17) << i;
    EXPECT_EQ(r.interpolationTap(i), r.interpolationTap(-i));
    if (i % 2 != 0) {
      EXPECT_NE(r.interpolationTap(i), 0.0) << i;
      EXPECT_NE(r.decimationTap(i), 0.0) << i;
    }
  }
  EXPECT_EQ(r.interpolationTap(128), 0.0);
  EXPECT_EQ(r.decimationTap(-200), 0.0);
  // Even taps vanish but for rounding; the threshold leaves at most crumbs.
  for (int i = 2; i <= 126; i += 2) {
    EXPECT_LT(std::fabs(r.interpolationTap(i)), 1e-15) << i;
    EXPECT_LT(std::fabs(r.decimationTap(i)), 1e-15) << i;
  }
}

struct BlockPlan {
  int maxBlock;
  int largest;  // block sizes are drawn from 1..largest
};

class HalfbandAgainstReference : public testing::TestWithParam<BlockPlan> {};

TEST_P(HalfbandAgainstReference, InterpolateAndDecimateMatchTheFormulas) {
  const BlockPlan plan = GetParam();
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> size(1, plan.largest);
  HalfbandResampler r(plan.maxBlock);
  ReferenceResampler ref;
  for (int b = 0; b < 400; ++b) {
    const int n = size(rng);
    // Interpolate a random block.
    std::vector<double> block = randomBlock(rng, n);
    const std::vector<double> wantUp = ref.interpolate(block);
    block.resize(2 * static_cast<size_t>(n));
    r.interpolate(block.data(), n);
    expectClose(block, wantUp, "interpolate", b);
    // Decimate an unrelated random block at the doubled rate.
    std::vector<double> doubled = randomBlock(rng, 2 * n);
    const std::vector<double> wantDown = ref.decimate(doubled);
    r.decimate(doubled.data(), 2 * n);
    doubled.resize(static_cast<size_t>(n));
    expectClose(doubled, wantDown, "decimate", b);
  }
}

TEST_P(HalfbandAgainstReference, DelaysMatchTheFormulas) {
  const BlockPlan plan = GetParam();
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> size(1, plan.largest);
  HalfbandResampler r(plan.maxBlock);
  ReferenceResampler ref;
  for (int b = 0; b < 300; ++b) {
    const int n = size(rng);
    std::vector<double> before = randomBlock(rng, n);
    const std::vector<double> wantBefore = ref.delayBefore(before);
    r.delayBefore(before.data(), n);
    expectClose(before, wantBefore, "delayBefore", b);
    std::vector<double> after = randomBlock(rng, n);
    const std::vector<double> wantAfter = ref.delayAfter(after);
    r.delayAfter(after.data(), n);
    expectClose(after, wantAfter, "delayAfter", b);
  }
}

// Switching between oversampling and delay without a reset: the delays share
// their history with the interpolator and the decimator.
TEST_P(HalfbandAgainstReference, ModesShareTheirHistories) {
  const BlockPlan plan = GetParam();
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> size(1, plan.largest);
  std::bernoulli_distribution coin(0.5);
  HalfbandResampler r(plan.maxBlock);
  ReferenceResampler ref;
  for (int b = 0; b < 300; ++b) {
    const int n = size(rng);
    std::vector<double> block = randomBlock(rng, n);
    if (coin(rng)) {
      const std::vector<double> want = ref.interpolate(block);
      block.resize(2 * static_cast<size_t>(n));
      r.interpolate(block.data(), n);
      expectClose(block, want, "interpolate", b);
    } else {
      const std::vector<double> want = ref.delayBefore(block);
      r.delayBefore(block.data(), n);
      expectClose(block, want, "delayBefore", b);
    }
    if (coin(rng)) {
      std::vector<double> doubled = randomBlock(rng, 2 * n);
      const std::vector<double> want = ref.decimate(doubled);
      r.decimate(doubled.data(), 2 * n);
      doubled.resize(static_cast<size_t>(n));
      expectClose(doubled, want, "decimate", b);
    } else {
      std::vector<double> other = randomBlock(rng, n);
      const std::vector<double> want = ref.delayAfter(other);
      r.delayAfter(other.data(), n);
      expectClose(other, want, "delayAfter", b);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, HalfbandAgainstReference,
                         testing::Values(BlockPlan{64, 64},    // the engine's blocks
                                         BlockPlan{64, 7},     // short blocks, less than a group
                                         BlockPlan{16, 64},    // longer than the work areas
                                         BlockPlan{1, 5},      // one sample at a time
                                         BlockPlan{64, 300})); // far longer than the work areas

// Runs a signal through interpolate and decimate in blocks of `block`.
std::vector<double> roundTrip(HalfbandResampler& r, const std::vector<double>& x, int block) {
  std::vector<double> y;
  std::vector<double> buf(2 * static_cast<size_t>(block));
  for (size_t start = 0; start < x.size(); start += static_cast<size_t>(block)) {
    const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(block), x.size() - start));
    std::copy(x.begin() + static_cast<long>(start), x.begin() + static_cast<long>(start) + n, buf.begin());
    r.interpolate(buf.data(), n);
    r.decimate(buf.data(), 2 * n);
    y.insert(y.end(), buf.begin(), buf.begin() + n);
  }
  return y;
}

TEST(HalfbandResampler, ConstantComesBackAfter129Samples) {
  HalfbandResampler r;
  const std::vector<double> y = roundTrip(r, std::vector<double>(600, 1.0), 64);
  // Interpolated samples carry the odd taps' DC gain, direct ones 1; the
  // decimator weighs them with its centre and odd taps.
  double oddA = 0, oddB = 0;
  for (int i = 1; i <= 127; i += 2) {
    oddA += 2 * r.interpolationTap(i);
    oddB += 2 * r.decimationTap(i);
  }
  const double dc = r.decimationTap(0) * r.interpolationTap(0) + oddB * oddA;
  EXPECT_NEAR(dc, 1.0, 0.004);  // the tables' DC gain: about 0.99610
  for (int t = 0; t < 129; ++t) ASSERT_LT(std::fabs(y[static_cast<size_t>(t)]), 0.005) << t;
  for (int t = 129; t < 600; ++t) ASSERT_NEAR(y[static_cast<size_t>(t)], 1.0, 0.008) << t;
  // Once both filters see only the constant, it is exactly the DC gain.
  for (int t = 256; t < 600; ++t) ASSERT_NEAR(y[static_cast<size_t>(t)], dc, 1e-12) << t;
}

TEST(HalfbandResampler, RoundTripIsAlmostAPureDelay) {
  HalfbandResampler r;
  std::vector<double> x(400, 0.0);
  x[10] = 1.0;
  const std::vector<double> y = roundTrip(r, x, 37);
  size_t peak = 0;
  for (size_t i = 0; i < y.size(); ++i)
    if (std::fabs(y[i]) > std::fabs(y[peak])) peak = i;
  EXPECT_EQ(peak, 10u + 129u);
  EXPECT_NEAR(y[peak], 1.0, 0.02);
  // Both filters are symmetric, so the response is symmetric about its peak.
  for (size_t d = 1; d <= 129; ++d) EXPECT_NEAR(y[peak + d], y[peak - d], 1e-15) << d;
}

TEST(HalfbandResampler, PassesBaseBandSineWithTheDelay) {
  HalfbandResampler r;
  const double w = 2 * kPi * 0.1;  // 4.41 kHz at 44.1 kHz
  std::vector<double> x(1000);
  for (size_t i = 0; i < x.size(); ++i) x[i] = std::sin(w * static_cast<double>(i));
  const std::vector<double> y = roundTrip(r, x, 64);
  for (size_t t = 400; t < x.size(); ++t) ASSERT_NEAR(y[t], x[t - 129], 0.01) << t;
}

TEST(HalfbandResampler, DelaysTogetherDelayAnImpulseBy128) {
  HalfbandResampler r;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> size(1, 64);
  std::vector<double> y;
  int written = 0;
  while (written < 400) {
    const int n = size(rng);
    std::vector<double> block(static_cast<size_t>(n), 0.0);
    for (int i = 0; i < n; ++i)
      if (written + i == 17) block[static_cast<size_t>(i)] = 1.0;
    r.delayBefore(block.data(), n);
    r.delayAfter(block.data(), n);
    y.insert(y.end(), block.begin(), block.end());
    written += n;
  }
  for (size_t t = 0; t < y.size(); ++t) ASSERT_EQ(y[t], t == 17 + 128 ? 1.0 : 0.0) << t;
}

TEST(HalfbandResampler, ResetForgetsEverything) {
  std::mt19937 rng(77);
  HalfbandResampler used;
  for (int b = 0; b < 10; ++b) {
    std::vector<double> block = randomBlock(rng, 64);
    block.resize(128);
    used.interpolate(block.data(), 64);
    used.decimate(block.data(), 128);
    std::vector<double> other = randomBlock(rng, 33);
    used.delayBefore(other.data(), 33);
    used.delayAfter(other.data(), 33);
  }
  used.reset();
  HalfbandResampler fresh;
  for (int b = 0; b < 6; ++b) {
    std::vector<double> a = randomBlock(rng, 50);
    a.resize(100);
    std::vector<double> c = a;
    used.interpolate(a.data(), 50);
    fresh.interpolate(c.data(), 50);
    used.decimate(a.data(), 100);
    fresh.decimate(c.data(), 100);
    for (size_t i = 0; i < 50; ++i) ASSERT_EQ(a[i], c[i]) << b << " " << i;
  }
  // Silence after a reset stays silence, in the delays too.
  used.reset();
  std::vector<double> zeros(64, 0.0);
  used.delayBefore(zeros.data(), 64);
  used.delayAfter(zeros.data(), 64);
  for (const double v : zeros) ASSERT_EQ(v, 0.0);
}

TEST(HalfbandResampler, EmptyAndInvalidBlocksChangeNothing) {
  HalfbandResampler r;
  double buf[4] = {1, 2, 3, 4};
  r.interpolate(buf, 0);
  r.interpolate(buf, -5);
  r.decimate(buf, 1);
  r.decimate(buf, -2);
  r.delayBefore(buf, 0);
  r.delayAfter(buf, -1);
  r.interpolate(nullptr, 4);
  r.decimate(nullptr, 4);
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(buf[1], 2);
  EXPECT_EQ(buf[2], 3);
  EXPECT_EQ(buf[3], 4);
  // Nothing entered the histories either: a delayed impulse comes out on time.
  std::vector<double> block(128, 0.0);
  block[0] = 1;
  r.delayBefore(block.data(), 128);
  EXPECT_EQ(block[64], 1.0);
  // An odd count leaves its last sample alone.
  HalfbandResampler odd;
  double three[3] = {1, 1, 7};
  odd.decimate(three, 3);
  EXPECT_EQ(three[2], 7);
}

TEST(HalfbandResampler, ZeroMaxBlockStillWorks) {
  HalfbandResampler r(0);
  EXPECT_EQ(r.maxBlock(), 1);
  ReferenceResampler ref;
  std::mt19937 rng(3);
  std::vector<double> block = randomBlock(rng, 10);
  const std::vector<double> want = ref.interpolate(block);
  block.resize(20);
  r.interpolate(block.data(), 10);
  expectClose(block, want, "interpolate", 0);
}

}  // namespace
}  // namespace orv::dsp
