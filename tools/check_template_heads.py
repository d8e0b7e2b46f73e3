#!/usr/bin/env python3
"""Checks the built-in template heads and age shapes.

Usage: check_template_heads.py [--self-test] [TEMPLATE_DIR]

Reads 121.the, 122.the, 101.the, 102.the and the age shapes 1220-1223 and
1228 record by record (as the model reader lays them out) and asserts what
the program relies on: header and flags, dense indices, a consistently
oriented 2-manifold open only at the neck, quad halves, exact mirror
symmetry, the group, material and texture tables, the areas and regions,
the named feature points, and one line per vertex in every age shape.
Prints one line per failure and exits 1 when any check fails.  With
--self-test it plants faults in a copy of the full head and fails when the
checks miss one.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

COLORS = ['color_of_erme', 'color_of_skin', 'color_of_mouth', 'color_of_hair',
          'color_of_eyeball', 'color_of_eye', 'color_of_pupil', 'color_of_tooth',
          'color_of_mouth0', 'color_of_mouth00']
TABLE_REGIONS = ['mouth', 'mouth_0', 'mouth_00', 'nose', 'nose_0', 'left_eye',
                 'left_eye_0', 'left_eye_00', 'right_eye', 'right_eye_0',
                 'right_eye_00', 'left_ear', 'left_ear_0', 'right_ear',
                 'right_ear_0']
# name -> weight (the point table's, else 1)
POINTS = {
    'top_of_the_forehead': 1.0, 'bridge_of_the_nose': 1.0, 'tip_of_the_nose': 2.0,
    'bottom_of_the_nose': 1.0, 'top_of_the_mouth': 1.0, 'bottom_of_the_mouth': 1.0,
    'top_of_the_left_ear': 1.0, 'top_of_the_right_ear': 1.0,
    'left_corner_of_the_left_eye': 5.0, 'right_corner_of_the_left_eye': 1.0,
    'left_corner_of_the_right_eye': 1.0, 'right_corner_of_the_right_eye': 5.0,
    'left_corner_of_the_mouth': 1.0, 'right_corner_of_the_mouth': 1.0,
    'top_of_the_left_eye': 1.0, 'bottom_of_the_left_eye': 1.0,
    'top_of_the_right_eye': 1.0, 'bottom_of_the_right_eye': 1.0,
    'left_edge_of_the_nose': 0.0, 'right_edge_of_the_nose': 0.0,
    '_contour_0': 1.0, '_contour_180': 1.0, '_contour_210': 0.0,
    '_contour_240': 1.0, '_contour_270': 5.0, '_contour_300': 1.0,
    '_contour_330': 0.0,
    'top_of_the_chin': 5.0, 'left_corner_of_the_left_eyebrow': 1.0,
    'middle_of_the_left_eyebrow': 1.0, 'right_corner_of_the_left_eyebrow': 1.0,
    'left_corner_of_the_right_eyebrow': 1.0, 'middle_of_the_right_eyebrow': 1.0,
    'right_corner_of_the_right_eyebrow': 1.0, 'left_side_of_the_chin': 5.0,
    'right_side_of_the_chin': 5.0, 'left_cheek': 1.0, 'right_cheek': 1.0,
    'top_of_the_nose': 1.0, 'middle_of_the_left_ear': 1.0,
    'bottom_of_the_left_ear': 1.0, 'middle_of_the_right_ear': 1.0,
    'bottom_of_the_right_ear': 1.0, 'left_side_of_the_neck': 1.0,
    'middle_of_the_neck': 1.0, 'right_side_of_the_neck': 1.0,
    '_contour_30': 1.0, '_contour_60': 1.0, '_contour_90': 1.0,
    '_contour_120': 1.0, '_contour_150': 1.0,
}
MARGIN = 24.0 / 512.0


def mirror_name(name):
    if name.startswith('_contour_'):
        return '_contour_%d' % ((540 - int(name[9:])) % 360)
    return '_'.join({'left': 'right', 'right': 'left'}.get(p, p)
                    for p in name.split('_'))


def side_of(name):
    """-1 for the x < 0 side, 1 for x > 0, by the last side word of the
    name or the contour angle."""
    if name.startswith('_contour_'):
        ang = int(name[9:])
        return 0 if ang in (90, 270) else (-1 if 90 < ang < 270 else 1)
    words = [w for w in name.split('_') if w in ('left', 'right')]
    return 0 if not words else (-1 if words[-1] == 'left' else 1)


class Tokens:
    def __init__(self, text):
        self.t = text.split()
        self.i = 0

    def word(self):
        if self.i >= len(self.t):
            raise ValueError('file ends early')
        self.i += 1
        return self.t[self.i - 1]

    def int(self):
        return int(self.word())

    def real(self):
        return float(self.word())

    def count(self, word):
        n = self.int()
        w = self.word()
        if w != 'of::' + word:
            raise ValueError('count line of %s reads %s' % (word, w))
        return n

    def name(self, word):
        w = self.word()
        prefix = 'th::%s::' % word
        if not w.startswith(prefix):
            raise ValueError('name token %s' % w)
        return w[len(prefix):]


def read_head(path):
    with open(path, 'rb') as f:
        text = f.read().decode('ascii')
    tk = Tokens(text)
    h = {'raw': text}
    h['header'] = (tk.int(), tk.int(), tk.int())
    h['status'], h['flag'] = tk.int(), tk.int()
    h['offset'] = (tk.real(), tk.real(), tk.real())
    h['scale'] = tk.real()
    nm = tk.word()
    assert nm.startswith('AllOfEditedData3D::'), nm
    words = ['Vertex', 'Triangle', 'EditPoint', 'FeaturePoint3D', 'FeatureLine3D',
             'FeatureColor', 'BasicArea', 'AnatomicalRegion', 'Group', 'Material',
             'TxtCoordinate']
    counts = [tk.count(w) for w in words]
    assert tk.word() == '::::::'
    n = tk.count('Vertex')
    assert n == counts[0]
    h['vx'], h['vlink'], h['vtext'] = [], [], []
    for i in range(n):
        assert tk.int() == i, 'vertex index'
        h['vlink'].append(tk.int())
        s = (tk.word(), tk.word(), tk.word())
        h['vtext'].append(s)
        h['vx'].append(tuple(float(c) for c in s))
    n = tk.count('Triangle')
    assert n == counts[1]
    h['tri'] = []
    for i in range(n):
        assert tk.int() == i, 'triangle index'
        h['tri'].append({'mirror': tk.int(), 'partner': tk.int(),
                         'v': (tk.int(), tk.int(), tk.int()),
                         'g': tk.int(), 'm': tk.int(),
                         'c': (tk.int(), tk.int(), tk.int())})
    assert tk.count('EditPoint') == counts[2] == 0
    n = tk.count('FeaturePoint3D')
    assert n == counts[3]
    h['fp'] = []
    for i in range(n):
        assert tk.int() == i
        name = tk.name('FeaturePoint3D')
        h['fp'].append({'name': name, 'k': tk.int(), 'mirror': tk.int(),
                        'e': tk.int(), 'v': tk.int(), 'w': tk.real()})
    assert tk.count('FeatureLine3D') == counts[4] == 0
    n = tk.count('FeatureColor')
    assert n == counts[5]
    h['colors'] = []
    for i in range(n):
        assert tk.int() == i
        h['colors'].append((tk.name('FeatureColor'), tk.real(), tk.real(), tk.real()))
    n = tk.count('BasicArea')
    assert n == counts[6]
    h['areas'] = []
    for i in range(n):
        assert tk.int() == i
        assert tk.word() == 'th::BasicArea'
        assert tk.int() == -1
        k = tk.count('Triangle')
        assert tk.count('Triangle') == k
        h['areas'].append([tk.int() for _ in range(k)])
    n = tk.count('AnatomicalRegion')
    assert n == counts[7]
    h['regions'] = []
    for i in range(n):
        assert tk.int() == i
        r = {'name': tk.name('AnatomicalRegion'), 's': tk.int(), 'mirror': tk.int(),
             'color': tk.int(), 'line': tk.int()}
        r['frame'] = [tk.real() for _ in range(12)]
        na, nl, npnt = tk.count('BasicArea'), tk.count('FeatureLine3D'), tk.count('FeaturePoint3D')
        assert tk.count('BasicArea') == na
        r['areas'] = [tk.int() for _ in range(na)]
        assert tk.count('FeatureLine3D') == nl
        r['lines'] = [tk.int() for _ in range(nl)]
        assert tk.count('FeaturePoint3D') == npnt
        r['points'] = [tk.int() for _ in range(npnt)]
        h['regions'].append(r)
    n = tk.count('Group')
    assert n == counts[8]
    h['groups'] = []
    for i in range(n):
        assert tk.int() == i
        h['groups'].append((tk.word(), tk.real(), tk.real(), tk.real()))
    n = tk.count('Material')
    assert n == counts[9]
    h['materials'] = []
    for i in range(n):
        assert tk.int() == i
        h['materials'].append(tk.word())
    n = tk.count('TxtCoordinate')
    assert n == counts[10]
    h['txt'] = []
    for i in range(n):
        assert tk.int() == i
        h['txt'].append((tk.real(), tk.real()))
    assert tk.i == len(tk.t), 'tokens after the tables'
    assert text[-1] in '\t\n', 'the text must end in white space'
    return h


class Checker:
    def __init__(self):
        self.failures = []

    def expect(self, cond, what):
        if not cond:
            self.failures.append(what)
        return cond


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
            a[0] * b[1] - a[1] * b[0])


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def check_surface(ck, tag, verts, tris, open_loops, whole=True):
    """Dense, no loose vertices, no degenerate triangles, consistently
    oriented 2-manifold with the given number of boundary loops."""
    used = [0] * len(verts)
    directed = {}
    for ti, t in enumerate(tris):
        a, b, c = t
        ck.expect(len({a, b, c}) == 3, '%s: triangle %d repeats a corner' % (tag, ti))
        for v in t:
            ck.expect(0 <= v < len(verts), '%s: triangle %d corner out of range' % (tag, ti))
            used[v] += 1
        n = cross(sub(verts[b], verts[a]), sub(verts[c], verts[a]))
        area = 0.5 * (n[0] ** 2 + n[1] ** 2 + n[2] ** 2) ** 0.5
        ck.expect(area > 1e-4, '%s: triangle %d is degenerate (area %g)' % (tag, ti, area))
        for e in ((a, b), (b, c), (c, a)):
            ck.expect(e not in directed, '%s: edge %s twice in one direction' % (tag, e))
            directed[e] = ti
    if whole:
        ck.expect(all(used), '%s: %d loose vertices' % (tag, used.count(0)))
    boundary = [e for e in directed if (e[1], e[0]) not in directed]
    nxt = {}
    for a, b in boundary:
        ck.expect(a not in nxt, '%s: boundary vertex %d twice' % (tag, a))
        nxt[a] = b
    loops, seen = 0, set()
    for a in nxt:
        if a in seen:
            continue
        loops += 1
        v = a
        while v not in seen and v in nxt:
            seen.add(v)
            v = nxt[v]
    ck.expect(loops == open_loops, '%s: %d boundary loops, want %d' % (tag, loops, open_loops))
    # every vertex's fan is one piece (no pinched vertices)
    fans = {}
    for a, b, c in tris:
        for v, p, q in ((a, b, c), (b, c, a), (c, a, b)):
            fans.setdefault(v, []).append((p, q))
    for v, fan in fans.items():
        nxt_f = dict(fan)
        starts = set(nxt_f) - set(nxt_f.values())
        start = next(iter(starts)) if starts else fan[0][0]
        k, p = 0, start
        while p in nxt_f and k <= len(fan):
            p = nxt_f[p]
            k += 1
            if p == start:
                break
        if not ck.expect(k == len(fan), '%s: vertex %d is not a manifold vertex' % (tag, v)):
            break


def vertex_mirrors(h):
    """For each vertex the one at the mirrored position (itself on the
    middle line), -1 when there is none or the position is not unique."""
    at, twice = {}, set()
    for i, p in enumerate(h['vx']):
        if p in at:
            twice.add(p)
        at[p] = i
    out = []
    for p in h['vx']:
        q = (-p[0], p[1], p[2])
        out.append(-1 if p in twice or q in twice else at.get(q, -1))
    return out


def mirror_triangle(h, i, vm):
    """The triangle on the mirrored corners of triangle i, or -1."""
    if 'tri_by_corners' not in h or len(h['tri_by_corners']) != len(h['tri']):
        h['tri_by_corners'] = {tuple(sorted(t['v'])): k for k, t in enumerate(h['tri'])}
    return h['tri_by_corners'].get(tuple(sorted(vm[v] for v in h['tri'][i]['v'])), -1)


def check_full_head(ck, tag, h):
    V, T = h['vx'], h['tri']
    ck.expect(h['header'] == (3, 1, 0), '%s: header %s' % (tag, h['header']))
    ck.expect(h['status'] == 1 and h['flag'] == 1, '%s: status and flag' % tag)
    ck.expect(h['scale'] > 0, '%s: scale' % tag)
    n = len(V)
    ck.expect(15000 < n < 20000, '%s: %d vertices' % (tag, n))
    check_surface(ck, tag, V, [t['v'] for t in T], 1)
    # one open loop: the neck, the lowest part of the head
    # quads
    for i, t in enumerate(T):
        want = i + 1 if i % 2 == 0 else -1
        if not ck.expect(t['partner'] == want, '%s: triangle %d quad partner' % (tag, i)):
            break
        if i % 2 == 0:
            a, b, c = t['v']
            a2, b2, c2 = T[i + 1]['v']
            ck.expect(a2 == a and b2 == c, '%s: quad %d halves do not share the diagonal' % (tag, i // 2))
    # mirror symmetry of vertices and triangles: the files store no mirror
    # links (-1, as loading a template expects); the pairs follow from the
    # positions
    ck.expect(all(m == -1 for m in h['vlink']), '%s: a vertex carries a mirror link' % tag)
    ck.expect(all(t['mirror'] == -1 for t in T), '%s: a triangle carries a mirror link' % tag)
    vm = vertex_mirrors(h)
    for i, (m, s, p) in enumerate(zip(vm, h['vtext'], V)):
        if not ck.expect(m != -1, '%s: vertex %d has no mirror vertex' % (tag, i)):
            break
        if m == i:
            ck.expect(abs(p[0]) < 1e-8, '%s: vertex %d on the mirror plane has x %s' % (tag, i, s[0]))
        else:
            ck.expect(abs(p[0]) >= 1e-8 and h['vtext'][m][1:] == s[1:],
                      '%s: vertex %d and its mirror %d are not symmetric' % (tag, i, m))
    for i, t in enumerate(T):
        m = mirror_triangle(h, i, vm)
        if not ck.expect(m != -1, '%s: triangle %d has no mirror triangle' % (tag, i)):
            break
        ck.expect(T[m]['g'] in (t['g'], {1: 2, 2: 1}.get(t['g'], t['g'])) and T[m]['m'] == t['m'],
                  '%s: triangle %d mirror has another group or material' % (tag, i))
    # tables
    G = h['groups']
    head_rows = [i for i, g in enumerate(G) if g[0].lower().startswith('head')]
    ck.expect(len(head_rows) == 1, '%s: one head group row' % tag)
    ck.expect(all(g[1:] == (0.0, 0.0, 0.0) for g in G), '%s: group values are zero' % tag)
    skin = [t for t in T if t['g'] in head_rows]
    eyes = [t for t in T if t['g'] not in head_rows]
    ck.expect(len(G) >= 3 and len(eyes) > 0, '%s: eye groups' % tag)
    check_surface(ck, tag + ' skin', V, [t['v'] for t in skin], 1, False)
    for g in set(t['g'] for t in eyes):
        check_surface(ck, tag + ' eye group %d' % g, V, [t['v'] for t in eyes if t['g'] == g], 0, False)
    # only the skin is open, at the neck (bottom)
    M = [m.lower() for m in h['materials']]
    for key in ('skinface', 'skinhead', 'lip', 'eyesocket'):
        rows = [i for i, m in enumerate(M) if key in m]
        ck.expect(rows and 0 not in rows, '%s: material row with %s (not row 0)' % (tag, key))
    for row in (2, 7, 15):
        ck.expect(not any(t['m'] == row for t in T), '%s: material row %d holds triangles' % (tag, row))
    face = [i for i, m in enumerate(M) if 'skinface' in m]
    lip = [i for i, m in enumerate(M) if 'lip' in m]
    sock = [i for i, m in enumerate(M) if 'eyesocket' in m]
    for rows, what in ((face, 'face'), (lip, 'lip'), (sock, 'eye socket')):
        ck.expect(any(t['m'] in rows for t in skin), '%s: no %s triangles' % (tag, what))
    # texture
    X = h['txt']
    rows_of = {}
    for t in T:
        for v, c in zip(t['v'], t['c']):
            if not ck.expect(0 <= c < len(X), '%s: texture row out of range' % tag):
                return
            rows_of.setdefault(v, set()).add(c)
    ck.expect(all(len(r) == 1 for r in rows_of.values()), '%s: a vertex with two texture rows' % tag)
    row = {v: next(iter(r)) for v, r in rows_of.items()}
    bad = [v for v in row if not (MARGIN <= X[row[v]][0] <= 1 - MARGIN and MARGIN <= X[row[v]][1] <= 1 - MARGIN)]
    ck.expect(not bad, '%s: %d texture coordinates in the margin' % (tag, len(bad)))
    for v, r in row.items():
        m = vm[v]
        if m not in row:
            continue  # reported with the vertices
        u, w = X[r]
        mu, mw = X[row[m]]
        if not ck.expect(abs(mu - (1.0 - u)) < 1e-6 and mw == w, '%s: texture of %d not mirrored' % (tag, v)):
            break
        if V[v][0] < 0 and any(t['g'] in head_rows for t in T[:0]):
            pass
    skin_vs = set(v for t in skin for v in t['v'])
    ck.expect(all(X[row[v]][0] < 0.5 for v in skin_vs if V[v][0] < 0), '%s: x < 0 not at u < 0.5' % tag)
    # one island over the skin
    parent = list(range(len(X)))

    def find(a):
        while parent[a] != a:
            parent[a] = parent[parent[a]]
            a = parent[a]
        return a
    for t in skin:
        a, b, c = (find(k) for k in t['c'])
        parent[b] = a
        parent[find(c)] = a
    ck.expect(len(set(find(row[v]) for v in skin_vs)) == 1, '%s: skin texture is not one island' % tag)
    # colours
    ck.expect([c[0] for c in h['colors']] == COLORS, '%s: colour table' % tag)
    # areas and regions
    seen = [0] * len(T)
    for a in h['areas']:
        ck.expect(a == sorted(a), '%s: area list not ascending' % tag)
        for t in a:
            seen[t] += 1
    ck.expect(all(s == 1 for s in seen), '%s: triangles not in exactly one area' % tag)
    R = {r['name']: r for r in h['regions']}
    whole = R.get('whole_head')
    ck.expect(whole is not None and sorted(whole['areas']) == list(range(len(h['areas']))),
              '%s: whole_head does not hold every area' % tag)
    names = [r['name'] for r in h['regions']]
    for rn in TABLE_REGIONS:
        ck.expect(rn in R and R[rn]['areas'], '%s: region %s missing or empty' % (tag, rn))
    for i, r in enumerate(h['regions']):
        m = r['mirror']
        ck.expect(0 <= m < len(names) and mirror_name(r['name']) == names[m], '%s: region %s mirror' % (tag, r['name']))
        ck.expect(0 <= r['color'] < len(COLORS), '%s: region %s colour' % (tag, r['name']))
    # feature points
    F = h['fp']
    byname = {f['name']: f for f in F}
    ck.expect(sorted(byname) == sorted(POINTS) and len(F) == len(POINTS), '%s: feature point names' % tag)
    fverts = [f['v'] for f in F]
    ck.expect(len(set(fverts)) == len(fverts), '%s: two feature points on one vertex' % tag)
    fnames = [f['name'] for f in F]
    for f in F:
        nm = f['name']
        ck.expect(f['e'] == -1 and 0 <= f['v'] < n, '%s: %s not fixed to a vertex' % (tag, nm))
        ck.expect(f['w'] == POINTS.get(nm), '%s: %s weight %s' % (tag, nm, f['w']))
        ck.expect(0 <= f['mirror'] < len(F) and fnames[f['mirror']] == mirror_name(nm), '%s: %s mirror' % (tag, nm))
        mf = byname.get(mirror_name(nm))
        if mf:
            ck.expect(0 <= f['v'] < n and vm[f['v']] == mf['v'], '%s: %s not on the mirror vertex of its pair' % (tag, nm))
        x = V[f['v']][0]
        if mirror_name(nm) == nm:
            ck.expect(x == 0.0, '%s: %s off the middle line' % (tag, nm))
        elif side_of(nm) < 0:
            ck.expect(x < 0, '%s: %s not at x < 0' % (tag, nm))
        else:
            ck.expect(x > 0, '%s: %s not at x > 0' % (tag, nm))
    tip = byname['tip_of_the_nose']['v']
    zmax = max(p[2] for p in V)
    ck.expect(V[tip][2] == zmax and sum(1 for p in V if p[2] == zmax) == 1 and V[tip][0] == 0.0,
              '%s: the nose tip is not the unique foremost vertex' % tag)
    ex = V[byname['right_corner_of_the_right_eye']['v']][0]
    ck.expect(38.0 < ex < 52.0, '%s: outer eye corners at x = +-%.1f' % (tag, ex))
    # contour points lie around the face in angle order
    fy = V[byname['_contour_0']['v']][1]
    for ang in (30, 60, 90, 120, 150):
        ck.expect(V[byname['_contour_%d' % ang]['v']][1] > fy, '%s: _contour_%d below _contour_0' % (tag, ang))
    for ang in (210, 240, 270, 300, 330):
        ck.expect(V[byname['_contour_%d' % ang]['v']][1] < fy, '%s: _contour_%d above _contour_0' % (tag, ang))
    # texture: forehead up, chin down, face centred
    fh, ch = row[byname['top_of_the_forehead']['v']], row[byname['_contour_270']['v']]
    ck.expect(X[fh][1] > X[row[tip]][1] > X[ch][1], '%s: texture is not upright' % tag)
    ck.expect(X[row[tip]][0] == 0.5, '%s: texture not centred on the nose' % tag)
    # region points as the point table lists them
    for r in h['regions']:
        for p in r['points']:
            ck.expect(0 <= p < len(F), '%s: region %s point index' % (tag, r['name']))


def check_cube(ck, h):
    ck.expect(h['header'] == (3, 1, 0) and h['status'] == 1 and h['flag'] == 0, 'cube: header')
    ck.expect(len(h['vx']) == 8 and len(h['tri']) == 12, 'cube: size')
    check_surface(ck, 'cube', h['vx'], [t['v'] for t in h['tri']], 0)
    ck.expect(len(h['areas']) == 1 and h['areas'][0] == list(range(12)), 'cube: one area of all triangles')
    ck.expect([c[0] for c in h['colors']] == COLORS, 'cube: colours')
    ck.expect('\r\n' in h['raw'], 'cube: carriage-return line feeds')
    for t in h['tri']:
        ck.expect(all(0 <= c < len(h['txt']) for c in t['c']), 'cube: texture rows')


def read_table(path):
    """Rows of a FEATURES table: the comma-closed fields, trimmed."""
    rows = []
    with open(path, 'rb') as f:
        for line in f.read().decode('latin-1').split('\n'):
            if not line.strip() or line.startswith('#'):
                continue
            rows.append([x.strip() for x in line.split(',')[:-1]])
    return rows


def check_against_tables(ck, h, features):
    """The head agrees with the built-in feature tables: point weights,
    mirror codes and region links of group 0, region mirrors and colours,
    and the colour table."""
    byname = {f['name']: (i, f) for i, f in enumerate(h['fp'])}
    names = [f['name'] for f in h['fp']]
    regions = {r['name']: r for r in h['regions']}
    rnames = [r['name'] for r in h['regions']]
    for row in read_table(os.path.join(features, '143.txt')):
        code = row[0]
        if '@' in code:
            continue
        if not ck.expect(code in byname, 'table point %s missing' % code):
            continue
        i, f = byname[code]
        ck.expect(f['w'] == float(row[2]), '%s: weight %s, table %s' % (code, f['w'], row[2]))
        ck.expect(names[f['mirror']] == row[1], '%s: mirror %s, table %s' % (code, names[f['mirror']], row[1]))
        for rn in row[10:]:
            ck.expect(rn in regions and i in regions[rn]['points'], '%s: not in region %s' % (code, rn))
    cnames = [c[0] for c in h['colors']]
    for k, row in enumerate(read_table(os.path.join(features, '146.txt'))):
        c = h['colors'][k] if k < len(h['colors']) else (None, 0, 0, 0)
        ck.expect(c[0] == row[0] and all(abs(c[j + 1] - float(row[j + 1])) < 1e-6 for j in range(3)),
                  'colour %d differs from the table' % k)
    for row in read_table(os.path.join(features, '147.txt')):
        r = regions.get(row[0])
        if not ck.expect(r is not None, 'table region %s missing' % row[0]):
            continue
        ck.expect(rnames[r['mirror']] == row[1], '%s: mirror region' % row[0])
        ck.expect(cnames[r['color']] == row[2], '%s: colour' % row[0])
        for nb in row[5:]:
            ck.expect(set(r['areas']) <= set(regions[nb]['areas']),
                      '%s: not inside its neighbour %s' % (row[0], nb))


def read_morph(path):
    out = []
    with open(path, 'rb') as f:
        data = f.read().decode('ascii')
    assert data.endswith('\n')
    for line in data.split('\n')[:-1]:
        parts = line.split(' ')
        assert len(parts) == 3, line
        out.append(tuple(float(p) for p in parts))
    return out


def check_morph(ck, tag, pts, h):
    n = len(h['vx'])
    ck.expect(len(pts) == n, '%s: %d lines for %d vertices' % (tag, len(pts), n))
    if len(pts) != n:
        return None
    s, o = h['scale'], h['offset']
    head = [(s * p[0] - o[0], s * p[1] - o[1], s * p[2] - o[2]) for p in pts]
    for i, m in enumerate(vertex_mirrors(h)):
        if not ck.expect(m != -1 and pts[m][0] == -pts[i][0] and pts[m][1:] == pts[i][1:], '%s: line %d not mirrored' % (tag, i)):
            break
    check_surface(ck, tag, head, [t['v'] for t in h['tri']], 1)
    return head


def self_test(folder):
    """Each planted fault in a copy of the full head must be reported."""
    import copy
    full = read_head(os.path.join(folder, '122.the'))
    tip = next(f['v'] for f in full['fp'] if f['name'] == 'tip_of_the_nose')
    side = next(i for i, p in enumerate(full['vx']) if p[0] > 10)

    def move_x(h):
        p = h['vx'][side]
        h['vx'][side] = (p[0] + 0.5, p[1], p[2])

    def turn_over(h):
        t = h['tri'][10]
        t['v'] = (t['v'][0], t['v'][2], t['v'][1])

    def drop_point(h):
        h['fp'] = [f for f in h['fp'] if f['name'] != 'top_of_the_chin']

    def unmirror_texture(h):
        r = h['tri'][0]['c'][0]
        h['txt'][r] = (h['txt'][r][0] + 0.01, h['txt'][r][1])

    def use_row_2(h):
        h['tri'][0]['m'] = 2
        h['tri'][mirror_triangle(h, 0, vertex_mirrors(h))]['m'] = 2

    def tip_not_foremost(h):
        p = h['vx'][tip]
        h['vx'][side] = (h['vx'][side][0], h['vx'][side][1], p[2])

    def no_whole_head(h):
        h['regions'] = [r for r in h['regions'] if r['name'] != 'whole_head']

    def loose_vertex(h):
        h['vx'].append((0.0, 0.0, 0.0))
        h['vlink'].append(-1)
        h['vtext'].append(('0.000000',) * 3)

    def stored_mirror_link(h):
        h['vlink'][5] = 6

    def lost_partner(h):
        h['tri'][4]['partner'] = -1

    def wrong_weight(h):
        h['fp'][0]['w'] = 3.0

    def point_off_its_pair(h):
        f = next(f for f in h['fp'] if f['name'] == 'left_cheek')
        f['v'] = next(i for i, p in enumerate(h['vx']) if p[0] < -10 and i not in
                      [g['v'] for g in h['fp']])

    faults = [move_x, turn_over, drop_point, unmirror_texture, use_row_2,
              tip_not_foremost, no_whole_head, loose_vertex, lost_partner,
              wrong_weight, point_off_its_pair, stored_mirror_link]
    missed = []
    for fault in faults:
        h = copy.deepcopy(full)
        fault(h)
        ck = Checker()
        check_full_head(ck, fault.__name__, h)
        if not ck.failures:
            missed.append(fault.__name__)
    ck = Checker()
    pts = read_morph(os.path.join(folder, '1222.txt'))
    check_morph(ck, 'short', pts[:-1], full)
    if not ck.failures:
        missed.append('short morph')
    for name in missed:
        print('FAIL: fault not reported:', name)
    print('%d faults planted, %d missed' % (len(faults) + 1, len(missed)))
    return 1 if missed else 0


def main(argv):
    if len(argv) > 1 and argv[1] == '--self-test':
        return self_test(argv[2] if len(argv) > 2 else os.path.join(REPO, 'resources', 'TEMPLATE'))
    folder = argv[1] if len(argv) > 1 else os.path.join(REPO, 'resources', 'TEMPLATE')
    ck = Checker()
    check_cube(ck, read_head(os.path.join(folder, '121.the')))
    full = read_head(os.path.join(folder, '122.the'))
    check_full_head(ck, '122', full)
    for num in ('101', '102'):
        h = read_head(os.path.join(folder, num + '.the'))
        check_full_head(ck, num, h)
        ck.expect([t for t in h['tri']] == full['tri'], '%s: triangles differ from 122' % num)
        for key in ('fp', 'areas', 'regions', 'groups', 'materials', 'txt', 'colors', 'vlink', 'offset', 'scale'):
            ck.expect(h[key] == full[key], '%s: %s differ from 122' % (num, key))
        ck.expect(h['vx'] != full['vx'], '%s: same shape as 122' % num)
    features = os.path.join(folder, os.pardir, 'FEATURES')
    if os.path.isfile(os.path.join(features, '143.txt')):
        check_against_tables(ck, full, features)
    shapes = {}
    for num in ('1220', '1221', '1222', '1223', '1228'):
        shapes[num] = check_morph(ck, num, read_morph(os.path.join(folder, num + '.txt')), full)
    own = shapes['1222']
    if own:
        d = max(abs(a - b) for p, q in zip(own, full['vx']) for a, b in zip(p, q))
        ck.expect(d < 0.01, '1222: not the full head\'s own shape (off by %g)' % d)
    for num in ('1220', '1221', '1223', '1228'):
        if shapes[num] and own:
            d = max(abs(a - b) for p, q in zip(shapes[num], own) for a, b in zip(p, q))
            ck.expect(d > 1.0, '%s: same shape as 1222' % num)
    if shapes['1220'] and own:
        def height(p):
            return max(q[1] for q in p) - min(q[1] for q in p)
        ck.expect(height(shapes['1220']) < height(shapes['1221']) < height(own), 'ages: baby, child, adult not growing')
    for f in ck.failures:
        print('FAIL:', f)
    print('%d failures' % len(ck.failures))
    return 1 if ck.failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
