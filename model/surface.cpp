#include "model/surface.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/cstring.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/octree.h"

double averageEdgeLength(Index<vertex> v, Index<vertex>) {
    if (v == -1) return 0;
    const int n = v.data().triangles.count();
    if (n == 0) return 0;
    const vector3<double> p = v.data().position;
    double sum = 0;
    forEachFanNeighbour(v, [&](Index<vertex> w) {
        const vector3<double> d = w.data().position - p;
        sum += std::sqrt(d * d);
    });
    return sum / n;
}

vector3<double> weightpointOfNeighbours(Index<vertex> v) {
    if (v == -1) return {};
    const int n = v.data().triangles.count();
    if (n == 0) return v.data().position;
    vector3<double> sum;
    forEachFanNeighbour(v, [&](Index<vertex> w) { sum += w.data().position; });
    return sum / double(n);
}

int repairVertex(Index<vertex> v, double factor) {
    if (v == -1 || v.data().triangles.count() == 0) return 0;
    double largest = 0;
    forEachFanNeighbour(v, [&](Index<vertex> w) {
        const double l = averageEdgeLength(w);
        if (l > largest) largest = l;
    });
    // Compared at v itself: a vertex thrown far out has long edges of its
    // own, while each neighbour shares only one of them.
    if (averageEdgeLength(v) < factor * largest) return 0;
    v.data().position = weightpointOfNeighbours(v);
    headChanged();
    return 1;
}

int repairVertices(double factor) {
    // Repairs do not change the fans: each fan is walked once, its
    // neighbours kept in one array (the same walk, sums in the same order as
    // averageEdgeLength and weightpointOfNeighbours).
    fnd::chain<vertex>& vertices = Index<vertex>::current();
    const int slots = vertices.pool()->size();
    std::vector<int> start(slots, 0), last(slots, 0), count(slots, 0);
    std::vector<Index<vertex>> around;
    std::vector<int> order;
    for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) {
        start[v] = int(around.size());
        count[v] = vertices[v].triangles.count();
        forEachFanNeighbour(v, [&](Index<vertex> w) { around.push_back(w); });
        last[v] = int(around.size());
        order.push_back(v);
    }
    std::vector<double> mean(slots, -1.0);
    auto meanAt = [&](int v) {
        if (v < 0 || v >= slots || count[v] == 0) return averageEdgeLength(v);
        if (mean[v] < 0) {
            const vector3<double> p = vertices[v].position;
            double sum = 0;
            for (int k = start[v]; k < last[v]; ++k) {
                const vector3<double> d = vertices[around[k]].position - p;
                sum += std::sqrt(d * d);
            }
            mean[v] = sum / count[v];
        }
        return mean[v];
    };
    int moved = 0;
    for (int v : order) {
        if (count[v] == 0) continue;
        double largest = 0;
        for (int k = start[v]; k < last[v]; ++k) largest = std::max(largest, meanAt(around[k]));
        if (meanAt(v) < factor * largest) continue;
        vector3<double> sum;
        for (int k = start[v]; k < last[v]; ++k) sum += vertices[around[k]].position;
        vertices[v].position = sum / double(count[v]);
        headChanged();
        ++moved;
        // The means that took v's old position.
        mean[v] = -1.0;
        for (int k = start[v]; k < last[v]; ++k)
            if (around[k] >= 0 && around[k] < slots) mean[around[k]] = -1.0;
    }
    return moved;
}

bool lineOfSpline(double t, const spline3D& s, const dynarray<vector3<double> >& directions, vector3<double>* p,
                  vector3<double>* d) {
    if (s.n <= 0) return false;
    int segment = 0;
    double w = 1;
    s.weighting(t, segment, w);
    if (segment < 0 || segment + 1 >= directions.size()) return false;
    *p = s.xyz(t);
    *d = -(directions[segment] * w + directions[segment + 1] * (1 - w));
    return true;
}

octtree& head3::filledOctree() const {
    head3& self = const_cast<head3&>(*this);
    octtree& tree = self.octree();
    if (!tree.filled()) self.fillOctree();
    return tree;
}

bool head3::ProjectOnHeadTowardDirection(const vector3<double>& p, const vector3<double>& d, Index<triangle>* t,
                                         vector3<double>* bary) const {
    vector3<double> b;
    // A start on the surface lies there up to rounding: its own triangle
    // is met at a tiny negative distance.
    const double tolerance = 1e-8 * (1.0 + p.length());
    const Index<triangle> hit = filledOctree().getfirstOnRay(p, d, tolerance, &b);
    if (t) *t = hit;
    if (bary && hit != -1) *bary = b;
    return hit != -1;
}

vector3<double> head3::getBasePoint(const vector3<double>& p, extrapoint* e) {
    Index<triangle> t = -1;
    vector3<double> b;
    if (!e) return p;
    if (ProjectOnHeadTowardDirection(p, -p, &t, &b)) e->set(t, b, roughConversion);
    return e->position;
}

bool head3::ProjectOnHead(double t, const spline3D& s, const dynarray<vector3<double> >& directions,
                          Index<triangle>* hit, vector3<double>* bary) const {
    return ProjectOnHead(t, s, directions, hit, bary, nullptr);
}

bool head3::ProjectOnHead(double t, const spline3D& s, const dynarray<vector3<double> >& directions,
                          Index<triangle>* hit, vector3<double>* bary,
                          const std::function<bool(Index<triangle>)>* accept) const {
    vector3<double> p, d;
    if (!lineOfSpline(t, s, directions, &p, &d)) return false;
    // The spline through points of the surface runs under it where the
    // surface bulges (several units deep across the nose), where the first
    // triangle on the ray lies on the far side: the triangle is the one the
    // line meets nearest to the spline's point, on either side.
    vector3<double> b;
    const Index<triangle> found = filledOctree().getnearest(p, d, &b, nullptr, accept);
    if (hit) *hit = found;
    if (bary && found != -1) *bary = b;
    return found != -1;
}

vector3<double> head3::GetMirrorPoint(vector3<double>* p, vector3<double>* reference) {
    const vector3<double> q = p ? *p : vector3<double>();
    vector3<double> F, Fm;
    if (reference) {
        F = *reference;
        Fm = GetMirrorPoint(reference, nullptr);
    } else {
        // The nearest placed feature point that has a placed mirror.
        double best = 1e10;
        bool found = false;
        CString code, mirror;
        for (int row = 0; GetFeaturePointInfo(row, &code, &mirror); ++row) {
            Index<featurepoint3> a = getFeaturepoint(code.GetString(), false);
            Index<featurepoint3> b = getFeaturepoint(mirror.GetString(), false);
            if (a == -1 || b == -1) continue;
            const featurepoint3 &fa = featurepoints[a], &fb = featurepoints[b];
            if (!(fa.isFixed() || fa.isRubber()) || !(fb.isFixed() || fb.isRubber())) continue;
            const vector3<double> d = fa.point() - q;
            const double dist = std::sqrt(d * d);
            if (dist < best) {
                best = dist;
                F = fa.point();
                Fm = fb.point();
                found = true;
            }
        }
        // Without feature points: the plane of symmetry x = 0.
        if (!found) return {-q.x, q.y, q.z};
    }
    return {Fm.x + F.x - q.x, Fm.y - F.y + q.y, Fm.z - F.z + q.z};
}
