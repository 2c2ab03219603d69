#include "tools/orv-render/audio_io.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "tools/orv-render/error.h"
#include "tools/orv-render/text_match.h"

namespace orv::render {

namespace {

constexpr sf_count_t kChunkFrames = 4096;

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

int intBitsOf(int subtype) {
  switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32: return 32;
    default: return 0;
  }
}

bool isFloatSubtype(int subtype) {
  return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

int majorFromName(const std::string& name) {
  const std::string n = lower(name);
  if (n == "wav") return SF_FORMAT_WAV;
  if (n == "aiff" || n == "aif") return SF_FORMAT_AIFF;
  if (n == "flac") return SF_FORMAT_FLAC;
  if (n == "ogg" || n == "oga") return SF_FORMAT_OGG;
  return 0;
}

}  // namespace

Audio readAudio(const std::string& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) throw Error(path + ": no such file");
  if (std::filesystem::is_directory(status)) throw Error(path + ": is a folder, not an audio file");
  if (FILE* probe = std::fopen(path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    throw Error(path + ": cannot read: " + std::strerror(errno));
  }

  SF_INFO info{};
  SndfilePtr file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) throw Error(path + ": not an audio file that can be read (" + sf_strerror(nullptr) + ")");
  if (info.channels < 1 || info.channels > 2) {
    throw Error(path + ": has " + std::to_string(info.channels) + " channels; only mono and stereo are supported");
  }
  if (info.samplerate <= 0) throw Error(path + ": invalid sample rate");
  if (info.frames <= 0) throw Error(path + ": contains no audio");

  Audio audio;
  audio.rate = info.samplerate;
  audio.format = info.format;
  audio.channels.assign(static_cast<size_t>(info.channels), std::vector<double>(static_cast<size_t>(info.frames)));
  std::vector<double> chunk(static_cast<size_t>(kChunkFrames * info.channels));
  sf_count_t done = 0;
  while (done < info.frames) {
    const sf_count_t got = sf_readf_double(file.get(), chunk.data(), std::min(kChunkFrames, info.frames - done));
    if (got <= 0) break;
    for (int c = 0; c < info.channels; ++c) {
      double* dst = audio.channels[c].data() + done;
      for (sf_count_t i = 0; i < got; ++i) dst[i] = chunk[i * info.channels + c];
    }
    done += got;
  }
  for (auto& c : audio.channels) c.resize(static_cast<size_t>(done));
  if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
    throw Error(path + ": read error (" + sf_strerror(file.get()) + ")");
  }
  if (audio.frames() == 0) throw Error(path + ": contains no audio");
  if (audio.frames() < info.frames) {
    std::fprintf(stderr, "orv-render: warning: %s is shorter than its header says (%lld of %lld frames)\n",
                 path.c_str(), static_cast<long long>(audio.frames()), static_cast<long long>(info.frames));
  }
  return audio;
}

OutputFormat chooseOutputFormat(const std::string& outPath, int inputFormat, int rate, int channels,
                                const std::optional<std::string>& container, const std::optional<std::string>& bits) {
  int major = 0;
  if (container) {
    major = majorFromName(*container);
    if (!major) throw UsageError("unknown --format '" + *container + "'; use wav, aiff, flac or ogg");
  } else {
    major = majorFromName(std::filesystem::path(outPath).extension().string().substr(
        std::filesystem::path(outPath).has_extension() ? 1 : 0));
    if (!major) major = inputFormat & SF_FORMAT_TYPEMASK;
  }

  const int inSub = inputFormat & SF_FORMAT_SUBMASK;
  int sub = 0;
  if (bits) {
    if (major == SF_FORMAT_OGG) throw UsageError("--bits does not apply to Ogg Vorbis output");
    if (*bits == "16") sub = SF_FORMAT_PCM_16;
    else if (*bits == "24") sub = SF_FORMAT_PCM_24;
    else if (*bits == "32") sub = SF_FORMAT_PCM_32;
    else if (*bits == "float") sub = SF_FORMAT_FLOAT;
    else throw UsageError("unknown --bits '" + *bits + "'; use 16, 24, 32 or float");
    if (major == SF_FORMAT_FLAC && sub != SF_FORMAT_PCM_16 && sub != SF_FORMAT_PCM_24) {
      throw UsageError("FLAC holds 16 or 24 bits, not --bits " + *bits);
    }
  } else if (major == SF_FORMAT_OGG) {
    sub = SF_FORMAT_VORBIS;
  } else {
    SF_INFO probe{};
    probe.samplerate = rate;
    probe.channels = channels;
    probe.format = major | inSub;
    if (sf_format_check(&probe)) {
      sub = inSub;
    } else {
      const int inBits = intBitsOf(inSub);
      if (major == SF_FORMAT_FLAC) sub = inBits && inBits <= 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24;
      else sub = inBits == 16 ? SF_FORMAT_PCM_16 : inBits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT;
    }
  }

  SF_INFO check{};
  check.samplerate = rate;
  check.channels = channels;
  check.format = major | sub;
  if (!sf_format_check(&check)) {
    throw UsageError("cannot write " + describeFormat(major | sub) + " at " + std::to_string(rate) + " Hz");
  }
  return {major | sub, intBitsOf(sub)};
}

std::string describeFormat(int format) {
  std::string text;
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV: text = "WAV"; break;
    case SF_FORMAT_AIFF: text = "AIFF"; break;
    case SF_FORMAT_FLAC: text = "FLAC"; break;
    case SF_FORMAT_OGG: text = "Ogg"; break;
    default: {
      SF_FORMAT_INFO info{};
      info.format = format & SF_FORMAT_TYPEMASK;
      text = sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name ? info.name : "audio";
    }
  }
  const int sub = format & SF_FORMAT_SUBMASK;
  if (const int b = intBitsOf(sub)) return text + " " + std::to_string(b) + "-bit";
  if (sub == SF_FORMAT_FLOAT) return text + " 32-bit float";
  if (sub == SF_FORMAT_DOUBLE) return text + " 64-bit float";
  if (sub == SF_FORMAT_VORBIS) return text + " Vorbis";
  if (sub == SF_FORMAT_OPUS) return text + " Opus";
  return text;
}

int32_t quantize(double sample, int bits, uint64_t& clipped) {
  const double scale = static_cast<double>(int64_t{1} << (bits - 1));
  const double top = scale - 1.0;
  double q = std::nearbyint(sample * scale);
  if (!(q <= top)) {  // also catches NaN
    ++clipped;
    q = std::isnan(q) ? 0.0 : top;
  } else if (q < -scale) {
    ++clipped;
    q = -scale;
  }
  const auto word = static_cast<int64_t>(q) * (int64_t{1} << (32 - bits));
  return static_cast<int32_t>(word);
}

uint64_t writeAudio(const std::string& path, const Planar& audio, int rate, const OutputFormat& format) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = static_cast<int>(audio.size());
  info.format = format.format;
  SndfilePtr file(sf_open(path.c_str(), SFM_WRITE, &info));
  if (!file) throw Error(path + ": cannot write (" + sf_strerror(nullptr) + ")");
  // Integers are converted here so the rounding and the clip count are ours; never dithered.
  sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

  const int channels = info.channels;
  const auto frames = static_cast<sf_count_t>(audio[0].size());
  const bool floatOut = isFloatSubtype(format.format & SF_FORMAT_SUBMASK);
  uint64_t clipped = 0;
  std::vector<int32_t> ints(format.intBits ? static_cast<size_t>(kChunkFrames * channels) : 0);
  std::vector<double> reals(format.intBits ? 0 : static_cast<size_t>(kChunkFrames * channels));
  for (sf_count_t start = 0; start < frames; start += kChunkFrames) {
    const sf_count_t n = std::min(kChunkFrames, frames - start);
    sf_count_t written = 0;
    if (format.intBits) {
      for (sf_count_t i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) {
          ints[i * channels + c] = quantize(audio[c][start + i], format.intBits, clipped);
        }
      }
      written = sf_writef_int(file.get(), ints.data(), n);
    } else {
      for (sf_count_t i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) {
          double s = audio[c][start + i];
          if (!std::isfinite(s)) {
            ++clipped;
            s = 0.0;
          } else if (!floatOut && std::fabs(s) > 1.0) {
            // Lossy and companded encodings cannot carry samples beyond full scale.
            ++clipped;
            s = std::clamp(s, -1.0, 1.0);
          }
          reals[i * channels + c] = s;
        }
      }
      written = sf_writef_double(file.get(), reals.data(), n);
    }
    if (written != n) throw Error(path + ": write error (" + sf_strerror(file.get()) + ")");
  }
  SNDFILE* raw = file.release();
  if (sf_close(raw) != 0) throw Error(path + ": write error on close");
  return clipped;
}

// ---- PendingFile ----

namespace {

// Plain storage so a signal handler can unlink without allocating.
constexpr int kMaxPending = 8;
std::array<std::array<char, 4096>, kMaxPending> pendingPaths{};

void registerPending(const std::string& path) {
  for (auto& slot : pendingPaths) {
    if (slot[0] == '\0' && path.size() < slot.size()) {
      std::memcpy(slot.data(), path.c_str(), path.size() + 1);
      return;
    }
  }
}

void unregisterPending(const std::string& path) {
  for (auto& slot : pendingPaths) {
    if (path == slot.data()) slot[0] = '\0';
  }
}

}  // namespace

void removePendingFiles() {
  for (auto& slot : pendingPaths) {
    if (slot[0] != '\0') unlink(slot.data());
  }
}

PendingFile::PendingFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
  const std::filesystem::path target(finalPath_);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) throw Error(finalPath_ + ": cannot create a file in " + folder.string() + ": " + std::strerror(errno));
  // mkstemp makes the file private; the result should get the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  tempPath_ = pattern;
  registerPending(tempPath_);
}

PendingFile::~PendingFile() {
  if (!committed_) {
    unlink(tempPath_.c_str());
    unregisterPending(tempPath_);
  }
}

void PendingFile::commit() {
  if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    throw Error(finalPath_ + ": cannot write: " + std::strerror(errno));
  }
  committed_ = true;
  unregisterPending(tempPath_);
}

}  // namespace orv::render
