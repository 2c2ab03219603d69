#include "tools/orv-render/session.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/orv-render/display_values.h"
#include "tools/orv-render/error.h"
#include "tools/orv-render/text_match.h"

namespace orv::render {

namespace {

constexpr int kMaxPresets = 1024;
constexpr int kStateMarkerOffset = 0;
constexpr int kStateIdOffset = 4;
constexpr int kStateCountOffset = 8;
constexpr int kStateIndexOffset = 12;
constexpr int kStateHeader = 16;

int32_t readWord(const uint8_t* bytes) {
  int32_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

int32_t swapped(int32_t value) {
  return static_cast<int32_t>(__builtin_bswap32(static_cast<uint32_t>(value)));
}


// Parameter names usable on the command line: the spare slots all answer "-".
std::vector<std::string> usableNames(std::vector<std::string> names) {
  for (auto& name : names) {
    if (trim(name) == "-") name.clear();
  }
  return names;
}

}  // namespace

Session::Session(const std::string& pluginPath) : path_(pluginPath) {
  std::error_code ec;
  if (!std::filesystem::exists(pluginPath, ec)) throw Error(pluginPath + ": no such file");
  std::string why;
  library_ = vsthost::Library::open(pluginPath, &why);
  if (!library_) throw Error(pluginPath + ": cannot load the plug-in: " + why);
  plugin_ = vsthost::Plugin::create(*library_, {}, &why);
  if (!plugin_) throw Error(why);
  vst::AEffect* e = plugin_->effect();
  // An instance that failed to build itself announces one input, one output and "----".
  if (e->uniqueID == vst::fourCC('-', '-', '-', '-')) {
    throw Error(pluginPath + ": the plug-in could not initialise itself (identifier ----)");
  }
  if (e->numOutputs < 1 || e->numInputs < 1) throw Error(pluginPath + ": the plug-in has no audio inputs or outputs");
  plugin_->dispatch(vst::effOpen);
}

Session::~Session() {
  if (plugin_) plugin_->close();
}

int32_t Session::uniqueId() const {
  return plugin_->effect()->uniqueID;
}

std::string Session::effectName() {
  std::string name = plugin_->getString(vst::effGetEffectName);
  return name.empty() ? std::filesystem::path(path_).stem().string() : name;
}

std::vector<std::string> Session::parameterNames() {
  std::vector<std::string> names;
  for (int i = 0; i < plugin_->effect()->numParams; ++i) names.push_back(plugin_->getString(vst::effGetParamName, i));
  return names;
}

std::vector<std::string> Session::presetNames() {
  std::vector<std::string> names;
  for (int i = 0; i < kMaxPresets; ++i) {
    char text[256] = {};
    if (plugin_->dispatch(vst::effGetProgramNameIndexed, i, 0, text) == 0) break;
    text[sizeof text - 1] = '\0';
    names.emplace_back(text);
  }
  return names;
}

void Session::setSampleRate(double rate) {
  plugin_->dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void Session::setBlockSize(int frames) {
  plugin_->dispatch(vst::effSetBlockSize, 0, frames);
}

PresetChoice Session::selectPreset(const std::string& nameOrIndex) {
  const auto names = presetNames();
  long index = parseIndex(trim(nameOrIndex), static_cast<long>(names.size()) - 1);
  if (index < 0) index = findName(names, nameOrIndex);
  if (index < 0) {
    if (parseIndex(trim(nameOrIndex), kMaxPresets * 1000L) >= 0) {
      throw Error("no preset " + trim(nameOrIndex) + "; the plug-in has presets 0 to " +
                  std::to_string(static_cast<long>(names.size()) - 1));
    }
    throw Error("unknown preset \"" + nameOrIndex + "\"" + suggestion(names, nameOrIndex));
  }
  if (plugin_->effect()->flags & vst::effFlagsProgramChunks) {
    // The host sees one program; the preset is chosen by the current index inside the state.
    std::vector<uint8_t> state = saveState();
    if (state.size() < kStateHeader) throw Error("the plug-in's state is too short to select a preset");
    const auto current = static_cast<int32_t>(index);
    std::memcpy(state.data() + kStateIndexOffset, &current, sizeof current);
    plugin_->dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(state.size()), state.data());
    const std::vector<uint8_t> check = saveState();
    if (check.size() < kStateHeader || readWord(check.data() + kStateIndexOffset) != current) {
      throw Error("the plug-in did not select preset " + std::to_string(index));
    }
  } else {
    plugin_->dispatch(vst::effSetProgram, 0, index);
  }
  return {static_cast<int>(index), names[static_cast<size_t>(index)]};
}

Setting Session::setParameter(const std::string& assignment) {
  const auto equals = assignment.find('=');
  if (equals == std::string::npos) throw UsageError("--set expects NAME=VALUE, got \"" + assignment + "\"");
  const std::string key = trim(assignment.substr(0, equals));
  const std::string valueText = trim(assignment.substr(equals + 1));
  const auto names = usableNames(parameterNames());

  long index = parseIndex(key, static_cast<long>(names.size()) - 1);
  if (index < 0) index = key.empty() ? -1 : findName(names, key);
  if (index < 0) {
    if (parseIndex(key, 1L << 30) >= 0) {
      throw Error("no parameter " + key + "; the plug-in has parameters 0 to " +
                  std::to_string(static_cast<long>(names.size()) - 1));
    }
    throw Error("unknown parameter \"" + key + "\"" + suggestion(names, key));
  }
  const auto i = static_cast<int32_t>(index);
  std::string name = trim(names[static_cast<size_t>(index)]);
  if (name.empty()) name = "parameter " + std::to_string(index);
  if (valueText.empty()) throw Error("--set " + name + " has no value");
  float value = 0.0f;
  const auto plain = parsePlainNumber(valueText);
  if (plain && *plain >= 0.0 && *plain <= 1.0) {
    value = static_cast<float>(*plain);  // normalised
  } else {
    const float before = plugin_->getParameter(i);
    try {
      ParameterScale scale(name, [&](float v) {
        plugin_->setParameter(i, v);
        return displayText(i);
      });
      value = scale.valueFor(valueText);
    } catch (...) {
      plugin_->setParameter(i, before);
      throw;
    }
  }
  plugin_->setParameter(i, value);
  Setting set = current(i);
  set.typed = valueText;
  return set;
}

std::string Session::displayText(int index) {
  std::string display = trim(plugin_->getString(vst::effGetParamDisplay, index));
  const std::string label = trim(plugin_->getString(vst::effGetParamLabel, index));
  return label.empty() ? display : display + " " + label;
}

Setting Session::current(int index) {
  Setting s;
  s.index = index;
  s.name = trim(plugin_->getString(vst::effGetParamName, index));
  s.value = plugin_->getParameter(index);
  s.display = displayText(index);
  return s;
}

std::vector<Setting> Session::settings() {
  std::vector<Setting> all;
  const auto names = usableNames(parameterNames());
  for (size_t i = 0; i < names.size(); ++i) {
    if (!trim(names[i]).empty()) all.push_back(current(static_cast<int>(i)));
  }
  return all;
}

std::optional<Setting> Session::sidechainSwitch() {
  const auto names = parameterNames();
  for (size_t i = 0; i < names.size(); ++i) {
    std::string key;
    for (char c : lower(names[i])) {
      if (std::isalnum(static_cast<unsigned char>(c))) key += c;
    }
    if (key == "scext" || key == "sidechain" || key == "extsidechain" || key == "externalsidechain") {
      return current(static_cast<int>(i));
    }
  }
  return std::nullopt;
}

void Session::copySettingsTo(Session& other) {
  if (plugin_->effect()->flags & vst::effFlagsProgramChunks) {
    std::vector<uint8_t> state = saveState();
    if (!state.empty()) {
      other.plugin_->dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(state.size()), state.data());
      return;
    }
  }
  for (int i = 0; i < plugin_->effect()->numParams; ++i) other.plugin_->setParameter(i, plugin_->getParameter(i));
}

std::string Session::rangeOf(int index, const std::string& name) {
  const float before = plugin_->getParameter(index);
  std::string range = ParameterScale(name, [&](float v) {
                        plugin_->setParameter(index, v);
                        return displayText(index);
                      }).range();
  plugin_->setParameter(index, before);
  return range;
}

std::vector<uint8_t> Session::saveState() {
  void* data = nullptr;
  const intptr_t size = plugin_->dispatch(vst::effGetChunk, 0, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

void Session::loadState(const std::string& path) {
  if (!(plugin_->effect()->flags & vst::effFlagsProgramChunks)) throw Error("the plug-in keeps no state chunk");
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) throw Error(path + ": no such file");
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Error(path + ": cannot read: " + std::strerror(errno));
  std::vector<uint8_t> state((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw Error(path + ": read error");

  const size_t expected = saveState().size();
  if (state.size() != expected) {
    throw Error(path + ": a state file of this plug-in has " + std::to_string(expected) + " bytes, this one has " +
                std::to_string(state.size()));
  }
  static const uint8_t kMarker[4] = {0, 0, 0, 1};
  if (expected < kStateHeader || std::memcmp(state.data() + kStateMarkerOffset, kMarker, 4) != 0) {
    throw Error(path + ": not a state file (its first bytes are not 00 00 00 01)");
  }
  // The preset count (16) tells the byte order the file was written in.
  const int32_t count = readWord(state.data() + kStateCountOffset);
  if (count != 16 && swapped(count) != 16) throw Error(path + ": not a state file (preset count is not 16)");
  const bool native = count == 16;
  const int32_t rawId = readWord(state.data() + kStateIdOffset);
  const int32_t id = native ? rawId : swapped(rawId);
  if (id != uniqueId()) {
    throw Error(path + ": state of another product (" + vsthost::fourCharCode(id) + "), this plug-in is " +
                vsthost::fourCharCode(uniqueId()));
  }
  const intptr_t result =
      plugin_->dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(state.size()), state.data());
  if (result < 0) throw Error(path + ": the plug-in refused this state");
}

std::string Session::listing() {
  std::string text;
  char line[512];
  const auto names = parameterNames();
  std::snprintf(line, sizeof line, "Parameters of \"%s\" (%zu): display text, normalised value, display range\n",
                effectName().c_str(), names.size());
  text += line;
  for (size_t i = 0; i < names.size(); ++i) {
    const auto index = static_cast<int32_t>(i);
    const std::string name = trim(names[i]);
    const std::string range = name.empty() || name == "-" ? "" : rangeOf(index, name);
    std::snprintf(line, sizeof line, "  %3zu  %-12s %-12s %.4f%s%s\n", i, name.c_str(), displayText(index).c_str(),
                  static_cast<double>(plugin_->getParameter(index)), range.empty() ? "" : "  ", range.c_str());
    text += line;
  }
  const auto presets = presetNames();
  int current = -1;
  if (plugin_->effect()->flags & vst::effFlagsProgramChunks) {
    const auto state = saveState();
    if (state.size() >= kStateHeader) current = readWord(state.data() + kStateIndexOffset);
  } else {
    current = static_cast<int>(plugin_->dispatch(vst::effGetProgram));
  }
  std::snprintf(line, sizeof line, "Presets (%zu):\n", presets.size());
  text += line;
  for (size_t i = 0; i < presets.size(); ++i) {
    std::snprintf(line, sizeof line, "  %3zu  %s%s\n", i, presets[i].c_str(),
                  static_cast<int>(i) == current ? "  (current)" : "");
    text += line;
  }
  return text;
}

void Session::announceChannels(int mainChannels, bool sidechain) {
  vst::VstSpeakerArrangement in{}, out{};
  const auto fill = [](vst::VstSpeakerArrangement& a, int channels) {
    a.numChannels = channels;
    // Mono 0 and stereo 1 as published; anything else is user-defined (-2).
    a.type = channels == 1 ? 0 : channels == 2 ? 1 : -2;
  };
  fill(in, sidechain ? 4 : mainChannels);
  fill(out, sidechain ? 2 : mainChannels);
  const intptr_t accepted = plugin_->dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out);
  if (sidechain && !accepted) throw Error("the plug-in refused a side-chain layout of 4 inputs and 2 outputs");
}

Session::Result Session::render(Stream& stream, int channels, int sideChannels, const Options& options) {
  vst::AEffect* e = plugin_->effect();
  if (sideChannels && e->numInputs < 4) throw Error("the plug-in has no side-chain inputs");
  if (options.useDouble && (!(e->flags & vst::effFlagsCanDoubleReplacing) || !e->processDoubleReplacing)) {
    throw Error("the plug-in cannot process 64-bit samples (--double)");
  }
  if (!options.useDouble && !e->processReplacing) throw Error("the plug-in has no replacing process call");

  announceChannels(channels, sideChannels != 0);
  plugin_->dispatch(vst::effSetProcessPrecision, 0,
                    options.useDouble ? vst::kVstProcessPrecision64 : vst::kVstProcessPrecision32);
  plugin_->dispatch(vst::effMainsChanged, 0, 1);
  plugin_->dispatch(vst::effStartProcess);

  Result result;
  // Read after resume: a plug-in may report a latency that depends on the sample rate.
  result.latency = std::max(0, plugin_->effect()->initialDelay);
  if (plugin_->effect()->initialDelay < 0) {
    std::fprintf(stderr, "orv-render: warning: the plug-in reports a negative latency; not compensated\n");
  }
  try {
    if (options.useDouble) renderBlocks<double>(stream, channels, sideChannels, options, result);
    else renderBlocks<float>(stream, channels, sideChannels, options, result);
  } catch (...) {
    plugin_->dispatch(vst::effStopProcess);
    plugin_->dispatch(vst::effMainsChanged, 0, 0);
    throw;
  }
  plugin_->dispatch(vst::effStopProcess);
  plugin_->dispatch(vst::effMainsChanged, 0, 0);
  return result;
}

template <typename T>
void Session::renderBlocks(Stream& stream, int channels, int sideChannels, const Options& options, Result& result) {
  vst::AEffect* e = plugin_->effect();
  const auto block = static_cast<size_t>(options.block);
  const auto latency = static_cast<int64_t>(result.latency);
  const auto width = static_cast<size_t>(channels);
  const auto sideWidth = static_cast<size_t>(sideChannels);

  // Every pin the plug-in announces gets a buffer; unused inputs stay silent.
  const int numIn = std::max(4, e->numInputs);
  const int numOut = std::max(2, e->numOutputs);
  std::vector<std::vector<T>> inBuffers(numIn, std::vector<T>(block)), outBuffers(numOut, std::vector<T>(block));
  std::vector<T*> inPtrs(numIn), outPtrs(numOut);
  for (int i = 0; i < numIn; ++i) inPtrs[i] = inBuffers[i].data();
  for (int i = 0; i < numOut; ++i) outPtrs[i] = outBuffers[i].data();
  // Mono goes to both main inputs so a plug-in that ignores the layout still sees it.
  const size_t main1 = std::min<size_t>(1, width - 1);
  const size_t side1 = sideWidth ? std::min<size_t>(1, sideWidth - 1) : 0;

  Session::InputChunk chunk;
  size_t at = 0;  // frames of chunk used
  bool more = stream.nextInput(chunk);
  int64_t frames = 0;  // input frames taken so far; the total once the input has ended
  double* out = nullptr;
  size_t outCapacity = 0, outUsed = 0;

  using Clock = std::chrono::steady_clock;
  Clock::duration inside{};
  const int64_t expectedTotal = std::max<int64_t>(options.expectedFrames, 1) + latency;
  int64_t nextProgress = 0;
  const int64_t progressStep = std::max<int64_t>(expectedTotal / 200, 1);
  int64_t blocksSinceClear = 0;

  // Blocks are cut from the stream as from one long input followed by `latency` frames of
  // silence: every block holds `block` frames but the very last.
  for (int64_t pos = 0;; pos += static_cast<int64_t>(block)) {
    if (options.interrupted && *options.interrupted) throw Error("interrupted");
    size_t filled = 0;
    while (filled < block && more) {
      if (at == chunk.frames) {
        more = stream.nextInput(chunk);
        at = 0;
        continue;
      }
      const size_t n = std::min(block - filled, chunk.frames - at);
      const double* m = chunk.main + at * width;
      T* left = inPtrs[0] + filled;
      T* right = inPtrs[1] + filled;
      for (size_t i = 0; i < n; ++i) {
        left[i] = static_cast<T>(m[i * width]);
        right[i] = static_cast<T>(m[i * width + main1]);
      }
      if (sideWidth) {
        const double* s = chunk.side + at * sideWidth;
        T* sideLeft = inPtrs[2] + filled;
        T* sideRight = inPtrs[3] + filled;
        for (size_t i = 0; i < n; ++i) {
          sideLeft[i] = static_cast<T>(s[i * sideWidth]);
          sideRight[i] = static_cast<T>(s[i * sideWidth + side1]);
        }
      }
      filled += n;
      at += n;
    }
    frames += static_cast<int64_t>(filled);
    // The last input sample leaves the plug-in latency samples late.
    const size_t n = more ? block : static_cast<size_t>(std::clamp<int64_t>(frames + latency - pos, 0, static_cast<int64_t>(block)));
    if (n == 0) break;
    for (int pin = 0; pin < (sideWidth ? 4 : 2); ++pin) std::fill(inPtrs[pin] + filled, inPtrs[pin] + n, T{});

    const auto start = Clock::now();
    if constexpr (std::is_same_v<T, double>) {
      plugin_->processDoubleReplacing(inPtrs.data(), outPtrs.data(), static_cast<int32_t>(n));
    } else {
      plugin_->processReplacing(inPtrs.data(), outPtrs.data(), static_cast<int32_t>(n));
    }
    inside += Clock::now() - start;

    // Output sample j belongs to input sample j - latency.
    size_t j = static_cast<size_t>(std::clamp<int64_t>(latency - pos, 0, static_cast<int64_t>(n)));
    while (j < n) {
      if (outUsed == outCapacity) {
        if (out) stream.outputDone(outUsed);
        out = stream.outputSpace(outCapacity);
        outUsed = 0;
      }
      const size_t count = std::min(n - j, outCapacity - outUsed);
      double* dst = out + outUsed * width;
      for (size_t c = 0; c < width; ++c) {
        const T* src = outPtrs[c] + j;
        for (size_t i = 0; i < count; ++i) dst[i * width + c] = static_cast<double>(src[i]);
      }
      outUsed += count;
      j += count;
    }

    // The harness records every callback; keep that record from growing over a long file.
    if (++blocksSinceClear == 4096) {
      plugin_->clearCalls();
      blocksSinceClear = 0;
    }
    if (options.progress && pos >= nextProgress) {
      options.progress(std::min(1.0, static_cast<double>(pos) / static_cast<double>(expectedTotal)));
      nextProgress = pos + progressStep;
    }
  }
  if (out) stream.outputDone(outUsed);
  if (options.progress) options.progress(1.0);
  result.frames = frames;
  result.processSeconds = std::chrono::duration<double>(inside).count();
}

}  // namespace orv::render
