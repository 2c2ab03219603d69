// Speed of the Orv Valdris engine: every kernel at three rates in both
// precisions on programme material, silence against noise, the plain
// reference model as the naive comparison, and the plug-in loaded as a module
// through the test host. Counters: ns per stereo frame, and the real-time
// factor (seconds of audio per second of CPU time).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_settings.h"
#include "bench/bench_support.h"
#include "bench/module_bench.h"
#include "tests/reference/valdris_reference.h"
#include "tests/support/scoped_config_home.h"
#include "valdris/parameters.h"
#include "valdris/valdris.h"

namespace {

namespace p = orv::valdris;

using namespace orv::bench;

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

Settings settings(Mode mode) {
  return valdrisSettings(mode == Mode::fat || mode == Mode::fatSmooth, mode == Mode::smooth || mode == Mode::fatSmooth);
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

// What the audio thread pays for taking over changes: the plain kernel with
// High automated before every call (two filter designs per call), and with a
// whole preset loaded before every call (every value derived again, the FAT
// and Smooth table rebuilds included; preset changes are far rarer).
void BM_Changes(benchmark::State& state, bool wholePreset) {
  auto v = makeValdris(Mode::plain, 44100.0);
  HostBuffers<float> b(programme(44100.0, false));
  int call = 0;
  runBlocks(state, b, [&v, &call, wholePreset](float** ins, float** outs) {
    ++call;
    if (wholePreset) {
      v->selectPreset(call & 15);
      for (const auto& [index, value] : settings(Mode::plain)) v->setParameter(index, value);
    } else {
      v->setParameter(p::kHigh, static_cast<float>(call & 1023) / 1023.0f);
    }
    v->processReplacing(ins, outs, kBlock);
  });
  setCounters(state, 44100.0);
}

// The same plain kernel through the module's exported entry and its record,
// as a DAW would call it.
void BM_HostPath(benchmark::State& state) {
  runModule(state, ORV_VALDRIS_PLUGIN_PATH, settings(Mode::plain), 44100.0);
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

constexpr const char* kReferenceName = "reference/plain/44100/double";
constexpr const char* kEngineName = "kernel/plain/44100/double";

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
  benchmark::RegisterBenchmark(kReferenceName, BM_Reference, Mode::plain, 44100.0);
  benchmark::RegisterBenchmark("hostpath/plain/44100/float", BM_HostPath);
  benchmark::RegisterBenchmark("changes/High/plain/44100/float", BM_Changes, false);
  benchmark::RegisterBenchmark("changes/preset/plain/44100/float", BM_Changes, true);
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
