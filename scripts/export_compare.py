#!/usr/bin/env python3
"""Compares two folders of exported flows file by file.

Usage: export_compare.py BEFORE AFTER

The folders come from the e2e test ExportDump.FlowsIntoTheFolderGiven run
with BRIVANTA_EXPORT_DUMP (see scripts/export_dump.sh). Every file must be
the same bytes. Where a BMP differs, its texels are counted: how many differ
and by how much at most (a channel's level), so a change of the rasteriser
can be told from a wrong picture. Exit code 0 when every file agrees.
"""
import os
import struct
import sys


def bmp_pixels(data):
    """(width, height, bytes per pixel, row stride, offset) of an
    uncompressed BMP, or None."""
    if len(data) < 54 or data[:2] != b"BM":
        return None
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    compression = struct.unpack_from("<I", data, 30)[0]
    if compression not in (0, 3) or bits not in (24, 32) or width <= 0 or height == 0:
        return None
    bpp = bits // 8
    stride = (width * bpp + 3) // 4 * 4
    if offset + stride * abs(height) > len(data):
        return None
    return width, abs(height), bpp, stride, offset


def texel_difference(a, b):
    """(texels differing, their count, worst level) or None when the two
    are not BMPs of one size."""
    pa, pb = bmp_pixels(a), bmp_pixels(b)
    if not pa or not pb or pa[:3] != pb[:3]:
        return None
    width, height, bpp, stride, _ = pa
    off, total, worst = 0, width * height, 0
    for y in range(height):
        ra = a[pa[4] + y * stride: pa[4] + y * stride + width * bpp]
        rb = b[pb[4] + y * stride: pb[4] + y * stride + width * bpp]
        if ra == rb:
            continue
        for x in range(width):
            ta, tb = ra[x * bpp: x * bpp + 3], rb[x * bpp: x * bpp + 3]
            if ta != tb:
                off += 1
                worst = max(worst, max(abs(p - q) for p, q in zip(ta, tb)))
    return off, total, worst


def files(root):
    out = set()
    for folder, _, names in os.walk(root):
        for n in names:
            out.add(os.path.relpath(os.path.join(folder, n), root))
    return out


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    before, after = argv[1], argv[2]
    a, b = files(before), files(after)
    bad = 0
    for name in sorted(a - b):
        print(f"only before: {name}")
        bad += 1
    for name in sorted(b - a):
        print(f"only after:  {name}")
        bad += 1
    same = 0
    for name in sorted(a & b):
        with open(os.path.join(before, name), "rb") as f:
            x = f.read()
        with open(os.path.join(after, name), "rb") as f:
            y = f.read()
        if x == y:
            same += 1
            continue
        bad += 1
        d = texel_difference(x, y)
        if d:
            print(f"differs:     {name}: {d[0]} of {d[1]} texels, by {d[2]} at most")
        else:
            print(f"differs:     {name} ({len(x)} and {len(y)} bytes)")
    print(f"{same} files the same, {bad} not")
    return 0 if bad == 0 and same > 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
