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
  ASSERT_EQ(render({VALDRIS_PATH, "--list", "--state-out", file("state.bin").string()}).status, 0);
  // The other product's identifier, as written on a little- and on a big-endian machine.
  std::string state = slurp(file("state.bin"));
  std::string otherLe = state, otherBe = state;
  otherLe.replace(4, 4, "m4kZ");
  otherBe.replace(4, 4, "Zk4m");
  for (size_t at : {8, 12}) std::reverse(otherBe.begin() + at, otherBe.begin() + at + 4);
  std::ofstream(file("other_le.bin"), std::ios::binary) << otherLe;
  std::ofstream(file("other_be.bin"), std::ios::binary) << otherBe;
  const std::vector<std::string> inputs = {"in.wav",  "three.wav",    "side48k.wav",  "text.wav", "fake.so",
                                           "short.bin", "state.bin", "other_le.bin", "other_be.bin"};

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
      {"value above 1", {V, in, out, "--set", "Power=1.5"}, "value 1.5 for Power is outside 0..1$"},
      {"value below 0", {V, in, out, "--set", "Power=-0.1"}, "outside 0..1$"},
      {"value not a number", {V, in, out, "--set", "Power=on"}, "\"on\" for Power is not a number$"},
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
}

}  // namespace
}  // namespace orv::render
