// Parameter names, display texts, properties, pins and speaker arrangements
// as a host reads them through the dispatcher, plus the values a careless
// host may send.
#include <cmath>
#include <limits>
#include <set>

#include "valdris_support.h"

namespace valdris_test {
namespace {

using ParameterTest = ValdrisTest;

const char* const kNames[41] = {
    " Power ",   " FAT ",      " Soft ",     " RMS ",         " Limiter ",     " Threshold ",  " Ratio ",
    " Attack ",  "AutoAttck",  " Release ",  " AutoRel ",     " Makeup ",      "AutoMakeup",   " HighSCF ",
    " High ",    " LowSCF ",   " Low ",      "LnkHighCut",    "LnkLowCut",     " Link",        " Tilt ",
    " Mix ",     " Output ",   " Meters ",   " Classic ",     "S.C.Ext",       "Smooth",       " - ",
    " - ",       " - ",        " - ",        " - ",           " - ",           " - ",          " - ",
    "S.C.Monit", " VU Integr ", " VU Refer ", " PPM Integr ", " PPM Return ", " OverIndic ",
};

TEST_F(ParameterTest, NamesAndEmptyLabels) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  for (int32_t i = 0; i <= 40; ++i) {
    EXPECT_EQ(name(*plugin, i), kNames[i]) << i;
    EXPECT_EQ(plugin->getString(vst::effGetParamLabel, i), "") << i;
  }
  for (int32_t i : {41, 55, 56, 100, -1, std::numeric_limits<int32_t>::min()}) {
    EXPECT_EQ(name(*plugin, i), " - ") << i;
    EXPECT_EQ(display(*plugin, i), "") << i;
  }
}

struct DisplayCase {
  int32_t index;
  float raw;
  const char* text;
};

// Texts truncate after rounding the physical value to a 32-bit float.
const DisplayCase kDisplayCases[] = {
    {0, 0.0f, " Off "},          {0, 0.4999f, " Off "},        {0, 0.5f, " On "},          {0, 1.0f, " On "},
    {1, 0.0f, " Off "},          {1, 0.4999f, " Off "},        {1, 0.5f, " On "},          {1, 1.0f, " On "},
    {2, 0.0f, " Off "},          {2, 1.0f, " On "},            {3, 0.0f, " Off "},         {3, 1.0f, " On "},
    {4, 0.0f, " Off "},          {4, 1.0f, " On "},            {8, 0.0f, " Off "},         {8, 1.0f, " On "},
    {10, 0.0f, " Off "},         {10, 1.0f, " On "},           {24, 0.0f, " Off "},        {24, 1.0f, " On "},
    {26, 0.0f, " Off "},         {26, 1.0f, " On "},           {12, 0.0f, " Off "},        {12, 1.0f, " AutoMakeup "},
    {13, 0.0f, " HighCut "},     {13, 1.0f, " HighBoost "},    {15, 0.0f, " LowCut "},     {15, 1.0f, " LowBoost "},
    {17, 0.0f, " Off "},         {17, 1.0f, " HighCut "},      {18, 0.0f, " Off "},        {18, 1.0f, " LowCut "},
    {25, 0.0f, " Off "},         {25, 1.0f, "S.C.Ext"},        {35, 0.0f, " Off     "},    {35, 1.0f, "S.C.Monit"},
    {5, 0.0f, "6.02dB"},         {5, 0.5f, "-12.04dB"},        {5, 1.0f, "-30.10dB"},      {5, 0.1667f, "-0.00dB"},
    {6, 0.0f, "0.50 : 1"},       {6, 0.5f, "1.39 : 1"},        {6, 1.0f, "64.00 : 1"},
    {7, 0.0f, "0.00ms"},         {7, 0.5f, "3.16ms"},          {7, 1.0f, "1000.00ms"},
    {9, 0.0f, "0.1s"},           {9, 0.5f, "1.0s"},            {9, 1.0f, "10.0s"},
    {11, 0.0f, "-12.04dB"},      {11, 0.5f, "6.02dB"},         {11, 1.0f, "24.08dB"},
    {14, 0.0f, "1.00kHz"},       {14, 0.5f, "4.00kHz"},        {14, 1.0f, "16.00kHz"},
    {16, 0.0f, "25Hz"},          {16, 0.5f, "100Hz"},          {16, 1.0f, "400Hz"},
    {19, 0.0f, "0%"},            {19, 0.5f, "50%"},            {19, 1.0f, "100%"},
    {20, 0.0f, "50L"},           {20, 0.5f, "C"},              {20, 1.0f, "50R"},
    {20, 0.52f, "1R"},           {20, 0.48f, "2L"},            {20, 0.49f, "C"},           {20, 0.51f, "C"},
    {21, 0.0f, "0%"},            {21, 0.5f, "50%"},            {21, 1.0f, "100%"},
    {22, 0.0f, "-12.04dB"},      {22, 0.5f, "0.00dB"},         {22, 1.0f, "12.04dB"},
    {23, 0.0f, " Pre "},         {23, 0.32f, " Pre "},         {23, 0.33f, " GainRed "},   {23, 0.5f, " GainRed "},
    {23, 0.66f, " Post "},       {23, 1.0f, " Post "},
    {36, 0.0f, "30.0ms"},        {36, 0.5f, "300.0ms"},        {36, 1.0f, "3000.0ms"},
    {37, 0.0f, "-24.25dBFS"},    {37, 0.5f, "-12.12dBFS"},     {37, 1.0f, "0.00dBFS"},
    {38, 0.0f, "0.0ms"},         {38, 0.5f, "9.0ms"},          {38, 1.0f, "100.0ms"},
    {39, 0.0f, "100ms"},         {39, 0.5f, "1000ms"},         {39, 1.0f, "10000ms"},
    {40, 0.0f, "1smps"},         {40, 0.25f, "3smps"},         {40, 0.5f, "6smps"},        {40, 1.0f, "10smps"},
    {27, 0.7f, ""},              {30, 0.7f, ""},               {33, 0.7f, ""},             {34, 0.7f, ""},
};

TEST_F(ParameterTest, DisplayTexts) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  for (const DisplayCase& c : kDisplayCases) {
    plugin->setParameter(c.index, c.raw);
    EXPECT_EQ(display(*plugin, c.index), c.text) << "index " << c.index << " raw " << c.raw;
  }
}

TEST_F(ParameterTest, RatioStepsTruncate) {
  const char* const steps[21] = {"0.50 : 1", "0.59 : 1", "0.70 : 1", "0.77 : 1", "0.83 : 1",  "0.91 : 1", "1.00 : 1",
                                 "1.09 : 1", "1.20 : 1", "1.29 : 1", "1.39 : 1", "1.68 : 1",  "2.00 : 1", "2.37 : 1",
                                 "2.79 : 1", "3.36 : 1", "4.00 : 1", "5.59 : 1", "8.00 : 1", "12.00 : 1", "64.00 : 1"};
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  for (int step = 0; step <= 20; ++step) {
    // Middle of each step, and the last step at exactly 1.
    const float raw = step == 20 ? 1.0f : (static_cast<float>(step) + 0.5f) / 20.0f;
    plugin->setParameter(6, raw);
    EXPECT_EQ(display(*plugin, 6), steps[step]) << step;
  }
  // Truncated, not rounded: just below a step boundary stays on the lower step.
  plugin->setParameter(6, 0.3f);
  EXPECT_EQ(display(*plugin, 6), "1.00 : 1");
  plugin->setParameter(6, 0.2999f);
  EXPECT_EQ(display(*plugin, 6), "0.91 : 1");
}

TEST_F(ParameterTest, RawValuesReadBack) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  for (int32_t i = 0; i < kNumParams; ++i) {
    const float raw = 0.01f + 0.029f * static_cast<float>(i);
    plugin->setParameter(i, raw);
    EXPECT_EQ(plugin->getParameter(i), raw) << i;
  }
  // The over counter keeps whole samples only.
  plugin->setParameter(40, 0.25f);
  EXPECT_FLOAT_EQ(plugin->getParameter(40), 2.0f / 9.0f);
  plugin->setParameter(34, 0.7f);
  EXPECT_EQ(plugin->getParameter(34), 0.0f);
  for (int32_t i : {41, 100, -1}) {
    plugin->setParameter(i, 0.7f);
    EXPECT_EQ(plugin->getParameter(i), 0.0f) << i;
  }
}

TEST_F(ParameterTest, SwitchPropertiesOnlyForSwitches) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  constexpr unsigned char kUntouched = 0xA5;
  vst::VstParameterProperties untouched;
  std::memset(&untouched, kUntouched, sizeof untouched);

  const std::set<int32_t> switches = {0, 1, 2, 3, 4, 8, 10, 12, 13, 15, 17, 18, 24, 25, 26, 35};
  for (int32_t i = -1; i <= 42; ++i) {
    vst::VstParameterProperties p = untouched;
    const intptr_t result = plugin->dispatch(vst::effGetParameterProperties, i, 0, &p);
    if (switches.count(i) == 0 && i != 23) {
      EXPECT_EQ(result, 0) << i;
      EXPECT_EQ(std::memcmp(&p, &untouched, sizeof p), 0) << i << ": refused request wrote into the record";
      continue;
    }
    ASSERT_EQ(result, 1) << i;
    const bool isSwitch = i != 23;
    EXPECT_EQ(p.flags, isSwitch ? vst::kVstParameterIsSwitch | vst::kVstParameterUsesFloatStep
                                : vst::kVstParameterUsesFloatStep)
        << i;
    const float step = isSwitch ? 1.0f : 0.5f;
    EXPECT_EQ(p.stepFloat, step) << i;
    EXPECT_EQ(p.smallStepFloat, step) << i;
    EXPECT_EQ(p.largeStepFloat, step) << i;
    EXPECT_EQ(std::string(p.label, strnlen(p.label, sizeof p.label)), kNames[i]) << i;
    EXPECT_EQ(std::string(p.shortLabel, strnlen(p.shortLabel, sizeof p.shortLabel)),
              std::string(kNames[i]).substr(0, 7))
        << i;
    // Everything else stays as the host passed it.
    EXPECT_EQ(p.minInteger, untouched.minInteger) << i;
    EXPECT_EQ(p.maxInteger, untouched.maxInteger) << i;
    EXPECT_EQ(p.stepInteger, untouched.stepInteger) << i;
    EXPECT_EQ(p.largeStepInteger, untouched.largeStepInteger) << i;
    EXPECT_EQ(p.displayIndex, untouched.displayIndex) << i;
    EXPECT_EQ(p.category, untouched.category) << i;
    EXPECT_EQ(p.numParametersInCategory, untouched.numParametersInCategory) << i;
    EXPECT_EQ(std::memcmp(p.categoryLabel, untouched.categoryLabel, sizeof p.categoryLabel), 0) << i;
    EXPECT_EQ(std::memcmp(p.future, untouched.future, sizeof p.future), 0) << i;
  }
}

TEST_F(ParameterTest, PinPropertiesForTheMainPairOnly) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  struct Case {
    int32_t opcode;
    int32_t index;
    const char* label;  // null: refused
  };
  const Case cases[] = {
      {vst::effGetInputProperties, 0, "My 1 In"},   {vst::effGetInputProperties, 1, "My 2 In"},
      {vst::effGetInputProperties, 2, nullptr},     {vst::effGetInputProperties, 3, nullptr},
      {vst::effGetInputProperties, 4, nullptr},     {vst::effGetOutputProperties, 0, "My 1 Out"},
      {vst::effGetOutputProperties, 1, "My 2 Out"}, {vst::effGetOutputProperties, 2, nullptr},
  };
  vst::VstPinProperties untouched;
  std::memset(&untouched, 0x5A, sizeof untouched);
  for (const Case& c : cases) {
    vst::VstPinProperties p = untouched;
    const intptr_t result = plugin->dispatch(c.opcode, c.index, 0, &p);
    if (c.label == nullptr) {
      EXPECT_EQ(result, 0) << c.opcode << "/" << c.index;
      EXPECT_EQ(std::memcmp(&p, &untouched, sizeof p), 0) << c.opcode << "/" << c.index;
      continue;
    }
    EXPECT_EQ(result, 1) << c.label;
    EXPECT_EQ(std::string(p.label, strnlen(p.label, sizeof p.label)), c.label);
    EXPECT_EQ(p.flags, vst::kVstPinIsActive | vst::kVstPinIsStereo) << c.label;
    EXPECT_EQ(p.arrangementType, untouched.arrangementType) << c.label;
    EXPECT_EQ(std::memcmp(p.shortLabel, untouched.shortLabel, sizeof p.shortLabel), 0) << c.label;
    EXPECT_EQ(std::memcmp(p.future, untouched.future, sizeof p.future), 0) << c.label;
  }
}

TEST_F(ParameterTest, SpeakerArrangementsByChannelCount) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  struct Case {
    int32_t inputs;
    int32_t outputs;
    intptr_t accepted;
  };
  const Case cases[] = {
      {1, 1, 1}, {1, 2, 1}, {2, 2, 1}, {4, 2, 1}, {2, 1, 0}, {6, 2, 0}, {3, 2, 0},
      {4, 1, 0}, {2, 4, 0}, {0, 0, 0}, {0, 2, 0}, {8, 8, 0}, {4, 2, 1},
  };
  for (const Case& c : cases) {
    vst::VstSpeakerArrangement in{};
    vst::VstSpeakerArrangement out{};
    in.numChannels = c.inputs;
    out.numChannels = c.outputs;
    EXPECT_EQ(plugin->dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), c.accepted)
        << c.inputs << " in, " << c.outputs << " out";
    // The record keeps announcing the full layout whatever was accepted.
    EXPECT_EQ(plugin->effect()->numInputs, 4);
    EXPECT_EQ(plugin->effect()->numOutputs, 2);
  }
}

// A host may send anything; nothing may crash and each value must read back.
TEST_F(ParameterTest, HostileValuesAreStoredAndDisplayedSafely) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const float values[] = {std::numeric_limits<float>::quiet_NaN(), kInf, -kInf, -1.0f, 2.0f, 1e30f, -0.0f};
  std::vector<int32_t> indices;
  for (int32_t i = 0; i <= 40; ++i) indices.push_back(i);
  for (int32_t i : {41, 55, 56, 100, -1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
    indices.push_back(i);
  }

  for (float v : values) {
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    plugin->dispatch(vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin->dispatch(vst::effMainsChanged, 0, 1);
    for (int32_t i : indices) plugin->setParameter(i, v);

    for (int32_t i : indices) {
      // A host's buffer need not be clean: the text must end within the label length.
      char text[256];
      std::memset(text, 'U', sizeof text - 1);
      text[sizeof text - 1] = 0;
      plugin->dispatch(vst::effGetParamDisplay, i, 0, text);
      EXPECT_LE(strlen(text), 63u) << "value " << v << " index " << i;
    }
    for (int32_t i = 0; i < kNumParams; ++i) {
      EXPECT_TRUE(sameFloat(plugin->getParameter(i), v)) << "value " << v << " index " << i;
    }

    constexpr int kFrames = 1000;
    std::vector<float> in(4 * kFrames, 0.25f), out(2 * kFrames);
    float* ins[4] = {&in[0], &in[kFrames], &in[2 * kFrames], &in[3 * kFrames]};
    float* outs[2] = {&out[0], &out[kFrames]};
    plugin->processReplacing(ins, outs, kFrames);
    std::vector<double> din(4 * kFrames, 0.25), dout(2 * kFrames);
    double* dins[4] = {&din[0], &din[kFrames], &din[2 * kFrames], &din[3 * kFrames]};
    double* douts[2] = {&dout[0], &dout[kFrames]};
    plugin->processDoubleReplacing(dins, douts, kFrames);
    plugin->dispatch(vst::effMainsChanged, 0, 0);
    EXPECT_EQ(plugin->close(), 1);
  }
}

// Out-of-range Ratio values pick an end of the table: below 0 the neutral 1 : 1, above 1 the last step.
TEST_F(ParameterTest, RatioOutsideTheRangeSelectsATableEntry) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  struct Case {
    float raw;
    const char* text;
  };
  const Case cases[] = {{-1.0f, "1.00 : 1"}, {-kInf, "1.00 : 1"}, {2.0f, "64.00 : 1"}, {kInf, "64.00 : 1"},
                        {1e30f, "64.00 : 1"}};
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  for (const Case& c : cases) {
    plugin->setParameter(6, c.raw);
    EXPECT_EQ(display(*plugin, 6), c.text) << c.raw;
    EXPECT_TRUE(sameFloat(plugin->getParameter(6), c.raw)) << c.raw;
  }
  const std::set<std::string> steps = {"0.50 : 1", "0.59 : 1", "0.70 : 1", "0.77 : 1",  "0.83 : 1", "0.91 : 1",
                                       "1.00 : 1", "1.09 : 1", "1.20 : 1", "1.29 : 1",  "1.39 : 1", "1.68 : 1",
                                       "2.00 : 1", "2.37 : 1", "2.79 : 1", "3.36 : 1",  "4.00 : 1", "5.59 : 1",
                                       "8.00 : 1", "12.00 : 1", "64.00 : 1"};
  plugin->setParameter(6, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(steps.count(display(*plugin, 6)), 1u) << display(*plugin, 6);
  EXPECT_TRUE(std::isnan(plugin->getParameter(6)));
}

TEST_F(ParameterTest, NullSpeakerArrangementIsRefused) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  vst::VstSpeakerArrangement two{};
  two.numChannels = 2;
  EXPECT_EQ(plugin->dispatch(vst::effSetSpeakerArrangement, 0, 0, nullptr), 0);
  EXPECT_EQ(plugin->dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&two), nullptr), 0);
  EXPECT_EQ(plugin->dispatch(vst::effSetSpeakerArrangement, 0, 0, &two), 0);
}

}  // namespace
}  // namespace valdris_test
