// Orv Nimlet as a host sees it: the built module, driven only through its
// effect record.
#include <cmath>
#include <cstring>
#include <limits>

#include "nimlet_support.h"

namespace nimlet_test {
namespace {

constexpr int32_t kStereo = 28, kSidechainExternal = 26, kSidechainMonitor = 35, kPower = 0;

void startAt(Plugin& plugin, float rate) {
  plugin.dispatch(vst::effSetSampleRate, 0, 0, nullptr, rate);
  plugin.dispatch(vst::effMainsChanged, 0, 1);
}

using NimletHost = NimletModule;

TEST_F(NimletHost, Identity) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const vst::AEffect& e = *plugin->effect();
  EXPECT_EQ(e.uniqueID, vst::fourCC('Z', 'k', '4', 'm'));
  EXPECT_EQ(e.numInputs, 4);
  EXPECT_EQ(e.numOutputs, 2);
  EXPECT_EQ(e.numParams, 34);
  EXPECT_EQ(e.numPrograms, 1);
  // Replacing and chunks; no double precision. No editor window to announce yet.
  EXPECT_EQ(e.flags, 0x30);
  EXPECT_EQ(e.initialDelay, 977);
  EXPECT_EQ(plugin->getString(vst::effGetEffectName), "Orv Nimlet");
  EXPECT_EQ(plugin->getString(vst::effGetProductString), "Orv Nimlet - stereo mastering compressor");
  EXPECT_FALSE(plugin->getString(vst::effGetVendorString).empty());
  EXPECT_EQ(plugin->dispatch(vst::effGetVendorVersion), 1710);
  EXPECT_EQ(plugin->dispatch(vst::effGetPlugCategory), vst::kPlugCategMastering);
  EXPECT_EQ(plugin->dispatch(vst::effSetProcessPrecision, 0, vst::kVstProcessPrecision64), 1);
  EXPECT_EQ(plugin->dispatch(vst::effSetProcessPrecision, 0, vst::kVstProcessPrecision32), 1);
  for (int32_t index : {0, 5, 34, 40, 41, -1}) EXPECT_EQ(plugin->dispatch(vst::effCanBeAutomated, index), 1);
}

TEST_F(NimletHost, NamesAndDisplayTexts) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const char* names[41] = {" Power ", " - ", " Soft ", " RMS ", " - ", "Threshold ", "Ratio ", " - ", "Attack ",
                           " - ", "Release ", "AutoRel ", " LowSCF ", " - ", " HighSCF ", " - ", "Makeup ",
                           "AutoMakeup", " - ", " - ", " Link", " - ", "Mix ", "Output ", "Meters ", "Classic ",
                           "S.C.Ext", "Smooth", "Stereo", " - ", " - ", " - ", " - ", " - ", " - ", "S.C.Monit",
                           "VU Integr ", "VU Refer ", "PPM Integr ", "PPM Return ", "OverIndic "};
  for (int32_t i = 0; i < 41; ++i) EXPECT_EQ(plugin->getString(vst::effGetParamName, i), names[i]) << i;
  EXPECT_EQ(plugin->getString(vst::effGetParamName, 41), " - ");
  EXPECT_EQ(plugin->getString(vst::effGetParamName, -5), " - ");

  struct Case {
    int32_t index;
    float value;
    const char* text;
  };
  const Case cases[] = {
      {0, 0.5f, "On"}, {0, 0.49f, "Off"},
      {1, 1.0f, ""}, {4, 1.0f, ""}, {7, 0.3f, ""}, {25, 1.0f, ""}, {29, 0.7f, ""},
      {2, 1.0f, "Soft"}, {2, 0.2f, "Hard"}, {3, 0.5f, "RMS"}, {3, 0.0f, "Peak"},
      {5, 0.0f, "6.02dB"}, {5, 1.0f, "-30.10dB"}, {5, 0.1667f, "-0.00dB"},
      {6, 0.3f, "1.00 : 1"}, {6, 1.0f, "64.00 : 1"}, {6, 0.85f, "5.59 : 1"}, {6, 0.0f, "0.50 : 1"},
      {8, 0.0f, "0.00ms"}, {8, 1.0f, "1000.00ms"}, {8, 0.5f, "3.16ms"},
      {10, 1.0f, "3.32s"}, {10, 0.0f, "0.03s"},
      {11, 1.0f, "On"}, {11, 0.0f, "Off"},
      {12, 0.2f, "LoCut"}, {12, 0.5f, "LoFlat"}, {12, 0.8f, "LoBoost"}, {12, 0.24f, "LoCut"}, {12, 0.25f, "LoFlat"},
      {14, 0.0f, "HiCut"}, {14, 0.74f, "HiFlat"}, {14, 0.75f, "HiBoost"},
      {16, 0.0f, "-12.04dB"}, {16, 1.0f, "24.08dB"},
      {17, 1.0f, "AutoMakeup"}, {17, 0.0f, "Off"},
      {20, 1.0f, "Linked"}, {20, 0.0f, "Off"},
      {22, 0.5f, "50%"}, {22, 1.0f, "100%"},
      {23, 0.0f, "-12.00dB"}, {23, 1.0f, "6.00dB"},
      {24, 0.32f, "Pre"}, {24, 0.33f, "GainRed"}, {24, 0.66f, "Post"},
      {26, 1.0f, "S.C.Ext"}, {26, 0.0f, "Off"},
      {27, 1.0f, "Smooth"}, {27, 0.0f, "Draft"},
      {28, 1.0f, "Stereo"}, {28, 0.0f, "Mono"},
      {35, 1.0f, "S.C.Monit"}, {35, 0.0f, "Off"},
      {36, 0.0f, "30.0ms"}, {36, 1.0f, "3000.0ms"},
      {37, 1.0f, "0.00dBFS"}, {37, 0.0f, "-24.25dBFS"},
      {38, 0.0f, "0.0ms"}, {38, 1.0f, "100.0ms"},
      {39, 0.5f, "1000ms"},
      {40, 0.0f, "1smps"}, {40, 0.25f, "3smps"}, {40, 1.0f, "10smps"},
      {34, 1.0f, ""}, {41, 1.0f, ""},
  };
  for (const Case& c : cases) {
    plugin->setParameter(c.index, c.value);
    EXPECT_EQ(display(*plugin, c.index), c.text) << "index " << c.index << " value " << c.value;
  }
  // Stored as received, except the over indicator's step and the unused indices.
  plugin->setParameter(40, 0.25f);
  EXPECT_FLOAT_EQ(plugin->getParameter(40), 2.0f / 9.0f);
  plugin->setParameter(34, 0.5f);
  EXPECT_EQ(plugin->getParameter(34), 0.0f);
  plugin->setParameter(41, 0.5f);
  EXPECT_EQ(plugin->getParameter(41), 0.0f);
  plugin->setParameter(30, 0.125f);
  EXPECT_EQ(plugin->getParameter(30), 0.125f);
  EXPECT_EQ(plugin->getString(vst::effGetParamLabel, 5), "");
}

TEST_F(NimletHost, HostileValuesAreStoredAsReceivedAndShownSafely) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  startAt(*plugin, 44100.0f);
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  struct Case {
    float value;
    const char* ratio;
  };
  for (const Case& c : {Case{nan, "1.00 : 1"}, Case{-1.0f, "1.00 : 1"}, Case{-inf, "1.00 : 1"}, Case{2.0f, "64.00 : 1"},
                        Case{inf, "64.00 : 1"}}) {
    for (int32_t i = 0; i <= 40; ++i) plugin->setParameter(i, c.value);
    EXPECT_EQ(display(*plugin, 6), c.ratio) << c.value;
    for (int32_t i = 0; i < 34; ++i) {
      const float back = plugin->getParameter(i);
      if (std::isnan(c.value)) EXPECT_TRUE(std::isnan(back)) << i;
      else EXPECT_EQ(back, c.value) << i;
      EXPECT_LT(display(*plugin, i).size(), 16u) << i;
    }
    Buffers b(700);
    for (size_t k = 0; k < 700; ++k) b.in[0][k] = b.in[1][k] = b.in[2][k] = b.in[3][k] = std::sin(0.05f * k);
    b.in[0][10] = nan;
    b.in[1][20] = inf;
    run(*plugin, b, 100);
    for (int ch = 0; ch < 2; ++ch)
      for (float v : b.out[ch]) ASSERT_TRUE(std::isfinite(v)) << c.value;
  }
}

// A few samples far beyond any real level would overflow the filters and the
// detector and silence the output for good; they are held at the input limit.
TEST_F(NimletHost, HugeInputSamplesAreHeldAtTheInputLimit) {
  for (float stereo : {1.0f, 0.0f}) {
    std::vector<float> outs[2][2];
    for (int held = 0; held < 2; ++held) {
      auto plugin = load();
      ASSERT_NE(plugin, nullptr);
      plugin->setParameter(kStereo, stereo);
      startAt(*plugin, 44100.0f);
      Buffers b(8000);
      for (size_t k = 0; k < 8000; ++k) b.in[0][k] = b.in[1][k] = b.in[2][k] = b.in[3][k] = 0.3f * std::sin(0.05f * k);
      const float big = held ? 1e5f : std::numeric_limits<float>::max();
      for (size_t k = 1000; k < 1010; ++k)
        for (int c = 0; c < 4; ++c) b.in[c][k] = k % 2 ? big : -big;
      run(*plugin, b, 100);
      for (int ch = 0; ch < 2; ++ch) {
        for (float v : b.out[ch]) ASSERT_TRUE(std::isfinite(v)) << stereo;
        outs[held][ch] = b.out[ch];
      }
    }
    EXPECT_EQ(outs[0][0], outs[1][0]) << stereo;
    EXPECT_EQ(outs[0][1], outs[1][1]) << stereo;
  }
}

TEST_F(NimletHost, FactoryPresetsAndSharedPower) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  struct Row {
    const char* name;
    double v[17];
  };
  // Columns: 2 3 4 5 6 8 9 10 11 12 13 15 16 17 20 22 23.
  const int columns[17] = {2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 15, 16, 17, 20, 22, 23};
  const Row rows[16] = {
      {"Default", {0, 0, 0, 0.1667, 0.3, 0.5, 0, 0.5, 0, 0.5, 1, 0, 0.33333, 0, 0.5, 1, 0.665}},
      {"Gentle Master", {1, 1, 0, 0.75, 0.4, 0.5, 0, 0.75, 0, 1, 1, 0, 0.41333, 0, 0.5, 1, 0.665}},
      {"PhatMix", {1, 1, 1, 0.5, 0.4, 0.5, 1, 0.75, 1, 0.5, 1, 0.33, 0.33333, 1, 0.65, 1, 0.75}},
      {"Mezzo Leveler", {1, 1, 1, 0.58, 0.7, 0.95, 1, 1, 1, 1, 1, 0.35, 0.3333, 1, 0.75, 1, 0.665}},
      {"Una Corda", {1, 1, 1, 0.64, 0.8, 0.9, 1, 1, 1, 0.5, 1, 0, 0.3333, 1, 0.75, 1, 0.665}},
      {"A Kind of Freshness", {1, 1, 0, 0.3333, 0.1, 0.4, 0, 0.45, 1, 0.5, 1, 0.375, 0.3333, 1, 0.75, 0.8, 0.665}},
      {"Peak Restore", {1, 1, 0, 0.42, 0, 0.4, 0, 0.45, 1, 0, 1, 0.375, 0.3633, 1, 0.75, 0.8, 0.665}},
      {"Damp it!", {0, 0, 1, 0.49, 0.9, 0.5, 0, 0.25, 0, 0.5, 0.333, 0.19, 0.3333, 1, 0.5, 0.85, 0.665}},
      {"SoftQuartet", {1, 1, 0, 0.667, 0.4, 0.5, 0, 0.75, 1, 0.5, 1, 0, 0.33333, 1, 0.75, 0.8, 0.665}},
      {"SharpQuartet", {1, 1, 1, 0.5, 0.1, 0.333, 0, 0.75, 1, 0.5, 1, 0, 0.33333, 1, 0.75, 0.8, 0.665}},
      {"CelloConcerto", {1, 1, 0, 0.667, 0.7, 0.333, 0, 0.75, 1, 1, 1, 0.5, 0.25, 1, 0.5, 0.65, 0.665}},
      {"PeakSoftener", {1, 1, 0, 0.24995, 0.7, 0.333, 0, 0.5, 1, 0.5, 1, 0, 0.33333, 0, 0.5, 1, 0.665}},
      {"PeakEnhancer", {1, 0, 1, 0.24995, 0.1, 0.25, 1, 0.5, 1, 0.5, 1, 0, 0.33333, 1, 0.5, 1, 0.665}},
      {"HeavyDrumKit", {0, 0, 1, 0.8, 1, 0.2, 0, 0.5, 0, 0.5, 1, 0, 0.4, 1, 0.5, 1, 0.75}},
      {"SustainedDrums", {0, 0, 1, 0.85, 1, 0, 0, 0.45, 0, 0.5, 1, 0, 0.18, 1, 0.5, 0.55, 0.75}},
      {"KickPump", {0, 0, 0, 0.35, 0.8, 0.2, 1, 0.45, 1, 0, 0, 0.375, 0.333, 1, 0.75, 1, 0.665}},
  };
  const Chunk chunk = getChunk(*plugin);
  ASSERT_EQ(chunk.size(), 2592u);
  for (int p = 0; p < kNumPresets; ++p) {
    SCOPED_TRACE(rows[p].name);
    EXPECT_EQ(presetName(chunk, p), rows[p].name);
    float expected[34] = {};
    expected[0] = expected[28] = 1.0f;
    expected[14] = expected[21] = expected[24] = 0.5f;
    for (int c = 0; c < 17; ++c) expected[columns[c]] = static_cast<float>(rows[p].v[c]);
    for (int i = 0; i < 34; ++i) EXPECT_EQ(presetValue(chunk, p, i), expected[i]) << "index " << i;
  }
  // Preset 0 is live after construction.
  EXPECT_EQ(plugin->getParameter(5), 0.1667f);

  plugin->setParameter(kPower, 0.0f);
  const Chunk off = getChunk(*plugin);
  for (int p = 0; p < kNumPresets; ++p) EXPECT_EQ(presetValue(off, p, kPower), 0.0f) << p;
  selectViaChunk(*plugin, 7);
  EXPECT_EQ(plugin->getParameter(kPower), 0.0f);
  EXPECT_EQ(plugin->getParameter(5), 0.49f);
  EXPECT_EQ(display(*plugin, kPower), "Off");
}

TEST_F(NimletHost, ParameterAndPinProperties) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  struct Case {
    int32_t index;
    bool answered;
    int32_t flags;
    float step;
    const char* shortLabel;
  };
  const Case cases[] = {
      {0, true, 5, 1.0f, " Power "}, {1, true, 5, 1.0f, " - "}, {4, true, 5, 1.0f, " - "},
      {11, true, 5, 1.0f, "AutoRel"}, {17, true, 5, 1.0f, "AutoMak"}, {20, true, 5, 1.0f, " Link"},
      {25, true, 5, 1.0f, "Classic"}, {28, true, 5, 1.0f, "Stereo"}, {35, true, 5, 1.0f, "S.C.Mon"},
      {12, true, 4, 0.5f, " LowSCF"}, {14, true, 4, 0.5f, " HighSC"}, {24, true, 4, 0.5f, "Meters "},
      {5, false, 0, 0, ""}, {6, false, 0, 0, ""}, {13, false, 0, 0, ""}, {21, false, 0, 0, ""},
      {29, false, 0, 0, ""}, {36, false, 0, 0, ""}, {-1, false, 0, 0, ""}, {99, false, 0, 0, ""},
  };
  for (const Case& c : cases) {
    vst::VstParameterProperties p;
    std::memset(&p, 0x5A, sizeof p);
    const intptr_t result = plugin->dispatch(vst::effGetParameterProperties, c.index, 0, &p);
    EXPECT_EQ(result, c.answered ? 1 : 0) << c.index;
    if (!c.answered) {
      vst::VstParameterProperties untouched;
      std::memset(&untouched, 0x5A, sizeof untouched);
      EXPECT_EQ(std::memcmp(&p, &untouched, sizeof p), 0) << c.index;
      continue;
    }
    EXPECT_EQ(p.flags, c.flags) << c.index;
    EXPECT_EQ(p.stepFloat, c.step) << c.index;
    EXPECT_EQ(p.smallStepFloat, c.step) << c.index;
    EXPECT_EQ(p.largeStepFloat, c.step) << c.index;
    EXPECT_EQ(std::string(p.label), plugin->getString(vst::effGetParamName, c.index)) << c.index;
    EXPECT_STREQ(p.shortLabel, c.shortLabel) << c.index;
  }

  for (int32_t index = 0; index < 4; ++index) {
    vst::VstPinProperties in{}, out{};
    const bool main = index < 2;
    EXPECT_EQ(plugin->dispatch(vst::effGetInputProperties, index, 0, &in), main ? 1 : 0) << index;
    EXPECT_EQ(plugin->dispatch(vst::effGetOutputProperties, index, 0, &out), main ? 1 : 0) << index;
    if (!main) continue;
    EXPECT_EQ(std::string(in.label), "My " + std::to_string(index + 1) + " In");
    EXPECT_EQ(std::string(out.label), "My " + std::to_string(index + 1) + " Out");
    EXPECT_EQ(in.flags, 3);
    EXPECT_EQ(out.flags, 3);
  }
}

// The arrangement decides which buffers carry signal. Seen from outside with
// the side chain monitored: the output is the side chain (main or external)
// 1021 samples late, on the right output only if it is used.
TEST_F(NimletHost, SpeakerArrangements) {
  struct Case {
    int32_t ins, outs;
    intptr_t result;
    bool externalUsed;  // fourInputs
    bool rightWritten;  // stereoOutput
    bool rightFromRight;  // stereoInput
  };
  const Case cases[] = {
      {1, 1, 1, false, false, false}, {1, 2, 1, false, true, false}, {2, 1, 0, true, false, false},
      {2, 2, 1, false, true, true},   {4, 2, 1, true, true, true},   {6, 2, 0, false, true, true},
      {4, 1, 0, false, true, true},   {0, 0, 0, false, true, true},
  };
  constexpr size_t kFrames = 1400;
  constexpr size_t kMain = 10, kSide = 40;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.ins) + " in, " + std::to_string(c.outs) + " out");
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    vst::VstSpeakerArrangement in{}, out{};
    in.numChannels = c.ins;
    out.numChannels = c.outs;
    EXPECT_EQ(plugin->dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), c.result);
    EXPECT_EQ(plugin->effect()->numInputs, 4);
    EXPECT_EQ(plugin->effect()->numOutputs, 2);
    startAt(*plugin, 44100.0f);
    plugin->setParameter(kSidechainExternal, 1.0f);
    plugin->setParameter(kSidechainMonitor, 1.0f);
    plugin->setParameter(12, 0.5f);  // flat shelves
    plugin->setParameter(14, 0.5f);
    plugin->dispatch(vst::effMainsChanged, 0, 1);

    Buffers b(kFrames, 7.0f);
    b.in[0][kMain] = 0.5f;       // main left
    b.in[1][kMain + 5] = 0.25f;  // main right
    b.in[2][kSide] = 0.5f;       // side chain left
    b.in[3][kSide + 5] = 0.25f;  // side chain right
    run(*plugin, b);
    const size_t leftSource = c.externalUsed ? kSide : kMain;
    const size_t rightSource = c.externalUsed ? kSide + 5 : (c.rightFromRight ? kMain + 5 : kMain);
    if (c.rightWritten) {
      EXPECT_EQ(argmaxAbs(b.out[0]), 1021 + leftSource);
      EXPECT_EQ(argmaxAbs(b.out[1]), 1021 + rightSource);
    } else {
      // Both channels share the left buffer; the right one is written last.
      EXPECT_EQ(argmaxAbs(b.out[0]), 1021 + rightSource);
      for (float v : b.out[1]) ASSERT_EQ(v, 7.0f);
    }
  }
}

// With Power off the output is the input, delayed by what the host is told.
TEST_F(NimletHost, LatencyIsTheRealDelay) {
  struct Case {
    float rate;
    int32_t latency;
  };
  for (const Case& c : {Case{44100.0f, 977}, Case{48000.0f, 973}, Case{96000.0f, 925}, Case{192000.0f, 829},
                        Case{22050.0f, 999}}) {
    SCOPED_TRACE(c.rate);
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    startAt(*plugin, c.rate);
    EXPECT_EQ(plugin->effect()->initialDelay, c.latency);
    plugin->setParameter(kPower, 0.0f);
    for (float stereo : {1.0f, 0.0f}) {
      plugin->setParameter(kStereo, stereo);
      plugin->dispatch(vst::effMainsChanged, 0, 0);
      plugin->dispatch(vst::effMainsChanged, 0, 1);
      Buffers b(1500);
      b.in[0][100] = 0.75f;
      b.in[1][100] = 0.75f;
      b.in[2][50] = 1.0f;  // the side chain plays no part
      run(*plugin, b, 64);
      for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(argmaxAbs(b.out[ch]), 100u + c.latency) << ch;
        EXPECT_NEAR(b.out[ch][100 + c.latency], 0.75f, 1e-9f);
        for (size_t k = 0; k < b.out[ch].size(); ++k) {
          if (k != 100u + c.latency) {
            ASSERT_LT(std::fabs(b.out[ch][k]), 1e-11f) << k;
          }
        }
      }
    }
  }
}

TEST_F(NimletHost, MonoWritesTheSameSampleToBothOutputs) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  startAt(*plugin, 44100.0f);
  plugin->setParameter(kStereo, 0.0f);
  plugin->setParameter(5, 0.8f);  // compress hard
  plugin->setParameter(6, 0.9f);
  Buffers b(6000);
  for (size_t k = 0; k < b.in[0].size(); ++k) {
    b.in[0][k] = 0.9f * std::sin(0.01f * k);
    b.in[1][k] = 0.3f * std::sin(0.037f * k + 1.0f);
  }
  run(*plugin, b, 333);
  EXPECT_EQ(b.out[0], b.out[1]);
  float peak = 0.0f;
  for (float v : b.out[0]) peak = std::max(peak, std::fabs(v));
  EXPECT_GT(peak, 0.05f);
}

TEST_F(NimletHost, DoublePrecisionCallLeavesTheOutputsAlone) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  startAt(*plugin, 44100.0f);
  std::vector<double> in(256, 0.5), outL(256, 3.0), outR(256, 4.0);
  double* ins[4] = {in.data(), in.data(), in.data(), in.data()};
  double* outs[2] = {outL.data(), outR.data()};
  plugin->processDoubleReplacing(ins, outs, 256);
  EXPECT_EQ(outL, std::vector<double>(256, 3.0));
  EXPECT_EQ(outR, std::vector<double>(256, 4.0));
}

}  // namespace
}  // namespace nimlet_test
