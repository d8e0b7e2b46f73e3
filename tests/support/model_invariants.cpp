#include "tests/support/model_invariants.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "model/head.h"

namespace testsupport {

namespace {

template <class C>
std::set<int> members(const C& c) {
    std::set<int> out;
    for (int k = c.first(); k != -1; k = c.nextOf(k)) out.insert(k);
    return out;
}

// How often each value stands in an index list or chain.
template <class L>
std::map<int, int> tally(const L& l) {
    std::map<int, int> out;
    for (int n = l.first(); n != -1; n = l.nextOf(n)) ++out[l[n]];
    return out;
}

template <class L>
int occurrences(const L& l, int value) {
    int c = 0;
    for (int n = l.first(); n != -1; n = l.nextOf(n))
        if (l[n] == value) ++c;
    return c;
}

// Each entry of an owner's list names an existing element that lists the
// owner back exactly once, and no entry stands twice.
template <class L, class Back>
void checkTwoSided(std::vector<std::string>& err, const std::string& owner, int ownerId, const L& list,
                   const std::set<int>& targets, const std::string& word, Back back) {
    for (auto [x, n] : tally(list)) {
        if (!targets.count(x))
            err.push_back(owner + " lists missing " + word + " " + std::to_string(x));
        else if (occurrences(back(x), ownerId) != 1)
            err.push_back(owner + " " + word + " " + std::to_string(x) + " does not list it back once");
        if (n != 1) err.push_back(owner + " lists " + word + " " + std::to_string(x) + " " + std::to_string(n) + " times");
    }
}

}  // namespace

std::vector<std::string> modelInvariantErrors(const head3& h) {
    std::vector<std::string> err;
    auto fail = [&err](const std::string& s) { err.push_back(s); };
    auto S = [](int i) { return std::to_string(i); };

    std::set<int> V = members(h.vertices), T = members(h.triangles), E = members(h.extrapoints),
                  FP = members(h.featurepoints), FL = members(h.featurelines), A = members(h.areas),
                  R = members(h.regions);
    std::set<int> LP;
    std::map<int, int> lineOf;
    for (int l : FL)
        for (int q = h.featurelines[l].first(); q != -1; q = h.featurelines[l].nextOf(q)) {
            LP.insert(q);
            lineOf[q] = l;
        }
    auto isV = [&](int v) { return V.count(v) > 0; };

    // vertices and triangles
    for (int t : T) {
        const triangle& tr = h.triangles[t];
        for (int k = 0; k < 3; ++k) {
            int c = tr.corner(k);
            if (!isV(c)) {
                fail("triangle " + S(t) + " corner " + S(k) + " names " + S(c));
                continue;
            }
            int n = occurrences(h.vertices[c].triangles, t);
            if (n != 1) fail("triangle " + S(t) + " stands " + S(n) + " times in the list of vertex " + S(c));
        }
        if (tr.a == tr.b || tr.b == tr.c || tr.a == tr.c) fail("triangle " + S(t) + " repeats a corner");
        if (tr.mirror != -1) {
            if (!T.count(tr.mirror))
                fail("triangle " + S(t) + " mirror names " + S(tr.mirror));
            else if (h.triangles[tr.mirror].mirror != t)
                fail("triangle " + S(t) + " mirror " + S(tr.mirror) + " does not point back");
        }
        if (tr.quadPartner != -1 && !T.count(tr.quadPartner))
            fail("triangle " + S(t) + " quad partner names " + S(tr.quadPartner));
        if (tr.areaOf != -1) {
            if (!A.count(tr.areaOf))
                fail("triangle " + S(t) + " area names " + S(tr.areaOf));
            else if (tr.areaNode < 0 || tr.areaNode >= h.areas[tr.areaOf].triangles.pool()->size() ||
                     h.areas[tr.areaOf].triangles.pool()->isFree(tr.areaNode) ||
                     h.areas[tr.areaOf].triangles[tr.areaNode] != t)
                fail("triangle " + S(t) + " area node does not hold it");
        }
        for (auto [e, n] : tally(tr.extrapoints)) {
            if (!E.count(e))
                fail("triangle " + S(t) + " lists edit point " + S(e) + " that is not in the head");
            else if (h.extrapoints[e].tri != t)
                fail("triangle " + S(t) + " lists edit point " + S(e) + " that lies on " + S(h.extrapoints[e].tri));
            if (n != 1) fail("triangle " + S(t) + " lists edit point " + S(e) + " " + S(n) + " times");
        }
    }
    for (int v : V) {
        const vertex& vx = h.vertices[v];
        for (auto [t, n] : tally(vx.triangles)) {
            if (!T.count(t))
                fail("vertex " + S(v) + " lists triangle " + S(t) + " that is not in the head");
            else if (h.triangles[t].a != v && h.triangles[t].b != v && h.triangles[t].c != v)
                fail("vertex " + S(v) + " lists triangle " + S(t) + " without being its corner");
            if (n != 1) fail("vertex " + S(v) + " lists triangle " + S(t) + " " + S(n) + " times");
        }
        if (vx.mirror != -1) {
            if (!isV(vx.mirror))
                fail("vertex " + S(v) + " mirror names " + S(vx.mirror));
            else if (h.vertices[vx.mirror].mirror != v)
                fail("vertex " + S(v) + " mirror " + S(vx.mirror) + " does not point back");
        }
        if (vx.featurepoint != -1) {
            if (!FP.count(vx.featurepoint))
                fail("vertex " + S(v) + " feature point names " + S(vx.featurepoint));
            else if (h.featurepoints[vx.featurepoint].vtx != v)
                fail("vertex " + S(v) + " feature point is not fixed to it");
        }
        for (auto [q, n] : tally(vx.linepoints)) {
            if (!LP.count(q))
                fail("vertex " + S(v) + " lists line point " + S(q) + " of no line");
            else if (Index<linepoint3>(q).data().vtx != v)
                fail("vertex " + S(v) + " lists line point " + S(q) + " fixed elsewhere");
            if (n != 1) fail("vertex " + S(v) + " lists line point " + S(q) + " " + S(n) + " times");
        }
    }

    // edit points
    for (int e : E) {
        const extrapoint& x = h.extrapoints[e];
        if (x.active && x.tri != -1) {
            if (!T.count(x.tri))
                fail("edit point " + S(e) + " lies on missing triangle " + S(x.tri));
            else if (occurrences(h.triangles[x.tri].extrapoints, e) != 1)
                fail("edit point " + S(e) + " is not listed once by its triangle " + S(x.tri));
        }
        if (x.featurepoint != -1) {
            if (!FP.count(x.featurepoint))
                fail("edit point " + S(e) + " feature point names " + S(x.featurepoint));
            else if (h.featurepoints[x.featurepoint].extra != e)
                fail("edit point " + S(e) + " feature point does not ride on it");
        }
        if (x.linepoint != -1) {
            if (!LP.count(x.linepoint))
                fail("edit point " + S(e) + " line point names " + S(x.linepoint));
            else if (Index<linepoint3>(x.linepoint).data().extra != e)
                fail("edit point " + S(e) + " line point does not ride on it");
        }
    }

    // feature points
    for (int p : FP) {
        const featurepoint3& f = h.featurepoints[p];
        if (f.isFixed() && f.isRubber()) fail("feature point " + S(p) + " is both fixed and rubber");
        if (f.isFixed() && (!isV(f.vtx) || h.vertices[f.vtx].featurepoint != p))
            fail("feature point " + S(p) + " is fixed to vertex " + S(f.vtx) + " that does not name it");
        if (f.isRubber() && (!E.count(f.extra) || h.extrapoints[f.extra].featurepoint != p))
            fail("feature point " + S(p) + " rides on edit point " + S(f.extra) + " that does not name it");
        if (f.mirror != -1 && !FP.count(f.mirror)) fail("feature point " + S(p) + " mirror names " + S(f.mirror));
        checkTwoSided(err, "feature point " + S(p), p, f.regions, R, "region",
                      [&](int r) -> const auto& { return h.regions[r].points; });
    }

    // feature lines and their points
    for (int l : FL) {
        const featureline3& fl = h.featurelines[l];
        int first = fl.first(), last = fl.last();
        for (int q = fl.first(); q != -1; q = fl.nextOf(q)) {
            const linepoint3& lp = fl[q];
            if (lp.line != l) fail("line point " + S(q) + " of line " + S(l) + " names line " + S(lp.line));
            if (lp.isFixed() && lp.isRubber()) fail("line point " + S(q) + " is both fixed and rubber");
            if (lp.isFixed() && (!isV(lp.vtx) || occurrences(h.vertices[lp.vtx].linepoints, q) != 1))
                fail("line point " + S(q) + " is not listed once by its vertex " + S(lp.vtx));
            if (lp.isRubber()) {
                // The closing duplicate shares the first point's edit point.
                int rider = E.count(lp.extra) ? int(h.extrapoints[lp.extra].linepoint) : -2;
                bool shared = fl.count() > 2 && (q == first || q == last) &&
                              fl[first].extra == fl[last].extra && (rider == first || rider == last);
                if (rider != q && !shared)
                    fail("line point " + S(q) + " rides on edit point " + S(lp.extra) + " that does not name it");
            }
        }
        if (fl.mirror != -1 && !FL.count(fl.mirror)) fail("line " + S(l) + " mirror names " + S(fl.mirror));
        checkTwoSided(err, "line " + S(l), l, fl.regions, R, "region",
                      [&](int r) -> const auto& { return h.regions[r].lines; });
    }

    // areas and regions
    for (int a : A) {
        const area& ar = h.areas[a];
        for (int n = ar.triangles.first(); n != -1; n = ar.triangles.nextOf(n)) {
            int t = ar.triangles[n];
            if (!T.count(t))
                fail("area " + S(a) + " lists missing triangle " + S(t));
            else if (h.triangles[t].areaOf != a || h.triangles[t].areaNode != n)
                fail("area " + S(a) + " lists triangle " + S(t) + " that names area " + S(h.triangles[t].areaOf));
        }
        checkTwoSided(err, "area " + S(a), a, ar.regions, R, "region",
                      [&](int r) -> const auto& { return h.regions[r].areas; });
    }
    for (int r : R) {
        const region& rg = h.regions[r];
        std::string owner = "region " + S(r);
        checkTwoSided(err, owner, r, rg.areas, A, "area", [&](int a) -> const auto& { return h.areas[a].regions; });
        checkTwoSided(err, owner, r, rg.lines, FL, "line",
                      [&](int l) -> const auto& { return h.featurelines[l].regions; });
        checkTwoSided(err, owner, r, rg.points, FP, "point",
                      [&](int p) -> const auto& { return h.featurepoints[p].regions; });
        if (rg.borderLine != -1 && !FL.count(rg.borderLine))
            fail("region " + S(r) + " border line names " + S(rg.borderLine));
        if (rg.mirror != -1 && !R.count(rg.mirror)) fail("region " + S(r) + " mirror names " + S(rg.mirror));
    }
    // The geometry only where every corner exists.
    if (err.empty()) {
        std::vector<std::string> geometry = meshGeometryErrors(h);
        err.insert(err.end(), geometry.begin(), geometry.end());
    }
    return err;
}

std::vector<std::string> meshGeometryErrors(const head3& h, double areaThreshold) {
    std::vector<std::string> err;
    auto S = [](int i) { return std::to_string(i); };
    // Sorted tables rather than maps: the full head has 35,000 triangles.
    std::vector<std::array<int, 4>> byCorners;  // sorted corners, triangle
    std::vector<std::array<int, 3>> directed;   // from, to, triangle
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        const triangle& tr = h.triangles[t];
        std::array<int, 3> key = {tr.a, tr.b, tr.c};
        std::sort(key.begin(), key.end());
        byCorners.push_back({key[0], key[1], key[2], t});
        const vector3<double> &a = h.vertices[tr.a].position, &b = h.vertices[tr.b].position,
                              &c = h.vertices[tr.c].position;
        const double area = 0.5 * ((b - a) % (c - a)).length();
        if (!(area > areaThreshold)) err.push_back("triangle " + S(t) + " has area " + std::to_string(area));
        for (int k = 0; k < 3; ++k) directed.push_back({tr.corner(k), tr.corner((k + 1) % 3), t});
    }
    std::sort(byCorners.begin(), byCorners.end());
    for (size_t k = 1; k < byCorners.size(); ++k)
        if (byCorners[k][0] == byCorners[k - 1][0] && byCorners[k][1] == byCorners[k - 1][1] &&
            byCorners[k][2] == byCorners[k - 1][2])
            err.push_back("triangles " + S(byCorners[k - 1][3]) + " and " + S(byCorners[k][3]) +
                          " stand on the same three vertices");
    std::sort(directed.begin(), directed.end());
    for (size_t k = 1; k < directed.size(); ++k)
        if (directed[k][0] == directed[k - 1][0] && directed[k][1] == directed[k - 1][1])
            err.push_back("edge " + S(directed[k][0]) + "-" + S(directed[k][1]) + " runs the same way in triangles " +
                          S(directed[k - 1][2]) + " and " + S(directed[k][2]));
    // Triangles per undirected edge.
    std::vector<std::pair<int, int>> undirected;
    undirected.reserve(directed.size());
    for (const auto& e : directed) undirected.push_back({std::min(e[0], e[1]), std::max(e[0], e[1])});
    std::sort(undirected.begin(), undirected.end());
    for (size_t k = 0; k < undirected.size();) {
        size_t m = k;
        while (m < undirected.size() && undirected[m] == undirected[k]) ++m;
        if (m - k > 2)
            err.push_back("edge " + S(undirected[k].first) + "-" + S(undirected[k].second) + " is used by " +
                          S(int(m - k)) + " triangles");
        k = m;
    }
    return err;
}

MeshCounts meshCounts(const head3& h) {
    std::vector<std::pair<int, int>> edges;
    std::vector<int> verts;
    MeshCounts c;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        const triangle& tr = h.triangles[t];
        ++c.faces;
        for (int k = 0; k < 3; ++k) {
            int a = tr.corner(k), b = tr.corner((k + 1) % 3);
            verts.push_back(a);
            edges.push_back({std::min(a, b), std::max(a, b)});
        }
    }
    std::sort(verts.begin(), verts.end());
    c.vertices = int(std::unique(verts.begin(), verts.end()) - verts.begin());
    std::sort(edges.begin(), edges.end());
    for (size_t k = 0; k < edges.size();) {
        size_t m = k;
        while (m < edges.size() && edges[m] == edges[k]) ++m;
        ++c.edges;
        c.borderEdges += m - k == 1;
        k = m;
    }
    return c;
}

int eulerCharacteristic(const head3& h) { return meshCounts(h).euler(); }

}  // namespace testsupport
