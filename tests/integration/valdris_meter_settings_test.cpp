// The five meter settings live in the user's registry between instances: read
// when an instance is built, written back when the host closes it.
#include <cmath>
#include <limits>
#include <optional>

#include "platform/registry.h"
#include "valdris_support.h"

namespace valdris_test {
namespace {

using orv::platform::RegistryKey;
using orv::platform::RegType;

constexpr const char* kKey = "SOFTWARE\\Orv-acoustics\\Kolvane20";
constexpr const char* kValueNames[5] = {"vuintegration", "vureference", "ppmintegration", "ppmreturn", "overcounter"};
constexpr int32_t kFirstIndex = 36;

class MeterSettingsTest : public ValdrisTest {
 protected:
  static std::optional<float> stored(const char* name) {
    const RegistryKey key = RegistryKey::open(kKey);
    float v = 0;
    uint32_t size = sizeof v;
    if (!key || !key.query(name, RegType::binary, &v, size) || size != sizeof v) return std::nullopt;
    return v;
  }
  static void store(const char* name, const void* data, uint32_t size) {
    RegistryKey key = RegistryKey::create(kKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key.set(name, RegType::binary, data, size));
  }
  static void storeAll(const float (&values)[5]) {
    for (int i = 0; i < 5; ++i) store(kValueNames[i], &values[i], sizeof(float));
  }

  // Builds an instance, checks what it runs with, closes it and checks what it wrote.
  void expectRoundTrip(const float (&running)[5], const char* what) {
    SCOPED_TRACE(what);
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    for (int i = 0; i < 5; ++i) {
      EXPECT_FLOAT_EQ(plugin->getParameter(kFirstIndex + i), running[i]) << kValueNames[i];
    }
    EXPECT_EQ(plugin->close(), 1);
    for (int i = 0; i < 5; ++i) {
      const std::optional<float> v = stored(kValueNames[i]);
      ASSERT_TRUE(v.has_value()) << kValueNames[i];
      EXPECT_FLOAT_EQ(*v, running[i]) << kValueNames[i];
    }
  }
};

const float kDefaults[5] = {0.5f, 0.41f, 0.5f, 0.5f, static_cast<float>(2.0 / 9.0)};

TEST_F(MeterSettingsTest, MissingSettingsStartFromDefaultsAndAreWrittenOnClose) {
  for (const char* name : kValueNames) ASSERT_FALSE(stored(name).has_value()) << name;
  expectRoundTrip(kDefaults, "first instance");
  expectRoundTrip(kDefaults, "second instance reads what the first wrote");
}

TEST_F(MeterSettingsTest, StoredSettingsAreUsedOrReplaced) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    float stored[5];
    float running[5];
  };
  const Case cases[] = {
      {"inside the range", {0.3f, 0.7f, 0.1f, 0.9f, 0.6f}, {0.3f, 0.7f, 0.1f, 0.9f, static_cast<float>(5.0 / 9.0)}},
      {"range ends", {0.0f, 1.0f, 0.0f, 1.0f, 1.0f}, {0.0f, 1.0f, 0.0f, 1.0f, 1.0f}},
      {"outside the range", {1.5f, -0.5f, 1.01f, -kInf, 7.0f}, {0.5f, 0.5f, 0.52f, 0.72365f, static_cast<float>(2.0 / 9.0)}},
      {"not numbers", {kNaN, kInf, kNaN, kNaN, kNaN}, {0.5f, 0.5f, 0.52f, 0.72365f, static_cast<float>(2.0 / 9.0)}},
  };
  for (const Case& c : cases) {
    storeAll(c.stored);
    expectRoundTrip(c.running, c.what);
  }
}

TEST_F(MeterSettingsTest, UnreadableValuesCountAsMissing) {
  const uint8_t twoBytes[2] = {0x12, 0x34};
  for (const char* name : kValueNames) store(name, twoBytes, sizeof twoBytes);
  expectRoundTrip(kDefaults, "two-byte values");
}

TEST_F(MeterSettingsTest, ChangedSettingsReachTheNextInstance) {
  const float changed[5] = {0.25f, 0.75f, 0.125f, 0.875f, 1.0f / 3.0f};
  {
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    for (int i = 0; i < 5; ++i) plugin->setParameter(kFirstIndex + i, changed[i]);
    EXPECT_EQ(plugin->close(), 1);
  }
  expectRoundTrip({0.25f, 0.75f, 0.125f, 0.875f, static_cast<float>(3.0 / 9.0)}, "next instance");
}

}  // namespace
}  // namespace valdris_test
