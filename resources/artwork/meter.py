"""The needle meters: face, cover and over lamp.

The scale is printed from the needle's own angle law: a needle value v (linear,
1 = 0 dB: full scale for the PPM and the input and output levels, the VU
reference for the VU, no gain change in the gain-reduction mode) points at
    theta = 5*pi/6 - (2*pi/3) * (v / 1.44) ** 1.2
radians counter-clockwise from the positive x axis, about the pivot. A mark
for d dB is drawn at theta(10 ** (d / 20)), so a needle resting on "-3" shows
-3 dB in every mode."""

import math

import cairo

import paint

FACE_W, FACE_H = 146, 70
COVER_H = 21
LAMP = 14
# Pivot and lamp, relative to the face's top-left corner (both meters alike).
PIVOT = (72.0, 82.0)
LAMP_AT = (66, 51)
# Readouts: the first (PPM hold) right of the lamp, the second (VU hold) left.
READOUT_1 = (84, 53, 134, 63)
READOUT_2 = (10, 53, 60, 63)

SCALE_R = 64.0       # radius of the scale's base line
LABEL_R = 76.0

MAJOR_DB = [-20, -10, -7, -5, -3, -2, -1, 0, 1, 2, 3]
MINOR_DB = [-15, -6, -4, -2.5, -1.5, -0.5, 0.5, 1.5, 2.5]

FACE_TOP = (0.965, 0.941, 0.875)
FACE_BOTTOM = (0.905, 0.867, 0.776)
FACE_INK = (0.16, 0.15, 0.14)
FACE_RED = (0.78, 0.12, 0.10)


def needle_angle(v):
    v = min(max(v, 0.000001), 1.5)
    return 5 * math.pi / 6 - (2 * math.pi / 3) * (v / 1.44) ** 1.2


def db_angle(db):
    return needle_angle(10 ** (db / 20))


def point(pivot, r, theta):
    return pivot[0] + r * math.cos(theta), pivot[1] - r * math.sin(theta)


def _label(db):
    if db > 0:
        return "+%d" % db
    if db < 0:
        return "\u2212%d" % -db   # a true minus sign reads better than a hyphen
    return "0"


def face(channel):
    """The meter face; `channel` is printed small in the upper corner."""
    s = paint.new_surface(FACE_W, FACE_H)
    cr = paint.context(s)
    g = cairo.LinearGradient(0, 0, 0, FACE_H)
    g.add_color_stop_rgb(0, *FACE_TOP)
    g.add_color_stop_rgb(1, *FACE_BOTTOM)
    cr.set_source(g)
    cr.paint()
    pivot = PIVOT

    # Red zone above 0 dB, on the outside of the base line.
    cr.set_line_width(3.0)
    paint.rgb(cr, FACE_RED)
    cr.arc(pivot[0], pivot[1], SCALE_R + 1.5, -db_angle(0), -db_angle(3.5))
    cr.stroke()
    # Base line across the whole travel, heavier in the red zone.
    cr.set_line_width(0.9)
    paint.rgb(cr, FACE_INK)
    cr.arc(pivot[0], pivot[1], SCALE_R, -db_angle(-25), -db_angle(0))
    cr.stroke()
    paint.rgb(cr, FACE_RED)
    cr.arc(pivot[0], pivot[1], SCALE_R, -db_angle(0), -db_angle(3.5))
    cr.stroke()

    cr.set_line_cap(cairo.LINE_CAP_BUTT)
    for db in MINOR_DB:
        t = db_angle(db)
        paint.rgb(cr, FACE_RED if db > 0 else FACE_INK)
        cr.set_line_width(0.8)
        cr.move_to(*point(pivot, SCALE_R, t))
        cr.line_to(*point(pivot, SCALE_R + 3.5, t))
        cr.stroke()
    for db in MAJOR_DB:
        t = db_angle(db)
        paint.rgb(cr, FACE_RED if db > 0 else FACE_INK)
        cr.set_line_width(1.3)
        cr.move_to(*point(pivot, SCALE_R - 1.5, t))
        cr.line_to(*point(pivot, SCALE_R + 6.0, t))
        cr.stroke()
        # The nearest edge of each number, not its centre, sits on LABEL_R.
        x, y = point(pivot, LABEL_R - 3.0, t)
        x += math.cos(t) * paint.measure(_label(db), 7.0, bold=True) / 2
        y -= math.sin(t) * 2.5
        paint.text(cr, _label(db), x, y, 7.0, FACE_RED if db > 0 else FACE_INK,
                   "c", paint.NARROW, bold=True)

    paint.text(cr, "dB", pivot[0], 36, 9, FACE_INK, "c", paint.FACE, bold=True)
    paint.text(cr, "VU \u00b7 PPM", pivot[0], 45, 6, (0.45, 0.42, 0.38), "c",
               paint.FACE)
    paint.text(cr, channel, 6, 8, 8, (0.45, 0.42, 0.38), "l", paint.FACE, bold=True)
    # Captions of the two readouts, which show the held maxima.
    paint.text(cr, "VU max", (READOUT_2[0] + READOUT_2[2]) / 2, 49, 6,
               (0.45, 0.42, 0.38), "c", paint.FACE)
    paint.text(cr, "PPM max", (READOUT_1[0] + READOUT_1[2]) / 2, 49, 6,
               (0.45, 0.42, 0.38), "c", paint.FACE)
    # A faint shadow under the window's upper edge gives the face depth.
    sh = cairo.LinearGradient(0, 0, 0, 6)
    sh.add_color_stop_rgba(0, 0, 0, 0, 0.28)
    sh.add_color_stop_rgba(1, 0, 0, 0, 0.0)
    cr.set_source(sh)
    cr.rectangle(0, 0, FACE_W, 6)
    cr.fill()
    return s


def cover(below):
    """Drawn over the needles' lower ends: the window's lower rim with the
    pivot housing. `below` is the panel under the cover (146 x 21)."""
    s = paint.crop(below, 0, 0, FACE_W, COVER_H)
    cr = paint.context(s)
    px, py = PIVOT[0], PIVOT[1] - FACE_H
    g = cairo.LinearGradient(0, 0, 0, COVER_H)
    g.add_color_stop_rgb(0, 0.11, 0.104, 0.097)
    g.add_color_stop_rgb(1, 0.17, 0.16, 0.15)
    cr.set_source(g)
    cr.rectangle(0, 0, FACE_W, 4)
    cr.fill()
    # Pivot housing: a low dome rising from the rim, lit from above.
    r = 12.0
    dome = cairo.LinearGradient(0, py + 2 - r, 0, COVER_H)
    dome.add_color_stop_rgb(0, 0.30, 0.285, 0.265)
    dome.add_color_stop_rgb(1, 0.08, 0.076, 0.072)
    cr.set_source(dome)
    cr.arc(px, py + 2, r, math.pi, 2 * math.pi)
    cr.line_to(px + r, COVER_H)
    cr.line_to(px - r, COVER_H)
    cr.close_path()
    cr.fill()
    paint.rgb(cr, (1, 1, 1), 0.18)
    cr.set_line_width(0.8)
    cr.arc(px, py + 2, r - 0.6, math.pi * 1.15, math.pi * 1.85)
    cr.stroke()
    paint.rgb(cr, (1, 1, 1), 0.12)
    cr.set_line_width(1.0)
    cr.move_to(0, 4.5)
    cr.line_to(px - 12, 4.5)
    cr.move_to(px + 12, 4.5)
    cr.line_to(FACE_W, 4.5)
    cr.stroke()
    return s


def over_lamp(face_surface):
    """Three images: over now, over held, off."""
    images = []
    for state in ("over", "held", "off"):
        s = paint.crop(face_surface, LAMP_AT[0], LAMP_AT[1], LAMP, LAMP)
        cr = paint.context(s)
        c = LAMP / 2
        if state == "over":
            halo = cairo.RadialGradient(c, c, 2, c, c, 7)
            halo.add_color_stop_rgba(0, 1, 0.2, 0.1, 0.6)
            halo.add_color_stop_rgba(1, 1, 0.2, 0.1, 0.0)
            cr.set_source(halo)
            cr.paint()
            paint.lamp(cr, c, c, 4.5, True, (1.0, 0.18, 0.12), (0.3, 0.06, 0.05))
        elif state == "held":
            # Held: the lamp stays red but steady and darker, with a light ring.
            paint.lamp(cr, c, c, 4.5, True, (0.72, 0.10, 0.08), (0.3, 0.06, 0.05))
            paint.rgb(cr, (1.0, 0.85, 0.8), 0.8)
            cr.set_line_width(0.8)
            cr.arc(c, c, 2.0, 0, 2 * math.pi)
            cr.stroke()
        else:
            paint.lamp(cr, c, c, 4.5, False, (1.0, 0.18, 0.12), (0.32, 0.12, 0.10))
        images.append(s)
    return paint.stack(images)


def needles(cr, origin, vu, ppm):
    """Both needles as the meter draws them, for the previews only."""
    pivot = (origin[0] + PIVOT[0], origin[1] + PIVOT[1])
    for v, r0, colour in ((ppm, 55, (240 / 255, 40 / 255, 40 / 255)),
                          (vu, 3, (100 / 255, 100 / 255, 105 / 255))):
        t = needle_angle(v)
        paint.rgb(cr, colour)
        cr.set_line_width(1.0)
        for dx, dy in ((1, 0), (0, 0), (1, 1), (0, 1), (0.5, 0.5)):
            p = (pivot[0] + dx, pivot[1] + dy)
            cr.move_to(*point(p, r0, t))
            cr.line_to(*point(p, 70, t))
            cr.stroke()
