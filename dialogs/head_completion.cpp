#include "dialogs/head_completion.h"

#include <algorithm>
#include <cmath>

#include "model/featuretables.h"
#include "model/head.h"
#include "model/octree.h"
#include "model/topology.h"

namespace headpoints {

namespace {

struct Row {
    int row;
    CString code;
    int kind;
    double x, y;
    double weight;
};

std::vector<Row> acceptedRows(int group) {
    std::vector<Row> rows;
    CString code;
    int kind = 0, px = 0, py = 0;
    double weight = 0;
    for (int n = 0; GetFeaturePointInfo(n, &code, nullptr, &weight, &kind, &px, &py); ++n)
        if (GoodInfoCode(group, code)) rows.push_back({n, code, kind, double(px), double(py), weight});
    return rows;
}

bool onSurface(const featurepoint3& p) { return p.vtx != -1 || (p.extra != -1 && p.extra.data().tri != -1); }

vector2<double> previewAt(const Row& r) { return vector2<double>(r.x, r.y); }

}  // namespace

bool PlaneBarycentric(const vector2<double>& p, const vector2<double>& a, const vector2<double>& b,
                      const vector2<double>& c, double w[3]) {
    const double d = (b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y);
    if (std::fabs(d) < 1e-12) return false;
    w[0] = ((b.y - c.y) * (p.x - c.x) + (c.x - b.x) * (p.y - c.y)) / d;
    w[1] = ((c.y - a.y) * (p.x - c.x) + (a.x - c.x) * (p.y - c.y)) / d;
    w[2] = 1.0 - w[0] - w[1];
    return true;
}

bool HeadPointsNeedCompletion(const head3& head, int group) {
    for (const Row& r : acceptedRows(group)) {
        if (r.kind != 0) continue;
        Index<featurepoint3> p = head.getFeaturepoint(r.code, false);
        if (p == -1 || head.featurepoints[p].used != 1) return true;
    }
    return false;
}

std::vector<vector3<double>> RayStarts(const vector3<double>& centre, double spacing) {
    std::vector<std::pair<int, int>> grid;
    for (int j = -2; j <= 2; ++j)
        for (int i = -2; i <= 2; ++i) grid.push_back({i, j});
    std::stable_sort(grid.begin(), grid.end(), [](const auto& a, const auto& b) {
        return a.first * a.first + a.second * a.second < b.first * b.first + b.second * b.second;
    });
    std::vector<vector3<double>> out;
    for (const auto& [i, j] : grid) out.push_back(centre + vector3<double>(i * spacing, j * spacing, 0));
    return out;
}

Index<triangle> FirstHitAround(head3& head, const vector3<double>& p, const vector3<double>& d, double spacing,
                               double tolerance, vector3<double>* bary) {
    head.set_actual();
    octtree& tree = head.octree();
    for (const vector3<double>& start : RayStarts(p, spacing)) {
        vector3<double> hit;
        const Index<triangle> t = tree.getfirstOnRay(start, d, tolerance, bary, &hit);
        if (t != -1) return t;
    }
    return -1;
}

bool BindToSurface(head3& head, int point, const vector3<double>& p) {
    if (point < 0) return false;
    head.set_actual();
    const vector3<double> size = head.boxMax - head.boxMin;
    const double extent = std::max({size.x, size.y, size.z, 1e-6});
    // From in front of the whole head, so the first hit is the face.
    const vector3<double> front(p.x, p.y, head.boxMax.z + extent);
    vector3<double> bary;
    const Index<triangle> t = FirstHitAround(head, front, vector3<double>(0, 0, -1), extent / 200, 0.0, &bary);
    if (t == -1) return false;
    featurepoint3& f = head.featurepoints[point];
    if (f.vtx != -1 && head.vertices[f.vtx].featurepoint == point) head.vertices[f.vtx].featurepoint = -1;
    f.set_extrapoint(t, bary, roughConversion);
    add_featurepoint(point);
    return true;
}

int CompleteHeadPoints(head3& head, int group) {
    const std::vector<Row> rows = acceptedRows(group);
    int top = 0;
    for (const Row& r : rows) top = std::max(top, r.kind);
    std::vector<const Row*> main;
    for (const Row& r : rows)
        if (r.kind == top && top > 0 && main.size() < 3) main.push_back(&r);
    if (main.size() < 3) return 0;
    vector3<double> at[3];
    for (int k = 0; k < 3; ++k) {
        Index<featurepoint3> p = head.getFeaturepoint(main[size_t(k)]->code, false);
        at[k] = p != -1 && onSurface(head.featurepoints[p]) ? head.featurepoints[p].point() : vector3<double>();
    }
    int placed = 0;
    for (const Row& r : rows) {
        if (r.kind != 0) continue;
        double w[3];
        if (!PlaneBarycentric(previewAt(r), previewAt(*main[0]), previewAt(*main[1]), previewAt(*main[2]), w)) continue;
        const vector3<double> target = at[0] * w[0] + at[1] * w[1] + at[2] * w[2];
        Index<featurepoint3> p = head.addFeaturepoint(r.code, true);
        head.featurepoints[p].weight = r.weight;
        if (BindToSurface(head, p, target)) ++placed;
    }
    return placed;
}

}  // namespace headpoints
