#!/usr/bin/env python3
"""Makes the age wrinkle map: a 1024 x 1024 grey relief on the grid of the
age-point table (FEATURES 154) whose grooves the age morph embosses into the
texture.

Usage: make_backgrounds.py --features FEATURES_DIR OUT_DIR
       make_backgrounds.py --features FEATURES_DIR --compare RESOURCES_DIR

The grooves are laid out from the table's face nodes: crow's feet beside each
outer eye corner, the folds from beside the nose tip down past the mouth
corners, forehead lines and two frown lines between the forehead node and the
eye row, and a line below each mouth corner.  Each groove is a polyline with
a smooth cross-section (depth x (1 - (d / width)^2)^2) cut into a flat
level.  The picture is written as PGM and encoded by ImageMagick as
BACKGROUNDS/278.jpg.  With --compare it is made in a temporary folder and
both JPEGs are decoded (by ImageMagick) and compared pixel by pixel within 2
levels; exit 1 on a difference.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from check_template_heads import read_table
from raster import pgm_bytes, write

SIZE = 1024
LEVEL = 184


def nodes(features):
    """name -> (x, y) of the numbered rows (serial > 0) of table 154."""
    out = {}
    for r in read_table(os.path.join(features, '154.txt')):
        if int(r[1]) > 0:
            out[r[0]] = (int(r[2]), int(r[3]))
    return out


def grooves(n):
    """(polyline, half width, depth) of every groove, from the face nodes."""
    fx, fy = n['top_of_the_forehead']
    lx, ly = n['left_corner_of_the_left_eye']
    rx, ry = n['right_corner_of_the_right_eye']
    nx, ny = n['tip_of_the_nose']
    mlx, mly = n['left_corner_of_the_mouth']
    mrx, mry = n['right_corner_of_the_mouth']
    out = []
    # crow's feet: a fan of three beside each outer eye corner
    for sx, (ex, ey) in ((-1, (lx, ly)), (1, (rx, ry))):
        for dy0, dy1, ln in ((-6, -20, 34), (2, 2, 38), (10, 26, 32)):
            x0 = ex + sx * 14
            out.append(([(x0, ey + dy0), (x0 + sx * ln * 0.55, ey + (dy0 + dy1) * 0.45),
                         (x0 + sx * ln, ey + dy1)], 4.5, 95))
    # folds from beside the nose tip to past the mouth corners
    for sx, (mx, my) in ((-1, (mlx, mly)), (1, (mrx, mry))):
        top = (nx + sx * 42, ny + 10)
        mid = (nx + sx * 64, (ny + my) // 2 + 4)
        low = (mx + sx * 16, my - 10)
        out.append(([top, mid, low], 6.0, 110))
    # forehead lines, shorter towards the brows, and two frown lines
    span = rx - lx
    for k, t in enumerate((0.28, 0.50, 0.72)):
        y = fy + (ly - fy) * t
        half = span * (0.42 - 0.06 * k)
        cx = (lx + rx) / 2.0
        out.append(([(cx - half, y + 4), (cx - half / 2, y - 3), (cx, y), (cx + half / 2, y - 3),
                     (cx + half, y + 4)], 4.0, 80))
    cx = (lx + rx) / 2.0
    for sx in (-1, 1):
        out.append(([(cx + sx * 12, ly - 40), (cx + sx * 15, ly - 14)], 3.5, 90))
    # below each mouth corner
    for sx, (mx, my) in ((-1, (mlx, mly)), (1, (mrx, mry))):
        out.append(([(mx + sx * 2, my + 14), (mx - sx * 2, my + 40), (mx - sx * 8, my + 66)], 5.0, 100))
    return out


def relief(features):
    grey = bytearray([LEVEL] * (SIZE * SIZE))
    for pts, half, depth in grooves(nodes(features)):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        x0, x1 = int(min(xs) - half - 1), int(max(xs) + half + 2)
        y0, y1 = int(min(ys) - half - 1), int(max(ys) + half + 2)
        segs = list(zip(pts, pts[1:]))
        for y in range(max(0, y0), min(SIZE, y1)):
            for x in range(max(0, x0), min(SIZE, x1)):
                d2 = min(dist2((x + 0.5, y + 0.5), a, b) for a, b in segs)
                if d2 < half * half:
                    u = 1.0 - d2 / (half * half)
                    v = LEVEL - int(depth * u * u)
                    k = y * SIZE + x
                    if v < grey[k]:
                        grey[k] = v
    return grey


def dist2(p, a, b):
    dx, dy = b[0] - a[0], b[1] - a[1]
    ln2 = dx * dx + dy * dy
    t = 0.0 if ln2 == 0 else max(0.0, min(1.0, ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / ln2))
    ex, ey = a[0] + t * dx - p[0], a[1] + t * dy - p[1]
    return ex * ex + ey * ey


def make_all(features, out):
    os.makedirs(os.path.join(out, 'BACKGROUNDS'), exist_ok=True)
    pgm = os.path.join(out, 'BACKGROUNDS', '278.pgm')
    write(pgm, pgm_bytes(SIZE, SIZE, relief(features)))
    subprocess.run(['convert', pgm, '-strip', '-quality', '92', os.path.join(out, 'BACKGROUNDS', '278.jpg')],
                   check=True)
    os.remove(pgm)


def decode(path):
    data = subprocess.run(['convert', path, '-depth', '8', 'gray:-'], check=True, capture_output=True).stdout
    return data


def main(argv):
    args, rest = {}, []
    i = 1
    while i < len(argv):
        if argv[i] in ('--features', '--compare') and i + 1 < len(argv):
            args[argv[i]] = argv[i + 1]
            i += 2
        else:
            rest.append(argv[i])
            i += 1
    if '--features' not in args or len(rest) != (0 if '--compare' in args else 1):
        print(__doc__)
        return 2
    if '--compare' in args:
        tmp = tempfile.mkdtemp()
        try:
            make_all(args['--features'], tmp)
            a = decode(os.path.join(tmp, 'BACKGROUNDS', '278.jpg'))
            b = decode(os.path.join(args['--compare'], 'BACKGROUNDS', '278.jpg'))
            if len(a) != len(b) or len(a) != SIZE * SIZE:
                print('differs: BACKGROUNDS/278.jpg (size)')
                return 1
            worst = max(abs(p - q) for p, q in zip(a, b))
            if worst > 2:
                print('differs: BACKGROUNDS/278.jpg (by %d levels)' % worst)
                return 1
            return 0
        finally:
            shutil.rmtree(tmp)
    make_all(args['--features'], rest[0])
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
