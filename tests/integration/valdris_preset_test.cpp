// The 16 presets and the chunk a host saves with its projects: names, the
// byte layout, the refusals, foreign byte order and how parameter changes
// land in the table.
#include <algorithm>

#include "valdris_support.h"

namespace valdris_test {
namespace {

using PresetTest = ValdrisTest;
using ChunkTest = ValdrisTest;

TEST_F(PresetTest, FactoryNamesByIndex) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  for (int32_t k = 0; k < kNumPresets; ++k) {
    char text[256] = {};
    EXPECT_EQ(plugin->dispatch(vst::effGetProgramNameIndexed, k, -1, text), 1) << k;
    EXPECT_STREQ(text, kFactoryNames[k]) << k;
  }
  for (int32_t k : {16, 100, -1}) {
    char text[256] = {};
    EXPECT_EQ(plugin->dispatch(vst::effGetProgramNameIndexed, k, 0, text), 0) << k;
  }
  EXPECT_EQ(plugin->getString(vst::effGetProgramName), "Default");
  EXPECT_EQ(plugin->dispatch(vst::effGetProgram), 0);
}

TEST_F(PresetTest, ProgramNameKeepsTwentyFourCharacters) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  std::string longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
  EXPECT_EQ(plugin->dispatch(vst::effSetProgramName, 0, 0, longName.data()), 0);
  EXPECT_EQ(plugin->getString(vst::effGetProgramName), "ABCDEFGHIJKLMNOPQRSTUVWX");
  EXPECT_EQ(plugin->getString(vst::effGetProgramNameIndexed, 0), "ABCDEFGHIJKLMNOPQRSTUVWX");
  Chunk c = getChunk(*plugin);
  ASSERT_EQ(c.size(), kChunkSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&c[kPresetsOffset]), kNameSize), "ABCDEFGHIJKLMNOPQRSTUVWX");

  std::string shortName = "Hi";
  plugin->dispatch(vst::effSetProgramName, 0, 0, shortName.data());
  EXPECT_EQ(plugin->getString(vst::effGetProgramName), "Hi");
  c = getChunk(*plugin);
  EXPECT_EQ(presetName(c, 0), "Hi");
  // The rest of the field is cleared, not left over from the long name.
  EXPECT_TRUE(std::all_of(&c[kPresetsOffset + 2], &c[kPresetsOffset + kNameSize], [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(presetName(c, 1), "Gentle Master");
}

TEST_F(ChunkTest, LayoutOfANewInstance) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const Chunk c = getChunk(*plugin);
  ASSERT_EQ(c.size(), kChunkSize);
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(c[1], 0);
  EXPECT_EQ(c[2], 0);
  EXPECT_EQ(c[3], 1);
  EXPECT_EQ(readI32(c, 4), kUniqueId);
  EXPECT_EQ(readI32(c, 8), 16);
  EXPECT_EQ(readI32(c, 12), 0);
  EXPECT_TRUE(std::all_of(&c[16], &c[32], [](uint8_t b) { return b == 0; }));
  for (int k = 0; k < kNumPresets; ++k) {
    EXPECT_EQ(presetName(c, k), kFactoryNames[k]) << k;
    for (int i = 27; i < kNumParams; ++i) EXPECT_EQ(presetValue(c, k, i), 0.0f) << k << "/" << i;
  }
  // The host's isPreset flag changes nothing.
  void* data = nullptr;
  EXPECT_EQ(plugin->dispatch(vst::effGetChunk, 1, 0, &data), static_cast<intptr_t>(kChunkSize));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::memcmp(data, c.data(), kChunkSize), 0);
  // The live engine runs preset 0.
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(plugin->getParameter(i), presetValue(c, 0, i)) << i;
}

// Switch states in the order 0 1 2 3 4 8 10 12 13 15 17 18 24 25 26.
struct FactoryDisplay {
  const char* switches;
  const char* texts[12];  // Threshold Ratio Attack Release Makeup High Low Link Tilt Mix Output Meters
};
const FactoryDisplay kFactory[16] = {
    {"100000000000000",
     {"-0.00dB", "1.00 : 1", "3.16ms", "1.0s", "-0.00dB", "16.00kHz", "25Hz", "50%", "C", "100%", "0.00dB", " GainRed "}},
    {"101100000000001",
     {"-21.07dB", "1.20 : 1", "3.16ms", "1.0s", "2.88dB", "16.00kHz", "25Hz", "50%", "C", "100%", "0.00dB", " GainRed "}},
    {"101111110000001",
     {"-12.04dB", "1.20 : 1", "3.16ms", "1.0s", "-0.00dB", "16.00kHz", "62Hz", "65%", "C", "100%", "1.92dB", " GainRed "}},
    {"101111110000001",
     {"-14.93dB", "2.37 : 1", "562.34ms", "6.3s", "-0.00dB", "16.00kHz", "65Hz", "75%", "C", "100%", "0.00dB",
      " GainRed "}},
    {"101111110000001",
     {"-17.09dB", "4.00 : 1", "316.22ms", "3.1s", "-0.00dB", "16.00kHz", "25Hz", "75%", "C", "100%", "0.00dB",
      " GainRed "}},
    {"101100110000001",
     {"-6.01dB", "0.70 : 1", "1.00ms", "0.2s", "-0.00dB", "16.00kHz", "70Hz", "75%", "C", "80%", "0.00dB", " GainRed "}},
    {"101100110000001",
     {"-9.15dB", "0.50 : 1", "1.00ms", "0.2s", "1.08dB", "16.00kHz", "70Hz", "75%", "C", "80%", "0.00dB", " GainRed "}},
    {"100010010000001",
     {"-11.67dB", "5.59 : 1", "3.16ms", "0.1s", "-0.00dB", "2.51kHz", "42Hz", "50%", "C", "85%", "0.00dB", " GainRed "}},
    {"101100110000001",
     {"-18.07dB", "1.20 : 1", "3.16ms", "1.0s", "-0.00dB", "16.00kHz", "25Hz", "75%", "C", "80%", "0.00dB", " GainRed "}},
    {"101110110000001",
     {"-12.04dB", "0.70 : 1", "0.46ms", "1.0s", "-0.00dB", "16.00kHz", "25Hz", "75%", "C", "80%", "0.00dB", " GainRed "}},
    {"101100110000001",
     {"-18.07dB", "2.37 : 1", "0.46ms", "1.0s", "-3.01dB", "16.00kHz", "100Hz", "50%", "C", "65%", "0.00dB", " GainRed "}},
    {"101100100000001",
     {"-3.00dB", "2.37 : 1", "0.46ms", "0.3s", "-0.00dB", "16.00kHz", "25Hz", "50%", "C", "100%", "0.00dB", " GainRed "}},
    {"101011110000001",
     {"-3.00dB", "0.70 : 1", "0.17ms", "0.3s", "-0.00dB", "16.00kHz", "25Hz", "50%", "C", "100%", "0.00dB", " GainRed "}},
    {"100010010000000",
     {"-22.87dB", "64.00 : 1", "0.10ms", "0.3s", "2.40dB", "16.00kHz", "25Hz", "50%", "C", "100%", "0.00dB", " GainRed "}},
    {"100010010000000",
     {"-24.68dB", "64.00 : 1", "0.00ms", "0.2s", "-5.53dB", "16.00kHz", "25Hz", "50%", "C", "55%", "3.61dB", " GainRed "}},
    {"100001110100000",
     {"-6.62dB", "4.00 : 1", "0.10ms", "0.2s", "-0.01dB", "1.00kHz", "70Hz", "75%", "C", "100%", "0.00dB", " GainRed "}},
};

TEST_F(PresetTest, FactoryPresetsDisplayOnceSelected) {
  const int32_t switchIndices[15] = {0, 1, 2, 3, 4, 8, 10, 12, 13, 15, 17, 18, 24, 25, 26};
  const int32_t textIndices[12] = {5, 6, 7, 9, 11, 14, 16, 19, 20, 21, 22, 23};
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const Chunk factory = getChunk(*plugin);
  ASSERT_EQ(factory.size(), kChunkSize);
  for (int32_t k = 0; k < kNumPresets; ++k) {
    ASSERT_EQ(selectViaChunk(*plugin, factory, k), 0) << k;
    EXPECT_EQ(plugin->getString(vst::effGetProgramName), kFactoryNames[k]) << k;
    std::string switches;
    for (int32_t i : switchIndices) switches += plugin->getParameter(i) >= 0.5f ? '1' : '0';
    EXPECT_EQ(switches, kFactory[k].switches) << k;
    for (int t = 0; t < 12; ++t) {
      EXPECT_EQ(display(*plugin, textIndices[t]), kFactory[k].texts[t]) << "preset " << k << " index " << textIndices[t];
    }
    for (int32_t i = 27; i < kNumParams; ++i) EXPECT_EQ(plugin->getParameter(i), 0.0f) << k << "/" << i;
  }
}

// A table whose every preset differs from every other, so a value in the
// wrong slot or a missed copy shows.
Chunk distinctTable(const Chunk& base) {
  Chunk c = base;
  for (int k = 0; k < kNumPresets; ++k) {
    setPresetName(c, k, "Slot " + std::to_string(k));
    for (int i = 0; i < kNumParams; ++i) setPresetValue(c, k, i, static_cast<float>(k * kNumParams + i + 1) / 1024.0f);
    setPresetValue(c, k, 0, 1.0f);  // Power on: it is shared by all presets
  }
  return c;
}

TEST_F(ChunkTest, RoundTripIntoANewInstance) {
  auto first = load();
  ASSERT_NE(first, nullptr);
  const Chunk table = distinctTable(getChunk(*first));
  ASSERT_EQ(selectViaChunk(*first, table, 9), 0);
  first->setParameter(5, 0.123f);
  std::string renamed = "Renamed";
  first->dispatch(vst::effSetProgramName, 0, 0, renamed.data());
  const Chunk saved = getChunk(*first);
  ASSERT_EQ(saved.size(), kChunkSize);

  auto second = load();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(setChunk(*second, saved), 0);
  EXPECT_EQ(getChunk(*second), saved);
  EXPECT_EQ(second->getString(vst::effGetProgramName), "Renamed");
  for (int32_t i = 0; i <= 40; ++i) {
    EXPECT_EQ(second->getParameter(i), first->getParameter(i)) << i;
    EXPECT_EQ(display(*second, i), display(*first, i)) << i;
  }
  // Loading its own chunk again changes nothing.
  EXPECT_EQ(setChunk(*second, getChunk(*second)), 0);
  EXPECT_EQ(getChunk(*second), saved);
}

TEST_F(ChunkTest, RefusedAndPartialLoads) {
  struct Case {
    const char* what;
    void (*edit)(Chunk&);
    size_t size;  // bytes announced to the plug-in
    intptr_t result;
    bool replacesTable;
    bool selects;
  };
  const Case cases[] = {
      {"valid, selects 7", [](Chunk&) {}, kChunkSize, 0, true, true},
      {"one byte short", [](Chunk&) {}, kChunkSize - 1, -1, false, false},
      {"one byte long", [](Chunk& c) { c.push_back(0); }, kChunkSize + 1, -1, false, false},
      {"empty", [](Chunk&) {}, 0, -1, false, false},
      {"other product's id", [](Chunk& c) { writeI32(c, 4, vst::fourCC('Z', 'k', '4', 'm')); }, kChunkSize, -1, false,
       false},
      {"count 15", [](Chunk& c) { writeI32(c, 8, 15); }, kChunkSize, -1, false, false},
      {"count 17", [](Chunk& c) { writeI32(c, 8, 17); }, kChunkSize, -1, false, false},
      {"count 0", [](Chunk& c) { writeI32(c, 8, 0); }, kChunkSize, -1, false, false},
      {"marker in little-endian order", [](Chunk& c) { c[0] = 1, c[3] = 0; }, kChunkSize, 0, false, false},
      {"marker 2", [](Chunk& c) { c[3] = 2; }, kChunkSize, 0, false, false},
      {"current index 16", [](Chunk& c) { writeI32(c, 12, 16); }, kChunkSize, 0, true, false},
      {"current index -1", [](Chunk& c) { writeI32(c, 12, -1); }, kChunkSize, 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    const Chunk before = getChunk(*plugin);
    ASSERT_EQ(before.size(), kChunkSize);
    Chunk candidate = distinctTable(before);
    writeI32(candidate, 12, 7);
    c.edit(candidate);
    if (candidate.size() < c.size) candidate.resize(c.size);

    EXPECT_EQ(plugin->dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(c.size), candidate.data()), c.result);

    const Chunk after = getChunk(*plugin);
    ASSERT_EQ(after.size(), kChunkSize);
    EXPECT_EQ(readI32(after, 12), c.selects ? 7 : 0);
    for (int k = 0; k < kNumPresets; ++k) {
      EXPECT_EQ(presetName(after, k), c.replacesTable ? "Slot " + std::to_string(k) : kFactoryNames[k]) << k;
      const Chunk& source = c.replacesTable ? candidate : before;
      EXPECT_EQ(std::memcmp(&after[valueOffset(k, 0)], &source[valueOffset(k, 0)], 4 * kNumParams), 0) << k;
    }
    EXPECT_EQ(plugin->getString(vst::effGetProgramName), c.selects ? "Slot 7" : (c.replacesTable ? "Slot 0" : "Default"));
    // The engine keeps running what it ran unless a preset was selected.
    for (int i = 1; i < kNumParams; ++i) {
      EXPECT_EQ(plugin->getParameter(i), c.selects ? presetValue(candidate, 7, i) : presetValue(before, 0, i)) << i;
    }
  }
}

TEST_F(ChunkTest, NullDataIsRefused) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const Chunk before = getChunk(*plugin);
  EXPECT_EQ(plugin->dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(kChunkSize), nullptr), -1);
  EXPECT_EQ(getChunk(*plugin), before);
}

uint32_t swapped(uint32_t v) { return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24); }
void swapWord(Chunk& c, size_t offset) {
  uint32_t v;
  std::memcpy(&v, &c[offset], 4);
  v = swapped(v);
  std::memcpy(&c[offset], &v, 4);
}

TEST_F(ChunkTest, BigEndianChunkLoadsTheSameValues) {
  auto source = load();
  ASSERT_NE(source, nullptr);
  Chunk native = distinctTable(getChunk(*source));
  writeI32(native, 12, 5);
  setPresetName(native, 3, "ABCD");  // a name that would change if it were swapped

  Chunk foreign = native;
  for (size_t offset = 4; offset < kPresetsOffset; offset += 4) swapWord(foreign, offset);
  for (int k = 0; k < kNumPresets; ++k) {
    for (int i = 0; i < kNumParams; ++i) swapWord(foreign, valueOffset(k, i));
  }
  ASSERT_NE(foreign, native);

  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(setChunk(*plugin, foreign), 0);
  EXPECT_EQ(getChunk(*plugin), native);
  EXPECT_EQ(plugin->getString(vst::effGetProgramName), "Slot 5");
  EXPECT_EQ(plugin->getString(vst::effGetProgramNameIndexed, 3), "ABCD");
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(plugin->getParameter(i), presetValue(native, 5, i)) << i;

  // The identifier alone swapped does not make a chunk foreign.
  Chunk halfSwapped = native;
  swapWord(halfSwapped, 4);
  EXPECT_EQ(setChunk(*plugin, halfSwapped), -1);
}

TEST_F(ChunkTest, ParameterChangesLandInTheCurrentPreset) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const Chunk table = distinctTable(getChunk(*plugin));
  ASSERT_EQ(selectViaChunk(*plugin, table, 9), 0);

  plugin->setParameter(5, 0.123f);
  plugin->setParameter(30, 0.7f);  // spare slots are preset contents too
  plugin->setParameter(34, 0.9f);  // not a preset slot
  plugin->setParameter(36, 0.9f);  // meter setting: kept outside the presets
  plugin->setParameter(41, 0.9f);
  plugin->setParameter(-1, 0.9f);

  Chunk expected = table;
  writeI32(expected, 12, 9);
  setPresetValue(expected, 9, 5, 0.123f);
  setPresetValue(expected, 9, 30, 0.7f);
  EXPECT_EQ(getChunk(*plugin), expected);
}

TEST_F(ChunkTest, PowerIsSharedByAllPresets) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  Chunk table = distinctTable(getChunk(*plugin));
  ASSERT_EQ(selectViaChunk(*plugin, table, 4), 0);

  plugin->setParameter(0, 0.0f);
  Chunk c = getChunk(*plugin);
  for (int k = 0; k < kNumPresets; ++k) EXPECT_EQ(presetValue(c, k, 0), 0.0f) << k;
  plugin->setParameter(0, 0.75f);
  c = getChunk(*plugin);
  for (int k = 0; k < kNumPresets; ++k) EXPECT_EQ(presetValue(c, k, 0), 0.75f) << k;
  for (int k = 0; k < kNumPresets; ++k) {
    for (int i = 1; i < kNumParams; ++i) ASSERT_EQ(presetValue(c, k, i), presetValue(table, k, i)) << k << "/" << i;
  }
}

// Applying a preset is not an edit: it must not write into the table, so
// selecting a preset with Power off leaves the others' Power as it was.
TEST_F(ChunkTest, SelectingAPresetWritesNothingBack) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  Chunk table = distinctTable(getChunk(*plugin));
  setPresetValue(table, 4, 0, 0.0f);
  writeI32(table, 12, 4);
  ASSERT_EQ(setChunk(*plugin, table), 0);
  EXPECT_EQ(getChunk(*plugin), table);
  EXPECT_EQ(plugin->getParameter(0), 0.0f);
}

// Changing the ratio re-applies the engine's tilt through the full setter,
// so the tilt the engine runs lands in the current preset as well.
TEST_F(ChunkTest, RatioChangeRewritesTheRunningTilt) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  plugin->setParameter(20, 0.3f);
  Chunk table = getChunk(*plugin);
  setPresetValue(table, 0, 20, 0.8f);
  writeI32(table, 12, 16);  // replace the table without applying preset 0
  ASSERT_EQ(setChunk(*plugin, table), 0);
  ASSERT_EQ(presetValue(getChunk(*plugin), 0, 20), 0.8f);

  plugin->setParameter(6, 0.9f);
  const Chunk c = getChunk(*plugin);
  EXPECT_EQ(presetValue(c, 0, 6), 0.9f);
  EXPECT_EQ(presetValue(c, 0, 20), 0.3f);
  EXPECT_EQ(plugin->getParameter(20), 0.3f);
}

}  // namespace
}  // namespace valdris_test
