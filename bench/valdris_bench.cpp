// Speed of the Orv Valdris engine: every kernel at three rates in both
// precisions on programme material, silence against noise, the plain
// reference model as the naive comparison, and the plug-in loaded as a module
// through the test host. Counters: ns per stereo frame, and the real-time
// factor (seconds of audio per second of CPU time).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/reference/valdris_reference.h"
#include "tools/vsthost/vsthost.h"
#include "valdris/factory_presets.h"
#include "valdris/parameters.h"
#include "valdris/valdris.h"

namespace {

namespace p = orv::valdris;

constexpr int kBlock = 64;          // host block, frames
constexpr double kSeconds = 2.0;    // programme length; the benchmarks loop over it

enum class Mode { plain, fat, smooth, fatSmooth };
const char* modeName(Mode m) {
  switch (m) {
    case Mode::plain: return "plain";
    case Mode::fat: return "FAT";
    case Mode::smooth: return "Smooth";
    case Mode::fatSmooth: return "FAT+Smooth";
  }
  return "";
}

// Every pin reads as connected (answer 0); version 2.4.
intptr_t hostCallback(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// "Gentle Master" (RMS, soft knee, 2:1-ish ratio, threshold around -21 dB)
// with the limiter, the classic release, auto release and auto make-up on, so
// that every per-sample stage of the gain path runs.
std::vector<std::pair<int32_t, float>> settings(Mode mode) {
  std::vector<std::pair<int32_t, float>> s;
  const orv::FactoryPreset& gentle = p::kFactoryPresets[1];
  for (int32_t i = 0; i < orv::kNumPresetParams; ++i) s.emplace_back(i, gentle.values[i]);
  s.emplace_back(p::kLimiter, 1.0f);
  s.emplace_back(p::kClassic, 1.0f);
  s.emplace_back(p::kAutoRelease, 1.0f);
  s.emplace_back(p::kAutoMakeup, 1.0f);
  s.emplace_back(p::kFat, mode == Mode::fat || mode == Mode::fatSmooth ? 1.0f : 0.0f);
  s.emplace_back(p::kSmooth, mode == Mode::smooth || mode == Mode::fatSmooth ? 1.0f : 0.0f);
  return s;
}

// Deterministic programme: noise bursts, sines, drum-like decaying hits over
// a low tone; left and right differ. Levels from about -30 to -3 dBFS, so the
// compressor works and the limiter catches the hits.
struct Programme {
  std::vector<double> left, right;
};

Programme makeProgramme(double rate, bool silent) {
  const size_t n = static_cast<size_t>(rate * kSeconds);
  Programme g{std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)};
  if (silent) return g;
  uint32_t seed = 12345u;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed) / 2147483648.0 - 1.0;
  };
  constexpr double kTwoPi = 6.283185307179586;
  const size_t beat = static_cast<size_t>(rate * 0.25);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double section = std::fmod(t, 1.0);
    double l = 0.0, r = 0.0;
    if (section < 0.3) {  // noise burst with a swelling level
      const double a = 0.05 + 0.4 * section;
      l = a * noise();
      r = a * noise();
    } else if (section < 0.7) {  // sines, a chord with some stereo width
      l = 0.3 * std::sin(kTwoPi * 220.0 * t) + 0.1 * std::sin(kTwoPi * 1760.0 * t);
      r = 0.3 * std::sin(kTwoPi * 330.0 * t) + 0.05 * std::sin(kTwoPi * 5000.0 * t);
    } else {  // quiet bed
      l = 0.03 * noise();
      r = 0.03 * noise();
    }
    // Drum-like hits: a decaying low thump and a click every quarter second.
    const double since = static_cast<double>(i % beat) / rate;
    const double hit = 0.8 * std::exp(-since * 30.0) * std::sin(kTwoPi * 60.0 * since) +
                       0.3 * std::exp(-since * 400.0) * noise();
    g.left[i] = l + hit;
    g.right[i] = r + 0.9 * hit;
  }
  return g;
}

const Programme& programme(double rate, bool silent) {
  static std::map<std::pair<double, bool>, Programme> cache;
  auto it = cache.find({rate, silent});
  if (it == cache.end()) it = cache.emplace(std::make_pair(rate, silent), makeProgramme(rate, silent)).first;
  return it->second;
}

template <typename T>
struct HostBuffers {
  std::vector<T> left, right, outL, outR;
  explicit HostBuffers(const Programme& g)
      : left(g.left.begin(), g.left.end()), right(g.right.begin(), g.right.end()), outL(kBlock), outR(kBlock) {}
  size_t size() const { return left.size(); }
};

void setCounters(benchmark::State& state, double rate) {
  const double frames = static_cast<double>(state.iterations()) * kBlock;
  // Inverted rate: CPU seconds per frame, scaled to ns.
  state.counters["ns_per_frame"] = benchmark::Counter(frames * 1e-9, benchmark::Counter::kIsRate |
                                                                         benchmark::Counter::kInvert);
  state.counters["realtime_x"] = benchmark::Counter(frames / rate, benchmark::Counter::kIsRate);
}

// One iteration is one 64-frame host call, cycling through the programme.
template <typename Process, typename T>
void runBlocks(benchmark::State& state, HostBuffers<T>& b, Process&& process) {
  const size_t n = b.size() - b.size() % kBlock;
  size_t first = 0;
  for (auto _ : state) {
    T* ins[4] = {b.left.data() + first, b.right.data() + first, b.left.data() + first, b.right.data() + first};
    T* outs[2] = {b.outL.data(), b.outR.data()};
    process(ins, outs);
    benchmark::DoNotOptimize(b.outL.data());
    benchmark::ClobberMemory();
    first += kBlock;
    if (first >= n) first = 0;
  }
}

std::unique_ptr<orv::Valdris> makeValdris(Mode mode, double rate) {
  auto v = std::make_unique<orv::Valdris>(hostCallback);
  v->setSampleRate(static_cast<float>(rate));
  for (const auto& [index, value] : settings(mode)) v->setParameter(index, value);
  v->suspend();
  v->resume();
  return v;
}

template <typename T>
void BM_Kernel(benchmark::State& state, Mode mode, double rate, bool silent) {
  auto v = makeValdris(mode, rate);
  HostBuffers<T> b(programme(rate, silent));
  runBlocks(state, b, [&v](T** ins, T** outs) {
    if constexpr (sizeof(T) == sizeof(float)) v->processReplacing(ins, outs, kBlock);
    else v->processDoubleReplacing(ins, outs, kBlock);
  });
  setCounters(state, rate);
}

// The same plain kernel through the module's exported entry and its record,
// as a DAW would call it.
void BM_HostPath(benchmark::State& state) {
  constexpr double kRate = 44100.0;
  std::string error;
  auto lib = orv::vsthost::Library::open(ORV_VALDRIS_PLUGIN_PATH, &error);
  if (!lib) {
    state.SkipWithError(("cannot load the plug-in: " + error).c_str());
    return;
  }
  auto plugin = orv::vsthost::Plugin::create(*lib, {}, &error);
  if (!plugin) {
    state.SkipWithError(("cannot create the plug-in: " + error).c_str());
    return;
  }
  plugin->dispatch(vst::effOpen);
  plugin->dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  plugin->dispatch(vst::effSetBlockSize, 0, kBlock);
  for (const auto& [index, value] : settings(Mode::plain)) plugin->setParameter(index, value);
  plugin->dispatch(vst::effMainsChanged, 0, 1);
  HostBuffers<float> b(programme(kRate, false));
  runBlocks(state, b, [&plugin](float** ins, float** outs) { plugin->processReplacing(ins, outs, kBlock); });
  setCounters(state, kRate);
  plugin->dispatch(vst::effMainsChanged, 0, 0);
}

// The plain model: per-sample stages, no rings or block passes.
void BM_Reference(benchmark::State& state, Mode mode, double rate) {
  orv::reference::ValdrisReference model;
  model.setSampleRate(rate);
  // The meter settings a fresh instance falls back to.
  const float meterSettings[] = {0.5f, 0.5f, 0.52f, 0.72365f, 0.25f};
  for (int32_t i = 0; i < 5; ++i) model.setParameter(p::kVuIntegration + i, meterSettings[i]);
  for (const auto& [index, value] : settings(mode)) model.setParameter(index, value);
  model.suspend();
  model.resume();
  HostBuffers<double> b(programme(rate, false));
  runBlocks(state, b, [&model](double** ins, double** outs) { model.process(ins, outs, kBlock); });
  setCounters(state, rate);
}

// Prints, after the table, how much faster the engine is than the model in
// the same mode (medians when repeated, else the single runs).
class SpeedupReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool aggregate = run.run_type == Run::RT_Aggregate;
      if (aggregate && run.aggregate_name != "median") continue;
      auto it = run.counters.find("ns_per_frame");
      if (it == run.counters.end()) continue;
      const std::string name = run.run_name.str();
      if (aggregate || !seenMedian[name]) {
        nsPerFrame[name] = it->second.value;
        if (aggregate) seenMedian[name] = true;
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto ref = nsPerFrame.find(kReferenceName);
    const auto eng = nsPerFrame.find(kEngineName);
    if (ref != nsPerFrame.end() && eng != nsPerFrame.end() && eng->second > 0.0)
      std::printf("\nspeed-up of the engine over the reference model (%s, double): %.1fx (%.1f vs %.1f ns/frame)\n",
                  kEngineName, ref->second / eng->second, eng->second, ref->second);
  }

  static constexpr const char* kReferenceName = "reference/plain/44100/double";
  static constexpr const char* kEngineName = "kernel/plain/44100/double";

 private:
  std::map<std::string, double> nsPerFrame;
  std::map<std::string, bool> seenMedian;
};

void registerAll() {
  const Mode modes[] = {Mode::plain, Mode::fat, Mode::smooth, Mode::fatSmooth};
  const double rates[] = {44100.0, 96000.0, 192000.0};
  for (Mode mode : modes)
    for (double rate : rates) {
      const std::string name = std::string("kernel/") + modeName(mode) + "/" + std::to_string(static_cast<int>(rate));
      benchmark::RegisterBenchmark((name + "/float").c_str(), BM_Kernel<float>, mode, rate, false);
      benchmark::RegisterBenchmark((name + "/double").c_str(), BM_Kernel<double>, mode, rate, false);
    }
  // Silence must cost no more than noise: no state may sink into denormals.
  benchmark::RegisterBenchmark("silence/FAT+Smooth/44100/float", BM_Kernel<float>, Mode::fatSmooth, 44100.0, true);
  benchmark::RegisterBenchmark("noise/FAT+Smooth/44100/float", BM_Kernel<float>, Mode::fatSmooth, 44100.0, false);
  benchmark::RegisterBenchmark(SpeedupReporter::kReferenceName, BM_Reference, Mode::plain, 44100.0);
  benchmark::RegisterBenchmark("hostpath/plain/44100/float", BM_HostPath);
}

// Instances read and write their meter settings: keep them in a private folder.
struct PrivateHome {
  std::string path;
  PrivateHome() {
    char pattern[] = "/tmp/orv-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    path = pattern;
    setenv("XDG_CONFIG_HOME", (path + "/.config").c_str(), 1);
    setenv("HOME", path.c_str(), 1);
  }
  ~PrivateHome() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

int main(int argc, char** argv) {
  PrivateHome home;
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SpeedupReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
