"""The preset bar along the lower edge of both editors: its strip, printed into
each product's frame background (bitmap 19000), and the bitmaps of its
buttons, which both products share. The strip is one flat colour, so the
shared bitmaps fit both frames although the bar sits at another height."""

import cairo

import paint

BAR = (0.118, 0.111, 0.104)
NAME_BOX = (175, 292)           # the preset-name field, x range
NAME_FILL = (209 / 255, 227 / 255, 238 / 255)
MENU = (293, 305)
HEIGHT = 14                     # controls of the bar are 14 pixels high

# Identifier, x range, top offset within the bar's 14 rows, height, kind.
BUTTONS = [
    (19994, 20, 32, 0, 14, "save"),         # save bank
    (19990, 32, 69, 2, 10, "BANK"),         # default bank (double-click)
    (19993, 70, 82, 0, 14, "load"),         # load bank
    (19999, 91, 103, 0, 14, "save"),        # save preset
    (19899, 103, 150, 2, 10, "PRESET"),     # default preset (double-click)
    (19998, 150, 162, 0, 14, "load"),       # load preset
    (19995, 352, 364, 0, 14, "save"),       # store memory A
    (19991, 374, 386, 0, 14, "load"),       # recall memory A
    (19996, 395, 407, 0, 14, "save"),       # store memory B
    (19992, 417, 429, 0, 14, "load"),       # recall memory B
]
ROCKER = (19997, 313, 344)


def draw_strip(cr, top, height, controls_top):
    """The strip from `top` down `height` rows; the controls start at
    `controls_top` (444 in Orv Valdris, 362 in Orv Nimlet)."""
    paint.rgb(cr, BAR)
    cr.rectangle(0, top, 450, height)
    cr.fill()
    y = controls_top
    # Name field and the menu button beside it.
    l, r = NAME_BOX
    paint.rgb(cr, (0.05, 0.047, 0.044))
    cr.rectangle(l - 1, y - 1, r - l + 2, HEIGHT + 2)
    cr.fill()
    paint.rgb(cr, NAME_FILL)
    cr.rectangle(l, y, r - l, HEIGHT)
    cr.fill()
    ml, mr = MENU
    paint.key(cr, ml, y, mr - ml, HEIGHT, radius=2)
    paint.rgb(cr, paint.PRINT)
    cx = (ml + mr) / 2
    cr.move_to(cx - 3, y + 5.5)
    cr.line_to(cx + 3, y + 5.5)
    cr.line_to(cx, y + 9.5)
    cr.close_path()
    cr.fill()
    # Memory letters between their store and recall buttons.
    paint.text(cr, "A", 369, y + 7, 9, paint.PRINT, "c", paint.FACE, bold=True)
    paint.text(cr, "B", 412, y + 7, 9, paint.PRINT, "c", paint.FACE, bold=True)


def _flat(width, height):
    s = paint.new_surface(width, height)
    cr = paint.context(s)
    paint.rgb(cr, BAR)
    cr.paint()
    return s


def _icon(cr, kind, w, h, colour):
    """Tray with an arrow: into it to save or store, out of it to load or
    recall."""
    cx = w / 2
    paint.rgb(cr, colour)
    cr.set_line_width(1.2)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.set_line_join(cairo.LINE_JOIN_ROUND)
    cr.move_to(2.5, h - 5)
    cr.line_to(2.5, h - 2.5)
    cr.line_to(w - 2.5, h - 2.5)
    cr.line_to(w - 2.5, h - 5)
    cr.stroke()
    if kind == "save":
        cr.move_to(cx, 2.5)
        cr.line_to(cx, h - 5.5)
        cr.stroke()
        cr.move_to(cx - 3, h - 8)
        cr.line_to(cx, h - 5)
        cr.line_to(cx + 3, h - 8)
        cr.stroke()
    else:
        cr.move_to(cx, h - 5)
        cr.line_to(cx, 2.5)
        cr.stroke()
        cr.move_to(cx - 3, 5.5)
        cr.line_to(cx, 2.5)
        cr.line_to(cx + 3, 5.5)
        cr.stroke()


STATE_INK = (paint.PRINT_DIM, paint.PRINT, paint.AMBER)   # normal, hover, pressed


def button(width, height, kind):
    """Three sub-images: normal, mouse over, pressed (or dialog open)."""
    images = []
    for state in range(3):
        s = _flat(width, height)
        cr = paint.context(s)
        if kind in ("save", "load"):
            if state:
                paint.key(cr, 0, 0, width, height, pressed=state == 2, radius=2)
            _icon(cr, kind, width, height, STATE_INK[state])
        else:
            paint.key(cr, 0, 0, width, height, pressed=state == 2, radius=2)
            paint.text(cr, kind, width / 2, height / 2, 6.5, STATE_INK[state], "c",
                       paint.FACE, bold=True, spacing=0.6)
        images.append(s)
    return paint.stack(images)


def rocker(width, height):
    """Five sub-images: at rest, mouse over the left or right half, left or
    right half pressed."""
    images = []
    for hover, pressed in ((0, 0), (-1, 0), (1, 0), (0, -1), (0, 1)):
        s = _flat(width, height)
        cr = paint.context(s)
        half = width // 2
        for side, x0, x1 in ((-1, 0, half), (1, half, width)):
            paint.key(cr, x0, 0, x1 - x0 + (1 if side < 0 else 0), height,
                      pressed=pressed == side, radius=2)
            ink = paint.AMBER if pressed == side else (
                paint.PRINT if hover == side else paint.PRINT_DIM)
            paint.rgb(cr, ink)
            cx, cy = (x0 + x1) / 2, height / 2 - 0.5
            cr.move_to(cx - 2.5 * side, cy - 3.5)
            cr.line_to(cx + 2.5 * side, cy)
            cr.line_to(cx - 2.5 * side, cy + 3.5)
            cr.close_path()
            cr.fill()
        images.append(s)
    return paint.stack(images)


def bitmaps():
    """{identifier: (surface, sub-images)} of the shared bar bitmaps."""
    out = {}
    for ident, l, r, _top, h, kind in BUTTONS:
        out[ident] = (button(r - l, h, kind), 3)
    ident, l, r = ROCKER
    out[ident] = (rocker(r - l, HEIGHT), 5)
    return out


def place(cr, images, controls_top, states=None):
    """Draws the bar's bitmaps where the bar puts them, for the previews."""
    states = states or {}
    for ident, l, r, top, h, _kind in BUTTONS:
        surface = images[ident][0]
        _blit_sub(cr, surface, h, states.get(ident, 0), l, controls_top + top)
    ident, l, r = ROCKER
    _blit_sub(cr, images[ident][0], HEIGHT, states.get(ident, 0), l, controls_top)


def _blit_sub(cr, surface, sub_height, index, x, y):
    cr.save()
    cr.rectangle(x, y, surface.get_width(), sub_height)
    cr.clip()
    cr.set_source_surface(surface, x, y - index * sub_height)
    cr.paint()
    cr.restore()
