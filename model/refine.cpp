#include "model/refine.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <queue>
#include <vector>

#include "model/gather.h"
#include "model/head.h"
#include "model/surface.h"
#include "model/topology.h"

namespace {

constexpr double e_ = kOnTriangleEps;

double coord(const vector3<double>& b, int k) { return k == 0 ? b.x : k == 1 ? b.y : b.z; }
vector3<double> unit(int k) { return k == 0 ? X3 : k == 1 ? Y3 : Z3; }

// A piece of t with the given corners, each with its barycentric place on
// t; it inherits t's material, group and area, its texture coordinates
// interpolated.
Index<triangle> makeSub(Index<triangle> t, Index<vertex> a, Index<vertex> b, Index<vertex> c,
                        const vector3<double>& ba, const vector3<double>& bb, const vector3<double>& bc) {
    Index<triangle> s = Index<triangle>::current().add();
    if (s == -1) return -1;
    const triangle& ot = t.data();
    triangle& ns = s.data();
    const vector3<double>* w[3] = {&ba, &bb, &bc};
    for (int k = 0; k < 3; ++k) {
        const vector3<double>& q = *w[k];
        ns.texture[k] = ot.texture[0] * q.x + ot.texture[1] * q.y + ot.texture[2] * q.z;
        ns.further[k] = ot.further[0] * q.x + ot.further[1] * q.y + ot.further[2] * q.z;
        ns.txtRow[k] = -1;
        for (int m = 0; m < 3; ++m)
            if (coord(q, m) == 1.0) ns.txtRow[k] = ot.txtRow[m];
    }
    ns.material = ot.material;
    ns.group = ot.group;
    ns.a = a;
    ns.b = b;
    ns.c = c;
    const Index<area> ar = ot.areaOf;
    add_triangle(s, ar);
    return s;
}

void orderFan(Index<vertex> v) {
    // An open fan (a border vertex) cannot be closed; its order is kept as
    // far as it chains, which is all the splits rely on.
    if (v != -1) order_trianges_of_vertex(v);
}

Index<linepoint3> nextOf(Index<featureline3> L, Index<linepoint3> p) { return L.data().nextOf(p); }

}  // namespace

int positionOnTriangle(const vector3<double>& b, double e) {
    if (b.x < e) {
        if (b.y >= e && b.z >= e) return 3;
        if (b.y >= e) return 2;
        return 4;
    }
    if (b.y >= e && b.z >= e) return 6;
    if (b.y >= e) return 1;
    if (b.z < e) return 0;
    return 5;
}

vertex_at_triangle neighbouringTriangle(vertex_at_triangle p) {
    if (p.t == -1) return p;
    const int code = positionOnTriangle(p.b, e_);
    const triangle& tr = p.t.data();
    if (code == 6) return p;
    if (code % 2 == 0) {
        // At a corner: the next triangle around it.
        const Index<vertex> pivot = tr.corner(code / 2);
        const int node = local_index_of_triangle(pivot, p.t);
        if (node == -1) return p;
        const int next = aroundNextTriangle(pivot, node);
        const Index<triangle> u = pivot.data().triangles[next];
        if (u == p.t) return p;
        for (int k = 0; k < 3; ++k)
            if (u.data().corner(k) == pivot) return {p.v, u, unit(k)};
        return p;
    }
    // On an edge: the same point on the triangle across it.
    const int k0 = code == 1 ? 0 : code == 3 ? 1 : 2, k1 = (k0 + 1) % 3;
    const Index<vertex> a = tr.corner(k0), b = tr.corner(k1);
    const Index<triangle> u = triangleAcrossEdge(p.t, a, b);
    if (u == -1) return p;
    vector3<double> nb;
    double* w[3] = {&nb.x, &nb.y, &nb.z};
    for (int k = 0; k < 3; ++k) {
        const Index<vertex> c = u.data().corner(k);
        *w[k] = c == a ? coord(p.b, k0) : c == b ? coord(p.b, k1) : 0.0;
    }
    return {p.v, u, nb};
}

void baricOfSubtriangle(vertex_at_triangle p, Index<triangle> s, vector3<double>* a, vector3<double>* b,
                        vector3<double>* c) {
    const triangle& tr = p.t.data();
    const triangle& st = s.data();
    vector3<double>* out[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        vector3<double> q = p.b;
        for (int m = 0; m < 3; ++m)
            if (st.corner(k) == tr.corner(m)) q = unit(m);
        if (out[k]) *out[k] = q;
    }
}

void extrapointsToSubtriangles(vertex_at_triangle p, Index<triangle> t1, Index<triangle> t2, Index<triangle> t3,
                               Index<triangle> t4) {
    if (p.t == -1) return;
    // The points keep their surface positions: no snapping while they move.
    temporaryChange<double> noSnap(extrapoint::bariCoordMinValue, 0.0);
    std::vector<Index<extrapoint>> points;
    const commonlistindex<extrapoint>& l = p.t.data().extrapoints;
    for (int n = l.first(); n != -1; n = l.nextOf(n)) points.push_back(l[n]);
    const Index<triangle> subs[4] = {t1, t2, t3, t4};
    for (Index<extrapoint> e : points) {
        const vector3<double> local = e.data().local;
        const pointConversionMode mode = e.data().mode;
        remove_extrapoint_from_triangle(e);
        Index<triangle> best = -1;
        vector3<double> bestW;
        double bestMin = -1e300;
        for (Index<triangle> s : subs) {
            if (s == -1) continue;
            vector3<double> A, B, C;
            baricOfSubtriangle(p, s, &A, &B, &C);
            const vector3<double> w = relativeBaricoord(local, A, B, C);
            const double lo = std::min({w.x, w.y, w.z});
            if (lo > bestMin) bestMin = lo, best = s, bestW = w;
            if (lo >= -1e-10) break;
        }
        if (best == -1) continue;
        // A point that fits no piece exactly goes onto the nearest one.
        if (bestMin < -1e-10) {
            bestW = {std::max(bestW.x, 0.0), std::max(bestW.y, 0.0), std::max(bestW.z, 0.0)};
            bestW /= (bestW.x + bestW.y + bestW.z);
        }
        Index<extrapoint> ee = e;
        set_extrapoint(&ee, best, bestW, mode);
    }
}

void devide_triangle_edge_rough(const vertex_at_triangle& p) {
    const Index<triangle> t = p.t;
    if (t == -1 || p.v == -1) return;
    const Index<vertex> c0 = t.data().a, c1 = t.data().b, c2 = t.data().c, v = p.v;
    const vector3<double>& b = p.b;
    Index<triangle> s1, s2;
    Index<vertex> ea, eb;
    if (b.x < e_ && b.y >= e_ && b.z >= e_) {
        s1 = makeSub(t, c0, v, c2, X3, b, Z3);
        s2 = makeSub(t, c1, v, c0, Y3, b, X3);
        ea = c1, eb = c2;
    } else if (b.x >= e_ && b.y < e_ && b.z >= e_) {
        s1 = makeSub(t, c1, v, c0, Y3, b, X3);
        s2 = makeSub(t, c2, v, c1, Z3, b, Y3);
        ea = c2, eb = c0;
    } else {
        s1 = makeSub(t, c2, v, c1, Z3, b, Y3);
        s2 = makeSub(t, c0, v, c2, X3, b, Z3);
        ea = c0, eb = c1;
    }
    extrapointsToSubtriangles(p, s1, s2, -1, -1);
    linepoints_insert(ea, eb, v);
    if (isGathered(t)) {
        add_triangle_to_gatheredTriangles(s1);
        add_triangle_to_gatheredTriangles(s2);
    }
    remove_triangle(t);
}

int devide_triangle(vertex_at_triangle& p) {
    if (p.t == -1 || p.v == -1) return kDivideFailed;
    const int code = positionOnTriangle(p.b, e_);
    if (code % 2 == 0 && code != 6) return kDivided;
    const Index<triangle> t = p.t;
    const Index<vertex> c0 = t.data().a, c1 = t.data().b, c2 = t.data().c, v = p.v;
    if (code == 6) {
        const Index<triangle> s1 = makeSub(t, c0, v, c2, X3, p.b, Z3);
        const Index<triangle> s2 = makeSub(t, c2, v, c1, Z3, p.b, Y3);
        const Index<triangle> s3 = makeSub(t, c1, v, c0, Y3, p.b, X3);
        if (s1 == -1 || s2 == -1 || s3 == -1) return kDivideFailed;
        extrapointsToSubtriangles(p, s1, s2, s3, -1);
        if (isGathered(t))
            for (Index<triangle> s : {s1, s2, s3}) add_triangle_to_gatheredTriangles(s);
        remove_triangle(t);
    } else {
        vertex_at_triangle n = neighbouringTriangle(p);
        if (n.t == t) {
            devide_triangle_edge_rough(p);  // a border edge: one triangle to split
        } else {
            int across = 2;  // n's corner opposite the shared edge
            for (int k = 0; k < 3; ++k)
                if (coord(n.b, k) < e_) across = k;
            if (isGathered(t) && !isGathered(n.t) && splitCornerOf(n.t) != across) {
                // On the border of the gathered patch the neighbour outside
                // is refined first, at its longest edge, until the shared
                // edge is its longest (so its pieces keep their shape); the
                // caller tries again. Then both sides split at the point.
                refineTriangle(n.t, 0, 0);
                return kDivideWaits;
            }
            const Index<vertex> opposite = n.t.data().corner(across);
            devide_triangle_edge_rough(p);
            n.v = v;
            devide_triangle_edge_rough(n);
            orderFan(opposite);
        }
    }
    for (Index<vertex> w : {c0, c1, c2, v}) orderFan(w);
    return kDivided;
}

int splitCornerOf(Index<triangle> t) {
    const triangle& tr = t.data();
    const vector3<double> P0 = tr.a.data().position, P1 = tr.b.data().position, P2 = tr.c.data().position;
    const double L01 = (P1 - P0) * (P1 - P0), L12 = (P2 - P1) * (P2 - P1), L20 = (P0 - P2) * (P0 - P2);
    if (L12 >= L20 && L12 >= L01) return 0;
    if (L20 >= L01) return 1;
    return 2;
}

int refineTriangle(Index<triangle> t, double length, pointConversionMode mode) {
    if (t == -1) return 0;
    temporaryChange<int> forced(extrapoint::ForcedConversionMode, mode);
    const triangle& tr = t.data();
    const vector3<double> P0 = tr.a.data().position, P1 = tr.b.data().position, P2 = tr.c.data().position;
    const double L01 = (P1 - P0) * (P1 - P0), L12 = (P2 - P1) * (P2 - P1), L20 = (P0 - P2) * (P0 - P2);
    if (std::max({L01, L12, L20}) > length * length) {
        const int corner = splitCornerOf(t);
        const vector3<double> mid = corner == 0 ? vector3<double>(0, 0.5, 0.5)
                                    : corner == 1 ? vector3<double>(0.5, 0, 0.5)
                                                  : vector3<double>(0.5, 0.5, 0);
        // A scratch point of our own: the shared work points must not be
        // turned into vertices.
        generalpoint3 scratch;
        set_extrapoint(&scratch.extra, t, mid, roughConversion);
        return MakeFix(scratch, 0) ? 1 : 0;
    }
    remove_triangle_from_gatheredTriangles(t);
    return 0;
}

namespace {

// The triangle among the corners' fans that holds the position (planar
// barycentric coordinates all at least -1e-10), or -1.
Index<triangle> locate(const Index<vertex> corners[3], const vector3<double>& pos, vector3<double>* bary) {
    for (int k = 0; k < 3; ++k) {
        if (corners[k] == -1) continue;
        const commonlistindex<triangle>& l = corners[k].data().triangles;
        for (int n = l.first(); n != -1; n = l.nextOf(n)) {
            const triangle& u = l[n].data();
            vector3<double> w = bariCoord(u.a.data().position, u.b.data().position, u.c.data().position, pos);
            if (std::min({w.x, w.y, w.z}) >= -1e-10) {
                // A point on an edge stays on it: rounding must not make a
                // sliver beside it.
                w /= (w.x + w.y + w.z);
                for (double* c : {&w.x, &w.y, &w.z})
                    if (*c < 1e-9) *c = 0;
                *bary = w / (w.x + w.y + w.z);
                return l[n];
            }
        }
    }
    return -1;
}

// The vertex for the edit point; removed tells whether the edit point is gone.
Index<vertex> triangulize(Index<extrapoint> e, pointConversionMode mode, bool* removed) {
    *removed = false;
    if (e == -1) return -1;
    temporaryChange<int> forced(extrapoint::ForcedConversionMode, mode);
    extrapoint& ep = e.data();
    Index<triangle> t = ep.tri;
    if (t == -1) return -1;
    ep.conversion();
    vector3<double> local = ep.local;
    int small = 0, corner = 0;
    for (int k = 0; k < 3; ++k) {
        if (coord(local, k) < e_) ++small;
        else corner = k;
    }
    if (small >= 2) {
        const Index<vertex> v = t.data().corner(corner);
        remove_extrapoint(e, false);
        *removed = true;
        return v;
    }
    const vector3<double> pos = ep.position;
    remove_extrapoint(e, false);
    *removed = true;
    for (int attempt = 0; attempt < 32; ++attempt) {
        const Index<vertex> corners[3] = {t.data().a, t.data().b, t.data().c};
        Index<vertex> v = Index<vertex>::current().add();
        if (v == -1) return -1;
        v.data().position = pos;
        v.data().loadPosition = pos;
        vertex_at_triangle p{v, t, local};
        const int r = devide_triangle(p);
        if (r == kDivided) return v;
        // No vertex stays without triangles.
        Index<vertex>::current().remove_index(v);
        if (r != kDivideWaits) return -1;
        t = locate(corners, pos, &local);
        if (t == -1) return -1;
        if (positionOnTriangle(local, e_) % 2 == 0 && positionOnTriangle(local, e_) != 6)
            return t.data().corner(local.x >= e_ ? 0 : local.y >= e_ ? 1 : 2);
    }
    return -1;
}

}  // namespace

Index<vertex> Triangulize(Index<extrapoint> e, pointConversionMode mode) {
    bool removed;
    return triangulize(e, mode, &removed);
}

bool MakeFix(generalpoint3& gp, pointConversionMode mode) {
    if (gp.isFixed()) return true;
    if (!gp.isRubber()) return false;
    bool removed = false;
    const Index<vertex> v = triangulize(gp.extra, mode, &removed);
    if (removed) gp.extra = -1;
    if (v == -1) return false;
    gp.vtx = v;
    last_fixed_vertex_index = v;
    return true;
}

bool MakeRubber(generalpoint3& gp) {
    if (gp.isRubber()) return true;
    if (!gp.isFixed()) return false;
    gp.makeExtra();
    return gp.isRubber();
}

bool MakeRubber(Index<linepoint3> lp) {
    if (lp == -1) return false;
    return MakeRubber(static_cast<generalpoint3&>(lp.data()));
}

int head3::MakeRubber(Index<featureline3> L) {
    if (L == -1) return 0;
    set_actual();
    featureline3& line = featurelines[L];
    const bool closed = isClosedLine(L);
    const Index<linepoint3> first = line.first(), last = line.last();
    for (Index<linepoint3> p = first; p != -1; p = line.nextOf(p)) {
        if (closed && p == last) {
            // The closing duplicate shares the first point's edit point.
            linepoint3& dup = p.data();
            if (dup.isFixed()) remove_linepoint_from_vertex(p);
            dup.vtx = -1;
            dup.extra = first.data().extra;
            continue;
        }
        if (!::MakeRubber(p)) return 0;
    }
    line.weightsComputed = 0;
    return 1;
}

bool TriangleIsDirect(Index<vertex> v, Index<triangle> T, const vector3<double>& b) {
    if (v == -1 || T == -1) return false;
    const commonlistindex<triangle>& ts = v.data().triangles;
    for (int n = ts.first(); n != -1; n = ts.nextOf(n))
        if (ts[n] == T) return true;
    const int code = positionOnTriangle(b, e_);
    if (code == 6) return false;
    const triangle& tr = T.data();
    if (code % 2 == 0) {
        const Index<vertex> c = tr.corner(code / 2);
        for (int n = ts.first(); n != -1; n = ts.nextOf(n)) {
            const triangle& u = ts[n].data();
            if (u.a == c || u.b == c || u.c == c) return true;
        }
        return false;
    }
    const int k0 = code == 1 ? 0 : code == 3 ? 1 : 2;
    const Index<triangle> across = triangleAcrossEdge(T, tr.corner(k0), tr.corner((k0 + 1) % 3));
    if (across == -1) return false;
    const triangle& u = across.data();
    return u.a == v || u.b == v || u.c == v;
}

namespace {

// Accepts the triangles of the part of the surface that holds v (reached
// from it over edges); vertices made afterwards lie on that part.
std::function<bool(Index<triangle>)> sameSurfaceAs(Index<vertex> v) {
    fnd::chain<vertex>& vertices = Index<vertex>::current();
    auto elsewhere = std::make_shared<std::vector<char>>(vertices.pool()->size(), 0);
    std::vector<char>& other = *elsewhere;
    for (int k = vertices.first(); k != -1; k = vertices.nextOf(k)) other[k] = 1;
    std::vector<Index<vertex>> todo{v};
    other[v] = 0;
    while (!todo.empty()) {
        const Index<vertex> x = todo.back();
        todo.pop_back();
        const commonlistindex<triangle>& ts = x.data().triangles;
        for (int n = ts.first(); n != -1; n = ts.nextOf(n))
            for (int k = 0; k < 3; ++k) {
                const Index<vertex> c = ts[n].data().corner(k);
                if (c >= 0 && c < int(other.size()) && other[c]) {
                    other[c] = 0;
                    todo.push_back(c);
                }
            }
    }
    return [elsewhere](Index<triangle> t) {
        const triangle& tr = t.data();
        for (int k = 0; k < 3; ++k) {
            const int c = tr.corner(k);
            if (c >= 0 && c < int(elsewhere->size()) && (*elsewhere)[c]) return false;
        }
        return true;
    };
}

struct SurfaceHit {
    Index<triangle> t = -1;
    vector3<double> b;
};

vector3<double> pointOf(const SurfaceHit& h) {
    const triangle& tr = h.t.data();
    return tr.a.data().position * h.b.x + tr.b.data().position * h.b.y + tr.c.data().position * h.b.z;
}

bool joinedByEdge(Index<vertex> a, Index<vertex> b) {
    const commonlistindex<triangle>& ts = a.data().triangles;
    for (int n = ts.first(); n != -1; n = ts.nextOf(n)) {
        const triangle& t = ts[n].data();
        if (t.a == b || t.b == b || t.c == b) return true;
    }
    return false;
}

// The vertices of a shortest way over edges from a to b (b included, a
// not) that passes none of the avoided vertices; empty when there is none.
std::vector<Index<vertex>> wayOverEdges(Index<vertex> a, Index<vertex> b, const std::vector<Index<vertex>>& avoid) {
    const int slots = Index<vertex>::current().pool()->size();
    if (a < 0 || b < 0 || a >= slots || b >= slots) return {};
    std::vector<double> distance(slots, 1e300);
    std::vector<int> from(slots, -1);
    std::vector<char> closed(slots, 0);
    for (Index<vertex> x : avoid)
        if (x >= 0 && x < slots && x != a && x != b) closed[x] = 1;
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    distance[a] = 0;
    open.push({0.0, a});
    while (!open.empty()) {
        const auto [d, x] = open.top();
        open.pop();
        if (closed[x]) continue;
        closed[x] = 1;
        if (x == b) break;
        const vector3<double> at = Index<vertex>(x).data().position;
        const commonlistindex<triangle>& ts = Index<vertex>(x).data().triangles;
        for (int n = ts.first(); n != -1; n = ts.nextOf(n))
            for (int k = 0; k < 3; ++k) {
                const int y = ts[n].data().corner(k);
                if (y < 0 || y >= slots || closed[y]) continue;
                const double dy = d + (Index<vertex>(y).data().position - at).length();
                if (dy < distance[y]) {
                    distance[y] = dy;
                    from[y] = x;
                    open.push({dy, y});
                }
            }
    }
    if (from[b] == -1) return {};
    std::vector<Index<vertex>> way;
    for (int x = b; x != a; x = from[x]) way.push_back(x);
    return {way.rbegin(), way.rend()};
}

// One piece of a line's spline laid over one part of the surface.
class SplineOnSurface {
public:
    SplineOnSurface(const head3& h, const spline3D& s, const dynarray<vector3<double> >& directions,
                    const std::function<bool(Index<triangle>)>& accept)
        : h_(h), s_(s), directions_(directions), accept_(accept) {}

    // The spline's point at t projected onto the part (head3::ProjectOnHead).
    bool project(double t, SurfaceHit* out) const { return h_.ProjectOnHead(t, s_, directions_, &out->t, &out->b, &accept_); }

    // Where the line of the spline's point at t meets v's own triangles, not
    // much farther than where it meets the surface nearest: where two sheets
    // of the surface lie close (lids, lips) the nearest one may change sides
    // along the way, while the line is laid over the sheet of v.
    bool meetsFan(Index<vertex> v, double t, SurfaceHit* out) const {
        vector3<double> p, d;
        SurfaceHit nearest;
        if (!lineOfSpline(t, s_, directions_, &p, &d) || !project(t, &nearest)) return false;
        const double length = d.length();
        if (!(length > 0)) return false;
        const double reach = std::fabs((pointOf(nearest) - p) * d) / length + 2 * longestEdge(v);
        double best = 1e300;
        const commonlistindex<triangle>& ts = v.data().triangles;
        for (int n = ts.first(); n != -1; n = ts.nextOf(n)) {
            const triangle& tr = ts[n].data();
            vector3<double> hit, w;
            double along;
            if (!baricoord(tr.a.data().position, tr.b.data().position, tr.c.data().position, p, d, &hit, &along, &w))
                continue;
            const double distance = std::fabs(along) * length;
            // A line through v itself meets its triangles only up to
            // rounding.
            if (std::min({w.x, w.y, w.z}) < -1e-6 || distance > reach || !(distance < best)) continue;
            best = distance;
            out->t = ts[n];
            out->b = w;
        }
        return best < 1e300;
    }

private:
    static double longestEdge(Index<vertex> v) {
        double longest = 0;
        const vector3<double> at = v.data().position;
        forEachFanNeighbour(v, [&](Index<vertex> w) { longest = std::max(longest, (w.data().position - at).length()); });
        return longest;
    }

    const head3& h_;
    const spline3D& s_;
    const dynarray<vector3<double> >& directions_;
    const std::function<bool(Index<triangle>)>& accept_;
};

// Every two neighbouring points of the fixed line stand on one vertex or
// on the two ends of an edge.
bool runsOverEdges(Index<featureline3> L) {
    const featureline3& l = L.data();
    for (int p = l.first(); p != -1 && l.nextOf(p) != -1; p = l.nextOf(p)) {
        const Index<vertex> a = l[p].vtx, b = l[l.nextOf(p)].vtx;
        if (a == -1 || b == -1) return false;
        if (a != b && !joinedByEdge(a, b)) return false;
    }
    return true;
}

// Puts the vertices of a way over edges between every two neighbouring
// points of the fixed line that are not joined; false when there is none.
bool joinLine(Index<featureline3> L) {
    std::vector<Index<vertex>> onLine;
    for (int p = L.data().first(); p != -1; p = L.data().nextOf(p)) onLine.push_back(L.data()[p].vtx);
    for (Index<linepoint3> p = L.data().first(); p != -1 && L.data().nextOf(p) != -1;) {
        const Index<linepoint3> q = L.data().nextOf(p);
        const Index<vertex> a = p.data().vtx, b = q.data().vtx;
        if (a == -1 || b == -1) return false;
        if (a != b && !joinedByEdge(a, b)) {
            const std::vector<Index<vertex>> way = wayOverEdges(a, b, onLine);
            if (way.empty()) return false;
            for (size_t k = 0; k + 1 < way.size(); ++k) {
                Index<linepoint3> n = L.data().insert_before_whichindex(-2, q);
                if (n == -1) return false;
                n.data().vtx = way[k];
                n.data().extra = -1;
                n.data().kind = 0;
                add_linepoint(n, L);
                onLine.push_back(way[k]);
            }
        }
        p = q;
    }
    return true;
}

// Where the line comes back to a vertex it passed and only vertices
// inserted while fixing lie in between, the loop goes; the point kept
// takes the larger kind of the two.
void cutLoops(Index<featureline3> L) {
    featureline3& l = L.data();
    for (Index<linepoint3> p = l.first(); p != -1; p = l.nextOf(p)) {
        Index<linepoint3> back = -1;
        for (Index<linepoint3> q = l.nextOf(p); q != -1; q = l.nextOf(q)) {
            if (q.data().vtx == p.data().vtx) {
                back = q;
                break;
            }
            if (q.data().kind != 0) break;
        }
        if (back == -1 || back == l.nextOf(p)) continue;
        p.data().kind = std::max(p.data().kind, back.data().kind);
        for (Index<linepoint3> q = l.nextOf(p); q != -1;) {
            const Index<linepoint3> after = l.nextOf(q);
            const bool end = q == back;
            remove_linepoint(q, true, true);
            if (end) break;
            q = after;
        }
    }
}

}  // namespace

bool head3::TriangulizationOfSubInterval(generalpoint3& gp, double t0, double t1, const spline3D& s,
                                         const dynarray<vector3<double> >& normals,
                                         dynarray<Index<vertex> >* inserted, pointConversionMode mode) {
    if (inserted) inserted->resize(0);
    temporaryChange<int> forced(extrapoint::ForcedConversionMode, mode);
    // On success the vertices laid after the start are the result.
    std::vector<Index<vertex>> laid;
    auto result = [&laid, inserted]() {
        if (inserted)
            for (size_t k = 1; k < laid.size(); ++k) inserted->add(laid[k]);
        return true;
    };
    if (!::MakeFix(gp, 0)) return false;
    Index<vertex> v = gp.vtx;
    laid.push_back(v);
    // The line goes on over the part of the surface it starts on: a point
    // projected onto another part (an eyeball under the lids) could never be
    // joined to it by edges.
    const std::function<bool(Index<triangle>)> accept = sameSurfaceAs(v);
    const SplineOnSurface line(*this, s, normals, accept);
    double lo = t0;
    // Every round lays one vertex further along the spline, joined to the
    // last one by an edge or by a way over edges.
    for (int round = 0; round < 100000; ++round) {
        SurfaceHit last;
        if (!line.project(t1, &last)) return false;
        if (TriangleIsDirect(v, last.t, last.b)) return result();
        // At the end of the piece: the next point, fixed in its turn, is
        // joined to v over edges (head3::MakeFix).
        if (t1 - lo <= 1e-8) return result();
        // Bisect for where the line leaves v's triangles.
        double hi = t1, mid = lo;
        SurfaceHit place;
        const double from = lo;
        while (hi - lo > 1e-8) {
            mid = (lo + hi) * 0.5;
            if (line.meetsFan(v, mid, &place))
                lo = mid;
            else
                hi = mid;
        }
        if (place.t == -1) {
            // No midpoint on v's triangles: the last projected hit.
            if (mid == lo) mid = std::min(hi, lo + 1e-8);
            if (!line.project(mid, &place)) return false;
        }
        generalpoint3 scratch;
        set_extrapoint(&scratch.extra, place.t, place.b, roughConversion);
        if (!::MakeFix(scratch, 0)) return false;
        const Index<vertex> next = scratch.vtx;
        if (next == v) {
            // The hit came back onto v: the line is still at v there.
            if (place.t != -1 && mid > lo) lo = mid;
            if (!(lo > from)) return false;
            continue;
        }
        // Where the projection jumped (over a fold, across the mouth) the
        // new vertex is not v's neighbour: the line follows the surface to it.
        std::vector<Index<vertex>> way{next};
        if (!joinedByEdge(v, next)) way = wayOverEdges(v, next, laid);
        if (way.empty()) return false;
        for (Index<vertex> w : way) {
            // A vertex laid already closes a loop: the loop goes.
            const auto seen = std::find(laid.begin(), laid.end(), w);
            if (seen != laid.end()) laid.erase(seen + 1, laid.end());
            else laid.push_back(w);
        }
        v = next;
    }
    return false;
}

bool CleanFeatureline(Index<featureline3> L) {
    if (L == -1) return true;
    auto& line = L.data();
    Index<linepoint3> a = line.first();
    if (a == -1 || a.data().isRubber()) return true;
    auto kindOf = [](Index<linepoint3> p) { return p.data().kind; };
    auto vtxOf = [](Index<linepoint3> p) { return p.data().vtx; };
    while (a != -1) {
        Index<linepoint3> b = nextOf(L, a);
        if (b == -1) break;
        Index<linepoint3> c = nextOf(L, b);
        if (vtxOf(b) == vtxOf(a)) {
            const int kind = std::max(kindOf(a), kindOf(b));
            if (b == L.data().last() || kindOf(b) != 0) {
                remove_linepoint(a, true, true);
                b.data().kind = kind;
                a = b;
            } else {
                remove_linepoint(b, true, true);
                a.data().kind = kind;
            }
            continue;
        }
        if (c != -1 && vtxOf(c) == vtxOf(a)) {
            const int kind = std::max(kindOf(a), kindOf(b));
            remove_linepoint(b, true, true);
            if (c != L.data().last() && kindOf(c) == 0) {
                remove_linepoint(c, true, true);
                a.data().kind = kind;
            } else {
                remove_linepoint(a, true, true);
                c.data().kind = kind;
                a = c;
            }
            continue;
        }
        a = b;
    }
    std::vector<int> seen;
    const Index<linepoint3> first = L.data().first();
    for (Index<linepoint3> p = first == -1 ? Index<linepoint3>(-1) : nextOf(L, first); p != -1; p = nextOf(L, p)) {
        const int v = vtxOf(p);
        if (std::find(seen.begin(), seen.end(), v) != seen.end()) return false;
        seen.push_back(v);
    }
    return true;
}

int head3::MakeNonExtrem(Index<featureline3> L, double minLength) {
    if (L == -1) return 1;
    const Index<linepoint3> first = featurelines[L].first();
    if (first == -1 || !first.data().isFixed()) return 1;
    temporaryChange<double> edge(triangle::minimalLengthOfEdge, minLength);
    Index<linepoint3> a = first;
    // Every collapse removes a vertex, so the walk ends.
    while (a != -1) {
        const Index<linepoint3> b = nextOf(L, a);
        if (b == -1) break;
        const vector3<double> d = a.data().point() - b.data().point();
        if (std::sqrt(d * d) >= minLength) {
            a = b;
            continue;
        }
        const Index<linepoint3> firstNow = featurelines[L].first();
        const bool aAnchored = a == firstNow || a.data().kind == 2, bAnchored = b.data().kind == 2;
        if (aAnchored && bAnchored) {
            a = b;
            continue;
        }
        const Index<vertex> va = a.data().vtx, vb = b.data().vtx;
        int ok;
        if (!aAnchored && bAnchored)
            ok = unifyVertex(va, vb);
        else if (aAnchored || canUnifyVertex(vb, va))
            ok = unifyVertex(vb, va);
        else
            ok = unifyVertex(va, vb);  // neither anchored: the other way when that one is refused
        if (!ok) return 0;
        a = featurelines[L].first();
    }
    return 1;
}

int head3::MakeFix(Index<featureline3> L, pointConversionMode mode, double minLength) {
    if (L == -1) return 0;
    set_actual();
    const Index<linepoint3> first = featurelines[L].first();
    if (first != -1 && first.data().isFixed()) return 1;
    temporaryChange<int> forced(extrapoint::ForcedConversionMode, mode);
    temporaryChange<double> snap(extrapoint::bariCoordMinValue, extrapoint::bariCoordMinValue_forMakeFix);
    if (first == -1) return 0;
    const bool closed = isClosedLine(L);
    std::unique_ptr<spline3D> s(spline3DOfType(featurelines[L].splineType));
    dynarray<vector3<double> > P(0, 10, 1.25, 0.33), N(0, 10, 1.25, 0.33);
    dynarray<Index<vertex> > inserted(0, 10, 1.25, 0.33);
    // Line points are reached by index only: fixing may grow their pool.
    auto fixInto = [&](Index<linepoint3> p, generalpoint3& g) {
        linepoint3& lp = p.data();
        lp.extra = g.extra;
        lp.vtx = g.vtx;
        add_linepoint(p, L);
    };
    int k = 0;
    for (Index<linepoint3> p = first; p != -1;) {
        const Index<linepoint3> next = nextOf(L, p);
        if (p == first || p.data().kind == 2) {
            // A new interval: its points up to the next node.
            k = 0;
            P.resize(0);
            N.resize(0);
            Index<linepoint3> q = p;
            for (;;) {
                P.add(q.data().point());
                N.add(q.data().roughNormal());
                q = nextOf(L, q);
                if (q == -1) break;
                if (q.data().kind == 2) {
                    P.add(q.data().point());
                    N.add(q.data().roughNormal());
                    break;
                }
            }
            const bool whole = p == first && (q == -1 || q == featurelines[L].last());
            s->Init(P, closed && whole ? 1 : 0);
        }
        if (next == -1) break;
        generalpoint3 g = p.data();
        const bool ok = TriangulizationOfSubInterval(g, k, k + 1, *s, N, &inserted, 0);
        fixInto(p, g);
        if (p == first && closed && g.isFixed()) {
            // The closing duplicate shared the first point's edit point.
            generalpoint3 dup;
            dup.vtx = g.vtx;
            fixInto(featurelines[L].last(), dup);
        }
        if (!ok) return 0;
        for (int m = 0; m < inserted.size(); ++m) {
            Index<linepoint3> q = featurelines[L].insert_before_whichindex(-2, next);
            if (q == -1) return 0;
            q.data().vtx = inserted[m];
            q.data().extra = -1;
            q.data().kind = 0;
            add_linepoint(q, L);
        }
        ++k;
        p = next;
    }
    const Index<linepoint3> last = featurelines[L].last();
    if (!closed && !last.data().isFixed()) {
        generalpoint3 g = last.data();
        const bool ok = ::MakeFix(g, 0);
        fixInto(last, g);
        if (!ok) return 0;
    }
    // A split made later along the line can part two of its vertices that
    // were neighbours: they are joined again over the edges between them.
    if (!joinLine(L)) return 0;
    cutLoops(L);
    if (!CleanFeatureline(L)) return 0;
    if (!MakeNonExtrem(L, minLength)) return 0;
    // Whatever was done, a line reported fixed runs over edges only.
    if (!runsOverEdges(L)) return 0;
    featurelines[L].weightsComputed = 0;
    featurelines[L].set_weights();
    return 1;
}
