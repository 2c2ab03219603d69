"""Both pages of an editor and every bitmap cut from them, for one product
module (valdris or nimlet)."""

import layout
import meter
import paint
import presetbar
import scales

METERS = (  # face rectangle, face, cover, lamp identifiers, channel letter
    ((49, 34, 195, 104), 19028, 19029, 19030, "L"),
    ((256, 34, 402, 104), 19031, 19032, 19033, "R"),
)
BRIDGE_BOTTOM = 131      # the meter band ends here on both pages


def _panel(cr, w, h):
    paint.rgb(cr, paint.PANEL)
    cr.rectangle(0, 0, w, h)
    cr.fill()
    # The darker band that carries the meters, with a lit lower edge.
    paint.rgb(cr, paint.BRIDGE)
    cr.rectangle(0, 0, w, BRIDGE_BOTTOM)
    cr.fill()
    paint.hairline(cr, 0, BRIDGE_BOTTOM + 0.5, w, BRIDGE_BOTTOM + 0.5, (1, 1, 1), 0.07)
    paint.hairline(cr, 0, BRIDGE_BOTTOM - 0.5, w, BRIDGE_BOTTOM - 0.5, (0, 0, 0), 0.5)
    # The page's last row: a dark edge above the preset bar.
    paint.hairline(cr, 0, h - 0.5, w, h - 0.5, (0, 0, 0), 0.6)


def _title(cr, product):
    paint.text(cr, product.NAME.upper(), 46, 17, 11, paint.PRINT, "l", paint.FACE,
               bold=True, spacing=2.0)
    paint.text(cr, product.TAGLINE, 405, 17, 8.5, paint.PRINT_DIM, "r", paint.FACE)


def main_page(product):
    """The main page without its controls: panel, print, scales, windows."""
    w, h = 450, product.PAGE_HEIGHT
    s = paint.new_surface(w, h)
    cr = paint.context(s)
    _panel(cr, w, h)
    _title(cr, product)
    for rect, *_ in METERS:
        layout.meter_bezel(cr, rect)
    sw = product.METER_SWITCH.rect
    paint.text(cr, product.METER_SWITCH.name, (sw[0] + sw[2]) / 2, sw[1] - 9, 8.5,
               paint.PRINT, "c")
    product.decorate(cr)
    for knob in product.KNOBS:
        knob.print_on(cr)
    for key in product.KEYS:
        key.print_on(cr)
    layout.page_switch_plate(cr, product.PAGE_SWITCH, "METER SETTINGS  \u25b8")
    # The samples display shows the page from x = 167 to 212 (its offset), so
    # the window reaches past its right edge.
    l, t, r, b = product.LATENCY
    layout.latency_window(cr, (l - 3, t - 2, r + 8, b + 2))
    paint.text(cr, "Latency", l - 7, (t + b) / 2, 8.5, paint.PRINT, "r")
    return s


def fields(product, page):
    """Bitmap 19001: what the value fields show behind their text."""
    w, h = product.FIELDS_SIZE
    s = paint.new_surface(w, h)
    cr = paint.context(s)
    paint.rgb(cr, paint.PANEL)
    cr.paint()
    cr.set_source_surface(page, 0, 0)
    cr.paint()
    for knob in product.KNOBS:
        layout.field_window(cr, knob.field, product.FIELD_FILL)
    return s


def settings_page(product):
    w, h = product.SETTINGS_SIZE
    s = paint.new_surface(w, h)
    cr = paint.context(s)
    _panel(cr, w, h)
    _title(cr, product)
    dy = product.SETTINGS_SHIFT
    # The whole plate is the way back to the main page.
    l, t, r, b = product.SETTINGS_SWITCH
    paint.recess(cr, l, t, r - l, b - t, 4, paint.CREAM)
    paint.text(cr, "METER SETTINGS", l + 12, t + 15, 10, paint.INK, "l", paint.FACE, bold=True)
    lines = ["Ballistics of both needle meters. They are kept",
             "for your user and shared by both Orv plug-ins."]
    for i, line in enumerate(lines):
        paint.text(cr, line, l + 12, t + 38 + 12 * i, 8.5, paint.INK, "l")
    paint.text(cr, "\u25c2  back to the main page", l + 12, b - 14, 8.5, paint.INK, "l",
               paint.FACE, bold=True)

    boxes = [("VU \u2014 grey needle", (44, 186 + dy, 236, 314 + dy)),
             ("PPM \u2014 red needle", (244, 186 + dy, 436, 314 + dy)),
             ("Over lamp", (44, 320 + dy, 236, 394 + dy)),
             ("Reading the meters", (244, 320 + dy, 436, 394 + dy))]
    for title, (bl, bt, br, bb) in boxes:
        paint.rgb(cr, paint.PANEL_HI)
        paint.rounded_rect(cr, bl, bt, br - bl, bb - bt, 5)
        cr.fill()
        paint.caption(cr, title, bl + 10, bt + 10, "l")
    legend = ["Meters switch: Pre, GainRed or Post.",
              "All three read in dB: 0 is full scale,",
              "the VU reference, or no gain change.",
              "Readouts hold the maxima. Click a meter",
              "to clear its over lamp."]
    for i, line in enumerate(legend):
        paint.text(cr, line, 254, 345 + dy + 10 * i, 8.0, paint.PRINT_DIM, "l")

    knob = settings_knob()
    for name, note, rect, display in product.SETTINGS_KNOBS:
        k = layout.Knob(knob.ident, name, rect, knob.frames, knob.scale)
        _settings_knob_scale(cr, k)
        x = rect[2] + 10
        cy = (rect[1] + rect[3]) / 2
        paint.text(cr, name, x, cy - 5, 9.5, paint.PRINT, "l", paint.FACE, bold=True)
        paint.text(cr, note, x, cy + 7, 8.0, paint.PRINT_DIM, "l")
        dl, dt, dr, db = display
        paint.recess(cr, dl + 1, dt + 1, dr - dl - 2, db - dt - 2, 2, (0.08, 0.076, 0.07))
    return s


def settings_knob():
    return layout.Knob(19036, "", (0, 0, 38, 37), 51, scales.settings())


def _settings_knob_scale(cr, k):
    cx, cy = k.centre()
    paint.knob_scale(cr, cx, cy, 13.0, k.scale.ticks, k.scale.majors, [], 0)


def _settings_strip(k, page):
    """Bitmap 19036, cut from the first settings knob; the generator checks
    that the page looks the same under the other four."""
    frames = []
    l, t, r, b = k.rect
    for i in range(k.frames):
        u = i / (k.frames - 1)
        s = paint.crop(page, l, t, r - l, b - t)
        cr = paint.context(s)
        cx, cy = k.centre()
        paint.knob_cap(cr, cx - l, cy - t, 9.5, u, arc=(0, u), arc_r=11.0)
        frames.append(s)
    return paint.stack(frames)


def frame_background(product, page):
    """Bitmap 19000: the main page above the preset bar's strip."""
    w, h = product.FRAME
    s = paint.new_surface(w, h)
    cr = paint.context(s)
    cr.set_source_surface(page, 0, 0)
    cr.paint()
    top = product.PAGE_HEIGHT
    presetbar.draw_strip(cr, top, h - top, product.PRESET_BAR_TOP)
    return s, product.PRESET_BAR_TOP


def build(product):
    """{identifier: (surface, sub-images)} of every bitmap of the product
    except the shared preset-bar ones, and the two page surfaces."""
    page = main_page(product)
    frame, controls_top = frame_background(product, page)
    settings = settings_page(product)
    out = {19000: (frame, 1), 19001: (fields(product, page), 1), 19035: (settings, 1)}
    for knob in product.KNOBS:
        out[knob.ident] = (knob.strip(page), knob.frames)
    for key in product.KEYS:
        out[key.ident] = (key.images(page), 2)
    for sel in [product.METER_SWITCH] + product.SELECTORS:
        out[sel.ident] = (sel.images(page), sel.positions)
    for rect, face_id, cover_id, lamp_id, channel in METERS:
        f = meter.face(channel)
        out[face_id] = (f, 1)
        below = paint.crop(page, rect[0], rect[3], meter.FACE_W, meter.COVER_H)
        out[cover_id] = (meter.cover(below), 1)
        out[lamp_id] = (meter.over_lamp(f), 3)

    # One strip serves all five settings knobs.
    _name, _note, rect, _display = product.SETTINGS_KNOBS[0]
    knob = settings_knob()
    knob.rect = rect
    out[19036] = (_settings_strip(knob, settings), 51)
    first = paint.crop(settings, rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1])
    for _name, _note, other, _display in product.SETTINGS_KNOBS[1:]:
        under = paint.crop(settings, other[0], other[1], other[2] - other[0], other[3] - other[1])
        if bytes(under.get_data()) != bytes(first.get_data()):
            raise SystemExit("artwork: the settings page differs under the knob at %r" % (other,))
    return out, {"main": page, "settings": settings, "frame": frame,
                 "controls_top": controls_top}
