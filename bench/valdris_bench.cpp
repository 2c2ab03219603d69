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

#include "bench/bench_support.h"
#include "tests/reference/valdris_reference.h"
#include "tests/support/scoped_config_home.h"
#include "tools/vsthost/vsthost.h"
#include "valdris/factory_presets.h"
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
