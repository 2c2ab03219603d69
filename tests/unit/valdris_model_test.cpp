// The Valdris parameter model seen from inside: allocation failure, meter
// settings storage, editor forwarding and preset write-back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/allocation.h"
#include "platform/registry.h"
#include "tests/support/failed_construction.h"
#include "tests/support/scoped_config_home.h"
#include "valdris/meter_settings.h"
#include "valdris/valdris.h"

namespace {

using orv::Valdris;
namespace p = orv::valdris;

constexpr const char* kMeterKey = "SOFTWARE\\Orv-acoustics\\Kolvane20";

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// Each test gets its own config folder, so stored settings never leak between tests.
class ValdrisModel : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(configHome.ok()); }
  void TearDown() override { orv::platform::failAllocationsAfter(-1); }

  static void store(const char* name, const void* data, uint32_t size) {
    auto key = orv::platform::RegistryKey::create(kMeterKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key.set(name, orv::platform::RegType::binary, data, size));
  }
  static bool stored(const char* name, float& value) {
    auto key = orv::platform::RegistryKey::open(kMeterKey);
    uint32_t size = sizeof value;
    return key && key.query(name, orv::platform::RegType::binary, &value, size) && size == sizeof value;
  }

  orv::testing::ScopedConfigHome configHome;
};

struct ForwardLog {
  std::vector<std::pair<int32_t, float>> parameters;
  std::vector<std::string> names;
};

class RecordingEditor : public orv::AEffEditor {
 public:
  RecordingEditor(orv::AudioEffect* effect, ForwardLog& log) : AEffEditor(effect), log(log) {}
  void setParameter(int32_t index, float value) override { log.parameters.emplace_back(index, value); }
  void programNameChanged(const char* name) override { log.names.emplace_back(name); }

 private:
  ForwardLog& log;
};

std::vector<float> presetValues(Valdris& effect, int slot) {
  void* data = nullptr;
  const int32_t size = effect.getChunk(&data, false);
  EXPECT_EQ(size, orv::kChunkSize);
  const auto* bytes = static_cast<const uint8_t*>(data) + orv::kChunkHeaderSize + sizeof(orv::Preset) * slot;
  orv::Preset preset;
  std::memcpy(&preset, bytes, sizeof preset);
  return {preset.values, preset.values + orv::kNumPresetParams};
}

TEST_F(ValdrisModel, EveryFailedAllocationLeavesAVisiblyBrokenButSafeInstance) {
  std::vector<float> in(32, 0.25f), out(32, 9.0f);
  float* ins[] = {in.data()};
  float* outs[] = {out.data()};
  auto check = [&](std::unique_ptr<Valdris>& effect, const std::string& constructionMessage) {
    for (int repeat = 0; repeat < 2; ++repeat) {
      testing::internal::CaptureStderr();
      effect->suspend();
      EXPECT_EQ(testing::internal::GetCapturedStderr(), constructionMessage) << "every suspend repeats the message";
    }
    testing::internal::CaptureStderr();
    effect->resume();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    effect->processReplacing(ins, outs, 32);
    EXPECT_EQ(out, in);
    char name[64] = {};
    EXPECT_TRUE(effect->getEffectName(name));
    EXPECT_STREQ(name, "Orv Valdris");
    effect.reset();
    float ignored;
    EXPECT_FALSE(stored("vureference", ignored)) << "a broken instance must not overwrite stored meter settings";
  };
  const int failures = orv::testing::forEachFailedConstruction<Valdris>(host, "Cannot create Orv Valdris", check);
  EXPECT_GE(failures, 3) << "the preset table, the chunk buffer and the engine memory can all fail";
}

TEST_F(ValdrisModel, MeterSettingsUseDefaultsReplacementsAndPersist) {
  {
    Valdris fresh(host);
    EXPECT_FLOAT_EQ(fresh.getParameter(p::kVuIntegration), 0.5f);
    EXPECT_FLOAT_EQ(fresh.getParameter(p::kVuReference), 0.41f);
    EXPECT_FLOAT_EQ(fresh.getParameter(p::kPpmIntegration), 0.5f);
    EXPECT_FLOAT_EQ(fresh.getParameter(p::kPpmReturn), 0.5f);
    EXPECT_FLOAT_EQ(fresh.getParameter(p::kOverIndicator), 2.0f / 9.0f);
  }
  float value = 0.0f;
  ASSERT_TRUE(stored("vureference", value));
  EXPECT_FLOAT_EQ(value, 0.41f);

  const float outside[] = {1.5f, -0.1f, NAN, INFINITY, 0.3f};
  const char* names[] = {"vuintegration", "vureference", "ppmintegration", "ppmreturn", "overcounter"};
  for (int i = 0; i < 5; ++i) store(names[i], &outside[i], sizeof(float));
  {
    Valdris effect(host);
    EXPECT_FLOAT_EQ(effect.getParameter(p::kVuIntegration), 0.5f);
    EXPECT_FLOAT_EQ(effect.getParameter(p::kVuReference), 0.5f);
    EXPECT_FLOAT_EQ(effect.getParameter(p::kPpmIntegration), 0.52f);
    EXPECT_FLOAT_EQ(effect.getParameter(p::kPpmReturn), 0.72365f);
    EXPECT_FLOAT_EQ(effect.getParameter(p::kOverIndicator), 3.0f / 9.0f) << "0.3 rounds to the step 3/9";
    effect.setParameter(p::kVuIntegration, 0.125f);
  }
  ASSERT_TRUE(stored("vuintegration", value));
  EXPECT_FLOAT_EQ(value, 0.125f);

  // A value of the wrong size counts as missing.
  const double wide = 0.9;
  store("vureference", &wide, sizeof wide);
  EXPECT_FLOAT_EQ(orv::loadMeterSetting(p::kVuReference), 0.41f);
  EXPECT_FLOAT_EQ(orv::loadMeterSetting(12), 0.5f);
}

TEST_F(ValdrisModel, SetParameterWritesTheCurrentPresetAndForwardsToTheEditor) {
  Valdris effect(host);
  ForwardLog log;
  // Listens in place of the product's own editor.
  std::unique_ptr<orv::AEffEditor> own(effect.getEditor());
  effect.setEditor(new RecordingEditor(&effect, log));

  effect.setParameter(p::kThreshold, 0.7f);
  EXPECT_EQ(presetValues(effect, 0)[p::kThreshold], 0.7f);
  ASSERT_EQ(log.parameters.size(), 1u);
  EXPECT_EQ(log.parameters[0], std::make_pair(int32_t{p::kThreshold}, 0.7f));

  // Ratio re-applies Tilt before it is itself forwarded.
  log.parameters.clear();
  effect.setParameter(p::kRatio, 0.1f);
  ASSERT_EQ(log.parameters.size(), 2u);
  EXPECT_EQ(log.parameters[0].first, p::kTilt);
  EXPECT_EQ(log.parameters[1].first, p::kRatio);

  // Power is shared by all presets; other values stay with the current one.
  effect.setParameter(p::kPower, 0.0f);
  for (int slot = 0; slot < orv::kNumPresets; ++slot) EXPECT_EQ(presetValues(effect, slot)[p::kPower], 0.0f);

  // Applying a preset does not write back into the table.
  const std::vector<float> before = presetValues(effect, 4);
  log.parameters.clear();
  effect.selectPreset(4);
  EXPECT_EQ(effect.getPresetIndex(), 4);
  EXPECT_EQ(presetValues(effect, 4), before);
  EXPECT_GE(log.parameters.size(), 34u) << "every applied value reaches the editor";
  EXPECT_EQ(effect.getParameter(p::kThreshold), before[p::kThreshold]);

  char name[] = "A name of more than twenty-four characters";
  effect.setProgramName(name);
  ASSERT_EQ(log.names.size(), 1u);
  EXPECT_EQ(log.names[0], "A name of more than twen");
}

TEST_F(ValdrisModel, HostileValuesAreStoredAsSentAndShownSafely) {
  Valdris effect(host);
  struct Case {
    float value;
    const char* ratioText;
  };
  const Case cases[] = {
      {NAN, "1.00 : 1"}, {-1.0f, "1.00 : 1"}, {-INFINITY, "1.00 : 1"},
      {2.0f, "64.00 : 1"}, {INFINITY, "64.00 : 1"}, {1e30f, "64.00 : 1"},
  };
  for (const Case& c : cases) {
    for (int32_t index = 0; index < p::kNumParamIndices; ++index) effect.setParameter(index, c.value);
    char text[64];
    effect.getParameterDisplay(p::kRatio, text);
    EXPECT_STREQ(text, c.ratioText) << c.value;
    for (int32_t index = 0; index < orv::kNumPresetParams; ++index) {
      const float back = effect.getParameter(index);
      if (std::isnan(c.value)) EXPECT_TRUE(std::isnan(back)) << index;
      else EXPECT_EQ(back, c.value) << index;
      std::memset(text, 'x', sizeof text);
      effect.getParameterDisplay(index, text);
      EXPECT_LT(std::strlen(text), 16u) << index;
      EXPECT_TRUE(std::isfinite(effect.getPhysicalValue(index))) << index;
    }
  }
}

TEST_F(ValdrisModel, PhysicalValuesAndLatency) {
  Valdris effect(host);
  struct Case {
    int32_t index;
    float raw;
    float physical;
  };
  const Case cases[] = {
      {p::kThreshold, 0.5f, -12.0f},  {p::kRatio, 0.3f, 1.0f},     {p::kRatio, 1.0f, 64.0f},
      {p::kAttack, 1.0f, 1000.0f},    {p::kRelease, 0.5f, 1000.0f}, {p::kMakeup, 1.0f, 24.0f},
      {p::kHigh, 0.5f, 4000.0f},      {p::kLow, 1.0f, 400.0f},      {p::kTilt, 0.75f, 25.0f},
      {p::kOutput, 0.0f, -12.0f},     {p::kFat, 0.6f, 1.0f},        {p::kPower, 1.0f, 0.0f},
      {p::kOverIndicator, 0.25f, 3.0f}, {p::kVuIntegration, 0.0f, 30.0f}, {p::kMeters, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    effect.setParameter(c.index, c.raw);
    EXPECT_NEAR(effect.getPhysicalValue(c.index), c.physical, 1e-3f * std::fabs(c.physical) + 1e-6f) << c.index;
  }
  EXPECT_FLOAT_EQ(effect.getLatencySamples(), 1660.0f);
  EXPECT_NEAR(effect.getLatencyMs(), 1660.0f * 1000.0f / 44100.0f, 1e-3f);
  for (float rate : {96000.0f, 10000.0f, 250000.0f}) {
    effect.setSampleRate(rate);
    const float expected = 1660.0f * 1000.0f / (rate == 96000.0f ? 96000.0f : 44100.0f);
    EXPECT_NEAR(effect.getLatencyMs(), expected, 1e-3f) << rate;
  }
}

}  // namespace
