"""Knob scales, computed from each parameter's value law so that a printed
number sits exactly where the knob points for that value."""

import math

from layout import Scale, even

MINUS = "\u2212"


def signed(v):
    if v > 0:
        return "+%g" % v
    if v < 0:
        return MINUS + "%g" % -v
    return "0"


def linear(lo, hi, tick_step, label_values, unit=None, origin=0.0, label=signed):
    """A scale for a physical value that is linear in the knob value."""
    n = int(round((hi - lo) / tick_step))
    ticks = [i / n for i in range(n + 1)]
    labels = [((v - lo) / (hi - lo), label(v)) for v in label_values]
    majors = [u for u, _ in labels]
    return Scale(ticks, majors, labels, unit, origin)


def logarithmic(lo, hi, tick_values, label_values, unit=None, fmt="%g", names=None):
    """A scale for a physical value that is exponential in the knob value:
    value = lo * (hi / lo) ** u. `names` replaces the text of some labels."""
    names = names or {}

    def u(v):
        return math.log(v / lo) / math.log(hi / lo)
    labels = [(u(v), names.get(v, fmt % v)) for v in label_values]
    return Scale([u(v) for v in tick_values], [u for u, _ in labels], labels, unit)


def threshold(top, bottom, steps=3):
    """Threshold knobs run from +6 dB (value 0) down to -30 dB (value 1)."""
    span = top - bottom
    n = int(span / steps)
    ticks = [i / n for i in range(n + 1)]
    values = list(range(top, bottom - 1, -6))
    labels = [((top - v) / span, signed(v)) for v in values]
    return Scale(ticks, [u for u, _ in labels], labels, "dB")


RATIOS = [0.5, 0.59, 0.71, 0.77, 0.84, 0.92, 1, 1.09, 1.2, 1.3, 1.4, 1.68, 2,
          2.38, 2.8, 3.36, 4, 5.6, 8, 12, 64]


def ratio():
    """21 steps, one per entry of the ratio table; 1 : 1 is step 6."""
    labelled = {0: "0.5", 6: "1", 12: "2", 16: "4", 20: "64"}
    ticks = [k / 20 for k in range(21)]
    labels = [(k / 20, s) for k, s in labelled.items()]
    return Scale(ticks, [u for u, _ in labels], labels, ": 1", origin=6 / 20)


def percent():
    return linear(0, 100, 10, [0, 50, 100], "%", label=lambda v: "%d" % v)


def settings():
    """The five meter-setting knobs share one strip, so their scale carries
    no numbers: the display under each knob shows the value."""
    return Scale(even(11), [0, 0.5, 1])
