#include "tools/orv-render/pipeline.h"

#include <algorithm>
#include <chrono>

#include "tools/orv-render/error.h"

namespace orv::render {

RenderPipeline::RenderPipeline(const Setup& setup)
    : setup_(setup),
      channels_(setup.input->channels()),
      sideChannels_(setup.sidechain ? setup.sidechain->channels() : 0),
      writer_(setup.outputPath, setup.input->rate(), channels_, setup.format),
      inputLevels_(channels_, setup.input->rate()),
      outputLevels_(channels_, setup.input->rate()),
      gain_(setup.input->rate(), channels_, channels_),
      inSlots_(kSlots),
      outSlots_(kSlots) {
  if (setup.envelopes) {
    inputEnvelope_.emplace(channels_, setup.input->headerFrames());
    outputEnvelope_.emplace(channels_, setup.input->headerFrames());
  }
  for (Slot& slot : inSlots_) {
    slot.main.resize(setup.chunkFrames * static_cast<size_t>(channels_));
    slot.side.resize(setup.chunkFrames * static_cast<size_t>(sideChannels_));
  }
  for (Slot& slot : outSlots_) slot.main.resize(setup.chunkFrames * static_cast<size_t>(channels_));
  written_.resize(setup.chunkFrames * static_cast<size_t>(channels_));
  thread_ = std::thread([this] { work(); });
}

RenderPipeline::~RenderPipeline() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void RenderPipeline::waitFor(std::unique_lock<std::mutex>& lock, const auto& ready) {
  if (ready()) return;
  const auto start = std::chrono::steady_clock::now();
  changed_.wait(lock, [&] { return ready() || failure_; });
  waitSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (failure_) std::rethrow_exception(failure_);
}

bool RenderPipeline::nextInput(Session::InputChunk& chunk) {
  std::unique_lock lock(mutex_);
  if (inReleased_ < inTaken_) {
    ++inReleased_;
    changed_.notify_all();
  }
  waitFor(lock, [&] { return inTaken_ < inProduced_ || inputEnded_; });
  if (inTaken_ == inProduced_) return false;
  const Slot& slot = inSlots_[inTaken_++ % kSlots];
  chunk.main = slot.main.data();
  chunk.side = sideChannels_ ? slot.side.data() : nullptr;
  chunk.frames = slot.frames;
  return true;
}

double* RenderPipeline::outputSpace(size_t& capacity) {
  std::unique_lock lock(mutex_);
  waitFor(lock, [&] { return outCommitted_ - outConsumed_ < kSlots; });
  capacity = setup_.chunkFrames;
  return outSlots_[outCommitted_ % kSlots].main.data();
}

void RenderPipeline::outputDone(size_t frames) {
  {
    std::lock_guard lock(mutex_);
    outSlots_[outCommitted_ % kSlots].frames = frames;
    ++outCommitted_;
  }
  changed_.notify_all();
}

void RenderPipeline::work() {
  try {
    for (;;) {
      Slot* reading = nullptr;
      const Slot* writing = nullptr;
      {
        std::unique_lock lock(mutex_);
        const auto canRead = [&] { return !inputEnded_ && inProduced_ - inReleased_ < kSlots; };
        const auto canWrite = [&] { return outConsumed_ < outCommitted_; };
        changed_.wait(lock, [&] { return stop_ || canRead() || canWrite() || outputClosed_; });
        if (stop_) return;
        // Reading first: the render must never wait for input while output can.
        if (canRead()) reading = &inSlots_[inProduced_ % kSlots];
        else if (canWrite()) writing = &outSlots_[outConsumed_ % kSlots];
        else return;  // closed and drained
      }
      if (reading) {
        const bool more = readInto(*reading);
        {
          std::lock_guard lock(mutex_);
          if (reading->frames) ++inProduced_;
          if (!more) inputEnded_ = true;
        }
      } else {
        measureAndWrite(*writing);
        std::lock_guard lock(mutex_);
        ++outConsumed_;
      }
      changed_.notify_all();
    }
  } catch (...) {
    {
      std::lock_guard lock(mutex_);
      failure_ = std::current_exception();
    }
    changed_.notify_all();
  }
}

bool RenderPipeline::readInto(Slot& slot) {
  const size_t wanted = setup_.chunkFrames;
  slot.frames = setup_.input->read(slot.main.data(), wanted);
  if (sideChannels_) {
    // A shorter side-chain goes silent; a longer one is cut at the input's end.
    const size_t got = setup_.sidechain->read(slot.side.data(), slot.frames);
    std::fill(slot.side.begin() + static_cast<ptrdiff_t>(got * sideChannels_), slot.side.end(), 0.0);
  }
  inputLevels_.add(slot.main.data(), slot.frames);
  gain_.addInput(slot.main.data(), slot.frames);
  if (inputEnvelope_) inputEnvelope_->add(slot.main.data(), slot.frames);
  return slot.frames == wanted;
}

void RenderPipeline::measureAndWrite(const Slot& slot) {
  // Measured as written, so silence that rounds to zero reads -inf and clipping shows.
  writer_.write(slot.main.data(), slot.frames, written_.data());
  outputLevels_.add(written_.data(), slot.frames);
  gain_.addOutput(written_.data(), slot.frames);
  if (outputEnvelope_) outputEnvelope_->add(written_.data(), slot.frames);
}

RenderPipeline::Measured RenderPipeline::finish(double staticGainDb) {
  {
    std::lock_guard lock(mutex_);
    outputClosed_ = true;
  }
  changed_.notify_all();
  thread_.join();
  if (failure_) std::rethrow_exception(failure_);
  setup_.input->finish();
  if (setup_.sidechain && setup_.sidechain->framesRead() < setup_.input->framesRead()) setup_.sidechain->finish();

  Measured m;
  m.clipped = writer_.close();
  m.input = inputLevels_.finish();
  m.output = outputLevels_.finish();
  m.gain = gain_.finish(staticGainDb);
  m.frames = setup_.input->framesRead();
  m.inputEnvelope = std::move(inputEnvelope_);
  m.outputEnvelope = std::move(outputEnvelope_);
  m.waitSeconds = waitSeconds_;
  return m;
}

}  // namespace orv::render
