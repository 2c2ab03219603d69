// The built orv-render run end to end on small generated files: alignment, state and
// parameter handling, formats, and every refused input.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tools/orv-render/audio_io.h"

namespace orv::render {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string slurp(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Deterministic test signal: a sine per channel plus a little noise, peak about -6 dBFS.
Planar music(int channels, int rate, double seconds) {
  const auto frames = static_cast<size_t>(seconds * rate);
  Planar audio(static_cast<size_t>(channels), std::vector<double>(frames));
  uint32_t noise = 12345;
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      noise = noise * 1664525u + 1013904223u;
      const double n = static_cast<double>(noise >> 8) / 16777216.0 - 0.5;
      audio[c][i] = 0.4 * std::sin(2.0 * M_PI * (220.0 + 110.0 * c) * static_cast<double>(i) / rate) + 0.1 * n;
    }
  }
  return audio;
}

void writeFile(const fs::path& path, const Planar& audio, int rate, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_24) {
  OutputFormat out{format, (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24 ? 24
                           : (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 16
                                                                             : 0};
  writeAudio(path.string(), audio, rate, out);
}

double maxDifference(const Planar& a, const Planar& b, int64_t shift = 0) {
  double worst = 0.0;
  for (size_t c = 0; c < a.size(); ++c) {
    for (size_t i = 0; i < a[c].size(); ++i) {
      const int64_t j = static_cast<int64_t>(i) + shift;
      const double other = j >= 0 && j < static_cast<int64_t>(b[c].size()) ? b[c][static_cast<size_t>(j)] : 0.0;
      worst = std::max(worst, std::fabs(a[c][i] - other));
    }
  }
  return worst;
}

class RenderCli : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(RENDER_TEST_TMP) / (std::string(info->test_suite_name()) + "." + info->name());
    for (char& c : const_cast<std::string&>(dir_.native())) {
      if (c == '<' || c == '>' || c == '*') c = '_';
    }
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  fs::path file(const std::string& name) const { return dir_ / name; }

  Outcome render(const std::vector<std::string>& args) {
    std::string command = quote(ORV_RENDER_PATH);
    for (const auto& a : args) command.append(" ").append(quote(a));
    command.append(" >").append(quote(file("stdout.txt").string()));
    command.append(" 2>").append(quote(file("stderr.txt").string())).append(" </dev/null");
    Outcome run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(file("stdout.txt"));
    run.err = slurp(file("stderr.txt"));
    fs::remove(file("stdout.txt"));
    fs::remove(file("stderr.txt"));
    return run;
  }

  // Files in the test folder other than those named: leftovers of a failed render.
  std::vector<std::string> filesBesides(const std::vector<std::string>& expected) const {
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
    }
    return extra;
  }

  fs::path dir_;
};

// ---- Latency compensation, per plug-in --------------------------------------------------

struct PluginCase {
  std::string name, path;
};

void PrintTo(const PluginCase& plugin, std::ostream* os) {
  *os << plugin.name;
}

std::vector<PluginCase> pluginsUnderTest() {
  std::vector<PluginCase> cases = {{"DelayFixture", DELAY_PLUGIN_PATH}};
  std::stringstream list(RENDER_PLUGINS);
  std::string item;
  while (std::getline(list, item, ',')) {
    const auto eq = item.find('=');
    cases.push_back({item.substr(0, eq), item.substr(eq + 1)});
  }
  return cases;
}

class RenderAlignment : public RenderCli, public ::testing::WithParamInterface<PluginCase> {};

// With the processing switched off (Power=0, or unity gain for the fixture) the output equals
// the input sample for sample, same length, whatever the block size and precision.
TEST_P(RenderAlignment, NeutralSettingReproducesTheInput) {
  const PluginCase& plugin = GetParam();
  const std::string neutral = plugin.name == "DelayFixture" ? "Gain=0.5" : "Power=0";
  const int rate = 44100;
  for (int channels : {1, 2}) {
    const Planar input = music(channels, rate, 1.0);
    writeFile(file("in.wav"), input, rate);
    const Audio stored = readAudio(file("in.wav").string());
    for (const auto& extra : std::vector<std::vector<std::string>>{{}, {"--block", "1000"}, {"--block", "7"}, {"--double"}}) {
      // Only Valdris announces 64-bit processing.
      if (plugin.name != "Valdris" && !extra.empty() && extra[0] == "--double") continue;
      std::vector<std::string> args = {plugin.path, file("in.wav").string(), file("out.wav").string(), "--set", neutral};
      args.insert(args.end(), extra.begin(), extra.end());
      const Outcome run = render(args);
      const std::string label = plugin.name + " " + std::to_string(channels) + " ch" + (extra.empty() ? "" : " " + extra[0]);
      ASSERT_EQ(run.status, 0) << label << ": " << run.err;
      const Audio out = readAudio(file("out.wav").string());
      ASSERT_EQ(out.channels.size(), stored.channels.size()) << label;
      ASSERT_EQ(out.frames(), stored.frames()) << label;
      const double error = maxDifference(stored.channels, out.channels);
      // 24-bit in, 24-bit out: the float path may move a sample by one step at most.
      EXPECT_LE(error, 1.0 / 8388608.0 + 1e-12) << label;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Plugins, RenderAlignment, ::testing::ValuesIn(pluginsUnderTest()),
                         [](const auto& info) { return info.param.name; });

// The side-chain file reaches inputs 3 and 4: with the main input silent the fixture's output
// is the side-chain signal, aligned like the main path.
TEST_F(RenderCli, SidechainFeedsInputsThreeAndFour) {
  const int rate = 48000;
  writeFile(file("silence.wav"), Planar(2, std::vector<double>(rate / 2, 0.0)), rate);
  const Planar side = music(1, rate, 0.5);
  writeFile(file("side.wav"), side, rate);
  const Outcome run = render({DELAY_PLUGIN_PATH, file("silence.wav").string(), file("out.wav").string(), "--sidechain",
                          file("side.wav").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const Audio out = readAudio(file("out.wav").string());
  const Audio expected = readAudio(file("side.wav").string());
  ASSERT_EQ(out.frames(), expected.frames());
  EXPECT_LE(maxDifference({expected.channels[0], expected.channels[0]}, out.channels), 1.0 / 8388608.0 + 1e-12);
}

// ---- State, presets and parameters -----------------------------------------------------

TEST_F(RenderCli, SavedStateReproducesTheRenderBitForBit) {
  writeFile(file("in.wav"), music(2, 44100, 1.0), 44100);
  const std::string in = file("in.wav").string();
  Outcome run = render({VALDRIS_PATH, in, file("a.wav").string(), "--preset", "3", "--set", "Threshold=0.3", "--set",
                    "Ratio=0.8", "--state-out", file("state.bin").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(fs::file_size(file("state.bin")), 2592u);
  run = render({VALDRIS_PATH, in, file("b.wav").string(), "--state-in", file("state.bin").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(slurp(file("a.wav")), slurp(file("b.wav")));

  // The restored instance shows the same settings, not just the same sound.
  const Outcome set = render({VALDRIS_PATH, "--list", "--preset", "3", "--set", "Threshold=0.3", "--set", "Ratio=0.8"});
  const Outcome restored = render({VALDRIS_PATH, "--list", "--state-in", file("state.bin").string()});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out, restored.out);
  EXPECT_NE(set.out.find("0.3000"), std::string::npos) << set.out;
}

// A state written on a machine of the other byte order loads (the plug-in converts it).
TEST_F(RenderCli, StateInTheOtherByteOrderLoads) {
  ASSERT_EQ(render({VALDRIS_PATH, "--list", "--set", "Threshold=0.25", "--state-out", file("le.bin").string()}).status, 0);
  std::string state = slurp(file("le.bin"));
  const auto swapWord = [&](size_t at) { std::swap(state[at], state[at + 3]), std::swap(state[at + 1], state[at + 2]); };
  for (size_t at = 4; at < 32; at += 4) swapWord(at);
  for (size_t preset = 0; preset < 16; ++preset) {
    for (size_t v = 0; v < 34; ++v) swapWord(32 + 160 * preset + 24 + 4 * v);
  }
  std::ofstream(file("be.bin"), std::ios::binary) << state;
  const Outcome a = render({VALDRIS_PATH, "--list", "--state-in", file("le.bin").string()});
  const Outcome b = render({VALDRIS_PATH, "--list", "--state-in", file("be.bin").string()});
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(a.out, b.out);
}

// By name (trimmed, any case) or by index: the same parameter, the same output.
TEST_F(RenderCli, SetByNameAndByIndexAgree) {
  writeFile(file("in.wav"), music(2, 44100, 1.0), 44100);
  const std::string in = file("in.wav").string();
  const Outcome byName = render({VALDRIS_PATH, in, file("a.wav").string(), "--set", " threshold =0.7", "--set", "RATIO=0.9"});
  const Outcome byIndex = render({VALDRIS_PATH, in, file("b.wav").string(), "--set", "5=0.7", "--set", "6=0.9"});
  ASSERT_EQ(byName.status, 0) << byName.err;
  ASSERT_EQ(byIndex.status, 0) << byIndex.err;
  EXPECT_EQ(slurp(file("a.wav")), slurp(file("b.wav")));
  const Outcome listName = render({VALDRIS_PATH, "--list", "--set", "threshold=0.7"});
  const Outcome listIndex = render({VALDRIS_PATH, "--list", "--set", "5=0.7"});
  EXPECT_EQ(listName.out, listIndex.out);
  EXPECT_NE(listName.out.find("Threshold    -19.26dB     0.7000"), std::string::npos) << listName.out;
}

TEST_F(RenderCli, PresetByNameAndByIndexAgree) {
  const Outcome all = render({VALDRIS_PATH, "--list"});
  ASSERT_EQ(all.status, 0) << all.err;
  const std::regex presetLine("\\n +5  ([^\\n]+)\\n");
  std::smatch m;
  const std::string presets = all.out.substr(all.out.find("Presets ("));
  ASSERT_TRUE(std::regex_search(presets, m, presetLine)) << all.out;
  const std::string name = m[1];
  const Outcome byIndex = render({VALDRIS_PATH, "--list", "--preset", "5"});
  const Outcome byName = render({VALDRIS_PATH, "--list", "--preset", name});
  ASSERT_EQ(byName.status, 0) << byName.err;
  EXPECT_EQ(byIndex.out, byName.out);
  EXPECT_NE(byName.out.find("5  " + name + "  (current)"), std::string::npos) << byName.out;
  EXPECT_NE(byName.out, all.out);
}

// ---- Formats and the report ------------------------------------------------------------

struct FormatCase {
  std::vector<std::string> options;
  std::string outName;
  int format;  // expected major | subtype
};

TEST_F(RenderCli, WritesTheRequestedFormatWithTheInputsLength) {
  writeFile(file("in.flac"), music(2, 48000, 0.5), 48000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  const FormatCase cases[] = {
      {{}, "same.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
      {{}, "ext.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {{"--bits", "24"}, "b24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
      {{"--bits", "float"}, "float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
      {{"--format", "wav", "--bits", "32"}, "forced.out", SF_FORMAT_WAV | SF_FORMAT_PCM_32},
      {{"--format", "ogg"}, "lossy.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {DELAY_PLUGIN_PATH, file("in.flac").string(), file(c.outName).string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Outcome run = render(args);
    ASSERT_EQ(run.status, 0) << c.outName << ": " << run.err;
    const Audio out = readAudio(file(c.outName).string());
    EXPECT_EQ(out.format, c.format) << c.outName;
    EXPECT_EQ(out.rate, 48000) << c.outName;
    EXPECT_EQ(out.frames(), 24000) << c.outName;
  }
}

// Twice the level of a -2.5 dBFS signal clips in 16 bits: counted, reported and warned of.
TEST_F(RenderCli, ClippingIsCountedAndWarned) {
  Planar loud = music(2, 44100, 0.5);
  for (auto& c : loud) {
    for (double& s : c) s *= 1.5;
  }
  writeFile(file("in.wav"), loud, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  const Outcome run = render({DELAY_PLUGIN_PATH, file("in.wav").string(), file("out.wav").string(), "--set", "Gain=1",
                          "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::regex clippedField("\"clipped_samples\": ([0-9]+)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.out, m, clippedField)) << run.out;
  EXPECT_GT(std::stoll(m[1]), 1000);
  EXPECT_NE(run.err.find("samples clipped on conversion to WAV 16-bit"), std::string::npos) << run.err;
}

// The report's loudness through the whole tool: EBU Tech 3341 case 1.
TEST_F(RenderCli, JsonReportsMinus23LufsForTheReferenceSine) {
  const int rate = 48000;
  Planar sine(2, std::vector<double>(static_cast<size_t>(10 * rate)));
  for (size_t i = 0; i < sine[0].size(); ++i) {
    sine[0][i] = sine[1][i] = std::pow(10.0, -23.0 / 20.0) * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i) / rate);
  }
  writeFile(file("sine.wav"), sine, rate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  const Outcome run = render({DELAY_PLUGIN_PATH, file("sine.wav").string(), file("out.wav").string(), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::regex lufs("\"input_levels\": \\{[^}]*\"integrated_lufs\": (-?[0-9.]+)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.out, m, lufs)) << run.out;
  EXPECT_NEAR(std::stod(m[1]), -23.0, 0.1);
}

TEST_F(RenderCli, PlotIsAPng) {
  writeFile(file("in.wav"), music(2, 44100, 1.0), 44100);
  const Outcome run = render({VALDRIS_PATH, file("in.wav").string(), file("out.wav").string(), "--plot",
                          file("plot.png").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(slurp(file("plot.png")).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

// ---- Settings in display units, and the settings a report records --------------------

struct UnitCase {
  std::string assignment;
  std::string name, display;  // as --list then shows the parameter
  double normalised;          // -1: not checked
};

// The listed line of a parameter, as --list writes it.
std::string listed(const std::string& out, const std::string& name) {
  const auto at = out.find("  " + name + " ");
  return at == std::string::npos ? "" : out.substr(at, out.find('\n', at) - at);
}

TEST_F(RenderCli, SetTakesValuesInDisplayUnits) {
  const UnitCase cases[] = {
      {"Threshold=-12dB", "Threshold", "-12.00dB", -1},
      {"Threshold = -12 dB", "Threshold", "-12.00dB", -1},
      {"Threshold=3dB", "Threshold", "3.00dB", -1},
      {"Threshold=0.5", "Threshold", "-12.04dB", 0.5},  // a bare number 0..1 stays normalised
      {"Ratio=4", "Ratio", "4.00 : 1", 0.8},
      {"ratio=4:1", "Ratio", "4.00 : 1", 0.8},
      {"Ratio=1:1", "Ratio", "1.00 : 1", 0.3},
      {"Attack=30ms", "Attack", "30.00ms", -1},
      {"Attack=0.03s", "Attack", "30.00ms", -1},
      {"Release=2500ms", "Release", "2.5s", -1},
      {"High=4kHz", "High", "4.00kHz", 0.5},
      {"Low=100Hz", "Low", "100Hz", 0.5},
      {"Mix=50%", "Mix", "50%", 0.5},
      {"Output=0dB", "Output", "0.00dB", 0.5},
      {"AutoRel=On", "AutoRel", "On", 1.0},
      {"Power=off", "Power", "Off", 0.0},
      {"AutoMakeup=On", "AutoMakeup", "AutoMakeup", 1.0},
      {"S.C.Ext=on", "S.C.Ext", "S.C.Ext", 1.0},
      {"Meters=GainRed", "Meters", "GainRed", 0.5},
      {"Tilt=C", "Tilt", "C", 0.5},
  };
  // In rounds that set each parameter once, to keep the runs few.
  std::vector<const UnitCase*> pending;
  for (const auto& c : cases) pending.push_back(&c);
  while (!pending.empty()) {
    std::vector<const UnitCase*> round, later;
    for (const auto* c : pending) {
      const bool taken = std::any_of(round.begin(), round.end(), [&](const auto* r) { return r->name == c->name; });
      (taken ? later : round).push_back(c);
    }
    std::vector<std::string> args = {VALDRIS_PATH, "--list"};
    for (const auto* c : round) args.insert(args.end(), {"--set", c->assignment});
    const Outcome run = render(args);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const auto* c : round) {
      const std::string line = listed(run.out, c->name);
      char expected[64];
      std::snprintf(expected, sizeof expected, "%-12s %-12s ", c->name.c_str(), c->display.c_str());
      EXPECT_NE(line.find(expected), std::string::npos) << c->assignment << ": " << line;
      if (c->normalised >= 0) {
        char value[16];
        std::snprintf(value, sizeof value, " %.4f", c->normalised);
        EXPECT_NE(line.find(value), std::string::npos) << c->assignment << ": " << line;
      }
    }
    pending = later;
  }
  // --list shows what there is to type.
  const Outcome list = render({VALDRIS_PATH, "--list"});
  EXPECT_NE(listed(list.out, "Threshold").find("6.02dB to -30.10dB"), std::string::npos) << list.out;
  EXPECT_NE(listed(list.out, "Ratio").find("0.50 : 1 to 64.00 : 1 in 21 steps"), std::string::npos) << list.out;
  EXPECT_NE(listed(list.out, "Meters").find("Pre | GainRed | Post"), std::string::npos) << list.out;
}

// Everything a render used is in its JSON, and those values render the same file again.
TEST_F(RenderCli, JsonRecordsEverySettingSoTheRenderRepeats) {
  writeFile(file("in.wav"), music(2, 44100, 0.5), 44100);
  const std::string in = file("in.wav").string();
  const Outcome first = render({VALDRIS_PATH, in, file("a.wav").string(), "--preset", "Gentle Master", "--set",
                                "Threshold=-12dB", "--set", "Ratio=4", "--json"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.out.find("\"preset\": {\"index\": 1, \"name\": \"Gentle Master\"}"), std::string::npos) << first.out;
  const std::regex overrideEntry(
      "\\{\"typed\": \"([^\"]*)\", \"index\": ([0-9]+), \"name\": \"([^\"]*)\", \"normalised\": ([0-9.e-]+), "
      "\"display\": \"([^\"]*)\"\\}");
  std::vector<std::string> again = {VALDRIS_PATH, in, file("b.wav").string(), "--preset", "1"};
  std::vector<std::string> displays;
  for (std::sregex_iterator m(first.out.begin(), first.out.end(), overrideEntry), end; m != end; ++m) {
    again.insert(again.end(), {"--set", (*m)[2].str() + "=" + (*m)[4].str()});
    displays.push_back((*m)[3].str() + " " + (*m)[5].str());
  }
  EXPECT_EQ(displays, (std::vector<std::string>{"Threshold -12.00dB", "Ratio 4.00 : 1"}));
  // Every named parameter, as rendered.
  const std::regex parameterEntry("\\{\"index\": [0-9]+, \"name\": \"[^\"]*\", \"normalised\": [0-9.e-]+, \"display\": ");
  const auto parameters = std::distance(std::sregex_iterator(first.out.begin(), first.out.end(), parameterEntry),
                                        std::sregex_iterator());
  EXPECT_EQ(parameters, 27) << first.out;  // every named parameter
  const Outcome second = render(again);
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(slurp(file("a.wav")), slurp(file("b.wav")));
}

// A 1 kHz tone 12 dB under the threshold, then 12 dB over it, through a 4:1 hard-knee peak
// compressor with 6 dB of make-up: the quiet half must show no reduction and the loud half
// 12 dB x (1 - 1/4) = 9 dB, and the output's step must be the input's 32 dB less those 9.
TEST_F(RenderCli, GainReductionOfALoudQuietStep) {
  const int rate = 44100;
  Planar step(2, std::vector<double>(static_cast<size_t>(4 * rate)));
  for (size_t i = 0; i < step[0].size(); ++i) {
    const double amplitude = std::pow(10.0, (i < static_cast<size_t>(2 * rate) ? -32.0 : 0.0) / 20.0) * 0.5;  // -6 dBFS loud
    step[0][i] = step[1][i] = amplitude * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i) / rate);
  }
  writeFile(file("step.wav"), step, rate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  const Outcome run = render({VALDRIS_PATH, file("step.wav").string(), file("out.wav").string(), "--json", "--set",
                              "Threshold=-18.02dB", "--set", "Ratio=4:1", "--set", "Soft=Off", "--set", "RMS=Off", "--set",
                              "Limiter=Off", "--set", "FAT=Off", "--set", "Attack=1ms", "--set", "AutoAttck=Off", "--set",
                              "Release=0.1s", "--set", "AutoRel=Off", "--set", "Makeup=6dB", "--set", "AutoMakeup=Off",
                              "--set", "High=16kHz", "--set", "Low=25Hz", "--set", "Mix=100%", "--set", "Output=0dB"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto field = [&](const std::string& name) {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(run.out, m, std::regex("\"" + name + "\": (-?[0-9.]+)"))) << name << ": " << run.out;
    return m.empty() ? std::nan("") : std::stod(m[1]);
  };
  EXPECT_NEAR(field("static_gain_db"), 6.0, 0.05);
  const double deepest = field("deepest_db");
  EXPECT_NEAR(deepest, -9.0, 0.3);
  EXPECT_GE(field("deepest_at_s"), 2.0);

  // The step in the output file, from the middle of each half.
  const Audio out = readAudio(file("out.wav").string());
  const auto rmsDb = [&](double from, double to) {
    double sum = 0.0;
    const auto a = static_cast<size_t>(from * rate), b = static_cast<size_t>(to * rate);
    for (size_t i = a; i < b; ++i) sum += out.channels[0][i] * out.channels[0][i];
    return 10.0 * std::log10(sum / static_cast<double>(b - a));
  };
  const double outputStep = rmsDb(2.5, 3.9) - rmsDb(0.5, 1.9);
  EXPECT_NEAR(outputStep, 32.0 + deepest, 0.3);
}

// A file cut short renders with --allow-short-input, with a warning naming both lengths.
TEST_F(RenderCli, AllowShortInputRendersWhatIsThere) {
  writeFile(file("in.wav"), music(2, 44100, 0.2), 44100);
  const std::string wav = slurp(file("in.wav"));
  std::ofstream(file("cut.wav"), std::ios::binary) << wav.substr(0, wav.find("data") + 8 + 6 * 1000);
  const Outcome run = render({DELAY_PLUGIN_PATH, file("cut.wav").string(), file("out.wav").string(), "--allow-short-input"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("warning: " + file("cut.wav").string() + " holds 1000 frames of the 8820 its header promises"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(readAudio(file("out.wav").string()).frames(), 1000);
}

// A side-chain file the plug-in would ignore is rendered, with a word on the setting.
TEST_F(RenderCli, SidechainWhileTheExternalSideChainIsOffWarns) {
  writeFile(file("in.wav"), music(2, 44100, 0.2), 44100);
  const std::string in = file("in.wav").string(), out = file("out.wav").string();
  const Outcome off = render({VALDRIS_PATH, in, out, "--sidechain", in});
  ASSERT_EQ(off.status, 0) << off.err;
  EXPECT_NE(off.err.find("warning: the plug-in ignores --sidechain while its external side-chain is off; turn it on "
                         "with --set \"S.C.Ext=On\""),
            std::string::npos)
      << off.err;
  const Outcome on = render({VALDRIS_PATH, in, out, "--sidechain", in, "--set", "S.C.Ext=On"});
  ASSERT_EQ(on.status, 0) << on.err;
  EXPECT_EQ(on.err, "");
}

// ---- Refused input ---------------------------------------------------------------------

struct BadCase {
  const char* label;
  std::vector<std::string> args;  // IN is "in.wav", OUT is "out.wav" in the test folder
  const char* error;              // regular expression for the one line on stderr
};

TEST_F(RenderCli, BadInputGivesOneLineAndNoOutput) {
  writeFile(file("in.wav"), music(2, 44100, 0.2), 44100);
  writeFile(file("three.wav"), music(3, 44100, 0.2), 44100);
  writeFile(file("side48k.wav"), music(2, 48000, 0.2), 48000);
  std::ofstream(file("text.wav")) << "this is not audio\n";
  std::ofstream(file("fake.so")) << "not a module\n";
  std::ofstream(file("short.bin"), std::ios::binary) << std::string(100, '\0');
  // Cut inside the samples, as `head -c` does, and cut right after the header.
  const std::string wav = slurp(file("in.wav"));
  const size_t samples = wav.find("data") + 8;  // 24-bit stereo: 6 bytes a frame
  std::ofstream(file("cut.wav"), std::ios::binary) << wav.substr(0, samples + 6 * 1000 + 4);
  std::ofstream(file("header.wav"), std::ios::binary) << wav.substr(0, samples);
  writeFile(file("empty.wav"), Planar(2), 44100);
  writeFile(file("whole.aiff"), music(2, 44100, 0.2), 44100, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
  const std::string aiff = slurp(file("whole.aiff"));
  std::ofstream(file("cut.aiff"), std::ios::binary) << aiff.substr(0, aiff.find("SSND") + 16 + 4 * 500);
  // A FLAC file's length is only known to fall short once decoding stops early.
  writeFile(file("whole.flac"), music(2, 44100, 0.2), 44100, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  const std::string flac = slurp(file("whole.flac"));
  std::ofstream(file("cut.flac"), std::ios::binary) << flac.substr(0, flac.size() / 2);
  fs::create_symlink("in.wav", file("link.wav"));
  ASSERT_EQ(render({VALDRIS_PATH, "--list", "--state-out", file("state.bin").string()}).status, 0);
  // The other product's identifier, as written on a little- and on a big-endian machine.
  std::string state = slurp(file("state.bin"));
  std::string otherLe = state, otherBe = state;
  otherLe.replace(4, 4, "m4kZ");
  otherBe.replace(4, 4, "Zk4m");
  for (size_t at : {8, 12}) std::reverse(otherBe.begin() + at, otherBe.begin() + at + 4);
  std::ofstream(file("other_le.bin"), std::ios::binary) << otherLe;
  std::ofstream(file("other_be.bin"), std::ios::binary) << otherBe;
  const std::vector<std::string> inputs = {"in.wav",    "three.wav", "side48k.wav",  "text.wav",     "fake.so",
                                           "short.bin", "state.bin", "other_le.bin", "other_be.bin", "cut.wav",
                                           "header.wav", "empty.wav", "link.wav",     "whole.aiff",   "cut.aiff",
                                           "whole.flac", "cut.flac"};

  const std::string in = file("in.wav").string(), out = file("out.wav").string();
  const std::string V = VALDRIS_PATH;
  const BadCase cases[] = {
      {"missing input", {V, file("absent.wav").string(), out}, "absent\\.wav: no such file$"},
      {"not audio", {V, file("text.wav").string(), out}, "text\\.wav: not an audio file"},
      {"three channels", {V, file("three.wav").string(), out}, "has 3 channels; only mono and stereo"},
      {"missing plug-in", {file("none.so").string(), in, out}, "none\\.so: no such file$"},
      {"not a module", {file("fake.so").string(), in, out}, "fake\\.so: cannot load the plug-in"},
      {"null record", {NULL_PLUGIN_PATH, in, out}, "the entry point returned no effect record$"},
      {"unknown parameter", {V, in, out, "--set", "Treshold=0.5"},
       "unknown parameter \"Treshold\"; did you mean \"Threshold\"\\?$"},
      {"parameter index", {V, in, out, "--set", "99=0.5"}, "no parameter 99; the plug-in has parameters 0 to 33$"},
      {"switch value", {V, in, out, "--set", "Power=1.5"},
       "Power=1\\.5: not one of its values; Power takes Off \\| On, or 0\\.\\.1 normalised$"},
      {"word value", {V, in, out, "--set", "Meters=Loud"}, "Meters takes Pre \\| GainRed \\| Post, or 0\\.\\.1 normalised$"},
      {"beyond the range", {V, in, out, "--set", "Threshold=-40dB"},
       "Threshold=-40dB: outside the range; Threshold takes 6\\.02dB to -30\\.10dB, or 0\\.\\.1 normalised$"},
      {"between steps", {V, in, out, "--set", "Ratio=3"},
       "Ratio=3: no setting shows it \\(nearest 2\\.79 : 1 and 3\\.36 : 1\\); Ratio takes 0\\.50 : 1 to 64\\.00 : 1 in 21 steps"},
      {"wrong unit", {V, in, out, "--set", "Attack=30dB"}, "Attack=30dB: its unit is ms, not dB"},
      {"spare slot", {V, in, out, "--set", "30=5"}, "parameter 30 shows no value; set it with a normalised value 0\\.\\.1$"},
      {"no value", {V, in, out, "--set", "Mix="}, "--set Mix has no value$"},
      {"no equals sign", {V, in, out, "--set", "Power"}, "--set expects NAME=VALUE"},
      {"unknown preset", {V, in, out, "--preset", "Gentle Mastr"}, "unknown preset \"Gentle Mastr\"; did you mean "},
      {"preset index", {V, in, out, "--preset", "16"}, "no preset 16; the plug-in has presets 0 to 15$"},
      {"missing state", {V, in, out, "--state-in", file("absent.bin").string()}, "absent\\.bin: no such file$"},
      {"state size", {V, in, out, "--state-in", file("short.bin").string()}, "has 2592 bytes, this one has 100$"},
      {"other product (LE)", {V, in, out, "--state-in", file("other_le.bin").string()},
       "state of another product \\(Zk4m\\), this plug-in is Tq8w$"},
      {"other product (BE)", {V, in, out, "--state-in", file("other_be.bin").string()},
       "state of another product \\(Zk4m\\), this plug-in is Tq8w$"},
      {"no 64-bit processing", {DELAY_PLUGIN_PATH, in, out, "--double"}, "cannot process 64-bit samples"},
      {"side-chain rate", {V, in, out, "--sidechain", file("side48k.wav").string()}, "48000 Hz differs from the input's 44100 Hz$"},
      {"block 0", {V, in, out, "--block", "0"}, "--block must be 1\\.\\.8192"},
      {"block too large", {V, in, out, "--block", "8193"}, "--block must be 1\\.\\.8192"},
      {"bits", {V, in, out, "--bits", "12"}, "unknown --bits '12'"},
      {"format", {V, in, out, "--format", "mp3"}, "unknown --format 'mp3'"},
      {"flac bits", {V, in, file("out.flac").string(), "--bits", "32"}, "FLAC holds 16 or 24 bits"},
      {"unknown option", {V, in, out, "--louder"}, "unknown option --louder$"},
      {"missing OUT", {V, in}, "expected PLUGIN.so IN OUT"},
      {"output folder missing", {V, in, file("nowhere/out.wav").string()}, "nowhere/out\\.wav: cannot create a file in"},
      {"output is the input", {V, in, in}, "in\\.wav: the output would replace the input .*in\\.wav \\(the same file\\)"},
      {"output through ./", {V, in, (dir_ / "." / "in.wav").string()}, "the output would replace the input"},
      {"output spelt otherwise", {V, in, (dir_ / ".." / dir_.filename() / "in.wav").string()}, "the output would replace the input"},
      {"output a symlink to the input", {V, in, file("link.wav").string()}, "the output would replace the input"},
      {"input a symlink to the output", {V, file("link.wav").string(), in}, "the output would replace the input"},
      {"plot onto the input", {V, in, out, "--plot", in}, "the plot would replace the input"},
      {"plot onto the output", {V, in, out, "--plot", (dir_ / "." / "out.wav").string()},
       "the plot and the output .*out\\.wav name the same file"},
      {"state onto the plug-in", {DELAY_PLUGIN_PATH, in, out, "--state-out", DELAY_PLUGIN_PATH}, "the state would replace the plug-in"},
      {"truncated WAV", {V, file("cut.wav").string(), out},
       "cut\\.wav: holds 1000 frames but its header promises 8820; the file is cut short \\(--allow-short-input renders"},
      {"truncated AIFF", {V, file("cut.aiff").string(), out}, "cut\\.aiff: holds 500 frames but its header promises 8820"},
      {"truncated FLAC", {V, file("cut.flac").string(), out},
       "cut\\.flac: reading stopped after [0-9]+ frames of the 8820 its header promises; the file is cut short"},
      {"header only, cut", {V, file("header.wav").string(), out}, "header\\.wav: no audio frames \\(the header promises 8820 frames, none follow\\)$"},
      {"header only, empty", {V, file("empty.wav").string(), out}, "empty\\.wav: no audio frames"},
  };
  for (const auto& c : cases) {
    const Outcome run = render(c.args);
    EXPECT_NE(run.status, 0) << c.label;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.label << ": " << run.err;
    EXPECT_TRUE(run.err.starts_with("orv-render: ")) << c.label << ": " << run.err;
    EXPECT_TRUE(std::regex_search(run.err.substr(0, run.err.find('\n')), std::regex(c.error)))
        << c.label << ": " << run.err;
    EXPECT_TRUE(run.out.empty()) << c.label << ": " << run.out;
    EXPECT_EQ(filesBesides(inputs), std::vector<std::string>{}) << c.label;
  }
  EXPECT_EQ(slurp(file("in.wav")), wav) << "the input changed";
}

}  // namespace
}  // namespace orv::render
