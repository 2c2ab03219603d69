// Speed of the Orv Nimlet engine: the stereo and mono kernels with the Smooth
// (Hilbert) and Draft detectors at three rates through the `orv::Nimlet`
// class, on programme material in 64-frame host calls, and the plain model of
// the kernels as the naive comparison. Counters: ns per stereo frame, and the
// real-time factor (seconds of audio per second of CPU time).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_settings.h"
#include "bench/bench_support.h"
#include "nimlet/nimlet.h"
#include "nimlet/parameters.h"
#include "tests/nimlet/nimlet_reference.h"
#include "tests/support/scoped_config_home.h"

namespace {

namespace p = orv::nimlet;

using namespace orv::bench;

struct Mode {
  bool stereo;
  bool smooth;
};
std::string modeName(Mode m) { return std::string(m.stereo ? "stereo" : "mono") + (m.smooth ? "/Smooth" : "/Draft"); }

Settings settings(Mode mode) { return nimletSettings(mode.stereo, mode.smooth); }

void BM_Kernel(benchmark::State& state, Mode mode, double rate) {
  auto nimlet = std::make_unique<orv::Nimlet>(hostCallback);
  for (const auto& [index, value] : settings(mode)) nimlet->setParameter(index, value);
  nimlet->setSampleRate(static_cast<float>(rate));  // suspends and resumes
  HostBuffers<float> b(programme(rate));
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
  HostBuffers<float> b(programme(rate));
  runBlocks(state, b, [&model](float** ins, float** outs) { model->process(ins, outs, kBlock); });
  setCounters(state, rate);
}

constexpr const char* kReferenceName = "reference/stereo/Smooth/44100";
constexpr const char* kEngineName = "kernel/stereo/Smooth/44100";

void registerAll() {
  const Mode modes[] = {{true, true}, {true, false}, {false, true}, {false, false}};
  const double rates[] = {44100.0, 96000.0, 192000.0};
  for (Mode mode : modes)
    for (double rate : rates) {
      const std::string name = "kernel/" + modeName(mode) + "/" + std::to_string(static_cast<int>(rate));
      benchmark::RegisterBenchmark(name.c_str(), BM_Kernel, mode, rate);
    }
  benchmark::RegisterBenchmark(kReferenceName, BM_Reference, Mode{true, true}, 44100.0);
}

}  // namespace

int main(int argc, char** argv) {
  // Instances read and write their meter settings: keep them in a private folder.
  orv::testing::ScopedConfigHome home;
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SpeedupReporter reporter(kReferenceName, kEngineName);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
