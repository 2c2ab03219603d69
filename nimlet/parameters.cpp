#include "nimlet/parameters.h"

#include <cmath>
#include <cstring>

#include "host/format_fixed.h"
#include "valdris/parameters.h"

namespace orv::nimlet {

namespace v = orv::valdris;

namespace {

enum class Kind : uint8_t {
  none,        // hidden or unknown: " - ", empty display
  power,       // on from raw 0.5
  toggle,      // two texts by the rounded switch state
  threeWay,    // three texts by trunc(2v + 0.5)
  meters,      // three texts by the raw value's thresholds
  continuous,  // a number with its unit
};

struct ParameterInfo {
  const char* name;
  Kind kind;
  const char* texts[3];        // off/on, or positions 0..2
  double (*shown)(float raw);  // the number the display shows
  int decimals;
  const char* unit;
};

double toDb(double gain) { return 20.0 * std::log10(gain); }
double thresholdDb(float raw) { return toDb(1.0 / v::thresholdFactor(raw)); }
double ratioShown(float raw) { return v::kRatioTable[v::ratioIndexOf(raw)].ratio; }
double makeupDb(float raw) { return toDb(v::makeupGain(raw)); }
double percent(float raw) { return 100.0 * v::clampUnit(raw); }
double vuReferenceDb(float raw) { return toDb(v::vuReference(raw)); }

constexpr const char* kHidden = " - ";
constexpr ParameterInfo kNone = {kHidden, Kind::none, {}, nullptr, 0, ""};

constexpr ParameterInfo toggle(const char* name, const char* on, const char* off) {
  return {name, Kind::toggle, {off, on, nullptr}, nullptr, 0, ""};
}
constexpr ParameterInfo number(const char* name, double (*shown)(float), int decimals, const char* unit) {
  return {name, Kind::continuous, {}, shown, decimals, unit};
}

constexpr ParameterInfo kParameters[kNumParamIndices] = {
    /* 0 */ {" Power ", Kind::power, {"Off", "On", nullptr}, nullptr, 0, ""},
    /* 1 */ kNone,
    /* 2 */ toggle(" Soft ", "Soft", "Hard"),
    /* 3 */ toggle(" RMS ", "RMS", "Peak"),
    /* 4 */ kNone,
    /* 5 */ number("Threshold ", thresholdDb, 2, "dB"),
    /* 6 */ number("Ratio ", ratioShown, 2, " : 1"),
    /* 7 */ kNone,
    /* 8 */ number("Attack ", v::attackMs, 2, "ms"),
    /* 9 */ kNone,
    /* 10 */ number("Release ", releaseSeconds, 2, "s"),
    /* 11 */ toggle("AutoRel ", "On", "Off"),
    /* 12 */ {" LowSCF ", Kind::threeWay, {"LoCut", "LoFlat", "LoBoost"}, nullptr, 0, ""},
    /* 13 */ kNone,
    /* 14 */ {" HighSCF ", Kind::threeWay, {"HiCut", "HiFlat", "HiBoost"}, nullptr, 0, ""},
    /* 15 */ kNone,
    /* 16 */ number("Makeup ", makeupDb, 2, "dB"),
    /* 17 */ toggle("AutoMakeup", "AutoMakeup", "Off"),
    /* 18 */ kNone,
    /* 19 */ kNone,
    /* 20 */ toggle(" Link", "Linked", "Off"),
    /* 21 */ kNone,
    /* 22 */ number("Mix ", percent, 0, "%"),
    /* 23 */ number("Output ", outputDb, 2, "dB"),
    /* 24 */ {"Meters ", Kind::meters, {"Pre", "GainRed", "Post"}, nullptr, 0, ""},
    // Classic has a name but nothing to show: the compact engine has no classic release.
    /* 25 */ {"Classic ", Kind::none, {}, nullptr, 0, ""},
    /* 26 */ toggle("S.C.Ext", "S.C.Ext", "Off"),
    /* 27 */ toggle("Smooth", "Smooth", "Draft"),
    /* 28 */ toggle("Stereo", "Stereo", "Mono"),
    /* 29 */ kNone,
    /* 30 */ kNone,
    /* 31 */ kNone,
    /* 32 */ kNone,
    /* 33 */ kNone,
    /* 34 */ kNone,
    /* 35 */ toggle("S.C.Monit", "S.C.Monit", "Off"),
    /* 36 */ number("VU Integr ", v::vuTimeMs, 1, "ms"),
    /* 37 */ number("VU Refer ", vuReferenceDb, 2, "dBFS"),
    /* 38 */ number("PPM Integr ", v::ppmAttackMs, 1, "ms"),
    /* 39 */ number("PPM Return ", v::ppmReturnMs, 0, "ms"),
    /* 40 */ number("OverIndic ", v::overThresholdSamples, 0, "smps"),
};

const ParameterInfo* infoFor(int32_t index) {
  if (index < 0 || index >= kNumParamIndices) return nullptr;
  return &kParameters[index];
}

}  // namespace

int switchState(float raw) { return v::switchOn(raw) ? 1 : 0; }

int shelfPosition(float raw) { return static_cast<int>(2.0 * v::clampUnit(raw) + 0.5); }

double releaseSeconds(float raw) { return std::pow(100.0, v::clampUnit(raw)) * 0.0333; }
double outputGain(float raw) { return 0.25 * std::pow(8.0, v::clampUnit(raw)); }
double outputDb(float raw) { return 18.0 * v::clampUnit(raw) - 12.0; }

void parameterName(int32_t index, char* text) {
  const ParameterInfo* info = infoFor(index);
  std::strcpy(text, info != nullptr ? info->name : kHidden);
}

void parameterDisplay(int32_t index, float raw, char* text) {
  text[0] = '\0';
  const ParameterInfo* info = infoFor(index);
  if (info == nullptr) return;
  switch (info->kind) {
    case Kind::none:
      return;
    case Kind::power:
      std::strcpy(text, info->texts[raw >= 0.5f ? 1 : 0]);
      return;
    case Kind::toggle:
      std::strcpy(text, info->texts[switchState(raw)]);
      return;
    case Kind::threeWay:
      std::strcpy(text, info->texts[shelfPosition(raw)]);
      return;
    case Kind::meters: {
      const double x = v::clampUnit(raw);
      std::strcpy(text, info->texts[x < 0.33 ? 0 : x < 0.66 ? 1 : 2]);
      return;
    }
    case Kind::continuous:
      formatDisplay(info->shown(raw), info->decimals, info->unit, text);
      return;
  }
}

Stepping steppingOf(int32_t index) {
  switch (index) {
    case kPower: case kReset: case kSoft: case kRms: case kLimiter: case kAutoRelease: case kAutoMakeup:
    case kLinkHighCut: case kLinkLowCut: case kLink: case kClassic: case kSidechainExternal: case kSmooth:
    case kStereo: case kSidechainMonitor:
      return Stepping::toggle;
    case kLowShelfPosition: case kHighShelfPosition: case kMeters:
      return Stepping::threeWay;
    default:
      return Stepping::none;
  }
}

}  // namespace orv::nimlet
