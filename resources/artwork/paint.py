"""Drawing primitives shared by every bitmap: palette, text, panels, knobs,
keys, lamps. Everything is drawn with cairo onto opaque RGB surfaces, so the
output depends only on the code, cairo and the two font families installed by
scripts/setup."""

import math

import cairo

# Palette: a dark warm-grey panel, warm off-white print, amber lamps.
PANEL = (0.196, 0.184, 0.169)
PANEL_HI = (0.235, 0.222, 0.204)
PANEL_LO = (0.150, 0.141, 0.130)
BRIDGE = (0.137, 0.129, 0.120)      # the darker band that carries the meters
PRINT = (0.878, 0.851, 0.796)       # labels
PRINT_DIM = (0.620, 0.596, 0.553)   # scale numbers, minor print
CAPTION = (0.780, 0.663, 0.447)     # section captions
TICK = (0.560, 0.537, 0.498)
AMBER = (1.000, 0.690, 0.251)
AMBER_DIM = (0.310, 0.220, 0.110)
GREEN = (0.490, 0.890, 0.420)
GREEN_DIM = (0.140, 0.220, 0.120)
RED = (0.941, 0.157, 0.157)
CREAM = (0.945, 0.918, 0.843)       # plates and readout windows with dark print
INK = (0.141, 0.141, 0.125)

FACE = "DejaVu Sans"
NARROW = "Liberation Sans Narrow"


def new_surface(width, height):
    return cairo.ImageSurface(cairo.FORMAT_RGB24, width, height)


def context(surface):
    cr = cairo.Context(surface)
    options = cairo.FontOptions()
    options.set_antialias(cairo.ANTIALIAS_GRAY)
    options.set_hint_style(cairo.HINT_STYLE_SLIGHT)
    options.set_hint_metrics(cairo.HINT_METRICS_OFF)
    cr.set_font_options(options)
    return cr


def crop(surface, x, y, width, height):
    """A new surface holding the given part of `surface`."""
    out = new_surface(width, height)
    cr = cairo.Context(out)
    cr.set_source_surface(surface, -x, -y)
    cr.paint()
    return out


def stack(images):
    """Sub-images of one width stacked top to bottom, as a film strip."""
    width = images[0].get_width()
    height = sum(i.get_height() for i in images)
    out = new_surface(width, height)
    cr = cairo.Context(out)
    y = 0
    for image in images:
        assert image.get_width() == width
        cr.set_source_surface(image, 0, y)
        cr.paint()
        y += image.get_height()
    return out


def rgb(cr, colour, alpha=1.0):
    cr.set_source_rgba(colour[0], colour[1], colour[2], alpha)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def rounded_rect(cr, x, y, w, h, r):
    r = min(r, w / 2, h / 2)
    cr.new_sub_path()
    cr.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    cr.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    cr.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    cr.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    cr.close_path()


def text(cr, s, x, y, size, colour=PRINT, align="c", face=NARROW, bold=False,
         spacing=0.0):
    """Writes `s` with its cap height centred on y; x is the left edge, the
    centre or the right edge for align "l", "c" or "r"."""
    cr.select_font_face(face, cairo.FONT_SLANT_NORMAL,
                        cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    cr.set_font_size(size)
    width = text_width(cr, s, spacing)
    cap = cr.text_extents("H").height
    if align == "c":
        x -= width / 2
    elif align == "r":
        x -= width
    rgb(cr, colour)
    if spacing == 0.0:
        cr.move_to(x, y + cap / 2)
        cr.show_text(s)
        return
    for ch in s:
        cr.move_to(x, y + cap / 2)
        cr.show_text(ch)
        x += cr.text_extents(ch).x_advance + spacing


def text_width(cr, s, spacing=0.0):
    if spacing == 0.0:
        return cr.text_extents(s).x_advance
    return sum(cr.text_extents(ch).x_advance for ch in s) + spacing * (len(s) - 1)


def measure(s, size, face=NARROW, bold=False):
    cr = context(new_surface(1, 1))
    cr.select_font_face(face, cairo.FONT_SLANT_NORMAL,
                        cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    cr.set_font_size(size)
    return cr.text_extents(s).x_advance


def caption(cr, s, x, y, align="c", colour=CAPTION):
    text(cr, s.upper(), x, y, 7.5, colour, align, FACE, bold=True, spacing=1.2)


# Knob travel: 270 degrees, from lower left (value 0) clockwise to lower right.
def knob_angle(u):
    """Screen angle in radians of value u, measured clockwise from 12 o'clock."""
    return math.radians(-135.0 + 270.0 * u)


def polar(cx, cy, r, a):
    return cx + r * math.sin(a), cy - r * math.cos(a)


def knob_scale(cr, cx, cy, r_in, ticks, majors, labels, label_r, label_size=7.0,
               unit=None, unit_y=None):
    """Ticks on the panel around a knob; `labels` are (value, text) pairs."""
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    for u in ticks:
        major = any(abs(u - m) < 1e-9 for m in majors)
        a = knob_angle(u)
        cr.move_to(*polar(cx, cy, r_in, a))
        cr.line_to(*polar(cx, cy, r_in + (4.5 if major else 2.5), a))
        rgb(cr, PRINT if major else TICK)
        cr.set_line_width(1.2 if major else 0.9)
        cr.stroke()
    for u, s in labels:
        a = knob_angle(u)
        x, y = polar(cx, cy, label_r, a)
        # Push each label out by half its size along its direction, so its
        # nearest edge, not its centre, keeps the distance from the ticks.
        w = measure(s, label_size)
        h = label_size * 0.72
        x += math.sin(a) * w / 2
        y -= math.cos(a) * h / 2
        text(cr, s, x, y, label_size, PRINT_DIM, "c")
    if unit:
        text(cr, unit, cx, unit_y if unit_y is not None else cy + label_r * 0.78,
             label_size, PRINT_DIM, "c")


def knob_cap(cr, cx, cy, r, u, arc=None, arc_r=None):
    """The turning part of a knob at value u. `arc` is (from, to) in values:
    a lit band that shows the setting at a glance."""
    if arc is not None:
        a0, a1 = sorted(arc)
        cr.set_line_width(2.0)
        cr.set_line_cap(cairo.LINE_CAP_BUTT)
        rgb(cr, AMBER_DIM)
        cr.arc(cx, cy, arc_r, knob_angle(0) - math.pi / 2, knob_angle(1) - math.pi / 2)
        cr.stroke()
        if a1 - a0 > 1e-6:
            rgb(cr, AMBER, 0.9)
            cr.arc(cx, cy, arc_r, knob_angle(a0) - math.pi / 2, knob_angle(a1) - math.pi / 2)
            cr.stroke()
    # Drop shadow, skirt, then the cap with light from above.
    shadow = cairo.RadialGradient(cx, cy + r * 0.12, r * 0.8, cx, cy + r * 0.12, r * 1.12)
    shadow.add_color_stop_rgba(0, 0, 0, 0, 0.55)
    shadow.add_color_stop_rgba(1, 0, 0, 0, 0.0)
    cr.set_source(shadow)
    cr.arc(cx, cy + r * 0.12, r * 1.12, 0, 2 * math.pi)
    cr.fill()
    skirt = cairo.LinearGradient(cx, cy - r, cx, cy + r)
    skirt.add_color_stop_rgb(0, 0.36, 0.345, 0.325)
    skirt.add_color_stop_rgb(1, 0.09, 0.086, 0.082)
    cr.set_source(skirt)
    cr.arc(cx, cy, r, 0, 2 * math.pi)
    cr.fill()
    top = cairo.RadialGradient(cx - r * 0.25, cy - r * 0.35, r * 0.1, cx, cy, r * 0.86)
    top.add_color_stop_rgb(0, 0.255, 0.243, 0.228)
    top.add_color_stop_rgb(1, 0.125, 0.119, 0.112)
    cr.set_source(top)
    cr.arc(cx, cy, r * 0.84, 0, 2 * math.pi)
    cr.fill()
    # Pointer: a light line from near the centre to the rim.
    a = knob_angle(u)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.set_line_width(max(1.6, r * 0.11))
    rgb(cr, (0.97, 0.93, 0.84))
    cr.move_to(*polar(cx, cy, r * 0.30, a))
    cr.line_to(*polar(cx, cy, r * 0.92, a))
    cr.stroke()


def lamp(cr, cx, cy, r, lit, colour=AMBER, dim=AMBER_DIM):
    """A round indicator lamp."""
    rgb(cr, (0.06, 0.055, 0.05))
    cr.arc(cx, cy, r + 1.0, 0, 2 * math.pi)
    cr.fill()
    if lit:
        glow = cairo.RadialGradient(cx, cy, 0, cx, cy, r)
        glow.add_color_stop_rgb(0, *mix(colour, (1, 1, 1), 0.55))
        glow.add_color_stop_rgb(0.6, *colour)
        glow.add_color_stop_rgb(1, *mix(colour, (0, 0, 0), 0.25))
        cr.set_source(glow)
    else:
        off = cairo.RadialGradient(cx - r * 0.3, cy - r * 0.3, 0, cx, cy, r)
        off.add_color_stop_rgb(0, *mix(dim, (1, 1, 1), 0.12))
        off.add_color_stop_rgb(1, *mix(dim, (0, 0, 0), 0.35))
        cr.set_source(off)
    cr.arc(cx, cy, r, 0, 2 * math.pi)
    cr.fill()


def bar_lamp(cr, x, y, w, h, lit, colour=AMBER, dim=AMBER_DIM):
    """A slot-shaped indicator lamp."""
    rgb(cr, (0.06, 0.055, 0.05))
    rounded_rect(cr, x - 1, y - 1, w + 2, h + 2, (h + 2) / 2)
    cr.fill()
    if lit:
        g = cairo.LinearGradient(x, y, x, y + h)
        g.add_color_stop_rgb(0, *mix(colour, (1, 1, 1), 0.5))
        g.add_color_stop_rgb(1, *colour)
    else:
        g = cairo.LinearGradient(x, y, x, y + h)
        g.add_color_stop_rgb(0, *mix(dim, (1, 1, 1), 0.1))
        g.add_color_stop_rgb(1, *mix(dim, (0, 0, 0), 0.3))
    cr.set_source(g)
    rounded_rect(cr, x, y, w, h, h / 2)
    cr.fill()


def key(cr, x, y, w, h, pressed=False, radius=3.0):
    """A push key seen from above: dark cap, light top edge, shadow below."""
    rgb(cr, (0, 0, 0), 0.45)
    rounded_rect(cr, x + 0.5, y + 1.5, w - 1, h - 1, radius)
    cr.fill()
    g = cairo.LinearGradient(x, y, x, y + h)
    if pressed:
        g.add_color_stop_rgb(0, 0.215, 0.205, 0.192)
        g.add_color_stop_rgb(1, 0.165, 0.157, 0.147)
    else:
        g.add_color_stop_rgb(0, 0.330, 0.315, 0.295)
        g.add_color_stop_rgb(1, 0.185, 0.176, 0.165)
    cr.set_source(g)
    rounded_rect(cr, x + 0.5, y + 0.5, w - 1, h - 1.5, radius)
    cr.fill_preserve()
    rgb(cr, (0.05, 0.047, 0.044))
    cr.set_line_width(1.0)
    cr.stroke()
    # Highlight along the top edge.
    rgb(cr, (1, 1, 1), 0.10 if pressed else 0.16)
    cr.move_to(x + radius, y + 1.5)
    cr.line_to(x + w - radius, y + 1.5)
    cr.stroke()


def recess(cr, x, y, w, h, radius, fill):
    """A window set into the panel: darker rim above, lighter below."""
    rgb(cr, (0, 0, 0), 0.5)
    rounded_rect(cr, x - 1, y - 1, w + 2, h + 2, radius + 1)
    cr.fill()
    rgb(cr, (1, 1, 1), 0.07)
    rounded_rect(cr, x - 1, y, w + 2, h + 1.5, radius + 1)
    cr.fill()
    rgb(cr, fill)
    rounded_rect(cr, x, y, w, h, radius)
    cr.fill()


def hairline(cr, x0, y0, x1, y1, colour=TICK, alpha=0.6):
    rgb(cr, colour, alpha)
    cr.set_line_width(1.0)
    cr.move_to(x0, y0)
    cr.line_to(x1, y1)
    cr.stroke()


def power_symbol(cr, cx, cy, r, colour):
    rgb(cr, colour)
    cr.set_line_width(1.4)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.arc(cx, cy, r, -math.pi / 2 + 0.75, 3 * math.pi / 2 - 0.75)
    cr.stroke()
    cr.move_to(cx, cy - r - 1.0)
    cr.line_to(cx, cy - r * 0.1)
    cr.stroke()


def shelf_curve(cr, x, y, w, h, shape, colour, low=True):
    """A small shelving-filter response: shape -1 cut, 0 flat, +1 boost."""
    mid = y + h / 2
    step = shape * h * 0.32
    cr.set_line_width(1.3)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    rgb(cr, colour)
    # Low shelf: the changed part is at the left; high shelf at the right.
    left, right = (mid - step, mid) if low else (mid, mid - step)
    cr.move_to(x, left)
    cr.line_to(x + w * 0.30, left)
    cr.curve_to(x + w * 0.5, left, x + w * 0.5, right, x + w * 0.70, right)
    cr.line_to(x + w, right)
    cr.stroke()
