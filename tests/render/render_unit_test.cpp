// orv-render's measurements, name matching and sample conversion, checked in-process on
// signals whose levels are known exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>

#include "tools/orv-render/analysis.h"
#include "tools/orv-render/audio_io.h"
#include "tools/orv-render/display_values.h"
#include "tools/orv-render/error.h"
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

// The definition, plainly: every interpolated point over the signal padded with silence.
double plainTruePeak(const std::vector<double>& x) {
  const auto& taps = truePeakTaps();
  const auto n = static_cast<int64_t>(x.size());
  const auto at = [&](int64_t i) { return i >= 0 && i < n ? x[static_cast<size_t>(i)] : 0.0; };
  double peak = 0.0;
  for (int64_t k = -8; k < n + 8; ++k) {
    peak = std::max(peak, std::fabs(at(k)));
    for (int p = 1; p < 4; ++p) {
      double y = 0.0;
      for (int t = 0; t < 16; ++t) y += at(k + t - 7) * taps[p][t];
      peak = std::max(peak, std::fabs(y));
    }
  }
  return peak;
}

// Noise with hard edges and a burst near each end, where the padding and the piece joins matter.
std::vector<double> edgy(size_t n, uint32_t seed) {
  std::vector<double> x(n);
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    x[i] = (i < 40 || i + 40 >= n ? 0.9 : 0.2) * noise;
  }
  return x;
}

// Fed whole or in pieces of any size, the meter finds what the plain definition finds.
TEST(RenderLevels, TruePeakInPiecesMatchesThePlainDefinition) {
  for (size_t n : {1u, 5u, 17u, 31u, 1000u, 20000u}) {
    const std::vector<double> x = edgy(n, static_cast<uint32_t>(n));
    const double expected = plainTruePeak(x);
    EXPECT_DOUBLE_EQ(truePeak(x), expected) << n << " samples";
    for (size_t piece : {1u, 7u, 32u, 8193u}) {
      TruePeakMeter meter;
      for (size_t at = 0; at < n; at += piece) meter.add(x.data() + at, std::min(piece, n - at));
      EXPECT_DOUBLE_EQ(meter.finish(), expected) << n << " samples in pieces of " << piece;
    }
  }
}

// Every level, and the gain change, come out the same however the frames are cut up.
TEST(RenderLevels, MetersFedInPiecesAgreeWithTheWholeSignal) {
  const int rate = 8000;
  Planar audio = sine(2, rate, 4.0, 440.0, 0.5);
  audio[1] = edgy(audio[1].size(), 7);
  const Levels whole = measureLevels(audio, rate);
  const GainReduction wholeGain = measureGainReduction(audio, audio, rate);
  std::vector<double> interleaved;
  for (size_t i = 0; i < audio[0].size(); ++i) interleaved.insert(interleaved.end(), {audio[0][i], audio[1][i]});
  LevelMeter meter(2, rate);
  GainReductionMeter gain(rate, 2, 2);
  const size_t frames = audio[0].size();
  // Input and output at different paces, as the render thread and the reader deliver them.
  for (size_t at = 0, piece = 1; at < frames; at += piece, piece = piece * 3 + 1) {
    const size_t n = std::min(piece, frames - at);
    meter.add(interleaved.data() + 2 * at, n);
    gain.addInput(interleaved.data() + 2 * at, n);
  }
  for (size_t at = 0; at < frames; at += 999) gain.addOutput(interleaved.data() + 2 * at, std::min<size_t>(999, frames - at));
  const Levels pieces = meter.finish();
  EXPECT_DOUBLE_EQ(pieces.samplePeakDb, whole.samplePeakDb);
  EXPECT_DOUBLE_EQ(pieces.truePeakDb, whole.truePeakDb);
  EXPECT_NEAR(pieces.rmsDb, whole.rmsDb, 1e-9);
  EXPECT_DOUBLE_EQ(pieces.integratedLufs, whole.integratedLufs);
  EXPECT_DOUBLE_EQ(pieces.loudnessRangeLu, whole.loudnessRangeLu);
  const GainReduction g = gain.finish(0.0);
  ASSERT_EQ(g.db.size(), wholeGain.db.size());
  ASSERT_EQ(g.db.size(), 40u);
  for (size_t w = 0; w < g.db.size(); ++w) EXPECT_NEAR(g.db[w], 0.0, 1e-9) << "window " << w;
}

// The short-term series against libebur128's own reading every 100 ms, on a signal whose
// level and spectrum change (a tone, noise, a step), mono and stereo, at two rates.
TEST(RenderLevels, ShortTermLoudnessMatchesLibebur128) {
  for (int rate : {44100, 48000}) {
    for (int channels : {1, 2}) {
      Planar audio = sine(channels, rate, 6.0, 997.0, 0.3);
      const std::vector<double> noise = edgy(audio[0].size(), 99);
      for (size_t i = 0; i < audio[0].size(); ++i) {
        const double g = i < audio[0].size() / 2 ? 1.0 : 0.1;
        audio[0][i] = g * (audio[0][i] + 0.5 * noise[i]);
      }
      const Levels levels = measureLevels(audio, rate);
      ebur128_state* st = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), EBUR128_MODE_S);
      const auto window = static_cast<size_t>(rate / 10);
      std::vector<double> piece;
      for (size_t w = 0; w * window < audio[0].size(); ++w) {
        piece.clear();
        for (size_t i = w * window; i < (w + 1) * window && i < audio[0].size(); ++i) {
          for (int c = 0; c < channels; ++c) piece.push_back(audio[static_cast<size_t>(c)][i]);
        }
        ebur128_add_frames_double(st, piece.data(), piece.size() / static_cast<size_t>(channels));
        double expected = 0.0;
        ebur128_loudness_shortterm(st, &expected);
        ASSERT_LT(w, levels.shortTermLufs.size());
        EXPECT_NEAR(levels.shortTermLufs[w], expected, 0.01) << rate << " Hz, " << channels << " ch, window " << w;
      }
      EXPECT_EQ(levels.shortTermLufs.size(), 60u);
      ebur128_destroy(&st);
    }
  }
}

TEST(RenderLevels, SilenceHasNoLevels) {
  const Levels levels = measureLevels(Planar(2, std::vector<double>(48000, 0.0)), 48000);
  EXPECT_TRUE(std::isinf(levels.samplePeakDb) && levels.samplePeakDb < 0);
  EXPECT_TRUE(std::isinf(levels.truePeakDb) && levels.truePeakDb < 0);
  EXPECT_TRUE(std::isinf(levels.integratedLufs) && levels.integratedLufs < 0);
  EXPECT_EQ(levels.loudnessRangeLu, 0.0);
}

// A plug-in with 6.02 dB of make-up that halves the second second: the static gain comes out,
// leaving 0 dB, then -6.02 dB, then 0 dB; a silent input has none, and a rise above the static
// gain is kept apart instead of showing as positive reduction.
TEST(RenderGainReduction, TakesTheStaticGainOutAndFindsTheDeepestWindow) {
  const int rate = 10000;
  Planar input = sine(2, rate, 4.0, 100.0, 0.25);
  for (auto& c : input) std::fill(c.begin() + 2 * rate, c.begin() + 3 * rate, 0.0);  // third second silent
  Planar output = input;
  for (auto& c : output) {
    for (double& s : c) s *= 2.0;
    for (int i = rate; i < 2 * rate; ++i) c[i] *= 0.5;
    std::fill(c.begin() + 2 * rate, c.begin() + 3 * rate, 0.25);  // noise out of silence: no ratio to speak of
    for (int i = 3 * rate + rate / 2; i < 4 * rate; ++i) c[i] *= 1.5;  // expansion
  }
  const GainReduction gain = measureGainReduction(input, output, rate, 20.0 * std::log10(2.0));
  ASSERT_EQ(gain.db.size(), 40u);
  ASSERT_TRUE(gain.any);
  EXPECT_NEAR(gain.deepestDb, -6.02, 0.01);
  EXPECT_NEAR(gain.deepestAtSeconds, 1.0, 1e-9);
  EXPECT_NEAR(gain.db[5], 0.0, 1e-9);
  EXPECT_NEAR(gain.db[15], -6.02, 0.01);
  EXPECT_TRUE(std::isnan(gain.db[25]));
  EXPECT_EQ(gain.db[37], 0.0);
  EXPECT_NEAR(gain.aboveStaticDb, 3.52, 0.01);
  EXPECT_GE(gain.aboveStaticAtSeconds, 3.5 - 1e-9);  // any window of the last half second
  for (double g : gain.db) EXPECT_FALSE(g > 0.0);
  // Ten windows at -6.02 among 30 that count.
  EXPECT_NEAR(gain.averageDb, -6.02 / 3, 0.01);
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
  EXPECT_NE(json.find("\"deepest_db\": null"), std::string::npos) << json;
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

// A display written the way the products write theirs: the value rounded to a float, then cut
// (not rounded) to its decimals, the unit straight after.
std::string cutDisplay(double value, int decimals, const char* unit) {
  const double scale = std::pow(10.0, decimals);
  const double cut = std::trunc(static_cast<double>(static_cast<float>(value)) * scale) / scale;
  char text[64];
  std::snprintf(text, sizeof text, "%s%.*f%s", cut == 0.0 && value < 0.0 ? "-" : "", decimals, std::fabs(cut) == 0.0 ? 0.0 : cut, unit);
  return text;
}

struct ScaleCase {
  std::string typed;
  double physical;  // the value the chosen setting must have
};

// Rising and falling, through zero and not: the value chosen is the one that is exactly what
// was typed, not merely one that shows the same text.
TEST(RenderDisplayValues, FindTheSettingWhoseValueIsWhatWasTyped) {
  const auto gain = [](float v) { return 24.0 * v - 12.0; };      // -12..12 dB, rising
  const auto threshold = [](float v) { return 6.0 - 36.0 * v; };  // 6..-30 dB, falling
  const auto time = [](float v) { return 0.1 * std::pow(100.0, v); };  // 0.1..10 s
  const struct {
    const char* name;
    std::function<double(float)> physical;
    int decimals;
    const char* unit;
    std::vector<ScaleCase> cases;
  } parameters[] = {
      {"Gain", gain, 2, "dB", {{"-6dB", -6.0}, {"6 dB", 6.0}, {"0dB", 0.0}, {"11.5", 11.5}, {"-12.0dB", -12.0}}},
      {"Threshold", threshold, 2, "dB", {{"3dB", 3.0}, {"-12dB", -12.0}, {"-29.99", -29.99}, {"6dB", 6.0}}},
      {"Release", time, 1, "s", {{"2.5s", 2.5}, {"300ms", 0.3}, {"10s", 10.0}}},
  };
  for (const auto& p : parameters) {
    ParameterScale scale(p.name, [&](float v) { return cutDisplay(p.physical(v), p.decimals, p.unit); });
    for (const auto& c : p.cases) {
      const float v = scale.valueFor(c.typed);
      // Within a float step of the exact value, far inside the display's last digit.
      EXPECT_NEAR(p.physical(v), c.physical, 1e-4 * std::max(1.0, std::fabs(c.physical))) << p.name << "=" << c.typed;
    }
  }
}

TEST(RenderDisplayValues, RangesAndRefusals) {
  ParameterScale gain("Gain", [](float v) { return cutDisplay(24.0 * v - 12.0, 2, "dB"); });
  EXPECT_EQ(gain.range(), "-12.00dB to 12.00dB");
  ParameterScale steps("Steps", [](float v) { return cutDisplay(std::min(std::trunc(4.0 * v), 3.0) * 2.0, 1, " x"); });
  EXPECT_EQ(steps.range(), "0.0 x to 6.0 x in 4 steps");
  EXPECT_EQ(steps.valueFor("4x"), 0.5f);
  ParameterScale mode("Mode", [](float v) { return std::string(v < 0.33f ? "Pre" : v < 0.66f ? "GainRed" : "Post"); });
  EXPECT_EQ(mode.range(), "Pre | GainRed | Post");
  EXPECT_EQ(mode.valueFor("gainred"), 0.5f);
  ParameterScale toggle("Auto", [](float v) { return std::string(v >= 0.5f ? "AutoMakeup" : "Off"); });
  EXPECT_EQ(toggle.valueFor("On"), 1.0f);
  EXPECT_EQ(toggle.valueFor("off"), 0.0f);

  const struct {
    const ParameterScale& scale;
    const char* typed;
    const char* error;
  } refusals[] = {
      {gain, "13dB", "Gain=13dB: outside the range; Gain takes -12.00dB to 12.00dB, or 0..1 normalised"},
      {gain, "3ms", "Gain=3ms: its unit is dB, not ms; Gain takes -12.00dB to 12.00dB, or 0..1 normalised"},
      {gain, "loud", "Gain=loud: not a value of this parameter; Gain takes -12.00dB to 12.00dB, or 0..1 normalised"},
      {steps, "3x", "Steps=3x: no setting shows it (nearest 2.0 x and 4.0 x); Steps takes 0.0 x to 6.0 x in 4 steps, or 0..1 normalised"},
      {mode, "Peak", "Mode=Peak: not one of its values; Mode takes Pre | GainRed | Post, or 0..1 normalised"},
  };
  for (const auto& r : refusals) {
    try {
      r.scale.valueFor(r.typed);
      ADD_FAILURE() << r.typed << " accepted";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), r.error);
    }
  }
}

TEST(RenderDisplayValues, ReadNumbersAndUnits) {
  const auto n = parseDisplayNumber(" 4.00 : 1 ");
  ASSERT_TRUE(n);
  EXPECT_EQ(n->value, 4.0);
  EXPECT_EQ(n->decimals, 2);
  EXPECT_EQ(n->unit, ": 1");
  EXPECT_EQ(parseDisplayNumber("-0.00dB")->value, 0.0);
  EXPECT_FALSE(parseDisplayNumber("C"));
  EXPECT_FALSE(parseDisplayNumber("dB 3"));
  EXPECT_EQ(parsePlainNumber(" 0.5 "), 0.5);
  EXPECT_FALSE(parsePlainNumber("0.5dB"));
  EXPECT_FALSE(parsePlainNumber("nan"));
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
