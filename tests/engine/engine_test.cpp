// The Valdris engine end to end: latency, block-size independence, limiter,
// mix, side-chain routing and monitoring, meters, bad input.
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "dsp/biquad.h"
#include "dsp/halfband_resampler.h"
#include "dsp/input_guard.h"
#include "dsp/noise_generator.h"
#include "engine_support.h"

namespace engine_test {
namespace {

constexpr int kLatency = 1660;
constexpr double kPi = std::numbers::pi;

Stereo sine(size_t n, double amplitude, double hz, double rate = 44100.0, double phase = 0.0) {
  Stereo s(n);
  for (size_t i = 0; i < n; ++i) s.left[i] = s.right[i] = amplitude * std::sin(2.0 * kPi * hz * i / rate + phase);
  return s;
}

// Programme-like material: two tones, a different one per side, and bursts.
Stereo programme(size_t n) {
  Stereo s(n);
  uint32_t seed = 12345;
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5);
    const double burst = (i / 3000) % 2 == 0 ? 1.0 : 0.15;
    s.left[i] = burst * (0.6 * std::sin(2 * kPi * 220.0 * i / 44100.0) + 0.3 * noise);
    s.right[i] = burst * (0.5 * std::sin(2 * kPi * 3100.0 * i / 44100.0 + 1.0) + 0.2 * noise);
  }
  return s;
}

double maxAbsDiff(const std::vector<double>& a, const std::vector<double>& b, size_t from = 0) {
  double m = 0.0;
  for (size_t i = from; i < a.size(); ++i) m = std::max(m, std::fabs(a[i] - b[i]));
  return m;
}

// Impulse response of the interpolator and decimator pair, centred on 0:
// y[k] = sum over i of B[i] A[2k - i].
double halfbandPairResponse(const orv::dsp::HalfbandResampler& r, int k) {
  double y = 0.0;
  for (int i = -127; i <= 127; ++i) y += r.decimationTap(i) * r.interpolationTap(2 * k - i);
  return y;
}

// ---- Latency --------------------------------------------------------------------

class Latency : public ::testing::TestWithParam<std::tuple<Mode, bool>> {};

TEST_P(Latency, ImpulseWithPowerOffArrives1660SamplesLater) {
  const auto [mode, doublePrecision] = GetParam();
  auto v = makeValdris(mode, {{p::kPower, 0.0f}});
  Stereo in(4096);
  in.left[0] = 1.0;
  in.right[0] = -0.5;
  const Stereo out = doublePrecision ? run<double>(*v, in, 512) : run<float>(*v, in, 512);
  const bool oversampled = mode == Mode::fat || mode == Mode::fatSmooth;
  const orv::dsp::HalfbandResampler tables;
  const double tolerance = doublePrecision ? 1e-9 : 1e-7;
  for (int t = 0; t < 4096; ++t) {
    double expected = 0.0;
    if (oversampled) {
      if (std::abs(t - kLatency) <= 128) expected = halfbandPairResponse(tables, t - kLatency);
    } else {
      expected = t == kLatency ? 1.0 : 0.0;
    }
    ASSERT_NEAR(out.left[t], expected, tolerance) << modeName(mode) << " sample " << t;
    ASSERT_NEAR(out.right[t], -0.5 * expected, tolerance) << modeName(mode) << " sample " << t;
  }
  EXPECT_GT(out.left[kLatency], 0.9);
}

INSTANTIATE_TEST_SUITE_P(AllModes, Latency,
                         ::testing::Combine(::testing::ValuesIn(kAllModes), ::testing::Bool()),
                         [](const auto& info) {
                           std::string name = modeName(std::get<0>(info.param));
                           for (char& c : name)
                             if (c == '+') c = '_';
                           return name + (std::get<1>(info.param) ? "_double" : "_float");
                         });

TEST(LatencyReport, HostSees1660SamplesAfterResumeAtAnyRate) {
  for (float rate : {22050.0f, 44100.0f, 96000.0f, 192000.0f, 8000.0f, 1e9f}) {
    auto v = makeValdris(Mode::fatSmooth, {}, rate);
    EXPECT_EQ(v->getAeffect()->initialDelay, kLatency) << rate;
  }
}

// ---- Derived values ------------------------------------------------------------

struct LengthCase {
  Mode mode;
  float rate;
  int taps, delay, lookahead;
};

TEST(DerivedValues, DetectorLengthGainDelayAndLookahead) {
  const LengthCase cases[] = {
      {Mode::plain, 44100, 55, 55, 61},        {Mode::smooth, 44100, 110, 110, 61},
      {Mode::fat, 44100, 55, 110, 61},         {Mode::fatSmooth, 44100, 220, 220, 61},
      {Mode::plain, 48000, 60, 60, 67},        {Mode::fatSmooth, 192000, 960, 960, 268},
      {Mode::smooth, 192000, 480, 480, 268},   {Mode::fat, 96000, 120, 240, 134},
      {Mode::plain, 10000, 55, 55, 61},        {Mode::fatSmooth, 400000, 220, 220, 61},  // replaced by 44.1 kHz
  };
  for (const LengthCase& c : cases) {
    auto v = makeValdris(c.mode, {}, c.rate);
    const auto& e = v->getEngine();
    EXPECT_EQ(e.hilbertTaps(), c.taps) << modeName(c.mode) << " " << c.rate;
    EXPECT_EQ(e.gainDelay(), c.delay) << modeName(c.mode) << " " << c.rate;
    EXPECT_EQ(e.limiterLookahead(), c.lookahead) << modeName(c.mode) << " " << c.rate;
  }
}

TEST(DerivedValues, FatDoublesTheFollowerRate) {
  const Settings s = {{p::kAttack, 0.4f}, {p::kRelease, 0.3f}};
  auto plain = makeValdris(Mode::plain, s, 88200.0f);
  auto fat = makeValdris(Mode::fat, s, 44100.0f);
  EXPECT_DOUBLE_EQ(plain->getEngine().attackCoef(), fat->getEngine().attackCoef());
  EXPECT_DOUBLE_EQ(plain->getEngine().releaseCoef(), fat->getEngine().releaseCoef());
  // 95 % of a step in the attack time: 0.01 * 100000^0.4 ms.
  const double ta = 0.01 * std::pow(100000.0, double(0.4f)) * 0.001;
  EXPECT_DOUBLE_EQ(plain->getEngine().attackCoef(), 1.0 - std::pow(0.05, 1.0 / (ta * 88200.0)));
  auto rms = makeValdris(Mode::plain, {{p::kAttack, 0.4f}, {p::kRms, 1.0f}}, 88200.0f);
  EXPECT_DOUBLE_EQ(rms->getEngine().attackCoef(), 1.0 - std::pow(0.0025, 1.0 / (ta * 88200.0)));
}

TEST(DerivedValues, RatioSwapsTiltAndSetsAutoMakeup) {
  auto v = makeValdris(Mode::plain, {{p::kTilt, 1.0f}, {p::kRatio, 0.3f}});
  EXPECT_DOUBLE_EQ(v->getEngine().balanceLeft(), 2.0);
  EXPECT_DOUBLE_EQ(v->getEngine().balanceRight(), 0.5);
  EXPECT_DOUBLE_EQ(v->getEngine().autoMakeupGain(), 1.0);
  v->setParameter(p::kRatio, 0.2999f);  // 0.917 : 1, expansion
  v->processReplacing(nullptr, nullptr, 0);  // changes reach the engine at the next call
  EXPECT_DOUBLE_EQ(v->getEngine().balanceLeft(), 0.5);
  EXPECT_DOUBLE_EQ(v->getEngine().balanceRight(), 2.0);
  v->setParameter(p::kThreshold, 1.0f);  // T = 32
  v->setParameter(p::kRatio, 0.8f);      // index 16, 4 : 1
  v->processReplacing(nullptr, nullptr, 0);
  EXPECT_NEAR(v->getEngine().autoMakeupGain(), std::pow(0.55 * 32.0, 0.8 * 0.75), 1e-12);
}

// ---- Block sizes ---------------------------------------------------------------

struct BlockCase {
  Mode mode;
  Settings settings;
};

TEST(BlockSizes, OneSixtyFourAndThousandGiveTheSameOutput) {
  // Compressing hard with every envelope option somewhere, limiter on.
  const Settings hard = {{p::kThreshold, 0.6f}, {p::kRatio, 0.85f}, {p::kAttack, 0.3f}, {p::kRelease, 0.2f},
                         {p::kLimiter, 1.0f},   {p::kMakeup, 0.6f},  {p::kMix, 0.8f}};
  Settings classic = hard;
  classic.insert(classic.end(), {{p::kClassic, 1.0f}, {p::kAutoAttack, 1.0f}, {p::kAutoRelease, 1.0f}});
  Settings rmsSoft = hard;
  rmsSoft.insert(rmsSoft.end(), {{p::kRms, 1.0f}, {p::kSoft, 1.0f}, {p::kAutoMakeup, 1.0f}, {p::kLink, 1.0f},
                                 {p::kTilt, 0.8f}, {p::kLinkHighCut, 1.0f}});
  Settings expander = {{p::kThreshold, 0.5f}, {p::kRatio, 0.0f}, {p::kHighShelfBoost, 1.0f}, {p::kLowShelfBoost, 1.0f}};
  const BlockCase cases[] = {
      {Mode::plain, hard},    {Mode::fat, hard},         {Mode::smooth, hard},   {Mode::fatSmooth, hard},
      {Mode::plain, classic}, {Mode::smooth, classic},   {Mode::fat, rmsSoft},   {Mode::fatSmooth, rmsSoft},
      {Mode::plain, expander}, {Mode::fat, expander},
  };
  const Stereo in = programme(12000);
  for (const BlockCase& c : cases) {
    auto reference = makeValdris(c.mode, c.settings);
    const Stereo expected = run<double>(*reference, in, 64);
    double reduction = 0.0;
    for (size_t i = 4000; i < in.size(); ++i)
      reduction = std::max(reduction, std::fabs(expected.left[i] - 0.8 * in.left[i - kLatency]));
    EXPECT_GT(reduction, 0.01) << modeName(c.mode) << ": the case should change the signal";
    for (int block : {1, 1000}) {
      auto v = makeValdris(c.mode, c.settings);
      const Stereo out = run<double>(*v, in, block);
      EXPECT_LE(maxAbsDiff(out.left, expected.left), 1e-7) << modeName(c.mode) << " block " << block;
      EXPECT_LE(maxAbsDiff(out.right, expected.right), 1e-7) << modeName(c.mode) << " block " << block;
    }
  }
}

TEST(Precision, FloatAndDoubleRunTheSameArithmetic) {
  const Settings s = {{p::kThreshold, 0.6f}, {p::kRatio, 0.85f}, {p::kLimiter, 1.0f}};
  Stereo in = programme(6000);
  for (size_t i = 0; i < in.size(); ++i) {  // values a float holds exactly
    in.left[i] = static_cast<float>(in.left[i]);
    in.right[i] = static_cast<float>(in.right[i]);
  }
  for (Mode mode : kAllModes) {
    auto a = makeValdris(mode, s);
    auto b = makeValdris(mode, s);
    const Stereo f = run<float>(*a, in, 256);
    const Stereo d = run<double>(*b, in, 256);
    for (size_t i = 0; i < in.size(); ++i)
      ASSERT_EQ(f.left[i], static_cast<double>(static_cast<float>(d.left[i]))) << modeName(mode) << " " << i;
  }
}

// ---- Output stage and limiter -----------------------------------------------------

TEST(Limiter, FullScaleSquareStaysBelowTheCeiling) {
  Stereo in(20000);
  for (size_t i = 0; i < in.size(); ++i) in.left[i] = in.right[i] = (i / 50) % 2 == 0 ? 1.0 : -1.0;
  for (Mode mode : kAllModes) {
    // +12 dB of make-up and output push the square far over full scale.
    auto v = makeValdris(mode, {{p::kLimiter, 1.0f}, {p::kMakeup, 0.5f}, {p::kOutput, 1.0f}});
    const Stereo out = run<double>(*v, in, 512);
    double peak = 0.0;
    for (size_t i = 0; i < in.size(); ++i) peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
    EXPECT_LE(peak, 0.999) << modeName(mode);
    EXPECT_GT(peak, 0.99) << modeName(mode);
  }
}

TEST(OutputStage, MixZeroIsTheDelayedDryTimesOutputGain) {
  const Stereo in = programme(8000);
  for (Mode mode : kAllModes) {
    // Output raw 0.75 is 0.25 * 16^0.75 = 2; compression would be heavy.
    auto mixed = makeValdris(mode, {{p::kMix, 0.0f}, {p::kOutput, 0.75f}, {p::kThreshold, 0.9f}, {p::kRatio, 1.0f}});
    auto bypassed = makeValdris(mode, {{p::kPower, 0.0f}});
    const Stereo out = run<double>(*mixed, in, 256);
    const Stereo dry = run<double>(*bypassed, in, 256);
    for (size_t i = 0; i < in.size(); ++i) {
      ASSERT_NEAR(out.left[i], 2.0 * dry.left[i], 1e-9) << modeName(mode) << " " << i;
      ASSERT_NEAR(out.right[i], 2.0 * dry.right[i], 1e-9) << modeName(mode) << " " << i;
      if (mode == Mode::plain || mode == Mode::smooth) {
        ASSERT_NEAR(dry.left[i], i >= kLatency ? in.left[i - kLatency] : 0.0, 1e-9) << modeName(mode) << " " << i;
      }
    }
  }
}

// The side-chain filters as the engine sets them up from the "Default"
// preset (shelves fully cut) at 44.1 kHz.
struct SidechainFilters {
  orv::dsp::Biquad low{44100.0, orv::dsp::Biquad::lowShelf, 0.7 * 25.0, 0.35, -15.0};
  orv::dsp::Biquad high{44100.0, orv::dsp::Biquad::highShelf, 1.375 * 16000.0, 0.35, -15.0};
  SidechainFilters() {
    low.reset();
    high.reset();
  }
  double operator()(double x) { return high.runGliding(low.runGliding(x)); }
};

TEST(Monitoring, OutputIsTheBalancedFilteredSidechain) {
  Stereo in = programme(8000);
  for (Mode mode : {Mode::plain, Mode::smooth}) {
    // Tilt right: left side-chain x 1.414, right x 0.707; heavy settings that must not act.
    auto v = makeValdris(mode, {{p::kSidechainMonitor, 1.0f}, {p::kTilt, 0.75f}, {p::kOutput, 0.75f},
                                {p::kThreshold, 1.0f}, {p::kRatio, 1.0f}, {p::kMakeup, 1.0f}});
    const Stereo out = run<double>(*v, in, 100);
    // (The output gain glides on the noise too, hence 1e-9.)
    // The filters' slow poles make them sensitive to their denormal noise, so
    // replay the engine's: its noise draws and the steps it ran on silence
    // before the first sample reached the detector (the input ring's delay,
    // plus the 64-sample delay ahead of the smooth kernel's detector).
    const int taps = v->getEngine().hilbertTaps();
    const int silentSteps = 1021 - taps + (mode == Mode::smooth ? 64 : 0);
    SidechainFilters left, right;
    orv::dsp::NoiseGenerator noise;
    const double gl = 0.5 * std::pow(4.0, double(0.75f)), gr = 0.5 * std::pow(4.0, 1.0 - double(0.75f));
    for (int i = -silentSteps; i + kLatency < static_cast<int>(in.size()); ++i) {
      const double z1 = noise.nextValue(1e-12), z2 = noise.nextValue(1e-12);
      noise.next();
      const double xl = i >= 0 ? in.left[i] : 0.0, xr = i >= 0 ? in.right[i] : 0.0;
      const double yl = left((xl + z1) * gl), yr = right((xr + z2) * gr);
      if (i < 0) continue;
      ASSERT_NEAR(out.left[i + kLatency], 2.0 * yl, 1e-9) << modeName(mode) << " " << i;
      ASSERT_NEAR(out.right[i + kLatency], 2.0 * yr, 1e-9) << modeName(mode) << " " << i;
    }
  }
}

// ---- Side-chain source selection --------------------------------------------------

struct SourceCase {
  const char* name;
  bool external;
  bool connected[4];
  bool present[4];
  int arrangementInputs;  // 4 or 2
  int expectLeft, expectRight;  // which input feeds the side-chain: 0..3
};

TEST(Sidechain, SourceSelectionAndFallback) {
  const SourceCase cases[] = {
      {"external, all connected", true, {1, 1, 1, 1}, {1, 1, 1, 1}, 4, 2, 3},
      {"internal", false, {1, 1, 1, 1}, {1, 1, 1, 1}, 4, 0, 1},
      {"only input 2 connected", true, {1, 1, 1, 0}, {1, 1, 1, 1}, 4, 2, 2},
      {"input 3 missing", true, {1, 1, 1, 1}, {1, 1, 1, 0}, 4, 2, 2},
      {"no side-chain connected", true, {1, 1, 0, 0}, {1, 1, 1, 1}, 4, 0, 1},
      {"side-chain pointers null", true, {1, 1, 1, 1}, {1, 1, 0, 0}, 4, 0, 1},
      {"two-input arrangement", true, {1, 1, 1, 1}, {1, 1, 1, 1}, 2, 0, 1},
      {"main right unconnected", false, {1, 0, 1, 1}, {1, 1, 1, 1}, 4, 0, 0},
      {"main right null", true, {1, 1, 0, 0}, {1, 0, 1, 1}, 4, 0, 0},
  };
  const size_t n = 6000;
  Stereo a = sine(n, 0.5, 300.0), b = sine(n, 0.3, 5000.0);
  const std::vector<double>* sources[4] = {&a.left, &b.left, nullptr, nullptr};
  Stereo c = sine(n, 0.7, 1200.0), d = sine(n, 0.2, 9000.0);
  sources[2] = &c.left;
  sources[3] = &d.left;

  // The monitored output shows the side-chain the engine picked.
  auto monitorOf = [&](int left, int right) {
    auto v = makeValdris(Mode::plain, {{p::kSidechainMonitor, 1.0f}});
    Stereo in(n);
    in.left = *sources[left];
    in.right = *sources[right];
    return run<double>(*v, in, 256);
  };

  for (const SourceCase& k : cases) {
    FakeHost& host = fakeHost();
    auto v = makeValdris(Mode::plain, {{p::kSidechainMonitor, 1.0f}, {p::kSidechainExternal, k.external ? 1.0f : 0.0f}});
    vst::VstSpeakerArrangement ins{}, outs{};
    ins.numChannels = k.arrangementInputs;
    outs.numChannels = 2;
    ASSERT_TRUE(v->setSpeakerArrangement(&ins, &outs));
    for (int i = 0; i < 4; ++i) host.inputConnected[i] = k.connected[i];
    std::vector<double> buffers[4] = {a.left, b.left, c.left, d.left};
    std::vector<double> outL(n), outR(n);
    for (size_t first = 0; first < n; first += 256) {
      double* inputs[4];
      for (int i = 0; i < 4; ++i) inputs[i] = k.present[i] ? buffers[i].data() + first : nullptr;
      double* outputs[2] = {outL.data() + first, outR.data() + first};
      v->processDoubleReplacing(inputs, outputs, static_cast<int32_t>(std::min<size_t>(256, n - first)));
    }
    host = FakeHost{};
    const Stereo expected = monitorOf(k.expectLeft, k.expectRight);
    EXPECT_LE(maxAbsDiff(outL, expected.left), 1e-9) << k.name;
    EXPECT_LE(maxAbsDiff(outR, expected.right), 1e-9) << k.name;
  }
}

TEST(Sidechain, MissingRightOutputWritesBothChannelsToTheLeftBuffer) {
  auto v = makeValdris(Mode::plain, {{p::kPower, 0.0f}});
  fakeHost().outputConnected[1] = false;
  std::vector<float> inL(2000, 0.0f), inR(2000, 0.0f), out(2000, 5.0f), untouched(2000, 5.0f);
  inL[0] = 0.25f;
  inR[0] = 0.75f;
  float* ins[4] = {inL.data(), inR.data(), nullptr, nullptr};
  float* outs[2] = {out.data(), untouched.data()};
  v->processReplacing(ins, outs, 2000);
  fakeHost() = FakeHost{};
  EXPECT_NEAR(out[kLatency], 0.75f, 1e-6) << "the right channel is written last";
  EXPECT_EQ(untouched, std::vector<float>(2000, 5.0f));
}

// ---- Meters ----------------------------------------------------------------------

TEST(Meters, VuOfAFullScaleSineAtTheOutput) {
  // Post, VU reference 0 dBFS (scale 1), 30 ms integration; bypassed so the output is the sine.
  auto v = makeValdris(Mode::plain, {{p::kPower, 0.0f}, {p::kMeters, 1.0f}, {p::kVuReference, 1.0f},
                                     {p::kVuIntegration, 0.0f}, {p::kPpmIntegration, 0.0f}});
  run<double>(*v, sine(44100, 1.0, 1000.0), 512);
  const auto& feed = v->getMeterFeed();
  const double expected = 1.096 * 1.4142136 * 2.0 / kPi;  // 0.987
  EXPECT_NEAR(feed.vuLevel[0], expected, 0.01);
  EXPECT_NEAR(feed.vuLevel[1], expected, 0.01);
  EXPECT_NEAR(feed.ppmLevel[0], 1.0, 0.01) << "instant PPM rise";
  EXPECT_GE(feed.vuHold[0], feed.vuLevel[0]);
  EXPECT_EQ(feed.overLamp[0], 0.0);
}

TEST(Meters, GainModeShowsNoReductionAtMixZeroAndReductionAtFullMix) {
  const Stereo in = sine(30000, 0.9, 500.0);
  // The gain meters integrate at twice the sample rate: 30 ms reads as 60 ms here.
  auto dry = makeValdris(Mode::plain, {{p::kMix, 0.0f}, {p::kThreshold, 0.8f}, {p::kRatio, 1.0f},
                                       {p::kVuIntegration, 0.0f}});
  run<double>(*dry, in, 512);
  EXPECT_NEAR(dry->getMeterFeed().vuLevel[0], 1.0, 1e-6);
  auto wet = makeValdris(Mode::fat, {{p::kMix, 1.0f}, {p::kThreshold, 0.8f}, {p::kRatio, 1.0f},
                                     {p::kVuIntegration, 0.0f}});
  run<double>(*wet, in, 512);
  EXPECT_LT(wet->getMeterFeed().vuLevel[0], 0.5);
  EXPECT_LT(wet->getMeterFeed().ppmLevel[1], 0.5);
}

struct OverCase {
  const char* name;
  float overIndicator;      // raw; 0 is 1 sample, 0.25 is 3
  std::vector<int> overs;   // input samples at 1.5
  int firstCall;            // frames of the first call
  double lampFirst, lampSecond;
};

TEST(Meters, OverCountingAcrossCalls) {
  const OverCase cases[] = {
      {"run of 3 across two calls", 0.25f, {0, 1, 2}, kLatency + 2, 0.0, 1.0},
      {"run of 3 in one call", 0.25f, {0, 1, 2}, kLatency + 3, 1.0, 0.0},
      {"run of 2 is forgotten", 0.25f, {0, 1}, kLatency + 2, 0.0, 0.0},
      {"single sample at threshold 1", 0.0f, {0}, kLatency + 1, 1.0, 0.0},
      {"two runs of 2 do not add", 0.25f, {0, 1, 3, 4}, kLatency + 2, 0.0, 0.0},
  };
  for (const OverCase& c : cases) {
    auto v = makeValdris(Mode::plain, {{p::kPower, 0.0f}, {p::kMeters, 1.0f}, {p::kOverIndicator, c.overIndicator}});
    Stereo in(kLatency + 64);
    for (int i : c.overs) in.left[i] = in.right[i] = 1.5;
    std::vector<double> inL = in.left, inR = in.right, outL(in.size()), outR(in.size());
    auto call = [&](int first, int frames) {
      double* ins[4] = {inL.data() + first, inR.data() + first, nullptr, nullptr};
      double* outs[2] = {outL.data() + first, outR.data() + first};
      v->processDoubleReplacing(ins, outs, frames);
    };
    call(0, c.firstCall);
    EXPECT_EQ(v->getMeterFeed().overLamp[0], c.lampFirst) << c.name;
    call(c.firstCall, static_cast<int>(in.size()) - c.firstCall);
    EXPECT_EQ(v->getMeterFeed().overLamp[1], c.lampSecond) << c.name;
    call(0, 0);  // an empty call still runs the over check
    EXPECT_EQ(v->getMeterFeed().overLamp[0], 0.0) << c.name;
  }
}

TEST(Meters, SuspendClearsTheFeedAndAgesCount) {
  auto v = makeValdris(Mode::plain, {{p::kMeters, 1.0f}});
  run<double>(*v, sine(5000, 0.5, 100.0), 1000);
  EXPECT_GT(v->getMeterFeed().ppmHold[0], 0.1);
  EXPECT_LE(v->getMeterFeed().ppmHoldAge[0], 1000);
  v->suspend();
  const auto& f = v->getMeterFeed();
  EXPECT_EQ(f.vuLevel[0], 0.0);
  EXPECT_EQ(f.ppmHold[1], 0.0);
  EXPECT_EQ(f.vuHoldAge[0], 0);
  EXPECT_EQ(f.overLamp[0], 0.01);
  v->resume();
  // Loud, then silence long enough to flush the latency: the falling levels set no hold.
  run<double>(*v, sine(5000, 0.5, 100.0), 5000);
  run<double>(*v, Stereo(3000), 3000);
  const int32_t vuAge = v->getMeterFeed().vuHoldAge[0], ppmAge = v->getMeterFeed().ppmHoldAge[1];
  run<double>(*v, Stereo(300), 100);
  EXPECT_EQ(v->getMeterFeed().vuHoldAge[0], vuAge + 300);
  EXPECT_EQ(v->getMeterFeed().ppmHoldAge[1], ppmAge + 300);
}

// ---- Bad input ---------------------------------------------------------------------

TEST(BadInput, NonFiniteSamplesCountAsSilence) {
  const double bad[] = {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (Mode mode : kAllModes) {
    Stereo in = programme(6000), zeroed = in;
    for (size_t i = 1000; i < 1100; ++i) {
      in.left[i] = bad[i % 3];
      in.right[i + 7] = bad[(i + 1) % 3];
      zeroed.left[i] = 0.0;
      zeroed.right[i + 7] = 0.0;
    }
    const Settings s = {{p::kLimiter, 1.0f}, {p::kThreshold, 0.7f}, {p::kRatio, 0.9f}};
    auto a = makeValdris(mode, s);
    auto b = makeValdris(mode, s);
    const Stereo out = run<double>(*a, in, 200);
    const Stereo expected = run<double>(*b, zeroed, 200);
    EXPECT_EQ(out.left, expected.left) << modeName(mode);
    EXPECT_EQ(out.right, expected.right) << modeName(mode);
  }
}

// A few samples far beyond any real level (garbage in a host buffer) would
// overflow the filters and the detector and silence the output for good;
// they are held at the input limit instead.
TEST(BadInput, HugeSamplesAreHeldAtTheInputLimit) {
  for (Mode mode : kAllModes) {
    for (double huge : {3e38, 1e300}) {
      Stereo in = programme(12000), held = in;
      for (size_t i = 1000; i < 1010; ++i) {
        in.left[i] = i % 2 ? huge : -huge;
        in.right[i] = huge;
        held.left[i] = i % 2 ? orv::dsp::kInputLimit : -orv::dsp::kInputLimit;
        held.right[i] = orv::dsp::kInputLimit;
      }
      auto a = makeValdris(mode, {{p::kLimiter, 1.0f}});
      auto b = makeValdris(mode, {{p::kLimiter, 1.0f}});
      // Float buffers carry the largest float; doubles can go much further.
      const Stereo out = huge < 1e39 ? run<float>(*a, in, 200) : run<double>(*a, in, 200);
      const Stereo expected = huge < 1e39 ? run<float>(*b, held, 200) : run<double>(*b, held, 200);
      for (size_t i = 0; i < out.size(); ++i)
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << modeName(mode) << " " << i;
      EXPECT_EQ(out.left, expected.left) << modeName(mode) << " " << huge;
      EXPECT_EQ(out.right, expected.right) << modeName(mode) << " " << huge;
    }
  }
}

TEST(BadInput, NonFiniteParameterValuesKeepTheOutputFinite) {
  const float bad[] = {std::nanf(""), std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                       1e30f, -1e30f};
  const Stereo in = programme(3000);
  for (Mode mode : kAllModes) {
    for (float value : bad) {
      auto v = makeValdris(mode);
      for (int32_t index = -3; index <= 60; ++index)
        if (index != p::kFat && index != p::kSmooth) v->setParameter(index, value);
      const Stereo out = run<float>(*v, in, 333);
      for (size_t i = 0; i < in.size(); ++i)
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << modeName(mode) << " " << value;
    }
  }
}

TEST(BadInput, NullBuffersAndEmptyCallsAreSafe) {
  auto v = makeValdris(Mode::fat);
  std::vector<float> buffer(100, 0.5f);
  float* ins[4] = {nullptr, nullptr, nullptr, nullptr};
  float* outs[2] = {buffer.data(), nullptr};
  v->processReplacing(ins, outs, 100);
  EXPECT_EQ(buffer, std::vector<float>(100, 0.0f));
  v->processReplacing(nullptr, nullptr, 100);
  v->processReplacing(ins, outs, 0);
  v->processReplacing(ins, outs, -5);
  double* dins[4] = {};
  v->processDoubleReplacing(dins, nullptr, 64);
}

}  // namespace
}  // namespace engine_test
