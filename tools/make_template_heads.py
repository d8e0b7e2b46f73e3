#!/usr/bin/env python3
"""Builds the built-in template heads from the CC0 base mesh.

Usage: make_template_heads.py --data DIR [--out DIR] [--compare DIR]

DIR of --data is the folder of the base mesh: base.obj and targets/ (see
NOTICE).  Writes into --out (default resources/TEMPLATE of the
repository): 122.the (the full
head), 101.the (young man), 102.the (young woman) and the age shapes 1220
(baby), 1221 (child), 1222 (the full head's own shape), 1223 (heavier) and
1228 (old).  121.the (the cube) is written by hand and not touched here.

Only the standard library is used, and every step is deterministic, so the
output is the same byte for byte on every machine; a test regenerates the
files and compares them with the committed ones.

Frame of the heads: y up, face toward +z, mirror plane x = 0.  The source
figure's own left side is at +x; the feature tables name the side by the
picture (the "left" eye is the one at x < 0), so the names below follow the
tables.
"""
import argparse
import filecmp
import math
import os
import struct
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

SCALE = 107.0                  # decimetres -> millimetre-like units
OFFSET = (0.0, 788.0, 66.0)    # head = SCALE * outside - OFFSET
NECK_CUT_Y = 6.0               # source units: head and neck lie above
UV_MARGIN = 0.06               # at least 24 texels at 512 (0.047)
STRETCH = 3.5                  # how much the face is enlarged in the texture

# Shapes as weighted sums of targets.  The full head is sexless.
SHAPES = {
    'young': [('caucasian-male-young', 0.5), ('caucasian-female-young', 0.5)],
    'male': [('caucasian-male-young', 1.0)],
    'female': [('caucasian-female-young', 1.0)],
    'baby': [('caucasian-male-baby', 0.5), ('caucasian-female-baby', 0.5)],
    'child': [('caucasian-male-child', 0.5), ('caucasian-female-child', 0.5)],
    'old': [('caucasian-male-old', 0.5), ('caucasian-female-old', 0.5)],
    'heavy': [('caucasian-male-young', 0.5), ('caucasian-female-young', 0.5),
              ('universal-male-young-averagemuscle-maxweight', 0.5),
              ('universal-female-young-averagemuscle-maxweight', 0.5)],
}
AGE_FILES = [('1220', 'baby'), ('1221', 'child'), ('1222', 'young'),
             ('1223', 'heavy'), ('1228', 'old')]
HEAD_FILES = [('122', 'young', 'FullHead'), ('101', 'male', 'MaleHead'),
              ('102', 'female', 'FemaleHead')]

COLORS = [
    ('color_of_erme', 0.33, 0.33, 0.33),
    ('color_of_skin', 0.68, 0.52, 0.50),
    ('color_of_mouth', 0.36, 0.15, 0.19),
    ('color_of_hair', 0.06, 0.04, 0.02),
    ('color_of_eyeball', 0.99, 0.97, 0.94),
    ('color_of_eye', 0.06, 0.04, 0.03),
    ('color_of_pupil', 0.25, 0.15, 0.11),
    ('color_of_tooth', 0.94, 0.93, 0.91),
    ('color_of_mouth0', 0.60, 0.40, 0.41),
    ('color_of_mouth00', 0.48, 0.28, 0.30),
]

GROUPS = ['head~g_head', 'lefteye~g_lefteye', 'righteye~g_righteye']
G_HEAD, G_LEYE, G_REYE = 0, 1, 2
# Row 2 stays empty: the picture-editor mode collapses what it holds.
MATERIALS = ['0_eyeball', '1_skinface', '2_unused', '3_skinhead', '4_lip',
             '5_eyesocket']
M_EYEBALL, M_FACE, M_LIP, M_SOCKET = 0, 1, 4, 5

# Areas (disjoint sets of triangles); the regions are unions of them.
AREAS = ['skin', 'left_eyeball', 'right_eyeball', 'left_lids', 'right_lids',
         'left_brow', 'right_brow', 'lips', 'mouth_ring', 'mouth_outer',
         'nose_core', 'nose_side', 'left_ear', 'right_ear',
         'left_ear_ring', 'right_ear_ring']
A = {name: i for i, name in enumerate(AREAS)}

# name, mirror, colour, areas (the whole-head region holds every area)
REGIONS = [
    ('mouth', 'mouth', 'color_of_mouth00', ['lips']),
    ('mouth_0', 'mouth_0', 'color_of_mouth', ['lips', 'mouth_ring']),
    ('mouth_00', 'mouth_00', 'color_of_mouth0',
     ['lips', 'mouth_ring', 'mouth_outer']),
    ('nose', 'nose', 'color_of_skin', ['nose_core']),
    ('nose_0', 'nose_0', 'color_of_skin', ['nose_core', 'nose_side']),
    ('left_eye', 'right_eye', 'color_of_eyeball', ['left_eyeball']),
    ('left_eye_0', 'right_eye_0', 'color_of_eye', ['left_eyeball', 'left_lids']),
    ('left_eye_00', 'right_eye_00', 'color_of_pupil',
     ['left_eyeball', 'left_lids', 'left_brow']),
    ('right_eye', 'left_eye', 'color_of_eyeball', ['right_eyeball']),
    ('right_eye_0', 'left_eye_0', 'color_of_eye',
     ['right_eyeball', 'right_lids']),
    ('right_eye_00', 'left_eye_00', 'color_of_pupil',
     ['right_eyeball', 'right_lids', 'right_brow']),
    ('left_ear', 'right_ear', 'color_of_skin', ['left_ear']),
    ('left_ear_0', 'right_ear_0', 'color_of_skin', ['left_ear', 'left_ear_ring']),
    ('right_ear', 'left_ear', 'color_of_skin', ['right_ear']),
    ('right_ear_0', 'left_ear_0', 'color_of_skin',
     ['right_ear', 'right_ear_ring']),
    ('whole_head', 'whole_head', 'color_of_skin', list(AREAS)),
]

# Feature points: name, weight, regions (as the feature tables give them).
# Group 0 of the point table first, in its order, then the further points.
FEATURES = [
    ('top_of_the_forehead', 1.0, []),
    ('bridge_of_the_nose', 1.0, ['nose_0']),
    ('tip_of_the_nose', 2.0, ['nose_0']),
    ('bottom_of_the_nose', 1.0, ['nose_0']),
    ('top_of_the_mouth', 1.0, ['mouth_0', 'mouth_00']),
    ('bottom_of_the_mouth', 1.0, ['mouth_0', 'mouth_00']),
    ('top_of_the_left_ear', 1.0, ['left_ear_0']),
    ('left_corner_of_the_left_eye', 5.0, ['left_eye_0', 'left_eye_00']),
    ('right_corner_of_the_left_eye', 1.0, ['left_eye_0', 'left_eye_00']),
    ('left_corner_of_the_right_eye', 1.0, ['right_eye_0', 'right_eye_00']),
    ('right_corner_of_the_right_eye', 5.0, ['right_eye_0', 'right_eye_00']),
    ('top_of_the_right_ear', 1.0, ['right_ear_0']),
    ('left_corner_of_the_mouth', 1.0, ['mouth_0', 'mouth_00']),
    ('right_corner_of_the_mouth', 1.0, ['mouth_0', 'mouth_00']),
    ('top_of_the_left_eye', 1.0, []),
    ('bottom_of_the_left_eye', 1.0, []),
    ('top_of_the_right_eye', 1.0, []),
    ('bottom_of_the_right_eye', 1.0, []),
    ('left_edge_of_the_nose', 0.0, []),
    ('right_edge_of_the_nose', 0.0, []),
    ('_contour_0', 1.0, []),
    ('_contour_180', 1.0, []),
    ('_contour_210', 0.0, []),
    ('_contour_240', 1.0, []),
    ('_contour_270', 5.0, []),
    ('_contour_300', 1.0, []),
    ('_contour_330', 0.0, []),
    ('top_of_the_chin', 5.0, []),
    ('left_corner_of_the_left_eyebrow', 1.0, []),
    ('middle_of_the_left_eyebrow', 1.0, []),
    ('right_corner_of_the_left_eyebrow', 1.0, []),
    ('left_corner_of_the_right_eyebrow', 1.0, []),
    ('middle_of_the_right_eyebrow', 1.0, []),
    ('right_corner_of_the_right_eyebrow', 1.0, []),
    ('left_side_of_the_chin', 5.0, []),
    ('right_side_of_the_chin', 5.0, []),
    ('left_cheek', 1.0, []),
    ('right_cheek', 1.0, []),
    ('top_of_the_nose', 1.0, []),
    ('middle_of_the_left_ear', 1.0, ['left_ear_0']),
    ('bottom_of_the_left_ear', 1.0, ['left_ear_0']),
    ('middle_of_the_right_ear', 1.0, ['right_ear_0']),
    ('bottom_of_the_right_ear', 1.0, ['right_ear_0']),
    ('left_side_of_the_neck', 1.0, []),
    ('middle_of_the_neck', 1.0, []),
    ('right_side_of_the_neck', 1.0, []),
    ('_contour_30', 1.0, []),
    ('_contour_60', 1.0, []),
    ('_contour_90', 1.0, []),
    ('_contour_120', 1.0, []),
    ('_contour_150', 1.0, []),
]

# Preview positions of the point table (x from the middle line, y down).
PREVIEW = {
    'top_of_the_forehead': (0, 85), 'bridge_of_the_nose': (0, 131),
    'tip_of_the_nose': (0, 176), 'bottom_of_the_nose': (0, 186),
    'top_of_the_mouth': (0, 205), 'bottom_of_the_mouth': (0, 220),
    'left_corner_of_the_left_eye': (-50, 134),
    'right_corner_of_the_left_eye': (-17, 133),
    'left_corner_of_the_mouth': (-32, 210),
    'left_edge_of_the_nose': (-20, 188),
    'left_corner_of_the_left_eyebrow': (-56, 120),
    'middle_of_the_left_eyebrow': (-33, 117),
    'right_corner_of_the_left_eyebrow': (-18, 120),
    'left_side_of_the_chin': (-36, 244), 'left_cheek': (-46, 174),
    'top_of_the_chin': (0, 257), '_contour_270': (0, 260),
    '_contour_0': (68, 182),
}


def mirror_name(name):
    if name.startswith('_contour_'):
        return '_contour_%d' % ((540 - int(name[9:])) % 360)
    out = []
    for part in name.split('_'):
        out.append({'left': 'right', 'right': 'left'}.get(part, part))
    return '_'.join(out)


# ----------------------------------------------------------------- source

def read_obj(path):
    verts, quads = [], []
    group = None
    with open(path) as f:
        for line in f:
            if line.startswith('v '):
                verts.append(tuple(float(t) for t in line.split()[1:4]))
            elif line.startswith('g '):
                group = line.split()[1]
            elif line.startswith('f '):
                idx = tuple(int(t.split('/')[0]) - 1 for t in line.split()[1:])
                quads.append((group, idx))
    return verts, quads


def read_target(path):
    out = {}
    with open(path) as f:
        for line in f:
            s = line.strip()
            if not s or s.startswith('#'):
                continue
            t = s.split()
            out[int(t[0])] = (float(t[1]), float(t[2]), float(t[3]))
    return out


def shape_positions(base, targets, recipe, used):
    pos = {}
    for i in used:
        x, y, z = base[i]
        for name, w in recipe:
            d = targets[name].get(i)
            if d:
                x += w * d[0]
                y += w * d[1]
                z += w * d[2]
        pos[i] = (x, y, z)
    return pos


# ------------------------------------------------------------ subdivision

class Mesh:
    """The head's quads after one Catmull-Clark step, as stencils over the
    source vertices, so every shape is subdivided the same way."""

    def __init__(self, src_quads, src_mirror):
        self.src_quads = src_quads
        base_ids = []
        seen = set()
        for q in src_quads:
            for v in q:
                if v not in seen:
                    seen.add(v)
                    base_ids.append(v)
        base_ids.sort(key=lambda v: (0, v))
        self.base_ids = base_ids
        vmap = {v: i for i, v in enumerate(base_ids)}
        nb = len(base_ids)
        edges = {}
        edge_list = []
        edge_faces = []
        for qi, q in enumerate(src_quads):
            for k in range(4):
                a, b = q[k], q[(k + 1) % 4]
                key = (min(a, b), max(a, b))
                if key not in edges:
                    edges[key] = len(edge_list)
                    edge_list.append(key)
                    edge_faces.append([])
                edge_faces[edges[key]].append(qi)
        ne = len(edge_list)
        self.n = nb + ne + len(src_quads)
        face_st = []
        for q in src_quads:
            face_st.append({v: 0.25 for v in q})
        edge_st = []
        boundary_nb = {}
        for ei, (a, b) in enumerate(edge_list):
            fs = edge_faces[ei]
            if len(fs) == 1:
                edge_st.append({a: 0.5, b: 0.5})
                boundary_nb.setdefault(a, []).append(b)
                boundary_nb.setdefault(b, []).append(a)
            else:
                st = {a: 0.25, b: 0.25}
                for f in fs:
                    for v, w in face_st[f].items():
                        st[v] = st.get(v, 0.0) + 0.25 * w
                edge_st.append(st)
        vfaces = {}
        vedges = {}
        for qi, q in enumerate(src_quads):
            for v in q:
                vfaces.setdefault(v, []).append(qi)
        for ei, (a, b) in enumerate(edge_list):
            vedges.setdefault(a, []).append(ei)
            vedges.setdefault(b, []).append(ei)
        vert_st = []
        for v in base_ids:
            if v in boundary_nb:
                b0, b1 = boundary_nb[v]
                vert_st.append({v: 0.75, b0: 0.125, b1: 0.125})
                continue
            n = len(vedges[v])
            st = {v: (n - 3.0) / n}
            for f in vfaces[v]:
                for u, w in face_st[f].items():
                    st[u] = st.get(u, 0.0) + w / (n * n)
            for ei in vedges[v]:
                a, b = edge_list[ei]
                for u in (a, b):
                    st[u] = st.get(u, 0.0) + 2.0 * 0.5 / (n * n)
            vert_st.append(st)
        self.stencils = [sorted(s.items()) for s in vert_st + edge_st + face_st]
        # linear stencils (texture coordinates keep their straight edges)
        lin = [[(v, 1.0)] for v in base_ids]
        lin += [[(a, 0.5), (b, 0.5)] for a, b in edge_list]
        lin += [sorted((v, 0.25) for v in q) for q in src_quads]
        self.linear = lin
        # sub-quads: (source vertex, edge point, face point, edge point)
        quads = []
        for qi, q in enumerate(src_quads):
            fp = nb + ne + qi
            for k in range(4):
                a, b, c = q[k - 1], q[k], q[(k + 1) % 4]
                e_next = nb + edges[(min(b, c), max(b, c))]
                e_prev = nb + edges[(min(a, b), max(a, b))]
                quads.append((vmap[b], e_next, fp, e_prev))
        self.quads = quads
        self.quad_src = [qi for qi in range(len(src_quads)) for _ in range(4)]
        # mirror map of the new vertices
        mirror = [0] * self.n
        for i, v in enumerate(base_ids):
            mirror[i] = vmap[src_mirror[v]]
        for ei, (a, b) in enumerate(edge_list):
            ma, mb = src_mirror[a], src_mirror[b]
            mirror[nb + ei] = nb + edges[(min(ma, mb), max(ma, mb))]
        qkey = {tuple(sorted(q)): qi for qi, q in enumerate(src_quads)}
        for qi, q in enumerate(src_quads):
            mq = qkey[tuple(sorted(src_mirror[v] for v in q))]
            mirror[nb + ne + qi] = nb + ne + mq
        self.mirror = mirror
        qindex = {q: i for i, q in enumerate(quads)}
        qmirror = []
        for q in quads:
            m = (mirror[q[0]], mirror[q[3]], mirror[q[2]], mirror[q[1]])
            qmirror.append(qindex[m])
        self.quad_mirror = qmirror

    def apply(self, pos, stencils=None):
        out = []
        for st in (stencils or self.stencils):
            x = y = z = 0.0
            for v, w in st:
                p = pos[v]
                x += w * p[0]
                y += w * p[1]
                z += w * p[2]
            out.append((x, y, z))
        return out

    def symmetrise(self, pts):
        out = list(pts)
        for i, j in enumerate(self.mirror):
            if i == j:
                out[i] = (0.0, out[i][1], out[i][2])
            elif i < j:
                p = out[i]
                out[j] = (-p[0] + 0.0, p[1], p[2])
        return out


# --------------------------------------------------------------- geometry

def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
            a[0] * b[1] - a[1] * b[0])


def norm(a):
    n = math.sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2])
    return (a[0] / n, a[1] / n, a[2] / n) if n > 0 else (0.0, 0.0, 0.0)


def vertex_normals(pts, tris):
    acc = [[0.0, 0.0, 0.0] for _ in pts]
    for a, b, c in tris:
        n = cross(sub(pts[b], pts[a]), sub(pts[c], pts[a]))
        for v in (a, b, c):
            acc[v][0] += n[0]
            acc[v][1] += n[1]
            acc[v][2] += n[2]
    return [norm(tuple(n)) for n in acc]


def visible(pts, tris, cell, tol):
    """Whether each point is on the surface seen from the front (+z): no
    triangle lies more than tol in front of it along z."""
    grid = {}
    for ti, (a, b, c) in enumerate(tris):
        pa, pb, pc = pts[a], pts[b], pts[c]
        x0 = int(math.floor(min(pa[0], pb[0], pc[0]) / cell))
        x1 = int(math.floor(max(pa[0], pb[0], pc[0]) / cell))
        y0 = int(math.floor(min(pa[1], pb[1], pc[1]) / cell))
        y1 = int(math.floor(max(pa[1], pb[1], pc[1]) / cell))
        for gx in range(x0, x1 + 1):
            for gy in range(y0, y1 + 1):
                grid.setdefault((gx, gy), []).append(ti)
    out = []
    for p in pts:
        key = (int(math.floor(p[0] / cell)), int(math.floor(p[1] / cell)))
        seen = True
        for ti in grid.get(key, ()):
            a, b, c = tris[ti]
            pa, pb, pc = pts[a], pts[b], pts[c]
            det = (pb[0] - pa[0]) * (pc[1] - pa[1]) - (pc[0] - pa[0]) * (pb[1] - pa[1])
            if abs(det) < 1e-12:
                continue
            l1 = ((p[0] - pa[0]) * (pc[1] - pa[1]) - (pc[0] - pa[0]) * (p[1] - pa[1])) / det
            l2 = ((pb[0] - pa[0]) * (p[1] - pa[1]) - (p[0] - pa[0]) * (pb[1] - pa[1])) / det
            if l1 < 0 or l2 < 0 or l1 + l2 > 1:
                continue
            z = pa[2] + l1 * (pb[2] - pa[2]) + l2 * (pc[2] - pa[2])
            if z > p[2] + tol:
                seen = False
                break
        out.append(seen)
    return out


# ---------------------------------------------------------------- texture

def layout_texture(base_pts, skin_quads, base_ids, tip):
    """One island without folds: the neck rim lies on a circle (front of the
    neck at the bottom, nape at the top) and every other vertex is the
    mean-value combination of its neighbours, weighted by the 3D angles of
    the quads (positive weights and a convex rim give an embedding).  A
    radial stretch about the nose tip then gives the face most of the
    texture."""
    weights = {}
    count = {}
    for q in skin_quads:
        for k in range(4):
            i, j, l = q[k], q[(k + 1) % 4], q[k - 1]
            pi, pj, pl = base_pts[i], base_pts[j], base_pts[l]
            a, b = sub(pj, pi), sub(pl, pi)
            la = math.sqrt(a[0] ** 2 + a[1] ** 2 + a[2] ** 2)
            lb = math.sqrt(b[0] ** 2 + b[1] ** 2 + b[2] ** 2)
            cosang = max(-1.0, min(1.0, (a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (la * lb)))
            t = math.tan(0.5 * math.acos(cosang))
            wi = weights.setdefault(i, {})
            wi[j] = wi.get(j, 0.0) + t / la
            wi[l] = wi.get(l, 0.0) + t / lb
            key = (min(i, j), max(i, j))
            count[key] = count.get(key, 0) + 1
    rim = set()
    for (a, b), c in count.items():
        if c == 1:
            rim.add(a)
            rim.add(b)
    rim_z = sum(base_pts[v][2] for v in rim) / len(rim)
    radius = 0.5 - UV_MARGIN
    uv = {}
    for v in base_ids:
        x, y, z = base_pts[v]
        if v in rim:
            phi = math.atan2(x, z - rim_z)
            uv[v] = (0.5 + radius * math.sin(phi), 0.5 - radius * math.cos(phi))
        else:
            uv[v] = (0.5, 0.5)
    free = [(v, sorted(weights[v].items()), sum(weights[v].values()))
            for v in base_ids if v not in rim]
    for _ in range(1500):
        for v, nb, total in free:
            su = sv = 0.0
            for u, w in nb:
                p = uv[u]
                su += w * p[0]
                sv += w * p[1]
            old = uv[v]
            uv[v] = (old[0] + 1.9 * (su / total - old[0]), old[1] + 1.9 * (sv / total - old[1]))
    # stretch about the nose tip: r -> R(theta) * g(r / R(theta))
    cu, cv = 0.5, uv[tip][1]
    out = {}
    for v, (u, w) in uv.items():
        du, dv = u - cu, w - cv
        r = math.hypot(du, dv)
        if r < 1e-12:
            out[v] = (u, w)
            continue
        ex, ey = du / r, dv / r
        # distance from the centre to the rim circle along (ex, ey)
        ox, oy = cu - 0.5, cv - 0.5
        bq = ox * ex + oy * ey
        rr = -bq + math.sqrt(bq * bq - (ox * ox + oy * oy - radius * radius))
        t = r / rr
        g = t * (1.0 + STRETCH) / (1.0 + STRETCH * t)
        out[v] = (cu + ex * g * rr, cv + ey * g * rr)
    return out


# ---------------------------------------------------------------- writing

def f32(v):
    return struct.unpack('<f', struct.pack('<f', v))[0]


def fmt(v):
    f = f32(v) + 0.0
    return ('%.6f ' if abs(f) <= 1.0 else '%9.3f ') % f


class Writer:
    def __init__(self):
        self.parts = []
        self.depth = 0

    def line(self, *items):
        self.parts.append('\n' + '\t' * self.depth + ''.join(items))

    def text(self):
        return ''.join(self.parts)


def count_line(n, word):
    return '%d \tof::%s ' % (n, word)


def write_head(name, second_flag, verts, tris, feats, areas,
               regions, groups, materials, txt):
    """verts: positions; tris: dicts; feats: (name, mirror, vertex, weight);
    areas: list of triangle lists; regions: (name, mirror, colour, areas,
    points).  The vertex link and the triangle mirror link are stored as -1:
    loading a template expects no mirror pairs (with them, collapsing an
    edge would collapse its mirror edge too)."""
    w = Writer()
    w.parts.append('3 1 0 ')
    w.depth = 1
    w.line('1 %d ' % second_flag, fmt(OFFSET[0]), fmt(OFFSET[1]), fmt(OFFSET[2]),
           fmt(SCALE))
    w.line('AllOfEditedData3D::%s ' % name)
    w.depth = 2
    counts = [(len(verts), 'Vertex'), (len(tris), 'Triangle'), (0, 'EditPoint'),
              (len(feats), 'FeaturePoint3D'), (0, 'FeatureLine3D'),
              (len(COLORS), 'FeatureColor'), (len(areas), 'BasicArea'),
              (len(regions), 'AnatomicalRegion'), (len(groups), 'Group'),
              (len(materials), 'Material'), (len(txt), 'TxtCoordinate')]
    for n, word in counts:
        w.line(count_line(n, word))
    w.line('\t:::::: ')
    w.line(count_line(len(verts), 'Vertex'))
    w.depth = 3
    for i, p in enumerate(verts):
        w.line('%d -1 ' % i, fmt(p[0]), fmt(p[1]), fmt(p[2]))
    w.depth = 2
    w.line(count_line(len(tris), 'Triangle'))
    w.depth = 3
    for i, t in enumerate(tris):
        a, b, c = t['v']
        w.line('%d %d %d \t%d %d %d \t%d %d \t%d %d %d ' % (
            i, -1, t['partner'], a, b, c, t['group'], t['material'],
            a, b, c))
    w.depth = 2
    w.line(count_line(0, 'EditPoint'))
    w.line(count_line(len(feats), 'FeaturePoint3D'))
    for i, (fname, fmirror, fvert, fweight) in enumerate(feats):
        w.depth = 3
        w.line('%d \tth::FeaturePoint3D::%s ' % (i, fname))
        w.depth = 4
        w.line('1 \t%d \t-1 %d ' % (fmirror, fvert), fmt(fweight))
    w.depth = 2
    w.line(count_line(0, 'FeatureLine3D'))
    w.line(count_line(len(COLORS), 'FeatureColor'))
    for i, (cname, r, g, b) in enumerate(COLORS):
        w.depth = 3
        w.line('%d th::FeatureColor::%s ' % (i, cname))
        w.depth = 4
        w.line(fmt(r), fmt(g), fmt(b))
    w.depth = 2
    w.line(count_line(len(areas), 'BasicArea'))
    for i, tl in enumerate(areas):
        w.depth = 3
        w.line('%d \tth::BasicArea ' % i)
        w.depth = 4
        w.line('-1 ')
        w.line(count_line(len(tl), 'Triangle'))
        w.line(count_line(len(tl), 'Triangle'))
        w.depth = 5
        for t in sorted(tl):
            w.line('%d ' % t)
    w.depth = 2
    w.line(count_line(len(regions), 'AnatomicalRegion'))
    for i, (rname, rmirror, rcolour, rareas, rpoints) in enumerate(regions):
        w.depth = 3
        w.line('%d \tth::AnatomicalRegion::%s ' % (i, rname))
        w.depth = 4
        w.line('-1 \t%d \t%d \t-1 ' % (rmirror, rcolour))
        w.line(fmt(0.0), fmt(0.0), fmt(0.0), '\t', fmt(1.0), fmt(0.0), fmt(0.0),
               '\t', fmt(0.0), fmt(1.0), fmt(0.0), '\t', fmt(0.0), fmt(0.0),
               fmt(1.0))
        w.line(count_line(len(rareas), 'BasicArea'))
        w.line(count_line(0, 'FeatureLine3D'))
        w.line(count_line(len(rpoints), 'FeaturePoint3D'))
        for lst, word in ((rareas, 'BasicArea'), ([], 'FeatureLine3D'),
                          (rpoints, 'FeaturePoint3D')):
            w.depth = 4
            w.line(count_line(len(lst), word))
            w.depth = 5
            for k in sorted(lst):
                w.line('%d ' % k)
    w.depth = 2
    w.line(count_line(len(groups), 'Group'))
    for i, g in enumerate(groups):
        w.line('\t\t%d \t%s\t' % (i, g), fmt(0.0), '\t', fmt(0.0), '\t', fmt(0.0), ' ')
    w.line(count_line(len(materials), 'Material'))
    for i, m in enumerate(materials):
        w.line('\t\t%d \t\t%s ' % (i, m))
    w.line(count_line(len(txt), 'TxtCoordinate'))
    for i, (u, v) in enumerate(txt):
        w.line('\t\t%d \t\t' % i, fmt(u), fmt(v), ' ')
    w.line('')
    return w.text()


def outside_line(p):
    return '%.5f %.5f %.5f\n' % tuple(round(c, 5) + 0.0 for c in p)


# ------------------------------------------------------------- the build

def build(data_dir):
    base, faces = read_obj(os.path.join(data_dir, 'base.obj'))
    skin = [q for g, q in faces if g == 'body' and all(base[v][1] > NECK_CUT_Y for v in q)]
    # the eye at x < 0 first: it is the "left" eye of the feature tables
    eye_l = [q for g, q in faces if g == 'helper-r-eye']
    eye_r = [q for g, q in faces if g == 'helper-l-eye']
    assert all(len(q) == 4 for q in skin + eye_l + eye_r)
    used = sorted(set(v for q in skin + eye_l + eye_r for v in q))
    key = {}
    for v in used:
        key[(round(base[v][0], 4), round(base[v][1], 4), round(base[v][2], 4))] = v
    src_mirror = {}
    for v in used:
        x, y, z = base[v]
        m = key.get((round(-x, 4) + 0.0, round(y, 4), round(z, 4)))
        if m is None:
            m = key[(round(-x, 4), round(y, 4), round(z, 4))]
        src_mirror[v] = m
    targets = {}
    for recipe in SHAPES.values():
        for name, _ in recipe:
            if name not in targets:
                targets[name] = read_target(
                    os.path.join(data_dir, 'targets', name + '.target'))
    eye_ids = sorted(set(v for q in eye_l + eye_r for v in q))

    def source_shape(name):
        pos = shape_positions(base, targets, SHAPES[name], used)
        sym = {}
        for v in used:
            p, q = pos[v], pos[src_mirror[v]]
            sym[v] = ((p[0] - q[0]) * 0.5 if v != src_mirror[v] else 0.0,
                      (p[1] + q[1]) * 0.5, (p[2] + q[2]) * 0.5)
        return sym

    shapes = {name: source_shape(name) for name in SHAPES}

    # every shape keeps the eyes where the full head has them
    def eye_centre(pos):
        n = float(len(eye_ids))
        return (sum(pos[v][1] for v in eye_ids) / n, sum(pos[v][2] for v in eye_ids) / n)

    ref = eye_centre(shapes['young'])
    for name, pos in shapes.items():
        c = eye_centre(pos)
        dy, dz = ref[0] - c[0], ref[1] - c[1]
        shapes[name] = {v: (p[0], p[1] + dy, p[2] + dz) for v, p in pos.items()}

    mesh = Mesh(skin + eye_l + eye_r, src_mirror)
    n_skin_quads = 4 * len(skin)
    n_eye_quads = 4 * len(eye_l)

    neighbours = {}
    for q in skin:
        for k in range(4):
            a, b = q[k], q[(k + 1) % 4]
            neighbours.setdefault(a, set()).add(b)
            neighbours.setdefault(b, set()).add(a)
    neighbours = {v: sorted(n) for v, n in neighbours.items()}
    skin_ids = sorted(neighbours)
    tip_src = max(skin_ids, key=lambda v: shapes['young'][v][2])
    uv_src = layout_texture(shapes['young'], skin, skin_ids, tip_src)
    young = shapes['young']
    for v in eye_ids:
        p = young[v]
        near = min(skin_ids, key=lambda u: (young[u][0] - p[0]) ** 2 + (young[u][1] - p[1]) ** 2
                   + (young[u][2] - p[2]) ** 2)
        uv_src[v] = uv_src[near]
    uv3 = {v: (uv_src[v][0], uv_src[v][1], 0.0) for v in used}
    uv_new = mesh.apply(uv3, mesh.linear)
    txt = [None] * mesh.n
    for i, j in enumerate(mesh.mirror):
        if i == j:
            txt[i] = (0.5, round(uv_new[i][1], 6))
        elif i < j:
            u, v = round(uv_new[i][0], 6), round(uv_new[i][1], 6)
            txt[i] = (u, v)
            txt[j] = (round(1.0 - u, 6), v)

    outside = {}
    for name, pos in shapes.items():
        pts = mesh.symmetrise(mesh.apply(pos))
        outside[name] = [tuple(round(c, 5) + 0.0 for c in p) for p in pts]

    def to_head(pts):
        return [(SCALE * p[0] - OFFSET[0] + 0.0, SCALE * p[1] - OFFSET[1],
                 SCALE * p[2] - OFFSET[2]) for p in pts]

    head = to_head(outside['young'])

    tris = []
    for qi, q in enumerate(mesh.quads):
        if qi < n_skin_quads:
            group = G_HEAD
        elif qi < n_skin_quads + n_eye_quads:
            group = G_LEYE
        else:
            group = G_REYE
        mq = mesh.quad_mirror[qi]
        tris.append({'v': (q[0], q[1], q[2]), 'mirror': 2 * mq + 1,
                     'partner': 2 * qi + 1, 'group': group})
        tris.append({'v': (q[0], q[2], q[3]), 'mirror': 2 * mq,
                     'partner': -1, 'group': group})
    tri_mirror = [t['mirror'] for t in tris]

    feats, marks = place_features(head, tris, mesh.mirror)
    area_of = assign_areas(head, tris, tri_mirror, marks)
    for t, a in zip(tris, area_of):
        if t['group'] != G_HEAD:
            t['material'] = M_EYEBALL
        elif a == A['lips']:
            t['material'] = M_LIP
        elif a in (A['left_lids'], A['right_lids']):
            t['material'] = M_SOCKET
        else:
            t['material'] = M_FACE
    areas = [[] for _ in AREAS]
    for ti, a in enumerate(area_of):
        areas[a].append(ti)

    fnames = [f[0] for f in FEATURES]
    findex = {n: i for i, n in enumerate(fnames)}
    feat_recs = []
    for fname, weight, _ in FEATURES:
        feat_recs.append((fname, findex[mirror_name(fname)], feats[fname], weight))
    rindex = {r[0]: i for i, r in enumerate(REGIONS)}
    cindex = {c[0]: i for i, c in enumerate(COLORS)}
    regions = []
    for rname, rmirror, rcolour, rareas in REGIONS:
        pts = [findex[f[0]] for f in FEATURES if rname in f[2]]
        regions.append((rname, rindex[rmirror], cindex[rcolour],
                        [A[a] for a in rareas], pts))

    files = {}
    for num, shape, hname in HEAD_FILES:
        verts = to_head(outside[shape])
        files[num + '.the'] = write_head(hname, 1, verts, tris,
                                         feat_recs, areas, regions, GROUPS,
                                         MATERIALS, txt)
    for num, shape in AGE_FILES:
        files[num + '.txt'] = ''.join(outside_line(p) for p in outside[shape])
    return files, {'head': head, 'tris': tris, 'feats': feats, 'txt': txt,
                   'areas': area_of, 'outside': outside}


# --------------------------------------------------------- feature points

def place_features(H, tris, vmirror):
    n = len(H)
    skin_tris = [t['v'] for t in tris if t['group'] == G_HEAD]
    all_tris = [t['v'] for t in tris]
    normals = vertex_normals(H, skin_tris)
    in_skin = [False] * n
    for t in skin_tris:
        for v in t:
            in_skin[v] = True
    vis = visible(H, all_tris, 2.0, 0.2)
    nbr = [set() for _ in range(n)]
    for a, b, c in skin_tris:
        nbr[a].update((b, c))
        nbr[b].update((a, c))
        nbr[c].update((a, b))
    skin = [v for v in range(n) if in_skin[v]]
    mid = [v for v in skin if H[v][0] == 0.0]
    front_mid = [v for v in mid if vis[v] and normals[v][2] > 0.0]
    eye_ids = sorted(set(v for t in tris if t['group'] == G_REYE for v in t['v']))
    eye_c = tuple(sum(H[v][k] for v in eye_ids) / len(eye_ids) for k in range(3))
    feats = {}

    def take(name, v):
        assert v not in feats.values(), (name, v)
        feats[name] = v
        mn = mirror_name(name)
        if mn != name:
            assert vmirror[v] not in feats.values(), (mn, v)
            feats[mn] = vmirror[v]
        else:
            assert H[v][0] == 0.0, name

    tip = max(skin, key=lambda v: H[v][2])
    assert sum(1 for v in skin if H[v][2] >= H[tip][2]) == 1
    take('tip_of_the_nose', tip)
    ty = H[tip][1]

    # midline profile below the tip: extremes of z going down
    prof = sorted((v for v in front_mid if H[v][1] < ty), key=lambda v: -H[v][1])

    def first_extreme(start_y, sign, min_drop):
        cand = [v for v in prof if H[v][1] < start_y]
        best = cand[0]
        for v in cand:
            if sign * (H[v][2] - H[best][2]) > 0:
                best = v
            elif sign * (H[best][2] - H[v][2]) > min_drop:
                return best
        return best

    subnasale = first_extreme(ty - 2.0, -1, 1.5)
    take('bottom_of_the_nose', subnasale)
    lab_sup = first_extreme(H[subnasale][1] - 1.0, 1, 1.5)
    take('top_of_the_mouth', lab_sup)
    stomion = first_extreme(H[lab_sup][1] - 1.0, -1, 1.0)
    lab_inf = first_extreme(H[stomion][1] - 1.0, 1, 1.5)
    take('bottom_of_the_mouth', lab_inf)
    sulcus = first_extreme(H[lab_inf][1] - 1.0, -1, 1.0)
    pogonion = first_extreme(H[sulcus][1] - 1.0, 1, 1.0)
    take('top_of_the_chin', pogonion)
    below = sorted((v for v in mid if H[v][1] < H[pogonion][1] and H[v][2] > H[pogonion][2] - 25),
                   key=lambda v: -H[v][1])
    menton = next(v for v in below if normals[v][2] < 0.25)
    take('_contour_270', menton)

    # nasion: the deepest midline point between the eyes
    nas = [v for v in front_mid if eye_c[1] - 10 < H[v][1] < eye_c[1] + 25]
    bridge = min(nas, key=lambda v: H[v][2])
    take('bridge_of_the_nose', bridge)
    ty_top = H[bridge][1] + 0.3 * (ty - H[bridge][1])
    take('top_of_the_nose', min((v for v in front_mid if ty < H[v][1] < H[bridge][1]
                                 and v != bridge), key=lambda v: abs(H[v][1] - ty_top)))

    # eyes (x > 0 is the right eye): rim of the opening over the eyeball
    def rim_of(cx, cy, rx, ry):
        out = []
        for v in skin:
            if not vis[v] or H[v][0] <= 0:
                continue
            if abs(H[v][0] - cx) > rx or abs(H[v][1] - cy) > ry:
                continue
            if any(not vis[u] for u in nbr[v]):
                out.append(v)
        return out

    erim = rim_of(eye_c[0], eye_c[1], 25.0, 14.0)
    outer = max(erim, key=lambda v: (H[v][0], H[v][1]))
    inner = min(erim, key=lambda v: (H[v][0], H[v][1]))
    take('right_corner_of_the_right_eye', outer)
    take('left_corner_of_the_right_eye', inner)
    mx = 0.5 * (H[outer][0] + H[inner][0])
    my = 0.5 * (H[outer][1] + H[inner][1])
    upper = [v for v in erim if H[v][1] > my + 1.0]
    lower = [v for v in erim if H[v][1] < my - 1.0]
    take('top_of_the_right_eye', min(upper, key=lambda v: abs(H[v][0] - mx)))
    take('bottom_of_the_right_eye', min(lower, key=lambda v: abs(H[v][0] - mx)))

    # mouth corners: the ends of the slit between the lips
    my = 0.5 * (H[lab_sup][1] + H[lab_inf][1])
    mrim = rim_of(0.0, my, 40.0, 0.5 * (H[lab_sup][1] - H[lab_inf][1]) + 3.0)
    take('right_corner_of_the_mouth', max(mrim, key=lambda v: (H[v][0], H[v][1])))

    # preview coordinates -> head coordinates, fitted on the found points
    ax = H[outer][0] / 50.0
    ys = [(134, H[outer][1]), (176, H[tip][1]), (186, H[subnasale][1]),
          (205, H[lab_sup][1]), (220, H[lab_inf][1]), (260, H[menton][1])]
    mpy = sum(p for p, _ in ys) / len(ys)
    mhy = sum(h for _, h in ys) / len(ys)
    sxy = sum((p - mpy) * (h - mhy) for p, h in ys)
    sxx = sum((p - mpy) ** 2 for p, _ in ys)
    by = sxy / sxx

    def preview_to_head(px, py):
        return (px * ax, mhy + by * (py - mpy))

    def nearest_front(px, py, pred=None):
        hx, hy = preview_to_head(px, py)
        cand = [v for v in skin if vis[v] and normals[v][2] > 0.2 and v not in feats.values()
                and (pred is None or pred(v))]
        return min(cand, key=lambda v: (H[v][0] - hx) ** 2 + (H[v][1] - hy) ** 2)

    # the remaining points by the proportions of the preview pictures
    for name in ('left_corner_of_the_left_eyebrow', 'middle_of_the_left_eyebrow',
                 'right_corner_of_the_left_eyebrow', 'left_side_of_the_chin',
                 'left_cheek', 'left_edge_of_the_nose'):
        px, py = PREVIEW[name]
        take(mirror_name(name), nearest_front(-px, py, lambda v: H[v][0] > 0))
    px, py = PREVIEW['top_of_the_forehead']
    take('top_of_the_forehead', nearest_front(px, py, lambda v: H[v][0] == 0.0))

    # ears: what stands out of the side of the skull
    ear = ear_vertices(H, skin, nbr)
    take('top_of_the_right_ear', max(ear, key=lambda v: (H[v][1], H[v][0])))
    take('bottom_of_the_right_ear', min(ear, key=lambda v: (H[v][1], -H[v][0])))
    ey = 0.5 * (H[feats['top_of_the_right_ear']][1] + H[feats['bottom_of_the_right_ear']][1])
    take('middle_of_the_right_ear',
         max((v for v in ear if abs(H[v][1] - ey) < 4.0), key=lambda v: H[v][0]))

    # neck: 12 units below the chin, front and sides
    ny = H[menton][1] - 12.0
    neck_front = [v for v in mid if H[v][1] < H[menton][1] - 4 and normals[v][2] > 0.3]
    take('middle_of_the_neck', min(neck_front, key=lambda v: abs(H[v][1] - ny)))
    ring = [v for v in skin if abs(H[v][1] - ny) < 3.0 and H[v][2] < H[menton][2] - 20]
    zc = 0.5 * (min(H[v][2] for v in ring) + max(H[v][2] for v in ring))
    side = [v for v in ring if H[v][0] > 0 and abs(H[v][2] - zc) < 8.0]
    take('right_side_of_the_neck', max(side, key=lambda v: (H[v][0], H[v][2])))

    # contour of the face seen from the front, around the level of the nose
    cy = preview_to_head(0, 182)[1]
    mz = H[menton][2]
    my_ = H[menton][1]
    ear_set = set(ear) | set(vmirror[v] for v in ear)
    ear_bottom = H[feats['bottom_of_the_right_ear']]

    def head_part(v):
        if v in ear_set:
            return False
        x, y, z = H[v]
        k = (ear_bottom[1] - 5.0 - my_) / (mz - ear_bottom[2])
        return y > my_ + (mz - z) * k - 0.5

    part = [v for v in skin if head_part(v)]
    for ang in (0, 30, 60, 330, 300, 90):
        a = math.radians(ang)
        dx, dy = math.cos(a), math.sin(a)
        best, bd = None, -1.0
        for v in part:
            if ang not in (90,) and H[v][0] <= 0.0:
                continue
            if ang == 90 and H[v][0] != 0.0:
                continue
            rx, ry = H[v][0], H[v][1] - cy
            r = math.hypot(rx, ry)
            if r < 1e-9:
                continue
            if (rx * dx + ry * dy) / r < math.cos(math.radians(4.0)):
                continue
            if r > bd and v not in feats.values():
                best, bd = v, r
        if best is None:
            raise RuntimeError('no contour point at %d (centre y %.1f, cut k)' % (ang, cy))
        take('_contour_%d' % ang, best)
    for name, _, _ in FEATURES:
        assert name in feats, name
    marks = {'eye_c': eye_c, 'outer': H[outer], 'inner': H[inner],
             'tip': H[tip], 'sub': H[subnasale], 'lab_sup': H[lab_sup],
             'lab_inf': H[lab_inf], 'mouth_x': H[feats['right_corner_of_the_mouth']][0],
             'bridge': H[bridge], 'ear': ear, 'ear_mirror': [vmirror[v] for v in ear],
             'vis': vis, 'menton': H[menton],
             'brow_y': H[feats['middle_of_the_right_eyebrow']][1]}
    return feats, marks


def ear_vertices(H, skin, nbr):
    """Vertices of the right ear (x > 0): what stands out of the side of the
    head, grown from its outermost vertex."""
    seed = max((v for v in skin if H[v][0] > 0), key=lambda v: H[v][0])
    lim = H[seed][0] - 13.0
    out = {seed}
    stack = [seed]
    while stack:
        v = stack.pop()
        for u in nbr[v]:
            if u not in out and H[u][0] > lim:
                out.add(u)
                stack.append(u)
    return sorted(out)


# -------------------------------------------------------------- the areas

def assign_areas(H, tris, tri_mirror, marks):
    out = [None] * len(tris)
    ec = marks['eye_c']
    ew = 0.5 * (marks['outer'][0] - marks['inner'][0])
    ecx = 0.5 * (marks['outer'][0] + marks['inner'][0])
    ecy = 0.5 * (marks['outer'][1] + marks['inner'][1])
    mtop, mbot = marks['lab_sup'][1], marks['lab_inf'][1]
    mcy = 0.5 * (mtop + mbot)
    mh = 0.5 * (mtop - mbot)
    mw = marks['mouth_x']
    ear = set(marks['ear']) | set(marks['ear_mirror'])
    ex0 = min(H[v][0] for v in marks['ear'])
    ey0, ey1 = min(H[v][1] for v in marks['ear']), max(H[v][1] for v in marks['ear'])
    ez0, ez1 = min(H[v][2] for v in marks['ear']), max(H[v][2] for v in marks['ear'])
    sub_y, bridge_y = marks['sub'][1], marks['bridge'][1]
    front_z = ec[2] - 30.0
    for ti, t in enumerate(tris):
        if out[ti] is not None:
            continue
        a, b, c = t['v']
        x = (H[a][0] + H[b][0] + H[c][0]) / 3.0
        y = (H[a][1] + H[b][1] + H[c][1]) / 3.0
        z = (H[a][2] + H[b][2] + H[c][2]) / 3.0
        right = x > 0 or (x == 0 and tri_mirror[ti] > ti)
        ax_ = abs(x)
        sidename = 'right' if right else 'left'
        if t['group'] != G_HEAD:
            name = 'right_eyeball' if t['group'] == G_REYE else 'left_eyeball'
        elif all(v in ear for v in (a, b, c)):
            name = sidename + '_ear'
        elif ax_ > ex0 - 12 and ey0 - 12 < y < ey1 + 12 and ez0 - 12 < z < ez1 + 12:
            name = sidename + '_ear_ring'
        elif z > front_z - 10 and ((ax_ - ecx) / (ew + 5.0)) ** 2 + ((y - ecy) / 10.0) ** 2 < 1.0:
            name = sidename + '_lids'
        elif z > front_z and ((ax_ - ecx) / (ew + 12.0)) ** 2 + ((y - ecy - 7.0) / 20.0) ** 2 < 1.0:
            name = sidename + '_brow'
        elif z > front_z - 60 and (ax_ / (mw + 3.0)) ** 2 + ((y - mcy) / (mh + 2.5)) ** 2 < 1.0:
            name = 'lips'
        elif ax_ < mw + 2 and mbot - 6 < y < sub_y + 20 and 0 < z < marks['lab_sup'][2] - 8 \
                and (y < sub_y - 2 or z < marks['lab_sup'][2] - 25) \
                and not any(marks['vis'][v] for v in (a, b, c)):
            name = 'lips'
        elif z > front_z and (ax_ / (mw + 10.0)) ** 2 + ((y - mcy) / (mh + 9.0)) ** 2 < 1.0 \
                and y < sub_y - 1:
            name = 'mouth_ring'
        elif z > front_z and ax_ < 11.0 and sub_y - 1 <= y < bridge_y:
            name = 'nose_core'
        elif z > front_z and ax_ < 24.0 and sub_y - 4 <= y < bridge_y and \
                z > marks['sub'][2] - 22:
            name = 'nose_side'
        elif z > front_z and (ax_ / (mw + 20.0)) ** 2 + ((y - mcy) / (mh + 18.0)) ** 2 < 1.0 \
                and y < sub_y - 1:
            name = 'mouth_outer'
        else:
            name = 'skin'
        out[ti] = A[name]
        m = tri_mirror[ti]
        if m != ti and out[m] is None:
            out[m] = A[mirror_area(name)]
    return out


def mirror_area(name):
    if name.startswith('left_'):
        return 'right_' + name[5:]
    if name.startswith('right_'):
        return 'left_' + name[6:]
    return name


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--data', metavar='DIR', required=True,
                    help='folder with base.obj and targets/')
    ap.add_argument('--out', default=os.path.join(REPO, 'resources', 'TEMPLATE'))
    ap.add_argument('--compare', metavar='DIR', default=None,
                    help='regenerate into a temporary folder and compare with DIR; '
                         'exit 77 when the source data is missing')
    args = ap.parse_args(argv)
    if not os.path.isfile(os.path.join(args.data, 'base.obj')):
        print('source data not found in', repr(args.data), file=sys.stderr)
        return 77 if args.compare else 2
    files, _ = build(args.data)
    if args.compare:
        with tempfile.TemporaryDirectory() as tmp:
            for name, text in files.items():
                with open(os.path.join(tmp, name), 'w', newline='\n') as f:
                    f.write(text)
            bad = [name for name in sorted(files)
                   if not filecmp.cmp(os.path.join(tmp, name),
                                      os.path.join(args.compare, name), shallow=False)]
        for name in bad:
            print('differs from the regenerated file:', name)
        return 1 if bad else 0
    os.makedirs(args.out, exist_ok=True)
    for name, text in sorted(files.items()):
        with open(os.path.join(args.out, name), 'w', newline='\n') as f:
            f.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main())
