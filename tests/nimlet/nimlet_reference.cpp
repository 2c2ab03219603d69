#include "nimlet_reference.h"

#include <cmath>
#include <cstring>

namespace nimlet_test {

namespace {

using orv::dsp::Biquad;

const double kRatios[21][2] = {
    {0.5, 2.0}, {0.5946035575013605, 1.6817928305074292}, {0.7071, 1.4142271248762552},
    {0.7711054127039704, 1.2968395546510096}, {0.84, 1.1904761904761905}, {0.9170040432046712, 1.0905077326652577},
    {1.0, 1.0}, {1.0905077326652577, 0.9170040432046712}, {1.2, 0.8333333333333334},
    {1.2968395546510096, 0.7711054127039704}, {1.4, 0.7142857142857143}, {1.681792830507429, 0.5946035575013605},
    {2.0, 0.5}, {2.378414230005442, 0.4204482076268573}, {2.8, 0.35714285714285715},
    {3.363585661014858, 0.29730177875068026}, {4.0, 0.25}, {5.6, 0.17857142857142858}, {8.0, 0.125},
    {12.0, 0.08333333333333333}, {64.0, 0.015625},
};

int nearest(float v) { return static_cast<int>(v + 0.5); }

void setShelf(Biquad* f, double frequency, double q, double gain) {
  for (int ch = 0; ch < 2; ++ch) {
    f[ch].setFrequency(frequency);
    f[ch].setQ(q);
    f[ch].setGain(gain);
  }
}

// sqrt through the single-precision inverse square root, two Newton steps.
double fastSqrt(double P) {
  float p = static_cast<float>(P);
  float half = 0.5f * p;
  int32_t i;
  std::memcpy(&i, &p, 4);
  i = 0x5F3759DF - (i >> 1);
  float y;
  std::memcpy(&y, &i, 4);
  y = y * (1.5f - half * y * y);
  y = y * (1.5f - half * y * y);
  float m = p * y;
  return m;
}

}  // namespace

NimletReference::NimletReference()
    : h(1024, 0.0),
      lowShelf{{44100.0, 3, 35.0, 0.35, -15.0}, {44100.0, 3, 35.0, 0.35, -15.0}},
      highShelf{{44100.0, 7, 5500.0, 0.5, 12.0}, {44100.0, 7, 5500.0, 0.5, 12.0}},
      fast{{44100.0, 8, 33.333333333333336, 0.5, 0.0}, {44100.0, 8, 33.333333333333336, 0.5, 0.0}},
      slow{{44100.0, 8, 3.3333333333333335, 0.5, 0.0}, {44100.0, 8, 3.3333333333333335, 0.5, 0.0}},
      vu{{44100.0, 8, 2.0, 0.583, 0.0}, {44100.0, 8, 2.0, 0.583, 0.0}} {
  for (auto& r : inRing) r.assign(1024, 0.0);
  for (auto& r : scRing) r.assign(1024, 0.0);
  for (auto& r : monRing) r.assign(1024, 0.0);
}

void NimletReference::attackFromValues() {
  double p = rmsOn ? 0.0025000000000000005 : 0.05;
  attackCoef = 1.0 - std::pow(p, 1.0 / (hostRate * std::pow(100000.0, values[8]) * 0.01 * 0.001));
}

void NimletReference::releaseFromValues() {
  double p = rmsOn ? 0.0025000000000000005 : 0.05;
  releaseCoef = 1.0 - std::pow(p, 1.0 / (std::pow(100.0, values[10]) * 0.0333 * hostRate));
}

void NimletReference::computeCoefs() {
  N = static_cast<int>(rate / 1000.0);
  for (int j = 0; j < 1024; ++j) h[j] = 0.0;
  for (int j = 0; j < N; ++j) h[j] = 2.0 / ((2.0 * j + 1.0) * M_PI);
}

void NimletReference::resetEngine() {
  for (auto& r : inRing) r.assign(1024, 0.0);
  for (auto& r : scRing) r.assign(1024, 0.0);
  for (auto& r : monRing) r.assign(1024, 0.0);
  for (int ch = 0; ch < 2; ++ch) {
    for (Biquad* f : {&lowShelf[ch], &highShelf[ch], &fast[ch], &slow[ch]}) {
      f->setSampleRate(rate);
      f->reset();
    }
  }
  computeCoefs();
  attackFromValues();
  releaseFromValues();
}

void NimletReference::setParameter(int index, float v) {
  values[index] = v;
  switch (index) {
    case 0: powerOn = nearest(v); break;
    case 1: resetEngine(); break;
    case 2: softKnee = nearest(v); break;
    case 3: rmsOn = nearest(v); attackFromValues(); releaseFromValues(); break;
    case 5:
    case 6: {
      T = 0.5 * std::pow(64.0, values[5]);
      int i = static_cast<int>(20.0 * values[6]);
      if (i > 20) i = 20;
      ratio = kRatios[i][0];
      inverseRatio = kRatios[i][1];
      P[2] = std::pow(1.5, inverseRatio);
      P[3] = std::pow(2.5, inverseRatio);
      autoMakeupGain = std::pow((0.55 * T) / std::pow(0.55 * T, inverseRatio), 0.8);
      break;
    }
    case 8: attackFromValues(); break;
    case 10: releaseFromValues(); break;
    case 11: autoRelease = nearest(v); break;
    case 12:
      lowPos = static_cast<int>(2.0 * v + 0.5);
      if (lowPos == 2) setShelf(lowShelf, 150.0, 0.35, -9.0);
      if (lowPos == 1) setShelf(lowShelf, 100.0, 0.7, 0.0);
      if (lowPos == 0) setShelf(lowShelf, 110.0, 1.0, 9.0);
      break;
    case 13:
      for (Biquad& f : lowShelf) f.setFrequency(0.7 * (25.0 * std::pow(16.0, v)));
      break;
    case 14:
      highPos = static_cast<int>(2.0 * v + 0.5);
      if (highPos == 2) setShelf(highShelf, 6000.0, 0.35, -6.0);
      if (highPos == 1) setShelf(highShelf, 6000.0, 0.7, 0.0);
      if (highPos == 0) setShelf(highShelf, 4500.0, 1.2, 12.0);
      break;
    case 15:
      for (Biquad& f : highShelf) f.setFrequency(1.375 * (1000.0 * std::pow(16.0, v)));
      break;
    case 16: makeupTarget = 0.25 * std::pow(64.0, v); break;
    case 17: autoMakeupOn = nearest(v); break;
    case 20: linked = nearest(v); break;
    case 22: mixTarget = v; break;
    case 23: outputTarget = 0.25 * std::pow(8.0, v); break;
    case 24: meterMode = v; break;
    case 26: sidechainExternal = nearest(v); break;
    case 27: smoothOn = nearest(v); break;
    case 28: stereoMode = nearest(v); break;
    case 35: sidechainMonitor = nearest(v); break;
    case 36:
      vuTime = 30.0 * std::pow(100.0, v);
      for (Biquad& f : vu) {
        f.setFrequency(700.0 / vuTime);
        f.reset();
      }
      break;
    case 37: vuScale = 1.0 / std::pow(0.06125, 1.0 - v); break;
    case 38: ppmAttackTime = std::pow(101.0, v) - 1.0; break;
    case 39: ppmReturnTime = 100.0 * std::pow(100.0, v); break;
    case 40: {
      float q = static_cast<float>(static_cast<int>(9.0 * v + 0.5) / 9.0);
      values[40] = q;
      overThreshold = std::floor(9.0 * q + 1.0 + 0.5);  // whole samples
      break;
    }
    default: break;
  }
}

void NimletReference::suspend(double r) {
  for (Biquad& f : vu) f.reset();
  m = ModelMeters{};
  for (int ch = 0; ch < 2; ++ch)
    for (Biquad* f : {&lowShelf[ch], &highShelf[ch], &fast[ch], &slow[ch]}) f->reset();
  hostRate = r;
  rate = r < 22050.0 ? 22050.0 : r > 192000.0 ? 192000.0 : r;
  envelope[0] = envelope[1] = 0.0001;
  for (auto& x : inRing) x.assign(1024, 0.0);
  for (auto& x : scRing) x.assign(1024, 0.0);
  for (auto& x : monRing) x.assign(1024, 0.0);
  for (double& x : h) x = 0.0;
  makeupGain = makeupTarget;
  outputGain = outputTarget;
}

void NimletReference::resume(double r) {
  hostRate = r;
  rate = (r >= 22050.0 && r <= 192000.0) ? r : 44100.0;
  for (Biquad& f : vu) f.setSampleRate(r);
  attackFromValues();
  releaseFromValues();
  for (int ch = 0; ch < 2; ++ch) {
    for (Biquad* f : {&lowShelf[ch], &highShelf[ch], &fast[ch], &slow[ch]}) {
      f->setSampleRate(rate);
      f->reset();
    }
  }
  computeCoefs();
  if (lowPos == 2) setShelf(lowShelf, 150.0, 0.35, -9.0);
  if (lowPos == 1) setShelf(lowShelf, 100.0, 0.7, 0.0);
  if (lowPos == 0) setShelf(lowShelf, 110.0, 1.0, 12.0);
  if (highPos == 2) setShelf(highShelf, 6000.0, 0.35, -9.0);
  if (highPos == 1) setShelf(highShelf, 6000.0, 0.7, 0.0);
  if (highPos == 0) setShelf(highShelf, 4500.0, 1.2, 20.0);
  makeupGain = makeupTarget;
  outputGain = outputTarget;
}

double NimletReference::staticGain(double L) const {
  double G;
  if (!softKnee) {
    G = L > 1.0 ? std::pow(L, inverseRatio) : L;
  } else if (L <= 0.5) {
    G = L;
  } else if (L >= 1.5) {
    G = std::pow(L, inverseRatio);
  } else {
    double u = L - 0.5;
    G = P[1] + 0.5 * (P[2] - P[0]) * u + (P[0] - 2.5 * P[1] + 2.0 * P[2] - 0.5 * P[3]) * (u * u) +
        (-0.5 * P[0] + 1.5 * P[1] - 1.5 * P[2] + 0.5 * P[3]) * (u * u * u);
  }
  return G / (L + 1e-6);
}

double NimletReference::detector(const std::vector<double>& S, int newest) const {
  int q = (newest - N + 1024) % 1024;
  if (!smoothOn) return 0.83 * S[q] * T * 2.0 + 0.005;
  double acc = 0.0;
  for (int j = 0; j < N; ++j) acc += h[j] * (S[(q + 1 + 2 * j) % 1024] - S[(q - 1 - 2 * j + 2048) % 1024]);
  double mag = fastSqrt(S[q] * S[q] + acc * acc);
  return mag * 1.4142 * 0.582 * 1.005773063 * T * 2.0 + 0.005;
}

void NimletReference::levelMeter(int ch, double s) {
  m.vuLevel[ch] = vu[ch].runPlain(s * 1.4142136 * 1.096 * vuScale);
  double k = s > m.ppmLevel[ch] ? cPA : cPR;
  m.ppmLevel[ch] += (s - m.ppmLevel[ch]) * k + noiseValue;
  if (s >= 1.0) m.overCount[ch] += 1;
  else if (m.overCount[ch] < overThreshold) m.overCount[ch] = 0;
  if (m.ppmLevel[ch] > m.ppmHold[ch]) { m.ppmHold[ch] = m.ppmLevel[ch]; m.ppmHoldAge[ch] = 0; }
  if (m.vuLevel[ch] > m.vuHold[ch]) { m.vuHold[ch] = m.vuLevel[ch]; m.vuHoldAge[ch] = 0; }
}

void NimletReference::gainMeter(int ch, double g) {
  double v = 1.0 + (std::fabs(0.98 * g) - 1.0) * mixTarget;
  m.vuLevel[ch] = vu[ch].runPlain(v);
  double k;
  if (ratio >= 1.0) k = m.ppmLevel[ch] > v ? cPA : cPR;
  else k = v > m.ppmLevel[ch] ? cPA : cPR;
  m.ppmLevel[ch] += (v - m.ppmLevel[ch]) * k + noiseValue;
  double* holds[2] = {&m.ppmHold[ch], &m.vuHold[ch]};
  int32_t* ages[2] = {&m.ppmHoldAge[ch], &m.vuHoldAge[ch]};
  double xs[2] = {m.ppmLevel[ch], m.vuLevel[ch]};
  for (int i = 0; i < 2; ++i) {
    if (xs[i] > 1.0 && xs[i] > *holds[i]) { *holds[i] = xs[i]; *ages[i] = 0; }
    else if (xs[i] < *holds[i] && xs[i] > 0.01) { *holds[i] = xs[i]; *ages[i] = 0; }
  }
}

void NimletReference::block(const float* const in[4], float* const out[2], int first, int n) {
  double buf[2][64];
  for (int i = 0; i < n; ++i) {
    int t = first + i;
    const float* sc[2] = {sidechainExternal ? in[2] : in[0], sidechainExternal ? in[3] : in[1]};
    inputWrite = (inputWrite + 1) % 1024;
    int rd = (inputWrite + N + 3) % 1024;
    if (stereoMode) {
      inRing[0][inputWrite] = in[0][t];
      inRing[1][inputWrite] = in[1][t];
      inRing[2][inputWrite] = sc[0][t];
      inRing[3][inputWrite] = sc[1][t];
    } else {
      double mm = 0.5 * (static_cast<double>(in[0][t]) + static_cast<double>(in[1][t]));
      double ss = 0.5 * (static_cast<double>(sc[0][t]) + static_cast<double>(sc[1][t]));
      inRing[0][inputWrite] = inRing[1][inputWrite] = mm;
      inRing[2][inputWrite] = inRing[3][inputWrite] = ss;
    }
    double mL = inRing[0][rd], mR = inRing[1][rd], sL = inRing[2][rd], sR = inRing[3][rd];
    if (meterSource == 0) {
      levelMeter(0, std::fabs(mL));
      levelMeter(1, std::fabs(stereoMode ? mR : mL));
    }
    double z1 = noise.nextValue(1e-12);
    double z2 = noise.nextValue(1e-12);
    if (stereoMode) {
      double z3 = noise.nextValue(1e-12);
      mL += z1; sL += z1; mR += z2; sR += z2;
      noiseValue = z3;
    } else {
      mL += z1;
      noiseValue = z2;
    }
    double yL = highShelf[0].runGliding(lowShelf[0].runGliding(sL));
    double yR = stereoMode ? highShelf[1].runGliding(lowShelf[1].runGliding(sR)) : yL;
    double SL = yL, SR = yR;
    if (stereoMode && linked) SL = SR = 0.7071 * std::sqrt(yL * yL + yR * yR);
    sidechainWrite = (sidechainWrite + 1) % 1024;
    scRing[0][sidechainWrite] = SL;
    scRing[1][sidechainWrite] = SR;
    if (sidechainMonitor) {
      monRing[0][sidechainWrite] = yL;
      monRing[1][sidechainWrite] = yR;
    }
    int q = (sidechainWrite - N + 1024) % 1024;
    int channels = stereoMode ? 2 : 1;
    double gain[2];
    double d[2] = {detector(scRing[0], sidechainWrite), stereoMode ? detector(scRing[1], sidechainWrite) : 0.0};
    for (int ch = 0; ch < channels; ++ch) {
      double x = rmsOn ? d[ch] * d[ch] : d[ch];
      double a = fast[ch].runPlain(x), b = slow[ch].runPlain(x);
      if (a < 1e-6) a = 1e-6;
      if (b < 1e-6) b = 1e-6;
      if (x > envelope[ch]) {
        envelope[ch] += (x - envelope[ch]) * attackCoef;
      } else {
        double fr = 1.0;
        if (autoRelease) {
          double p = 0.5 * a / b;
          fr = 0.1 + 2.0 * p / (p + 1.0);
        }
        envelope[ch] += (x - envelope[ch]) * releaseCoef * fr;
      }
    }
    for (int ch = 0; ch < channels; ++ch) {
      if (envelope[ch] < 0.0001) envelope[ch] = 0.0001;
      double L = rmsOn ? std::sqrt(envelope[ch]) : envelope[ch];
      gain[ch] = staticGain(L);
    }
    if (!stereoMode) gain[1] = gain[0];
    double w[2] = {mL * gain[0], mR * gain[1]};
    makeupGain += (makeupTarget - makeupGain) * 0.001 + noiseValue;
    outputGain += (outputTarget - outputGain) * 0.001 + noiseValue;
    double mains[2] = {mL, stereoMode ? mR : mL};
    for (int ch = 0; ch < 2; ++ch) {
      w[ch] *= makeupGain;
      if (autoMakeupOn) w[ch] *= autoMakeupGain;
      if (sidechainMonitor) buf[ch][i] = monRing[ch][q] * outputGain;
      else if (powerOn) buf[ch][i] = w[ch] * outputGain;
      else buf[ch][i] = mains[ch];
    }
    if (meterSource == 1) {
      gainMeter(0, gain[0]);
      gainMeter(1, gain[1]);
    }
  }
  for (int i = 0; i < n; ++i) {
    float l = static_cast<float>(buf[0][i]);
    float r = static_cast<float>(stereoMode ? buf[1][i] : buf[0][i]);
    out[0][first + i] = l;
    out[1][first + i] = r;
    if (meterSource == 2) {
      levelMeter(0, std::fabs(l));
      levelMeter(1, std::fabs(r));
    }
  }
}

void NimletReference::process(const float* const in[4], float* const out[2], int frames) {
  meterSource = static_cast<int>(meterMode * 2.0 + 0.5);
  double meterRate = meterSource == 2 ? rate : 2.0 * rate;
  cPA = ppmAttackTime > 0.05 ? 1.0 - std::pow(0.01, 1.0 / (ppmAttackTime * meterRate * 0.001)) : 1.0;
  cPR = 1.0 - std::pow(0.0625, 1.0 / (ppmReturnTime * meterRate * 0.001));
  for (int first = 0; first < frames; first += 64) block(in, out, first, frames - first < 64 ? frames - first : 64);
  for (int ch = 0; ch < 2; ++ch) {
    m.vuHoldAge[ch] += frames;
    m.ppmHoldAge[ch] += frames;
    if (m.overCount[ch] >= overThreshold) {
      m.overLamp[ch] = 1.0;
      m.overCount[ch] = 0;
    } else {
      m.overLamp[ch] = 0.0;
    }
  }
}

}  // namespace nimlet_test
