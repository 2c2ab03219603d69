#!/usr/bin/env python3
"""Draws every bitmap of both editors and writes, into OUTDIR:

  valdris_bitmaps.cpp, nimlet_bitmaps.cpp   each product's bitmaps as PNG bytes
  presetbar_bitmaps.cpp                     the preset bar's, shared by both
  png/<product>/<identifier>.png            the same PNGs, for review
  contact-sheet.png                         previews of all four pages and every bitmap
  preview-<product>-<page>.png              each page put together from the bitmaps

usage: generate.py OUTDIR

The output depends only on this code, cairo and the fonts scripts/setup
installs; files whose content is unchanged are not rewritten, so the build
recompiles only what changed."""

import io
import os
import re
import sys

# The source tree stays clean: no bytecode caches beside the drawing code.
sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import embed      # noqa: E402
import nimlet     # noqa: E402
import pages      # noqa: E402
import presetbar  # noqa: E402
import sheet      # noqa: E402
import valdris    # noqa: E402

PRODUCTS = (("valdris", valdris), ("nimlet", nimlet))


def png_bytes(surface):
    buffer = io.BytesIO()
    surface.write_to_png(buffer)
    return buffer.getvalue()


def write_if_changed(path, data):
    if isinstance(data, str):
        data = data.encode()
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except FileNotFoundError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def read_required():
    """The lists of resources/required_bitmaps.h: {list name: {id: (w, h, n)}}.
    The compiler checks the generated tables against them too; reading them
    here names the faulty bitmap in plain words."""
    path = os.path.join(HERE, "..", "required_bitmaps.h")
    with open(path) as f:
        source = f.read()
    lists = {}
    for name, body in re.findall(r"RequiredBitmap (k\w+)\[\] = \{(.*?)\n\};", source, re.S):
        entries = re.findall(r"\{(\d+), (\d+), (\d+), (\d+)\}", body)
        lists[name] = {int(i): (int(w), int(h), int(n)) for i, w, h, n in entries}
    return lists


def check_required(key, bitmaps, required):
    want = required[embed.REQUIRED_LISTS[key]]
    have = {i: (s.get_width(), s.get_height(), n) for i, (s, n) in bitmaps.items()}
    for ident in sorted(set(want) | set(have)):
        if want.get(ident) != have.get(ident):
            raise SystemExit("artwork: %s bitmap %d: the editor needs %s, the drawing gives %s"
                             % (key, ident, want.get(ident, "nothing"), have.get(ident, "nothing")))


def check_sub_images(key, bitmaps):
    for ident, (surface, count) in bitmaps.items():
        if surface.get_height() % count:
            raise SystemExit("artwork: %s bitmap %d is %d high, not a multiple of %d sub-images"
                             % (key, ident, surface.get_height(), count))


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-4], file=sys.stderr)
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)

    shared = presetbar.bitmaps()
    check_sub_images("preset bar", shared)
    built = {}
    for key, product in PRODUCTS:
        bitmaps, surfaces = pages.build(product)
        check_sub_images(key, bitmaps)
        overlap = set(bitmaps) & set(shared)
        if overlap:
            raise SystemExit("artwork: %s draws preset-bar bitmaps %s" % (key, sorted(overlap)))
        built[key] = (bitmaps, surfaces)

    groups = [(key, built[key][0]) for key, _ in PRODUCTS] + [("presetbar", shared)]
    required = read_required()
    for key, bitmaps in groups:
        check_required(key, bitmaps, required)
    for key, bitmaps in groups:
        encoded = {ident: (png_bytes(s), s.get_width(), s.get_height(), n)
                   for ident, (s, n) in sorted(bitmaps.items())}
        folder = os.path.join(out, "png", key)
        os.makedirs(folder, exist_ok=True)
        for ident, (data, *_rest) in encoded.items():
            write_if_changed(os.path.join(folder, "%d.png" % ident), data)
        write_if_changed(os.path.join(out, "%s_bitmaps.cpp" % key), embed.cpp(key, encoded))

    pages_shown = sheet.previews(PRODUCTS, built, shared)
    for stem, _title, surface in pages_shown:
        write_if_changed(os.path.join(out, stem + ".png"), png_bytes(surface))
    contact = sheet.contact_sheet(PRODUCTS, built, shared, pages_shown)
    write_if_changed(os.path.join(out, "contact-sheet.png"), png_bytes(contact))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
