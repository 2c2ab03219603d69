// orv-render's overhead over the plug-in: on a generated 5-minute stereo 44.1 kHz 24-bit WAV,
// (a) processReplacing alone over the whole file in 64-frame blocks, Power off, through the
// test host, against (b) the built orv-render run on the same file with --set Power=0, timed
// from launch to exit. Both are wall-clock times; the pairs run interleaved so a load on the
// shared machine hits both alike. Prints the medians and their ratio at the end.
//
//   render_bench [--plugin=PATH] [--orv-render=PATH] [--pairs=N] [benchmark flags]
//   render_bench --write-programme=FILE.wav   (only writes the test file, for profiling)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scoped_config_home.h"
#include "tools/orv-render/audio_io.h"
#include "tools/vsthost/vsthost.h"

extern char** environ;

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 300.0;
constexpr int kBlock = 64;

std::string pluginPath = ORV_RENDER_BENCH_PLUGIN;
std::string renderPath = ORV_RENDER_PATH;  // another build can be timed against the same plug-in
std::string inputPath, outputPath;

// Deterministic programme with a moving level, so loudness, range and true peak all have work:
// noise bursts, a chord, a quiet bed and drum-like hits, peaks about -3 dBFS.
orv::render::Planar makeProgramme() {
  const auto n = static_cast<size_t>(kRate * kSeconds);
  orv::render::Planar g(2, std::vector<double>(n));
  uint32_t seed = 12345u;
  const auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed) / 2147483648.0 - 1.0;
  };
  constexpr double kTwoPi = 6.283185307179586;
  const size_t beat = kRate / 4;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double section = std::fmod(t, 1.0);
    const double swell = 0.4 + 0.3 * std::sin(kTwoPi * t / 40.0);  // slow level changes for the range
    double l = 0.0, r = 0.0;
    if (section < 0.3) {
      const double a = 0.05 + 0.4 * section;
      l = a * noise();
      r = a * noise();
    } else if (section < 0.7) {
      l = 0.3 * std::sin(kTwoPi * 220.0 * t) + 0.1 * std::sin(kTwoPi * 1760.0 * t);
      r = 0.3 * std::sin(kTwoPi * 330.0 * t) + 0.05 * std::sin(kTwoPi * 5000.0 * t);
    } else {
      l = 0.03 * noise();
      r = 0.03 * noise();
    }
    const double since = static_cast<double>(i % beat) / kRate;
    const double hit = 0.8 * std::exp(-since * 30.0) * std::sin(kTwoPi * 60.0 * since) +
                       0.3 * std::exp(-since * 400.0) * noise();
    g[0][i] = swell * (l + hit);
    g[1][i] = swell * (r + 0.9 * hit);
  }
  return g;
}

int32_t findParameter(orv::vsthost::Plugin& plugin, const char* name) {
  for (int32_t i = 0; i < plugin.effect()->numParams; ++i) {
    std::string text = plugin.getString(vst::effGetParamName, i);
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    if (text == name) return i;
  }
  return -1;
}

// (a) The plug-in's share: processReplacing over the whole file in place, nothing else timed.
void BM_ProcessAlone(benchmark::State& state) {
  std::string error;
  const auto lib = orv::vsthost::Library::open(pluginPath, &error);
  auto plugin = lib ? orv::vsthost::Plugin::create(*lib, {}, &error) : nullptr;
  if (!plugin) {
    state.SkipWithError(("cannot load the plug-in: " + error).c_str());
    return;
  }
  const orv::render::Audio audio = orv::render::readAudio(inputPath);
  std::vector<std::vector<float>> in(2), out(2, std::vector<float>(audio.channels[0].size()));
  for (int c = 0; c < 2; ++c) in[c].assign(audio.channels[c].begin(), audio.channels[c].end());
  std::vector<float> silence(kBlock, 0.0f), spare(kBlock);
  const auto frames = static_cast<int64_t>(in[0].size());

  plugin->dispatch(vst::effOpen);
  plugin->dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  plugin->dispatch(vst::effSetBlockSize, 0, kBlock);
  const int32_t power = findParameter(*plugin, "Power");
  if (power < 0) {
    state.SkipWithError("the plug-in has no Power parameter");
    return;
  }
  plugin->setParameter(power, 0.0f);
  plugin->dispatch(vst::effMainsChanged, 0, 1);
  plugin->dispatch(vst::effStartProcess);
  const int pins = std::max(2, plugin->effect()->numOutputs);
  std::vector<float*> outPtrs(static_cast<size_t>(pins), spare.data());
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int64_t pos = 0; pos < frames; pos += kBlock) {
      const auto n = static_cast<int32_t>(std::min<int64_t>(kBlock, frames - pos));
      float* ins[4] = {in[0].data() + pos, in[1].data() + pos, silence.data(), silence.data()};
      outPtrs[0] = out[0].data() + pos;
      outPtrs[1] = out[1].data() + pos;
      plugin->processReplacing(ins, outPtrs.data(), n);
    }
    const auto stop = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(out[0].data());
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    plugin->clearCalls();
  }
  plugin->dispatch(vst::effStopProcess);
  plugin->dispatch(vst::effMainsChanged, 0, 0);
}

// (b) The whole tool as a user runs it: launch, read, render, measure, write, report, exit.
void BM_OrvRender(benchmark::State& state) {
  std::vector<std::string> args = {renderPath, pluginPath, inputPath, outputPath, "--set", "Power=0", "--quiet"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    // A child starts with its parent's peak memory on record: bring ours down to what we hold.
    if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
      std::fputs("5", refs);
      std::fclose(refs);
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("cannot start orv-render");
      break;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto stop = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("orv-render failed");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;  // at least this process's size
    state.counters["cpu_s"] = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                              1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  }
  posix_spawn_file_actions_destroy(&actions);
}

// Collects the pairs' wall times and prints the medians and the ratio after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      (run.run_name.function_name.starts_with("process") ? process_ : render_).push_back(seconds);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (process_.empty() || render_.empty()) return;
    const double a = median(process_), b = median(render_);
    std::printf("\n(a) processing alone, Power off:  %.3f s (median of %zu)\n", a, process_.size());
    std::printf("(b) orv-render --set Power=0:     %.3f s (median of %zu)\n", b, render_.size());
    std::printf("ratio b/a: %.2fx (target at most 1.30x)\n", b / a);
  }

 private:
  static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
  }
  std::vector<double> process_, render_;
};

}  // namespace

int main(int argc, char** argv) {
  // Instances read and write their meter settings: keep them, and the files, in a private folder.
  orv::testing::ScopedConfigHome home;
  if (!home.ok()) {
    std::fprintf(stderr, "render_bench: cannot make a temporary folder\n");
    return 1;
  }
  int pairs = 3;
  std::string programmeOnly;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.starts_with("--plugin=")) pluginPath = arg.substr(9);
    else if (arg.starts_with("--orv-render=")) renderPath = arg.substr(13);
    else if (arg.starts_with("--pairs=")) pairs = std::clamp(std::atoi(arg.c_str() + 8), 1, 100);
    else if (arg.starts_with("--write-programme=")) programmeOnly = arg.substr(18);
    else rest.push_back(argv[i]);
  }
  if (!programmeOnly.empty()) {
    orv::render::writeAudio(programmeOnly, makeProgramme(), kRate, {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24});
    return 0;
  }
  inputPath = (home.path() / "programme.wav").string();
  outputPath = (home.path() / "rendered.wav").string();
  orv::render::writeAudio(inputPath, makeProgramme(), kRate, {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24});

  // One run per entry, alternating, so both see the same load.
  for (int p = 1; p <= pairs; ++p) {
    benchmark::RegisterBenchmark(("process_alone/" + std::to_string(p)).c_str(), BM_ProcessAlone)
        ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("orv_render/" + std::to_string(p)).c_str(), BM_OrvRender)
        ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
