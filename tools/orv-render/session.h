// One plug-in instance driven through an offline render: load, configure, process, close.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/orv-render/setting.h"
#include "tools/vsthost/vsthost.h"

namespace orv::render {

class Session {
 public:
  // Loads the module and creates the instance, then effOpen. Throws Error.
  explicit Session(const std::string& pluginPath);
  ~Session();  // effClose
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  std::string effectName();
  std::vector<std::string> parameterNames();  // as the plug-in gives them, untrimmed
  std::vector<std::string> presetNames();

  void setSampleRate(double rate);
  void setBlockSize(int frames);

  // NAME or INDEX. Throws Error for an unknown one.
  PresetChoice selectPreset(const std::string& nameOrIndex);
  // "NAME=VALUE" or "INDEX=VALUE": VALUE normalised 0..1 as a bare number, otherwise in the
  // units the plug-in displays ("-12dB", "4:1", "On"). Throws Error.
  Setting setParameter(const std::string& assignment);
  // Every named parameter as it stands.
  std::vector<Setting> settings();
  // The parameter that switches the external side-chain on, when the plug-in has one.
  std::optional<Setting> sidechainSwitch();
  // Gives another instance of the same plug-in these settings (state chunk, else parameters).
  void copySettingsTo(Session& other);

  std::vector<uint8_t> saveState();
  void loadState(const std::string& path);  // checks size, marker and product before loading

  // Parameters with their display texts and ranges, then the presets.
  std::string listing();

  // Where a render takes its input and puts its output: chunks of interleaved frames, so a file
  // of any length is never held whole. Every chunk but the last holds a whole number of blocks.
  struct InputChunk {
    const double* main = nullptr;  // frames x the main channel count
    const double* side = nullptr;  // frames x the side-chain channel count, or null
    size_t frames = 0;
  };
  class Stream {
   public:
    virtual ~Stream() = default;
    // The next chunk, or false after the last; gives the previous chunk back.
    virtual bool nextInput(InputChunk& chunk) = 0;
    // Room for up to `capacity` interleaved output frames, filled before outputDone().
    virtual double* outputSpace(size_t& capacity) = 0;
    virtual void outputDone(size_t frames) = 0;
  };

  // Announces the channel layout and precision, switches processing on, renders the whole
  // stream with the reported latency compensated, switches processing off. The output has the
  // input's length and channel count. sideChannels is 0 without a side-chain.
  struct Options {
    int block = 64;
    bool useDouble = false;
    int64_t expectedFrames = 0;                 // for the progress only
    std::function<void(double done)> progress;  // fraction 0..1, called now and then
    const volatile int* interrupted = nullptr;  // set by a signal handler to stop early
  };
  struct Result {
    int latency = 0;
    int64_t frames = 0;           // input frames rendered
    double processSeconds = 0.0;  // time spent inside the plug-in's process calls
  };
  Result render(Stream& stream, int channels, int sideChannels, const Options& options);

 private:
  template <typename T>
  void renderBlocks(Stream& stream, int channels, int sideChannels, const Options& options, Result& result);
  void announceChannels(int mainChannels, bool sidechain);
  int32_t uniqueId() const;
  std::string displayText(int index);
  Setting current(int index);
  // Display range of a parameter, found by trying values; the parameter's value is kept.
  std::string rangeOf(int index, const std::string& name);

  std::unique_ptr<vsthost::Library> library_;
  std::unique_ptr<vsthost::Plugin> plugin_;
  std::string path_;
};

}  // namespace orv::render
