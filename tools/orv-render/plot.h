// A PNG overview of a render: waveform envelopes of input and output, and the gain change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/orv-render/analysis.h"
#include "tools/orv-render/audio_io.h"

namespace orv::render {

// Smallest and largest sample over all channels, gathered piece by piece in small buckets of
// frames and drawn per pixel column at the end, when the length is known.
class EnvelopeMeter {
 public:
  // expectedFrames (the header's count) only sizes the buckets: a few per frame of the
  // narrowest column, so a column's edges are off by less than a bucket.
  EnvelopeMeter(int channels, int64_t expectedFrames);
  void add(const double* interleaved, size_t frames);

  struct Envelope {
    std::vector<float> low, high;
  };
  Envelope columns(int count) const;  // over the frames added so far

 private:
  int channels_;
  size_t bucket_;  // frames
  size_t frames_ = 0;
  std::vector<double> low_, high_;
};

// Throws Error when the file cannot be written.
void writePlot(const std::string& path, const EnvelopeMeter& input, const EnvelopeMeter& output, const Report& report);

}  // namespace orv::render
