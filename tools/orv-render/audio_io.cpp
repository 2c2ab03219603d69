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

uint32_t littleWord(const unsigned char* b) {
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

std::string frameCount(int64_t frames) {
  return std::to_string(frames) + (frames == 1 ? " frame" : " frames");
}

}  // namespace

namespace {

uint32_t bigWord(const unsigned char* b) {
  return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | uint32_t{b[3]};
}

std::optional<HeaderLength> wavLength(std::FILE* file, int64_t size) {
  int64_t at = 12;
  uint32_t blockAlign = 0;
  for (;;) {
    unsigned char chunk[8];
    if (std::fseek(file, static_cast<long>(at), SEEK_SET) != 0 || std::fread(chunk, 1, 8, file) != 8) {
      return std::nullopt;
    }
    const uint32_t length = littleWord(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      unsigned char format[16];
      if (length < 16 || std::fread(format, 1, sizeof format, file) != sizeof format) return std::nullopt;
      blockAlign = uint32_t{format[12]} | uint32_t{format[13]} << 8;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      // 0 and 0xFFFFFFFF are what streaming writers leave when they cannot seek back.
      if (blockAlign == 0 || length == 0xFFFFFFFFu) return std::nullopt;
      const int64_t present = std::max<int64_t>(0, size - (at + 8));
      if (length == 0 && present > 0) return std::nullopt;
      return HeaderLength{length / blockAlign, std::min<int64_t>(length, present) / blockAlign};
    }
    at += 8 + length + (length & 1);
  }
}

std::optional<HeaderLength> aiffLength(std::FILE* file, int64_t size, bool compressed) {
  int64_t at = 12;
  int64_t promised = -1, frameBytes = 0;
  for (;;) {
    unsigned char chunk[8];
    if (std::fseek(file, static_cast<long>(at), SEEK_SET) != 0 || std::fread(chunk, 1, 8, file) != 8) {
      return std::nullopt;
    }
    const uint32_t length = bigWord(chunk + 4);
    if (std::memcmp(chunk, "COMM", 4) == 0) {
      unsigned char comm[22];
      const size_t wanted = compressed ? 22 : 8;
      if (length < wanted || std::fread(comm, 1, wanted, file) != wanted) return std::nullopt;
      const int channels = comm[0] << 8 | comm[1];
      const int bits = comm[6] << 8 | comm[7];
      promised = bigWord(comm + 2);
      frameBytes = static_cast<int64_t>(channels) * ((bits + 7) / 8);
      if (compressed) {
        const std::string type(reinterpret_cast<const char*>(comm + 18), 4);
        if (type == "fl32" || type == "FL32") frameBytes = 4 * channels;
        else if (type == "fl64" || type == "FL64") frameBytes = 8 * channels;
        else if (type != "NONE" && type != "sowt" && type != "twos" && type != "raw ") return std::nullopt;
      }
    } else if (std::memcmp(chunk, "SSND", 4) == 0) {
      unsigned char head[4];
      if (promised < 0 || frameBytes <= 0 || length < 8 || std::fread(head, 1, 4, file) != 4) return std::nullopt;
      const int64_t start = at + 16 + bigWord(head);
      const int64_t present = std::max<int64_t>(0, size - start);
      const int64_t announced = static_cast<int64_t>(length) - 8 - bigWord(head);
      const int64_t held = std::min({promised, present / frameBytes, std::max<int64_t>(0, announced) / frameBytes});
      return HeaderLength{promised, held};
    }
    at += 8 + length + (length & 1);
  }
}

}  // namespace

std::optional<HeaderLength> inspectLength(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
  unsigned char head[12];
  if (std::fread(head, 1, sizeof head, file) != sizeof head) return std::nullopt;
  std::error_code ec;
  const auto size = static_cast<int64_t>(std::filesystem::file_size(path, ec));
  if (ec) return std::nullopt;
  if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) return wavLength(file, size);
  if (std::memcmp(head, "FORM", 4) == 0 && std::memcmp(head + 8, "AIFF", 4) == 0) return aiffLength(file, size, false);
  if (std::memcmp(head, "FORM", 4) == 0 && std::memcmp(head + 8, "AIFC", 4) == 0) return aiffLength(file, size, true);
  return std::nullopt;
}

std::optional<FileId> fileId(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileId{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

AudioReader::AudioReader(const std::string& path, bool allowShort) : path_(path), allowShort_(allowShort) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) throw Error(path + ": no such file");
  if (std::filesystem::is_directory(status)) throw Error(path + ": is a folder, not an audio file");
  if (FILE* probe = std::fopen(path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    throw Error(path + ": cannot read: " + std::strerror(errno));
  }
  if (const auto extent = inspectLength(path)) {
    if (extent->held == 0) {
      const std::string why =
          extent->promised ? "promises " + frameCount(extent->promised) + ", none follow" : "is all there is";
      throw Error(path + ": no audio frames (the header " + why + ")");
    }
    if (extent->held < extent->promised) {
      if (!allowShort) {
        throw Error(path + ": holds " + frameCount(extent->held) + " but its header promises " +
                    std::to_string(extent->promised) +
                    "; the file is cut short (--allow-short-input renders what is there)");
      }
      std::fprintf(stderr, "orv-render: warning: %s holds %s of the %lld its header promises; rendering those\n",
                   path.c_str(), frameCount(extent->held).c_str(), static_cast<long long>(extent->promised));
    }
  }

  SF_INFO info{};
  SndfilePtr file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) throw Error(path + ": not an audio file that can be read (" + sf_strerror(nullptr) + ")");
  if (info.channels < 1 || info.channels > 2) {
    throw Error(path + ": has " + std::to_string(info.channels) + " channels; only mono and stereo are supported");
  }
  if (info.samplerate <= 0) throw Error(path + ": invalid sample rate");
  if (info.frames <= 0) throw Error(path + ": no audio frames");
  rate_ = info.samplerate;
  channels_ = info.channels;
  format_ = info.format;
  headerFrames_ = info.frames;
  file_ = file.release();
}

AudioReader::~AudioReader() {
  sf_close(static_cast<SNDFILE*>(file_));
}

size_t AudioReader::read(double* interleaved, size_t frames) {
  auto* file = static_cast<SNDFILE*>(file_);
  size_t done = 0;
  while (done < frames && read_ < headerFrames_ && !ended_) {
    const auto wanted = static_cast<sf_count_t>(std::min<int64_t>(static_cast<int64_t>(frames - done), headerFrames_ - read_));
    const sf_count_t got = sf_readf_double(file, interleaved + done * static_cast<size_t>(channels_), wanted);
    if (got <= 0) {
      ended_ = true;
      break;
    }
    done += static_cast<size_t>(got);
    read_ += got;
  }
  if (sf_error(file) != SF_ERR_NO_ERROR) throw Error(path_ + ": read error (" + sf_strerror(file) + ")");
  return done;
}

void AudioReader::finish() {
  if (read_ == 0) throw Error(path_ + ": no audio frames");
  if (read_ < headerFrames_) {
    if (!allowShort_) {
      throw Error(path_ + ": reading stopped after " + frameCount(read_) + " of the " + std::to_string(headerFrames_) +
                  " its header promises; the file is cut short (--allow-short-input renders what is there)");
    }
    std::fprintf(stderr, "orv-render: warning: %s ends after %s of the %lld its header promises\n", path_.c_str(),
                 frameCount(read_).c_str(), static_cast<long long>(headerFrames_));
  }
}

Audio readAudio(const std::string& path) {
  AudioReader reader(path);
  Audio audio;
  audio.rate = reader.rate();
  audio.format = reader.format();
  const auto channels = static_cast<size_t>(reader.channels());
  audio.channels.assign(channels, std::vector<double>(static_cast<size_t>(reader.headerFrames())));
  std::vector<double> chunk(static_cast<size_t>(kChunkFrames) * channels);
  size_t done = 0;
  while (const size_t got = reader.read(chunk.data(), static_cast<size_t>(kChunkFrames))) {
    for (size_t c = 0; c < channels; ++c) {
      double* dst = audio.channels[c].data() + done;
      for (size_t i = 0; i < got; ++i) dst[i] = chunk[i * channels + c];
    }
    done += got;
  }
  for (auto& c : audio.channels) c.resize(done);
  reader.finish();
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

AudioWriter::AudioWriter(const std::string& path, int rate, int channels, const OutputFormat& format)
    : path_(path),
      channels_(channels),
      format_(format),
      floatOut_(isFloatSubtype(format.format & SF_FORMAT_SUBMASK)) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format.format;
  auto* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) throw Error(path + ": cannot write (" + sf_strerror(nullptr) + ")");
  // Integers are converted here so the rounding and the clip count are ours; never dithered.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  file_ = file;
  (format.intBits ? ints_.resize(static_cast<size_t>(kChunkFrames * channels))
                  : reals_.resize(static_cast<size_t>(kChunkFrames * channels)));
}

AudioWriter::~AudioWriter() {
  if (file_) sf_close(static_cast<SNDFILE*>(file_));
}

void AudioWriter::write(const double* interleaved, size_t frames, double* asWritten) {
  auto* file = static_cast<SNDFILE*>(file_);
  const auto width = static_cast<size_t>(channels_);
  for (size_t start = 0; start < frames; start += static_cast<size_t>(kChunkFrames)) {
    const size_t n = std::min(static_cast<size_t>(kChunkFrames), frames - start);
    const double* x = interleaved + start * width;
    sf_count_t written = 0;
    if (format_.intBits) {
      const int bits = format_.intBits;
      uint64_t clipped = clipped_;
      for (size_t i = 0; i < n * width; ++i) ints_[i] = quantize(x[i], bits, clipped);
      clipped_ = clipped;
      if (asWritten) {
        for (size_t i = 0; i < n * width; ++i) asWritten[start * width + i] = ints_[i] / 2147483648.0;
      }
      written = sf_writef_int(file, ints_.data(), static_cast<sf_count_t>(n));
    } else {
      for (size_t i = 0; i < n * width; ++i) {
        double s = x[i];
        if (!std::isfinite(s)) {
          ++clipped_;
          s = 0.0;
        } else if (!floatOut_ && std::fabs(s) > 1.0) {
          // Lossy and companded encodings cannot carry samples beyond full scale.
          ++clipped_;
          s = std::clamp(s, -1.0, 1.0);
        }
        reals_[i] = s;
      }
      if (asWritten) {
        const bool single = (format_.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT;
        for (size_t i = 0; i < n * width; ++i) {
          asWritten[start * width + i] = single ? static_cast<double>(static_cast<float>(reals_[i])) : reals_[i];
        }
      }
      written = sf_writef_double(file, reals_.data(), static_cast<sf_count_t>(n));
    }
    if (written != static_cast<sf_count_t>(n)) throw Error(path_ + ": write error (" + sf_strerror(file) + ")");
  }
}

uint64_t AudioWriter::close() {
  auto* file = static_cast<SNDFILE*>(file_);
  file_ = nullptr;
  if (sf_close(file) != 0) throw Error(path_ + ": write error on close");
  return clipped_;
}

uint64_t writeAudio(const std::string& path, const Planar& audio, int rate, const OutputFormat& format) {
  const size_t channels = audio.size();
  AudioWriter writer(path, rate, static_cast<int>(channels), format);
  const size_t frames = audio[0].size();
  std::vector<double> chunk(static_cast<size_t>(kChunkFrames) * channels);
  for (size_t start = 0; start < frames; start += static_cast<size_t>(kChunkFrames)) {
    const size_t n = std::min(static_cast<size_t>(kChunkFrames), frames - start);
    for (size_t i = 0; i < n; ++i) {
      for (size_t c = 0; c < channels; ++c) chunk[i * channels + c] = audio[c][start + i];
    }
    writer.write(chunk.data(), n);
  }
  return writer.close();
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
  std::string name = target.filename().string();
  name.insert(0, 1, '.');
  name += ".XXXXXX";
  std::string pattern = (folder / name).string();
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
