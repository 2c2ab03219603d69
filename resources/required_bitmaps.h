// The bitmaps each editor loads: identifier, size in pixels and the number of
// sub-images stacked in it. The sub-image height is height / subImages.
// The generated bitmap tables are checked against these lists at compile
// time, so a missing or mis-sized bitmap stops the build.
#pragma once

namespace orv::resources {

struct RequiredBitmap {
  int id;
  int width, height;
  int subImages;
};

inline constexpr RequiredBitmap kValdrisBitmaps[] = {
    {19000, 450, 460, 1},   // frame and main page background
    {19001, 450, 445, 1},   // behind the value fields
    {19002, 88, 6424, 73},  // Threshold knob
    {19003, 54, 1998, 37},  // Makeup knob
    {19004, 54, 1134, 21},  // Ratio knob
    {19005, 54, 2214, 41},  // Attack knob
    {19006, 54, 2646, 49},  // Release knob
    {19007, 54, 1782, 33},  // High knob
    {19008, 54, 1782, 33},  // Low knob
    {19009, 54, 2214, 41},  // Link knob
    {19010, 54, 2214, 41},  // Tilt knob
    {19011, 54, 2214, 41},  // Mix knob
    {19012, 54, 2646, 49},  // Output knob
    {19013, 20, 32, 2},     // LowSCF
    {19014, 20, 32, 2},     // HighSCF
    {19015, 34, 96, 2},     // Power
    {19016, 30, 52, 2},     // AutoAttck
    {19017, 30, 52, 2},     // AutoRel
    {19018, 30, 52, 2},     // Classic
    {19019, 30, 52, 2},     // AutoMakeup
    {19020, 30, 52, 2},     // LnkHighCut
    {19021, 30, 52, 2},     // LnkLowCut
    {19022, 32, 92, 2},     // FAT
    {19023, 32, 92, 2},     // Soft
    {19024, 32, 92, 2},     // RMS
    {19025, 32, 92, 2},     // Limiter
    {19026, 30, 52, 2},     // S.C.Monit
    {19027, 30, 52, 2},     // S.C.Ext
    {19028, 146, 70, 1},    // left meter face
    {19029, 146, 21, 1},    // left meter cover
    {19030, 14, 42, 3},     // left over lamp: over, held, off
    {19031, 146, 70, 1},    // right meter face
    {19032, 146, 21, 1},    // right meter cover
    {19033, 14, 42, 3},     // right over lamp
    {19034, 38, 144, 3},    // meter-mode switch
    {19035, 450, 445, 1},   // settings page background
    {19036, 38, 1887, 51},  // the five settings knobs
    {19038, 29, 50, 2},     // Smooth
};

// Orv Nimlet's editor is smaller and uses several identifiers for other
// controls (19009 is its Link key, 19013 and 19014 are three-way switches);
// widths follow its control rectangles, heights its sub-image counts.
inline constexpr RequiredBitmap kNimletBitmaps[] = {
    {19000, 450, 378, 1},   // frame and main page background
    {19001, 450, 361, 1},   // behind the value fields
    {19002, 90, 3330, 37},  // Threshold knob
    {19003, 60, 2220, 37},  // Makeup knob
    {19004, 60, 1260, 21},  // Ratio knob
    {19005, 59, 1260, 21},  // Attack knob
    {19006, 60, 1500, 25},  // Release knob
    {19009, 32, 92, 2},     // Link
    {19012, 60, 2220, 37},  // Output knob
    {19013, 23, 75, 3},     // LowSCF: cut, flat, boost
    {19014, 25, 75, 3},     // HighSCF: cut, flat, boost
    {19015, 37, 92, 2},     // Power
    {19016, 36, 94, 2},     // Stereo
    {19017, 26, 52, 2},     // AutoRel
    {19019, 26, 52, 2},     // AutoMakeup
    {19023, 26, 52, 2},     // Soft
    {19024, 26, 52, 2},     // RMS
    {19026, 26, 52, 2},     // S.C.Monit
    {19027, 26, 52, 2},     // S.C.Ext
    {19028, 146, 70, 1},    // left meter face
    {19029, 146, 21, 1},    // left meter cover
    {19030, 14, 42, 3},     // left over lamp
    {19031, 146, 70, 1},    // right meter face
    {19032, 146, 21, 1},    // right meter cover
    {19033, 14, 42, 3},     // right over lamp
    {19034, 38, 141, 3},    // meter-mode switch
    {19035, 450, 360, 1},   // settings page background
    {19036, 38, 1887, 51},  // the five settings knobs
    {19038, 33, 92, 2},     // Smooth
};

// The preset bar's buttons, alike in both products. Its background is the
// lower strip of each product's 19000.
inline constexpr RequiredBitmap kPresetBarBitmaps[] = {
    {19899, 47, 30, 3},  // default preset: normal, mouse over, pressed
    {19990, 37, 30, 3},  // default bank
    {19991, 12, 42, 3},  // recall memory A
    {19992, 12, 42, 3},  // recall memory B
    {19993, 12, 42, 3},  // load bank
    {19994, 12, 42, 3},  // save bank
    {19995, 12, 42, 3},  // store memory A
    {19996, 12, 42, 3},  // store memory B
    {19997, 31, 70, 5},  // previous/next rocker
    {19998, 12, 42, 3},  // load preset
    {19999, 12, 42, 3},  // save preset
};

}  // namespace orv::resources
