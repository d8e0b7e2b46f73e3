#include "model/topology.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "model/gather.h"
#include "model/head.h"
#include "model/octree.h"

namespace {

vertex& V(Index<vertex> v) { return v.data(); }
triangle& T(Index<triangle> t) { return t.data(); }
extrapoint& E(Index<extrapoint> e) { return e.data(); }
area& A(Index<area> a) { return a.data(); }
region& R(Index<region> r) { return r.data(); }
featurepoint3& FP(Index<featurepoint3> p) { return p.data(); }
featureline3& FL(Index<featureline3> l) { return l.data(); }
linepoint3& LP(Index<linepoint3> p) { return p.data(); }

// The values of an index list or chain, so the caller may change it while
// walking them.
template <class L>
auto snapshot(const L& l) {
    std::vector<std::remove_cvref_t<decltype(l[0])>> out;
    for (int n = l.first(); n != -1; n = l.nextOf(n)) out.push_back(l[n]);
    return out;
}

int cornerSlot(const triangle& tr, Index<vertex> v) {
    for (int k = 0; k < 3; ++k)
        if (tr.corner(k) == v) return k;
    return -1;
}

// The triangle next to t around its corner w: the one that follows t, else
// the one that precedes it, else t itself.
Index<triangle> neighbourAround(Index<vertex> w, Index<triangle> t) {
    commonlistindex<triangle>& l = V(w).triangles;
    Index<triangle> before = -1;
    for (int n = l.first(); n != -1; n = l.nextOf(n)) {
        Index<triangle> x = l[n];
        if (x == t) continue;
        int r = relation_of_triangles_around_vertex(w, t, x);
        if (r == -1) return x;
        if (r == 1 && before == -1) before = x;
    }
    return before != -1 ? before : t;
}

// Clears the partner's link back to x when it names x.
template <class X>
void clearMirrorBack(Index<X> x, Index<X> partner) {
    if (partner != -1 && partner != x && partner.data().mirror == x) partner.data().mirror = -1;
}

}  // namespace

// ---- fan walk and neighbourhood ----

int local_index_of_triangle(Index<vertex> v, Index<triangle> t) {
    if (v == -1 || t == -1) return -1;
    return V(v).triangles.index_of_data(t);
}

int aroundNextTriangle(Index<vertex> v, int node) {
    if (v == -1) return -1;
    commonlistindex<triangle>& l = V(v).triangles;
    if (node == -1) return l.first();
    int n = l.nextOf(node);
    return n == -1 ? int(l.first()) : n;
}

void aroundNextTrianglesVertex(int* node, Index<vertex>* w, Index<vertex> v) {
    *node = aroundNextTriangle(v, *node);
    if (*node == -1) {
        *w = -1;
        return;
    }
    const triangle& tr = T(V(v).triangles[*node]);
    Index<vertex> c0 = tr.a, c1 = tr.b, c2 = tr.c;
    if (v == c0)
        *w = *w == c1 ? c2 : c1;
    else if (v == c1)
        *w = *w == c2 ? c0 : c2;
    else if (v == c2)
        *w = *w == c0 ? c1 : c0;
    else
        *w = -1;
}

Index<linepoint3> linepoint_of_vertex_in_line(Index<vertex> v, Index<featureline3> line) {
    if (v == -1 || line == -1) return -1;
    const commonlistindex<linepoint3>& l = V(v).linepoints;
    for (int n = l.first(); n != -1; n = l.nextOf(n))
        if (LP(l[n]).line == line) return l[n];
    return -1;
}

int relation_of_triangles_around_vertex(Index<vertex> v, Index<triangle> t1, Index<triangle> t2) {
    if (v == -1 || t1 == -1 || t2 == -1) return 0;
    const triangle &a = T(t1), &b = T(t2);
    int k1 = cornerSlot(a, v), k2 = cornerSlot(b, v);
    if (k1 < 0 || k2 < 0) return 0;
    Index<vertex> after1 = a.corner((k1 + 1) % 3), before1 = a.corner((k1 + 2) % 3);
    Index<vertex> after2 = b.corner((k2 + 1) % 3), before2 = b.corner((k2 + 2) % 3);
    if (before1 == after2) return -1;
    if (after1 == before2) return 1;
    return 0;
}

namespace {

// A triangle of v's fan with its corners after and before v (-1 when v is
// not a corner): t2 follows t1 around v when before(t1) = after(t2).
struct FanCorner {
    Index<triangle> t;
    int after, before;
};

bool follows(const FanCorner& t1, const FanCorner& t2) { return t1.before != -1 && t1.before == t2.after; }
// relation_of_triangles_around_vertex = 1 over the precomputed corners.
bool precedes(const FanCorner& t1, const FanCorner& t2) {
    return !follows(t1, t2) && t1.after != -1 && t1.after == t2.before;
}

// Chains the fan from start on, each time the first remaining triangle (in
// list order) that follows the last; writes the order reached, returns its
// length.
int chainFrom(const FanCorner* fan, int n, int start, int* order, char* used) {
    std::fill(used, used + n, 0);
    int m = 0;
    order[m++] = start;
    used[start] = 1;
    while (m < n) {
        int k = 0;
        while (k < n && (used[k] || !follows(fan[order[m - 1]], fan[k]))) ++k;
        if (k == n) break;
        order[m++] = k;
        used[k] = 1;
    }
    return m;
}

}  // namespace

int order_trianges_of_vertex(Index<vertex> v) {
    if (v == -1) return 0;
    const commonlistindex<triangle>& list = V(v).triangles;
    const int n = list.count();
    if (n == 0) return 1;
    // Fans are small: the work space lives on the stack unless one is not.
    constexpr int kSmall = 32;
    FanCorner smallFan[kSmall];
    int smallOrder[kSmall], smallBest[kSmall];
    char smallUsed[kSmall];
    std::vector<FanCorner> bigFan;
    std::vector<int> bigOrder, bigBest;
    std::vector<char> bigUsed;
    FanCorner* fan = smallFan;
    int *order = smallOrder, *best = smallBest;
    char* used = smallUsed;
    if (n > kSmall) {
        bigFan.resize(n);
        bigOrder.resize(n);
        bigBest.resize(n);
        bigUsed.resize(n);
        fan = bigFan.data();
        order = bigOrder.data();
        best = bigBest.data();
        used = bigUsed.data();
    }
    int i = 0;
    for (int node = list.first(); node != -1; node = list.nextOf(node), ++i) {
        const triangle& tr = T(list[node]);
        const int k = cornerSlot(tr, v);
        fan[i] = {list[node], k < 0 ? -1 : int(tr.corner((k + 1) % 3)), k < 0 ? -1 : int(tr.corner((k + 2) % 3))};
    }
    int result = 0;
    if (chainFrom(fan, n, 0, order, used) == n) {
        result = precedes(fan[order[0]], fan[order[n - 1]]) ? 1 : 0;
    } else {
        // An open fan: start at the triangle that follows no other.
        bool found = false;
        for (int s = 0; s < n && !found; ++s) {
            bool isNext = false;
            for (int k = 0; k < n && !isNext; ++k) isNext = k != s && follows(fan[k], fan[s]);
            if (isNext) continue;
            found = chainFrom(fan, n, s, best, used) == n;
        }
        if (!found) return 0;
        std::copy(best, best + n, order);
    }
    commonlistindex<triangle>& l = V(v).triangles;
    int k = 0;
    for (int node = l.first(); node != -1; node = l.nextOf(node)) l[node] = fan[order[k++]].t;
    headChanged();  // the normals sum the fan in its order
    return result;
}

// ---- triangles, areas and edit points ----

void add_triangle_to_vertex(Index<triangle> t, Index<vertex> v) {
    if (t == -1 || v == -1) return;
    commonlistindex<triangle>& l = V(v).triangles;
    if (l.index_of_data(t) == -1) l.add_data(t);
    headChanged();
}

void add_triangle_to_vertices(Index<triangle> t) {
    if (t == -1) return;
    for (int k = 0; k < 3; ++k) add_triangle_to_vertex(t, T(t).corner(k));
}

void remove_triangle_from_vertex(Index<triangle> t, Index<vertex> v) {
    if (t == -1 || v == -1) return;
    V(v).triangles.remove_data(t);
    headChanged();
}

void add_triangle_to_area(Index<triangle> t, Index<area> a) {
    if (t == -1 || a == -1) return;
    T(t).areaOf = a;
    T(t).areaNode = A(a).triangles.add_data(t);
}

void remove_triangle_from_area(Index<triangle> t) {
    if (t == -1) return;
    triangle& tr = T(t);
    if (tr.areaOf != -1 && tr.areaNode != -1) A(tr.areaOf).triangles.remove_index(tr.areaNode);
    tr.areaOf = -1;
    tr.areaNode = -1;
}

void add_triangle(Index<triangle> t, Index<area> a) {
    if (t == -1) return;
    add_triangle_to_area(t, a);
    add_triangle_to_vertices(t);
    add_triangle_to_octtree(t);
}

void remove_triangle(Index<triangle> t) {
    if (t == -1) return;
    headChanged();
    remove_triangle_from_area(t);
    for (int k = 0; k < 3; ++k) remove_triangle_from_vertex(t, T(t).corner(k));
    remove_triangle_from_octtree(t);
    // What rode on the triangle goes with it.
    for (int guard = T(t).extrapoints.count() + 1; T(t).extrapoints.count() > 0 && guard > 0; --guard) {
        Index<extrapoint> e = T(t).extrapoints[T(t).extrapoints.first()];
        remove_extrapoint(e, true);
        commonlistindex<extrapoint>& l = T(t).extrapoints;
        if (l.count() > 0 && l[l.first()] == e) l.remove_first_index();
    }
    remove_triangle_from_gatheredTriangles(t);
    // No link may name the freed slot.
    clearMirrorBack(t, T(t).mirror);
    for (int k = 0; k < 3; ++k) {
        Index<vertex> c = T(t).corner(k);
        if (c == -1) continue;
        const commonlistindex<triangle>& l = V(c).triangles;
        for (int n = l.first(); n != -1; n = l.nextOf(n))
            if (T(l[n]).quadPartner == t) T(l[n]).quadPartner = -1;
    }
    Index<triangle>::current().remove_index(t);
}

void add_extrapoint_to_triangle(Index<extrapoint> e) {
    if (e == -1) return;
    const extrapoint& x = E(e);
    if (!x.active || x.tri == -1) return;
    commonlistindex<extrapoint>& l = T(x.tri).extrapoints;
    if (l.index_of_data(e) == -1) l.add_data(e);
}

void remove_extrapoint_from_triangle(Index<extrapoint> e) {
    if (e == -1 || E(e).tri == -1) return;
    commonlistindex<extrapoint>& l = T(E(e).tri).extrapoints;
    l.remove_index(l.index_of_data(e));
}

void remove_extrapoint_from_triangle(Index<triangle> t, int node) {
    if (t == -1 || node == -1) return;
    commonlistindex<extrapoint>& l = T(t).extrapoints;
    Index<extrapoint> e = l[node];
    if (l.remove_index(node) && e != -1) E(e).tri = -1;
}

void set_extrapoint(Index<extrapoint>* e, Index<triangle> t, const vector3<double>& bary, pointConversionMode mode) {
    if (!e) return;
    if (*e == -1) *e = Index<extrapoint>::current().add();
    if (*e == -1) return;
    // A point moving to another triangle leaves the old one's list.
    if (E(*e).tri != -1 && E(*e).tri != t) remove_extrapoint_from_triangle(*e);
    E(*e).set(t, bary, mode);
    add_extrapoint_to_triangle(*e);
}

void remove_extrapoint(Index<extrapoint> e, bool cascade) {
    if (e == -1 || !E(e).active) return;
    if (cascade) {
        // One edit point may carry a feature point and a line point: both go.
        Index<featurepoint3> fp = E(e).featurepoint;
        Index<linepoint3> lp = E(e).linepoint;
        Index<featureline3> line = lp != -1 ? LP(lp).line : Index<featureline3>(-1);
        if (fp != -1) RemoveFeaturepoint(fp);
        if (line != -1) RemoveFeatureline(line);
        if (fp != -1 || line != -1) return;
    }
    Index<featurepoint3> fp = E(e).featurepoint;
    if (fp != -1 && FP(fp).extra == e) FP(fp).extra = -1;
    Index<linepoint3> lp = E(e).linepoint;
    if (lp != -1 && LP(lp).extra == e) LP(lp).extra = -1;
    remove_extrapoint_from_triangle(e);
    Index<extrapoint>::current().remove_index(e);
}

void add_vertex_to_minmax(Index<vertex> v, vector3<double>& min, vector3<double>& max) {
    if (v == -1) return;
    min = fnd::min(min, V(v).position);
    max = fnd::max(max, V(v).position);
}

void add_extrapoint_to_minmax(Index<extrapoint> e, vector3<double>& min, vector3<double>& max) {
    if (e == -1) return;
    min = fnd::min(min, E(e).position);
    max = fnd::max(max, E(e).position);
}

// ---- line points and feature points ----

void add_linepoint(Index<linepoint3> lp, Index<featureline3> line) {
    if (lp == -1) return;
    linepoint3& p = LP(lp);
    if (p.isFixed() == p.isRubber()) return;
    p.line = line;
    if (p.isFixed()) {
        commonlistindex<linepoint3>& l = V(p.vtx).linepoints;
        if (l.index_of_data(lp) == -1) l.add_data(lp);
    } else {
        E(p.extra).linepoint = lp;
    }
}

void remove_linepoint_from_vertex(Index<linepoint3> lp) {
    if (lp == -1 || LP(lp).vtx == -1) return;
    V(LP(lp).vtx).linepoints.remove_data(lp);
}

void remove_linepoint(Index<linepoint3> lp, bool fromLine, bool removeExtra) {
    if (lp == -1) return;
    if (LP(lp).isFixed()) remove_linepoint_from_vertex(lp);
    Index<extrapoint> e = LP(lp).extra;
    if (e != -1) {
        if (E(e).linepoint == lp) E(e).linepoint = -1;
        // An edit point that still carries a feature point stays for it.
        if (removeExtra && E(e).featurepoint == -1 && E(e).linepoint == -1) remove_extrapoint(e, false);
    }
    Index<featureline3> line = LP(lp).line;
    if (fromLine && line != -1) FL(line).remove_index(lp);
}

bool isClosedLine(Index<featureline3> line) {
    if (line == -1) return false;
    const featureline3& l = FL(line);
    if (l.count() < 3) return false;
    const linepoint3 &f = LP(l.first()), &e = LP(l.last());
    return (f.extra != -1 && f.extra == e.extra) || (f.vtx != -1 && f.vtx == e.vtx && f.extra == -1 && e.extra == -1);
}

Index<linepoint3> next_linepoint(Index<linepoint3> lp) {
    if (lp == -1) return -1;
    Index<featureline3> line = LP(lp).line;
    if (line == -1) return -1;
    const featureline3& l = FL(line);
    int n = l.nextOf(lp);
    if (n == -1 && isClosedLine(line)) n = l.nextOf(l.first());
    return n;
}

Index<linepoint3> previous_linepoint(Index<linepoint3> lp) {
    if (lp == -1) return -1;
    Index<featureline3> line = LP(lp).line;
    if (line == -1) return -1;
    const featureline3& l = FL(line);
    int p = l.prevOf(lp);
    if (p == -1 && isClosedLine(line)) p = l.prevOf(l.last());
    return p;
}

void linepoints_insert(Index<vertex> a, Index<vertex> b, Index<vertex> m) {
    if (a == -1 || b == -1 || m == -1) return;
    for (Index<linepoint3> pa : snapshot(V(a).linepoints)) {
        for (Index<linepoint3> pb : snapshot(V(b).linepoints)) {
            Index<featureline3> line = LP(pa).line;
            if (line == -1 || LP(pb).line != line) continue;
            Index<linepoint3> after;
            if (FL(line).nextOf(pa) == pb)
                after = pa;
            else if (FL(line).nextOf(pb) == pa)
                after = pb;
            else
                continue;
            Index<linepoint3> np = FL(line).insert_after_whichindex(-2, after);
            if (np == -1) continue;
            LP(np) = linepoint3();
            LP(np).vtx = m;
            LP(np).kind = 1;
            add_linepoint(np, line);
            FL(line).weightsComputed = 0;
        }
    }
}

void add_featurepoint(Index<featurepoint3> fp) {
    if (fp == -1) return;
    featurepoint3& p = FP(fp);
    if (p.isFixed() == p.isRubber()) return;
    if (p.isFixed())
        V(p.vtx).featurepoint = fp;
    else
        E(p.extra).featurepoint = fp;
}

namespace {
// Unlinks the point from its place, its regions and its mirror.
void unplaceFeaturepoint(Index<featurepoint3> fp) {
    featurepoint3& p = FP(fp);
    if (p.isRubber()) {
        Index<extrapoint> e = p.extra;
        if (E(e).featurepoint == fp) E(e).featurepoint = -1;
        // An edit point that still carries a line point stays for it.
        if (E(e).active && E(e).linepoint == -1) remove_extrapoint(e, false);
        FP(fp).extra = -1;
    }
    if (FP(fp).isFixed()) {
        if (V(FP(fp).vtx).featurepoint == fp) V(FP(fp).vtx).featurepoint = -1;
        FP(fp).vtx = -1;
    }
    while (FP(fp).regions.count() > 0) remove_region_from_featurepoint(fp, regionNode(FP(fp).regions.first()));
    clearMirrorBack(fp, FP(fp).mirror);
}
}  // namespace

void remove_featurepoint(Index<featurepoint3> fp) {
    if (fp == -1) return;
    unplaceFeaturepoint(fp);
    Index<featurepoint3>::current().remove_index(fp);
}

// ---- regions ----

namespace {

// The chain of a region that lists elements of type X.
commonchainindex<area>& regionSide(region& r, area*) { return r.areas; }
commonchainindex<featurepoint3>& regionSide(region& r, featurepoint3*) { return r.points; }
commonchainindex<featureline3>& regionSide(region& r, featureline3*) { return r.lines; }
template <class X>
commonchainindex<X>& sideOf(Index<region> r) {
    return regionSide(R(r), static_cast<X*>(nullptr));
}

template <class X>
void addRough(Index<region> r, Index<X> x) {
    if (r == -1 || x == -1) return;
    x.data().regions.add_data_ifnew(r);
}
template <class X>
void addBoth(Index<region> r, Index<X> x) {
    if (r == -1 || x == -1) return;
    addRough(r, x);
    sideOf<X>(r).add_data_ifnew(x);
}
template <class X>
void addAll(Index<region> r) {
    if (r == -1) return;
    for (Index<X> x : snapshot(sideOf<X>(r))) addRough(r, x);
}
template <class X>
void removeRoughNode(Index<X> x, regionNode node) {
    if (x == -1 || node == -1) return;
    x.data().regions.remove_index(node);
}
template <class X>
void removeRoughIndex(Index<X> x, Index<region> r) {
    if (x == -1 || r == -1) return;
    x.data().regions.remove_data(r);
}
template <class X>
void removeNode(Index<X> x, regionNode node) {
    if (x == -1 || node == -1) return;
    Index<region> r = x.data().regions[node];
    removeRoughNode(x, node);
    if (r != -1) sideOf<X>(r).remove_data(x);
}
template <class X>
void removeIndex(Index<X> x, Index<region> r) {
    if (x == -1 || r == -1) return;
    removeRoughIndex(x, r);
    sideOf<X>(r).remove_data(x);
}
// Until the region's chain is empty; an entry the element does not list
// back still goes.
template <class X>
void removeAll(Index<region> r) {
    if (r == -1) return;
    commonchainindex<X>& side = sideOf<X>(r);
    while (side.count() > 0) {
        Index<X> x = side[side.first()];
        removeIndex(x, r);
        if (side.count() > 0 && side[side.first()] == x) side.remove_first_index();
    }
}

}  // namespace

void add_region_to_area_rough(Index<region> r, Index<area> a) { addRough(r, a); }
void add_region_to_area(Index<region> r, Index<area> a) { addBoth(r, a); }
void add_region_to_areas(Index<region> r) { addAll<area>(r); }
void remove_region_from_area_rough(Index<area> a, regionNode node) { removeRoughNode(a, node); }
void remove_region_from_area(Index<area> a, regionNode node) { removeNode(a, node); }

void add_region_to_featurepoint_rough(Index<region> r, Index<featurepoint3> p) { addRough(r, p); }
void add_region_to_featurepoint(Index<region> r, Index<featurepoint3> p) { addBoth(r, p); }
void add_region_to_featurepoints(Index<region> r) { addAll<featurepoint3>(r); }
void remove_region_from_featurepoint_rough(Index<featurepoint3> p, regionNode node) { removeRoughNode(p, node); }
void remove_region_from_featurepoint_rough(Index<featurepoint3> p, Index<region> r) { removeRoughIndex(p, r); }
void remove_region_from_featurepoint(Index<featurepoint3> p, regionNode node) { removeNode(p, node); }
void remove_region_from_featurepoint(Index<featurepoint3> p, Index<region> r) { removeIndex(p, r); }
void remove_region_from_featurepoints(Index<region> r) { removeAll<featurepoint3>(r); }

void add_region_to_featureline_rough(Index<region> r, Index<featureline3> l) { addRough(r, l); }
void add_region_to_featureline(Index<region> r, Index<featureline3> l) { addBoth(r, l); }
void add_region_to_featurelines(Index<region> r) { addAll<featureline3>(r); }
void remove_region_from_featureline_rough(Index<featureline3> l, regionNode node) { removeRoughNode(l, node); }
void remove_region_from_featureline_rough(Index<featureline3> l, Index<region> r) { removeRoughIndex(l, r); }
void remove_region_from_featureline(Index<featureline3> l, regionNode node) { removeNode(l, node); }
void remove_region_from_featureline(Index<featureline3> l, Index<region> r) { removeIndex(l, r); }
void remove_region_from_featurelines(Index<region> r) { removeAll<featureline3>(r); }

// ---- deletions ----

void RemoveFeaturepoint(Index<featurepoint3> fp) {
    if (fp == -1) return;
    std::string name = FP(fp).name();
    unplaceFeaturepoint(fp);
    Index<featurepoint3>::current().remove_index(fp);
    addFeaturepoints3(name.c_str());
}

void RemoveFeatureline(Index<featureline3> line) {
    if (line == -1) return;
    std::string name = FL(line).name();
    // The closing duplicate shares its edit point with the first point.
    if (isClosedLine(line) && LP(FL(line).last()).extra != -1) {
        Index<linepoint3> first = FL(line).first(), last = FL(line).last();
        Index<extrapoint> e = LP(last).extra;
        if (E(e).linepoint == last) E(e).linepoint = first;
        FL(line).remove_index(last);
    }
    while (FL(line).count() > 0) remove_linepoint(FL(line).first(), true, true);
    fnd::chain<region>& regions = Index<region>::current();
    for (int r = regions.first(); r != -1; r = regions.nextOf(r))
        if (regions[r].borderLine == line) regions[r].borderLine = -1;
    while (FL(line).regions.count() > 0) remove_region_from_featureline(line, regionNode(FL(line).regions.first()));
    clearMirrorBack(line, FL(line).mirror);
    Index<featureline3>::current().remove_index(line);
    addFeaturelines3(name.c_str());
}

int RemoveRegion(Index<region> r) {
    if (r == -1) return 0;
    // The region leaves its areas first, so no area names the freed slot.
    removeAll<area>(r);
    remove_region_from_featurepoints(r);
    remove_region_from_featurelines(r);
    Index<featureline3> border = R(r).borderLine;
    R(r).borderLine = -1;
    clearMirrorBack(r, R(r).mirror);
    Index<region>::current().remove_index(r);
    // After the slot is free, so the line made again cannot join it.
    if (border != -1) RemoveFeatureline(border);
    return 1;
}

void remove_vertex(Index<vertex> v) {
    if (v == -1) return;
    headChanged();
    // No triangle may keep a corner that names the freed slot.
    while (V(v).triangles.count() > 0) {
        Index<triangle> t = V(v).triangles[V(v).triangles.first()];
        remove_triangle(t);
        commonlistindex<triangle>& l = V(v).triangles;
        if (l.count() > 0 && l[l.first()] == t) l.remove_first_index();
    }
    while (V(v).linepoints.count() > 0) {
        Index<linepoint3> lp = V(v).linepoints[V(v).linepoints.first()];
        Index<featureline3> line = LP(lp).line;
        if (line != -1) RemoveFeatureline(line);
        commonlistindex<linepoint3>& l = V(v).linepoints;
        if (l.count() > 0 && l[l.first()] == lp) {
            l.remove_first_index();
            LP(lp).vtx = -1;
        }
    }
    if (V(v).featurepoint != -1) RemoveFeaturepoint(V(v).featurepoint);
    clearMirrorBack(v, V(v).mirror);
    Index<vertex>::current().remove_index(v);
}

int removeEmptyArea(Index<area> a) {
    if (a == -1 || A(a).triangles.count() > 0) return 0;
    while (A(a).regions.count() > 0) remove_region_from_area(a, regionNode(A(a).regions.first()));
    Index<area>::current().remove_index(a);
    return 1;
}

int head3::cleanAreas() {
    int removed = 0;
    for (int a = areas.first(); a != -1;) {
        int next = areas.nextOf(a);
        if (removeEmptyArea(a)) removed = 1;
        a = next;
    }
    return removed;
}

namespace {

// Where the edit points of t go when t vanishes in the collapse of the edge
// a-b: onto the triangle next to t around its third corner, at the
// coordinates where the line along that triangle's normal meets it. False
// when a point cannot be carried over.
struct EditPointMove {
    Index<extrapoint> e;
    vector3<double> bary;
};
bool editPointMoves(Index<triangle> t, Index<vertex> a, Index<vertex> b, Index<triangle>* to,
                    std::vector<EditPointMove>* moves) {
    moves->clear();
    Index<vertex> w = -1;
    for (int k = 0; k < 3; ++k)
        if (T(t).corner(k) != a && T(t).corner(k) != b) w = T(t).corner(k);
    if (w == -1) return false;
    *to = neighbourAround(w, t);
    if (*to == t) return true;
    const vector3<double> n = T(*to)._normalvector();
    for (Index<extrapoint> e : snapshot(T(t).extrapoints)) {
        vector3<double> hit, bary;
        double s;
        if (!T(*to).metszes(E(e).position, n, &hit, &s, &bary)) return false;
        moves->push_back({e, bary});
    }
    return true;
}

}  // namespace

int eliminateTriangle(Index<triangle> t, Index<vertex> a, Index<vertex> b) {
    if (t == -1 || a == -1 || b == -1) return 0;
    headChanged();
    // What cannot be carried over is found before anything changes.
    Index<triangle> to = -1;
    std::vector<EditPointMove> moves;
    if (!editPointMoves(t, a, b, &to, &moves)) return 0;
    clearMirrorBack(t, T(t).mirror);
    T(t).mirror = -1;
    remove_triangle_from_gatheredTriangles(t);
    fnd::temporaryChange<double> snap(extrapoint::bariCoordMinValue, 0.0);
    for (const EditPointMove& m : moves) {
        remove_extrapoint_from_triangle(m.e);
        E(m.e).set(to, m.bary, E(m.e).mode);
        add_extrapoint_to_triangle(m.e);
    }
    remove_triangle(t);
    return 1;
}

namespace {
// Whether every triangle of a that stays keeps its side and an area when a
// moves onto b, and faces the same way as the triangles beside it: a
// collapse must neither turn a triangle over nor flatten one nor fold the
// surface.
bool keepsShape(Index<vertex> a, Index<vertex> b, const std::vector<Index<triangle>>& shared) {
    auto moved = [a, b](Index<vertex> v) { return v == a ? b : v; };
    auto gone = [&shared](Index<triangle> t) { return t == shared[0] || t == shared[1]; };
    // The normal (not unit) of a triangle once a stands on b.
    auto normalAfter = [&](Index<triangle> t) {
        const triangle& tr = T(t);
        vector3<double> q[3];
        for (int k = 0; k < 3; ++k) q[k] = V(moved(tr.corner(k))).position;
        return (q[1] - q[0]) % (q[2] - q[0]);
    };
    // The other triangle on the edge x-y once a stands on b.
    auto across = [&](Index<triangle> t, Index<vertex> x, Index<vertex> y) -> Index<triangle> {
        for (Index<vertex> from : {x, x == b ? a : Index<vertex>(-1)}) {
            if (from == -1) continue;
            const commonlistindex<triangle>& l = V(from).triangles;
            for (int n = l.first(); n != -1; n = l.nextOf(n)) {
                const Index<triangle> u = l[n];
                if (u == t || gone(u)) continue;
                const triangle& ut = T(u);
                if (moved(ut.a) == y || moved(ut.b) == y || moved(ut.c) == y) return u;
            }
        }
        return -1;
    };
    for (Index<triangle> t : snapshot(V(a).triangles)) {
        if (gone(t)) continue;
        const triangle& tr = T(t);
        const vector3<double> before = (V(tr.b).position - V(tr.a).position) % (V(tr.c).position - V(tr.a).position);
        const vector3<double> after = normalAfter(t);
        if (!(0.5 * after.length() > kDegenerateArea) || !(before * after > 0)) return false;
        // Nor may it end up facing away from a neighbour.
        for (int k = 0; k < 3; ++k) {
            const Index<triangle> u = across(t, moved(tr.corner(k)), moved(tr.corner((k + 1) % 3)));
            if (u != -1 && !(normalAfter(u) * after > 0)) return false;
        }
    }
    return true;
}

// The edge a-b may collapse when it has exactly two triangles, a and b
// share no neighbour but their two opposite corners, each opposite corner
// keeps at least three triangles (else the surface would fold), and no
// remaining triangle turns over, flattens or comes to face away from a
// neighbour.
bool collapsible(Index<vertex> a, Index<vertex> b, std::vector<Index<triangle>>& shared) {
    shared.clear();
    for (Index<triangle> t : snapshot(V(a).triangles))
        if (cornerSlot(T(t), b) >= 0) shared.push_back(t);
    if (shared.size() != 2) return false;
    std::vector<int> opposite;
    for (Index<triangle> t : shared)
        for (int k = 0; k < 3; ++k)
            if (T(t).corner(k) != a && T(t).corner(k) != b) opposite.push_back(T(t).corner(k));
    if (opposite.size() != 2 || opposite[0] == opposite[1]) return false;
    // An opposite corner with three triangles would keep two triangles on
    // the same three vertices.
    for (int c : opposite)
        if (V(c).triangles.count() <= 3) return false;
    auto neighbours = [](Index<vertex> v) {
        std::vector<int> out;
        for (Index<triangle> t : snapshot(V(v).triangles))
            for (int k = 0; k < 3; ++k)
                if (T(t).corner(k) != v) out.push_back(T(t).corner(k));
        return out;
    };
    std::vector<int> nb = neighbours(b);
    for (int x : neighbours(a)) {
        if (x == b || x == opposite[0] || x == opposite[1]) continue;
        for (int y : nb)
            if (y == x) return false;
    }
    return keepsShape(a, b, shared);
}
}  // namespace

namespace {

// The mirror vertex of v, a link of v to itself counting as none.
Index<vertex> mirrorOf(Index<vertex> v) { return V(v).mirror == v ? Index<vertex>(-1) : V(v).mirror; }

// Whether the edge a-b may collapse with its edit points carried over.
bool collapsibleWithPoints(Index<vertex> a, Index<vertex> b, std::vector<Index<triangle>>& shared) {
    if (!collapsible(a, b, shared)) return false;
    for (Index<triangle> t : shared) {
        Index<triangle> to;
        std::vector<EditPointMove> moves;
        if (!editPointMoves(t, a, b, &to, &moves)) return false;
    }
    return true;
}

// The vertices whose triangles a collapse of a-b changes or counts.
std::vector<int> reach(Index<vertex> a, Index<vertex> b) {
    std::vector<int> out{a, b};
    for (Index<vertex> v : {a, b})
        for (Index<triangle> t : snapshot(V(v).triangles))
            for (int k = 0; k < 3; ++k) out.push_back(T(t).corner(k));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// Collapses the checked edge a-b into b; 1 when b's fan closes afterwards.
int collapseEdge(Index<vertex> a, Index<vertex> b, const std::vector<Index<triangle>>& shared) {
    // line points of a
    for (Index<linepoint3> lp : snapshot(V(a).linepoints)) {
        Index<linepoint3> n = next_linepoint(lp), p = previous_linepoint(lp);
        if ((n != -1 && LP(n).vtx == b) || (p != -1 && LP(p).vtx == b)) {
            remove_linepoint(lp, true, true);
        } else {
            V(a).linepoints.remove_data(lp);
            LP(lp).vtx = b;
            if (V(b).linepoints.index_of_data(lp) == -1) V(b).linepoints.add_data(lp);
        }
    }
    // the feature point of a moves to b when b has none
    Index<featurepoint3> fp = V(a).featurepoint;
    if (fp != -1) {
        if (V(b).featurepoint == -1 && FP(fp).vtx == a) {
            V(a).featurepoint = -1;
            FP(fp).vtx = b;
            V(b).featurepoint = fp;
        } else {
            RemoveFeaturepoint(fp);
            V(a).featurepoint = -1;
        }
    }
    // the two triangles of the edge (checked: they go)
    for (Index<triangle> t : shared) eliminateTriangle(t, a, b);
    // the rest of a's fan joins b
    for (Index<triangle> t : snapshot(V(a).triangles)) {
        remove_triangle_from_octtree(t);
        for (int k = 0; k < 3; ++k)
            if (T(t).corner(k) == a) T(t).corner(k) = b;
        V(a).triangles.remove_data(t);
        add_triangle_to_vertex(t, b);
        add_triangle_to_octtree(t);
    }
    Index<vertex>::current().remove_index(a);
    return order_trianges_of_vertex(b) == 1 ? 1 : 0;
}

}  // namespace

namespace {

// Both edges, a-b and its mirror image (when it has one), may collapse.
bool unifiable(Index<vertex> a, Index<vertex> b, std::vector<Index<triangle>>& shared,
               std::vector<Index<triangle>>& mirrorShared, bool* mirrorEdge) {
    if (a == -1 || b == -1 || a == b) return false;
    if (!collapsibleWithPoints(a, b, shared)) return false;
    const Index<vertex> ma = mirrorOf(a), mb = mirrorOf(b);
    *mirrorEdge = ma != -1 && mb != -1 && ma != b && mb != a && ma != mb;
    if (!*mirrorEdge) return true;
    if (!collapsibleWithPoints(ma, mb, mirrorShared)) return false;
    // The two collapses must not touch each other's neighbourhood.
    const std::vector<int> here = reach(a, b), there = reach(ma, mb);
    std::vector<int> common;
    std::set_intersection(here.begin(), here.end(), there.begin(), there.end(), std::back_inserter(common));
    return common.empty();
}

}  // namespace

bool canUnifyVertex(Index<vertex> a, Index<vertex> b) {
    std::vector<Index<triangle>> shared, mirrorShared;
    bool mirrorEdge = false;
    return unifiable(a, b, shared, mirrorShared, &mirrorEdge);
}

int unifyVertex(Index<vertex> a, Index<vertex> b) {
    headChanged();
    // Both edges, this one and its mirror image, are checked before
    // anything changes: a refused collapse leaves the head as it was.
    std::vector<Index<triangle>> shared, mirrorShared;
    bool mirrorEdge = false;
    if (!unifiable(a, b, shared, mirrorShared, &mirrorEdge)) return 0;
    const Index<vertex> ma = mirrorOf(a), mb = mirrorOf(b);

    // mirror links
    if (V(a).mirror == a) V(a).mirror = -1;
    if (V(b).mirror == b) V(b).mirror = -1;
    int mirrorResult = 1;
    if (mirrorEdge) {
        V(ma).mirror = V(mb).mirror = V(a).mirror = V(b).mirror = -1;
        mirrorResult = collapseEdge(ma, mb, mirrorShared);
        V(b).mirror = mb;
        V(mb).mirror = b;
    } else if (ma == -1) {
        clearMirrorBack(b, mb);
        V(b).mirror = -1;
    } else if (mb == -1) {
        clearMirrorBack(a, ma);
        V(a).mirror = -1;
    } else {
        // An edge across the middle: both ends lose their partners.
        clearMirrorBack(a, ma);
        clearMirrorBack(b, mb);
        V(a).mirror = V(b).mirror = -1;
    }
    const int result = collapseEdge(a, b, shared);
    return result && mirrorResult ? 1 : 0;
}
