// Shared by the engine tests: a Valdris constructed directly with a small fake
// host, parameter helpers and block-wise processing in either precision.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "valdris/parameters.h"
#include "valdris/valdris.h"

namespace engine_test {

namespace p = orv::valdris;

// Which pins the fake host reports connected: inputs 0..3, outputs 0..1.
struct FakeHost {
  bool inputConnected[4] = {true, true, true, true};
  bool outputConnected[2] = {true, true};
};
inline FakeHost& fakeHost() {
  static FakeHost host;
  return host;
}

inline intptr_t hostCallback(vst::AEffect*, int32_t opcode, int32_t index, intptr_t value, void*, float) {
  if (opcode == vst::audioMasterVersion) return 2400;
  if (opcode == vst::audioMasterPinConnected) {
    // 0 means connected.
    const FakeHost& h = fakeHost();
    if (value == 0) return index >= 0 && index < 4 && h.inputConnected[index] ? 0 : 1;
    return index >= 0 && index < 2 && h.outputConnected[index] ? 0 : 1;
  }
  return 0;
}

enum class Mode { plain, fat, smooth, fatSmooth };
inline const char* modeName(Mode m) {
  switch (m) {
    case Mode::plain: return "plain";
    case Mode::fat: return "FAT";
    case Mode::smooth: return "Smooth";
    case Mode::fatSmooth: return "FAT+Smooth";
  }
  return "";
}
inline constexpr Mode kAllModes[] = {Mode::plain, Mode::fat, Mode::smooth, Mode::fatSmooth};

using Settings = std::vector<std::pair<int32_t, float>>;

// A fresh instance in `mode` with `settings` applied on top of the "Default"
// preset, then suspended and resumed as a host starts processing.
inline std::unique_ptr<orv::Valdris> makeValdris(Mode mode, const Settings& settings = {}, float rate = 44100.0f) {
  auto v = std::make_unique<orv::Valdris>(hostCallback);
  v->setSampleRate(rate);
  // Meter settings persist between instances; start every test from the defaults.
  for (const auto& [index, value] : Settings{{p::kVuIntegration, 0.5f}, {p::kVuReference, 0.41f},
                                             {p::kPpmIntegration, 0.5f}, {p::kPpmReturn, 0.5f},
                                             {p::kOverIndicator, 2.0f / 9.0f}})
    v->setParameter(index, value);
  v->setParameter(p::kFat, mode == Mode::fat || mode == Mode::fatSmooth ? 1.0f : 0.0f);
  v->setParameter(p::kSmooth, mode == Mode::smooth || mode == Mode::fatSmooth ? 1.0f : 0.0f);
  for (const auto& [index, value] : settings) v->setParameter(index, value);
  v->suspend();
  v->resume();
  return v;
}

struct Stereo {
  std::vector<double> left, right;
  explicit Stereo(size_t n = 0) : left(n), right(n) {}
  size_t size() const { return left.size(); }
};

// Processes main inputs (and optional side-chain inputs) in calls of `block`
// frames, in the precision of T; returns the outputs as doubles.
template <typename T>
Stereo run(orv::Valdris& v, const Stereo& in, int block, const Stereo* side = nullptr) {
  const size_t n = in.size();
  std::vector<T> inL(in.left.begin(), in.left.end()), inR(in.right.begin(), in.right.end());
  std::vector<T> scL(n), scR(n);
  if (side != nullptr) {
    std::copy(side->left.begin(), side->left.end(), scL.begin());
    std::copy(side->right.begin(), side->right.end(), scR.begin());
  }
  std::vector<T> outL(n), outR(n);
  for (size_t first = 0; first < n; first += static_cast<size_t>(block)) {
    const int32_t frames = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(block), n - first));
    T* ins[4] = {inL.data() + first, inR.data() + first, scL.data() + first, scR.data() + first};
    T* outs[2] = {outL.data() + first, outR.data() + first};
    if constexpr (sizeof(T) == sizeof(float)) v.processReplacing(ins, outs, frames);
    else v.processDoubleReplacing(ins, outs, frames);
  }
  Stereo out(n);
  std::copy(outL.begin(), outL.end(), out.left.begin());
  std::copy(outR.begin(), outR.end(), out.right.begin());
  return out;
}

}  // namespace engine_test
