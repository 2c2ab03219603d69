// The 16 presets a new instance of Orv Nimlet starts with. Only the columns
// that differ between presets are written out; the rest is the same in all.
#include "nimlet/factory_presets.h"

#include "nimlet/parameters.h"

namespace orv::nimlet {

namespace {

constexpr int32_t kColumns[] = {kSoft,      kRms,          kLimiter,          kThreshold,         kRatio, kAttack,
                                9,          kRelease,      kAutoRelease,      kLowShelfPosition,  kLowShelfFrequency,
                                kHighShelfFrequency, kMakeup, kAutoMakeup,   kLink,              kMix,   kOutput};
constexpr int kNumColumns = sizeof kColumns / sizeof kColumns[0];

struct Row {
  const char* name;
  float values[kNumColumns];
};

constexpr FactoryPreset preset(const Row& row) {
  FactoryPreset p{row.name, {}};
  // Power on, high shelf flat, meters on gain reduction, stereo; hidden 21 centred.
  p.values[kPower] = 1.0f;
  p.values[kHighShelfPosition] = 0.5f;
  p.values[21] = 0.5f;
  p.values[kMeters] = 0.5f;
  p.values[kStereo] = 1.0f;
  for (int c = 0; c < kNumColumns; ++c) p.values[kColumns[c]] = row.values[c];
  return p;
}

}  // namespace

//              Soft  RMS  Lim  Threshold Ratio Attack  9  Release AutoRel LowSCF Low    High   Makeup    AutoMk Link  Mix   Output
const FactoryPreset kFactoryPresets[kNumPresets] = {
    preset({"Default",             {0, 0, 0, 0.1667f,  0.3f, 0.5f,   0, 0.5f,  0, 0.5f, 1,      0,      0.33333f, 0, 0.5f,  1,     0.665f}}),
    preset({"Gentle Master",       {1, 1, 0, 0.75f,    0.4f, 0.5f,   0, 0.75f, 0, 1,    1,      0,      0.41333f, 0, 0.5f,  1,     0.665f}}),
    preset({"PhatMix",             {1, 1, 1, 0.5f,     0.4f, 0.5f,   1, 0.75f, 1, 0.5f, 1,      0.33f,  0.33333f, 1, 0.65f, 1,     0.75f}}),
    preset({"Mezzo Leveler",       {1, 1, 1, 0.58f,    0.7f, 0.95f,  1, 1,     1, 1,    1,      0.35f,  0.3333f,  1, 0.75f, 1,     0.665f}}),
    preset({"Una Corda",           {1, 1, 1, 0.64f,    0.8f, 0.9f,   1, 1,     1, 0.5f, 1,      0,      0.3333f,  1, 0.75f, 1,     0.665f}}),
    preset({"A Kind of Freshness", {1, 1, 0, 0.3333f,  0.1f, 0.4f,   0, 0.45f, 1, 0.5f, 1,      0.375f, 0.3333f,  1, 0.75f, 0.8f,  0.665f}}),
    preset({"Peak Restore",        {1, 1, 0, 0.42f,    0,    0.4f,   0, 0.45f, 1, 0,    1,      0.375f, 0.3633f,  1, 0.75f, 0.8f,  0.665f}}),
    preset({"Damp it!",            {0, 0, 1, 0.49f,    0.9f, 0.5f,   0, 0.25f, 0, 0.5f, 0.333f, 0.19f,  0.3333f,  1, 0.5f,  0.85f, 0.665f}}),
    preset({"SoftQuartet",         {1, 1, 0, 0.667f,   0.4f, 0.5f,   0, 0.75f, 1, 0.5f, 1,      0,      0.33333f, 1, 0.75f, 0.8f,  0.665f}}),
    preset({"SharpQuartet",        {1, 1, 1, 0.5f,     0.1f, 0.333f, 0, 0.75f, 1, 0.5f, 1,      0,      0.33333f, 1, 0.75f, 0.8f,  0.665f}}),
    preset({"CelloConcerto",       {1, 1, 0, 0.667f,   0.7f, 0.333f, 0, 0.75f, 1, 1,    1,      0.5f,   0.25f,    1, 0.5f,  0.65f, 0.665f}}),
    preset({"PeakSoftener",        {1, 1, 0, 0.24995f, 0.7f, 0.333f, 0, 0.5f,  1, 0.5f, 1,      0,      0.33333f, 0, 0.5f,  1,     0.665f}}),
    preset({"PeakEnhancer",        {1, 0, 1, 0.24995f, 0.1f, 0.25f,  1, 0.5f,  1, 0.5f, 1,      0,      0.33333f, 1, 0.5f,  1,     0.665f}}),
    preset({"HeavyDrumKit",        {0, 0, 1, 0.8f,     1,    0.2f,   0, 0.5f,  0, 0.5f, 1,      0,      0.4f,     1, 0.5f,  1,     0.75f}}),
    preset({"SustainedDrums",      {0, 0, 1, 0.85f,    1,    0,      0, 0.45f, 0, 0.5f, 1,      0,      0.18f,    1, 0.5f,  0.55f, 0.75f}}),
    preset({"KickPump",            {0, 0, 0, 0.35f,    0.8f, 0.2f,   1, 0.45f, 1, 0,    0,      0.375f, 0.333f,   1, 0.75f, 1,     0.665f}}),
};

}  // namespace orv::nimlet
