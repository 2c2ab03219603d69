// A slow, plain model of the Orv Valdris engine, written stage by stage for
// clarity rather than speed, for comparison with the real engine. Everything
// is double precision and per sample; filters and resamplers are transcribed
// here again (histories indexed by time, no rings where the addressing does
// not matter) so that a comparison also checks the shared dsp blocks.
//
// Usage mirrors a host: construct, setSampleRate, setParameter for every
// index, suspend, resume, then process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orv::reference {

// The meter feed as the model keeps it; level fields in linear units.
struct ReferenceMeterFeed {
  double vuLevel[2] = {};
  double ppmLevel[2] = {};
  double vuHold[2] = {};
  double ppmHold[2] = {};
  int32_t vuHoldAge[2] = {};
  int32_t ppmHoldAge[2] = {};
  int32_t overCount[2] = {};
  double overLamp[2] = {};
};

// Which of the host's buffers carry signal: the arrangement flags plus the
// host's pin answers.
struct ReferencePins {
  bool stereoInput = true;
  bool stereoOutput = true;
  bool fourInputs = true;
  bool inputConnected[4] = {true, true, true, true};
  bool outputConnected[2] = {true, true};
};

class RefNoise {
 public:
  uint32_t next();
  // Value in -amplitude..amplitude from the next draw.
  double value(double amplitude);

 private:
  uint32_t s1 = 592, s2 = 153768, s3 = 1526;
};

class RefBiquad {
 public:
  RefBiquad(double sampleRate, int type, double frequency, double q, double gainDb);
  void setSampleRate(double rate);
  void setType(int type);
  void setFrequency(double f);
  void setQ(double q);
  void setGain(double dB);
  // Designs the targets again from the stored settings.
  void recompute() { design(); }
  void reset();
  double runGliding(double x);
  double runPlain(double x);

 private:
  void design();

  double sampleRate_, frequency_, q_, gainDb_;
  int type_;
  double noise_ = 1e-13, glide_ = 0.001;
  // a0 unnormalised; the others divided by a0.
  double ta0_ = 1, ta1_ = 1, ta2_ = 1, tb0_ = 1, tb1_ = 1, tb2_ = 1;
  double ca0_ = 1, ca1_ = 1, ca2_ = 1, cb0_ = 1, cb1_ = 1, cb2_ = 1;
  double x0_ = 0, x1_ = 0, x2_ = 0, y0_ = 0, y1_ = 0, y2_ = 0;
  RefNoise gen_;
};

// The 255-tap half-band pair and its 64-sample stand-ins, on whole histories.
class RefResampler {
 public:
  RefResampler();
  void reset();
  // buf[0..n) -> buf[0..2n), interpolated sample first.
  void interpolate(double* buf, int n);
  // buf[0..2n) -> buf[0..n).
  void decimate(double* buf, int n2);
  void delayBefore(double* buf, int n);
  void delayAfter(double* buf, int n);

 private:
  double in(int64_t t) const { return t < 0 ? 0.0 : before_[static_cast<size_t>(t)]; }
  double out(int64_t t) const { return t < 0 ? 0.0 : after_[static_cast<size_t>(t)]; }

  double a_[128];  // interpolation taps 0..127 (symmetric)
  double b_[128];  // decimation taps 0..127 (symmetric)
  std::vector<double> before_;  // every base-rate input since the last reset
  std::vector<double> after_;   // every doubled-rate (or delayed) input since the last reset
};

class ValdrisReference {
 public:
  static constexpr int kNumParams = 41;

  explicit ValdrisReference(const ReferencePins& pins = {});

  // What the host reports; read by suspend and resume.
  void setSampleRate(double rate) { hostRate_ = rate; }
  void setParameter(int32_t index, float value);
  void suspend();
  void resume();
  // inputs: four pointers (main pair, side-chain pair), any but the first may
  // be null; outputs: two, the second may be null.
  void process(const double* const* inputs, double* const* outputs, int32_t frames);

  const ReferenceMeterFeed& meterFeed() const { return meter_; }
  // Detector levels of the last detector step (for self-checks).
  double lastDetector(int ch) const { return lastDetector_[ch]; }

 private:
  enum class Kernel { Plain, Fat, Smooth };

  double rate() const { return fatOn_ ? 2.0 * sr_ : sr_; }
  void computeTaps();
  void computeEnvelopeCoefs();
  void setSidechainFilterRate();
  void setFollowerRate(bool resetThem);
  void configureLinkFilters();
  void resetResamplers();
  void applyTilt();

  double drawNoise();
  void detectorStep(double& mainL, double& mainR, double scL, double scR, bool exact, double* d, double* y);
  void gainStep(const double* d, bool exactClassic, double* gain);
  void gainAndOutput(Kernel kernel, double mainL, double mainR, const double* d, const double* monitor,
                     double* outL, double* outR);
  void levelMeter(int ch, double s);
  void gainMeter(int ch, double g);
  void limiterStep(double sL, double sR, double* outL, double* outR);

  ReferencePins pins_;
  float raw_[kNumParams] = {};
  double hostRate_ = 44100.0;
  double sr_ = 44100.0;

  // Derived values.
  bool powerOn_ = false, fatOn_ = false, softKnee_ = false, rmsOn_ = false, limiterOn_ = false;
  bool autoAttack_ = false, autoRelease_ = false, autoMakeupOn_ = false, classicOn_ = false;
  bool sidechainExternal_ = false, smoothOn_ = false, sidechainMonitor_ = false;
  bool lowShelfBoost_ = false, highShelfBoost_ = false, linkHighCut_ = false, linkLowCut_ = false;
  double threshold_ = 1.0;
  int ratioIndex_ = 6;
  double ratio_ = 1.0, inverseRatio_ = 1.0;
  double knee_[4] = {-0.5, 0.5, 1.5, 2.5};
  double autoMakeupGain_ = 1.0;
  double attackCoef_ = 0.0, releaseCoef_ = 1.0;
  double makeupTarget_ = 1.0, outputTarget_ = 1.0, mixTarget_ = 1.0;
  double makeupGain_ = 1.0, outputGain_ = 1.0, mixAmount_ = 1.0;
  double balanceLeft_ = 1.0, balanceRight_ = 1.0;
  double linkAmount_ = 0.5;
  double vuTime_ = 300.0, vuScale_ = 1.0, ppmAttackTime_ = 9.0, ppmReturnTime_ = 1000.0;
  double overThreshold_ = 3.0;
  double meterRaw_ = 0.5;
  int taps_ = 55, gainDelay_ = 55;  // N and D
  double hilbert_[1024] = {};
  int lookahead_ = 61;
  double limiterAttackCoef_ = 0.0, limiterReleaseCoef_ = 0.0;
  float classicTable_[1000];

  // Filters.
  RefBiquad lowShelf_[2], highShelf_[2], link_[2], fast_[2], slow_[2];
  RefBiquad limiterFast_, limiterSlow_;
  RefResampler resampler_[4];  // main L, main R, side-chain L, side-chain R

  // Running state.
  RefNoise noise_;
  double noiseValue_ = 1e-12;
  std::vector<double> inputRing_[4];
  int inputWrite_ = 1023;
  std::vector<double> delayRing_[4];  // main L, main R, dry L, dry R
  int delayWrite_ = 1023;
  std::vector<double> sidechainRing_[2];
  int sidechainWrite_ = 1023;
  double sampleDelay_[4] = {};
  double envelope_[2] = {0.0001, 0.0001};
  std::vector<double> limiterRing_[2];
  std::vector<double> peakRing_;
  int limiterWrite_ = 511, limiterRead_ = 511 - 61 - 1;
  double limiterEnvelope_ = 0.0001, limiterGain_ = 1.0;
  ReferenceMeterFeed meter_;
  int meterMode_ = 1;
  double cVU_ = 0, cPA_ = 0, cPR_ = 0;
  double lastDetector_[2] = {};
};

}  // namespace orv::reference
