#include "dsp/biquad.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/noise_generator.h"

namespace orv::dsp {
namespace {

constexpr double kPi = std::numbers::pi;

struct Coefs {
  double a0, a1, a2, b0, b1, b2;
};

// The design table written out once more, one row per type, with the raw
// (unnormalised) coefficients first. `previous` supplies what types 2 and 9
// leave alone. fs and f are used as given: the caller applies the limit.
Coefs plainDesign(double fs, int32_t type, double f, double q, double gainDb, Coefs previous) {
  const double w = 2 * kPi * f / fs;
  const double cs = std::cos(w), sn = std::sin(w);
  const double A = std::pow(10.0, gainDb / 40);
  auto c = [&](double e, double h) { return 1 - std::pow(f / (fs * h), e); };
  if (type == 2) {
    previous.a0 = std::pow(0.005, f / fs);
    return previous;
  }
  if (type == 9) {
    previous.a0 = std::pow(0.005, f / fs);
    previous.a1 = (previous.a0 + 1) / 2;
    return previous;
  }
  Coefs r{1, 1, 1, 1, 1, 1};
  if (type == 1) {
    const double al = sn / (2 * q * c(6, 0.5001));
    r = {1 + al, -2 * cs, 1 - al, (1 + cs) / 2, -(1 + cs), (1 + cs) / 2};
  } else if (type == 3 || type == 7) {
    const double be = std::sqrt(A) * sn / (q * c(3, 0.5001));
    if (type == 3)
      r = {(A + 1) + (A - 1) * cs + be, -2 * ((A - 1) + (A + 1) * cs), (A + 1) + (A - 1) * cs - be,
           A * ((A + 1) - (A - 1) * cs + be), 2 * A * ((A - 1) - (A + 1) * cs), A * ((A + 1) - (A - 1) * cs - be)};
    else
      r = {(A + 1) - (A - 1) * cs + be, 2 * ((A - 1) - (A + 1) * cs), (A + 1) - (A - 1) * cs - be,
           A * ((A + 1) + (A - 1) * cs + be), -2 * A * ((A - 1) + (A + 1) * cs), A * ((A + 1) + (A - 1) * cs - be)};
  } else if (type >= 4 && type <= 6) {
    const double al = sn / (2 * q * c(2.8, 0.5001));
    if (type == 4) r = {1 + al / A, -2 * cs, 1 - al / A, 1 + al * A, -2 * cs, 1 - al * A};
    if (type == 5) r = {1 + al, -2 * cs, 1 - al, al, 0, -al};
    if (type == 6) r = {1 + al, -2 * cs, 1 - al, 1, -2 * cs, 1};
  } else if (type == 8) {
    const double al = sn / (2 * q * c(8, 0.50001));
    r = {1 + al, -2 * cs, 1 - al, (1 - cs) / 2, 1 - cs, (1 - cs) / 2};
  } else if (type == 10) {
    const double al = sn / (2 * q);
    r = {1 + al, -2 * cs, 1 - al, 1 - al, -2 * cs, 1 + al};
  } else {
    return r;
  }
  return {r.a0, r.a1 / r.a0, r.a2 / r.a0, r.b0 / r.a0, r.b1 / r.a0, r.b2 / r.a0};
}

// Relative agreement, with an absolute floor for coefficients near zero.
void expectCoefsNear(const Biquad::Coefficients& got, const Coefs& want, double tol = 1e-14) {
  auto near = [&](const char* name, double g, double w) {
    EXPECT_NEAR(g, w, tol * std::max(1.0, std::fabs(w))) << name;
  };
  near("a0", got.a0, want.a0);
  near("a1", got.a1, want.a1);
  near("a2", got.a2, want.a2);
  near("b0", got.b0, want.b0);
  near("b1", got.b1, want.b1);
  near("b2", got.b2, want.b2);
}

constexpr Coefs kOnes{1, 1, 1, 1, 1, 1};

struct DesignCase {
  double fs;
  int32_t type;
  double f, q, gainDb;
};

class BiquadDesign : public testing::TestWithParam<DesignCase> {};

TEST_P(BiquadDesign, TargetsMatchThePlainTable) {
  const DesignCase c = GetParam();
  const Biquad filter(c.fs, c.type, c.f, c.q, c.gainDb);
  expectCoefsNear(filter.target(), plainDesign(c.fs, c.type, c.f, c.q, c.gainDb, kOnes));
  // A fresh filter has not glided anywhere yet.
  const auto& cur = filter.current();
  EXPECT_EQ(cur.a0, 1.0);
  EXPECT_EQ(cur.b0, 1.0);
  EXPECT_EQ(cur.a2, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, BiquadDesign,
    testing::Values(DesignCase{44100, 1, 120, 0.7, 0},       // highpass
                    DesignCase{96000, 1, 30000, 2.0, 0},     // highpass near Nyquist: correction matters
                    DesignCase{44100, 2, 1000, 0.5, 0},      // decay: only a0
                    DesignCase{44100, 3, 35, 0.35, -15},     // low shelf, cut
                    DesignCase{48000, 3, 200, 0.7, 6},       // low shelf, boost
                    DesignCase{44100, 4, 700, 0.3, 12},      // peaking
                    DesignCase{44100, 4, 700, 0.3, 0},       // peaking, flat
                    DesignCase{88200, 4, 20000, 1.0, -9},    // peaking, high
                    DesignCase{44100, 5, 2000, 1.5, 0},      // band-pass
                    DesignCase{44100, 6, 50, 10, 0},         // notch
                    DesignCase{44100, 7, 5500, 0.5, 12},     // high shelf, boost
                    DesignCase{192000, 7, 12000, 0.8, -4},   // high shelf, cut
                    DesignCase{44100, 8, 200, 0.5, 0},       // lowpass
                    DesignCase{44100, 8, 20, 0.5, 0},        // lowpass, very low
                    DesignCase{44100, 8, 21000, 0.7, 0},     // lowpass near Nyquist
                    DesignCase{44100, 9, 400, 0.5, 0},       // decay pair
                    DesignCase{44100, 10, 3000, 0.9, 0},     // all-pass
                    DesignCase{44100, 0, 1000, 0.5, 3},      // bypass: all targets 1
                    DesignCase{44100, 11, 1000, 0.5, 3},     // unknown: all targets 1
                    DesignCase{44100, -3, 1000, 0.5, 3}));   // unknown: all targets 1

TEST(Biquad, DecayTypesKeepTheOtherTargets) {
  Biquad filter(48000, Biquad::lowpass, 1000, 0.7, 0);
  const Coefs lp = plainDesign(48000, 8, 1000, 0.7, 0, kOnes);
  filter.setType(2);
  expectCoefsNear(filter.target(), plainDesign(48000, 2, 1000, 0.7, 0, lp));
  EXPECT_DOUBLE_EQ(filter.target().a0, std::pow(0.005, 1000.0 / 48000.0));
  EXPECT_DOUBLE_EQ(filter.target().b1, lp.b1);
  filter.setType(9);
  EXPECT_DOUBLE_EQ(filter.target().a1, (filter.target().a0 + 1) / 2);
  EXPECT_DOUBLE_EQ(filter.target().a2, lp.a2);
}

TEST(Biquad, SettersRedesign) {
  Biquad filter(44100, Biquad::peaking, 700, 0.3, 12);
  filter.setFrequency(1500);
  expectCoefsNear(filter.target(), plainDesign(44100, 4, 1500, 0.3, 12, kOnes));
  filter.setQ(2);
  expectCoefsNear(filter.target(), plainDesign(44100, 4, 1500, 2, 12, kOnes));
  filter.setGain(-6);
  expectCoefsNear(filter.target(), plainDesign(44100, 4, 1500, 2, -6, kOnes));
  filter.setSampleRate(96000);
  expectCoefsNear(filter.target(), plainDesign(96000, 4, 1500, 2, -6, kOnes));
  filter.setType(Biquad::highShelf);
  expectCoefsNear(filter.target(), plainDesign(96000, 7, 1500, 2, -6, kOnes));
}

TEST(Biquad, FrequencyIsLimitedAndTheLimitIsKept) {
  Biquad filter(44100, Biquad::lowpass, 30000, 0.5, 0);
  const double limit = 0.499 * 44100;
  EXPECT_EQ(filter.frequency(), limit);
  expectCoefsNear(filter.target(), plainDesign(44100, 8, limit, 0.5, 0, kOnes));
  // Lowering the rate limits the stored frequency again; raising it later
  // does not bring the old frequency back.
  filter.setFrequency(20000);
  filter.setSampleRate(32000);
  EXPECT_EQ(filter.frequency(), 0.499 * 32000);
  filter.setSampleRate(96000);
  EXPECT_EQ(filter.frequency(), 0.499 * 32000);
  // Just below the limit nothing changes.
  filter.setFrequency(0.498 * 96000);
  EXPECT_EQ(filter.frequency(), 0.498 * 96000);
}

struct RateCase {
  double rate;
  double constructedGlide;  // glide factor of a filter built at this rate
  double retunedGlide;      // glide factor after setSampleRate(rate)
};

class BiquadRate : public testing::TestWithParam<RateCase> {};

TEST_P(BiquadRate, GlideFactorFollowsTheUsableRate) {
  const RateCase c = GetParam();
  const Biquad built(c.rate, Biquad::lowpass, 100, 0.5, 0);
  EXPECT_EQ(built.glide(), c.constructedGlide);
  Biquad retuned(44100, Biquad::lowpass, 100, 0.5, 0);
  retuned.setSampleRate(c.rate);
  EXPECT_EQ(retuned.glide(), c.retunedGlide);
  // The design itself uses the rate as given.
  EXPECT_EQ(retuned.sampleRate(), c.rate);
  expectCoefsNear(retuned.target(), plainDesign(c.rate, 8, std::min(100.0, 0.499 * c.rate), 0.5, 0, kOnes));
}

INSTANTIATE_TEST_SUITE_P(Rates, BiquadRate,
                         testing::Values(RateCase{44100, 0.001, 0.001}, RateCase{50000, 0.001, 0.001},
                                         RateCase{50001, 0.0001, 0.00035}, RateCase{96000, 0.0001, 0.00035},
                                         RateCase{200000, 0.0001, 0.00035}, RateCase{20000, 0.001, 0.001},
                                         // outside 20k..200k: glide of 44.1 kHz
                                         RateCase{19999, 0.001, 0.001}, RateCase{8000, 0.001, 0.001},
                                         RateCase{200001, 0.001, 0.001}, RateCase{384000, 0.001, 0.001}));

TEST(Biquad, OutOfRangeRateLimitsFrequencyAsIf44100ButDesignsAtTheRealRate) {
  Biquad filter(44100, Biquad::highShelf, 30000, 0.5, 12);
  EXPECT_EQ(filter.frequency(), 0.499 * 44100);
  filter.setSampleRate(44100 * 2);
  filter.setFrequency(30000);
  EXPECT_EQ(filter.frequency(), 30000);
  filter.setSampleRate(300000);
  const double limited = 0.499 * 44100;
  EXPECT_EQ(filter.frequency(), limited);
  expectCoefsNear(filter.target(), plainDesign(300000, 7, limited, 0.5, 12, kOnes));

  // Built directly at that rate, only the design's own limit applies.
  const Biquad built(300000, Biquad::highShelf, 30000, 0.5, 12);
  EXPECT_EQ(built.frequency(), 30000);
  expectCoefsNear(built.target(), plainDesign(300000, 7, 30000, 0.5, 12, kOnes));

  // Below the range the design limit (0.499 x the real rate) is the tighter one.
  Biquad low(44100, Biquad::lowpass, 8000, 0.5, 0);
  low.setSampleRate(10000);
  EXPECT_EQ(low.frequency(), 0.499 * 10000);
  expectCoefsNear(low.target(), plainDesign(10000, 8, 0.499 * 10000, 0.5, 0, kOnes));
}

// The run steps written out literally, for a bit-exact comparison. Both sides
// are built without fused multiply-adds, so an exact match is expected.
struct PlainBiquad {
  double fs;
  int32_t type;
  double f, q, gain;
  double noise = 1e-13, glide;
  Coefs t = kOnes, c = kOnes;
  double x0 = 0, x1 = 0, x2 = 0, y0 = 0, y1 = 0, y2 = 0;
  NoiseGenerator gen;

  PlainBiquad(double fs_, int32_t type_, double f_, double q_, double gain_)
      : fs(fs_), type(type_), f(f_), q(q_), gain(gain_) {
    const double r = (fs >= 20000 && fs <= 200000) ? fs : 44100;
    glide = r > 50000 ? 0.0001 : 0.001;
    design();
  }
  void design() {
    if (f > 0.499 * fs) f = 0.499 * fs;
    if (type == 8) noise = 1e-13;
    t = plainDesign(fs, type, f, q, gain, t);
  }
  void reset() {
    c = t;
    x0 = x1 = x2 = y0 = y1 = y2 = 0;
  }
  double finish(double x, const Coefs& k) {
    const double xn = x + noise;
    x0 = xn;
    const double y = k.b0 * xn + k.b1 * x1 + k.b2 * x2 - k.a1 * y1 - k.a2 * y2;
    y0 = y;
    y2 = y1;
    y1 = y + noise;
    x2 = x1;
    x1 = xn;
    return y;
  }
  double runGliding(double x) {
    if (type == 0) return x;
    const uint32_t u = gen.next();
    noise = (2.0 * u * 2.3283064365e-10 - 1) * 1e-13;
    c.b0 += (t.b0 - c.b0) * glide + noise;
    c.b1 += (t.b1 - c.b1) * glide + noise;
    c.b2 += (t.b2 - c.b2) * glide + noise;
    c.a1 += (t.a1 - c.a1) * glide + noise;
    c.a2 += (t.a2 - c.a2) * glide + noise;
    return finish(x, c);
  }
  double runPlain(double x) {
    if (type == 0) return x;
    noise = -noise;
    return finish(x, t);
  }
};

TEST(Biquad, RunsMatchTheLiteralStepsBitForBit) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  struct Setup {
    int32_t type;
    double f, q, gain;
    bool gliding;
  };
  for (const Setup s : {Setup{3, 35, 0.35, -15, true}, Setup{7, 5500, 0.5, 12, true}, Setup{4, 700, 0.3, 12, false},
                        Setup{8, 200, 0.5, 0, false}, Setup{8, 20, 0.5, 0, true}}) {
    Biquad filter(44100, s.type, s.f, s.q, s.gain);
    PlainBiquad plain(44100, s.type, s.f, s.q, s.gain);
    for (int i = 0; i < 6000; ++i) {
      if (i == 1000) {  // start from the design, as the engine does after suspend
        filter.reset();
        plain.reset();
      }
      if (i == 3000) {  // a retune half way: the gliding run moves toward it
        filter.setGain(s.gain - 3);
        plain.gain = s.gain - 3;
        plain.design();
      }
      const double x = dist(rng);
      const double got = s.gliding ? filter.runGliding(x) : filter.runPlain(x);
      const double want = s.gliding ? plain.runGliding(x) : plain.runPlain(x);
      ASSERT_EQ(got, want) << "type " << s.type << " sample " << i;
    }
    EXPECT_EQ(filter.current().b0, plain.c.b0);
    EXPECT_EQ(filter.current().a2, plain.c.a2);
    EXPECT_EQ(filter.state().y1, plain.y1);
    EXPECT_EQ(filter.state().x0, plain.x0);
  }
}

TEST(Biquad, BypassReturnsItsInputExactly) {
  Biquad filter(44100, Biquad::bypass, 1000, 0.7, 6);
  const double inputs[] = {0.0, 1.0, -1.0, 1e-300, -3.5e12, 0.123456789, 5e-324};
  for (const double x : inputs) {
    EXPECT_EQ(filter.runGliding(x), x);
    EXPECT_EQ(filter.runPlain(x), x);
  }
  // A filter switched to bypass after running also passes exactly.
  Biquad shelf(44100, Biquad::lowShelf, 35, 0.35, -15);
  for (int i = 0; i < 100; ++i) shelf.runGliding(0.5);
  shelf.setType(Biquad::bypass);
  for (const double x : inputs) EXPECT_EQ(shelf.runGliding(x), x);
}

TEST(Biquad, FlatPeakingPassesTheSignalOnceSettled) {
  Biquad filter(44100, Biquad::peaking, 700, 0.3, 12);
  filter.reset();
  filter.setGain(0);
  const auto& t = filter.target();
  // b = a exactly: b0 = (1 + alpha) / (1 + alpha).
  EXPECT_EQ(t.b0, 1.0);
  EXPECT_EQ(t.b1, t.a1);
  EXPECT_EQ(t.b2, t.a2);

  std::mt19937 rng(3);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (int i = 0; i < 40000; ++i) filter.runGliding(dist(rng));  // 40 time constants
  double worst = 0;
  for (int i = 0; i < 2000; ++i) {
    const double x = dist(rng);
    worst = std::max(worst, std::fabs(filter.runGliding(x) - x));
  }
  EXPECT_LT(worst, 1e-9);
  // While gliding it does not: the 12 dB boost is still there a moment after the change.
  Biquad fresh(44100, Biquad::peaking, 700, 0.3, 12);
  fresh.reset();
  fresh.setGain(0);
  double early = 0;
  for (int i = 0; i < 2000; ++i) {
    const double x = std::sin(2 * kPi * 700 * i / 44100.0);
    early = std::max(early, std::fabs(fresh.runGliding(x) - x));
  }
  EXPECT_GT(early, 0.1);
}

// Amplitude of the probe frequency in y over whole cycles, by projection.
double projectedAmplitude(const std::vector<double>& y, double fs, double fp) {
  double s = 0, c = 0;
  for (size_t n = 0; n < y.size(); ++n) {
    const double w = 2 * kPi * fp * static_cast<double>(n) / fs;
    s += y[n] * std::sin(w);
    c += y[n] * std::cos(w);
  }
  return 2 * std::hypot(s, c) / static_cast<double>(y.size());
}

double analyticGain(const Biquad::Coefficients& k, double fs, double fp) {
  const std::complex<double> z1 = std::polar(1.0, -2 * kPi * fp / fs);
  const std::complex<double> z2 = z1 * z1;
  return std::abs((k.b0 + k.b1 * z1 + k.b2 * z2) / (1.0 + k.a1 * z1 + k.a2 * z2));
}

struct ResponseCase {
  int32_t type;
  double f, q, gainDb;
  double probe;  // Hz, a whole number of cycles per second at 48 kHz
};

class BiquadResponse : public testing::TestWithParam<ResponseCase> {};

TEST_P(BiquadResponse, SineLevelMatchesTheDesignedCoefficients) {
  constexpr double fs = 48000;
  const ResponseCase c = GetParam();
  for (const bool gliding : {false, true}) {
    Biquad filter(fs, c.type, c.f, c.q, c.gainDb);
    filter.reset();
    std::vector<double> y;
    y.reserve(48000);
    for (int n = 0; n < 96000; ++n) {  // 1 s of transient, then 1 s measured
      const double x = std::sin(2 * kPi * c.probe * n / fs);
      const double out = gliding ? filter.runGliding(x) : filter.runPlain(x);
      if (n >= 48000) y.push_back(out);
    }
    const double want = analyticGain(filter.target(), fs, c.probe);
    EXPECT_NEAR(projectedAmplitude(y, fs, c.probe), want, 1e-7 * std::max(want, 1e-3))
        << (gliding ? "gliding" : "plain");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Filters, BiquadResponse,
    testing::Values(ResponseCase{8, 1000, 0.7071, 0, 100}, ResponseCase{8, 1000, 0.7071, 0, 1000},
                    ResponseCase{8, 1000, 0.7071, 0, 5000}, ResponseCase{8, 200, 0.5, 0, 20},
                    ResponseCase{8, 18000, 0.7, 0, 12000}, ResponseCase{1, 200, 0.5, 0, 50},
                    ResponseCase{1, 200, 0.5, 0, 200}, ResponseCase{1, 200, 0.5, 0, 3000},
                    ResponseCase{3, 35, 0.35, -15, 20}, ResponseCase{3, 35, 0.35, -15, 300},
                    ResponseCase{7, 5500, 0.5, 12, 1000}, ResponseCase{7, 5500, 0.5, 12, 5500},
                    ResponseCase{7, 5500, 0.5, 12, 16000}, ResponseCase{4, 700, 0.3, 12, 700},
                    ResponseCase{4, 700, 0.3, 12, 60}));

// The designs do what their names say at the points where the cookbook
// forms are exact.
TEST(Biquad, DesignsHaveTheirNominalGains) {
  constexpr double fs = 44100;
  const double nyquist = fs / 2;
  auto dbToGain = [](double dB) { return std::pow(10.0, dB / 20); };
  EXPECT_NEAR(analyticGain(Biquad(fs, Biquad::lowpass, 200, 0.5, 0).target(), fs, 0), 1.0, 1e-12);
  EXPECT_LT(analyticGain(Biquad(fs, Biquad::lowpass, 200, 0.5, 0).target(), fs, 5000), 0.01);
  EXPECT_NEAR(analyticGain(Biquad(fs, Biquad::highpass, 200, 0.5, 0).target(), fs, nyquist), 1.0, 1e-12);
  EXPECT_LT(analyticGain(Biquad(fs, Biquad::highpass, 200, 0.5, 0).target(), fs, 10), 0.01);
  // A 35 Hz shelf loses a few digits to cancellation at DC.
  EXPECT_NEAR(analyticGain(Biquad(fs, Biquad::lowShelf, 35, 0.35, -15).target(), fs, 0), dbToGain(-15), 1e-10);
  EXPECT_NEAR(analyticGain(Biquad(fs, Biquad::highShelf, 5500, 0.5, 12).target(), fs, nyquist), dbToGain(12),
              1e-12);
  EXPECT_NEAR(analyticGain(Biquad(fs, Biquad::peaking, 700, 0.3, 12).target(), fs, 700), dbToGain(12), 1e-12);
  EXPECT_NEAR(analyticGain(Biquad(fs, Biquad::notch, 1000, 2, 0).target(), fs, 1000), 0.0, 1e-9);
  EXPECT_NEAR(analyticGain(Biquad(fs, Biquad::bandPass, 1000, 2, 0).target(), fs, 1000), 1.0, 1e-12);
  EXPECT_NEAR(analyticGain(Biquad(fs, Biquad::allPass, 1000, 2, 0).target(), fs, 3000), 1.0, 1e-12);
}

TEST(Biquad, SetTypeClearsTheStateButNotTheCoefficients) {
  Biquad filter(44100, Biquad::lowShelf, 35, 0.35, -15);
  for (int i = 0; i < 500; ++i) filter.runGliding(0.25);
  EXPECT_NE(filter.state().y1, 0.0);
  const Biquad::Coefficients before = filter.current();
  filter.setType(Biquad::highShelf);
  const auto& s = filter.state();
  EXPECT_EQ(s.x0, 0.0);
  EXPECT_EQ(s.x1, 0.0);
  EXPECT_EQ(s.x2, 0.0);
  EXPECT_EQ(s.y0, 0.0);
  EXPECT_EQ(s.y1, 0.0);
  EXPECT_EQ(s.y2, 0.0);
  EXPECT_EQ(filter.current().b0, before.b0);
  EXPECT_EQ(filter.current().a1, before.a1);
}

TEST(Biquad, ResetStartsFromTheDesign) {
  Biquad filter(44100, Biquad::highShelf, 5500, 0.5, 12);
  for (int i = 0; i < 500; ++i) filter.runGliding(0.25);
  filter.reset();
  const auto& t = filter.target();
  const auto& c = filter.current();
  EXPECT_EQ(c.a0, t.a0);
  EXPECT_EQ(c.a1, t.a1);
  EXPECT_EQ(c.a2, t.a2);
  EXPECT_EQ(c.b0, t.b0);
  EXPECT_EQ(c.b1, t.b1);
  EXPECT_EQ(c.b2, t.b2);
  EXPECT_EQ(filter.state().y1, 0.0);
  EXPECT_EQ(filter.state().x1, 0.0);
}

struct GlideCase {
  double builtRate;
  double retuneRate;  // 0: not retuned
  double glide;
};

class BiquadGlide : public testing::TestWithParam<GlideCase> {};

// After a retune every coefficient covers 1 - (1 - glide)^n of the distance
// in n samples, about 63 % in 1 / glide samples.
TEST_P(BiquadGlide, CoefficientsApproachTargetsWithTimeConstantOneOverGlide) {
  const GlideCase c = GetParam();
  Biquad filter(c.builtRate, Biquad::peaking, 1000, 0.7, 0);
  if (c.retuneRate > 0) filter.setSampleRate(c.retuneRate);
  ASSERT_EQ(filter.glide(), c.glide);
  filter.reset();
  const Biquad::Coefficients start = filter.current();
  filter.setGain(12);
  const Biquad::Coefficients t = filter.target();
  const int n = static_cast<int>(std::lround(1 / c.glide));
  for (int i = 0; i < n; ++i) filter.runGliding(0.0);
  const double left = std::pow(1 - c.glide, n);
  EXPECT_NEAR(left, std::exp(-1.0), 5e-4);
  const Biquad::Coefficients& cur = filter.current();
  // The noise added per step (1e-13) is far below these tolerances.
  EXPECT_NEAR((cur.b0 - t.b0) / (start.b0 - t.b0), left, 1e-7);
  EXPECT_NEAR((cur.b2 - t.b2) / (start.b2 - t.b2), left, 1e-7);
  EXPECT_NEAR((cur.a1 - t.a1) / (start.a1 - t.a1), left, 1e-7);
  EXPECT_NEAR((cur.a2 - t.a2) / (start.a2 - t.a2), left, 1e-7);
  // It never snaps to the target by itself.
  for (int i = 0; i < 5 * n; ++i) filter.runGliding(0.0);
  EXPECT_NE(filter.current().b0, t.b0);
}

INSTANTIATE_TEST_SUITE_P(Rates, BiquadGlide,
                         testing::Values(GlideCase{44100, 0, 0.001}, GlideCase{96000, 0, 0.0001},
                                         GlideCase{44100, 96000, 0.00035}, GlideCase{96000, 48000, 0.001}));

TEST(Biquad, PlainRunAlternatesTheNoiseSign) {
  Biquad filter(44100, Biquad::lowpass, 200, 0.5, 0);
  filter.reset();
  EXPECT_EQ(filter.noise(), 1e-13);
  // From silence the first output is b0 times the noise that was added.
  const double y = filter.runPlain(0.0);
  EXPECT_EQ(filter.noise(), -1e-13);
  EXPECT_EQ(y, filter.target().b0 * -1e-13);
  EXPECT_EQ(filter.state().x0, -1e-13);
  EXPECT_EQ(filter.state().y1, y - 1e-13);
  for (int i = 0; i < 8; ++i) {
    filter.runPlain(0.0);
    EXPECT_EQ(filter.noise(), i % 2 == 0 ? 1e-13 : -1e-13);
  }
  // A lowpass design puts it back to +1e-13, whatever the phase.
  ASSERT_EQ(filter.noise(), -1e-13);
  filter.setFrequency(250);
  EXPECT_EQ(filter.noise(), 1e-13);
  // Other designs leave it where it is.
  Biquad peak(44100, Biquad::peaking, 700, 0.3, 12);
  peak.runPlain(0.0);
  peak.setGain(6);
  EXPECT_EQ(peak.noise(), -1e-13);
}

TEST(Biquad, GlidingRunDrawsNoiseFromTheSharedSequence) {
  Biquad filter(44100, Biquad::highShelf, 5500, 0.5, 12);
  NoiseGenerator reference;
  for (int i = 0; i < 50; ++i) {
    filter.runGliding(0.1);
    ASSERT_EQ(filter.noise(), NoiseGenerator::toValue(reference.next(), 1e-13));
  }
}

TEST(Biquad, UnusableParametersGiveAFilterThatPassesItsInput) {
  const Coefs pass{1, 0, 0, 1, 0, 0};
  const Biquad zeroQ(44100, Biquad::lowpass, 1000, 0.0, 0);
  expectCoefsNear(zeroQ.target(), pass);
  const Biquad negativeQ(44100, Biquad::highShelf, 1000, -1.0, 6);
  expectCoefsNear(negativeQ.target(), pass);
  const Biquad zeroRate(0.0, Biquad::peaking, 1000, 0.5, 6);
  expectCoefsNear(zeroRate.target(), pass);
  const Biquad nanFrequency(44100, Biquad::lowShelf, std::nan(""), 0.5, 6);
  expectCoefsNear(nanFrequency.target(), pass);
  const Biquad infiniteGain(44100, Biquad::peaking, 1000, 0.5, INFINITY);
  expectCoefsNear(infiniteGain.target(), pass);
  Biquad decay(0.0, 2, 1000, 0.5, 0);
  expectCoefsNear(decay.target(), pass);

  // Such a filter runs and stays finite.
  Biquad filter(-44100, Biquad::lowpass, 1000, 0.5, 0);
  filter.reset();
  for (int i = 0; i < 1000; ++i) {
    const double x = std::sin(i * 0.1);
    ASSERT_NEAR(filter.runGliding(x), x, 1e-10);  // the noise wanders in the coefficients
  }
}


// Everything a run reads or writes; the noise generator's state shows through
// runsAlike against a filter that drew from it the same number of times.
void expectSameFilter(const Biquad& got, const Biquad& want, const char* what) {
  const auto coefsEqual = [](const Biquad::Coefficients& a, const Biquad::Coefficients& b) {
    return a.a0 == b.a0 && a.a1 == b.a1 && a.a2 == b.a2 && a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2;
  };
  const Biquad::State& s = got.state();
  const Biquad::State& t = want.state();
  EXPECT_TRUE(s.x0 == t.x0 && s.x1 == t.x1 && s.x2 == t.x2 && s.y0 == t.y0 && s.y1 == t.y1 && s.y2 == t.y2) << what;
  EXPECT_TRUE(coefsEqual(got.current(), want.current())) << what;
  EXPECT_TRUE(coefsEqual(got.target(), want.target())) << what;
  EXPECT_EQ(got.noise(), want.noise()) << what;
  EXPECT_TRUE(got.runsAlike(want)) << what;
}

struct PairCase {
  int32_t type;
  double f, q, gain;
  bool gliding;
};

// Left and right of one stage, run as a pair in blocks of 50 samples (loaded
// before and stored after each block, as the engines do), against the same
// two filters run one after the other; a retune part way, then a reset.
TEST(BiquadPair, PairRunsEqualTwoSeparateRunsBitForBit) {
  const PairCase cases[] = {
      {Biquad::lowShelf, 35, 0.35, -15, true},  {Biquad::highShelf, 5500, 0.5, 12, true},
      {Biquad::peaking, 700, 0.3, 12, true},    {Biquad::lowpass, 20, 0.5, 0, false},
      {Biquad::lowpass, 200, 0.5, 0, true},     {Biquad::highpass, 120, 0.7, 0, false},
      {9, 400, 0.5, 0, false},                  {Biquad::bypass, 1000, 0.7, 6, true},
      {Biquad::bypass, 1000, 0.7, 6, false},
  };
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (const PairCase& c : cases) {
    Biquad left(44100, c.type, c.f, c.q, c.gain), right(44100, c.type, c.f, c.q, c.gain);
    Biquad soloLeft = left, soloRight = right;
    BiquadPair pair;
    for (int i = 0; i < 4000; ++i) {
      if (i == 1500) {  // a retune while running: the gliding pair moves toward it together
        for (Biquad* b : {&left, &right, &soloLeft, &soloRight}) {
          b->setFrequency(1.5 * c.f);
          b->setGain(c.gain - 3);
        }
      }
      if (i == 3000)
        for (Biquad* b : {&left, &right, &soloLeft, &soloRight}) b->reset();
      if (i % 50 == 0) {
        ASSERT_TRUE(left.runsAlike(right)) << "type " << c.type << " sample " << i;
        pair.load(left, right);
      }
      const double xl = dist(rng), xr = dist(rng);
      const BiquadPair::Two x{xl, xr};
      const BiquadPair::Two y = c.gliding ? pair.runGliding(x) : pair.runPlain(x);
      if (i % 50 == 49) pair.store(left, right);
      const double wl = c.gliding ? soloLeft.runGliding(xl) : soloLeft.runPlain(xl);
      const double wr = c.gliding ? soloRight.runGliding(xr) : soloRight.runPlain(xr);
      ASSERT_EQ(y[0], wl) << "type " << c.type << " sample " << i;
      ASSERT_EQ(y[1], wr) << "type " << c.type << " sample " << i;
    }
    expectSameFilter(left, soloLeft, "left");
    expectSameFilter(right, soloRight, "right");
  }
}

struct AlikeCase {
  const char* name;
  bool alike;
  // Brings `b`, built like `a`, to the state the case describes.
  void (*prepare)(Biquad& a, Biquad& b);
};

// Each case differs in one thing only: what a pair run would share but must not.
TEST(BiquadPair, RunsAlikeOnlyWhenEverythingAPairSharesAgrees) {
  const AlikeCase cases[] = {
      {"built and reset alike", true, [](Biquad& a, Biquad& b) { a.reset(), b.reset(); }},
      {"alike after running on different inputs", true,
       [](Biquad& a, Biquad& b) {
         BiquadPair pair;
         pair.load(a, b);
         BiquadPair::Two x{0.3, -0.7};
         for (int i = 0; i < 50; ++i) x = pair.runGliding(x);
         pair.store(a, b);
       }},
      {"type alone (bypass and an unknown type both design all ones)", false,
       [](Biquad& a, Biquad& b) {
         a.setType(Biquad::bypass);
         b.setType(11);
       }},
      {"one coefficient (a0 of the decay design)", false,
       [](Biquad& a, Biquad& b) {
         a.setType(2);
         b.setType(2);
         b.setFrequency(a.frequency() * 1.01);
         a.reset(), b.reset();
       }},
      {"current coefficients (one reset, one still gliding from 1)", false, [](Biquad& a, Biquad&) { a.reset(); }},
      {"glide factor (retuned to 96 kHz against built there)", false,
       [](Biquad& a, Biquad& b) {
         a = Biquad(96000, Biquad::lowpass, 1000, 0.5, 0);
         b.setSampleRate(96000);
         a.reset(), b.reset();
       }},
      {"noise sign", false,
       [](Biquad& a, Biquad& b) {
         a.reset(), b.reset();
         b.runPlain(0.0);
         b.reset();
       }},
      {"noise generator state", false,
       [](Biquad& a, Biquad& b) {
         a.reset(), b.reset();
         b.runGliding(0.0);
         b.setFrequency(b.frequency());  // a lowpass design puts the noise back to +1e-13
         b.reset();
       }},
  };
  for (const AlikeCase& c : cases) {
    Biquad a(44100, Biquad::lowpass, 1000, 0.5, 0), b(44100, Biquad::lowpass, 1000, 0.5, 0);
    c.prepare(a, b);
    EXPECT_EQ(a.runsAlike(b), c.alike) << c.name;
    EXPECT_EQ(b.runsAlike(a), c.alike) << c.name;
  }
}

// The fixture for the generator case: nothing but the generator differs.
TEST(BiquadPair, FiltersThatDifferOnlyInTheirNoiseGeneratorLookEqualOtherwise) {
  Biquad a(44100, Biquad::lowpass, 1000, 0.5, 0), b(44100, Biquad::lowpass, 1000, 0.5, 0);
  a.reset();
  b.runGliding(0.0);
  b.setFrequency(b.frequency());
  b.reset();
  EXPECT_EQ(a.noise(), b.noise());
  EXPECT_EQ(a.glide(), b.glide());
  EXPECT_EQ(a.current().b0, b.current().b0);
  EXPECT_EQ(a.state().y1, b.state().y1);
  EXPECT_FALSE(a.runsAlike(b));
  // And a gliding run tells them apart.
  EXPECT_NE(a.runGliding(0.0), b.runGliding(0.0));
}

}  // namespace
}  // namespace orv::dsp
