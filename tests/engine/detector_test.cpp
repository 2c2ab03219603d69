// The stages both compressors share: Hilbert detector and its ring, static
// curve, envelope follower and meter-feed updates.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/biquad.h"
#include "valdris/gain_computer.h"
#include "valdris/hilbert_detector.h"
#include "valdris/meter_feed.h"

namespace {

using namespace orv::valdris;
constexpr double kPi = std::numbers::pi;

struct DetectorRings {
  std::vector<double> memory = std::vector<double>(2 * HilbertRing::kDoubles, 0.0);
  HilbertRing left, right;
  std::vector<double> plainLeft = std::vector<double>(1024, 0.0), plainRight = std::vector<double>(1024, 0.0);
  DetectorRings() {
    left.attach(memory.data());
    right.attach(memory.data() + HilbertRing::kDoubles);
  }
  void write(int position, double l, double r) {
    left.write(position, l);
    right.write(position, r);
    plainLeft[position] = l;
    plainRight[position] = r;
  }
};

// The transform as a plain loop over a 1024-entry ring, every position masked.
double naivePower(const std::vector<double>& ring, int newest, int taps, const double* h) {
  const int q = newest - taps;
  double acc = 0.0;
  for (int j = 0; j < taps; ++j) acc += h[j] * (ring[(q + 1 + 2 * j) & 1023] - ring[(q - 1 - 2 * j) & 1023]);
  const double c = ring[q & 1023];
  return c * c + acc * acc;
}

TEST(HilbertDetector, SplitRingMatchesThePlainRingForEveryLengthAndPosition) {
  std::vector<double> h(kHilbertTableSize);
  uint32_t seed = 7;
  for (int taps : {1, 2, 3, 8, 55, 110, 220, 480, 511, 512, 513, 960}) {
    fillHilbertCoefficients(h.data(), taps);
    DetectorRings rings;
    // Walk through several wraps so every position and parity is hit.
    for (int step = 0; step < 2600; ++step) {
      const int w = (step + 1000) & 1023;
      seed = seed * 1664525u + 1013904223u;
      const double l = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
      rings.write(w, l, 0.5 * l + 0.25);
      const StereoSums fast = analyticPower(rings.left, rings.right, w, taps, h.data());
      const double el = naivePower(rings.plainLeft, w, taps, h.data());
      const double er = naivePower(rings.plainRight, w, taps, h.data());
      ASSERT_NEAR(fast.left, el, 1e-12 * (1.0 + el)) << taps << " at " << w;
      ASSERT_NEAR(fast.right, er, 1e-12 * (1.0 + er)) << taps << " at " << w;
    }
  }
}

// Random history on every position of both rings, different per channel.
void fillRandom(DetectorRings& rings, uint32_t seed) {
  for (int w = 0; w < HilbertRing::kSize; ++w) {
    seed = seed * 1664525u + 1013904223u;
    const double l = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    seed = seed * 1664525u + 1013904223u;
    const double r = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    rings.write(w, l, r);
  }
}

// The one-at-a-time sum of the output whose runs start at entry k0 of half `parity`.
StereoSums singleSums(const DetectorRings& rings, const double* h, int parity, int k0, int taps) {
  const int k = k0 & (HilbertRing::kHalf - 1);
  return hilbertSums(h, rings.left.forwardRun(parity, k), rings.left.backwardRun(parity, k),
                     rings.right.forwardRun(parity, k), rings.right.backwardRun(parity, k), taps);
}

// Batched and folded sums only reorder the additions.
bool sameSum(const StereoSums& got, const StereoSums& want) {
  return std::fabs(got.left - want.left) <= 1e-12 * (1.0 + std::fabs(want.left)) &&
         std::fabs(got.right - want.right) <= 1e-12 * (1.0 + std::fabs(want.right));
}

// Every start entry of both halves, so the forward runs cross the end of the
// half and the backward runs need the step back past their start; batches of
// one to four outputs. 320 taps is where the engine switches to the folded sum.
TEST(HilbertDetector, BatchedAndFoldedSumsEqualTheOneAtATimeSums) {
  std::vector<double> h(kHilbertTableSize), g(kFoldedSize);
  DetectorRings rings;
  fillRandom(rings, 11);
  for (int taps : {1, 55, 220, 319, 320, 480, 512, 960}) {
    fillHilbertCoefficients(h.data(), taps);
    foldHilbertCoefficients(h.data(), g.data());
    for (int parity = 0; parity < 2; ++parity) {
      for (int k0 = 0; k0 < HilbertRing::kHalf; ++k0) {
        StereoSums want[4];
        for (int m = 0; m < 4; ++m) want[m] = singleSums(rings, h.data(), parity, k0 + m, taps);
        for (int count = 1; count <= 4; ++count) {
          // Output m reads the backward run m entries before its start: step
          // to the next copy when the run starts too close to the front.
          const double* bL = rings.left.backwardRun(parity, k0);
          const double* bR = rings.right.backwardRun(parity, k0);
          if (((HilbertRing::kHalf - k0) & (HilbertRing::kHalf - 1)) < count - 1)
            bL += HilbertRing::kHalf, bR += HilbertRing::kHalf;
          const double* fL = rings.left.forwardRun(parity, k0);
          const double* fR = rings.right.forwardRun(parity, k0);
          StereoSums batched[4], folded[4];
          hilbertSumsBatch(h.data(), fL, bL, fR, bR, taps, count, batched);
          foldedSumsBatch(g.data(), fL, fR, count, folded);
          for (int m = 0; m < count; ++m) {
            ASSERT_TRUE(sameSum(batched[m], want[m]))
                << "batched: " << taps << " taps, parity " << parity << ", k0 " << k0 << ", output " << m << " of "
                << count << ": " << batched[m].left << " " << batched[m].right << " for " << want[m].left << " "
                << want[m].right;
            ASSERT_TRUE(sameSum(folded[m], want[m]))
                << "folded: " << taps << " taps, parity " << parity << ", k0 " << k0 << ", output " << m << " of "
                << count << ": " << folded[m].left << " " << folded[m].right << " for " << want[m].left << " "
                << want[m].right;
          }
        }
      }
    }
  }
}

// A batch overwrites entries that earlier outputs still read with their old
// values; the correction adds the folded coefficient times the change. So the
// folded coefficient at distance d from the run's start must be the weight of
// that entry in the sum: an impulse there reads exactly it.
TEST(HilbertDetector, FoldedCoefficientIsTheWeightOfEachEntry) {
  std::vector<double> h(kHilbertTableSize), g(kFoldedSize);
  for (int taps : {1, 55, 220, 319, 320, 480, 512, 960}) {
    fillHilbertCoefficients(h.data(), taps);
    foldHilbertCoefficients(h.data(), g.data());
    for (int parity = 0; parity < 2; ++parity) {
      for (int k0 : {0, 1, 255, 510, 511}) {
        DetectorRings rings;
        for (int d = 0; d < HilbertRing::kHalf; ++d) {
          const int position = 2 * ((k0 + d) & (HilbertRing::kHalf - 1)) + parity;
          rings.write(position, 1.0, -0.5);
          const StereoSums s = singleSums(rings, h.data(), parity, k0, taps);
          rings.write(position, 0.0, 0.0);
          ASSERT_NEAR(s.left, g[d], 1e-15) << taps << " taps, parity " << parity << ", k0 " << k0 << ", d " << d;
          ASSERT_NEAR(s.right, -0.5 * g[d], 1e-15) << taps << " taps, parity " << parity << ", k0 " << k0;
        }
      }
    }
  }
}

TEST(HilbertDetector, SteadyFullScaleSineReadsItsAmplitude) {
  std::vector<double> h(kHilbertTableSize);
  const int taps = 55;  // 44.1 kHz
  fillHilbertCoefficients(h.data(), taps);
  for (bool exact : {false, true}) {
    DetectorRings rings;
    double lo = 1e9, hi = -1e9;
    for (int n = 0; n < 4000; ++n) {
      const double x = std::sin(2.0 * kPi * 1000.0 * n / 44100.0);
      rings.write(n & 1023, x, x);
      if (n < 1024 + 4 * taps) continue;  // the ring holds the sine everywhere the taps reach
      const StereoSums power = analyticPower(rings.left, rings.right, n & 1023, taps, h.data());
      const double m = exact ? exactMagnitude(power.left) : fastMagnitude(power.left);
      const double d = detectorLevel(m, 1.0);
      lo = std::min(lo, d);
      hi = std::max(hi, d);
    }
    const double expected = 1.4142 * 0.582 * 1.005773063 + 0.005;  // 0.833
    // The truncated transformer's gain error at 1 kHz with 55 taps is about 7 %.
    EXPECT_NEAR(lo, expected, 0.01) << exact;
    EXPECT_LT(hi, expected * 1.1) << exact;
  }
}

TEST(HilbertDetector, MagnitudePaths) {
  EXPECT_EQ(fastMagnitude(0.0), 0.0);
  EXPECT_EQ(exactMagnitude(0.0), 0.0);
  for (double p : {1e-20, 1e-6, 0.25, 1.0, 4.0, 1234.5, 1e30})
    EXPECT_NEAR(fastMagnitude(p), std::sqrt(p), 1e-5 * std::sqrt(p)) << p;  // two Newton steps
  EXPECT_TRUE(std::isinf(fastMagnitude(1e300)) || std::isnan(fastMagnitude(1e300)));
  EXPECT_DOUBLE_EQ(detectorLevel(0.0, 3.0), 0.005);
}

struct CurveCase {
  bool soft;
  double inverseRatio;
  double level;
  double curve;  // expected G
  double tolerance;
};

TEST(StaticCurve, Points) {
  const CurveCase cases[] = {
      {false, 0.25, 4.0, std::sqrt(2.0), 1e-12},     // 4 : 1, 12 dB over: G = 4^0.25
      {false, 0.25, 1.0, 1.0, 0.0},                  // the threshold itself
      {false, 0.25, 0.3, 0.3, 0.0},                  // below the threshold
      {false, 2.0, 2.0, 4.0, 1e-12},                 // 0.5 : 1 expands
      {false, 0.015625, 8.0, std::pow(8.0, 0.015625), 1e-12},
      {true, 0.25, 0.5, 0.5, 1e-12},                 // knee start
      {true, 0.25, 1.5, std::pow(1.5, 0.25), 1e-12},  // knee end
      {true, 0.25, 0.2, 0.2, 0.0},
      {true, 0.25, 3.0, std::pow(3.0, 0.25), 1e-12},
      {true, 1.0, 0.8, 0.8, 1e-12},                  // 1 : 1 makes the knee the identity
      {true, 1.0, 1.2, 1.2, 1e-12},
  };
  for (const CurveCase& c : cases) {
    StaticCurve curve;
    curve.soft = c.soft;
    curve.setInverseRatio(c.inverseRatio);
    EXPECT_NEAR(curve(c.level), c.curve, c.tolerance) << c.soft << " " << c.inverseRatio << " " << c.level;
  }
  StaticCurve hard;
  hard.setInverseRatio(0.25);
  EXPECT_NEAR(curveGain(hard, 4.0), 0.35355, 1e-4);  // -9.03 dB
  hard.setInverseRatio(0.015625);
  EXPECT_NEAR(curveGain(hard, 10.0), 0.1, 0.004) << "64 : 1 limits";
  StaticCurve soft;
  soft.soft = true;
  soft.setInverseRatio(0.5);
  // Continuous at both ends of the knee.
  EXPECT_NEAR(soft(0.5 + 1e-9), soft(0.5), 1e-8);
  EXPECT_NEAR(soft(1.5 - 1e-9), soft(1.5), 1e-8);
  EXPECT_NEAR(curveGain(soft, 0.5), 1.0, 1e-5);
}

struct EnvelopeCase {
  const char* name;
  bool classic, rms;
  double d;
  double settles;
  double tolerance;
};

TEST(Envelope, SettlingLevels) {
  const EnvelopeCase cases[] = {
      {"silence", false, false, 0.005, 0.005, 1e-6},
      {"silence RMS reaches the floor", false, true, 0.005, kEnvelopeFloor, 1e-9},
      {"silence classic", false, false, 0.0, kEnvelopeFloor, 1e-9},
      {"classic drifts to 0.4 + 0.6 x", true, false, 0.005, 0.403, 0.001},
      {"RMS 6 dB over", false, true, 2.0, 4.0, 1e-3},
  };
  ClassicTable table;
  table.fill();
  for (bool exact : {false, true}) {
    for (const EnvelopeCase& c : cases) {
      EnvelopeSettings s;
      s.classic = c.classic;
      s.rms = c.rms;
      const double base = c.rms ? 0.0025 : 0.05;
      s.attackCoef = 1.0 - std::pow(base, 1.0 / (0.01 * 44100.0));
      s.releaseCoef = 1.0 - std::pow(base, 1.0 / (0.1 * 44100.0));
      orv::dsp::Biquad fast(44100.0, orv::dsp::Biquad::lowpass, 200.0, 0.5, 0.0);
      orv::dsp::Biquad slow(44100.0, orv::dsp::Biquad::lowpass, 20.0, 0.5, 0.0);
      fast.reset();
      slow.reset();
      double envelope = 0.7;
      for (int n = 0; n < 44100 * 3; ++n) {
        const double x = followedLevel(c.d, s);
        const double a = fast.runPlain(x), b = slow.runPlain(x);
        advanceEnvelope(envelope, x, exact ? envelopeStep<true>(x, a, b, s, table) : envelopeStep<false>(x, a, b, s, table),
                        s);
        floorEnvelope(envelope);
      }
      EXPECT_NEAR(envelope, c.settles, c.tolerance) << c.name << (exact ? " exact" : " table");
    }
  }
  EXPECT_NEAR(envelopeLevel(4.0, true), 2.0, 0.0);
  EXPECT_FLOAT_EQ(static_cast<float>(table.exponent(1e12)), static_cast<float>(std::pow(999.0, 0.05)));
  EXPECT_EQ(table.exponent(0.83), 1.0);
  EXPECT_FLOAT_EQ(static_cast<float>(table.exponent(2.5)), static_cast<float>(std::pow(3.0, 0.05))) << "halves round up";
}

TEST(MeterFeed, LevelGainAndOverRules) {
  MeterFeed f;
  const MeterCoefficients instant{1.0, 1.0, 1.0};
  updateLevelMeter(f, 0, 0.5, instant, 1.0, 3.0, 0.0);
  EXPECT_DOUBLE_EQ(f.ppmLevel[0], 0.5);
  EXPECT_DOUBLE_EQ(f.vuLevel[0], 0.5 * 1.096 * 1.4142136);
  EXPECT_DOUBLE_EQ(f.ppmHold[0], 0.5);
  for (int i = 0; i < 2; ++i) updateLevelMeter(f, 1, 1.0, instant, 1.0, 3.0, 0.0);
  EXPECT_EQ(f.overCount[1], 2);
  updateLevelMeter(f, 1, 0.5, instant, 1.0, 3.0, 0.0);
  EXPECT_EQ(f.overCount[1], 0) << "a run shorter than the threshold is forgotten";
  for (int i = 0; i < 3; ++i) updateLevelMeter(f, 1, 1.0, instant, 1.0, 3.0, 0.0);
  updateLevelMeter(f, 1, 0.0, instant, 1.0, 3.0, 0.0);
  EXPECT_EQ(f.overCount[1], 3) << "a completed run stays until the check";
  checkOvers(f, 3.0);
  EXPECT_EQ(f.overLamp[1], 1.0);
  EXPECT_EQ(f.overLamp[0], 0.0);
  EXPECT_EQ(f.overCount[1], 0);

  // Gain mode: holds keep the deepest reduction above 0.01, or the largest expansion.
  MeterFeed g;
  g.ppmHold[0] = g.vuHold[0] = 1.0;
  updateGainMeter(g, 0, 0.5, instant, false, 0.0);
  EXPECT_DOUBLE_EQ(g.ppmHold[0], 0.5);
  updateGainMeter(g, 0, 0.8, instant, false, 0.0);
  EXPECT_DOUBLE_EQ(g.ppmHold[0], 0.5);
  updateGainMeter(g, 0, 0.005, instant, false, 0.0);
  EXPECT_DOUBLE_EQ(g.ppmHold[0], 0.5) << "below 0.01 is ignored";
  updateGainMeter(g, 0, 1.5, instant, true, 0.0);
  EXPECT_DOUBLE_EQ(g.ppmHold[0], 1.5);
  EXPECT_DOUBLE_EQ(gainMeterValue(0.25, 0.0, false, 1.0), 1.0);
  EXPECT_DOUBLE_EQ(gainMeterValue(0.5, 1.0, true, 0.5), 0.49 * 0.5);

  // Compression: down fast (PPM attack), up slowly (PPM return).
  MeterFeed c;
  c.ppmLevel[0] = 1.0;
  const MeterCoefficients split{0.5, 0.9, 0.1};
  updateGainMeter(c, 0, 0.0, split, false, 0.0);
  EXPECT_DOUBLE_EQ(c.ppmLevel[0], 0.1);
  updateGainMeter(c, 0, 1.1, split, false, 0.0);
  EXPECT_DOUBLE_EQ(c.ppmLevel[0], 0.1 + 1.0 * 0.1);

  MeterFeed a;
  a.vuHoldAge[0] = 2147483000;
  ageHolds(a, 100000);
  EXPECT_EQ(a.vuHoldAge[0], 2147483647);
  EXPECT_EQ(a.ppmHoldAge[1], 100000);
}

TEST(MeterFeed, CoefficientsFollowTheSettings) {
  const MeterCoefficients out = meterCoefficients(kMeterOutput, 44100.0, 300.0, 0.0, 1000.0);
  EXPECT_DOUBLE_EQ(out.ppmAttack, 1.0) << "instant PPM below 0.05 ms";
  EXPECT_DOUBLE_EQ(out.vu, 1.0 - std::pow(0.1091012, 1.0 / (44100.0 * 300.0 * 0.001)));
  const MeterCoefficients gain = meterCoefficients(kMeterGain, 44100.0, 300.0, 9.0, 1000.0);
  EXPECT_DOUBLE_EQ(gain.ppmReturn, 1.0 - std::pow(0.0625, 1.0 / (1000.0 * 88200.0 * 0.001)));
  EXPECT_EQ(meterSourceOf(0.24), kMeterInput);
  EXPECT_EQ(meterSourceOf(0.25), kMeterGain);
  EXPECT_EQ(meterSourceOf(0.74), kMeterGain);
  EXPECT_EQ(meterSourceOf(0.75), kMeterOutput);
}

}  // namespace
