// A plug-in module timed as a DAW runs it: loaded through the test host,
// opened at a rate with 64-frame blocks, set, resumed, then one
// processReplacing call per iteration on the shared programme. The same
// harness for our modules and any other VST 2.4 effect.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench_settings.h"
#include "bench/bench_support.h"
#include "tools/vsthost/vsthost.h"

namespace orv::bench {

inline void runModule(benchmark::State& state, const std::string& path, const Settings& settings, double rate) {
  std::string error;
  auto lib = orv::vsthost::Library::open(path, &error);
  if (!lib) {
    state.SkipWithError(("cannot load " + path + ": " + error).c_str());
    return;
  }
  auto plugin = orv::vsthost::Plugin::create(*lib, {}, &error);
  if (!plugin) {
    state.SkipWithError(("cannot create " + path + ": " + error).c_str());
    return;
  }
  const vst::AEffect* e = plugin->effect();
  if ((e->flags & vst::effFlagsCanReplacing) == 0 || e->numOutputs < 1 || e->numInputs > 64 || e->numOutputs > 64) {
    state.SkipWithError((path + " has no processReplacing or an odd pin count").c_str());
    return;
  }
  plugin->dispatch(vst::effOpen);
  plugin->dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  plugin->dispatch(vst::effSetBlockSize, 0, kBlock);
  for (const auto& [index, value] : settings) plugin->setParameter(index, value);
  plugin->dispatch(vst::effMainsChanged, 0, 1);

  // Inputs alternate left and right of the programme (a side-chain pair
  // carries the main signal); outputs get a block each.
  HostBuffers<float> b(programme(rate));
  std::vector<std::vector<float>> outputs(static_cast<size_t>(e->numOutputs), std::vector<float>(kBlock));
  std::vector<float*> ins(static_cast<size_t>(e->numInputs)), outs(outputs.size());
  for (size_t c = 0; c < outs.size(); ++c) outs[c] = outputs[c].data();
  const size_t n = b.size() - b.size() % kBlock;
  size_t first = 0;
  for (auto _ : state) {
    for (size_t c = 0; c < ins.size(); ++c) ins[c] = (c % 2 == 0 ? b.left.data() : b.right.data()) + first;
    plugin->processReplacing(ins.data(), outs.data(), kBlock);
    benchmark::DoNotOptimize(outs[0]);
    benchmark::ClobberMemory();
    first += kBlock;
    if (first >= n) first = 0;
  }
  setCounters(state, rate);
  plugin->dispatch(vst::effMainsChanged, 0, 0);
}

}  // namespace orv::bench
