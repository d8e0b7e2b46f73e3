#include "model/gather.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/cut.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/octree.h"
#include "model/topology.h"

bool add_triangle_to_gatheredTriangles(Index<triangle> t) {
    if (t == -1 || t.data().gatheredNode != -1) return false;
    const int node = gatheredTriangles().add_data(t);
    t.data().gatheredNode = node;
    return true;
}

bool remove_triangle_from_gatheredTriangles(Index<triangle> t) {
    if (t == -1 || t.data().gatheredNode == -1) return false;
    gatheredTriangles().remove_index(t.data().gatheredNode);
    t.data().gatheredNode = -1;
    return true;
}

bool change_triangle_at_gatheredTriangles(Index<triangle> t) {
    if (t == -1) return false;
    return isGathered(t) ? remove_triangle_from_gatheredTriangles(t) : add_triangle_to_gatheredTriangles(t);
}

void clean_gatheredTriangles() {
    fnd::chain<Index<triangle>>& g = gatheredTriangles();
    while (g.first() != -1) remove_triangle_from_gatheredTriangles(g[g.first()]);
}

Index<triangle> triangleAcrossEdge(Index<triangle> t, Index<vertex> a, Index<vertex> b) {
    if (t == -1 || a == -1 || b == -1) return -1;
    const commonlistindex<triangle>& l = a.data().triangles;
    for (int n = l.first(); n != -1; n = l.nextOf(n)) {
        Index<triangle> u = l[n];
        if (u == t) continue;
        const triangle& tr = u.data();
        if (tr.a == b || tr.b == b || tr.c == b) return u;
    }
    return -1;
}

// ---- gathering by distance, saved positions, octree ----

int head3::gatherTriangles2(vector3<double> centre, double radius) {
    lastCentre = centre;
    lastRadius = radius;
    for (Index<triangle> t = triangles.first(); t != -1; t = triangles.nextOf(t)) {
        const vector3<double> d = triangles[t].weightpoint() - centre;
        if (std::sqrt(d * d) <= radius) add_triangle_to_gatheredTriangles(t);
    }
    return 1;
}

int head3::Save_gatheredTriangles() {
    fnd::chain<Index<triangle>>& g = gatheredTriangles();
    saved.resize(g.count());  // one allocation for the whole set
    int k = 0;
    for (int n = g.first(); n != -1; n = g.nextOf(n), ++k) {
        const triangle& tr = triangles[g[n]];
        for (int c = 0; c < 3; ++c) saved[k].p[c] = vertices[tr.corner(c)].position;
    }
    return saved.size();
}

int head3::LoadSaved_gatheredTriangles() {
    fnd::chain<Index<triangle>>& g = gatheredTriangles();
    int k = 0;
    // The saved list and the set are walked together; a set that grew since
    // the save gets no positions for its newcomers.
    for (int n = g.first(); n != -1 && k < saved.size(); n = g.nextOf(n), ++k) {
        const triangle& tr = triangles[g[n]];
        for (int c = 0; c < 3; ++c) vertices[tr.corner(c)].position = saved[k].p[c];
    }
    if (k) Changed();
    return k;
}

void head3::DeleteSaved_gatheredTriangles() { saved.resize(0); }

void head3::ModifOctree_by_gatheredTriangles() {
    octtree& tree = octree();
    fnd::chain<Index<triangle>>& g = gatheredTriangles();
    for (int n = g.first(); n != -1; n = g.nextOf(n)) {
        tree.ask(g[n], false);
        tree.ask(g[n], true);
    }
}

void head3::UpdateFeaturePoints() {
    for (Index<featurepoint3> f = featurepoints.first(); f != -1; f = featurepoints.nextOf(f)) {
        const featurepoint3& fp = featurepoints[f];
        if (!fp.isRubber()) continue;
        extrapoint& e = extrapoints[fp.extra];
        if (e.tri == -1) continue;
        const triangle& tr = triangles[e.tri];
        e.position = vertices[tr.a].position * e.local.x + vertices[tr.b].position * e.local.y +
                     vertices[tr.c].position * e.local.z;
    }
}

// ---- deformation ----

double XformPhi(vector3<double> p, vector3<double> q, int R, int shape) {
    const vector3<double> dv = q - p;
    const double d = std::sqrt(dv * dv);
    if (shape < 1 || shape > 4) return -1;
    // No radius, no influence (the formulas would divide by zero).
    if (R <= 0) return 0;
    switch (shape) {
        case 1: return d <= R ? 0.5 * std::sqrt(std::cos(d * 1.5707963267948966 / R)) : 0;
        case 2: return d <= R ? 0.5 * std::cos(d * 1.5707963267948966 / R) : 0;
        case 3: return d <= R ? 0.5 * (std::cos(d * 3.141592653589793 / R) + 1) : 0;
        default: return std::pow(2.71821828, -(d / R));
    }
}

bool CalculateNewPoints(head3& h, dynarray<T3DControlPoint>* controls, int centres, bool onlyGathered, int shape) {
    if (!controls) return false;
    // Repeated controls make the system singular: keep the first of each.
    std::vector<T3DControlPoint> keep;
    for (int i = 0; i < controls->size(); ++i) {
        bool repeated = false;
        for (int j = 0; j < i && !repeated; ++j) {
            const vector3<double> d = (*controls)[i].start - (*controls)[j].start;
            repeated = std::sqrt(d * d) < 0.1;
        }
        if (!repeated) keep.push_back((*controls)[i]);
    }
    controls->resize(0);
    for (const T3DControlPoint& c : keep) controls->add(c);
    const std::vector<T3DControlPoint>& kept = keep;
    const int n = int(kept.size());
    if (n == 0) return false;
    auto centre = [&](int j) { return centres == 1 ? kept[j].target : kept[j].start; };
    std::vector<double> A(size_t(n) * n);
    std::vector<vector3<double>> D(n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) A[size_t(i) * n + j] = XformPhi(kept[i].start, centre(j), kept[j].radius, shape);
        D[i] = kept[i].target - kept[i].start;
    }
    // Gauss-Jordan in column order, no pivot search.
    for (int k = 0; k < n; ++k) {
        const double pivot = A[size_t(k) * n + k];
        if (!(std::fabs(pivot) > 1e-10)) return false;
        for (int c = k + 1; c < n; ++c) A[size_t(k) * n + c] /= pivot;
        D[k] /= pivot;
        A[size_t(k) * n + k] = 1;
        for (int r = 0; r < n; ++r) {
            if (r == k) continue;
            const double f = A[size_t(r) * n + k];
            for (int c = k + 1; c < n; ++c) A[size_t(r) * n + c] -= f * A[size_t(k) * n + c];
            D[r] -= D[k] * f;
            A[size_t(r) * n + k] = 0;
        }
    }
    // A vertex has all its triangles gathered when as many gathered
    // triangles have it as a corner as its list holds (links sound: each
    // triangle of a corner stands once in the corner's list; a vertex without
    // triangles has none). Counting spares walking every list.
    std::vector<int> gatheredAt;
    if (onlyGathered) {
        const fnd::chain<Index<triangle>>& g = gatheredTriangles();
        for (int m = g.first(); m != -1; m = g.nextOf(m)) {
            const triangle& tr = h.triangles[g[m]];
            for (int k = 0; k < 3; ++k) {
                const int v = tr.corner(k);
                if (v < 0 || (k > 0 && v == tr.corner(0)) || (k > 1 && v == tr.corner(1))) continue;
                if (size_t(v) >= gatheredAt.size()) gatheredAt.resize(size_t(v) + 1, 0);
                ++gatheredAt[size_t(v)];
            }
        }
    }
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vertex& x = h.vertices[v];
        if (onlyGathered) {
            const int at = size_t(int(v)) < gatheredAt.size() ? gatheredAt[size_t(int(v))] : 0;
            if (at != x.triangles.count()) continue;
        }
        vector3<double> move;
        for (int j = 0; j < n; ++j) move += D[j] * XformPhi(centre(j), x.position, kept[j].radius, shape);
        x.position += move;
    }
    h.Changed();
    return true;
}

bool CalculateNewPoints(dynarray<T3DControlPoint>* controls, int centres, bool onlyGathered, int shape) {
    if (!actual_head3) return false;
    return CalculateNewPoints(*actual_head3, controls, centres, onlyGathered, shape);
}

// ---- gathering inside a closed fixed line ----

namespace {

// The closing duplicate of a closed line stands for its first point.
Index<linepoint3> unique(Index<featureline3> line, Index<linepoint3> p) {
    const featureline3& l = line.data();
    if (p != -1 && p == l.last() && isClosedLine(line)) return l.first();
    return p;
}

// Whether q comes right after p along the line.
bool follows(Index<featureline3> line, Index<linepoint3> p, Index<linepoint3> q) {
    const featureline3& l = line.data();
    p = unique(line, p);
    q = unique(line, q);
    const int n = l.nextOf(p);
    return n != -1 && unique(line, n) == q;
}

}  // namespace

Index<triangle> head3::triangleInside(Index<featureline3> L, bool useSurface) const {
    if (L == -1) return -1;
    const featureline3& l = featurelines[L];
    if (l.first() == -1 || !l[l.first()].isFixed()) return -1;
    if (l.side != 0) {
        const int second = l.nextOf(l.first());
        if (second == -1 || !l[second].isFixed()) return -1;
        const Index<vertex> v = l[l.first()].vtx, w = l[second].vtx;
        const commonlistindex<triangle>& ts = vertices[v].triangles;
        for (int n = ts.first(); n != -1; n = ts.nextOf(n)) {
            const triangle& tr = triangles[ts[n]];
            for (int k = 0; k < 3; ++k) {
                const Index<vertex> a = tr.corner(k), b = tr.corner((k + 1) % 3);
                if ((l.side == 1 && a == v && b == w) || (l.side == -1 && a == w && b == v)) return ts[n];
            }
        }
        return -1;
    }
    if (useSurface) {
        // The triangle along the line that reaches highest above the cut
        // surface lies inside.
        Index<triangle> best = -1;
        double bestValue = -1e10;
        int side = 0;
        for (int p = l.first(); p != -1 && l.nextOf(p) != -1; p = l.nextOf(p)) {
            const Index<vertex> v = l[p].vtx, w = l[l.nextOf(p)].vtx;
            if (v == -1 || w == -1) continue;
            const commonlistindex<triangle>& ts = vertices[v].triangles;
            for (int n = ts.first(); n != -1; n = ts.nextOf(n)) {
                const triangle& tr = triangles[ts[n]];
                int kv = -1, kw = -1;
                for (int k = 0; k < 3; ++k) {
                    if (tr.corner(k) == v) kv = k;
                    if (tr.corner(k) == w) kw = k;
                }
                if (kv == -1 || kw == -1) continue;
                const double h[3] = {fun31ForSurface(vertices[tr.a].position), fun31ForSurface(vertices[tr.b].position),
                                     fun31ForSurface(vertices[tr.c].position)};
                const double top = std::max({h[0], h[1], h[2]});
                if (top > bestValue) {
                    bestValue = top;
                    best = ts[n];
                    side = (kv + 1) % 3 == kw ? 1 : -1;
                }
            }
        }
        if (best != -1) const_cast<featureline3&>(l).side = side;
        return best;
    }
    // Without the surface: shoot from the line's centre towards the head's
    // origin.
    const vector3<double> c = const_cast<featureline3&>(l).get_weightpoint();
    Index<triangle> t = -1;
    vector3<double> b;
    return ProjectOnHeadTowardDirection(c, -c, &t, &b) ? t : Index<triangle>(-1);
}

void head3::gatherTriangles(Index<featureline3> L, Index<triangle> start) {
    if (L == -1) return;
    set_actual();
    const bool sideKnown = featurelines[L].side != 0;
    if (start == -1) start = triangleInside(L, false);
    if (start == -1) return;
    double area = 0;
    add_triangle_to_gatheredTriangles(start);
    fnd::chain<Index<triangle>>& g = gatheredTriangles();
    for (int n = g.first(); n != -1; n = g.nextOf(n)) {
        const Index<triangle> t = g[n];
        if (!sideKnown) area += triangles[t].weight();
        for (int k = 0; k < 3; ++k) {
            const Index<vertex> a = triangles[t].corner((k + 1) % 3), b = triangles[t].corner((k + 2) % 3);
            const Index<triangle> across = triangleAcrossEdge(t, a, b);
            if (across == -1 || isGathered(across)) continue;
            const Index<linepoint3> pa = linepoint_of_vertex_in_line(a, L), pb = linepoint_of_vertex_in_line(b, L);
            const bool ab = pa != -1 && pb != -1 && follows(L, pa, pb);
            const bool ba = pa != -1 && pb != -1 && follows(L, pb, pa);
            if (ab || ba) {
                if (featurelines[L].side == 0) featurelines[L].side = ab ? 1 : -1;
                continue;
            }
            add_triangle_to_gatheredTriangles(across);
        }
    }
    if (sideKnown) return;
    double total = 0;
    for (Index<triangle> t = triangles.first(); t != -1; t = triangles.nextOf(t)) total += triangles[t].weight();
    if (area > 0.66 * total) {
        // The fill covered the outside: take the other side.
        featurelines[L].side = -featurelines[L].side;
        for (Index<triangle> t = triangles.first(); t != -1; t = triangles.nextOf(t))
            change_triangle_at_gatheredTriangles(t);
    }
}

int head3::gatherVertices(dynarray<Index<vertex> >* out) const {
    if (out) out->resize(0);
    int n = 0;
    for (Index<vertex> v = vertices.first(); v != -1; v = vertices.nextOf(v)) {
        const commonlistindex<triangle>& ts = vertices[v].triangles;
        if (ts.count() == 0) continue;
        bool all = true;
        for (int k = ts.first(); k != -1 && all; k = ts.nextOf(k)) all = isGathered(ts[k]);
        if (!all) continue;
        if (out) out->add(v);
        ++n;
    }
    return n;
}

int head3::cleanRegions() {
    set_actual();
    int removed = cleanAreas();
    // A region of the tables always exists in the head (reading makes
    // them), so only the others go when they lost their last area.
    std::vector<Index<region>> empty;
    for (Index<region> r = regions.first(); r != -1; r = regions.nextOf(r)) {
        if (regions[r].areas.count() > 0) continue;
        bool named = false;
        CString code;
        for (int n = 0; !named && GetRegionInfo(n, &code); ++n) named = code.View() == std::string_view(regions[r].name());
        if (!named) empty.push_back(r);
    }
    for (Index<region> r : empty) removed |= RemoveRegion(r);
    for (Index<area> a = areas.first(); a != -1; a = areas.nextOf(a)) order_regions(areas[a].regions);
    return removed ? 1 : 0;
}

int head3::generateRegion(Index<region> r) {
    set_actual();
    if (r == -1) r = addRegion("", true);
    if (r == -1) return 0;
    fnd::chain<Index<triangle>>& g = gatheredTriangles();
    std::vector<int> marked;
    for (int n = g.first(); n != -1; n = g.nextOf(n)) {
        const Index<area> a = triangles[g[n]].areaOf;
        if (a == -1) continue;
        bool seen = false;
        for (int m : marked) seen |= m == a;
        if (!seen) marked.push_back(a);
    }
    std::vector<std::pair<int, int>> split;  // old area, new area
    for (int a : marked) {
        const Index<area> fresh = areas.add();
        std::vector<Index<region>> regs;
        const commonchainindex<region>& rs = areas[a].regions;
        for (int m = rs.first(); m != -1; m = rs.nextOf(m)) regs.push_back(rs[m]);
        for (Index<region> q : regs) add_region_to_area(q, fresh);
        add_region_to_area(r, fresh);
        split.push_back({a, fresh});
    }
    for (int n = g.first(); n != -1; n = g.nextOf(n)) {
        const Index<triangle> t = g[n];
        const Index<area> a = triangles[t].areaOf;
        for (const auto& s : split)
            if (s.first == a) {
                remove_triangle_from_area(t);
                add_triangle_to_area(t, s.second);
            }
    }
    cleanAreas();
    for (Index<area> a = areas.first(); a != -1; a = areas.nextOf(a)) order_regions(areas[a].regions);
    return 1;
}

int head3::generateRegion(Index<region> r, Index<featureline3> L, Index<triangle> start) {
    if (L == -1 || !isClosedLine(L)) return 0;
    clean_gatheredTriangles();
    gatherTriangles(L, start);
    if (gatheredTriangles().count() == 0) return 0;
    if (r == -1) r = addRegion("", true);
    if (!generateRegion(r)) return 0;
    add_region_to_featureline(r, L);
    regions[r].borderLine = L;
    return 1;
}
