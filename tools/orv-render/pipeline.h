// The files and measurements around a render, on a thread of their own: it reads the input
// ahead in chunks, measures them, and measures and writes the output chunks behind the
// plug-in, so the thread that runs the plug-in does nothing else. Memory stays a few chunks
// whatever the file's length.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/orv-render/analysis.h"
#include "tools/orv-render/audio_io.h"
#include "tools/orv-render/plot.h"
#include "tools/orv-render/session.h"

namespace orv::render {

class RenderPipeline : public Session::Stream {
 public:
  struct Setup {
    AudioReader* input = nullptr;
    AudioReader* sidechain = nullptr;  // may be null
    std::string outputPath;            // written from the first output chunk on
    OutputFormat format;
    size_t chunkFrames = 16384;  // a whole number of blocks
    bool envelopes = false;      // gather the plot's waveform envelopes
  };
  // Opens the output and starts reading. Throws Error.
  explicit RenderPipeline(const Setup& setup);
  ~RenderPipeline() override;  // stops the thread; the output is left incomplete
  RenderPipeline(const RenderPipeline&) = delete;
  RenderPipeline& operator=(const RenderPipeline&) = delete;

  bool nextInput(Session::InputChunk& chunk) override;
  double* outputSpace(size_t& capacity) override;
  void outputDone(size_t frames) override;

  struct Measured {
    Levels input, output;  // the output as the file holds it
    GainReduction gain;
    uint64_t clipped = 0;
    int64_t frames = 0;
    std::optional<EnvelopeMeter> inputEnvelope, outputEnvelope;
    double waitSeconds = 0.0;  // time the render spent waiting for this thread
  };
  // After the render: lets the thread drain, completes the file. Throws what the thread met.
  // staticGainDb is the plug-in's gain below its threshold, taken out of the gain reduction.
  Measured finish(double staticGainDb);

 private:
  static constexpr size_t kSlots = 4;
  struct Slot {
    std::vector<double> main, side;
    size_t frames = 0;
  };

  void work();
  bool readInto(Slot& slot);  // false at the end of the input
  void measureAndWrite(const Slot& slot);
  void waitFor(std::unique_lock<std::mutex>& lock, const auto& ready);

  Setup setup_;
  int channels_, sideChannels_;
  AudioWriter writer_;
  LevelMeter inputLevels_, outputLevels_;
  GainReductionMeter gain_;
  std::optional<EnvelopeMeter> inputEnvelope_, outputEnvelope_;
  std::vector<Slot> inSlots_, outSlots_;
  std::vector<double> written_;  // an output chunk as the file holds it

  std::mutex mutex_;
  std::condition_variable changed_;
  // Input: the thread fills slots [released, produced), the render takes them in order.
  uint64_t inProduced_ = 0, inTaken_ = 0, inReleased_ = 0;
  // Output: the render fills slots [consumed, committed), the thread writes them in order.
  uint64_t outCommitted_ = 0, outConsumed_ = 0;
  bool inputEnded_ = false, outputClosed_ = false, stop_ = false;
  std::exception_ptr failure_;
  double waitSeconds_ = 0.0;
  std::thread thread_;
};

}  // namespace orv::render
