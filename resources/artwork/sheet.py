"""The contact sheet: each editor's two pages put together from the bitmaps
as the editors place them, then every bitmap with its identifier, size and
sub-images laid out side by side."""

import cairo

import meter
import pages
import paint
import presetbar

SHEET_W = 1880
MARGIN = 20
BG = (0.86, 0.86, 0.84)
INK = (0.1, 0.1, 0.1)


def _sub(cr, surface, count, index, x, y):
    h = surface.get_height() // count
    cr.save()
    cr.rectangle(x, y, surface.get_width(), h)
    cr.clip()
    cr.set_source_surface(surface, x, y - index * h)
    cr.paint()
    cr.restore()


def _index(frames, u):
    return int(u * (frames - 1) + 0.5)


def _readout(cr, value_db, rect, red=False):
    l, t, r, b = rect
    s = "%2.2fdB" % value_db
    cr.select_font_face("Liberation Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    cr.set_font_size(9)
    e = cr.text_extents(s)
    paint.rgb(cr, (240 / 255, 40 / 255, 40 / 255) if red else (100 / 255, 100 / 255, 105 / 255))
    cr.move_to((l + r) / 2 - e.x_advance / 2, (t + b) / 2 + 3.2)
    cr.show_text(s)


def preview_main(product, bitmaps, shared, surfaces):
    """The main page as the editor opens it, with sample meter readings."""
    w, h = product.FRAME
    s = paint.new_surface(w, h)
    cr = paint.context(s)
    cr.set_source_surface(bitmaps[19000][0], 0, 0)
    cr.paint()
    values = {"Threshold": 1 / 6, "Ratio": 0.3, "Attack": 0.5, "Release": 0.5, "Makeup": 1 / 3,
              "Output": 0.5 if product.NAME.endswith("Valdris") else 0.665, "Low": 0.0,
              "High": 1.0, "Link": 0.5, "Tilt": 0.5, "Mix": 1.0}
    for knob in product.KNOBS:
        strip, n = bitmaps[knob.ident]
        _sub(cr, strip, n, _index(n, values.get(knob.name, 0.5)), knob.rect[0], knob.rect[1])
    on = {"Power", "Soft", "RMS", "AutoRel", "Stereo", "Link", "Smooth"}
    for key in product.KEYS:
        img, _ = bitmaps[key.ident]
        _sub(cr, img, 2, 1 if key.name in on else 0, key.rect[0], key.rect[1])
    for sel in [product.METER_SWITCH] + product.SELECTORS:
        img, n = bitmaps[sel.ident]
        _sub(cr, img, n, 1, sel.rect[0], sel.rect[1])
    readings = ((0.708, 0.89, 0, -2.1, -4.3), (0.60, 1.05, 1, 0.42, -1.2))
    for (rect, face_id, cover_id, lamp_id, _c), (vu, ppm, lamp, hold1, hold2) in zip(
            pages.METERS, readings):
        cr.set_source_surface(bitmaps[face_id][0], rect[0], rect[1])
        cr.paint()
        _sub(cr, bitmaps[lamp_id][0], 3, lamp, rect[0] + meter.LAMP_AT[0], rect[1] + meter.LAMP_AT[1])
        _readout(cr, hold1, _shift(meter.READOUT_1, rect), red=hold1 >= 0)
        _readout(cr, hold2, _shift(meter.READOUT_2, rect))
        meter.needles(cr, rect[:2], vu, ppm)
        cr.set_source_surface(bitmaps[cover_id][0], rect[0], rect[3])
        cr.paint()
    # One value field shown, as while the mouse rests on the Threshold knob.
    th = next(k for k in product.KNOBS if k.name == "Threshold")
    l, t, r, b = th.field
    cr.save()
    cr.rectangle(l, t, r - l, b - t)
    cr.clip()
    cr.set_source_surface(bitmaps[19001][0], 0, 0)
    cr.paint()
    cr.restore()
    _centred(cr, "-0.00dB", th.field, 12, (50 / 255, 50 / 255, 60 / 255))
    _centred(cr, "34.6ms", _move(product.LATENCY, 0, 45), 9, (50 / 255, 50 / 255, 60 / 255))
    _centred(cr, "1660smps", _move(product.LATENCY, 50, 95), 9, (50 / 255, 50 / 255, 60 / 255))
    _preset_bar(cr, product, shared, surfaces)
    return s


def preview_settings(product, bitmaps, shared, surfaces):
    w, h = product.FRAME
    s = paint.new_surface(w, h)
    cr = paint.context(s)
    cr.set_source_surface(bitmaps[19000][0], 0, 0)
    cr.paint()
    cr.save()
    cr.rectangle(0, 0, w, product.PAGE_HEIGHT)
    cr.clip()
    cr.set_source_surface(bitmaps[19035][0], 0, 0)
    cr.paint()
    cr.restore()
    strip, n = bitmaps[19036]
    texts = ["300.0ms", "-12.0dBFS", "10.6ms", "2805ms", "3"]
    for (_name, _note, rect, display), value, t in zip(
            product.SETTINGS_KNOBS, (0.5, 0.5, 0.52, 0.72365, 2 / 9), texts):
        _sub(cr, strip, n, _index(n, value), rect[0], rect[1])
        _centred(cr, t, display, 9, (170 / 255, 170 / 255, 170 / 255))
    l, t, r, b = product.VERSION_LABEL
    cr.select_font_face("Liberation Sans")
    cr.set_font_size(9)
    paint.rgb(cr, (0, 0, 0))
    cr.move_to(l, (t + b) / 2 + 3.2)
    cr.show_text("v.1.7.1")
    _preset_bar(cr, product, shared, surfaces)
    return s


def _preset_bar(cr, product, shared, surfaces):
    top = surfaces["controls_top"]
    presetbar.place(cr, shared, top, {19997: 2, 19998: 1})
    _centred(cr, "Gentle Master", (175, top, 292, top + 14), 11, (36 / 255, 36 / 255, 32 / 255))


def _shift(rect, origin):
    return (rect[0] + origin[0], rect[1] + origin[1], rect[2] + origin[0], rect[3] + origin[1])


def _move(rect, left, right):
    return (rect[0] + left, rect[1], rect[0] + right, rect[3])


def _centred(cr, s, rect, size, colour):
    l, t, r, b = rect
    cr.select_font_face("Liberation Sans")
    cr.set_font_size(size)
    e = cr.text_extents(s)
    paint.rgb(cr, colour)
    cr.move_to((l + r) / 2 - e.x_advance / 2, (t + b) / 2 + size * 0.36)
    cr.show_text(s)


def _label(cr, s, x, y, size=11, bold=False):
    cr.select_font_face("DejaVu Sans", cairo.FONT_SLANT_NORMAL,
                        cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    cr.set_font_size(size)
    paint.rgb(cr, INK)
    cr.move_to(x, y)
    cr.show_text(s)


def _tile(surface, count, max_w):
    """Sub-images laid out in rows no wider than max_w: (columns, rows, w, h)."""
    w = surface.get_width()
    h = surface.get_height() // count
    cols = max(1, min(count, (max_w + 4) // (w + 4)))
    rows = (count + cols - 1) // cols
    return cols, rows, cols * (w + 4) - 4, rows * (h + 4) - 4


def previews(products, built, shared):
    """[(file stem, title, surface)] of both pages of both editors."""
    out = []
    for key, product in products:
        bitmaps, surfaces = built[key]
        out.append(("preview-%s-main" % key, product.NAME + " - main page",
                    preview_main(product, bitmaps, shared, surfaces)))
        out.append(("preview-%s-settings" % key, product.NAME + " - settings page",
                    preview_settings(product, bitmaps, shared, surfaces)))
    return out


def contact_sheet(products, built, shared, pages):
    previews = [(title, surface) for _stem, title, surface in pages]
    groups = [(product.NAME, built[key][0]) for key, product in products]
    groups.append(("Preset bar (both products)", shared))

    # Lay the bitmaps out in shelves, measuring first.
    max_tile = 880
    placements = []
    y = MARGIN + 30 + max(p.get_height() for _, p in previews) + 40
    for title, bitmaps in groups:
        placements.append(("title", title, MARGIN, y))
        y += 24
        x, shelf = MARGIN, 0
        for ident in sorted(bitmaps):
            surface, count = bitmaps[ident]
            cols, rows, tw, th = _tile(surface, count, max_tile)
            cell_w, cell_h = max(tw, 120), th + 30
            if x + cell_w > SHEET_W - MARGIN:
                x, y = MARGIN, y + shelf + 12
                shelf = 0
            placements.append(("bitmap", (ident, surface, count, cols), x, y))
            x += cell_w + 16
            shelf = max(shelf, cell_h)
        y += shelf + 30
    height = y + MARGIN

    out = paint.new_surface(SHEET_W, height)
    cr = paint.context(out)
    paint.rgb(cr, BG)
    cr.paint()
    _label(cr, "Orv plug-ins: editor artwork", MARGIN, MARGIN + 12, 16, True)
    x = MARGIN
    for title, p in previews:
        _label(cr, title, x, MARGIN + 40, 11, True)
        cr.set_source_surface(p, x, MARGIN + 48)
        cr.paint()
        x += p.get_width() + 14
    for kind, what, px, py in placements:
        if kind == "title":
            _label(cr, what, px, py + 14, 14, True)
            continue
        ident, surface, count, cols = what
        h = surface.get_height() // count
        w = surface.get_width()
        caption = "%d  %dx%d" % (ident, w, surface.get_height())
        if count > 1:
            caption += "  %d x %d" % (count, h)
        _label(cr, caption, px, py + 12, 10)
        for i in range(count):
            cx = px + (i % cols) * (w + 4)
            cy = py + 20 + (i // cols) * (h + 4)
            _sub(cr, surface, count, i, cx, cy)
    return out
