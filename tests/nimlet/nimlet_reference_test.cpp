// The real kernels against the plain model, on a few seconds of varied
// programme: outputs and meter feed must agree within 1e-6.
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "nimlet/factory_presets.h"
#include "nimlet/nimlet.h"
#include "nimlet_reference.h"
#include "nimlet_support.h"

namespace nimlet_test {
namespace {

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;  // every pin connected
}

// Sines with moving envelopes, a noise burst, silence, a long negative
// stretch, clipped passages and transients; different on every channel.
std::vector<std::vector<float>> programme(size_t frames, double rate) {
  std::vector<std::vector<float>> x(4, std::vector<float>(frames, 0.0f));
  uint32_t seed = 12345;
  auto random = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / 16777216.0 * 2.0 - 1.0;
  };
  for (size_t k = 0; k < frames; ++k) {
    const double t = k / rate;
    const double section = std::fmod(t, 3.0);
    for (int c = 0; c < 4; ++c) {
      const double f = 110.0 * (c + 1) + 30.0 * c * c;
      double v = 0.0;
      if (section < 0.8) v = (0.1 + 0.8 * std::fabs(std::sin(2.0 * M_PI * 1.3 * t))) * std::sin(2.0 * M_PI * f * t);
      else if (section < 1.1) v = 0.6 * random();
      else if (section < 1.3) v = 0.0;
      else if (section < 1.7) v = -0.4 - 0.1 * c;  // negative for a long stretch
      else if (section < 2.2) v = std::clamp(1.5 * std::sin(2.0 * M_PI * (f * 0.5) * t), -1.0, 1.0);
      else v = (k % 4410 < 30 ? 0.95 : 0.02) * std::sin(2.0 * M_PI * 3000.0 * t) + 0.05 * random();
      x[c][k] = static_cast<float>(v * (c < 2 ? 1.0 : 0.7));
    }
  }
  return x;
}

using Settings = std::map<int, float>;

struct Variant {
  const char* name;
  Settings settings;
};

const Variant kVariants[] = {
    {"stereo Smooth, RMS, soft knee, auto release, input meters",
     {{27, 1.0f}, {28, 1.0f}, {3, 1.0f}, {2, 1.0f}, {11, 1.0f}, {20, 0.0f}, {24, 0.0f}, {6, 0.8f}, {5, 0.6f},
      {8, 0.3f}, {10, 0.4f}, {17, 1.0f}, {12, 0.0f}, {14, 1.0f}, {13, 0.3f}}},
    {"stereo Draft, linked, expansion, external side chain, gain meters",
     {{27, 0.0f}, {28, 1.0f}, {20, 1.0f}, {24, 0.5f}, {22, 0.5f}, {6, 0.1f}, {5, 0.5f}, {26, 1.0f}, {8, 0.1f},
      {10, 0.2f}, {12, 1.0f}, {14, 0.0f}}},
    {"mono Smooth, RMS, auto release, output meters",
     {{27, 1.0f}, {28, 0.0f}, {24, 1.0f}, {6, 1.0f}, {5, 0.9f}, {11, 1.0f}, {3, 1.0f}, {16, 0.7f}, {23, 0.3f},
      {40, 0.0f}}},
    {"mono Draft, soft knee, gain meters",
     {{27, 0.0f}, {28, 0.0f}, {2, 1.0f}, {6, 0.7f}, {5, 0.75f}, {24, 0.5f}, {22, 0.8f}, {12, 0.0f}, {10, 0.9f}}},
    {"stereo Draft, side chain monitored, power off",
     {{27, 0.0f}, {28, 1.0f}, {35, 1.0f}, {0, 0.0f}, {24, 1.0f}, {12, 0.0f}, {14, 0.0f}}},
    {"mono Smooth, power off, input meters", {{27, 1.0f}, {28, 0.0f}, {0, 0.0f}, {24, 0.0f}}},
};

// At 44.1 kHz and, as many frames, at the higher rates, where the Smooth
// detector is longer.
class ReferenceComparison : public PrivateHome, public ::testing::WithParamInterface<double> {};

TEST_P(ReferenceComparison, KernelsMatchThePlainModel) {
  const double kRate = GetParam();
  const size_t frames = static_cast<size_t>(3.5 * 44100.0);
  const auto in = programme(frames, kRate);
  const int32_t blocks[] = {512, 37, 64, 1000, 1, 129};
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    orv::Nimlet real(host);
    NimletReference model;
    // Both get the whole parameter set in index order: "Default" plus the variant.
    float values[41] = {};
    std::memcpy(values, orv::nimlet::kFactoryPresets[0].values, sizeof(float) * 34);
    const float meters[5] = {0.5f, 0.41f, 0.5f, 0.5f, 2.0f / 9.0f};
    for (int i = 0; i < 5; ++i) values[36 + i] = meters[i];
    values[24] = 0.5f;
    for (const auto& [index, value] : v.settings) values[index] = value;
    for (int i = 0; i <= 40; ++i) {
      if (i == 34) continue;
      real.setParameter(i, values[i]);
      model.setParameter(i, values[i]);
    }
    real.setSampleRate(static_cast<float>(kRate));
    model.suspend(kRate);
    model.resume(kRate);

    std::vector<float> realOut[2] = {std::vector<float>(frames), std::vector<float>(frames)};
    std::vector<float> modelOut[2] = {std::vector<float>(frames), std::vector<float>(frames)};
    size_t first = 0;
    for (int b = 0; first < frames; ++b) {
      const int32_t n = static_cast<int32_t>(std::min<size_t>(blocks[b % 6], frames - first));
      float* ins[4];
      for (int c = 0; c < 4; ++c) ins[c] = const_cast<float*>(in[c].data()) + first;
      float* ro[2] = {realOut[0].data() + first, realOut[1].data() + first};
      float* mo[2] = {modelOut[0].data() + first, modelOut[1].data() + first};
      real.processReplacing(ins, ro, n);
      model.process(ins, mo, n);
      first += static_cast<size_t>(n);
    }

    double worst = 0.0, energy = 0.0;
    size_t at = 0;
    for (int ch = 0; ch < 2; ++ch) {
      for (size_t k = 0; k < frames; ++k) {
        const double d = std::fabs(static_cast<double>(realOut[ch][k]) - modelOut[ch][k]);
        if (d > worst) worst = d, at = k;
        energy += static_cast<double>(realOut[ch][k]) * realOut[ch][k];
      }
    }
    EXPECT_LE(worst, 1e-6) << "at sample " << at;
    EXPECT_GT(energy, 100.0) << "the comparison must see signal";

    const orv::valdris::MeterFeed& f = real.getMeterFeed();
    const ModelMeters& m = model.meters();
    for (int ch = 0; ch < 2; ++ch) {
      EXPECT_NEAR(f.vuLevel[ch], m.vuLevel[ch], 1e-6) << ch;
      EXPECT_NEAR(f.ppmLevel[ch], m.ppmLevel[ch], 1e-6) << ch;
      EXPECT_NEAR(f.vuHold[ch], m.vuHold[ch], 1e-6) << ch;
      EXPECT_NEAR(f.ppmHold[ch], m.ppmHold[ch], 1e-6) << ch;
      EXPECT_EQ(f.vuHoldAge[ch], m.vuHoldAge[ch]) << ch;
      EXPECT_EQ(f.ppmHoldAge[ch], m.ppmHoldAge[ch]) << ch;
      EXPECT_EQ(f.overCount[ch], m.overCount[ch]) << ch;
      EXPECT_EQ(f.overLamp[ch], m.overLamp[ch]) << ch;
    }
    if (!(values[28] >= 0.5f)) {
      EXPECT_EQ(realOut[0], realOut[1]) << "mono writes the same samples";
      for (int i = 0; i < 1; ++i) EXPECT_EQ(f.vuLevel[0], f.vuLevel[1]);
      EXPECT_EQ(f.ppmLevel[0], f.ppmLevel[1]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, ReferenceComparison, ::testing::Values(44100.0, 96000.0, 192000.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return std::to_string(static_cast<int>(info.param)) + "Hz";
                         });

}  // namespace
}  // namespace nimlet_test
