// orv-render's measurements, name matching and sample conversion, checked in-process on
// signals whose levels are known exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tools/orv-render/analysis.h"
#include "tools/orv-render/audio_io.h"
#include "tools/orv-render/text_match.h"

namespace orv::render {
namespace {

Planar sine(int channels, int rate, double seconds, double hz, double amplitude, double phase = 0.0) {
  const auto frames = static_cast<size_t>(seconds * rate);
  Planar audio(static_cast<size_t>(channels), std::vector<double>(frames));
  for (size_t i = 0; i < frames; ++i) {
    const double s = amplitude * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate + phase);
    for (auto& c : audio) c[i] = s;
  }
  return audio;
}

double fromDb(double db) {
  return std::pow(10.0, db / 20.0);
}

// EBU Tech 3341, case 1: stereo 1 kHz sine at -23 dBFS peak reads -23.0 LUFS.
TEST(RenderLevels, StereoSineAtMinus23dBFSReadsMinus23Lufs) {
  for (int rate : {44100, 48000}) {
    const Levels levels = measureLevels(sine(2, rate, 20.0, 1000.0, fromDb(-23.0)), rate);
    EXPECT_NEAR(levels.integratedLufs, -23.0, 0.1) << rate << " Hz";
    EXPECT_NEAR(levels.samplePeakDb, -23.0, 0.01);
    EXPECT_NEAR(levels.rmsDb, -23.0 - 3.01, 0.01);  // sine RMS is peak / sqrt 2
    EXPECT_NEAR(levels.loudnessRangeLu, 0.0, 0.1);  // constant loudness
  }
}

// A sine at a quarter of the sample rate sampled 45 degrees off its crests: every sample
// sits at 0.707 of the peak, so the sample peak is 3 dB low and the true peak is not.
// Faded in and out: an abrupt start rings above the steady peak, in any interpolator.
TEST(RenderLevels, TruePeakFindsThePeakBetweenSamples) {
  Planar audio = sine(1, 48000, 1.0, 12000.0, 0.5, M_PI / 4);
  const size_t fade = 4800, n = audio[0].size();
  for (size_t i = 0; i < fade; ++i) {
    const double g = 0.5 - 0.5 * std::cos(M_PI * static_cast<double>(i) / fade);
    audio[0][i] *= g;
    audio[0][n - 1 - i] *= g;
  }
  const Levels levels = measureLevels(audio, 48000);
  EXPECT_NEAR(levels.samplePeakDb, -6.02 - 3.01, 0.01);
  EXPECT_NEAR(levels.truePeakDb, -6.02, 0.1);
}

TEST(RenderLevels, SilenceHasNoLevels) {
  const Levels levels = measureLevels(Planar(2, std::vector<double>(48000, 0.0)), 48000);
  EXPECT_TRUE(std::isinf(levels.samplePeakDb) && levels.samplePeakDb < 0);
  EXPECT_TRUE(std::isinf(levels.truePeakDb) && levels.truePeakDb < 0);
  EXPECT_TRUE(std::isinf(levels.integratedLufs) && levels.integratedLufs < 0);
  EXPECT_EQ(levels.loudnessRangeLu, 0.0);
}

// Half the amplitude over the second second: -6.02 dB there, 0 dB before; silent windows of
// the input count for nothing.
TEST(RenderGainChange, FindsTheWindowWithTheLargestChange) {
  const int rate = 10000;
  Planar input = sine(2, rate, 3.0, 100.0, 0.5);
  for (auto& c : input) std::fill(c.begin() + 2 * rate, c.end(), 0.0);  // third second silent
  Planar output = input;
  for (auto& c : output) {
    for (int i = rate; i < 2 * rate; ++i) c[i] *= 0.5;
    std::fill(c.begin() + 2 * rate, c.end(), 0.25);  // noise out of silence: no ratio to speak of
  }
  const GainChange gain = measureGainChange(input, output, rate);
  ASSERT_EQ(gain.db.size(), 30u);
  ASSERT_TRUE(gain.any);
  EXPECT_NEAR(gain.minDb, -6.02, 0.01);
  EXPECT_NEAR(gain.minAtSeconds, 1.0, 1e-9);
  EXPECT_NEAR(gain.maxDb, 0.0, 0.01);
  EXPECT_NEAR(gain.db[5], 0.0, 0.01);
  EXPECT_NEAR(gain.db[15], -6.02, 0.01);
  EXPECT_TRUE(std::isnan(gain.db[25]));
}

TEST(RenderReport, JsonCarriesLevelsAndWritesSilenceAsNull) {
  Report report;
  report.plugin = "Orv \"Test\"";
  report.rate = 48000;
  report.channels = 2;
  report.frames = 48000;
  report.input.integratedLufs = -23.04;
  report.output.integratedLufs = -std::numeric_limits<double>::infinity();
  const std::string json = formatJson(report);
  EXPECT_NE(json.find("\"plugin\": \"Orv \\\"Test\\\"\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"input_levels\": {\"sample_peak_dbfs\": 0.00, \"true_peak_dbtp\": 0.00, \"rms_dbfs\": 0.00, "
                      "\"integrated_lufs\": -23.04"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"integrated_lufs\": null"), std::string::npos) << json;
  EXPECT_NE(json.find("\"largest_db\": null"), std::string::npos) << json;
}

struct QuantizeCase {
  double sample;
  int bits;
  int32_t word;
  uint64_t clipped;
};

// Rounded to the nearest step (no dither), shifted to the top of the word; beyond full scale
// clipped and counted; +1.0 itself is one step beyond the largest positive code.
TEST(RenderQuantize, RoundsClipsAndCounts) {
  const QuantizeCase cases[] = {
      {0.5, 16, 16384 << 16, 0},
      {-1.0, 16, INT32_MIN, 0},
      {1.0, 16, 32767 << 16, 1},
      {1.7, 24, 8388607 << 8, 1},
      {-1.2, 24, INT32_MIN, 1},
      {0.75 / 32768.0, 16, 1 << 16, 0},   // 0.75 of a step rounds up
      {0.25 / 32768.0, 16, 0, 0},         // 0.25 of a step rounds down
      {-0.5, 32, -(1 << 30), 0},
      {std::numeric_limits<double>::quiet_NaN(), 16, 0, 1},  // a broken sample becomes silence
      {-3.0 / 128.0, 8, -3 << 24, 0},
  };
  for (const auto& c : cases) {
    uint64_t clipped = 0;
    EXPECT_EQ(quantize(c.sample, c.bits, clipped), c.word) << c.sample << " at " << c.bits << " bits";
    EXPECT_EQ(clipped, c.clipped) << c.sample << " at " << c.bits << " bits";
  }
}

TEST(RenderNames, MatchTrimmedIgnoringCase) {
  const std::vector<std::string> names = {" Power ", " FAT ", " Threshold ", "AutoAttck", " - "};
  EXPECT_EQ(findName(names, "power"), 0);
  EXPECT_EQ(findName(names, " THRESHOLD"), 2);
  EXPECT_EQ(findName(names, "autoattck"), 3);
  EXPECT_EQ(findName(names, "Thresh"), -1);
}

TEST(RenderNames, SuggestCloseNamesFirst) {
  const std::vector<std::string> names = {" Power ", " Ratio ", " Threshold ", " Release ", " AutoRel ", " - "};
  EXPECT_EQ(suggestion(names, "Treshold"), "; did you mean \"Threshold\"?");
  EXPECT_EQ(suggestion(names, "thresh"), "; did you mean \"Threshold\"?");
  EXPECT_EQ(suggestion(names, "Ratoi"), "; did you mean \"Ratio\"?");
  EXPECT_EQ(suggestion(names, "Releas"), "; did you mean \"Release\"?");
  EXPECT_EQ(suggestion(names, "Xylophone"), "");
  EXPECT_EQ(suggestion(names, "-"), "");  // spare slots are never offered
  EXPECT_EQ(editDistance("kitten", "sitting"), 3);
  EXPECT_EQ(editDistance("", "abc"), 3);
}

TEST(RenderNames, IndexIsAPlainNumberWithinLimit) {
  EXPECT_EQ(parseIndex("0", 33), 0);
  EXPECT_EQ(parseIndex("33", 33), 33);
  EXPECT_EQ(parseIndex("34", 33), -1);
  EXPECT_EQ(parseIndex("-1", 33), -1);
  EXPECT_EQ(parseIndex("1e1", 33), -1);
  EXPECT_EQ(parseIndex("", 33), -1);
}

}  // namespace
}  // namespace orv::render
