#!/usr/bin/env python3
"""Makes the face pictures of the step pages and the about box from the full
template head and the feature tables.

Usage: make_previews.py --template HEAD.the --features FEATURES_DIR
                        --layout LAYOUT.txt OUT_DIR
       make_previews.py --template ... --features ... --layout ... --compare RESOURCES_DIR

The front view of the head is placed in the 280 x 280 preview picture by a
similarity (scale and offset, no turn) fitted by least squares to the head's
feature points of group 0 and the preview positions of the point table (143),
each residual weighted by the row's weight, so the three main points sit
best.  The fit is written to LAYOUT.txt; the pictures use the numbers as
written there.  The 165 x 165 pictures use the same framing times 165/280.

Writes under OUT_DIR:
  BITMAP/205.bmp     step-1 preview face, 280 x 280, skin toned
  BITMAP/312.bmp     about picture, the head turned, 150 x 150
  PICFILES/217.bmp   second-template preview, photo side (skin toned), 165 x 165
  PICFILES/211.bmp   second-template preview, head side (lit grey), 165 x 165
  PICFILES/221.bmp   colour key of the photo side: white with every line of
                     group 0 of the line table (151) in its key colour
  PICFILES/234.bmp   colour key of the posed-head side (the same lines)
  PICFILES/236.bmp   curve preview, photo side: 217 with the key's lines in
                     the line colour (60, 60, 60)
  PICFILES/235.bmp   curve preview, head side: 211 with the same lines
Lines are 2-pixel polylines without smoothing through the scaled preview
positions of their points (table 164; an eyebrow point missing from group 0
takes its @A row's position); the face contours run through the contour
points, left_contour and right_contour follow the head's outline from temple
to jaw, and the five custom lines are short strokes in a column at the right.
With --compare the files (and the layout) are made in a temporary folder and
compared byte for byte with the committed ones; exit 1 on a difference.
"""
import math
import os
import shutil
import sys
import tempfile

from check_template_heads import read_head, read_table
from raster import Canvas, bmp24_bytes, write

FULL, SMALL = 280, 165
CENTRE = 140
BACKGROUND = (212, 208, 200)
LINE = (60, 60, 60)
KEY_BACKGROUND = (255, 255, 255)
SS = 3  # supersampling of the renders

LEFT_FACE = ['_contour_180', '_contour_210', '_contour_240', '_contour_270']
RIGHT_FACE = ['_contour_0', '_contour_330', '_contour_300', '_contour_270']
TEMPLE_Y, JAW_Y = 105.0, 235.0  # outline lines, in preview pixels
EARS = ('left_ear_0', 'right_ear_0')


# --- tables -----------------------------------------------------------------

def point_table(features):
    """code -> (kind, weight, preview x, preview y) of every row."""
    out = {}
    for r in read_table(os.path.join(features, '143.txt')):
        out[r[0]] = (int(r[3]), float(r[2]), float(r[4]), float(r[5]))
    return out


def preview_position(points, code):
    """The row of group 0, else the @A row (eyebrows)."""
    row = points.get(code) or points.get(code + '_@A')
    return None if row is None else (row[2], row[3])


def line_rows(features):
    """Group-0 rows of the line table: (code, (r, g, b))."""
    out = []
    for r in read_table(os.path.join(features, '151.txt')):
        if '@' in r[0]:
            continue
        out.append((r[0], (int(r[6]), int(r[7]), int(r[8]))))
    return out


def line_points(features):
    return {r[0]: r[1:] for r in read_table(os.path.join(features, '164.txt'))}


# --- layout -----------------------------------------------------------------

def fit_layout(head, points):
    """Weighted least-squares similarity: u = s X + ox, v = oy - s Y."""
    fp = {f['name']: head['vx'][f['v']] for f in head['fp']}
    rows = []
    for code, (kind, weight, px, py) in sorted(points.items()):
        if '@' in code or code not in fp or weight <= 0:
            continue
        w = weight * weight
        rows.append((w, fp[code][0], fp[code][1], px, py))
    W = sum(r[0] for r in rows)
    mx = sum(r[0] * r[1] for r in rows) / W
    my = sum(r[0] * r[2] for r in rows) / W
    mu = sum(r[0] * r[3] for r in rows) / W
    mv = sum(r[0] * r[4] for r in rows) / W
    num = sum(r[0] * ((r[1] - mx) * (r[3] - mu) - (r[2] - my) * (r[4] - mv)) for r in rows)
    den = sum(r[0] * ((r[1] - mx) ** 2 + (r[2] - my) ** 2) for r in rows)
    s = num / den
    return s, mu - s * mx, mv + s * my


LAYOUT_HEAD = """\
# Front view of the full template head (TEMPLATE 122) in the preview
# pictures, written by make_previews.py.  In the 280 x 280 picture (BITMAP
# 205) a head point (X, Y, Z) seen from +z lands at
#   x = centre + scale * X + offset_x,   y = offset_y - scale * Y
# (centre: the picture's centre line, from which the point table's preview
# x counts).  The 165 x 165 pictures (PICFILES) use the same numbers times
# 165 / 280.
"""


def layout_text(s, ox, oy):
    return LAYOUT_HEAD + 'size %d\ncentre %d\nscale %.6f\noffset_x %.6f\noffset_y %.6f\n' % (
        FULL, CENTRE, s, ox, oy)


def read_layout(text):
    vals = {}
    for line in text.splitlines():
        if line.strip() and not line.startswith('#'):
            k, v = line.split()
            vals[k] = float(v)
    return vals['scale'], vals['offset_x'], vals['offset_y']


# --- rendering --------------------------------------------------------------

def normalise(v):
    ln = math.sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2])
    return (v[0] / ln, v[1] / ln, v[2] / ln) if ln > 0 else (0.0, 0.0, 1.0)


def vertex_normals(verts, tris):
    acc = [[0.0, 0.0, 0.0] for _ in verts]
    for t in tris:
        a, b, c = (verts[k] for k in t)
        u = (b[0] - a[0], b[1] - a[1], b[2] - a[2])
        v = (c[0] - a[0], c[1] - a[1], c[2] - a[2])
        n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
        for k in t:
            acc[k][0] += n[0]
            acc[k][1] += n[1]
            acc[k][2] += n[2]
    return [normalise(n) for n in acc]


class Scene:
    """The head in a view: vertices turned by yaw (degrees, about y) and
    mapped to sample coordinates of a w x h picture by (scale, x0, y0)."""

    def __init__(self, head, yaw=0.0):
        self.head = head
        c, s = math.cos(math.radians(yaw)), math.sin(math.radians(yaw))
        self.verts = [(x * c + z * s, y, -x * s + z * c) for x, y, z in head['vx']]
        self.tris = [t['v'] for t in head['tri']]
        self.groups = [t['g'] for t in head['tri']]
        self.materials = [t['m'] for t in head['tri']]
        self.normals = vertex_normals(self.verts, self.tris)
        # outward orientation: the summed normals point away from the centre
        out = sum(n[0] * v[0] + n[1] * v[1] + n[2] * v[2] for n, v in zip(self.normals, self.verts))
        self.sign = 1.0 if out >= 0 else -1.0
        if self.sign < 0:
            self.normals = [(-n[0], -n[1], -n[2]) for n in self.normals]
        ear_areas = set()
        for r in head['regions']:
            if r['name'] in EARS:
                ear_areas.update(r['areas'])
        self.ear = [False] * len(self.tris)
        for a in ear_areas:
            for ti in head['areas'][a]:
                self.ear[ti] = True
        # iris centre of each eyeball group: its frontmost vertex
        self.iris = {}
        for g in (1, 2):
            best = None
            for t, tg in zip(self.tris, self.groups):
                if tg != g:
                    continue
                for k in t:
                    if best is None or self.verts[k][2] > self.verts[best][2]:
                        best = k
            self.iris[g] = self.verts[best]

    def raster(self, w, h, scale, x0, y0, skip_ears=False):
        """Nearest triangle per sample: (triangle, l1, l2) or None."""
        P = [(x0 + scale * x, y0 - scale * y, z) for x, y, z in self.verts]
        zbuf = [-1e30] * (w * h)
        hit = [None] * (w * h)
        for ti, (a, b, c) in enumerate(self.tris):
            if skip_ears and self.ear[ti]:
                continue
            ax, ay, az = P[a]
            bx, by, bz = P[b]
            cx, cy, cz = P[c]
            det = (bx - ax) * (cy - ay) - (cx - ax) * (by - ay)
            # facing the viewer: the screen's y runs down
            if det * self.sign >= 0:
                continue
            xa = max(0, int(math.ceil(min(ax, bx, cx) - 0.5)))
            xb = min(w - 1, int(math.floor(max(ax, bx, cx) - 0.5)))
            ya = max(0, int(math.ceil(min(ay, by, cy) - 0.5)))
            yb = min(h - 1, int(math.floor(max(ay, by, cy) - 0.5)))
            if xa > xb or ya > yb:
                continue
            inv = 1.0 / det
            for y in range(ya, yb + 1):
                sy = y + 0.5
                for x in range(xa, xb + 1):
                    sx = x + 0.5
                    l1 = ((sx - ax) * (cy - ay) - (cx - ax) * (sy - ay)) * inv
                    if l1 < 0:
                        continue
                    l2 = ((bx - ax) * (sy - ay) - (sx - ax) * (by - ay)) * inv
                    if l2 < 0 or l1 + l2 > 1:
                        continue
                    z = az + l1 * (bz - az) + l2 * (cz - az)
                    k = y * w + x
                    if z > zbuf[k]:
                        zbuf[k] = z
                        hit[k] = (ti, l1, l2)
        return hit

    def shade(self, hit, style):
        """Colour of one sample, or None for the background."""
        if hit is None:
            return None
        ti, l1, l2 = hit
        a, b, c = self.tris[ti]
        l0 = 1.0 - l1 - l2
        na, nb, nc = self.normals[a], self.normals[b], self.normals[c]
        n = normalise(tuple(l0 * na[i] + l1 * nb[i] + l2 * nc[i] for i in range(3)))
        lx, ly, lz = LIGHT
        d = max(0.0, n[0] * lx + n[1] * ly + n[2] * lz)
        if style == 'grey':
            g = 80 + int(155 * (0.2 + 0.8 * d))
            return (g, g, g)
        m, grp = self.materials[ti], self.groups[ti]
        if grp in (1, 2):
            va, vb, vc = self.verts[a], self.verts[b], self.verts[c]
            px = l0 * va[0] + l1 * vb[0] + l2 * vc[0]
            py = l0 * va[1] + l1 * vb[1] + l2 * vc[1]
            ix, iy, _ = self.iris[grp]
            r2 = (px - ix) ** 2 + (py - iy) ** 2
            base = (22, 16, 14) if r2 < 2.2 ** 2 else (96, 66, 44) if r2 < 5.0 ** 2 else (236, 232, 226)
            f = 0.55 + 0.45 * d
        else:
            base = LIP if m == 4 else SOCKET if m == 5 else SKIN
            f = 0.32 + 0.68 * d
        return tuple(min(255, int(base[i] * f)) for i in range(3))


LIGHT = normalise((-0.35, 0.45, 0.82))
SKIN = (236, 188, 156)
SOCKET = (222, 170, 140)
LIP = (186, 96, 96)
BROW = (74, 50, 36)


def render(scene, size, scale, x0, y0, style, bg, brows=None):
    """A size x size picture, supersampled SS x SS; brows: polylines in
    picture pixels darkened as eyebrows (skin style)."""
    n = size * SS
    hit = scene.raster(n, n, scale * SS, x0 * SS, y0 * SS)
    big = Canvas(n, n, bg)
    half = 2.4 * size / FULL + 0.8
    segs = [(p, q) for line in (brows or []) for p, q in zip(line, line[1:])]
    box = None
    if segs:
        xs = [c[0] for sg in segs for c in sg]
        ys = [c[1] for sg in segs for c in sg]
        box = (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half)
    for y in range(n):
        for x in range(n):
            h = hit[y * n + x]
            c = scene.shade(h, style)
            if c is None:
                continue
            px, py = (x + 0.5) / SS, (y + 0.5) / SS
            if box and scene.groups[h[0]] == 0 and box[0] <= px <= box[2] and box[1] <= py <= box[3]:
                d = min(segment_distance((px, py), p, q) for p, q in segs)
                if d < half:
                    t = 0.8 * (1.0 - (d / half) ** 2)
                    c = tuple(int(c[i] * (1 - t) + BROW[i] * t) for i in range(3))
            big.set(x, y, c)
    return big.downsample(SS)


def segment_distance(p, a, b):
    dx, dy = b[0] - a[0], b[1] - a[1]
    ln2 = dx * dx + dy * dy
    t = 0.0 if ln2 == 0 else max(0.0, min(1.0, ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / ln2))
    ex, ey = a[0] + t * dx - p[0], a[1] + t * dy - p[1]
    return math.sqrt(ex * ex + ey * ey)


# --- lines ------------------------------------------------------------------

def stamp_line(cv, pts, colour):
    """2-pixel polyline, no smoothing: a 2 x 2 block at every quarter pixel."""
    for (ax, ay), (bx, by) in zip(pts, pts[1:]):
        steps = max(1, int(math.ceil(max(abs(bx - ax), abs(by - ay)) * 4)))
        for i in range(steps + 1):
            x = ax + (bx - ax) * i / steps
            y = ay + (by - ay) * i / steps
            px, py = int(math.floor(x - 0.5)), int(math.floor(y - 0.5))
            for j in (0, 1):
                for k in (0, 1):
                    cv.set(px + k, py + j, colour)


def outline_lines(scene, scale, ox, oy):
    """The head's outline (ears left out) from temple to jaw on both sides,
    in 165-pixel picture coordinates, 1.5 pixels inside the outline."""
    f = SMALL / FULL
    n = SMALL
    hit = scene.raster(n, n, scale * f, (CENTRE + ox) * f, oy * f, skip_ears=True)
    left, right = [], []
    y = TEMPLE_Y * f
    while y <= JAW_Y * f + 1e-9:
        row = int(y)
        xs = [x for x in range(n) if hit[row * n + x] is not None]
        left.append((xs[0] + 1.5, row + 0.5))
        right.append((xs[-1] - 0.5, row + 0.5))
        y += 5.0
    return left, right


def key_lines(features, scene, scale, ox, oy):
    """(colour, polyline in 165-pixel coordinates) of every group-0 row."""
    points = point_table(features)
    lists = line_points(features)
    f = SMALL / FULL
    left, right = outline_lines(scene, scale, ox, oy)
    out = []
    legend = 0
    for code, colour in line_rows(features):
        if code == 'left_contour_of_face':
            names = LEFT_FACE
        elif code == 'right_contour_of_face':
            names = RIGHT_FACE
        else:
            names = lists.get(code)
        if code == 'left_contour':
            pts = left
        elif code == 'right_contour':
            pts = right
        elif names:
            pts = [((CENTRE + p[0]) * f, p[1] * f) for p in (preview_position(points, n) for n in names)]
        else:
            # a line without points: a short stroke in the legend column
            y = 14.0 + 10.0 * legend
            legend += 1
            pts = [(149.0, y), (161.0, y)]
        out.append((code, colour, pts))
    return out


def brow_lines(scene, scale, x0, y0):
    """The head's eyebrow points as two polylines in picture pixels."""
    index = {f['name']: f['v'] for f in scene.head['fp']}
    out = []
    for side in ('left', 'right'):
        names = ['left_corner_of_the_%s_eyebrow' % side, 'middle_of_the_%s_eyebrow' % side,
                 'right_corner_of_the_%s_eyebrow' % side]
        out.append([(x0 + scale * scene.verts[index[n]][0], y0 - scale * scene.verts[index[n]][1])
                    for n in names])
    return out


def avoid_line_colour(cv):
    """The shading never takes the line colour, so a preview's line pixels
    are exactly those of its key."""
    for y in range(cv.h):
        for x in range(cv.w):
            if cv.get(x, y) == LINE:
                cv.set(x, y, (LINE[0] + 1, LINE[1], LINE[2]))


def make_all(template, features, layout_path, out):
    head = read_head(template)
    points = point_table(features)
    s, ox, oy = read_layout(layout_text(*fit_layout(head, points)))
    with open(layout_path, 'w') as f:
        f.write(layout_text(s, ox, oy))
    for sub in ('BITMAP', 'PICFILES'):
        os.makedirs(os.path.join(out, sub), exist_ok=True)
    front = Scene(head)
    fs = SMALL / FULL

    full = render(front, FULL, s, CENTRE + ox, oy, 'skin', BACKGROUND, brow_lines(front, s, CENTRE + ox, oy))
    write(os.path.join(out, 'BITMAP', '205.bmp'), bmp24_bytes(full))

    photo = render(front, SMALL, s * fs, (CENTRE + ox) * fs, oy * fs, 'skin', BACKGROUND,
                   brow_lines(front, s * fs, (CENTRE + ox) * fs, oy * fs))
    grey = render(front, SMALL, s * fs, (CENTRE + ox) * fs, oy * fs, 'grey', BACKGROUND)
    avoid_line_colour(photo)
    avoid_line_colour(grey)
    write(os.path.join(out, 'PICFILES', '217.bmp'), bmp24_bytes(photo))
    write(os.path.join(out, 'PICFILES', '211.bmp'), bmp24_bytes(grey))

    key = Canvas(SMALL, SMALL, KEY_BACKGROUND)
    for code, colour, pts in key_lines(features, front, s, ox, oy):
        stamp_line(key, pts, colour)
    for pic in (photo, grey):
        for y in range(SMALL):
            for x in range(SMALL):
                if key.get(x, y) != KEY_BACKGROUND:
                    pic.set(x, y, LINE)
    write(os.path.join(out, 'PICFILES', '221.bmp'), bmp24_bytes(key))
    write(os.path.join(out, 'PICFILES', '234.bmp'), bmp24_bytes(key))
    write(os.path.join(out, 'PICFILES', '236.bmp'), bmp24_bytes(photo))
    write(os.path.join(out, 'PICFILES', '235.bmp'), bmp24_bytes(grey))

    turned = Scene(head, yaw=-28.0)
    about_scale = 0.53
    about = render(turned, 150, about_scale, 75.0, 72.0, 'skin', (236, 240, 246),
                   brow_lines(turned, about_scale, 75.0, 72.0))
    write(os.path.join(out, 'BITMAP', '312.bmp'), bmp24_bytes(about))


def compare(made, committed):
    bad = 0
    for root, _, files in os.walk(made):
        for name in sorted(files):
            rel = os.path.relpath(os.path.join(root, name), made)
            other = os.path.join(committed, rel)
            a = open(os.path.join(root, name), 'rb').read()
            b = open(other, 'rb').read() if os.path.exists(other) else None
            if a != b:
                print('differs: %s' % rel)
                bad += 1
    return bad


def main(argv):
    args = {}
    rest = []
    i = 1
    while i < len(argv):
        if argv[i] in ('--template', '--features', '--layout', '--compare') and i + 1 < len(argv):
            args[argv[i]] = argv[i + 1]
            i += 2
        else:
            rest.append(argv[i])
            i += 1
    if not all(k in args for k in ('--template', '--features', '--layout')) or \
            len(rest) != (0 if '--compare' in args else 1):
        print(__doc__)
        return 2
    if '--compare' in args:
        tmp = tempfile.mkdtemp()
        try:
            layout = os.path.join(tmp, 'layout.txt')
            make_all(args['--template'], args['--features'], layout, os.path.join(tmp, 'out'))
            bad = compare(os.path.join(tmp, 'out'), args['--compare'])
            if open(layout, 'rb').read() != open(args['--layout'], 'rb').read():
                print('differs: %s' % args['--layout'])
                bad += 1
            return 1 if bad else 0
        finally:
            shutil.rmtree(tmp)
    make_all(args['--template'], args['--features'], args['--layout'], rest[0])
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
