// A plain model of the Orv Nimlet kernels, written stage by stage from the
// description of the compact engine: per sample, scalar, rings indexed with
// plain modulo, the Hilbert sum in tap order. It uses the dsp filters and
// noise generator as they are (they have tests of their own) and nothing
// from the engine or the mastering compressor.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/biquad.h"
#include "dsp/noise_generator.h"

namespace nimlet_test {

struct ModelMeters {
  double vuLevel[2] = {};
  double ppmLevel[2] = {};
  double vuHold[2] = {};
  double ppmHold[2] = {};
  int32_t vuHoldAge[2] = {};
  int32_t ppmHoldAge[2] = {};
  int32_t overCount[2] = {};
  double overLamp[2] = {0.01, 0.01};
};

class NimletReference {
 public:
  NimletReference();
  // Same meaning as the product's setParameter for indices 0..40.
  void setParameter(int index, float value);
  void suspend(double hostRate);
  void resume(double hostRate);
  // All four inputs present and connected, both outputs written.
  void process(const float* const in[4], float* const out[2], int frames);

  const ModelMeters& meters() const { return m; }

 private:
  void resetEngine();
  void computeCoefs();
  void attackFromValues();
  void releaseFromValues();
  double staticGain(double L) const;
  double detector(const std::vector<double>& ring, int newest) const;
  void levelMeter(int ch, double s);
  void gainMeter(int ch, double g);
  void block(const float* const in[4], float* const out[2], int first, int n);

  float values[41] = {};
  // Derived.
  int powerOn = 0, softKnee = 0, rmsOn = 0, autoRelease = 0, autoMakeupOn = 0, linked = 0;
  int sidechainExternal = 0, smoothOn = 0, stereoMode = 1, sidechainMonitor = 0;
  int lowPos = 1, highPos = 1;
  double T = 1.0, ratio = 1.0, inverseRatio = 1.0, P[4] = {-0.5, 0.5, 1.5, 2.5}, autoMakeupGain = 1.0;
  double makeupTarget = 1.0, outputTarget = 1.0, mixTarget = 1.0, meterMode = 0.5;
  double vuTime = 300.0, vuScale = 1.0, ppmAttackTime = 9.0, ppmReturnTime = 1000.0, overThreshold = 3.0;
  double attackCoef = 1.0, releaseCoef = 1.0;

  double hostRate = 44100.0, rate = 44100.0;
  int N = 44;
  std::vector<double> h;

  orv::dsp::Biquad lowShelf[2], highShelf[2], fast[2], slow[2], vu[2];
  orv::dsp::NoiseGenerator noise;
  double noiseValue = 1e-12;

  std::vector<double> inRing[4], scRing[2], monRing[2];
  int inputWrite = 1023, sidechainWrite = 1023;
  double envelope[2] = {0.0001, 0.0001};
  double makeupGain = 1.0, outputGain = 1.0;
  ModelMeters m;
  double cPA = 1.0, cPR = 1.0;
  int meterSource = 1;
};

}  // namespace nimlet_test
