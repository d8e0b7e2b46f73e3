"""Small raster toolkit of the picture generators: an RGB canvas with
polygons, thick lines, discs and arcs, a 5 x 7 letter font, and writers of
BMP, ICO, CUR, PGM and PNG files.  Standard library only; every result
depends on the arguments alone, so the generators are repeatable byte for
byte."""
import math
import struct
import zlib


class Canvas:
    """w x h RGB pixels, row 0 at the top."""

    def __init__(self, w, h, bg=(255, 255, 255)):
        self.w, self.h = w, h
        self.px = bytearray(bytes(bg) * (w * h))

    def get(self, x, y):
        k = 3 * (y * self.w + x)
        return tuple(self.px[k:k + 3])

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            k = 3 * (y * self.w + x)
            self.px[k:k + 3] = bytes(c)

    def fill_rect(self, x0, y0, x1, y1, c):
        """Pixels x0 <= x < x1, y0 <= y < y1."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.set(x, y, c)

    def polygon(self, pts, c):
        """Fills the polygon (even-odd) at pixel centres."""
        if len(pts) < 3:
            return
        ys = [p[1] for p in pts]
        y0 = max(0, int(math.floor(min(ys))))
        y1 = min(self.h - 1, int(math.ceil(max(ys))))
        n = len(pts)
        for y in range(y0, y1 + 1):
            sy = y + 0.5
            xs = []
            for i in range(n):
                ax, ay = pts[i]
                bx, by = pts[(i + 1) % n]
                if (ay <= sy < by) or (by <= sy < ay):
                    xs.append(ax + (sy - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                xa = int(math.ceil(xs[i] - 0.5))
                xb = int(math.floor(xs[i + 1] - 0.5))
                for x in range(max(0, xa), min(self.w - 1, xb) + 1):
                    self.set(x, y, c)

    def line(self, a, b, width, c):
        """A straight stroke of the given width with square ends."""
        dx, dy = b[0] - a[0], b[1] - a[1]
        ln = math.sqrt(dx * dx + dy * dy)
        if ln == 0:
            self.disc(a, width / 2.0, c)
            return
        ux, uy = dx / ln * width / 2.0, dy / ln * width / 2.0
        self.polygon([(a[0] - uy - ux, a[1] + ux - uy), (b[0] - uy + ux, b[1] + ux + uy),
                      (b[0] + uy + ux, b[1] - ux + uy), (a[0] + uy - ux, a[1] - ux - uy)], c)

    def polyline(self, pts, width, c):
        for i in range(len(pts) - 1):
            self.line(pts[i], pts[i + 1], width, c)

    def disc(self, centre, r, c):
        cx, cy = centre
        for y in range(max(0, int(cy - r) - 1), min(self.h, int(cy + r) + 2)):
            for x in range(max(0, int(cx - r) - 1), min(self.w, int(cx + r) + 2)):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def ring(self, centre, r, width, c):
        cx, cy = centre
        ro, ri = r + width / 2.0, r - width / 2.0
        for y in range(max(0, int(cy - ro) - 1), min(self.h, int(cy + ro) + 2)):
            for x in range(max(0, int(cx - ro) - 1), min(self.w, int(cx + ro) + 2)):
                d = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
                if ri * ri <= d <= ro * ro:
                    self.set(x, y, c)

    def text(self, x, y, s, c, scale=1):
        """The 5 x 7 font, one blank column between letters."""
        for ch in s:
            rows = FONT5X7[ch]
            for j, row in enumerate(rows):
                for i, bit in enumerate(row):
                    if bit == '#':
                        self.fill_rect(x + i * scale, y + j * scale, x + (i + 1) * scale, y + (j + 1) * scale, c)
            x += 6 * scale

    def downsample(self, k):
        """Box filter by k in both directions (sizes divisible by k)."""
        out = Canvas(self.w // k, self.h // k)
        kk = k * k
        for y in range(out.h):
            for x in range(out.w):
                s = [0, 0, 0]
                for j in range(k):
                    base = 3 * ((y * k + j) * self.w + x * k)
                    for i in range(k):
                        s[0] += self.px[base + 3 * i]
                        s[1] += self.px[base + 3 * i + 1]
                        s[2] += self.px[base + 3 * i + 2]
                out.set(x, y, tuple((v + kk // 2) // kk for v in s))
        return out


def arc_points(centre, r, a0, a1, steps):
    """Points on a circle from angle a0 to a1 (degrees, counter-clockwise on
    screen, 0 pointing right)."""
    cx, cy = centre
    out = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        out.append((cx + r * math.cos(a), cy - r * math.sin(a)))
    return out


def arrow_head(tip, direction, size):
    """Triangle of an arrow pointing along direction (dx, dy) to tip."""
    dx, dy = direction
    ln = math.sqrt(dx * dx + dy * dy)
    dx, dy = dx / ln, dy / ln
    bx, by = tip[0] - dx * size, tip[1] - dy * size
    return [tip, (bx - dy * size * 0.6, by + dx * size * 0.6), (bx + dy * size * 0.6, by - dx * size * 0.6)]


FONT5X7 = {
    ' ': ['.....'] * 7,
    '+': ['.....', '..#..', '..#..', '#####', '..#..', '..#..', '.....'],
    '-': ['.....', '.....', '.....', '#####', '.....', '.....', '.....'],
    '?': ['.###.', '#...#', '....#', '...#.', '..#..', '.....', '..#..'],
    '0': ['.###.', '#...#', '#..##', '#.#.#', '##..#', '#...#', '.###.'],
    '3': ['####.', '....#', '....#', '.###.', '....#', '....#', '####.'],
    '5': ['#####', '#....', '####.', '....#', '....#', '#...#', '.###.'],
    'A': ['.###.', '#...#', '#...#', '#####', '#...#', '#...#', '#...#'],
    'B': ['####.', '#...#', '#...#', '####.', '#...#', '#...#', '####.'],
    'L': ['#....', '#....', '#....', '#....', '#....', '#....', '#####'],
    'R': ['####.', '#...#', '#...#', '####.', '#.#..', '#..#.', '#...#'],
    'V': ['#...#', '#...#', '#...#', '#...#', '#...#', '.#.#.', '..#..'],
    'i': ['..#..', '.....', '.##..', '..#..', '..#..', '..#..', '.###.'],
}


# --- file writers -----------------------------------------------------------

def bmp24_bytes(cv):
    """A BMP file: BITMAPFILEHEADER, BITMAPINFOHEADER, 24-bit rows bottom-up."""
    row = (cv.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(cv.h - 1, -1, -1):
        r = bytearray()
        for x in range(cv.w):
            k = 3 * (y * cv.w + x)
            r += bytes((cv.px[k + 2], cv.px[k + 1], cv.px[k]))
        r += bytes(row - len(r))
        data += r
    info = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + bytes(data)


def icon_image_bytes(cv, mask):
    """One ICO/CUR image: BITMAPINFOHEADER of twice the height, 24-bit XOR
    rows and 1-bit AND rows, both bottom-up.  mask[y][x] true = opaque (AND
    bit 0); transparent pixels carry black in the XOR rows."""
    xrow = (cv.w * 3 + 3) & ~3
    arow = ((cv.w + 31) // 32) * 4
    xor = bytearray()
    andb = bytearray()
    for y in range(cv.h - 1, -1, -1):
        r = bytearray()
        for x in range(cv.w):
            if mask[y][x]:
                c = cv.get(x, y)
                r += bytes((c[2], c[1], c[0]))
            else:
                r += b'\x00\x00\x00'
        xor += r + bytes(xrow - len(r))
        bits = bytearray(arow)
        for x in range(cv.w):
            if not mask[y][x]:
                bits[x >> 3] |= 0x80 >> (x & 7)
        andb += bits
    info = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h * 2, 1, 24, 0, len(xor) + len(andb), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(andb)


def icon_file_bytes(images, kind=1, hotspots=None):
    """An ICO (kind 1) or CUR (kind 2) file of (canvas, mask) images; a
    cursor's directory entries carry the hotspot in place of planes and
    depth."""
    out = struct.pack('<HHH', 0, kind, len(images))
    blobs = [icon_image_bytes(cv, m) for cv, m in images]
    offset = 6 + 16 * len(images)
    for i, ((cv, _), blob) in enumerate(zip(images, blobs)):
        if kind == 2:
            a, b = hotspots[i]
        else:
            a, b = 1, 24
        out += struct.pack('<BBBBHHII', cv.w & 255, cv.h & 255, 0, 0, a, b, len(blob), offset)
        offset += len(blob)
    return out + b''.join(blobs)


def pgm_bytes(w, h, grey):
    return b'P5\n%d %d\n255\n' % (w, h) + bytes(grey)


def png_bytes(cv):
    raw = b''.join(b'\x00' + bytes(cv.px[y * cv.w * 3:(y + 1) * cv.w * 3]) for y in range(cv.h))

    def chunk(t, d):
        c = struct.pack('>I', len(d)) + t + d
        return c + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', cv.w, cv.h, 8, 2, 0, 0, 0))
    return data + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')


def read_bmp24(data):
    """The canvas of a 24-bit BMP file written by bmp24_bytes."""
    off = struct.unpack_from('<I', data, 10)[0]
    w, h = struct.unpack_from('<ii', data, 18)
    bpp = struct.unpack_from('<H', data, 28)[0]
    assert bpp == 24 and h > 0
    row = (w * 3 + 3) & ~3
    cv = Canvas(w, h)
    for y in range(h):
        base = off + (h - 1 - y) * row
        for x in range(w):
            b, g, r = data[base + 3 * x:base + 3 * x + 3]
            cv.set(x, y, (r, g, b))
    return cv


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data)
