// Speed of the Orv Nimlet engine: the stereo and mono kernels with the Smooth
// (Hilbert) and Draft detectors at three rates through the `orv::Nimlet`
// class, on programme material in 64-frame host calls, and the plain model of
// the kernels as the naive comparison. Counters: ns per stereo frame, and the
// real-time factor (seconds of audio per second of CPU time).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "nimlet/factory_presets.h"
#include "nimlet/nimlet.h"
#include "nimlet/parameters.h"
#include "tests/nimlet/nimlet_reference.h"

namespace {

namespace p = orv::nimlet;

constexpr int kBlock = 64;        // host block, frames
constexpr double kSeconds = 2.0;  // programme length; the benchmarks loop over it

struct Mode {
  bool stereo;
  bool smooth;
};
std::string modeName(Mode m) { return std::string(m.stereo ? "stereo" : "mono") + (m.smooth ? "/Smooth" : "/Draft"); }

// Every pin reads as connected (answer 0); version 2.4.
intptr_t hostCallback(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// The full parameter set in index order: "Gentle Master" (RMS, soft knee,
// linked) with auto release and auto make-up on, so that every per-sample
// stage of the gain path runs, meters on gain reduction, and the kernel.
std::vector<std::pair<int32_t, float>> settings(Mode mode) {
  float values[p::kNumParamIndices] = {};
  std::memcpy(values, p::kFactoryPresets[1].values, sizeof(float) * orv::kNumPresetParams);
  const float meters[5] = {0.5f, 0.41f, 0.5f, 0.5f, 2.0f / 9.0f};  // what a fresh instance falls back to
  for (int i = 0; i < 5; ++i) values[p::kVuIntegration + i] = meters[i];
  values[p::kMeters] = 0.5f;
  values[p::kAutoRelease] = 1.0f;
  values[p::kAutoMakeup] = 1.0f;
  values[p::kSmooth] = mode.smooth ? 1.0f : 0.0f;
  values[p::kStereo] = mode.stereo ? 1.0f : 0.0f;
  std::vector<std::pair<int32_t, float>> s;
  for (int32_t i = 0; i < p::kNumParamIndices; ++i)
    if (i != p::kGap) s.emplace_back(i, values[i]);
  return s;
}

// Deterministic programme: noise bursts, sines, drum-like decaying hits over
// a quiet bed; left and right differ. Levels from about -30 to -3 dBFS, so the
// compressor works. The side-chain inputs carry the same signal.
struct Programme {
  std::vector<float> left, right;
};

Programme makeProgramme(double rate) {
  const size_t n = static_cast<size_t>(rate * kSeconds);
  Programme g{std::vector<float>(n, 0.0f), std::vector<float>(n, 0.0f)};
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
    g.left[i] = static_cast<float>(l + hit);
    g.right[i] = static_cast<float>(r + 0.9 * hit);
  }
  return g;
}

const Programme& programme(double rate) {
  static std::map<double, Programme> cache;
  auto it = cache.find(rate);
  if (it == cache.end()) it = cache.emplace(rate, makeProgramme(rate)).first;
  return it->second;
}

struct HostBuffers {
  std::vector<float> left, right, outL, outR;
  explicit HostBuffers(const Programme& g) : left(g.left), right(g.right), outL(kBlock), outR(kBlock) {}
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
template <typename Process>
void runBlocks(benchmark::State& state, HostBuffers& b, Process&& process) {
  const size_t n = b.size() - b.size() % kBlock;
  size_t first = 0;
  for (auto _ : state) {
    float* ins[4] = {b.left.data() + first, b.right.data() + first, b.left.data() + first, b.right.data() + first};
    float* outs[2] = {b.outL.data(), b.outR.data()};
    process(ins, outs);
    benchmark::DoNotOptimize(b.outL.data());
    benchmark::ClobberMemory();
    first += kBlock;
    if (first >= n) first = 0;
  }
}

void BM_Kernel(benchmark::State& state, Mode mode, double rate) {
  auto nimlet = std::make_unique<orv::Nimlet>(hostCallback);
  for (const auto& [index, value] : settings(mode)) nimlet->setParameter(index, value);
  nimlet->setSampleRate(static_cast<float>(rate));  // suspends and resumes
  HostBuffers b(programme(rate));
  runBlocks(state, b, [&nimlet](float** ins, float** outs) { nimlet->processReplacing(ins, outs, kBlock); });
  setCounters(state, rate);
}

// The plain model: per-sample stages, rings indexed with modulo, the Hilbert
// sum in tap order.
void BM_Reference(benchmark::State& state, Mode mode, double rate) {
  auto model = std::make_unique<nimlet_test::NimletReference>();
  for (const auto& [index, value] : settings(mode)) model->setParameter(index, value);
  model->suspend(rate);
  model->resume(rate);
  HostBuffers b(programme(rate));
  runBlocks(state, b, [&model](float** ins, float** outs) { model->process(ins, outs, kBlock); });
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
      std::printf("\nspeed-up of the engine over the reference model (%s): %.1fx (%.1f vs %.1f ns/frame)\n",
                  kEngineName, ref->second / eng->second, eng->second, ref->second);
  }

  static constexpr const char* kReferenceName = "reference/stereo/Smooth/44100";
  static constexpr const char* kEngineName = "kernel/stereo/Smooth/44100";

 private:
  std::map<std::string, double> nsPerFrame;
  std::map<std::string, bool> seenMedian;
};

void registerAll() {
  const Mode modes[] = {{true, true}, {true, false}, {false, true}, {false, false}};
  const double rates[] = {44100.0, 96000.0, 192000.0};
  for (Mode mode : modes)
    for (double rate : rates) {
      const std::string name = "kernel/" + modeName(mode) + "/" + std::to_string(static_cast<int>(rate));
      benchmark::RegisterBenchmark(name.c_str(), BM_Kernel, mode, rate);
    }
  benchmark::RegisterBenchmark(SpeedupReporter::kReferenceName, BM_Reference, Mode{true, true}, 44100.0);
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
