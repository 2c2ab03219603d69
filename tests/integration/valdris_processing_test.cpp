// Audio through the record's processing entries: every kernel, both sample
// precisions and the block sizes hosts really use.
#include <cmath>
#include <cstdlib>

#include "valdris_support.h"

namespace valdris_test {
namespace {

using ProcessingTest = ValdrisTest;

constexpr int kLatency = 1660;

struct Mode {
  const char* name;
  float fat;
  float smooth;
  float sidechainExternal;
};
const Mode kModes[] = {
    {"plain", 0, 0, 0},
    {"FAT", 1, 0, 0},
    {"Smooth", 0, 1, 0},
    {"FAT and Smooth", 1, 1, 0},
    {"plain, external side-chain", 0, 0, 1},
};

void startAudio(Plugin& plugin) {
  plugin.dispatch(vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
  plugin.dispatch(vst::effSetBlockSize, 0, 1000);
  plugin.dispatch(vst::effMainsChanged, 0, 1);
}

// Four input channels of bursts loud enough to make the compressor and the
// limiter work; the side-chain pair differs from the main pair.
template <typename T>
std::vector<std::vector<T>> testSignal(int frames) {
  std::vector<std::vector<T>> in(4, std::vector<T>(frames));
  uint32_t noise = 12345;
  for (int n = 0; n < frames; ++n) {
    noise = noise * 1664525u + 1013904223u;
    const double white = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
    const double envelope = (n / 700) % 2 == 0 ? 0.9 : 0.05;
    in[0][n] = static_cast<T>(envelope * std::sin(0.05 * n) + 0.1 * white);
    in[1][n] = static_cast<T>(envelope * std::sin(0.031 * n));
    in[2][n] = static_cast<T>(0.5 * white);
    in[3][n] = static_cast<T>(0.7 * std::sin(0.003 * n));
  }
  return in;
}

template <typename T>
std::vector<std::vector<T>> run(Plugin& plugin, const std::vector<std::vector<T>>& in, int block) {
  const int frames = static_cast<int>(in[0].size());
  std::vector<std::vector<T>> out(2, std::vector<T>(frames, T(-7)));
  for (int start = 0; start < frames; start += block) {
    const int n = std::min(block, frames - start);
    // Fresh copies: a plug-in may not rely on the host keeping inputs intact.
    std::vector<std::vector<T>> chunk(4);
    T* ins[4];
    for (int c = 0; c < 4; ++c) {
      chunk[c].assign(in[c].begin() + start, in[c].begin() + start + n);
      ins[c] = chunk[c].data();
    }
    T* outs[2] = {out[0].data() + start, out[1].data() + start};
    if constexpr (sizeof(T) == sizeof(float)) {
      plugin.processReplacing(ins, outs, n);
    } else {
      plugin.processDoubleReplacing(ins, outs, n);
    }
  }
  return out;
}

template <typename T>
void checkBlockSizesAgree(ValdrisTest& test, const Mode& mode) {
  SCOPED_TRACE(mode.name);
  SCOPED_TRACE(sizeof(T) == sizeof(float) ? "float" : "double");
  constexpr int kFrames = 3000;
  const auto in = testSignal<T>(kFrames);
  std::vector<std::vector<T>> reference;
  for (int block : {64, 1, 1000}) {
    SCOPED_TRACE(block);
    auto plugin = test.load();
    ASSERT_NE(plugin, nullptr);
    // "HeavyDrumKit": 64 : 1 with the limiter on, so the gain really moves.
    ASSERT_EQ(selectViaChunk(*plugin, getChunk(*plugin), 13), 0);
    plugin->setParameter(1, mode.fat);
    plugin->setParameter(26, mode.smooth);
    plugin->setParameter(25, mode.sidechainExternal);
    startAudio(*plugin);
    const auto out = run(*plugin, in, block);

    bool allFinite = true;
    double peak = 0;
    for (const auto& channel : out) {
      for (T x : channel) {
        allFinite = allFinite && std::isfinite(static_cast<double>(x));
        peak = std::max(peak, std::abs(static_cast<double>(x)));
      }
    }
    EXPECT_TRUE(allFinite);
    EXPECT_GT(peak, 0.01) << "the signal never came through";
    EXPECT_LE(peak, 0.999 + 1e-6) << "the limiter's ceiling";
    if (block == 64) {
      reference = out;
      continue;
    }
    // Block boundaries are invisible in the output.
    for (int c = 0; c < 2; ++c) {
      for (int n = 0; n < kFrames; ++n) {
        ASSERT_NEAR(out[c][n], reference[c][n], 1e-6) << "channel " << c << " frame " << n;
      }
    }
  }
}

TEST_F(ProcessingTest, EveryKernelGivesFiniteOutputWhateverTheBlockSize) {
  for (const Mode& mode : kModes) {
    checkBlockSizesAgree<float>(*this, mode);
    checkBlockSizesAgree<double>(*this, mode);
  }
}

// With Power off the signal passes unchanged, delayed by exactly the latency
// announced in the record, in every kernel.
TEST_F(ProcessingTest, ImpulseArrivesAfterTheAnnouncedLatency) {
  constexpr int kFrames = 2300;
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    ASSERT_EQ(plugin->effect()->initialDelay, kLatency);
    plugin->setParameter(0, 0.0f);
    plugin->setParameter(1, mode.fat);
    plugin->setParameter(26, mode.smooth);
    plugin->setParameter(25, mode.sidechainExternal);
    startAudio(*plugin);
    EXPECT_EQ(plugin->effect()->initialDelay, kLatency);

    std::vector<std::vector<double>> in(4, std::vector<double>(kFrames, 0.0));
    in[0][0] = 0.5;
    in[1][0] = -0.25;
    const auto out = run(*plugin, in, 64);
    for (int c = 0; c < 2; ++c) {
      int peakAt = 0;
      for (int n = 1; n < kFrames; ++n) {
        if (std::abs(out[c][n]) > std::abs(out[c][peakAt])) peakAt = n;
      }
      EXPECT_EQ(peakAt, kLatency) << "channel " << c;
    }
    if (mode.fat == 0) {
      // No resampler in the path: the impulse comes out exactly.
      for (int n = 0; n < kFrames; ++n) {
        ASSERT_NEAR(out[0][n], n == kLatency ? 0.5 : 0.0, 1e-9) << n;
        ASSERT_NEAR(out[1][n], n == kLatency ? -0.25 : 0.0, 1e-9) << n;
      }
    }
  }
}

TEST_F(ProcessingTest, ZeroFramesAndSuspendResumeCyclesAreHarmless) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  startAudio(*plugin);
  float* none[4] = {nullptr, nullptr, nullptr, nullptr};
  plugin->processReplacing(none, none, 0);
  double* dnone[4] = {nullptr, nullptr, nullptr, nullptr};
  plugin->processDoubleReplacing(dnone, dnone, 0);
  const auto in = testSignal<float>(500);
  for (int cycle = 0; cycle < 3; ++cycle) {
    plugin->dispatch(vst::effMainsChanged, 0, 0);
    plugin->dispatch(vst::effSetSampleRate, 0, 0, nullptr, cycle == 1 ? 96000.0f : 1000.0f);
    plugin->dispatch(vst::effMainsChanged, 0, 1);
    const auto out = run(*plugin, in, 128);
    for (const auto& channel : out) {
      for (float x : channel) ASSERT_TRUE(std::isfinite(x)) << "cycle " << cycle;
    }
  }
}

}  // namespace
}  // namespace valdris_test
