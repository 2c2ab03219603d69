"""Orv Valdris: the controls of both editor pages and the bitmap of each."""

import paint
import scales
from layout import Key, Knob, Selector

NAME = "Orv Valdris"
TAGLINE = "stereo mastering compressor"
FRAME = (450, 460)
PAGE_HEIGHT = 444
PRESET_BAR_TOP = 444           # top of the preset bar's controls
FIELDS_SIZE = (450, 445)       # bitmap 19001
SETTINGS_SIZE = (450, 445)     # bitmap 19035
SETTINGS_SHIFT = 0             # the settings page's controls, relative to Valdris
PAGE_SWITCH = (80, 404, 238, 422)
LATENCY = (112, 428, 207, 438)
METER_SWITCH = Selector(19034, "Meters", (206, 58, 244, 106), 3, 48,
                        ["Pre", "GainRed", "Post"])
FIELD_FILL = (0.96, 0.95, 0.92)

KNOBS = [
    Knob(19004, "Ratio", (50, 165, 104, 219), 21, scales.ratio(), (50, 146, 102, 160)),
    Knob(19005, "Attack", (50, 243, 104, 297), 41,
         scales.logarithmic(0.01, 1000, [0.01, 0.1, 1, 10, 100, 1000], [0.01, 1, 1000], "ms",
                            fmt="%g", names={1000: "1k"}),
         (51, 224, 103, 238)),
    Knob(19002, "Threshold", (136, 187, 224, 275), 73, scales.threshold(6, -30),
         (147, 158, 213, 172)),
    Knob(19008, "Low", (257, 164, 311, 218), 33,
         scales.logarithmic(25, 400, [25, 50, 100, 200, 400], [25, 100, 400], "Hz"),
         (264, 146, 304, 160)),
    Knob(19007, "High", (348, 164, 402, 218), 33,
         scales.logarithmic(1, 16, [1, 2, 4, 8, 16], [1, 4, 16], "kHz"),
         (357, 146, 397, 160)),
    Knob(19009, "Link", (257, 243, 311, 297), 41, scales.percent(), (261, 225, 312, 239)),
    Knob(19010, "Tilt", (348, 243, 402, 297), 41,
         scales.linear(-50, 50, 10, [-50, 0, 50], origin=0.5,
                       label=lambda v: "L" if v < 0 else ("R" if v > 0 else "C")),
         (349, 225, 400, 239)),
    Knob(19012, "Output", (348, 321, 402, 375), 49,
         scales.linear(-12, 12, 3, [-12, 0, 12], "dB", origin=0.5), (349, 303, 400, 317)),
    Knob(19011, "Mix", (257, 321, 311, 375), 41, scales.percent(), (261, 303, 312, 317)),
    Knob(19003, "Makeup", (153, 321, 207, 375), 37,
         scales.linear(-12, 24, 6, [-12, 0, 12, 24], "dB", origin=1 / 3), (153, 302, 205, 316)),
    Knob(19006, "Release", (50, 322, 104, 376), 49,
         scales.logarithmic(0.1, 10, [0.1, 0.2, 0.5, 1, 2, 5, 10], [0.1, 1, 10], "s"),
         (51, 303, 103, 317)),
]

KEYS = [
    Key(19015, "Power", (42, 388, 76, 436), "cap", paint.GREEN, paint.GREEN_DIM, "power"),
    Key(19022, "FAT", (250, 390, 282, 436), "cap"),
    Key(19023, "Soft", (292, 390, 324, 436), "cap"),
    Key(19024, "RMS", (334, 390, 366, 436), "cap"),
    Key(19025, "Limiter", (375, 390, 407, 436), "cap"),
    Key(19016, "AutoAttck", (104, 238, 134, 264), "below"),
    Key(19038, "Smooth", (104, 277, 133, 302), "below"),
    Key(19017, "AutoRel", (104, 316, 134, 342), "below"),
    Key(19018, "Classic", (104, 355, 134, 381), "below"),
    Key(19019, "AutoMakeup", (207, 316, 237, 342), "below-left"),
    Key(19020, "LnkHighCut", (311, 238, 341, 264), "above", size=7.5, dx=4),
    Key(19021, "LnkLowCut", (311, 278, 341, 304), "above", size=7.5, dx=4),
    Key(19026, "S.C.Monit", (311, 159, 341, 185), "above"),
    Key(19027, "S.C.Ext", (227, 159, 257, 185), "below"),
    Key(19013, "LowSCF", (242, 147, 262, 163), "above", symbol="shelf-low"),
    Key(19014, "HighSCF", (396, 147, 416, 163), "above", symbol="shelf-high"),
]

SELECTORS = []


def decorate(cr):
    """Section captions of the main page, printed before the controls."""
    paint.caption(cr, "Compressor", 46, 141, "l")
    paint.caption(cr, "Side chain", 330, 141, "c")
    # An engraved rule between the compressor and its side chain.
    paint.hairline(cr, 240.5, 204, 240.5, 296, (0, 0, 0), 0.55)
    paint.hairline(cr, 241.5, 204, 241.5, 296, (1, 1, 1), 0.06)


# Settings page: the five meter-setting knobs, tag 36 to 40.
SETTINGS_KNOBS = [
    ("VU Integr", "integration time", (61, 206, 99, 243), (55, 243, 105, 255)),
    ("VU Refer", "level that reads 0 dB", (61, 256, 99, 293), (55, 293, 105, 305)),
    ("PPM Integr", "attack time", (261, 206, 299, 243), (255, 243, 305, 255)),
    ("PPM Return", "fall time for 24 dB", (261, 256, 299, 293), (255, 293, 305, 305)),
    ("OverIndic", "samples at full scale", (61, 334, 99, 371), (65, 371, 95, 383)),
]
VERSION_LABEL = (294, 45, 338, 56)
SETTINGS_SWITCH = (110, 36, 338, 134)
