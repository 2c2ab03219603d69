// orv-render PLUGIN.so IN OUT [options]: masters an audio file offline through a VST 2.4
// plug-in, with the plug-in's latency compensated, and reports the levels before and after.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tools/orv-render/analysis.h"
#include "tools/orv-render/audio_io.h"
#include "tools/orv-render/error.h"
#include "tools/orv-render/pipeline.h"
#include "tools/orv-render/plot.h"
#include "tools/orv-render/session.h"
#include "tools/orv-render/static_gain.h"
#include "tools/orv-render/text_match.h"

namespace {

using namespace orv::render;

constexpr int kChunkFrames = 16384;  // frames per chunk between the threads, rounded up to whole blocks

constexpr const char* kUsage =
    "usage: orv-render PLUGIN.so IN OUT [options]\n"
    "       orv-render PLUGIN.so --list [--state-in FILE] [--preset P] [--set NAME=VALUE]...\n"
    "\n"
    "Renders IN (WAV, AIFF, FLAC, Ogg; mono or stereo) through the plug-in into OUT, with the\n"
    "plug-in's latency compensated so OUT lines up with IN sample for sample, then prints a report.\n"
    "\n"
    "  --preset NAME|INDEX   select one of the plug-in's presets\n"
    "  --set NAME=VALUE      set a parameter by name or index (repeatable); VALUE in the units the\n"
    "                        plug-in displays (Threshold=-12dB, Ratio=4:1, Attack=30ms, AutoRel=On;\n"
    "                        --list shows each range) or a bare number 0..1, taken as normalised\n"
    "  --state-in FILE       load the plug-in state (chunk) before the presets and parameters\n"
    "  --state-out FILE      save the plug-in state after them\n"
    "  --sidechain FILE      feed FILE to the side-chain inputs (3 and 4)\n"
    "  --allow-short-input   render a file that holds fewer frames than its header promises\n"
    "  --list                print parameters with their display texts and ranges, and the presets\n"
    "  --format FMT          output container: wav, aiff, flac or ogg (default: OUT's extension,\n"
    "                        else the input's)\n"
    "  --bits B              output samples: 16, 24, 32 or float (default: as the input)\n"
    "  --double              process 64-bit samples\n"
    "  --block N             block size, 1..8192 (default 64)\n"
    "  --json                print the report as JSON\n"
    "  --plot FILE.png       draw levels, short-term loudness, true-peak overs and gain reduction\n"
    "  --quiet               no progress bar\n"
    "  --timing              print the time of each stage on stderr\n";

struct Options {
  std::vector<std::string> positional;
  std::optional<std::string> preset, stateIn, stateOut, sidechain, format, bits, plot;
  std::vector<std::string> sets;
  bool list = false, json = false, useDouble = false, quiet = false, timing = false, allowShort = false;
  int block = 64;
};

Options parse(int argc, char** argv) {
  Options o;
  const auto valueOf = [&](int& i, const std::string& arg, const std::string& name) -> std::optional<std::string> {
    if (arg == name) {
      if (i + 1 >= argc) throw UsageError(name + " needs a value");
      return std::string(argv[++i]);
    }
    if (arg.starts_with(name + "=")) return arg.substr(name.size() + 1);
    return std::nullopt;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (arg == "--list") o.list = true;
    else if (arg == "--json") o.json = true;
    else if (arg == "--double") o.useDouble = true;
    else if (arg == "--quiet") o.quiet = true;
    else if (arg == "--timing") o.timing = true;
    else if (arg == "--allow-short-input") o.allowShort = true;
    else if (auto v = valueOf(i, arg, "--preset")) o.preset = v;
    else if (auto v = valueOf(i, arg, "--set")) o.sets.push_back(*v);
    else if (auto v = valueOf(i, arg, "--state-in")) o.stateIn = v;
    else if (auto v = valueOf(i, arg, "--state-out")) o.stateOut = v;
    else if (auto v = valueOf(i, arg, "--sidechain")) o.sidechain = v;
    else if (auto v = valueOf(i, arg, "--format")) o.format = v;
    else if (auto v = valueOf(i, arg, "--bits")) o.bits = v;
    else if (auto v = valueOf(i, arg, "--plot")) o.plot = v;
    else if (auto v = valueOf(i, arg, "--block")) {
      const long n = parseIndex(*v, 8192);
      if (n < 1) throw UsageError("--block must be 1..8192, got \"" + *v + "\"");
      o.block = static_cast<int>(n);
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option " + arg);
    } else {
      o.positional.push_back(arg);
    }
  }
  const size_t wanted = o.list ? 1 : 3;
  if (o.positional.size() != wanted) {
    throw UsageError(o.list ? "--list takes only PLUGIN.so" : "expected PLUGIN.so IN OUT (see --help)");
  }
  return o;
}

volatile int interrupted = 0;

void onSignal(int) {
  if (interrupted) {  // a second request: leave now
    removePendingFiles();
    _exit(130);
  }
  interrupted = 1;
}

class ProgressBar {
 public:
  explicit ProgressBar(bool shown, double seconds) : shown_(shown), seconds_(seconds) {}
  void update(double done) {
    if (!shown_) return;
    const int width = 40;
    const int filled = static_cast<int>(done * width);
    char bar[width + 1];
    for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '-';
    bar[width] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%  %.1f / %.1f s", bar, static_cast<int>(done * 100), done * seconds_, seconds_);
    std::fflush(stderr);
  }
  void finish() {
    if (shown_) std::fputs("\r\033[K", stderr);
  }

 private:
  bool shown_;
  double seconds_;
};

struct Applied {
  std::optional<PresetChoice> preset;
  std::vector<Setting> overrides;
};

Applied applySettings(Session& session, const Options& o) {
  Applied applied;
  if (o.stateIn) session.loadState(*o.stateIn);
  if (o.preset) applied.preset = session.selectPreset(*o.preset);
  for (const auto& assignment : o.sets) applied.overrides.push_back(session.setParameter(assignment));
  return applied;
}

// Where a file will be: the file itself when it exists, else its folder and name, so that
// two spellings of one path (./x, a/../x, a symlink) are found equal.
struct Place {
  std::optional<FileId> file, folder;
  std::string name;
  bool operator==(const Place& other) const {
    return file ? file == other.file : !other.file && folder && folder == other.folder && name == other.name;
  }
};

Place placeOf(const std::string& path) {
  Place place;
  place.file = fileId(path);
  if (!place.file) {
    const std::filesystem::path p(path);
    place.folder = fileId(p.has_parent_path() ? p.parent_path().string() : ".");
    place.name = p.filename().string();
  }
  return place;
}

// Every output is renamed onto its path at the end: one that is also an input, or another
// output, would replace it. Compared by device and inode, not by spelling.
void checkDistinctFiles(const Options& o) {
  struct Named {
    std::string role, path;
  };
  std::vector<Named> inputs = {{"the plug-in", o.positional[0]}};
  std::vector<Named> outputs;
  if (!o.list) {
    inputs.push_back({"the input", o.positional[1]});
    outputs.push_back({"the output", o.positional[2]});
  }
  if (o.sidechain) inputs.push_back({"the side-chain file", *o.sidechain});
  if (o.plot) outputs.push_back({"the plot", *o.plot});
  // Writing the state back over the state it started from is an update, and allowed.
  if (o.stateOut) outputs.push_back({"the state", *o.stateOut});
  for (size_t i = 0; i < outputs.size(); ++i) {
    const Place out = placeOf(outputs[i].path);
    for (const auto& in : inputs) {
      const auto id = fileId(in.path);
      if (id && out.file && *id == *out.file) {
        throw Error(outputs[i].path + ": " + outputs[i].role + " would replace " + in.role + " " + in.path +
                    " (the same file); choose another name");
      }
    }
    for (size_t j = 0; j < i; ++j) {
      if (placeOf(outputs[j].path) == out) {
        throw Error(outputs[i].path + ": " + outputs[i].role + " and " + outputs[j].role + " " + outputs[j].path +
                    " name the same file; choose another name");
      }
    }
  }
}

void writeState(Session& session, const std::string& path, PendingFile& pending) {
  const auto state = session.saveState();
  if (state.empty()) throw Error("the plug-in gave no state to save");
  std::ofstream file(pending.path(), std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(state.data()), static_cast<std::streamsize>(state.size()));
  file.close();
  if (!file) throw Error(path + ": cannot write");
}

int run(const Options& o) {
  checkDistinctFiles(o);
  using Clock = std::chrono::steady_clock;
  const auto seconds = [](Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); };
  const std::string& pluginPath = o.positional[0];

  if (o.list) {
    Session session(pluginPath);
    session.setSampleRate(44100.0);
    session.setBlockSize(o.block);
    applySettings(session, o);
    std::optional<PendingFile> state;
    if (o.stateOut) {
      state.emplace(*o.stateOut);
      writeState(session, *o.stateOut, *state);
    }
    std::fputs(session.listing().c_str(), stdout);
    if (state) state->commit();
    return 0;
  }

  const std::string& inPath = o.positional[1];
  const std::string& outPath = o.positional[2];
  const auto t0 = Clock::now();
  AudioReader input(inPath, o.allowShort);
  std::optional<AudioReader> sidechain;
  if (o.sidechain) {
    sidechain.emplace(*o.sidechain, o.allowShort);
    if (sidechain->rate() != input.rate()) {
      throw Error(*o.sidechain + ": sample rate " + std::to_string(sidechain->rate()) + " Hz differs from the input's " +
                  std::to_string(input.rate()) + " Hz");
    }
  }
  const int channels = input.channels();
  const OutputFormat outFormat = chooseOutputFormat(outPath, input.format(), input.rate(), channels, o.format, o.bits);

  Session session(pluginPath);
  session.setSampleRate(input.rate());
  session.setBlockSize(o.block);
  const Applied applied = applySettings(session, o);
  if (sidechain) {
    const auto sw = session.sidechainSwitch();
    if (sw && lower(sw->display) == "off") {
      std::fprintf(stderr,
                   "orv-render: warning: the plug-in ignores --sidechain while its external side-chain is off; "
                   "turn it on with --set \"%s=On\"\n",
                   sw->name.c_str());
    }
  }
  // The static gain, on a second instance with the same settings.
  StaticGain staticGain;
  {
    Session probe(pluginPath);
    probe.setSampleRate(input.rate());
    probe.setBlockSize(o.block);
    session.copySettingsTo(probe);
    const int sideChannels = sidechain ? sidechain->channels() : 0;
    staticGain = measureStaticGain(probe, input.rate(), channels, sideChannels, o.block, o.useDouble);
  }
  const auto t1 = Clock::now();

  // Everything is written beside its target and renamed only once all of it succeeded.
  PendingFile audioOut(outPath);
  RenderPipeline::Setup setup;
  setup.input = &input;
  setup.sidechain = sidechain ? &*sidechain : nullptr;
  setup.outputPath = audioOut.path();
  setup.format = outFormat;
  // Chunks of whole blocks, so the plug-in sees the same blocks as from one long buffer.
  setup.chunkFrames = static_cast<size_t>(o.block) * ((kChunkFrames + o.block - 1) / o.block);
  setup.envelopes = o.plot.has_value();
  RenderPipeline pipeline(setup);

  const double duration = static_cast<double>(input.headerFrames()) / input.rate();
  ProgressBar bar(!o.quiet && isatty(STDERR_FILENO) && duration > 5.0, duration);
  Session::Options renderOptions;
  renderOptions.block = o.block;
  renderOptions.useDouble = o.useDouble;
  renderOptions.expectedFrames = input.headerFrames();
  renderOptions.progress = [&](double done) { bar.update(done); };
  renderOptions.interrupted = &interrupted;
  Session::Result rendered;
  RenderPipeline::Measured measured;
  try {
    rendered = session.render(pipeline, channels, sidechain ? sidechain->channels() : 0, renderOptions);
    bar.finish();
    measured = pipeline.finish(staticGain.db);
  } catch (...) {
    bar.finish();
    throw;
  }
  const auto t2 = Clock::now();

  Report report;
  report.plugin = session.effectName();
  report.inputPath = inPath;
  report.outputPath = outPath;
  report.outputFormat = describeFormat(outFormat.format);
  report.preset = applied.preset;
  report.stateIn = o.stateIn.value_or("");
  report.overrides = applied.overrides;
  report.settings = session.settings();
  report.staticGainMethod = staticGain.method;
  report.rate = input.rate();
  report.channels = channels;
  report.frames = measured.frames;
  report.latency = rendered.latency;
  report.input = measured.input;
  report.output = measured.output;
  report.gain = std::move(measured.gain);
  report.clipped = measured.clipped;

  std::optional<PendingFile> plotOut, stateOut;
  if (o.plot) {
    plotOut.emplace(*o.plot);
    writePlot(plotOut->path(), *measured.inputEnvelope, *measured.outputEnvelope, report);
  }
  if (o.stateOut) {
    stateOut.emplace(*o.stateOut);
    writeState(session, *o.stateOut, *stateOut);
  }
  if (interrupted) throw Error("interrupted");
  audioOut.commit();
  if (plotOut) plotOut->commit();
  if (stateOut) stateOut->commit();
  const auto t3 = Clock::now();

  if (report.clipped) {
    std::fprintf(stderr, "orv-render: warning: %llu samples clipped on conversion to %s\n",
                 static_cast<unsigned long long>(report.clipped), report.outputFormat.c_str());
  }
  std::fputs((o.json ? formatJson(report) : formatReport(report)).c_str(), stdout);
  if (o.timing) {
    std::fprintf(stderr,
                 "timing: open, load and static-gain probe %.3f s, render with reading, levels and writing "
                 "alongside %.3f s (inside the plug-in %.3f s, waiting for the files %.3f s), plot, state and "
                 "rename %.3f s, total %.3f s\n",
                 seconds(t0, t1), seconds(t1, t2), rendered.processSeconds, measured.waitSeconds, seconds(t2, t3),
                 seconds(t0, t3));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  try {
    return run(parse(argc, argv));
  } catch (const UsageError& e) {
    std::fprintf(stderr, "orv-render: %s\n", e.what());
    return 2;
  } catch (const Error& e) {
    std::fprintf(stderr, "orv-render: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orv-render: %s\n", e.what());
    return 1;
  }
}
