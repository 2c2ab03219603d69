// Shared by the Nimlet tests: the built module loaded as a host loads it
// (dlopen, VSTPluginMain, only the record's entries), a private config folder
// per test, and small helpers for chunks and audio buffers.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/vst_abi.h"
#include "tests/support/scoped_config_home.h"
#include "tools/vsthost/vsthost.h"

namespace nimlet_test {

using orv::vsthost::Answer;
using orv::vsthost::HostCall;
using orv::vsthost::Library;
using orv::vsthost::Plugin;

inline constexpr int32_t kNumPresets = 16;
inline constexpr size_t kPresetSize = 160;
inline constexpr size_t kPresetsOffset = 32;
inline constexpr size_t kNameSize = 24;

// Every test gets its own config folder.
class PrivateHome : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(configHome_.ok()); }
  orv::testing::ScopedConfigHome configHome_;
};

#ifdef ORV_NIMLET_PLUGIN_PATH
inline const Library* library(std::string* error = nullptr) {
  static std::string openError;
  static const std::unique_ptr<Library> lib = Library::open(ORV_NIMLET_PLUGIN_PATH, &openError);
  if (error != nullptr) *error = openError;
  return lib.get();
}

class NimletModule : public PrivateHome {
 protected:
  void SetUp() override {
    PrivateHome::SetUp();
    std::string error;
    ASSERT_NE(library(&error), nullptr) << ORV_NIMLET_PLUGIN_PATH << ": " << error;
  }
  std::unique_ptr<Plugin> load(Answer answer = {}) {
    std::string error;
    auto plugin = Plugin::create(*library(), std::move(answer), &error);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
  }
};
#endif

using Chunk = std::vector<uint8_t>;

inline Chunk getChunk(Plugin& plugin) {
  void* data = nullptr;
  const intptr_t size = plugin.dispatch(vst::effGetChunk, 0, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return Chunk(bytes, bytes + size);
}
inline float presetValue(const Chunk& c, int preset, int index) {
  float v;
  std::memcpy(&v, c.data() + kPresetsOffset + kPresetSize * preset + kNameSize + 4 * index, 4);
  return v;
}
inline std::string presetName(const Chunk& c, int preset) {
  const char* p = reinterpret_cast<const char*>(c.data() + kPresetsOffset + kPresetSize * preset);
  return std::string(p, strnlen(p, kNameSize));
}
// Makes `preset` current the way a host restores a session.
inline void selectViaChunk(Plugin& plugin, int32_t preset) {
  Chunk c = getChunk(plugin);
  std::memcpy(c.data() + 12, &preset, 4);
  plugin.dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(c.size()), c.data());
}

inline std::string display(Plugin& plugin, int32_t index) { return plugin.getString(vst::effGetParamDisplay, index); }

// Four input and two output channels of `frames` samples.
struct Buffers {
  explicit Buffers(size_t frames, float outFill = 0.0f)
      : in(4, std::vector<float>(frames, 0.0f)), out(2, std::vector<float>(frames, outFill)) {}
  std::vector<float*> inputs() {
    return {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
  }
  std::vector<float*> outputs() { return {out[0].data(), out[1].data()}; }
  std::vector<std::vector<float>> in, out;
};

// Runs the whole buffer through the record in blocks of `block` samples.
inline void run(Plugin& plugin, Buffers& b, int32_t block = 512) {
  const int32_t frames = static_cast<int32_t>(b.in[0].size());
  for (int32_t first = 0; first < frames; first += block) {
    const int32_t n = std::min(block, frames - first);
    float* ins[4] = {b.in[0].data() + first, b.in[1].data() + first, b.in[2].data() + first, b.in[3].data() + first};
    float* outs[2] = {b.out[0].data() + first, b.out[1].data() + first};
    plugin.processReplacing(ins, outs, n);
  }
}

inline size_t argmaxAbs(const std::vector<float>& v) {
  size_t best = 0;
  for (size_t i = 1; i < v.size(); ++i)
    if (std::fabs(v[i]) > std::fabs(v[best])) best = i;
  return best;
}

}  // namespace nimlet_test
