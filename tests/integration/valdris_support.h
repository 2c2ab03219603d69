// Shared fixture for the tests that load the built Orv Valdris module the way
// a host does: dlopen, VSTPluginMain with a recording callback, then only the
// record's entries. Every test gets its own config folder, so the meter
// settings an instance reads and writes never leak between tests or into the
// user's own folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/vst_abi.h"
#include "tests/support/scoped_config_home.h"
#include "tools/vsthost/vsthost.h"

namespace valdris_test {

using orv::vsthost::Answer;
using orv::vsthost::HostCall;
using orv::vsthost::Library;
using orv::vsthost::Plugin;

inline constexpr int32_t kNumParams = 34;
inline constexpr int32_t kNumPresets = 16;
inline constexpr size_t kChunkSize = 2592;
inline constexpr size_t kPresetSize = 160;
inline constexpr size_t kPresetsOffset = 32;
inline constexpr size_t kNameSize = 24;
inline constexpr int32_t kUniqueId = vst::fourCC('T', 'q', '8', 'w');

inline const char* const kFactoryNames[16] = {
    "Default",      "Gentle Master", "PhatMix",       "Mezzo Leveler", "Una Corda",    "A Kind of Freshness",
    "Peak Restore", "Damp it!",      "SoftQuartet",   "SharpQuartet",  "CelloConcerto", "PeakSoftener",
    "PeakEnhancer", "HeavyDrumKit",  "SustainedDrums", "KickPump",
};

// One load of the module serves the whole run; every instance has its own state.
inline const Library* library(std::string* error = nullptr) {
  static std::string openError;
  static const std::unique_ptr<Library> lib = Library::open(ORV_VALDRIS_PLUGIN_PATH, &openError);
  if (error != nullptr) *error = openError;
  return lib.get();
}

using Chunk = std::vector<uint8_t>;

inline int32_t readI32(const Chunk& c, size_t offset) {
  int32_t v;
  std::memcpy(&v, c.data() + offset, 4);
  return v;
}
inline void writeI32(Chunk& c, size_t offset, int32_t v) { std::memcpy(c.data() + offset, &v, 4); }

inline size_t valueOffset(int preset, int index) {
  return kPresetsOffset + kPresetSize * static_cast<size_t>(preset) + kNameSize + 4 * static_cast<size_t>(index);
}
inline float presetValue(const Chunk& c, int preset, int index) {
  float v;
  std::memcpy(&v, c.data() + valueOffset(preset, index), 4);
  return v;
}
inline void setPresetValue(Chunk& c, int preset, int index, float v) {
  std::memcpy(c.data() + valueOffset(preset, index), &v, 4);
}
// The 24 name bytes as a reader sees them: cut at the first terminator.
inline std::string presetName(const Chunk& c, int preset) {
  const char* p = reinterpret_cast<const char*>(c.data() + kPresetsOffset + kPresetSize * preset);
  return std::string(p, strnlen(p, kNameSize));
}
inline void setPresetName(Chunk& c, int preset, const std::string& name) {
  uint8_t* p = c.data() + kPresetsOffset + kPresetSize * preset;
  std::memset(p, 0, kNameSize);
  std::memcpy(p, name.data(), std::min(name.size(), kNameSize));
}

inline Chunk getChunk(Plugin& plugin) {
  void* data = nullptr;
  const intptr_t size = plugin.dispatch(vst::effGetChunk, 0, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return Chunk(bytes, bytes + size);
}
inline intptr_t setChunk(Plugin& plugin, const Chunk& chunk) {
  // The host keeps its own copy; the plug-in must not rely on ours staying put.
  Chunk copy = chunk;
  return plugin.dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(copy.size()), copy.data());
}
// Loads the plug-in's own chunk back with another current preset: how a
// host restores a session saved while that preset was selected.
inline intptr_t selectViaChunk(Plugin& plugin, const Chunk& table, int32_t preset) {
  Chunk c = table;
  writeI32(c, 12, preset);
  return setChunk(plugin, c);
}

inline std::string display(Plugin& plugin, int32_t index) { return plugin.getString(vst::effGetParamDisplay, index); }
inline std::string name(Plugin& plugin, int32_t index) { return plugin.getString(vst::effGetParamName, index); }

inline bool sameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (a != a && b != b); }

class ValdrisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(configHome_.ok());
    std::string error;
    ASSERT_NE(library(&error), nullptr) << ORV_VALDRIS_PLUGIN_PATH << ": " << error;
  }

 public:
  std::unique_ptr<Plugin> load(Answer answer = {}, std::vector<HostCall>* calls = nullptr) {
    std::string error;
    auto plugin = Plugin::create(*library(), std::move(answer), &error, calls);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
  }

 protected:
  orv::testing::ScopedConfigHome configHome_;
};

}  // namespace valdris_test
