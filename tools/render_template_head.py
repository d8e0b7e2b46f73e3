#!/usr/bin/env python3
"""Renders a template head file to PNG pictures for looking at it.

Usage: render_template_head.py HEAD.the OUT_PREFIX [--morph AGE.txt]

Writes OUT_PREFIX-front.png, -side.png and -uv.png: flat-shaded orthographic
views from the front (+z) and from the +x side with the feature points
marked (red: x < 0, blue: x > 0, green: middle line), and the texture layout
with the triangles drawn over the face colours of the areas.  With --morph
the vertex positions are replaced by the age shape first (head = scale x
outside - offset).
"""
import math
import struct
import sys
import zlib

from check_template_heads import read_head


def write_png(path, w, h, rgb):
    raw = b''.join(b'\x00' + bytes(rgb[y * w * 3:(y + 1) * w * 3]) for y in range(h))

    def chunk(t, d):
        c = struct.pack('>I', len(d)) + t + d
        return c + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
    data += chunk(b'IDAT', zlib.compress(raw, 6)) + chunk(b'IEND', b'')
    open(path, 'wb').write(data)


def render(verts, tris, feats, view, size=600, span=260.0):
    def proj(p):
        if view == 'front':
            x, y, z = p[0], p[1], p[2]
        else:
            x, y, z = -p[2], p[1], p[0]
        return ((x / span + 0.5) * size, (0.5 - y / span) * size, z)
    P = [proj(p) for p in verts]
    img = bytearray([40, 40, 60] * size * size)
    zb = [-1e30] * (size * size)
    light = (0.3, 0.4, 0.87)
    for t in tris:
        a, b, c = (verts[k] for k in t['v'])
        n = [(b[1] - a[1]) * (c[2] - a[2]) - (b[2] - a[2]) * (c[1] - a[1]),
             (b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2]),
             (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])]
        ln = math.sqrt(sum(k * k for k in n)) or 1.0
        n = [k / ln for k in n]
        if view != 'front':
            n = [n[2] * -1, n[1], n[0]]
        shade = max(0.0, n[0] * light[0] + n[1] * light[1] + n[2] * light[2])
        back = n[2] < 0
        col = (200, 80, 80) if back else (int(60 + 180 * shade), int(55 + 160 * shade), int(50 + 150 * shade))
        if t['g'] != 0 and not back:
            col = (int(80 + 170 * shade),) * 3
        pa, pb, pc = (P[k] for k in t['v'])
        x0 = max(0, int(min(pa[0], pb[0], pc[0]))); x1 = min(size - 1, int(max(pa[0], pb[0], pc[0])) + 1)
        y0 = max(0, int(min(pa[1], pb[1], pc[1]))); y1 = min(size - 1, int(max(pa[1], pb[1], pc[1])) + 1)
        det = (pb[0] - pa[0]) * (pc[1] - pa[1]) - (pc[0] - pa[0]) * (pb[1] - pa[1])
        if abs(det) < 1e-12:
            continue
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px, py = x + 0.5, y + 0.5
                l1 = ((px - pa[0]) * (pc[1] - pa[1]) - (pc[0] - pa[0]) * (py - pa[1])) / det
                l2 = ((pb[0] - pa[0]) * (py - pa[1]) - (px - pa[0]) * (pb[1] - pa[1])) / det
                if l1 < 0 or l2 < 0 or l1 + l2 > 1:
                    continue
                z = pa[2] + l1 * (pb[2] - pa[2]) + l2 * (pc[2] - pa[2])
                k = y * size + x
                if z > zb[k]:
                    zb[k] = z
                    img[3 * k:3 * k + 3] = bytes(col)
    for name, v in feats:
        x, y, z = P[v]
        p = verts[v]
        col = (0, 220, 0) if p[0] == 0 else ((255, 30, 30) if p[0] < 0 else (40, 120, 255))
        k0 = int(y) * size + int(x)
        hidden = 0 <= k0 < size * size and zb[k0] > z + 2.0
        r = 1 if hidden else 3
        for dy in range(-r, r + 1):
            for dx in range(-r, r + 1):
                xx, yy = int(x) + dx, int(y) + dy
                if 0 <= xx < size and 0 <= yy < size:
                    img[3 * (yy * size + xx):3 * (yy * size + xx) + 3] = bytes(col)
    return img


def main():
    path, prefix = sys.argv[1], sys.argv[2]
    h = read_head(path)
    verts = h['vx']
    if len(sys.argv) > 4 and sys.argv[3] == '--morph':
        s, o = h['scale'], h['offset']
        verts = []
        for line in open(sys.argv[4]):
            x, y, z = map(float, line.split())
            verts.append([s * x - o[0], s * y - o[1], s * z - o[2]])
    feats = [(f['name'], f['v']) for f in h['fp']]
    size = 600
    uv = h['txt']
    img = bytearray([255] * size * size * 3)
    mats = {0: (0, 0, 0), 1: (150, 120, 110), 4: (220, 0, 0), 5: (0, 0, 220), 3: (0, 160, 0)}
    for t in h['tri']:
        col = mats.get(t['m'], (255, 0, 255))
        for a, b in ((0, 1), (1, 2), (2, 0)):
            ua, va = uv[t['c'][a]]
            ub, vb = uv[t['c'][b]]
            steps = int(max(abs(ua - ub), abs(va - vb)) * size) + 1
            for k in range(steps + 1):
                u = ua + (ub - ua) * k / steps
                v = va + (vb - va) * k / steps
                x, y = int(u * (size - 1)), int((1 - v) * (size - 1))
                if 0 <= x < size and 0 <= y < size:
                    img[3 * (y * size + x):3 * (y * size + x) + 3] = bytes(col)
    write_png('%s-uv.png' % prefix, size, size, img)
    for view in ('front', 'side'):
        img = render(verts, h['tri'], feats, view, size)
        write_png('%s-%s.png' % (prefix, view), size, size, img)


if __name__ == '__main__':
    main()
