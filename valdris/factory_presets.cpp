// The 16 presets a new instance of Orv Valdris starts with. Parameters 27..33
// are spare and 0 everywhere.
#include "valdris/factory_presets.h"

namespace orv::valdris {

//  Power FAT Soft RMS Limiter Threshold Ratio Attack AutoAttck Release AutoRel Makeup AutoMakeup HighSCF High
//  LowSCF Low LnkHighCut LnkLowCut Link Tilt Mix Output Meters Classic S.C.Ext Smooth, spare 27..33
const FactoryPreset kFactoryPresets[kNumPresets] = {
    {"Default", {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.1667f, 0.3f, 0.5f, 0.0f, 0.5f, 0.0f, 0.333333f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"Gentle Master", {1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.75f, 0.4f, 0.5f, 0.0f, 0.5f, 0.0f, 0.413333f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"PhatMix", {1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.5f, 0.4f, 0.5f, 1.0f, 0.5f, 1.0f, 0.333333f, 1.0f, 0.0f, 1.0f, 0.0f, 0.33f, 0.0f, 0.0f, 0.65f, 0.5f, 1.0f, 0.58f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"Mezzo Leveler", {1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.58f, 0.7f, 0.95f, 1.0f, 0.9f, 1.0f, 0.3333f, 1.0f, 0.0f, 1.0f, 0.0f, 0.35f, 0.0f, 0.0f, 0.75f, 0.5f, 1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"Una Corda", {1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.64f, 0.8f, 0.9f, 1.0f, 0.75f, 1.0f, 0.3333f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.75f, 0.5f, 1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"A Kind of Freshness", {1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.3333f, 0.1f, 0.4f, 0.0f, 0.2f, 1.0f, 0.3333f, 1.0f, 0.0f, 1.0f, 0.0f, 0.375f, 0.0f, 0.0f, 0.75f, 0.5f, 0.8f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"Peak Restore", {1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.42f, 0.0f, 0.4f, 0.0f, 0.2f, 1.0f, 0.3633f, 1.0f, 0.0f, 1.0f, 0.0f, 0.375f, 0.0f, 0.0f, 0.75f, 0.5f, 0.8f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"Damp it!", {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.49f, 0.9f, 0.5f, 0.0f, 0.0f, 0.0f, 0.3333f, 1.0f, 0.0f, 0.333f, 0.0f, 0.19f, 0.0f, 0.0f, 0.5f, 0.5f, 0.85f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"SoftQuartet", {1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.667f, 0.4f, 0.5f, 0.0f, 0.5f, 1.0f, 0.333333f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.75f, 0.5f, 0.8f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"SharpQuartet", {1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.5f, 0.1f, 0.333f, 0.0f, 0.5f, 1.0f, 0.333333f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.75f, 0.5f, 0.8f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"CelloConcerto", {1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.667f, 0.7f, 0.333f, 0.0f, 0.5f, 1.0f, 0.25f, 1.0f, 0.0f, 1.0f, 0.0f, 0.5f, 0.0f, 0.0f, 0.5f, 0.5f, 0.65f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"PeakSoftener", {1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.24995f, 0.7f, 0.333f, 0.0f, 0.25f, 1.0f, 0.333333f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"PeakEnhancer", {1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.24995f, 0.1f, 0.25f, 1.0f, 0.25f, 1.0f, 0.333333f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"HeavyDrumKit", {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.8f, 1.0f, 0.2f, 0.0f, 0.25f, 0.0f, 0.4f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"SustainedDrums", {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.85f, 1.0f, 0.0f, 0.0f, 0.2f, 0.0f, 0.18f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.55f, 0.65f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"KickPump", {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.35f, 0.8f, 0.2f, 1.0f, 0.2f, 1.0f, 0.333f, 1.0f, 0.0f, 0.0f, 1.0f, 0.375f, 0.0f, 0.0f, 0.75f, 0.5f, 1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
};

}  // namespace orv::valdris
