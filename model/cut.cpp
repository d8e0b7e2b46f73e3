#include "model/cut.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/gather.h"
#include "model/head.h"
#include "model/refine.h"
#include "model/topology.h"

namespace {

// The surface frame and height of the cut under way.
struct SurfaceState {
    vector3<double> origin, u{1, 0, 0}, v{0, 1, 0}, w{0, 0, 1};
    surfaceFunction f = zero_fun21ForSurface;
};

SurfaceState& surface() {
    static SurfaceState s;
    return s;
}

vector3<double> toSurface(const vector3<double>& p) {
    const SurfaceState& s = surface();
    const vector3<double> d = p - s.origin;
    return {d * s.u, d * s.v, d * s.w};
}

double len(const vector3<double>& a) { return std::sqrt(a * a); }

}  // namespace

double zero_fun21ForSurface(const vector2<double>&) { return 0; }

void InitSurface(const vector3<double>& origin, const vector3<double>& a, const vector3<double>& b, surfaceFunction f) {
    SurfaceState& s = surface();
    s.origin = origin;
    s.u = a / len(a);
    vector3<double> v = b - s.u * (b * s.u);
    s.v = v / len(v);
    s.w = s.u % s.v;
    s.f = f ? f : zero_fun21ForSurface;
}

double fun31ForSurface(const vector3<double>& p) {
    const vector3<double> q = toSurface(p);
    return q.z - surface().f(vector2<double>(q.x, q.y));
}

double cutBySurface(const vector3<double>& p0, const vector3<double>& p1) {
    const double h0 = fun31ForSurface(p0);
    if (h0 > -1e-7) return 0;
    const double h1 = fun31ForSurface(p1);
    if (h1 < 1e-7) return 1;
    double lo = 0, hi = 1, mid = 0, hlo = h0, hhi = h1;
    while (hi - lo > 1e-10 && hhi - hlo > 1e-10) {
        mid = (lo + hi) * 0.5;
        const double h = fun31ForSurface(p0 * (1 - mid) + p1 * mid);
        if (h >= 0) hi = mid, hhi = h;
        else lo = mid, hlo = h;
    }
    return mid;
}

void cutBySurface(dynarray<vector3<double> >* points, Index<triangle> t) {
    if (!points) return;
    points->resize(0);
    if (t == -1) return;
    const triangle& tr = t.data();
    const vector3<double> P[3] = {tr.a.data().position, tr.b.data().position, tr.c.data().position};
    const double h[3] = {fun31ForSurface(P[0]), fun31ForSurface(P[1]), fun31ForSurface(P[2])};
    const vector3<double> unit[3] = {X3, Y3, Z3};
    const int edges[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (const auto& e : edges) {
        const int i = e[0], j = e[1];
        if (h[i] < 1e-10 && h[j] > -1e-10) {
            const double s = cutBySurface(P[i], P[j]);
            points->add(unit[i] * (1 - s) + unit[j] * s);
        } else if (h[j] < 1e-10 && h[i] > -1e-10) {
            const double s = cutBySurface(P[j], P[i]);
            points->add(unit[j] * (1 - s) + unit[i] * s);
        }
    }
}

int bariToRule(const vector3<double>& b, double t) {
    const bool b0 = b.x < t, b1 = b.y < t, b2 = b.z < t;
    if (b0) return b1 ? 4 : b2 ? 2 : 3;
    if (b1) return b2 ? 0 : 5;
    return b2 ? 1 : 6;
}

namespace {

bool atCorner(const vector3<double>& b, int* corner) {
    const double c[3] = {b.x, b.y, b.z};
    for (int k = 0; k < 3; ++k)
        if (c[(k + 1) % 3] < 5e-9 && c[(k + 2) % 3] < 5e-9) {
            *corner = k;
            return true;
        }
    return false;
}

// The vertex at a crossing point of t (an existing corner, or a new one).
Index<vertex> vertexAt(Index<triangle> t, const vector3<double>& b) {
    int k;
    if (atCorner(b, &k)) return t.data().corner(k);
    generalpoint3 g;
    set_extrapoint(&g.extra, t, b, roughConversion);
    if (!MakeFix(g, 0)) {
        if (g.extra != -1) remove_extrapoint(g.extra, false);
        return -1;
    }
    return g.vtx;
}

Index<linepoint3> appendFixed(head3& h, Index<featureline3> L, Index<vertex> v) {
    Index<linepoint3> p = h.featurelines[L].add();
    if (p == -1) return -1;
    h.featurelines[L][p].vtx = v;
    h.featurelines[L][p].kind = 1;
    add_linepoint(p, L);
    return p;
}

void dropLine(head3& h, Index<featureline3> L) {
    while (h.featurelines[L].count() > 0) remove_linepoint(h.featurelines[L].first(), true, true);
    h.featurelines.remove_index(L);
}

}  // namespace

Index<featureline3> head3::cutBySurface() {
    set_actual();
    // Crossing points are exact: no snapping towards corners or edges.
    temporaryChange<double> snap(extrapoint::bariCoordMinValue, 0.0);
    const Index<featureline3> L = addFeatureline("", true);
    if (L == -1) return -1;
    dynarray<vector3<double> > pts;
    Index<triangle> seed = -1;
    for (Index<triangle> t = triangles.first(); t != -1 && seed == -1; t = triangles.nextOf(t)) {
        ::cutBySurface(&pts, t);
        if (pts.size() > 1) seed = t;
    }
    if (seed == -1) {
        dropLine(*this, L);
        return -1;
    }
    const Index<vertex> start = vertexAt(seed, pts[0]);
    if (start == -1 || appendFixed(*this, L, start) == -1) {
        dropLine(*this, L);
        return -1;
    }
    Index<vertex> cur = start, prev = -1;
    // Each step lays one more vertex into the line; a closed line cannot
    // need more steps than there are vertices (new ones included).
    bool closed = false;
    for (int step = 0; !closed; ++step) {
        if (step > 4 * vertices.count() + 16) {
            dropLine(*this, L);
            return -1;
        }
        Index<vertex> nextV = -1;
        bool found = false;
        std::vector<Index<triangle>> fan;
        const commonlistindex<triangle>& ts = vertices[cur].triangles;
        for (int n = ts.first(); n != -1; n = ts.nextOf(n)) fan.push_back(ts[n]);
        for (Index<triangle> t : fan) {
            const triangle& tr = triangles[t];
            if (prev != -1 && (tr.a == prev || tr.b == prev || tr.c == prev)) continue;
            ::cutBySurface(&pts, t);
            for (int k = 0; k < pts.size() && !found; ++k) {
                int c;
                if (atCorner(pts[k], &c) && tr.corner(c) == cur) continue;
                found = true;
                if (atCorner(pts[k], &c) && tr.corner(c) == start) {
                    closed = true;
                    nextV = start;
                } else {
                    nextV = vertexAt(t, pts[k]);
                }
            }
            if (found) break;
        }
        if (!found || nextV == -1 || appendFixed(*this, L, nextV) == -1) {
            dropLine(*this, L);
            return -1;
        }
        prev = cur;
        cur = nextV;
    }
    featureline3& line = featurelines[L];
    line.closing = 1;
    line[line.first()].kind = 2;
    line[line.last()].kind = 2;
    line.weightsComputed = 0;
    line.set_weights();
    return L;
}

bool head3::cutBySurface(Index<featureline3>& line, vector3<double> origin, vector3<double> a, vector3<double> b,
                         double (*f)(const vector2<double>&)) {
    set_actual();
    temporaryChange<double> snap(extrapoint::bariCoordMinValue, 0.0);
    InitSurface(origin, a, b, f);
    line = cutBySurface();
    if (line == -1) return false;
    if (featurelines[line].count() < 3) {
        dropLine(*this, line);
        line = -1;
        return false;
    }
    clean_gatheredTriangles();
    const Index<triangle> inside = triangleInside(line, true);
    if (inside != -1) gatherTriangles(line, inside);
    if (inside == -1 || gatheredTriangles().count() == 0) {
        clean_gatheredTriangles();
        dropLine(*this, line);
        line = -1;
        return false;
    }
    // The vertices enclosed: every triangle of theirs is gathered.
    std::vector<Index<triangle>> doomed;
    dynarray<Index<vertex> > enclosed(0, 10, 1.25, 0.33);
    auto& g = gatheredTriangles();
    for (int n = g.first(); n != -1; n = g.nextOf(n)) doomed.push_back(g[n]);
    gatherVertices(&enclosed);
    for (Index<triangle> t : doomed) remove_triangle(t);
    for (int k = 0; k < enclosed.size(); ++k) remove_vertex(enclosed[k]);
    clean_gatheredTriangles();
    cleanRegions();
    return true;
}
