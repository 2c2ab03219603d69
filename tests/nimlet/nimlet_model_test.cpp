// Orv Nimlet seen from inside, for what the effect record cannot reach:
// allocation failure, meter settings, shelf designs and engine state.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "nimlet/nimlet.h"
#include "nimlet_support.h"
#include "platform/allocation.h"
#include "platform/registry.h"
#include "tests/support/failed_construction.h"
#include "valdris/meter_settings.h"

namespace nimlet_test {
namespace {

using orv::Nimlet;
namespace n = orv::nimlet;

constexpr const char* kMeterKey = "SOFTWARE\\Orv-acoustics\\Kolvane20";

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// Parameter changes reach the engine at the start of the next processing
// call; an empty call delivers them.
void nextCall(Nimlet& effect) { effect.processReplacing(nullptr, nullptr, 0); }

class NimletModel : public PrivateHome {
 protected:
  void TearDown() override {
    orv::platform::failAllocationsAfter(-1);
    PrivateHome::TearDown();
  }
  static void store(const char* name, float value) {
    auto key = orv::platform::RegistryKey::create(kMeterKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key.set(name, orv::platform::RegType::binary, &value, sizeof value));
  }
  static bool stored(const char* name, float& value) {
    auto key = orv::platform::RegistryKey::open(kMeterKey);
    uint32_t size = sizeof value;
    return key && key.query(name, orv::platform::RegType::binary, &value, size) && size == sizeof value;
  }
};

TEST_F(NimletModel, EveryFailedAllocationLeavesAVisiblyBrokenButSafeInstance) {
  std::vector<float> in(32, 0.25f), out(32, 9.0f);
  float* ins[] = {in.data()};
  float* outs[] = {out.data()};
  auto check = [&](std::unique_ptr<Nimlet>& effect, const std::string& message) {
    // Every suspend and resume shows the message again and does nothing else.
    for (int repeat = 0; repeat < 2; ++repeat) {
      testing::internal::CaptureStderr();
      effect->suspend();
      EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
      testing::internal::CaptureStderr();
      effect->resume();
      EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
    }
    // Parameters stay settable (the reset included) and processing passes the one channel through.
    for (int32_t i = 0; i <= 40; ++i) effect->setParameter(i, 0.75f);
    char text[64];
    effect->getParameterDisplay(n::kRatio, text);
    EXPECT_STREQ(text, "3.36 : 1");
    effect->processReplacing(ins, outs, 32);
    EXPECT_EQ(out, in);
    EXPECT_TRUE(effect->getEffectName(text));
    EXPECT_STREQ(text, "Orv Nimlet");
    effect.reset();
    float ignored;
    EXPECT_FALSE(stored("vureference", ignored)) << "a broken instance must not overwrite stored meter settings";
  };
  const int failures = orv::testing::forEachFailedConstruction<Nimlet>(host, "Cannot create Orv Nimlet", check);
  EXPECT_GE(failures, 3) << "the preset table, the chunk buffer and the engine memory can all fail";
}

TEST_F(NimletModel, MeterSettingsAreSharedWithTheMasteringCompressor) {
  {
    Nimlet fresh(host);
    const float defaults[] = {0.5f, 0.41f, 0.5f, 0.5f, 2.0f / 9.0f};
    for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(fresh.getParameter(36 + i), defaults[i]) << 36 + i;
    fresh.setParameter(n::kVuIntegration, 0.125f);
  }
  float value = 0.0f;
  ASSERT_TRUE(stored("vuintegration", value));
  EXPECT_EQ(value, 0.125f);
  EXPECT_EQ(orv::loadMeterSetting(n::kVuIntegration), 0.125f) << "the same storage the other product reads";

  const char* names[] = {"vuintegration", "vureference", "ppmintegration", "ppmreturn", "overcounter"};
  const float outside[] = {1.5f, -0.1f, NAN, INFINITY, 0.3f};
  for (int i = 0; i < 5; ++i) store(names[i], outside[i]);
  Nimlet effect(host);
  const float running[] = {0.5f, 0.5f, 0.52f, 0.72365f, 3.0f / 9.0f};
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(effect.getParameter(36 + i), running[i]) << 36 + i;
  // The VU filters follow the integration time.
  effect.setParameter(n::kVuIntegration, 0.0f);
  nextCall(effect);
  EXPECT_DOUBLE_EQ(effect.getEngine().vuMeterFilter(0).frequency(), 700.0 / 30.0);
}

// Shelf designs: the switch while running, the hidden frequency, and resume's own values.
TEST_F(NimletModel, ShelvesByPosition) {
  Nimlet effect(host);
  effect.setSampleRate(44100.0f);
  const orv::nimlet::Engine& e = effect.getEngine();
  struct Case {
    int32_t index;
    float value;
    double frequency, q, gainDb;
  };
  const Case running[] = {
      {n::kLowShelfPosition, 0.2f, 110.0, 1.0, 9.0},    {n::kLowShelfPosition, 0.5f, 100.0, 0.7, 0.0},
      {n::kLowShelfPosition, 0.8f, 150.0, 0.35, -9.0},  {n::kHighShelfPosition, 0.0f, 4500.0, 1.2, 12.0},
      {n::kHighShelfPosition, 0.5f, 6000.0, 0.7, 0.0},  {n::kHighShelfPosition, 1.0f, 6000.0, 0.35, -6.0},
  };
  for (const Case& c : running) {
    effect.setParameter(c.index, c.value);
    nextCall(effect);
    for (int ch = 0; ch < 2; ++ch) {
      const orv::dsp::Biquad& f = c.index == n::kLowShelfPosition ? e.lowShelfFilter(ch) : e.highShelfFilter(ch);
      EXPECT_EQ(f.frequency(), c.frequency) << c.index << " " << c.value;
      EXPECT_EQ(f.q(), c.q) << c.index << " " << c.value;
      EXPECT_EQ(f.gainDb(), c.gainDb) << c.index << " " << c.value;
    }
  }
  // The hidden frequencies move only the frequency; the last one set wins.
  effect.setParameter(n::kLowShelfFrequency, 0.5f);
  nextCall(effect);
  EXPECT_DOUBLE_EQ(e.lowShelfFilter(1).frequency(), 0.7 * 100.0);
  effect.setParameter(n::kHighShelfFrequency, 0.25f);
  nextCall(effect);
  EXPECT_DOUBLE_EQ(e.highShelfFilter(0).frequency(), 1.375 * 2000.0);
  EXPECT_EQ(e.highShelfFilter(0).gainDb(), -6.0);

  // Resume: cut positions boost the side chain harder.
  effect.setParameter(n::kLowShelfPosition, 0.0f);
  nextCall(effect);
  effect.setParameter(n::kHighShelfPosition, 0.0f);
  effect.resume();
  EXPECT_EQ(e.lowShelfFilter(0).gainDb(), 12.0);
  EXPECT_EQ(e.lowShelfFilter(0).frequency(), 110.0);
  EXPECT_EQ(e.highShelfFilter(1).gainDb(), 20.0);
  effect.setParameter(n::kLowShelfPosition, 0.5f);
  effect.setParameter(n::kLowShelfPosition, 0.0f);
  nextCall(effect);
  EXPECT_EQ(e.lowShelfFilter(0).gainDb(), 9.0) << "until the next resume";
  effect.setParameter(n::kHighShelfPosition, 1.0f);
  nextCall(effect);
  effect.resume();
  EXPECT_EQ(e.highShelfFilter(0).gainDb(), -9.0);
  EXPECT_EQ(e.highShelfFilter(0).q(), 0.35);
}

TEST_F(NimletModel, RatesTapsAndLatency) {
  Nimlet effect(host);
  struct Case {
    float hostRate;
    double engineRate;
    int taps;
    int32_t latency;
  };
  // Outside 22.05 .. 192 kHz the engine runs at 44.1 kHz; the host is told its own rate's figure.
  const Case cases[] = {{44100.0f, 44100.0, 44, 977}, {48000.0f, 48000.0, 48, 973}, {96000.0f, 96000.0, 96, 925},
                        {16000.0f, 44100.0, 44, 1005}, {384000.0f, 44100.0, 44, 637}, {NAN, 44100.0, 44, 977},
                        {-5.0f, 44100.0, 44, 977}};
  for (const Case& c : cases) {
    effect.setSampleRate(c.hostRate);
    EXPECT_EQ(effect.getEngine().sampleRate(), c.engineRate) << c.hostRate;
    EXPECT_EQ(effect.getEngine().hilbertTaps(), c.taps) << c.hostRate;
    EXPECT_EQ(effect.getAeffect()->initialDelay, c.latency) << c.hostRate;
    EXPECT_TRUE(std::isfinite(effect.getEngine().attackCoef())) << c.hostRate;
    EXPECT_TRUE(std::isfinite(effect.getEngine().releaseCoef())) << c.hostRate;
  }
  effect.setSampleRate(48000.0f);
  EXPECT_NEAR(effect.getLatencyMs(), 973.0f * 1000.0f / 48000.0f, 1e-4f);
  effect.setSampleRate(16000.0f);
  EXPECT_NEAR(effect.getLatencyMs(), 1005.0f * 1000.0f / 44100.0f, 1e-4f);

  // Suspend limits instead of replacing, and leaves the table empty until resume or a reset.
  effect.setSampleRate(44100.0f);
  effect.setSampleRate(16000.0f);
  effect.suspend();
  EXPECT_EQ(effect.getEngine().sampleRate(), 22050.0);
  EXPECT_EQ(effect.getEngine().hilbertCoefficient(0), 0.0);
  effect.setParameter(n::kReset, 0.0f);
  nextCall(effect);
  EXPECT_EQ(effect.getEngine().hilbertTaps(), 22);
  EXPECT_DOUBLE_EQ(effect.getEngine().hilbertCoefficient(0), 2.0 / M_PI);
  EXPECT_DOUBLE_EQ(effect.getEngine().hilbertCoefficient(21), 2.0 / (43.0 * M_PI));
  EXPECT_EQ(effect.getEngine().hilbertCoefficient(22), 0.0);
}

TEST_F(NimletModel, AttackReleaseAndCurve) {
  Nimlet effect(host);
  effect.setSampleRate(48000.0f);
  const orv::nimlet::Engine& e = effect.getEngine();
  effect.setParameter(n::kRms, 0.0f);
  effect.setParameter(n::kAttack, 1.0f);  // 1000 ms
  effect.setParameter(n::kRelease, 0.0f);  // 33.3 ms
  nextCall(effect);
  EXPECT_NEAR(e.attackCoef(), 1.0 - std::pow(0.05, 1.0 / 48000.0), 1e-15);
  EXPECT_NEAR(e.releaseCoef(), 1.0 - std::pow(0.05, 1.0 / (0.0333 * 48000.0)), 1e-15);
  effect.setParameter(n::kRms, 1.0f);
  nextCall(effect);
  EXPECT_NEAR(e.attackCoef(), 1.0 - std::pow(0.0025, 1.0 / 48000.0), 1e-15);

  effect.setParameter(n::kThreshold, 0.5f);
  effect.setParameter(n::kRatio, 0.8f);  // 4 : 1
  nextCall(effect);
  EXPECT_EQ(e.ratio(), 4.0);
  const double t = 0.55 * 4.0;
  EXPECT_NEAR(e.autoMakeupGain(), std::pow(t / std::pow(t, 0.25), 0.8), 1e-12);
  EXPECT_NEAR(e.staticCurve().knee[2], std::pow(1.5, 0.25), 1e-15);
  effect.setParameter(n::kRatio, -0.5f);
  nextCall(effect);
  EXPECT_EQ(e.ratio(), 1.0);
  effect.setParameter(n::kRatio, 7.0f);
  nextCall(effect);
  EXPECT_EQ(e.ratio(), 64.0);
}

TEST_F(NimletModel, PhysicalValues) {
  Nimlet effect(host);
  struct Case {
    int32_t index;
    float raw;
    float physical;
  };
  const Case cases[] = {
      {n::kThreshold, 0.5f, -12.0f}, {n::kRatio, 0.85f, 5.6f},    {n::kAttack, 1.0f, 1000.0f},
      {n::kRelease, 1.0f, 3333.33f}, {n::kAutoRelease, 0.6f, 1.0f}, {n::kLowShelfPosition, 0.8f, 2.0f},
      {n::kLowShelfFrequency, 1.0f, 400.0f}, {n::kHighShelfPosition, 0.3f, 1.0f}, {n::kHighShelfFrequency, 0.5f, 4000.0f},
      {n::kMakeup, 1.0f, 24.0f},     {21, 0.25f, -25.0f},          {n::kMix, 0.5f, 50.0f},
      {n::kOutput, 0.0f, -12.0f},    {n::kStereo, 1.0f, 1.0f},     {n::kSidechainMonitor, 1.0f, 1.0f},
      {n::kVuIntegration, 0.0f, 30.0f}, {n::kOverIndicator, 0.25f, 3.0f}, {n::kPower, 1.0f, 0.0f},
      {n::kSmooth, 1.0f, 0.0f},      {n::kMeters, 1.0f, 0.0f},     {n::kReset, 1.0f, 0.0f},
      {30, 1.0f, 0.0f},              {n::kClassic, 1.0f, 1.0f},    {n::kLimiter, 1.0f, 1.0f},
  };
  for (const Case& c : cases) {
    effect.setParameter(c.index, c.raw);
    EXPECT_NEAR(effect.getPhysicalValue(c.index), c.physical, 1e-4f * std::fabs(c.physical) + 1e-6f) << c.index;
  }
  EXPECT_EQ(effect.getPhysicalValue(99), 0.0f);
  EXPECT_TRUE(effect.isSideChainAvailable());
}

}  // namespace
}  // namespace nimlet_test
