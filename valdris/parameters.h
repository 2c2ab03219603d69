// The parameter table of Orv Valdris: one entry per index, read by the
// dispatcher answers, the presets and the editor. Indices are in users'
// saved sessions: never renumber.
#pragma once

#include <cstdint>

namespace orv::valdris {

enum Param : int32_t {
  kPower = 0,
  kFat = 1,
  kSoft = 2,
  kRms = 3,
  kLimiter = 4,
  kThreshold = 5,
  kRatio = 6,
  kAttack = 7,
  kAutoAttack = 8,
  kRelease = 9,
  kAutoRelease = 10,
  kMakeup = 11,
  kAutoMakeup = 12,
  kHighShelfBoost = 13,
  kHigh = 14,
  kLowShelfBoost = 15,
  kLow = 16,
  kLinkHighCut = 17,
  kLinkLowCut = 18,
  kLink = 19,
  kTilt = 20,
  kMix = 21,
  kOutput = 22,
  kMeters = 23,
  kClassic = 24,
  kSidechainExternal = 25,
  kSmooth = 26,
  kFirstSpare = 27,  // 27..33 are stored and returned, nothing more
  kGap = 34,         // nothing is stored here
  kSidechainMonitor = 35,
  kVuIntegration = 36,
  kVuReference = 37,
  kPpmIntegration = 38,
  kPpmReturn = 39,
  kOverIndicator = 40,
  kNumParamIndices = 41,
};

constexpr int32_t kNumHostParams = 34;
constexpr int kNumRatios = 21;

struct RatioEntry {
  double ratio;
  double inverse;  // kept as listed, not computed
};
extern const RatioEntry kRatioTable[kNumRatios];

// Host values may be anything a float holds. The engine and the texts read
// them through these, so NaN, infinities and out-of-range values give a
// defined result; in 0..1 they are the identity.
double clampUnit(float raw);
bool switchOn(float raw);             // raw rounded to the nearest whole number is 1
int ratioIndexOf(float raw);          // trunc(20 * raw), at most 20; below 0 (or NaN) is the 1 : 1 entry
float overIndicatorStep(float raw);   // 9 * raw rounded, divided by 9

// Physical values, computed in double from the raw float.
double thresholdFactor(float raw);    // T = 0.5 * 64^raw
double attackMs(float raw);           // 0.01 * 100000^raw
double releaseSeconds(float raw);     // 0.1 * 100^raw
double makeupGain(float raw);         // 0.25 * 64^raw, linear
double highShelfHz(float raw);        // 1000 * 16^raw
double lowShelfHz(float raw);         // 25 * 16^raw
double outputGain(float raw);         // 0.25 * 16^raw, linear
double vuTimeMs(float raw);           // 30 * 100^raw
double vuReference(float raw);        // 0.06125^(1 - raw), linear
double ppmAttackMs(float raw);        // 101^raw - 1
double ppmReturnMs(float raw);        // 100 * 100^raw
double overThresholdSamples(float q); // 9q + 1, from the stored step q

// Writes the parameter's name (" - " for spare and unknown indices).
void parameterName(int32_t index, char* text);
// Writes the display text of `raw` for the index (empty for spare and unknown indices).
void parameterDisplay(int32_t index, float raw, char* text);
// True for the two-state switches the host may step.
bool isSwitchParameter(int32_t index);

}  // namespace orv::valdris
