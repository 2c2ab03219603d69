// The real Orv Valdris engine against the plain reference model, on a few
// seconds of varied programme material, for every kernel and a table of
// parameter settings, in float and double: outputs and meter feed must agree
// within 1e-6 of full scale at every sample and after every host call.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/reference/valdris_reference.h"
#include "tests/support/scoped_config_home.h"
#include "valdris/factory_presets.h"
#include "valdris/meter_feed.h"
#include "valdris/parameters.h"
#include "valdris/valdris.h"

namespace {

namespace p = orv::valdris;
using orv::reference::ReferenceMeterFeed;
using orv::reference::ValdrisReference;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTolerance = 1e-6;

// Instances read and write meter settings: keep them in a private folder.
class PrivateHome : public ::testing::Environment {
 public:
  void SetUp() override { home_ = std::make_unique<orv::testing::ScopedConfigHome>(); }
  void TearDown() override { home_.reset(); }

 private:
  std::unique_ptr<orv::testing::ScopedConfigHome> home_;
};
[[maybe_unused]] ::testing::Environment* const kPrivateHome = ::testing::AddGlobalTestEnvironment(new PrivateHome);

intptr_t fakeHost(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  // Every pin reads as connected (answer 0).
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// ------------------------------------------------------------ programme

// Deterministic white noise in -1..1.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : s_(seed) {}
  double next() {
    s_ = s_ * 1664525u + 1013904223u;
    return static_cast<double>(s_) / 2147483648.0 - 1.0;
  }

 private:
  uint32_t s_;
};

struct Programme {
  std::vector<double> channel[4];  // main L, main R, side-chain L, side-chain R
  size_t size() const { return channel[0].size(); }
};

// Sections as fractions of the length: noise bursts, sines, silence, steps,
// an over-full-scale chirp, low and high sines, quiet noise, drum-like hits.
// The side-chain pair carries its own material, with a silent stretch.
Programme makeProgramme(double rate, double seconds, bool badSamples) {
  const size_t n = static_cast<size_t>(rate * seconds);
  Programme pr;
  for (auto& c : pr.channel) c.assign(n, 0.0);
  Lcg noiseL(1), noiseR(2), noiseS(3);
  double chirpPhase = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double f = static_cast<double>(i) / static_cast<double>(n);
    const double nl = noiseL.next(), nr = noiseR.next(), ns = noiseS.next();
    double l = 0.0, r = 0.0;
    if (f < 0.12) {
      const bool on = std::fmod(t, 0.06) < 0.04;
      l = on ? 0.6 * nl : 0.0;
      r = on ? 0.4 * nr : 0.02 * nr;
    } else if (f < 0.25) {
      l = 0.9 * std::sin(2 * kPi * 1000.0 * t);
      r = 0.5 * std::sin(2 * kPi * 220.0 * t) + 0.2 * std::sin(2 * kPi * 5000.0 * t);
    } else if (f < 0.32) {
      // silence
    } else if (f < 0.40) {
      const bool high = std::fmod(t, 0.05) < 0.025;
      l = high ? 0.8 : -0.3;
      r = high ? -0.5 : 0.6;
    } else if (f < 0.60) {
      const double fc = 40.0 * std::pow(300.0, (f - 0.40) / 0.20);
      chirpPhase += 2 * kPi * fc / rate;
      l = 1.15 * std::sin(chirpPhase);
      r = 0.7 * std::sin(chirpPhase + 1.0);
    } else if (f < 0.72) {
      l = 0.8 * std::sin(2 * kPi * 60.0 * t) + 0.15 * std::sin(2 * kPi * 8000.0 * t);
      r = 0.3 * std::sin(2 * kPi * 60.0 * t + 0.5);
    } else if (f < 0.80) {
      l = 0.01 * nl;
      r = 0.01 * nr;
    } else {
      const double since = std::fmod(t, 0.09);
      const double hit = std::exp(-since * 40.0);
      l = hit * (0.7 * nl + 0.5 * std::sin(2 * kPi * 55.0 * since));
      r = 0.8 * hit * (0.6 * nr + 0.5 * std::sin(2 * kPi * 55.0 * since));
    }
    pr.channel[0][i] = l;
    pr.channel[1][i] = r;
    const bool scSilent = f > 0.45 && f < 0.55;
    pr.channel[2][i] = scSilent ? 0.0 : 0.5 * (1 + std::sin(2 * kPi * 3.0 * t)) * std::sin(2 * kPi * 150.0 * t);
    pr.channel[3][i] = scSilent ? 0.0 : (std::fmod(t, 0.2) < 0.08 ? 0.7 * ns : 0.05 * ns);
  }
  if (badSamples) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const size_t at[] = {n / 10, n / 10 + 1, n / 3, n / 2, n / 2 + 7};
    pr.channel[0][at[0]] = nan;
    pr.channel[1][at[1]] = inf;
    pr.channel[2][at[2]] = -inf;
    pr.channel[3][at[2]] = nan;
    pr.channel[0][at[3]] = -inf;
    pr.channel[1][at[4]] = nan;
  }
  return pr;
}

// ------------------------------------------------------------ cases

struct Setting {
  int32_t index;
  float value;
};

// A parameter change between two host calls, at a fraction of the length.
struct Event {
  double at;
  int32_t index;
  float value;
};

// How the host connects the plug-in.
enum class Routing {
  Full,              // four inputs, two outputs
  StereoOnly,        // a 2-in/2-out arrangement: the side-chain inputs are ignored
  SidechainLeftOnly, // input 3 and the right output missing (null)
};

struct Case {
  const char* name;
  int preset;                     // factory preset the settings start from
  std::vector<Setting> settings;  // on top of the preset and the meter defaults
  std::vector<Event> events;
  bool badSamples = false;
  Routing routing = Routing::Full;
};

const std::vector<Case>& cases() {
  static const std::vector<Case> kCases = {
      {"Default", 0, {{p::kMeters, 0.0f}}, {}, true},
      {"PhatMix", 2, {{p::kMeters, 0.5f}}, {}},
      {"MezzoClassicPost",
       3,
       {{p::kClassic, 1.0f}, {p::kMeters, 1.0f}, {p::kPpmIntegration, 0.0f}, {p::kVuReference, 1.0f},
        {p::kOverIndicator, 0.0f}},
       {}},
      {"DrumsTiltLinkBoth",
       13,
       {{p::kTilt, 0.8f}, {p::kLinkHighCut, 1.0f}, {p::kLinkLowCut, 1.0f}, {p::kMeters, 0.5f},
        {p::kOverIndicator, 1.0f}},
       {}},
      {"KickPumpLinkHighCutOvers",
       15,
       {{p::kLinkHighCut, 1.0f}, {p::kMeters, 1.0f}, {p::kVuIntegration, 0.0f}, {p::kOutput, 0.8f}},
       {}},
      {"ExternalExpander",
       0,
       {{p::kSidechainExternal, 1.0f}, {p::kRatio, 0.1f}, {p::kLinkLowCut, 1.0f}, {p::kTilt, 0.2f},
        {p::kAutoAttack, 1.0f}, {p::kThreshold, 0.6f}, {p::kMeters, 0.5f}, {p::kLink, 0.9f}},
       {}},
      {"SidechainMonitor",
       0,
       {{p::kSidechainExternal, 1.0f}, {p::kSidechainMonitor, 1.0f}, {p::kHighShelfBoost, 1.0f}, {p::kHigh, 0.3f},
        {p::kLowShelfBoost, 1.0f}, {p::kLow, 0.6f}, {p::kOutput, 0.7f}, {p::kMeters, 1.0f}, {p::kLimiter, 1.0f}},
       {}},
      {"PowerOffLimiter",
       0,
       {{p::kPower, 0.0f}, {p::kLimiter, 1.0f}, {p::kOutput, 1.0f}, {p::kMeters, 1.0f}, {p::kPpmReturn, 0.0f}},
       {}},
      {"ClassicRmsSoftExpander",
       0,
       {{p::kClassic, 1.0f}, {p::kRms, 1.0f}, {p::kSoft, 1.0f}, {p::kRatio, 0.0f}, {p::kThreshold, 0.7f},
        {p::kMix, 0.6f}, {p::kAutoMakeup, 1.0f}, {p::kAutoRelease, 1.0f}, {p::kMeters, 0.5f},
        {p::kVuIntegration, 0.0f}, {p::kPpmReturn, 0.0f}, {p::kLimiter, 1.0f}},
       {}},
      {"Automation",
       5,
       {{p::kMeters, 0.5f}},
       {{0.15, p::kMakeup, 0.6f},        {0.2, p::kOutput, 0.3f},          {0.25, p::kMix, 0.5f},
        {0.3, p::kHigh, 0.2f},           {0.33, p::kLow, 0.8f},            {0.36, p::kThreshold, 0.8f},
        {0.4, p::kRatio, 0.9f},          {0.43, p::kTilt, 0.7f},           {0.46, p::kLimiter, 1.0f},
        {0.5, p::kMeters, 1.0f},         {0.53, p::kSidechainMonitor, 1.0f}, {0.58, p::kSidechainMonitor, 0.0f},
        {0.6, p::kLinkHighCut, 1.0f},    {0.64, p::kClassic, 1.0f},        {0.68, p::kRms, 0.0f},
        {0.72, p::kMeters, 0.0f},        {0.75, p::kHighShelfBoost, 1.0f}, {0.77, p::kLowShelfBoost, 0.0f},
        {0.8, p::kLink, 0.1f},           {0.82, p::kAttack, 0.1f},         {0.84, p::kRelease, 0.9f},
        {0.86, p::kRatio, 0.15f},        {0.9, p::kLimiter, 0.0f},         {0.93, p::kPower, 0.0f}}},
      {"KernelSwitches",
       9,
       {{p::kMeters, 0.5f}},
       {{0.2, p::kFat, 1.0f}, {0.35, p::kSmooth, 1.0f}, {0.5, p::kFat, 0.0f}, {0.65, p::kSmooth, 0.0f},
        {0.8, p::kSmooth, 1.0f}, {0.9, p::kFat, 1.0f}}},
      {"StereoArrangementIgnoresSidechain",
       3,
       {{p::kSidechainExternal, 1.0f}, {p::kMeters, 0.0f}},
       {},
       false,
       Routing::StereoOnly},
      {"SidechainLeftOnlyAndNoRightOutput",
       7,
       {{p::kSidechainExternal, 1.0f}, {p::kTilt, 0.3f}, {p::kMeters, 1.0f}},
       {},
       false,
       Routing::SidechainLeftOnly},
  };
  return kCases;
}

struct Mode {
  const char* name;
  bool fat, smooth;
};
constexpr Mode kModes[] = {{"Plain", false, false}, {"Fat", true, false}, {"Smooth", false, true}, {"FatSmooth", true, true}};

std::vector<float> parameterValues(const Case& c, const Mode& m) {
  std::vector<float> v(p::kNumParamIndices, 0.0f);
  const auto& preset = p::kFactoryPresets[c.preset];
  for (int i = 0; i < p::kNumHostParams; ++i) v[i] = preset.values[i];
  v[p::kSidechainMonitor] = 0.0f;
  v[p::kVuIntegration] = 0.5f;
  v[p::kVuReference] = 0.41f;
  v[p::kPpmIntegration] = 0.5f;
  v[p::kPpmReturn] = 0.5f;
  v[p::kOverIndicator] = 2.0f / 9.0f;
  for (const Setting& s : c.settings) v[s.index] = s.value;
  v[p::kFat] = m.fat ? 1.0f : 0.0f;
  v[p::kSmooth] = m.smooth ? 1.0f : 0.0f;
  return v;
}

bool isApplied(int index) { return index < p::kFirstSpare || index >= p::kSidechainMonitor; }

// ------------------------------------------------------------ comparison

// First disagreement found in a run, as a readable line.
struct Mismatch {
  bool found = false;
  std::string text;
  void note(const std::string& s) {
    if (!found) text = s;
    found = true;
  }
};

void compareMeters(const p::MeterFeed& e, const ReferenceMeterFeed& r, size_t atSample, Mismatch& mm) {
  char line[256];
  auto value = [&](const char* field, int ch, double ev, double rv) {
    if (!(std::fabs(ev - rv) <= kTolerance)) {
      std::snprintf(line, sizeof line, "meter %s[%d] after sample %zu: engine %.9g, model %.9g", field, ch, atSample,
                    ev, rv);
      mm.note(line);
    }
  };
  auto count = [&](const char* field, int ch, int32_t ev, int32_t rv) {
    if (ev != rv) {
      std::snprintf(line, sizeof line, "meter %s[%d] after sample %zu: engine %d, model %d", field, ch, atSample, ev,
                    rv);
      mm.note(line);
    }
  };
  for (int ch = 0; ch < 2; ++ch) {
    value("vuLevel", ch, e.vuLevel[ch], r.vuLevel[ch]);
    value("ppmLevel", ch, e.ppmLevel[ch], r.ppmLevel[ch]);
    value("vuHold", ch, e.vuHold[ch], r.vuHold[ch]);
    value("ppmHold", ch, e.ppmHold[ch], r.ppmHold[ch]);
    value("overLamp", ch, e.overLamp[ch], r.overLamp[ch]);
    count("vuHoldAge", ch, e.vuHoldAge[ch], r.vuHoldAge[ch]);
    count("ppmHoldAge", ch, e.ppmHoldAge[ch], r.ppmHoldAge[ch]);
    count("overCount", ch, e.overCount[ch], r.overCount[ch]);
  }
}

// Runs engine and model side by side; T is the host's sample type.
template <typename T>
Mismatch runComparison(const Case& c, const Mode& m, double rate, double seconds, const std::vector<int>& blockPattern) {
  const Programme pr = makeProgramme(rate, seconds, c.badSamples);
  const size_t n = pr.size();
  std::vector<T> hostIn[4];
  std::vector<double> refIn[4];
  for (int k = 0; k < 4; ++k) {
    hostIn[k].resize(n);
    refIn[k].resize(n);
    for (size_t i = 0; i < n; ++i) {
      hostIn[k][i] = static_cast<T>(pr.channel[k][i]);
      refIn[k][i] = static_cast<double>(hostIn[k][i]);  // the model sees what the host sent
    }
  }
  std::vector<T> hostOut[2] = {std::vector<T>(n), std::vector<T>(n)};
  std::vector<double> refOut[2] = {std::vector<double>(n), std::vector<double>(n)};

  auto engine = std::make_unique<orv::Valdris>(fakeHost);
  orv::reference::ReferencePins pins;
  if (c.routing == Routing::StereoOnly) {
    vst::VstSpeakerArrangement in{}, out{};
    in.numChannels = 2;
    out.numChannels = 2;
    if (!engine->setSpeakerArrangement(&in, &out)) {
      Mismatch refused;
      refused.note("a 2-in/2-out arrangement was refused");
      return refused;
    }
    pins.fourInputs = false;
  }
  ValdrisReference model(pins);
  engine->setSampleRate(static_cast<float>(rate));
  model.setSampleRate(static_cast<double>(static_cast<float>(rate)));
  const std::vector<float> values = parameterValues(c, m);
  for (int i = 0; i < p::kNumParamIndices; ++i) {
    if (!isApplied(i)) continue;
    engine->setParameter(i, values[i]);
    model.setParameter(i, values[i]);
  }
  engine->suspend();
  model.suspend();
  engine->resume();
  model.resume();

  Mismatch mm;
  size_t pos = 0, call = 0, nextEvent = 0;
  while (pos < n && !mm.found) {
    while (nextEvent < c.events.size() && static_cast<size_t>(c.events[nextEvent].at * n) <= pos) {
      engine->setParameter(c.events[nextEvent].index, c.events[nextEvent].value);
      model.setParameter(c.events[nextEvent].index, c.events[nextEvent].value);
      ++nextEvent;
    }
    size_t len = static_cast<size_t>(blockPattern[call % blockPattern.size()]);
    len = std::min(len, n - pos);
    if (nextEvent < c.events.size()) {
      const size_t ev = static_cast<size_t>(c.events[nextEvent].at * n);
      if (ev > pos) len = std::min(len, ev - pos);
    }
    T* in[4];
    T* out[2];
    const double* rin[4];
    double* rout[2];
    for (int k = 0; k < 4; ++k) {
      in[k] = hostIn[k].data() + pos;
      rin[k] = refIn[k].data() + pos;
    }
    for (int k = 0; k < 2; ++k) {
      out[k] = hostOut[k].data() + pos;
      rout[k] = refOut[k].data() + pos;
    }
    if (c.routing == Routing::SidechainLeftOnly) {
      in[3] = nullptr;
      rin[3] = nullptr;
      out[1] = nullptr;
      rout[1] = nullptr;
    }
    if constexpr (std::is_same_v<T, float>) {
      engine->processReplacing(in, out, static_cast<int32_t>(len));
    } else {
      engine->processDoubleReplacing(in, out, static_cast<int32_t>(len));
    }
    model.process(rin, rout, static_cast<int32_t>(len));
    for (size_t i = pos; i < pos + len && !mm.found; ++i) {
      for (int k = 0; k < (c.routing == Routing::SidechainLeftOnly ? 1 : 2); ++k) {
        const double e = static_cast<double>(hostOut[k][i]);
        const double r = refOut[k][i];
        if (!(std::fabs(e - r) <= kTolerance)) {
          char line[200];
          std::snprintf(line, sizeof line, "output %s at sample %zu (call %zu): engine %.9g, model %.9g",
                        k == 0 ? "L" : "R", i, call, e, r);
          mm.note(line);
          break;
        }
      }
    }
    if (!mm.found) compareMeters(engine->getMeterFeed(), model.meterFeed(), pos + len - 1, mm);
    pos += len;
    ++call;
  }
  return mm;
}

struct Combination {
  size_t caseIndex;
  Mode mode;
};

std::vector<Combination> allCombinations() {
  std::vector<Combination> all;
  for (size_t i = 0; i < cases().size(); ++i)
    for (const Mode& m : kModes) all.push_back({i, m});
  return all;
}

std::string combinationName(const ::testing::TestParamInfo<Combination>& info) {
  return std::string(cases()[info.param.caseIndex].name) + "_" + info.param.mode.name;
}

class EngineVersusReference : public ::testing::TestWithParam<Combination> {};

TEST_P(EngineVersusReference, FloatIn64SampleBlocksAt44k) {
  const Case& c = cases()[GetParam().caseIndex];
  const Mismatch mm = runComparison<float>(c, GetParam().mode, 44100.0, 2.2, {64});
  EXPECT_FALSE(mm.found) << mm.text;
}

// Host calls of odd sizes, single samples, more than one internal block and
// none at all (only the over check runs).
TEST_P(EngineVersusReference, DoubleInOddBlocksAt44k) {
  const Case& c = cases()[GetParam().caseIndex];
  const Mismatch mm = runComparison<double>(c, GetParam().mode, 44100.0, 2.2, {37, 37, 64, 1, 0, 200, 13});
  EXPECT_FALSE(mm.found) << mm.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineVersusReference, ::testing::ValuesIn(allCombinations()), combinationName);

// A shorter run at 96 kHz, where the detector and delays are longer and the
// side-chain filters glide with their high-rate factor.
class EngineVersusReferenceAt96k : public ::testing::TestWithParam<Combination> {};

TEST_P(EngineVersusReferenceAt96k, Double) {
  const Case& c = cases()[GetParam().caseIndex];
  const Mismatch mm = runComparison<double>(c, GetParam().mode, 96000.0, 0.8, {64, 37});
  EXPECT_FALSE(mm.found) << mm.text;
}

TEST_P(EngineVersusReferenceAt96k, Float) {
  const Case& c = cases()[GetParam().caseIndex];
  const Mismatch mm = runComparison<float>(c, GetParam().mode, 96000.0, 0.5, {64});
  EXPECT_FALSE(mm.found) << mm.text;
}

// And at 192 kHz, where the longest detectors take their folded sums and the
// look-ahead window is longest.
class EngineVersusReferenceAt192k : public ::testing::TestWithParam<Combination> {};

TEST_P(EngineVersusReferenceAt192k, Float) {
  const Case& c = cases()[GetParam().caseIndex];
  const Mismatch mm = runComparison<float>(c, GetParam().mode, 192000.0, 0.4, {64});
  EXPECT_FALSE(mm.found) << mm.text;
}

TEST_P(EngineVersusReferenceAt192k, Double) {
  const Case& c = cases()[GetParam().caseIndex];
  const Mismatch mm = runComparison<double>(c, GetParam().mode, 192000.0, 0.4, {64, 37});
  EXPECT_FALSE(mm.found) << mm.text;
}

std::vector<Combination> combinationsAt96k() {
  std::vector<Combination> all;
  for (size_t i : {size_t{1}, size_t{8}, size_t{9}})
    for (const Mode& m : kModes) all.push_back({i, m});
  return all;
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineVersusReferenceAt96k, ::testing::ValuesIn(combinationsAt96k()),
                         combinationName);
INSTANTIATE_TEST_SUITE_P(Cases, EngineVersusReferenceAt192k, ::testing::ValuesIn(combinationsAt96k()),
                         combinationName);

}  // namespace
