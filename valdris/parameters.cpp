#include "valdris/parameters.h"

#include <cmath>
#include <cstring>

#include "host/format_fixed.h"

namespace orv::valdris {

const RatioEntry kRatioTable[kNumRatios] = {
    {0.5, 2.0},
    {0.5946035575013605, 1.6817928305074292},
    {0.7071, 1.4142271248762552},
    {0.7711054127039704, 1.2968395546510096},
    {0.84, 1.1904761904761905},
    {0.9170040432046712, 1.0905077326652577},
    {1.0, 1.0},
    {1.0905077326652577, 0.9170040432046712},
    {1.2, 0.8333333333333334},
    {1.2968395546510096, 0.7711054127039704},
    {1.4, 0.7142857142857143},
    {1.681792830507429, 0.5946035575013605},
    {2.0, 0.5},
    {2.378414230005442, 0.4204482076268573},
    {2.8, 0.35714285714285715},
    {3.363585661014858, 0.29730177875068026},
    {4.0, 0.25},
    {5.6, 0.17857142857142858},
    {8.0, 0.125},
    {12.0, 0.08333333333333333},
    {64.0, 0.015625},
};

namespace {

constexpr int kUnityRatioIndex = 6;

enum class Kind : uint8_t {
  none,       // spare or unknown: " - ", empty display
  power,      // on from raw 0.5
  toggle,     // on/off by the rounded switch state
  continuous, // a number with a unit
  tilt,
  meters,
};

struct ParameterInfo {
  const char* name;
  Kind kind;
  const char* onText;
  const char* offText;
  double (*shown)(float raw);  // the number the display shows
  int decimals;
  const char* unit;
};

double toDb(double gain) { return 20.0 * std::log10(gain); }
double thresholdDb(float raw) { return toDb(1.0 / thresholdFactor(raw)); }
double ratioShown(float raw) { return kRatioTable[ratioIndexOf(raw)].ratio; }
double makeupDb(float raw) { return toDb(makeupGain(raw)); }
double highKHz(float raw) { return highShelfHz(raw) * 0.001; }
double percent(float raw) { return 100.0 * clampUnit(raw); }
double outputDb(float raw) { return toDb(outputGain(raw)); }
double vuReferenceDb(float raw) { return toDb(vuReference(raw)); }

constexpr const char* kOn = " On ";
constexpr const char* kOff = " Off ";
constexpr const char* kSpare = " - ";

constexpr ParameterInfo kParameters[kNumParamIndices] = {
    {" Power ", Kind::power, kOn, kOff, nullptr, 0, ""},
    {" FAT ", Kind::toggle, kOn, kOff, nullptr, 0, ""},
    {" Soft ", Kind::toggle, kOn, kOff, nullptr, 0, ""},
    {" RMS ", Kind::toggle, kOn, kOff, nullptr, 0, ""},
    {" Limiter ", Kind::toggle, kOn, kOff, nullptr, 0, ""},
    {" Threshold ", Kind::continuous, nullptr, nullptr, thresholdDb, 2, "dB"},
    {" Ratio ", Kind::continuous, nullptr, nullptr, ratioShown, 2, " : 1"},
    {" Attack ", Kind::continuous, nullptr, nullptr, attackMs, 2, "ms"},
    {"AutoAttck", Kind::toggle, kOn, kOff, nullptr, 0, ""},
    {" Release ", Kind::continuous, nullptr, nullptr, releaseSeconds, 1, "s"},
    {" AutoRel ", Kind::toggle, kOn, kOff, nullptr, 0, ""},
    {" Makeup ", Kind::continuous, nullptr, nullptr, makeupDb, 2, "dB"},
    {"AutoMakeup", Kind::toggle, " AutoMakeup ", kOff, nullptr, 0, ""},
    {" HighSCF ", Kind::toggle, " HighBoost ", " HighCut ", nullptr, 0, ""},
    {" High ", Kind::continuous, nullptr, nullptr, highKHz, 2, "kHz"},
    {" LowSCF ", Kind::toggle, " LowBoost ", " LowCut ", nullptr, 0, ""},
    {" Low ", Kind::continuous, nullptr, nullptr, lowShelfHz, 0, "Hz"},
    {"LnkHighCut", Kind::toggle, " HighCut ", kOff, nullptr, 0, ""},
    {"LnkLowCut", Kind::toggle, " LowCut ", kOff, nullptr, 0, ""},
    {" Link", Kind::continuous, nullptr, nullptr, percent, 0, "%"},
    {" Tilt ", Kind::tilt, nullptr, nullptr, nullptr, 0, ""},
    {" Mix ", Kind::continuous, nullptr, nullptr, percent, 0, "%"},
    {" Output ", Kind::continuous, nullptr, nullptr, outputDb, 2, "dB"},
    {" Meters ", Kind::meters, nullptr, nullptr, nullptr, 0, ""},
    {" Classic ", Kind::toggle, kOn, kOff, nullptr, 0, ""},
    {"S.C.Ext", Kind::toggle, "S.C.Ext", kOff, nullptr, 0, ""},
    {"Smooth", Kind::toggle, kOn, kOff, nullptr, 0, ""},
    {kSpare, Kind::none, nullptr, nullptr, nullptr, 0, ""},
    {kSpare, Kind::none, nullptr, nullptr, nullptr, 0, ""},
    {kSpare, Kind::none, nullptr, nullptr, nullptr, 0, ""},
    {kSpare, Kind::none, nullptr, nullptr, nullptr, 0, ""},
    {kSpare, Kind::none, nullptr, nullptr, nullptr, 0, ""},
    {kSpare, Kind::none, nullptr, nullptr, nullptr, 0, ""},
    {kSpare, Kind::none, nullptr, nullptr, nullptr, 0, ""},
    {kSpare, Kind::none, nullptr, nullptr, nullptr, 0, ""},
    {"S.C.Monit", Kind::toggle, "S.C.Monit", " Off     ", nullptr, 0, ""},
    {" VU Integr ", Kind::continuous, nullptr, nullptr, vuTimeMs, 1, "ms"},
    {" VU Refer ", Kind::continuous, nullptr, nullptr, vuReferenceDb, 2, "dBFS"},
    {" PPM Integr ", Kind::continuous, nullptr, nullptr, ppmAttackMs, 1, "ms"},
    {" PPM Return ", Kind::continuous, nullptr, nullptr, ppmReturnMs, 0, "ms"},
    {" OverIndic ", Kind::continuous, nullptr, nullptr, overThresholdSamples, 0, "smps"},
};

const ParameterInfo* infoFor(int32_t index) {
  if (index < 0 || index >= kNumParamIndices) return nullptr;
  return &kParameters[index];
}

}  // namespace

double clampUnit(float raw) {
  if (!(raw > 0.0f)) return 0.0;  // also NaN
  return raw < 1.0f ? static_cast<double>(raw) : 1.0;
}

bool switchOn(float raw) { return static_cast<int>(clampUnit(raw) + 0.5) == 1; }

int ratioIndexOf(float raw) {
  if (std::isnan(raw) || raw < 0.0f) return kUnityRatioIndex;
  if (raw >= 1.0f) return kNumRatios - 1;
  return static_cast<int>(20.0 * static_cast<double>(raw));
}

float overIndicatorStep(float raw) {
  return static_cast<float>(static_cast<int>(9.0 * clampUnit(raw) + 0.5) / 9.0);
}

double thresholdFactor(float raw) { return 0.5 * std::pow(64.0, clampUnit(raw)); }
double attackMs(float raw) { return 0.01 * std::pow(100000.0, clampUnit(raw)); }
double releaseSeconds(float raw) { return 0.1 * std::pow(100.0, clampUnit(raw)); }
double makeupGain(float raw) { return 0.25 * std::pow(64.0, clampUnit(raw)); }
double highShelfHz(float raw) { return 1000.0 * std::pow(16.0, clampUnit(raw)); }
double lowShelfHz(float raw) { return 25.0 * std::pow(16.0, clampUnit(raw)); }
double outputGain(float raw) { return 0.25 * std::pow(16.0, clampUnit(raw)); }
double vuTimeMs(float raw) { return 30.0 * std::pow(100.0, clampUnit(raw)); }
double vuReference(float raw) { return std::pow(0.06125, 1.0 - clampUnit(raw)); }
double ppmAttackMs(float raw) { return std::pow(101.0, clampUnit(raw)) - 1.0; }
double ppmReturnMs(float raw) { return 100.0 * std::pow(100.0, clampUnit(raw)); }
double overThresholdSamples(float q) { return 9.0 * clampUnit(q) + 1.0; }

void parameterName(int32_t index, char* text) {
  const ParameterInfo* info = infoFor(index);
  std::strcpy(text, info != nullptr ? info->name : kSpare);
}

void parameterDisplay(int32_t index, float raw, char* text) {
  text[0] = '\0';
  const ParameterInfo* info = infoFor(index);
  if (info == nullptr) return;
  switch (info->kind) {
    case Kind::none:
      return;
    case Kind::power:
      std::strcpy(text, raw >= 0.5f ? info->onText : info->offText);
      return;
    case Kind::toggle:
      std::strcpy(text, switchOn(raw) ? info->onText : info->offText);
      return;
    case Kind::continuous:
      formatDisplay(info->shown(raw), info->decimals, info->unit, text);
      return;
    case Kind::tilt: {
      const double v = clampUnit(raw);
      if (v > 0.51) formatDisplay((v - 0.5) * 100.0, 0, "R", text);
      else if (v < 0.49) formatDisplay((0.5 - v) * 100.0, 0, "L", text);
      else std::strcpy(text, "C");
      return;
    }
    case Kind::meters: {
      const double v = clampUnit(raw);
      std::strcpy(text, v < 0.33 ? " Pre " : v < 0.66 ? " GainRed " : " Post ");
      return;
    }
  }
}

bool isSwitchParameter(int32_t index) {
  const ParameterInfo* info = infoFor(index);
  return info != nullptr && (info->kind == Kind::power || info->kind == Kind::toggle);
}

}  // namespace orv::valdris
