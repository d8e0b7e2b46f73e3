#!/usr/bin/env python3
"""Writes a contact sheet (PNG) of every picture resource, for looking at
them: bitmaps, icons (every image of a file, masks shown over a chequer
board), the cursor, the PICFILES and BACKGROUNDS pictures.  Small pictures
are enlarged without smoothing.  Needs ImageMagick.

Usage: contact_sheet.py RESOURCES_DIR OUT.png
"""
import os
import subprocess
import sys
import tempfile

FONT = '/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf'
TYPES = ('ICON', 'CURSOR', 'BITMAP', 'PICFILES', 'BACKGROUNDS')


def run(args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def frames(path):
    out = subprocess.run(['identify', '-format', '%w %h\n', path], check=True,
                         capture_output=True, text=True).stdout.split()
    return [(int(out[i]), int(out[i + 1])) for i in range(0, len(out), 2)]


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    res, out = argv[1], argv[2]
    tmp = tempfile.mkdtemp()
    tiles = []
    for t in TYPES:
        folder = os.path.join(res, t)
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder), key=lambda n: int(n.split('.')[0])):
            path = os.path.join(folder, name)
            for k, (w, h) in enumerate(frames(path)):
                scale = max(1, min(8, 160 // max(w, h)))
                if w >= 512:
                    scale = 0.25
                tile = os.path.join(tmp, '%03d.png' % len(tiles))
                label = '%s %s %dx%d' % (t, name, w, h)
                run(['convert', '(', '-size', '%dx%d' % (w, h), 'pattern:checkerboard',
                     '%s[%d]' % (path, k), '-composite', '-filter', 'point',
                     '-resize', '%d%%' % int(scale * 100), '-bordercolor', '#888', '-border', '1', '+repage', ')',
                     '(', '+size', '-background', '#f0f0f0', '-font', FONT, '-pointsize', '11', 'label:' + label, '+repage', ')',
                     '-background', '#f0f0f0', '-gravity', 'center', '-append', '+repage', tile])
                tiles.append(tile)
    rows = []
    for i in range(0, len(tiles), 8):
        row = os.path.join(tmp, 'row%03d.png' % len(rows))
        run(['convert'] + tiles[i:i + 8] + ['-background', '#f0f0f0', '-gravity', 'north',
                                            '-bordercolor', '#f0f0f0', '-border', '8', '+append', row])
        rows.append(row)
    run(['convert'] + rows + ['-background', '#f0f0f0', '-gravity', 'west', '-append', '+repage', out])
    for row in rows:
        os.remove(row)
    for tile in tiles:
        os.remove(tile)
    os.rmdir(tmp)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
