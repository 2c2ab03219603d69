// Audio files in and out through libsndfile, held in memory as planar doubles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv::render {

using Planar = std::vector<std::vector<double>>;  // [channel][frame], full scale = 1.0

struct Audio {
  int rate = 0;
  int format = 0;  // libsndfile major format | subtype
  Planar channels;
  int64_t frames() const { return channels.empty() ? 0 : static_cast<int64_t>(channels[0].size()); }
};

// Reads mono or stereo audio. Throws Error with a one-line reason.
Audio readAudio(const std::string& path);

// What a WAV or AIFF file's header promises against what the file holds, read from its chunks
// (libsndfile quietly shortens a file cut after its header to the frames present). Empty for
// other files and for headers that promise no particular length (streamed WAV, RF64,
// compressed AIFC).
struct HeaderLength {
  int64_t promised = 0;  // frames the header announces
  int64_t held = 0;      // whole frames present in the file
};
std::optional<HeaderLength> inspectLength(const std::string& path);

// A file's identity on disk (device and inode), so two spellings, a link or a symlink of one
// file compare equal. Empty when the file does not exist.
struct FileId {
  uint64_t device = 0, inode = 0;
  bool operator==(const FileId&) const = default;
};
std::optional<FileId> fileId(const std::string& path);

// Mono or stereo audio read piece by piece, as interleaved frames.
class AudioReader {
 public:
  // Opens and checks the file; throws Error with a one-line reason, also for a file that holds
  // fewer frames than its header promises unless allowShort (then it warns and reads what is there).
  explicit AudioReader(const std::string& path, bool allowShort = false);
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  int rate() const { return rate_; }
  int channels() const { return channels_; }
  int format() const { return format_; }
  int64_t headerFrames() const { return headerFrames_; }
  int64_t framesRead() const { return read_; }

  // Fills up to `frames` frames; fewer only at the end of the audio. Throws Error on a read error.
  size_t read(double* interleaved, size_t frames);
  // After the last read: throws when the file held no audio or reading stopped before the header's
  // length (a warning instead with allowShort).
  void finish();

 private:
  std::string path_;
  void* file_ = nullptr;  // SNDFILE
  int rate_ = 0, channels_ = 0, format_ = 0;
  int64_t headerFrames_ = 0, read_ = 0;
  bool ended_ = false, allowShort_ = false;
};

struct OutputFormat {
  int format = 0;  // libsndfile major format | subtype
  int intBits = 0;  // 8, 16, 24 or 32 when written as integers by this program; 0 otherwise
};

// Format for OUT: --format, else OUT's extension, else the input's container; --bits, else the
// input's sample format where the container holds it. Throws UsageError for impossible pairs.
OutputFormat chooseOutputFormat(const std::string& outPath, int inputFormat, int rate, int channels,
                                const std::optional<std::string>& container, const std::optional<std::string>& bits);

// "WAV 24-bit", "FLAC 16-bit", "Ogg Vorbis", ...
std::string describeFormat(int format);

// Float to integer without dither: rounded to nearest, values beyond full scale clipped and counted.
// Returns the value scaled into the top bits of a 32-bit word, as libsndfile's int calls expect.
int32_t quantize(double sample, int bits, uint64_t& clipped);

// Writes audio to path (created or truncated) and returns the number of samples clipped on the way.
uint64_t writeAudio(const std::string& path, const Planar& audio, int rate, const OutputFormat& format);

// The same, piece by piece from interleaved frames.
class AudioWriter {
 public:
  AudioWriter(const std::string& path, int rate, int channels, const OutputFormat& format);  // throws Error
  ~AudioWriter();
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  // Throws Error. With asWritten, also gives the samples as the file holds them (rounded to the
  // sample format, clipped), frames x channels.
  void write(const double* interleaved, size_t frames, double* asWritten = nullptr);
  uint64_t close();  // completes the file; returns the samples clipped. Throws Error.

 private:
  std::string path_;
  void* file_ = nullptr;  // SNDFILE
  int channels_;
  OutputFormat format_;
  bool floatOut_;
  uint64_t clipped_ = 0;
  std::vector<int32_t> ints_;
  std::vector<double> reals_;
};

// A file made next to its final path and renamed onto it only when complete; removed otherwise.
class PendingFile {
 public:
  explicit PendingFile(std::string finalPath);
  ~PendingFile();  // removes the temporary file unless committed
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& path() const { return tempPath_; }
  void commit();  // rename onto the final path; throws Error

 private:
  std::string finalPath_;
  std::string tempPath_;
  bool committed_ = false;
};

// Every temporary file still pending, for removal from a signal handler.
void removePendingFiles();

}  // namespace orv::render
