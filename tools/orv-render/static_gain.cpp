#include "tools/orv-render/static_gain.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace orv::render {

namespace {

// -60 dBFS RMS: 30 dB under the lowest threshold the products offer, so no compressor of
// ours reduces it, and still 80 dB above their noise.
constexpr double kProbeDb = -60.0;

class ProbeStream : public Session::Stream {
 public:
  ProbeStream(size_t frames, int channels, int sideChannels)
      : channels_(static_cast<size_t>(channels)),
        main_(frames * channels_),
        side_(frames * static_cast<size_t>(sideChannels), 0.0),
        sideChannels_(sideChannels),
        frames_(frames) {
    // Uniform noise of amplitude a has an RMS of a / sqrt(3).
    const double amplitude = std::pow(10.0, kProbeDb / 20.0) * std::sqrt(3.0);
    uint32_t state = 0x2545f491u;
    for (double& s : main_) {
      state = state * 1664525u + 1013904223u;
      s = amplitude * (static_cast<double>(state >> 8) / 8388608.0 - 1.0);
    }
    out_.reserve(main_.size());
  }

  bool nextInput(Session::InputChunk& chunk) override {
    if (given_) return false;
    given_ = true;
    chunk.main = main_.data();
    chunk.side = sideChannels_ ? side_.data() : nullptr;
    chunk.frames = frames_;
    return true;
  }
  double* outputSpace(size_t& capacity) override {
    capacity = 4096;
    space_.resize(capacity * channels_);
    return space_.data();
  }
  void outputDone(size_t frames) override {
    out_.insert(out_.end(), space_.begin(), space_.begin() + static_cast<ptrdiff_t>(frames * channels_));
  }

  // Output level over input level from `from` on, in dB.
  double gainDb(size_t from) const {
    double in = 0.0, out = 0.0;
    for (size_t i = from * channels_; i < main_.size() && i < out_.size(); ++i) {
      in += main_[i] * main_[i];
      out += out_[i] * out_[i];
    }
    return 10.0 * std::log10(out / in);
  }

 private:
  size_t channels_;
  std::vector<double> main_, side_, out_, space_;
  int sideChannels_;
  size_t frames_;
  bool given_ = false;
};

}  // namespace

StaticGain measureStaticGain(Session& probe, int rate, int channels, int sideChannels, int block, bool useDouble) {
  const auto frames = static_cast<size_t>(rate);
  ProbeStream stream(frames, channels, sideChannels);
  Session::Options options;
  options.block = block;
  options.useDouble = useDouble;
  options.expectedFrames = static_cast<int64_t>(frames);
  probe.render(stream, channels, sideChannels, options);
  StaticGain gain;
  const double db = stream.gainDb(frames / 2);
  if (std::isfinite(db)) {
    gain.db = db;
    gain.method = "its gain on noise at -60 dBFS RMS, below any threshold";
  } else {
    gain.method = "none: the plug-in passed no probe signal, so the gain is shown as it is";
  }
  return gain;
}

}  // namespace orv::render
