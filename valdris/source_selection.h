// Which host buffers a processing call reads and writes, from the pins the
// host reports connected and the accepted speaker arrangement. A missing or
// unconnected pin falls back to the main inputs, so the kernels never see a
// side chain that is not there.
#pragma once

#include <cstdint>

#include "host/audio_effect.h"
#include "valdris/engine.h"

namespace orv {

struct ArrangementFlags {
  bool stereoInput = true;
  bool stereoOutput = true;
  bool fourInputs = true;
};

// Takes a host's proposed channel counts: accepted layouts set the flags the
// processing reads; two in, one out is refused yet keeps the side-chain pair;
// anything else is refused and keeps stereo without the side chain.
inline bool applySpeakerArrangement(int32_t inputs, int32_t outputs, ArrangementFlags& flags) {
  struct Rule {
    int32_t inputs, outputs;
    ArrangementFlags flags;  // stereoInput, stereoOutput, fourInputs
    bool accepted;
  };
  static constexpr Rule kRules[] = {
      {1, 1, {false, false, false}, true},
      {1, 2, {false, true, false}, true},
      {2, 1, {false, false, true}, false},
      {2, 2, {true, true, false}, true},
      {4, 2, {true, true, true}, true},
  };
  for (const Rule& rule : kRules) {
    if (rule.inputs == inputs && rule.outputs == outputs) {
      flags = rule.flags;
      return rule.accepted;
    }
  }
  flags = {true, true, false};
  return false;
}

// Asked on every call: hosts connect and disconnect pins while running.
template <typename T>
valdris::Channels<T> selectSources(AudioEffect& effect, T** inputs, T** outputs, const ArrangementFlags& flags,
                                   bool externalSidechain) {
  auto input = [inputs](int i) -> T* { return inputs != nullptr ? inputs[i] : nullptr; };
  auto output = [outputs](int i) -> T* { return outputs != nullptr ? outputs[i] : nullptr; };
  valdris::Channels<T> io{};
  io.inL = input(0);
  io.inR = effect.isInputConnected(1) && input(1) != nullptr && flags.stereoInput ? input(1) : io.inL;
  io.outL = output(0);
  io.outR = effect.isOutputConnected(1) && output(1) != nullptr && flags.stereoOutput ? output(1) : io.outL;
  const bool sideLeft = effect.isInputConnected(2) && input(2) != nullptr && flags.fourInputs;
  io.scL = sideLeft ? input(2) : io.inL;
  if (effect.isInputConnected(3) && input(3) != nullptr && flags.fourInputs) io.scR = input(3);
  else io.scR = sideLeft ? io.scL : io.inR;  // one side-chain input feeds both sides
  if (!externalSidechain) {
    io.scL = io.inL;
    io.scR = io.inR;
  }
  return io;
}

}  // namespace orv
