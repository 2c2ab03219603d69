// The parameter table of Orv Nimlet. Many values keep the mastering
// compressor's engine meaning at other indices; the engine inputs the compact
// editor does not offer are hidden (named " - ") but still stored, because
// hosts and presets see all 34. Indices are in users' saved sessions: never
// renumber.
#pragma once

#include <cstdint>

namespace orv::nimlet {

enum Param : int32_t {
  kPower = 0,
  kReset = 1,  // hidden; any value resets the engine (every preset change does)
  kSoft = 2,
  kRms = 3,
  kLimiter = 4,  // hidden; stored, no effect
  kThreshold = 5,
  kRatio = 6,
  kAttack = 8,
  kRelease = 10,
  kAutoRelease = 11,
  kLowShelfPosition = 12,
  kLowShelfFrequency = 13,  // hidden
  kHighShelfPosition = 14,
  kHighShelfFrequency = 15,  // hidden
  kMakeup = 16,
  kAutoMakeup = 17,
  kLinkHighCut = 18,  // hidden; stored, no effect
  kLinkLowCut = 19,   // hidden; stored, no effect
  kLink = 20,
  kMix = 22,  // scales the gain-reduction meter only
  kOutput = 23,
  kMeters = 24,
  kClassic = 25,  // stored, no effect
  kSidechainExternal = 26,
  kSmooth = 27,
  kStereo = 28,
  kSidechainMonitor = 35,
  kVuIntegration = 36,
  kVuReference = 37,
  kPpmIntegration = 38,
  kPpmReturn = 39,
  kOverIndicator = 40,
  kNumParamIndices = 41,
};

constexpr int32_t kGap = 34;  // nothing is stored here

// nearest(v) of a host value: 0.5 and up is on; NaN and negatives are off.
int switchState(float raw);
// 0, 1 or 2 from trunc(2v + 0.5): the three-way shelf switches.
int shelfPosition(float raw);

// Physical values this product computes differently from the mastering compressor.
double releaseSeconds(float raw);  // 100^v * 0.0333
double outputGain(float raw);      // 0.25 * 8^v, linear
double outputDb(float raw);        // 18v - 12, as shown and as the editor reads it

// Writes the parameter's name (" - " for hidden and unknown indices).
void parameterName(int32_t index, char* text);
// Writes the display text of `raw` (empty for hidden and unknown indices).
void parameterDisplay(int32_t index, float raw, char* text);

// How the host may step a parameter.
enum class Stepping { none, toggle, threeWay };
Stepping steppingOf(int32_t index);

}  // namespace orv::nimlet
