// Both built modules driven as a host drives them from two threads: one
// processes (float and double) while another sets random parameters of every
// index, loads mutated valid chunks and renames the program. Every output
// sample must be finite, and once the changes stop the instance must hold the
// last values set: its parameters read back, and it sounds like a fresh
// instance given the same state.
//
// ORV_STRESS_SECONDS sets the length of the two-thread phase (default 2.5).
// The host callback records nothing, so the harness itself shares no state
// between the two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/vst_abi.h"
#include "tests/support/scoped_config_home.h"
#include "tools/vsthost/vsthost.h"

namespace {

using orv::vsthost::Library;

constexpr int32_t kHostParams = 34;
constexpr int32_t kLastIndex = 40;  // 35..40 are editor-only settings, not in chunks
constexpr int32_t kOverIndicator = 40;
constexpr int32_t kChunkSize = 2592;
constexpr int32_t kPresetsOffset = 32;
constexpr int32_t kPresetSize = 160;
constexpr int32_t kNameSize = 24;
constexpr int32_t kMaxFrames = 512;

intptr_t quietHost(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  if (opcode == vst::audioMasterVersion) return 2400;
  return 0;
}

struct Random {
  uint64_t s;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<uint32_t>(s >> 11);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
  float unit() { return static_cast<float>(next() % 1000001u) / 1000000.0f; }
  // Switch positions and the ends come up often; they change the most.
  float value() {
    switch (below(4)) {
      case 0: return static_cast<float>(below(2));
      case 1: return 0.5f * static_cast<float>(below(3));
      default: return unit();
    }
  }
};

// One instance opened as a DAW opens it, running at 44.1 kHz.
class Instance {
 public:
  explicit Instance(const Library& lib) : effect_(lib.entry()(quietHost)) {
    if (effect_ == nullptr) return;
    dispatch(vst::effOpen);
    dispatch(vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
    dispatch(vst::effSetBlockSize, 0, kMaxFrames);
    dispatch(vst::effMainsChanged, 0, 1);
  }
  ~Instance() {
    if (effect_ != nullptr) dispatch(vst::effClose);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool ok() const { return effect_ != nullptr; }
  bool canDouble() const { return (effect_->flags & vst::effFlagsCanDoubleReplacing) != 0; }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
  }
  void set(int32_t index, float value) { effect_->setParameter(effect_, index, value); }
  float get(int32_t index) { return effect_->getParameter(effect_, index); }
  std::vector<uint8_t> chunk() {
    void* data = nullptr;
    const intptr_t size = dispatch(vst::effGetChunk, 0, 0, &data);
    if (size <= 0 || data == nullptr) return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return {bytes, bytes + size};
  }
  void restart() {
    dispatch(vst::effMainsChanged, 0, 0);
    dispatch(vst::effMainsChanged, 0, 1);
  }
  void processFloat(float** in, float** out, int32_t frames) { effect_->processReplacing(effect_, in, out, frames); }
  void processDouble(double** in, double** out, int32_t frames) {
    effect_->processDoubleReplacing(effect_, in, out, frames);
  }

 private:
  vst::AEffect* effect_;
};

// A loud programme with a side chain of its own: sines, bursts and silence.
struct Programme {
  std::vector<float> f[4];
  std::vector<double> d[4];
  explicit Programme(int frames) {
    Random r{0x9e3779b97f4a7c15ull};
    for (int c = 0; c < 4; ++c) f[c].resize(frames), d[c].resize(frames);
    for (int i = 0; i < frames; ++i) {
      const int section = (i / 4410) % 4;
      for (int c = 0; c < 4; ++c) {
        double v = 0.0;
        if (section == 0) v = 0.9 * std::sin(0.03 * i * (c + 1));
        else if (section == 1) v = (r.unit() * 2.0 - 1.0) * 0.99;
        else if (section == 2) v = 0.2 * std::sin(0.001 * i) + 0.7 * std::sin(0.25 * i);
        f[c][i] = static_cast<float>(v);
        d[c][i] = v;
      }
    }
  }
};

struct Product {
  const char* name;
  const char* path;
};

void PrintTo(const Product& p, std::ostream* os) { *os << p.name; }

double stressSeconds() {
  const char* s = std::getenv("ORV_STRESS_SECONDS");
  const double v = s != nullptr ? std::atof(s) : 0.0;
  return v > 0.0 ? v : 2.5;
}

// The value getParameter reports after setParameter (index, v).
float storedValue(int32_t index, float v) {
  if (index == kOverIndicator) return static_cast<float>(static_cast<int>(9.0f * v + 0.5f)) / 9.0f;
  return v;
}

class ThreadStress : public ::testing::TestWithParam<Product> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.ok());
    std::string error;
    lib_ = Library::open(GetParam().path, &error);
    ASSERT_NE(lib_, nullptr) << error;
  }
  orv::testing::ScopedConfigHome home_;
  std::unique_ptr<Library> lib_;
};

TEST_P(ThreadStress, ProcessingStaysFiniteAndKeepsTheLastValuesSet) {
  Instance plugin(*lib_);
  ASSERT_TRUE(plugin.ok());
  const std::vector<uint8_t> valid = plugin.chunk();
  ASSERT_EQ(valid.size(), static_cast<size_t>(kChunkSize));
  const Programme prog(44100);
  const int total = static_cast<int>(prog.f[0].size());

  std::atomic<bool> stop{false};
  std::atomic<long> nonFinite{0}, samples{0}, calls{0};
  std::thread audio([&] {
    Random r{12345};
    std::vector<float> fo[2] = {std::vector<float>(kMaxFrames), std::vector<float>(kMaxFrames)};
    std::vector<double> dout[2] = {std::vector<double>(kMaxFrames), std::vector<double>(kMaxFrames)};
    int pos = 0;
    long bad = 0, n = 0, k = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      const int frames = 1 + r.below(kMaxFrames);
      if (pos + frames > total) pos = 0;
      const bool useDouble = plugin.canDouble() && (k & 1);
      if (useDouble) {
        double* in[4] = {const_cast<double*>(prog.d[0].data()) + pos, const_cast<double*>(prog.d[1].data()) + pos,
                         const_cast<double*>(prog.d[2].data()) + pos, const_cast<double*>(prog.d[3].data()) + pos};
        double* out[2] = {dout[0].data(), dout[1].data()};
        plugin.processDouble(in, out, frames);
        for (int c = 0; c < 2; ++c)
          for (int i = 0; i < frames; ++i) bad += !std::isfinite(dout[c][i]);
      } else {
        float* in[4] = {const_cast<float*>(prog.f[0].data()) + pos, const_cast<float*>(prog.f[1].data()) + pos,
                        const_cast<float*>(prog.f[2].data()) + pos, const_cast<float*>(prog.f[3].data()) + pos};
        float* out[2] = {fo[0].data(), fo[1].data()};
        plugin.processFloat(in, out, frames);
        for (int c = 0; c < 2; ++c)
          for (int i = 0; i < frames; ++i) bad += !std::isfinite(fo[c][i]);
      }
      pos += frames;
      n += 2 * frames;
      ++k;
    }
    nonFinite = bad;
    samples = n;
    calls = k;
  });

  // The changing thread keeps what it set last.
  float expected[kLastIndex + 1];
  for (int32_t i = 0; i <= kLastIndex; ++i) expected[i] = plugin.get(i);
  Random r{777};
  long changes = 0, loads = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(stressSeconds());
  while (std::chrono::steady_clock::now() < until) {
    const int action = r.below(100);
    if (action < 85) {
      const int32_t index = r.below(kLastIndex + 1);
      if (index == 34) continue;
      const float v = r.value();
      plugin.set(index, v);
      expected[index] = storedValue(index, v);
      ++changes;
    } else if (action < 97) {
      std::vector<uint8_t> c = valid;
      const int current = r.below(16);
      std::memcpy(c.data() + 12, &current, 4);
      for (int p = 0; p < 16; ++p)
        for (int i = 0; i < kHostParams; ++i) {
          const float v = r.value();
          std::memcpy(c.data() + kPresetsOffset + kPresetSize * p + kNameSize + 4 * i, &v, 4);
        }
      ASSERT_EQ(plugin.dispatch(vst::effSetChunk, 0, kChunkSize, c.data()), 0);
      for (int i = 0; i < kHostParams; ++i)
        std::memcpy(&expected[i], c.data() + kPresetsOffset + kPresetSize * current + kNameSize + 4 * i, 4);
      ++loads;
    } else {
      char name[32];
      std::snprintf(name, sizeof name, "Stress %ld", changes);
      plugin.dispatch(vst::effSetProgramName, 0, 0, name);
    }
  }
  stop = true;
  audio.join();
  std::printf("[ stress   ] %s: %ld calls, %ld changes, %ld chunk loads, %ld of %ld samples not finite\n",
              GetParam().name, calls.load(), changes, loads, nonFinite.load(), samples.load());
  EXPECT_EQ(nonFinite.load(), 0) << "of " << samples.load() << " samples";
  EXPECT_GT(calls.load(), 100);

  for (int32_t i = 0; i <= kLastIndex; ++i) {
    if (i == 34) continue;
    EXPECT_EQ(plugin.get(i), expected[i]) << "parameter " << i;
  }

  // A fresh instance with the same state must sound the same: what the
  // engine holds is what was set last. Both restart, so neither carries
  // running state into the comparison; only the anti-denormal noise, which
  // has run on in the stressed instance, may differ.
  Instance fresh(*lib_);
  ASSERT_TRUE(fresh.ok());
  std::vector<uint8_t> state = plugin.chunk();
  ASSERT_EQ(fresh.dispatch(vst::effSetChunk, 0, kChunkSize, state.data()), 0);
  for (int32_t i = kHostParams + 1; i <= kLastIndex; ++i) fresh.set(i, expected[i]);
  plugin.restart();
  fresh.restart();
  std::vector<float> a[2] = {std::vector<float>(256), std::vector<float>(256)};
  std::vector<float> b[2] = {std::vector<float>(256), std::vector<float>(256)};
  double worst = 0.0;
  int worstAt = -1;
  for (int first = 0; first + 256 <= total; first += 256) {
    float* in[4] = {const_cast<float*>(prog.f[0].data()) + first, const_cast<float*>(prog.f[1].data()) + first,
                    const_cast<float*>(prog.f[2].data()) + first, const_cast<float*>(prog.f[3].data()) + first};
    float* outA[2] = {a[0].data(), a[1].data()};
    float* outB[2] = {b[0].data(), b[1].data()};
    plugin.processFloat(in, outA, 256);
    fresh.processFloat(in, outB, 256);
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 256; ++i) {
        const double d = std::fabs(static_cast<double>(a[c][i]) - b[c][i]);
        if (!(d <= worst)) worst = d, worstAt = first + i;
      }
  }
  EXPECT_LE(worst, 1e-4) << "largest difference from a fresh instance, at sample " << worstAt;
}

INSTANTIATE_TEST_SUITE_P(Modules, ThreadStress,
                         ::testing::Values(Product{"OrvValdris", ORV_VALDRIS_PLUGIN_PATH},
                                           Product{"OrvNimlet", ORV_NIMLET_PLUGIN_PATH}),
                         [](const ::testing::TestParamInfo<Product>& info) { return std::string(info.param.name); });

}  // namespace
