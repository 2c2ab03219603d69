// orv-make-demo OUT.wav: writes a 20-second programme (44.1 kHz, stereo, 24-bit WAV) of drums,
// bass and chords, identical on every run, for trying out the plug-ins on music-like material.
// A quiet intro without drums, then the full groove, then a louder last section: enough
// dynamics for a compressor to show what it does.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kBpm = 120.0;
constexpr double kBeat = 60.0 / kBpm;  // s
constexpr int kBars = 10;
constexpr double kSeconds = kBars * 4 * kBeat;
constexpr double kTwoPi = 6.283185307179586;

// xorshift32: the same noise on every machine.
struct Noise {
  uint32_t state = 0x1234567u;
  double next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  }
};

double noteHz(int midi) {
  return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// Section level by bar: intro, groove, louder finale.
double sectionGain(int bar) {
  return bar < 2 ? 0.45 : bar < 8 ? 0.8 : 1.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orv-make-demo OUT.wav\n");
    return 2;
  }
  const auto frames = static_cast<size_t>(kSeconds * kRate);
  std::vector<double> left(frames, 0.0), right(frames, 0.0);
  Noise noise;

  // Progression Am - F - C - G, one chord per bar; roots for the bass (MIDI notes).
  const int roots[4] = {45, 41, 36, 43};
  const int chords[4][3] = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}};

  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const int bar = static_cast<int>(t / (4 * kBeat));
    const int chord = bar % 4;
    const double inBar = t - bar * 4 * kBeat;
    const double inBeat = std::fmod(t, kBeat);
    const int beat = static_cast<int>(inBar / kBeat);
    const double gain = sectionGain(bar);
    double l = 0.0, r = 0.0;

    // Chords: three detuned pairs of sines with a slow swell per bar, spread left and right.
    const double swell = 0.6 + 0.4 * std::sin(kTwoPi * inBar / (8 * kBeat));
    for (int v = 0; v < 3; ++v) {
      const double f = noteHz(chords[chord][v]);
      const double a = std::sin(kTwoPi * f * 1.003 * t) + 0.3 * std::sin(kTwoPi * 2 * f * t);
      const double b = std::sin(kTwoPi * f * 0.997 * t) + 0.3 * std::sin(kTwoPi * 3 * f * t);
      l += 0.05 * swell * (0.8 * a + 0.2 * b);
      r += 0.05 * swell * (0.2 * a + 0.8 * b);
    }

    const bool drums = bar >= 2;
    if (drums) {
      // Bass: eighth notes on the root, a softened square with a short pluck.
      const double eighth = std::fmod(t, kBeat / 2);
      const double f = noteHz(roots[chord]) * (beat == 3 && eighth > kBeat / 4 ? 1.5 : 1.0);
      const double phase = std::fmod(f * t, 1.0);
      const double square = std::tanh(4.0 * std::sin(kTwoPi * phase)) * 0.7 + 0.3 * std::sin(kTwoPi * phase);
      const double bass = 0.22 * square * (0.4 + 0.6 * std::exp(-eighth * 12.0));
      l += bass;
      r += bass;

      // Kick on beats 1 and 3: a falling sine.
      if (beat % 2 == 0 && inBeat < 0.35) {
        const double env = std::exp(-inBeat * 11.0);
        // Frequency 45 Hz + 90 Hz * exp(-30 t); the phase is its integral.
        const double kick = 0.75 * env * std::sin(kTwoPi * (45.0 * inBeat + 3.0 * (1.0 - std::exp(-inBeat * 30.0))));
        l += kick;
        r += kick;
      }
      // Snare on 2 and 4: noise and a 190 Hz body, slightly right.
      if (beat % 2 == 1 && inBeat < 0.25) {
        const double env = std::exp(-inBeat * 22.0);
        const double snare = 0.35 * env * (0.7 * noise.next() + 0.5 * std::sin(kTwoPi * 190.0 * inBeat));
        l += 0.9 * snare;
        r += 1.1 * snare;
      }
      // Hi-hat on every eighth: short differentiated noise, slightly left.
      const double hatTime = std::fmod(t, kBeat / 2);
      if (hatTime < 0.05) {
        static double last = 0.0;
        const double n = noise.next();
        const double hat = 0.12 * std::exp(-hatTime * 90.0) * (n - last);
        last = n;
        l += 1.1 * hat;
        r += 0.9 * hat;
      }
    }
    // 20 ms fades at both ends.
    const double fade = std::min({1.0, t / 0.02, (kSeconds - t) / 0.02});
    left[i] = gain * fade * l;
    right[i] = gain * fade * r;
  }

  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
  if (!file) {
    std::fprintf(stderr, "orv-make-demo: %s: %s\n", argv[1], sf_strerror(nullptr));
    return 1;
  }
  // Peaks at -3 dBFS: headroom for a mastering chain to use.
  double peak = 0.0;
  for (size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
  const double scale = std::pow(10.0, -3.0 / 20.0) / peak;
  std::vector<double> interleaved(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    interleaved[2 * i] = left[i] * scale;
    interleaved[2 * i + 1] = right[i] * scale;
  }
  const bool ok = sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(frames)) ==
                  static_cast<sf_count_t>(frames);
  if (sf_close(file) != 0 || !ok) {
    std::fprintf(stderr, "orv-make-demo: %s: write error\n", argv[1]);
    return 1;
  }
  return 0;
}
