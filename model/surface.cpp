#include "model/surface.h"

#include <cmath>

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
    return 1;
}

bool head3::ProjectOnHeadTowardDirection(const vector3<double>& p, const vector3<double>& d, Index<triangle>* t,
                                         vector3<double>* bary) const {
    head3& self = const_cast<head3&>(*this);
    octtree& tree = self.octree();
    if (!tree.filled()) {
        head3* was = actual_head3;
        self.set_actual();
        tree.fill();
        if (was && was != this) was->set_actual();
    }
    vector3<double> b;
    Index<triangle> hit = tree.getfirst(p, d, &b);
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
    if (s.n <= 0) return false;
    int segment = 0;
    double w = 1;
    s.weighting(t, segment, w);
    if (segment < 0 || segment + 1 >= directions.size()) return false;
    const vector3<double> p = s.xyz(t);
    const vector3<double> d = -(directions[segment] * w + directions[segment + 1] * (1 - w));
    return ProjectOnHeadTowardDirection(p, d, hit, bary);
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
