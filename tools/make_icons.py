#!/usr/bin/env python3
"""Makes the program's icons, cursor and small bitmaps.

Usage: make_icons.py OUT_DIR
       make_icons.py --compare RESOURCES_DIR

Writes under OUT_DIR (as resources/ lays them out):
  ICON/128.ico          frame icon, 32 x 32 and 16 x 16 with masks
  ICON/136-139.ico      corner markers of the active pane, 32 x 32 L brackets
                        (138 top left, 136 top right, 139 bottom left,
                        137 bottom right)
  CURSOR/233.cur        crop-frame cross, 32 x 32, hotspot at its centre
  BITMAP/153.bmp        11 list state images of 40 x 16 on blue (0, 0, 255):
                        0 missing, 1 present, 2 being placed, 3-10 empty
  BITMAP/239-242.bmp    free-hand tool modes, 32 x 32 on white: falloff
                        profiles, sharper from 242 to 239
  BITMAP/370-379, 380-388, 390-399, 400-412.bmp
                        icon-bar pictures, 20 x 20 on the dialog grey; one
                        glyph per hint text, so icons sharing a hint are equal
With --compare the files are made in a temporary folder and compared byte
for byte with those under RESOURCES_DIR; exit 1 on a difference.
"""
import os
import shutil
import sys
import tempfile

from raster import (Canvas, arc_points, arrow_head, bmp24_bytes, icon_file_bytes, write)

DIALOG_GREY = (212, 208, 200)
DARK = (40, 40, 40)
BLUE = (40, 80, 170)
LIGHT_BLUE = (200, 224, 245)
GREEN = (40, 140, 60)
RED = (190, 40, 40)
YELLOW = (232, 190, 40)
WHITE = (250, 250, 250)
BROWN = (130, 80, 40)

SS = 4  # supersampling of the icon-bar glyphs


class Pen:
    """Draws on a supersampled canvas in the 20-unit design grid."""

    def __init__(self, size, bg):
        self.k = SS
        self.cv = Canvas(size * SS, size * SS, bg)
        self.texts = []

    def p(self, pts):
        return [(x * self.k, y * self.k) for x, y in pts]

    def poly(self, pts, c, outline=None, width=1.0):
        self.cv.polygon(self.p(pts), c)
        if outline:
            self.cv.polyline(self.p(list(pts) + [pts[0]]), width * self.k, outline)

    def line(self, a, b, width, c):
        self.cv.line((a[0] * self.k, a[1] * self.k), (b[0] * self.k, b[1] * self.k), width * self.k, c)

    def lines(self, pts, width, c):
        self.cv.polyline(self.p(pts), width * self.k, c)

    def rect(self, x0, y0, x1, y1, c, outline=None, width=1.0):
        self.poly([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], c, outline, width)

    def disc(self, centre, r, c):
        self.cv.disc((centre[0] * self.k, centre[1] * self.k), r * self.k, c)

    def ring(self, centre, r, width, c):
        self.cv.ring((centre[0] * self.k, centre[1] * self.k), r * self.k, width * self.k, c)

    def text(self, x, y, s, c):
        # letters go on pixel for pixel after the smoothing, so they stay sharp
        self.texts.append((x, y, s, c))

    def arc_arrow(self, centre, r, a0, a1, width, c, head=4.0):
        pts = arc_points(centre, r, a0, a1, 24)
        self.lines(pts, width, c)
        # the head points along the arc's motion at its end
        (x0, y0), (x1, y1) = pts[-2], pts[-1]
        self.poly(arrow_head((x1 + (x1 - x0) * 1.5, y1 + (y1 - y0) * 1.5), (x1 - x0, y1 - y0), head), c)

    def done(self):
        out = self.cv.downsample(self.k)
        for x, y, s, c in self.texts:
            out.text(x, y, s, c)
        return out


# --- icon-bar glyphs (20 x 20 design grid) ----------------------------------

def g_save(p):
    p.poly([(3, 3), (15, 3), (17, 5), (17, 17), (3, 17)], BLUE, DARK, 0.8)
    p.rect(6, 3, 14, 8, (205, 205, 210), DARK, 0.6)
    p.rect(11, 4, 13, 7, DARK)
    p.rect(5.5, 11, 14.5, 17, WHITE, DARK, 0.6)
    p.line((7, 13.3), (13, 13.3), 0.8, (120, 120, 120))
    p.line((7, 15.3), (13, 15.3), 0.8, (120, 120, 120))


def g_notes(p):
    p.rect(3.5, 2, 14.5, 18, WHITE, DARK, 0.8)
    for y in (6, 9, 12, 15):
        p.line((5.5, y), (12.5, y), 0.9, BLUE)
    p.line((11.5, 16.5), (17.5, 6), 2.6, YELLOW)
    p.poly([(10.9, 18.2), (11.0, 15.8), (12.7, 16.8)], DARK)


def magnifier(p):
    p.disc((8, 8), 5.2, LIGHT_BLUE)
    p.ring((8, 8), 5.2, 1.8, DARK)
    p.line((11.8, 11.8), (17.5, 17.5), 3.0, BROWN)


def g_zoom_in(p):
    magnifier(p)
    p.line((5.2, 8), (10.8, 8), 1.6, DARK)
    p.line((8, 5.2), (8, 10.8), 1.6, DARK)


def g_zoom_out(p):
    magnifier(p)
    p.line((5.2, 8), (10.8, 8), 1.6, DARK)


def g_fit(p):
    p.rect(6, 6, 14, 14, LIGHT_BLUE, DARK, 0.8)
    for cx, cy in ((1.5, 1.5), (18.5, 1.5), (1.5, 18.5), (18.5, 18.5)):
        sx, sy = (1 if cx > 10 else -1), (1 if cy > 10 else -1)
        start = (10 + sx * 3.2, 10 + sy * 3.2)
        p.line(start, (cx - sx * 2.2, cy - sy * 2.2), 1.4, GREEN)
        p.poly(arrow_head((cx, cy), (sx, sy), 3.6), GREEN)


def g_pan(p):
    p.line((10, 5), (10, 15), 1.8, DARK)
    p.line((5, 10), (15, 10), 1.8, DARK)
    for tip, d in (((10, 1.5), (0, -1)), ((10, 18.5), (0, 1)), ((1.5, 10), (-1, 0)), ((18.5, 10), (1, 0))):
        p.poly(arrow_head(tip, d, 4.2), DARK)


def g_manual(p):
    p.rect(5, 2, 16, 18, BLUE, DARK, 0.8)
    p.rect(15, 3, 17, 17, WHITE, DARK, 0.6)
    p.text(8, 7, '?', WHITE)


def g_video(p):
    p.rect(1.5, 4, 18.5, 16, DARK)
    for x in (3, 6, 9, 12, 15):
        p.rect(x, 5, x + 1.6, 6.6, WHITE)
        p.rect(x, 13.4, x + 1.6, 15, WHITE)
    p.poly([(8, 7.6), (8, 12.4), (12.6, 10)], YELLOW)


def g_info(p):
    p.disc((10, 10), 8.2, BLUE)
    p.text(7, 7, 'i', WHITE)


def g_select(p):
    pts = [(5, 2), (5, 16), (8.4, 12.8), (10.8, 18), (13.2, 17), (10.8, 11.8), (15.2, 11.8)]
    p.poly(pts, WHITE, DARK, 1.0)


def g_rotate(p, ccw):
    if ccw:
        p.arc_arrow((10, 10.5), 6.2, -40, 200, 2.0, BLUE)
    else:
        p.arc_arrow((10, 10.5), 6.2, 220, -20, 2.0, BLUE)


def g_rotate_little(p, ccw):
    # a picture frame turned by a few degrees under a short arc arrow
    s = 0.17 if ccw else -0.17
    cx, cy = 10, 12.5
    corners = [(-5, -3.5), (5, -3.5), (5, 3.5), (-5, 3.5)]
    pts = [(cx + x + s * y, cy + y - s * x) for x, y in corners]
    p.poly(pts, LIGHT_BLUE, DARK, 0.8)
    if ccw:
        p.arc_arrow((10, 13), 10, 50, 115, 2.0, BLUE, 4.0)
    else:
        p.arc_arrow((10, 13), 10, 130, 65, 2.0, BLUE, 4.0)


def g_flip(p, horizontal):
    def t(x, y):
        return (x, y) if horizontal else (y, x)
    p.poly([t(8.5, 4), t(8.5, 16), t(1.5, 16)], BLUE)
    p.poly([t(11.5, 4), t(11.5, 16), t(18.5, 16)], WHITE, BLUE, 1.0)
    for k in range(5):
        a = 2 + 3.5 * k
        p.line(t(10, a), t(10, a + 1.8), 1.0, DARK)


def g_mirror(p, to_right):
    p.text(0, 7, 'L', BLUE)
    p.text(15, 7, 'R', BLUE)
    if to_right:
        p.line((6.5, 10), (11.5, 10), 1.6, DARK)
        p.poly(arrow_head((14, 10), (1, 0), 3.2), DARK)
    else:
        p.line((8.5, 10), (13.5, 10), 1.6, DARK)
        p.poly(arrow_head((6, 10), (-1, 0), 3.2), DARK)


def g_brush(p):
    p.line((17.5, 2.5), (10, 10), 2.6, BROWN)
    p.line((10.5, 9.5), (7.5, 12.5), 3.4, (170, 170, 175))
    p.poly([(8.8, 13.8), (6.2, 11.2), (3, 14), (1.8, 18.2), (6, 17)], RED)


def g_freehand(p):
    pts = [(2, 14), (4, 11), (6, 10.5), (8, 13), (10, 14.5), (12, 12), (13.5, 8.5), (15.5, 6.5), (18, 6.5)]
    p.lines(pts, 2.0, BLUE)
    p.disc((2, 14), 1.4, BLUE)
    p.disc((18, 6.5), 1.4, BLUE)


GLYPHS = {
    'Save': g_save, 'Notes': g_notes, 'Zoom +': g_zoom_in, 'Zoom -': g_zoom_out,
    'Fit': g_fit, 'Pan': g_pan, 'Manual': g_manual, 'Video': g_video, 'Info': g_info,
    'Select': g_select,
    'Rotate Left': lambda p: g_rotate(p, True),
    'Rotate Right': lambda p: g_rotate(p, False),
    'Horizontal Flip': lambda p: g_flip(p, True),
    'Vertcal Flip': lambda p: g_flip(p, False),
    'Rotate a little left': lambda p: g_rotate_little(p, True),
    'Rotate a little right': lambda p: g_rotate_little(p, False),
    'Mirrror Right': lambda p: g_mirror(p, True),
    'Mirror Left': lambda p: g_mirror(p, False),
    'Brush - Shift click to select base point': g_brush,
    'Freehand': g_freehand,
}

# Each icon-bar bitmap and the hint shown over it.
ICON_BAR = {
    370: 'Rotate Left', 371: 'Rotate Right', 372: 'Horizontal Flip', 373: 'Vertcal Flip',
    374: 'Notes', 375: 'Manual', 376: 'Video', 377: 'Info',
    378: 'Rotate a little left', 379: 'Rotate a little right',
    380: 'Save', 381: 'Notes', 382: 'Zoom +', 383: 'Zoom -', 384: 'Fit', 385: 'Pan',
    386: 'Manual', 387: 'Video', 388: 'Info',
    390: 'Save', 391: 'Notes', 392: 'Select', 393: 'Zoom +', 394: 'Zoom -', 395: 'Fit',
    396: 'Pan', 397: 'Manual', 398: 'Video', 399: 'Info',
    400: 'Save', 401: 'Notes', 402: 'Mirrror Right', 403: 'Mirror Left', 404: 'Manual',
    405: 'Video', 406: 'Info', 407: 'Zoom +', 408: 'Zoom -', 409: 'Fit', 410: 'Pan',
    411: 'Brush - Shift click to select base point', 412: 'Freehand',
}


def icon_bar_picture(hint):
    p = Pen(20, DIALOG_GREY)
    GLYPHS[hint](p)
    return p.done()


# --- free-hand modes --------------------------------------------------------

# Half widths of the falloff bump (in pixels of the 32 x 32 picture): 242 is
# the softest, 239 the sharpest.
FALLOFF = {242: 14.0, 241: 10.0, 240: 6.5, 239: 3.5}


def falloff_picture(half_width):
    k = SS
    cv = Canvas(32 * k, 32 * k, (255, 255, 255))
    base, top, cx = 27.0, 5.0, 16.0
    curve = []
    for i in range(0, 29 * k + 1):
        x = 1.5 + i / k
        u = (x - cx) / half_width
        hgt = (1.0 - u * u) ** 2 if abs(u) < 1.0 else 0.0
        curve.append((x * k, (base - (base - top) * hgt) * k))
    cv.polygon(curve + [(30.5 * k, base * k), (1.5 * k, base * k)], (110, 150, 220))
    cv.polyline(curve, 1.5 * k, (30, 50, 120))
    cv.line((1.5 * k, base * k), (30.5 * k, base * k), 1.2 * k, DARK)
    return cv.downsample(k)


# --- list state images ------------------------------------------------------

MASK_BLUE = (0, 0, 255)


def state_images():
    cv = Canvas(440, 16, MASK_BLUE)

    def box(i, fill, edge):
        x0 = 40 * i
        cv.fill_rect(x0 + 2, 1, x0 + 15, 14, edge)
        cv.fill_rect(x0 + 3, 2, x0 + 14, 13, fill)
        return x0

    # 0: missing (red cross), 1: present (green tick), 2: being placed (arrow)
    x0 = box(0, WHITE, RED)
    for d in range(9):
        for w in (0, 1):
            cv.set(x0 + 4 + d + w, 3 + d, RED)
            cv.set(x0 + 12 - d - w, 3 + d, RED)
    x0 = box(1, (60, 170, 80), (20, 90, 40))
    for x, y in ((4, 7), (5, 8), (6, 9), (7, 10), (8, 9), (9, 8), (10, 7), (11, 6), (12, 5)):
        cv.set(x0 + x, y, WHITE)
        cv.set(x0 + x, y + 1, WHITE)
    x0 = box(2, YELLOW, (150, 100, 0))
    cv.polygon([(x0 + 4.0, 4.0), (x0 + 12.5, 7.5), (x0 + 4.0, 11.0)], DARK)
    return cv


# --- frame icon, corner markers, cursor -------------------------------------

def frame_icon(size):
    """A face over a bit of mesh: skin oval, eyes, mouth; blue mesh lines on
    its right half."""
    k = SS * 2
    s = size * k / 32.0
    skin, edge = (226, 182, 150), (120, 70, 50)
    col = Canvas(size * k, size * k, skin)
    cover = Canvas(size * k, size * k, (0, 0, 0))
    oval = [(16 * s + (x - 16) * 12.5 / 13.0 * s, 16.5 * s + (y - 16) * 15.0 / 13.0 * s)
            for x, y in arc_points((16, 16), 13, 0, 360, 48)]
    cover.polygon(oval, (255, 255, 255))
    col.polyline(oval + [oval[0]], 1.6 * s, edge)
    for x in range(17, 29, 4):
        col.line((x * s, 3 * s), (x * s, 30 * s), 0.9 * s, BLUE)
    for y in range(6, 30, 5):
        col.line((16 * s, y * s), (29 * s, y * s), 0.9 * s, BLUE)
    col.disc((11 * s, 13 * s), 2.2 * s, (40, 40, 60))
    col.disc((21 * s, 13 * s), 2.2 * s, (40, 40, 60))
    col.line((16 * s, 14 * s), (14.5 * s, 20 * s), 1.2 * s, edge)
    col.polyline(arc_points((16 * s, 19 * s), 5.5 * s, 215, 325, 12), 1.6 * s, (170, 50, 60))
    colour = col.downsample(k)
    cov = cover.downsample(k)
    mask = [[cov.get(x, y)[0] >= 128 for x in range(size)] for y in range(size)]
    return colour, mask


MARKER = (230, 90, 20)
ARM, THICK = 20, 4
# corner of each marker icon: (right side, bottom side)
MARKERS = {138: (False, False), 136: (True, False), 139: (False, True), 137: (True, True)}


def corner_marker(right, bottom):
    cv = Canvas(32, 32, (0, 0, 0))
    mask = [[False] * 32 for _ in range(32)]
    for y in range(32):
        for x in range(32):
            cx = 31 - x if right else x
            cy = 31 - y if bottom else y
            if (cy < THICK and cx < ARM) or (cx < THICK and cy < ARM):
                mask[y][x] = True
                cv.set(x, y, MARKER)
    return cv, mask


HOTSPOT = (15, 15)


def cross_cursor():
    cv = Canvas(32, 32, (0, 0, 0))
    black = [[False] * 32 for _ in range(32)]
    hx, hy = HOTSPOT
    for d in range(3, 13):
        for s in (-1, 1):
            black[hy][hx + s * d] = True
            black[hy + s * d][hx] = True
    black[hy][hx] = True
    mask = [[False] * 32 for _ in range(32)]
    for y in range(32):
        for x in range(32):
            if black[y][x]:
                mask[y][x] = True
                continue
            # a white rim makes the cross visible on dark photos
            if any(0 <= y + j < 32 and 0 <= x + i < 32 and black[y + j][x + i]
                   for j in (-1, 0, 1) for i in (-1, 0, 1)):
                mask[y][x] = True
                cv.set(x, y, (255, 255, 255))
    return cv, mask


def make_all(out):
    for sub in ('ICON', 'CURSOR', 'BITMAP'):
        os.makedirs(os.path.join(out, sub), exist_ok=True)
    write(os.path.join(out, 'ICON', '128.ico'), icon_file_bytes([frame_icon(32), frame_icon(16)]))
    for number, (right, bottom) in MARKERS.items():
        write(os.path.join(out, 'ICON', '%d.ico' % number), icon_file_bytes([corner_marker(right, bottom)]))
    write(os.path.join(out, 'CURSOR', '233.cur'), icon_file_bytes([cross_cursor()], kind=2, hotspots=[HOTSPOT]))
    write(os.path.join(out, 'BITMAP', '153.bmp'), bmp24_bytes(state_images()))
    for number, half in FALLOFF.items():
        write(os.path.join(out, 'BITMAP', '%d.bmp' % number), bmp24_bytes(falloff_picture(half)))
    made = {}
    for number, hint in sorted(ICON_BAR.items()):
        if hint not in made:
            made[hint] = bmp24_bytes(icon_bar_picture(hint))
        write(os.path.join(out, 'BITMAP', '%d.bmp' % number), made[hint])


def compare(made, committed):
    bad = 0
    for root, _, files in os.walk(made):
        for name in sorted(files):
            rel = os.path.relpath(os.path.join(root, name), made)
            other = os.path.join(committed, rel)
            with open(os.path.join(root, name), 'rb') as f:
                a = f.read()
            b = open(other, 'rb').read() if os.path.exists(other) else None
            if a != b:
                print('differs: %s' % rel)
                bad += 1
    return bad


def main(argv):
    if len(argv) == 3 and argv[1] == '--compare':
        tmp = tempfile.mkdtemp()
        try:
            make_all(tmp)
            return 1 if compare(tmp, argv[2]) else 0
        finally:
            shutil.rmtree(tmp)
    if len(argv) != 2:
        print(__doc__)
        return 2
    make_all(argv[1])
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
