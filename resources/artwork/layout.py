"""What both editors' pages are made of: knobs, keys, switches and value
fields at their rectangles (left, top, right, bottom in frame coordinates),
and how each is printed on the page and drawn as its own bitmap.

Every control bitmap is opaque: it starts as the part of the page under the
control, so it looks the same whether or not the GUI blends it."""

import meter
import paint


def width(rect):
    return rect[2] - rect[0]


def height(rect):
    return rect[3] - rect[1]


def centre(rect):
    return (rect[0] + rect[2]) / 2, (rect[1] + rect[3]) / 2


class Scale:
    """Printed scale of a knob. `ticks` and `majors` are values 0..1; `labels`
    are (value, text) pairs; `origin` is where the lit band starts."""

    def __init__(self, ticks, majors=None, labels=(), unit=None, origin=0.0):
        self.ticks = list(ticks)
        self.majors = list(majors if majors is not None else ticks)
        self.labels = list(labels)
        self.unit = unit
        self.origin = origin


def even(n):
    return [i / (n - 1) for i in range(n)]


class Knob:
    def __init__(self, ident, name, rect, frames, scale, field=None):
        self.ident, self.name, self.rect, self.frames = ident, name, rect, frames
        self.scale, self.field = scale, field

    @property
    def radius(self):
        return min(width(self.rect), height(self.rect)) * 0.30

    def centre(self):
        x, y = centre(self.rect)
        return x, y

    def print_on(self, cr, label=True):
        cx, cy = self.centre()
        r = self.radius
        s = self.scale
        paint.knob_scale(cr, cx, cy, r + 3.5, s.ticks, s.majors, s.labels,
                         r + 3.5 + 4.5 + 2.0,
                         label_size=7.5 if r > 20 else 6.8,
                         unit=s.unit, unit_y=cy + r + 5.5)
        if label and self.field is not None:
            fx, fy = centre(self.field)
            paint.text(cr, self.name, fx, fy, 9.5, paint.PRINT, "c", paint.FACE,
                       bold=True)

    def strip(self, page):
        x, y = self.rect[0], self.rect[1]
        frames = []
        for k in range(self.frames):
            u = k / (self.frames - 1)
            s = paint.crop(page, x, y, width(self.rect), height(self.rect))
            cr = paint.context(s)
            cx, cy = self.centre()
            paint.knob_cap(cr, cx - x, cy - y, self.radius, u,
                           arc=(self.scale.origin, u), arc_r=self.radius + 1.6)
            frames.append(s)
        return paint.stack(frames)


class Key:
    """Two-image push key, off above and on below. `label` is where the
    parameter name goes: "above", "below" (centred), "below-left" (starting at
    the key's left edge), "left" or "right" of the key on the panel, or "cap"
    to print it on the key itself (large keys). `dx` moves a label sideways
    where a value field would cover part of it."""

    def __init__(self, ident, name, rect, label="below", lamp=paint.AMBER,
                 dim=paint.AMBER_DIM, symbol=None, cap_text=None, size=8.5, dx=0):
        self.ident, self.name, self.rect, self.label = ident, name, rect, label
        self.size, self.dx = size, dx
        self.lamp, self.dim, self.symbol = lamp, dim, symbol
        self.cap_text = cap_text or name

    def print_on(self, cr):
        if self.label == "cap":
            return
        cx, cy = centre(self.rect)
        cx += self.dx
        l, t, r, b = self.rect
        if self.label == "above":
            paint.text(cr, self.name, cx, t - 6, self.size, paint.PRINT)
        elif self.label == "below":
            paint.text(cr, self.name, cx, b + 6.5, self.size, paint.PRINT)
        elif self.label == "below-left":
            paint.text(cr, self.name, l, b + 6.5, self.size, paint.PRINT, "l")
        elif self.label == "left":
            paint.text(cr, self.name, l - 3, cy, self.size, paint.PRINT, "r")
        elif self.label == "right":
            paint.text(cr, self.name, r + 3, cy, self.size, paint.PRINT, "l")

    def images(self, page):
        out = []
        for on in (False, True):
            s = paint.crop(page, self.rect[0], self.rect[1], width(self.rect), height(self.rect))
            self.draw(paint.context(s), width(self.rect), height(self.rect), on)
            out.append(s)
        return paint.stack(out)

    def draw(self, cr, w, h, on):
        paint.key(cr, 1, 1, w - 2, h - 2, pressed=on)
        if self.symbol == "shelf-low" or self.symbol == "shelf-high":
            paint.shelf_curve(cr, 4, 3, w - 8, h - 6, 1 if on else -1,
                              paint.AMBER if on else paint.PRINT_DIM,
                              low=self.symbol == "shelf-low")
            return
        big = h >= 40
        if big:
            lw = w - 14
            paint.bar_lamp(cr, (w - lw) / 2, 7, lw, 4, on, self.lamp, self.dim)
            if self.symbol == "power":
                paint.power_symbol(cr, w / 2, h * 0.52, 5.5,
                                   paint.PRINT if on else paint.PRINT_DIM)
                paint.text(cr, self.cap_text, w / 2, h - 9, 7.5,
                           paint.PRINT if on else paint.PRINT_DIM, "c")
            else:
                size = 8.5
                while paint.measure(self.cap_text, size) > w - 6 and size > 6:
                    size -= 0.25
                paint.text(cr, self.cap_text, w / 2, h * 0.62, size,
                           paint.PRINT if on else paint.PRINT_DIM, "c")
        else:
            lw = w - 12
            paint.bar_lamp(cr, (w - lw) / 2, h / 2 - 2, lw, 4, on, self.lamp, self.dim)


class Selector:
    """A vertical switch of n positions; each sub-image lights one row.
    `rows` are the row texts (None draws a shelf curve instead)."""

    def __init__(self, ident, name, rect, positions, sub_height, rows, kind="text",
                 low=True):
        self.ident, self.name, self.rect = ident, name, rect
        self.positions, self.sub_height, self.rows = positions, sub_height, rows
        self.kind, self.low = kind, low

    def images(self, page):
        w = width(self.rect)
        out = []
        for p in range(self.positions):
            s = paint.crop(page, self.rect[0], self.rect[1], w, self.sub_height)
            cr = paint.context(s)
            if self.kind == "text":
                self._draw_rows(cr, w, self.sub_height, p)
            else:
                self._draw_shelf(cr, w, self.sub_height, p)
            out.append(s)
        return paint.stack(out)

    def _draw_rows(self, cr, w, h, lit):
        paint.recess(cr, 1, 1, w - 2, h - 2, 3, (0.09, 0.085, 0.08))
        row = (h - 4) / len(self.rows)
        for i, s in enumerate(self.rows):
            y = 2 + row * (i + 0.5)
            on = i == lit
            if on:
                paint.rgb(cr, paint.AMBER, 0.14)
                paint.rounded_rect(cr, 3, 2 + row * i + 1, w - 6, row - 2, 2)
                cr.fill()
            paint.lamp(cr, 8, y, 2.0, on)
            paint.text(cr, s, 13, y, 7.5, paint.AMBER if on else paint.PRINT_DIM, "l")

    def _draw_shelf(self, cr, w, h, p):
        paint.key(cr, 1, 1, w - 2, h - 2, pressed=p != 1)
        shape = (-1, 0, 1)[p]
        paint.shelf_curve(cr, 4, 4, w - 8, h - 8, shape,
                          paint.PRINT_DIM if shape == 0 else paint.AMBER, low=self.low)


def field_window(cr, rect, fill=paint.CREAM):
    """The box a value field shows while the mouse rests on its knob."""
    l, t, r, b = rect
    paint.recess(cr, l + 1, t + 1, r - l - 2, b - t - 2, 2, fill)


def page_switch_plate(cr, rect, s):
    l, t, r, b = rect
    paint.rgb(cr, paint.PANEL_LO)
    paint.rounded_rect(cr, l + 0.5, t + 0.5, r - l - 1, b - t - 1, (b - t) / 2)
    cr.fill_preserve()
    paint.rgb(cr, paint.TICK, 0.7)
    cr.set_line_width(1.0)
    cr.stroke()
    paint.text(cr, s, (l + r) / 2, (t + b) / 2, 7.5, paint.PRINT, "c", paint.FACE,
               bold=True)


def meter_bezel(cr, face_rect):
    """The window both a face and its cover sit in."""
    l, t, r, b = face_rect
    b += meter.COVER_H
    paint.rgb(cr, (0, 0, 0), 0.55)
    paint.rounded_rect(cr, l - 4, t - 4, r - l + 8, b - t + 8, 5)
    cr.fill()
    paint.rgb(cr, (0.085, 0.08, 0.075))
    paint.rounded_rect(cr, l - 3, t - 3, r - l + 6, b - t + 6, 4)
    cr.fill()
    paint.rgb(cr, (1, 1, 1), 0.08)
    cr.set_line_width(1.0)
    paint.rounded_rect(cr, l - 3.5, t - 3.5, r - l + 7, b - t + 7, 4.5)
    cr.stroke()


def latency_window(cr, rect):
    """Under both latency displays; the displays draw the page shifted a few
    pixels, so the window is one even colour with room on both sides."""
    l, t, r, b = rect
    paint.recess(cr, l, t, r - l, b - t, 2, paint.CREAM)
