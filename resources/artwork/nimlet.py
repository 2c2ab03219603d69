"""Orv Nimlet: the controls of both editor pages and the bitmap of each.
Several identifiers name other controls and sizes than in Orv Valdris; the
sizes follow from this editor's rectangles and sub-image counts."""

import paint
import scales
from layout import Key, Knob, Selector

NAME = "Orv Nimlet"
TAGLINE = "compact stereo compressor"
FRAME = (450, 378)
PAGE_HEIGHT = 360
PRESET_BAR_TOP = 362           # top of the preset bar's controls
FIELDS_SIZE = (450, 361)       # bitmap 19001
SETTINGS_SIZE = (450, 360)     # bitmap 19035
SETTINGS_SHIFT = -41           # the settings page's controls, relative to Valdris
PAGE_SWITCH = (100, 320, 260, 340)
LATENCY = (112, 346, 207, 356)
METER_SWITCH = Selector(19034, "Meters", (206, 58, 244, 105), 3, 47,
                        ["Pre", "GainRed", "Post"])
FIELD_FILL = (230 / 255, 230 / 255, 230 / 255)

KNOBS = [
    Knob(19004, "Ratio", (250, 160, 310, 220), 21, scales.ratio(), (250, 146, 302, 160)),
    Knob(19005, "Attack", (45, 160, 104, 220), 21,
         scales.logarithmic(0.01, 1000, [0.01, 0.1, 1, 10, 100, 1000], [0.01, 1, 1000], "ms",
                            fmt="%g", names={1000: "1k"}),
         (45, 146, 97, 160)),
    Knob(19002, "Threshold", (134, 185, 224, 275), 37, scales.threshold(6, -30),
         (145, 159, 211, 173)),
    Knob(19012, "Output", (345, 240, 405, 300), 37,
         scales.linear(-12, 6, 3, [-12, -6, 0, 6], "dB", origin=2 / 3), (345, 226, 396, 240)),
    Knob(19003, "Makeup", (251, 240, 311, 300), 37,
         scales.linear(-12, 24, 6, [-12, 0, 12, 24], "dB", origin=1 / 3), (251, 226, 303, 240)),
    Knob(19006, "Release", (44, 240, 104, 300), 25,
         scales.logarithmic(0.0333, 3.33, [0.0333, 0.1, 0.333, 1, 3.33], [0.0333, 1, 3.33],
                            "s", fmt="%.2g", names={0.0333: "0.03"}),
         (44, 226, 96, 240)),
]

KEYS = [
    Key(19015, "Power", (40, 308, 77, 354), "cap", paint.GREEN, paint.GREEN_DIM, "power"),
    Key(19023, "Soft", (312, 160, 338, 186), "above"),
    Key(19024, "RMS", (104, 160, 130, 186), "above"),
    Key(19016, "Stereo", (332, 308, 368, 355), "cap"),
    Key(19038, "Smooth", (292, 308, 325, 354), "cap"),
    Key(19009, "Link", (375, 308, 407, 354), "cap"),
    Key(19017, "AutoRel", (104, 238, 130, 264), "above"),
    Key(19019, "AutoMakeup", (311, 237, 337, 263), "above", size=7.5),
    Key(19026, "S.C.Monit", (378, 160, 404, 186), "above"),
    Key(19027, "S.C.Ext", (345, 160, 371, 186), "above"),
]

SELECTORS = [
    Selector(19013, "LowSCF", (350, 198, 373, 223), 3, 25, None, "shelf", low=True),
    Selector(19014, "HighSCF", (375, 198, 400, 223), 3, 25, None, "shelf", low=False),
]


def decorate(cr):
    paint.caption(cr, "Compressor", 46, 139, "l")
    paint.caption(cr, "Side chain", 375, 139, "c")
    # The two shelf switches are labelled on their outer sides.
    paint.text(cr, "LowSCF", 347, 210.5, 8.5, paint.PRINT, "r")
    paint.text(cr, "HighSCF", 403, 210.5, 8.5, paint.PRINT, "l")


SETTINGS_KNOBS = [
    ("VU Integr", "integration time", (61, 165, 99, 202), (55, 202, 105, 214)),
    ("VU Refer", "level that reads 0 dB", (61, 215, 99, 252), (55, 252, 105, 264)),
    ("PPM Integr", "attack time", (261, 165, 299, 202), (255, 202, 305, 214)),
    ("PPM Return", "fall time for 24 dB", (261, 215, 299, 252), (255, 252, 305, 264)),
    ("OverIndic", "samples at full scale", (61, 293, 99, 330), (65, 330, 95, 342)),
]
VERSION_LABEL = (294, 45, 338, 56)
SETTINGS_SWITCH = (110, 36, 338, 134)
